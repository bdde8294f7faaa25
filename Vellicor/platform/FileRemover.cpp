#include "platform/FileRemover.h"

#include "base/Log.h"
#include "core/FileUtilities.h"
#include "platform/JournalRecords.h"
#include "platform/SetAsideJournal.h"

#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

// Set-aside names tried per file.
constexpr int setAsideAttempts = 8;
// The longest a batch's entries are written for before they are made
// durable and its files move: Stop and the progress wait no longer.
constexpr std::chrono::milliseconds entryBudget { 100 };

} // namespace

FileRemoval LocalFileRemover::moveToTrash(const HeldFile& file, const RemovalProof& proof)
{
    if (!file.isHeld())
        return FileRemoval::failed(file.refusal);
    return trash_.moveToTrash(file, proof, beforeRename);
}

void LocalFileRemover::prepareTrashEntries(const std::vector<QString>& paths)
{
    trash_.prepareEntries(paths, entryBudget);
}

namespace {

QByteArray asideName(const QString& tag)
{
    return QByteArrayLiteral(".vellicor-removing-") + tag.toLatin1();
}

QString asidePathIn(const QString& folder, const QByteArray& name)
{
    return (folder == QStringLiteral("/") ? QString() : folder) + QLatin1Char('/') + QFile::decodeName(name);
}

} // namespace

void LocalFileRemover::prepareSetAsides(const std::vector<QString>& paths)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<SetAsideRecord> records;
    for (const QString& path : paths) {
        if (clock.elapsed() > entryBudget.count())
            break;
        // As the file will be held: by its folder's real path.
        const QString folder = QFileInfo(QFileInfo(path).path()).canonicalFilePath();
        const auto facts = factsOf(path);
        if (folder.isEmpty() || !facts || !facts->regular)
            continue;
        const QString tag = JournalRecords::newTag();
        records.push_back({ tag, path, asidePathIn(folder, asideName(tag)), *facts });
    }
    const std::vector<QString> tags = SetAsideJournal::addTogether(records);
    const std::lock_guard guard(lock_);
    for (SetAsideRecord& record : records) {
        if (std::find(tags.begin(), tags.end(), record.tag) == tags.end())
            continue;
        if (const auto [earlier, added] = recorded_.try_emplace(record.path, record); !added)
            SetAsideJournal::clear(record.tag);
    }
}

std::optional<SetAsideRecord> LocalFileRemover::takeRecorded(const QString& path)
{
    const std::lock_guard guard(lock_);
    const auto found = recorded_.find(path);
    if (found == recorded_.end())
        return std::nullopt;
    SetAsideRecord record = std::move(found->second);
    recorded_.erase(found);
    return record;
}

void LocalFileRemover::dropTrashEntries()
{
    trash_.dropPrepared();
    std::map<QString, SetAsideRecord> left;
    {
        const std::lock_guard guard(lock_);
        left.swap(recorded_);
    }
    for (const auto& [path, record] : left)
        SetAsideJournal::clear(record.tag);
}

FileRemoval LocalFileRemover::removeRegularFile(const HeldFile& file, const RemovalProof& proof)
{
    if (!file.isHeld())
        return FileRemoval::failed(file.refusal);
    // Where it is set aside is told, and recorded, by the folder's real path:
    // the one the next start can reach without links.
    const QString& folder = file.folderPath;
    // Set aside first, in its own folder, under a name recorded beforehand:
    // a run that ends here, whatever ends it, leaves it to be put back.
    QString tag;
    QByteArray aside;
    QString asidePath;
    HeldMove move;
    move.error = EEXIST;
    // A record written ahead serves only while it names this very file in
    // this folder, as it is now (a start may know it only by its size and
    // time); otherwise it goes and the file gets one of its own.
    std::optional<SetAsideRecord> ready = takeRecorded(file.path);
    if (ready && (ready->aside != asidePathIn(folder, asideName(ready->tag)) || !ready->facts.sameFileAs(file.facts)
            || ready->facts.size != file.facts.size
            || ready->facts.modTime != file.facts.modTime)) {
        SetAsideJournal::clear(ready->tag);
        ready.reset();
    }
    for (int attempt = 0; attempt < setAsideAttempts; ++attempt) {
        tag = ready ? ready->tag : JournalRecords::newTag();
        aside = asideName(tag);
        asidePath = asidePathIn(folder, aside);
        if (ready) {
            ready.reset();
        } else if (const auto error = SetAsideJournal::add(tag, file.path, asidePath, file.facts)) {
            if (errno == EEXIST)
                continue;
            return FileRemoval::failed(QStringLiteral("its removal cannot be recorded: %1").arg(*error));
        }
        move = moveHeldFile(file, file.folder.get(), aside, asidePath, beforeRename);
        if (move.moved) {
            SetAsideJournal::noteSetAside(tag);
            break;
        }
        SetAsideJournal::clear(tag);
        if (move.error != EEXIST)
            break;
    }
    if (!move.moved) {
        if (move.error != 0)
            return FileRemoval::failed(QStringLiteral("it cannot be set aside: %1").arg(errnoText(move.error)));
        return FileRemoval::failed(move.refusal);
    }
    // Taken back when the proof refuses, or when what waits set aside is no
    // longer exactly the file: nothing else is ever deleted.
    std::optional<QString> refusal = proof ? proof() : std::nullopt;
    if (!refusal)
        refusal = heldFileDiffers(file, file.folder.get(), aside, false);
    if (!refusal && ::unlinkat(file.folder.get(), aside.constData(), 0) != 0)
        refusal = errnoText(errno);
    if (refusal) {
        const auto asideNow = factsAt(file.folder.get(), aside, AT_SYMLINK_NOFOLLOW);
        const bool stillTheFile = asideNow && asideNow->sameFileAs(file.facts);
        const int back
            = stillTheFile ? renameAtWithoutReplacing(file.folder.get(), aside, file.folder.get(), file.name) : ENOENT;
        if (back == 0)
            SetAsideJournal::notePutBack(tag);
        SetAsideJournal::clear(tag);
        if (!stillTheFile) {
            Log::print("Remove: what was set aside for", file.path, "is no longer the file; left at", asidePath);
            return FileRemoval::failed(QStringLiteral("%1; what is at %2 is left as it is").arg(*refusal, asidePath));
        }
        if (back != 0) {
            Log::print("Remove: the file", file.path, "stays at", asidePath, errnoText(back));
            return FileRemoval::failed(QStringLiteral("%1; it stays at %2").arg(*refusal, asidePath));
        }
        return FileRemoval::failed(*refusal);
    }
    SetAsideJournal::clear(tag);
    if (factsAt(file.folder.get(), aside, AT_SYMLINK_NOFOLLOW) || errno != ENOENT)
        return FileRemoval::failed(QStringLiteral("the file is still there"));
    FileRemoval removal;
    removal.ok = true;
    return removal;
}

ssize_t FileRemover::readAt(const HeldFile& file, char* buffer, std::size_t count, quint64 offset)
{
    return ::pread(file.fd.get(), buffer, count, static_cast<off_t>(offset));
}

FaultyFileRemover::FaultyFileRemover(std::shared_ptr<FileRemover> real)
    : real_(std::move(real))
{
}

bool FaultyFileRemover::fails(const QString& path) const
{
    return failingPaths.contains(path) || failingFolders.contains(QFileInfo(path).path());
}

std::optional<FileFacts> FaultyFileRemover::examine(const QString& path)
{
    const auto route = secondRoutes.find(path);
    if (route == secondRoutes.end())
        return real_->examine(path);
    if (routesAnswerFromCache) {
        if (const auto cached = cachedFacts_.find(path); cached != cachedFacts_.end())
            return cached->second;
    }
    auto facts = real_->examine(route->second);
    if (facts)
        facts->device ^= 0x5a5a;
    if (facts && routesAnswerFromCache)
        cachedFacts_.emplace(path, *facts);
    return facts;
}

HeldFile FaultyFileRemover::hold(const QString& path, FolderLinks links)
{
    if (onHold)
        onHold(path);
    const auto route = secondRoutes.find(path);
    if (route == secondRoutes.end())
        return real_->hold(path, links);
    HeldFile held = real_->hold(route->second, links);
    held.path = path;
    held.facts.device ^= 0x5a5a;
    return held;
}

ssize_t FaultyFileRemover::readAt(const HeldFile& file, char* buffer, std::size_t count, quint64 offset)
{
    if (onRead)
        onRead(file.path, offset);
    return real_->readAt(file, buffer, count, offset);
}

FileRemoval FaultyFileRemover::moveToTrash(const HeldFile& file, const RemovalProof& proof)
{
    ++calls;
    if (beforeEach)
        beforeEach(file.path);
    return fails(file.path) ? FileRemoval::failed(faultText) : real_->moveToTrash(file, proof);
}

FileRemoval FaultyFileRemover::removeRegularFile(const HeldFile& file, const RemovalProof& proof)
{
    ++calls;
    if (beforeEach)
        beforeEach(file.path);
    return fails(file.path) ? FileRemoval::failed(faultText) : real_->removeRegularFile(file, proof);
}
