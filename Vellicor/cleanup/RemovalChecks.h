#pragma once

#include "cleanup/RemovalPlan.h"
#include "platform/HeldFile.h"
#include "platform/Trash.h"

#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

class FileRemover;

// What the checks before a removal found: why the file must stay, or the
// kept copy that vouches for it, still held as it was when it was checked,
// and the file itself held for the removal.
struct RemovalCheck {
    std::optional<QString> refusal;
    HeldFile kept;
    HeldFile file;
    // The digest of the bytes the file and its kept copy were found to
    // share, taken only where the plan had none for it.
    QString md5;
};

// How far a comparison has gone: the bytes of each file read so far, as
// one figure from 0 to the files' size (half of what was read of both).
using ComparedBytes = std::function<void(quint64 compared)>;

// Reads two files side by side and tells whether their bytes are the same;
// its buffers serve every comparison of a run. Stop is read before every
// read of a piece (a mebibyte), and compared told after it. One per thread.
class ContentComparison {
public:
    enum class Result { same, different, stopped };
    // From the start of each held file to size bytes, and nothing beyond,
    // read through files. With md5 given, it receives the digest of the
    // bytes compared when they are the same.
    Result compare(const HeldFile& one, const HeldFile& other, quint64 size, FileRemover& files,
        const std::atomic<bool>& abort, const ComparedBytes& compared = {}, QString* md5 = nullptr);

private:
    std::vector<char> left_;
    std::vector<char> right_;
};

// Run on the worker right before a planned local file is acted on, through
// files: the file is held (see HeldFile) and is still the regular file the
// scan found (size, modification and change time, device and inode), it is
// not locked, and a kept member of its group is held as a different regular
// file whose bytes equal the file's now, compared through both descriptors
// (Stop read per piece, compared told after it), neither changing while
// compared. A kept member that is a link vouches with the file it leads to;
// one that is this very file is named in the refusal.
RemovalCheck checkBeforeRemoval(const PlannedRemoval& item, FileRemover& files, ContentComparison& contents,
    const std::atomic<bool>& abort, const ComparedBytes& compared = {});

// Asked right after the file was moved away: the kept copy must still be
// there exactly as the checks found it, opened again by its path and read
// through that open (at both ends, beside what the checks held of it),
// never taken from a status a cache may answer. Two routes to one file (a
// network, FUSE or overlay mount of a scanned folder) carry different device
// numbers; moving the file through one route takes the "copy" with it, which
// this sees.
std::optional<QString> keptCopyStillThere(const RemovalCheck& check, FileRemover& files);
