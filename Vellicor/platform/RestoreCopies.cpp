#include "platform/RestoreCopies.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "platform/HeldFile.h"
#include "platform/JournalRecords.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray copyPrefix = QByteArrayLiteral(".vellicor-restore-");

// Tags are made of letters and digits alone.
bool isTag(const QString& tag)
{
    return !tag.isEmpty()
        && std::all_of(tag.begin(), tag.end(), [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 128; });
}

} // namespace

namespace RestoreCopies {

QString folder()
{
    return AppPaths::stateFolder() + QStringLiteral("/restore-copies");
}

Started start(int target, const QString& folderPath)
{
    Started copy;
    struct stat own { };
    if (::fstat(target, &own) != 0) {
        copy.error = errnoText(errno);
        return copy;
    }
    std::optional<QString> unrecorded = JournalRecords::ensureFolder(folder(), PrivateFiles::Make::ifMissing);
    for (int attempt = 0; attempt < 8 && !copy.fd.isOpen(); ++attempt) {
        copy.tag = JournalRecords::newTag();
        copy.name = copyPrefix + copy.tag.toLatin1();
        if (!unrecorded) {
            const JournalRecords::Fields fields { { "folder", QFile::encodeName(folderPath) },
                { "device", QByteArray::number(quint64(own.st_dev)) },
                { "inode", QByteArray::number(quint64(own.st_ino)) } };
            unrecorded = JournalRecords::write(folder(), copy.tag, fields, true, &copy.record);
            if (!unrecorded)
                JournalRecords::syncFolder(folder());
            else if (errno == EEXIST) {
                unrecorded.reset();
                continue;
            }
        }
        copy.fd.reset(::openat(target, copy.name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        const int error = errno;
        if (!unrecorded) {
            struct stat made { };
            if (!copy.fd.isOpen() || ::fstat(copy.fd.get(), &made) != 0)
                finish(copy.tag);
            else if (const auto failed = JournalRecords::append(folder(), copy.tag, "file", QByteArray::number(quint64(made.st_ino))))
                Log::print("Undo: the record of a copy could not be completed:", *failed);
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

int removeLeftRestoreCopies()
{
    const QString journal = RestoreCopies::folder();
    if (JournalRecords::ensureFolder(journal, PrivateFiles::Make::never))
        return 0;
    int removed = 0;
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
        // The folder as the copy was made in it, wherever its path leads.
        char* real = ::realpath(QFile::encodeName(folderPath).constData(), nullptr);
        const FileDescriptor folder(real ? openFolderWithoutLinks(QFile::decodeName(real)) : -1);
        ::free(real);
        struct stat own { };
        if (!folder.isOpen() || ::fstat(folder.get(), &own) != 0 || quint64(own.st_dev) != record->at("device").toULongLong()
            || quint64(own.st_ino) != record->at("inode").toULongLong())
            continue;
        const QByteArray name = copyPrefix + tag.toLatin1();
        struct stat copy { };
        if (::fstatat(folder.get(), name.constData(), &copy, AT_SYMLINK_NOFOLLOW) != 0) {
            // Renamed into place or removed before the run ended.
            if (errno == ENOENT)
                drop();
            continue;
        }
        const QString shown = folderPath + QLatin1Char('/') + QFile::decodeName(name);
        const auto file = record->find("file");
        // A copy given its owner before it was whole is no longer the
        // user's: the inode alone proves it.
        const bool ours = file != record->end() && S_ISREG(copy.st_mode) && copy.st_dev == own.st_dev && quint64(copy.st_ino) == file->second.toULongLong();
        if (!ours)
            Log::print("Undo: not the copy its record names, left alone:", shown);
        else if (::unlinkat(folder.get(), name.constData(), 0) != 0)
            Log::print("Undo: a partial copy an ended run had left stays:", shown, errnoText(errno));
        else {
            Log::print("Undo: removed a partial copy an ended run had left:", shown);
            ++removed;
        }
        drop();
    }
    return removed;
}
