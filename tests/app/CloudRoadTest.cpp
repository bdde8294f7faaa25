// The whole Google Drive road through the real screens, offscreen, against a
// fake Google (discovery, sign-in, Drive): choose the source, sign in, pick a
// folder and one inside it, Scan Now, see the fake's duplicates, Remove one to
// the Drive trash (after signing in again).
#include "app/AppComposition.h"
#include "app/CloudRoadParts.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "cleanup/CleanupController.h"
#include "cloud/CloudFolderPicker.h"
#include "cloud/CloudSignInSheet.h"
#include "cloud/CloudSourceController.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/OAuthSession.h"
#include "cloud/OneDriveHandler.h"
#include "cloud/SecretStore.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "home/MainViewController.h"
#include "marking/SelectAssistanceController.h"
#include "platform/ReachabilityTest.h"
#include "results/ResultViewController.h"
#include "scan/ScanScreen.h"
#include "scan/ScanSources.h"
#include "support/FakeGoogle.h"
#include "support/FakeServiceConfig.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"
#include "support/UserClicks.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QMessageBox>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

namespace {

// The program's handlers with Google Drive's only, of the fake service, and a
// browser that follows its redirect back into the handler.
CloudSourceController::HandlerFactory driveHandlers(
    const CloudServiceConfig& config, MemorySecretStore& secrets, FakeHttpServer& server)
{
    return [&config, &secrets, &server](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        if (source != ScanSource::googleDrive)
            return nullptr;
        auto handler = std::make_unique<GoogleDriveHandler>(config, &secrets);
        handler->setBrowserOpener([&server, drive = handler.get()](const QUrl& url) {
            server.browse(url, [drive](const QUrl& redirect) { drive->resumeSignIn(redirect); });
        });
        return handler;
    };
}

// The program's handlers with OneDrive's only, of the fake service, and a
// browser that follows its redirect back into the handler.
CloudSourceController::HandlerFactory oneDriveHandlers(const CloudServiceConfig& config, FakeHttpServer& server)
{
    return [&config, &server](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        if (source != ScanSource::oneDrive)
            return nullptr;
        auto handler = std::make_unique<OneDriveHandler>(config);
        handler->session().setBrowserOpener([&server, oneDrive = handler.get()](const QUrl& url) {
            server.browse(url, [oneDrive](const QUrl& redirect) { oneDrive->handleRedirect(redirect); });
        });
        return handler;
    };
}

// Writes the cloud services' configuration file with services' entries.
bool writeCloudConfig(const QJsonObject& services)
{
    QFile config(CloudConfig::configFile());
    return QDir().mkpath(QFileInfo(config).path()) && config.open(QIODevice::WriteOnly)
        && config.write(QJsonDocument(services).toJson()) > 0;
}

} // namespace

TEST_F(CloudRoad, ChooseDriveSignInPickScanAndRemoveToTheDriveTrash)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    auto alerts = std::make_shared<Alerts>();
    setAlertPresenter(alerts);
    setNetworkReachabilityProbe(std::make_shared<Online>());

    // My Drive holds A (holding B with f.jpg), copy.jpg with f.jpg's checksum
    // and a file of its own.
    FakeGoogle google;
    ASSERT_TRUE(google.start());
    const auto item = [](const char* id, const char* name, const char* md5 = "folder") {
        return FakeGoogle::item(QLatin1String(id), QLatin1String(name), QLatin1String(md5), 200000);
    };
    google.tree = { { QStringLiteral("root"),
                        { { item("a", "A"), item("c1", "copy.jpg", "m1"), item("t", "top.jpg", "m0") } } },
        { QStringLiteral("a"), { { item("b", "B") } } }, { QStringLiteral("b"), { { item("f", "f.jpg", "m1") } } } };
    FakeHttpServer& server = google.server;
    std::optional<QJsonObject> trashed;
    server.route("PATCH", QStringLiteral("/api/files/c1"), [&](const FakeHttpRequest& request) {
        trashed = request.json();
        return FakeHttpResponse::json(200, {});
    });

    // The program as main() builds it, with the Drive handler of the fake
    // service and a browser that follows its redirect back into the handler.
    MemorySecretStore secrets;
    const CloudServiceConfig config = CloudConfig::fromJson(QStringLiteral("google"), google.config());
    AppComposition program(defaults, driveHandlers(config, secrets, server));
    program.launch();
    setAlertPresenter(alerts);
    MainViewController* homeScreen = &program.home();
    ResultViewController* results = &program.results();
    CloudSourceController* sources = &program.cloudSources();
    CloudFolderPicker* picker = &program.cloudPicker();
    homeScreen->engine().setEndOfScanPauses(0, 0);

    // Choosing Google Drive signs in under the wait sheet, then the picker opens.
    auto* popUp = homeScreen->findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    const int driveItemIndex = popUp->findData(scanSourceTag(ScanSource::googleDrive));
    popUp->setCurrentIndex(driveItemIndex);
    emit popUp->activated(driveItemIndex);
    EXPECT_TRUE(sources->signInSheet().isWaiting());
    ASSERT_TRUE(waitUntil([&] { return picker->windowGoogleDriveFolderList->isVisible(); }));
    EXPECT_FALSE(sources->signInSheet().isShown());
    EXPECT_EQ(secrets.items.keys(), QStringList { QStringLiteral("Authorization1") });

    // My Drive, listed by the picker, goes into the scan list.
    CloudFolderTreeModel& tree = picker->model();
    ASSERT_TRUE(waitUntil([&] { return tree.rowCount(tree.index(0, 0)) == 1; }));
    picker->outlineGDFolderList->setCurrentIndex(tree.index(0, 0));
    click(picker->btnAddFolderGDrive);
    EXPECT_FALSE(picker->windowGoogleDriveFolderList->isVisible());
    ASSERT_EQ(homeScreen->lists().scanListForSource().size(), 1u);

    // B, inside A, goes in too: it is listed once, by its own query.
    click(homeScreen->findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    ASSERT_TRUE(waitUntil([&] { return picker->windowGoogleDriveFolderList->isVisible(); }));
    const QModelIndex folderA = tree.index(0, 0, tree.index(0, 0));
    picker->outlineGDFolderList->expand(folderA);
    ASSERT_TRUE(waitUntil([&] { return tree.rowCount(folderA) == 1; }));
    picker->outlineGDFolderList->setCurrentIndex(tree.index(0, 0, folderA));
    click(picker->btnAddFolderGDrive);
    ASSERT_EQ(homeScreen->lists().scanListForSource().size(), 2u);
    const auto queriesOfB = [&] {
        return std::count_if(server.requestLog.begin(), server.requestLog.end(), [](const FakeHttpRequest& request) {
            return request.path.endsWith(QStringLiteral("/files"))
                && request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded).startsWith("'b'");
        });
    };
    const auto queriesOfBBeforeScan = queriesOfB();

    // Scan Now: the results screen shows the fake's one group.
    click(homeScreen->scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return results->isVisible(); }, 30000));
    click(titled("ID_SELECT_MANUALLY"));
    QAbstractItemModel& list = *results->tblDuplicates()->model();
    const QStringList shown = shownPaths(list);
    ASSERT_EQ(shown.size(), 2) << shown.join(',').toStdString();
    EXPECT_TRUE(
        shown.contains(QStringLiteral("My Drive/A/B/f.jpg")) && shown.contains(QStringLiteral("My Drive/copy.jpg")));
    EXPECT_EQ(queriesOfB() - queriesOfBBeforeScan, 1);

    // Signed out meanwhile, Remove asks for the sign-in and removes nothing;
    // once signed in through the sheet the user is still on the results.
    auto* drive = dynamic_cast<GoogleDriveHandler*>(homeScreen->lists().sources.handler(ScanSource::googleDrive));
    ASSERT_TRUE(drive);
    drive->isAuthenticateForScan = false;
    const QModelIndex copy = list.index(shownPaths(list).indexOf(QStringLiteral("My Drive/copy.jpg")), 0);
    clickCheckBox(*results->tblDuplicates(), copy);
    click(results->findChild<QAbstractButton*>(QStringLiteral("btnTrash")));
    click(titled("ID_TRASH"));
    ASSERT_TRUE(waitUntil([&] { return sources->signInSheet().isShown(); }));
    EXPECT_TRUE(sources->signInSheet().btnScanComputer->isHidden());
    EXPECT_FALSE(results->cleanup().isRemoving());
    click(sources->signInSheet().btnAllowPermission);
    ASSERT_TRUE(waitUntil([&] { return drive->isAuthenticateForScan && !sources->signInSheet().isShown(); }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(trashed.has_value());
    EXPECT_FALSE(picker->windowGoogleDriveFolderList->isVisible());
    EXPECT_TRUE(results->isVisible());
    clickCheckBox(*results->tblDuplicates(), copy);

    // Mark the copy and Remove it: it goes to the Drive trash, f.jpg stays.
    ASSERT_NO_FATAL_FAILURE(
        markAndRemove(*results, QStringLiteral("My Drive/copy.jpg"), [&] { return trashed.has_value(); }));
    EXPECT_EQ(trashed->value(QStringLiteral("trashed")).toBool(), true);
    EXPECT_EQ(server.requestCount("PATCH", QStringLiteral("/api/files/f")), 0);
    EXPECT_TRUE(alerts->texts.isEmpty()) << alerts->texts.join(',').toStdString();
}

// Undo of a cloud clean-up reaches the service: a removed Dropbox file comes
// back as the service's copy of the kept file, and the group shows again.
TEST_F(CloudRoad, UndoOfADropboxRemovalCopiesTheKeptFileBack)
{
    ServiceRoad road;
    ASSERT_TRUE(road.start());
    UserDefaults& defaults = road.defaults;
    const std::shared_ptr<Alerts> alerts = road.alerts;
    FakeHttpServer& server = road.server;
    server.route("POST", QStringLiteral("/api/2/files/list_folder"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"), QJsonArray { dropboxFile("/a.jpg"), dropboxFile("/copy.jpg") } },
                { QStringLiteral("cursor"), QString() }, { QStringLiteral("has_more"), false } });
    });
    std::optional<QJsonObject> deleted;
    server.route("POST", QStringLiteral("/api/2/files/delete_v2"), [&](const FakeHttpRequest& request) {
        deleted = request.json();
        return FakeHttpResponse::json(200, {});
    });
    std::optional<QJsonObject> copied;
    server.route("POST", QStringLiteral("/api/2/files/copy_v2"), [&](const FakeHttpRequest& request) {
        copied = request.json();
        return FakeHttpResponse::json(200, { { QStringLiteral("metadata"), dropboxFile("/copy.jpg") } });
    });
    const CloudServiceConfig config = fakeServiceConfig(server, QStringLiteral("dropbox"));

    AppComposition program(defaults, [&](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        if (source != ScanSource::dropbox)
            return nullptr;
        auto handler = std::make_unique<DropBoxHandler>(config);
        handler->session().setBrowserOpener([&server](const QUrl& url) {
            server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
        });
        return handler;
    });
    program.launch();
    setAlertPresenter(alerts);
    MainViewController* homeScreen = &program.home();
    ResultViewController* results = &program.results();
    CloudFolderPicker* picker = &program.cloudPicker();
    homeScreen->engine().setEndOfScanPauses(0, 0);

    ASSERT_NO_FATAL_FAILURE(chooseSourceAndAddItsRoot(*homeScreen, *picker, ScanSource::dropbox));

    click(homeScreen->scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return results->isVisible(); }, 30000));
    click(titled("ID_SELECT_MANUALLY"));
    QAbstractItemModel& list = *results->tblDuplicates()->model();
    const QStringList shown = shownPaths(list);
    ASSERT_EQ(shown.size(), 2) << shown.join(',').toStdString();

    // Remove the copy: it goes at the service, and the next scan lists the
    // source's folders again.
    ASSERT_NO_FATAL_FAILURE(
        markAndRemove(*results, QStringLiteral("Dropbox/copy.jpg"), [&] { return deleted.has_value(); }));
    EXPECT_EQ(deleted->value(QStringLiteral("path")).toString(), QStringLiteral("/copy.jpg"));
    EXPECT_TRUE(homeScreen->lists().sources.handler(ScanSource::dropbox)->isFileDeletedFromCloud);

    // Undo: the kept file is copied to the removed one's path and the group
    // shows again.
    click(results->findChild<QAbstractButton*>(QStringLiteral("btnUndo")));
    click(titled("ID_YES"));
    ASSERT_TRUE(waitUntil([&] { return copied.has_value(); }, 30000));
    EXPECT_EQ(copied->value(QStringLiteral("from_path")).toString(), QStringLiteral("/a.jpg"));
    EXPECT_EQ(copied->value(QStringLiteral("to_path")).toString(), QStringLiteral("/copy.jpg"));
    ASSERT_TRUE(waitUntil([&] { return results->cleanup().lastUndoReport().restored == 1; }, 30000));
    EXPECT_TRUE(results->cleanup().lastUndoReport().failed.empty());
    EXPECT_TRUE(waitUntil([&] { return list.rowCount() == 2; }));
    EXPECT_TRUE(alerts->texts.isEmpty()) << alerts->texts.join(',').toStdString();
}

// OneDrive puts nothing back: a file removed there is in its recycle bin, as
// the after-clean window says, and Undo, which could not bring it back, is
// not offered on its results, nor does it keep the file for later results.
TEST_F(CloudRoad, AOneDriveRemovalOffersNoUndo)
{
    ServiceRoad road;
    ASSERT_TRUE(road.start());
    FakeHttpServer& server = road.server;
    const auto file = [](const char* id, const char* name) {
        return QJsonObject { { QStringLiteral("id"), QString::fromLatin1(id) },
            { QStringLiteral("name"), QString::fromLatin1(name) }, { QStringLiteral("size"), 200000 },
            { QStringLiteral("file"),
                QJsonObject { { QStringLiteral("hashes"),
                    QJsonObject { { QStringLiteral("sha256Hash"), QStringLiteral("A3") } } } } } };
    };
    server.route("GET", QStringLiteral("/api/v1.0/me/drive/root/children"), [&](const FakeHttpRequest&) {
        return FakeHttpResponse::json(
            200, { { QStringLiteral("value"), QJsonArray { file("A1", "a.jpg"), file("A2", "copy.jpg") } } });
    });
    bool deleted = false;
    server.route("DELETE", QStringLiteral("/api/v1.0/me/drive/items/A2"), [&](const FakeHttpRequest&) {
        deleted = true;
        FakeHttpResponse done;
        done.status = 204;
        return done;
    });
    const CloudServiceConfig config = fakeServiceConfig(server, QStringLiteral("onedrive"));
    AppComposition program(road.defaults, oneDriveHandlers(config, server));
    program.launch();
    setAlertPresenter(road.alerts);
    MainViewController* homeScreen = &program.home();
    ResultViewController* results = &program.results();
    homeScreen->engine().setEndOfScanPauses(0, 0);
    ASSERT_NO_FATAL_FAILURE(chooseSourceAndAddItsRoot(*homeScreen, program.cloudPicker(), ScanSource::oneDrive));

    click(homeScreen->scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return results->isVisible(); }, 30000)) << road.alerts->texts.join(',').toStdString();
    click(titled("ID_SELECT_MANUALLY"));
    auto* undo = results->findChild<QAbstractButton*>(QStringLiteral("btnUndo"));
    EXPECT_FALSE(undo->isEnabled());
    const QStringList shown = shownPaths(*results->tblDuplicates()->model());
    ASSERT_EQ(shown.size(), 2) << shown.join(',').toStdString();
    const QString copy = shown.filter(QStringLiteral("copy.jpg")).value(0);
    ASSERT_NO_FATAL_FAILURE(markAndRemove(*results, copy, [&] { return deleted; }));
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(results->cleanup().arrNodesToBeRestoredLocal().empty());
}

namespace {

// The program as main() builds it (its own alert windows), online beside a
// fake Google whose My Drive holds two copies, with Google Drive chosen and
// My Drive added from the picker.
class DriveProgram {
public:
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    FakeGoogle google;
    MemorySecretStore secrets;
    std::optional<CloudServiceConfig> config;
    std::unique_ptr<AppComposition> program;

    void startWithMyDriveChosen()
    {
        startApplicationCore(defaults);
        setNetworkReachabilityProbe(std::make_shared<Online>());
        ASSERT_TRUE(google.start());
        google.tree = { { QStringLiteral("root"),
            { { FakeGoogle::item(QStringLiteral("c1"), QStringLiteral("copy.jpg"), QStringLiteral("m1"), 200000),
                FakeGoogle::item(QStringLiteral("t"), QStringLiteral("top.jpg"), QStringLiteral("m1"), 200000) } } } };
        config = CloudConfig::fromJson(QStringLiteral("google"), google.config());
        program = std::make_unique<AppComposition>(defaults, driveHandlers(*config, secrets, google.server));
        program->launch();
        homeScreen().engine().setEndOfScanPauses(0, 0);
        CloudFolderPicker& picker = program->cloudPicker();
        chooseSource(homeScreen(), ScanSource::googleDrive);
        ASSERT_TRUE(waitUntil([&] { return picker.windowGoogleDriveFolderList->isVisible(); }));
        CloudFolderTreeModel& tree = picker.model();
        ASSERT_TRUE(waitUntil([&] { return tree.rowCount() == 1; }));
        picker.outlineGDFolderList->setCurrentIndex(tree.index(0, 0));
        click(picker.btnAddFolderGDrive);
    }

    MainViewController& homeScreen() { return program->home(); }
};

// Whether a shown alert window says the text of key.
bool alertShows(const char* key)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(top);
        if (box && box->isVisible() && box->text() == localizedText(key))
            return true;
    }
    return false;
}

} // namespace

// A Stop question left open while the scan ends is closed, as No would close
// it: it never stands over the results, nor comes back once the scan-complete
// sheet has gone, and the scan's groups are all shown.
TEST_F(CloudRoad, AStopQuestionOpenWhenTheScanEndsIsClosedWithIt)
{
    DriveProgram drive;
    ASSERT_NO_FATAL_FAILURE(drive.startWithMyDriveChosen());
    FakeGoogle& google = drive.google;
    MainViewController& homeScreen = drive.homeScreen();

    // The listing is held while Stop is asked about.
    google.holdFor = QStringLiteral("root");
    click(homeScreen.scanNowButton());
    // The picker may still be listing the same folder: its answer is held too.
    ASSERT_TRUE(waitUntil([&] { return google.server.heldCount() >= 1; }));
    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAbortScanning")));
    const auto stopQuestion = [] { return alertShows("ID_DO_YOU_REALLY_WANT_STOP_SCANNING"); };
    ASSERT_TRUE(waitUntil(stopQuestion));

    google.server.releaseHeld();
    ResultViewController& results = drive.program->results();
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    EXPECT_FALSE(stopQuestion());
    click(titled("ID_SELECT_MANUALLY"));
    QTest::qWait(200);
    EXPECT_FALSE(stopQuestion());
    EXPECT_FALSE(isAbortScan);
    EXPECT_EQ(results.tblDuplicates()->model()->rowCount(), 2);
}

// Stop, answered Yes while the Drive keeps its answer back: the scan ends at
// once as a stopped scan, the query on its way is given up (its connection
// closed, its answer never waited for), and the answer the service sends
// later changes nothing.
TEST_F(CloudRoad, AStopOfADriveScanEndsItWithoutWaitingForTheService)
{
    DriveProgram drive;
    ASSERT_NO_FATAL_FAILURE(drive.startWithMyDriveChosen());
    FakeHttpServer& server = drive.google.server;
    MainViewController& homeScreen = drive.homeScreen();

    drive.google.holdFor = QStringLiteral("root");
    click(homeScreen.scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return server.heldOpenCount() >= 1; }));
    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAbortScanning")));
    click(titled("ID_YES"));
    auto* back = homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnBackToAddFolder"));
    ASSERT_TRUE(back);
    EXPECT_TRUE(waitUntil([&] { return back->isVisible() && server.heldOpenCount() == 0; }))
        << "requests still waiting: " << server.heldOpenCount();
    EXPECT_GE(server.heldCount(), 1);
    EXPECT_TRUE(waitUntil([] { return alertShows("ID_NO_DUPLICATE_ITEMS_FOUND"); }));

    const size_t asked = server.requestLog.size();
    server.releaseHeld();
    QTest::qWait(100);
    EXPECT_EQ(server.requestLog.size(), asked);
    EXPECT_FALSE(alertShows("ID_CLOUD_LISTING_INCOMPLETE"));
    EXPECT_FALSE(drive.program->results().isVisible());
}

// A source whose client is not set up says so at its choice and again at
// every try to use it: Add on each tab and the assistant's Browse.
TEST_F(CloudRoad, ASourceNotSetUpSaysSoWhereverTheUserActs)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    AppComposition program(defaults, [](ScanSource) { return std::unique_ptr<ScanWrapper>(); });
    program.launch();
    auto alerts = std::make_shared<Alerts>();
    setAlertPresenter(alerts);
    MainViewController& homeScreen = program.home();
    auto* popUp = homeScreen.findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    const int dropboxItem = popUp->findData(scanSourceTag(ScanSource::dropbox));
    popUp->setCurrentIndex(dropboxItem);
    emit popUp->activated(dropboxItem);
    ASSERT_EQ(alerts->texts.size(), 1);
    const QString notSetUp = alerts->texts.front();
    EXPECT_TRUE(notSetUp.contains(QStringLiteral("is not set up"))) << notSetUp.toStdString();

    for (const char* tab : { "btnInclue", "btnExclude", "btnProtected" }) {
        click(homeScreen.findChild<QAbstractButton*>(QString::fromLatin1(tab)));
        click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    }
    ResultViewController& results = program.results();
    homeScreen.showResults(std::make_shared<ScanResult>());
    results.selectionController().openSheet();
    click(results.selectionController().btnProtectedFolderTab);
    click(results.selectionController().btnBrowsePath);
    EXPECT_EQ(alerts->texts, QStringList(5, notSetUp));
    EXPECT_FALSE(program.cloudPicker().windowGoogleDriveFolderList->isVisible());
}

// OneDrive with a client but no usable service address (plain http off this
// machine is refused) says that the address is what is missing, as the other
// services do, not that it has no client id.
TEST_F(CloudRoad, OneDriveWithoutAUsableAddressSaysTheAddressIsMissing)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    const QJsonObject oneDrive { { QStringLiteral("clientId"), QStringLiteral("client") },
        { QStringLiteral("authorizeUrl"), QStringLiteral("https://login.example.com/authorize") },
        { QStringLiteral("tokenUrl"), QStringLiteral("https://login.example.com/token") },
        { QStringLiteral("apiBaseUrl"), QStringLiteral("http://graph.example.com/") } };
    ASSERT_TRUE(writeCloudConfig({ { QStringLiteral("onedrive"), oneDrive } }));
    setNetworkReachabilityProbe(std::make_shared<Online>());

    AppComposition program(defaults);
    program.launch();
    auto alerts = std::make_shared<Alerts>();
    setAlertPresenter(alerts);
    chooseSource(program.home(), ScanSource::oneDrive);
    ASSERT_TRUE(waitUntil([&] { return !alerts->texts.isEmpty(); }));
    const QString said = alerts->texts.front();
    EXPECT_TRUE(said.contains(QStringLiteral("\"apiBaseUrl\""))) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("client id"))) << said.toStdString();
    EXPECT_FALSE(program.cloudPicker().windowGoogleDriveFolderList->isVisible());
}

// A source set up without one of its entries names the entry missing: Google
// with its client and discovery document but no service address, Dropbox
// without its token address, Box without either sign-in address; OneDrive
// without its client id and its token address names both, not only the
// first.
TEST_F(CloudRoad, ASourceWithoutOneOfItsAddressesNamesTheEntryMissing)
{
    TempHome home;
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    const QString client = QStringLiteral("clientId");
    const QJsonObject google { { client, QStringLiteral("c") },
        { QStringLiteral("discoveryUrl"), QStringLiteral("https://accounts.example.com/discovery") } };
    const QJsonObject dropbox { { client, QStringLiteral("c") },
        { QStringLiteral("authorizeUrl"), QStringLiteral("https://www.example.com/oauth2/authorize") },
        { QStringLiteral("apiBaseUrl"), QStringLiteral("https://api.example.com/2/") } };
    const QJsonObject box { { client, QStringLiteral("c") },
        { QStringLiteral("apiBaseUrl"), QStringLiteral("https://api.example.com/2.0/") } };
    const QJsonObject oneDrive { { QStringLiteral("authorizeUrl"), QStringLiteral("https://login.example.com/authorize") },
        { QStringLiteral("apiBaseUrl"), QStringLiteral("https://graph.example.com/") } };
    ASSERT_TRUE(writeCloudConfig({ { QStringLiteral("google"), google }, { QStringLiteral("dropbox"), dropbox },
        { QStringLiteral("box"), box }, { QStringLiteral("onedrive"), oneDrive } }));
    setNetworkReachabilityProbe(std::make_shared<Online>());

    AppComposition program(defaults);
    program.launch();
    auto alerts = std::make_shared<Alerts>();
    setAlertPresenter(alerts);
    const QString clientNamed = QStringLiteral("client id");
    struct Case {
        ScanSource source;
        QStringList named;
        QString notNamed;
    };
    const Case sources[] = {
        { ScanSource::googleDrive, { QStringLiteral("(\"apiBaseUrl\")") }, clientNamed },
        { ScanSource::dropbox, { QStringLiteral("(\"tokenUrl\")") }, clientNamed },
        { ScanSource::box, { QStringLiteral("(\"authorizeUrl\")"), QStringLiteral("(\"tokenUrl\")") }, clientNamed },
        { ScanSource::oneDrive,
            { QStringLiteral("client id (\"clientId\")"), QStringLiteral("token address (\"tokenUrl\")") },
            QStringLiteral("authorizeUrl") },
    };
    for (const auto& [source, named, notNamed] : sources) {
        alerts->texts.clear();
        chooseSource(program.home(), source);
        ASSERT_TRUE(waitUntil([&] { return !alerts->texts.isEmpty(); }));
        const QString said = alerts->texts.front();
        EXPECT_TRUE(said.contains(QStringLiteral("is not set up"))) << said.toStdString();
        for (const QString& entry : named)
            EXPECT_TRUE(said.contains(entry)) << said.toStdString();
        EXPECT_FALSE(said.contains(notNamed)) << said.toStdString();
    }
}

// A Google sign-in declined in the browser shows what the service said of
// it, not only its code; Google Drive stays signed out and no picker opens.
TEST_F(CloudRoad, ADeclinedGoogleSignInShowsTheServicesDescription)
{
    ServiceRoad road;
    ASSERT_TRUE(road.start());
    FakeGoogle google;
    ASSERT_TRUE(google.start());
    MemorySecretStore secrets;
    const CloudServiceConfig config = CloudConfig::fromJson(QStringLiteral("google"), google.config());
    AppComposition program(road.defaults, driveHandlers(config, secrets, google.server));
    program.launch();
    setAlertPresenter(road.alerts);
    google.server.declineNextSignIn = true;
    google.server.declineDescription = QStringLiteral("You did not allow Vellicor to see your files.");

    chooseSource(program.home(), ScanSource::googleDrive);
    ASSERT_TRUE(waitUntil([&] { return !road.alerts->texts.isEmpty(); }, 10000));
    EXPECT_EQ(road.alerts->texts, QStringList { localizedText("ID_AUTHORIZATION_ERROR") });
    EXPECT_EQ(road.alerts->details,
        QStringList { QStringLiteral("You did not allow Vellicor to see your files. (access_denied)") });
    EXPECT_FALSE(program.cloudSources().signInSheet().isShown());
    EXPECT_FALSE(program.cloudPicker().windowGoogleDriveFolderList->isVisible());
    EXPECT_TRUE(secrets.items.isEmpty());
}

// A OneDrive sign-in declined in the browser closes the wait sheet and says
// so, as the other services do; no picker opens.
TEST_F(CloudRoad, ADeclinedOneDriveSignInIsTold)
{
    ServiceRoad road;
    ASSERT_TRUE(road.start());
    FakeHttpServer& server = road.server;
    const CloudServiceConfig config = fakeServiceConfig(server, QStringLiteral("onedrive"));
    AppComposition program(road.defaults, oneDriveHandlers(config, server));
    program.launch();
    setAlertPresenter(road.alerts);
    server.declineNextSignIn = true;

    chooseSource(program.home(), ScanSource::oneDrive);
    ASSERT_TRUE(waitUntil([&] { return !road.alerts->texts.isEmpty(); }, 10000));
    EXPECT_EQ(road.alerts->texts, QStringList { localizedText("ID_AUTHORIZATION_ERROR") });
    EXPECT_FALSE(program.cloudSources().signInSheet().isShown());
    EXPECT_FALSE(program.cloudPicker().windowGoogleDriveFolderList->isVisible());
}

// OneDrive files whose account gives no SHA-256 hash cannot be compared by
// content: the user reads how many were left out and why, after the notice
// that no duplicates were found, instead of that notice alone.
TEST_F(CloudRoad, OneDriveFilesWithoutTheirHashAreCountedAsNotCompared)
{
    ServiceRoad road;
    ASSERT_TRUE(road.start());
    UserDefaults& defaults = road.defaults;
    const std::shared_ptr<Alerts> alerts = road.alerts;
    FakeHttpServer& server = road.server;
    const auto file = [](const char* id, const char* name, const QJsonObject& hashes) {
        return QJsonObject { { QStringLiteral("id"), QString::fromLatin1(id) },
            { QStringLiteral("name"), QString::fromLatin1(name) }, { QStringLiteral("size"), 200000 },
            { QStringLiteral("file"), QJsonObject { { QStringLiteral("hashes"), hashes } } } };
    };
    const QJsonObject otherHashes { { QStringLiteral("sha1Hash"), QStringLiteral("5A") },
        { QStringLiteral("quickXorHash"), QStringLiteral("qx") } };
    server.route("GET", QStringLiteral("/api/v1.0/me/drive/root/children"), [&](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200,
            { { QStringLiteral("value"),
                QJsonArray { file("A1", "a.jpg", otherHashes), file("A2", "copy.jpg", otherHashes),
                    file("A3", "b.jpg", { { QStringLiteral("sha256Hash"), QStringLiteral("B3") } }) } } });
    });
    const CloudServiceConfig config = fakeServiceConfig(server, QStringLiteral("onedrive"));
    AppComposition program(defaults, oneDriveHandlers(config, server));
    program.launch();
    setAlertPresenter(alerts);
    MainViewController* homeScreen = &program.home();
    CloudFolderPicker* picker = &program.cloudPicker();
    homeScreen->engine().setEndOfScanPauses(0, 0);

    ASSERT_NO_FATAL_FAILURE(chooseSourceAndAddItsRoot(*homeScreen, *picker, ScanSource::oneDrive));

    click(homeScreen->scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return alerts->texts.size() >= 2; }, 10000)) << alerts->texts.join(',').toStdString();
    EXPECT_EQ(alerts->texts,
        (QStringList { localizedText("ID_NO_DUPLICATE_ITEMS_FOUND"), QStringLiteral("2 files could not be compared.") }));
    EXPECT_FALSE(program.results().isVisible());
}
