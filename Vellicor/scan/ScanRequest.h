#pragma once

#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"
#include "core/ScanSettingsSnapshot.h"
#include "scan/Comparison.h"
#include "scan/PathExclusionPredicate.h"

#include <optional>
#include <vector>

class UserDefaults;

// Everything one scan reads, fixed when Scan Now is pressed: the source, copies
// of the scan-list and exclude rows (the screen may edit its lists meanwhile),
// the record builder's filters and the comparison's settings. Built on the GUI
// thread, then only read by the scan's worker or listing.
struct ScanRequest {
    ScanSource source = ScanSource::thisComputer;
    std::vector<FilePathNode> rows;
    std::vector<FilePathNodePtr> excludeRows;
    std::optional<PathExclusionPredicate> dirExclusion;
    ScanSettingsSnapshot filters;
    ComparisonSettings comparison;
    // Photo libraries met on the walk are read through their database; when
    // off they are passed over.
    bool readPhotosLibraries = true;
};

// The request of a scan of source over rows, with the filters and settings read
// from defaults and the app-wide switches (category flags, file-type choice).
// The date filters and size limits read here are also written to their app-wide
// values, which the screens show.
ScanRequest makeScanRequest(ScanSource source, const std::vector<FilePathNodePtr>& rows,
    const std::vector<FilePathNodePtr>& excludeRows, const UserDefaults& defaults);
