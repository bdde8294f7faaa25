#pragma once

#include "platform/HeldFile.h"
#include "platform/SetAsideJournal.h"
#include "platform/Trash.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sys/types.h>
#include <vector>

// Removes single local files for the clean-up. Only a regular file is ever
// acted on: a symbolic link, a folder or anything else is refused, nothing
// is recursive, and no link is followed, in the last component or in any
// folder on the way. The file is held first (its folder and the file
// opened, see HeldFile) and acted on from its folder: only while the folder
// still shows it as held, and what moved is proven to be it (or put back).
// Each removal is first a move the remover can take back: proof is asked
// right after it, and when it answers a reason the file is put back and the
// removal fails with that reason. Blocks the calling thread until the
// operation has ended; every operation ends. Any thread.
class FileRemover {
public:
    virtual ~FileRemover() = default;
    // A new clean-up starts: what was learnt of the volumes is forgotten.
    virtual void startRun() { }
    // The run has ended: nothing it found is held longer than an undo needs.
    virtual void endRun() { }
    // The file at path as the remover sees it (the checks look through it).
    virtual std::optional<FileFacts> examine(const QString& path) { return factsOf(path); }
    // The file at path held for reading and for acting on.
    virtual HeldFile hold(const QString& path, FolderLinks links = FolderLinks::refused)
    {
        return holdFile(path, links);
    }
    // Reads up to count bytes of the held file from offset, as pread does
    // (the checks compare a file's bytes through it).
    virtual ssize_t readAt(const HeldFile& file, char* buffer, std::size_t count, quint64 offset);
    // Moves the held file into the user's trash (the home trash, or the
    // trash of the file's own volume), keeping its trash entry.
    virtual FileRemoval moveToTrash(const HeldFile& file, const RemovalProof& proof = {}) = 0;
    // The files at paths are about to be moved into the trash, one after the
    // other: their trash entries may be written and made durable together
    // now, each still durable before its file moves.
    virtual void prepareTrashEntries(const std::vector<QString>& paths) { (void)paths; }
    // The files at paths are about to be deleted outright, one after the
    // other: the records of their set-asides may be written and made durable
    // together now, each still durable before its file is set aside.
    virtual void prepareSetAsides(const std::vector<QString>& paths) { (void)paths; }
    // The batch has ended: the entries and records of files that did not
    // move go.
    virtual void dropTrashEntries() { }
    // Deletes the held file for good, after it was recorded and set aside
    // under a temporary name in its folder, the proof passed, and what was
    // set aside is still the file.
    virtual FileRemoval removeRegularFile(const HeldFile& file, const RemovalProof& proof = {}) = 0;

    // The same for the file at path as it is when called.
    FileRemoval moveToTrash(const QString& path, const RemovalProof& proof = {})
    {
        return moveToTrash(hold(path), proof);
    }
    FileRemoval removeRegularFile(const QString& path, const RemovalProof& proof = {})
    {
        return removeRegularFile(hold(path), proof);
    }
};

// The freedesktop trash and unlink() of this system. A file deleted outright
// is recorded in SetAsideJournal for as long as it waits set aside.
class LocalFileRemover : public FileRemover {
public:
    using FileRemover::moveToTrash;
    using FileRemover::removeRegularFile;
    void startRun() override { trash_.forget(); }
    void endRun() override { trash_.releaseFolders(); }
    FileRemoval moveToTrash(const HeldFile& file, const RemovalProof& proof = {}) override;
    void prepareTrashEntries(const std::vector<QString>& paths) override;
    void prepareSetAsides(const std::vector<QString>& paths) override;
    void dropTrashEntries() override;
    FileRemoval removeRegularFile(const HeldFile& file, const RemovalProof& proof = {}) override;

    // For tests: runs right before each rename of a held file, after its
    // folder was looked at, to change the disk at that very moment.
    std::function<void(const QString& path)> beforeRename;

private:
    // The recorded set-aside of a file, by its path; it serves only the file
    // it names, held in the folder it names.
    std::optional<SetAsideRecord> takeRecorded(const QString& path);

    TrashCan trash_;
    std::mutex lock_;
    std::map<QString, SetAsideRecord> recorded_;
};

// A remover for tests and the screen gallery: passes each call on to another
// remover unless a fault is planned for it. Faults are matched by path, or
// by the folder holding the path; beforeEach runs first on every removal,
// after the file was held and checked (to change the disk or press Stop in
// the middle of a run). Not locked: set it up before the run starts.
class FaultyFileRemover : public FileRemover {
public:
    explicit FaultyFileRemover(std::shared_ptr<FileRemover> real = std::make_shared<LocalFileRemover>());

    std::set<QString> failingPaths;
    std::set<QString> failingFolders;
    QString faultText = QStringLiteral("Permission denied");
    std::function<void(const QString& path)> beforeEach;
    // Runs as each file is held, a kept copy too, right before the checks
    // read it (to press Stop while a file is compared).
    std::function<void(const QString& path)> onHold;
    // Runs before each read of a held file, with the offset read from (to
    // press Stop, or hold the checks a while, in the middle of a file).
    std::function<void(const QString& path, quint64 offset)> onRead;
    // A path that reaches the file of another path by a second route with a
    // device number of its own, as a network or overlay mount of a scanned
    // folder shows it: it is there exactly while that file is.
    std::map<QString, QString> secondRoutes;
    // The second routes' status is answered from a cache, as the attribute
    // and name caches of a FUSE or network mount answer it: examine() gives
    // the facts of its first answer, whatever became of the file since. Only
    // a fresh open (hold()) finds out.
    bool routesAnswerFromCache = false;
    int calls = 0;

    using FileRemover::moveToTrash;
    using FileRemover::removeRegularFile;
    void startRun() override { real_->startRun(); }
    void endRun() override { real_->endRun(); }
    void prepareTrashEntries(const std::vector<QString>& paths) override { real_->prepareTrashEntries(paths); }
    void prepareSetAsides(const std::vector<QString>& paths) override { real_->prepareSetAsides(paths); }
    void dropTrashEntries() override { real_->dropTrashEntries(); }
    std::optional<FileFacts> examine(const QString& path) override;
    HeldFile hold(const QString& path, FolderLinks links = FolderLinks::refused) override;
    ssize_t readAt(const HeldFile& file, char* buffer, std::size_t count, quint64 offset) override;
    FileRemoval moveToTrash(const HeldFile& file, const RemovalProof& proof = {}) override;
    FileRemoval removeRegularFile(const HeldFile& file, const RemovalProof& proof = {}) override;

private:
    bool fails(const QString& path) const;
    std::shared_ptr<FileRemover> real_;
    std::map<QString, FileFacts> cachedFacts_;
};
