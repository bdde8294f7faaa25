#include "scan/HashCache.h"

#include "base/AppPaths.h"
#include "scan/Comparison.h"
#include "scan/SqliteOperations.h"

#include "ScanFixtures.h"
#include "TestHasher.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

struct DigestRow {
    qint64 fileID = 0;
    QString fileHash;
    qint64 fileModDate = 0;
    QString filePath;
    qint64 fileSize = 0;
    bool operator==(const DigestRow&) const = default;
};

void PrintTo(const DigestRow& row, std::ostream* out)
{
    *out << row.fileID << ' ' << row.filePath.toStdString() << ' ' << row.fileModDate << ' ' << row.fileSize;
}

// Reads the digest table with a connection of the test's own, the way another
// program would see the file.
std::vector<DigestRow> digestRows()
{
    std::vector<DigestRow> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(
            QFile::encodeName(AppPaths::cacheDatabaseFile()).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        const char* sql = "select fileID, fileHash, fileModDate, filePath, fileSize from hashTable order by filePath";
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                rows.push_back({ sqlite3_column_int64(statement, 0),
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1))),
                    sqlite3_column_int64(statement, 2),
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 3))),
                    sqlite3_column_int64(statement, 4) });
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

bool execute(const QByteArray& sql)
{
    sqlite3* db = nullptr;
    const bool done = sqlite3_open_v2(QFile::encodeName(AppPaths::cacheDatabaseFile()).constData(), &db,
                          SQLITE_OPEN_READWRITE, nullptr)
            == SQLITE_OK
        && sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return done;
}

QStringList pathsOf(const std::vector<DigestRow>& rows)
{
    QStringList paths;
    for (const DigestRow& row : rows)
        paths.append(row.filePath);
    return paths;
}

void setModified(const QString& path, const QDateTime& date)
{
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(date, QFileDevice::FileModificationTime);
}

QStringList setAside()
{
    return QDir(AppPaths::cacheFolder()).entryList({ "Vellicor.db.damaged-*" }, QDir::Files);
}

// A content scan of this computer wired as the engine wires it, with a fresh
// HOME so that every test starts without a cache database.
class HashCacheTest : public ::testing::Test {
protected:
    using Names = std::vector<QStringList>;

    QString file(const QString& name, const QByteArray& bytes) { return writeFile(files.path(), name, bytes); }

    std::vector<DuplicateGroupPtr> scan(const std::vector<FileInfoNodePtr>& records, bool useCache = true)
    {
        cache.clear();
        recordScannedFilesInCache(records, abort);
        loadHashCache(ScanSource::thisComputer, cache, abort);
        Comparison comparison(hasher, counters, abort);
        const DigestCache* consulted = useCache ? &cache : nullptr;
        comparison.setDigestCache(consulted);
        comparison.setSaveDigests([&](const std::vector<FileInfoNodePtr>& batch) {
            batches.push_back(batch.size());
            saveHashesToCacheDatabase(batch, ScanSource::thisComputer, consulted, abort);
        });
        return comparison.groupFilesBySizeAndMd5(records, ComparisonCriteria {}, 1, 0);
    }

    std::vector<DuplicateGroupPtr> scan(const QStringList& paths) { return scan(recordsOf(paths)); }

    TempHome home;
    QTemporaryDir files;
    TestHasher hasher;
    ScanCounters counters;
    std::atomic<bool> abort { false };
    DigestCache cache;
    std::vector<std::size_t> batches;
};

TEST_F(HashCacheTest, TheFirstScanHashesEverythingAndCreatesTheDatabaseWithItsDigests)
{
    const QStringList paths { file("a", "hello"), file("b", "hello"), file("c", "jello"), file("alone", "!") };
    ASSERT_FALSE(QFileInfo::exists(AppPaths::cacheDatabaseFile()));
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" }, { "c" } }));

    EXPECT_TRUE(cache.isEmpty());
    EXPECT_EQ(hasher.fullReadCount(), 3);
    const auto rows = digestRows();
    EXPECT_EQ(pathsOf(rows), (QStringList { paths[0], paths[1], paths[2] })); // the lone size is never hashed
    EXPECT_EQ(rows[0].fileHash, md5Hex("hello"));
    EXPECT_EQ(rows[0].fileSize, 5);
    EXPECT_EQ(rows[0].fileModDate, QFileInfo(paths[0]).lastModified().toSecsSinceEpoch());
    // Every table of the template is there.
    EXPECT_TRUE(execute("select * from GoogleDrive_hashTable, DropBox_hashTable, OneDrive_hashTable, "
                        "BoxCloud_hashTable, tempTable"));
}

TEST_F(HashCacheTest, ALaterScanTakesCachedDigestsAndDoesNotWriteThemAgain)
{
    QDir(files.path()).mkpath("O'Brien's");
    const QStringList paths { file("a", "hello"), file("O'Brien's/it's a.txt", "hello"), file("c", "jello") };
    auto records = recordsOf(paths);
    records[2]->modDate.reset(); // stored as 0 and still matching itself
    scan(records);
    const auto written = digestRows();
    ASSERT_EQ(written.size(), 3u);

    const int readsBefore = hasher.fullReadCount();
    records = recordsOf(paths);
    records[2]->modDate.reset();
    EXPECT_EQ(namesOf(scan(records)), (Names { { "a", "it's a.txt" }, { "c" } }));
    EXPECT_EQ(hasher.fullReadCount(), readsBefore);
    EXPECT_EQ(cache.size(), 3);
    EXPECT_EQ(records[1]->md5, md5Hex("hello"));
    EXPECT_EQ(digestRows(), written); // same rows, same keys: nothing rewritten
}

TEST_F(HashCacheTest, AChangedModificationSecondOrSizeMissesTheCache)
{
    const QStringList paths { file("a", "hello"), file("b", "hello"), file("c", "jello"), file("d", "world!"),
        file("e", "world!") };
    scan(paths);
    const QDateTime cDate = QFileInfo(paths[2]).lastModified();
    setModified(paths[0], QFileInfo(paths[0]).lastModified().addSecs(10));
    writeFile(files.path(), "c", "jelly!"); // another size, same modification second
    setModified(paths[2], cDate);

    const qsizetype readsBefore = hasher.fullReads().size();
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" }, { "c" }, { "d", "e" } }));
    QStringList reread = hasher.fullReads().mid(readsBefore);
    reread.sort();
    EXPECT_EQ(reread, (QStringList { paths[0], paths[2] }));

    // One row per path: the new digests replaced the old rows.
    const auto rows = digestRows();
    EXPECT_EQ(pathsOf(rows), paths);
    EXPECT_EQ(rows[0].fileModDate, QFileInfo(paths[0]).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(rows[2].fileSize, 6);
    EXPECT_EQ(rows[2].fileHash, md5Hex("jelly!"));
}

TEST_F(HashCacheTest, PackageDigestsAreNeitherWrittenNorTakenFromTheCache)
{
    for (const char* name : { "p1.app", "p2.app" }) {
        QDir(files.path()).mkpath(name);
        writeFile(files.path() + '/' + name, "member", "contents");
    }
    const auto packages = [&] {
        auto records = recordsOf({ files.path() + "/p1.app", files.path() + "/p2.app" });
        for (const auto& record : records)
            record->fileSize = 8;
        return records;
    };
    const QStringList loose { file("x", "xx"), file("y", "xx") };
    scan(recordsOf(loose)); // creates the database
    EXPECT_EQ(namesOf(scan(packages())), (Names { { "p1.app", "p2.app" } }));
    EXPECT_EQ(pathsOf(digestRows()), loose);

    // A row for a package, however it got there, is not believed.
    const qint64 seconds = QFileInfo(files.path() + "/p1.app").lastModified().toSecsSinceEpoch();
    ASSERT_TRUE(execute("insert into hashTable (fileHash,fileCreationDate,fileModDate,filePath,fileSize) values ('"
        + md5Hex("forged").toLatin1() + "',0," + QByteArray::number(seconds) + ",'" + files.path().toUtf8()
        + "/p1.app',8)"));
    const auto records = packages();
    EXPECT_EQ(namesOf(scan(records)), (Names { { "p1.app", "p2.app" } }));
    EXPECT_EQ(records[0]->md5, md5Hex("contents"));
}

TEST_F(HashCacheTest, TwoAndAHalfThousandHandledRecordsAreWrittenInThreeBatches)
{
    scan(pairsWithDigests(2500));
    EXPECT_EQ(batches, (std::vector<std::size_t> { 1000, 1000, 500 }));
    EXPECT_EQ(digestRows().size(), 2500u);
}

TEST_F(HashCacheTest, NothingIsWrittenOrLoadedOnceStopped)
{
    const auto records = pairsWithDigests(2);
    abort = true;
    saveHashesToCacheDatabase(records, ScanSource::thisComputer, nullptr, abort);
    EXPECT_FALSE(QFileInfo::exists(AppPaths::cacheDatabaseFile()));

    abort = false;
    saveHashesToCacheDatabase(records, ScanSource::thisComputer, nullptr, abort);
    recordScannedFilesInCache(records, abort);
    abort = true;
    loadHashCache(ScanSource::thisComputer, cache, abort);
    EXPECT_TRUE(cache.isEmpty());
    abort = false;
    loadHashCache(ScanSource::thisComputer, cache, abort);
    EXPECT_EQ(cache.size(), 2);
}

TEST_F(HashCacheTest, ACatalogScanWithoutTheCacheReadsEveryFileAndKeepsOneRowPerPath)
{
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    scan(paths);
    scan(recordsOf(paths), false);
    EXPECT_EQ(hasher.fullReadCount(), 4);
    EXPECT_EQ(pathsOf(digestRows()), paths);
}

TEST_F(HashCacheTest, ADamagedDatabaseIsSetAsideAndRebuiltWhileTheScanGoesOn)
{
    const QStringList paths { file("a", "hello"), file("b", "hello"), file("c", "jello") };
    const QByteArray garbage = QByteArray("this is not a database file. ").repeated(200);
    AppPaths::ensureFolder(AppPaths::cacheFolder());
    AppPaths::ensureFolder(AppPaths::stateFolder()); // the log never makes its folder
    writeFile(AppPaths::cacheFolder(), "Vellicor.db", garbage);

    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" }, { "c" } }));

    const QStringList aside = setAside();
    ASSERT_EQ(aside.size(), 1);
    QFile kept(AppPaths::cacheFolder() + '/' + aside[0]);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage);
    EXPECT_EQ(pathsOf(digestRows()), paths); // the new database took this scan's digests

    QFile log(AppPaths::logFile());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(aside[0].toUtf8()));

    const int reads = hasher.fullReadCount();
    scan(paths);
    EXPECT_EQ(hasher.fullReadCount(), reads); // and serves the next scan
}

TEST_F(HashCacheTest, ADatabaseDamagedInsideIsSetAsideWhenReadingItFails)
{
    const auto records = pairsWithDigests(3000);
    saveHashesToCacheDatabase(records, ScanSource::thisComputer, nullptr, abort);
    recordScannedFilesInCache(records, abort);
    {
        QFile database(AppPaths::cacheDatabaseFile());
        ASSERT_TRUE(database.open(QIODevice::ReadWrite));
        ASSERT_GT(database.size(), 40 * 4096);
        for (int page = 2; page < 40; page += 3) {
            database.seek(page * 4096);
            database.write(QByteArray(64, '\xff'));
        }
    }
    loadHashCache(ScanSource::thisComputer, cache, abort);

    EXPECT_EQ(setAside().size(), 1);
    EXPECT_TRUE(digestRows().empty()); // a fresh database in its place
    EXPECT_TRUE(execute("select * from tempTable"));
}

TEST_F(HashCacheTest, ClearingTheCacheDeletesTheDatabaseAndTheNextScanStartsOver)
{
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    scan(paths);
    writeFile(AppPaths::cacheFolder(), "Vellicor.db-journal", "left by a crash");
    clearScanCache();
    EXPECT_FALSE(QFileInfo::exists(AppPaths::cacheDatabaseFile()));
    EXPECT_FALSE(QFileInfo::exists(AppPaths::cacheDatabaseFile() + "-journal"));
    clearScanCache(); // nothing to delete: no complaint

    scan(paths);
    EXPECT_EQ(hasher.fullReadCount(), 4);
    EXPECT_EQ(digestRows().size(), 2u);
}

TEST_F(HashCacheTest, AJournalWithoutItsDatabaseIsNotPlayedIntoANewOne)
{
    AppPaths::ensureFolder(AppPaths::cacheFolder());
    writeFile(AppPaths::cacheFolder(), "Vellicor.db-journal", QByteArray(4096, '\x5a'));
    ASSERT_TRUE(SqliteOperations::prepareCacheDatabase(AppPaths::cacheFolder(), SqliteOperations::templatePath()));
    EXPECT_FALSE(QFileInfo::exists(AppPaths::cacheDatabaseFile() + "-journal"));
    EXPECT_TRUE(execute("select * from hashTable"));
    EXPECT_EQ(QDir(AppPaths::cacheFolder()).entryList(QDir::Files), QStringList { "Vellicor.db" });
}

} // namespace
