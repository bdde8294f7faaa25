#include "home/MainViewController.h"

#include "controls/IMGButton.h"
#include "core/AppNotifier.h"
#include "home/FileTypeSwitches.h"
#include "home/HomeBars.h"
#include "home/HomeFrames.h"
#include "home/HomeLook.h"
#include "home/LastScanBox.h"
#include "home/LocationTabs.h"
#include "home/ScanningView.h"

#include <QAction>

MainViewController::MainViewController(UserDefaults& defaults, ScanSources& sources, QWidget* parent)
    : QWidget(parent)
    , engine_(std::make_unique<ScanEngine>(*this, defaults, sources))
    , lists_(std::make_unique<LocationLists>(sources))
    , frames_(std::make_unique<HomeFrames>())
{
    setObjectName(QStringLiteral("homeView"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, HomeLook::screen);
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    resize(mainWindowContentSize);
    source_ = std::make_unique<ScanSourcePicker>(this);
    tabs_ = std::make_unique<LocationTabs>(*lists_, this);
    fileTypes_ = std::make_unique<FileTypeSwitches>(this);
    adding_ = std::make_unique<AddLocationsPanel>(*lists_, this);
    lastScan_ = std::make_unique<LastScanBox>(this);
    bars_ = std::make_unique<HomeBars>(this);
    scanning_ = std::make_unique<ScanningView>(this);
    results_ = std::make_unique<ResultsHandOff>(this);
    connectParts();
    connect(&sources, &ScanSources::listChanged, this, &MainViewController::sourceListChanged);
}

MainViewController::~MainViewController() = default;

void MainViewController::connectParts()
{
    connect(source_.get(), &ScanSourcePicker::activated, this, &MainViewController::changeScanSource);
    connect(tabs_.get(), &LocationTabs::tabTapped, this, &MainViewController::tabChanged);
    connect(tabs_.get(), &LocationTabs::menuItemChosen, this, &MainViewController::menuItemChosen);
    connect(tabs_.get(), &LocationTabs::removeTapped, this, &MainViewController::deletePathFromTable);
    connect(tabs_.get(), &LocationTabs::checkTapped, this, &MainViewController::selectDeselectPath);
    connect(tabs_.get(), &LocationTabs::subFoldersTapped, this, &MainViewController::includeSubFolders);
    connect(adding_.get(), &AddLocationsPanel::addTapped, this, &MainViewController::btnAddPathToScan);
    connect(adding_.get(), &AddLocationsPanel::excludeTapped, this, &MainViewController::btnExcluderFolderTapped);
    connect(adding_.get(), &AddLocationsPanel::protectTapped, this, &MainViewController::btnProtectFolderTapped);
    connect(adding_.get(), &AddLocationsPanel::listsChanged, this, [this] {
        reloadTables();
        updateButtonFromFileState();
    });
    connect(lastScan_.get(), &LastScanBox::viewDetailsTapped, engine_.get(), &ScanEngine::loadLastScanResult);
    connect(bars_->scanNowButton(), &QAbstractButton::clicked, engine_.get(), &ScanEngine::btnStartScanTapped);
    connect(scanning_.get(), &ScanningView::abortTapped, engine_.get(), &ScanEngine::abortScanning);
    // Back while a finished scan waits for its hand-over keeps the user here.
    connect(scanning_.get(), &ScanningView::backTapped, this, [this] {
        engine_->leaveFinishingScans();
        showHomeView();
    });
    connect(scanning_.get(), &ScanningView::viewDetailsTapped, results_.get(), &ResultsHandOff::showLast);
    connect(results_.get(), &ResultsHandOff::backTapped, this, &MainViewController::showHomeView);
}

void MainViewController::sourceListChanged(ScanSource source, SourceList which)
{
    // Whoever changed it: this screen, the preferences, the selection
    // assistant, the cloud picker or a reset.
    if (source != selectedScanSource().load())
        return;
    reloadTables();
    if (which == SourceList::scan && !isScanRunning)
        updateButtonFromFileState();
    if (which == SourceList::scan)
        showLastScanHint();
}

LocationAdder& MainViewController::adder()
{
    return adding_->adder();
}

HomePathModel& MainViewController::pathModel()
{
    return tabs_->model();
}

CategorySwitches& MainViewController::categorySwitches()
{
    return fileTypes_->switches();
}

FrameTable& MainViewController::frames()
{
    return frames_->table();
}

IMGButton* MainViewController::scanNowButton() const
{
    return bars_->scanNowButton();
}

void MainViewController::setResultsReceiver(ResultsReceiver* receiver)
{
    results_->setReceiver(receiver);
}

void MainViewController::setFolderChooser(std::unique_ptr<FolderChooser> chooser)
{
    adding_->setFolderChooser(std::move(chooser));
}

void MainViewController::setEmptyFolderCleanerOpener(std::function<void(QWidget*)> opener)
{
    emptyFolderCleanerOpener_ = std::move(opener);
}

void MainViewController::setPreferencesOpener(std::function<void(const std::optional<QString>&)> opener)
{
    preferencesOpener_ = std::move(opener);
}

void MainViewController::setCloudFolderPicker(std::function<void(HomeTab)> picker)
{
    adding_->setCloudFolderPicker(std::move(picker));
}

// ---- Set-up ------------------------------------------------------------------

void MainViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    frames_->place(this);
}

void MainViewController::localizeHomeScreen()
{
    bars_->localize();
    source_->localize();
    tabs_->localize();
    fileTypes_->localize();
    adding_->localize();
    lastScan_->localize();
    scanning_->localize();
}

void MainViewController::viewDidLoad()
{
    localizeHomeScreen();
    bars_->finishSetUp();
    adding_->finishSetUp();
    tabs_->finishSetUp();
    lastScan_->finishSetUp();
    scanning_->finishSetUp();

    showLastScanHint();
    lists_->loadSavedScanList();
    lists_->restoreExcludedFolders();
    lists_->restoreProtectedFolders();
    updateButtonFromFileState();
    engine_->refreshLastScanStatus();

    connect(&AppNotifier::instance(), &AppNotifier::FileDragDropNotification, this,
        &MainViewController::handleFileDragDropNotification);
    connect(
        &AppNotifier::instance(), &AppNotifier::UpdateLastScanStatus, this, &MainViewController::handelLastScanStatus);
    allFilesAndCustomScanOptsTapped(CategorySwitches::allFilesTag);
    source_->finishSetUp();
    tabChanged(1);
    layoutHomeScreen();
}

void MainViewController::showLastScanHint()
{
    lastScan_->showHint(!lists_->hasScanRow());
}

void MainViewController::handelLastScanStatus()
{
    engine_->refreshLastScanStatus();
}

void MainViewController::layoutHomeScreen()
{
    frames_->layOutForLanguage(this);
    bars_->scanNowButton()->update();
}

// ---- Lists and tabs ------------------------------------------------------------

HomeTab MainViewController::activeTab() const
{
    return tabs_->activeTab();
}

void MainViewController::tabChanged(int tag)
{
    if (tag == 4) {
        if (preferencesOpener_)
            preferencesOpener_(std::nullopt);
        return;
    }
    if (tag < 1 || tag > 3)
        return;
    tabs_->showTab(tag);
    adding_->tabShown(tag);
}

void MainViewController::reloadTables()
{
    tabs_->reload();
}

void MainViewController::changeScanSource(int index)
{
    const ScanSource previous = selectedScanSource().load();
    const ScanSource chosen = source_->sourceAt(index).value_or(previous);
    if (chosen != previous) {
        selectedScanSource() = chosen;
        // Each source keeps its own lists in the owner; the tables now show
        // the chosen one's. This computer's scan list is read afresh.
        adding_->sourceChosen(chosen, activeTab());
        if (chosen == ScanSource::thisComputer)
            lists_->loadSavedScanList();
        else if (chosen == ScanSource::emptyFolderCleaner && emptyFolderCleanerOpener_)
            emptyFolderCleanerOpener_(window());
        if (sourceSwitcher_)
            sourceSwitcher_->scanSourceChanged(previous, chosen);
        setScanNowButtonState(0, false);
        reloadTables();
        showLastScanHint();
    }
    updateButtonFromFileState();
}

void MainViewController::openScanListPanel()
{
    adding_->addTo(HomeTab::include);
}

void MainViewController::btnAddPathToScan()
{
    const HomeTab tab = activeTab();
    if (tab != HomeTab::none)
        adding_->addTo(tab);
}

void MainViewController::btnExcluderFolderTapped()
{
    tabChanged(2);
    btnAddPathToScan();
}

void MainViewController::btnProtectFolderTapped()
{
    tabChanged(3);
    btnAddPathToScan();
}

void MainViewController::handleFileDragDropNotification(const QStringList& paths)
{
    adding_->addDropped(paths, activeTab());
}

void MainViewController::deletePathFromTable(int row)
{
    const bool include = activeTab() == HomeTab::include;
    if (tabs_->removeRow(row) && include && !lists_->hasScanRow())
        setScanNowButtonState(0, false);
}

void MainViewController::includeSubFolders(int row, bool on)
{
    tabs_->includeSubFolders(row, on);
}

void MainViewController::selectDeselectPath(int row, bool on)
{
    if (tabs_->setRowChecked(row, on) == HomeTab::include)
        updateButtonFromFileState();
}

void MainViewController::revealInFinderTapped()
{
    tabs_->revealSelected();
}

void MainViewController::checkAllTapped()
{
    if (tabs_->setAllRowStates(1) == HomeTab::include)
        setScanNowButtonState(1, true);
}

void MainViewController::uncheckAllTapped()
{
    if (tabs_->setAllRowStates(0) == HomeTab::include)
        setScanNowButtonState(0, false);
}

void MainViewController::removeFromScanList()
{
    const std::optional<int> row = tabs_->selectedRow();
    if (!row)
        return;
    // The same removal as the row's own button: it follows the shown source,
    // so a cloud folder also leaves the list its handler scans.
    deletePathFromTable(*row);
    if (activeTab() == HomeTab::include)
        updateButton();
}

void MainViewController::removeAllFromScanList()
{
    if (tabs_->clearShownList() == HomeTab::include)
        setScanNowButtonState(0, false);
}

bool MainViewController::validateMenuItem(QAction* item)
{
    // A source's item is always offered; the rest are the tables' menu.
    if (scanSourceOfTag(item->data().toInt()))
        return true;
    return tabs_->validateMenuItem(item);
}

void MainViewController::menuItemChosen(int tag)
{
    switch (tag) {
    case 0:
        revealInFinderTapped();
        break;
    case 1:
        checkAllTapped();
        break;
    case 2:
        uncheckAllTapped();
        break;
    case 3:
        removeFromScanList();
        break;
    case 4:
        removeAllFromScanList();
        break;
    default:
        break;
    }
}

// ---- File types and Scan Now ---------------------------------------------------

void MainViewController::btnFileFormatsTapped(int tag)
{
    fileTypes_->categoryTapped(tag);
}

void MainViewController::allFilesAndCustomScanOptsTapped(int tag)
{
    fileTypes_->choiceTapped(tag);
}

void MainViewController::updateButtonFromFileState()
{
    const bool on = lists_->hasCheckedScanRow();
    setScanNowButtonState(on ? 1 : 0, on);
}

void MainViewController::updateButton()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            const bool on = lists_->hasScanRow();
            setScanNowButtonState(on ? 1 : 0, on);
            adding_->refresh();
        },
        Qt::QueuedConnection);
}

// ---- The scan's screen ----------------------------------------------------------

void MainViewController::showScanningLabels(const ScanningLabels& labels)
{
    scanning_->showLabels(labels);
}

void MainViewController::showScannedPath(const QString& line, const QString& toolTip)
{
    scanning_->showScannedPath(line, toolTip);
}

void MainViewController::showScanningState(bool isScanning, bool hideResultViewButton)
{
    scanning_->showState(isScanning, hideResultViewButton);
}

void MainViewController::setScanNowButtonState(int state, bool enabled)
{
    // Whoever asks, the button stays off while a scan runs or hands over; a
    // button that takes nothing looks it (grey), never blue.
    const bool live = enabled && !engine_->isBusy();
    bars_->setScanNowState(live ? state : 0, live);
}

void MainViewController::setAbortButtonEnabled(bool enabled)
{
    scanning_->setAbortEnabled(enabled);
}

void MainViewController::setResultButtonEnabled(bool enabled)
{
    scanning_->setResultEnabled(enabled);
}

void MainViewController::showScanningSheet()
{
    scanning_->showSheet();
}

void MainViewController::hideScanningSheet()
{
    scanning_->hideSheet();
    setScanNowButtonState(1, true);
}

void MainViewController::showLastScanRecord(
    const QString& dupCount, const QString& dupSize, const std::optional<QString>& scanTime)
{
    lastScan_->showRecord(dupCount, dupSize, scanTime);
}

void MainViewController::showPreferencesPane(const QString& paneIdentifier)
{
    if (preferencesOpener_)
        preferencesOpener_(paneIdentifier);
}

void MainViewController::showHomeView()
{
    results_->hidePage();
    scanning_->hide();
    updateButtonFromFileState();
}

void MainViewController::showResults(const ScanResultPtr& result)
{
    results_->show(result);
}

void MainViewController::releaseResults()
{
    results_->release();
}
