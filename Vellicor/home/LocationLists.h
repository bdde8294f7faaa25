#pragma once

#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"
#include "core/PathSet.h"
#include "scan/ScanSources.h"

#include <QString>

#include <memory>
#include <vector>

// The home screen's rules over the location lists of the chosen source: the
// check of what is already in the scan list, the restoring of this
// computer's saved scan list (each entry checked on disk), adding and removing
// rows. Display-free. The lists themselves are ScanSources': every change
// goes through it, so the screen's tables, the preferences pane and the
// selection assistant all see one list and hear of each change. GUI thread
// only.
class LocationLists {
public:
    using Rows = ScanSources::Rows;

    explicit LocationLists(ScanSources& sources);

    ScanSources& sources;

    // The lists of the chosen source, as the three tabs show them.
    const Rows& scanListForSource() const;
    const Rows& excludeListForSource() const;
    const Rows& protectListForSource() const;
    // True while the scan list holds a photo library; at most one may stand in it.
    bool isPhotosLibraryPathAdded() const;

    // ---- Storage ----------------------------------------------------------
    // The chosen source's list was edited in place (a row's check box or
    // sub-folder switch): this computer's list is stored, every screen told.
    bool savePathsBookmark();
    bool saveExcludedFolders();
    bool saveProtectedFolders();
    // The stored scan entries; records that are not an entry with a path are
    // passed over and logged.
    std::vector<SavedScanEntry> restoreSavedScanLists() const;
    // This computer's scan list becomes the stored entries that still exist.
    // Vanished entries, entries in a Trash and repeats are dropped and the
    // record is re-saved without them. Every other folder comes back,
    // whatever its name ends in.
    void loadSavedScanList();
    // Refill this computer's exclude (protect) list from the settings; a
    // damaged record leaves the list as it was.
    void restoreExcludedFolders();
    void restoreProtectedFolders();

    // ---- Rows ---------------------------------------------------------------
    // Appends one checked scan row with sub-folders to the chosen source's
    // scan list. No repeat check: callers make it.
    FilePathNodePtr addPathToScanList(const QString& path, const std::shared_ptr<GDFoldersList>& gdFolder = nullptr,
        const std::shared_ptr<CloudScanFoldersList>& cloudFolder = nullptr);
    // A checked row with sub-folders for path.
    static FilePathNodePtr makePathNode(const QString& path);
    // True when the path is a scan-list entry or a folder holding one.
    bool isPathInScanList(const QString& path) const;
    // The scan list's paths, for asking that of many paths at once.
    PathSet scanListPaths() const { return PathSet::ofRows(scanListForSource()); }
    // True when the path is a scan-list entry exactly as added (this file
    // system tells letter case apart).
    bool isInScanListExactly(const QString& path) const;

    // Removal of one row of a tab's list. A row that is not in the list (a
    // second click on a row already removed) changes nothing: false.
    bool removeScanRow(int row);
    bool removeExcludeRow(int row);
    bool removeProtectRow(int row);

    // Scan Now's state: some row checked, or any row at all.
    bool hasCheckedScanRow() const;
    bool hasScanRow() const { return !scanListForSource().empty(); }

private:
    bool removeRow(SourceList which, int row);
    ScanSource source() const { return selectedScanSource().load(); }
};

// True when the path lies in one of the user's freedesktop Trash folders:
// $XDG_DATA_HOME/Trash, or <mount>/.Trash/<uid> and <mount>/.Trash-<uid> on
// any volume. Compared by whole path components.
bool isInTrash(const QString& path);
// True when the path's last component names a photo library.
bool isPhotosLibraryPath(const QString& path);
// True when `folder` is `path` or one of its ancestors, by whole components.
bool isSameOrAncestorPath(const QString& folder, const QString& path);
