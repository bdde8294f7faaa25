#pragma once

#include "core/CloudScanFoldersList.h"
#include "core/FileInfoNode.h"
#include "core/FilePathNode.h"
#include "core/ScanSettingsSnapshot.h"
#include "scan/ComparisonCriteria.h"
#include "scan/ListedMemory.h"
#include "scan/ListingGuard.h"
#include "scan/PathExclusionPredicate.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

// Where a cloud source's listing delivers its records. The scan engine
// implements it; calls may come from the listing's own thread.
class CloudScanSink {
public:
    virtual ~CloudScanSink() = default;
    // One accepted file record of the listing.
    virtual void addCloudScanFile(const FileInfoNodePtr& record) = 0;
    // The listing has ended (completely, or cut short by Stop).
    virtual void OnScanCompletedProcess() = 0;
};

// The home screen's side of a handler: the end of a folder-picker listing and
// the outcome of a sign-in. Every call arrives on the GUI thread.
class ScanWrapperDelegate : public CloudScanSink {
public:
    void addCloudScanFile(const FileInfoNodePtr&) override { }
    // A sign-in has an outcome (true: signed in).
    virtual void onAccessPermissionStatus(bool) { }
    // The wait-for-sign-in sheet may close.
    virtual void dismissAuthenticationWait() { }
};

struct ScanRequest;

// One answer of a service for one folder: its file records (filled, not yet
// filtered) and its sub-folders. A failed answer still ends the folder's step.
struct FolderListing {
    std::vector<FileInfoNodePtr> files;
    std::vector<CloudScanFoldersListPtr> subFolders;
    bool failed = false;
    // A bound of the listing ended it (failed too): no fault of the service.
    bool cutAtBound = false;
    // Its files reached the walk one by one as they were taken.
    bool handedOn = false;
};

// One folder's listing over its pages: what it has taken and its tally.
struct FolderPages {
    FolderListing listing;
    ListingTally tally;
    // Where a scan's walk takes each file as soon as it is taken, so that the
    // scan counts and shows the files page by page; none for the picker.
    std::function<void(const FileInfoNodePtr&)> handOn;
    // The comparison the scan will run, which the files are counted with.
    ComparisonSettings comparison;

    // Takes a record; its folder's text, and its name where its path ends
    // with it, become the texts the folder's other records keep.
    void addFile(FileInfoNodePtr record);
    void addSubFolder(CloudScanFoldersListPtr folder);
    // Hands what was taken to done, complete or not.
    void finish(const std::function<void(FolderListing)>& done, bool complete);

private:
    void shareTexts(FileInfoNode& record);

    // The folder text of the records taken last.
    QString folderText_;
};

// A cloud source handler (Dropbox, OneDrive, Box, photo catalog). Holds the
// source's sign-in state, its folder tree, and the one depth-first walk every
// handler uses; a handler adds only how one folder is listed (listFolder) and
// how a file is removed and put back. The source's lists are ScanSources';
// a scan hands the handler what it reads in its ScanRequest.
//
// Threads: made, listed and signed in on the GUI thread; startCloudScan is
// called on the engine's worker, which it blocks until the walk has ended
// while the walk's requests run on the GUI thread; deleteCloudFile runs on the
// removal worker. The flags are read across those threads.
class ScanWrapper {
public:
    ScanWrapper();
    virtual ~ScanWrapper();
    ScanWrapper(const ScanWrapper&) = delete;
    ScanWrapper& operator=(const ScanWrapper&) = delete;

    std::atomic<bool> isAuthenticateForScan { false };
    // The service no longer accepted the sign-in and its session has ended:
    // the source stands as one never signed in, so that its next scan,
    // folder list or removal asks for the sign-in. GUI thread.
    void endRefusedSignIn();
    // The sign-ins the service refused so far (any thread): a scan during
    // whose listing the count grew asks the user to sign in again.
    quint64 signInRefusals() const { return signInRefusals_; }
    // Not owned: the home screen outlives its handlers' work.
    ScanWrapperDelegate* delegate = nullptr;
    // The listing is made for a scan (not for the folder picker).
    std::atomic<bool> isCompletListFetch { false };
    // A clean-up or an undo changed this source since the folder picker last
    // took its tree: its next opening takes a new one. Set with
    // markListingsStale.
    std::atomic<bool> isFileDeletedFromCloud { false };
    // A clean-up or an undo changed what the source holds: every listing it
    // keeps is stale from now on, wherever it is held (the picker's tree, the
    // chosen folders and their kept files and sub-folders), whatever is opened
    // or closed before the next scan, which asks the service again. Any
    // thread.
    void markListingsStale();
    // Raised by a confirmed Stop; the walk ends at its next step.
    std::atomic<bool> isAbortScanning { false };
    // A confirmed Stop of the scan whose listing runs (GUI thread): raises
    // isAbortScanning and ends the walk now, without waiting for the service:
    // its requests on their way end unanswered and the caller of
    // startCloudScan is told the listing ended.
    void stopScanListing();
    // A scan's listing was stopped. A picker listing is no scan and never
    // ends at a Stop, also one raised by a scan that has ended.
    bool isScanStopped() const { return isCompletListFetch && isAbortScanning; }
    // Files met by the current walk.
    std::atomic<int> fileCount { 0 };
    CloudScanFoldersListPtr rootFolderObj;
    int pauseCounter = 0;
    // Set when the last walk left files out: a folder whose listing failed,
    // or that a service repeating itself or a bound ended. What a Stop left
    // out is the user's choice and sets neither flag, also when the service
    // answers the stopped listing with a failure.
    std::atomic<bool> lastWalkIncomplete { false };
    // Set when it left them out for a fault of the service (no answer, an
    // answer repeating itself), not only at a bound.
    std::atomic<bool> lastWalkUnanswered { false };
    // The bound that ended (part of) the last walk; none when none did. Read
    // once the walk has ended.
    std::optional<ListingBound> lastWalkBound() const;
    // How far one scan walk, or one picker listing of a folder, may go, and
    // the memory the program may take (this machine's, or its control
    // group's limit where lower), within which each listing's bounds are set
    // as it begins (listingLimitsNow).
    ListingLimits listingLimits;
    qint64 memoryBytes = memoryOfThisMachine();
    // The bounds of a listing that begins now: listingLimits, the whole
    // listing within three quarters of memoryBytes less what the program
    // holds by now.
    ListingLimits listingLimitsNow() const;
    // Set when a picker listing was ended by a page handed out again or by
    // a bound; the picker tells the user once and clears it. GUI thread.
    bool pickerListingCutShort = false;
    // The bound, when it was one: the folder is too large to list whole,
    // which the picker tells in place of the other. GUI thread.
    std::optional<ListingBound> pickerListingBound;
    // The folders whose picker listing failed otherwise (no answer in time,
    // an error): the picker tells the user and lets them be opened again,
    // and clears it. GUI thread.
    std::vector<CloudScanFoldersListPtr> pickerListingsFailed;

    // Lists the folders one after another, depth first, hands every accepted
    // file record to the sink and ends with exactly one OnScanCompletedProcess.
    // The request's filters and cloud exclusion hold for the whole walk.
    // Called on the engine's worker it blocks until then (or until Stop);
    // called on the GUI thread it returns at once.
    virtual void startCloudScan(
        const std::vector<CloudScanFoldersListPtr>& folders, const ScanRequest& request, CloudScanSink& sink);
    // Signs in; true when the request was made. The outcome arrives later in
    // isAuthenticateForScan and through the delegate.
    virtual bool authenticateCloud() { return false; }
    // Gives up a sign-in that is running (the wait sheet's Cancel); its
    // outcome is reported as a failure, without an alert.
    virtual void cancelAuthentication() { }
    // Removes one file; blocks its (worker) thread until the service answered.
    virtual bool deleteCloudFile(const FileInfoNodePtr&) { return false; }
    // Why the last deleteCloudFile failed, when the source can tell the user
    // more than that the file was not removed; empty otherwise.
    // A service that refused the sign-in says so.
    virtual QString lastRemovalFailure() const;
    // Puts one removed file back; the completion is called exactly once. A
    // file put back is a new file at a service that says so (a new id, a new
    // revision): before answering true the handler records in the record's
    // cloud fields what the service answered, so that the file can be
    // removed again.
    virtual void restoreCloudFile(const FileInfoNodePtr&, std::function<void(bool)> completion) { completion(false); }
    // Whether restoreCloudFile can put a removed file back at all; a source
    // that cannot is offered no undo of its removals.
    virtual bool restoresRemovedFiles() const { return false; }
    // Lists one folder's sub-folders for the picker, all of its pages, and
    // ends with the delegate's OnScanCompletedProcess; nothing for none.
    virtual void fetchChildFolders(const CloudScanFoldersListPtr& folder);
    // Ends every picker listing under way (the picker closed): each ends now,
    // and what its service still answers is dropped.
    void stopPickerListings();
    // The one file of this computer the source is read from (the photo
    // catalog); none for a service.
    virtual std::optional<QString> sourceFile() const { return std::nullopt; }
    // The source's root node, made once until rootFolderObj is reset.
    virtual CloudScanFoldersListPtr makeRootFolderNode();

    // The record builder's filters with the settings of the running walk.
    // Handlers that fill their records themselves may refine it.
    virtual bool acceptRecord(FileInfoNode& record) const;

protected:
    // Asks the service for one folder and answers through done exactly once,
    // on the GUI thread, now or later. For a scan (isCompletListFetch) the
    // files are wanted, for the picker only the sub-folders. Callbacks must
    // use contextObject() so that none arrives after the handler is gone.
    virtual void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done);
    // The name of the root node: "DropBox", "Box", "One Drive", "Lightroom".
    virtual QString rootFolderName() const { return QString(); }

    QObject* contextObject() { return &home_; }
    // The guard of the listing that listFolder is asked for now; a listing
    // keeps it for all of its pages.
    std::shared_ptr<ListingGuard> listingGuard();
    // The pages of the folder that listFolder is asked for now: a scan's walk
    // takes their files as they come.
    FolderPages folderPages() const;
    // The filter settings of the scan whose walk runs, and the comparison it
    // will run, from its request.
    ScanSettingsSnapshot scanSettings;
    ComparisonSettings scanComparison;
    std::pair<qint64, qint64> minimumDuplicateSize { 0, -1 };
    void takeSettings(const ScanRequest& request);

private:
    class WalkSession;

    void beginWalk(std::vector<CloudScanFoldersListPtr> folders, std::shared_ptr<WalkSession> session,
        std::optional<PathExclusionPredicate> exclusion);
    void runWalk(CloudScanFoldersListPtr next);
    void acceptListing(const CloudScanFoldersListPtr& folder, FolderListing& listing);
    void deliver(const FileInfoNodePtr& record);
    CloudScanFoldersListPtr advance(CloudScanFoldersListPtr folder);
    CloudScanFoldersListPtr startRoot();
    bool isExcluded(const CloudScanFoldersList& folder) const;
    // False when the walk has been in folder already (by its id, as its
    // guard keeps them), with its sub-folders or, as now, without them: a
    // folder inside two chosen folders, or one a service lists inside itself,
    // is walked once. The tree keeps it either way.
    bool enterFolder(const CloudScanFoldersList& folder);
    // What folder keeps of an earlier round of listings goes, so that it is
    // listed afresh.
    void forgetIfStale(CloudScanFoldersList& folder) const;
    void finishWalk();

    QObject home_;
    std::atomic<quint64> signInRefusals_ { 0 };
    // Raised by markListingsStale; the walk running lists in the round it
    // began in.
    std::atomic<quint64> listingsRound_ { 0 };
    quint64 walkRound_ = 0;
    std::vector<CloudScanFoldersListPtr> arrPathFetchFiles;
    int indexForScannedPath = -1;
    CloudScanFoldersListPtr walkRoot_;
    // The chosen folder's own sub-folder switch: it holds for that folder
    // alone, not where the same folder lies inside another chosen one.
    bool walkRootSubFolders_ = true;
    // Folders whose display path it matches are not walked.
    std::optional<PathExclusionPredicate> walkExclusion_;
    std::shared_ptr<WalkSession> session_;
    quint64 walkGeneration_ = 0;
    std::shared_ptr<ListingGuard> walkGuard_;
    mutable std::mutex boundMutex_;
    std::optional<ListingBound> walkBound_;
    std::shared_ptr<ListingGuard> currentGuard_;
    std::function<void(const FileInfoNodePtr&)> currentHandOn_;
    std::vector<std::weak_ptr<ListingGuard>> pickerGuards_;
};

// Puts the listed sub-folders under a folder, keeping the node already there
// for a folder met again (same id, else same path) so that the picker's nodes
// keep their identity and a second listing adds no twins.
void mergeSubFolders(const CloudScanFoldersListPtr& folder, const std::vector<CloudScanFoldersListPtr>& listed);

// One answer of a Google Drive files-list query: the page's file records (as
// the Drive record builder made them), the token of the next page, or the
// failure of the query.
struct DriveFilesPage {
    std::vector<FileInfoNodePtr> files;
    std::optional<QString> nextPageToken;
    bool failed = false;
    // The folder's listing ends with this page, short of its end (a bound
    // was met, the service repeats itself): the records count, the listing
    // is incomplete.
    bool cutShort = false;
    // The bound that ended the folder's listing (or the whole listing) with
    // this page, when it was one: told as what it is, not as a failure.
    std::optional<ListingBound> bound;
    // Sub-folders met (id, display path) when sub-folders are asked for;
    // each gets a query of its own unless it is excluded.
    std::vector<std::pair<QString, QString>> subFolders;
};

// The Google Drive listing of a scan: one files-list query per folder and page.
// Every query is answered exactly once, on the GUI thread, through the
// engine's processAllFetchGoogleDriveFiles.
class DriveScanService {
public:
    virtual ~DriveScanService() = default;
    // A scan's listing begins with the request's filters: answers of earlier
    // queries are dropped.
    virtual void beginListing(const ScanRequest&) { }
    virtual void executeFilesListQuery(
        const QString& folderId, bool isIncludeSubFolders, const std::optional<QString>& pageToken)
        = 0;
    // Stop of the scan: the queries on their way end unanswered, and no
    // answer of this listing is handed on any more.
    virtual void stopListing() { }
    // A new scan starts: what the last listing kept (the paths of the
    // folders it met) is let go of, on the pool.
    virtual void releaseListing() { }
};
