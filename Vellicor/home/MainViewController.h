#pragma once

#include "controls/LayoutFrame.h"
#include "home/CategorySwitches.h"
#include "home/HomePathModel.h"
#include "home/LocationAdder.h"
#include "home/LocationLists.h"
#include "scan/ScanEngine.h"
#include "scan/ScanScreen.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class CircularProgressBarView;
class CustomPopUpButton;
class CustomTableView;
class DragDropBox;
class IMGButton;
class LinkButton;
class QAbstractButton;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class RAZButton;
class UserDefaults;

// The language key of a scan source's title, as the source pop-up, the
// sign-in sheets and the alerts name it.
const char* scanSourceTitleKey(ScanSource source);

// The tag a source's item carries in the source pop-up, and back.
constexpr int scanSourceTag(ScanSource source)
{
    return 100 + static_cast<int>(source);
}
std::optional<ScanSource> scanSourceOfTag(qint64 tag);

// Where a finished scan's result set goes: the results screen. Until that
// screen exists the home screen shows a small page of its own.
class ResultsReceiver {
public:
    virtual ~ResultsReceiver() = default;
    virtual void showResults(const ScanResultPtr& result) = 0;
};

// The open panel of the product: a window-modal folder dialog that takes
// several folders at once (and photo libraries on the Include tab).
class DialogFolderChooser : public FolderChooser {
public:
    explicit DialogFolderChooser(QWidget* parent);
    void chooseFolders(const Options& options, std::function<void(const QStringList&)> done) override;

private:
    QWidget* parent_;
};

// The cloud side of a change of scan source: the handler of the chosen
// source and its sign-in. Installed by the composition root (the
// cloud sources live above the home screen). Called on the GUI thread after
// the home screen has reset its own lists for the new source and before it
// reloads its tables.
class ScanSourceSwitcher {
public:
    virtual ~ScanSourceSwitcher() = default;
    virtual void scanSourceChanged(ScanSource previous, ScanSource chosen) = 0;
};

// The home (start) screen of the main window: the scan source, the Include,
// Exclude and Protect tabs with their path tables, the drop box and the Add
// button, the file-type switches, Scan Now, the last-scan box and, while a
// scan runs, the scanning view. It owns the scan engine and is its screen;
// the lists are ScanSources', their rules live in LocationLists and
// LocationAdder, and this widget only shows them, reloading its table
// whenever the owner says a list changed. GUI thread only.
class MainViewController : public QWidget, public ScanScreen {
    Q_OBJECT
public:
    // The sources' lists are shown and edited here; the owner outlives the screen.
    MainViewController(UserDefaults& defaults, ScanSources& sources, QWidget* parent = nullptr);
    ~MainViewController() override;

    ScanEngine& engine() { return *engine_; }
    LocationLists& lists() { return *lists_; }
    LocationAdder& adder() { return adder_; }
    HomePathModel& pathModel() { return *model_; }
    CategorySwitches& categorySwitches() { return switches_; }
    // The base frames of every control; the language rules edit these.
    FrameTable& frames() { return frames_; }

    // Not owned; none: the screen's own placeholder page.
    void setResultsReceiver(ResultsReceiver* receiver) { resultsReceiver_ = receiver; }
    void setFolderChooser(std::unique_ptr<FolderChooser> chooser);
    // Opens the preferences window at a pane (none: the pane last shown).
    void setPreferencesOpener(std::function<void(const std::optional<QString>&)> opener);
    // The cloud folder picker of the chosen cloud source, opened for a tab:
    // its choice goes to that tab's list.
    void setCloudFolderPicker(std::function<void(HomeTab)> picker);
    // Opens the empty-folder cleaner over the main window; the source pop-up's
    // last item calls it and keeps the scan source as it was.
    void setEmptyFolderCleanerOpener(std::function<void(QWidget* mainWindow)> opener);

    // Not owned; none: the cloud sources keep empty lists.
    void setScanSourceSwitcher(ScanSourceSwitcher* switcher) { sourceSwitcher_ = switcher; }

    // ---- Set-up --------------------------------------------------------------
    // Once, after construction: texts, styles, restored lists, observers,
    // categories, the source pop-up and the layout.
    void viewDidLoad();
    void localizeHomeScreen();
    void layoutHomeScreen();
    void showLastScanHint();
    void handelLastScanStatus();

    // ---- Lists and tabs --------------------------------------------------------
    HomeTab activeTab() const;
    // Tags 1 to 3 choose a tab; 4 opens the preferences window.
    void tabChanged(int tag);
    void btnAddPathToScan();
    // The source pop-up's choice, by the item's tag (100 to 106).
    void changeScanSource(int index);
    // The Include tab's Add: the open panel, or the cloud folder picker.
    void openScanListPanel();
    void btnExcluderFolderTapped();
    void btnProtectFolderTapped();
    void handleFileDragDropNotification(const QStringList& paths);
    void deletePathFromTable(int row);
    void includeSubFolders(int row, bool on);
    void selectDeselectPath(int row, bool on);
    void revealInFinderTapped();
    void checkAllTapped();
    void uncheckAllTapped();
    void removeFromScanList();
    void removeAllFromScanList();
    // Retitles and enables a context-menu item for the tab and the source.
    bool validateMenuItem(QAction* item);
    void reloadTables();

    // ---- File types and Scan Now ---------------------------------------------
    void btnFileFormatsTapped(int tag);
    void allFilesAndCustomScanOptsTapped(int tag);
    void updateButtonFromFileState();
    void updateButton();
    IMGButton* scanNowButton() const { return btnScanNow_; }

    // ---- ScanScreen -----------------------------------------------------------
    void showScanningLabels(const ScanningLabels& labels) override;
    void showScannedPath(const QString& text, const QString& toolTip) override;
    void showScanningState(bool isScanning, bool hideResultViewButton) override;
    void setScanNowButtonState(int state, bool enabled) override;
    void setAbortButtonEnabled(bool enabled) override;
    void setResultButtonEnabled(bool enabled) override;
    void showScanningSheet() override;
    void hideScanningSheet() override;
    void showLastScanRecord(
        const QString& dupCount, const QString& dupSize, const std::optional<QString>& scanTime) override;
    void showPreferencesPane(const QString& paneIdentifier) override;
    void showHomeView() override;
    void showResults(const ScanResultPtr& result) override;

private:
    void buildControls();
    void buildFrames();
    // The frames for the view's present size: the base frames, or a compact
    // set for a window smaller than 1082 x 700.
    FrameTable framesForSize() const;
    void resizeEvent(QResizeEvent* event) override;
    // Moves back what a language's frame edits pushed outside its box or
    // over a neighbour.
    void keepLanguageFramesInside();
    // Places every control for the view's present size.
    void placeControls();
    void styleControls();
    void connectActions();
    void showAlerts(const std::vector<AlertKeys>& alerts);
    void applyOutcome(const AddOutcome& outcome);
    void setTabLook(int tag);
    QLabel* label(const char* name, QWidget* parent, int fontSize = 13, bool bold = false);
    CustomTableView* makeTable(const char* name, QWidget* parent);
    void cellTapped(const QModelIndex& index, int outlet);
    void setAllRowStates(int state, bool enable);
    void sourceListChanged(ScanSource source, SourceList which);
    QWidget* resultsPlaceholder();

    UserDefaults& defaults_;
    std::unique_ptr<ScanEngine> engine_;
    std::unique_ptr<LocationLists> lists_;
    LocationAdder adder_;
    CategorySwitches switches_;
    HomePathModel* model_ = nullptr;
    FrameTable frames_;
    std::unique_ptr<FolderChooser> chooser_;
    std::function<void(const std::optional<QString>&)> preferencesOpener_;
    std::function<void(QWidget*)> emptyFolderCleanerOpener_;
    std::function<void(HomeTab)> cloudPicker_;
    ResultsReceiver* resultsReceiver_ = nullptr;
    ScanSourceSwitcher* sourceSwitcher_ = nullptr;
    QWidget* resultsPage_ = nullptr;
    // The newest result handed over, shown again by the results button.
    ScanResultPtr lastResult_;

    // Controls, by the names the layouts use.
    QFrame* boxHeader_ = nullptr;
    QFrame* boxScanMode_ = nullptr;
    CustomPopUpButton* btnScanMode_ = nullptr;
    QAbstractButton* tabButtons_[3] = {};
    QFrame* tabBoxes_[3] = {};
    QLabel* tabTexts_[3] = {};
    RAZButton* btnSetting_ = nullptr;
    QWidget* tabViews_[3] = {};
    CustomTableView* tables_[3] = {};
    QMenu* menu_ = nullptr;
    QAction* menuRevelInFinder_ = nullptr;
    QAction* menuCheckAll_ = nullptr;
    QAction* menuUncheckAll_ = nullptr;
    QAction* menuRemoveFromScanList_ = nullptr;
    QAction* menuRemoveAllFromScanList_ = nullptr;
    DragDropBox* boxSelectFolder_ = nullptr;
    RAZButton* btnAddPath_ = nullptr;
    QAbstractButton* btnAllFilesSelected_ = nullptr;
    QAbstractButton* btnCustomScanSelected_ = nullptr;
    QAbstractButton* categoryButtons_[fileCategoryCount] = {};
    IMGButton* btnScanNow_ = nullptr;
    QLabel* lblLastScanTIme_ = nullptr;
    QLabel* lblLastScanDupFileCount_ = nullptr;
    QLabel* lblLastScanDupFileSize_ = nullptr;
    QLabel* infoIcon_ = nullptr;
    QLabel* lblAddFolderToFindDups_ = nullptr;
    LinkButton* btnLastScanResult_ = nullptr;
    QFrame* boxScanDetail_ = nullptr;
    QFrame* boxWindowScanning_ = nullptr;
    CircularProgressBarView* progressCircular_ = nullptr;
    QLabel* imgViewProgress_ = nullptr;
    QLabel* lblScannedFilePath_ = nullptr;
    RAZButton* btnAbortScanning_ = nullptr;
    RAZButton* btnShowResultDetail_ = nullptr;
    RAZButton* btnBackToAddFolder_ = nullptr;
};
