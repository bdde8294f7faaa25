#include "core/DirectoryWalker.h"

#include "core/FileUtilities.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <set>
#include <string_view>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// File systems whose files the kernel makes up on reading.
constexpr std::array<unsigned long, 16> pseudoFileSystems { PROC_SUPER_MAGIC, SYSFS_MAGIC, DEBUGFS_MAGIC, TRACEFS_MAGIC,
    CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, SECURITYFS_MAGIC, PSTOREFS_MAGIC, BPF_FS_MAGIC, DEVPTS_SUPER_MAGIC,
    SELINUX_MAGIC, EFIVARFS_MAGIC, NSFS_MAGIC, BINFMTFS_MAGIC, 0x62656570 /* configfs */, 0x65735543 /* fusectl */ };

struct Entry {
    QByteArray name;
    struct stat status;
    struct statx attributes;
};

// With the mount, so that a file's volume is known without asking again.
constexpr unsigned attributeMask = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_SIZE | STATX_MTIME | STATX_CTIME
    | STATX_BTIME | STATX_INO | STATX_MNT_ID;

void fillStatus(const struct statx& from, struct stat& to)
{
    to.st_dev = makedev(from.stx_dev_major, from.stx_dev_minor);
    to.st_ino = from.stx_ino;
    to.st_mode = from.stx_mode;
    to.st_nlink = from.stx_nlink;
    to.st_uid = from.stx_uid;
    to.st_gid = from.stx_gid;
    to.st_rdev = makedev(from.stx_rdev_major, from.stx_rdev_minor);
    to.st_size = static_cast<off_t>(from.stx_size);
    to.st_blksize = static_cast<blksize_t>(from.stx_blksize);
    to.st_blocks = static_cast<blkcnt_t>(from.stx_blocks);
    to.st_atim = { from.stx_atime.tv_sec, from.stx_atime.tv_nsec };
    to.st_mtim = { from.stx_mtime.tv_sec, from.stx_mtime.tv_nsec };
    to.st_ctim = { from.stx_ctime.tv_sec, from.stx_ctime.tv_nsec };
}

struct Frame {
    QByteArray path;
    dev_t device;
    std::vector<Entry> entries;
    std::size_t next = 0;
};

QByteArray joined(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

int openFolderOfAnyLength(const char* path)
{
    const int fd = ::open(path, folderOpenFlags);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;

    std::string_view rest(path);
    FileDescriptor current(::open(rest.starts_with('/') ? "/" : ".", folderOpenFlags));
    while (current.isOpen() && !rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string component(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty())
            continue;
        current.reset(::openat(current.get(), component.c_str(), folderOpenFlags));
    }
    return current.release();
}

bool isPseudoFileSystem(int fd)
{
    struct statfs info { };
    if (::fstatfs(fd, &info) != 0)
        return false;
    const auto type = static_cast<unsigned long>(info.f_type);
    return std::find(pseudoFileSystems.begin(), pseudoFileSystems.end(), type) != pseudoFileSystems.end();
}

bool isOnPseudoFileSystem(const QByteArray& path)
{
    struct statfs info { };
    if (path.isEmpty() || ::statfs(path.constData(), &info) != 0)
        return false;
    const auto type = static_cast<unsigned long>(info.f_type);
    return std::find(pseudoFileSystems.begin(), pseudoFileSystems.end(), type) != pseudoFileSystems.end();
}

DirectoryWalker::DirectoryWalker(const std::atomic<bool>* stop, ProblemSink problems)
    : stop_(stop)
    , problems_(std::move(problems))
{
}

bool DirectoryWalker::walk(const QByteArray& root, const Visitor& visitor)
{
    const auto report = [this](const QByteArray& path, int error, const QString& reason) {
        if (problems_)
            problems_(path, error, reason);
    };
    const auto failed = [&report](const QByteArray& path, const char* what) {
        const int error = errno;
        report(path, error, QLatin1String(what) + errnoText(error));
    };
    std::set<std::pair<dev_t, ino_t>> entered;
    std::vector<Frame> stack;

    // Reads one folder whole and closes it again, so an open descriptor is
    // never held across the walk of its sub-folders.
    const auto readFolder = [&](const QByteArray& path, std::optional<dev_t> parentDevice) -> bool {
        if (path.contains('\0')) {
            report(path, ENOENT, errnoText(ENOENT));
            return false;
        }
        FileDescriptor fd(openFolderOfAnyLength(path.constData()));
        if (!fd.isOpen()) {
            failed(path, "cannot read folder: ");
            return false;
        }
        struct stat own { };
        if (::fstat(fd.get(), &own) != 0) {
            failed(path, "cannot read folder: ");
            return false;
        }
        if ((!parentDevice || *parentDevice != own.st_dev) && isPseudoFileSystem(fd.get())) {
            report(path, 0, QStringLiteral("skipped: a pseudo file system"));
            return false;
        }
        if (!entered.insert({ own.st_dev, own.st_ino }).second)
            return false; // met before in this walk: a loop or a second mount
        DIR* folder = ::fdopendir(fd.get());
        if (!folder) {
            failed(path, "cannot read folder: ");
            return false;
        }
        fd.release(); // closedir owns it now
        Frame frame { path, own.st_dev, {}, 0 };
        errno = 0;
        while (const dirent* item = ::readdir(folder)) {
            const char* name = item->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            Entry entry { QByteArray(name), {}, {} };
            if (::statx(::dirfd(folder), name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, attributeMask, &entry.attributes)
                != 0) {
                failed(joined(path, entry.name), "cannot read attributes: ");
                continue;
            }
            fillStatus(entry.attributes, entry.status);
            frame.entries.push_back(std::move(entry));
        }
        if (errno != 0)
            failed(path, "folder read only in part: ");
        ::closedir(folder);
        std::sort(
            frame.entries.begin(), frame.entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
        stack.push_back(std::move(frame));
        return true;
    };

    if (!readFolder(root, std::nullopt))
        return false;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            stack.pop_back();
            continue;
        }
        if (stop_ && stop_->load(std::memory_order_relaxed))
            return false;
        const Entry& entry = frame.entries[frame.next++];
        const QByteArray path = joined(frame.path, entry.name);
        const int depth = static_cast<int>(stack.size());
        const WalkAction action = visitor(WalkEntry { path, entry.name, entry.status, entry.attributes, depth });
        if (action == WalkAction::stop)
            return false;
        if (action == WalkAction::descend && S_ISDIR(entry.status.st_mode))
            readFolder(path, frame.device); // may grow the stack: frame is not used after this
    }
    return !(stop_ && stop_->load());
}
