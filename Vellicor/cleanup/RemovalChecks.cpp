#include "cleanup/RemovalChecks.h"

#include "platform/FileSystemInfo.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

std::optional<struct stat> lstatOf(const QString& path)
{
    struct stat status { };
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

bool sameTime(const FileTimestamp& scanned, const struct timespec& now)
{
    return scanned.seconds == now.tv_sec && scanned.nanoseconds == static_cast<quint32>(now.tv_nsec);
}

// The size and modification time the scan saw; the exact time when the scan
// kept it, whole seconds otherwise.
bool unchangedContent(const ScannedFile& scanned, const struct stat& status)
{
    if (static_cast<quint64>(status.st_size) != scanned.fileSize)
        return false;
    if (scanned.modTime != FileTimestamp {})
        return sameTime(scanned.modTime, status.st_mtim);
    return scanned.modSeconds == 0 || scanned.modSeconds == status.st_mtim.tv_sec;
}

bool sameIdentity(const ScannedFile& scanned, const struct stat& status)
{
    if (scanned.deviceId == 0 && scanned.inode == 0)
        return true;
    return scanned.deviceId == status.st_dev && scanned.inode == status.st_ino;
}

bool isUsableKeptCopy(const ScannedFile& kept, const struct stat& removed)
{
    const auto status = lstatOf(kept.path);
    return status && S_ISREG(status->st_mode) && (status->st_dev != removed.st_dev || status->st_ino != removed.st_ino)
        && sameIdentity(kept, *status) && unchangedContent(kept, *status);
}

} // namespace

std::optional<QString> checkBeforeRemoval(const PlannedRemoval& item)
{
    const ScannedFile& scanned = item.scanned;
    if (scanned.path.isEmpty())
        return QStringLiteral("it has no path");
    errno = 0;
    const auto status = lstatOf(scanned.path);
    if (!status)
        return errno == ENOENT
            ? QStringLiteral("it is no longer there")
            : QStringLiteral("it cannot be examined: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(status->st_mode))
        return QStringLiteral("it is no longer a regular file");
    if (!sameIdentity(scanned, *status))
        return QStringLiteral("another file has taken its place since the scan");
    if (!unchangedContent(scanned, *status)
        || (scanned.changeTime != FileTimestamp {} && !sameTime(scanned.changeTime, status->st_ctim)))
        return QStringLiteral("it has changed since the scan");
    if (item.isLocked || isFileImmutable(scanned.path))
        return QStringLiteral("it is locked");
    for (const ScannedFile& kept : item.keptCopies) {
        if (isUsableKeptCopy(kept, *status))
            return std::nullopt;
    }
    return QStringLiteral("no other copy of it is left on disk");
}
