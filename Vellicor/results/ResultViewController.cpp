#include "results/ResultViewController.h"

#include "base/Log.h"
#include "base/UserDefaults.h"
#include "cleanup/CleanupController.h"
#include "controls/ButtonKeys.h"
#include "controls/CheckBoxButton.h"
#include "controls/CustomTableView.h"
#include "controls/IMGButton.h"
#include "core/Localization.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/ResultsSummary.h"
#include "marking/SelectAssistanceController.h"
#include "marking/SortRunner.h"
#include "platform/FileRemover.h"
#include "results/PreviewPane.h"
#include "results/ResultContextMenu.h"
#include "results/ResultViewTexts.h"
#include "results/ResultsHandOver.h"
#include "results/ResultsKeyboard.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "results/ResultsWidgets.h"
#include "scan/ScanCache.h"
#include "scan/ScanSources.h"

#include <QHeaderView>
#include <QHideEvent>
#include <QSplitter>

using namespace ResultsLook;

namespace {

void setImageSet(IMGButton* button, const QString& start, const QString& middle, const QString& end)
{
    button->setButtonsImages(start, middle, end, start, middle, end, start, middle, end);
}

void styleDarkButton(IMGButton* button)
{
    setImageSet(
        button, QStringLiteral("back_btn_left"), QStringLiteral("back_btn_mid"), QStringLiteral("back_btn_right"));
}

} // namespace

ResultViewController::ResultViewController(UserDefaults& defaults, std::shared_ptr<ScanSources> protectedFolders,
    std::shared_ptr<FileRemover> files, QWidget* parent)
    : QWidget(parent)
    , defaults_(defaults)
    , state_(std::make_unique<ResultsState>(protectedFolders))
    , delayedCalls_(timerDelayedCalls())
{
    setObjectName(name("ResultViewController"));
    model_ = new ResultsModel(*state_, this);
    listModel_ = new ResultsListProxy(*model_, this);
    state_->setObserver(model_);
    autoMarkSheets_ = std::make_unique<AutoMarkSheetWindows>(this);
    autoMarking_ = std::make_unique<AutoMarking>(*state_, defaults_, *autoMarkSheets_);
    autoMarkSheets_->connectTo(*autoMarking_);
    makeRooms(std::move(files));
    // The assistant shares the protected folders with the home screen.
    selectAssistance_
        = std::make_unique<SelectAssistanceController>(*state_, *protectedFolders, defaults_, *autoMarking_, this);
    keyboard_ = std::make_unique<ResultsKeyboard>(*this);
}

ResultViewController::~ResultViewController()
{
    state_->setObserver(nullptr);
}

void ResultViewController::makeRooms(std::shared_ptr<FileRemover> files)
{
    const ResultsLater later
        = [this](int milliseconds, std::function<void()> work) { after(milliseconds, std::move(work)); };
    marking_ = std::make_unique<MarkingControls>(*state_);
    handOver_ = std::make_unique<ResultsHandOver>();
    removal_ = std::make_unique<RemovalSteps>(*state_, defaults_, std::move(files), *this);
    RemovalSteps::Hooks removal;
    removal.isToolbarEnabled = [this] { return toolbar_->isEnabled(); };
    removal.removeMarked = [this] { removeMarkedFiles(); };
    removal.back = [this] { goBack(); };
    // A sort still running would move the files under the run's workers;
    // the rows the run leaves are taken anew anyway. The marks of a cancelled
    // automatic marking still being applied are read whole.
    removal.removalStarting = [this] {
        marking_->dropPendingSort();
        autoMarking_->finishApplying();
    };
    removal.removalFinished = [this](bool rowsTaken) { removalFinished(rowsTaken); };
    removal.resultAreaChanged
        = [this](ResultArea area, const CategoryShares::Percentages& shares) { showResultArea(area, shares); };
    removal.undoRunningChanged = [this](bool running) { toolbar_->showUndoRunning(running); };
    removal.undoOffered = [this](bool offered) { toolbar_->offerUndo(offered); };
    removal_->setHooks(std::move(removal));
    cleanup().setMarksChangingElsewhere([this] { return autoMarking_->isMarking(); });

    ResultViews::Hooks views;
    views.fileSelected = [this](const FileInfoNodePtr& file) { updateOnDuplicateRowSelection(file); };
    views.selectionCleared = [this] { updateOnDuplicateRowUnSelection(); };
    views.fileCheckBoxTapped = [this](const FileInfoNodePtr& file) { fileCheckBoxTapped(file); };
    views.groupCheckBoxTapped = [this](const DuplicateGroupPtr& group) { groupCheckBoxTapped(group); };
    views.checkKeyPressed = [this] { checkKeyPressed(); };
    views_ = std::make_unique<ResultViews>(*state_, *model_, *listModel_, later, std::move(views), *this);
    pane_ = std::make_unique<SelectionPane>(*state_, *this);

    ResultsToolbar::Actions toolbar;
    toolbar.changeView = [this](ViewMode mode) { btnChangeResultView(mode); };
    toolbar.unmarkAll = [this] { state_->selectAllShownFilesInSlices(false); };
    toolbar.unmarkAllAtOnce = [this] { state_->unmarkAllShownFiles(); };
    toolbar.selectionAssistant = [this] { autoMarking_->btnSelectAssistanceTapped(); };
    toolbar.undo = [this] { cleanup().btnUndoTapped(); };
    toolbar.sort = [this] { marking_->sortButtonTapped(); };
    toolbar.settings = [this] { btnSettingsInResultViewTapped(); };
    toolbar.fullScreen = [this] { btnFullScreenTapped(); };
    toolbar.autoMark = [this] { autoMarking_->btnAutoMarkTapped(); };
    toolbar_ = std::make_unique<ResultsToolbar>(std::move(toolbar), later, *this);
    categories_ = std::make_unique<CategoryBar>([this](int category) { categoryChosen(category); });
    figures_ = std::make_unique<SummaryFigures>(*state_);
}

void ResultViewController::setDelayedCalls(std::shared_ptr<DelayedCalls> calls)
{
    delayedCalls_ = std::move(calls);
    autoMarking_->setDelayedCalls(delayedCalls_);
}

void ResultViewController::after(int milliseconds, std::function<void()> work)
{
    delayedCalls_->after(std::chrono::milliseconds(milliseconds), this, std::move(work));
}

// ---- set-up -----------------------------------------------------------------

void ResultViewController::viewDidLoad()
{
    if (loaded_)
        return;
    loaded_ = true;
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, screenColor);
    setPalette(palette);
    // The window's content size: the screen is laid out for it once.
    const QSize content = isSmallScreenLayout ? smallWindowContentSize : mainWindowContentSize;
    resize(content);
    buildControls();
    buildMenus();
    applyControlTexts(*this, resultViewTexts());
    toolbar_->takeSortToolTip();
    styleControls();
    connectModel();
    frames_.layOut(*this, content);
    chainRowsAsDrawn();
    viewSplit_->setSizes({ content.width() - SummaryFigures::pieWidth, SummaryFigures::pieWidth });
    btnChangeResultView(ViewMode::list);
    setResultToolbarEnabled(true);
    categories_->highlight(-1);
    updateMarkedCountLabel();
    updateSortButton();
}

void ResultViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!loaded_)
        return;
    frames_.resized(*this);
    placeNoDuplicatesView();
    fitCategoryRow();
    chainRowsAsDrawn();
}

void ResultViewController::chainRowsAsDrawn()
{
    // The rows' order on screen is the frame table's and the language's,
    // not the order the buttons were made in.
    for (QWidget* row : { toolbar_->row(), categories_->row() }) {
        const QList<QAbstractButton*> buttons = row->findChildren<QAbstractButton*>();
        chainLeftToRight({ buttons.begin(), buttons.end() });
    }
}

void ResultViewController::fitCategoryRow()
{
    categories_->fit(frames_.table(), this, viewLeft_->mapTo(this, QPoint(viewLeft_->width(), 0)));
}

void ResultViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    keyboard_->watchWindow();
}

void ResultViewController::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A hide of the whole window (minimised) leaves the focus alone.
    if (!event->spontaneous() && isHidden())
        keyboard_->screenHidden();
}

bool ResultViewController::focusNextPrevChild(bool next)
{
    return keyboard_->moveFocus(next) || QWidget::focusNextPrevChild(next);
}

int ResultViewController::resultAreaTop() const
{
    return toolbar_->bottom() + 1;
}

void ResultViewController::placeNoDuplicatesView()
{
    removal_->placeAreaViews(resultAreaTop());
}

void ResultViewController::buildControls()
{
    // The rooms build their controls in the order the screen's focus chain
    // and stacking have always followed.
    viewListing_ = new QWidget(this);
    viewListing_->setObjectName(name("viewListing"));
    removal_->buildResultAreaViews();

    boxHeader_ = box("boxHeader", viewListing_, barColor);
    btnBack_ = new IMGButton(boxHeader_);
    btnBack_->setObjectName(name("btnBack"));
    styleDarkButton(btnBack_);
    figures_->buildHeaderFigures(boxHeader_);
    removal_->buildDeleteLink(boxHeader_);

    toolbar_->build(viewListing_);
    categories_->build(viewListing_);
    // The sort button sits at the row's right end, widened leftwards for long titles.
    toolbar_->placeSortButton(categories_->row());

    viewSplit_ = new QSplitter(Qt::Horizontal, viewListing_);
    viewSplit_->setObjectName(name("viewSplit"));
    viewSplit_->setChildrenCollapsible(false);
    viewSplit_->setHandleWidth(1);
    viewSplit_->setStyleSheet(QStringLiteral("QSplitter::handle { background: #3a3c40; }"));
    viewLeft_ = box("viewLeft", viewSplit_, panelColor);
    viewRight_ = box("viewRight", viewSplit_, barColor);
    viewSplit_->addWidget(viewLeft_);
    viewSplit_->addWidget(viewRight_);
    viewSplit_->setStretchFactor(0, 1);
    // However far the split is dragged, the pane keeps the room of the pie
    // and its legend, and the details of a file with them.
    viewRight_->setMinimumWidth(SummaryFigures::pieWidth);
    views_->buildListAndOutline(viewLeft_, marking_->makeSelectAllBox([this] { reloadShownResultView(); }));
    // Nor does the list side vanish: it keeps a file's box, name and size.
    viewLeft_->setMinimumWidth(views_->leastUsefulWidth());
    marking_->attachListHeader(views_->tblDuplicates()->horizontalHeader());
    // The list's width changes with the window, the splitter and the right
    // pane shown or hidden; the category buttons stay over it.
    viewLeft_->installEventFilter(new ResizeHook([this] { fitCategoryRow(); }, viewLeft_));
    pane_->build(viewRight_);
    // The pie is the preview pane's face while no file is selected.
    figures_->buildPie(pane_->previewPane().graphView(), 8);
    views_->buildGrid(viewLeft_);
    figures_->buildChartSummary();
    buildFooter();
}

void ResultViewController::buildFooter()
{
    boxFooter_ = box("boxFooter", viewListing_, barColor);
    figures_->buildMarkedCount(boxFooter_);
    btnBackToFooter_ = new IMGButton(boxFooter_);
    btnBackToFooter_->setObjectName(name("btnBackToFooter"));
    styleDarkButton(btnBackToFooter_);
    removal_->buildTrashButton(boxFooter_);
    for (IMGButton* button : { btnBack_, btnBackToFooter_ }) {
        button->setFontSizeForButton(13);
        button->setMakeBoldFont(false);
        button->setColorOnState(Qt::white);
        button->setColorOffState(Qt::white);
    }
    connect(btnBack_, &QAbstractButton::clicked, this, &ResultViewController::goBack);
    connect(btnBackToFooter_, &QAbstractButton::clicked, this, &ResultViewController::goBack);
    removal_->connectCleanup();
    // The scan-complete sheet's close also closes the clean-up's questions,
    // each answered as its cancel button would.
    connect(autoMarking_.get(), &AutoMarking::closeOtherSheets, this, [this] { removal_->closeQuestions(); });
}

void ResultViewController::buildMenus()
{
    MarkMenu::Handlers handlers;
    handlers.autoMark = [this] { autoMarking_->btnMarkMenuItemTapped(); };
    handlers.autoMarkOptions = [this] { autoMarking_->btnSelectAssistanceTapped(); };
    handlers.deleteMarked = [this] { removeMarkedFiles(); };
    handlers.clearCache = [this] { clearScanCache(); };
    MarkMenu* markMenu = marking_->buildMarkMenu(std::move(handlers), this);
    menuClearCache_ = markMenu->menuClearCache();
    // The options button's pop-up: the two marking menus first.
    toolbar_->addMarkMenus(markMenu->autoMarkMenu(), markMenu->markMenu());
    views_->buildContextMenu([this](bool nothingLeft) { removedFromList(nothingLeft); },
        [this](const FileInfoNodePtr& file) { showPreviewPanelForNode(file); });
    views_->contextMenu().setLockChangedHandler(
        [this](const FileInfoNodePtr& file) { pane_->previewPane().lockChanged(file); });
}

void ResultViewController::styleControls()
{
    toolbar_->style();
    removal_->style();
    styleDarkButton(btnBackToFooter_);
    btnBackToFooter_->setMarginLeft(10);
    btnBackToFooter_->setMarginTop(8);
    btnBackToFooter_->setMarginBottom(8);
    // The header's Back points left; its title clears the point.
    setImageSet(btnBack_, QStringLiteral("back_button_left"), QStringLiteral("back_button_center"),
        QStringLiteral("back_button_right"));
    for (const auto setColor : { &IMGButton::setColorOnState, &IMGButton::setColorOffState,
             &IMGButton::setColorOnStateDis, &IMGButton::setColorOffStateDis })
        (btnBack_->*setColor)(Qt::black);
    btnBack_->setMarginLeft(13);
}

void ResultViewController::connectModel()
{
    ResultsModel::ScreenHooks hooks;
    hooks.shownGroupsChanged = [this] { showShownGroups(); };
    hooks.groupFilesReordered = [this](std::size_t position) { marking_->groupFilesReordered(position); };
    hooks.updateMarkedCountLabel = [this] { updateMarkedCountLabel(); };
    hooks.categoryChanged = [this] { categories_->highlight(state_->selectedCategoryIndex); };
    hooks.showNoDuplicatesPopover = [this](GlobalObjects::FileCategory category, const QString& heading) {
        categories_->showNoDuplicatesPopover(category, heading);
    };
    hooks.disableResultToolbar = [this] { disableResultToolbar(); };
    hooks.sortOrderChanged = [this] { updateSortButton(); };
    hooks.duplicatesSummaryChanged = [this] { updateSummaryLabels(); };
    model_->setScreenHooks(std::move(hooks));
}

// ---- a result set -------------------------------------------------------------

void ResultViewController::showResults(const ScanResultPtr& result)
{
    if (!loaded_)
        viewDidLoad();
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    raise();
    keyboard_->screenShown();
    loadScanResults(result ? result->groups : std::vector<DuplicateGroupPtr> {}, result ? result->dupCount : 0,
        selectedScanSource().load(), result ? std::optional(result->priorityLists) : std::nullopt);
}

void ResultViewController::loadScanResults(
    std::vector<DuplicateGroupPtr> groups, qint64 dupCount, ScanSource source, std::optional<PriorityLists> priorities)
{
    if (!loaded_)
        viewDidLoad();
    // The rows, the totals, the summary and the pie's shares read every file
    // of the result; a large one is read on the hand-over's workers, and
    // until it is in the screen holds no result and its toolbar waits, so
    // that nothing changes a record meanwhile. A result set shown again
    // keeps the marks on its records; the totals and the Remove button
    // follow them rather than starting at nothing.
    handOver_->start(std::move(groups), source, std::move(priorities),
        [this, dupCount, source](HandOverOutcome& outcome) { showHandedOver(outcome, dupCount, source); });
    if (!handOver_->isRunning())
        return;
    disableResultToolbar();
    marking_->dropPendingSort();
    state_->loadPreparedResultSet(ResultsState::PreparedResultSet {}, 0, source);
    views_->grid().forgetPictures();
    model_->resultSetLoaded(ResultsModel::PreparedRows {});
    views_->clearSelections();
    updateMarkedCountLabel();
}

void ResultViewController::releaseResults()
{
    if (!loaded_)
        return;
    handOver_->drop();
    marking_->dropPendingSort();
    pane_->showNoFile();
    state_->loadPreparedResultSet(ResultsState::PreparedResultSet {}, 0, selectedScanSource().load());
    views_->grid().forgetPictures();
    model_->resultSetLoaded(ResultsModel::PreparedRows {});
    views_->clearSelections();
}

bool ResultViewController::isHandingOver() const
{
    return handOver_->isRunning();
}

void ResultViewController::showHandedOver(HandOverOutcome& outcome, qint64 dupCount, ScanSource source)
{
    menuClearCache_->setVisible(source == ScanSource::dropbox);
    marking_->dropPendingSort();
    state_->loadPreparedResultSet(std::move(outcome.state), dupCount, source);
    pane_->previewPane().setScanSource(source);
    removal_->resultSetLoaded();
    toolbar_->setAutoMarkEnabled(true);
    viewListing_->show();
    marking_->forgetListSort();
    // A result set opens in the list: the outline is hidden before the rows
    // come, so that it does not lay them out.
    views_->resultSetLoading();
    model_->resultSetLoaded(std::move(outcome.rows));
    state_->setMarkedTotals(outcome.marked);
    views_->clearSelections();
    updatePieChart(outcome.shares);
    state_->setDuplicatesSummary(std::move(outcome.summary));
    updateSummaryLabels();
    categories_->highlight(-1);
    btnChangeResultView(ViewMode::list);
    updateMarkedCountLabel();
    updateSortButton();
    after(200, [this] { autoMarking_->showScanCompleteSheet(); });
}

void ResultViewController::showShownGroups()
{
    // The column sort and its indicator follow the new shown files; the
    // selections go, and the shown view is drawn again.
    marking_->shownGroupsChanged();
    views_->clearSelections();
    reapplyResultViewMode();
}

void ResultViewController::clearScanCache()
{
    if (!ScanCache::clearScanCache())
        Log::print(QStringLiteral("clearScanCache: refused while a scan runs"));
}

// ---- removal ---------------------------------------------------------------------

void ResultViewController::removeMarkedFiles()
{
    // The removal takes the marks of a command still going as it ends.
    marking_->finishMarkBy();
    removal_->removeMarked();
}

void ResultViewController::removalFinished(bool rowsTaken)
{
    // The clean-up has dropped the groups left with one file and recounted
    // the marks. Where it took the shown groups again, showResultArea has
    // brought the views and the summary along; otherwise they follow here.
    if (rowsTaken)
        return;
    state_->isCollectionViewRefreshRequired = true;
    model_->shownGroupsChanged();
    state_->updateDuplicatesSummary(state_->arrMainGroup);
    updatePieChart();
}

void ResultViewController::showResultArea(ResultArea area, const CategoryShares::Percentages& shares)
{
    // The clean-up has rebuilt the shown groups, and the model with them,
    // and counted the pie's shares.
    updatePieChart(shares);
    viewListing_->show();
    if (removal_->showArea(area, resultAreaTop()))
        toolbar_->setAutoMarkEnabled(area == ResultArea::listing);
}

void ResultViewController::removedFromList(bool nothingLeft)
{
    if (nothingLeft)
        removal_->showNothingFound(resultAreaTop());
    else
        updatePieChart();
}

// ---- view modes and toolbar ----------------------------------------------------

void ResultViewController::btnChangeResultView(ViewMode mode)
{
    Log::print(QStringLiteral("btnChangeResultView"));
    views_->show(mode);
    toolbar_->showViewMode(mode);
    // Ends a re-sort's pause; a toolbar that is enabled stays so.
    enableResultToolbarLater();
}

void ResultViewController::menuItemSelected(int tag)
{
    btnChangeResultView(tag == 0 ? ViewMode::list : tag == 1 ? ViewMode::group : ViewMode::grid);
}

void ResultViewController::reloadResultViewAfterFilter()
{
    reloadShownResultView();
    enableResultToolbarLater();
}

void ResultViewController::disableResultToolbar()
{
    toolbar_->holdDisabled();
    setResultToolbarEnabled(false);
}

void ResultViewController::enableResultToolbarLater()
{
    toolbar_->enableLater([this] { setResultToolbarEnabled(true); });
}

void ResultViewController::setResultToolbarEnabled(bool enable)
{
    toolbar_->setEnabled(enable);
    categories_->setEnabled(enable);
    removal_->setToolbarEnabled(enable);
    // A category the clean-up emptied has nothing to mark until other groups
    // are shown.
    if (removal_->categoryEmptiedByCleanup() && state_->arrGroups.empty())
        toolbar_->setAutoMarkEnabled(false);
    btnBack_->setEnabled(enable);
}

bool ResultViewController::isResultToolbarEnabled() const
{
    return toolbar_->isEnabled() && toolbar_->areViewButtonsEnabled() && categories_->isEnabled();
}

void ResultViewController::categoryChosen(int category)
{
    if (category < 0)
        state_->btnShowAllItems();
    else
        state_->selectCategory(GlobalObjects::FileCategory(category));
}

void ResultViewController::goBack()
{
    // The footer's Back stays on while a result set is made ready: the
    // user leaves it, and its outcome never opens this screen's sheets.
    handOver_->drop();
    if (backHandler_)
        backHandler_();
}

void ResultViewController::btnSettingsInResultViewTapped()
{
    // The opener makes the window on first use and shows that same one after.
    if (preferencesOpener_)
        preferencesOpener_();
}

void ResultViewController::btnFullScreenTapped()
{
    viewRight_->setVisible(!toolbar_->isPreviewHidden());
    toolbar_->highlightViewModeButtons(views_->mode());
}

void ResultViewController::updateSortButton()
{
    toolbar_->showSortOrder(state_->sortOrder == GlobalObjects::SortOrder::sortAsecending);
}

void ResultViewController::updateMarkedCountLabel()
{
    const MarkedCountLabel marked = state_->markedCountLabel();
    figures_->showMarkedCount(marked);
    removal_->showMarked(marked.trashEnabled);
    marking_->updateSelectAllBox();
}

void ResultViewController::updateSummaryLabels()
{
    if (const std::optional<QFont> small = figures_->updateLabels(frames_.table()))
        pane_->setPathFont(*small);
}

// ---- marks ------------------------------------------------------------------------

void ResultViewController::checkKeyPressed()
{
    keyboard_->checkKeyPressed();
}

void ResultViewController::setPreviewHandler(std::function<void(const FileInfoNodePtr&)> preview)
{
    views_->contextMenu().setPreviewHandler(std::move(preview));
}
