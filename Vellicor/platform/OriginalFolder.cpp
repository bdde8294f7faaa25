#include "platform/OriginalFolder.h"

#include <QFile>

#include <cerrno>
#include <climits>
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

int follow(int folder, const QByteArray& target, const QString& shown, Walk& walk);

// Opens the sub-folder name of the folder open at folder (O_PATH); a link
// in its place is followed only when the user or the superuser owns it.
// shown names the entry in a refusal. -1 with errno set, and walk's
// refusal too unless name itself is missing (ENOENT).
int enter(int folder, const QByteArray& name, const QString& shown, Walk& walk)
{
    const int fd = openSubfolder(folder, name.constData(), O_PATH);
    if (fd >= 0 || errno == ENOENT)
        return fd;
    const auto refuse = [&](int error) {
        walk.refusal = cannotBeReached(shown, error);
        errno = error;
        return -1;
    };
    if (errno != ELOOP)
        return refuse(errno);
    // The link itself, so that its owner and its target are read from one
    // and the same link, whatever is put in its place meanwhile.
    const FileDescriptor link(::openat(folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat status { };
    if (!link.isOpen() || ::fstat(link.get(), &status) != 0)
        return refuse(errno);
    if (!S_ISLNK(status.st_mode))
        return refuse(ENOTDIR);
    if (status.st_uid != walk.user && status.st_uid != 0) {
        walk.refusal = belongsToAnotherUser(shown);
        errno = EPERM;
        return -1;
    }
    if (--walk.linksLeft < 0)
        return refuse(ELOOP);
    char target[PATH_MAX];
    const ssize_t length = ::readlinkat(link.get(), "", target, sizeof target);
    if (length <= 0 || std::size_t(length) >= sizeof target)
        return refuse(length < 0 ? errno : ENAMETOOLONG);
    return follow(folder, QByteArray(target, length), shown, walk);
}

// Opens the folder a link's target names, from the link's folder; nothing
// missing there is made.
int follow(int folder, const QByteArray& target, const QString& shown, Walk& walk)
{
    FileDescriptor at(
        target.startsWith('/') ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC) : ::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    for (const QByteArray& part : target.split('/')) {
        if (!at.isOpen())
            break;
        if (part.isEmpty() || part == ".")
            continue;
        at.reset(part == ".." ? ::openat(at.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC)
                              : enter(at.get(), part, shown, walk));
    }
    if (!at.isOpen() && walk.refusal.isEmpty()) {
        const int error = errno;
        walk.refusal = cannotBeReached(shown, error);
        errno = error;
    }
    return at.release();
}

// Whether a folder may be made in the folder open at folder, shown by
// shown: one of the user's own, the superuser's, or the one found at its
// place when the file went (expected). Otherwise the walk is refused.
bool mayMakeIn(int folder, const OriginalFolder::Above* expected, const QString& shown, Walk& walk)
{
    struct stat status { };
    const auto facts = factsAt(folder, QByteArray(), AT_EMPTY_PATH);
    if (!facts || ::fstat(folder, &status) != 0) {
        walk.refusal = cannotBeReached(shown, errno);
        return false;
    }
    if (status.st_uid == walk.user || status.st_uid == 0
        || (expected && expected->owner == status.st_uid && expected->identity.sameFileAs(*facts)))
        return true;
    walk.refusal = belongsToAnotherUser(shown);
    return false;
}

// Makes the folder name again in the folder open at folder, as the user's
// own with mode; -1 with errno EEXIST when something else is there, or
// with the walk's refusal.
int makeAgain(int folder, const QByteArray& name, mode_t mode, const QString& shown, Walk& walk)
{
    // Open to no one until it is seen to be the one made here.
    if (::mkdirat(folder, name.constData(), 0700) != 0) {
        if (errno != EEXIST)
            walk.refusal = QStringLiteral("its folder cannot be made again: %1").arg(errnoText(errno));
        return -1;
    }
    struct stat status { };
    FileDescriptor made(openSubfolder(folder, name.constData(), O_RDONLY, &status));
    if (!made.isOpen()) {
        walk.refusal = cannotBeReached(shown, errno);
        return -1;
    }
    if (status.st_uid != walk.user) {
        walk.refusal = belongsToAnotherUser(shown);
        return -1;
    }
    if (::fchmod(made.get(), mode) != 0) {
        walk.refusal = QStringLiteral("its folder cannot be made again: %1").arg(errnoText(errno));
        return -1;
    }
    return made.release();
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
    Walk walk;
    FileDescriptor at(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    QString shown;
    // The folder open at at, as shown; "/" at first.
    QString shownAt = QStringLiteral("/");
    std::size_t depth = 0;
    if (!at.isOpen())
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
        // The folder open at at as the removal found it, where it recorded it.
        const OriginalFolder::Above* expected
            = original && depth >= 1 && depth - 1 < original->above.size() && original->above[depth - 1]
            ? &*original->above[depth - 1]
            : nullptr;
        ++depth;
        int next = enter(at.get(), part, shown, walk);
        // Missing: made again; one made by someone else meanwhile is looked
        // at as any folder found there.
        for (int attempt = 0; next < 0 && errno == ENOENT && walk.refusal.isEmpty() && attempt < 3; ++attempt) {
            if (!mayMakeIn(at.get(), expected, shownAt, walk))
                break;
            next = makeAgain(at.get(), part, mode, shown, walk);
            if (next < 0 && errno == EEXIST && walk.refusal.isEmpty())
                next = enter(at.get(), part, shown, walk);
        }
        if (next < 0) {
            if (walk.refusal.isEmpty())
                walk.refusal = cannotBeReached(shown, errno);
            break;
        }
        at.reset(next);
        shownAt = shown;
    }
    struct stat status { };
    if (walk.refusal.isEmpty() && ::fstat(at.get(), &status) != 0)
        walk.refusal = cannotBeReached(folderPath, errno);
    if (!walk.refusal.isEmpty()) {
        reached.refusal = walk.refusal;
        return reached;
    }
    const auto reachedFacts = factsAt(at.get(), QByteArray(), AT_EMPTY_PATH);
    const bool same
        = original && reachedFacts && reachedFacts->sameFileAs(original->identity) && status.st_uid == original->owner;
    const bool own = status.st_uid == walk.user;
    const bool superusersAlone = status.st_uid == 0 && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    if (!same && !own && !superusersAlone) {
        reached.refusal = belongsToAnotherUser(folderPath);
        return reached;
    }
    reached.fd = std::move(at);
    return reached;
}
