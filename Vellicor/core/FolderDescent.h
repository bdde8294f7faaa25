#pragma once

#include "core/FileUtilities.h"

#include <QByteArray>

#include <cstddef>
#include <memory>
#include <sys/types.h>
#include <vector>

struct stat;

// The folders from a starting folder down to the one being worked in, each
// entered by name from the one above it without following a link. Few
// descriptors are open whatever the depth: the first heldLevels folders stay
// open, a deeper one only while the descent is in it. A folder let go of is
// found again on the way back up through the ".." of the folder below it,
// and only when that leads to the very folder it was (device and inode); when
// it does not (something on the way was moved), by its names from the
// deepest folder still open, each again the folder it was; otherwise it is
// lost and says so. Each folder is opened once on the way down and once more
// at most on the way up, so a descent of any depth costs work in proportion
// to its folders while nothing moves.
//
// Thread: one thread at a time. A folder's descriptor may be shared (a
// reading thread opening its sub-folders) and outlives the descent while
// someone holds it.
class FolderDescent {
public:
    using Handle = std::shared_ptr<const FileDescriptor>;

    static constexpr std::size_t heldLevels = 64;

    // Starts over at the folder open at fd; false (and empty) when fd is not
    // an open folder.
    bool start(FileDescriptor fd);
    // Enters the sub-folder name of the innermost folder: 0, or the errno of
    // why not (ELOOP a link, ENOTDIR not a folder, ENOENT none, EIDRM when the
    // innermost folder was lost). status, when given, receives the folder's.
    int enter(const char* name, struct stat* status = nullptr);
    // Enters the folder the caller opened already from the innermost one by
    // name.
    void push(Handle folder, dev_t device, ino_t inode, const QByteArray& name);
    // Back to the folder above the innermost one.
    void leave();

    // The innermost folder, found again first when it was let go of; null
    // when it could not be (moved elsewhere or gone meanwhile).
    const Handle& innermost();
    std::size_t depth() const { return levels_.size(); }
    dev_t device() const { return levels_.back().device; }
    ino_t inode() const { return levels_.back().inode; }

private:
    struct Level {
        Handle folder;
        dev_t device = 0;
        ino_t inode = 0;
        // Its name in the folder above; none for the starting folder.
        QByteArray name;
        // Let go of and looked for again in vain.
        bool lost = false;
    };
    bool climbTo(Level& level);
    bool descendTo(std::size_t index);

    std::vector<Level> levels_;
    // The folder left last, and how many levels above it the innermost
    // folder stands: the way back up to a folder let go of.
    Handle below_;
    std::size_t levelsUp_ = 0;
};
