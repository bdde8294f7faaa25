#include "cleanup/RemovalChecks.h"

#include "platform/FileRemover.h"
#include "platform/FileSystemInfo.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The size and times the scan saw: exact times when the scan kept them,
// whole seconds of the modification time otherwise.
bool asScanned(const ScannedFile& scanned, const FileFacts& now)
{
    if (now.size != scanned.fileSize)
        return false;
    if (scanned.changeTime != FileTimestamp {} && scanned.changeTime != now.changeTime)
        return false;
    if (scanned.modTime != FileTimestamp {})
        return scanned.modTime == now.modTime;
    return scanned.modSeconds == 0 || scanned.modSeconds == now.modTime.seconds;
}

bool sameIdentity(const ScannedFile& scanned, const FileFacts& now)
{
    if (scanned.deviceId == 0 && scanned.inode == 0)
        return true;
    return scanned.deviceId == now.device && scanned.inode == now.inode;
}

// Bytes of each file read per turn: long runs, so that a spinning disk seeks
// seldom between the two files; read a piece at a time, Stop read before
// each piece.
constexpr quint64 turnBytes = 8 << 20;
constexpr quint64 pieceBytes = 1 << 20;

enum class Read { complete, shortOrFailed, stopped };

// Reads count bytes of file from offset a piece at a time; afterPiece runs
// with the bytes read so far after each one.
Read readPieces(FileRemover& files, const HeldFile& file, char* buffer, quint64 count, quint64 offset,
    const std::atomic<bool>& abort, const std::function<void(quint64 done)>& afterPiece)
{
    for (quint64 done = 0; done < count;) {
        if (abort.load())
            return Read::stopped;
        const quint64 want = std::min(pieceBytes, count - done);
        const ssize_t got = files.readAt(file, buffer + done, want, offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return Read::shortOrFailed;
        done += static_cast<quint64>(got);
        afterPiece(done);
    }
    return Read::complete;
}

bool endsAt(FileRemover& files, const HeldFile& file, quint64 size)
{
    char beyond = 0;
    ssize_t got = 0;
    do
        got = files.readAt(file, &beyond, 1, size);
    while (got < 0 && errno == EINTR);
    return got == 0;
}

// Whether the open file kept its size and times since before.
bool unchangedSince(const FileFacts& before, int fd)
{
    const auto now = factsAt(fd, QByteArray(""), AT_EMPTY_PATH);
    return now && now->size == before.size && now->modTime == before.modTime && now->changeTime == before.changeTime;
}

// Bytes read at each end of a kept copy to prove it is still there.
constexpr quint64 endBytes = 64 << 10;

// Whether count bytes from offset read the same through both files.
bool sameBytes(FileRemover& files, const HeldFile& one, const HeldFile& other, quint64 offset, quint64 count)
{
    static const std::atomic<bool> never { false };
    std::vector<char> left(count);
    std::vector<char> right(count);
    const auto whole = [](quint64) {};
    return readPieces(files, one, left.data(), count, offset, never, whole) == Read::complete
        && readPieces(files, other, right.data(), count, offset, never, whole) == Read::complete && left == right;
}

// Whether one reads as other does at its start and its end, and ends at
// size: a file that is there serves its bytes, where an open answered from
// what a file system remembers of a file that went would not.
bool sameAtBothEnds(FileRemover& files, const HeldFile& one, const HeldFile& other, quint64 size)
{
    const quint64 head = std::min(endBytes, size);
    const quint64 tail = std::min(endBytes, size - head);
    return sameBytes(files, one, other, 0, head) && sameBytes(files, one, other, size - tail, tail)
        && endsAt(files, one, size);
}

// A kept copy as its group names it: the regular file at its path, or the one
// a link there leads to, which is what keeps the bytes. Held under the path
// the user knows; lastIsLink tells which it was.
HeldFile holdKeptCopy(FileRemover& files, const QString& path, bool* lastIsLink = nullptr)
{
    HeldFile copy = files.hold(path, FolderLinks::resolvedFirst);
    struct stat own { };
    const QByteArray encoded = QFile::encodeName(path);
    if (copy.isHeld() || ::lstat(encoded.constData(), &own) != 0 || !S_ISLNK(own.st_mode))
        return copy;
    char* real = ::realpath(encoded.constData(), nullptr);
    if (!real) {
        copy.error = errno;
        copy.refusal = pathRefusal(errno);
        return copy;
    }
    HeldFile target = files.hold(QFile::decodeName(real), FolderLinks::resolvedFirst);
    ::free(real);
    target.path = path;
    if (lastIsLink)
        *lastIsLink = true;
    return target;
}

RemovalCheck refused(const QString& reason)
{
    RemovalCheck check;
    check.refusal = reason;
    return check;
}

} // namespace

ContentComparison::Result ContentComparison::compare(const HeldFile& one, const HeldFile& other, quint64 size,
    FileRemover& files, const std::atomic<bool>& abort, const ComparedBytes& compared, QString* md5)
{
    std::optional<QCryptographicHash> digest;
    if (md5)
        digest.emplace(QCryptographicHash::Md5);
    const quint64 turn = std::min(turnBytes, size);
    if (left_.size() < turn) {
        left_.resize(turn);
        right_.resize(turn);
    }
    ::posix_fadvise(one.fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    ::posix_fadvise(other.fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    for (quint64 done = 0; done < size;) {
        const quint64 count = std::min(turn, size - done);
        // Both files' bytes read so far, before this turn's.
        quint64 read = 2 * done;
        for (const auto& [file, buffer] : { std::pair { &one, left_.data() }, std::pair { &other, right_.data() } }) {
            const Read result = readPieces(files, *file, buffer, count, done, abort, [&](quint64 got) {
                if (compared)
                    compared((read + got) / 2);
            });
            if (result != Read::complete)
                return result == Read::stopped ? Result::stopped : Result::different;
            read += count;
        }
        if (std::memcmp(left_.data(), right_.data(), count) != 0)
            return Result::different;
        if (digest)
            digest->addData(QByteArrayView(left_.data(), qsizetype(count)));
        done += count;
    }
    if (!endsAt(files, one, size) || !endsAt(files, other, size))
        return Result::different;
    if (digest)
        *md5 = QString::fromLatin1(digest->result().toHex());
    return Result::same;
}

RemovalCheck checkBeforeRemoval(const PlannedRemoval& item, FileRemover& files, ContentComparison& contents,
    const std::atomic<bool>& abort, const ComparedBytes& compared)
{
    const ScannedFile& scanned = item.scanned;
    RemovalCheck check;
    if (scanned.path.isEmpty())
        return refused(QStringLiteral("it has no path"));
    // The scan's device and inode tell the file wherever the links of its
    // path lead now; without them, only a path without links is trusted.
    const bool knownByIdentity = scanned.deviceId != 0 || scanned.inode != 0;
    check.file = files.hold(scanned.path, knownByIdentity ? FolderLinks::resolvedFirst : FolderLinks::refused);
    if (!check.file.isHeld())
        return refused(check.file.refusal);
    const FileFacts& status = check.file.facts;
    if (!sameIdentity(scanned, status))
        return refused(QStringLiteral("another file has taken its place since the scan"));
    // Locking a file changes its change time: a lock is told as what it is.
    if (item.isLocked || isFileImmutable(scanned.path))
        return refused(QStringLiteral("it is locked"));
    if (!asScanned(scanned, status))
        return refused(QStringLiteral("it has changed since the scan"));
    static const std::vector<ScannedFile> none;
    // Why no copy vouched, when a kept copy is this very file.
    std::optional<QString> keptIsThisFile;
    for (const ScannedFile& kept : item.keptCopies ? *item.keptCopies : none) {
        // Whatever the times say, a kept copy vouches only with the file's
        // bytes, as both are now.
        bool lastIsLink = false;
        HeldFile copy = holdKeptCopy(files, kept.path, &lastIsLink);
        if (!copy.isHeld())
            continue;
        if (copy.facts.sameFileAs(status)) {
            if (!keptIsThisFile)
                keptIsThisFile = (lastIsLink ? QStringLiteral("its kept copy %1 is a link to this very file")
                                             : QStringLiteral("its kept copy %1 is this very file by another path"))
                                     .arg(kept.path);
            continue;
        }
        if (copy.facts.size != status.size)
            continue;
        const auto result = contents.compare(
            check.file, copy, status.size, files, abort, compared, item.md5.isEmpty() ? &check.md5 : nullptr);
        if (result == ContentComparison::Result::stopped)
            return refused(QStringLiteral("the clean-up was stopped while its kept copy was compared"));
        if (result == ContentComparison::Result::different)
            continue;
        if (!unchangedSince(status, check.file.fd.get()))
            return refused(QStringLiteral("it changed while it was compared with its kept copy"));
        if (!unchangedSince(copy.facts, copy.fd.get()))
            continue;
        check.kept = std::move(copy);
        return check;
    }
    return refused(keptIsThisFile.value_or(QStringLiteral("no other copy of it is left on disk")));
}

std::optional<QString> keptCopyStillThere(const RemovalCheck& check, FileRemover& files)
{
    // Not its status: the attribute and name caches of a FUSE or network
    // mount keep answering with the facts the checks saw for a while after
    // the file went. Opening its path again goes to the file system itself
    // (the FUSE program, the server), which finds the entry as it is now, and
    // what that new descriptor reads must be what the checks' own one reads:
    // the descriptors held since read a file wherever it was moved, so they
    // prove nothing alone (nor does the moved file, whose bytes are the same).
    const QString& path = check.kept.path;
    const HeldFile now = holdKeptCopy(files, path);
    if (!now.isHeld() && now.error == ENOENT)
        return QStringLiteral("its kept copy %1 went with it: both paths lead to one file").arg(path);
    if (!now.isHeld())
        return QStringLiteral("its kept copy %1 could not be opened again after the move (%2): both paths may lead "
                              "to one file")
            .arg(path, now.refusal);
    if (now.facts != check.kept.facts || !sameAtBothEnds(files, now, check.kept, now.facts.size))
        return QStringLiteral("its kept copy %1 changed when it was moved: both paths may lead to one file").arg(path);
    return std::nullopt;
}
