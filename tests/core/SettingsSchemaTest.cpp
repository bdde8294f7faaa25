#include "core/SettingsSchema.h"
#include "core/FileCategories.h"
#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "support/TempHome.h"

#include "ScopedLanguageTable.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <limits>

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

struct SettingsSchemaTest : ::testing::Test {
    TempHome home;
    ScopedLanguageTable language { QStringLiteral("en"), englishCategoryTexts() };
    QString folder = home.configHome() + QStringLiteral("/Vellicor");
    UserDefaults defaults { folder };

    void SetUp() override
    {
        fillBuiltInExtensionLists();
        registerDefaultSettings(defaults);
    }

    QVariantMap row(const QVariantList& list, qsizetype index) const { return list.at(index).toMap(); }
};

QStringList texts(const QVariant& list)
{
    QStringList out;
    for (const QVariant& item : list.toList())
        out.append(item.toString());
    return out;
}

} // namespace

TEST_F(SettingsSchemaTest, FreshInstallationReadsTheRegisteredDefaultsWithoutWriting)
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    UserDefaults fresh(folder);
    registerDefaultSettings(fresh);
    const QDateTime after = QDateTime::currentDateTimeUtc();

    EXPECT_EQ(fresh.boolValue(key(SettingsKey::doNotShowConfirmationDialogOnTrash)), false);
    EXPECT_EQ(fresh.boolValue(key(SettingsKey::autoMarkPhotos)), false);
    EXPECT_EQ(fresh.boolValue(key(SettingsKey::doNotShowAutoMarkDialog)), false);
    EXPECT_EQ(fresh.boolValue(key(SettingsKey::doNotShowConfirmationDialogOnTrashForNetworkDrive)), true);
    EXPECT_EQ(fresh.integerValue(key(SettingsKey::autoSelectOption)), 1);
    EXPECT_EQ(fresh.integerValue(key(SettingsKey::minimumFileSize)), 0);
    EXPECT_EQ(fresh.integerValue(key(SettingsKey::maximumFileSize)), 5);
    EXPECT_EQ(fresh.integerValue(key(SettingsKey::fileSizeUnitForMax)), 3);
    EXPECT_EQ(fresh.integerValue(key(SettingsKey::fileSizeUnit)), 1);
    EXPECT_EQ(fresh.textValue(key(SettingsKey::appVersion)), QStringLiteral("0.0"));
    EXPECT_EQ(fresh.arrayValue(key(SettingsKey::autoMarkingRules))->size(), 5);
    EXPECT_EQ(fresh.arrayValue(key(SettingsKey::includeExtensionList))->size(), 6);
    EXPECT_EQ(fresh.arrayValue(key(SettingsKey::excludeExtensionList))->size(), 5);
    EXPECT_EQ(fresh.boolValue(key(SettingsKey::scanFileOfAnyFileSize)), true);
    for (const char* dateKey : { SettingsKey::scanFileForCreatedDate, SettingsKey::scanFileForModifiedDate }) {
        const std::optional<QDateTime> date = fresh.dateValue(key(dateKey));
        ASSERT_TRUE(date) << dateKey;
        EXPECT_TRUE(*date >= before && *date <= after) << dateKey;
    }
    EXPECT_EQ(fresh.integerValue(key(SettingsKey::excludeDuplicateLessSizeInKB)), 1);
    EXPECT_EQ(fresh.arrayValue(key(SettingsKey::excludedFolders))->size(), 8);
    EXPECT_EQ(fresh.arrayValue(key(SettingsKey::protectedFolders)), QVariantList());
    EXPECT_EQ(fresh.integerValue(key(SettingsKey::searchContent)), 1);
    EXPECT_EQ(fresh.arrayValue(key(SettingsKey::searchOptions)), QVariantList { qlonglong(3) });
    EXPECT_EQ(fresh.integerValue(key(SettingsKey::scanFilesDate)), 1);
    EXPECT_EQ(fresh.boolValue(key(SettingsKey::sacnHiddenFolders)), false);

    EXPECT_FALSE(fresh.object(key(SettingsKey::lastScanStatus)).isValid());
    EXPECT_FALSE(fresh.object(key(SettingsKey::isFirstLaunchDone)).isValid());
    EXPECT_FALSE(QFileInfo::exists(fresh.filePath()));
}

TEST_F(SettingsSchemaTest, RegistrationDoesNotReplaceAStoredValue)
{
    defaults.setValue(key(SettingsKey::minimumFileSize), 40);
    defaults.setValue(key(SettingsKey::searchOptions), QVariantList { 1, 5 });

    UserDefaults restarted(folder);
    registerDefaultSettings(restarted);
    EXPECT_EQ(restarted.integerValue(key(SettingsKey::minimumFileSize)), 40);
    EXPECT_EQ(restarted.arrayValue(key(SettingsKey::searchOptions)), (QVariantList { qlonglong(1), qlonglong(5) }));
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
    EXPECT_EQ(readMinimumDuplicateSize(UserDefaults(folder)), (std::pair<qint64, qint64> { 0, -1 }))
        << "the last stored value was a real";
}

TEST_F(SettingsSchemaTest, ScanHistoryGrowsOldestFirstAndSurvivesARestart)
{
    const quint64 hugeSize = std::numeric_limits<quint64>::max();
    appendScanHistoryRecord(3, 3000, defaults);
    EXPECT_EQ(defaults.arrayValue(key(SettingsKey::lastScanStatus))->size(), 1);
    appendScanHistoryRecord(-1, hugeSize, defaults);

    UserDefaults restarted(folder);
    const QVariantList history = restarted.arrayValue(key(SettingsKey::lastScanStatus)).value_or(QVariantList());
    ASSERT_EQ(history.size(), 2);
    const QVariantMap first = history[0].toMap();
    const QVariantMap second = history[1].toMap();
    EXPECT_EQ(Setting::toInteger(first.value(QStringLiteral("dupCount"))), 3);
    EXPECT_EQ(Setting::toUnsigned(first.value(QStringLiteral("dupSize"))), 3000u);
    EXPECT_TRUE(Setting::toDate(first.value(QStringLiteral("scantime"))));
    EXPECT_EQ(Setting::toInteger(second.value(QStringLiteral("dupCount"))), -1);
    EXPECT_EQ(Setting::toUnsigned(second.value(QStringLiteral("dupSize"))), hugeSize);
    EXPECT_LE(*Setting::toDate(first.value(QStringLiteral("scantime"))),
        *Setting::toDate(second.value(QStringLiteral("scantime"))));
}

TEST_F(SettingsSchemaTest, ScanHistoryOfAnotherTypeIsReplacedByOneRecord)
{
    defaults.setValue(key(SettingsKey::lastScanStatus), QStringLiteral("garbage"));
    appendScanHistoryRecord(1, 10, defaults);
    const QVariantList history = defaults.arrayValue(key(SettingsKey::lastScanStatus)).value_or(QVariantList());
    ASSERT_EQ(history.size(), 1);
    EXPECT_EQ(Setting::toInteger(history[0].toMap().value(QStringLiteral("dupCount"))), 1);
}

TEST_F(SettingsSchemaTest, DefaultIncludeListHasTheAllRowAndFiveCategories)
{
    const QVariantList include = defaultExtensionFilterList(true);
    ASSERT_EQ(include.size(), 6);

    const QVariantMap all = row(include, 0);
    EXPECT_EQ(all.value("keyStr"), QStringLiteral("All"));
    EXPECT_EQ(all.value("state"), qlonglong(1));
    EXPECT_EQ(all.value("extensionType"), qlonglong(1));
    EXPECT_EQ(all.value("values"), QStringLiteral("All File Types(*.*)"));
    const QStringList everything = texts(all.value("extensionList"));
    EXPECT_EQ(everything.size(), 168);
    EXPECT_EQ(everything.count(QStringLiteral("wav")), 2);
    EXPECT_EQ(everything.count(QStringLiteral("m4a")), 2);
    EXPECT_EQ(everything.first(), QStringLiteral("pdf"));
    EXPECT_EQ(everything.at(26), QStringLiteral("icns"));
    EXPECT_EQ(everything.at(58), QStringLiteral("zip"));
    EXPECT_EQ(everything.at(72), QStringLiteral("mpeg"));
    EXPECT_EQ(everything.at(97), QStringLiteral("mp3"));
    EXPECT_EQ(everything.last(), QStringLiteral("iiq"));

    const std::vector<std::tuple<QString, qlonglong, QStringList>> categories { { "Document", 2, documentExtensions() },
        { "Picture", 3, imageExtensions() }, { "Music", 5, audioExtensions() }, { "Video", 6, videoExtensions() },
        { "Archive", 4, archiveExtensions() } };
    for (size_t i = 0; i < categories.size(); ++i) {
        const auto& [keyStr, type, extensions] = categories[i];
        const QVariantMap category = row(include, static_cast<qsizetype>(i) + 1);
        EXPECT_EQ(category.value("keyStr"), keyStr);
        EXPECT_EQ(category.value("state"), qlonglong(0)) << keyStr.toStdString();
        EXPECT_EQ(category.value("extensionType"), type) << keyStr.toStdString();
        EXPECT_EQ(texts(category.value("extensionList")), extensions) << keyStr.toStdString();
    }
    EXPECT_TRUE(row(include, 1).value("values").toString().startsWith(QStringLiteral("Document (*.pdf;*.doc;")));
    EXPECT_TRUE(row(include, 1).value("values").toString().endsWith(QStringLiteral("*.xls;*.htm;)")));
}

TEST_F(SettingsSchemaTest, PictureLabelNamesRawFormatsItsListLeavesOut)
{
    const QVariantMap picture = row(defaultExtensionFilterList(true), 2);
    const QString label = picture.value("values").toString();
    EXPECT_EQ(label.count(QStringLiteral("*.")), 75);
    EXPECT_TRUE(label.contains(QStringLiteral("*.arw;")));
    EXPECT_FALSE(texts(picture.value("extensionList")).contains(QStringLiteral("arw")));
}

TEST_F(SettingsSchemaTest, DefaultExcludeListIsTheFiveCategoryRows)
{
    const QVariantList include = defaultExtensionFilterList(true);
    const QVariantList exclude = defaultExtensionFilterList(false);
    ASSERT_EQ(exclude.size(), 5);
    EXPECT_EQ(exclude, include.mid(1));
}

TEST(ExtensionFilterLabel, EndsEveryPatternWithASemicolon)
{
    EXPECT_EQ(extensionFilterLabel(QStringLiteral("Music"), { QStringLiteral("mp3"), QStringLiteral("audio cd") }),
        QStringLiteral("Music (*.mp3;*.audio cd;)"));
    EXPECT_EQ(extensionFilterLabel(QStringLiteral("Music"), {}), QStringLiteral("Music ()"));
    EXPECT_EQ(extensionFilterLabel(QStringLiteral("%d %@"), { QStringLiteral("x") }), QStringLiteral("%d %@ (*.x;)"));
}

TEST_F(SettingsSchemaTest, DefaultRulesAreFiveInOrderWithLocalisedDescriptions)
{
    const QVariantList rules = defaultAutoMarkingRules();
    ASSERT_EQ(rules.size(), 5);
    const QStringList names { "DateModified", "FileCreated", "Folder", "FileSize", "FileFormat" };
    const std::vector<bool> states { true, true, false, true, true };
    for (qsizetype i = 0; i < rules.size(); ++i) {
        const QVariantMap rule = rules[i].toMap();
        EXPECT_EQ(rule.value("ruleName"), names[i]);
        EXPECT_EQ(rule.value("state"), QVariant(states[static_cast<size_t>(i)])) << names[i].toStdString();
        EXPECT_EQ(rule.value("weight"), qlonglong(0));
    }
    EXPECT_EQ(rules[0].toMap().value("description"), QStringLiteral("Date modified"));
    EXPECT_EQ(rules[3].toMap().value("description"), QStringLiteral("Higher file size is protected"));
}

TEST_F(SettingsSchemaTest, DefaultExcludedFoldersAreTheSystemTreesAndTheUsersTrashCacheAndDropbox)
{
    const QStringList paths = defaultExcludedFolderPaths();
    EXPECT_EQ(paths,
        (QStringList { "/proc", "/sys", "/dev", "/run", "/usr", home.dataHome() + "/Trash", home.cacheHome(),
            home.path() + "/Dropbox" }));

    const QVariantList entries = defaultExcludedFolders();
    ASSERT_EQ(entries.size(), 8);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QVariantMap entry = entries[i].toMap();
        EXPECT_EQ(entry.value("path"), paths[i]);
        EXPECT_EQ(entry.value("state"), qlonglong(1));
        EXPECT_EQ(entry.value("includeSubFolders"), qlonglong(1));
    }
}
