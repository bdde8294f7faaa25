#include "home/LocationLists.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

#include <unistd.h>

namespace {

QString cleanAbsolute(const QString& path)
{
    return QDir::cleanPath(path);
}

} // namespace

bool isSameOrAncestorPath(const QString& folder, const QString& path)
{
    if (folder.isEmpty() || path.isEmpty())
        return false;
    const QString f = cleanAbsolute(folder);
    const QString p = cleanAbsolute(path);
    if (f == p || f == QLatin1String("/"))
        return true;
    return p.startsWith(f) && p.at(f.size()) == QLatin1Char('/');
}

bool isInTrash(const QString& path)
{
    // Every Trash below has a name with this in it, which cleaning the path
    // cannot make: a choice of thousands passes at once.
    if (path.isEmpty() || !path.contains(QLatin1StringView("Trash")))
        return false;
    const QString clean = cleanAbsolute(path);
    if (isSameOrAncestorPath(AppPaths::dataHome() + QStringLiteral("/Trash"), clean))
        return true;
    const QString uid = QString::number(::getuid());
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i] == QStringLiteral(".Trash-") + uid)
            return true;
        if (parts[i] == QLatin1String(".Trash") && i + 1 < parts.size() && parts[i + 1] == uid)
            return true;
    }
    return false;
}

bool isPhotosLibraryPath(const QString& path)
{
    return QFileInfo(path).suffix().toLower() == QLatin1String("photoslibrary");
}

LocationLists::LocationLists(ScanSources& owner)
    : sources(owner)
{
}

const LocationLists::Rows& LocationLists::scanListForSource() const
{
    return sources.scanList(source());
}

const LocationLists::Rows& LocationLists::excludeListForSource() const
{
    return sources.excludeList(source());
}

const LocationLists::Rows& LocationLists::protectListForSource() const
{
    return sources.protectList(source());
}

bool LocationLists::isPhotosLibraryPathAdded() const
{
    const Rows& rows = scanListForSource();
    return std::any_of(rows.begin(), rows.end(),
        [](const FilePathNodePtr& row) { return row && row->filePath && isPhotosLibraryPath(*row->filePath); });
}

bool LocationLists::savePathsBookmark()
{
    return sources.edit(source(), SourceList::scan, nullptr);
}

bool LocationLists::saveExcludedFolders()
{
    return sources.edit(source(), SourceList::exclude, nullptr);
}

bool LocationLists::saveProtectedFolders()
{
    return sources.edit(source(), SourceList::protect, nullptr);
}

std::vector<SavedScanEntry> LocationLists::restoreSavedScanLists() const
{
    return sources.storedEntries(SourceList::scan).value_or(std::vector<SavedScanEntry>());
}

void LocationLists::loadSavedScanList()
{
    bool skippedAny = false;
    Rows rows;
    QSet<QString> taken;
    for (const SavedScanEntry& entry : restoreSavedScanLists()) {
        const QFileInfo info(entry.path);
        if (!info.exists() || isInTrash(entry.path) || taken.contains(entry.path)) {
            Log::print("Saved scan location dropped (gone, in the Trash or repeated):", entry.path);
            skippedAny = true;
            continue;
        }
        // A folder whose name ends like a package's (".app", ".bundle",
        // ".photolibrary") is still a folder the user chose: it comes back
        // like any other. What a scan makes of such a name is the scan's
        // business.
        FilePathNodePtr row = makePathNode(entry.path);
        row->state = entry.state;
        row->isIncludeSubFolders = entry.includeSubFolders;
        taken.insert(entry.path);
        rows.push_back(std::move(row));
    }
    // Only what is gone (or repeated) is written away.
    sources.replace(ScanSource::thisComputer, SourceList::scan, std::move(rows),
        skippedAny ? ScanSources::Store::yes : ScanSources::Store::no);
}

void LocationLists::restoreExcludedFolders()
{
    sources.reloadStored(SourceList::exclude);
}

void LocationLists::restoreProtectedFolders()
{
    sources.reloadStored(SourceList::protect);
}

FilePathNodePtr LocationLists::makePathNode(const QString& path)
{
    auto row = std::make_shared<FilePathNode>();
    row->filePath = path;
    row->state = 1;
    row->isIncludeSubFolders = true;
    return row;
}

FilePathNodePtr LocationLists::addPathToScanList(const QString& path, const std::shared_ptr<GDFoldersList>& gdFolder,
    const std::shared_ptr<CloudScanFoldersList>& cloudFolder)
{
    FilePathNodePtr row = makePathNode(path);
    row->gdFolder = gdFolder;
    const ScanSource chosen = source();
    if (chosen != ScanSource::thisComputer && chosen != ScanSource::googleDrive)
        row->cloudFolder = cloudFolder;
    sources.edit(chosen, SourceList::scan, [&row](Rows& rows) { rows.push_back(row); });
    return row;
}

bool LocationLists::isPathInScanList(const QString& path) const
{
    return scanListPaths().holdsSameOrBelow(path);
}

bool LocationLists::isInScanListExactly(const QString& path) const
{
    const Rows& rows = scanListForSource();
    return std::any_of(
        rows.begin(), rows.end(), [&](const FilePathNodePtr& row) { return row && row->filePath == path; });
}

bool LocationLists::removeRow(SourceList which, int row)
{
    const Rows& rows = sources.list(source(), which);
    if (row < 0 || static_cast<size_t>(row) >= rows.size())
        return false;
    sources.edit(source(), which, [row](Rows& list) { list.erase(list.begin() + row); });
    return true;
}

bool LocationLists::removeScanRow(int row)
{
    return removeRow(SourceList::scan, row);
}

bool LocationLists::removeExcludeRow(int row)
{
    return removeRow(SourceList::exclude, row);
}

bool LocationLists::removeProtectRow(int row)
{
    return removeRow(SourceList::protect, row);
}

bool LocationLists::hasCheckedScanRow() const
{
    const Rows& rows = scanListForSource();
    return std::any_of(rows.begin(), rows.end(), [](const FilePathNodePtr& row) { return row && row->state == 1; });
}
