#pragma once

#include "core/DuplicateGroup.h"
#include "marking/ProtectedFolderMatcher.h"
#include "marking/SlicedWork.h"

#include <cstdint>
#include <optional>
#include <vector>

class ResultsState;

// The mark menu's commands that mark by a property, group by group, and the
// invert.
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

// One pass over the shown groups as the list was when it began, a group at
// a time, for the GUI thread to run in slices (SlicedWork): each group is
// done whole within a slice, the totals following its marks, and the views
// are told once, at the end. A result set replaced meanwhile ends the pass
// where it is.
class ShownGroupsRun {
public:
    explicit ShownGroupsRun(ResultsState& state);
    virtual ~ShownGroupsRun() = default;

    // The next groups within budget; true when the pass is over.
    bool step(SliceBudget& budget);

protected:
    virtual void markGroup(const DuplicateGroupPtr& group) = 0;
    virtual void finish() = 0;

    ResultsState& state_;
    std::optional<ProtectedFolderMatcher> protection_;

private:
    quint64 resultSetId_ = 0;
    std::vector<DuplicateGroupPtr> groups_;
    std::size_t next_ = 0;
};

// One command, planned and applied one group at a time without copying a
// group's files. tag: the menu item's tag, none for a sender that is no menu
// item. Protected, locked and removed files are never marked, and no group
// ends with every shown file marked; a date command leaves a group with no
// dated file unmarked. When every shown file the command could have marked is
// protected (also when nothing is shown) the user is told so at the end.
class MarkByRun : public ShownGroupsRun {
public:
    MarkByRun(ResultsState& state, MarkByCommand command, std::optional<int> tag);

private:
    void markGroup(const DuplicateGroupPtr& group) override;
    void finish() override;

    MarkByCommand command_;
    std::optional<int> tag_;
    qsizetype markedGroups_ = 0;
    qsizetype shownFiles_ = 0;
    qsizetype protectedFiles_ = 0;
    qsizetype fullyProtectedGroups_ = 0;
    // One group's shown files and their flags, reused from group to group.
    std::vector<const FileInfoNode*> files_;
    std::vector<std::uint8_t> flags_;
};

// The select-all box and the unmark-all button: every shown group marked as
// ResultsState::selectAllShownFiles marks it, or unmarked.
class SelectAllRun : public ShownGroupsRun {
public:
    SelectAllRun(ResultsState& state, bool mark);

private:
    void markGroup(const DuplicateGroupPtr& group) override;
    void finish() override;

    bool mark_;
};

// Runs one command on the shown groups at once.
void runMarkByCommand(ResultsState& state, MarkByCommand command, std::optional<int> tag);
