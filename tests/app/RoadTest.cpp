// The main road of the program, driven as a user drives it: the program as
// main() builds it, folders added through the folder dialog, Scan Now, marks
// made with the mouse in every view and by automatic marking, the preview,
// Remove, Undo and Quit. With VELLICOR_ROAD_SHOTS set (scripts/road), each
// screen on the way is saved there as a PNG.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/MyCollectionView.h"
#include "core/FileUtilities.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "home/HomePathModel.h"
#include "home/MainViewController.h"
#include "results/PreviewPane.h"
#include "results/ResultViewController.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsModel.h"
#include "results/ThumbnailCell.h"
#include "results/ThumbnailProvider.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/WaitUntil.h"

#include "RoadHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>

namespace {

// Clicks a control the user sees; it has to be there, enabled and titled, an
// image button at least with a tool tip.
void click(QAbstractButton* button, bool titled = true)
{
    ASSERT_TRUE(button);
    ASSERT_TRUE(waitUntil([button] { return button->isVisible() && button->isEnabled(); }))
        << button->objectName().toStdString();
    const QString text = titled ? button->text() : button->toolTip();
    EXPECT_FALSE(text.trimmed().isEmpty()) << button->objectName().toStdString() << " says nothing";
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

QAbstractButton* button(QWidget* root, const char* name)
{
    return root->findChild<QAbstractButton*>(QString::fromLatin1(name));
}

// Clicks an outlet of a cell drawn by CustomCell.
void clickOutlet(QAbstractItemView* view, const QModelIndex& index, CustomCell::Outlet outlet)
{
    view->scrollTo(index);
    auto* cell = qobject_cast<CustomCell*>(view->itemDelegateForIndex(index));
    ASSERT_TRUE(cell);
    const QRect rect = cell->outletRects(view->visualRect(index), index)[std::size_t(outlet)];
    ASSERT_FALSE(rect.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

std::set<QString> listedPaths(const QAbstractItemModel& list, bool markedOnly)
{
    std::set<QString> paths;
    for (int row = 0; row < list.rowCount(); ++row) {
        const QModelIndex index = list.index(row, 0);
        if (!markedOnly || index.data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox)).toInt() == 1)
            paths.insert(index.data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath)).toString());
    }
    return paths;
}

void chooseMenuItem(const QString& title)
{
    ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    for (QAction* action : menu->actions()) {
        if (action->text() == title) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
    }
    FAIL() << "no menu item " << title.toStdString();
}

void addFolder(MainViewController& home, const QString& folder)
{
    click(button(&home, "btnAddPath"));
    ASSERT_TRUE(waitUntil([] { return visible<QFileDialog>(); }));
    QFileDialog* dialog = visible<QFileDialog>();
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
    name->setFocus();
    ASSERT_TRUE(waitUntil([name] { return name->hasFocus(); }));
    name->clear();
    QTest::keyClicks(name, folder);
    if (folder.endsWith(QStringLiteral("Photos")))
        shot(home.window(), QStringLiteral("02-folder-dialog"));
    // The first Return may only take the completion the line offers.
    for (int i = 0; i < 3 && visible<QFileDialog>(); ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : name, Qt::Key_Return);
        waitUntil([] { return !visible<QFileDialog>(); }, 1000);
    }
    ASSERT_FALSE(visible<QFileDialog>());
}

} // namespace

TEST(Road, AddScanMarkPreviewRemoveUndoQuit)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    TreeBuilder tree;
    const QByteArray red = picture(Qt::red);
    const QByteArray blue = picture(Qt::blue);
    const QByteArray notes = "minutes of the meeting\n";
    tree.file("Photos/beach.png", red);
    tree.file("Photos/sky.png", blue);
    tree.file("Photos/notes.txt", notes);
    tree.file("Photos/only-here.txt", "unique one");
    tree.file("Backup/beach copy.png", red);
    tree.file("Backup/2024/sky.png", blue);
    tree.file("Backup/notes.txt", notes);
    tree.file("Backup/notes (2).txt", notes);
    tree.file("Backup/only-there.txt", "unique two");
    const Files before = filesUnder(tree.root());

    AppComposition program(defaults);
    QMainWindow* window = launchShown(program);
    ASSERT_TRUE(window);
    MainViewController& homeScreen = program.home();
    ResultViewController& results = program.results();
    // The results toolbar comes back a moment after each change of the views.
    const auto settle = [&results] { waitUntil([&results] { return results.isResultToolbarEnabled(); }); };
    shot(window, "01-home");

    // Two folders through the folder dialog.
    addFolder(homeScreen, tree.path("Photos"));
    addFolder(homeScreen, tree.path("Backup"));
    auto* includes = homeScreen.findChild<CustomTableView*>(QStringLiteral("tblInclude"));
    ASSERT_TRUE(includes);
    ASSERT_EQ(includes->model()->rowCount(), 2);
    shot(window, "03-folders-added");

    // Scan Now, its progress, then the results with the scan-complete sheet.
    click(homeScreen.scanNowButton());
    auto* scanning = homeScreen.findChild<QWidget*>(QStringLiteral("viewDiskReport"));
    ASSERT_TRUE(scanning);
    if (waitUntil([scanning] { return scanning->isVisible(); }, 2000))
        shot(window, "04-scan-running");
    if (waitUntil([] { return !isScanRunning; }, 30000) && !results.isVisible())
        shot(window, "04-scan-finishing");
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    QAbstractItemModel& list = *results.tblDuplicates()->model();
    EXPECT_EQ(list.rowCount(), 7);
    QAbstractButton* manually = titled("ID_SELECT_MANUALLY");
    shot(window, "05-scan-complete");
    click(manually);
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    settle();
    shot(window, "06-results-list");

    // With nothing marked Remove stays disabled; the header's link says why
    // through the window's alert.
    EXPECT_FALSE(button(&results, "btnTrash")->isEnabled());
    click(button(&results, "btnDeleteLink"));
    ASSERT_TRUE(waitUntil([] { return visible<QMessageBox>(); }));
    EXPECT_FALSE(visible<QMessageBox>()->text().isEmpty());
    shot(window, "06-nothing-marked");
    click(visible<QMessageBox>()->buttons().value(0));
    ASSERT_TRUE(waitUntil([] { return !visible<QMessageBox>(); }));

    // By hand in the list: a mark, then a picture selected for the preview.
    clickOutlet(results.tblDuplicates(), list.index(0, 0), CustomCell::Outlet::btnCheckBox);
    EXPECT_EQ(listedPaths(list, true).size(), 1u);
    int pictureRow = -1;
    for (int row = 0; row < list.rowCount() && pictureRow < 0; ++row) {
        if (list.index(row, 0).data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath)).toString().endsWith(".png"))
            pictureRow = row;
    }
    ASSERT_GE(pictureRow, 0);
    const QModelIndex pictureName = list.index(pictureRow, ResultsModel::nameColumn);
    QTest::mouseClick(results.tblDuplicates()->viewport(), Qt::LeftButton, {},
        results.tblDuplicates()->visualRect(pictureName).center());
    const QString picturePath
        = list.index(pictureRow, 0).data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath)).toString();
    PreviewPane& preview = results.previewPane();
    EXPECT_TRUE(waitUntil([&] { return preview.previewPath() == picturePath; }));
    EXPECT_TRUE(waitUntil([&] { return !preview.previewForFiles()->image().isNull(); }));
    EXPECT_TRUE(preview.previewForFiles()->isVisible());
    EXPECT_EQ(results.lblSelectedFilePath()->text(), picturePath);
    settle();
    shot(window, "07-preview");

    // By hand in the group outline: a file of another group.
    click(button(&results, "btnHierarcheryView"), false);
    CustomOutlineView* outline = results.outlineDuplicates();
    ASSERT_TRUE(waitUntil([outline] { return outline->isVisible(); }));
    QAbstractItemModel& groups = *outline->model();
    ASSERT_EQ(groups.rowCount(), 3);
    const QModelIndex secondGroup = groups.index(1, 0);
    outline->expand(secondGroup);
    clickOutlet(outline, groups.index(1, 0, secondGroup), CustomCell::Outlet::btnCheckBox);
    EXPECT_EQ(listedPaths(list, true).size(), 2u);
    settle();
    shot(window, "08-group-view");

    // By hand in the thumbnail grid: an item not marked yet.
    click(button(&results, "btnThumbnailView"), false);
    MyCollectionView* grid = results.collDuplicates();
    ASSERT_TRUE(waitUntil([grid] { return grid->isVisible(); }));
    settle();
    shot(window, "09-grid-first");
    const IndexPath item { grid->numberOfSections() - 1,
        grid->numberOfItemsInSection(grid->numberOfSections() - 1) - 1 };
    grid->scrollToItem(item);
    const QRect frame = grid->itemFrame(item).translated(0, -grid->verticalScrollBar()->value());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, ThumbnailCell::layoutFor(frame).checkBox.center());
    EXPECT_EQ(listedPaths(list, true).size(), 3u);
    // The preview follows the grid's selection: the text file's type icon.
    EXPECT_TRUE(waitUntil([&] { return preview.previewPath().endsWith(QStringLiteral("notes.txt")); }));
    EXPECT_TRUE(waitUntil([&] { return preview.previewForFiles()->hasIcon(); }));
    // Every item in view gets its picture, or its type's icon.
    EXPECT_TRUE(waitUntil([&] { return everyItemInViewHasItsPicture(results); }));
    settle();
    shot(window, "09-grid-view");

    // Automatic marking: every group keeps exactly one file.
    click(button(&results, "btnListView"), false);
    click(button(&results, "btnAutoMark"));
    QAbstractButton* goOn = titled("ID_CONTINUE");
    shot(window, "10-auto-mark-question");
    click(goOn);
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    EXPECT_EQ(listedPaths(list, true).size(), 4u);
    const std::set<QString> toRemove = listedPaths(list, true);
    for (int group = 0; group < groups.rowCount(); ++group) {
        const QModelIndex parent = groups.index(group, 0);
        int unmarked = 0;
        for (int row = 1; row < groups.rowCount(parent); ++row)
            unmarked
                += groups.index(row, 0, parent).data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox)).toInt() == 0;
        EXPECT_EQ(unmarked, 1) << "group " << group;
    }
    settle();
    shot(window, "11-auto-marked");

    // Review puts the question aside: the marks stay, and Delete Marked
    // shows on, as it works.
    click(button(&results, "btnTrash"));
    click(titled("ID_REVIEW"));
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    EXPECT_EQ(qobject_cast<IMGButton*>(button(&results, "btnTrash"))->state(), 1);
    settle();
    shot(window, "12-after-review");

    // Remove, answering the question; the marked files go to the trash.
    click(button(&results, "btnTrash"));
    QAbstractButton* trash = titled("ID_TRASH");
    shot(window, "12-remove-question");
    click(trash);
    QAbstractButton* ok = titled("ID_OK");
    ASSERT_TRUE(ok);
    shot(window, "13-after-clean");
    click(ok);
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));

    const AfterRemoval expected = expectedAfterRemoval(before, toRemove);
    EXPECT_EQ(filesUnder(tree.root()), expected.left);
    EXPECT_EQ(trashedFiles(home.dataHome() + QStringLiteral("/Trash")), expected.trashed);
    for (const QString& path : toRemove)
        EXPECT_FALSE(listedPaths(list, false).count(path)) << path.toStdString();
    settle();
    shot(window, "14-after-remove");

    // Undo from the options menu: every file back, byte for byte, and listed.
    click(button(&results, "btnOptions"), false);
    chooseMenuItem(localizedText("ID_UNDO"));
    QAbstractButton* yes = titled("ID_YES");
    shot(window, "15-undo-question");
    click(yes);
    ASSERT_TRUE(waitUntil([yes] { return !yes->isVisible(); }));
    QAbstractButton* done = titled("ID_OK");
    shot(window, "16-undo-done");
    click(done);
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));
    EXPECT_EQ(filesUnder(tree.root()), before);
    EXPECT_TRUE(trashedFiles(home.dataHome() + QStringLiteral("/Trash")).empty());
    ASSERT_TRUE(waitUntil([&] { return listedPaths(list, false).size() == 7; }));
    for (const QString& path : toRemove)
        EXPECT_TRUE(listedPaths(list, false).count(path)) << path.toStdString();
    settle();
    shot(window, "17-after-undo");

    // Back on the home screen, which shows the last scan.
    click(button(&results, "btnBack"));
    ASSERT_TRUE(waitUntil([&] { return !results.isVisible(); }));
    EXPECT_TRUE(homeScreen.isVisible());
    auto* lastScanCount = homeScreen.findChild<QLabel*>(QStringLiteral("lblLastScanDupFileCount"));
    ASSERT_TRUE(lastScanCount);
    // The box is refreshed through a queued call after the undo's record.
    EXPECT_TRUE(waitUntil([&] { return lastScanCount->text() == QStringLiteral("4"); }))
        << lastScanCount->text().toStdString();
    shot(window, "18-home-after-the-scan");

    // The one road out: Quit in the application menu ends the event loop.
    AppDelegate& delegate = program.delegate();
    ASSERT_FALSE(delegate.menuQuit->text().isEmpty());
    QTimer::singleShot(0, window, [window, &delegate] {
        QMenuBar* bar = window->menuBar();
        QTest::mouseClick(
            bar, Qt::LeftButton, {}, bar->actionGeometry(delegate.menuApplication->menuAction()).center());
        chooseMenuItem(delegate.menuQuit->text());
    });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

namespace {

// The visible labels of every shown window whose text holds what, polished
// as they are before they are drawn.
QList<QLabel*> labelsShowing(const QString& what)
{
    QList<QLabel*> found;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        QList<QLabel*> labels = top->findChildren<QLabel*>();
        if (auto* itself = qobject_cast<QLabel*>(top))
            labels.append(itself);
        for (QLabel* label : labels) {
            if (label->isVisible() && label->text().contains(what)) {
                label->ensurePolished();
                found.append(label);
            }
        }
    }
    return found;
}

// Some label shows what, and every one that does draws it as text.
void expectDrawnAsText(const QString& what, const char* where)
{
    const QList<QLabel*> labels = labelsShowing(what);
    EXPECT_FALSE(labels.isEmpty()) << "no label shows the name " << where;
    for (QLabel* label : labels)
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << where << ": " << label->objectName().toStdString();
}

// The tool tip shown as the mouse rests at pos of widget.
QLabel* toolTipAt(QWidget* widget, QPoint pos)
{
    QHelpEvent rest(QEvent::ToolTip, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &rest);
    QLabel* tip = nullptr;
    waitUntil([&tip] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible() && top->inherits("QTipLabel"))
                tip = qobject_cast<QLabel*>(top);
        }
        return tip != nullptr;
    });
    return tip;
}

} // namespace

// A name can hold markup and a bidirectional override: wherever the program
// shows it (the path under the list, the list's own tool tips, the path's tool
// tip, an alert), it is drawn as the characters it is, never as markup.
TEST(Road, NamesHoldingMarkupOrOverridesDrawAsTheirCharacters)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    TreeBuilder tree;
    const QString markup = QStringLiteral("<b>x</b><img src=q>");
    // A folder "<b>x<" holding "b><img src=q>\u202etxt.exe": the path holds
    // the whole markup, the name an image tag and an override.
    const QString hostile = QStringLiteral("Photos/") + markup + QStringLiteral("\u202etxt.exe");
    tree.file(hostile, "minutes\n");
    tree.file("Photos/<b>x</notes.txt", "minutes\n");
    const QString hostilePath = tree.path(hostile);
    const QString hostileName = QFileInfo(hostilePath).fileName();
    const QString hostileFolder = QFileInfo(hostilePath).path();

    AppComposition program(defaults);
    ASSERT_TRUE(launchShown(program));
    // The home screen's list of folders and its tool tip.
    addFolder(program.home(), hostileFolder);
    auto* includes = program.home().findChild<CustomTableView*>(QStringLiteral("tblInclude"));
    ASSERT_TRUE(includes && includes->model()->rowCount() == 1);
    const QModelIndex folderCell = includes->model()->index(0, HomePathModel::pathColumn);
    QLabel* tip = toolTipAt(includes->viewport(), includes->visualRect(folderCell).center());
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->text(), hostileFolder);
    EXPECT_EQ(tip->textFormat(), Qt::PlainText);
    click(program.home().scanNowButton());
    ResultViewController& results = program.results();
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    click(titled("ID_SELECT_MANUALLY"));
    ASSERT_TRUE(waitUntil([] { return !sheetOpen(); }));

    // The list: the hostile file selected, its path shown under the list,
    // each with its override written as the log writes it.
    const QString shownPath = printablePath(hostilePath);
    QAbstractItemModel& list = *results.tblDuplicates()->model();
    int row = -1;
    for (int at = 0; at < list.rowCount() && row < 0; ++at) {
        if (list.index(at, 0).data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath)).toString() == shownPath)
            row = at;
    }
    ASSERT_GE(row, 0);
    const QRect nameCell = results.tblDuplicates()->visualRect(list.index(row, ResultsModel::nameColumn));
    QTest::mouseClick(results.tblDuplicates()->viewport(), Qt::LeftButton, {}, nameCell.center());
    ASSERT_TRUE(waitUntil([&] { return results.lblSelectedFilePath()->text() == shownPath; }));
    expectDrawnAsText(markup, "on the results screen");

    tip = toolTipAt(results.lblSelectedFilePath(), results.lblSelectedFilePath()->rect().center());
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->text(), shownPath);
    EXPECT_EQ(tip->textFormat(), Qt::PlainText);
    const QModelIndex nameIndex = list.index(row, 0);
    tip = toolTipAt(results.tblDuplicates()->viewport(), results.tblDuplicates()->visualRect(nameIndex).center());
    ASSERT_TRUE(tip);
    EXPECT_TRUE(tip->text().contains(printablePath(hostileName))) << tip->text().toStdString();
    EXPECT_EQ(tip->textFormat(), Qt::PlainText);

    // An alert that names the file, as a service's error text would.
    std::optional<int> answer;
    alertPresenter()->presentThen(
        { hostilePath, QStringLiteral("The service said: ") + markup, { localizedText("ID_OK") } },
        [&answer](int button) { answer = button; });
    ASSERT_TRUE(waitUntil([] { return visible<QMessageBox>(); }));
    expectDrawnAsText(markup, "in an alert");
    click(visible<QMessageBox>()->buttons().value(0));
    EXPECT_TRUE(waitUntil([&answer] { return answer.has_value(); }));
}
