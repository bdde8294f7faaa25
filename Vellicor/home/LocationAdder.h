#pragma once

#include "base/WorkerRelay.h"
#include "core/GlobalObjects.h"
#include "scan/PathExclusionPredicate.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class LocationLists;

// The home screen's three tabs; none while no tab button is on.
enum class HomeTab { none, include, exclude, protect };

// An alert the home screen is to show after an addition: localisation keys of
// its message and informative text (the latter may be empty); its one button
// is "ID_OK".
struct AlertKeys {
    QString message;
    QString informative;
    // Put into the informative text's placeholders, in order.
    QStringList informativeValues = {};
    // A sentence after the informative text, with more put into its number,
    // when more is above 0.
    QString moreKey = {};
    int more = 0;
    friend bool operator==(const AlertKeys&, const AlertKeys&) = default;
};

// What one addition did: how many rows it added and the alerts to show, in
// order. listChanged tells the screen to reload the tab's table.
struct AddOutcome {
    int added = 0;
    bool listChanged = false;
    std::vector<AlertKeys> alerts;
};

// Where chosen folders come from: the product's open panel (window-modal,
// several at once) or a fake in tests. done receives the chosen paths, empty
// when the panel was cancelled; it may run before chooseFolders returns.
class FolderChooser {
public:
    struct Options {
        bool filesToo = false;
        QStringList fileSuffixes;
        QString promptKey;
        // The panel's title: what the chosen folders are for.
        QString titleKey;
    };
    virtual ~FolderChooser() = default;
    virtual void chooseFolders(const Options& options, std::function<void(const QStringList&)> done) = 0;
};

// The rules of adding locations to the three lists, from an open panel or
// from a drop onto the home screen: the Trash refused, exclusions honoured,
// one photo library, no repeats, and the alerts that report the outcome.
// Display-free; the screen shows the alerts and reloads its tables.
// A row added to a scan list is taken by its path at once; what it leads to
// through links is looked at on a thread of its own (it may wait on a mount),
// and a row that leads into an excluded folder is taken back out, with an
// alert that names it, the folder it leads to and the exclusion.
// GUI thread only.
class LocationAdder {
public:
    explicit LocationAdder(LocationLists& lists);
    ~LocationAdder();
    LocationAdder(const LocationAdder&) = delete;
    LocationAdder& operator=(const LocationAdder&) = delete;

    // Hears what an addition ends with after it returned: rows taken back
    // out because of where they lead.
    void setLaterOutcome(std::function<void(const AddOutcome&)> later) { laterOutcome_ = std::move(later); }

    // The panel of a tab, then the choice added to its list; outcome receives
    // what happened (nothing for a cancelled panel).
    void openPanel(HomeTab tab, FolderChooser& chooser, std::function<void(const AddOutcome&)> outcome);
    // The panel of a tab for the chosen source.
    static FolderChooser::Options panelOptions(HomeTab tab);

    AddOutcome addPanelPathsToScanList(const QStringList& paths);
    AddOutcome addPanelPathsToExcludeList(const QStringList& paths);
    AddOutcome addPanelPathsToProtectList(const QStringList& paths);

    // A drop of paths onto the home screen with the tab shown.
    AddOutcome handleFileDragDrop(const QStringList& paths, HomeTab tab);

    // The alert of an exclusion conflict; none when there is no conflict.
    static std::vector<AlertKeys> exclusionConflictAlert(bool inScanList, bool alreadyExcluded);

private:
    enum class Origin { panel, drop };
    AddOutcome addToScanList(const QStringList& paths, Origin origin);
    AddOutcome addToExcludeList(const QStringList& paths, Origin origin);
    AddOutcome addToProtectList(const QStringList& paths, Origin origin);
    std::optional<AlertKeys> catalogRefusal(const QStringList& paths) const;
    // Looks aside at where the rows just added lead; added counts the rows
    // of that addition.
    void checkWhereRowsLead(ScanSource source, const PathExclusionPredicate& excluded, QStringList paths, int added);
    // Takes back out the rows that lead into excluded folders.
    void takeBack(ScanSource source, const std::vector<std::pair<QString, LocationExclusion>>& excluded, int added);

    LocationLists& lists_;
    std::function<void(const AddOutcome&)> laterOutcome_;
    // Where the looks aside come back to; cut when the adder goes.
    QObject anchor_;
    std::shared_ptr<WorkerRelay<QObject>> relay_;
};
