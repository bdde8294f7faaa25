#include "base/UserDefaults.h"
#include "cloud/LightroomCloudHandler.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"

#include <QFile>
#include <QSet>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

void exec(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
}

int count(const QString& catalog, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(catalog.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    const int value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

class CountingSink : public CloudScanSink {
public:
    std::vector<FileInfoNodePtr> records;
    int completions = 0;
    void addCloudScanFile(const FileInfoNodePtr& record) override { records.push_back(record); }
    void OnScanCompletedProcess() override { ++completions; }
};

} // namespace

// Two root folders, one with a sub-folder, a file whose name is missing and a
// file that is no longer on disk.
class LightroomCatalog : public ::testing::Test {
protected:
    TempHome home;
    TreeBuilder tree;
    QString catalog;
    QString rootA, rootB;

    void SetUp() override
    {
        tree.file(QStringLiteral("A/a.jpg"), QByteArray(30000, 'a'));
        tree.file(QStringLiteral("A/sub/b.jpg"), QByteArray(20000, 'b'));
        tree.file(QStringLiteral("B/other.jpg"), QByteArray(100, 'o'));
        rootA = tree.root() + QStringLiteral("/A/");
        rootB = tree.root() + QStringLiteral("/B/");
        catalog = tree.root() + QStringLiteral("/Lightroom Catalog.lrcat");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(catalog.toUtf8().constData(), &db), SQLITE_OK);
        exec(db,
            "CREATE TABLE AgLibraryRootFolder (id_local INTEGER PRIMARY KEY, absolutePath TEXT);"
            "CREATE TABLE AgLibraryFolder (id_local INTEGER PRIMARY KEY, rootFolder INTEGER, pathFromRoot TEXT);"
            "CREATE TABLE AgLibraryFile (id_local INTEGER PRIMARY KEY, folder INTEGER, originalFilename TEXT);"
            "CREATE TABLE Adobe_images (id_local INTEGER PRIMARY KEY, rootFile INTEGER);"
            "INSERT INTO AgLibraryFolder VALUES (10, 1, ''), (11, 1, 'sub/'), (20, 2, '');"
            "INSERT INTO AgLibraryFile VALUES (100, 10, 'a.jpg'), (101, 11, 'b.jpg'), (102, 20, 'gone.jpg'),"
            "  (103, 20, NULL);"
            "INSERT INTO Adobe_images VALUES (1000, 100), (1001, 101), (1002, 102);");
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO AgLibraryRootFolder VALUES (?, ?)", -1, &stmt, nullptr);
        for (const auto& [id, path] : { std::pair { 1, rootA }, std::pair { 2, rootB } }) {
            const QByteArray utf8 = path.toUtf8();
            sqlite3_bind_int(stmt, 1, id);
            sqlite3_bind_text(stmt, 2, utf8.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(stmt);
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
};

TEST_F(LightroomCatalog, ListsEachFileOnceUnderItsOwnRootAndFolder)
{
    const std::vector<LightroomCatalogRow> rows = LightroomDBManager(catalog).fetchLightroomCatalogFiles();
    QSet<QString> paths;
    for (const LightroomCatalogRow& row : rows)
        paths.insert(QString::number(row.fileId) + QLatin1Char(' ') + row.folderPath + row.fileName);
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(paths,
        (QSet<QString> { QStringLiteral("100 ") + rootA + QStringLiteral("a.jpg"),
            QStringLiteral("101 ") + rootA + QStringLiteral("sub/b.jpg"),
            QStringLiteral("102 ") + rootB + QStringLiteral("gone.jpg") }));
    EXPECT_TRUE(LightroomDBManager(tree.root() + QStringLiteral("/none.lrcat")).fetchLightroomCatalogFiles().empty());
}

TEST_F(LightroomCatalog, RemovingAFileTakesExactlyItsEntriesAndLeavesTheFile)
{
    LightroomCloudHandler handler(catalog);
    auto record = std::make_shared<FileInfoNode>();
    LightroomCloudHandler::fillLightroomFileInfoNode({ 100, QStringLiteral("a.jpg"), 10, rootA }, *record);
    EXPECT_EQ(record->fileSize, 30000u);

    EXPECT_TRUE(handler.deleteCloudFile(record));
    EXPECT_EQ(count(catalog, "SELECT count(*) FROM AgLibraryFile WHERE id_local = 100"), 0);
    EXPECT_EQ(count(catalog, "SELECT count(*) FROM Adobe_images WHERE rootFile = 100"), 0);
    EXPECT_EQ(count(catalog, "SELECT count(*) FROM AgLibraryFile"), 3);
    EXPECT_EQ(count(catalog, "SELECT count(*) FROM Adobe_images"), 2);
    EXPECT_TRUE(QFile::exists(rootA + QStringLiteral("a.jpg")));

    // An id that is not a number removes nothing at all.
    EXPECT_FALSE(
        LightroomDBManager(catalog).deleteLightroomCatalogFiles({ QStringLiteral("101"), QStringLiteral("0 OR 1=1") }));
    EXPECT_EQ(count(catalog, "SELECT count(*) FROM AgLibraryFile"), 3);
}

TEST_F(LightroomCatalog, TheApplicationsLockFileRefusesRemoval)
{
    QFile lock(catalog + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    EXPECT_FALSE(LightroomDBManager(catalog).deleteLightroomCatalogFiles({ QStringLiteral("101") }));
    EXPECT_EQ(count(catalog, "SELECT count(*) FROM AgLibraryFile"), 4);
    EXPECT_EQ(count(catalog, "SELECT count(*) FROM Adobe_images"), 3);
}

TEST_F(LightroomCatalog, AScanReadsTheWholeCatalogAndEndsOnceEvenWhenStopped)
{
    UserDefaults defaults(home.configHome() + QStringLiteral("/Vellicor"));
    startApplicationCore(defaults);
    QVariantList rows = defaults.arrayValue(QLatin1String(SettingsKey::includeExtensionList)).value();
    for (QVariant& row : rows) {
        QVariantMap map = row.toMap();
        if (map.value(QStringLiteral("keyStr")).toString() == QLatin1String(ExtensionFilterKey::all))
            map.insert(QStringLiteral("state"), 1);
        row = map;
    }
    defaults.setValue(QLatin1String(SettingsKey::includeExtensionList), rows);
    reloadExtensionTables(defaults);
    scanCategoryFlags.fill(true);
    // Scan Now sets the size limits; any size here.
    scanAnyFileSize = true;

    LightroomCloudHandler handler(catalog);
    CountingSink sink;
    handler.startCloudScan({}, 0, sink);
    EXPECT_EQ(sink.completions, 1);
    QSet<QString> paths;
    for (const FileInfoNodePtr& record : sink.records)
        paths.insert(record->filePath.value_or(QString()));
    EXPECT_TRUE(paths.contains(rootA + QStringLiteral("a.jpg")));
    EXPECT_TRUE(paths.contains(rootA + QStringLiteral("sub/b.jpg")));
    EXPECT_FALSE(paths.contains(rootB + QStringLiteral("other.jpg")));

    CountingSink stopped;
    handler.isAbortScanning = true;
    handler.startCloudScan({}, 0, stopped);
    EXPECT_TRUE(stopped.records.empty());
    EXPECT_EQ(stopped.completions, 1);
    scanAnyFileSize = false;
}
