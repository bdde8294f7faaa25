#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "core/AppNotifier.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "preferences/GeneralViewController.h"
#include "preferences/PreferencesReset.h"
#include "preferences/SearchOptionsVC.h"
#include "support/TempHome.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct PaneTest : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    PaneTest() { startApplicationCore(defaults); }

    QVariant stored(const char* key) const { return defaults.object(QString::fromLatin1(key)); }
    void store(const char* key, const QVariant& value) { defaults.setValue(QString::fromLatin1(key), value); }
    QVariantList criteria() const
    {
        return defaults.arrayValue(QStringLiteral("search_options")).value_or(QVariantList());
    }
};

QVariantList codes(std::initializer_list<int> list)
{
    QVariantList values;
    for (const int code : list)
        values.append(QVariant::fromValue<qlonglong>(code));
    return values;
}

TEST_F(PaneTest, ResetWritesEveryDefaultAndMergesTheExclusions)
{
    const QStringList defaultsPaths = defaultExcludedFolderPaths();
    store(SettingsKey::excludedFolders,
        QVariantList { makeFolderEntry(QStringLiteral("/srv/a")), makeFolderEntry(defaultsPaths.at(1), 0, 0),
            QStringLiteral("not a record"), makeFolderEntry(QStringLiteral("/srv/b"), 0) });
    store(SettingsKey::minimumFileSize, 700);
    store(SettingsKey::searchOptions, codes({ 2, 4 }));
    store(SettingsKey::searchContent, 2);
    store(SettingsKey::doNotShowAutoMarkDialog, true);
    const QVariantList history { makeScanHistoryRecord(3, 300, QDateTime::currentDateTimeUtc()) };
    store(SettingsKey::lastScanStatus, history);
    QSignalSpy resets(&AppNotifier::instance(), &AppNotifier::PreferencesResetToDefaults);

    for (int round = 0; round < 2; ++round) {
        const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
        resetPreferencesToDefaults(defaults);
        // The values changed above, and ones never stored, are written back.
        const std::pair<const char*, QVariant> expected[] = {
            { SettingsKey::doNotShowAutoMarkDialog, false },
            { SettingsKey::minimumFileSize, 10 },
            { SettingsKey::searchContent, 1 },
            { SettingsKey::searchOptions, codes({ 3 }) },
            { SettingsKey::autoMarkingRules, defaultAutoMarkingRules() },
            { SettingsKey::includeExtensionList, defaultExtensionFilterList(true) },
            { SettingsKey::lastScanStatus, history },
        };
        for (const auto& [key, value] : expected)
            EXPECT_EQ(stored(key), value) << key << " round " << round;
        for (const char* key : { SettingsKey::scanFileForCreatedDate, SettingsKey::scanFileForModifiedDate })
            EXPECT_GE(defaults.dateValue(QString::fromLatin1(key)).value_or(QDateTime()), before) << key;

        QVariantList merged = defaultExcludedFolders();
        merged << makeFolderEntry(QStringLiteral("/srv/a")) << makeFolderEntry(QStringLiteral("/srv/b"), 0);
        EXPECT_EQ(stored(SettingsKey::excludedFolders), QVariant(merged));
        EXPECT_EQ(resets.count(), round + 1);
    }
    EXPECT_FALSE(stored(SettingsKey::protectedFolders).isNull());
}

TEST_F(PaneTest, GeneralBoxesShowTheirSettingsAfterAReset)
{
    GeneralViewController pane(defaults);
    pane.btnCheckShowDeleteDialog->click();
    EXPECT_EQ(stored(SettingsKey::doNotShowConfirmationDialogOnTrash), QVariant(true));
    pane.btnCheckShowDialogOnMovingBack->click();
    EXPECT_EQ(stored(SettingsKey::doNotShowConfirmationDialogOnTrashForNetworkDrive), QVariant(false));
    // The photo switches: reading libraries starts on, automatic marking off.
    ASSERT_TRUE(pane.btnCheckScanPhotosLibrary->isChecked());
    ASSERT_FALSE(pane.btnAutoMarkPhoto->isChecked());
    pane.btnCheckScanPhotosLibrary->click();
    EXPECT_EQ(stored(SettingsKey::scanPhotosLibrary), QVariant(false));
    pane.btnAutoMarkPhoto->click();
    EXPECT_EQ(stored(SettingsKey::autoMarkPhotos), QVariant(true));
    pane.btnResetDefault->click();
    EXPECT_FALSE(pane.btnCheckShowDeleteDialog->isChecked());
    EXPECT_TRUE(pane.btnCheckShowDialogOnMovingBack->isChecked());
    EXPECT_TRUE(pane.btnCheckScanPhotosLibrary->isChecked());
    EXPECT_EQ(stored(SettingsKey::scanPhotosLibrary), QVariant(true));
    EXPECT_FALSE(pane.btnAutoMarkPhoto->isChecked());
    EXPECT_EQ(stored(SettingsKey::autoMarkPhotos), QVariant(false));
}

TEST_F(PaneTest, ClearCacheRemovesTheDatabaseAndItsJournalsButNotDuringAScan)
{
    const QString database = AppPaths::cacheDatabaseFile();
    QDir().mkpath(QFileInfo(database).path());
    const QStringList files { database, database + QStringLiteral("-journal"), database + QStringLiteral("-wal"),
        database + QStringLiteral("-shm") };
    for (const QString& file : files) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    GeneralViewController pane(defaults);
    isScanRunning = true;
    pane.btnClearCache->click();
    isScanRunning = false;
    EXPECT_TRUE(QFileInfo::exists(database));
    pane.btnClearCache->click();
    for (const QString& file : files)
        EXPECT_FALSE(QFileInfo::exists(file)) << file.toStdString();
    pane.btnClearCache->click();
}

TEST_F(PaneTest, SearchOptionsFollowTheClicks)
{
    struct Case {
        const char* name;
        int content;
        QVariantList before;
        std::function<void(SearchOptionsVC&)> act;
        QVariantList after;
        bool sizeOn, sizeEnabled, nameOn, nameEnabled;
    };
    const Case cases[] = {
        { "ignore content drops size", 1, codes({ 3 }), [](SearchOptionsVC& p) { p.btnIgnoreContent->click(); },
            codes({}), false, true, false, true },
        { "same content adds size", 2, codes({ 1 }), [](SearchOptionsVC& p) { p.btnSameContent->click(); },
            codes({ 1, 3 }), true, false, true, true },
        { "similar name wins", 1, codes({ 1, 3 }), [](SearchOptionsVC& p) { p.btnSimillarFileName->click(); },
            codes({ 2, 3 }), true, false, false, false },
        { "similar name off frees same name", 1, codes({ 2, 3 }),
            [](SearchOptionsVC& p) { p.btnSimillarFileName->click(); }, codes({ 3 }), true, false, false, true },
        { "nothing checked is stored empty", 2, codes({ 4 }), [](SearchOptionsVC& p) { p.btnSameCreatedDate->click(); },
            codes({}), false, true, false, true },
        { "unknown codes go at the next click", 1, codes({ 7 }),
            [](SearchOptionsVC& p) { p.btnSameModifiedDate->click(); }, codes({ 3, 5 }), true, false, false, true },
        { "a reset reloads", 1, codes({ 2, 3 }), [this](SearchOptionsVC&) { resetPreferencesToDefaults(defaults); },
            codes({ 3 }), true, false, false, true },
    };
    for (const Case& c : cases) {
        store(SettingsKey::searchContent, c.content);
        store(SettingsKey::searchOptions, c.before);
        SearchOptionsVC pane(defaults);
        c.act(pane);
        EXPECT_EQ(criteria(), c.after) << c.name;
        EXPECT_EQ(pane.btnSameFileSize->isChecked(), c.sizeOn) << c.name;
        EXPECT_EQ(pane.btnSameFileSize->isEnabled(), c.sizeEnabled) << c.name;
        EXPECT_EQ(pane.btnSameFileName->isChecked(), c.nameOn) << c.name;
        EXPECT_EQ(pane.btnSameFileName->isEnabled(), c.nameEnabled) << c.name;
        EXPECT_EQ(pane.btnSameContent->isChecked(), defaults.integerValue(QStringLiteral("search_content")) == 1)
            << c.name;
    }
}

TEST_F(PaneTest, StoredUnknownCriteriaLoadAsAllOff)
{
    store(SettingsKey::searchContent, 2);
    store(SettingsKey::searchOptions, codes({ 7 }));
    SearchOptionsVC pane(defaults);
    for (QCheckBox* box : { pane.btnSameFileName.get(), pane.btnSimillarFileName.get(), pane.btnSameFileSize.get(),
             pane.btnSameCreatedDate.get(), pane.btnSameModifiedDate.get() })
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
}

} // namespace
