#include "cleanup/CleanupController.h"

#include "base/ReleaseElsewhere.h"
#include "base/UserDefaults.h"
#include "cleanup/CloudRemover.h"
#include "core/AppNotifier.h"
#include "core/Localization.h"
#include "core/PhotosNode.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/ResultsState.h"
#include "marking/ShownGroupsOrder.h"
#include "platform/FileRemover.h"
#include "platform/LeftFilesSweep.h"

#include <QThread>
#include <QThreadPool>

#include <chrono>
#include <future>
#include <unordered_set>

bool CleanupController::removalsCanBeUndone(ScanSource source) const
{
    return source == ScanSource::thisComputer || cloud_->canRestore(source);
}

bool CleanupController::offersUndo() const
{
    return !arrNodesToBeRestoredLocal_.empty() || removalsCanBeUndone(state_.resultSource());
}

void CleanupController::btnUndoTapped()
{
    if (isRemoving() || isUndoing() || !afterCleanScreen_ || !offersUndo())
        return;
    const auto count = static_cast<qint64>(arrNodesToBeRestoredLocal_.size());
    if (count == 0) {
        afterCleanScreen_->showActionCompleted(localizedText("ID_NO_ACTION_TO_UNDO"), {});
        return;
    }
    afterCleanScreen_->showUndoConfirmation(
        formatText(localizedText(count == 1 ? "ID_ACTION_TO_UNDO_ONE" : "ID_ACTION_TO_UNDO"), { count }),
        [this](bool yes) {
            if (yes)
                startUndo();
        });
}

void CleanupController::startUndo()
{
    if (isRemoving() || isUndoing() || workersEnded_)
        return;
    // Only the groups of files deleted outright are read here; the plan, and
    // what is left to undo afterwards, are made on the worker, which has the
    // list meanwhile.
    auto sources = std::make_shared<const UndoCopySources>(undoCopySources(arrNodesToBeRestoredLocal_));
    auto list = std::make_shared<std::vector<RemovedFile>>(std::move(arrNodesToBeRestoredLocal_));
    arrNodesToBeRestoredLocal_.clear();
    undoReport_ = UndoReport {};
    undoReport_.planned = static_cast<qint64>(list->size());
    emit undoRunningChanged(true);
    // What an undo that was ended left of its copies goes beside this one,
    // which neither waits for it nor meets its copies.
    sweepLeftRestoreCopiesAside();
    undoWorker_ = QThread::create(
        [relay = relay_, list = std::move(list), sources = std::move(sources), cloud = cloud_,
            abort = isAbortUndo_]() mutable {
            auto plan = std::make_unique<std::vector<PlannedRestore>>(makeUndoPlan(*list, *sources));
            auto outcomes = executeUndoPlan(*plan, *cloud, *abort);
            // The plan's copies go here, not on the GUI thread.
            plan.reset();
            sources.reset();
            std::unordered_set<const FileInfoNode*> restored;
            for (const RestoreOutcome& outcome : outcomes) {
                if (outcome.restored)
                    restored.insert(outcome.file.get());
            }
            std::vector<RemovedFile> left = std::move(*list);
            list.reset();
            std::erase_if(left, [&](const RemovedFile& entry) { return restored.contains(entry.file.get()); });
            relay->post([outcomes = std::move(outcomes), left = std::move(left)](CleanupController& self) mutable {
                self.finishUndo(std::move(outcomes), std::move(left));
            });
        });
    undoWorker_->start();
}

void CleanupController::finishUndo(std::vector<RestoreOutcome> outcomes, std::vector<RemovedFile> left)
{
    undoWorker_->wait();
    delete undoWorker_;
    undoWorker_ = nullptr;

    // The outcomes and the groups they come back to are each gone through
    // once, however many files came back.
    std::vector<const RestoreOutcome*> shown;
    for (const RestoreOutcome& outcome : outcomes) {
        if (!outcome.restored) {
            undoReport_.failed.push_back(outcome);
            continue;
        }
        ++undoReport_.restored;
        if (outcome.changed)
            undoReport_.changed.push_back(outcome);
        if (!outcome.notKept.isEmpty())
            undoReport_.notWhole.push_back(outcome);
        if (!outcome.copiedFrom.isEmpty())
            undoReport_.copied.push_back(outcome);
        // A file of an earlier result set is back on disk, but not in these
        // results.
        if (outcome.resultSetId != state_.resultSetId()) {
            ++undoReport_.restoredNotShown;
            continue;
        }
        shown.push_back(&outcome);
    }
    arrNodesToBeRestoredLocal_ = std::move(left);
    emit undoListChanged();
    report_.uniquePhotosReatined += returnRestoredFiles(state_, shown);
    releaseElsewhere(std::move(outcomes));
    if (shown.empty()) {
        endUndo();
        return;
    }
    // The one rebuild of the shown groups: every group, every file, sorted;
    // for a small result set the pass runs whole, here.
    state_.finishBulkMarks();
    rebuildingAfterUndo_ = true;
    SlicedWork::Step rebuild = undoRebuildPass();
    const bool marksChanging = marksChangingElsewhere_ && marksChangingElsewhere_();
    if (state_.arrMainGroup.size() < backgroundFrom_ && !marksChanging) {
        SliceBudget whole = SliceBudget::unlimited();
        rebuild(whole);
        return;
    }
    state_.startShownGroupsPass(std::move(rebuild));
}

SlicedWork::Step CleanupController::undoRebuildPass()
{
    // For a large result set the rebuild is a pass of the results state: a
    // command that changes marks or the shown groups finishes it first, and
    // a new result set drops it. In slices, every group shows all its files
    // again and is taken; then a worker sorts them and makes the rows and
    // the counts, which the pass waits for. Marks changing elsewhere (an
    // automatic marking) go first: its totals and order would be counted half
    // made. The undo counts as going until the pass has ended, or was dropped.
    struct Pass {
        CleanupController* self = nullptr;
        std::weak_ptr<int> alive;
        std::shared_ptr<AfterRemovalRebuild> rebuild;
        std::size_t next = 0;
        bool workerStarted = false;
        std::shared_ptr<std::promise<void>> ready = std::make_shared<std::promise<void>>();
        std::shared_future<void> done = ready->get_future().share();
        std::shared_ptr<bool> ended = std::make_shared<bool>(false);
        // Taken by whoever makes the rebuild: the worker when it starts, or
        // the GUI thread when it must have the outcome before then (a
        // command finishing the pass), or when the pass is dropped.
        std::shared_ptr<std::atomic<bool>> claimed = std::make_shared<std::atomic<bool>>(false);

        ~Pass()
        {
            // Dropped with no worker under way (none started, or one that
            // has not begun and now never will): nothing else will end the
            // undo. A worker under way ends it when it is done.
            if (*ended || alive.expired() || claimed->exchange(true))
                return;
            *ended = true;
            QMetaObject::invokeMethod(
                self,
                [self = self] {
                    self->rebuildingAfterUndo_ = false;
                    self->endUndo();
                },
                Qt::QueuedConnection);
        }
    };
    auto pass = std::make_shared<Pass>();
    pass->self = this;
    pass->alive = lifeToken_;
    pass->rebuild = std::make_shared<AfterRemovalRebuild>(rebuildOf(state_));
    pass->rebuild->main.reserve(state_.arrMainGroup.size());
    pass->rebuild->allShown = true;
    return [pass](SliceBudget& budget) {
        // A pass the state finishes after its controller has gone is over.
        if (pass->alive.expired())
            return true;
        CleanupController& self = *pass->self;
        // On the road out the pass ends where it is; nothing starts any more.
        if (self.workersEnded_) {
            *pass->ended = true;
            self.rebuildingAfterUndo_ = false;
            return true;
        }
        if (!pass->workerStarted && !budget.isUnlimited() && self.marksChangingElsewhere_
            && self.marksChangingElsewhere_()) {
            budget.rest();
            return false;
        }
        if (!pass->workerStarted) {
            const std::vector<DuplicateGroupPtr>& groups = self.state_.arrMainGroup;
            while (pass->next < groups.size()) {
                const DuplicateGroupPtr& group = groups[pass->next++];
                ShownGroupsOrder::showAllFiles(*group);
                pass->rebuild->main.push_back(group);
                if (budget.spent())
                    return false;
            }
            if (!budget.isUnlimited())
                self.startUndoRebuildWorker(pass->rebuild, pass->ready, pass->ended, pass->claimed);
            pass->workerStarted = true;
            if (!budget.isUnlimited()) {
                budget.rest();
                return false;
            }
        }
        if (budget.isUnlimited()) {
            // A worker still waiting for the pool is not waited for: its
            // job is done here.
            if (!pass->claimed->exchange(true)) {
                rebuildAfterRemoval(*pass->rebuild);
                pass->ready->set_value();
            }
            pass->done.wait();
        } else if (pass->done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            // The worker's end finishes the pass; until then it looks now
            // and then.
            budget.rest();
            return false;
        }
        *pass->ended = true;
        self.rebuildingAfterUndo_ = false;
        self.applyRebuildAfterUndo(*pass->rebuild);
        self.endUndo();
        return true;
    };
}

void CleanupController::startUndoRebuildWorker(std::shared_ptr<AfterRemovalRebuild> rebuild,
    std::shared_ptr<std::promise<void>> ready, std::shared_ptr<bool> ended, std::shared_ptr<std::atomic<bool>> claimed)
{
    QThreadPool::globalInstance()->start([relay = relay_, rebuild = std::move(rebuild), ready = std::move(ready),
                                             ended = std::move(ended), claimed = std::move(claimed)]() mutable {
        // Made on the GUI thread already, or no longer wanted.
        if (claimed->exchange(true))
            return;
        rebuildAfterRemoval(*rebuild);
        ready->set_value();
        relay->post([rebuild = std::move(rebuild), ended](CleanupController& self) mutable {
            // The pass takes the outcome, unless a new result set dropped it:
            // then the undo ends without it.
            if (!*ended)
                self.state_.finishBulkMarks();
            if (!*ended) {
                *ended = true;
                self.rebuildingAfterUndo_ = false;
                self.endUndo();
            }
            releaseElsewhere(std::move(rebuild));
        });
    });
}

void CleanupController::applyRebuildAfterUndo(AfterRemovalRebuild& rebuild)
{
    state_.selectedCategoryIndex = -1;
    if (state_.observer())
        state_.observer()->categoryChanged();
    if (!applyAfterRemoval(state_, rebuild))
        return;
    // The last scan's figures went down with the clean-up; they come back
    // with the files, or the home screen would report duplicates that are
    // gone.
    appendScanHistoryRecord(rebuild.duplicates, rebuild.duplicateBytes, defaults_);
    emit resultAreaChanged(ResultArea::listing, rebuild.shares);
    emit AppNotifier::instance().UpdateLastScanStatus();
}

void CleanupController::endUndo()
{
    emit undoRunningChanged(false);
    if (!afterCleanScreen_)
        return;
    const UndoCompletedTexts texts = undoCompletedTexts(undoReport_);
    afterCleanScreen_->showActionCompleted(texts.message, texts.details);
}
