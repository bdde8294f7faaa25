#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/OAuthSession.h"
#include "cloud/RestClient.h"
#include "core/DuplicateGroup.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "scan/ScanRequest.h"
#include "support/EndlessAnswers.h"
#include "support/FakeHttpServer.h"
#include "support/FakeServiceConfig.h"
#include "support/FlatCloudFolder.h"
#include "support/RecordingAlerts.h"

#include <QJsonArray>
#include <QLocale>
#include <gtest/gtest.h>

#include <future>

namespace {

struct Sink : CloudScanSink {
    QStringList paths;
    int completions = 0;
    void addCloudScanFile(const FileInfoNodePtr& record) override { paths << record->filePath.value_or(QString()); }
    void OnScanCompletedProcess() override { ++completions; }
};

template <typename Handler> struct Accepting : Handler {
    using Handler::Handler;
    bool acceptRecord(FileInfoNode&) const override { return true; }
};

// A signed-in handler of either service against the fake server.
template <typename Handler> class ServiceTest : public ::testing::Test {
protected:
    FakeHttpServer server;
    std::unique_ptr<Accepting<Handler>> handler;
    Sink sink;

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        server.enableOAuth(QStringLiteral("client"));
        handler = std::make_unique<Accepting<Handler>>(fakeServiceConfig(server));
        handler->client().setMaxRetryDelayMs(10);
        OAuthCloudHandler::setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
        handler->session().setBrowserOpener([this](const QUrl& url) {
            server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
        });
        ASSERT_TRUE(handler->authenticateCloud());
        ASSERT_TRUE(waitUntil([this] { return handler->isAuthenticateForScan.load(); }));
    }

    void scan(std::vector<CloudScanFoldersListPtr> folders, std::optional<PathExclusionPredicate> exclusion = {})
    {
        const int before = sink.completions;
        ScanRequest request;
        request.filters = makeScanSettingsSnapshot();
        request.cloudExclusion = std::move(exclusion);
        handler->startCloudScan(folders, request, sink);
        ASSERT_TRUE(waitUntil([&] { return sink.completions > before; }));
        EXPECT_EQ(sink.completions, before + 1);
    }

    // A scan of the root and the picker's listing of it, against a flat
    // folder of the files of a phone's camera uploads and a few albums: both
    // list it whole and tell nothing.
    void expectFlatFolderListedWhole(const FlatCloudFolder& flat)
    {
        ScanRequest request;
        request.filters = makeScanSettingsSnapshot();
        const int before = sink.completions;
        handler->startCloudScan({ handler->makeRootFolderNode() }, request, sink);
        ASSERT_TRUE(waitUntil([&] { return sink.completions > before; }, 120000));
        EXPECT_EQ(sink.paths.size(), flat.files);
        EXPECT_FALSE(handler->lastWalkIncomplete);
        EXPECT_FALSE(handler->lastWalkBound());

        EXPECT_TRUE(listRootForPicker(120000));
        EXPECT_EQ(handler->rootFolderObj->children.size(), size_t(flat.folders));
        EXPECT_FALSE(handler->pickerListingCutShort);
        EXPECT_FALSE(handler->pickerListingBound);
    }

    // The picker's listing of the root, afresh; true once it has ended.
    bool listRootForPicker(int limitMs = 10000)
    {
        struct Ends : ScanWrapperDelegate {
            int count = 0;
            void OnScanCompletedProcess() override { ++count; }
        } ends;
        handler->delegate = &ends;
        handler->rootFolderObj.reset();
        handler->fetchChildFolders(handler->makeRootFolderNode());
        const bool ended = waitUntil([&] { return ends.count == 1; }, limitMs);
        handler->delegate = nullptr;
        return ended;
    }

    // A scan of the root against pages that never end.
    EndlessListing scanWithoutEnd(const char* name, const std::function<int()>& requests)
    {
        const int before = sink.completions;
        ScanRequest request;
        request.filters = makeScanSettingsSnapshot();
        return runEndlessListing(
            name, [&] { handler->startCloudScan({ handler->makeRootFolderNode() }, request, sink); },
            [&] { return sink.completions > before; }, requests);
    }

    // Runs a blocking call on a worker while the fake server answers here.
    template <typename Call> auto onWorker(Call call)
    {
        auto future = std::async(std::launch::async, call);
        EXPECT_TRUE(waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
        return future.get();
    }

    // Records hold their group weakly; the test keeps it.
    std::vector<std::shared_ptr<DuplicateGroup>> groups;
    FileInfoNodePtr restorable(FileInfoNodePtr removed, FileInfoNodePtr kept)
    {
        auto group = groups.emplace_back(std::make_shared<DuplicateGroup>());
        group->filterChildren = { kept };
        removed->parent = group;
        kept->parent = group;
        removed->cloud.make();
        return removed;
    }
};

QJsonObject dropboxEntry(const char* tag, const QString& path)
{
    return { { QStringLiteral(".tag"), QString::fromLatin1(tag) }, { QStringLiteral("name"), path.section('/', -1) },
        { QStringLiteral("path_display"), path }, { QStringLiteral("size"), 10 },
        { QStringLiteral("content_hash"), QStringLiteral("h") }, { QStringLiteral("rev"), QStringLiteral("r1") } };
}

QJsonObject dropboxPage(QJsonArray entries, const QString& cursor = {})
{
    return { { QStringLiteral("entries"), entries }, { QStringLiteral("cursor"), cursor },
        { QStringLiteral("has_more"), !cursor.isEmpty() } };
}

// The root lists a file and "Sub" over three pages; "/Sub" and "/Other"
// hold a file each in one page.
class Dropbox : public ServiceTest<DropBoxHandler> {
protected:
    QStringList listedPaths;

    void SetUp() override
    {
        ServiceTest::SetUp();
        server.route("POST", QStringLiteral("/api/2/files/list_folder"), [this](const FakeHttpRequest& request) {
            const QString path = request.json().value(QStringLiteral("path")).toString();
            listedPaths << path;
            if (!path.isEmpty())
                return FakeHttpResponse::json(200, dropboxPage({ dropboxEntry("file", path + "/f.txt") }));
            return FakeHttpResponse::json(200, dropboxPage({ dropboxEntry("file", "/a.txt") }, "c1"));
        });
        server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"), [](const FakeHttpRequest& request) {
            if (request.json().value(QStringLiteral("cursor")).toString() == QLatin1String("c1"))
                return FakeHttpResponse::json(200, dropboxPage({ dropboxEntry("folder", "/Sub") }, "c2"));
            return FakeHttpResponse::json(200, dropboxPage({ dropboxEntry("file", "/b.txt") }));
        });
    }

    static CloudScanFoldersListPtr folder(const QString& path)
    {
        auto node = std::make_shared<CloudScanFoldersList>();
        node->folderPath = path;
        return node;
    }
};

} // namespace

TEST_F(Dropbox, PagesAreFollowedAndCompleteFoldersAreNotAskedAgain)
{
    scan({ handler->makeRootFolderNode() });
    EXPECT_EQ(listedPaths, QStringList({ "", "/Sub" }));
    EXPECT_EQ(server.requestCount("POST", QStringLiteral("/api/2/files/list_folder/continue")), 2);
    EXPECT_EQ(sink.paths, QStringList({ "Dropbox/a.txt", "Dropbox/b.txt", "Dropbox/Sub/f.txt" }));

    const size_t requests = server.requestLog.size();
    sink.paths.clear();
    scan({ handler->makeRootFolderNode() });
    EXPECT_EQ(server.requestLog.size(), requests);
    EXPECT_EQ(sink.paths.size(), 3);
}

TEST_F(Dropbox, AnExcludedFolderIsSkippedByAScanButShownInThePicker)
{
    scan({ handler->makeRootFolderNode() }, PathExclusionPredicate(QStringList { QStringLiteral("Dropbox/Sub") }));
    EXPECT_EQ(listedPaths, QStringList({ "" }));
    EXPECT_FALSE(sink.paths.contains(QStringLiteral("Dropbox/Sub/f.txt")));

    handler->rootFolderObj.reset();
    handler->isCompletListFetch = false;
    handler->fetchChildFolders(handler->makeRootFolderNode());
    ASSERT_TRUE(waitUntil([this] { return !handler->rootFolderObj->children.empty(); }));
    EXPECT_EQ(handler->rootFolderObj->children.front()->folderPath, QStringLiteral("Dropbox/Sub"));
}

TEST_F(Dropbox, ThePickerListsEveryPageAfterAStoppedScan)
{
    // As a confirmed Stop leaves the handler until the next Scan Now.
    handler->isCompletListFetch = true;
    handler->isAbortScanning = true;
    handler->fetchChildFolders(handler->makeRootFolderNode());
    ASSERT_TRUE(waitUntil([this] { return !handler->rootFolderObj->children.empty(); }));
    EXPECT_EQ(handler->rootFolderObj->children.front()->folderPath, QStringLiteral("Dropbox/Sub"));
    EXPECT_EQ(server.requestCount("POST", QStringLiteral("/api/2/files/list_folder/continue")), 2);
}

TEST_F(Dropbox, AFailedSignInIsToldAndTheUsersCancelIsNot)
{
    auto alerts = std::make_shared<RecordingAlerts>();
    setAlertPresenter(alerts);
    struct Outcomes : ScanWrapperDelegate {
        int failures = 0;
        void onAccessPermissionStatus(bool signedIn) override { failures += signedIn ? 0 : 1; }
        void OnScanCompletedProcess() override { }
    } outcomes;
    DropBoxHandler fresh(fakeServiceConfig(server));
    fresh.delegate = &outcomes;
    fresh.session().setBrowserOpener([this](const QUrl& url) {
        server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
    });
    server.declineNextSignIn = true;
    ASSERT_TRUE(fresh.authenticateCloud());
    ASSERT_TRUE(waitUntil([&] { return outcomes.failures == 1; }));
    ASSERT_EQ(alerts->messages(), QStringList { localizedText(QStringLiteral("ID_AUTHORIZATION_ERROR")) });
    EXPECT_FALSE(alerts->shown.front().informativeText.isEmpty());

    // The browser never comes back; the user cancels the wait.
    fresh.session().setBrowserOpener([](const QUrl&) {});
    ASSERT_TRUE(fresh.authenticateCloud());
    fresh.cancelAuthentication();
    EXPECT_EQ(outcomes.failures, 2);
    EXPECT_EQ(alerts->shown.size(), 1u);
    fresh.delegate = nullptr;
    setAlertPresenter(nullptr);
}

TEST_F(Dropbox, TwoChosenFoldersAreWalkedInTurnWithOneCompletion)
{
    scan({ folder(QStringLiteral("Dropbox/Sub")), folder(QStringLiteral("Dropbox/Other")) });
    EXPECT_EQ(listedPaths, QStringList({ "/Sub", "/Other" }));
    EXPECT_EQ(sink.paths, QStringList({ "Dropbox/Sub/f.txt", "Dropbox/Other/f.txt" }));
}

TEST_F(Dropbox, EntriesWhoseNameAndPathDisagreeAreSkipped)
{
    const auto named = [](const char* tag, const QString& name, const QString& path) {
        QJsonObject entry = dropboxEntry(tag, path);
        entry.insert(QStringLiteral("name"), name);
        return entry;
    };
    server.route("POST", QStringLiteral("/api/2/files/list_folder"), [&](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200,
            dropboxPage({ dropboxEntry("file", "/Photos/kept.jpg"),
                named("file", "holiday.jpg", "/Documents/taxes.pdf"), named("file", "holiday.jpg", "/Photos/taxes.pdf"),
                named("file", "a/b.jpg", "/Photos/x/../a/b.jpg"), named("file", "c.jpg", "/Photos/../c.jpg"),
                named("folder", "..", "/Photos/.."), named("folder", "Deep", "/Photos//Deep"),
                named("folder", "Sub", "/Elsewhere/Sub"), dropboxEntry("folder", "/PHOTOS/Trip") }));
    });
    server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"),
        [](const FakeHttpRequest&) { return FakeHttpResponse::json(200, dropboxPage({})); });
    CloudScanFoldersListPtr photos = folder(QStringLiteral("Dropbox/Photos"));
    photos->isIncludeSubFolders = false;
    scan({ photos });
    EXPECT_EQ(sink.paths, QStringList { "Dropbox/Photos/kept.jpg" });
    ASSERT_EQ(photos->children.size(), 1u);
    EXPECT_EQ(photos->children.front()->folderName, QStringLiteral("Trip"));
}

TEST_F(Dropbox, ACursorHandedOutAgainEndsTheListingInAScanAndInThePicker)
{
    server.route("POST", QStringLiteral("/api/2/files/list_folder"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200, dropboxPage({ dropboxEntry("file", "/a.txt") }, "again"));
    });
    server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200, dropboxPage({ dropboxEntry("file", "/b.txt") }, "again"));
    });
    scan({ handler->makeRootFolderNode() });
    EXPECT_TRUE(handler->lastWalkIncomplete);
    EXPECT_FALSE(handler->rootFolderObj->isAllFilesFetched);
    EXPECT_EQ(server.requestCount("POST", QStringLiteral("/api/2/files/list_folder/continue")), 1);

    EXPECT_TRUE(listRootForPicker());
    EXPECT_EQ(server.requestCount("POST", QStringLiteral("/api/2/files/list_folder/continue")), 2);
}

TEST_F(Dropbox, AListingEndsAtItsBoundOfEntries)
{
    int pages = 0;
    const auto fresh = [&pages](const FakeHttpRequest&) {
        ++pages;
        return FakeHttpResponse::json(
            200, dropboxPage({ dropboxEntry("file", QStringLiteral("/f%1.txt").arg(pages)) }, QString::number(pages)));
    };
    server.route("POST", QStringLiteral("/api/2/files/list_folder"), fresh);
    server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"), fresh);
    handler->listingLimits.entries = 10;
    scan({ handler->makeRootFolderNode() });
    EXPECT_TRUE(handler->lastWalkIncomplete);
    EXPECT_EQ(pages, 11);
    EXPECT_EQ(sink.paths.size(), 10);
}

// A scan's walk ended by its bound of pages or of entries tells which bound
// it met and the files it listed, as the scan's notice reads them: every one
// handed on, no more.
TEST_F(Dropbox, AWalkEndedAtItsBoundOfPagesOrEntriesTellsTheBoundAndTheFilesListed)
{
    const FlatCloudFolder flat { 50000000, 0 };
    flat.serveDropbox(server);
    for (const bool ofPages : { true, false }) {
        SCOPED_TRACE(ofPages ? "pages" : "entries");
        handler->listingLimits = ListingLimits {};
        if (ofPages)
            handler->listingLimits.pages = 4;
        else
            handler->listingLimits.entries = 4500;
        sink.paths.clear();
        handler->rootFolderObj.reset();
        scan({ handler->makeRootFolderNode() });
        EXPECT_EQ(sink.paths.size(), 4000);
        const std::optional<ListingBound> bound = handler->lastWalkBound();
        ASSERT_TRUE(bound);
        EXPECT_TRUE(bound->wholeListing);
        EXPECT_EQ(listingBoundTexts(*bound, false).second,
            formatText(localizedText(ofPages ? "ID_CLOUD_LISTING_TOO_MANY_PAGES_DETAILS"
                                             : "ID_CLOUD_LISTING_TOO_MANY_ENTRIES_DETAILS"),
                { QLocale().toString(ofPages ? 4 : 4500), QLocale().toString(4000), "DropBox" }));
    }
}

TEST_F(Dropbox, AFlatFolderOf150000FilesIsListedWholeInAScanAndInThePicker)
{
    const FlatCloudFolder flat { 150000, 3 };
    flat.serveDropbox(server);
    expectFlatFolderListedWhole(flat);
}

namespace {

// Dropbox pages without end: every answer names a fresh cursor and holds what
// entries makes of its number.
void dropboxWithoutEnd(FakeHttpServer& server, int& pages, std::function<QJsonArray(int)> entries)
{
    const auto answer = [&pages, entries](const FakeHttpRequest&) {
        ++pages;
        return FakeHttpResponse::json(200, dropboxPage(entries(pages), QStringLiteral("c%1").arg(pages)));
    };
    server.route("POST", QStringLiteral("/api/2/files/list_folder"), answer);
    server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"), answer);
}

// A thousand files of a folder (the root by default), told apart by page.
QJsonArray dropboxFiles(int page, const QString& folder = {})
{
    QJsonArray files;
    for (int i = 0; i < 1000; ++i)
        files.append(dropboxEntry("file", folder + QStringLiteral("/f%1-%2.txt").arg(page).arg(i)));
    return files;
}

} // namespace

TEST_F(Dropbox, PagesThatBringNothingNewEndTheListingAfterAFewRequests)
{
    int pages = 0;
    handler->listingLimits.pages = 200;
    // The same thousand files under a fresh cursor each time; then one page
    // of them followed by pages without entries.
    for (const bool thenEmpty : { false, true }) {
        dropboxWithoutEnd(server, pages,
            [thenEmpty](int page) { return thenEmpty && page > 1 ? QJsonArray {} : dropboxFiles(0); });
        pages = 0;
        sink.paths.clear();
        handler->rootFolderObj.reset();
        const EndlessListing run
            = scanWithoutEnd(thenEmpty ? "Dropbox pages without entries" : "repeated Dropbox pages", [&] { return pages; });
        EXPECT_TRUE(run.ended);
        EXPECT_LE(run.requests, 12);
        EXPECT_EQ(sink.paths.size(), 1000);
        EXPECT_TRUE(handler->lastWalkIncomplete);
    }
}

TEST_F(Dropbox, NewFilesWithoutEndEndAtTheBoundsOfMemoryOfAFolderAndOfTheWalkAndAreTold)
{
    // Without bounds of memory, only this many entries would end a walk.
    handler->listingLimits.entries = 300000;
    handler->listingLimits.folderBytes = 8 << 20;
    handler->listingLimits.listingBytes = 16 << 20;
    int requests = 0;
    // One folder whose pages bring new files for ever; then a walk whose
    // every folder holds one page of them and a folder deeper.
    dropboxWithoutEnd(server, requests, [](int page) { return dropboxFiles(page); });
    for (const bool deeper : { false, true }) {
        if (deeper)
            server.route("POST", QStringLiteral("/api/2/files/list_folder"), [&](const FakeHttpRequest& request) {
                const QString path = request.json().value(QStringLiteral("path")).toString();
                QJsonArray entries = dropboxFiles(++requests, path);
                entries.append(dropboxEntry("folder", path + QStringLiteral("/d")));
                return FakeHttpResponse::json(200, dropboxPage(entries));
            });
        requests = 0;
        sink.paths.clear();
        handler->rootFolderObj.reset();
        const EndlessListing run = scanWithoutEnd(
            deeper ? "Dropbox folders of new files" : "Dropbox pages of new files", [&] { return requests; });
        EXPECT_TRUE(run.ended);
        EXPECT_LE(run.requests, 30);
        EXPECT_LT(run.peakBytes, scaledMemoryBound(96ll << 20));
        EXPECT_TRUE(handler->lastWalkIncomplete);
        // Told as the bound it is, with the files listed up to it: no fault
        // of the service.
        EXPECT_FALSE(handler->lastWalkUnanswered);
        const std::optional<ListingBound> bound = handler->lastWalkBound();
        ASSERT_TRUE(bound);
        EXPECT_EQ(bound->wholeListing, deeper);
        EXPECT_EQ(bound->files, sink.paths.size());
        EXPECT_GT(bound->files, 4000);
        EXPECT_EQ(bound->folder, deeper ? sink.paths.back().section(QLatin1Char('/'), 0, -2) : QStringLiteral("DropBox"));
    }
}

TEST_F(Dropbox, DeleteAnswersAtTheScannedRevision)
{
    struct Case {
        int status;
        const char* summary;
        bool removed;
    };
    const Case cases[] = { { 200, "", true }, { 409, "path_lookup/not_found/..", true },
        { 409, "path/conflict/..", false }, { 500, "", false } };
    for (const Case& row : cases) {
        server.route("POST", QStringLiteral("/api/2/files/delete_v2"), [&row](const FakeHttpRequest&) {
            return FakeHttpResponse::json(row.status,
                { { QStringLiteral("error_summary"), QString::fromLatin1(row.summary) },
                    { QStringLiteral("metadata"), QJsonObject {} } });
        });
        auto record = std::make_shared<FileInfoNode>();
        record->filePath = QStringLiteral("Dropbox/Dropbox/a.txt");
        record->cloudFields().dropBoxFile = DropboxFileMetadata::fromJson(dropboxEntry("file", "/Dropbox/a.txt"));
        EXPECT_EQ(onWorker([&] { return handler->deleteCloudFile(record); }), row.removed) << row.status;
        const QJsonObject sent = server.requestLog.back().json();
        EXPECT_EQ(sent.value(QStringLiteral("path")).toString(), QStringLiteral("/Dropbox/a.txt"));
        EXPECT_EQ(sent.value(QStringLiteral("parent_rev")).toString(), QStringLiteral("r1"));
    }
}

TEST_F(Dropbox, RestoreWaitsOutARateLimitAndAnswersOnce)
{
    int calls = 0;
    server.route("POST", QStringLiteral("/api/2/files/copy_v2"), [&calls](const FakeHttpRequest&) {
        FakeHttpResponse response = FakeHttpResponse::json(++calls == 1 ? 429 : 200, {});
        response.headers.append(std::pair<QByteArray, QByteArray>("Retry-After", "0"));
        return response;
    });
    auto removed = std::make_shared<FileInfoNode>();
    removed->filePath = QStringLiteral("Dropbox/x/a.txt");
    auto kept = std::make_shared<FileInfoNode>();
    kept->filePath = QStringLiteral("Dropbox/y/a.txt");
    std::vector<bool> answers;
    handler->restoreCloudFile(restorable(removed, kept), [&](bool ok) { answers.push_back(ok); });
    ASSERT_TRUE(waitUntil([&] { return !answers.empty(); }));
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(answers, std::vector<bool>({ true }));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(
        server.requestLog.back().json().value(QStringLiteral("from_path")).toString(), QStringLiteral("/y/a.txt"));
}

TEST_F(Dropbox, RestoreFromAKeptCopyWithoutAPathSendsNothing)
{
    auto removed = std::make_shared<FileInfoNode>();
    removed->filePath = QStringLiteral("Dropbox/x/a.txt");
    std::vector<bool> answers;
    handler->restoreCloudFile(
        restorable(removed, std::make_shared<FileInfoNode>()), [&](bool ok) { answers.push_back(ok); });
    EXPECT_EQ(answers, std::vector<bool>({ false }));
    EXPECT_EQ(server.requestCount("POST", QStringLiteral("/api/2/files/copy_v2")), 0);
}

namespace {

using Box = ServiceTest<BoxCloudHandler>;

QJsonObject boxItem(const char* type, const char* id, const char* name)
{
    return { { QStringLiteral("type"), QString::fromLatin1(type) }, { QStringLiteral("id"), QString::fromLatin1(id) },
        { QStringLiteral("name"), QString::fromLatin1(name) }, { QStringLiteral("size"), 5 },
        { QStringLiteral("sha1"), QStringLiteral("s-%1").arg(QString::fromLatin1(id)) } };
}

} // namespace

TEST_F(Box, ListsFolderPagesWithTheBearerToken)
{
    server.route("GET", QStringLiteral("/api/folders/0/items"), [this](const FakeHttpRequest& request) {
        EXPECT_TRUE(server.isAuthorized(request));
        const bool first = request.query.queryItemValue(QStringLiteral("offset")) == QLatin1String("0");
        const QJsonArray entries = first ? QJsonArray { boxItem("file", "11", "a.txt"), boxItem("folder", "7", "Sub") }
                                         : QJsonArray { boxItem("file", "12", "b.txt") };
        return FakeHttpResponse::json(
            200, { { QStringLiteral("entries"), entries }, { QStringLiteral("total_count"), 3 } });
    });
    server.route("GET", QStringLiteral("/api/folders/7/items"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(
            200, { { QStringLiteral("entries"), QJsonArray {} }, { QStringLiteral("total_count"), 0 } });
    });
    scan({ handler->makeRootFolderNode() });
    EXPECT_EQ(sink.paths, QStringList({ "Box/a.txt", "Box/b.txt" }));
    EXPECT_EQ(server.requestCount("GET", QStringLiteral("/api/folders/0/items")), 2);
    EXPECT_EQ(server.requestCount("GET", QStringLiteral("/api/folders/7/items")), 1);
    const CloudScanFoldersListPtr root = handler->rootFolderObj;
    ASSERT_EQ(root->arrCloudFolderFiles.size(), 2u);
    const FileInfoNode& record = *root->arrCloudFolderFiles.front();
    EXPECT_EQ(record.md5, QStringLiteral("s-11"));
    EXPECT_EQ(record.cloud->fileId, QStringLiteral("11"));
    EXPECT_EQ(root->children.front()->folderPath, QStringLiteral("Box/Sub"));
}

TEST_F(Box, AHostileTotalCountEndsAtTheListingsBoundOfPages)
{
    int pages = 0;
    server.route("GET", QStringLiteral("/api/folders/0/items"), [&pages](const FakeHttpRequest& request) {
        ++pages;
        const QByteArray id = request.query.queryItemValue(QStringLiteral("offset")).toLatin1() + "1";
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"), QJsonArray { boxItem("file", id.constData(), "a.txt") } },
                { QStringLiteral("total_count"), 1e15 } });
    });
    handler->listingLimits.pages = 20;
    scan({ handler->makeRootFolderNode() });
    EXPECT_TRUE(handler->lastWalkIncomplete);
    EXPECT_EQ(pages, 20);

    // A count past what a number holds exactly is no count: one page.
    pages = 0;
    server.route("GET", QStringLiteral("/api/folders/0/items"), [&pages](const FakeHttpRequest&) {
        ++pages;
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"), QJsonArray { boxItem("file", "1", "a.txt") } },
                { QStringLiteral("total_count"), 1e300 } });
    });
    handler->rootFolderObj.reset();
    scan({ handler->makeRootFolderNode() });
    EXPECT_EQ(pages, 1);
    EXPECT_FALSE(handler->lastWalkIncomplete);
}

TEST_F(Box, AFlatFolderOf150000FilesIsListedWholeInAScanAndInThePicker)
{
    const FlatCloudFolder flat { 150000, 3 };
    flat.serveBox(server);
    expectFlatFolderListedWhole(flat);
}

namespace {

// One page of a Box folder, with a total that always announces more.
FakeHttpResponse boxPageWithoutEnd(const QJsonArray& entries)
{
    return FakeHttpResponse::json(
        200, { { QStringLiteral("entries"), entries }, { QStringLiteral("total_count"), 1e15 } });
}

} // namespace

TEST_F(Box, APageThatBringsNothingNewEndsTheListingAndEntriesMetAgainAreTakenOnce)
{
    // A full page of the same thousand files, whatever the offset.
    QJsonArray same;
    std::vector<QByteArray> ids;
    for (int i = 0; i < 1000; ++i) {
        ids.push_back(QByteArray::number(100000 + i));
        same.append(boxItem("file", ids.back().constData(), ("f" + ids.back() + ".txt").constData()));
    }
    server.route("GET", QStringLiteral("/api/folders/0/items"),
        [&](const FakeHttpRequest&) { return boxPageWithoutEnd(same); });
    scan({ handler->makeRootFolderNode() });
    EXPECT_EQ(server.requestCount("GET", QStringLiteral("/api/folders/0/items")), 2);
    EXPECT_EQ(sink.paths.size(), 1000);
    EXPECT_TRUE(handler->lastWalkIncomplete);

    // Offsets shifted by a change of the folder: a file met again is one file,
    // and the listing goes on while pages bring new ones.
    server.route("GET", QStringLiteral("/api/folders/0/items"), [](const FakeHttpRequest& request) {
        const bool first = request.query.queryItemValue(QStringLiteral("offset")) == QLatin1String("0");
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"),
                  first ? QJsonArray { boxItem("file", "1", "a.txt"), boxItem("file", "2", "b.txt") }
                        : QJsonArray { boxItem("file", "2", "b.txt"), boxItem("file", "3", "c.txt") } },
                { QStringLiteral("total_count"), 4 } });
    });
    sink.paths.clear();
    handler->rootFolderObj.reset();
    scan({ handler->makeRootFolderNode() });
    EXPECT_EQ(sink.paths, QStringList({ "Box/a.txt", "Box/b.txt", "Box/c.txt" }));
    EXPECT_FALSE(handler->lastWalkIncomplete);
}

TEST_F(Box, APickerListingThatKeepsBringingNewFoldersEndsAtItsBoundOfMemoryAndIsTold)
{
    struct Ends : ScanWrapperDelegate {
        int count = 0;
        void OnScanCompletedProcess() override { ++count; }
    } ends;
    handler->delegate = &ends;
    int pages = 0;
    server.route("GET", QStringLiteral("/api/folders/0/items"), [&](const FakeHttpRequest&) {
        QJsonArray fresh;
        for (int i = 0; i < 1000; ++i) {
            const QByteArray id = QByteArray::number(pages * 1000 + i + 1);
            fresh.append(boxItem("folder", id.constData(), ("d" + id).constData()));
        }
        ++pages;
        return boxPageWithoutEnd(fresh);
    });
    handler->listingLimits.folderBytes = 4 * 1024 * 1024;
    handler->isCompletListFetch = false;
    handler->fetchChildFolders(handler->makeRootFolderNode());
    ASSERT_TRUE(waitUntil([&] { return ends.count > 0; }));
    EXPECT_LE(pages, 20);
    EXPECT_TRUE(handler->pickerListingCutShort);
    EXPECT_EQ(ends.count, 1);
    handler->delegate = nullptr;
}

TEST_F(Box, AFolderListedAsItsOwnDescendantIsWalkedOnce)
{
    server.route("GET", QStringLiteral("/api/folders/0/items"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"), QJsonArray { boxItem("folder", "7", "Sub") } },
                { QStringLiteral("total_count"), 1 } });
    });
    server.route("GET", QStringLiteral("/api/folders/7/items"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"),
                  QJsonArray { boxItem("file", "8", "b.txt"), boxItem("folder", "7", "Again") } },
                { QStringLiteral("total_count"), 2 } });
    });
    scan({ handler->makeRootFolderNode() });
    EXPECT_EQ(sink.paths, QStringList { "Box/Sub/b.txt" });
    EXPECT_EQ(server.requestCount("GET", QStringLiteral("/api/folders/7/items")), 1);
}

TEST_F(Box, DeleteCountsOnly204)
{
    for (const auto& [status, removed] : { std::pair { 204, true }, { 404, false }, { 401, false } }) {
        server.route("DELETE", QStringLiteral("/api/files/11"), [status = status](const FakeHttpRequest&) {
            return FakeHttpResponse { status, {}, "application/json", {}, false };
        });
        auto record = std::make_shared<FileInfoNode>();
        record->cloudFields().fileId = QStringLiteral("11");
        EXPECT_EQ(onWorker([&] { return handler->deleteCloudFile(record); }), removed) << status;
        EXPECT_TRUE(server.requestLog.back().header("Authorization").startsWith("Bearer "));
    }
}

TEST_F(Box, RestoreCopiesTheKeptFileIntoTheRemovedOnesFolder)
{
    for (const auto& [status, restored] : { std::pair { 201, true }, { 200, false } }) {
        server.route("POST", QStringLiteral("/api/files/12/copy"),
            [status = status](const FakeHttpRequest&) { return FakeHttpResponse::json(status, {}); });
        auto removed = std::make_shared<FileInfoNode>();
        removed->fileName = QStringLiteral("a.txt");
        auto kept = std::make_shared<FileInfoNode>();
        kept->cloudFields().fileId = QStringLiteral("12");
        restorable(removed, kept)->cloudFields().folderIdForBoxCloud = QStringLiteral("7");
        std::vector<bool> answers;
        handler->restoreCloudFile(removed, [&](bool ok) { answers.push_back(ok); });
        ASSERT_TRUE(waitUntil([&] { return !answers.empty(); }));
        EXPECT_EQ(answers, std::vector<bool>({ restored }));
        const FakeHttpRequest& sent = server.requestLog.back();
        EXPECT_EQ(sent.header("Content-Type"), "application/json");
        EXPECT_EQ(sent.json().value(QStringLiteral("parent")).toObject().value(QStringLiteral("id")).toString(), "7");
        EXPECT_EQ(sent.json().value(QStringLiteral("name")).toString(), QStringLiteral("a.txt"));
        EXPECT_EQ(sent.json().value(QStringLiteral("source_id")).toString(), QStringLiteral("12"));
    }
}

TEST_F(Box, NamesThatWouldMergeIntoAnotherPathAndUnusableIdsAreSkipped)
{
    server.route("GET", QStringLiteral("/api/folders/0/items"), [](const FakeHttpRequest&) {
        const QJsonArray entries { boxItem("folder", "7", "Sub"), boxItem("file", "13", "Sub/a.txt"),
            boxItem("folder", "8", ".."), boxItem("file", "14", ""), boxItem("file", "../15", "b.txt"),
            boxItem("folder", "9", "Sub/Deeper"), boxItem("file", "16", "c.txt") };
        return FakeHttpResponse::json(
            200, { { QStringLiteral("entries"), entries }, { QStringLiteral("total_count"), entries.size() } });
    });
    server.route("GET", QStringLiteral("/api/folders/7/items"), [](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"), QJsonArray { boxItem("file", "17", "a.txt") } },
                { QStringLiteral("total_count"), 1 } });
    });
    scan({ handler->makeRootFolderNode() });
    EXPECT_EQ(sink.paths, QStringList({ "Box/c.txt", "Box/Sub/a.txt" }));
    EXPECT_EQ(handler->rootFolderObj->children.size(), 1u);
    EXPECT_FALSE(handler->lastWalkIncomplete);
}

// A page is read without a network or a sign-in: what the fuzz targets rely on.
TEST(ListingPages, AreReadWithoutASignInAndAStoppedScanCutsAPageShort)
{
    BoxCloudHandler box { CloudServiceConfig {} };
    box.isCompletListFetch = true;
    const CloudScanFoldersListPtr root = box.makeRootFolderNode();
    const QJsonArray entries { boxItem("file", "1", "a.txt"), boxItem("folder", "2", "Sub"),
        boxItem("folder", "3", "..") };
    FolderPages pages;
    ASSERT_EQ(box.addBoxEntries(entries, *root, pages), 3);
    const FolderListing& listing = pages.listing;
    ASSERT_EQ(listing.files.size(), 1u);
    EXPECT_EQ(listing.files[0]->filePath, QStringLiteral("Box/a.txt"));
    ASSERT_EQ(listing.subFolders.size(), 1u);
    EXPECT_EQ(listing.subFolders[0]->folderPath, QStringLiteral("Box/Sub"));

    box.isAbortScanning = true;
    FolderPages stopped;
    EXPECT_FALSE(box.addBoxEntries(entries, *root, stopped));
    EXPECT_TRUE(stopped.listing.files.empty());

    DropBoxHandler dropbox { CloudServiceConfig {} };
    FolderPages page;
    const QJsonArray dropboxEntries { QJsonObject { { QStringLiteral(".tag"), QStringLiteral("folder") },
        { QStringLiteral("name"), QStringLiteral("Sub") },
        { QStringLiteral("path_display"), QStringLiteral("/Sub") } } };
    ASSERT_TRUE(dropbox.addDropboxEntries(dropboxEntries, dropbox.makeRootFolderNode(), page));
    ASSERT_EQ(page.listing.subFolders.size(), 1u);
    EXPECT_EQ(page.listing.subFolders[0]->folderPath, QStringLiteral("Dropbox/Sub"));
}
