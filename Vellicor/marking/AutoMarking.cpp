#include "marking/AutoMarking.h"

#include "base/AlertPresenter.h"
#include "base/ReleaseElsewhere.h"
#include "base/UserDefaults.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/ResultsState.h"
#include "marking/SelectAssistanceController.h"

#include <QPointer>
#include <QTimer>

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

QString markedCountText(qint64 count)
{
    return formatText(
        localizedText(key(count == 1 ? "ID_COUNT_PHOTO_AUTOMARKED" : "ID_COUNT_PHOTOS_AUTOMARKED")), { count });
}

class TimerDelayedCalls : public DelayedCalls {
public:
    void after(std::chrono::milliseconds delay, QObject* context, std::function<void()> work) override
    {
        QTimer::singleShot(delay, context, std::move(work));
    }
};

constexpr std::chrono::milliseconds progressSheetLinger { 2000 };

} // namespace

std::shared_ptr<DelayedCalls> timerDelayedCalls()
{
    static const auto calls = std::make_shared<TimerDelayedCalls>();
    return calls;
}

AutoMarking::AutoMarking(ResultsState& state, UserDefaults& defaults, AutoMarkSheets& sheets, QObject* parent)
    : QObject(parent)
    , state_(state)
    , defaults_(defaults)
    , sheets_(sheets)
    , delayedCalls_(timerDelayedCalls())
{
    // One run at a time does the work; a cancelled one may still be ending.
    workers_.setMaxThreadCount(2);
    progressTimer_.setInterval(50);
    connect(&progressTimer_, &QTimer::timeout, this, &AutoMarking::showAutoMarkingProgress);
}

AutoMarking::~AutoMarking()
{
    if (bAbortAutoMark_)
        bAbortAutoMark_->store(true);
    snapshotSlices_.stop();
    applySlices_.stop();
    workers_.waitForDone();
}

void AutoMarking::btnAutoMarkTapped()
{
    if (saidNothingToMark())
        return;
    if (defaults_.boolValue(key(SettingsKey::doNotShowAutoMarkDialog)).value_or(false)) {
        proceedToautoMarkAllitems();
        return;
    }
    sheets_.showConfirmation();
}

void AutoMarking::continueAutoMark(bool doNotShowAgain)
{
    if (doNotShowAgain)
        defaults_.setValue(key(SettingsKey::doNotShowAutoMarkDialog), true);
    sheets_.closeConfirmation();
    proceedToautoMarkAllitems();
}

void AutoMarking::cancelAutoMark()
{
    sheets_.closeConfirmation();
}

void AutoMarking::btnMarkMenuItemTapped()
{
    proceedToautoMarkAllitems();
}

void AutoMarking::setSelectionController(SelectAssistanceController* controller)
{
    selectionController_ = controller;
}

void AutoMarking::btnSelectAssistanceTapped()
{
    if (selectionController_ && !running_)
        selectionController_->openSheet();
}

void AutoMarking::proceedToautoMarkAllitems()
{
    // The progress sheet covers the window while a run goes; a request that
    // still gets through (a menu shortcut) must not start a second worker.
    if (running_ || saidNothingToMark())
        return;
    running_ = true;
    // The marks of a run still being applied, or of a pass over the groups
    // still going, are the starting point.
    state_.finishBulkMarks();
    applySlices_.finishNow();
    marking_ = true;
    const quint64 generation = ++generation_;

    // The run starts from no marks: each group is unmarked as its snapshot is
    // taken, in slices from the event loop, and the views hear of it once the
    // last group is in. A run cancelled meanwhile still unmarks every group,
    // and its worker ends at once; a result set replaced meanwhile hands on
    // what was taken, which the plan then leaves alone.
    state_.startUnmarkingInParts();
    auto taker = std::make_shared<AutoMarkSnapshotTaker>(state_,
        defaults_.object(key(SettingsKey::autoMarkingRules)), generation, AutoMarkSnapshotTaker::Marks::clear);
    sheets_.showProgress(taker->progressMaximum());
    sheets_.setProgress(formatText(localizedText(key("ID_COUNT_PHOTOS_AUTOMARKED")), { 0 }), 0);
    bAbortAutoMark_ = std::make_shared<std::atomic<bool>>(false);
    markedSoFar_ = std::make_shared<std::atomic<qint64>>(0);
    progressTimer_.start();
    snapshotSlices_.start([this, taker, abort = bAbortAutoMark_, marked = markedSoFar_](SliceBudget& budget) mutable {
        const bool replaced = taker->resultSetId() != state_.resultSetId();
        if (!replaced && !taker->takeSome(budget))
            return false;
        if (!replaced)
            state_.endUnmarkingInParts();
        startWorker(std::make_shared<const AutoMarkSnapshot>(taker->release()), std::move(abort), std::move(marked));
        return true;
    });
}

bool AutoMarking::saidNothingToMark()
{
    // Neither the question nor a run over no files: the user hears why
    // nothing will be marked.
    if (state_.hasShownFiles())
        return false;
    ResultsState::showNothingToMarkAlert();
    return true;
}

void AutoMarking::startWorker(std::shared_ptr<const AutoMarkSnapshot> snapshot,
    std::shared_ptr<std::atomic<bool>> abort, std::shared_ptr<std::atomic<qint64>> marked)
{
    // The destructor waits for the worker, so this outlives the call the
    // worker posts; a posted call is dropped with it. The plan holds the
    // snapshot, and both go back to a worker to be freed
    // (releaseOffGuiThread).
    workers_.start(
        [this, snapshot = std::move(snapshot), abort = std::move(abort), marked = std::move(marked)]() mutable {
            auto plan = std::make_shared<AutoMarkPlan>(
                autoMarkGroups(std::move(snapshot), *abort, [&marked](qint64 count) { marked->store(count); }));
            QMetaObject::invokeMethod(
                this, [this, plan = std::move(plan)]() mutable { finishAutoMarking(std::move(plan)); },
                Qt::QueuedConnection);
        });
}

void AutoMarking::releaseOffGuiThread(std::shared_ptr<AutoMarkPlan> plan)
{
    // A million files' handles and orders take a while to free.
    workers_.start([plan = std::move(plan)]() mutable {
        plan.reset();
        // The snapshot's and the plan's blocks lie amid the records.
        giveFreedMemoryBack();
    });
}

void AutoMarking::showAutoMarkingProgress()
{
    if (!running_ || !markedSoFar_)
        return;
    const qint64 count = markedSoFar_->load();
    sheets_.setProgress(markedCountText(count), count);
}

void AutoMarking::finishAutoMarking(std::shared_ptr<AutoMarkPlan> made)
{
    if (made->generation != generation_) {
        releaseOffGuiThread(std::move(made));
        return;
    }
    // The sheet ends on the run's own count, unless the user cancelled it.
    if (running_)
        sheets_.setProgress(markedCountText(made->markedCount), made->markedCount);
    running_ = false;
    progressTimer_.stop();
    bAbortAutoMark_.reset();
    markedSoFar_.reset();
    auto application = std::make_shared<AutoMarkApplication>(state_, *made);
    applySlices_.start([this, made = std::move(made), application](SliceBudget& budget) mutable {
        if (!application->applySome(budget))
            return false;
        const bool everyGroupProtected = application->applied() && made->everyGroupProtected();
        const quint64 generation = made->generation;
        releaseOffGuiThread(std::move(made));
        endRun(generation, everyGroupProtected);
        return true;
    });
}

void AutoMarking::endRun(quint64 generation, bool everyGroupProtected)
{
    if (generation == generation_)
        marking_ = false;
    if (everyGroupProtected) {
        alertPresenter()->presentThen({ localizedText(key("ID_ALL_ITEMS_CANNOT_MARKED_THEY_ARE_PROTECTED")), QString(),
                                          { localizedText(key("ID_OK")) } },
            {});
    }
    emit autoMarkingFinished();
    delayedCalls_->after(progressSheetLinger, this, [this, generation] {
        if (generation == generation_ && !running_)
            sheets_.closeProgress();
    });
}

void AutoMarking::cancelBtnTappedAutoMarking()
{
    if (bAbortAutoMark_)
        bAbortAutoMark_->store(true);
    // The run is over for the user; its worker ends on its own and its plan
    // still applies unless a newer run has started by then.
    running_ = false;
    progressTimer_.stop();
    sheets_.closeProgress();
}

void AutoMarking::showScanCompleteSheet()
{
    if (state_.dupCount > 0)
        sheets_.showScanComplete(state_.duplicatesSummary());
}

void AutoMarking::btnCloseWindowScanCompleteTapped()
{
    sheets_.closeScanComplete();
    sheets_.closeConfirmation();
    emit closeOtherSheets();
}

void AutoMarking::continueAutoMarkAfterScanComplete()
{
    btnCloseWindowScanCompleteTapped();
    proceedToautoMarkAllitems();
}

void AutoMarking::waitForWorkers()
{
    snapshotSlices_.finishNow();
    workers_.waitForDone();
}
