#include "emptyfolders/EmptyFolderHandler.h"
#include "controls/CustomOutlineView.h"
#include "controls/RAZButton.h"
#include "core/FileUtilities.h"
#include "emptyfolders/EmptyFolderWork.h"
#include "emptyfolders/FolderTreeModel.h"
#include "support/MemoryGrowth.h"
#include "support/RecordingAlerts.h"
#include "support/TabReach.h"
#include "support/TreeBuilder.h"
#include "support/Watchdog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

class EmptyFolderCleaner : public ::testing::Test {
protected:
    void SetUp() override { setAlertPresenter(presenter); }
    void TearDown() override { setAlertPresenter({}); }

    void finishWork()
    {
        QSignalSpy finished(&handler, &EmptyFolderHandler::workFinished);
        ASSERT_TRUE(finished.wait(20000));
    }
    // Scans the folder at relative ("" the root).
    void scan(const QString& relative = {})
    {
        handler.folderChosen(tree.path(relative));
        handler.btnScanFoldersTapped();
        finishWork();
    }
    // Opens the row of the folder at relative ("" the chosen folder).
    void expand(const QString& relative)
    {
        const Folder* folder = handler.folderHierarchy();
        for (const QString& part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            const auto& children = folder->subfolders;
            const auto found = std::find_if(
                children.begin(), children.end(), [&](const auto& child) { return child->name == part; });
            ASSERT_NE(found, children.end()) << relative.toStdString();
            folder = found->get();
        }
        auto* model = static_cast<FolderTreeModel*>(handler.outlineViewFolderList->model());
        handler.outlineViewFolderList->expand(model->indexOf(folder));
    }
    void deleteFolders()
    {
        handler.btnDeleteFoldersTapped();
        finishWork();
    }
    bool exists(const QString& relative) const { return QFileInfo::exists(tree.path(relative)); }
    QStringList paths(std::initializer_list<const char*> relatives) const
    {
        QStringList list;
        for (const char* relative : relatives)
            list << tree.path(QLatin1String(relative));
        return list;
    }
    std::array<bool, 3> buttons() const
    {
        return { handler.btnDeleteFolders->isEnabled(), handler.btnCancel->isEnabled(), handler.btnUndo->isEnabled() };
    }

    std::shared_ptr<RecordingAlerts> presenter = std::make_shared<RecordingAlerts>();
    TreeBuilder tree;
    EmptyFolderHandler handler;
};

TEST_F(EmptyFolderCleaner, DeletesOnlyRevealedFoldersWithNothingInside)
{
    tree.file(QStringLiteral("hiddenonly/.hidden"), "x");
    tree.folder(QStringLiteral("parent/child"));
    tree.folder(QStringLiteral("plain"));
    tree.folder(QStringLiteral("closed/deep/empty"));
    scan();
    expand(QString());
    expand(QStringLiteral("parent"));
    // Shown again: still recorded once.
    handler.outlineViewFolderList->collapseAll();
    expand(QString());
    expand(QStringLiteral("parent"));
    EXPECT_EQ(handler.arrOfEmptyFolders(), paths({ "plain", "parent/child" }));

    deleteFolders();
    EXPECT_FALSE(exists(QStringLiteral("plain")));
    EXPECT_FALSE(exists(QStringLiteral("parent/child")));
    EXPECT_TRUE(exists(QStringLiteral("parent"))) << "a parent emptied by this pass waits for the next scan";
    EXPECT_TRUE(exists(QStringLiteral("hiddenonly/.hidden")));
    EXPECT_TRUE(exists(QStringLiteral("closed/deep/empty"))) << "a branch never opened is untouched";
    EXPECT_EQ(handler.deletedEmptyFolders(), paths({ "plain", "parent/child" }));
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_EQ(
        presenter->shown[0].informativeText, QStringLiteral("Selected empty folders have been deleted successfully."));
}

TEST_F(EmptyFolderCleaner, RecordedFolderThatGainedAFileKeepsItAndIsReported)
{
    tree.folder(QStringLiteral("empty"));
    tree.folder(QStringLiteral("other"));
    scan();
    expand(QString());
    tree.file(QStringLiteral("empty/new.txt"), "kept");
    deleteFolders();
    EXPECT_TRUE(exists(QStringLiteral("empty/new.txt")));
    EXPECT_EQ(handler.deletedEmptyFolders(), paths({ "other" }));
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_TRUE(presenter->shown[0].informativeText.contains(
        QLatin1String("1 folder was kept: it is no longer empty or could not be deleted.")));

    // A second pass that removes nothing reports no success: with nothing
    // shown since, nothing is chosen, and it says so.
    presenter->shown.clear();
    handler.btnDeleteFoldersTapped();
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_TRUE(presenter->shown[0].informativeText.startsWith(QLatin1String("No empty folder is chosen")));
    EXPECT_FALSE(handler.isBusy());
    EXPECT_EQ(handler.deletedEmptyFolders(), paths({ "other" }));
}

// Delete Folders while the tree is still closed has nothing chosen: it says
// so, deletes nothing and stays on. The status line reads the instruction
// again once an undo has ended, not the undo's progress.
TEST_F(EmptyFolderCleaner, DeleteWithNothingChosenSaysSoAndTheUndoEndsItsStatusLine)
{
    tree.folder(QStringLiteral("outer/inner"));
    handler.window();
    handler.folderChosen(tree.root());
    const auto press = [](QAbstractButton* button) {
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    };
    ASSERT_NO_FATAL_FAILURE(press(handler.btnScanFolders));
    finishWork();
    ASSERT_TRUE(handler.arrOfEmptyFolders().isEmpty());

    ASSERT_NO_FATAL_FAILURE(press(handler.btnDeleteFolders));
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_EQ(presenter->shown[0].informativeText,
        QStringLiteral("No empty folder is chosen yet. Expand the folders in the list: the empty folders it shows in "
                       "red are the ones Delete Folders deletes."));
    EXPECT_FALSE(handler.isBusy());
    EXPECT_TRUE(exists(QStringLiteral("outer/inner")));
    EXPECT_TRUE(handler.btnDeleteFolders->isEnabled());

    const QString instruction = handler.lblEmptyDirectories->text();
    expand(QString());
    expand(QStringLiteral("outer"));
    ASSERT_NO_FATAL_FAILURE(press(handler.btnDeleteFolders));
    finishWork();
    ASSERT_FALSE(exists(QStringLiteral("outer/inner")));
    presenter->answer = 0; // "Yes"
    ASSERT_NO_FATAL_FAILURE(press(handler.btnUndo));
    finishWork();
    EXPECT_TRUE(exists(QStringLiteral("outer/inner")));
    EXPECT_EQ(handler.lblEmptyDirectories->text(), instruction);
}

TEST_F(EmptyFolderCleaner, LinksAreEntriesNotFolders)
{
    tree.folder(QStringLiteral("sub"));
    tree.symlink(QStringLiteral("sub/back"), tree.root());
    tree.symlink(QStringLiteral("loop"), tree.root());
    const auto root = buildFolderTree(QFile::encodeName(tree.root()));
    ASSERT_EQ(root->subfolders.size(), 1u);
    EXPECT_EQ(root->subfolders[0]->name, QStringLiteral("sub"));
    EXPECT_TRUE(root->subfolders[0]->subfolders.empty());
    EXPECT_FALSE(root->subfolders[0]->empty) << "a folder holding a link is not empty";

    const auto blank = buildFolderTree(QFile::encodeName(tree.path(QStringLiteral("loop"))) + "/missing");
    EXPECT_TRUE(pathOf(*blank).isEmpty());
    EXPECT_FALSE(blank->empty);
}

TEST_F(EmptyFolderCleaner, UndoCreatesTheFoldersAgainWithTheirParents)
{
    tree.folder(QStringLiteral("outer/inner"));
    scan();
    expand(QString());
    expand(QStringLiteral("outer"));
    deleteFolders();
    ASSERT_TRUE(QDir().rmdir(tree.path(QStringLiteral("outer"))));
    handler.btnUndoTapped();
    finishWork();
    EXPECT_TRUE(QFileInfo(tree.path(QStringLiteral("outer/inner"))).isDir());
    EXPECT_TRUE(handler.deletedEmptyFolders().isEmpty());
}

TEST_F(EmptyFolderCleaner, UndoGivesFoldersBackTheirPermissionsOwnerAndTimes)
{
    const auto status = [&](const char* relative) {
        struct stat info { };
        EXPECT_EQ(::lstat(QFile::encodeName(tree.path(QLatin1String(relative))).constData(), &info), 0) << relative;
        return info;
    };
    tree.folder(QStringLiteral("private"));
    tree.folder(QStringLiteral("outer/inner"));
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path(QStringLiteral("private"))).constData(), 0700), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path(QStringLiteral("outer/inner"))).constData(), 02750), 0);
    tree.setModificationTime(QStringLiteral("private"), 1000000000);
    // The superuser can give a folder away; anyone else keeps their own.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(tree.path(QStringLiteral("private"))).constData(), 65534, 65534), 0);
    }
    scan();
    expand(QString());
    expand(QStringLiteral("outer"));
    deleteFolders();
    // A second pass takes the parent the first one emptied, with its own
    // permissions and the times it had after losing its sub-folder.
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path(QStringLiteral("outer"))).constData(), 0711), 0);
    tree.setModificationTime(QStringLiteral("outer"), 1200000000);
    expand(QString());
    deleteFolders();
    ASSERT_FALSE(exists(QStringLiteral("outer")));

    presenter->answer = 0;
    QTest::mouseClick(handler.btnUndo, Qt::LeftButton);
    finishWork();
    const struct stat folder = status("private");
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(folder.st_mtim.tv_sec, 1000000000);
    if (root) {
        EXPECT_EQ(folder.st_uid, 65534u);
    }
    EXPECT_EQ(status("outer/inner").st_mode & 07777, 02750u);
    EXPECT_EQ(status("outer").st_mode & 07777, 0711u);
    EXPECT_EQ(status("outer").st_mtim.tv_sec, 1200000000) << "making inner again must not leave its parent's time";
}

TEST_F(EmptyFolderCleaner, ButtonsFollowEachStepAndCloseStartsClean)
{
    tree.folder(QStringLiteral("a"));
    handler.window();
    using State = std::array<bool, 3>; // Delete, Cancel, Undo
    EXPECT_EQ(buttons(), (State { false, false, false }));
    EXPECT_TRUE(handler.boxEmptyDirectories->isHidden());

    handler.folderChosen(tree.root());
    EXPECT_EQ(buttons(), (State { false, false, false }));
    EXPECT_EQ(handler.lblFolderPath->text(), tree.root());

    handler.btnScanFoldersTapped();
    finishWork();
    EXPECT_EQ(buttons(), (State { true, true, false }));
    EXPECT_FALSE(handler.boxEmptyDirectories->isHidden());

    expand(QString());
    deleteFolders();
    EXPECT_EQ(buttons(), (State { false, true, true }));

    presenter->answer = 1; // "No"
    handler.btnUndoTapped();
    handler.btnCancelTapped();
    EXPECT_EQ(buttons(), (State { false, true, true }));
    EXPECT_FALSE(exists(QStringLiteral("a")));

    presenter->answer = 0; // "Yes"
    handler.btnUndoTapped();
    finishWork();
    EXPECT_EQ(buttons(), (State { true, true, false }));
    EXPECT_TRUE(exists(QStringLiteral("a")));

    handler.btnCancelTapped();
    EXPECT_EQ(buttons(), (State { false, false, false }));
    handler.beginSheet(nullptr);
    EXPECT_TRUE(handler.pathForDeleteEmptyFolders().isEmpty());
    EXPECT_TRUE(handler.lblFolderPath->text().isEmpty());
    EXPECT_EQ(handler.outlineViewFolderList->model()->rowCount(), 0);
    EXPECT_EQ(handler.folderHierarchy(), nullptr);
    EXPECT_TRUE(handler.arrOfEmptyFolders().isEmpty());
    EXPECT_TRUE(handler.deletedEmptyFolders().isEmpty());
    handler.closeDeleteFolderNag();
}

} // namespace

// Tab goes round the window's controls top to bottom, each row left to
// right, and each control shows that it has the focus.
TEST_F(EmptyFolderCleaner, TabGoesRoundTheWindowAsDrawnAndEachStopShowsIt)
{
    tree.folder(QStringLiteral("a/b"));
    handler.beginSheet(nullptr);
    scan();
    expand(QString());
    QDialog* window = handler.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ASSERT_TRUE(handler.btnDeleteFolders->isEnabled() && handler.btnCancel->isEnabled());
    handler.btnBrowse->setFocus(Qt::TabFocusReason);
    expectTabGoesRoundAsDrawn(*window);
    handler.closeDeleteFolderNag();
}

namespace {

// Alerts in a window of their own, as the program shows them: each takes the
// keys while it is open, and gives them to no window in particular when it
// closes.
struct WindowedAlerts : RecordingAlerts {
    int present(const AlertRequest& request) override
    {
        QDialog box;
        box.setWindowTitle(request.messageText);
        box.show();
        box.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&box));
        return RecordingAlerts::present(request);
    }
};

} // namespace

// The keys go back to the control that asked once an alert is answered: Enter
// after "No empty folder is chosen yet" asks again, it does not close the
// cleaner; after a deletion, whose button goes off, they rest on the list.
TEST_F(EmptyFolderCleaner, AnAnsweredAlertGivesTheKeysBackToWhereTheyWere)
{
    auto windowed = std::make_shared<WindowedAlerts>();
    setAlertPresenter(windowed);
    tree.folder(QStringLiteral("outer/inner"));
    handler.beginSheet(nullptr);
    QDialog* window = handler.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    handler.folderChosen(tree.root());
    QTest::mouseClick(handler.btnScanFolders, Qt::LeftButton);
    finishWork();
    const auto tabTo = [window](QWidget* target) {
        for (int i = 0; i < 20 && window->focusWidget() != target; ++i)
            QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Tab);
        return window->focusWidget() == target;
    };
    // The alert has gone: the cleaner has the keys again.
    const auto answered = [&] { return QTest::qWaitForWindowActive(window); };

    ASSERT_TRUE(tabTo(handler.btnDeleteFolders));
    QTest::keyClick(handler.btnDeleteFolders, Qt::Key_Return);
    ASSERT_EQ(windowed->shown.size(), 1u);
    EXPECT_TRUE(windowed->shown.back().informativeText.startsWith(QLatin1String("No empty folder is chosen")));
    ASSERT_TRUE(answered());
    EXPECT_EQ(QApplication::focusWidget(), handler.btnDeleteFolders);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible()) << "Enter closed the cleaner";
    ASSERT_EQ(windowed->shown.size(), 2u) << "Enter asked again";
    ASSERT_TRUE(answered());

    expand(QString());
    expand(QStringLiteral("outer"));
    ASSERT_TRUE(tabTo(handler.btnDeleteFolders));
    QTest::keyClick(handler.btnDeleteFolders, Qt::Key_Return);
    finishWork();
    ASSERT_FALSE(exists(QStringLiteral("outer/inner")));
    ASSERT_TRUE(answered());
    EXPECT_EQ(QApplication::focusWidget(), handler.outlineViewFolderList);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible()) << "Enter closed the cleaner";
    handler.closeDeleteFolderNag();
}

TEST_F(EmptyFolderCleaner, ScanWaitsForAFolderAndThePathReadsAsText)
{
    tree.folder(QStringLiteral("a"));
    handler.beginSheet(nullptr);
    // No folder yet: Scan cannot be pressed, by mouse or by key, and no
    // nameless root appears with Delete on.
    EXPECT_FALSE(handler.btnScanFolders->isEnabled());
    QTest::mouseClick(handler.btnScanFolders, Qt::LeftButton);
    handler.btnScanFolders->setFocus();
    QTest::keyClick(handler.btnScanFolders, Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_EQ(handler.folderHierarchy(), nullptr);
    EXPECT_EQ(handler.outlineViewFolderList->model()->rowCount(), 0);
    EXPECT_FALSE(handler.btnDeleteFolders->isEnabled());

    // The path is told, not typed: no frame, no field, no text cursor.
    EXPECT_EQ(handler.lblFolderPath->textInteractionFlags(), Qt::NoTextInteraction);
    EXPECT_FALSE(handler.lblFolderPath->styleSheet().contains(QStringLiteral("border: 1px")));

    handler.folderChosen(tree.root());
    ASSERT_TRUE(handler.btnScanFolders->isEnabled());
    QTest::mouseClick(handler.btnScanFolders, Qt::LeftButton);
    finishWork();
    ASSERT_NE(handler.folderHierarchy(), nullptr);
    EXPECT_EQ(pathOf(*handler.folderHierarchy()), tree.root());

    // Closing forgets the folder, so Scan waits for one again.
    handler.closeDeleteFolderNag();
    EXPECT_FALSE(handler.btnScanFolders->isEnabled());
}

TEST_F(EmptyFolderCleaner, AFolderChosenThroughALinkedParentIsCleanedAndUndone)
{
    tree.folder(QStringLiteral("real/chosen/empty"));
    tree.symlink(QStringLiteral("alias"), tree.path(QStringLiteral("real")));
    handler.folderChosen(tree.path(QStringLiteral("alias/chosen")));
    handler.btnScanFoldersTapped();
    finishWork();
    expand(QString());
    EXPECT_EQ(handler.arrOfEmptyFolders(), paths({ "alias/chosen/empty" }));
    deleteFolders();
    EXPECT_FALSE(exists(QStringLiteral("real/chosen/empty")));
    EXPECT_TRUE(QFileInfo(tree.path(QStringLiteral("alias"))).isSymLink());
    handler.btnUndoTapped();
    finishWork();
    EXPECT_TRUE(QFileInfo(tree.path(QStringLiteral("real/chosen/empty"))).isDir());
}

TEST_F(EmptyFolderCleaner, AParentSwappedForALinkIsNotFollowedAndTheFolderIsKeptWithItsReason)
{
    // After the scan the parent goes and a link to a folder outside takes its
    // name; that folder holds an empty folder of the recorded one's name.
    tree.folder(QStringLiteral("chosen/parent/child"));
    tree.folder(QStringLiteral("outside/child"));
    scan(QStringLiteral("chosen"));
    expand(QString());
    expand(QStringLiteral("parent"));
    ASSERT_EQ(handler.arrOfEmptyFolders(), paths({ "chosen/parent/child" }));
    ASSERT_TRUE(QDir().rename(tree.path(QStringLiteral("chosen/parent")), tree.path(QStringLiteral("moved"))));
    tree.symlink(QStringLiteral("chosen/parent"), tree.path(QStringLiteral("outside")));

    deleteFolders();
    EXPECT_TRUE(exists(QStringLiteral("outside/child")));
    EXPECT_TRUE(exists(QStringLiteral("moved/child")));
    EXPECT_TRUE(handler.deletedEmptyFolders().isEmpty());
    ASSERT_EQ(presenter->shown.size(), 1u);
    const QString report = presenter->shown[0].informativeText;
    EXPECT_TRUE(report.contains(QLatin1String("1 folder was kept: it is no longer empty or could not be deleted.")))
        << report.toStdString();
    EXPECT_TRUE(report.contains(tree.path(QStringLiteral("chosen/parent/child"))
        + QStringLiteral(" was kept: a folder on its path is a symbolic link.")))
        << report.toStdString();
    EXPECT_FALSE(handler.btnUndo->isEnabled());
}

TEST_F(EmptyFolderCleaner, UndoMakesNothingThroughALinkPutOnTheWay)
{
    tree.folder(QStringLiteral("chosen/parent/child"));
    tree.folder(QStringLiteral("chosen/plain"));
    tree.folder(QStringLiteral("outside"));
    scan(QStringLiteral("chosen"));
    expand(QString());
    expand(QStringLiteral("parent"));
    deleteFolders();
    ASSERT_EQ(handler.deletedEmptyFolders(), paths({ "chosen/plain", "chosen/parent/child" }));
    ASSERT_TRUE(QDir().rmdir(tree.path(QStringLiteral("chosen/parent"))));
    tree.symlink(QStringLiteral("chosen/parent"), tree.path(QStringLiteral("outside")));

    presenter->shown.clear();
    handler.btnUndoTapped();
    finishWork();
    EXPECT_FALSE(exists(QStringLiteral("outside/child"))) << "made through the link";
    EXPECT_TRUE(QFileInfo(tree.path(QStringLiteral("chosen/plain"))).isDir());
    EXPECT_TRUE(QFileInfo(tree.path(QStringLiteral("chosen/parent"))).isSymLink());
    ASSERT_EQ(presenter->shown.size(), 2u); // the question, then the outcome
    EXPECT_EQ(presenter->shown[1].informativeText, QStringLiteral("1 folder could not be created again."));
}

namespace {

// Counts the folders of a tree, gathering its empty ones into empty.
std::size_t walkFolders(const Folder& tree, std::vector<const Folder*>* empty = nullptr)
{
    std::size_t folders = 0;
    std::vector<const Folder*> pending { &tree };
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        ++folders;
        if (empty && folder->empty)
            empty->push_back(folder);
        for (const auto& child : folder->subfolders)
            pending.push_back(child.get());
    }
    return folders;
}

} // namespace

TEST_F(EmptyFolderCleaner, DeletionKeepsEachFolderNoLongerWhereTheScanSawIt)
{
    for (const char* folder : { "swapped/child", "renamed/child", "replaced", "gained", "plain" })
        tree.folder(QLatin1String(folder));
    tree.file(QStringLiteral("spares/.keep"), "");
    tree.folder(QStringLiteral("spares/spare"));
    const std::unique_ptr<Folder> scanned = buildFolderTree(QFile::encodeName(tree.root()));
    std::vector<const Folder*> leaves;
    walkFolders(*scanned, &leaves);
    std::erase_if(leaves, [](const Folder* folder) { return folder->name == QLatin1String("spare"); });
    ASSERT_EQ(leaves.size(), 5u);
    // A real folder of another name takes a parent's place, holding an
    // empty folder of the recorded one's name; another takes a recorded
    // folder's own place; one gains an entry.
    ASSERT_TRUE(QDir().rename(tree.path(QStringLiteral("swapped")), tree.path(QStringLiteral("old"))));
    ASSERT_TRUE(QDir().rename(tree.path(QStringLiteral("renamed")), tree.path(QStringLiteral("swapped"))));
    ASSERT_TRUE(QDir().rename(tree.path(QStringLiteral("replaced")), tree.path(QStringLiteral("replaced-old"))));
    ASSERT_TRUE(QDir().rename(tree.path(QStringLiteral("spares/spare")), tree.path(QStringLiteral("replaced"))));
    tree.file(QStringLiteral("gained/.new"), "x");

    const FolderDeletion deletion = deleteEmptyFolders(*scanned, leaves);
    ASSERT_EQ(deletion.removed.size(), 1u);
    EXPECT_EQ(pathOf(*deletion.removed[0].folder), tree.path(QStringLiteral("plain")));
    EXPECT_FALSE(exists(QStringLiteral("plain")));
    std::map<QString, QString> kept;
    for (const FolderDeletion::Kept& each : deletion.kept)
        kept[pathOf(*each.folder).mid(tree.root().size() + 1)] = each.reason;
    EXPECT_EQ(kept,
        (std::map<QString, QString> {
            { QStringLiteral("gained"), QStringLiteral("it is no longer empty") },
            { QStringLiteral("renamed/child"), QStringLiteral("it is no longer there") },
            { QStringLiteral("replaced"), QStringLiteral("another item stands in its place since the scan") },
            { QStringLiteral("swapped/child"), QStringLiteral("a folder on its path is no longer the one scanned") },
        }));
    for (const char* folder : { "swapped/child", "old/child", "replaced", "replaced-old", "gained/.new" })
        EXPECT_TRUE(exists(QLatin1String(folder))) << folder;
}

TEST_F(EmptyFolderCleaner, ADeepTreeIsBuiltPrintedCleanedAndMadeAgainInProportionToItsFolders)
{
    // Twenty thousand nested folders, every tenth holding an empty one
    // besides the next: each level used to keep its whole path, and the tree's text
    // every path again, indented by its depth (minutes and gigabytes); past
    // the path limit nothing could be removed.
    constexpr int depth = 20000;
    auto deep = std::make_shared<TreeBuilder>(TreeBuilder::Place::memory);
    deep->chain(QString(), depth, "d", [](int folder, int level) {
        if (level % 10 == 0) {
            ASSERT_EQ(::mkdirat(folder, "e", 0700), 0);
        }
    });
    struct Figures {
        std::size_t folders = 0;
        std::size_t empty = 0;
        long textBytes = 0;
        std::size_t removed = 0;
        std::size_t foldersAfterDeletion = 0;
        int restored = 0;
        std::size_t foldersAfterUndo = 0;
        qint64 peakBytes = 0;
    };
    const auto memory = std::make_shared<MemoryGrowth>();
    const auto figures = runWithWatchdog(
        [deep, memory] {
            Figures figures;
            const QByteArray root = QFile::encodeName(deep->root());
            const std::unique_ptr<Folder> tree = buildFolderTree(root);
            std::vector<const Folder*> empty;
            figures.folders = walkFolders(*tree, &empty);
            figures.empty = empty.size();
            std::FILE* text = std::tmpfile();
            printFolderTree(*tree, text);
            figures.textBytes = std::ftell(text);
            std::fclose(text);
            const FolderDeletion deletion = deleteEmptyFolders(*tree, empty);
            figures.removed = deletion.removed.size();
            RemovedFolders removed;
            removed.add(*tree, deletion);
            figures.foldersAfterDeletion = walkFolders(*buildFolderTree(root));
            figures.restored = restoreDeletedFolders(removed).restored;
            figures.foldersAfterUndo = walkFolders(*buildFolderTree(root));
            figures.peakBytes = memory->peakBytes();
            return figures;
        },
        nullptr, std::chrono::milliseconds(0), std::chrono::seconds(120));
    ASSERT_TRUE(figures);
    // The chosen folder, the chain and the empty ones in it.
    EXPECT_EQ(figures->folders, 1u + depth + depth / 10);
    EXPECT_EQ(figures->empty, std::size_t(depth / 10));
    EXPECT_LT(figures->textBytes, 100L * long(figures->folders));
    EXPECT_EQ(figures->removed, figures->empty);
    EXPECT_EQ(figures->foldersAfterDeletion, figures->folders - figures->empty);
    EXPECT_EQ(std::size_t(figures->restored), figures->empty);
    EXPECT_EQ(figures->foldersAfterUndo, figures->folders);
    EXPECT_LT(figures->peakBytes, scaledMemoryBound(qint64(64) << 20));
}

namespace {

// The folder the user picks with Browse, as the chooser hands it over.
void browseTo(EmptyFolderHandler& handler, const QString& path)
{
    handler.window()->show();
    QTest::mouseClick(handler.btnBrowse, Qt::LeftButton);
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        dialog = handler.window()->findChild<QFileDialog*>();
        return dialog && dialog->isVisible();
    }));
    dialog->selectFile(path);
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !handler.window()->findChild<QFileDialog*>(); }));
}

} // namespace

// A folder chosen in, or through links into, a folder excluded from scanning
// is refused with the scan list's alert, which names where it leads and the
// excluded folder on one line each; the cleaner's own walk never enters an
// excluded folder; and a folder excluded after it was chosen is refused when
// Scan is pressed, nothing listed.
TEST_F(EmptyFolderCleaner, FoldersExcludedFromScanningAreNeitherTakenNorWalked)
{
    tree.folder(QStringLiteral("kept/empty"));
    tree.folder(QStringLiteral("open/empty"));
    const QString kept = QFileInfo(tree.path(QStringLiteral("kept"))).canonicalFilePath();
    const QString open = QFileInfo(tree.path(QStringLiteral("open"))).canonicalFilePath();
    tree.symlink(QStringLiteral("to-kept"), kept);
    tree.symlink(QStringLiteral("chain"), tree.path(QStringLiteral("to-kept")));
    tree.symlink(QStringLiteral("new\nline"), kept);
    tree.symlink(QStringLiteral("syslib"), QStringLiteral("/usr/lib"));
    tree.symlink(QStringLiteral("to-open"), open);
    const auto refusedWith = [&](const QString& chosen, const QString& details) {
        presenter->shown.clear();
        browseTo(handler, chosen);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !presenter->shown.empty(); }, 10000)) << chosen.toStdString();
        if (presenter->shown.empty())
            return;
        EXPECT_EQ(presenter->shown[0].messageText, QStringLiteral("The items cannot be added."));
        EXPECT_EQ(presenter->shown[0].informativeText, details);
        EXPECT_FALSE(presenter->shown[0].informativeText.contains(QLatin1Char('\n')));
        EXPECT_EQ(handler.pathForDeleteEmptyFolders(), QString());
        EXPECT_FALSE(handler.btnScanFolders->isEnabled());
    };
    const auto leads = [](bool byDefault, const QString& from, const QString& to, const QString& folder) {
        return QStringLiteral("“%1” leads to “%2”, in “%3”, which %4.")
            .arg(from, to, folder,
                byDefault ? QStringLiteral("is excluded from scanning by default")
                          : QStringLiteral("you excluded from scanning"));
    };
    // Without a list of its own the cleaner keeps out of the default folders.
    if (QFileInfo(QStringLiteral("/usr/lib")).isDir() && !QFileInfo(QStringLiteral("/usr")).isSymLink())
        refusedWith(tree.path(QStringLiteral("syslib")),
            leads(true, tree.path(QStringLiteral("syslib")), QStringLiteral("/usr/lib"), QStringLiteral("/usr")));

    QStringList excluded { QStringLiteral("/usr"), kept };
    handler.setExclusions([&excluded] { return std::optional(PathExclusionPredicate(excluded)); });
    refusedWith(tree.path(QStringLiteral("to-kept")), leads(false, tree.path(QStringLiteral("to-kept")), kept, kept));
    refusedWith(tree.path(QStringLiteral("chain/empty")),
        leads(false, tree.path(QStringLiteral("chain/empty")), kept + QStringLiteral("/empty"), kept));
    refusedWith(tree.path(QStringLiteral("new\nline")),
        leads(false, printablePath(tree.path(QStringLiteral("new\nline"))), kept, kept));
    refusedWith(kept,
        QStringLiteral("“%1” lies in “%1”, which you excluded from scanning.").arg(kept));

    // The whole tree: the excluded folder is not in it, and stays.
    presenter->shown.clear();
    browseTo(handler, tree.root());
    QTest::mouseClick(handler.btnScanFolders, Qt::LeftButton);
    finishWork();
    EXPECT_TRUE(presenter->shown.empty());
    QStringList names;
    for (const auto& child : handler.folderHierarchy()->subfolders)
        names << child->name;
    EXPECT_EQ(names, QStringList { QStringLiteral("open") });
    expand(QString());
    expand(QStringLiteral("open"));
    EXPECT_EQ(handler.arrOfEmptyFolders(), paths({ "open/empty" }));
    QTest::mouseClick(handler.btnDeleteFolders, Qt::LeftButton);
    finishWork();
    EXPECT_TRUE(exists(QStringLiteral("kept/empty")));
    EXPECT_FALSE(exists(QStringLiteral("open/empty")));

    // Taken, then excluded: Scan refuses it and lists nothing.
    tree.folder(QStringLiteral("open/again"));
    presenter->shown.clear();
    browseTo(handler, tree.path(QStringLiteral("to-open")));
    QTest::qWait(200);
    EXPECT_TRUE(presenter->shown.empty());
    excluded << open;
    QTest::mouseClick(handler.btnScanFolders, Qt::LeftButton);
    finishWork();
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_EQ(presenter->shown[0].informativeText, leads(false, tree.path(QStringLiteral("to-open")), open, open));
    EXPECT_EQ(handler.folderHierarchy(), nullptr);
    EXPECT_TRUE(handler.arrOfEmptyFolders().isEmpty());
    EXPECT_FALSE(handler.btnDeleteFolders->isEnabled());
    EXPECT_TRUE(exists(QStringLiteral("open/again")));
}
