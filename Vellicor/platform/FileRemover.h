#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <set>

// Where a removed file went: its place in the trash (with the entry that
// records where it came from), or nowhere when it was deleted outright.
struct FileRemoval {
    bool ok = false;
    // Absolute path of the file inside the trash's files folder; empty for an
    // outright deletion or a failure.
    QString trashedPath;
    // The trash entry naming the original path; empty like trashedPath.
    QString trashInfoPath;
    // Why it failed, for the report; empty on success.
    QString error;
};

// Removes single local files for the clean-up. Only a regular file is ever
// acted on: a symbolic link, a folder or anything else is refused, nothing
// is recursive, and nothing follows a link in the last component. Blocks the
// calling thread until the operation has ended; any thread.
class FileRemover {
public:
    virtual ~FileRemover() = default;
    // Moves the file into the user's trash (the home trash, or the trash of
    // the file's own volume), keeping its trash entry.
    virtual FileRemoval moveToTrash(const QString& path) = 0;
    // Deletes the file for good.
    virtual FileRemoval removeRegularFile(const QString& path) = 0;
};

// The freedesktop trash and unlink() of this system.
class LocalFileRemover : public FileRemover {
public:
    FileRemoval moveToTrash(const QString& path) override;
    FileRemoval removeRegularFile(const QString& path) override;
};

// A remover for tests and the screen gallery: passes each call on to another
// remover unless a fault is planned for it. Faults are matched by path, or
// by the folder holding the path; beforeEach runs first on every call (to
// change the disk or press Stop in the middle of a run). Not locked: set it
// up before the run starts.
class FaultyFileRemover : public FileRemover {
public:
    explicit FaultyFileRemover(std::shared_ptr<FileRemover> real = std::make_shared<LocalFileRemover>());

    std::set<QString> failingPaths;
    std::set<QString> failingFolders;
    QString faultText = QStringLiteral("Permission denied");
    std::function<void(const QString& path)> beforeEach;
    int calls = 0;

    FileRemoval moveToTrash(const QString& path) override;
    FileRemoval removeRegularFile(const QString& path) override;

private:
    bool fails(const QString& path) const;
    std::shared_ptr<FileRemover> real_;
};
