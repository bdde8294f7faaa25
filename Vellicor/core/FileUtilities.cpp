#include "core/FileUtilities.h"

#include "base/Log.h"
#include "core/DirectoryWalker.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <unistd.h>

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

int FileDescriptor::release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

QString errnoText(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

int openSubfolder(int folder, const char* name, int flags, struct stat* status)
{
    FileDescriptor fd(::openat(folder, name, flags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    struct stat own { };
    if (fd.isOpen() && ::fstat(fd.get(), &own) == 0 && S_ISDIR(own.st_mode)) {
        if (status)
            *status = own;
        return fd.release();
    }
    if (fd.isOpen() || errno == ENOTDIR || errno == ELOOP) {
        // O_PATH opens a link itself, and the kernel tells a link and a file
        // apart differently by flags: a look at the entry says which it is.
        struct stat entry { };
        errno = ::fstatat(folder, name, &entry, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(entry.st_mode) ? ELOOP : ENOTDIR;
    }
    return -1;
}

QString pathRefusal(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("it is no longer there");
    case ELOOP:
        return QStringLiteral("a folder on its path is a symbolic link");
    case ENOTDIR:
        return QStringLiteral("a folder on its path is no longer a folder");
    case ESTALE:
        return QStringLiteral("a folder on its path was moved while it was worked in");
    default:
        return QStringLiteral("it cannot be examined: %1").arg(errnoText(error));
    }
}

QString printablePath(const QString& path, qsizetype longest)
{
    if (longest < 0 || path.size() <= longest)
        return LogDetail::escaped(path);
    QString head = path.left(longest / 2);
    QString tail = path.right(std::max<qsizetype>(longest / 2 - 1, 0));
    // Never half a character.
    if (!head.isEmpty() && head.back().isHighSurrogate())
        head.chop(1);
    if (!tail.isEmpty() && tail.front().isLowSurrogate())
        tail.remove(0, 1);
    return LogDetail::escaped(head) + QChar(0x2026) + LogDetail::escaped(tail);
}

QString pathForReport(const QByteArray& nativePath)
{
    if (nativePath.size() < PATH_MAX)
        return QFile::decodeName(nativePath);
    constexpr qsizetype tail = 240;
    qsizetype from = nativePath.size() - tail;
    // From the first whole name in the tail when there is one, else from the
    // first whole character.
    if (const qsizetype slash = nativePath.indexOf('/', from); slash >= 0 && slash + 1 < nativePath.size())
        from = slash + 1;
    else
        while (from < nativePath.size() && (static_cast<unsigned char>(nativePath[from]) & 0xC0) == 0x80)
            ++from;
    return QStringLiteral("…/") + QFile::decodeName(nativePath.mid(from));
}

OpenedFile openRegularFile(const QString& path, LinkFollowing links)
{
    OpenedFile result;
    const auto fail = [&](const QString& cause) {
        result.fd.reset();
        result.errorText = QLatin1Char('"') + path + QStringLiteral("\": ") + cause;
        return std::move(result);
    };

    const QByteArray encoded = QFile::encodeName(path);
    // An embedded NUL would silently name a shorter, different path.
    if (encoded.isEmpty() || encoded.contains('\0'))
        return fail(errnoText(ENOENT));

    const bool follow = links == LinkFollowing::follow;
    struct stat status { };
    if ((follow ? ::stat(encoded.constData(), &status) : ::lstat(encoded.constData(), &status)) != 0)
        return fail(errnoText(errno));
    if (!S_ISREG(status.st_mode))
        return fail(S_ISLNK(status.st_mode) ? QStringLiteral("a symbolic link") : QStringLiteral("not a regular file"));

    // O_NONBLOCK only matters if the name became a FIFO since the check: the
    // open then returns at once and the second check below refuses it.
    const int fd
        = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return fail(errnoText(errno));
    result.fd.reset(fd);
    if (::fstat(fd, &status) != 0)
        return fail(errnoText(errno));
    if (!S_ISREG(status.st_mode))
        return fail(QStringLiteral("not a regular file"));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    result.size = static_cast<quint64>(status.st_size);
    return result;
}

std::uint64_t folderSizeOfPath(const char* path)
{
    const QByteArray start(path ? path : "");
    if (start.isEmpty()) {
        std::fprintf(stderr, "could not open directory ''\nerror is %d/%s\n", ENOENT,
            std::generic_category().message(ENOENT).c_str());
        return 0;
    }
    const auto note = [&start](const QByteArray& where, int error, const QString& reason) {
        if (where == start && error != 0) {
            std::fprintf(stderr, "could not open directory '%s'\nerror is %d/%s\n",
                printablePath(QFile::decodeName(start)).toLocal8Bit().constData(), error,
                std::generic_category().message(error).c_str());
            return;
        }
        std::fprintf(stderr, "%s: %s\n", printablePath(QFile::decodeName(where)).toLocal8Bit().constData(),
            reason.toLocal8Bit().constData());
    };
    std::uint64_t sum = 0;
    DirectoryWalker(nullptr, note).walk(start, [&sum](const WalkEntry& entry) {
        if (S_ISDIR(entry.status.st_mode))
            return WalkAction::descend;
        sum += static_cast<std::uint64_t>(entry.status.st_size);
        return WalkAction::next;
    });
    return sum;
}
