// The end of a scan through the real home screen, offscreen: while a finished
// scan waits to hand its results over, Scan Now takes neither a click nor a
// key, and the scan writes one history record; what was asked of the scan
// while it ran goes with it.
#include "app/AppComposition.h"
#include "base/UserDefaults.h"
#include "controls/CustomOutlineView.h"
#include "controls/IMGButton.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "home/MainViewController.h"
#include "marking/ResultsState.h"
#include "results/ResultViewController.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/UserClicks.h"

#include "KeyDriving.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

qsizetype historyRecords(UserDefaults& defaults)
{
    return defaults.arrayValue(QLatin1String(SettingsKey::lastScanStatus)).value_or(QVariantList {}).size();
}

// The program as main() builds it, a folder of two equal files dropped on
// its home screen.
class ScanHandOver : public ::testing::Test {
protected:
    void SetUp() override
    {
        startApplicationCore(defaults);
        tree.file("a/one.txt", "twin");
        tree.file("b/one.txt", "twin");
        program = std::make_unique<AppComposition>(defaults);
        ASSERT_TRUE(keys.launch(*program));
        setAlertPresenter(alerts);
        homeScreen().handleFileDragDropNotification({ tree.root() });
    }
    void TearDown() override { setAlertPresenter(nullptr); }
    MainViewController& homeScreen() { return program->home(); }
    ResultViewController& results() { return program->results(); }

    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    TreeBuilder tree;
    std::unique_ptr<AppComposition> program;
    KeyDriver keys;
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
};

} // namespace

TEST_F(ScanHandOver, ScanNowTakesNoClickNorKeyUntilTheResultsAreHandedOver)
{
    MainViewController& homeScreen = this->homeScreen();
    ResultViewController& results = this->results();
    IMGButton* scanNow = homeScreen.scanNowButton();
    QSignalSpy ended(&homeScreen.engine(), &ScanEngine::scanEnded);

    ASSERT_TRUE(keys.tabTo(scanNow));
    keys.press(Qt::Key_Space);
    // Each step of the end: the scan over (the finishing pause), then the
    // scanning sheet down before the results come.
    auto* sheet = homeScreen.findChild<QWidget*>(QStringLiteral("boxWindowScanning"));
    ASSERT_TRUE(sheet);
    for (const auto& reached : { std::function<bool()>([] { return !isScanRunning; }),
             std::function<bool()>([sheet] { return !sheet->isVisible(); }) }) {
        ASSERT_TRUE(waitUntil(reached, 30000));
        if (results.isVisible())
            break; // the hand-over came first: nothing left to try
        EXPECT_FALSE(scanNow->isEnabled());
        EXPECT_NE(QApplication::focusWidget(), scanNow);
        EXPECT_FALSE(qobject_cast<QAbstractButton*>(QApplication::focusWidget()));
        QTest::mouseClick(scanNow, Qt::LeftButton, {}, scanNow->rect().center());
        QTest::keyClick(scanNow, Qt::Key_Return);
        keys.press(Qt::Key_Return);
        homeScreen.engine().btnStartScanTapped();
    }

    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    QTest::qWait(200);
    EXPECT_EQ(ended.size(), 1);
    EXPECT_EQ(historyRecords(defaults), 1);
    EXPECT_FALSE(isScanRunning);

    // Back home after the hand-over, Scan Now is live again and scans anew.
    click(titled("ID_SELECT_MANUALLY"));
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnBack")));
    ASSERT_TRUE(waitUntil([&] { return !results.isVisible(); }));
    click(scanNow);
    ASSERT_TRUE(waitUntil([&] { return ended.size() == 2; }, 30000));
    EXPECT_EQ(historyRecords(defaults), 2);
}

// View Details while a finished scan waits to hand its results over shows
// nothing: neither an earlier scan's result set as this one's nor a second
// scan-complete sheet over it.
TEST_F(ScanHandOver, ViewDetailsShowsNoResultSetBeforeItIsHandedOver)
{
    MainViewController& homeScreen = this->homeScreen();
    ResultViewController& results = this->results();
    QSignalSpy ended(&homeScreen.engine(), &ScanEngine::scanEnded);

    // A first scan, its results seen and left.
    click(homeScreen.scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    click(titled("ID_SELECT_MANUALLY"));
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnBack")));
    ASSERT_TRUE(waitUntil([&] { return !results.isVisible(); }));
    ASSERT_EQ(results.state().dupCount, 1);

    // A second scan finds one more; View Details clicked in its pause.
    tree.file("c/one.txt", "twin");
    click(homeScreen.scanNowButton());
    auto* viewDetails = homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnShowResultDetail"));
    ASSERT_TRUE(viewDetails);
    // It shows once the scan is over, and its results are yet to come.
    ASSERT_TRUE(waitUntil([&] { return viewDetails->isVisible(); }, 30000));
    ASSERT_EQ(ended.size(), 1);
    QTest::mouseClick(viewDetails, Qt::LeftButton, {}, viewDetails->rect().center());
    QTest::qWait(100);
    EXPECT_FALSE(results.isVisible()) << "a result set showed before the hand-over";
    EXPECT_FALSE(sheetOpen());

    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    EXPECT_EQ(ended.size(), 2);
    EXPECT_EQ(results.state().dupCount, 2);
    // Once handed over, View Details shows this scan's result set.
    EXPECT_TRUE(viewDetails->isEnabled());
}

// Closing the window during a scan is refused with the window's alert; when
// the scan ends the alert goes with it, and the results take the clicks the
// window system delivers.
TEST(ScanEndAlerts, TheQuitRefusalGoesWithTheScanAndTheResultsTakeClicks)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    startApplicationCore(defaults);
    TreeBuilder tree;
    // Enough equal files that the scan still runs when the window is closed.
    const QByteArray same(64 * 1024, 'x');
    for (int i = 0; i < 3000; ++i)
        tree.file(QStringLiteral("Big/%1/file-%2.bin").arg(i / 100).arg(i), same);
    AppComposition program(defaults);
    int terminated = 0;
    program.delegate().terminate = [&terminated] { ++terminated; };
    QMainWindow* window = launchShown(program);
    ASSERT_TRUE(window);
    program.home().handleFileDragDropNotification({ tree.path(QStringLiteral("Big")) });
    click(program.home().scanNowButton());
    ASSERT_TRUE(waitUntil([] { return bool(isScanRunning); }));
    window->close();
    ASSERT_TRUE(isScanRunning) << "the scan ended before the window was closed";
    EXPECT_EQ(terminated, 0);
    const auto alert = [] { return visible<QMessageBox>(); };
    ASSERT_TRUE(waitUntil([&] { return alert() != nullptr; }));
    EXPECT_EQ(alert()->text(), localizedText("ID_SCANNING_IS_IN_PROGRESS_PLEASE_STOP_SCANNING_BEFORE_EXIT_APP"));

    ResultViewController& results = program.results();
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 60000));
    EXPECT_FALSE(alert());
    click(titled("ID_SELECT_MANUALLY"));
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    // The outline's button, clicked as the window system hands a click on.
    auto* outlineMode = results.findChild<QAbstractButton*>(QStringLiteral("btnHierarcheryView"));
    ASSERT_TRUE(outlineMode && waitUntil([outlineMode] { return outlineMode->isEnabled(); }));
    QWindow* shown = outlineMode->window()->windowHandle();
    QTest::mouseClick(
        shown, Qt::LeftButton, {}, shown->mapFromGlobal(outlineMode->mapToGlobal(outlineMode->rect().center())));
    EXPECT_TRUE(waitUntil([&] { return results.outlineDuplicates()->isVisible(); }));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(terminated, 0);
}
