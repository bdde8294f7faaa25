#include "base/PrivateFiles.h"

#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFiles {

namespace {

constexpr mode_t othersBits = S_IRWXG | S_IRWXO;

// Makes the parents as usual and the folder itself 0700; an existing one is
// left as it is.
bool makeFolder(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    const QString parent = QFileInfo(clean).path();
    if (!QFileInfo(parent).isDir() && !QDir().mkpath(parent))
        return false;
    return ::mkdir(QFile::encodeName(clean).constData(), S_IRWXU) == 0 || errno == EEXIST;
}

void narrowOpenFolder(int fd, const struct stat& info)
{
    if (info.st_uid == ::geteuid() && (info.st_mode & othersBits) != 0)
        ::fchmod(fd, info.st_mode & S_IRWXU);
}

} // namespace

bool ensureFolder(const QString& path)
{
    if (!makeFolder(path) && !QFileInfo(path).isDir())
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QFileInfo(path).isDir();
    struct stat info { };
    if (::fstat(fd, &info) == 0)
        narrowOpenFolder(fd, info);
    ::close(fd);
    return true;
}

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

std::optional<FolderFault> ensureOwnFolder(const QString& path)
{
    const QByteArray name = QFile::encodeName(QDir::cleanPath(path));
    struct stat seen { };
    if (::lstat(name.constData(), &seen) != 0 && !makeFolder(path))
        return FolderFault::notMade;
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (::lstat(name.constData(), &seen) != 0)
            return FolderFault::notMade;
        return S_ISLNK(seen.st_mode) ? FolderFault::link : FolderFault::notAFolder;
    }
    struct stat info { };
    std::optional<FolderFault> fault;
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode))
        fault = FolderFault::notAFolder;
    else if (info.st_uid != ::geteuid())
        fault = FolderFault::otherOwner;
    else {
        narrowOpenFolder(fd, info);
        if (::fstat(fd, &info) != 0 || (info.st_mode & othersBits) != 0)
            fault = FolderFault::openToOthers;
    }
    ::close(fd);
    if (fault)
        Log::print("The folder", path, "is not the user's own private folder (fault", int(*fault), ")");
    return fault;
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

} // namespace PrivateFiles
