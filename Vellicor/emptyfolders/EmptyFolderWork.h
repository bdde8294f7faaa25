#pragma once

#include "emptyfolders/Folder.h"
#include "scan/PathExclusionPredicate.h"

#include <QByteArrayList>
#include <QString>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include <sys/stat.h>

// The file-system work of the empty-folder cleaner. Display-free and run on a
// worker thread; stop is tested per entry or per folder, progress counts the
// folders met or handled so far. Every folder below the chosen one is reached
// a folder at a time from the one above it, never through a link, and the
// work grows with the number of folders whatever their depth.

// The folders a walk of the cleaner keeps out of its tree: an excluded folder
// below the chosen one is an entry of the folder holding it (which is then not
// empty), never a folder of the tree, and nothing below it is read.
struct FolderWalkExclusion {
    PathExclusionPredicate excluded;
    // The chosen folder with every link on its way followed: the folders
    // below it are judged by where they are, whatever the way chosen.
    QByteArray realRoot;
};

// What keeps the chosen folder at root out of the cleaner, judged by its path
// and by where it leads; with none, the exclusion its walk keeps to. Follows
// links on the disk: never on the GUI thread.
struct ChosenFolderJudgement {
    std::optional<LocationExclusion> refusal;
    std::optional<FolderWalkExclusion> walk;
};
ChosenFolderJudgement judgeChosenFolder(const std::optional<PathExclusionPredicate>& excluded, const QString& root);

// The tree of the folders below root, walked without following links (a link
// to a folder is an entry, not a folder) and entering each folder once. A root
// that cannot be read as a folder gives one blank node; null when stopped.
std::unique_ptr<Folder> buildFolderTree(const QByteArray& root, const std::atomic<bool>* stop = nullptr,
    std::atomic<int>* progress = nullptr, const FolderWalkExclusion* exclusion = nullptr);

// Writes the tree to out: the chosen folder's path, then a line per folder
// below it with its name, indented by its depth (deeper than a screen holds,
// the depth is told as a number). Names are escaped as the log escapes them.
void printFolderTree(const Folder& root, std::FILE* out);

struct FolderDeletion {
    // A folder removed, as it stood right before it went: its permissions,
    // owner and times are what Undo gives it back.
    struct Removed {
        const Folder* folder;
        struct stat status;
    };
    // A folder kept, and why.
    struct Kept {
        const Folder* folder;
        QString reason;
    };
    // Each in the order the folders were given.
    std::vector<Removed> removed;
    std::vector<Kept> kept;
};

// Removes each of the given folders of tree that is still, right now, the
// empty folder the scan saw at its place: the folders on its way down from
// the chosen folder are opened one from the other without following a link
// and must each be the folder the scan saw there (device and inode), and so
// must the folder itself, which is removed from the one holding it (rmdir
// never takes contents). A folder whose way has changed, or that is no longer
// empty, is kept with the reason. Stop ends the work early, the rest neither
// removed nor kept. The folders must be nodes of tree without sub-folders.
FolderDeletion deleteEmptyFolders(const Folder& tree, const std::vector<const Folder*>& folders,
    const std::atomic<bool>* stop = nullptr, std::atomic<int>* progress = nullptr);

// The folders removed since the last undo, by the chosen folder they were
// found below: a tree of the names on their way down from it, shared by the
// folders that share their way, so that it costs what the removed folders'
// own tree does whatever their depth. Any thread, one at a time.
class RemovedFolders {
public:
    struct Node {
        Node() = default;
        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;
        ~Node();
        // Of a chosen folder, its whole path.
        QByteArray nativeName;
        Node* parent = nullptr;
        std::map<QByteArray, std::unique_ptr<Node>> children;
        // How the folder stood when it was removed; a folder only on the way
        // to others has none.
        std::unique_ptr<struct stat> removed;
    };

    // Takes what one deletion removed of tree.
    void add(const Folder& tree, const FolderDeletion& deletion);
    bool isEmpty() const { return order_.empty(); }
    // Their paths, in the order they were removed.
    QByteArrayList paths() const;
    // The chosen folders, each with its whole path as its name.
    const std::vector<std::unique_ptr<Node>>& roots() const { return roots_; }
    // The removals in their order, a folder removed twice twice.
    const std::vector<const Node*>& order() const { return order_; }

private:
    std::vector<std::unique_ptr<Node>> roots_;
    std::vector<const Node*> order_;
};

struct FolderRestoration {
    int restored = 0;
    int failed = 0;
};

// Creates each folder again, with any missing parents, and gives the ones it
// made their recorded permissions, and their owner and times where the system
// allows. Below the chosen folder every folder is made and entered from the
// one above it without following a link: a link put on the way leads the undo
// nowhere, and what lies below it is not made. A folder that someone made
// again meanwhile counts as restored and keeps its own; missing parents get
// the usual permissions.
FolderRestoration restoreDeletedFolders(const RemovedFolders& folders);
