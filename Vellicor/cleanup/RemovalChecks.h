#pragma once

#include "cleanup/RemovalPlan.h"
#include "platform/Trash.h"

#include <QString>

#include <atomic>
#include <optional>

class FileRemover;

// What the checks before a removal found: why the file must stay, or the
// kept copy that vouches for it, as it was when it was checked.
struct RemovalCheck {
    std::optional<QString> refusal;
    QString keptPath;
    FileFacts keptFacts;
};

// Run on the worker right before a planned local file is acted on, looking
// at the disk through files: the file is still the regular file the scan
// found (size, modification and change time, device and inode), it is not
// locked, and a kept member of its group is on disk as a different regular
// file. A kept file passes as the scan found it (the same facts), or, when
// any of them differs, only when its content still equals the file's
// (compared again, Stop read per chunk).
RemovalCheck checkBeforeRemoval(const PlannedRemoval& item, FileRemover& files, const std::atomic<bool>& abort);

// Asked right after the file was moved away: the kept copy must still be
// there exactly as the checks found it. Two routes to one file (a network or
// overlay mount of a scanned folder) carry different device numbers; moving
// the file through one route takes the "copy" with it, which this sees.
std::optional<QString> keptCopyStillThere(const RemovalCheck& check, FileRemover& files);
