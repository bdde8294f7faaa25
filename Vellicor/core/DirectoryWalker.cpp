#include "core/DirectoryWalker.h"

#include "core/FileUtilities.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
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
    struct statx attributes;
    std::shared_ptr<void> prepared;
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

QByteArray joined(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The paths of one folder's entries, one after the other, in a buffer that
// keeps its room: an entry's path costs no allocation unless whoever it was
// handed to kept a copy.
class EntryPaths {
public:
    const QByteArray& of(const QByteArray& folder, const QByteArray& name)
    {
        const qsizetype slash = folder.endsWith('/') ? 0 : 1;
        path_.resize(folder.size() + slash + name.size());
        char* out = path_.data();
        std::copy(folder.begin(), folder.end(), out);
        if (slash != 0)
            out[folder.size()] = '/';
        std::copy(name.begin(), name.end(), out + folder.size() + slash);
        return path_;
    }

private:
    QByteArray path_;
};

struct Problem {
    QByteArray path;
    int error;
    QString reason;
};

// One folder read whole, on whichever thread: the problems met on the way are
// kept in order, so that the walk's thread reports them when it enters the
// folder, exactly as if it had read the folder itself.
struct Listing {
    // Met before the folder's identity is known; the folder is not entered.
    std::optional<Problem> refusal;
    dev_t device = 0;
    ino_t inode = 0;
    // Problems met while listing, in order; readable is false when the
    // listing could not even begin.
    std::vector<Problem> problems;
    bool readable = false;
    std::vector<Entry> entries;
};

Problem problemOf(const QByteArray& path, int error, const char* what)
{
    return { path, error, QLatin1String(what) + errnoText(error) };
}

// Opens and lists one folder and closes it again, so an open descriptor is
// never held across the walk of its sub-folders.
Listing readListing(const QByteArray& path, std::optional<dev_t> parentDevice)
{
    Listing listing;
    if (path.contains('\0')) {
        listing.refusal = Problem { path, ENOENT, errnoText(ENOENT) };
        return listing;
    }
    FileDescriptor fd(openFolderOfAnyLength(path.constData()));
    if (!fd.isOpen()) {
        listing.refusal = problemOf(path, errno, "cannot read folder: ");
        return listing;
    }
    struct stat own { };
    if (::fstat(fd.get(), &own) != 0) {
        listing.refusal = problemOf(path, errno, "cannot read folder: ");
        return listing;
    }
    if ((!parentDevice || *parentDevice != own.st_dev) && isPseudoFileSystem(fd.get())) {
        listing.refusal = Problem { path, 0, QStringLiteral("skipped: a pseudo file system") };
        return listing;
    }
    listing.device = own.st_dev;
    listing.inode = own.st_ino;
    DIR* folder = ::fdopendir(fd.get());
    if (!folder) {
        listing.problems.push_back(problemOf(path, errno, "cannot read folder: "));
        return listing;
    }
    fd.release(); // closedir owns it now
    listing.readable = true;
    errno = 0;
    while (const dirent* item = ::readdir(folder)) {
        const char* name = item->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        Entry entry { QByteArray(name), {}, {} };
        if (::statx(::dirfd(folder), name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, attributeMask, &entry.attributes)
            != 0) {
            listing.problems.push_back(problemOf(joined(path, entry.name), errno, "cannot read attributes: "));
            errno = 0;
            continue;
        }
        listing.entries.push_back(std::move(entry));
    }
    if (errno != 0)
        listing.problems.push_back(problemOf(path, errno, "folder read only in part: "));
    ::closedir(folder);
    std::sort(
        listing.entries.begin(), listing.entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return listing;
}

// A place in the walk: the indexes of the entries leading to it. The walk
// meets places in the lexicographic order of these.
using Place = std::vector<std::uint32_t>;

struct Frame {
    QByteArray path;
    dev_t device;
    std::vector<Entry> entries;
    std::size_t next = 0;
    Place place;
    // Sub-folders handed to the read-ahead, dropped when the frame ends.
    std::vector<QByteArray> ahead;
};

// The folders read ahead of one walk, and the threads reading them.
class Readers {
public:
    Readers(const DirectoryWalker::ReadAhead& options, const std::atomic<bool>* stop)
        : options_(options)
        , stop_(stop)
    {
        for (int i = 0; i < options.threads; ++i)
            threads_.emplace_back([this] { run(); });
    }
    ~Readers()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
    }
    Readers(const Readers&) = delete;
    Readers& operator=(const Readers&) = delete;

    // The sub-folders of a folder worth reading ahead, as the walk would
    // enter them: path and place.
    std::vector<std::pair<QByteArray, Place>> wantedChildren(
        const QByteArray& folder, const Place& place, const std::vector<Entry>& entries, int depth) const
    {
        std::vector<std::pair<QByteArray, Place>> children;
        if (!options_.wanted)
            return children;
        static const std::shared_ptr<void> none;
        EntryPaths paths;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            if (!S_ISDIR(entry.attributes.stx_mode))
                continue;
            struct stat status { };
            fillStatus(entry.attributes, status);
            const QByteArray& child = paths.of(folder, entry.name);
            if (!options_.wanted(WalkEntry { child, entry.name, status, entry.attributes, depth, none }))
                continue;
            Place childPlace = place;
            childPlace.push_back(std::uint32_t(i));
            children.emplace_back(child, std::move(childPlace));
        }
        return children;
    }

    // Queues the sub-folders of a folder the walk's thread read itself; the
    // answer lists them for drop.
    std::vector<QByteArray> add(
        const QByteArray& folder, const Place& place, const std::vector<Entry>& entries, dev_t device, int depth)
    {
        auto children = wantedChildren(folder, place, entries, depth);
        std::lock_guard lock(mutex_);
        return addLocked(std::move(children), device, depth + 1);
    }

    // The folder's listing when it was read ahead, waiting while it is being
    // read, with the sub-folders queued from it; none when nobody began it
    // (the caller reads it).
    std::optional<std::pair<Listing, std::vector<QByteArray>>> take(const QByteArray& path)
    {
        std::unique_lock lock(mutex_);
        const auto found = slots_.find(path);
        if (found == slots_.end())
            return std::nullopt;
        const std::shared_ptr<Slot> slot = found->second;
        slots_.erase(found);
        if (slot->state == Slot::queued) {
            queue_.erase(slot->place);
            return std::nullopt;
        }
        ready_.wait(lock, [&slot] { return slot->state == Slot::done; });
        --outstanding_;
        wake_.notify_one();
        return std::pair { std::move(slot->listing), std::move(slot->children) };
    }

    // Forgets folders the walk did not enter after all, with what was queued
    // from them.
    void drop(const std::vector<QByteArray>& paths)
    {
        std::lock_guard lock(mutex_);
        dropLocked(paths);
        wake_.notify_all();
    }

private:
    struct Slot {
        enum State { queued, reading, done };
        QByteArray path;
        Place place;
        dev_t parentDevice = 0;
        int depth = 0;
        State state = queued;
        bool abandoned = false;
        Listing listing;
        // Its sub-folders queued by the thread that read it.
        std::vector<QByteArray> children;
    };

    std::vector<QByteArray> addLocked(std::vector<std::pair<QByteArray, Place>> children, dev_t device, int depth)
    {
        std::vector<QByteArray> paths;
        for (auto& [path, place] : children) {
            auto slot = std::make_shared<Slot>();
            slot->path = path;
            slot->parentDevice = device;
            slot->depth = depth;
            slot->place = place;
            if (!slots_.emplace(path, slot).second)
                continue;
            queue_.emplace(std::move(place), slot);
            paths.push_back(std::move(path));
        }
        if (!paths.empty())
            wake_.notify_all();
        return paths;
    }

    void dropLocked(const std::vector<QByteArray>& paths)
    {
        for (const QByteArray& path : paths) {
            const auto found = slots_.find(path);
            if (found == slots_.end())
                continue;
            const std::shared_ptr<Slot> slot = found->second;
            slots_.erase(found);
            if (slot->state == Slot::queued) {
                queue_.erase(slot->place);
            } else if (slot->state == Slot::reading) {
                slot->abandoned = true;
            } else {
                --outstanding_;
                dropLocked(slot->children);
            }
        }
    }

    // Folders read and not yet taken, and those being read, at most: enough
    // to keep the readers ahead, few enough to bound the memory held.
    std::size_t limit() const { return std::size_t(options_.threads) * 2 + 2; }

    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return closing_ || (!queue_.empty() && outstanding_ < limit()); });
            if (closing_)
                return;
            const std::shared_ptr<Slot> slot = queue_.begin()->second;
            queue_.erase(queue_.begin());
            slot->state = Slot::reading;
            ++outstanding_;
            lock.unlock();
            Listing listing;
            std::vector<std::pair<QByteArray, Place>> children;
            if (!(stop_ && stop_->load(std::memory_order_relaxed))) {
                listing = readListing(slot->path, slot->parentDevice);
                prepare(*slot, listing);
                if (!listing.refusal && listing.readable)
                    children = wantedChildren(slot->path, slot->place, listing.entries, slot->depth);
            }
            lock.lock();
            if (slot->abandoned) {
                --outstanding_;
                continue;
            }
            // Read ahead from here too, so that the walk finds the first
            // sub-folders of a folder read when it enters them.
            slot->children = addLocked(std::move(children), listing.device, slot->depth + 1);
            slot->listing = std::move(listing);
            slot->state = Slot::done;
            ready_.notify_all();
        }
    }

    void prepare(const Slot& slot, Listing& listing) const
    {
        if (!options_.prepare)
            return;
        static const std::shared_ptr<void> none;
        EntryPaths paths;
        for (Entry& entry : listing.entries) {
            if (stop_ && stop_->load(std::memory_order_relaxed))
                return;
            struct stat status { };
            fillStatus(entry.attributes, status);
            const QByteArray& path = paths.of(slot.path, entry.name);
            entry.prepared
                = options_.prepare(WalkEntry { path, entry.name, status, entry.attributes, slot.depth, none });
        }
    }

    const DirectoryWalker::ReadAhead& options_;
    const std::atomic<bool>* stop_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable ready_;
    std::map<Place, std::shared_ptr<Slot>> queue_;
    std::unordered_map<QByteArray, std::shared_ptr<Slot>> slots_;
    std::size_t outstanding_ = 0;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

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
    const auto report = [this](const Problem& problem) {
        if (problems_)
            problems_(problem.path, problem.error, problem.reason);
    };
    std::set<std::pair<dev_t, ino_t>> entered;
    std::vector<Frame> stack;
    std::optional<Readers> readers;
    if (readAhead_.threads > 0)
        readers.emplace(readAhead_, stop_);

    const auto enter = [&](const QByteArray& path, std::optional<dev_t> parentDevice, Place place) -> bool {
        auto ahead = readers ? readers->take(path) : std::nullopt;
        Listing listing = ahead ? std::move(ahead->first) : readListing(path, parentDevice);
        std::vector<QByteArray> queued = ahead ? std::move(ahead->second) : std::vector<QByteArray>();
        const auto refuse = [&] {
            if (!queued.empty())
                readers->drop(queued);
            return false;
        };
        if (listing.refusal) {
            report(*listing.refusal);
            return refuse();
        }
        if (!entered.insert({ listing.device, listing.inode }).second)
            return refuse(); // met before in this walk: a loop or a second mount
        for (const Problem& problem : listing.problems)
            report(problem);
        if (!listing.readable)
            return refuse();
        const int depth = static_cast<int>(stack.size()) + 1;
        if (readers && !ahead)
            queued = readers->add(path, place, listing.entries, listing.device, depth);
        stack.push_back(
            Frame { path, listing.device, std::move(listing.entries), 0, std::move(place), std::move(queued) });
        return true;
    };

    if (!enter(root, std::nullopt, {}))
        return false;
    EntryPaths paths;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            if (readers && !frame.ahead.empty())
                readers->drop(frame.ahead);
            stack.pop_back();
            continue;
        }
        if (stop_ && stop_->load(std::memory_order_relaxed))
            return false;
        const std::size_t index = frame.next++;
        const Entry& entry = frame.entries[index];
        const QByteArray& path = paths.of(frame.path, entry.name);
        const int depth = static_cast<int>(stack.size());
        struct stat status { };
        fillStatus(entry.attributes, status);
        const WalkAction action
            = visitor(WalkEntry { path, entry.name, status, entry.attributes, depth, entry.prepared });
        if (action == WalkAction::stop)
            return false;
        if (action == WalkAction::descend && S_ISDIR(status.st_mode)) {
            Place place = frame.place;
            place.push_back(std::uint32_t(index));
            enter(path, frame.device, std::move(place)); // may grow the stack: frame is not used after this
        }
    }
    return !(stop_ && stop_->load());
}
