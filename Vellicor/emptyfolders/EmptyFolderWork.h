#pragma once

#include "emptyfolders/Folder.h"

#include <QByteArrayList>

#include <atomic>
#include <memory>
#include <vector>

#include <sys/stat.h>

// The file-system work of the empty-folder cleaner. Display-free and run on a
// worker thread; stop is tested per entry or per folder, progress counts the
// folders met or handled so far.

// The tree of the folders below root, walked without following links (a link
// to a folder is an entry, not a folder) and entering each folder once. A root
// that cannot be read as a folder gives one blank node; null when stopped.
std::unique_ptr<Folder> buildFolderTree(
    const QByteArray& root, const std::atomic<bool>* stop = nullptr, std::atomic<int>* progress = nullptr);

// The tree as indented lines, one folder a line, each path escaped as the
// log escapes names.
QString folderTreeText(const Folder& root);

// A removed folder as it stood right before it went: its permissions, owner
// and times are what Undo gives it back.
struct RemovedFolder {
    QByteArray path;
    struct stat status { };
};

struct FolderWorkOutcome {
    QByteArrayList done;
    QByteArrayList failed;
    // Of a deletion: the folders in done, as they stood.
    std::vector<RemovedFolder> removed;
};

// Removes each folder that is still an empty folder right now (rmdir: never a
// folder's contents, never through a link); the others keep everything and
// are reported as failed. Ends early, with the rest untouched, when stopped.
FolderWorkOutcome deleteEmptyFolders(
    const QByteArrayList& paths, const std::atomic<bool>* stop = nullptr, std::atomic<int>* progress = nullptr);

// Creates each folder again, with any missing parents, and gives the ones it
// made their recorded permissions, and their owner and times where the
// system allows. A folder that someone made again meanwhile counts as
// restored and keeps its own; missing parents get the usual permissions.
FolderWorkOutcome restoreDeletedFolders(const std::vector<RemovedFolder>& folders);
