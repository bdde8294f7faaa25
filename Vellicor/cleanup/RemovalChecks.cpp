#include "cleanup/RemovalChecks.h"

#include "core/FileUtilities.h"
#include "platform/FileRemover.h"
#include "platform/FileSystemInfo.h"

#include <cerrno>
#include <cstring>
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

// Fills buffer from fd as far as the file goes; -1 on a read error (also
// for a file that could not be opened, fd -1).
ssize_t fill(int fd, char* buffer, size_t size)
{
    size_t filled = 0;
    while (filled < size) {
        const ssize_t step = ::read(fd, buffer + filled, size - filled);
        if (step < 0 && errno == EINTR)
            continue;
        if (step < 0)
            return -1;
        if (step == 0)
            break;
        filled += static_cast<size_t>(step);
    }
    return static_cast<ssize_t>(filled);
}

enum class Contents { same, different, stopped };

Contents compareContents(const QString& one, const QString& other, const std::atomic<bool>& abort)
{
    constexpr size_t chunk = 1 << 20;
    const OpenedFile first = openRegularFile(one, LinkFollowing::refuse);
    const OpenedFile second = openRegularFile(other, LinkFollowing::refuse);
    std::vector<char> left(chunk);
    std::vector<char> right(chunk);
    for (;;) {
        if (abort.load())
            return Contents::stopped;
        const ssize_t got = fill(first.fd.get(), left.data(), chunk);
        if (got < 0 || fill(second.fd.get(), right.data(), chunk) != got
            || std::memcmp(left.data(), right.data(), static_cast<size_t>(got)) != 0)
            return Contents::different;
        if (static_cast<size_t>(got) < chunk)
            return Contents::same;
    }
}

RemovalCheck refused(const QString& reason)
{
    RemovalCheck check;
    check.refusal = reason;
    return check;
}

} // namespace

RemovalCheck checkBeforeRemoval(const PlannedRemoval& item, FileRemover& files, const std::atomic<bool>& abort)
{
    const ScannedFile& scanned = item.scanned;
    if (scanned.path.isEmpty())
        return refused(QStringLiteral("it has no path"));
    errno = 0;
    const auto status = files.examine(scanned.path);
    if (!status)
        return refused(errno == ENOENT
                ? QStringLiteral("it is no longer there")
                : QStringLiteral("it cannot be examined: %1").arg(errnoText(errno)));
    if (!status->regular)
        return refused(QStringLiteral("it is no longer a regular file"));
    if (!sameIdentity(scanned, *status))
        return refused(QStringLiteral("another file has taken its place since the scan"));
    if (!asScanned(scanned, *status))
        return refused(QStringLiteral("it has changed since the scan"));
    if (item.isLocked || isFileImmutable(scanned.path))
        return refused(QStringLiteral("it is locked"));
    static const std::vector<ScannedFile> none;
    for (const ScannedFile& kept : item.keptCopies ? *item.keptCopies : none) {
        const auto now = files.examine(kept.path);
        if (!now || !now->regular || (now->device == status->device && now->inode == status->inode))
            continue;
        if (sameIdentity(kept, *now) && asScanned(kept, *now))
            return { std::nullopt, kept.path, *now };
        // Changed in place or replaced since the scan: only its content can
        // still vouch for the file.
        if (now->size != status->size)
            continue;
        const Contents contents = compareContents(scanned.path, kept.path, abort);
        if (contents == Contents::stopped)
            return refused(QStringLiteral("the clean-up was stopped while its kept copy was compared"));
        if (contents == Contents::same && files.examine(kept.path) == now)
            return { std::nullopt, kept.path, *now };
    }
    return refused(QStringLiteral("no other copy of it is left on disk"));
}

std::optional<QString> keptCopyStillThere(const RemovalCheck& check, FileRemover& files)
{
    const auto now = files.examine(check.keptPath);
    if (!now)
        return QStringLiteral("its kept copy %1 went with it: both paths lead to one file").arg(check.keptPath);
    if (*now != check.keptFacts)
        return QStringLiteral("its kept copy %1 changed when it was moved: both paths may lead to one file")
            .arg(check.keptPath);
    return std::nullopt;
}
