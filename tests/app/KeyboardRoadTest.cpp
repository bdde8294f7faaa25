// The main road without the mouse: the program as main() builds it, driven by
// Tab, Shift+Tab, the arrows, Space, Return and the Menu key only, from adding
// a folder through the folder chooser to Undo. With VELLICOR_ROAD_SHOTS set
// (scripts/road), the screens on the way are saved there as well.
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
#include "results/ResultViewController.h"
#include "results/ResultsModel.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/WaitUntil.h"

#include "KeyDriving.h"
#include "RoadHelpers.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
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

