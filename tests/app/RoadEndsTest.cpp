// Roads that must never end in silence, through the real screens, offscreen:
// what the desktop had nothing to hand over to, and what the chosen source
// cannot do, each ends in an alert that says why and how to go on.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "controls/CustomTableView.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "home/MainViewController.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/UserClicks.h"

#include <QComboBox>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// The program launched in a home of its own, its alerts recorded; the source
// goes back to this computer at the end.
struct RoadEnds : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::unique_ptr<AppComposition> program;

    void SetUp() override
    {
        startApplicationCore(defaults);
        program = std::make_unique<AppComposition>(defaults);
        program->launch();
        setAlertPresenter(alerts);
    }
    void TearDown() override
    {
        program.reset();
        setAlertPresenter(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }
    MainViewController& homeScreen() { return program->home(); }
    void choose(ScanSource source)
    {
        auto* popUp = homeScreen().findChild<QComboBox*>(QStringLiteral("btnScanMode"));
        const int item = popUp->findData(scanSourceTag(source));
        popUp->setCurrentIndex(item);
        emit popUp->activated(item);
    }
    static bool anyPanelShown()
    {
        const QWidgetList tops = QApplication::topLevelWidgets();
        return std::any_of(tops.begin(), tops.end(),
            [](QWidget* top) { return qobject_cast<QFileDialog*>(top) && top->isVisible(); });
    }
};

} // namespace

// After the empty-folder cleaner has closed, its item stays the chosen
// source; Add, the Exclude and Protect shortcuts and a drop each say that no
// folder goes in while it is chosen, and how to go on.
TEST_F(RoadEnds, AfterTheCleanerClosesAddExcludeAndProtectSayWhyAndHowToGoOn)
{
    choose(ScanSource::emptyFolderCleaner);
    auto* close = program->delegate().window()->findChild<QPushButton*>(QStringLiteral("btnCloseDeleteFolder"));
    ASSERT_TRUE(close);
    ASSERT_NO_FATAL_FAILURE(click(close));
    ASSERT_FALSE(close->isVisible());
    ASSERT_EQ(selectedScanSource().load(), ScanSource::emptyFolderCleaner);

    ASSERT_NO_FATAL_FAILURE(click(homeScreen().findChild<QAbstractButton*>(QStringLiteral("btnAddPath"))));
    for (const char* shortcut : { "boxRightExclude", "boxRightProtected" }) {
        auto* box = homeScreen().findChild<QWidget*>(QString::fromLatin1(shortcut));
        ASSERT_TRUE(box && box->isVisible()) << shortcut;
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    }
    TreeBuilder tree;
    tree.folder(QStringLiteral("dropped"));
    homeScreen().handleFileDragDropNotification({ tree.path(QStringLiteral("dropped")) });

    const QString howToGoOn
        = QStringLiteral("Choose This Computer or a cloud service under Scan mode to add, exclude or protect folders.");
    ASSERT_EQ(alerts->shown.size(), 4u) << alerts->messages().join('|').toStdString();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(alerts->shown[i].messageText, QStringLiteral("Folders cannot be added while Empty Folders is chosen."));
        EXPECT_EQ(alerts->shown[i].informativeText, howToGoOn);
    }
    EXPECT_EQ(alerts->shown[3].messageText, localizedText("ID_YOU_CANT_DRAG_ANY_FILE"));
    EXPECT_EQ(alerts->shown[3].informativeText, howToGoOn);
    EXPECT_FALSE(anyPanelShown());
    EXPECT_TRUE(homeScreen().lists().scanListForSource().empty());
}

// With no browser and no file manager to hand them to (the offscreen
// desktop has none), Help by F1 and Show in File Manager on a folder of the
// list say so, naming what could not be opened.
TEST_F(RoadEnds, HelpAndShowInFileManagerWithNothingToHandThemToSaySo)
{
    QMainWindow* window = program->delegate().window();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F1);
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, QStringLiteral("The help page could not be opened."));
    EXPECT_TRUE(alerts->shown[0].informativeText.startsWith(QLatin1String("No web browser could be asked to open /")))
        << alerts->shown[0].informativeText.toStdString();
    EXPECT_TRUE(alerts->shown[0].informativeText.endsWith(QLatin1String("help.html.")));

    TreeBuilder tree;
    tree.folder(QStringLiteral("Photos"));
    homeScreen().handleFileDragDropNotification({ tree.path(QStringLiteral("Photos")) });
    auto* includes = homeScreen().findChild<CustomTableView*>(QStringLiteral("tblInclude"));
    ASSERT_EQ(includes->model()->rowCount(), 1);
    alerts->shown.clear();
    const QRect row = includes->visualRect(includes->model()->index(0, 1));
    QTest::mouseClick(includes->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseClick(includes->viewport(), Qt::RightButton, {}, row.center());
    ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    const QList<QAction*> items = menu->actions();
    const auto reveal = std::find_if(items.begin(), items.end(),
        [](QAction* item) { return item->text() == localizedText("ID_REVEAL_IN_FINDER"); });
    ASSERT_NE(reveal, items.end());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*reveal).center());
    ASSERT_TRUE(waitUntil([&] { return !alerts->shown.empty(); }));
    EXPECT_EQ(alerts->shown[0].messageText, QStringLiteral("Photos could not be shown in a file manager."));
    EXPECT_EQ(alerts->shown[0].informativeText,
        QStringLiteral("No file manager answered, and no application could be asked to open the folder that holds "
                       "it: ")
            + tree.root());
}
