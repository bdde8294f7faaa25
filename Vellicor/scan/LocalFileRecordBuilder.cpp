#include "scan/LocalFileRecordBuilder.h"

#include "core/FileCategories.h"
#include "core/FileUtilities.h"
#include "platform/FileSystemInfo.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

QDateTime fromTimestamp(const statx_timestamp& t)
{
    return dateOfFileTime(t.tv_sec, t.tv_nsec);
}

constexpr unsigned attributeMask
    = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_CTIME | STATX_BTIME | STATX_INO | STATX_MNT_ID;

// The attributes of the item itself, or of a link's target when the item is a
// link to a regular file; isLink tells which. own, when given, holds the
// item's own attributes already.
bool readAttributes(const QString& path, const struct statx* own, struct statx& st, bool& isLink)
{
    if (own)
        st = *own;
    else if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, attributeMask, &st) != 0)
        return false;
    isLink = S_ISLNK(st.stx_mode);
    if (isLink) {
        if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, attributeMask, &st) != 0)
            return false;
        return S_ISREG(st.stx_mode);
    }
    return S_ISREG(st.stx_mode) || S_ISDIR(st.stx_mode);
}

} // namespace

QString sharedExtension(const QString& extension)
{
    thread_local QHash<QString, QString> known;
    if (const auto found = known.constFind(extension); found != known.constEnd())
        return *found;
    if (known.size() < 4096)
        known.insert(extension, extension);
    return extension;
}

static bool buildRecord(FileInfoNode& record, const QString& filePath, const QString& fileName,
    const ScanSettingsSnapshot& settings, const struct statx* own, const QString* folderPath);

QDateTime dateOfFileTime(qint64 seconds, qint64 nanoseconds)
{
    // Some file systems keep times far beyond what milliseconds in 64 bits can
    // count; those stay at the end of the range instead of wrapping round.
    constexpr qint64 limit = std::numeric_limits<qint64>::max() / 1000 - 1;
    const qint64 clamped = std::clamp(seconds, -limit, limit);
    return QDateTime::fromMSecsSinceEpoch(clamped * 1000 + nanoseconds / 1000000, Qt::UTC);
}

QString pathExtensionOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QStringView name = QStringView(path).mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return QString();
    return name.mid(dot + 1).toString().toLower();
}

bool makeLocalFileInfoNode(
    FileInfoNode& record, const QString& filePath, const QString& fileName, const ScanSettingsSnapshot& settings)
{
    return buildRecord(record, filePath, fileName, settings, nullptr, nullptr);
}

bool makeLocalFileInfoNode(FileInfoNode& record, const QString& filePath, const QString& fileName,
    const ScanSettingsSnapshot& settings, const struct statx& ownAttributes, const QString& folderPath)
{
    return buildRecord(record, filePath, fileName, settings, &ownAttributes, &folderPath);
}

bool buildRecord(FileInfoNode& record, const QString& filePath, const QString& fileName,
    const ScanSettingsSnapshot& settings, const struct statx* own, const QString* folderPath)
{
    using Category = GlobalObjects::FileCategory;

    record.setArrForSubPathMd5(QStringList());
    record.isMd5Calucaluted = false;
    if (folderPath) {
        record.folderPath = *folderPath;
    } else {
        QString folder = filePath;
        const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
        folder.truncate(slash > 0 ? slash : (slash == 0 ? 1 : 0));
        record.folderPath = folder;
    }
    // The path, name and folder share their texts: per file only the name
    // is kept.
    record.filePath.assign(filePath, record.folderPath, fileName);
    record.fileName = record.filePath.lastComponent() == fileName ? record.filePath.lastComponent() : fileName;

    struct statx st { };
    bool isLink = false;
    if (!readAttributes(filePath, own, st, isLink))
        return false;
    // The item's own attributes answer without opening it where the file
    // system reports the attribute; a link itself is never locked.
    if (isLink) {
        record.isLocked = false;
    } else if (const std::optional<bool> immutable = immutableAttributeOf(st)) {
        record.isLocked = *immutable;
    } else {
        record.isLocked = isFileImmutable(filePath);
    }
    record.isLockedOnDisk = record.isLocked;
    // As stat(2) gives it: the removal checks and the walk compare it with st_dev.
    record.deviceId = makedev(st.stx_dev_major, st.stx_dev_minor);
    record.inode = st.stx_ino;

    record.isDirectory = S_ISDIR(st.stx_mode);
    record.fileSize = record.isDirectory ? folderSizeOfPath(QFile::encodeName(filePath).constData()) : st.stx_size;

    if (!settings.scanAnyFileSize
        && (record.fileSize < settings.minimumFileSizeBytes || record.fileSize > settings.maximumFileSizeBytes))
        return false;

    if (st.stx_mask & STATX_MTIME) {
        record.modDate = fromTimestamp(st.stx_mtime);
        record.modTime = { st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec };
    }
    if (st.stx_mask & STATX_CTIME)
        record.changeTime = { st.stx_ctime.tv_sec, st.stx_ctime.tv_nsec };
    // Not every file system keeps a birth time; without one the file has no
    // creation date rather than a made-up one.
    if ((st.stx_mask & STATX_BTIME) && st.stx_btime.tv_sec != 0)
        record.createDate = fromTimestamp(st.stx_btime);

    if (settings.dateFilterOption == 3) {
        if (record.modDate && settings.modifiedDateFilter.isValid() && settings.modifiedDateFilter < *record.modDate)
            return false;
    } else if (settings.dateFilterOption == 2) {
        if (record.createDate && settings.createdDateFilter.isValid()
            && settings.createdDateFilter > *record.createDate)
            return false;
    }

    record.state = 0;
    record.fileExtension = sharedExtension(pathExtensionOf(filePath));

    const ExtensionVerdict verdict = categorizeExtension(record.fileExtension, settings);
    record.fileCategory = verdict.category;
    if (!verdict.taken)
        return false;

    if (record.fileCategory == Category::Pic)
        record.isRawFormat = settings.rawExtensionSet.contains(record.fileExtension);

    // A link's attributes were replaced by its target's: it is looked up again.
    record.isNetworkDrive = isLink ? isNetworkVolume(filePath) : isNetworkVolume(filePath, st);
    return true;
}
