#include "cleanup/RemovalOutcome.h"

#include "base/Log.h"
#include "cleanup/CloudRemover.h"
#include "cleanup/RemovalChecks.h"
#include "platform/FileRemover.h"
#include "platform/FileSystemInfo.h"

#include <QFile>

#include <set>
#include <sys/stat.h>
#include <utility>

namespace {

// Files whose trash entries are written and made durable together, at most;
// fewer when their bytes to compare add up to more than batchBytes, so that
// no entry waits long for its file.
constexpr std::size_t batchFiles = 256;
constexpr quint64 batchBytes = 64 << 20;

// The end of the batch that starts at first, and the paths of its files that
// go to the trash and of those deleted outright.
std::size_t nextBatch(
    const RemovalPlan& plan, std::size_t first, std::vector<QString>& trashPaths, std::vector<QString>& outrightPaths)
{
    trashPaths.clear();
    outrightPaths.clear();
    quint64 bytes = 0;
    std::size_t end = first;
    while (end < plan.items.size() && end - first < batchFiles && (end == first || bytes < batchBytes)) {
        const PlannedRemoval& item = plan.items[end++];
        if (item.route != RemovalRoute::trash && item.route != RemovalRoute::deleteOutright)
            continue;
        (item.route == RemovalRoute::trash ? trashPaths : outrightPaths).push_back(item.scanned.path);
        bytes += item.scanned.fileSize;
    }
    return end;
}

RemovalOutcome removeOne(const PlannedRemoval& item, ScanSource source, FileRemover& files, CloudRemover& cloud,
    ContentComparison& contents, OriginalFolders& folders, const std::atomic<bool>& abort,
    const ComparedBytes& compared)
{
    RemovalOutcome outcome;
    outcome.route = item.route;
    outcome.file = item.file;
    outcome.group = item.group;
    outcome.path = item.scanned.path;
    using Kind = RemovalOutcome::Kind;

    if (item.route == RemovalRoute::photoLibrary) {
        outcome.kind = Kind::collected;
        return outcome;
    }
    if (item.route == RemovalRoute::cloud) {
        QString error;
        const bool removed = item.file && cloud.deleteCloudFile(source, *item.file, error);
        outcome.kind = removed ? Kind::removed : Kind::failed;
        outcome.reason = error;
        return outcome;
    }
    const RemovalCheck check = checkBeforeRemoval(item, files, contents, abort, compared);
    if (check.refusal) {
        outcome.kind = Kind::skipped;
        outcome.reason = *check.refusal;
        return outcome;
    }
    // The move is taken back unless the kept copy is still there after it.
    const RemovalProof proof = [&] { return keptCopyStillThere(check, files); };
    // Deleting for good only while the volume still is a network one; a file
    // that is no longer there goes to the trash like any other.
    const bool outright = item.route == RemovalRoute::deleteOutright && isNetworkVolume(item.scanned.path);
    outcome.route = outright ? RemovalRoute::deleteOutright : RemovalRoute::trash;
    const FileRemoval removal
        = outright ? files.removeRegularFile(check.file, proof) : files.moveToTrash(check.file, proof);
    outcome.kind = removal.ok ? Kind::removed : Kind::failed;
    outcome.trashedPath = removal.trashedPath;
    outcome.trashInfoPath = removal.trashInfoPath;
    outcome.trashEntry = removal.entry;
    outcome.trashed = removal.trashed;
    outcome.trashInfoText = removal.trashInfoText;
    outcome.trashInfo = removal.trashInfo;
    outcome.reason = removal.error;
    if (removal.ok) {
        outcome.record.md5 = item.md5.isEmpty() ? check.md5 : item.md5;
        // Looked at through the descriptor held since the checks: the
        // file that went, not what its name leads to now.
        if (struct stat status { }; ::fstat(check.file.fd.get(), &status) == 0)
            outcome.record.access = FileAccess { status.st_mode & 07777, status.st_uid, status.st_gid };
        const qsizetype slash = item.scanned.path.lastIndexOf(QLatin1Char('/'));
        outcome.originalFolder
            = folders.record(slash <= 0 ? QStringLiteral("/") : item.scanned.path.left(slash), check.file.folder.get());
        const HeldFile& kept = check.kept;
        outcome.vouched = VouchingCopy { kept.path,
            kept.folderPath + (kept.folderPath.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/"))
                + QFile::decodeName(kept.name),
            kept.facts };
    }
    return outcome;
}

} // namespace

std::vector<RemovalOutcome> executeRemovalPlan(const RemovalPlan& plan, FileRemover& files, CloudRemover& cloud,
    const std::atomic<bool>& abort, const std::function<void(const RemovalOutcome&)>& onEach,
    const std::function<void(const PlannedRemoval&, quint64 compared)>& onCompared)
{
    std::vector<RemovalOutcome> outcomes;
    outcomes.reserve(plan.items.size());
    // Files (device and inode) this run removed: a second path to one of them
    // is never acted on.
    std::set<std::pair<quint64, quint64>> removedFiles;
    ContentComparison contents;
    OriginalFolders folders;
    files.startRun();
    std::vector<QString> trashPaths;
    std::vector<QString> outrightPaths;
    for (std::size_t index = 0, batchEnd = 0; index < plan.items.size(); ++index) {
        if (abort.load())
            break;
        if (index == batchEnd) {
            files.dropTrashEntries();
            batchEnd = nextBatch(plan, index, trashPaths, outrightPaths);
            if (!trashPaths.empty())
                files.prepareTrashEntries(trashPaths);
            if (!outrightPaths.empty())
                files.prepareSetAsides(outrightPaths);
        }
        const PlannedRemoval& item = plan.items[index];
        const std::pair identity { item.scanned.deviceId, item.scanned.inode };
        const bool local = item.route == RemovalRoute::trash || item.route == RemovalRoute::deleteOutright;
        RemovalOutcome outcome;
        if (local && identity.second != 0 && removedFiles.contains(identity)) {
            outcome.kind = RemovalOutcome::Kind::skipped;
            outcome.route = item.route;
            outcome.file = item.file;
            outcome.group = item.group;
            outcome.path = item.scanned.path;
            outcome.reason = QStringLiteral("another path of this file was removed");
        } else {
            ComparedBytes compared;
            if (onCompared)
                compared = [&](quint64 bytes) { onCompared(item, bytes); };
            outcome = removeOne(item, plan.source, files, cloud, contents, folders, abort, compared);
        }
        if (local && outcome.kind == RemovalOutcome::Kind::removed)
            removedFiles.insert(identity);
        if (outcome.kind == RemovalOutcome::Kind::failed || outcome.kind == RemovalOutcome::Kind::skipped)
            Log::print(outcome.kind == RemovalOutcome::Kind::failed ? "Not removed:" : "Skipped:", outcome.path, "-",
                outcome.reason);
        outcomes.push_back(std::move(outcome));
        if (onEach)
            onEach(outcomes.back());
    }
    files.dropTrashEntries();
    files.endRun();
    return outcomes;
}
