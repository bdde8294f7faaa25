#include "cloud/OneDriveHandler.h"
#include "core/Localization.h"
#include "scan/ScanRequest.h"
#include "support/EndlessAnswers.h"
#include "support/FakeHttpServer.h"
#include "support/FlatCloudFolder.h"
#include "support/RecordingAlerts.h"

#include <QJsonArray>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Recorder : ScanWrapperDelegate {
    int signedIn = 0, dismissed = 0, completions = 0;
    QStringList files;
    void addCloudScanFile(const FileInfoNodePtr& record) override { files << record->filePath.value_or(QString()); }
    void OnScanCompletedProcess() override { ++completions; }
    void onAccessPermissionStatus(bool) override { ++signedIn; }
    void dismissAuthenticationWait() override { ++dismissed; }
};

// Takes every record, whatever this machine's scan settings say.
struct OneDrive : OneDriveHandler {
    using OneDriveHandler::OneDriveHandler;
    bool acceptRecord(FileInfoNode&) const override { return true; }
};

QJsonObject item(const QString& name, bool isFolder)
{
    const QJsonObject hashes { { "hashes", QJsonObject { { "sha256Hash", name + "#" } } } };
    return { { "name", name }, { "id", name }, { isFolder ? "folder" : "file", isFolder ? QJsonObject() : hashes } };
}

FakeHttpResponse page(const QJsonArray& items, const QString& next = {})
{
    QJsonObject object { { "value", items } };
    if (!next.isEmpty())
        object.insert("@odata.nextLink", next);
    return FakeHttpResponse::json(200, object);
}

class OneDriveTest : public ::testing::Test {
protected:
    FakeHttpServer server;
    Recorder delegate;
    std::shared_ptr<RecordingAlerts> presenter = std::make_shared<RecordingAlerts>();
    std::unique_ptr<OneDrive> handler;
    const QString rootPath = QStringLiteral("/graph/v1.0/me/drive/root/children");

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        setAlertPresenter(presenter);
        server.enableOAuth("od");
        handler = std::make_unique<OneDrive>(CloudConfig::fromJson("onedrive",
            { { "clientId", "od" }, { "authorizeUrl", server.url("/authorize").toString() },
                { "tokenUrl", server.url("/token").toString() }, { "apiBaseUrl", server.url("/graph/").toString() } }));
        handler->delegate = &delegate;
        handler->setRedirectBase("http://127.0.0.1:4711");
        handler->session().setBrowserOpener([this](const QUrl& url) {
            server.browse(url, [this](const QUrl& redirect) { handler->handleRedirect(redirect); });
        });
        signIn();
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    void signIn()
    {
        const int outcomes = delegate.signedIn + delegate.dismissed;
        handler->authenticateCloud();
        ASSERT_TRUE(waitUntil([&] { return delegate.signedIn + delegate.dismissed > outcomes; }));
    }
    // A removal on a worker, as the results screen makes it.
    bool remove(const QString& id)
    {
        auto record = std::make_shared<FileInfoNode>();
        record->cloudFields().fileId = id;
        std::atomic<int> result { -1 };
        std::thread worker([&] { result = handler->deleteCloudFile(record); });
        EXPECT_TRUE(waitUntil([&] { return result >= 0; }));
        worker.join();
        return result == 1;
    }
    CloudScanFoldersListPtr scanRoot()
    {
        const int before = delegate.completions;
        CloudScanFoldersListPtr root = handler->makeRootFolderNode();
        ScanRequest request;
        request.filters = makeScanSettingsSnapshot();
        handler->startCloudScan({ root }, request, delegate);
        EXPECT_TRUE(waitUntil([&] { return delegate.completions > before; }));
        EXPECT_EQ(delegate.completions, before + 1);
        return root;
    }
};

} // namespace

TEST_F(OneDriveTest, SignInAsksForTheAccountAndReportsOnceEitherWay)
{
    EXPECT_EQ(delegate.signedIn, 1);
    const QUrlQuery& authorize = server.requestLog.front().query;
    EXPECT_EQ(authorize.queryItemValue("prompt"), "select_account");
    EXPECT_TRUE(authorize.queryItemValue("scope", QUrl::FullyDecoded).contains("offline_access"));
    handler->signOut();
    EXPECT_FALSE(handler->isAuthenticateForScan || handler->session().isSignedIn());
    server.declineNextSignIn = true;
    signIn();
    EXPECT_EQ(delegate.dismissed, 1);
    EXPECT_FALSE(handler->isAuthenticateForScan);
    // Declined in the browser: told, with the service's reason.
    ASSERT_EQ(presenter->messages(), QStringList { localizedText(QStringLiteral("ID_AUTHORIZATION_ERROR")) });
    EXPECT_FALSE(presenter->shown.front().informativeText.isEmpty());

    // The user's own Cancel of the wait is not told.
    handler->session().setBrowserOpener([](const QUrl&) {});
    handler->authenticateCloud();
    handler->cancelAuthentication();
    EXPECT_EQ(delegate.dismissed, 2);
    EXPECT_EQ(presenter->shown.size(), 1u);

    OneDrive bare(CloudServiceConfig {});
    bare.delegate = &delegate;
    bare.authenticateCloud();
    EXPECT_EQ(delegate.dismissed, 3);
    EXPECT_EQ(presenter->shown.size(), 2u);
}

TEST_F(OneDriveTest, PagesSubFoldersOffAndACachedRescan)
{
    server.route("GET", rootPath, [&](auto&) {
        return page({ item("a", false), item("S", true) }, server.url("/graph/n").toString());
    });
    server.route("GET", "/graph/n", [](auto&) { return page({ item("b", false) }); });
    server.route("GET", "/graph/v1.0/me/drive/items/S/children", [](auto&) { return page({ item("c", false) }); });
    handler->makeRootFolderNode()->isIncludeSubFolders = false;
    CloudScanFoldersListPtr root = scanRoot();
    EXPECT_EQ(delegate.files, QStringList({ "One Drive/a", "One Drive/b" }));
    EXPECT_TRUE(root->isAllFilesFetched);
    root->isIncludeSubFolders = true;
    scanRoot();
    const size_t sent = server.requestLog.size();
    scanRoot();
    EXPECT_EQ(server.requestLog.size(), sent);
    EXPECT_EQ(delegate.files.mid(2),
        QStringList({ "One Drive/a", "One Drive/b", "One Drive/S/c" })
            + QStringList({ "One Drive/a", "One Drive/b", "One Drive/S/c" }));
}

// A stopped walk is incomplete too, but no failure: nothing of it is told
// as a folder that could not be listed.
TEST_F(OneDriveTest, FailedPagesAndStopEndTheWalkOnceAndIncomplete)
{
    const struct {
        const char* name;
        FakeHttpResponse answer;
        bool stop;
    } cases[] = {
        { "401", FakeHttpResponse::json(401, {}), false },
        { "500", FakeHttpResponse::json(500, {}), false },
        { "error object", FakeHttpResponse::json(200, { { "error", "itemNotFound" } }), false },
        { "foreign link", page({ item("a", false) }, "http://127.0.0.1:1/graph/n"), false },
        { "stop", page({ item("a", false) }, server.url("/graph/n").toString()), true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        handler->rootFolderObj.reset();
        handler->isAuthenticateForScan = true;
        server.route("GET", rootPath, [&](auto&) { return handler->isAbortScanning = c.stop, c.answer; });
        const size_t shown = presenter->shown.size();
        EXPECT_FALSE(scanRoot()->isAllFilesFetched);
        EXPECT_EQ(handler->lastWalkIncomplete, !c.stop);
        EXPECT_EQ(handler->lastWalkUnanswered, !c.stop);
        EXPECT_EQ(handler->isAuthenticateForScan, c.name != std::string("401"));
        EXPECT_EQ(presenter->shown.size() - shown, c.name == std::string("401") ? 1u : 0u);
        // The one alert of a 401 says what happened and what to do.
        if (c.name == std::string("401") && presenter->shown.size() > shown) {
            EXPECT_EQ(presenter->shown.back().informativeText, localizedText("ID_SIGN_IN_NO_LONGER_ACCEPTED"));
        }
    }
    EXPECT_EQ(server.requestCount("GET", "/graph/n"), 0);
}

TEST_F(OneDriveTest, ANextLinkThatReturnsItselfEndsTheListing)
{
    server.route("GET", "/graph/again",
        [&](auto&) { return page({ item("b", false) }, server.url("/graph/again").toString()); });
    server.route(
        "GET", rootPath, [&](auto&) { return page({ item("a", false) }, server.url("/graph/again").toString()); });
    // In a scan, and in the picker, which is no scan and knows no Stop.
    EXPECT_FALSE(scanRoot()->isAllFilesFetched);
    EXPECT_TRUE(handler->lastWalkIncomplete);
    EXPECT_EQ(delegate.files, QStringList({ "One Drive/a", "One Drive/b" }));
    EXPECT_EQ(server.requestCount("GET", "/graph/again"), 1);

    handler->rootFolderObj.reset();
    const int before = delegate.completions;
    handler->fetchChildFolders(handler->makeRootFolderNode());
    ASSERT_TRUE(waitUntil([&] { return delegate.completions > before; }));
    EXPECT_EQ(server.requestCount("GET", "/graph/again"), 2);
}

TEST(OneDriveRecord, DatesWithOrWithoutFractionsAndAMissingHash)
{
    for (const char* text : { "2024-03-01T10:20:30Z", "2024-03-01T10:20:30.12Z" })
        EXPECT_EQ(OneDriveHandler::parseGraphDate(QString::fromLatin1(text)).value_or(QDateTime()).toSecsSinceEpoch(),
            1709288430);
    EXPECT_FALSE(OneDriveHandler::parseGraphDate("March 1st"));
    const FileInfoNodePtr record = OneDriveHandler::makeOneDriveFileInfoNode(
        { { "name", "x.png" }, { "id", "X" }, { "size", 12 }, { "file", QJsonObject() } }, "One Drive/P");
    EXPECT_FALSE(record->md5);
    EXPECT_EQ(record->folderPath, "One Drive/P");
}

TEST_F(OneDriveTest, ADeleteCountsOnlyWhenTheFileIsGone)
{
    for (const auto& [status, removed] : { std::pair { 204, true }, { 404, true }, { 200, false }, { 500, false } }) {
        server.route("DELETE", "/graph/v1.0/me/drive/items/F",
            [status = status](auto&) { return FakeHttpResponse::json(status, {}); });
        EXPECT_EQ(remove("F"), removed) << status;
    }
    bool restored = true;
    handler->restoreCloudFile(nullptr, [&](bool done) { restored = done; });
    EXPECT_FALSE(restored);
}

TEST_F(OneDriveTest, HostileIdsAndNamesNeverReachAnAddressOrAPath)
{
    const QString personal = QStringLiteral("D4648F06C91D9D3D!54927");
    const auto named = [](const QString& name, const QString& id, bool isFolder) {
        QJsonObject object = item(name, isFolder);
        object.insert("id", id);
        return object;
    };
    server.route("GET", rootPath, [&](auto&) {
        return page({ named("S", personal, true), named("Up", "..", true), named("T", "a/b", true),
            named("a/b.jpg", "F1", false), named("..", "F2", false), named("", "F3", false),
            named(QStringLiteral("n") + QChar(0), "F4", false), named("ok.jpg", "D4648F06C91D9D3D!100", false) });
    });
    server.route("GET", "/graph/v1.0/me/drive/items/" + personal + "/children",
        [&](auto&) { return page({ named("c.jpg", "C1", false) }); });
    scanRoot();
    EXPECT_EQ(delegate.files, QStringList({ "One Drive/ok.jpg", "One Drive/S/c.jpg" }));
    EXPECT_FALSE(handler->lastWalkIncomplete);
    // Sent as the service wrote the id: its "!" is not encoded twice.
    EXPECT_EQ(server.requestLog.back().target, "/graph/v1.0/me/drive/items/" + personal.toUtf8() + "/children");

    // Still there: the service answers for exactly this id.
    server.route("DELETE", "/graph/v1.0/me/drive/items/" + personal, [](auto&) {
        return FakeHttpResponse::json(403, { { "error", "accessDenied" } });
    });
    EXPECT_FALSE(remove(personal));
    EXPECT_EQ(server.requestLog.back().target, "/graph/v1.0/me/drive/items/" + personal.toUtf8());
    // Ids that would be folded into another address are never sent, and
    // count as not removed.
    const size_t sent = server.requestLog.size();
    for (const QString& id : { QStringLiteral(".."), QStringLiteral("."), QStringLiteral("a/b"), QStringLiteral("%2e"),
             QStringLiteral("x\ny"), QString() })
        EXPECT_FALSE(remove(id)) << id.toStdString();
    EXPECT_EQ(server.requestLog.size(), sent);
}

namespace {

// OneDrive pages without end at address: every answer links a fresh next
// page and holds what items makes of its number.
void oneDriveWithoutEnd(FakeHttpServer& server, const QString& address, int& pages, std::function<QJsonArray(int)> items)
{
    const auto answer = [&server, &pages, items](const FakeHttpRequest&) {
        ++pages;
        return page(items(pages), server.url(QStringLiteral("/graph/next")).toString() + "?p=" + QString::number(pages));
    };
    server.route("GET", address, answer);
    server.route("GET", "/graph/next", answer);
}

// A thousand items, told apart by page.
QJsonArray oneDriveItems(int page, bool folders)
{
    QJsonArray items;
    for (int i = 0; i < 1000; ++i)
        items.append(item(QStringLiteral("i%1-%2").arg(page).arg(i), folders));
    return items;
}

} // namespace

TEST_F(OneDriveTest, PickerPagesThatBringNothingNewEndAfterAFewRequestsAndAreTold)
{
    int pages = 0;
    oneDriveWithoutEnd(server, rootPath, pages, [](int) { return oneDriveItems(0, true); });
    handler->listingLimits.pages = 200;
    const int before = delegate.completions;
    const EndlessListing run = runEndlessListing(
        "repeated OneDrive pages in the picker", [&] { handler->fetchChildFolders(handler->makeRootFolderNode()); },
        [&] { return delegate.completions > before; }, [&] { return pages; });
    EXPECT_TRUE(run.ended);
    EXPECT_LE(run.requests, 3);
    EXPECT_TRUE(handler->pickerListingCutShort);
}

TEST_F(OneDriveTest, ScanPagesThatBringNewFilesForEverEndAtTheBoundOfMemoryAndAreTold)
{
    int pages = 0;
    oneDriveWithoutEnd(server, rootPath, pages, [](int page) { return oneDriveItems(page, false); });
    // Without a bound of memory, only this many entries would end it.
    handler->listingLimits.entries = 300000;
    handler->listingLimits.folderBytes = 8 << 20;
    const int before = delegate.completions;
    ScanRequest request;
    request.filters = makeScanSettingsSnapshot();
    const EndlessListing run = runEndlessListing(
        "OneDrive pages of new files", [&] { handler->startCloudScan({ handler->makeRootFolderNode() }, request, delegate); },
        [&] { return delegate.completions > before; }, [&] { return pages; });
    EXPECT_TRUE(run.ended);
    EXPECT_LE(run.requests, 30);
    EXPECT_LT(run.peakBytes, scaledMemoryBound(96ll << 20));
    EXPECT_TRUE(handler->lastWalkIncomplete);
}

TEST_F(OneDriveTest, AFlatFolderOf150000FilesIsListedWholeInAScanAndInThePicker)
{
    const FlatCloudFolder flat { 150000, 3 };
    flat.serveOneDrive(server);
    const int before = delegate.completions;
    ScanRequest request;
    request.filters = makeScanSettingsSnapshot();
    handler->startCloudScan({ handler->makeRootFolderNode() }, request, delegate);
    ASSERT_TRUE(waitUntil([&] { return delegate.completions > before; }, 120000));
    EXPECT_EQ(delegate.files.size(), flat.files);
    EXPECT_FALSE(handler->lastWalkIncomplete);
    EXPECT_FALSE(handler->lastWalkBound());

    handler->rootFolderObj.reset();
    handler->fetchChildFolders(handler->makeRootFolderNode());
    ASSERT_TRUE(waitUntil([&] { return delegate.completions > before + 1; }, 120000));
    EXPECT_EQ(handler->rootFolderObj->children.size(), size_t(flat.folders));
    EXPECT_FALSE(handler->pickerListingCutShort);
    EXPECT_FALSE(handler->pickerListingBound);
}
