#include "core/FileUtilities.h"

#include "base/Log.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <unistd.h>
#include <vector>

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

QString printablePath(const QString& path)
{
    return LogDetail::escaped(path);
}

OpenedFile openRegularFile(const QString& path)
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

    struct stat status { };
    if (::stat(encoded.constData(), &status) != 0)
        return fail(errnoText(errno));
    if (!S_ISREG(status.st_mode))
        return fail(QStringLiteral("not a regular file"));

    // O_NONBLOCK only matters if the name became a FIFO since the check: the
    // open then returns at once and the second check below refuses it.
    const int fd = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
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

namespace {

struct DirectoryId {
    dev_t device;
    ino_t inode;
};

constexpr int directoryOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

void reportUnopenableFolder(const std::string& path, int error)
{
    std::fprintf(stderr, "could not open directory '%s'\n", path.c_str());
    std::fprintf(stderr, "error is %d/%s\n", error, std::generic_category().message(error).c_str());
}

// Opens a folder given by a path of any length: a path the kernel refuses as
// too long is opened one component at a time.
int openFolder(const char* path)
{
    const int fd = ::open(path, directoryOpenFlags);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;

    std::string_view rest(path);
    FileDescriptor current(::open(rest.starts_with('/') ? "/" : ".", directoryOpenFlags));
    while (current.isOpen() && !rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string component(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty())
            continue;
        current.reset(::openat(current.get(), component.c_str(), directoryOpenFlags));
    }
    return current.release();
}

// Sums one opened folder; takes ownership of fd. ancestors holds the folders
// on the way down, so a folder that contains itself (a bind mount) ends.
std::uint64_t sumFolder(int fd, const std::string& path, std::vector<DirectoryId>& ancestors)
{
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        const int error = errno;
        ::close(fd);
        reportUnopenableFolder(path, error);
        return 0;
    }

    std::uint64_t sum = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        // Only the type, size and identity are asked: on network file systems
        // the other fields can cost a round trip each.
        struct statx status { };
        if (::statx(::dirfd(folder), entry->d_name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_SIZE | STATX_INO, &status)
            != 0) {
            const int error = errno;
            std::fprintf(stderr, "could not stat '%s': %d/%s\n", entry->d_name, error,
                std::generic_category().message(error).c_str());
            continue;
        }
        if (!S_ISDIR(status.stx_mode)) {
            sum += status.stx_size;
            continue;
        }
        const DirectoryId id { makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino };

        const std::string childPath = path + '/' + entry->d_name;
        bool isLoop = false;
        for (const DirectoryId& ancestor : ancestors)
            isLoop = isLoop || (ancestor.device == id.device && ancestor.inode == id.inode);
        if (isLoop) {
            std::fprintf(stderr, "skipping folder loop at '%s'\n", childPath.c_str());
            continue;
        }
        const int childFd = ::openat(::dirfd(folder), entry->d_name, directoryOpenFlags | O_NOFOLLOW);
        if (childFd < 0) {
            reportUnopenableFolder(childPath, errno);
            continue;
        }
        ancestors.push_back(id);
        sum += sumFolder(childFd, childPath, ancestors);
        ancestors.pop_back();
    }
    ::closedir(folder);
    return sum;
}

} // namespace

std::uint64_t folderSizeOfPath(const char* path)
{
    const std::string start(path ? path : "");
    const int fd = start.empty() ? -1 : openFolder(start.c_str());
    if (fd < 0) {
        reportUnopenableFolder(start, start.empty() ? ENOENT : errno);
        return 0;
    }
    struct stat status { };
    std::vector<DirectoryId> ancestors;
    if (::fstat(fd, &status) == 0)
        ancestors.push_back({ status.st_dev, status.st_ino });
    return sumFolder(fd, start, ancestors);
}
