#include "scan/PrivateDatabaseCopy.h"

#include "base/PrivateFiles.h"
#include "core/FileUtilities.h"
#include "platform/FileDataCopy.h"

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

bool isRaised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
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

// Copies one file into target (made new, readable only by the user) when it
// is a regular file reached without following a link, by its data alone
// (copyFileData). Empty when copied; otherwise the reason (a partial copy is
// removed).
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
        const quint64 needed = std::min<quint64>(in.size, quint64(status.st_blocks) * 512) + PrivateDatabaseCopy::spareRoom;
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
    QString stopped;
    const DataCopyEnd copy = copyFileData(in.fd.get(), out.get(), qint64(in.size), [&](qint64) {
        if (isRaised(allowance.stop))
            stopped = QStringLiteral("stopped");
        else if (std::chrono::steady_clock::now() >= allowance.deadline)
            stopped = QStringLiteral("copying \"%1\" took longer than the %2 seconds %3 may take")
                          .arg(source, QString::number(allowance.time.count() / 1000.0), allowance.what);
        return stopped.isEmpty();
    });
    if (copy.stopped)
        return fail(stopped);
    if (copy.error != 0) {
        errno = copy.error;
        return fail(failureAt(copy.reading ? source : target));
    }
    return QString();
}

} // namespace

PrivateDatabaseCopy::PrivateDatabaseCopy(const QString& database, const QStringList& companions,
    const QString& cacheFolder, Limits limits, const QString& what, const std::atomic<bool>* stop)
{
    // The copy lies in a cache folder no other user can shape, in a folder of
    // its own that goes with everything in it when the read is over.
    if (PrivateFiles::useOwnFolder(cacheFolder, PrivateFiles::FolderUse::cache)) {
        failure_ = QStringLiteral("the cache folder \"%1\" is not the user's own").arg(cacheFolder);
        return;
    }
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
