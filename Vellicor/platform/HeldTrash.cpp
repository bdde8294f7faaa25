#include "platform/HeldTrash.h"

#include "base/Log.h"
#include "base/OtherUsers.h"
#include "platform/HeldFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Why a trash folder found again by its path no longer serves.
QString movedOrReplaced(const QString& path)
{
    return QStringLiteral("%1 is no longer the trash folder the files went into: it was moved or replaced").arg(path);
}

// Why the folder open at fd cannot be uid's trash folder (a folder of the
// user's own, open to nobody else), or none.
std::optional<QString> ownFolderFault(int fd, const QString& path, uid_t uid)
{
    struct stat status { };
    if (::fstat(fd, &status) != 0)
        return QStringLiteral("%1: %2").arg(path, errnoText(errno));
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (status.st_uid != uid)
        return QStringLiteral("%1 belongs to another user").arg(path);
    if (status.st_nlink == 0)
        return QStringLiteral("%1 was removed").arg(path);
    if ((status.st_mode & 077) != 0)
        return QStringLiteral("%1 is open to other users").arg(path);
    return std::nullopt;
}

// The name of the user uid, or the number where it has none.
QString userName(uid_t uid)
{
    struct passwd entry { };
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

// path as one word of a shell's command line.
QString shellWord(const QString& path)
{
    QString quoted = path;
    return QLatin1Char('\'') + quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}

// The owner of the folder name in the folder open at parent, when it is a
// folder of another user than uid; none otherwise.
std::optional<uid_t> otherOwner(int parent, const char* name, uid_t uid)
{
    struct stat status { };
    if (::fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(status.st_mode) || status.st_uid == uid)
        return std::nullopt;
    return status.st_uid;
}

// Why the trash folder at trash cannot be used when path, the folder itself
// or its files or info folder, belongs to owner. Root's is what a program run
// with the administrator's rights leaves behind, and what it holds is root's
// too: how to give it back is told. Another user's may hold what they placed
// there to be given to the user with it, so no command is offered.
QString givenAway(const QString& path, uid_t owner, const QString& trash, uid_t uid)
{
    const QString whose = QStringLiteral("%1 belongs to another user (%2)").arg(path, userName(owner));
    if (owner != 0)
        return whose;
    return QStringLiteral("%1; make it yours again with: sudo chown -R %2: %3").arg(whose, userName(uid), shellWord(trash));
}

// The folder name in the folder open at parent, made (0700) when missing,
// opened without following a link; a folder of uid's own that others may
// enter is narrowed to uid alone. Not open, with errno set, when it cannot
// be made or opened.
FileDescriptor openNarrowed(int parent, const char* name, const QString& path, uid_t uid)
{
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return FileDescriptor {};
    struct stat status { };
    FileDescriptor folder(openSubfolder(parent, name, O_RDONLY, &status));
    if (folder.isOpen() && status.st_uid == uid && (status.st_mode & 077) != 0) {
        Log::print("Trash: the trash folder", path, "was open to other users and is made private");
        ::fchmod(folder.get(), status.st_mode & 0700);
    }
    return folder;
}

// The trash folder name in the folder open at parent (path names it for
// telling), made (0700) with its files and info folders when missing, each
// from the open folder above it: held when it is a real folder of uid's own,
// open to nobody else. A trash of the user's that others may enter is
// narrowed first, its files and info folders too: another user who went in
// while it was open may still hold either, and only their mode keeps them
// out of it.
TrashFolder heldTrashIn(int parent, const QByteArray& name, const QString& path, uid_t uid)
{
    FileDescriptor folder = openNarrowed(parent, name.constData(), path, uid);
    const int error = errno;
    // Another user's, whether it let the user in or not: the true reason.
    if (const auto owner = otherOwner(parent, name.constData(), uid))
        return { {}, givenAway(path, *owner, path, uid), {} };
    if (!folder.isOpen()) {
        return { {},
            error == ELOOP ? QStringLiteral("%1 is a symbolic link").arg(path)
                           : QStringLiteral("%1: %2").arg(path, errnoText(error)),
            {} };
    }
    if (const auto fault = ownFolderFault(folder.get(), path, uid))
        return { {}, *fault, {} };
    // The folder stays open, held by the trash made of it below.
    const int opened = folder.get();
    const auto partFault = [&](const char* part, int partError) {
        if (const auto owner = otherOwner(opened, part, uid))
            return givenAway(path + QLatin1Char('/') + QLatin1String(part), *owner, path, uid);
        return TrashDetail::partFault(path, part, partError);
    };
    for (const char* part : { "files", "info" }) {
        if (!openNarrowed(opened, part, path + QLatin1Char('/') + QLatin1String(part), uid).isOpen())
            return { {}, partFault(part, errno), {} };
    }
    auto held = std::make_shared<const HeldTrash>(path, uid, std::move(folder));
    for (const char* part : { "files", "info" }) {
        if (!held->openPart(part).isOpen())
            return { {}, partFault(part, errno), {} };
    }
    return { path, {}, std::move(held) };
}

} // namespace

namespace TrashDetail {

QString partFault(const QString& path, const char* part, int error)
{
    const QString partPath = QStringLiteral("%1/%2").arg(path, QLatin1String(part));
    switch (error) {
    case ELOOP:
        return QStringLiteral("%1 is a symbolic link").arg(partPath);
    case EPERM:
        return QStringLiteral("%1 belongs to another user").arg(partPath);
    case ESTALE:
        return movedOrReplaced(path);
    default:
        return QStringLiteral("%1: %2").arg(partPath, errnoText(error));
    }
}

QString homeTrashPath()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || QFileInfo(dataHome).isRelative())
        return QString();
    return dataHome + QStringLiteral("/Trash");
}

TrashFolder homeTrashFolder()
{
    const QString trash = homeTrashPath();
    const QString dataHome = QFileInfo(trash).path();
    if (trash.isEmpty() || !QDir().mkpath(dataHome))
        return { {}, QStringLiteral("the data folder cannot be made"), {} };
    const FileDescriptor parent(::open(QFile::encodeName(dataHome).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.isOpen())
        return { {}, QStringLiteral("%1: %2").arg(dataHome, errnoText(errno)), {} };
    TrashFolder folder = heldTrashIn(parent.get(), QByteArrayLiteral("Trash"), trash, ::getuid());
    // Missing, in a data folder that another user took: nothing to give
    // back but that folder, which holds much more than the trash.
    struct stat status { };
    if (!folder.error.isEmpty() && ::fstatat(parent.get(), "Trash", &status, AT_SYMLINK_NOFOLLOW) != 0
        && errno == ENOENT && ::fstat(parent.get(), &status) == 0 && status.st_uid != ::getuid()) {
        folder.error = QStringLiteral("%1 belongs to another user (%2), so the trash cannot be made in it")
                           .arg(dataHome, userName(status.st_uid));
    }
    return folder;
}

TrashFolder volumeTrashFolder(const QString& topdir, uid_t uid)
{
    const QString top = topdir.isEmpty() ? QStringLiteral("/") : topdir;
    const FileDescriptor topFolder(::open(QFile::encodeName(top).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!topFolder.isOpen())
        return { {}, QStringLiteral("%1: %2").arg(top, errnoText(errno)), {} };
    const QString shared = topdir + QStringLiteral("/.Trash");
    struct stat status { };
    const FileDescriptor sharedFolder(openSubfolder(topFolder.get(), ".Trash", O_PATH, &status));
    // A shared trash whose owner is another user is theirs to rename the
    // user's folder in, and to put a folder of their own in its place. So is
    // one of an owner the user namespace cannot attribute, which may be
    // another user's as well as the root's.
    if (sharedFolder.isOpen() && (status.st_mode & S_ISVTX)
        && ((OtherUsers::isSystemOwner(status.st_uid) && !OtherUsers::isUnattributedOwner(status.st_uid))
            || status.st_uid == uid)) {
        TrashFolder folder = heldTrashIn(
            sharedFolder.get(), QByteArray::number(uid), shared + QLatin1Char('/') + QString::number(uid), uid);
        if (folder.error.isEmpty())
            return folder;
        Log::print("Trash: the shared trash is not usable,", folder.error);
    } else if (sharedFolder.isOpen()) {
        Log::print("Trash: not a shared trash (without the sticky bit, or another user's or an owner's this sandbox "
                   "cannot tell):",
            shared);
    } else if (errno != ENOENT) {
        Log::print("Trash: not a shared trash (a link, or not a folder):", shared);
    }
    return heldTrashIn(topFolder.get(), QByteArrayLiteral(".Trash-") + QByteArray::number(uid),
        topdir + QStringLiteral("/.Trash-") + QString::number(uid), uid);
}

} // namespace TrashDetail

HeldTrash::HeldTrash(QString path, uid_t uid, FileDescriptor folder)
    : path_(std::move(path))
    , uid_(uid)
    , folder_(std::move(folder))
{
    struct stat status { };
    if (folder_.isOpen() && ::fstat(folder_.get(), &status) == 0) {
        device_ = status.st_dev;
        inode_ = status.st_ino;
    }
}

FileDescriptor HeldTrash::openByPath() const
{
    FileDescriptor found(openFolderWithoutLinks(path_));
    struct stat status { };
    if (found.isOpen() && (::fstat(found.get(), &status) != 0 || status.st_dev != device_ || status.st_ino != inode_)) {
        found.reset();
        errno = ESTALE;
    }
    return found;
}

int HeldTrash::folderLocked() const
{
    if (!folder_.isOpen())
        folder_ = openByPath();
    return folder_.isOpen() ? folder_.get() : -1;
}

void HeldTrash::release() const
{
    const std::lock_guard guard(lock_);
    if (folder_.isOpen() && openByPath().isOpen())
        folder_.reset();
}

std::optional<QString> HeldTrash::recheck() const
{
    const std::lock_guard guard(lock_);
    const int folder = folderLocked();
    if (folder < 0) {
        return errno == ESTALE ? movedOrReplaced(path_) : QStringLiteral("%1: %2").arg(path_, errnoText(errno));
    }
    return ownFolderFault(folder, path_, uid_);
}

FileDescriptor HeldTrash::openPart(const char* part) const
{
    const std::lock_guard guard(lock_);
    const int folder = folderLocked();
    if (folder < 0)
        return FileDescriptor {};
    struct stat status { };
    FileDescriptor opened(openSubfolder(folder, part, O_RDONLY, &status));
    if (opened.isOpen() && status.st_uid != uid_) {
        opened.reset();
        errno = EPERM;
    }
    return opened;
}
