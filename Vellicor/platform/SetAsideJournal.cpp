#include "platform/SetAsideJournal.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"
#include "core/FileUtilities.h"
#include "platform/FileSystemInfo.h"
#include "platform/HeldFile.h"
#include "platform/JournalRecords.h"
#include "platform/RecordedVolume.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

struct Record {
    QString path;
    QString aside;
    // The volume of the set-aside's folder.
    RecordedVolume volume;
    quint64 inode = 0;
    // Size and modification time of the file; a record written by an
    // earlier version has none.
    std::optional<quint64> size;
    std::optional<FileTimestamp> modTime;
    // Its birth time, where its file system keeps one: a file made at the
    // set-aside name later may get the freed inode, never this time.
    std::optional<FileTimestamp> born;
    // The program that wrote it (JournalRecords::thisWriter); none in a
    // record of an earlier version.
    QByteArray writer;
    // Whether the user was told the file was missing where it was set aside.
    bool told = false;
    // Whether the file was set aside (not in a record of an earlier version,
    // or of a batch's file whose turn never came), and whether the program
    // put it back itself.
    bool setAside = false;
    bool putBack = false;
};

// The tags this run recorded: its own removals', which a start's recovery
// running beside them leaves alone.
struct OwnTags {
    std::mutex lock;
    QSet<QString> tags;
};

OwnTags& ownTags()
{
    static OwnTags& own = *new OwnTags;
    return own;
}

const QByteArray asidePrefix = QByteArrayLiteral(".vellicor-removing-");

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QByteArray nameOf(const QString& path)
{
    return QFile::encodeName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

// The record of tag, or none when it is not one this program wrote: the
// set-aside name must be the one made for that very tag, so that nothing
// else is ever renamed at the start, whatever a record says.
std::optional<Record> readRecord(const QString& tag)
{
    const auto fields = JournalRecords::read(SetAsideJournal::folder(), tag);
    if (!fields)
        return std::nullopt;
    Record record;
    for (const auto& [key, value] : *fields) {
        if (key == "path")
            record.path = QFile::decodeName(value);
        else if (key == "aside")
            record.aside = QFile::decodeName(value);
        else if (key == "inode")
            record.inode = value.toULongLong();
        else if (key == "size")
            record.size = value.toULongLong();
        else if (key == "modified")
            record.modTime = JournalRecords::timeFrom(value);
        else if (key == "born")
            record.born = JournalRecords::timeFrom(value);
        else if (key == "writer")
            record.writer = value;
        else if (key == "told")
            record.told = value == "1";
        else if (key == "setaside")
            record.setAside = value == "1";
        else if (key == "putback")
            record.putBack = value == "1";
    }
    record.volume = RecordedVolume::from(*fields);
    const QByteArray original = nameOf(record.path);
    if (!record.path.startsWith(QLatin1Char('/')) || !record.aside.startsWith(QLatin1Char('/')) || tag.isEmpty()
        || nameOf(record.aside) != asidePrefix + QFile::encodeName(tag) || original.isEmpty() || original == "."
        || original == ".." || original.contains('\0') || record.inode == 0)
        return std::nullopt;
    return record;
}

} // namespace

namespace SetAsideJournal {

QString folder()
{
    return AppPaths::stateFolder() + QStringLiteral("/set-aside");
}

namespace {

std::optional<QString> ensureFolder(PrivateFiles::Make make)
{
    return JournalRecords::ensureFolder(folder(), make);
}

// The volume of the folder a set-aside is made in, as its record names it:
// asked once per device of a batch.
class VolumesOfBatch {
public:
    RecordedVolume of(const SetAsideRecord& record)
    {
        const auto known = volumes_.find(record.facts.device);
        if (known != volumes_.end())
            return known->second;
        const QString folderPath = folderOf(record.aside);
        const FileDescriptor folder(openFolderWithoutLinks(folderPath));
        RecordedVolume volume;
        if (folder.isOpen())
            volume = RecordedVolume::of(folder.get(), folderPath);
        else
            volume.network = isNetworkVolume(folderPath);
        volume.device = record.facts.device;
        return volumes_.emplace(record.facts.device, volume).first->second;
    }

private:
    std::unordered_map<quint64, RecordedVolume> volumes_;
};

// Writes the record, synced when durably; errno is EEXIST when the tag is
// taken.
std::optional<QString> write(const SetAsideRecord& record, VolumesOfBatch& volumes, bool durably)
{
    JournalRecords::Fields fields { { "path", QFile::encodeName(record.path) },
        { "aside", QFile::encodeName(record.aside) }, { "inode", QByteArray::number(record.facts.inode) },
        { "size", QByteArray::number(record.facts.size) },
        { "modified", JournalRecords::timeText(record.facts.modTime) }, { "writer", JournalRecords::thisWriter() } };
    if (record.facts.birthTime != FileTimestamp {})
        fields["born"] = JournalRecords::timeText(record.facts.birthTime);
    volumes.of(record).addTo(fields);
    {
        const std::lock_guard guard(ownTags().lock);
        ownTags().tags.insert(record.tag);
    }
    auto error = JournalRecords::write(folder(), record.tag, fields, durably);
    if (error) {
        // Not this run's: a record of another run may have the tag.
        const int why = errno;
        {
            const std::lock_guard guard(ownTags().lock);
            ownTags().tags.remove(record.tag);
        }
        errno = why;
    }
    return error;
}

} // namespace

std::optional<QString> add(const QString& tag, const QString& path, const QString& aside, const FileFacts& facts)
{
    if (const auto error = ensureFolder(PrivateFiles::Make::ifMissing)) {
        errno = 0;
        return error;
    }
    VolumesOfBatch volumes;
    if (const auto error = write({ tag, path, aside, facts }, volumes, true))
        return error;
    JournalRecords::syncFolder(folder());
    return std::nullopt;
}

std::vector<QString> addTogether(const std::vector<SetAsideRecord>& records)
{
    if (records.empty() || ensureFolder(PrivateFiles::Make::ifMissing))
        return {};
    std::vector<QString> tags;
    std::vector<QString> paths;
    VolumesOfBatch volumes;
    for (const SetAsideRecord& record : records) {
        if (write(record, volumes, false))
            continue;
        tags.push_back(record.tag);
        paths.push_back(JournalRecords::recordPath(folder(), record.tag));
    }
    if (!tags.empty() && !makeDurableTogether(folder(), paths)) {
        Log::print("Remove: the records of a batch could not be made durable:", errnoText(errno));
        for (const QString& tag : tags)
            clear(tag);
        return {};
    }
    return tags;
}

void noteSetAside(const QString& tag)
{
    if (const auto error = JournalRecords::append(folder(), tag, { { "setaside", "1" } }))
        Log::print("Remove: the record of a set-aside file does not say it was set aside:", *error);
}

void notePutBack(const QString& tag)
{
    if (const auto error = JournalRecords::append(folder(), tag, { { "putback", "1" } }))
        Log::print("Remove: the record of a set-aside file does not say it is put back:", *error);
}

void clear(const QString& tag)
{
    JournalRecords::remove(folder(), tag, "Remove: the record of a set-aside file stays:");
    const std::lock_guard guard(ownTags().lock);
    ownTags().tags.remove(tag);
}

} // namespace SetAsideJournal

SetAsideRecovery recoverSetAsideFiles()
{
    SetAsideRecovery recovery;
    if (SetAsideJournal::ensureFolder(PrivateFiles::Make::never))
        return recovery;
    for (const QString& tag : JournalRecords::tags(SetAsideJournal::folder())) {
        // A removal of this run, started while the start's recovery runs.
        {
            const std::lock_guard guard(ownTags().lock);
            if (ownTags().tags.contains(tag))
                continue;
        }
        const QString recordFile = JournalRecords::recordPath(SetAsideJournal::folder(), tag);
        auto record = readRecord(tag);
        const auto drop = [&recordFile] { QFile::remove(recordFile); };
        // One another running copy of the program is writing still is
        // locked until it is whole; read again once it is not.
        FileDescriptor lock;
        if (!record && JournalRecords::held(SetAsideJournal::folder(), tag, lock))
            continue;
        if (!record)
            record = readRecord(tag);
        if (!record) {
            Log::print("Start: an unreadable record of a set-aside file was dropped:", recordFile);
            drop();
            continue;
        }
        lock.reset();
        // A removal of another running copy of the program (one started
        // with another settings folder, over the same state folder): its
        // records are its own.
        if (JournalRecords::writerRunning(record->writer))
            continue;
        // The file waits in the folder the record names by its real path,
        // under the name made for the record's own tag; it goes back there
        // under its own name. A volume may come back under another device
        // number (mounted in another order, plugged into another port): the
        // name is looked for there too, unless the volume is known to be
        // another one.
        const FileDescriptor folder(openFolderWithoutLinks(folderOf(record->aside)));
        const auto untilNextStart = [&](const QString& why) {
            recovery.left.push_back({ record->path, record->aside,
                QStringLiteral("its folder cannot be reached now: %1; it is tried again at the next start").arg(why) });
        };
        if (!folder.isOpen()) {
            untilNextStart(errnoText(errno));
            continue;
        }
        struct stat folderStatus { };
        const VolumeMatch volume = matchVolume(record->volume, folder.get(), folderOf(record->aside));
        const bool sameVolume = volume == VolumeMatch::same || volume == VolumeMatch::sameDevice;
        if (volume == VolumeMatch::other || ::fstat(folder.get(), &folderStatus) != 0) {
            untilNextStart(QStringLiteral("another volume is there"));
            continue;
        }
        const QByteArray asideName = nameOf(record->aside);
        const QByteArray originalName = nameOf(record->path);
        // On the volume it was recorded on, the device and inode tell the
        // file; on one that came back under another number, the size and
        // modification time it was recorded with (a volume may number its
        // files anew at each mount), or the inode where the record has none.
        // The recorded file system under its number (its identity tells)
        // may have numbered its files anew too: either proves it.
        // Its birth time, where recorded, proves either: the others a file
        // made there later (its inode the freed one, its size and time
        // set alike) may share.
        const auto isRecordedFile = [&](const FileFacts& found) {
            const bool inodeProves = found.inode == record->inode;
            const bool factsProve
                = record->size && record->modTime && found.size == *record->size && found.modTime == *record->modTime;
            const bool proven = volume == VolumeMatch::sameDevice ? inodeProves
                : volume == VolumeMatch::same                     ? inodeProves || factsProve
                : record->size && record->modTime                 ? factsProve
                                                                  : inodeProves;
            const bool bornThen = !record->born || found.birthTime == *record->born;
            return found.regular && found.device == quint64(folderStatus.st_dev) && proven && bornThen;
        };
        // The file never left its name (or is back): also where it was
        // written to since, its inode and birth time prove it.
        const auto isAtItsName = [&](const FileFacts& found) {
            return isRecordedFile(found)
                || (record->born && found.regular && found.device == quint64(folderStatus.st_dev)
                    && found.inode == record->inode && found.birthTime == *record->born);
        };
        const auto aside = factsAt(folder.get(), asideName, AT_SYMLINK_NOFOLLOW);
        if (!aside) {
            const int error = errno;
            // Deleted or put back before the run ended, or never set aside:
            // the records of a batch are written ahead of their files' turns.
            // Unless the folder is the bare one a share is mounted on while
            // the share is not: a volume of another kind than the recorded.
            // The recorded file system under another number may be a copy
            // of its disk, made before the file was set aside or without it:
            // there only the file of a record never set aside, at its own
            // name, proves the record done with; else the record waits for
            // the disk the file was set aside on, the user told once where
            // the file may be.
            // A file the record says was set aside and that stands at its
            // own name all the same was not put back by the program: the
            // volume may be a copy of its disk made before it was set aside,
            // under any device number (a freed loop device gives its number
            // again), and the disk itself may still hold it set aside.
            const auto original
                = error == ENOENT ? factsAt(folder.get(), originalName, AT_SYMLINK_NOFOLLOW) : std::nullopt;
            const bool atItsName = original && isAtItsName(*original);
            const bool mayBeACopy = record->setAside && !record->putBack
                ? atItsName || volume == VolumeMatch::backUnderAnotherNumber
                : volume == VolumeMatch::backUnderAnotherNumber && !atItsName;
            if (error != ENOENT)
                untilNextStart(errnoText(error));
            else if (volume == VolumeMatch::otherKind)
                untilNextStart(QStringLiteral("another volume is there"));
            else if (mayBeACopy) {
                Log::print("Start: a file an interrupted removal had set aside is not on the volume at its folder now;"
                           " its record waits for the volume it was set aside on:",
                    record->aside);
                if (!record->told) {
                    recovery.left.push_back({ record->path, record->aside,
                        QStringLiteral("it is not on the volume mounted there now, which may be a copy of its disk; "
                                       "it is put back once its own disk is back") });
                    JournalRecords::append(SetAsideJournal::folder(), tag, { { "told", "1" } });
                }
            } else
                drop();
            continue;
        }
        const bool recorded = isRecordedFile(*aside);
        if (!recorded) {
            Log::print("Start: not the file a set-aside record names, left alone:", record->aside);
            if (!sameVolume)
                recovery.left.push_back(
                    { record->path, record->aside, QStringLiteral("it has changed since it was set aside") });
            drop();
            continue;
        }
        const int error = renameAtWithoutReplacing(folder.get(), asideName, folder.get(), originalName);
        if (error == 0) {
            SetAsideJournal::notePutBack(tag);
            Log::print("Start: put back a file an interrupted removal had set aside:", record->path);
            recovery.putBack.push_back(record->path);
        } else {
            Log::print("Start: a file an interrupted removal had set aside stays at", record->aside, errnoText(error));
            recovery.left.push_back({ record->path, record->aside,
                error == EEXIST ? QStringLiteral("a file is already at its path") : errnoText(error) });
        }
        drop();
    }
    return recovery;
}
