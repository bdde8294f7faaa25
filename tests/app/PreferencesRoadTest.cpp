// Preferences in the whole program at a long scan history: opening and
// closing it writes nothing on the window's thread, and what it stored is in
// the file once the program has ended; the Scan History pane's question
// belongs to the Preferences window.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "base/UserDefaults.h"
#include "controls/IMGButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "home/MainViewController.h"
#include "preferences/PreferencePane.h"
#include "preferences/PreferencesWindowController.h"
#include "support/FramedDisplay.h"
#include "support/LongScanHistory.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

QWidget* preferencesWindow()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("preferencesWindow"))
            return top;
    }
    return nullptr;
}

// The threads that wrote the settings file, in order.
struct Writers {
    std::mutex guard;
    std::vector<QThread*> threads;

    explicit Writers(UserDefaults& defaults)
    {
        QObject::connect(
            &defaults, &UserDefaults::fileWritten, &defaults,
            [this] {
                std::lock_guard lock(guard);
                threads.push_back(QThread::currentThread());
            },
            Qt::DirectConnection);
    }
    int onThisThread()
    {
        std::lock_guard lock(guard);
        return int(std::count(threads.begin(), threads.end(), QThread::currentThread()));
    }
    std::size_t count()
    {
        std::lock_guard lock(guard);
        return threads.size();
    }
};

} // namespace

TEST(PreferencesRoad, OpeningAndClosingAtALongHistoryWritesNothingOnTheWindowsThreadAndTheFileHoldsItsPlaceAtTheEnd)
{
    TempHome home;
    const QString settings = home.configHome() + QStringLiteral("/Vellicor");
    const QString frameKey = QString::fromLatin1(PreferencesWindowController::frameAutosaveKey);
    UserDefaults defaults(settings);
    startApplicationCore(defaults);
    const int records = 60'000;
    defaults.setValue(QLatin1String(SettingsKey::lastScanStatus), numberedScanHistory(records));
    ASSERT_TRUE(defaults.synchronize());
    Writers writers(defaults);
    {
        AppComposition program(defaults);
        program.launch();
        program.delegate().preferencesWindowController().showPreferencesWindow(QStringLiteral("scanhistory"));
        QWidget* window = preferencesWindow();
        ASSERT_TRUE(window);
        ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
        auto* table = window->findChild<QTableView*>(QStringLiteral("tvScanHistory"));
        ASSERT_TRUE(table);
        EXPECT_EQ(table->model()->rowCount(), records);
        // Moved (as the window manager moves it for the user), then closed by
        // its key: its place is stored and read back at once.
        window->move(window->pos() + QPoint(40, 30));
        QTest::keyClick(window, Qt::Key_Escape);
        ASSERT_TRUE(waitUntil([&] { return !window->isVisible(); }));
        EXPECT_TRUE(defaults.arrayValue(frameKey).has_value());
        EXPECT_EQ(writers.onThisThread(), 0) << "the settings file was written on the window's thread";
    }
    EXPECT_GE(writers.count(), 1u);
    EXPECT_EQ(writers.onThisThread(), 0);
    // The file as the program left it, read without waiting for any writer.
    QFile file(settings + QLatin1Char('/') + QLatin1String(UserDefaults::fileName));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_TRUE(saved.contains(frameKey));
    EXPECT_TRUE(saved.contains(QLatin1String(SettingsKey::lastScanStatus)));
}

// On a display whose window manager frames and activates windows as a
// desktop's does.
TEST(PreferencesRoad, AnsweringTheScanHistoryQuestionLeavesPreferencesInFront)
{
    if (!onAFramedDisplay()) {
        runOnAFramedDisplay("PreferencesRoad.AnsweringTheScanHistoryQuestionLeavesPreferencesInFront");
        return;
    }
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    const QString historyKey = QLatin1String(SettingsKey::lastScanStatus);
    defaults.setValue(historyKey, numberedScanHistory(3));
    AppComposition program(defaults);
    program.launch();
    program.delegate().preferencesWindowController().showPreferencesWindow(QStringLiteral("scanhistory"));
    QWidget* window = preferencesWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitUntil([&] { return framed(window) && QApplication::activeWindow() == window; }));
    auto* table = window->findChild<QTableView*>(QStringLiteral("tvScanHistory"));
    ASSERT_TRUE(table);

    for (const bool yes : { false, true }) {
        QTest::mouseClick(
            table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(1, 1)).center());
        QMessageBox* box = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            return box && box->isVisible();
        }));
        EXPECT_EQ(box->parentWidget(), window) << "the question is not the Preferences window's";
        QAbstractButton* answer = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == localizedText(yes ? "ID_YES" : "ID_NO"))
                answer = button;
        }
        ASSERT_TRUE(answer);
        QTest::mouseClick(answer, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return !QApplication::activeModalWidget(); }));
        EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window; }, 2000))
            << "in front: "
            << (QApplication::activeWindow() ? qPrintable(QApplication::activeWindow()->objectName()) : "none");
        EXPECT_EQ(table->model()->rowCount(), yes ? 2 : 3);
    }
    EXPECT_EQ(defaults.arrayValue(historyKey).value_or(QVariantList()).size(), 2);
}

// With no file type ticked, Scan Now says so; the Advanced pane it offers
// opens once the alert's button is pressed, not behind the alert.
TEST(PreferencesRoad, TheFileTypeRefusalOpensTheAdvancedPaneOnlyOnceItsButtonIsPressed)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    const QString includeKey = QLatin1String(SettingsKey::includeExtensionList);
    QVariantList rows = defaults.arrayValue(includeKey).value_or(QVariantList());
    ASSERT_FALSE(rows.isEmpty());
    for (QVariant& row : rows) {
        QVariantMap map = row.toMap();
        map.insert(QStringLiteral("state"), 0);
        row = map;
    }
    defaults.setValue(includeKey, rows);
    AppComposition program(defaults);
    program.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(program.delegate().window()));
    const auto preferencesShown = [] { return preferencesWindow() && preferencesWindow()->isVisible(); };

    TreeBuilder tree;
    tree.file(QStringLiteral("a.txt"), "a");
    program.home().handleFileDragDropNotification({ tree.root() });
    QAbstractButton* scanNow = program.home().scanNowButton();
    ASSERT_TRUE(waitUntil([scanNow] { return scanNow->isVisible() && scanNow->isEnabled(); }));
    QTest::mouseClick(scanNow, Qt::LeftButton, {}, scanNow->rect().center());
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box && box->isVisible();
    }));
    EXPECT_EQ(box->text(), localizedText("ID_PLEASE_SELECT_ANY_FILE_TYPE_TO_SCAN"));
    QTest::qWait(100);
    EXPECT_FALSE(preferencesShown()) << "Preferences opened behind the alert";

    ASSERT_EQ(box->buttons().size(), 1);
    QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil(preferencesShown));
    QStringList shownPanes;
    for (const QWidget* widget : preferencesWindow()->findChildren<QWidget*>()) {
        const auto* pane = dynamic_cast<const PreferencePane*>(widget);
        if (pane && pane->isVisible())
            shownPanes.append(pane->preferencePaneIdentifier().rawValue);
    }
    EXPECT_EQ(shownPanes, QStringList { QStringLiteral("advancescansetting") });
}
