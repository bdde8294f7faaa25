#pragma once

#include "platform/FileSystemInfo.h"
#include "scan/ScanFileFacts.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

// Whether a digest read during one scan may be kept for the next: the file's
// own times must prove it could not change after the read. Made when the
// scan's reads begin. Asked from the scan's thread while its files are
// recorded and from the cache's writer thread while it writes; locked.
class DigestProof {
public:
    explicit DigestProof(const FileTimeFacts& timeFacts);

    // Whether the file system of a file stamps a change time of its own,
    // asked once per device; none when the file cannot be examined (gone
    // since the walk), which answers for that file only.
    std::optional<bool> keepsOwnChangeTime(const ScanFileFacts& files, std::size_t item);
    // Whether a digest of the file read during this scan holds for as long as
    // its change time stays as it is.
    bool proves(const ScanFileFacts& files, std::size_t item);

private:
    const FileTimeFacts& timeFacts_;
    // No digest judged here was read before this moment.
    const FileTimestamp readsBegan_;
    std::mutex mutex_;
    std::vector<std::pair<quint64, bool>> devices_;
};
