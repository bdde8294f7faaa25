#include "scan/ScanSources.h"

#include "base/Log.h"
#include "base/ReleaseElsewhere.h"
#include "base/UserDefaults.h"
#include "core/AppNotifier.h"
#include "core/SettingsSchema.h"
#include "scan/ScanWrapper.h"

#include <QHash>

#include <algorithm>

namespace {

const char* settingKey(SourceList which)
{
    switch (which) {
    case SourceList::scan:
        return SettingsKey::savedPaths;
    case SourceList::exclude:
        return SettingsKey::excludedFolders;
    case SourceList::protect:
        return SettingsKey::protectedFolders;
    }
    return SettingsKey::savedPaths;
}

FilePathNodePtr rowFromEntry(const SavedScanEntry& entry)
{
    auto row = std::make_shared<FilePathNode>();
    row->filePath = entry.path;
    row->state = entry.state;
    row->isIncludeSubFolders = entry.includeSubFolders;
    return row;
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
    // A flag that cannot be read counts as "with sub-folders": for a protected
    // folder that protects more.
    entry.includeSubFolders = Setting::toBool(record->value(QStringLiteral("includeSubFolders"))).value_or(true);
    return entry;
}

QString entryPath(const QVariant& record)
{
    return Setting::toText(Setting::toDictionary(record).value_or(QVariantMap {}).value(QStringLiteral("path")))
        .value_or(QString());
}

// The stored list after this copy's edit when another writer may have stored
// the same list meanwhile: before is the list as this copy last stored or
// read it, mine its list now, theirs the list in the file now. Entries go by
// path. What this copy added, changed or removed since before wins; whatever
// else the other writer did is kept, its new entries after this copy's.
QVariantList mergeEntries(const QVariantList& before, const QVariantList& mine, const QVariantList& theirs)
{
    if (theirs == before)
        return mine;
    const auto byPath = [](const QVariantList& list) {
        QHash<QString, QVariant> entries;
        for (const QVariant& record : list)
            entries.insert(entryPath(record), record);
        return entries;
    };
    const QHash<QString, QVariant> old = byPath(before);
    const QHash<QString, QVariant> own = byPath(mine);
    const QHash<QString, QVariant> other = byPath(theirs);
    QVariantList merged;
    for (const QVariant& record : mine) {
        const QString path = entryPath(record);
        const auto was = old.constFind(path);
        if (was == old.constEnd() || *was != record) {
            merged.append(record);
            continue;
        }
        // Left as it was here: the other writer's removal or change stands.
        if (const auto now = other.constFind(path); now != other.constEnd())
            merged.append(*now);
    }
    for (const QVariant& record : theirs) {
        const QString path = entryPath(record);
        if (!own.contains(path) && !old.contains(path))
            merged.append(record);
    }
    return merged;
}

// The checked folders of a cloud scan list, in list order, that the exclusion
// leaves: the folders a handler's walk starts from. Each takes its row's
// sub-folder switch.
std::vector<CloudScanFoldersListPtr> cloudFoldersToScan(
    const std::vector<FilePathNode>& rows, const std::optional<PathExclusionPredicate>& exclusion)
{
    std::vector<CloudScanFoldersListPtr> folders;
    for (const FilePathNode& row : rows) {
        if (!row.cloudFolder || row.state == 0)
            continue;
        if (exclusion && exclusion->evaluateWithObject(row.cloudFolder->folderPath))
            continue;
        row.cloudFolder->isIncludeSubFolders = row.isIncludeSubFolders;
        folders.push_back(row.cloudFolder);
    }
    return folders;
}

} // namespace

ScanSources::ScanSources(UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , defaults_(defaults)
{
    for (const SourceList which : { SourceList::scan, SourceList::exclude, SourceList::protect })
        takeStoredRecords(which);
    // A list this process stored by another way is where its next edit
    // starts from; only another process's change is merged.
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        for (const SourceList which : { SourceList::scan, SourceList::exclude, SourceList::protect }) {
            if (key == QLatin1String(settingKey(which)))
                takeStoredRecords(which);
        }
    });
    reloadStored(SourceList::exclude);
    reloadStored(SourceList::protect);
    // A reset of the preferences merged the default exclusions into the
    // stored list: that is the list now, for every screen.
    connect(&AppNotifier::instance(), &AppNotifier::PreferencesResetToDefaults, this,
        [this] { reloadStored(SourceList::exclude); });
}

ScanSources::~ScanSources() = default;

ScanSources::Rows& ScanSources::rows(ScanSource source, SourceList which)
{
    return lists_.at(static_cast<size_t>(source)).at(static_cast<size_t>(which));
}

const ScanSources::Rows& ScanSources::list(ScanSource source, SourceList which) const
{
    return lists_.at(static_cast<size_t>(source)).at(static_cast<size_t>(which));
}

bool ScanSources::edit(ScanSource source, SourceList which, const std::function<void(Rows&)>& change)
{
    if (change) {
        Rows& current = rows(source, which);
        Rows changed = current;
        change(changed);
        // Only growth past the bound is refused: a list read from the
        // settings past it (its rows may not all be in memory yet) shrinks.
        size_t had = current.size();
        if (source == ScanSource::thisComputer)
            had = std::max(had, size_t(storedRecords_.at(static_cast<size_t>(which)).size()));
        if (changed.size() > largestList && changed.size() > had) {
            Log::print("A list change refused:", changed.size(), "rows, more than", largestList, "; the list keeps",
                current.size());
            emit listTooLong(source, which, int(largestList));
            return false;
        }
        current = std::move(changed);
    }
    const bool stored = store(source, which);
    emit listChanged(source, which);
    return stored;
}

bool ScanSources::replace(ScanSource source, SourceList which, Rows replacement, Store storing)
{
    if (storing == Store::yes)
        return edit(source, which, [&replacement](Rows& list) { list = std::move(replacement); });
    // What the settings hold now is what a later edit of this copy starts
    // from.
    if (source == ScanSource::thisComputer)
        takeStoredRecords(which);
    rows(source, which) = std::move(replacement);
    emit listChanged(source, which);
    return true;
}

bool ScanSources::store(ScanSource source, SourceList which)
{
    if (source != ScanSource::thisComputer)
        return true;
    QVariantList records;
    for (const FilePathNodePtr& row : list(source, which)) {
        if (row && row->filePath && !row->filePath->isEmpty())
            records.append(makeFolderEntry(*row->filePath, row->state, row->isIncludeSubFolders ? 1 : 0));
    }
    const QString key = QString::fromLatin1(settingKey(which));
    QVariantList& before = storedRecords_.at(static_cast<size_t>(which));
    QVariantList merged = records;
    // Written behind: a list of thousands of rows is not encoded and written
    // while the window waits. A failed save is told by the store.
    const bool stored = defaults_.updateValue(
        key,
        [&](const QVariant& current) {
            // A stored value that is no list is replaced, as it always was.
            if (const std::optional<QVariantList> theirs = Setting::toArray(current))
                merged = mergeEntries(before, records, *theirs);
            return QVariant(merged);
        },
        UserDefaults::Saving::behind);
    before = merged;
    if (merged != records)
        takeMergedRecords(which, merged);
    if (stored)
        return true;
    Log::print("The list could not be stored:", key);
    return false;
}

void ScanSources::takeStoredRecords(SourceList which)
{
    storedRecords_.at(static_cast<size_t>(which))
        = defaults_.arrayValue(QString::fromLatin1(settingKey(which))).value_or(QVariantList {});
}

void ScanSources::takeMergedRecords(SourceList which, const QVariantList& merged)
{
    Log::print("A list stored by another copy meanwhile was merged into this one:", settingKey(which));
    Rows& current = rows(ScanSource::thisComputer, which);
    QHash<QString, FilePathNodePtr> kept;
    for (const FilePathNodePtr& row : current) {
        if (row && row->filePath)
            kept.insert(*row->filePath, row);
    }
    Rows next;
    for (const QVariant& record : merged) {
        const std::optional<SavedScanEntry> entry = entryFromRecord(record);
        if (!entry)
            continue;
        const FilePathNodePtr row = kept.value(entry->path);
        if (row && row->state == entry->state && row->isIncludeSubFolders == entry->includeSubFolders)
            next.push_back(row);
        else
            next.push_back(rowFromEntry(*entry));
    }
    current = std::move(next);
}

std::optional<std::vector<SavedScanEntry>> ScanSources::storedEntries(SourceList which) const
{
    const QString key = QString::fromLatin1(settingKey(which));
    const QVariant stored = defaults_.object(key);
    const std::optional<QVariantList> records = Setting::toArray(stored);
    if (!records) {
        if (stored.isValid())
            Log::print("The setting is not a list; the list stays as it was:", key);
        return std::nullopt;
    }
    std::vector<SavedScanEntry> entries;
    entries.reserve(static_cast<size_t>(records->size()));
    for (qsizetype i = 0; i < records->size(); ++i) {
        if (std::optional<SavedScanEntry> entry = entryFromRecord(records->at(i)))
            entries.push_back(std::move(*entry));
        else
            Log::print("Skipped entry", i, "of", key, ": not a folder record with a path");
    }
    return entries;
}

std::optional<ScanSources::Rows> ScanSources::storedRows(SourceList which) const
{
    const std::optional<std::vector<SavedScanEntry>> entries = storedEntries(which);
    if (!entries)
        return std::nullopt;
    Rows rows;
    rows.reserve(entries->size());
    for (const SavedScanEntry& entry : *entries)
        rows.push_back(rowFromEntry(entry));
    return rows;
}

bool ScanSources::reloadStored(SourceList which)
{
    std::optional<Rows> stored = storedRows(which);
    if (!stored)
        return false;
    return replace(ScanSource::thisComputer, which, std::move(*stored), Store::no);
}

void ScanSources::setHandler(ScanSource source, ScanWrapper* handler)
{
    handlers_.at(static_cast<size_t>(source)) = handler;
}

ScanWrapper* ScanSources::handler(ScanSource source) const
{
    return handlers_.at(static_cast<size_t>(source));
}

CloudScanFoldersListPtr ScanSources::folderTree(ScanSource source) const
{
    ScanWrapper* wrapper = handler(source);
    return wrapper ? wrapper->makeRootFolderNode() : nullptr;
}

void ScanSources::resetFolderTree(ScanSource source)
{
    // The tree may hold the folders of a listing of millions: it ends on the
    // pool, which gives its memory back (the picker lets go of its own
    // reference the same way).
    if (ScanWrapper* wrapper = handler(source); wrapper && wrapper->rootFolderObj)
        releaseElsewhereGivingBack(std::move(wrapper->rootFolderObj));
}

ScanRequest ScanSources::makeScanRequest(ScanSource source) const
{
    ScanRequest request = ::makeScanRequest(source, scanList(source), excludeList(source), defaults_);
    if (source != ScanSource::thisComputer) {
        request.cloudExclusion = makeCloudDirExclusionPredicate(source, excludeList(source));
        if (source != ScanSource::googleDrive)
            request.cloudFolders = cloudFoldersToScan(request.rows, request.cloudExclusion);
    }
    return request;
}
