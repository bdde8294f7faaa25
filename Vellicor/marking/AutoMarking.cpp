#include "marking/AutoMarking.h"

#include "base/AlertPresenter.h"
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
    workers_.waitForDone();
}

void AutoMarking::btnAutoMarkTapped()
{
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
    if (running_)
        return;
    running_ = true;
    const quint64 generation = ++generation_;

    qint64 maximum = 0;
    for (const DuplicateGroupPtr& group : state_.arrGroups)
        maximum += std::max<qint64>(static_cast<qint64>(group->children.size()) - 1, 0);
    sheets_.showProgress(maximum);
    sheets_.setProgress(formatText(localizedText(key("ID_COUNT_PHOTOS_AUTOMARKED")), { 0 }), 0);

    state_.unmarkAllShownFiles();
    auto snapshot = std::make_shared<const AutoMarkSnapshot>(
        AutoMarkSnapshot::take(state_, defaults_.object(key(SettingsKey::autoMarkingRules)), generation));
    bAbortAutoMark_ = std::make_shared<std::atomic<bool>>(false);
    markedSoFar_ = std::make_shared<std::atomic<qint64>>(0);
    progressTimer_.start();

    // The destructor waits for the worker, so this outlives the call the
    // worker posts; a posted call is dropped with it.
    workers_.start([this, snapshot, abort = bAbortAutoMark_, marked = markedSoFar_] {
        auto plan = std::make_shared<const AutoMarkPlan>(
            autoMarkGroups(*snapshot, *abort, [&marked](qint64 count) { marked->store(count); }));
        QMetaObject::invokeMethod(
            this, [this, plan] { finishAutoMarking(*plan); }, Qt::QueuedConnection);
    });
}

void AutoMarking::showAutoMarkingProgress()
{
    if (!running_ || !markedSoFar_)
        return;
    const qint64 count = markedSoFar_->load();
    sheets_.setProgress(markedCountText(count), count);
}

void AutoMarking::finishAutoMarking(const AutoMarkPlan& plan)
{
    if (plan.generation != generation_)
        return;
    // The sheet ends on the run's own count, unless the user cancelled it.
    if (running_)
        sheets_.setProgress(markedCountText(plan.markedCount), plan.markedCount);
    running_ = false;
    progressTimer_.stop();
    bAbortAutoMark_.reset();
    markedSoFar_.reset();
    const bool applied = applyAutoMarkPlan(state_, plan);
    if (applied && plan.everyGroupProtected()) {
        alertPresenter()->presentThen({ localizedText(key("ID_ALL_ITEMS_CANNOT_MARKED_THEY_ARE_PROTECTED")), QString(),
                                          { localizedText(key("ID_OK")) } },
            {});
    }
    emit autoMarkingFinished();
    const quint64 generation = plan.generation;
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
    workers_.waitForDone();
}
