// The lists of a scan source as every screen that shows them sees them: the
// home screen's tables, the excluded-folders pane, the selection assistant and
// the next scan's request all work on the one list.
#include "base/UserDefaults.h"
#include "controls/CustomTableView.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "core/SettingsSchema.h"
#include "home/MainViewController.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/AutoMarking.h"
#include "marking/ResultsState.h"
#include "marking/SelectAssistanceController.h"
#include "preferences/ExcludeViewController.h"
#include "scan/ScanSources.h"
#include "support/PathRows.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"

#include <QHeaderView>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

struct FixedFolder : ProtectFolderChooser {
    QString folder;
    void chooseFolder(const QString&, std::function<void(const QString&)> done) override { done(folder); }
};

struct SourceLists : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::unique_ptr<ScanSources> sources;
    std::unique_ptr<MainViewController> screen;

    SourceLists()
    {
        startApplicationCore(defaults);
        selectedScanSource() = ScanSource::thisComputer;
        setAlertPresenter(alerts);
        sources = std::make_unique<ScanSources>(defaults);
        screen = std::make_unique<MainViewController>(defaults, *sources);
        screen->viewDidLoad();
    }
    ~SourceLists() override
    {
        screen.reset();
        setAlertPresenter(nullptr);
    }

    // The rows the home screen's table of a tab shows now.
    int shownRows(const char* table) const
    {
        return screen->findChild<CustomTableView*>(QLatin1String(table))->verticalHeader()->count();
    }
    QStringList stored(const char* key) const { return storedPaths(defaults, key); }
};

} // namespace

TEST_F(SourceLists, APaneExclusionReachesTheNextScanAndOutlivesAnEditOnTheHomeTab)
{
    screen->tabChanged(2);
    const int defaults = shownRows("tblExcludes");
    ASSERT_GT(defaults, 1);
    ExcludeViewController pane(*sources);
    const QString skipped = QStringLiteral("/data/Skip");
    pane.addFoldersToExclusion({ skipped });
    EXPECT_EQ(shownRows("tblExcludes"), defaults + 1);

    // An edit on the home screen's Exclude tab keeps the pane's folder.
    screen->deletePathFromTable(0);
    EXPECT_TRUE(stored(SettingsKey::excludedFolders).contains(skipped));
    EXPECT_EQ(pane.tvExclude->rowCount(), defaults);

    screen->engine().resetAllVariableOnStartScanning();
    const ScanRequest* request = screen->engine().currentRequest();
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(request->dirExclusion.has_value());
    EXPECT_TRUE(request->dirExclusion->evaluateWithObject(skipped + QStringLiteral("/old")));
}

TEST_F(SourceLists, AnAssistantProtectionShowsInTheOpenHomeTableAtOnce)
{
    screen->tabChanged(3);
    ASSERT_EQ(shownRows("tblProtected"), 0);
    QWidget window;
    ResultsState state(std::shared_ptr<ScanSources>(sources.get(), [](ScanSources*) {}));
    AutoMarkSheetWindows sheets(&window);
    AutoMarking marking(state, defaults, sheets);
    SelectAssistanceController assistant(state, *sources, defaults, marking, &window);
    auto chooser = std::make_unique<FixedFolder>();
    chooser->folder = home.path() + QStringLiteral("/Keep");
    assistant.setFolderChooser(std::move(chooser));
    assistant.openSheet();

    assistant.btnBrowsePath->click();
    assistant.btnAddPath->click();
    EXPECT_EQ(shownRows("tblProtected"), 1);
    EXPECT_EQ(stored(SettingsKey::protectedFolders), QStringList { home.path() + QStringLiteral("/Keep") });

    assistant.tblProtected->selectRow(0);
    assistant.btnRemovePath->click();
    EXPECT_EQ(shownRows("tblProtected"), 0);

    // And the other way: a folder the home screen protects shows in the
    // open assistant.
    screen->lists().sources.edit(ScanSource::thisComputer, SourceList::protect,
        [](ScanSources::Rows& rows) { rows.push_back(LocationLists::makePathNode(QStringLiteral("/srv"))); });
    EXPECT_EQ(assistant.tblProtected->rowCount(), 1);
}
