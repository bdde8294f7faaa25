#pragma once

#include "core/DuplicateGroup.h"
#include "marking/ProtectedFolderMatcher.h"
#include "marking/SelectionRules.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

class ResultsState;

// Everything one automatic-marking run reads, copied from the results state on
// the GUI thread when the run starts. The worker reads only this copy.
struct AutoMarkSnapshot {
    struct Group {
        DuplicateGroupPtr group;
        std::vector<RuleFile> files;
    };
    // Tells this run from any later one.
    quint64 generation = 0;
    quint64 resultSetId = 0;
    // The shown groups in shown order, each with its shown files.
    std::vector<Group> groups;
    QStringList enabledRules;
    SelectionPriorities priorities;
    std::optional<ProtectedFolderMatcher> protection;

    static AutoMarkSnapshot take(const ResultsState& state, const QVariant& storedRules, quint64 generation);
};

// The outcome of one run, for the GUI thread to apply: per group the shown
// files in the rules' order, which of them to mark and which are protected.
struct AutoMarkPlan {
    struct Group {
        DuplicateGroupPtr group;
        std::vector<FileInfoNodePtr> order;
        std::vector<bool> marks;
        std::vector<bool> isProtected;
        int state = 0;
    };
    quint64 generation = 0;
    quint64 resultSetId = 0;
    // The groups the run got to, in shown order; a cancelled run stops short.
    std::vector<Group> groups;
    qsizetype shownGroups = 0;
    qsizetype fullyProtectedGroups = 0;
    qint64 markedCount = 0;
    bool cancelled = false;

    // Also true when no group is shown: there was nothing the run could mark.
    bool everyGroupProtected() const { return fullyProtectedGroups == shownGroups; }
};

// The worker: per group, the enabled rules from the least important to the
// most important, then protected files kept and, in a group without one, the
// first file in rule order kept; every other shown file is marked, so no group
// ends fully marked. abort is read before each group; progress, when given,
// gets the marked count after each group (and must be cheap: store it, the
// GUI thread picks it up). Runs on any thread.
AutoMarkPlan autoMarkGroups(const AutoMarkSnapshot& snapshot, const std::atomic<bool>& abort,
    const std::function<void(qint64 markedCount)>& progress = {});

// On the GUI thread: the plan's orders and marks go onto the state, group by
// group, and the screen repaints them once (or rebuilds its rows when an
// order changed). A plan made
// for another result set changes nothing (false); a group no longer shown, or
// whose shown files are no longer those the run saw, is left as it is.
bool applyAutoMarkPlan(ResultsState& state, const AutoMarkPlan& plan);
