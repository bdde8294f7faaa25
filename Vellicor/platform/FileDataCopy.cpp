#include "platform/FileDataCopy.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <unistd.h>
#include <utility>

namespace {

// Bytes copied per step; keepGoing is asked between steps.
constexpr qint64 copyStep = 1024 * 1024;

// The next run of data in fd at or after offset, as [first, second) within
// length; none when only a hole is left. A file system that cannot tell its
// holes shows the whole rest as data.
std::optional<std::pair<qint64, qint64>> nextDataRun(int fd, qint64 offset, qint64 length)
{
    if (offset >= length)
        return std::nullopt;
    const off_t start = ::lseek(fd, offset, SEEK_DATA);
    if (start < 0)
        return errno == ENXIO ? std::nullopt : std::optional(std::pair<qint64, qint64>(offset, length));
    if (start >= length)
        return std::nullopt;
    const off_t end = ::lseek(fd, start, SEEK_HOLE);
    return std::pair<qint64, qint64>(start, end < 0 || end > length ? length : qint64(end));
}

bool isAllZero(const char* bytes, qint64 count)
{
    return std::all_of(bytes, bytes + count, [](char byte) { return byte == 0; });
}

// Whether copy_file_range failed only because it cannot copy between these
// two files (other volumes, a file system without it), so that reading and
// writing them can.
bool kernelCannotCopy(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF
        || error == ETXTBSY;
}

} // namespace

DataCopyEnd copyFileData(int from, int to, qint64 length, const std::function<bool(qint64 copied)>& keepGoing)
{
    DataCopyEnd end;
    end.length = length;
    bool byKernel = true;
    QByteArray block;
    qint64 copied = 0;
    for (auto run = nextDataRun(from, 0, length); run; run = nextDataRun(from, run->second, end.length)) {
        for (qint64 at = run->first; at < run->second;) {
            if (keepGoing && !keepGoing(copied)) {
                end.stopped = true;
                return end;
            }
            const qint64 step = std::min(copyStep, run->second - at);
            qint64 got = 0;
            if (byKernel) {
                loff_t in = at;
                loff_t out = at;
                got = ::copy_file_range(from, &in, to, &out, std::size_t(step), 0);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0 && kernelCannotCopy(errno)) {
                    byKernel = false;
                    continue;
                }
                if (got < 0) {
                    // Out of room, or the disk failed: on which side, the
                    // kernel does not say; a full disk is the target's.
                    end.error = errno;
                    end.reading = errno != ENOSPC && errno != EDQUOT && errno != EFBIG;
                    return end;
                }
            } else {
                if (block.isEmpty())
                    block.resize(copyStep);
                got = ::pread(from, block.data(), std::size_t(step), at);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0) {
                    end.error = errno;
                    end.reading = true;
                    return end;
                }
                // A run of zeros stays a hole.
                const bool zeros = isAllZero(block.constData(), got);
                for (qint64 written = 0; written < got && !zeros;) {
                    const ssize_t now = ::pwrite(to, block.constData() + written, std::size_t(got - written), at + written);
                    if (now < 0 && errno == EINTR)
                        continue;
                    if (now <= 0) {
                        end.error = now < 0 ? errno : EIO;
                        return end;
                    }
                    written += now;
                }
            }
            if (got == 0) {
                // The file shrank: its data ends here.
                end.length = at;
                run->second = at;
                break;
            }
            at += got;
            copied += got;
        }
    }
    // Holes were not written: the copy gets its length.
    if (::ftruncate(to, end.length) != 0)
        end.error = errno;
    return end;
}
