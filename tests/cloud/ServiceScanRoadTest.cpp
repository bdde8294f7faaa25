// Scans of Dropbox, Box and OneDrive through the engine, against the fake
// service on this machine: a Stop waits for no service, and folders chosen
// inside one another list every file once and leave the kept tree whole for
// the scans after.
#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/OneDriveHandler.h"
#include "core/Localization.h"
#include "scan/EngineFixture.h"
#include "support/FakeHttpServer.h"
#include "support/FixedProbe.h"
#include "support/SignedInHandler.h"
#include "support/WaitUntil.h"

#include <QJsonArray>

#include <map>

namespace {

// The service's tree: the root holds "A", "A" a file and "B", "B" a file and
// "C", "C" a file. Folders by their path below the root.
struct Folder {
    QString id;
    QStringList files;
    QStringList subFolders;
};
const std::map<QString, Folder> tree {
    { QString(), { QString(), {}, { QStringLiteral("A") } } },
    { QStringLiteral("A"), { QStringLiteral("10"), { QStringLiteral("a.jpg") }, { QStringLiteral("B") } } },
    { QStringLiteral("A/B"), { QStringLiteral("20"), { QStringLiteral("b.jpg") }, { QStringLiteral("C") } } },
    { QStringLiteral("A/B/C"), { QStringLiteral("30"), { QStringLiteral("c.jpg") }, {} } },
};

QString below(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
}

// Whether a folder's answer is kept back (a service slow to answer).
using Hold = std::function<bool(const QString& folder)>;

FakeHttpResponse answered(const QJsonObject& page, bool held)
{
    FakeHttpResponse response = FakeHttpResponse::json(200, page);
    response.held = held;
    return response;
}

void serveBox(FakeHttpServer& server, const Hold& hold)
{
    for (const auto& [path, folder] : tree) {
        const QString id = folder.id.isEmpty() ? QStringLiteral("0") : folder.id;
        server.route("GET", QStringLiteral("/api/folders/%1/items").arg(id),
            [hold, path = path, folder = folder](const FakeHttpRequest&) {
                QJsonArray entries;
                for (const QString& name : folder.subFolders)
                    entries.append(QJsonObject { { QStringLiteral("type"), QStringLiteral("folder") },
                        { QStringLiteral("id"), tree.at(below(path, name)).id }, { QStringLiteral("name"), name } });
                for (const QString& name : folder.files)
                    entries.append(QJsonObject { { QStringLiteral("type"), QStringLiteral("file") },
                        { QStringLiteral("id"), folder.id + QLatin1Char('1') }, { QStringLiteral("name"), name },
                        { QStringLiteral("size"), 200000 }, { QStringLiteral("sha1"), name } });
                return answered({ { QStringLiteral("entries"), entries },
                                    { QStringLiteral("total_count"), entries.size() } },
                    hold(path));
            });
    }
}

void serveOneDrive(FakeHttpServer& server, const Hold& hold)
{
    for (const auto& [path, folder] : tree) {
        const QString address = folder.id.isEmpty()
            ? QStringLiteral("/api/v1.0/me/drive/root/children")
            : QStringLiteral("/api/v1.0/me/drive/items/%1/children").arg(folder.id);
        server.route("GET", address, [hold, path = path, folder = folder](const FakeHttpRequest&) {
            QJsonArray items;
            for (const QString& name : folder.subFolders)
                items.append(QJsonObject { { QStringLiteral("name"), name },
                    { QStringLiteral("id"), tree.at(below(path, name)).id },
                    { QStringLiteral("folder"), QJsonObject() } });
            for (const QString& name : folder.files)
                items.append(QJsonObject { { QStringLiteral("name"), name },
                    { QStringLiteral("id"), folder.id + QLatin1Char('1') }, { QStringLiteral("size"), 200000 },
                    { QStringLiteral("file"),
                        QJsonObject { { QStringLiteral("hashes"),
                            QJsonObject { { QStringLiteral("sha256Hash"), name } } } } } });
            return answered({ { QStringLiteral("value"), items } }, hold(path));
        });
    }
}

void serveDropbox(FakeHttpServer& server, const Hold& hold)
{
    server.route("POST", QStringLiteral("/api/2/files/list_folder"), [hold](const FakeHttpRequest& request) {
        const QString path = request.json().value(QStringLiteral("path")).toString().mid(1);
        const Folder& folder = tree.at(path);
        QJsonArray entries;
        for (const QString& name : folder.subFolders)
            entries.append(QJsonObject { { QStringLiteral(".tag"), QStringLiteral("folder") },
                { QStringLiteral("name"), name }, { QStringLiteral("path_display"), QLatin1Char('/') + below(path, name) },
                { QStringLiteral("id"), QStringLiteral("id:") + tree.at(below(path, name)).id } });
        for (const QString& name : folder.files)
            entries.append(QJsonObject { { QStringLiteral(".tag"), QStringLiteral("file") },
                { QStringLiteral("name"), name }, { QStringLiteral("path_display"), QLatin1Char('/') + below(path, name) },
                { QStringLiteral("id"), QStringLiteral("id:f") + name }, { QStringLiteral("size"), 200000 },
                { QStringLiteral("content_hash"), name }, { QStringLiteral("rev"), QStringLiteral("r1") } });
        return answered({ { QStringLiteral("entries"), entries }, { QStringLiteral("has_more"), false } }, hold(path));
    });
}

// A handler of the service, signed in at the fake server.
template <typename Handler> std::unique_ptr<ScanWrapper> signedIn(FakeHttpServer& server)
{
    return signedInAtFakeServer<Handler>(server);
}

struct Service {
    const char* name;
    ScanSource source;
    std::function<std::unique_ptr<ScanWrapper>(FakeHttpServer&)> make;
    std::function<void(FakeHttpServer&, const Hold&)> serve;
};

const Service services[] = {
    { "Dropbox", ScanSource::dropbox, signedIn<DropBoxHandler>, serveDropbox },
    { "Box", ScanSource::box, signedIn<BoxCloudHandler>, serveBox },
    { "OneDrive", ScanSource::oneDrive, signedIn<OneDriveHandler>, serveOneDrive },
};

} // namespace

class ServiceScanRoad : public EngineFixture {
protected:
    FakeHttpServer server;
    // Every handler made lives as long as the engine that scanned with it.
    std::vector<std::unique_ptr<ScanWrapper>> handlers;

    void SetUp() override
    {
        EngineFixture::SetUp();
        ASSERT_TRUE(server.listen());
        server.enableOAuth(QStringLiteral("client"));
        setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
    }
    void TearDown() override
    {
        EngineFixture::TearDown();
        setNetworkReachabilityProbe(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }

    // The service chosen, signed in, with an empty scan list.
    ScanWrapper& choose(const Service& service)
    {
        ScanWrapper& handler = *handlers.emplace_back(service.make(server));
        selectedScanSource() = service.source;
        sources->setHandler(service.source, &handler);
        sources->replace(service.source, SourceList::scan, {}, ScanSources::Store::no);
        service.serve(server, [](const QString&) { return false; });
        return handler;
    }

    FilePathNodePtr addFolderRow(const CloudScanFoldersListPtr& folder, bool includeSubFolders = true)
    {
        FilePathNodePtr row = addRow(folder->folderPath, 1, includeSubFolders);
        row->cloudFolder = folder;
        return row;
    }

    // The first sub-folder of folder as the picker shows it, once listed.
    CloudScanFoldersListPtr pickInside(ScanWrapper& handler, const CloudScanFoldersListPtr& folder)
    {
        handler.fetchChildFolders(folder);
        EXPECT_TRUE(waitUntil([&] { return !folder->children.empty(); }));
        return folder->children.empty() ? std::make_shared<CloudScanFoldersList>() : folder->children.front();
    }
};

// Stop, confirmed while the service holds its answer: the scan ends at once
// as a stopped scan, the request on its way is given up (its connection
// closed), and the answer the service sends later changes nothing.
TEST_F(ServiceScanRoad, AStopEndsTheListingWithoutWaitingForTheService)
{
    for (const Service& service : services) {
        SCOPED_TRACE(service.name);
        ScanWrapper& handler = choose(service);
        service.serve(server, [](const QString& folder) { return folder.isEmpty(); });
        const CloudScanFoldersListPtr root = handler.makeRootFolderNode();
        addFolderRow(root);
        screen.alerts.clear();

        QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
        engine->btnStartScanTapped();
        ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }));
        screen.answers = { 1 };
        engine->confirmStopScanning();
        ASSERT_TRUE(isAbortScan);
        EXPECT_TRUE(waitUntil([&] { return !ended.isEmpty() && server.heldOpenCount() == 0; }))
            << "ended: " << ended.size() << ", requests still waiting: " << server.heldOpenCount();
        EXPECT_EQ(server.heldCount(), 1);
        EXPECT_FALSE(screen.alertMessages().contains(localizedText("ID_CLOUD_LISTING_INCOMPLETE")));

        const size_t asked = server.requestLog.size();
        server.releaseHeld();
        waitUntil([] { return false; }, 100);
        EXPECT_EQ(server.requestLog.size(), asked);
        EXPECT_FALSE(root->isAllFilesFetched);
        EXPECT_TRUE(root->children.empty());

        // The next scan lists the folder whole.
        service.serve(server, [](const QString&) { return false; });
        ASSERT_TRUE(runScan());
        EXPECT_EQ(result->countScanned, 3);
    }
}

// A folder chosen inside another chosen folder, with or without its own
// sub-folders, before a clean-up on the source or after it: each scan lists
// every file once, and a scan of the outer folder alone still lists the inner
// one's.
TEST_F(ServiceScanRoad, FoldersChosenInsideOneAnotherListEveryFileOnceAndLoseNoneForLater)
{
    for (const Service& service : services) {
        SCOPED_TRACE(service.name);
        ScanWrapper& handler = choose(service);
        const CloudScanFoldersListPtr a = pickInside(handler, handler.makeRootFolderNode());
        const CloudScanFoldersListPtr b = pickInside(handler, a);
        ASSERT_EQ(b->folderName, QStringLiteral("B"));

        // The inner folder comes first in the list, without its sub-folders.
        FilePathNodePtr inner = addFolderRow(b, false);
        addFolderRow(a);
        ASSERT_TRUE(runScan());
        EXPECT_EQ(result->countScanned, 3);
        inner->state = 0;
        ASSERT_TRUE(runScan());
        EXPECT_EQ(result->countScanned, 3);

        // With its sub-folders, after a clean-up made every kept listing stale.
        inner->state = 1;
        inner->isIncludeSubFolders = true;
        handler.markListingsStale();
        ASSERT_TRUE(runScan());
        EXPECT_EQ(result->countScanned, 3);
        inner->state = 0;
        ASSERT_TRUE(runScan());
        EXPECT_EQ(result->countScanned, 3);
    }
}
