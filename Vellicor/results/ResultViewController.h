#pragma once

#include "cleanup/AfterClean.h"
#include "controls/LayoutFrame.h"
#include "core/AppNotifier.h"
#include "home/MainViewController.h"
#include "marking/AutoMarking.h"
#include "marking/MarkByCommands.h"
#include "marking/ResultsState.h"
#include "results/CategoryBar.h"
#include "results/CategoryPie.h"
#include "results/MarkingControls.h"
#include "results/RemovalSteps.h"
#include "results/ResultViews.h"
#include "results/ResultsGridView.h"
#include "results/ResultsScreenFrames.h"
#include "results/ResultsToolbar.h"
#include "results/SelectionPane.h"
#include "results/SummaryFigures.h"

#include <QPersistentModelIndex>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class AfterCleanSheets;
class AutoMarkSheetWindows;
class CleanupController;
class CustomOutlineView;
class CustomTableView;
class FileRemover;
class IMGButton;
class MarkMenu;
class MMPieChartView;
class MyCollectionView;
class PreviewPane;
class PreviewWindow;
class QAction;
class QLabel;
class QSplitter;
class RAZButton;
class ResultContextMenu;
class ResultsGridProxy;
class ResultsHandOver;
struct HandOverOutcome;
class ResultsKeyboard;
class ResultsListProxy;
class ResultsModel;
class ScanSources;
class SelectAssistanceController;
class SortRunner;
class ThumbnailProvider;
class TrashSheets;
class UserDefaults;

// The results screen: the groups of the last scan as a flat list, an outline
// of groups or a grid, the summary, the category buttons, the toolbar and the
// marked-files footer. It owns the results state, the one model every view
// shows, automatic marking and the selection assistant, and is the rooms'
// coordinator: the views, the preview side, the toolbar, the category row,
// the figures, the marking controls and the removal steps each own their
// controls and state, and reach one another only through the calls made here.
// Its public names are the screen's entry points. Made once with the home
// screen and reused for every result set; GUI thread only.
class ResultViewController : public QWidget, public ResultsReceiver {
    Q_OBJECT
public:
    using ViewMode = ResultViewMode;

    ResultViewController(UserDefaults& defaults, std::shared_ptr<ScanSources> protectedFolders,
        std::shared_ptr<FileRemover> files, QWidget* parent = nullptr);
    ~ResultViewController() override;

    // Once, after construction: controls, texts, looks and frames.
    void viewDidLoad();
    // Back and Back to the home screen.
    void setBackHandler(std::function<void()> back) { backHandler_ = std::move(back); }
    // The toolbar's settings button: the application's one preferences window.
    void setPreferencesOpener(std::function<void()> open) { preferencesOpener_ = std::move(open); }
    void btnSettingsInResultViewTapped();
    // The 1 s toolbar re-enable, the 0.05 s reloads and the 0.2 s scan-complete
    // sheet run through these; tests move a clock by hand.
    void setDelayedCalls(std::shared_ptr<DelayedCalls> calls);
    // The selection assistant, made with the screen and kept.
    SelectAssistanceController& selectionController() { return *selectAssistance_; }

    // ---- a result set -------------------------------------------------------
    // The home screen's hand-over: the screen is shown over its parent and the
    // result set loaded.
    void showResults(const ScanResultPtr& result) override;
    // Lets go of the result set: the screen holds no result until the next
    // one is handed over.
    void releaseResults() override;
    // A large result set is shown from a later turn of the event loop (see
    // ResultsHandOver); until then the screen holds none.
    void loadScanResults(std::vector<DuplicateGroupPtr> groups, qint64 dupCount, ScanSource source,
        std::optional<PriorityLists> priorities = std::nullopt);
    bool isHandingOver() const;
    ResultsHandOver& handOver() { return *handOver_; }

    // ---- view modes and toolbar ------------------------------------------------
    ViewMode viewMode() const { return views_->mode(); }
    void btnChangeResultView(ViewMode mode);
    // The view-mode menu: tag 0 list, 1 group, 2 grid.
    void menuItemSelected(int tag);
    void reapplyResultViewMode() { btnChangeResultView(views_->mode()); }
    // 0.05 s later the shown view repaints; with the toolbar enabled 1 s after.
    void reloadShownResultView() { views_->reloadShown(); }
    void reloadResultViewAfterFilter();
    void disableResultToolbar();
    // Only the newest disable's re-enable runs: an older one still pending
    // never enables the toolbar in the middle of a later rebuild.
    void enableResultToolbarLater();
    void setResultToolbarEnabled(bool enable);
    bool isResultToolbarEnabled() const;
    // The right pane shown or hidden.
    void btnFullScreenTapped();

    // ---- parts, for the application and tests --------------------------------------
    ResultsState& state() { return *state_; }
    ResultsModel& model() { return *model_; }
    ResultsListProxy& listModel() { return *listModel_; }
    CustomTableView* tblDuplicates() const { return views_->tblDuplicates(); }
    CustomOutlineView* outlineDuplicates() const { return views_->outlineDuplicates(); }
    AutoMarking& autoMarking() { return *autoMarking_; }
    SortRunner& sortRunner() { return marking_->sortRunner(); }
    AutoMarkSheetWindows& autoMarkSheets() { return *autoMarkSheets_; }
    CleanupController& cleanup() { return removal_->cleanup(); }
    TrashSheets& trashSheets() { return removal_->trashSheets(); }
    AfterCleanSheets& afterCleanSheets() { return removal_->afterCleanSheets(); }
    QAction* menuClearCache() const { return menuClearCache_; }
    QWidget* viewRight() const { return viewRight_; }
    QLabel* lblNumMarkedFiles() const { return figures_->lblNumMarkedFiles(); }
    QLabel* lblSelectedFilePath() const { return pane_->lblSelectedFilePath(); }
    RAZButton* categoryButton(int index) const { return categories_->button(index); }
    // -1 for All, else the raw category of the button shown selected.
    int highlightedCategory() const { return categories_->highlighted(); }
    FrameTable& frames() { return frames_.table(); }

    // ---- the preview pane and the preview window ----------------------------------
    PreviewPane& previewPane() { return pane_->previewPane(); }
    QWidget* imgFolderPath() const { return pane_->imgFolderPath(); }
    // The file chosen last among those still selected, while it is still
    // shown where it was chosen; none otherwise.
    FileInfoNodePtr lastSelectedFileNode() const { return pane_->lastSelectedFileNode(); }
    // Opens the one preview window on file (the context menu's preview).
    void showPreviewPanelForNode(const FileInfoNodePtr& file) { pane_->showPreviewWindow(file); }
    // None before the first preview.
    PreviewWindow* previewWindow() const { return pane_->previewWindow(); }
    // Deletes the digest cache; refused while a scan runs.
    void clearScanCache();
    // A view's selection: the pane shows file, or the graph view for none.
    void updateOnDuplicateRowSelection(const FileInfoNodePtr& file) { pane_->showFile(file); }
    void updateOnDuplicateRowUnSelection() { pane_->showNoFile(); }

    // A file check box in the list or the outline, and a group's check box.
    void fileCheckBoxTapped(const FileInfoNodePtr& file) { marking_->fileCheckBoxTapped(file); }
    void groupCheckBoxTapped(const DuplicateGroupPtr& group) { marking_->groupCheckBoxTapped(group); }
    // Space in the shown view: the check boxes of its selected rows or
    // items (the current one when none is selected), as clicks on them.
    void checkKeyPressed();

    // ---- the mark menu and the context menu ------------------------------------
    MarkMenu& markMenu() { return marking_->markMenu(); }
    ResultContextMenu& contextMenu() { return views_->contextMenu(); }
    // A mark-by command or the invert on the shown groups; tag as the menu
    // item carries it, none for any other sender. A large result set is
    // marked a slice at a time from the event loop.
    void markByCommand(MarkByCommand command, std::optional<int> tag) { marking_->markByCommand(command, tag); }
    // A mark-by command is still being carried out.
    bool isMarkByRunning() const { return marking_->isMarkByRunning(); }
    // Remove, from the toolbar, the footer's link or the mark menu.
    void removeMarkedFiles();
    // The context menu's preview item shows the file in the preview window.
    void setPreviewHandler(std::function<void(const FileInfoNodePtr&)> preview);
    // ---- the thumbnail grid and the category pie ------------------------------
    MyCollectionView* collDuplicates() const { return views_->grid().collection(); }
    ResultsGridProxy& gridModel() { return views_->grid().model(); }
    ThumbnailProvider& thumbnails() { return views_->grid().thumbnails(); }
    // The grid selection in the order it was made; emptied with every new
    // result set and every change of the shown groups.
    const QList<QPersistentModelIndex>& currentSelectedIndexs() const { return views_->grid().selectedIndexes(); }
    // A check box in the grid: the same marking as in the list, then the item
    // selected.
    void gridCheckBoxTapped(const IndexPath& path) { views_->grid().checkBoxTapped(path); }
    // Asks for the pictures of the items in view; runs when scrolling has
    // settled and after a reload.
    void changeCellViewControllerInCollectionView() { views_->grid().requestVisiblePictures(); }
    MMPieChartView* pieChart() const { return figures_->pieChart(); }
    QLabel* piePercentLabel(int slot) const { return figures_->piePercentLabel(slot); }
    // The shares of the pie, counted here unless given.
    void updatePieChart(std::optional<CategoryPie::Percentages> shares = std::nullopt) { figures_->updatePie(shares); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;

private:
    // The rooms' hooks and actions, wired to one another here.
    void makeRooms(std::shared_ptr<FileRemover> files);
    void buildControls();
    void buildFooter();
    void buildMenus();
    void styleControls();
    void connectModel();
    // The hand-over's outcome taken in: the new result set shown.
    void showHandedOver(HandOverOutcome& outcome, qint64 dupCount, ScanSource source);
    void showShownGroups();
    void updateMarkedCountLabel();
    void updateSortButton();
    void updateSummaryLabels();
    void categoryChosen(int category);
    void goBack();
    void removalFinished(bool rowsTaken);
    void showResultArea(ResultArea area, const CategoryShares::Percentages& shares);
    void removedFromList(bool nothingLeft);
    // The top of the views that stand in for the list: below the toolbar.
    int resultAreaTop() const;
    void placeNoDuplicatesView();
    // Keeps the category buttons over the list's width.
    void fitCategoryRow();
    // Tab follows the toolbar and the category row left to right.
    void chainRowsAsDrawn();
    void after(int milliseconds, std::function<void()> work);

    UserDefaults& defaults_;
    std::unique_ptr<ResultsState> state_;
    ResultsModel* model_ = nullptr;
    ResultsListProxy* listModel_ = nullptr;
    std::unique_ptr<AutoMarkSheetWindows> autoMarkSheets_;
    std::unique_ptr<AutoMarking> autoMarking_;
    std::unique_ptr<MarkingControls> marking_;
    std::unique_ptr<ResultsHandOver> handOver_;
    std::unique_ptr<RemovalSteps> removal_;
    std::unique_ptr<SelectAssistanceController> selectAssistance_;
    // The screen's focus and keys.
    std::unique_ptr<ResultsKeyboard> keyboard_;
    std::unique_ptr<ResultViews> views_;
    std::unique_ptr<SelectionPane> pane_;
    std::unique_ptr<ResultsToolbar> toolbar_;
    std::unique_ptr<CategoryBar> categories_;
    std::unique_ptr<SummaryFigures> figures_;
    ResultsScreenFrames frames_;
    std::shared_ptr<DelayedCalls> delayedCalls_;
    std::function<void()> backHandler_;
    std::function<void()> preferencesOpener_;
    bool loaded_ = false;

    // The screen's frame: the listing with its header, toolbar, category
    // row, the split of the views and the preview side, and the footer.
    QWidget* viewListing_ = nullptr;
    QWidget* boxHeader_ = nullptr;
    QWidget* boxFooter_ = nullptr;
    QSplitter* viewSplit_ = nullptr;
    QWidget* viewLeft_ = nullptr;
    QWidget* viewRight_ = nullptr;
    IMGButton* btnBack_ = nullptr;
    IMGButton* btnBackToFooter_ = nullptr;
    QAction* menuClearCache_ = nullptr;
};
