#pragma once

#include "core/FileUtilities.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <sys/types.h>

// A user's trash folder (holding files/ and info/), held open since it was
// found and checked: every move into it and every entry written, read or
// removed reaches its files and info folders from this descriptor, never
// again by its path, so that a folder another user puts in its place
// afterwards (the owner of a shared .Trash may rename any entry of it)
// never receives a file. Shared by the removals that went into it and by
// their undo. Between a run and the next it lets go of its descriptor
// (release()) while its path still leads to it, so that its volume can be
// unmounted; it is opened again by that path, without following a link, and
// serves only while it is still the same folder. Any thread.
class HeldTrash {
public:
    HeldTrash(QString path, uid_t uid, FileDescriptor folder);

    // The path it had when it was found: for telling only.
    const QString& path() const { return path_; }
    // Why the held folder may no longer serve (not a folder of the user's
    // own, open to others, removed), or none: a look at the descriptor.
    std::optional<QString> recheck() const;
    // Its part "files" or "info", opened from the held folder without
    // following a link and only when it is a folder of the user's own; not
    // open with errno set otherwise.
    FileDescriptor openPart(const char* part) const;
    // Lets go of the descriptor while nothing uses the folder, when its path
    // still leads to it; a folder moved away meanwhile stays held, since its
    // path would no longer find it.
    void release() const;

private:
    // The folder its path leads to now, opened without following a link,
    // and only while it is the folder that was held; not open with errno set
    // (ESTALE: the path now leads elsewhere) otherwise.
    FileDescriptor openByPath() const;
    // The descriptor, opened again by the path when it was let go of; -1
    // with errno set (ESTALE as above) otherwise. Under lock_.
    int folderLocked() const;

    QString path_;
    uid_t uid_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    mutable std::mutex lock_;
    mutable FileDescriptor folder_;
};

// One trash folder (holding files/ and info/), held, or why a volume has
// none.
struct TrashFolder {
    QString path;
    QString error;
    std::shared_ptr<const HeldTrash> held;
};

namespace TrashDetail {

// Where the home trash is, $XDG_DATA_HOME/Trash, whether it is there and
// usable or not; empty when there is no data folder to hold it.
QString homeTrashPath();

// The home trash, made when missing, and held. One another user owns, or
// whose files or info folder another user owns, is refused saying so; when
// that user is root (a program run with the administrator's rights made it),
// saying how to give it back too.
TrashFolder homeTrashFolder();

// The trash of a volume other than the home volume, whose top folder is
// topdir: $topdir/.Trash/$uid when $topdir/.Trash is a real folder with the
// sticky bit that belongs to root or to the user, otherwise
// $topdir/.Trash-$uid. Missing folders are made (0700), each from the open
// folder above it; a link or a folder of another owner is never used, and
// the one found is held.
TrashFolder volumeTrashFolder(const QString& topdir, uid_t uid);

// Why the part ("files" or "info") of the trash folder at path could not be
// opened, from the errno HeldTrash::openPart left.
QString partFault(const QString& path, const char* part, int error);

} // namespace TrashDetail
