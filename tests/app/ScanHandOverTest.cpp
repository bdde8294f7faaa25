// The end of a scan through the real home screen, offscreen: while a finished
// scan waits to hand its results over, Scan Now takes neither a click nor a
// key, and the scan writes one history record.
#include "app/AppComposition.h"
#include "base/UserDefaults.h"
#include "controls/IMGButton.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "home/MainViewController.h"
#include "results/ResultViewController.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/UserClicks.h"

#include "KeyDriving.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

qsizetype historyRecords(UserDefaults& defaults)
{
    return defaults.arrayValue(QLatin1String(SettingsKey::lastScanStatus)).value_or(QVariantList {}).size();
}

} // namespace

TEST(ScanHandOver, ScanNowTakesNoClickNorKeyUntilTheResultsAreHandedOver)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    startApplicationCore(defaults);
    TreeBuilder tree;
    tree.file("a/one.txt", "twin");
    tree.file("b/one.txt", "twin");
    AppComposition program(defaults);
    KeyDriver keys;
    ASSERT_TRUE(keys.launch(program));
    auto alerts = std::make_shared<RecordingAlerts>();
    setAlertPresenter(alerts);
    MainViewController& homeScreen = program.home();
    ResultViewController& results = program.results();
    IMGButton* scanNow = homeScreen.scanNowButton();
    QSignalSpy ended(&homeScreen.engine(), &ScanEngine::scanEnded);
    homeScreen.handleFileDragDropNotification({ tree.root() });

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
    setAlertPresenter(nullptr);
}
