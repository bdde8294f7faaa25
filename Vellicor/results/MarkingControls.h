#pragma once

#include "marking/GroupSorting.h"
#include "marking/MarkByCommands.h"
#include "results/MarkMenu.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class CheckBoxButton;
class QHeaderView;
class ResultsState;
class SortRunner;

// The results screen's marking controls: the file and group check boxes,
// the list's select-all box, the mark menu and its mark-by commands, and the
// order of the rows: the sort runner, the list's column sorts and the
// header's indicator of the order the rows have. GUI thread only.
class MarkingControls : public QObject {
public:
    explicit MarkingControls(ResultsState& state);
    ~MarkingControls() override;

    // The select-all box for the list's check column; a click on it marks or
    // unmarks and then asks for a repaint through reload.
    CheckBoxButton* makeSelectAllBox(std::function<void()> reload);
    // The list's column titles: a click sorts by its column.
    void attachListHeader(QHeaderView* header);
    // The mark menu; its other items go to handlers (markBy and the filter
    // of marked groups are filled in here).
    MarkMenu* buildMarkMenu(MarkMenu::Handlers handlers, QWidget* parent);

    void fileCheckBoxTapped(const FileInfoNodePtr& file);
    void groupCheckBoxTapped(const DuplicateGroupPtr& group);
    // The select-all box's state from the groups' marks.
    void updateSelectAllBox();
    // A mark-by command or the invert on the shown groups; tag as the menu
    // item carries it; the state carries it out a slice at a time.
    void markByCommand(MarkByCommand command, std::optional<int> tag);
    bool isMarkByRunning() const;
    // What must follow the marking pass still going (a removal) ends it
    // first.
    void finishMarkBy();

    void sortButtonTapped();
    // A sort still running is dropped.
    void dropPendingSort();
    // A new result set: no column sort, no indicator.
    void forgetListSort();
    // The shown groups have changed: the column sort ends where the rows no
    // longer have its order.
    void shownGroupsChanged();
    // Automatic marking put the files of the shown group at this position in
    // a new order: checked against the list's column order now, while they
    // are at hand, for the rebuild that follows.
    void groupFilesReordered(std::size_t position);

    SortRunner& sortRunner() { return *sortRunner_; }
    MarkMenu& markMenu() { return *markMenu_; }

private:
    void listHeaderClicked(int column);
    // The column the list was last sorted by, while its rows keep that order.
    std::optional<SortColumn> listSortKey() const;
    // Whether every shown group's files still stand in the column's order.
    bool shownFilesKeepColumnOrder(SortColumn column) const;
    void showListSortIndicator();

    ResultsState& state_;
    std::unique_ptr<SortRunner> sortRunner_;
    CheckBoxButton* btnSelectAllTblCheckBox_ = nullptr;
    QHeaderView* listHeader_ = nullptr;
    MarkMenu* markMenu_ = nullptr;
    std::optional<int> listSortColumn_;
    bool listSortAscending_ = true;
    // The column sort asked for last, which a click on its column turns round
    // while it still runs.
    std::optional<int> listSortAsked_;
    bool listSortAskedAscending_ = true;
    // The groups checked as automatic marking reordered them since the last
    // rebuild: under which column and direction, how many, and whether all
    // of them kept that order. Any rebuild lets it go.
    struct ReorderedCheck {
        SortColumn column;
        bool ascending;
        std::size_t groups = 0;
        bool inOrder = true;
    };
    std::optional<ReorderedCheck> reorderedCheck_;
};
