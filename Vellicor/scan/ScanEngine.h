#pragma once

#include "base/AlertPresenter.h"
#include "scan/DriveListing.h"
#include "scan/ScanJob.h"
#include "scan/ScanScreen.h"
#include "scan/ScanWrapper.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class ScanSources;
class UserDefaults;

// The scan's face on the home screen: Scan Now's checks, the reset and the
// dispatch to the source's listing, progress, Stop, the end of a scan and its
// one hand-over of the results. Display-free: it reaches the screen only
// through ScanScreen and the alert presenter.
//
// Threads: the engine lives on the GUI thread and every method here is called
// there. The work of a scan happens in its ScanJob, on one worker thread (this
// computer, cloud handlers) or in the Drive answers; the engine reads only the
// job's progress values until the job has finished, and then hands the job's
// result to the screen exactly once.
class ScanEngine : public QObject {
    Q_OBJECT
public:
    // The engine reads the sources' lists and handlers only at Scan Now, into
    // the scan's request; both outlive it.
    ScanEngine(ScanScreen& screen, UserDefaults& defaults, ScanSources& sources, QObject* parent = nullptr);
    ~ScanEngine() override;

    // ---- Scan Now ----------------------------------------------------------
    void btnStartScanTapped();
    bool isSearchOptionsEmpty() const;
    bool isAnyFileTypeSelected();
    void resetAllVariableOnStartScanning();
    // The answer to one Google Drive files-list query, on the GUI thread.
    void processAllFetchGoogleDriveFiles(const QString& folderId, bool isIncludeSubFolders, const DriveFilesPage& page);
    // What the newest scan reads, fixed at its Scan Now; none before the first.
    const ScanRequest* currentRequest() const { return job_ ? &job_->request : nullptr; }
    // Google Drive queries of the running scan sent and not yet answered.
    int pendingDriveQueries() const { return driveListing_.pendingQueries(); }

    // ---- Progress, Stop, end of scan ---------------------------------------
    void updateFileScannedCountAndSize_MainThread();
    void showButtonToShowDetailResult(bool isScanning, bool hideResultViewButton);
    void abortScanning();
    void confirmStopScanning();
    void refreshLastScanStatus();
    // Shows the groups kept from an earlier run as a result set.
    void loadLastScanResult();
    // Asks before the program quits: refused, with an alert, while a scan runs.
    // Asked again while that alert is open, it refuses without a second one;
    // the end of the scan takes the alert back.
    bool canQuit();
    // The quit road of a signal, which cannot be refused: a running scan stops
    // after its current file, without the Stop question; its end then comes
    // through the event loop like any stopped scan's.
    void stopForQuit();
    // A scan has started and its end has not reached this thread yet.
    bool isScanUnderWay() const { return isScanRunning; }
    // A scan runs, or one has ended and not yet handed its results over (its
    // finishing pause): Scan Now starts nothing then, and the screen keeps
    // the button off until the hand-over is done.
    bool isBusy() const { return isScanRunning || !finishing_.empty(); }
    // Writes now the history record of every scan still in its finishing
    // pause, so a quit in those seconds loses none; the hand-over later writes
    // no second one. The engine's end does the same.
    void recordFinishingScans();
    // The user went back to the home view while scans were in their finishing
    // pause: their records and the last-scan box still come, the results
    // screen does not.
    void leaveFinishingScans();

    const ScanningLabels& scanningLabels() const { return labels_; }

    // The pauses of the end of a scan, in milliseconds (3000 and 1000); tests
    // shorten them.
    void setEndOfScanPauses(int finishMs, int resultsMs);

    // Asks for the sign-in of the chosen cloud source, then runs then once it
    // has succeeded. Scan Now of a service that is not signed in (never, or
    // no longer: its sign-in was refused) asks through it and scans after.
    using SignInAsker = std::function<void(std::function<void()> then)>;
    void setSignInAsker(SignInAsker ask) { askSignIn_ = std::move(ask); }

signals:
    // A scan is over: its result has been handed to the screen, or the
    // no-duplicates notice has been answered. Once per scan.
    void scanEnded(const ScanResultPtr& result);

private:
    using JobPtr = std::shared_ptr<ScanJob>;

    JobPtr makeJob();
    void joinWorker();
    // The listing of job's cloud source, once what the last scan held is
    // gone; nothing when job is no longer the running one.
    void startListing(const JobPtr& job);
    void dispatchCloudHandler();
    // The request's cloud folders go to the handler's listing, on the worker.
    void startCloudListing();
    void postEndOfScan(const JobPtr& job);
    void refreshTick();
    void showFullProgress();
    void handleScanFinished(const JobPtr& job);
    void showResultsAfterPause(const JobPtr& job);
    void showResultDetail(const ScanResultPtr& result);
    void showNoDuplicatesNotice(const ScanResultPtr& result);
    void tellWhatWasLeftOut(const ScanJob& job);
    // A notice that waits for its answer before the next question.
    void showNotice(const AlertRequest& notice);
    // Runs an engine question now, or after the one that is open.
    void askWhenFree(std::function<void()> ask);
    void askPending();
    void stopScan();
    void showLastScanRecord(const QVariantList& history);

    ScanScreen& screen_;
    UserDefaults& defaults_;
    ScanSources& sources_;
    // The Drive listing of the running scan.
    DriveListing driveListing_;
    // Base of the comparison percentage; kept between scans.
    double prog_ = 0;

    // The scan whose progress is shown; the newest one.
    JobPtr job_;
    std::thread worker_;
    QTimer refreshTimer_;

    // The scan between its end and its hand-over: one at most, since Scan
    // Now starts nothing while there is one.
    struct Finishing {
        JobPtr job;
        bool recorded = false;
        bool stayHome = false;
    };
    std::vector<Finishing> finishing_;
    // The history record of a scan, once, whoever asks first.
    void recordHistory(Finishing& entry);
    // Ends a scan's finishing pause: its record is written unless it was,
    // and its entry is taken from finishing_.
    Finishing endFinishing(const JobPtr& job);

    ScanningLabels labels_;
    int finishPauseMs_ = 3000;
    int resultsPauseMs_ = 1000;
    // One question of the engine's at a time: Stop's, or a notice, which waits
    // in pendingNotice_ while another is open. Stop's goes at the end of the
    // scan (ScanAlerts), as the quit refusal does.
    bool questionOpen_ = false;
    std::function<void()> pendingNotice_;
    bool quitAlertOpen_ = false;
    SignInAsker askSignIn_;
};
