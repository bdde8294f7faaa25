#include "results/ResultRows.h"

#include "base/ReleaseElsewhere.h"
#include "marking/ResultsState.h"
#include "marking/ShownFilesCheck.h"
#include "results/ShownFiles.h"

#include <algorithm>
#include <iterator>

ResultRows::PreparedRows ResultRows::prepareRows(const std::vector<DuplicateGroupPtr>& shown)
{
    PreparedRows prepared;
    std::size_t rowCount = 0;
    for (const DuplicateGroupPtr& group : shown)
        rowCount += group->filterChildren.size();
    prepared.rows.reserve(rowCount);
    prepared.groups.reserve(shown.size());
    for (const DuplicateGroupPtr& group : shown)
        appendGroupRow(prepared.groups, prepared.rows, { group, {}, 0, {} });
    assignGroupPositions(prepared.positions, prepared.groups);
    return prepared;
}

void ResultRows::load(PreparedRows rows)
{
    ++rowsVersion_;
    releaseElsewhere(std::exchange(groups_, std::move(rows.groups)));
    rows_ = std::move(rows.rows);
    groupPositions_ = std::move(rows.positions);
}

void ResultRows::appendGroupRow(std::vector<GroupRow>& groups, std::vector<ListRow>& rows, GroupRow row)
{
    groups.push_back(takeGroupRow(rows, int(groups.size()) + 1, std::move(row)));
}

ResultRows::GroupRow ResultRows::takeGroupRow(std::vector<ListRow>& rows, int number, GroupRow row)
{
    row.firstListRow = int(rows.size());
    if (row.files.empty()) {
        row.files.reserve(row.group->filterChildren.size());
        for (const FileInfoNodePtr& file : row.group->filterChildren) {
            if (file)
                row.files.push_back(file);
        }
    }
    for (std::size_t i = 0; i < row.files.size(); ++i)
        rows.push_back({ number, int(i) });
    return row;
}

bool ResultRows::takeSortedFiles(const ResultsState& state)
{
    // After a column sort or automatic marking the groups stand where they
    // stood; only those whose files moved are read again.
    const std::vector<std::size_t>* moved = state.groupsWithFilesMoved();
    const std::vector<DuplicateGroupPtr>& shown = state.arrGroups;
    if (!moved || groups_.size() != shown.size())
        return false;
    for (std::size_t g = 0; g < shown.size(); ++g) {
        if (groups_[g].group != shown[g])
            return false;
    }
    std::size_t taken = 0;
    // Each row's files and its group's are asked for a few groups ahead, so
    // that the reads of rows far apart wait for memory side by side.
    constexpr std::size_t rowsAhead = 16;
    constexpr std::size_t filesAhead = 8;
    for (std::size_t m = 0; m < moved->size(); ++m) {
        const std::size_t g = (*moved)[m];
        if (g >= groups_.size())
            return false;
        if (m + rowsAhead < moved->size() && (*moved)[m + rowsAhead] < groups_.size()) {
            const std::size_t ahead = (*moved)[m + rowsAhead];
            __builtin_prefetch(&groups_[ahead]);
            __builtin_prefetch(&shown[ahead]->filterChildren);
        }
        if (m + filesAhead < moved->size() && (*moved)[m + filesAhead] < groups_.size()) {
            const std::size_t ahead = (*moved)[m + filesAhead];
            __builtin_prefetch(groups_[ahead].files.data());
            __builtin_prefetch(shown[ahead]->filterChildren.data());
        }
        std::vector<FileInfoNodePtr>& files = groups_[g].files;
        // Taken when they were reordered, and unchanged since: any change
        // after it rebuilt the rows, which let them go.
        const std::vector<std::size_t>& positions = reorderedFiles_.positions;
        while (taken < positions.size() && positions[taken] < g)
            ++taken;
        if (taken < positions.size() && positions[taken] == g) {
            const auto first = reorderedFiles_.files.begin() + std::ptrdiff_t(reorderedFiles_.firstFile[taken]);
            const auto end = reorderedFiles_.files.begin() + std::ptrdiff_t(reorderedFiles_.firstFile[taken + 1]);
            if (std::size_t(end - first) == files.size()) {
                // Swapped, so that the handles let go of are let go of elsewhere.
                std::swap_ranges(first, end, files.begin());
                groups_[g].rowsOfFiles.clear();
                continue;
            }
        }
        const std::vector<FileInfoNodePtr>& now = shown[g]->filterChildren;
        if (!takeReorderedFiles(files, now)) {
            // A large group is taken anew, as long as its rows stay as many.
            if (std::size_t(std::ranges::count_if(now, [](const FileInfoNodePtr& file) { return bool(file); }))
                != files.size())
                return false;
            files.clear();
            std::ranges::copy_if(now, std::back_inserter(files), [](const FileInfoNodePtr& file) { return bool(file); });
        }
        groups_[g].rowsOfFiles.clear();
    }
    return true;
}

namespace {

// The rows of the shown groups made from the groups alone: swapped in by
// takePreparedRows.
struct PreparedFromGroups : PreparedShownGroups {
    ResultRows::PreparedRows rows;
};

// The rows of the shown groups in a new order, each group with the files its
// row had: made on a sort's worker, swapped in by takePreparedOrder.
struct PreparedOrder : PreparedShownGroups {
    // The rebuild the rows were prepared from, and the groups they are for.
    quint64 rowsVersion = 0;
    const DuplicateGroupPtr* shown = nullptr;
    std::size_t shownCount = 0;
    // Per group in the new order: its row before, and its first list row.
    std::vector<int> rowBefore;
    std::vector<int> firstListRow;
    std::vector<ListRow> rows;
    GroupPositions positions;
};

} // namespace

MarkingObserver::PrepareShownGroups ResultRows::prepareShownGroups(MarkingObserver::PreparedFrom from) const
{
    if (from == MarkingObserver::PreparedFrom::groups) {
        return [](const std::vector<DuplicateGroupPtr>& shown) -> std::shared_ptr<PreparedShownGroups> {
            auto prepared = std::make_shared<PreparedFromGroups>();
            prepared->rows = prepareRows(shown);
            return prepared;
        };
    }
    // The groups and their file counts as the rows hold them now; the worker
    // reads only these copies.
    auto before = std::make_shared<std::vector<std::pair<const DuplicateGroup*, int>>>();
    before->reserve(groups_.size());
    for (const GroupRow& row : groups_)
        before->emplace_back(row.group.get(), int(row.files.size()));
    const quint64 version = rowsVersion_;
    return [before, version](const std::vector<DuplicateGroupPtr>& shown) -> std::shared_ptr<PreparedShownGroups> {
        if (shown.size() != before->size())
            return nullptr;
        auto prepared = std::make_shared<PreparedOrder>();
        prepared->rowsVersion = version;
        prepared->shown = shown.data();
        prepared->shownCount = shown.size();
        // The table of the new order also finds each row's new place.
        GroupPositions& positions = prepared->positions;
        positions.reset(shown.size());
        for (std::size_t g = 0; g < shown.size(); ++g)
            positions.insert(shown[g].get(), int(g));
        prepared->rowBefore.assign(shown.size(), -1);
        for (std::size_t old = 0; old < before->size(); ++old) {
            const int g = positions.find((*before)[old].first);
            // A row whose group is no longer shown, or a group shown twice,
            // is left to the rebuild on the GUI thread.
            if (g < 0 || prepared->rowBefore[std::size_t(g)] >= 0)
                return nullptr;
            prepared->rowBefore[std::size_t(g)] = int(old);
        }
        std::size_t rowCount = 0;
        for (const auto& [group, files] : *before)
            rowCount += std::size_t(files);
        prepared->rows.reserve(rowCount);
        prepared->firstListRow.reserve(shown.size());
        for (std::size_t g = 0; g < shown.size(); ++g) {
            prepared->firstListRow.push_back(int(prepared->rows.size()));
            const int files = (*before)[std::size_t(prepared->rowBefore[g])].second;
            for (int i = 0; i < files; ++i)
                prepared->rows.push_back({ int(g) + 1, i });
        }
        return prepared;
    };
}

bool ResultRows::takePreparedOrder(const ResultsState& state)
{
    auto* prepared = dynamic_cast<PreparedOrder*>(state.preparedShownGroups());
    const std::vector<DuplicateGroupPtr>& shown = state.arrGroups;
    // Prepared from these rows for exactly these groups, which keep their
    // files: anything else is rebuilt on the GUI thread.
    if (!prepared || prepared->rowsVersion != rowsVersion_ || prepared->shown != shown.data()
        || prepared->shownCount != shown.size() || groups_.size() != shown.size()
        || state.filesJustChanged() != ResultsState::FilesChange::kept || state.filesJustSorted())
        return false;
    // The rows move in place, cycle by cycle: no second list of them.
    const std::vector<int>& from = prepared->rowBefore;
    std::vector<bool> placed(groups_.size());
    for (std::size_t start = 0; start < groups_.size(); ++start) {
        if (placed[start])
            continue;
        GroupRow first = std::move(groups_[start]);
        std::size_t g = start;
        while (std::size_t(from[g]) != start) {
            groups_[g] = std::move(groups_[std::size_t(from[g])]);
            placed[g] = true;
            g = std::size_t(from[g]);
        }
        groups_[g] = std::move(first);
        placed[g] = true;
    }
    for (std::size_t g = 0; g < groups_.size(); ++g)
        groups_[g].firstListRow = prepared->firstListRow[g];
    releaseElsewhere(std::exchange(rows_, std::move(prepared->rows)));
    std::swap(groupPositions_, prepared->positions);
    return true;
}

bool ResultRows::takePreparedRows(const ResultsState& state)
{
    auto* prepared = dynamic_cast<PreparedFromGroups*>(state.preparedShownGroups());
    const std::vector<DuplicateGroupPtr>& shown = state.arrGroups;
    // Made for exactly these groups, in this order: each row names its group.
    if (!prepared || prepared->rows.groups.size() != shown.size())
        return false;
    for (std::size_t g = 0; g < shown.size(); ++g) {
        if (prepared->rows.groups[g].group != shown[g])
            return false;
    }
    if (!reorderedFiles_.positions.empty())
        releaseElsewhere(std::exchange(reorderedFiles_, {}));
    load(std::move(prepared->rows));
    return true;
}

void ResultRows::takeShownGroups(const ResultsState& state)
{
    // Rows made from the groups alone are taken as they come: the rebuild
    // counts like any other, so rows a sort prepared before no longer fit.
    if (takePreparedRows(state))
        return;
    const bool prepared = reorderedFiles_.positions.empty() && takePreparedOrder(state);
    ++rowsVersion_;
    if (prepared)
        return;
    const bool sortedOnly = takeSortedFiles(state);
    if (!reorderedFiles_.positions.empty())
        releaseElsewhere(std::exchange(reorderedFiles_, {}));
    if (sortedOnly)
        return;
    // A group whose shown files are as they were keeps its row's list, in
    // their new order when they were only sorted: a rebuild that only moves
    // groups or files then leaves every record's count alone.
    std::vector<GroupRow> before = std::exchange(groups_, {});
    const std::vector<DuplicateGroupPtr>& shown = state.arrGroups;
    // The rebuilds of a sort find each group's old row at once: in its place
    // (files sorted), or in the mirrored one (the order turned round).
    bool samePlaces = before.size() == shown.size();
    bool mirrored = samePlaces;
    for (std::size_t g = 0; samePlaces && g < shown.size(); ++g)
        samePlaces = before[g].group == shown[g];
    for (std::size_t g = 0; !samePlaces && mirrored && g < shown.size(); ++g)
        mirrored = before[shown.size() - 1 - g].group == shown[g];
    // The state says when only the groups moved: their files are then not
    // compared again.
    const bool filesKept
        = state.filesJustChanged() == ResultsState::FilesChange::kept && !state.filesJustSorted();
    std::size_t rowCount = rows_.size();
    if (rowCount == 0) {
        for (const DuplicateGroupPtr& group : shown)
            rowCount += group->filterChildren.size();
    }
    rows_.clear();
    rows_.reserve(rowCount);
    // Where every group stands where it stood, each row goes back into its
    // old place, which it alone reads: no second list of rows meanwhile.
    if (!samePlaces)
        groups_.reserve(shown.size());
    int g = -1;
    for (const DuplicateGroupPtr& group : shown) {
        ++g;
        const int found = samePlaces ? g
            : mirrored               ? int(shown.size()) - 1 - g
                                     : groupPositions_.find(group.get());
        // A group shown twice takes its old row's parts once.
        const int old = found >= 0 && before[size_t(found)].group == group ? found : -1;
        // The row's hold on its group moves along, rather than a new one
        // taken and the old one let go. A row left without files takes
        // those its group shows.
        GroupRow row { old >= 0 ? std::move(before[size_t(old)].group) : group, {}, 0, {} };
        if (old >= 0 && (filesKept || showsInOrder(group->filterChildren, before[size_t(old)].files))) {
            row.files = std::move(before[size_t(old)].files);
            row.rowsOfFiles = std::move(before[size_t(old)].rowsOfFiles);
        } else if (old >= 0 && takeReorderedFiles(before[size_t(old)].files, group->filterChildren)) {
            row.files = std::move(before[size_t(old)].files);
        }
        if (samePlaces)
            before[size_t(g)] = takeGroupRow(rows_, int(g) + 1, std::move(row));
        else
            groups_.push_back(takeGroupRow(rows_, int(groups_.size()) + 1, std::move(row)));
    }
    if (samePlaces)
        groups_ = std::exchange(before, {});
    if (mirrored && !samePlaces)
        groupPositions_.mirror(int(groups_.size()));
    else if (!samePlaces)
        assignGroupPositions(groupPositions_, groups_);
    releaseElsewhere(std::move(before));
}

void ResultRows::assignGroupPositions(GroupPositions& positions, const std::vector<GroupRow>& groups)
{
    positions.reset(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g)
        positions.insert(groups[g].group.get(), int(g));
}

int ResultRows::GroupRow::rowOf(const FileInfoNode* file) const
{
    constexpr std::size_t searchedInTurn = 32;
    if (files.size() <= searchedInTurn) {
        const auto found
            = std::ranges::find_if(files, [file](const FileInfoNodePtr& shown) { return shown.get() == file; });
        return found == files.end() ? -1 : int(found - files.begin()) + 1;
    }
    if (rowsOfFiles.isEmpty()) {
        rowsOfFiles.reserve(qsizetype(files.size()));
        for (std::size_t i = 0; i < files.size(); ++i)
            rowsOfFiles.insert(files[i].get(), int(i) + 1);
    }
    return rowsOfFiles.value(file, -1);
}

namespace {

// The files' paths, or their folders as the list shows them (the root as
// "/"), each made once.
struct PathTexts {
    std::vector<QString> texts;
    std::vector<QStringView> views;
    PathTexts(const std::vector<FileInfoNodePtr>& files, bool folders)
    {
        texts.reserve(files.size());
        for (const FileInfoNodePtr& file : files) {
            QString path = file->filePath.value_or(QString());
            if (folders) {
                const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
                path.truncate(slash == 0 ? 1 : std::max<qsizetype>(slash, 0));
            }
            texts.push_back(std::move(path));
        }
        views.assign(texts.begin(), texts.end());
    }
};

// Copies beyond this many are told apart by what they share alone: each
// drawn row would compare itself with all the others.
constexpr std::size_t fewCopies = 32;

} // namespace

SharedParts ResultRows::GroupRow::sharedParts(bool folders) const
{
    std::int16_t* known = shared.data() + (folders ? 4 : 0);
    if (known[0] < 0) {
        const SharedParts found = ::sharedParts(PathTexts(files, folders).views);
        known[0] = found.lead;
        known[1] = found.trail;
        known[2] = found.apartLead;
        known[3] = found.apartTrail;
    }
    return { known[0], known[1], known[2], known[3] };
}

SharedParts ResultRows::GroupRow::sharedPartsOf(int child, bool folders) const
{
    SharedParts parts = sharedParts(folders);
    if (child >= 0 && std::size_t(child) < files.size() && files.size() <= fewCopies)
        parts.tellsApart = componentsTellingApart(PathTexts(files, folders).views, std::size_t(child));
    return parts;
}

FileInfoNodePtr ResultRows::fileOfListRow(int row) const
{
    if (row < 0 || row >= int(rows_.size()))
        return nullptr;
    const ListRow& listRow = rows_[size_t(row)];
    return groups_[size_t(listRow.groupNumber - 1)].files[size_t(listRow.child)];
}

int ResultRows::firstListRowOfGroup(int groupRow) const
{
    if (groupRow < 0 || groupRow >= int(groups_.size()) || groups_[size_t(groupRow)].files.empty())
        return -1;
    return groups_[size_t(groupRow)].firstListRow;
}

std::pair<int, int> ResultRows::listRowsOfGroups(int first, int last) const
{
    first = std::max(first, 0);
    last = std::min(last, int(groups_.size()) - 1);
    if (first > last)
        return { 0, -1 };
    // A group that shows no file starts where the next one does.
    const int end = last + 1 < int(groups_.size()) ? groups_[size_t(last + 1)].firstListRow : int(rows_.size());
    return { groups_[size_t(first)].firstListRow, end - 1 };
}

void ResultRows::groupFilesReordered(const std::vector<DuplicateGroupPtr>& shown, std::size_t position)
{
    if (position >= shown.size())
        return;
    std::ranges::copy_if(shown[position]->filterChildren, std::back_inserter(reorderedFiles_.files),
        [](const FileInfoNodePtr& file) { return bool(file); });
    reorderedFiles_.positions.push_back(position);
    reorderedFiles_.firstFile.push_back(reorderedFiles_.files.size());
}
