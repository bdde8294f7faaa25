#pragma once

#include <QByteArray>
#include <QString>

#include <array>

struct sqlite3;

// The digest cache's database file: its layout, built from the template
// under a temporary name, its companion journals, and the names a damaged
// file is set aside under. What a scan does with the rows is ScanCache's.
namespace CacheDatabaseFile {

inline constexpr std::array<const char*, 5> digestTables
    = { "hashTable", "GoogleDrive_hashTable", "DropBox_hashTable", "OneDrive_hashTable", "BoxCloud_hashTable" };

// Raised whenever the tables or what a row vouches for change; a file of
// another version is rebuilt. Rows of version 3 were stored without proof
// that the file could not change unseen right after its read.
inline constexpr int schemaVersion = 4;

// SQLite's companion files of a database: a journal left behind by a crash is
// played back into whatever file carries the database's name next.
inline constexpr std::array<const char*, 3> companionSuffixes = { "-journal", "-wal", "-shm" };

int exec(sqlite3* db, const QByteArray& sql);

// The current layout, over whatever the database held.
int buildSchema(sqlite3* db);

// The database file and its journals.
void removeDatabase(const QString& databasePath);

// A new database from the template; never replaces a file that exists.
bool createFromTemplate(const QString& databasePath);

// Removes what interrupted builds left beside the database.
void removeLeftoverBuilds(const QString& databasePath);

// Whether the database at databasePath may be opened. The cache names every
// scanned file: it is kept only in a folder of the user's alone (made first,
// with makeFolder, when missing), and only a plain file of the user's own is
// opened there, never through a link, so that a database another user
// planted (open to all, for them to read) is never filled.
struct Place {
    enum class Standing {
        usable,
        // No folder yet, and none was to be made: no cache for now.
        folderMissing,
        // Refused for reason, for the log.
        refused,
    };
    Standing standing = Standing::usable;
    QString reason;
};
Place checkPlace(const QString& databasePath, bool makeFolder);

// A free name beside databasePath for a damaged file kept aside.
QString asideName(const QString& databasePath);

} // namespace CacheDatabaseFile
