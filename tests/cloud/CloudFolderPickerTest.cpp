#include "cloud/CloudFolderPicker.h"

#include "base/ReleaseElsewhere.h"
#include "base/UserDefaults.h"
#include "cloud/CloudSignInSheet.h"
#include "cloud/CloudSourceController.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/OAuthSession.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "home/LocationLists.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/AutoMarking.h"
#include "marking/ResultsState.h"
#include "marking/SelectAssistanceController.h"
#include "platform/ReachabilityTest.h"
#include "scan/ScanSources.h"
#include "support/FakeServiceConfig.h"
#include "support/FixedProbe.h"
#include "support/FlatCloudFolder.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

namespace {

// A signed-in service that answers the picker when the test says so.
struct ScriptedHandler : ScanWrapper {
    std::vector<std::pair<CloudScanFoldersListPtr, std::function<void(FolderListing)>>> asked;
    std::vector<std::shared_ptr<ListingGuard>> guards;
    ScriptedHandler() { isAuthenticateForScan = true; }
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        asked.emplace_back(folder, std::move(done));
        guards.push_back(listingGuard());
    }
    QString rootFolderName() const override { return QStringLiteral("DropBox"); }
};

CloudScanFoldersListPtr folder(const QString& path)
{
    auto node = std::make_shared<CloudScanFoldersList>();
    node->folderPath = path;
    node->folderName = path.section(QLatin1Char('/'), -1);
    return node;
}

struct PickerScreen {
    TempHome home;
    UserDefaults defaults { home.configHome() };
    std::shared_ptr<RecordingAlerts> presenter = std::make_shared<RecordingAlerts>();
    std::unique_ptr<ScanSources> lists;
    std::unique_ptr<MainViewController> screen;
    CloudSourceController* sources = nullptr;
    CloudFolderPicker* picker = nullptr;
    ScriptedHandler* handler = nullptr;

    // Dropbox's handler made by factory, else a scripted one.
    explicit PickerScreen(CloudSourceController::HandlerFactory factory = {})
    {
        startApplicationCore(defaults);
        setAlertPresenter(presenter);
        lists = std::make_unique<ScanSources>(defaults);
        screen = std::make_unique<MainViewController>(defaults, *lists);
        screen->viewDidLoad();
        if (!factory)
            factory = [this](ScanSource) {
                auto made = std::make_unique<ScriptedHandler>();
                handler = made.get();
                return made;
            };
        sources = new CloudSourceController(*screen, std::move(factory));
        picker = new CloudFolderPicker(*screen, *sources);
        auto* popUp = screen->findChild<QComboBox*>(QStringLiteral("btnScanMode"));
        emit popUp->activated(popUp->findData(scanSourceTag(ScanSource::dropbox)));
    }
    ~PickerScreen()
    {
        screen.reset();
        setAlertPresenter(nullptr);
        setNetworkReachabilityProbe(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }
    void answer(size_t request, FolderListing listing)
    {
        handler->asked.at(request).second(std::move(listing));
        QCoreApplication::processEvents();
    }
    bool busy() const { return !picker->hudFolderList->isHidden() || !picker->btnCancelGDrive->isEnabled(); }
    QModelIndex row(int index, const QModelIndex& parent = {}) { return picker->model().index(index, 0, parent); }
};

} // namespace

TEST(CloudFolderPicker, ListsOnExpansionOnceAndAlwaysLeavesTheBusyState)
{
    PickerScreen s;
    CloudFolderTreeModel& model = s.picker->model();
    EXPECT_EQ(model.rowCount(), 0);

    s.picker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->asked.size(), 1u);
    EXPECT_TRUE(s.busy());
    const CloudScanFoldersListPtr trips = folder(QStringLiteral("/Trips")), work = folder(QStringLiteral("/Work"));
    s.answer(0, { {}, { trips, work }, false });
    EXPECT_FALSE(s.busy());
    ASSERT_EQ(model.rowCount(s.row(0)), 2);

    // Expanding, collapsing and expanding again before the answer asks once;
    // a failed answer still ends the busy state.
    CustomOutlineView& outline = *s.picker->outlineGDFolderList;
    outline.expand(model.indexOf(trips.get()));
    outline.collapse(model.indexOf(trips.get()));
    outline.expand(model.indexOf(trips.get()));
    EXPECT_EQ(s.handler->asked.size(), 2u);
    s.answer(1, { {}, {}, true });
    EXPECT_FALSE(s.busy());
    EXPECT_TRUE(model.hasChildren(model.indexOf(trips.get())));
    outline.expand(model.indexOf(work.get()));
    s.answer(2, {});
    EXPECT_FALSE(s.busy());
    EXPECT_FALSE(model.hasChildren(model.indexOf(work.get())));
    s.presenter->shown.clear();

    // A cleared selection disables Add but keeps the last folder.
    outline.setCurrentIndex(model.indexOf(work.get()));
    EXPECT_TRUE(s.picker->btnAddFolderGDrive->isEnabled());
    outline.clearSelection();
    EXPECT_FALSE(s.picker->btnAddFolderGDrive->isEnabled());
    EXPECT_EQ(s.picker->lastSelectedCloudPath, work);

    // Refresh without internet says so and keeps the tree.
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(false));
    const CloudScanFoldersListPtr root = model.root();
    s.picker->btnRefreshGDriveFolderListTapped();
    EXPECT_EQ(s.presenter->shown.size(), 1u);
    EXPECT_EQ(model.root(), root);
    EXPECT_EQ(s.handler->asked.size(), 3u);
}

// A tree the picker lets go of (Refresh, or the next opening after a
// clean-up) ends off the window's thread, and the memory it held is given
// back to the system: a listing of millions of folders keeps none of it.
TEST(CloudFolderPicker, ATreeLetGoOfGivesItsMemoryBack)
{
    static std::atomic<int> givenBack { 0 };
    givenBack = 0;
    const FreedMemoryGiver before = setFreedMemoryGiver([] { ++givenBack; });
    const auto restore = qScopeGuard([before] { setFreedMemoryGiver(before); });
    PickerScreen s;
    s.picker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->asked.size(), 1u);
    s.answer(0, { {}, { folder(QStringLiteral("/Trips")), folder(QStringLiteral("/Work")) }, false });
    std::weak_ptr<CloudScanFoldersList> first = s.picker->model().root();
    ASSERT_FALSE(first.expired());
    s.handler->asked.clear();

    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
    s.picker->btnRefreshGDriveFolderList->click();
    QCoreApplication::processEvents();
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_NE(s.picker->model().root().get(), nullptr);
    EXPECT_TRUE(first.expired());
    EXPECT_GE(givenBack.load(), 1);
}

// Add takes nothing until a folder is chosen, and looks it: a faded face and
// a greyed title, beside the bright blue and white it shows once a click on
// a folder turns it on.
TEST(CloudFolderPicker, AddLooksOffUntilAFolderIsChosen)
{
    PickerScreen s;
    s.picker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    s.answer(0, { {}, { folder(QStringLiteral("/Trips")) }, false });
    CustomOutlineView& outline = *s.picker->outlineGDFolderList;
    outline.expand(s.row(0));
    IMGButton* add = s.picker->btnAddFolderGDrive;
    ASSERT_TRUE(add->isVisible());
    // The face's lightness above the title, and the lightest pixel of the
    // title's row.
    const auto look = [add] {
        const QImage image = add->grab().toImage();
        int title = 0;
        for (int x = 0; x < image.width(); ++x)
            title = std::max(title, image.pixelColor(x, image.height() / 2).lightness());
        return std::pair { image.pixelColor(image.width() / 2, 4), title };
    };
    ASSERT_FALSE(add->isEnabled());
    const auto [offFace, offTitle] = look();

    const QRect trips = outline.visualRect(s.row(0, s.row(0)));
    ASSERT_TRUE(trips.isValid());
    QTest::mouseClick(outline.viewport(), Qt::LeftButton, {}, trips.center());
    ASSERT_TRUE(add->isEnabled());
    const auto [onFace, onTitle] = look();

    EXPECT_GT(onFace.blue(), 200) << "on: the sheets' bright blue";
    EXPECT_GT(onTitle, 245) << "on: a white title";
    EXPECT_LT(offFace.lightness(), onFace.lightness() - 40) << "off: a face that has faded";
    EXPECT_LT(offFace.hsvSaturation(), onFace.hsvSaturation());
    EXPECT_LT(offTitle, 200) << "off: a greyed title";
}

TEST(CloudFolderPicker, ClosingThePickerEndsItsListingAtOnce)
{
    PickerScreen s;
    s.picker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->asked.size(), 1u);
    ASSERT_TRUE(s.busy());
    // The service has not answered; the user gives up waiting.
    QTest::mouseClick(s.picker->btnCancelGDrive, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(s.picker->windowGoogleDriveFolderList->isVisible());
    EXPECT_FALSE(s.busy());
    // What the service still sends is dropped...
    s.answer(0, { {}, { folder(QStringLiteral("/Late")) }, false });
    EXPECT_TRUE(s.handler->rootFolderObj->children.empty());
    // ...and the folder is listed again at the next opening.
    s.picker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    CloudFolderTreeModel& model = s.picker->model();
    s.picker->outlineGDFolderList->expand(s.row(0));
    ASSERT_EQ(s.handler->asked.size(), 2u);
    s.answer(1, { {}, { folder(QStringLiteral("/Now")) }, false });
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(model.rowCount(s.row(0)), 1);
}

// A sub-folder whose pages never end, on the fake service: the user opens
// it in the tree and gives up with Cancel while a page is on its way. The
// listing ends there: the closed picker asks the service for nothing more,
// neither the next page nor the folder again, and tells the user nothing.
TEST(CloudFolderPicker, CancelWhileASubFolderListsAsksTheServiceNothingMore)
{
    OAuthCloudHandler::setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    server.enableOAuth(QStringLiteral("client"));
    FlatCloudFolder flat { 0, 1 };
    flat.albumFiles = 1000000000;
    flat.serveDropbox(server);
    // The third page of the album is kept back until the user has cancelled.
    const QString more = QStringLiteral("/api/2/files/list_folder/continue");
    int pages = 0;
    server.route("POST", more, [&pages, pageOf = server.routed("POST", more)](const FakeHttpRequest& request) {
        FakeHttpResponse page = pageOf(request);
        page.held = ++pages == 3;
        return page;
    });
    PickerScreen s([&](ScanSource) {
        auto dropbox = std::make_unique<DropBoxHandler>(fakeServiceConfig(server, QStringLiteral("dropbox")));
        dropbox->session().setBrowserOpener([&server](const QUrl& url) {
            server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
        });
        return dropbox;
    });
    CloudFolderTreeModel& model = s.picker->model();
    ASSERT_TRUE(waitUntil([&] { return model.rowCount(s.row(0)) == 1 && !s.busy(); }, 30000));
    ASSERT_TRUE(s.picker->windowGoogleDriveFolderList->isVisible());

    // The root opened, then the album, with the arrow key.
    CustomOutlineView& outline = *s.picker->outlineGDFolderList;
    QTest::mouseClick(outline.viewport(), Qt::LeftButton, {}, outline.visualRect(s.row(0)).center());
    QTest::keyClick(&outline, Qt::Key_Right);
    const QModelIndex album = s.row(0, s.row(0));
    QTest::mouseClick(outline.viewport(), Qt::LeftButton, {}, outline.visualRect(album).center());
    QTest::keyClick(&outline, Qt::Key_Right);
    ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }, 30000));
    ASSERT_TRUE(s.busy());
    const size_t shown = s.presenter->shown.size();

    QTest::mouseClick(s.picker->btnCancelGDrive, Qt::LeftButton);
    const size_t asked = server.requestLog.size();
    server.releaseHeld();
    EXPECT_FALSE(waitUntil([&] { return server.requestLog.size() > asked; }, 2000))
        << qPrintable(server.requestLog.back().path);
    EXPECT_FALSE(s.picker->windowGoogleDriveFolderList->isVisible());
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.presenter->shown.size(), shown);
}

// A folder whose listing fails (the service never answered before the
// request's deadline, or answered with an error) is told by its name, and
// keeps its arrow: opened again, it is listed again. Its sub-folders' listing
// answered later still hangs them under it.
TEST(CloudFolderPicker, AFolderWhoseListingNeverAnsweredIsToldAndCanBeOpenedAgain)
{
    PickerScreen s;
    s.picker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->asked.size(), 1u);
    const CloudScanFoldersListPtr silent = folder(QStringLiteral("/Silent\nfolder"));
    s.answer(0, { {}, { silent }, false });
    CloudFolderTreeModel& model = s.picker->model();
    CustomOutlineView& outline = *s.picker->outlineGDFolderList;

    QTest::mouseClick(outline.viewport(), Qt::LeftButton, {}, outline.visualRect(s.row(0)).center());
    QTest::keyClick(&outline, Qt::Key_Right);
    const QModelIndex row = model.indexOf(silent.get());
    QTest::mouseClick(outline.viewport(), Qt::LeftButton, {}, outline.visualRect(row).center());
    QTest::keyClick(&outline, Qt::Key_Right);
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->asked.size(), 2u);
    EXPECT_TRUE(s.busy());
    s.answer(1, { {}, {}, true });
    QCoreApplication::processEvents();
    EXPECT_FALSE(s.busy());
    ASSERT_EQ(s.presenter->messages(), QStringList { localizedText("ID_CLOUD_PICKER_FOLDER_NOT_LISTED") });
    EXPECT_EQ(s.presenter->shown.front().informativeText,
        formatText(localizedText("ID_CLOUD_PICKER_FOLDER_NOT_LISTED_DETAILS"), { QStringLiteral("Silent\\nfolder") }));
    EXPECT_TRUE(model.hasChildren(model.indexOf(silent.get())));
    EXPECT_FALSE(outline.isExpanded(model.indexOf(silent.get())));

    // Opened again, it is asked for again; this time it answers.
    QTest::mouseClick(outline.viewport(), Qt::LeftButton, {}, outline.visualRect(model.indexOf(silent.get())).center());
    QTest::keyClick(&outline, Qt::Key_Right);
    ASSERT_EQ(s.handler->asked.size(), 3u);
    s.answer(2, { {}, { folder(QStringLiteral("/Silent\nfolder/Inside")) }, false });
    EXPECT_EQ(model.rowCount(model.indexOf(silent.get())), 1);
    EXPECT_EQ(s.presenter->shown.size(), 1u);
}

TEST(CloudFolderPicker, AListingEndedByAPageHandedOutAgainIsTold)
{
    PickerScreen s;
    s.picker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->asked.size(), 1u);
    s.answer(0, { {}, { folder(QStringLiteral("/Trips")) }, false });
    EXPECT_TRUE(s.presenter->shown.empty());

    // Listing /Trips, the service hands out the same next page twice: the
    // listing ends with what it had, and the user hears of it once.
    s.picker->outlineGDFolderList->expand(s.row(0, s.row(0)));
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->guards.size(), 2u);
    ListingGuard& guard = *s.handler->guards[1];
    EXPECT_TRUE(guard.admitPage(QStringLiteral("/Trips"), QStringLiteral("again")));
    EXPECT_FALSE(guard.admitPage(QStringLiteral("/Trips"), QStringLiteral("again")));
    s.answer(1, { {}, {}, true });
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.presenter->messages(), QStringList { localizedText("ID_CLOUD_PICKER_LISTING_CUT_SHORT") });
}

TEST(CloudFolderPicker, AFolderTooLargeToListWholeIsToldWithTheEntriesListed)
{
    PickerScreen s;
    s.picker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->asked.size(), 1u);
    s.answer(0, { {}, { folder(QStringLiteral("/Camera Uploads")) }, false });

    // Listing the folder, its entries come to hold more than a folder's
    // listing may (the bound shrunk to stay short): the user hears that it is
    // too large and how far its listing came, not that a page came again.
    s.handler->listingLimits.folderBytes = 1 << 20;
    s.picker->outlineGDFolderList->expand(s.row(0, s.row(0)));
    QCoreApplication::processEvents();
    ASSERT_EQ(s.handler->guards.size(), 2u);
    ListingGuard& guard = *s.handler->guards[1];
    ListingTally tally;
    int entries = 0;
    for (bool more = true; more; entries += 1000) {
        tally.beginPage(1000);
        for (int i = 0; i < 1000; ++i)
            tally.take(QStringLiteral("file:id:%1").arg(entries + i, 22, 10, QLatin1Char('0')));
        more = guard.admitTaken(QStringLiteral("/Camera Uploads"), tally, true);
    }
    s.answer(1, { {}, {}, true });
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.presenter->messages(), QStringList { localizedText("ID_CLOUD_FOLDER_TOO_LARGE") });
    EXPECT_EQ(s.presenter->shown.back().informativeText,
        formatText(localizedText("ID_CLOUD_PICKER_FOLDER_TOO_LARGE_DETAILS"),
            { "/Camera Uploads", QLocale().toString(entries) }));
}

// The root of a Dropbox on the fake service that no listing lists whole: a
// few pages of files, then folders far past every bound. Each bound, shrunk
// to be met within a few pages, ends the picker's listing of it; the user
// reads that the folder is too large, which bound it met (how many entries
// or pages a listing takes at most, or what it can keep in memory), and how
// many of its entries were really listed, written as numbers are written for
// the user; and sees the folders among them.
TEST(CloudFolderPicker, AFolderListedUpToABoundIsToldWithTheBoundMetAndTheEntriesReallyListed)
{
    struct Bound {
        const char* name;
        std::function<void(ListingLimits&)> shrink;
        // The page that meets the bound is refused, not taken.
        bool lastPageRefused;
        // The details told, and the most the bound allows (none for memory).
        const char* details;
        std::optional<qint64> most;
    };
    const Bound bounds[] = {
        { "entries", [](ListingLimits& limits) { limits.entries = 5000; }, true,
            "ID_CLOUD_PICKER_FOLDER_TOO_MANY_ENTRIES_DETAILS", 5000 },
        { "pages", [](ListingLimits& limits) { limits.pages = 5; }, false,
            "ID_CLOUD_PICKER_FOLDER_TOO_MANY_PAGES_DETAILS", 5 },
        { "a folder's memory", [](ListingLimits& limits) { limits.folderBytes = 1 << 20; }, false,
            "ID_CLOUD_PICKER_FOLDER_TOO_LARGE_DETAILS", std::nullopt },
        { "the listing's memory",
            [](ListingLimits& limits) {
                limits.folderBytes = 64 << 20;
                limits.listingBytes = 1 << 20;
            },
            false, "ID_CLOUD_PICKER_FOLDER_TOO_LARGE_DETAILS", std::nullopt },
    };
    // A locale that groups thousands, as most users' do.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
    OAuthCloudHandler::setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
    for (const Bound& bound : bounds) {
        SCOPED_TRACE(bound.name);
        FakeHttpServer server;
        ASSERT_TRUE(server.listen());
        server.enableOAuth(QStringLiteral("client"));
        const FlatCloudFolder flat { 2500, 50000000 };
        flat.serveDropbox(server);

        // Choosing Dropbox signs in through the browser, then the picker
        // opens and lists the root.
        PickerScreen s([&](ScanSource) {
            auto dropbox = std::make_unique<DropBoxHandler>(fakeServiceConfig(server, QStringLiteral("dropbox")));
            dropbox->session().setBrowserOpener([&server](const QUrl& url) {
                server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
            });
            bound.shrink(dropbox->listingLimits);
            return dropbox;
        });
        ASSERT_TRUE(waitUntil([&] { return !s.presenter->shown.empty(); }, 30000));
        QCoreApplication::processEvents();
        EXPECT_TRUE(s.picker->windowGoogleDriveFolderList->isVisible());
        EXPECT_FALSE(s.busy());

        const int pages = server.requestCount("POST", QStringLiteral("/api/2/files/list_folder"))
            + server.requestCount("POST", QStringLiteral("/api/2/files/list_folder/continue"));
        const int listed = (bound.lastPageRefused ? pages - 1 : pages) * FlatCloudFolder::pageSize;
        EXPECT_GT(listed, flat.files);
        EXPECT_EQ(s.presenter->messages(), QStringList { localizedText("ID_CLOUD_FOLDER_TOO_LARGE") });
        const QString count = QLocale().toString(listed);
        EXPECT_TRUE(count.contains(QLatin1Char(','))) << count.toStdString();
        EXPECT_EQ(s.presenter->shown.back().informativeText,
            bound.most ? formatText(localizedText(bound.details), { "DropBox", QLocale().toString(*bound.most), count })
                       : formatText(localizedText(bound.details), { "DropBox", count }));
        EXPECT_EQ(s.picker->model().rowCount(s.row(0)), listed - flat.files);
    }
}

TEST(CloudFolderPicker, AddsByTabWithItsRefusals)
{
    const QString inScan = localizedText(QStringLiteral("ID_ITEMS_ALREADY_PRESENT_IN_SCAN_LIST"));
    const QString excluded = localizedText(QStringLiteral("ID_ITEMS_ALREADY_EXCLUDED_FROM_SCANNING"));
    const QString holdsScan = localizedText(QStringLiteral("ID_EITHER_ITEM_OR_CONTENT_PRESENT_IN_SCAN_LIST"));
    struct Case {
        const char* name;
        ScanSource source;
        int tab;
        const char* picked;
        QString alert; // empty: added
    };
    // The scan list holds /Trips/May; /Archive is excluded.
    const Case cases[] = {
        { "same path in another case", ScanSource::googleDrive, 1, "/trips/may", {} },
        { "scan folder on Include", ScanSource::dropbox, 1, "/Trips/May", inScan },
        { "scan folder on Exclude", ScanSource::dropbox, 2, "/Trips/May", inScan },
        { "folder holding a scan folder", ScanSource::dropbox, 2, "/trips", holdsScan },
        { "a name prefix only", ScanSource::dropbox, 2, "/Trips/Ma", {} },
        { "the same on the Drive", ScanSource::googleDrive, 2, "/Trips", {} },
        { "sub-folder on Include", ScanSource::dropbox, 1, "/Trips/May/Beach", {} },
        { "parent on Include", ScanSource::dropbox, 1, "/Trips", {} },
        { "excluded on Include", ScanSource::dropbox, 1, "/Archive/2019", excluded },
        { "the root", ScanSource::dropbox, 1, "DropBox", {} },
        { "the root on Exclude", ScanSource::dropbox, 2, "DropBox", holdsScan },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PickerScreen s;
        selectedScanSource() = c.source;
        LocationLists& lists = s.screen->lists();
        lists.addPathToScanList(QStringLiteral("/Trips/May"), nullptr, folder(QStringLiteral("/Trips/May")));
        auto archive = std::make_shared<FilePathNode>();
        archive->filePath = QStringLiteral("/Archive");
        archive->cloudFolder = folder(*archive->filePath);
        archive->state = 1;
        lists.sources.edit(c.source, SourceList::exclude, [&](auto& rows) { rows.push_back(archive); });
        s.screen->tabChanged(c.tab);
        const size_t before = lists.scanListForSource().size() + lists.excludeListForSource().size();

        CloudFolderAdder adder(lists);
        PickedCloudFolder picked;
        if (c.source == ScanSource::googleDrive) {
            picked.drive = std::make_shared<GDFoldersList>();
            picked.drive->folderAbsPath = QString::fromLatin1(c.picked);
        } else {
            picked.cloud = QLatin1String(c.picked) == QLatin1String("DropBox") ? s.handler->makeRootFolderNode()
                                                                               : folder(QString::fromLatin1(c.picked));
        }
        const AddOutcome outcome = adder.addToTab(s.screen->activeTab(), picked);
        const size_t after = lists.scanListForSource().size() + lists.excludeListForSource().size();
        if (c.alert.isEmpty()) {
            EXPECT_TRUE(outcome.alerts.empty());
            EXPECT_EQ(after, before + 1);
            // Every added row has the path the lists know the folder by.
            const FilePathNodePtr& row
                = c.tab == 1 ? lists.scanListForSource().back() : lists.excludeListForSource().back();
            EXPECT_EQ(row->filePath, picked.path());
        } else {
            ASSERT_EQ(outcome.alerts.size(), 1u);
            EXPECT_EQ(localizedText(outcome.alerts[0].informative), c.alert);
            EXPECT_EQ(after, before);
        }
    }
}

TEST(CloudFolderPicker, BrowsingForTheAssistantLeavesTheListsAlone)
{
    PickerScreen s;
    QString browsed;
    s.picker->browseFolder(ScanSource::dropbox, [&](const QString& path) { browsed = path; });
    s.answer(0, { {}, { folder(QStringLiteral("/Family")) }, false });
    s.picker->outlineGDFolderList->setCurrentIndex(s.row(0, s.row(0)));
    s.screen->tabChanged(2);
    s.picker->btnAddFolderGDriveTapped();
    EXPECT_EQ(browsed, QStringLiteral("/Family"));
    EXPECT_EQ(s.screen->activeTab(), HomeTab::include);
    EXPECT_TRUE(s.screen->lists().scanListForSource().empty());
    EXPECT_TRUE(s.screen->lists().excludeListForSource().empty());

    // The assistant's Add then protects that folder once.
    s.picker->addChosenFolder(ScanSource::dropbox, QStringLiteral("/Family"), false);
    s.picker->addChosenFolder(ScanSource::dropbox, QStringLiteral("/Family"), false);
    // Nor any path it was not handed.
    s.picker->addChosenFolder(ScanSource::dropbox, QStringLiteral("/Other"), false);
    ASSERT_EQ(s.lists->protectList(ScanSource::dropbox).size(), 1u);
    ASSERT_EQ(s.presenter->shown.size(), 1u);
    EXPECT_EQ(s.presenter->shown[0].informativeText,
        localizedText(QStringLiteral("ID_ITEMS_ALREADY_PRESENT_IN_PROTECTION_LIST")));
}

// The assistant's Add protects the folder the assistant shows: a later
// Browse in which another folder was highlighted and then cancelled changes
// nothing.
TEST(CloudFolderPicker, TheAssistantProtectsTheFolderItShowsNotTheOneLastHighlighted)
{
    PickerScreen s;
    ResultsState state { std::shared_ptr<ScanSources>(s.lists.get(), [](ScanSources*) {}) };
    QWidget results;
    AutoMarkSheetWindows sheets { &results };
    AutoMarking marking { state, s.defaults, sheets };
    SelectAssistanceController assistant { state, *s.lists, s.defaults, marking, &results };
    assistant.setCloudFolders(s.picker);
    assistant.openSheet();
    assistant.segmentClicked(SelectAssistanceController::Tab::protectedFolders);

    assistant.btnBrowsePath->click();
    s.answer(0, { {}, { folder(QStringLiteral("/Family")), folder(QStringLiteral("/Trips")) }, false });
    s.picker->outlineGDFolderList->setCurrentIndex(s.row(0, s.row(0)));
    s.picker->btnAddFolderGDrive->click();
    ASSERT_EQ(assistant.lblBrowsedPath->text(), QStringLiteral("/Family"));

    assistant.btnBrowsePath->click();
    ASSERT_TRUE(s.picker->windowGoogleDriveFolderList->isVisible());
    s.picker->outlineGDFolderList->setCurrentIndex(s.row(1, s.row(0)));
    s.picker->btnCancelGDrive->click();
    EXPECT_EQ(assistant.lblBrowsedPath->text(), QStringLiteral("/Family"));
    ASSERT_TRUE(assistant.btnAddPath->isEnabled());

    assistant.btnAddPath->click();
    const std::vector<FilePathNodePtr>& protectedRows = s.lists->protectList(ScanSource::dropbox);
    ASSERT_EQ(protectedRows.size(), 1u);
    EXPECT_EQ(protectedRows.front()->filePath, QStringLiteral("/Family"));
    EXPECT_TRUE(s.presenter->shown.empty());
}

namespace {

// Signs the chosen source out, runs what asks for the picker, then lets the
// user allow the sign-in on the sheet and the service answer it.
void signInBetween(PickerScreen& s, const std::function<void()>& ask)
{
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
    s.handler->isAuthenticateForScan = false;
    ask();
    CloudSignInSheet& sheet = s.sources->signInSheet();
    ASSERT_TRUE(sheet.isShown());
    EXPECT_FALSE(s.picker->windowGoogleDriveFolderList->isVisible());
    sheet.btnAllowPermission->click();
    s.handler->isAuthenticateForScan = true;
    s.handler->delegate->onAccessPermissionStatus(true);
    QCoreApplication::processEvents();
}

} // namespace

TEST(CloudFolderPicker, AfterASignInThePickerServesTheTabThatAskedForIt)
{
    PickerScreen s;
    s.screen->tabChanged(2);
    signInBetween(s, [&] { s.screen->findChild<QAbstractButton*>(QStringLiteral("btnAddPath"))->click(); });
    EXPECT_EQ(s.picker->lblFolderListHeading->text(), localizedText(QStringLiteral("ID_EXCLUDE_TO_SCAN")));
    s.answer(0, { {}, { folder(QStringLiteral("/Archive")) }, false });
    s.picker->outlineGDFolderList->setCurrentIndex(s.row(0, s.row(0)));
    s.picker->btnAddFolderGDrive->click();

    const std::vector<FilePathNodePtr>& excluded = s.lists->excludeList(ScanSource::dropbox);
    ASSERT_EQ(excluded.size(), 1u);
    EXPECT_EQ(excluded.front()->filePath, QStringLiteral("/Archive"));
    EXPECT_TRUE(s.lists->scanList(ScanSource::dropbox).empty());
    // The home screen's open Exclude table shows it.
    EXPECT_EQ(s.screen->pathModel().rowCount(), 1);
}

TEST(CloudFolderPicker, ABrowseThatNeedsASignInHandsTheFolderToTheAssistantOnly)
{
    PickerScreen s;
    QStringList browsed;
    signInBetween(s, [&] {
        s.picker->browseFolder(ScanSource::dropbox, [&](const QString& path) { browsed << path; });
        // Asked for by the assistant, the sheet offers no switch of source.
        EXPECT_TRUE(s.sources->signInSheet().btnScanComputer->isHidden());
    });
    EXPECT_EQ(s.picker->lblFolderListHeading->text(), localizedText(QStringLiteral("ID_PROTECT_FOLDER")));
    s.answer(0, { {}, { folder(QStringLiteral("/Family")) }, false });
    s.picker->outlineGDFolderList->setCurrentIndex(s.row(0, s.row(0)));
    s.picker->btnAddFolderGDrive->click();

    EXPECT_EQ(browsed, QStringList { QStringLiteral("/Family") });
    for (SourceList which : { SourceList::scan, SourceList::exclude, SourceList::protect })
        EXPECT_TRUE(s.lists->list(ScanSource::dropbox, which).empty());
}

TEST(CloudFolderPicker, TheFirstDriveOpeningOfflineSaysSoAndShowsNoRowsUntilRefresh)
{
    PickerScreen s;
    auto* popUp = s.screen->findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    emit popUp->activated(popUp->findData(scanSourceTag(ScanSource::googleDrive)));
    ASSERT_EQ(selectedScanSource().load(), ScanSource::googleDrive);
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(false));
    s.presenter->shown.clear();

    s.screen->findChild<QAbstractButton*>(QStringLiteral("btnAddPath"))->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(s.presenter->messages(), QStringList { localizedText(QStringLiteral("ID_INTERNET_NOT_AVILABLE")) });
    EXPECT_TRUE(s.picker->windowGoogleDriveFolderList->isVisible());
    EXPECT_EQ(s.picker->model().rowCount(), 0);
    EXPECT_TRUE(s.handler->asked.empty());
    EXPECT_FALSE(s.busy());

    // Back online, Refresh builds the tree from "My Drive".
    setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
    s.picker->btnRefreshGDriveFolderList->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(s.picker->model().rowCount(), 1);
    EXPECT_EQ(s.handler->asked.size(), 1u);
}
