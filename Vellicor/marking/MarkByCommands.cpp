#include "marking/MarkByCommands.h"

#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "marking/StableSort.h"

#include <functional>

namespace {

using Files = std::vector<FileInfoNodePtr>;

// Whole seconds since 1970 UTC, truncated toward zero.
qint64 wholeSeconds(const QDateTime& date)
{
    return date.toMSecsSinceEpoch() / 1000;
}

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
using KeepTest = std::function<bool(const FileInfoNode&)>;

std::optional<KeepTest> dateKeepTest(Files sorted, MarkByCommand command, std::optional<int> tag)
{
    const bool oldestFirst = tag == 0;
    stableMergeSort(sorted, [&](const FileInfoNodePtr& a, const FileInfoNodePtr& b) {
        const auto& da = dateOf(*a, command);
        const auto& db = dateOf(*b, command);
        if (!da || !db)
            return false;
        return oldestFirst ? da->toMSecsSinceEpoch() < db->toMSecsSinceEpoch()
                           : da->toMSecsSinceEpoch() > db->toMSecsSinceEpoch();
    });
    // Searched down to the first file: a group in which no file has the date
    // has no reference and keeps every file.
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        if (const auto& date = dateOf(**it, command)) {
            const qint64 reference = wholeSeconds(*date);
            return [command, reference](const FileInfoNode& file) {
                const auto& d = dateOf(file, command);
                return (d ? wholeSeconds(*d) : 0) == reference;
            };
        }
    }
    return std::nullopt;
}

KeepTest sizeKeepTest(Files sorted, std::optional<int> tag)
{
    const bool largestFirst = tag == 0;
    stableMergeSort(sorted, [&](const FileInfoNodePtr& a, const FileInfoNodePtr& b) {
        return largestFirst ? a->fileSize > b->fileSize : a->fileSize < b->fileSize;
    });
    const quint64 reference = sorted.front()->fileSize;
    return [reference](const FileInfoNode& file) { return file.fileSize == reference; };
}

template <class Text> KeepTest lengthKeepTest(const std::optional<QString>& reference, Text FileInfoNode::*field)
{
    if (!reference)
        return [field](const FileInfoNode& file) { return !(file.*field).has_value(); };
    const qsizetype length = reference->size();
    return [field, length](const FileInfoNode& file) { return (file.*field) && (file.*field)->size() == length; };
}

KeepTest nameOrPathKeepTest(Files sorted, std::optional<int> tag)
{
    if (tag == 0 || tag == 1) {
        const bool shortestFirst = tag == 0;
        stableMergeSort(sorted, [&](const FileInfoNodePtr& a, const FileInfoNodePtr& b) {
            if (!a->fileName || !b->fileName)
                return false;
            return shortestFirst ? lowerLength(a->fileName) < lowerLength(b->fileName)
                                 : lowerLength(a->fileName) > lowerLength(b->fileName);
        });
        return lengthKeepTest(sorted.back()->fileName, &FileInfoNode::fileName);
    }
    const bool shallowFirst = tag == 2;
    stableMergeSort(sorted, [&](const FileInfoNodePtr& a, const FileInfoNodePtr& b) {
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

// Counts the group's protected files.
qsizetype planSortedCommand(MarkByPlan::Group& planned, const std::optional<ProtectedFolderMatcher>& protection,
    MarkByCommand command, std::optional<int> tag)
{
    const Files& files = planned.files;
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
        planned.isProtected[i] = isProtectedBy(protection, file);
        if (planned.isProtected[i])
            ++protectedFiles;
        else
            planned.marks[i] = keep && !isUntouchable(file) && !(*keep)(file);
    }
    return protectedFiles;
}

// Counts the group's files that were unmarked and protected.
qsizetype planInvert(MarkByPlan::Group& planned, const std::optional<ProtectedFolderMatcher>& protection)
{
    const Files& files = planned.files;
    qsizetype protectedFiles = 0;
    bool anyKept = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileInfoNode& file = *files[i];
        planned.isProtected[i] = file.isProtected;
        if (file.isMarked()) {
            anyKept = true;
            continue;
        }
        planned.isProtected[i] = isProtectedBy(protection, file);
        if (planned.isProtected[i])
            ++protectedFiles;
        planned.marks[i] = !planned.isProtected[i] && !isUntouchable(file);
        anyKept = anyKept || !planned.marks[i];
    }
    if (!anyKept && !files.empty())
        planned.marks.front() = false;
    return protectedFiles;
}

} // namespace

MarkByPlan planMarkBy(const std::vector<DuplicateGroupPtr>& groups,
    const std::optional<ProtectedFolderMatcher>& protection, MarkByCommand command, std::optional<int> tag)
{
    MarkByPlan plan;
    qsizetype shownFiles = 0;
    qsizetype protectedFiles = 0;
    qsizetype fullyProtectedGroups = 0;
    for (const DuplicateGroupPtr& group : groups) {
        if (!group)
            continue;
        MarkByPlan::Group planned { group, group->filterChildren, {}, {} };
        std::erase(planned.files, nullptr);
        planned.marks.assign(planned.files.size(), false);
        planned.isProtected.assign(planned.files.size(), false);
        const qsizetype groupProtected = command == MarkByCommand::invert
            ? planInvert(planned, protection)
            : planSortedCommand(planned, protection, command, tag);
        shownFiles += qsizetype(planned.files.size());
        protectedFiles += groupProtected;
        if (groupProtected == qsizetype(planned.files.size()))
            ++fullyProtectedGroups;
        plan.groups.push_back(std::move(planned));
    }
    plan.everythingProtected = command == MarkByCommand::invert ? protectedFiles == shownFiles
                                                                : fullyProtectedGroups == qsizetype(plan.groups.size());
    return plan;
}

void applyMarkByPlan(ResultsState& state, const MarkByPlan& plan)
{
    if (plan.resultSetId != state.resultSetId())
        return;
    for (const MarkByPlan::Group& planned : plan.groups) {
        state.setGroupMarks(planned.group, planned.files, planned.marks, planned.isProtected, 0);
        ResultsState::groupMarkState(*planned.group);
    }
    // Also when every group was protected: the marks were cleared and the
    // views must say so.
    if (MarkingObserver* observer = state.observer())
        observer->allMarksChanged();
    state.updateMarkedCountLabel();
    if (plan.everythingProtected)
        ResultsState::showAllItemsProtectedAlert();
}

void runMarkByCommand(ResultsState& state, MarkByCommand command, std::optional<int> tag)
{
    MarkByPlan plan = planMarkBy(state.arrGroups, state.protectionForPass(), command, tag);
    plan.resultSetId = state.resultSetId();
    applyMarkByPlan(state, plan);
}
