#include "core/FolderDescent.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace {

constexpr int folderReadFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// Levels climbed by one open: "../" each, well within the longest path one
// call takes.
constexpr std::size_t levelsPerClimb = 1000;

} // namespace

bool FolderDescent::start(FileDescriptor fd)
{
    levels_.clear();
    below_.reset();
    levelsUp_ = 0;
    struct stat own { };
    if (!fd.isOpen() || ::fstat(fd.get(), &own) != 0 || !S_ISDIR(own.st_mode))
        return false;
    levels_.push_back(
        Level { std::make_shared<const FileDescriptor>(std::move(fd)), own.st_dev, own.st_ino, {}, false });
    return true;
}

int FolderDescent::enter(const char* name, struct stat* status)
{
    const Handle& from = innermost();
    if (!from)
        return ESTALE;
    struct stat own { };
    FileDescriptor fd(openSubfolder(from->get(), name, O_RDONLY, &own));
    if (!fd.isOpen())
        return errno;
    if (status)
        *status = own;
    push(std::make_shared<const FileDescriptor>(std::move(fd)), own.st_dev, own.st_ino, QByteArray(name));
    return 0;
}

void FolderDescent::push(Handle folder, dev_t device, ino_t inode, const QByteArray& name)
{
    // A folder below the held ones is let go of as the descent leaves it for
    // a sub-folder (those sharing it keep it open for themselves).
    if (levels_.size() > heldLevels)
        levels_.back().folder.reset();
    below_.reset();
    levelsUp_ = 0;
    levels_.push_back(Level { std::move(folder), device, inode, name, false });
}

void FolderDescent::leave()
{
    if (levels_.empty())
        return;
    Level left = std::move(levels_.back());
    levels_.pop_back();
    if (levels_.empty() || levels_.back().folder) {
        below_.reset();
        levelsUp_ = 0;
        return;
    }
    // The folder now innermost was let go of: it is found again only when
    // asked for, so a climb through many such folders opens none of them.
    if (left.folder) {
        below_ = std::move(left.folder);
        levelsUp_ = 1;
    } else if (below_) {
        ++levelsUp_;
    }
}

const FolderDescent::Handle& FolderDescent::innermost()
{
    static const Handle none;
    if (levels_.empty())
        return none;
    Level& level = levels_.back();
    if (!level.folder && !level.lost && !climbTo(level) && !descendTo(levels_.size() - 1))
        level.lost = true;
    return level.folder;
}

bool FolderDescent::climbTo(Level& level)
{
    if (!below_)
        return false;
    const Handle from = std::move(below_);
    std::size_t up = std::exchange(levelsUp_, 0);
    FileDescriptor at;
    int fromFd = from->get();
    while (up > 0) {
        const std::size_t step = std::min(up, levelsPerClimb);
        std::string climb;
        climb.reserve(step * 3);
        for (std::size_t i = 0; i < step; ++i)
            climb += "../";
        climb.pop_back();
        at.reset(::openat(fromFd, climb.c_str(), folderReadFlags));
        if (!at.isOpen())
            return false;
        fromFd = at.get();
        up -= step;
    }
    struct stat own { };
    if (!at.isOpen() || ::fstat(at.get(), &own) != 0 || own.st_dev != level.device || own.st_ino != level.inode)
        return false;
    level.folder = std::make_shared<const FileDescriptor>(std::move(at));
    return true;
}

bool FolderDescent::descendTo(std::size_t index)
{
    std::size_t open = index;
    while (open > 0 && !levels_[open].folder)
        --open;
    if (!levels_[open].folder)
        return false;
    // The folders in between are let go of again as the way goes past them.
    Handle at = levels_[open].folder;
    for (std::size_t i = open + 1; i <= index; ++i) {
        Level& level = levels_[i];
        struct stat own { };
        FileDescriptor fd(openSubfolder(at->get(), level.name.constData(), O_RDONLY, &own));
        if (!fd.isOpen() || own.st_dev != level.device || own.st_ino != level.inode)
            return false;
        at = std::make_shared<const FileDescriptor>(std::move(fd));
    }
    levels_[index].folder = std::move(at);
    return true;
}
