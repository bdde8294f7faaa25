#include "platform/OriginalFolder.h"

#include "base/OtherUsers.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::shared_ptr<const OriginalFolder> OriginalFolders::record(const QString& folderPath, int heldFolder)
{
    const auto own = heldFolder < 0 ? std::nullopt : factsAt(heldFolder, QByteArray(), AT_EMPTY_PATH);
    struct stat status { };
    if (!own || ::fstat(heldFolder, &status) != 0)
        return nullptr;
    std::shared_ptr<const OriginalFolder>& known = folders_[folderPath];
    if (known && known->identity.sameFileAs(*own))
        return known;
    auto folder = std::make_shared<OriginalFolder>();
    folder->identity = *own;
    folder->owner = status.st_uid;
    const QStringList parts = folderPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString above;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        above += QLatin1Char('/') + parts[i];
        auto [found, first] = above_.try_emplace(above);
        if (first) {
            // Where the path led when the file went: through the user's
            // links, to the folders they name.
            const QByteArray path = QFile::encodeName(above);
            struct stat status { };
            if (::stat(path.constData(), &status) == 0) {
                found->second.mode = status.st_mode & 07777;
                // The same folder in both looks, or none is recorded.
                const auto facts = factsAt(AT_FDCWD, path, 0);
                if (facts && facts->device == status.st_dev && facts->inode == status.st_ino)
                    found->second.above = OriginalFolder::Above { *facts, status.st_uid };
            }
        }
        folder->modes.push_back(found->second.mode);
        folder->above.push_back(found->second.above);
    }
    folder->modes.push_back(status.st_mode & 07777);
    known = std::move(folder);
    return known;
}

namespace {

// Links followed on the way at most, as the kernel allows.
constexpr int linksAtMost = 40;

QString belongsToAnotherUser(const QString& folder)
{
    return QStringLiteral("its folder %1 now belongs to another user").arg(folder);
}

QString notTheOneItWas(const QString& folder)
{
    return QStringLiteral("its folder %1 is not the one that was there when it was removed, and another user could "
                          "have put it there")
        .arg(folder);
}

QString cannotBeReached(const QString& folder, int error)
{
    return QStringLiteral("its folder %1 cannot be reached: %2").arg(folder, errnoText(error));
}

struct Walk {
    uid_t user = ::geteuid();
    int linksLeft = linksAtMost;
    // Why the way is refused, once it is.
    QString refusal;
};

// A folder the walk holds open (O_PATH), with what it has learnt of it.
struct Held {
    FileDescriptor fd;
    uid_t owner = 0;
    // The folder meant: the one recorded at its place, one made again by the
    // walk, or one reached only through folders no other user could change,
    // which no other user could change either.
    bool proven = false;
    // Another user could change its entries (OtherUsers): what is found in
    // it by name is the one meant only where it is the one recorded.
    bool changeable = true;
    // Whether it is the one recorded at its place.
    bool recorded = false;

    // Whether what is found in it by name is the one meant.
    bool leadsTrue() const { return proven && !changeable; }
};

// Takes fd as held: found by a way no other user could have steered
// (wayTrue) or not, where the removal recorded expected (none where it
// recorded nothing). Unopened, with errno set, when it cannot be looked at.
Held look(int fd, bool wayTrue, const OriginalFolder::Above* expected)
{
    Held held;
    if (fd < 0)
        return held;
    held.fd.reset(fd);
    struct stat status { };
    const auto facts = factsAt(fd, QByteArray(), AT_EMPTY_PATH);
    if (!facts || ::fstat(fd, &status) != 0) {
        const int error = errno;
        held.fd.reset();
        errno = error;
        return held;
    }
    held.owner = status.st_uid;
    // An owner the user namespace cannot attribute may be another user, who
    // may change the folder whatever its mode.
    held.changeable = OtherUsers::mayChangeFolder(fd, status) || OtherUsers::isUnattributedOwner(status.st_uid);
    held.recorded = expected && expected->owner == status.st_uid && expected->identity.sameFileAs(*facts);
    held.proven = held.recorded || (wayTrue && !held.changeable);
    return held;
}

Held follow(const Held& folder, const QByteArray& target, const QString& shown, Walk& walk);

// Opens the sub-folder name of the held folder (O_PATH); a link in its
// place is followed only when the user or the system owns it. shown names
// the entry in a refusal; expected is what was recorded at its place. An
// unopened folder with errno set, and walk's refusal too unless name itself
// is missing (ENOENT).
Held enter(const Held& folder, const QByteArray& name, const QString& shown, Walk& walk,
    const OriginalFolder::Above* expected)
{
    const int fd = openSubfolder(folder.fd.get(), name.constData(), O_PATH);
    if (fd >= 0 || errno == ENOENT)
        return look(fd, folder.leadsTrue(), expected);
    const auto refuse = [&](int error) {
        walk.refusal = cannotBeReached(shown, error);
        errno = error;
        return Held {};
    };
    if (errno != ELOOP)
        return refuse(errno);
    // The link itself, so that its owner and its target are read from one
    // and the same link, whatever is put in its place meanwhile.
    const FileDescriptor link(::openat(folder.fd.get(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat status { };
    if (!link.isOpen() || ::fstat(link.get(), &status) != 0)
        return refuse(errno);
    if (!S_ISLNK(status.st_mode))
        return refuse(ENOTDIR);
    if (status.st_uid != walk.user && !OtherUsers::isSystemOwner(status.st_uid)) {
        walk.refusal = belongsToAnotherUser(shown);
        errno = EPERM;
        return Held {};
    }
    if (--walk.linksLeft < 0)
        return refuse(ELOOP);
    char target[PATH_MAX];
    const ssize_t length = ::readlinkat(link.get(), "", target, sizeof target);
    if (length <= 0 || std::size_t(length) >= sizeof target)
        return refuse(length < 0 ? errno : ENAMETOOLONG);
    Held reached = follow(folder, QByteArray(target, length), shown, walk);
    if (!reached.fd.isOpen())
        return reached;
    // Where the link leads may be the very folder, however it got there. A
    // link of an owner the user namespace cannot attribute may be another
    // user's: where it leads is taken only as the one recorded.
    return look(reached.fd.release(), reached.proven && !OtherUsers::isUnattributedOwner(status.st_uid), expected);
}

// Opens the folder a link's target names, from the link's folder; nothing
// missing there is made. What it reaches is proven only where the link could
// not be changed and every folder on its way neither.
Held follow(const Held& folder, const QByteArray& target, const QString& shown, Walk& walk)
{
    Held at = target.startsWith('/') ? look(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC), true, nullptr)
                                     : look(::fcntl(folder.fd.get(), F_DUPFD_CLOEXEC, 0), true, nullptr);
    at.proven = at.proven && folder.leadsTrue();
    for (const QByteArray& part : target.split('/')) {
        if (!at.fd.isOpen())
            break;
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            // A proven folder lies in the one above it by its own user's or the
            // superuser's doing, unless another user could change that one.
            const bool wasProven = at.proven;
            at = look(::openat(at.fd.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC), true, nullptr);
            at.proven = at.proven && wasProven;
        } else {
            at = enter(at, part, shown, walk, nullptr);
        }
    }
    if (!at.fd.isOpen() && walk.refusal.isEmpty()) {
        const int error = errno;
        walk.refusal = cannotBeReached(shown, error);
        errno = error;
    }
    return at;
}

// Whether the folder open at fd is one just made by the user: theirs, open
// to no one else and empty.
bool isFreshlyMade(int fd, uid_t user)
{
    struct stat status { };
    if (::fstat(fd, &status) != 0 || status.st_uid != user || (status.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return false;
    const int listed = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!listing) {
        if (listed >= 0)
            ::close(listed);
        return false;
    }
    bool empty = true;
    while (const dirent* entry = ::readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(listing);
    return empty;
}

// Makes the folder name again in the held folder, as the user's own with
// mode; an unopened folder with errno EEXIST when something else is there,
// or with the walk's refusal.
Held makeAgain(const Held& folder, const QByteArray& name, mode_t mode, const QString& shown, Walk& walk)
{
    // Open to no one until it is seen to be the one made here.
    if (::mkdirat(folder.fd.get(), name.constData(), 0700) != 0) {
        if (errno != EEXIST)
            walk.refusal = QStringLiteral("its folder cannot be made again: %1").arg(errnoText(errno));
        return Held {};
    }
    struct stat status { };
    FileDescriptor made(openSubfolder(folder.fd.get(), name.constData(), O_RDONLY, &status));
    if (!made.isOpen()) {
        walk.refusal = cannotBeReached(shown, errno);
        return Held {};
    }
    // Where another user may change the folder it was made in, they may have
    // put another folder in its place meanwhile.
    if (!isFreshlyMade(made.get(), walk.user)) {
        walk.refusal = status.st_uid == walk.user ? notTheOneItWas(shown) : belongsToAnotherUser(shown);
        return Held {};
    }
    if (::fchmod(made.get(), mode) != 0) {
        walk.refusal = QStringLiteral("its folder cannot be made again: %1").arg(errnoText(errno));
        return Held {};
    }
    Held held = look(made.release(), true, nullptr);
    held.proven = held.fd.isOpen();
    return held;
}

// Why a folder found on the way is not taken: another user's where the
// user's (or no one's known) was, else one another user could have put there.
QString refusalOf(const Held& found, const OriginalFolder::Above* expected, const QString& shown, uid_t user)
{
    const bool theirs = found.owner != user && !OtherUsers::isSystemOwner(found.owner);
    return theirs && !(expected && expected->owner == found.owner) ? belongsToAnotherUser(shown)
                                                                    : notTheOneItWas(shown);
}

} // namespace

RestoreFolder reachOriginalFolder(const QString& folderPath, const OriginalFolder* original)
{
    RestoreFolder reached;
    const QByteArray path = QFile::encodeName(folderPath);
    const QList<QByteArray> parts = path.split('/');
    if (!path.startsWith('/') || path.contains('\0') || parts.contains("..")) {
        reached.refusal = QStringLiteral("not an absolute path");
        return reached;
    }
    qsizetype depths = 0;
    for (const QByteArray& part : parts)
        depths += part.isEmpty() || part == "." ? 0 : 1;
    // The folder itself, as the folders above it, as the removal found it.
    const std::optional<OriginalFolder::Above> itself
        = original ? std::optional(OriginalFolder::Above { original->identity, original->owner }) : std::nullopt;
    Walk walk;
    Held at = look(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC), true, nullptr);
    QString shown;
    std::size_t depth = 0;
    if (!at.fd.isOpen())
        walk.refusal = cannotBeReached(QStringLiteral("/"), errno);
    for (const QByteArray& part : parts) {
        if (!walk.refusal.isEmpty())
            break;
        if (part.isEmpty() || part == ".")
            continue;
        shown += QLatin1Char('/') + QFile::decodeName(part);
        const mode_t mode = original && depth < original->modes.size() && original->modes[depth] != 0
            ? original->modes[depth]
            : 0700;
        ++depth;
        // What the removal found at this place.
        const OriginalFolder::Above* expected = qsizetype(depth) == depths ? (itself ? &*itself : nullptr)
            : original && depth - 1 < original->above.size() && original->above[depth - 1]
            ? &*original->above[depth - 1]
            : nullptr;
        Held next = enter(at, part, shown, walk, expected);
        // Missing: made again; one made by someone else meanwhile is looked
        // at as any folder found there.
        for (int attempt = 0; !next.fd.isOpen() && errno == ENOENT && walk.refusal.isEmpty() && attempt < 3;
             ++attempt) {
            next = makeAgain(at, part, mode, shown, walk);
            if (!next.fd.isOpen() && errno == EEXIST && walk.refusal.isEmpty())
                next = enter(at, part, shown, walk, expected);
        }
        if (!next.fd.isOpen()) {
            if (walk.refusal.isEmpty())
                walk.refusal = cannotBeReached(shown, errno);
            break;
        }
        if (!next.proven)
            walk.refusal = refusalOf(next, expected, shown, walk.user);
        at = std::move(next);
    }
    struct stat status { };
    if (walk.refusal.isEmpty() && ::fstat(at.fd.get(), &status) != 0)
        walk.refusal = cannotBeReached(folderPath, errno);
    if (!walk.refusal.isEmpty()) {
        reached.refusal = walk.refusal;
        return reached;
    }
    const bool own = status.st_uid == walk.user;
    const bool systemsAlone = OtherUsers::isSystemOwner(status.st_uid)
        && !OtherUsers::isUnattributedOwner(status.st_uid) && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    if (!at.recorded && !own && !systemsAlone) {
        reached.refusal = belongsToAnotherUser(folderPath);
        return reached;
    }
    reached.fd = std::move(at.fd);
    return reached;
}
