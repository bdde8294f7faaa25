#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "scan/CloudFileRecordBuilder.h"
#include "scan/ScanJob.h"
#include "scan/ScanWrapper.h"
#include "support/ChildProcess.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <malloc.h>
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
qint64 listThrough(ListingGuard& guard, int folders, int files, const FileInfoNode& record)
{
    // The folder's text is the folder's, shared by its records; a scan's
    // listing counts what the scan holds for each file too.
    const qint64 recordBytes = heldBytesOfListedFile(record, record.folderPath);
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
    // listing, a folder no more than 4 GiB.
    const ListingLimits limits = listingLimitsWithin(8ll << 30);
    EXPECT_EQ(limits.listingBytes, 6ll << 30);
    EXPECT_EQ(limits.folderBytes, 4ll << 30);
    EXPECT_LE(memoryOfThisMachine(), qint64(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGE_SIZE));
}

// A scan's listing counts what the program holds for each file through the
// scan and its comparison: its record, its entry while the folder lists, and
// what the scan's job and its comparison keep (its path taken, its place in
// the job's list, the checksums compared, its group). Measured as the system
// counts the program's memory, in a process of its own, over a folder of
// photos of which every other one is a copy of the one before.
TEST(ListingBounds, AScansListingCountsWhatTheScanAndItsComparisonHoldForEachFile)
{
    const int code = exitCodeOfChild([] {
        constexpr int files = 200000;
        malloc_trim(0);
        const qint64 before = statusBytes("VmRSS");
        resetPeakMemory();
        FolderPages pages;
        for (int page = 0; page * 1000 < files; ++page) {
            pages.tally.beginPage(1000);
            for (int index = page * 1000; index < (page + 1) * 1000; ++index) {
                const QString name = QStringLiteral("IMG_20230501_%1.jpg").arg(index, 6, 10, QLatin1Char('0'));
                const QString id = QStringLiteral("id:a4ayc_80_OEAAAAA%1").arg(index, 6, 10, QLatin1Char('0'));
                const QJsonObject entry { { QStringLiteral(".tag"), QStringLiteral("file") },
                    { QStringLiteral("name"), name },
                    { QStringLiteral("path_display"), QStringLiteral("/Camera Uploads/") + name },
                    { QStringLiteral("id"), id }, { QStringLiteral("rev"), QStringLiteral("5f3a2b4c5d6e7f0000000") + id },
                    { QStringLiteral("size"), 3456789 },
                    { QStringLiteral("content_hash"),
                        QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495%1")
                            .arg(index / 2, 12, 10, QLatin1Char('0')) },
                    { QStringLiteral("client_modified"), QStringLiteral("2023-05-01T12:34:56Z") },
                    { QStringLiteral("server_modified"), QStringLiteral("2023-05-01T12:34:56Z") } };
                auto record = std::make_shared<FileInfoNode>();
                makeDropboxFileInfoNode(*record, *DropboxFileMetadata::fromJson(entry));
                pages.tally.take(QStringLiteral("file:") + id);
                pages.addFile(std::move(record));
            }
        }
        ScanRequest request;
        request.source = ScanSource::dropbox;
        request.comparison.compareContent = true;
        ScanJob job(request, nullptr, {});
        for (const FileInfoNodePtr& record : pages.listing.files)
            job.addCloudScanFile(record);
        job.findDuplicatesInCloudDrives();
        const qint64 held = statusBytes("VmHWM") - before;
        const qint64 counted = pages.tally.heldBytes();
        std::cout << "held " << held / files << " bytes a file, counted " << counted / files << "; "
                  << job.result()->groups.size() << " groups" << std::endl;
        return held <= scaledMemoryBound(counted) && job.result()->groups.size() == files / 2 ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
}
