// A scan's listing the user stopped is a stopped listing, on every service:
// what its service answers after the Stop is no failure to be told as a
// folder that could not be listed. A listing that fails while not stopped
// still is one.
#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/OAuthSession.h"
#include "cloud/OneDriveHandler.h"
#include "scan/ScanRequest.h"
#include "support/FakeHttpServer.h"
#include "support/SignedInHandler.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

struct Sink : CloudScanSink {
    int files = 0;
    int completions = 0;
    void addCloudScanFile(const FileInfoNodePtr&) override { ++files; }
    void OnScanCompletedProcess() override { ++completions; }
};

template <typename Handler> struct Accepting : Handler {
    using Handler::Handler;
    bool acceptRecord(FileInfoNode&) const override { return true; }
};

template <typename Handler> std::unique_ptr<ScanWrapper> signedIn(FakeHttpServer& server)
{
    return signedInAt<Accepting<Handler>>(server);
}

// One service: how its handler is made, and its root's first page of one
// file with more announced.
struct Service {
    const char* name;
    std::function<std::unique_ptr<ScanWrapper>(FakeHttpServer&)> make;
    QByteArray method;
    QString rootPath;
    std::function<QJsonObject(FakeHttpServer&)> pageWithMore;
};

const Service services[] = {
    { "Dropbox", signedIn<DropBoxHandler>, "POST", QStringLiteral("/api/2/files/list_folder"),
        [](FakeHttpServer&) {
            const QJsonObject file { { QStringLiteral(".tag"), QStringLiteral("file") },
                { QStringLiteral("id"), QStringLiteral("id:1") }, { QStringLiteral("name"), QStringLiteral("a.jpg") },
                { QStringLiteral("path_display"), QStringLiteral("/a.jpg") }, { QStringLiteral("size"), 10 },
                { QStringLiteral("content_hash"), QStringLiteral("h") },
                { QStringLiteral("rev"), QStringLiteral("r1") } };
            return QJsonObject { { QStringLiteral("entries"), QJsonArray { file } },
                { QStringLiteral("cursor"), QStringLiteral("c1") }, { QStringLiteral("has_more"), true } };
        } },
    { "Box", signedIn<BoxCloudHandler>, "GET", QStringLiteral("/api/folders/0/items"),
        [](FakeHttpServer&) {
            const QJsonObject file { { QStringLiteral("type"), QStringLiteral("file") },
                { QStringLiteral("id"), QStringLiteral("1") }, { QStringLiteral("name"), QStringLiteral("a.jpg") },
                { QStringLiteral("size"), 10 }, { QStringLiteral("sha1"), QStringLiteral("s") } };
            return QJsonObject { { QStringLiteral("entries"), QJsonArray { file } },
                { QStringLiteral("total_count"), 5 } };
        } },
    { "OneDrive", signedIn<OneDriveHandler>, "GET", QStringLiteral("/api/v1.0/me/drive/root/children"),
        [](FakeHttpServer& server) {
            const QJsonObject file { { QStringLiteral("id"), QStringLiteral("A1") },
                { QStringLiteral("name"), QStringLiteral("a.jpg") }, { QStringLiteral("size"), 10 },
                { QStringLiteral("file"),
                    QJsonObject { { QStringLiteral("hashes"),
                        QJsonObject { { QStringLiteral("sha256Hash"), QStringLiteral("h") } } } } } };
            return QJsonObject { { QStringLiteral("value"), QJsonArray { file } },
                { QStringLiteral("@odata.nextLink"), server.url(QStringLiteral("/api/next")).toString() } };
        } },
};

} // namespace

TEST(StoppedListing, IsNoFolderThatCouldNotBeListedOnAnyServiceAndAFailureStillIs)
{
    for (const Service& service : services) {
        SCOPED_TRACE(service.name);
        FakeHttpServer server;
        ASSERT_TRUE(server.listen());
        server.enableOAuth(QStringLiteral("client"));
        std::unique_ptr<ScanWrapper> handler = service.make(server);
        ASSERT_TRUE(handler && handler->isAuthenticateForScan);
        ScanRequest request;
        request.filters = makeScanSettingsSnapshot();

        // Stop while the root's first page is on its way: the page comes,
        // nothing more is asked, and the walk ends stopped, not failed.
        server.route(service.method, service.rootPath, [&](const FakeHttpRequest&) {
            FakeHttpResponse answer = FakeHttpResponse::json(200, service.pageWithMore(server));
            answer.held = true;
            return answer;
        });
        Sink sink;
        handler->isAbortScanning = false;
        handler->startCloudScan({ handler->makeRootFolderNode() }, request, sink);
        ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }));
        handler->isAbortScanning = true;
        const size_t asked = server.requestLog.size();
        server.releaseHeld();
        ASSERT_TRUE(waitUntil([&] { return sink.completions == 1; }));
        EXPECT_FALSE(handler->lastWalkIncomplete);
        EXPECT_FALSE(handler->lastWalkUnanswered);
        EXPECT_FALSE(handler->lastWalkBound());
        EXPECT_FALSE(handler->rootFolderObj->isAllFilesFetched);
        waitUntil([] { return false; }, 50);
        EXPECT_EQ(server.requestLog.size(), asked);

        // The service fails while nothing was stopped: that is told.
        server.route(
            service.method, service.rootPath, [](const FakeHttpRequest&) { return FakeHttpResponse::json(500, {}); });
        handler->isAbortScanning = false;
        handler->startCloudScan({ handler->makeRootFolderNode() }, request, sink);
        ASSERT_TRUE(waitUntil([&] { return sink.completions == 2; }));
        EXPECT_TRUE(handler->lastWalkIncomplete);
        EXPECT_TRUE(handler->lastWalkUnanswered);
    }
}
