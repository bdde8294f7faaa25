#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>

// One entry met by a walk. Paths and names are the file system's own bytes,
// so that every name can be reached again whatever its encoding.
struct WalkEntry {
    const QByteArray& path;
    const QByteArray& name;
    // The entry itself, not a link's target.
    const struct stat& status;
    // The same, as read: with the birth time and the file attributes where the
    // file system keeps them.
    const struct statx& attributes;
    // 1 for the entries of the folder the walk started in.
    int depth;
    // What the read-ahead's prepare step made of the entry on a reading
    // thread; null when the walk's own thread read the folder.
    const std::shared_ptr<void>& prepared;
};

enum class WalkAction {
    // Go on with the next entry; a folder is not entered.
    next,
    // Enter this folder (for any other entry the same as next).
    descend,
    // End the whole walk.
    stop,
};

// The walk below one folder, depth first, entries of a folder in byte order of
// their names. Iterative, and each sub-folder is opened from its open parent
// without following a link (FolderDescent), so neither the stack, the
// descriptor limit nor the length of a path bounds the depth, and time and
// memory grow with the number of entries whatever the depth: every level
// shares one path buffer, and a folder is opened once on the way down.
// A folder is entered at most once per walk (by device and inode), which ends
// folder loops and counts a bind-mounted folder once; folders on pseudo file
// systems (proc, sysfs, devices, tracing, control groups …) are never entered.
// Each entry costs one statx relative to its open folder.
//
// With read-ahead, folders the walk is about to enter are read on threads of
// the walker's own, earliest in walk order first, while the walk's thread
// visits; what the visitor sees, and in which order, stays that of one thread.
// Only the first FolderDescent::heldLevels levels are read ahead, those whose
// folders stay open for the walk. The reading threads are made at the first
// walk that reads ahead and serve every later walk of the same walker (a scan's
// rows), idle between walks; they end with the walker.
//
// Thread: a walker is used by one thread at a time; several walkers may run at
// once.
class DirectoryWalker {
public:
    struct ReadAhead {
        // Threads reading folders besides the walk's own; 0 reads none ahead.
        int threads = 0;
        // Whether a sub-folder of a folder read is worth reading ahead (the
        // visitor will likely enter it). Called on any of the walk's threads:
        // must be thread-safe.
        std::function<bool(const WalkEntry&)> wanted;
        // Called on a reading thread for each entry read ahead; the result
        // reaches the visitor as WalkEntry::prepared. Must be thread-safe.
        std::function<std::shared_ptr<void>(const WalkEntry&)> prepare;
    };

    using Visitor = std::function<WalkAction(const WalkEntry&)>;
    // A folder or entry that could not be read: the errno value (0 when the
    // reason is not a system error) and the reason in words.
    using ProblemSink = std::function<void(const QByteArray& path, int error, const QString& reason)>;

    // stop, when given, is tested before every entry.
    explicit DirectoryWalker(const std::atomic<bool>* stop = nullptr, ProblemSink problems = {});
    ~DirectoryWalker();
    DirectoryWalker(const DirectoryWalker&) = delete;
    DirectoryWalker& operator=(const DirectoryWalker&) = delete;

    // Calls visitor for every entry below root. False when root could not be
    // opened as a folder or lies on a pseudo file system, when stop was raised
    // or when the visitor stopped the walk.
    bool walk(const QByteArray& root, const Visitor& visitor);

    // Between walks only. A change of the number of threads makes them anew.
    void setReadAhead(ReadAhead readAhead);

    // Reading threads started by every walker of the process so far.
    static quint64 readingThreadsStarted();

private:
    class Readers;

    const std::atomic<bool>* stop_;
    ProblemSink problems_;
    ReadAhead readAhead_;
    std::unique_ptr<Readers> readers_;
};

// Opens a folder for reading by a path of any length (a path past the system's
// limit a folder at a time from the root, following links as a path does);
// -1 with errno set when it cannot. The caller closes the descriptor.
int openFolderOfAnyLength(const char* path);

// Whether the folder open at fd lies on a file system whose files are made up
// by the kernel (reading them may never end, or change the system).
bool isPseudoFileSystem(int fd);
// The same for a path; false when the path cannot be asked about.
bool isOnPseudoFileSystem(const QByteArray& path);
