#include "cloud/OneDriveHandler.h"
#include "base/AlertPresenter.h"
#include "support/FakeHttpServer.h"

#include <QJsonArray>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct CountingPresenter : AlertPresenter {
    int shown = 0;
    int present(const AlertRequest&) override { return ++shown, 0; }
};

struct RecordingDelegate : ScanWrapperDelegate {
    int signedIn = 0;
    int dismissed = 0;
    int completions = 0;
    QStringList files;
    void addCloudScanFile(const FileInfoNodePtr& record) override { files << record->filePath.value_or(QString()); }
    void OnScanCompletedProcess() override { ++completions; }
    void onAccessPermissionStatus(bool) override { ++signedIn; }
    void dismissAuthenticationWait() override { ++dismissed; }
};

// Every record is taken, whatever the scan settings of the machine say.
struct OneDrive : OneDriveHandler {
    using OneDriveHandler::OneDriveHandler;
    bool acceptRecord(FileInfoNode&) const override { return true; }
};

QJsonObject item(const QString& name, const QString& id, bool isFolder)
{
    QJsonObject object { { QStringLiteral("name"), name }, { QStringLiteral("id"), id } };
    if (isFolder)
        object.insert(QStringLiteral("folder"), QJsonObject());
    else
        object.insert(QStringLiteral("file"),
            QJsonObject {
                { QStringLiteral("hashes"), QJsonObject { { QStringLiteral("sha256Hash"), id + "-hash" } } } });
    return object;
}

QJsonObject page(const QJsonArray& items, const QString& next = {})
{
    QJsonObject object { { QStringLiteral("value"), items } };
    if (!next.isEmpty())
        object.insert(QStringLiteral("@odata.nextLink"), next);
    return object;
}

class OneDriveTest : public ::testing::Test {
protected:
    FakeHttpServer server;
    RecordingDelegate delegate;
    std::shared_ptr<CountingPresenter> presenter = std::make_shared<CountingPresenter>();
    std::unique_ptr<OneDrive> handler;

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        setAlertPresenter(presenter);
        server.enableOAuth(QStringLiteral("od-client"));
        handler = std::make_unique<OneDrive>(CloudConfig::fromJson(QStringLiteral("onedrive"),
            { { QStringLiteral("clientId"), QStringLiteral("od-client") },
                { QStringLiteral("authorizeUrl"), server.url(QStringLiteral("/authorize")).toString() },
                { QStringLiteral("tokenUrl"), server.url(QStringLiteral("/token")).toString() },
                { QStringLiteral("apiBaseUrl"), server.url(QStringLiteral("/graph/")).toString() } }));
        handler->delegate = &delegate;
        handler->setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
        handler->session().setBrowserOpener([this](const QUrl& url) {
            server.browse(url, [this](const QUrl& redirect) { handler->handleRedirect(redirect); });
        });
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    void signIn()
    {
        const int outcomes = delegate.signedIn + delegate.dismissed;
        handler->authenticateCloud();
        ASSERT_TRUE(waitUntil([&] { return delegate.signedIn + delegate.dismissed > outcomes; }));
    }

    // A scan of the given folders on the GUI thread, to its end.
    void scan(const std::vector<CloudScanFoldersListPtr>& folders)
    {
        const int before = delegate.completions;
        handler->startCloudScan(folders, 0, delegate);
        ASSERT_TRUE(waitUntil([&] { return delegate.completions > before; }));
    }

    void serve(const QString& path, std::function<FakeHttpResponse()> answer)
    {
        server.route("GET", path, [this, answer](const FakeHttpRequest& request) {
            if (!server.isAuthorized(request))
                return FakeHttpResponse::json(401, {});
            return answer();
        });
    }
};

} // namespace

TEST_F(OneDriveTest, SignInAsksForAnAccountAndReportsOnceEitherWay)
{
    signIn();
    EXPECT_EQ(delegate.signedIn, 1);
    EXPECT_TRUE(handler->isAuthenticateForScan);
    const FakeHttpRequest& authorize = server.requestLog.front();
    EXPECT_EQ(authorize.query.queryItemValue(QStringLiteral("prompt")), QStringLiteral("select_account"));
    EXPECT_TRUE(authorize.query.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded).contains("offline_access"));

    handler->signOut();
    EXPECT_FALSE(handler->isAuthenticateForScan);
    EXPECT_FALSE(handler->session().isSignedIn());

    server.declineNextSignIn = true;
    signIn();
    EXPECT_EQ(delegate.dismissed, 1);
    EXPECT_EQ(delegate.signedIn, 1);
    EXPECT_FALSE(handler->isAuthenticateForScan);
}

TEST_F(OneDriveTest, WithoutAClientTheWaitEndsAndTheUserIsTold)
{
    OneDrive bare(CloudServiceConfig {});
    bare.delegate = &delegate;
    EXPECT_TRUE(bare.authenticateCloud());
    EXPECT_EQ(delegate.dismissed, 1);
    EXPECT_EQ(presenter->shown, 1);
}

TEST_F(OneDriveTest, ScanFollowsPagesSkipsSubFoldersWhenAskedAndRescansFromTheTree)
{
    signIn();
    const QString next = server.url(QStringLiteral("/graph/next")).toString();
    serve(QStringLiteral("/graph/v1.0/me/drive/root/children"), [&] {
        return FakeHttpResponse::json(200, page({ item("a.jpg", "A", false), item("Sub", "S", true) }, next));
    });
    serve(
        QStringLiteral("/graph/next"), [] { return FakeHttpResponse::json(200, page({ item("b.jpg", "B", false) })); });
    serve(QStringLiteral("/graph/v1.0/me/drive/items/S/children"),
        [] { return FakeHttpResponse::json(200, page({ item("c.jpg", "C", false) })); });

    CloudScanFoldersListPtr root = handler->makeRootFolderNode();
    root->isIncludeSubFolders = false;
    scan({ root });
    EXPECT_EQ(delegate.files, QStringList({ "One Drive/a.jpg", "One Drive/b.jpg" }));
    EXPECT_TRUE(root->isAllFilesFetched);
    EXPECT_EQ(server.requestCount("GET", QStringLiteral("/graph/v1.0/me/drive/items/S/children")), 0);

    root->isIncludeSubFolders = true;
    delegate.files.clear();
    scan({ root });
    EXPECT_EQ(delegate.files, QStringList({ "One Drive/a.jpg", "One Drive/b.jpg", "One Drive/Sub/c.jpg" }));

    const size_t sent = server.requestLog.size();
    delegate.files.clear();
    scan({ root });
    EXPECT_EQ(server.requestLog.size(), sent);
    EXPECT_EQ(delegate.files.size(), 3);
}

TEST_F(OneDriveTest, FailedPagesEndTheWalkAsIncomplete)
{
    signIn();
    struct Case {
        const char* name;
        int status;
        QJsonObject body;
        bool unauthorized;
    };
    const QString foreign = QStringLiteral("http://127.0.0.1:1/graph/next");
    const Case cases[] = {
        { "401", 401, {}, true },
        { "500", 500, {}, false },
        { "error object", 200, { { "error", QJsonObject { { "code", "itemNotFound" } } } }, false },
        { "foreign next link", 200, page({ item("a.jpg", "A", false) }, foreign), false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        handler->rootFolderObj.reset();
        handler->isAuthenticateForScan = true;
        server.route("GET", QStringLiteral("/graph/v1.0/me/drive/root/children"),
            [&](const FakeHttpRequest&) { return FakeHttpResponse::json(c.status, c.body); });
        const int shown = presenter->shown;
        const int completions = delegate.completions;
        CloudScanFoldersListPtr root = handler->makeRootFolderNode();
        scan({ root });
        EXPECT_EQ(delegate.completions, completions + 1);
        EXPECT_TRUE(handler->lastWalkIncomplete);
        EXPECT_FALSE(root->isAllFilesFetched);
        EXPECT_EQ(handler->isAuthenticateForScan, !c.unauthorized);
        EXPECT_EQ(presenter->shown, shown + (c.unauthorized ? 1 : 0));
    }
}

TEST_F(OneDriveTest, StopEndsTheWalkBeforeTheNextPage)
{
    signIn();
    serve(QStringLiteral("/graph/v1.0/me/drive/root/children"), [&] {
        handler->isAbortScanning = true;
        return FakeHttpResponse::json(
            200, page({ item("a.jpg", "A", false) }, server.url(QStringLiteral("/graph/next")).toString()));
    });
    CloudScanFoldersListPtr root = handler->makeRootFolderNode();
    scan({ root });
    EXPECT_EQ(server.requestCount("GET", QStringLiteral("/graph/next")), 0);
    EXPECT_FALSE(root->isAllFilesFetched);
}

TEST(OneDriveRecord, DatesWithOrWithoutFractionsAndAMissingHash)
{
    const struct {
        const char* text;
        bool valid;
    } dates[] = { { "2024-03-01T10:20:30Z", true }, { "2024-03-01T10:20:30.123Z", true }, { "March 1st", false } };
    for (const auto& d : dates) {
        const auto parsed = OneDriveHandler::parseGraphDate(QString::fromLatin1(d.text));
        ASSERT_EQ(parsed.has_value(), d.valid) << d.text;
        if (parsed) {
            EXPECT_EQ(parsed->toString(Qt::ISODate), QStringLiteral("2024-03-01T10:20:30Z"));
        }
    }
    QJsonObject noHash { { "name", "x.png" }, { "id", "X" }, { "size", 12 }, { "file", QJsonObject() } };
    const FileInfoNodePtr record = OneDriveHandler::makeOneDriveFileInfoNode(noHash, QStringLiteral("One Drive/P"));
    EXPECT_FALSE(record->md5.has_value());
    EXPECT_EQ(record->filePath, QStringLiteral("One Drive/P/x.png"));
    EXPECT_EQ(record->folderPath, QStringLiteral("One Drive/P"));
    EXPECT_EQ(record->fileSize, 12u);
}

TEST_F(OneDriveTest, ADeleteCountsOnlyWhenTheFileIsGone)
{
    signIn();
    const std::pair<int, bool> matrix[]
        = { { 204, true }, { 404, true }, { 200, false }, { 403, false }, { 500, false } };
    for (const auto& [status, removed] : matrix) {
        SCOPED_TRACE(status);
        const int answer = status;
        server.route("DELETE", QStringLiteral("/graph/v1.0/me/drive/items/F1"),
            [answer](const FakeHttpRequest&) { return FakeHttpResponse::json(answer, {}); });
        auto record = std::make_shared<FileInfoNode>();
        record->cloudFields().fileId = QStringLiteral("F1");
        std::atomic<int> result { -1 };
        std::thread worker([&] { result = handler->deleteCloudFile(record) ? 1 : 0; });
        EXPECT_TRUE(waitUntil([&] { return result >= 0; }));
        worker.join();
        EXPECT_EQ(result == 1, removed);
    }
    bool restored = true;
    handler->restoreCloudFile(std::make_shared<FileInfoNode>(), [&](bool done) { restored = done; });
    EXPECT_FALSE(restored);
}
