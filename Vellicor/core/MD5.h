#pragma once

#include <QString>

#include <atomic>
#include <cstddef>
#include <optional>

// MD5 digests of file contents, as 32 lower-case hexadecimal digits: the form
// in which the scan compares digests and the hash cache stores them. Safe on
// any thread; every call keeps its state in locals.

// Bytes asked of the kernel per read. Memory stays flat for files of any size.
inline constexpr std::size_t md5ReadChunkSize = 256 * 1024;

// The digest of the whole file. Absent when the file is not a regular file or
// cannot be opened (one "Cannot open file:" line goes to the log), when a read
// fails before the end (one "Cannot read file:" line; never a digest of part
// of the file), or when stop is set: it is read before every chunk, so Stop
// cuts a large file short, and a call made after Stop opens nothing.
std::optional<QString> md5OfFile(const QString& path, const std::atomic<bool>& stop);

// The digest of the whole regular file open at fd, read from its start
// whatever the descriptor's offset, with the same rules; path names it in
// the log.
std::optional<QString> md5OfOpenFile(int fd, const QString& path, const std::atomic<bool>& stop);

// The digest of the first byteCount bytes (of the whole file when it is
// shorter), with the same rules. Two files whose first bytes differ cannot be
// equal, which this tells without reading either to its end.
std::optional<QString> md5OfFileHead(const QString& path, quint64 byteCount, const std::atomic<bool>& stop);

// The digest of the first byteCount bytes (the whole file for the largest
// value), read only from the page cache: when a byte would have to come from
// the disk, cached is false and there is no digest, without waiting and
// without a log line. Otherwise the rules of md5OfFileHead.
std::optional<QString> md5OfCachedBytes(
    const QString& path, quint64 byteCount, const std::atomic<bool>& stop, bool& cached);

// Whether the crypto library gives MD5 at all: a set-up restricted to approved
// algorithms refuses it, and every digest would then be absent. Asked once;
// any thread.
bool md5Usable();
