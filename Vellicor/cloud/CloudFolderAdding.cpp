#include "cloud/CloudFolderAdding.h"

#include "home/LocationLists.h"
#include "scan/PathExclusionPredicate.h"
#include "scan/ScanSources.h"
#include "scan/ScanWrapper.h"

#include <algorithm>

namespace {

AlertKeys cannotAdd(const char* informative)
{
    return { QStringLiteral("ID_ITEMS_CANNOT_ADDED"), QString::fromLatin1(informative) };
}

AddOutcome refused(AlertKeys alert)
{
    AddOutcome outcome;
    outcome.alerts.push_back(std::move(alert));
    return outcome;
}

AddOutcome added()
{
    AddOutcome outcome;
    outcome.added = 1;
    outcome.listChanged = true;
    return outcome;
}

bool takesCloudFolders(ScanSource source)
{
    return source != ScanSource::thisComputer && source != ScanSource::lightroomCatalog
        && source != ScanSource::emptyFolderCleaner;
}

// A row for a picked folder; Drive rows carry the display path too, so that
// every list row has a path to show, store and match.
FilePathNodePtr rowFor(const PickedCloudFolder& folder, bool includeSubFolders)
{
    auto row = std::make_shared<FilePathNode>();
    row->filePath = folder.path();
    row->state = 1;
    row->isIncludeSubFolders = includeSubFolders;
    row->gdFolder = folder.drive;
    row->cloudFolder = folder.cloud;
    return row;
}

// The same folder is already in a list made of picked folders: Drive rows
// by display path, the other services' rows by folder path.
bool listsFolder(const std::vector<FilePathNodePtr>& list, const PickedCloudFolder& folder)
{
    return std::any_of(list.begin(), list.end(), [&](const FilePathNodePtr& row) {
        if (!row)
            return false;
        if (folder.drive)
            return row->gdFolder && row->gdFolder->folderAbsPath == folder.drive->folderAbsPath;
        return row->cloudFolder && folder.cloud && row->cloudFolder->folderPath == folder.cloud->folderPath;
    });
}

QString trimmedSlashes(const QString& path)
{
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return path.left(end).toLower();
}

} // namespace

QString PickedCloudFolder::path() const
{
    if (drive)
        return drive->folderAbsPath;
    if (cloud)
        return cloud->folderPath;
    return QString();
}

PickedCloudFolder pickedCloudFolder(ScanSource source, const CloudScanFoldersListPtr& node)
{
    if (!node || source != ScanSource::googleDrive)
        return { nullptr, node };
    auto folder = std::make_shared<GDFoldersList>();
    folder->folderName = node->folderName;
    folder->folderId = node->folderId;
    folder->folderAbsPath = node->folderPath;
    return { std::move(folder), node };
}

bool isSameOrBelowCloudPath(const QString& folder, const QString& path)
{
    if (folder.isEmpty() || path.isEmpty())
        return false;
    const QString f = trimmedSlashes(folder);
    const QString p = trimmedSlashes(path);
    if (f.isEmpty())
        return true; // the service's root holds everything
    return p == f || (p.startsWith(f) && p.at(f.size()) == QLatin1Char('/'));
}

CloudFolderAdder::CloudFolderAdder(LocationLists& lists)
    : lists_(lists)
{
}

bool CloudFolderAdder::isInScanList(const QString& path) const
{
    return lists_.isInScanListExactly(path);
}

AddOutcome CloudFolderAdder::addToTab(HomeTab tab, const PickedCloudFolder& folder)
{
    if (folder.isEmpty() || !takesCloudFolders(selectedScanSource().load()))
        return {};
    switch (tab) {
    case HomeTab::include:
        return addToScanList(folder);
    case HomeTab::exclude:
        return addToExcludeList(folder);
    case HomeTab::protect:
        return addToProtectedList(folder, true);
    case HomeTab::none:
        break;
    }
    return {};
}

AddOutcome CloudFolderAdder::addToScanList(const PickedCloudFolder& folder)
{
    const QString path = folder.path();
    if (isInScanList(path))
        return refused(cannotAdd("ID_ITEMS_ALREADY_PRESENT_IN_SCAN_LIST"));
    // The exclusions as they stand now, not as at the last scan.
    const ScanSource source = selectedScanSource().load();
    const ScanSources& sources = lists_.sources;
    const std::optional<PathExclusionPredicate> excluded
        = makeCloudDirExclusionPredicate(source, sources.excludeList(source));
    if (excluded && excluded->evaluateWithObject(path))
        return refused(cannotAdd("ID_ITEMS_ALREADY_EXCLUDED_FROM_SCANNING"));
    lists_.addPathToScanList(path, folder.drive, folder.cloud);
    return added();
}

AddOutcome CloudFolderAdder::addToExcludeList(const PickedCloudFolder& folder)
{
    const QString path = folder.path();
    if (isInScanList(path))
        return refused(cannotAdd("ID_ITEMS_ALREADY_PRESENT_IN_SCAN_LIST"));
    const ScanSource source = selectedScanSource().load();
    ScanSources& sources = lists_.sources;
    if (source != ScanSource::googleDrive) {
        const std::vector<FilePathNodePtr>& scanRows = sources.scanList(source);
        // The service's root is named, not a path, yet it holds every folder.
        const ScanWrapper* handler = sources.handler(source);
        const bool isRoot = folder.cloud && handler && folder.cloud == handler->rootFolderObj;
        const bool holdsScanFolder = std::any_of(scanRows.begin(), scanRows.end(), [&](const FilePathNodePtr& row) {
            return row && row->filePath && (isRoot || isSameOrBelowCloudPath(path, *row->filePath));
        });
        if (holdsScanFolder)
            return refused({ QStringLiteral("ID_ITEMS_CANNOT_EXCLUDED"),
                QStringLiteral("ID_EITHER_ITEM_OR_CONTENT_PRESENT_IN_SCAN_LIST") });
    }
    if (listsFolder(sources.excludeList(source), folder))
        return refused(cannotAdd("ID_ITEMS_ALREADY_PRESENT_IN_EXCLUSION_LIST"));
    sources.edit(
        source, SourceList::exclude, [&](std::vector<FilePathNodePtr>& list) { list.push_back(rowFor(folder, true)); });
    return added();
}

AddOutcome CloudFolderAdder::addToProtectedList(const PickedCloudFolder& folder, bool includeSubFolders)
{
    const ScanSource source = selectedScanSource().load();
    if (folder.isEmpty() || !takesCloudFolders(source))
        return {};
    ScanSources& sources = lists_.sources;
    if (listsFolder(sources.protectList(source), folder))
        return refused(cannotAdd("ID_ITEMS_ALREADY_PRESENT_IN_PROTECTION_LIST"));
    sources.edit(source, SourceList::protect,
        [&](std::vector<FilePathNodePtr>& list) { list.push_back(rowFor(folder, includeSubFolders)); });
    return added();
}
