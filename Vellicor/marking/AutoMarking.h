#pragma once

#include "marking/AutoMarkPlan.h"
#include "marking/ResultsSummary.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class ResultsState;
class SelectAssistanceController;
class UserDefaults;

// The three sheets of automatic marking as the screen shows them over the
// results window. Implemented by AutoMarkSheetWindows; tests put in a fake.
// Every call comes on the GUI thread; closing a sheet that is not open does
// nothing.
class AutoMarkSheets {
public:
    virtual ~AutoMarkSheets() = default;
    // windowAutoMark: its buttons answer continueAutoMark or cancelAutoMark.
    virtual void showConfirmation() = 0;
    virtual void closeConfirmation() = 0;
    // windowAutomarking with its bar from 0 to maximum; its Cancel answers
    // cancelBtnTappedAutoMarking.
    virtual void showProgress(qint64 maximum) = 0;
    virtual void setProgress(const QString& label, qint64 value) = 0;
    virtual void closeProgress() = 0;
    // windowScanComplete, its ring full, with the duplicates of summary; its buttons answer
    // btnCloseWindowScanCompleteTapped or continueAutoMarkAfterScanComplete.
    virtual void showScanComplete(const DuplicatesSummary& summary) = 0;
    virtual void closeScanComplete() = 0;
};

// Runs work after a delay on the GUI thread, unless context has gone by then.
// The standard one is a single-shot timer; tests use a clock they move by
// hand.
class DelayedCalls {
public:
    virtual ~DelayedCalls() = default;
    virtual void after(std::chrono::milliseconds delay, QObject* context, std::function<void()> work) = 0;
};
std::shared_ptr<DelayedCalls> timerDelayedCalls();

// Automatic marking of the shown groups, with the sheets that lead into a run
// and show it. The results screen owns one and sends it the actions below;
// GUI thread only. A run clears the marks of the shown files, takes a
// snapshot of the shown groups in slices, then a worker computes a plan from
// it and the GUI thread applies it; a worker frees both. Each run has
// its own generation and abort flag: a cancelled run still finishing can
// neither mark groups nor close the sheet of a newer run, and a new run never
// revives an old worker.
class AutoMarking : public QObject {
    Q_OBJECT
public:
    AutoMarking(ResultsState& state, UserDefaults& defaults, AutoMarkSheets& sheets, QObject* parent = nullptr);
    // Cancels a run still going and waits for its worker, which stops before
    // its next group.
    ~AutoMarking() override;

    void setDelayedCalls(std::shared_ptr<DelayedCalls> calls) { delayedCalls_ = std::move(calls); }

    // The results toolbar's auto-mark command: the confirmation sheet, or the
    // run at once when "doNotShowAutoMarkDialog" is set.
    void btnAutoMarkTapped();
    // The confirmation sheet's buttons. Its check box counts only when the
    // user goes on: then "doNotShowAutoMarkDialog" is stored.
    void continueAutoMark(bool doNotShowAgain = false);
    void cancelAutoMark();
    // A run without confirmation: the selection assistant's Mark button and
    // any other caller.
    void proceedToautoMarkAllitems();
    // The mark menu's auto-mark item.
    void btnMarkMenuItemTapped();
    // The results screen's selection-assistant command (and the mark menu's
    // auto-mark options item): opens the assistant's sheet, when one was made.
    void btnSelectAssistanceTapped();
    // The assistant registers itself when it is made.
    void setSelectionController(SelectAssistanceController* controller);
    // The progress sheet's Cancel: the sheet closes at once; the groups done
    // so far keep their marks, the others stay unmarked.
    void cancelBtnTappedAutoMarking();

    // The results loading calls it once per result set; nothing without
    // duplicates.
    void showScanCompleteSheet();
    // The scan-complete sheet's buttons: close every sheet of the results
    // screen, then, for the second, the run without confirmation.
    void btnCloseWindowScanCompleteTapped();
    void continueAutoMarkAfterScanComplete();

    // A run whose progress sheet is up and whose worker has not finished.
    bool isRunning() const { return running_; }
    // From a run's start until its plan has been applied, Cancel or not: the
    // marks and the files' order are changing meanwhile.
    bool isMarking() const { return marking_; }
    // The rest of a plan being applied, at once (a cancelled run's, which no
    // sheet covers), for a command that reads the marks next.
    void finishApplying() { applySlices_.finishNow(); }
    // Takes the rest of a snapshot at once and blocks until every worker has
    // ended; their plans still arrive through the event loop. For tests and
    // shutdown.
    void waitForWorkers();

signals:
    // Closing every sheet also closes the removal and undo sheets, which the
    // screen keeps.
    void closeOtherSheets();
    // A run's plan was applied (also after Cancel).
    void autoMarkingFinished();

private:
    // With no shown file, says that there is nothing to mark; true then.
    bool saidNothingToMark();
    void showAutoMarkingProgress();
    void startWorker(std::shared_ptr<const AutoMarkSnapshot> snapshot, std::shared_ptr<std::atomic<bool>> abort,
        std::shared_ptr<std::atomic<qint64>> marked);
    void finishAutoMarking(std::shared_ptr<AutoMarkPlan> plan);
    void releaseOffGuiThread(std::shared_ptr<AutoMarkPlan> plan);
    // After the plan was applied: the alert when nothing could be marked, the
    // signal and, two seconds on, the progress sheet closed.
    void endRun(quint64 generation, bool everyGroupProtected);

    ResultsState& state_;
    UserDefaults& defaults_;
    AutoMarkSheets& sheets_;
    std::shared_ptr<DelayedCalls> delayedCalls_;
    quint64 generation_ = 0;
    bool running_ = false;
    bool marking_ = false;
    // The current run's flag; each run gets a fresh one.
    std::shared_ptr<std::atomic<bool>> bAbortAutoMark_;
    // The current run's marked count as its worker last stored it, shown by
    // progressTimer_ at most twenty times a second however fast the groups go.
    std::shared_ptr<std::atomic<qint64>> markedSoFar_;
    QTimer progressTimer_;
    QPointer<SelectAssistanceController> selectionController_;
    // Takes the current run's snapshot a slice at a time.
    SlicedWork snapshotSlices_;
    // Applies the current run's plan a slice at a time.
    SlicedWork applySlices_;
    QThreadPool workers_;
};
