#pragma once

#include "home/LocationAdder.h"

#include <QObject>

#include <optional>

class CustomTableView;
class HomePathModel;
class LocationLists;
class QAbstractButton;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QModelIndex;
class QWidget;
class RAZButton;

// The Include, Exclude and Protect tabs with their path tables, the tables'
// context menu and the Settings button beside the tabs; the one model behind
// the tables; and what acts on the rows of the shown list: check boxes,
// sub-folder switches, removal, Check All, Remove All and Reveal. It tells
// the user's acts on the tabs, the rows and the menu by signals; the screen
// answers through the calls below and sees to Scan Now. GUI thread only.
class LocationTabs : public QObject {
    Q_OBJECT
public:
    // Builds the tabs, the menu and the tables in the view.
    LocationTabs(LocationLists& lists, QWidget* view);

    HomePathModel& model() { return *model_; }
    HomeTab activeTab() const;

    void localize();
    // Once, after localize(): the looks of the buttons, the tabs' tool tips
    // and the first tab's list shown.
    void finishSetUp();
    // Shows tab 1, 2 or 3 and its list.
    void showTab(int tag);
    void reload();

    // ---- The rows of the shown list --------------------------------------
    // Removes a row of the shown tab's list; true when one went.
    bool removeRow(int row);
    void includeSubFolders(int row, bool on);
    // Checks or unchecks a row of the Include or Exclude list; the tab
    // changed, none when nothing did.
    HomeTab setRowChecked(int row, bool on);
    // Every row of the shown Include or Exclude list to state (1 checked);
    // the tab changed, none when nothing did.
    HomeTab setAllRowStates(int state);
    // Empties the shown source's list of the shown tab, the other sources'
    // lists left as they are; the tab emptied, none for no tab.
    HomeTab clearShownList();
    // The selected row of the shown table, if any.
    std::optional<int> selectedRow() const;
    // Shows the selected row's path in the file manager (this computer only).
    void revealSelected();
    // Retitles and enables a context-menu item for the tab and the source.
    bool validateMenuItem(QAction* item);

signals:
    // A tab button (1 to 3) or Settings (4) was clicked.
    void tabTapped(int tag);
    // A context-menu item: 0 reveal, 1 check all, 2 uncheck all, 3 remove,
    // 4 remove all.
    void menuItemChosen(int tag);
    // A row's own buttons, or Space on a row for its check box.
    void removeTapped(int row);
    void checkTapped(int row, bool on);
    void subFoldersTapped(int row, bool on);

private:
    CustomTableView* makeTable(const char* name, QWidget* parent);
    void cellTapped(const QModelIndex& index, int outlet);
    void setTabLook(int tag);
    CustomTableView* shownTable() const;
    // Stores the tab's list, edited in place, and shows it again.
    void saveEditedList(HomeTab tab);

    LocationLists& lists_;
    HomePathModel* model_ = nullptr;
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
};
