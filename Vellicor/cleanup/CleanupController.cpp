#include "cleanup/CleanupController.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "base/ReleaseElsewhere.h"
#include "base/UserDefaults.h"
#include "cleanup/CloudRemover.h"
#include "core/AppNotifier.h"
#include "core/Localization.h"
#include "core/PhotosNode.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/ResultsState.h"
#include "platform/FileRemover.h"
#include "platform/PhotosBridge.h"
#include "platform/ReachabilityTest.h"
#include "scan/InternetAlert.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

QString filesDeletedCountText(qint64 count)
{
    const QString word = localizedText(count < 2 ? QStringLiteral("ID_FILE") : QStringLiteral("ID_FILES"));
    return formatText(localizedText(QStringLiteral("ID_FILES_DELETED_COUNT")), { count, word });
}

CleanupController::CleanupController(ResultsState& state, UserDefaults& defaults, std::shared_ptr<FileRemover> files,
    std::shared_ptr<CloudRemover> cloud, QObject* parent)
    : QObject(parent)
    , state_(state)
    , defaults_(defaults)
    , files_(std::move(files))
    , cloud_(cloud ? std::move(cloud) : std::make_shared<UnavailableCloudRemover>())
    , photos_(std::make_shared<UnavailablePhotosBridge>())
    , isAbortClean_(std::make_shared<std::atomic<bool>>(false))
    , isAbortUndo_(std::make_shared<std::atomic<bool>>(false))
    , relay_(std::make_shared<Relay>(this))
{
}

void CleanupController::setPhotosBridge(std::shared_ptr<PhotosBridge> bridge)
{
    if (!isRemoving())
        photos_ = bridge ? std::move(bridge) : std::make_shared<UnavailablePhotosBridge>();
}

void CleanupController::setCloudRemover(std::shared_ptr<CloudRemover> cloud)
{
    cloud_ = cloud ? std::move(cloud) : std::make_shared<UnavailableCloudRemover>();
}

CleanupController::~CleanupController()
{
    endWorkers();
}

void CleanupController::endWorkers()
{
    workersEnded_ = true;
    // Nothing a worker still sends reaches this object from here on, so a
    // worker that does not end in time (a file system that stopped
    // answering, a cloud service waiting for this very thread) can be left.
    relay_->cut();
    isAbortClean_->store(true);
    isAbortUndo_->store(true);
    for (QThread* worker : { worker_, undoWorker_ }) {
        if (!worker)
            continue;
        worker->requestInterruption();
        if (worker->wait(QDeadlineTimer(longestQuitWait))) {
            delete worker;
            continue;
        }
        Log::print("Clean-up: a worker still busy with a file was left to end on its own");
        connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    }
    worker_ = nullptr;
    undoWorker_ = nullptr;
}

QString CleanupController::openPhotoLibrary()
{
    for (const DuplicateGroupPtr& group : state_.arrGroups) {
        const auto item = std::find_if(group->filterChildren.begin(), group->filterChildren.end(),
            [](const FileInfoNodePtr& file) { return file->isPhotosNode; });
        if (item == group->filterChildren.end() || !(*item)->libraryPath())
            continue;
        photos_->openLibrary(*(*item)->libraryPath());
        return *(*item)->libraryPath();
    }
    return {};
}

void CleanupController::removeSelectedItems()
{
    if (isRemoving() || isUndoing())
        return;
    if (state_.countMarked() == 0) {
        AlertRequest alert;
        // Marks the category hides are not removed, and the user is told
        // where they are.
        if (const qint64 hidden = state_.hiddenMarkedCount(); hidden > 0) {
            alert.messageText = localizedText(QStringLiteral("ID_NO_MARKED_FILE_SHOWN"));
            alert.informativeText = formatText(
                localizedText(hidden == 1 ? "ID_MARKED_FILE_HIDDEN_NOT_REMOVED" : "ID_MARKED_FILES_HIDDEN_NOT_REMOVED"),
                { hidden });
        } else {
            alert.messageText = localizedText(QStringLiteral("ID_NO_ITEM_SELECTED_PLEASE_SELECT_AND_RETRY_AGAIN"));
        }
        alert.buttons = { localizedText(QStringLiteral("ID_OK")) };
        alertPresenter()->presentThen(alert, [this](int) { emit trashButtonStateChanged(0); });
        return;
    }
    confirmRemovalOfMarkedFiles();
}

void CleanupController::confirmRemovalOfMarkedFiles()
{
    if (defaults_.boolValue(SettingsKey::doNotShowConfirmationDialogOnTrash).value_or(false)) {
        startRemovingMarkedFiles();
        return;
    }
    // Without a sheet to ask with, nothing is removed unasked.
    if (!screen_)
        return;
    // The question names what the plan will do: a marked file the plan
    // deletes outright makes it a deletion, told with the note. Judged from
    // the scan's records, as the plan is, so no disk is asked here.
    const bool outright
        = defaults_.boolValue(SettingsKey::doNotShowConfirmationDialogOnTrashForNetworkDrive).value_or(true);
    const ScanSource source = state_.resultSource();
    bool anyOutright = false;
    for (const DuplicateGroupPtr& group : state_.arrGroups) {
        for (const FileInfoNodePtr& file : group->filterChildren)
            anyOutright = anyOutright
                || (file->isMarked() && !file->isMoveToTrash
                    && plannedRoute(*file, source, outright) == RemovalRoute::deleteOutright);
        if (anyOutright)
            break;
    }
    const TrashQuestion question = trashQuestion(source, state_.countMarked(), state_.hiddenMarkedCount(), anyOutright);
    screen_->showTrashConfirmation(question, [this](bool proceed, bool doNotShowAgain) {
        // The button shows on while it may be used: after Review the marks
        // are still there to remove.
        emit trashButtonStateChanged(state_.countMarked() > 0 ? 1 : 0);
        if (!proceed)
            return;
        if (doNotShowAgain)
            defaults_.setValue(SettingsKey::doNotShowConfirmationDialogOnTrash, true);
        startRemovingMarkedFiles();
    });
}

void CleanupController::startRemovingMarkedFiles()
{
    if (isRemoving() || isUndoing() || workersEnded_)
        return;
    if (sourceNeedsInternet(state_.resultSource()) && !isInternetAvailable()) {
        showInternetUnavailableAlert();
        return;
    }
    if (state_.resultSource() != ScanSource::thisComputer && !cloud_->isReadyToRemove(state_.resultSource()))
        return;
    const bool outright
        = defaults_.boolValue(SettingsKey::doNotShowConfirmationDialogOnTrashForNetworkDrive).value_or(true);
    isAbortClean_->store(false);
    report_ = RemovalReport {};
    emit removalStarting();
    // A marking pass still going ends before its marks are read.
    state_.finishBulkMarks();
    RemovalPlanInput input = removalPlanInput(state_, outright);
    // A large result set's plan is made on the worker, under the progress
    // sheet, which keeps the user's hands off the records meanwhile.
    std::shared_ptr<const RemovalPlan> plan;
    std::shared_ptr<RemovalProgress> progress;
    if (input.groups.size() < backgroundFrom_) {
        plan = std::make_shared<const RemovalPlan>(makeRemovalPlan(input));
        input = {};
        progress = std::make_shared<RemovalProgress>(plan, progressAnnouncer(relay_));
        beginRemoval(plan, progress);
    } else if (screen_) {
        screen_->showTrashProgress(static_cast<int>(std::min<qint64>(state_.countMarked(), INT_MAX)));
        screen_->updateTrashProgress(TrashProgressFigures {});
    }
    PhotosStepSettings photoSettings;
    photoSettings.albumName = markedPhotosAlbumName();
    photoSettings.applicationNotRunning = [relay = relay_] {
        relay->post([](CleanupController&) {
            AlertRequest alert;
            alert.messageText = localizedText(QStringLiteral("ID_PLEASE_OPEN_PHOTOS_APP"));
            alert.buttons = { localizedText(QStringLiteral("ID_OK")) };
            alertPresenter()->presentThen(alert, {});
        });
    };
    // The worker owns copies of everything it reads; its outcomes come back
    // to this object on the GUI thread, in order, the last one being the end.
    // Of a collected item it reads the scan's fields only, which nothing
    // changes while the run lasts.
    worker_ = QThread::create([relay = relay_, plan, input = std::move(input), abort = isAbortClean_, files = files_,
                                  cloud = cloud_, photos = photos_, photoSettings = std::move(photoSettings),
                                  progress]() mutable {
        if (!plan) {
            plan = std::make_shared<const RemovalPlan>(makeRemovalPlan(input));
            input = {};
            progress = std::make_shared<RemovalProgress>(plan, progressAnnouncer(relay));
            relay->post([plan, progress](CleanupController& self) { self.beginRemoval(plan, progress); });
        }
        photoSettings.onMoved = [progress](const PhotosStepItem& item) { progress->itemMoved(item.path); };
        auto outcomes = executeRemovalPlan(
            *plan, *files, *cloud, *abort, [&](const RemovalOutcome& outcome) { progress->fileTried(outcome); },
            [&](const PlannedRemoval& item, quint64 bytes) { progress->compared(item, bytes); });
        std::vector<PhotosStepItem> collected;
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            const RemovalOutcome& outcome = outcomes[i];
            if (outcome.kind != RemovalOutcome::Kind::collected || !outcome.file->photosInfo())
                continue;
            const PhotosNode& item = *outcome.file->photosInfo();
            collected.push_back({ outcome.file->libraryPath().value_or(QString()),
                item.uuIDRkVersion.value_or(QString()), item.fileSize.value_or(0), outcome.path, i });
        }
        PhotosStepOutcome photoOutcome;
        if (!collected.empty())
            photoOutcome = runPhotosLibraryStep(collected, *photos, photoSettings, *abort);
        progress->flush();
        relay->post(
            [outcomes = std::move(outcomes), photoOutcome = std::move(photoOutcome)](CleanupController& self) mutable {
                self.finishRemovingMarkedFiles(std::move(outcomes), std::move(photoOutcome));
            });
    });
    worker_->start();
}

void CleanupController::beginRemoval(std::shared_ptr<const RemovalPlan> plan, std::shared_ptr<RemovalProgress> progress)
{
    plan_ = std::move(plan);
    report_.plannedCount = static_cast<qint64>(plan_->items.size());
    report_.uniquePhotosReatined = plan_->uniquePhotosReatined;
    report_.isPhotosLibInTrashList = plan_->isPhotosLibInTrashList;
    trashProgress_ = std::move(progress);
    if (screen_) {
        screen_->showTrashProgress(static_cast<int>(plan_->items.size()));
        screen_->updateTrashProgress(trashProgress_->figures());
    }
}

std::function<void()> CleanupController::progressAnnouncer(std::shared_ptr<Relay> relay)
{
    return [relay = std::move(relay)] {
        relay->post([](CleanupController& self) {
            if (!self.trashProgress_)
                return;
            const TrashProgressFigures figures = self.trashProgress_->takeFigures();
            if (self.screen_)
                self.screen_->updateTrashProgress(figures);
        });
    };
}

void CleanupController::abortCleaning()
{
    isAbortClean_->store(true);
}

void CleanupController::stopForQuit()
{
    isAbortClean_->store(true);
    isAbortUndo_->store(true);
}

bool CleanupController::canQuit()
{
    if (!isRemoving())
        return true;
    Log::print("Quit refused: files are being removed");
    if (screen_)
        screen_->showQuitRefused();
    return false;
}

void CleanupController::finishRemovingMarkedFiles(std::vector<RemovalOutcome> outcomes, PhotosStepOutcome photos)
{
    if (worker_) {
        worker_->wait();
        delete worker_;
        worker_ = nullptr;
    }
    trashProgress_.reset();
    const bool sameResults
        = applyRemovalOutcomes(state_, *plan_, outcomes, photos, report_, arrNodesToBeRestoredLocal_);
    releaseElsewhere(std::move(outcomes));
    // The run's list replaced the last one; what its source cannot bring back
    // is not offered to the undo.
    if (!removalsCanBeUndone(plan_->source))
        releaseElsewhere(std::exchange(arrNodesToBeRestoredLocal_, {}));
    emit undoListChanged();
    if (!sameResults) {
        endRemoval(std::nullopt);
        return;
    }
    // The shown groups are made again from what is left. For a large result
    // set the groups are taken in a turn of their own, and the sorting, the
    // rows and the counts are made on a worker while the progress sheet stays
    // up: nothing reaches the records meanwhile, and the run counts as going
    // until the outcome is in.
    rebuildingAfterRemoval_ = true;
    if (state_.arrMainGroup.size() < backgroundFrom_) {
        startRebuildAfterRemoval();
        return;
    }
    // On a timer rather than as a posted call, so that input and painting
    // waiting meanwhile go first.
    QTimer::singleShot(1, this, &CleanupController::startRebuildAfterRemoval);
}

void CleanupController::startRebuildAfterRemoval()
{
    // On the road out nothing starts any more.
    if (workersEnded_) {
        rebuildingAfterRemoval_ = false;
        return;
    }
    // A result set that came in between holds none of the groups the run
    // changed.
    if (state_.resultSetId() != plan_->resultSetId) {
        rebuildingAfterRemoval_ = false;
        endRemoval(std::nullopt);
        return;
    }
    auto rebuild = std::make_shared<AfterRemovalRebuild>(takeAfterRemovalInput(state_));
    if (rebuild->main.size() < backgroundFrom_) {
        rebuildAfterRemoval(*rebuild);
        rebuildingAfterRemoval_ = false;
        finishRebuildAfterRemoval(std::move(rebuild));
        return;
    }
    QThreadPool::globalInstance()->start([relay = relay_, rebuild = std::move(rebuild)]() mutable {
        rebuildAfterRemoval(*rebuild);
        relay->post([rebuild = std::move(rebuild)](CleanupController& self) mutable {
            self.finishRebuildAfterRemoval(std::move(rebuild), true);
        });
    });
}

void CleanupController::finishRebuildAfterRemoval(std::shared_ptr<AfterRemovalRebuild> rebuild, bool endLater)
{
    const std::optional<ResultArea> area = applyAfterRemoval(state_, *rebuild);
    if (area) {
        appendScanHistoryRecord(rebuild->duplicates, rebuild->duplicateBytes, defaults_);
        emit AppNotifier::instance().UpdateLastScanStatus();
    }
    const CategoryShares::Percentages shares = rebuild->shares;
    // What a dropped rebuild holds of the records goes on the pool.
    releaseElsewhere(std::move(rebuild));
    if (!endLater) {
        endRemoval(area, shares);
        return;
    }
    // The sheet closes, and the screen follows, in a turn of their own; the
    // sheet keeps the user's hands off the records until then.
    QMetaObject::invokeMethod(
        this,
        [this, area, shares] {
            rebuildingAfterRemoval_ = false;
            endRemoval(area, shares);
        },
        Qt::QueuedConnection);
}

void CleanupController::endRemoval(std::optional<ResultArea> area, const CategoryShares::Percentages& shares)
{
    if (screen_)
        screen_->closeTrashProgress();
    if (area)
        emit resultAreaChanged(*area, shares);
    emit removalFinished(area.has_value());
    // The window comes after the results are redrawn and the history written.
    QMetaObject::invokeMethod(this, &CleanupController::showWindowAfterTrash, Qt::QueuedConnection);
}

void CleanupController::showWindowAfterTrash()
{
    // Every run is reported, a stopped or partly failed one too.
    if (!afterCleanScreen_ || !plan_)
        return;
    afterCleanScreen_->showAfterCleanWindow(afterCleanFigures(report_, plan_->source), [this](bool toHome) {
        if (toHome)
            backToMainView();
    });
}

void CleanupController::backToMainView()
{
    state_.unmarkAllShownFiles();
    report_.isPhotosLibInTrashList = false;
    emit backToHomeRequested();
}
