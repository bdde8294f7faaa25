#include "platform/FileRemover.h"

#include "base/Log.h"
#include "core/FileUtilities.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Renames the file to a free temporary name in its own folder; empty when
// no such name could be taken.
QString setAside(const QString& path, int& error)
{
    const QString folder = QFileInfo(path).path();
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString aside = QStringLiteral("%1/.vellicor-removing-%2")
                                  .arg(folder)
                                  .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        error = renameWithoutReplacing(path, aside);
        if (error == 0)
            return aside;
        if (error != EEXIST)
            break;
    }
    return {};
}

} // namespace

FileRemoval LocalFileRemover::moveToTrash(const QString& path, const RemovalProof& proof)
{
    if (const auto refusal = refuseNonRegular(path))
        return FileRemoval::failed(*refusal);
    return trash_.moveToTrash(path, proof);
}

FileRemoval LocalFileRemover::removeRegularFile(const QString& path, const RemovalProof& proof)
{
    if (const auto refusal = refuseNonRegular(path))
        return FileRemoval::failed(*refusal);
    QString target = path;
    if (proof) {
        int error = 0;
        target = setAside(path, error);
        if (target.isEmpty())
            return FileRemoval::failed(QStringLiteral("it cannot be set aside: %1").arg(errnoText(error)));
        if (const auto refusal = proof()) {
            if (const int back = renameWithoutReplacing(target, path); back != 0) {
                Log::print("Remove: the file", path, "stays at", target, errnoText(back));
                return FileRemoval::failed(QStringLiteral("%1; it stays at %2").arg(*refusal, target));
            }
            return FileRemoval::failed(*refusal);
        }
    }
    if (::unlink(QFile::encodeName(target).constData()) != 0)
        return FileRemoval::failed(errnoText(errno));
    if (stillThere(target))
        return FileRemoval::failed(QStringLiteral("the file is still there"));
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

std::optional<FileFacts> FaultyFileRemover::examine(const QString& path)
{
    const auto route = secondRoutes.find(path);
    if (route == secondRoutes.end())
        return real_->examine(path);
    auto facts = real_->examine(route->second);
    if (facts)
        facts->device ^= 0x5a5a;
    return facts;
}

FileRemoval FaultyFileRemover::moveToTrash(const QString& path, const RemovalProof& proof)
{
    ++calls;
    if (beforeEach)
        beforeEach(path);
    return fails(path) ? FileRemoval::failed(faultText) : real_->moveToTrash(path, proof);
}

FileRemoval FaultyFileRemover::removeRegularFile(const QString& path, const RemovalProof& proof)
{
    ++calls;
    if (beforeEach)
        beforeEach(path);
    return fails(path) ? FileRemoval::failed(faultText) : real_->removeRegularFile(path, proof);
}
