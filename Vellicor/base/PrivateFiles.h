#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The program's private files (the log, the settings, the cache, the
// instance lock and socket) belong to the user alone: files 0600, folders
// 0700. These helpers make them so and narrow what an earlier run, or a
// umask, left open to others. They act only on what the user owns: a file
// of another owner is never changed.
namespace PrivateFiles {

// Makes the folder (and its parents, which keep the usual mode) when it is
// missing, the folder itself 0700; a folder of the user's own that others may
// enter is narrowed to 0700. A link to a folder is followed: the user may keep
// the settings elsewhere. True when it is a folder afterwards.
bool ensureFolder(const QString& path);

// Narrows an open file of the user's own to 0600 when others may read or
// write it.
void narrowOpenFile(int fd);
// The same for a file by its path; a link is not followed and a missing file
// is no fault.
void narrowFile(const QString& path);

// Why a folder cannot serve for what others must never make or replace (the
// instance socket). Not followed when it is a link.
enum class FolderFault {
    notMade,
    notAFolder,
    link,
    otherOwner,
    openToOthers,
};

// Makes the folder 0700 when it is missing (its parents too), then checks,
// without following a link at any step after that, that it is a real folder
// owned by the user and open to nobody else; a folder of the user's own that
// others may enter is narrowed first. None when it can be used.
std::optional<FolderFault> ensureOwnFolder(const QString& path);

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

} // namespace PrivateFiles
