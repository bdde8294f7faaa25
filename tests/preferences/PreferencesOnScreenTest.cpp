// The program's own preferences window on a laptop screen of 768 points:
// ctest runs this executable on such a screen (see tests/CMakeLists.txt).
// Opened at the short General pane and switched to the tall Advanced scan
// settings pane through its toolbar item, the window stays wholly on the
// screen and every control of the pane inside the window.
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "preferences/PreferencesPanes.h"
#include "preferences/PreferencesTabViewController.h"
#include "preferences/PreferencesWindowController.h"
#include "scan/ScanSources.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QMainWindow>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

constexpr int laptopScreenHeight = 768;
// A top bar and a dock or bottom panel, and the window's title bar.
constexpr int panelsAllowance = 80;
constexpr int titleBarAllowance = 30;

struct OnScreenTest : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };

    OnScreenTest() { startApplicationCore(defaults); }
    ~OnScreenTest() override
    {
        currentLanguageCode = QStringLiteral("en");
        LocalizationDetail::resetLocalizationTable();
    }

    // Clicks the toolbar item of pane index as a user would and waits for
    // the switch's animation to end.
    static void choosePane(PreferencesWindowController& controller, int index)
    {
        QToolBar* toolbar = controller.toolbar();
        QWidget* item = toolbar->widgetForAction(toolbar->actions().at(index));
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(item, Qt::LeftButton);
        QMainWindow* window = controller.window();
        PreferencePane* pane = controller.tabViewController()->preferencePanes().at(size_t(index));
        ASSERT_TRUE(waitUntil([&] {
            return window->height() == pane->sizeHint().height() + toolbar->sizeHint().height()
                && pane->graphicsEffect() == nullptr;
        }));
    }

    static void expectOnScreen(const QMainWindow* window, const std::string& where)
    {
        const QRect frame = window->frameGeometry();
        EXPECT_TRUE(window->screen()->availableGeometry().contains(frame)) << where << ": bottom at " << frame.bottom();
    }
};

} // namespace

TEST_F(OnScreenTest, TheAdvancedPaneFitsALaptopScreenInEachLayout)
{
    for (const char* language : { "en", "de" }) {
        loadLocalizationTable();
        currentLanguageCode = QString::fromLatin1(language);
        ScanSources sources(defaults);
        std::unique_ptr<PreferencesWindowController> controller = makePreferencesWindowController(defaults, sources);
        QMainWindow* window = controller->window();
        controller->showPreferencesWindow(QStringLiteral("general"));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        ASSERT_EQ(window->screen()->geometry().height(), laptopScreenHeight)
            << "run with QT_QPA_PLATFORM=offscreen:configfile=tests/support/laptop-screen.json, as ctest does";
        choosePane(*controller, 1);
        const std::string where = language;
        EXPECT_LE(window->height() + titleBarAllowance, laptopScreenHeight - panelsAllowance) << where;
        expectOnScreen(window, where + " after the switch");
        PreferencePane* advanced = controller->tabViewController()->preferencePanes().at(1);
        for (QWidget* control : advanced->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!control->isWindow() && !control->objectName().isEmpty()) {
                EXPECT_TRUE(window->rect().contains(QRect(control->mapTo(window, QPoint()), control->size())))
                    << where << ": " << control->objectName().toStdString();
            }
        }

        // Left low on the screen beside the short pane, the window comes
        // back on it when it reopens at the tall one.
        window->close();
        controller->showPreferencesWindow(QStringLiteral("general"));
        const QRect available = window->screen()->availableGeometry();
        window->move(window->x(), available.bottom() - window->frameGeometry().height() - 2);
        window->close();
        controller->showPreferencesWindow(QStringLiteral("advancescansetting"));
        expectOnScreen(window, where + " reopened");
        LocalizationDetail::resetLocalizationTable();
    }
}
