#include "scan/Comparison.h"

#include "base/Log.h"
#include "scan/ScanCache.h"

#include <QHash>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <thread>

namespace {

ComparisonObserver& silentObserver()
{
    static ComparisonObserver none;
    return none;
}

// Runs job(0) … job(count - 1) on up to `threads` threads, the calling thread
// among them, and returns when all are done.
void runConcurrently(std::size_t count, int threads, const std::function<void(std::size_t)>& job)
{
    if (count == 0)
        return;
    std::atomic<std::size_t> next { 0 };
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            job(i);
    };
    const std::size_t helperCount = std::min(std::size_t(std::max(threads, 1) - 1), count - 1);
    std::vector<std::jthread> helpers;
    helpers.reserve(helperCount);
    for (std::size_t h = 0; h < helperCount; ++h)
        helpers.emplace_back(work);
    work();
}

// The groups of one comparison in order of creation, indexed by meeting key:
// a record can only match the members of groups under its own key, so only
// those are searched, in creation order, for the first group all of whose
// members match.
//
// Dates need no member-by-member test: a record joins a group only when its
// date agrees with every member's that has one, so all the dated members of a
// group share one date per date criterion. That date (or none) is the group's
// date signature; a dated record can join only groups whose signature holds
// its date or no date, and those are found through indexes by signature. Only
// similar names are left to test member by member.
class GroupBook {
public:
    explicit GroupBook(const CriteriaMatcher& matcher)
        : matcher_(matcher)
        , createdOn_(matcher.criteria().bMatchCreateDate)
        , modifiedOn_(matcher.criteria().bMatchModDate)
        , namesDecided_(matcher.criteria().bMatchSimilarFileName != 1)
    {
    }

    std::optional<std::size_t> findFit(
        const QString& key, const FileInfoNode& record, const CriteriaMatcher::Keys& keys) const
    {
        const auto bucket = index_.constFind(key);
        if (bucket == index_.constEnd())
            return std::nullopt;
        const DateKey created = createdOn_ ? dateKey(record.createDate) : std::nullopt;
        const DateKey modified = modifiedOn_ ? dateKey(record.modDate) : std::nullopt;

        // The sets of groups a record with these dates may join, each in
        // creation order.
        std::vector<const std::set<std::size_t>*> sets;
        const auto add = [&sets](const auto& map, const auto& signature) {
            if (const auto found = map.find(signature); found != map.end())
                sets.push_back(&found->second);
        };
        if (created && modified) {
            for (const DateKey& c : { created, DateKey() })
                for (const DateKey& m : { modified, DateKey() })
                    add(bucket->bySignature, Signature { c, m });
        } else if (created) {
            add(bucket->byCreated, created);
            add(bucket->byCreated, DateKey());
        } else if (modified) {
            add(bucket->byModified, modified);
            add(bucket->byModified, DateKey());
        } else {
            // An undated record passes every date test.
            for (std::size_t g : bucket->all) {
                if (namesFit(g, record, keys))
                    return g;
            }
            return std::nullopt;
        }

        // Walk the sets together in creation order.
        std::vector<std::set<std::size_t>::const_iterator> at;
        for (const auto* set : sets)
            at.push_back(set->begin());
        for (;;) {
            std::optional<std::size_t> next;
            std::size_t from = 0;
            for (std::size_t i = 0; i < sets.size(); ++i) {
                if (at[i] != sets[i]->end() && (!next || *at[i] < *next)) {
                    next = *at[i];
                    from = i;
                }
            }
            if (!next)
                return std::nullopt;
            if (namesFit(*next, record, keys))
                return next;
            ++at[from];
        }
    }

    void join(std::size_t g, const FileInfoNodePtr& record, CriteriaMatcher::Keys keys)
    {
        Entry& entry = entries_[g];
        addFileToGroup(entry.group, record);
        if (!namesDecided_)
            entry.keys.push_back(std::move(keys));
        if (entry.key) {
            // A dated record fills a missing date of the signature.
            const DateKey created = createdOn_ ? dateKey(record->createDate) : std::nullopt;
            const DateKey modified = modifiedOn_ ? dateKey(record->modDate) : std::nullopt;
            if ((created && !entry.created) || (modified && !entry.modified)) {
                Bucket& bucket = index_[*entry.key];
                indexDates(bucket, g, false);
                entry.created = entry.created ? entry.created : created;
                entry.modified = entry.modified ? entry.modified : modified;
                indexDates(bucket, g);
            }
        }
    }

    // A group under key, or one that nothing can join when there is none.
    void start(const FileInfoNodePtr& record, CriteriaMatcher::Keys keys, const std::optional<QString>& key)
    {
        Entry entry { std::make_shared<DuplicateGroup>(), {}, key, std::nullopt, std::nullopt };
        addFileToGroup(entry.group, record);
        if (!namesDecided_)
            entry.keys.push_back(std::move(keys));
        if (createdOn_)
            entry.created = dateKey(record->createDate);
        if (modifiedOn_)
            entry.modified = dateKey(record->modDate);
        const std::size_t g = entries_.size();
        entries_.push_back(std::move(entry));
        if (key) {
            Bucket& bucket = index_[*key];
            bucket.all.push_back(g);
            indexDates(bucket, g);
        }
    }

    std::vector<DuplicateGroupPtr> takeGroups()
    {
        std::vector<DuplicateGroupPtr> groups;
        groups.reserve(entries_.size());
        for (Entry& entry : entries_)
            groups.push_back(std::move(entry.group));
        entries_.clear();
        index_.clear();
        return groups;
    }

private:
    // A date as the criteria compare it: the instant, to the millisecond.
    using DateKey = std::optional<qint64>;
    using Signature = std::pair<DateKey, DateKey>;

    static DateKey dateKey(const std::optional<QDateTime>& date)
    {
        return date ? DateKey(date->toMSecsSinceEpoch()) : std::nullopt;
    }

    struct Entry {
        DuplicateGroupPtr group;
        std::vector<CriteriaMatcher::Keys> keys; // parallel to children, for similar names
        std::optional<QString> key;
        DateKey created;
        DateKey modified;
    };

    struct Bucket {
        std::vector<std::size_t> all;
        std::map<Signature, std::set<std::size_t>> bySignature;
        std::map<DateKey, std::set<std::size_t>> byCreated;
        std::map<DateKey, std::set<std::size_t>> byModified;
    };

    bool namesFit(std::size_t g, const FileInfoNode& record, const CriteriaMatcher::Keys& keys) const
    {
        if (namesDecided_)
            return true;
        const Entry& entry = entries_[g];
        const auto& members = entry.group->children;
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (!matcher_.matches(record, keys, *members[i], entry.keys[i]))
                return false;
        }
        return true;
    }

    // Each group stands under its full signature and under each of its
    // dates alone, for records that have only one of the two.
    void indexDates(Bucket& bucket, std::size_t g, bool add = true)
    {
        const Entry& entry = entries_[g];
        const auto update = [g, add](std::set<std::size_t>& set) { add ? void(set.insert(g)) : void(set.erase(g)); };
        if (createdOn_ && modifiedOn_)
            update(bucket.bySignature[Signature { entry.created, entry.modified }]);
        if (createdOn_)
            update(bucket.byCreated[entry.created]);
        if (modifiedOn_)
            update(bucket.byModified[entry.modified]);
    }

    const CriteriaMatcher& matcher_;
    const bool createdOn_;
    const bool modifiedOn_;
    const bool namesDecided_;
    std::vector<Entry> entries_;
    QHash<QString, Bucket> index_;
};

} // namespace

// The content road. Size groups are visited by ascending size, a window of
// them at a time: the digests a window needs are read first (on the hashing
// threads), then its records join groups one by one in their found order.
class Comparison::ContentRoad {
public:
    ContentRoad(Comparison& comparison, const ComparisonCriteria& criteria)
        : c_(comparison)
        , observer_(comparison.observer_ ? *comparison.observer_ : silentObserver())
        , matcher_(criteria)
        , book_(matcher_)
    {
    }

    std::vector<DuplicateGroupPtr> run(
        const std::vector<FileInfoNodePtr>& records, qint64 minimumSizeSetting, quint64 minimumBytes)
    {
        // The records that take part, ordered by size and then by found order
        // (pointers into records grow with it); a run of one size is a size
        // group.
        std::vector<Sized> bySize;
        bool stopped = false;
        for (const FileInfoNodePtr& record : records) {
            if (c_.abort_) {
                stopped = true;
                break;
            }
            if (minimumSizeSetting < 0 || record->fileSize > minimumBytes)
                bySize.push_back(Sized { record->fileSize, &record });
        }
        std::sort(bySize.begin(), bySize.end());

        for (auto next = bySize.cbegin(); !stopped && next != bySize.cend();) {
            std::vector<SizeGroup> window;
            std::vector<Plan> plans;
            quint64 windowBytes = 0;
            while (next != bySize.cend() && plans.size() < windowRecords && windowBytes < windowReadBytes) {
                const auto end
                    = std::find_if(next, bySize.cend(), [&](const Sized& s) { return s.size != next->size; });
                SizeGroup group { next, end, plans.size() };
                if (group.count() > 1)
                    windowBytes += planSizeGroup(group, plans);
                window.push_back(group);
                next = end;
            }
            readDigests(window, plans);
            stopped = !placeWindow(window, plans);
        }
        savePending();
        return book_.takeGroups();
    }

private:
    static constexpr std::size_t windowRecords = 256;
    static constexpr quint64 windowReadBytes = 256ull << 20;

    enum class Work { none, file, package };

    // What one record of a size group needs before it can join a group.
    struct Plan {
        const FileInfoNodePtr* record = nullptr;
        std::optional<QString> known; // taken as it is: final already, or from the cache
        bool fromCache = false;
        Work work = Work::none;
        bool readsFirstBlock = false;
        std::optional<QString> firstBlock;
        std::optional<QString> digest;
        bool distinct = false; // its first block matches no other file of its size
    };
    struct Sized {
        quint64 size;
        const FileInfoNodePtr* record;
        auto operator<=>(const Sized&) const = default;
    };
    struct SizeGroup {
        std::vector<Sized>::const_iterator begin;
        std::vector<Sized>::const_iterator end;
        std::size_t firstPlan;
        std::size_t count() const { return std::size_t(end - begin); }
        // Plans exist for size groups of two or more only.
        std::size_t planCount() const { return count() > 1 ? count() : 0; }
    };

    // Appends the plans of a size group of two or more; answers the bytes its
    // file reads may cost.
    quint64 planSizeGroup(const SizeGroup& group, std::vector<Plan>& plans)
    {
        const quint64 size = group.begin->size;
        const std::size_t first = plans.size();
        bool hasPackage = false;
        bool readsFile = false;
        quint64 cost = 0;
        for (auto member = group.begin; member != group.end; ++member) {
            const FileInfoNodePtr& record = *member->record;
            Plan plan;
            plan.record = &record;
            if (record->filePath) {
                hasPackage = hasPackage || record->isDirectory;
                if (record->isMd5Calucaluted) {
                    plan.known = record->md5.value_or(QString());
                } else if (c_.cache_ && (plan.known = c_.cache_->cachedDigest(*record))) {
                    plan.fromCache = true;
                } else {
                    plan.work = record->isDirectory ? Work::package : Work::file;
                    readsFile = readsFile || !record->isDirectory;
                    cost += size;
                }
            }
            plans.push_back(std::move(plan));
        }
        // A package's digest is not a file digest, so its first block says
        // nothing; with one in the group every file is read in full.
        if (readsFile && !hasPackage && size > quint64(firstBlockBytes)) {
            for (std::size_t i = first; i < plans.size(); ++i)
                plans[i].readsFirstBlock = takesPart(plans[i]);
        }
        return cost;
    }

    // Whether a record can end in a group at all.
    static bool takesPart(const Plan& plan)
    {
        return (*plan.record)->filePath && (plan.work != Work::none || !plan.known->isEmpty());
    }

    void readDigests(const std::vector<SizeGroup>& window, std::vector<Plan>& plans)
    {
        const FileHasher& hasher = c_.hasher_;
        const std::atomic<bool>& abort = c_.abort_;
        std::vector<std::size_t> jobs;
        for (std::size_t i = 0; i < plans.size(); ++i) {
            if (plans[i].readsFirstBlock)
                jobs.push_back(i);
        }
        runConcurrently(jobs.size(), c_.hashingThreads_, [&](std::size_t k) {
            Plan& plan = plans[jobs[k]];
            if (!abort)
                plan.firstBlock = hasher.md5OfFirstBytes(*(*plan.record)->filePath, firstBlockBytes, abort);
        });
        for (const SizeGroup& group : window)
            markDistinct(plans, group.firstPlan, group.firstPlan + group.planCount());

        jobs.clear();
        for (std::size_t i = 0; i < plans.size(); ++i) {
            if (plans[i].work != Work::none && !plans[i].distinct) {
                jobs.push_back(i);
                // A large file takes long to read: the path label names it
                // while it is read, not only when it joins a group.
                observer_.showScanPathLabel(*(*plans[i].record)->filePath);
            }
        }
        runConcurrently(jobs.size(), c_.hashingThreads_, [&](std::size_t k) {
            Plan& plan = plans[jobs[k]];
            if (abort)
                return;
            const QString& path = *(*plan.record)->filePath;
            plan.digest
                = plan.work == Work::package ? hasher.md5OfPackageContents(path, abort) : hasher.md5OfFile(path, abort);
        });
    }

    // A file whose first block differs from that of every other file of its
    // size cannot share its digest; it needs no full read. Any unread first
    // block leaves every file of the size group to be read in full.
    static void markDistinct(std::vector<Plan>& plans, std::size_t first, std::size_t last)
    {
        QHash<QString, int> seen;
        for (std::size_t i = first; i < last; ++i) {
            if (!plans[i].readsFirstBlock)
                continue;
            if (!plans[i].firstBlock)
                return;
            ++seen[*plans[i].firstBlock];
        }
        for (std::size_t i = first; i < last; ++i) {
            Plan& plan = plans[i];
            plan.distinct = plan.readsFirstBlock && plan.work == Work::file && seen.value(*plan.firstBlock) == 1;
        }
    }

    // False when Stop ended the comparison.
    bool placeWindow(const std::vector<SizeGroup>& window, std::vector<Plan>& plans)
    {
        for (const SizeGroup& group : window) {
            if (c_.abort_)
                return false;
            if (group.count() == 1) {
                const FileInfoNode& record = **group.begin->record;
                ++c_.counters_.countProcessed;
                ++c_.counters_.countCompared;
                observer_.showScanPathWithProgress(record.filePath.value_or(QString()));
                continue;
            }
            for (std::size_t i = group.firstPlan; i < group.firstPlan + group.planCount(); ++i) {
                if (!place(plans[i]))
                    return false;
            }
        }
        return true;
    }

    bool place(Plan& plan)
    {
        const FileInfoNodePtr& record = *plan.record;
        observer_.updateFileScannedCountAndSize(false);
        if (!record->filePath)
            return true;
        observer_.showScanPathLabel(*record->filePath);
        if (c_.abort_)
            return false;
        if (plan.fromCache && !record->isMd5Calucaluted) {
            record->md5 = plan.known;
            record->isMd5Calucaluted = true;
        }
        if (plan.distinct) {
            settle(record, std::nullopt, {});
        } else {
            QString digest;
            if (record->isMd5Calucaluted) {
                digest = record->md5.value_or(QString());
            } else {
                digest = plan.digest.value_or(QString());
                record->isMd5Calucaluted = true;
            }
            if (!digest.isEmpty()) {
                record->md5 = digest;
                CriteriaMatcher::Keys keys = matcher_.keysOf(*record);
                const std::optional<QString> key = matcher_.meetingKey(digest, *record, keys);
                settle(record, key, std::move(keys));
            }
        }
        pending_.push_back(record);
        if (pending_.size() == digestBatchSize)
            savePending();
        return true;
    }

    // Joins the first fitting group under key, or starts one there.
    void settle(const FileInfoNodePtr& record, const std::optional<QString>& key, CriteriaMatcher::Keys keys)
    {
        ScanCounters& counters = c_.counters_;
        const std::optional<std::size_t> fit = key ? book_.findFit(*key, *record, keys) : std::nullopt;
        ++counters.countCompared;
        ++counters.countProcessed;
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
            c_.saveDigests_(pending_);
        pending_.clear();
    }

    Comparison& c_;
    ComparisonObserver& observer_;
    CriteriaMatcher matcher_;
    GroupBook book_;
    std::vector<FileInfoNodePtr> pending_;
};

Comparison::Comparison(const FileHasher& hasher, ScanCounters& counters, const std::atomic<bool>& abort)
    : hasher_(hasher)
    , counters_(counters)
    , abort_(abort)
{
}

void Comparison::setHashingThreads(int threads)
{
    hashingThreads_ = std::clamp(threads, 1, 4);
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
            if (record->googleDriveFile && record->googleDriveFile->isFolder())
                continue;
        }
        CriteriaMatcher::Keys keys = matcher.keysOf(*record);
        const std::optional<QString> key = matcher.meetingKey(QString(), *record, keys);
        if (const auto fit = key ? book.findFit(*key, *record, keys) : std::nullopt) {
            // Only the missing setting (-1) means no minimum here; another
            // negative option admits no file.
            const bool mayJoin = !isThisComputer || minimumSizeSetting == -1
                || (minimumSizeSetting >= 0 && record->fileSize > minimumBytes);
            if (!mayJoin)
                continue;
            ++counters_.countDup;
            counters_.sizeDup += record->fileSize;
            if (isThisComputer)
                ++counters_.countCompared;
            book.join(*fit, record, std::move(keys));
            observer.updateFileScannedCountAndSize(true);
            continue;
        }
        book.start(record, std::move(keys), key);
        if (isThisComputer)
            ++counters_.countCompared;
        observer.updateFileScannedCountAndSize(true);
        observer.showScanPathWithProgress(record->filePath.value_or(QString()));
    }
    return book.takeGroups();
}

std::vector<DuplicateGroupPtr> Comparison::createMd5DictforCloudDriveFiles(const std::vector<FileInfoNodePtr>& records)
{
    Log::print("createMd5DictforCloudDriveFiles");
    ComparisonObserver& observer = observer_ ? *observer_ : silentObserver();
    std::vector<DuplicateGroupPtr> groups;
    QHash<QString, DuplicateGroupPtr> dictMapMD5ToGroup;
    for (const FileInfoNodePtr& record : records) {
        if (abort_)
            break;
        if (!record)
            continue;
        ++counters_.countProcessed;
        ++counters_.countCompared;
        observer.showScanPathLabel(record->filePath.value_or(QString()));
        if (record->md5 && !record->md5->isEmpty()) {
            DuplicateGroupPtr& group = dictMapMD5ToGroup[*record->md5];
            if (!group) {
                group = std::make_shared<DuplicateGroup>();
                groups.push_back(group);
            } else {
                ++counters_.countDup;
                counters_.sizeDup += record->fileSize;
            }
            addFileToGroup(group, record);
        }
        observer.updateFileScannedCountAndSize(true);
    }
    return groups;
}
