#include "scan/CacheDatabaseFile.h"

#include "base/Log.h"
#include "base/PrivateFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <sqlite3.h>

namespace CacheDatabaseFile {

namespace {

// The template's statements, the digest-table one once per table name.
QByteArray readSchema()
{
    QFile file(QStringLiteral(":/resources/VellicorCache.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    const QByteArray placeholder = "$digestTable";
    const qsizetype at = text.indexOf(placeholder);
    if (at < 0)
        return text;
    const qsizetype begin = text.lastIndexOf(';', at) + 1;
    const qsizetype end = text.indexOf(';', at) < 0 ? text.size() : text.indexOf(';', at) + 1;
    QByteArray schema = text.left(begin);
    for (const char* table : digestTables)
        schema += QByteArray(text.mid(begin, end - begin)).replace(placeholder, table);
    return schema + text.mid(end) + "\nPRAGMA user_version = " + QByteArray::number(schemaVersion) + ";";
}

} // namespace

int exec(sqlite3* db, const QByteArray& sql)
{
    return sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
}

// Empties a database of any layout and builds the current one, inside the
// caller's transaction.
int buildSchema(sqlite3* db)
{
    const QByteArray schema = readSchema();
    if (schema.trimmed().isEmpty())
        return SQLITE_ERROR;
    for (const char* table : digestTables) {
        if (const int rc = exec(db, QByteArray("DROP TABLE IF EXISTS ") + table); rc != SQLITE_OK)
            return rc;
    }
    if (const int rc = exec(db, "DROP TABLE IF EXISTS tempTable"); rc != SQLITE_OK)
        return rc;
    return exec(db, schema);
}

void removeDatabase(const QString& databasePath)
{
    QFile::remove(databasePath);
    for (const char* suffix : companionSuffixes)
        QFile::remove(databasePath + QLatin1String(suffix));
}

// Builds the database at databasePath, under a temporary name first so that a
// crash never leaves a half-made cache file; never replaces a file that exists.
bool createFromTemplate(const QString& databasePath)
{
    const QString building
        = databasePath + QLatin1Char('.') + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".tmp");
    bool built = false;
    {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(QFile::encodeName(building).constData(), &db,
                SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr)
                == SQLITE_OK
            && exec(db, "BEGIN TRANSACTION") == SQLITE_OK) {
            built = buildSchema(db) == SQLITE_OK;
            built = exec(db, built ? "COMMIT TRANSACTION" : "ROLLBACK TRANSACTION") == SQLITE_OK && built;
        }
        sqlite3_close(db);
    }
    if (!built) {
        removeDatabase(building);
        return false;
    }
    // The cache names every scanned file: the user's alone.
    PrivateFiles::narrowFile(building);
    // A journal without its database belongs to a file that is gone; left in
    // place it would be played back into the new one.
    if (!QFileInfo::exists(databasePath)) {
        for (const char* suffix : companionSuffixes)
            QFile::remove(databasePath + QLatin1String(suffix));
    }
    if (!QFile::rename(building, databasePath)) {
        removeDatabase(building);
        return QFileInfo::exists(databasePath);
    }
    return true;
}

// What an interrupted createFromTemplate leaves: the temporary file and any
// journal beside it. Another instance building one at this very moment loses
// only its cache writes for that scan.
void removeLeftoverBuilds(const QString& databasePath)
{
    const QFileInfo database(databasePath);
    const QDir folder = database.dir();
    const QString stem = database.fileName() + QStringLiteral(".*.tmp");
    const QStringList leftovers = folder.entryList(
        { stem, stem + QStringLiteral("-*") }, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : leftovers) {
        if (QFile::remove(folder.filePath(name)))
            Log::print("Cache database: removed", folder.filePath(name), "left by an interrupted run");
    }
}

QString asideName(const QString& databasePath)
{
    const QString base = databasePath + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

Place checkPlace(const QString& databasePath, bool makeFolder)
{
    const QString folder = QFileInfo(databasePath).path();
    if (const auto fault = PrivateFiles::useOwnFolder(folder, PrivateFiles::FolderUse::cache,
            makeFolder ? PrivateFiles::Make::ifMissing : PrivateFiles::Make::never)) {
        if (*fault == PrivateFiles::FolderFault::missing)
            return { Place::Standing::folderMissing, {} };
        return { Place::Standing::refused,
            *fault == PrivateFiles::FolderFault::notMade ? QStringLiteral("could not make its folder")
                                                         : QStringLiteral("the folder is not the user's own") };
    }
    bool ownFiles = PrivateFiles::isAbsentOrOwnFile(databasePath);
    for (const char* suffix : companionSuffixes)
        ownFiles = ownFiles && PrivateFiles::isAbsentOrOwnFile(databasePath + QLatin1String(suffix));
    if (!ownFiles)
        return { Place::Standing::refused,
            QStringLiteral("the database or its journal is not a plain file of the user's own") };
    return {};
}

} // namespace CacheDatabaseFile
