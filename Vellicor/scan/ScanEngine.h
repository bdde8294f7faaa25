#pragma once

#include "core/DuplicateGroup.h"
#include "core/FilePathNode.h"
#include "core/ScanSettingsSnapshot.h"
#include "scan/Comparison.h"
#include "scan/PathExclusionPredicate.h"
#include "scan/ScanCache.h"
#include "scan/ScanCounters.h"
#include "scan/ScanScreen.h"
#include "scan/ScanWrapper.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class UserDefaults;

// The scan engine: Scan Now's checks, the reset, the walk of this computer on
// one worker thread, the hash cache and the comparison, progress, Stop and the
// end of a scan. Display-free: it reaches the screen only through ScanScreen.
//
// Threads: the engine lives on the GUI thread. While a scan runs, the worker
// owns the scan state (arrFileNodes, arrMainGroup, the dictionaries) and the
// GUI thread reads only the atomic counters and the latest path; the state
// passes back to the GUI thread when the worker has ended. The worker never
// waits for the GUI thread, so joining it can never deadlock.
class ScanEngine : public QObject, public CloudScanSink {
    Q_OBJECT
public:
    ScanEngine(ScanScreen& screen, UserDefaults& defaults, QObject* parent = nullptr);
    ~ScanEngine() override;

    // ---- Location lists (GUI thread) -------------------------------------
    // The rows of the shown scan list, for every source.
    std::vector<FilePathNodePtr> arrPathNodesFinder;
    std::vector<FilePathNodePtr> arrExcludePathsFinder;
    std::vector<FilePathNodePtr> arrExcludePathsGDrive;
    std::vector<FilePathNodePtr> arrExcludePathsCloud;
    QHash<QString, QString> dictPathAdded;

    // ---- Scan state -------------------------------------------------------
    std::vector<FileInfoNodePtr> arrFileNodes;
    std::vector<FileInfoNodePtr> arrCloudScanFiles;
    std::vector<DuplicateGroupPtr> arrMainGroup;
    // Every path recorded in this scan, compared exactly.
    QHash<QString, QString> dictAllFilePath;
    ScanCounters counters;
    bool isPhotosScanned = false;
    std::optional<PathExclusionPredicate> predDirExclusion;
    std::optional<PathExclusionPredicate> predCloudDirExclusion;
    // The handler of the selected cloud source; not owned.
    ScanWrapper* scanWrapper = nullptr;
    DriveScanService* driveScanService = nullptr;
    int recusiveCount = 0;
    // Base of the comparison percentage; kept between scans.
    double prog = 0;

    // ---- Scan Now (GUI thread) ---------------------------------------------
    void btnStartScanTapped();
    bool isSearchOptionsEmpty() const;
    bool isAnyFileTypeSelected();
    void resetAllVariableOnStartScanning();
    void loadFileSizeLimits();
    void buildDirExclusionPredicate();
    void buildCloudDirExclusionPredicate();

    // ---- The walk (worker thread) ----------------------------------------
    void parseAllPath();
    void scanPath(const QString& path, const FilePathNode& row);
    void scanDirectory(const QString& path, const FilePathNode& row);
    void addScannedFile(const QString& path);
    // Leaves the package's digest (see packageDigest) in record.md5.
    void md5OfPackageContents(const QString& path, FileInfoNode& record);

    // ---- Cache and comparison (worker thread) ----------------------------
    void recordScannedFilesInCache();
    void loadHashCache();
    void saveHashesToCacheDatabase(const std::vector<FileInfoNodePtr>& records);
    void findDuplicatesAndFinishScan();
    void searchDuplicateLocalFiles();

    // ---- Cloud listings ----------------------------------------------------
    void addCloudScanFile(const FileInfoNodePtr& record) override;
    void OnScanCompletedProcess() override;
    void startCloudListing();

    // ---- Progress, Stop, end of scan (GUI thread) -------------------------
    void updateFileScannedCountAndSize_MainThread();
    void showButtonToShowDetailResult(bool isScanning, bool hideResultViewButton);
    void handleScanFinished();
    void showResultDetail();
    void abortScanning();
    void confirmStopScanning();
    void refreshLastScanStatus();
    // Asks before the program quits: refused, with an alert, while a scan runs.
    bool canQuit();

    const ScanningLabels& scanningLabels() const { return labels_; }

    // The pauses of the end of a scan, in milliseconds (3000 and 1000); tests
    // shorten them.
    void setEndOfScanPauses(int finishMs, int resultsMs);

signals:
    // The result set has been handed to the screen, or the no-duplicates
    // notice has been answered: the scan is over.
    void scanEnded();

private:
    class ComparisonReports;

    void startWorker();
    void dropRecordsInsidePackages();
    void joinWorker();
    void dispatchDriveQueries();
    void dispatchCloudHandler();
    void findDuplicatesInCloudDrives();
    void postEndOfScan();
    void requestRefresh();
    void setLatestPath(const QString& path);
    void refreshTick();
    void showResultsAfterPause();
    void showLastScanRecord(const QVariantList& history);
    QString spaceToFreeText() const;

    ScanScreen& screen_;
    UserDefaults& defaults_;

    // Copied on the GUI thread at scan start; read by the worker.
    ScanSource source_ = ScanSource::thisComputer;
    ScanSettingsSnapshot snapshot_;
    std::vector<FilePathNode> scanRows_;
    // Copies of the exclude rows, so the GUI may edit its list meanwhile.
    std::vector<FilePathNodePtr> excludeRows_;
    ComparisonSettings comparisonSettings_;
    // The digest cache of the running scan; made and dropped on the worker.
    std::unique_ptr<ScanCache> scanCache_;

    // Identities met in this scan: files recorded, and folders walked (with
    // whether their sub-folders were walked too).
    QSet<QPair<quint64, quint64>> recordedFiles_;
    QHash<QPair<quint64, quint64>, bool> walkedFolders_;

    std::thread worker_;
    std::atomic<qint64> recordCount_ { 0 };
    std::atomic<bool> refreshWanted_ { false };
    std::mutex pathMutex_;
    QString latestPath_;
    bool latestPathShown_ = true;
    QTimer refreshTimer_;

    ScanningLabels labels_;
    int finishPauseMs_ = 3000;
    int resultsPauseMs_ = 1000;
};
