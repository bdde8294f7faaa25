// Tables, outline, cells, drop box, progress ring and popover driven with
// synthetic events offscreen.
#include "ControlsTestSupport.h"

#include "controls/ButtonKeys.h"
#include "controls/CircularProgressBarView.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomPopUpButton.h"
#include "controls/CustomTableView.h"
#include "controls/DragDropBox.h"
#include "controls/MyCollectionView.h"
#include "controls/OptionPopover.h"
#include "controls/PathShortening.h"
#include "core/AppNotifier.h"
#include "core/GlobalObjects.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include <limits>

namespace {

using Outlet = CustomCell::Outlet;

QList<int> selectedRows(const QAbstractItemView& view)
{
    QList<int> rows;
    for (const QModelIndex& index : view.selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

class Table : public ControlsTest {
protected:
    void SetUp() override
    {
        for (int row = 0; row < 5; ++row) {
            auto* item = new QStandardItem(QStringLiteral("row %1").arg(row));
            item->setData(row % 2, CustomCell::roleOf(Outlet::btnCheckBox));
            model.appendRow({ item, new QStandardItem(QStringLiteral("size")) });
        }
        table.setModel(&model);
        table.setItemDelegate(cell);
        table.verticalHeader()->setDefaultSectionSize(30);
        table.resize(300, 240);
        table.setMenu(&menu);
        menu.addAction(QStringLiteral("Reveal"));
        table.selectRow(1);
        table.selectionModel()->select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void TearDown() override { menu.close(); }

    QStandardItemModel model;
    QAbstractItemModelTester tester { &model };
    CustomTableView table;
    CustomCell* cell = new CustomCell(&table);
    QMenu menu;
};

// Right click on a row of a multi-selection, below the last row, and where
// column 0 has no custom cell.
TEST_F(Table, RightClickSelectsTheRowAndOpensTheMenuOnlyOverACustomCell)
{
    const struct {
        int y;
        bool plainDelegate;
        QList<int> selected;
        bool menuShown;
    } cases[] = { { 3 * 30 + 10, false, { 3 }, true }, { 5 * 30 + 20, false, { 1, 3 }, false },
        { 4 * 30 + 10, true, { 4 }, false } };
    for (const auto& c : cases) {
        table.selectRow(1);
        table.selectionModel()->select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (c.plainDelegate)
            table.setItemDelegate(new QStyledItemDelegate(&table));
        QTest::mouseClick(table.viewport(), Qt::RightButton, {}, QPoint(100, c.y));
        EXPECT_EQ(selectedRows(table), c.selected) << c.y;
        EXPECT_EQ(menu.isVisible(), c.menuShown) << c.y;
        menu.close();
    }
}

TEST_F(Table, DownAndUpMoveTheSelectionAlike)
{
    table.selectRow(2);
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(selectedRows(table), QList<int>({ 3 }));
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(selectedRows(table), QList<int>({ 4 }));
    QTest::keyClick(&table, Qt::Key_Up);
    EXPECT_EQ(selectedRows(table), QList<int>({ 3 }));
}

TEST_F(Table, CheckBoxClickIsReportedAndLeavesTheSelectionAlone)
{
    table.show();
    QSignalSpy tapped(cell, &CustomCell::buttonTapped);
    const QRect box
        = cell->outletRects(table.visualRect(model.index(2, 0)), model.index(2, 0))[int(Outlet::btnCheckBox)];
    ASSERT_FALSE(box.isEmpty());
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, box.center());
    ASSERT_EQ(tapped.size(), 1);
    EXPECT_EQ(tapped[0][0].value<QModelIndex>().row(), 2);
    EXPECT_EQ(tapped[0][1].value<Outlet>(), Outlet::btnCheckBox);
    EXPECT_EQ(selectedRows(table), QList<int>({ 1, 3 }));

    // Pressed on the box, released beside it: no click.
    QTest::mousePress(table.viewport(), Qt::LeftButton, {}, box.center());
    QTest::mouseRelease(table.viewport(), Qt::LeftButton, {}, box.center() + QPoint(60, 0));
    EXPECT_EQ(tapped.size(), 1);
}

// What the copies of a group have alike, by whole components: at their start
// and at their end, never overlapping in the shortest; a lone path has it all
// alike.
TEST(PathsApart, SharedPartsAreWholeComponentsAtBothEnds)
{
    const auto shared = [](std::vector<QString> paths) {
        std::vector<QStringView> views(paths.begin(), paths.end());
        return sharedParts(views);
    };
    EXPECT_EQ(shared({ QStringLiteral("/home/alex/Photos 2019/Pan.jpg"), QStringLiteral("/home/alex/Keep/Pan.jpg") }),
        (SharedParts { 3, 1 }));
    // "/media/backup" and "/home/user" differ from the root on.
    EXPECT_EQ(shared({ QStringLiteral("/home/user/Music/a.mp3"), QStringLiteral("/media/backup/Music/a.mp3") }),
        (SharedParts { 1, 2 }));
    // Same folder, other names; "Pan" and "Pano" are whole names apart.
    EXPECT_EQ(shared({ QStringLiteral("/a/b/Pan.jpg"), QStringLiteral("/a/b/Pano.jpg"), QStringLiteral("/a/b/x") }),
        (SharedParts { 3, 0 }));
    // One path is the other's start and end at once: the shorter one keeps
    // nothing apart, the longer its middle.
    EXPECT_EQ(shared({ QStringLiteral("/a/b/x"), QStringLiteral("/a/b/c/b/x") }), (SharedParts { 3, 1 }));
    EXPECT_EQ(shared({ QStringLiteral("/a/b/x") }), (SharedParts { 4, 0 }));
    EXPECT_EQ(shared({}), (SharedParts { 0, 0 }));
}

// Two copies of a long-named picture in two folders, at every width from the
// whole path down: each keeps its own folder whole and as much of the name as
// fits, the repeated folders going first, and nothing drawn is wider than its
// room; the two never read alike.
TEST_F(ControlsTest, CopiesShortenedKeepWhatTellsThemApartAndAsMuchOfTheNameAsFits)
{
    const QFontMetrics metrics(QFont(QStringLiteral("Sans"), 12));
    const auto at = [&](const QString& text) { return metrics.horizontalAdvance(text); };
    const QString name = QStringLiteral("Panorama of the harbour at dusk.jpg");
    const QStringList copies { QStringLiteral("/home/alex/Pictures/Photos 2019/") + name,
        QStringLiteral("/home/alex/Pictures/Keep Forever/") + name };
    std::vector<QStringView> views { copies[0], copies[1] };
    const SharedParts shared = sharedParts(views);

    EXPECT_EQ(elidedPathApart(metrics, copies[0], shared, at(copies[0])), copies[0]);
    EXPECT_EQ(elidedPathApart(metrics, copies[0], shared, at(copies[0]) - 1),
        QStringLiteral("…/alex/Pictures/Photos 2019/") + name);
    EXPECT_EQ(elidedPathApart(metrics, copies[1], shared, at(QStringLiteral("…/Keep Forever/") + name)),
        QStringLiteral("…/Keep Forever/") + name);
    const int narrow = at(QStringLiteral("…/Keep Forever/Panorama…"));
    for (const QString& copy : copies) {
        const QString shown = elidedPathApart(metrics, copy, shared, narrow);
        const QString folder = copy.section(QLatin1Char('/'), -2, -2);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("…/") + folder + QStringLiteral("/Pan"))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QStringLiteral("jpg"))) << shown.toStdString();
    }
    for (int width = at(QStringLiteral("…/Keep Forever/Panor…jpg")); width <= at(copies[0]); width += 3) {
        QStringList shown;
        for (const QString& copy : copies) {
            shown << elidedPathApart(metrics, copy, shared, width);
            EXPECT_LE(at(shown.last()), width) << shown.last().toStdString();
            EXPECT_TRUE(shown.last().contains(copy.section(QLatin1Char('/'), -2, -2))) << shown.last().toStdString();
            EXPECT_TRUE(shown.last().contains(QStringLiteral("Pa")) && shown.last().endsWith(QStringLiteral("g")))
                << shown.last().toStdString();
        }
        EXPECT_NE(shown[0], shown[1]) << width;
    }
    // Narrower than the folder and a few letters of the name: the folder
    // loses its middle too, and still nothing is drawn past the room.
    for (const int width : { 80, 40, 12 }) {
        const QString shown = elidedPathApart(metrics, copies[1], shared, width);
        EXPECT_LE(at(shown), std::max(width, at(QStringLiteral("…")))) << shown.toStdString();
    }
}

// Copies that differ where they start (a home folder and a backup disk), in
// a camera's folder they share, with a long name: the start stays, the shared
// folder gives way before the name, and the name never goes whole.
TEST_F(ControlsTest, CopiesThatDifferAtTheirStartKeepItAndTheirName)
{
    const QFontMetrics metrics(QFont(QStringLiteral("Sans"), 12));
    const auto at = [&](const QString& text) { return metrics.horizontalAdvance(text); };
    const QString tail = QStringLiteral("/DCIM Camera folder 100/IMG_20240528_104858_HDR_portrait.jpg");
    const QStringList copies { QStringLiteral("/home/user") + tail, QStringLiteral("/media/backup-disk") + tail };
    std::vector<QStringView> views { copies[0], copies[1] };
    const SharedParts shared = sharedParts(views);
    EXPECT_EQ(elidedPathApart(metrics, copies[1], shared, at(QStringLiteral("/media/backup-disk/…/IMG_20240528_104858_HDR_portrait.jpg"))),
        QStringLiteral("/media/backup-disk/…/IMG_20240528_104858_HDR_portrait.jpg"));
    for (int width = at(QStringLiteral("/media/backup-disk/…/IMG_…jpg")); width < at(copies[1]); width += 4) {
        for (const QString& copy : copies) {
            const QString shown = elidedPathApart(metrics, copy, shared, width);
            const QString start = copy.section(QLatin1Char('/'), 0, 2) + QLatin1Char('/');
            EXPECT_TRUE(shown.startsWith(start)) << width << " " << shown.toStdString();
            EXPECT_TRUE(shown.contains(QStringLiteral("/IMG")) && shown.endsWith(QStringLiteral("jpg")))
                << width << " " << shown.toStdString();
            EXPECT_LE(at(shown), width) << shown.toStdString();
        }
    }
}

// A folder's path in the list: the folder that tells it apart stays whole,
// however narrow; with nothing apart (copies in one folder), its last
// folders stay, leading folders going first.
TEST_F(ControlsTest, AFolderShortenedKeepsWhatTellsItApart)
{
    const QFontMetrics metrics(QFont(QStringLiteral("Sans"), 12));
    const auto at = [&](const QString& text) { return metrics.horizontalAdvance(text); };
    const QStringList folders { QStringLiteral("/home/alex/Pictures/Photos 2019"),
        QStringLiteral("/home/alex/Pictures/Keep Forever") };
    std::vector<QStringView> views { folders[0], folders[1] };
    const SharedParts shared = sharedParts(views);
    EXPECT_EQ(elidedPathApart(metrics, folders[1], shared, at(QStringLiteral("…/Keep Forever"))),
        QStringLiteral("…/Keep Forever"));
    EXPECT_EQ(elidedPathApart(metrics, folders[1], shared, at(QStringLiteral("…/Pictures/Keep Forever"))),
        QStringLiteral("…/Pictures/Keep Forever"));

    const QString folder = QStringLiteral("/media/backup-disk/Videos/2023 Lisbon");
    const SharedParts alone { std::numeric_limits<std::int16_t>::max(), 0 };
    EXPECT_EQ(elidedPathApart(metrics, folder, alone, at(folder)), folder);
    EXPECT_EQ(elidedPathApart(metrics, folder, alone, at(folder) - 1), QStringLiteral("…/backup-disk/Videos/2023 Lisbon"));
    EXPECT_EQ(elidedPathApart(metrics, folder, alone, at(QStringLiteral("…/Videos/2023 Lisbon")) + 1),
        QStringLiteral("…/Videos/2023 Lisbon"));
    EXPECT_EQ(elidedPathApart(metrics, folder, alone, at(QStringLiteral("…/2023 Lisbon"))), QStringLiteral("…/2023 Lisbon"));
    for (const int width : { at(QStringLiteral("…/2023 Lisbon")) - 1, 40, 12 }) {
        const QString shown = elidedPathApart(metrics, folder, alone, width);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("…"))) << width << " " << shown.toStdString();
        EXPECT_LE(at(shown), std::max(width, at(QStringLiteral("…")))) << shown.toStdString();
    }
    EXPECT_EQ(elidedPathApart(metrics, QStringLiteral("/"), alone, 200), QStringLiteral("/"));
}

// Folders that differ where they start and end alike: a narrow column keeps
// their starts, the shared last folder going first; names that differ only
// at their end keep that end, their shared start giving way in its middle.
TEST_F(ControlsTest, ANarrowRoomKeepsTheStartAndTheCharactersThatDiffer)
{
    const QFontMetrics metrics(QFont(QStringLiteral("Sans"), 12));
    const auto at = [&](const QString& text) { return metrics.horizontalAdvance(text); };
    const QStringList folders { QStringLiteral("/home/ana/Videos"), QStringLiteral("/media/backup/Videos") };
    std::vector<QStringView> views { folders[0], folders[1] };
    const SharedParts shared = sharedParts(views);
    const QString lastShortened = elidedPathApart(metrics, folders[1], shared,
        at(QStringLiteral("/media/backup/Videos")) - 1);
    EXPECT_TRUE(lastShortened.startsWith(QStringLiteral("/media/backup/V"))) << lastShortened.toStdString();
    EXPECT_EQ(elidedPathApart(metrics, folders[1], shared, at(QStringLiteral("/media/…"))),
        QStringLiteral("/media/…"));
    EXPECT_EQ(elidedPathApart(metrics, folders[0], shared, at(QStringLiteral("/media/…"))),
        QStringLiteral("/home/…"));

    const QString stem = QStringLiteral("/home/ana/Contracts/Lease agreement for the flat 2024");
    const QStringList names { stem + QStringLiteral(".pdf"), stem + QStringLiteral(" (1).pdf"),
        stem + QStringLiteral(" (2).pdf") };
    std::vector<QStringView> nameViews { names[0], names[1], names[2] };
    const SharedParts alike = sharedParts(nameViews);
    EXPECT_EQ(alike, (SharedParts { 4, 0, 33, 4 }));
    for (int width = at(QStringLiteral("…/L…4 (1).pdf")); width < at(QStringLiteral("…/Lease agreement for the flat 2024.pdf"));
         width += 3) {
        QStringList shown;
        for (const QString& name : names) {
            shown << elidedPathApart(metrics, name, alike, width);
            EXPECT_LE(at(shown.last()), width) << shown.last().toStdString();
            EXPECT_TRUE(shown.last().endsWith(name.mid(stem.size()))) << width << " " << shown.last().toStdString();
        }
        shown.removeDuplicates();
        EXPECT_EQ(shown.size(), 3) << shown.join(QLatin1String(" | ")).toStdString();
    }
}

TEST_F(ControlsTest, OutlineRightClickActsOnlyOnFileRows)
{
    QStandardItemModel model;
    auto* group = new QStandardItem(QStringLiteral("group"));
    group->setData(true, CustomCell::isParentNodeRole);
    for (int i = 0; i < 2; ++i) {
        auto* file = new QStandardItem(QStringLiteral("file %1").arg(i));
        file->setData(true, CustomCell::isFileRecordRole);
        group->appendRow(file);
    }
    model.appendRow(group);
    QAbstractItemModelTester tester(&model);
    CustomOutlineView outline;
    outline.setModel(&model);
    outline.setItemDelegate(new CustomCell(&outline));
    outline.resize(300, 200);
    outline.expandAll();
    QMenu menu;
    outline.setMenu(&menu);
    menu.addAction(QStringLiteral("Reveal"));
    const QModelIndex first = model.index(0, 0, model.index(0, 0));
    const QModelIndex second = model.index(1, 0, model.index(0, 0));
    outline.selectionModel()->select(first, QItemSelectionModel::Select);

    QTest::mouseClick(outline.viewport(), Qt::RightButton, {}, outline.visualRect(model.index(0, 0)).center());
    EXPECT_EQ(outline.selectionModel()->selectedRows(), QModelIndexList({ first })) << "group row";
    EXPECT_FALSE(menu.isVisible());

    QTest::mouseClick(outline.viewport(), Qt::RightButton, {}, outline.visualRect(second).center());
    EXPECT_EQ(outline.selectionModel()->selectedRows(), QModelIndexList({ second }));
    EXPECT_TRUE(menu.isVisible());
    menu.close();
}

struct DropCase {
    const char* name;
    QStringList urls;
    QStringList posted; // empty: refused
    friend void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }
};

class Drop : public ControlsTest, public ::testing::WithParamInterface<DropCase> { };

TEST_P(Drop, PostsTheLocalPathsInOrderOrRefuses)
{
    const DropCase& c = GetParam();
    DragDropBox box;
    box.resize(200, 100);
    box.show();
    QSignalSpy posted(&AppNotifier::instance(), &AppNotifier::FileDragDropNotification);
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& url : c.urls)
        urls.append(QUrl(url));
    data.setUrls(urls);
    if (c.urls.isEmpty())
        data.setText(QStringLiteral("a text clipping"));
    // Qt hands a drop only to the widget that took the drag when it entered.
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &enter);
    EXPECT_EQ(enter.isAccepted(), !c.posted.isEmpty());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QCoreApplication::sendEvent(&box, &drop);

    EXPECT_EQ(drop.isAccepted(), !c.posted.isEmpty());
    if (c.posted.isEmpty()) {
        EXPECT_EQ(posted.size(), 0);
        return;
    }
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted[0][0].toStringList(), c.posted);
}

INSTANTIATE_TEST_SUITE_P(DragDropBox, Drop,
    ::testing::Values(DropCase { "LocalFiles", { "file:///home/a/x.jpg", "file:///home/a/Folder" },
                          { "/home/a/x.jpg", "/home/a/Folder" } },
        DropCase { "Mixed", { "https://example.org/y.jpg", "file:///tmp/z b.txt", "smb://server/share/w" },
            { "/tmp/z b.txt" } },
        DropCase { "NoneLocal", { "https://example.org/y.jpg", "ftp://host/f" }, {} }, DropCase { "TextOnly", {}, {} }),
    [](const auto& info) { return std::string(info.param.name); });

// The ring of a 120-point view: r = 40, the blue arc at radius 45.
TEST_F(ControlsTest, ProgressRingDrawsTheArcClockwiseFromThreeOClock)
{
    const QColor blue(12, 126, 235), black(0, 0, 0), white(255, 255, 255);
    const QPoint centre(60, 60);
    const auto at = [&](double degrees) { // counter-clockwise from 3 o'clock, y up
        const double radians = qDegreesToRadians(degrees);
        return centre + QPoint(qRound(45 * std::cos(radians)), -qRound(45 * std::sin(radians)));
    };
    struct Case {
        double progress;
        bool right, below, left, above;
    };
    const Case cases[] = { { -1, false, false, false, false }, { 0, false, false, false, false },
        { 0.25, false, true, false, false }, { 1, true, true, true, true }, { 100, true, true, true, true } };
    for (const Case& c : cases) {
        CircularProgressBarView ring;
        ring.resize(120, 120);
        ring.progress = c.progress;
        const QImage image = renderOn(ring, white);
        SCOPED_TRACE(c.progress);
        EXPECT_EQ(isNear(image.pixelColor(at(-45)), blue), c.below) << "between 3 and 6 o'clock";
        EXPECT_EQ(isNear(image.pixelColor(at(-135)), blue), c.left);
        EXPECT_EQ(isNear(image.pixelColor(at(135)), blue), c.above);
        EXPECT_EQ(isNear(image.pixelColor(at(45)), blue), c.right);
        EXPECT_PIXEL(image, 60, 60 - 55, black) << "outer ring";
        EXPECT_PIXEL(image, 60, 60 - 35, black) << "inner ring";
    }
}

TEST(ColorFromHex, ReadsSixHexDigitsAndIgnoresWhatSurroundsThem)
{
    const struct {
        const char* text;
        QColor expected;
    } cases[] = {
        { "000000", QColor(0, 0, 0) },
        { "0c7eeb", QColor(12, 126, 235) },
        { "#FF8000", QColor(255, 128, 0) },
        { " 00ff00\n", QColor(0, 255, 0) },
        { "0x0000ff", QColor(0, 0, 255) },
        { "12zz", QColor(0, 0, 18) },
        { "zz12", QColor(0, 0, 0) },
        { "", QColor(0, 0, 0) },
        { "ffffffffff", QColor(255, 255, 255) },
    };
    for (const auto& c : cases) {
        const QColor color = colorFromHex(QString::fromLatin1(c.text));
        EXPECT_EQ(color.rgba(), c.expected.rgba()) << c.text;
    }
}

TEST_F(ControlsTest, PopUpButtonDrawsItsTitleInItsOwnColour)
{
    CustomPopUpButton popUp;
    popUp.addItem(QStringLiteral("MMMMMMMM"));
    popUp.resize(160, 28);
    QPalette palette = popUp.palette();
    palette.setColor(QPalette::Button, Qt::black);
    popUp.setPalette(palette);
    popUp.setTextColor(QColor(255, 0, 0));
    const QImage image = renderOn(popUp, Qt::black);
    bool red = false;
    for (int x = 0; x < 100 && !red; ++x)
        red = isNear(image.pixelColor(x, 14), QColor(255, 0, 0), 40);
    EXPECT_TRUE(red);
}

} // namespace

namespace {

// A table, an outline and a grid between two fields, each with rows, as on
// the screens.
class Lists : public ControlsTest {
protected:
    void SetUp() override
    {
        for (int row = 0; row < 4; ++row) {
            auto* item = new QStandardItem(QStringLiteral("row %1").arg(row));
            item->setData(true, CustomCell::isFileRecordRole);
            rows.appendRow({ item, new QStandardItem(QStringLiteral("size")) });
        }
        auto* section = new QStandardItem(QStringLiteral("group"));
        for (int i = 0; i < 3; ++i)
            section->appendRow(new QStandardItem(QStringLiteral("item %1").arg(i)));
        sections.appendRow(section);
        window.resize(420, 640);
        before->setGeometry(10, 10, 200, 24);
        table->setGeometry(10, 40, 400, 150);
        table->setModel(&rows);
        table->setItemDelegate(new CustomCell(table));
        outline->setGeometry(10, 200, 400, 150);
        outline->setModel(&rows);
        outline->setItemDelegate(new CustomCell(outline));
        grid->setGeometry(10, 360, 400, 240);
        grid->setItemSize(QSize(100, 100));
        grid->setModel(&sections);
        after->setGeometry(10, 610, 200, 24);
        for (auto* view : { static_cast<QWidget*>(table), static_cast<QWidget*>(outline) })
            view->setFocusPolicy(Qt::StrongFocus);
        table->setMenu(&menu);
        outline->setMenu(&menu);
        grid->setMenu(&menu);
        menu.addAction(QStringLiteral("Mark"));
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void TearDown() override { menu.close(); }

    QStandardItemModel rows;
    QStandardItemModel sections;
    QWidget window;
    QLineEdit* before = new QLineEdit(&window);
    CustomTableView* table = new CustomTableView(&window);
    CustomOutlineView* outline = new CustomOutlineView(&window);
    MyCollectionView* grid = new MyCollectionView(&window);
    QLineEdit* after = new QLineEdit(&window);
    QMenu menu;
};

// Tab enters each list once and goes on to the next control; Shift+Tab walks
// back the same way, whatever row is current.
TEST_F(Lists, TabAndShiftTabLeaveEveryList)
{
    before->setFocus();
    const std::vector<QWidget*> chain { table, outline, grid, after };
    for (QWidget* next : chain) {
        if (QApplication::focusWidget() == table)
            table->setCurrentIndex(rows.index(2, 0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->metaObject()->className();
    }
    for (QWidget* previous : { static_cast<QWidget*>(grid), static_cast<QWidget*>(outline),
             static_cast<QWidget*>(table), static_cast<QWidget*>(before) }) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), previous) << previous->metaObject()->className();
    }
}

// Space asks the owner to toggle the selection's check boxes; the Menu key and
// Shift+F10 open the menu for the current row or item, selecting it.
TEST_F(Lists, SpaceAndTheMenuKeysActOnTheCurrentRowOrItem)
{
    QSignalSpy tableSpace(table, &CustomTableView::checkKeyPressed);
    QSignalSpy outlineSpace(outline, &CustomOutlineView::checkKeyPressed);
    QSignalSpy gridSpace(grid, &MyCollectionView::checkKeyPressed);
    QTest::keyClick(table, Qt::Key_Space);
    QTest::keyClick(outline, Qt::Key_Space);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(tableSpace.size(), 1);
    EXPECT_EQ(outlineSpace.size(), 1);
    EXPECT_EQ(gridSpace.size(), 1);

    const auto menuFor = [this](QWidget* view, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        menu.close();
        QTest::keyClick(view, key, modifiers);
        return menu.isVisible();
    };
    table->setCurrentIndex(rows.index(2, 1));
    table->clearSelection();
    EXPECT_TRUE(menuFor(table, Qt::Key_Menu, Qt::NoModifier));
    EXPECT_EQ(selectedRows(*table), QList<int>({ 2 }));
    EXPECT_TRUE(menu.geometry().top() >= table->viewport()->mapToGlobal(table->visualRect(rows.index(2, 0)).topLeft()).y());
    EXPECT_TRUE(menuFor(table, Qt::Key_F10, Qt::ShiftModifier));
    EXPECT_FALSE(menuFor(table, Qt::Key_F10, Qt::NoModifier));
    outline->setCurrentIndex(rows.index(3, 0));
    EXPECT_TRUE(menuFor(outline, Qt::Key_Menu, Qt::NoModifier));
    EXPECT_EQ(outline->selectionModel()->selectedRows(), QModelIndexList({ rows.index(3, 0) }));
    grid->selectItem({ 0, 2 }, QItemSelectionModel::ClearAndSelect);
    EXPECT_TRUE(menuFor(grid, Qt::Key_F10, Qt::ShiftModifier));
    EXPECT_EQ(grid->clickedIndexPath(), std::optional<IndexPath>(IndexPath { 0, 2 }));
    // A keyboard request for the menu from the system ends the same way.
    menu.close();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(1, 1), table->viewport()->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(table->viewport(), &request);
    EXPECT_TRUE(menu.isVisible());
}

// The current row or item of a focused list wears the focus ring; without the
// focus nothing marks it.
TEST_F(Lists, TheFocusedListRingsItsCurrentRowOrItem)
{
    table->setCurrentIndex(rows.index(1, 0));
    grid->selectItem({ 0, 1 }, QItemSelectionModel::ClearAndSelect);
    const auto ringed = [](QWidget* view, QPoint at) {
        const QImage image = view->grab().toImage();
        return isNear(image.pixelColor(at), focusRingColour(), 40);
    };
    const QRect row = table->visualRect(rows.index(1, 0)).translated(table->viewport()->pos());
    const QPoint tableEdge(row.center().x(), row.top() + 1);
    const QRect item = grid->itemFrame({ 0, 1 }).translated(grid->viewport()->pos());
    const QPoint gridEdge(item.center().x(), item.top() - 3);
    before->setFocus();
    EXPECT_FALSE(ringed(table, tableEdge));
    EXPECT_FALSE(ringed(grid, gridEdge));
    table->setFocus();
    EXPECT_TRUE(ringed(table, tableEdge));
    grid->setFocus();
    EXPECT_TRUE(ringed(grid, gridEdge));
    EXPECT_FALSE(ringed(table, tableEdge));

    // An empty list rings itself; so does the pop-up button.
    rows.clear();
    table->setFocus();
    EXPECT_TRUE(ringed(table, QPoint(table->width() / 2, table->height() - 2)));
    auto* popUp = new CustomPopUpButton(&window);
    popUp->addItem(QStringLiteral("This Computer"));
    popUp->setGeometry(220, 10, 180, 26);
    popUp->show();
    EXPECT_FALSE(ringed(popUp, QPoint(90, 1)));
    popUp->setFocus();
    EXPECT_TRUE(ringed(popUp, QPoint(90, 1)));
}

// A focused list with no current row rings itself; the wheel scrolls its
// rows under the ring, which stays at the list's edge: what the window
// shows afterwards has no line of the ring's colour across the rows.
TEST_F(Lists, TheWheelLeavesNoLineOfTheRingAcrossTheRows)
{
    for (int row = 4; row < 60; ++row)
        rows.appendRow({ new QStandardItem(QStringLiteral("row %1").arg(row)), new QStandardItem(QString()) });
    for (QAbstractItemView* list : { static_cast<QAbstractItemView*>(table), static_cast<QAbstractItemView*>(outline) }) {
        SCOPED_TRACE(list->metaObject()->className());
        list->setFocus();
        list->selectionModel()->clearCurrentIndex();
        list->scrollToTop();
        QCoreApplication::processEvents();
        for (int notch = 0; notch < 3; ++notch) {
            const QPointF at(list->viewport()->rect().center());
            QWheelEvent wheel(at, list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(list->viewport(), &wheel);
            QCoreApplication::processEvents();
        }
        ASSERT_GT(list->verticalScrollBar()->value(), 0);
        // The pixels the window shows, not a fresh drawing of the list.
        const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
        ASSERT_FALSE(shown.isNull());
        const QRect inside(list->viewport()->mapTo(&window, QPoint()), list->viewport()->size());
        EXPECT_TRUE(isNear(shown.pixelColor(inside.center().x(), inside.top() + 1), focusRingColour(), 40))
            << "the list rings itself";
        QList<int> lines;
        for (int y = inside.top() + 6; y < inside.bottom() - 6; ++y) {
            if (isNear(shown.pixelColor(inside.center().x(), y), focusRingColour(), 40))
                lines.append(y - inside.top());
        }
        EXPECT_TRUE(lines.isEmpty()) << "lines of the ring across the rows at " << lines.size() << " heights, first "
                                     << lines.value(0);
    }
}

} // namespace
