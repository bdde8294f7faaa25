#pragma once

#include "cleanup/AfterClean.h"
#include "controls/LayoutFrame.h"
#include "core/AppNotifier.h"
#include "home/MainViewController.h"
#include "marking/AutoMarking.h"
#include "marking/MarkByCommands.h"
#include "marking/ResultsState.h"
#include "results/CategoryPie.h"

#include <QPersistentModelIndex>

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class AutoMarkSheetWindows;
class CheckBoxButton;
class CleanupController;
class CustomOutlineView;
class SortRunner;
class CustomTableView;
class FileRemover;
class IMGButton;
class LinkButton;
class MarkMenu;
class MMPieChartView;
class MyCollectionView;
class NoDuplicatesView;
class SuccessView;
class ResultsGridProxy;
class ThumbnailCell;
class ThumbnailProvider;
class OptionPopover;
class PreviewPane;
class PreviewWindow;
class ScanSources;
class QAbstractButton;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class RAZButton;
class ResultContextMenu;
class ResultsKeyboard;
class ResultsHandOver;
struct HandOverOutcome;
class ResultsListProxy;
class ResultsModel;
class TrashSheets;
class AfterCleanSheets;
class SelectAssistanceController;
class UserDefaults;

// The results screen: the groups of the last scan as a flat list or as an
// outline of groups, the summary, the category buttons, the toolbar and the
// marked-files footer. It owns the results state and the one model every view
// shows, and sends marks to the state, removal to the clean-up controller and
// automatic marking to its controller. Made once with the home screen and
// reused for every result set; GUI thread only.
class ResultViewController : public QWidget, public ResultsReceiver {
    Q_OBJECT
public:
    enum class ViewMode { list, group, grid };

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
    // A large result set is shown from a later turn of the event loop (see
    // ResultsHandOver); until then the screen holds none.
    void loadScanResults(std::vector<DuplicateGroupPtr> groups, qint64 dupCount, ScanSource source,
        std::optional<PriorityLists> priorities = std::nullopt);
    bool isHandingOver() const;
    ResultsHandOver& handOver() { return *handOver_; }

    // ---- view modes and toolbar ------------------------------------------------
    ViewMode viewMode() const { return mode_; }
    void btnChangeResultView(ViewMode mode);
    // The view-mode menu: tag 0 list, 1 group, 2 grid.
    void menuItemSelected(int tag);
    void reapplyResultViewMode();
    // 0.05 s later the shown view repaints; with the toolbar enabled 1 s after.
    void reloadShownResultView();
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
    CustomTableView* tblDuplicates() const { return tblDuplicates_; }
    CustomOutlineView* outlineDuplicates() const { return outlineDuplicates_; }
    AutoMarking& autoMarking() { return *autoMarking_; }
    SortRunner& sortRunner() { return *sortRunner_; }
    AutoMarkSheetWindows& autoMarkSheets() { return *autoMarkSheets_; }
    CleanupController& cleanup() { return *cleanup_; }
    TrashSheets& trashSheets() { return *trashSheets_; }
    AfterCleanSheets& afterCleanSheets() { return *afterCleanSheets_; }
    QAction* menuClearCache() const { return menuClearCache_; }
    QWidget* viewRight() const { return viewRight_; }
    QLabel* lblNumMarkedFiles() const { return lblNumMarkedFiles_; }
    QLabel* lblSelectedFilePath() const { return lblSelectedFilePath_; }
    RAZButton* categoryButton(int index) const { return categoryButtons_[index]; }
    // -1 for All, else the raw category of the button shown selected.
    int highlightedCategory() const { return highlightedCategory_; }
    FrameTable& frames() { return frames_; }

    // ---- the preview pane and the preview window ----------------------------------
    PreviewPane& previewPane() { return *previewPane_; }
    QWidget* imgFolderPath() const { return imgFolderPath_; }
    // The file chosen last among those still selected, while it is still
    // shown where it was chosen; none otherwise.
    FileInfoNodePtr lastSelectedFileNode() const;
    // Opens the one preview window on file (the context menu's preview).
    void showPreviewPanelForNode(const FileInfoNodePtr& file);
    // None before the first preview.
    PreviewWindow* previewWindow() const;
    // Deletes the digest cache; refused while a scan runs.
    void clearScanCache();
    // A view's selection: the pane shows file, or the graph view for none.
    void updateOnDuplicateRowSelection(const FileInfoNodePtr& file);
    void updateOnDuplicateRowUnSelection();

    // A file check box in the list or the outline, and a group's check box.
    void fileCheckBoxTapped(const FileInfoNodePtr& file);
    void groupCheckBoxTapped(const DuplicateGroupPtr& group);
    // Space in the shown view: the check boxes of its selected rows or
    // items (the current one when none is selected), as clicks on them.
    void checkKeyPressed();

    // ---- the mark menu and the context menu ------------------------------------
    MarkMenu& markMenu() { return *markMenu_; }
    ResultContextMenu& contextMenu() { return *contextMenu_; }
    // A mark-by command or the invert on the shown groups; tag as the menu
    // item carries it, none for any other sender. A large result set is
    // marked a slice at a time from the event loop.
    void markByCommand(MarkByCommand command, std::optional<int> tag);
    // A mark-by command is still being carried out.
    bool isMarkByRunning() const { return state_->isBulkMarking(); }
    // Remove, from the toolbar, the footer's link or the mark menu.
    void removeMarkedFiles();
    // The context menu's preview item shows the file in the preview window.
    void setPreviewHandler(std::function<void(const FileInfoNodePtr&)> preview);
    // ---- the thumbnail grid and the category pie ------------------------------
    MyCollectionView* collDuplicates() const { return collDuplicates_; }
    ResultsGridProxy& gridModel() { return *gridModel_; }
    ThumbnailProvider& thumbnails() { return *thumbnails_; }
    // The grid selection in the order it was made; emptied with every new
    // result set and every change of the shown groups.
    const QList<QPersistentModelIndex>& currentSelectedIndexs() const { return gridSelectedIndexs_; }
    // A check box in the grid: the same marking as in the list, then the item
    // selected.
    void gridCheckBoxTapped(const IndexPath& path);
    // Asks for the pictures of the items in view; runs when scrolling has
    // settled and after a reload.
    void changeCellViewControllerInCollectionView();
    MMPieChartView* pieChart() const { return pieChart_; }
    QLabel* piePercentLabel(int slot) const { return lblPiePercent_[slot]; }
    // The shares of the pie, counted here unless given.
    void updatePieChart(std::optional<CategoryPie::Percentages> shares = std::nullopt);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void buildToolbar();
    void buildCategoryBar();
    void buildViews();
    void buildFooter();
    void setLocalizedTexts();
    void styleResultViewControls();
    void adaptResultViewToSmallScreen();
    void useSmallScreenBaseFrames();
    void adjustLayoutForLanguage();
    void adjustSheetsForLanguage();
    void connectModel();
    void highlightViewModeButton();
    void highlightCategoryButton(int category);
    // Keeps the category buttons over the list's width.
    void fitCategoryRow();
    // The hand-over's outcome taken in: the new result set shown.
    void showHandedOver(HandOverOutcome& outcome, qint64 dupCount, ScanSource source);
    void showShownGroups();
    void updateMarkedCountLabel();
    void updateTrashButton();
    void updateSummaryLabels();
    // Outside English: the smaller font of the summary's footer labels and
    // the groups line's width.
    void layoutFooterLabels();
    // Gives the header's groups line the room its text needs when large
    // counts make it longer than its frame.
    void fitGroupsLine();
    void updateSortButton();
    void showNoDuplicatesPopover(GlobalObjects::FileCategory category, const QString& heading);
    void categoryTapped(int index);
    void listHeaderClicked(int column);
    // The column the list was last sorted by, while its rows keep that order.
    std::optional<SortColumn> listSortKey() const;
    void showListSortIndicator();
    void btnSelectAllTblTapped(const CheckBoxButton& sender);
    // The select-all box's state from the marks: 0 none marked, 1 every
    // shown group marked but for one file, -1 otherwise.
    void clearSelections();
    void rememberSelection(const FileInfoNodePtr& file);
    void removalFinished(bool rowsTaken);
    void showResultArea(ResultArea area);
    void placeNoDuplicatesView();
    void after(int milliseconds, std::function<void()> work);
    void buildMarkAndContextMenus();
    void removedFromList(bool nothingLeft);
    void buildGrid();
    void buildPie();
    void buildChartSummary();
    void gridSelectionChanged();
    void selectGridItem(const IndexPath& path);

    UserDefaults& defaults_;
    std::unique_ptr<ResultsState> state_;
    ResultsModel* model_ = nullptr;
    ResultsListProxy* listModel_ = nullptr;
    std::unique_ptr<AutoMarkSheetWindows> autoMarkSheets_;
    std::unique_ptr<AutoMarking> autoMarking_;
    // The mark-by command going, a slice at a time.
    std::unique_ptr<SortRunner> sortRunner_;
    std::unique_ptr<ResultsHandOver> handOver_;
    std::unique_ptr<CleanupController> cleanup_;
    std::unique_ptr<TrashSheets> trashSheets_;
    // The sheets' frames as built, before any language's edits.
    std::optional<FrameTable> sheetBaseFrames_;
    std::unique_ptr<AfterCleanSheets> afterCleanSheets_;
    std::unique_ptr<SelectAssistanceController> selectAssistance_;
    // The screen's focus and keys.
    std::unique_ptr<ResultsKeyboard> keyboard_;
    std::shared_ptr<DelayedCalls> delayedCalls_;
    std::function<void()> backHandler_;
    std::function<void()> preferencesOpener_;
    FrameTable frames_;
    // The size frames_ is laid out for.
    QSize laidOutSize_;
    ViewMode mode_ = ViewMode::list;
    quint64 toolbarGeneration_ = 0;
    // Counts the selections shown; the pane's deferred preview shows only
    // the newest one, never a file whose selection has since gone.
    quint64 previewGeneration_ = 0;
    bool toolbarEnabled_ = false;
    bool undoRunning_ = false;
    // The last clean-up left groups, but none under the chosen category.
    bool categoryEmptiedByCleanup_ = false;
    int highlightedCategory_ = -1;
    std::optional<int> listSortColumn_;
    bool listSortAscending_ = true;
    // The column sort asked for last, which a click on its column turns round
    // while it still runs.
    std::optional<int> listSortAsked_;
    bool listSortAskedAscending_ = true;
    bool loaded_ = false;

    // Controls, by the names the frames use.
    QWidget* boxHeader_ = nullptr;
    QWidget* boxHeaderDetail_ = nullptr;
    QWidget* boxCategories_ = nullptr;
    QWidget* boxFooter_ = nullptr;
    QSplitter* viewSplit_ = nullptr;
    QWidget* viewListing_ = nullptr;
    NoDuplicatesView* viewNoDuplicateFound_ = nullptr;
    SuccessView* viewSucccess_ = nullptr;
    QWidget* viewLeft_ = nullptr;
    QWidget* viewRight_ = nullptr;
    QWidget* tblResultListView_ = nullptr;
    QWidget* outlineResultListView_ = nullptr;
    CustomTableView* tblDuplicates_ = nullptr;
    CheckBoxButton* btnSelectAllTblCheckBox_ = nullptr;
    CustomOutlineView* outlineDuplicates_ = nullptr;
    QLabel* lblNoDuplicateFoundListView_ = nullptr;
    QLabel* lblNoDuplicateFoundOutlineview_ = nullptr;
    QLabel* lblNoDuplicateFoundCollectionview_ = nullptr;
    QLabel* lblSpaceSavedOnPie_ = nullptr;
    QLabel* lblDuplicateFound_ = nullptr;
    QLabel* lblDupsInGroups_ = nullptr;
    QLabel* lblSpaceToBeSaved_ = nullptr;
    QLabel* lblNumMarkedFiles_ = nullptr;
    QLabel* lblSelectedFileHeading_ = nullptr;
    QLabel* lblSelectedFilePath_ = nullptr;
    RAZButton* btnListView_ = nullptr;
    RAZButton* btnHierarcheryView_ = nullptr;
    RAZButton* btnGroupView_ = nullptr;
    RAZButton* btnThumbnailView_ = nullptr;
    RAZButton* btnSort_ = nullptr;
    RAZButton* btnFullScreen_ = nullptr;
    RAZButton* btnAutoMark_ = nullptr;
    QProgressBar* hudAfterYesUndoPressed_ = nullptr;
    RAZButton* btnUnmarkAll_ = nullptr;
    RAZButton* btnOptions_ = nullptr;
    RAZButton* btnSelectionAssitance_ = nullptr;
    RAZButton* btnUndo_ = nullptr;
    LinkButton* btnDeleteLink_ = nullptr;
    RAZButton* btnSettingsInResultView_ = nullptr;
    IMGButton* btnTrash_ = nullptr;
    IMGButton* btnBack_ = nullptr;
    IMGButton* btnBackToFooter_ = nullptr;
    RAZButton* categoryButtons_[7] = {};
    QWidget* categoryArrows_[7] = {};
    QMenu* menuOptions_ = nullptr;
    QMenu* menuViewMode_ = nullptr;
    QAction* menuClearCache_ = nullptr;
    QAction* menuUndo_ = nullptr;
    std::unique_ptr<OptionPopover> popover_;
    MarkMenu* markMenu_ = nullptr;
    ResultContextMenu* contextMenu_ = nullptr;

    // The preview side.
    struct SelectedIndex {
        int section = -1;
        int item = -1;
        std::weak_ptr<FileInfoNode> file;
    };
    PreviewPane* previewPane_ = nullptr;
    QWidget* imgFolderPath_ = nullptr;
    QPointer<PreviewWindow> previewWindow_;
    std::vector<SelectedIndex> currentSelectedIndexs_;

    QWidget* collResultListView_ = nullptr;
    MyCollectionView* collDuplicates_ = nullptr;
    ResultsGridProxy* gridModel_ = nullptr;
    std::unique_ptr<ThumbnailProvider> thumbnails_;
    ThumbnailCell* thumbnailCell_ = nullptr;
    quint64 scrollGeneration_ = 0;
    int numToLoadPhotosFirstTime_ = 0;
    QList<QPersistentModelIndex> gridSelectedIndexs_;
    MMPieChartView* pieChart_ = nullptr;
    QLabel* lblPieCategory_[CategoryPie::slotCount] = {};
    QLabel* lblPiePercent_[CategoryPie::slotCount] = {};
    CategoryPie::Percentages valuePieArray_ {};
    bool pieStyled_ = false;
};
