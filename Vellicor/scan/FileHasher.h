#pragma once

#include <QString>

#include <array>
#include <atomic>
#include <optional>

// An MD5 digest as its 16 bytes.
using BlockDigest = std::array<quint8, 16>;

// How the comparison reads digests; the engine backs it with md5OfFile and
// md5OfPackageContents. Every digest is lower-case hexadecimal MD5 text, none
// when the item cannot be read or abort was set while reading.
//
// Called from the comparison's hashing threads, several calls at once for
// different paths, so implementations keep no unguarded state.
class FileHasher {
public:
    virtual ~FileHasher() = default;

    // The digest of the whole file.
    virtual std::optional<QString> md5OfFile(const QString& path, const std::atomic<bool>& abort) const = 0;
    // The digest of the file's first byteCount bytes (all of it when shorter).
    virtual std::optional<QString> md5OfFirstBytes(
        const QString& path, qint64 byteCount, const std::atomic<bool>& abort) const = 0;
    // The digest of a folder handled as one item (a package).
    virtual std::optional<QString> md5OfPackageContents(const QString& path, const std::atomic<bool>& abort) const = 0;
};
