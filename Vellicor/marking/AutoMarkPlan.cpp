#include "marking/AutoMarkPlan.h"

#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "marking/StableSort.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

AutoMarkSnapshotTaker::AutoMarkSnapshotTaker(
    const ResultsState& state, const QVariant& storedRules, quint64 generation, Marks marks)
    : marks_(marks)
{
    snapshot_.generation = generation;
    snapshot_.resultSetId = state.resultSetId();
    snapshot_.enabledRules = enabledSelectionRules(storedRules);
    snapshot_.priorities = { state.fileFormatPriorityList, state.folderPriorityList, state.isFolderPriorityUpdate };
    snapshot_.protection = state.protectionForPass();
    snapshot_.firstFile.reserve(state.arrGroups.size() + 1);
    // Room for every shown file at once: grown by doubling, the handles of a
    // million files would stand twice in memory at the last growth. One pass
    // over the groups, whose records lie apart in memory, for all three.
    std::size_t fileCount = 0;
    snapshot_.groups.reserve(state.arrGroups.size());
    for (const DuplicateGroupPtr& group : state.arrGroups) {
        snapshot_.groups.push_back(group);
        fileCount += group->filterChildren.size();
        progressMaximum_ += std::max<qint64>(static_cast<qint64>(group->children.size()) - 1, 0);
    }
    snapshot_.files.reserve(fileCount);
    snapshot_.removed.reserve(fileCount);
    snapshot_.locked.reserve(fileCount);
}

bool AutoMarkSnapshotTaker::takeSome(SliceBudget& budget)
{
    while (!isComplete()) {
        const DuplicateGroupPtr& group = snapshot_.groups[snapshot_.groupCount()];
        if (marks_ == Marks::clear)
            ResultsState::clearGroupMarks(*group);
        for (const FileInfoNodePtr& file : group->filterChildren) {
            if (file) {
                snapshot_.files.push_back(file);
                snapshot_.removed.push_back(file->isMoveToTrash);
                snapshot_.locked.push_back(file->isLocked);
            }
        }
        snapshot_.firstFile.push_back(static_cast<std::uint32_t>(snapshot_.files.size()));
        if (budget.spent())
            break;
    }
    return isComplete();
}

AutoMarkSnapshot AutoMarkSnapshot::take(const ResultsState& state, const QVariant& storedRules, quint64 generation)
{
    AutoMarkSnapshotTaker taker(state, storedRules, generation);
    SliceBudget all = SliceBudget::unlimited();
    taker.takeSome(all);
    return taker.release();
}

namespace {

// Plans group g of the snapshot into the plan's slots for it.
void planGroup(const AutoMarkSnapshot& snapshot, std::size_t g, AutoMarkPlan& plan)
{
    const std::uint32_t first = snapshot.firstFile[g];
    const std::uint32_t count = snapshot.firstFile[g + 1] - first;
    std::vector<RuleFile> files;
    files.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
        files.push_back({ snapshot.files[first + i].get(), i, snapshot.removed[first + i] });
    for (auto rule = snapshot.enabledRules.crbegin(); rule != snapshot.enabledRules.crend(); ++rule)
        files = applySelectionRule(std::move(files), *rule, snapshot.priorities);

    std::vector<bool> isProtected(count);
    for (std::uint32_t k = 0; k < count; ++k)
        isProtected[k] = snapshot.protection && snapshot.protection->matches(files[k].node->folderPath);

    // Protected files first, the others in rule order behind them; the shown
    // order stays the rules' order.
    std::vector<std::uint32_t> choosing(count);
    std::iota(choosing.begin(), choosing.end(), 0);
    stableMergeSort(choosing, [&](std::uint32_t a, std::uint32_t b) { return isProtected[a] && !isProtected[b]; });

    // A file the rules would mark stays unmarked when the user locked it;
    // the group's state then follows the marks it is left with.
    std::vector<bool> marks(count);
    qsizetype live = 0;
    qsizetype protectedCount = 0;
    qsizetype chosen = 0;
    qsizetype marked = 0;
    for (const std::uint32_t k : choosing) {
        if (files[k].removed)
            continue;
        ++live;
        if (isProtected[k]) {
            ++protectedCount;
        } else if (live > 1 || protectedCount > 0) {
            ++chosen;
            marks[k] = !snapshot.locked[first + files[k].index];
            marked += marks[k] ? 1 : 0;
        }
    }
    for (std::uint32_t k = 0; k < count; ++k) {
        plan.order[first + k] = files[k].index;
        plan.flags[first + k] = static_cast<std::uint8_t>(
            (marks[k] ? GroupMarking::mark : 0) | (isProtected[k] ? GroupMarking::isProtected : 0));
    }
    plan.markedCount += marked;
    std::int8_t state = 0;
    if (chosen == live - 1) {
        state = 1;
    } else if (protectedCount > 0 && chosen > 0) {
        state = -1;
    } else {
        ++plan.fullyProtectedGroups;
    }
    if (marked != chosen)
        state = ResultsState::groupMarkStateOf(marked, live - marked, count);
    plan.states.push_back(state);
}

} // namespace

AutoMarkPlan autoMarkGroups(std::shared_ptr<const AutoMarkSnapshot> snapshot, const std::atomic<bool>& abort,
    const std::function<void(qint64 markedCount)>& progress)
{
    AutoMarkPlan plan;
    plan.generation = snapshot->generation;
    plan.resultSetId = snapshot->resultSetId;
    plan.shownGroups = static_cast<qsizetype>(snapshot->groups.size());
    plan.order.resize(snapshot->files.size());
    plan.flags.resize(snapshot->files.size());
    plan.states.reserve(snapshot->groupCount());
    // A snapshot cut short (the run was cancelled while it was taken) plans
    // as a run cancelled after its last group.
    plan.cancelled = snapshot->groupCount() < snapshot->groups.size();
    for (std::size_t g = 0; g < snapshot->groupCount(); ++g) {
        if (abort.load()) {
            plan.cancelled = true;
            break;
        }
        planGroup(*snapshot, g, plan);
        if (progress)
            progress(plan.markedCount);
    }
    plan.snapshot = std::move(snapshot);
    return plan;
}

AutoMarkApplication::AutoMarkApplication(ResultsState& state, const AutoMarkPlan& plan)
    : state_(state)
    , plan_(plan)
{
}

bool AutoMarkApplication::applySome(SliceBudget& budget)
{
    applied_ = plan_.snapshot && plan_.resultSetId == state_.resultSetId();
    if (!applied_)
        return true;
    const AutoMarkSnapshot& snapshot = *plan_.snapshot;
    // A group is nearly always still shown where the run saw it; only when
    // one is not is a set of the shown groups needed.
    std::optional<std::unordered_set<const DuplicateGroup*>> shown;
    const auto isShown = [&](std::size_t g) {
        const DuplicateGroupPtr& group = snapshot.groups[g];
        if (g < state_.arrGroups.size() && state_.arrGroups[g] == group)
            return true;
        movedInPlace_ = false;
        if (!shown) {
            shown.emplace();
            for (const DuplicateGroupPtr& each : state_.arrGroups)
                shown->insert(each.get());
        }
        return shown->contains(group.get());
    };
    const std::span<const FileInfoNodePtr> files(snapshot.files);
    const std::span<const std::uint32_t> order(plan_.order);
    const std::span<const std::uint8_t> flags(plan_.flags);
    while (next_ < plan_.plannedGroups()) {
        const std::size_t g = next_++;
        if (isShown(g)) {
            const std::uint32_t first = snapshot.firstFile[g];
            const std::uint32_t count = snapshot.firstFile[g + 1] - first;
            const GroupMarking marking { files.subspan(first, count), order.subspan(first, count),
                flags.subspan(first, count), plan_.states[g] };
            switch (state_.setGroupMarks(snapshot.groups[g], marking)) {
            case GroupMarksOutcome::orderChanged:
                orderChanged_ = true;
                movedGroups_.push_back(g);
                if (MarkingObserver* observer = state_.observer(); observer && movedInPlace_)
                    observer->groupFilesReordered(g);
                break;
            case GroupMarksOutcome::marksChanged:
                marksChanged_ = true;
                break;
            case GroupMarksOutcome::unchanged:
            case GroupMarksOutcome::stale:
                break;
            }
        }
        if (budget.spent())
            break;
    }
    if (next_ < plan_.plannedGroups())
        return false;
    // A new order moves list rows, so the rows are rebuilt: only the groups
    // whose files moved are read again when every group was found in its
    // place. Otherwise the views repaint the marks once, however many groups
    // changed.
    if (orderChanged_ && movedInPlace_) {
        state_.showFilesMovedInGroups(std::move(movedGroups_));
    } else if (MarkingObserver* observer = state_.observer()) {
        if (orderChanged_)
            observer->shownGroupsChanged();
        else if (marksChanged_)
            observer->allMarksChanged();
    }
    state_.updateMarkedCountLabel();
    return true;
}

bool applyAutoMarkPlan(ResultsState& state, const AutoMarkPlan& plan)
{
    AutoMarkApplication application(state, plan);
    SliceBudget all = SliceBudget::unlimited();
    application.applySome(all);
    return application.applied();
}
