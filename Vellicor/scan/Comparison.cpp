#include "scan/Comparison.h"

#include "base/Log.h"
#include "scan/DigestReads.h"
#include "scan/ScanCache.h"

#include <QHash>
#include <QVarLengthArray>

#include <QThread>
#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <set>

namespace {

ComparisonObserver& silentObserver()
{
    static ComparisonObserver none;
    return none;
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
struct DigestKey {
    Md5Bytes bytes;
    quint64 size = 0; // when the size criterion is on
    bool operator==(const DigestKey&) const = default;
};

size_t qHash(const DigestKey& key, size_t seed = 0)
{
    return qHashBits(key.bytes.data(), key.bytes.size(), seed) ^ ::qHash(key.size, seed);
}

class GroupBook {
public:
    using Key = CriteriaMatcher::MeetingKey;

    explicit GroupBook(const CriteriaMatcher& matcher)
        : matcher_(matcher)
        , createdOn_(matcher.criteria().bMatchCreateDate)
        , modifiedOn_(matcher.criteria().bMatchModDate)
        , namesDecided_(matcher.criteria().bMatchSimilarFileName != 1)
        , keepsKeys_(!namesDecided_ || createdOn_ || modifiedOn_ || matcher.criteria().bMatchFileSize)
        , plainKeys_(namesDecided_ && !createdOn_ && !modifiedOn_)
    {
    }

    std::optional<std::size_t> findFit(
        const Key& key, const FileInfoNode& record, const CriteriaMatcher::Keys& keys) const
    {
        if (isPlain(key)) {
            const auto found = plainIndex_.constFind(plainKey(key));
            return found == plainIndex_.constEnd() ? std::nullopt : std::optional<std::size_t>(*found);
        }
        const auto bucket = index_.constFind(key);
        if (bucket == index_.constEnd())
            return std::nullopt;
        const DateKey created = createdOn_ ? dateKey(record.createDate) : std::nullopt;
        const DateKey modified = modifiedOn_ ? dateKey(record.modDate) : std::nullopt;
        if (!namesDecided_ && keys.characters)
            return findSimilar(*bucket, record, keys, created, modified);

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
                    add(bucket->read().bySignature, Signature { c, m });
        } else if (created) {
            add(bucket->read().byCreated, created);
            add(bucket->read().byCreated, DateKey());
        } else if (modified) {
            add(bucket->read().byModified, modified);
            add(bucket->read().byModified, DateKey());
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
        if (!entry.group) {
            entry.group = std::make_shared<DuplicateGroup>();
            addFileToGroup(entry.group, std::exchange(entry.lone, nullptr));
        }
        addFileToGroup(entry.group, record);
        if (!namesDecided_) {
            if (!entry.x->anchored && keys.characters && entry.key)
                anchor(index_[*entry.key], g, *keys.characters);
            entry.x->keys.push_back(std::move(keys));
        }
        if (entry.key) {
            // A dated record fills a missing date of the signature.
            const DateKey created = createdOn_ ? dateKey(record->createDate) : std::nullopt;
            const DateKey modified = modifiedOn_ ? dateKey(record->modDate) : std::nullopt;
            if ((created && !entry.x->created) || (modified && !entry.x->modified)) {
                Bucket& bucket = index_[*entry.key];
                indexDates(bucket, g, false);
                entry.x->created = entry.x->created ? entry.x->created : created;
                entry.x->modified = entry.x->modified ? entry.x->modified : modified;
                indexDates(bucket, g);
            }
        }
    }

    // A group under key, or one that nothing can join when there is none.
    void start(const FileInfoNodePtr& record, CriteriaMatcher::Keys keys, const std::optional<Key>& key)
    {
        Entry entry { nullptr, record, keepsKeys_ && key && !isPlain(*key) ? std::make_unique<Key>(*key) : nullptr,
            !namesDecided_ || createdOn_ || modifiedOn_ ? std::make_unique<Extra>() : nullptr };
        const std::optional<CriteriaMatcher::Characters> characters = namesDecided_ ? std::nullopt : keys.characters;
        if (!namesDecided_)
            entry.x->keys.push_back(std::move(keys));
        if (createdOn_)
            entry.x->created = dateKey(record->createDate);
        if (modifiedOn_)
            entry.x->modified = dateKey(record->modDate);
        const std::size_t g = entries_.size();
        entries_.push_back(std::move(entry));
        if (key && isPlain(*key)) {
            plainIndex_.insert(plainKey(*key), g);
        } else if (key) {
            Bucket& bucket = index_[*key];
            bucket.all.push_back(g);
            indexDates(bucket, g);
            if (characters)
                anchor(bucket, g, *characters);
            else if (!namesDecided_)
                bucket.more().unnamed.push_back(g);
        }
    }

    std::size_t groupCount() const { return entries_.size(); }

    // The groups from first on can take no more members: their keys and
    // index go, the groups stay.
    void close(std::size_t first)
    {
        if (!plainIndex_.isEmpty())
            plainIndex_.removeIf([first](const auto& item) { return item.value() >= first; });
        for (std::size_t g = first; g < entries_.size(); ++g) {
            Entry& entry = entries_[g];
            if (entry.key)
                index_.remove(*std::exchange(entry.key, nullptr));
            if (entry.x)
                entry.x->keys = {};
        }
    }

    // With keepGroupsOfOne false only the groups of two or more come back.
    std::vector<DuplicateGroupPtr> takeGroups(bool keepGroupsOfOne)
    {
        index_.clear();
        plainIndex_.clear();
        std::vector<DuplicateGroupPtr> groups;
        if (keepGroupsOfOne)
            groups.reserve(entries_.size());
        // Each entry goes as its group is made, so the two never add up.
        for (; !entries_.empty(); entries_.pop_front()) {
            Entry& entry = entries_.front();
            if (!entry.group && !keepGroupsOfOne)
                continue;
            if (!entry.group) {
                entry.group = std::make_shared<DuplicateGroup>();
                addFileToGroup(entry.group, entry.lone);
            }
            groups.push_back(std::move(entry.group));
        }
        return groups;
    }

private:
    bool isPlain(const Key& key) const { return plainKeys_ && key.rest.isNull() && key.digest.bytes(); }
    static DigestKey plainKey(const Key& key) { return DigestKey { *key.digest.bytes(), key.size.value_or(0) }; }

    // A date as the criteria compare it: the instant, to the millisecond.
    using DateKey = std::optional<qint64>;
    using Signature = std::pair<DateKey, DateKey>;

    static DateKey dateKey(const std::optional<QDateTime>& date)
    {
        return date ? DateKey(date->toMSecsSinceEpoch()) : std::nullopt;
    }

    // What only similar-name and date criteria need of a group.
    struct Extra {
        std::vector<CriteriaMatcher::Keys> keys; // parallel to children, for similar names
        DateKey created;
        DateKey modified;
        // Filed under the similarity keys of its first named member.
        bool anchored = false;
    };

    struct Entry {
        // Made when a second member joins (most groups of a scan never get
        // one) or when the groups are taken; until then lone is the member.
        DuplicateGroupPtr group;
        FileInfoNodePtr lone;
        // The group's meeting key, kept only while a criterion needs to find
        // its bucket again.
        std::unique_ptr<Key> key;
        std::unique_ptr<Extra> x;
    };

    struct Bucket {
        QVarLengthArray<std::size_t, 1> all;

        // Only date and similar-name criteria need these; most buckets (one
        // per digest on the content road) go without.
        struct Indexes {
            std::map<Signature, std::set<std::size_t>> bySignature;
            std::map<DateKey, std::set<std::size_t>> byCreated;
            std::map<DateKey, std::set<std::size_t>> byModified;
            // Similar names: a record can join a group only when its name is
            // similar to the group's first named member, and similar names
            // share a similarity key; groups without a named member take any
            // record.
            QHash<QString, std::vector<std::size_t>> bySimilarityKey;
            std::vector<std::size_t> unnamed;
        };
        // Made on first use; shared only by copies of the bucket, which the
        // index never makes.
        std::shared_ptr<Indexes> indexes;
        Indexes& more()
        {
            if (!indexes)
                indexes = std::make_shared<Indexes>();
            return *indexes;
        }
        const Indexes& read() const
        {
            static const Indexes none;
            return indexes ? *indexes : none;
        }
    };

    void anchor(Bucket& bucket, std::size_t g, const CriteriaMatcher::Characters& characters)
    {
        entries_[g].x->anchored = true;
        std::erase(bucket.more().unnamed, g);
        for (const QString& key : CriteriaMatcher::similarityKeys(characters))
            bucket.more().bySimilarityKey[key].push_back(g);
    }

    // The first group, in creation order, that a named record may join.
    std::optional<std::size_t> findSimilar(const Bucket& bucket, const FileInfoNode& record,
        const CriteriaMatcher::Keys& keys, const DateKey& created, const DateKey& modified) const
    {
        const Bucket::Indexes& more = bucket.read();
        std::vector<std::size_t> candidates = more.unnamed;
        for (const QString& key : CriteriaMatcher::similarityKeys(*keys.characters)) {
            if (const auto found = more.bySimilarityKey.constFind(key); found != more.bySimilarityKey.constEnd())
                candidates.insert(candidates.end(), found->begin(), found->end());
        }
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        const auto agrees
            = [](const DateKey& mine, const DateKey& group) { return !mine || !group || *mine == *group; };
        for (std::size_t g : candidates) {
            const Entry& entry = entries_[g];
            if (agrees(created, entry.x->created) && agrees(modified, entry.x->modified) && namesFit(g, record, keys))
                return g;
        }
        return std::nullopt;
    }

    bool namesFit(std::size_t g, const FileInfoNode& record, const CriteriaMatcher::Keys& keys) const
    {
        if (namesDecided_)
            return true;
        const Entry& entry = entries_[g];
        if (!entry.group)
            return matcher_.matches(record, keys, *entry.lone, entry.x->keys[0]);
        const auto& members = entry.group->children;
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (!matcher_.matches(record, keys, *members[i], entry.x->keys[i]))
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
            update(bucket.more().bySignature[Signature { entry.x->created, entry.x->modified }]);
        if (createdOn_)
            update(bucket.more().byCreated[entry.x->created]);
        if (modifiedOn_)
            update(bucket.more().byModified[entry.x->modified]);
    }

    const CriteriaMatcher& matcher_;
    const bool createdOn_;
    const bool modifiedOn_;
    const bool namesDecided_;
    const bool keepsKeys_;
    // Only a file digest (and the size, when that criterion is on) decides: a
    // key's first group is the only one it ever gets, so such keys are filed
    // by their bytes alone.
    const bool plainKeys_;
    QHash<DigestKey, std::size_t> plainIndex_;
    std::deque<Entry> entries_; // grows without moving what it holds
    QHash<Key, Bucket> index_;
};

} // namespace

// The content road. Records take part in order of size and, within a size, in
// the order they were found; that order alone decides the groups. The digests
// they need are read ahead of it on the hashing pool, and each record joins
// its group as soon as its own digest (and those before it) are known.
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
        // (their items grow with it); a run of one size is a size group.
        std::vector<Sized> bySize;
        bySize.reserve(records.size());
        for (std::size_t item = 0; item < records.size(); ++item) {
            if (c_.abort_) {
                savePending();
                return book_.takeGroups(c_.keepGroupsOfOne_);
            }
            const quint64 size = records[item]->fileSize;
            if (minimumSizeSetting < 0 || size > minimumBytes)
                bySize.push_back(Sized { size, quint32(item) });
        }
        sortBySize(bySize);

        const RecordFileFacts files(records);
        auto reads = std::make_shared<Reads>(c_.hasher_, c_.abort_, firstBlockBytes, files);
        std::size_t planCount = 0;
        for (std::size_t i = 0; i < bySize.size(); ++i) {
            const bool sharesSize = (i > 0 && bySize[i - 1].size == bySize[i].size)
                || (i + 1 < bySize.size() && bySize[i + 1].size == bySize[i].size);
            planCount += sharesSize ? 1 : 0;
        }
        reads->plans.reserve(planCount);
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
                planSizeGroup(records, bySize, next, end, *reads);
            next = end;
        }
        reads->start(c_.hashingThreads_);

        bool stopped = false;
        std::size_t plan = 0;
        for (std::size_t first = 0, last = 0; first < bySize.size(); first = last) {
            last = endOfSize(first);
            if (stopped || c_.abort_)
                break;
            if (last - first == 1) {
                const FileInfoNode& record = *records[bySize[first].item];
                ++c_.counters_.countProcessed;
                ++c_.counters_.countCompared;
                observer_.showScanPathWithProgress(record.filePath.value_or(QString()));
                continue;
            }
            const std::size_t firstGroup = book_.groupCount();
            for (std::size_t i = first; i < last && !stopped; ++i, ++plan)
                stopped = !place(records, *reads, plan);
            // With sizes in the meeting keys no later record, all of them
            // larger, can join the groups of a size group once it is done.
            if (matcher_.criteria().bMatchFileSize)
                book_.close(firstGroup);
        }
        reads->finish();
        savePending();
        // What the reads and the order held is freed before the groups of
        // one are made.
        reads.reset();
        bySize = {};
        return book_.takeGroups(c_.keepGroupsOfOne_);
    }

private:
    using Key = CriteriaMatcher::MeetingKey;
    using Plan = DigestPlan;
    static constexpr std::size_t pathLabelEvery = 64;
    using Reads = DigestReads;

    struct Sized {
        quint64 size;
        quint32 item;
    };

    // By size, a size's records staying in found order: digit by digit from
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
    void planSizeGroup(const std::vector<FileInfoNodePtr>& records, const std::vector<Sized>& bySize, std::size_t first,
        std::size_t last, Reads& reads)
    {
        const quint64 size = bySize[first].size;
        bool hasPackage = false;
        bool readsFile = false;
        const std::size_t firstPlan = reads.plans.size();
        for (std::size_t i = first; i < last; ++i) {
            // Records lie all over memory: the next ones are fetched while
            // this one is planned.
            if (i + 8 < bySize.size())
                __builtin_prefetch(records[bySize[i + 8].item].get());
            if (c_.cache_ && i + 4 < bySize.size())
                c_.cache_->prefetch(*records[bySize[i + 4].item]);
            const FileInfoNodePtr& record = records[bySize[i].item];
            Plan plan;
            plan.item = bySize[i].item;
            if (record->filePath) {
                hasPackage = hasPackage || record->isDirectory;
                const ScanCache::Entry* stored = c_.cache_ ? c_.cache_->currentEntry(*record) : nullptr;
                if (record->isMd5Calucaluted) {
                    plan.digest = record->md5;
                    plan.known = true;
                } else if (stored && stored->hasDigest) {
                    plan.digest = DigestText(stored->digest);
                    plan.known = plan.fromCache = true;
                } else {
                    plan.work = record->isDirectory ? Plan::package : Plan::file;
                    readsFile = readsFile || !record->isDirectory;
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

    // False when Stop ended the comparison.
    bool place(const std::vector<FileInfoNodePtr>& records, Reads& reads, std::size_t index)
    {
        if (index + 8 < reads.plans.size())
            __builtin_prefetch(records[reads.plans[index + 8].item].get());
        const FileInfoNodePtr& record = records[reads.plans[index].item];
        observer_.updateFileScannedCountAndSize(false);
        if (!record->filePath)
            return true;
        // The label shows where the comparison is, not every file it
        // passes: making each path's text costs more than placing the file.
        if (index % pathLabelEvery == 0)
            observer_.showScanPathLabel(*record->filePath);
        if (c_.abort_ || !reads.waitFor(index))
            return false;
        Plan& plan = reads.plans[index];
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
        plan.digest = DigestText();
        pending_.push_back(record);
        pendingHeads_.push_back(plan.byHead && plan.headRead ? std::optional(plan.head) : std::nullopt);
        if (pending_.size() == digestBatchSize)
            savePending();
        return true;
    }

    // Joins the first fitting group under key, or starts one there.
    void settle(const FileInfoNodePtr& record, const std::optional<Key>& key, CriteriaMatcher::Keys keys)
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
            c_.saveDigests_(pending_, pendingHeads_);
        pending_.clear();
        pendingHeads_.clear();
    }

    Comparison& c_;
    ComparisonObserver& observer_;
    CriteriaMatcher matcher_;
    GroupBook book_;
    std::vector<FileInfoNodePtr> pending_;
    std::vector<std::optional<BlockDigest>> pendingHeads_;
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
        CriteriaMatcher::Keys keys = matcher.keysOf(*record);
        const std::optional<CriteriaMatcher::MeetingKey> key = matcher.meetingKey(DigestText(), *record, keys);
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
    return book.takeGroups(keepGroupsOfOne_);
}

std::vector<DuplicateGroupPtr> Comparison::createMd5DictforCloudDriveFiles(const std::vector<FileInfoNodePtr>& records)
{
    Log::print("createMd5DictforCloudDriveFiles");
    ComparisonObserver& observer = observer_ ? *observer_ : silentObserver();
    std::vector<DuplicateGroupPtr> groups;
    QHash<DigestText, DuplicateGroupPtr> dictMapMD5ToGroup;
    for (const FileInfoNodePtr& record : records) {
        if (abort_)
            break;
        if (!record)
            continue;
        ++counters_.countProcessed;
        ++counters_.countCompared;
        observer.showScanPathLabel(record->filePath.value_or(QString()));
        if (record->md5 && !record->md5->isEmpty()) {
            DuplicateGroupPtr& group = dictMapMD5ToGroup[record->md5];
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
