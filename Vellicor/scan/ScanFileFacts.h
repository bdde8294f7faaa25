#pragma once

#include "core/FileInfoNode.h"

#include <QByteArray>
#include <QString>
#include <QUtf8StringView>

#include <cstddef>
#include <vector>

// What the digest reads and the digest cache need to know of the files of one
// scan, each file named by its place in the scan's list (its item). The scan
// keeps its files either as full records or, for a walk of this computer, in a
// compact table until the comparison tells which of them can be duplicates;
// both answer through this. Read from several threads at once: nothing here
// changes what it answers.
class ScanFileFacts {
public:
    virtual ~ScanFileFacts() = default;

    virtual std::size_t count() const = 0;
    // Whether the item has a path at all (a cloud file may not).
    virtual bool hasPath(std::size_t item) const = 0;
    virtual QString path(std::size_t item) const = 0;
    // Whether the item's path is exactly path.
    virtual bool pathEquals(std::size_t item, QUtf8StringView path) const = 0;
    // A folder handled as one item.
    virtual bool isDirectory(std::size_t item) const = 0;
    virtual quint64 fileSize(std::size_t item) const = 0;
    // As stat(2) gives it.
    virtual quint64 deviceId(std::size_t item) const = 0;
    virtual quint64 inode(std::size_t item) const = 0;
    // The modification time as the cache keeps it: exact where the walk read
    // it, else the whole seconds of the file's date.
    virtual FileTimestamp storedModTime(std::size_t item) const = 0;
    virtual FileTimestamp changeTime(std::size_t item) const = 0;
    // The creation date in whole seconds since 1970; 0 without one.
    virtual qint64 createdSeconds(std::size_t item) const = 0;
    // Starts fetching from memory what the answers about the item read, for
    // a caller that takes files up in an order of its own.
    virtual void prefetch(std::size_t) const { }
};

// The facts of one full record.
bool recordPathEquals(const FileInfoNode& record, QUtf8StringView path);
FileTimestamp recordStoredModTime(const FileInfoNode& record);
qint64 recordCreatedSeconds(const FileInfoNode& record);

// The facts of full records, read from a list the caller keeps alive.
class RecordFileFacts : public ScanFileFacts {
public:
    explicit RecordFileFacts(const std::vector<FileInfoNodePtr>& records)
        : records_(records)
    {
    }
    const FileInfoNode& record(std::size_t item) const { return *records_[item]; }

    std::size_t count() const override { return records_.size(); }
    bool hasPath(std::size_t item) const override { return record(item).filePath.has_value(); }
    QString path(std::size_t item) const override { return record(item).filePath.value_or(QString()); }
    bool pathEquals(std::size_t item, QUtf8StringView path) const override
    {
        return recordPathEquals(record(item), path);
    }
    bool isDirectory(std::size_t item) const override { return record(item).isDirectory; }
    quint64 fileSize(std::size_t item) const override { return record(item).fileSize; }
    quint64 deviceId(std::size_t item) const override { return record(item).deviceId; }
    quint64 inode(std::size_t item) const override { return record(item).inode; }
    FileTimestamp storedModTime(std::size_t item) const override { return recordStoredModTime(record(item)); }
    FileTimestamp changeTime(std::size_t item) const override { return record(item).changeTime; }
    qint64 createdSeconds(std::size_t item) const override { return recordCreatedSeconds(record(item)); }
    void prefetch(std::size_t item) const override { __builtin_prefetch(&record(item)); }

private:
    const std::vector<FileInfoNodePtr>& records_;
};
