#pragma once

#include "scan/ScanFileFacts.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
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
        QString path() const;

    private:
        friend class ScannedFiles;
        Entry entry_;
        QString folder_;
        QString name_;
        FileInfoNodePtr whole_;
    };
    // Kept compactly when the record can be made again exactly from what the
    // table keeps, else kept whole (a copy).
    static Pending prepare(const FileInfoNode& built);
    void add(Pending&& pending);
    void addWhole(FileInfoNodePtr record);
    // Frees the room kept for more files.
    void shrink();

    // The item's full record: made anew for a compactly kept file (each call
    // makes another), the record itself for one kept whole.
    FileInfoNodePtr record(std::size_t item) const;
    // Whether every file is kept compactly.
    bool allCompact() const { return whole_.empty(); }
    // Every item's record, in order; the table is left empty.
    std::vector<FileInfoNodePtr> takeRecords();
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

private:
    struct Folder {
        QString text;
        QByteArray utf8;
    };
    const FileInfoNode* wholeRecord(std::size_t item) const;
    QString nameOf(const Entry& entry) const;
    static FileInfoNodePtr expand(const Entry& entry, const QString& folder, const QString& name);

    std::vector<Entry> entries_;
    // The names' UTF-8 bytes, one after the other.
    std::vector<char> names_;
    std::vector<Folder> folders_;
    QHash<QString, quint32> folderIndex_;
    std::vector<FileInfoNodePtr> whole_;
};
