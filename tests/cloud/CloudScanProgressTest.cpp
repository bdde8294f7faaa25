// The progress of a scan while a cloud folder lists: the files of each page
// count and show as the page comes, not when the folder's listing ends.
#include "cloud/DropBoxHandler.h"
#include "cloud/OAuthSession.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "scan/EngineFixture.h"
#include "support/FakeHttpServer.h"
#include "support/FakeServiceConfig.h"
#include "support/FixedProbe.h"
#include "support/WaitUntil.h"

#include <QJsonArray>

namespace {

QJsonObject photo(const QString& id, const QString& name, const QString& hash)
{
    return { { QStringLiteral(".tag"), QStringLiteral("file") }, { QStringLiteral("id"), id },
        { QStringLiteral("name"), name }, { QStringLiteral("path_display"), QStringLiteral("/") + name },
        { QStringLiteral("size"), 1000 }, { QStringLiteral("content_hash"), hash },
        { QStringLiteral("rev"), QStringLiteral("r1") } };
}

QJsonObject page(const QJsonArray& entries, const QString& cursor)
{
    return { { QStringLiteral("entries"), entries }, { QStringLiteral("cursor"), cursor },
        { QStringLiteral("has_more"), !cursor.isEmpty() } };
}

} // namespace

class CloudScanProgress : public EngineFixture {
protected:
    FakeHttpServer server;
    std::unique_ptr<DropBoxHandler> handler;

    void SetUp() override
    {
        EngineFixture::SetUp();
        ASSERT_TRUE(server.listen());
        server.enableOAuth(QStringLiteral("client"));
        handler = std::make_unique<DropBoxHandler>(fakeServiceConfig(server, QStringLiteral("dropbox")));
        OAuthCloudHandler::setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
        handler->session().setBrowserOpener([this](const QUrl& url) {
            server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
        });
        ASSERT_TRUE(handler->authenticateCloud());
        ASSERT_TRUE(waitUntil([this] { return handler->isAuthenticateForScan.load(); }));
        setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
        selectedScanSource() = ScanSource::dropbox;
        sources->setHandler(ScanSource::dropbox, handler.get());
    }
    void TearDown() override
    {
        EngineFixture::TearDown();
        setNetworkReachabilityProbe(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }
};

TEST_F(CloudScanProgress, TheCountAndThePathMoveWithEveryPageAndARepeatedEntryCountsOnce)
{
    // The root lists three pages; the second is answered only when the test
    // lets it, and the last brings the first page's files again (the service
    // repeating itself while the folder changes) with one file more.
    const QJsonArray first { photo(QStringLiteral("id:1"), QStringLiteral("a.jpg"), QStringLiteral("h1")),
        photo(QStringLiteral("id:2"), QStringLiteral("b.jpg"), QStringLiteral("h2")),
        photo(QStringLiteral("id:3"), QStringLiteral("c.jpg"), QStringLiteral("h3")) };
    server.route("POST", QStringLiteral("/api/2/files/list_folder"),
        [&](const FakeHttpRequest&) { return FakeHttpResponse::json(200, page(first, QStringLiteral("c1"))); });
    server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"), [&](const FakeHttpRequest& request) {
        if (request.json().value(QStringLiteral("cursor")).toString() == QLatin1String("c1")) {
            FakeHttpResponse held = FakeHttpResponse::json(200,
                page({ photo(QStringLiteral("id:4"), QStringLiteral("d.jpg"), QStringLiteral("h1")) },
                    QStringLiteral("c2")));
            held.held = true;
            return held;
        }
        QJsonArray last = first;
        last.append(photo(QStringLiteral("id:5"), QStringLiteral("e.jpg"), QStringLiteral("h2")));
        return FakeHttpResponse::json(200, page(last, QString()));
    });
    FilePathNodePtr row = addRow(QStringLiteral("DropBox"));
    row->cloudFolder = handler->makeRootFolderNode();

    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    // While the folder's second page is on its way, the first page's files
    // are counted and one of them is shown under the progress.
    ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }));
    const QStringList firstPaths { QStringLiteral("Dropbox/a.jpg"), QStringLiteral("Dropbox/b.jpg"),
        QStringLiteral("Dropbox/c.jpg") };
    const auto shows = [&](const QStringList& paths) {
        return std::any_of(paths.begin(), paths.end(), [&](const QString& path) {
            return screen.scannedPath == formatText(localizedText("ID_SCAN_PATH"), { path });
        });
    };
    EXPECT_TRUE(waitUntil([&] { return screen.labels.lblFileScanCount == QLatin1String("3") && shows(firstPaths); }))
        << screen.labels.lblFileScanCount.toStdString() << ' ' << screen.scannedPath.toStdString();
    EXPECT_EQ(ended.count(), 0);

    // Then the second page's file; the last page's repeats count once.
    server.releaseHeld();
    ASSERT_TRUE(ended.wait(10000));
    result = ended.takeFirst().at(0).value<ScanResultPtr>();
    EXPECT_EQ(result->countScanned, 5);
    EXPECT_EQ(screen.labels.lblFileScanCount, QStringLiteral("5"));
    ASSERT_EQ(result->groups.size(), 2u);
    EXPECT_EQ(result->groups.front()->children.size(), 2u);
    EXPECT_EQ(*result->groups.front()->children.back()->filePath, QStringLiteral("Dropbox/d.jpg"));
}

// A folder whose listing fails after its first page: the files of that page
// were handed on and are compared, and the user reads that some files of
// the folder were left out, not that none of them were compared.
TEST_F(CloudScanProgress, AFolderThatFailsMidwayKeepsTheFilesListedAndSaysSomeWereLeftOut)
{
    const QJsonArray first { photo(QStringLiteral("id:1"), QStringLiteral("a.jpg"), QStringLiteral("h1")),
        photo(QStringLiteral("id:2"), QStringLiteral("b.jpg"), QStringLiteral("h1")),
        photo(QStringLiteral("id:3"), QStringLiteral("c.jpg"), QStringLiteral("h3")) };
    server.route("POST", QStringLiteral("/api/2/files/list_folder"),
        [&](const FakeHttpRequest&) { return FakeHttpResponse::json(200, page(first, QStringLiteral("c1"))); });
    server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(500, { { QStringLiteral("error"), QStringLiteral("internal") } });
    });
    FilePathNodePtr row = addRow(QStringLiteral("DropBox"));
    row->cloudFolder = handler->makeRootFolderNode();

    ASSERT_TRUE(runScan());
    EXPECT_EQ(result->countScanned, 3);
    ASSERT_EQ(result->groups.size(), 1u);
    EXPECT_EQ(result->groups.front()->children.size(), 2u);
    const auto told = std::find_if(screen.alerts.begin(), screen.alerts.end(),
        [](const AlertRequest& alert) { return alert.messageText == localizedText("ID_CLOUD_LISTING_INCOMPLETE"); });
    ASSERT_NE(told, screen.alerts.end());
    EXPECT_EQ(told->informativeText,
        QStringLiteral("The service did not answer for every folder, so some files in those folders were not "
                       "compared. Check your internet connection and scan again."));
}

// Stop, confirmed while the folder's pages keep coming: the page on its way
// is the last one asked for, and the scan ends as a stopped scan does, with
// what was listed and no word of folders that could not be listed.
TEST_F(CloudScanProgress, AStopDuringTheListingIsToldAsAStopNotAsAFolderThatCouldNotBeListed)
{
    int served = 0;
    const auto twoTwins = [&served](const FakeHttpRequest&) {
        ++served;
        const QString hash = QStringLiteral("h%1").arg(served);
        return FakeHttpResponse::json(200,
            page({ photo(QStringLiteral("id:%1a").arg(served), QStringLiteral("a%1.jpg").arg(served), hash),
                     photo(QStringLiteral("id:%1b").arg(served), QStringLiteral("b%1.jpg").arg(served), hash) },
                QStringLiteral("c%1").arg(served)));
    };
    server.route("POST", QStringLiteral("/api/2/files/list_folder"), twoTwins);
    server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"), twoTwins);
    FilePathNodePtr row = addRow(QStringLiteral("DropBox"));
    row->cloudFolder = handler->makeRootFolderNode();

    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    ASSERT_TRUE(waitUntil([&] { return served >= 20; }, 30000));
    screen.answers = { 1 };
    engine->confirmStopScanning();
    ASSERT_TRUE(isAbortScan);
    const int asked = served;
    ASSERT_TRUE(waitUntil([&] { return !ended.isEmpty(); }, 30000));
    waitUntil([] { return false; }, 200);
    EXPECT_LE(served, asked + 1);
    EXPECT_FALSE(screen.alertMessages().contains(localizedText("ID_CLOUD_LISTING_INCOMPLETE")))
        << screen.alertMessages().join(',').toStdString();
    EXPECT_FALSE(handler->rootFolderObj->isAllFilesFetched);
}
