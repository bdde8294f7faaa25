#pragma once

#include "core/GlobalObjects.h"

#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>

class AutoMarking;
class CustomWindowNag;
class GradientBox;
class IMGButton;
class ScanSources;
class QCheckBox;
class QLabel;
class QTableWidget;
class QWidget;
class RAZButton;
class ResultsState;
class UserDefaults;

// Where the assistant's Browse finds a folder of this computer: a window-modal
// folder panel, or a fake in tests. done receives the chosen folder, empty
// when the panel was cancelled; it may run before chooseFolder returns.
class ProtectFolderChooser {
public:
    virtual ~ProtectFolderChooser() = default;
    virtual void chooseFolder(const QString& prompt, std::function<void(const QString&)> done) = 0;
};

// The cloud side of the protected list, served by the screen that owns the
// cloud folder list. Browse and Add of a cloud source go through it.
class CloudProtectedFolders {
public:
    virtual ~CloudProtectedFolders() = default;
    // The source's folder list (after its network and sign-in checks); done
    // receives the path of the folder chosen there, empty when none was.
    virtual void browseFolder(ScanSource source, std::function<void(const QString&)> done) = 0;
    // Adds to the protect list of source the folder that list handed back
    // as path (the one the assistant shows), with its own alert when it is
    // listed already. A path it did not hand back adds nothing.
    virtual void addChosenFolder(ScanSource source, const QString& path, bool includeSubFolders) = 0;
};

// True for a folder inside any trash folder this system keeps: the home
// trash, and the per-volume ".Trash/<uid>" and ".Trash-<uid>" folders of any
// user. Such folders are never protected: their contents are already bound
// for removal.
bool isTrashFolder(const QString& path);

// The selection assistant: the ordered selection rules with their switches
// (stored under "autoMarkingRules" after every change), the file-format and
// folder priority lists of the current results (in memory), the protected
// folders of the current scan source (ScanSources' list: edited through it,
// so the home screen shows each change at once), Reset priority, and Mark, which closes the sheet and runs the
// automatic marking. Made once by the results screen and kept; its sheet is a
// window-modal veil over the results window. GUI thread only.
class SelectAssistanceController : public QObject {
    Q_OBJECT
public:
    enum class Tab { general, protectedFolders, fileFormats, folders };

    SelectAssistanceController(
        ResultsState& state, ScanSources& store, UserDefaults& defaults, AutoMarking& marking, QWidget* resultsWindow);
    ~SelectAssistanceController() override;

    void setFolderChooser(std::unique_ptr<ProtectFolderChooser> chooser);
    // Not owned; none until the cloud screens are wired, and then cloud
    // sources cannot be browsed.
    void setCloudFolders(CloudProtectedFolders* cloud) { cloud_ = cloud; }

    // Opens the sheet for the current scan source: the stored rules, the
    // protected list of that source, no browsed folder, the General tab.
    void openSheet();
    bool isOpen() const;

    // ---- actions ----------------------------------------------------------
    void segmentClicked(Tab tab);
    Tab shownTab() const { return shownTab_; }
    // offset -1 (Up) or +1 (Down) on the shown tab's selected row.
    void btnUpDownTapped(int offset);
    // A drop above row of the shown tab's table; texts are the dragged row
    // numbers as decimal text.
    void acceptDrop(const QStringList& texts, int row);
    void btnCheckUnCheckTapped(int index, bool on);
    void btnResetPriorityTapped();
    void btnMarkTapped();
    void btnCloseAssistanceWindow();

    void btnbrowseProtectPathTapped();
    void btnAddProtectPathTapped();
    void btnRemoveProtectPathTapped();

    // The rule list as shown; entries that are not rule dictionaries are
    // kept as they are and left alone.
    const QVariantList& arrAutoMarkRuoles() const { return rules_; }
    void selectRow(Tab tab, int row);

    // ---- the sheet and its controls ---------------------------------------
    CustomWindowNag* window = nullptr;
    QWidget* boxMainSelectionAssistance = nullptr;
    GradientBox* boxHeaderSelectionAssistance = nullptr;
    QLabel* lblSheetHeading = nullptr;
    QLabel* lblSheetInfo = nullptr;
    RAZButton* btnGeneralTab = nullptr;
    RAZButton* btnProtectedFolderTab = nullptr;
    RAZButton* btnFileFormatTab = nullptr;
    RAZButton* btnFoldersTab = nullptr;
    QLabel* lblDescription = nullptr;
    QTableWidget* tblGeneral = nullptr;
    QTableWidget* tblProtected = nullptr;
    QTableWidget* tblFileFormat = nullptr;
    QTableWidget* tblFolder = nullptr;
    QWidget* boxProtectedControls = nullptr;
    QLabel* lblBrowsedPath = nullptr;
    RAZButton* btnBrowsePath = nullptr;
    QCheckBox* btnIncludeSubFolder = nullptr;
    RAZButton* btnAddPath = nullptr;
    RAZButton* btnRemovePath = nullptr;
    RAZButton* btnUp = nullptr;
    RAZButton* btnDown = nullptr;
    RAZButton* btnResetPriority = nullptr;
    IMGButton* btnMark = nullptr;
    RAZButton* btnCancel = nullptr;

private:
    void buildWindow();
    void layOutSheet();
    void highlightTab(Tab tab);
    QTableWidget* tableOf(Tab tab) const;
    void reloadTable(Tab tab);
    bool movePriorityRow(int from, int to);
    void storeRules();
    void markFolderPriorityChanged();
    void protectedListEdited();
    void updateRemoveButton();

    ResultsState& state_;
    ScanSources& store_;
    UserDefaults& defaults_;
    AutoMarking& marking_;
    QWidget* resultsWindow_;
    std::unique_ptr<ProtectFolderChooser> chooser_;
    CloudProtectedFolders* cloud_ = nullptr;
    QVariantList rules_;
    Tab shownTab_ = Tab::general;
    // The source whose list the Protected tab shows; set at each opening.
    ScanSource protectedSource_ = ScanSource::thisComputer;
    // The folder Browse chose, which Add protects; lblBrowsedPath shows it.
    QString browsedPath_;
};
