#pragma once

#include "cleanup/RemovalOutcome.h"
#include "cleanup/RemovalPlan.h"
#include "platform/OriginalFolder.h"
#include "platform/Trash.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class CloudRemover;
struct RemovedFile;

// One entry of the undo list, with copies of everything the worker reads.
struct PlannedRestore {
    FileInfoNodePtr file;
    DuplicateGroupPtr group;
    RemovalRoute route = RemovalRoute::trash;
    ScanSource source = ScanSource::thisComputer;
    QString originalPath;
    QString trashedPath;
    // Where the trashed file and its entry are reached: from the trash
    // folder held since the removal found it.
    TrashEntry trashEntry;
    // The trashed file as the removal left it, and its trash entry as the
    // removal wrote it: only a file that still matches it, under that very
    // entry, comes back.
    FileFacts trashed;
    QByteArray trashInfoText;
    FileFacts trashInfo;
    // The folder it was removed from, as the removal found it.
    std::shared_ptr<const OriginalFolder> originalFolder;
    quint64 resultSetId = 0;
    // The kept copy that vouched for it at its removal.
    std::optional<VouchingCopy> vouched;
    // The removed file's digest when its group was compared by content; for
    // a trashed file otherwise the one its removal took of the bytes it
    // compared. Empty when neither is known, and then no other file may
    // stand in for it.
    QString md5;
    // Who could reach the removed file, as its removal found it: a copy that
    // stands in for it gives no more. None where that was not recorded: the
    // copy is then its kept file's for the user alone.
    std::optional<FileAccess> access;
    // The group's files that stayed and carry the same digest, in shown
    // order: the sources a deleted file may be copied back from. One list
    // serves every removed file of the group with that digest, so it may
    // hold the removed file's own path, which is never a source.
    std::shared_ptr<const std::vector<QString>> keptPaths;
};

// What the worker did with one entry.
struct RestoreOutcome {
    bool restored = false;
    // Brought back by copying a kept file with the same content (a file
    // deleted outright, or one the trash no longer held): copiedFrom names
    // the kept file once it was copied.
    bool byCopy = false;
    QString copiedFrom;
    // Brought back, but it changed after its removal (written to while in
    // the trash): no longer the file its group found.
    bool changed = false;
    // Copied back while it was still written to: the trashed file, with
    // what the copy missed, stays in the trash with its entry.
    bool trashedKept = false;
    // The trash entry the removal wrote goes with this outcome: its file came
    // back out of the trash, or was gone from it and a copy stands in while
    // the entry is still as the removal wrote it.
    bool removesTrashEntry = false;
    FileInfoNodePtr file;
    DuplicateGroupPtr group;
    QString path;
    quint64 resultSetId = 0;
    // The restored file as it is now on disk.
    ScannedFile now;
    // A restored cloud file as its service answered for it: a file put back
    // may have a new id or revision there.
    std::optional<FileInfoNode::CloudFields> cloudNow;
    QString reason;
    // Brought back by a copy across volumes that could not keep all the
    // file had (its owner, extended attributes, access list): what it lost,
    // one line for the report; empty when it came back whole.
    QString notKept;
};

// What may stand in for the local files of an undo list: the removed file's
// digest, and for a file deleted outright the kept files of its group with
// that digest. Gathered on the GUI thread, the only one that reads the
// groups; only the groups of files deleted outright are read.
struct UndoCopySources {
    struct Source {
        QString md5;
        std::shared_ptr<const std::vector<QString>> keptPaths;
    };
    std::unordered_map<const FileInfoNode*, Source> ofFile;
};
UndoCopySources undoCopySources(const std::vector<RemovedFile>& undoList);

// The plan, in the undo list's order. Reads no group and no record, only
// the list and the sources: any thread.
std::vector<PlannedRestore> makeUndoPlan(const std::vector<RemovedFile>& undoList, const UndoCopySources& sources);
// Both on the calling thread (the GUI thread).
std::vector<PlannedRestore> makeUndoPlan(const std::vector<RemovedFile>& undoList);

// Puts each entry back, one after the other, on the calling thread (the
// undo worker): a trashed file is moved back out of the trash itself, only
// while it is still the file the removal put there (device and inode; one
// that changed meanwhile comes back told as changed) under the very entry
// the removal wrote (its text, and the entry file unwritten since), or with
// its entry alone gone where the removal's record proves it the file (its
// birth time, or else every fact as the move left it); anything else in the
// trash, an entry the desktop wrote under the same name too, is neither
// moved nor deleted. A trashed file the trash no longer holds (its entry
// emptied or deleted) comes back as a copy of the kept copy that vouched for
// it at its removal, only while that is still the very file whose bytes
// were compared then (device, inode, birth time where kept), unwritten since
// (size, modification and change time, looked at through the copy's own
// descriptor before the copy and again before the copy takes its name),
// never through a link; its entry, left without its file, goes once the
// copy stands in, while it is still as the removal wrote it. A file deleted
// outright is copied from a kept file of its group with its digest. Either
// copy takes its name only when the digest of the bytes it was written with
// is the removed file's (the scan's, or the one its removal took of the
// bytes it compared): a kept file written to in a way no time shows is not
// used, and told as changed. Such a copy gets no more access than the
// removed file had (its recorded mode, owner and group; where they were not
// recorded, the kept file's bits for the user alone), the kept file's user
// extended attributes, and its access list only where no user or group it
// names gets more than others got; what it could not keep is told in its
// outcome. Either copy names its kept file. The
// file's folder is reached as reachOriginalFolder reaches it (each folder
// on the way the one recorded at the removal or one no other user could
// have changed, missing folders made again with the modes they had), and a
// file goes back only into the folder it was removed from, or one of the
// user's own (or the superuser's that no one else may write) reached so; the
// others are refused, the file left where it is. A trashed file whose folder now lies on another volume
// is copied back by its data alone with its owner (where the system allows),
// mode, times and every extended attribute (its access list too), and what
// could not be kept is told in its outcome; one whose bytes as copied are
// not the removed file's while its times say it is unchanged is told as
// changed and stays in the trash too. Every copy leaves the holes and runs
// of zeros of its source holes. Nothing is ever written over an existing
// path. The entries go in batches:
// a batch's files are moved back first, then the entries of those that
// moved are removed together, so that a run ended at any moment leaves each
// file either back with no entry (or an entry left without its file, which
// the trash tolerates) or in the trash with its entry. abort, read between
// entries and before each mebibyte a copy writes, ends the undo early: a
// copy under way is removed and its file told as stopped, the rest are not
// tried and have no outcome; the batch under way still removes its moved
// files' entries. A trashed file written to while it was copied back comes
// back as far as it was copied, told as changed, and stays in the trash with
// its entry too. onEach runs after each entry, and onCopied before each
// mebibyte of a copy with the bytes copied so far. At the end the trash
// folders let go of their descriptors (HeldTrash::release).
std::vector<RestoreOutcome> executeUndoPlan(const std::vector<PlannedRestore>& plan, CloudRemover& cloud,
    const std::atomic<bool>& abort, const std::function<void(const RestoreOutcome&)>& onEach = {},
    const std::function<void(const PlannedRestore&, qint64 copied)>& onCopied = {});
