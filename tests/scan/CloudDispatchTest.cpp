#include "core/Localization.h"
#include "core/TextFormat.h"
#include "scan/EngineFixture.h"
#include "support/FixedProbe.h"
#include "support/WaitUntil.h"

#include <QCryptographicHash>
#include <QLocale>

namespace {

// A cloud handler that lists instantly: every folder it is given yields the
// records it was told to hand back.
class FakeHandler : public ScanWrapper {
public:
    std::vector<std::vector<CloudScanFoldersListPtr>> listings;
    std::vector<FileInfoNodePtr> toDeliver;
    bool failsAFolder = false;
    // The service refuses the sign-in while the walk lists.
    bool signsOut = false;
    // The file the source is read from; none for a service.
    std::optional<QString> file;

    std::optional<QString> sourceFile() const override { return file; }

    void startCloudScan(
        const std::vector<CloudScanFoldersListPtr>& folders, const ScanRequest&, CloudScanSink& sink) override
    {
        listings.push_back(folders);
        lastWalkIncomplete = failsAFolder;
        if (signsOut)
            endRefusedSignIn();
        for (const FileInfoNodePtr& record : toDeliver)
            sink.addCloudScanFile(record);
        sink.OnScanCompletedProcess();
    }
};

FileInfoNodePtr cloudFile(const QString& path, const QByteArray& contents)
{
    auto record = std::make_shared<FileInfoNode>();
    record->filePath = path;
    record->fileName = path.section(QLatin1Char('/'), -1);
    record->fileSize = static_cast<quint64>(contents.size());
    record->md5 = QString::fromLatin1(QCryptographicHash::hash(contents, QCryptographicHash::Md5).toHex());
    record->isMd5Calucaluted = true;
    record->state = 0;
    return record;
}

} // namespace

class CloudDispatch : public EngineFixture {
protected:
    FakeHandler handler;

    void SetUp() override
    {
        EngineFixture::SetUp();
        setNetworkReachabilityProbe(std::make_shared<FixedProbe>(true));
        selectedScanSource() = ScanSource::dropbox;
        sources->setHandler(ScanSource::dropbox, &handler);
    }
    void TearDown() override
    {
        EngineFixture::TearDown();
        setNetworkReachabilityProbe(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }

    CloudScanFoldersListPtr addCloudRow(const QString& folderPath, int state = 1)
    {
        auto folder = std::make_shared<CloudScanFoldersList>();
        folder->folderPath = folderPath;
        FilePathNodePtr row = addRow(folderPath, state);
        row->cloudFolder = folder;
        return folder;
    }
};

TEST_F(CloudDispatch, TheHandlerListsTheCheckedFoldersAndTheServiceChecksumsGroupThem)
{
    addCloudRow(QStringLiteral("/Photos"));
    addCloudRow(QStringLiteral("/Off"), 0);
    addCloudRow(QStringLiteral("/Old/Trip"));
    auto excluded = std::make_shared<FilePathNode>();
    excluded->filePath = QStringLiteral("/Old");
    excluded->state = 1;
    excludeRow(ScanSource::dropbox, excluded);
    handler.toDeliver = { cloudFile(QStringLiteral("/Photos/a.jpg"), "same"),
        cloudFile(QStringLiteral("/Photos/b.jpg"), "same"), cloudFile(QStringLiteral("/Photos/c.jpg"), "other") };
    ASSERT_TRUE(runScan());
    ASSERT_EQ(handler.listings.size(), 1u);
    ASSERT_EQ(handler.listings.front().size(), 1u);
    EXPECT_EQ(handler.listings.front().front()->folderPath, QStringLiteral("/Photos"));
    EXPECT_TRUE(handler.isCompletListFetch);
    ASSERT_EQ(screen.results.size(), 1u);
    EXPECT_EQ(groupsFound().size(), 1);
    EXPECT_EQ(result->groups.front()->children.size(), 2u);
    EXPECT_EQ(result->countScanned, 3);
    EXPECT_EQ(result->scanWrapper, &handler);
}

TEST_F(CloudDispatch, CaseTwinsCountOnceAndRecordsWithoutAChecksumStayOut)
{
    addCloudRow(QStringLiteral("/Photos"));
    FileInfoNodePtr noSum = cloudFile(QStringLiteral("/Photos/x.jpg"), "x");
    noSum->md5.reset();
    FileInfoNodePtr noPath = cloudFile(QStringLiteral("/Photos/z.jpg"), "same");
    noPath->filePath.reset();
    handler.toDeliver = { cloudFile(QStringLiteral("/Photos/a.jpg"), "same"),
        cloudFile(QStringLiteral("/photos/A.JPG"), "same"), cloudFile(QStringLiteral("/Photos/b.png"), "same"),
        cloudFile(QStringLiteral("/Photos/Trip/c.gif"), "same"), noSum, noPath };
    ASSERT_TRUE(runScan());
    ASSERT_EQ(groupsFound().size(), 1);
    EXPECT_EQ(result->groups.front()->children.size(), 3u);
    EXPECT_EQ(result->countScanned, 4);
    EXPECT_EQ(result->dupCount, 2);
    EXPECT_EQ(result->sizeDup, 8u);
}

// One file the service gave no checksum for is told of in the singular, in
// both lines of the notice; more in the plural.
TEST_F(CloudDispatch, FilesWithoutAChecksumAreToldOfAsOneOrAsMany)
{
    addCloudRow(QStringLiteral("/Photos"));
    for (const int count : { 1, 2 }) {
        SCOPED_TRACE(count);
        handler.toDeliver.clear();
        for (int i = 0; i < count; ++i) {
            FileInfoNodePtr noSum = cloudFile(QStringLiteral("/Photos/x%1.jpg").arg(i), "x");
            noSum->md5.reset();
            handler.toDeliver.push_back(noSum);
        }
        screen.alerts.clear();
        ASSERT_TRUE(runScan());
        ASSERT_FALSE(screen.alerts.empty());
        const AlertRequest& told = screen.alerts.back();
        EXPECT_EQ(told.messageText.toStdString(),
            (count == 1 ? localizedText("ID_CLOUD_FILE_NOT_COMPARED")
                        : formatText(localizedText("ID_CLOUD_FILES_NOT_COMPARED"), { count }))
                .toStdString());
        EXPECT_EQ(told.informativeText.toStdString(),
            localizedText(count == 1 ? "ID_CLOUD_FILE_NOT_COMPARED_DETAILS" : "ID_CLOUD_FILES_NOT_COMPARED_DETAILS")
                .toStdString());
        EXPECT_EQ(told.informativeText.contains(QStringLiteral("these files")), count > 1);
    }
}

TEST_F(CloudDispatch, NoFolderToListEndsTheScanAtOnce)
{
    addCloudRow(QStringLiteral("/Unticked"), 0);
    ASSERT_TRUE(runScan());
    EXPECT_TRUE(handler.listings.empty());
    EXPECT_FALSE(isScanRunning);
    EXPECT_EQ(screen.scanningStates.back(), std::make_pair(false, false));
}

TEST_F(CloudDispatch, AFolderTheWalkCouldNotListIsToldOfAfterTheNoDuplicatesNotice)
{
    addCloudRow(QStringLiteral("/Photos"));
    handler.failsAFolder = true;
    ASSERT_TRUE(runScan());
    EXPECT_EQ(screen.alertMessages(),
        QStringList({ localizedText("ID_NO_DUPLICATE_ITEMS_FOUND"), localizedText("ID_CLOUD_LISTING_INCOMPLETE") }));
}

TEST_F(CloudDispatch, ASourceFileThatCouldNotBeReadIsToldOfAsSuchNotAsAServiceThatFailed)
{
    addCloudRow(QStringLiteral("/Photos"));
    handler.failsAFolder = true;
    handler.file = QStringLiteral("/home/u/Pictures/Catalog.lrcat");
    ASSERT_TRUE(runScan());
    EXPECT_EQ(screen.alertMessages(),
        QStringList({ localizedText("ID_NO_DUPLICATE_ITEMS_FOUND"), localizedText("ID_PHOTO_DATABASE_LEFT_OUT") }));
    EXPECT_TRUE(screen.alerts.back().informativeText.startsWith(*handler.file));
}

// A folder that could not be listed because the service refused the sign-in
// on the way is told with what helps: signing in again, not the connection.
TEST_F(CloudDispatch, AListingEndedByARefusedSignInAsksToSignInAgain)
{
    addCloudRow(QStringLiteral("/Photos"));
    handler.failsAFolder = true;
    handler.toDeliver = { cloudFile(QStringLiteral("/Photos/a.jpg"), "same") };
    for (const bool signsOut : { false, true }) {
        SCOPED_TRACE(signsOut ? "signed out on the way" : "no answer");
        handler.isAuthenticateForScan = true;
        handler.signsOut = signsOut;
        screen.alerts.clear();
        ASSERT_TRUE(runScan());
        ASSERT_EQ(screen.alertMessages().back(), localizedText("ID_CLOUD_LISTING_INCOMPLETE"));
        EXPECT_EQ(screen.alerts.back().informativeText,
            localizedText(signsOut ? "ID_CLOUD_LISTING_SIGNED_OUT_DETAILS" : "ID_CLOUD_LISTING_INCOMPLETE_DETAILS"));
        EXPECT_EQ(screen.alerts.back().informativeText.contains(QStringLiteral("internet")), !signsOut);
    }
}

namespace {

// A service whose folder brings pages of a thousand new files without end,
// taken through the listing's guard as every handler takes its pages.
class EndlessFolderHandler : public ScanWrapper {
public:
    bool acceptRecord(FileInfoNode&) const override { return true; }

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        const std::shared_ptr<ListingGuard> guard = listingGuard();
        FolderPages pages;
        for (int page = 0;; ++page) {
            if (!guard->admitEntries(folder->folderPath, 1000)) {
                pages.finish(done, false);
                return;
            }
            pages.tally.beginPage(1000);
            for (int i = 0; i < 1000; ++i) {
                const QString name = QStringLiteral("IMG_%1_%2.jpg").arg(page).arg(i);
                pages.tally.take(name);
                FileInfoNodePtr record = cloudFile(folder->folderPath + QLatin1Char('/') + name, name.toUtf8());
                record->folderPath = folder->folderPath;
                pages.addFile(std::move(record));
            }
            if (!guard->admitTaken(folder->folderPath, pages.tally, true)
                || !guard->admitPage(folder->folderPath, QString::number(page))) {
                pages.finish(done, false);
                return;
            }
        }
    }
};

} // namespace

TEST_F(CloudDispatch, AListingEndedAtABoundIsToldAsTooLargeWithTheFilesListedNeverAsAFailure)
{
    // The folder's bound, then the whole listing's: each ends the folder a
    // few thousand files in (the bounds shrunk so that the test stays short).
    EndlessFolderHandler handlers[2];
    for (const bool whole : { false, true }) {
        SCOPED_TRACE(whole ? "whole listing" : "folder");
        EndlessFolderHandler& endless = handlers[whole ? 1 : 0];
        endless.listingLimits.folderBytes = whole ? 64 << 20 : 4 << 20;
        endless.listingLimits.listingBytes = whole ? 4 << 20 : 64 << 20;
        sources->setHandler(ScanSource::dropbox, &endless);
        sources->replace(ScanSource::dropbox, SourceList::scan, {}, ScanSources::Store::no);
        addCloudRow(QStringLiteral("Dropbox/Camera Uploads"));
        screen.alerts.clear();
        ASSERT_TRUE(runScan());
        const int listed = endless.fileCount;
        EXPECT_GT(listed, 1000);
        EXPECT_LT(listed, 20000);
        EXPECT_EQ(result->countScanned, listed);
        const QString title = localizedText(whole ? "ID_CLOUD_LISTING_TOO_LARGE" : "ID_CLOUD_FOLDER_TOO_LARGE");
        EXPECT_EQ(screen.alertMessages(), QStringList({ localizedText("ID_NO_DUPLICATE_ITEMS_FOUND"), title }));
        const QString details = screen.alerts.back().informativeText;
        EXPECT_TRUE(details.contains(QStringLiteral("“Dropbox/Camera Uploads”"))) << details.toStdString();
        EXPECT_TRUE(details.contains(QLocale().toString(listed) + QLatin1Char(' '))) << details.toStdString();
        EXPECT_FALSE(details.contains(QStringLiteral("internet")));
    }
}

// Answers Drive queries only when the test says so, as the service would
// from the network.
class FakeDriveService : public ScanWrapper, public DriveScanService {
public:
    struct Query {
        QString folderId;
        bool includeSubFolders;
        std::optional<QString> pageToken;
    };
    std::vector<Query> queries;
    int stops = 0;
    void executeFilesListQuery(const QString& folderId, bool includeSub, const std::optional<QString>& token) override
    {
        queries.push_back({ folderId, includeSub, token });
    }
    void stopListing() override { ++stops; }
};

class DriveDispatch : public CloudDispatch {
protected:
    FakeDriveService drive;

    void SetUp() override
    {
        CloudDispatch::SetUp();
        selectedScanSource() = ScanSource::googleDrive;
        sources->setHandler(ScanSource::googleDrive, &drive);
    }

    void addDriveRow(const QString& name, const QString& id, int state = 1, bool includeSubFolders = true)
    {
        auto row = addRow(name, state, includeSubFolders);
        row->gdFolder = std::make_shared<GDFoldersList>();
        row->gdFolder->folderName = name;
        row->gdFolder->folderId = id;
        DriveFile file;
        file.identifier = id;
        file.name = name;
        row->gdFolder->driveFile = file;
    }
};

TEST_F(DriveDispatch, EveryAnswerCountsItsQueryDownAndTheLastOneEndsTheScan)
{
    addDriveRow(QStringLiteral("My Drive"), QStringLiteral("root-id"));
    addDriveRow(QStringLiteral("Trips"), QStringLiteral("trips-id"));
    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    ASSERT_EQ(drive.queries.size(), 2u);
    EXPECT_EQ(engine->pendingDriveQueries(), 2);

    DriveFilesPage first;
    first.files = { cloudFile(QStringLiteral("/My Drive/a.jpg"), "same") };
    first.nextPageToken = QStringLiteral("page-2");
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, first);
    ASSERT_EQ(drive.queries.size(), 3u); // the next page
    EXPECT_EQ(drive.queries.back().pageToken, QStringLiteral("page-2"));
    DriveFilesPage failed;
    failed.failed = true;
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("trips-id"), true, failed);
    EXPECT_EQ(engine->pendingDriveQueries(), 1);
    EXPECT_TRUE(isScanRunning);

    DriveFilesPage last;
    last.files = { cloudFile(QStringLiteral("/My Drive/b.jpg"), "same") };
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, last);
    EXPECT_EQ(engine->pendingDriveQueries(), 0);
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_EQ(ended.size(), 1);
    ASSERT_EQ(screen.results.size(), 1u);
    ASSERT_EQ(screen.results.front()->groups.size(), 1u);
    EXPECT_EQ(screen.results.front()->groups.front()->children.size(), 2u);
    // The failed folder is told of once, after the results.
    EXPECT_EQ(screen.alertMessages(), QStringList { localizedText("ID_CLOUD_LISTING_INCOMPLETE") });
}

TEST_F(DriveDispatch, AFolderEndedAtItsBoundIsToldAsTooLargeWithItsFilesListed)
{
    addDriveRow(QStringLiteral("My Drive"), QStringLiteral("root-id"));
    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    ASSERT_EQ(drive.queries.size(), 1u);
    DriveFilesPage last;
    last.files = { cloudFile(QStringLiteral("My Drive/Camera/a.jpg"), "a") };
    last.cutShort = true;
    last.bound = ListingBound { QStringLiteral("My Drive/Camera"), false, 2000001, 2000001 };
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, last);
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_EQ(screen.alertMessages(),
        QStringList({ localizedText("ID_NO_DUPLICATE_ITEMS_FOUND"), localizedText("ID_CLOUD_FOLDER_TOO_LARGE") }));
    EXPECT_EQ(screen.alerts.back().informativeText,
        formatText(localizedText("ID_CLOUD_FOLDER_TOO_LARGE_DETAILS"),
            { QStringLiteral("My Drive/Camera"), QLocale().toString(2000001) }));
}

// Stop ends the listing at once, with both queries still out: the service
// is told to drop them, the scan ends as a stopped one without groups, and
// an answer that comes after asks for nothing more.
TEST_F(DriveDispatch, StopEndsTheListingWithQueriesOutAndALateAnswerAsksForNothing)
{
    addDriveRow(QStringLiteral("My Drive"), QStringLiteral("root-id"));
    addDriveRow(QStringLiteral("Trips"), QStringLiteral("trips-id"));
    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    ASSERT_EQ(drive.queries.size(), 2u);
    screen.answers = { 1 };
    engine->confirmStopScanning();
    ASSERT_TRUE(isAbortScan);
    EXPECT_EQ(drive.stops, 1);
    EXPECT_EQ(engine->pendingDriveQueries(), 0);
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_TRUE(screen.results.empty());
    EXPECT_TRUE(screen.alertMessages().contains(localizedText("ID_NO_DUPLICATE_ITEMS_FOUND")));

    DriveFilesPage page;
    page.files = { cloudFile(QStringLiteral("/My Drive/a.jpg"), "same"),
        cloudFile(QStringLiteral("/My Drive/b.jpg"), "same") };
    page.nextPageToken = QStringLiteral("page-2");
    page.subFolders = { { QStringLiteral("a-id"), QStringLiteral("My Drive/A") } };
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, page);
    EXPECT_EQ(drive.queries.size(), 2u);
    EXPECT_EQ(engine->pendingDriveQueries(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(ended.size(), 1);
}

// A query that fails once the scan was stopped fails for a listing the user
// ended: the scan is told as stopped, not as folders that could not be
// listed. One that failed before the Stop is still told.
TEST_F(DriveDispatch, AQueryThatFailsAfterStopIsToldAsAStop)
{
    for (const bool failsFirst : { false, true }) {
        SCOPED_TRACE(failsFirst ? "failed before the Stop" : "failed after it");
        sources->replace(ScanSource::googleDrive, SourceList::scan, {}, ScanSources::Store::no);
        drive.queries.clear();
        screen.alerts.clear();
        addDriveRow(QStringLiteral("My Drive"), QStringLiteral("root-id"));
        addDriveRow(QStringLiteral("Trips"), QStringLiteral("trips-id"));
        QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
        engine->btnStartScanTapped();
        // The second scan lists once the first one's records are gone.
        ASSERT_TRUE(waitUntil([&] { return drive.queries.size() == 2u; }));
        DriveFilesPage failed;
        failed.failed = true;
        if (failsFirst)
            engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, failed);
        screen.answers = { 1 };
        engine->confirmStopScanning();
        ASSERT_TRUE(isAbortScan);
        if (!failsFirst)
            engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, failed);
        engine->processAllFetchGoogleDriveFiles(QStringLiteral("trips-id"), true, failed);
        ASSERT_TRUE(ended.wait(20000));
        QStringList told { localizedText("ID_DO_YOU_REALLY_WANT_STOP_SCANNING"),
            localizedText("ID_NO_DUPLICATE_ITEMS_FOUND") };
        if (failsFirst)
            told << localizedText("ID_CLOUD_LISTING_INCOMPLETE");
        EXPECT_EQ(screen.alertMessages(), told);
    }
}

TEST_F(DriveDispatch, ACutShortAnswerKeepsItsFilesAndALateAnswerAsksForNothing)
{
    addDriveRow(QStringLiteral("My Drive"), QStringLiteral("root-id"));
    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    ASSERT_EQ(drive.queries.size(), 1u);

    DriveFilesPage page;
    page.files = { cloudFile(QStringLiteral("/My Drive/a.jpg"), "same"),
        cloudFile(QStringLiteral("/My Drive/b.jpg"), "same") };
    page.cutShort = true;
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, page);
    ASSERT_TRUE(ended.wait(20000));
    ASSERT_EQ(screen.results.size(), 1u);
    ASSERT_EQ(screen.results.front()->groups.size(), 1u);
    EXPECT_EQ(screen.results.front()->groups.front()->children.size(), 2u);
    EXPECT_EQ(screen.alertMessages(), QStringList { localizedText("ID_CLOUD_LISTING_INCOMPLETE") });

    // An answer that comes after the scan has ended is not taken: no next
    // page, no sub-folder, no count below zero.
    DriveFilesPage late;
    late.nextPageToken = QStringLiteral("page-2");
    late.subFolders = { { QStringLiteral("x-id"), QStringLiteral("My Drive/X") } };
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, late);
    EXPECT_EQ(drive.queries.size(), 1u);
    EXPECT_EQ(engine->pendingDriveQueries(), 0);
}

TEST_F(DriveDispatch, ADriveScanWithNothingToQueryEndsAtOnce)
{
    sources->setHandler(ScanSource::googleDrive, nullptr);
    addDriveRow(QStringLiteral("My Drive"), QStringLiteral("root-id"));
    ASSERT_TRUE(runScan());
    EXPECT_EQ(engine->pendingDriveQueries(), 0);
    EXPECT_EQ(screen.sheetsShown, 1);
}

TEST_F(DriveDispatch, SubFoldersOfAnAnswerAreQueriedUnlessExcluded)
{
    addDriveRow(QStringLiteral("My Drive"), QStringLiteral("root-id"));
    auto excluded = std::make_shared<FilePathNode>();
    excluded->gdFolder = std::make_shared<GDFoldersList>();
    excluded->gdFolder->folderId = QStringLiteral("skip-id");
    excluded->gdFolder->folderAbsPath = QStringLiteral("My Drive/Skip");
    excludeRow(ScanSource::googleDrive, excluded);
    engine->btnStartScanTapped();
    ASSERT_EQ(drive.queries.size(), 1u);

    DriveFilesPage page;
    page.subFolders = { { QStringLiteral("a-id"), QStringLiteral("My Drive/A") },
        { QStringLiteral("skip-id"), QStringLiteral("My Drive/Skip") } };
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("root-id"), true, page);
    ASSERT_EQ(drive.queries.size(), 2u);
    EXPECT_EQ(drive.queries.back().folderId, QStringLiteral("a-id"));
    EXPECT_EQ(engine->pendingDriveQueries(), 1);
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("a-id"), true, DriveFilesPage {});
    EXPECT_EQ(engine->pendingDriveQueries(), 0);
}

TEST_F(DriveDispatch, ACheckedFolderInsideAnotherCheckedOneIsQueriedOnceByItsOwnQuery)
{
    addDriveRow(QStringLiteral("A"), QStringLiteral("a-id"));
    addDriveRow(QStringLiteral("B"), QStringLiteral("b-id"));
    // D only for its own files; an unticked C row is walked into as usual.
    addDriveRow(QStringLiteral("C"), QStringLiteral("c-id"), 0);
    addDriveRow(QStringLiteral("D"), QStringLiteral("d-id"), 1, false);
    engine->btnStartScanTapped();
    ASSERT_EQ(drive.queries.size(), 3u);
    EXPECT_FALSE(drive.queries[2].includeSubFolders);

    DriveFilesPage page;
    page.subFolders = { { QStringLiteral("b-id"), QStringLiteral("My Drive/A/B") },
        { QStringLiteral("c-id"), QStringLiteral("My Drive/A/C") },
        { QStringLiteral("d-id"), QStringLiteral("My Drive/A/D") } };
    engine->processAllFetchGoogleDriveFiles(QStringLiteral("a-id"), true, page);
    const auto queriesOf = [&](const QString& id) {
        return std::count_if(drive.queries.begin(), drive.queries.end(),
            [&](const FakeDriveService::Query& q) { return q.folderId == id; });
    };
    EXPECT_EQ(queriesOf(QStringLiteral("b-id")), 1);
    EXPECT_EQ(queriesOf(QStringLiteral("c-id")), 1);
    // A's sub-folders are scanned whole, below D too: the walk goes on into
    // D with its sub-folders.
    ASSERT_EQ(queriesOf(QStringLiteral("d-id")), 2);
    EXPECT_EQ(drive.queries.back().folderId, QStringLiteral("d-id"));
    EXPECT_TRUE(drive.queries.back().includeSubFolders);
}
