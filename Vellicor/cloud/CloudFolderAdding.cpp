#include "cloud/CloudFolderAdding.h"

#include "home/LocationLists.h"
#include "marking/ProtectedFolderStore.h"
#include "scan/ScanEngine.h"

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

CloudFolderAdder::CloudFolderAdder(LocationLists& lists, ScanEngine& engine)
    : lists_(lists)
    , engine_(engine)
{
}

bool CloudFolderAdder::isInScanList(const QString& path) const
{
    const auto& rows = lists_.arrPathNodesFinder;
    return std::any_of(
        rows.begin(), rows.end(), [&](const FilePathNodePtr& row) { return row && row->filePath == path; });
}

AddOutcome CloudFolderAdder::addToTab(HomeTab tab, const PickedCloudFolder& folder)
{
    // The exclusions as they stand now, not as at the last scan.
    engine_.buildCloudDirExclusionPredicate();
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
    if (engine_.predCloudDirExclusion && engine_.predCloudDirExclusion->evaluateWithObject(path))
        return refused(cannotAdd("ID_ITEMS_ALREADY_EXCLUDED_FROM_SCANNING"));
    lists_.addPathToScanList(path, folder.drive, folder.cloud);
    return added();
}

AddOutcome CloudFolderAdder::addToExcludeList(const PickedCloudFolder& folder)
{
    const QString path = folder.path();
    if (isInScanList(path))
        return refused(cannotAdd("ID_ITEMS_ALREADY_PRESENT_IN_SCAN_LIST"));
    const bool drive = selectedScanSource().load() == ScanSource::googleDrive;
    if (!drive && engine_.scanWrapper) {
        const PathNodeList& scanRows = *engine_.scanWrapper->arrPathNodesCloudScan;
        // The service's root is named, not a path, yet it holds every folder.
        const bool isRoot = folder.cloud && folder.cloud == engine_.scanWrapper->rootFolderObj;
        const bool holdsScanFolder = std::any_of(scanRows.begin(), scanRows.end(), [&](const FilePathNodePtr& row) {
            return row && row->filePath && (isRoot || isSameOrBelowCloudPath(path, *row->filePath));
        });
        if (holdsScanFolder)
            return refused({ QStringLiteral("ID_ITEMS_CANNOT_EXCLUDED"),
                QStringLiteral("ID_EITHER_ITEM_OR_CONTENT_PRESENT_IN_SCAN_LIST") });
    }
    // While a service is chosen its handler's exclude list is this very list.
    std::vector<FilePathNodePtr>& list = drive ? lists_.arrExcludePathsGDrive : lists_.arrExcludePathsCloud;
    if (listsFolder(list, folder))
        return refused(cannotAdd("ID_ITEMS_ALREADY_PRESENT_IN_EXCLUSION_LIST"));
    list.push_back(rowFor(folder, true));
    return added();
}

AddOutcome CloudFolderAdder::addToProtectedList(const PickedCloudFolder& folder, bool includeSubFolders)
{
    const ScanSource source = selectedScanSource().load();
    if (folder.isEmpty() || !takesCloudFolders(source))
        return {};
    // For a service this is also its handler's protect list while it is chosen.
    std::vector<FilePathNodePtr>& list = lists_.protectedFolders.listForSource(source);
    if (listsFolder(list, folder))
        return refused(cannotAdd("ID_ITEMS_ALREADY_PRESENT_IN_PROTECTION_LIST"));
    list.push_back(rowFor(folder, includeSubFolders));
    return added();
}
