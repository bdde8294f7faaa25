#include "scan/ScanJob.h"

#include "base/Log.h"
#include "base/ReleaseElsewhere.h"
#include "core/MD5.h"
#include "scan/Comparison.h"
#include "scan/ComparisonCriteria.h"
#include "scan/ComparisonObserver.h"
#include "scan/FileHasher.h"
#include "scan/LocalFileRecordBuilder.h"
#include "scan/LocalWalk.h"
#include "scan/PackageTypes.h"
#include "scan/ScanCache.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <limits>
#include <thread>

namespace {

// Digests as the scan reads them: whole files and file heads with md5OfFile,
// packages by their members. Keeps no state, so the comparison's hashing
// threads may share it.
class ScanFileHasher : public FileHasher {
public:
    std::optional<QString> md5OfFile(const QString& path, const std::atomic<bool>& abort) const override
    {
        return ::md5OfFile(path, abort);
    }
    std::optional<QString> md5OfFirstBytes(
        const QString& path, qint64 byteCount, const std::atomic<bool>& abort) const override
    {
        return md5OfFileHead(path, static_cast<quint64>(std::max<qint64>(byteCount, 0)), abort);
    }
    std::optional<QString> md5OfPackageContents(const QString& path, const std::atomic<bool>& abort) const override
    {
        return packageDigest(path, abort);
    }
    // One open, and the reads themselves tell whether the bytes are cached.
    std::optional<QString> md5IfCached(
        const QString& path, qint64 byteCount, quint64, const std::atomic<bool>& abort, bool& cached) const override
    {
        return md5OfCachedBytes(path, byteCount < 0 ? UINT64_MAX : quint64(byteCount), abort, cached);
    }
};

// Writes the comparison's batches of new digests to the cache on a thread of
// its own, so neither the comparison nor the reads wait for the database. The
// records of a batch are no longer changed once handed over; the cache's
// stored rows are only read meanwhile.
class CacheWriter {
public:
    explicit CacheWriter(ScanCache& cache)
        : cache_(cache)
        , thread_([this] { run(); })
    {
    }
    ~CacheWriter() { finish(); }

    void add(const std::vector<FileInfoNodePtr>& batch, const std::vector<std::optional<BlockDigest>>& heads)
    {
        std::lock_guard lock(mutex_);
        batches_.push_back({ batch, heads, {} });
        added_.notify_one();
    }
    void add(std::vector<ScanCache::NewDigest>&& batch)
    {
        std::lock_guard lock(mutex_);
        batches_.push_back({ {}, {}, std::move(batch) });
        added_.notify_one();
    }

    // Returns once every batch handed over is written.
    void finish()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            added_.notify_one();
        }
        if (thread_.joinable())
            thread_.join();
    }

private:
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            added_.wait(lock, [this] { return closing_ || !batches_.empty(); });
            if (batches_.empty())
                return;
            Batch batch = std::move(batches_.front());
            batches_.pop_front();
            // Whatever else waits by then goes in the same write: the cache
            // writes a set of files in their walk order, and the larger the
            // set, the fewer times the database's path index is visited at
            // each place (the comparison hands files over in size order,
            // scattered across the folders).
            std::vector<std::vector<ScanCache::NewDigest>> items;
            if (!batch.items.empty()) {
                items.push_back(std::move(batch.items));
                for (; !batches_.empty() && !batches_.front().items.empty(); batches_.pop_front())
                    items.push_back(std::move(batches_.front().items));
            }
            lock.unlock();
            if (items.empty())
                cache_.saveHashesToCacheDatabase(batch.records, batch.heads);
            else
                cache_.saveDigestBatches(std::move(items));
            lock.lock();
        }
    }

    ScanCache& cache_;
    std::mutex mutex_;
    std::condition_variable added_;
    struct Batch {
        std::vector<FileInfoNodePtr> records;
        std::vector<std::optional<BlockDigest>> heads;
        std::vector<ScanCache::NewDigest> items;
    };
    std::deque<Batch> batches_;
    bool closing_ = false;
    std::thread thread_;
};

} // namespace

// The comparison's reports become the job's progress values, which the GUI
// thread picks up at its own pace: the worker never waits for it.
class ScanJob::Reports : public ComparisonObserver {
public:
    explicit Reports(ScanJob& job)
        : job_(job)
    {
    }
    void showSearchingDuplicatesLabel() override { job_.searchingStarted_ = true; }
    void showScanPathLabel(const QString& filePath) override { job_.setLatestPath(filePath); }
    void showScanPathWithProgress(const QString& filePath) override
    {
        job_.setLatestPath(filePath);
        job_.refreshWanted_ = true;
    }
    void updateFileScannedCountAndSize(bool) override { job_.refreshWanted_ = true; }

private:
    ScanJob& job_;
};

ScanJob::ScanJob(ScanRequest request, ScanWrapper* scanWrapper, Finished finished, const ScanWrapper* signedInSource)
    : request(std::move(request))
    , scanWrapper(scanWrapper)
    , finished_(std::move(finished))
    , signedInSource_(signedInSource ? signedInSource : scanWrapper)
    , refusalsAtStart_(signedInSource_ ? signedInSource_->signInRefusals() : 0)
{
}

void ScanJob::runLocalScan()
{
    ScannedFiles files;
    {
        // The walk's sets of files and folders met go with it.
        LocalWalk::Progress progress;
        progress.recorded = [this](const QString& path) {
            recordCount_ += 1;
            if (!path.isEmpty())
                setLatestPath(path);
            refreshWanted_ = true;
        };
        progress.readingLibrary = [this](const QString& path) { setLatestPath(path); };
        LocalWalk walk(request, counters, isAbortScan, std::move(progress));
        walk.parseAllPath();
        files = std::move(walk.files());
        skipped_ = walk.skippedCount();
        unreadDatabases_ = walk.unreadLibraries();
        passedOverRows_ = walk.passedOver();
    }
    // The walk's reading threads freed what they made in arenas of their
    // own, where this thread would never use it again: it goes back to the
    // system, and likewise after each step below, so that a large scan's
    // peak is what it holds rather than all it ever held.
    giveFreedMemoryBack();
    recordCount_ = static_cast<qint64>(files.count());

    {
        // The cache knows the files by their place in the list: it goes
        // before them.
        ScanCache cache(request.source, isAbortScan);
        if (request.comparison.compareContent && files.allCompact()) {
            cache.recordScannedFiles(files);
            cache.loadHashCache();
            searchDuplicateScannedFiles(files, cache);
        } else {
            arrFileNodes = files.takeRecords();
            cache.recordScannedFilesInCache(arrFileNodes);
            cache.loadHashCache();
            searchDuplicateLocalFiles(cache);
        }
        cache.finish();
    }
    releaseRecords();
    // What the comparison held goes back too, before the results are handed
    // over and shown.
    giveFreedMemoryBack();
    finish();
}

void ScanJob::searchDuplicateScannedFiles(ScannedFiles& files, ScanCache& cache)
{
    ScanFileHasher hasher;
    Reports reports(*this);
    const ComparisonSettings& settings = request.comparison;
    Comparison::Sifted sifted;
    {
        Comparison comparison(hasher, counters, isAbortScan);
        comparison.setObserver(&reports);
        CacheWriter writer(cache);
        sifted = comparison.siftFilesBySizeAndMd5(files, &cache, settings.minimumSizeOption, settings.minimumBytes,
            [&writer](std::vector<ScanCache::NewDigest>&& batch) { writer.add(std::move(batch)); });
    }
    // The files that can still be duplicates become records; the table of
    // all the others, and what the sift held, go first.
    ScannedFiles candidates = files.subset(sifted.items);
    files = ScannedFiles();
    giveFreedMemoryBack();
    arrFileNodes.reserve(candidates.count());
    for (std::size_t i = 0; i < candidates.count(); ++i) {
        FileInfoNodePtr record = candidates.record(i);
        record->md5 = std::move(sifted.digests[i]);
        record->isMd5Calucaluted = true;
        arrFileNodes.push_back(std::move(record));
    }
    candidates = ScannedFiles();
    sifted = {};

    // The files read before a Stop still form their groups, as on the
    // records' road; nothing is read any more.
    const std::atomic<bool> notStopped { false };
    const bool stopped = isAbortScan;
    Comparison grouping(hasher, counters, stopped ? notStopped : isAbortScan);
    grouping.setObserver(&reports);
    grouping.setKeepGroupsOfOne(false);
    arrMainGroup = grouping.groupSiftedRecords(
        arrFileNodes, settings.criteria, settings.minimumSizeOption, settings.minimumBytes);
}

void ScanJob::searchDuplicateLocalFiles(ScanCache& cache)
{
    ScanFileHasher hasher;
    Reports reports(*this);
    Comparison comparison(hasher, counters, isAbortScan);
    comparison.setObserver(&reports);
    // A photo catalog's files are never matched with cached digests.
    const bool useCache = request.source != ScanSource::lightroomCatalog;
    comparison.setDigestCache(useCache ? &cache : nullptr);
    // The result shows groups of two or more only.
    comparison.setKeepGroupsOfOne(false);
    CacheWriter writer(cache);
    comparison.setSaveDigests([&writer](const std::vector<FileInfoNodePtr>& batch,
                                  const std::vector<std::optional<BlockDigest>>& heads) { writer.add(batch, heads); });
    arrMainGroup = comparison.searchDuplicateLocalFiles(arrFileNodes, request.source, request.comparison);
    writer.finish();
}

void ScanJob::releaseRecords()
{
    // Only the files of the groups are shown, and the groups hold them; the
    // others would otherwise stay for as long as the result is on screen.
    arrFileNodes = {};
}

void ScanJob::addCloudScanFile(const FileInfoNodePtr& record)
{
    if (!record || !record->filePath)
        return;
    // A file met twice (two chosen folders, one inside the other) counts
    // once, the first time. The services tell no letter case apart in
    // paths; the photo catalog names files of this file system, which does.
    const bool isLocal = request.source == ScanSource::lightroomCatalog;
    const QString key = isLocal ? *record->filePath : record->filePath->toLower();
    std::vector<FileInfoNodePtr>& list = isLocal ? arrFileNodes : arrCloudScanFiles;
    if (list.size() >= std::numeric_limits<quint32>::max())
        return;
    const auto sameKey = [&](quint32 place) {
        const QString& path = *list[place]->filePath;
        return isLocal ? path == key : path.toLower() == key;
    };
    if (pathsTaken_.findOrInsert(RecordIndexTable::hashOf(key), quint32(list.size()), sameKey))
        return;
    list.push_back(record);
    recordCount_ = static_cast<qint64>(list.size());
    counters.countScanned += 1;
    counters.totSizeScanned += record->fileSize;
    if (record->filePath)
        setLatestPath(*record->filePath);
    refreshWanted_ = true;
}

qint64 ScanJob::heldBytesPerCloudFile(const ComparisonSettings& comparison, const FileInfoNode& record)
{
    // A list holds a pointer a file, up to as many again as room to grow,
    // and while it grows the old pointers beside the new: three in the job's
    // list, two more in the folder's (its own is counted with the record).
    const qint64 lists = 5 * qint64(sizeof(FileInfoNodePtr));
    // A group of two: the group with its count, its two lists of members,
    // and its places in the comparison's list (with the list's room to grow
    // and while it grows) and in the result's.
    const qint64 group = heapBlockBytes(sizeof(DuplicateGroup) + 16) + 2 * heapBlockBytes(2 * sizeof(FileInfoNodePtr))
        + 4 * qint64(sizeof(DuplicateGroupPtr));
    return lists + RecordIndexTable::bytesPerEntryAtMost + Comparison::heldBytesOfCloudRecord(comparison, record)
        + (group + 1) / 2 + resultsScreenBytesPerFile;
}

qint64 ScanJob::heldBytesPerResultFolder(const QString& folder)
{
    // A set's entry: the text's place, with the room the set keeps free.
    const qint64 setEntry = 64;
    return 2 * heldBytesOfText(folder) + 2 * setEntry + qint64(sizeof(QString));
}

void ScanJob::noteListingBound(const ListingBound& bound)
{
    keepListingBound(listingBound_, bound);
}

void ScanJob::OnScanCompletedProcess()
{
    if (scanWrapper && scanWrapper->lastWalkIncomplete) {
        const std::optional<ListingBound> bound = scanWrapper->lastWalkBound();
        if (bound)
            noteListingBound(*bound);
        // A source read from a file of this computer (the photo catalog) is
        // no service that failed to answer, and a bound met is no failure.
        if (const std::optional<QString> file = scanWrapper->sourceFile())
            unreadDatabases_.append(*file);
        else if (scanWrapper->lastWalkUnanswered || !bound)
            markListingIncomplete();
    }
    if (request.source == ScanSource::lightroomCatalog) {
        // The catalog's files are compared like local ones; their new digests
        // still go to the cache.
        {
            ScanCache cache(request.source, isAbortScan);
            searchDuplicateLocalFiles(cache);
            cache.finish();
        }
        releaseRecords();
        finish();
        return;
    }
    findDuplicatesInCloudDrives();
}

void ScanJob::addDriveFiles(const std::vector<FileInfoNodePtr>& records)
{
    for (const FileInfoNodePtr& record : records)
        addCloudScanFile(record);
}

void ScanJob::findDuplicatesInCloudDrives()
{
    ScanFileHasher hasher;
    Reports reports(*this);
    Comparison comparison(hasher, counters, isAbortScan);
    comparison.setObserver(&reports);
    // The result shows groups of two or more only.
    comparison.setKeepGroupsOfOne(false);
    const ComparisonCriteria& criteria = request.comparison.criteria;
    Log::print("findDuplicatesInCloudDrives");
    if (request.comparison.compareContent) {
        // Cloud files are never downloaded: the service's checksum decides,
        // and a file without one cannot be compared at all.
        withoutChecksum_ = std::count_if(arrCloudScanFiles.begin(), arrCloudScanFiles.end(),
            [](const FileInfoNodePtr& record) { return record && (!record->md5 || record->md5->isEmpty()); });
        arrMainGroup = comparison.createMd5DictforCloudDriveFiles(arrCloudScanFiles);
    } else {
        arrMainGroup = comparison.groupFilesByCriteria(arrCloudScanFiles, request.source, criteria, 0, 0);
    }
    // The groups hold the files shown; the list of every file, the paths
    // taken and what the comparison held go, and the memory back to the
    // system, before the results are handed over.
    arrCloudScanFiles = {};
    pathsTaken_ = RecordIndexTable();
    giveFreedMemoryBack();
    finish();
}

void ScanJob::finishEmpty()
{
    finish();
}

void ScanJob::finish()
{
    if (finishing_.exchange(true))
        return;
    // The service refused the sign-in while the folders were listed: the
    // user signs in again rather than look at the connection.
    listingSignedOut_ = listingIncomplete_ && signedInSource_ && signedInSource_->signInRefusals() != refusalsAtStart_;
    result_ = makeResult();
    finishedFlag_.store(true);
    if (finished_)
        finished_(*this);
}

void ScanJob::setLatestPath(const QString& path)
{
    std::lock_guard lock(pathMutex_);
    latestPath_ = path;
    latestPathShown_ = false;
}

std::optional<QString> ScanJob::takeLatestPath()
{
    std::lock_guard lock(pathMutex_);
    if (latestPathShown_)
        return std::nullopt;
    latestPathShown_ = true;
    return latestPath_;
}

bool ScanJob::foundDuplicates() const
{
    return std::any_of(arrMainGroup.begin(), arrMainGroup.end(),
        [](const DuplicateGroupPtr& g) { return g && g->filterChildren.size() > 1; });
}

ScanResultPtr ScanJob::makeResult() const
{
    auto result = std::make_shared<ScanResult>();
    for (const DuplicateGroupPtr& group : arrMainGroup) {
        if (group && group->children.size() >= 2)
            result->groups.push_back(group);
    }
    result->dupCount = counters.countDup.load();
    result->sizeDup = counters.sizeDup.load();
    result->countScanned = counters.countScanned.load();
    result->skippedCount = skipped_;
    result->scanWrapper = scanWrapper;
    result->priorityLists = priorityListsOf(result->groups);
    return result;
}
