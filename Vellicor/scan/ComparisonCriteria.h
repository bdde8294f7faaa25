#pragma once

#include "core/FileInfoNode.h"

#include <QString>
#include <QStringView>
#include <QVariant>

#include <optional>
#include <vector>

// The optional criteria a comparison applies on top of content (or alone, when
// content is ignored). Read once per comparison from the "search_options" value
// the engine copied at scan start.
struct ComparisonCriteria {
    // -1 no name criterion, 0 same name, 1 similar name.
    int bMatchSimilarFileName = -1;
    bool bMatchFileSize = false;
    bool bMatchCreateDate = false;
    bool bMatchModDate = false;

    // "search_options" as stored: a list of integers, 1 same name, 2 similar
    // name, 3 same size, 4 same creation date, 5 same modification date. Other
    // values are ignored; of the two name options the later one counts. A
    // missing value or one of another type turns every criterion off.
    static ComparisonCriteria fromSearchOptions(const QVariant& searchOptions);

    bool operator==(const ComparisonCriteria&) const = default;
};

// An integer setting as stored (integral numbers of any width, also as
// doubles from a JSON store); none for a missing value or another type.
std::optional<qint64> integerSetting(const QVariant& value);

// "search_content" reads as the integer 1: compare by content.
bool isContentSearch(const QVariant& searchContent);

// "excludeDuplicateLessSizeInKB" as the comparison uses it: the stored integer,
// or -1 when it is missing or not an integer.
qint64 minimumSizeSetting(const QVariant& excludeDuplicateLessSizeInKB);
// The minimum duplicate size in bytes for that setting: 1000 for 2, 10000 for
// 3, otherwise 0.
quint64 minimumDuplicateBytes(qint64 minimumSizeSetting);

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
    // The key under which records that can match each other meet: prefix, then
    // the size and the same-name key when those criteria are on. None when the
    // record can match nothing (same-name criterion, no name).
    std::optional<QString> meetingKey(const QString& prefix, const FileInfoNode& record, const Keys& keys) const;

    static Characters charactersOf(const QString& name);
    static bool areSimilar(const Characters& first, const Characters& second);

private:
    ComparisonCriteria criteria_;
};
