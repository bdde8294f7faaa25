#include "scan/ScanWrapper.h"

#include "base/Log.h"
#include "core/SettingsSchema.h"
#include "scan/CloudFileRecordBuilder.h"
#include "scan/ScanJob.h"
#include "scan/ScanRequest.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

// The meeting point of one scan walk and the sink it feeds. The walk (GUI
// thread) queues records and the end; the caller of startCloudScan hands them
// on from its own thread, so the sink sees every call on the engine's worker.
// A caller that stops waiting (Stop) leaves the session: what the walk
// produces afterwards goes nowhere.
class ScanWrapper::WalkSession {
public:
    explicit WalkSession(CloudScanSink* direct)
        : direct_(direct)
    {
    }

    void deliver(const FileInfoNodePtr& record)
    {
        if (direct_) {
            direct_->addCloudScanFile(record);
            return;
        }
        std::lock_guard lock(mutex_);
        if (left_)
            return;
        // The caller's thread takes what has come at its next turn (every
        // 50 ms): woken for each record, it would take them one by one.
        records_.push_back(record);
    }

    void finish()
    {
        if (direct_) {
            direct_->OnScanCompletedProcess();
            return;
        }
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_one();
    }

    // Caller's thread: hands the records on until the walk ends or Stop is
    // raised, then ends the listing for the sink once.
    void pump(CloudScanSink& sink, const std::atomic<bool>& abort)
    {
        for (;;) {
            std::deque<FileInfoNodePtr> batch;
            bool finished = false;
            {
                std::unique_lock lock(mutex_);
                changed_.wait_for(
                    lock, std::chrono::milliseconds(50), [this] { return finished_ || !records_.empty(); });
                batch.swap(records_);
                finished = finished_;
                if (!finished && abort)
                    left_ = true;
            }
            for (const FileInfoNodePtr& record : batch)
                sink.addCloudScanFile(record);
            if (finished || left_)
                break;
        }
        sink.OnScanCompletedProcess();
    }

private:
    CloudScanSink* const direct_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<FileInfoNodePtr> records_;
    bool finished_ = false;
    bool left_ = false;
};

ScanWrapper::ScanWrapper() = default;
ScanWrapper::~ScanWrapper() = default;

CloudScanFoldersListPtr ScanWrapper::makeRootFolderNode()
{
    if (!rootFolderObj) {
        rootFolderObj = std::make_shared<CloudScanFoldersList>();
        rootFolderObj->folderName = rootFolderName();
        rootFolderObj->folderPath = rootFolderName();
    }
    return rootFolderObj;
}

void ScanWrapper::stopScanListing()
{
    isAbortScanning = true;
    if (session_)
        finishWalk();
}

void ScanWrapper::endRefusedSignIn()
{
    isAuthenticateForScan = false;
    ++signInRefusals_;
}

QString ScanWrapper::lastRemovalFailure() const
{
    if (signInRefusals_ > 0 && !isAuthenticateForScan)
        return QStringLiteral("the service no longer accepted the sign-in; sign in again and remove the file again");
    return QString();
}

void ScanWrapper::markListingsStale()
{
    ++listingsRound_;
    isFileDeletedFromCloud = true;
}

bool ScanWrapper::acceptRecord(FileInfoNode& record) const
{
    return makeCloudFileInfoNode(record, scanSettings, minimumDuplicateSize);
}

void ScanWrapper::listFolder(const CloudScanFoldersListPtr&, std::function<void(FolderListing)> done)
{
    done(FolderListing {});
}

ListingLimits ScanWrapper::listingLimitsNow() const
{
    return listingLimitsWithin(memoryBytes, memoryHeldByThisProcess(), listingLimits);
}

std::shared_ptr<ListingGuard> ScanWrapper::listingGuard()
{
    // A listing begun outside a walk or a picker listing has a guard of its own.
    return currentGuard_ ? currentGuard_ : std::make_shared<ListingGuard>(rootFolderName(), listingLimitsNow());
}

FolderPages ScanWrapper::folderPages() const
{
    FolderPages pages;
    pages.handOn = currentHandOn_;
    pages.comparison = scanComparison;
    return pages;
}

void ScanWrapper::fetchChildFolders(const CloudScanFoldersListPtr& folder)
{
    if (!folder)
        return;
    isCompletListFetch = false;
    const quint64 generation = walkGeneration_;
    const quint64 round = listingsRound_;
    auto guard = std::make_shared<ListingGuard>(rootFolderName(), listingLimitsNow());
    std::erase_if(pickerGuards_, [](const std::weak_ptr<ListingGuard>& kept) { return kept.expired(); });
    pickerGuards_.push_back(guard);
    guard->admitPage(folder->folderPath, QString());
    // Told once: at the answer, or at once when the listing is stopped.
    const auto ended = std::make_shared<bool>(false);
    guard->setOnStop([this, ended] {
        if (!std::exchange(*ended, true) && delegate)
            delegate->OnScanCompletedProcess();
    });
    currentGuard_ = guard;
    listFolder(folder, [this, folder, generation, round, guard, ended](FolderListing listing) {
        guard->setOnStop(nullptr);
        if (std::exchange(*ended, true))
            return;
        // A scan begun meanwhile owns the tree now; the picker asks again.
        // A folder too large to list whole shows the sub-folders listed up
        // to its bound.
        if (generation == walkGeneration_ && (!listing.failed || guard->boundReached())) {
            mergeSubFolders(folder, listing.subFolders);
            folder->listedInRound = round;
        }
        if (guard->wasCutShort())
            pickerListingCutShort = true;
        else if (listing.failed && !guard->isStopped())
            pickerListingsFailed.push_back(folder);
        if (guard->boundReached())
            pickerListingBound = guard->boundReached();
        if (delegate)
            delegate->OnScanCompletedProcess();
    });
    currentGuard_.reset();
}

void ScanWrapper::stopPickerListings()
{
    for (const std::weak_ptr<ListingGuard>& kept : std::exchange(pickerGuards_, {}))
        if (const std::shared_ptr<ListingGuard> guard = kept.lock())
            guard->stop();
}

void ScanWrapper::takeSettings(const ScanRequest& request)
{
    scanSettings = request.filters;
    scanComparison = request.comparison;
    minimumDuplicateSize
        = { static_cast<qint64>(request.comparison.minimumBytes), request.comparison.minimumSizeOption };
}

void ScanWrapper::startCloudScan(
    const std::vector<CloudScanFoldersListPtr>& folders, const ScanRequest& request, CloudScanSink& sink)
{
    isCompletListFetch = true;
    if (folders.empty()) {
        // Nothing chosen: the listing is over before it began.
        sink.OnScanCompletedProcess();
        return;
    }
    if (QThread::currentThread() == home_.thread()) {
        takeSettings(request);
        beginWalk(folders, std::make_shared<WalkSession>(&sink), request.cloudExclusion);
        return;
    }
    auto session = std::make_shared<WalkSession>(nullptr);
    QMetaObject::invokeMethod(
        &home_,
        [this, folders, session, request] {
            takeSettings(request);
            beginWalk(folders, session, request.cloudExclusion);
        },
        Qt::QueuedConnection);
    session->pump(sink, isAbortScanning);
}

void ScanWrapper::beginWalk(std::vector<CloudScanFoldersListPtr> folders, std::shared_ptr<WalkSession> session,
    std::optional<PathExclusionPredicate> exclusion)
{
    // A walk still open is ended first, so its caller is never left waiting.
    if (session_)
        finishWalk();
    ++walkGeneration_;
    walkRound_ = listingsRound_;
    session_ = std::move(session);
    walkGuard_ = std::make_shared<ListingGuard>(rootFolderName(), listingLimitsNow(), &isAbortScanning);
    walkExclusion_ = std::move(exclusion);
    lastWalkIncomplete = false;
    lastWalkUnanswered = false;
    {
        std::lock_guard lock(boundMutex_);
        walkBound_.reset();
    }
    arrPathFetchFiles = std::move(folders);
    indexForScannedPath = 0;
    runWalk(startRoot());
}

CloudScanFoldersListPtr ScanWrapper::startRoot()
{
    walkRoot_ = arrPathFetchFiles.at(static_cast<size_t>(indexForScannedPath));
    walkRootSubFolders_ = !walkRoot_ || walkRoot_->isIncludeSubFolders;
    // Positions restart for the root and everything below it.
    std::vector<CloudScanFoldersList*> pending { walkRoot_.get() };
    while (!pending.empty()) {
        CloudScanFoldersList* node = pending.back();
        pending.pop_back();
        if (!node)
            continue;
        node->currentScanFolderIndex = 0;
        for (const CloudScanFoldersListPtr& child : node->children)
            pending.push_back(child.get());
    }
    return walkRoot_;
}

void ScanWrapper::runWalk(CloudScanFoldersListPtr next)
{
    while (next) {
        if (isAbortScanning || !isCompletListFetch)
            break;
        if (next != walkRoot_ && isExcluded(*next)) {
            next = advance(next);
            continue;
        }
        if (!enterFolder(*next)) {
            next->currentScanFolderIndex = static_cast<int>(next->children.size());
            next = advance(next);
            continue;
        }
        forgetIfStale(*next);
        if (next->isAllFilesFetched) {
            // Listed completely before: its kept files and sub-folders serve
            // again without asking the service.
            for (const FileInfoNodePtr& record : next->arrCloudFolderFiles)
                if (record && !record->isMoveToTrash && acceptRecord(*record))
                    deliver(record);
            next = advance(next);
            continue;
        }
        // The answer may come inside listFolder or later; a later one resumes
        // the walk from its callback.
        struct Pending {
            bool inCall = true;
            std::optional<FolderListing> answer;
        };
        if (!walkGuard_->admitPage(next->folderPath, QString())) {
            // A bound met is told as such, a Stop not at all.
            if (!walkGuard_->isStopped()) {
                lastWalkIncomplete = true;
                if (!walkGuard_->isWholeListingBound())
                    lastWalkUnanswered = true;
            }
            break;
        }
        auto pending = std::make_shared<Pending>();
        const quint64 generation = walkGeneration_;
        currentGuard_ = walkGuard_;
        // Each file goes on as soon as its page is read; one of a walk that
        // has ended goes nowhere.
        currentHandOn_ = [this, generation](const FileInfoNodePtr& record) {
            if (generation == walkGeneration_ && record && acceptRecord(*record))
                deliver(record);
        };
        listFolder(next, [this, folder = next, pending, generation](FolderListing listing) {
            if (generation != walkGeneration_ || pending->answer)
                return;
            if (pending->inCall) {
                pending->answer = std::move(listing);
                return;
            }
            pending->answer = FolderListing {};
            acceptListing(folder, listing);
            runWalk(advance(folder));
        });
        pending->inCall = false;
        currentGuard_.reset();
        currentHandOn_ = nullptr;
        if (!pending->answer)
            return;
        acceptListing(next, *pending->answer);
        next = advance(next);
    }
    finishWalk();
}

void ScanWrapper::acceptListing(const CloudScanFoldersListPtr& folder, FolderListing& listing)
{
    // Every sub-folder stays in the tree, also one the walk has been in
    // already: a later scan of this folder alone walks it.
    mergeSubFolders(folder, listing.subFolders);
    folder->listedInRound = walkRound_;
    // A folder a bound ended (its own, or the whole listing's) is told as
    // too large; any other failed folder as one that could not be listed,
    // unless the listing was stopped: what its service answers then (the
    // page cut short, a failure) is no fault.
    if (listing.failed && !walkGuard_->isStopped()) {
        lastWalkIncomplete = true;
        if (!listing.cutAtBound && !walkGuard_->isWholeListingBound()) {
            lastWalkUnanswered = true;
            Log::print("A cloud folder could not be listed:", folder->folderPath);
        }
    }
    // Files not handed on as they came go on now.
    if (!listing.handedOn) {
        for (const FileInfoNodePtr& record : listing.files)
            if (record && acceptRecord(*record))
                deliver(record);
    }
    if (!listing.failed) {
        folder->arrCloudFolderFiles = std::move(listing.files);
        folder->isAllFilesFetched = true;
    }
}

void ScanWrapper::deliver(const FileInfoNodePtr& record)
{
    ++fileCount;
    if (session_)
        session_->deliver(record);
}

CloudScanFoldersListPtr ScanWrapper::advance(CloudScanFoldersListPtr folder)
{
    while (folder) {
        const auto childCount = static_cast<int>(folder->children.size());
        if (folder == walkRoot_ && !walkRootSubFolders_)
            folder->currentScanFolderIndex = childCount;
        if (folder->currentScanFolderIndex < childCount) {
            CloudScanFoldersListPtr child = folder->children.at(static_cast<size_t>(folder->currentScanFolderIndex));
            ++folder->currentScanFolderIndex;
            if (child)
                return child;
            continue;
        }
        if (folder == walkRoot_) {
            if (indexForScannedPath + 1 >= static_cast<int>(arrPathFetchFiles.size()))
                return nullptr;
            ++indexForScannedPath;
            return startRoot();
        }
        // A folder cut off from its root has nowhere to go back to: the rest
        // of this chosen folder is given up rather than waited for.
        CloudScanFoldersListPtr parent = folder->parentNodeDropBoxList.lock();
        folder = parent ? parent : walkRoot_;
        if (!parent)
            folder->currentScanFolderIndex = static_cast<int>(folder->children.size());
    }
    return nullptr;
}

bool ScanWrapper::isExcluded(const CloudScanFoldersList& folder) const
{
    return walkExclusion_ && walkExclusion_->evaluateWithObject(folder.folderPath);
}

bool ScanWrapper::enterFolder(const CloudScanFoldersList& folder)
{
    // A folder without an id (a service's root, Dropbox's folders, whose
    // paths lie inside the folder listed) is walked wherever it is met; the
    // scan takes each of its files once. Below a chosen folder every
    // sub-folder is walked with its own.
    const bool withSubFolders = &folder != walkRoot_.get() || walkRootSubFolders_;
    return walkGuard_->admitFolder(folder.folderId, folder.folderPath, withSubFolders);
}

void ScanWrapper::forgetIfStale(CloudScanFoldersList& folder) const
{
    if (folder.listedInRound == walkRound_)
        return;
    // Sub-folders go too: a folder that the service no longer holds is not
    // walked, and each one kept is listed afresh below its new parent.
    folder.arrCloudFolderFiles.clear();
    folder.children.clear();
    folder.isAllFilesFetched = false;
    folder.listedInRound = walkRound_;
}

void ScanWrapper::finishWalk()
{
    std::shared_ptr<WalkSession> session = std::move(session_);
    session_.reset();
    if (walkGuard_ && walkGuard_->wasCutShort())
        lastWalkIncomplete = true;
    if (walkGuard_ && walkGuard_->wasCutByService())
        lastWalkUnanswered = true;
    if (walkGuard_) {
        std::lock_guard lock(boundMutex_);
        walkBound_ = walkGuard_->boundReached();
    }
    // Nothing of a walk that has ended is waited for: a request it still has
    // on its way (a Stop, a walk begun over it) ends unanswered, and a later
    // answer would find another generation.
    if (walkGuard_)
        walkGuard_->stop();
    ++walkGeneration_;
    if (session)
        session->finish();
}

std::optional<ListingBound> ScanWrapper::lastWalkBound() const
{
    std::lock_guard lock(boundMutex_);
    return walkBound_;
}

void mergeSubFolders(const CloudScanFoldersListPtr& folder, const std::vector<CloudScanFoldersListPtr>& listed)
{
    // Looked up by hash: a folder with a hundred thousand sub-folders merges
    // in linear time.
    QSet<QString> ids;
    QSet<QString> paths;
    for (const CloudScanFoldersListPtr& child : folder->children) {
        if (!child->folderId.isEmpty())
            ids.insert(child->folderId);
        paths.insert(child->folderPath);
    }
    for (const CloudScanFoldersListPtr& sub : listed) {
        if (!sub)
            continue;
        if (sub->folderId.isEmpty() ? paths.contains(sub->folderPath) : ids.contains(sub->folderId))
            continue;
        sub->parentNodeDropBoxList = folder;
        folder->children.push_back(sub);
        if (!sub->folderId.isEmpty())
            ids.insert(sub->folderId);
        paths.insert(sub->folderPath);
    }
}

void FolderPages::shareTexts(FileInfoNode& record)
{
    if (record.folderPath.isEmpty())
        return;
    if (record.folderPath != folderText_) {
        folderText_ = record.folderPath;
        tally.hold(heldBytesOfListedFolder(folderText_));
    }
    record.folderPath = folderText_;
    // The path's folder and name become the folder's text and the record's
    // name, as they read the same.
    const QString& name = record.filePath.lastComponent();
    if (record.filePath.folderComponent() == folderText_ && !name.isEmpty())
        record.filePath.assignParts(folderText_, record.fileName == name ? *record.fileName : name);
}

void FolderPages::addFile(FileInfoNodePtr record)
{
    shareTexts(*record);
    tally.holdFile(heldBytesOfListedFile(*record, folderText_, comparison));
    if (handOn)
        handOn(record);
    listing.files.push_back(std::move(record));
}

void FolderPages::addSubFolder(CloudScanFoldersListPtr folder)
{
    tally.hold(heldBytesOf(*folder));
    listing.subFolders.push_back(std::move(folder));
}

void FolderPages::finish(const std::function<void(FolderListing)>& done, bool complete)
{
    listing.failed = !complete;
    listing.cutAtBound = !complete && tally.endedAtBound();
    listing.handedOn = bool(handOn);
    done(std::move(listing));
}
