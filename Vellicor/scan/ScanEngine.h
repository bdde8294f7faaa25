#pragma once

#include "core/CloudScanFoldersList.h"
#include "core/FilePathNode.h"
#include "core/GDFoldersList.h"
#include "scan/PathExclusionPredicate.h"
#include "scan/ScanJob.h"
#include "scan/ScanScreen.h"
#include "scan/ScanWrapper.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

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
    ScanEngine(ScanScreen& screen, UserDefaults& defaults, QObject* parent = nullptr);
    ~ScanEngine() override;

    // ---- Location lists and sources (GUI thread) ---------------------------
    // The rows of the shown scan list, for every source.
    std::vector<FilePathNodePtr> arrPathNodesFinder;
    std::vector<FilePathNodePtr> arrExcludePathsFinder;
    std::vector<FilePathNodePtr> arrExcludePathsGDrive;
    std::vector<FilePathNodePtr> arrExcludePathsCloud;
    QHash<QString, QString> dictPathAdded;
    std::optional<PathExclusionPredicate> predCloudDirExclusion;
    // The handler of the selected cloud source; not owned.
    ScanWrapper* scanWrapper = nullptr;
    // The root of the handler's folder tree, made afresh after a cloud removal.
    CloudScanFoldersListPtr cloudRootObj;
    int counterParsedInCloudNode = 0;
    bool isFetchedFileFromServerWhileScanning = false;
    // Google Drive: the listing service (not owned), the id of "My Drive", the
    // folders met, and the queries sent and not yet answered.
    DriveScanService* driveScanService = nullptr;
    QString rootDriveFolderId;
    QHash<QString, std::shared_ptr<GDFoldersList>> dictGDrive;
    int recusiveCount = 0;
    // Base of the comparison percentage; kept between scans.
    double prog = 0;

    // ---- Scan Now ----------------------------------------------------------
    void btnStartScanTapped();
    bool isSearchOptionsEmpty() const;
    bool isAnyFileTypeSelected();
    void resetAllVariableOnStartScanning();
    void buildCloudDirExclusionPredicate();
    // The checked cloud folders go to the handler's listing, on the worker.
    void startCloudListing();
    // The answer to one Google Drive files-list query, on the GUI thread.
    void processAllFetchGoogleDriveFiles(const QString& folderId, bool isIncludeSubFolders, const DriveFilesPage& page);

    // ---- Progress, Stop, end of scan ---------------------------------------
    void updateFileScannedCountAndSize_MainThread();
    void showButtonToShowDetailResult(bool isScanning, bool hideResultViewButton);
    void abortScanning();
    void confirmStopScanning();
    void refreshLastScanStatus();
    // Shows the groups kept from an earlier run as a result set.
    void loadLastScanResult();
    // Asks before the program quits: refused, with an alert, while a scan runs.
    // Asked again while that alert is open, it refuses without a second one.
    bool canQuit();

    const ScanningLabels& scanningLabels() const { return labels_; }

    // The pauses of the end of a scan, in milliseconds (3000 and 1000); tests
    // shorten them.
    void setEndOfScanPauses(int finishMs, int resultsMs);

signals:
    // A scan is over: its result has been handed to the screen, or the
    // no-duplicates notice has been answered. Once per scan.
    void scanEnded(const ScanResultPtr& result);

private:
    using JobPtr = std::shared_ptr<ScanJob>;

    JobPtr makeJob();
    void joinWorker();
    void dispatchDriveQueries();
    void sendDriveQuery(const QString& folderId, bool isIncludeSubFolders, const std::optional<QString>& pageToken);
    void dispatchCloudHandler();
    void postEndOfScan(const JobPtr& job);
    void refreshTick();
    void showFullProgress();
    void handleScanFinished(const JobPtr& job);
    void showResultsAfterPause(const JobPtr& job);
    void showResultDetail(const ScanResultPtr& result);
    void showNoDuplicatesNotice(const ScanResultPtr& result);
    void showIncompleteListingNotice();
    // Runs an engine question now, or after the one that is open.
    void askWhenFree(std::function<void()> ask);
    void askPending();
    void stopScan();
    void showLastScanRecord(const QVariantList& history);

    ScanScreen& screen_;
    UserDefaults& defaults_;

    // The scan whose progress is shown; the newest one.
    JobPtr job_;
    std::thread worker_;
    QTimer refreshTimer_;

    ScanningLabels labels_;
    int finishPauseMs_ = 3000;
    int resultsPauseMs_ = 1000;
    // One question of the engine's at a time: Stop's, or a notice, which waits
    // in pendingNotice_ while another is open.
    bool questionOpen_ = false;
    std::function<void()> pendingNotice_;
    bool quitAlertOpen_ = false;
};
