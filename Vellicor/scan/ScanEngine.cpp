#include "scan/ScanEngine.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "base/ReleaseElsewhere.h"
#include "base/UserDefaults.h"
#include "core/CommonFuncs.h"
#include "core/FileUtilities.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/MD5.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "platform/ReachabilityTest.h"
#include "scan/InternetAlert.h"
#include "scan/ScanAlerts.h"
#include "scan/ScanProgress.h"
#include "scan/ScanSources.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

QLatin1String key(const char* name)
{
    return QLatin1String(name);
}

} // namespace

ScanEngine::ScanEngine(ScanScreen& screen, UserDefaults& defaults, ScanSources& sources, QObject* parent)
    : QObject(parent)
    , screen_(screen)
    , defaults_(defaults)
    , sources_(sources)
{
    // Progress reaches the screen at most twenty times a second however fast
    // the worker goes; the end of a scan refreshes once more, exactly.
    refreshTimer_.setInterval(50);
    connect(&refreshTimer_, &QTimer::timeout, this, &ScanEngine::refreshTick);
}

ScanEngine::~ScanEngine()
{
    recordFinishingScans();
    if (worker_.joinable()) {
        isAbortScan = true;
        if (job_ && job_->scanWrapper)
            job_->scanWrapper->isAbortScanning = true;
        worker_.join();
    }
    // Its scan, stopped or not, ends with the engine: none runs any more.
    isScanRunning = false;
}

void ScanEngine::setEndOfScanPauses(int finishMs, int resultsMs)
{
    finishPauseMs_ = finishMs;
    resultsPauseMs_ = resultsMs;
}

// ---------------------------------------------------------------------------
// Scan Now
// ---------------------------------------------------------------------------

bool ScanEngine::isSearchOptionsEmpty() const
{
    // A list that names no known criterion can give no result either.
    const std::optional<QVariantList> options = defaults_.arrayValue(key(SettingsKey::searchOptions));
    if (!options)
        return true;
    return std::none_of(options->begin(), options->end(), [](const QVariant& option) {
        const std::optional<qint64> value = Setting::toInteger(option);
        return value && *value >= 1 && *value <= 5;
    });
}

bool ScanEngine::isAnyFileTypeSelected()
{
    isAllFileTypesSelected = false;
    const std::optional<QVariantList> rows = defaults_.arrayValue(key(SettingsKey::includeExtensionList));
    if (!rows)
        return false;
    for (const QVariant& element : *rows) {
        const std::optional<QVariantMap> row = Setting::toDictionary(element);
        if (!row)
            continue;
        const bool checked = Setting::toBool(row->value(QStringLiteral("state"))).value_or(false);
        const QString keyStr = Setting::toText(row->value(QStringLiteral("keyStr"))).value_or(QString());
        if (keyStr == QLatin1String(ExtensionFilterKey::all) && checked)
            isAllFileTypesSelected = true;
        if (checked)
            return true;
    }
    return false;
}

void ScanEngine::btnStartScanTapped()
{
    // One scan at a time, its hand-over included: a key, a click that came
    // through or a call while one runs or finishes would start a second and
    // write a second record.
    if (isBusy()) {
        Log::print("Scan Now refused: a scan is still running or handing its results over");
        return;
    }
    const auto refuse = [](const QString& message, const QString& informative) {
        alertPresenter()->present(AlertRequest { message, informative, { localizedText("ID_OK") } });
    };

    if (std::none_of(scanCategoryFlags.begin(), scanCategoryFlags.end(), [](bool on) { return on; })) {
        refuse(localizedText("ID_ATLEAST_ONE_CATEGORY_REQUIRED"), QString());
        // After the button has flipped itself back.
        QMetaObject::invokeMethod(
            this, [this] { screen_.setScanNowButtonState(1, true); }, Qt::QueuedConnection);
        return;
    }
    if (isSearchOptionsEmpty()) {
        refuse(localizedText("ID_SELECT_ONE_DUPLICATE_CRITERIA_FROM_PREFRENCES"), QString());
        screen_.setScanNowButtonState(0, true);
        return;
    }
    if (!isAnyFileTypeSelected()) {
        // The pane opens once the alert is answered, not behind it.
        alertPresenter()->presentThen(AlertRequest { localizedText("ID_PLEASE_SELECT_ANY_FILE_TYPE_TO_SCAN"), QString(),
                                          { localizedText("ID_OK") } },
            [guard = QPointer<ScanEngine>(this)](int button) {
                if (guard && button == 0)
                    guard->screen_.showPreferencesPane(QStringLiteral("advancescansetting"));
            });
        screen_.setScanNowButtonState(0, true);
        return;
    }

    const ScanSource source = selectedScanSource().load();
    if (source == ScanSource::thisComputer) {
        bool folderFound = false;
        int others = 0;
        for (const FilePathNodePtr& row : sources_.scanList(source)) {
            if (!row || row->state != 1)
                continue;
            if (row->filePath && QFileInfo(*row->filePath).isDir()) {
                folderFound = true;
                break;
            }
            ++others;
        }
        if (!folderFound && others < 2) {
            refuse(localizedText("ID_ONLY_ONE_ITEM_DETECTED_IN_SELECTED_PATH"),
                localizedText("ID_PLEASE_TRY_SCANNING_ANOTHER_PATH_FOR_DUPLICATES"));
            screen_.setScanNowButtonState(0, true);
            return;
        }
    } else if (sourceNeedsInternet(source) && !isInternetAvailable()) {
        showInternetUnavailableAlert();
        screen_.setScanNowButtonState(0, true);
        return;
    } else if (const ScanWrapper* handler = sources_.handler(source);
               handler && !handler->isAuthenticateForScan && askSignIn_) {
        // A service that is not signed in (or whose sign-in it refused) is
        // listed after a new sign-in, not told as a lost connection.
        screen_.setScanNowButtonState(0, true);
        askSignIn_([engine = QPointer<ScanEngine>(this)] {
            if (engine)
                engine->btnStartScanTapped();
        });
        return;
    }

    // Without MD5 every digest would be missing and the scan would find
    // nothing in silence; say so once instead.
    const bool readsContents = source == ScanSource::thisComputer || source == ScanSource::lightroomCatalog;
    if (readsContents && readComparisonSettings(defaults_).compareContent && !md5Usable()) {
        Log::print("The crypto library refuses MD5: content scans cannot run");
        refuse(localizedText("ID_MD5_NOT_AVAILABLE"), localizedText("ID_MD5_NOT_AVAILABLE_DETAILS"));
        screen_.setScanNowButtonState(0, true);
        return;
    }

    // Start sequence. The previous scan's worker has ended (its end was
    // posted as its last act) and its results were handed over. Nothing of
    // that scan can be reached once this one starts: its results and its job
    // are let go of on the pool, and a listing that takes a share of the
    // memory takes it once they are gone, so that the same folders get the
    // same share scan after scan.
    joinWorker();
    const bool scannedBefore = static_cast<bool>(job_);
    if (scannedBefore) {
        screen_.releaseResults();
        releaseElsewhereGivingBack(std::exchange(job_, nullptr));
        if (source == ScanSource::googleDrive)
            DriveListing::releaseLast(sources_);
    }
    isAbortScan = false;
    resetAllVariableOnStartScanning();
    updateFileScannedCountAndSize_MainThread();
    showButtonToShowDetailResult(true, true);
    labels_.lblScanPer = QStringLiteral("2%");
    labels_.progress = 0.02;
    screen_.showScanningLabels(labels_);

    if (source == ScanSource::thisComputer)
        worker_ = std::thread([job = job_] { job->runLocalScan(); });

    screen_.showScannedPath(localizedText("ID_SCAN_IN_PROGRESS_PLEASE_WAIT"), QString());
    labels_.lblAddingPhotos = localizedText("ID_ADDING_FILES");
    screen_.showScanningLabels(labels_);
    screen_.showScanningSheet();
    refreshTimer_.start();

    if (source == ScanSource::thisComputer)
        return;
    if (scannedBefore)
        afterReleasesElsewhere(this, [this, job = job_] { startListing(job); });
    else
        startListing(job_);
}

void ScanEngine::startListing(const JobPtr& job)
{
    // Stopped while the last scan was let go of: nothing is listed.
    if (job != job_ || job->isFinished())
        return;
    if (isAbortScan) {
        job->finishEmpty();
        return;
    }
    if (job->request.source != ScanSource::googleDrive) {
        dispatchCloudHandler();
        return;
    }
    driveListing_.dispatch(*job_, sources_);
    // A Drive scan that sent no query ends at once.
    if (driveListing_.pendingQueries() == 0)
        job_->finishEmpty();
}

ScanEngine::JobPtr ScanEngine::makeJob()
{
    const ScanSource source = selectedScanSource().load();
    const bool handlerListing = source != ScanSource::thisComputer && source != ScanSource::googleDrive;
    ScanWrapper* handler = source == ScanSource::thisComputer ? nullptr : sources_.handler(source);
    // The job tells its end from whatever thread it ends on; the end itself
    // runs here, on the GUI thread, bound to that job. The Drive is listed
    // here, not by its handler, whose sign-in the listing still uses.
    return std::make_shared<ScanJob>(
        sources_.makeScanRequest(source), handlerListing ? handler : nullptr,
        [this](ScanJob& job) {
            QMetaObject::invokeMethod(
                this, [this, finished = job.shared_from_this()] { postEndOfScan(finished); }, Qt::QueuedConnection);
        },
        handler);
}

void ScanEngine::resetAllVariableOnStartScanning()
{
    Log::print("resetAllVariableOnStartScanning");
    folderPriorityList().clear();
    fileFormatPriorityList().clear();
    defaultFileFormatPriorityList().clear();
    defaultFolderPriorityList().clear();
    screen_.setAbortButtonEnabled(true);
    driveListing_.forgetQueries();
    // Everything the scan reads, fixed now; the records, groups and counters
    // start empty in a job of their own.
    job_ = makeJob();
}

// ---------------------------------------------------------------------------
// Dispatch
// ---------------------------------------------------------------------------

void ScanEngine::joinWorker()
{
    if (worker_.joinable())
        worker_.join();
}

void ScanEngine::processAllFetchGoogleDriveFiles(
    const QString& folderId, bool isIncludeSubFolders, const DriveFilesPage& page)
{
    if (!job_ || job_->request.source != ScanSource::googleDrive || job_->isFinished())
        return; // an answer for a scan that has ended
    driveListing_.takePage(*job_, folderId, isIncludeSubFolders, page);
}

void ScanEngine::dispatchCloudHandler()
{
    ScanWrapper* handler = job_->scanWrapper;
    if (!handler) {
        // No handler for this source: nothing to list, so the scan ends.
        job_->finishEmpty();
        return;
    }
    // What a clean-up or an undo made stale since the folders were listed is
    // listed again by the walk itself (ScanWrapper::markListingsStale).
    handler->isCompletListFetch = true;
    handler->isAbortScanning = false;
    handler->fileCount = 0;
    startCloudListing();
}

void ScanEngine::startCloudListing()
{
    // The folders were chosen at Scan Now, on the GUI thread that owns them;
    // from now on only the listing touches them. A handler needs at least one
    // folder to start from; with none the scan simply has nothing to compare.
    // The photo catalog is read whole, with or without chosen folders.
    const ScanRequest& request = job_->request;
    const bool readsWholeSource = request.source == ScanSource::lightroomCatalog;
    if (isAbortScan || (request.cloudFolders.empty() && !readsWholeSource)) {
        job_->finishEmpty();
        return;
    }
    worker_ = std::thread(
        [job = job_] { job->scanWrapper->startCloudScan(job->request.cloudFolders, job->request, *job); });
}

// ---------------------------------------------------------------------------
// Progress
// ---------------------------------------------------------------------------

void ScanEngine::refreshTick()
{
    if (!job_)
        return;
    if (const std::optional<QString> path = job_->takeLatestPath())
        screen_.showScannedPath(
            formatText(localizedText("ID_SCAN_PATH"), { printablePath(*path) }), printablePath(*path));
    if (job_->takeSearchingStarted()) {
        labels_.lblAddingPhotos = localizedText("ID_SEARCHING_DUPLICATES");
        screen_.showScanningLabels(labels_);
    }
    if (job_->takeRefreshWanted())
        updateFileScannedCountAndSize_MainThread();
}

void ScanEngine::updateFileScannedCountAndSize_MainThread()
{
    if (!job_)
        return;
    const ScanCounters::Snapshot s = job_->counters.snapshot();
    const ScanProgressInputs inputs { job_->recordCount(), s.countScanned, s.countProcessed, s.countCompared };
    // Every member of a group but the first joined it as a duplicate, so the
    // space to free is the size of the duplicates found.
    const JobPtr job = job_;
    ::updateFileScannedCountAndSize(
        labels_, prog_, inputs, [job] { return getSizeInUnits(static_cast<double>(job->counters.sizeDup.load())); });
    screen_.showScanningLabels(labels_);
}

// ---------------------------------------------------------------------------
// End of scan
// ---------------------------------------------------------------------------

void ScanEngine::postEndOfScan(const JobPtr& job)
{
    // No scan starts before this one's hand-over is done: the screen's
    // scanning state is this scan's. What was asked of it goes with it.
    ScanAlerts::withdrawAll();
    refreshTick();
    updateFileScannedCountAndSize_MainThread();
    // View Details shows a result set once it is handed over: until then the
    // newest one there is is an earlier scan's.
    screen_.setResultButtonEnabled(false);
    showButtonToShowDetailResult(false, false);
    refreshTimer_.stop();
    QMetaObject::invokeMethod(this, &ScanEngine::showFullProgress, Qt::QueuedConnection);
    finishing_.push_back({ job });
    QTimer::singleShot(finishPauseMs_, this, [this, job] { handleScanFinished(job); });
}

void ScanEngine::recordHistory(Finishing& entry)
{
    if (std::exchange(entry.recorded, true))
        return;
    const ScanResultPtr result = entry.job->result();
    appendScanHistoryRecord(result->dupCount, result->sizeDup, defaults_);
}

ScanEngine::Finishing ScanEngine::endFinishing(const JobPtr& job)
{
    Finishing ended { job };
    const auto it = std::find_if(
        finishing_.begin(), finishing_.end(), [&job](const Finishing& entry) { return entry.job == job; });
    if (it != finishing_.end()) {
        ended = std::move(*it);
        finishing_.erase(it);
    }
    recordHistory(ended);
    // The last hand-over done: Scan Now is usable again.
    if (!isBusy())
        screen_.setScanNowButtonState(1, true);
    return ended;
}

void ScanEngine::recordFinishingScans()
{
    for (Finishing& entry : finishing_)
        recordHistory(entry);
}

void ScanEngine::leaveFinishingScans()
{
    for (Finishing& entry : finishing_)
        entry.stayHome = true;
}

void ScanEngine::showButtonToShowDetailResult(bool isScanning, bool hideResultViewButton)
{
    screen_.showScanningState(isScanning, hideResultViewButton);
    isScanRunning = isScanning;
}

void ScanEngine::showFullProgress()
{
    ::showFullProgress(labels_);
    screen_.showScanningLabels(labels_);
}

void ScanEngine::handleScanFinished(const JobPtr& job)
{
    joinWorker(); // it posted the end as its last act: gone or going
    QMetaObject::invokeMethod(
        this, [this] { screen_.hideScanningSheet(); }, Qt::QueuedConnection);

    if (job->foundDuplicates()) {
        QTimer::singleShot(resultsPauseMs_, this, [this, job] { showResultsAfterPause(job); });
        refreshLastScanStatus();
        return;
    }
    const ScanResultPtr result = job->result();
    endFinishing(job);
    // Another of the engine's notices may still be open; this one waits for
    // its answer instead of standing on top of it.
    askWhenFree([this, result] { showNoDuplicatesNotice(result); });
    tellWhatWasLeftOut(*job);
}

void ScanEngine::askWhenFree(std::function<void()> ask)
{
    if (!questionOpen_) {
        ask();
        return;
    }
    if (!pendingNotice_) {
        pendingNotice_ = std::move(ask);
        return;
    }
    pendingNotice_ = [first = std::move(pendingNotice_), then = std::move(ask), this]() mutable {
        first();
        askWhenFree(std::move(then));
    };
}

void ScanEngine::askPending()
{
    if (pendingNotice_)
        askWhenFree(std::exchange(pendingNotice_, {}));
}

// Folders that could not be listed, photo databases that could not be read
// and cloud files without the service's checksum leave files out of the
// comparison; the user hears of each kind once, after what the scan did find.
void ScanEngine::tellWhatWasLeftOut(const ScanJob& job)
{
    // A chosen row an exclusion kept out is named on screen, not only in the
    // log: without it a scan of nothing reads as a scan that found nothing.
    if (const PassedOverLocations& passed = job.passedOverRows(); !passed.paths.isEmpty()) {
        const QString message
            = localizedText(passed.paths.size() == 1 ? "ID_LOCATION_PASSED_OVER" : "ID_LOCATIONS_PASSED_OVER");
        askWhenFree([this, message, details = passedOverDetails(passed)] {
            showNotice({ message, details, { localizedText("ID_OK") } });
        });
    }
    if (const std::optional<ListingBound>& bound = job.listingBound()) {
        auto texts = listingBoundTexts(*bound, false);
        askWhenFree([this, texts = std::move(texts)] {
            showNotice({ texts.first, texts.second, { localizedText("ID_OK") } });
        });
    }
    if (job.isListingIncomplete()) {
        const char* details
            = job.wasListingSignedOut() ? "ID_CLOUD_LISTING_SIGNED_OUT_DETAILS" : "ID_CLOUD_LISTING_INCOMPLETE_DETAILS";
        askWhenFree([this, details] {
            showNotice(
                { localizedText("ID_CLOUD_LISTING_INCOMPLETE"), localizedText(details), { localizedText("ID_OK") } });
        });
    }
    if (const QStringList& unread = job.unreadDatabases(); !unread.isEmpty()) {
        // A tree may hold any number of libraries: the first few are named,
        // the rest counted; the log names each.
        constexpr qsizetype named = 3;
        // A path is named whole, as long as the system lets it be.
        const QString paths = namedFewAndMore(unread, unread.size(), named, 4096);
        const QString details = unread.size() == 1
            ? formatText(localizedText("ID_PHOTO_DATABASE_LEFT_OUT_DETAILS"), { paths })
            : unread.size() <= named ? formatText(localizedText("ID_PHOTO_DATABASES_NAMED_LEFT_OUT_DETAILS"), { paths })
                                     : formatText(localizedText("ID_PHOTO_DATABASES_LEFT_OUT_DETAILS"), { paths });
        askWhenFree([this, details] {
            showNotice({ localizedText("ID_PHOTO_DATABASE_LEFT_OUT"), details, { localizedText("ID_OK") } });
        });
    }
    if (const qint64 count = job.withoutChecksumCount(); count > 0) {
        askWhenFree([this, count] {
            showNotice({ count == 1 ? localizedText("ID_CLOUD_FILE_NOT_COMPARED")
                                    : formatText(localizedText("ID_CLOUD_FILES_NOT_COMPARED"), { count }),
                localizedText(
                    count == 1 ? "ID_CLOUD_FILE_NOT_COMPARED_DETAILS" : "ID_CLOUD_FILES_NOT_COMPARED_DETAILS"),
                { localizedText("ID_OK") } });
        });
    }
}

void ScanEngine::showNotice(const AlertRequest& notice)
{
    questionOpen_ = true;
    alertPresenter()->presentThen(notice, [this, guard = QPointer<ScanEngine>(this)](int) {
        if (!guard)
            return;
        questionOpen_ = false;
        askPending();
    });
}

void ScanEngine::showNoDuplicatesNotice(const ScanResultPtr& result)
{
    questionOpen_ = true;
    alertPresenter()->presentThen(
        AlertRequest { localizedText("ID_NO_DUPLICATE_ITEMS_FOUND"),
            localizedText("ID_PLEASE_TRY_SCANNING_ANOTHER_PATH_FOR_DUPLICATES"), { localizedText("ID_OK") } },
        [this, guard = QPointer<ScanEngine>(this), result](int answer) {
            if (!guard)
                return;
            questionOpen_ = false;
            if (answer == 0)
                screen_.showHomeView();
            refreshLastScanStatus();
            emit scanEnded(result);
            askPending();
        });
}

void ScanEngine::showResultsAfterPause(const JobPtr& job)
{
    const ScanResultPtr result = job->result();
    const bool stayHome = endFinishing(job).stayHome;
    refreshLastScanStatus();
    if (!stayHome) {
        showResultDetail(result);
        screen_.setResultButtonEnabled(true);
    }
    emit scanEnded(result);
    tellWhatWasLeftOut(*job);
}

void ScanEngine::showResultDetail(const ScanResultPtr& result)
{
    folderPriorityList() = result->priorityLists.folders;
    defaultFolderPriorityList() = result->priorityLists.folders;
    fileFormatPriorityList() = result->priorityLists.formats;
    defaultFileFormatPriorityList() = result->priorityLists.formats;
    screen_.showResults(result);
}

void ScanEngine::loadLastScanResult()
{
    auto result = std::make_shared<ScanResult>();
    for (const DuplicateGroupPtr& group : lastScanResultGroups()) {
        if (!group || group->children.size() < 2)
            continue;
        result->groups.push_back(group);
        result->dupCount += static_cast<qint64>(group->children.size()) - 1;
    }
    result->scanWrapper = sources_.handler(selectedScanSource().load());
    result->priorityLists = priorityListsOf(result->groups);
    showResultDetail(result);
}

void ScanEngine::abortScanning()
{
    QMetaObject::invokeMethod(this, &ScanEngine::confirmStopScanning, Qt::QueuedConnection);
}

void ScanEngine::confirmStopScanning()
{
    // Asked for just as the scan ended, there is nothing left to stop.
    if (questionOpen_ || !isScanRunning)
        return;
    questionOpen_ = true;
    const QPointer<ScanEngine> guard(this);
    ScanAlerts::present(
        AlertRequest { localizedText("ID_DO_YOU_REALLY_WANT_STOP_SCANNING"), QString(),
            { localizedText("ID_NO"), localizedText("ID_YES") }, AlertStyle::informational },
        [this, guard, asked = job_](int answer) {
            // A Yes that comes after the scan has ended stops nothing: the
            // next scan must not start stopped.
            if (guard && answer == 1 && asked == job_ && isScanRunning)
                stopScan();
        },
        [this, guard] {
            if (!guard)
                return;
            questionOpen_ = false;
            askPending();
        });
}

void ScanEngine::stopScan()
{
    // Raised first: the comparison that a listing's end starts returns at once.
    isAbortScan = true;
    // A listing waits for no service: it ends now.
    if (job_ && job_->scanWrapper)
        job_->scanWrapper->stopScanListing();
    else if (job_ && job_->request.source == ScanSource::googleDrive && !job_->isFinished())
        driveListing_.stop(*job_);
    screen_.setAbortButtonEnabled(false);
}

void ScanEngine::stopForQuit()
{
    if (isScanRunning)
        stopScan();
}

void ScanEngine::refreshLastScanStatus()
{
    if (const std::optional<QVariantList> list = defaults_.arrayValue(key(SettingsKey::lastScanStatus))) {
        QMetaObject::invokeMethod(
            this, [this, records = *list] { showLastScanRecord(records); }, Qt::QueuedConnection);
    }
}

void ScanEngine::showLastScanRecord(const QVariantList& history)
{
    if (history.isEmpty())
        return;
    const std::optional<QVariantMap> record = Setting::toDictionary(history.last());
    if (!record)
        return;
    const QString count = QString::number(Setting::toInteger(record->value(QStringLiteral("dupCount"))).value_or(0));
    const QString size = getSizeInUnits(
        static_cast<double>(Setting::toUnsigned(record->value(QStringLiteral("dupSize"))).value_or(0)));
    const std::optional<QString> time = formattedDateText(
        Setting::toDate(record->value(QStringLiteral("scantime"))), QStringLiteral("dd/MM/yyyy hh:mm a"));
    screen_.showLastScanRecord(count, size, time);
}

bool ScanEngine::canQuit()
{
    if (!isScanRunning)
        return true;
    std::printf("scanning...\n");
    std::fflush(stdout);
    if (quitAlertOpen_)
        return false;
    quitAlertOpen_ = true;
    ScanAlerts::present(AlertRequest { localizedText("ID_SCANNING_IS_IN_PROGRESS_PLEASE_STOP_SCANNING_BEFORE_EXIT_APP"),
                            QString(), { localizedText("ID_OK") } },
        {}, [this, guard = QPointer<ScanEngine>(this)] {
            if (guard)
                quitAlertOpen_ = false;
        });
    return false;
}
