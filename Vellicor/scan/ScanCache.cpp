#include "scan/ScanCache.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"
#include "core/FileUtilities.h"
#include "scan/CacheDatabaseFile.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <mutex>
#include <thread>

namespace {

using CacheDatabaseFile::asideName;
using CacheDatabaseFile::buildSchema;
using CacheDatabaseFile::companionSuffixes;
using CacheDatabaseFile::createFromTemplate;
using CacheDatabaseFile::digestTables;
using CacheDatabaseFile::exec;
using CacheDatabaseFile::removeDatabase;
using CacheDatabaseFile::removeLeftoverBuilds;
using CacheDatabaseFile::schemaVersion;

// Another instance of the program may be committing: wait for it a little,
// once per scan at most at most (the first busy answer ends this scan's writing).
constexpr int busyTimeoutMs = 1000;
// Connections that read the stored rows at once when a scan starts.
constexpr qint64 loadingConnections = 8;
// Batches written between two commits: each commit writes every page its
// rows touched (paths land all over the path index), so commits are rare; the
// lock is still let go of now and then in a very large scan.
constexpr int batchesPerCommit = 100;

bool isDamageCode(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

bool isBusyCode(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// A prepared statement, finalized when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql)
        : rc_(sqlite3_prepare_v2(db, sql.constData(), -1, &stmt_, nullptr))
    {
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepareResult() const { return rc_; }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseDigest(const unsigned char* text, int bytes, BlockDigest& digest)
{
    if (!text || bytes != 32)
        return false;
    for (int i = 0; i < 16; ++i) {
        const int high = hexValue(char(text[2 * i]));
        const int low = hexValue(char(text[2 * i + 1]));
        if (high < 0 || low < 0)
            return false;
        digest[std::size_t(i)] = quint8(high << 4 | low);
    }
    return true;
}

bool isNewHead(const ScanCache::Entry* stored, const std::optional<BlockDigest>& head)
{
    return head && !(stored && stored->hasHead && stored->head == *head);
}

// Whether hex (lower- or upper-case) spells digest.
bool sameDigest(const BlockDigest& digest, const QString& hex)
{
    if (hex.size() != 32)
        return false;
    BlockDigest bytes {};
    const QByteArray text = hex.toLatin1();
    return parseDigest(reinterpret_cast<const unsigned char*>(text.constData()), 32, bytes) && bytes == digest;
}

FileTimestamp timestampAt(sqlite3_stmt* row, int seconds, int nanoseconds)
{
    return { sqlite3_column_int64(row, seconds), quint32(sqlite3_column_int64(row, nanoseconds)) };
}

} // namespace

QString hashTableForSource(ScanSource source)
{
    const auto index = static_cast<std::size_t>(source);
    return QLatin1String(index < digestTables.size() ? digestTables[index] : digestTables[0]);
}

ScanCache::ScanCache(ScanSource source, const std::atomic<bool>& abort, const FileTimeFacts& timeFacts)
    : path_(AppPaths::cacheDatabaseFile())
    , table_(hashTableForSource(source))
    , abort_(abort)
    , proof_(timeFacts)
{
    if (!PrivateFiles::ensureOwnFolder(QFileInfo(path_).path(), PrivateFiles::Make::never))
        removeLeftoverBuilds(path_);
}

ScanCache::~ScanCache()
{
    finish();
}

void ScanCache::recordScannedFiles(const ScanFileFacts& files)
{
    if (abort_)
        return;
    facts_ = &files;
    records_ = dynamic_cast<const RecordFileFacts*>(&files);
    // Without an identity no row is ever believed for a file, nor on a file
    // system whose times a user can set back. The files of one device mostly
    // come together: the last answer is kept at hand.
    quint64 lastDevice = 0;
    std::optional<bool> lastAnswer;
    const auto identified = [&](std::size_t item) {
        if (files.inode(item) == 0 || files.isDirectory(item) || !files.hasPath(item))
            return false;
        const quint64 device = files.deviceId(item);
        if (!lastAnswer || device != lastDevice) {
            const std::optional<bool> answer = proof_.keepsOwnChangeTime(files, item);
            if (!answer)
                return false;
            lastDevice = device;
            lastAnswer = answer;
        }
        return *lastAnswer;
    };
    // Each file is judged once; the table is sized by how many passed.
    std::vector<bool> passed(files.count());
    std::size_t count = 0;
    for (std::size_t item = 0; item < files.count(); ++item) {
        passed[item] = identified(item);
        count += passed[item] ? 1 : 0;
    }
    if (count == 0)
        return;
    // At most two thirds full, so that probes stay short.
    files_.assign(count + count / 2 + 1, Slot {});
    for (std::size_t item = 0; item < files.count(); ++item) {
        if (!passed[item])
            continue;
        const quint64 inode = files.inode(item);
        std::size_t at = homeOf(inode);
        while (files_[at].item != noItem)
            at = at + 1 == files_.size() ? 0 : at + 1;
        files_[at] = Slot { quint32(item), quint32(inode), -1 };
    }
}

void ScanCache::recordScannedFilesInCache(const std::vector<FileInfoNodePtr>& records)
{
    if (abort_)
        return;
    ownRecords_ = std::make_unique<RecordFileFacts>(records);
    recordScannedFiles(*ownRecords_);
}

std::size_t ScanCache::homeOf(quint64 inode) const
{
    // Inodes often run in sequence: mixed first, then scaled to the table.
    const quint64 mixed = inode * 0x9E3779B97F4A7C15ull;
    return std::size_t((static_cast<unsigned __int128>(mixed) * files_.size()) >> 64);
}

void ScanCache::loadHashCache()
{
    if (files_.empty() || !open(false))
        return;
    // The rows are read in ranges of their keys, each on a connection and a
    // thread of its own. A path has one row at most, so a file gets one entry
    // whichever range finds it first; the entries are added under a lock, a
    // batch at a time.
    struct Range {
        qint64 from = 0;
        qint64 to = -1;
        int rc = SQLITE_OK;
        bool read = false;
    };
    std::mutex adding;
    std::vector<Range> ranges;
    {
        // Each bound on its own, so that each is one look-up at an end of the
        // table rather than a pass over it.
        Statement bounds(db_,
            "SELECT (SELECT min(fileID) FROM " + table_.toLatin1() + "), (SELECT max(fileID) FROM " + table_.toLatin1()
                + ")");
        int rc = bounds.prepareResult();
        rc = rc == SQLITE_OK ? sqlite3_step(bounds.get()) : rc;
        if (rc != SQLITE_ROW) {
            failed(rc, QStringLiteral("could not read the stored digests"));
            return;
        }
        if (sqlite3_column_type(bounds.get(), 0) == SQLITE_NULL)
            return;
        const qint64 low = sqlite3_column_int64(bounds.get(), 0);
        const qint64 high = sqlite3_column_int64(bounds.get(), 1);
        // Below some tens of thousands of rows another connection costs more
        // than it saves.
        // Keys may lie anywhere in their 64 bits: the widths are unsigned.
        constexpr quint64 rowsPerRange = 12500;
        const quint64 width = quint64(high) - quint64(low);
        const quint64 count = std::min(width / rowsPerRange + 1, quint64(loadingConnections));
        const quint64 span = width / count + 1;
        for (quint64 i = 0; i < count; ++i) {
            const qint64 from = qint64(quint64(low) + i * span);
            ranges.push_back(Range { from, i + 1 == count ? high : qint64(quint64(from) + span - 1), SQLITE_OK });
        }
    }

    const auto readRange = [this, &adding](sqlite3* db, Range& range) {
        // Rows are taken in small batches: the files of a batch are looked
        // up together, so that fetching their slots and paths from memory
        // overlaps instead of costing one wait per row. The scan's files are
        // only read here.
        struct Row {
            Entry entry;
            quint64 fileSize;
            FileTimestamp modTime;
            quint64 inode;
            FileTimestamp changeTime;
            qsizetype pathFrom;
            qsizetype pathBytes;
            std::size_t at;
        };
        constexpr std::size_t batchRows = 64;
        std::vector<Row> batch;
        batch.reserve(batchRows);
        QByteArray paths;
        const auto next = [this](std::size_t at) { return at + 1 == files_.size() ? 0 : at + 1; };
        const auto take = [&] {
            for (Row& row : batch) {
                row.at = homeOf(row.inode);
                __builtin_prefetch(&files_[row.at]);
            }
            for (const Row& row : batch) {
                for (std::size_t at = row.at; files_[at].item != noItem; at = next(at)) {
                    if (files_[at].inodeLow == quint32(row.inode)) {
                        facts_->prefetch(files_[at].item);
                        break;
                    }
                }
            }
            for (Row& row : batch) {
                // Found by inode first, then by path. A row that no longer
                // describes its file is of no use to this scan: it is left in
                // the database, not kept here.
                const QUtf8StringView rowPath(paths.constData() + row.pathFrom, row.pathBytes);
                std::size_t found = files_.size();
                for (std::size_t at = row.at; files_[at].item != noItem; at = next(at)) {
                    const Slot& slot = files_[at];
                    if (slot.inodeLow == quint32(row.inode) && facts_->inode(slot.item) == row.inode
                        && facts_->pathEquals(slot.item, rowPath)) {
                        found = at;
                        break;
                    }
                }
                const std::size_t item = found != files_.size() ? files_[found].item : 0;
                const bool current = found != files_.size() && row.fileSize == facts_->fileSize(item)
                    && row.modTime == facts_->storedModTime(item) && row.changeTime == facts_->changeTime(item);
                row.at = current ? found : files_.size();
            }
            {
                std::lock_guard lock(adding);
                for (const Row& row : batch) {
                    if (row.at == files_.size())
                        continue;
                    Slot& slot = files_[row.at];
                    if (slot.entry < 0) {
                        slot.entry = qint32(entries_.size());
                        entries_.push_back(row.entry);
                    } else {
                        entries_[std::size_t(slot.entry)] = row.entry;
                    }
                }
            }
            batch.clear();
            paths.clear();
        };
        Statement rows(db,
            "SELECT filePath, fileHash, fileSize, fileModDate, fileModNanoseconds, fileInode, fileChangeDate, "
            "fileChangeNanoseconds, fileHeadHash FROM "
                + table_.toLatin1() + " WHERE fileID BETWEEN ?1 AND ?2 ORDER BY fileID");
        int rc = rows.prepareResult();
        sqlite3_stmt* row = rows.get();
        if (rc == SQLITE_OK) {
            sqlite3_bind_int64(row, 1, range.from);
            sqlite3_bind_int64(row, 2, range.to);
        }
        while (rc == SQLITE_OK && !abort_) {
            const int step = sqlite3_step(row);
            if (step != SQLITE_ROW) {
                rc = step == SQLITE_DONE ? SQLITE_OK : step;
                break;
            }
            const auto* path = reinterpret_cast<const char*>(sqlite3_column_text(row, 0));
            if (!path)
                continue;
            Row read { {}, 0, {}, 0, {}, paths.size(), sqlite3_column_bytes(row, 0), 0 };
            Entry& entry = read.entry;
            entry.hasDigest = parseDigest(sqlite3_column_text(row, 1), sqlite3_column_bytes(row, 1), entry.digest);
            entry.hasHead = parseDigest(sqlite3_column_text(row, 8), sqlite3_column_bytes(row, 8), entry.head);
            if (!entry.hasDigest && !entry.hasHead)
                continue;
            paths.append(path, read.pathBytes);
            read.fileSize = quint64(sqlite3_column_int64(row, 2));
            read.modTime = timestampAt(row, 3, 4);
            read.inode = quint64(sqlite3_column_int64(row, 5));
            read.changeTime = timestampAt(row, 6, 7);
            batch.push_back(read);
            if (batch.size() == batchRows)
                take();
        }
        take();
        range.rc = rc;
        range.read = true;
    };

    // The first range is read on this thread and the scan's connection; a
    // range whose connection cannot be opened is read there afterwards.
    const QByteArray file = QFile::encodeName(path_);
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < ranges.size(); ++i) {
        threads.emplace_back([&readRange, &file, &range = ranges[i]] {
            sqlite3* db = nullptr;
            if (sqlite3_open_v2(
                    file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr)
                == SQLITE_OK) {
                sqlite3_busy_timeout(db, busyTimeoutMs);
                // One pass over the rows needs no page cache to speak of.
                exec(db, "PRAGMA cache_size = 16");
                readRange(db, range);
            }
            sqlite3_close_v2(db);
        });
    }
    readRange(db_, ranges.front());
    for (std::thread& thread : threads)
        thread.join();

    int rc = SQLITE_OK;
    for (Range& range : ranges) {
        if (!range.read && !abort_)
            readRange(db_, range);
        if (rc == SQLITE_OK)
            rc = range.rc;
    }
    if (rc != SQLITE_OK) {
        // Rows read from a damaged file are not believed.
        if (isDamageCode(rc)) {
            entries_.clear();
            for (Slot& slot : files_)
                slot.entry = -1;
        }
        failed(rc, QStringLiteral("could not read the stored digests"));
    }
}

void ScanCache::saveHashesToCacheDatabase(
    const std::vector<FileInfoNodePtr>& records, const std::vector<std::optional<BlockDigest>>& heads)
{
    if (records.empty() || !openForBatch())
        return;
    const RecordFileFacts files(records);
    bool wrote = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FileInfoNode& record = *records[i];
        if (abort_ || writesOff_)
            return;
        if (!record.filePath || record.isDirectory)
            continue;
        const Entry* stored = currentEntry(record);
        // A digest kept as text (one in capitals) is written as it stands.
        const bool hasDigest = record.md5 && record.md5->size() == 32;
        const std::optional<BlockDigest> head = i < heads.size() ? heads[i] : std::nullopt;
        const bool newDigest = hasDigest && !(stored && stored->hasDigest && sameDigest(stored->digest, *record.md5));
        if (!newDigest && !isNewHead(stored, head))
            continue;
        if (!writeRow(files, i, stored, hasDigest ? record.md5->toUtf8() : QByteArray(), head, wrote))
            return;
    }
    endBatch(wrote);
}

void ScanCache::saveDigestBatches(std::vector<std::vector<NewDigest>> batches)
{
    if (!facts_ || batches.empty() || !openForBatch())
        return;
    // Each batch in order, then all of them merged as they are written: one
    // large list of a million rows would cost its size again in memory. A
    // comparison plans each file once, so no file comes twice.
    const auto byItem = [](const NewDigest& a, const NewDigest& b) { return a.item < b.item; };
    struct Next {
        std::size_t batch;
        std::size_t at;
    };
    std::vector<Next> heads;
    for (std::size_t i = 0; i < batches.size(); ++i) {
        std::sort(batches[i].begin(), batches[i].end(), byItem);
        if (!batches[i].empty())
            heads.push_back({ i, 0 });
    }
    // A min-heap on the next file of each batch.
    const auto later = [&batches](const Next& a, const Next& b) {
        return batches[a.batch][a.at].item > batches[b.batch][b.at].item;
    };
    std::make_heap(heads.begin(), heads.end(), later);
    bool wrote = false;
    while (!heads.empty()) {
        std::pop_heap(heads.begin(), heads.end(), later);
        Next& next = heads.back();
        const NewDigest& file = batches[next.batch][next.at];
        if (++next.at < batches[next.batch].size())
            std::push_heap(heads.begin(), heads.end(), later);
        else
            heads.pop_back();
        if (abort_ || writesOff_)
            return;
        if (!facts_->hasPath(file.item) || facts_->isDirectory(file.item))
            continue;
        const Entry* stored = currentEntry(file.item);
        const bool newDigest = file.digest && !(stored && stored->hasDigest && stored->digest == *file.digest);
        if (!newDigest && !isNewHead(stored, file.head))
            continue;
        const QByteArray digest = file.digest
            ? QByteArray::fromRawData(reinterpret_cast<const char*>(file.digest->data()), 16).toHex()
            : QByteArray();
        if (!writeRow(*facts_, file.item, stored, digest, file.head, wrote))
            return;
    }
    endBatch(wrote);
}

// One row for a file whose digest or first block is new; an empty digest
// stands for none. False when writing could not begin.
bool ScanCache::writeRow(const ScanFileFacts& files, std::size_t item, const Entry* stored, QByteArrayView digest,
    const std::optional<BlockDigest>& head, bool& wrote)
{
    // What could not be believed is not stored: the next scan reads the file
    // again, by when its times may prove it.
    if (!proof_.proves(files, item))
        return true;
    if (!beginWriting())
        return false;
    // A row replaces the file's earlier one: what is still true of it is
    // written again.
    const auto hex = [](const BlockDigest& bytes) {
        return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), 16).toHex();
    };
    const QByteArray keptDigest
        = !digest.isEmpty() || !stored || !stored->hasDigest ? digest.toByteArray() : hex(stored->digest);
    const std::optional<BlockDigest> keptHead
        = head ? head : (stored && stored->hasHead ? std::optional(stored->head) : std::nullopt);
    const QByteArray headText = keptHead ? hex(*keptHead) : QByteArray();
    const QByteArray path = files.path(item).toUtf8();
    const FileTimestamp modTime = files.storedModTime(item);
    const FileTimestamp changeTime = files.changeTime(item);
    // ?1 stays unbound: the database assigns the key.
    if (!keptDigest.isEmpty())
        sqlite3_bind_text(insert_, 2, keptDigest.constData(), int(keptDigest.size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(insert_, 2);
    if (keptHead)
        sqlite3_bind_text(insert_, 11, headText.constData(), int(headText.size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(insert_, 11);
    sqlite3_bind_int64(insert_, 3, files.createdSeconds(item));
    sqlite3_bind_int64(insert_, 4, modTime.seconds);
    sqlite3_bind_text(insert_, 5, path.constData(), int(path.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert_, 6, static_cast<qint64>(files.fileSize(item)));
    sqlite3_bind_int64(insert_, 7, modTime.nanoseconds);
    sqlite3_bind_int64(insert_, 8, static_cast<qint64>(files.inode(item)));
    sqlite3_bind_int64(insert_, 9, changeTime.seconds);
    sqlite3_bind_int64(insert_, 10, changeTime.nanoseconds);
    const int rc = sqlite3_step(insert_);
    sqlite3_reset(insert_);
    if (rc == SQLITE_DONE) {
        wrote = true;
    } else if ((rc & 0xff) == SQLITE_CONSTRAINT) {
        // One refused row; the next file is tried.
        if (!std::exchange(refusalLogged_, true))
            Log::print("Cache database: Unable to insert data", sqlite3_sql(insert_), "-", sqlite3_errstr(rc));
    } else {
        failed(rc, QStringLiteral("Unable to insert data"));
    }
    return true;
}

// The database is there from a content scan's first batch on, whether or not
// any of its digests could be stored yet.
bool ScanCache::openForBatch()
{
    return !abort_ && !writesOff_ && open(true);
}

void ScanCache::endBatch(bool wrote)
{
    if (wrote && inTransaction_ && ++batchesInTransaction_ >= batchesPerCommit)
        commit();
}

void ScanCache::releaseLookups()
{
    std::vector<Slot>().swap(files_);
    std::deque<Entry>().swap(entries_);
}

void ScanCache::finish()
{
    commit();
    closeConnection();
}

const ScanCache::Entry* ScanCache::currentEntry(std::size_t item) const
{
    if (files_.empty() || entries_.empty())
        return nullptr;
    // Without an identity there is no telling a rewritten file from its row:
    // such a file has no slot.
    const quint64 inode = facts_->inode(item);
    if (inode == 0)
        return nullptr;
    for (std::size_t at = homeOf(inode); files_[at].item != noItem; at = at + 1 == files_.size() ? 0 : at + 1) {
        if (files_[at].item == item)
            return files_[at].entry < 0 ? nullptr : &entries_[std::size_t(files_[at].entry)];
    }
    return nullptr;
}

const ScanCache::Entry* ScanCache::currentEntry(const FileInfoNode& record) const
{
    if (!records_ || record.isDirectory || !record.filePath || record.inode == 0 || files_.empty() || entries_.empty())
        return nullptr;
    for (std::size_t at = homeOf(record.inode); files_[at].item != noItem; at = at + 1 == files_.size() ? 0 : at + 1) {
        const Slot& slot = files_[at];
        if (slot.inodeLow == quint32(record.inode) && &records_->record(slot.item) == &record)
            return slot.entry < 0 ? nullptr : &entries_[std::size_t(slot.entry)];
    }
    return nullptr;
}

std::optional<QString> ScanCache::cachedDigest(const FileInfoNode& record) const
{
    const Entry* entry = currentEntry(record);
    if (!entry || !entry->hasDigest)
        return std::nullopt;
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char*>(entry->digest.data()), 16).toHex());
}

bool ScanCache::clearScanCache()
{
    if (isScanRunning)
        return false;
    // Journals without their database are stale too: played back into a new
    // database they would damage it.
    removeDatabase(AppPaths::cacheDatabaseFile());
    return true;
}

// Opens the file read-write without ever creating it by opening; with create,
// a missing file is first built from the template. False leaves the scan
// without the cache (or, for a missing file, without it for now).
bool ScanCache::open(bool create)
{
    if (db_ || unusable_)
        return db_ != nullptr;
    // Never through a link, nor in a folder or a file another user could have
    // made: the cache names every scanned file.
    const CacheDatabaseFile::Place place = CacheDatabaseFile::checkPlace(path_, create);
    if (place.standing != CacheDatabaseFile::Place::Standing::usable) {
        if (place.standing == CacheDatabaseFile::Place::Standing::refused) {
            unusable_ = true;
            stopWriting(SQLITE_CANTOPEN, place.reason);
        }
        return false;
    }
    if (!QFileInfo::exists(path_)) {
        if (!create)
            return false;
        if (!createFromTemplate(path_)) {
            stopWriting(SQLITE_CANTOPEN, QStringLiteral("could not create the database"));
            return false;
        }
    }
    // A file an earlier run left readable by others is narrowed first; the
    // journals the database makes take its mode.
    PrivateFiles::narrowFile(path_);
    for (const char* suffix : companionSuffixes)
        PrivateFiles::narrowFile(path_ + QLatin1String(suffix));
    sqlite3_initialize();
    int rc = sqlite3_open_v2(
        QFile::encodeName(path_).constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db_, busyTimeoutMs);
        // A cache can afford to lose its last commit to a power cut (a damaged
        // file is set aside and rebuilt), not a sync per commit.
        exec(db_, "PRAGMA synchronous = NORMAL");
        Statement version(db_, "PRAGMA user_version");
        rc = version.prepareResult();
        if (rc == SQLITE_OK)
            rc = sqlite3_step(version.get());
        if (rc == SQLITE_ROW)
            rc = sqlite3_column_int(version.get(), 0) == schemaVersion ? SQLITE_OK : SQLITE_SCHEMA;
    }
    if (rc == SQLITE_SCHEMA && upgradeSchema())
        return true;
    if (rc == SQLITE_OK)
        return true;
    closeConnection();
    if (isDamageCode(rc) && !setAside_ && setDamagedDatabaseAside())
        return open(create);
    unusable_ = true;
    stopWriting(rc, QStringLiteral("could not open the database"));
    return false;
}

// A file of an older layout lacks what tells a stale digest: its tables are
// built anew, in place.
bool ScanCache::upgradeSchema()
{
    int rc = exec(db_, "BEGIN IMMEDIATE");
    if (rc == SQLITE_OK) {
        rc = buildSchema(db_);
        rc = rc == SQLITE_OK ? exec(db_, "COMMIT TRANSACTION") : rc;
        if (rc != SQLITE_OK)
            exec(db_, "ROLLBACK TRANSACTION");
    }
    if (rc == SQLITE_OK) {
        Log::print("Cache database:", path_, "had an older layout and was rebuilt");
        return true;
    }
    closeConnection();
    unusable_ = true;
    stopWriting(rc, QStringLiteral("could not rebuild the database of an older layout"));
    return false;
}

bool ScanCache::beginWriting()
{
    if (writesOff_ || !open(true))
        return false;
    if (!insert_) {
        const QByteArray sql = "INSERT INTO " + table_.toLatin1()
            + " (fileID,fileHash,fileCreationDate,fileModDate,filePath,fileSize,fileModNanoseconds,fileInode,"
              "fileChangeDate,fileChangeNanoseconds,fileHeadHash) VALUES (?1, ?2,?3,?4,?5,?6,?7,?8,?9,?10,?11)";
        if (const int rc = sqlite3_prepare_v2(db_, sql.constData(), -1, &insert_, nullptr); rc != SQLITE_OK) {
            failed(rc, QStringLiteral("Unable to prepare") + QLatin1Char(' ') + QString::fromLatin1(sql));
            return false;
        }
    }
    if (!inTransaction_) {
        if (const int rc = exec(db_, "BEGIN TRANSACTION"); rc != SQLITE_OK) {
            failed(rc, QStringLiteral("could not begin writing"));
            return false;
        }
        inTransaction_ = true;
    }
    return true;
}

void ScanCache::commit()
{
    if (!inTransaction_)
        return;
    inTransaction_ = false;
    batchesInTransaction_ = 0;
    if (const int rc = exec(db_, "COMMIT TRANSACTION"); rc != SQLITE_OK) {
        exec(db_, "ROLLBACK TRANSACTION");
        failed(rc, QStringLiteral("could not commit"));
    }
}

void ScanCache::closeConnection()
{
    if (inTransaction_)
        exec(db_, "ROLLBACK TRANSACTION");
    inTransaction_ = false;
    batchesInTransaction_ = 0;
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

// A damaged file is set aside and rebuilt once per scan, and the scan goes on
// with the new one; anything else ends this scan's writing.
void ScanCache::failed(int rc, const QString& what)
{
    if (isDamageCode(rc) && !setAside_) {
        closeConnection();
        if (setDamagedDatabaseAside())
            return;
        unusable_ = true;
    }
    stopWriting(rc, what);
}

void ScanCache::stopWriting(int rc, const QString& what)
{
    writesOff_ = true;
    if (inTransaction_) {
        inTransaction_ = false;
        exec(db_, "ROLLBACK TRANSACTION");
    }
    if (std::exchange(failureLogged_, true))
        return;
    const char* reason = isBusyCode(rc) ? "the database is held by another program" : sqlite3_errstr(rc);
    Log::print(
        "Cache database:", what, "in", printablePath(path_), "-", reason, "- this scan goes on without saving digests");
}

bool ScanCache::setDamagedDatabaseAside()
{
    setAside_ = true;
    const QString aside = asideName(path_);
    if (!QFile::rename(path_, aside)) {
        Log::print("Cache database:", path_, "is damaged and could not be moved aside");
        return false;
    }
    for (const char* suffix : companionSuffixes) {
        if (QFileInfo::exists(path_ + QLatin1String(suffix)))
            QFile::rename(path_ + QLatin1String(suffix), aside + QLatin1String(suffix));
    }
    const bool rebuilt = createFromTemplate(path_);
    Log::print("Cache database:", path_, "is damaged; kept it as", aside,
        rebuilt ? "and started a new one" : "and could not start a new one");
    return rebuilt;
}
