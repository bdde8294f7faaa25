#pragma once

#include "core/CloudScanFoldersList.h"
#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"
#include "core/ScanSettingsSnapshot.h"
#include "scan/Comparison.h"
#include "scan/PathExclusionPredicate.h"

#include <optional>
#include <vector>

class UserDefaults;

// Everything one scan reads, fixed when Scan Now is pressed: the source, copies
// of the source's scan-list and exclude rows (the screen may edit its lists
// meanwhile), the record builder's filters and the comparison's settings. Built
// on the GUI thread, then only read by the scan's worker, its listing and the
// source's handler.
struct ScanRequest {
    ScanSource source = ScanSource::thisComputer;
    std::vector<FilePathNode> rows;
    std::vector<FilePathNodePtr> excludeRows;
    // This computer's walk: the folders it never enters.
    std::optional<PathExclusionPredicate> dirExclusion;
    // A cloud source: the folders its listing never enters, and (for a
    // handler) the checked folders it starts from.
    std::optional<PathExclusionPredicate> cloudExclusion;
    std::vector<CloudScanFoldersListPtr> cloudFolders;
    ScanSettingsSnapshot filters;
    ComparisonSettings comparison;
    // Photo libraries met on the walk are read through their database; when
    // off they are passed over.
    bool readPhotosLibraries = true;
};

// The request of a scan of source over rows, with the filters and settings read
// from defaults and the app-wide switches (category flags, file-type choice).
ScanRequest makeScanRequest(ScanSource source, const std::vector<FilePathNodePtr>& rows,
    const std::vector<FilePathNodePtr>& excludeRows, const UserDefaults& defaults);
