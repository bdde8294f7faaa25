#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "controls/CustomTableView.h"
#include "controls/ImageDirectoryLoader.h"
#include "controls/MMPieChartView.h"
#include "controls/MyCollectionView.h"
#include "controls/NamedImage.h"
#include "core/AppStartup.h"
#include "platform/FileRemover.h"
#include "platform/ImageProcessing.h"
#include "results/CategoryPie.h"
#include "results/PreviewLoader.h"
#include "results/PreviewPane.h"
#include "results/ResultContextMenu.h"
#include "results/ResultViewController.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "results/ThumbnailCell.h"
#include "results/ThumbnailProvider.h"
#include "scan/ScanSources.h"
#include "support/CameraPictures.h"
#include "support/ChildProcess.h"
#include "support/EndlessAnswers.h"
#include "support/FakeHttpServer.h"
#include "support/HandClock.h"
#include "support/HeldLargeDecode.h"
#include "support/HostilePictures.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

namespace {

using Cat = GlobalObjects::FileCategory;

// One group per list of categories (-1: no category); each group's files are
// smaller than the last group's, so the groups show in the order given.
std::vector<DuplicateGroupPtr> groupsOf(const std::vector<std::vector<int>>& specs, const QString& folder = "/data")
{
    std::vector<DuplicateGroupPtr> groups;
    int n = 0;
    for (const auto& categories : specs) {
        auto group = std::make_shared<DuplicateGroup>();
        for (int category : categories) {
            auto file = std::make_shared<FileInfoNode>();
            file->fileName = QStringLiteral("f%1.jpg").arg(n++);
            file->filePath = folder + "/" + *file->fileName;
            const std::size_t shift = 4 * groups.size();
            file->fileSize = shift < 32 ? quint64(100000 >> shift) : 0;
            if (category >= 0)
                file->fileCategory = Cat(category);
            addFileToGroup(group, file);
        }
        groups.push_back(group);
    }
    return groups;
}

TEST(CategoryPie, SharesFollowTheFirstCategorisedFileOfEachGroup)
{
    const int D = 0, P = 1, V = 3, O = 5, none = -1;
    struct Case {
        std::vector<std::vector<int>> groups;
        CategoryPie::Percentages expected;
    } cases[] = {
        { { { P, P, P }, { D, D } }, { 40, 60, 0, 0, 0, 0 } }, { { { O, V, V } }, { 0, 0, 0, 100, 0, 0 } },
        { { { none, P, P } }, { 0, 0, 0, 0, 0, 100 } }, { { { P }, { D, D } }, { 100, 0, 0, 0, 0, 0 } },
        { { { O, O } }, { 0, 0, 0, 0, 0, 100 } }, { { { D, D, D }, { V } }, { 100, 0, 0, 0, 0, 0 } },
        { { { P } }, { 0, 0, 0, 0, 0, 0 } }, // nothing counts: no division by zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(CategoryPie::percentages(groupsOf(c.groups)), c.expected);
    EXPECT_EQ(CategoryPie::percentText(37.5), "37.50%");
    EXPECT_EQ(CategoryPie::percentText(0), "0.00%");
}

class ResultsGrid : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(alerts);
        startApplicationCore(defaults);
        screen = std::make_unique<ResultViewController>(
            defaults, std::make_shared<ScanSources>(defaults), std::make_shared<FaultyFileRemover>());
        screen->setDelayedCalls(clock);
        screen->setAttribute(Qt::WA_DontShowOnScreen);
        screen->viewDidLoad();
        screen->show();
        new QAbstractItemModelTester(
            &screen->gridModel(), QAbstractItemModelTester::FailureReportingMode::Fatal, screen.get());
    }
    void TearDown() override
    {
        screen.reset();
        setAlertPresenter(nullptr);
    }

    TempHome home;
    UserDefaults defaults { home.path() + QStringLiteral("/settings") };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::shared_ptr<HandClock> clock = std::make_shared<HandClock>();
    std::unique_ptr<ResultViewController> screen;
};

TEST_F(ResultsGrid, SectionsHeadersHitTestsAndVisibleRange)
{
    screen->loadScanResults(groupsOf({ { 1, 1, 1 }, { 1, 1 }, { 1, 1, 1, 1 } }), 6, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    MyCollectionView* grid = screen->collDuplicates();
    grid->resize(720 + grid->verticalScrollBar()->sizeHint().width(), 300);
    ASSERT_EQ(grid->columnCount(), 3);
    ASSERT_EQ(grid->numberOfSections(), 3);
    EXPECT_EQ(grid->numberOfItemsInSection(2), 4);
    const QModelIndex section = screen->gridModel().index(0, 0);
    EXPECT_EQ(section.data().toString(), "Duplicate Group 1");
    EXPECT_TRUE(section.data(MyCollectionView::sectionCountRole).toString().startsWith("3 items, "));

    const QRect last = grid->itemFrame({ 2, 3 });
    EXPECT_EQ(grid->itemFrame({ 2, 0 }).left(), last.left()); // fourth item wraps to a second row
    EXPECT_GT(last.top(), grid->itemFrame({ 2, 2 }).top());
    EXPECT_FALSE(grid->indexPathForItemAtPoint(grid->headerFrame(1).center()));
    EXPECT_FALSE(grid->indexPathForItemAtPoint(grid->itemFrame({ 0, 0 }).topRight() + QPoint(5, 10)));

    const auto visible = [grid] { return grid->indexPathsForVisibleItems(); };
    const auto shows = [&](IndexPath path) { return std::ranges::count(visible(), path) == 1; };
    EXPECT_TRUE(shows({ 0, 0 }));
    EXPECT_FALSE(shows({ 2, 3 }));
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    EXPECT_TRUE(shows({ 2, 3 }));
    EXPECT_FALSE(shows({ 0, 0 }));
    const QPoint centre = last.center() - QPoint(0, grid->verticalScrollBar()->value());
    EXPECT_EQ(grid->indexPathForItemAtPoint(centre), (IndexPath { 2, 3 }));
}

// The grid's loader is fed one length per shown group and one file per shown
// file, and the grid's sections are the loader's, through a category filter.
TEST_F(ResultsGrid, SectionsAndItemsComeFromTheLoaderFedWithTheShownGroups)
{
    screen->loadScanResults(groupsOf({ { 1, 1, 0 }, { 0, 0 }, { 1, 0, 1, 1 } }), 9, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    MyCollectionView* grid = screen->collDuplicates();
    const ImageDirectoryLoader& loader = grid->sectionLoader();
    EXPECT_EQ(loader.sectionLengthArray, (std::vector<qint64> { 3, 2, 4 }));
    ASSERT_EQ(grid->numberOfSections(), 3);
    EXPECT_EQ(grid->numberOfItemsInSection(2), 4);

    ASSERT_EQ(screen->state().selectCategory(Cat::Pic), ResultsState::CategoryOutcome::shown);
    EXPECT_EQ(loader.sectionLengthArray, (std::vector<qint64> { 2, 3 }));
    ASSERT_EQ(loader.imageFiles.size(), 5u);
    EXPECT_EQ(loader.imageFiles[2]->fileName, QStringLiteral("f5.jpg"));
    ASSERT_EQ(grid->numberOfSections(), 2);
    EXPECT_EQ(grid->numberOfItemsInSection(1), 3);
}

TEST_F(ResultsGrid, AMarkInTheGridShowsInEveryViewAndSelectsTheItem)
{
    auto groups = groupsOf({ { 1, 1, 1 } });
    screen->loadScanResults(groups, 2, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    QSignalSpy list(&screen->listModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy tree(&screen->model(), &QAbstractItemModel::dataChanged);
    const QModelIndex item = screen->gridModel().indexOfItem(0, 1);

    screen->gridCheckBoxTapped({ 0, 1 });
    EXPECT_TRUE(groups[0]->children[1]->isMarked());
    EXPECT_EQ(item.data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    EXPECT_GE(list.count(), 1);
    EXPECT_GE(tree.count(), 1);
    ASSERT_EQ(screen->currentSelectedIndexs().size(), 1);
    EXPECT_EQ(screen->currentSelectedIndexs().front(), QPersistentModelIndex(item));

    // The last unmarked file of the group is refused; the item stays unmarked.
    screen->gridCheckBoxTapped({ 0, 0 });
    screen->gridCheckBoxTapped({ 0, 2 });
    EXPECT_EQ(screen->gridModel().indexOfItem(0, 2).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    EXPECT_NE(ThumbnailCell::stripColor(*groups[0]->children[2]), ThumbnailCell::stripColor(*groups[0]->children[1]));

    screen->loadScanResults(groupsOf({ { 1, 1 } }), 1, ScanSource::thisComputer);
    EXPECT_TRUE(screen->currentSelectedIndexs().isEmpty());
    EXPECT_EQ(screen->piePercentLabel(1)->text(), "100.00%");
}

// The grid offers the file menu of the list: a right click selects the item
// under the pointer, and the menu's items act on that item's file.
TEST_F(ResultsGrid, RightClickOnAnItemOpensTheFileMenuForThatItem)
{
    auto groups = groupsOf({ { 1, 1, 1 }, { 1, 1 } });
    screen->loadScanResults(groups, 3, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    MyCollectionView* grid = screen->collDuplicates();
    grid->resize(720 + grid->verticalScrollBar()->sizeHint().width(), 700);
    const auto fileAt = [this](IndexPath path) {
        return screen->gridModel().fileOf(screen->gridModel().indexOfItem(path.section, path.item));
    };
    const auto rightClick = [grid](QPoint pos) {
        QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, pos);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };
    const auto centre = [grid](IndexPath path) {
        return grid->itemFrame(path).center() - QPoint(0, grid->verticalScrollBar()->value());
    };
    const auto choose = [](QMenu* menu, QAction* item) {
        ASSERT_TRUE(item->isEnabled()) << item->objectName().toStdString();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    };
    ResultContextMenu& context = screen->contextMenu();

    grid->selectItem({ 0, 0 });
    QMenu* menu = rightClick(centre({ 0, 2 }));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, context.menu());
    EXPECT_EQ(grid->selectionIndexPaths(), QModelIndexList({ screen->gridModel().indexOfItem(0, 2) }));
    EXPECT_EQ(context.clickedFile(), fileAt({ 0, 2 }));
    for (QAction* item : { context.menuItemOpen(), context.menuItemRevealInFinder(), context.menuItemQuickLook() })
        EXPECT_TRUE(item->isEnabled());
    choose(menu, context.menuItemMark());
    EXPECT_TRUE(groups[0]->children[2]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 1);

    // Another item: Remove from list takes exactly that file away.
    menu = rightClick(centre({ 1, 0 }));
    ASSERT_NE(menu, nullptr);
    choose(menu, context.menuItemMoveToTrash());
    EXPECT_EQ(screen->state().arrGroups, (std::vector { groups[0] }));
    EXPECT_EQ(groups[0]->children.size(), 3u);

    // Between the items: no menu, the selection as it was.
    const QModelIndexList before = grid->selectionIndexPaths();
    EXPECT_EQ(rightClick(grid->itemFrame({ 0, 0 }).topRight() + QPoint(5, 10)), nullptr);
    EXPECT_EQ(grid->selectionIndexPaths(), before);
}

// A locked file wears the lock where the box stands, and no road of the
// screen marks it: a click there, Space in the grid or the list.
TEST_F(ResultsGrid, ALockedFileShowsTheLockInPlaceOfItsBoxAndNoClickOrKeyMarksIt)
{
    auto groups = groupsOf({ { 1, 1, 1 }, { 1, 1 } });
    const FileInfoNodePtr locked = groups[0]->children[1];
    locked->isLocked = true;
    screen->loadScanResults(groups, 3, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    MyCollectionView* grid = screen->collDuplicates();
    grid->resize(720 + grid->verticalScrollBar()->sizeHint().width(), 700);
    QApplication::processEvents();
    const auto boxOf = [grid](IndexPath path) {
        return ThumbnailCell::layoutFor(grid->itemFrame(path)).checkBox.translated(0, -grid->verticalScrollBar()->value());
    };
    EXPECT_FALSE(screen->gridModel().indexOfItem(0, 1).data(Qt::CheckStateRole).isValid());
    EXPECT_EQ(screen->gridModel().indexOfItem(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);

    // Drawn: the lock differs from an unmarked box, which reads alike on
    // every unlocked item.
    ASSERT_FALSE(NamedImage::load(QStringLiteral("lock_icon")).isNull());
    const QImage shown = grid->viewport()->grab().toImage();
    const QImage box = shown.copy(boxOf({ 0, 0 }));
    EXPECT_EQ(shown.copy(boxOf({ 0, 2 })), box);
    EXPECT_NE(shown.copy(boxOf({ 0, 1 })), box);

    // A click on the lock selects the item and marks nothing.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, boxOf({ 0, 1 }).center());
    EXPECT_FALSE(locked->isMarked());
    EXPECT_EQ(grid->selectionIndexPaths(), QModelIndexList({ screen->gridModel().indexOfItem(0, 1) }));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_FALSE(locked->isMarked());
    // With other items Space marks those and still not the locked one.
    grid->selectItem({ 0, 0 });
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_TRUE(groups[0]->children[0]->isMarked());
    EXPECT_FALSE(locked->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 1);
    // The box of an unlocked file still marks it.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, boxOf({ 1, 0 }).center());
    EXPECT_TRUE(groups[1]->children[0]->isMarked());

    // The list hides the box; Space on the row leaves the file unmarked.
    screen->menuItemSelected(0);
    CustomTableView* list = screen->tblDuplicates();
    const auto listRowOf = [this](const FileInfoNodePtr& file) {
        for (int row = 0; row < screen->listModel().rowCount(); ++row) {
            if (screen->model().fileOfListRow(row) == file)
                return row;
        }
        return -1;
    };
    const int row = listRowOf(locked);
    ASSERT_GE(row, 0);
    list->setFocus();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(screen->listModel().index(row, 1)).center());
    alerts->shown.clear();
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(locked->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 2);
    EXPECT_TRUE(alerts->shown.empty());
}

// The grid goes back to its start when the groups it shows change, and keeps
// its place while only marks change.
TEST_F(ResultsGrid, AChangeOfTheShownGroupsShowsTheGridFromItsStart)
{
    std::vector<std::vector<int>> specs;
    for (int g = 0; g < 24; ++g)
        specs.push_back({ g % 2, g % 2, g % 2 });
    screen->resize(960, 620);
    screen->loadScanResults(groupsOf(specs), 24, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    clock->advance();
    QApplication::processEvents();
    MyCollectionView* grid = screen->collDuplicates();
    QScrollBar* bar = grid->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 2 * grid->viewport()->height());
    const auto scrollDown = [bar] {
        bar->setValue(bar->maximum() / 2);
        return bar->value();
    };
    const auto click = [this](const char* name) {
        auto* button = screen->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        ASSERT_TRUE(button->isEnabled()) << name;
        QTest::mouseClick(button, Qt::LeftButton);
        clock->advance();
    };

    // A mark keeps the place.
    const IndexPath middle { 12, 0 };
    bar->setValue(grid->headerFrame(middle.section).top());
    const int place = bar->value();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
        ThumbnailCell::layoutFor(grid->itemFrame(middle)).checkBox.translated(0, -place).center());
    EXPECT_EQ(screen->state().countMarked(), 1);
    EXPECT_EQ(bar->value(), place);

    click("btnImagesItems");
    EXPECT_EQ(screen->state().arrGroups.size(), 12u);
    EXPECT_EQ(bar->value(), 0);
    scrollDown();
    click("btnAllItems");
    EXPECT_EQ(bar->value(), 0);

    // A new result set, shown in the grid again.
    scrollDown();
    screen->loadScanResults(groupsOf(specs), 24, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    EXPECT_EQ(bar->value(), 0);
}

// What the grid and the preview pane show of each picture, through the
// screen: a re-exported photo (progressive, colours at full resolution), a
// camera's largest picture, a PNG saved as .jpg, a JPEG cut short half way
// (and one of arithmetic codes cut at 60 %) and a progressive one cut after
// its first scan show; a damaged picture, one refused for a bound, a drawing
// saved as .png and a JPEG cut short before a tenth of it was decoded (before its scan's data, a photo's first 8,000
// bytes, a camera picture's first twentieth) show their type's icon in both,
// never the placeholder of a picture on its way nor a grey box.
TEST_F(ResultsGrid, EveryPictureShowsItselfOrItsTypeInTheGridAndThePreview)
{
    QImage drawn(400, 200, QImage::Format_RGB32);
    drawn.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    drawn.save(&buffer, "PNG");
    const QString folder = home.path();
    ASSERT_TRUE(CameraPictures::write(folder + "/camera.jpg", { 6000, 4000, CameraPictures::Chroma::full, true }));
    ASSERT_TRUE(CameraPictures::write(folder + "/hundred.jpg", { 11648, 8736 }));
    writeTestFile(folder + "/download.jpg", png);
    writeTestFile(folder + "/damaged.jpg", "\xFF\xD8\xFF\xE0 not really a picture");
    writeTestFile(folder + "/scans.jpg", HostilePictures::manyScanJpeg(8192, 8192, 2000));
    writeTestFile(folder + "/drawing.png", HostilePictures::vectorReferringTo("#none").replace("<image", "<rect"));
    ASSERT_TRUE(
        CameraPictures::write(folder + "/whole.jpg", { 640, 480, CameraPictures::Chroma::halfBothWays, false, 12 }));
    const QByteArray whole = readTestFile(folder + "/whole.jpg");
    const qsizetype scan = whole.indexOf("\xff\xda");
    ASSERT_GT(scan, 0);
    // Its headers and the header of its one scan, then nothing.
    writeTestFile(folder + "/cut.jpg", whole.left(scan + 2 + (quint8(whole[scan + 2]) << 8 | quint8(whole[scan + 3]))));
    writeTestFile(folder + "/half.jpg", whole.left(whole.size() / 2));
    const QByteArray photo = readTestFile(folder + "/camera.jpg");
    writeTestFile(folder + "/start.jpg", photo.left(8000));
    writeTestFile(folder + "/coarse.jpg", photo.left(CameraPictures::firstScanData(photo).end));
    const QByteArray large = readTestFile(folder + "/hundred.jpg");
    writeTestFile(folder + "/strip.jpg", large.left(CameraPictures::firstScanData(large).at(0.05)));
    ASSERT_TRUE(CameraPictures::write(
        folder + "/arithmetic.jpg", { 640, 480, CameraPictures::Chroma::halfBothWays, false, 12, 90, 0, true }));
    const QByteArray arithmetic = readTestFile(folder + "/arithmetic.jpg");
    writeTestFile(folder + "/arithmetic.jpg", arithmetic.left(arithmetic.size() * 6 / 10));
    const QStringList shown { "camera.jpg", "hundred.jpg", "download.jpg", "half.jpg", "coarse.jpg", "arithmetic.jpg" };
    const QStringList typed { "damaged.jpg", "scans.jpg", "drawing.png", "cut.jpg", "start.jpg", "strip.jpg" };
    auto group = std::make_shared<DuplicateGroup>();
    for (const QString& name : shown + typed) {
        auto file = std::make_shared<FileInfoNode>();
        file->fileName = name;
        file->filePath = folder + "/" + name;
        file->fileSize = 1000;
        file->fileCategory = Cat::Pic;
        addFileToGroup(group, file);
    }
    screen->loadScanResults({ group }, 4, ScanSource::thisComputer);
    screen->resize(1400, 900);
    QTest::mouseClick(screen->findChild<QAbstractButton*>("btnThumbnailView"), Qt::LeftButton);
    MyCollectionView* grid = screen->collDuplicates();
    ASSERT_TRUE(QTest::qWaitFor([grid] { return grid->isVisible(); }));
    const int items = int(shown.size() + typed.size());
    ASSERT_EQ(grid->numberOfItemsInSection(0), items);
    ASSERT_EQ(grid->indexPathsForVisibleItems().size(), items);
    ThumbnailProvider& pictures = screen->thumbnails();
    const auto fileAt = [&](int item) { return screen->gridModel().fileOf(screen->gridModel().indexOfItem(0, item)); };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            clock->advance();
            for (int item = 0; item < items; ++item) {
                if (!pictures.cached(*fileAt(item)))
                    return false;
            }
            return true;
        },
        30'000));

    const QImage view = grid->viewport()->grab().toImage();
    PreviewPane& preview = screen->previewPane();
    for (int item = 0; item < items; ++item) {
        const FileInfoNodePtr file = fileAt(item);
        const QString name = *file->fileName;
        const QImage picture = *pictures.cached(*file);
        const bool typeShown = typed.contains(name);
        ASSERT_FALSE(picture.isNull()) << name.toStdString();
        const QImage icon = typeIconForPath(name).pixmap(picture.size()).toImage();
        EXPECT_EQ(
            picture.convertToFormat(QImage::Format_ARGB32) == icon.convertToFormat(QImage::Format_ARGB32), typeShown)
            << name.toStdString();
        // The placeholder fills the picture's place; a picture or an icon
        // leaves the cell's own colour in its corner.
        const QRect place = ThumbnailCell::layoutFor(grid->itemFrame({ 0, item })).picture;
        EXPECT_EQ(view.pixelColor(place.topLeft() + QPoint(1, 1)), view.pixelColor(place.topLeft() - QPoint(4, 4)))
            << name.toStdString();

        grid->scrollToItem({ 0, item });
        const QRect frame = grid->itemFrame({ 0, item }).translated(0, -grid->verticalScrollBar()->value());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(frame.center().x(), frame.bottom() - 30));
        ASSERT_TRUE(QTest::qWaitFor([&] {
            clock->advance();
            return preview.previewPath() == *file->filePath;
        })) << name.toStdString();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                clock->advance();
                return preview.previewForFiles()->hasIcon() || !preview.previewForFiles()->image().isNull();
            },
            30'000))
            << name.toStdString();
        EXPECT_EQ(preview.previewForFiles()->hasIcon(), typeShown) << name.toStdString();
    }
}

// A group of pictures, all in the first group of the grid, in the order given.
DuplicateGroupPtr pictureGroup(const QStringList& paths)
{
    auto group = std::make_shared<DuplicateGroup>();
    for (const QString& path : paths) {
        auto file = std::make_shared<FileInfoNode>();
        file->fileName = QFileInfo(path).fileName();
        file->filePath = path;
        file->fileSize = 1000;
        file->fileCategory = Cat::Pic;
        addFileToGroup(group, file);
    }
    return group;
}

// The smallest progressive JPEG of a camera whose decoder's buffer is over
// the bound of the pictures decoded side by side: it waits for its turn.
QByteArray largeProgressiveJpeg(const QString& folder)
{
    const QString path = folder + "/large.jpg";
    EXPECT_TRUE(CameraPictures::write(path, { 4000, 3000, CameraPictures::Chroma::full, true }));
    return readTestFile(path);
}

int logLinesHolding(const QString& text)
{
    return int(readTestFile(AppPaths::logFile()).count(text.toUtf8()));
}

// Fifty large progressive JPEGs come first in the grid and five small PNGs
// after them, while another decode holds the turn of large pictures: the
// PNGs show, every large picture still waiting.
TEST_F(ResultsGrid, SmallPicturesShowWhileLargeOnesWaitForTheirTurn)
{
    const QString folder = home.path();
    const QByteArray large = largeProgressiveJpeg(folder);
    HeldLargeDecode held(large);
    ASSERT_TRUE(held.waitUntilHeld(30'000));
    QStringList larges;
    for (int n = 0; n < 50; ++n) {
        larges << folder + QStringLiteral("/large%1.jpg").arg(n, 2, 10, QLatin1Char('0'));
        writeTestFile(larges.back(), large);
    }
    QImage small(400, 300, QImage::Format_RGB32);
    small.fill(Qt::darkCyan);
    QStringList smalls;
    for (int n = 0; n < 5; ++n) {
        smalls << folder + QStringLiteral("/small%1.png").arg(n);
        ASSERT_TRUE(small.save(smalls.back()));
    }
    screen->loadScanResults({ pictureGroup(larges + smalls) }, 54, ScanSource::thisComputer);
    screen->resize(1400, 4400);
    QTest::mouseClick(screen->findChild<QAbstractButton*>("btnThumbnailView"), Qt::LeftButton);
    MyCollectionView* grid = screen->collDuplicates();
    ASSERT_TRUE(QTest::qWaitFor([grid] { return grid->isVisible(); }));
    ASSERT_EQ(grid->indexPathsForVisibleItems().size(), 55);
    ThumbnailProvider& pictures = screen->thumbnails();
    const auto cached = [&](const QString& path) {
        FileInfoNode file;
        file.filePath = path;
        return pictures.cached(file);
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            clock->advance();
            return std::ranges::all_of(smalls, [&](const QString& path) { return cached(path).has_value(); });
        },
        20'000));
    for (const QString& path : smalls)
        EXPECT_EQ(cached(path)->size(), QSize(194, 146)) << path.toStdString();
    for (const QString& path : larges)
        EXPECT_FALSE(cached(path)) << path.toStdString();
}

// A large picture whose turn did not come (another decode stuck on a read
// holds it) is shown neither as its type nor as a grey box, in the grid and
// in the preview pane, and shows in both once the turn is given back. The
// wait is made short here; the program waits half a minute.
TEST_F(ResultsGrid, ALargePictureWhoseTurnDidNotComeShowsOnceTheTurnIsGivenBack)
{
    ImageProcessingDetail::setLargeDecodeWaitForTests(200);
    const auto realWait = qScopeGuard([] { ImageProcessingDetail::setLargeDecodeWaitForTests(0); });
    const QString folder = home.path();
    const QByteArray large = largeProgressiveJpeg(folder);
    const QStringList paths { folder + "/first.jpg", folder + "/second.jpg" };
    for (const QString& path : paths)
        writeTestFile(path, large);
    auto held = std::make_unique<HeldLargeDecode>(large);
    ASSERT_TRUE(held->waitUntilHeld(30'000));

    screen->loadScanResults({ pictureGroup(paths) }, 1, ScanSource::thisComputer);
    screen->resize(1400, 900);
    QTest::mouseClick(screen->findChild<QAbstractButton*>("btnThumbnailView"), Qt::LeftButton);
    MyCollectionView* grid = screen->collDuplicates();
    ASSERT_TRUE(QTest::qWaitFor([grid] { return grid->isVisible(); }));
    ThumbnailProvider& pictures = screen->thumbnails();
    const QString waited = QStringLiteral("another large picture was still decoding");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            clock->advance();
            return logLinesHolding(waited) >= 2 && pictures.pendingCount() == 0;
        },
        20'000));
    const auto fileAt = [&](int item) { return screen->gridModel().fileOf(screen->gridModel().indexOfItem(0, item)); };
    for (int item = 0; item < 2; ++item)
        EXPECT_FALSE(pictures.cached(*fileAt(item))) << item;

    const QRect frame = grid->itemFrame({ 0, 0 });
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(frame.center().x(), frame.bottom() - 30));
    PreviewPane& preview = screen->previewPane();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            clock->advance();
            return preview.previewPath() == paths[0] && logLinesHolding(waited) >= 3;
        },
        20'000));
    QTest::qWait(50);
    EXPECT_FALSE(preview.previewForFiles()->hasIcon());
    EXPECT_TRUE(preview.previewForFiles()->image().isNull());

    held.reset();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            clock->advance();
            return pictures.cached(*fileAt(0)) && pictures.cached(*fileAt(1))
                && !preview.previewForFiles()->image().isNull();
        },
        30'000));
    for (int item = 0; item < 2; ++item)
        EXPECT_EQ(pictures.cached(*fileAt(item))->size(), QSize(194, 146)) << item;
    EXPECT_FALSE(preview.previewForFiles()->hasIcon());
}

TEST(Thumbnails, CorruptPicturesAndOtherFilesShowTheirTypeAndStaleAnswersAreDropped)
{
    TempHome home;
    const QString good = home.path() + "/good.png";
    const QString bad = home.path() + "/bad.jpg";
    QImage(400, 200, QImage::Format_RGB32).save(good);
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xFF\xD8\xFF\xE0 not really a picture");
    file.close();
    const auto node = [](const QString& path) {
        FileInfoNode n;
        n.filePath = path;
        n.fileCategory = Cat::Pic;
        return n;
    };

    // A picture claiming 20000 by 20000 pixels in 69 bytes.
    const QByteArray bomb(
        "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x4e\x20\x00\x00\x4e\x20"
        "\x08\x02\x00\x00\x00\x6c\x12\xd1\x6e\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63\x60\xa0\x0c\x00"
        "\x00\x00\x40\x00\x01\xb7\x34\x7c\xef\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
        69);
    QBuffer header;
    header.setData(bomb);
    EXPECT_TRUE(ThumbnailProvider::isDecompressionBomb(QImageReader(&header).size()));
    EXPECT_TRUE(ThumbnailProvider::decodePictureData(bomb, QSize(100, 100)).isNull());

    ThumbnailProvider provider(QSize(100, 100));
    QSignalSpy ready(&provider, &ThumbnailProvider::thumbnailReady);
    provider.request(node(good), ScanSource::thisComputer);
    provider.request(node(bad), ScanSource::thisComputer);
    EXPECT_FALSE(provider.cached(node(good))); // nothing until the answer is back
    ASSERT_TRUE(ready.wait() && (ready.count() == 2 || ready.wait()));
    EXPECT_EQ(provider.cached(node(good))->size(), QSize(100, 50));
    // The type's icon, half the cell, in place of the picture.
    EXPECT_EQ(provider.cached(node(bad))->size(), QSize(50, 50));

    provider.clear();
    provider.request(node(good), ScanSource::thisComputer);
    provider.clear();
    provider.waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(ready.count(), 2);
    EXPECT_FALSE(provider.cached(node(good)));

    // Any other file without a stored thumbnail shows its type's icon, also
    // where the desktop has no icon theme.
    FileInfoNode text = node(home.path() + "/notes.txt");
    text.fileCategory = Cat::Doc;
    provider.request(text, ScanSource::thisComputer);
    ASSERT_TRUE(ready.wait());
    EXPECT_FALSE(provider.cached(text)->isNull());

    // Music and video are never shown as a blank page: the desktop's icon of
    // their type, else our own image of their kind, each its own.
    const QImage blankPage = QApplication::style()
                                 ->standardIcon(QStyle::SP_FileIcon)
                                 .pixmap(50, 50)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
    std::vector<QImage> shown;
    for (const char* name : { "/song.mp3", "/clip.mp4" }) {
        FileInfoNode media = node(home.path() + name);
        media.fileCategory = Cat::Music;
        provider.request(media, ScanSource::thisComputer);
        ASSERT_TRUE(ready.wait()) << name;
        const QImage icon = provider.cached(media)->convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(icon.isNull()) << name;
        EXPECT_NE(icon.scaled(50, 50), blankPage) << name;
        shown.push_back(icon);
    }
    EXPECT_NE(shown[0], shown[1]);
}

TEST(Thumbnails, PicturesSwappedForFifosOrLinksAfterTheScanNeverHoldTheDecoders)
{
    TempHome home;
    const QString good = home.path() + "/good.png";
    QImage(400, 200, QImage::Format_RGB32).save(good);
    const QStringList fifos { home.path() + "/first.png", home.path() + "/second.jpg" };
    for (const QString& fifo : fifos)
        makeTestFifo(fifo);
    const QString link = home.path() + "/link.png";
    ASSERT_TRUE(QFile::link(good, link));
    auto provider = std::make_unique<ThumbnailProvider>(QSize(100, 100));
    // A reader left blocked on a FIFO is let go when the test ends, before
    // the provider goes, so that a failure here ends instead of hanging the run.
    const auto releaseReaders = qScopeGuard([&] {
        for (const QString& fifo : fifos) {
            const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0)
                ::close(writer);
        }
    });
    const auto node = [](const QString& path) {
        FileInfoNode n;
        n.filePath = path;
        n.fileCategory = Cat::Pic;
        return n;
    };

    for (const QString& path : fifos + QStringList { link, good })
        provider->request(node(path), ScanSource::thisComputer);
    // Both decoders met a FIFO first; the picture after them still comes.
    ASSERT_TRUE(waitUntil([&] { return provider->pendingCount() == 0; }));
    EXPECT_EQ(provider->cached(node(good))->size(), QSize(100, 50));
    for (const QString& path : fifos + QStringList { link })
        EXPECT_EQ(provider->cached(node(path))->size(), QSize(50, 50)) << path.toStdString();
    EXPECT_TRUE(provider->waitForDone());
    provider.reset();
}

TEST(Thumbnails, CraftedPicturesEndSoonWithinABoundOfMemoryInTheGridThePreviewAndFromDrive)
{
    TempHome home;
    const QByteArray bomb = HostilePictures::vectorBomb(256ll << 20);
    const QByteArray scans = HostilePictures::manyScanJpeg(8192, 8192, 2000);
    QStringList paths;
    for (const auto& [name, bytes] :
        { std::pair { "/bomb.jpg", bomb }, { "/bomb.svgz", bomb }, { "/scans.jpg", scans } }) {
        paths << home.path() + name;
        writeTestFile(paths.back(), bytes);
    }
    const BoundedRun run = runBoundedChild(
        [&] {
            // Both decoders of the grid take a crafted picture at once.
            ThumbnailProvider provider(QSize(250, 240));
            for (const QString& path : paths) {
                FileInfoNode node;
                node.filePath = path;
                node.fileCategory = Cat::Pic;
                provider.request(node, ScanSource::thisComputer);
            }
            int shown = provider.waitForDone(20'000) ? 0 : 100;
            for (const QString& path : paths)
                shown += readPreviewContent(path, QSize(800, 600), true).picture.isNull() ? 0 : 1;
            for (const QByteArray& bytes : { bomb, scans }) {
                shown += ThumbnailProvider::decodePictureData(bytes, QSize(250, 240)).isNull() ? 0 : 1;
                shown += decodePreviewPicture(bytes, QSize(800, 600)).isNull() ? 0 : 1;
            }
            return shown;
        },
        30'000, 1536ll << 20);
    EXPECT_FALSE(run.pastDeadline);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LT(run.peakGrowthBytes, scaledMemoryBound(96ll << 20)) << run.elapsedMs << " ms";
}

TEST(Thumbnails, ARefusedVectorPictureShowsItsTypeAndADriveThumbnailIsNeverOne)
{
    TempHome home;
    // Refers to a file of its own: never rendered.
    const QByteArray drawing = HostilePictures::vectorReferringTo("other.png");
    writeTestFile(home.path() + "/drawing.svg", drawing);
    FileInfoNode node;
    node.filePath = home.path() + "/drawing.svg";
    node.fileCategory = Cat::Pic;
    ThumbnailProvider provider(QSize(100, 100));
    QSignalSpy ready(&provider, &ThumbnailProvider::thumbnailReady);
    provider.request(node, ScanSource::thisComputer);
    ASSERT_TRUE(ready.wait());
    // The type's icon, half the cell, in place of the drawing.
    EXPECT_EQ(provider.cached(node)->size(), QSize(50, 50));

    for (const QByteArray& bytes : { drawing, HostilePictures::gzipped(drawing), QByteArray("<svg/>") }) {
        EXPECT_TRUE(ThumbnailProvider::decodePictureData(bytes, QSize(100, 100)).isNull());
        EXPECT_TRUE(decodePreviewPicture(bytes, QSize(100, 100)).isNull());
    }
}

TEST(Thumbnails, CloudPicturesComeFromTheirWebLinkOnly)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage(300, 300, QImage::Format_RGB32).save(&buffer, "PNG");
    server.route("GET", "/thumb", [&](const FakeHttpRequest&) {
        FakeHttpResponse response;
        response.body = png;
        response.contentType = "image/png";
        return response;
    });
    server.route("GET", "/gone", [](const FakeHttpRequest&) {
        FakeHttpResponse response;
        response.status = 404;
        return response;
    });
    const auto node = [](const QString& name, const QString& link, Cat category) {
        FileInfoNode n;
        n.filePath = "/drive/" + name;
        n.fileCategory = category;
        n.cloudFields().googleDriveThumbnailLink = link;
        return n;
    };
    const FileInfoNode files[] = { node("a.jpg", server.url("/thumb").toString(), Cat::Pic),
        node("b.jpg", server.url("/gone").toString(), Cat::Pic),
        node("c.pdf", server.url("/thumb").toString(), Cat::Doc), node("d.jpg", "file:///etc/passwd", Cat::Pic) };

    ThumbnailProvider provider(QSize(100, 100));
    QSignalSpy ready(&provider, &ThumbnailProvider::thumbnailReady);
    for (const FileInfoNode& file : files)
        provider.request(file, ScanSource::googleDrive);
    while (ready.count() < 4 && ready.wait()) { }
    EXPECT_EQ(provider.cached(files[0])->size(), QSize(100, 100));
    EXPECT_TRUE(provider.cached(files[1])->isNull());
    EXPECT_TRUE(provider.cached(files[3])->isNull());
    EXPECT_EQ(server.requestCount("GET", "/thumb"), 1); // the document asked for nothing
}

TEST(Thumbnails, ACloudPictureWhoseAnswerNeverEndsIsGivenUpAtOnce)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    ThumbnailProvider provider(QSize(100, 100));
    QSignalSpy ready(&provider, &ThumbnailProvider::thumbnailReady);
    int made = 0;
    for (const EndlessCase& endless : endlessCases) {
        const QString path = QStringLiteral("/endless%1").arg(++made);
        server.route("GET", path, [&](const FakeHttpRequest&) { return FakeHttpResponse::never(endless.shape); });
        FileInfoNode file;
        file.filePath = QStringLiteral("/drive/%1.jpg").arg(made);
        file.fileCategory = Cat::Pic;
        file.cloudFields().googleDriveThumbnailLink = server.url(path).toString();
        expectEndlessAnswerEnds(
            endless, [&] { provider.request(file, ScanSource::googleDrive); }, [&] { return ready.count() == made; },
            48ll * 1024 * 1024);
        ASSERT_TRUE(provider.cached(file)) << endless.name;
        EXPECT_TRUE(provider.cached(file)->isNull()) << endless.name;
    }
}

} // namespace

namespace {

bool isNear(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3
        && std::abs(a.blue() - b.blue()) <= 3;
}

// Every header in view is drawn when the grid is first shown, the last one
// too: it starts at the same background and title colours as the first.
// Every item that comes into view gets its picture once the grid settles,
// not only after a scroll: a larger window, the preview pane hidden, the
// split moved. Items asked for already are not asked again.
TEST_F(ResultsGrid, ItemsALargerWindowOrTheHiddenPaneBringIntoViewGetTheirPictures)
{
    screen->resize(1082, 720);
    screen->loadScanResults(
        groupsOf(std::vector<std::vector<int>>(20, std::vector<int>(16, 1))), 300, ScanSource::thisComputer);
    QTest::mouseClick(screen->findChild<QAbstractButton*>(QStringLiteral("btnThumbnailView")), Qt::LeftButton);
    MyCollectionView* grid = screen->collDuplicates();
    ThumbnailProvider& pictures = screen->thumbnails();
    // How many items are in view, and how many of them have no picture once
    // the grid has settled.
    const auto inViewAndUnasked = [&](const std::function<void()>& change) {
        change();
        QApplication::processEvents();
        clock->advance();
        EXPECT_TRUE(waitUntil([&] { return pictures.pendingCount() == 0; }));
        const std::vector<IndexPath> shown = grid->indexPathsForVisibleItems();
        const auto unasked = std::ranges::count_if(shown, [&](const IndexPath& path) {
            return !pictures.cached(*screen->gridModel().fileOf(screen->gridModel().indexOfItem(path.section, path.item)));
        });
        return std::pair(shown.size(), unasked);
    };
    auto* split = screen->findChild<QSplitter*>(QStringLiteral("viewSplit"));
    auto* previewSwitch = screen->findChild<QAbstractButton*>(QStringLiteral("btnFullScreen"));
    ASSERT_TRUE(split && previewSwitch);
    std::size_t inView = 0;
    for (const std::function<void()>& change : std::vector<std::function<void()>> { [] {},
             [this] { screen->resize(1900, 1150); }, [previewSwitch] { QTest::mouseClick(previewSwitch, Qt::LeftButton); },
             [previewSwitch, split] {
                 QTest::mouseClick(previewSwitch, Qt::LeftButton);
                 split->setSizes({ 1200, 700 });
             } }) {
        const auto [shown, unasked] = inViewAndUnasked(change);
        EXPECT_EQ(unasked, 0);
        EXPECT_NE(shown, inView);
        inView = shown;
    }
    QSignalSpy made(&pictures, &ThumbnailProvider::thumbnailReady);
    inViewAndUnasked([this] { screen->resize(1082, 720); });
    EXPECT_EQ(made.count(), 0);
}

TEST_F(ResultsGrid, EveryGroupInViewShowsItsHeaderAtOnce)
{
    screen->loadScanResults(groupsOf({ { 1, 1 } }), 1, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    QApplication::processEvents();
    screen->loadScanResults(groupsOf({ { 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 } }), 4, ScanSource::thisComputer);
    screen->menuItemSelected(2);
    MyCollectionView* grid = screen->collDuplicates();
    QApplication::processEvents();
    // Then the window grows, showing more groups.
    screen->resize(screen->width() + 300, screen->height() + 400);
    QApplication::processEvents();
    const std::vector<int> sections = grid->visibleSections();
    ASSERT_GE(sections.size(), 2u);
    const QImage shown = grid->viewport()->grab().toImage();
    const QRect firstHeader = grid->headerFrame(0);
    for (const int section : sections) {
        const QRect header = grid->headerFrame(section).translated(0, -grid->verticalScrollBar()->value());
        const int rows = std::min(header.height(), grid->viewport()->height() - header.top());
        ASSERT_GT(rows, 4) << section;
        int differing = 0;
        for (int y = 0; y < rows; ++y) {
            // Left of the title, where every header has only its background.
            for (int x = 0; x < 8; ++x)
                differing += !isNear(shown.pixelColor(x, firstHeader.top() + y), shown.pixelColor(x, header.top() + y));
        }
        EXPECT_EQ(differing, 0) << "header of group " << section + 1;
    }
}

} // namespace
