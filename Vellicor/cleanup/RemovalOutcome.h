#pragma once

#include "cleanup/RemovalPlan.h"
#include "platform/OriginalFolder.h"
#include "platform/Trash.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CloudRemover;
class FileRemover;

// The kept copy whose bytes proved a removed file's equal: the path the
// user knows it by, where it was held (its real folder and its name), and
// the file as it was while it was compared.
struct VouchingCopy {
    QString path;
    QString heldPath;
    FileFacts facts;
};

// Who could reach a removed file: its permission bits (set-id and sticky
// bits among them), owner and group, as the removal found it.
struct FileAccess {
    quint32 mode = 0;
    quint32 owner = 0;
    quint32 group = 0;
};

// What the removal recorded of a local file it removed, what a copy that
// stands in for it is held to: the digest of its bytes (the scan's where its
// group was compared by content, else that of its bytes as they were
// compared with the kept copy; empty when neither was taken), and who could
// reach it (none where it could not be looked at).
struct RemovedFileRecord {
    QString md5;
    std::optional<FileAccess> access;
};

// What happened to one planned file.
struct RemovalOutcome {
    enum class Kind {
        // Gone: in the trash (trashedPath set), deleted outright, or removed
        // from its cloud source.
        removed,
        // The removal was tried and did not succeed; reason says why.
        failed,
        // Not tried: a check before it failed; reason says why.
        skipped,
        // A photo-library item, kept for the photo-library step.
        collected,
    };
    Kind kind = Kind::failed;
    RemovalRoute route = RemovalRoute::trash;
    FileInfoNodePtr file;
    DuplicateGroupPtr group;
    QString path;
    QString trashedPath;
    QString trashInfoPath;
    // The same as an undo reaches them: from the held trash folder.
    TrashEntry trashEntry;
    // The trashed file right after the move, and the trash entry as written,
    // what an undo recognises them by.
    FileFacts trashed;
    QByteArray trashInfoText;
    FileFacts trashInfo;
    // The folder a local file was removed from, as an undo recognises it.
    std::shared_ptr<const OriginalFolder> originalFolder;
    // The kept copy that vouched for a local file removed.
    std::optional<VouchingCopy> vouched;
    RemovedFileRecord record;
    QString reason;
};

// Acts on the plan's files in order, each checked right before it is acted
// on (its bytes compared with a kept copy's), and answers one outcome per
// file attempted. Each removal acts on the file held by the checks and is
// proven not to take the kept copy with it (moved, the kept copy looked at,
// put back when it went too). Stop (abort) is read before each file and
// while a kept copy's content is compared, so the file under way is finished
// or left alone and no later one is tried. The trash entries of a few hundred
// files at a time are written and made durable together before the first of
// them is checked; each file still moves only after its entry is durable,
// and the entries of files that did not move are removed again. onEach runs
// after each outcome, and onCompared after each piece of a file compared
// with a kept copy (the file, and its bytes compared so far), both on the
// calling thread. Runs
// on the clean-up worker; reads only the plan's copies, never the records
// or groups (cloud removal reads its file record, which nothing changes
// while the run lasts).
std::vector<RemovalOutcome> executeRemovalPlan(const RemovalPlan& plan, FileRemover& files, CloudRemover& cloud,
    const std::atomic<bool>& abort, const std::function<void(const RemovalOutcome&)>& onEach = {},
    const std::function<void(const PlannedRemoval&, quint64 compared)>& onCompared = {});
