#include "platform/Trash.h"

#include "base/Log.h"
#include "core/FileUtilities.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Entries tried per file: the name, numbered names, then random tags.
constexpr int entryAttempts = 20;
const QByteArray infoSuffix = QByteArrayLiteral(".trashinfo");

FileTimestamp timestampOf(const struct timespec& time)
{
    return { time.tv_sec, static_cast<quint32>(time.tv_nsec) };
}

// The folder with its mount: a bind mount of one volume is a place of its
// own, where a rename from elsewhere fails.
std::optional<std::pair<quint64, quint64>> mountOf(const QString& path)
{
    struct statx status { };
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_MNT_ID,
            &status)
        != 0)
        return std::nullopt;
    const quint64 mount = (status.stx_mask & STATX_MNT_ID) ? status.stx_mnt_id : 0;
    return std::pair { mount, static_cast<quint64>(makedev(status.stx_dev_major, status.stx_dev_minor)) };
}

// A folder of ours, made when missing: never a link, never another user's.
std::optional<QString> ownFolder(const QString& path, uid_t uid)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("%1 cannot be made: %2").arg(path, errnoText(errno));
    struct stat status { };
    if (::lstat(name.constData(), &status) != 0)
        return QStringLiteral("%1: %2").arg(path, errnoText(errno));
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (status.st_uid != uid)
        return QStringLiteral("%1 belongs to another user").arg(path);
    return std::nullopt;
}

TrashFolder withParts(const QString& path, uid_t uid)
{
    for (const QString& part : { path, path + QStringLiteral("/files"), path + QStringLiteral("/info") }) {
        if (const auto error = ownFolder(part, uid))
            return { {}, *error };
    }
    return { path, {} };
}

// Writes the whole entry and makes sure it is on the disk; closes fd.
std::optional<QString> writeEntry(int fd, const QByteArray& text)
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
    struct stat status { };
    if (!error && ::fsync(fd) != 0)
        error = errnoText(errno);
    if (!error && (::fstat(fd, &status) != 0 || status.st_size != text.size()))
        error = QStringLiteral("the entry on disk is not what was written");
    if (::close(fd) != 0 && !error)
        error = errnoText(errno);
    return error;
}

// The home trash, $XDG_DATA_HOME/Trash, made when missing.
TrashFolder homeTrashFolder()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || QFileInfo(dataHome).isRelative() || !QDir().mkpath(dataHome))
        return { {}, QStringLiteral("the data folder cannot be made") };
    return withParts(dataHome + QStringLiteral("/Trash"), ::getuid());
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
    struct stat status { };
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    FileFacts facts;
    facts.regular = S_ISREG(status.st_mode);
    facts.device = status.st_dev;
    facts.inode = status.st_ino;
    facts.size = static_cast<quint64>(status.st_size);
    facts.modTime = timestampOf(status.st_mtim);
    facts.changeTime = timestampOf(status.st_ctim);
    return facts;
}

int renameWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    // A file system that cannot promise it (some network and FUSE ones):
    // looking first leaves open only the moment between the look and the
    // rename, also in the user's own folders that an undo renames into.
    struct stat status { };
    if (::lstat(target.constData(), &status) == 0)
        return EEXIST;
    return ::rename(source.constData(), target.constData()) == 0 ? 0 : errno;
}

namespace TrashDetail {

TrashFolder volumeTrashFolder(const QString& topdir, uid_t uid)
{
    const QString shared = topdir + QStringLiteral("/.Trash");
    struct stat status { };
    if (::lstat(QFile::encodeName(shared).constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && (status.st_mode & S_ISVTX)) {
        TrashFolder folder = withParts(shared + QLatin1Char('/') + QString::number(uid), uid);
        if (folder.error.isEmpty())
            return folder;
        Log::print("Trash: the shared trash is not usable,", folder.error);
    } else if (QFileInfo(shared).isSymLink() || QFileInfo::exists(shared)) {
        Log::print("Trash: not a shared trash (a link, or without the sticky bit):", shared);
    }
    return withParts(topdir + QStringLiteral("/.Trash-") + QString::number(uid), uid);
}

} // namespace TrashDetail

std::optional<QString> trashInfoOriginalPath(const QString& infoPath)
{
    QFile file(infoPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // An entry is a few lines; anything longer is not one of ours.
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != "[Trash Info]")
        return std::nullopt;
    for (const QByteArray& line : lines) {
        if (line.startsWith("Path="))
            return QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(5)));
    }
    return std::nullopt;
}

TrashFolder TrashCan::folderFor(const QString& path)
{
    const auto mount = mountOf(path);
    if (!mount)
        return { {}, errnoText(errno) };
    const std::lock_guard guard(lock_);
    if (const auto known = folders_.find(*mount); known != folders_.end())
        return known->second;
    TrashFolder folder = homeTrashFolder();
    if (folder.error.isEmpty() && mountOf(folder.path) != mount) {
        // The top folder of the file's mount: the last folder up the real
        // path that is still on it.
        QString top = QFileInfo(QFileInfo(path).path()).canonicalFilePath();
        while (!top.isEmpty() && top != QStringLiteral("/")) {
            const QString up = QFileInfo(top).path();
            if (mountOf(up) != mount)
                break;
            top = up;
        }
        folder = top.isEmpty() ? TrashFolder { {}, QStringLiteral("its folder cannot be resolved") }
                               : TrashDetail::volumeTrashFolder(top == QStringLiteral("/") ? QString() : top, ::getuid());
    }
    folders_[*mount] = folder;
    return folder;
}

void TrashCan::forget()
{
    const std::lock_guard guard(lock_);
    folders_.clear();
}

FileRemoval TrashCan::moveToTrash(const QString& path, const RemovalProof& proof)
{
    const TrashFolder folder = folderFor(path);
    if (!folder.error.isEmpty())
        return FileRemoval::failed(QStringLiteral("its volume has no usable trash: %1").arg(folder.error));
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    const QByteArray text = trashInfoText(path, QDateTime::currentDateTime());
    for (int attempt = 0; attempt < entryAttempts; ++attempt) {
        const QString entry = QFile::decodeName(entryName(name, attempt));
        const QString info = folder.path + QStringLiteral("/info/") + entry + QFile::decodeName(infoSuffix);
        const QByteArray infoName = QFile::encodeName(info);
        const int fd = ::open(infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return FileRemoval::failed(QStringLiteral("the trash cannot take its entry: %1").arg(errnoText(errno)));
        if (const auto error = writeEntry(fd, text)) {
            ::unlink(infoName.constData());
            return FileRemoval::failed(QStringLiteral("the trash entry cannot be written: %1").arg(*error));
        }
        const QString trashed = folder.path + QStringLiteral("/files/") + entry;
        if (const int error = renameWithoutReplacing(path, trashed); error != 0) {
            ::unlink(infoName.constData());
            if (error == EEXIST)
                continue;
            return FileRemoval::failed(QStringLiteral("it cannot be moved into the trash: %1").arg(errnoText(error)));
        }
        FileRemoval removal;
        removal.trashed = factsOf(trashed).value_or(FileFacts {});
        if (const auto refusal = proof ? proof() : std::nullopt) {
            if (const int error = renameWithoutReplacing(trashed, path); error != 0) {
                Log::print("Trash: the file", path, "could not be put back from", trashed, errnoText(error));
                return FileRemoval::failed(QStringLiteral("%1; it stays in the trash at %2").arg(*refusal, trashed));
            }
            ::unlink(infoName.constData());
            return FileRemoval::failed(*refusal);
        }
        removal.ok = true;
        removal.trashedPath = trashed;
        removal.trashInfoPath = info;
        return removal;
    }
    return FileRemoval::failed(QStringLiteral("the trash has no free name for it"));
}
