#pragma once

#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "scan/ComparisonCriteria.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVarLengthArray>

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

struct DigestKey {
    Md5Bytes bytes;
    quint64 size = 0; // when the size criterion is on
    bool operator==(const DigestKey&) const = default;
};

size_t qHash(const DigestKey& key, size_t seed = 0);

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
    using Key = CriteriaMatcher::MeetingKey;

    explicit GroupBook(const CriteriaMatcher& matcher);

    std::optional<std::size_t> findFit(
        const Key& key, const FileInfoNode& record, const CriteriaMatcher::Keys& keys) const;

    void join(std::size_t g, const FileInfoNodePtr& record, CriteriaMatcher::Keys keys);

    // A group under key, or one that nothing can join when there is none.
    void start(const FileInfoNodePtr& record, CriteriaMatcher::Keys keys, const std::optional<Key>& key);

    // What the book holds for a record at most, keys being the record's as
    // the matcher makes them: the entry of a group of its own, filed under a
    // meeting key of its own when the criteria tell records apart by key,
    // with the indexes of its dates and, for similar names, the similarity
    // keys of its name, which grow with the name's length. The group a
    // second member makes is counted by the caller.
    static qint64 heldBytesPerRecord(const ComparisonCriteria& criteria, const CriteriaMatcher::Keys& keys);

    std::size_t groupCount() const { return entries_.size(); }

    // The groups from first on can take no more members: their keys and
    // index go, the groups stay.
    void close(std::size_t first);

    // With keepGroupsOfOne false only the groups of two or more come back.
    std::vector<DuplicateGroupPtr> takeGroups(bool keepGroupsOfOne);

private:
    bool isPlain(const Key& key) const;
    static DigestKey plainKey(const Key& key);

    // A date as the criteria compare it: the instant, to the millisecond.
    using DateKey = std::optional<qint64>;
    using Signature = std::pair<DateKey, DateKey>;

    static DateKey dateKey(const std::optional<QDateTime>& date);

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
        Indexes& more();
        const Indexes& read() const;
    };

    void anchor(Bucket& bucket, std::size_t g, const CriteriaMatcher::Characters& characters);

    // The first group, in creation order, that a named record may join.
    std::optional<std::size_t> findSimilar(const Bucket& bucket, const FileInfoNode& record,
        const CriteriaMatcher::Keys& keys, const DateKey& created, const DateKey& modified) const;

    bool namesFit(std::size_t g, const FileInfoNode& record, const CriteriaMatcher::Keys& keys) const;

    // Each group stands under its full signature and under each of its
    // dates alone, for records that have only one of the two.
    void indexDates(Bucket& bucket, std::size_t g, bool add = true);

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
