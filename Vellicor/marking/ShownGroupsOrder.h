#pragma once

#include "core/DuplicateGroup.h"
#include "core/GlobalObjects.h"
#include "marking/GroupSorting.h"
#include "marking/MarkingObserver.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class ResultsState;

// Which groups of a result set are shown and in what order: the category
// filter, the marked-groups filter and the sorts of groups and of their
// files, with what the observer may ask while it hears of a change. It works
// on the state's groups and its sort and filter settings, and finishes a
// marking pass still going before it changes the shown groups.
class ShownGroupsOrder {
public:
    explicit ShownGroupsOrder(ResultsState& state);
    ShownGroupsOrder(const ShownGroupsOrder&) = delete;
    ShownGroupsOrder& operator=(const ShownGroupsOrder&) = delete;

    // ---- category filter ----------------------------------------------------

    // The groups of arrMainGroup, in that order, that hold two or more files
    // of category (a file without a category matches none), each narrowed to
    // them with its check state recomputed; groups left out keep their shown
    // files. When any group is found, category becomes selectedCategoryIndex.
    std::vector<DuplicateGroupPtr> filterGroupsByCategory(GlobalObjects::FileCategory category);
    // Every group of arrMainGroup shows all its files again, its check state
    // recomputed from them.
    void resetCategoryFilter();
    // The same for one group.
    static void showAllFiles(DuplicateGroup& group);

    enum class CategoryOutcome { shown, noDuplicates };
    // A category button: shows the category's groups sorted and recounts the
    // totals, or, when it has no duplicates, changes nothing and asks for the
    // popover with "ID_OOPS_NO_DUPLICATE_FOUND". Marks are never changed.
    CategoryOutcome selectCategory(GlobalObjects::FileCategory category);
    // The All button: every group whole, sorted; the totals recounted.
    void btnShowAllItems();
    // The localisation key of a category's title ("ID_IMAGES", ...).
    static const char* categoryTitleKey(GlobalObjects::FileCategory category);

    // ---- groups with marked files ----------------------------------------------

    // The filter item of the mark menu: the shown groups narrowed to those
    // with a marked shown file (with none marked nothing changes); tapped
    // again, the category's groups come back. A new result set, a category,
    // the sort button or a clean-up ends the filter as well.
    void btnFilterGroupWithMarkedFileMenuItemTapped();

    // ---- sorting -------------------------------------------------------------

    // A copy of groups in the order of sortType and sortOrder.
    std::vector<DuplicateGroupPtr> sortGroups(const std::vector<DuplicateGroupPtr>& groups) const;
    // The sort-type command: order by size; the shown groups are re-sorted
    // and their rows rebuilt. Groups hidden by the category stay hidden.
    void selectSortingType();
    // The sort button: order by size, direction toggled, the category filter
    // applied again (which returns each group's files to scan order) and the
    // groups re-sorted. Marks and totals stay.
    void sortBtnTapped();
    // While the observer hears of new shown groups: whether the files kept
    // the order they were shown in (only the groups moved, or fewer are
    // shown), or were put back in scan order (a category, All), so that
    // nobody checks their order again. Neither for a change from elsewhere.
    enum class FilesChange { unknown, kept, scanOrder };
    FilesChange filesJustChanged() const { return filesJustChanged_; }

    // The sort button in two steps, so that the sorting between may run off
    // the GUI thread: sortBtnInput does everything but the sort and the
    // rebuild, and returns the groups to show with their keys copied;
    // showSortedGroups shows them in the order computed from it.
    struct GroupsToShow {
        GroupSortInput input;
        // What becomes of the order of the groups' files.
        FilesChange files = FilesChange::unknown;
    };
    GroupsToShow sortBtnInput();
    // What a worker may add to the order: the groups in it (then taken out
    // of the input), and what the screen prepared for them
    // (MarkingObserver::prepareShownGroups).
    struct SortedGroups {
        std::optional<std::vector<DuplicateGroupPtr>> groups;
        std::shared_ptr<PreparedShownGroups> prepared;
    };
    void showSortedGroups(
        const GroupsToShow& groups, const std::vector<std::uint32_t>& order, SortedGroups sorted = {});
    // The screen's job for a rebuild made off the GUI thread, none without
    // an observer.
    MarkingObserver::PrepareShownGroups prepareShownGroups(MarkingObserver::PreparedFrom from) const;
    // arrGroups becomes groups, made elsewhere with what the screen prepared
    // for them from the groups alone (a removal's or an undo's rebuild).
    void showPreparedGroups(std::vector<DuplicateGroupPtr> groups, std::shared_ptr<PreparedShownGroups> prepared);
    // While the observer hears of the groups a sort put in order: what it
    // prepared for them, when it did.
    PreparedShownGroups* preparedShownGroups() const { return preparedShownGroups_.get(); }
    // The list view's column sort: the shown files of every shown group
    // ordered by the first descriptor's column; none, or a key that names no
    // column, leaves the order. The rows are rebuilt either way.
    void sortDescriptorsDidChange(const std::optional<SortDescriptor>& first);
    // The column sort's last step (see takeColumnSortInput): the order applied
    // and the rows rebuilt once. False, with nothing moved and nothing told,
    // when the shown groups no longer show the files the input was taken
    // from.
    bool applyFilesOrder(const ColumnSortInput& input, const std::vector<std::uint32_t>& order);
    // While the observer hears of a column sort: the column and direction
    // every shown group's files were just put in, so nobody checks it again.
    struct FilesOrder {
        SortColumn column;
        bool ascending;
        // The positions of the shown groups whose files moved.
        std::vector<std::size_t> movedGroups;
    };
    const std::optional<FilesOrder>& filesJustSorted() const { return filesJustSorted_; }
    // The shown files of the groups at these positions took a new order
    // (automatic marking), every shown group keeping its place and its
    // files: the rows are rebuilt, the views told which groups to read again.
    void showFilesMovedInGroups(std::vector<std::size_t> positions);
    // While the observer hears of files moved within their groups (a column
    // sort or showFilesMovedInGroups): the positions of the groups whose
    // files moved, every other group as it was. None for any other change.
    const std::vector<std::size_t>* groupsWithFilesMoved() const;

private:
    // arrGroups becomes groups sorted; the screen rebuilds its rows, told
    // what became of the files' order.
    void showGroups(const std::vector<DuplicateGroupPtr>& groups, FilesChange files);
    void showShownGroups(FilesChange files);
    // arrGroups becomes groups, the screen's rebuild finding what it
    // prepared for them.
    void showPrepared(
        std::vector<DuplicateGroupPtr> groups, std::shared_ptr<PreparedShownGroups> prepared, FilesChange files);

    ResultsState& state_;
    std::optional<FilesOrder> filesJustSorted_;
    std::shared_ptr<PreparedShownGroups> preparedShownGroups_;
    FilesChange filesJustChanged_ = FilesChange::unknown;
    std::optional<std::vector<std::size_t>> filesJustMoved_;
};
