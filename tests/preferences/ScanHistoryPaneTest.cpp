// The Scan History pane as a user works it: the delete button of a row
// clicked or reached by the keys, the question answered, at a handful of
// records and at tens of thousands.
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "preferences/ScanHistoryVC.h"
#include "support/LongScanHistory.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"

#include <QPushButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QTimeZone>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ScanHistoryPane : ::testing::Test {
    TempHome home;
    QString folder = home.configHome() + QStringLiteral("/Vellicor");
    UserDefaults defaults { folder };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    const QString key = QLatin1String(SettingsKey::lastScanStatus);

    ScanHistoryPane()
    {
        startApplicationCore(defaults);
        setAlertPresenter(alerts);
    }
    ~ScanHistoryPane() override { setAlertPresenter(nullptr); }

    QVariantList stored() const { return defaults.arrayValue(key).value_or(QVariantList()); }

    static QTableView* tableOf(ScanHistoryVC& pane)
    {
        return pane.findChild<QTableView*>(QStringLiteral("tvScanHistory"));
    }
    static void shown(ScanHistoryVC& pane)
    {
        pane.show();
        QApplication::processEvents();
    }
    // The row's text as the table shows it.
    static QString textOf(QTableView& table, int row) { return table.model()->index(row, 0).data().toString(); }

    // A click on the delete button the table draws in row, which must be
    // in view.
    static void clickDelete(QTableView& table, int row)
    {
        const QRect cell = table.visualRect(table.model()->index(row, 1));
        ASSERT_TRUE(table.viewport()->rect().contains(cell.center())) << "row " << row << " is not in view";
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        QApplication::processEvents();
    }
};

} // namespace

TEST_F(ScanHistoryPane, ARowsDeleteButtonAsksAndRemovesThatRecordKeepingNewerOnes)
{
    const QDateTime start(QDate(2026, 3, 1), QTime(14, 5, 9), Qt::LocalTime);
    QVariantList records;
    for (int i = 0; i < 3; ++i)
        records.append(makeScanHistoryRecord(10 + i, 1000u * (i + 1), start.addSecs(i).toUTC()));
    defaults.setValue(key, records);
    ScanHistoryVC pane(defaults);
    shown(pane);
    QTableView* table = tableOf(pane);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(textOf(*table, 0), QStringLiteral("Scanned on 2026-03-01 14:05:09"));
    EXPECT_EQ(textOf(*table, 2), QStringLiteral("Scanned on 2026-03-01 14:05:11"));
    EXPECT_TRUE(pane.findChildren<QPushButton*>().isEmpty()) << "a button widget per row";

    // A scan ends while the pane shows: its record stays whatever is deleted.
    const QVariant newer = makeScanHistoryRecord(99, 9, start.addSecs(9).toUTC());
    defaults.setValue(key, QVariantList(records) << newer);

    alerts->answer = 1;
    clickDelete(*table, 1);
    ASSERT_EQ(alerts->messages(), QStringList { localizedText("ID_DO_YOU_WANT_TO_DELETE_SCAN_RESULT_FROM_HISTORY") });
    EXPECT_EQ(alerts->shown[0].buttons, (QStringList { localizedText("ID_YES"), localizedText("ID_NO") }));
    EXPECT_EQ(stored().size(), 4);
    EXPECT_EQ(table->model()->rowCount(), 3);

    alerts->answer = 0;
    clickDelete(*table, 1);
    EXPECT_EQ(stored(), (QVariantList { records.at(0), records.at(2), newer }));
    EXPECT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(textOf(*table, 1), QStringLiteral("Scanned on 2026-03-01 14:05:11"));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(folder).arrayValue(key), (QVariantList { records.at(0), records.at(2), newer }));

    // The last record gone, the pane says there is none.
    defaults.setValue(key, QVariantList { records.at(0) });
    pane.hide();
    shown(pane);
    clickDelete(*table, 0);
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_TRUE(table->isHidden());
    EXPECT_FALSE(pane.lblNoHistoryFound->isHidden());
    EXPECT_EQ(pane.lblNoHistoryFound->text(), localizedText("ID_NO_SCAN_HISTORY_FOUND"));
}

TEST_F(ScanHistoryPane, TheKeysReachTheDeleteButtonOfTheCurrentRow)
{
    defaults.setValue(key, numberedScanHistory(5));
    ScanHistoryVC pane(defaults);
    shown(pane);
    QTableView* table = tableOf(pane);
    ASSERT_TRUE(table);
    ASSERT_NE(table->focusPolicy() & Qt::TabFocus, 0);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Down);
    const int current = table->currentIndex().row();
    ASSERT_GE(current, 0);

    alerts->answer = 1;
    for (const Qt::Key key : { Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Space, Qt::Key_Return })
        QTest::keyClick(table, key);
    EXPECT_EQ(alerts->shown.size(), 4u);
    EXPECT_EQ(stored().size(), 5);

    alerts->answer = 0;
    QTest::keyClick(table, Qt::Key_Delete);
    const QVariantList left = stored();
    ASSERT_EQ(left.size(), 4);
    for (const QVariant& record : left)
        EXPECT_NE(duplicatesOf(record), current);
}

// Years of scans: the pane builds nothing until it shows, makes no widget
// per row, shows the newest at the end of its scroll and deletes one record
// from the store's history without touching the rest.
TEST_F(ScanHistoryPane, ALongHistoryOpensScrollsAndLosesOneRecordAtATime)
{
    constexpr int records = 60000;
    defaults.setValue(key, numberedScanHistory(records));
    ScanHistoryVC pane(defaults);
    QTableView* table = tableOf(pane);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->model()->rowCount(), 0) << "rows made before the pane shows";
    shown(pane);
    QAbstractItemModelTester tester(table->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    ASSERT_EQ(table->model()->rowCount(), records);
    EXPECT_TRUE(table->findChildren<QPushButton*>().isEmpty()) << "a button widget per row";

    table->setFocus();
    QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(table->verticalScrollBar()->value(), table->verticalScrollBar()->maximum());
    const int last = records - 1;
    alerts->answer = 0;
    clickDelete(*table, last);
    ASSERT_TRUE(defaults.synchronize());
    const QVariantList left = UserDefaults(folder).arrayValue(key).value_or(QVariantList());
    ASSERT_EQ(left.size(), records - 1);
    EXPECT_EQ(duplicatesOf(left.first()), 0);
    EXPECT_EQ(duplicatesOf(left.last()), last - 1);
    EXPECT_EQ(table->model()->rowCount(), records - 1);

    QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
    QApplication::processEvents();
    clickDelete(*table, 0);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(duplicatesOf(UserDefaults(folder).arrayValue(key)->first()), 1);

    // Hidden, the pane lets go of the history.
    pane.hide();
    EXPECT_EQ(table->model()->rowCount(), 0);
}
