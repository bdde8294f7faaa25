#pragma once

#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

class UserDefaults;
class ProtectedFolderStore;

// One stored entry of the scan list, as read back from the settings.
struct SavedScanEntry {
    QString path;
    int state = 1;
    bool includeSubFolders = true;
};

// The home screen's location lists and their rules: the scan list, the
// exclude and protect lists of every source, the check of what is already in
// the scan list, and the three settings records that keep this computer's
// lists between runs. Display-free; the home screen shows these lists and
// reloads its tables after each call.
//
// The lists are not owned here: the scan list and the exclude lists are the
// scan engine's, the protect lists the shared ProtectedFolderStore's, so the
// engine, the results screen and this screen all see one list. A cloud
// handler's own scan list is reached through cloudScanMirror, which the cloud
// source switch points at it. GUI thread only.
class LocationLists {
public:
    struct Lists {
        std::vector<FilePathNodePtr>& scan;
        std::vector<FilePathNodePtr>& excludeFinder;
        std::vector<FilePathNodePtr>& excludeGDrive;
        std::vector<FilePathNodePtr>& excludeCloud;
        QHash<QString, QString>& pathsAdded;
    };
    LocationLists(UserDefaults& defaults, Lists lists, ProtectedFolderStore& protect);

    std::vector<FilePathNodePtr>& arrPathNodesFinder;
    std::vector<FilePathNodePtr>& arrExcludePathsFinder;
    std::vector<FilePathNodePtr>& arrExcludePathsGDrive;
    std::vector<FilePathNodePtr>& arrExcludePathsCloud;
    // Paths of the scan list, exactly as added (this file system tells
    // letter case apart).
    QHash<QString, QString>& dictPathAdded;
    ProtectedFolderStore& protectedFolders;

    // Google Drive's mirror of the scan list: the same rows at the same indexes.
    std::vector<FilePathNodePtr> arrPathNodesGDrive;
    // The current cloud handler's scan list, when a handler is chosen; not owned.
    std::vector<FilePathNodePtr>* cloudScanMirror = nullptr;
    // True while the scan list holds a photo library; at most one may stand in it.
    bool isPhotosLibraryPathAdded = false;

    // The lists of the selected source shown on the Exclude and Protect tabs.
    std::vector<FilePathNodePtr>& excludeListForSource();
    std::vector<FilePathNodePtr>& protectListForSource();

    // ---- Storage ----------------------------------------------------------
    // Writes "savedPaths" from the scan list; only with this computer chosen.
    bool savePathsBookmark();
    bool saveExcludedFolders();
    bool saveProtectedFolders();
    // The stored scan entries; records that are not an entry with a path are
    // passed over and logged.
    std::vector<SavedScanEntry> restoreSavedScanLists() const;
    // Appends the stored entries that still exist to the scan list. Vanished
    // entries, entries in a Trash and repeats are dropped and the record is
    // re-saved without them; packages other than a photo library are left
    // out.
    void loadSavedScanList();
    // Refill this computer's exclude (protect) list from the settings; a
    // damaged record leaves the list as it was.
    void restoreExcludedFolders();
    void restoreProtectedFolders();

    // ---- Rows ---------------------------------------------------------------
    // Appends one checked scan row with sub-folders, and its mirror row for
    // the chosen cloud source. No repeat check: callers make it.
    FilePathNodePtr addPathToScanList(const QString& path, const std::shared_ptr<GDFoldersList>& gdFolder = nullptr,
        const std::shared_ptr<CloudScanFoldersList>& cloudFolder = nullptr);
    static FilePathNodePtr appendPathNode(const QString& path, std::vector<FilePathNodePtr>& list);
    // True when the path is a scan-list entry or a folder holding one.
    bool isPathInScanList(const QString& path) const;
    bool isInScanListExactly(const QString& path) const { return dictPathAdded.contains(path); }

    // Removal of one row of a tab's list. A row that is not in the list (a
    // second click on a row already removed) changes nothing: false.
    bool removeScanRow(int row);
    bool removeExcludeRow(int row);
    bool removeProtectRow(int row);

    // Scan Now's state: some row checked, or any row at all.
    bool hasCheckedScanRow() const;
    bool hasScanRow() const { return !arrPathNodesFinder.empty(); }

private:
    UserDefaults& defaults_;
};

// True when the path lies in one of the user's freedesktop Trash folders:
// $XDG_DATA_HOME/Trash, or <mount>/.Trash/<uid> and <mount>/.Trash-<uid> on
// any volume. Compared by whole path components.
bool isInTrash(const QString& path);
// True when the path's last component names a photo library.
bool isPhotosLibraryPath(const QString& path);
// True when `folder` is `path` or one of its ancestors, by whole components.
bool isSameOrAncestorPath(const QString& folder, const QString& path);
