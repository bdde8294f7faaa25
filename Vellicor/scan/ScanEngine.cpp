#include "scan/ScanEngine.h"

#include "core/CommonFuncs.h"
#include "core/FileCategories.h"
#include "core/FileUtilities.h"
#include "core/GlobalObjects.h"
#include "scan/LocalFileRecordBuilder.h"
#include "core/Localization.h"
#include "base/Log.h"
#include "core/MD5.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "base/AlertPresenter.h"
#include "platform/ReachabilityTest.h"
#include "scan/InternetAlert.h"
#include "base/UserDefaults.h"
#include "scan/Comparison.h"
#include "scan/ComparisonCriteria.h"
#include "scan/ComparisonObserver.h"
#include "scan/FileHasher.h"
#include "scan/PackageTypes.h"
#include "scan/ScanProgress.h"

#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <sys/stat.h>

namespace {

QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}

bool lstatPath(const QString& path, struct stat& st)
{
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool statPath(const QString& path, struct stat& st)
{
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

ScanEngine::ScanEngine(ScanScreen& screen, UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , screen_(screen)
    , defaults_(defaults)
{
    // Progress reaches the screen at most twenty times a second however fast
    // the worker goes; the end of a scan refreshes once more, exactly.
    refreshTimer_.setInterval(50);
    connect(&refreshTimer_, &QTimer::timeout, this, &ScanEngine::refreshTick);
}

ScanEngine::~ScanEngine()
{
    if (worker_.joinable()) {
        isAbortScan = true;
        if (scanWrapper)
            scanWrapper->isAbortScanning = true;
        worker_.join();
    }
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
    const std::optional<QVariantList> options = defaults_.arrayValue(QStringLiteral("search_options"));
    if (!options)
        return true;
    for (const QVariant& option : *options) {
        const std::optional<qint64> value = Setting::toInteger(option);
        if (value && *value >= 1 && *value <= 5)
            return false;
    }
    return true;
}

bool ScanEngine::isAnyFileTypeSelected()
{
    isAllFileTypesSelected = false;
    const std::optional<QVariantList> rows = defaults_.arrayValue(QStringLiteral("IncludeExtensionList"));
    if (!rows)
        return false;
    for (const QVariant& element : *rows) {
        const std::optional<QVariantMap> row = Setting::toDictionary(element);
        if (!row)
            continue;
        const bool checked = Setting::toBool(row->value(QStringLiteral("state"))).value_or(false);
        const QString key = Setting::toText(row->value(QStringLiteral("keyStr"))).value_or(QString());
        if (key == QLatin1String("All") && checked)
            isAllFileTypesSelected = true;
        if (checked)
            return true;
    }
    return false;
}

void ScanEngine::btnStartScanTapped()
{
    const auto refuse = [](const QString& message, const QString& informative) {
        return alertPresenter()->present(AlertRequest { message, informative, { text("ID_OK") } });
    };

    if (std::none_of(scanCategoryFlags.begin(), scanCategoryFlags.end(), [](bool on) { return on; })) {
        refuse(text("ID_ATLEAST_ONE_CATEGORY_REQUIRED"), QString());
        // After the button has flipped itself back.
        QMetaObject::invokeMethod(
            this, [this] { screen_.setScanNowButtonState(1, true); }, Qt::QueuedConnection);
        return;
    }
    if (isSearchOptionsEmpty()) {
        refuse(text("ID_SELECT_ONE_DUPLICATE_CRITERIA_FROM_PREFRENCES"), QString());
        screen_.setScanNowButtonState(0, true);
        return;
    }
    if (!isAnyFileTypeSelected()) {
        if (refuse(text("ID_PLEASE_SELECT_ANY_FILE_TYPE_TO_SCAN"), QString()) == 0)
            screen_.showPreferencesPane(QStringLiteral("advancescansetting"));
        screen_.setScanNowButtonState(0, true);
        return;
    }

    const ScanSource source = selectedScanSource().load();
    if (source == ScanSource::thisComputer) {
        bool folderFound = false;
        int others = 0;
        for (const FilePathNodePtr& row : arrPathNodesFinder) {
            if (!row || row->state != 1)
                continue;
            if (row->filePath && QFileInfo(*row->filePath).isDir()) {
                folderFound = true;
                break;
            }
            ++others;
        }
        if (!folderFound && others < 2) {
            refuse(text("ID_ONLY_ONE_ITEM_DETECTED_IN_SELECTED_PATH"),
                text("ID_PLEASE_TRY_SCANNING_ANOTHER_PATH_FOR_DUPLICATES"));
            screen_.setScanNowButtonState(0, true);
            return;
        }
    } else if (!isInternetAvailable()) {
        showInternetUnavailableAlert();
        screen_.setScanNowButtonState(0, true);
        return;
    }

    // Start sequence.
    joinWorker();
    isAbortScan = false;
    arrCloudScanFiles.clear();
    resetAllVariableOnStartScanning();
    updateFileScannedCountAndSize_MainThread();
    showButtonToShowDetailResult(true, true);
    labels_.lblScanPer = QStringLiteral("2%");
    labels_.progress = 0.02;
    screen_.showScanningLabels(labels_);

    switch (source) {
    case ScanSource::googleDrive:
        dispatchDriveQueries();
        break;
    case ScanSource::thisComputer:
        startWorker();
        break;
    default:
        dispatchCloudHandler();
        break;
    }

    screen_.showScannedPath(text("ID_SCAN_IN_PROGRESS_PLEASE_WAIT"), QString());
    labels_.lblAddingPhotos = text("ID_ADDING_FILES");
    screen_.showScanningLabels(labels_);
    screen_.showScanningSheet();
    refreshTimer_.start();

    // A Drive scan that sent no query ends at once, after the sheet is up.
    if (source == ScanSource::googleDrive && recusiveCount == 0)
        postEndOfScan();
}

void ScanEngine::resetAllVariableOnStartScanning()
{
    Log::print("resetAllVariableOnStartScanning");
    arrFileNodes.clear();
    arrMainGroup.clear();
    dictAllFilePath.clear();
    recordedFiles_.clear();
    walkedFolders_.clear();
    folderPriorityList().clear();
    fileFormatPriorityList().clear();
    defaultFileFormatPriorityList().clear();
    defaultFolderPriorityList().clear();
    source_ = selectedScanSource().load();
    if (static_cast<int>(source_) > 1)
        dictPathAdded.clear();
    screen_.setAbortButtonEnabled(true);
    counters.reset();
    recordCount_ = 0;
    isPhotosScanned = false;
    recusiveCount = 0;

    if (const std::optional<qint64> option = defaults_.integerValue(QStringLiteral("ScanFilesDate")))
        dateFilterOption = static_cast<int>(*option);
    if (const std::optional<QDateTime> date = defaults_.dateValue(QStringLiteral("ScanFileForCreatedDate")))
        createdDateFilter() = *date;
    if (const std::optional<QDateTime> date = defaults_.dateValue(QStringLiteral("ScanFileForModifiedDate")))
        modifiedDateFilter() = *date;
    loadFileSizeLimits();
    buildCloudDirExclusionPredicate();

    // Everything the worker filters by, fixed for the whole scan.
    snapshot_ = makeScanSettingsSnapshot();
    scanRows_.clear();
    for (const FilePathNodePtr& row : arrPathNodesFinder) {
        if (row)
            scanRows_.push_back(*row);
    }
    comparisonSettings_ = ComparisonSettings { defaults_.object(QStringLiteral("search_options")),
        defaults_.object(QStringLiteral("search_content")),
        defaults_.object(QStringLiteral("excludeDuplicateLessSizeInKB")) };
    excludeRows_.clear();
    for (const FilePathNodePtr& row : arrExcludePathsFinder) {
        if (row)
            excludeRows_.push_back(std::make_shared<FilePathNode>(*row));
    }
}

void ScanEngine::loadFileSizeLimits()
{
    const FileSizeLimits limits = readFileSizeLimits(defaults_);
    scanAnyFileSize = limits.scanAnyFileSize;
    minimumFileSizeBytes = limits.minimumFileSizeBytes;
    maximumFileSizeBytes = limits.maximumFileSizeBytes;
}

void ScanEngine::buildDirExclusionPredicate()
{
    predDirExclusion = makeDirExclusionPredicate(excludeRows_);
}

void ScanEngine::buildCloudDirExclusionPredicate()
{
    const ScanSource source = selectedScanSource().load();
    if (source == ScanSource::thisComputer)
        return;
    predCloudDirExclusion = makeCloudDirExclusionPredicate(source, arrExcludePathsGDrive, arrExcludePathsCloud);
}

// ---------------------------------------------------------------------------
// Dispatch
// ---------------------------------------------------------------------------

void ScanEngine::startWorker()
{
    worker_ = std::thread([this] { parseAllPath(); });
}

void ScanEngine::joinWorker()
{
    if (worker_.joinable())
        worker_.join();
}

void ScanEngine::dispatchDriveQueries()
{
    for (const FilePathNodePtr& row : arrPathNodesFinder) {
        if (!row || row->state == 0 || !row->gdFolder)
            continue;
        if (isAbortScan)
            continue;
        const QString folderId = row->gdFolder->folderId;
        const bool excluded = std::any_of(arrExcludePathsGDrive.begin(), arrExcludePathsGDrive.end(),
            [&](const FilePathNodePtr& ex) { return ex && ex->gdFolder && ex->gdFolder->folderId == folderId; });
        if (excluded || !driveScanService)
            continue;
        ++recusiveCount;
        driveScanService->executeFilesListQuery(folderId, row->isIncludeSubFolders);
    }
}

void ScanEngine::dispatchCloudHandler()
{
    if (!scanWrapper) {
        // No handler for this source: nothing to list, so the scan ends.
        postEndOfScan();
        return;
    }
    if (scanWrapper->isFileDeletedFromCloud) {
        scanWrapper->makeRootFolderNode();
        scanWrapper->isFileDeletedFromCloud = false;
        for (const FilePathNodePtr& row : arrPathNodesFinder) {
            if (row && row->cloudFolder) {
                row->cloudFolder->arrCloudFolderFiles.clear();
                row->cloudFolder->children.clear();
                row->cloudFolder->isAllFilesFetched = false;
            }
        }
    }
    scanWrapper->isCompletListFetch = true;
    scanWrapper->isAbortScanning = false;
    scanWrapper->fileCount = 0;
    startCloudListing();
}

void ScanEngine::startCloudListing()
{
    // The folders are chosen here, on the GUI thread that owns them; from
    // now on only the listing touches them.
    std::vector<CloudScanFoldersListPtr> folders;
    for (const FilePathNodePtr& row : arrPathNodesFinder) {
        if (!row || !row->cloudFolder)
            continue;
        if (predCloudDirExclusion && predCloudDirExclusion->evaluateWithObject(row->cloudFolder->folderPath))
            continue;
        if (row->state == 0)
            continue;
        row->cloudFolder->isIncludeSubFolders = row->isIncludeSubFolders;
        folders.push_back(row->cloudFolder);
    }
    // A handler needs at least one folder to start from; with none the scan
    // simply has nothing to compare.
    if (isAbortScan || folders.empty()) {
        postEndOfScan();
        return;
    }
    worker_ = std::thread([this, folders = std::move(folders)] { scanWrapper->startCloudScan(folders, 0, *this); });
}

void ScanEngine::addCloudScanFile(const FileInfoNodePtr& record)
{
    if (!record)
        return;
    const ScanSource source = source_;
    if (source == ScanSource::lightroomCatalog) {
        arrFileNodes.push_back(record);
        recordCount_ = static_cast<qint64>(arrFileNodes.size());
    } else {
        arrCloudScanFiles.push_back(record);
        recordCount_ = static_cast<qint64>(arrCloudScanFiles.size());
    }
    counters.countScanned += 1;
    counters.totSizeScanned += record->fileSize;
    if (record->filePath)
        setLatestPath(*record->filePath);
    requestRefresh();
}

void ScanEngine::OnScanCompletedProcess()
{
    if (source_ == ScanSource::lightroomCatalog) {
        // The catalog's files are compared like local ones.
        findDuplicatesAndFinishScan();
        return;
    }
    findDuplicatesInCloudDrives();
}

// ---------------------------------------------------------------------------
// The walk (worker thread)
// ---------------------------------------------------------------------------

void ScanEngine::parseAllPath()
{
    buildDirExclusionPredicate();
    for (const FilePathNode& row : scanRows_) {
        if (row.state == 0)
            continue;
        if (isAbortScan)
            break;
        const QString path = row.filePath.value_or(QString());
        if (path.isEmpty())
            continue;
        if (predDirExclusion && predDirExclusion->evaluateWithObject(path))
            continue;
        if (path.startsWith(QLatin1Char('.')))
            continue;
        // A row the user chose through a link to a folder is that folder.
        const QFileInfo info(path);
        if (info.isSymLink() && info.isDir()) {
            const QString target = info.canonicalFilePath();
            if (target.isEmpty() || (predDirExclusion && predDirExclusion->evaluateWithObject(target)))
                continue;
            scanPath(target, row);
            continue;
        }
        scanPath(path, row);
    }
    dropRecordsInsidePackages();
    scanCache_ = std::make_unique<ScanCache>(source_, isAbortScan);
    recordScannedFilesInCache();
    loadHashCache();
    findDuplicatesAndFinishScan();
}

void ScanEngine::scanPath(const QString& path, const FilePathNode& row)
{
    if (isAbortScan)
        return;
    struct stat own { };
    if (!lstatPath(path, own))
        return; // gone
    if (S_ISLNK(own.st_mode)) {
        struct stat target { };
        if (statPath(path, target))
            addScannedFile(path); // the builder takes links to files only
        return;
    }
    if (!S_ISDIR(own.st_mode)) {
        addScannedFile(path);
        return;
    }
    const QString extension = QFileInfo(path).suffix().toLower();
    if (!isPackageExtension(extension)) {
        scanDirectory(path, row);
        return;
    }
    if (isPhotoLibraryExtension(extension))
        return; // photo libraries are read by their own reader, never as files
    addScannedFile(path);
}

void ScanEngine::scanDirectory(const QString& path, const FilePathNode& row)
{
    if (isAbortScan)
        return;
    // A folder met again (through a bind mount or an earlier row) is walked
    // once, so loops end; only a row that wants the sub-folders walks again a
    // folder an earlier row walked without them. Files are recorded once
    // either way.
    struct stat folder { };
    if (!statPath(path, folder))
        return;
    const QPair<quint64, quint64> identity { static_cast<quint64>(folder.st_dev), static_cast<quint64>(folder.st_ino) };
    const auto walked = walkedFolders_.constFind(identity);
    if (walked != walkedFolders_.constEnd() && (*walked || !row.isIncludeSubFolders))
        return;
    walkedFolders_.insert(identity, row.isIncludeSubFolders);

    int unusableNames = 0;
    const QStringList names = folderEntryNames(path, &unusableNames);
    if (unusableNames > 0)
        Log::print("Skipped", unusableNames, "names that are not valid UTF-8 in:", printablePath(path));
    for (const QString& name : names) {
        if (name == QLatin1String(".DS_Store") || name == QLatin1String(".localized"))
            continue;
        if (isAbortScan)
            break;
        const QString entryPath = joinPath(path, name);
        if (predDirExclusion && predDirExclusion->evaluateWithObject(entryPath))
            continue;
        if (name.startsWith(QLatin1Char('.')))
            continue;
        if (!row.isIncludeSubFolders) {
            struct stat entry { };
            if (statPath(entryPath, entry) && S_ISDIR(entry.st_mode))
                continue;
        }
        scanPath(entryPath, row);
    }
}

void ScanEngine::addScannedFile(const QString& path)
{
    if (dictAllFilePath.contains(path))
        return;
    auto record = std::make_shared<FileInfoNode>();
    if (!makeLocalFileInfoNode(*record, path, QFileInfo(path).fileName(), snapshot_))
        return;
    // One record per file, under the first path met: hard links, bind mounts
    // and links to a file already recorded add nothing.
    const QPair<quint64, quint64> identity { record->deviceId, record->inode };
    if (recordedFiles_.contains(identity))
        return;
    recordedFiles_.insert(identity);

    const QString recordPath = record->filePath.value_or(path);
    setLatestPath(recordPath);
    dictAllFilePath.insert(recordPath, QStringLiteral("1"));
    counters.countScanned += 1;
    counters.totSizeScanned += record->fileSize;
    arrFileNodes.push_back(std::move(record));
    recordCount_ = static_cast<qint64>(arrFileNodes.size());
    requestRefresh();
}

void ScanEngine::dropRecordsInsidePackages()
{
    // Overlapping rows can record a package and, through a row inside it, one
    // of its members. Removing the package would remove the member too, so
    // the member must never count as the package's duplicate: the package
    // stays one item and what lies inside it is dropped.
    QSet<QString> packages;
    for (const FileInfoNodePtr& record : arrFileNodes) {
        if (record->isDirectory && record->filePath)
            packages.insert(*record->filePath);
    }
    if (packages.isEmpty())
        return;
    const auto insidePackage = [&packages](const QString& path) {
        for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash > 0;
             slash = path.lastIndexOf(QLatin1Char('/'), slash - 1)) {
            if (packages.contains(path.left(slash)))
                return true;
        }
        return false;
    };
    std::erase_if(arrFileNodes, [&](const FileInfoNodePtr& record) {
        if (!record->filePath || !insidePackage(*record->filePath))
            return false;
        dictAllFilePath.remove(*record->filePath);
        counters.countScanned -= 1;
        counters.totSizeScanned -= record->fileSize;
        return true;
    });
    recordCount_ = static_cast<qint64>(arrFileNodes.size());
}

void ScanEngine::md5OfPackageContents(const QString& path, FileInfoNode& record)
{
    record.md5 = packageDigest(path, isAbortScan);
}

// ---------------------------------------------------------------------------
// Progress (GUI thread)
// ---------------------------------------------------------------------------

void ScanEngine::requestRefresh()
{
    refreshWanted_ = true;
}

void ScanEngine::setLatestPath(const QString& path)
{
    std::lock_guard lock(pathMutex_);
    latestPath_ = path;
    latestPathShown_ = false;
}

void ScanEngine::refreshTick()
{
    std::optional<QString> path;
    {
        std::lock_guard lock(pathMutex_);
        if (!latestPathShown_) {
            latestPathShown_ = true;
            path = latestPath_;
        }
    }
    if (path)
        screen_.showScannedPath(formatText(text("ID_SCAN_PATH"), { *path }), *path);
    if (refreshWanted_.exchange(false))
        updateFileScannedCountAndSize_MainThread();
}

QString ScanEngine::spaceToFreeText() const
{
    // Every member of a group but the first joined it as a duplicate, so the
    // space to free is the size of the duplicates found.
    return getSizeInUnits(static_cast<double>(counters.sizeDup.load()));
}

void ScanEngine::updateFileScannedCountAndSize_MainThread()
{
    const ScanCounters::Snapshot s = counters.snapshot();
    ScanProgressInputs inputs { recordCount_.load(), s.countScanned, s.countProcessed, s.countCompared };
    ::updateFileScannedCountAndSize(labels_, prog, inputs, [this] { return spaceToFreeText(); });
    screen_.showScanningLabels(labels_);
}

void ScanEngine::postEndOfScan()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            refreshTick();
            updateFileScannedCountAndSize_MainThread();
            showButtonToShowDetailResult(false, false);
        },
        Qt::QueuedConnection);
}

void ScanEngine::showButtonToShowDetailResult(bool isScanning, bool hideResultViewButton)
{
    screen_.showScanningState(isScanning, hideResultViewButton);
    isScanRunning = isScanning;
    if (isScanning)
        return;
    refreshTimer_.stop();
    QMetaObject::invokeMethod(
        this,
        [this] {
            ::showFullProgress(labels_);
            screen_.showScanningLabels(labels_);
        },
        Qt::QueuedConnection);
    QTimer::singleShot(finishPauseMs_, this, &ScanEngine::handleScanFinished);
}

void ScanEngine::handleScanFinished()
{
    // The worker posted the end as its last act; it is gone or going.
    joinWorker();
    QMetaObject::invokeMethod(
        this, [this] { screen_.hideScanningSheet(); }, Qt::QueuedConnection);
    screen_.setResultButtonEnabled(true);
    screen_.setScanNowButtonState(1, true);

    const bool found = std::any_of(arrMainGroup.begin(), arrMainGroup.end(),
        [](const DuplicateGroupPtr& g) { return g && g->filterChildren.size() > 1; });
    if (found) {
        QTimer::singleShot(resultsPauseMs_, this, &ScanEngine::showResultsAfterPause);
        refreshLastScanStatus();
        return;
    }
    appendScanHistoryRecord(counters.countDup.load(), counters.sizeDup.load(), defaults_);
    screen_.setResultButtonEnabled(false);
    const int answer = alertPresenter()->present(AlertRequest { text("ID_NO_DUPLICATE_ITEMS_FOUND"),
        text("ID_PLEASE_TRY_SCANNING_ANOTHER_PATH_FOR_DUPLICATES"), { text("ID_OK") } });
    if (answer == 0)
        screen_.showHomeView();
    refreshLastScanStatus();
    emit scanEnded();
}

void ScanEngine::showResultsAfterPause()
{
    appendScanHistoryRecord(counters.countDup.load(), counters.sizeDup.load(), defaults_);
    refreshLastScanStatus();
    showResultDetail();
    emit scanEnded();
}

void ScanEngine::showResultDetail()
{
    std::erase_if(arrMainGroup, [](const DuplicateGroupPtr& g) { return !g || g->children.size() < 2; });
    QSet<QString> folders;
    QSet<QString> extensions;
    for (const DuplicateGroupPtr& group : arrMainGroup) {
        for (const FileInfoNodePtr& record : group->children) {
            if (record->filePath) {
                const QString folder = QFileInfo(*record->filePath).path().toLower();
                if (!folders.contains(folder)) {
                    folders.insert(folder);
                    folderPriorityList().append(folder);
                    defaultFolderPriorityList().append(folder);
                }
            }
            const QString& extension = record->fileExtension;
            if (!extension.isEmpty() && !extensions.contains(extension)) {
                extensions.insert(extension);
                fileFormatPriorityList().append(extension);
                defaultFileFormatPriorityList().append(extension);
            }
        }
    }
    screen_.showResults(arrMainGroup, counters.countDup.load());
}

void ScanEngine::abortScanning()
{
    QMetaObject::invokeMethod(this, &ScanEngine::confirmStopScanning, Qt::QueuedConnection);
}

void ScanEngine::confirmStopScanning()
{
    const int answer = alertPresenter()->present(
        AlertRequest { text("ID_DO_YOU_REALLY_WANT_STOP_SCANNING"), QString(), { text("ID_NO"), text("ID_YES") } });
    if (answer == 0)
        return;
    if (scanWrapper)
        scanWrapper->isAbortScanning = true;
    isAbortScan = true;
    screen_.setAbortButtonEnabled(false);
}

void ScanEngine::refreshLastScanStatus()
{
    const QVariant history = defaults_.object(QStringLiteral("lastScanStatus"));
    if (const std::optional<QVariantList> list = Setting::toArray(history)) {
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
    alertPresenter()->present(AlertRequest {
        text("ID_SCANNING_IS_IN_PROGRESS_PLEASE_STOP_SCANNING_BEFORE_EXIT_APP"), QString(), { text("ID_OK") } });
    return false;
}

// ---------------------------------------------------------------------------
// Cache and comparison (worker thread)
// ---------------------------------------------------------------------------

namespace {

// Digests as the scan reads them: whole files and file heads with md5OfFile,
// packages by their members. Keeps no state, so the comparison's hashing
// threads may share it.
class ScanFileHasher : public FileHasher {
public:
    std::optional<QString> md5OfFile(const QString& path, const std::atomic<bool>& abort) const override
    {
        return ::md5OfFile(path, abort);
    }
    std::optional<QString> md5OfFirstBytes(
        const QString& path, qint64 byteCount, const std::atomic<bool>& abort) const override
    {
        return md5OfFileHead(path, static_cast<quint64>(std::max<qint64>(byteCount, 0)), abort);
    }
    std::optional<QString> md5OfPackageContents(const QString& path, const std::atomic<bool>& abort) const override
    {
        return packageDigest(path, abort);
    }
};

} // namespace

// The comparison's reports, turned into the engine's coalesced display: the
// worker never waits for the GUI thread.
class ScanEngine::ComparisonReports : public ComparisonObserver {
public:
    explicit ComparisonReports(ScanEngine& engine)
        : engine_(engine)
    {
    }
    void showSearchingDuplicatesLabel() override
    {
        QMetaObject::invokeMethod(
            &engine_,
            [engine = &engine_] {
                engine->labels_.lblAddingPhotos = text("ID_SEARCHING_DUPLICATES");
                engine->screen_.showScanningLabels(engine->labels_);
            },
            Qt::QueuedConnection);
    }
    void showScanPathLabel(const QString& filePath) override { engine_.setLatestPath(filePath); }
    void showScanPathWithProgress(const QString& filePath) override
    {
        engine_.setLatestPath(filePath);
        engine_.requestRefresh();
    }
    void updateFileScannedCountAndSize(bool) override { engine_.requestRefresh(); }

private:
    ScanEngine& engine_;
};

void ScanEngine::recordScannedFilesInCache()
{
    scanCache_->recordScannedFilesInCache(arrFileNodes);
}

void ScanEngine::loadHashCache()
{
    scanCache_->loadHashCache();
}

void ScanEngine::saveHashesToCacheDatabase(const std::vector<FileInfoNodePtr>& records)
{
    scanCache_->saveHashesToCacheDatabase(records);
}

void ScanEngine::searchDuplicateLocalFiles()
{
    const ScanSource source = source_;
    ScanFileHasher hasher;
    ComparisonReports reports(*this);
    Comparison comparison(hasher, counters, isAbortScan);
    comparison.setObserver(&reports);
    // A photo catalog's scan loads no digests; it only saves the ones it
    // computes.
    if (!scanCache_)
        scanCache_ = std::make_unique<ScanCache>(source, isAbortScan);
    comparison.setDigestCache(source == ScanSource::lightroomCatalog ? nullptr : scanCache_.get());
    comparison.setSaveDigests([this](const std::vector<FileInfoNodePtr>& batch) { saveHashesToCacheDatabase(batch); });
    arrMainGroup = comparison.searchDuplicateLocalFiles(arrFileNodes, source, comparisonSettings_);
    // Commits this scan's digests and closes the database on this thread.
    scanCache_.reset();
}

void ScanEngine::findDuplicatesInCloudDrives()
{
    const ScanSource source = source_;
    ScanFileHasher hasher;
    ComparisonReports reports(*this);
    Comparison comparison(hasher, counters, isAbortScan);
    comparison.setObserver(&reports);
    const ComparisonCriteria criteria = ComparisonCriteria::fromSearchOptions(comparisonSettings_.searchOptions);
    if (isContentSearch(comparisonSettings_.searchContent)) {
        // Cloud records carry the service's checksum as their digest, so the
        // content road groups them without reading anything.
        arrMainGroup = comparison.groupFilesBySizeAndMd5(arrCloudScanFiles, criteria, -1);
    } else {
        arrMainGroup = comparison.groupFilesByCriteria(arrCloudScanFiles, source, criteria, 0, 0);
    }
    postEndOfScan();
}

void ScanEngine::findDuplicatesAndFinishScan()
{
    searchDuplicateLocalFiles();
    dictAllFilePath.clear();
    postEndOfScan();
}
