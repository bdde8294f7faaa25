#include "base/AlertPresenter.h"
#include "base/AppPaths.h"
#include "base/OtherUsers.h"
#include "base/PrivateFiles.h"
#include "base/UserDefaults.h"
#include "cleanup/AfterClean.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "cleanup/InterruptedRemovalAlert.h"
#include "cleanup/CloudRemover.h"
#include "cleanup/FakePhotos.h"
#include "cleanup/ProgressPacer.h"
#include "cleanup/RemovalChecks.h"
#include "cleanup/TrashSheets.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/RAZButton.h"
#include "core/AppNotifier.h"
#include "core/AppStartup.h"
#include "core/CommonFuncs.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/MD5.h"
#include "core/PhotosNode.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/ResultsState.h"
#include "platform/FileRemover.h"
#include "platform/FileSystemInfo.h"
#include "platform/LeftFilesSweep.h"
#include "platform/ReachabilityTest.h"
#include "platform/RestoreCopies.h"
#include "platform/SetAsideJournal.h"
#include "scan/ScanSources.h"
#include "support/AccessList.h"
#include "support/ChildProcess.h"
#include "platform/FileDataCopy.h"
#include "support/EndedUndoCopy.h"
#include "support/FixedProbe.h"
#include "support/FuseMirror.h"
#include "support/LongScanHistory.h"
#include "support/OtherUserAndVolume.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/UserNamespace.h"
#include "support/WaitUntil.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QUrl>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <grp.h>
#include <optional>
#include <sched.h>
#include <set>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace {

class FakeSheets : public RemovalScreen, public AfterCleanScreen, public AlertPresenter {
public:
    void showAfterCleanWindow(const AfterCleanFigures& shown, std::function<void(bool)>) override
    {
        figures.push_back(shown);
    }
    void showUndoConfirmation(const QString& countText, std::function<void(bool)> answer) override
    {
        undoQuestions.append(countText);
        answer(true);
    }
    void showActionCompleted(const QString& message, const QStringList& details) override
    {
        messages.append(message);
        messageDetails = details;
    }
    void showTrashConfirmation(const TrashQuestion& question, std::function<void(bool, bool)> answer) override
    {
        ++confirmations;
        questions.push_back(question);
        answer(proceed, false);
    }
    void showTrashProgress(int maximum) override { progressMaximum = maximum; }
    void updateTrashProgress(const TrashProgressFigures& figures) override
    {
        const QString named
            = QStringLiteral("%1 %2").arg(figures.removedBefore).arg(QFileInfo(figures.path).fileName());
        // The bar moves on with files that stay; the name stands meanwhile.
        if (!figures.path.isEmpty() && !figures.pathUnderWay && (shown.isEmpty() || shown.last() != named))
            shown.append(named);
        progress.push_back(figures);
    }
    void closeTrashProgress() override { ++closed; }
    int present(const AlertRequest& request) override { return alerts.append(request.messageText), answer; }

    bool proceed = true;
    int answer = 0;
    int confirmations = 0;
    std::vector<TrashQuestion> questions;
    int progressMaximum = -1;
    int closed = 0;
    // The files removed, each with the count shown, as the sheet named
    // them (each naming once); and every update as it came.
    QStringList shown;
    std::vector<TrashProgressFigures> progress;
    QStringList alerts;
    std::vector<AfterCleanFigures> figures;
    QStringList undoQuestions;
    QStringList messages;
    QStringList messageDetails;
};

class Removal : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(folder);
        setAlertPresenter(sheets);
        controller.setScreen(sheets.get());
        controller.setAfterCleanScreen(sheets.get());
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    // The file as the scan saw it, through the remover's eyes.
    FileInfoNodePtr record(const QString& path)
    {
        const FileFacts facts = remover->examine(path).value_or(FileFacts {});
        EXPECT_TRUE(facts.regular) << path.toStdString();
        auto file = std::make_shared<FileInfoNode>();
        file->filePath = path;
        file->folderPath = QFileInfo(path).path();
        file->fileName = QFileInfo(path).fileName();
        file->fileSize = facts.size;
        file->deviceId = facts.device;
        file->inode = facts.inode;
        file->modTime = facts.modTime;
        file->changeTime = facts.changeTime;
        return file;
    }
    FileInfoNodePtr file(const QString& name, const QByteArray& bytes = "same bytes")
    {
        const QString path = folder + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).path());
        writeTestFile(path, bytes);
        return record(path);
    }
    // m-name and k-name of bytes in dir, loaded as the one group (m-name
    // marked): the marked file's record.
    FileInfoNodePtr loadMarkedPairIn(const QString& dir, const QString& name, const QByteArray& bytes)
    {
        writeTestFile(dir + QStringLiteral("/m-") + name, bytes);
        writeTestFile(dir + QStringLiteral("/k-") + name, bytes);
        const auto marked = record(dir + QStringLiteral("/m-") + name);
        load({ { marked, record(dir + QStringLiteral("/k-") + name) } });
        return marked;
    }
    // Groups of records; every record whose name starts with "m" is marked.
    void load(const std::vector<std::vector<FileInfoNodePtr>>& groups)
    {
        std::vector<DuplicateGroupPtr> result;
        for (const auto& files : groups) {
            result.push_back(std::make_shared<DuplicateGroup>());
            for (const auto& file : files)
                addFileToGroup(result.back(), file);
        }
        state.loadResultSet(result, 0, ScanSource::thisComputer);
        for (const auto& group : result) {
            for (const auto& member : group->children) {
                if (member->fileName->startsWith(QLatin1Char('m')))
                    state.setFileMark(member, true);
            }
        }
    }
    bool run()
    {
        QSignalSpy finished(&controller, &CleanupController::removalFinished);
        controller.removeSelectedItems();
        return controller.isRemoving() && finished.wait(30000);
    }
    // Groups m1 and k1, m2 and k2, ... of different bytes each.
    std::vector<std::vector<FileInfoNodePtr>> markedPairs(int count)
    {
        std::vector<std::vector<FileInfoNodePtr>> groups;
        for (int i = 1; i <= count; ++i) {
            const QByteArray bytes = QByteArray::number(i).repeated(10);
            groups.push_back({ file(QStringLiteral("m%1").arg(i), bytes), file(QStringLiteral("k%1").arg(i), bytes) });
        }
        return groups;
    }
    static bool exists(const FileInfoNodePtr& file) { return QFileInfo::exists(*file->filePath); }
    // The marked file deleted outright as the worker deletes a file of a
    // network volume (these folders are none, so a run would use the
    // trash): checked, set aside, its kept copy proven still there, unlinked.
    FileRemoval deleteOutright(const FileInfoNodePtr& marked)
    {
        const RemovalPlan plan = makeRemovalPlan(state, true);
        const auto item = std::find_if(plan.items.begin(), plan.items.end(),
            [&](const PlannedRemoval& planned) { return planned.file == marked; });
        if (item == plan.items.end())
            return FileRemoval::failed(QStringLiteral("not planned"));
        ContentComparison contents;
        const std::atomic<bool> never { false };
        const RemovalCheck check = checkBeforeRemoval(*item, *remover, contents, never);
        if (check.refusal)
            return FileRemoval::failed(*check.refusal);
        return remover->removeRegularFile(check.file, [&] { return keptCopyStillThere(check, *remover); });
    }
    static QStringList entriesOf(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    // The whole road from the settings to an undo, run again inside a user
    // namespace mapped as map asks.
    void theWholeRoadInAUserNamespace(UserNamespaceMap map);
    bool undo()
    {
        QSignalSpy running(&controller, &CleanupController::undoRunningChanged);
        controller.btnUndoTapped();
        return controller.isUndoing() && running.wait(30000) && !controller.isUndoing();
    }
    static QByteArray bytes(const FileInfoNodePtr& file)
    {
        QFile read(*file->filePath);
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    }

    TempHome home;
    QString folder = home.path() + QStringLiteral("/files");
    UserDefaults defaults { home.configHome() };
    ResultsState state { std::make_shared<ScanSources>(defaults) };
    std::shared_ptr<FaultyFileRemover> remover = std::make_shared<FaultyFileRemover>();
    std::shared_ptr<FakeSheets> sheets = std::make_shared<FakeSheets>();
    CleanupController controller { state, defaults, remover, nullptr };
};

} // namespace

TEST_F(Removal, NothingIsRemovedWithoutMarksOrConfirmation)
{
    const auto kept = file(QStringLiteral("k1"));
    const auto marked = file(QStringLiteral("m1"));
    load({ { kept, marked } });
    state.setFileMark(marked, false);
    QSignalSpy trashButton(&controller, &CleanupController::trashButtonStateChanged);
    controller.removeSelectedItems();
    EXPECT_EQ(sheets->alerts,
        QStringList { localizedText(QStringLiteral("ID_NO_ITEM_SELECTED_PLEASE_SELECT_AND_RETRY_AGAIN")) });
    EXPECT_EQ(trashButton.count(), 1);

    state.setFileMark(marked, true);
    sheets->proceed = false;
    controller.removeSelectedItems();
    EXPECT_EQ(sheets->confirmations, 1);
    EXPECT_FALSE(controller.isRemoving());
    EXPECT_EQ(sheets->progressMaximum, -1);
    EXPECT_TRUE(exists(marked));

    // Without the question the run starts at once.
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);
    ASSERT_TRUE(run());
    EXPECT_EQ(sheets->confirmations, 1);
    EXPECT_FALSE(exists(marked));
}

namespace {

// A cloud source signed out: every run is refused before it starts.
struct SignedOutCloud : CloudRemover {
    int asked = 0;
    int removals = 0;
    bool deleteCloudFile(ScanSource, const FileInfoNode&, QString&) override { return ++removals, true; }
    bool isReadyToRemove(ScanSource) override { return ++asked, false; }
};

} // namespace

TEST_F(Removal, ACloudSourceIsAskedForItsSignInOnlyWhenTheRunWouldStart)
{
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
    auto cloud = std::make_shared<SignedOutCloud>();
    controller.setCloudRemover(cloud);
    const auto marked = file(QStringLiteral("m1"));
    auto group = std::make_shared<DuplicateGroup>();
    addFileToGroup(group, file(QStringLiteral("k1")));
    addFileToGroup(group, marked);
    state.loadResultSet({ group }, 0, ScanSource::googleDrive);
    state.setFileMark(marked, true);
    sheets->proceed = false;
    controller.removeSelectedItems();
    EXPECT_EQ(cloud->asked, 0);

    sheets->proceed = true;
    controller.removeSelectedItems();
    EXPECT_EQ(cloud->asked, 1);
    EXPECT_FALSE(controller.isRemoving());
    EXPECT_EQ(cloud->removals, 0);
    setNetworkReachabilityProbe(nullptr);
}

TEST_F(Removal, EachFileIsCheckedRightBeforeItGoesAndEveryOutcomeIsReported)
{
    // Three of a kind, two marked: both go, one child stays.
    const auto m1 = file(QStringLiteral("m1"));
    const auto m2 = file(QStringLiteral("m2"));
    const auto k3 = file(QStringLiteral("k3"));
    // A file in a folder it cannot leave fails; the run goes on.
    const auto locked = file(QStringLiteral("ro/m-locked"));
    QFile::setPermissions(folder + QStringLiteral("/ro"), QFile::ReadOwner | QFile::ExeOwner);
    remover->failingFolders.insert(folder + QStringLiteral("/ro")); // root ignores the permissions
    const auto lockedKeep = file(QStringLiteral("k-locked"));
    // The kept copy vanished before the run.
    const auto orphan = file(QStringLiteral("m-orphan"));
    const auto gone = file(QStringLiteral("k-gone"));
    QFile::remove(*gone->filePath);
    // Changed since the scan.
    const auto changed = file(QStringLiteral("m-changed"), "old bytes!");
    const auto changedKeep = file(QStringLiteral("k-changed"), "old bytes!");
    // Two paths of one file: a hard link, and a path through a folder link.
    writeTestFile(folder + QStringLiteral("/m-linked"), "same bytes");
    ASSERT_EQ(::link(QFile::encodeName(folder + QStringLiteral("/m-linked")).constData(),
                  QFile::encodeName(folder + QStringLiteral("/k-link")).constData()),
        0);
    const auto linked = record(folder + QStringLiteral("/m-linked"));
    const auto hardLink = record(folder + QStringLiteral("/k-link"));
    writeTestFile(folder + QStringLiteral("/m-twice"), "same bytes");
    ASSERT_EQ(::link(QFile::encodeName(folder + QStringLiteral("/m-twice")).constData(),
                  QFile::encodeName(folder + QStringLiteral("/m-twice-hard")).constData()),
        0);
    const auto twice = record(folder + QStringLiteral("/m-twice"));
    const auto twiceAgain = record(folder + QStringLiteral("/m-twice-hard"));
    const auto inFolder = file(QStringLiteral("real/m-x"));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/real"), folder + QStringLiteral("/alias")));
    const auto throughAlias = record(folder + QStringLiteral("/alias/m-x"));
    throughAlias->fileName = QStringLiteral("k-x");

    load({ { m1, m2, k3 }, { locked, lockedKeep }, { orphan, gone }, { changed, changedKeep }, { linked, hardLink },
        { inFolder, throughAlias }, { twice, twiceAgain, file(QStringLiteral("k-twice")) } });
    writeTestFile(*changed->filePath, "new bytes!");
    QSignalSpy history(&AppNotifier::instance(), &AppNotifier::UpdateLastScanStatus);
    ASSERT_TRUE(run());

    EXPECT_FALSE(exists(m1));
    EXPECT_FALSE(exists(m2));
    for (const auto& stays : { k3, locked, orphan, changed, linked, hardLink, inFolder, twiceAgain })
        EXPECT_TRUE(exists(stays)) << stays->filePath->toStdString();
    EXPECT_EQ(sheets->progressMaximum, 9);
    // The sheet follows the removed files at its own pace, and ends on the
    // last of them.
    const QStringList removedInOrder { QStringLiteral("0 m1"), QStringLiteral("1 m2"), QStringLiteral("2 m-twice") };
    ASSERT_FALSE(sheets->shown.isEmpty());
    EXPECT_EQ(sheets->shown.last(), removedInOrder.last());
    for (qsizetype i = 1; i < sheets->shown.size(); ++i)
        EXPECT_LT(removedInOrder.indexOf(sheets->shown[i - 1]), removedInOrder.indexOf(sheets->shown[i]));
    EXPECT_EQ(sheets->closed, 1);

    const RemovalReport& report = controller.lastReport();
    EXPECT_EQ(report.countTrashed, 3);
    ASSERT_EQ(report.arrFileNotTrashed.size(), 1u);
    EXPECT_EQ(report.arrFileNotTrashed[0].file, locked);
    QStringList skipped;
    for (const auto& outcome : report.skipped)
        skipped.append(*outcome.file->fileName + QLatin1Char(':') + outcome.reason);
    EXPECT_EQ(skipped,
        (QStringList { QStringLiteral("m-twice-hard:another path of this file was removed"),
            QStringLiteral("m-orphan:no other copy of it is left on disk"),
            QStringLiteral("m-changed:it has changed since the scan"),
            QStringLiteral("m-linked:its kept copy %1/k-link is this very file by another path").arg(folder),
            QStringLiteral("m-x:its kept copy %1/alias/m-x is this very file by another path").arg(folder) }));

    // Only removed files enter the undo list, each with its place in the
    // trash and the entry that says where it came from.
    const auto& undo = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undo.size(), 3u);
    EXPECT_EQ(undo[0].file, m1);
    EXPECT_EQ(undo[1].file, m2);
    EXPECT_TRUE(undo[0].trashedPath.startsWith(home.dataHome() + QStringLiteral("/Trash/files/")));
    EXPECT_TRUE(QFileInfo::exists(undo[0].trashedPath));
    QFile info(undo[0].trashInfoPath);
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_TRUE(info.readAll().contains("Path=" + QFile::encodeName(*m1->filePath)));

    // The worker only reported; the groups changed here afterwards, and the
    // group left with one file is no longer among them.
    const auto group = k3->parent.lock();
    EXPECT_EQ(std::count(state.arrMainGroup.begin(), state.arrMainGroup.end(), group), 0);
    EXPECT_EQ(group->children, std::vector { k3 });
    EXPECT_EQ(group->filterChildren, std::vector { k3 });
    EXPECT_EQ(group->state, 1);
    EXPECT_TRUE(m1->isMoveToTrash);
    EXPECT_FALSE(locked->isMoveToTrash);
    EXPECT_EQ(state.countMarked(), 6);
    EXPECT_EQ(state.dupCount, 6);
    EXPECT_EQ(history.count(), 1);
    const auto records = defaults.arrayValue(QString::fromLatin1(SettingsKey::lastScanStatus)).value_or(QVariantList());
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.last().toMap().value(QStringLiteral("dupCount")).toLongLong(), 6);
    QFile::setPermissions(folder + QStringLiteral("/ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(Removal, StopFinishesTheFileUnderWayAndTriesNoOther)
{
    const auto first = file(QStringLiteral("m1"));
    const auto second = file(QStringLiteral("m2"), "other");
    load({ { first, file(QStringLiteral("k1")) }, { second, file(QStringLiteral("k2"), "other") } });
    remover->beforeEach = [this](const QString&) { controller.abortCleaning(); };
    ASSERT_TRUE(run());
    EXPECT_EQ(remover->calls, 1);
    EXPECT_FALSE(exists(first));
    EXPECT_TRUE(exists(second));
    EXPECT_TRUE(second->isMarked());
    EXPECT_TRUE(controller.lastReport().stopped);
    ASSERT_EQ(controller.arrNodesToBeRestoredLocal().size(), 1u);
    EXPECT_EQ(controller.arrNodesToBeRestoredLocal()[0].file, first);
}

TEST_F(Removal, MarkedFilesHiddenByTheCategoryAndAGroupsLastCopyStay)
{
    const auto hidden = file(QStringLiteral("m-hidden.txt"));
    const auto shown = file(QStringLiteral("m-shown.jpg"));
    const auto kept = file(QStringLiteral("k.jpg"));
    const auto both = file(QStringLiteral("m-a.jpg"), "pair");
    const auto other = file(QStringLiteral("m-b.jpg"), "pair");
    hidden->fileCategory = GlobalObjects::FileCategory::Doc;
    for (const auto& picture : { shown, kept, both, other })
        picture->fileCategory = GlobalObjects::FileCategory::Pic;
    load({ { hidden, shown, kept }, { both, other } });
    state.selectCategory(GlobalObjects::FileCategory::Pic);
    ASSERT_TRUE(run());
    EXPECT_TRUE(exists(hidden));
    EXPECT_TRUE(hidden->isMarked());
    EXPECT_FALSE(exists(shown));
    // Both files of a pair marked: one of them always stays.
    EXPECT_NE(exists(both), exists(other));
    EXPECT_EQ(other->parent.lock()->children.size(), 1u);
}

TEST_F(Removal, AFileOfAProtectedFolderGoesOnlyWhenTheUserConfirmedThatVeryFile)
{
    const auto kept = file(QStringLiteral("k1"));
    const auto stale = file(QStringLiteral("real/m-stale"));
    const auto confirmed = file(QStringLiteral("real/m-confirmed"));
    // Protected through a link after the marks were made; the files were
    // found by the real path.
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/real"), home.path() + QStringLiteral("/alias")));
    load({ { kept, stale, confirmed } });
    defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
        QVariantList { makeFolderEntry(home.path() + QStringLiteral("/alias")) });
    state.buildProtectedFolderPredicate();
    state.setFileMark(confirmed, false);
    sheets->answer = 1; // "Yes, mark it"
    state.fileCheckBoxTapped(confirmed);
    ASSERT_TRUE(confirmed->isMarked());

    ASSERT_TRUE(run());
    EXPECT_TRUE(exists(stale));
    EXPECT_FALSE(exists(confirmed));
    EXPECT_TRUE(exists(kept));
    const auto& skipped = controller.lastReport().skipped;
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].file, stale);
    EXPECT_EQ(skipped[0].reason, QStringLiteral("it is in a protected folder"));
}

TEST_F(Removal, TheConfirmationSheetHandsOnEachChoiceOnce)
{
    QWidget window;
    TrashSheets trashSheets(&window, controller);
    std::vector<std::pair<bool, bool>> answers;
    const auto answer = [&](bool proceed, bool doNotShowAgain) { answers.emplace_back(proceed, doNotShowAgain); };
    trashSheets.showTrashConfirmation(trashQuestion(ScanSource::thisComputer, 1, 0, false), answer);
    trashSheets.btnDontShowThisAgain->setChecked(true);
    trashSheets.btnTrashOnReview->click();
    trashSheets.btnReview->click();
    trashSheets.showTrashConfirmation(trashQuestion(ScanSource::thisComputer, 1, 0, true), answer);
    EXPECT_FALSE(trashSheets.btnDontShowThisAgain->isChecked());
    trashSheets.btnReview->click();
    EXPECT_EQ(answers, (std::vector<std::pair<bool, bool>> { { true, true }, { false, false } }));
}

namespace {

// What the user read on the way through one removal: the question's button,
// whether its note on network drives stood there, and the after-clean
// window's line on where the removed files went.
struct RemovalTold {
    QString button;
    bool networkNote = false;
    QString whereTheyWent;
};

} // namespace

// Files of a network mount are deleted outright: the question's button says
// Delete, and the after-clean window never sends the user to the Trash for
// them, alone, mixed with files that went to the Trash, or when nothing went.
TEST_F(Removal, TheQuestionAndTheAfterCleanWindowSayWhereTheFilesWent)
{
    const QString away = home.path() + QStringLiteral("/away");
    QDir().mkpath(away);
    const FuseMirror mount(away, home.path() + QStringLiteral("/share"), 0, QStringLiteral("sshfs"));
    if (!mount.isMounted())
        GTEST_SKIP() << FuseMirror::unavailable;
    if (!isNetworkVolume(mount.mirror()))
        GTEST_SKIP() << "the mount is not taken for a network one here";
    // A file of the share, as the scan records it.
    const auto onShare = [&](const QString& name, const QByteArray& bytes) {
        const QString path = mount.mirror() + QLatin1Char('/') + name;
        writeTestFile(path, bytes);
        FileInfoNodePtr made = record(path);
        made->isNetworkDrive = isNetworkVolume(path);
        return made;
    };
    QWidget window;
    TrashSheets trashSheets(&window, controller);
    AfterCleanSheets afterClean(&window);
    controller.setScreen(&trashSheets);
    controller.setAfterCleanScreen(&afterClean);
    const auto removeAsTheUserDoes = [&] {
        RemovalTold told;
        QSignalSpy finished(&controller, &CleanupController::removalFinished);
        controller.removeSelectedItems();
        EXPECT_TRUE(trashSheets.windowTrashConfirmation()->isVisible());
        told.button = trashSheets.btnTrashOnReview->text();
        told.networkNote = trashSheets.lblNetworkDriveContent->isVisibleTo(trashSheets.windowTrashConfirmation());
        trashSheets.btnTrashOnReview->click();
        EXPECT_TRUE(finished.wait(30000));
        EXPECT_TRUE(waitUntil([&] { return afterClean.windowAfterClean()->isVisible(); }));
        told.whereTheyWent = afterClean.lblInCaseMistake->text();
        afterClean.btnOkTrash->click();
        return told;
    };
    const QString trash = localizedText(QStringLiteral("ID_TRASH"));
    const QString deleteTitle = localizedText(QStringLiteral("ID_DELETE"));

    const auto shared = onShare(QStringLiteral("m-shared"), "on the share");
    load({ { shared, onShare(QStringLiteral("k-shared"), "on the share") } });
    RemovalTold told = removeAsTheUserDoes();
    EXPECT_EQ(told.button, deleteTitle);
    EXPECT_TRUE(told.networkNote);
    EXPECT_EQ(told.whereTheyWent, localizedText(QStringLiteral("ID_REMOVED_FILE_DELETED_PERMANENTLY")));
    EXPECT_FALSE(exists(shared));
    EXPECT_EQ(entriesOf(home.dataHome() + QStringLiteral("/Trash/files")), QStringList {});
    EXPECT_EQ(controller.lastReport().countDeletedOutright, 1);

    // One of each: each told as it went.
    const auto local = file(QStringLiteral("m-local"), "here");
    const auto sharedToo = onShare(QStringLiteral("m-shared-too"), "there");
    load({ { local, file(QStringLiteral("k-local"), "here") },
        { sharedToo, onShare(QStringLiteral("k-shared-too"), "there") } });
    told = removeAsTheUserDoes();
    EXPECT_EQ(told.button, deleteTitle);
    EXPECT_EQ(told.whereTheyWent, localizedText(QStringLiteral("ID_ONE_REMOVED_FILE_DELETED_PERMANENTLY")));
    EXPECT_FALSE(exists(local));
    EXPECT_FALSE(exists(sharedToo));
    EXPECT_EQ(entriesOf(home.dataHome() + QStringLiteral("/Trash/files")), QStringList { QStringLiteral("m-local") });

    // Only files of this disk: the Trash, as before.
    const auto plain = file(QStringLiteral("m-plain"), "plain");
    load({ { plain, file(QStringLiteral("k-plain"), "plain") } });
    told = removeAsTheUserDoes();
    EXPECT_EQ(told.button, trash);
    EXPECT_FALSE(told.networkNote);
    EXPECT_EQ(told.whereTheyWent,
        localizedText(QStringLiteral("ID_IN_CASE_MISTAKE_RECOVER_CLEANED_ITEMS_FROM_FINDER_PHOTOS_BIN")));

    // Nothing went: nothing to get back from anywhere.
    const auto refused = onShare(QStringLiteral("m-refused"), "stays");
    load({ { refused, onShare(QStringLiteral("k-refused"), "stays") } });
    remover->failingPaths.insert(*refused->filePath);
    told = removeAsTheUserDoes();
    EXPECT_EQ(told.button, deleteTitle);
    EXPECT_TRUE(exists(refused));
    EXPECT_EQ(told.whereTheyWent, localizedText(QStringLiteral("ID_NOTHING_REMOVED")));
}

namespace {

// A cloud source that refuses every removal.
struct RefusingCloud : CloudRemover {
    bool deleteCloudFile(ScanSource, const FileInfoNode&, QString& error) override
    {
        error = QStringLiteral("the service refused it");
        return false;
    }
    bool isReadyToRemove(ScanSource) override { return true; }
};

} // namespace

TEST_F(Removal, ACloudRunThatRemovedNothingSendsNoOneToTheServicesTrash)
{
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
    controller.setCloudRemover(std::make_shared<RefusingCloud>());
    for (const ScanSource source : { ScanSource::box, ScanSource::dropbox, ScanSource::oneDrive }) {
        const auto marked = file(QStringLiteral("m-cloud"));
        auto group = std::make_shared<DuplicateGroup>();
        addFileToGroup(group, file(QStringLiteral("k-cloud")));
        addFileToGroup(group, marked);
        state.loadResultSet({ group }, 0, source);
        state.setFileMark(marked, true);
        sheets->figures.clear();
        ASSERT_TRUE(run());
        ASSERT_TRUE(waitUntil([&] { return !sheets->figures.empty(); }));
        EXPECT_FALSE(sheets->figures.back().anyRemoved);
        EXPECT_EQ(sheets->figures.back().inCaseMistake, localizedText(QStringLiteral("ID_NOTHING_REMOVED")));
    }
    setNetworkReachabilityProbe(nullptr);
}

TEST_F(Removal, UndoPutsTheRemovedFilesThemselvesBackAndShowsThemAgain)
{
    const auto m1 = file(QStringLiteral("a/m1"), "first");
    const auto m2 = file(QStringLiteral("a/m2"), "first");
    const auto m3 = file(QStringLiteral("b/deep/m3"), "second");
    const auto k1 = file(QStringLiteral("k1"), "first");
    const auto k3 = file(QStringLiteral("k3"), "second");
    load({ { m1, k1, m2 }, { k3, m3 } });
    ASSERT_TRUE(run());
    ASSERT_TRUE(waitUntil([&] { return !sheets->figures.empty(); }));
    EXPECT_TRUE(state.arrMainGroup.empty());
    const auto undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 3u);
    // Its folders are gone too: they are made again.
    QDir(folder + QStringLiteral("/b")).removeRecursively();

    ASSERT_TRUE(undo());
    EXPECT_EQ(
        sheets->undoQuestions, QStringList { formatText(localizedText(QStringLiteral("ID_ACTION_TO_UNDO")), { 3 }) });
    EXPECT_EQ(sheets->messages, QStringList { localizedText(QStringLiteral("ID_ACTION_COMPLETED")) });
    for (const auto& [restored, content] : { std::pair { m1, "first" }, { m2, "first" }, { m3, "second" } })
        EXPECT_EQ(bytes(restored), QByteArray(content)) << restored->filePath->toStdString();
    for (const RemovedFile& entry : undoList) {
        EXPECT_FALSE(QFileInfo::exists(entry.trashedPath));
        EXPECT_FALSE(QFileInfo::exists(entry.trashInfoPath));
    }
    EXPECT_TRUE(controller.arrNodesToBeRestoredLocal().empty());
    ASSERT_EQ(state.arrGroups.size(), 2u);
    EXPECT_EQ(state.arrGroups[0]->filterChildren, (std::vector { k1, m1, m2 }));
    EXPECT_EQ(state.arrGroups[1]->filterChildren, (std::vector { k3, m3 }));
    EXPECT_FALSE(m3->isMoveToTrash);
    EXPECT_EQ(state.countMarked(), 3);
    // The last scan's figures follow the duplicates that are back.
    const auto records = defaults.arrayValue(QString::fromLatin1(SettingsKey::lastScanStatus)).value_or(QVariantList());
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.last().toMap().value(QStringLiteral("dupCount")).toLongLong(), 3);

    // Restored files are acted on again as the files they are now.
    ASSERT_TRUE(run());
    EXPECT_FALSE(exists(m3));
    EXPECT_EQ(controller.lastReport().countTrashed, 3);
}

TEST_F(Removal, UndoNeverWritesOverAFile)
{
    const auto occupied = file(QStringLiteral("m-occupied"), "trashed");
    const auto free = file(QStringLiteral("m-free"), "other");
    load({ { occupied, file(QStringLiteral("k-occupied"), "trashed") },
        { free, file(QStringLiteral("k-free"), "other") } });
    ASSERT_TRUE(run());
    writeTestFile(*occupied->filePath, "newcomer");

    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(occupied), QByteArray("newcomer"));
    EXPECT_EQ(bytes(free), QByteArray("other"));
    const UndoReport& report = controller.lastUndoReport();
    EXPECT_EQ(report.restored, 1);
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].file, occupied);
    EXPECT_EQ(sheets->messages,
        QStringList { formatText(localizedText(QStringLiteral("ID_FILES_RESTORED_PARTLY")), { 1, 2 }) });
    EXPECT_EQ(sheets->messageDetails,
        QStringList { *occupied->filePath + QStringLiteral(": a file is already at this path") });
    // The entry stays, its original still in the trash.
    ASSERT_EQ(controller.arrNodesToBeRestoredLocal().size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(controller.arrNodesToBeRestoredLocal()[0].trashedPath));
}

TEST_F(Removal, AFileDeletedOutrightComesBackOnlyAsACopyOfEqualContent)
{
    // Only a kept file of a group compared by content, whose bytes still
    // give the removed file's digest, may stand in for it.
    const std::atomic<bool> never { false };
    std::vector<RemovedFile> undoList;
    const auto deleted
        = [&](const QString& name, const QByteArray& content, bool byContent, const QByteArray& keptNow) {
              const auto removed = file(QStringLiteral("m-") + name, content);
              const auto kept = file(QStringLiteral("k-") + name, content);
              auto group = std::make_shared<DuplicateGroup>();
              for (const auto& member : { removed, kept }) {
                  member->md5 = byContent ? md5OfFile(*member->filePath, never) : std::nullopt;
                  member->isMd5Calucaluted = byContent;
              }
              addFileToGroup(group, kept);
              writeTestFile(*kept->filePath, keptNow);
              QFile::remove(*removed->filePath);
              undoList.push_back({ removed, group, *removed->filePath, {}, {}, RemovalRoute::deleteOutright, 0, {} });
              return removed;
          };
    const auto same = deleted(QStringLiteral("same"), "content", true, "content");
    const auto attributes = deleted(QStringLiteral("attributes"), "content", false, "content");
    const auto changed = deleted(QStringLiteral("changed"), "content", true, "changed!");
    UnavailableCloudRemover cloud;
    const auto outcomes = executeUndoPlan(makeUndoPlan(undoList), cloud, never);
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_TRUE(outcomes[0].restored && outcomes[0].byCopy);
    EXPECT_EQ(bytes(same), QByteArray("content"));
    for (const auto& refused : { attributes, changed })
        EXPECT_FALSE(exists(refused)) << refused->filePath->toStdString();
    EXPECT_FALSE(outcomes[1].restored || outcomes[2].restored);
}

TEST_F(Removal, ASecondUndoOrARemovalWhileAnUndoRunsIsRefused)
{
    const auto marked = file(QStringLiteral("m1"));
    load({ { marked, file(QStringLiteral("k1")) } });
    ASSERT_TRUE(run());
    controller.btnUndoTapped();
    ASSERT_TRUE(controller.isUndoing());
    controller.btnUndoTapped();
    controller.removeSelectedItems();
    EXPECT_EQ(sheets->undoQuestions, QStringList { QStringLiteral("1 removed file will be restored.") });
    EXPECT_FALSE(controller.isRemoving());
    ASSERT_TRUE(waitUntil([&] { return !controller.isUndoing(); }));
    EXPECT_TRUE(exists(marked));
    controller.btnUndoTapped();
    EXPECT_EQ(sheets->messages.last(), localizedText(QStringLiteral("ID_NO_ACTION_TO_UNDO")));
}

TEST_F(Removal, EveryRunEndsWithTheAfterCleanReport)
{
    // One file: the singular count.
    const auto one = file(QStringLiteral("m1"));
    load({ { one, file(QStringLiteral("k1")) } });
    ASSERT_TRUE(run());
    ASSERT_TRUE(waitUntil([&] { return sheets->figures.size() == 1; }));
    EXPECT_EQ(sheets->figures[0].totalDupsCleaned,
        formatText(localizedText(QStringLiteral("ID_DUPLICATE_FILE_CLEANED_COUNT")), { 1 }));
    EXPECT_TRUE(sheets->figures[0].notRemoved.isEmpty());

    // Stopped before its first file, with nothing removed: still reported.
    const auto two = file(QStringLiteral("m2"));
    load({ { two, file(QStringLiteral("k2")) } });
    struct StopAtStart : FakeSheets {
        CleanupController* controller = nullptr;
        void showTrashProgress(int) override { controller->abortCleaning(); }
    };
    auto stopper = std::make_shared<StopAtStart>();
    stopper->controller = &controller;
    controller.setScreen(stopper.get());
    ASSERT_TRUE(run());
    ASSERT_TRUE(waitUntil([&] { return sheets->figures.size() == 2; }));
    EXPECT_EQ(remover->calls, 1);
    EXPECT_TRUE(exists(two));
    EXPECT_EQ(sheets->figures[1].dupCleaned, QStringLiteral("0"));
    EXPECT_EQ(sheets->figures[1].notRemoved,
        QStringList { formatText(localizedText(QStringLiteral("ID_CLEANUP_STOPPED_FILES_NOT_TRIED")), { 1 }) });
}

TEST_F(Removal, AFileOfAnEarlierResultSetComesBackWithoutEnteringTheNewOne)
{
    const auto marked = file(QStringLiteral("m1"));
    load({ { marked, file(QStringLiteral("k1")) } });
    ASSERT_TRUE(run());
    load({ { file(QStringLiteral("k2"), "new"), file(QStringLiteral("k3"), "new") } });
    ASSERT_TRUE(undo());
    EXPECT_TRUE(exists(marked));
    EXPECT_EQ(controller.lastUndoReport().restoredNotShown, 1);
    EXPECT_EQ(state.arrMainGroup.size(), 1u);
    EXPECT_EQ(state.arrMainGroup[0]->children.size(), 2u);
}

TEST_F(Removal, PhotoLibraryItemsGoOnlyIntoTheAlbumAndStayMarkedWithoutIt)
{
    const auto kept = file(QStringLiteral("k.jpg"), "picture");
    const auto item = file(QStringLiteral("lib/m.jpg"), "picture");
    item->isPhotosNode = true;
    item->setLibraryPath(folder + QStringLiteral("/lib"));
    item->setPhotosInfo(std::make_shared<PhotosNode>());
    item->photosInfo()->uuIDRkVersion = QStringLiteral("U-1");
    load({ { kept, item } });
    EXPECT_EQ(controller.openPhotoLibrary(), *item->libraryPath());
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);

    // No photo application on this system: the user is told, nothing changes.
    ASSERT_TRUE(run());
    EXPECT_EQ(sheets->alerts, QStringList { localizedText(QStringLiteral("ID_PLEASE_OPEN_PHOTOS_APP")) });
    EXPECT_TRUE(controller.lastReport().photosAlbumFailed && item->isMarked());
    EXPECT_EQ(state.arrMainGroup[0]->children.size(), 2u);

    auto photos = std::make_shared<FakePhotos>();
    photos->containers = QStringList { markedPhotosAlbumName() };
    controller.setPhotosBridge(photos);
    ASSERT_TRUE(run());
    EXPECT_TRUE(item->photosInfo()->isMovedToTrashAlbum.value_or(false));
    EXPECT_EQ(state.arrMainGroup[0]->children, std::vector<FileInfoNodePtr> { kept });
    // Either way the file itself never moves and nothing can be undone.
    EXPECT_TRUE(exists(item) && remover->calls == 0);
    EXPECT_TRUE(controller.arrNodesToBeRestoredLocal().empty());
}

// The after-clean window's album line counts only the items put into the
// album; the others are listed among the files not removed, with why.
TEST_F(Removal, TheAlbumLineCountsOnlyItemsInTheAlbumAndTheOthersSayWhy)
{
    const auto libraryItem = [this](const QString& name, const QString& id) {
        auto item = file(QStringLiteral("lib/") + name, "picture");
        item->isPhotosNode = true;
        item->setLibraryPath(folder + QStringLiteral("/lib"));
        item->setPhotosInfo(std::make_shared<PhotosNode>());
        item->photosInfo()->uuIDRkVersion = id;
        return item;
    };
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);
    const auto notInAlbum = [](const FileInfoNodePtr& item, const char* reason) {
        return *item->filePath + QStringLiteral(": ") + localizedText(QString::fromLatin1(reason));
    };

    // No photo application here: nothing is counted as moved.
    const auto first = libraryItem(QStringLiteral("ma.jpg"), QStringLiteral("U-1"));
    load({ { file(QStringLiteral("k1.jpg"), "picture"), first } });
    ASSERT_TRUE(run());
    ASSERT_TRUE(waitUntil([&] { return sheets->figures.size() == 1; }));
    EXPECT_TRUE(sheets->figures[0].dupCleanedLibrary.isEmpty()) << sheets->figures[0].dupCleanedLibrary.toStdString();
    EXPECT_EQ(sheets->figures[0].dupCleaned, QStringLiteral("0"));
    EXPECT_EQ(sheets->figures[0].notRemoved, QStringList { notInAlbum(first, "ID_PHOTOS_ITEM_NOT_MOVED_NO_ALBUM") });

    // The application takes one item and does not know the other.
    auto photos = std::make_shared<FakePhotos>();
    photos->containers = QStringList { markedPhotosAlbumName() };
    controller.setPhotosBridge(photos);
    const auto known = libraryItem(QStringLiteral("mb.jpg"), QStringLiteral("U-2"));
    const auto unknown = libraryItem(QStringLiteral("mc.jpg"), QStringLiteral("bad id!"));
    load({ { file(QStringLiteral("k2.jpg"), "picture"), known },
        { file(QStringLiteral("k3.jpg"), "picture"), unknown } });
    ASSERT_TRUE(run());
    ASSERT_TRUE(waitUntil([&] { return sheets->figures.size() == 2; }));
    EXPECT_EQ(sheets->figures[1].dupCleanedLibrary,
        formatText(localizedText(QStringLiteral("ID_PHOTOS_VIDEOS_MOVE_TO_DUPLICATE_MARKED_ALBUM")), { 1 }));
    EXPECT_EQ(sheets->figures[1].notRemoved, QStringList { notInAlbum(unknown, "ID_PHOTOS_ITEM_NOT_MOVED_UNKNOWN") });
}

// The after-clean window calls a run a success only when every marked file
// went. OK stays with the results; the Back link leaves them for the home
// screen.
TEST(AfterCleanWindow, SuccessLineOnlyWhenEveryMarkedFileWentAndBackLeavesForHome)
{
    QWidget window;
    AfterCleanSheets sheets(&window);
    for (const auto& [anyRemoved, failures, success] :
        { std::tuple { true, 0, true }, { true, 1, false }, { false, 1, false } }) {
        AfterCleanFigures figures;
        figures.anyRemoved = anyRemoved;
        figures.notRemoved = QStringList(failures, QStringLiteral("/a.jpg: Permission denied"));
        std::optional<bool> toHome;
        sheets.showAfterCleanWindow(figures, [&toHome](bool home) { toHome = home; });
        EXPECT_EQ(sheets.lblSelectedFileDeleted->isVisibleTo(sheets.windowAfterClean()), success);
        EXPECT_EQ(sheets.lblSelectedFileDeletedInfo->isVisibleTo(sheets.windowAfterClean()), anyRemoved);
        (success ? static_cast<QAbstractButton*>(sheets.btnBackToTrash) : sheets.btnOkTrash)->click();
        EXPECT_EQ(toHome, success);
        EXPECT_FALSE(sheets.windowAfterClean()->isVisible());
    }
}

// For the photo catalog, whose files stay, the question and the after-clean
// window tell of one file in the singular and of two in the plural; so does
// the question of this computer's files.
TEST(CatalogRemovalTexts, OneFileInTheSingularTwoInThePlural)
{
    EXPECT_EQ(trashQuestion(ScanSource::lightroomCatalog, 1, 0, false).heading.toStdString(),
        "Remove the marked file from the catalog?");
    EXPECT_EQ(trashQuestion(ScanSource::lightroomCatalog, 2, 0, false).heading.toStdString(),
        "Remove all marked files from the catalog?");
    EXPECT_EQ(trashQuestion(ScanSource::thisComputer, 1, 0, false).heading.toStdString(),
        "Are you sure you want to delete the marked item?");
    EXPECT_EQ(trashQuestion(ScanSource::thisComputer, 2, 0, false).heading.toStdString(),
        "Are you sure you want to delete all marked items?");
    for (const qint64 count : { 1, 2 }) {
        SCOPED_TRACE(count);
        const bool one = count == 1;
        const QString info = trashQuestion(ScanSource::lightroomCatalog, count, 0, false).info;
        EXPECT_EQ(info.contains(QStringLiteral("this file")), one) << info.toStdString();
        EXPECT_EQ(info.contains(QStringLiteral("these files")), !one) << info.toStdString();
        RemovalReport report;
        report.countTrashed = count;
        const QString hint = afterCleanFigures(report, ScanSource::lightroomCatalog).inCaseMistake;
        EXPECT_EQ(hint.contains(QStringLiteral("this file")), one) << hint.toStdString();
        EXPECT_EQ(hint.contains(QStringLiteral("these files")), !one) << hint.toStdString();
    }
    // Two shown, one hidden: the files that go are two.
    EXPECT_TRUE(trashQuestion(ScanSource::lightroomCatalog, 2, 1, false).info.contains(QStringLiteral("these files")));
}

TEST_F(Removal, AFileStaysWhenItsKeptCopyIsTheSameFileByAnotherRoute)
{
    // A folder seen a second time through a mount of its own: the "copy"
    // carries another device number but is the marked file itself.
    const auto marked = file(QStringLiteral("m-real"));
    const QString route = home.path() + QStringLiteral("/mount/k-real");
    remover->secondRoutes[route] = *marked->filePath;
    const auto kept = record(route);
    ASSERT_NE(kept->deviceId, marked->deviceId);
    const auto other = file(QStringLiteral("m-other"), "other");
    load({ { marked, kept }, { other, file(QStringLiteral("k-other"), "other") } });
    ASSERT_TRUE(run());

    EXPECT_TRUE(exists(marked));
    EXPECT_FALSE(exists(other));
    const RemovalReport& report = controller.lastReport();
    ASSERT_EQ(report.arrFileNotTrashed.size(), 1u);
    EXPECT_EQ(report.arrFileNotTrashed[0].file, marked);
    EXPECT_TRUE(report.arrFileNotTrashed[0].reason.contains(QStringLiteral("its kept copy")))
        << report.arrFileNotTrashed[0].reason.toStdString();
    ASSERT_EQ(controller.arrNodesToBeRestoredLocal().size(), 1u);
    EXPECT_EQ(QDir(home.dataHome() + QStringLiteral("/Trash/info")).entryList(QDir::Files).size(), 1);
}

TEST_F(Removal, AKeptCopyWhoseStatusComesFromACacheIsOpenedAgainAfterTheMoveOnBothRoads)
{
    // The second route answers its status from a cache: after the move it
    // still shows the kept copy as the checks saw it.
    remover->routesAnswerFromCache = true;
    const auto withSecondRoute = [&](const QString& name) {
        const auto marked = file(QStringLiteral("m-") + name, "only copy");
        const QString route = home.path() + QStringLiteral("/mount/k-") + name;
        remover->secondRoutes[route] = *marked->filePath;
        load({ { marked, record(route) } });
        return std::pair { marked,
            QStringLiteral("its kept copy %1 went with it: both paths lead to one file").arg(route) };
    };
    const auto [trashed, trashedReason] = withSecondRoute(QStringLiteral("trashed"));
    ASSERT_TRUE(run());

    EXPECT_EQ(bytes(trashed), QByteArray("only copy"));
    EXPECT_EQ(controller.lastReport().countTrashed, 0);
    ASSERT_EQ(controller.lastReport().arrFileNotTrashed.size(), 1u);
    EXPECT_EQ(controller.lastReport().arrFileNotTrashed[0].reason, trashedReason);
    EXPECT_EQ(entriesOf(home.dataHome() + QStringLiteral("/Trash/files")), QStringList {});
    EXPECT_EQ(entriesOf(home.dataHome() + QStringLiteral("/Trash/info")), QStringList {});

    const auto [deleted, deletedReason] = withSecondRoute(QStringLiteral("deleted"));
    const FileRemoval removal = deleteOutright(deleted);
    EXPECT_FALSE(removal.ok);
    EXPECT_EQ(removal.error, deletedReason);
    EXPECT_EQ(bytes(deleted), QByteArray("only copy"));
    EXPECT_EQ(entriesOf(folder), (QStringList { QStringLiteral("m-deleted"), QStringLiteral("m-trashed") }));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

TEST_F(Removal, AFileSeenAgainThroughAFuseMirrorIsNeverItsOwnKeptCopy)
{
    const QString mirror = home.path() + QStringLiteral("/mirror");
    const FuseMirror mount(folder, mirror);
    if (!mount.isMounted())
        GTEST_SKIP() << FuseMirror::unavailable;
    const auto throughMirror = [&](const QString& name, const QString& shownAs) {
        const auto seen = record(mirror + QLatin1Char('/') + name);
        seen->fileName = shownAs;
        return seen;
    };
    const auto wentWithIt = [&](const QString& name) {
        return QStringLiteral("its kept copy %1/%2 went with it: both paths lead to one file").arg(mirror, name);
    };
    // A file and itself through the mirror; and a true copy seen through
    // the mirror, which vouches as any other copy does.
    const auto trashed = file(QStringLiteral("m-trashed"), "only copy");
    const auto copied = file(QStringLiteral("m-copied"), "a copy");
    file(QStringLiteral("k-copied"), "a copy");
    load({ { trashed, throughMirror(QStringLiteral("m-trashed"), QStringLiteral("k-trashed")) },
        { copied, throughMirror(QStringLiteral("k-copied"), QStringLiteral("k-copied")) } });
    ASSERT_TRUE(run());

    EXPECT_EQ(bytes(trashed), QByteArray("only copy"));
    EXPECT_FALSE(exists(copied));
    EXPECT_EQ(controller.lastReport().countTrashed, 1);
    ASSERT_EQ(controller.lastReport().arrFileNotTrashed.size(), 1u);
    EXPECT_EQ(controller.lastReport().arrFileNotTrashed[0].file, trashed);
    EXPECT_EQ(controller.lastReport().arrFileNotTrashed[0].reason, wentWithIt(QStringLiteral("m-trashed")));
    EXPECT_EQ(entriesOf(home.dataHome() + QStringLiteral("/Trash/files")), QStringList { QStringLiteral("m-copied") });

    // Deleted outright: set aside, found gone through the mirror, put back.
    const auto deleted = file(QStringLiteral("m-deleted"), "only copy too");
    load({ { deleted, throughMirror(QStringLiteral("m-deleted"), QStringLiteral("k-deleted")) } });
    const FileRemoval removal = deleteOutright(deleted);
    EXPECT_FALSE(removal.ok);
    EXPECT_EQ(removal.error, wentWithIt(QStringLiteral("m-deleted")));
    EXPECT_EQ(bytes(deleted), QByteArray("only copy too"));
    EXPECT_EQ(entriesOf(folder),
        (QStringList { QStringLiteral("k-copied"), QStringLiteral("m-deleted"), QStringLiteral("m-trashed") }));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

TEST_F(Removal, AKeptCopyChangedSinceTheScanVouchesOnlyWhileItsContentStillMatches)
{
    // Rewritten in place with its length and modification time put back:
    // only the change time tells, and the content no longer matches.
    const auto rewritten = file(QStringLiteral("m-rewritten"));
    const auto rewrittenKeep = file(QStringLiteral("k-rewritten"));
    // Touched, or replaced by another file, with the same content.
    const auto touched = file(QStringLiteral("m-touched"), "touched!");
    const auto touchedKeep = file(QStringLiteral("k-touched"), "touched!");
    const auto replaced = file(QStringLiteral("m-replaced"), "replaced");
    const auto replacedKeep = file(QStringLiteral("k-replaced"), "replaced");
    load({ { rewritten, rewrittenKeep }, { touched, touchedKeep }, { replaced, replacedKeep } });

    writeTestFile(*rewrittenKeep->filePath, "evil bytes");
    const struct timespec times[2] = { { 0, UTIME_OMIT },
        { rewrittenKeep->modTime.seconds, static_cast<long>(rewrittenKeep->modTime.nanoseconds) } };
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(*rewrittenKeep->filePath).constData(), times, 0), 0);
    const struct timespec later[2] = { { 0, UTIME_OMIT }, { 1000000000, 0 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(*touchedKeep->filePath).constData(), later, 0), 0);
    QFile::remove(*replacedKeep->filePath);
    writeTestFile(*replacedKeep->filePath, "replaced");
    ASSERT_TRUE(run());

    EXPECT_TRUE(exists(rewritten));
    EXPECT_FALSE(exists(touched));
    EXPECT_FALSE(exists(replaced));
    ASSERT_EQ(controller.lastReport().skipped.size(), 1u);
    EXPECT_EQ(controller.lastReport().skipped[0].file, rewritten);
    EXPECT_EQ(controller.lastReport().skipped[0].reason, QStringLiteral("no other copy of it is left on disk"));
}

TEST_F(Removal, UndoBringsBackOnlyTheFileItPutIntoTheTrash)
{
    const auto changed = file(QStringLiteral("m-changed"), "trashed");
    const auto renamed = file(QStringLiteral("m-renamed"), "renamed");
    load({ { changed, file(QStringLiteral("k-changed"), "trashed") },
        { renamed, file(QStringLiteral("k-renamed"), "renamed") } });
    ASSERT_TRUE(run());
    const auto undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 2u);

    // Replaced in the trash by another file of its size.
    writeTestFile(undoList[0].trashedPath + QStringLiteral(".new"), "changed");
    ASSERT_EQ(::rename(QFile::encodeName(undoList[0].trashedPath + QStringLiteral(".new")).constData(),
                  QFile::encodeName(undoList[0].trashedPath).constData()),
        0);
    // The trash emptied, and another file of the same name and size trashed.
    QFile::remove(undoList[1].trashedPath);
    QFile::remove(undoList[1].trashInfoPath);
    const QString stranger = home.path() + QStringLiteral("/elsewhere/m-renamed");
    QDir().mkpath(QFileInfo(stranger).path());
    writeTestFile(stranger, "strange");
    const FileRemoval strangerInTrash = LocalFileRemover().moveToTrash(stranger);
    ASSERT_EQ(strangerInTrash.trashedPath, undoList[1].trashedPath);

    ASSERT_TRUE(undo());
    EXPECT_FALSE(exists(changed));
    EXPECT_FALSE(exists(renamed));
    EXPECT_TRUE(QFileInfo::exists(undoList[0].trashedPath) && QFileInfo::exists(undoList[0].trashInfoPath));
    QFile inTrash(strangerInTrash.trashedPath);
    ASSERT_TRUE(inTrash.open(QIODevice::ReadOnly));
    EXPECT_EQ(inTrash.readAll(), QByteArray("strange"));
    EXPECT_EQ(trashInfoOriginalPath(strangerInTrash.trashInfoPath), stranger);
    EXPECT_EQ(sheets->messages,
        QStringList { formatText(localizedText(QStringLiteral("ID_FILES_RESTORED_PARTLY")), { 0, 2 }) });
    const QString notTheFile = QStringLiteral(": the file in the trash is not the removed file");
    EXPECT_EQ(
        sheets->messageDetails, (QStringList { *changed->filePath + notTheFile, *renamed->filePath + notTheFile }));
    EXPECT_EQ(controller.arrNodesToBeRestoredLocal().size(), 2u);
}

namespace {

QByteArray contentAt(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The user brings a trashed file's inode back to its path and writes their
// own file in it (as a file system that keeps no birth time gives a new file
// the freed inode), and the desktop trashes it under the same name with an
// entry of its own.
void trashTheUsersOwnFileInItsPlace(const RemovedFile& removed, const QByteArray& desktopEntry)
{
    ASSERT_EQ(::rename(QFile::encodeName(removed.trashedPath).constData(),
                  QFile::encodeName(removed.originalPath).constData()),
        0);
    writeTestFile(removed.originalPath, "the user's own file");
    writeTestFile(removed.trashInfoPath, desktopEntry);
    ASSERT_EQ(::rename(QFile::encodeName(removed.originalPath).constData(),
                  QFile::encodeName(removed.trashedPath).constData()),
        0);
}

} // namespace

TEST_F(Removal, UndoLeavesInTheTrashAnEntryItDidNotMakeUnderItsName)
{
    const auto laterDay = file(QStringLiteral("m-later day"), "removed");
    const auto sameText = file(QStringLiteral("m-same text"), "removed too");
    load({ { laterDay, file(QStringLiteral("k-later day"), "removed") },
        { sameText, file(QStringLiteral("k-same text"), "removed too") } });
    ASSERT_TRUE(run());
    const auto undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 2u);
    const auto removedOf = [&](const FileInfoNodePtr& file) {
        return *std::find_if(
            undoList.begin(), undoList.end(), [&](const RemovedFile& removed) { return removed.file == file; });
    };
    const QByteArray ownText = contentAt(removedOf(sameText).trashInfoPath);
    ASSERT_TRUE(ownText.contains("DeletionDate="));

    // The trash emptied, and the user's own files trashed by the desktop:
    // one on a later day, one within the second of the removal, so that its
    // entry reads word for word as the program's own.
    for (const RemovedFile& removed : undoList)
        ASSERT_TRUE(QFile::remove(removed.trashInfoPath));
    trashTheUsersOwnFileInItsPlace(removedOf(laterDay),
        QByteArrayLiteral("[Trash Info]\nPath=") + QUrl::toPercentEncoding(*laterDay->filePath, "/")
            + QByteArrayLiteral("\nDeletionDate=2031-05-04T10:00:00\n"));
    trashTheUsersOwnFileInItsPlace(removedOf(sameText), ownText);
    const struct timespec later[2] = { { 0, UTIME_OMIT }, { ::time(nullptr) + 5, 0 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(removedOf(sameText).trashInfoPath).constData(), later, 0), 0);

    ASSERT_TRUE(undo());
    for (const RemovedFile& removed : undoList) {
        EXPECT_FALSE(QFileInfo::exists(removed.originalPath)) << removed.originalPath.toStdString();
        EXPECT_EQ(contentAt(removed.trashedPath), QByteArray("the user's own file"));
        EXPECT_TRUE(QFileInfo::exists(removed.trashInfoPath));
    }
    const UndoReport& report = controller.lastUndoReport();
    EXPECT_EQ(report.restored, 0);
    EXPECT_TRUE(report.changed.empty());
    EXPECT_EQ(sheets->messages,
        QStringList { formatText(localizedText(QStringLiteral("ID_FILES_RESTORED_PARTLY")), { 0, 2 }) });
    const QString notOurs = QStringLiteral(": ") + localizedText(QStringLiteral("ID_UNDO_TRASH_ENTRY_NOT_MADE_HERE"));
    QStringList told = sheets->messageDetails;
    told.sort();
    EXPECT_EQ(told, (QStringList { *laterDay->filePath + notOurs, *sameText->filePath + notOurs }));
    EXPECT_EQ(controller.arrNodesToBeRestoredLocal().size(), 2u);
}

TEST_F(Removal, QuittingDuringARemovalDoesNotWaitForTheFileUnderWay)
{
    const auto marked = file(QStringLiteral("m1"));
    load({ { marked, file(QStringLiteral("k1")) } });
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);
    // A file system that stops answering in the middle of the file.
    std::promise<void> answer;
    std::atomic<bool> waiting { false };
    auto stuck = std::make_shared<FaultyFileRemover>();
    stuck->beforeEach = [&waiting, future = answer.get_future().share()](const QString&) {
        waiting = true;
        future.wait();
    };
    auto quitting = std::make_unique<CleanupController>(state, defaults, stuck, nullptr);
    quitting->removeSelectedItems();
    ASSERT_TRUE(waitUntil([&] { return waiting.load(); }));
    quitting.reset();

    // When the file system answers after all, the worker ends on its own.
    answer.set_value();
    EXPECT_TRUE(waitUntil([&] { return !exists(marked); }));
    QCoreApplication::processEvents();
}

TEST_F(Removal, AnOverlayOfAScannedFolderIsNotTakenForACopy)
{
    // This thread's own mounts, where the machine lets it mount at all.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "this machine does not let the test mount";
    const QString volume = home.path() + QStringLiteral("/volume");
    ASSERT_TRUE(QDir().mkpath(volume));
    if (::mount("vellicor-test", QFile::encodeName(volume).constData(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "this machine does not let the test mount";
    for (const char* part : { "/lower", "/upper", "/work", "/merged" })
        ASSERT_TRUE(QDir().mkpath(volume + QLatin1String(part)));
    const QByteArray options
        = QFile::encodeName(QStringLiteral("lowerdir=%1/lower,upperdir=%1/upper,workdir=%1/work").arg(volume));
    const QByteArray merged = QFile::encodeName(volume + QStringLiteral("/merged"));
    writeTestFile(volume + QStringLiteral("/lower/m-low"), "overlay bytes");
    if (::mount("overlay", merged.constData(), "overlay", 0, options.constData()) != 0) {
        ::umount2(QFile::encodeName(volume).constData(), MNT_DETACH);
        GTEST_SKIP() << "this machine has no overlay mounts";
    }
    const auto low = record(volume + QStringLiteral("/lower/m-low"));
    const auto high = record(volume + QStringLiteral("/merged/m-low"));
    high->fileName = QStringLiteral("k-high");
    EXPECT_NE(low->deviceId, high->deviceId);
    load({ { low, high } });

    // On this thread: the worker's threads are outside these mounts.
    const std::atomic<bool> never { false };
    UnavailableCloudRemover cloud;
    const auto outcomes = executeRemovalPlan(makeRemovalPlan(state, true), *remover, cloud, never);
    const bool lowStays = exists(low);
    ::umount2(merged.constData(), MNT_DETACH);
    ::umount2(QFile::encodeName(volume).constData(), MNT_DETACH);
    EXPECT_TRUE(lowStays);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, RemovalOutcome::Kind::failed);
    EXPECT_TRUE(outcomes[0].reason.contains(QStringLiteral("its kept copy"))) << outcomes[0].reason.toStdString();
}

TEST_F(Removal, ProgressReachesABusyWindowOnceAndEndsOnTheExactCount)
{
    constexpr int count = 40;
    std::vector<std::vector<FileInfoNodePtr>> groups;
    for (int i = 0; i < count; ++i) {
        const QByteArray content = QByteArray::number(i);
        groups.push_back({ file(QStringLiteral("k%1").arg(i), content), file(QStringLiteral("m%1").arg(i), content) });
    }
    load(groups);
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);
    std::atomic<int> reached { 0 };
    remover->beforeEach = [&reached](const QString&) { ++reached; };
    QSignalSpy finished(&controller, &CleanupController::removalFinished);
    controller.removeSelectedItems();
    ASSERT_TRUE(controller.isRemoving());
    // The window does not turn to its events while the worker removes every
    // file: the updates must not pile up for it meanwhile.
    QDeadlineTimer limit(30000);
    while (reached.load() < count && !limit.hasExpired())
        QThread::msleep(1);
    QThread::msleep(200);
    ASSERT_TRUE(finished.wait(30000));

    EXPECT_EQ(controller.lastReport().countTrashed, count);
    const auto& undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), std::size_t(count));
    ASSERT_FALSE(sheets->shown.isEmpty());
    EXPECT_LE(sheets->shown.size(), 3);
    // Shown as the last removed file, with the files removed before it.
    EXPECT_EQ(sheets->shown.last(),
        QStringLiteral("%1 %2").arg(count - 1).arg(QFileInfo(undoList.back().originalPath).fileName()));
}

TEST_F(Removal, AnUndoInTwoGoesBringsEachFileBackOnce)
{
    // A large group, and a pair the clean-up drops from the lists.
    std::vector<FileInfoNodePtr> large { file(QStringLiteral("k-large")) };
    for (int i = 0; i < 30; ++i)
        large.push_back(file(QStringLiteral("m%1").arg(i)));
    const auto pairKept = file(QStringLiteral("k-pair"), "pair");
    const auto pairGone = file(QStringLiteral("m-pair"), "pair");
    load({ large, { pairKept, pairGone } });
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.arrNodesToBeRestoredLocal().size(), 31u);
    const DuplicateGroupPtr largeGroup = large.front()->parent.lock();
    const DuplicateGroupPtr pair = pairKept->parent.lock();
    ASSERT_EQ(std::count(state.arrMainGroup.begin(), state.arrMainGroup.end(), pair), 0);

    // Some places are taken for now, the dropped pair's among them: those
    // files stay in the trash and in the undo list.
    QStringList taken { *pairGone->filePath };
    for (int i = 1; i <= 30; i += 3)
        taken.append(*large[i]->filePath);
    for (const QString& path : taken)
        writeTestFile(path, "in the way");
    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 31 - taken.size());
    EXPECT_EQ(controller.arrNodesToBeRestoredLocal().size(), std::size_t(taken.size()));
    EXPECT_EQ(largeGroup->children.size(), 1u + 31 - taken.size());

    for (const QString& path : taken)
        QFile::remove(path);
    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, taken.size());
    EXPECT_TRUE(controller.arrNodesToBeRestoredLocal().empty());
    EXPECT_EQ(state.arrMainGroup.size(), 2u);
    EXPECT_EQ(std::count(state.arrMainGroup.begin(), state.arrMainGroup.end(), largeGroup), 1);
    EXPECT_EQ(std::count(state.arrMainGroup.begin(), state.arrMainGroup.end(), pair), 1);
    // Each file once.
    EXPECT_EQ(largeGroup->children.size(), large.size());
    EXPECT_EQ(std::set<FileInfoNodePtr>(largeGroup->children.begin(), largeGroup->children.end()),
        std::set<FileInfoNodePtr>(large.begin(), large.end()));
    EXPECT_EQ(pair->children, (std::vector { pairKept, pairGone }));
    EXPECT_EQ(state.countMarked(), 31);
}

TEST_F(Removal, AKeptCopyVouchesOnlyWithItsBytesAsTheyAreNow)
{
    // Rewritten in place at the same size before the scan saw it, as a
    // rewrite within the second of a scan on a file system of whole-second
    // times leaves it: every fact the scan kept matches the disk, only the
    // bytes differ.
    const auto marked = file(QStringLiteral("m-last"), "the only copy");
    const QString keptPath = folder + QStringLiteral("/k-last");
    writeTestFile(keptPath, "the only copy");
    writeTestFile(keptPath, "other content");
    const auto kept = record(keptPath);
    // Equal bytes still vouch.
    const auto equal = file(QStringLiteral("m-equal"), "equal bytes");
    load({ { marked, kept }, { equal, file(QStringLiteral("k-equal"), "equal bytes") } });
    ASSERT_TRUE(run());

    EXPECT_EQ(bytes(marked), QByteArray("the only copy"));
    EXPECT_FALSE(exists(equal));
    const RemovalReport& report = controller.lastReport();
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].file, marked);
    EXPECT_EQ(report.skipped[0].reason, QStringLiteral("no other copy of it is left on disk"));
    EXPECT_EQ(report.countTrashed, 1);
}

TEST_F(Removal, StopWhileAFileIsComparedLeavesItAndEndsTheRun)
{
    // More than one read's worth, so that the comparison reads Stop inside.
    const QByteArray large(3 << 20, 'x');
    const auto marked = file(QStringLiteral("m-large"), large);
    const auto kept = file(QStringLiteral("k-large"), large);
    const auto later = file(QStringLiteral("m-later"), "later");
    load({ { marked, kept }, { later, file(QStringLiteral("k-later"), "later") } });
    remover->onHold = [&](const QString& path) {
        if (path == *kept->filePath)
            controller.abortCleaning();
    };
    ASSERT_TRUE(run());

    EXPECT_TRUE(exists(marked) && exists(later));
    EXPECT_EQ(remover->calls, 0);
    const RemovalReport& report = controller.lastReport();
    EXPECT_TRUE(report.stopped);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].reason, QStringLiteral("the clean-up was stopped while its kept copy was compared"));
}

namespace {

// Holds the worker before a read until ready says so; after ten seconds
// without it, no longer (the test fails then, in good time).
class WorkerHold {
public:
    void until(const std::function<bool()>& ready)
    {
        while (!ready() && !limit_.hasExpired())
            QThread::msleep(2);
    }

private:
    QDeadlineTimer limit_ { 10000 };
};

// Lets the next progress of the worker pass the sheet's pace.
void outwaitThePace()
{
    QThread::msleep(ProgressPacer::interval.count() + 10);
}

} // namespace

TEST_F(Removal, TheSheetFollowsALongComparisonPieceByPieceAndEndsFull)
{
    // Nine mebibytes: two turns of the comparison, nine pieces of each file.
    const QByteArray large(9 << 20, 'x');
    const auto marked = file(QStringLiteral("m-large"), large);
    load({ { marked, file(QStringLiteral("k-large"), large) } });
    QWidget window;
    TrashSheets trashSheets(&window, controller);
    controller.setScreen(&trashSheets);
    std::vector<int> bar;
    QStringList bytesTexts;
    std::atomic<int> barShown { -1 };
    QObject::connect(trashSheets.progressTrashFiles, &QProgressBar::valueChanged, [&](int value) {
        bar.push_back(value);
        bytesTexts.append(trashSheets.lblBytesCheckedTrash->text());
        barShown = value;
    });
    // Before each piece, the sheet has shown the one before it.
    int seen = -1;
    WorkerHold hold;
    remover->onRead = [&](const QString&, quint64 offset) {
        if (offset % (1 << 20) != 0 || offset >= quint64(large.size()))
            return;
        hold.until([&] { return barShown.load() > seen; });
        seen = barShown.load();
        outwaitThePace();
    };
    QSignalSpy finished(&controller, &CleanupController::removalFinished);
    controller.removeSelectedItems();
    ASSERT_TRUE(trashSheets.windowTrashConfirmation()->isVisible());
    trashSheets.btnTrashOnReview->click();
    ASSERT_TRUE(controller.isRemoving());
    ASSERT_TRUE(finished.wait(30000));

    EXPECT_FALSE(exists(marked));
    ASSERT_FALSE(bar.empty());
    const int full = trashSheets.progressTrashFiles->maximum();
    EXPECT_EQ(bar.back(), full);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_GE(std::count_if(bar.begin(), bar.end(), [&](int value) { return value > 0 && value < full; }), 9);
    // The bytes follow the pieces too, up to the whole file's size of itself.
    EXPECT_GE(std::set<QString>(bytesTexts.begin(), bytesTexts.end()).size(), 9u);
    EXPECT_EQ(bytesTexts.back().count(getSizeInUnits(double(large.size()))), 2) << bytesTexts.back().toStdString();
    EXPECT_FALSE(trashSheets.windowTrash()->isVisible());
}

TEST_F(Removal, StopPressedWhileTheSheetFollowsAComparisonLeavesTheFile)
{
    const QByteArray large(6 << 20, 'y');
    const auto marked = file(QStringLiteral("m-large"), large);
    const auto later = file(QStringLiteral("m-later"), "later");
    load({ { marked, file(QStringLiteral("k-large"), large) }, { later, file(QStringLiteral("k-later"), "later") } });
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);
    QWidget window;
    TrashSheets trashSheets(&window, controller);
    controller.setScreen(&trashSheets);
    // The user presses Stop once the sheet shows the large file under way.
    std::atomic<bool> stopPressed { false };
    int pressedAt = -1;
    QObject::connect(trashSheets.progressTrashFiles, &QProgressBar::valueChanged, [&](int value) {
        if (stopPressed || trashSheets.lblFilePathTrash->toolTip() != *marked->filePath)
            return;
        pressedAt = value;
        trashSheets.btnStopTrashing->click();
        stopPressed = true;
    });
    WorkerHold hold;
    remover->onRead = [&](const QString& path, quint64 offset) {
        if (path != *marked->filePath)
            return;
        if (offset < (3 << 20))
            outwaitThePace();
        else
            hold.until([&] { return stopPressed.load(); });
    };
    QSignalSpy finished(&controller, &CleanupController::removalFinished);
    controller.removeSelectedItems();
    ASSERT_TRUE(finished.wait(30000));

    ASSERT_TRUE(stopPressed);
    // Pressed inside the file: the bar stood between two files' marks.
    const int perFile = trashSheets.progressTrashFiles->maximum() / 2;
    EXPECT_NE(pressedAt % perFile, 0) << pressedAt;
    EXPECT_TRUE(exists(marked) && exists(later));
    EXPECT_TRUE(marked->isMarked() && later->isMarked());
    EXPECT_EQ(remover->calls, 0);
    const RemovalReport& report = controller.lastReport();
    EXPECT_TRUE(report.stopped);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].file, marked);
    EXPECT_EQ(report.skipped[0].reason, QStringLiteral("the clean-up was stopped while its kept copy was compared"));
}

TEST_F(Removal, TheMebibytesOfAComparisonReachABusyWindowOnce)
{
    const QByteArray large(9 << 20, 'z');
    const auto marked = file(QStringLiteral("m-large"), large);
    load({ { marked, file(QStringLiteral("k-large"), large) } });
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);
    std::atomic<bool> compared { false };
    remover->beforeEach = [&](const QString&) { compared = true; };
    QSignalSpy finished(&controller, &CleanupController::removalFinished);
    controller.removeSelectedItems();
    ASSERT_TRUE(controller.isRemoving());
    // The window does not turn to its events while the worker reads every
    // piece of both files.
    QDeadlineTimer limit(30000);
    while (!compared.load() && !limit.hasExpired())
        QThread::msleep(1);
    QThread::msleep(200);
    ASSERT_TRUE(finished.wait(30000));

    EXPECT_FALSE(exists(marked));
    // The start, the update that waited, and perhaps the last one.
    EXPECT_LE(sheets->progress.size(), 3u);
    ASSERT_FALSE(sheets->progress.empty());
    const TrashProgressFigures& last = sheets->progress.back();
    EXPECT_EQ(last.filesDone, 1.0);
    EXPECT_EQ(last.bytesDone, quint64(large.size()));
    EXPECT_EQ(last.bytesTotal, quint64(large.size()));
    EXPECT_EQ(last.path, *marked->filePath);
    EXPECT_FALSE(last.pathUnderWay);
}

TEST_F(Removal, WhatGoesIsTheFileTheChecksLookedAt)
{
    // Saved by an editor after the checks: a new file renamed over it.
    const auto saved = file(QStringLiteral("m-saved"), "as scanned");
    // Its folder swapped for a link to a folder the scan never saw, holding
    // a file of the same name.
    const auto moved = file(QStringLiteral("dir/m-moved"), "moved bytes");
    const QString other = home.path() + QStringLiteral("/other");
    QDir().mkpath(other);
    writeTestFile(other + QStringLiteral("/m-moved"), "never scanned");
    // A folder put in its place.
    const auto folded = file(QStringLiteral("m-folded"), "folded");
    load({ { saved, file(QStringLiteral("k-saved"), "as scanned") },
        { moved, file(QStringLiteral("k-moved"), "moved bytes") },
        { folded, file(QStringLiteral("k-folded"), "folded") } });
    remover->beforeEach = [&](const QString& path) {
        if (path == *saved->filePath) {
            writeTestFile(path + QStringLiteral(".swp"), "newly saved");
            ASSERT_EQ(::rename(QFile::encodeName(path + QStringLiteral(".swp")).constData(),
                          QFile::encodeName(path).constData()),
                0);
        } else if (path == *moved->filePath) {
            ASSERT_TRUE(QDir().rename(folder + QStringLiteral("/dir"), folder + QStringLiteral("/dir-old")));
            ASSERT_TRUE(QFile::link(other, folder + QStringLiteral("/dir")));
        } else if (path == *folded->filePath) {
            QFile::remove(path);
            QDir().mkpath(path + QStringLiteral("/inside"));
        }
    };
    ASSERT_TRUE(run());

    EXPECT_EQ(bytes(saved), QByteArray("newly saved"));
    EXPECT_EQ(bytes(moved), QByteArray("never scanned"));
    EXPECT_TRUE(QFileInfo(*folded->filePath + QStringLiteral("/inside")).isDir());
    const RemovalReport& report = controller.lastReport();
    QStringList failed;
    for (const auto& outcome : report.arrFileNotTrashed)
        failed.append(*outcome.file->fileName + QLatin1Char(':') + outcome.reason);
    EXPECT_EQ(failed,
        (QStringList { QStringLiteral("m-saved:another file has taken its place since it was checked"),
            QStringLiteral("m-folded:it is no longer a regular file") }));
    // The checked file itself went, from where its folder now is.
    EXPECT_EQ(report.countTrashed, 1);
    const auto& undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 1u);
    EXPECT_EQ(undoList[0].file, moved);
    QFile trashed(undoList[0].trashedPath);
    ASSERT_TRUE(trashed.open(QIODevice::ReadOnly));
    EXPECT_EQ(trashed.readAll(), QByteArray("moved bytes"));
    EXPECT_EQ(QDir(home.dataHome() + QStringLiteral("/Trash/files")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList { QFileInfo(undoList[0].trashedPath).fileName() });
}

TEST_F(Removal, UndoBringsBackAFileWrittenToInTheTrashAndSaysItChanged)
{
    const auto log = file(QStringLiteral("m-log"), "line one\n");
    const auto same = file(QStringLiteral("m-same"), "same");
    load({ { log, file(QStringLiteral("k-log"), "line one\n") }, { same, file(QStringLiteral("k-same"), "same") } });
    const FileTimestamp scannedTime = log->modTime;
    ASSERT_TRUE(run());
    const auto undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 2u);
    // Still open for writing in a program that logs: one more line.
    QFile writer(undoList[0].trashedPath);
    ASSERT_TRUE(writer.open(QIODevice::Append));
    writer.write("line two\n");
    writer.close();

    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(log), QByteArray("line one\nline two\n"));
    EXPECT_EQ(bytes(same), QByteArray("same"));
    EXPECT_TRUE(controller.arrNodesToBeRestoredLocal().empty());
    EXPECT_EQ(controller.lastUndoReport().restored, 2);
    EXPECT_EQ(sheets->messages, QStringList { localizedText(QStringLiteral("ID_ACTION_COMPLETED")) });
    EXPECT_EQ(sheets->messageDetails,
        (QStringList { QStringLiteral("These have been restored, but they changed after they were removed:"),
            *log->filePath }));
    // It is no longer the file its group found: a later clean-up says so.
    EXPECT_EQ(log->modTime, scannedTime);
    ASSERT_TRUE(run());
    ASSERT_FALSE(controller.lastReport().skipped.empty());
    EXPECT_EQ(controller.lastReport().skipped[0].reason, QStringLiteral("it has changed since the scan"));
    EXPECT_TRUE(exists(log));
}

TEST(InterruptedRemoval, TheStartTellsInOneAlertWhatItPutBackAndWhatItLeftAndWhereCopiesMayBe)
{
    EXPECT_FALSE(interruptedRemovalAlert(SetAsideRecovery {}));
    SetAsideRecovery recovery;
    recovery.putBack = { QStringLiteral("/media/share/a.jpg"), QStringLiteral("/media/share/b.jpg") };
    recovery.left.push_back({ QStringLiteral("/media/share/c.jpg"), QStringLiteral("/media/share/.vellicor-removing-1"),
        QStringLiteral("a file is already at its path") });
    const auto alert = interruptedRemovalAlert(recovery);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->messageText, QStringLiteral("The last clean-up was ended while it was deleting files."));
    EXPECT_EQ(alert->informativeText,
        QStringLiteral("Put back where it was: /media/share/a.jpg\nPut back where it was: /media/share/b.jpg\n"
                       "/media/share/c.jpg could not be put back (a file is already at its path); it is at "
                       "/media/share/.vellicor-removing-1"));
    EXPECT_EQ(alert->buttons, QStringList { localizedText(QStringLiteral("ID_OK")) });

    // Partial copies of an ended undo out of reach: where they may be.
    const std::vector<LeftRestoreCopy> copies { { QStringLiteral("/media/stick/.vellicor-restore-1"),
        QStringLiteral("its folder cannot be reached now: No such file or directory") } };
    const auto told = interruptedRemovalAlert(SetAsideRecovery {}, copies);
    ASSERT_TRUE(told);
    EXPECT_EQ(told->messageText, QStringLiteral("An undo was ended while it was copying files back."));
    EXPECT_EQ(told->informativeText,
        QStringLiteral("A partial copy may be left at /media/stick/.vellicor-restore-1 (its folder cannot be reached "
                       "now: No such file or directory). It is removed once its folder can be reached again; you may "
                       "also delete it yourself."));
    const auto both = interruptedRemovalAlert(recovery, copies);
    ASSERT_TRUE(both);
    EXPECT_EQ(both->messageText, alert->messageText);
    EXPECT_EQ(both->informativeText, alert->informativeText + QLatin1Char('\n') + told->informativeText);

    // Thousands are told in a few lines: those left where they are first,
    // then those put back, and the rest counted.
    for (int i = 0; i < 3000; ++i)
        recovery.putBack.push_back(QStringLiteral("/media/share/put/%1.jpg").arg(i));
    for (int i = 0; i < 8; ++i)
        recovery.left.push_back({ QStringLiteral("/media/share/left/%1.jpg").arg(i),
            QStringLiteral("/media/share/.vellicor-removing-%1").arg(i + 2), QStringLiteral("a file is already at its path") });
    const QStringList lines = interruptedRemovalAlert(recovery)->informativeText.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0], QStringLiteral("Put back where it was: /media/share/a.jpg"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("/media/share/c.jpg could not be put back")));
    EXPECT_TRUE(lines[9].startsWith(QStringLiteral("/media/share/left/7.jpg could not be put back")));
    EXPECT_EQ(lines[10],
        QStringLiteral("And %1 more files; the log names each and tells where it is.").arg(QLocale().toString(3001)));
}

TEST_F(Removal, AFolderReachedThroughALinkedFolderIsCleanedAndUndoneWhereTheUserSawIt)
{
    // The scanned folder lies below a linked one, as a home reached through
    // a link or a folder added inside a linked one: the paths keep the link.
    const QString data = home.path() + QStringLiteral("/volume");
    QDir().mkpath(data + QStringLiteral("/Docs/Photos"));
    const QString linked = folder + QStringLiteral("/Docs");
    ASSERT_TRUE(QFile::link(data + QStringLiteral("/Docs"), linked));
    const QString photos = linked + QStringLiteral("/Photos");
    const auto marked = loadMarkedPairIn(photos, QStringLiteral("photo"), "photo");
    ASSERT_TRUE(run());

    EXPECT_EQ(controller.lastReport().countTrashed, 1);
    EXPECT_TRUE(controller.lastReport().skipped.empty());
    EXPECT_TRUE(controller.lastReport().arrFileNotTrashed.empty());
    EXPECT_FALSE(exists(marked));
    const auto undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 1u);
    EXPECT_EQ(undoList[0].originalPath, *marked->filePath);
    EXPECT_EQ(trashInfoOriginalPath(undoList[0].trashInfoPath), *marked->filePath);
    QFile trashed(undoList[0].trashedPath);
    ASSERT_TRUE(trashed.open(QIODevice::ReadOnly));
    EXPECT_EQ(trashed.readAll(), QByteArray("photo"));

    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 1);
    EXPECT_EQ(bytes(marked), QByteArray("photo"));
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("/Docs/Photos/m-photo")));
}

TEST_F(Removal, ALinkedFolderPointedElsewhereSinceTheScanLeadsToAFileThatIsNotTheScannedOne)
{
    const QString data = home.path() + QStringLiteral("/volume");
    const QString elsewhere = home.path() + QStringLiteral("/elsewhere");
    QDir().mkpath(data);
    QDir().mkpath(elsewhere);
    const QString linked = folder + QStringLiteral("/Docs");
    ASSERT_TRUE(QFile::link(data, linked));
    const auto marked = loadMarkedPairIn(linked, QStringLiteral("doc"), "scanned");
    // Same name, same bytes, but never scanned.
    writeTestFile(elsewhere + QStringLiteral("/m-doc"), "scanned");
    writeTestFile(elsewhere + QStringLiteral("/k-doc"), "scanned");
    ASSERT_TRUE(QFile::remove(linked));
    ASSERT_TRUE(QFile::link(elsewhere, linked));
    ASSERT_TRUE(run());

    EXPECT_EQ(controller.lastReport().countTrashed, 0);
    ASSERT_EQ(controller.lastReport().skipped.size(), 1u);
    EXPECT_EQ(
        controller.lastReport().skipped[0].reason, QStringLiteral("another file has taken its place since the scan"));
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("/m-doc")));
    EXPECT_TRUE(QFileInfo::exists(elsewhere + QStringLiteral("/m-doc")));

    // Without the scan's device and inode, only a path without links is
    // trusted.
    ASSERT_TRUE(QFile::remove(linked));
    ASSERT_TRUE(QFile::link(data, linked));
    marked->deviceId = 0;
    marked->inode = 0;
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.lastReport().skipped.size(), 1u);
    EXPECT_EQ(controller.lastReport().skipped[0].reason, QStringLiteral("a folder on its path is a symbolic link"));
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("/m-doc")));
}

TEST_F(Removal, KeptCopiesThatAreTheMarkedFileByAnotherWayNeverVouchForIt)
{
    // The kept copy replaced by a link to the marked file.
    const auto linkedCopy = file(QStringLiteral("m-linked"), "one");
    const auto keptLink = file(QStringLiteral("k-linked"), "one");
    // The kept copy's folder replaced by a link to the marked file's folder.
    const auto inFolder = file(QStringLiteral("mine/same"), "two");
    const auto inOther = file(QStringLiteral("theirs/same"), "two");
    inFolder->fileName = QStringLiteral("m-same");
    // A kept copy on another volume vouches as any other does.
    QTemporaryDir shm(QStringLiteral("/dev/shm/vellicor-XXXXXX"));
    const bool hasOtherVolume = shm.isValid()
        && factsOf(shm.path()).value_or(FileFacts {}).device != factsOf(folder).value_or(FileFacts {}).device;
    const auto farAway = file(QStringLiteral("m-far"), "three");
    std::vector<std::vector<FileInfoNodePtr>> groups { { linkedCopy, keptLink }, { inFolder, inOther } };
    if (hasOtherVolume) {
        writeTestFile(shm.filePath(QStringLiteral("k-far")), "three");
        groups.push_back({ farAway, record(shm.filePath(QStringLiteral("k-far"))) });
    }
    load(groups);
    ASSERT_TRUE(QFile::remove(*keptLink->filePath));
    ASSERT_TRUE(QFile::link(*linkedCopy->filePath, *keptLink->filePath));
    ASSERT_TRUE(QDir().rename(folder + QStringLiteral("/theirs"), folder + QStringLiteral("/theirs-old")));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/mine"), folder + QStringLiteral("/theirs")));
    ASSERT_TRUE(run());

    EXPECT_EQ(bytes(linkedCopy), QByteArray("one"));
    EXPECT_EQ(bytes(inFolder), QByteArray("two"));
    QStringList skipped;
    for (const auto& outcome : controller.lastReport().skipped)
        skipped.append(*outcome.file->fileName + QLatin1Char(':') + outcome.reason);
    EXPECT_EQ(skipped,
        (QStringList { QStringLiteral("m-linked:its kept copy %1/k-linked is a link to this very file").arg(folder),
            QStringLiteral("m-same:its kept copy %1/theirs/same is this very file by another path").arg(folder) }));
    EXPECT_EQ(controller.lastReport().countTrashed, hasOtherVolume ? 1 : 0);
    if (hasOtherVolume) {
        EXPECT_FALSE(exists(farAway));
    }
}

// A kept copy that is a link vouches with the file it leads to: an equal
// file of its own lets the marked copy go as any kept copy does, and is there
// after it; a link to the marked file itself is named for what it is.
TEST_F(Removal, AKeptCopyThatIsALinkVouchesWithTheFileItLeadsTo)
{
    // The scan met the photo only through the link on the desktop.
    const auto photo = file(QStringLiteral("Pictures/Camera/IMG_0002.JPG"), "photo");
    const QString desktopLink = folder + QStringLiteral("/Desktop/link to photo.jpg");
    QDir().mkpath(folder + QStringLiteral("/Desktop"));
    ASSERT_TRUE(QFile::link(*photo->filePath, desktopLink));
    const auto keptLink = record(*photo->filePath);
    keptLink->filePath = desktopLink;
    keptLink->fileName = QStringLiteral("k-link to photo.jpg");
    const auto backup = file(QStringLiteral("Pictures/Backup 2021/IMG_0002.JPG"), "photo");
    backup->fileName = QStringLiteral("m-backup");
    // A kept copy that is a link to the marked file.
    const auto self = file(QStringLiteral("m-self"), "self");
    ASSERT_TRUE(QFile::link(*self->filePath, folder + QStringLiteral("/k-self")));
    const auto selfLink = record(*self->filePath);
    selfLink->filePath = folder + QStringLiteral("/k-self");
    selfLink->fileName = QStringLiteral("k-self");
    load({ { keptLink, backup }, { self, selfLink } });
    ASSERT_TRUE(run());

    EXPECT_FALSE(exists(backup));
    EXPECT_EQ(bytes(photo), QByteArray("photo"));
    EXPECT_TRUE(QFileInfo(desktopLink).isSymLink());
    EXPECT_EQ(bytes(self), QByteArray("self"));
    const RemovalReport& report = controller.lastReport();
    EXPECT_EQ(report.countTrashed, 1);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].file, self);
    EXPECT_EQ(
        report.skipped[0].reason, QStringLiteral("its kept copy %1/k-self is a link to this very file").arg(folder));
}

// Locked before the scan or after it (which changes its change time): the
// lock is what the user hears of.
TEST_F(Removal, AnImmutableMarkedFileStaysAndIsToldAsLocked)
{
    writeTestFile(folder + QStringLiteral("/m-locked"), "kept safe");
    if (!setTestFileImmutable(folder + QStringLiteral("/m-locked"), true))
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const auto locked = record(folder + QStringLiteral("/m-locked"));
    const auto lockedLater = file(QStringLiteral("m-locked-later"), "kept safe too");
    load({ { locked, file(QStringLiteral("k-locked"), "kept safe") },
        { lockedLater, file(QStringLiteral("k-locked-later"), "kept safe too") } });
    const bool lockedAfterScan = setTestFileImmutable(*lockedLater->filePath, true);
    const bool ran = run();
    const bool stayed = exists(locked) && exists(lockedLater);
    ASSERT_TRUE(setTestFileImmutable(*locked->filePath, false));
    ASSERT_TRUE(setTestFileImmutable(*lockedLater->filePath, false));
    ASSERT_TRUE(lockedAfterScan && ran);
    EXPECT_TRUE(stayed);
    QStringList reasons;
    for (const auto& outcome : controller.lastReport().skipped)
        reasons.append(*outcome.file->fileName + QLatin1Char(':') + outcome.reason);
    reasons.sort();
    EXPECT_EQ(reasons.join(QLatin1Char('|')).toStdString(), "m-locked-later:it is locked|m-locked:it is locked");
}

namespace {

// The trash's files and entries, as "name" and "name.trashinfo".
QStringList trashListing(const TempHome& home, const char* part)
{
    return QDir(home.dataHome() + QStringLiteral("/Trash/") + QLatin1String(part))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList entriesNamingFiles(const TempHome& home)
{
    QStringList names;
    for (const QString& file : trashListing(home, "files"))
        names.append(file + QStringLiteral(".trashinfo"));
    return names;
}

} // namespace

TEST_F(Removal, ABatchsEntriesAreOnDiskBeforeItsFirstMoveAndThoseOfFilesThatStayedGo)
{
    const auto groups = markedPairs(5);
    load(groups);
    const QString saved = folder + QStringLiteral("/m3");
    remover->failingPaths.insert(folder + QStringLiteral("/m4"));
    QStringList entriesAtFirstMove;
    remover->beforeEach = [&](const QString& path) {
        if (entriesAtFirstMove.isEmpty())
            entriesAtFirstMove = trashListing(home, "info");
        // An editor saves it between its checks and its move.
        if (path == saved) {
            writeTestFile(saved + QStringLiteral(".swp"), "newly saved");
            ASSERT_EQ(::rename(QFile::encodeName(saved + QStringLiteral(".swp")).constData(),
                          QFile::encodeName(saved).constData()),
                0);
        }
    };
    ASSERT_TRUE(run());

    EXPECT_EQ(entriesAtFirstMove,
        (QStringList { QStringLiteral("m1.trashinfo"), QStringLiteral("m2.trashinfo"), QStringLiteral("m3.trashinfo"),
            QStringLiteral("m4.trashinfo"), QStringLiteral("m5.trashinfo") }));
    EXPECT_EQ(controller.lastReport().countTrashed, 3);
    EXPECT_EQ(trashListing(home, "files"), (QStringList { QStringLiteral("m1"), QStringLiteral("m2"), QStringLiteral("m5") }));
    // Every file in the trash has its entry, and no entry is left without
    // its file.
    EXPECT_EQ(trashListing(home, "info"), entriesNamingFiles(home));
    EXPECT_EQ(bytes(groups[2][0]), QByteArray("newly saved"));
    EXPECT_TRUE(exists(groups[3][0]));

    // The undo finds every file under its entry.
    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 3);
    EXPECT_EQ(trashListing(home, "info"), QStringList {});
    EXPECT_EQ(trashListing(home, "files"), QStringList {});
}

TEST_F(Removal, StopInsideABatchLeavesOnlyTheEntriesOfFilesThatWent)
{
    const auto groups = markedPairs(4);
    load(groups);
    remover->beforeEach = [&](const QString& path) {
        if (path == *groups[1][0]->filePath)
            controller.abortCleaning();
    };
    ASSERT_TRUE(run());

    EXPECT_TRUE(controller.lastReport().stopped);
    EXPECT_EQ(controller.lastReport().countTrashed, 2);
    EXPECT_EQ(trashListing(home, "files"), (QStringList { QStringLiteral("m1"), QStringLiteral("m2") }));
    EXPECT_EQ(trashListing(home, "info"), entriesNamingFiles(home));
    EXPECT_TRUE(exists(groups[2][0]) && exists(groups[3][0]));
}

TEST_F(Removal, ARunEndedInsideABatchLeavesNoFileInTheTrashWithoutItsEntry)
{
    const auto groups = markedPairs(4);
    std::vector<QString> paths;
    for (const auto& group : groups)
        paths.push_back(*group[0]->filePath);
    // The batch's entries written, the first file moved, the run ended for
    // good right after the second moved, as a kill or a crash ends it.
    ASSERT_EQ(exitCodeOfChild([&] {
        LocalFileRemover remover;
        remover.prepareTrashEntries(paths);
        if (!remover.moveToTrash(paths[0]).ok)
            return 3;
        remover.moveToTrash(paths[1], []() -> std::optional<QString> { ::_exit(0); });
        return 4;
    }),
        0);
    EXPECT_EQ(trashListing(home, "files"), (QStringList { QStringLiteral("m1"), QStringLiteral("m2") }));
    EXPECT_EQ(trashListing(home, "info"),
        (QStringList { QStringLiteral("m1.trashinfo"), QStringLiteral("m2.trashinfo"), QStringLiteral("m3.trashinfo"),
            QStringLiteral("m4.trashinfo") }));
    EXPECT_TRUE(exists(groups[2][0]) && exists(groups[3][0]));

    // The next run takes the files left, beside the entries without files.
    load({ groups[2], groups[3] });
    ASSERT_TRUE(run());
    EXPECT_EQ(controller.lastReport().countTrashed, 2);
    EXPECT_EQ(trashListing(home, "files"),
        (QStringList { QStringLiteral("m1"), QStringLiteral("m2"), QStringLiteral("m3.2"), QStringLiteral("m4.2") }));
    const QStringList withFiles = entriesNamingFiles(home);
    for (const QString& entry : trashListing(home, "info")) {
        EXPECT_TRUE(withFiles.contains(entry) || entry == QStringLiteral("m3.trashinfo")
            || entry == QStringLiteral("m4.trashinfo"))
            << entry.toStdString();
    }
    for (const QString& entry : withFiles)
        EXPECT_TRUE(QFileInfo::exists(home.dataHome() + QStringLiteral("/Trash/info/") + entry)) << entry.toStdString();

    // Its undo brings back its own files and touches nothing else.
    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 2);
    EXPECT_TRUE(QFileInfo::exists(paths[2]) && QFileInfo::exists(paths[3]));
    EXPECT_EQ(trashListing(home, "files"), (QStringList { QStringLiteral("m1"), QStringLiteral("m2") }));
    EXPECT_EQ(trashListing(home, "info"),
        (QStringList { QStringLiteral("m1.trashinfo"), QStringLiteral("m2.trashinfo"), QStringLiteral("m3.trashinfo"),
            QStringLiteral("m4.trashinfo") }));
}

TEST_F(Removal, AnUndoOfSeveralBatchesBringsEveryFileBackByteForByteAndEmptiesTheTrash)
{
    const auto groups = markedPairs(300);
    load(groups);
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.lastReport().countTrashed, 300);
    ASSERT_EQ(trashListing(home, "info").size(), 300);

    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 300);
    EXPECT_TRUE(controller.lastUndoReport().failed.empty());
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(bytes(groups[std::size_t(i)][0]), QByteArray::number(i + 1).repeated(10)) << i;
    EXPECT_EQ(trashListing(home, "files"), QStringList {});
    EXPECT_EQ(trashListing(home, "info"), QStringList {});
    EXPECT_TRUE(controller.arrNodesToBeRestoredLocal().empty());
    EXPECT_EQ(state.arrMainGroup.size(), 300u);
    EXPECT_EQ(state.countMarked(), 300);
}

TEST_F(Removal, AnUndoStoppedOrEndedInsideABatchLeavesEachFileBackOrInTheTrashWithItsEntry)
{
    const auto groups = markedPairs(6);
    load(groups);
    ASSERT_TRUE(run());
    const std::vector<RemovedFile> undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 6u);
    const auto inTrashWithEntry = [&](const RemovedFile& entry) {
        return !QFileInfo::exists(entry.originalPath) && QFileInfo::exists(entry.trashedPath)
            && trashInfoOriginalPath(entry.trashInfoPath) == entry.originalPath;
    };
    UnavailableCloudRemover cloud;

    // Ended for good right after the second file came back, before the
    // batch's entries went, as a kill or a crash ends it: the files back
    // keep an entry without a file, the others are in the trash with theirs.
    ASSERT_EQ(exitCodeOfChild([&] {
        std::atomic<bool> never { false };
        int done = 0;
        executeUndoPlan(makeUndoPlan({ undoList[0], undoList[1], undoList[2] }), cloud, never,
            [&](const RestoreOutcome& outcome) {
                if (outcome.restored && ++done == 2)
                    ::_exit(0);
            });
        return 4;
    }),
        0);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(bytes(groups[i][0]), QByteArray::number(int(i) + 1).repeated(10));
        EXPECT_FALSE(QFileInfo::exists(undoList[i].trashedPath));
    }
    for (std::size_t i = 2; i < 6; ++i)
        EXPECT_TRUE(inTrashWithEntry(undoList[i])) << i;

    // Stop after the next file: it comes back without its entry, the others
    // wait in the trash with theirs.
    std::atomic<bool> stop { false };
    const auto outcomes = executeUndoPlan(makeUndoPlan({ undoList.begin() + 2, undoList.end() }), cloud, stop,
        [&](const RestoreOutcome&) { stop = true; });
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].restored);
    EXPECT_EQ(bytes(groups[2][0]), QByteArray("3333333333"));
    EXPECT_FALSE(QFileInfo::exists(undoList[2].trashInfoPath));
    for (std::size_t i = 3; i < 6; ++i)
        EXPECT_TRUE(inTrashWithEntry(undoList[i])) << i;
    EXPECT_EQ(trashListing(home, "files"), (QStringList { QStringLiteral("m4"), QStringLiteral("m5"), QStringLiteral("m6") }));
    EXPECT_EQ(trashListing(home, "info"),
        (QStringList { QStringLiteral("m1.trashinfo"), QStringLiteral("m2.trashinfo"), QStringLiteral("m4.trashinfo"),
            QStringLiteral("m5.trashinfo"), QStringLiteral("m6.trashinfo") }));
}

namespace {

std::optional<QByteArray> attribute(const QString& path, const char* name)
{
    QByteArray value(4096, Qt::Uninitialized);
    const ssize_t size = ::lgetxattr(QFile::encodeName(path).constData(), name, value.data(), size_t(value.size()));
    if (size < 0)
        return std::nullopt;
    value.truncate(size);
    return value;
}

bool setAttribute(const QString& path, const char* name, const QByteArray& value)
{
    return ::lsetxattr(QFile::encodeName(path).constData(), name, value.constData(), size_t(value.size()), 0) == 0;
}

// An access list as the kernel keeps it: the owner may read and write, the
// user 65533 and the group read, others nothing.
QByteArray accessListForAnotherReader()
{
    using Entry = AccessEntry;
    return accessListBytes({ { Entry::userObj, 6 }, { Entry::user, 4, 65533 }, { Entry::groupObj, 4 },
        { Entry::mask, 4 }, { Entry::other, 0 } });
}

struct stat statusOf(const QString& path)
{
    struct stat status { };
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

} // namespace

TEST_F(Removal, ATrashFolderAnotherUserSwapsAfterItsCheckNeverGetsTheFileAndUndoBringsItBack)
{
    // A volume whose top folder every user may write, and on it a shared
    // trash (sticky, as the trash rules ask) that another user made.
    const QString top = home.path() + QStringLiteral("/volume");
    const PrivateVolume volume(top, "tmpfs", "mode=0777");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    // The other user may pass through the test's own folder to the volume.
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0711), 0);
    const QString shared = top + QStringLiteral("/.Trash");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), otherUser, otherUser), 0);
    const auto marked = loadMarkedPairIn(top, QStringLiteral("secret"), "secret");

    // After the user's trash folder was checked and before the file moves,
    // the other user renames it away and puts in its place a folder of
    // their own that anyone may write, in the shared trash (whose owner may
    // rename any entry) or in the top folder.
    const QString uid = QString::number(::getuid());
    const std::vector<QByteArray> trashes { QFile::encodeName(shared + QLatin1Char('/') + uid),
        QFile::encodeName(top + QStringLiteral("/.Trash-") + uid) };
    // Every name the other user's child uses is made before it is forked:
    // a child of a process whose other threads may hold the allocator's
    // lock allocates nothing.
    struct Swap {
        QByteArray trash, gone, files, info;
    };
    std::vector<Swap> planned;
    for (const QByteArray& trash : trashes)
        planned.push_back({ trash, trash + ".gone", trash + "/files", trash + "/info" });
    int swaps = 0;
    remover->beforeEach = [&](const QString&) {
        const bool swapped = asOtherUser([&planned] {
            bool any = false;
            for (const Swap& swap : planned) {
                struct stat status { };
                if (::lstat(swap.trash.constData(), &status) != 0)
                    continue;
                any = true;
                if (::rename(swap.trash.constData(), swap.gone.constData()) != 0)
                    return false;
                for (const char* made : { swap.trash.constData(), swap.files.constData(), swap.info.constData() }) {
                    if (::mkdir(made, 0777) != 0 || ::chmod(made, 0777) != 0)
                        return false;
                }
            }
            return any;
        });
        swaps += swapped ? 1 : 0;
    };
    ASSERT_TRUE(run());
    EXPECT_EQ(swaps, 1);
    EXPECT_EQ(controller.lastReport().countTrashed, 1);
    EXPECT_FALSE(exists(marked));

    // Nothing went into the other user's folders, nor into their shared trash.
    for (const QByteArray& trash : trashes) {
        for (const char* part : { "/files", "/info" })
            EXPECT_EQ(entriesOf(QFile::decodeName(trash + part)), QStringList {}) << trash.constData() << part;
    }
    EXPECT_EQ(entriesOf(shared), QStringList {});

    // The undo finds the file, and removes its entry, in the user's own
    // folder, wherever it was renamed to.
    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(marked), QByteArray("secret"));
    EXPECT_EQ(sheets->messages, QStringList { localizedText(QStringLiteral("ID_ACTION_COMPLETED")) });
    EXPECT_TRUE(controller.arrNodesToBeRestoredLocal().empty());
    for (const char* part : { "/files", "/info" })
        EXPECT_EQ(entriesOf(QFile::decodeName(trashes[1] + ".gone" + part)), QStringList {}) << part;
}

namespace {

// What this process holds open below folder.
QStringList openBelow(const QString& folder)
{
    QStringList held;
    const QDir fds(QStringLiteral("/proc/thread-self/fd"));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char link[PATH_MAX + 1] = {};
        const ssize_t length = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), link, PATH_MAX);
        const QString target = length > 0 ? QFile::decodeName(QByteArray(link, length)) : QString();
        if (target == folder || target.startsWith(folder + QLatin1Char('/')))
            held << target;
    }
    return held;
}

} // namespace

// Between clean-ups the volume's trash is held by its path alone, so the
// volume can be unmounted; the undo opens it again only as the same folder.
TEST_F(Removal, AVolumesTrashIsLetGoOfAfterTheCleanUpAndTheUndoUsesOnlyTheSameFolderAgain)
{
    const QString top = home.path() + QStringLiteral("/stick");
    const PrivateVolume volume(top, "tmpfs", "mode=0755");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    const auto cleanOne = [&](const QString& name) {
        const auto marked = loadMarkedPairIn(top, name, "same");
        EXPECT_TRUE(run());
        EXPECT_EQ(controller.lastReport().countTrashed, 1);
        return marked;
    };
    const auto first = cleanOne(QStringLiteral("a"));
    EXPECT_EQ(openBelow(top), QStringList {}) << "the clean-up keeps the volume busy";
    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(first), QByteArray("same"));
    EXPECT_EQ(openBelow(top), QStringList {}) << "the undo keeps the volume busy";

    // A folder put in the trash's place after the clean-up is not the one
    // the file went into: the undo leaves the file where it is and says so.
    const auto second = cleanOne(QStringLiteral("b"));
    const QString trash = top + QStringLiteral("/.Trash-") + QString::number(::getuid());
    ASSERT_TRUE(QDir().rename(trash, trash + QStringLiteral(".moved")));
    ASSERT_TRUE(QDir().mkpath(trash + QStringLiteral("/files")) && QDir().mkpath(trash + QStringLiteral("/info")));
    ASSERT_TRUE(undo());
    EXPECT_FALSE(exists(second));
    EXPECT_EQ(entriesOf(trash + QStringLiteral(".moved/files")), QStringList { QStringLiteral("m-b") });
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/files")), QStringList {});
    EXPECT_TRUE(sheets->messageDetails.join(QLatin1Char('\n')).contains(QStringLiteral("moved or replaced")))
        << sheets->messageDetails.join(QLatin1Char('\n')).toStdString();

    // An undo that opened the trash again and left a file in it (another
    // file put in the trashed one's place) lets go of the folder too.
    const auto third = cleanOne(QStringLiteral("c"));
    const QString inTrash = trash + QStringLiteral("/files/m-c");
    ASSERT_TRUE(QFile::remove(inTrash));
    writeTestFile(inTrash, "stranger");
    ASSERT_TRUE(undo());
    EXPECT_FALSE(exists(third));
    EXPECT_EQ(controller.arrNodesToBeRestoredLocal().size(), 1u);
    EXPECT_EQ(openBelow(top), QStringList {}) << "an undo that left a file keeps the volume busy";
}

namespace {

// The removed files' folder is moved to another volume after the clean-up,
// and a link left in its place: the undo has to copy them back there.
void moveFolderToAnotherVolume(const QString& folder, const QString& elsewhere)
{
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, folder));
}

} // namespace

TEST_F(Removal, UndoIntoAFolderMovedToAnotherVolumeKeepsOwnerExtendedAttributesAndAccessList)
{
    const QString volumeTop = home.path() + QStringLiteral("/other-volume");
    const PrivateVolume volume(volumeTop, "tmpfs", "mode=0755");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    const QString path = folder + QStringLiteral("/sub/m-tagged");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    writeTestFile(path, "tagged");
    if (!setAttribute(path, "user.xdg.tags", "red,blue") || !setAttribute(path, "user.xdg.comment", "the good one")
        || !setAttribute(path, "system.posix_acl_access", accessListForAnotherReader()))
        GTEST_SKIP() << "the temporary folder's file system keeps no extended attributes or access lists";
    writeTestFile(volumeTop + QStringLiteral("/probe"), "");
    if (!setAttribute(volumeTop + QStringLiteral("/probe"), "user.probe", "x"))
        GTEST_SKIP() << "a tmpfs of this kernel keeps no user extended attributes";
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), otherUser, otherUser), 0);
    const auto marked = record(path);
    const struct stat before = statusOf(path);
    const auto accessList = attribute(path, "system.posix_acl_access");
    ASSERT_TRUE(accessList);
    load({ { file(QStringLiteral("k-tagged"), "tagged"), marked } });
    ASSERT_TRUE(run());
    ASSERT_FALSE(exists(marked));
    moveFolderToAnotherVolume(folder + QStringLiteral("/sub"), volumeTop + QStringLiteral("/sub"));

    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(marked), QByteArray("tagged"));
    const QString restored = volumeTop + QStringLiteral("/sub/m-tagged");
    const struct stat after = statusOf(restored);
    EXPECT_NE(after.st_dev, before.st_dev);
    EXPECT_EQ(after.st_uid, otherUser);
    EXPECT_EQ(after.st_gid, otherUser);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(attribute(restored, "user.xdg.tags"), std::optional(QByteArray("red,blue")));
    EXPECT_EQ(attribute(restored, "user.xdg.comment"), std::optional(QByteArray("the good one")));
    EXPECT_EQ(attribute(restored, "system.posix_acl_access"), accessList);
    EXPECT_EQ(sheets->messages, QStringList { localizedText(QStringLiteral("ID_ACTION_COMPLETED")) });
    EXPECT_EQ(sheets->messageDetails, QStringList {});
}

TEST_F(Removal, UndoIntoAVolumeThatKeepsNoExtendedAttributesTellsWhatEachFileLost)
{
    const QString volumeTop = home.path() + QStringLiteral("/plain-volume");
    const PrivateVolume volume(volumeTop, "ramfs", "mode=0755");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    const QString taggedPath = folder + QStringLiteral("/sub/m-tagged");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(taggedPath).path()));
    writeTestFile(taggedPath, "tagged");
    if (!setAttribute(taggedPath, "user.xdg.tags", "red")
        || !setAttribute(taggedPath, "system.posix_acl_access", accessListForAnotherReader()))
        GTEST_SKIP() << "the temporary folder's file system keeps no extended attributes or access lists";
    const auto tagged = record(taggedPath);
    const auto plain = file(QStringLiteral("sub/m-plain"), "plain");
    load({ { file(QStringLiteral("k-tagged"), "tagged"), tagged }, { file(QStringLiteral("k-plain"), "plain"), plain } });
    ASSERT_TRUE(run());
    moveFolderToAnotherVolume(folder + QStringLiteral("/sub"), volumeTop + QStringLiteral("/sub"));

    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(tagged), QByteArray("tagged"));
    EXPECT_EQ(bytes(plain), QByteArray("plain"));
    // Both are back, but one is not whole, and says what it lost.
    EXPECT_EQ(sheets->messages, QStringList { localizedText(QStringLiteral("ID_FILES_RESTORED_WITHOUT_ALL")) });
    ASSERT_EQ(sheets->messageDetails.size(), 1);
    const QString told = sheets->messageDetails[0];
    EXPECT_TRUE(told.startsWith(*tagged->filePath + QStringLiteral(": "))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("its extended attribute user.xdg.tags"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("its access list (ACL)"))) << told.toStdString();
    EXPECT_TRUE(told.contains(errnoText(EOPNOTSUPP))) << told.toStdString();
    EXPECT_EQ(controller.lastUndoReport().restored, 2);
}

// The message that says some files could not keep all they had lists them
// right under it; the files that changed in the trash follow under their
// own heading.
TEST_F(Removal, AnUndoTellsTheFilesNotWholeUnderItsMessageAndThoseThatChangedUnderTheirHeading)
{
    const QString volumeTop = home.path() + QStringLiteral("/plain-volume");
    const PrivateVolume volume(volumeTop, "ramfs", "mode=0755");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    // Seen by the scan with its tag.
    const QString taggedPath = *file(QStringLiteral("sub/m-tagged"), "tagged")->filePath;
    if (!setAttribute(taggedPath, "user.xdg.tags", "red"))
        GTEST_SKIP() << "the temporary folder's file system keeps no extended attributes";
    const auto tagged = record(taggedPath);
    const auto log = file(QStringLiteral("m-log"), "line one\n");
    load({ { file(QStringLiteral("k-tagged"), "tagged"), tagged }, { file(QStringLiteral("k-log"), "line one\n"), log } });
    ASSERT_TRUE(run());
    const auto undoList = controller.arrNodesToBeRestoredLocal();
    const auto logged = std::find_if(undoList.begin(), undoList.end(),
        [&](const RemovedFile& removed) { return removed.originalPath == *log->filePath; });
    ASSERT_NE(logged, undoList.end());
    QFile writer(logged->trashedPath);
    ASSERT_TRUE(writer.open(QIODevice::Append));
    writer.write("line two\n");
    writer.close();
    moveFolderToAnotherVolume(folder + QStringLiteral("/sub"), volumeTop + QStringLiteral("/sub"));

    ASSERT_TRUE(undo());
    EXPECT_EQ(sheets->messages, QStringList { localizedText(QStringLiteral("ID_FILES_RESTORED_WITHOUT_ALL")) });
    EXPECT_EQ(sheets->messageDetails,
        (QStringList { *tagged->filePath + QStringLiteral(": without its extended attribute user.xdg.tags (")
                + errnoText(EOPNOTSUPP) + QLatin1Char(')'),
            QString(), localizedText(QStringLiteral("ID_FILES_RESTORED_CHANGED")), *log->filePath }));
}

namespace {

// The folders of a user who is not root (otherUser): their own, their data
// folder with its trash, and sub, where the file to remove lies.
struct FoldersOfAUser {
    QString own;
    QString data;
    QString sub;
};

FoldersOfAUser foldersOfOtherUser(const QString& home)
{
    // The other user may pass through the test's own folder to theirs.
    EXPECT_EQ(::chmod(QFile::encodeName(home).constData(), 0711), 0);
    FoldersOfAUser folders { home + QStringLiteral("/user"), home + QStringLiteral("/user/data"),
        home + QStringLiteral("/user/sub") };
    EXPECT_TRUE(QDir().mkpath(folders.data) && QDir().mkpath(folders.sub));
    for (const QString& made : { folders.own, folders.data, folders.sub })
        EXPECT_EQ(::chown(QFile::encodeName(made).constData(), otherUser, otherUser), 0);
    return folders;
}

// As otherUser, a member of groups too, removes the file name in the sub
// folder of folders into their trash; then sub moves to the folder moved on
// another volume (in a top folder every user may write to, sticky as shared
// places are: without it, any user could have put another folder there),
// a link left in its place, and the removal is undone.
// check(outcome, the restored file) gives the child's exit code: 0 when all
// is as it should be, 2 to 5 when a step before it failed.
int undoAsOtherUserIntoAMovedFolder(const FoldersOfAUser& folders, const FileInfoNodePtr& removed,
    const QString& moved, const std::vector<gid_t>& groups,
    const std::function<int(const RestoreOutcome&, const struct stat&)>& check)
{
    const QString path = *removed->filePath;
    return exitCodeOfChild([&] {
        if (!becomeOtherUser(groups))
            return 2;
        qputenv("XDG_DATA_HOME", QFile::encodeName(folders.data));
        FileRemoval removal = LocalFileRemover().moveToTrash(path);
        if (!removal.ok)
            return 3;
        if (::rmdir(QFile::encodeName(folders.sub).constData()) != 0
            || ::mkdir(QFile::encodeName(moved).constData(), 0755) != 0
            || ::symlink(QFile::encodeName(moved).constData(), QFile::encodeName(folders.sub).constData()) != 0)
            return 4;
        std::vector<RemovedFile> undoList { { removed, nullptr, path, removal.trashedPath, removal.trashInfoPath,
            RemovalRoute::trash, 0, removal.trashed, ScanSource::thisComputer, removal.trashInfoText,
            removal.trashInfo, removal.entry } };
        UnavailableCloudRemover cloud;
        const std::atomic<bool> never { false };
        const auto outcomes = executeUndoPlan(makeUndoPlan(undoList), cloud, never);
        if (outcomes.size() != 1 || !outcomes[0].restored)
            return 5;
        return check(outcomes[0], statusOf(moved + QLatin1Char('/') + QFileInfo(path).fileName()));
    });
}

} // namespace

TEST_F(Removal, AnUndoWithoutTheRightToGiveFilesAwayKeepsTheGroupOfTheUsersOwnAndTellsTheOwnerItLost)
{
    const QString volumeTop = home.path() + QStringLiteral("/other-volume");
    const PrivateVolume volume(volumeTop, "tmpfs", "mode=1777");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    // The user (not root) removes a file of a third user from a folder of
    // their own, and is a member of that user's group.
    constexpr uid_t third = 65533;
    const FoldersOfAUser folders = foldersOfOtherUser(home.path());
    const QString path = folders.sub + QStringLiteral("/m-theirs");
    writeTestFile(path, "theirs");
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), third, third), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    const auto removed = record(path);

    const int code = undoAsOtherUserIntoAMovedFolder(folders, removed, volumeTop + QStringLiteral("/sub"), { third },
        [](const RestoreOutcome& outcome, const struct stat& status) {
            if (status.st_uid != otherUser || status.st_gid != third)
                return 6;
            const QString& told = outcome.notKept;
            return told.contains(QStringLiteral("its owner (user 65533)")) && !told.contains(QStringLiteral("group"))
                ? 0
                : 7;
        });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(bytes(removed), QByteArray("theirs"));
}

// A set-id program of another owner that came back as the user's own file
// would run as the user for whoever starts it: its set-id bits go with the
// owner and group that could not be kept, and the user is told.
TEST_F(Removal, AnUndoThatCannotKeepAProgramsOwnerDropsItsSetIdBitsAndTellsThem)
{
    const QString volumeTop = home.path() + QStringLiteral("/other-volume");
    const PrivateVolume volume(volumeTop, "tmpfs", "mode=1777");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    // Root's, set-user-ID and set-group-ID, in a folder of the user's.
    const FoldersOfAUser folders = foldersOfOtherUser(home.path());
    const QString path = folders.sub + QStringLiteral("/m-tool");
    writeTestFile(path, "#!/bin/sh\nid\n");
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 0, 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 06755), 0);
    const auto removed = record(path);

    const int code = undoAsOtherUserIntoAMovedFolder(folders, removed, volumeTop + QStringLiteral("/sub"), {},
        [](const RestoreOutcome& outcome, const struct stat& status) {
            if (status.st_uid != otherUser || status.st_gid != otherUser)
                return 6;
            // The rest of the mode stays.
            if ((status.st_mode & 07777) != 0755)
                return 7;
            const QString& told = outcome.notKept;
            return told.contains(QStringLiteral("its set-user-ID bit"))
                    && told.contains(QStringLiteral("its set-group-ID bit"))
                ? 0
                : 8;
        });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(bytes(removed), QByteArray("#!/bin/sh\nid\n"));
}

// Clean-ups after years of scans: each adds its record to a history at the
// settings file's bound, and the next start reads it with the newest kept.
TEST_F(Removal, CleanUpsOnAHistoryAtTheSettingsFilesBoundAreReadBackAtTheNextStart)
{
    startApplicationCore(defaults);
    ASSERT_TRUE(defaults.setValue(QLatin1String(SettingsKey::lastScanStatus), numberedScanHistory(70000)));
    load(markedPairs(3));
    ASSERT_TRUE(run());
    load({ { file(QStringLiteral("m-again"), "again"), file(QStringLiteral("k-again"), "again") } });
    ASSERT_TRUE(run());
    EXPECT_TRUE(sheets->alerts.isEmpty()) << sheets->alerts.join(QLatin1Char(',')).toStdString();

    // The program's end waits for the last save behind before the next start.
    defaults.synchronize();
    const HistoryAtNextStart next = historyAtNextStart(home.configHome());
    EXPECT_TRUE(next.readWhole) << next.fileSize;
    ASSERT_GT(next.records.size(), 60000);
    EXPECT_EQ(duplicatesOf(next.records.last()), 0);
    EXPECT_EQ(duplicatesOf(next.records.at(next.records.size() - 3)), 69999);
}

// A kept file that is another user's set-user-ID program: the copy that
// stands in for the removed file is the user's own, and never runs as them.
TEST_F(Removal, AFileDeletedOutrightComesBackAsACopyWithoutTheSetIdBitsOfAnotherOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a file of another user needs root";
    const std::atomic<bool> never { false };
    const auto removed = file(QStringLiteral("m-tool"), "#!/bin/sh\nid\n");
    const auto kept = file(QStringLiteral("k-tool"), "#!/bin/sh\nid\n");
    for (const auto& member : { removed, kept }) {
        member->md5 = md5OfFile(*member->filePath, never);
        member->isMd5Calucaluted = true;
    }
    ASSERT_EQ(::chown(QFile::encodeName(*kept->filePath).constData(), otherUser, otherUser), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(*kept->filePath).constData(), 06755), 0);
    auto group = std::make_shared<DuplicateGroup>();
    addFileToGroup(group, kept);
    QFile::remove(*removed->filePath);
    std::vector<RemovedFile> undoList { { removed, group, *removed->filePath, {}, {}, RemovalRoute::deleteOutright, 0,
        {} } };
    UnavailableCloudRemover cloud;
    const auto outcomes = executeUndoPlan(makeUndoPlan(undoList), cloud, never);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].restored && outcomes[0].byCopy) << outcomes[0].reason.toStdString();
    const struct stat status = statusOf(*removed->filePath);
    EXPECT_EQ(status.st_uid, ::geteuid());
    // Without the removed file's own mode in its record, the kept file's
    // bits for the user alone.
    EXPECT_EQ(status.st_mode & 07777, 0700u);
}

// A trash folder of the user's that was open to others, its files and info
// folders too: another user who went in while it was open may keep a
// descriptor of either. The trash narrowed to the user alone keeps them out
// only when its files and info folders are narrowed too.
TEST_F(Removal, AnotherUserWhoHeldTheOpenTrashsFilesFolderCannotTakeAFileMovedIntoItLater)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0711), 0);
    const QString trash = home.dataHome() + QStringLiteral("/Trash");
    for (const QString& made : { trash + QStringLiteral("/files"), trash + QStringLiteral("/info") }) {
        ASSERT_TRUE(QDir().mkpath(made));
        ASSERT_EQ(::chmod(QFile::encodeName(made).constData(), 0777), 0);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(home.dataHome()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(trash).constData(), 0755), 0);
    load(markedPairs(1));

    // The other user opens both folders while they are open, and waits.
    int ready[2];
    int go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const QByteArray files = QFile::encodeName(trash + QStringLiteral("/files"));
    const QByteArray info = QFile::encodeName(trash + QStringLiteral("/info"));
    std::fflush(nullptr);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        if (!becomeOtherUser())
            ::_exit(2);
        const int filesFolder = ::open(files.constData(), O_RDONLY | O_DIRECTORY);
        const int infoFolder = ::open(info.constData(), O_RDONLY | O_DIRECTORY);
        char byte = filesFolder >= 0 && infoFolder >= 0 ? 'y' : 'n';
        if (::write(ready[1], &byte, 1) != 1 || ::read(go[0], &byte, 1) != 1)
            ::_exit(3);
        // Takes what went in: the file away, its entry too.
        const bool took = ::unlinkat(filesFolder, "m1", 0) == 0;
        const bool tookEntry = ::unlinkat(infoFolder, "m1.trashinfo", 0) == 0;
        ::_exit(took || tookEntry ? 1 : 0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    const bool ran = run();
    byte = 'g';
    EXPECT_EQ(::write(go[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    for (const int fd : { ready[0], ready[1], go[0], go[1] })
        ::close(fd);
    ASSERT_TRUE(ran);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(controller.lastReport().countTrashed, 1);
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/files")), QStringList { QStringLiteral("m1") });
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/info")), QStringList { QStringLiteral("m1.trashinfo") });
    ASSERT_TRUE(undo());
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/m1")));
}

namespace {

// Makes folder as one every user may write in, as a team shares one
// (sticky, as the system's temporary folder is), in a tree the other user
// may pass through.
void makeSharedFolder(const QString& home, const QString& folder)
{
    ASSERT_EQ(::chmod(QFile::encodeName(home).constData(), 0711), 0);
    ASSERT_TRUE(QDir().mkpath(folder));
    for (QString above = QFileInfo(folder).path(); above.startsWith(home + QLatin1Char('/'));
         above = QFileInfo(above).path())
        ASSERT_EQ(::chmod(QFile::encodeName(above).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
}

void makeFolder(const QString& path, mode_t mode)
{
    ASSERT_EQ(::mkdir(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

// As the other user: a folder of theirs that anyone may write, where the
// user's folder was.
bool folderOfOtherUserAt(const QString& path)
{
    return asOtherUser([path = QFile::encodeName(path)] {
        return ::mkdir(path.constData(), 0777) == 0 && ::chmod(path.constData(), 0777) == 0;
    });
}

// As the other user: a folder of their own at theirs, and a link to it where
// the user's folder was.
bool linkOfOtherUserAt(const QString& path, const QString& theirs)
{
    return asOtherUser([path = QFile::encodeName(path), theirs = QFile::encodeName(theirs)] {
        return ::mkdir(theirs.constData(), 0700) == 0 && ::symlink(theirs.constData(), path.constData()) == 0;
    });
}

QString belongsToAnotherUser(const FileInfoNodePtr& file, const QString& folder)
{
    return *file->filePath + QStringLiteral(": its folder ") + folder + QStringLiteral(" now belongs to another user");
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

// In a folder others may write, the user's folders that held removed files
// went, and another user put a folder of theirs, or a link to one, in their
// places: the undo puts nothing there, and tells each file. The folder of a
// colleague's that a file was removed from still takes it back.
TEST_F(Removal, UndoPutsNothingIntoAFolderAnotherUserMadeOrLinkedWhereTheUsersOwnWas)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    const QString shared = folder + QStringLiteral("/shared");
    makeSharedFolder(home.path(), shared);
    const QString holiday = shared + QStringLiteral("/holiday");
    const QString trip = shared + QStringLiteral("/trip");
    const QString colleagues = shared + QStringLiteral("/colleague");
    makeFolder(holiday, 0750);
    makeFolder(trip, 0700);
    makeFolder(colleagues, 0777);
    ASSERT_EQ(::chown(QFile::encodeName(colleagues).constData(), otherUser, otherUser), 0);
    const auto photo = file(QStringLiteral("shared/holiday/m-photo"), "photo");
    const auto map = file(QStringLiteral("shared/trip/m-map"), "map");
    const auto note = file(QStringLiteral("shared/colleague/m-note"), "note");
    load({ { photo, file(QStringLiteral("k-photo"), "photo") }, { map, file(QStringLiteral("k-map"), "map") },
        { note, file(QStringLiteral("k-note"), "note") } });
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.lastReport().countTrashed, 3);

    for (const QString& emptied : { holiday, trip })
        ASSERT_TRUE(QDir().rmdir(emptied));
    const QString theirs = shared + QStringLiteral("/elsewhere");
    ASSERT_TRUE(folderOfOtherUserAt(holiday));
    ASSERT_TRUE(linkOfOtherUserAt(trip, theirs));

    ASSERT_TRUE(undo());
    EXPECT_EQ(entriesOf(holiday), QStringList {});
    EXPECT_EQ(entriesOf(theirs), QStringList {});
    EXPECT_EQ(bytes(note), QByteArray("note"));
    EXPECT_EQ(controller.lastUndoReport().restored, 1);
    EXPECT_EQ(sorted(sheets->messageDetails),
        sorted({ belongsToAnotherUser(photo, holiday), belongsToAnotherUser(map, trip) }));
    // Both wait in the trash for a later undo.
    ASSERT_EQ(controller.arrNodesToBeRestoredLocal().size(), 2u);
    for (const RemovedFile& entry : controller.arrNodesToBeRestoredLocal())
        EXPECT_TRUE(QFileInfo::exists(entry.trashedPath)) << entry.originalPath.toStdString();

    // Once the other user's folder and link are gone, the user's folders are
    // made again as they were.
    ASSERT_TRUE(QDir().rmdir(holiday));
    ASSERT_TRUE(QFile::remove(trip));
    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(photo), QByteArray("photo"));
    EXPECT_EQ(bytes(map), QByteArray("map"));
    for (const auto& [made, mode] : { std::pair { holiday, 0750u }, std::pair { trip, 0700u } }) {
        const struct stat status = statusOf(made);
        EXPECT_TRUE(S_ISDIR(status.st_mode)) << made.toStdString();
        EXPECT_EQ(status.st_uid, ::geteuid()) << made.toStdString();
        EXPECT_EQ(status.st_mode & 07777, mode) << made.toStdString();
    }
}

// The same where the file comes back by a copy: its folder's place now lies
// on another volume, through a link of the user's own or of the other
// user's.
TEST_F(Removal, UndoAcrossVolumesCopiesNothingIntoAFolderAnotherUserMadeOrLinkedWhereTheUsersOwnWas)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    const QString volumeTop = home.path() + QStringLiteral("/team-volume");
    const PrivateVolume volume(volumeTop, "tmpfs", "mode=1777");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    const QString team = folder + QStringLiteral("/team");
    const QString shared = folder + QStringLiteral("/shared");
    makeSharedFolder(home.path(), team);
    makeSharedFolder(home.path(), shared);
    const auto photo = file(QStringLiteral("team/holiday/m-photo"), "photo");
    const auto map = file(QStringLiteral("shared/trip/m-map"), "map");
    load({ { photo, file(QStringLiteral("k-photo"), "photo") }, { map, file(QStringLiteral("k-map"), "map") } });
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.lastReport().countTrashed, 2);

    // The team folder moves to the other volume without its emptied folder,
    // a link of the user's left in its place; there the other user makes a
    // folder in the emptied one's place. In the shared folder, the emptied
    // folder's place becomes the other user's link to their folder on the
    // other volume.
    ASSERT_TRUE(QDir().rmdir(team + QStringLiteral("/holiday")));
    const QString movedTeam = volumeTop + QStringLiteral("/team");
    moveFolderToAnotherVolume(team, movedTeam);
    ASSERT_EQ(::chmod(QFile::encodeName(movedTeam).constData(), 01777), 0);
    const QString holiday = team + QStringLiteral("/holiday");
    ASSERT_TRUE(folderOfOtherUserAt(movedTeam + QStringLiteral("/holiday")));
    const QString trip = shared + QStringLiteral("/trip");
    ASSERT_TRUE(QDir().rmdir(trip));
    const QString theirs = volumeTop + QStringLiteral("/theirs");
    ASSERT_TRUE(linkOfOtherUserAt(trip, theirs));

    ASSERT_TRUE(undo());
    EXPECT_EQ(entriesOf(movedTeam + QStringLiteral("/holiday")), QStringList {});
    EXPECT_EQ(entriesOf(theirs), QStringList {});
    EXPECT_EQ(controller.lastUndoReport().restored, 0);
    EXPECT_EQ(sorted(sheets->messageDetails),
        sorted({ belongsToAnotherUser(photo, holiday), belongsToAnotherUser(map, trip) }));
    ASSERT_EQ(controller.arrNodesToBeRestoredLocal().size(), 2u);
    for (const RemovedFile& entry : controller.arrNodesToBeRestoredLocal())
        EXPECT_TRUE(QFileInfo::exists(entry.trashedPath)) << entry.originalPath.toStdString();

    // Without them, the photo comes back by a copy into its folder made
    // again on the other volume, through the user's link.
    ASSERT_TRUE(QDir().rmdir(movedTeam + QStringLiteral("/holiday")));
    ASSERT_TRUE(QFile::remove(trip));
    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(photo), QByteArray("photo"));
    EXPECT_EQ(bytes(map), QByteArray("map"));
    EXPECT_EQ(statusOf(movedTeam + QStringLiteral("/holiday/m-photo")).st_dev, statusOf(movedTeam).st_dev);
    EXPECT_EQ(statusOf(movedTeam + QStringLiteral("/holiday")).st_uid, ::geteuid());
}

// Another user owns a folder and the two folders in it, and in each of
// those lies a folder of the user's: the first, closed to others, held the
// removed file; the second is open for all to read. After the removal the
// other user renames the second to the first's name and their folders after
// it, so that the file's path leads to the user's open folder. The undo does
// not take that folder, which the other user's folders led to, for the
// file's: it tells the file and leaves it in the trash. Once the other user
// puts their folders back, the file goes back where it was.
TEST_F(Removal, UndoNeverFollowsAPathAnotherUserSteeredToAnotherFolderOfTheUsers)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    const QString shared = folder + QStringLiteral("/shared");
    makeSharedFolder(home.path(), shared);
    const QString theirs = shared + QStringLiteral("/S");
    for (const QString& made : { theirs, theirs + QStringLiteral("/M1"), theirs + QStringLiteral("/M2") }) {
        makeFolder(made, 0755);
        ASSERT_EQ(::chown(QFile::encodeName(made).constData(), otherUser, otherUser), 0);
    }
    const QString closed = theirs + QStringLiteral("/M1/D1");
    const QString open = theirs + QStringLiteral("/M2/D2");
    makeFolder(closed, 0700);
    makeFolder(open, 0755);
    const auto secret = file(QStringLiteral("shared/S/M1/D1/m-secret.txt"), "secret");
    load({ { secret, file(QStringLiteral("k-secret.txt"), "secret") } });
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.lastReport().countTrashed, 1);

    const auto renamed = [&](const std::vector<std::pair<QString, QString>>& moves) {
        return asOtherUser([moves = moves] {
            for (const auto& [from, to] : moves) {
                if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
                    return false;
            }
            return true;
        });
    };
    const QString m1 = theirs + QStringLiteral("/M1");
    const QString m2 = theirs + QStringLiteral("/M2");
    ASSERT_TRUE(renamed({ { open, m2 + QStringLiteral("/D1") }, { m1, m1 + QStringLiteral(".x") }, { m2, m1 } }));
    ASSERT_EQ(statusOf(closed).st_mode & 07777, 0755u);

    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 0);
    EXPECT_EQ(entriesOf(closed), QStringList {});
    EXPECT_EQ(sheets->messageDetails,
        QStringList { *secret->filePath + QStringLiteral(": its folder ") + m1
            + QStringLiteral(" is not the one that was there when it was removed, and another user could have put it "
                             "there") });
    ASSERT_EQ(controller.arrNodesToBeRestoredLocal().size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(controller.arrNodesToBeRestoredLocal()[0].trashedPath));

    ASSERT_TRUE(renamed({ { m1, m2 }, { m1 + QStringLiteral(".x"), m1 }, { m2 + QStringLiteral("/D1"), open } }));
    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(secret), QByteArray("secret"));
    EXPECT_EQ(entriesOf(open), QStringList {});
}

namespace {

constexpr qint64 mebibyte = 1024 * 1024;

// A disk image of 64 MiB that holds one mebibyte of data in its middle.
void writeSparseImage(const QString& path)
{
    QFile image(path);
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    ASSERT_TRUE(image.seek(32 * mebibyte));
    ASSERT_EQ(image.write(QByteArray("disk image ").repeated(mebibyte / 11 + 1).left(mebibyte)), mebibyte);
    ASSERT_TRUE(image.resize(64 * mebibyte));
}

qint64 bytesOnDisk(const QString& path)
{
    return qint64(statusOf(path).st_blocks) * 512;
}

// Bytes of data that are no run of zeros.
QByteArray dataBytes(qint64 size)
{
    QByteArray data;
    for (qint64 i = 0; data.size() < size; ++i)
        data += QByteArray::number(i) + ' ';
    return data.left(size);
}

} // namespace

// A sparse file copied back to another volume takes the room of its data,
// not of its length: it fits where its data fits.
TEST_F(Removal, UndoAcrossVolumesKeepsASparseFilesHolesSoItFitsWhereItsDataFits)
{
    const QString volumeTop = home.path() + QStringLiteral("/small-volume");
    const PrivateVolume volume(volumeTop, "tmpfs", "size=16m,mode=0755");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/images")));
    const QString path = folder + QStringLiteral("/images/m-disk.img");
    writeSparseImage(path);
    writeSparseImage(folder + QStringLiteral("/k-disk.img"));
    if (bytesOnDisk(path) > 4 * mebibyte)
        GTEST_SKIP() << "the temporary folder's file system keeps no holes";
    const auto image = record(path);
    load({ { image, record(folder + QStringLiteral("/k-disk.img")) } });
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.lastReport().countTrashed, 1);
    moveFolderToAnotherVolume(folder + QStringLiteral("/images"), volumeTop + QStringLiteral("/images"));

    ASSERT_TRUE(undo());
    EXPECT_EQ(sheets->messages, QStringList { localizedText(QStringLiteral("ID_ACTION_COMPLETED")) })
        << sheets->messageDetails.join(QLatin1Char('\n')).toStdString();
    const QString restored = volumeTop + QStringLiteral("/images/m-disk.img");
    EXPECT_EQ(statusOf(restored).st_size, 64 * mebibyte);
    EXPECT_LE(bytesOnDisk(restored), 2 * mebibyte);
    QFile read(restored);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    EXPECT_EQ(read.read(mebibyte), QByteArray(mebibyte, '\0'));
    ASSERT_TRUE(read.seek(32 * mebibyte));
    EXPECT_EQ(read.read(mebibyte), QByteArray("disk image ").repeated(mebibyte / 11 + 1).left(mebibyte));
}

namespace {

// A removed file of three mebibytes of data, its folder moved to another
// volume since the removal: its undo copies it back, a mebibyte at a time.
class UndoCopyBack : public Removal {
protected:
    void SetUp() override
    {
        Removal::SetUp();
        if (!volume.isMounted())
            GTEST_SKIP() << volume.whyNot();
        marked = file(QStringLiteral("sub/m-big"), data);
        load({ { marked, file(QStringLiteral("k-big"), data) } });
        ASSERT_TRUE(run());
        undoList = controller.arrNodesToBeRestoredLocal();
        ASSERT_EQ(undoList.size(), 1u);
        moveFolderToAnotherVolume(folder + QStringLiteral("/sub"), sub);
    }

    const QString volumeTop = home.path() + QStringLiteral("/other-volume");
    const PrivateVolume volume { volumeTop, "tmpfs", "mode=0755" };
    const QString sub = volumeTop + QStringLiteral("/sub");
    const QByteArray data = dataBytes(3 * mebibyte);
    FileInfoNodePtr marked;
    std::vector<RemovedFile> undoList;
};

} // namespace

// Stop read inside a copy back ends it there: the partial copy goes, the
// file stays in the trash with its entry, told as stopped, for a later undo.
TEST_F(UndoCopyBack, StopDuringACopyEndsItThereAndLeavesTheFileInTheTrash)
{
    std::atomic<bool> stop { false };
    qint64 copiedAtStop = 0;
    UnavailableCloudRemover cloud;
    const auto outcomes
        = executeUndoPlan(makeUndoPlan(undoList), cloud, stop, {}, [&](const PlannedRestore&, qint64 copied) {
              if (copied > 0 && !stop.exchange(true))
                  copiedAtStop = copied;
          });
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].restored);
    EXPECT_EQ(outcomes[0].reason, QStringLiteral("the undo was stopped before its copy was whole"));
    EXPECT_GT(copiedAtStop, 0);
    EXPECT_LT(copiedAtStop, data.size());
    EXPECT_EQ(entriesOf(sub), QStringList {});
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
    EXPECT_TRUE(QFileInfo::exists(undoList[0].trashedPath));
    EXPECT_EQ(trashInfoOriginalPath(undoList[0].trashInfoPath), std::optional(*marked->filePath));

    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(marked), data);
}

// A file still written to in the trash while it is copied back (a log a
// program keeps open) comes back as far as it was copied, told as changed;
// what was written meanwhile is not lost with the trashed file, which stays.
TEST_F(UndoCopyBack, AFileWrittenToWhileItIsCopiedBackStaysInTheTrashToo)
{
    const QByteArray more = QByteArrayLiteral("written while copied");
    std::atomic<bool> never { false };
    UnavailableCloudRemover cloud;
    bool written = false;
    const auto outcomes
        = executeUndoPlan(makeUndoPlan(undoList), cloud, never, {}, [&](const PlannedRestore& item, qint64) {
              if (std::exchange(written, true))
                  return;
              QFile trashed(item.trashedPath);
              ASSERT_TRUE(trashed.open(QIODevice::Append));
              ASSERT_EQ(trashed.write(more), more.size());
          });
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].restored) << outcomes[0].reason.toStdString();
    EXPECT_TRUE(outcomes[0].changed);
    EXPECT_EQ(bytes(marked), data);
    EXPECT_EQ(contentAt(undoList[0].trashedPath), data + more);
    EXPECT_EQ(trashInfoOriginalPath(undoList[0].trashInfoPath), std::optional(*marked->filePath));
}

// A second running copy of the program, started while the first copies a
// file back, leaves that copy alone: the first one's undo still brings the
// file back whole.
TEST_F(UndoCopyBack, ACopyAnotherRunningCopyOfTheProgramIsMakingIsLeftToIt)
{
    int ready[2] = { -1, -1 };
    int goOn[2] = { -1, -1 };
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(goOn), 0);
    // The child allocates: no other thread may hold the allocator's lock
    // when it is forked.
    QThreadPool::globalInstance()->waitForDone();
    std::fflush(nullptr);
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        const std::atomic<bool> never { false };
        UnavailableCloudRemover cloud;
        bool told = false;
        const auto outcomes = executeUndoPlan(makeUndoPlan(undoList), cloud, never, {},
            [&](const PlannedRestore&, qint64 copied) {
                char byte = 0;
                if (copied == 0 || std::exchange(told, true))
                    return;
                if (::write(ready[1], "c", 1) != 1 || ::read(goOn[0], &byte, 1) != 1)
                    ::_exit(3);
            });
        ::_exit(outcomes.size() == 1 && outcomes[0].restored ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    // The second copy's start, while the first one's copy is under way.
    EXPECT_EQ(removeLeftRestoreCopies().removed, 0);
    EXPECT_EQ(entriesOf(sub).filter(QStringLiteral(".vellicor-restore-")).size(), 1);
    ASSERT_EQ(::write(goOn[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    for (const int end : { ready[0], ready[1], goOn[0], goOn[1] })
        ::close(end);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(bytes(marked), data);
    EXPECT_EQ(entriesOf(sub), QStringList { QStringLiteral("m-big") });
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
}

// A run ended inside a copy back (killed) leaves the partial copy under its
// temporary name; the next start, or the next undo, removes it, and only
// where it is the very copy its record names: a file of the user's that
// took its name since, or one under a name alike that no record names,
// stays.
TEST_F(UndoCopyBack, ACopyLeftByAnEndedRunGoesNextTimeOnlyWhereItIsProvablyTheProgramsOwn)
{
    // What an undo ended inside its copy leaves beside the user's files.
    const auto endInsideTheCopy = [&] {
        const QStringList before = entriesOf(sub);
        // The child allocates: no other thread may hold the allocator's lock
        // when it is forked.
        QThreadPool::globalInstance()->waitForDone();
        const int code = exitCodeOfChild([&] {
            const std::atomic<bool> never { false };
            UnavailableCloudRemover cloud;
            executeUndoPlan(makeUndoPlan(undoList), cloud, never, {}, [](const PlannedRestore&, qint64 copied) {
                if (copied > 0)
                    ::_exit(0);
            });
            return 4;
        });
        EXPECT_EQ(code, 0);
        QStringList left = entriesOf(sub);
        for (const QString& name : before)
            left.removeOne(name);
        EXPECT_EQ(left.size(), 1);
        return left.value(0);
    };

    const QString first = endInsideTheCopy();
    ASSERT_TRUE(first.startsWith(QStringLiteral(".vellicor-restore-"))) << first.toStdString();
    EXPECT_GT(statusOf(sub + QLatin1Char('/') + first).st_size, 0);
    ASSERT_TRUE(QFile::remove(sub + QLatin1Char('/') + first));
    writeTestFile(sub + QLatin1Char('/') + first, "the user's own");
    writeTestFile(sub + QStringLiteral("/.vellicor-restore-mine"), "mine too");
    EXPECT_EQ(removeLeftRestoreCopies().removed, 0);
    EXPECT_EQ(contentAt(sub + QLatin1Char('/') + first), QByteArray("the user's own"));
    EXPECT_EQ(contentAt(sub + QStringLiteral("/.vellicor-restore-mine")), QByteArray("mine too"));

    // As the start removes them.
    const QString second = endInsideTheCopy();
    ASSERT_TRUE(second.startsWith(QStringLiteral(".vellicor-restore-"))) << second.toStdString();
    EXPECT_EQ(removeLeftRestoreCopies().removed, 1);
    EXPECT_FALSE(QFileInfo::exists(sub + QLatin1Char('/') + second));

    // As the next undo removes them, beside it.
    const QString third = endInsideTheCopy();
    ASSERT_TRUE(third.startsWith(QStringLiteral(".vellicor-restore-"))) << third.toStdString();
    ASSERT_TRUE(undo());
    ASSERT_TRUE(waitUntil([] { return leftFilesSweepsUnderWay() == 0; }));
    EXPECT_EQ(bytes(marked), data);
    EXPECT_EQ(sorted(entriesOf(sub)), sorted({ first, QStringLiteral(".vellicor-restore-mine"), QStringLiteral("m-big") }));
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
    EXPECT_EQ(contentAt(sub + QLatin1Char('/') + first), QByteArray("the user's own"));
}

// A copy an ended undo left in a folder on a mount that stopped answering
// holds neither the next undo nor its end: the sweep that reaches it waits
// beside, and removes the copy once the mount answers again.
// A kept copy written to while it is copied back for a file the trash no
// longer holds is not used: the copy is dropped before it takes the name,
// and nothing is left beside the kept copy.
TEST_F(Removal, AKeptCopyWrittenToWhileItIsCopiedBackForAFileGoneFromTheTrashIsNotUsed)
{
    const QByteArray data = dataBytes(3 * mebibyte);
    const auto marked = file(QStringLiteral("m-big"), data);
    const auto kept = file(QStringLiteral("k-big"), data);
    load({ { marked, kept } });
    ASSERT_TRUE(run());
    const std::vector<RemovedFile> undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 1u);
    ASSERT_TRUE(QFile::remove(undoList[0].trashedPath) && QFile::remove(undoList[0].trashInfoPath));
    const std::atomic<bool> never { false };
    UnavailableCloudRemover cloud;
    bool written = false;
    const auto writeKept = [&](const PlannedRestore&, qint64) {
        if (std::exchange(written, true))
            return;
        QFile writing(*kept->filePath);
        ASSERT_TRUE(writing.open(QIODevice::ReadWrite) && writing.seek(2 * mebibyte));
        ASSERT_EQ(writing.write("written while copied"), 20);
    };
    const auto outcomes = executeUndoPlan(makeUndoPlan(undoList), cloud, never, {}, writeKept);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(written);
    EXPECT_FALSE(outcomes[0].restored);
    EXPECT_TRUE(outcomes[0].reason.contains(QStringLiteral("has changed since the removal, so it was not used")))
        << outcomes[0].reason.toStdString();
    EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral("k-big") });
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
}

TEST_F(Removal, AnUndoGoesOnWhileTheSweepOfLeftCopiesWaitsOnAMountThatDoesNotAnswer)
{
    FuseMirror mount(FuseMirror::AwayIn { home.path() });
    if (!mount.isMounted())
        GTEST_SKIP() << FuseMirror::unavailable;
    const QString& away = mount.folder();
    const QString& mirror = mount.mirror();
    leaveCopyOfAnEndedUndo(mirror, mirror);
    ASSERT_EQ(entriesOf(away).filter(QStringLiteral(".vellicor-restore-")).size(), 1);
    const auto marked = file(QStringLiteral("m1"));
    load({ { marked, file(QStringLiteral("k1")) } });
    ASSERT_TRUE(run());

    ASSERT_TRUE(mount.stop(15000));
    EXPECT_TRUE(undo());
    EXPECT_TRUE(mount.isStopped()) << "the undo waited for the mount that does not answer";
    EXPECT_EQ(bytes(marked), QByteArray("same bytes"));

    mount.resume();
    ASSERT_TRUE(waitUntil([] { return leftFilesSweepsUnderWay() == 0; }, 20000));
    EXPECT_EQ(entriesOf(away), QStringList {});
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
}

// Stop ends a copy back however slowly its disk writes: once Stop is asked,
// the copy waits on no more than its disk writes in a fraction of a second,
// neither for mebibytes it had handed on nor for those in memory.
TEST_F(Removal, StopEndsACopyBackWithoutWaitingOnASlowDisk)
{
    const QString slowTop = home.path() + QStringLiteral("/slow");
    LoopVolume slow(home.path() + QStringLiteral("/slow.img"), slowTop, { "mkfs.ext4", "-q", "-F" }, 96);
    if (!slow.whyNot().empty())
        GTEST_SKIP() << slow.whyNot();
    constexpr qint64 pace = mebibyte;
    if (const std::string why = slow.throttleWrites(pace); !why.empty())
        GTEST_SKIP() << why;
    const QByteArray data = dataBytes(32 * mebibyte);
    const auto marked = file(QStringLiteral("sub/m-big"), data);
    load({ { marked, file(QStringLiteral("k-big"), data) } });
    ASSERT_TRUE(run());
    const std::vector<RemovedFile> undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 1u);
    moveFolderToAnotherVolume(folder + QStringLiteral("/sub"), slowTop + QStringLiteral("/sub"));

    std::atomic<bool> stop { false };
    std::atomic<qint64> copied { 0 };
    std::vector<RestoreOutcome> outcomes;
    std::thread undoing([&] {
        UnavailableCloudRemover cloud;
        outcomes = executeUndoPlan(
            makeUndoPlan(undoList), cloud, stop, {}, [&](const PlannedRestore&, qint64 now) { copied = now; });
    });
    QElapsedTimer clock;
    clock.start();
    while (copied.load() < 5 * mebibyte && clock.elapsed() < 120000)
        QThread::msleep(10);
    const qint64 writtenAtStop = slow.bytesWritten();
    clock.start();
    stop = true;
    undoing.join();
    const qint64 writtenAfterStop = slow.bytesWritten() - writtenAtStop;
    std::printf("At %lld KiB/s, Stop ended the copy %lld ms after it was asked; the disk wrote %lld KiB meanwhile.\n",
        pace / 1024, qint64(clock.elapsed()), writtenAfterStop / 1024);

    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].reason, QStringLiteral("the undo was stopped before its copy was whole"));
    // Waiting on what it had handed on meant four mebibytes or more; a busy
    // machine's scheduling may add a little to the fraction of a second.
    EXPECT_LT(writtenAfterStop, 2 * pace) << "after Stop the copy waited for its disk to write " << writtenAfterStop
                                          << " bytes";
    EXPECT_EQ(entriesOf(slowTop + QStringLiteral("/sub")), QStringList {});
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
}

// A disk that slows down in the middle of a copy back (a stick whose cache
// is full, a disk that begins to fail) holds Stop no longer than one that
// was slow all along: neither the data handed on at its earlier pace nor
// the last flush of a copy whose data is all written is waited for.
TEST_F(Removal, StopEndsACopyBackWhoseDiskSlowsDownMeanwhile)
{
    const QString slowTop = home.path() + QStringLiteral("/slow");
    LoopVolume slow(home.path() + QStringLiteral("/slow.img"), slowTop, { "mkfs.ext4", "-q", "-F" }, 192);
    if (!slow.whyNot().empty())
        GTEST_SKIP() << slow.whyNot();
    constexpr qint64 pace = mebibyte;
    if (const std::string why = slow.throttleWrites(0); !why.empty())
        GTEST_SKIP() << why;
    const QByteArray data = dataBytes(64 * mebibyte);
    // Slowed once a quarter of the data is copied, and once all but its last
    // step is, so that Stop comes while the copy's end waits for the disk.
    for (const qint64 slowedAt : { 16 * mebibyte, data.size() - mebibyte }) {
        SCOPED_TRACE(slowedAt);
        ASSERT_EQ(slow.throttleWrites(0), std::string());
        const QString name = QStringLiteral("sub%1").arg(slowedAt);
        const auto marked = file(name + QStringLiteral("/m-big"), data);
        load({ { marked, file(name + QStringLiteral("/k-big"), data) } });
        ASSERT_TRUE(run());
        const std::vector<RemovedFile> undoList = controller.arrNodesToBeRestoredLocal();
        ASSERT_EQ(undoList.size(), 1u);
        moveFolderToAnotherVolume(folder + QLatin1Char('/') + name, slowTop + QLatin1Char('/') + name);

        std::atomic<bool> stop { false };
        std::atomic<bool> slowed { false };
        std::vector<RestoreOutcome> outcomes;
        std::thread undoing([&] {
            UnavailableCloudRemover cloud;
            outcomes = executeUndoPlan(makeUndoPlan(undoList), cloud, stop, {}, [&](const PlannedRestore&, qint64 now) {
                if (now >= slowedAt && !slowed.exchange(true))
                    slow.throttleWrites(pace);
            });
        });
        ASSERT_TRUE(waitUntil([&] { return slowed.load(); }, 120000));
        QThread::msleep(300);
        const qint64 writtenAtStop = slow.bytesWritten();
        stop = true;
        undoing.join();
        const qint64 writtenAfterStop = slow.bytesWritten() - writtenAtStop;

        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].reason, QStringLiteral("the undo was stopped before its copy was whole"));
        EXPECT_LT(writtenAfterStop, 2 * pace) << "after Stop the copy waited for its disk to write "
                                              << writtenAfterStop << " bytes";
        EXPECT_EQ(entriesOf(slowTop + QLatin1Char('/') + name), QStringList {});
        EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
        // What the disk was handed at its earlier pace is written meanwhile;
        // the volume goes only after.
        slow.throttleWrites(0);
        EXPECT_TRUE(waitUntil([] { return givenUpCopiesClosing() == 0; }, 60000));
    }
}

namespace {

// Inside a user namespace mapped as map asks, the root, the temporary folder
// and every folder and link of the system's show an owner the namespace does
// not map: they are the system's, and a home below them is used as it is
// outside, one reached through a link of the system's too (as where the
// homes lie elsewhere on the system's volume). Settings are saved and read
// back, a marked file goes to the trash and its undo brings it back. A
// folder of the system's that every user may write, without the sticky bit,
// is still no place for a folder of the user's; nor, where the namespace maps
// other ids than the user's, is a folder of one of them.
void Removal::theWholeRoadInAUserNamespace(UserNamespaceMap map)
{
    constexpr char systemFolderVariable[] = "VELLICOR_TEST_SYSTEM_FOLDER";
    // Another user inside a namespace that maps the subordinate ids.
    constexpr uid_t subordinateUser = 100500;
    if (!isInsideUserNamespaceRun()) {
        // The system's: homes in "real", reached by the link "homes"; and
        // "open", which every user may write.
        QTemporaryDir system;
        const QByteArray base = QFile::encodeName(system.path());
        ASSERT_EQ(::chmod(base.constData(), 0755), 0);
        ASSERT_EQ(::mkdir((base + "/real").constData(), 0755), 0);
        ASSERT_EQ(::mkdir((base + "/real/ann").constData(), 0700), 0);
        ASSERT_EQ(::chown((base + "/real/ann").constData(), namespaceUserOf(), namespaceGroupOf()), 0);
        ASSERT_EQ(::symlink("real", (base + "/homes").constData()), 0);
        ASSERT_EQ(::mkdir((base + "/open").constData(), 0777), 0);
        ASSERT_EQ(::chmod((base + "/open").constData(), 0777), 0);
        if (map == UserNamespaceMap::subordinateIds && ::geteuid() == 0) {
            ASSERT_EQ(::mkdir((base + "/theirs").constData(), 0755), 0);
            ASSERT_EQ(::chown((base + "/theirs").constData(), subordinateUser, subordinateUser), 0);
        }
        qputenv(systemFolderVariable, base);
        const UserNamespaceRun inside = runCurrentTestInUserNamespace(map);
        qunsetenv(systemFolderVariable);
        if (!inside.skipped.empty())
            GTEST_SKIP() << inside.skipped;
        EXPECT_EQ(inside.exitCode, 0) << "the run inside the user namespace failed (its output above)";
        return;
    }
    const QString system = qEnvironmentVariable(systemFolderVariable);
    struct stat root { };
    ASSERT_EQ(::stat("/", &root), 0);
    ASSERT_NE(root.st_uid, ::geteuid());
    ASSERT_NE(root.st_uid, uid_t(0)) << "the root shows as the superuser's: not a namespace that leaves it out";
    const QString linkedHome = system + QStringLiteral("/homes/ann");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(linkedHome + QStringLiteral("/config")));
    folder = linkedHome + QStringLiteral("/files");
    FolderRefusals::instance().takeUntold();
    startApplicationCore(defaults);
    {
        UserDefaults settings(AppPaths::settingsFolder());
        ASSERT_TRUE(settings.setValue(QStringLiteral("protectedFolders"), QVariantList { QStringLiteral("/data") }));
    }
    EXPECT_EQ(UserDefaults(AppPaths::settingsFolder()).arrayValue(QStringLiteral("protectedFolders")),
        QVariantList { QStringLiteral("/data") });

    const auto marked = file(QStringLiteral("a/m1"), "first");
    load({ { marked, file(QStringLiteral("k1"), "first") } });
    ASSERT_TRUE(run());
    EXPECT_FALSE(exists(marked));
    EXPECT_EQ(controller.lastReport().countTrashed, 1);
    ASSERT_TRUE(undo());
    EXPECT_EQ(bytes(marked), QByteArray("first"));
    EXPECT_EQ(sheets->messages.join(u'\n').toStdString(), localizedText("ID_ACTION_COMPLETED").toStdString())
        << sheets->messageDetails.join(u'\n').toStdString();
    for (const FolderRefusals::Refusal& refusal : FolderRefusals::instance().takeUntold())
        ADD_FAILURE() << "refused: " << refusal.path.toStdString();
    EXPECT_TRUE(sheets->alerts.isEmpty()) << sheets->alerts.join(u'\n').toStdString();

    EXPECT_EQ(PrivateFiles::ensureOwnFolder(system + QStringLiteral("/open/Vellicor")),
        PrivateFiles::FolderFault::openParent);
    if (map == UserNamespaceMap::subordinateIds) {
        struct stat theirs { };
        ASSERT_EQ(::stat(QFile::encodeName(system + QStringLiteral("/theirs")).constData(), &theirs), 0);
        ASSERT_NE(theirs.st_uid, root.st_uid) << "the subordinate ids are not mapped";
        EXPECT_EQ(OtherUsers::foldersAnotherUserMayChangeAbove(system + QStringLiteral("/theirs/Vellicor")),
            QStringList { system + QStringLiteral("/theirs") });
    }
}

} // namespace

// Run in a user namespace that maps only the user, as a sandboxed or
// containered desktop program runs.
TEST_F(Removal, TheWholeRoadWorksInAHomeInsideAUserNamespaceThatMapsOnlyTheUser)
{
    theWholeRoadInAUserNamespace(UserNamespaceMap::userAlone);
}

// Run in a user namespace that maps the user as itself amid its subordinate
// ids, as a rootless container that keeps the user's id does: the overflow id
// is one of the namespace's own, yet the system's folders show as it all the
// same.
TEST_F(Removal, TheWholeRoadWorksInAHomeInsideAUserNamespaceThatMapsTheUsersSubordinateIds)
{
    theWholeRoadInAUserNamespace(UserNamespaceMap::subordinateIds);
}

namespace {

// Another user who holds a file of theirs mapped shared, its pages written
// once through the mapping, and who, when asked, writes a byte over its
// first mebibyte through the mapping: on a tmpfs such a write to pages
// already written changes neither the file's modification nor its change
// time. Its child allocates nothing: a child of
// a process whose other threads may hold the allocator's lock must not.
class SharedMappingWriter {
public:
    SharedMappingWriter(const QString& path, qint64 length)
        : path_(QFile::encodeName(path))
    {
        if (::pipe2(ask_, O_CLOEXEC) != 0 || ::pipe2(answer_, O_CLOEXEC) != 0)
            return;
        std::fflush(nullptr);
        child_ = ::fork();
        if (child_ == 0) {
            ::close(ask_[1]);
            ::close(answer_[0]);
            const int fd = becomeOtherUser() ? ::open(path_.constData(), O_RDWR | O_CLOEXEC) : -1;
            void* mapped
                = fd < 0 ? MAP_FAILED : ::mmap(nullptr, std::size_t(length), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (mapped == MAP_FAILED)
                ::_exit(1);
            // Each page written once, as it stands: the writes asked for later
            // go to pages already written.
            volatile char* pages = static_cast<char*>(mapped);
            for (qint64 at = 0; at < length; at += 4096)
                pages[at] = pages[at];
            char byte = 0;
            if (::write(answer_[1], "r", 1) != 1)
                ::_exit(1);
            while (::read(ask_[0], &byte, 1) == 1) {
                std::memset(mapped, byte, std::size_t(std::min(length, mebibyte)));
                if (::write(answer_[1], &byte, 1) != 1)
                    ::_exit(1);
            }
            ::_exit(0);
        }
        char byte = 0;
        ready_ = child_ > 0 && ::read(answer_[0], &byte, 1) == 1 && byte == 'r';
    }
    ~SharedMappingWriter()
    {
        for (const int end : { ask_[0], ask_[1], answer_[1] })
            ::close(end);
        if (child_ > 0)
            ::waitpid(child_, nullptr, 0);
        ::close(answer_[0]);
    }
    SharedMappingWriter(const SharedMappingWriter&) = delete;
    SharedMappingWriter& operator=(const SharedMappingWriter&) = delete;

    bool isReady() const { return ready_; }
    // Writes byte over the first mebibyte and waits until it is written.
    bool write(char byte)
    {
        char done = 0;
        return ::write(ask_[1], &byte, 1) == 1 && ::read(answer_[0], &done, 1) == 1 && done == byte;
    }

private:
    QByteArray path_;
    int ask_[2] = { -1, -1 };
    int answer_[2] = { -1, -1 };
    pid_t child_ = -1;
    bool ready_ = false;
};

bool sameTimes(const struct stat& one, const struct stat& other)
{
    return one.st_mtim.tv_sec == other.st_mtim.tv_sec && one.st_mtim.tv_nsec == other.st_mtim.tv_nsec
        && one.st_ctim.tv_sec == other.st_ctim.tv_sec && one.st_ctim.tv_nsec == other.st_ctim.tv_nsec;
}

// The undo list entry of a file deleted outright whose group was compared
// by content, with kept as the one other file of its group.
std::vector<RemovedFile> deletedOutright(const FileInfoNodePtr& removed, const FileInfoNodePtr& kept)
{
    const std::atomic<bool> never { false };
    for (const auto& member : { removed, kept }) {
        member->md5 = md5OfFile(*member->filePath, never);
        member->isMd5Calucaluted = true;
    }
    auto group = std::make_shared<DuplicateGroup>();
    addFileToGroup(group, kept);
    return { { removed, group, *removed->filePath, {}, {}, RemovalRoute::deleteOutright, 0, {} } };
}

} // namespace

// On a tmpfs (mode 1777, as /tmp is) the kept copy is another user's, who
// writes into it through a shared mapping while the undo copies it back: no
// time of the file shows it, and only the digest of the bytes the copy was
// written with tells that they are not the removed file's. The copy is
// dropped and the kept file told as changed, for a file the trash no longer
// holds and for one deleted outright alike.
TEST_F(Removal, AKeptCopyAnotherUserWritesThroughASharedMappingWhileItIsCopiedBackIsNotUsed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    const QString top = home.path() + QStringLiteral("/tmp");
    const PrivateVolume volume(top, "tmpfs", "mode=1777");
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNot();
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0711), 0);
    const QByteArray data = dataBytes(3 * mebibyte);
    const QString keptPath = top + QStringLiteral("/k-big");
    writeTestFile(keptPath, data);
    ASSERT_EQ(::chown(QFile::encodeName(keptPath).constData(), otherUser, otherUser), 0);
    SharedMappingWriter writer(keptPath, data.size());
    ASSERT_TRUE(writer.isReady());
    const auto marked = file(QStringLiteral("m-big"), data);
    load({ { marked, record(keptPath) } });
    ASSERT_TRUE(run());
    const std::vector<RemovedFile> undoList = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(undoList.size(), 1u);
    ASSERT_TRUE(QFile::remove(undoList[0].trashedPath) && QFile::remove(undoList[0].trashInfoPath));

    // As the copy starts, once the undo has looked at the kept file.
    const auto undoWhileWritten = [&](const std::vector<RemovedFile>& list, char byte) {
        const struct stat before = statusOf(keptPath);
        bool written = false;
        const std::atomic<bool> never { false };
        UnavailableCloudRemover cloud;
        const auto outcomes = executeUndoPlan(makeUndoPlan(list), cloud, never, {}, [&](const PlannedRestore&, qint64) {
            if (!std::exchange(written, true)) {
                EXPECT_TRUE(writer.write(byte));
            }
        });
        EXPECT_TRUE(written);
        EXPECT_TRUE(sameTimes(before, statusOf(keptPath))) << "the write shows in the kept file's times";
        EXPECT_EQ(contentAt(keptPath).left(4), QByteArray(4, byte));
        return outcomes;
    };
    const auto gone = undoWhileWritten(undoList, 'X');
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_FALSE(gone[0].restored);
    EXPECT_TRUE(gone[0].reason.contains(QStringLiteral("has changed since the removal, so it was not used")))
        << gone[0].reason.toStdString();
    EXPECT_EQ(entriesOf(folder), QStringList {});

    // Deleted outright, from a kept file whose digest is the removed file's
    // when the copy starts.
    // Written back in place: the mapping's pages stay as they were.
    {
        QFile restore(keptPath);
        ASSERT_TRUE(restore.open(QIODevice::ReadWrite));
        ASSERT_EQ(restore.write(data.left(mebibyte)), mebibyte);
    }
    writeTestFile(*marked->filePath, data);
    const auto removed = record(*marked->filePath);
    const std::vector<RemovedFile> outright = deletedOutright(removed, record(keptPath));
    ASSERT_TRUE(QFile::remove(*removed->filePath));
    const auto deleted = undoWhileWritten(outright, 'Y');
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_FALSE(deleted[0].restored);
    EXPECT_EQ(deleted[0].reason, QStringLiteral("no kept file with the same content is left"));
    EXPECT_EQ(entriesOf(folder), QStringList {});
    EXPECT_EQ(entriesOf(top), QStringList { QStringLiteral("k-big") });
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
}

// A copy that stands in for a removed file gives no one more than the
// removed file gave: it takes the removed file's mode, not its kept copy's;
// the kept copy's access list goes with it only where no user it names gets
// more than others got, the user's own extended attributes always; what
// stayed behind is told.
TEST_F(Removal, ACopyThatStandsInForARemovedFileIsNeverMoreOpenThanTheRemovedFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a file of another user needs root";
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0711), 0);
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/bin")));
    const auto made = [&](const QString& name, const QByteArray& bytes, mode_t mode) {
        const QString path = folder + QLatin1Char('/') + name;
        writeTestFile(path, bytes);
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        return path;
    };
    using Entry = AccessEntry;
    // ~/bin/run.sh, the user's alone; its kept copy another user's, open to
    // all.
    const QString script = made(QStringLiteral("bin/m-run.sh"), "#!/bin/sh\necho hi\n", 0700);
    const QString theirs = made(QStringLiteral("k-run.sh"), "#!/bin/sh\necho hi\n", 0777);
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), otherUser, otherUser), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(theirs).constData(), 0777), 0);
    // Notes others may not read; their kept copy's access list lets another
    // user read and write it, and it carries a tag of the user's.
    const QString notes = made(QStringLiteral("m-notes.txt"), "notes", 0640);
    const QString listed = made(QStringLiteral("k-notes.txt"), "notes", 0664);
    if (!setAccessList(listed,
            { { Entry::userObj, 6 }, { Entry::user, 6, otherUser }, { Entry::groupObj, 4 }, { Entry::mask, 6 },
                { Entry::other, 4 } })
        || !setAttribute(listed, "user.xdg.tags", "red"))
        GTEST_SKIP() << "the temporary folder's file system keeps no access lists or extended attributes";
    // A plan all may read; its kept copy's access list names a user who may
    // read it too, and no more: it goes with the copy.
    const QString plan = made(QStringLiteral("m-plan.txt"), "plan", 0644);
    const QString narrow = made(QStringLiteral("k-plan.txt"), "plan", 0644);
    const QByteArray narrowList = accessListBytes({ { Entry::userObj, 6 }, { Entry::user, 4, otherUser },
        { Entry::groupObj, 4 }, { Entry::mask, 4 }, { Entry::other, 4 } });
    ASSERT_TRUE(setAttribute(narrow, "system.posix_acl_access", narrowList));
    load({ { record(script), record(theirs) }, { record(notes), record(listed) }, { record(plan), record(narrow) } });
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.lastReport().countTrashed, 3);
    // The user empties the trash.
    for (const RemovedFile& removed : controller.arrNodesToBeRestoredLocal())
        ASSERT_TRUE(QFile::remove(removed.trashedPath) && QFile::remove(removed.trashInfoPath));

    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 3);
    EXPECT_EQ(statusOf(script).st_mode & 07777, 0700u);
    EXPECT_EQ(statusOf(script).st_uid, ::geteuid());
    EXPECT_FALSE(asOtherUser([path = QFile::encodeName(script)] {
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND);
        return fd >= 0 && ::write(fd, "id\n", 3) == 3;
    }));
    EXPECT_EQ(contentAt(script), QByteArray("#!/bin/sh\necho hi\n"));

    EXPECT_EQ(statusOf(notes).st_mode & 07777, 0640u);
    EXPECT_EQ(attribute(notes, "system.posix_acl_access"), std::nullopt);
    EXPECT_EQ(attribute(notes, "user.xdg.tags"), std::optional(QByteArray("red")));
    EXPECT_EQ(statusOf(plan).st_mode & 07777, 0644u);
    EXPECT_EQ(attribute(plan, "system.posix_acl_access"), std::optional(narrowList));
    EXPECT_TRUE(sheets->messageDetails.contains(notes + QStringLiteral(": without its access list (ACL)")))
        << sheets->messageDetails.join(u'\n').toStdString();
}

// Runs of zeros stay holes on every road that copies a file back: a copy of
// a sparse kept file, and of one whose zeros were written out, takes the
// room of its data alone, for a file the trash no longer holds, one deleted
// outright and one whose folder moved to another volume.
TEST_F(Removal, EveryCopyBackLeavesTheRunsOfZerosOfItsSourceHoles)
{
    constexpr qint64 length = 16 * mebibyte;
    const QByteArray head = dataBytes(4096);
    const auto writeImage = [&](const QString& name, bool zerosWritten) {
        const QString path = folder + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile image(path);
        EXPECT_TRUE(image.open(QIODevice::WriteOnly));
        EXPECT_EQ(image.write(head), head.size());
        if (zerosWritten) {
            EXPECT_EQ(image.write(QByteArray(length - head.size(), '\0')), length - head.size());
        }
        EXPECT_TRUE(image.resize(length));
        return path;
    };
    const QString sparse = writeImage(QStringLiteral("k-sparse.img"), false);
    const QString written = writeImage(QStringLiteral("k-zeros.img"), true);
    if (bytesOnDisk(sparse) > mebibyte)
        GTEST_SKIP() << "the temporary folder's file system keeps no holes";
    ASSERT_GT(bytesOnDisk(written), length / 2);
    const QString volumeTop = home.path() + QStringLiteral("/other-volume");
    const PrivateVolume volume(volumeTop, "tmpfs", "mode=0755");
    const QString away = writeImage(QStringLiteral("sub/m-away.img"), true);
    const QString emptied = writeImage(QStringLiteral("m-emptied.img"), false);
    const QString emptiedZeros = writeImage(QStringLiteral("m-emptied-zeros.img"), true);
    load({ { record(emptied), record(sparse) }, { record(emptiedZeros), record(away), record(written) } });
    ASSERT_TRUE(run());
    ASSERT_EQ(controller.lastReport().countTrashed, 3);
    for (const RemovedFile& removed : controller.arrNodesToBeRestoredLocal()) {
        if (removed.originalPath != away) {
            ASSERT_TRUE(QFile::remove(removed.trashedPath) && QFile::remove(removed.trashInfoPath));
        }
    }
    const QString movedAway = volumeTop + QStringLiteral("/sub/m-away.img");
    if (volume.isMounted())
        moveFolderToAnotherVolume(folder + QStringLiteral("/sub"), volumeTop + QStringLiteral("/sub"));
    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 3);

    const QString outrightPath = folder + QStringLiteral("/m-outright.img");
    const auto outright = deletedOutright(record(writeImage(QStringLiteral("m-outright.img"), true)), record(written));
    ASSERT_TRUE(QFile::remove(outrightPath));
    const std::atomic<bool> never { false };
    UnavailableCloudRemover cloud;
    const auto outcomes = executeUndoPlan(makeUndoPlan(outright), cloud, never);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].restored) << outcomes[0].reason.toStdString();

    QStringList copies { emptied, emptiedZeros, outrightPath };
    if (volume.isMounted())
        copies.append(movedAway);
    for (const QString& path : copies) {
        EXPECT_EQ(statusOf(path).st_size, length) << path.toStdString();
        EXPECT_LE(bytesOnDisk(path), 64 * 1024) << path.toStdString();
        QFile read(path);
        ASSERT_TRUE(read.open(QIODevice::ReadOnly));
        EXPECT_EQ(read.read(head.size()), head);
        EXPECT_EQ(read.readAll(), QByteArray(length - head.size(), '\0'));
    }
}

// A trash entry half gone is told by the removal's own record: a file whose
// entry alone was deleted is still the file the removal put there (its
// identity as recorded) and comes back itself; an entry left without its
// file is removed once a copy stands in, while it is still as the removal
// wrote it. One the desktop wrote under that name since stays.
TEST_F(Removal, ATrashEntryHalfGoneIsRecognisedByTheRemovalsRecordAndMended)
{
    load({ { file(QStringLiteral("m-a"), "a bytes"), file(QStringLiteral("k-a"), "a bytes") },
        { file(QStringLiteral("m-b"), "b bytes"), file(QStringLiteral("k-b"), "b bytes") },
        { file(QStringLiteral("m-c"), "c bytes"), file(QStringLiteral("k-c"), "c bytes") } });
    ASSERT_TRUE(run());
    const std::vector<RemovedFile> removed = controller.arrNodesToBeRestoredLocal();
    ASSERT_EQ(removed.size(), 3u);
    const RemovedFile& infoGone = removed[0];
    const RemovedFile& fileGone = removed[1];
    const RemovedFile& desktops = removed[2];
    ASSERT_TRUE(QFile::remove(infoGone.trashInfoPath));
    ASSERT_TRUE(QFile::remove(fileGone.trashedPath));
    ASSERT_TRUE(QFile::remove(desktops.trashedPath) && QFile::remove(desktops.trashInfoPath));
    const QByteArray desktopsText = "[Trash Info]\nPath=/elsewhere/m-c\nDeletionDate=2026-01-01T10:00:00\n";
    writeTestFile(desktops.trashInfoPath, desktopsText);

    ASSERT_TRUE(undo());
    EXPECT_EQ(controller.lastUndoReport().restored, 3);
    EXPECT_TRUE(controller.arrNodesToBeRestoredLocal().empty());
    EXPECT_EQ(contentAt(infoGone.originalPath), QByteArray("a bytes"));
    EXPECT_EQ(statusOf(infoGone.originalPath).st_ino, ino_t(infoGone.trashed.inode));
    EXPECT_FALSE(QFileInfo::exists(infoGone.trashedPath));
    EXPECT_EQ(contentAt(fileGone.originalPath), QByteArray("b bytes"));
    EXPECT_FALSE(QFileInfo::exists(fileGone.trashInfoPath));
    EXPECT_EQ(contentAt(desktops.originalPath), QByteArray("c bytes"));
    EXPECT_EQ(contentAt(desktops.trashInfoPath), desktopsText);
    const auto copies = controller.lastUndoReport().copied;
    QStringList copied;
    for (const RestoreOutcome& outcome : copies)
        copied.append(outcome.path);
    EXPECT_EQ(copied, (QStringList { fileGone.originalPath, desktops.originalPath }));
}
