#pragma once

#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "scan/ScanCounters.h"
#include "scan/ScanRequest.h"
#include "scan/ScanScreen.h"
#include "scan/RecordIndexTable.h"
#include "scan/ScanWrapper.h"
#include "scan/ScannedFiles.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The working state of one scan: its records, groups and counters, and the
// steps that fill them. Made at Scan Now and owned by the engine through a
// shared pointer, so a hand-over still pending from a finished scan keeps its
// own job while a new scan works in a new one.
//
// Threads: while the scan runs, the worker (or the cloud listing) alone writes
// the records and groups; the GUI thread reads only the atomics and the latest
// path, which travels under a lock. When the work is over, finished() is called
// once, from the working thread; from then on the GUI thread alone reads the
// job, through result().
class ScanCache;

class ScanJob : public CloudScanSink, public std::enable_shared_from_this<ScanJob> {
public:
    // finished is called once, from the thread the work ends on.
    using Finished = std::function<void(ScanJob&)>;
    // scanWrapper: the handler whose walk lists the source, none for this
    // computer and Google Drive (listed by the engine); signedInSource: the
    // source's handler whose sign-in the listing uses (scanWrapper when none
    // is given).
    ScanJob(
        ScanRequest request, ScanWrapper* scanWrapper, Finished finished, const ScanWrapper* signedInSource = nullptr);

    const ScanRequest request;
    ScanWrapper* const scanWrapper;
    ScanCounters counters;

    // ---- Worker side ----------------------------------------------------
    // The whole scan of this computer: walk, cache steps and comparison.
    void runLocalScan();
    // A cloud listing's records (CloudScanSink); from the listing's thread.
    void addCloudScanFile(const FileInfoNodePtr& record) override;
    // What the job, the comparison it will run and the results screen hold
    // for a cloud file beyond its record and its place in its folder's list,
    // at most: its place in the job's list and in the folder's, with the room
    // the lists take to grow, in the table of the paths taken, what the
    // comparison of these settings holds for it, its share of a group of two
    // and what the results screen holds for it (resultsScreenBytesPerFile). A
    // listing's bounds count it with the record.
    static qint64 heldBytesPerCloudFile(const ComparisonSettings& comparison, const FileInfoNode& record);
    // What the result holds for a folder whose files are listed, beyond the
    // folder's text: its path lower-cased in the result's folder priorities,
    // and while those are made the path met and its places in the two sets
    // that take each folder once.
    static qint64 heldBytesPerResultFolder(const QString& folder);
    void OnScanCompletedProcess() override;
    // The Google Drive listing's records, on the GUI thread.
    void addDriveFiles(const std::vector<FileInfoNodePtr>& records);
    // Compares the listed cloud files by the service's checksum (or the
    // criteria alone) and ends the job.
    void findDuplicatesInCloudDrives();
    // Ends the job with nothing compared (nothing to list).
    void finishEmpty();
    // A folder of the listing could not be read: the result may miss files.
    void markListingIncomplete() { listingIncomplete_ = true; }
    // A bound of the listing ended it, or one of its folders, short of the
    // end: the first one met is kept, unless the whole listing's comes after.
    void noteListingBound(const ListingBound& bound);

    // ---- Progress (any thread) ---------------------------------------------
    // The number of records the percentage is formed over.
    qint64 recordCount() const { return recordCount_.load(); }
    // Whether the counters changed since the last call.
    bool takeRefreshWanted() { return refreshWanted_.exchange(false); }
    // The newest path to show, once.
    std::optional<QString> takeLatestPath();
    // Whether the comparison has begun since the last call.
    bool takeSearchingStarted() { return searchingStarted_.exchange(false); }

    // ---- GUI thread, after finished() ---------------------------------------
    bool isFinished() const { return finishedFlag_.load(); }
    // Whether some group holds more than one file.
    bool foundDuplicates() const;
    // The result set: the groups of two or more, in order; made once, as the
    // work ends, on the thread it ends on.
    ScanResultPtr result() const { return result_; }
    qint64 skippedCount() const { return skipped_; }
    bool isListingIncomplete() const { return listingIncomplete_.load(); }
    // The listing left files out and the service refused the sign-in while
    // it ran (its session has ended).
    bool wasListingSignedOut() const { return listingSignedOut_.load(); }
    // The bound that left files of the listing out, when one did.
    const std::optional<ListingBound>& listingBound() const { return listingBound_; }
    // The photo libraries and the photo catalog that could not be read
    // (their reasons are in the log): their files were not compared.
    const QStringList& unreadDatabases() const { return unreadDatabases_; }
    // The checked rows an exclusion kept out of the walk.
    const PassedOverLocations& passedOverRows() const { return passedOverRows_; }
    // The cloud files a comparison by content left out because their service
    // gave no checksum of them.
    qint64 withoutChecksumCount() const { return withoutChecksum_; }

    // The records and groups; the working thread's while the job runs. A
    // local scan's records go when its comparison is over.
    std::vector<FileInfoNodePtr> arrFileNodes;
    std::vector<FileInfoNodePtr> arrCloudScanFiles;
    std::vector<DuplicateGroupPtr> arrMainGroup;

private:
    class Reports;

    void searchDuplicateLocalFiles(ScanCache& cache);
    // The content road for a walk's files kept compactly: digests first, then
    // records for the files that share theirs with another.
    void searchDuplicateScannedFiles(ScannedFiles& files, ScanCache& cache);
    // Lets go of the records once the groups and the cache are done with them.
    void releaseRecords();
    void setLatestPath(const QString& path);
    void finish();

    ScanResultPtr makeResult() const;

    Finished finished_;
    ScanResultPtr result_;
    std::atomic<bool> finishing_ { false };
    std::atomic<bool> finishedFlag_ { false };
    std::atomic<bool> listingIncomplete_ { false };
    const ScanWrapper* const signedInSource_;
    const quint64 refusalsAtStart_;
    std::atomic<bool> listingSignedOut_ { false };
    qint64 skipped_ = 0;
    QStringList unreadDatabases_;
    PassedOverLocations passedOverRows_;
    std::optional<ListingBound> listingBound_;
    qint64 withoutChecksum_ = 0;

    std::atomic<qint64> recordCount_ { 0 };
    std::atomic<bool> refreshWanted_ { false };
    std::atomic<bool> searchingStarted_ { false };
    // The paths taken in by a cloud listing (see addCloudScanFile), by their
    // records' places in its list.
    RecordIndexTable pathsTaken_;
    std::mutex pathMutex_;
    QString latestPath_;
    bool latestPathShown_ = true;
};
