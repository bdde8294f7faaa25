#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <sys/types.h>

// Whether a user other than the one the program runs as could change a
// folder: add, rename or remove its entries, and so put another folder, file
// or link in the place of one the program relies on. The one judge of this
// for the program's own folders and for the folders an undo goes through.
// Any thread.
namespace OtherUsers {

// Whether the owner uid stands for the system rather than for another user:
// the superuser, or, inside a user namespace that leaves its parent's
// superuser out, the overflow id. The kernel shows every owner outside the
// namespace's map as its overflow id, the parent's superuser among them, so
// that what lies above the user's own folders shows so (as a sandboxed or
// containered desktop program runs), whether the map leaves the overflow id
// out or gives it to one of the user's subordinate ids. Outside a user
// namespace, and in one whose map takes the parent's superuser in, the id
// names that user and no more. Any thread.
bool isSystemOwner(uid_t uid);

// Whether the owner uid is one the user namespace cannot attribute: the
// overflow id where isSystemOwner takes it for the system, which the root's
// folders and every other user's outside the map alike show as. Such a
// folder or link may be another user's: where it matters who could have
// changed it (the way an undo or a trash is reached), it is trusted only
// where a recorded identity proves it. Any thread.
bool isUnattributedOwner(uid_t uid);

// True when anyone besides the program's user (its effective user) and the
// system could change the entries of the folder open at folder (any
// descriptor, one opened with O_PATH too), whose status is status: it
// belongs to another user (neither the user nor the system, isSystemOwner);
// or another user may write it through its mode's other bits, its group (one
// that is not the user's alone) or an entry of
// its access list (a named user or group, the owning group's entry where a
// mask lets it through). The sticky bit keeps each entry to its owner, so a
// folder that has it is changed only by its owner. An access list that
// cannot be read where the mode says one may grant writing counts as one
// that does.
bool mayChangeFolder(int folder, const struct stat& status);

// Whether the group gid is the user's alone: the user's primary group,
// listing no other member and primary to no other user (a user-private
// group, as each user's own is by default). Its members are looked up once
// per run.
bool isUsersOwnGroup(gid_t gid);

// True when another user could change any folder above the one open at
// folder, up to the root, as its ".." leads now: each of them could put
// another folder in the place of the one below it. Also true when a folder
// on the way up cannot be looked at.
bool mayChangeAnyFolderAbove(int folder);

// True when another user could steer where path (absolute, or from the
// working folder) leads: a name on its way, one of a link's target too, is
// looked up in a folder another user could change, or a link on it is
// another user's. What path leads to is left to the caller to judge. Also
// true when its way cannot be followed to its end.
bool mayChangeWayTo(const QByteArray& path);

// The folders on the way to path (absolute, cleaned), from the root down to
// the one that holds it, that another user could change (mayChangeFolder),
// named as path names them: what the user would mend for path's place to be
// theirs alone. Each is looked up as path leads, its links followed; a
// folder of the way that is missing or cannot be looked at ends the search.
QStringList foldersAnotherUserMayChangeAbove(const QString& path);

} // namespace OtherUsers
