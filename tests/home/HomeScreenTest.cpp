#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "controls/CustomCell.h"
#include "controls/CustomPopUpButton.h"
#include "controls/CustomTableView.h"
#include "controls/DragDropBox.h"
#include "controls/IMGButton.h"
#include "core/AppStartup.h"
#include "core/DuplicateGroup.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "home/HomeLayout.h"
#include "home/HomePathModel.h"
#include "home/LocationLists.h"
#include "home/MainViewController.h"
#include "scan/ScanSources.h"
#include "support/PathRows.h"
#include "support/RecordingAlerts.h"
#include "support/ScopedLanguageTable.h"
#include "support/TabReach.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QMimeData>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

FrameTable baseFrames()
{
    return FrameTable {
        { QStringLiteral("btnScanNow"), { 400, 14, 200, 48 } },
        { QStringLiteral("lblLastScanStatus"), { 44, 82, 110, 26 } },
        { QStringLiteral("lblSpaceToBeSaved"), { 198, 34, 110, 18 } },
        { QStringLiteral("btnAllFilesSelected"), { 20, 92, 98, 32 } },
        { QStringLiteral("btnCustomScanSelected"), { 122, 92, 112, 32 } },
        { QStringLiteral("lblDuplicateFilesFound"), { 48, 34, 110, 18 } },
        { QStringLiteral("lblAddFolderToFindDups"), { 38, 6, 266, 22 } },
        { QStringLiteral("btnAddPath"), { 98, 12, 120, 34 } },
        { QStringLiteral("lblScanMode"), { 0, 0, 90, 34 } },
        { QStringLiteral("boxScanMode"), { 0, 0, 95, 34 } },
        { QStringLiteral("btnScanMode"), { 95, 2, 230, 30 } },
        { QStringLiteral("lblLastScanTIme"), { 110, 82, 194, 26 } },
    };
}

LayoutFrame at(const FrameTable& frames, const char* name)
{
    return *frames.find(QString::fromLatin1(name));
}

} // namespace

TEST(HomeLayoutRules, EnglishSizesOnlyScanNow)
{
    FrameTable frames = baseFrames();
    HomeTextWidths widths;
    widths.scanNowTitle = 100;
    widths.lastScanStatusAt18 = widths.spaceToBeSaved = widths.allFilesTitle = widths.duplicateFilesFound
        = widths.addFolderHint = widths.addPathTitle = widths.scanModeLabel = 400;
    EXPECT_TRUE(applyHomeLayoutRules(frames, widths, QStringLiteral("en"), 1082).empty());
    EXPECT_EQ(at(frames, "btnScanNow"), (LayoutFrame { 416, 14, 250, 48 }));
    FrameTable expected = baseFrames();
    expected[QStringLiteral("btnScanNow")] = { 416, 14, 250, 48 };
    for (const char* name : { "lblLastScanStatus", "lblSpaceToBeSaved", "btnAllFilesSelected", "btnCustomScanSelected",
             "lblDuplicateFilesFound", "lblAddFolderToFindDups", "btnAddPath", "lblScanMode", "boxScanMode",
             "btnScanMode", "lblLastScanTIme" })
        EXPECT_EQ(at(frames, name), at(expected, name)) << name;

    widths.scanNowTitle = 300.5; // too wide: x stays, the bare width
    applyHomeLayoutRules(frames, widths, QStringLiteral("en"), 1082);
    EXPECT_EQ(at(frames, "btnScanNow"), (LayoutFrame { 416, 14, 300, 48 }));
}

TEST(HomeLayoutRules, GermanAppliesEachRuleOnce)
{
    FrameTable frames = baseFrames();
    HomeTextWidths widths;
    widths.scanNowTitle = 200;
    widths.lastScanStatusAt18 = 120;
    widths.spaceToBeSaved = 200;
    widths.allFilesTitle = 110;
    widths.duplicateFilesFound = 190;
    widths.addFolderHint = 150;
    widths.addPathTitle = 100;
    widths.scanModeLabel = 140;
    widths.protectFolderBtn = 140;
    widths.excludeFolderBtn = 140;
    const std::vector<FontEdit> fonts = applyHomeLayoutRules(frames, widths, QStringLiteral("de"), 1082);

    const std::pair<const char*, LayoutFrame> expected[] = {
        { "btnScanNow", { 366, -2, 350, 64 } },
        { "lblLastScanStatus", { 44, 82, 110, 26 } },
        { "lblSpaceToBeSaved", { 198, 14, 180, 38 } },
        { "btnAllFilesSelected", { 20, 92, 153, 32 } },
        { "btnCustomScanSelected", { 172, 92, 112, 32 } },
        { "lblDuplicateFilesFound", { 48, 14, 170, 38 } },
        { "lblAddFolderToFindDups", { 38, -34, 100, 62 } },
        { "btnAddPath", { 73, 12, 170, 34 } },
        { "lblScanMode", { 0, 2, 110, 49 } },
        { "boxScanMode", { 0, 0, 115, 34 } },
        { "btnScanMode", { 115, 2, 230, 30 } },
        { "lblLastScanTIme", { 110, 57, 215, 36 } },
    };
    for (const auto& [name, frame] : expected)
        EXPECT_EQ(at(frames, name), frame) << name;
    QStringList names;
    for (const FontEdit& edit : fonts)
        names << edit.name;
    EXPECT_EQ(names,
        (QStringList { QStringLiteral("lblLastScanStatus"), QStringLiteral("lblScanMode"),
            QStringLiteral("lblProtectFolderBtn"), QStringLiteral("lblExcludeFolderBtn"),
            QStringLiteral("lblProtectFolderBtn") }));
}

namespace {

// The home screen after its set-up, over a settings store in a temporary HOME.
struct ScreenFixture : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() };
    std::shared_ptr<RecordingAlerts> presenter = std::make_shared<RecordingAlerts>();
    std::unique_ptr<ScanSources> sources;
    std::unique_ptr<MainViewController> screen;

    ScreenFixture()
    {
        startApplicationCore(defaults);
        selectedScanSource() = ScanSource::thisComputer;
        setAlertPresenter(presenter);
        sources = std::make_unique<ScanSources>(defaults);
        screen = std::make_unique<MainViewController>(defaults, *sources);
        screen->viewDidLoad();
    }
    ~ScreenFixture() override
    {
        screen.reset();
        setAlertPresenter(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
        lastScanResultGroups().clear();
    }

    void add(ScanSource source, SourceList which, const FilePathNodePtr& row)
    {
        sources->edit(source, which, [&row](ScanSources::Rows& rows) { rows.push_back(row); });
    }
    void add(ScanSource source, SourceList which, const QString& path)
    {
        add(source, which, LocationLists::makePathNode(path));
    }

    // Shown off the screen at the window's content size; with a folder of
    // tree on the scan list when one is given.
    void showOnScreen(const TreeBuilder* tree = nullptr)
    {
        if (tree)
            screen->handleFileDragDropNotification({ tree->root() });
        screen->setAttribute(Qt::WA_DontShowOnScreen);
        screen->resize(1082, 720);
        screen->show();
    }

    QStringList shownPaths()
    {
        QStringList paths;
        HomePathModel& model = screen->pathModel();
        for (int row = 0; row < model.rowCount(); ++row)
            paths << model.index(row, HomePathModel::pathColumn)
                         .data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath))
                         .toString();
        return paths;
    }
};

FilePathNodePtr driveRow(const QString& drivePath)
{
    auto row = std::make_shared<FilePathNode>();
    row->filePath = QStringLiteral("id-") + drivePath;
    if (!drivePath.isEmpty()) {
        row->gdFolder = std::make_shared<GDFoldersList>();
        row->gdFolder->folderAbsPath = drivePath;
    }
    return row;
}

} // namespace

TEST_F(ScreenFixture, TheHintShowsUntilThereIsAResultToView)
{
    const auto shown = [&](const char* name) { return !screen->findChild<QWidget*>(QLatin1String(name))->isHidden(); };
    EXPECT_TRUE(shown("infoIcon"));
    EXPECT_TRUE(shown("lblAddFolderToFindDups"));
    EXPECT_FALSE(shown("btnLastScanResult"));
    lastScanResultGroups().push_back(std::make_shared<DuplicateGroup>());
    screen->showLastScanHint();
    EXPECT_FALSE(shown("infoIcon"));
    EXPECT_TRUE(shown("btnLastScanResult"));
}

TEST_F(ScreenFixture, OneModelShowsTheTabsListForTheSource)
{
    LocationLists& lists = screen->lists();
    sources->replace(ScanSource::thisComputer, SourceList::exclude, {});
    lists.addPathToScanList(QStringLiteral("/scan"));
    add(ScanSource::thisComputer, SourceList::exclude, QStringLiteral("/ex"));
    add(ScanSource::thisComputer, SourceList::protect, QStringLiteral("/pro"));
    add(ScanSource::googleDrive, SourceList::scan, QStringLiteral("/My Drive/Scan"));
    add(ScanSource::googleDrive, SourceList::exclude, driveRow(QStringLiteral("/My Drive/Ex")));
    add(ScanSource::googleDrive, SourceList::protect, driveRow(QStringLiteral("/My Drive/P")));
    add(ScanSource::googleDrive, SourceList::protect, driveRow(QString()));
    add(ScanSource::oneDrive, SourceList::exclude, QStringLiteral("/cloud/ex"));
    add(ScanSource::lightroomCatalog, SourceList::protect, QStringLiteral("/cloud/pro"));

    struct Case {
        ScanSource source;
        int tag;
        QStringList paths;
    };
    const Case cases[] = {
        { ScanSource::thisComputer, 1, { QStringLiteral("/scan") } },
        { ScanSource::thisComputer, 2, { QStringLiteral("/ex") } },
        { ScanSource::thisComputer, 3, { QStringLiteral("/pro") } },
        { ScanSource::googleDrive, 1, { QStringLiteral("/My Drive/Scan") } },
        { ScanSource::googleDrive, 2, { QStringLiteral("/My Drive/Ex") } },
        { ScanSource::googleDrive, 3, { QStringLiteral("/My Drive/P"), QString() } },
        { ScanSource::oneDrive, 2, { QStringLiteral("/cloud/ex") } },
        { ScanSource::lightroomCatalog, 3, { QStringLiteral("/cloud/pro") } },
    };
    for (const Case& c : cases) {
        selectedScanSource() = c.source;
        screen->tabChanged(c.tag);
        EXPECT_EQ(shownPaths(), c.paths) << int(c.source) << " tab " << c.tag;
    }
    screen->tabChanged(4); // the preferences: the tab stays
    EXPECT_EQ(screen->activeTab(), HomeTab::protect);

    // The sub-folder box shows the row's own value.
    selectedScanSource() = ScanSource::thisComputer;
    screen->tabChanged(1);
    lists.scanListForSource()[0]->isIncludeSubFolders = false;
    lists.savePathsBookmark();
    EXPECT_EQ(screen->pathModel()
                  .index(0, HomePathModel::subFoldersColumn)
                  .data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox)),
        QVariant(0));
}

TEST_F(ScreenFixture, RemoveAllOnACloudSourceEmptiesOnlyTheShownList)
{
    LocationLists& lists = screen->lists();
    const size_t defaultExclusions = sources->excludeList(ScanSource::thisComputer).size();
    ASSERT_GT(defaultExclusions, 0u);
    add(ScanSource::thisComputer, SourceList::protect, QStringLiteral("/pro"));
    selectedScanSource() = ScanSource::dropbox;
    add(ScanSource::dropbox, SourceList::exclude, QStringLiteral("/cloud/ex"));
    add(ScanSource::dropbox, SourceList::protect, QStringLiteral("/cloud/pro"));
    for (int tag : { 2, 3 }) {
        screen->tabChanged(tag);
        screen->removeAllFromScanList();
    }
    EXPECT_TRUE(lists.excludeListForSource().empty());
    EXPECT_TRUE(lists.protectListForSource().empty());
    EXPECT_EQ(sources->excludeList(ScanSource::thisComputer).size(), defaultExclusions);
    EXPECT_EQ(sources->protectList(ScanSource::thisComputer).size(), 1u);
    EXPECT_EQ(
        defaults.object(QLatin1String(SettingsKey::excludedFolders)).toList().size(), qsizetype(defaultExclusions));
    EXPECT_EQ(defaults.object(QLatin1String(SettingsKey::protectedFolders)).toList().size(), 1);
}

TEST_F(ScreenFixture, TheCleanerItemOpensTheCleanerAndLeavesNothingToScan)
{
    int opened = 0;
    screen->setEmptyFolderCleanerOpener([&](QWidget*) { ++opened; });
    TreeBuilder tree;
    tree.file(QStringLiteral("a/one.txt"), QByteArray(10, 'x'));
    screen->handleFileDragDropNotification({ tree.root() });
    ASSERT_TRUE(screen->scanNowButton()->isEnabled());
    auto* popUp = screen->findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    ASSERT_NE(popUp, nullptr);
    const int cleanerItem = popUp->findData(106);
    popUp->setCurrentIndex(cleanerItem);
    emit popUp->activated(cleanerItem);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(selectedScanSource().load(), ScanSource::emptyFolderCleaner);
    EXPECT_TRUE(screen->lists().scanListForSource().empty());
    EXPECT_FALSE(screen->scanNowButton()->isEnabled());
}

TEST_F(ScreenFixture, ScanNowShowsTheStageWordOverTheCounters)
{
    TreeBuilder tree;
    tree.file(QStringLiteral("a/one.txt"), "one");
    screen->engine().setEndOfScanPauses(0, 0);
    showOnScreen(&tree);
    auto* stage = screen->findChild<QLabel*>(QStringLiteral("lblAdd"));
    auto* firstCounter = screen->findChild<QLabel*>(QStringLiteral("lblFilesScanned"));
    ASSERT_TRUE(stage && firstCounter);

    screen->scanNowButton()->click();
    EXPECT_TRUE(stage->isVisible());
    EXPECT_EQ(stage->text(), localizedText("ID_ADDING"));
    // Above the counters' captions, apart from them.
    EXPECT_LE(stage->geometry().bottom(), firstCounter->geometry().top());
    EXPECT_GE(stage->width(), stage->fontMetrics().horizontalAdvance(stage->text()));
    // The scan of one file ends with its notice.
    EXPECT_TRUE(waitUntil([&] { return !presenter->shown.empty(); }, 30000));
}

namespace {

// The panel, answered at once with the folders the user picked.
struct PickingChooser : FolderChooser {
    QStringList picked;
    void chooseFolders(const Options&, std::function<void(const QStringList&)> done) override { done(picked); }
};

} // namespace

TEST_F(ScreenFixture, TheWholeFileSystemPickedInThePanelAddsTheHomeFolder)
{
    auto chooser = std::make_unique<PickingChooser>();
    chooser->picked = { QStringLiteral("/") };
    screen->setFolderChooser(std::move(chooser));
    screen->findChild<QAbstractButton*>(QStringLiteral("btnAddPath"))->click();

    EXPECT_EQ(shownPaths(), QStringList { AppPaths::homeFolder() });
    const std::vector<FilePathNodePtr>& scan = sources->scanList(ScanSource::thisComputer);
    ASSERT_EQ(scan.size(), 1u);
    EXPECT_EQ(*scan.front()->filePath, AppPaths::homeFolder());
    EXPECT_TRUE(presenter->shown.empty());
}

// A folder chosen through a link, at any level of its path and through links
// to links, is judged by where it leads: one that leads into an excluded
// folder is refused with an alert that names it on one line, where it leads
// and the exclusion; a folder chosen with it stays.
TEST_F(ScreenFixture, AFolderChosenThroughALinkIntoAnExcludedFolderIsRefusedNamingItAndTheExclusion)
{
    const auto made = [&](const QString& relative) {
        const QString path = home.path() + QLatin1Char('/') + relative;
        EXPECT_TRUE(QDir().mkpath(path));
        return QFileInfo(path).canonicalFilePath();
    };
    const auto linked = [&](const QString& name, const QString& target) {
        const QString path = home.path() + QLatin1Char('/') + name;
        EXPECT_TRUE(QFile::link(target, path));
        return path;
    };
    const QString kept = made(QStringLiteral("Private/inner"));
    const QString keptParent = QFileInfo(kept).path();
    const QString music = made(QStringLiteral("Music"));
    add(ScanSource::thisComputer, SourceList::exclude, keptParent);
    const QString shortcut = linked(QStringLiteral("short\ncut"), keptParent);
    const QString chain = linked(QStringLiteral("chain"), shortcut);
    const QString cache = linked(QStringLiteral("cached"), made(QStringLiteral("cache/thumbs")));

    auto chooser = std::make_unique<PickingChooser>();
    PickingChooser* panel = chooser.get();
    screen->setFolderChooser(std::move(chooser));
    QAbstractButton* addButton = screen->findChild<QAbstractButton*>(QStringLiteral("btnAddPath"));
    const auto choose = [&](const QStringList& picked) {
        const std::size_t before = presenter->shown.size();
        panel->picked = picked;
        addButton->click();
        return waitUntil([&] { return presenter->shown.size() > before; }, 10000);
    };

    ASSERT_TRUE(choose({ shortcut, music }));
    EXPECT_EQ(shownPaths(), QStringList { music });
    EXPECT_EQ(storedPaths(defaults, SettingsKey::savedPaths), QStringList { music });
    EXPECT_EQ(presenter->shown.back().messageText, localizedText("ID_ONE_OR_MORE_ITEMS_CANNOT_ADDED"));
    EXPECT_EQ(presenter->shown.back().informativeText,
        QStringLiteral("“%1” leads to “%2”, in “%2”, which you excluded from scanning.")
            .arg(home.path() + QStringLiteral("/short\\ncut"), keptParent));

    ASSERT_TRUE(choose({ chain + QStringLiteral("/inner"), cache }));
    EXPECT_EQ(shownPaths(), QStringList { music });
    EXPECT_EQ(presenter->shown.back().messageText, localizedText("ID_ITEMS_CANNOT_ADDED"));
    EXPECT_EQ(presenter->shown.back().informativeText,
        QStringLiteral("“%1/inner” leads to “%2”, in “%3”, which you excluded from scanning. 1 more of the chosen "
                       "items lead into excluded folders too.")
            .arg(chain, kept, keptParent));

    ASSERT_TRUE(choose({ cache }));
    EXPECT_EQ(presenter->shown.back().informativeText,
        QStringLiteral("“%1” leads to “%2”, in “%3”, which is excluded from scanning by default.")
            .arg(cache, QFileInfo(cache).canonicalFilePath(), home.cacheHome()));
    EXPECT_EQ(shownPaths(), QStringList { music });

    // A drop is judged as the panel's choice is.
    QMimeData drop;
    drop.setUrls({ QUrl::fromLocalFile(chain) });
    const std::size_t told = presenter->shown.size();
    ASSERT_TRUE(screen->findChild<DragDropBox*>(QStringLiteral("boxSelectFolder"))->performDragOperation(&drop));
    ASSERT_TRUE(waitUntil([&] { return presenter->shown.size() > told; }, 10000));
    EXPECT_EQ(presenter->shown.back().informativeText,
        QStringLiteral("“%1” leads to “%2”, in “%2”, which you excluded from scanning.").arg(chain, keptParent));
    EXPECT_EQ(shownPaths(), QStringList { music });
    EXPECT_EQ(storedPaths(defaults, SettingsKey::savedPaths), QStringList { music });
}

TEST_F(ScreenFixture, BackDuringTheFinishingPauseStaysHomeAndStillRecordsTheScan)
{
    TreeBuilder tree;
    tree.file(QStringLiteral("a/one.jpg"), "twin");
    tree.file(QStringLiteral("b/one.jpg"), "twin");
    screen->engine().setEndOfScanPauses(300, 100);
    showOnScreen(&tree);
    QSignalSpy ended(&screen->engine(), &ScanEngine::scanEnded);
    auto* back = screen->findChild<QAbstractButton*>(QStringLiteral("btnBackToAddFolder"));
    auto* details = screen->findChild<QWidget*>(QStringLiteral("boxScanDetail"));
    ASSERT_TRUE(back && details);

    screen->scanNowButton()->click();
    ASSERT_FALSE(back->isVisible()); // no way back while the scan runs
    ASSERT_TRUE(waitUntil([&] { return back->isVisible(); }, 30000)); // the scan's end
    back->click();
    EXPECT_FALSE(details->isVisible());
    // Home again, yet no second scan until this one has handed over.
    EXPECT_FALSE(screen->scanNowButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return ended.size() == 1; }, 30000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen->scanNowButton()->isEnabled());

    auto* results = screen->findChild<QWidget*>(QStringLiteral("resultsPlaceholder"));
    EXPECT_FALSE(results && results->isVisible());
    EXPECT_FALSE(details->isVisible());
    EXPECT_EQ(screen->findChild<QLabel*>(QStringLiteral("lblLastScanDupFileCount"))->text(), QStringLiteral("1"));
    EXPECT_EQ(defaults.arrayValue(QLatin1String(SettingsKey::lastScanStatus)).value_or(QVariantList {}).size(), 1);
}

// Between a scan's end and its hand-over Scan Now takes nothing, and looks
// it: grey, not the blue it shows when a press starts a scan.
TEST_F(ScreenFixture, ScanNowLooksOffWhileTheScanHandsOver)
{
    TreeBuilder tree;
    tree.file(QStringLiteral("a/one.jpg"), "twin");
    tree.file(QStringLiteral("b/one.jpg"), "twin");
    screen->engine().setEndOfScanPauses(0, 60000);
    showOnScreen(&tree);
    IMGButton* scanNow = screen->scanNowButton();
    // The face above the title, where no letter is drawn.
    const auto looksBlue = [scanNow] {
        const QColor face = scanNow->grab().toImage().pixelColor(scanNow->width() / 2, 5);
        return face.blue() - face.red() > 60;
    };
    ASSERT_TRUE(scanNow->isEnabled());
    EXPECT_TRUE(looksBlue());

    scanNow->click();
    auto* back = screen->findChild<QAbstractButton*>(QStringLiteral("btnBackToAddFolder"));
    ASSERT_TRUE(waitUntil([&] { return back->isVisible() && !screen->engine().isScanUnderWay(); }, 30000));
    back->click();
    ASSERT_TRUE(screen->engine().isBusy()) << "the hand-over is still to come";
    EXPECT_FALSE(scanNow->isEnabled());
    EXPECT_FALSE(looksBlue());
}

// "Add folders to find duplicates." tells a new user where to start: it goes
// once the scan list holds a folder, and stays away once a scan is recorded
// in the box, even with the list emptied again.
TEST_F(ScreenFixture, TheHintToAddFoldersGoesOnceThereAreFoldersOrAScan)
{
    TreeBuilder tree;
    tree.file(QStringLiteral("a/one.jpg"), "twin");
    tree.file(QStringLiteral("b/one.jpg"), "twin");
    showOnScreen();
    auto* hint = screen->findChild<QWidget*>(QStringLiteral("lblAddFolderToFindDups"));
    EXPECT_TRUE(hint->isVisible());
    screen->handleFileDragDropNotification({ tree.root() });
    EXPECT_FALSE(hint->isVisible());
    screen->removeAllFromScanList();
    EXPECT_TRUE(hint->isVisible()) << "nothing scanned, nothing to scan: the hint again";

    screen->handleFileDragDropNotification({ tree.root() });
    screen->engine().setEndOfScanPauses(0, 0);
    QSignalSpy ended(&screen->engine(), &ScanEngine::scanEnded);
    screen->scanNowButton()->click();
    ASSERT_TRUE(waitUntil([&] { return ended.size() == 1; }, 30000));
    QCoreApplication::processEvents();
    screen->showHomeView();
    screen->removeAllFromScanList();
    ASSERT_EQ(screen->findChild<QLabel*>(QStringLiteral("lblLastScanDupFileCount"))->text(), QStringLiteral("1"));
    EXPECT_FALSE(hint->isVisible());
    EXPECT_FALSE(screen->findChild<QWidget*>(QStringLiteral("btnLastScanResult"))->isVisible())
        << "no result kept to view";
}

TEST_F(ScreenFixture, EveryButtonIsReachedByTabAndScanNowActsOnSpace)
{
    add(ScanSource::thisComputer, SourceList::scan, home.path());
    showOnScreen();
    expectTabReachesEveryButton(*screen, { screen->findChild<QAbstractButton*>(QStringLiteral("btnScanNow")) });
}

TEST_F(ScreenFixture, EverySourceIsReachedByMouseAndNoHiddenItemByKeysOrWheel)
{
    int cleanerOpened = 0;
    screen->setEmptyFolderCleanerOpener([&](QWidget*) { ++cleanerOpened; });
    showOnScreen();
    auto* popUp = screen->findChild<CustomPopUpButton*>(QStringLiteral("btnScanMode"));
    ASSERT_NE(popUp, nullptr);
    auto* list = qobject_cast<QListView*>(popUp->view());
    ASSERT_NE(list, nullptr);

    // Each of the seven sources is a shown row of the open list; a click on
    // it chooses that source, and the closed button names it with the mark.
    for (int tag = 100; tag <= 106; ++tag) {
        const ScanSource source = *scanSourceFromRaw(tag - 100);
        const int row = popUp->findData(tag);
        ASSERT_GE(row, 0) << tag;
        EXPECT_FALSE(popUp->isItemHidden(row)) << tag;
        popUp->showPopup();
        ASSERT_TRUE(waitUntil([&] { return list->isVisible(); }));
        const QRect rowRect = list->visualRect(popUp->model()->index(row, 0));
        ASSERT_TRUE(rowRect.isValid() && list->viewport()->rect().intersects(rowRect)) << tag;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowRect.center());
        ASSERT_TRUE(waitUntil([&] { return !list->isVisible(); }));
        EXPECT_EQ(selectedScanSource().load(), source) << tag;
        EXPECT_EQ(popUp->closedTitle(), localizedText(scanSourceTitleKey(source)) + QStringLiteral("  "));
        EXPECT_TRUE(popUp->showsTitleMark());
        EXPECT_EQ(popUp->itemText(row), localizedText(scanSourceTitleKey(source)));
    }
    EXPECT_EQ(cleanerOpened, 1);

    // The hidden indexes hold no source, and neither the keys nor the wheel
    // ever land on one; the wheel does not switch sources at all.
    for (int row = 0; row < popUp->count(); ++row)
        EXPECT_TRUE(!popUp->isItemHidden(row) || !popUp->itemData(row).isValid()) << row;
    popUp->setCurrentIndex(0);
    popUp->setFocus();
    QSet<int> visited { 0 };
    for (int step = 0; step < popUp->count(); ++step) {
        QTest::keyClick(popUp, Qt::Key_Down);
        EXPECT_FALSE(popUp->isItemHidden(popUp->currentIndex())) << popUp->currentIndex();
        visited.insert(popUp->currentIndex());
    }
    QTest::keyClick(popUp, Qt::Key_End);
    EXPECT_FALSE(popUp->isItemHidden(popUp->currentIndex()));
    EXPECT_EQ(visited.size(), 7);
    const int before = popUp->currentIndex();
    for (const int delta : { -120, 120, -120 }) {
        QWheelEvent wheel(QPointF(10, 10), popUp->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(popUp, &wheel);
    }
    EXPECT_EQ(popUp->currentIndex(), before);
}

// Space on a folder row is its check box, again and again.
TEST_F(ScreenFixture, SpaceTogglesTheCheckBoxOfTheCurrentFolderRow)
{
    add(ScanSource::thisComputer, SourceList::scan, home.path());
    showOnScreen();
    auto* table = screen->findChild<CustomTableView*>(QStringLiteral("tblInclude"));
    ASSERT_TRUE(table);
    const QModelIndex check = screen->pathModel().index(0, HomePathModel::checkColumn);
    const int role = CustomCell::roleOf(CustomCell::Outlet::btnCheckBox);
    ASSERT_EQ(check.data(role).toInt(), 1);
    table->setCurrentIndex(screen->pathModel().index(0, HomePathModel::pathColumn));
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(screen->pathModel().index(0, HomePathModel::checkColumn).data(role).toInt(), 0);
    EXPECT_EQ(screen->lists().scanListForSource()[0]->state, 0);
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(screen->pathModel().index(0, HomePathModel::checkColumn).data(role).toInt(), 1);
}

// The file-type switches stand under the list and end where it ends: at the
// small window's least size, at the base size and in a grown window, none
// reaches past the list's right edge, and no two overlap.
TEST_F(ScreenFixture, TheFileTypeSwitchesEndWithinTheList)
{
    showOnScreen();
    const char* switches[] = { "btnAllFilesSelected", "btnCustomScanSelected", "btnDocumentsSelected",
        "btnPhotosSelected", "btnMusicSelected", "btnVideosSelected", "btnArchivesSelected", "btnOthersSelected" };
    for (const QSize size : { QSize(960, 600), QSize(1082, 700), QSize(1400, 870) }) {
        screen->resize(size);
        QApplication::processEvents();
        const auto* list = screen->findChild<QWidget*>(QStringLiteral("containerView"));
        const QRect listRect(list->mapTo(screen.get(), QPoint(0, 0)), list->size());
        QRect previous;
        for (const char* name : switches) {
            const auto* button = screen->findChild<QWidget*>(QString::fromLatin1(name));
            const QRect rect(button->mapTo(screen.get(), QPoint(0, 0)), button->size());
            EXPECT_GE(rect.left(), listRect.left()) << size.width() << " " << name;
            EXPECT_LE(rect.right(), listRect.right()) << size.width() << " " << name;
            EXPECT_FALSE(rect.intersects(previous)) << size.width() << " " << name;
            previous = rect;
        }
    }
}

TEST_F(ScreenFixture, TabWalksTheControlsAsTheyStandOnTheScreen)
{
    // The source, the tabs and their tables, the file types, Add with the
    // Exclude and Protect shortcuts below it, the last scan's link, Scan
    // Now, then the scanning view's buttons.
    showOnScreen();
    QStringList chain;
    for (QWidget* widget = screen->nextInFocusChain(); widget && widget != screen.get();
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
    }
    EXPECT_EQ(chain,
        (QStringList { "btnScanMode", "btnInclue", "btnExclude", "btnProtected", "btnSetting", "tblInclude",
            "tblExcludes", "tblProtected", "btnAllFilesSelected", "btnCustomScanSelected", "btnDocumentsSelected",
            "btnPhotosSelected", "btnMusicSelected", "btnVideosSelected", "btnArchivesSelected", "btnOthersSelected",
            "btnAddPath", "boxRightExclude", "boxRightProtected", "btnLastScanResult", "btnScanNow", "btnAbortScanning",
            "btnShowResultDetail", "btnBackToAddFolder" }));
}

// With another system language the texts shown are English, and so is their
// layout; the date of the last scan takes the region's form and is shown
// whole, inside its box.
TEST_F(ScreenFixture, WithAnotherSystemLanguageTheEnglishTextsKeepTheirLayoutAndTheLastScanDateIsWhole)
{
    const QDateTime scanned(QDate(2026, 12, 9), QTime(3, 15));
    defaults.setValue(
        QLatin1String(SettingsKey::lastScanStatus), QVariantList { makeScanHistoryRecord(12, 1 << 30, scanned) });
    for (const char* name :
        { "en_US", "fr_FR", "de_DE", "it_IT", "pt_BR", "ru_RU", "es_ES", "nl_NL", "sv_SE", "fi_FI", "ja_JP" }) {
        const ScopedSystemLanguage language { QLocale(QString::fromLatin1(name)) };
        EXPECT_EQ(currentLanguageCode, QStringLiteral("en")) << name;
        screen = std::make_unique<MainViewController>(defaults, *sources);
        screen->viewDidLoad();
        showOnScreen();
        QCoreApplication::processEvents();
        auto* time = screen->findChild<QLabel*>(QStringLiteral("lblLastScanTIme"));
        ASSERT_TRUE(time) << name;
        const QString text = time->text();
        EXPECT_TRUE(text.contains(QStringLiteral("2026")) && text.contains(QStringLiteral("03:15"))) << name;
        EXPECT_LE(time->fontMetrics().horizontalAdvance(text), time->contentsRect().width()) << name;
        EXPECT_TRUE(time->parentWidget()->rect().contains(time->geometry())) << name;
        // Clear of the texts beside it.
        const auto drawn = [](const QLabel* label) {
            return label->fontMetrics()
                .boundingRect(label->contentsRect(), int(label->alignment()), label->text())
                .translated(label->pos());
        };
        for (const char* other : { "lblLastScanStatus", "lblLastScanDupFileSize", "lblLastScanDupFileCount" }) {
            const auto* label = screen->findChild<QLabel*>(QString::fromLatin1(other));
            EXPECT_FALSE(drawn(label).intersects(drawn(time))) << name << " " << other;
        }
    }
}
