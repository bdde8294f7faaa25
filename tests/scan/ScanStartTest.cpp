#include "core/Localization.h"
#include "scan/EngineFixture.h"
#include "support/FixedProbe.h"

namespace {
QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}
} // namespace

class ScanStart : public EngineFixture {
protected:
    // One click of Scan Now as the screen's button makes it: the action, then
    // the button's own flip, then whatever the action queued.
    void click()
    {
        engine->btnStartScanTapped();
        screen.flipScanNowButton();
        QCoreApplication::processEvents();
    }
};

TEST_F(ScanStart, WithoutACategoryOnlyTheCategoryAlertShows)
{
    scanCategoryFlags.fill(false);
    defaults->setValue(QLatin1String(SettingsKey::searchOptions), QVariantList {});
    click();
    EXPECT_EQ(screen.alertMessages(), QStringList { text("ID_ATLEAST_ONE_CATEGORY_REQUIRED") });
    EXPECT_EQ(screen.scanNowState, 1);
    EXPECT_FALSE(isScanRunning);
}

TEST_F(ScanStart, CriteriaThatNameNothingKnownAreRefusedLikeNone)
{
    for (const QVariantList& options :
        { QVariantList {}, QVariantList { 9, 0 }, QVariantList { QStringLiteral("3") } }) {
        screen.alerts.clear();
        defaults->setValue(QLatin1String(SettingsKey::searchOptions), options);
        click();
        EXPECT_EQ(screen.alertMessages(), QStringList { text("ID_SELECT_ONE_DUPLICATE_CRITERIA_FROM_PREFRENCES") });
        EXPECT_EQ(screen.scanNowState, 1);
    }
}

TEST_F(ScanStart, NoFileTypeChosenOffersTheAdvancedPane)
{
    QVariantList rows = defaults->arrayValue(QLatin1String(SettingsKey::includeExtensionList)).value();
    for (QVariant& row : rows) {
        QVariantMap map = row.toMap();
        map.insert(QStringLiteral("state"), 0);
        row = map;
    }
    defaults->setValue(QLatin1String(SettingsKey::includeExtensionList), rows);
    screen.answers = { 0 };
    click();
    EXPECT_EQ(screen.alertMessages(), QStringList { text("ID_PLEASE_SELECT_ANY_FILE_TYPE_TO_SCAN") });
    EXPECT_EQ(screen.panesOpened, QStringList { QStringLiteral("advancescansetting") });
    EXPECT_EQ(screen.scanNowState, 1);
}

TEST_F(ScanStart, OnlyTheFirstTickedFileTypeRowCanChooseAll)
{
    QVariantList rows = defaults->arrayValue(QLatin1String(SettingsKey::includeExtensionList)).value();
    ASSERT_GE(rows.size(), 2);
    for (QVariant& row : rows) {
        QVariantMap map = row.toMap();
        map.insert(QStringLiteral("state"), 1);
        row = map;
    }
    // Put a category row before "All".
    rows.move(0, 1);
    defaults->setValue(QLatin1String(SettingsKey::includeExtensionList), rows);
    EXPECT_TRUE(engine->isAnyFileTypeSelected());
    EXPECT_FALSE(isAllFileTypesSelected);

    rows.move(1, 0);
    defaults->setValue(QLatin1String(SettingsKey::includeExtensionList), rows);
    EXPECT_TRUE(engine->isAnyFileTypeSelected());
    EXPECT_TRUE(isAllFileTypesSelected);
}

TEST_F(ScanStart, ThisComputerNeedsAFolderOrTwoOtherRows)
{
    const QString refused = text("ID_ONLY_ONE_ITEM_DETECTED_IN_SELECTED_PATH");
    // Nothing ticked.
    addRow(tree.folder(QStringLiteral("unticked")), 0);
    click();
    EXPECT_EQ(screen.alertMessages(), QStringList { refused });
    EXPECT_EQ(screen.alerts.back().informativeText, text("ID_PLEASE_TRY_SCANNING_ANOTHER_PATH_FOR_DUPLICATES"));

    // One file, then a file and a deleted folder: still fewer than two
    // usable rows... a deleted folder counts like a file, so two rows pass.
    addRow(tree.file(QStringLiteral("one.txt"), "1"));
    click();
    EXPECT_EQ(screen.alerts.size(), 2u);
    addRow(tree.path(QStringLiteral("gone")));
    ASSERT_TRUE(runScan());
    EXPECT_EQ(screen.alerts.size(), 2u + 1u); // only the no-duplicates notice follows
    EXPECT_EQ(screen.alerts.back().messageText, text("ID_NO_DUPLICATE_ITEMS_FOUND"));
}

TEST_F(ScanStart, AServiceWithoutInternetIsRefusedThePhotoCatalogIsNot)
{
    selectedScanSource() = ScanSource::dropbox;
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(false));
    click();
    ASSERT_EQ(screen.alerts.size(), 1u);
    EXPECT_EQ(screen.alerts.back().messageText, text("ID_INTERNET_NOT_AVILABLE"));
    EXPECT_EQ(screen.scanNowState, 1);
    EXPECT_FALSE(isScanRunning);

    // The photo catalog is on this computer: offline, its scan starts.
    selectedScanSource() = ScanSource::lightroomCatalog;
    ASSERT_TRUE(runScan());
    for (size_t i = 1; i < screen.alerts.size(); ++i)
        EXPECT_NE(screen.alerts[i].messageText, text("ID_INTERNET_NOT_AVILABLE"));
    setNetworkReachabilityProbe(nullptr);
    selectedScanSource() = ScanSource::thisComputer;
}

TEST_F(ScanStart, StartCopiesTheDateFiltersAndEnablesStop)
{
    folderPriorityList() = { QStringLiteral("/old") };
    const QDateTime created(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
    defaults->setValue(QLatin1String(SettingsKey::scanFilesDate), 2);
    defaults->setValue(QLatin1String(SettingsKey::scanFileForCreatedDate), created);
    defaults->setValue(QLatin1String(SettingsKey::scanFileForModifiedDate), QStringLiteral("not a date"));

    engine->resetAllVariableOnStartScanning();
    EXPECT_TRUE(folderPriorityList().isEmpty());
    ASSERT_NE(engine->currentRequest(), nullptr);
    const ScanSettingsSnapshot& filters = engine->currentRequest()->filters;
    EXPECT_EQ(filters.dateFilterOption, 2);
    EXPECT_EQ(filters.createdDateFilter, created);
    EXPECT_EQ(filters.modifiedDateFilter, defaults->dateValue(QStringLiteral("ScanFileForModifiedDate"))); // registered
    EXPECT_TRUE(screen.abortEnabled);
}
