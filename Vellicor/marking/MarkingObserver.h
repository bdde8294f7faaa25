#pragma once

#include "core/DuplicateGroup.h"
#include "core/GlobalObjects.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// What the results screen repaints when the results state changes marks. The
// screen's model implements it; every call comes on the GUI thread after the
// state has changed, so the model reads the new values. A mark repaints its
// own row and its group's row, never the whole view.
// What a screen prepared off the GUI thread for a rebuild of its rows; its
// own kind derives from it.
struct PreparedShownGroups {
    virtual ~PreparedShownGroups() = default;
};

class MarkingObserver {
public:
    virtual ~MarkingObserver() = default;

    // One file's check box, wherever the file shows (list, group or
    // thumbnail view). Also sent when a click was refused, so a check box the
    // view already flipped goes back.
    virtual void fileMarkChanged(const FileInfoNodePtr& file) = 0;
    // A group row's check box and its count (ResultsState::groupCountText).
    virtual void groupRowChanged(const DuplicateGroupPtr& group) = 0;
    // Every shown file's and group's check box at once.
    virtual void allMarksChanged() = 0;
    // lblNumMarkedFiles and btnTrash, from ResultsState::markedCountLabel.
    virtual void updateMarkedCountLabel() = 0;

    // The calls below have empty defaults, so that a screen takes them up as
    // it gains the controls they concern.

    // Automatic marking has just put the shown files of the group at this
    // position of arrGroups in a new order, which the views do not show
    // yet: the screen may take them now, while they are at hand, for the
    // rebuild that follows (ResultsState::showFilesMovedInGroups).
    virtual void groupFilesReordered(std::size_t position) { Q_UNUSED(position); }
    // arrGroups, or the shown files or their order in a group, changed as a
    // whole: the list rows are rebuilt from arrGroups and the view mode that
    // shows is rebuilt (the thumbnail sections too when
    // ResultsState::isCollectionViewRefreshRequired is set). Selections made
    // on the old rows do not carry over.
    virtual void shownGroupsChanged() { }
    // The shown groups are about to be made again off the GUI thread: in a
    // new order, every group keeping its shown files (the sort button; the
    // rebuild is prepared from the rows as they are), or anew after a
    // removal or an undo (prepared from the groups alone, their records only
    // read). Asked on the GUI thread, the screen answers with a job that, on
    // a worker and given the groups as they will be shown, prepares its
    // rebuild, or with none; the rebuild finds the outcome through
    // ResultsState::preparedShownGroups and must check that it still fits.
    enum class PreparedFrom { rows, groups };
    using PrepareShownGroups
        = std::function<std::shared_ptr<PreparedShownGroups>(const std::vector<DuplicateGroupPtr>& shown)>;
    virtual PrepareShownGroups prepareShownGroups(PreparedFrom from)
    {
        Q_UNUSED(from);
        return {};
    }
    // selectedCategoryIndex took effect: its category button (btnAllItems for
    // -1) is highlighted and btnAutoMark enabled.
    virtual void categoryChanged() { }
    // A category without duplicates: the transient popover with heading
    // anchored at that category's button; nothing else changed.
    virtual void showNoDuplicatesPopover(GlobalObjects::FileCategory category, const QString& heading)
    {
        Q_UNUSED(category);
        Q_UNUSED(heading);
    }
    // The sort button starts a re-sort: disableResultToolbar until the
    // rebuild that follows has been shown.
    virtual void disableResultToolbar() { }
    // sortOrder changed: btnSort shows "up_arrow" for sortAsecending,
    // "down_arrow" for sortDescending.
    virtual void sortOrderChanged() { }
    // ResultsState::duplicatesSummary changed: the summary labels and, outside
    // English, the footer row (layoutFooterLabels).
    virtual void duplicatesSummaryChanged() { }
};
