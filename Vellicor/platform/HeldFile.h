#pragma once

#include "core/FileUtilities.h"
#include "platform/Trash.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// A local file held for its removal: its folder opened without following a
// link at any step, the file opened for reading from that folder without
// following a link, and its facts as the open descriptor gives them. The
// checks read and compare through it, and the removal acts from its folder,
// so that what goes is what was checked however the paths change meanwhile.
// Move-only; any thread.
struct HeldFile {
    // The path as the caller named it, what the user knows it by.
    QString path;
    // The folder that was opened, by its path without links.
    QString folderPath;
    FileDescriptor folder;
    QByteArray name;
    FileDescriptor fd;
    FileFacts facts;
    // Why it could not be held, a sentence for the report; the errno behind
    // it in error (0 when there is none).
    QString refusal;
    int error = 0;

    bool isHeld() const { return fd.isOpen(); }
};

// How the folders on a file's path are taken when it is held.
enum class FolderLinks {
    // A path through a linked folder is refused.
    refused,
    // The file's folder is resolved to its real path once, and that path is
    // opened without following a link at any step: a link that was there
    // already leads to the folder it names, and one put on the path since
    // the resolution is refused. For a caller that then proves the file is
    // the one it knows (device and inode), wherever the links lead.
    resolvedFirst,
};

// Holds the regular file at the absolute path; a link, a folder or anything
// else is refused without being opened, and its folder is reached as links
// says.
HeldFile holdFile(const QString& path, FolderLinks links = FolderLinks::refused);

// Opens the folder at the absolute path as a place to act in (O_PATH), never
// through a link at any step; -1 with errno set otherwise.
int openFolderWithoutLinks(const QString& path);
// The same by a walk from the root, a folder at a time, for a kernel that
// cannot resolve a whole path without links; path as openFolderWithoutLinks
// accepts it.
int openFolderByWalk(const QByteArray& path);

// Why the entry name in folder is no longer the held file (device and inode,
// size, modification time, and the change time when withChangeTime: a rename
// changes it), or none.
std::optional<QString> heldFileDiffers(const HeldFile& held, int folder, const QByteArray& name, bool withChangeTime);

// What moving a held file came to.
struct HeldMove {
    bool moved = false;
    // The rename's errno when it failed (EEXIST: the target name is taken);
    // 0 otherwise.
    int error = 0;
    // Why it was not moved, or was put back; empty when moved or on error.
    QString refusal;
    // Something other than the held file was moved and could not be put
    // back: it stays at the target.
    bool stranded = false;
};

// Moves the held file from its folder to toName in toFolder without
// replacing anything, only while its folder still shows the file as it was
// held; afterwards what moved must be the held file, or it is put back and
// the move refused. toPath names the target in the refusal. beforeRename,
// when set, runs right before the rename (a test changes the disk there).
HeldMove moveHeldFile(const HeldFile& held, int toFolder, const QByteArray& toName, const QString& toPath,
    const std::function<void(const QString& path)>& beforeRename = {});
