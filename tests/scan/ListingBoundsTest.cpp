#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "scan/CloudFileRecordBuilder.h"
#include "scan/ScanJob.h"
#include "scan/ScanWrapper.h"
#include "support/ChildProcess.h"
#include "support/EndlessCopies.h"
#include "support/FlatCloudFolder.h"
#include "support/MemoryBound.h"
#include "support/MemoryGroup.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iostream>
#include <malloc.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(text).object();
}

// A file of a phone's camera uploads as Dropbox lists it.
FileInfoNodePtr dropboxPhoto()
{
    auto record = std::make_shared<FileInfoNode>();
    makeDropboxFileInfoNode(*record,
        *DropboxFileMetadata::fromJson(json(R"({".tag": "file", "name": "IMG_20230501_123456.jpg",
            "path_display": "/Camera Uploads/IMG_20230501_123456.jpg", "id": "id:a4ayc_80_OEAAAAAAAAAXw",
            "rev": "5f3a2b4c5d6e7f00000001234567", "size": 3456789,
            "content_hash": "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
            "client_modified": "2023-05-01T12:34:56Z", "server_modified": "2023-05-01T12:34:56Z"})")));
    record->fileExtension = QStringLiteral("jpg");
    return record;
}

// A picture as the Drive lists it, with its details and thumbnail link, and
// its camera facts as the program's file types make it a picture.
FileInfoNodePtr drivePicture()
{
    static TempHome home;
    static UserDefaults defaults(home.path());
    static const bool started = (startApplicationCore(defaults), true);
    (void)started;
    // Every type taken, for this record only.
    const auto saved = std::make_tuple(isAllFileTypesSelected, scanCategoryFlags);
    isAllFileTypesSelected = true;
    scanCategoryFlags.fill(true);
    ScanSettingsSnapshot settings = makeScanSettingsSnapshot();
    settings.scanAnyFileSize = true;
    std::tie(isAllFileTypesSelected, scanCategoryFlags) = saved;
    auto record = std::make_shared<FileInfoNode>();
    const std::optional<DriveFile> item = DriveFile::fromJson(json(R"({"id": "1AbCdEfGhIjKlMnOpQrStUvWxYz012345",
        "name": "IMG_20230501_123456.jpg", "mimeType": "image/jpeg", "size": "3456789",
        "md5Checksum": "0123456789abcdef0123456789abcdef", "createdTime": "2023-05-01T12:34:56.123Z",
        "modifiedTime": "2023-05-01T12:34:56.123Z", "fileExtension": "jpg",
        "thumbnailLink": "https://lh3.googleusercontent.com/drive-storage/AJQWtBPxdKq3RmLfZn8wYc2vT5uHj9sE6gNaXo1pDiMrVkB4lUyCzQe7FhIb0GJtOsLWnKmRd3vPaYx=s220",
        "iconLink": "https://drive-thirdparty.googleusercontent.com/16/type/image/jpeg",
        "imageMediaMetadata": {"width": 4000, "height": 3000, "cameraMake": "Google", "cameraModel": "Pixel 7",
            "exposureTime": 0.01, "isoSpeed": 100, "focalLength": 6.81}})"));
    EXPECT_TRUE(makeGoogleDriveFileInfoNode(*record, *item, settings));
    record->filePath = QStringLiteral("My Drive/Camera/IMG_20230501_123456.jpg");
    record->folderPath = QStringLiteral("My Drive/Camera/");
    record->cloudFields().fileId = item->identifier;
    EXPECT_EQ(record->fileCategory, GlobalObjects::FileCategory::Pic);
    return record;
}

// Lists folders of files each through the guard as a handler takes its
// pages of a thousand: every entry taken by an id as long as the services'
// and held as record holds. Answers the files listed before the guard ended
// the listing (all of them while every bound holds).
qint64 listThrough(ListingGuard& guard, int folders, int files, const FileInfoNode& record,
    const ComparisonSettings& comparison = ComparisonSettings())
{
    // The folder's text is the folder's, shared by its records; a scan's
    // listing counts what the scan holds for each file too.
    const qint64 recordBytes = heldBytesOfListedFile(record, record.folderPath, comparison);
    qint64 listed = 0;
    for (int folder = 0; folder < folders; ++folder) {
        const QString path = QStringLiteral("Camera/%1").arg(folder);
        if (!guard.admitPage(path, QString()))
            return listed;
        ListingTally tally;
        for (int page = 0; page * 1000 < files; ++page) {
            const int entries = std::min(1000, files - page * 1000);
            if (!guard.admitEntries(path, entries))
                return listed;
            tally.beginPage(entries);
            for (int entry = 0; entry < entries; ++entry) {
                tally.take(QStringLiteral("file:id:%1").arg(qint64(folder) * files + page * 1000 + entry, 22, 10,
                    QLatin1Char('0')));
                tally.holdFile(recordBytes);
            }
            listed += entries;
            const bool more = (page + 1) * 1000 < files;
            if (!guard.admitTaken(path, tally, more) || (more && !guard.admitPage(path, QString::number(page + 1))))
                return listed;
        }
    }
    return listed;
}

} // namespace

TEST(ListingBounds, AFlatFolderOfAMillionFilesAndAListingOfFiveMillionAreListedWhole)
{
    // The heaviest records the services make, counted as the listings count
    // them.
    for (const FileInfoNodePtr& record : { dropboxPhoto(), drivePicture() }) {
        SCOPED_TRACE(record->cloud->dropBoxFile ? "Dropbox" : "Drive");
        ListingGuard flat(QStringLiteral("Test"), ListingLimits {});
        EXPECT_EQ(listThrough(flat, 1, 1000000, *record), 1000000);
        EXPECT_FALSE(flat.boundReached());
        ListingGuard tree(QStringLiteral("Test"), ListingLimits {});
        EXPECT_EQ(listThrough(tree, 5000, 1000, *record), 5000000);
        EXPECT_FALSE(tree.boundReached());
        EXPECT_FALSE(tree.wasCutShort());

        // A machine of 24 GiB lists them whole too; one of 8 GiB lists the
        // million whole and ends the five million at its bound, told as too
        // large rather than ended by the system for want of memory.
        ListingGuard tree24(QStringLiteral("Test"), listingLimitsWithin(24ll << 30));
        EXPECT_EQ(listThrough(tree24, 5000, 1000, *record), 5000000);
        EXPECT_FALSE(tree24.boundReached());
        ListingGuard flat8(QStringLiteral("Test"), listingLimitsWithin(8ll << 30));
        EXPECT_EQ(listThrough(flat8, 1, 1000000, *record), 1000000);
        ListingGuard tree8(QStringLiteral("Test"), listingLimitsWithin(8ll << 30));
        EXPECT_LT(listThrough(tree8, 5000, 1000, *record), 5000000);
        EXPECT_TRUE(tree8.boundReached());

        // Whatever the comparison, with names of a camera's length, the
        // million is listed whole; on a machine of 8 GiB too, unless similar
        // names, sizes and dates of the Drive's pictures together would take
        // more than three quarters of its memory.
        const std::vector<std::pair<QVariantList, bool>> comparisons { { { 1, 3, 4, 5 }, true }, { { 2 }, true },
            { { 2, 3, 4, 5 }, bool(record->cloud->dropBoxFile) } };
        for (const auto& [options, on8GiB] : comparisons) {
            SCOPED_TRACE(options.size());
            ComparisonSettings comparison;
            comparison.compareContent = false;
            comparison.criteria = ComparisonCriteria::fromSearchOptions(options);
            ListingGuard flatCompared(QStringLiteral("Test"), ListingLimits {});
            EXPECT_EQ(listThrough(flatCompared, 1, 1000000, *record, comparison), 1000000);
            ListingGuard flatCompared8(QStringLiteral("Test"), listingLimitsWithin(8ll << 30));
            EXPECT_EQ(listThrough(flatCompared8, 1, 1000000, *record, comparison) == 1000000, on8GiB);
        }
    }
    EXPECT_EQ(listingLimitsWithin(24ll << 30).listingBytes, ListingLimits {}.listingBytes);
}

TEST(ListingBounds, ARecordIsCountedAsTheHeapHoldsItEachSharedTextOnce)
{
    const FileInfoNodePtr record = dropboxPhoto();
    const qint64 alone = heldBytesOf(*record);
    // A name as long again as the path's: counted once though the name, the
    // path's last part and the service's entry all read it.
    const QString longName = QString(4000, QLatin1Char('n')) + QStringLiteral(".jpg");
    record->cloudFields().dropBoxFile->name = longName;
    record->fileName = longName;
    record->filePath.assignParts(record->filePath.folderComponent(), longName);
    const qint64 withLongName = heldBytesOf(*record);
    EXPECT_GT(withLongName - alone, 7800);
    EXPECT_LT(withLongName - alone, 8200);
    // The folder's text, shared by its records, is the folder's.
    EXPECT_EQ(heldBytesOf(*record, record->filePath.folderComponent()),
        withLongName - heldBytesOfText(record->filePath.folderComponent()));
}


namespace {

bool writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

TEST(ListingBounds, TheMachinesMemoryIsTheLowestOfItsOwnAndAControlGroupsLimit)
{
    const QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString self = root.path() + QStringLiteral("/self");
    const QString groups = root.path() + QStringLiteral("/cgroup");
    const qint64 physical = 16ll << 30;
    const auto memory = [&] { return memoryWithinControlGroups(physical, groups, self); };
    // No list of groups, or groups without a limit: the machine's memory.
    EXPECT_EQ(memory(), physical);
    ASSERT_TRUE(writeFile(self, "4:memory:/user/app\n0::/user/app\n1:cpu,cpuacct:/\n"));
    ASSERT_TRUE(writeFile(groups + "/memory/user/app/memory.limit_in_bytes", "9223372036854771712\n"));
    ASSERT_TRUE(writeFile(groups + "/user/app/memory.max", "max\n"));
    EXPECT_EQ(memory(), physical);

    // A limit of the unified hierarchy (at the root, or beside the others),
    // of the memory hierarchy, of the process's own group or of one above
    // it: the lowest of them.
    ASSERT_TRUE(writeFile(groups + "/user/app/memory.max", "10737418240\n"));
    EXPECT_EQ(memory(), 10ll << 30);
    ASSERT_TRUE(writeFile(groups + "/unified/user/memory.max", "9663676416\n"));
    EXPECT_EQ(memory(), 9ll << 30);
    ASSERT_TRUE(writeFile(groups + "/memory/user/memory.limit_in_bytes", "8589934592\n"));
    EXPECT_EQ(memory(), 8ll << 30);
    ASSERT_TRUE(writeFile(groups + "/memory/user/app/memory.limit_in_bytes", "6442450944\n"));
    EXPECT_EQ(memory(), 6ll << 30);
    // None above the machine's own memory.
    EXPECT_EQ(memoryWithinControlGroups(4ll << 30, groups, self), 4ll << 30);
    // A hostile path in the list names nothing outside the groups.
    ASSERT_TRUE(writeFile(self, "4:memory:/../../elsewhere\n"));
    ASSERT_TRUE(writeFile(root.path() + "/elsewhere/memory.limit_in_bytes", "1024\n"));
    EXPECT_EQ(memory(), physical);

    // The bounds follow: three quarters of the group's 8 GiB for the whole
    // listing, a folder no more than that.
    const ListingLimits limits = listingLimitsWithin(8ll << 30);
    EXPECT_EQ(limits.listingBytes, 6ll << 30);
    EXPECT_EQ(limits.folderBytes, 6ll << 30);
    // What the program holds as a listing begins is left out of its share.
    EXPECT_EQ(listingLimitsWithin(8ll << 30, 2ll << 30).listingBytes, 4ll << 30);
    EXPECT_EQ(listingLimitsWithin(8ll << 30, 7ll << 30).listingBytes, 0);
    // This machine's memory is known, and what this process holds of it, so
    // a listing here may hold some.
    EXPECT_GT(memoryOfThisMachine(), 0);
    EXPECT_GT(memoryHeldByThisProcess(), 0);
    EXPECT_LT(memoryHeldByThisProcess(), memoryOfThisMachine());

    // A folder that alone passes a folder's bound, the listing's too, is told
    // as the folder too large.
    ListingLimits same;
    same.folderBytes = same.listingBytes = 16 << 20;
    ListingGuard guard(QStringLiteral("Test"), same);
    EXPECT_LT(listThrough(guard, 1, 100000, *dropboxPhoto()), 100000);
    ASSERT_TRUE(guard.boundReached());
    EXPECT_FALSE(guard.boundReached()->wholeListing);
}

namespace {

// The settings of a scan that takes every file of a listing, its filters
// from the program's defaults with every type on.
ScanRequest takingEveryFile(const ComparisonSettings& comparison)
{
    static TempHome home;
    static UserDefaults defaults(home.path());
    startApplicationCore(defaults);
    isAllFileTypesSelected = true;
    scanCategoryFlags.fill(true);
    ScanRequest request;
    request.source = ScanSource::dropbox;
    request.filters = makeScanSettingsSnapshot();
    request.filters.scanAnyFileSize = true;
    request.comparison = comparison;
    return request;
}

// A source whose every folder answers with one listing of files, taken page
// by page as a handler takes them; what its pages counted adds up in counted.
class PagedSource : public ScanWrapper {
public:
    std::function<void(const CloudScanFoldersList&, FolderPages&)> fill;
    qint64 counted = 0;

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        FolderPages pages = folderPages();
        fill(*folder, pages);
        counted += pages.tally.heldBytes();
        pages.finish(done, true);
    }
};

// A comparison a scan may run, over two folders of files, one file in sixteen
// of the second a copy (of the same name, size, dates and checksum) of one of
// the first: most files start a group of their own, as most files of a scan
// do.
struct ComparedListing {
    const char* name;
    bool compareContent;
    QVariantList searchOptions;
    int files;
    // The name of file number (a file and its copy share it), extension
    // included.
    std::function<QString(int)> fileName;
};

} // namespace

// A scan's listing counts what the program holds for each file through the
// scan and its comparison, the comparison the scan will run: its record, its
// entry while the folder lists, and what the scan's job and its comparison
// keep (its path taken, its place in the job's list, the checksums or the
// names, sizes and dates compared, its group). Measured as the system counts
// the program's memory, in a process of its own.
TEST(ListingBounds, AScansListingCountsWhatTheScanAndItsComparisonHoldForEachFile)
{
#if defined(VELLICOR_RUN_TIME_CHECKER)
    // The checker's own blocks and shadow sit beside every allocation, so the
    // memory held per file is no longer the program's.
    GTEST_SKIP() << "the memory a file holds is measured only without a run-time checker";
#endif
    const auto photo = &FlatCloudFolder::photoName;
    const std::vector<ComparedListing> comparisons {
        { "by checksum", true, {}, 200000, photo },
        { "size", false, { 3 }, 200000, photo },
        { "same name and modification date", false, { 1, 5 }, 200000, photo },
        { "same name, both dates and size", false, { 1, 3, 4, 5 }, 200000, photo },
        { "similar names", false, { 2 }, 20000, [](int number) { return FlatCloudFolder::scatteredName(number); } },
        { "similar long names", false, { 2, 3 }, 2000, [](int number) { return FlatCloudFolder::scatteredName(number, 140); } },
    };
    for (const ComparedListing& compared : comparisons) {
        SCOPED_TRACE(compared.name);
        const int code = exitCodeOfChild([&compared] {
            ComparisonSettings settings;
            settings.compareContent = compared.compareContent;
            settings.criteria = ComparisonCriteria::fromSearchOptions(compared.searchOptions);
            const ScanRequest request = takingEveryFile(settings);
            const int files = compared.files;
            malloc_trim(0);
            const qint64 before = statusBytes("VmRSS");
            resetPeakMemory();
            PagedSource source;
            source.fill = [&compared, files](const CloudScanFoldersList& folder, FolderPages& pages) {
                const QString parent = folder.folderPath.mid(QStringLiteral("Dropbox").size()) + QLatin1Char('/');
                const bool copies = folder.folderPath.endsWith(QLatin1String("(copy)"));
                for (int page = 0; page * 1000 < files / 2; ++page) {
                    pages.tally.beginPage(1000);
                    for (int index = page * 1000; index < (page + 1) * 1000; ++index) {
                        // One file in sixteen of the copies' folder is one.
                        const int number = copies && index % 16 ? files + index : index;
                        const QString name = compared.fileName(number);
                        const QString id = QStringLiteral("id:a4ayc_80_%1").arg(copies * files + index, 12);
                        const QString date = QDateTime::fromSecsSinceEpoch(1682944496 + number, QTimeZone::utc())
                                                 .toString(Qt::ISODate);
                        const QJsonObject entry { { QStringLiteral(".tag"), QStringLiteral("file") },
                            { QStringLiteral("name"), name }, { QStringLiteral("path_display"), parent + name },
                            { QStringLiteral("id"), id },
                            { QStringLiteral("rev"), QStringLiteral("5f3a2b4c5d6e7f0000000") + id },
                            { QStringLiteral("size"), 3456789 + number },
                            { QStringLiteral("content_hash"),
                                QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495%1")
                                    .arg(number, 12, 10, QLatin1Char('0')) },
                            { QStringLiteral("client_modified"), date }, { QStringLiteral("server_modified"), date } };
                        auto record = std::make_shared<FileInfoNode>();
                        makeDropboxFileInfoNode(*record, *DropboxFileMetadata::fromJson(entry));
                        pages.tally.take(QStringLiteral("file:") + id);
                        pages.addFile(std::move(record));
                    }
                }
            };
            std::vector<CloudScanFoldersListPtr> folders;
            for (const char* path : { "Dropbox/Camera Uploads", "Dropbox/Camera Uploads (copy)" }) {
                folders.push_back(std::make_shared<CloudScanFoldersList>());
                folders.back()->folderPath = QString::fromLatin1(path);
            }
            ScanJob job(request, nullptr, {});
            source.startCloudScan(folders, request, job);
            const qint64 held = statusBytes("VmHWM") - before;
            const qint64 groups = job.result() ? qint64(job.result()->groups.size()) : -1;
            std::cout << compared.name << ": held " << held / files << " bytes a file, counted "
                      << source.counted / files << "; " << groups << " groups" << std::endl;
            return held <= scaledMemoryBound(source.counted) && groups == (files / 2 + 15) / 16 ? 0 : 1;
        });
        EXPECT_EQ(code, 0);
    }
}

namespace {

// A source whose every folder answers with one page of files, each taken
// through the listing's guard as the services' handlers take theirs.
class MeteredSource : public ScanWrapper {
public:
    int filesPerFolder = 10;
    QStringList asked;

    bool acceptRecord(FileInfoNode&) const override { return true; }

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        asked << folder->folderPath;
        const std::shared_ptr<ListingGuard> guard = listingGuard();
        FolderPages pages = folderPages();
        pages.tally.beginPage(filesPerFolder);
        for (int file = 0; file < filesPerFolder; ++file) {
            const QString name = QStringLiteral("IMG_%1.jpg").arg(file);
            auto record = dropboxPhoto();
            record->filePath = folder->folderPath + QLatin1Char('/') + name;
            record->folderPath = folder->folderPath;
            pages.tally.take(folder->folderPath + name);
            pages.addFile(std::move(record));
        }
        pages.finish(done,
            guard->admitEntries(folder->folderPath, filesPerFolder)
                && guard->admitTaken(folder->folderPath, pages.tally, false));
    }
};

struct CountingSink : CloudScanSink {
    int files = 0;
    int ends = 0;
    void addCloudScanFile(const FileInfoNodePtr&) override { ++files; }
    void OnScanCompletedProcess() override { ++ends; }
};

} // namespace

// A listing that begins while the program already holds three quarters of
// its memory (a large result still shown) has no share left: it goes no
// further than its first folder's page, whose bound ends the whole listing,
// told as the memory it is, not as folders that could not be listed. One
// folder's bound that spends the listing's share ends the listing likewise,
// told up to that folder, also when an earlier one ended at its own bound.
TEST(ListingBounds, AListingWithoutMemoryLeftGoesNoFurtherThanItsFirstPage)
{
    enum class Spent { asTheListingBegins, byOneFolder, byASecondFolder };
    for (const Spent spent : { Spent::asTheListingBegins, Spent::byOneFolder, Spent::byASecondFolder }) {
        SCOPED_TRACE(int(spent));
        MeteredSource source;
        if (spent == Spent::asTheListingBegins) {
            source.memoryBytes = memoryHeldByThisProcess();
            ASSERT_EQ(source.listingLimitsNow().listingBytes, 0);
        } else {
            source.memoryBytes = 0;
            source.listingLimits.folderBytes = source.listingLimits.listingBytes = 1 << 20;
            source.filesPerFolder = 2000;
            // Each folder ends at its own bound; only the two together spend
            // the listing's share, the second being the one told.
            if (spent == Spent::byASecondFolder)
                source.listingLimits.listingBytes = 5 << 20;
        }
        const QStringList listed = spent == Spent::byASecondFolder
            ? QStringList { QStringLiteral("Dropbox/A"), QStringLiteral("Dropbox/B") }
            : QStringList { QStringLiteral("Dropbox/A") };
        std::vector<CloudScanFoldersListPtr> folders;
        for (const char* path : { "Dropbox/A", "Dropbox/B", "Dropbox/C" }) {
            folders.push_back(std::make_shared<CloudScanFoldersList>());
            folders.back()->folderPath = QString::fromLatin1(path);
        }
        CountingSink sink;
        source.startCloudScan(folders, ScanRequest {}, sink);
        EXPECT_EQ(sink.ends, 1);
        EXPECT_EQ(source.asked, listed);
        EXPECT_EQ(sink.files, listed.size() * source.filesPerFolder);
        EXPECT_TRUE(source.lastWalkIncomplete);
        EXPECT_FALSE(source.lastWalkUnanswered);
        const std::optional<ListingBound> bound = source.lastWalkBound();
        ASSERT_TRUE(bound);
        EXPECT_EQ(bound->kind, ListingBound::Kind::memory);
        EXPECT_TRUE(bound->wholeListing);
        EXPECT_EQ(bound->folder, listed.last());
        EXPECT_EQ(bound->files, listed.size() * source.filesPerFolder);
    }
}

// Three scans in a row of the same endless folder, in a memory group of
// 1 GiB, nothing of one kept for the next: what the first scan held and let
// go of leaves the program's memory, so each scan gets the same share of
// it, lists as many files and is told the folder is too large at the same
// count. Each scan runs as the engine runs it, its sink on a thread of its
// own and the walk on this one.
TEST(ListingBounds, ScansInARowOfAnEndlessFolderGetTheSameShareOfMemory)
{
#if defined(VELLICOR_RUN_TIME_CHECKER)
    GTEST_SKIP() << "the program's memory is measured only without a run-time checker";
#endif
    // The scans run in a new process of this program (a fork would share the
    // thread pool's state but not its threads, and what the scans let go of
    // there would never go), told the group by the environment.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* const named = "VELLICOR_TEST_MEMORY_GROUP";
    MemoryGroup group;
    if (!qEnvironmentVariableIsSet(named)) {
        if (!group.make(1ll << 30, "vellicor-test"))
            GTEST_SKIP() << "no memory control group can be made here (it takes root and a memory controller)";
        qputenv(named, QByteArray::fromStdString(group.path()));
    }
    const auto removeGroup = qScopeGuard([&group, named] {
        qunsetenv(named);
        group.remove();
    });
    const auto scans = [named]() -> int {
        if (!MemoryGroup::enter(qgetenv(named).toStdString()))
            return 2;
        ComparisonSettings settings;
        settings.compareContent = true;
        const ScanRequest request = takingEveryFile(settings);
        EndlessCopies source;
        source.memoryBytes = memoryOfThisMachine();
        if (source.memoryBytes > (1ll << 30))
            return 3;
        std::vector<qint64> listed;
        for (int scan = 1; scan <= 3; ++scan) {
            const qint64 budget = source.listingLimitsNow().listingBytes;
            auto job = std::make_shared<ScanJob>(request, &source, ScanJob::Finished {});
            source.isAbortScanning = false;
            std::atomic<bool> ended { false };
            std::thread sink([&] {
                source.startCloudScan({ source.makeRootFolderNode() }, request, *job);
                ended = true;
            });
            while (!ended)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            sink.join();
            const std::optional<ListingBound> bound = job->listingBound();
            listed.push_back(bound ? bound->files : -1);
            std::cout << "scan " << scan << ": a share of " << (budget >> 20) << " MiB, " << listed.back()
                      << " files listed" << std::endl;
            job.reset();
            source.rootFolderObj.reset();
        }
        const auto [fewest, most] = std::minmax_element(listed.begin(), listed.end());
        return *fewest > 0 && *fewest >= *most * 19 / 20 ? 0 : 1;
    };
    EXPECT_EXIT(std::_Exit(scans()), ::testing::ExitedWithCode(0), "");
}
