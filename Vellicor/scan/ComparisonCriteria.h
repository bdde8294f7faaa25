#pragma once

#include "core/FileInfoNode.h"

#include <QString>
#include <QStringView>
#include <QVariantList>

#include <optional>
#include <vector>

class UserDefaults;

// The optional criteria a comparison applies on top of content (or alone, when
// content is ignored).
struct ComparisonCriteria {
    // -1 no name criterion, 0 same name, 1 similar name.
    int bMatchSimilarFileName = -1;
    bool bMatchFileSize = false;
    bool bMatchCreateDate = false;
    bool bMatchModDate = false;

    // "search_options" as stored: a list of integers, 1 same name, 2 similar
    // name, 3 same size, 4 same creation date, 5 same modification date. Other
    // values, and items that are no integers, are ignored; of the two name
    // options the later one counts.
    static ComparisonCriteria fromSearchOptions(const QVariantList& searchOptions);

    bool operator==(const ComparisonCriteria&) const = default;
};

// What a comparison reads of the settings, read once when a scan starts.
struct ComparisonSettings {
    ComparisonCriteria criteria; // "search_options"
    bool compareContent = true; // "search_content" is 1
    // "excludeDuplicateLessSizeInKB" as readMinimumDuplicateSize gives it: the
    // option (-1 when there is none) and the minimum in bytes it stands for.
    qint64 minimumSizeOption = -1;
    quint64 minimumBytes = 0;
};

// Every value through the store's typed reads, so a value of another type
// reads as its registered default.
ComparisonSettings readComparisonSettings(const UserDefaults& defaults);

// True when both names, reduced to their last path component without
// extension and lower-cased, agree in more than 90 % of their user-perceived
// characters position by position (2k / (p + q) > 0.9). Characters compare
// under canonical equivalence; lower-casing is the full Unicode mapping,
// independent of the locale. Two empty names are not similar.
bool isSimilarFileName(const QString& first, const QString& second);

// True when a and b pass every criterion that is on: equal sizes; the same
// name without extension, ignoring case (false when either name is missing);
// similar names (passes when either name is missing); equal creation and
// modification dates (each passes when either date is missing).
bool isMatchingByCriteria(const ComparisonCriteria& criteria, const FileInfoNode& a, const FileInfoNode& b);

// The matching work of isMatchingByCriteria with each record's name prepared
// once, for comparisons that test one record against many.
class CriteriaMatcher {
public:
    // A name split into user-perceived characters.
    struct Characters {
        QString text;
        std::vector<qsizetype> bounds; // one more than there are characters
        qsizetype count() const { return qsizetype(bounds.size()) - 1; }
        QStringView at(qsizetype i) const { return QStringView(text).mid(bounds[i], bounds[i + 1] - bounds[i]); }
    };
    // What the active name criterion needs of a record.
    struct Keys {
        std::optional<QString> sameName;
        std::optional<Characters> characters;
    };

    explicit CriteriaMatcher(const ComparisonCriteria& criteria)
        : criteria_(criteria)
    {
    }

    const ComparisonCriteria& criteria() const { return criteria_; }
    Keys keysOf(const FileInfoNode& record) const;
    bool matches(const FileInfoNode& a, const Keys& aKeys, const FileInfoNode& b, const Keys& bKeys) const;

    // Criteria that are plain equalities of the size and the same-name key;
    // two records with equal keys always match under them.
    bool isDecidedByEquality() const;
    // The key under which records that can match each other meet: the digest
    // (none on the attribute road), then the size and the same-name key when
    // those criteria are on. The size is held as a number, so that a key of
    // digest and size makes no text.
    struct MeetingKey {
        DigestText digest;
        std::optional<quint64> size;
        QString rest;
        bool operator==(const MeetingKey&) const = default;
    };
    // None when the record can match nothing (same-name criterion, no name).
    std::optional<MeetingKey> meetingKey(const DigestText& digest, const FileInfoNode& record, const Keys& keys) const;

    static Characters charactersOf(const QString& name);
    static bool areSimilar(const Characters& first, const Characters& second);
    // Texts of which two similar names always share at least one, so that
    // candidates are found by lookup rather than by testing every name.
    static std::vector<QString> similarityKeys(const Characters& name);
    // For each length m of the names that similarityKeys has keys for: m, the
    // number of blocks it is cut into, and the text units those blocks hold.
    template <typename Visit> static void forEachKeyLength(const Characters& name, const Visit& visit)
    {
        const qsizetype n = name.count();
        for (qsizetype m = 9 * n / 11 + 1; m <= n; ++m)
            visit(m, m / 10 + 1, name.bounds[m]);
    }

private:
    ComparisonCriteria criteria_;
};

size_t qHash(const CriteriaMatcher::MeetingKey& key, size_t seed = 0);
