// Pie slices, section building and the sectioned grid's hit tests, right
// click and keyboard selection.
#include "ControlsTestSupport.h"

#include "controls/HeaderView.h"
#include "controls/ImageDirectoryLoader.h"
#include "controls/MMPieChartView.h"
#include "controls/MyCollectionView.h"
#include "core/AppNotifier.h"

#include <QAbstractItemModelTester>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QWheelEvent>

namespace {

TEST(PieSlices, FollowOneAnotherClockwiseFromTwelveOClock)
{
    const std::vector<double> fractions = pieFractions({ 1, 1, 2 });
    EXPECT_EQ(fractions, (std::vector<double> { 0.25, 0.25, 0.5 }));
    const std::vector<PieSlice> slices = pieSlices(fractions);
    ASSERT_EQ(slices.size(), 3u);
    const double expected[][2] = { { 90, 0 }, { 0, -90 }, { -90, -270 } };
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(slices[i].startAngle, expected[i][0]) << i;
        EXPECT_DOUBLE_EQ(slices[i].endAngle, expected[i][1]) << i;
    }
    const std::vector<PieSlice> disc = pieSlices(pieFractions({ 42 }));
    ASSERT_EQ(disc.size(), 1u);
    EXPECT_DOUBLE_EQ(disc[0].startAngle - disc[0].endAngle, 360) << "a single value is a full turn";
    EXPECT_TRUE(pieFractions({ 0, 0 }).empty()) << "a total of 0 has no fractions";
    EXPECT_TRUE(pieFractions({}).empty());
}

TEST(PieSlices, ShadesStayWithinTheBrightnessRange)
{
    EXPECT_EQ(pieShade(QColor(20, 20, 20), -0.3).value(), 0);
    EXPECT_EQ(pieShade(QColor(0, 0, 255), -0.2).rgb(), QColor::fromHsvF(2 / 3.f, 1, 0.8f).rgb());
}

MMPieChartViewDataSource sourceOf(std::vector<double> values, qint64 count)
{
    MMPieChartViewDataSource source;
    source.numberOfPiecesForPieChartView = [count](MMPieChartView&) { return count; };
    source.valueForValueAtIndex
        = [values](MMPieChartView&, qint64 i) { return i < qint64(values.size()) ? values[i] : 0; };
    return source;
}

TEST_F(ControlsTest, PieChartDrawsNothingForZeroTotalAndRandomOpaqueColoursWithoutColourSource)
{
    MMPieChartView pie;
    pie.resize(220, 220);
    pie.dataSource = sourceOf({ 0, 0, 0 }, 3);
    pie.reloadData();
    EXPECT_EQ(renderOn(pie, Qt::white).pixelColor(110, 60), QColor(Qt::white));
    EXPECT_FALSE(pie.showKeys) << "no key source";
    ASSERT_EQ(pie.colorsArray().size(), 3u);
    for (const QColor& colour : pie.colorsArray())
        EXPECT_EQ(colour.alpha(), 255);

    pie.dataSource = sourceOf({ 5 }, 1);
    pie.dataSource->colorForValueAtIndex = [](MMPieChartView&, qint64) { return QColor(255, 0, 0); };
    pie.reloadData();
    const QImage disc = renderOn(pie, Qt::white);
    EXPECT_PIXEL(disc, 125, 22, QColor(255, 0, 0)) << "the top of the piece has its own colour";
    EXPECT_NE(disc.pixelColor(110, 200), QColor(Qt::white)) << "a full disc";
    EXPECT_EQ(disc.pixelColor(110, 200).red() < 230, true) << "darker towards the bottom";
}

struct SectionCase {
    const char* name;
    std::vector<qint64> lengths;
    int files;
    std::vector<ImageDirectoryLoader::SectionAttributes> expected;
    qint64 numberOfSections;
    friend void PrintTo(const SectionCase& c, std::ostream* os) { *os << c.name; }
};

class Sections : public ::testing::TestWithParam<SectionCase> { };

TEST_P(Sections, AreBuiltFromTheWantedLengths)
{
    const SectionCase& c = GetParam();
    ImageDirectoryLoader loader;
    loader.singleSectionMode = false;
    loader.sectionLengthArray = c.lengths;
    QList<QUrl> urls;
    for (int i = 0; i < c.files; ++i)
        urls.append(QUrl::fromLocalFile(QStringLiteral("/photos/%1.jpg").arg(i)));
    loader.loadImageFiles(urls);
    EXPECT_EQ(loader.sectionsAttributesArray, c.expected);
    EXPECT_EQ(loader.numberOfSections, c.numberOfSections);
}

INSTANTIATE_TEST_SUITE_P(ImageDirectoryLoader, Sections,
    ::testing::Values(SectionCase { "AllFit", { 3, 2, 4 }, 9, { { 0, 3 }, { 3, 2 }, { 5, 4 } }, 3 },
        SectionCase { "LastCut", { 3, 2, 4 }, 7, { { 0, 3 }, { 3, 2 }, { 5, 2 } }, 3 },
        SectionCase { "EndReachedEarly", { 3, 2, 4 }, 5, { { 0, 3 }, { 3, 2 } }, 2 },
        SectionCase { "FilesLeftOver", { 3, 2 }, 10, { { 0, 3 }, { 3, 2 } }, 2 },
        SectionCase { "SingleLength", { 4 }, 6, { { 0, 6 } }, 1 },
        SectionCase { "FirstLengthTooLong", { 6, 2 }, 6, { { 0, 6 } }, 1 },
        SectionCase { "NoFiles", { 2, 3 }, 0, { { 0, 0 } }, 1 },
        SectionCase { "NegativeLengthIsEmpty", { 2, -5, 3 }, 9, { { 0, 2 }, { 2, 0 }, { 2, 3 } }, 3 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageDirectoryLoader, KeepsItsFilesWhenReloadedWithoutUrls)
{
    ImageDirectoryLoader loader;
    loader.loadImageFiles(QList<QUrl> { QUrl::fromLocalFile("/a/x.png"), QUrl::fromLocalFile("/a/y.png") });
    EXPECT_EQ(loader.sectionsAttributesArray, (std::vector<ImageDirectoryLoader::SectionAttributes> { { 0, 2 } }));
    loader.singleSectionMode = false;
    loader.sectionLengthArray = { 1, 1 };
    loader.loadImageFiles();
    EXPECT_EQ(loader.imageFiles.size(), 2u);
    EXPECT_EQ(loader.imageFiles[1]->fileName, QStringLiteral("y.png"));
    EXPECT_EQ(loader.sectionsAttributesArray.size(), 2u);
}

TEST(ImageDirectoryLoader, FilesFedByTheirNumberAreReadOnlyWhenAsked)
{
    ImageDirectoryLoader loader;
    int reads = 0;
    loader.loadImageFiles(5, [&reads](qint64 i) { return ++reads, QStringLiteral("n%1").arg(i); });
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(loader.sectionsAttributesArray, (std::vector<ImageDirectoryLoader::SectionAttributes> { { 0, 5 } }));
    ASSERT_EQ(loader.imageFiles.size(), 5u);
    EXPECT_EQ(loader.imageFiles[3]->fileName, QStringLiteral("n3"));
    EXPECT_EQ(reads, 1);
}

// A grid of the sections (their titles and counts of items) shown, in three
// columns of 100 x 100 with 10 points between them, a margin of 10 and
// headers 40 high, in a view 400 x 300.
void showSections(
    MyCollectionView& grid, QStandardItemModel& model, std::initializer_list<std::pair<const char*, int>> sections)
{
    for (const auto& [title, count] : sections) {
        auto* section = new QStandardItem(QString::fromLatin1(title));
        for (int i = 0; i < count; ++i)
            section->appendRow(new QStandardItem(QStringLiteral("item %1").arg(i)));
        model.appendRow(section);
    }
    grid.setItemSize(QSize(100, 100));
    grid.resize(400, 300);
    grid.setModel(&model);
    grid.show();
}

// Two sections of 5 and 2 items.
class Grid : public ControlsTest {
protected:
    void SetUp() override
    {
        showSections(grid, model, { { "group", 5 }, { "group", 2 } });
        grid.setMenu(&menu);
        menu.addAction(QStringLiteral("Mark"));
    }
    void TearDown() override { menu.close(); }

    // The viewport point inside item (section, item).
    QPoint inside(int section, int item) const
    {
        return grid.itemFrame({ section, item }).center() - QPoint(0, grid.verticalScrollBar()->value());
    }
    std::vector<IndexPath> selected() const
    {
        std::vector<IndexPath> paths;
        for (const QModelIndex& index : grid.selectionIndexPaths())
            paths.push_back(*grid.indexPath(index));
        std::sort(paths.begin(), paths.end(),
            [](auto a, auto b) { return std::tie(a.section, a.item) < std::tie(b.section, b.item); });
        return paths;
    }

    QStandardItemModel model;
    QAbstractItemModelTester tester { &model };
    MyCollectionView grid;
    QMenu menu;
};

TEST_F(Grid, HitTestsFindItemsAndNothingBetweenThem)
{
    ASSERT_EQ(grid.columnCount(), 3);
    const struct {
        QPoint at;
        std::optional<IndexPath> expected;
    } cases[] = {
        { { 15, 55 }, IndexPath { 0, 0 } }, { { 125, 55 }, IndexPath { 0, 1 } },
        { { 115, 55 }, std::nullopt }, // the gap between two items
        { { 20, 20 }, std::nullopt }, // the header
        { { 130, 175 }, IndexPath { 0, 4 } }, { { 240, 175 }, std::nullopt }, // where a sixth item would be
        { { 15, 280 }, std::nullopt }, // the second section's header
    };
    for (const auto& c : cases) {
        EXPECT_EQ(grid.indexPathForItemAtPoint(c.at), c.expected) << c.at.x() << "," << c.at.y();
    }
    // The second section starts below the first: 40 + 10 + 210 + 10.
    EXPECT_EQ(grid.headerFrame(1).top(), 270);
    EXPECT_EQ(grid.indexPathForItemAtPoint(QPoint(15, 270 + 55)), std::optional<IndexPath>(IndexPath { 1, 0 }));
}

TEST_F(Grid, RightClickOnAnItemOfAMultiSelectionSelectsOnlyItAndNotifiesItsPlace)
{
    grid.selectItem({ 0, 0 });
    grid.selectItem({ 0, 4 });
    QSignalSpy notified(&AppNotifier::instance(), &AppNotifier::cellselection);
    std::vector<IndexPath> selectedWhenNotified;
    QObject::connect(
        &AppNotifier::instance(), &AppNotifier::cellselection, &grid, [&] { selectedWhenNotified = selected(); });

    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, inside(0, 4));
    ASSERT_EQ(notified.size(), 1);
    EXPECT_EQ(notified[0][0].value<IndexPath>(), (IndexPath { 0, 4 }));
    EXPECT_EQ(selectedWhenNotified.size(), 2u) << "observers hear before the selection moves";
    EXPECT_EQ(selected(), (std::vector<IndexPath> { { 0, 4 } }));
    EXPECT_TRUE(menu.isVisible());
}

TEST_F(Grid, RightClickBetweenItemsChangesNothing)
{
    grid.selectItem({ 0, 1 });
    QSignalSpy notified(&AppNotifier::instance(), &AppNotifier::cellselection);
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, QPoint(115, 55));
    EXPECT_EQ(notified.size(), 0);
    EXPECT_EQ(selected(), (std::vector<IndexPath> { { 0, 1 } }));
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(grid.menuForEvent(QPoint(115, 55)), nullptr);
}

TEST_F(Grid, ArrowKeysMoveTheSelectionAcrossRowsAndSections)
{
    const struct {
        Qt::Key key;
        IndexPath expected;
    } steps[] = {
        { Qt::Key_Right, { 0, 0 } }, // nothing selected yet: the first item
        { Qt::Key_Down, { 0, 3 } }, { Qt::Key_Right, { 0, 4 } },
        { Qt::Key_Down, { 1, 1 } }, // into the next section, same column
        { Qt::Key_Left, { 1, 0 } }, { Qt::Key_Left, { 0, 4 } }, { Qt::Key_Up, { 0, 1 } },
        { Qt::Key_Up, { 0, 1 } }, // the first row of the first section
    };
    for (const auto& step : steps) {
        QTest::keyClick(&grid, step.key);
        EXPECT_EQ(selected(), (std::vector<IndexPath> { step.expected }))
            << step.expected.section << ":" << step.expected.item;
    }
}

TEST_F(Grid, VisibleItemsFollowTheScrollPosition)
{
    grid.resize(400, 150);
    grid.verticalScrollBar()->setValue(270);
    ASSERT_EQ(grid.verticalScrollBar()->value(), 270);
    const std::vector<IndexPath> visible = grid.indexPathsForVisibleItems();
    ASSERT_FALSE(visible.empty());
    EXPECT_EQ(visible.front(), (IndexPath { 1, 0 }));
    EXPECT_EQ(visible.back(), (IndexPath { 1, 1 }));
}

// A group of 40 items (14 rows of three) and one of 12 after it.
class PinnedHeaders : public ControlsTest {
protected:
    void SetUp() override { showSections(grid, model, { { "forty pictures", 40 }, { "twelve pictures", 12 } }); }

    void wheel(int notches)
    {
        const QPointF at(150, 150);
        QWheelEvent event(at, grid.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid.viewport(), &event);
    }
    // The view as shown, and a header band of section's as the grid draws it.
    QImage shown() const { return grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage header(int section) const
    {
        QImage band(grid.viewport()->width(), grid.headerHeight(), QImage::Format_RGB32);
        QPainter painter(&band);
        painter.fillRect(band.rect(), grid.viewport()->palette().brush(grid.viewport()->backgroundRole()));
        HeaderView::paint(painter, band.rect(), model.item(section)->text(), QString());
        return band;
    }

    QStandardItemModel model;
    MyCollectionView grid;
};

// While a group's rows are in view its header stands at the top, over the
// rows scrolling under it, however the view was scrolled; a click on it is a
// click on a header, which leaves every item unselected.
TEST_F(PinnedHeaders, AGroupsHeaderStandsAtTheTopWhileItsRowsAreInView)
{
    const QImage first = header(0);
    wheel(4);
    wheel(4);
    const int scrolled = grid.verticalScrollBar()->value();
    ASSERT_GT(scrolled, 300);
    EXPECT_EQ(shown().copy(first.rect()), first) << "wheel to " << scrolled;
    for (const int value : { 41, 700, 1200 }) {
        grid.verticalScrollBar()->setValue(value);
        EXPECT_EQ(shown().copy(first.rect()), first) << "scroll bar at " << value;
    }

    // An item lies under the header: the click does not reach it.
    grid.verticalScrollBar()->setValue(700);
    const QPoint onHeader(30, 20);
    const std::optional<IndexPath> under = grid.indexPathForItemAtPoint(onHeader + QPoint(0, 30));
    ASSERT_TRUE(under.has_value());
    EXPECT_EQ(grid.indexPathForItemAtPoint(onHeader), std::nullopt);
    grid.selectItem({ 0, 39 });
    grid.verticalScrollBar()->setValue(700);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, onHeader);
    EXPECT_TRUE(grid.selectionIndexPaths().isEmpty());
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, onHeader);
    EXPECT_FALSE(grid.clickedIndexPath().has_value());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, onHeader + QPoint(0, 30));
    EXPECT_EQ(grid.selectionIndexPaths().size(), 1);
}

// The next group's header pushes it up as it comes, and stands at the top
// once the group's rows are gone.
TEST_F(PinnedHeaders, TheNextGroupsHeaderPushesItUpAndTakesItsPlace)
{
    // The second group's header starts at 40 + 10 + 14 rows + 10 = 1590.
    ASSERT_EQ(grid.headerFrame(1).top(), 1590);
    const QImage first = header(0);
    const QImage second = header(1);
    grid.verticalScrollBar()->setValue(1590 - 15);
    const QImage view = shown();
    EXPECT_EQ(view.copy(0, 0, first.width(), 15), first.copy(0, 25, first.width(), 15));
    EXPECT_EQ(view.copy(0, 15, second.width(), 40), second);

    grid.verticalScrollBar()->setValue(1590 + 5);
    EXPECT_EQ(shown().copy(second.rect()), second);
    EXPECT_NE(shown().copy(first.rect()), first);
}

// The item the keyboard moves to up the rows comes into view below the header
// pinned over them, never under it.
TEST_F(PinnedHeaders, AnItemMovedToByTheKeyboardStandsBelowThePinnedHeader)
{
    grid.setFocus();
    grid.selectItem({ 0, 39 }, QItemSelectionModel::ClearAndSelect);
    for (int row = 12; row > 0; --row) {
        QTest::keyClick(&grid, Qt::Key_Up);
        const QModelIndexList selected = grid.selectionIndexPaths();
        ASSERT_EQ(selected.size(), 1);
        const QRect frame = grid.itemFrame(*grid.indexPath(selected.front()));
        EXPECT_GE(frame.top() - grid.verticalScrollBar()->value(), grid.headerHeight()) << "row " << row;
        EXPECT_EQ(grid.indexPathForItemAtPoint(frame.center() - QPoint(0, grid.verticalScrollBar()->value())),
            grid.indexPath(selected.front()));
    }
}

// The grid feeds its loader again at every change of the model's shape, and
// answers from it; without rows it shows no section.
TEST_F(Grid, SectionsFollowTheLoaderAsTheModelChanges)
{
    model.item(1)->appendRow(new QStandardItem(QStringLiteral("item 2")));
    const ImageDirectoryLoader& loader = grid.sectionLoader();
    EXPECT_EQ(loader.sectionLengthArray, (std::vector<qint64> { 5, 3 }));
    ASSERT_EQ(loader.imageFiles.size(), 8u);
    EXPECT_EQ(loader.imageFiles[7]->fileName, QStringLiteral("item 2"));
    EXPECT_EQ(grid.numberOfItemsInSection(1), 3);
    model.removeRows(0, 2);
    EXPECT_EQ(grid.numberOfSections(), 0);
}

} // namespace
