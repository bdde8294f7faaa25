#pragma once

#include "scan/FileHasher.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <mutex>

// An MD5 hasher over QCryptographicHash (packages by the scan's own digest)
// that remembers what it was asked to
// read, so tests can tell which files were read in full. Safe to call from
// several threads at once, as the comparison does.
class TestHasher : public FileHasher {
public:
    std::optional<QString> md5OfFile(const QString& path, const std::atomic<bool>& abort) const override;
    std::optional<QString> md5OfFirstBytes(
        const QString& path, qint64 byteCount, const std::atomic<bool>& abort) const override;
    std::optional<QString> md5OfPackageContents(const QString& path, const std::atomic<bool>& abort) const override;

    // Paths read in full (files) or as packages, in no particular order.
    QStringList fullReads() const;
    int fullReadCount() const { return int(fullReads().size()); }
    // Paths whose first block was read, likewise.
    QStringList headReads() const;

    // Runs before every full read, with the path; a test uses it to press Stop.
    std::function<void(const QString&)> beforeFullRead;

private:
    mutable std::mutex mutex_;
    mutable QStringList fullReads_;
    mutable QStringList headReads_;
};

// Lower-case hexadecimal MD5 of bytes.
QString md5Hex(const QByteArray& bytes);
