#include "home/LocationAdder.h"
#include "ListsFixture.h"
#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "controls/DragDropBox.h"
#include "controls/IMGButton.h"
#include "core/AppStartup.h"
#include "core/SettingsSchema.h"
#include "home/LocationLists.h"
#include "home/MainViewController.h"
#include "scan/ScanSources.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"

#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

AlertKeys keys(const char* message, const char* informative = "")
{
    return { QString::fromLatin1(message), QString::fromLatin1(informative) };
}

// Answers the panel with the paths it was given, and records what was asked.
struct FakeChooser : FolderChooser {
    QStringList answer;
    std::optional<Options> asked;
    void chooseFolders(const Options& options, std::function<void(const QStringList&)> done) override
    {
        asked = options;
        done(answer);
    }
};

struct AdderFixture : ListsFixture {
    LocationAdder adder { lists };

    static QStringList pathsOf(const std::vector<FilePathNodePtr>& rows)
    {
        QStringList paths;
        for (const FilePathNodePtr& row : rows)
            paths << *row->filePath;
        return paths;
    }
};

const QString trashed = QStringLiteral("/media/usb/.Trash-%1/files/old").arg(::getuid());

} // namespace

TEST_F(AdderFixture, ScanListAdditionsAndTheirReports)
{
    struct Case {
        const char* name;
        QStringList before, chosen, expectedRows;
        std::vector<AlertKeys> alerts;
    };
    const QString present = QStringLiteral("/data/Photos");
    const QString fresh = QStringLiteral("/data/Music");
    clear(ScanSource::thisComputer, SourceList::exclude);
    append(ScanSource::thisComputer, SourceList::exclude, QStringLiteral("/data/Skip"));
    const Case cases[] = {
        { "only new: no alert", {}, { fresh, QStringLiteral("/") }, { fresh, AppPaths::homeFolder() }, {} },
        { "the whole file system is the home folder, once", { AppPaths::homeFolder() }, { QStringLiteral("/") },
            { AppPaths::homeFolder() }, { keys("ID_ITEMS_CANNOT_ADDED", "ID_ITEMS_ALREADY_PRESENT_IN_SCAN_LIST") } },
        { "only present", { present }, { present }, { present },
            { keys("ID_ITEMS_CANNOT_ADDED", "ID_ITEMS_ALREADY_PRESENT_IN_SCAN_LIST") } },
        { "new and present", { present }, { present, fresh }, { present, fresh },
            { keys("ID_ITEMS_CANNOT_ADDED", "ID_ITEMS_ALREADY_PRESENT_IN_SCAN_LIST") } },
        { "letter case tells paths apart", { present }, { QStringLiteral("/data/photos") },
            { present, QStringLiteral("/data/photos") }, {} },
        { "excluded only", {}, { QStringLiteral("/data/Skip/a") }, {},
            { keys("ID_ITEMS_CANNOT_ADDED", "ID_ITEMS_ALREADY_EXCLUDED_FROM_SCANNING") } },
        { "excluded beside an added one", {}, { QStringLiteral("/data/Skip"), fresh }, { fresh },
            { keys("ID_ONE_OR_MORE_ITEMS_CANNOT_ADDED", "ID_ITEMS_ALREADY_EXCLUDED_FROM_SCANNING") } },
        { "a Trash item anywhere", {}, { fresh, trashed }, { fresh }, { keys("ID_CANT_ADD_BIN_FOLDER") } },
    };
    for (const Case& c : cases) {
        clear(ScanSource::thisComputer, SourceList::scan);
        for (const QString& path : c.before)
            lists.addPathToScanList(path);
        const AddOutcome outcome = adder.addPanelPathsToScanList(c.chosen);
        EXPECT_EQ(pathsOf(scan()), c.expectedRows) << c.name;
        EXPECT_EQ(outcome.alerts, c.alerts) << c.name;
        EXPECT_EQ(saved(SettingsKey::savedPaths), c.expectedRows) << c.name;
    }
}

TEST_F(AdderFixture, ASecondPhotoLibraryStopsTheChoiceButKeepsWhatCameBefore)
{
    lists.addPathToScanList(QStringLiteral("/a/One.photoslibrary"));
    const AddOutcome outcome = adder.addPanelPathsToScanList(
        { QStringLiteral("/a/Docs"), QStringLiteral("/b/Two.photoslibrary"), QStringLiteral("/a/Late") });
    EXPECT_EQ(outcome.alerts, std::vector<AlertKeys> { keys("ID_ONLY_ONE_PHOTOS_LIBRARY_CAN_ADDED") });
    const QStringList expected { QStringLiteral("/a/One.photoslibrary"), QStringLiteral("/a/Docs") };
    EXPECT_EQ(pathsOf(scan()), expected);
    EXPECT_EQ(saved(SettingsKey::savedPaths), expected);

    ASSERT_TRUE(lists.removeScanRow(0));
    EXPECT_TRUE(adder.addPanelPathsToScanList({ QStringLiteral("/b/Two.photoslibrary") }).alerts.empty());
}

TEST_F(AdderFixture, ExclusionConflicts)
{
    struct Case {
        const char* name;
        QStringList chosen, expectedNew;
        std::vector<AlertKeys> alerts;
    };
    const Case cases[] = {
        { "holds a scan entry", { QStringLiteral("/home/a"), QStringLiteral("/srv") }, { QStringLiteral("/srv") },
            { keys("ID_ITEMS_CANNOT_EXCLUDED", "ID_EITHER_ITEM_OR_CONTENT_PRESENT_IN_SCAN_LIST") } },
        { "below a scan entry", { QStringLiteral("/home/a/Pics/tmp") }, { QStringLiteral("/home/a/Pics/tmp") }, {} },
        { "repeat, compared exactly", { QStringLiteral("/x/Old"), QStringLiteral("/x/old") },
            { QStringLiteral("/x/old") },
            { keys("ID_ITEMS_CANNOT_ADDED_EXCLUSION_LIST", "ID_THIS_ITEM_ALREADY_EXIST_TRY_TO_ADD_ANOTHER_FOLDER") } },
        { "both", { QStringLiteral("/x/Old"), QStringLiteral("/home/a/Pics") }, {},
            { keys("ID_ONE_OR_MORE_ITEMS_CANNOT_EXCLUDED") } },
    };
    lists.addPathToScanList(QStringLiteral("/home/a/Pics"));
    for (const Case& c : cases) {
        clear(ScanSource::thisComputer, SourceList::exclude);
        append(ScanSource::thisComputer, SourceList::exclude, QStringLiteral("/x/Old"));
        const AddOutcome outcome = adder.addPanelPathsToExcludeList(c.chosen);
        EXPECT_EQ(pathsOf(excludeFinder()).mid(1), c.expectedNew) << c.name;
        EXPECT_EQ(outcome.alerts, c.alerts) << c.name;
        EXPECT_EQ(saved(SettingsKey::excludedFolders).size(), excludeFinder().size()) << c.name;
    }
}

TEST_F(AdderFixture, ProtectionRepeatsAndDroppedFiles)
{
    TreeBuilder tree;
    const QString file = tree.file(QStringLiteral("a.txt"), "x");
    const QString folder = tree.folder(QStringLiteral("Keep"));
    EXPECT_TRUE(adder.addPanelPathsToProtectList({ folder }).alerts.empty());
    const AddOutcome panel = adder.addPanelPathsToProtectList({ folder, QStringLiteral("/new") });
    EXPECT_EQ(panel.alerts,
        std::vector<AlertKeys> {
            keys("ID_FOLDER_CANNOT_ADDED_PROTECTION_LIST", "ID_FOLDER_ALREDY_EXIST_PLEASE_TRY_ADD_ANOTHER_FOLDER") });
    const AddOutcome drop = adder.handleFileDragDrop({ folder, file, trashed }, HomeTab::protect);
    EXPECT_EQ(drop.alerts,
        std::vector<AlertKeys> { keys(
            "ID_FOLDER_CAN_NOT_ADDED_TO_PROTECTION_LIST", "ID_FOLDER_ALREDY_EXIST_PLEASE_TRY_ADD_ANOTHER_FOLDER") });
    EXPECT_EQ(pathsOf(sources.protectList(ScanSource::thisComputer)), (QStringList { folder, QStringLiteral("/new") }));
    EXPECT_EQ(saved(SettingsKey::protectedFolders).size(), 2);

    clear(ScanSource::thisComputer, SourceList::exclude);
    EXPECT_TRUE(adder.handleFileDragDrop({ file, trashed }, HomeTab::exclude).alerts.empty());
    EXPECT_EQ(pathsOf(excludeFinder()), QStringList { file });
}

TEST_F(AdderFixture, DropsOnTheIncludeTab)
{
    const AddOutcome mixed
        = adder.handleFileDragDrop({ QStringLiteral("/"), trashed, QStringLiteral("/m/a") }, HomeTab::include);
    EXPECT_TRUE(mixed.alerts.empty());
    EXPECT_EQ(pathsOf(scan()), (QStringList { QStringLiteral("/"), QStringLiteral("/m/a") }));

    selectedScanSource() = ScanSource::dropbox;
    const AddOutcome refused = adder.handleFileDragDrop({ QStringLiteral("/m/b") }, HomeTab::include);
    EXPECT_EQ(refused.alerts,
        std::vector<AlertKeys> {
            keys("ID_YOU_CANT_DRAG_ANY_FILE", "ID_YOU_CANT_DRAG_DROP_ANY_FILE_IN_DROPBOX_SCAN_MODE") });
    EXPECT_TRUE(scan().empty());
    EXPECT_EQ(sources.scanList(ScanSource::thisComputer).size(), 2u);
}

TEST_F(AdderFixture, PanelsOfTheCatalogSourceWriteTheListsShownAndCancelAddsNothing)
{
    FakeChooser chooser;
    int reports = 0;
    adder.openPanel(HomeTab::exclude, chooser, [&](const AddOutcome&) { ++reports; });
    EXPECT_EQ(reports, 0);
    ASSERT_TRUE(chooser.asked);
    EXPECT_FALSE(chooser.asked->filesToo);

    selectedScanSource() = ScanSource::lightroomCatalog;
    const size_t computerRows = excludeFinder().size();
    chooser.answer = { QStringLiteral("/cat/Skip") };
    adder.openPanel(HomeTab::exclude, chooser, [&](const AddOutcome&) { ++reports; });
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(pathsOf(sources.excludeList(ScanSource::lightroomCatalog)), chooser.answer);
    EXPECT_EQ(excludeFinder().size(), computerRows);
}

namespace {

} // namespace

TEST(HomeScreenDrop, TwoDroppedFoldersBecomeSavedRowsAndEnableScanNow)
{
    TempHome home;
    UserDefaults defaults(home.configHome());
    startApplicationCore(defaults);
    selectedScanSource() = ScanSource::thisComputer;
    auto presenter = std::make_shared<RecordingAlerts>();
    setAlertPresenter(presenter);
    ScanSources sources(defaults);
    MainViewController screen(defaults, sources);
    screen.viewDidLoad();
    EXPECT_FALSE(screen.scanNowButton()->isEnabled());

    TreeBuilder tree;
    const QStringList folders { tree.folder(QStringLiteral("One")), tree.folder(QStringLiteral("Two")) };
    QMimeData drop;
    drop.setUrls({ QUrl::fromLocalFile(folders[0]), QUrl::fromLocalFile(folders[1]) });
    ASSERT_TRUE(screen.findChild<DragDropBox*>(QStringLiteral("boxSelectFolder"))->performDragOperation(&drop));

    EXPECT_EQ(screen.pathModel().rowCount(), 2);
    EXPECT_EQ(defaults.object(QString::fromLatin1(SettingsKey::savedPaths)).toList().size(), 2);
    EXPECT_TRUE(screen.scanNowButton()->isEnabled());
    EXPECT_EQ(screen.scanNowButton()->state(), 1);
    EXPECT_TRUE(presenter->shown.empty());
    setAlertPresenter(nullptr);
}
