#pragma once

#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"
#include "scan/ComparisonCriteria.h"
#include "scan/ComparisonObserver.h"
#include "scan/FileHasher.h"
#include "scan/ScanCache.h"
#include "scan/ScanCounters.h"
#include "scan/ScanFileFacts.h"

#include <atomic>
#include <functional>
#include <vector>

// Turns the records of a scan into duplicate groups, by content (equal size,
// then equal MD5, plus the chosen criteria) or by the criteria alone. Runs on
// the scan's thread and alone writes the records, groups and counters while it
// runs; file digests are read ahead on the shared thread pool (one reader per
// rotational disk), but records join groups one by one in the order they were
// found, so the result does not depend on the threads.
//
// Groups come back in order of creation, groups of one included unless left
// out (setKeepGroupsOfOne). Stop (abort) is polled before every record and
// size group and while files are read; a stopped comparison returns the
// groups formed so far.
class Comparison {
public:
    // Records and, one per record, the digest of the first block that told
    // it apart when one was read or taken from the cache.
    using SaveDigests
        = std::function<void(const std::vector<FileInfoNodePtr>&, const std::vector<std::optional<BlockDigest>>&)>;

    // New digests of files kept compactly, by item.
    using SaveItemDigests = std::function<void(std::vector<ScanCache::NewDigest>&&)>;

    // Records handled on the content road between two calls of the save
    // callback.
    static constexpr std::size_t digestBatchSize = 1000;
    // Files larger than this are first told apart by the digest of their first
    // block; only files whose first block agrees with another file of their
    // size are read in full.
    static constexpr qint64 firstBlockBytes = 4 * 1024;

    Comparison(const FileHasher& hasher, ScanCounters& counters, const std::atomic<bool>& abort);

    // Progress reports; none by default.
    void setObserver(ComparisonObserver* observer) { observer_ = observer; }
    // The scan's digest cache, consulted on the content road; null (the
    // default) computes every digest. Must outlive the comparison.
    void setDigestCache(const ScanCache* cache) { cache_ = cache; }
    // Receives the records handled on the content road, every digestBatchSize
    // records and once at the end with the rest (also after Stop).
    void setSaveDigests(SaveDigests save) { saveDigests_ = std::move(save); }
    // Whether groups of one come back too (the default). A scan that shows
    // only duplicates leaves them out, so they are never made.
    void setKeepGroupsOfOne(bool keep) { keepGroupsOfOne_ = keep; }
    // How many threads read files at once (1 to the number of cores, the
    // default).
    void setHashingThreads(int threads);

    // The content road when the settings compare content, else the attribute
    // road, with the settings' criteria and minimum size.
    std::vector<DuplicateGroupPtr> searchDuplicateLocalFiles(
        const std::vector<FileInfoNodePtr>& records, ScanSource source, const ComparisonSettings& settings);

    // Content road. The minimum-size option and its bytes as in
    // ComparisonSettings: a negative option lets every size take part,
    // otherwise only files larger than minimumBytes do.
    std::vector<DuplicateGroupPtr> groupFilesBySizeAndMd5(const std::vector<FileInfoNodePtr>& records,
        const ComparisonCriteria& criteria, qint64 minimumSizeSetting, quint64 minimumBytes);

    // The content road's reading for files kept compactly (a walk's
    // ScannedFiles): reads, or takes from cache (recorded with the same files),
    // the digests that tell the files of one size apart, counts every file
    // as compared, and hands the new digests to save every digestBatchSize
    // files and at the end, with what each file's row keeps besides. Once
    // every file is planned, before anything is read, the cache's lookups are
    // released: nothing looks a row up any more. Only files whose digest
    // another file shares can end in a group: those come back, in found
    // order, with their digests.
    struct Sifted {
        std::vector<quint32> items;
        std::vector<DigestText> digests;
        // Stop ended the reading: only the files read by then were sifted.
        bool stopped = false;
    };
    Sifted siftFilesBySizeAndMd5(const ScanFileFacts& files, ScanCache* cache, qint64 minimumSizeSetting,
        quint64 minimumBytes, SaveItemDigests save);
    // Groups records as the content road does, when their digests are known
    // (isMd5Calucaluted) and the sift counted them as compared already.
    std::vector<DuplicateGroupPtr> groupSiftedRecords(const std::vector<FileInfoNodePtr>& records,
        const ComparisonCriteria& criteria, qint64 minimumSizeSetting, quint64 minimumBytes);

    // Attribute road: each record joins the first group all of whose members
    // match it, else starts a group. On a scan of this computer a file takes
    // part (joins or starts a group) only when the option is not negative and
    // the file is larger than minimumBytes, or when the option is exactly -1
    // (no setting); any other file is left out. Cloud records count as
    // compared when handled, and Drive folders are passed over.
    std::vector<DuplicateGroupPtr> groupFilesByCriteria(const std::vector<FileInfoNodePtr>& records, ScanSource source,
        const ComparisonCriteria& criteria, qint64 minimumSizeSetting, quint64 minimumBytes);

    // Cloud content road: groups records by the checksum the service
    // reported, exactly as stored; nothing is read. A record without a
    // checksum is passed over (an empty key would pair unrelated files).
    std::vector<DuplicateGroupPtr> createMd5DictforCloudDriveFiles(const std::vector<FileInfoNodePtr>& records);

    // What the comparison of a cloud scan with settings holds for record at
    // most while it compares (the groups of two or more aside): by checksum,
    // its places in the tables of checksums; by the criteria alone, its entry
    // among the groups with its meeting key, the indexes of its dates and the
    // keys of its name, which grow with the name's length.
    static qint64 heldBytesOfCloudRecord(const ComparisonSettings& settings, const FileInfoNode& record);

private:
    class Sieve;
    class ContentRoad;
    class Sifter;

    const FileHasher& hasher_;
    ScanCounters& counters_;
    const std::atomic<bool>& abort_;
    ComparisonObserver* observer_ = nullptr;
    const ScanCache* cache_ = nullptr;
    SaveDigests saveDigests_;
    int hashingThreads_ = 0; // set by the constructor
    bool keepGroupsOfOne_ = true;
};
