#pragma once

#include "core/DuplicateGroup.h"
#include "marking/ProtectedFolderMatcher.h"

#include <optional>
#include <vector>

class ResultsState;

// The mark menu's commands that mark by a property, group by group, and the
// invert. Each reads the shown groups and computes a plan on the GUI thread;
// the plan is then applied to the results state in one step, so the screen
// repaints once.
enum class MarkByCommand {
    // Tag 0 keeps the newest file(s) of each group, any other tag (or none)
    // the oldest.
    modifiedDate,
    createdDate,
    // Tag 0 keeps the largest, any other tag (or none) the smallest.
    size,
    // Tag 0 keeps the longest name, 1 the shortest; tag 2 keeps paths as long
    // as the deepest file's, any other tag (or none) as the shallowest's.
    nameOrPath,
    // Marked files are unmarked and unmarked ones marked.
    invert,
};

struct MarkByPlan {
    struct Group {
        DuplicateGroupPtr group;
        // The group's shown files in their shown order, with their new marks
        // and protection.
        std::vector<FileInfoNodePtr> files;
        std::vector<bool> marks;
        std::vector<bool> isProtected;
    };
    quint64 resultSetId = 0;
    std::vector<Group> groups;
    // Every shown file the command could have marked is protected (also when
    // nothing is shown): the user is told so.
    bool everythingProtected = false;
};

// tag: the menu item's tag, none for a sender that is no menu item. Protected,
// locked and removed files are never marked, and no group ends with every
// shown file marked; a date command leaves a group with no dated file
// unmarked.
MarkByPlan planMarkBy(const std::vector<DuplicateGroupPtr>& groups,
    const std::optional<ProtectedFolderMatcher>& protection, MarkByCommand command, std::optional<int> tag);

// The plan's marks go onto the state (a plan made for another result set
// changes nothing), every view repaints, the totals follow, and the
// protection alert comes last when the plan says so.
void applyMarkByPlan(ResultsState& state, const MarkByPlan& plan);

// Plans and applies one command on the shown groups.
void runMarkByCommand(ResultsState& state, MarkByCommand command, std::optional<int> tag);
