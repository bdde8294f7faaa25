// A shutdown, a logout or a kill takes the program's road out: the work under
// way stops after its current file, what it did is kept, and the program ends
// in time, the real program as well as its composition.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "app/QuitSignals.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "cleanup/TrashSheets.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "home/MainViewController.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/ResultsState.h"
#include "results/ResultViewController.h"
#include "results/ResultsHandOver.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "support/EndedUndoCopy.h"
#include "support/FuseMirror.h"
#include "support/PoolHold.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/UserClicks.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

qsizetype historyLength(const UserDefaults& defaults)
{
    return defaults.arrayValue(QString::fromLatin1(SettingsKey::lastScanStatus)).value_or(QVariantList {}).size();
}

bool alertShown()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(top) && top->isVisible())
            return true;
    }
    return false;
}

} // namespace

// SIGTERM during a scan of many equal files: no Stop question, no refusal; the
// scan stops, its history record is written, and the program ends once.
// Further signals while it ends change nothing.
TEST(QuitSignal, ATerminationDuringAScanStopsItKeepsItsHistoryAndEndsOnce)
{
    TempHome home;
    TreeBuilder tree;
    const QByteArray same(64 * 1024, 'x');
    for (int i = 0; i < 3000; ++i)
        tree.file(QStringLiteral("Big/%1/file-%2.bin").arg(i / 100).arg(i), same);
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    defaults.setValue(QString::fromLatin1(SettingsKey::savedPaths),
        QVariantList { makeFolderEntry(tree.path(QStringLiteral("Big"))) });

    AppComposition program(defaults);
    ASSERT_TRUE(program.quitSignals().isInstalled());
    int terminated = 0;
    program.delegate().terminate = [&terminated] { ++terminated; };
    program.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(program.delegate().window()));
    const qsizetype historyBefore = historyLength(defaults);

    IMGButton* scanNow = program.home().scanNowButton();
    ASSERT_TRUE(waitUntil([scanNow] { return scanNow->isVisible() && scanNow->isEnabled(); }));
    QTest::mouseClick(scanNow, Qt::LeftButton, {}, scanNow->rect().center());
    ASSERT_TRUE(waitUntil([] { return bool(isScanRunning); }));
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);

    ASSERT_TRUE(waitUntil([&] { return terminated > 0; }, 30000));
    EXPECT_FALSE(isScanRunning);
    EXPECT_EQ(historyLength(defaults), historyBefore + 1);
    EXPECT_EQ(historyLength(UserDefaults(defaults.filePath().section(u'/', 0, -2))), historyBefore + 1);
    EXPECT_FALSE(alertShown());

    ::kill(::getpid(), SIGINT);
    ::kill(::getpid(), SIGHUP);
    QTest::qWait(200);
    EXPECT_EQ(terminated, 1);
    EXPECT_EQ(historyLength(defaults), historyBefore + 1);
}

// The road out waits for a removal, an undo or automatic marking to stop,
// and no longer than its bound when one does not.
TEST(QuitSignal, TheRoadOutWaitsForWorkToStopButNotForEver)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    {
        AppComposition program(defaults);
        int terminated = 0;
        program.delegate().terminate = [&terminated] { ++terminated; };
        bool busy = true;
        int stops = 0;
        program.delegate().setWorkUnderWay({ [&] {
                                                ++stops;
                                                QTimer::singleShot(300, [&busy] { busy = false; });
                                            },
            [&busy] { return busy; } });
        program.launch();

        program.delegate().quitOnSignal();
        EXPECT_EQ(stops, 1);
        EXPECT_EQ(terminated, 0);
        ASSERT_TRUE(waitUntil([&] { return terminated > 0; }));
        EXPECT_FALSE(busy);
    }

    // Work that never stops: the program ends after the bound all the same.
    AppComposition stuck(defaults);
    int stuckEnded = 0;
    stuck.delegate().terminate = [&stuckEnded] { ++stuckEnded; };
    stuck.delegate().setWorkUnderWay({ [] {}, [] { return true; } });
    stuck.launch();
    stuck.delegate().btnQuitTapped();
    stuck.delegate().quitOnSignal();
    EXPECT_TRUE(waitUntil([&] { return stuckEnded > 0; }, AppDelegate::longestQuitWait * 4));
    EXPECT_EQ(stuckEnded, 1);
}

// A result set still being made ready when the program is told to end is
// dropped: nothing of it is shown, and the program ends once.
TEST(QuitSignal, TheRoadOutDropsAResultSetStillBeingMadeReady)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    AppComposition program(defaults);
    int terminated = 0;
    program.delegate().terminate = [&terminated] { ++terminated; };
    program.launch();
    std::vector<DuplicateGroupPtr> groups;
    for (int g = 0; g < 20'000; ++g) {
        auto group = std::make_shared<DuplicateGroup>();
        for (int copy = 0; copy < 2; ++copy) {
            auto file = std::make_shared<FileInfoNode>();
            file->folderPath = QStringLiteral("/data/%1").arg(copy);
            file->fileName = QStringLiteral("f%1.bin").arg(g);
            file->filePath.assignParts(file->folderPath, *file->fileName);
            file->fileSize = 100 + quint64(g);
            addFileToGroup(group, file);
        }
        groups.push_back(group);
    }
    ResultViewController& results = program.results();
    results.handOver().setBackgroundFrom(0);
    results.loadScanResults(std::move(groups), 1, ScanSource::thisComputer);
    ASSERT_TRUE(results.isHandingOver());

    program.delegate().quitOnSignal();
    EXPECT_FALSE(results.isHandingOver());
    ASSERT_TRUE(waitUntil([&] { return terminated > 0; }));
    QTest::qWait(300);
    EXPECT_EQ(results.state().arrMainGroup.size(), 0u);
    EXPECT_EQ(terminated, 1);
}

namespace {

// The program itself, in a home of its own.
struct RealProgram : ::testing::Test {
    TempHome home;
    QString runtime = home.path() + QStringLiteral("/run");

    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(runtime));
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
    }

    QProcessEnvironment environment(bool withRuntime) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char* name : { "HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME" })
            environment.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
        if (withRuntime)
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        else
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        return environment;
    }

    void start(QProcess& process, bool withRuntime) const
    {
        process.setProcessEnvironment(environment(withRuntime));
        process.start(QStringLiteral(VELLICOR_BINARY), {});
    }

    // The program runs once its launch has written its settings.
    bool running() const { return QFile::exists(home.configHome() + QStringLiteral("/Vellicor/settings.json")); }
};

} // namespace

TEST_F(RealProgram, EndsItsRoadOutOnATerminationAndOnASecondOneMeanwhile)
{
    QProcess program;
    start(program, true);
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return running(); }, 30000)) << program.readAllStandardError().toStdString();

    ASSERT_EQ(::kill(pid_t(program.processId()), SIGTERM), 0);
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().contains("applicationWillTerminate"));
}

// A sweep of what an ended run left, held by a mount that stopped answering,
// holds neither the program's start nor its end.
TEST_F(RealProgram, EndsWhileASweepWaitsOnAMountThatDoesNotAnswer)
{
    FuseMirror mount(FuseMirror::AwayIn { home.path() });
    if (!mount.isMounted())
        GTEST_SKIP() << FuseMirror::unavailable;
    const QString& mirror = mount.mirror();
    leaveCopyOfAnEndedUndo(mirror, mirror);
    ASSERT_TRUE(mount.stop(25000));

    QProcess program;
    start(program, true);
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return running(); }, 20000));
    ASSERT_EQ(::kill(pid_t(program.processId()), SIGTERM), 0);
    const bool ended = program.waitForFinished(20000);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(mount.isStopped()) << "the program's end waited for the mount that does not answer";
    if (!ended) {
        program.kill();
        program.waitForFinished(10000);
    }
    EXPECT_EQ(program.exitCode(), 0);
}

// A start from a desktop and one from a shell without its runtime folder,
// over one home: the second finds the first and ends.
TEST_F(RealProgram, ASecondStartWithAnotherRuntimeFolderDoesNotRunASecondCopy)
{
    QProcess first;
    start(first, true);
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return running(); }, 30000));

    QProcess second;
    start(second, false);
    ASSERT_TRUE(second.waitForStarted(10000));
    const bool ended = second.waitForFinished(30000);
    if (!ended)
        second.kill();
    EXPECT_TRUE(ended) << "a second copy runs over the same settings";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().contains("already running"));
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(pid_t(first.processId()), SIGTERM);
    EXPECT_TRUE(first.waitForFinished(30000));
    if (first.state() != QProcess::NotRunning)
        first.kill();
}

// A link in the place of the program's runtime folder, to a folder of the
// user's own: the program runs, leaves that folder as it was, and says why a
// later start cannot raise its window.
TEST_F(RealProgram, RunsWithALinkInItsRuntimeFoldersPlaceWithoutFollowingIt)
{
    QTemporaryDir documents;
    ASSERT_EQ(::chmod(QFile::encodeName(documents.path()).constData(), 0755), 0);
    ASSERT_TRUE(QFile::link(documents.path(), runtime + QStringLiteral("/Vellicor")));
    // A user who ran the program before: its log is there from the start.
    ASSERT_TRUE(QDir().mkpath(home.stateHome() + QStringLiteral("/Vellicor")));

    QProcess program;
    start(program, true);
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return running(); }, 30000));
    ::kill(pid_t(program.processId()), SIGTERM);
    EXPECT_TRUE(program.waitForFinished(30000));

    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(documents.path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode_t(0755));
    EXPECT_TRUE(QDir(documents.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QFile log(home.stateHome() + QStringLiteral("/Vellicor/vellicor.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("is not used; a second start cannot raise this window"));
}

// Quit pressed while files are being removed: the program says it does not
// quit now and how to go on, over the removal's sheet, and the removal runs
// to its end; afterwards quit goes through.
TEST(QuitSignal, QuitDuringARemovalTellsTheUserAndTheRemovalGoesOn)
{
    TempHome home;
    TreeBuilder tree;
    for (int g = 0; g < 3; ++g) {
        const QByteArray bytes = QByteArray("copy ") + QByteArray::number(g) + '\n';
        tree.file(QStringLiteral("one/file %1.txt").arg(g), bytes);
        tree.file(QStringLiteral("two/file %1.txt").arg(g), bytes);
    }
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    AppComposition program(defaults);
    int terminated = 0;
    program.delegate().terminate = [&terminated] { ++terminated; };
    program.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(program.delegate().window()));
    ResultViewController& results = program.results();
    program.home().handleFileDragDropNotification({ tree.root() });
    click(program.home().scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return results.autoMarkSheets().windowScanComplete->isVisible(); }, 30000));
    click(results.autoMarkSheets().btnSelectManually);
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));
    for (int row = 0; row < results.listModel().rowCount(); ++row) {
        const FileInfoNodePtr file = results.model().fileOfListRow(row);
        if (file && file->filePath && file->filePath->contains(QStringLiteral("/two/")))
            clickCheckBox(*results.tblDuplicates(), results.listModel().index(row, ResultsModel::checkColumn));
    }
    ASSERT_EQ(results.state().countMarked(), 3);

    // The groups left are made again on the pool, held here: the removal is
    // still under way, its sheet up, when Quit is pressed.
    results.cleanup().setBackgroundFrom(1);
    auto hold = std::make_unique<PoolHold>();
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnTrash")));
    click(results.trashSheets().btnTrashOnReview);
    CustomWindowNag* sheet = results.trashSheets().windowTrash();
    ASSERT_TRUE(waitUntil([&] { return results.cleanup().lastReport().countTrashed == 3 && sheet->isActiveWindow(); }));
    ASSERT_TRUE(results.cleanup().isRemoving());
    QTest::keyClick(sheet, Qt::Key_Q, Qt::ControlModifier);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box && box->isVisible();
    })) << "quit during the removal said nothing";
    EXPECT_EQ(box->text().toStdString(),
        localizedText("ID_REMOVAL_IS_IN_PROGRESS_PLEASE_STOP_REMOVAL_BEFORE_EXIT_APP").toStdString());
    EXPECT_EQ(box->parentWidget(), sheet);
    click(box->buttons().value(0));
    EXPECT_EQ(terminated, 0);

    hold.reset();
    ASSERT_TRUE(waitUntil([&] { return results.afterCleanSheets().windowAfterClean()->isVisible(); }));
    EXPECT_FALSE(results.cleanup().isRemoving());
    EXPECT_EQ(terminated, 0);
    EXPECT_FALSE(QFile::exists(tree.path(QStringLiteral("two/file 0.txt"))));
    program.delegate().btnQuitTapped();
    EXPECT_TRUE(waitUntil([&] { return terminated == 1; }));
}
