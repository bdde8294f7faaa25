#include "cleanup/UndoRestore.h"

#include "base/Log.h"
#include "cleanup/CleanupController.h"
#include "cleanup/CloudRemover.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "platform/FileDataCopy.h"
#include "platform/HeldFile.h"
#include "platform/OriginalFolder.h"
#include "platform/RestoreCopies.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// Where a removed file goes back: its name in the folder reached for it,
// and that folder's path as the user knows it.
struct Destination {
    int folder = -1;
    QString folderPath;
    QByteArray name;
};

// Asked before each piece of a copy with the bytes copied so far: whether
// the copy goes on.
using KeepCopying = std::function<bool(qint64 copied)>;

const QString stoppedText = QStringLiteral("the undo was stopped before its copy was whole");
const QString goneText = QStringLiteral("the trash no longer holds the file");

// The file at path as it is now; facts when they were just taken.
ScannedFile scannedNow(const QString& path, std::optional<FileFacts> facts = std::nullopt)
{
    ScannedFile file;
    file.path = path;
    if (!facts)
        facts = factsOf(path);
    if (facts) {
        file.deviceId = facts->device;
        file.inode = facts->inode;
        file.fileSize = facts->size;
        file.modTime = facts->modTime;
        file.changeTime = facts->changeTime;
        file.modSeconds = facts->modTime.seconds;
    }
    return file;
}

// A value read by get(buffer, size), as the extended-attribute calls read:
// asked for its size first, read again when it grew meanwhile. None with
// errno set.
std::optional<QByteArray> readGrowing(const std::function<ssize_t(char*, size_t)>& get)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0)
            return std::nullopt;
        QByteArray value(size, Qt::Uninitialized);
        const ssize_t got = get(value.data(), static_cast<size_t>(value.size()));
        if (got >= 0 && got <= value.size()) {
            value.truncate(got);
            return value;
        }
        if (got < 0 && errno != ERANGE)
            return std::nullopt;
    }
    errno = ERANGE;
    return std::nullopt;
}

constexpr char accessList[] = "system.posix_acl_access";

// What of the file open at from could not be given to the file open at to:
// its owner (and group), and each extended attribute, the access list
// among them. Each lost part is added to lost, and the first reason to why.
void keepOwnerAndAttributes(int from, int to, const struct stat& status, QStringList& lost, QString& why)
{
    const auto note = [&lost, &why](const QString& what, int error) {
        lost.append(what);
        if (why.isEmpty())
            why = errnoText(error);
    };
    // First the owner: giving a file away clears its set-id bits and file
    // capabilities, which the mode and the attributes set after it bring back.
    if (::fchown(to, status.st_uid, status.st_gid) != 0) {
        const int error = errno;
        // Without the right to give a file away, its group may still be one
        // of the user's.
        if (error == EPERM)
            ::fchown(to, static_cast<uid_t>(-1), status.st_gid);
        struct stat now { };
        if (::fstat(to, &now) == 0) {
            if (now.st_uid != status.st_uid)
                note(QStringLiteral("its owner (user %1)").arg(status.st_uid), error);
            if (now.st_gid != status.st_gid)
                note(QStringLiteral("its group (group %1)").arg(status.st_gid), error);
        }
    }
    const auto names = readGrowing([from](char* buffer, size_t size) { return ::flistxattr(from, buffer, size); });
    if (!names) {
        if (errno != ENOTSUP)
            note(QStringLiteral("its extended attributes"), errno);
        return;
    }
    bool hasAccessList = false;
    for (const QByteArray& name : names->split('\0')) {
        if (name.isEmpty())
            continue;
        const bool isAccessList = name == accessList;
        hasAccessList = hasAccessList || isAccessList;
        const QString what = isAccessList ? QStringLiteral("its access list (ACL)")
                                          : QStringLiteral("its extended attribute %1").arg(QString::fromUtf8(name));
        const auto value = readGrowing([from, &name](char* buffer, size_t size) {
            return ::fgetxattr(from, name.constData(), buffer, size);
        });
        if (!value) {
            // Gone since it was listed: nothing to keep.
            if (errno != ENODATA)
                note(what, errno);
            continue;
        }
        if (::fsetxattr(to, name.constData(), value->constData(), static_cast<size_t>(value->size()), 0) != 0)
            note(what, errno);
    }
    // An access list the new file took from its folder's default one is not
    // the file's own.
    if (!hasAccessList)
        ::fremovexattr(to, accessList);
}

// Reads the access list in the kernel's form (a version, then a tag,
// permissions and id per entry): whether each entry naming a user or group
// gets, through mask, no more than others get (others); false for a list
// that cannot be read.
bool namedEntriesGrantNoMore(const QByteArray& list, quint32 mask, quint32 others)
{
    constexpr int header = 4;
    constexpr int entrySize = 8;
    if (list.size() < header || (list.size() - header) % entrySize != 0)
        return false;
    const auto read = [&list](int at, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | quint8(list.at(at + i));
        return value;
    };
    if (read(0, 4) != 2)
        return false;
    constexpr quint32 namedUser = 0x02;
    constexpr quint32 namedGroup = 0x08;
    for (int at = header; at < list.size(); at += entrySize) {
        const quint32 tag = read(at, 2);
        const quint32 permissions = read(at + 2, 2);
        if ((tag == namedUser || tag == namedGroup) && (permissions & mask & ~others) != 0)
            return false;
    }
    return true;
}

// Gives the copy open at to, which stands in for a removed file, the access
// of that file (access) and no more: its permission bits, with its owner and
// group where the system allows, a set-id bit only with the owner or group
// it was given by, and group bits beyond the others' only for the removed
// file's own group. Of the source's extended attributes (open at from) the
// user's own go with it (they grant nothing), its access list only where no
// user or group it names gets more than the others got; the rest stay
// behind. What could not be kept is added to lost, the first reason to why.
// The mode the copy is to get.
mode_t narrowToRemovedFile(int from, int to, const FileAccess& access, QStringList& lost, QString& why)
{
    const auto note = [&lost, &why](const QString& what, int error) {
        lost.append(what);
        if (why.isEmpty() && error != 0)
            why = errnoText(error);
    };
    mode_t mode = access.mode & 07777;
    struct stat now { };
    int chownError = 0;
    if (::fstat(to, &now) == 0 && (now.st_uid != access.owner || now.st_gid != access.group)) {
        if (::fchown(to, access.owner, access.group) != 0) {
            chownError = errno;
            // Without the right to give a file away, its group may still be
            // one of the user's.
            ::fchown(to, static_cast<uid_t>(-1), access.group);
        }
    }
    const bool looked = ::fstat(to, &now) == 0;
    const bool ownOwner = looked && now.st_uid == access.owner;
    const bool ownGroup = looked && now.st_gid == access.group;
    if (!ownOwner)
        note(QStringLiteral("its owner (user %1)").arg(access.owner), chownError);
    if (!ownGroup) {
        note(QStringLiteral("its group (group %1)").arg(access.group), chownError);
        // The copy's group is another: its members get no more than others.
        mode &= ~(S_IRWXG & ~((mode & S_IRWXO) << 3));
    }
    const auto dropBit = [&](mode_t bit, bool keptWith, const char* what) {
        if ((mode & bit) == 0 || keptWith)
            return;
        mode &= ~bit;
        lost.append(QLatin1String(what));
    };
    dropBit(S_ISUID, ownOwner, "its set-user-ID bit");
    dropBit(S_ISGID, ownGroup, "its set-group-ID bit");

    const auto names = readGrowing([from](char* buffer, size_t size) { return ::flistxattr(from, buffer, size); });
    if (!names && errno != ENOTSUP)
        note(QStringLiteral("its kept copy's extended attributes"), errno);
    bool hasAccessList = false;
    for (const QByteArray& name : names ? names->split('\0') : QList<QByteArray> {}) {
        if (name.isEmpty())
            continue;
        const bool isAccessList = name == accessList;
        const QString what = isAccessList ? QStringLiteral("its access list (ACL)")
                                          : QStringLiteral("its extended attribute %1").arg(QString::fromUtf8(name));
        if (!isAccessList && !name.startsWith("user.")) {
            // A label the system gives each file, or an attribute that
            // grants what the removed file may not have granted.
            if (name != "security.selinux")
                note(what, 0);
            continue;
        }
        const auto value = readGrowing(
            [from, &name](char* buffer, size_t size) { return ::fgetxattr(from, name.constData(), buffer, size); });
        if (!value) {
            if (errno != ENODATA)
                note(what, errno);
            continue;
        }
        // The access list's mask becomes the group bits once the mode is
        // set: what its named entries get through that mask is weighed.
        if (isAccessList && !namedEntriesGrantNoMore(*value, (mode & S_IRWXG) >> 3, mode & S_IRWXO)) {
            note(what, 0);
            continue;
        }
        if (::fsetxattr(to, name.constData(), value->constData(), static_cast<size_t>(value->size()), 0) != 0)
            note(what, errno);
        else
            hasAccessList = hasAccessList || isAccessList;
    }
    // An access list the new file took from its folder's default one is not
    // the removed file's.
    if (!hasAccessList)
        ::fremovexattr(to, accessList);
    return mode;
}

// How a copy is made and what it is held to.
struct CopyTerms {
    // The removed file itself (across volumes): it keeps its owner where the
    // system allows, its permission bits and every extended attribute.
    // Otherwise a copy that stands in for it gets the access it had
    // (narrowToRemovedFile): standsFor, or where that was not recorded the
    // source's permission bits for its owner alone.
    bool itself = false;
    std::optional<FileAccess> standsFor;
    // The digest the copy's bytes must have, as they were written, before a
    // copy that stands in takes its name (a copy of the file itself is
    // named all the same, and its result tells); empty: none is asked.
    QString md5;
    // Asked once the copy is whole, before it takes its name: a reason it
    // answers drops the copy.
    std::function<QString()> beforeNaming;
};

// What a copy came to, beside its error.
struct CopyResult {
    // What the copy could not keep, and the first reason.
    QStringList lost;
    QString why;
    // The copy's name is flushed with its folder.
    bool durable = false;
    // The digest of what was written is not the one asked for.
    bool otherBytes = false;

    QString notKept() const
    {
        if (lost.isEmpty())
            return {};
        return why.isEmpty() ? QStringLiteral("without %1").arg(lost.join(QStringLiteral(", ")))
                             : QStringLiteral("without %1 (%2)").arg(lost.join(QStringLiteral(", ")), why);
    }
};

// Copies the regular file open at source into a new file named to.name in
// its folder, through a temporary name beside it (RestoreCopies), so that
// the name either gets the whole copy or nothing, and never replaces a file
// that is there. Only the source's data is copied: its holes, and its runs
// of zeros, stay holes (copyFileData), and the digest of the bytes written
// is taken as they are written. keepCopying is asked before each piece; a
// copy it stops is removed. The copy keeps the source's modification time,
// and its access as terms ask; its name is flushed with its folder. Empty
// on success.
QString copyWithoutReplacing(
    int source, const Destination& to, const KeepCopying& keepCopying, const CopyTerms& terms, CopyResult& result)
{
    struct stat status { };
    if (source < 0 || ::fstat(source, &status) != 0)
        return errnoText(errno);
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("not a regular file");
    RestoreCopies::Started target = RestoreCopies::start(to.folder, to.folderPath);
    if (!target.fd.isOpen())
        return target.error;
    // Written back to the disk at its pace as it goes, so that neither a stop
    // nor the flush at the end waits long, however slow the disk.
    WriteBackPace pace(target.fd.get());
    QCryptographicHash digest(QCryptographicHash::Md5);
    QString error;
    const DataCopyEnd data = copyFileData(source, target.fd.get(), status.st_size, keepCopying, &pace, &digest);
    if (data.stopped)
        error = stoppedText;
    else if (data.error != 0)
        error = errnoText(data.error);
    result.otherBytes
        = error.isEmpty() && !terms.md5.isEmpty() && QString::fromLatin1(digest.result().toHex()) != terms.md5;
    if (result.otherBytes && !terms.itself)
        error = QStringLiteral("other bytes");
    mode_t mode = status.st_mode & 07777;
    if (error.isEmpty() && terms.itself) {
        keepOwnerAndAttributes(source, target.fd.get(), status, result.lost, result.why);
        // A set-id bit serves only with the owner or group it was given by:
        // on a copy that is the user's own instead, a program would run as
        // the user for whoever starts it.
        struct stat copied { };
        const bool looked = ::fstat(target.fd.get(), &copied) == 0;
        const auto dropBit = [&](mode_t bit, bool keptWith, const char* what) {
            if ((mode & bit) == 0 || (looked && keptWith))
                return;
            mode &= ~bit;
            result.lost.append(QLatin1String(what));
        };
        dropBit(S_ISUID, copied.st_uid == status.st_uid, "its set-user-ID bit");
        dropBit(S_ISGID, copied.st_gid == status.st_gid, "its set-group-ID bit");
    } else if (error.isEmpty()) {
        // Where the removed file's access was not recorded, its kept copy's
        // for the user alone: the safe side.
        const FileAccess access = terms.standsFor.value_or(
            FileAccess { quint32(status.st_mode & S_IRWXU), quint32(::geteuid()), quint32(::getegid()) });
        mode = narrowToRemovedFile(source, target.fd.get(), access, result.lost, result.why);
    }
    const struct timespec times[2] = { status.st_atim, status.st_mtim };
    if (error.isEmpty()
        && (::fchmod(target.fd.get(), mode) != 0 || ::futimens(target.fd.get(), times) != 0
            || ::fsync(target.fd.get()) != 0))
        error = errnoText(errno);
    if (error.isEmpty() && terms.beforeNaming)
        error = terms.beforeNaming();
    if (error.isEmpty()) {
        if (const int failure = renameAtWithoutReplacing(to.folder, target.name, to.folder, to.name); failure != 0)
            error = failure == EEXIST ? QStringLiteral("a file is already at this path") : errnoText(failure);
    }
    if (!error.isEmpty())
        ::unlinkat(to.folder, target.name.constData(), 0);
    RestoreCopies::finish(target.tag);
    if (!error.isEmpty()) {
        // What it had handed to its disk is not waited for.
        letGoOfGivenUpCopy(target.fd.release());
        return error;
    }
    // The copy's name on the disk too, before anything lets go of the
    // original.
    const FileDescriptor folder(::openat(to.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    result.durable = folder.isOpen() && ::fsync(folder.get()) == 0;
    return error;
}

// Whether the trash entry of entry is gone from its info folder, nothing
// else under its name.
bool trashEntryIsGone(const TrashEntry& entry)
{
    const FileDescriptor info = entry.trash->openPart("info");
    return info.isOpen() && !factsAt(info.get(), entry.infoName(), AT_SYMLINK_NOFOLLOW) && errno == ENOENT;
}

// Whether the file found now is, by the removal's own record of the file it
// put into the trash, that very file: by its birth time where the file
// system keeps one, elsewhere by every fact as it was right after the move
// (a file made since that got the freed inode differs in its change time).
bool provenByRecord(const FileFacts& now, const FileFacts& recorded)
{
    if (!now.sameFileAs(recorded))
        return false;
    if (now.birthTime != FileTimestamp {} && recorded.birthTime != FileTimestamp {})
        return true;
    return now == recorded;
}

// Moves the trashed file back to its path, never over a file; across volumes
// it is copied and the trashed copy removed afterwards, and notKept tells
// what the copy could not keep. The file is reached from the trash folder
// held since the removal, the removed one by its device and inode, under the
// very entry the removal wrote, or with no entry at all where the removal's
// record proves the file (provenByRecord): then entryGone is set. One still
// written to after its removal (a log) comes back too, and changed says so;
// restored holds the file at its path when it was moved. Empty on success.
QString moveOutOfTrash(const PlannedRestore& item, const Destination& to, const KeepCopying& keepCopying, bool& changed,
    std::optional<FileFacts>& restored, QString& notKept, bool& trashedKept, bool& gone, bool& entryGone)
{
    gone = false;
    entryGone = false;
    if (!item.trashEntry.isSet())
        return goneText;
    const FileDescriptor files = item.trashEntry.trash->openPart("files");
    // A trash folder moved or replaced since the removal is told as that.
    if (!files.isOpen() && errno == ESTALE) {
        if (const auto fault = item.trashEntry.trash->recheck())
            return *fault;
    }
    const QByteArray& name = item.trashEntry.name;
    const auto now = files.isOpen() ? factsAt(files.get(), name, AT_SYMLINK_NOFOLLOW) : std::nullopt;
    if (!now) {
        // Looked for in the trash and not there: emptied, or deleted from it.
        gone = files.isOpen() && errno == ENOENT;
        return goneText;
    }
    const QString notTheFile = QStringLiteral("the file in the trash is not the removed file");
    if (!now->regular || !now->sameFileAs(item.trashed))
        return notTheFile;
    // Where a file system keeps no birth time, a new file at this path may
    // get the freed inode, and the desktop trash it here under the same name
    // once the trash was emptied: only the entry this program wrote shows
    // the file is the one it removed.
    // Its entry alone deleted (by hand, or by a tool that tidies the trash):
    // the file is still the one, and nothing is left to remove.
    if (!isTrashEntryAsWritten(item.trashEntry, item.trashInfoText, item.trashInfo)) {
        if (!trashEntryIsGone(item.trashEntry))
            return localizedText("ID_UNDO_TRASH_ENTRY_NOT_MADE_HERE");
        if (!provenByRecord(*now, item.trashed))
            return QStringLiteral("its trash entry is gone, and the file under its name in the trash has changed "
                                  "since the removal, so nothing proves it is the removed file");
        entryGone = true;
    }
    if (originalPathInTrashInfo(item.trashInfoText) != item.originalPath)
        return QStringLiteral("its trash entry does not name this path");
    changed = *now != item.trashed;
    const int error = renameAtWithoutReplacing(files.get(), name, to.folder, to.name);
    if (error == 0) {
        // Swapped in the trash between the look and the move: it goes back.
        const auto moved = factsAt(to.folder, to.name, AT_SYMLINK_NOFOLLOW);
        if (moved && moved->sameFileAs(item.trashed)) {
            restored = moved;
            return {};
        }
        if (renameAtWithoutReplacing(to.folder, to.name, files.get(), name) != 0)
            Log::print("Undo: a file that is not the removed one stays at", item.originalPath);
        return notTheFile;
    }
    if (error == EEXIST)
        return QStringLiteral("a file is already at this path");
    if (error != EXDEV)
        return errnoText(error);
    // Its folder lies on another volume now: a copy of the very file.
    const FileDescriptor source(::openat(files.get(), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const auto opened = source.isOpen() ? factsAt(source.get(), QByteArray(), AT_EMPTY_PATH) : std::nullopt;
    if (!opened || !opened->regular || !opened->sameFileAs(item.trashed))
        return notTheFile;
    // Where it is still as the removal left it, its bytes must be the
    // removed file's: a write no time shows (through a shared mapping)
    // makes it a changed file too.
    CopyTerms terms;
    terms.itself = true;
    terms.md5 = changed ? QString() : item.md5;
    CopyResult copy;
    if (QString error = copyWithoutReplacing(source.get(), to, keepCopying, terms, copy); !error.isEmpty())
        return error;
    notKept = copy.notKept();
    // Written to while it was copied: what the copy missed is not lost
    // with it.
    const auto copied = factsAt(source.get(), QByteArray(), AT_EMPTY_PATH);
    if (copy.otherBytes || !copied || copied->size != opened->size || copied->modTime != opened->modTime) {
        changed = true;
        trashedKept = true;
        Log::print("Undo: the file was written to while it was copied back; it stays in the trash too at",
            item.trashedPath);
    } else if (!copy.durable)
        Log::print("Undo: the restored file's folder could not be flushed; its copy stays in the trash at",
            item.trashedPath);
    else if (::unlinkat(files.get(), name.constData(), 0) != 0)
        Log::print("Undo: the restored file's copy stays in the trash at", item.trashedPath, errnoText(errno));
    return {};
}

// Why the kept file open at fd may no longer hold the bytes it held when
// they were proven: another file now, or written to since (its size,
// modification or change time moved; the change time moves with every
// write, and no one but the system sets it). Empty while it is as proven.
QString keptFileMoved(int fd, const FileFacts& proven)
{
    const auto now = factsAt(fd, QByteArray(), AT_EMPTY_PATH);
    if (!now)
        return errnoText(errno);
    if (!now->regular || !now->sameFileAs(proven) || now->size != proven.size || now->modTime != proven.modTime
        || now->changeTime != proven.changeTime)
        return QStringLiteral("changed");
    return {};
}

// What a copy from a kept file came to.
struct KeptFileCopy {
    QString error;
    // The kept file no longer holds the bytes proven (or the digest given):
    // nothing was copied from it.
    bool changed = false;
};

// Copies the kept file held at kept back to the destination, to stand in
// for the removed file of item, only while it holds the bytes proven: it
// must still be the file proven, unwritten since, before the copy and again
// once the copy is whole, and the digest of the bytes the copy was written
// with must be the removed file's (item.md5, which must be given): a file
// written to in a way no time shows (through a shared mapping) is caught by
// that alone. A copy of a file changed meanwhile is dropped. The copy gets
// no more access than the removed file had; notKept tells what it lost.
KeptFileCopy copyKeptFile(const HeldFile& kept, const FileFacts& proven, const PlannedRestore& item,
    const Destination& to, const KeepCopying& keepCopying, QString& notKept)
{
    const int fd = kept.fd.get();
    if (item.md5.isEmpty() || !keptFileMoved(fd, proven).isEmpty())
        return { {}, true };
    bool moved = false;
    CopyTerms terms;
    terms.standsFor = item.access;
    terms.md5 = item.md5;
    terms.beforeNaming = [&]() -> QString {
        if (keptFileMoved(fd, proven).isEmpty())
            return {};
        moved = true;
        return QStringLiteral("changed");
    };
    CopyResult copy;
    const QString error = copyWithoutReplacing(fd, to, keepCopying, terms, copy);
    const bool changed = moved || copy.otherBytes;
    if (error.isEmpty())
        notKept = copy.notKept();
    return { changed ? QString() : error, changed };
}

// A kept file held for reading: its folders resolved once, never through a
// link put on the way since, and the file itself never through a link.
HeldFile holdKeptFile(const QString& path)
{
    return holdFile(path, FolderLinks::resolvedFirst);
}

// A trashed file the trash no longer holds comes back as a copy of the kept
// copy that vouched for it at its removal, only while that is still the
// file whose bytes were compared then and nothing wrote to it since, and
// the copy's own bytes have the removed file's digest (the scan's, or the
// one the removal took as it compared them). copiedFrom names the kept copy.
QString copyFromVouchingCopy(const PlannedRestore& item, const Destination& to, const KeepCopying& keepCopying,
    QString& copiedFrom, QString& notKept)
{
    if (!item.vouched || item.vouched->heldPath.isEmpty())
        return goneText;
    const VouchingCopy& vouched = *item.vouched;
    if (item.md5.isEmpty())
        return QStringLiteral("%1, and no digest of its bytes was kept to prove a copy of its kept copy %2")
            .arg(goneText, vouched.path);
    const HeldFile kept = holdKeptFile(vouched.heldPath);
    if (!kept.isHeld())
        return QStringLiteral("%1, and its kept copy %2 cannot be used: %3").arg(goneText, vouched.path, kept.refusal);
    const KeptFileCopy copy = copyKeptFile(kept, vouched.facts, item, to, keepCopying, notKept);
    if (copy.changed)
        return QStringLiteral("%1, and its kept copy %2 has changed since the removal, so it was not used")
            .arg(goneText, vouched.path);
    if (copy.error.isEmpty())
        copiedFrom = vouched.path;
    return copy.error;
}

// A copy of a kept file whose content still equals the removed file's.
QString copyFromKeptFile(const PlannedRestore& item, const Destination& to, const KeepCopying& keepCopying,
    const std::atomic<bool>& abort, QString& copiedFrom, QString& notKept)
{
    if (item.md5.isEmpty())
        return QStringLiteral("its group was not compared by content, so no other file may stand in for it");
    static const std::vector<QString> none;
    for (const QString& path : item.keptPaths ? *item.keptPaths : none) {
        if (abort.load())
            return stoppedText;
        if (path == item.originalPath)
            continue;
        const HeldFile kept = holdKeptFile(path);
        if (!kept.isHeld())
            continue;
        const KeptFileCopy copy = copyKeptFile(kept, kept.facts, item, to, keepCopying, notKept);
        if (copy.changed)
            continue;
        if (copy.error.isEmpty())
            copiedFrom = path;
        return copy.error;
    }
    return QStringLiteral("no kept file with the same content is left");
}

RestoreOutcome restoreOne(
    const PlannedRestore& item, CloudRemover& cloud, const KeepCopying& keepCopying, const std::atomic<bool>& abort)
{
    RestoreOutcome outcome;
    outcome.file = item.file;
    outcome.group = item.group;
    outcome.path = item.originalPath;
    outcome.resultSetId = item.resultSetId;
    if (item.route == RemovalRoute::cloud) {
        outcome.restored = cloud.restoreCloudFile(item.source, *item.file, outcome.cloudNow, outcome.reason);
        return outcome;
    }
    if (item.originalPath.isEmpty() || QFileInfo(item.originalPath).isRelative()) {
        outcome.reason = QStringLiteral("not an absolute path");
        return outcome;
    }
    const QFileInfo path(item.originalPath);
    const RestoreFolder folder = reachOriginalFolder(path.path(), item.originalFolder.get());
    if (!folder.fd.isOpen()) {
        outcome.reason = folder.refusal;
        return outcome;
    }
    const Destination to { folder.fd.get(), path.path(), QFile::encodeName(path.fileName()) };
    if (factsAt(to.folder, to.name, AT_SYMLINK_NOFOLLOW) || errno != ENOENT) {
        outcome.reason = QStringLiteral("a file is already at this path");
        return outcome;
    }
    outcome.byCopy = item.trashedPath.isEmpty();
    std::optional<FileFacts> now;
    bool gone = false;
    bool entryGone = false;
    outcome.reason = outcome.byCopy
        ? copyFromKeptFile(item, to, keepCopying, abort, outcome.copiedFrom, outcome.notKept)
        : moveOutOfTrash(
            item, to, keepCopying, outcome.changed, now, outcome.notKept, outcome.trashedKept, gone, entryGone);
    outcome.removesTrashEntry = !outcome.byCopy && !entryGone && !outcome.trashedKept;
    if (gone) {
        outcome.byCopy = true;
        outcome.reason = copyFromVouchingCopy(item, to, keepCopying, outcome.copiedFrom, outcome.notKept);
        // Its file gone, the entry the removal wrote stays only where it is
        // no longer as written: one of the desktop's under the same name.
        outcome.removesTrashEntry = isTrashEntryAsWritten(item.trashEntry, item.trashInfoText, item.trashInfo);
    }
    outcome.restored = outcome.reason.isEmpty();
    if (!outcome.restored)
        return outcome;
    outcome.now = scannedNow(item.originalPath, now);
    return outcome;
}

// Entries moved back per batch at most, and the longest a batch moves
// files before their entries go: Stop waits no longer than that and the
// removal of at most a batch's entries.
constexpr std::size_t batchFiles = 256;
constexpr qint64 batchNs = 100'000'000;

} // namespace

UndoCopySources undoCopySources(const std::vector<RemovedFile>& undoList)
{
    // The kept files of a group by digest, gathered once per group: a group
    // of thousands of copies is gone through once, not once per copy.
    using KeptByDigest = QHash<QString, std::shared_ptr<std::vector<QString>>>;
    std::unordered_map<const DuplicateGroup*, KeptByDigest> keptOfGroup;
    const auto keptFiles = [&keptOfGroup](const DuplicateGroup& group) -> const KeptByDigest& {
        auto [kept, first] = keptOfGroup.try_emplace(&group);
        if (!first)
            return kept->second;
        for (const FileInfoNodePtr& member : group.children) {
            if (member->isMoveToTrash || !member->isMd5Calucaluted || !member->md5 || member->md5->isEmpty()
                || !member->filePath)
                continue;
            auto& paths = kept->second[*member->md5];
            if (!paths)
                paths = std::make_shared<std::vector<QString>>();
            paths->push_back(*member->filePath);
        }
        return kept->second;
    };
    UndoCopySources sources;
    for (const RemovedFile& removed : undoList) {
        if (removed.route == RemovalRoute::cloud || !removed.file || !removed.group)
            continue;
        const FileInfoNode& file = *removed.file;
        if (!file.isMd5Calucaluted || !file.md5 || file.md5->isEmpty())
            continue;
        // A trashed file comes back as a copy only of the kept copy that
        // vouched for it, whose digest is read again then; a file deleted
        // outright, of any kept file with its digest.
        sources.ofFile[&file]
            = { *file.md5, removed.trashedPath.isEmpty() ? keptFiles(*removed.group).value(*file.md5) : nullptr };
    }
    return sources;
}

std::vector<PlannedRestore> makeUndoPlan(const std::vector<RemovedFile>& undoList, const UndoCopySources& sources)
{
    std::vector<PlannedRestore> plan;
    plan.reserve(undoList.size());
    for (const RemovedFile& removed : undoList) {
        PlannedRestore item;
        item.file = removed.file;
        item.group = removed.group;
        item.route = removed.route;
        item.source = removed.source;
        item.originalPath = removed.originalPath;
        item.trashedPath = removed.trashedPath;
        item.trashEntry = removed.trashEntry;
        item.trashed = removed.trashed;
        item.trashInfoText = removed.trashInfoText;
        item.trashInfo = removed.trashInfo;
        item.originalFolder = removed.originalFolder;
        item.vouched = removed.vouched;
        item.resultSetId = removed.resultSetId;
        if (const auto source = sources.ofFile.find(removed.file.get()); source != sources.ofFile.end()) {
            item.md5 = source->second.md5;
            item.keptPaths = source->second.keptPaths;
        }
        if (item.md5.isEmpty() && !removed.trashedPath.isEmpty())
            item.md5 = removed.record.md5;
        item.access = removed.record.access;
        plan.push_back(std::move(item));
    }
    return plan;
}

std::vector<PlannedRestore> makeUndoPlan(const std::vector<RemovedFile>& undoList)
{
    return makeUndoPlan(undoList, undoCopySources(undoList));
}

std::vector<RestoreOutcome> executeUndoPlan(const std::vector<PlannedRestore>& plan, CloudRemover& cloud,
    const std::atomic<bool>& abort, const std::function<void(const RestoreOutcome&)>& onEach,
    const std::function<void(const PlannedRestore&, qint64 copied)>& onCopied)
{
    std::vector<RestoreOutcome> outcomes;
    outcomes.reserve(plan.size());
    std::vector<TrashEntry> entries;
    QElapsedTimer clock;
    for (std::size_t index = 0; index < plan.size() && !abort.load();) {
        // A batch: its files back first, then the entries of those that
        // came back out of the trash.
        entries.clear();
        clock.start();
        for (const std::size_t first = index;
             index < plan.size() && index - first < batchFiles && clock.nsecsElapsed() < batchNs && !abort.load();
             ++index) {
            const PlannedRestore& item = plan[index];
            outcomes.push_back(restoreOne(
                item, cloud,
                [&](qint64 copied) {
                    if (onCopied)
                        onCopied(item, copied);
                    return !abort.load();
                },
                abort));
            const RestoreOutcome& outcome = outcomes.back();
            if (!outcome.restored)
                Log::print("Undo: not restored", item.originalPath, outcome.reason);
            else if (item.trashEntry.isSet() && outcome.removesTrashEntry)
                entries.push_back(item.trashEntry);
            if (outcome.restored && !outcome.notKept.isEmpty())
                Log::print("Undo: restored", item.originalPath, outcome.notKept);
            if (outcome.restored && !outcome.copiedFrom.isEmpty())
                Log::print("Undo: restored", item.originalPath, "as a copy of", outcome.copiedFrom);
            if (onEach)
                onEach(outcome);
        }
        removeTrashEntries(entries);
    }
    // Until the next undo the trash folders are held by their paths only,
    // so that their volumes can be unmounted meanwhile.
    for (const PlannedRestore& item : plan) {
        if (item.trashEntry.trash)
            item.trashEntry.trash->release();
    }
    return outcomes;
}
