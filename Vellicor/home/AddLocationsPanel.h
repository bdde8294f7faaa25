#pragma once

#include "core/GlobalObjects.h"
#include "home/LocationAdder.h"

#include <QObject>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class LocationLists;
class QLabel;
class QWidget;
class RAZButton;

// The right-hand column's ways of adding locations: the drop box with the
// Add button, and the Exclude and Protect shortcuts under it. It owns the
// rules of adding (LocationAdder), the folder chooser and the cloud folder
// picker, and shows the alerts an addition ends with. It tells clicks by
// signals; the screen chooses the tab and hears when an addition changed a
// list. GUI thread only.
class AddLocationsPanel : public QObject {
    Q_OBJECT
public:
    // Builds the column in the view; the open panel is the view's until set.
    AddLocationsPanel(LocationLists& lists, QWidget* view);
    ~AddLocationsPanel() override;

    LocationAdder& adder() { return adder_; }
    void setFolderChooser(std::unique_ptr<FolderChooser> chooser);
    // The cloud folder picker of the chosen cloud source, opened for a tab.
    void setCloudFolderPicker(std::function<void(HomeTab)> picker);

    void localize();
    // Once: Add's title, tool tip and look.
    void finishSetUp();

    // Adds to a tab's list: this computer and the photo catalog through the
    // open panel, a cloud source through its picker.
    void addTo(HomeTab tab);
    // Paths dropped onto the screen, for the tab shown.
    void addDropped(const QStringList& paths, HomeTab tab);

    // Add's tool tip follows the tab (1 to 3) and the source.
    void tabShown(int tag);
    void sourceChosen(ScanSource chosen, HomeTab tab);
    // Redraws Add.
    void refresh();

signals:
    void addTapped();
    void excludeTapped();
    void protectTapped();
    // An addition has changed a list (or tried to): the tables and Scan Now
    // are to follow. Its alerts come after.
    void listsChanged();

private:
    void applyOutcome(const AddOutcome& outcome);
    void showAlerts(const std::vector<AlertKeys>& alerts);

    LocationAdder adder_;
    std::unique_ptr<FolderChooser> chooser_;
    std::function<void(HomeTab)> cloudPicker_;
    RAZButton* btnAddPath_ = nullptr;
    // The column's labels and their language keys.
    std::vector<std::pair<QLabel*, const char*>> texts_;
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
