#pragma once

#include "cloud/CloudFolderAdding.h"
#include "core/CloudScanFoldersList.h"
#include "home/LocationAdder.h"
#include "marking/SelectAssistanceController.h"

#include <QAbstractItemModel>
#include <QObject>

#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CloudSourceController;
class CustomOutlineView;
class CustomWindowNag;
class IMGButton;
class MainViewController;
class QFrame;
class QLabel;
class QProgressBar;
class RAZButton;
class ScanWrapper;

// The picker's outline over a cloud folder tree. The nodes are the handler's
// own, shown by identity; the model keeps a snapshot of the tree's shape
// taken at each reload, so a listing that grows the tree between reloads
// never shows the view rows it has not been told of. GUI thread only.
class CloudFolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    using QAbstractItemModel::QAbstractItemModel;

    // A new root (none: no rows), shown at once.
    void setRoot(CloudScanFoldersListPtr root);
    const CloudScanFoldersListPtr& root() const { return root_; }
    // Takes the tree's present shape.
    void reload();
    // Whether a folder still offers its disclosure triangle: it has
    // sub-folders, or it has not been listed yet.
    std::function<bool(const CloudScanFoldersList&)> mayHaveChildren;

    CloudScanFoldersListPtr nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const CloudScanFoldersList* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void snapshot(const CloudScanFoldersListPtr& node);
    const std::vector<CloudScanFoldersListPtr>& kidsOf(const CloudScanFoldersList* node) const;

    CloudScanFoldersListPtr root_;
    std::vector<CloudScanFoldersListPtr> top_;
    std::unordered_map<const CloudScanFoldersList*, std::vector<CloudScanFoldersListPtr>> kids_;
    // Each shown node's parent (none for the root) and its row there.
    std::unordered_map<const CloudScanFoldersList*, std::pair<const CloudScanFoldersList*, int>> place_;
};

// The cloud folder picker of Google Drive, Dropbox, OneDrive and Box: a sheet over the main
// window with the source's folder tree (the handler's, listed a level at a
// time as folders are opened), Add, Cancel and Refresh. Add puts the chosen
// folder into the source's list of the tab the sheet was opened for; opened
// by the selection assistant's Browse, it hands the folder's path back to the
// assistant instead. A sign-in that comes first keeps that hand-off.
//
// Made by the composition root as a child of the home screen; it takes the
// cloud side's picker-listing reports. GUI thread only.
class CloudFolderPicker : public QObject, public CloudProtectedFolders {
    Q_OBJECT
public:
    CloudFolderPicker(MainViewController& home, CloudSourceController& sources);
    ~CloudFolderPicker() override;

    // The home screen's Add for a cloud source: sign-in first when needed,
    // a fresh tree after a clean-up removed files, the root listed when
    // there is none, then the sheet for the tab.
    void showCloudFolderPicker(HomeTab tab);
    void showCloudFolderListSheet(bool show);
    void closeGDriveFolderList();
    void btnRefreshGDriveFolderListTapped();
    void btnAddFolderGDriveTapped();
    // Queued behind the current event, so calls take effect in their order.
    void setFolderListHudHidden(bool hidden);
    // A picker listing has ended (answered, failed or dropped).
    void folderListingEnded();

    // CloudProtectedFolders
    void browseFolder(ScanSource source, std::function<void(const QString&)> done) override;
    void addChosenFolder(ScanSource source, const QString& path, bool includeSubFolders) override;

    CloudFolderTreeModel& model() { return *model_; }

    CloudScanFoldersListPtr lastSelectedCloudPath;

    CustomWindowNag* windowGoogleDriveFolderList = nullptr;
    QWidget* boxGoogleDriveFolderList = nullptr;
    QLabel* lblFolderListHeading = nullptr;
    CustomOutlineView* outlineGDFolderList = nullptr;
    IMGButton* btnAddFolderGDrive = nullptr;
    RAZButton* btnCancelGDrive = nullptr;
    RAZButton* btnRefreshGDriveFolderList = nullptr;
    QProgressBar* hudFolderList = nullptr;

private:
    // Opens the sheet for a tab, or for a Browse (browsed set), signing in
    // first when needed; the choice goes back to whoever asked.
    void openFor(HomeTab tab, std::function<void(const QString&)> browsed);
    void buildSheet();
    void layOutSheet();
    void outlineItemDidExpand(const QModelIndex& index);
    void outlineSelectionDidChange();
    void listChildren(const CloudScanFoldersListPtr& folder);
    void reloadKeepingExpansion();
    void showAlerts(std::vector<AlertKeys> alerts);
    void applyOutcome(const AddOutcome& outcome);

    MainViewController& home_;
    CloudSourceController& sources_;
    CloudFolderAdder adder_;
    CloudFolderTreeModel* model_ = nullptr;
    HomeTab tab_ = HomeTab::include;
    // Set while the sheet serves the selection assistant's Browse.
    std::function<void(const QString&)> browsed_;
    // The folder last handed to the assistant, and its source: what the
    // assistant's Add protects. lastSelectedCloudPath is only the row
    // highlighted last, which a cancelled Browse leaves behind.
    PickedCloudFolder handedToAssistant_;
    ScanSource handedSource_ = ScanSource::thisComputer;
    // Folders whose listing is under way, and folders listed by the picker;
    // neither is asked for again until Refresh.
    std::unordered_set<const CloudScanFoldersList*> loading_;
    std::unordered_set<const CloudScanFoldersList*> listed_;
    int pendingListings_ = 0;
    // The sheet is open (from the opening until Cancel, Add or its close):
    // only then does a listing's end reload the tree or tell the user.
    bool open_ = false;
    // The handler the listings under way were asked of: the one stopped
    // when the sheet closes.
    ScanWrapper* listingHandler_ = nullptr;
};
