// The roads without the mouse: the program as main() builds it, driven by
// Tab, Shift+Tab, the arrows, Space, Return, the Menu key, F10 and Ctrl+Tab
// only: from adding a folder through the folder chooser to Undo, and over
// both screens, their sheets, the preferences and the menus to Back. With
// VELLICOR_ROAD_SHOTS set (scripts/road), the screens on the way are saved
// there as well.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/IMGButton.h"
#include "controls/MyCollectionView.h"
#include "core/Localization.h"
#include "home/MainViewController.h"
#include "marking/ResultsState.h"
#include "results/ResultViewController.h"
#include "results/ResultsModel.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/WaitUntil.h"

#include "KeyDriving.h"
#include "RoadHelpers.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

KeyDriver keys;

void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    keys.press(key, modifiers);
}

QWidget* tabTo(const std::function<bool(QWidget*)>& wanted, bool backwards = false)
{
    return keys.tabTo(wanted, backwards);
}

QWidget* tabToNamed(const char* objectName, bool backwards = false)
{
    return keys.tabToNamed(objectName, backwards);
}

// The sheet's button titled by a language key, reached by Tab and pressed by
// Space.
void pressTitled(const char* key)
{
    SCOPED_TRACE(key);
    QAbstractButton* button = titled(key);
    ASSERT_TRUE(button);
    ASSERT_TRUE(waitUntil([button] { return button->window()->isActiveWindow(); }));
    ASSERT_TRUE(tabTo([button](QWidget* w) { return w == button; })) << key;
    press(Qt::Key_Space);
}

// The folder chooser opened by Space on Add, a path typed where the focus is
// led, Return.
void addFolderByKeys(const QString& folder)
{
    ASSERT_TRUE(tabToNamed("btnAddPath"));
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([] { return visible<QFileDialog>() && visible<QFileDialog>()->isActiveWindow(); }));
    auto* nameField = qobject_cast<QLineEdit*>(tabToNamed("fileNameEdit"));
    ASSERT_TRUE(nameField);
    nameField->selectAll();
    QTest::keyClick(nameField, Qt::Key_Delete);
    QTest::keyClicks(nameField, folder);
    // The first Return may only take the completion the line offers.
    for (int i = 0; i < 3 && visible<QFileDialog>(); ++i) {
        press(Qt::Key_Return);
        waitUntil([] { return !visible<QFileDialog>(); }, 1000);
    }
    ASSERT_FALSE(visible<QFileDialog>());
}

QString pathOfRow(const QAbstractItemModel& list, int row)
{
    return list.index(row, 0).data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath)).toString();
}

bool isMarked(const QAbstractItemModel& list, int row)
{
    return list.index(row, 0).data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox)).toInt() == 1;
}

} // namespace

TEST(Road, ByKeyboardFromAddingAFolderToUndo)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    TreeBuilder tree;
    tree.file("Photos/beach.png", picture(Qt::red));
    tree.file("Photos/notes.txt", "minutes of the meeting\n");
    tree.file("Photos/only-here.txt", "unique one");
    tree.file("Photos/Backup/beach copy.png", picture(Qt::red));
    tree.file("Photos/Backup/notes.txt", "minutes of the meeting\n");
    const Files before = filesUnder(tree.root());

    AppComposition program(defaults);
    QMainWindow* window = keys.launch(program);
    ASSERT_TRUE(window);
    MainViewController& homeScreen = program.home();
    ResultViewController& results = program.results();

    addFolderByKeys(tree.path("Photos"));
    auto* includes = homeScreen.findChild<CustomTableView*>(QStringLiteral("tblInclude"));
    ASSERT_TRUE(includes);
    ASSERT_EQ(includes->model()->rowCount(), 1);

    // Through the folder table and out of it again, both ways, to Scan Now.
    ASSERT_TRUE(tabTo([includes](QWidget* w) { return w == includes; }));
    shot(window, QStringLiteral("kb-01-folder-table-focused"));
    QWidget* scanNow = homeScreen.scanNowButton();
    ASSERT_TRUE(tabTo([scanNow](QWidget* w) { return w == scanNow; }));
    ASSERT_TRUE(tabTo([includes](QWidget* w) { return w == includes; }, true));
    ASSERT_TRUE(tabTo([scanNow](QWidget* w) { return w == scanNow; }));
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    pressTitled("ID_SELECT_MANUALLY");

    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));

    // In the list: the rows of the Backup folder marked by Space, each
    // reached with the arrows.
    CustomTableView* list = results.tblDuplicates();
    const QAbstractItemModel& rows = *list->model();
    ASSERT_EQ(rows.rowCount(), 4);
    ASSERT_TRUE(tabTo([list](QWidget* w) { return w == list; }));
    std::set<QString> toRemove;
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (row > 0)
            press(Qt::Key_Down);
        ASSERT_EQ(list->currentIndex().row(), row);
        if (pathOfRow(rows, row).contains(QStringLiteral("/Backup/"))) {
            press(Qt::Key_Space);
            EXPECT_TRUE(isMarked(rows, row)) << pathOfRow(rows, row).toStdString();
            toRemove.insert(pathOfRow(rows, row));
        }
    }
    ASSERT_EQ(toRemove.size(), 2u);
    shot(window, QStringLiteral("kb-02-marked-by-space"));

    // The Menu key opens the row's context menu where the row is; Escape
    // closes it and leaves the focus in the list.
    press(Qt::Key_Menu);
    ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    const QRect row = list->visualRect(list->currentIndex());
    EXPECT_TRUE(menu->geometry().contains(list->viewport()->mapToGlobal(row.bottomLeft()) + QPoint(30, 4)))
        << "menu at " << menu->geometry().x() << "," << menu->geometry().y();
    shot(window, QStringLiteral("kb-03-context-menu"));
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([] { return !QApplication::activePopupWidget(); }));
    ASSERT_TRUE(waitUntil([list] { return list->hasFocus(); }));

    // Each view by its toolbar button, the window maximised: the list's name
    // and folder columns take the room, and the grid heads every group in
    // view.
    const QRect normal = window->geometry();
    window->showMaximized();
    // Without a window manager to do it, the window takes the screen itself.
    if (!waitUntil([&] { return window->width() >= window->screen()->availableGeometry().width() - 20; }, 2000))
        window->setGeometry(window->screen()->availableGeometry());
    const bool large = window->screen()->availableGeometry().width() >= 1600;
    ASSERT_TRUE(waitUntil([&] { return !large || results.width() > 1500; }));
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));
    shot(window, QStringLiteral("kb-04-maximised-list"));
    const int nameWidth = list->columnWidth(ResultsModel::nameColumn);
    const int folderWidth = list->columnWidth(ResultsModel::folderColumn);
    if (large) {
        EXPECT_GT(nameWidth, 300);
        EXPECT_GT(folderWidth, 300);
    }
    EXPECT_GE(list->horizontalHeader()->length(), list->viewport()->width() - 1);
    ASSERT_TRUE(tabToNamed("btnHierarcheryView", true));
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return results.outlineDuplicates()->isVisible(); }));
    results.outlineDuplicates()->expandAll();
    shot(window, QStringLiteral("kb-05-maximised-groups"));
    ASSERT_TRUE(tabToNamed("btnThumbnailView"));
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return results.collDuplicates()->isVisible(); }));
    EXPECT_TRUE(waitUntil([&] { return everyItemInViewHasItsPicture(results); }));
    shot(window, QStringLiteral("kb-06-maximised-grid"));
    ASSERT_TRUE(tabToNamed("btnListView", true));
    press(Qt::Key_Space);
    window->showNormal();
    window->setGeometry(normal);
    ASSERT_TRUE(waitUntil([list] { return list->isVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));

    // Remove, answered by the keyboard; the marked files go to the trash.
    ASSERT_TRUE(tabToNamed("btnTrash"));
    press(Qt::Key_Space);
    pressTitled("ID_TRASH");
    pressTitled("ID_OK");
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    const AfterRemoval expected = expectedAfterRemoval(before, toRemove);
    EXPECT_EQ(filesUnder(tree.root()), expected.left);
    EXPECT_EQ(trashedFiles(home.dataHome() + QStringLiteral("/Trash")), expected.trashed);

    // Undo from the toolbar, by Shift+Tab from the list: every file back.
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));
    ASSERT_TRUE(tabToNamed("btnUndo", true));
    press(Qt::Key_Space);
    pressTitled("ID_YES");
    pressTitled("ID_OK");
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    EXPECT_EQ(filesUnder(tree.root()), before);
    EXPECT_TRUE(trashedFiles(home.dataHome() + QStringLiteral("/Trash")).empty());
    shot(window, QStringLiteral("kb-07-after-undo"));
}

namespace {

// Where the focus is, for the failure messages.
std::string focusName()
{
    return describeWidget(QApplication::focusWidget()).toStdString();
}

// The menu F10 opens, then Down until item is chosen, then Return.
void chooseFromMenus(QAction* item)
{
    SCOPED_TRACE(item->text().toStdString());
    press(Qt::Key_F10);
    ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    for (int i = 0; i < 12 && menu->activeAction() != item; ++i)
        press(Qt::Key_Down);
    ASSERT_EQ(menu->activeAction(), item);
    press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([] { return !QApplication::activePopupWidget(); }));
}

// The sheet's button titled by a language key has the focus as the sheet
// opens; Return, after the picture, presses it.
void returnOnSheet(const char* key, const std::function<void()>& takeShot)
{
    SCOPED_TRACE(key);
    QAbstractButton* button = titled(key);
    ASSERT_TRUE(button && waitUntil([button] { return button->window()->isActiveWindow(); }));
    EXPECT_EQ(QApplication::focusWidget(), button) << focusName();
    takeShot();
    press(Qt::Key_Return);
}

// The alert up, its default button focused, Return closes it.
void answerAlertByReturn(const std::function<void()>& takeShot)
{
    ASSERT_TRUE(waitUntil([] { return visible<QMessageBox>() && visible<QMessageBox>()->isActiveWindow(); }));
    QMessageBox* box = visible<QMessageBox>();
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(QApplication::focusWidget())) << focusName();
    takeShot();
    press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([box] { return !box->isVisible(); }));
}

} // namespace

// Both screens, the sheets, the preferences and the menus by the keys alone:
// Tab, Shift+Tab, Return, Space, the arrows, F10 and Ctrl+Tab. The focus is
// where a user looks for it at every step, and scripts/road saves each.
TEST(Road, KeyboardOnlyOverBothScreensPreferencesAndMenus)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    TreeBuilder tree;
    for (int i = 0; i < 8; ++i) {
        const QByteArray bytes = picture(QColor::fromHsv(i * 40, 200, 220));
        tree.file(QStringLiteral("Pictures/picture %1.png").arg(i), bytes);
        tree.file(QStringLiteral("Pictures/Copies/picture %1 copy.png").arg(i), bytes);
    }
    tree.file("Pictures/notes.txt", "minutes of the meeting\n");
    tree.file("Pictures/Copies/notes.txt", "minutes of the meeting\n");

    AppComposition program(defaults);
    QMainWindow* window = keys.launch(program);
    ASSERT_TRUE(window);
    MainViewController& homeScreen = program.home();
    ResultViewController& results = program.results();
    AppDelegate& delegate = program.delegate();
    // On a large screen the window takes it, as a user gives it the room.
    const QRect screen = window->screen()->availableGeometry();
    if (screen.width() >= 1600) {
        window->showMaximized();
        if (!waitUntil([&] { return window->width() >= screen.width() - 20; }, 2000))
            window->setGeometry(screen);
    }
    // Each picture numbered in the order the road takes them; of the
    // preferences window, or of the main window with what lies on it.
    int shots = 0;
    const auto shotOf = [&shots](QWidget* of, const char* what) {
        shot(of, QStringLiteral("kbo-%1-%2").arg(++shots, 2, 10, QLatin1Char('0')).arg(QLatin1String(what)));
    };
    const auto step = [&](const char* what) { shotOf(window, what); };

    // The home screen: the first control, then Add by Tab, a folder through
    // the chooser, the Exclude and Protect shortcuts after Add.
    press(Qt::Key_Tab);
    ASSERT_TRUE(homeScreen.isAncestorOf(QApplication::focusWidget())) << focusName();
    step("home-first-stop");
    addFolderByKeys(tree.path("Pictures"));
    ASSERT_EQ(homeScreen.findChild<CustomTableView*>(QStringLiteral("tblInclude"))->model()->rowCount(), 1);
    ASSERT_TRUE(tabToNamed("btnAddPath"));
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("boxRightExclude")) << focusName();
    step("home-exclude-shortcut");
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("boxRightProtected")) << focusName();
    // A file type's switch, blue while on, ringed in white.
    ASSERT_TRUE(tabToNamed("btnDocumentsSelected", true));
    step("home-file-type-switch");

    // Scan Now, ringed on its blue face; the scan-complete sheet opens on
    // its default button, which Return presses.
    QWidget* scanNow = homeScreen.scanNowButton();
    ASSERT_TRUE(tabTo([scanNow](QWidget* w) { return w == scanNow; }));
    step("home-scan-now");
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    returnOnSheet("ID_SELECT_MANUALLY", [&] { step("scan-complete-sheet"); });
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));

    // The results screen: the list has the focus; the toolbar left to right
    // and the category row as drawn.
    keys.target();
    EXPECT_EQ(QApplication::focusWidget(), results.tblDuplicates()) << focusName();
    step("results-list");
    ASSERT_TRUE(tabToNamed("btnAutoMark"));
    step("results-toolbar-blue-button");
    ASSERT_TRUE(tabToNamed("btnImagesItems"));
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));
    step("results-category-chosen");
    ASSERT_TRUE(tabToNamed("btnAllItems", true));
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));

    // A mark by Space in the list, then the grid: its focused item stays in
    // view as the arrows move it down the groups.
    CustomTableView* list = results.tblDuplicates();
    ASSERT_TRUE(tabTo([list](QWidget* w) { return w == list; }));
    press(Qt::Key_Down);
    press(Qt::Key_Space);
    ASSERT_EQ(results.state().countMarked(), 1);
    ASSERT_TRUE(tabToNamed("btnThumbnailView", true));
    press(Qt::Key_Space);
    MyCollectionView* grid = results.collDuplicates();
    ASSERT_TRUE(waitUntil([grid] { return grid->isVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));
    ASSERT_TRUE(tabTo([grid](QWidget* w) { return w == grid; }));
    for (int i = 0; i < 7; ++i)
        press(Qt::Key_Down);
    const std::optional<IndexPath> current = grid->indexPath(grid->selectionModel()->currentIndex());
    ASSERT_TRUE(current);
    EXPECT_TRUE(grid->viewport()->rect().contains(
        grid->itemFrame(*current).translated(0, -grid->verticalScrollBar()->value())));
    // The pictures in view come once the grid has settled.
    waitUntil([] { return false; }, 800);
    step("results-grid-item-in-view");
    ASSERT_TRUE(tabToNamed("btnListView", true));
    press(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));

    // Delete Marked by Return; the question and the after-clean sheet both
    // open on their default buttons.
    ASSERT_TRUE(tabToNamed("btnTrash"));
    step("results-delete-marked");
    press(Qt::Key_Return);
    returnOnSheet("ID_TRASH", [&] { step("remove-question"); });
    returnOnSheet("ID_OK", [&] { step("after-clean-sheet"); });
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));
    // Nothing is marked any more: the focus is back in the list, not on
    // Back.
    keys.target();
    EXPECT_EQ(QApplication::focusWidget(), results.tblDuplicates()) << focusName();

    // The menus from the results screen: F10, the arrows and Return reach
    // Check for Updates and About; each answers in an alert closed by
    // Return.
    press(Qt::Key_F10);
    ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget(); }));
    step("menu-by-f10");
    press(Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([] { return !QApplication::activePopupWidget(); }));
    chooseFromMenus(delegate.menuCheckForUpdate);
    answerAlertByReturn([&] { step("check-for-updates"); });
    chooseFromMenus(delegate.menuItemAbout);
    answerAlertByReturn([&] { step("about"); });

    // Preferences from the menu: the pane bar by Shift+Tab, its arrows, and
    // Ctrl+Tab from within a pane; Escape closes the window.
    chooseFromMenus(delegate.menuPrefrencess);
    QWidget* preferences = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        preferences = QApplication::activeWindow();
        return preferences && preferences->objectName() == QLatin1String("preferencesWindow");
    }));
    auto* bar = preferences->findChild<QWidget*>(QStringLiteral("PreferencesToolbar"));
    ASSERT_TRUE(bar);
    ASSERT_TRUE(tabTo([bar](QWidget* w) { return bar->isAncestorOf(w); }, true));
    shotOf(preferences, "preferences-pane-bar");
    const QString firstTitle = preferences->windowTitle();
    press(Qt::Key_Right);
    EXPECT_NE(preferences->windowTitle(), firstTitle);
    EXPECT_TRUE(bar->isAncestorOf(QApplication::focusWidget())) << focusName();
    waitUntil([] { return false; }, 400);
    shotOf(preferences, "preferences-arrow");
    press(Qt::Key_Tab);
    ASSERT_FALSE(bar->isAncestorOf(QApplication::focusWidget())) << focusName();
    const QString secondTitle = preferences->windowTitle();
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_NE(preferences->windowTitle(), secondTitle);
    EXPECT_TRUE(QApplication::focusWidget() && QApplication::focusWidget()->isVisible()
        && !bar->isAncestorOf(QApplication::focusWidget()))
        << focusName();
    waitUntil([] { return false; }, 400);
    shotOf(preferences, "preferences-ctrl-tab");
    press(Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([preferences] { return !preferences->isVisible(); }));

    // Back by the keyboard: the focus lands on the home screen, and Tab
    // goes on from there.
    ASSERT_TRUE(tabToNamed("btnBack"));
    step("results-back");
    press(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !results.isVisible(); }));
    QWidget* landed = keys.target();
    ASSERT_TRUE(homeScreen.isAncestorOf(landed) && landed->isVisible()) << focusName();
    step("home-after-back");
    press(Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), landed);
    EXPECT_TRUE(homeScreen.isAncestorOf(QApplication::focusWidget())) << focusName();
    step("home-tab-after-back");

    // Uninstall from the menu asks first; No keeps everything.
    chooseFromMenus(delegate.menuUnInstall);
    ASSERT_TRUE(waitUntil([] { return visible<QMessageBox>() && visible<QMessageBox>()->isActiveWindow(); }));
    step("uninstall-question");
    pressTitled("ID_NO");
    ASSERT_TRUE(waitUntil([] { return !visible<QMessageBox>(); }));
    EXPECT_TRUE(QDir(home.configHome() + QStringLiteral("/Vellicor")).exists());
}
