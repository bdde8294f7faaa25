#include "cloud/LightroomCloudHandler.h"
#include "support/TreeBuilder.h"

#include <QFile>
#include <QSet>

#include <gtest/gtest.h>
#include <sqlite3.h>

// Two root folders, one with a sub-folder, a file without a name and a file
// that is no longer on disk.
class LightroomCatalog : public ::testing::Test {
protected:
    TreeBuilder tree;
    QString catalog, rootA, rootB;

    void SetUp() override
    {
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
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(catalog.toUtf8().constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

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
