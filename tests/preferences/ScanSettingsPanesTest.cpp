#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/FileCategories.h"
#include "core/ScanSettingsSnapshot.h"
#include "core/SettingsSchema.h"
#include "preferences/AdvanceScanSettingVC.h"
#include "preferences/ExcludeViewController.h"
#include "scan/ScanSources.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ScanPanesTest : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();

    ScanPanesTest()
    {
        startApplicationCore(defaults);
        setAlertPresenter(alerts);
    }
    ~ScanPanesTest() override { setAlertPresenter(nullptr); }

    QVariantList list(const char* key) const
    {
        return defaults.arrayValue(QString::fromLatin1(key)).value_or(QVariantList());
    }
    qint64 integer(const char* key) const { return defaults.integerValue(QString::fromLatin1(key)).value_or(-99); }
    // Sets the row of key in the stored list checked or not.
    void setStoredState(const char* listKey, const QString& keyStr, int state)
    {
        QVariantList rows = list(listKey);
        for (QVariant& row : rows) {
            QVariantMap record = row.toMap();
            if (record.value(QStringLiteral("keyStr")) == keyStr)
                record.insert(QStringLiteral("state"), state);
            row = record;
        }
        defaults.setValue(QString::fromLatin1(listKey), rows);
    }
    static int rowOf(const QVariantList& rows, const QString& keyStr)
    {
        for (int i = 0; i < rows.size(); ++i)
            if (rows.at(i).toMap().value(QStringLiteral("keyStr")) == keyStr)
                return i;
        return -1;
    }
    void addFilter(AdvanceScanSettingVC& pane, const QString& typed)
    {
        pane.manageExtensionFilters(pane.btnAddExt);
        pane.txtViewExtensions->setPlainText(typed);
        pane.btnUpdateExtListTapped();
    }
};

TEST_F(ScanPanesTest, AConflictIsRefusedOnlyWhenTurningARowOn)
{
    const QString picture = QStringLiteral("Picture");
    setStoredState(SettingsKey::includeExtensionList, picture, 1);
    setStoredState(SettingsKey::excludeExtensionList, picture, 1);
    AdvanceScanSettingVC pane(defaults);
    pane.selectSegment(1);
    const int row = rowOf(list(SettingsKey::excludeExtensionList), picture);
    pane.toggleExtensionFilter(row, false);
    EXPECT_TRUE(alerts->shown.empty());
    EXPECT_EQ(list(SettingsKey::excludeExtensionList).at(row).toMap().value(QStringLiteral("state")).toInt(), 0);

    pane.toggleExtensionFilter(row, true);
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_TRUE(alerts->shown.front().messageText.contains(picture));
    EXPECT_EQ(list(SettingsKey::excludeExtensionList).at(row).toMap().value(QStringLiteral("state")).toInt(), 0);
    EXPECT_EQ(pane.tblFormatsList->item(row, 0)->checkState(), Qt::Unchecked);
}

// Every added filter is "Custom": two of them on the two lists clash only
// when they cover an extension in common, whatever their keys, and an edited
// filter covers what its edit says. Driven as the user does: the segments,
// Add, Edit and Update clicked, the patterns typed, each row's box toggled by
// Space on the row.
TEST_F(ScanPanesTest, FiltersClashOnlyOverTheExtensionsTheyCover)
{
    AdvanceScanSettingVC pane(defaults);
    pane.setAttribute(Qt::WA_DontShowOnScreen);
    pane.show();
    const auto clickButton = [](QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    };
    const auto type = [&](QAbstractButton* opener, const char* patterns) {
        clickButton(opener);
        ASSERT_TRUE(pane.isEditorOpen());
        pane.txtViewExtensions->selectAll();
        QTest::keyClicks(pane.txtViewExtensions, QString::fromLatin1(patterns));
        clickButton(pane.btnUpdateExtList);
    };
    QTableWidget& table = *pane.tblFormatsList;
    const auto chooseRow = [&](int row) {
        table.scrollToItem(table.item(row, 0));
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualItemRect(table.item(row, 0)).center());
    };
    // Space on the row: its box goes off, then on again.
    const auto toggleOffAndOn = [&](int row) {
        chooseRow(row);
        QTest::keyClick(&table, Qt::Key_Space);
        QTest::keyClick(&table, Qt::Key_Space);
    };
    const auto stateOf = [&](const char* listKey, int row) {
        return list(listKey).at(row).toMap().value(QStringLiteral("state")).toInt();
    };

    clickButton(pane.segmentControl->button(1));
    ASSERT_NO_FATAL_FAILURE(type(pane.btnAddExt, "*.log"));
    clickButton(pane.segmentControl->button(0));
    ASSERT_NO_FATAL_FAILURE(type(pane.btnAddExt, "*.jpg"));
    const int jpg = table.rowCount() - 1;
    ASSERT_NO_FATAL_FAILURE(type(pane.btnAddExt, "*.log; *.txt"));
    const int logAndText = table.rowCount() - 1;
    alerts->shown.clear();

    // Custom *.jpg beside Custom *.log: nothing in common, no clash.
    toggleOffAndOn(jpg);
    EXPECT_TRUE(alerts->shown.empty()) << alerts->messages().join(',').toStdString();
    EXPECT_EQ(stateOf(SettingsKey::includeExtensionList, jpg), 1);
    EXPECT_EQ(table.item(jpg, 0)->checkState(), Qt::Checked);

    // Custom *.log; *.txt shares *.log with the exclude list's filter.
    toggleOffAndOn(logAndText);
    ASSERT_EQ(alerts->messages(),
        QStringList { QStringLiteral("A Custom filter with the same extensions is already in the exclude list.") });
    EXPECT_EQ(stateOf(SettingsKey::includeExtensionList, logAndText), 0);
    EXPECT_EQ(table.item(logAndText, 0)->checkState(), Qt::Unchecked);

    // Edited to *.txt alone it covers no *.log any more: it goes on.
    alerts->shown.clear();
    chooseRow(logAndText);
    ASSERT_NO_FATAL_FAILURE(type(pane.btnEditExt, "*.txt"));
    chooseRow(logAndText);
    QTest::keyClick(&table, Qt::Key_Space);
    EXPECT_TRUE(alerts->shown.empty()) << alerts->messages().join(',').toStdString();
    EXPECT_EQ(stateOf(SettingsKey::includeExtensionList, logAndText), 1);

    // A built-in filter clashes with a custom one over what they share: the
    // exclude list's Picture covers the included *.jpg.
    clickButton(pane.segmentControl->button(1));
    const int picture = rowOf(list(SettingsKey::excludeExtensionList), QStringLiteral("Picture"));
    chooseRow(picture);
    QTest::keyClick(&table, Qt::Key_Space);
    EXPECT_EQ(alerts->messages(),
        QStringList { QStringLiteral("A Custom filter with the same extensions is already in the include list.") });
    EXPECT_EQ(stateOf(SettingsKey::excludeExtensionList, picture), 0);
}

TEST_F(ScanPanesTest, TheEditorAddsEditsAndDeletesFilters)
{
    AdvanceScanSettingVC pane(defaults);
    const int rows = int(list(SettingsKey::includeExtensionList).size());
    addFilter(pane, QStringLiteral("*.LOG, tmp;  .bak *.log"));
    QVariantList include = list(SettingsKey::includeExtensionList);
    ASSERT_EQ(include.size(), rows + 1);
    const QVariantMap added = include.last().toMap();
    EXPECT_EQ(added.value(QStringLiteral("keyStr")), QStringLiteral("Custom"));
    EXPECT_EQ(added.value(QStringLiteral("values")), QStringLiteral("Custom (*.log;*.tmp;*.bak;)"));
    EXPECT_EQ(added.value(QStringLiteral("extensionList")).toStringList(),
        (QStringList { QStringLiteral("log"), QStringLiteral("tmp"), QStringLiteral("bak") }));
    EXPECT_EQ(added.value(QStringLiteral("extensionType")).toInt(), 7);
    EXPECT_EQ(added.value(QStringLiteral("state")).toInt(), 1);
    EXPECT_FALSE(pane.isEditorOpen());

    struct Refusal {
        const char* name;
        std::function<void()> act;
        bool editorOpen;
    };
    const Refusal refusals[] = {
        { "same patterns in the same list", [&] { addFilter(pane, QStringLiteral("log tmp bak")); }, true },
        { "no patterns", [&] { addFilter(pane, QStringLiteral(" ;, ")); }, true },
        { "editing All",
            [&] {
                pane.tblFormatsList->selectRow(0);
                pane.manageExtensionFilters(pane.btnEditExt);
            },
            false },
        { "edit without selection",
            [&] {
                pane.tblFormatsList->clearSelection();
                pane.manageExtensionFilters(pane.btnEditExt);
            },
            false },
        { "delete without selection", [&] { pane.manageExtensionFilters(pane.btnDeleteExt); }, false },
    };
    for (const Refusal& refusal : refusals) {
        alerts->shown.clear();
        refusal.act();
        EXPECT_EQ(alerts->shown.size(), 1u) << refusal.name;
        EXPECT_EQ(pane.isEditorOpen(), refusal.editorOpen) << refusal.name;
        EXPECT_EQ(list(SettingsKey::includeExtensionList), include) << refusal.name;
        pane.btnCancelExtListTapped();
    }

    // The other list is tested against itself only.
    pane.selectSegment(1);
    addFilter(pane, QStringLiteral("log,tmp,bak"));
    EXPECT_EQ(list(SettingsKey::excludeExtensionList).size(), 6);
    pane.selectSegment(0);

    pane.tblFormatsList->selectRow(rows);
    pane.manageExtensionFilters(pane.btnEditExt);
    EXPECT_EQ(pane.txtViewExtensions->toPlainText(), QStringLiteral("*.log;*.tmp;*.bak;"));
    pane.txtViewExtensions->setPlainText(QStringLiteral("*.log"));
    pane.btnUpdateExtListTapped();
    const QVariantMap edited = list(SettingsKey::includeExtensionList).at(rows).toMap();
    EXPECT_EQ(edited.value(QStringLiteral("values")), QStringLiteral("Custom (*.log;)"));
    EXPECT_EQ(edited.value(QStringLiteral("extensionList")).toStringList(), QStringList { QStringLiteral("log") });
    EXPECT_EQ(edited.value(QStringLiteral("keyStr")), added.value(QStringLiteral("keyStr")));

    pane.tblFormatsList->selectRow(0);
    pane.manageExtensionFilters(pane.btnDeleteExt);
    EXPECT_EQ(list(SettingsKey::includeExtensionList).size(), rows);
    EXPECT_EQ(rowOf(list(SettingsKey::includeExtensionList), QStringLiteral("All")), -1);
    EXPECT_EQ(pane.tblFormatsList->selectedRanges().value(0).topRow(), 0);
}

TEST_F(ScanPanesTest, AnAddedFilterChangesWhatAScanTakes)
{
    auto taken = [] {
        ScanSettingsSnapshot settings = makeScanSettingsSnapshot();
        settings.isAllFileTypesSelected = true;
        settings.scanCategoryFlags.fill(true);
        return categorizeExtension(QStringLiteral("tmp"), settings).taken;
    };
    EXPECT_TRUE(taken());
    AdvanceScanSettingVC pane(defaults);
    pane.selectSegment(1);
    addFilter(pane, QStringLiteral("*.tmp"));
    EXPECT_FALSE(taken());
}

TEST_F(ScanPanesTest, SizeLimitsAreCheckedInBytes)
{
    struct Case {
        int minimum, minimumUnit, maximum, maximumUnit;
        bool accepted;
    };
    const Case cases[] = {
        { 10, 2, 5, 3, true },
        { 2, 3, 500, 2, false },
        { 1000, 1, 1, 2, true },
    };
    for (const Case& c : cases) {
        defaults.setValue(QStringLiteral("minimumFileSize"), 7);
        defaults.setValue(QStringLiteral("fileSizeUnit"), 1);
        defaults.setValue(QStringLiteral("maximumFileSize"), 9);
        defaults.setValue(QStringLiteral("fileSizeUnitForMax"), 2);
        AdvanceScanSettingVC pane(defaults);
        alerts->shown.clear();
        {
            const QSignalBlocker a(pane.txtMinFileSize.get()), b(pane.txtMaxFileSize.get());
            pane.txtMinFileSize->setValue(c.minimum);
            pane.txtMaxFileSize->setValue(c.maximum);
        }
        pane.popupMinfileSize->setCurrentIndex(c.minimumUnit);
        pane.popupMaxfileSzie->setCurrentIndex(c.maximumUnit);
        defaults.setValue(QStringLiteral("fileSizeUnit"), c.minimumUnit);
        defaults.setValue(QStringLiteral("fileSizeUnitForMax"), c.maximumUnit);
        pane.validateFileSizeLimits();

        EXPECT_EQ(alerts->shown.size(), c.accepted ? 0u : 1u) << c.minimum;
        const auto expect = c.accepted ? std::array<int, 4> { c.minimum, c.minimumUnit, c.maximum, c.maximumUnit }
                                       : std::array<int, 4> { 7, 1, 9, 2 };
        EXPECT_EQ(integer(SettingsKey::minimumFileSize), expect[0]) << c.minimum;
        EXPECT_EQ(integer(SettingsKey::fileSizeUnit), expect[1]) << c.minimum;
        EXPECT_EQ(integer(SettingsKey::maximumFileSize), expect[2]) << c.minimum;
        EXPECT_EQ(integer(SettingsKey::fileSizeUnitForMax), expect[3]) << c.minimum;
        EXPECT_EQ(pane.txtMinFileSize->value(), expect[0]);
        EXPECT_EQ(pane.popupMinfileSize->currentIndex(), expect[1]);
        EXPECT_EQ(pane.txtMaxFileSize->value(), expect[2]);
        EXPECT_EQ(pane.popupMaxfileSzie->currentIndex(), expect[3]);
    }
}

TEST_F(ScanPanesTest, TinyFileBoxesCascade)
{
    AdvanceScanSettingVC pane(defaults);
    struct Step {
        QCheckBox* box;
        qint64 level;
        bool zeroOn, zeroEnabled, oneOn, oneEnabled;
    };
    const Step steps[] = {
        { pane.btnExclude10KBSzie, 3, true, false, true, false },
        { pane.btnExclude10KBSzie, 2, true, false, true, true },
        { pane.btnExclude1KBSzie, 1, true, true, false, true },
        { pane.btnExcludeZeroSize, -1, false, true, false, true },
    };
    for (const Step& step : steps) {
        step.box->click();
        EXPECT_EQ(integer(SettingsKey::excludeDuplicateLessSizeInKB), step.level);
        EXPECT_EQ(pane.btnExcludeZeroSize->isChecked(), step.zeroOn) << step.level;
        EXPECT_EQ(pane.btnExcludeZeroSize->isEnabled(), step.zeroEnabled) << step.level;
        EXPECT_EQ(pane.btnExclude1KBSzie->isChecked(), step.oneOn) << step.level;
        EXPECT_EQ(pane.btnExclude1KBSzie->isEnabled(), step.oneEnabled) << step.level;
    }
}

TEST_F(ScanPanesTest, ExclusionAlertsFollowTheConflicts)
{
    struct Case {
        const char* name;
        QStringList chosen;
        QStringList added;
        QString message;
    };
    const QString trash = home.dataHome() + QStringLiteral("/Trash/files/x");
    const Case cases[] = {
        { "whole components only", { QStringLiteral("/a/b") }, { QStringLiteral("/a/b") }, QString() },
        { "holds a scan path", { QStringLiteral("/a") }, {}, QStringLiteral("Folder cannot be excluded") },
        { "already listed", { QStringLiteral("/listed") }, {},
            QStringLiteral("Folder cannot be added to Exclusion List") },
        { "both", { QStringLiteral("/listed"), QStringLiteral("/a/bc"), QStringLiteral("/c") },
            { QStringLiteral("/c") }, QStringLiteral("One or more items cannot be excluded") },
        { "trash, checked for every folder", { QStringLiteral("/d"), trash }, { QStringLiteral("/d") },
            QStringLiteral("Folders in the Trash cannot be excluded") },
    };
    for (const Case& c : cases) {
        defaults.setValue(
            QStringLiteral("excludedFolders"), QVariantList { makeFolderEntry(QStringLiteral("/listed")) });
        ScanSources sources(defaults);
        auto scanned = std::make_shared<FilePathNode>();
        scanned->filePath = QStringLiteral("/A/BC");
        sources.replace(ScanSource::thisComputer, SourceList::scan, { scanned });
        ExcludeViewController pane(sources);
        alerts->shown.clear();
        pane.addFoldersToExclusion(c.chosen);
        QVariantList expected { makeFolderEntry(QStringLiteral("/listed")) };
        for (const QString& path : c.added)
            expected.append(makeFolderEntry(path));
        EXPECT_EQ(list(SettingsKey::excludedFolders), expected) << c.name;
        EXPECT_EQ(alerts->shown.size(), c.message.isEmpty() ? 0u : 1u) << c.name;
        if (!alerts->shown.empty()) {
            EXPECT_EQ(alerts->shown.front().messageText, c.message) << c.name;
        }
    }
}

} // namespace
