#include "scan/ScannedFiles.h"

#include "scan/LocalFileRecordBuilder.h"

#include <QAnyStringView>

#include <cstring>
#include <limits>

static_assert(sizeof(FileTimestamp) == 12);

namespace {

// Whether a slash stands between a folder and the names in it.
bool slashAfter(const QString& folder)
{
    return !folder.isEmpty() && !folder.endsWith(QLatin1Char('/'));
}

QString joined(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    QString path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (slashAfter(folder))
        path += QLatin1Char('/');
    path += name;
    return path;
}

bool isUtcDate(const std::optional<QDateTime>& date, qint64 msecs)
{
    return date && date->timeSpec() == Qt::UTC && date->toMSecsSinceEpoch() == msecs;
}

qint64 fileTimeMsecs(const FileTimestamp& time)
{
    return dateOfFileTime(time.seconds, time.nanoseconds).toMSecsSinceEpoch();
}

} // namespace

quint64 ScannedFiles::Pending::deviceId() const
{
    return whole_ ? whole_->deviceId : entry_.deviceId;
}

quint64 ScannedFiles::Pending::inode() const
{
    return whole_ ? whole_->inode : entry_.inode;
}

quint64 ScannedFiles::Pending::fileSize() const
{
    return whole_ ? whole_->fileSize : entry_.fileSize;
}

ScannedFiles::Pending ScannedFiles::prepare(const FileInfoNode& built)
{
    return prepare(built, built.fileName ? built.fileName->toUtf8() : QByteArray());
}

ScannedFiles::Pending ScannedFiles::prepare(const FileInfoNode& built, const QByteArray& name)
{
    Pending pending;
    Entry& entry = pending.entry_;
    const PathText& path = built.filePath;
    // Only what expand() makes again exactly is kept compactly: a record as
    // the builder leaves it, its path made of its folder and its name.
    const bool compact = path && built.fileName && path.lastComponent() == *built.fileName
        && path.folderComponent() == built.folderPath && built.state == false && !built.isMd5Calucaluted && !built.md5
        && !built.isMoveToTrash && !built.isPhotosNode && !built.isiPhotoNode && !built.isProtected
        && built.parent.expired() && !built.cloud && built.arrForSubPathMd5() && built.arrForSubPathMd5()->isEmpty()
        && !built.libraryPath() && !built.photosInfo() && !built.fileType() && !built.exifInfo()
        && (!built.modDate || isUtcDate(built.modDate, fileTimeMsecs(built.modTime)))
        && (!built.createDate || built.createDate->timeSpec() == Qt::UTC)
        && name.size() <= std::numeric_limits<quint16>::max()
        && built.fileExtension == pathExtensionOf(*built.fileName);
    if (!compact) {
        pending.whole_ = std::make_shared<FileInfoNode>(built);
        return pending;
    }
    entry.fileSize = built.fileSize;
    entry.deviceId = built.deviceId;
    entry.inode = built.inode;
    entry.modTime = built.modTime;
    entry.changeTime = built.changeTime;
    entry.createdMs = built.createDate ? built.createDate->toMSecsSinceEpoch() : 0;
    entry.category = built.fileCategory ? quint8(quint8(*built.fileCategory) + 1) : 0;
    const auto flag = [&entry](bool on, Entry::Flag flag) { entry.flags |= on ? flag : 0; };
    flag(built.isDirectory, Entry::directory);
    flag(built.isLocked, Entry::locked);
    flag(built.isNetworkDrive, Entry::networkDrive);
    flag(built.isRawFormat, Entry::rawFormat);
    flag(built.modDate.has_value(), Entry::modified);
    flag(built.createDate.has_value(), Entry::created);
    pending.folder_ = built.folderPath;
    pending.name_ = name;
    return pending;
}

void ScannedFiles::add(Pending&& pending)
{
    entries_.push_back(placed(std::move(pending)));
}

void ScannedFiles::replace(std::size_t item, Pending&& pending)
{
    // What the old entry held stays where it is, unused: a file is replaced
    // seldom, and nothing else moves.
    entries_[item] = placed(std::move(pending));
}

ScannedFiles::Entry ScannedFiles::placed(Pending&& pending)
{
    if (pending.whole_)
        return wholeEntry(std::move(pending.whole_));
    Entry entry = pending.entry_;
    const QByteArray& name = pending.name_;
    if (names_.size() + std::size_t(name.size()) > std::numeric_limits<quint32>::max())
        return wholeEntry(expand(entry, pending.folder_, QString::fromUtf8(name)));
    // The files of one folder come one after the other and share its text.
    if (!folders_.empty() && folders_.back().text.isSharedWith(pending.folder_)) {
        entry.folder = quint32(folders_.size() - 1);
    } else if (const auto known = folderIndex_.constFind(pending.folder_); known != folderIndex_.constEnd()) {
        entry.folder = *known;
    } else {
        entry.folder = quint32(folders_.size());
        folderIndex_.insert(pending.folder_, entry.folder);
        folders_.push_back(Folder { pending.folder_, pending.folder_.toUtf8() });
    }
    entry.nameAt = quint32(names_.append(std::size_t(name.size())));
    entry.nameBytes = quint16(name.size());
    if (!name.isEmpty())
        std::copy(name.begin(), name.end(), &names_[entry.nameAt]);
    return entry;
}

void ScannedFiles::addWhole(FileInfoNodePtr record)
{
    entries_.push_back(wholeEntry(std::move(record)));
}

ScannedFiles::Entry ScannedFiles::wholeEntry(FileInfoNodePtr record)
{
    Entry entry;
    entry.flags = Entry::whole;
    entry.folder = quint32(whole_.size());
    whole_.push_back(std::move(record));
    return entry;
}

FileInfoNodePtr ScannedFiles::record(std::size_t item) const
{
    const Entry& entry = entries_[item];
    if (entry.has(Entry::whole))
        return whole_[entry.folder];
    return expand(entry, folders_[entry.folder].text, nameOf(entry));
}

// The record as the local builder made it.
FileInfoNodePtr ScannedFiles::expand(const Entry& entry, const QString& folder, const QString& name)
{
    auto record = std::make_shared<FileInfoNode>();
    record->setArrForSubPathMd5(QStringList());
    record->folderPath = folder;
    record->filePath.assignParts(record->folderPath, name);
    record->fileName = record->filePath.lastComponent();
    record->isLocked = record->isLockedOnDisk = entry.has(Entry::locked);
    record->deviceId = entry.deviceId;
    record->inode = entry.inode;
    record->isDirectory = entry.has(Entry::directory);
    record->fileSize = entry.fileSize;
    record->modTime = entry.modTime;
    if (entry.has(Entry::modified))
        record->modDate = dateOfFileTime(entry.modTime.seconds, entry.modTime.nanoseconds);
    record->changeTime = entry.changeTime;
    if (entry.has(Entry::created))
        record->createDate = QDateTime::fromMSecsSinceEpoch(entry.createdMs, Qt::UTC);
    record->state = false;
    record->fileExtension = sharedExtension(pathExtensionOf(name));
    if (entry.category != 0)
        record->fileCategory = GlobalObjects::FileCategory(entry.category - 1);
    record->isRawFormat = entry.has(Entry::rawFormat);
    record->isNetworkDrive = entry.has(Entry::networkDrive);
    return record;
}

std::vector<FileInfoNodePtr> ScannedFiles::records() const
{
    std::vector<FileInfoNodePtr> records;
    records.reserve(count());
    for (std::size_t item = 0; item < count(); ++item)
        records.push_back(record(item));
    return records;
}

std::vector<FileInfoNodePtr> ScannedFiles::takeRecords()
{
    std::vector<FileInfoNodePtr> taken = records();
    *this = ScannedFiles();
    return taken;
}

ScannedFiles ScannedFiles::subset(const std::vector<quint32>& items) const
{
    ScannedFiles kept;
    std::vector<qint64> folderOf(folders_.size(), -1);
    for (quint32 item : items) {
        Entry entry = entries_[item];
        if (entry.has(Entry::whole)) {
            entry.folder = quint32(kept.whole_.size());
            kept.whole_.push_back(whole_[entries_[item].folder]);
        } else {
            qint64& folder = folderOf[entry.folder];
            if (folder < 0) {
                folder = qint64(kept.folders_.size());
                kept.folders_.push_back(folders_[entry.folder]);
            }
            entry.folder = quint32(folder);
            entry.nameAt = quint32(kept.names_.append(entry.nameBytes));
            if (entry.nameBytes != 0)
                std::copy_n(nameData(entries_[item]), entry.nameBytes, &kept.names_[entry.nameAt]);
        }
        kept.entries_.push_back(entry);
    }
    return kept;
}

void ScannedFiles::removeIf(const std::function<bool(std::size_t item)>& drop)
{
    std::size_t kept = 0;
    for (std::size_t item = 0; item < entries_.size(); ++item) {
        if (!drop(item))
            entries_[kept++] = entries_[item];
    }
    entries_.truncate(kept);
}

const FileInfoNode* ScannedFiles::wholeRecord(std::size_t item) const
{
    const Entry& entry = entries_[item];
    return entry.has(Entry::whole) ? whole_[entry.folder].get() : nullptr;
}

const char* ScannedFiles::nameData(const Entry& entry) const
{
    return entry.nameBytes == 0 ? "" : &names_[entry.nameAt];
}

QString ScannedFiles::nameOf(const Entry& entry) const
{
    return QString::fromUtf8(nameData(entry), entry.nameBytes);
}

std::size_t ScannedFiles::count() const
{
    return entries_.size();
}

bool ScannedFiles::hasPath(std::size_t item) const
{
    const FileInfoNode* whole = wholeRecord(item);
    return !whole || whole->filePath.has_value();
}

QString ScannedFiles::path(std::size_t item) const
{
    if (const FileInfoNode* whole = wholeRecord(item))
        return whole->filePath.value_or(QString());
    const Entry& entry = entries_[item];
    return joined(folders_[entry.folder].text, nameOf(entry));
}

bool ScannedFiles::pathEquals(std::size_t item, QUtf8StringView path) const
{
    if (const FileInfoNode* whole = wholeRecord(item))
        return recordPathEquals(*whole, path);
    const Entry& entry = entries_[item];
    const Folder& folder = folders_[entry.folder];
    const bool slash = slashAfter(folder.text);
    const qsizetype folderBytes = folder.utf8.size();
    if (path.size() != folderBytes + (slash ? 1 : 0) + entry.nameBytes)
        return false;
    const char* bytes = path.data();
    return std::memcmp(bytes, folder.utf8.constData(), std::size_t(folderBytes)) == 0
        && (!slash || bytes[folderBytes] == '/')
        && (entry.nameBytes == 0
            || std::memcmp(bytes + folderBytes + (slash ? 1 : 0), nameData(entry), entry.nameBytes) == 0);
}

bool ScannedFiles::isDirectory(std::size_t item) const
{
    const FileInfoNode* whole = wholeRecord(item);
    return whole ? whole->isDirectory : entries_[item].has(Entry::directory);
}

quint64 ScannedFiles::fileSize(std::size_t item) const
{
    const FileInfoNode* whole = wholeRecord(item);
    return whole ? whole->fileSize : entries_[item].fileSize;
}

quint64 ScannedFiles::deviceId(std::size_t item) const
{
    const FileInfoNode* whole = wholeRecord(item);
    return whole ? whole->deviceId : entries_[item].deviceId;
}

quint64 ScannedFiles::inode(std::size_t item) const
{
    const FileInfoNode* whole = wholeRecord(item);
    return whole ? whole->inode : entries_[item].inode;
}

FileTimestamp ScannedFiles::storedModTime(std::size_t item) const
{
    // A compactly kept file's date is its modification time's, so that time
    // is the stored one even when it is all zero.
    const FileInfoNode* whole = wholeRecord(item);
    return whole ? recordStoredModTime(*whole) : entries_[item].modTime;
}

FileTimestamp ScannedFiles::changeTime(std::size_t item) const
{
    const FileInfoNode* whole = wholeRecord(item);
    return whole ? whole->changeTime : entries_[item].changeTime;
}

qint64 ScannedFiles::createdSeconds(std::size_t item) const
{
    if (const FileInfoNode* whole = wholeRecord(item))
        return recordCreatedSeconds(*whole);
    const Entry& entry = entries_[item];
    return entry.has(Entry::created) ? entry.createdMs / 1000 : 0;
}
