#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
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
// their names. Iterative, so the depth of a tree is bounded by memory rather
// than by the stack; paths of any length are opened relative to their parent.
// A folder is entered at most once per walk (by device and inode), which ends
// folder loops and counts a bind-mounted folder once; folders on pseudo file
// systems (proc, sysfs, devices, tracing, control groups …) are never entered.
// Each entry costs one statx relative to its open folder.
//
// Thread: a walker is used by one thread at a time; several walkers may run at
// once.
class DirectoryWalker {
public:
    using Visitor = std::function<WalkAction(const WalkEntry&)>;
    // A folder or entry that could not be read: the errno value (0 when the
    // reason is not a system error) and the reason in words.
    using ProblemSink = std::function<void(const QByteArray& path, int error, const QString& reason)>;

    // stop, when given, is tested before every entry.
    explicit DirectoryWalker(const std::atomic<bool>* stop = nullptr, ProblemSink problems = {});

    // Calls visitor for every entry below root. False when root could not be
    // opened as a folder or lies on a pseudo file system, when stop was raised
    // or when the visitor stopped the walk.
    bool walk(const QByteArray& root, const Visitor& visitor);

private:
    const std::atomic<bool>* stop_;
    ProblemSink problems_;
};

// Opens a folder for reading by a path of any length; -1 with errno set when
// it cannot. The caller closes the descriptor.
int openFolderOfAnyLength(const char* path);

// Whether the folder open at fd lies on a file system whose files are made up
// by the kernel (reading them may never end, or change the system).
bool isPseudoFileSystem(int fd);
// The same for a path; false when the path cannot be asked about.
bool isOnPseudoFileSystem(const QByteArray& path);
