// What an ended run left (a file set aside for its deletion, a partial copy
// of an undo) on a mount that stopped answering holds neither the window nor
// the quit: it is swept beside, and told once the mount answers.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "platform/FileRemover.h"
#include "platform/LeftFilesSweep.h"
#include "support/ChildProcess.h"
#include "support/EndedUndoCopy.h"
#include "support/FuseMirror.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QThreadPool>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

TEST(LeftFilesAtStart, AMountThatDoesNotAnswerHoldsNeitherTheWindowNorTheQuit)
{
    TempHome home;
    FuseMirror mount(FuseMirror::AwayIn { home.path() });
    if (!mount.isMounted())
        GTEST_SKIP() << FuseMirror::unavailable;
    const QString& away = mount.folder();
    const QString& mirror = mount.mirror();
    // An earlier run ended inside a deletion on the mount, and one inside a
    // copy of an undo. The children allocate: no other thread may hold the
    // allocator's lock when they are forked.
    const QString path = mirror + QStringLiteral("/photo.jpg");
    writeTestFile(path, "only copy");
    QThreadPool::globalInstance()->waitForDone();
    exitCodeOfChild([&] {
        LocalFileRemover remover;
        remover.removeRegularFile(remover.hold(path), []() -> std::optional<QString> { ::_exit(0); });
        return 3;
    });
    leaveCopyOfAnEndedUndo(mirror, mirror);
    ASSERT_EQ(entriesOf(away).size(), 2) << entriesOf(away).join(u' ').toStdString();

    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    {
        AppComposition program(defaults);
        int terminated = 0;
        program.delegate().terminate = [&terminated] { ++terminated; };
        ASSERT_TRUE(mount.stop(20000));
        program.launch();
        bool turned = false;
        bool turnedWhileStopped = false;
        QTimer::singleShot(100, [&] {
            turned = true;
            turnedWhileStopped = mount.isStopped();
        });
        ASSERT_TRUE(waitUntil([&] { return turned; }, 30000));
        EXPECT_TRUE(turnedWhileStopped) << "the window waited for the mount that does not answer";

        // Once the mount answers, the file is back, the copy gone, and the
        // user told.
        mount.resume();
        ASSERT_TRUE(waitUntil([] { return leftFilesSweepsUnderWay() == 0; }, 20000));
        QMessageBox* told = nullptr;
        EXPECT_TRUE(waitUntil([&] {
            told = program.delegate().window()->findChild<QMessageBox*>();
            return told && told->isVisible();
        }));
        if (told) {
            EXPECT_EQ(told->text(), QStringLiteral("The last clean-up was ended while it was deleting files."));
            EXPECT_EQ(told->informativeText(), QStringLiteral("Put back where it was: %1").arg(path));
            told->accept();
        }
        EXPECT_EQ(entriesOf(away), QStringList { QStringLiteral("photo.jpg") });

        // A quit while a sweep still waits on the mount ends at once.
        leaveCopyOfAnEndedUndo(mirror, mirror);
        ASSERT_TRUE(mount.stop(20000));
        sweepLeftRestoreCopiesAside();
        program.delegate().btnQuitTapped();
        EXPECT_TRUE(waitUntil([&] { return terminated > 0; }));
        EXPECT_TRUE(mount.isStopped()) << "the quit waited for the mount that does not answer";
    }
    EXPECT_TRUE(mount.isStopped()) << "the program's end waited for the mount that does not answer";
    mount.resume();
    EXPECT_TRUE(waitUntil([] { return leftFilesSweepsUnderWay() == 0; }, 20000));
}
