#pragma once

#include "core/DuplicateGroup.h"
#include "marking/ProtectedFolderMatcher.h"
#include "marking/SelectionRules.h"
#include "marking/SlicedWork.h"

#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ResultsState;

// What one automatic-marking run reads, taken on the GUI thread when the run
// starts: the shown groups in shown order and, for each, its shown files as
// the group lists them then (handles only) and whether each was removed or
// locked. The worker reads the rest of a file (dates, size, names, folder)
// from the record itself: nothing changes those once a result set is shown,
// while the marks, the shown files, the removals and the locks, which the GUI
// thread does change, are not read from the records.
struct AutoMarkSnapshot {
    // Tells this run from any later one.
    quint64 generation = 0;
    quint64 resultSetId = 0;
    std::vector<DuplicateGroupPtr> groups;
    // Group g's shown files are files[firstFile[g]] up to files[firstFile[g + 1]].
    std::vector<std::uint32_t> firstFile { 0 };
    std::vector<FileInfoNodePtr> files;
    std::vector<bool> removed;
    std::vector<bool> locked;
    QStringList enabledRules;
    SelectionPriorities priorities;
    std::optional<ProtectedFolderMatcher> protection;

    std::size_t groupCount() const { return firstFile.size() - 1; }

    // The whole snapshot at once.
    static AutoMarkSnapshot take(const ResultsState& state, const QVariant& storedRules, quint64 generation);
};

// The snapshot taken group by group, a slice at a time, so that a large
// result set never holds the GUI thread for long. The shown groups are
// the list of the state when the taker was made. With Marks::clear each
// group's shown files lose their marks as the group is taken
// (ResultsState::clearGroupMarks): a run's start from no marks, spread over
// the same slices; the caller brackets it with the state's
// startUnmarkingInParts and endUnmarkingInParts.
class AutoMarkSnapshotTaker {
public:
    enum class Marks { keep, clear };
    AutoMarkSnapshotTaker(
        const ResultsState& state, const QVariant& storedRules, quint64 generation, Marks marks = Marks::keep);
    // Copies the next groups within budget; true when every group is in.
    bool takeSome(SliceBudget& budget);
    bool isComplete() const { return snapshot_.groupCount() == snapshot_.groups.size(); }
    quint64 resultSetId() const { return snapshot_.resultSetId; }
    // What a run's progress counts up to: every shown group's files but one.
    qint64 progressMaximum() const { return progressMaximum_; }
    // The groups taken so far; the taker is spent.
    AutoMarkSnapshot release() { return std::move(snapshot_); }

private:
    AutoMarkSnapshot snapshot_;
    Marks marks_ = Marks::keep;
    qint64 progressMaximum_ = 0;
};

// The outcome of one run, for the GUI thread to apply. It keeps the snapshot
// its indices refer to; drop both off the GUI thread.
struct AutoMarkPlan {
    quint64 generation = 0;
    quint64 resultSetId = 0;
    std::shared_ptr<const AutoMarkSnapshot> snapshot;
    // For each group the run got to (the first states.size() groups of the
    // snapshot, in shown order; a cancelled run stops short), laid out as the
    // snapshot's files: at firstFile[g] + k the index within the group of the
    // file shown k-th in the rules' order, and that file's GroupMarking flags.
    std::vector<std::uint32_t> order;
    std::vector<std::uint8_t> flags;
    // The check state of each group the run got to.
    std::vector<std::int8_t> states;
    qsizetype shownGroups = 0;
    qsizetype fullyProtectedGroups = 0;
    qint64 markedCount = 0;
    bool cancelled = false;

    std::size_t plannedGroups() const { return states.size(); }
    // Also true when no group is shown: there was nothing the run could mark.
    bool everyGroupProtected() const { return fullyProtectedGroups == shownGroups; }
};

// The worker: per group, the enabled rules from the least important to the
// most important, then protected files kept and, in a group without one, the
// first file in rule order kept; every other shown file is marked but a
// locked one, so no group ends fully marked and the count is of the marks
// the run sets. abort is read before each group; progress, when given,
// gets the marked count after each group (and must be cheap: store it, the
// GUI thread picks it up). Runs on any thread.
AutoMarkPlan autoMarkGroups(std::shared_ptr<const AutoMarkSnapshot> snapshot, const std::atomic<bool>& abort,
    const std::function<void(qint64 markedCount)>& progress = {});

// On the GUI thread, a slice at a time: the plan's orders and marks go onto
// the state group by group, and when every group is done the screen repaints
// them once (or rebuilds its rows when an order changed). A plan made for
// another result set changes nothing, also when the result set is replaced
// part way; a group no longer shown, or whose shown files are no longer those
// the run saw, is left as it is. The plan must outlive the application.
class AutoMarkApplication {
public:
    AutoMarkApplication(ResultsState& state, const AutoMarkPlan& plan);
    // Applies the next groups within budget; true when the application is
    // over.
    bool applySome(SliceBudget& budget);
    // The plan was for the result set shown, and it still is.
    bool applied() const { return applied_; }

private:
    ResultsState& state_;
    const AutoMarkPlan& plan_;
    std::size_t next_ = 0;
    bool applied_ = false;
    bool marksChanged_ = false;
    bool orderChanged_ = false;
    // Every group applied stood in its place among the shown groups; then
    // the positions of those whose files took a new order.
    bool movedInPlace_ = true;
    std::vector<std::size_t> movedGroups_;
};

// The whole plan at once; false when it was made for another result set.
bool applyAutoMarkPlan(ResultsState& state, const AutoMarkPlan& plan);
