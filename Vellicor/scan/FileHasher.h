#pragma once

#include "platform/FileSystemInfo.h"

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
    // The digest of the file's first byteCount bytes, or of all of it for a
    // negative count, when every byte wanted of its size bytes is in the page
    // cache; otherwise nothing, with cached false, and the disk left alone.
    virtual std::optional<QString> md5IfCached(
        const QString& path, qint64 byteCount, quint64 size, const std::atomic<bool>& abort, bool& cached) const
    {
        cached = isInPageCache(path, byteCount < 0 ? size : std::min(quint64(byteCount), size));
        if (!cached)
            return std::nullopt;
        return byteCount < 0 ? md5OfFile(path, abort) : md5OfFirstBytes(path, byteCount, abort);
    }
};
