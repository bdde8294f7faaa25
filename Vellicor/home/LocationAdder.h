#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
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
    // Put into the informative text's placeholder, when it has one.
    QString informativeValue = {};
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
// GUI thread only.
class LocationAdder {
public:
    explicit LocationAdder(LocationLists& lists);

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

    LocationLists& lists_;
};
