#include "marking/AutoMarkPlan.h"

#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "marking/StableSort.h"

#include <numeric>
#include <unordered_set>

AutoMarkSnapshot AutoMarkSnapshot::take(const ResultsState& state, const QVariant& storedRules, quint64 generation)
{
    AutoMarkSnapshot snapshot;
    snapshot.generation = generation;
    snapshot.resultSetId = state.resultSetId();
    snapshot.enabledRules = enabledSelectionRules(storedRules);
    snapshot.priorities = { state.fileFormatPriorityList, state.folderPriorityList, state.isFolderPriorityUpdate };
    snapshot.protection = state.protectionForPass();
    for (const DuplicateGroupPtr& group : state.arrGroups) {
        Group copy { group, {} };
        for (const FileInfoNodePtr& file : group->filterChildren) {
            if (file)
                copy.files.push_back(RuleFile::of(*file, file));
        }
        snapshot.groups.push_back(std::move(copy));
    }
    return snapshot;
}

namespace {

AutoMarkPlan::Group planGroup(const AutoMarkSnapshot& snapshot, const AutoMarkSnapshot::Group& shown,
    qint64& markedCount, qsizetype& fullyProtected)
{
    std::vector<RuleFile> files = shown.files;
    for (auto rule = snapshot.enabledRules.crbegin(); rule != snapshot.enabledRules.crend(); ++rule)
        files = applySelectionRule(std::move(files), *rule, snapshot.priorities);

    AutoMarkPlan::Group plan { shown.group, {}, std::vector<bool>(files.size()), std::vector<bool>(files.size()), 0 };
    for (std::size_t i = 0; i < files.size(); ++i) {
        plan.order.push_back(files[i].node);
        plan.isProtected[i] = snapshot.protection && snapshot.protection->matches(files[i].folderPath);
    }

    // Protected files first, the others in rule order behind them; the shown
    // order stays the rules' order.
    std::vector<std::size_t> choosing(files.size());
    std::iota(choosing.begin(), choosing.end(), 0);
    stableMergeSort(
        choosing, [&](std::size_t a, std::size_t b) { return plan.isProtected[a] && !plan.isProtected[b]; });

    qsizetype live = 0;
    qsizetype protectedCount = 0;
    qsizetype marked = 0;
    for (const std::size_t i : choosing) {
        if (files[i].removed)
            continue;
        ++live;
        if (plan.isProtected[i]) {
            ++protectedCount;
        } else if (live > 1 || protectedCount > 0) {
            plan.marks[i] = true;
            ++marked;
        }
    }
    markedCount += marked;
    if (marked == live - 1) {
        plan.state = 1;
    } else if (protectedCount > 0 && marked > 0) {
        plan.state = -1;
    } else {
        ++fullyProtected;
        plan.state = 0;
    }
    return plan;
}

} // namespace

AutoMarkPlan autoMarkGroups(const AutoMarkSnapshot& snapshot, const std::atomic<bool>& abort,
    const std::function<void(qint64 markedCount)>& progress)
{
    AutoMarkPlan plan;
    plan.generation = snapshot.generation;
    plan.resultSetId = snapshot.resultSetId;
    plan.shownGroups = static_cast<qsizetype>(snapshot.groups.size());
    for (const AutoMarkSnapshot::Group& group : snapshot.groups) {
        if (abort.load()) {
            plan.cancelled = true;
            break;
        }
        plan.groups.push_back(planGroup(snapshot, group, plan.markedCount, plan.fullyProtectedGroups));
        if (progress)
            progress(plan.markedCount);
    }
    return plan;
}

bool applyAutoMarkPlan(ResultsState& state, const AutoMarkPlan& plan)
{
    if (plan.resultSetId != state.resultSetId())
        return false;
    const std::unordered_set<DuplicateGroupPtr> shown(state.arrGroups.begin(), state.arrGroups.end());
    bool marksChanged = false;
    bool orderChanged = false;
    for (const AutoMarkPlan::Group& group : plan.groups) {
        if (!shown.contains(group.group))
            continue;
        switch (state.setGroupMarks(group.group, group.order, group.marks, group.isProtected, group.state)) {
        case GroupMarksOutcome::orderChanged:
            orderChanged = true;
            break;
        case GroupMarksOutcome::marksChanged:
            marksChanged = true;
            break;
        case GroupMarksOutcome::unchanged:
        case GroupMarksOutcome::stale:
            break;
        }
    }
    if (MarkingObserver* observer = state.observer()) {
        // A new order moves list rows, so the rows are rebuilt; otherwise the
        // views repaint the marks once, however many groups changed.
        if (orderChanged)
            observer->shownGroupsChanged();
        else if (marksChanged)
            observer->allMarksChanged();
    }
    state.updateMarkedCountLabel();
    return true;
}
