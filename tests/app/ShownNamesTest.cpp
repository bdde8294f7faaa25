// What the program shows of names and of its own controls, as a user reads it
// on the real windows: the start's alert names each file on one line and fits
// the screen, and the help page names the buttons by their titles.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "controls/IMGButton.h"
#include "home/MainViewController.h"
#include "platform/FileRemover.h"
#include "platform/LeftFilesSweep.h"
#include "support/ChildProcess.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include "RoadHelpers.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QThreadPool>
#include <QUrl>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Leaves path set aside as a run ended in the middle of its deletion does.
void endARunWhileItDeletes(const QString& path)
{
    // The child allocates: no other thread may hold the allocator's lock
    // when it is forked.
    QThreadPool::globalInstance()->waitForDone();
    exitCodeOfChild([&] {
        LocalFileRemover remover;
        remover.removeRegularFile(remover.hold(path), []() -> std::optional<QString> { ::_exit(0); });
        return 3;
    });
}

} // namespace

// Files put back at the start whose names hold line breaks (one forging a
// line of the alert, two hundred folders of one line break each) and a
// right-to-left override: each is one line of the alert, escaped as the log
// writes it, and the alert and its OK stay on the screen.
TEST(ShownNames, TheStartAlertNamesEachFileOnOneLineAndStaysOnTheScreen)
{
    TempHome home;
    QString deep = home.path() + QStringLiteral("/data");
    for (int i = 0; i < 200; ++i)
        deep += QStringLiteral("/\n");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QStringList paths { home.path() + QStringLiteral("/data/a.jpg\nPut back where it was: forged.jpg"),
        home.path() + QStringLiteral("/data/photo-\u202egpj.exe"), deep + QStringLiteral("/deep.jpg") };
    for (const QString& path : paths) {
        writeTestFile(path, "only copy");
        endARunWhileItDeletes(path);
        ASSERT_FALSE(QFile::exists(path));
    }

    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    AppComposition program(defaults);
    program.launch();
    ASSERT_TRUE(waitUntil([] { return leftFilesSweepsUnderWay() == 0; }, 20000));
    QMessageBox* told = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        told = program.delegate().window()->findChild<QMessageBox*>();
        return told && told->isVisible();
    }));
    for (const QString& path : paths)
        EXPECT_TRUE(QFile::exists(path));

    const QStringList lines = told->informativeText().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.size(), 3) << told->informativeText().toStdString();
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith(QStringLiteral("Put back where it was: ") + home.path())) << line.toStdString();
    EXPECT_TRUE(told->informativeText().contains(QStringLiteral("/a.jpg\\nPut back where it was: forged.jpg")));
    EXPECT_TRUE(told->informativeText().contains(QStringLiteral("/photo-\\u202egpj.exe")));
    EXPECT_FALSE(told->informativeText().contains(QChar(0x202e)));
    EXPECT_TRUE(told->informativeText().contains(QStringLiteral("/deep.jpg")));

    const QRect screen = told->screen()->availableGeometry();
    QCoreApplication::processEvents();
    EXPECT_LE(told->frameGeometry().height(), screen.height());
    EXPECT_TRUE(screen.contains(told->frameGeometry()))
        << told->frameGeometry().top() << " " << told->frameGeometry().bottom();
    ASSERT_EQ(told->buttons().size(), 1);
    QAbstractButton* ok = told->buttons().constFirst();
    EXPECT_TRUE(ok->isVisible());
    EXPECT_TRUE(screen.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())));
    shot(told, QStringLiteral("start-alert-hostile-names"));
    told->accept();
}

// The help page tells the user to press the scan button by the title the
// button carries.
TEST(ShownNames, TheHelpPageNamesTheScanButtonByItsTitle)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    AppComposition program(defaults);
    program.launch();
    QUrl opened;
    program.delegate().openUrl = [&opened](const QUrl& url) {
        opened = url;
        return true;
    };
    program.delegate().menuHelpApp->trigger();
    ASSERT_TRUE(opened.isLocalFile());
    QFile page(opened.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    const QString title = program.home().scanNowButton()->text();
    ASSERT_FALSE(title.isEmpty());
    EXPECT_TRUE(text.contains(QStringLiteral("press ") + title)) << title.toStdString();
}
