// Where the keyboard's focus goes on the two screens as main() builds them:
// back on the home screen after Back, on the sheets' default buttons, along
// the controls in the order they are drawn, and the grid's focused item kept
// in view. Every step is a key press on the real widgets.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/TrashSheets.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/MyCollectionView.h"
#include "home/MainViewController.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/ResultsState.h"
#include "results/PreviewPane.h"
#include "results/ResultViewController.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "support/ResultsRows.h"
#include "support/TabReach.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/UserClicks.h"
#include "support/WaitUntil.h"

#include "KeyDriving.h"
#include "RoadHelpers.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Every Return or Enter the application delivers, and to whom.
class EnterSpy : public QObject {
public:
    EnterSpy() { qApp->installEventFilter(this); }
    ~EnterSpy() override { qApp->removeEventFilter(this); }
    std::vector<QPointer<QWidget>> receivers;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                receivers.emplace_back(static_cast<QWidget*>(watched));
        }
        return false;
    }
};

class KeyboardOnScreens : public ::testing::Test {
protected:
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    TreeBuilder tree;
    std::unique_ptr<AppComposition> program;
    QMainWindow* window = nullptr;
    KeyDriver keys;

    void SetUp() override
    {
        program = std::make_unique<AppComposition>(defaults);
        window = keys.launch(*program);
        ASSERT_TRUE(window);
    }

    MainViewController& homeScreen() { return program->home(); }
    ResultViewController& results() { return program->results(); }

    // groups pairs of equal files, scanned from the home screen; the results
    // come with the scan-complete sheet open.
    void scanToResults(int groups)
    {
        for (int g = 0; g < groups; ++g) {
            const QByteArray bytes = QByteArray("copy ") + QByteArray::number(g) + '\n';
            tree.file(QStringLiteral("one/file %1.txt").arg(g), bytes);
            tree.file(QStringLiteral("two/file %1.txt").arg(g), bytes);
        }
        homeScreen().handleFileDragDropNotification({ tree.root() });
        homeScreen().scanNowButton()->click();
        ASSERT_TRUE(waitUntil([&] { return results().isVisible(); }, 30000));
        ASSERT_TRUE(waitUntil([&] { return results().autoMarkSheets().windowScanComplete->isVisible(); }));
    }

    // The scan-complete sheet closed as the mouse closes it.
    void selectManuallyByMouse()
    {
        IMGButton* manually = results().autoMarkSheets().btnSelectManually;
        QTest::mouseClick(manually, Qt::LeftButton, {}, manually->rect().center());
        ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
        ASSERT_TRUE(waitUntil([&] { return results().isResultToolbarEnabled(); }));
        keys.target();
    }
};

} // namespace

// Back by key is on the keyboard road; by mouse, the focus lands on the home
// screen as well, and Tab and Shift+Tab move from it and back.
TEST_F(KeyboardOnScreens, AfterBackByMouseTabMovesOnTheHomeScreen)
{
    scanToResults(2);
    selectManuallyByMouse();
    ASSERT_TRUE(results().isAncestorOf(QApplication::focusWidget()));
    auto* back = results().findChild<QAbstractButton*>(QStringLiteral("btnBackToFooter"));
    QTest::mouseClick(back, Qt::LeftButton, {}, back->rect().center());
    ASSERT_TRUE(waitUntil([&] { return !results().isVisible(); }));

    QWidget* landed = QApplication::focusWidget();
    ASSERT_TRUE(landed && homeScreen().isAncestorOf(landed) && landed->isVisible()) << describeWidget(landed).toStdString();
    keys.press(Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    EXPECT_NE(next, landed) << "Tab did not move";
    EXPECT_TRUE(next && homeScreen().isAncestorOf(next) && next->isVisible()) << describeWidget(next).toStdString();
    keys.press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), landed) << describeWidget(QApplication::focusWidget()).toStdString();
}

// The keyboard road sees each sheet open on its default button and Return
// press it; here Return reaches nothing behind the sheet on its way.
TEST_F(KeyboardOnScreens, EnterOnASheetReachesNothingBehindIt)
{
    const auto returnClosesOnly = [&](CustomWindowNag* sheet, QWidget* defaultButton) {
        ASSERT_TRUE(waitUntil([sheet] { return sheet->isVisible() && sheet->isActiveWindow(); }));
        EXPECT_EQ(QApplication::focusWidget(), defaultButton) << describeWidget(QApplication::focusWidget()).toStdString();
        EnterSpy spy;
        keys.press(Qt::Key_Return);
        ASSERT_TRUE(waitUntil([sheet] { return !sheet->isVisible(); }, 2000)) << "Enter did not close the sheet";
        for (const QPointer<QWidget>& receiver : spy.receivers)
            EXPECT_TRUE(receiver && receiver->window() == sheet) << describeWidget(receiver).toStdString();
    };
    scanToResults(2);
    returnClosesOnly(results().autoMarkSheets().windowScanComplete, results().autoMarkSheets().btnSelectManually);
    EXPECT_EQ(results().state().countMarked(), 0);
    ASSERT_TRUE(waitUntil([&] { return results().isResultToolbarEnabled(); }));

    // A row marked by Space, Remove by Enter and its question answered by
    // Enter; then the after-clean sheet.
    ASSERT_TRUE(keys.tabTo(results().tblDuplicates()));
    keys.press(Qt::Key_Down);
    keys.press(Qt::Key_Space);
    ASSERT_EQ(results().state().countMarked(), 1);
    ASSERT_TRUE(keys.tabToNamed("btnTrash"));
    keys.press(Qt::Key_Return);
    QAbstractButton* trash = titled("ID_TRASH");
    ASSERT_TRUE(trash && waitUntil([trash] { return trash->window()->isActiveWindow(); }));
    keys.press(Qt::Key_Return);
    returnClosesOnly(results().afterCleanSheets().windowAfterClean(), results().afterCleanSheets().btnOkTrash);
    EXPECT_TRUE(results().isVisible());
    EXPECT_FALSE(sheetOpen());
}

// A clean-up in which a file stayed, its window closed by a mouse click on
// OK: the next after-clean window opens on OK all the same, and Return
// leaves the user on the results.
TEST_F(KeyboardOnScreens, ReturnOnTheNextAfterCleanWindowPressesOkHoweverTheLastClosed)
{
    scanToResults(3);
    selectManuallyByMouse();
    CustomTableView* table = results().tblDuplicates();
    const auto rowOf = [&](const FileInfoNodePtr& file) {
        for (int row = 0; row < results().listModel().rowCount(); ++row) {
            if (results().model().fileOfListRow(row) == file)
                return row;
        }
        return -1;
    };
    const auto clickMark = [&](const FileInfoNodePtr& file) {
        const int row = rowOf(file);
        ASSERT_GE(row, 0);
        clickCheckBox(*table, results().listModel().index(row, ResultsModel::checkColumn));
    };
    const auto removeByMouse = [&] {
        click(results().findChild<QAbstractButton*>(QStringLiteral("btnTrash")));
        click(results().trashSheets().btnTrashOnReview);
        ASSERT_TRUE(waitUntil([&] { return results().afterCleanSheets().windowAfterClean()->isActiveWindow(); }));
    };
    const std::vector<DuplicateGroupPtr> groups = results().state().arrGroups;
    ASSERT_EQ(groups.size(), 3u);
    const FileInfoNodePtr changed = groups[0]->filterChildren[1];
    clickMark(changed);
    clickMark(groups[1]->filterChildren[1]);
    ASSERT_EQ(results().state().countMarked(), 2);
    // Saved again since the scan: the clean-up leaves it where it is.
    QFile file(*changed->filePath);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("saved again\n");
    file.close();

    AfterCleanSheets& sheets = results().afterCleanSheets();
    removeByMouse();
    ASSERT_TRUE(sheets.txtNotRemoved->isVisible());
    QTest::mouseClick(sheets.btnOkTrash, Qt::LeftButton, {}, sheets.btnOkTrash->rect().center());
    ASSERT_TRUE(waitUntil([&] { return !sheets.windowAfterClean()->isVisible(); }));
    ASSERT_TRUE(results().isVisible());
    keys.target();

    // The file that stayed unmarked, a file of the last group marked: this
    // run removes all it tries.
    clickMark(changed);
    clickMark(groups[2]->filterChildren[1]);
    ASSERT_EQ(results().state().countMarked(), 1);
    removeByMouse();
    ASSERT_FALSE(sheets.txtNotRemoved->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), sheets.btnOkTrash) << describeWidget(QApplication::focusWidget()).toStdString();
    keys.press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !sheets.windowAfterClean()->isVisible(); }));
    QTest::qWait(100);
    EXPECT_TRUE(results().isVisible()) << "Return left the results";
}

// However the scan-complete sheet closes (Return, Escape, its button), the
// list takes the keys with its first row current and none chosen: the pane
// shows the pie and the summary until a row is chosen.
TEST_F(KeyboardOnScreens, TheScanCompleteSheetClosedLeavesThePaneOnThePie)
{
    scanToResults(2);
    const std::function<void()> closings[] = { [&] { keys.press(Qt::Key_Return); },
        [&] { keys.press(Qt::Key_Escape); }, [&] { click(results().autoMarkSheets().btnSelectManually); } };
    PreviewPane& pane = results().previewPane();
    CustomTableView* list = results().tblDuplicates();
    for (const std::function<void()>& close : closings) {
        CustomWindowNag* sheet = results().autoMarkSheets().windowScanComplete;
        ASSERT_TRUE(waitUntil([sheet] { return sheet->isActiveWindow(); }));
        close();
        ASSERT_TRUE(waitUntil([sheet] { return !sheet->isVisible(); }));
        keys.target();
        ASSERT_TRUE(waitUntil([list] { return list->hasFocus(); }));
        QApplication::processEvents();
        EXPECT_TRUE(list->currentIndex().isValid());
        EXPECT_TRUE(pane.metaInfoView()->isHidden() && !pane.graphView()->isHidden());
        keys.press(Qt::Key_Down);
        EXPECT_TRUE(waitUntil([&] { return !pane.metaInfoView()->isHidden(); }));
        // Back home and the same scan again, with its sheet.
        click(results().findChild<QAbstractButton*>(QStringLiteral("btnBackToFooter")));
        homeScreen().scanNowButton()->click();
        ASSERT_TRUE(waitUntil([&] { return results().autoMarkSheets().windowScanComplete->isVisible(); }, 30000));
    }
}

// The scan-complete sheet opens on its default choice; Tab goes between its
// two choices as they stand, and each shows that it has the focus.
TEST_F(KeyboardOnScreens, TabGoesRoundTheScanCompleteSheetAsDrawnAndEachStopShowsIt)
{
    scanToResults(2);
    CustomWindowNag* sheet = results().autoMarkSheets().windowScanComplete;
    ASSERT_TRUE(waitUntil([sheet] { return sheet->isActiveWindow(); }));
    ASSERT_EQ(QApplication::focusWidget(), results().autoMarkSheets().btnSelectManually);
    expectTabGoesRoundAsDrawn(*sheet);
    EXPECT_EQ(QApplication::focusWidget(), results().autoMarkSheets().btnSelectManually);
}

TEST_F(KeyboardOnScreens, TabFollowsTheResultsToolbarAndCategoriesAsTheyAreDrawn)
{
    scanToResults(2);
    selectManuallyByMouse();
    QWidget* toolbar = results().findChild<QWidget*>(QStringLiteral("boxHeaderDetail"));
    QWidget* categories = results().findChild<QWidget*>(QStringLiteral("boxCategories"));
    ASSERT_TRUE(toolbar && categories);

    // From the header's Back round the screen to it again, by Tab.
    ASSERT_TRUE(keys.tabToNamed("btnBack"));
    std::vector<QWidget*> stops;
    for (int i = 0; i < 60; ++i) {
        keys.press(Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        if (!focus || focus->objectName() == QLatin1String("btnBack"))
            break;
        stops.push_back(focus);
    }
    for (QWidget* row : { toolbar, categories }) {
        SCOPED_TRACE(row->objectName().toStdString());
        std::vector<QWidget*> reached;
        std::ranges::copy_if(stops, std::back_inserter(reached), [row](QWidget* w) { return row->isAncestorOf(w); });
        // Each row's buttons follow one another, left to right as drawn.
        ASSERT_FALSE(reached.empty());
        const auto first = std::ranges::find(stops, reached.front());
        EXPECT_TRUE(std::equal(reached.begin(), reached.end(), first)) << "the row's stops are not together";
        std::vector<QWidget*> drawn = reached;
        std::ranges::stable_sort(drawn, {}, [row](QWidget* w) { return w->mapTo(row, QPoint()).x(); });
        EXPECT_EQ(reached, drawn) << "the row's stops are not in the order drawn";
        // Every button the row shows enabled is a stop.
        for (QAbstractButton* button : row->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && button->isEnabled()) {
                EXPECT_TRUE(std::ranges::count(reached, button)) << button->objectName().toStdString();
            }
        }
    }
}

// The keyboard road tabs from Add to the Exclude and Protect shortcuts; each
// opens the folder chooser on Space or Enter, which Escape closes again with
// the focus back on the shortcut.
TEST_F(KeyboardOnScreens, TheExcludeAndProtectShortcutsActOnSpaceOrEnter)
{
    for (const Qt::Key key : { Qt::Key_Space, Qt::Key_Return }) {
        for (const char* name : { "boxRightExclude", "boxRightProtected" }) {
            SCOPED_TRACE(name);
            QWidget* shortcut = homeScreen().findChild<QWidget*>(QString::fromLatin1(name));
            ASSERT_TRUE(shortcut);
            shortcut->setFocus(Qt::TabFocusReason);
            keys.press(key);
            ASSERT_TRUE(waitUntil([] { return visible<QFileDialog>() && visible<QFileDialog>()->isActiveWindow(); }))
                << key;
            keys.press(Qt::Key_Escape);
            ASSERT_TRUE(waitUntil([] { return !visible<QFileDialog>(); }));
            EXPECT_TRUE(waitUntil(
                [&] {
                    keys.target();
                    return QApplication::focusWidget() == shortcut;
                },
                2000))
                << describeWidget(QApplication::focusWidget()).toStdString();
        }
    }
}

TEST_F(KeyboardOnScreens, TheGridKeepsItsFocusedItemInView)
{
    scanToResults(12);
    selectManuallyByMouse();
    ASSERT_TRUE(keys.tabToNamed("btnThumbnailView"));
    keys.press(Qt::Key_Space);
    MyCollectionView* grid = results().collDuplicates();
    ASSERT_TRUE(waitUntil([grid] { return grid->isVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return results().isResultToolbarEnabled(); }));
    // Scrolled down as the wheel scrolls it, then reached by Tab: the focus
    // starts on an item in view.
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
    const int scrolled = grid->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    ASSERT_TRUE(keys.tabTo(grid));
    // At most the rest of the item it starts on comes into view.
    EXPECT_LE(std::abs(grid->verticalScrollBar()->value() - scrolled), grid->itemSize().height())
        << "the grid moved under the user";

    const auto currentInView = [grid] {
        const std::optional<IndexPath> current = grid->indexPath(grid->selectionModel()->currentIndex());
        if (!current)
            return false;
        const QRect frame = grid->itemFrame(*current).translated(0, -grid->verticalScrollBar()->value());
        return grid->viewport()->rect().contains(frame);
    };
    ASSERT_TRUE(currentInView());
    // Down past a mark (the road goes down the groups), then pages, End and
    // Home: the focused item moves with the view.
    for (int i = 0; i < 6; ++i)
        keys.press(Qt::Key_Down);
    keys.press(Qt::Key_Space);
    EXPECT_TRUE(waitUntil(currentInView, 1000)) << "after the mark";
    for (const Qt::Key key : { Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_End, Qt::Key_PageUp, Qt::Key_Home }) {
        const int before = grid->verticalScrollBar()->value();
        keys.press(key);
        EXPECT_TRUE(currentInView()) << "after key " << key << " from " << before;
    }
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
    // A narrower window lays the items out anew; the focused one stays.
    keys.press(Qt::Key_PageDown);
    window->resize(window->minimumSize());
    QCoreApplication::processEvents();
    EXPECT_TRUE(waitUntil(currentInView, 1000)) << "after the window shrank";
}
