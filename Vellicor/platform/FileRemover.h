#pragma once

#include "platform/Trash.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

// Removes single local files for the clean-up. Only a regular file is ever
// acted on: a symbolic link, a folder or anything else is refused, nothing
// is recursive, and nothing follows a link in the last component. Each
// removal is first a move the remover can take back: proof is asked right
// after it, and when it answers a reason the file is put back and the
// removal fails with that reason. Blocks the calling thread until the
// operation has ended; every operation ends. Any thread.
class FileRemover {
public:
    virtual ~FileRemover() = default;
    // A new clean-up starts: what was learnt of the volumes is forgotten.
    virtual void startRun() { }
    // The file at path as the remover sees it (the checks look through it).
    virtual std::optional<FileFacts> examine(const QString& path) { return factsOf(path); }
    // Moves the file into the user's trash (the home trash, or the trash of
    // the file's own volume), keeping its trash entry.
    virtual FileRemoval moveToTrash(const QString& path, const RemovalProof& proof = {}) = 0;
    // Deletes the file for good; with a proof, only after it was set aside
    // under a temporary name in its folder and the proof passed.
    virtual FileRemoval removeRegularFile(const QString& path, const RemovalProof& proof = {}) = 0;
};

// The freedesktop trash and unlink() of this system.
class LocalFileRemover : public FileRemover {
public:
    void startRun() override { trash_.forget(); }
    FileRemoval moveToTrash(const QString& path, const RemovalProof& proof = {}) override;
    FileRemoval removeRegularFile(const QString& path, const RemovalProof& proof = {}) override;

private:
    TrashCan trash_;
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
    // A path that reaches the file of another path by a second route with a
    // device number of its own, as a network or overlay mount of a scanned
    // folder shows it: it is there exactly while that file is.
    std::map<QString, QString> secondRoutes;
    int calls = 0;

    void startRun() override { real_->startRun(); }
    std::optional<FileFacts> examine(const QString& path) override;
    FileRemoval moveToTrash(const QString& path, const RemovalProof& proof = {}) override;
    FileRemoval removeRegularFile(const QString& path, const RemovalProof& proof = {}) override;

private:
    bool fails(const QString& path) const;
    std::shared_ptr<FileRemover> real_;
};
