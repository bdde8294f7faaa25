#include "cloud/GoogleDriveHandler.h"

#include "base/UserDefaults.h"
#include "cloud/SecretStore.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "scan/ScanRequest.h"
#include "support/EndlessAnswers.h"
#include "support/FakeGoogle.h"
#include "support/FlatCloudFolder.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

struct Delegate : ScanWrapperDelegate {
    std::vector<bool> outcomes;
    int completions = 0;
    void OnScanCompletedProcess() override { ++completions; }
    void onAccessPermissionStatus(bool signedIn) override { outcomes.push_back(signedIn); }
};

QJsonObject item(const QString& id, const QString& name, const QString& md5 = {}, int size = -1)
{
    return FakeGoogle::item(id, name, md5, size);
}

class Drive : public ::testing::Test {
protected:
    TempHome home;
    UserDefaults defaults { home.configHome() };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    FakeGoogle google;
    FakeHttpServer& server = google.server;
    QHash<QString, std::vector<QJsonArray>>& tree = google.tree;
    MemorySecretStore secrets;
    Delegate delegate;
    std::unique_ptr<GoogleDriveHandler> drive;
    std::vector<std::pair<QString, DriveFilesPage>> pages;
    std::tuple<bool, decltype(scanCategoryFlags)> saved;

    void SetUp() override
    {
        startApplicationCore(defaults);
        setAlertPresenter(alerts);
        saved = { isAllFileTypesSelected, scanCategoryFlags };
        isAllFileTypesSelected = true;
        scanCategoryFlags.fill(true);
        ASSERT_TRUE(google.start());
        tree.insert(QStringLiteral("root"),
            { QJsonArray { item(QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("folder")),
                  item(QStringLiteral("doc"), QStringLiteral("notes.jpg")) },
                QJsonArray { item(QStringLiteral("e"), QStringLiteral("empty.jpg"), QStringLiteral("d41d"), 0),
                    item(QStringLiteral("f0"), QStringLiteral("top.jpg"), QStringLiteral("m0"), 200000) } });
        tree.insert(QStringLiteral("a"),
            { QJsonArray { item(QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("folder")) } });
        tree.insert(QStringLiteral("b"),
            { QJsonArray { item(QStringLiteral("f"), QStringLiteral("f.jpg"), QStringLiteral("m1"), 200000) } });
        tree.insert(QStringLiteral("it's\\"),
            { QJsonArray { item(QStringLiteral("g"), QStringLiteral("g.jpg"), QStringLiteral("m2"), 200000) } });

        const CloudServiceConfig config = CloudConfig::fromJson(QStringLiteral("google"), google.config());
        drive = std::make_unique<GoogleDriveHandler>(config, &secrets);
        drive->delegate = &delegate;
        drive->setRedirectBase(QStringLiteral("http://127.0.0.1:4712"));
        drive->setBrowserOpener([this](const QUrl& url) {
            server.browse(url, [this](const QUrl& redirect) { drive->resumeSignIn(redirect); });
        });
        drive->setPageSink(
            [this](const QString& id, bool, const DriveFilesPage& page) { pages.emplace_back(id, page); });
    }

    void TearDown() override
    {
        std::tie(isAllFileTypesSelected, scanCategoryFlags) = saved;
        setAlertPresenter(nullptr);
    }

    // A scan of every file type and size.
    static ScanRequest anySizeRequest()
    {
        ScanRequest request;
        request.filters = makeScanSettingsSnapshot();
        request.filters.scanAnyFileSize = true;
        return request;
    }

    // What a scan of My Drive handed on, the engine's way: every page's
    // token followed, sub-folders not asked for.
    struct RootScan {
        size_t files = 0;
        // Some page failed, was cut short or met a bound.
        bool told = false;
        std::optional<ListingBound> bound;
    };
    RootScan scanRoot(int limitMs, const ComparisonSettings& comparison = ComparisonSettings())
    {
        RootScan scan;
        bool over = false;
        drive->setPageSink([&](const QString& id, bool subFolders, const DriveFilesPage& page) {
            scan.files += page.files.size();
            scan.told = scan.told || page.failed || page.cutShort || page.bound;
            if (page.bound)
                scan.bound = page.bound;
            if (page.nextPageToken && !page.failed)
                drive->executeFilesListQuery(id, subFolders, page.nextPageToken);
            else
                over = true;
        });
        ScanRequest request = anySizeRequest();
        request.comparison = comparison;
        drive->beginListing(request);
        drive->executeFilesListQuery(GoogleDriveHandler::rootId(), true, std::nullopt);
        EXPECT_TRUE(waitUntil([&] { return over; }, limitMs));
        drive->setPageSink(nullptr);
        return scan;
    }

    bool signIn()
    {
        const size_t before = delegate.outcomes.size();
        EXPECT_TRUE(drive->authenticateCloud());
        EXPECT_TRUE(waitUntil([&] { return delegate.outcomes.size() > before; }));
        return delegate.outcomes.size() > before && delegate.outcomes.back();
    }
};

} // namespace

TEST_F(Drive, SignInKeepsOneItemUntilQuitAndADeclineAlerts)
{
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(signIn());
    EXPECT_EQ(secrets.items.keys(), QStringList { QStringLiteral("Authorization1") });
    EXPECT_EQ(server.verifierMismatches, 0);
    drive->signOutAtQuit();
    EXPECT_TRUE(secrets.items.isEmpty());

    server.declineNextSignIn = true;
    EXPECT_FALSE(signIn());
    EXPECT_FALSE(drive->isAuthenticateForScan);
    EXPECT_EQ(alerts->shown.size(), 1u);
}

// The sign-in asks for full access to the user's Drive, which listing every
// folder, trashing and untrashing need; a configuration may name another
// scope instead.
TEST_F(Drive, TheSignInAsksForTheWholeDriveUnlessTheConfigurationNamesAScope)
{
    const auto askedScope = [this] {
        for (auto it = server.requestLog.rbegin(); it != server.requestLog.rend(); ++it)
            if (it->path == QLatin1String("/authorize"))
                return it->query.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded);
        return QStringLiteral("(no sign-in page asked for)");
    };
    ASSERT_TRUE(signIn());
    EXPECT_EQ(askedScope(), QStringLiteral("https://www.googleapis.com/auth/drive"));

    QJsonObject named = google.config();
    named.insert(QStringLiteral("scope"), QStringLiteral("https://www.googleapis.com/auth/drive.file"));
    drive = std::make_unique<GoogleDriveHandler>(CloudConfig::fromJson(QStringLiteral("google"), named), &secrets);
    drive->delegate = &delegate;
    drive->setRedirectBase(QStringLiteral("http://127.0.0.1:4712"));
    drive->setBrowserOpener([this](const QUrl& url) {
        server.browse(url, [this](const QUrl& redirect) { drive->resumeSignIn(redirect); });
    });
    ASSERT_TRUE(signIn());
    EXPECT_EQ(askedScope(), QStringLiteral("https://www.googleapis.com/auth/drive.file"));
}

// A scan's listing ended by its bound of pages or of entries tells the files
// it listed: every one handed on, no more.
TEST_F(Drive, AScanEndedAtItsBoundOfPagesOrEntriesTellsTheFilesListed)
{
    ASSERT_TRUE(signIn());
    const FlatCloudFolder flat { 50000000, 0 };
    flat.serveDrive(server, QStringLiteral("lh3.thumbs.test"));
    for (const bool ofPages : { true, false }) {
        SCOPED_TRACE(ofPages ? "pages" : "entries");
        drive->listingLimits = ListingLimits {};
        if (ofPages)
            drive->listingLimits.pages = 4;
        else
            drive->listingLimits.entries = 4500;
        const RootScan scan = scanRoot(30000);
        ASSERT_TRUE(scan.bound);
        EXPECT_TRUE(scan.bound->wholeListing);
        EXPECT_EQ(scan.files, 4000u);
        EXPECT_EQ(scan.bound->files, 4000);
    }
}

TEST_F(Drive, TwoExpansionsAnsweredOutOfOrderHangUnderTheirOwnParents)
{
    tree[QStringLiteral("root")][1].append(item(QStringLiteral("c"), QStringLiteral("C"), QStringLiteral("folder")));
    tree.insert(QStringLiteral("c"),
        { QJsonArray { item(QStringLiteral("d"), QStringLiteral("D"), QStringLiteral("folder")) } });
    ASSERT_TRUE(signIn());
    CloudScanFoldersListPtr root = drive->makeRootFolderNode();
    drive->fetchChildFolders(root);
    ASSERT_TRUE(waitUntil([&] { return root->children.size() == 2; }));
    const CloudScanFoldersListPtr a = root->children.at(0);
    const CloudScanFoldersListPtr c = root->children.at(1);

    google.holdFor = QStringLiteral("a");
    drive->fetchChildFolders(a);
    ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }));
    drive->fetchChildFolders(c);
    ASSERT_TRUE(waitUntil([&] { return !c->children.empty(); }));
    EXPECT_TRUE(a->children.empty());
    server.releaseHeld();
    ASSERT_TRUE(waitUntil([&] { return !a->children.empty(); }));

    ASSERT_EQ(a->children.size(), 1u);
    ASSERT_EQ(c->children.size(), 1u);
    EXPECT_EQ(a->children.front()->folderPath, QStringLiteral("My Drive/A/B"));
    EXPECT_EQ(c->children.front()->folderPath, QStringLiteral("My Drive/C/D"));
}

TEST_F(Drive, ListingSkipsDocsAndEmptyFilesReportsFailuresAndEscapesIds)
{
    ASSERT_TRUE(signIn());
    drive->beginListing(anySizeRequest());
    drive->executeFilesListQuery(QStringLiteral("root"), true, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return pages.size() == 1; }));
    drive->executeFilesListQuery(QStringLiteral("root"), true, pages.front().second.nextPageToken);
    drive->executeFilesListQuery(QStringLiteral("a"), true, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return pages.size() == 3; }));
    drive->executeFilesListQuery(QStringLiteral("b"), true, std::nullopt);
    drive->executeFilesListQuery(QStringLiteral("fail"), true, std::nullopt);
    drive->executeFilesListQuery(QStringLiteral("it's\\"), false, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return pages.size() == 6; }));

    QStringList paths;
    QStringList subFolders;
    int failed = 0;
    for (const auto& [id, page] : pages) {
        failed += page.failed ? 1 : 0;
        for (const FileInfoNodePtr& record : page.files)
            paths << record->filePath.value_or(QString());
        for (const auto& sub : page.subFolders)
            subFolders << sub.second;
    }
    paths.sort();
    EXPECT_EQ(paths,
        QStringList({ QStringLiteral("My Drive/A/B/f.jpg"), QStringLiteral("My Drive/g.jpg"),
            QStringLiteral("My Drive/top.jpg") }));
    EXPECT_EQ(subFolders, QStringList({ QStringLiteral("My Drive/A"), QStringLiteral("My Drive/A/B") }));
    EXPECT_EQ(failed, 1);
}

TEST_F(Drive, AScanListingEndsAtARepeatedTokenAndSkipsAFolderMetAgain)
{
    ASSERT_TRUE(signIn());
    // "a" holds itself; "loop" hands out the same next page for ever, each
    // time with a new file.
    tree.insert(QStringLiteral("a"),
        { QJsonArray { item(QStringLiteral("a"), QStringLiteral("A again"), QStringLiteral("folder")) } });
    int loops = 0;
    server.route("GET", QStringLiteral("/api/files"), [this, &loops](const FakeHttpRequest& request) {
        const QString q = request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
        if (!q.startsWith(QLatin1String("'loop'")))
            return FakeHttpResponse::json(
                200, { { QStringLiteral("files"), tree.value(q.section(QLatin1Char('\''), 1, 1)).at(0) } });
        const QString id = QStringLiteral("x%1").arg(++loops);
        return FakeHttpResponse::json(200,
            { { QStringLiteral("files"), QJsonArray { item(id, id + QStringLiteral(".jpg"), id, 200000) } },
                { QStringLiteral("nextPageToken"), QStringLiteral("same") } });
    });
    drive->beginListing(anySizeRequest());
    drive->executeFilesListQuery(QStringLiteral("root"), true, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return pages.size() == 1; }));
    ASSERT_EQ(pages.back().second.subFolders.size(), 1u);
    drive->executeFilesListQuery(QStringLiteral("a"), true, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return pages.size() == 2; }));
    EXPECT_TRUE(pages.back().second.subFolders.empty());

    // As the engine follows every page's token.
    for (int i = 0; i < 3 && !pages.back().second.failed; ++i) {
        const size_t before = pages.size();
        drive->executeFilesListQuery(
            QStringLiteral("loop"), true, before == 2 ? std::nullopt : pages.back().second.nextPageToken);
        ASSERT_TRUE(waitUntil([&] { return pages.size() == before + 1; }));
    }
    EXPECT_TRUE(pages.back().second.failed);
    EXPECT_TRUE(drive->lastWalkIncomplete);
    EXPECT_EQ(pages.size(), 5u);
}

TEST_F(Drive, AChosenFolderWalkedAgainFromItsParentIsListedWholeBothTimes)
{
    ASSERT_TRUE(signIn());
    drive->beginListing(anySizeRequest());
    // Its own files as a chosen folder, then everything below as the walk
    // from its parent reaches it: the same queries, the same pages.
    for (const bool includeSubFolders : { false, true }) {
        const size_t before = pages.size();
        drive->executeFilesListQuery(QStringLiteral("root"), includeSubFolders, std::nullopt);
        ASSERT_TRUE(waitUntil([&] { return pages.size() == before + 1; }));
        drive->executeFilesListQuery(QStringLiteral("root"), includeSubFolders, pages.back().second.nextPageToken);
        ASSERT_TRUE(waitUntil([&] { return pages.size() == before + 2; }));
        EXPECT_FALSE(pages.back().second.failed);
    }
    EXPECT_FALSE(drive->lastWalkIncomplete);
}

namespace {

// Drive pages without end: every answer names a fresh token and holds a
// thousand files (or folders): new ones on every page, or the same ones.
void driveWithoutEnd(FakeHttpServer& server, int& pages, bool folders, bool fresh)
{
    server.route("GET", QStringLiteral("/api/files"), [&pages, folders, fresh](const FakeHttpRequest&) {
        QJsonArray files;
        const int page = ++pages;
        for (int i = 0; i < 1000; ++i) {
            const QString id = QStringLiteral("p%1-%2").arg(fresh ? page : 0).arg(i);
            files.append(item(id, id + QStringLiteral(".jpg"), folders ? QStringLiteral("folder") : id, 200000));
        }
        return FakeHttpResponse::json(
            200, { { QStringLiteral("files"), files }, { QStringLiteral("nextPageToken"), QString::number(page) } });
    });
}

// A listing started by start against such pages ends after a few requests,
// with its peak memory bounded, though only these bounds on pages and entries
// would end it otherwise.
void expectListingEnds(FakeHttpServer& server, GoogleDriveHandler& drive, bool folders, bool fresh,
    const std::function<void()>& start, const std::function<bool()>& ended)
{
    int requests = 0;
    driveWithoutEnd(server, requests, folders, fresh);
    drive.listingLimits.pages = 200;
    drive.listingLimits.entries = 300000;
    drive.listingLimits.folderBytes = 4 << 20;
    const char* name = folders ? (fresh ? "Drive picker pages of new folders" : "repeated Drive picker pages")
                               : (fresh ? "Drive scan pages of new files" : "repeated Drive scan pages");
    const EndlessListing run = runEndlessListing(name, start, ended, [&] { return requests; });
    EXPECT_TRUE(run.ended) << name;
    EXPECT_LE(run.requests, fresh ? 30 : 3) << name;
    EXPECT_LT(run.peakBytes, scaledMemoryBound(96ll << 20)) << name;
}

} // namespace

TEST_F(Drive, PagesThatBringNothingNewOrNewEntriesForEverEndInAScanAndInThePickerAndAreTold)
{
    ASSERT_TRUE(signIn());
    // As the engine: every page's token is followed and its records kept.
    bool over = false;
    drive->setPageSink([&](const QString& id, bool subFolders, const DriveFilesPage& page) {
        pages.emplace_back(id, page);
        if (page.nextPageToken && !page.failed)
            drive->executeFilesListQuery(id, subFolders, page.nextPageToken);
        else
            over = true;
    });
    for (const bool fresh : { true, false }) {
        over = false;
        pages.clear();
        const auto scan = [&] {
            drive->beginListing(anySizeRequest());
            drive->executeFilesListQuery(GoogleDriveHandler::rootId(), true, std::nullopt);
        };
        expectListingEnds(server, *drive, false, fresh, scan, [&] { return over; });
        EXPECT_TRUE(drive->lastWalkIncomplete);

        drive->pickerListingCutShort = false;
        drive->rootFolderObj.reset();
        const int before = delegate.completions;
        expectListingEnds(
            server, *drive, true, fresh, [&] { drive->fetchChildFolders(drive->makeRootFolderNode()); },
            [&] { return delegate.completions > before; });
        EXPECT_TRUE(drive->pickerListingCutShort);
    }
}

TEST_F(Drive, AFlatFolderOf150000PicturesIsListedWholeInAScanAndInThePicker)
{
    ASSERT_TRUE(signIn());
    const FlatCloudFolder flat { 150000, 3 };
    flat.serveDrive(server, QStringLiteral("lh3.thumbs.test"));
    // The albums are not asked for.
    const RootScan scan = scanRoot(120000);
    EXPECT_EQ(scan.files, size_t(flat.files));
    EXPECT_FALSE(scan.told);
    EXPECT_FALSE(drive->lastWalkIncomplete);

    const int before = delegate.completions;
    drive->fetchChildFolders(drive->makeRootFolderNode());
    ASSERT_TRUE(waitUntil([&] { return delegate.completions > before; }, 120000));
    EXPECT_EQ(drive->rootFolderObj->children.size(), size_t(flat.folders));
    EXPECT_FALSE(drive->pickerListingCutShort);
    EXPECT_FALSE(drive->pickerListingBound);
}

TEST_F(Drive, AScansListingCountsItsFilesWithTheComparisonTheScanWillRun)
{
    ASSERT_TRUE(signIn());
    const FlatCloudFolder flat { 20000, 0 };
    flat.serveDrive(server, QStringLiteral("lh3.thumbs.test"));
    drive->listingLimits.folderBytes = 16 << 20;
    // By checksum, by name, both dates and size, by similar names: each
    // ends at the folder's bound, told as such, the fewer files listed the
    // more the comparison holds for each.
    std::vector<size_t> listed;
    for (const QVariantList& options : { QVariantList {}, QVariantList { 1, 3, 4, 5 }, QVariantList { 2 } }) {
        ComparisonSettings comparison;
        comparison.compareContent = options.isEmpty();
        comparison.criteria = ComparisonCriteria::fromSearchOptions(options);
        const RootScan scan = scanRoot(60000, comparison);
        ASSERT_TRUE(scan.bound);
        EXPECT_FALSE(scan.bound->wholeListing);
        EXPECT_EQ(scan.bound->files, qint64(scan.files));
        listed.push_back(scan.files);
    }
    EXPECT_LT(listed[1] * 10, listed[0] * 9);
    EXPECT_LT(listed[2] * 10, listed[1] * 9);
}

TEST_F(Drive, ThumbnailLinksAreKeptOnlyOverHttpsFromTheConfiguredHosts)
{
    ASSERT_TRUE(signIn());
    const auto picture = [](const char* id, const char* link) {
        QJsonObject json
            = item(QString::fromLatin1(id), QString::fromLatin1(id) + ".jpg", QStringLiteral("m") + id, 200000);
        json.insert(QStringLiteral("thumbnailLink"), QString::fromLatin1(link));
        return json;
    };
    tree.insert(QStringLiteral("pics"),
        { QJsonArray { picture("kept", "https://lh3.thumbs.test/k"), picture("plain", "http://lh3.thumbs.test/p"),
            picture("lan", "https://192.168.1.5/l"), picture("near", "https://evilthumbs.test/n"),
            picture("file", "file:///etc/passwd") } });
    drive->beginListing(anySizeRequest());
    drive->executeFilesListQuery(QStringLiteral("pics"), false, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return pages.size() == 1; }));
    QStringList linked;
    for (const FileInfoNodePtr& record : pages.front().second.files) {
        ASSERT_TRUE(record->cloud);
        if (record->cloud->googleDriveThumbnailLink)
            linked << *record->cloud->googleDriveThumbnailLink;
        else
            EXPECT_TRUE(record->cloud->googleDriveFile->thumbnailLink.isEmpty());
    }
    EXPECT_EQ(pages.front().second.files.size(), 5u);
    EXPECT_EQ(linked, QStringList { "https://lh3.thumbs.test/k" });
}

TEST_F(Drive, RestoreTakesTheFileOutOfTheTrash)
{
    ASSERT_TRUE(signIn());
    std::optional<QJsonObject> patched;
    server.route("PATCH", QStringLiteral("/api/files/f"), [&](const FakeHttpRequest& request) {
        patched = request.json();
        return FakeHttpResponse::json(200, {});
    });
    auto record = std::make_shared<FileInfoNode>();
    record->cloudFields().fileId = QStringLiteral("f");
    bool restored = false;
    drive->restoreCloudFile(record, [&](bool ok) { restored = ok; });
    ASSERT_TRUE(waitUntil([&] { return restored; }));
    EXPECT_EQ(patched->value(QStringLiteral("trashed")).toBool(), false);
}

TEST_F(Drive, NamesThatWouldMergeIntoAnotherPathAndUnusableIdsAreSkipped)
{
    // A shared "B/f.jpg" in A would read as the real f.jpg in A's folder B.
    tree[QStringLiteral("a")].front().append(item(QStringLiteral("s1"), QStringLiteral("B/f.jpg"), "m7", 200000));
    tree[QStringLiteral("a")].front().append(item(QStringLiteral("s2"), QStringLiteral(".."), "m8", 200000));
    tree[QStringLiteral("a")].front().append(item(QStringLiteral("s3"), QStringLiteral("B/C"), "folder"));
    tree[QStringLiteral("a")].front().append(item(QStringLiteral("../x"), QStringLiteral("h.jpg"), "m9", 200000));
    tree[QStringLiteral("a")].front().append(item(QStringLiteral("s4"), QStringLiteral("."), "folder"));
    ASSERT_TRUE(signIn());
    drive->beginListing(anySizeRequest());
    // One folder after the other, so each knows its parent's path.
    for (const char* id : { "root", "a", "b" }) {
        const size_t before = pages.size();
        drive->executeFilesListQuery(QString::fromLatin1(id), true, std::nullopt);
        ASSERT_TRUE(waitUntil([&] { return pages.size() > before; }));
    }
    QStringList paths;
    for (const auto& [id, page] : pages) {
        for (const FileInfoNodePtr& record : page.files)
            paths << record->filePath.value_or(QString());
        for (const auto& sub : page.subFolders)
            paths << sub.second;
    }
    EXPECT_EQ(paths, QStringList({ QStringLiteral("My Drive/A"), QStringLiteral("My Drive/A/B"),
                         QStringLiteral("My Drive/A/B/f.jpg") }));

    // An id that would leave the file's address is never sent.
    auto record = std::make_shared<FileInfoNode>();
    record->cloudFields().fileId = QStringLiteral("../about");
    bool restored = true;
    const size_t sent = server.requestLog.size();
    drive->restoreCloudFile(record, [&](bool ok) { restored = ok; });
    EXPECT_FALSE(restored);
    EXPECT_EQ(server.requestLog.size(), sent);
}

TEST_F(Drive, AFileTakesItsKindFromDriveAndOnlyTheTinyFileThresholdFromTheGeneralFilters)
{
    const auto file = [](const char* name, int size, const char* extension) {
        const QString fileName = QString::fromLatin1(name);
        QJsonObject json = item(fileName.section(QLatin1Char('.'), 0, 0), fileName, QStringLiteral("m"), size);
        json.remove(QStringLiteral("fileExtension"));
        if (*extension)
            json.insert(QStringLiteral("fileExtension"), QString::fromLatin1(extension));
        json.insert(QStringLiteral("imageMediaMetadata"), QJsonObject { { QStringLiteral("width"), 640 } });
        return json;
    };
    tree.insert(QStringLiteral("kinds"),
        { QJsonArray { file("photo.jpg", 2000, ""), file("holiday", 2000, "JPG"), file("tiny.jpg", 1000, "jpg"),
            file("above.jpg", 1001, "jpg") } });
    ASSERT_TRUE(signIn());
    // Each kept file as "name category extension has-picture-details".
    const auto list = [&](bool picturesOn) {
        ScanRequest request = anySizeRequest();
        request.filters.scanCategoryFlags[std::size_t(GlobalObjects::FileCategory::Pic)] = picturesOn;
        request.comparison.minimumSizeOption = 2;
        request.comparison.minimumBytes = 1000;
        pages.clear();
        drive->beginListing(request);
        drive->executeFilesListQuery(QStringLiteral("kinds"), false, std::nullopt);
        QStringList kept;
        if (waitUntil([&] { return pages.size() == 1; })) {
            for (const FileInfoNodePtr& record : pages.front().second.files)
                kept << QStringLiteral("%1 %2 %3 %4")
                            .arg(*record->fileName)
                            .arg(int(record->fileCategory.value_or(GlobalObjects::FileCategory::Doc)))
                            .arg(record->fileExtension)
                            .arg(record->exifInfo() != nullptr);
        }
        return kept;
    };
    // A name's extension is not Drive's (Others is 5, Pic 1); the threshold's
    // size is left out, one byte more is not.
    EXPECT_EQ(list(true), QStringList({ "photo.jpg 5  0", "holiday 1 jpg 1", "above.jpg 1 jpg 1" }));
    EXPECT_EQ(list(false), QStringList { "photo.jpg 5  0" });
}
