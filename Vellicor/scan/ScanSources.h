#pragma once

#include "core/CloudScanFoldersList.h"
#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"
#include "scan/ScanRequest.h"

#include <QObject>
#include <QString>
#include <QVariantList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class ScanWrapper;
class UserDefaults;

// The three location lists every scan source has.
enum class SourceList : std::uint8_t { scan, exclude, protect };

// One stored entry of a folder list, as read back from the settings.
struct SavedScanEntry {
    QString path;
    int state = 1;
    bool includeSubFolders = true;
};

// The one owner of every scan source's lists: for each source its scan,
// exclude and protect list, and the handler that lists it (its folder tree and
// sign-in state live there). This computer's three lists are kept in the
// settings ("savedPaths", "excludedFolders", "protectedFolders") and written
// here only; the other sources' lists live for the run. Display-free.
//
// Every screen, pane and sheet shows these lists and changes them only
// through edit(); listChanged then tells all of them, whoever made the change,
// so nobody holds a copy that can go stale. Scan Now builds its request here.
//
// GUI thread only; a scan gets copies in its ScanRequest.
class ScanSources : public QObject {
    Q_OBJECT
public:
    using Rows = std::vector<FilePathNodePtr>;

    // The settings outlive the owner. The exclude and protect lists of this
    // computer are read from them at once; the scan list is the home
    // screen's to restore, since it checks each entry on disk.
    explicit ScanSources(UserDefaults& defaults, QObject* parent = nullptr);
    ~ScanSources() override;

    const Rows& list(ScanSource source, SourceList which) const;
    const Rows& scanList(ScanSource source) const { return list(source, SourceList::scan); }
    const Rows& excludeList(ScanSource source) const { return list(source, SourceList::exclude); }
    const Rows& protectList(ScanSource source) const { return list(source, SourceList::protect); }

    // The most rows a change leaves in a list. Far more than anyone lists by
    // hand, a drop of a large selection fits, and this computer's three lists
    // at the bound (some 3 MB of settings) still leave room for about 29,000
    // scan records. A list an earlier version stored past it is kept and may
    // shrink.
    static constexpr size_t largestList = 10000;

    // The one way to change a list (rows edited in place too: a check box, a
    // sub-folder switch): change runs on the list, this computer's list is
    // stored (the file written behind, UserDefaults::Saving::behind), and
    // listChanged is emitted. False when the list could not be stored; the
    // change stays in memory then. A change that would take the
    // list past largestList is not made: listTooLong says so, and false.
    bool edit(ScanSource source, SourceList which, const std::function<void(Rows&)>& change);
    // Store::no takes rows as they stand in the settings already.
    enum class Store { yes, no };
    bool replace(ScanSource source, SourceList which, Rows rows, Store storing = Store::yes);

    // ---- This computer's lists in the settings ------------------------------
    // The stored entries of a list; records that are not an entry with a path
    // are passed over and logged. None when the setting is not a list.
    std::optional<std::vector<SavedScanEntry>> storedEntries(SourceList which) const;
    // The stored exclude or protect list as new rows; none when the setting is
    // not a list (it is logged).
    std::optional<Rows> storedRows(SourceList which) const;
    // Refills this computer's exclude or protect list from the settings; a
    // damaged record leaves the list as it was (false).
    bool reloadStored(SourceList which);

    // ---- Handlers -----------------------------------------------------------
    // The handler of a cloud source; not owned, it outlives its use here.
    void setHandler(ScanSource source, ScanWrapper* handler);
    ScanWrapper* handler(ScanSource source) const;
    // The root of the handler's folder tree, made on first use; none without
    // a handler.
    CloudScanFoldersListPtr folderTree(ScanSource source) const;
    // Drops the folder tree: the next folderTree lists the source afresh.
    void resetFolderTree(ScanSource source);

    // ---- Scan Now -----------------------------------------------------------
    // Everything a scan of source reads, copied now.
    ScanRequest makeScanRequest(ScanSource source) const;

signals:
    // A list of source changed (rows added, removed, replaced or edited).
    void listChanged(ScanSource source, SourceList which);
    // A change was refused: the list would have held more than largest rows.
    void listTooLong(ScanSource source, SourceList which, int largest);

private:
    static constexpr size_t sourceCount = 7;
    Rows& rows(ScanSource source, SourceList which);
    // Stores this computer's list, merged with what another copy stored
    // meanwhile; the rows then become the merged list.
    bool store(ScanSource source, SourceList which);
    void takeMergedRecords(SourceList which, const QVariantList& merged);
    void takeStoredRecords(SourceList which);

    UserDefaults& defaults_;
    std::array<std::array<Rows, 3>, sourceCount> lists_;
    std::array<ScanWrapper*, sourceCount> handlers_ {};
    // This computer's lists as last stored or read here, by SourceList: what
    // another writer changed since is told apart from this copy's edits.
    std::array<QVariantList, 3> storedRecords_;
};
