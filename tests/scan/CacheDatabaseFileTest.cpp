#include "scan/CacheDatabaseFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The first column of every row sql answers on the database at path.
QStringList query(const QString& path, const QByteArray& sql)
{
    QStringList values;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            values.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return values;
}

TEST(CacheDatabaseFile, ANewDatabaseHasEveryDigestTableAtTheCurrentVersionAndNothingBesideIt)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("cache.db"));
    // A journal whose database is gone would be played back into the new one.
    writeFile(path + QStringLiteral("-journal"), "stale");

    ASSERT_TRUE(CacheDatabaseFile::createFromTemplate(path));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("cache.db") });
    EXPECT_EQ(query(path, "PRAGMA user_version"), QStringList { QString::number(CacheDatabaseFile::schemaVersion) });
    const QStringList tables = query(path, "SELECT name FROM sqlite_master WHERE type = 'table'");
    for (const char* table : CacheDatabaseFile::digestTables)
        EXPECT_TRUE(tables.contains(QLatin1String(table))) << table;
}

TEST(CacheDatabaseFile, AnExistingFileIsNeitherReplacedNorItsNameGivenAsAside)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("cache.db"));
    writeFile(path, "someone's file");

    // Another instance made it first: it is kept, and the build's own
    // temporary file is gone.
    EXPECT_TRUE(CacheDatabaseFile::createFromTemplate(path));
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("someone's file"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("cache.db") });

    const QString first = CacheDatabaseFile::asideName(path);
    EXPECT_TRUE(first.startsWith(path + QStringLiteral(".damaged-")));
    writeFile(first, "kept earlier");
    const QString second = CacheDatabaseFile::asideName(path);
    EXPECT_NE(second, first);
    EXPECT_FALSE(QFile::exists(second));
}

TEST(CacheDatabaseFile, ThePlaceIsUsableOnlyInTheUsersOwnFolderWithoutLinks)
{
    using Standing = CacheDatabaseFile::Place::Standing;
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString path = home.filePath(QStringLiteral("cache/cache.db"));

    EXPECT_EQ(CacheDatabaseFile::checkPlace(path, false).standing, Standing::folderMissing);
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("cache"))));
    EXPECT_EQ(CacheDatabaseFile::checkPlace(path, true).standing, Standing::usable);
    EXPECT_TRUE(QFileInfo(home.filePath(QStringLiteral("cache"))).isDir());

    // A journal planted as a link refuses the whole database, with a reason.
    writeFile(home.filePath(QStringLiteral("elsewhere")), "not a journal");
    ASSERT_TRUE(QFile::link(home.filePath(QStringLiteral("elsewhere")), path + QStringLiteral("-wal")));
    const CacheDatabaseFile::Place place = CacheDatabaseFile::checkPlace(path, true);
    EXPECT_EQ(place.standing, Standing::refused);
    EXPECT_FALSE(place.reason.isEmpty());
}

} // namespace
