#include "marking/MarkByCommands.h"

#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "marking/StableSort.h"

#include <algorithm>
#include <functional>
#include <numeric>

namespace {

// A group's shown files, nulls left out; read, never kept.
using Files = std::vector<const FileInfoNode*>;

const std::optional<QDateTime>& dateOf(const FileInfoNode& file, MarkByCommand command)
{
    return command == MarkByCommand::createdDate ? file.createDate : file.modDate;
}

qsizetype lowerLength(const std::optional<QString>& text)
{
    return text->toLower().size();
}

qsizetype pieceCount(const QString& path)
{
    return path.count(QLatin1Char('/')) + 1;
}

// Which shown files stay unmarked because their value ties with the group's
// reference; none when the group has no reference (nothing is marked then).
// Asked with the file's place among the group's shown files.
using KeepTest = std::function<bool(std::size_t, const FileInfoNode&)>;

std::optional<KeepTest> dateKeepTest(const Files& files, MarkByCommand command, std::optional<int> tag)
{
    // Each date read once: a local time's conversion looks up its zone.
    std::vector<std::optional<qint64>> msecs(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (const auto& date = dateOf(*files[i], command))
            msecs[i] = date->toMSecsSinceEpoch();
    }
    const bool oldestFirst = tag == 0;
    std::vector<std::uint32_t> sorted(files.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    stableMergeSort(sorted, [&](std::uint32_t a, std::uint32_t b) {
        if (!msecs[a] || !msecs[b])
            return false;
        return oldestFirst ? *msecs[a] < *msecs[b] : *msecs[a] > *msecs[b];
    });
    // Searched down to the first file: a group in which no file has the date
    // has no reference and keeps every file. Dates compare by whole seconds
    // since 1970 UTC, truncated toward zero.
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        if (const std::optional<qint64> date = msecs[*it]) {
            const qint64 reference = *date / 1000;
            return [msecs = std::move(msecs), reference](
                       std::size_t i, const FileInfoNode&) { return (msecs[i] ? *msecs[i] / 1000 : 0) == reference; };
        }
    }
    return std::nullopt;
}

KeepTest sizeKeepTest(const Files& files, std::optional<int> tag)
{
    // The size a stable sort would put first: the largest or the smallest.
    const auto bySize = [](const FileInfoNode* a, const FileInfoNode* b) { return a->fileSize < b->fileSize; };
    const quint64 reference
        = (tag == 0 ? *std::ranges::max_element(files, bySize) : *std::ranges::min_element(files, bySize))->fileSize;
    return [reference](std::size_t, const FileInfoNode& file) { return file.fileSize == reference; };
}

template <class Text> KeepTest lengthKeepTest(const std::optional<QString>& reference, Text FileInfoNode::*field)
{
    if (!reference)
        return [field](std::size_t, const FileInfoNode& file) { return !(file.*field).has_value(); };
    const qsizetype length = reference->size();
    return [field, length](
               std::size_t, const FileInfoNode& file) { return (file.*field) && (file.*field)->size() == length; };
}

KeepTest nameOrPathKeepTest(const Files& files, std::optional<int> tag)
{
    Files sorted = files;
    if (tag == 0 || tag == 1) {
        const bool shortestFirst = tag == 0;
        stableMergeSort(sorted, [&](const FileInfoNode* a, const FileInfoNode* b) {
            if (!a->fileName || !b->fileName)
                return false;
            return shortestFirst ? lowerLength(a->fileName) < lowerLength(b->fileName)
                                 : lowerLength(a->fileName) > lowerLength(b->fileName);
        });
        return lengthKeepTest(sorted.back()->fileName, &FileInfoNode::fileName);
    }
    const bool shallowFirst = tag == 2;
    stableMergeSort(sorted, [&](const FileInfoNode* a, const FileInfoNode* b) {
        if (!a->filePath || !b->filePath)
            return false;
        const qsizetype pa = pieceCount(*a->filePath);
        const qsizetype pb = pieceCount(*b->filePath);
        if (pa != pb)
            return shallowFirst ? pa < pb : pa > pb;
        if (!a->fileName || !b->fileName)
            return false;
        return shallowFirst ? lowerLength(a->fileName) < lowerLength(b->fileName)
                            : lowerLength(a->fileName) > lowerLength(b->fileName);
    });
    return lengthKeepTest(sorted.back()->filePath, &FileInfoNode::filePath);
}

// A file no bulk command marks whatever its value: locked by the user, or
// already removed by a clean-up.
bool isUntouchable(const FileInfoNode& file)
{
    return file.isLocked || file.isMoveToTrash;
}

bool isProtectedBy(const std::optional<ProtectedFolderMatcher>& protection, const FileInfoNode& file)
{
    return protection && protection->matches(file.folderPath);
}

// Fills flags for files; counts the group's protected files.
qsizetype planSortedCommand(const Files& files, std::vector<std::uint8_t>& flags,
    const std::optional<ProtectedFolderMatcher>& protection, MarkByCommand command, std::optional<int> tag)
{
    std::optional<KeepTest> keep;
    if (!files.empty()) {
        switch (command) {
        case MarkByCommand::modifiedDate:
        case MarkByCommand::createdDate:
            keep = dateKeepTest(files, command, tag);
            break;
        case MarkByCommand::size:
            keep = sizeKeepTest(files, tag);
            break;
        case MarkByCommand::nameOrPath:
            keep = nameOrPathKeepTest(files, tag);
            break;
        case MarkByCommand::invert:
            break;
        }
    }
    qsizetype protectedFiles = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileInfoNode& file = *files[i];
        if (isProtectedBy(protection, file)) {
            flags[i] = GroupMarking::isProtected;
            ++protectedFiles;
        } else if (keep && !isUntouchable(file) && !(*keep)(i, file)) {
            flags[i] = GroupMarking::mark;
        }
    }
    return protectedFiles;
}

// Fills flags for files; counts the group's files that were unmarked and
// protected.
qsizetype planInvert(
    const Files& files, std::vector<std::uint8_t>& flags, const std::optional<ProtectedFolderMatcher>& protection)
{
    qsizetype protectedFiles = 0;
    bool anyKept = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileInfoNode& file = *files[i];
        if (file.isMarked()) {
            flags[i] = file.isProtected ? GroupMarking::isProtected : 0;
            anyKept = true;
            continue;
        }
        const bool isProtected = isProtectedBy(protection, file);
        if (isProtected)
            ++protectedFiles;
        const bool mark = !isProtected && !isUntouchable(file);
        flags[i] = static_cast<std::uint8_t>(
            (isProtected ? GroupMarking::isProtected : 0) | (mark ? GroupMarking::mark : 0));
        anyKept = anyKept || !mark;
    }
    if (!anyKept && !files.empty())
        flags.front() &= static_cast<std::uint8_t>(~GroupMarking::mark);
    return protectedFiles;
}

} // namespace

ShownGroupsRun::ShownGroupsRun(ResultsState& state)
    : state_(state)
    , protection_(state.protectionForPass())
    , resultSetId_(state.resultSetId())
    , groups_(state.arrGroups)
{
}

bool ShownGroupsRun::step(SliceBudget& budget)
{
    if (state_.resultSetId() != resultSetId_)
        return true;
    while (next_ < groups_.size()) {
        if (const DuplicateGroupPtr& group = groups_[next_++])
            markGroup(group);
        if (budget.spent())
            break;
    }
    if (next_ < groups_.size())
        return false;
    finish();
    return true;
}

MarkByRun::MarkByRun(ResultsState& state, MarkByCommand command, std::optional<int> tag)
    : ShownGroupsRun(state)
    , command_(command)
    , tag_(tag)
{
}

void MarkByRun::markGroup(const DuplicateGroupPtr& group)
{
    files_.clear();
    for (const FileInfoNodePtr& file : group->filterChildren) {
        if (file)
            files_.push_back(file.get());
    }
    flags_.assign(files_.size(), 0);
    const qsizetype groupProtected = command_ == MarkByCommand::invert
        ? planInvert(files_, flags_, protection_)
        : planSortedCommand(files_, flags_, protection_, command_, tag_);
    ++markedGroups_;
    shownFiles_ += qsizetype(files_.size());
    protectedFiles_ += groupProtected;
    if (groupProtected == qsizetype(files_.size()))
        ++fullyProtectedGroups_;
    state_.setGroupMarks(group, GroupMarking { {}, {}, flags_, 0 });
    ResultsState::groupMarkState(*group);
}

void MarkByRun::finish()
{
    const bool everythingProtected
        = command_ == MarkByCommand::invert ? protectedFiles_ == shownFiles_ : fullyProtectedGroups_ == markedGroups_;
    // Also when every group was protected: the marks were cleared and the
    // views must say so.
    if (MarkingObserver* observer = state_.observer())
        observer->allMarksChanged();
    state_.updateMarkedCountLabel();
    // Nothing shown is nothing protected either.
    if (shownFiles_ == 0)
        ResultsState::showNothingToMarkAlert();
    else if (everythingProtected)
        ResultsState::showAllItemsProtectedAlert();
}

SelectAllRun::SelectAllRun(ResultsState& state, bool mark)
    : ShownGroupsRun(state)
    , mark_(mark)
{
}

void SelectAllRun::markGroup(const DuplicateGroupPtr& group)
{
    state_.selectAllInGroup(group, mark_, protection_);
}

void SelectAllRun::finish()
{
    if (MarkingObserver* observer = state_.observer())
        observer->allMarksChanged();
    state_.updateMarkedCountLabel();
}

void runMarkByCommand(ResultsState& state, MarkByCommand command, std::optional<int> tag)
{
    MarkByRun run(state, command, tag);
    SliceBudget all = SliceBudget::unlimited();
    run.step(all);
}
