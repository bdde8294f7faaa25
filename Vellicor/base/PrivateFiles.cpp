#include "base/PrivateFiles.h"

#include "base/Log.h"
#include "base/OtherUsers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace PrivateFiles {

namespace {

constexpr mode_t othersBits = S_IRWXG | S_IRWXO;

void narrowOpenFolder(int fd, const struct stat& info)
{
    if (info.st_uid == ::geteuid() && (info.st_mode & othersBits) != 0)
        ::fchmod(fd, info.st_mode & S_IRWXU);
}

// Whoever may rename entries in a folder may put another folder in the place
// of one of ours there, and so may whoever may rename the folder itself or
// one above it, or one on the way a link of path leads: only the user or the
// superuser may, for each folder from the one at path up to the root and on
// its way.
bool isSafePlace(const QByteArray& path)
{
    const int folder = ::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat info { };
    const bool safe = folder >= 0 && ::fstat(folder, &info) == 0 && !OtherUsers::mayChangeFolder(folder, info)
        && !OtherUsers::mayChangeAnyFolderAbove(folder) && !OtherUsers::mayChangeWayTo(path);
    if (folder >= 0)
        ::close(folder);
    return safe;
}

// The nearest folder at or above path that exists, or what stands in its
// place: where making path would begin.
QString nearestExisting(const QString& path)
{
    QString at = path;
    struct stat seen { };
    while (::lstat(QFile::encodeName(at).constData(), &seen) != 0 && errno == ENOENT) {
        const QString up = QFileInfo(at).path();
        if (up == at)
            break;
        at = up;
    }
    return at;
}

// Makes the parents as usual and the folder itself 0700, but never where it
// would be refused: the place is judged before anything is made in it, and
// the parent again once made. An existing one is left as it is.
std::optional<FolderFault> makeFolder(const QString& clean)
{
    const QString parentPath = QFileInfo(clean).path();
    if (!QFileInfo(parentPath).isDir()) {
        const QString existing = nearestExisting(parentPath);
        if (QFileInfo(existing).isDir() && !isSafePlace(QFile::encodeName(existing)))
            return FolderFault::openParent;
        if (!QDir().mkpath(parentPath))
            return FolderFault::notMade;
    }
    if (!isSafePlace(QFile::encodeName(parentPath)))
        return FolderFault::openParent;
    if (::mkdir(QFile::encodeName(clean).constData(), S_IRWXU) != 0 && errno != EEXIST)
        return FolderFault::notMade;
    return std::nullopt;
}

// The folder open at fd, opened by path.
std::optional<FolderFault> checkOpenFolder(int fd, const QByteArray& path)
{
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode))
        return FolderFault::notAFolder;
    if (info.st_uid != ::geteuid())
        return FolderFault::otherOwner;
    narrowOpenFolder(fd, info);
    if (::fstat(fd, &info) != 0 || (info.st_mode & othersBits) != 0)
        return FolderFault::openToOthers;
    // Its mode may keep the user themselves out of it.
    if (::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK | X_OK, AT_EACCESS) != 0 && errno == EACCES)
        return FolderFault::noAccess;
    if (OtherUsers::mayChangeAnyFolderAbove(fd) || OtherUsers::mayChangeWayTo(path))
        return FolderFault::openParent;
    return std::nullopt;
}

const char* faultWords(FolderFault fault)
{
    switch (fault) {
    case FolderFault::missing:
        return "it is missing";
    case FolderFault::notMade:
        return "it cannot be made";
    case FolderFault::notAFolder:
        return "it is not a folder";
    case FolderFault::link:
        return "it is a link";
    case FolderFault::otherOwner:
        return "it belongs to another user";
    case FolderFault::openToOthers:
        return "other users may open it";
    case FolderFault::openParent:
        return "another user may change the folder it lies in, or one above it";
    case FolderFault::noAccess:
        return "you may not open it, or a folder on its way";
    }
    return "";
}

} // namespace

void narrowOpenFile(int fd)
{
    struct stat info { };
    if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() || !S_ISREG(info.st_mode))
        return;
    if ((info.st_mode & othersBits) != 0)
        ::fchmod(fd, info.st_mode & (S_IRUSR | S_IWUSR));
}

void narrowFile(const QString& path)
{
    // Non-blocking, so a FIFO put in the file's place cannot hold the start.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    narrowOpenFile(fd);
    ::close(fd);
}

namespace {

std::optional<FolderFault> judgeOwnFolder(const QString& path, Make make)
{
    const QString clean = QDir::cleanPath(path);
    const QByteArray name = QFile::encodeName(clean);
    struct stat seen { };
    if (::lstat(name.constData(), &seen) != 0) {
        if (make == Make::never)
            return FolderFault::missing;
        if (const std::optional<FolderFault> fault = makeFolder(clean))
            return fault;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (::lstat(name.constData(), &seen) != 0)
            return FolderFault::notMade;
        if (S_ISLNK(seen.st_mode))
            return FolderFault::link;
        if (!S_ISDIR(seen.st_mode))
            return FolderFault::notAFolder;
        // A folder all the same, one the user may not read.
        return seen.st_uid == ::geteuid() ? FolderFault::noAccess : FolderFault::otherOwner;
    }
    const std::optional<FolderFault> fault = checkOpenFolder(fd, name);
    ::close(fd);
    return fault;
}

} // namespace

std::optional<FolderFault> ensureOwnFolder(const QString& path, Make make)
{
    const std::optional<FolderFault> fault = judgeOwnFolder(path, make);
    // What the user may not open cannot be looked at, and so counts as
    // missing or as in a place another user may change: say what it is.
    if (fault && (*fault == FolderFault::missing || *fault == FolderFault::notMade || *fault == FolderFault::openParent)
        && folderNotOpenable(QDir::cleanPath(QDir(path).absolutePath())))
        return FolderFault::noAccess;
    return fault;
}

std::optional<QString> folderNotOpenable(const QString& path)
{
    const QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString way = QStringLiteral("/");
    for (qsizetype i = -1; i < names.size(); ++i) {
        if (i >= 0)
            way += (way.size() > 1 ? QStringLiteral("/") : QString()) + names[i];
        const QByteArray name = QFile::encodeName(way);
        struct stat seen { };
        if (::stat(name.constData(), &seen) != 0)
            return errno == EACCES ? std::optional<QString>(way) : std::nullopt;
        if (!S_ISDIR(seen.st_mode))
            return std::nullopt;
        const int wanted = i + 1 == names.size() ? R_OK | W_OK | X_OK : X_OK;
        if (::faccessat(AT_FDCWD, name.constData(), wanted, AT_EACCESS) != 0 && errno == EACCES)
            return way;
    }
    return std::nullopt;
}

std::optional<FolderFault> useOwnFolder(const QString& path, FolderUse use, Make make)
{
    const std::optional<FolderFault> fault = ensureOwnFolder(path, make);
    const bool refused = fault && *fault != FolderFault::missing && *fault != FolderFault::notMade;
    const QStringList changeable = refused && *fault == FolderFault::openParent
        ? OtherUsers::foldersAnotherUserMayChangeAbove(QDir::cleanPath(QDir(path).absolutePath()))
        : QStringList();
    const QString unopenable = refused && *fault == FolderFault::noAccess
        ? folderNotOpenable(QDir::cleanPath(QDir(path).absolutePath())).value_or(path)
        : QString();
    if (refused && FolderRefusals::instance().add({ path, use, *fault, changeable, unopenable })) {
        const QByteArray line = "vellicor: the folder " + LogDetail::escaped(path).toLocal8Bit()
            + " is not used: " + faultWords(*fault) + ".\n";
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    }
    return fault;
}

int openOwnFileForWriting(const QString& path, int flags)
{
    const int fd = ::open(
        QFile::encodeName(path).constData(), O_WRONLY | flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return -1;
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    narrowOpenFile(fd);
    return fd;
}

bool isAbsentOrOwnFile(const QString& path)
{
    struct stat info { };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

SmallFile readSmallFile(const QString& path, qint64 bound)
{
    SmallFile file;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat seen { };
        // Missing, or a file stands where a folder on its way should be.
        if (error == ENOENT || error == ENOTDIR)
            file.outcome = SmallFile::Outcome::missing;
        else if (error == ELOOP && ::lstat(QFile::encodeName(path).constData(), &seen) == 0 && S_ISLNK(seen.st_mode))
            file.outcome = SmallFile::Outcome::link;
        else {
            file.outcome = SmallFile::Outcome::failed;
            file.reason = QString::fromLocal8Bit(std::strerror(error));
        }
        return file;
    }
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        file.outcome = SmallFile::Outcome::notAFile;
        return file;
    }
    file.size = info.st_size;
    if (info.st_size > bound) {
        ::close(fd);
        file.outcome = SmallFile::Outcome::tooLarge;
        return file;
    }
    // The file may have grown since: one byte past the bound tells.
    file.bytes.resize(qsizetype(info.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == file.bytes.size()) {
            if (filled > bound)
                break;
            file.bytes.resize(std::min<qsizetype>(filled * 2 + 4096, qsizetype(bound) + 1));
        }
        const ssize_t got = ::read(fd, file.bytes.data() + filled, size_t(file.bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            file.outcome = SmallFile::Outcome::failed;
            file.reason = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            file.bytes.clear();
            return file;
        }
        if (got == 0)
            break;
        filled += got;
    }
    ::close(fd);
    if (filled > bound) {
        file.outcome = SmallFile::Outcome::tooLarge;
        file.size = filled;
        file.bytes.clear();
        return file;
    }
    file.bytes.truncate(filled);
    file.outcome = SmallFile::Outcome::read;
    return file;
}

namespace {

// The new file of a replacement is path with this and a tag: 48 random bits
// in base 36, one to ten of [0-9a-z].
constexpr QLatin1StringView replacementMark(".saving-");
constexpr qsizetype longestReplacementTag = 10;

bool isReplacementTag(QByteArrayView tag)
{
    return !tag.isEmpty() && tag.size() <= longestReplacementTag
        && std::all_of(tag.begin(), tag.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

} // namespace

int replaceFileWhole(const QString& path, const QByteArray& bytes)
{
    // A name nobody else uses: another writer that went on without the lock
    // has its own.
    QString temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = path + replacementMark
            + QString::number(QRandomGenerator::global()->generate64() & 0xffffffffffffULL, 36);
        fd = openOwnFileForWriting(temporary, O_CREAT | O_EXCL);
        if (fd < 0 && (errno != EEXIST || attempt == 16))
            return errno;
    }
    const QByteArray name = QFile::encodeName(temporary);
    const auto fail = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(name.constData());
        return error;
    };
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return fail(errno);
        written += put;
    }
    // A file system that cannot flush (EINVAL) still takes the file; any
    // other failure here is where a full disk may first show.
    if (::fsync(fd) != 0 && errno != EINVAL)
        return fail(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0 && errno != EINTR)
        return fail(errno);
    if (::rename(name.constData(), QFile::encodeName(path).constData()) != 0)
        return fail(errno);
    return 0;
}

int removeLeftoverReplacements(const QString& path)
{
    const QFileInfo target(path);
    const QByteArray prefix = QFile::encodeName(target.fileName() + replacementMark);
    const int folder = ::open(QFile::encodeName(target.path()).constData(),
        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return 0;
    // The listing from a descriptor of its own; the folder's stays for the
    // looks and removals.
    const int copy = ::dup(folder);
    DIR* listing = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!listing && copy >= 0)
        ::close(copy);
    int removed = 0;
    while (const dirent* entry = listing ? ::readdir(listing) : nullptr) {
        const QByteArrayView name(entry->d_name);
        if (!name.startsWith(prefix) || !isReplacementTag(name.sliced(prefix.size())))
            continue;
        struct stat info { };
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)
            || info.st_uid != ::geteuid() || info.st_nlink != 1)
            continue;
        if (::unlinkat(folder, entry->d_name, 0) == 0)
            ++removed;
    }
    if (listing)
        ::closedir(listing);
    ::close(folder);
    return removed;
}

} // namespace PrivateFiles

FolderRefusals& FolderRefusals::instance()
{
    // Never destroyed: a folder may be refused by objects torn down at exit.
    static FolderRefusals* const refusals = new FolderRefusals;
    return *refusals;
}

bool FolderRefusals::add(const Refusal& refusal)
{
    {
        std::lock_guard lock(mutex_);
        if (!met_.insert(QDir::cleanPath(refusal.path)).second)
            return false;
        untold_.push_back(refusal);
    }
    emit refused();
    return true;
}

std::vector<FolderRefusals::Refusal> FolderRefusals::takeUntold()
{
    std::lock_guard lock(mutex_);
    return std::exchange(untold_, {});
}
