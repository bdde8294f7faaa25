// Preferences in the whole program at a long scan history: opening and
// closing it writes nothing on the window's thread, and what it stored is in
// the file once the program has ended.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/SettingsSchema.h"
#include "preferences/PreferencesWindowController.h"
#include "support/LongScanHistory.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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
