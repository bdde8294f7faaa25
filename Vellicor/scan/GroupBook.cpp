#include "scan/GroupBook.h"

#include "scan/ListingGuard.h"

#include <algorithm>

namespace {

// What a node of nodeBytes takes in a hash table of Qt's: its place in a
// span's storage, which a span fills to two thirds after the table has
// doubled, and its share of the spans' offsets, the table at most three
// quarters empty.
qint64 hashNodeBytes(qint64 nodeBytes)
{
    return nodeBytes * 3 / 2 + 4;
}

} // namespace

size_t qHash(const DigestKey& key, size_t seed)
{
    return qHashBits(key.bytes.data(), key.bytes.size(), seed) ^ ::qHash(key.size, seed);
}

GroupBook::GroupBook(const CriteriaMatcher& matcher)
    : matcher_(matcher)
    , createdOn_(matcher.criteria().bMatchCreateDate)
    , modifiedOn_(matcher.criteria().bMatchModDate)
    , namesDecided_(matcher.criteria().bMatchSimilarFileName != 1)
    , keepsKeys_(!namesDecided_ || createdOn_ || modifiedOn_ || matcher.criteria().bMatchFileSize)
    , plainKeys_(namesDecided_ && !createdOn_ && !modifiedOn_)
{
}

std::optional<std::size_t> GroupBook::findFit(
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

void GroupBook::join(std::size_t g, const FileInfoNodePtr& record, CriteriaMatcher::Keys keys)
{
    Entry& entry = entries_[g];
    if (!entry.group) {
        entry.group = std::make_shared<DuplicateGroup>();
        // Most groups are pairs.
        entry.group->children.reserve(2);
        entry.group->filterChildren.reserve(2);
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

void GroupBook::start(const FileInfoNodePtr& record, CriteriaMatcher::Keys keys, const std::optional<Key>& key)
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

qint64 GroupBook::heldBytesPerRecord(const ComparisonCriteria& criteria, const CriteriaMatcher::Keys& keys)
{
    const bool similarNames = criteria.bMatchSimilarFileName == 1;
    const bool dates = criteria.bMatchCreateDate || criteria.bMatchModDate;
    // The entries' blocks of 512 bytes, and the pointer to each.
    constexpr qint64 perBlock = 512 / sizeof(Entry);
    qint64 bytes = (heapBlockBytes(512) + qint64(sizeof(void*)) + perBlock - 1) / perBlock;
    // A key kept with the group, and its bucket in the index: a node of
    // the key and the bucket, with room for the index's spans and their
    // growth, and the bucket's list of groups.
    const bool keyPerRecord = criteria.bMatchFileSize || criteria.bMatchSimilarFileName == 0;
    if (similarNames || dates || criteria.bMatchFileSize)
        bytes += heapBlockBytes(sizeof(Key));
    if (keyPerRecord)
        bytes += hashNodeBytes(sizeof(Key) + sizeof(Bucket));
    if (keys.sameName)
        bytes += heldBytesOfText(*keys.sameName);
    if (!similarNames && !dates)
        return bytes;
    bytes += heapBlockBytes(sizeof(Extra));
    if (keyPerRecord)
        bytes += heapBlockBytes(sizeof(Bucket::Indexes) + 16);
    // Each index of dates, under a date (or two) of the record's own, in
    // a set of its own.
    const auto dateIndex = [](qint64 keyBytes) {
        return heapBlockBytes(32 + keyBytes + sizeof(std::set<std::size_t>)) + heapBlockBytes(32 + sizeof(std::size_t));
    };
    if (criteria.bMatchCreateDate && criteria.bMatchModDate)
        bytes += dateIndex(sizeof(Signature));
    if (criteria.bMatchCreateDate)
        bytes += dateIndex(sizeof(DateKey));
    if (criteria.bMatchModDate)
        bytes += dateIndex(sizeof(DateKey));
    if (!similarNames)
        return bytes;
    // The name's keys kept beside the member, twice while their list
    // grows; its characters; and, when it is a group's first named
    // member, each similarity key with its list of groups. The keys'
    // texts are counted from their lengths, at most as the allocator
    // rounds them, without making them: a long name has many.
    bytes += 2 * heapBlockBytes(sizeof(CriteriaMatcher::Keys));
    if (const std::optional<CriteriaMatcher::Characters>& characters = keys.characters) {
        bytes += heldBytesOfText(characters->text)
            + heapBlockBytes(qint64(characters->bounds.capacity() * sizeof(qsizetype)));
        const qint64 perKey = hashNodeBytes(sizeof(QString) + sizeof(std::vector<std::size_t>))
            + heapBlockBytes(sizeof(std::size_t)) + 15;
        CriteriaMatcher::forEachKeyLength(*characters, [&](qsizetype m, qsizetype blocks, qsizetype units) {
            // "m:b:" with the block's number at its longest, and the
            // terminating character.
            const qint64 prefix = QString::number(m).size() + QString::number(blocks).size() + 3;
            bytes += blocks * (heapBlockBytes(qint64(sizeof(QArrayData)) + prefix * 2) + perKey) + 2 * units;
        });
    }
    return bytes;
}

void GroupBook::close(std::size_t first)
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

std::vector<DuplicateGroupPtr> GroupBook::takeGroups(bool keepGroupsOfOne)
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

bool GroupBook::isPlain(const Key& key) const
{
    return plainKeys_ && key.rest.isNull() && key.digest.bytes();
}

DigestKey GroupBook::plainKey(const Key& key)
{
    return DigestKey { *key.digest.bytes(), key.size.value_or(0) };
}

GroupBook::DateKey GroupBook::dateKey(const std::optional<QDateTime>& date)
{
    return date ? DateKey(date->toMSecsSinceEpoch()) : std::nullopt;
}

GroupBook::Bucket::Indexes& GroupBook::Bucket::more()
{
    if (!indexes)
        indexes = std::make_shared<Indexes>();
    return *indexes;
}

const GroupBook::Bucket::Indexes& GroupBook::Bucket::read() const
{
    static const Indexes none;
    return indexes ? *indexes : none;
}

void GroupBook::anchor(Bucket& bucket, std::size_t g, const CriteriaMatcher::Characters& characters)
{
    entries_[g].x->anchored = true;
    std::erase(bucket.more().unnamed, g);
    for (const QString& key : CriteriaMatcher::similarityKeys(characters))
        bucket.more().bySimilarityKey[key].push_back(g);
}

std::optional<std::size_t> GroupBook::findSimilar(const Bucket& bucket, const FileInfoNode& record,
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
    const auto agrees = [](const DateKey& mine, const DateKey& group) { return !mine || !group || *mine == *group; };
    for (std::size_t g : candidates) {
        const Entry& entry = entries_[g];
        if (agrees(created, entry.x->created) && agrees(modified, entry.x->modified) && namesFit(g, record, keys))
            return g;
    }
    return std::nullopt;
}

bool GroupBook::namesFit(std::size_t g, const FileInfoNode& record, const CriteriaMatcher::Keys& keys) const
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

void GroupBook::indexDates(Bucket& bucket, std::size_t g, bool add)
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
