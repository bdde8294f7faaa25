#include "platform/Trash.h"

#include "base/Log.h"
#include "core/FileUtilities.h"
#include "platform/HeldFile.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Entries tried per file: the name, numbered names, then random tags.
constexpr int entryAttempts = 20;
const QByteArray infoSuffix = QByteArrayLiteral(".trashinfo");

// The folder with its mount: a bind mount of one volume is a place of its
// own, where a rename from elsewhere fails.
std::optional<std::pair<quint64, quint64>> mountOf(int folder, const QByteArray& name)
{
    struct statx status { };
    if (::statx(folder, name.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_MNT_ID, &status) != 0)
        return std::nullopt;
    const quint64 mount = (status.stx_mask & STATX_MNT_ID) ? status.stx_mnt_id : 0;
    return std::pair { mount, static_cast<quint64>(makedev(status.stx_dev_major, status.stx_dev_minor)) };
}

std::optional<std::pair<quint64, quint64>> mountOf(const QString& path)
{
    return mountOf(AT_FDCWD, QFile::encodeName(path));
}

// The mount of path, or of the nearest folder above it that is there: where
// a folder still to be made would be. None for a relative or empty path.
std::optional<std::pair<quint64, quint64>> mountOfNearest(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    for (QString place = QDir::cleanPath(path);; place = QFileInfo(place).path()) {
        if (const auto mount = mountOf(place))
            return mount;
        if (place == QStringLiteral("/"))
            return std::nullopt;
    }
}

// The name of the attempt-th try (from 0) for a file named name: the name
// itself, then numbered, then with a random tag; cut on a character
// boundary so that it fits a folder entry with ".trashinfo" added.
QByteArray entryName(const QByteArray& name, int attempt)
{
    constexpr qsizetype room = NAME_MAX - 10; // ".trashinfo"
    QByteArray tag;
    if (attempt > 0 && attempt < entryAttempts / 2)
        tag = '.' + QByteArray::number(attempt + 1);
    else if (attempt > 0)
        tag = '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16);
    QByteArray stem = name;
    QByteArray extension;
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0 && name.size() - dot <= 16) {
        stem = name.left(dot);
        extension = name.mid(dot);
    }
    const qsizetype keep = room - tag.size() - extension.size();
    if (stem.size() > keep) {
        qsizetype cut = keep;
        // Never inside a character: back to the start of the one cut through.
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.truncate(cut);
    }
    return stem + tag + extension;
}

// The text of a trash entry for the absolute path, deleted at when.
QByteArray trashInfoText(const QString& path, const QDateTime& when)
{
    return QByteArrayLiteral("[Trash Info]\nPath=") + QUrl::toPercentEncoding(QFile::encodeName(path), "/")
        + QByteArrayLiteral("\nDeletionDate=") + when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1()
        + '\n';
}

} // namespace

std::optional<FileFacts> factsOf(const QString& path)
{
    if (path.isEmpty()) {
        errno = ENOENT;
        return std::nullopt;
    }
    return factsAt(AT_FDCWD, QFile::encodeName(path), AT_SYMLINK_NOFOLLOW);
}

std::optional<FileFacts> factsAt(int folder, const QByteArray& name, int flags)
{
    struct statx status { };
    if (::statx(folder, name.constData(), flags, STATX_BASIC_STATS | STATX_BTIME, &status) != 0)
        return std::nullopt;
    const auto timestamp = [](const struct statx_timestamp& time) {
        return FileTimestamp { time.tv_sec, time.tv_nsec };
    };
    FileFacts facts;
    facts.regular = S_ISREG(status.stx_mode);
    facts.device = makedev(status.stx_dev_major, status.stx_dev_minor);
    facts.inode = status.stx_ino;
    facts.size = status.stx_size;
    facts.modTime = timestamp(status.stx_mtime);
    facts.changeTime = timestamp(status.stx_ctime);
    if (status.stx_mask & STATX_BTIME)
        facts.birthTime = timestamp(status.stx_btime);
    return facts;
}

int renameWithoutReplacing(const QString& from, const QString& to)
{
    return renameAtWithoutReplacing(AT_FDCWD, QFile::encodeName(from), AT_FDCWD, QFile::encodeName(to));
}

int renameAtWithoutReplacing(int fromFolder, const QByteArray& from, int toFolder, const QByteArray& to)
{
    if (::renameat2(fromFolder, from.constData(), toFolder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    // A file system that cannot promise it (some network and FUSE ones):
    // looking first leaves open only the moment between the look and the
    // rename, also in the user's own folders that an undo renames into.
    struct stat status { };
    if (::fstatat(toFolder, to.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(fromFolder, from.constData(), toFolder, to.constData()) == 0 ? 0 : errno;
}

std::optional<QString> writeWhole(int fd, const QByteArray& text)
{
    std::optional<QString> error;
    for (qsizetype written = 0; written < text.size() && !error;) {
        const ssize_t step = ::write(fd, text.constData() + written, static_cast<size_t>(text.size() - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            error = step < 0 ? errnoText(errno) : QStringLiteral("nothing was written");
        else
            written += step;
    }
    return error;
}

std::optional<QString> writeDurably(int fd, const QByteArray& text)
{
    std::optional<QString> error = writeWhole(fd, text);
    struct stat status { };
    if (!error && ::fsync(fd) != 0)
        error = errnoText(errno);
    if (!error && (::fstat(fd, &status) != 0 || status.st_size != text.size()))
        error = QStringLiteral("what is on the disk is not what was written");
    if (::close(fd) != 0 && !error)
        error = errnoText(errno);
    return error;
}

namespace {

// Makes count files just written into the folder open at folder durable
// together with their names; openFile(i) opens the i-th for its own sync.
bool flushTogether(int folder, std::size_t count, const std::function<int(std::size_t)>& openFile)
{
    bool durable = folder >= 0;
    // A volume on a block device of its own writes out everything at once;
    // elsewhere (network, FUSE) only a file's own sync is sure to reach its
    // server.
    struct statfs volume { };
    const bool wholeVolume = durable && ::fstatfs(folder, &volume) == 0
        && (volume.f_type == 0xEF53 || volume.f_type == 0x58465342 || volume.f_type == 0x9123683E
            || volume.f_type == static_cast<decltype(volume.f_type)>(0xF2F52010));
    if (wholeVolume) {
        durable = ::syncfs(folder) == 0;
    } else {
        for (std::size_t i = 0; i < count && durable; ++i) {
            const FileDescriptor file(openFile(i));
            durable = file.isOpen() && ::fsync(file.get()) == 0;
        }
    }
    return durable && ::fsync(folder) == 0;
}

} // namespace

bool makeDurableTogether(const QString& folder, const std::vector<QString>& files)
{
    const FileDescriptor opened(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return flushTogether(opened.get(), files.size(), [&files](std::size_t i) {
        return ::open(QFile::encodeName(files[i]).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    });
}

bool makeDurableTogetherAt(int folder, const std::vector<QByteArray>& names)
{
    return flushTogether(folder, names.size(), [folder, &names](std::size_t i) {
        return ::openat(folder, names[i].constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    });
}

namespace {

// Unlinks count entries several at a time; unlinkOne(i) removes the i-th
// and tells why it stays.
void unlinkTogether(std::size_t count, const std::function<void(std::size_t)>& unlinkOne)
{
    // Entries per remover, and removers at most: a few dozen removals keep
    // a remover's start worth its while.
    constexpr std::size_t perRemover = 32;
    constexpr std::size_t mostRemovers = 8;
    std::atomic<std::size_t> next { 0 };
    const auto removeSome = [&] {
        for (std::size_t index; (index = next.fetch_add(1)) < count;)
            unlinkOne(index);
    };
    std::vector<std::thread> removers;
    const std::size_t removerCount = std::min(mostRemovers, count / perRemover);
    for (std::size_t i = 1; i < removerCount; ++i) {
        try {
            removers.emplace_back(removeSome);
        } catch (const std::system_error&) {
            break; // No thread to be had: the others, and this one, do it all.
        }
    }
    removeSome();
    for (std::thread& remover : removers)
        remover.join();
}

} // namespace

void removeTrashEntries(const std::vector<TrashEntry>& entries)
{
    // Each held trash's info folder opened once.
    std::map<const HeldTrash*, FileDescriptor> infoFolders;
    std::vector<int> folders;
    folders.reserve(entries.size());
    for (const TrashEntry& entry : entries) {
        auto [folder, first] = infoFolders.try_emplace(entry.trash.get());
        if (first && entry.trash)
            folder->second = entry.trash->openPart("info");
        folders.push_back(folder->second.get());
    }
    unlinkTogether(entries.size(), [&entries, &folders](std::size_t index) {
        const TrashEntry& entry = entries[index];
        if (folders[index] < 0 || (::unlinkat(folders[index], entry.infoName().constData(), 0) != 0 && errno != ENOENT))
            Log::print("Trash: the entry", QFile::decodeName(entry.infoName()), "stays in",
                entry.trash ? entry.trash->path() : QString(), errnoText(errno));
    });
}

namespace {

// The text of the trash entry at infoPath, with the entry file as it is
// (when facts is given), or none when it is no regular file or cannot be
// read. Never waits on what stands in an entry's place (a FIFO).
std::optional<QByteArray> readTrashInfo(int folder, const QByteArray& name, FileFacts* facts = nullptr)
{
    const FileDescriptor file(::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.isOpen())
        return std::nullopt;
    const auto opened = factsAt(file.get(), QByteArray(), AT_EMPTY_PATH);
    if (!opened || !opened->regular)
        return std::nullopt;
    if (facts)
        *facts = *opened;
    // An entry is a few lines; anything longer is not one of ours.
    QByteArray text(64 * 1024, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < text.size()) {
        const ssize_t got = ::read(file.get(), text.data() + size, static_cast<size_t>(text.size() - size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        size += got;
    }
    text.truncate(size);
    return text;
}

} // namespace

std::optional<QString> trashInfoOriginalPath(const QString& infoPath)
{
    const auto text = readTrashInfo(AT_FDCWD, QFile::encodeName(infoPath));
    return text ? originalPathInTrashInfo(*text) : std::nullopt;
}

std::optional<QString> originalPathInTrashInfo(const QByteArray& text)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != "[Trash Info]")
        return std::nullopt;
    for (const QByteArray& line : lines) {
        if (line.startsWith("Path="))
            return QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(5)));
    }
    return std::nullopt;
}

namespace {

bool isEntryAsWritten(int folder, const QByteArray& name, const QByteArray& text, const FileFacts& written)
{
    // The deletion date and path alone prove nothing: a desktop that trashes
    // another file of that path within the same second writes the same text
    // under the same name once the trash was emptied. The entry file itself,
    // never written to since, is what this program left there.
    FileFacts now;
    const auto read = readTrashInfo(folder, name, &now);
    return read && !text.isEmpty() && *read == text && now.sameFileAs(written) && now.size == written.size
        && now.modTime == written.modTime;
}

} // namespace

bool isTrashEntryAsWritten(const QString& infoPath, const QByteArray& text, const FileFacts& written)
{
    return isEntryAsWritten(AT_FDCWD, QFile::encodeName(infoPath), text, written);
}

bool isTrashEntryAsWritten(const TrashEntry& entry, const QByteArray& text, const FileFacts& written)
{
    if (!entry.isSet())
        return false;
    const FileDescriptor info = entry.trash->openPart("info");
    return info.isOpen() && isEntryAsWritten(info.get(), entry.infoName(), text, written);
}

TrashFolder TrashCan::folderFor(const Mount& mount, const QString& path)
{
    const std::lock_guard guard(lock_);
    if (const auto known = folders_.find(mount); known != folders_.end())
        return known->second;
    // The home trash serves the files of its own mount and no other: where
    // it cannot be used (another user's, after a program ran with the
    // administrator's rights), those files are refused with its reason,
    // and every other volume still has a trash of its own.
    TrashFolder folder;
    if (mountOfNearest(TrashDetail::homeTrashPath()) == mount) {
        folder = TrashDetail::homeTrashFolder();
    } else {
        // The top folder of the file's mount: the last folder up the real
        // path that is still on it.
        QString top = QFileInfo(QFileInfo(path).path()).canonicalFilePath();
        while (!top.isEmpty() && top != QStringLiteral("/")) {
            const QString up = QFileInfo(top).path();
            if (mountOf(up) != mount)
                break;
            top = up;
        }
        folder = top.isEmpty() ? TrashFolder { {}, QStringLiteral("its folder cannot be resolved"), {} }
                               : TrashDetail::volumeTrashFolder(top == QStringLiteral("/") ? QString() : top, ::getuid());
    }
    folders_[mount] = folder;
    return folder;
}

void TrashCan::forget()
{
    const std::lock_guard guard(lock_);
    folders_.clear();
}

void TrashCan::releaseFolders()
{
    std::map<Mount, TrashFolder> found;
    {
        const std::lock_guard guard(lock_);
        found.swap(folders_);
    }
    for (const auto& [mount, folder] : found) {
        if (folder.held)
            folder.held->release();
    }
}

void TrashCan::prepareEntries(const std::vector<QString>& paths, std::chrono::milliseconds budget)
{
    dropPrepared();
    QElapsedTimer clock;
    clock.start();
    const QDateTime now = QDateTime::currentDateTime();
    // The info folders of this batch's trash folders, each checked once and
    // opened from its held folder; the entries written in each, made
    // durable with their folder's before any of their files moves.
    struct Batch {
        FileDescriptor info;
        std::vector<std::pair<QString, PreparedEntry>> entries;
    };
    std::map<std::shared_ptr<const HeldTrash>, Batch> written;
    for (const QString& path : paths) {
        if (clock.elapsed() > budget.count())
            break;
        const auto mount = mountOf(path);
        if (!mount)
            continue;
        const TrashFolder folder = folderFor(*mount, path);
        if (!folder.error.isEmpty())
            continue;
        auto [batch, first] = written.try_emplace(folder.held);
        if (first) {
            if (const auto fault = folder.held->recheck())
                Log::print("Trash: the trash folder can no longer be used,", *fault);
            else
                batch->second.info = folder.held->openPart("info");
        }
        if (!batch->second.info.isOpen())
            continue;
        const int info = batch->second.info.get();
        const QByteArray name = QFile::encodeName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
        const QByteArray text = trashInfoText(path, now);
        // Numbered names only: a name taken that often is left to the
        // file's own entry, with its random tags.
        for (int attempt = 0; attempt < entryAttempts / 2; ++attempt) {
            const QByteArray entry = entryName(name, attempt);
            const QByteArray infoName = entry + infoSuffix;
            const int fd = ::openat(info, infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0 && errno == EEXIST)
                continue;
            if (fd < 0)
                break;
            const auto error = writeWhole(fd, text);
            if (::close(fd) != 0 || error) {
                ::unlinkat(info, infoName.constData(), 0);
                break;
            }
            const QString infoPath = folder.path + QStringLiteral("/info/") + QFile::decodeName(infoName);
            batch->second.entries.push_back({ path, { folder.held, entry, infoPath, text } });
            break;
        }
    }
    for (auto& [folder, batch] : written) {
        if (batch.entries.empty())
            continue;
        std::vector<QByteArray> names;
        names.reserve(batch.entries.size());
        for (const auto& [path, entry] : batch.entries)
            names.push_back(entry.entry + infoSuffix);
        const bool durable = makeDurableTogetherAt(batch.info.get(), names);
        if (!durable)
            Log::print("Trash: the entries of a batch could not be made durable in", folder->path(), errnoText(errno));
        const std::lock_guard guard(lock_);
        for (auto& [path, entry] : batch.entries) {
            if (!durable)
                ::unlinkat(batch.info.get(), (entry.entry + infoSuffix).constData(), 0);
            else if (const auto [earlier, added] = prepared_.try_emplace(path, std::move(entry)); !added)
                // One path twice in a batch: the second time waits for an
                // entry of its own.
                ::unlinkat(batch.info.get(), (entry.entry + infoSuffix).constData(), 0);
        }
    }
}

namespace {

// Removes the entry written ahead in its trash's info folder.
void unlinkPrepared(const std::shared_ptr<const HeldTrash>& folder, const QByteArray& entry)
{
    if (!folder)
        return;
    const FileDescriptor info = folder->openPart("info");
    if (info.isOpen())
        ::unlinkat(info.get(), (entry + infoSuffix).constData(), 0);
}

} // namespace

void TrashCan::dropPrepared()
{
    std::map<QString, PreparedEntry> left;
    {
        const std::lock_guard guard(lock_);
        left.swap(prepared_);
    }
    std::vector<TrashEntry> entries;
    entries.reserve(left.size());
    for (auto& [path, entry] : left)
        entries.push_back({ std::move(entry.folder), std::move(entry.entry) });
    removeTrashEntries(entries);
}

std::optional<TrashCan::PreparedEntry> TrashCan::takePrepared(const QString& path)
{
    const std::lock_guard guard(lock_);
    const auto found = prepared_.find(path);
    if (found == prepared_.end())
        return std::nullopt;
    PreparedEntry entry = std::move(found->second);
    prepared_.erase(found);
    return entry;
}

FileRemoval TrashCan::moveToTrash(
    const HeldFile& held, const RemovalProof& proof, const std::function<void(const QString& path)>& beforeRename)
{
    const QString& path = held.path;
    std::optional<PreparedEntry> ready = takePrepared(path);
    const auto mount = mountOf(held.folder.get(), held.name);
    TrashFolder folder = mount ? folderFor(*mount, path) : TrashFolder { {}, errnoText(errno), {} };
    // The trash folder as it was held when it was found, looked at again:
    // its files and info folders are reached from it alone.
    if (folder.error.isEmpty()) {
        if (const auto fault = folder.held->recheck())
            folder.error = *fault;
    }
    FileDescriptor files;
    FileDescriptor info;
    if (folder.error.isEmpty()) {
        files = folder.held->openPart("files");
        if (!files.isOpen())
            folder.error = TrashDetail::partFault(folder.path, "files", errno);
        else if (info = folder.held->openPart("info"); !info.isOpen())
            folder.error = TrashDetail::partFault(folder.path, "info", errno);
    }
    // The entry written ahead serves only while it is still there as it was
    // written, in the trash this file goes to.
    if (ready) {
        struct stat readyStatus { };
        if (ready->folder != folder.held || !info.isOpen()
            || ::fstatat(info.get(), (ready->entry + infoSuffix).constData(), &readyStatus, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(readyStatus.st_mode) || readyStatus.st_size != ready->text.size()) {
            unlinkPrepared(ready->folder, ready->entry);
            ready.reset();
        }
    }
    if (!folder.error.isEmpty())
        return FileRemoval::failed(QStringLiteral("its volume has no usable trash: %1").arg(folder.error));
    for (int attempt = 0; attempt < entryAttempts; ++attempt) {
        QByteArray entry;
        QString infoPath;
        QByteArray text;
        if (ready) {
            entry = ready->entry;
            infoPath = ready->info;
            text = std::move(ready->text);
            ready.reset();
        } else {
            entry = entryName(held.name, attempt);
            infoPath = folder.path + QStringLiteral("/info/") + QFile::decodeName(entry + infoSuffix);
            const int fd = ::openat(info.get(), (entry + infoSuffix).constData(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0 && errno == EEXIST)
                continue;
            if (fd < 0)
                return FileRemoval::failed(
                    QStringLiteral("the trash cannot take its entry: %1").arg(errnoText(errno)));
            text = trashInfoText(path, QDateTime::currentDateTime());
            if (const auto error = writeDurably(fd, text)) {
                ::unlinkat(info.get(), (entry + infoSuffix).constData(), 0);
                return FileRemoval::failed(QStringLiteral("the trash entry cannot be written: %1").arg(*error));
            }
        }
        const QByteArray infoName = entry + infoSuffix;
        const QString trashed = folder.path + QStringLiteral("/files/") + QFile::decodeName(entry);
        const HeldMove move = moveHeldFile(held, files.get(), entry, trashed, beforeRename);
        if (!move.moved) {
            // Whatever else was moved and could not be put back came from
            // this path: its entry says so.
            if (!move.stranded)
                ::unlinkat(info.get(), infoName.constData(), 0);
            if (move.error == EEXIST)
                continue;
            return FileRemoval::failed(move.error != 0
                    ? QStringLiteral("it cannot be moved into the trash: %1").arg(errnoText(move.error))
                    : move.refusal);
        }
        FileRemoval removal;
        removal.trashed = factsAt(files.get(), entry, AT_SYMLINK_NOFOLLOW).value_or(FileFacts {});
        if (const auto refusal = proof ? proof() : std::nullopt) {
            if (const int error = renameAtWithoutReplacing(files.get(), entry, held.folder.get(), held.name);
                error != 0) {
                Log::print("Trash: the file", path, "could not be put back from", trashed, errnoText(error));
                return FileRemoval::failed(QStringLiteral("%1; it stays in the trash at %2").arg(*refusal, trashed));
            }
            ::unlinkat(info.get(), infoName.constData(), 0);
            return FileRemoval::failed(*refusal);
        }
        removal.ok = true;
        removal.trashedPath = trashed;
        removal.entry = { folder.held, entry };
        removal.trashInfoPath = infoPath;
        removal.trashInfoText = std::move(text);
        removal.trashInfo = factsAt(info.get(), infoName, AT_SYMLINK_NOFOLLOW).value_or(FileFacts {});
        return removal;
    }
    return FileRemoval::failed(QStringLiteral("the trash has no free name for it"));
}
