#pragma once

#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "results/ResultViewMode.h"
#include "results/ResultsWidgets.h"

#include <QObject>

#include <functional>
#include <memory>

class CustomOutlineView;
class CustomTableView;
class QLabel;
class ResultContextMenu;
class ResultsGridView;
class ResultsListProxy;
class ResultsModel;
class ResultsState;
class ThumbnailProvider;

// The results screen's three views of the one model: the flat list, the
// outline of groups and the thumbnail grid (a room of its own it owns), each
// with its word for an empty result, which of them is shown, their
// selections and the context menu they share. A selection, a check box and
// Space go out through the hooks; GUI thread only.
class ResultViews : public QObject {
public:
    struct Hooks {
        std::function<void(const FileInfoNodePtr&)> fileSelected;
        std::function<void()> selectionCleared;
        std::function<void(const FileInfoNodePtr&)> fileCheckBoxTapped;
        std::function<void(const DuplicateGroupPtr&)> groupCheckBoxTapped;
        std::function<void()> checkKeyPressed;
    };

    ResultViews(ResultsState& state, ResultsModel& model, ResultsListProxy& listModel, ResultsLater later, Hooks hooks,
        QWidget& screen);
    ~ResultViews() override;

    // The list (with selectAllBox in its check column's header) and the
    // outline, filling pane.
    void buildListAndOutline(QWidget* pane, QWidget* selectAllBox);
    // The least width of the pane that still shows a file's box, icon, name
    // and size in the list and the outline, beside the scroller.
    int leastUsefulWidth() const;
    // The grid, in the same pane; after the preview side is built.
    void buildGrid(QWidget* pane);
    // The context menu of the three views; what it removes from the list and
    // what it previews go to the handlers.
    void buildContextMenu(
        std::function<void(bool nothingLeft)> removedFromList, std::function<void(const FileInfoNodePtr&)> preview);

    ResultViewMode mode() const { return mode_; }
    // Shows the view of mode, or its empty word, and clears the selections.
    void show(ResultViewMode mode);
    // 0.05 s later the shown view repaints.
    void reloadShown();
    void clearSelections();
    // A new result set: the outline is hidden before the rows come, so that
    // it does not lay them out; the grid forgets its pictures, and the list
    // and the outline go back to their first rows.
    void resultSetLoading();

    CustomTableView* tblDuplicates() const { return tblDuplicates_; }
    CustomOutlineView* outlineDuplicates() const { return outlineDuplicates_; }
    ResultsGridView& grid() { return *grid_; }
    ResultContextMenu& contextMenu() { return *contextMenu_; }

private:
    ResultsState& state_;
    ResultsModel& model_;
    ResultsListProxy& listModel_;
    ResultsLater later_;
    Hooks hooks_;
    QWidget& screen_;
    std::unique_ptr<ResultsGridView> grid_;
    ResultViewMode mode_ = ResultViewMode::list;

    QWidget* tblResultListView_ = nullptr;
    QWidget* outlineResultListView_ = nullptr;
    CustomTableView* tblDuplicates_ = nullptr;
    CustomOutlineView* outlineDuplicates_ = nullptr;
    QLabel* lblNoDuplicateFoundListView_ = nullptr;
    QLabel* lblNoDuplicateFoundOutlineview_ = nullptr;
    ResultContextMenu* contextMenu_ = nullptr;
};
