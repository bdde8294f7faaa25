#include "marking/ShownGroupsOrder.h"

#include "base/ReleaseElsewhere.h"
#include "core/CommonFuncs.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "marking/ResultsState.h"

#include <algorithm>

ShownGroupsOrder::ShownGroupsOrder(ResultsState& state)
    : state_(state)
{
}

std::vector<DuplicateGroupPtr> ShownGroupsOrder::filterGroupsByCategory(GlobalObjects::FileCategory category)
{
    std::vector<DuplicateGroupPtr> result;
    for (const DuplicateGroupPtr& group : state_.arrMainGroup) {
        std::vector<FileInfoNodePtr> files;
        for (const FileInfoNodePtr& file : group->children) {
            if (file && file->fileCategory == category)
                files.push_back(file);
        }
        if (files.size() < 2)
            continue;
        group->filterChildren = std::move(files);
        // Every caller rebuilds the shown rows next, so the rows are not
        // repainted one by one here.
        ResultsState::groupMarkState(*group);
        result.push_back(group);
    }
    if (!result.empty())
        state_.selectedCategoryIndex = rawValue(category);
    return result;
}

void ShownGroupsOrder::resetCategoryFilter()
{
    for (const DuplicateGroupPtr& group : state_.arrMainGroup)
        showAllFiles(*group);
}

void ShownGroupsOrder::showAllFiles(DuplicateGroup& group)
{
    group.filterChildren = group.children;
    ResultsState::groupMarkState(group);
}

ShownGroupsOrder::CategoryOutcome ShownGroupsOrder::selectCategory(GlobalObjects::FileCategory category)
{
    state_.finishBulkMarks();
    const std::vector<DuplicateGroupPtr> groups = filterGroupsByCategory(category);
    if (groups.empty()) {
        if (state_.observer()) {
            state_.observer()->showNoDuplicatesPopover(category,
                formatText(localizedText("ID_OOPS_NO_DUPLICATE_FOUND"), { localizedText(categoryTitleKey(category)) }));
        }
        return CategoryOutcome::noDuplicates;
    }
    if (state_.observer())
        state_.observer()->categoryChanged();
    state_.isMarkedGroupsFilterOn = false;
    showGroups(groups, FilesChange::scanOrder);
    state_.recountMarkedFiles();
    return CategoryOutcome::shown;
}

void ShownGroupsOrder::btnShowAllItems()
{
    state_.finishBulkMarks();
    state_.selectedCategoryIndex = -1;
    if (state_.observer())
        state_.observer()->categoryChanged();
    resetCategoryFilter();
    state_.isMarkedGroupsFilterOn = false;
    showGroups(state_.arrMainGroup, FilesChange::scanOrder);
    state_.recountMarkedFiles();
}

void ShownGroupsOrder::btnFilterGroupWithMarkedFileMenuItemTapped()
{
    state_.finishBulkMarks();
    if (state_.isMarkedGroupsFilterOn) {
        state_.isMarkedGroupsFilterOn = false;
        const auto category = state_.selectedCategoryIndex == -1
            ? std::nullopt
            : enumFromRaw<GlobalObjects::FileCategory>(state_.selectedCategoryIndex);
        // Without a category the groups that come back may have been out of
        // a column sort.
        showGroups(category ? filterGroupsByCategory(*category) : state_.arrMainGroup,
            category ? FilesChange::scanOrder : FilesChange::unknown);
        return;
    }
    std::vector<DuplicateGroupPtr> marked;
    for (const DuplicateGroupPtr& group : state_.arrGroups) {
        if (std::ranges::any_of(
                group->filterChildren, [](const FileInfoNodePtr& file) { return file && file->isMarked(); }))
            marked.push_back(group);
    }
    if (marked.empty())
        return;
    state_.isMarkedGroupsFilterOn = true;
    showGroups(marked, FilesChange::kept);
}

const char* ShownGroupsOrder::categoryTitleKey(GlobalObjects::FileCategory category)
{
    using Category = GlobalObjects::FileCategory;
    switch (category) {
    case Category::Doc:
        return "ID_DOCUMENTS";
    case Category::Pic:
        return "ID_IMAGES";
    case Category::Music:
        return "ID_MUSIC";
    case Category::Video:
        return "ID_VIDEOS";
    case Category::Archive:
        return "ID_ARCHIVES";
    case Category::Others:
        return "ID_OTHERS";
    }
    return "ID_OTHERS";
}

std::vector<DuplicateGroupPtr> ShownGroupsOrder::sortGroups(const std::vector<DuplicateGroupPtr>& groups) const
{
    return sortGroupsBy(groups, state_.sortType, state_.sortOrder);
}

void ShownGroupsOrder::showGroups(const std::vector<DuplicateGroupPtr>& groups, FilesChange files)
{
    state_.arrGroups = sortGroups(groups);
    showShownGroups(files);
}

void ShownGroupsOrder::showShownGroups(FilesChange files)
{
    state_.isCollectionViewRefreshRequired = true;
    filesJustChanged_ = files;
    if (state_.observer())
        state_.observer()->shownGroupsChanged();
    filesJustChanged_ = FilesChange::unknown;
}

void ShownGroupsOrder::selectSortingType()
{
    state_.finishBulkMarks();
    state_.sortType = GlobalObjects::SortType::sortBySize;
    showGroups(state_.arrGroups, FilesChange::kept);
}

void ShownGroupsOrder::sortBtnTapped()
{
    const GroupsToShow groups = sortBtnInput();
    const std::atomic<bool> never { false };
    showSortedGroups(groups, groupSortOrder(groups.input, never));
}

ShownGroupsOrder::GroupsToShow ShownGroupsOrder::sortBtnInput()
{
    state_.finishBulkMarks();
    using SortOrder = GlobalObjects::SortOrder;
    if (state_.observer())
        state_.observer()->disableResultToolbar();
    state_.sortType = GlobalObjects::SortType::sortBySize;
    state_.sortOrder
        = state_.sortOrder == SortOrder::sortDescending ? SortOrder::sortAsecending : SortOrder::sortDescending;
    if (state_.observer())
        state_.observer()->sortOrderChanged();
    const auto category = state_.selectedCategoryIndex == -1
        ? std::nullopt
        : enumFromRaw<GlobalObjects::FileCategory>(state_.selectedCategoryIndex);
    // A category puts the files back in scan order; without one, the groups
    // a marked-groups filter hid may have been out of a column sort.
    const FilesChange files = category  ? FilesChange::scanOrder
        : state_.isMarkedGroupsFilterOn ? FilesChange::unknown
                                        : FilesChange::kept;
    state_.isMarkedGroupsFilterOn = false;
    return { takeGroupSortInput(
                 category ? filterGroupsByCategory(*category) : state_.arrMainGroup, state_.sortType, state_.sortOrder),
        files };
}

void ShownGroupsOrder::showSortedGroups(
    const GroupsToShow& groups, const std::vector<std::uint32_t>& order, SortedGroups sorted)
{
    if (sorted.groups)
        showPrepared(std::move(*sorted.groups), std::move(sorted.prepared), groups.files);
    else
        showPrepared(groupsInOrder(groups.input, order), nullptr, groups.files);
}

void ShownGroupsOrder::showPreparedGroups(
    std::vector<DuplicateGroupPtr> groups, std::shared_ptr<PreparedShownGroups> prepared)
{
    showPrepared(std::move(groups), std::move(prepared), FilesChange::unknown);
}

void ShownGroupsOrder::showPrepared(
    std::vector<DuplicateGroupPtr> groups, std::shared_ptr<PreparedShownGroups> prepared, FilesChange files)
{
    // The groups shown before go elsewhere: dropping 400,000 handles one by
    // one keeps the window waiting.
    releaseElsewhere(std::exchange(state_.arrGroups, std::move(groups)));
    preparedShownGroups_ = std::move(prepared);
    showShownGroups(files);
    // What the screen left of it, the rows before among them, goes elsewhere too.
    if (preparedShownGroups_)
        releaseElsewhere(std::exchange(preparedShownGroups_, {}));
}

MarkingObserver::PrepareShownGroups ShownGroupsOrder::prepareShownGroups(MarkingObserver::PreparedFrom from) const
{
    return state_.observer() ? state_.observer()->prepareShownGroups(from) : MarkingObserver::PrepareShownGroups();
}

void ShownGroupsOrder::sortDescriptorsDidChange(const std::optional<SortDescriptor>& first)
{
    state_.finishBulkMarks();
    const std::optional<SortColumn> column = first ? sortColumnForKey(first->key) : std::nullopt;
    if (!column) {
        showShownGroups(FilesChange::kept);
        return;
    }
    const ColumnSortInput input = takeColumnSortInput(state_.arrGroups, *column, first->ascending);
    const std::atomic<bool> never { false };
    applyFilesOrder(input, columnSortOrder(input, never));
}

bool ShownGroupsOrder::applyFilesOrder(const ColumnSortInput& input, const std::vector<std::uint32_t>& order)
{
    state_.finishBulkMarks();
    std::optional<std::vector<std::size_t>> moved = applyColumnSortOrder(state_.arrGroups, input, order);
    if (!moved)
        return false;
    filesJustSorted_ = FilesOrder { input.column, input.ascending, std::move(*moved) };
    showShownGroups(FilesChange::kept);
    filesJustSorted_.reset();
    return true;
}

void ShownGroupsOrder::showFilesMovedInGroups(std::vector<std::size_t> positions)
{
    // The groups keep their files, so the thumbnail sections stay as they
    // are.
    filesJustMoved_ = std::move(positions);
    if (state_.observer())
        state_.observer()->shownGroupsChanged();
    filesJustMoved_.reset();
}

const std::vector<std::size_t>* ShownGroupsOrder::groupsWithFilesMoved() const
{
    if (filesJustSorted_)
        return &filesJustSorted_->movedGroups;
    return filesJustMoved_ ? &*filesJustMoved_ : nullptr;
}
