#include "platform/FileDataCopy.h"

#include "base/RunAside.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
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

std::atomic<int> closing { 0 };

bool isAllZero(const char* bytes, qint64 count)
{
    return std::all_of(bytes, bytes + count, [](char byte) { return byte == 0; });
}

// The unit a run of zeros is left a hole in: a page, at the page's offsets
// in the file.
constexpr qint64 zeroPage = 4096;
// Pieces of a hole put into a digest between two looks at Stop.
constexpr int holePiecesPerAsk = 64;

const QByteArray& zeroBytes()
{
    static const QByteArray zeros(copyStep, '\0');
    return zeros;
}

// Writes count bytes to the empty file open at to from offset at, every
// page of zeros left a hole (it reads as zeros all the same). 0, or the
// errno of the write that failed.
int writeLeavingHoles(int to, const char* bytes, qint64 count, qint64 at)
{
    // The end of the page of the file that position lies in, within count.
    const auto pageEnd
        = [&](qint64 position) { return std::min(count, (at + position) / zeroPage * zeroPage + zeroPage - at); };
    for (qint64 first = 0; first < count;) {
        if (isAllZero(bytes + first, pageEnd(first) - first)) {
            first = pageEnd(first);
            continue;
        }
        qint64 last = pageEnd(first);
        while (last < count && !isAllZero(bytes + last, pageEnd(last) - last))
            last = pageEnd(last);
        for (qint64 written = first; written < last;) {
            const ssize_t now = ::pwrite(to, bytes + written, std::size_t(last - written), at + written);
            if (now < 0 && errno == EINTR)
                continue;
            if (now <= 0)
                return now < 0 ? errno : EIO;
            written += now;
        }
        first = last;
    }
    return 0;
}

// The pace a copy starts from until its disk has shown its own: a slow
// stick's.
constexpr double firstRate = 1 << 20;
// What the disk may have to write when a Stop comes, what one wait for it
// and one step of the copy take, in seconds of its pace.
constexpr double unwrittenSeconds = 0.2;
constexpr double pieceSeconds = 0.05;
constexpr double stepSeconds = 0.1;
// The shortest wait that tells the disk's pace.
constexpr double measuredSeconds = 0.02;
constexpr qint64 leastPiece = 16 * 1024;
// What one wait for the disk may take at most: a disk whose pace drops
// (a stick's cache full, a disk that begins to fail) is waited for a few
// hundred milliseconds at the most before Stop is read again.
constexpr qint64 mostPiece = 256 * 1024;

qint64 bounded(double bytes, qint64 least, qint64 most)
{
    return std::clamp(static_cast<qint64>(bytes), least, most);
}

} // namespace

WriteBackPace::WriteBackPace(int to)
    : to_(to)
    , diskRate_(firstRate)
    , stepRate_(firstRate)
{
}

qint64 WriteBackPace::window() const
{
    return bounded(diskRate_ * unwrittenSeconds, 2 * leastPiece, qint64(256) << 20);
}

qint64 WriteBackPace::piece() const
{
    return bounded(diskRate_ * pieceSeconds, leastPiece, mostPiece);
}

qint64 WriteBackPace::nextStep() const
{
    return bounded(std::min(diskRate_, stepRate_) * stepSeconds, 4 * leastPiece, copyStep);
}

void WriteBackPace::follow(double& rate, qint64 bytes, double seconds)
{
    const double measured = double(bytes) / std::max(seconds, 0.001);
    rate = std::min(measured, 2 * rate);
}

bool WriteBackPace::keepUp(qint64 end, const std::function<bool()>& stopped)
{
    return catchUp(end, stopped, window());
}

bool WriteBackPace::finish(qint64 end, const std::function<bool()>& stopped)
{
    return catchUp(end, stopped, 0);
}

bool WriteBackPace::catchUp(qint64 end, const std::function<bool()>& stopped, qint64 unwritten)
{
    using Clock = std::chrono::steady_clock;
    const auto secondsSince
        = [](Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); };
    if (stepStart_ && end > end_)
        follow(stepRate_, end - end_, secondsSince(*stepStart_));
    end_ = std::max(end_, end);
    // While the copy waits for the disk, the disk alone sets the pace: what
    // it took meanwhile, over the time, is its pace. A wait over within a
    // moment says only that it takes more.
    const auto behindSince = Clock::now();
    const qint64 writtenBefore = written_;
    while (!unpaced_ && end_ - written_ > std::min(unwritten, window())) {
        if (stopped && stopped())
            return false;
        // Handed on ahead, a window's worth, so that the disk always has
        // something to write while the copy waits for the oldest piece.
        if (handedOn_ < end_ && handedOn_ - written_ < window()) {
            const qint64 count = std::min(piece(), end_ - handedOn_);
            unpaced_ = ::sync_file_range(to_, handedOn_, count, SYNC_FILE_RANGE_WRITE) != 0;
            handedOn_ += count;
            continue;
        }
        const qint64 count = std::min(piece(), handedOn_ - written_);
        unpaced_ = ::sync_file_range(to_, written_, count,
                       SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER)
            != 0;
        written_ += count;
        const double behind = secondsSince(behindSince);
        if (behind >= measuredSeconds)
            follow(diskRate_, written_ - writtenBefore, behind);
    }
    if (written_ > writtenBefore && secondsSince(behindSince) < measuredSeconds)
        diskRate_ *= 2;
    stepStart_ = Clock::now();
    return !(stopped && stopped());
}

DataCopyEnd copyFileData(int from, int to, qint64 length, const std::function<bool(qint64 copied)>& keepGoing,
    WriteBackPace* pace, QCryptographicHash* digest)
{
    DataCopyEnd end;
    end.length = length;
    QByteArray block;
    qint64 copied = 0;
    const auto stopped = [&] { return keepGoing && !keepGoing(copied); };
    // The digest's bytes so far: the holes before offset go in as the zeros
    // they read as. Stop is read between pieces of a long hole.
    qint64 digested = 0;
    const auto digestUpTo = [&](qint64 offset) {
        for (int piece = 1; digest && digested < offset; ++piece) {
            const qint64 count = std::min(copyStep, offset - digested);
            digest->addData(QByteArrayView(zeroBytes().constData(), count));
            digested += count;
            if (piece % holePiecesPerAsk == 0 && stopped())
                return false;
        }
        return true;
    };
    for (auto run = nextDataRun(from, 0, length); run; run = nextDataRun(from, run->second, end.length)) {
        for (qint64 at = run->first; at < run->second;) {
            if (!digestUpTo(at) || (pace ? !pace->keepUp(at, stopped) : stopped())) {
                end.stopped = true;
                return end;
            }
            const qint64 step = std::min(pace ? pace->nextStep() : copyStep, run->second - at);
            if (block.isEmpty())
                block.resize(copyStep);
            const qint64 got = ::pread(from, block.data(), std::size_t(step), at);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                end.error = errno;
                end.reading = true;
                return end;
            }
            if (got == 0) {
                // The file shrank: its data ends here.
                end.length = at;
                run->second = at;
                break;
            }
            // What goes into the digest is what is written, from this very
            // buffer.
            if (digest) {
                digest->addData(QByteArrayView(block.constData(), got));
                digested += got;
            }
            if (const int error = writeLeavingHoles(to, block.constData(), got, at); error != 0) {
                end.error = error;
                return end;
            }
            at += got;
            copied += got;
        }
    }
    if (!digestUpTo(end.length)) {
        end.stopped = true;
        return end;
    }
    // All of it on the disk, Stop read between its pieces: the last flush
    // waits for no data however the disk's pace dropped.
    if (pace && !pace->finish(end.length, stopped)) {
        end.stopped = true;
        return end;
    }
    // Holes were not written: the copy gets its length.
    if (::ftruncate(to, end.length) != 0)
        end.error = errno;
    return end;
}

void letGoOfGivenUpCopy(int fd)
{
    if (fd < 0)
        return;
    if (runAside(closing, [fd] { ::close(fd); }))
        ::close(fd);
}

int givenUpCopiesClosing()
{
    return closing.load();
}
