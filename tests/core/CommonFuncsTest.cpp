#include "core/CommonFuncs.h"
#include "core/TextFormat.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(SizeText, FollowsTheDecimalUnitTableAndRoundsAsPrintfDoes)
{
    const std::pair<QVariant, const char*> table[] = { { 0, "0 bytes" }, { 999, "999 bytes" }, { 1000, "1.00 KB" },
        { 1125, "1.12 KB" }, // the exact binary value of 1.125 is a half: to even
        { 1135, "1.14 KB" }, // 1.135 is stored a little above
        { 999999, "1000.00 KB" }, { 1234567, "1.23 MB" }, { 1e15, "1000.00 TB" },
        { QVariant::fromValue<qulonglong>(2000000000ULL), "2.00 GB" }, { QVariant(), "0 bytes" },
        { QStringLiteral("1234"), "0 bytes" }, { std::nan(""), "0 bytes" } };
    for (const auto& [bytes, text] : table)
        EXPECT_EQ(getSizeInUnits(bytes), QString::fromLatin1(text)) << text;
    const std::tuple<double, int, int, const char*> fixed[] = { { -0.125, 2, 0, "-0.12" }, { -0.0, 2, 0, "-0.00" },
        { 72.25, 1, 0, "72.2" }, { 72.35, 1, 0, "72.3" }, { 2.5, 0, 4, "   2" }, { 12345.678, 2, 4, "12345.68" } };
    for (const auto& [value, precision, width, text] : fixed)
        EXPECT_EQ(formatFixed(value, precision, width), QString::fromLatin1(text)) << value;
}

TEST(EscapeRegex, EscapedPathMatchesOnlyItselfInAnExpression)
{
    EXPECT_EQ(escapeRegexCharacters(QStringLiteral("/a.b (x)-ü")), QStringLiteral("\\/a\\.b \\(x\\)-ü"));
    const QString path = QStringLiteral("/home/a+b/[draft] (v1.0)/cost$?*.^{2}|\"q\"\\x");
    const QRegularExpression literal(QStringLiteral("^") + escapeRegexCharacters(path) + QStringLiteral("$"));
    ASSERT_TRUE(literal.isValid()) << literal.errorString().toStdString();
    EXPECT_TRUE(literal.match(path).hasMatch());
    EXPECT_FALSE(literal.match(QStringLiteral("/home/aab/[draft] (v1.0)/cost$?*.^{2}|\"q\"\\x")).hasMatch());
}

TEST(DatePatterns, TranslateToQtNotation)
{
    const std::pair<const char*, const char*> table[] = { { "MMM dd, yyyy hh:mm:ss a", "MMM dd, yyyy hh:mm:ss AP" },
        { "yyyy-MM-dd'T'HH:mm:ss.SSZ", "yyyy-MM-dd'T'HH:mm:ss.zt" }, { "EEEE d MMMM yy", "dddd d MMMM yy" },
        { "h 'o''clock' a G", "h 'o''clock' AP " } };
    for (const auto& [unicode, qt] : table)
        EXPECT_EQ(qtDateFormat(QString::fromLatin1(unicode)), QString::fromLatin1(qt)) << unicode;
}

namespace {

struct DateTextTest : ::testing::Test {
    QLocale saved;
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(saved); }
    static QDateTime local(int y, int mo, int d, int h, int mi, int s)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
    }
};

} // namespace

TEST_F(DateTextTest, DateTextsReadBackToTheSameSecond)
{
    EXPECT_EQ(dateTimeText(std::nullopt), std::nullopt);
    EXPECT_EQ(dateTimeText(local(2017, 8, 7, 16, 16, 30)), QStringLiteral("Aug 07, 2017 04:16:30 PM"));
    const QString pattern = QString::fromLatin1(dateTimeTextPattern);
    for (const QDateTime& date : { local(2001, 1, 1, 0, 0, 0), local(2020, 2, 29, 12, 30, 1) }) {
        const std::optional<QString> text = dateTimeText(date);
        EXPECT_EQ(parseDateInTimeZone(text, pattern, std::nullopt), date.toUTC());
        const std::optional<QString> exif = formattedDateText(date, QString::fromLatin1(exifDatePattern));
        EXPECT_EQ(dateFromExifText(exif), date.toUTC());
    }
    EXPECT_EQ(dateFromExifText(QStringLiteral("0000:00:00 00:00:00")), std::nullopt);
    EXPECT_EQ(dateFromExifText(QStringLiteral("2021-06-30 14:05:09")), std::nullopt);
}

TEST_F(DateTextTest, ServiceDatesReadAbbreviationsAsTheirRegions)
{
    const QString plain = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const QString july = QStringLiteral("2017-07-07 16:16:30");
    const QDateTime utc(QDate(2017, 7, 7), QTime(16, 16, 30), QTimeZone::utc());
    const std::pair<const char*, int> table[] = { { "UTC", 0 }, { "GMT", 0 }, { "PST", -7 }, { "PDT", -7 },
        { "EST", -4 }, { "CDT", -5 }, { "BST", 1 }, { "CEST", 2 }, { "JST", 9 }, { "pst", -7 } };
    for (const auto& [zone, hours] : table)
        EXPECT_EQ(parseDateInTimeZone(july, plain, QString::fromLatin1(zone)), utc.addSecs(-hours * 3600)) << zone;
    EXPECT_EQ(parseDateInTimeZone(QStringLiteral("2017-01-07 16:16:30"), plain, QStringLiteral("PST")),
        QDateTime(QDate(2017, 1, 7), QTime(16, 16, 30), QTimeZone::utc()).addSecs(8 * 3600));
    EXPECT_EQ(parseDateInTimeZone(july, plain, QStringLiteral("XYZT")), local(2017, 7, 7, 16, 16, 30).toUTC());

    // A zone in the text wins; the user's locale does not change the digits.
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    const QString graph = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.SSZ");
    EXPECT_EQ(parseDateInTimeZone(QStringLiteral("2017-07-07T18:16:30.12+02:00"), graph, QStringLiteral("UTC")),
        utc.addMSecs(120));
    EXPECT_EQ(parseDateInTimeZone(QStringLiteral("yesterday"), plain, QStringLiteral("UTC")), std::nullopt);
}

TEST(RunningApplications, MatchesARunningProgramWhateverItsCase)
{
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    ASSERT_FALSE(self.isEmpty());
    EXPECT_TRUE(isApplicationRunning(self.toUpper()));
    EXPECT_FALSE(isApplicationRunning(self + QStringLiteral(".not-running")));
    EXPECT_FALSE(isApplicationRunning(QString()));
}
