// The results screen's rooms on their own, without the screen around them:
// what each owns answers as the screen relies on.

#include "base/UserDefaults.h"
#include "cleanup/CleanupController.h"
#include "cleanup/ResultAreaViews.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "marking/ResultsState.h"
#include "platform/FileRemover.h"
#include "results/CategoryBar.h"
#include "results/RemovalSteps.h"
#include "results/ResultsLayout.h"
#include "results/ResultsToolbar.h"
#include "results/SelectionPane.h"
#include "scan/ScanSources.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<DuplicateGroupPtr> twoGroups()
{
    std::vector<DuplicateGroupPtr> groups;
    for (const char* stem : { "a", "b" }) {
        auto group = std::make_shared<DuplicateGroup>();
        for (int copy = 1; copy <= 2; ++copy) {
            auto file = std::make_shared<FileInfoNode>();
            file->fileName = QStringLiteral("%1%2.txt").arg(QLatin1String(stem)).arg(copy);
            file->filePath = QStringLiteral("/data/") + *file->fileName;
            file->fileSize = 100;
            addFileToGroup(group, file);
        }
        groups.push_back(group);
    }
    return groups;
}

class ResultsRooms : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(alerts);
        startApplicationCore(defaults);
        host.setAttribute(Qt::WA_DontShowOnScreen);
        host.resize(1000, 700);
    }
    void TearDown() override { setAlertPresenter(nullptr); }
    QAbstractButton* button(const char* objectName) const
    {
        return host.findChild<QAbstractButton*>(QString::fromLatin1(objectName));
    }
    // Delayed work waits here until the test runs it.
    ResultsLater held()
    {
        return [this](int, std::function<void()> work) { pending.push_back(std::move(work)); };
    }
    void runHeld()
    {
        for (auto& work : std::exchange(pending, {}))
            work();
    }

    TempHome home;
    UserDefaults defaults { home.path() + QStringLiteral("/settings") };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    ResultsState state { std::make_shared<ScanSources>(defaults) };
    QWidget host;
    std::vector<std::function<void()>> pending;
};

} // namespace

// Each mode button and each item of the view-mode pop-up asks for its own
// mode; a re-enable older than the last disable never enables the toolbar.
TEST_F(ResultsRooms, ToolbarAsksForEachModeAndOnlyTheNewestReEnableRuns)
{
    std::vector<ResultViewMode> asked;
    ResultsToolbar::Actions actions;
    actions.changeView = [&](ResultViewMode mode) { asked.push_back(mode); };
    int autoMarks = 0;
    actions.autoMark = [&] { ++autoMarks; };
    ResultsToolbar toolbar(std::move(actions), held(), host);
    toolbar.build(&host);
    host.show();
    toolbar.setEnabled(true);
    for (const char* mode : { "btnHierarcheryView", "btnThumbnailView", "btnListView" })
        button(mode)->click();
    // The view-mode pop-up is the first of the toolbar's menus.
    QMenu* viewMenu = host.findChild<QMenu*>();
    ASSERT_NE(viewMenu, nullptr);
    for (QAction* item : viewMenu->actions())
        item->trigger();
    using M = ResultViewMode;
    EXPECT_EQ(asked, (std::vector { M::group, M::grid, M::list, M::list, M::group, M::grid }));

    int enabled = 0;
    toolbar.holdDisabled();
    toolbar.setEnabled(false);
    toolbar.enableLater([&] { enabled += 1; });
    toolbar.holdDisabled();
    toolbar.enableLater([&] { enabled += 10; });
    button("btnAutoMark")->click();
    EXPECT_EQ(autoMarks, 0);
    EXPECT_FALSE(toolbar.isEnabled());
    runHeld();
    EXPECT_EQ(enabled, 10);
}

// A click names its category (-1 for All); the arrow stands under the one
// shown; a list narrower than the row narrows every button alike.
TEST_F(ResultsRooms, CategoryRowNamesItsCategoriesAndNarrowsOverANarrowList)
{
    std::vector<int> chosen;
    CategoryBar bar([&](int category) { chosen.push_back(category); });
    bar.build(&host);
    host.show();
    bar.row()->setGeometry(0, 0, 1000, 48);
    button("btnAllItems")->click();
    button("btnImagesItems")->click();
    button("btnDocumentItems")->click();
    using C = GlobalObjects::FileCategory;
    EXPECT_EQ(chosen, (std::vector { -1, int(C::Pic), int(C::Doc) }));

    bar.highlight(int(C::Pic));
    EXPECT_EQ(bar.highlighted(), int(C::Pic));
    for (QWidget* arrow : bar.row()->findChildren<QWidget*>()) {
        if (arrow->objectName().startsWith(QLatin1String("arrow"))) {
            EXPECT_EQ(arrow->isVisibleTo(&host), arrow->objectName() == QLatin1String("arrowImages"))
                << arrow->objectName().toStdString();
        }
    }

    FrameTable frames;
    for (int i = 0; i < 7; ++i)
        frames[QString::fromLatin1(resultsCategoryRowOrder[i])] = { 3 + i * 128.0, 8, 120, 34 };
    bar.fit(frames, &host, QPoint(2000, 0));
    EXPECT_EQ(button("btnOtherItems")->geometry().right(), 3 + 6 * 128 + 119);
    bar.fit(frames, &host, QPoint(600, 0));
    const QRect first = button("btnAllItems")->geometry();
    const QRect last = button("btnOtherItems")->geometry();
    EXPECT_LE(last.right(), 600 - 3);
    EXPECT_EQ(first.left(), 3);
    EXPECT_LT(first.width(), 120);
    EXPECT_NEAR(last.width(), first.width(), 1);
    // The gaps between the buttons stay as laid out.
    EXPECT_NEAR(button("btnImagesItems")->geometry().left() - first.right(), 9, 1);
}

// The last chosen file is given back only while it still stands where it was
// chosen; a new set of shown groups or no selection gives none.
TEST_F(ResultsRooms, SelectionPaneGivesBackTheLastChosenFileOnlyWhereItWasChosen)
{
    state.loadResultSet(twoGroups(), 2, ScanSource::thisComputer);
    SelectionPane pane(state, host);
    pane.build(&host);
    host.show();
    const FileInfoNodePtr first = state.arrGroups[0]->filterChildren[1];
    const FileInfoNodePtr second = state.arrGroups[1]->filterChildren[0];
    pane.showFile(first);
    pane.showFile(second);
    EXPECT_EQ(pane.lastSelectedFileNode(), second);
    EXPECT_EQ(pane.lblSelectedFilePath()->text(), *second->filePath);
    EXPECT_TRUE(pane.imgFolderPath()->isVisibleTo(&host));
    // A file outside the shown groups is shown but not remembered.
    auto stray = std::make_shared<FileInfoNode>();
    stray->filePath = QStringLiteral("/elsewhere/c.txt");
    pane.showFile(stray);
    EXPECT_EQ(pane.lastSelectedFileNode(), second);

    std::swap(state.arrGroups[1]->filterChildren[0], state.arrGroups[1]->filterChildren[1]);
    EXPECT_EQ(pane.lastSelectedFileNode(), nullptr);
    std::swap(state.arrGroups[1]->filterChildren[0], state.arrGroups[1]->filterChildren[1]);
    EXPECT_EQ(pane.lastSelectedFileNode(), second);
    pane.showNoFile();
    EXPECT_EQ(pane.lastSelectedFileNode(), nullptr);
    EXPECT_TRUE(pane.lblSelectedFilePath()->text().isEmpty());
    EXPECT_FALSE(pane.imgFolderPath()->isVisibleTo(&host));
}

// Remove waits for the toolbar, a running undo and a mark; the stand-in views
// take the screen below the toolbar, and a category the clean-up emptied is
// remembered until the next result set.
TEST_F(ResultsRooms, RemovalStepsEnableRemoveAndShowWhatStandsInForTheList)
{
    state.loadResultSet(twoGroups(), 2, ScanSource::thisComputer);
    RemovalSteps removal(state, defaults, std::make_shared<FaultyFileRemover>(), host);
    bool toolbarEnabled = true;
    bool undoShown = false;
    RemovalSteps::Hooks hooks;
    hooks.isToolbarEnabled = [&] { return toolbarEnabled; };
    hooks.undoRunningChanged = [&](bool running) { undoShown = running; };
    int removes = 0;
    hooks.removeMarked = [&] { ++removes; };
    removal.setHooks(std::move(hooks));
    removal.buildResultAreaViews();
    removal.buildDeleteLink(&host);
    removal.buildTrashButton(&host);
    removal.connectCleanup();
    host.show();

    IMGButton* trash = removal.trashButton();
    removal.showMarked(false);
    EXPECT_FALSE(trash->isEnabled());
    state.fileCheckBoxTapped(state.arrGroups[0]->filterChildren[0]);
    ASSERT_EQ(state.countMarked(), 1);
    removal.showMarked(true);
    EXPECT_TRUE(trash->isEnabled());
    trash->click();
    button("btnDeleteLink")->click();
    EXPECT_EQ(removes, 2);
    toolbarEnabled = false;
    removal.setToolbarEnabled(false);
    EXPECT_FALSE(trash->isEnabled());
    EXPECT_FALSE(button("btnDeleteLink")->isEnabled());
    toolbarEnabled = true;
    removal.setToolbarEnabled(true);
    emit removal.cleanup().undoRunningChanged(true);
    EXPECT_TRUE(undoShown);
    EXPECT_FALSE(trash->isEnabled());
    emit removal.cleanup().undoRunningChanged(false);
    EXPECT_TRUE(trash->isEnabled());

    QWidget* success = host.findChild<QWidget*>(QStringLiteral("viewSucccess"));
    QWidget* nothing = host.findChild<QWidget*>(QStringLiteral("viewNoDuplicateFound"));
    EXPECT_FALSE(removal.showArea(ResultArea::allRemoved, 112));
    EXPECT_TRUE(success->isVisibleTo(&host));
    EXPECT_EQ(success->geometry(), QRect(0, 112, 1000, 700 - 112));
    EXPECT_TRUE(removal.showArea(ResultArea::emptyCategory, 112));
    EXPECT_FALSE(success->isVisibleTo(&host));
    EXPECT_TRUE(removal.categoryEmptiedByCleanup());
    removal.showNothingFound(80);
    EXPECT_TRUE(nothing->isVisibleTo(&host));
    EXPECT_EQ(nothing->geometry().top(), 80);
    removal.resultSetLoaded();
    EXPECT_FALSE(nothing->isVisibleTo(&host));
    EXPECT_FALSE(removal.categoryEmptiedByCleanup());
}
