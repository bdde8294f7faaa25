#pragma once

#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"
#include "scan/DigestCache.h"

#include <QString>

#include <atomic>
#include <vector>

// The digest table of a scan source; the Lightroom catalog (and anything after
// it) shares the table of this computer.
QString hashTableForSource(ScanSource source);

// The cache database through SQLite's C interface. Stateless: every operation
// opens the file it is given (read-write, never creating it), does one job and
// closes it again, so no connection outlives a call or crosses a thread. Runs
// on the scan's thread.
//
// Nothing here fails a scan: a database that cannot be opened or a statement
// that does not prepare ends the operation quietly and the scan computes its
// digests. A file that SQLite reports as damaged is moved aside (kept, never
// deleted, and logged) and a fresh one is built from the template, so the next
// operation finds a working cache.
class SqliteOperations {
public:
    // The schema a new cache database is built from (a compiled-in resource).
    static QString templatePath();

    // Adds any table of the template that the database lacks, in one
    // transaction; existing tables and rows stay as they are.
    static void createCacheTables(const QString& databasePath);
    // Empties tempTable.
    static void clearScanEntries(const QString& databasePath);
    // One tempTable row (path, whole-second modification date) per record, in
    // one transaction. Stops before the next record once abort is set; the rows
    // written so far stay.
    static void insertScanEntries(
        const QString& databasePath, const std::vector<FileInfoNodePtr>& records, const std::atomic<bool>& abort);
    // Fills cache from the digest rows whose path and modification second match
    // a tempTable row, replacing earlier entries of the same path. Entries read
    // before a stop stay.
    static void loadCachedHashes(
        const QString& hashTable, const QString& databasePath, DigestCache& cache, const std::atomic<bool>& abort);
    // One digest row per record with a new full digest, in one transaction.
    // Passed over: records without a path or digest, packages, and records
    // whose digest came from cache (none when cache is null).
    static void insertFileHashes(const QString& hashTable, const QString& databasePath,
        const std::vector<FileInfoNodePtr>& records, const DigestCache* cache, const std::atomic<bool>& abort);
    // Makes sure "Vellicor.db" exists in folderPath, creating the folder and
    // building the file from the schema at templatePath when missing. The new
    // file is made under a temporary name and renamed into place, so a crash
    // never leaves a half-made database. True when the file exists afterwards.
    static bool prepareCacheDatabase(const QString& folderPath, const QString& templatePath);
    // Deletes a database file with the journal files SQLite may have left
    // beside it; failures are ignored.
    static void removeDatabase(const QString& databasePath);
};
