#pragma once

#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"
#include "platform/FileSystemInfo.h"
#include "scan/DigestProof.h"
#include "scan/FileHasher.h"
#include "scan/ScanFileFacts.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The digest table of a scan source; the photo catalog (and anything after it)
// shares the table of this computer.
QString hashTableForSource(ScanSource source);

// One scan's use of the digest cache database at AppPaths::cacheDatabaseFile().
// Made by the scan and owned by it. One thread at a time calls it: the scan's
// thread, except that while the comparison runs its digests are saved from the
// scan's writer thread and the comparison only reads the entries. Only the
// calling thread uses the one connection it opens.
//
// Order within a scan: recordScannedFiles with the scan's files (or
// recordScannedFilesInCache with its records), loadHashCache, then the
// comparison consults the entries and hands its new digests to
// saveDigestBatches (or saveHashesToCacheDatabase) in batches; releaseLookups
// once no look-up and no write of the scan needs the entries any more; finish
// (or the destructor) commits. Batches are written inside one transaction that is committed every
// hundred batches and at the end, so a scan that finds nothing new writes
// nothing at all.
//
// Nothing here fails a scan or prints anything. A database that is busy with
// another program, read-only or on a full disk is logged once and the scan goes
// on without writing; a damaged one is logged, moved aside (never deleted) and
// rebuilt; one of an older layout is emptied and rebuilt.
//
// A digest is stored only when the file's times prove that it held those bytes
// for as long as its times stay as stored: its file system keeps a change time
// of its own, and that time was older than the moment the digest could first
// have been read by more than the time resolution of the file system. So a
// file changed within its own second of being read, or on a mount whose times
// a user can set back, is read again by the next scan. The digests handed to
// the cache must be read after it was made.
class ScanCache {
public:
    // What the database knows of one file of this scan, kept only while its
    // row still describes the file: same size, exact modification time, inode
    // and status-change time.
    struct Entry {
        BlockDigest digest {};
        // The digest of the file's first block.
        BlockDigest head {};
        bool hasDigest = false;
        bool hasHead = false;
    };

    // Removes the half-built databases an interrupted run may have left
    // beside the cache file. Opens nothing yet. The time facts must outlive
    // the cache.
    ScanCache(
        ScanSource source, const std::atomic<bool>& abort, const FileTimeFacts& timeFacts = systemFileTimeFacts());
    ~ScanCache();
    ScanCache(const ScanCache&) = delete;
    ScanCache& operator=(const ScanCache&) = delete;

    // A digest of this scan to be stored: the file's new full digest or the
    // digest of its first block that told it apart, or both.
    struct NewDigest {
        std::size_t item;
        std::optional<Md5Bytes> digest;
        std::optional<BlockDigest> head;
    };

    // Notes the files of this scan, so that only their rows are loaded: those
    // with an identity (a path, not a folder, an inode) on a file system
    // that keeps a change time of its own. The files must
    // outlive the cache's use. Does nothing once the scan was stopped.
    void recordScannedFiles(const ScanFileFacts& files);
    // The same for full records, which must outlive the cache's use; the
    // record-based look-ups below answer only after this.
    void recordScannedFilesInCache(const std::vector<FileInfoNodePtr>& records);
    // Reads the stored rows of the recorded files. Does nothing when the
    // database does not exist yet; Stop ends the reading before the next row,
    // keeping the rows read so far.
    void loadHashCache();
    // Writes the new full digests among records, and the new first-block
    // digests of heads (when given, one per record), building the database
    // from its template first when it is missing. What came from this cache,
    // packages and records with neither digest are passed over. Writes
    // nothing once the scan was stopped.
    void saveHashesToCacheDatabase(
        const std::vector<FileInfoNodePtr>& records, const std::vector<std::optional<BlockDigest>>& heads = {});
    // Writes the digests of batches of the recorded files under the same
    // rules: only what is new, never for a folder or a file without a path,
    // nothing once the scan was stopped. All batches go as one write in the
    // files' order, so that a large write visits each part of the path index
    // once.
    void saveDigestBatches(std::vector<std::vector<NewDigest>> batches);
    // Lets go of the look-up table and the loaded rows, so that their memory
    // is free for what the scan makes next: every entry is null afterwards,
    // and a digest saved after this counts as new.
    void releaseLookups();
    // Commits what was written and closes the connection.
    void finish();

    // The row of a recorded file while it still describes the file; null
    // otherwise. A package never has one: its date stays put when a member
    // changes.
    const Entry* currentEntry(std::size_t item) const;
    const Entry* currentEntry(const FileInfoNode& record) const;
    // Starts fetching what currentEntry will read for the file.
    void prefetch(std::size_t item) const
    {
        if (!files_.empty())
            __builtin_prefetch(&files_[homeOf(facts_->inode(item))]);
    }
    void prefetch(const FileInfoNode& record) const
    {
        if (!files_.empty())
            __builtin_prefetch(&files_[homeOf(record.inode)]);
    }
    // The stored digest of a file while its row is current.
    std::optional<QString> cachedDigest(const FileInfoNode& record) const;
    qsizetype size() const { return qsizetype(entries_.size()); }

    // Deletes the cache database with the journal files SQLite may have left
    // beside it; a failed removal is ignored. False, and nothing deleted,
    // while a scan runs: its connection would go on writing to a file
    // that is gone.
    static bool clearScanCache();

private:
    bool open(bool create);
    bool upgradeSchema();
    bool beginWriting();
    bool openForBatch();
    void commit();
    void closeConnection();
    void failed(int rc, const QString& what);
    void stopWriting(int rc, const QString& what);
    bool setDamagedDatabaseAside();
    bool writeRow(const ScanFileFacts& files, std::size_t item, const Entry* stored, QByteArrayView digest,
        const std::optional<BlockDigest>& head, bool& wrote);
    void endBatch(bool wrote);

    QString path_;
    QString table_;
    const std::atomic<bool>& abort_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    bool inTransaction_ = false;
    int batchesInTransaction_ = 0;
    // Set for the rest of the scan: the file cannot be used at all, or no
    // more rows are written to it.
    bool unusable_ = false;
    bool writesOff_ = false;
    bool setAside_ = false;
    bool refusalLogged_ = false;
    bool failureLogged_ = false;

    // Which digests may be stored: no digest handed to this cache was read
    // before it was made.
    DigestProof proof_;

    // The files of this scan, and their records when they were recorded as
    // such (owned here when the cache made the view itself).
    const ScanFileFacts* facts_ = nullptr;
    const RecordFileFacts* records_ = nullptr;
    std::unique_ptr<RecordFileFacts> ownRecords_;

    // The files with an identity in an open-addressing table by inode, each
    // with the index of its loaded row: looked up once per stored row and
    // once per file compared, without an allocation per file.
    // A slot keeps the low half of the inode, enough to pass over most other
    // files without asking the facts.
    static constexpr quint32 noItem = ~quint32(0);
    struct Slot {
        quint32 item = noItem;
        quint32 inodeLow = 0;
        qint32 entry = -1;
    };
    std::size_t homeOf(quint64 inode) const;
    std::vector<Slot> files_;
    std::deque<Entry> entries_;
};
