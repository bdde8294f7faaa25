#pragma once

#include <QByteArray>
#include <QString>

#include <climits>
#include <memory>
#include <sys/types.h>
#include <vector>

// One folder of the cleaner's tree. The tree is built whole by a worker and
// then handed to the GUI thread, which only reads it; nodes are held by their
// parent, so a node's address is its identity in the outline for as long as
// the tree lives. A node keeps its own name only: its path is made from the
// names on the way up when asked for, so a tree costs what its names do,
// whatever its depth.
struct Folder {
    Folder() = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    // Lets go of the folders below one at a time: a tree of any depth goes
    // without a call per level.
    ~Folder();

    // Last component of the folder's path; empty for a folder that could not
    // be read.
    QString name;
    // The file system's own bytes of name, so that any name can be reached
    // again whatever its encoding; of the chosen folder, its whole path.
    // Empty for a folder that could not be read.
    QByteArray nativeName;
    std::vector<std::unique_ptr<Folder>> subfolders;
    // Non-owning; null for the chosen folder.
    Folder* parent = nullptr;
    // Index in parent's subfolders.
    int row = 0;
    // The folder held no entry of any kind (hidden ones included) when the
    // scan listed it.
    bool empty = false;
    // The folder the scan saw at this place: removal acts only on it.
    dev_t device = 0;
    ino_t inode = 0;
};

// The nodes from node up to the top of a tree of names (a Folder, or any node
// with a nativeName and a parent, the top one's name its whole path), or up
// to the first whose names together pass limit bytes (cut is then set); none
// when a name on the way is empty.
template <class Node> std::vector<const Node*> wayUp(const Node& node, qsizetype limit, bool& cut)
{
    std::vector<const Node*> way;
    qsizetype bytes = 0;
    cut = false;
    for (const Node* at = &node; at; at = at->parent) {
        if (at->nativeName.isEmpty())
            return {};
        way.push_back(at);
        bytes += at->nativeName.size() + 1;
        if (limit >= 0 && bytes > limit && at->parent) {
            cut = true;
            break;
        }
    }
    return way;
}

// The path down a way from wayUp.
template <class Node> QByteArray pathDown(const std::vector<const Node*>& way)
{
    qsizetype bytes = 0;
    for (const Node* at : way)
        bytes += at->nativeName.size() + 1;
    QByteArray path;
    path.reserve(bytes);
    for (auto at = way.rbegin(); at != way.rend(); ++at) {
        if (!path.isEmpty() && !path.endsWith('/'))
            path += '/';
        path += (*at)->nativeName;
    }
    return path;
}

// The node's whole path; empty when a name on the way is. Costs its depth.
template <class Node> QByteArray nativePathUp(const Node& node)
{
    bool cut = false;
    return pathDown(wayUp(node, -1, cut));
}

// The folder's whole path as the file system spells it; empty for a folder
// that could not be read. Costs the folder's depth.
QByteArray nativePathOf(const Folder& folder);
// The same as text.
QString pathOf(const Folder& folder);
// The bytes of a cut path a report shows: its last names within a line.
constexpr qsizetype shownPathTail = 240;
// A path as a line of a report shows it: "…/" before the last part of a path
// that was cut.
QString shownPath(const QByteArray& nativePath, bool cut);
// The path of a node as a line of a report shows it: whole while a path may
// be that long, else its last names, so that the reports of deep folders stay
// in proportion to their number.
template <class Node> QString shownPathOf(const Node& node)
{
    bool cut = false;
    std::vector<const Node*> way = wayUp(node, PATH_MAX, cut);
    if (cut)
        way = wayUp(node, shownPathTail, cut);
    return shownPath(pathDown(way), cut);
}
