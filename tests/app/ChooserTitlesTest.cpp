// Every folder panel says what its folders are for, in its title: the home
// screen's three tabs, the photo catalog, the assistant's protected folders
// and the empty-folder cleaner; and each opens where the user would look
// first. The panels opened through the screens.
#include "app/AppComposition.h"
#include "base/UserDefaults.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "home/MainViewController.h"
#include "marking/SelectAssistanceController.h"
#include "results/ResultViewController.h"
#include "scan/ScanScreen.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/UserClicks.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>

#include <gtest/gtest.h>

#include <algorithm>

#include "RoadHelpers.h"

namespace {

// The folder panel that opens now; none when none does.
QFileDialog* shownPanel()
{
    QFileDialog* panel = nullptr;
    waitUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible())
                panel = dialog;
        }
        return panel != nullptr;
    });
    return panel;
}

// The title of the folder panel that opens now; the panel is cancelled.
QString openedPanelTitle()
{
    QFileDialog* panel = shownPanel();
    if (!panel)
        return QStringLiteral("(no panel)");
    const QString title = panel->windowTitle();
    panel->reject();
    QCoreApplication::processEvents();
    return title;
}

void choose(MainViewController& home, ScanSource source)
{
    auto* popUp = home.findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    const int item = popUp->findData(scanSourceTag(source));
    popUp->setCurrentIndex(item);
    emit popUp->activated(item);
}

} // namespace

TEST(ChooserTitles, EveryFolderPanelIsTitledForItsPurpose)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    AppComposition program(defaults);
    program.launch();
    setAlertPresenter(std::make_shared<RecordingAlerts>());
    MainViewController& homeScreen = program.home();

    const std::pair<const char*, const char*> tabs[] = { { "btnInclue", "ID_CHOOSE_FOLDERS_TO_SCAN" },
        { "btnExclude", "ID_CHOOSE_FOLDERS_TO_EXCLUDE" }, { "btnProtected", "ID_CHOOSE_FOLDERS_TO_PROTECT" } };
    for (const auto& [tab, title] : tabs) {
        click(homeScreen.findChild<QAbstractButton*>(QString::fromLatin1(tab)));
        click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
        EXPECT_EQ(openedPanelTitle(), localizedText(title)) << tab;
    }

    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnInclue")));
    choose(homeScreen, ScanSource::lightroomCatalog);
    EXPECT_EQ(openedPanelTitle(), localizedText("ID_CHOOSE_PHOTO_CATALOG_FOLDER"));
    choose(homeScreen, ScanSource::thisComputer);

    homeScreen.showResults(std::make_shared<ScanResult>());
    SelectAssistanceController& assistant = program.results().selectionController();
    assistant.openSheet();
    click(assistant.btnProtectedFolderTab);
    click(assistant.btnBrowsePath);
    EXPECT_EQ(openedPanelTitle(), localizedText("ID_CHOOSE_FOLDER_TO_PROTECT"));
    click(assistant.btnCancel);

    choose(homeScreen, ScanSource::emptyFolderCleaner);
    click(titled("ID_BROWSE"));
    EXPECT_EQ(openedPanelTitle(), localizedText("ID_CHOOSE_FOLDER_TO_FIND_EMPTY_FOLDERS"));

    setAlertPresenter(nullptr);
    selectedScanSource() = ScanSource::thisComputer;
}

namespace {

// Types the folder into the panel's name line and takes it with Return.
void chooseByTyping(QFileDialog& panel, const QString& folder)
{
    QPointer<QFileDialog> open(&panel);
    auto* name = panel.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    name->setFocus();
    ASSERT_TRUE(waitUntil([name] { return name->hasFocus(); }));
    name->clear();
    QTest::keyClicks(name, folder);
    // The first Return may only take the completion the line offers.
    for (int i = 0; i < 3 && open && open->isVisible(); ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : name, Qt::Key_Return);
        waitUntil([&open] { return !open || !open->isVisible(); }, 1000);
    }
    ASSERT_FALSE(open && open->isVisible());
}

} // namespace

// A folder panel opens in the home folder, never in the program's working
// folder; once a folder was chosen, every panel opens where it was chosen.
TEST(ChooserTitles, APanelOpensAtHomeAndThenWhereTheUserChoseLast)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    TreeBuilder tree;
    const QString photos = tree.folder(QStringLiteral("Photos"));
    AppComposition program(defaults);
    ASSERT_TRUE(launchShown(program));
    setAlertPresenter(std::make_shared<RecordingAlerts>());
    MainViewController& homeScreen = program.home();
    ASSERT_NE(QDir::currentPath(), home.path());

    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    QFileDialog* panel = shownPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->directory().absolutePath(), QDir(home.path()).absolutePath());
    chooseByTyping(*panel, photos);
    const auto& rows = homeScreen.lists().scanListForSource();
    ASSERT_TRUE(std::any_of(rows.begin(), rows.end(),
        [&](const FilePathNodePtr& row) { return row && row->filePath && *row->filePath == photos; }));

    // Another tab's panel, then the cleaner's: both where Photos was chosen.
    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnExclude")));
    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    panel = shownPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->directory().absolutePath(), photos);
    panel->reject();
    choose(homeScreen, ScanSource::emptyFolderCleaner);
    click(titled("ID_BROWSE"));
    panel = shownPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->directory().absolutePath(), photos);
    panel->reject();

    setAlertPresenter(nullptr);
    selectedScanSource() = ScanSource::thisComputer;
}
