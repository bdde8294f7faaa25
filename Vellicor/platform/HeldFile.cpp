#include "platform/HeldFile.h"

#include "base/Log.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool isLinkAt(int folder, const QByteArray& name)
{
    struct stat status { };
    return ::fstatat(folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

} // namespace

int openFolderWithoutLinks(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (!encoded.startsWith('/') || encoded.contains('\0')) {
        errno = EINVAL;
        return -1;
    }
    // A path that climbs is not one a scan records; the walk never climbs.
    for (const QByteArray& part : encoded.split('/')) {
        if (part == "..") {
            errno = EINVAL;
            return -1;
        }
    }
    struct open_how how { };
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, encoded.constData(), &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM && errno != E2BIG))
        return static_cast<int>(fd);
    return openFolderByWalk(encoded);
}

int openFolderByWalk(const QByteArray& path)
{
    FileDescriptor folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen())
        return -1;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        folder.reset(openSubfolder(folder.get(), part.constData(), O_PATH));
        if (!folder.isOpen())
            return -1;
    }
    return folder.release();
}

HeldFile holdFile(const QString& path, FolderLinks links)
{
    HeldFile held;
    held.path = path;
    const auto refuse = [&held](int error, const QString& refusal = {}) {
        held.error = error;
        held.refusal = refusal.isEmpty() ? pathRefusal(error) : refusal;
        held.fd.reset();
        return std::move(held);
    };
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')) || slash == path.size() - 1)
        return refuse(EINVAL, QStringLiteral("not an absolute path"));
    held.name = QFile::encodeName(path.mid(slash + 1));
    if (held.name == "." || held.name == "..")
        return refuse(EINVAL, QStringLiteral("not an absolute path"));
    held.folderPath = slash == 0 ? QStringLiteral("/") : path.left(slash);
    if (links == FolderLinks::resolvedFirst) {
        char* real = ::realpath(QFile::encodeName(held.folderPath).constData(), nullptr);
        if (!real)
            return refuse(errno);
        held.folderPath = QFile::decodeName(real);
        ::free(real);
    }
    held.folder.reset(openFolderWithoutLinks(held.folderPath));
    if (!held.folder.isOpen())
        return refuse(errno);
    const auto entry = factsAt(held.folder.get(), held.name, AT_SYMLINK_NOFOLLOW);
    if (!entry)
        return refuse(errno);
    if (!entry->regular) {
        return refuse(0,
            isLinkAt(held.folder.get(), held.name) ? QStringLiteral("a symbolic link, not a file")
                                                   : QStringLiteral("it is no longer a regular file"));
    }
    // O_NONBLOCK only matters if the name became a FIFO since the look: the
    // open then returns at once, and the look at what was opened refuses it.
    held.fd.reset(
        ::openat(held.folder.get(), held.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!held.fd.isOpen())
        return refuse(
            errno, errno == ENOENT ? QString() : QStringLiteral("it cannot be read: %1").arg(errnoText(errno)));
    const auto opened = factsAt(held.fd.get(), QByteArray(""), AT_EMPTY_PATH);
    if (!opened)
        return refuse(errno);
    if (!opened->regular || !opened->sameFileAs(*entry))
        return refuse(0, QStringLiteral("another file took its place as it was opened"));
    if (const int flags = ::fcntl(held.fd.get(), F_GETFL); flags >= 0)
        ::fcntl(held.fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    held.facts = *opened;
    return held;
}

std::optional<QString> heldFileDiffers(const HeldFile& held, int folder, const QByteArray& name, bool withChangeTime)
{
    const auto now = factsAt(folder, name, AT_SYMLINK_NOFOLLOW);
    if (!now)
        return pathRefusal(errno);
    if (!now->regular)
        return QStringLiteral("it is no longer a regular file");
    if (!now->sameFileAs(held.facts))
        return QStringLiteral("another file has taken its place since it was checked");
    if (now->size != held.facts.size || now->modTime != held.facts.modTime
        || (withChangeTime && now->changeTime != held.facts.changeTime))
        return QStringLiteral("it has changed since it was checked");
    return std::nullopt;
}

HeldMove moveHeldFile(const HeldFile& held, int toFolder, const QByteArray& toName, const QString& toPath,
    const std::function<void(const QString& path)>& beforeRename)
{
    HeldMove move;
    if (const auto differs = heldFileDiffers(held, held.folder.get(), held.name, true)) {
        move.refusal = *differs;
        return move;
    }
    if (beforeRename)
        beforeRename(held.path);
    move.error = renameAtWithoutReplacing(held.folder.get(), held.name, toFolder, toName);
    if (move.error != 0)
        return move;
    // What was renamed is whatever the name held at that instant: the
    // checked file, or what took its place in the moment since the look.
    const auto differs = heldFileDiffers(held, toFolder, toName, false);
    if (!differs) {
        move.moved = true;
        return move;
    }
    if (const int back = renameAtWithoutReplacing(toFolder, toName, held.folder.get(), held.name); back != 0) {
        Log::print("Remove: what took the place of", held.path, "stays at", toPath, errnoText(back));
        move.refusal = QStringLiteral("%1; what was moved in its place stays at %2").arg(*differs, toPath);
        move.stranded = true;
        return move;
    }
    move.refusal = QStringLiteral("%1; what was moved in its place was put back").arg(*differs);
    return move;
}
