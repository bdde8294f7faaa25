#include "core/ScanSettingsSnapshot.h"

ScanSettingsSnapshot makeScanSettingsSnapshot()
{
    ScanSettingsSnapshot snapshot;
    snapshot.scanCategoryFlags = scanCategoryFlags;
    snapshot.isAllFileTypesSelected = isAllFileTypesSelected;
    snapshot.categoryTables = fileCategoryTables();
    snapshot.rawExtensionSet = rawExtensionSet();
    snapshot.scanAnyFileSize = scanAnyFileSize;
    snapshot.minimumFileSizeBytes = minimumFileSizeBytes;
    snapshot.maximumFileSizeBytes = maximumFileSizeBytes;
    snapshot.dateFilterOption = dateFilterOption;
    snapshot.createdDateFilter = createdDateFilter();
    snapshot.modifiedDateFilter = modifiedDateFilter();
    return snapshot;
}
