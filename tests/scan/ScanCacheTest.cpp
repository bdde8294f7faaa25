#include "scan/ScanCache.h"

#include "base/AppPaths.h"
#include "scan/Comparison.h"

#include "ScanFixtures.h"
#include "TestHasher.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs sql on the cache file with a connection of the test's own, the way
// another program would; answers the first column of every row.
QStringList query(const QByteArray& sql, sqlite3** keepOpen = nullptr)
{
    QStringList values;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(AppPaths::cacheDatabaseFile()).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            values.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    }
    sqlite3_finalize(statement);
    if (keepOpen)
        *keepOpen = db;
    else
        sqlite3_close(db);
    return values;
}

QStringList rows()
{
    return query("select fileID || ' ' || filePath || ' ' || fileHash || ' ' || fileSize || ' ' || fileModDate || "
                 "' ' || fileModNanoseconds || ' ' || fileInode || ' ' || fileChangeDate from hashTable order by "
                 "filePath");
}

void setModified(const QString& path, const FileTimestamp& time)
{
    const struct timespec times[2]
        = { { time.seconds, long(time.nanoseconds) }, { time.seconds, long(time.nanoseconds) } };
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

int logCount(const QByteArray& text)
{
    QFile log(AppPaths::logFile());
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count(text)) : 0;
}

// Sets abort once the cache's connection has run a few thousand steps.
std::atomic<bool>* stopDuringLoad = nullptr;
int progressCalls = 0;
int stopAfterSteps(void*)
{
    if (++progressCalls == 30)
        *stopDuringLoad = true;
    return 0;
}
int watchConnection(sqlite3* db, const char**, const sqlite3_api_routines*)
{
    sqlite3_progress_handler(db, 100, stopAfterSteps, nullptr);
    return SQLITE_OK;
}

// A scan's files kept as plain columns, without records.
class TableFacts : public ScanFileFacts {
public:
    struct Row {
        QString path;
        quint64 size = 0;
        quint64 inode = 0;
        FileTimestamp modTime;
        FileTimestamp changeTime;
        bool directory = false;
    };
    std::vector<Row> rows;

    std::size_t count() const override { return rows.size(); }
    bool hasPath(std::size_t item) const override { return !rows[item].path.isEmpty(); }
    QString path(std::size_t item) const override { return rows[item].path; }
    bool pathEquals(std::size_t item, QUtf8StringView path) const override
    {
        return QAnyStringView::compare(rows[item].path, path) == 0;
    }
    bool isDirectory(std::size_t item) const override { return rows[item].directory; }
    quint64 fileSize(std::size_t item) const override { return rows[item].size; }
    quint64 deviceId(std::size_t) const override { return 0; }
    quint64 inode(std::size_t item) const override { return rows[item].inode; }
    FileTimestamp storedModTime(std::size_t item) const override { return rows[item].modTime; }
    FileTimestamp changeTime(std::size_t item) const override { return rows[item].changeTime; }
    qint64 createdSeconds(std::size_t) const override { return 0; }
};

// The times of file systems as a test needs them: by default every mount
// keeps a change time of its own and the digests are read an hour after the
// files were last changed, long after any file system's time resolution.
class TestTimeFacts : public FileTimeFacts {
public:
    TestTimeFacts()
        : clock(systemFileTimeFacts().now())
    {
        clock.seconds += 3600;
    }
    FileTimestamp now() const override { return clock; }
    // None asks the file system.
    std::optional<bool> keepsOwnChangeTime(const QString& path) const override
    {
        return keeps ? keeps : FileTimeFacts::keepsOwnChangeTime(path);
    }

    FileTimestamp clock;
    std::optional<bool> keeps = true;
};

// Records without files whose digests are final, changed long ago.
std::vector<FileInfoNodePtr> datedPairs(int count)
{
    std::vector<FileInfoNodePtr> records = pairsWithDigests(count);
    for (const FileInfoNodePtr& record : records)
        record->changeTime = { 1500000000, 1 };
    return records;
}

// A content comparison with the scan's cache, in a fresh HOME.
class ScanCacheTest : public ::testing::Test {
protected:
    using Names = std::vector<QStringList>;

    void SetUp() override { AppPaths::ensureFolder(AppPaths::stateFolder()); }

    QString file(const QString& name, const QByteArray& bytes) { return writeFile(files.path(), name, bytes); }

    std::vector<DuplicateGroupPtr> scan(const std::vector<FileInfoNodePtr>& records) { return scan(records, facts); }
    std::vector<DuplicateGroupPtr> scan(const std::vector<FileInfoNodePtr>& records, const FileTimeFacts& times)
    {
        ScanCache cache(ScanSource::thisComputer, abort, times);
        cache.recordScannedFilesInCache(records);
        cache.loadHashCache();
        loaded = cache.size();
        Comparison comparison(hasher, counters, abort);
        comparison.setDigestCache(&cache);
        comparison.setSaveDigests([&](const std::vector<FileInfoNodePtr>& batch, const auto& heads) {
            cache.saveHashesToCacheDatabase(batch, heads);
        });
        return comparison.groupFilesBySizeAndMd5(records, ComparisonCriteria {}, 1, 0);
    }
    std::vector<DuplicateGroupPtr> scan(const QStringList& paths) { return scan(recordsOf(paths)); }

    TempHome home;
    QTemporaryDir files;
    TestTimeFacts facts;
    TestHasher hasher;
    ScanCounters counters;
    std::atomic<bool> abort { false };
    qsizetype loaded = 0;
};

TEST_F(ScanCacheTest, ALaterScanTakesEveryStoredDigestAndWritesNothingAgain)
{
    QDir(files.path()).mkpath("O'Brien's");
    const QStringList paths { file("a", "hello"), file("O'Brien's/it's b", "hello"), file("c", "jello"),
        file("alone", "!") };
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "it's b" }, { "c" } }));
    EXPECT_EQ(hasher.fullReadCount(), 3); // the lone size is never read, nor written
    const QStringList written = rows();
    ASSERT_EQ(written.size(), 3);
    EXPECT_EQ(written.filter(paths[1] + ' ' + md5Hex("hello") + " 5 ").size(), 1) << written.join('\n').toStdString();
    EXPECT_EQ(query("PRAGMA user_version"), QStringList { "4" });

    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "it's b" }, { "c" } }));
    EXPECT_EQ(loaded, 3);
    EXPECT_EQ(hasher.fullReadCount(), 3);
    EXPECT_EQ(rows(), written); // same rows under the same keys
}

// Keys far apart split the loading into several ranges, each read on a
// connection of its own: every row is still found, whichever range holds it,
// however far apart the keys.
TEST_F(ScanCacheTest, RowsWithKeysFarApartAreAllTakenFromEveryRange)
{
    QStringList paths;
    for (int i = 0; i < 9; ++i)
        paths << file(QString::number(i), QByteArray("ab").repeated(1 + i % 3));
    const Names groups { { "0", "3", "6" }, { "1", "4", "7" }, { "2", "5", "8" } };
    EXPECT_EQ(namesOf(scan(paths)), groups);
    // From near the lowest key to near the highest: wider than a signed key.
    query("update hashTable set fileID = (fileID - 5) * 2000000000000000000");
    ASSERT_EQ(query("select min(fileID) || ' ' || max(fileID) from hashTable"),
        QStringList { "-8000000000000000000 8000000000000000000" });

    EXPECT_EQ(namesOf(scan(paths)), groups);
    EXPECT_EQ(loaded, 9);
    EXPECT_EQ(hasher.fullReadCount(), 9);
}

// Full digests of equal files, and first-block digests of files of one size
// told apart by their first blocks: each is believed only while the file is
// unchanged.
TEST_F(ScanCacheTest, AFileChangedSinceItsDigestWasStoredIsReadAgain)
{
    struct Case {
        const char* name;
        std::function<void(const QString& path, const FileTimestamp& stored, const QByteArray& bytes)> change;
    };
    const std::vector<Case> cases {
        { "rewritten within the same second",
            [](const QString& path, const FileTimestamp& stored, const QByteArray& bytes) {
                writeFile(QFileInfo(path).path(), QFileInfo(path).fileName(), bytes);
                setModified(path, { stored.seconds, (stored.nanoseconds + 1) % 1000000000 });
            } },
        { "time set back exactly after the rewrite",
            [](const QString& path, const FileTimestamp& stored, const QByteArray& bytes) {
                writeFile(QFileInfo(path).path(), QFileInfo(path).fileName(), bytes);
                setModified(path, stored);
            } },
        { "replaced by another file with the same time",
            [](const QString& path, const FileTimestamp& stored, const QByteArray& bytes) {
                const QString other = writeFile(QFileInfo(path).path(), "other", bytes);
                setModified(other, stored);
                QFile::remove(path);
                QFile::rename(other, path);
            } },
    };
    const QByteArray block(Comparison::firstBlockBytes, 'x');
    for (const Case& test : cases) {
        for (const bool byFirstBlock : { false, true }) {
            SCOPED_TRACE(std::string(test.name) + (byFirstBlock ? ", first blocks" : ", full digests"));
            const QString folder = files.path() + '/' + test.name + (byFirstBlock ? " 2" : "");
            QDir().mkpath(folder);
            const QStringList paths = byFirstBlock
                ? QStringList { writeFile(folder, "a", 'a' + block), writeFile(folder, "b", 'b' + block) }
                : QStringList { writeFile(folder, "a", "hello"), writeFile(folder, "b", "hello") };
            setModified(paths[1], { 1500000000, 123456789 });
            const Names found = byFirstBlock ? Names {} : Names { { "a", "b" } };
            ASSERT_EQ(duplicateNamesOf(scan(paths)), found);
            const qsizetype fullBefore = hasher.fullReads().size();
            const qsizetype headsBefore = hasher.headReads().size();
            EXPECT_EQ(duplicateNamesOf(scan(paths)), found);
            EXPECT_EQ(hasher.fullReads().size() + hasher.headReads().size(), fullBefore + headsBefore);

            test.change(paths[1], recordOf(paths[1])->modTime, byFirstBlock ? 'c' + block : "jelly");
            EXPECT_EQ(duplicateNamesOf(scan(paths)), Names {});
            EXPECT_EQ(hasher.fullReads().mid(fullBefore), byFirstBlock ? QStringList {} : QStringList { paths[1] });
            EXPECT_EQ(hasher.headReads().mid(headsBefore), byFirstBlock ? QStringList { paths[1] } : QStringList {});
        }
    }
}

// Records of the files as a file system stamping whole seconds gives them.
std::vector<FileInfoNodePtr> inWholeSeconds(const QStringList& paths, qint64 second)
{
    std::vector<FileInfoNodePtr> records = recordsOf(paths);
    for (const FileInfoNodePtr& record : records)
        record->modTime = record->changeTime = { second, 0 };
    return records;
}

// A file rewritten in place at the same size within the second its digest was
// read in keeps every time it had: its digest is not kept, so the next scan
// reads it again instead of pairing it with its former twin. Digests read once
// the second has passed serve the scans after.
TEST_F(ScanCacheTest, AFileRewrittenWithinTheSecondOfItsReadOnAWholeSecondFileSystemIsReadAgain)
{
    const qint64 second = 1700000000;
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    facts.clock = { second, 400000000 };
    EXPECT_EQ(namesOf(scan(inWholeSeconds(paths, second))), (Names { { "a", "b" } }));
    EXPECT_EQ(rows(), QStringList {});

    file("b", "jelly");
    facts.clock = { second, 900000000 };
    EXPECT_EQ(namesOf(scan(inWholeSeconds(paths, second))), (Names { { "a" }, { "b" } }));
    EXPECT_EQ(hasher.fullReadCount(), 4);

    facts.clock = { second + 10, 0 };
    scan(inWholeSeconds(paths, second));
    EXPECT_EQ(rows().size(), 2);
    EXPECT_EQ(namesOf(scan(inWholeSeconds(paths, second))), (Names { { "a" }, { "b" } }));
    EXPECT_EQ(hasher.fullReadCount(), 6);
}

// On a mount whose change time is the modification time (as sshfs gives it), a
// file rewritten and dated back (touch -r, a tag editor keeping dates) shows
// every time it had: nothing is stored for such a mount, and it is read again.
TEST_F(ScanCacheTest, OnAMountWhoseChangeTimeFollowsTheModificationTimeARewriteDatedBackIsReadAgain)
{
    facts.keeps = false;
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    const auto asTheMountGivesThem = [&paths] {
        std::vector<FileInfoNodePtr> records = recordsOf(paths);
        for (const FileInfoNodePtr& record : records)
            record->changeTime = record->modTime;
        return records;
    };
    const std::vector<FileInfoNodePtr> before = asTheMountGivesThem();
    EXPECT_EQ(namesOf(scan(before)), (Names { { "a", "b" } }));

    file("b", "jelly");
    setModified(paths[1], before[1]->modTime);
    const std::vector<FileInfoNodePtr> after = asTheMountGivesThem();
    ASSERT_EQ(after[1]->modTime, before[1]->modTime);
    EXPECT_EQ(namesOf(scan(after)), (Names { { "a" }, { "b" } }));
    EXPECT_EQ(hasher.fullReadCount(), 4);
    EXPECT_EQ(rows(), QStringList {});
    EXPECT_EQ(logCount("keeps no change time of its own"), 2); // once per scan
}

// On the local disk the tests run on, files last changed well before their
// read are taken from the cache by every later scan.
TEST_F(ScanCacheTest, OnALocalFileSystemTheWarmScanTakesEveryDigestFromTheCache)
{
    facts.keeps.reset();
    if (facts.keepsOwnChangeTime(files.path()) != true)
        GTEST_SKIP() << "the temporary folder lies on a file system without a change time of its own";
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    scan(paths);
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" } }));
    EXPECT_EQ(loaded, 2);
    EXPECT_EQ(hasher.fullReadCount(), 2);
}

// Rows stored before digests had to be proven by their times may be exactly
// the stale ones: a database of that version is emptied, whatever its rows say.
TEST_F(ScanCacheTest, RowsStoredBeforeDigestsWereProvenByTheirTimesAreNotBelieved)
{
    const QStringList paths { file("a", "hello"), file("b", "jelly") };
    scan(paths);
    query("update hashTable set fileHash = '" + md5Hex("hello").toLatin1() + "'");
    query("PRAGMA user_version = 3");
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a" }, { "b" } }));
    EXPECT_EQ(hasher.fullReadCount(), 4);
    EXPECT_EQ(query("PRAGMA user_version"), QStringList { "4" });
}

TEST_F(ScanCacheTest, PackagesAreNeitherWrittenNorTakenFromTheCache)
{
    for (const char* name : { "p1.app", "p2.app" }) {
        QDir(files.path()).mkpath(name);
        writeFile(files.path() + '/' + name, "member", "contents");
    }
    const QStringList loose { file("x", "xx"), file("y", "xx") };
    for (int pass = 0; pass < 2; ++pass) {
        auto records = recordsOf({ files.path() + "/p1.app", files.path() + "/p2.app", loose[0], loose[1] });
        records[0]->fileSize = records[1]->fileSize = 8;
        EXPECT_EQ(namesOf(scan(records)), (Names { { "x", "y" }, { "p1.app", "p2.app" } }));
    }
    EXPECT_EQ(hasher.fullReadCount(), 6); // the packages twice, the files once
    EXPECT_EQ(rows().size(), 2);
}

TEST_F(ScanCacheTest, AStoredDateOfZeroStillMatchesItsFile)
{
    const auto records = recordsOf({ file("a", "hello"), file("b", "hello") });
    for (const auto& record : records) {
        record->modDate.reset();
        record->modTime = {};
    }
    scan(records);
    ScanCache cache(ScanSource::thisComputer, abort, facts);
    cache.recordScannedFilesInCache(records);
    cache.loadHashCache();
    EXPECT_EQ(cache.cachedDigest(*records[0]), md5Hex("hello"));
}

TEST_F(ScanCacheTest, DigestsOfTheItemsOfATableServeItsNextScanAndTheRecordsOfTheSameFiles)
{
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    TableFacts table;
    for (const FileInfoNodePtr& record : recordsOf(paths))
        table.rows.push_back({ paths[qsizetype(table.rows.size())], record->fileSize, record->inode, record->modTime,
            record->changeTime });
    table.rows.push_back({ files.path(), 4096, 7, {}, {}, true });
    const Md5Bytes digest = *md5BytesOfHex(md5Hex("hello"));
    const BlockDigest head { 1, 2, 3 };
    const auto hexOf = [](const BlockDigest& bytes) {
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), 16).toHex());
    };
    const auto stored = [] { return query("select fileHash || ' ' || ifnull(fileHeadHash, '-') from hashTable"); };
    {
        ScanCache cache(ScanSource::thisComputer, abort, facts);
        cache.recordScannedFiles(table);
        cache.loadHashCache();
        cache.saveDigestBatches({ { { 0, digest, head }, { 1, digest, std::nullopt }, { 2, digest, std::nullopt } } });
    }
    EXPECT_EQ(stored(), (QStringList { md5Hex("hello") + ' ' + hexOf(head), md5Hex("hello") + " -" }));

    ScanCache cache(ScanSource::thisComputer, abort, facts);
    cache.recordScannedFiles(table);
    cache.loadHashCache();
    EXPECT_EQ(cache.size(), 2);
    for (std::size_t item : { 0, 1 }) {
        ASSERT_NE(cache.currentEntry(item), nullptr);
        EXPECT_EQ(cache.currentEntry(item)->digest, digest);
    }
    EXPECT_EQ(cache.currentEntry(2), nullptr);
    const QByteArray keyOfA = "select fileID from hashTable where filePath = '" + paths[0].toUtf8() + "'";
    const QStringList keyBefore = query(keyOfA);
    // Only b's first block is new, and its row keeps its digest.
    cache.saveDigestBatches({ { { 0, digest, head }, { 1, std::nullopt, head } } });
    cache.releaseLookups();
    EXPECT_EQ(cache.size(), 0);
    EXPECT_EQ(cache.currentEntry(0), nullptr);
    cache.finish();
    EXPECT_EQ(query(keyOfA), keyBefore);
    EXPECT_EQ(stored(), (QStringList { md5Hex("hello") + ' ' + hexOf(head), md5Hex("hello") + ' ' + hexOf(head) }));

    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" } }));
    EXPECT_EQ(hasher.fullReadCount(), 0);
}

TEST_F(ScanCacheTest, BatchesWrittenTogetherInAnyOrderKeepEveryFilesOwnDigests)
{
    // Files of many folders, handed over scattered as a comparison by size
    // hands them; some with only a first-block digest.
    constexpr std::size_t count = 3000;
    TableFacts table;
    for (std::size_t i = 0; i < count; ++i)
        table.rows.push_back({ QStringLiteral("/d%1/f%2").arg(i % 37).arg(i), 100 + i % 7, 1000 + i,
            { qint64(i), 5 }, { qint64(i), 9 } });
    const auto digestOf = [](std::size_t item, quint8 salt) {
        BlockDigest digest {};
        digest[0] = quint8(item);
        digest[1] = quint8(item >> 8);
        digest[2] = salt;
        return digest;
    };
    std::vector<std::vector<ScanCache::NewDigest>> batches(3);
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t item = (n * 1237) % count;
        const bool headOnly = item % 10 == 0;
        batches[n % 3].push_back({ item, headOnly ? std::nullopt : std::optional(digestOf(item, 1)),
            item % 5 == 0 ? std::optional(digestOf(item, 2)) : std::nullopt });
    }
    {
        ScanCache cache(ScanSource::thisComputer, abort, facts);
        cache.recordScannedFiles(table);
        cache.loadHashCache();
        cache.saveDigestBatches(std::move(batches));
    }
    EXPECT_EQ(query("select count(*) from hashTable"), QStringList { QString::number(count) });

    ScanCache cache(ScanSource::thisComputer, abort, facts);
    cache.recordScannedFiles(table);
    cache.loadHashCache();
    ASSERT_EQ(cache.size(), qsizetype(count));
    for (std::size_t item = 0; item < count; ++item) {
        const ScanCache::Entry* entry = cache.currentEntry(item);
        ASSERT_NE(entry, nullptr) << item;
        EXPECT_EQ(entry->hasDigest, item % 10 != 0) << item;
        if (entry->hasDigest) {
            EXPECT_EQ(entry->digest, digestOf(item, 1)) << item;
        }
        EXPECT_EQ(entry->hasHead, item % 5 == 0) << item;
        if (entry->hasHead) {
            EXPECT_EQ(entry->head, digestOf(item, 2)) << item;
        }
    }
}

TEST_F(ScanCacheTest, ThePhotoCatalogSharesTheTableOfThisComputerAndCloudSourcesHaveTheirOwn)
{
    EXPECT_EQ(hashTableForSource(ScanSource::lightroomCatalog), hashTableForSource(ScanSource::thisComputer));
    EXPECT_NE(hashTableForSource(ScanSource(1)), hashTableForSource(ScanSource::thisComputer));
}

TEST_F(ScanCacheTest, StopEndsTheLoadingBeforeTheNextRowKeepingTheRowsRead)
{
    std::vector<FileInfoNodePtr> records;
    for (int i = 0; i < 2000; ++i) {
        records.push_back(recordOf(file(QString::number(i), "same")));
        records.back()->md5 = md5Hex("same");
    }
    {
        ScanCache cache(ScanSource::thisComputer, abort, facts);
        cache.saveHashesToCacheDatabase(records);
    }
    ASSERT_EQ(rows().size(), 2000);

    stopDuringLoad = &abort;
    progressCalls = 0;
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(watchConnection));
    ScanCache cache(ScanSource::thisComputer, abort, facts);
    cache.recordScannedFilesInCache(records);
    cache.loadHashCache();
    sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(watchConnection));
    EXPECT_TRUE(abort);
    EXPECT_GT(cache.size(), 0);
    EXPECT_LT(cache.size(), 2000);
    cache.saveHashesToCacheDatabase(recordsOf({ file("new", "same") })); // nothing once stopped
    cache.finish();
    EXPECT_EQ(rows().size(), 2000);
}

TEST_F(ScanCacheTest, AHeldWriteLockEndsTheScansWritingAfterOneWait)
{
    scan(datedPairs(2)); // creates the database
    sqlite3* other = nullptr;
    query("BEGIN IMMEDIATE", &other);

    const auto records = datedPairs(5000);
    EXPECT_EQ(duplicateNamesOf(scan(records)).size(), 2500u);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(logCount("held by another program"), 1);
    EXPECT_EQ(rows().size(), 2);
}

TEST_F(ScanCacheTest, AReadOnlyDatabaseIsLoggedOnceAndNothingIsPrinted)
{
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    scan(paths);
    {
        // A write version above 2 makes SQLite treat the file as read-only,
        // whoever runs the test.
        QFile database(AppPaths::cacheDatabaseFile());
        ASSERT_TRUE(database.open(QIODevice::ReadWrite));
        database.seek(18);
        database.write("\x03");
    }
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(duplicateNamesOf(scan(datedPairs(3000))).size(), 1500u);
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" } }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(logCount("Unable to insert data"), 1);
    EXPECT_EQ(hasher.fullReadCount(), 2); // the stored digests still served
}

TEST_F(ScanCacheTest, LeftoversOfAnInterruptedRunAreRemovedAndNeverPlayedIntoANewDatabase)
{
    const QString folder = AppPaths::cacheFolder();
    AppPaths::ensureFolder(folder);
    writeFile(folder, "Vellicor.db.0123.tmp", "half built");
    writeFile(folder, "Vellicor.db.0123.tmp-journal", "its journal");
    writeFile(folder, "Vellicor.db-journal", QByteArray(4096, '\x5a'));
    writeFile(folder, "Vellicor.db.damaged-20260101-000000", "kept");

    const QStringList paths { file("a", "hello"), file("b", "hello") };
    scan(paths);
    EXPECT_EQ(
        QDir(folder).entryList(QDir::Files), (QStringList { "Vellicor.db", "Vellicor.db.damaged-20260101-000000" }));
    EXPECT_EQ(rows().size(), 2);
}

TEST_F(ScanCacheTest, ADamagedDatabaseIsMovedAsideAndRebuiltWhileTheScanGoesOn)
{
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    AppPaths::ensureFolder(AppPaths::cacheFolder());
    const std::vector<std::pair<const char*, std::function<void()>>> damages {
        { "not a database at all",
            [] { writeFile(AppPaths::cacheFolder(), "Vellicor.db", QByteArray("not a database. ").repeated(400)); } },
        { "pages overwritten inside",
            [this] {
                ScanCache(ScanSource::thisComputer, abort, facts).saveHashesToCacheDatabase(datedPairs(3000));
                QFile database(AppPaths::cacheDatabaseFile());
                ASSERT_TRUE(database.open(QIODevice::ReadWrite));
                for (int page = 2; page < 60; page += 3) {
                    database.seek(page * 4096);
                    database.write(QByteArray(64, '\xff'));
                }
            } },
    };
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        ScanCache::clearScanCache();
        damage();
        QFile database(AppPaths::cacheDatabaseFile());
        ASSERT_TRUE(database.open(QIODevice::ReadOnly));
        const QByteArray damaged = database.readAll();

        const int reads = hasher.fullReadCount();
        const QStringList before = QDir(AppPaths::cacheFolder()).entryList({ "Vellicor.db.damaged-*" });
        EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" } }));
        QStringList aside = QDir(AppPaths::cacheFolder()).entryList({ "Vellicor.db.damaged-*" });
        for (const QString& old : before)
            aside.removeOne(old);
        ASSERT_EQ(aside.size(), 1);
        QFile kept(AppPaths::cacheFolder() + '/' + aside[0]);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), damaged);
        EXPECT_EQ(logCount(aside[0].toUtf8()), 1);

        scan(paths);
        EXPECT_EQ(hasher.fullReadCount(), reads + 2); // the new database served the next scan
    }
}

TEST_F(ScanCacheTest, ADatabaseOfTheOlderLayoutIsRebuilt)
{
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    const auto records = recordsOf(paths);
    AppPaths::ensureFolder(AppPaths::cacheFolder());
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(AppPaths::cacheDatabaseFile()).constData(), &db);
    const QByteArray old = "CREATE TABLE tempTable (filePath TEXT, fileModDate INTEGER);"
                           "CREATE TABLE hashTable (fileID INTEGER PRIMARY KEY, fileHash TEXT, fileCreationDate "
                           "INTEGER, fileModDate INTEGER, filePath TEXT UNIQUE ON CONFLICT REPLACE, fileSize INTEGER);"
                           "INSERT INTO hashTable VALUES (1, '"
        + md5Hex("stale").toLatin1() + "', 0, " + QByteArray::number(records[0]->modTime.seconds) + ", '"
        + paths[0].toUtf8() + "', 5);";
    ASSERT_EQ(sqlite3_exec(db, old.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    EXPECT_EQ(namesOf(scan(records)), (Names { { "a", "b" } }));
    EXPECT_EQ(hasher.fullReadCount(), 2);
    EXPECT_EQ(rows().size(), 2);
    EXPECT_EQ(query("select count(*) from sqlite_master where name = 'tempTable'"), QStringList { "0" });
}

TEST_F(ScanCacheTest, ClearingTheCacheDeletesTheDatabaseAndTheNextScanStartsOver)
{
    const QStringList paths { file("a", "hello"), file("b", "hello") };
    scan(paths);
    writeFile(AppPaths::cacheFolder(), "Vellicor.db-journal", "left by a crash");
    ScanCache::clearScanCache();
    EXPECT_EQ(QDir(AppPaths::cacheFolder()).entryList(QDir::Files), QStringList {});
    scan(paths);
    EXPECT_EQ(hasher.fullReadCount(), 4);
}

} // namespace

// The cache names every scanned file: it is the user's alone, however the
// umask or an earlier run left it.
TEST_F(ScanCacheTest, TheDatabaseAndItsFolderAreTheUsersAlone)
{
    const mode_t previous = ::umask(022);
    const QStringList paths { file("a", "same"), file("b", "same") };
    scan(paths);
    ::umask(previous);
    const auto modeOf = [](const QString& path) {
        struct stat info { };
        ::stat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 07777;
    };
    ASSERT_TRUE(QFile::exists(AppPaths::cacheDatabaseFile()));
    EXPECT_EQ(modeOf(AppPaths::cacheDatabaseFile()), mode_t(0600));
    EXPECT_EQ(modeOf(AppPaths::cacheFolder()), mode_t(0700));

    ::chmod(QFile::encodeName(AppPaths::cacheDatabaseFile()).constData(), 0644);
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" } }));
    EXPECT_EQ(modeOf(AppPaths::cacheDatabaseFile()), mode_t(0600));
}

// Where the database goes, a link to an empty database elsewhere, or one
// another user planted there open to all (for them to read back): the scan
// goes on without the cache and neither takes a path.
TEST_F(ScanCacheTest, ADatabaseThatIsALinkOrAnotherUsersIsNeverFilled)
{
    const QStringList paths { file("a", "same"), file("b", "same") };
    scan(paths);
    query("DELETE FROM hashTable");
    QTemporaryDir elsewhere;
    const QString planted = elsewhere.filePath(QStringLiteral("planted.db"));
    ASSERT_TRUE(QFile::rename(AppPaths::cacheDatabaseFile(), planted));
    ASSERT_TRUE(QFile::link(planted, AppPaths::cacheDatabaseFile()));
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" } }));
    EXPECT_EQ(hasher.fullReadCount(), 4); // no cache: both read again
    EXPECT_EQ(rows(), QStringList {});

    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a file to another user here";
    ASSERT_TRUE(QFile::remove(AppPaths::cacheDatabaseFile()));
    ASSERT_TRUE(QFile::rename(planted, AppPaths::cacheDatabaseFile()));
    const QByteArray theirs = QFile::encodeName(AppPaths::cacheDatabaseFile());
    ASSERT_EQ(::chmod(theirs.constData(), 0666), 0);
    ASSERT_EQ(::chown(theirs.constData(), 65534, 65534), 0);
    EXPECT_EQ(namesOf(scan(paths)), (Names { { "a", "b" } }));
    EXPECT_EQ(hasher.fullReadCount(), 6);
    EXPECT_EQ(rows(), QStringList {});
}
