#include "core/CommonFuncs.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(SizeText, FollowsTheDecimalUnitTable)
{
    const std::pair<double, const char*> table[] = {
        { 0, "0 bytes" },
        { 512, "512 bytes" },
        { 999, "999 bytes" },
        { 1000, "1.00 KB" },
        { 1500, "1.50 KB" },
        { 999999, "1000.00 KB" },
        { 1234567, "1.23 MB" },
        { 2e9, "2.00 GB" },
        { 1e12, "1.00 TB" },
        { 999e12, "999.00 TB" },
        { 1e15, "1000.00 TB" },
        { 2.5e18, "2500000.00 TB" },
    };
    for (const auto& [bytes, text] : table)
        EXPECT_EQ(getSizeInUnits(bytes), QString::fromLatin1(text)) << bytes;
    EXPECT_EQ(getSizeInUnits(std::numeric_limits<quint64>::max()), QStringLiteral("18446744.07 TB"));
}

TEST(SizeText, ValuesThatAreNoNumberReadAsZeroBytes)
{
    EXPECT_EQ(getSizeInUnits(QVariant()), QStringLiteral("0 bytes"));
    EXPECT_EQ(getSizeInUnits(QVariant(QStringLiteral("1234"))), QStringLiteral("0 bytes"));
    EXPECT_EQ(getSizeInUnits(std::nan("")), QStringLiteral("0 bytes"));
    EXPECT_EQ(getSizeInUnits(QVariant::fromValue<qulonglong>(2000000000ULL)), QStringLiteral("2.00 GB"));
    EXPECT_EQ(getSizeInUnits(QVariant(1500)), QStringLiteral("1.50 KB"));
}

TEST(EscapeRegex, EverySpecialCharacterGetsOneBackslash)
{
    EXPECT_EQ(
        escapeRegexCharacters(QStringLiteral("/Users/me/a.b (x)")), QStringLiteral("\\/Users\\/me\\/a\\.b \\(x\\)"));
    EXPECT_EQ(escapeRegexCharacters(QStringLiteral("^|()[]{}$*?.\"/\\+")),
        QStringLiteral("\\^\\|\\(\\)\\[\\]\\{\\}\\$\\*\\?\\.\\\"\\/\\\\\\+"));
    EXPECT_EQ(
        escapeRegexCharacters(QStringLiteral("my-folder_ünïcode 写真")), QStringLiteral("my-folder_ünïcode 写真"));
}

TEST(EscapeRegex, EscapedPathMatchesOnlyItselfInAnExpression)
{
    const QString path = QStringLiteral("/home/a+b/[draft] (v1.0)/cost$?*.^{2}|\"q\"\\x");
    const QRegularExpression literal(QStringLiteral("^") + escapeRegexCharacters(path) + QStringLiteral("$"));
    ASSERT_TRUE(literal.isValid()) << literal.errorString().toStdString();
    EXPECT_TRUE(literal.match(path).hasMatch());
    EXPECT_FALSE(literal.match(QStringLiteral("/home/aab/[draft] (v1.0)/cost$?*.^{2}|\"q\"\\x")).hasMatch());
}

TEST(DatePatterns, TranslateToQtNotation)
{
    const std::pair<const char*, const char*> table[] = {
        { "MMM dd, yyyy hh:mm:ss a", "MMM dd, yyyy hh:mm:ss AP" },
        { "yyyy:MM:dd HH:mm:ss", "yyyy:MM:dd HH:mm:ss" },
        { "dd/MM/yyyy hh:mm a", "dd/MM/yyyy hh:mm AP" },
        { "yyyy-MM-dd'T'HH:mm:ss.SSZ", "yyyy-MM-dd'T'HH:mm:ss.zt" },
        { "EEEE d MMMM yy", "dddd d MMMM yy" },
        { "h 'o''clock' a", "h 'o''clock' AP" },
        { "HH''mm", "HH''mm" },
        { "G yyyy", " yyyy" },
    };
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

TEST_F(DateTextTest, AbsentOrInvalidDatesGiveNoText)
{
    EXPECT_EQ(dateTimeText(std::nullopt), std::nullopt);
    EXPECT_EQ(dateTimeText(QDateTime()), std::nullopt);
    EXPECT_EQ(formattedDateText(std::nullopt, QStringLiteral("yyyy")), std::nullopt);
}

TEST_F(DateTextTest, FormatsInTheLocalZoneWithTheGivenPattern)
{
    const QDateTime date = local(2017, 8, 7, 16, 16, 30).toUTC();
    EXPECT_EQ(dateTimeText(date), QStringLiteral("Aug 07, 2017 04:16:30 PM"));
    EXPECT_EQ(formattedDateText(date, QStringLiteral("dd/MM/yyyy hh:mm a")), QStringLiteral("07/08/2017 04:16 PM"));
    EXPECT_EQ(formattedDateText(date, QStringLiteral("MMM dd yyyy")), QStringLiteral("Aug 07 2017"));
}

TEST_F(DateTextTest, DateTextsReadBackToTheSameSecond)
{
    const QString pattern = QString::fromLatin1(dateTimeTextPattern);
    for (const QDateTime& date :
        { local(2001, 1, 1, 0, 0, 0), local(2023, 12, 31, 23, 59, 59), local(2020, 2, 29, 12, 30, 1) }) {
        const std::optional<QString> text = dateTimeText(date);
        ASSERT_TRUE(text);
        EXPECT_EQ(parseDateInTimeZone(text, pattern, std::nullopt), date.toUTC()) << text->toStdString();
        const std::optional<QString> exif = formattedDateText(date, QString::fromLatin1(exifDatePattern));
        EXPECT_EQ(dateFromExifText(exif), date.toUTC()) << exif->toStdString();
    }
}

TEST_F(DateTextTest, ExifDatesAreLocalTimesAndBadTextsGiveNoDate)
{
    EXPECT_EQ(dateFromExifText(QStringLiteral("2021:06:30 14:05:09")), local(2021, 6, 30, 14, 5, 9).toUTC());
    EXPECT_EQ(dateFromExifText(std::nullopt), std::nullopt);
    EXPECT_EQ(dateFromExifText(QStringLiteral("0000:00:00 00:00:00")), std::nullopt);
    EXPECT_EQ(dateFromExifText(QStringLiteral("2021-06-30 14:05:09")), std::nullopt);
    EXPECT_EQ(dateFromExifText(QString()), std::nullopt);
}

TEST_F(DateTextTest, ServiceDatesHonourTheirZone)
{
    const QString graph = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.SSZ");
    const QDateTime utc(QDate(2017, 8, 7), QTime(16, 16, 30, 120), QTimeZone::utc());
    EXPECT_EQ(parseDateInTimeZone(QStringLiteral("2017-08-07T16:16:30.12Z"), graph, QStringLiteral("UTC")), utc);
    // A zone in the text wins over the one named by the caller.
    EXPECT_EQ(parseDateInTimeZone(QStringLiteral("2017-08-07T18:16:30.12+02:00"), graph, QStringLiteral("UTC")), utc);

    const QString plain = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const QString text = QStringLiteral("2017-08-07 16:16:30");
    EXPECT_EQ(parseDateInTimeZone(text, plain, QStringLiteral("GMT")), utc.addMSecs(-120));
    EXPECT_EQ(parseDateInTimeZone(text, plain, QStringLiteral("EST")), utc.addMSecs(-120).addSecs(5 * 3600));
    EXPECT_EQ(parseDateInTimeZone(text, plain, QStringLiteral("NO-SUCH-ZONE")), local(2017, 8, 7, 16, 16, 30).toUTC());
    EXPECT_EQ(parseDateInTimeZone(QStringLiteral("yesterday"), plain, QStringLiteral("UTC")), std::nullopt);
    EXPECT_EQ(parseDateInTimeZone(std::nullopt, plain, QStringLiteral("UTC")), std::nullopt);
}

TEST_F(DateTextTest, ServiceDatesIgnoreTheUsersLocaleDigits)
{
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    EXPECT_EQ(parseDateInTimeZone(
                  QStringLiteral("2017-08-07 16:16:30"), QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("UTC")),
        QDateTime(QDate(2017, 8, 7), QTime(16, 16, 30), QTimeZone::utc()));
}

TEST(RunningApplications, ThePhotoApplicationNeverRunsHere)
{
    EXPECT_FALSE(isApplicationRunning(QStringLiteral("org.example.Photos")));
    EXPECT_FALSE(isApplicationRunning(QString()));
}
