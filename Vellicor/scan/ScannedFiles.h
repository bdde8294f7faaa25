#pragma once

#include "scan/ScanFileFacts.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The files a walk of this computer found, in the order found. A file as the
// local record builder made it is kept in 72 bytes and its name, and becomes a
// full record again only when asked for, exactly as the builder made it;
// anything else (a photo library's item) is kept whole. A scan so holds its
// files in a fraction of the room full records take, until the comparison
// tells which of them can be duplicates; only those are ever made whole.
//
// Filled by one thread (the walk's), with entries prepared on any thread;
// once filled, read by any number of threads at once.
class ScannedFiles : public ScanFileFacts {
    // Items in chunks of 2^Bits that never move: the table grows without
    // copying what it holds and without room kept for twice as much.
    template <class T, int Bits> class Chunks {
    public:
        static constexpr std::size_t chunkSize = std::size_t(1) << Bits;
        std::size_t size() const { return size_; }
        T& operator[](std::size_t i) { return chunks_[i >> Bits][i & (chunkSize - 1)]; }
        const T& operator[](std::size_t i) const { return chunks_[i >> Bits][i & (chunkSize - 1)]; }
        // Makes room for count items in one chunk and gives the first's index.
        std::size_t append(std::size_t count)
        {
            if ((size_ & (chunkSize - 1)) + count > chunkSize)
                size_ = (size_ + chunkSize - 1) & ~(chunkSize - 1);
            while (size_ + count > chunks_.size() * chunkSize)
                chunks_.push_back(std::make_unique_for_overwrite<T[]>(chunkSize));
            return std::exchange(size_, size_ + count);
        }
        void push_back(const T& item) { (*this)[append(1)] = item; }
        void truncate(std::size_t size)
        {
            size_ = size;
            chunks_.resize((size + chunkSize - 1) >> Bits);
        }

    private:
        std::vector<std::unique_ptr<T[]>> chunks_;
        std::size_t size_ = 0;
    };

    // A compactly kept file: what the builder read of it, without texts.
    struct Entry {
        enum Flag : quint8 {
            whole = 1, // folder is the index of the record kept whole
            directory = 2,
            locked = 4,
            networkDrive = 8,
            rawFormat = 16,
            modified = 32, // the file has a modification date (modTime's)
            created = 64, // the file has a creation date (createdMs)
        };
        quint64 fileSize = 0;
        quint64 deviceId = 0;
        quint64 inode = 0;
        qint64 createdMs = 0;
        FileTimestamp modTime;
        FileTimestamp changeTime;
        quint32 folder = 0;
        quint32 nameAt = 0;
        quint16 nameBytes = 0;
        // The category plus one; 0 for none.
        quint8 category = 0;
        quint8 flags = 0;
        bool has(Flag flag) const { return (flags & flag) != 0; }
    };

public:
    // One file made ready for the table, on any thread.
    class Pending {
    public:
        quint64 deviceId() const;
        quint64 inode() const;
        quint64 fileSize() const;

    private:
        friend class ScannedFiles;
        Entry entry_;
        QString folder_;
        // The name's UTF-8 bytes.
        QByteArray name_;
        FileInfoNodePtr whole_;
    };
    // Kept compactly when the record can be made again exactly from what the
    // table keeps, else kept whole (a copy).
    static Pending prepare(const FileInfoNode& built);
    // The same when the caller has the name's UTF-8 bytes at hand already.
    static Pending prepare(const FileInfoNode& built, const QByteArray& nameUtf8);
    void add(Pending&& pending);
    void addWhole(FileInfoNodePtr record);
    // Puts pending in the item's place, in the same order.
    void replace(std::size_t item, Pending&& pending);

    // The item's full record: made anew for a compactly kept file (each call
    // makes another), the record itself for one kept whole.
    FileInfoNodePtr record(std::size_t item) const;
    // Whether every file is kept compactly.
    bool allCompact() const { return whole_.empty(); }
    // Every item's record, in order.
    std::vector<FileInfoNodePtr> records() const;
    // The same, leaving the table empty.
    std::vector<FileInfoNodePtr> takeRecords();
    // A table of the given items alone, in the order given (item i of the new
    // table is items[i] here).
    ScannedFiles subset(const std::vector<quint32>& items) const;
    // Drops the items for which drop(item) holds, keeping the others' order.
    void removeIf(const std::function<bool(std::size_t item)>& drop);

    std::size_t count() const override;
    bool hasPath(std::size_t item) const override;
    QString path(std::size_t item) const override;
    bool pathEquals(std::size_t item, QUtf8StringView path) const override;
    bool isDirectory(std::size_t item) const override;
    quint64 fileSize(std::size_t item) const override;
    quint64 deviceId(std::size_t item) const override;
    quint64 inode(std::size_t item) const override;
    FileTimestamp storedModTime(std::size_t item) const override;
    FileTimestamp changeTime(std::size_t item) const override;
    qint64 createdSeconds(std::size_t item) const override;
    void prefetch(std::size_t item) const override { __builtin_prefetch(&entries_[item]); }

private:
    // The entry of a file, its texts stored.
    Entry placed(Pending&& pending);
    Entry wholeEntry(FileInfoNodePtr record);
    struct Folder {
        QString text;
        QByteArray utf8;
    };
    const FileInfoNode* wholeRecord(std::size_t item) const;
    const char* nameData(const Entry& entry) const;
    QString nameOf(const Entry& entry) const;
    static FileInfoNodePtr expand(const Entry& entry, const QString& folder, const QString& name);

    Chunks<Entry, 12> entries_;
    // The names' UTF-8 bytes, one after the other; a name never spans two
    // chunks.
    Chunks<char, 16> names_;
    std::vector<Folder> folders_;
    QHash<QString, quint32> folderIndex_;
    std::vector<FileInfoNodePtr> whole_;
};
