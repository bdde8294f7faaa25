#include "base/UserDefaults.h"
#include "cleanup/AfterClean.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "cleanup/TrashSheets.h"
#include "cleanup/UndoRestore.h"
#include "controls/ApplicationFont.h"
#include "controls/CheckBoxButton.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/LayoutFrame.h"
#include "controls/MMPieChartView.h"
#include "controls/MyCollectionView.h"
#include "controls/MyHeaderCell.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "core/CommonFuncs.h"
#include "core/FileUtilities.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/AutoMarkPlan.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/AutoMarking.h"
#include "marking/MarkByCommands.h"
#include "marking/ResultsState.h"
#include "marking/ResultsSummary.h"
#include "marking/SlicedWork.h"
#include "marking/SortRunner.h"
#include "platform/FileRemover.h"
#include "results/MarkMenu.h"
#include "results/PreviewPane.h"
#include "results/ResultContextMenu.h"
#include "results/ResultViewController.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsHandOver.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "scan/ScanSources.h"
#include "support/HandClock.h"
#include "support/PathCells.h"
#include "support/PoolHold.h"
#include "support/RecordingAlerts.h"
#include "support/ResultsRows.h"
#include "support/ScopedLanguageTable.h"
#include "support/TabReach.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableWidget>
#include <QElapsedTimer>
#include <QTest>
#include <QTextDocument>
#include <QThread>
#include <QThreadPool>
#include <QToolTip>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

namespace {

// "name:category:size" files, one group per list; an empty list is a group
// whose files are all hidden.
std::vector<DuplicateGroupPtr> groupsOf(const std::vector<QStringList>& specs)
{
    std::vector<DuplicateGroupPtr> groups;
    for (const QStringList& names : specs) {
        auto group = std::make_shared<DuplicateGroup>();
        for (const QString& entry : names.isEmpty() ? QStringList { "h1::500", "h2::500" } : names) {
            auto file = std::make_shared<FileInfoNode>();
            file->fileName = entry.section(QLatin1Char(':'), 0, 0);
            file->filePath = QStringLiteral("/data/") + *file->fileName;
            file->fileSize = entry.section(QLatin1Char(':'), 2, 2).toULongLong();
            if (!entry.section(QLatin1Char(':'), 1, 1).isEmpty())
                file->fileCategory = GlobalObjects::FileCategory(entry.section(QLatin1Char(':'), 1, 1).toInt());
            addFileToGroup(group, file);
        }
        if (names.isEmpty())
            group->filterChildren.clear();
        groups.push_back(group);
    }
    return groups;
}

// count groups of two and three files (as many of each) whose dates differ
// within each group, so that automatic marking reorders many of them; the
// same count gives the same records' values.
std::vector<DuplicateGroupPtr> manyGroups(int count)
{
    std::vector<DuplicateGroupPtr> groups;
    groups.reserve(std::size_t(count));
    for (int g = 0; g < count; ++g) {
        auto group = std::make_shared<DuplicateGroup>();
        for (int copy = 0; copy < 2 + g % 2; ++copy) {
            auto file = std::make_shared<FileInfoNode>();
            file->folderPath = QStringLiteral("/data/%1").arg(copy);
            file->fileName = QStringLiteral("f%1.jpg").arg(g);
            file->filePath.assignParts(file->folderPath, *file->fileName);
            file->fileSize = 1000 + quint64(g % 97);
            file->fileCategory = GlobalObjects::FileCategory::Pic;
            file->modDate = QDateTime(QDate(2024, 1 + (g + 5 * copy) % 12, 1), QTime(10, copy));
            addFileToGroup(group, file);
        }
        groups.push_back(group);
    }
    return groups;
}

// Where each shown file of each group stands among the group's files, and
// whether it is marked: the same for two copies of one result set when they
// were marked alike.
std::vector<std::pair<int, bool>> marksOf(const std::vector<DuplicateGroupPtr>& groups)
{
    std::vector<std::pair<int, bool>> marks;
    for (const DuplicateGroupPtr& group : groups) {
        for (const FileInfoNodePtr& file : group->filterChildren) {
            const auto at = std::ranges::find(group->children, file) - group->children.begin();
            marks.emplace_back(int(at), file->isMarked());
        }
        marks.emplace_back(-1, group->state == 1);
    }
    return marks;
}

// The outline rows of files a step repainted: each as its group's row and
// its own row under it.
std::vector<std::pair<int, int>> repaintedFileRows(const ResultsModel& model, const std::function<void()>& act)
{
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    act();
    std::vector<std::pair<int, int>> rows;
    for (const QList<QVariant>& signal : changed) {
        const QModelIndex index = signal[0].toModelIndex();
        if (model.kindOf(index) == ResultsModel::RowKind::file)
            rows.emplace_back(index.parent().row(), index.row());
    }
    return rows;
}

// What the screen shows of a result set: the list's files and group numbers,
// their check boxes, the totals, the summary, the pie and the priority lists.
struct ShownResult {
    QStringList names;
    std::vector<int> groupNumbers;
    std::vector<int> checks;
    qint64 marked = 0;
    quint64 markedBytes = 0;
    QString markedLabel;
    qint64 duplicates = 0;
    QStringList pie;
    QStringList folders;
    QStringList formats;
    bool operator==(const ShownResult&) const = default;
};

class ResultsScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(alerts);
        startApplicationCore(defaults);
        sources = std::make_shared<ScanSources>(defaults);
        makeScreen();
        new QAbstractItemModelTester(
            &screen->model(), QAbstractItemModelTester::FailureReportingMode::Fatal, screen.get());
        new QAbstractItemModelTester(
            &screen->listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal, screen.get());
    }
    void TearDown() override
    {
        screen.reset();
        setAlertPresenter(nullptr);
    }
    // The screen as the program builds it, for the small screen's layout or
    // the base one.
    void makeScreen(bool small = false)
    {
        screen.reset();
        isSmallScreenLayout = small;
        screen = std::make_unique<ResultViewController>(defaults, sources, std::make_shared<FaultyFileRemover>());
        isSmallScreenLayout = false;
        screen->setDelayedCalls(clock);
        screen->setAttribute(Qt::WA_DontShowOnScreen);
        screen->viewDidLoad();
        screen->show();
    }
    void load(
        const std::vector<DuplicateGroupPtr>& groups, qint64 dupCount = 1, ScanSource source = ScanSource::thisComputer)
    {
        // A large set is handed over on workers: the rows are in once it ends.
        screen->loadScanResults(groups, dupCount, source);
        EXPECT_TRUE(waitUntil([&] { return !screen->isHandingOver(); }));
    }
    // A user's clicks on the list: a row's check box, a row, a column header.
    void clickListCheckBox(int row)
    {
        clickCheckBox(*screen->tblDuplicates(), screen->listModel().index(row, ResultsModel::checkColumn));
    }
    void clickListRow(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        CustomTableView* table = screen->tblDuplicates();
        QTest::mouseClick(table->viewport(), button, {}, table->visualRect(screen->listModel().index(row, 1)).center());
    }
    // The list row's context menu, its item of the given name chosen by the
    // mouse.
    void chooseFromRowMenu(int row, const char* item)
    {
        clickListRow(row, Qt::RightButton);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* action = menu->findChild<QAction*>(QString::fromLatin1(item));
        ASSERT_NE(action, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }
    // The group view opened up: the cell of its first group's first file
    // and that file's outlets as drawn.
    std::pair<CustomCell*, std::array<QRect, CustomCell::outletCount>> firstFileOfTheGroupView()
    {
        button("btnHierarcheryView")->click();
        clock->advance();
        CustomOutlineView* outline = screen->outlineDuplicates();
        outline->expandAll();
        QCoreApplication::processEvents();
        const QModelIndex file = screen->model().index(1, 0, screen->model().index(0, 0));
        auto* cell = qobject_cast<CustomCell*>(outline->itemDelegateForIndex(file));
        if (!cell)
            return {};
        return { cell, cell->outletRects(outline->visualRect(file), file) };
    }
    // The file the preview pane shows, "pie" while it shows the pie.
    QString paneShows() const
    {
        QCoreApplication::processEvents();
        return screen->previewPane().metaInfoView()->isHidden() ? QStringLiteral("pie")
                                                                : screen->lblSelectedFilePath()->text();
    }
    ShownResult shown() const
    {
        ShownResult result;
        result.names = listNames();
        result.groupNumbers = groupNumbers();
        const int check = CustomCell::roleOf(CustomCell::Outlet::btnCheckBox);
        for (int row = 0; row < screen->listModel().rowCount(); ++row)
            result.checks.push_back(screen->listModel().index(row, ResultsModel::checkColumn).data(check).toInt());
        const ResultsState& state = screen->state();
        result.marked = state.countMarked();
        result.markedBytes = state.sizeOfMarkedFiles();
        result.markedLabel = screen->lblNumMarkedFiles()->text();
        result.duplicates = state.duplicatesSummary().duplicates;
        for (int slot = 0; slot < CategoryPie::slotCount; ++slot)
            result.pie.append(screen->piePercentLabel(slot)->text());
        result.folders = state.folderPriorityList;
        result.formats = state.fileFormatPriorityList;
        return result;
    }
    QHeaderView* listHeader() const { return screen->tblDuplicates()->horizontalHeader(); }
    // At x within the section, or at its middle.
    void clickListHeader(int column, std::optional<int> x = std::nullopt)
    {
        QHeaderView* header = listHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + x.value_or(header->sectionSize(column) / 2),
                header->height() / 2));
    }
    QStringList listNames() const
    {
        QStringList names;
        for (int row = 0; row < screen->listModel().rowCount(); ++row)
            names.append(*screen->model().fileOfListRow(row)->fileName);
        return names;
    }
    QAbstractButton* button(const char* objectName) const
    {
        return screen->findChild<QAbstractButton*>(QString::fromLatin1(objectName));
    }
    std::vector<int> groupNumbers() const
    {
        std::vector<int> numbers;
        for (const ListRow& row : screen->model().arrAllDupFiles())
            numbers.push_back(row.groupNumber);
        return numbers;
    }

    TempHome home;
    UserDefaults defaults { home.path() + QStringLiteral("/settings") };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::shared_ptr<HandClock> clock = std::make_shared<HandClock>();
    std::shared_ptr<ScanSources> sources;
    std::unique_ptr<ResultViewController> screen;
};

TEST_F(ResultsScreen, ListRowsNumberGroupsInShownOrder)
{
    // Sorted by size, larger first: the three-file group, the hidden one, the pair.
    load(groupsOf({ { "a:1:10", "b:1:10" }, {}, { "c:1:900", "d:1:900", "e:1:900" } }));
    EXPECT_EQ(groupNumbers(), (std::vector<int> { 1, 1, 1, 3, 3 }));
    EXPECT_EQ(*screen->model().fileOfListRow(0)->fileName, "c");
    EXPECT_EQ(*screen->model().fileOfListRow(2)->fileName, "e");
    const ResultsListProxy& list = screen->listModel();
    EXPECT_EQ(list.rowCount(), 5);
    EXPECT_EQ(list.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(50, 50, 50));
    EXPECT_EQ(list.index(3, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(50, 50, 50));
}

TEST_F(ResultsScreen, ListColumnsShowTypeFolderAndIcon)
{
    auto groups = groupsOf({ { "x.TAR:4:5", "noext:9:5" } });
    load(groups);
    const ResultsListProxy& list = screen->listModel();
    const auto cell
        = [&](int row, int column, int role = Qt::DisplayRole) { return list.index(row, column).data(role); };
    EXPECT_EQ(cell(0, ResultsModel::typeColumn).toString(), "TAR");
    EXPECT_EQ(cell(1, ResultsModel::typeColumn).toString(), "-");
    EXPECT_EQ(cell(0, ResultsModel::folderColumn).toString(), "/data");
    EXPECT_EQ(cell(0, ResultsModel::createdColumn).toString(), "");
    EXPECT_EQ(
        cell(0, ResultsModel::nameColumn, CustomCell::roleOf(CustomCell::Outlet::imgView)).toString(), "archive_icon");
    EXPECT_EQ(
        cell(1, ResultsModel::nameColumn, CustomCell::roleOf(CustomCell::Outlet::imgView)).toString(), "other_icon");
}

TEST_F(ResultsScreen, ClearCacheOnlyForDropbox)
{
    for (auto [source, visible] : { std::pair { ScanSource::dropbox, true }, { ScanSource::thisComputer, false },
             { ScanSource::googleDrive, false }, { ScanSource::oneDrive, false }, { ScanSource::box, false },
             { ScanSource::lightroomCatalog, false } }) {
        load(groupsOf({ { "a:1:1", "b:1:1" } }), 1, source);
        EXPECT_EQ(screen->menuClearCache()->isVisible(), visible) << int(source);
    }
}

TEST_F(ResultsScreen, ScanCompleteSheetOnlyWithDuplicates)
{
    for (qint64 dupCount : { 0, 1 }) {
        load(groupsOf({ { "a:1:1", "b:1:1" } }), dupCount);
        clock->advance();
        CustomWindowNag* sheet = screen->autoMarkSheets().windowScanComplete;
        EXPECT_EQ(sheet && sheet->isVisible(), dupCount > 0);
        if (sheet)
            screen->autoMarkSheets().closeScanComplete();
    }
}

// The scan-complete sheet counts the duplicates it found as a number should
// read: one duplicate, two duplicates.
TEST_F(ResultsScreen, TheScanCompleteSheetSaysOneDuplicateAndTwoDuplicates)
{
    const std::pair<std::vector<QStringList>, const char*> sets[] = {
        { { { "a:1:1", "b:1:1" } }, "We found 1 duplicate taking up " },
        { { { "a:1:1", "b:1:1", "c:1:1" } }, "We found 2 duplicates taking up " },
    };
    for (const auto& [groups, said] : sets) {
        load(groupsOf(groups), qint64(groups.front().size()) - 1);
        clock->advance();
        CustomWindowNag* sheet = screen->autoMarkSheets().windowScanComplete;
        ASSERT_TRUE(sheet && sheet->isVisible());
        auto* text = sheet->findChild<QLabel*>(QStringLiteral("lblAutoMarkInstructionDesc"));
        ASSERT_TRUE(text);
        EXPECT_TRUE(text->text().startsWith(QLatin1String(said))) << text->text().toStdString();
        screen->autoMarkSheets().closeScanComplete();
    }
}

TEST_F(ResultsScreen, NewResultSetResetsCountersAndCategory)
{
    auto first = groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:5", "d:2:5" } });
    load(first, 0);
    clock->advance();
    screen->fileCheckBoxTapped(first[0]->children[0]);
    screen->categoryButton(1)->click();
    ASSERT_EQ(screen->state().countMarked(), 1);
    ASSERT_EQ(screen->state().selectedCategoryIndex, int(GlobalObjects::FileCategory::Pic));
    load(groupsOf({ { "e:1:3", "f:1:3" } }));
    EXPECT_EQ(screen->state().countMarked(), 0);
    EXPECT_EQ(screen->state().sizeOfMarkedFiles(), 0u);
    EXPECT_EQ(screen->state().selectedCategoryIndex, -1);
    EXPECT_EQ(screen->highlightedCategory(), -1);
}

TEST_F(ResultsScreen, MarkRepaintsCheckColumnOnly)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10", "c:1:10" } });
    load(groups);
    QSignalSpy changed(&screen->model(), &QAbstractItemModel::dataChanged);
    QSignalSpy listChanged(&screen->listModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&screen->model(), &QAbstractItemModel::modelReset);
    QSignalSpy layout(&screen->model(), &QAbstractItemModel::layoutChanged);
    screen->fileCheckBoxTapped(groups[0]->children[1]);
    EXPECT_TRUE(groups[0]->children[1]->isMarked());
    EXPECT_EQ(reset.count() + layout.count(), 0);
    ASSERT_GE(changed.count(), 2);
    for (const QList<QVariant>& signal : changed) {
        EXPECT_EQ(signal[0].toModelIndex().column(), ResultsModel::checkColumn);
        EXPECT_EQ(signal[1].toModelIndex().column(), ResultsModel::checkColumn);
    }
    ASSERT_GE(listChanged.count(), 1);
    EXPECT_EQ(listChanged[0][0].toModelIndex().row(), 1);
    const QModelIndex group = screen->model().index(0, 0);
    EXPECT_EQ(group.data(CustomCell::roleOf(CustomCell::Outlet::lblCount)).value<CellText>().first().text, "1");
}

TEST_F(ResultsScreen, BulkMarksReachEachViewAsOneChangeAndEveryViewShowsThem)
{
    auto groups = groupsOf({ { "a:1:30", "b:1:31", "c:1:32" }, { "d:1:20", "e:1:21" }, {}, { "f:1:10", "g:1:11" } });
    load(groups);
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowAutoMarkDialog), true);
    new QAbstractItemModelTester(
        &screen->gridModel(), QAbstractItemModelTester::FailureReportingMode::Fatal, screen.get());
    screen->btnChangeResultView(ResultViewController::ViewMode::group);
    screen->outlineDuplicates()->expandAll();
    clock->advance(); // the toolbar comes back after the rebuild
    ResultsModel& model = screen->model();
    const ResultsListProxy& list = screen->listModel();
    const ResultsGridProxy& grid = screen->gridModel();
    const int check = CustomCell::roleOf(CustomCell::Outlet::btnCheckBox);

    // What the outline, the list and the grid read for every shown file and
    // group, against the records.
    const auto viewsShowTheMarks = [&](const char* command) {
        SCOPED_TRACE(command);
        for (int g = 0; g < model.rowCount(); ++g) {
            const QModelIndex group = model.index(g, 0);
            int marked = 0;
            for (int row = 1; row < model.rowCount(group); ++row) {
                const FileInfoNodePtr file = model.fileOf(model.index(row, 0, group));
                marked += file->isMarked();
                EXPECT_EQ(model.index(row, 0, group).data(check).toInt(), int(file->isMarked()));
                EXPECT_EQ(grid.indexOfItem(g, row - 1).data(Qt::CheckStateRole).value<Qt::CheckState>(),
                    file->isMarked() ? Qt::Checked : Qt::Unchecked);
            }
            EXPECT_EQ(group.data(CustomCell::roleOf(CustomCell::Outlet::lblCount)).value<CellText>().first().text,
                QString::number(marked));
        }
        for (int row = 0; row < list.rowCount(); ++row)
            EXPECT_EQ(list.index(row, ResultsModel::checkColumn).data(check).toInt(),
                int(model.fileOfListRow(row)->isMarked()));
    };

    auto* unmarkAll = screen->findChild<QAbstractButton*>(QStringLiteral("btnUnmarkAll"));
    auto* autoMark = screen->findChild<QAbstractButton*>(QStringLiteral("btnAutoMark"));
    ASSERT_TRUE(unmarkAll && autoMark);
    const struct {
        const char* name;
        std::function<void()> act;
        qint64 markedAfter;
    } commands[] = {
        { "largest kept", [&] { screen->markMenu().itemFor(MarkByCommand::size, 0)->trigger(); }, 4 },
        { "invert", [&] { screen->markMenu().itemFor(MarkByCommand::invert, std::nullopt)->trigger(); }, 3 },
        { "unmark all", [&] { unmarkAll->click(); }, 0 },
        { "invert of none", [&] { screen->markMenu().itemFor(MarkByCommand::invert, std::nullopt)->trigger(); }, 4 },
    };
    for (const auto& command : commands) {
        QSignalSpy tree(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy listed(&list, &QAbstractItemModel::dataChanged);
        QSignalSpy gridded(&grid, &QAbstractItemModel::dataChanged);
        command.act();
        QCoreApplication::processEvents();
        EXPECT_EQ(screen->state().countMarked(), command.markedAfter) << command.name;
        EXPECT_EQ(tree.count(), 1) << command.name;
        EXPECT_EQ(listed.count(), 1) << command.name;
        EXPECT_EQ(gridded.count(), 1) << command.name;
        viewsShowTheMarks(command.name);
    }

    // Automatic marking: the marks cleared as it starts, then its own (here
    // with the files put in the rules' order, which rebuilds the rows).
    QSignalSpy tree(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy listed(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy rebuilt(&model, &QAbstractItemModel::layoutChanged);
    autoMark->click();
    screen->autoMarking().waitForWorkers();
    QCoreApplication::processEvents();
    EXPECT_EQ(screen->state().countMarked(), 4);
    EXPECT_EQ(tree.count(), 1);
    EXPECT_EQ(listed.count(), 1);
    EXPECT_EQ(rebuilt.count(), 1);
    viewsShowTheMarks("auto mark");
}

TEST_F(ResultsScreen, EmptySetHidesTheViewsInEveryMode)
{
    load({}, 0);
    for (auto mode : { ResultViewController::ViewMode::list, ResultViewController::ViewMode::group,
             ResultViewController::ViewMode::grid }) {
        screen->btnChangeResultView(mode);
        EXPECT_FALSE(screen->tblDuplicates()->isVisible());
        EXPECT_FALSE(screen->outlineDuplicates()->isVisible());
        EXPECT_FALSE(screen->collDuplicates()->isVisible());
    }
    EXPECT_EQ(screen->listModel().rowCount(), 0);
}

TEST_F(ResultsScreen, ToolbarComesBackOnlyFromTheNewestRebuild)
{
    load(groupsOf({ { "a:1:1", "b:1:1" } }), 0);
    // A new result set is shown at once and its toolbar can be used at once.
    EXPECT_TRUE(screen->isResultToolbarEnabled());

    screen->btnChangeResultView(ResultViewController::ViewMode::group);
    screen->disableResultToolbar();
    clock->advance();
    EXPECT_FALSE(screen->isResultToolbarEnabled());
    screen->enableResultToolbarLater();
    clock->advance();
    EXPECT_TRUE(screen->isResultToolbarEnabled());
}

TEST_F(ResultsScreen, ModeSwitchKeepsMarksAndClearsSelection)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10" }, { "c:1:5", "d:1:5" } });
    load(groups);
    screen->fileCheckBoxTapped(groups[1]->children[0]);
    screen->tblDuplicates()->setCurrentIndex(screen->listModel().index(1, 1));
    EXPECT_FALSE(screen->lblSelectedFilePath()->text().isEmpty());
    screen->btnChangeResultView(ResultViewController::ViewMode::group);
    EXPECT_TRUE(screen->lblSelectedFilePath()->text().isEmpty());
    screen->btnChangeResultView(ResultViewController::ViewMode::list);
    EXPECT_TRUE(groups[1]->children[0]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 1);
    EXPECT_EQ(screen->listModel().index(2, 0).data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox)).toInt(), 1);
}

// A name with a line break or a right-to-left override is drawn on one line
// as the log writes it: in the list's name column, in the selected file's
// path and in its details.
TEST_F(ResultsScreen, TheListAndThePathShowAHostileNameOnOneLine)
{
    load(groupsOf({ { "a\nforged:0:10", "photo-\u202egpj.exe:0:10" } }));
    QAbstractItemModel& list = screen->listModel();
    ASSERT_EQ(list.rowCount(), 2);
    QStringList names;
    for (int row = 0; row < 2; ++row)
        names.append(list.index(row, ResultsModel::nameColumn).data().toString());
    names.sort();
    EXPECT_EQ(names, (QStringList { QStringLiteral("a\\nforged"), QStringLiteral("photo-\\u202egpj.exe") }));
    const int forged = list.index(0, ResultsModel::nameColumn).data().toString().startsWith(u'a') ? 0 : 1;
    screen->tblDuplicates()->setCurrentIndex(list.index(forged, 1));
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), QStringLiteral("/data/a\\nforged"));
    // The details beside the preview name it alike.
    const QTableWidgetItem* name = screen->previewPane().tblMetaInfo()->item(0, 1);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->text(), QStringLiteral("a\\nforged"));
}

TEST_F(ResultsScreen, OutlineRowsAndTheEmptyGroup)
{
    load(groupsOf({ { "a:1:1000", "b:1:2000", "c:1:3000" }, {} }));
    ResultsModel& model = screen->model();
    screen->btnChangeResultView(ResultViewController::ViewMode::group);
    ASSERT_EQ(model.rowCount(), 2);
    const QModelIndex full = model.index(0, 0);
    const QModelIndex empty = model.index(1, 0);
    EXPECT_EQ(model.rowCount(full), 4);
    EXPECT_EQ(model.rowCount(empty), 0);
    EXPECT_EQ(
        model.index(0, 0, full).data(ResultsModel::rowKindRole).toInt(), int(ResultsModel::RowKind::columnTitles));
    EXPECT_EQ(model.index(1, 0, full).data().toString(), "a");
    EXPECT_TRUE(empty.data().toString().isEmpty());
    screen->outlineDuplicates()->expandAll();
    screen->outlineDuplicates()->setCurrentIndex(empty);
    screen->outlineDuplicates()->setCurrentIndex(model.index(0, 0, full));
    screen->outlineDuplicates()->setCurrentIndex(full);
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/a");
}

TEST_F(ResultsScreen, CategoryFilterAndSortKeepModelsConsistent)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10", "x:2:10" }, { "c:2:5", "d:2:5" } });
    load(groups, 0);
    clock->advance();
    screen->outlineDuplicates()->expandAll();
    screen->tblDuplicates()->setCurrentIndex(screen->listModel().index(0, 1));
    screen->categoryButton(4)->click(); // music
    EXPECT_EQ(screen->highlightedCategory(), int(GlobalObjects::FileCategory::Music));
    EXPECT_EQ(screen->listModel().rowCount(), 2);
    EXPECT_TRUE(screen->tblDuplicates()->selectionModel()->selectedRows().isEmpty());
    clock->advance();
    screen->categoryButton(0)->click();
    EXPECT_EQ(screen->listModel().rowCount(), 5);
    screen->state().sortBtnTapped();
    EXPECT_EQ(*screen->model().fileOfListRow(0)->fileName, "c");
}

// The screen over real files in the temporary home, its trash there too.
class ResultsCleanup : public ResultsScreen {
protected:
    // A file with the given bytes, its record as a scan makes it; a name
    // starting with "m" is marked.
    FileInfoNodePtr file(const QString& name, const QByteArray& bytes, GlobalObjects::FileCategory category)
    {
        const QString path = home.path() + QStringLiteral("/files/") + name;
        QDir().mkpath(QFileInfo(path).path());
        writeTestFile(path, bytes);
        const FileFacts facts = factsOf(path).value_or(FileFacts {});
        auto record = std::make_shared<FileInfoNode>();
        record->filePath = path;
        record->folderPath = QFileInfo(path).path();
        record->fileName = name;
        record->fileSize = facts.size;
        record->deviceId = facts.device;
        record->inode = facts.inode;
        record->modTime = facts.modTime;
        record->changeTime = facts.changeTime;
        record->fileCategory = category;
        record->state = name.startsWith(QLatin1Char('m'));
        return record;
    }
    static DuplicateGroupPtr group(const std::vector<FileInfoNodePtr>& files)
    {
        auto made = std::make_shared<DuplicateGroup>();
        for (const auto& member : files)
            addFileToGroup(made, member);
        return made;
    }
    // One picture group and one document group, a copy of each marked.
    void loadPicturesAndDocuments()
    {
        using Category = GlobalObjects::FileCategory;
        pictures = group({ file("k.jpg", "picture", Category::Pic), file("m.jpg", "picture", Category::Pic) });
        documents = group({ file("k.pdf", "document", Category::Doc), file("m.pdf", "document", Category::Doc) });
        screen->loadScanResults({ pictures, documents }, 2, ScanSource::thisComputer);
    }
    // Runs every delayed call, those they make included.
    void settle()
    {
        for (int round = 0; round < 5 && !clock->pending.empty(); ++round)
            clock->advance();
    }
    // Remove, answered on its confirmation sheet, until the after-clean
    // window is up; then its OK.
    void removeMarkedFiles()
    {
        button("btnTrash")->click();
        ASSERT_TRUE(screen->trashSheets().windowTrashConfirmation()->isVisible());
        screen->trashSheets().btnTrashOnReview->click();
        ASSERT_TRUE(waitUntil([&] { return screen->afterCleanSheets().windowAfterClean()->isVisible(); }));
        screen->afterCleanSheets().btnOkTrash->click();
    }

    DuplicateGroupPtr pictures;
    DuplicateGroupPtr documents;
};

} // namespace

TEST_F(ResultsScreen, ContextMenuAndMarkMenuActOnTheShownFiles)
{
    const auto groups = groupsOf({ { "a::5", "b::9" }, { "c::5", "d::5", "e::7" } });
    load(groups, 3, ScanSource::googleDrive);
    ResultContextMenu& menu = screen->contextMenu();
    menu.validateMenuItems(groups[0]->children[0]);
    for (QAction* item :
        { menu.menuItemLockUnLock(), menu.menuItemOpen(), menu.menuItemRevealInFinder(), menu.menuItemQuickLook() })
        EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(menu.menuItemMark()->isEnabled() && menu.menuItemMoveToTrash()->isEnabled());

    // The largest-file item (tag 0) keeps the largest of each group.
    screen->markMenu().itemFor(MarkByCommand::size, 0)->trigger();
    EXPECT_TRUE(groups[0]->children[0]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 3);

    menu.validateMenuItems(groups[0]->children[1]);
    menu.removeFromPhotoList();
    EXPECT_EQ(screen->state().arrGroups, (std::vector { groups[1] }));
    EXPECT_EQ(screen->state().countMarked(), 2);
    EXPECT_EQ(groupNumbers(), (std::vector { 1, 1, 1 }));

    groups[1]->children[0]->isLocked = true;
    screen->model().fileMarkChanged(groups[1]->children[0]);
    EXPECT_FALSE(screen->listModel()
                     .index(0, ResultsModel::checkColumn)
                     .data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox))
                     .isValid());
}

TEST_F(ResultsScreen, RemoveIsEnabledOnlyWhileSomethingIsMarked)
{
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:1:5", "d:1:5" } }), 0);
    clock->advance();
    QAbstractButton* remove = button("btnTrash");
    ASSERT_TRUE(screen->isResultToolbarEnabled());
    EXPECT_FALSE(remove->isEnabled());
    clickListCheckBox(0);
    ASSERT_EQ(screen->state().countMarked(), 1);
    EXPECT_TRUE(remove->isEnabled());

    // A view change keeps it; a re-sort's pause and its end follow the marks.
    button("btnHierarcheryView")->click();
    EXPECT_TRUE(remove->isEnabled());
    screen->state().sortBtnTapped();
    EXPECT_FALSE(remove->isEnabled());
    clock->advance();
    EXPECT_TRUE(remove->isEnabled());
    screen->state().sortBtnTapped(); // back to the first order
    clock->advance();
    button("btnListView")->click();
    clock->advance();
    clickListCheckBox(0);
    ASSERT_EQ(screen->state().countMarked(), 0);
    EXPECT_FALSE(remove->isEnabled());
    button("btnThumbnailView")->click();
    clock->advance();
    EXPECT_FALSE(remove->isEnabled());
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_TRUE(alerts->shown.empty()) << "a disabled Remove does nothing";
}

// Marks the category shown hides stand: the footer counts them beside the
// shown ones with the way back to them, and Delete Marked says where they are
// rather than that nothing is marked; it removes nothing.
TEST_F(ResultsScreen, MarksACategoryHidesAreToldInTheFooterAndByDeleteMarked)
{
    // A picture pair, a music pair, and a pair of one song and one picture.
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:5", "d:2:5" }, { "e:2:7", "f:1:7" } }), 0);
    clock->advance();
    ASSERT_EQ(listNames(), (QStringList { "a", "b", "e", "f", "c", "d" }));
    clickListCheckBox(0);
    clickListCheckBox(2);
    ASSERT_EQ(screen->state().countMarked(), 2);
    const auto choose = [&](int category) {
        QTest::mouseClick(screen->categoryButton(category), Qt::LeftButton);
        clock->advance();
    };
    const auto hiddenNote = [](qint64 count) {
        return QStringLiteral(" \u00b7 ") + formatText(localizedText("ID_MORE_MARKED_UNDER_ALL_FILES"), { count });
    };
    const auto deleteMarked = [&] {
        alerts->shown.clear();
        auto* link = button("btnDeleteLink");
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        EXPECT_FALSE(screen->cleanup().isRemoving());
        return alerts->shown;
    };

    choose(4); // music: the song of the mixed pair is alone under it
    ASSERT_EQ(listNames(), (QStringList { "c", "d" }));
    QLabel* footer = screen->lblNumMarkedFiles();
    EXPECT_EQ(footer->text().toStdString(),
        (formatText(localizedText("ID_ITEMS_MARKED_COUNT"), { 0 }) + hiddenNote(2))
            .toStdString());
    EXPECT_TRUE(footer->isVisible());
    EXPECT_LE(footer->fontMetrics().horizontalAdvance(footer->text()), footer->contentsRect().width());
    std::vector<AlertRequest> told = deleteMarked();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].messageText.toStdString(), localizedText("ID_NO_MARKED_FILE_SHOWN").toStdString());
    EXPECT_EQ(told[0].informativeText.toStdString(),
        formatText(localizedText("ID_MARKED_FILES_HIDDEN_NOT_REMOVED"), { 2 }).toStdString());
    EXPECT_TRUE(told[0].informativeText.contains(localizedText("ID_ALL_FILES"))) << told[0].informativeText.toStdString();

    // A shown mark beside a hidden one: both told.
    clickListCheckBox(0);
    EXPECT_EQ(footer->text().toStdString(),
        (formatText(QStringLiteral("%@ %@"), { formatText(localizedText("ID_ITEM_MARKED_COUNT"), { 1 }), getSizeInUnits(5.0) })
            + hiddenNote(2))
            .toStdString());

    // All Files shows every mark again, and nothing is hidden.
    choose(0);
    EXPECT_EQ(screen->state().countMarked(), 3);
    EXPECT_EQ(footer->text().toStdString(),
        formatText(QStringLiteral("%@ %@"), { formatText(localizedText("ID_ITEMS_MARKED_COUNT"), { 3 }), getSizeInUnits(22.0) }).toStdString());

    // One hidden mark, in the singular; with none, the old word stands.
    clickListCheckBox(0);
    clickListCheckBox(4);
    choose(4);
    EXPECT_EQ(footer->text().toStdString(),
        (formatText(localizedText("ID_ITEMS_MARKED_COUNT"), { 0 }) + hiddenNote(1))
            .toStdString());
    told = deleteMarked();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].informativeText.toStdString(),
        formatText(localizedText("ID_MARKED_FILE_HIDDEN_NOT_REMOVED"), { 1 }).toStdString());
    choose(0);
    clickListCheckBox(2);
    ASSERT_EQ(screen->state().countMarked(), 0);
    choose(4);
    EXPECT_EQ(footer->text().toStdString(), formatText(localizedText("ID_ITEMS_MARKED_COUNT"), { 0 }).toStdString());
    told = deleteMarked();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].messageText.toStdString(),
        localizedText("ID_NO_ITEM_SELECTED_PLEASE_SELECT_AND_RETRY_AGAIN").toStdString());
}

// At the window's base size each copy's path in the group view and its folder
// in the list keep what tells them apart from the other copies of their group
// and as much of the name as fits, long names among them; the tip is the
// whole path.
TEST_F(ResultsScreen, AtTheBaseWindowSizeEachCopysPathKeepsWhatTellsItApart)
{
    load(copiesInTwoPlaces());
    clock->advance();
    ASSERT_EQ(screen->size(), mainWindowContentSize);
    QTableView* list = screen->tblDuplicates();
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(expectListFoldersToldApart(*list, ResultsModel::folderColumn), copiesInTwoPlacesFiles);
    auto* group = button("btnHierarcheryView");
    QTest::mouseClick(group, Qt::LeftButton, {}, group->rect().center());
    CustomOutlineView* outline = screen->outlineDuplicates();
    ASSERT_TRUE(outline->isVisible());
    EXPECT_EQ(expectOutlinePathsToldApart(*outline), copiesInTwoPlacesFiles);
    EXPECT_EQ(outline->horizontalScrollBar()->maximum(), 0) << "the rows are wider than the view";
}

TEST_F(ResultsScreen, SelectAllBoxInTheCheckColumnsHeaderMarksAllButOneFilePerGroup)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10", "c:1:10" }, { "d:1:5", "e:1:5" } });
    load(groups, 0);
    clock->advance();
    auto* box = screen->findChild<CheckBoxButton*>(QStringLiteral("btnSelectAllTblCheckBox"));
    ASSERT_NE(box, nullptr);
    QHeaderView* header = listHeader();
    ASSERT_TRUE(box->isVisible());
    ASSERT_TRUE(header->isAncestorOf(box));
    const QRect inHeader(box->mapTo(header, QPoint(0, 0)), box->size());
    EXPECT_GE(inHeader.left(), header->sectionViewportPosition(ResultsModel::checkColumn));
    EXPECT_LE(inHeader.right(), header->sectionViewportPosition(ResultsModel::nameColumn));
    EXPECT_EQ(box->state(), 0);

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(screen->state().countMarked(), 3);
    for (const auto& group : groups)
        EXPECT_EQ(std::ranges::count_if(group->children, [](const auto& file) { return !file->isMarked(); }), 1);
    EXPECT_EQ(box->state(), 1);

    // One file unmarked by hand: the box reads mixed; a click clears all.
    clickListCheckBox(0);
    EXPECT_EQ(box->state(), -1);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(screen->state().countMarked(), 0);
    EXPECT_EQ(box->state(), 0);
    // Clicking the box sorts nothing.
    EXPECT_FALSE(header->isSortIndicatorShown());
}

// Enough groups that mark all and unmark all take several slices.
constexpr int slicedGroups = 60'000;

TEST_F(ResultsScreen, MarkAllAndUnmarkAllInSlicesEndAsAtOnceAndACommandMidWayFollowsTheirEnd)
{
    auto groups = manyGroups(slicedGroups);
    load(groups);
    clock->advance();
    auto* box = screen->findChild<CheckBoxButton*>(QStringLiteral("btnSelectAllTblCheckBox"));
    QAbstractButton* unmarkAll = button("btnUnmarkAll");
    ASSERT_TRUE(box && unmarkAll);
    ResultsState& state = screen->state();
    const auto passEnded = [&] { return waitUntil([&] { return !screen->isMarkByRunning(); }); };
    // The same result set marked at once, as the marks and totals to match.
    ResultsState reference(nullptr);
    reference.loadResultSet(manyGroups(slicedGroups), 1, ScanSource::thisComputer);
    const auto matchesReference = [&](const char* step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(marksOf(state.arrGroups), marksOf(reference.arrGroups));
        EXPECT_EQ(state.countMarked(), reference.countMarked());
        EXPECT_EQ(state.sizeOfMarkedFiles(), reference.sizeOfMarkedFiles());
        const ResultsState::MarkedTotals counted = ResultsState::markedTotalsOf(state.arrGroups);
        EXPECT_EQ(counted.count, state.countMarked());
        EXPECT_EQ(counted.bytes, state.sizeOfMarkedFiles());
        EXPECT_EQ(screen->lblNumMarkedFiles()->text(), reference.markedCountLabel().text);
    };

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(screen->isMarkByRunning()) << "the pass goes on from the event loop";
    ASSERT_TRUE(passEnded());
    reference.selectAllShownFiles(true);
    matchesReference("mark all");
    EXPECT_EQ(box->state(), 1);

    unmarkAll->click();
    ASSERT_TRUE(passEnded());
    reference.selectAllShownFiles(false);
    matchesReference("unmark all");
    EXPECT_EQ(box->state(), 0);

    // A file's check box clicked while mark all goes: the pass ends first,
    // then the click unmarks the file it marked.
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(screen->isMarkByRunning());
    clickListCheckBox(0);
    EXPECT_FALSE(screen->isMarkByRunning());
    reference.selectAllShownFiles(true);
    reference.fileCheckBoxTapped(reference.arrGroups.front()->filterChildren.front());
    matchesReference("a check box during mark all");
    EXPECT_EQ(box->state(), -1);

    // A mark-by command while unmark all goes follows its end.
    unmarkAll->click();
    ASSERT_TRUE(screen->isMarkByRunning());
    screen->markMenu().itemFor(MarkByCommand::size, 0)->trigger();
    ASSERT_TRUE(passEnded());
    reference.selectAllShownFiles(false);
    runMarkByCommand(reference, MarkByCommand::size, 0);
    matchesReference("a mark-by command during unmark all");

    // So does a category, and the totals are those of the groups it shows.
    unmarkAll->click();
    ASSERT_TRUE(screen->isMarkByRunning());
    ASSERT_EQ(state.selectCategory(GlobalObjects::FileCategory::Pic), ResultsState::CategoryOutcome::shown);
    EXPECT_FALSE(screen->isMarkByRunning());
    EXPECT_EQ(state.countMarked(), 0);
    EXPECT_EQ(box->state(), 0);

    // A file an undo puts back while mark all goes comes back after the
    // pass has ended: unmarked, outside the pass's totals.
    const DuplicateGroupPtr lastGroup = state.arrGroups.back();
    const FileInfoNodePtr undone = lastGroup->children.back();
    lastGroup->children.pop_back();
    lastGroup->filterChildren.pop_back();
    undone->isMoveToTrash = true;
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(screen->isMarkByRunning());
    RestoreOutcome outcome;
    outcome.restored = true;
    outcome.file = undone;
    outcome.group = lastGroup;
    EXPECT_EQ(returnRestoredFiles(state, { &outcome }), 1);
    EXPECT_FALSE(screen->isMarkByRunning());
    EXPECT_FALSE(undone->isMarked());
    const ResultsState::MarkedTotals counted = ResultsState::markedTotalsOf(state.arrMainGroup);
    EXPECT_EQ(counted.count, state.countMarked());
    EXPECT_EQ(counted.bytes, state.sizeOfMarkedFiles());
}

TEST_F(ResultsScreen, ClosingTheScreenDuringMarkAllLeavesEveryGroupWholeOrUntouched)
{
    auto groups = manyGroups(slicedGroups);
    load(groups);
    clock->advance();
    auto* box = screen->findChild<CheckBoxButton*>(QStringLiteral("btnSelectAllTblCheckBox"));
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(screen->isMarkByRunning());
    const std::vector<DuplicateGroupPtr> shown = screen->state().arrGroups;
    screen.reset();
    QCoreApplication::processEvents();
    // The groups the pass got to come first in shown order, each with all
    // its files marked but one; the others have none.
    std::size_t done = 0;
    while (done < shown.size() && shown[done]->state == 1)
        ++done;
    EXPECT_GT(done, 0u);
    EXPECT_LT(done, shown.size());
    for (std::size_t g = 0; g < shown.size(); ++g) {
        const auto marked = std::ranges::count_if(shown[g]->children, [](const auto& file) { return file->isMarked(); });
        ASSERT_EQ(marked, g < done ? std::ssize(shown[g]->children) - 1 : 0) << "group " << g;
    }
}

TEST_F(ResultsScreen, AutomaticMarkingFromTheScanCompleteSheetMarksAndOrdersTheRowsAsAtOnce)
{
    constexpr int count = 3000;
    auto groups = manyGroups(count);
    load(groups);
    clock->advance(); // the scan-complete sheet
    QSignalSpy finished(&screen->autoMarking(), &AutoMarking::autoMarkingFinished);
    screen->autoMarkSheets().btnAutoMarkPhotos->click();
    screen->autoMarking().waitForWorkers();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));

    ResultsState reference(nullptr);
    reference.loadResultSet(manyGroups(count), 1, ScanSource::thisComputer);
    const QVariant rules = defaults.object(QString::fromLatin1(SettingsKey::autoMarkingRules));
    const std::atomic<bool> never { false };
    ASSERT_TRUE(applyAutoMarkPlan(reference,
        autoMarkGroups(std::make_shared<const AutoMarkSnapshot>(AutoMarkSnapshot::take(reference, rules, 1)), never)));

    const ResultsState& state = screen->state();
    const std::vector<std::pair<int, bool>> marks = marksOf(state.arrGroups);
    EXPECT_EQ(marks, marksOf(reference.arrGroups));
    EXPECT_EQ(state.countMarked(), reference.countMarked());
    EXPECT_EQ(screen->lblNumMarkedFiles()->text(), reference.markedCountLabel().text);
    EXPECT_TRUE(std::ranges::any_of(marks, [](const auto& mark) { return mark.first > 0 && !mark.second; }))
        << "some group's files were put in another order";
    // The list and the outline show each group's files in their new order.
    ResultsModel& model = screen->model();
    int row = 0;
    for (int g = 0; g < int(state.arrGroups.size()); ++g) {
        const std::vector<FileInfoNodePtr>& files = state.arrGroups[std::size_t(g)]->filterChildren;
        for (int k = 0; k < int(files.size()); ++k, ++row) {
            ASSERT_EQ(model.fileOfListRow(row), files[std::size_t(k)]) << "row " << row;
            ASSERT_EQ(model.fileOf(model.index(k + 1, 0, model.index(g, 0))), files[std::size_t(k)]);
        }
    }
    EXPECT_EQ(screen->listModel().rowCount(), row);
}

// A file locked by its context menu stays unmarked by automatic marking,
// and the sheet counts only the files marked.
TEST_F(ResultsScreen, TheAutomaticMarkingSheetCountsTheFilesMarkedNotTheLockedOneLeft)
{
    load(groupsOf({ { "a:1:30", "b:1:30", "c:1:30" }, { "d:1:20", "e:1:20" } }), 3);
    clock->advance(); // the scan-complete sheet
    screen->autoMarkSheets().btnSelectManually->click();
    ASSERT_EQ(listNames(), (QStringList { "a", "b", "c", "d", "e" }));
    // Every file but the first of its group is marked; "c" is locked first.
    chooseFromRowMenu(2, "menuItemLockUnLock");
    const FileInfoNodePtr locked = screen->model().fileOfListRow(2);
    ASSERT_TRUE(locked->isLocked);

    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowAutoMarkDialog), true);
    QSignalSpy finished(&screen->autoMarking(), &AutoMarking::autoMarkingFinished);
    QTest::mouseClick(button("btnAutoMark"), Qt::LeftButton);
    screen->autoMarking().waitForWorkers();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));

    EXPECT_FALSE(locked->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 2);
    EXPECT_EQ(screen->autoMarkSheets().lblNumberPhotosMarking->text().toStdString(),
        formatText(localizedText("ID_COUNT_PHOTOS_AUTOMARKED"), { 2 }).toStdString());
    EXPECT_EQ(screen->state().arrGroups[0]->state, -1);
}

TEST_F(ResultsScreen, FilesTakenAsAutomaticMarkingReordersThemGoWithAnyRebuildBeforeItsEnd)
{
    auto groups = manyGroups(6);
    load(groups);
    ResultsState& state = screen->state();
    ResultsModel& model = screen->model();
    const auto rowsShowTheGroups = [&](const char* step) {
        SCOPED_TRACE(step);
        int row = 0;
        for (const DuplicateGroupPtr& group : state.arrGroups) {
            for (const FileInfoNodePtr& file : group->filterChildren)
                EXPECT_EQ(model.fileOfListRow(row++), file);
        }
    };
    // The files of the group shown first turned round, as a run's plan
    // would put them, and taken by the screen.
    const DuplicateGroupPtr first = state.arrGroups.front();
    const std::vector<FileInfoNodePtr> seen = first->filterChildren;
    std::vector<std::uint32_t> order(seen.size());
    std::vector<std::uint8_t> flags(seen.size(), 0);
    for (std::size_t k = 0; k < seen.size(); ++k)
        order[k] = std::uint32_t(seen.size() - 1 - k);
    ASSERT_EQ(state.setGroupMarks(first, GroupMarking { seen, order, flags, 0 }), GroupMarksOutcome::orderChanged);
    model.groupFilesReordered(0);

    // All puts every group's files back in scan order before the run ends.
    button("btnAllItems")->click();
    rowsShowTheGroups("all");
    EXPECT_EQ(first->filterChildren, seen);
    state.showFilesMovedInGroups({ 0 });
    rowsShowTheGroups("the run's end");
    EXPECT_EQ(model.fileOfListRow(0), seen.front());
}

TEST_F(ResultsScreen, FilesAutomaticMarkingReordersKeepTheColumnSortOnlyWhenEveryMovedGroupKeepsItsOrder)
{
    ResultsState& state = screen->state();
    ResultsModel& model = screen->model();
    QHeaderView* header = listHeader();
    // Sorted by name, Z to A: each group shows c, a, a; the two a's tie.
    const auto sortedAndReordered = [&](const std::vector<std::vector<std::uint32_t>>& orders,
                                        const std::vector<std::size_t>& told, const std::vector<std::size_t>& moved) {
        load(groupsOf({ { "a:1:20", "a:1:20", "c:1:20" }, { "a:1:10", "c:1:10", "a:1:10" } }), 0);
        clock->advance();
        clickListHeader(ResultsModel::nameColumn);
        EXPECT_EQ(listNames(), (QStringList { "c", "a", "a", "c", "a", "a" }));
        EXPECT_TRUE(header->isSortIndicatorShown());
        for (std::size_t g = 0; g < orders.size(); ++g) {
            const DuplicateGroupPtr group = state.arrGroups[g];
            const std::vector<FileInfoNodePtr> seen = group->filterChildren;
            const std::vector<std::uint8_t> flags(seen.size(), 0);
            EXPECT_EQ(state.setGroupMarks(group, GroupMarking { seen, orders[g], flags, 0 }),
                GroupMarksOutcome::orderChanged);
            if (std::ranges::find(told, g) != told.end())
                model.groupFilesReordered(g);
        }
        state.showFilesMovedInGroups(moved);
        return header->isSortIndicatorShown();
    };
    const std::vector<std::uint32_t> tiesSwapped { 0, 2, 1 };
    const std::vector<std::uint32_t> cLast { 1, 2, 0 };
    // Checked as they moved: the order stands while every moved group keeps it.
    EXPECT_TRUE(sortedAndReordered({ tiesSwapped, tiesSwapped }, { 0, 1 }, { 0, 1 }));
    EXPECT_EQ(listNames(), (QStringList { "c", "a", "a", "c", "a", "a" }));
    EXPECT_FALSE(sortedAndReordered({ tiesSwapped, cLast }, { 0, 1 }, { 0, 1 }));
    EXPECT_EQ(listNames(), (QStringList { "c", "a", "a", "a", "a", "c" }));
    EXPECT_FALSE(sortedAndReordered({ cLast, tiesSwapped }, { 0, 1 }, { 0, 1 }));
    // A moved group the screen was not told of as it moved is checked at
    // the end: the groups checked before do not answer for it.
    EXPECT_FALSE(sortedAndReordered({ tiesSwapped, cLast }, { 0 }, { 0, 1 }));
    EXPECT_TRUE(sortedAndReordered({ tiesSwapped, tiesSwapped }, { 0 }, { 0, 1 }));
    // Checked before a rebuild: the rebuild lets the check go.
    load(groupsOf({ { "a:1:20", "a:1:20", "c:1:20" } }), 0);
    clock->advance();
    clickListHeader(ResultsModel::nameColumn);
    const DuplicateGroupPtr group = state.arrGroups.front();
    std::vector<FileInfoNodePtr> seen = group->filterChildren;
    const std::vector<std::uint8_t> flags(seen.size(), 0);
    ASSERT_EQ(state.setGroupMarks(group, GroupMarking { seen, tiesSwapped, flags, 0 }),
        GroupMarksOutcome::orderChanged);
    model.groupFilesReordered(0);
    state.showFilesMovedInGroups({ 0 });
    EXPECT_TRUE(header->isSortIndicatorShown());
    seen = group->filterChildren;
    ASSERT_EQ(state.setGroupMarks(group, GroupMarking { seen, cLast, flags, 0 }), GroupMarksOutcome::orderChanged);
    state.showFilesMovedInGroups({ 0 });
    EXPECT_FALSE(header->isSortIndicatorShown());
}

// The header draws itself (see the header's own test); no style sheet of the
// screen's paints over it.
TEST_F(ResultsScreen, ListHeaderIsTheScreensOwnUnstyledHeader)
{
    load(groupsOf({ { "a:1:10", "b:1:10" } }), 0);
    auto* header = qobject_cast<MyHeaderCell*>(listHeader());
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(header->styleSheet().isEmpty());
    const QImage image = header->grab().toImage();
    const QColor fill = QColor::fromHsvF(33 / 255.f, 33 / 255.f, 33 / 255.f);
    const int right = header->sectionViewportPosition(ResultsModel::sizeColumn + 1) - 3;
    const QColor drawn = image.pixelColor(right, 2);
    EXPECT_LE(std::abs(drawn.lightness() - fill.lightness()), 2) << drawn.name().toStdString();
}

TEST_F(ResultsScreen, AMarkRepaintsTheOutlineRowOfItsFileInSmallAndLargeGroupsAfterEveryRebuild)
{
    std::vector<QStringList> shapes { { "a:1:10", "b:1:10" }, {} };
    for (int i = 0; i < 40; ++i)
        shapes[1].append(QStringLiteral("f%1:1:20").arg(i, 2, 10, QLatin1Char('0')));
    auto groups = groupsOf(shapes);
    load(groups);
    clock->advance();
    const ResultsModel& model = screen->model();
    const auto repainted = [&](const std::function<void()>& act) { return repaintedFileRows(model, act); };
    // The large group is larger by size: it comes first, its files in scan order.
    EXPECT_EQ(repainted([&] { clickListCheckBox(35); }), (std::vector<std::pair<int, int>> { { 0, 36 } }));
    EXPECT_TRUE(groups[1]->children[35]->isMarked());
    EXPECT_EQ(repainted([&] { clickListCheckBox(41); }), (std::vector<std::pair<int, int>> { { 1, 2 } }));

    // Names Z to A: the file last in scan order now stands first.
    clickListHeader(ResultsModel::nameColumn);
    EXPECT_EQ(listNames().first(), "f39");
    EXPECT_EQ(repainted([&] { clickListCheckBox(0); }), (std::vector<std::pair<int, int>> { { 0, 1 } }));
    EXPECT_TRUE(groups[1]->children[39]->isMarked());
    EXPECT_EQ(model.fileOf(model.index(1, 0, model.index(0, 0))), groups[1]->children[39]);

    // The sort button turns the group order round; the files keep theirs.
    button("btnSort")->click();
    EXPECT_EQ(listNames().mid(2, 1), QStringList { "f39" });
    EXPECT_EQ(repainted([&] { clickListCheckBox(3); }), (std::vector<std::pair<int, int>> { { 1, 2 } }));
    EXPECT_TRUE(groups[1]->children[38]->isMarked());
    EXPECT_EQ(repainted([&] { clickListCheckBox(0); }), (std::vector<std::pair<int, int>> { { 0, 1 } }));
}

TEST_F(ResultsScreen, RowsRebuiltWhereTheirGroupsStandFollowTheFilesNewOrderAndRepaintTheRightRow)
{
    std::vector<QStringList> shapes { {}, { "a:1:10", "b:1:10", "c:1:10" } };
    shapes[0].clear();
    for (int i = 0; i < 40; ++i)
        shapes[0].append(QStringLiteral("f%1:1:20").arg(i, 2, 10, QLatin1Char('0')));
    auto groups = groupsOf(shapes);
    // Dates rising in the large group and falling in the small one: the
    // date rule turns one of them round, whichever way it keeps.
    const QDateTime start(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC);
    for (std::size_t i = 0; i < groups[0]->children.size(); ++i)
        groups[0]->children[i]->modDate = start.addDays(qint64(i));
    for (std::size_t i = 0; i < groups[1]->children.size(); ++i)
        groups[1]->children[i]->modDate = start.addDays(-qint64(i));
    load(groups);
    clock->advance();
    const ResultsModel& model = screen->model();
    // The large group's file index is made before the rebuild.
    EXPECT_EQ(repaintedFileRows(model, [&] { clickListCheckBox(5); }), (std::vector<std::pair<int, int>> { { 0, 6 } }));

    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowAutoMarkDialog), true);
    button("btnAutoMark")->click();
    screen->autoMarking().waitForWorkers();
    QCoreApplication::processEvents();
    const std::vector<DuplicateGroupPtr>& shown = screen->state().arrGroups;
    ASSERT_EQ(shown, groups);
    EXPECT_TRUE(groups[0]->filterChildren != groups[0]->children || groups[1]->filterChildren != groups[1]->children);

    // Every row shows the file its group shows there, in the outline and the list.
    std::vector<FileInfoNodePtr> listed;
    for (int g = 0; g < model.rowCount(); ++g) {
        const QModelIndex group = model.index(g, 0);
        const std::vector<FileInfoNodePtr>& files = shown[std::size_t(g)]->filterChildren;
        ASSERT_EQ(model.rowCount(group), int(files.size()) + 1);
        for (std::size_t k = 0; k < files.size(); ++k)
            EXPECT_EQ(model.fileOf(model.index(int(k) + 1, 0, group)), files[k]) << g << ' ' << k;
        listed.insert(listed.end(), files.begin(), files.end());
    }
    ASSERT_EQ(screen->listModel().rowCount(), int(listed.size()));
    for (std::size_t row = 0; row < listed.size(); ++row)
        EXPECT_EQ(model.fileOfListRow(int(row)), listed[row]) << row;

    // A mark in the large group repaints the row its file stands in now.
    for (const int row : { 1, 20, 39 }) {
        const FileInfoNodePtr file = listed[std::size_t(row)];
        const bool before = file->isMarked();
        EXPECT_EQ(repaintedFileRows(model, [&] { clickListCheckBox(row); }),
            (std::vector<std::pair<int, int>> { { 0, row + 1 } }));
        EXPECT_NE(file->isMarked(), before) << row;
    }
}

TEST_F(ResultsScreen, AResultShownAgainOrOnASecondScreenKeepsItsTotalsAndRepaintsTheRowsOfEach)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:300", "d:2:300", "e:2:300" }, { "f:3:7", "g:3:7" } });
    groups[1]->children[1]->state = true;
    groups[1]->children[2]->state = true;
    groups[2]->children[0]->state = true;
    load(groups, 4);
    // The totals of the hand-over are those of the marks the records carry.
    EXPECT_EQ(screen->state().countMarked(), 3);
    EXPECT_EQ(screen->state().sizeOfMarkedFiles(), 607u);
    const DuplicatesSummary expected = summarizeDuplicates(groups);
    EXPECT_EQ(screen->state().duplicatesSummary().duplicates, expected.duplicates);
    EXPECT_EQ(screen->state().duplicatesSummary().spaceToBeSaved, expected.spaceToBeSaved);
    const CategoryPie::Percentages shares = CategoryPie::percentages(groups);
    for (int slot = 0; slot < CategoryPie::slotCount; ++slot)
        EXPECT_EQ(screen->piePercentLabel(slot)->text(), CategoryPie::percentText(shares[size_t(slot)])) << slot;

    // A second screen over the same records, showing them in another order,
    // places each group elsewhere; a mark on either screen still repaints
    // its own rows.
    ResultViewController second(defaults, sources, std::make_shared<FaultyFileRemover>());
    second.setDelayedCalls(clock);
    second.setAttribute(Qt::WA_DontShowOnScreen);
    second.viewDidLoad();
    second.loadScanResults({ groups[2], groups[0] }, 2, ScanSource::thisComputer);
    // On the first screen: c d e (largest), a b, f g.
    EXPECT_EQ(repaintedFileRows(screen->model(), [&] { clickListCheckBox(3); }),
        (std::vector<std::pair<int, int>> { { 1, 1 } }));
    EXPECT_TRUE(groups[0]->children[0]->isMarked());
    // On the second: a b, f g.
    EXPECT_EQ(repaintedFileRows(second.model(), [&] { second.fileCheckBoxTapped(groups[2]->children[1]); }),
        (std::vector<std::pair<int, int>> { { 1, 2 } }));
    EXPECT_EQ(repaintedFileRows(screen->model(), [&] { screen->fileCheckBoxTapped(groups[2]->children[1]); }),
        (std::vector<std::pair<int, int>> { { 2, 2 } }));
}

class ResultsHandOverScreen : public ResultsScreen {
protected:
    // Loads on the hand-over's workers, however few the groups.
    void loadOnWorkers(const std::vector<DuplicateGroupPtr>& groups, qint64 dupCount = 1)
    {
        screen->handOver().setBackgroundFrom(0);
        screen->loadScanResults(groups, dupCount, ScanSource::thisComputer);
        screen->handOver().setBackgroundFrom(10'000);
    }
    bool handedOver() const { return waitUntil([&] { return !screen->isHandingOver(); }); }
    bool sheetShown() const
    {
        const CustomWindowNag* sheet = screen->autoMarkSheets().windowScanComplete;
        return sheet && sheet->isVisible();
    }
    static std::vector<std::weak_ptr<FileInfoNode>> filesOf(const std::vector<DuplicateGroupPtr>& groups)
    {
        std::vector<std::weak_ptr<FileInfoNode>> files;
        for (const DuplicateGroupPtr& group : groups) {
            for (const FileInfoNodePtr& file : group->children)
                files.push_back(file);
        }
        return files;
    }
    static bool allGone(const std::vector<std::weak_ptr<FileInfoNode>>& files)
    {
        return std::ranges::all_of(files, [](const std::weak_ptr<FileInfoNode>& file) { return file.expired(); });
    }
};

TEST_F(ResultsHandOverScreen, OnWorkersTheScreenShowsWhatItShowsAtOnceAndHoldsNothingUntilThen)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10" }, {}, { "c:2:300", "d:2:300", "e:2:300" }, { "f:3:7", "g:3:7" },
        { "h:4:300", "i:4:300" } });
    groups.insert(groups.begin() + 2, nullptr);
    groups[3]->children[1]->state = true;
    groups[4]->children[0]->state = true;
    load(groups, 6);
    const ShownResult atOnce = shown();
    ASSERT_EQ(atOnce.marked, 2);
    ASSERT_EQ(atOnce.names, (QStringList { "c", "d", "e", "h", "i", "a", "b", "f", "g" }));
    clock->advance();
    ASSERT_TRUE(sheetShown());
    screen->autoMarkSheets().closeScanComplete();

    // The same records again, on the workers: until the rows are in, the
    // screen shows no rows and no marks, its toolbar waits (a click on a
    // category does nothing) and the scan-complete sheet does not come.
    loadOnWorkers(groups, 6);
    ASSERT_TRUE(screen->isHandingOver());
    EXPECT_EQ(screen->model().rowCount(), 0);
    EXPECT_EQ(screen->listModel().rowCount(), 0);
    EXPECT_TRUE(screen->state().arrMainGroup.empty());
    EXPECT_EQ(screen->state().countMarked(), 0);
    EXPECT_FALSE(button("btnTrash")->isEnabled());
    screen->categoryButton(1)->click();
    clock->advance();
    EXPECT_FALSE(screen->isResultToolbarEnabled());
    EXPECT_FALSE(sheetShown());

    ASSERT_TRUE(handedOver());
    EXPECT_EQ(shown(), atOnce);
    EXPECT_EQ(screen->state().selectedCategoryIndex, -1);
    clock->advance();
    EXPECT_TRUE(sheetShown());
    EXPECT_TRUE(screen->isResultToolbarEnabled());
    EXPECT_TRUE(button("btnTrash")->isEnabled());
}

TEST_F(ResultsHandOverScreen, AResultSetHandedOverWhileAnotherIsMadeReadyWinsWhole)
{
    auto first = groupsOf({ { "a:1:10", "b:1:10" }, { "c:1:20", "d:1:20" } });
    first[0]->children[0]->state = true;
    auto second = groupsOf({ { "x:2:5", "y:2:5", "z:2:5" } });
    const auto firstFiles = filesOf(first);

    // One on the workers after the other: only the second is shown.
    loadOnWorkers(first, 2);
    loadOnWorkers(second, 2);
    ASSERT_TRUE(handedOver());
    EXPECT_EQ(listNames(), (QStringList { "x", "y", "z" }));
    EXPECT_EQ(screen->state().arrMainGroup, second);
    EXPECT_EQ(screen->state().countMarked(), 0);
    EXPECT_EQ(screen->state().folderPriorityList, (QStringList { "/data" }));

    // On the workers, then one at once: the late outcome of the first never
    // reaches the screen, and the first's records are let go of.
    loadOnWorkers(first, 2);
    load(second, 2);
    EXPECT_FALSE(screen->isHandingOver());
    first.clear();
    ASSERT_TRUE(waitUntil([&] { return allGone(firstFiles); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(listNames(), (QStringList { "x", "y", "z" }));
    EXPECT_EQ(screen->state().arrMainGroup, second);
    clock->advance();
    EXPECT_TRUE(sheetShown());
}

TEST_F(ResultsHandOverScreen, ClosingTheScreenMidHandOverStopsItAndLetsTheRecordsGo)
{
    std::vector<DuplicateGroupPtr> groups;
    for (int g = 0; g < 3000; ++g) {
        const QString size = QString::number(10 + g);
        groups.push_back(groupsOf({ { "a:1:" + size, "b:1:" + size, "c:1:" + size } }).front());
    }
    const auto files = filesOf(groups);
    loadOnWorkers(std::exchange(groups, {}));
    ASSERT_TRUE(screen->isHandingOver());
    screen.reset();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(allGone(files));
}

TEST_F(ResultsHandOverScreen, BackMidHandOverLeavesForGoodAndNoSheetComesAfter)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:300", "d:2:300" } });
    load(groups, 2);
    clock->advance();
    ASSERT_TRUE(sheetShown());
    screen->autoMarkSheets().closeScanComplete();
    int backs = 0;
    screen->setBackHandler([&] {
        ++backs;
        screen->hide();
    });

    // The footer's Back while the rows are made ready: the user is home, and
    // the late outcome brings up no scan-complete sheet there.
    loadOnWorkers(groups, 2);
    ASSERT_TRUE(screen->isHandingOver());
    button("btnBackToFooter")->click();
    ASSERT_EQ(backs, 1);
    EXPECT_FALSE(screen->isHandingOver());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    clock->advance();
    EXPECT_FALSE(sheetShown());

    // Shown again, the same records come back whole.
    screen->show();
    loadOnWorkers(groups, 2);
    ASSERT_TRUE(handedOver());
    EXPECT_EQ(listNames(), (QStringList { "c", "d", "a", "b" }));
    clock->advance();
    EXPECT_TRUE(sheetShown());
}

TEST_F(ResultsHandOverScreen, AMarkByCommandGoingWhenTheSameRecordsAreHandedOverStopsAndTheTotalsMatchTheMarks)
{
    // More groups than one slice of a command takes at once.
    std::vector<QStringList> shapes;
    for (int g = 0; g < 64 * SliceBudget::minimumSteps; ++g) {
        const QString size = QString::number(10 + g);
        shapes.push_back({ "a:1:" + size, "b:1:" + size });
    }
    const auto groups = groupsOf(shapes);
    loadOnWorkers(groups, qint64(groups.size()));
    ASSERT_TRUE(handedOver());
    screen->markByCommand(MarkByCommand::invert, std::nullopt);
    if (!screen->isMarkByRunning())
        GTEST_SKIP() << "the command ended within its first slice";

    // The same records again while the command is going: it marks nothing
    // more, neither while the workers read the records nor after.
    loadOnWorkers(groups, qint64(groups.size()));
    ASSERT_TRUE(handedOver());
    ASSERT_TRUE(waitUntil([&] { return !screen->isMarkByRunning(); }));
    QCoreApplication::processEvents();
    qint64 marked = 0;
    quint64 markedBytes = 0;
    for (const DuplicateGroupPtr& group : groups) {
        for (const FileInfoNodePtr& file : group->children) {
            if (file->isMarked()) {
                ++marked;
                markedBytes += file->fileSize;
            }
        }
    }
    EXPECT_GT(marked, 0);
    EXPECT_LT(marked, qint64(2 * groups.size()));
    EXPECT_EQ(screen->state().countMarked(), marked);
    EXPECT_EQ(screen->state().sizeOfMarkedFiles(), markedBytes);
}

TEST_F(ResultsScreen, SortIndicatorShowsTheOrderTheRowsTake)
{
    auto groups = groupsOf({ { "b:1:20", "zeta:1:30", "Alpha:1:10" } });
    groups[0]->children[0]->filePath = QStringLiteral("/data/deep/er/b");
    load(groups, 0);
    clock->advance();
    QHeaderView* header = listHeader();
    const struct {
        int column;
        QStringList names;
        Qt::SortOrder indicator;
    } steps[] = {
        // A first click: names Z to A, so the indicator says falling.
        { ResultsModel::nameColumn, { "zeta", "b", "Alpha" }, Qt::DescendingOrder },
        { ResultsModel::nameColumn, { "Alpha", "b", "zeta" }, Qt::AscendingOrder },
        { ResultsModel::sizeColumn, { "zeta", "b", "Alpha" }, Qt::DescendingOrder },
        { ResultsModel::sizeColumn, { "Alpha", "b", "zeta" }, Qt::AscendingOrder },
        // Paths: fewer pieces first on the first click, rising.
        { ResultsModel::folderColumn, { "Alpha", "zeta", "b" }, Qt::AscendingOrder },
        { ResultsModel::folderColumn, { "b", "Alpha", "zeta" }, Qt::DescendingOrder },
    };
    for (const auto& step : steps) {
        clickListHeader(step.column);
        EXPECT_EQ(listNames(), step.names) << step.column;
        EXPECT_TRUE(header->isSortIndicatorShown());
        EXPECT_EQ(header->sortIndicatorSection(), step.column);
        EXPECT_EQ(header->sortIndicatorOrder(), step.indicator) << step.column;
    }
    // A click beside the select-all box in the check column sorts nothing and
    // leaves the indicator where the rows were sorted.
    clickListHeader(ResultsModel::checkColumn, 2);
    EXPECT_EQ(listNames(), (QStringList { "b", "Alpha", "zeta" }));
    EXPECT_EQ(header->sortIndicatorSection(), ResultsModel::folderColumn);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // A category puts the files back in scan order: no indicator is left.
    clickListHeader(ResultsModel::nameColumn);
    clock->advance();
    screen->categoryButton(1)->click();
    EXPECT_EQ(listNames(), (QStringList { "b", "zeta", "Alpha" }));
    EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(ResultsScreen, DownAndUpMoveTheListSelectionAndThePreview)
{
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:1:5", "d:1:5" } }), 0);
    clock->advance();
    clickListRow(0);
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/a");
    QTest::keyClick(screen->tblDuplicates(), Qt::Key_Down);
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/b");
    QTest::keyClick(screen->tblDuplicates(), Qt::Key_Down);
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/c");
    QTest::keyClick(screen->tblDuplicates(), Qt::Key_Up);
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/b");
    EXPECT_EQ(screen->tblDuplicates()->selectionModel()->selectedRows().value(0).row(), 1);
}

// The context menu of the list and of the outline acts on the row that was
// right-clicked, not on the one the other view had current.
TEST_F(ResultsScreen, ListAndGroupMenusActOnTheClickedRow)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10", "c:1:10" } });
    load(groups, 0);
    clock->advance();
    const auto chooseMark = [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* mark = menu->findChild<QAction*>(QStringLiteral("menuItemMark"));
        ASSERT_NE(mark, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(mark).center());
    };
    clickListRow(0);
    clickListRow(2, Qt::RightButton);
    chooseMark();
    EXPECT_TRUE(groups[0]->children[2]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 1);

    button("btnHierarcheryView")->click();
    CustomOutlineView* outline = screen->outlineDuplicates();
    outline->expandAll();
    const QModelIndex group = screen->model().index(0, 0);
    // Row 0 under the group holds the column titles; b is the second file.
    outline->setCurrentIndex(screen->model().index(1, 0, group));
    QTest::mouseClick(
        outline->viewport(), Qt::RightButton, {}, outline->visualRect(screen->model().index(2, 0, group)).center());
    chooseMark();
    EXPECT_TRUE(groups[0]->children[1]->isMarked());
    EXPECT_FALSE(groups[0]->children[0]->isMarked());
}

// The row of column titles at the head of an open group is never the choice:
// clicked, or met by the arrow keys, it leaves the pane on a file that is
// chosen.
TEST_F(ResultsScreen, TheColumnTitlesOfAnOpenGroupAreNeverChosen)
{
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:1:5", "d:1:5" } }), 0);
    clock->advance();
    button("btnHierarcheryView")->click();
    CustomOutlineView* outline = screen->outlineDuplicates();
    outline->expandAll();
    const QModelIndex first = screen->model().index(0, 0);
    const QModelIndex second = screen->model().index(1, 0);
    const auto click = [&](const QModelIndex& row) {
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, outline->visualRect(row).center());
    };
    const auto chosen = [&] { return outline->selectionModel()->selectedRows(); };
    click(screen->model().index(2, 0, second));
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/d");

    click(screen->model().index(0, 0, first));
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/d");
    EXPECT_EQ(chosen(), QModelIndexList { screen->model().index(2, 0, second) });

    // Up from a group's first file passes its titles for the group's row.
    click(screen->model().index(1, 0, second));
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/c");
    QTest::keyClick(outline, Qt::Key_Up);
    EXPECT_EQ(chosen(), QModelIndexList { second });
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/c");
    QTest::keyClick(outline, Qt::Key_Down);
    EXPECT_EQ(chosen(), QModelIndexList { screen->model().index(1, 0, second) });
    EXPECT_EQ(screen->lblSelectedFilePath()->text(), "/data/c");
}

// A file taken off the list by its context menu leaves the pie's shares and
// wedges as it leaves the header's figures.
TEST_F(ResultsScreen, RemoveFromTheDuplicateListRedrawsThePie)
{
    const auto groups = groupsOf({ { "a:1:10", "b:1:10", "c:1:10" }, { "d:0:5", "e:0:5" } });
    load(groups, 3);
    clock->advance();
    const int pictures = int(GlobalObjects::FileCategory::Pic);
    const int documents = int(GlobalObjects::FileCategory::Doc);
    ASSERT_EQ(screen->piePercentLabel(pictures)->text(), CategoryPie::percentText(60.0));
    ASSERT_EQ(listNames().first(), QStringLiteral("a"));

    chooseFromRowMenu(0, "menuItemMoveToTrash");
    ASSERT_EQ(listNames(), (QStringList { "b", "c", "d", "e" }));

    for (const int slot : { pictures, documents })
        EXPECT_EQ(screen->piePercentLabel(slot)->text(), CategoryPie::percentText(50.0)) << slot;
    const std::vector<double>& wedges = screen->pieChart()->valuesArray();
    ASSERT_EQ(wedges.size(), std::size_t(CategoryPie::slotCount));
    EXPECT_DOUBLE_EQ(wedges[std::size_t(pictures)], 50.0);
    EXPECT_DOUBLE_EQ(wedges[std::size_t(documents)], 50.0);
}

// A new result set opens the list at its first row, wherever the last one
// was scrolled to.
TEST_F(ResultsScreen, ANewResultSetOpensTheListAtItsFirstRow)
{
    load(manyGroups(400));
    clock->advance();
    screen->autoMarkSheets().btnSelectManually->click();
    CustomTableView* table = screen->tblDuplicates();
    QScrollBar* bar = table->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    // Down the list as the scroll bar's lower arrow takes it.
    for (int i = 0; i < 200; ++i)
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_GT(bar->value(), bar->maximum() / 2);

    load(manyGroups(400));
    clock->advance();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(table->rowAt(0), 0) << "the list does not start at its first row";
}

// Space marks as the check box does: the current row of the list, the
// selected row of the outline (a group row is the group's box), the selected
// items of the grid at once; a protected file asks first.
TEST_F(ResultsScreen, SpaceTogglesTheMarksOfTheSelectionAsItsCheckBoxesDo)
{
    auto groups = groupsOf({ { "a:1:30", "b:1:30", "c:1:30" }, { "d:1:20", "e:1:20" } });
    load(groups, 0);
    clock->advance();
    CustomTableView* list = screen->tblDuplicates();
    list->setFocus();
    clickListRow(1);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(groups[0]->children[1]->isMarked());
    EXPECT_EQ(screen->lblNumMarkedFiles()->text(), screen->state().markedCountLabel().text);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(groups[0]->children[1]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 0);

    button("btnHierarcheryView")->click();
    clock->advance();
    CustomOutlineView* outline = screen->outlineDuplicates();
    outline->expandAll();
    const QModelIndex second = screen->model().index(1, 0);
    outline->setCurrentIndex(second);
    QTest::keyClick(outline, Qt::Key_Space);
    EXPECT_TRUE(groups[1]->children[0]->isMarked() != groups[1]->children[1]->isMarked()) << "the group's box";
    EXPECT_EQ(second.data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox)).toInt(), 1);
    outline->setCurrentIndex(screen->model().index(1, 0, second));
    QTest::keyClick(outline, Qt::Key_Space);
    EXPECT_EQ(screen->state().countMarked(), 0);

    // Two items of the grid: one change reaches the views, the totals move by both.
    button("btnThumbnailView")->click();
    clock->advance();
    MyCollectionView* grid = screen->collDuplicates();
    grid->selectItem({ 0, 0 }, QItemSelectionModel::ClearAndSelect);
    grid->selectItem({ 0, 2 });
    QSignalSpy changes(&screen->gridModel(), &QAbstractItemModel::dataChanged);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_TRUE(groups[0]->children[0]->isMarked());
    EXPECT_TRUE(groups[0]->children[2]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 2);
    EXPECT_EQ(changes.count(), 1);
    // The group's last unmarked file stays so, told once.
    grid->selectItem({ 0, 1 }, QItemSelectionModel::ClearAndSelect);
    grid->selectItem({ 1, 0 });
    alerts->shown.clear();
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_FALSE(groups[0]->children[1]->isMarked());
    EXPECT_TRUE(groups[1]->children[0]->isMarked());
    EXPECT_EQ(alerts->shown.size(), 1u);

    // A protected file: the question first, No keeps it unmarked.
    auto folder = std::make_shared<FilePathNode>();
    folder->filePath = QStringLiteral("/data");
    sources->replace(ScanSource::thisComputer, SourceList::protect, { folder });
    for (const DuplicateGroupPtr& group : groups) {
        for (const FileInfoNodePtr& file : group->children)
            file->folderPath = *folder->filePath;
    }
    load(groups, 0);
    screen->state().unmarkAllShownFiles();
    button("btnListView")->click();
    clock->advance();
    clickListRow(0);
    alerts->shown.clear();
    alerts->answer = 0;
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(screen->state().countMarked(), 0);
    alerts->answer = 1;
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(screen->state().countMarked(), 1);
    EXPECT_TRUE(screen->model().fileOfListRow(0)->isProtectedMarkConfirmed);
}

// The Menu key and Shift+F10 open the context menu of the current row or
// item, which then acts on it as after a right click there.
TEST_F(ResultsScreen, TheMenuKeyOpensTheContextMenuOfTheCurrentRowInEachView)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10", "c:1:10" } });
    load(groups, 0);
    clock->advance();
    const auto chooseMark = [] {
        ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* mark = menu->findChild<QAction*>(QStringLiteral("menuItemMark"));
        ASSERT_NE(mark, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(mark).center());
    };
    clickListRow(2);
    QTest::keyClick(screen->tblDuplicates(), Qt::Key_Menu);
    chooseMark();
    EXPECT_TRUE(groups[0]->children[2]->isMarked());

    button("btnHierarcheryView")->click();
    clock->advance();
    CustomOutlineView* outline = screen->outlineDuplicates();
    outline->expandAll();
    outline->setCurrentIndex(screen->model().index(1, 0, screen->model().index(0, 0)));
    QTest::keyClick(outline, Qt::Key_F10, Qt::ShiftModifier);
    chooseMark();
    EXPECT_TRUE(groups[0]->children[0]->isMarked());
    // A group row has no menu.
    outline->setCurrentIndex(screen->model().index(0, 0));
    QTest::keyClick(outline, Qt::Key_Menu);
    EXPECT_FALSE(QApplication::activePopupWidget());

    button("btnThumbnailView")->click();
    clock->advance();
    MyCollectionView* grid = screen->collDuplicates();
    grid->selectItem({ 0, 1 }, QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(grid, Qt::Key_Menu);
    chooseMark();
    EXPECT_EQ(screen->state().countMarked(), 2) << "the last unmarked file stays so";
    EXPECT_FALSE(groups[0]->children[1]->isMarked());
    EXPECT_FALSE(alerts->shown.empty());
}

// The name and folder columns share the room beyond the least widths; what
// no longer fits is scrolled to, also after the user widened a column.
TEST_F(ResultsScreen, ListColumnsTakeTheRoomAndScrollWhenTheyNoLongerFit)
{
    load(groupsOf({ { "a:1:10", "b:1:10" } }), 0);
    clock->advance();
    CustomTableView* list = screen->tblDuplicates();
    QHeaderView* header = list->horizontalHeader();
    const auto fillsTheList = [&] { return header->length() == list->viewport()->width(); };
    EXPECT_TRUE(fillsTheList());
    const int name = header->sectionSize(ResultsModel::nameColumn);
    const int folder = header->sectionSize(ResultsModel::folderColumn);
    const int size = header->sectionSize(ResultsModel::sizeColumn);
    const int before = list->viewport()->width();

    screen->resize(screen->width() + 800, screen->height());
    QApplication::processEvents();
    const int grown = list->viewport()->width() - before;
    ASSERT_GT(grown, 700);
    EXPECT_TRUE(fillsTheList());
    EXPECT_NEAR(header->sectionSize(ResultsModel::nameColumn) - name, grown / 2, 1);
    EXPECT_NEAR(header->sectionSize(ResultsModel::folderColumn) - folder, grown / 2, 1);
    EXPECT_EQ(header->sectionSize(ResultsModel::sizeColumn), size);

    // Widened by the user at full size, then the window shrinks again.
    const int edge = header->sectionViewportPosition(ResultsModel::sizeColumn) + size - 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, header->height() / 2));
    QMouseEvent drag(QEvent::MouseMove, QPointF(edge + 300, header->height() / 2.0),
        header->viewport()->mapToGlobal(QPointF(edge + 300, header->height() / 2.0)), Qt::NoButton, Qt::LeftButton,
        Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &drag);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 300, header->height() / 2));
    EXPECT_EQ(header->sectionSize(ResultsModel::sizeColumn), size + 300);
    EXPECT_TRUE(fillsTheList()) << "the name and folder gave up the room";
    screen->resize(screen->width() - 800, screen->height());
    QApplication::processEvents();
    EXPECT_GT(header->length(), list->viewport()->width());
    EXPECT_TRUE(list->horizontalScrollBar()->isVisible());
    list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
    EXPECT_LE(header->sectionViewportPosition(ResultsModel::folderColumn) + header->sectionSize(ResultsModel::folderColumn),
        list->viewport()->width());
}

// The outline's name and folder widen with the view; below its least row the
// outline scrolls sideways.
TEST_F(ResultsScreen, OutlineRowsTakeTheRoomAndScrollWhenTheyNoLongerFit)
{
    load(groupsOf({ { "a:1:10", "b:1:10" } }), 0);
    button("btnHierarcheryView")->click();
    clock->advance();
    CustomOutlineView* outline = screen->outlineDuplicates();
    outline->expandAll();
    const QModelIndex file = screen->model().index(1, 0, screen->model().index(0, 0));
    auto* cell = qobject_cast<CustomCell*>(outline->itemDelegateForIndex(file));
    ASSERT_TRUE(cell);
    const auto rects = [&] { return cell->outletRects(outline->visualRect(file), file); };
    const auto slot = [](const auto& all, CustomCell::Outlet outlet) { return all[std::size_t(outlet)]; };
    using Outlet = CustomCell::Outlet;
    const auto narrow = rects();
    EXPECT_FALSE(outline->horizontalScrollBar()->isVisible());

    screen->resize(screen->width() + 600, screen->height());
    QApplication::processEvents();
    const auto wide = rects();
    EXPECT_NEAR(slot(wide, Outlet::lbltextField).width() - slot(narrow, Outlet::lbltextField).width(), 300, 4);
    EXPECT_NEAR(slot(wide, Outlet::lblFilePath).width() - slot(narrow, Outlet::lblFilePath).width(), 300, 4);
    EXPECT_EQ(slot(wide, Outlet::lblSize).left() - slot(narrow, Outlet::lblSize).left(),
        slot(wide, Outlet::lbltextField).width() - slot(narrow, Outlet::lbltextField).width());

    screen->resize(screen->width() - 600, screen->height());
    screen->findChild<QSplitter*>()->setSizes({ 500, screen->width() - 500 });
    QApplication::processEvents();
    EXPECT_TRUE(outline->horizontalScrollBar()->isVisible());
    EXPECT_GE(slot(rects(), Outlet::lblFilePath).width(), 60);
}

// The group view tells copies in different folders apart: at the small
// screen's least window and at the base size, the Folder Path cells of three
// copies of one name in three folders of one parent draw differently, and
// the tip over such a cell is the file's whole path.
TEST_F(ResultsScreen, GroupViewPathCellsTellCopiesApartAndTipTheirWholePath)
{
    const QStringList paths { QStringLiteral("/tmp/new-photos/sorted/holiday-2023.mp4"),
        QStringLiteral("/tmp/new-photos/phone/holiday-2023.mp4"),
        QStringLiteral("/tmp/new-photos/backup/holiday-2023.mp4") };
    for (const bool small : { true, false }) {
        SCOPED_TRACE(small ? "small screen" : "base size");
        clock = std::make_shared<HandClock>();
        makeScreen(small);
        auto group = std::make_shared<DuplicateGroup>();
        for (const QString& path : paths) {
            auto file = std::make_shared<FileInfoNode>();
            file->filePath = path;
            file->folderPath = QFileInfo(path).path();
            file->fileName = QFileInfo(path).fileName();
            file->fileSize = 4096;
            addFileToGroup(group, file);
        }
        load({ group }, 2);
        clock->advance();
        button("btnHierarcheryView")->click();
        clock->advance();
        CustomOutlineView* outline = screen->outlineDuplicates();
        outline->expandAll();
        QApplication::processEvents();
        const QImage drawn = outline->viewport()->grab().toImage();
        std::vector<QImage> cells;
        for (int row = 1; row <= 3; ++row) {
            const QModelIndex file = screen->model().index(row, 0, screen->model().index(0, 0));
            auto* cell = qobject_cast<CustomCell*>(outline->itemDelegateForIndex(file));
            ASSERT_TRUE(cell);
            const QRect rect = cell->outletRects(outline->visualRect(file), file)[std::size_t(CustomCell::Outlet::lblFilePath)];
            ASSERT_GE(rect.width(), 50);
            cells.push_back(drawn.copy(rect));

            QHelpEvent tip(QEvent::ToolTip, rect.center(), outline->viewport()->mapToGlobal(rect.center()));
            QApplication::sendEvent(outline->viewport(), &tip);
            EXPECT_EQ(QToolTip::text(), paths[row - 1]);
            QToolTip::hideText();
        }
        EXPECT_NE(cells[0], cells[1]);
        EXPECT_NE(cells[1], cells[2]);
        EXPECT_NE(cells[0], cells[2]);
    }
}

// A group row keeps the whole of its first file's name while the row has
// room beside its description and count, at the base size, the small
// screen's and a larger window; a longer name is cut before the description.
TEST_F(ResultsScreen, AGroupRowsNameTakesTheRoomItsRowHas)
{
    const QString panorama = QStringLiteral("Panorama of the mountains above the lake at sunrise.jpg");
    const QString endless = QStringLiteral("A scan of every page of the old family album, ").repeated(12) + "jpg";
    using Outlet = CustomCell::Outlet;
    for (const QSize size : { QSize(1082, 720), QSize(960, 620), QSize(1900, 720) }) {
        screen->resize(size);
        load({ groupOfPaths({ "/a/" + panorama, "/b/" + panorama }, 9000),
                 groupOfPaths({ "/a/" + endless, "/b/" + endless }) },
            2);
        clock->advance();
        button("btnHierarcheryView")->click();
        QApplication::processEvents();
        for (int row = 0; row < 2; ++row) {
            const QModelIndex group = screen->model().index(row, 0);
            auto* cell = qobject_cast<CustomCell*>(screen->outlineDuplicates()->itemDelegateForIndex(group));
            const QRect rect = screen->outlineDuplicates()->visualRect(group);
            const auto rects = cell->outletRects(rect, group);
            const QString count = cell->shownText(rect, group, Outlet::lblCount);
            EXPECT_LT(rects[std::size_t(Outlet::lbltextField)].right(), rects[std::size_t(Outlet::lblDescription)].left());
            EXPECT_LT(rects[std::size_t(Outlet::lblDescription)].right(), rects[std::size_t(Outlet::lblCount)].right()
                    - QFontMetrics(cell->drawnFont(Outlet::lblCount)).horizontalAdvance(count));
            EXPECT_EQ(cell->shownText(rect, group, Outlet::lblDescription),
                group.data(CustomCell::roleOf(Outlet::lblDescription)).toString());
            const QString name = cell->shownText(rect, group, Outlet::lbltextField);
            EXPECT_EQ(name == (row == 0 ? panorama : endless), row == 0) << size.width() << " " << name.toStdString();
        }
    }
}

// The category buttons stand over the list at the least window size, and
// when the splitter gives the list less room.
TEST_F(ResultsScreen, CategoryButtonsStayOverTheList)
{
    const auto listEdge = [&] {
        QWidget* list = screen->tblDuplicates()->parentWidget();
        return list->mapTo(screen.get(), QPoint(list->width(), 0)).x();
    };
    const auto rowEdge = [&] {
        int right = 0;
        for (int i = 0; i < 7; ++i) {
            RAZButton* button = screen->categoryButton(i);
            right = std::max(right, button->mapTo(screen.get(), QPoint(button->width(), 0)).x());
        }
        return right;
    };
    EXPECT_LE(rowEdge(), listEdge());
    auto* split = screen->findChild<QSplitter*>();
    split->setSizes({ 700, screen->width() - 700 });
    QApplication::processEvents();
    EXPECT_LE(rowEdge(), listEdge());
    // With the preview pane hidden the buttons take their own widths again.
    button("btnFullScreen")->click();
    QApplication::processEvents();
    EXPECT_GE(screen->categoryButton(0)->width(), 100);
    EXPECT_LE(rowEdge(), listEdge());
}

// Undo is offered where it can bring files back: on this computer's results
// (nothing removed yet: it says there is nothing to undo), and on any results
// while a removal of this computer's files can be undone; not on the results
// of a source whose removals nothing brings back.
TEST_F(ResultsCleanup, UndoIsOfferedOnlyWhereItCanBringFilesBack)
{
    const auto results = [&](ScanSource source) {
        auto first = std::make_shared<FileInfoNode>(*pictures->children[0]);
        auto second = std::make_shared<FileInfoNode>(*pictures->children[0]);
        second->filePath = *first->filePath + QStringLiteral(".copy");
        screen->loadScanResults({ group({ first, second }) }, 1, source);
        settle();
    };
    loadPicturesAndDocuments();
    settle();
    QAbstractButton* undo = button("btnUndo");
    EXPECT_TRUE(undo->isEnabled());
    results(ScanSource::lightroomCatalog);
    EXPECT_FALSE(undo->isEnabled());
    undo->click();
    EXPECT_FALSE(screen->afterCleanSheets().windowActionCompleted()->isVisible());
    results(ScanSource::oneDrive);
    EXPECT_FALSE(undo->isEnabled());

    loadPicturesAndDocuments();
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    removeMarkedFiles();
    results(ScanSource::lightroomCatalog);
    ASSERT_TRUE(undo->isEnabled());
    undo->click();
    EXPECT_EQ(screen->afterCleanSheets().lblActionToUndo->text().toStdString(), "2 removed files will be restored.");
    screen->afterCleanSheets().btnYesForUndo->click();
    ASSERT_TRUE(waitUntil([&] { return !screen->cleanup().isUndoing(); }));
    EXPECT_EQ(screen->cleanup().lastUndoReport().restored, 2);
    EXPECT_FALSE(undo->isEnabled());
}

// A removed file the trash no longer holds comes back as a copy of the kept
// copy that vouched for it, only while that is still the file its bytes were
// compared with then: never one written to since, nor through a link put in
// its place, nor over a file now at the path. The copies are told with their
// kept file, every name on one line.
TEST_F(ResultsCleanup, UndoCopiesBackTheKeptCopyOfAFileTheTrashNoLongerHolds)
{
    using Category = GlobalObjects::FileCategory;
    const auto pair = [&](const QString& name) {
        return group({ file(QStringLiteral("k-") + name, "same bytes", Category::Doc),
            file(QStringLiteral("m-") + name, "same bytes", Category::Doc) });
    };
    const std::vector<DuplicateGroupPtr> groups = { pair(QStringLiteral("back\nhere.txt")),
        pair(QStringLiteral("changed.txt")), pair(QStringLiteral("taken.txt")), pair(QStringLiteral("linked.txt")) };
    screen->loadScanResults(groups, 4, ScanSource::thisComputer);
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    removeMarkedFiles();
    const auto& removed = screen->cleanup().arrNodesToBeRestoredLocal();
    ASSERT_EQ(removed.size(), 4u);
    // The user empties the trash.
    for (const RemovedFile& entry : removed) {
        ASSERT_TRUE(QFile::remove(entry.trashedPath)) << entry.trashedPath.toStdString();
        ASSERT_TRUE(QFile::remove(entry.trashInfoPath));
    }
    const auto pathOf = [&](std::size_t group, int member) { return *groups[group]->children[member]->filePath; };
    writeTestFile(pathOf(1, 0), "SAME BYTES");
    writeTestFile(pathOf(2, 1), "a new file");
    const QString elsewhere = home.path() + QStringLiteral("/elsewhere.txt");
    writeTestFile(elsewhere, "same bytes");
    ASSERT_TRUE(QFile::remove(pathOf(3, 0)) && QFile::link(elsewhere, pathOf(3, 0)));

    button("btnUndo")->click();
    screen->afterCleanSheets().btnYesForUndo->click();
    ASSERT_TRUE(waitUntil([&] { return !screen->cleanup().isUndoing(); }));
    EXPECT_EQ(screen->cleanup().lastUndoReport().restored, 1);
    const auto read = [](const QString& path) {
        QFile opened(path);
        return opened.open(QIODevice::ReadOnly) ? opened.readAll() : QByteArray("(none)");
    };
    EXPECT_EQ(read(pathOf(0, 1)), QByteArray("same bytes"));
    EXPECT_EQ(read(pathOf(1, 1)), QByteArray("(none)"));
    EXPECT_EQ(read(pathOf(2, 1)), QByteArray("a new file"));
    EXPECT_EQ(read(pathOf(3, 1)), QByteArray("(none)"));
    const QString details = screen->afterCleanSheets().txtActionDetails->toPlainText();
    const QStringList lines = details.split(QLatin1Char('\n'));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("These have been restored as copies of the kept files with the same content:")))
        << details.toStdString();
    EXPECT_TRUE(
        lines.contains(printablePath(pathOf(0, 1)) + QStringLiteral(": a copy of ") + printablePath(pathOf(0, 0))))
        << details.toStdString();
    EXPECT_TRUE(details.contains(pathOf(1, 0) + QStringLiteral(" has changed since the removal, so it was not used")))
        << details.toStdString();
    EXPECT_TRUE(details.contains(pathOf(2, 1) + QStringLiteral(": a file is already at this path")));
    EXPECT_TRUE(details.contains(pathOf(3, 0) + QStringLiteral(" cannot be used: a symbolic link, not a file")))
        << details.toStdString();
    // What did not come back can be tried again.
    EXPECT_EQ(screen->cleanup().arrNodesToBeRestoredLocal().size(), 3u);
}

TEST_F(ResultsCleanup, UndoSpinsItsIndicatorWhileFilesComeBack)
{
    loadPicturesAndDocuments();
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    QSignalSpy removalRebuilt(&screen->model(), &QAbstractItemModel::layoutChanged);
    removeMarkedFiles();
    // The rows left after the removal are taken once.
    EXPECT_EQ(removalRebuilt.count(), 1);
    auto* indicator = screen->findChild<QProgressBar*>(QStringLiteral("hudAfterYesUndoPressed"));
    ASSERT_TRUE(indicator);
    EXPECT_FALSE(indicator->isVisible());

    button("btnUndo")->click();
    QSignalSpy rebuilt(&screen->model(), &QAbstractItemModel::layoutChanged);
    screen->afterCleanSheets().btnYesForUndo->click();
    EXPECT_TRUE(screen->cleanup().isUndoing());
    EXPECT_TRUE(indicator->isVisible());
    // A busy indicator: no range, so it runs without a count.
    EXPECT_EQ(indicator->maximum(), 0);
    ASSERT_TRUE(waitUntil([&] { return !screen->cleanup().isUndoing(); }));
    EXPECT_FALSE(indicator->isVisible());
    EXPECT_TRUE(QFileInfo::exists(*pictures->children.back()->filePath));
    // The files that came back are shown again, the rows built once.
    EXPECT_EQ(rebuilt.count(), 1);
    EXPECT_EQ(screen->model().arrAllDupFiles().size(), 4u);
}

// A name holding line breaks, a forged reason or a bidirectional override
// stays one entry of its list, on one line as the log writes it: among the
// files the clean-up left and in the undo's details alike.
TEST_F(ResultsCleanup, AHostileNameIsOneEntryOnOneLineAfterTheCleanUpAndTheUndo)
{
    using Category = GlobalObjects::FileCategory;
    const QString forged = QStringLiteral("m\nk.jpg: it could not be found\nphoto-\u202egpj.exe");
    const QString stays = QStringLiteral("m stays\nk.pdf: it has been removed");
    pictures = group({ file("k.jpg", "picture", Category::Pic), file(forged, "picture", Category::Pic) });
    documents = group({ file("k.pdf", "document", Category::Doc), file(stays, "document", Category::Doc) });
    const QString forgedPath = *pictures->children[1]->filePath;
    screen->loadScanResults({ pictures, documents }, 2, ScanSource::thisComputer);
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    // Saved again since the scan: the clean-up leaves it where it is.
    writeTestFile(*documents->children[1]->filePath, "document, saved again");
    button("btnTrash")->click();
    screen->trashSheets().btnTrashOnReview->click();
    AfterCleanSheets& sheets = screen->afterCleanSheets();
    ASSERT_TRUE(waitUntil([&] { return sheets.windowAfterClean()->isVisible(); }));
    ASSERT_TRUE(sheets.txtNotRemoved->isVisible());
    const QString left = sheets.txtNotRemoved->toPlainText();
    EXPECT_EQ(sheets.txtNotRemoved->document()->blockCount(), 1) << left.toStdString();
    EXPECT_TRUE(left.contains(QStringLiteral("/m stays\\nk.pdf: it has been removed: "))) << left.toStdString();
    sheets.btnOkTrash->click();
    ASSERT_FALSE(QFileInfo::exists(forgedPath));

    // Another file took its place: the undo cannot put it back, and says so.
    writeTestFile(forgedPath, "another picture");
    button("btnUndo")->click();
    sheets.btnYesForUndo->click();
    ASSERT_TRUE(waitUntil([&] { return sheets.windowActionCompleted()->isVisible(); }));
    const QString details = sheets.txtActionDetails->toPlainText();
    EXPECT_EQ(sheets.txtActionDetails->document()->blockCount(), 1) << details.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("/m\\nk.jpg: it could not be found\\nphoto-\\u202egpj.exe: ")))
        << details.toStdString();
    EXPECT_FALSE(details.contains(QChar(0x202e)));
}

TEST_F(ResultsCleanup, AutoMarkStaysOffForACategoryTheCleanUpEmptied)
{
    loadPicturesAndDocuments();
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    // Only the pictures are shown, so only their marked copy goes.
    screen->categoryButton(1)->click();
    settle();
    ASSERT_EQ(screen->state().arrGroups.size(), 1u);
    removeMarkedFiles();
    settle();
    QAbstractButton* autoMark = button("btnAutoMark");
    EXPECT_TRUE(screen->state().arrGroups.empty());
    EXPECT_FALSE(autoMark->isEnabled());
    EXPECT_TRUE(button("btnUnmarkAll")->isEnabled());

    // All items show the documents again, and marking them is possible.
    screen->categoryButton(0)->click();
    settle();
    EXPECT_FALSE(screen->state().arrGroups.empty());
    EXPECT_TRUE(autoMark->isEnabled());
}

// Delete Marked while the category hides a mark asks of the files shown and
// says that the hidden one stays; the question of the marks comes back once
// none is hidden, of the one left in the singular.
TEST_F(ResultsCleanup, DeleteMarkedWithAMarkTheCategoryHidesAsksOfTheShownFileAndTellsTheHiddenOneStays)
{
    loadPicturesAndDocuments();
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    QTest::mouseClick(screen->categoryButton(1), Qt::LeftButton);
    settle();
    ASSERT_EQ(screen->state().countMarked(), 1);
    ASSERT_EQ(screen->state().hiddenMarkedCount(), 1);
    const QString shownMark = *pictures->children[1]->filePath;
    const FileInfoNodePtr hiddenMark = documents->children[1];
    TrashSheets& sheets = screen->trashSheets();
    const auto deleteMarked = [&] {
        auto* link = button("btnDeleteLink");
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        ASSERT_TRUE(sheets.windowTrashConfirmation()->isVisible());
    };
    ASSERT_NO_FATAL_FAILURE(deleteMarked());
    EXPECT_EQ(sheets.lblAreYouSureToDeleteHeading->text().toStdString(),
        localizedText("ID_DELETE_SHOWN_MARKED_FILE").toStdString());
    EXPECT_EQ(sheets.lblAreYouSureToDeleteInfo->text().toStdString(),
        localizedText("ID_HIDDEN_MARKED_FILE_STAYS").toStdString());
    QTest::mouseClick(sheets.btnTrashOnReview, Qt::LeftButton, {}, sheets.btnTrashOnReview->rect().center());
    ASSERT_TRUE(waitUntil([&] { return screen->afterCleanSheets().windowAfterClean()->isVisible(); }));
    EXPECT_FALSE(QFileInfo::exists(shownMark));
    EXPECT_TRUE(QFileInfo::exists(*hiddenMark->filePath));
    EXPECT_TRUE(hiddenMark->isMarked());
    screen->afterCleanSheets().btnOkTrash->click();

    QTest::mouseClick(screen->categoryButton(0), Qt::LeftButton);
    settle();
    ASSERT_NO_FATAL_FAILURE(deleteMarked());
    EXPECT_EQ(
        sheets.lblAreYouSureToDeleteHeading->text().toStdString(), "Are you sure you want to delete the marked item?");
    QTest::mouseClick(sheets.btnReview, Qt::LeftButton, {}, sheets.btnReview->rect().center());
    EXPECT_TRUE(QFileInfo::exists(*hiddenMark->filePath));
}

// Open and Show in File Manager from a row's menu, with nothing on the
// desktop to hand the file to (the offscreen desktop has no application and
// no file manager), say so in an alert that names the file.
TEST_F(ResultsCleanup, OpenAndShowInFileManagerWithNothingToHandTheFileToSaySo)
{
    loadPicturesAndDocuments();
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    const int row = listNames().indexOf(QStringLiteral("k.pdf"));
    ASSERT_GE(row, 0);
    const auto choose = [&](const char* item) {
        clickListRow(row);
        clickListRow(row, Qt::RightButton);
        ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* action = menu->findChild<QAction*>(QString::fromLatin1(item));
        ASSERT_TRUE(action && action->isEnabled()) << item;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    };
    const QString path = *documents->children.front()->filePath;
    ASSERT_NO_FATAL_FAILURE(choose("menuItemOpen"));
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, QStringLiteral("k.pdf could not be opened."));
    EXPECT_EQ(alerts->shown[0].informativeText,
        QStringLiteral("No application could be asked to open %1. Set one up for files of its type in your "
                       "desktop's settings.")
            .arg(path));
    ASSERT_NO_FATAL_FAILURE(choose("menuItemRevealInFinder"));
    ASSERT_EQ(alerts->shown.size(), 2u);
    EXPECT_EQ(alerts->shown[1].messageText, QStringLiteral("k.pdf could not be shown in a file manager."));
    EXPECT_TRUE(alerts->shown[1].informativeText.endsWith(QFileInfo(path).path()))
        << alerts->shown[1].informativeText.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path));
}

// Review, or Escape, on the removal question leaves the marks, and Delete
// Marked shows on, as it works: blue, not the grey of nothing marked.
TEST_F(ResultsCleanup, DeleteMarkedStaysOnAfterTheRemovalQuestionIsPutAside)
{
    loadPicturesAndDocuments();
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    auto* remove = screen->findChild<IMGButton*>(QStringLiteral("btnTrash"));
    ASSERT_EQ(screen->state().countMarked(), 2);
    ASSERT_EQ(remove->state(), 1);
    CustomWindowNag* question = screen->trashSheets().windowTrashConfirmation();
    const std::function<void()> putAside[] = {
        [&] { QTest::mouseClick(screen->trashSheets().btnReview, Qt::LeftButton); },
        [&] { QTest::keyClick(question, Qt::Key_Escape); },
    };
    for (const auto& answer : putAside) {
        QTest::mouseClick(remove, Qt::LeftButton, {}, remove->rect().center());
        ASSERT_TRUE(question->isVisible());
        answer();
        EXPECT_FALSE(question->isVisible());
        EXPECT_EQ(remove->state(), 1);
        EXPECT_TRUE(remove->isEnabled());
    }
    EXPECT_EQ(screen->state().countMarked(), 2);
    EXPECT_TRUE(QFileInfo::exists(*pictures->children.back()->filePath));
}

// A clean-up that took every duplicate leaves nothing to mark and nothing
// protected: Auto-Mark, without its question, and a mark-by command say that
// there is nothing to mark.
TEST_F(ResultsCleanup, AfterEveryDuplicateWentMarkingSaysThereIsNothingToMark)
{
    loadPicturesAndDocuments();
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    removeMarkedFiles();
    settle();
    ASSERT_TRUE(screen->state().arrGroups.empty());
    alerts->shown.clear();

    QAbstractButton* autoMark = button("btnAutoMark");
    ASSERT_TRUE(autoMark->isEnabled());
    QTest::mouseClick(autoMark, Qt::LeftButton, {}, autoMark->rect().center());
    settle();
    EXPECT_FALSE(screen->autoMarkSheets().windowAutoMark->isVisible());
    EXPECT_FALSE(screen->autoMarking().isRunning());
    screen->markMenu().itemFor(MarkByCommand::size, 0)->trigger();
    EXPECT_EQ(alerts->messages(), QStringList(2, QStringLiteral("There is nothing to mark: no duplicate files are shown.")));
}

TEST_F(ResultsCleanup, ClosingTheScanCompleteSheetClosesTheCleanUpQuestionsUnanswered)
{
    loadPicturesAndDocuments();
    settle();
    CustomWindowNag* scanComplete = screen->autoMarkSheets().windowScanComplete;
    ASSERT_TRUE(scanComplete->isVisible());
    button("btnTrash")->click();
    CustomWindowNag* trashQuestion = screen->trashSheets().windowTrashConfirmation();
    ASSERT_TRUE(trashQuestion->isVisible());
    screen->autoMarkSheets().btnSelectManually->click();
    EXPECT_FALSE(scanComplete->isVisible());
    EXPECT_FALSE(trashQuestion->isVisible());
    EXPECT_FALSE(screen->cleanup().isRemoving());
    EXPECT_TRUE(QFileInfo::exists(*pictures->children.back()->filePath));

    // The undo's question too, when a result set is shown again.
    removeMarkedFiles();
    screen->loadScanResults({ pictures, documents }, 2, ScanSource::thisComputer);
    settle();
    ASSERT_TRUE(scanComplete->isVisible());
    button("btnUndo")->click();
    CustomWindowNag* undoQuestion = screen->afterCleanSheets().windowUndoConfirmation();
    ASSERT_TRUE(undoQuestion->isVisible());
    screen->autoMarkSheets().btnSelectManually->click();
    EXPECT_FALSE(undoQuestion->isVisible());
    EXPECT_FALSE(screen->cleanup().isUndoing());
    EXPECT_EQ(screen->cleanup().arrNodesToBeRestoredLocal().size(), 2u);
}

class ResultsCleanupAtScale : public ResultsCleanup {
protected:
    // count groups of files named prefix…: sizes differ by group; every
    // third group keeps two copies after the removal, the others one, and
    // every fourth holds documents, the rest pictures.
    std::vector<DuplicateGroupPtr> groupsToClean(const QString& prefix, int count)
    {
        using Category = GlobalObjects::FileCategory;
        std::vector<DuplicateGroupPtr> groups;
        for (int g = 0; g < count; ++g) {
            const Category category = g % 4 ? Category::Pic : Category::Doc;
            const QByteArray bytes = QByteArray::number(g).repeated(1 + g % 7);
            std::vector<FileInfoNodePtr> files;
            for (int copy = 0; copy < (g % 3 ? 2 : 3); ++copy) {
                files.push_back(file(QStringLiteral("%1/f%2-%3").arg(prefix).arg(g).arg(copy), bytes, category));
                files.back()->state = copy > 0;
            }
            // The first copy of a group of three stays, unmarked, with its keeper.
            if (files.size() == 3)
                files[1]->state = false;
            groups.push_back(group(files));
        }
        return groups;
    }
    // What the screen shows, the run's prefix taken out of names and
    // folders, with the groups kept and the duplicates counted.
    std::tuple<ShownResult, std::size_t, qint64, QString> shownWithout(const QString& prefix) const
    {
        ShownResult seen = shown();
        for (QStringList* texts : { &seen.names, &seen.folders })
            texts->replaceInStrings(prefix, QStringLiteral("run"));
        const ResultsState& state = screen->state();
        return { seen, state.arrMainGroup.size(), state.dupCount, state.duplicatesSummary().lblDupsInGroups };
    }
    // The undo through its Yes button, until it has ended.
    void undo()
    {
        button("btnUndo")->click();
        screen->afterCleanSheets().btnYesForUndo->click();
        ASSERT_TRUE(waitUntil([&] { return !screen->cleanup().isUndoing(); }));
    }
    // Loads a set of the same shape, shows the category (all for -1),
    // removes its marked files and undoes it, with the rebuilds on a worker
    // from this many groups on: what was shown after each.
    using Seen = std::tuple<ShownResult, std::size_t, qint64, QString>;
    std::pair<Seen, Seen> removeAndUndo(const QString& prefix, int category, std::size_t from)
    {
        screen->cleanup().setBackgroundFrom(from);
        load(groupsToClean(prefix, 40));
        settle();
        screen->autoMarkSheets().btnSelectManually->click();
        if (category >= 0)
            screen->categoryButton(category)->click();
        settle();
        removeMarkedFiles();
        settle();
        const Seen afterRemoval = shownWithout(prefix);
        // Every group shown again as the All Items button shows them: the
        // same rows and totals.
        if (category < 0) {
            screen->state().btnShowAllItems();
            EXPECT_EQ(shownWithout(prefix), afterRemoval);
        }
        undo();
        screen->afterCleanSheets().windowActionCompleted()->close();
        settle();
        const Seen afterUndo = shownWithout(prefix);
        screen->state().btnShowAllItems();
        EXPECT_EQ(shownWithout(prefix), afterUndo);
        return { afterRemoval, afterUndo };
    }
};

TEST_F(ResultsCleanupAtScale, RemovalAndUndoRebuiltOnAWorkerShowWhatAWholeStepShows)
{
    for (const int category : { -1, 1 }) {
        SCOPED_TRACE(category);
        const QString tag = QString::number(category + 1);
        const auto atOnce = removeAndUndo(QStringLiteral("once") + tag, category, 1'000'000);
        const auto onWorker = removeAndUndo(QStringLiteral("worker") + tag, category, 1);
        // The removal left the groups that kept two copies, sorted, their
        // marked copies gone; the undo brought every file back.
        EXPECT_LT(std::get<0>(atOnce.first).names.size(), std::get<0>(atOnce.second).names.size());
        EXPECT_EQ(atOnce.first, onWorker.first);
        EXPECT_EQ(atOnce.second, onWorker.second);
        EXPECT_FALSE(screen->cleanup().isRemoving());
    }
}

TEST_F(ResultsCleanupAtScale, ACommandFinishingTheUndosRebuildDoesNotWaitForABusyPool)
{
    screen->cleanup().setBackgroundFrom(1);
    load(groupsToClean(QStringLiteral("busy"), 12));
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    removeMarkedFiles();
    settle();
    const auto planned = qint64(screen->cleanup().arrNodesToBeRestoredLocal().size());
    ASSERT_GT(planned, 0);

    // The rebuild's worker waits behind a pool that is busy throughout; a
    // category click needs the rebuild now, and makes it itself.
    auto hold = std::make_unique<PoolHold>();
    button("btnUndo")->click();
    screen->afterCleanSheets().btnYesForUndo->click();
    ASSERT_TRUE(waitUntil([&] { return screen->state().isBulkMarking(); }));
    screen->categoryButton(int(GlobalObjects::FileCategory::Pic))->click();
    EXPECT_FALSE(hold->timedOut());
    EXPECT_FALSE(screen->cleanup().isUndoing());
    EXPECT_EQ(screen->cleanup().lastUndoReport().restored, planned);
    EXPECT_EQ(screen->state().arrMainGroup.size(), 12u);
    const QStringList shown = listNames();
    EXPECT_FALSE(shown.isEmpty());

    // The worker, let go at last, finds its job done and changes nothing.
    hold.reset();
    QTest::qWait(50);
    EXPECT_EQ(listNames(), shown);
    EXPECT_FALSE(screen->state().isBulkMarking());
}

TEST_F(ResultsCleanupAtScale, RebuildsOverTakenByANewResultSetAreDroppedAndTheirRunsEnd)
{
    screen->cleanup().setBackgroundFrom(1);
    load(groupsToClean(QStringLiteral("old"), 12));
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    const std::vector<DuplicateGroupPtr> newer = groupsOf({ { "a::300", "b::300" }, { "c::200", "d::200" } });
    const QStringList newerNames { "a", "b", "c", "d" };

    // The removal's rebuild waits for the pool: the run is still going, its
    // sheet up, when a new result set comes.
    auto hold = std::make_unique<PoolHold>();
    button("btnTrash")->click();
    screen->trashSheets().btnTrashOnReview->click();
    ASSERT_TRUE(waitUntil([&] { return screen->cleanup().lastReport().countTrashed > 0; }));
    EXPECT_TRUE(screen->cleanup().isRemoving());
    load(newer);
    hold.reset();
    ASSERT_TRUE(waitUntil([&] { return screen->afterCleanSheets().windowAfterClean()->isVisible(); }));
    EXPECT_FALSE(screen->cleanup().isRemoving());
    EXPECT_EQ(listNames(), newerNames);
    EXPECT_EQ(screen->state().arrMainGroup, newer);
    screen->afterCleanSheets().btnOkTrash->click();

    // The undo's the same: its files come back, the newer set stays whole.
    load(groupsToClean(QStringLiteral("undo"), 12));
    settle();
    removeMarkedFiles();
    const auto planned = qint64(screen->cleanup().arrNodesToBeRestoredLocal().size());
    ASSERT_GT(planned, 0);
    hold = std::make_unique<PoolHold>();
    button("btnUndo")->click();
    screen->afterCleanSheets().btnYesForUndo->click();
    ASSERT_TRUE(waitUntil([&] { return screen->state().isBulkMarking(); }));
    EXPECT_TRUE(screen->cleanup().isUndoing());
    load(newer);
    hold.reset();
    ASSERT_TRUE(waitUntil([&] { return !screen->cleanup().isUndoing(); }));
    EXPECT_EQ(listNames(), newerNames);
    EXPECT_EQ(screen->state().arrMainGroup, newer);
    EXPECT_EQ(screen->cleanup().lastUndoReport().restored, planned);
    EXPECT_TRUE(screen->afterCleanSheets().windowActionCompleted()->isVisible());
}

// A removal whose outcomes are applied, its groups not yet taken for the
// rebuild: false when the rebuild took them in the outcomes' turn.
bool removeUntilOutcomesApplied(ResultViewController& screen)
{
    screen.cleanup().setBackgroundFrom(1);
    screen.autoMarkSheets().btnSelectManually->click();
    screen.findChild<QAbstractButton*>(QStringLiteral("btnTrash"))->click();
    screen.trashSheets().btnTrashOnReview->click();
    // The workers' posts only, no timer, until the outcomes are applied.
    QElapsedTimer clock;
    clock.start();
    while (screen.cleanup().lastReport().countTrashed == 0 && clock.elapsed() < 10'000) {
        QCoreApplication::sendPostedEvents();
        QThread::msleep(1);
    }
    EXPECT_GT(screen.cleanup().lastReport().countTrashed, 0);
    EXPECT_TRUE(screen.cleanup().isRemoving());
    // The groups left with one file are still listed.
    return std::ranges::any_of(
        screen.state().arrMainGroup, [](const DuplicateGroupPtr& group) { return group->children.size() < 2; });
}

TEST_F(ResultsCleanupAtScale, ANewResultSetBetweenTheRemovalsOutcomesAndItsRebuildEndsTheRun)
{
    load(groupsToClean(QStringLiteral("turns"), 12));
    settle();
    if (!removeUntilOutcomesApplied(*screen))
        GTEST_SKIP() << "the rebuild took the groups in the outcomes' turn";
    const std::vector<DuplicateGroupPtr> newer = groupsOf({ { "a::300", "b::300" }, { "c::200", "d::200" } });
    load(newer);
    ASSERT_TRUE(waitUntil([&] { return screen->afterCleanSheets().windowAfterClean()->isVisible(); }));
    EXPECT_FALSE(screen->cleanup().isRemoving());
    EXPECT_EQ(listNames(), (QStringList { "a", "b", "c", "d" }));
    EXPECT_EQ(screen->state().arrMainGroup, newer);
    EXPECT_EQ(screen->cleanup().lastReport().countTrashed,
        qint64(screen->cleanup().arrNodesToBeRestoredLocal().size()));
}

TEST_F(ResultsCleanupAtScale, TheRoadOutBetweenTheRemovalsOutcomesAndItsRebuildStartsNothing)
{
    load(groupsToClean(QStringLiteral("out"), 12));
    settle();
    if (!removeUntilOutcomesApplied(*screen))
        GTEST_SKIP() << "the rebuild took the groups in the outcomes' turn";
    const std::vector<DuplicateGroupPtr> listed = screen->state().arrMainGroup;
    screen->cleanup().endWorkers();
    QTest::qWait(50);
    EXPECT_FALSE(screen->cleanup().isRemoving());
    EXPECT_EQ(screen->state().arrMainGroup, listed);
}

TEST_F(ResultsCleanupAtScale, AColumnSortStillRunningWhenARemovalStartsNeverMovesTheFilesItsWorkersRead)
{
    screen->cleanup().setBackgroundFrom(1);
    screen->sortRunner().setBackgroundFrom(0);
    load(groupsToClean(QStringLiteral("column"), 24));
    settle();
    screen->autoMarkSheets().btnSelectManually->click();
    const std::vector<DuplicateGroupPtr> groups = screen->state().arrMainGroup;
    const auto filesOf = [&] {
        std::vector<std::vector<FileInfoNode*>> files;
        for (const DuplicateGroupPtr& group : groups) {
            files.emplace_back();
            for (const FileInfoNodePtr& file : group->filterChildren)
                files.back().push_back(file.get());
        }
        return files;
    };
    // The sort's order is made and waits for the event loop when the
    // removal starts.
    clickListHeader(ResultsModel::nameColumn);
    QThread::msleep(100);
    const auto before = filesOf();
    button("btnTrash")->click();
    screen->trashSheets().btnTrashOnReview->click();
    // While the run goes its workers read the groups: their files leave
    // them but never move.
    QElapsedTimer clock;
    clock.start();
    while (screen->cleanup().isRemoving() && clock.elapsed() < 10'000) {
        QCoreApplication::processEvents();
        const auto now = filesOf();
        for (std::size_t g = 0; g < groups.size(); ++g) {
            auto left = before[g];
            std::erase_if(left, [&](FileInfoNode* file) { return std::ranges::find(now[g], file) == now[g].end(); });
            ASSERT_EQ(now[g], left) << "group " << g;
        }
    }
    ASSERT_FALSE(screen->cleanup().isRemoving());
    ASSERT_TRUE(waitUntil([&] { return screen->afterCleanSheets().windowAfterClean()->isVisible(); }));
    // The rows show the files as the groups hold them.
    EXPECT_TRUE(waitUntil([&] { return !screen->sortRunner().isSorting(); }));
    QStringList rows;
    for (const DuplicateGroupPtr& group : screen->state().arrGroups) {
        for (const FileInfoNodePtr& file : group->filterChildren)
            rows.append(*file->fileName);
    }
    EXPECT_EQ(listNames(), rows);
}

// Six groups on disk to clean behind more groups in memory than a slice of
// the undo's pass takes at once.
class ResultsUndoInSlices : public ResultsCleanupAtScale {
protected:
    void SetUp() override
    {
        ResultsCleanupAtScale::SetUp();
        onDisk = groupsToClean(QStringLiteral("slices"), 6);
        std::vector<QStringList> shapes;
        for (int g = 0; g < 32 * SliceBudget::minimumSteps; ++g) {
            const QString size = QString::number(10 + g);
            shapes.push_back({ "a:1:" + size, "b:0:" + size, "c:1:" + size });
        }
        std::vector<DuplicateGroupPtr> groups = onDisk;
        std::ranges::move(groupsOf(shapes), std::back_inserter(groups));
        load(groups);
        settle();
        screen->autoMarkSheets().btnSelectManually->click();
        removeMarkedFiles();
        settle();
    }
    // The undo through its Yes button, answered with its first slice gone:
    // false when that slice took every group already.
    bool undoMidWay()
    {
        button("btnUndo")->click();
        screen->afterCleanSheets().btnYesForUndo->click();
        // The workers' posts only, no timer, so that the pass has run its
        // first slice only.
        QElapsedTimer clock;
        clock.start();
        while (!screen->state().isBulkMarking() && clock.elapsed() < 10'000) {
            QCoreApplication::sendPostedEvents();
            QThread::msleep(1);
        }
        EXPECT_TRUE(screen->state().isBulkMarking());
        // Groups the removal left with one file come back last: one still
        // showing that file only has not been taken yet.
        return std::ranges::any_of(
            onDisk, [](const DuplicateGroupPtr& group) { return group->filterChildren.size() < group->children.size(); });
    }

    std::vector<DuplicateGroupPtr> onDisk;
};

TEST_F(ResultsUndoInSlices, ACategoryClickMidWayFinishesTheUndoAsAWholeStepWould)
{
    screen->cleanup().setBackgroundFrom(1'000'000);
    undo();
    screen->afterCleanSheets().windowActionCompleted()->close();
    screen->categoryButton(0)->click();
    settle();
    const auto atOnce = shownWithout(QStringLiteral("slices"));
    const qint64 restored = screen->cleanup().lastUndoReport().restored;
    ASSERT_GT(restored, 0);

    // The same again, its undo in slices; the click ends the pass at once.
    screen->cleanup().setBackgroundFrom(1);
    removeMarkedFiles();
    settle();
    if (!undoMidWay())
        GTEST_SKIP() << "the undo took every group within its first slice";
    screen->categoryButton(0)->click();
    EXPECT_FALSE(screen->cleanup().isUndoing());
    EXPECT_FALSE(screen->state().isBulkMarking());
    settle();
    EXPECT_EQ(shownWithout(QStringLiteral("slices")), atOnce);
    EXPECT_EQ(screen->cleanup().lastUndoReport().restored, restored);
    for (const DuplicateGroupPtr& group : screen->state().arrMainGroup)
        EXPECT_LE(group->filterChildren.size(), group->children.size());
}

TEST_F(ResultsUndoInSlices, ANewResultSetMidWayDropsThePassAndTheUndoStillEnds)
{
    screen->cleanup().setBackgroundFrom(1);
    const auto planned = qint64(screen->cleanup().arrNodesToBeRestoredLocal().size());
    ASSERT_GT(planned, 0);
    if (!undoMidWay())
        GTEST_SKIP() << "the undo took every group within its first slice";
    const std::vector<DuplicateGroupPtr> newer = groupsOf({ { "a::300", "b::300" }, { "c::200", "d::200" } });
    load(newer);
    ASSERT_TRUE(waitUntil([&] { return !screen->cleanup().isUndoing(); }));
    EXPECT_FALSE(screen->state().isBulkMarking());
    EXPECT_EQ(listNames(), (QStringList { "a", "b", "c", "d" }));
    EXPECT_EQ(screen->state().arrMainGroup, newer);
    EXPECT_EQ(screen->cleanup().lastUndoReport().restored, planned);
    EXPECT_TRUE(screen->afterCleanSheets().windowActionCompleted()->isVisible());
    // The files are back on disk, where the undo put them.
    for (const DuplicateGroupPtr& group : onDisk) {
        for (const FileInfoNodePtr& file : group->children)
            EXPECT_TRUE(QFileInfo::exists(*file->filePath)) << file->filePath->toStdString();
    }
}

TEST_F(ResultsUndoInSlices, ClosingTheScreenWhileThePassWaitsForItsWorkerLetsBothEnd)
{
    screen->cleanup().setBackgroundFrom(1);
    auto hold = std::make_unique<PoolHold>();
    button("btnUndo")->click();
    screen->afterCleanSheets().btnYesForUndo->click();
    // Every group taken, the worker waits for the pool.
    QElapsedTimer clock;
    clock.start();
    while (std::ranges::any_of(onDisk, [](const DuplicateGroupPtr& group) {
        return group->filterChildren.size() < group->children.size();
    }) && clock.elapsed() < 10'000)
        QCoreApplication::processEvents();
    ASSERT_TRUE(screen->cleanup().isUndoing());
    screen.reset();
    hold.reset();
    QThreadPool::globalInstance()->waitForDone(10'000);
    QCoreApplication::processEvents();
    for (const DuplicateGroupPtr& group : onDisk) {
        for (const FileInfoNodePtr& file : group->children)
            EXPECT_TRUE(QFileInfo::exists(*file->filePath));
    }
}

TEST_F(ResultsUndoInSlices, AutomaticMarkingStartedWhileFilesComeBackAndTheUndosRebuildEndWithMatchingMarksAndRows)
{
    screen->cleanup().setBackgroundFrom(1);
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowAutoMarkDialog), true);
    QSignalSpy marked(&screen->autoMarking(), &AutoMarking::autoMarkingFinished);
    button("btnUndo")->click();
    screen->afterCleanSheets().btnYesForUndo->click();
    button("btnAutoMark")->click();
    ASSERT_TRUE(waitUntil([&] { return !screen->cleanup().isUndoing() && marked.count() == 1; }));
    const ResultsState& state = screen->state();
    const ResultsState::MarkedTotals totals = ResultsState::markedTotalsOf(state.arrGroups);
    EXPECT_EQ(state.countMarked(), totals.count);
    EXPECT_EQ(state.sizeOfMarkedFiles(), totals.bytes);
    int row = 0;
    for (const DuplicateGroupPtr& group : state.arrGroups) {
        for (const FileInfoNodePtr& file : group->filterChildren)
            ASSERT_EQ(screen->model().fileOfListRow(row++), file) << row;
    }
    EXPECT_EQ(screen->listModel().rowCount(), row);
}

TEST_F(ResultsUndoInSlices, ARemovalStartedWhileACancelledAutomaticMarkingStillAppliesReadsSettledMarks)
{
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowAutoMarkDialog), true);
    defaults.setValue(QString::fromLatin1(SettingsKey::doNotShowConfirmationDialogOnTrash), true);
    button("btnAutoMark")->click();
    screen->autoMarking().waitForWorkers();
    // Cancelled once its plan is made: the plan still applies, a slice at a
    // time, with no sheet over the window.
    screen->autoMarkSheets().btnCancelAutoMarking->click();
    QCoreApplication::processEvents();
    if (!screen->autoMarking().isMarking())
        GTEST_SKIP() << "the plan applied within its first slice";
    const ResultsState& state = screen->state();
    std::optional<bool> settled;
    QObject::connect(&screen->cleanup(), &CleanupController::removalStarting, screen.get(), [&] {
        settled = !screen->autoMarking().isMarking()
            && state.countMarked() == ResultsState::markedTotalsOf(state.arrGroups).count;
    });
    button("btnDeleteLink")->click();
    EXPECT_EQ(settled, std::optional<bool>(true));
    ASSERT_TRUE(waitUntil([&] { return screen->afterCleanSheets().windowAfterClean()->isVisible(); }));
}

TEST_F(ResultsCleanup, FooterLabelsTakeTheSmallerFontOutsideEnglish)
{
    const QString language = currentLanguageCode;
    QLabel* groups = screen->findChild<QLabel*>(QStringLiteral("lblDupsInGroups"));
    ASSERT_TRUE(groups);
    const std::vector<QLabel*> footer { groups, screen->lblNumMarkedFiles(), screen->lblSelectedFilePath() };
    currentLanguageCode = QStringLiteral("en");
    loadPicturesAndDocuments();
    for (QLabel* label : footer)
        EXPECT_NE(label->font(), systemFontOfSize(12)) << label->objectName().toStdString();

    currentLanguageCode = QStringLiteral("de");
    loadPicturesAndDocuments();
    currentLanguageCode = language;
    for (QLabel* label : footer)
        EXPECT_EQ(label->font(), systemFontOfSize(12)) << label->objectName().toStdString();
    EXPECT_EQ(groups->width(), std::ceil(QFontMetricsF(groups->font()).horizontalAdvance(groups->text()) + 8));
}

// The split between the list and the detail pane, dragged as far as it goes,
// leaves the pane the width its pie and legend take; the split still fits
// the window at its least size.
TEST_F(ResultsScreen, TheSplitDraggedRightStillLeavesThePaneItsPieAndLegend)
{
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:5", "d:2:5" } }));
    auto* split = screen->findChild<QSplitter*>(QStringLiteral("viewSplit"));
    ASSERT_TRUE(split);
    QWidget* pane = split->widget(1);
    auto* pie = screen->findChild<QWidget*>(QStringLiteral("pieChart"));
    ASSERT_TRUE(pane && pie && pane->isAncestorOf(pie));
    const auto drag = [split](int across) {
        QSplitterHandle* handle = split->handle(1);
        const QPoint from = handle->rect().center();
        const QPoint to = from + QPoint(across, 0);
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        QTest::mouseMove(handle, to);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
        QCoreApplication::processEvents();
    };
    const int before = pane->width();
    drag(-200);
    ASSERT_GE(pane->width(), before + 190);
    drag(split->width());
    for (QWidget* part : pie->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (part->isHidden())
            continue;
        const QRect there(part->mapTo(pane, QPoint(0, 0)), part->size());
        EXPECT_GE(there.left(), 0) << part->objectName().toStdString();
        EXPECT_LE(there.right(), pane->width() - 1) << part->objectName().toStdString();
    }
    EXPECT_LE(split->minimumSizeHint().width(), smallWindowContentSize.width());
}

// Dragged as far left as it goes, the split still leaves the list each file's
// box, name and size in both views, and the window keeps its least size.
TEST_F(ResultsScreen, TheSplitDraggedLeftStillLeavesTheListItsNamesAndSizes)
{
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:5", "d:2:5" } }));
    auto* split = screen->findChild<QSplitter*>(QStringLiteral("viewSplit"));
    ASSERT_TRUE(split);
    QHeaderView* header = screen->tblDuplicates()->horizontalHeader();
    QSplitterHandle* handle = split->handle(1);
    const QPoint from = handle->rect().center();
    const QPoint to = from - QPoint(split->width(), 0);
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, to);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
    QCoreApplication::processEvents();
    ASSERT_LT(split->widget(0)->width(), split->width() / 2) << "the drag did not move the split";

    QWidget* list = screen->tblDuplicates()->viewport();
    const int sizeEnd
        = header->sectionViewportPosition(ResultsModel::sizeColumn) + header->sectionSize(ResultsModel::sizeColumn);
    EXPECT_LE(sizeEnd, list->width());
    EXPECT_GE(header->sectionSize(ResultsModel::nameColumn), 100);

    const auto [cell, outlets] = firstFileOfTheGroupView();
    ASSERT_TRUE(cell);
    CustomOutlineView* outline = screen->outlineDuplicates();
    const QRect size = outlets[std::size_t(CustomCell::Outlet::lblSize)];
    EXPECT_LE(size.right(), outline->viewport()->width()) << size.right();
    EXPECT_LE(split->minimumSizeHint().width(), smallWindowContentSize.width());
}

// A date in the region's format stands whole in the list's date columns and
// in the group view's, whatever the language: Spanish and Japanese dates are
// longer than English ones. Both layouts.
TEST_F(ResultsScreen, WithAnotherSystemLanguageTheDatesStandWholeInTheListAndTheGroupView)
{
    for (const char* name : { "en_US", "es_ES", "ja_JP", "de_DE", "fr_FR", "ru_RU", "sv_SE" }) {
        for (const bool small : { false, true }) {
            // The calls the last screen put off are made while it stands.
            clock->advance();
            const ScopedSystemLanguage language { QLocale(QString::fromLatin1(name)) };
            makeScreen(small);
            auto groups = groupsOf({ { "a:1:10", "b:1:10" } });
            for (const FileInfoNodePtr& file : groups[0]->children) {
                file->createDate = QDateTime(QDate(2028, 12, 28), QTime(10, 58, 58));
                file->modDate = QDateTime(QDate(2028, 12, 28), QTime(22, 58, 58));
            }
            load(groups, 0);
            clock->advance();
            QCoreApplication::processEvents();
            const std::string where = std::string(name) + (small ? " small" : "");

            CustomTableView* table = screen->tblDuplicates();
            for (const int column : { ResultsModel::createdColumn, ResultsModel::modifiedColumn }) {
                const QModelIndex date = screen->listModel().index(0, column);
                auto* cell = qobject_cast<CustomCell*>(table->itemDelegateForIndex(date));
                ASSERT_TRUE(cell) << where;
                const QRect text
                    = cell->outletRects(table->visualRect(date), date)[std::size_t(CustomCell::Outlet::lbltextField)];
                const QFontMetrics metrics(cell->drawnFont(CustomCell::Outlet::lbltextField));
                EXPECT_LE(metrics.horizontalAdvance(date.data().toString()), text.width())
                    << where << " " << date.data().toString().toStdString();
            }

            const auto [cell, outlets] = firstFileOfTheGroupView();
            ASSERT_TRUE(cell) << where;
            const QModelIndex file = screen->model().index(1, 0, screen->model().index(0, 0));
            for (const CustomCell::Outlet outlet :
                { CustomCell::Outlet::lblCretedDate, CustomCell::Outlet::lblModifiedDate }) {
                const QString date = file.data(CustomCell::roleOf(outlet)).toString();
                ASSERT_FALSE(date.isEmpty()) << where;
                const QFontMetrics metrics(cell->drawnFont(outlet));
                EXPECT_LE(metrics.horizontalAdvance(date), outlets[std::size_t(outlet)].width())
                    << where << " " << date.toStdString();
            }
            // The dates side by side, clear of each other and of the type.
            EXPECT_LT(outlets[std::size_t(CustomCell::Outlet::lblCretedDate)].right(),
                outlets[std::size_t(CustomCell::Outlet::lblModifiedDate)].left())
                << where;
            EXPECT_LT(outlets[std::size_t(CustomCell::Outlet::lblModifiedDate)].right(),
                outlets[std::size_t(CustomCell::Outlet::lblExt)].left())
                << where;
            button("btnListView")->click();
        }
    }
}

// With another system language the header's English texts keep their
// English layout: Delete Marked stands whole, clear of the space the marked
// files take.
TEST_F(ResultsScreen, WithAnotherSystemLanguageDeleteMarkedStandsClearOfTheSpaceFigure)
{
    for (const char* name : { "en_US", "fr_FR", "de_DE", "ru_RU", "it_IT", "nl_NL", "es_ES", "pt_BR", "sv_SE" }) {
        const ScopedSystemLanguage language { QLocale(QString::fromLatin1(name)) };
        makeScreen();
        load(groupsOf({ { "a:1:987654321098", "b:1:987654321098" }, { "c:2:5", "d:2:5" } }));
        QCoreApplication::processEvents();
        auto* space = screen->findChild<QLabel*>(QStringLiteral("lblSpaceToBeSaved"));
        QAbstractButton* remove = button("btnDeleteLink");
        ASSERT_TRUE(space && remove) << name;
        ASSERT_EQ(space->parentWidget(), remove->parentWidget());
        ASSERT_FALSE(space->text().isEmpty()) << name;
        const QRect figure = space->fontMetrics()
                                 .boundingRect(space->contentsRect(), int(space->alignment()), space->text())
                                 .translated(space->pos());
        EXPECT_FALSE(figure.intersects(remove->geometry())) << name;
        EXPECT_LE(remove->fontMetrics().horizontalAdvance(remove->text()), remove->width()) << name;
        EXPECT_TRUE(remove->parentWidget()->rect().contains(remove->geometry())) << name;
    }
}

TEST_F(ResultsScreen, EveryViewModeClickActsRightAfterACategoryChange)
{
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:5", "d:2:5" } }), 0);
    using Mode = ResultViewController::ViewMode;
    // No time passes between the clicks.
    QTest::mouseClick(screen->categoryButton(1), Qt::LeftButton);
    QTest::mouseClick(button("btnThumbnailView"), Qt::LeftButton);
    EXPECT_EQ(screen->viewMode(), Mode::grid);
    QTest::mouseClick(screen->categoryButton(0), Qt::LeftButton);
    QTest::mouseClick(button("btnHierarcheryView"), Qt::LeftButton);
    EXPECT_EQ(screen->viewMode(), Mode::group);
    QTest::mouseClick(button("btnListView"), Qt::LeftButton);
    QTest::mouseClick(screen->categoryButton(4), Qt::LeftButton);
    EXPECT_EQ(screen->viewMode(), Mode::list);
    EXPECT_EQ(screen->highlightedCategory(), int(GlobalObjects::FileCategory::Music));
}

TEST_F(ResultsScreen, PreviewPaneShowsTheCurrentSelectionOrNothing)
{
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:5", "d:2:5" } }), 0);
    PreviewPane& pane = screen->previewPane();
    clickListRow(1);
    QCoreApplication::processEvents();
    ASSERT_FALSE(pane.metaInfoView()->isHidden());

    // A row chosen and, before the preview came, another view: the new view
    // has no selection, so the pane shows no file.
    clickListRow(2);
    QTest::mouseClick(button("btnHierarcheryView"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane.metaInfoView()->isHidden());
    EXPECT_FALSE(pane.graphView()->isHidden());

    // The same with a category change in between.
    QTest::mouseClick(button("btnListView"), Qt::LeftButton);
    clickListRow(1);
    QTest::mouseClick(screen->categoryButton(4), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane.metaInfoView()->isHidden());
}

// The pane shows a file only while it is chosen: a current row set alone
// (as the focus coming in and Ctrl with an arrow set it) leaves the pie, and
// Ctrl+click on the chosen row, group or item brings it back.
TEST_F(ResultsScreen, ThePaneShowsAFileOnlyWhileItIsChosen)
{
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:5", "d:2:5" } }), 0);
    clock->advance();
    const auto clickTwice = [&](QWidget* viewport, const QPoint& at, const char* file) {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        EXPECT_EQ(paneShows(), QLatin1String(file));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, at);
        EXPECT_EQ(paneShows(), "pie") << file;
    };
    CustomTableView* list = screen->tblDuplicates();
    list->selectionModel()->setCurrentIndex(screen->listModel().index(3, 1), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(paneShows(), "pie");
    clickTwice(list->viewport(), list->visualRect(screen->listModel().index(1, 1)).center(), "/data/b");

    button("btnHierarcheryView")->click();
    CustomOutlineView* outline = screen->outlineDuplicates();
    outline->selectionModel()->setCurrentIndex(screen->model().index(0, 0), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(paneShows(), "pie");
    clickTwice(outline->viewport(), outline->visualRect(screen->model().index(1, 0)).center(), "/data/c");

    button("btnThumbnailView")->click();
    MyCollectionView* grid = screen->collDuplicates();
    clickTwice(grid->viewport(), grid->itemFrame({ 0, 1 }).translated(0, -grid->verticalScrollBar()->value()).center(),
        "/data/b");
}

// A group's column-title row is never the current row: a letter typed in the
// outline finds the next file whose name starts with it, passing over the
// titles that start with it too, and the current row set by code or left by
// a removal on the titles moves on to a file. Space then marks the row the
// ring shows.
TEST_F(ResultsScreen, TypedLettersAndCodeNeverMakeAColumnTitleRowCurrent)
{
    const QString title = localizedText("ID_FILENAME");
    ASSERT_FALSE(title.isEmpty());
    const QString letter = title.left(1).toLower();
    auto groups = groupsOf({ { "apple:1:10", letter + "ig:1:10" }, { "cat:2:5", "dog:2:5", "emu:2:5" } });
    load(groups, 0);
    clock->advance();
    button("btnHierarcheryView")->click();
    clock->advance();
    CustomOutlineView* outline = screen->outlineDuplicates();
    outline->setFocus();
    outline->expandAll();
    QAbstractItemModel& rows = screen->model();
    const QModelIndex first = rows.index(0, 0);
    const QModelIndex second = rows.index(1, 0);
    ASSERT_EQ(rows.index(0, 0, first).data().toString(), title);
    const auto current = [outline] { return outline->currentIndex().siblingAtColumn(0); };
    const auto chosen = [outline] { return outline->selectionModel()->selectedRows(); };
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, outline->visualRect(rows.index(1, 0, first)).center());
    ASSERT_EQ(chosen(), QModelIndexList { rows.index(1, 0, first) });

    QTest::keyClicks(outline, letter);
    EXPECT_EQ(current(), rows.index(2, 0, first));
    EXPECT_EQ(chosen(), QModelIndexList { rows.index(2, 0, first) });
    QTest::keyClick(outline, Qt::Key_Space);
    EXPECT_TRUE(groups[0]->children[1]->isMarked());
    EXPECT_FALSE(groups[0]->children[0]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 1);

    // Set by code on the other group's titles: its first file, chosen as the
    // row before was.
    outline->setCurrentIndex(rows.index(0, 0, second));
    EXPECT_EQ(current(), rows.index(1, 0, second));
    EXPECT_EQ(chosen(), QModelIndexList { rows.index(1, 0, second) });
    QTest::keyClick(outline, Qt::Key_Space);
    EXPECT_TRUE(groups[1]->children[0]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 2);

    // Set without a choice: the file takes the ring, and Space marks it, not
    // the row chosen before.
    outline->selectionModel()->setCurrentIndex(rows.index(0, 0, second), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(current(), rows.index(1, 0, second));
    outline->selectionModel()->setCurrentIndex(rows.index(1, 0, first), QItemSelectionModel::ClearAndSelect);
    outline->selectionModel()->setCurrentIndex(rows.index(2, 0, second), QItemSelectionModel::NoUpdate);
    QTest::keyClick(outline, Qt::Key_Space);
    EXPECT_TRUE(groups[1]->children[1]->isMarked());
    EXPECT_FALSE(groups[0]->children[0]->isMarked());
    EXPECT_EQ(screen->state().countMarked(), 3);
}

// A group closed by its arrow over its chosen file takes the choice itself,
// as Left from the file does: the pane shows the group's first file and Space
// marks the group, never a file out of sight. A group closed while nothing
// or another one's file is chosen leaves the choice as it is.
TEST_F(ResultsScreen, AGroupClosedOverItsChosenFileTakesTheChoice)
{
    load(groupsOf({ { "a:1:10", "b:1:10", "e:1:10" }, { "c:2:5", "d:2:5" } }), 0);
    clock->advance();
    button("btnHierarcheryView")->click();
    CustomOutlineView* outline = screen->outlineDuplicates();
    outline->setFocus();
    QAbstractItemModel& groups = screen->model();
    const QModelIndex first = groups.index(0, 0);
    const QModelIndex second = groups.index(1, 0);
    const auto chosen = [outline] { return outline->selectionModel()->selectedRows(); };
    const auto current = [outline] { return outline->currentIndex().siblingAtColumn(0); };
    const auto click = [outline](const QModelIndex& row, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, keys, outline->visualRect(row).center());
    };
    // The arrow lies in the indentation just before the group's cell.
    const auto clickArrow = [outline](const QModelIndex& group) {
        const QRect rect = outline->visualRect(group);
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, {},
            QPoint(rect.left() - outline->indentation() / 2, rect.center().y()));
    };

    clickArrow(first);
    ASSERT_TRUE(outline->isExpanded(first));
    const QModelIndex fileB = groups.index(2, 0, first);
    click(fileB);
    EXPECT_EQ(paneShows(), "/data/b");
    clickArrow(first);
    ASSERT_FALSE(outline->isExpanded(first));
    EXPECT_EQ(chosen(), QModelIndexList { first });
    EXPECT_EQ(current(), first);
    EXPECT_EQ(paneShows(), "/data/a");
    QTest::keyClick(outline, Qt::Key_Space);
    EXPECT_EQ(screen->state().countMarked(), 2) << "Space marks the group in sight";
    EXPECT_EQ(screen->state().arrGroups[0]->state, 1);

    // Nothing chosen: the row left current out of sight gives way to the
    // group's, which stays unchosen.
    clickArrow(first);
    click(fileB);
    click(fileB, Qt::ControlModifier);
    ASSERT_TRUE(chosen().isEmpty());
    clickArrow(first);
    EXPECT_TRUE(chosen().isEmpty());
    EXPECT_EQ(current(), first);
    EXPECT_EQ(paneShows(), "pie");

    // Another group's file chosen.
    clickArrow(first);
    clickArrow(second);
    click(groups.index(1, 0, second));
    EXPECT_EQ(paneShows(), "/data/c");
    clickArrow(first);
    ASSERT_FALSE(outline->isExpanded(first));
    EXPECT_EQ(chosen(), QModelIndexList { groups.index(1, 0, second) });
    EXPECT_EQ(current(), groups.index(1, 0, second));
    EXPECT_EQ(paneShows(), "/data/c");
}

// A file that cannot be marked has no box; where its box would be, its tip
// says why, and so do the details beside its preview: locked on disk, or by
// the Lock item (also after an Unlock of a file unlocked on disk since).
TEST_F(ResultsScreen, ALockedFileSaysWhyInItsTipAndItsDetails)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10", "c:1:10" } });
    const FileInfoNodePtr locked = groups[0]->children[1];
    locked->isLocked = locked->isLockedOnDisk = true;
    load(groups, 0);
    clock->advance();
    const QString onDisk = localizedText("ID_LOCKED_ON_DISK_CANNOT_MARK");
    const QString byLock = localizedText("ID_LOCKED_CANNOT_MARK");
    ASSERT_FALSE(onDisk.isEmpty() || byLock.isEmpty());
    // The tip at pos in viewport; a tip left as it was is none.
    const auto tipAt = [](QWidget* viewport, const QPoint& pos) {
        QToolTip::showText(viewport->mapToGlobal(pos), QStringLiteral("-"), viewport);
        QHelpEvent help(QEvent::ToolTip, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &help);
        return QToolTip::text() == QLatin1String("-") ? QString() : QToolTip::text();
    };
    QLabel* reason = screen->previewPane().lblLockReason();
    const auto detailsSay = [&] {
        QCoreApplication::processEvents();
        if (reason->isHidden())
            return QString();
        EXPECT_LE(reason->geometry().bottom(), screen->previewPane().tblMetaInfo()->geometry().top());
        return reason->text();
    };
    CustomTableView* list = screen->tblDuplicates();
    const auto checkCell = [&](int row) {
        return list->visualRect(screen->listModel().index(row, ResultsModel::checkColumn)).center();
    };
    EXPECT_EQ(tipAt(list->viewport(), checkCell(1)), onDisk);
    clickListRow(1);
    EXPECT_EQ(detailsSay(), onDisk);
    clickListRow(0);
    EXPECT_EQ(detailsSay(), QString());
    EXPECT_EQ(tipAt(list->viewport(), checkCell(0)), "a");

    chooseFromRowMenu(2, "menuItemLockUnLock");
    EXPECT_EQ(tipAt(list->viewport(), checkCell(2)), byLock);
    EXPECT_EQ(detailsSay(), byLock);
    chooseFromRowMenu(1, "menuItemLockUnLock");
    chooseFromRowMenu(1, "menuItemLockUnLock");
    ASSERT_TRUE(locked->isLocked);
    EXPECT_EQ(tipAt(list->viewport(), checkCell(1)), byLock);

    button("btnThumbnailView")->click();
    MyCollectionView* grid = screen->collDuplicates();
    const auto item = [grid](int at) {
        return grid->itemFrame({ 0, at }).translated(0, -grid->verticalScrollBar()->value()).center();
    };
    EXPECT_EQ(tipAt(grid->viewport(), item(2)), byLock);
    EXPECT_EQ(tipAt(grid->viewport(), item(0)), QString());
    QToolTip::hideText();
}

TEST_F(ResultsScreen, EveryButtonIsReachedByTabAndDeleteMarkedActsOnSpace)
{
    auto groups = groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:5", "d:2:5" } });
    load(groups, 0);
    clickListCheckBox(0);
    // Remove opens its sheet: each press is answered by closing what it opened.
    for (const char* name : { "btnTrash", "btnBack" }) {
        expectTabReachesEveryButton(*screen, { button(name) });
        QApplication::processEvents();
        for (QWidget* sheet : QApplication::topLevelWidgets()) {
            if (sheet != screen.get() && sheet->isVisible() && sheet->isModal())
                sheet->close();
        }
    }
}

TEST_F(ResultsScreen, SortsOnTheWorkerReachTheRowsOnceAndANewResultSetDropsThem)
{
    screen->sortRunner().setBackgroundFrom(0);
    load(groupsOf({ { "b:1:20", "zeta:1:20", "Alpha:1:20" }, { "c:1:5", "D:1:5" } }), 0);
    clock->advance();
    QHeaderView* header = listHeader();
    QSignalSpy layouts(&screen->model(), &QAbstractItemModel::layoutChanged);

    // The rows and the indicator keep the order the rows have until the
    // worker's order arrives; then one layout change brings it.
    clickListHeader(ResultsModel::nameColumn);
    EXPECT_EQ(listNames(), (QStringList { "b", "zeta", "Alpha", "c", "D" }));
    EXPECT_FALSE(header->isSortIndicatorShown());
    ASSERT_TRUE(waitUntil([&] { return !screen->sortRunner().isSorting(); }));
    EXPECT_EQ(listNames(), (QStringList { "zeta", "b", "Alpha", "D", "c" }));
    EXPECT_EQ(layouts.count(), 1);
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // A second click on the column while its sort runs turns it round.
    clickListHeader(ResultsModel::nameColumn);
    clickListHeader(ResultsModel::nameColumn);
    ASSERT_TRUE(waitUntil([&] { return !screen->sortRunner().isSorting(); }));
    EXPECT_EQ(listNames(), (QStringList { "zeta", "b", "Alpha", "D", "c" }));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // The sort button turns the groups round; the files keep their order and
    // the indicator stays.
    layouts.clear();
    button("btnSort")->click();
    EXPECT_EQ(listNames().first(), "zeta");
    ASSERT_TRUE(waitUntil([&] { return !screen->sortRunner().isSorting(); }));
    EXPECT_EQ(listNames(), (QStringList { "D", "c", "zeta", "b", "Alpha" }));
    EXPECT_EQ(layouts.count(), 1);
    EXPECT_TRUE(header->isSortIndicatorShown());

    // A new result set while a sort runs: its order never comes.
    clock->advance();
    clickListHeader(ResultsModel::sizeColumn);
    load(groupsOf({ { "m:1:1", "n:1:2" } }), 0);
    clock->advance();
    ASSERT_TRUE(waitUntil([&] { return !screen->sortRunner().isSorting(); }));
    QTest::qWait(50);
    EXPECT_EQ(listNames(), (QStringList { "m", "n" }));
    EXPECT_FALSE(header->isSortIndicatorShown());

    // A category chosen while a sort runs drops it as well.
    clickListHeader(ResultsModel::sizeColumn);
    screen->categoryButton(0)->click();
    QTest::qWait(50);
    EXPECT_EQ(listNames(), (QStringList { "m", "n" }));
    EXPECT_FALSE(header->isSortIndicatorShown());
}

namespace {

// The rows as every view reads them: each group row with its files, then the
// flat list's rows. Also checks that each group row stands for the shown
// group at its place.
QStringList modelRows(const ResultsModel& model, const ResultsState& state)
{
    QStringList rows;
    EXPECT_EQ(std::size_t(model.rowCount()), state.arrGroups.size());
    for (int g = 0; g < model.rowCount(); ++g) {
        const QModelIndex group = model.index(g, 0);
        EXPECT_EQ(model.groupOf(group), state.arrGroups[std::size_t(g)]) << g;
        QString text = QString::number(model.firstListRowOfGroup(g)) + QLatin1Char(':');
        for (int r = 1; r < model.rowCount(group); ++r)
            text += QLatin1Char(' ') + *model.fileOf(model.index(r, 0, group))->fileName;
        rows.append(text);
    }
    for (int row = 0; row < int(model.arrAllDupFiles().size()); ++row) {
        const ListRow& list = model.arrAllDupFiles()[std::size_t(row)];
        rows.append(QStringLiteral("%1.%2 %3").arg(list.groupNumber).arg(list.child).arg(*model.fileOfListRow(row)->fileName));
    }
    return rows;
}

// Groups of two to four files whose sizes often tie, so that the order of
// equal groups counts too.
std::vector<QStringList> tiedShapes()
{
    std::vector<QStringList> shapes;
    for (int g = 0; g < 60; ++g) {
        QStringList files;
        for (int f = 0; f < 2 + g % 3; ++f)
            files.append(QStringLiteral("g%1f%2:1:%3").arg(g).arg((f * 7 + g) % 5).arg(100 + g % 4));
        shapes.push_back(files);
    }
    return shapes;
}

} // namespace

TEST_F(ResultsScreen, TheSortButtonOnTheWorkerGivesTheRowsOfAWholeRebuild)
{
    // Each run: the files sorted by name in every group, then the sort
    // button, twice.
    const auto sortAndPress = [&](std::size_t backgroundFrom) {
        screen->sortRunner().setBackgroundFrom(backgroundFrom);
        load(groupsOf(tiedShapes()), 0);
        clock->advance();
        clickListHeader(ResultsModel::nameColumn);
        EXPECT_TRUE(waitUntil([&] { return !screen->sortRunner().isSorting(); }));
        std::vector<QStringList> after;
        for (int press = 0; press < 2; ++press) {
            // An index held on a file follows it to its new place.
            const QPersistentModelIndex held(screen->model().index(2, 0, screen->model().index(7, 0)));
            const FileInfoNodePtr file = screen->model().fileOf(held);
            button("btnSort")->click();
            EXPECT_TRUE(waitUntil([&] { return !screen->sortRunner().isSorting(); }));
            EXPECT_EQ(screen->model().fileOf(held), file);
            after.push_back(modelRows(screen->model(), screen->state()));
            clock->advance();
        }
        return after;
    };
    const std::vector<QStringList> onTheWorker = sortAndPress(0);
    const std::vector<QStringList> whole = sortAndPress(1'000'000);
    ASSERT_EQ(onTheWorker.size(), 2u);
    EXPECT_EQ(onTheWorker, whole);
    EXPECT_TRUE(onTheWorker[0] != onTheWorker[1]);

    // A new result set while the button's sort runs: its outcome, rows
    // prepared for the old groups included, never comes.
    screen->sortRunner().setBackgroundFrom(0);
    load(groupsOf(tiedShapes()), 0);
    clock->advance();
    button("btnSort")->click();
    load(groupsOf({ { "a:1:10", "b:1:10" }, { "c:2:30", "d:2:30" }, { "e:1:20", "f:1:20" } }), 0);
    const QStringList loaded = modelRows(screen->model(), screen->state());
    ASSERT_TRUE(waitUntil([&] { return !screen->sortRunner().isSorting(); }));
    QTest::qWait(50);
    EXPECT_EQ(modelRows(screen->model(), screen->state()), loaded);
}

TEST_F(ResultsScreen, RowsPreparedFromTheGroupsAreTakenOnlyForTheGroupsTheyWereMadeFor)
{
    const auto groups = groupsOf({ { "a:1:30", "b:1:30" }, { "c:1:20", "d:1:20", "e:1:20" }, { "f:1:10", "g:1:10" } });
    load(groups, 0);
    ResultsState& state = screen->state();
    const auto prepare = screen->model().prepareShownGroups(MarkingObserver::PreparedFrom::groups);
    ASSERT_TRUE(prepare);

    // Made for these groups, in this order: taken as they are.
    std::vector<DuplicateGroupPtr> shown { groups[2], groups[0] };
    std::shared_ptr<PreparedShownGroups> prepared = prepare(shown);
    state.showPreparedGroups(std::move(shown), std::move(prepared));
    EXPECT_EQ(listNames(), (QStringList { "f", "g", "a", "b" }));

    // Made for other groups than those then shown: left for a whole rebuild.
    prepared = prepare({ groups[0], groups[1] });
    state.showPreparedGroups({ groups[1], groups[2] }, std::move(prepared));
    EXPECT_EQ(listNames(), (QStringList { "c", "d", "e", "f", "g" }));
    EXPECT_EQ(groupNumbers(), (std::vector<int> { 1, 1, 1, 2, 2 }));
    const QStringList taken = modelRows(screen->model(), state);
    state.btnShowAllItems();
    state.showPreparedGroups({ groups[1], groups[2] }, nullptr);
    EXPECT_EQ(modelRows(screen->model(), state), taken);
}

TEST_F(ResultsScreen, RowsPreparedFromAnEarlierRebuildAreLeftForAWholeOne)
{
    load(groupsOf(tiedShapes()), 0);
    ResultsState& state = screen->state();
    // Prepared for the rows as they stand, then the rows rebuilt in another
    // order before the outcome arrives.
    const MarkingObserver::PrepareShownGroups prepare
        = screen->model().prepareShownGroups(MarkingObserver::PreparedFrom::rows);
    ASSERT_TRUE(prepare);
    state.sortBtnTapped();
    ResultsState::GroupsToShow input = state.sortBtnInput();
    const std::atomic<bool> never { false };
    const std::vector<std::uint32_t> order = groupSortOrder(input.input, never);
    ResultsState::SortedGroups sorted;
    sorted.groups = takeGroupsInOrder(input.input, order);
    ASSERT_TRUE(sorted.groups);
    sorted.prepared = prepare(*sorted.groups);
    ASSERT_TRUE(sorted.prepared);
    state.showSortedGroups(input, order, std::move(sorted));
    const QStringList rows = modelRows(screen->model(), state);

    // The same order rebuilt whole on the GUI thread.
    load(groupsOf(tiedShapes()), 0);
    state.sortBtnTapped();
    state.sortBtnTapped();
    EXPECT_EQ(modelRows(screen->model(), state), rows);
}

TEST_F(ResultsScreen, ALargeOutlineIsLaidOutWhenShownAndOpensAndClosesItsGroups)
{
    std::vector<QStringList> shapes;
    for (int g = 0; g < 2500; ++g)
        shapes.push_back(
            { QStringLiteral("a%1:1:%2").arg(g).arg(5000 - g), QStringLiteral("b%1:1:%2").arg(g).arg(5000 - g) });
    load(groupsOf(shapes), 0);
    clock->advance();
    CustomOutlineView* outline = screen->outlineDuplicates();
    // Hidden behind the list, the outline has not measured its rows.
    ASSERT_FALSE(outline->isVisible());
    EXPECT_EQ(outline->verticalScrollBar()->maximum(), 0);

    screen->btnChangeResultView(ResultViewController::ViewMode::group);
    ASSERT_TRUE(outline->isVisible());
    EXPECT_EQ(outline->verticalScrollMode(), QAbstractItemView::ScrollPerItem);
    EXPECT_GT(outline->verticalScrollBar()->maximum(), 2000);
    const ResultsModel& model = screen->model();
    const QModelIndex middle = model.index(1250, 0);
    const int closedRange = outline->verticalScrollBar()->maximum();
    outline->expand(middle);
    EXPECT_TRUE(outline->isExpanded(middle));
    EXPECT_EQ(outline->verticalScrollBar()->maximum(), closedRange + 3); // the title row and two files
    outline->scrollTo(model.index(2, 0, middle));
    const QRect file = outline->visualRect(model.index(2, 0, middle));
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(outline->indexAt(file.center()), model.index(2, 0, middle));
    EXPECT_EQ(outline->indexAt(file.center()).data().toString(), "b1250");
    EXPECT_EQ(file.height(), 30);
    EXPECT_EQ(outline->visualRect(middle).height(), 40);
    outline->collapse(middle);
    EXPECT_FALSE(outline->isExpanded(middle));
    EXPECT_EQ(outline->verticalScrollBar()->maximum(), closedRange);
    EXPECT_FALSE(outline->visualRect(model.index(2, 0, middle)).isValid());

    // A small result scrolls by pixels as before, from when it is shown.
    load(groupsOf({ { "x:1:1", "y:1:1" } }), 0);
    screen->btnChangeResultView(ResultViewController::ViewMode::group);
    EXPECT_EQ(outline->verticalScrollMode(), QAbstractItemView::ScrollPerPixel);
    EXPECT_EQ(outline->verticalScrollBar()->maximum(), 0);
}
