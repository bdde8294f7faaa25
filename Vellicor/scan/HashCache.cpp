#include "scan/HashCache.h"

#include "base/AppPaths.h"
#include "scan/SqliteOperations.h"

#include <QFileInfo>

void recordScannedFilesInCache(const std::vector<FileInfoNodePtr>& records, const std::atomic<bool>& abort)
{
    const QString database = AppPaths::cacheDatabaseFile();
    if (abort || !QFileInfo::exists(database))
        return;
    SqliteOperations::createCacheTables(database);
    SqliteOperations::clearScanEntries(database);
    SqliteOperations::insertScanEntries(database, records, abort);
}

void loadHashCache(ScanSource source, DigestCache& cache, const std::atomic<bool>& abort)
{
    const QString database = AppPaths::cacheDatabaseFile();
    if (!QFileInfo::exists(database))
        return;
    SqliteOperations::loadCachedHashes(hashTableForSource(source), database, cache, abort);
}

void saveHashesToCacheDatabase(const std::vector<FileInfoNodePtr>& records, ScanSource source, const DigestCache* cache,
    const std::atomic<bool>& abort)
{
    if (abort)
        return;
    if (!SqliteOperations::prepareCacheDatabase(AppPaths::cacheFolder(), SqliteOperations::templatePath()))
        return;
    SqliteOperations::insertFileHashes(
        hashTableForSource(source), AppPaths::cacheDatabaseFile(), records, cache, abort);
}

void clearScanCache()
{
    const QString database = AppPaths::cacheDatabaseFile();
    if (!QFileInfo::exists(database))
        return;
    SqliteOperations::removeDatabase(database);
}
