#pragma once

#include "controls/LayoutFrame.h"
#include "home/AddLocationsPanel.h"
#include "home/CategorySwitches.h"
#include "home/HomePathModel.h"
#include "home/LocationAdder.h"
#include "home/LocationLists.h"
#include "home/ResultsHandOff.h"
#include "home/ScanSourcePicker.h"
#include "scan/ScanEngine.h"
#include "scan/ScanScreen.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class FileTypeSwitches;
class HomeBars;
class HomeFrames;
class IMGButton;
class LastScanBox;
class LocationTabs;
class QAction;
class ScanningView;
class ScanSourceSwitcher;
class UserDefaults;

// The home (start) screen of the main window: the scan source, the Include,
// Exclude and Protect tabs with their path tables, the drop box and the Add
// button, the file-type switches, Scan Now, the last-scan box and, while a
// scan runs, the scanning view. It owns the scan engine and is its screen.
// It keeps the screen's entry points and hands the work to its parts, each
// owning its controls: the layout (HomeFrames), the bars with Scan Now
// (HomeBars), the source pop-up (ScanSourcePicker), the tabs and tables
// (LocationTabs), the adding column (AddLocationsPanel), the file-type
// switches (FileTypeSwitches), the last-scan box (LastScanBox), the scanning
// view (ScanningView) and the hand-over of results (ResultsHandOff). The
// parts hear of each other only through this class. The lists are
// ScanSources'; the tables reload whenever the owner says a list changed.
// GUI thread only.
class MainViewController : public QWidget, public ScanScreen {
    Q_OBJECT
public:
    // The sources' lists are shown and edited here; the owner outlives the screen.
    MainViewController(UserDefaults& defaults, ScanSources& sources, QWidget* parent = nullptr);
    ~MainViewController() override;

    ScanEngine& engine() { return *engine_; }
    LocationLists& lists() { return *lists_; }
    LocationAdder& adder();
    HomePathModel& pathModel();
    CategorySwitches& categorySwitches();
    // The base frames of every control; the language rules edit these.
    FrameTable& frames();

    // Not owned; none: the screen's own placeholder page.
    void setResultsReceiver(ResultsReceiver* receiver);
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
    IMGButton* scanNowButton() const;

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
    void releaseResults() override;

private:
    void resizeEvent(QResizeEvent* event) override;
    void connectParts();
    void menuItemChosen(int tag);
    void sourceListChanged(ScanSource source, SourceList which);

    std::unique_ptr<ScanEngine> engine_;
    std::unique_ptr<LocationLists> lists_;
    std::unique_ptr<HomeFrames> frames_;
    // The parts, in the order their controls are made (the order of the
    // keyboard's Tab).
    std::unique_ptr<ScanSourcePicker> source_;
    std::unique_ptr<LocationTabs> tabs_;
    std::unique_ptr<FileTypeSwitches> fileTypes_;
    std::unique_ptr<AddLocationsPanel> adding_;
    std::unique_ptr<LastScanBox> lastScan_;
    std::unique_ptr<HomeBars> bars_;
    std::unique_ptr<ScanningView> scanning_;
    std::unique_ptr<ResultsHandOff> results_;
    std::function<void(const std::optional<QString>&)> preferencesOpener_;
    std::function<void(QWidget*)> emptyFolderCleanerOpener_;
    ScanSourceSwitcher* sourceSwitcher_ = nullptr;
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
