#pragma once

#include "core/FileInfoNode.h"

#include <QStringList>

#include <memory>
#include <vector>

// One group of identical files. Owns its members; each member's parent points
// back here.
class DuplicateGroup {
public:
    // Every file of the group, in the order they joined.
    std::vector<FileInfoNodePtr> children;
    // The members shown under the current category filter (all of them when no
    // filter applies).
    std::vector<FileInfoNodePtr> filterChildren;
    quint64 groupSize = 0;
    // 1 every file but one marked, 0 none marked, -1 some marked.
    int state = 0;
};

using DuplicateGroupPtr = std::shared_ptr<DuplicateGroup>;

// Appends file to the group's members and to the shown members, adds its
// size and sets its back link.
void addFileToGroup(const DuplicateGroupPtr& group, const FileInfoNodePtr& file);

// The folders (lower-cased) and the file formats of a result set, each once,
// in the order of its groups and their members: the starting order of the
// folder and format priorities. A file without a folder adds none.
struct PriorityLists {
    QStringList folders;
    QStringList formats;
};

PriorityLists priorityListsOf(const std::vector<DuplicateGroupPtr>& groups);
