#include "scan/ComparisonCriteria.h"

#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"

#include <QTextBoundaryFinder>

namespace {

// The name without its extension; a leading dot starts a name, not an
// extension.
QString deletingPathExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    return dot > slash + 1 ? name.left(dot) : name;
}

QString lastPathComponent(const QString& name)
{
    QString trimmed = name;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

// Lower-cased (full mapping, no locale) and composed, so that canonically
// equivalent texts become equal strings.
QString comparable(const QString& text)
{
    return text.toLower().normalized(QString::NormalizationForm_C);
}

template <typename Date> bool datesAgree(const Date& a, const Date& b)
{
    return !a || !b || *a == *b;
}

} // namespace

ComparisonCriteria ComparisonCriteria::fromSearchOptions(const QVariantList& searchOptions)
{
    ComparisonCriteria criteria;
    for (const QVariant& item : searchOptions) {
        switch (Setting::toInteger(item).value_or(0)) {
        case 1:
            criteria.bMatchSimilarFileName = 0;
            break;
        case 2:
            criteria.bMatchSimilarFileName = 1;
            break;
        case 3:
            criteria.bMatchFileSize = true;
            break;
        case 4:
            criteria.bMatchCreateDate = true;
            break;
        case 5:
            criteria.bMatchModDate = true;
            break;
        default:
            break;
        }
    }
    return criteria;
}

ComparisonSettings readComparisonSettings(const UserDefaults& defaults)
{
    ComparisonSettings settings;
    settings.criteria = ComparisonCriteria::fromSearchOptions(
        defaults.arrayValue(QLatin1String(SettingsKey::searchOptions)).value_or(QVariantList()));
    settings.compareContent = defaults.integerValue(QLatin1String(SettingsKey::searchContent)) == 1;
    const auto [bytes, option] = readMinimumDuplicateSize(defaults);
    settings.minimumSizeOption = option;
    settings.minimumBytes = static_cast<quint64>(bytes);
    return settings;
}

CriteriaMatcher::Characters CriteriaMatcher::charactersOf(const QString& name)
{
    Characters characters;
    characters.text = comparable(deletingPathExtension(lastPathComponent(name)));
    characters.bounds.push_back(0);
    if (characters.text.isEmpty())
        return characters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, characters.text);
    while (finder.toNextBoundary() > 0)
        characters.bounds.push_back(finder.position());
    return characters;
}

bool CriteriaMatcher::areSimilar(const Characters& first, const Characters& second)
{
    const qsizetype p = first.count();
    const qsizetype q = second.count();
    if (p + q == 0)
        return false;
    qsizetype k = 0;
    for (qsizetype i = 0; i < std::min(p, q); ++i) {
        if (first.at(i) == second.at(i))
            ++k;
    }
    // 2k / (p + q) > 0.9 without rounding.
    return 20 * k > 9 * (p + q);
}

// Two similar names of p <= q characters have 11p > 9q and differ in fewer
// than p / 10 of the first p positions. So for m = p the first m positions,
// cut into m / 10 + 1 blocks, hold one block on which both agree. Each name
// offers the blocks of every m it could be the shorter or the longer one for.
std::vector<QString> CriteriaMatcher::similarityKeys(const Characters& name)
{
    std::vector<QString> keys;
    forEachKeyLength(name, [&](qsizetype m, qsizetype blocks, qsizetype) {
        const QString length = QString::number(m);
        for (qsizetype b = 0; b < blocks; ++b) {
            const qsizetype from = name.bounds[b * m / blocks];
            const qsizetype to = name.bounds[(b + 1) * m / blocks];
            const QString block = QString::number(b);
            // Made at its length: the keys are many and kept.
            QString& key = keys.emplace_back();
            key.reserve(length.size() + block.size() + 2 + to - from);
            key.append(length).append(QLatin1Char(':')).append(block).append(QLatin1Char(':'));
            key.append(QStringView(name.text).mid(from, to - from));
        }
    });
    return keys;
}

CriteriaMatcher::Keys CriteriaMatcher::keysOf(const FileInfoNode& record) const
{
    Keys keys;
    if (!record.fileName)
        return keys;
    if (criteria_.bMatchSimilarFileName == 0)
        keys.sameName = comparable(deletingPathExtension(*record.fileName));
    else if (criteria_.bMatchSimilarFileName == 1)
        keys.characters = charactersOf(*record.fileName);
    return keys;
}

bool CriteriaMatcher::matches(const FileInfoNode& a, const Keys& aKeys, const FileInfoNode& b, const Keys& bKeys) const
{
    if (criteria_.bMatchFileSize && a.fileSize != b.fileSize)
        return false;
    if (criteria_.bMatchSimilarFileName == 0
        && (!aKeys.sameName || !bKeys.sameName || *aKeys.sameName != *bKeys.sameName))
        return false;
    if (criteria_.bMatchSimilarFileName == 1 && aKeys.characters && bKeys.characters
        && !areSimilar(*aKeys.characters, *bKeys.characters))
        return false;
    if (criteria_.bMatchCreateDate && !datesAgree(a.createDate, b.createDate))
        return false;
    if (criteria_.bMatchModDate && !datesAgree(a.modDate, b.modDate))
        return false;
    return true;
}

bool CriteriaMatcher::isDecidedByEquality() const
{
    return criteria_.bMatchSimilarFileName != 1 && !criteria_.bMatchCreateDate && !criteria_.bMatchModDate;
}

std::optional<CriteriaMatcher::MeetingKey> CriteriaMatcher::meetingKey(
    const DigestText& digest, const FileInfoNode& record, const Keys& keys) const
{
    MeetingKey key { digest, std::nullopt, QString() };
    if (criteria_.bMatchFileSize)
        key.size = record.fileSize;
    if (criteria_.bMatchSimilarFileName == 0) {
        if (!keys.sameName)
            return std::nullopt;
        key.rest = *keys.sameName;
    }
    return key;
}

size_t qHash(const CriteriaMatcher::MeetingKey& key, size_t seed)
{
    return qHash(key.digest, seed) ^ qHash(key.rest, seed) ^ qHash(key.size.value_or(0), seed);
}

bool isSimilarFileName(const QString& first, const QString& second)
{
    return CriteriaMatcher::areSimilar(CriteriaMatcher::charactersOf(first), CriteriaMatcher::charactersOf(second));
}

bool isMatchingByCriteria(const ComparisonCriteria& criteria, const FileInfoNode& a, const FileInfoNode& b)
{
    const CriteriaMatcher matcher(criteria);
    return matcher.matches(a, matcher.keysOf(a), b, matcher.keysOf(b));
}
