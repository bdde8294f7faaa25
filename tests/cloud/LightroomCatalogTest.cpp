#include "cloud/LightroomCloudHandler.h"
#include "scan/PrivateDatabaseCopy.h"
#include "scan/ScanRequest.h"
#include "support/ChildProcess.h"
#include "support/SqlScript.h"
#include "support/TestFiles.h"
#include "support/TreeBuilder.h"
#include "support/Watchdog.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

#include <sys/stat.h>

// Two root folders, one with a sub-folder, a file without a name and a file
// that is no longer on disk.
class LightroomCatalog : public ::testing::Test {
protected:
    TreeBuilder tree;
    QString catalog, rootA, rootB;

    void SetUp() override
    {
        // The catalog is read from a copy in the cache, which keeps room on
        // its disk.
        if (const QString lack = lackOfRoomFor(PrivateDatabaseCopy::spareRoom + 64ull * 1024 * 1024); !lack.isEmpty())
            GTEST_SKIP() << lack.toStdString();
        tree.file(QStringLiteral("A/a.jpg"), QByteArray(300, 'a'));
        rootA = tree.root() + QStringLiteral("/A/");
        rootB = tree.root() + QStringLiteral("/B/");
        catalog = tree.root() + QStringLiteral("/Lightroom Catalog.lrcat");
        const QString sql = QStringLiteral(
            "CREATE TABLE AgLibraryRootFolder (id_local INTEGER PRIMARY KEY, absolutePath TEXT);"
            "CREATE TABLE AgLibraryFolder (id_local INTEGER PRIMARY KEY, rootFolder INTEGER, pathFromRoot TEXT);"
            "CREATE TABLE AgLibraryFile (id_local INTEGER PRIMARY KEY, folder INTEGER, originalFilename TEXT);"
            "CREATE TABLE Adobe_images (id_local INTEGER PRIMARY KEY, rootFile INTEGER);"
            "INSERT INTO AgLibraryRootFolder VALUES (1, '%1'), (2, '%2');"
            "INSERT INTO AgLibraryFolder VALUES (10, 1, ''), (11, 1, 'sub/'), (20, 2, '');"
            "INSERT INTO AgLibraryFile VALUES (100, 10, 'a.jpg'), (101, 11, 'b.jpg'), (102, 20, 'gone.jpg'),"
            "  (103, 20, NULL);"
            "INSERT INTO Adobe_images VALUES (1000, 100), (1001, 101), (1002, 102);")
                                .arg(rootA, rootB);
        run(sql);
    }
    void run(const QString& sql) { runSqlScript(catalog, sql); }

    int rows(const char* table)
    {
        const std::string sql = std::string("SELECT count(*) FROM ") + table;
        sqlite3* db = nullptr;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_open(catalog.toUtf8().constData(), &db);
        sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
        const int value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return value;
    }
};

TEST_F(LightroomCatalog, ListsEachFileOnceUnderItsOwnRootAndFolder)
{
    QSet<QString> listed;
    for (const LightroomCatalogRow& row : LightroomDBManager(catalog).fetchLightroomCatalogFiles())
        listed.insert(QString::number(row.fileId) + QLatin1Char(' ') + row.folderPath + row.fileName);
    EXPECT_EQ(listed,
        (QSet<QString> { QStringLiteral("100 ") + rootA + QStringLiteral("a.jpg"),
            QStringLiteral("101 ") + rootA + QStringLiteral("sub/b.jpg"),
            QStringLiteral("102 ") + rootB + QStringLiteral("gone.jpg") }));
}

TEST_F(LightroomCatalog, RemovalTakesExactlyTheFilesEntriesAndNeverTheFile)
{
    LightroomCloudHandler handler(catalog);
    auto record = std::make_shared<FileInfoNode>();
    LightroomCloudHandler::fillLightroomFileInfoNode({ 100, QStringLiteral("a.jpg"), 10, rootA }, *record);
    EXPECT_EQ(record->fileSize, 300u);
    EXPECT_TRUE(handler.deleteCloudFile(record));
    EXPECT_EQ(rows("AgLibraryFile WHERE id_local = 100") + rows("Adobe_images WHERE rootFile = 100"), 0);
    EXPECT_EQ(rows("AgLibraryFile"), 3);
    EXPECT_EQ(rows("Adobe_images"), 2);
    EXPECT_TRUE(QFile::exists(rootA + QStringLiteral("a.jpg")));

    // An id that is not a number, or the application's lock file, refuses
    // the whole call.
    EXPECT_FALSE(handler.catalog().deleteLightroomCatalogFiles({ QStringLiteral("101"), QStringLiteral("0 OR 1") }));
    QFile lock(catalog + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    EXPECT_FALSE(handler.catalog().deleteLightroomCatalogFiles({ QStringLiteral("101") }));
    EXPECT_EQ(rows("AgLibraryFile"), 3);
}

TEST_F(LightroomCatalog, FoldersThatWouldLeaveTheirRootAreSkipped)
{
    run(QStringLiteral("INSERT INTO AgLibraryRootFolder VALUES (3, 'relative/root/'), (4, '%1../');"
                       "INSERT INTO AgLibraryFolder VALUES (30, 1, '../../../../etc/'), (31, 1, '/etc/'),"
                       "  (32, 1, 'sub/./../'), (33, 3, ''), (34, 4, ''), (35, 1, 'ok//');"
                       "INSERT INTO AgLibraryFile VALUES (300, 30, 'passwd'), (301, 31, 'passwd'), (302, 32, 'x'),"
                       "  (303, 33, 'x'), (304, 34, 'x'), (305, 35, 'x');")
            .arg(rootA));
    QSet<qint64> listed;
    for (const LightroomCatalogRow& row : LightroomDBManager(catalog).fetchLightroomCatalogFiles())
        listed.insert(row.fileId);
    EXPECT_EQ(listed, (QSet<qint64> { 100, 101, 102 }));
}

TEST_F(LightroomCatalog, AViewStandingInForATableEndsTheListingWithAReason)
{
    run("DROP TABLE AgLibraryFolder; CREATE VIEW AgLibraryFolder AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL"
        " SELECT x + 1 FROM c) SELECT 10 AS id_local, 1 AS rootFolder, '' AS pathFromRoot FROM c");
    const QString path = catalog;
    const auto listing = runWithWatchdog([path] {
        QString failure;
        const std::size_t rows = LightroomDBManager(path).fetchLightroomCatalogFiles(nullptr, &failure).size();
        return std::make_pair(rows, failure);
    });
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->first, 0u);
    EXPECT_EQ(listing->second, QStringLiteral("AgLibraryFolder is not a plain table"));
}

TEST_F(LightroomCatalog, ACatalogOrCompanionThatIsNotAPlainFileIsRefusedWithoutBlocking)
{
    const QString path = catalog;
    const auto listing = [path] {
        QString failure;
        LightroomDBManager(path).fetchLightroomCatalogFiles(nullptr, &failure);
        return failure;
    };
    makeTestFifo(catalog + QStringLiteral("-journal"));
    EXPECT_TRUE(runWithWatchdog(listing).value_or(QString()).endsWith(QStringLiteral("not a regular file")));
    ASSERT_TRUE(QFile::remove(catalog + QStringLiteral("-journal")));
    ASSERT_TRUE(QFile::rename(catalog, catalog + QStringLiteral(".moved")));
    makeTestFifo(catalog);
    EXPECT_TRUE(runWithWatchdog(listing).value_or(QString()).endsWith(QStringLiteral("not a regular file")));
}

TEST_F(LightroomCatalog, StopEndsAListingThatWouldRunOnAndOn)
{
    // Plain tables, no keys: every file joins every folder and every root,
    // a trillion rows whose names are never usable.
    const QString endless = tree.root() + QStringLiteral("/endless.lrcat");
    runSqlScript(endless,
        "CREATE TABLE AgLibraryRootFolder (id_local, absolutePath);"
        "CREATE TABLE AgLibraryFolder (id_local, rootFolder, pathFromRoot);"
        "CREATE TABLE AgLibraryFile (id_local, folder, originalFilename);"
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 10000)"
        " INSERT INTO AgLibraryRootFolder SELECT 1, '/r/' FROM c;"
        "INSERT INTO AgLibraryFolder SELECT 1, 1, '' FROM AgLibraryRootFolder;"
        "INSERT INTO AgLibraryFile SELECT x, 1, '..' FROM (SELECT rowid AS x FROM AgLibraryRootFolder);");
    auto handler = std::make_shared<LightroomCloudHandler>(endless);
    struct Sink : CloudScanSink {
        void addCloudScanFile(const FileInfoNodePtr&) override { }
        void OnScanCompletedProcess() override { ended = true; }
        bool ended = false;
    };
    auto stop = std::make_shared<std::atomic<bool>>(false);
    const auto ended = runWithWatchdog(
        [handler, stop] {
            // The handler's own Stop flag, raised as the engine raises it.
            std::thread watcher([handler, stop] {
                while (!stop->load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                handler->isAbortScanning = true;
            });
            Sink sink;
            handler->startCloudScan({}, ScanRequest {}, sink);
            watcher.join();
            return sink.ended;
        },
        stop);
    EXPECT_EQ(ended, std::optional<bool>(true));
    EXPECT_FALSE(handler->lastWalkIncomplete);
}

TEST_F(LightroomCatalog, RemovalIsRefusedWhenTheCatalogWouldDoMoreThanRemoveTheEntries)
{
    const QStringList hostile {
        "CREATE TRIGGER t AFTER DELETE ON AgLibraryFile BEGIN DELETE FROM AgLibraryRootFolder; END",
        "CREATE TRIGGER t BEFORE DELETE ON adobe_images BEGIN DELETE FROM AgLibraryFolder; END",
        "ALTER TABLE Adobe_images RENAME TO Images; CREATE VIEW Adobe_images AS SELECT * FROM Images;"
        " CREATE TRIGGER t INSTEAD OF DELETE ON Adobe_images BEGIN DELETE FROM AgLibraryFolder; END",
    };
    for (const QString& sql : hostile) {
        ASSERT_TRUE(QFile::remove(catalog));
        SetUp();
        run(sql);
        LightroomCloudHandler handler(catalog);
        auto record = std::make_shared<FileInfoNode>();
        LightroomCloudHandler::fillLightroomFileInfoNode({ 100, QStringLiteral("a.jpg"), 10, rootA }, *record);
        EXPECT_FALSE(handler.deleteCloudFile(record)) << sql.toStdString();
        const QString error = handler.lastRemovalFailure();
        EXPECT_TRUE(error.contains(QStringLiteral("nothing was removed"))) << error.toStdString();
        EXPECT_EQ(rows("AgLibraryFile") + rows("AgLibraryFolder") + rows("AgLibraryRootFolder"), 4 + 3 + 2);
    }
}

namespace {

// Each entry of a folder as its name, size and modification time to the
// nanosecond, sorted.
QStringList folderState(const QString& folder)
{
    QStringList state;
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        struct stat status { };
        ::lstat(QFile::encodeName(folder + QLatin1Char('/') + name).constData(), &status);
        state.append(QStringLiteral("%1 %2 %3.%4")
                         .arg(name)
                         .arg(qint64(status.st_size))
                         .arg(qint64(status.st_mtim.tv_sec))
                         .arg(qint64(status.st_mtim.tv_nsec)));
    }
    state.sort();
    return state;
}

} // namespace

TEST_F(LightroomCatalog, KeysRepeatedAcrossTheTablesListEachFileOnceWithinBoundedMemory)
{
    // Every folder and every root under the key 1: joined, 64 million rows.
    const QString crossed = tree.root() + QStringLiteral("/crossed.lrcat");
    runSqlScript(crossed,
        "CREATE TABLE AgLibraryRootFolder (id_local, absolutePath);"
        "CREATE TABLE AgLibraryFolder (id_local, rootFolder, pathFromRoot);"
        "CREATE TABLE AgLibraryFile (id_local, folder, originalFilename);"
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 400)"
        " INSERT INTO AgLibraryRootFolder SELECT 1, '/r/' FROM c;"
        "INSERT INTO AgLibraryFolder SELECT 1, 1, 'f/' FROM AgLibraryRootFolder;"
        "INSERT INTO AgLibraryFile SELECT rowid, 1, 'a.jpg' FROM AgLibraryRootFolder;");
    const BoundedRun listed = runBoundedChild(
        [&] { return LightroomDBManager(crossed).fetchLightroomCatalogFiles().size() == 400 ? 0 : 1; },
        60000, 1024ll * 1024 * 1024);
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_LT(listed.peakGrowthBytes, scaledMemoryBound(256ll * 1024 * 1024));
}

TEST_F(LightroomCatalog, ComputedColumnsAndListingsPastTheirBoundEndWithAReason)
{
    const auto failureOf = [](const LightroomDBManager& manager) {
        QString failure;
        EXPECT_TRUE(manager.fetchLightroomCatalogFiles(nullptr, &failure).empty());
        return failure;
    };
    DatabaseBounds fewRows;
    fewRows.rows = 5;
    EXPECT_EQ(failureOf(LightroomDBManager(catalog, fewRows)), QStringLiteral("it yields more than 5 rows"));

    run("ALTER TABLE AgLibraryRootFolder ADD COLUMN p GENERATED ALWAYS AS (printf('%.*c', 100000, 'x'));");
    EXPECT_EQ(failureOf(LightroomDBManager(catalog)), QStringLiteral("AgLibraryRootFolder has computed columns"));
    // Read from there, the scan tells the user the catalog was left out.
    LightroomCloudHandler handler(catalog);
    struct : CloudScanSink {
        void addCloudScanFile(const FileInfoNodePtr&) override { }
        void OnScanCompletedProcess() override { }
    } sink;
    handler.startCloudScan({}, ScanRequest {}, sink);
    EXPECT_TRUE(handler.lastWalkIncomplete);
}

TEST_F(LightroomCatalog, ReadingACatalogKeptWithAWriteAheadLogWritesNothingBesideIt)
{
    run("PRAGMA journal_mode = WAL");
    const QString folder = tree.root();
    const QStringList before = folderState(folder);
    ASSERT_FALSE(before.join(' ').contains(QStringLiteral("-wal")));
    EXPECT_EQ(LightroomDBManager(catalog).fetchLightroomCatalogFiles().size(), 3u);
    EXPECT_EQ(folderState(folder), before);

    // The photo application at work: its newest entries are in the log alone.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(catalog).constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                  "PRAGMA wal_autocheckpoint = 0; INSERT INTO AgLibraryFile VALUES (104, 10, 'new.jpg');", nullptr,
                  nullptr, nullptr),
        SQLITE_OK);
    const QStringList whileOpen = folderState(folder);
    QSet<QString> names;
    for (const LightroomCatalogRow& row : LightroomDBManager(catalog).fetchLightroomCatalogFiles())
        names.insert(row.fileName);
    EXPECT_TRUE(names.contains(QStringLiteral("new.jpg")));
    EXPECT_EQ(folderState(folder), whileOpen);
    sqlite3_close(writer);
}
