#pragma once

#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"
#include "scan/DigestCache.h"

#include <atomic>
#include <vector>

// The scan's use of the digest cache database at AppPaths::cacheDatabaseFile(),
// in the order a local scan calls them: empty the in-memory cache,
// recordScannedFilesInCache, loadHashCache, then the comparison, which hands
// its new digests to saveHashesToCacheDatabase in batches. All run on the
// scan's thread; none fails the scan.

// Replaces the recorded files of the last scan with these records. Does
// nothing when the scan was stopped or the database does not exist yet.
void recordScannedFilesInCache(const std::vector<FileInfoNodePtr>& records, const std::atomic<bool>& abort);

// Loads the still-valid digests of the recorded files from the source's table
// into cache. Does nothing when the database does not exist yet.
void loadHashCache(ScanSource source, DigestCache& cache, const std::atomic<bool>& abort);

// Writes the new full digests among records to the source's table, creating
// the database from its template first when it is missing. cache is the one
// the comparison consulted (digests taken from it are not written again), or
// null when it ran without one. Writes nothing once the scan was stopped.
void saveHashesToCacheDatabase(const std::vector<FileInfoNodePtr>& records, ScanSource source, const DigestCache* cache,
    const std::atomic<bool>& abort);

// Deletes the cache database (and any journal SQLite left beside it) when it
// exists; a failed removal is ignored. The next content scan starts without
// cached digests. Not to be called while a scan runs.
void clearScanCache();
