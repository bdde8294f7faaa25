#include "core/DirectoryWalker.h"

#include "core/FileUtilities.h"
#include "core/FolderDescent.h"

#include <QFile>
#include <QScopeGuard>

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
    // The folder itself, open while it is readable: its sub-folders are
    // opened from it.
    FolderDescent::Handle folder;
};

Problem problemOf(const QByteArray& path, int error, const char* what)
{
    return { path, error, QLatin1String(what) + errnoText(error) };
}

// Lists the folder open at fd, whose own status is own and which the walk
// reached as path.
Listing readListing(
    FileDescriptor fd, const struct stat& own, const QByteArray& path, std::optional<dev_t> parentDevice)
{
    Listing listing;
    if ((!parentDevice || *parentDevice != own.st_dev) && isPseudoFileSystem(fd.get())) {
        listing.refusal = Problem { path, 0, QStringLiteral("skipped: a pseudo file system") };
        return listing;
    }
    listing.device = own.st_dev;
    listing.inode = own.st_ino;
    // One buffer per thread for the raw entries, so a folder costs no
    // allocation of its own for them.
    thread_local std::vector<char> buffer(32 * 1024);
    bool first = true;
    for (;;) {
        const ssize_t got = ::getdents64(fd.get(), buffer.data(), buffer.size());
        if (got < 0) {
            listing.problems.push_back(
                problemOf(path, errno, first ? "cannot read folder: " : "folder read only in part: "));
            if (first)
                return listing;
            break;
        }
        listing.readable = true;
        first = false;
        if (got == 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* item = reinterpret_cast<const struct dirent64*>(buffer.data() + at);
            at += item->d_reclen;
            const char* name = item->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            Entry entry { QByteArray(name), {}, {} };
            if (::statx(fd.get(), name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, attributeMask, &entry.attributes) != 0) {
                listing.problems.push_back(problemOf(joined(path, entry.name), errno, "cannot read attributes: "));
                continue;
            }
            listing.entries.push_back(std::move(entry));
        }
    }
    std::sort(
        listing.entries.begin(), listing.entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    listing.folder = std::make_shared<const FileDescriptor>(std::move(fd));
    return listing;
}

// Opens the sub-folder name of from, without following a link, and lists it.
Listing readSubfolder(int from, const QByteArray& name, const QByteArray& path, dev_t parentDevice)
{
    struct stat own { };
    FileDescriptor fd(openSubfolder(from, name.constData(), O_RDONLY, &own));
    if (!fd.isOpen()) {
        Listing listing;
        listing.refusal = problemOf(path, errno, "cannot read folder: ");
        return listing;
    }
    return readListing(std::move(fd), own, path, parentDevice);
}

// A place in the walk: the indexes of the entries leading to it. The walk
// meets places in the lexicographic order of these. Only folders read ahead
// have one, so it is never longer than the folders held open.
using Place = std::vector<std::uint32_t>;

// Whether the sub-folders of a folder whose entries lie at depth may be read
// ahead: only while the folder stays open for the walk (and so for them).
bool mayReadAheadBelow(int depth)
{
    return std::size_t(depth) <= FolderDescent::heldLevels;
}

// A folder read, or to be read, ahead of the walk.
struct Slot {
    enum State { queued, reading, done };
    // The folder holding it, open until it is read.
    FolderDescent::Handle parent;
    QByteArray name;
    QByteArray path;
    Place place;
    // Its index among its folder's entries.
    std::uint32_t index = 0;
    dev_t parentDevice = 0;
    int depth = 0;
    State state = queued;
    // Taken by the walk or dropped: no longer anyone's to take.
    bool gone = false;
    bool abandoned = false;
    Listing listing;
    // Its sub-folders queued by the thread that read it.
    std::vector<std::shared_ptr<Slot>> children;
};
using Slots = std::vector<std::shared_ptr<Slot>>;

struct Frame {
    // The length of the folder's path in the walk's path buffer.
    qsizetype pathLength = 0;
    dev_t device = 0;
    std::vector<Entry> entries;
    std::size_t next = 0;
    Place place;
    // Sub-folders handed to the read-ahead in the order of their index,
    // dropped when the frame ends.
    Slots ahead;
    // The folder was let go of and could not be found again: no sub-folder
    // of it can be entered.
    bool lost = false;
};

std::atomic<quint64> readingThreadsMade { 0 };

} // namespace

// The threads reading folders ahead of a walker's walks, and the folders they
// read for the walk under way. Between walks nothing is queued or read, and
// the threads wait.
class DirectoryWalker::Readers {
public:
    Readers(const DirectoryWalker::ReadAhead& options, const std::atomic<bool>* stop)
        : options_(options)
        , stop_(stop)
    {
        for (int i = 0; i < options.threads; ++i) {
            threads_.emplace_back([this] { run(); });
            readingThreadsMade.fetch_add(1, std::memory_order_relaxed);
        }
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

    int threads() const { return int(threads_.size()); }

    void beginWalk()
    {
        std::lock_guard lock(mutex_);
        walking_ = true;
    }

    // After a walk, however it ended: what was queued is forgotten and the
    // folders being read are waited for (one read each at most), so that
    // nothing of this walk is touched once the next begins.
    void endWalk()
    {
        std::unique_lock lock(mutex_);
        walking_ = false;
        queue_.clear();
        ready_.wait(lock, [this] { return reading_ == 0; });
        queue_.clear();
        outstanding_ = 0;
    }

    // The sub-folders of a folder worth reading ahead, as the walk would
    // enter them.
    Slots wantedChildren(const FolderDescent::Handle& folder, const QByteArray& folderPath, const Place& place,
        const std::vector<Entry>& entries, int depth) const
    {
        Slots children;
        if (!options_.wanted || !mayReadAheadBelow(depth))
            return children;
        static const std::shared_ptr<void> none;
        EntryPaths paths;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            if (!S_ISDIR(entry.attributes.stx_mode))
                continue;
            struct stat status { };
            fillStatus(entry.attributes, status);
            const QByteArray& child = paths.of(folderPath, entry.name);
            if (!options_.wanted(WalkEntry { child, entry.name, status, entry.attributes, depth, none }))
                continue;
            auto slot = std::make_shared<Slot>();
            slot->parent = folder;
            slot->name = entry.name;
            slot->path = child;
            slot->place = place;
            slot->place.push_back(std::uint32_t(i));
            slot->index = std::uint32_t(i);
            children.push_back(std::move(slot));
        }
        return children;
    }

    // Queues the sub-folders of a folder the walk's thread read itself.
    Slots add(const FolderDescent::Handle& folder, const QByteArray& folderPath, const Place& place,
        const std::vector<Entry>& entries, dev_t device, int depth)
    {
        Slots children = wantedChildren(folder, folderPath, place, entries, depth);
        std::lock_guard lock(mutex_);
        addLocked(children, device, depth + 1);
        return children;
    }

    // The listing of the folder at index among ahead when it was read ahead,
    // waiting while it is being read, with the sub-folders queued from it;
    // none when nobody began it (the caller reads it).
    std::optional<std::pair<Listing, Slots>> take(const Slots& ahead, std::uint32_t index)
    {
        const auto found = std::lower_bound(ahead.begin(), ahead.end(), index,
            [](const std::shared_ptr<Slot>& slot, std::uint32_t at) { return slot->index < at; });
        if (found == ahead.end() || (*found)->index != index)
            return std::nullopt;
        const std::shared_ptr<Slot> slot = *found;
        std::unique_lock lock(mutex_);
        if (slot->gone)
            return std::nullopt;
        slot->gone = true;
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
    void drop(const Slots& dropped)
    {
        std::lock_guard lock(mutex_);
        for (const std::shared_ptr<Slot>& slot : dropped)
            dropLocked(*slot);
        wake_.notify_all();
    }

private:
    void addLocked(const Slots& children, dev_t device, int depth)
    {
        for (const std::shared_ptr<Slot>& slot : children) {
            slot->parentDevice = device;
            slot->depth = depth;
            queue_.emplace(slot->place, slot);
        }
        if (!children.empty())
            wake_.notify_all();
    }

    void dropLocked(Slot& slot)
    {
        if (slot.gone)
            return;
        slot.gone = true;
        if (slot.state == Slot::queued) {
            queue_.erase(slot.place);
        } else if (slot.state == Slot::reading) {
            slot.abandoned = true;
        } else {
            --outstanding_;
            for (const std::shared_ptr<Slot>& child : slot.children)
                dropLocked(*child);
            slot.children.clear();
            slot.listing = Listing();
        }
    }

    // Folders read and not yet taken, and those being read, at most: enough
    // to keep the readers ahead, few enough to bound the memory held.
    std::size_t limit() const { return std::size_t(options_.threads) * 2 + 2; }

    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return closing_ || (walking_ && !queue_.empty() && outstanding_ < limit()); });
            if (closing_)
                return;
            const std::shared_ptr<Slot> slot = queue_.begin()->second;
            queue_.erase(queue_.begin());
            slot->state = Slot::reading;
            ++outstanding_;
            ++reading_;
            lock.unlock();
            Listing listing;
            Slots children;
            if (!(stop_ && stop_->load(std::memory_order_relaxed))) {
                listing = readSubfolder(slot->parent->get(), slot->name, slot->path, slot->parentDevice);
                prepare(*slot, listing);
                if (!listing.refusal && listing.readable)
                    children = wantedChildren(listing.folder, slot->path, slot->place, listing.entries, slot->depth);
            }
            slot->parent.reset();
            lock.lock();
            --reading_;
            if (slot->abandoned) {
                --outstanding_;
                if (reading_ == 0)
                    ready_.notify_all();
                continue;
            }
            // Read ahead from here too, so that the walk finds the first
            // sub-folders of a folder read when it enters them.
            addLocked(children, listing.device, slot->depth + 1);
            slot->children = std::move(children);
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
    std::size_t outstanding_ = 0;
    // Folders being read right now.
    std::size_t reading_ = 0;
    bool walking_ = false;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

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

DirectoryWalker::~DirectoryWalker() = default;

void DirectoryWalker::setReadAhead(ReadAhead readAhead)
{
    readAhead_ = std::move(readAhead);
    if (readers_ && readers_->threads() != readAhead_.threads)
        readers_.reset();
}

quint64 DirectoryWalker::readingThreadsStarted()
{
    return readingThreadsMade.load(std::memory_order_relaxed);
}

bool DirectoryWalker::walk(const QByteArray& root, const Visitor& visitor)
{
    const auto report = [this](const Problem& problem) {
        if (problems_)
            problems_(problem.path, problem.error, problem.reason);
    };
    std::set<std::pair<dev_t, ino_t>> entered;
    std::vector<Frame> stack;
    // The folders of the stack, open or found again as the walk needs them.
    FolderDescent descent;
    // The innermost folder's path, and the entry's after it: one buffer for
    // every level, so that no level keeps a path of its own.
    QByteArray path = root;
    Readers* readers = nullptr;
    if (readAhead_.threads > 0) {
        if (!readers_)
            readers_ = std::make_unique<Readers>(readAhead_, stop_);
        readers = readers_.get();
        readers->beginWalk();
    }
    // However the walk ends, the readers are idle before the next one begins.
    const auto walkEnded = qScopeGuard([readers] {
        if (readers)
            readers->endWalk();
    });

    // Takes the folder at the end of path into the walk; a folder read ahead
    // comes with its sub-folders queued already.
    const auto enter
        = [&](const QByteArray& name, Listing listing, std::optional<Slots> readAhead, Place place) -> bool {
        Slots queued = readAhead ? std::move(*readAhead) : Slots();
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
        if (readers && !readAhead)
            queued = readers->add(listing.folder, path, place, listing.entries, listing.device, depth);
        descent.push(std::move(listing.folder), listing.device, listing.inode, name);
        stack.push_back(Frame { path.size(), listing.device, std::move(listing.entries), 0,
            mayReadAheadBelow(depth) ? std::move(place) : Place(), std::move(queued), false });
        return true;
    };

    if (root.contains('\0')) {
        report(Problem { root, ENOENT, errnoText(ENOENT) });
        return false;
    }
    {
        FileDescriptor fd(openFolderOfAnyLength(root.constData()));
        struct stat own { };
        if (!fd.isOpen() || ::fstat(fd.get(), &own) != 0) {
            report(problemOf(root, errno, "cannot read folder: "));
            return false;
        }
        if (!enter(QByteArray(), readListing(std::move(fd), own, root, std::nullopt), std::nullopt, {}))
            return false;
    }
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            if (readers && !frame.ahead.empty())
                readers->drop(frame.ahead);
            stack.pop_back();
            descent.leave();
            continue;
        }
        if (stop_ && stop_->load(std::memory_order_relaxed))
            return false;
        const std::size_t index = frame.next++;
        const Entry& entry = frame.entries[index];
        path.resize(frame.pathLength);
        if (!path.endsWith('/'))
            path += '/';
        path += entry.name;
        const int depth = static_cast<int>(stack.size());
        struct stat status { };
        fillStatus(entry.attributes, status);
        const WalkAction action
            = visitor(WalkEntry { path, entry.name, status, entry.attributes, depth, entry.prepared });
        if (action == WalkAction::stop)
            return false;
        if (action != WalkAction::descend || !S_ISDIR(status.st_mode))
            continue;
        Place place;
        if (mayReadAheadBelow(depth + 1)) {
            place = frame.place;
            place.push_back(std::uint32_t(index));
        }
        const QByteArray name = entry.name;
        const dev_t device = frame.device;
        auto ahead = readers && !frame.ahead.empty() ? readers->take(frame.ahead, std::uint32_t(index)) : std::nullopt;
        if (!ahead && !descent.innermost()) {
            if (!frame.lost) {
                frame.lost = true;
                report(Problem { path.left(frame.pathLength), 0,
                    QStringLiteral("read only in part: it was moved while the walk was below it") });
            }
            continue;
        }
        // A folder left for its last entry has no more use for its entries:
        // a chain of folders holds one level's worth at a time.
        if (frame.next == frame.entries.size()) {
            frame.entries = std::vector<Entry>();
            frame.next = 0;
        }
        // Either way the stack may grow: frame is not used after this.
        if (ahead)
            enter(name, std::move(ahead->first), std::move(ahead->second), std::move(place));
        else
            enter(name, readSubfolder(descent.innermost()->get(), name, path, device), std::nullopt, std::move(place));
    }
    return !(stop_ && stop_->load());
}
