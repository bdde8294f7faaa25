#include "results/MarkingControls.h"

#include "base/Log.h"
#include "controls/CheckBoxButton.h"
#include "marking/ResultsState.h"
#include "marking/SortRunner.h"
#include "results/ResultsModel.h"

#include <QHeaderView>

#include <algorithm>

namespace {

// The list's sort keys by column.
const char* const sortKeys[ResultsModel::columnCountValue]
    = { "", "fileName", "fileSize", "createDate", "modDate", "fileType", "filePath" };

} // namespace

MarkingControls::MarkingControls(ResultsState& state)
    : state_(state)
    , sortRunner_(std::make_unique<SortRunner>(state_))
{
}

MarkingControls::~MarkingControls() = default;

CheckBoxButton* MarkingControls::makeSelectAllBox(std::function<void()> reload)
{
    btnSelectAllTblCheckBox_ = new CheckBoxButton;
    btnSelectAllTblCheckBox_->setObjectName(QStringLiteral("btnSelectAllTblCheckBox"));
    connect(btnSelectAllTblCheckBox_, &QAbstractButton::clicked, this, [this, reload = std::move(reload)] {
        Log::print(QStringLiteral("btnSelectAllTblTapped"));
        // The box has taken its new state: on marks every shown group but for
        // one file each, protected files left alone; off unmarks every shown file.
        state_.selectAllShownFilesInSlices(btnSelectAllTblCheckBox_->state() == 1);
        reload();
    });
    return btnSelectAllTblCheckBox_;
}

void MarkingControls::attachListHeader(QHeaderView* header)
{
    listHeader_ = header;
    connect(header, &QHeaderView::sectionClicked, this, &MarkingControls::listHeaderClicked);
}

MarkMenu* MarkingControls::buildMarkMenu(MarkMenu::Handlers handlers, QWidget* parent)
{
    handlers.markBy = [this](MarkByCommand command, std::optional<int> tag) { markByCommand(command, tag); };
    handlers.filterMarkedGroups = [this] { state_.btnFilterGroupWithMarkedFileMenuItemTapped(); };
    handlers.isFilteringMarkedGroups = [this] { return state_.isMarkedGroupsFilterOn; };
    markMenu_ = new MarkMenu(std::move(handlers), parent);
    return markMenu_;
}

void MarkingControls::fileCheckBoxTapped(const FileInfoNodePtr& file)
{
    if (file)
        state_.fileCheckBoxTapped(file);
}

void MarkingControls::groupCheckBoxTapped(const DuplicateGroupPtr& group)
{
    if (group)
        state_.groupCheckBoxTapped(group);
}

void MarkingControls::updateSelectAllBox()
{
    btnSelectAllTblCheckBox_->setState(state_.selectAllBoxState());
}

void MarkingControls::markByCommand(MarkByCommand command, std::optional<int> tag)
{
    // A command given while an earlier one is still going follows its end.
    state_.startBulkMarks(std::make_shared<MarkByRun>(state_, command, tag));
}

bool MarkingControls::isMarkByRunning() const
{
    return state_.isBulkMarking();
}

void MarkingControls::finishMarkBy()
{
    state_.finishBulkMarks();
}

void MarkingControls::sortButtonTapped()
{
    sortRunner_->sortButton();
}

void MarkingControls::dropPendingSort()
{
    sortRunner_->dropPending();
}

void MarkingControls::forgetListSort()
{
    listSortColumn_.reset();
    listSortAsked_.reset();
    showListSortIndicator();
}

void MarkingControls::shownGroupsChanged()
{
    // Any other change of the shown groups drops a sort still running.
    sortRunner_->dropPending();
    // A rebuild of the shown files from the groups' scan order (a category,
    // All, a clean-up) ends the column sort; the indicator goes with it. The
    // state says when the files were just sorted, kept or put back; only a
    // change from elsewhere has them checked.
    if (const std::optional<ResultsState::FilesOrder>& justSorted = state_.filesJustSorted()) {
        listSortColumn_.reset();
        for (int column = ResultsModel::checkColumn + 1; column < ResultsModel::columnCountValue; ++column) {
            if (sortColumnForKey(QString::fromLatin1(sortKeys[column])) == justSorted->column)
                listSortColumn_ = column;
        }
        listSortAscending_ = justSorted->ascending;
    } else if (state_.filesJustChanged() == ResultsState::FilesChange::scanOrder) {
        listSortColumn_.reset();
    } else if (const std::optional<SortColumn> sorted = listSortKey(); sorted
               && state_.filesJustChanged() == ResultsState::FilesChange::unknown
               && !shownFilesKeepColumnOrder(*sorted)) {
        listSortColumn_.reset();
    }
    reorderedCheck_.reset();
    if (!sortRunner_->isSorting()) {
        listSortAsked_ = listSortColumn_;
        listSortAskedAscending_ = listSortAscending_;
    }
    showListSortIndicator();
}

void MarkingControls::listHeaderClicked(int column)
{
    if (column > ResultsModel::checkColumn && column < ResultsModel::columnCountValue) {
        // A first click sets the ascending flag, a second one on the same
        // column clears it: the same column as the last click, also while
        // that sort still runs.
        listSortAskedAscending_ = listSortAsked_ == column ? !listSortAskedAscending_ : true;
        listSortAsked_ = column;
        sortRunner_->sortColumn(SortDescriptor { QString::fromLatin1(sortKeys[column]), listSortAskedAscending_ });
    }
    // The header moves its indicator on every click, the check column's
    // too; it shows the order the rows have.
    showListSortIndicator();
}

void MarkingControls::groupFilesReordered(std::size_t position)
{
    const std::optional<SortColumn> sorted = listSortKey();
    if (!sorted || position >= state_.arrGroups.size()) {
        reorderedCheck_.reset();
        return;
    }
    if (!reorderedCheck_ || reorderedCheck_->column != *sorted || reorderedCheck_->ascending != listSortAscending_) {
        // Groups checked under another order do not count.
        reorderedCheck_ = ReorderedCheck { *sorted, listSortAscending_ };
    }
    ++reorderedCheck_->groups;
    if (reorderedCheck_->inOrder) {
        reorderedCheck_->inOrder
            = filesSortedByColumn(state_.arrGroups[position]->filterChildren, *sorted, listSortAscending_);
    }
}

bool MarkingControls::shownFilesKeepColumnOrder(SortColumn column) const
{
    const auto inOrder = [&](const DuplicateGroupPtr& group) {
        return filesSortedByColumn(group->filterChildren, column, listSortAscending_);
    };
    // Files moved within some groups only (automatic marking): the other
    // groups keep the order they were in, and those moved were checked as
    // they moved when every one of them was.
    if (const std::vector<std::size_t>* moved = state_.groupsWithFilesMoved()) {
        if (reorderedCheck_ && reorderedCheck_->column == column && reorderedCheck_->ascending == listSortAscending_
            && reorderedCheck_->groups == moved->size())
            return reorderedCheck_->inOrder;
        return std::ranges::all_of(
            *moved, [&](std::size_t g) { return g >= state_.arrGroups.size() || inOrder(state_.arrGroups[g]); });
    }
    return std::ranges::all_of(state_.arrGroups, inOrder);
}

std::optional<SortColumn> MarkingControls::listSortKey() const
{
    return listSortColumn_ ? sortColumnForKey(QString::fromLatin1(sortKeys[*listSortColumn_])) : std::nullopt;
}

void MarkingControls::showListSortIndicator()
{
    const std::optional<SortColumn> sorted = listSortKey();
    listHeader_->setSortIndicatorShown(sorted.has_value());
    if (sorted) {
        listHeader_->setSortIndicator(*listSortColumn_,
            filesRiseByColumn(*sorted, listSortAscending_) ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}
