#include "scan/PrivateDatabaseCopy.h"

#include "base/AppPaths.h"
#include "core/FileUtilities.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Bytes of a file's data copied per step; Stop and the copy's time bound are
// looked at between steps.
constexpr qint64 copyBlock = 1024 * 1024;
// Room the cache's disk keeps after a copy.
constexpr quint64 spareRoom = 256ull * 1024 * 1024;

bool isRaised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

bool isAllZero(const char* bytes, qint64 count)
{
    return std::all_of(bytes, bytes + count, [](char byte) { return byte == 0; });
}

// Why the call on path just failed, from errno.
QString failureAt(const QString& path)
{
    return QLatin1Char('"') + path + QStringLiteral("\": ") + errnoText(errno);
}

// What one database's copy may still take: bytes left and the moment it must
// be over, shared by the database and its companions.
struct CopyAllowance {
    quint64 bytes = 0;
    std::chrono::steady_clock::time_point deadline;
    std::chrono::milliseconds time { 0 };
    QString what;
    const std::atomic<bool>* stop = nullptr;
};

// The next run of data in fd at or after offset, as [first, second) within
// size; none when only a hole is left. A file system that cannot tell its
// holes shows the whole rest as data.
std::optional<std::pair<qint64, qint64>> nextDataRun(int fd, qint64 offset, qint64 size)
{
    if (offset >= size)
        return std::nullopt;
    const off_t start = ::lseek(fd, offset, SEEK_DATA);
    if (start < 0)
        return errno == ENXIO ? std::nullopt : std::optional(std::pair<qint64, qint64>(offset, size));
    if (start >= size)
        return std::nullopt;
    const off_t end = ::lseek(fd, start, SEEK_HOLE);
    return std::pair<qint64, qint64>(start, end < 0 || end > size ? size : qint64(end));
}

// Copies one file into target (made new, readable only by the user) when it
// is a regular file reached without following a link. Only the file's data is
// read: its holes, and runs of zeros in its data, stay holes, so a sparse file
// takes no more room or time than its data does. Empty when copied; otherwise
// the reason (a partial copy is removed).
QString copyFile(const QString& source, const QString& target, CopyAllowance& allowance)
{
    const OpenedFile in = openRegularFile(source, LinkFollowing::refuse);
    if (!in.isOpen())
        return in.errorText;
    if (in.size > allowance.bytes)
        return QStringLiteral("\"%1\" is larger than the %2 bytes %3 may copy")
            .arg(source, QString::number(allowance.bytes), allowance.what);
    struct stat status { };
    struct statvfs room { };
    const QByteArray folder = QFile::encodeName(QFileInfo(target).path());
    if (::fstat(in.fd.get(), &status) == 0 && ::statvfs(folder.constData(), &room) == 0) {
        const quint64 needed = std::min<quint64>(in.size, quint64(status.st_blocks) * 512) + spareRoom;
        if (quint64(room.f_bavail) * room.f_frsize < needed)
            return QStringLiteral("no room for a copy of \"%1\" in the cache").arg(source);
    }
    allowance.bytes -= in.size;
    const QByteArray targetName = QFile::encodeName(target);
    const FileDescriptor out(
        ::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.isOpen())
        return failureAt(target);
    const auto fail = [&](const QString& reason) {
        ::unlink(targetName.constData());
        return reason;
    };
    QByteArray block(copyBlock, Qt::Uninitialized);
    // The size read at the start bounds the copy, however the file grows; a
    // file that shrinks meanwhile ends where its data ended.
    qint64 length = qint64(in.size);
    for (auto run = nextDataRun(in.fd.get(), 0, length); run; run = nextDataRun(in.fd.get(), run->second, length)) {
        for (qint64 at = run->first; at < run->second;) {
            if (isRaised(allowance.stop))
                return fail(QStringLiteral("stopped"));
            if (std::chrono::steady_clock::now() >= allowance.deadline)
                return fail(QStringLiteral("copying \"%1\" took longer than the %2 seconds %3 may take")
                                .arg(source, QString::number(allowance.time.count() / 1000.0), allowance.what));
            const qint64 got = ::pread(in.fd.get(), block.data(), std::min<qint64>(copyBlock, run->second - at), at);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return fail(failureAt(source));
            if (got == 0) {
                length = at;
                run->second = at;
                break;
            }
            if (!isAllZero(block.constData(), got)) {
                for (qint64 written = 0; written < got;) {
                    const ssize_t now
                        = ::pwrite(out.get(), block.constData() + written, size_t(got - written), at + written);
                    if (now < 0 && errno == EINTR)
                        continue;
                    if (now <= 0)
                        return fail(failureAt(target));
                    written += now;
                }
            }
            at += got;
        }
    }
    // Holes and zeros were skipped, not written: the copy gets its length.
    if (::ftruncate(out.get(), length) != 0)
        return fail(failureAt(target));
    return QString();
}

} // namespace

PrivateDatabaseCopy::PrivateDatabaseCopy(const QString& database, const QStringList& companions,
    const QString& cacheFolder, Limits limits, const QString& what, const std::atomic<bool>* stop)
{
    AppPaths::ensureFolder(cacheFolder);
    folder_ = std::make_unique<QTemporaryDir>(cacheFolder + QStringLiteral("/database-copy-XXXXXX"));
    if (!folder_->isValid()) {
        failure_ = QStringLiteral("no folder of our own can be made under \"%1\"").arg(cacheFolder);
        return;
    }
    CopyAllowance allowance;
    allowance.bytes = limits.bytes;
    allowance.time = limits.time;
    allowance.deadline = std::chrono::steady_clock::now() + limits.time;
    allowance.what = what;
    allowance.stop = stop;
    const QString copy = folder_->filePath(QFileInfo(database).fileName());
    failure_ = copyFile(database, copy, allowance);
    for (const QString& suffix : companions) {
        if (!failure_.isEmpty())
            break;
        // A companion that is not there is not copied; anything else that
        // stands there must pass as the database does.
        struct stat status { };
        if (::lstat(QFile::encodeName(database + suffix).constData(), &status) == 0)
            failure_ = copyFile(database + suffix, copy + suffix, allowance);
    }
    if (failure_.isEmpty())
        path_ = copy;
}
