#include "scan/ScanRequest.h"

#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"

ScanRequest makeScanRequest(ScanSource source, const std::vector<FilePathNodePtr>& rows,
    const std::vector<FilePathNodePtr>& excludeRows, const UserDefaults& defaults)
{
    const FileSizeLimits limits = readFileSizeLimits(defaults);
    ScanRequest request;
    request.source = source;
    for (const FilePathNodePtr& row : rows) {
        if (row)
            request.rows.push_back(*row);
    }
    for (const FilePathNodePtr& row : excludeRows) {
        if (row)
            request.excludeRows.push_back(std::make_shared<FilePathNode>(*row));
    }
    request.dirExclusion = makeDirExclusionPredicate(request.excludeRows);

    request.filters = makeScanSettingsSnapshot();
    ScanSettingsSnapshot& filters = request.filters;
    filters.scanAnyFileSize = limits.scanAnyFileSize;
    filters.minimumFileSizeBytes = limits.minimumFileSizeBytes;
    filters.maximumFileSizeBytes = limits.maximumFileSizeBytes;
    // A missing, mistyped or unknown option keeps the snapshot's own: no
    // date filter.
    if (const std::optional<qint64> option = defaults.integerValue(QLatin1String(SettingsKey::scanFilesDate));
        option && *option >= 1 && *option <= 3)
        filters.dateFilterOption = static_cast<int>(*option);
    filters.createdDateFilter
        = defaults.dateValue(QLatin1String(SettingsKey::scanFileForCreatedDate)).value_or(QDateTime());
    filters.modifiedDateFilter
        = defaults.dateValue(QLatin1String(SettingsKey::scanFileForModifiedDate)).value_or(QDateTime());

    request.comparison = readComparisonSettings(defaults);
    request.readPhotosLibraries
        = defaults.boolValue(QLatin1String(SettingsKey::scanPhotosLibrary)).value_or(true);
    return request;
}
