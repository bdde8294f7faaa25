#include "home/LocationLists.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "marking/ProtectedFolderStore.h"
#include "scan/PackageTypes.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include <unistd.h>

namespace {

QString settingKey(const char* key)
{
    return QString::fromLatin1(key);
}

QString cleanAbsolute(const QString& path)
{
    return QDir::cleanPath(path);
}

std::optional<SavedScanEntry> entryFromRecord(const QVariant& element)
{
    const std::optional<QVariantMap> record = Setting::toDictionary(element);
    if (!record)
        return std::nullopt;
    const std::optional<QString> path = Setting::toText(record->value(QStringLiteral("path")));
    if (!path || path->isEmpty())
        return std::nullopt;
    SavedScanEntry entry;
    entry.path = *path;
    const QVariant state = record->value(QStringLiteral("state"));
    if (const auto number = Setting::toInteger(state))
        entry.state = *number == 0 ? 0 : 1;
    else
        entry.state = Setting::toBool(state).value_or(true) ? 1 : 0;
    entry.includeSubFolders = Setting::toBool(record->value(QStringLiteral("includeSubFolders"))).value_or(true);
    return entry;
}

QVariantMap recordOf(const FilePathNode& row)
{
    return makeFolderEntry(*row.filePath, row.state, row.isIncludeSubFolders ? 1 : 0);
}

bool saveRows(UserDefaults& defaults, const char* key, const std::vector<FilePathNodePtr>& rows)
{
    QVariantList records;
    for (const FilePathNodePtr& row : rows) {
        if (row && row->filePath && !row->filePath->isEmpty())
            records.append(recordOf(*row));
    }
    return defaults.setValue(settingKey(key), records) && defaults.synchronize();
}

template <typename List> bool removeAt(List& list, int row)
{
    if (row < 0 || static_cast<size_t>(row) >= list.size())
        return false;
    list.erase(list.begin() + row);
    return true;
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
    if (path.isEmpty())
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

LocationLists::LocationLists(UserDefaults& defaults, Lists lists, ProtectedFolderStore& protect)
    : arrPathNodesFinder(lists.scan)
    , arrExcludePathsFinder(lists.excludeFinder)
    , arrExcludePathsGDrive(lists.excludeGDrive)
    , arrExcludePathsCloud(lists.excludeCloud)
    , dictPathAdded(lists.pathsAdded)
    , protectedFolders(protect)
    , defaults_(defaults)
{
}

std::vector<FilePathNodePtr>& LocationLists::excludeListForSource()
{
    switch (selectedScanSource().load()) {
    case ScanSource::thisComputer:
        return arrExcludePathsFinder;
    case ScanSource::googleDrive:
        return arrExcludePathsGDrive;
    default:
        return arrExcludePathsCloud;
    }
}

std::vector<FilePathNodePtr>& LocationLists::protectListForSource()
{
    return protectedFolders.listForSource(selectedScanSource().load());
}

bool LocationLists::savePathsBookmark()
{
    if (selectedScanSource().load() != ScanSource::thisComputer)
        return true;
    return saveRows(defaults_, SettingsKey::savedPaths, arrPathNodesFinder);
}

bool LocationLists::saveExcludedFolders()
{
    return saveRows(defaults_, SettingsKey::excludedFolders, arrExcludePathsFinder);
}

bool LocationLists::saveProtectedFolders()
{
    return protectedFolders.saveProtectedFolders();
}

std::vector<SavedScanEntry> LocationLists::restoreSavedScanLists() const
{
    std::vector<SavedScanEntry> entries;
    const QVariant stored = defaults_.object(settingKey(SettingsKey::savedPaths));
    if (!stored.isValid())
        return entries;
    const std::optional<QVariantList> records = Setting::toArray(stored);
    if (!records) {
        Log::print("The saved scan list is not a list; no scan locations restored");
        return entries;
    }
    for (qsizetype i = 0; i < records->size(); ++i) {
        if (std::optional<SavedScanEntry> entry = entryFromRecord(records->at(i)))
            entries.push_back(std::move(*entry));
        else
            Log::print("Skipped saved scan entry", i, ": not a location record with a path");
    }
    return entries;
}

void LocationLists::loadSavedScanList()
{
    bool skippedAny = false;
    for (const SavedScanEntry& entry : restoreSavedScanLists()) {
        const QFileInfo info(entry.path);
        if (!info.exists() || isInTrash(entry.path) || dictPathAdded.contains(entry.path)) {
            Log::print("Saved scan location dropped (gone, in the Trash or repeated):", entry.path);
            skippedAny = true;
            continue;
        }
        const QString extension = info.suffix().toLower();
        if (info.isDir() && isPackageExtension(extension) && extension != QLatin1String("photoslibrary")
            && extension != QLatin1String("migratedphotolibrary")) {
            Log::print("Saved scan location is a package; not restored:", entry.path);
            continue;
        }
        FilePathNodePtr row = addPathToScanList(entry.path);
        row->state = entry.state;
        row->isIncludeSubFolders = entry.includeSubFolders;
        if (isPhotosLibraryPath(entry.path))
            isPhotosLibraryPathAdded = true;
    }
    if (skippedAny)
        savePathsBookmark();
}

void LocationLists::restoreExcludedFolders()
{
    const QVariant stored = defaults_.object(settingKey(SettingsKey::excludedFolders));
    const std::optional<QVariantList> records = Setting::toArray(stored);
    if (!records) {
        if (stored.isValid())
            Log::print("The excluded folders setting is not a list; the excluded folders stay as they were");
        return;
    }
    std::vector<FilePathNodePtr> rows;
    for (qsizetype i = 0; i < records->size(); ++i) {
        std::optional<SavedScanEntry> entry = entryFromRecord(records->at(i));
        if (!entry) {
            Log::print("Skipped excluded folder entry", i, "of the settings: not a folder record with a path");
            continue;
        }
        auto row = std::make_shared<FilePathNode>();
        row->filePath = entry->path;
        row->state = entry->state;
        row->isIncludeSubFolders = entry->includeSubFolders;
        rows.push_back(std::move(row));
    }
    arrExcludePathsFinder = std::move(rows);
}

void LocationLists::restoreProtectedFolders()
{
    protectedFolders.loadThisComputerList();
}

FilePathNodePtr LocationLists::addPathToScanList(const QString& path, const std::shared_ptr<GDFoldersList>& gdFolder,
    const std::shared_ptr<CloudScanFoldersList>& cloudFolder)
{
    auto row = std::make_shared<FilePathNode>();
    row->filePath = path;
    row->state = 1;
    row->isIncludeSubFolders = true;
    row->gdFolder = gdFolder;
    arrPathNodesFinder.push_back(row);
    const ScanSource source = selectedScanSource().load();
    if (source == ScanSource::googleDrive) {
        arrPathNodesGDrive.push_back(row);
    } else if (source != ScanSource::thisComputer) {
        if (cloudFolder)
            row->cloudFolder = cloudFolder;
        if (cloudScanMirror)
            cloudScanMirror->push_back(row);
    }
    dictPathAdded.insert(path, QStringLiteral("1"));
    return row;
}

FilePathNodePtr LocationLists::appendPathNode(const QString& path, std::vector<FilePathNodePtr>& list)
{
    auto row = std::make_shared<FilePathNode>();
    row->filePath = path;
    row->state = 1;
    row->isIncludeSubFolders = true;
    list.push_back(row);
    return row;
}

bool LocationLists::isPathInScanList(const QString& path) const
{
    for (auto it = dictPathAdded.cbegin(); it != dictPathAdded.cend(); ++it) {
        if (isSameOrAncestorPath(path, it.key()))
            return true;
    }
    return false;
}

bool LocationLists::removeScanRow(int row)
{
    if (row < 0 || static_cast<size_t>(row) >= arrPathNodesFinder.size())
        return false;
    const FilePathNodePtr node = arrPathNodesFinder[static_cast<size_t>(row)];
    const QString path = node && node->filePath ? *node->filePath : QString();
    if (isPhotosLibraryPath(path))
        isPhotosLibraryPathAdded = false;
    dictPathAdded.remove(path);
    removeAt(arrPathNodesFinder, row);
    const ScanSource source = selectedScanSource().load();
    // The mirrors hold the same row objects; removing by identity keeps them
    // right even if an index has drifted.
    if (source == ScanSource::googleDrive)
        std::erase(arrPathNodesGDrive, node);
    else if (source != ScanSource::thisComputer && cloudScanMirror)
        std::erase(*cloudScanMirror, node);
    savePathsBookmark();
    return true;
}

bool LocationLists::removeExcludeRow(int row)
{
    if (!removeAt(excludeListForSource(), row))
        return false;
    if (selectedScanSource().load() == ScanSource::thisComputer)
        saveExcludedFolders();
    return true;
}

bool LocationLists::removeProtectRow(int row)
{
    if (!removeAt(protectListForSource(), row))
        return false;
    if (selectedScanSource().load() == ScanSource::thisComputer)
        saveProtectedFolders();
    return true;
}

bool LocationLists::hasCheckedScanRow() const
{
    return std::any_of(arrPathNodesFinder.begin(), arrPathNodesFinder.end(),
        [](const FilePathNodePtr& row) { return row && row->state == 1; });
}
