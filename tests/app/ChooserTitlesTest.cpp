// Every folder panel says what its folders are for, in its title: the home
// screen's three tabs, the photo catalog, the assistant's protected folders
// and the empty-folder cleaner; the panels opened through the screens.
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
#include "support/UserClicks.h"

#include <QComboBox>
#include <QFileDialog>

#include <gtest/gtest.h>

namespace {

// The title of the folder panel that opens now; the panel is cancelled.
QString openedPanelTitle()
{
    QFileDialog* panel = nullptr;
    waitUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->isVisible())
                panel = dialog;
        }
        return panel != nullptr;
    });
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
