#include "platform/RestoreCopies.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "platform/HeldFile.h"
#include "platform/JournalRecords.h"
#include "platform/RecordedVolume.h"
#include "platform/Trash.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QByteArray copyPrefix = QByteArrayLiteral(".vellicor-restore-");

// Tags are made of letters and digits alone.
bool isTag(const QString& tag)
{
    return !tag.isEmpty()
        && std::all_of(tag.begin(), tag.end(), [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 128; });
}

// The folder a record names, as the copy was made in it, wherever its path
// leads now; -1 with errno set.
int openRecordedFolder(const QString& folderPath, QString& realPath)
{
    char* real = ::realpath(QFile::encodeName(folderPath).constData(), nullptr);
    if (!real)
        return -1;
    realPath = QFile::decodeName(real);
    ::free(real);
    return openFolderWithoutLinks(realPath);
}

} // namespace

namespace RestoreCopies {

QString folder()
{
    return AppPaths::stateFolder() + QStringLiteral("/restore-copies");
}

Started start(int target, const QString& folderPath, const std::function<void()>& made)
{
    Started copy;
    struct stat own { };
    if (::fstat(target, &own) != 0) {
        copy.error = errnoText(errno);
        return copy;
    }
    std::optional<QString> unrecorded = JournalRecords::ensureFolder(folder(), PrivateFiles::Make::ifMissing);
    JournalRecords::Fields fields { { "folder", QFile::encodeName(folderPath) },
        { "inode", QByteArray::number(quint64(own.st_ino)) } };
    if (!unrecorded)
        RecordedVolume::of(target, folderPath).addTo(fields);
    for (int attempt = 0; attempt < 8 && !copy.fd.isOpen(); ++attempt) {
        copy.tag = JournalRecords::newTag();
        copy.name = copyPrefix + copy.tag.toLatin1();
        if (!unrecorded) {
            unrecorded = JournalRecords::write(folder(), copy.tag, fields, true, &copy.record);
            if (!unrecorded)
                JournalRecords::syncFolder(folder());
            else if (errno == EEXIST) {
                unrecorded.reset();
                continue;
            }
        }
        copy.fd.reset(
            ::openat(target, copy.name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        const int error = errno;
        if (!unrecorded) {
            const auto madeNow
                = copy.fd.isOpen() ? factsAt(copy.fd.get(), QByteArray(), AT_EMPTY_PATH) : std::nullopt;
            if (!madeNow) {
                finish(copy.tag);
            } else {
                if (made)
                    made();
                // On the disk before the copy's first byte: a copy with
                // anything in it is always proven by its inode, and by its
                // birth time where the file system keeps one (a file made
                // there later may get the freed inode).
                JournalRecords::Fields identity { { "file", QByteArray::number(madeNow->inode) } };
                if (madeNow->birthTime != FileTimestamp {})
                    identity["born"] = JournalRecords::timeText(madeNow->birthTime);
                if (const auto failed = JournalRecords::append(folder(), copy.tag, identity, true))
                    Log::print("Undo: the record of a copy could not be completed:", *failed);
            }
        }
        if (!copy.fd.isOpen() && error != EEXIST) {
            copy.error = errnoText(error);
            return copy;
        }
    }
    if (!copy.fd.isOpen()) {
        copy.error = errnoText(EEXIST);
        return copy;
    }
    if (unrecorded)
        Log::print("Undo: a copy is made unrecorded, so a run ended meanwhile would leave it:", *unrecorded);
    return copy;
}

void finish(const QString& tag)
{
    JournalRecords::remove(folder(), tag, "Undo: the record of a copy stays:");
}

} // namespace RestoreCopies

RestoreCopiesSweep removeLeftRestoreCopies(AwayCopies away)
{
    RestoreCopiesSweep sweep;
    const QString journal = RestoreCopies::folder();
    if (JournalRecords::ensureFolder(journal, PrivateFiles::Make::never))
        return sweep;
    for (const QString& tag : JournalRecords::tags(journal)) {
        // Held until this record is done with.
        FileDescriptor locked;
        if (JournalRecords::held(journal, tag, locked))
            continue;
        const auto record = JournalRecords::read(journal, tag);
        const auto drop = [&] { JournalRecords::remove(journal, tag, "Undo: the record of a copy stays:"); };
        // Not one this program wrote.
        if (!record || !isTag(tag) || !record->contains("folder") || !record->contains("device")
            || !record->contains("inode") || !record->at("folder").startsWith('/')) {
            Log::print("Undo: an unreadable record of a copy was dropped:", tag);
            drop();
            continue;
        }
        const QString folderPath = QFile::decodeName(record->at("folder"));
        const QByteArray name = copyPrefix + tag.toLatin1();
        const QString shown = folderPath + QLatin1Char('/') + QFile::decodeName(name);
        const QString movedFolder = QStringLiteral(
            "the folder it was made in has been moved or replaced since; the copy may be in that folder now");
        // Out of reach now: kept, and handed out once for the user to hear
        // where it may be.
        const auto keep = [&](const QString& why) {
            Log::print(
                "Undo: a partial copy an ended run may have left stays until its folder is reached:", shown, why);
            if (away != AwayCopies::toldOnce || record->contains("told"))
                return;
            sweep.away.push_back({ shown, why });
            JournalRecords::append(journal, tag, { { "told", "1" } });
        };
        QString realPath;
        const FileDescriptor folder(openRecordedFolder(folderPath, realPath));
        struct stat own { };
        if (!folder.isOpen() || ::fstat(folder.get(), &own) != 0) {
            keep(QStringLiteral("its folder cannot be reached now: %1").arg(errnoText(errno)));
            continue;
        }
        const VolumeMatch volume = matchVolume(RecordedVolume::from(*record), folder.get(), realPath);
        // The recorded file system: under the recorded number, or back under
        // another (its identity tells).
        const bool recordedVolume = volume == VolumeMatch::same || volume == VolumeMatch::sameDevice
            || volume == VolumeMatch::backUnderAnotherNumber;
        if (!recordedVolume) {
            keep(QStringLiteral("another volume is at its folder's path now"));
            continue;
        }
        // A folder moved away and another made at its path (on the same
        // volume, or on one that numbers its files anew at each mount) is
        // not the recorded one: the copy went with the folder.
        const bool recordedFolder = quint64(own.st_ino) == record->at("inode").toULongLong();
        const auto file = record->find("file");
        const auto born = record->find("born");
        struct statx copy { };
        if (::statx(folder.get(), name.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &copy) != 0) {
            // Renamed into place or removed before the run ended; in
            // another folder, still where the recorded one went.
            const int error = errno;
            if (error == ENOENT && recordedFolder)
                drop();
            else
                keep(error == ENOENT ? movedFolder : errnoText(error));
            continue;
        }
        const bool usersAlone = copy.stx_uid == ::geteuid() && copy.stx_nlink == 1;
        // The recorded inode is the copy only while it was not freed and
        // given to a file made later under that name: the copy's birth time
        // tells, where the file system keeps one; elsewhere a file of
        // another user's never is the copy, which stays the user's until it
        // is whole.
        const bool bornThen = born != record->end() && (copy.stx_mask & STATX_BTIME)
            && JournalRecords::timeFrom(born->second)
                == FileTimestamp { copy.stx_btime.tv_sec, copy.stx_btime.tv_nsec };
        const bool recordedInode = file != record->end() && quint64(copy.stx_ino) == file->second.toULongLong()
            && makedev(copy.stx_dev_major, copy.stx_dev_minor) == own.st_dev;
        const bool regular = S_ISREG(copy.stx_mode);
        bool ours = false;
        if (!recordedFolder) {
            // Only the copy's own inode and birth time prove it there (the
            // user moved it in): whatever else stands at its name stays, and
            // the record waits for its folder.
            if (!(regular && copy.stx_nlink == 1 && recordedInode && bornThen)) {
                Log::print("Undo: not provably the copy its record names, left alone:", shown);
                keep(movedFolder);
                continue;
            }
            ours = true;
        } else if (file == record->end()) {
            // Made, and the run ended before its inode was recorded: nothing
            // was written in it yet.
            ours = regular && usersAlone && copy.stx_size == 0;
        } else {
            // A whole copy given its owner is no longer the user's: its
            // recorded inode and birth time prove it.
            ours = regular && recordedInode && (born != record->end() ? bornThen : usersAlone);
        }
        if (!ours)
            Log::print("Undo: not the copy its record names, left alone:", shown);
        else if (::unlinkat(folder.get(), name.constData(), 0) != 0)
            Log::print("Undo: a partial copy an ended run had left stays:", shown, errnoText(errno));
        else {
            Log::print("Undo: removed a partial copy an ended run had left:", shown);
            ++sweep.removed;
        }
        drop();
    }
    return sweep;
}
