#include "scan/Comparison.h"

#include "base/Log.h"
#include "scan/DigestReads.h"
#include "scan/GroupBook.h"
#include "scan/RecordIndexTable.h"
#include "scan/ScanCache.h"

#include <QtEndian>

#include <QThread>
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace {

ComparisonObserver& silentObserver()
{
    static ComparisonObserver none;
    return none;
}

} // namespace

// The content road's reading, shared by its two users: files take part in
// order of size and, within a size, in the order they were found; that order
// alone decides the groups. The digests they need are read ahead of it on the
// hashing pool, and each file is handed on as soon as its own digest (and
// those before it) are known.
//
// What is done with each file is the handler's: the records' road places it
// in its group at once; the compact table's road only keeps its digest. A
// handler answers
//   known(item)       a digest the file has already, or null;
//   stored(item)      the cache's current row of the file, or null;
// and is told
//   planning(count)   how many files share their size with another;
//   planned()         every file is planned, and nothing read yet;
//   upcoming(item)    the file is taken up soon;
//   upcomingRow(item) its row is asked for soon;
//   alone(item)       a file no other shares its size with;
//   sizeGroupBegins(), sizeGroupEnds()  around the files of a shared size;
//   ready(plan)       a file of a shared size, its digests read.
class Comparison::Sieve {
public:
    Sieve(Comparison& comparison, const ScanFileFacts& files)
        : c_(comparison)
        , observer_(comparison.observer_ ? *comparison.observer_ : silentObserver())
        , files_(files)
    {
    }

    // False when Stop ended it; the files handed on so far stay handed on.
    template <class Handler> bool run(qint64 minimumSizeSetting, quint64 minimumBytes, Handler& handler)
    {
        // The files that take part, ordered by size and then by found order;
        // a run of one size is a size group.
        std::vector<Sized> bySize;
        bySize.reserve(files_.count());
        for (std::size_t item = 0; item < files_.count(); ++item) {
            if (c_.abort_)
                return false;
            const quint64 size = files_.fileSize(item);
            if (minimumSizeSetting < 0 || size > minimumBytes)
                bySize.push_back(Sized { size, quint32(item) });
        }
        sortBySize(bySize);

        auto reads = std::make_shared<DigestReads>(c_.hasher_, c_.abort_, firstBlockBytes, files_);
        std::size_t planCount = 0;
        for (std::size_t i = 0; i < bySize.size(); ++i) {
            const bool sharesSize = (i > 0 && bySize[i - 1].size == bySize[i].size)
                || (i + 1 < bySize.size() && bySize[i + 1].size == bySize[i].size);
            planCount += sharesSize ? 1 : 0;
        }
        reads->plans.reserve(planCount);
        handler.planning(planCount);
        // The end of the size group that starts at first.
        const auto endOfSize = [&bySize](std::size_t first) {
            std::size_t end = first + 1;
            while (end < bySize.size() && bySize[end].size == bySize[first].size)
                ++end;
            return end;
        };
        for (std::size_t next = 0; next < bySize.size();) {
            const std::size_t end = endOfSize(next);
            if (end - next > 1)
                planSizeGroup(bySize, next, end, *reads, handler);
            next = end;
        }
        handler.planned();
        reads->start(c_.hashingThreads_);

        bool stopped = false;
        std::size_t plan = 0;
        for (std::size_t first = 0, last = 0; first < bySize.size(); first = last) {
            last = endOfSize(first);
            if (stopped || c_.abort_) {
                stopped = true;
                break;
            }
            if (last - first == 1) {
                handler.alone(bySize[first].item);
                continue;
            }
            handler.sizeGroupBegins();
            for (std::size_t i = first; i < last && !stopped; ++i, ++plan)
                stopped = !take(*reads, plan, handler);
            handler.sizeGroupEnds();
        }
        reads->finish();
        return !stopped;
    }

private:
    using Plan = DigestPlan;
    static constexpr std::size_t pathLabelEvery = 64;

    struct Sized {
        quint64 size;
        quint32 item;
    };

    // By size, a size's files staying in found order: digit by digit from
    // the lowest, each pass keeping the order of the one before; a digit all
    // sizes share is passed over.
    static void sortBySize(std::vector<Sized>& items)
    {
        constexpr int digitBits = 11;
        constexpr quint64 digitMask = (quint64(1) << digitBits) - 1;
        std::vector<Sized> sorted(items.size());
        std::vector<std::size_t> starts(std::size_t(digitMask) + 2);
        for (int shift = 0; shift < 64 && !items.empty(); shift += digitBits) {
            std::fill(starts.begin(), starts.end(), 0);
            for (const Sized& item : items)
                ++starts[std::size_t((item.size >> shift) & digitMask) + 1];
            if (starts[std::size_t((items.front().size >> shift) & digitMask) + 1] == items.size())
                continue;
            for (std::size_t d = 1; d < starts.size(); ++d)
                starts[d] += starts[d - 1];
            for (const Sized& item : items)
                sorted[starts[std::size_t((item.size >> shift) & digitMask)]++] = item;
            items.swap(sorted);
        }
    }

    // Appends the plans of a size group of two or more.
    template <class Handler>
    void planSizeGroup(
        const std::vector<Sized>& bySize, std::size_t first, std::size_t last, DigestReads& reads, Handler& handler)
    {
        const quint64 size = bySize[first].size;
        bool hasPackage = false;
        bool readsFile = false;
        const std::size_t firstPlan = reads.plans.size();
        for (std::size_t i = first; i < last; ++i) {
            // Files lie all over memory: the next ones are fetched while this
            // one is planned.
            if (i + 8 < bySize.size())
                handler.upcoming(bySize[i + 8].item);
            if (i + 4 < bySize.size())
                handler.upcomingRow(bySize[i + 4].item);
            const std::size_t item = bySize[i].item;
            Plan plan;
            plan.item = quint32(item);
            if (files_.hasPath(item)) {
                const bool isPackage = files_.isDirectory(item);
                hasPackage = hasPackage || isPackage;
                const ScanCache::Entry* stored = handler.stored(item);
                if (const DigestText* known = handler.known(item)) {
                    plan.digest = *known;
                    plan.known = true;
                } else if (stored && stored->hasDigest) {
                    plan.digest = DigestText(stored->digest);
                    plan.known = plan.fromCache = true;
                } else {
                    plan.work = isPackage ? Plan::package : Plan::file;
                    readsFile = readsFile || !isPackage;
                }
                if (stored && stored->hasHead) {
                    plan.head = stored->head;
                    plan.headRead = true;
                }
            }
            reads.plans.push_back(std::move(plan));
        }
        // A package's digest is not a file digest, so its first block says
        // nothing; with one in the group every file is read in full.
        const bool byHead = readsFile && !hasPackage && size > quint64(firstBlockBytes);
        reads.addSizeGroup(firstPlan, reads.plans.size(), byHead);
    }

    // False when Stop came first.
    template <class Handler> bool take(DigestReads& reads, std::size_t index, Handler& handler)
    {
        if (index + 8 < reads.plans.size())
            handler.upcoming(reads.plans[index + 8].item);
        const std::size_t item = reads.plans[index].item;
        observer_.updateFileScannedCountAndSize(false);
        if (!files_.hasPath(item))
            return true;
        // The label shows where the comparison is, not every file it
        // passes: making each path's text costs more than placing the file.
        if (index % pathLabelEvery == 0)
            observer_.showScanPathLabel(files_.path(item));
        if (c_.abort_ || !reads.waitFor(index))
            return false;
        Plan& plan = reads.plans[index];
        handler.ready(plan);
        plan.digest = DigestText();
        return true;
    }

    Comparison& c_;
    ComparisonObserver& observer_;
    const ScanFileFacts& files_;
};

// The content road for full records: each record joins its group as soon as
// the sieve hands it on.
class Comparison::ContentRoad {
public:
    ContentRoad(Comparison& comparison, const ComparisonCriteria& criteria)
        : c_(comparison)
        , observer_(comparison.observer_ ? *comparison.observer_ : silentObserver())
        , matcher_(criteria)
        , book_(matcher_)
    {
    }

    // Records whose digests a sieve of their own read and counted already
    // count only as duplicates here.
    void setCountedAlready() { counted_ = true; }

    std::vector<DuplicateGroupPtr> run(
        const std::vector<FileInfoNodePtr>& records, qint64 minimumSizeSetting, quint64 minimumBytes)
    {
        records_ = &records;
        const RecordFileFacts files(records);
        Sieve(c_, files).run(minimumSizeSetting, minimumBytes, *this);
        savePending();
        return book_.takeGroups(c_.keepGroupsOfOne_);
    }

    // The sieve's handler.
    void planning(std::size_t) { }
    const DigestText* known(std::size_t item) const
    {
        const FileInfoNode& record = *(*records_)[item];
        return record.isMd5Calucaluted ? &record.md5 : nullptr;
    }
    const ScanCache::Entry* stored(std::size_t item) const
    {
        return c_.cache_ ? c_.cache_->currentEntry(*(*records_)[item]) : nullptr;
    }
    void planned() { }
    void upcoming(std::size_t item) const { __builtin_prefetch((*records_)[item].get()); }
    void upcomingRow(std::size_t item) const
    {
        if (c_.cache_)
            c_.cache_->prefetch(*(*records_)[item]);
    }
    void alone(std::size_t item)
    {
        countCompared();
        observer_.showScanPathWithProgress((*records_)[item]->filePath.value_or(QString()));
    }
    void sizeGroupBegins() { firstGroup_ = book_.groupCount(); }
    void sizeGroupEnds()
    {
        // With sizes in the meeting keys no later record, all of them
        // larger, can join the groups of a size group once it is done.
        if (matcher_.criteria().bMatchFileSize)
            book_.close(firstGroup_);
    }
    void ready(DigestPlan& plan)
    {
        const FileInfoNodePtr& record = (*records_)[plan.item];
        if (plan.fromCache && !record->isMd5Calucaluted) {
            record->md5 = plan.digest;
            record->isMd5Calucaluted = true;
        }
        if (plan.distinct) {
            settle(record, std::nullopt, {});
        } else {
            DigestText digest;
            if (record->isMd5Calucaluted) {
                digest = record->md5;
            } else {
                digest = std::exchange(plan.digest, DigestText());
                record->isMd5Calucaluted = true;
            }
            if (!digest.isEmpty()) {
                record->md5 = digest;
                CriteriaMatcher::Keys keys = matcher_.keysOf(*record);
                const std::optional<Key> key = matcher_.meetingKey(record->md5, *record, keys);
                settle(record, key, std::move(keys));
            }
        }
        pending_.push_back(record);
        pendingHeads_.push_back(plan.byHead && plan.headRead ? std::optional(plan.head) : std::nullopt);
        if (pending_.size() == digestBatchSize)
            savePending();
    }

private:
    using Key = CriteriaMatcher::MeetingKey;

    void countCompared()
    {
        if (counted_)
            return;
        ++c_.counters_.countProcessed;
        ++c_.counters_.countCompared;
    }

    // Joins the first fitting group under key, or starts one there.
    void settle(const FileInfoNodePtr& record, const std::optional<Key>& key, CriteriaMatcher::Keys keys)
    {
        ScanCounters& counters = c_.counters_;
        const std::optional<std::size_t> fit = key ? book_.findFit(*key, *record, keys) : std::nullopt;
        countCompared();
        if (fit) {
            ++counters.countDup;
            counters.sizeDup += record->fileSize;
            book_.join(*fit, record, std::move(keys));
        } else {
            book_.start(record, std::move(keys), key);
        }
        observer_.updateFileScannedCountAndSize(false);
    }

    void savePending()
    {
        if (!pending_.empty() && c_.saveDigests_)
            c_.saveDigests_(pending_, pendingHeads_);
        pending_.clear();
        pendingHeads_.clear();
    }

    Comparison& c_;
    ComparisonObserver& observer_;
    CriteriaMatcher matcher_;
    GroupBook book_;
    const std::vector<FileInfoNodePtr>* records_ = nullptr;
    std::size_t firstGroup_ = 0;
    bool counted_ = false;
    std::vector<FileInfoNodePtr> pending_;
    std::vector<std::optional<BlockDigest>> pendingHeads_;
};

// The content road's reading for files kept compactly: only the digests are
// kept, and only the files whose digest another file shares come out.
class Comparison::Sifter {
public:
    Sifter(Comparison& comparison, const ScanFileFacts& files, ScanCache* cache, SaveItemDigests save)
        : c_(comparison)
        , observer_(comparison.observer_ ? *comparison.observer_ : silentObserver())
        , files_(files)
        , cache_(cache)
        , save_(std::move(save))
        , headFromCache_(cache ? files.count() : 0)
    {
    }

    Sifted run(qint64 minimumSizeSetting, quint64 minimumBytes)
    {
        Sifted sifted;
        sifted.stopped = !Sieve(c_, files_).run(minimumSizeSetting, minimumBytes, *this);
        savePending();
        // Equal digests side by side, then the files of runs of two or more
        // back in found order.
        std::sort(found_.begin(), found_.end(), [this](const Found& a, const Found& b) {
            const int order = compare(a, b);
            return order < 0 || (order == 0 && a.item < b.item);
        });
        std::vector<std::size_t> shared;
        for (std::size_t first = 0, last = 0; first < found_.size(); first = last) {
            last = first + 1;
            while (last < found_.size() && compare(found_[last], found_[first]) == 0)
                ++last;
            if (last - first > 1) {
                for (std::size_t i = first; i < last; ++i)
                    shared.push_back(i);
            }
        }
        std::sort(shared.begin(), shared.end(),
            [this](std::size_t a, std::size_t b) { return found_[a].item < found_[b].item; });
        sifted.items.reserve(shared.size());
        sifted.digests.reserve(shared.size());
        for (std::size_t i : shared) {
            const Found& found = found_[i];
            sifted.items.push_back(found.item);
            sifted.digests.push_back(found.text ? texts_[found.text - 1] : DigestText(found.bytes));
        }
        return sifted;
    }

    // The sieve's handler.
    void planning(std::size_t count) { found_.reserve(count); }
    const DigestText* known(std::size_t) const { return nullptr; }
    const ScanCache::Entry* stored(std::size_t item)
    {
        const ScanCache::Entry* row = cache_ ? cache_->currentEntry(item) : nullptr;
        if (row && row->hasHead)
            headFromCache_[item] = true;
        return row;
    }
    // What the rows held is in the plans now: what a file's row lacks is
    // told by the plan, and the row is written whole from it.
    void planned()
    {
        if (cache_)
            cache_->releaseLookups();
    }
    void upcoming(std::size_t item) const { files_.prefetch(item); }
    void upcomingRow(std::size_t item) const
    {
        if (cache_)
            cache_->prefetch(item);
    }
    void alone(std::size_t item)
    {
        countCompared();
        observer_.showScanPathWithProgress(files_.path(item));
    }
    void sizeGroupBegins() { }
    void sizeGroupEnds() { }
    void ready(DigestPlan& plan)
    {
        const Md5Bytes* bytes = plan.digest.bytes();
        // A file whose first block no other file of its size has, or whose
        // digest could not be read, can be nobody's duplicate.
        if (plan.distinct) {
            countCompared();
        } else if (!plan.digest.isEmpty()) {
            countCompared();
            Found found { bytes ? *bytes : Md5Bytes {}, plan.item, 0 };
            if (!bytes) {
                texts_.push_back(plan.digest);
                found.text = quint32(texts_.size());
            }
            found_.push_back(found);
        }
        observer_.updateFileScannedCountAndSize(false);
        // Only what the cache does not hold yet waits for its writer, with
        // what the row keeps besides.
        const bool newDigest = bytes && !plan.fromCache;
        const bool newHead = plan.headRead && !(cache_ && headFromCache_[plan.item]);
        if (newDigest || newHead) {
            pending_.push_back(ScanCache::NewDigest { plan.item, bytes ? std::optional(*bytes) : std::nullopt,
                plan.headRead ? std::optional(plan.head) : std::nullopt });
        }
        if (pending_.size() == digestBatchSize)
            savePending();
    }

private:
    // A file's digest: its bytes, or for a digest kept as text (a
    // package's) the text's place in texts_ plus one.
    struct Found {
        Md5Bytes bytes;
        quint32 item;
        quint32 text;
    };

    int compare(const Found& a, const Found& b) const
    {
        if ((a.text != 0) != (b.text != 0))
            return a.text != 0 ? 1 : -1;
        if (a.text != 0)
            return texts_[a.text - 1].value().compare(texts_[b.text - 1].value());
        // In the order of the bytes, as two big-endian words.
        for (std::size_t at = 0; at < a.bytes.size(); at += sizeof(quint64)) {
            const quint64 x = qFromBigEndian<quint64>(a.bytes.data() + at);
            const quint64 y = qFromBigEndian<quint64>(b.bytes.data() + at);
            if (x != y)
                return x < y ? -1 : 1;
        }
        return 0;
    }

    void countCompared()
    {
        ++c_.counters_.countProcessed;
        ++c_.counters_.countCompared;
    }

    void savePending()
    {
        if (!pending_.empty() && save_)
            save_(std::move(pending_));
        pending_ = {};
    }

    Comparison& c_;
    ComparisonObserver& observer_;
    const ScanFileFacts& files_;
    ScanCache* cache_;
    SaveItemDigests save_;
    // The files whose first-block digest came from the cache.
    std::vector<bool> headFromCache_;
    std::vector<Found> found_;
    std::vector<DigestText> texts_;
    std::vector<ScanCache::NewDigest> pending_;
};

Comparison::Comparison(const FileHasher& hasher, ScanCounters& counters, const std::atomic<bool>& abort)
    : hasher_(hasher)
    , counters_(counters)
    , abort_(abort)
    , hashingThreads_(std::max(QThread::idealThreadCount(), 1))
{
}

void Comparison::setHashingThreads(int threads)
{
    hashingThreads_ = std::clamp(threads, 1, std::max(QThread::idealThreadCount(), 1));
}

std::vector<DuplicateGroupPtr> Comparison::searchDuplicateLocalFiles(
    const std::vector<FileInfoNodePtr>& records, ScanSource source, const ComparisonSettings& settings)
{
    (observer_ ? *observer_ : silentObserver()).showSearchingDuplicatesLabel();
    if (settings.compareContent)
        return groupFilesBySizeAndMd5(records, settings.criteria, settings.minimumSizeOption, settings.minimumBytes);
    return groupFilesByCriteria(records, source, settings.criteria, settings.minimumSizeOption, settings.minimumBytes);
}

std::vector<DuplicateGroupPtr> Comparison::groupFilesBySizeAndMd5(const std::vector<FileInfoNodePtr>& records,
    const ComparisonCriteria& criteria, qint64 minimumSizeSetting, quint64 minimumBytes)
{
    return ContentRoad(*this, criteria).run(records, minimumSizeSetting, minimumBytes);
}

Comparison::Sifted Comparison::siftFilesBySizeAndMd5(
    const ScanFileFacts& files, ScanCache* cache, qint64 minimumSizeSetting, quint64 minimumBytes, SaveItemDigests save)
{
    (observer_ ? *observer_ : silentObserver()).showSearchingDuplicatesLabel();
    return Sifter(*this, files, cache, std::move(save)).run(minimumSizeSetting, minimumBytes);
}

std::vector<DuplicateGroupPtr> Comparison::groupSiftedRecords(const std::vector<FileInfoNodePtr>& records,
    const ComparisonCriteria& criteria, qint64 minimumSizeSetting, quint64 minimumBytes)
{
    ContentRoad road(*this, criteria);
    road.setCountedAlready();
    return road.run(records, minimumSizeSetting, minimumBytes);
}

std::vector<DuplicateGroupPtr> Comparison::groupFilesByCriteria(const std::vector<FileInfoNodePtr>& records,
    ScanSource source, const ComparisonCriteria& criteria, qint64 minimumSizeSetting, quint64 minimumBytes)
{
    ComparisonObserver& observer = observer_ ? *observer_ : silentObserver();
    const CriteriaMatcher matcher(criteria);
    GroupBook book(matcher);
    const bool isLocal = source == ScanSource::thisComputer || source == ScanSource::lightroomCatalog;
    const bool isThisComputer = source == ScanSource::thisComputer;
    for (const FileInfoNodePtr& record : records) {
        if (abort_)
            break;
        ++counters_.countProcessed;
        if (!isLocal) {
            ++counters_.countCompared;
            if (record->cloud && record->cloud->googleDriveFile && record->cloud->googleDriveFile->isFolder())
                continue;
        }
        // The minimum holds for every member, the first of a group too, so
        // the groups do not depend on the order the files were met in. Only
        // the missing setting (-1) means no minimum here; another negative
        // option admits no file.
        const bool mayTakePart = !isThisComputer || minimumSizeSetting == -1
            || (minimumSizeSetting >= 0 && record->fileSize > minimumBytes);
        if (!mayTakePart)
            continue;
        CriteriaMatcher::Keys keys = matcher.keysOf(*record);
        const std::optional<CriteriaMatcher::MeetingKey> key = matcher.meetingKey(DigestText(), *record, keys);
        if (const auto fit = key ? book.findFit(*key, *record, keys) : std::nullopt) {
            ++counters_.countDup;
            counters_.sizeDup += record->fileSize;
            if (isLocal)
                ++counters_.countCompared;
            book.join(*fit, record, std::move(keys));
            observer.updateFileScannedCountAndSize(true);
            continue;
        }
        book.start(record, std::move(keys), key);
        if (isLocal)
            ++counters_.countCompared;
        observer.updateFileScannedCountAndSize(true);
        observer.showScanPathWithProgress(record->filePath.value_or(QString()));
    }
    return book.takeGroups(keepGroupsOfOne_);
}

qint64 Comparison::heldBytesOfCloudRecord(const ComparisonSettings& settings, const FileInfoNode& record)
{
    // By checksum: a file is known by the first file of its checksum, in a
    // bit whether another shares it, while the table of checksums is there.
    if (settings.compareContent)
        return RecordIndexTable::bytesPerEntryAtMost + qint64(sizeof(quint32)) + 1;
    return GroupBook::heldBytesPerRecord(settings.criteria, CriteriaMatcher(settings.criteria).keysOf(record));
}

std::vector<DuplicateGroupPtr> Comparison::createMd5DictforCloudDriveFiles(const std::vector<FileInfoNodePtr>& records)
{
    Log::print("createMd5DictforCloudDriveFiles");
    ComparisonObserver& observer = observer_ ? *observer_ : silentObserver();
    // First each file with a checksum is known by the first file of its
    // checksum, in a table of places rather than of the checksums; only the
    // checksums that two files share become groups, in the order their first
    // files came, so that a listing of millions of files without copies
    // makes no group at all.
    constexpr quint32 noChecksum = std::numeric_limits<quint32>::max();
    const std::size_t count = std::min<std::size_t>(records.size(), noChecksum);
    std::vector<quint32> firstOf(count, noChecksum);
    std::vector<bool> shared(count, false);
    std::size_t end = 0;
    {
        RecordIndexTable checksums;
        for (; end < count; ++end) {
            if (abort_)
                break;
            const FileInfoNodePtr& record = records[end];
            if (!record)
                continue;
            ++counters_.countProcessed;
            ++counters_.countCompared;
            observer.showScanPathLabel(record->filePath.value_or(QString()));
            if (record->md5 && !record->md5->isEmpty()) {
                const std::optional<quint32> first = checksums.findOrInsert(RecordIndexTable::hashOf(record->md5),
                    quint32(end), [&](quint32 place) { return records[place]->md5 == record->md5; });
                firstOf[end] = first.value_or(quint32(end));
                if (first)
                    shared[*first] = true;
            }
            observer.updateFileScannedCountAndSize(true);
        }
    }
    std::vector<DuplicateGroupPtr> groups;
    for (std::size_t place = 0; place < end; ++place) {
        const quint32 first = firstOf[place];
        if (first == noChecksum || !shared[first])
            continue;
        const FileInfoNodePtr& record = records[place];
        if (first == place) {
            // A group's first file: from now on it is known by its group.
            firstOf[place] = quint32(groups.size());
            addFileToGroup(groups.emplace_back(std::make_shared<DuplicateGroup>()), record);
            continue;
        }
        ++counters_.countDup;
        counters_.sizeDup += record->fileSize;
        addFileToGroup(groups[firstOf[first]], record);
    }
    return groups;
}
