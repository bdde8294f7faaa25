// Where the keyboard's focus goes on the two screens as main() builds them:
// back on the home screen after Back, on the sheets' default buttons, along
// the controls in the order they are drawn, and the grid's focused item kept
// in view. Every step is a key press on the real widgets.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "cleanup/AfterCleanSheets.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/MyCollectionView.h"
#include "home/MainViewController.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/ResultsState.h"
#include "results/ResultViewController.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/WaitUntil.h"

#include "KeyDriving.h"
#include "RoadHelpers.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QMainWindow>
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
        scanAgain();
    }
    void scanAgain()
    {
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

    QAbstractButton* resultsButton(const char* name)
    {
        return results().findChild<QAbstractButton*>(QString::fromLatin1(name));
    }
};

} // namespace

TEST_F(KeyboardOnScreens, AfterBackByKeyOrByMouseTabMovesOnTheHomeScreen)
{
    scanToResults(2);
    selectManuallyByMouse();
    for (const bool byKey : { true, false }) {
        SCOPED_TRACE(byKey ? "Back by key" : "Back by mouse");
        if (!results().isVisible()) {
            scanAgain();
            selectManuallyByMouse();
        }
        ASSERT_TRUE(results().isAncestorOf(QApplication::focusWidget()));
        if (byKey) {
            ASSERT_TRUE(keys.tabToNamed("btnBack"));
            keys.press(Qt::Key_Space);
        } else {
            QAbstractButton* back = resultsButton("btnBackToFooter");
            QTest::mouseClick(back, Qt::LeftButton, {}, back->rect().center());
        }
        ASSERT_TRUE(waitUntil([&] { return !results().isVisible(); }));

        QWidget* landed = QApplication::focusWidget();
        ASSERT_TRUE(landed) << "no control has the focus";
        EXPECT_TRUE(homeScreen().isAncestorOf(landed) && landed->isVisible()) << describeWidget(landed).toStdString();
        keys.press(Qt::Key_Tab);
        QWidget* next = QApplication::focusWidget();
        EXPECT_NE(next, landed) << "Tab did not move";
        EXPECT_TRUE(next && homeScreen().isAncestorOf(next) && next->isVisible()) << describeWidget(next).toStdString();
        keys.press(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), landed) << describeWidget(QApplication::focusWidget()).toStdString();
    }
}

TEST_F(KeyboardOnScreens, EnterPressesTheSheetsDefaultButtonAndNothingBehindIt)
{
    scanToResults(2);
    CustomWindowNag* complete = results().autoMarkSheets().windowScanComplete;
    ASSERT_TRUE(waitUntil([complete] { return complete->isActiveWindow(); }));
    // The sheet opens on its default button: Select Manually, which marks
    // nothing.
    EXPECT_EQ(QApplication::focusWidget(), results().autoMarkSheets().btnSelectManually)
        << describeWidget(QApplication::focusWidget()).toStdString();
    {
        EnterSpy spy;
        keys.press(Qt::Key_Return);
        ASSERT_TRUE(waitUntil([complete] { return !complete->isVisible(); }, 2000)) << "Enter did not close the sheet";
        for (const QPointer<QWidget>& receiver : spy.receivers)
            EXPECT_TRUE(receiver && receiver->window() == complete) << describeWidget(receiver).toStdString();
    }
    EXPECT_EQ(results().state().countMarked(), 0);
    ASSERT_TRUE(waitUntil([&] { return results().isResultToolbarEnabled(); }));

    // A row marked by Space, Remove by Enter and its question answered by
    // Enter; the after-clean sheet then opens on OK, and Enter closes it
    // without reaching Remove or Back behind it.
    CustomTableView* list = results().tblDuplicates();
    ASSERT_TRUE(keys.tabTo(list));
    keys.press(Qt::Key_Down);
    keys.press(Qt::Key_Space);
    ASSERT_EQ(results().state().countMarked(), 1);
    ASSERT_TRUE(keys.tabToNamed("btnTrash"));
    keys.press(Qt::Key_Return);
    QAbstractButton* trash = titled("ID_TRASH");
    ASSERT_TRUE(trash && waitUntil([trash] { return trash->window()->isActiveWindow(); }));
    keys.press(Qt::Key_Return);
    CustomWindowNag* afterClean = results().afterCleanSheets().windowAfterClean();
    ASSERT_TRUE(waitUntil([afterClean] { return afterClean->isVisible() && afterClean->isActiveWindow(); }));
    EXPECT_EQ(QApplication::focusWidget(), results().afterCleanSheets().btnOkTrash)
        << describeWidget(QApplication::focusWidget()).toStdString();
    {
        EnterSpy spy;
        keys.press(Qt::Key_Return);
        ASSERT_TRUE(waitUntil([afterClean] { return !afterClean->isVisible(); }, 2000))
            << "Enter did not close the sheet";
        for (const QPointer<QWidget>& receiver : spy.receivers)
            EXPECT_TRUE(receiver && receiver->window() == afterClean) << describeWidget(receiver).toStdString();
    }
    EXPECT_TRUE(results().isVisible());
    EXPECT_FALSE(sheetOpen());
    // Nothing is marked now, Remove is off: the keys are back in the list.
    keys.target();
    EXPECT_EQ(QApplication::focusWidget(), list) << describeWidget(QApplication::focusWidget()).toStdString();
}

TEST_F(KeyboardOnScreens, TabFollowsTheResultsToolbarAndCategoriesAsTheyAreDrawn)
{
    scanToResults(2);
    selectManuallyByMouse();
    QWidget* toolbar = results().findChild<QWidget*>(QStringLiteral("boxHeaderDetail"));
    QWidget* categories = results().findChild<QWidget*>(QStringLiteral("boxCategories"));
    ASSERT_TRUE(toolbar && categories);
    const auto inRow = [](QWidget* row, QWidget* w) { return row->isAncestorOf(w); };

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
        std::ranges::copy_if(stops, std::back_inserter(reached), [&](QWidget* w) { return inRow(row, w); });
        // Each row's buttons follow one another, left to right as drawn.
        ASSERT_FALSE(reached.empty());
        const auto first = std::ranges::find(stops, reached.front());
        EXPECT_TRUE(std::equal(reached.begin(), reached.end(), first)) << "the row's stops are not together";
        std::vector<QWidget*> drawn = reached;
        std::ranges::stable_sort(drawn, {}, [row](QWidget* w) { return w->mapTo(row, QPoint()).x(); });
        QStringList expected, got;
        for (QWidget* w : drawn)
            expected << w->objectName();
        for (QWidget* w : reached)
            got << w->objectName();
        EXPECT_EQ(got.join(QLatin1Char(' ')).toStdString(), expected.join(QLatin1Char(' ')).toStdString());
        // Every button the row shows enabled is a stop.
        for (QAbstractButton* button : row->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && button->isEnabled()) {
                EXPECT_TRUE(std::ranges::count(reached, button)) << button->objectName().toStdString();
            }
        }
    }
}

TEST_F(KeyboardOnScreens, TheExcludeAndProtectShortcutsFollowAddAndActOnSpaceOrEnter)
{
    QWidget* exclude = homeScreen().findChild<QWidget*>(QStringLiteral("boxRightExclude"));
    QWidget* protect = homeScreen().findChild<QWidget*>(QStringLiteral("boxRightProtected"));
    ASSERT_TRUE(exclude && protect);
    ASSERT_TRUE(keys.tabToNamed("btnAddPath"));
    keys.press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), exclude) << describeWidget(QApplication::focusWidget()).toStdString();
    keys.press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), protect) << describeWidget(QApplication::focusWidget()).toStdString();
    keys.press(Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), exclude);

    // Each opens the folder chooser, which Escape closes again with the
    // focus back on the shortcut.
    for (const Qt::Key key : { Qt::Key_Space, Qt::Key_Return }) {
        for (QWidget* shortcut : { exclude, protect }) {
            SCOPED_TRACE(shortcut->objectName().toStdString());
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
    // Down through every group, then up again, a mark on the way.
    int moves = 0;
    for (const Qt::Key key : { Qt::Key_Down, Qt::Key_Up }) {
        for (int i = 0; i < 12; ++i) {
            keys.press(key);
            ++moves;
            EXPECT_TRUE(currentInView()) << "after move " << moves;
            if (i == 6) {
                keys.press(Qt::Key_Space);
                EXPECT_TRUE(waitUntil(currentInView, 1000)) << "after the mark at move " << moves;
            }
        }
    }
    // Pages down and up move the focused item with the view.
    for (const Qt::Key key : { Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_End, Qt::Key_PageUp, Qt::Key_Home }) {
        const int before = grid->verticalScrollBar()->value();
        keys.press(key);
        EXPECT_TRUE(currentInView()) << "after key " << key << " from " << before;
    }
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
    // A narrower window lays the items out anew; the focused one stays.
    for (int i = 0; i < 5; ++i)
        keys.press(Qt::Key_Down);
    window->resize(window->minimumSize());
    QCoreApplication::processEvents();
    EXPECT_TRUE(waitUntil(currentInView, 1000)) << "after the window shrank";
}
