#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>
#include <set>
#include <vector>

// The program's private files (the log, the settings, the cache, the
// instance lock and socket) belong to the user alone: files 0600, folders
// 0700. These helpers make them so and narrow what an earlier run, or a
// umask, left open to others. They act only on what the user owns: a file
// of another owner is never changed.
namespace PrivateFiles {

// Narrows an open file of the user's own to 0600 when others may read or
// write it.
void narrowOpenFile(int fd);
// The same for a file by its path; a link is not followed and a missing file
// is no fault.
void narrowFile(const QString& path);

// Why a folder cannot serve as one of the program's own: another user could
// make, replace or fill what the program writes there.
enum class FolderFault {
    // Missing, and not to be made.
    missing,
    notMade,
    notAFolder,
    link,
    otherOwner,
    openToOthers,
    // Another user may change the folder it lies in or one above it (owns
    // it, or may write there through its mode, its group or its access list,
    // without the sticky bit): the folder could be swapped.
    openParent,
    // The user may not open it (read, write and search it) or a folder on
    // its way (search it).
    noAccess,
};

enum class Make { ifMissing, never };

// Makes the folder 0700 when it is missing and make allows (its parents with
// the usual mode), then checks, without following a link at any step after
// that, that it is a real folder owned by the user and open to nobody else,
// below folders no other user may change (OtherUsers); a folder of the
// user's own that
// others may enter is narrowed first. None when it can be used.
std::optional<FolderFault> ensureOwnFolder(const QString& path, Make make = Make::ifMissing);

// What a folder of the program's own is for; says what the user loses when
// it is refused.
enum class FolderUse { settings, cache, state, runtime };

// The first folder on the way to path (absolute, cleaned), path itself
// included, that the user may not open: search, and for path itself read and
// write too. None when each may be, or when the way ends before path.
std::optional<QString> folderNotOpenable(const QString& path);

// ensureOwnFolder for one of the program's folders; a refusal (a folder that
// is there but not the user's own, or in a place others can change) is
// written to standard error and handed to FolderRefusals, once per folder and
// run, with the folders above it that another user could change where that
// is why; one that is missing or cannot be made is the caller's to tell.
// Never writes to the log, which calls it itself.
std::optional<FolderFault> useOwnFolder(const QString& path, FolderUse use, Make make = Make::ifMissing);

// Opens path for writing inside a folder checked with useOwnFolder: never
// through a link, never a pipe or a device, and only a file of the user's
// own; flags are added to O_WRONLY (O_APPEND, O_CREAT...). A new file is
// 0600, an old one narrowed. -1 with errno set otherwise.
int openOwnFileForWriting(const QString& path, int flags);

// True when path is missing, or is a plain file of the user's own (never
// followed when it is a link): what may be opened by a library that takes
// a path, such as the database engine.
bool isAbsentOrOwnFile(const QString& path);

// A small file of the program's own (settings, configuration) read whole:
// opened without following a link and without blocking, taken only when it
// is a regular file within the bound, and read no further than the bound.
struct SmallFile {
    enum class Outcome { read, missing, link, notAFile, tooLarge, failed };
    Outcome outcome = Outcome::missing;
    QByteArray bytes;
    // The file's size when it was too large.
    qint64 size = 0;
    // The system's reason when it failed.
    QString reason;
};
SmallFile readSmallFile(const QString& path, qint64 bound);

// Writes bytes as the whole of path inside a folder checked with
// useOwnFolder: into a new file of the user's own beside it (0600), flushed
// to the disk, then renamed over path, so that path holds the old bytes or the
// new ones and never a part. 0 when done, else the system's errno of the step
// that failed (the new file is then removed).
int replaceFileWhole(const QString& path, const QByteArray& bytes);

// Removes the new files that replaceFileWhole left beside path when its run
// ended before the rename (killed, or the machine stopped): only names it
// gives them, in path's own folder, and only regular files of the user's own
// with no other name, never a link or a folder. Call it only while no writer
// of path can be in the middle of a replacement (under the writers' lock).
// How many were removed.
int removeLeftoverReplacements(const QString& path);

} // namespace PrivateFiles

// The folders refused this run, for the user to be told: each once, in the
// order met. Any thread; refused is emitted on the thread that met it.
class FolderRefusals : public QObject {
    Q_OBJECT
public:
    struct Refusal {
        QString path;
        PrivateFiles::FolderUse use;
        PrivateFiles::FolderFault fault;
        // For a folder refused for the place it lies in: the folders on its
        // way that another user could change, from the root down
        // (OtherUsers::foldersAnotherUserMayChangeAbove). What the user mends.
        QStringList changeable = {};
        // For a folder refused as one the user may not open: the first
        // folder of its way, or itself, that they may not open.
        QString unopenable = QString();
    };

    static FolderRefusals& instance();

    // Records a refusal; false when the folder was refused before.
    bool add(const Refusal& refusal);
    // The refusals not taken yet, oldest first.
    std::vector<Refusal> takeUntold();

signals:
    void refused();

private:
    std::mutex mutex_;
    std::set<QString> met_;
    std::vector<Refusal> untold_;
};
