#include "scan/ComparisonCriteria.h"
#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "support/TempHome.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

FileInfoNode named(const char* name)
{
    FileInfoNode record;
    if (name)
        record.fileName = QString::fromUtf8(name);
    return record;
}

ComparisonCriteria criteriaOf(std::initializer_list<int> options)
{
    QVariantList list;
    for (int option : options)
        list.append(option);
    return ComparisonCriteria::fromSearchOptions(list);
}

} // namespace

// Under a Turkish locale, so that lower casing is seen not to depend on it.
TEST(SimilarFileName, ComparesLastComponentsWithoutExtensionByUserPerceivedCharacters)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    const struct {
        QString a, b;
        bool similar;
    } cases[] = {
        { "report", "reports", true }, // 12/13
        { "image1", "image2", false }, // 10/12
        { "xreport", "report", false }, // every position shifted
        { "", "", false },
        { "abcdefghi", "abcdefghij", true }, // 18/19
        { "abcdefghij", "abcdefghiX", false }, // exactly 0.9 is not enough
        { "/a/b/Quarterly Report.PDF", "/c/quarterly reports.txt", true },
        { ".profile", ".profile", true }, // a leading dot is no extension
        { "a.txt", "b.txt", false },
        { "ISTANBUL TRIP", "istanbul trip", true },
        // A composed and a decomposed é are one and the same character.
        { QString::fromUtf8("caf\u00e9"), QString::fromUtf8("cafe\u0301"), true },
        // q with a dot above has no composed form; counted in code units, every
        // later position would be shifted by one.
        { QString::fromUtf8("q\u0307uarterlyreport"), "quarterlyreport", true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(isSimilarFileName(c.a, c.b), c.similar) << c.a.toStdString() << " ~ " << c.b.toStdString();
    QLocale::setDefault(saved);
}

TEST(MatchingByCriteria, SameNameIgnoresCaseAndExtensionAndFailsWithoutAName)
{
    const auto sameName = criteriaOf({ 1 });
    EXPECT_TRUE(isMatchingByCriteria(sameName, named("a.txt"), named("A.TXT")));
    EXPECT_TRUE(isMatchingByCriteria(sameName, named("Notes.md"), named("notes.txt")));
    EXPECT_TRUE(isMatchingByCriteria(sameName, named("archive.tar.gz"), named("ARCHIVE.tar.bz2")));
    EXPECT_FALSE(isMatchingByCriteria(sameName, named("a.txt"), named("b.txt")));
    EXPECT_FALSE(isMatchingByCriteria(sameName, named("a.txt"), named(nullptr)));
    EXPECT_FALSE(isMatchingByCriteria(sameName, named(nullptr), named(nullptr)));
}

TEST(MatchingByCriteria, SimilarNameAndDatesPassWhenEitherSideIsMissing)
{
    const auto similar = criteriaOf({ 2 });
    EXPECT_TRUE(isMatchingByCriteria(similar, named("report.doc"), named(nullptr)));
    EXPECT_TRUE(isMatchingByCriteria(similar, named("report.doc"), named("Reports.doc")));
    EXPECT_FALSE(isMatchingByCriteria(similar, named("report.doc"), named("summary.doc")));

    const auto dates = criteriaOf({ 4, 5 });
    FileInfoNode a = named("a");
    FileInfoNode b = named("b");
    a.createDate = QDateTime::fromSecsSinceEpoch(1000, Qt::UTC);
    a.modDate = QDateTime::fromSecsSinceEpoch(2000, Qt::UTC);
    EXPECT_TRUE(isMatchingByCriteria(dates, a, b));
    b.createDate = a.createDate;
    b.modDate = a.modDate->addSecs(1);
    EXPECT_FALSE(isMatchingByCriteria(dates, a, b));
    b.modDate = a.modDate;
    EXPECT_TRUE(isMatchingByCriteria(dates, a, b));
}

TEST(SearchOptions, TheLaterNameOptionWinsAndUnknownValuesTurnNothingOn)
{
    EXPECT_EQ(criteriaOf({ 1, 2 }).bMatchSimilarFileName, 1);
    EXPECT_EQ(criteriaOf({ 2, 1 }).bMatchSimilarFileName, 0);
    const auto mixed
        = ComparisonCriteria::fromSearchOptions(QVariantList { 0, 6, -1, QStringLiteral("4"), 3, 2.5, QVariant() });
    EXPECT_TRUE(mixed.bMatchFileSize);
    EXPECT_FALSE(mixed.bMatchCreateDate);
    EXPECT_EQ(mixed.bMatchSimilarFileName, -1);
}

TEST(SearchSettings, MistypedValuesReadAsTheirRegisteredDefaults)
{
    TempHome home;
    UserDefaults defaults(home.path());
    registerDefaultSettings(defaults);
    const ComparisonSettings registered = readComparisonSettings(defaults);
    EXPECT_EQ(registered.criteria, criteriaOf({ 3 }));
    EXPECT_TRUE(registered.compareContent);
    EXPECT_EQ(registered.minimumSizeOption, 1);

    defaults.setValue(QLatin1String(SettingsKey::searchOptions), QStringLiteral("1,3"));
    defaults.setValue(QLatin1String(SettingsKey::searchContent), 1.0);
    defaults.setValue(QLatin1String(SettingsKey::excludeDuplicateLessSizeInKB), 2.0);
    const ComparisonSettings mistyped = readComparisonSettings(defaults);
    EXPECT_EQ(mistyped.criteria, registered.criteria);
    EXPECT_EQ(mistyped.compareContent, registered.compareContent);
    // The same reading as every other reader of the option.
    EXPECT_EQ(std::pair(qint64(mistyped.minimumBytes), mistyped.minimumSizeOption), readMinimumDuplicateSize(defaults));
    EXPECT_EQ(mistyped.minimumSizeOption, 1);

    defaults.setValue(QLatin1String(SettingsKey::searchContent), 2);
    defaults.setValue(QLatin1String(SettingsKey::excludeDuplicateLessSizeInKB), 3);
    const ComparisonSettings stored = readComparisonSettings(defaults);
    EXPECT_FALSE(stored.compareContent);
    EXPECT_EQ(stored.minimumBytes, 10000u);
}
