#pragma once

#include "core/FileUtilities.h"
#include "platform/Trash.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <vector>

// The folder a removed file was taken from, as the removal found it: what
// an undo that puts the file back there recognises it by, and the modes to
// make it and the folders above it again with.
struct OriginalFolder {
    // The folder itself (its real folder, the one the file was held in): its
    // device and inode, and its birth time where the volume keeps one, as a
    // folder made later in its place may get its freed inode.
    FileFacts identity;
    // Its owner: where the volume keeps no birth time, a folder another user
    // made later on the freed inode is told apart by it.
    uid_t owner = 0;
    // The permission bits of each folder on its path below the root, top
    // first, the folder itself last.
    std::vector<quint32> modes;
    // The folders above it on its path below the root, top first, each as
    // the removal found it (none where it could not be looked at): on the way
    // back, a folder that is one of them at its place is taken whoever could
    // change what it holds.
    struct Above {
        FileFacts identity;
        uid_t owner = 0;
    };
    std::vector<std::optional<Above>> above;
};

// Records the folders removed files are taken from, each once per run:
// a folder's own facts, and its path's modes learnt once for all the
// folders below them. One run's thread at a time.
class OriginalFolders {
public:
    // The folder at folderPath (absolute, as the scan named it), held open
    // at heldFolder: none when it cannot be looked at.
    std::shared_ptr<const OriginalFolder> record(const QString& folderPath, int heldFolder);

private:
    // A folder above one, as record() found it.
    struct Found {
        quint32 mode = 0;
        std::optional<OriginalFolder::Above> above;
    };
    std::map<QString, std::shared_ptr<const OriginalFolder>> folders_;
    std::map<QString, Found> above_;
};

// The folder open for a file to be put back into, or why there is none.
struct RestoreFolder {
    FileDescriptor fd;
    QString refusal;
};

// Reaches the folder at folderPath for a removed file to be put back into,
// a folder at a time from the root, never by a path the kernel resolves: a
// symbolic link is followed only where the user or the system owns it
// (OtherUsers::isSystemOwner). Inside a user namespace a folder or link of
// an owner it cannot attribute (OtherUsers::isUnattributedOwner) may be
// another user's: it is taken, and what is found in it or where it leads,
// only as the one recorded at its place.
// Every folder on the way, the folder itself last, is taken only as the one
// original recorded at its place (device, inode and owner), or as one that
// no other user could have changed (OtherUsers) reached only through such
// folders: a path another user could have steered, through a folder of
// theirs or one they may write, is never followed to a folder that is not
// the recorded one, and neither are the folders a link's target passes
// through. A folder missing on the way is made again in one taken so (the
// user's own, with the mode original recorded for it; a folder it recorded
// none for, only the user's). The folder reached takes the file only when it
// is original's very folder, the user's own, or the system's that no one
// else may write. Anything else is refused and told: as a folder that now
// belongs to another user, or as one another user could have put there.
// The descriptor (O_PATH) is where the file goes, by its name alone.
RestoreFolder reachOriginalFolder(const QString& folderPath, const OriginalFolder* original);
