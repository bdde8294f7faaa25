#include "cleanup/PhotosLibraryStep.h"

#include "base/Log.h"
#include "cleanup/RemovalOutcome.h"
#include "core/Localization.h"
#include "platform/PhotosBridge.h"

#include <QStringList>

#include <map>
#include <set>
#include <thread>

namespace {

constexpr std::size_t batchLimit = 99;

class Step {
public:
    Step(PhotosBridge& bridge, const PhotosStepSettings& settings)
        : bridge_(bridge)
        , settings_(settings)
    {
    }

    bool ensureAlbum()
    {
        const std::optional<QStringList> names = bridge_.containerNames();
        if (names && names->contains(settings_.albumName, Qt::CaseSensitive))
            return true;
        if (!bridge_.isApplicationRunning()) {
            if (settings_.applicationNotRunning)
                settings_.applicationNotRunning();
            return false;
        }
        std::this_thread::sleep_for(settings_.pauseBeforeAlbum);
        const PhotosBridge::ScriptRun run = bridge_.runScript(albumCreationScript(settings_.albumName));
        if (run.errorNumber == PhotosBridge::notAuthorizedError)
            outcome.isAppNotAutharizedToMoveDups = true;
        return run.hasResult;
    }

    void add(const PhotosStepItem& item)
    {
        if (!isValidMediaItemId(item.mediaId)) {
            if (!item.mediaId.isEmpty())
                Log::print("Photo library item refused, its id is not a media id:", item.path, item.mediaId);
            notMoved(item, PhotosNotMovedReason::unknownItem);
            return;
        }
        const std::optional<QString> id = bridge_.mediaItemId(item.mediaId);
        if (id && id->isEmpty())
            Log::print("***************Media Id String is Empty*******************");
        if (!id || !isValidMediaItemId(*id)) {
            notMoved(item, PhotosNotMovedReason::unknownItem);
            return;
        }
        batch_.push_back(&item);
        ids_ << *id;
        if (batch_.size() == batchLimit)
            send();
    }

    void send()
    {
        if (batch_.empty())
            return;
        Log::print("moveDuplicateImagesToDuplicateMarkedPhotosAlbumWithID");
        const PhotosBridge::ScriptRun run = bridge_.runScript(addToAlbumScript(settings_.albumName, ids_));
        if (run.hasResult) {
            for (const PhotosStepItem* item : batch_) {
                outcome.moved.push_back(item->outcomeIndex);
                outcome.movedSize += item->fileSize;
                if (settings_.onMoved)
                    settings_.onMoved(*item);
            }
        } else {
            Log::print("Photo album did not take a batch of", static_cast<qint64>(batch_.size()), "items; error",
                run.errorNumber);
            for (const PhotosStepItem* item : batch_)
                notMoved(*item, PhotosNotMovedReason::notTaken);
        }
        batch_.clear();
        ids_.clear();
    }

    void notMoved(const PhotosStepItem& item, PhotosNotMovedReason reason)
    {
        ++outcome.notMovedCount;
        outcome.notMoved.emplace_back(item.outcomeIndex, reason);
    }

    PhotosStepOutcome outcome;

private:
    PhotosBridge& bridge_;
    const PhotosStepSettings& settings_;
    std::vector<const PhotosStepItem*> batch_;
    QStringList ids_;
};

} // namespace

PhotosStepOutcome runPhotosLibraryStep(const std::vector<PhotosStepItem>& items, PhotosBridge& bridge,
    const PhotosStepSettings& settings, const std::atomic<bool>& abort)
{
    QStringList libraries;
    for (const PhotosStepItem& item : items) {
        if (!libraries.contains(item.libraryPath))
            libraries << item.libraryPath;
    }
    Step step(bridge, settings);
    for (qsizetype done = 0; done < libraries.size(); ++done) {
        const QString& library = libraries[done];
        if (!step.ensureAlbum()) {
            Log::print("Error!! We are not able to create the album", library);
            step.outcome.albumFailed = true;
            for (const PhotosStepItem& item : items) {
                if (libraries.indexOf(item.libraryPath) >= done)
                    step.notMoved(item, PhotosNotMovedReason::noAlbum);
            }
            break;
        }
        for (const PhotosStepItem& item : items) {
            if (abort.load())
                break;
            if (item.libraryPath == library)
                step.add(item);
        }
        step.send();
    }
    return step.outcome;
}

namespace {

const char* notMovedReasonKey(PhotosNotMovedReason reason)
{
    switch (reason) {
    case PhotosNotMovedReason::noAlbum:
        return "ID_PHOTOS_ITEM_NOT_MOVED_NO_ALBUM";
    case PhotosNotMovedReason::unknownItem:
        return "ID_PHOTOS_ITEM_NOT_MOVED_UNKNOWN";
    case PhotosNotMovedReason::notTaken:
        return "ID_PHOTOS_ITEM_NOT_MOVED_NOT_TAKEN";
    }
    return "";
}

} // namespace

std::vector<RemovalOutcome> itemsLeftOutOfAlbum(
    const std::vector<RemovalOutcome>& outcomes, const PhotosStepOutcome& photos)
{
    std::map<std::size_t, QString> reasons;
    for (const auto& [index, reason] : photos.notMoved)
        reasons[index] = localizedText(QString::fromLatin1(notMovedReasonKey(reason)));
    const std::set<std::size_t> moved(photos.moved.begin(), photos.moved.end());
    std::vector<RemovalOutcome> left;
    for (std::size_t index = 0; index < outcomes.size(); ++index) {
        if (outcomes[index].kind != RemovalOutcome::Kind::collected || moved.count(index))
            continue;
        RemovalOutcome item = outcomes[index];
        item.kind = RemovalOutcome::Kind::failed;
        const auto reason = reasons.find(index);
        item.reason = reason != reasons.end() ? reason->second
                                              : localizedText(QStringLiteral("ID_PHOTOS_ITEM_NOT_MOVED_STOPPED"));
        left.push_back(std::move(item));
    }
    return left;
}
