#pragma once

#include "core/FileInfoNode.h"
#include "core/FileUtilities.h"
#include "platform/HeldTrash.h"

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <vector>

// A file as lstat() sees it, never through a link in its last component:
// what tells one file from another and whether it changed.
struct FileFacts {
    bool regular = false;
    quint64 device = 0;
    quint64 inode = 0;
    quint64 size = 0;
    FileTimestamp modTime;
    FileTimestamp changeTime;
    // When the file was made, where the file system keeps it (zero
    // otherwise): an inode number freed and given to a new file shows here.
    FileTimestamp birthTime;
    bool operator==(const FileFacts&) const = default;

    // The same file, by device and inode, and by birth time where both know
    // it.
    bool sameFileAs(const FileFacts& other) const
    {
        return device == other.device && inode == other.inode
            && (birthTime == FileTimestamp {} || other.birthTime == FileTimestamp {} || birthTime == other.birthTime);
    }
};

// None when nothing is at path or it cannot be examined (errno says why).
std::optional<FileFacts> factsOf(const QString& path);
// The same for name in folder (flags as statx() takes them: the entry
// itself with AT_SYMLINK_NOFOLLOW, the open folder itself with an empty
// name and AT_EMPTY_PATH).
std::optional<FileFacts> factsAt(int folder, const QByteArray& name, int flags);

// Asked right after a file was moved away, while the move can still be
// taken back: why the file must come back, or none when it may go.
using RemovalProof = std::function<std::optional<QString>()>;

// A file's place in a held trash: name in its files folder, and name with
// ".trashinfo" in its info folder.
struct TrashEntry {
    std::shared_ptr<const HeldTrash> trash;
    QByteArray name;

    bool isSet() const { return trash && !name.isEmpty(); }
    QByteArray infoName() const { return name + QByteArrayLiteral(".trashinfo"); }
};

// Where a removed file went: its place in the trash (with the entry that
// records where it came from), or nowhere when it was deleted outright.
struct FileRemoval {
    bool ok = false;
    // Absolute path of the file inside the trash's files folder (as it was
    // when the trash was found: for telling); empty for an outright deletion
    // or a failure.
    QString trashedPath;
    // The same as the undo reaches it: from the held trash folder.
    TrashEntry entry;
    // The trash entry naming the original path; empty like trashedPath.
    QString trashInfoPath;
    // That entry as this program wrote it, its text and the entry file right
    // after the move: what tells it from an entry the desktop writes later
    // under the same name, once the trash was emptied.
    QByteArray trashInfoText;
    FileFacts trashInfo;
    // The trashed file as it was right after the move, what an undo checks
    // it against (a move keeps device, inode and times, but for the change
    // time).
    FileFacts trashed;
    // Why it failed, for the report; empty on success.
    QString error;

    static FileRemoval failed(const QString& why)
    {
        FileRemoval removal;
        removal.error = why;
        return removal;
    }
};

// The original path a trash entry names, or none when the entry cannot be
// read or names none.
std::optional<QString> trashInfoOriginalPath(const QString& infoPath);
// The same for the text of an entry.
std::optional<QString> originalPathInTrashInfo(const QByteArray& text);
// Whether the trash entry at infoPath is still the one this program wrote
// there: the same entry file, unwritten since (written, as it was right
// after), holding exactly text.
bool isTrashEntryAsWritten(const QString& infoPath, const QByteArray& text, const FileFacts& written);
// The same for the entry of a held trash.
bool isTrashEntryAsWritten(const TrashEntry& entry, const QByteArray& text, const FileFacts& written);

struct HeldFile;

// Moves regular files into the freedesktop trash of their volume: the home
// trash for files of the home trash's own mount, the volume's own trash
// otherwise. Each volume's trash folder is found once per run (forget()
// starts a new run). Every move ends after a bounded number of attempts.
// Any thread.
class TrashCan {
public:
    // The entry is durable first (written ahead by prepareEntries(), or
    // written and synced now), then the held file renamed
    // from its folder next to it without replacing anything (only while the
    // folder still shows it as held, and put back when what moved is not
    // it), then proof asked; on any failure what was made is removed and the
    // file is left (or put back) where it was. beforeRename: see
    // moveHeldFile().
    FileRemoval moveToTrash(const HeldFile& held, const RemovalProof& proof,
        const std::function<void(const QString& path)>& beforeRename = {});
    void forget();

    // Writes the trash entries of the files at paths ahead of their moves,
    // in order until budget is spent, and makes them durable together: the
    // volume's writes flushed once (or each entry synced where a volume
    // cannot promise that), then the info folder. A file whose entry is not
    // ready when it moves gets one of its own, synced alone. Entries of an
    // earlier batch still waiting are dropped first.
    void prepareEntries(const std::vector<QString>& paths, std::chrono::milliseconds budget);
    // Removes every prepared entry whose file did not move.
    void dropPrepared();
    // The run has ended: the trash folders it found let go of their
    // descriptors (HeldTrash::release) and are found again by the next run.
    void releaseFolders();

private:
    // An entry written ahead, in the held trash folder folder.
    struct PreparedEntry {
        std::shared_ptr<const HeldTrash> folder;
        QByteArray entry;
        QString info;
        QByteArray text;
    };
    using Mount = std::pair<quint64, quint64>;
    TrashFolder folderFor(const Mount& mount, const QString& path);
    std::optional<PreparedEntry> takePrepared(const QString& path);

    std::mutex lock_;
    std::map<Mount, TrashFolder> folders_;
    std::map<QString, PreparedEntry> prepared_;
};

// Makes the files just written into folder, and their names there, durable
// together: the volume flushed once (or each file synced where a volume
// cannot promise that: network, FUSE), then the folder. Whether all of it
// is; errno says why not.
bool makeDurableTogether(const QString& folder, const std::vector<QString>& files);
// The same for names in the folder open at folder (O_RDONLY).
bool makeDurableTogetherAt(int folder, const std::vector<QByteArray>& names);

// Removes the trash entries of held trash folders, whose files have left
// the trash, several at a time: each removal frees an inode and may wait on
// the volume's journal, and waits that overlap cost one wait. Those that
// stay are logged. Returns when every removal has ended.
void removeTrashEntries(const std::vector<TrashEntry>& entries);

// rename() that never replaces what is at to, also where the file system
// cannot promise that itself (then it is looked for first). 0 or an errno.
int renameWithoutReplacing(const QString& from, const QString& to);
// The same between names relative to folder descriptors.
int renameAtWithoutReplacing(int fromFolder, const QByteArray& from, int toFolder, const QByteArray& to);

// Writes the whole text to fd. Why it failed, or none.
std::optional<QString> writeWhole(int fd, const QByteArray& text);
// Writes the whole text to fd and makes sure it is on the disk; closes fd.
// Why it failed, or none.
std::optional<QString> writeDurably(int fd, const QByteArray& text);
