#include "scan/PhotosLibraryReader.h"
#include "base/AppPaths.h"
#include "core/Localization.h"
#include "core/PhotosNode.h"
#include "scan/EngineFixture.h"
#include "scan/PrivateDatabaseCopy.h"
#include "support/ChildProcess.h"
#include "support/SqlScript.h"
#include "support/TestFiles.h"
#include "support/Watchdog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

const QString albumName = QStringLiteral("Vellicor's Marked");

// Assets of every layout: 1 kept, 2 in the trash, 3 not allowed for analysis
// (newer) or a burst member (older), 4 in the marked album, 5 without a path,
// 6 pointing outside the library. Only the files of 1 and 4 exist.
const char* const newerLayout
    = "CREATE TABLE Z_PRIMARYKEY (Z_ENT, Z_NAME);"
      "INSERT INTO Z_PRIMARYKEY VALUES (26, 'Album'), (33, 'GenericAsset');"
      "CREATE TABLE %1 (Z_PK INTEGER PRIMARY KEY, ZUUID, ZDIRECTORY, ZFILENAME, ZTRASHEDSTATE);"
      "CREATE TABLE ZADDITIONALASSETATTRIBUTES (Z_PK INTEGER PRIMARY KEY, ZASSET,"
      " ZORIGINALFILESIZE, ZORIGINALFILENAME, ZALLOWEDFORANALYSIS);"
      "CREATE TABLE ZGENERICALBUM (Z_PK INTEGER PRIMARY KEY, ZTITLE, ZTRASHEDSTATE);"
      "INSERT INTO ZGENERICALBUM VALUES (5, 'vellicor''s marked', 0), (7, 'Vellicor''s Marked', 0);"
      "CREATE TABLE Z_26ASSETS (Z_26ALBUMS, %2); INSERT INTO Z_26ASSETS VALUES (7, 4);"
      "INSERT INTO %1 VALUES (1, 'U-1', 'A', 'keep.jpg', 0), (2, 'U-2', 'A', 't.jpg', 1),"
      " (3, 'U-3', 'A', 's.jpg', 0), (4, 'U-4', 'A', 'album.jpg', 0), (5, 'U-5', NULL, NULL, 0),"
      " (6, 'U-6', '../..', 'out.jpg', 0);"
      "INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT Z_PK, Z_PK, 100, 'Original ' || Z_PK || '.jpg',"
      " Z_PK <> 3 FROM %1;";
const char* const olderLayout
    = "CREATE TABLE RKMASTER (modelId INTEGER PRIMARY KEY, uuid, fileSize, imagePath, isInTrash);"
      "CREATE TABLE RKVERSION (modelId INTEGER PRIMARY KEY, uuid, masterUuid, fileName, isInTrash, burstUuid);"
      "CREATE TABLE RKALBUM (modelId INTEGER PRIMARY KEY, name, isInTrash);"
      "CREATE TABLE RKALBUMVERSION (modelId INTEGER PRIMARY KEY, versionId, albumId);"
      "INSERT INTO RKALBUM VALUES (9, NULL, 0), (7, 'VELLICOR''S MARKED', 0); INSERT INTO RKALBUMVERSION VALUES (1, 4, "
      "7);"
      "INSERT INTO RKMASTER VALUES (1, 'M-1', 100, 'A/keep.jpg', 0), (2, 'M-2', 100, 'A/t.jpg', 1),"
      " (3, 'M-3', 100, 'A/s.jpg', 0), (4, 'M-4', 100, 'A/album.jpg', 0), (5, 'M-5', 100, NULL, 0),"
      " (6, 'M-6', 100, '../../out.jpg', 0);"
      "INSERT INTO RKVERSION SELECT modelId, 'V-' || modelId, uuid, 'Original ' || modelId || '.jpg', 0,"
      " CASE modelId WHEN 3 THEN 'B' END FROM RKMASTER;";

QString makeLibrary(TreeBuilder& tree, const QString& name, PhotosSchema schema)
{
    const bool older = schema == PhotosSchema::masters;
    const QString sql = older ? QString::fromLatin1(olderLayout)
                              : QString::fromLatin1(newerLayout)
                                    .arg(schema == PhotosSchema::assets ? "ZASSET" : "ZGENERICASSET",
                                        schema == PhotosSchema::assets ? "Z_3ASSETS" : "Z_33ASSETS");
    const QString database = tree.folder(name + QStringLiteral("/database"))
        + (older ? QStringLiteral("/photos.db") : QStringLiteral("/photos.sqlite"));
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(database).constData(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    const QString originals = name + (older ? QStringLiteral("/Masters/A/") : QStringLiteral("/originals/A/"));
    tree.file(originals + QStringLiteral("keep.jpg"), "library picture");
    tree.file(originals + QStringLiteral("album.jpg"), "library picture");
    return tree.path(name);
}

} // namespace

// A library is read from a copy of its database in the cache, which keeps
// room on its disk: a test that reads one needs that room free.
class PhotosLibrary : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        if (const QString lack = lackOfRoomFor(PrivateDatabaseCopy::spareRoom + 64ull * 1024 * 1024); !lack.isEmpty())
            GTEST_SKIP() << lack.toStdString();
    }
};

TEST_F(PhotosLibrary, EachLibraryLayoutYieldsOnlyItsLiveAssetsOutsideTheMarkedAlbum)
{
    const PhotosSchema layouts[] = { PhotosSchema::assets, PhotosSchema::genericAssets, PhotosSchema::masters };
    const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true);
    const PhotosLibraryReader withoutAlbum(AppPaths::cacheFolder(), QStringLiteral("Another"), true);
    int n = 0;
    for (const PhotosSchema layout : layouts) {
        const bool older = layout == PhotosSchema::masters;
        const QString library = makeLibrary(tree, QStringLiteral("L%1.photoslibrary").arg(++n), layout);
        const std::vector<PhotosAsset> assets = reader.readPhotosLibraryAssets(library);
        ASSERT_EQ(assets.size(), 1u) << n;
        EXPECT_EQ(assets[0].imagePath, library + (older ? "/Masters/A/keep.jpg" : "/originals/A/keep.jpg"));
        EXPECT_EQ(assets[0].originalFileName, QStringLiteral("Original 1.jpg"));
        EXPECT_EQ(assets[0].uuidRKVersion, older ? QStringLiteral("V-1") : QStringLiteral("U-1"));
        EXPECT_EQ(withoutAlbum.readPhotosLibraryAssets(library).size(), 2u) << n;
    }
    // The copies are gone.
    EXPECT_TRUE(QDir(AppPaths::cacheFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(PhotosLibrary, TheWalkRecordsTheFirstLibrarysItemsAsLibraryItems)
{
    markedPhotosAlbumName() = albumName;
    const QString first = makeLibrary(tree, QStringLiteral("a/One.photoslibrary"), PhotosSchema::assets);
    makeLibrary(tree, QStringLiteral("b/Two.photoslibrary"), PhotosSchema::masters);
    addRow(tree.root());
    ScanCounters counters;
    const ScanRequest request
        = makeScanRequest(ScanSource::thisComputer, sources->scanList(ScanSource::thisComputer), {}, *defaults);
    LocalWalk walk(request, counters, isAbortScan, {});
    walk.parseAllPath();

    ASSERT_EQ(walk.records().size(), 1u);
    const FileInfoNode& item = *walk.records()[0];
    ASSERT_TRUE(item.isPhotosNode && item.photosInfo());
    EXPECT_EQ(item.fileName, QStringLiteral("Original 1.jpg"));
    EXPECT_EQ(item.libraryPath(), first);
    EXPECT_EQ(item.photosInfo()->uuIDRkVersion, QStringLiteral("U-1"));
    EXPECT_EQ(counters.countScanned.load(), 1);
}

namespace {

QString logText()
{
    QFile log(AppPaths::logFile());
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

bool cacheIsEmpty()
{
    return QDir(AppPaths::cacheFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// Bytes this process has read through read calls, holes of files included.
qint64 bytesReadByThisProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return 0;
}

// Reads a library on a thread of its own under a watchdog; the number of
// assets, none when the read did not end.
std::optional<std::size_t> readGuarded(const PhotosLibraryReader& reader, const QString& library,
    std::shared_ptr<std::atomic<bool>> stop = std::make_shared<std::atomic<bool>>(false), bool stopWhileRunning = false)
{
    return runWithWatchdog(
        [reader, library, stop] { return reader.readPhotosLibraryAssets(library, stop.get()).size(); },
        stopWhileRunning ? stop : nullptr);
}

} // namespace

TEST_F(PhotosLibrary, ALibraryWhoseDatabaseFilesAreNotPlainFilesIsSkippedWithoutBlocking)
{
    const QString library = makeLibrary(tree, QStringLiteral("L.photoslibrary"), PhotosSchema::assets);
    const QString database = library + QStringLiteral("/database/photos.sqlite");
    const QString elsewhere = tree.file(QStringLiteral("elsewhere"), "not the library's");
    const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true);
    ASSERT_EQ(readGuarded(reader, library), std::optional<std::size_t>(1));

    makeTestFifo(database + QStringLiteral("-wal"));
    EXPECT_EQ(readGuarded(reader, library), std::optional<std::size_t>(0));
    EXPECT_TRUE(logText().contains(QStringLiteral("photos.sqlite-wal\": not a regular file")));
    ASSERT_TRUE(QFile::remove(database + QStringLiteral("-wal")));

    ASSERT_TRUE(QFile::link(elsewhere, database + QStringLiteral("-shm")));
    EXPECT_EQ(readGuarded(reader, library), std::optional<std::size_t>(0));
    EXPECT_TRUE(logText().contains(QStringLiteral("photos.sqlite-shm\": a symbolic link")));
    ASSERT_TRUE(QFile::remove(database + QStringLiteral("-shm")));

    // The database itself reached through a link.
    ASSERT_TRUE(QFile::rename(database, elsewhere + QStringLiteral(".sqlite")));
    ASSERT_TRUE(QFile::link(elsewhere + QStringLiteral(".sqlite"), database));
    EXPECT_EQ(readGuarded(reader, library), std::optional<std::size_t>(0));
    EXPECT_TRUE(cacheIsEmpty());
}

TEST_F(PhotosLibrary, ACopyBeyondItsBoundOrStoppedLeavesTheLibraryAndNothingInTheCache)
{
    const QString library = makeLibrary(tree, QStringLiteral("L.photoslibrary"), PhotosSchema::assets);
    // A hole of 64 MiB after the database's pages: it takes no room where it
    // is and must not take any in the cache.
    QFile database(library + QStringLiteral("/database/photos.sqlite"));
    ASSERT_TRUE(database.resize(64 * 1024 * 1024));
    const PhotosLibraryReader bounded(AppPaths::cacheFolder(), albumName, true, { 16 * 1024 * 1024 });
    EXPECT_EQ(readGuarded(bounded, library), std::optional<std::size_t>(0));
    EXPECT_TRUE(logText().contains(QStringLiteral("a photo library may copy")));

    const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true);
    EXPECT_EQ(readGuarded(reader, library), std::optional<std::size_t>(1));
    EXPECT_EQ(readGuarded(reader, library, std::make_shared<std::atomic<bool>>(true)), std::optional<std::size_t>(0));
    EXPECT_TRUE(cacheIsEmpty());
}

TEST_F(PhotosLibrary, ASparseDatabaseIsCopiedByItsDataAndACopyPastItsTimeIsSkipped)
{
    // Gibibytes of holes after the database's pages: only its few pages of
    // data may be read, or the copy would read for minutes.
    const QString library = makeLibrary(tree, QStringLiteral("L.photoslibrary"), PhotosSchema::assets);
    QFile database(library + QStringLiteral("/database/photos.sqlite"));
    ASSERT_TRUE(database.resize(6ll * 1024 * 1024 * 1024));
    const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true, { 8ull * 1024 * 1024 * 1024 });
    const qint64 readBefore = bytesReadByThisProcess();
    EXPECT_EQ(readGuarded(reader, library), std::optional<std::size_t>(1));
    EXPECT_LT(bytesReadByThisProcess() - readBefore, 64 * 1024 * 1024);
    EXPECT_TRUE(cacheIsEmpty());

    const PhotosLibraryReader hurried(
        AppPaths::cacheFolder(), albumName, true, { 8ull * 1024 * 1024 * 1024, std::chrono::minutes(2), {} });
    EXPECT_EQ(readGuarded(hurried, library), std::optional<std::size_t>(0));
    EXPECT_TRUE(logText().contains(QStringLiteral("seconds a photo library may take")));
    EXPECT_TRUE(cacheIsEmpty());
}

TEST_F(PhotosLibrary, ViewsStandingInForTheTablesReadSkipTheLibrary)
{
    const QString endless = QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) ");
    const std::pair<PhotosSchema, QString> changes[] = {
        { PhotosSchema::assets,
            QStringLiteral("DROP TABLE ZGENERICALBUM; CREATE VIEW ZGENERICALBUM AS ") + endless
                + QStringLiteral("SELECT x AS Z_PK, 'other' AS ZTITLE, 0 AS ZTRASHEDSTATE FROM c") },
        { PhotosSchema::assets,
            QStringLiteral("DROP TABLE Z_26ASSETS; CREATE VIEW Z_26ASSETS AS ") + endless
                + QStringLiteral("SELECT 7 AS Z_26ALBUMS, x AS Z_3ASSETS FROM c") },
        { PhotosSchema::masters,
            QStringLiteral("ALTER TABLE RKALBUMVERSION RENAME TO R; CREATE VIEW RKALBUMVERSION AS SELECT * FROM R") },
        { PhotosSchema::assets,
            QStringLiteral("ALTER TABLE ZASSET RENAME TO R; CREATE VIEW ZASSET AS SELECT * FROM R") },
    };
    const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true);
    int n = 0;
    for (const auto& [layout, change] : changes) {
        const QString library = makeLibrary(tree, QStringLiteral("V%1.photoslibrary").arg(++n), layout);
        runSqlScript(PhotosLibraryReader::photosLibraryDatabasePath(library), change);
        EXPECT_EQ(readGuarded(reader, library), std::optional<std::size_t>(0)) << n;
    }
    EXPECT_TRUE(logText().contains(QStringLiteral("Z_26ASSETS is not a plain table")));
    EXPECT_TRUE(logText().contains(QStringLiteral("RKALBUMVERSION is not a plain table")));
    EXPECT_TRUE(cacheIsEmpty());
}

TEST_F(PhotosLibrary, AQueryThatWouldRunOnAndOnEndsAtStopAndAtItsTimeBound)
{
    // Plain tables without keys: each of 100,000 entries looks through
    // 100,000 assets for its own, which none is, ten billion steps.
    const QString database = tree.folder(QStringLiteral("J.photoslibrary/database")) + QStringLiteral("/photos.sqlite");
    runSqlScript(database,
        QStringLiteral("CREATE TABLE ZASSET (Z_PK, ZUUID, ZDIRECTORY, ZFILENAME, ZTRASHEDSTATE);"
                       "CREATE TABLE ZADDITIONALASSETATTRIBUTES (ZASSET, ZORIGINALFILESIZE, ZORIGINALFILENAME,"
                       " ZALLOWEDFORANALYSIS);"
                       "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 100000)"
                       " INSERT INTO ZASSET SELECT 2, 'U', NULL, NULL, 0 FROM c;"
                       "INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT 1, 1, 'n', 1 FROM ZASSET;"));
    const QString library = tree.path(QStringLiteral("J.photoslibrary"));

    const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true);
    EXPECT_EQ(
        readGuarded(reader, library, std::make_shared<std::atomic<bool>>(false), true), std::optional<std::size_t>(0));
    EXPECT_TRUE(logText().contains(QStringLiteral("stopped")));

    const PhotosLibraryReader bounded(
        AppPaths::cacheFolder(), albumName, true, { 1ull << 30, std::chrono::seconds(1) });
    EXPECT_EQ(readGuarded(bounded, library), std::optional<std::size_t>(0));
    EXPECT_TRUE(logText().contains(QStringLiteral("took too long")));
    EXPECT_TRUE(cacheIsEmpty());
}

namespace {

// A library of the newer layout whose database the sql makes, with the one
// picture its entries name ("A/x.jpg").
QString craftedLibrary(TreeBuilder& tree, const QString& name, const QString& sql)
{
    runSqlScript(tree.folder(name + QStringLiteral("/database")) + QStringLiteral("/photos.sqlite"), sql);
    tree.file(name + QStringLiteral("/originals/A/x.jpg"), "library picture");
    return tree.path(name);
}

// The statement's rows, count of them, numbered from 1 in x.
QString rowsOf(int count, const QString& statement)
{
    return QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT %1) ").arg(count)
        + statement + QLatin1Char(';');
}

const QString assetTables
    = QStringLiteral("CREATE TABLE ZADDITIONALASSETATTRIBUTES (Z_PK, ZASSET, ZORIGINALFILESIZE, ZORIGINALFILENAME,"
                     " ZALLOWEDFORANALYSIS);");

// What a read may add to the resident memory of the process; the crafted
// libraries below took gigabytes.
constexpr qint64 memoryBound = scaledMemoryBound(256ll * 1024 * 1024);
// What the child reading them may take beyond its parent's address space: a
// read beyond it ends there, not in the machine's memory.
constexpr qint64 childSpare = 1024ll * 1024 * 1024;

} // namespace

TEST_F(PhotosLibrary, TablesThatRepeatTheirKeysYieldEachEntryOnceWithinBoundedMemory)
{
    // Every asset and every entry under the key 1: joined, nine million rows.
    const QString library = craftedLibrary(tree, QStringLiteral("Cross.photoslibrary"),
        QStringLiteral("CREATE TABLE ZASSET (Z_PK, ZUUID, ZDIRECTORY, ZFILENAME, ZTRASHEDSTATE);") + assetTables
            + rowsOf(3000, QStringLiteral("INSERT INTO ZASSET SELECT 1, 'U', 'A', 'x.jpg', 0 FROM c"))
            + rowsOf(3000, QStringLiteral("INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT x, 1, 7, 'x.jpg', 1 FROM c")));
    const BoundedRun read = runBoundedChild(
        [&] {
            const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true);
            return reader.readPhotosLibraryAssets(library).size() == 3000 ? 0 : 1;
        },
        60000, childSpare);
    EXPECT_EQ(read.exitCode, 0);
    EXPECT_LT(read.peakGrowthBytes, memoryBound);
    EXPECT_TRUE(cacheIsEmpty());
}

TEST_F(PhotosLibrary, ComputedColumnsSkipTheLibraryWithItsReason)
{
    // A column that makes four megabytes for each of 500 assets.
    const QString computed = craftedLibrary(tree, QStringLiteral("Computed.photoslibrary"),
        QStringLiteral("CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZUUID, ZDIRECTORY, ZTRASHEDSTATE,"
                       " ZFILENAME GENERATED ALWAYS AS (printf('%.*c', 4000000, 'x')) VIRTUAL);")
            + assetTables
            + rowsOf(500, QStringLiteral("INSERT INTO ZASSET (Z_PK, ZUUID, ZDIRECTORY, ZTRASHEDSTATE) SELECT x, 'U',"
                                         " 'A', 0 FROM c"))
            + QStringLiteral("INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT Z_PK, Z_PK, 7, 'x.jpg', 1 FROM ZASSET;"));
    const BoundedRun read = runBoundedChild(
        [&] {
            const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true);
            QString failure;
            const bool none = reader.readPhotosLibraryAssets(computed, nullptr, &failure).empty();
            return none && failure == QLatin1String("ZASSET has computed columns") ? 0 : 1;
        },
        60000, childSpare);
    EXPECT_EQ(read.exitCode, 0);
    EXPECT_LT(read.peakGrowthBytes, memoryBound);
}

TEST_F(PhotosLibrary, ALibraryPastItsBoundOfRowsOrOfBytesIsSkippedWithItsReason)
{
    const QString library = craftedLibrary(tree, QStringLiteral("Large.photoslibrary"),
        QStringLiteral("CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZUUID, ZDIRECTORY, ZFILENAME, ZTRASHEDSTATE);")
            + assetTables + rowsOf(2000, QStringLiteral("INSERT INTO ZASSET SELECT x, 'U-' || x, 'A', 'x.jpg', 0 FROM c"))
            + QStringLiteral("INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT Z_PK, Z_PK, 7, 'x.jpg', 1 FROM ZASSET;"));
    const auto read = [&](PhotosLibraryLimits limits) {
        QString failure;
        const std::size_t assets
            = PhotosLibraryReader(AppPaths::cacheFolder(), albumName, true, limits)
                  .readPhotosLibraryAssets(library, nullptr, &failure)
                  .size();
        return std::make_pair(assets, failure);
    };
    EXPECT_EQ(read({}), std::make_pair(std::size_t(2000), QString()));
    PhotosLibraryLimits fewRows;
    fewRows.rows = 1000;
    EXPECT_EQ(read(fewRows), std::make_pair(std::size_t(0), QStringLiteral("it yields more than 1000 rows")));
    PhotosLibraryLimits fewBytes;
    fewBytes.bytes = 10000;
    EXPECT_EQ(read(fewBytes), std::make_pair(std::size_t(0), QStringLiteral("it yields more than 10000 bytes of text")));
    EXPECT_TRUE(cacheIsEmpty());
}

// A name stored at 100,000 bytes (no file has one) leaves the library out,
// logged and told, while the scan goes on.
TEST_F(PhotosLibrary, ALibraryLeftOutIsToldOfWhileTheScanFindsTheOtherFiles)
{
    tree.file(QStringLiteral("a.txt"), "same");
    tree.file(QStringLiteral("b.txt"), "same");
    const QString library = craftedLibrary(tree, QStringLiteral("Stored.photoslibrary"),
        QStringLiteral("CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZUUID, ZDIRECTORY, ZFILENAME, ZTRASHEDSTATE);")
            + assetTables
            + QStringLiteral("INSERT INTO ZASSET VALUES (1, 'U', 'A', 'x.jpg', 0), (2, 'U', 'A', printf('%.*c',"
                             " 100000, 'x'), 0);"
                             "INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT Z_PK, Z_PK, 7, 'x.jpg', 1 FROM ZASSET;"));
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_EQ(groupsFound(), (QList<QStringList> { { QStringLiteral("a.txt"), QStringLiteral("b.txt") } }));
    EXPECT_EQ(result->skippedCount, 1);
    ASSERT_EQ(screen.alertMessages(), QStringList { localizedText("ID_PHOTO_DATABASE_LEFT_OUT") });
    EXPECT_TRUE(screen.alerts.back().informativeText.startsWith(library));
    EXPECT_TRUE(logText().contains(library + QStringLiteral(" - it holds a value of more than 65536 bytes")));
}

namespace {

// A pair of duplicates beside count libraries that cannot be read (a
// computed column); their paths.
QStringList unreadableLibrariesBesideAPair(TreeBuilder& tree, int count)
{
    tree.file(QStringLiteral("a.txt"), "same");
    tree.file(QStringLiteral("b.txt"), "same");
    QStringList libraries;
    for (int i = 0; i < count; ++i) {
        libraries << craftedLibrary(tree, QStringLiteral("L%1.photoslibrary").arg(i),
            QStringLiteral("CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZUUID, ZDIRECTORY, ZTRASHEDSTATE,"
                           " ZFILENAME GENERATED ALWAYS AS ('x.jpg') VIRTUAL);")
                + assetTables);
    }
    return libraries;
}

} // namespace

// Any number of unreadable libraries: the notice names the first few and
// counts the rest, whatever the tree holds.
TEST_F(EngineFixture, ManyLibrariesLeftOutAreNamedAFewAndTheRestCounted)
{
    const QStringList libraries = unreadableLibrariesBesideAPair(tree, 5);
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_EQ(result->skippedCount, 5);
    ASSERT_EQ(screen.alertMessages(), QStringList { localizedText("ID_PHOTO_DATABASE_LEFT_OUT") });
    const QString details = screen.alerts.back().informativeText;
    int named = 0;
    for (const QString& library : libraries)
        named += details.contains(library) ? 1 : 0;
    EXPECT_EQ(named, 3) << qPrintable(details);
    EXPECT_TRUE(details.contains(QStringLiteral(" and 2 more "))) << qPrintable(details);
}

// Two or three unreadable libraries are all named, in the plural.
TEST_F(EngineFixture, TwoLibrariesLeftOutAreBothNamedInThePlural)
{
    const QStringList libraries = unreadableLibrariesBesideAPair(tree, 2);
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    ASSERT_EQ(screen.alertMessages(), QStringList { localizedText("ID_PHOTO_DATABASE_LEFT_OUT") });
    const QString details = screen.alerts.back().informativeText;
    for (const QString& library : libraries)
        EXPECT_TRUE(details.contains(library)) << qPrintable(details);
    EXPECT_TRUE(
        details.endsWith(QStringLiteral(" could not be read, so their photos were left out of the scan. The log "
                                        "tells why.")))
        << qPrintable(details);
}

namespace {

struct WalkedLibrary {
    QStringList shown; // the lines the walk asked for, in order
    QList<qint64> countedAt; // countScanned at each recorded item
    std::vector<FileInfoNodePtr> records;
};

WalkedLibrary walkRows(const std::vector<FilePathNodePtr>& rows, const UserDefaults& defaults)
{
    WalkedLibrary walked;
    ScanCounters counters;
    const ScanRequest request = makeScanRequest(ScanSource::thisComputer, rows, {}, defaults);
    LocalWalk::Progress progress;
    progress.recorded = [&](const QString& path) {
        walked.shown.append(path);
        walked.countedAt.append(counters.countScanned.load());
    };
    progress.readingLibrary = [&](const QString& path) { walked.shown.append(QStringLiteral("reading ") + path); };
    LocalWalk walk(request, counters, isAbortScan, std::move(progress));
    walk.parseAllPath();
    walked.records = walk.records();
    EXPECT_EQ(counters.countScanned.load(), qint64(walked.records.size()));
    return walked;
}

} // namespace

TEST_F(PhotosLibrary, TheLineShowsTheLibraryWhileItIsReadAndEachItemIsCounted)
{
    markedPhotosAlbumName() = QStringLiteral("Another");
    const QString library = makeLibrary(tree, QStringLiteral("L.photoslibrary"), PhotosSchema::assets);
    addRow(library);
    const WalkedLibrary walked = walkRows(sources->scanList(ScanSource::thisComputer), *defaults);
    // The library's path once, then one count per item without a path of its own.
    EXPECT_EQ(walked.shown, (QStringList { QStringLiteral("reading ") + library, QString(), QString() }));
    EXPECT_EQ(walked.countedAt, (QList<qint64> { 1, 2 }));

    // Switched off, the library is passed over unread.
    defaults->setValue(QLatin1String(SettingsKey::scanPhotosLibrary), false);
    const WalkedLibrary off = walkRows(sources->scanList(ScanSource::thisComputer), *defaults);
    EXPECT_TRUE(off.shown.isEmpty());
    EXPECT_TRUE(off.records.empty());
}

TEST_F(PhotosLibrary, ALibrarysOriginalMetAlsoAsAPlainFileIsOneFileTheLibrarysItem)
{
    markedPhotosAlbumName() = albumName;
    const QString library = makeLibrary(tree, QStringLiteral("L.photoslibrary"), PhotosSchema::assets);
    tree.file(QStringLiteral("L.photoslibrary/originals/A/album.jpg"), "not in the library's reading");
    const QString originals = library + QStringLiteral("/originals/A");
    const auto row = [](const QString& path) {
        FilePathNodePtr node = pathRow(path);
        node->isIncludeSubFolders = true;
        return node;
    };
    // Whichever comes first, keep.jpg is the library's item alone; album.jpg
    // (in the marked album, so not read from the library) stays a plain file.
    for (const auto& rows :
        { std::vector { row(originals), row(library) }, std::vector { row(library), row(originals) } }) {
        QStringList found;
        for (const FileInfoNodePtr& record : walkRows(rows, *defaults).records)
            found.append(QFileInfo(*record->filePath).fileName() + (record->isPhotosNode ? " (library)" : ""));
        found.sort();
        EXPECT_EQ(found, (QStringList { "album.jpg", "keep.jpg (library)" }));
    }

    // So the scan finds no duplicate of keep.jpg in keep.jpg itself.
    addRow(originals);
    addRow(library);
    ASSERT_TRUE(runScan());
    EXPECT_TRUE(result->groups.empty()) << result->groups.size();
}
