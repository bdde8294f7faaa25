#include "platform/FileRemover.h"

#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The refusal for anything but a regular file at path, or none.
std::optional<QString> refuseNonRegular(const QString& path)
{
    if (path.isEmpty() || QFileInfo(path).isRelative())
        return QStringLiteral("not an absolute path");
    struct stat status { };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return errnoText(errno);
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("a symbolic link, not a file");
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("not a regular file");
    return std::nullopt;
}

bool stillThere(const QString& path)
{
    struct stat status { };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 || errno != ENOENT;
}

FileRemoval failure(const QString& text)
{
    FileRemoval removal;
    removal.error = text;
    return removal;
}

} // namespace

FileRemoval LocalFileRemover::moveToTrash(const QString& path)
{
    if (const auto refusal = refuseNonRegular(path))
        return failure(*refusal);
    // Without the data folder this Qt puts the file into "files/" of the
    // working directory and calls that a success.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome))
        return failure(QStringLiteral("the trash folder cannot be made"));

    QString inTrash;
    if (!QFile::moveToTrash(path, &inTrash))
        return failure(QStringLiteral("the trash did not take the file"));
    if (inTrash.isEmpty() || QFileInfo(inTrash).isRelative()) {
        // Put it back where it was, never over a file that took its place.
        const QByteArray misplaced = QFile::encodeName(inTrash);
        if (!inTrash.isEmpty()
            && ::renameat2(
                   AT_FDCWD, misplaced.constData(), AT_FDCWD, QFile::encodeName(path).constData(), RENAME_NOREPLACE)
                != 0)
            Log::print(
                "Trash: the file", path, "was left at", QDir::current().absoluteFilePath(inTrash), errnoText(errno));
        return failure(QStringLiteral("the trash is not available"));
    }
    if (stillThere(path) || !QFileInfo::exists(inTrash))
        return failure(QStringLiteral("the trash did not take the file"));

    FileRemoval removal;
    removal.ok = true;
    removal.trashedPath = inTrash;
    const QFileInfo trashed(inTrash);
    const QString info = trashed.dir().absoluteFilePath(QStringLiteral("../info/%1.trashinfo").arg(trashed.fileName()));
    if (QFileInfo::exists(info))
        removal.trashInfoPath = QDir::cleanPath(info);
    return removal;
}

FileRemoval LocalFileRemover::removeRegularFile(const QString& path)
{
    if (const auto refusal = refuseNonRegular(path))
        return failure(*refusal);
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        return failure(errnoText(errno));
    if (stillThere(path))
        return failure(QStringLiteral("the file is still there"));
    FileRemoval removal;
    removal.ok = true;
    return removal;
}

FaultyFileRemover::FaultyFileRemover(std::shared_ptr<FileRemover> real)
    : real_(std::move(real))
{
}

bool FaultyFileRemover::fails(const QString& path) const
{
    return failingPaths.contains(path) || failingFolders.contains(QFileInfo(path).path());
}

FileRemoval FaultyFileRemover::moveToTrash(const QString& path)
{
    ++calls;
    if (beforeEach)
        beforeEach(path);
    return fails(path) ? failure(faultText) : real_->moveToTrash(path);
}

FileRemoval FaultyFileRemover::removeRegularFile(const QString& path)
{
    ++calls;
    if (beforeEach)
        beforeEach(path);
    return fails(path) ? failure(faultText) : real_->removeRegularFile(path);
}
