#pragma once

#include "core/FileCategories.h"
#include "core/GlobalObjects.h"

#include <QDateTime>

#include <array>

// Everything the record builders filter by, copied once on the GUI thread
// when a scan starts and then only read, from the worker thread or a cloud
// listing, for the whole scan. A change in the preferences meanwhile reaches
// the next scan. Cheap to copy: the tables are implicitly shared.
struct ScanSettingsSnapshot {
    // In FileCategory order: Doc, Pic, Music, Video, Archive, Others.
    std::array<bool, fileCategoryCount> scanCategoryFlags {};
    bool isAllFileTypesSelected = false;
    FileCategoryTables categoryTables;
    ExtensionTable rawExtensionSet;

    bool scanAnyFileSize = false;
    // Both limits are inclusive.
    quint64 minimumFileSizeBytes = 0;
    quint64 maximumFileSizeBytes = 0;

    // 2 filters by creation date, 3 by modification date, anything else not
    // by date.
    int dateFilterOption = 1;
    QDateTime createdDateFilter;
    QDateTime modifiedDateFilter;
};

// The snapshot of the application's current tables and file-type switches;
// the size and date filters stay at their defaults (a scan's request reads
// them from the settings). GUI thread.
ScanSettingsSnapshot makeScanSettingsSnapshot();
