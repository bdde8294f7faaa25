#include "core/SettingsSchema.h"
#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "core/FileCategories.h"
#include "support/TempHome.h"

#include "EnglishTexts.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <limits>

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

struct SettingsSchemaTest : EnglishTexts {
    TempHome home;
    QString folder = home.configHome() + QStringLiteral("/Vellicor");
    UserDefaults defaults { folder };

    void SetUp() override
    {
        EnglishTexts::SetUp();
        fillBuiltInExtensionLists();
        registerDefaultSettings(defaults);
    }
};

} // namespace

TEST_F(SettingsSchemaTest, RegistrationWritesNothingAndReplacesNoStoredValue)
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    UserDefaults fresh(folder);
    registerDefaultSettings(fresh);
    const std::optional<QDateTime> date = fresh.dateValue(key(SettingsKey::scanFileForModifiedDate));
    ASSERT_TRUE(date);
    EXPECT_GE(*date, before);
    EXPECT_FALSE(fresh.object(key(SettingsKey::lastScanStatus)).isValid());
    EXPECT_FALSE(QFileInfo::exists(fresh.filePath()));

    defaults.setValue(key(SettingsKey::minimumFileSize), 40);
    ASSERT_TRUE(defaults.synchronize());
    UserDefaults restarted(folder);
    registerDefaultSettings(restarted);
    EXPECT_EQ(restarted.integerValue(key(SettingsKey::minimumFileSize)), 40);
    EXPECT_EQ(restarted.integerValue(key(SettingsKey::maximumFileSize)), 5);
}

TEST_F(SettingsSchemaTest, MinimumDuplicateSizeOptionMapsToDecimalBytes)
{
    const std::vector<std::pair<QVariant, std::pair<qint64, qint64>>> cases {
        { 1, { 0, 1 } },
        { 2, { 1000, 2 } },
        { 3, { 10000, 3 } },
        { 7, { 0, 7 } },
        // Another type reads as the registered option.
        { QStringLiteral("2"), { 0, 1 } },
        { true, { 0, 1 } },
        { 2.0, { 0, 1 } },
    };
    for (const auto& [stored, expected] : cases) {
        defaults.setValue(key(SettingsKey::excludeDuplicateLessSizeInKB), stored);
        EXPECT_EQ(readMinimumDuplicateSize(defaults), expected) << stored.toString().toStdString();
    }
    UserDefaults unregistered(home.path() + QStringLiteral("/elsewhere"));
    EXPECT_EQ(readMinimumDuplicateSize(unregistered), (std::pair<qint64, qint64> { 0, -1 }));
}

TEST_F(SettingsSchemaTest, ScanHistoryGrowsOldestFirstAndSurvivesARestart)
{
    defaults.setValue(key(SettingsKey::lastScanStatus), QStringLiteral("garbage"));
    const quint64 hugeSize = std::numeric_limits<quint64>::max();
    appendScanHistoryRecord(3, 3000, defaults);
    appendScanHistoryRecord(-1, hugeSize, defaults);

    UserDefaults restarted(folder);
    const QVariantList history = restarted.arrayValue(key(SettingsKey::lastScanStatus)).value_or(QVariantList());
    ASSERT_EQ(history.size(), 2);
    const QVariantMap first = history[0].toMap();
    const QVariantMap second = history[1].toMap();
    EXPECT_EQ(Setting::toInteger(first.value(QStringLiteral("dupCount"))), 3);
    EXPECT_EQ(Setting::toUnsigned(first.value(QStringLiteral("dupSize"))), 3000u);
    EXPECT_EQ(Setting::toInteger(second.value(QStringLiteral("dupCount"))), -1);
    EXPECT_EQ(Setting::toUnsigned(second.value(QStringLiteral("dupSize"))), hugeSize);
    EXPECT_LE(*Setting::toDate(first.value(QStringLiteral("scantime"))),
        *Setting::toDate(second.value(QStringLiteral("scantime"))));
}

// Two programs on one settings folder (the window and a scan run from the
// command line) each add the records of their scans: the file keeps them all,
// each saved before its call returns.
TEST_F(SettingsSchemaTest, ScanHistoryKeepsTheRecordsAnotherProgramAddedMeanwhile)
{
    appendScanHistoryRecord(1, 10, defaults);
    UserDefaults other(folder);
    registerDefaultSettings(other);
    appendScanHistoryRecord(2, 20, other);
    appendScanHistoryRecord(3, 30, defaults);
    appendScanHistoryRecord(4, 40, other);

    QList<qint64> counts;
    for (const QVariant& record : UserDefaults(folder).arrayValue(key(SettingsKey::lastScanStatus)).value_or(QVariantList()))
        counts.append(Setting::toInteger(record.toMap().value(QStringLiteral("dupCount"))).value_or(-1));
    EXPECT_EQ(counts, (QList<qint64> { 1, 2, 3, 4 }));
}

TEST(ExtensionFilterLabel, EndsEveryPatternWithASemicolon)
{
    EXPECT_EQ(extensionFilterLabel(QStringLiteral("Music"), { QStringLiteral("mp3"), QStringLiteral("audio cd") }),
        QStringLiteral("Music (*.mp3;*.audio cd;)"));
    EXPECT_EQ(extensionFilterLabel(QStringLiteral("%d %@"), {}), QStringLiteral("%d %@ ()"));
}
