#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// One folder of the cleaner's tree. The tree is built whole by a worker and
// then handed to the GUI thread, which only reads it; nodes are held by their
// parent, so a node's address is its identity in the outline for as long as
// the tree lives.
struct Folder {
    // Last component of path; both empty for a folder that could not be read.
    QString name;
    QString path;
    // The file system's own bytes of path, so that any name can be reached
    // again whatever its encoding.
    QByteArray nativePath;
    std::vector<std::unique_ptr<Folder>> subfolders;
    // Non-owning; null for the chosen folder.
    Folder* parent = nullptr;
    // Index in parent's subfolders.
    int row = 0;
    // The folder held no entry of any kind (hidden ones included) when the
    // scan listed it.
    bool empty = false;
};
