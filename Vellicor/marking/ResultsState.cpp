#include "marking/ResultsState.h"

#include "base/AlertPresenter.h"
#include "base/ReleaseElsewhere.h"
#include "core/CommonFuncs.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "marking/MarkByCommands.h"
#include "marking/MarkingObserver.h"
#include "marking/ShownFilesCheck.h"
#include "scan/ScanSources.h"

#include <algorithm>

namespace {

void showNotice(const char* messageKey)
{
    alertPresenter()->present({ localizedText(messageKey), QString(), { localizedText("ID_OK") } });
}

bool isLiveFile(const FileInfoNodePtr& file)
{
    return file && !file->isMoveToTrash;
}

} // namespace

ResultsState::ResultsState(std::shared_ptr<ScanSources> protectedStore)
    : protectedStore_(std::move(protectedStore))
{
}

void ResultsState::loadResultSet(
    std::vector<DuplicateGroupPtr> groups, qint64 dupCount, ScanSource source, std::optional<PriorityLists> priorities)
{
    std::erase(groups, nullptr);
    PreparedResultSet prepared;
    prepared.shown = shownAtLoad(groups);
    prepared.priorities = priorities ? std::move(*priorities) : priorityListsOf(groups);
    prepared.groups = std::move(groups);
    loadPreparedResultSet(std::move(prepared), dupCount, source);
}

std::vector<DuplicateGroupPtr> ResultsState::shownAtLoad(const std::vector<DuplicateGroupPtr>& groups)
{
    return sortGroupsBy(groups, GlobalObjects::SortType::sortBySize, GlobalObjects::SortOrder::sortDescending);
}

void ResultsState::loadPreparedResultSet(PreparedResultSet prepared, qint64 dupCount, ScanSource source)
{
    bulkMarks_.stop();
    ++resultSetId_;
    resultSource_ = source;
    // The last result's records go on the pool: a million of them take a
    // while to let go of.
    releaseElsewhere(std::exchange(arrMainGroup, std::move(prepared.groups)));
    releaseElsewhere(std::exchange(arrGroups, std::move(prepared.shown)));
    this->dupCount = dupCount;
    buildProtectedFolderPredicate();
    selectedCategoryIndex = -1;
    isMarkedGroupsFilterOn = false;
    isFolderPriorityUpdate = false;
    countMarked_ = 0;
    sizeOfMarkedFiles_ = 0;
    hiddenMarked_ = 0;
    sortType = GlobalObjects::SortType::sortBySize;
    sortOrder = GlobalObjects::SortOrder::sortDescending;
    isCollectionViewRefreshRequired = true;
    folderPriorityList = std::move(prepared.priorities.folders);
    fileFormatPriorityList = std::move(prepared.priorities.formats);
    defaultFolderPriorityList = folderPriorityList;
    defaultFileFormatPriorityList = fileFormatPriorityList;
}

void ResultsState::keepFileOption(std::optional<int> segment)
{
    if (!segment) {
        keepFile = GlobalObjects::KeepFile::keepAllFiles;
        return;
    }
    if (const auto choice = enumFromRaw<GlobalObjects::KeepFile>(*segment))
        keepFile = *choice;
}

const std::vector<FilePathNodePtr>& ResultsState::arrProtectedPaths() const
{
    static const std::vector<FilePathNodePtr> none;
    return protectedStore_ ? protectedStore_->protectList(resultSource_) : none;
}

std::optional<ProtectedFolderMatcher> ResultsState::storedProtection() const
{
    // Read into a copy: the shared list the home screen shows is never
    // refilled from here.
    if (!protectedStore_ || resultSource_ != ScanSource::thisComputer)
        return std::nullopt;
    const auto stored = protectedStore_->storedRows(SourceList::protect);
    if (!stored)
        return std::nullopt;
    return ProtectedFolderMatcher::fromList(*stored, resultSource_);
}

void ResultsState::buildProtectedFolderPredicate()
{
    predProtectedFolder_ = storedProtection();
    if (!predProtectedFolder_)
        predProtectedFolder_ = ProtectedFolderMatcher::fromList(arrProtectedPaths(), resultSource_);
}

std::optional<ProtectedFolderMatcher> ResultsState::protectionForPass() const
{
    if (!predProtectedFolder_ || resultSource_ != ScanSource::thisComputer)
        return predProtectedFolder_;
    return predProtectedFolder_->resolvedOnDisk();
}

ProtectedFolderMatcher ResultsState::protectionAtRemoval() const
{
    ProtectedFolderMatcher protection = storedProtection().value_or(ProtectedFolderMatcher {});
    protection.addFolders(ProtectedFolderMatcher::fromList(arrProtectedPaths(), resultSource_));
    if (predProtectedFolder_)
        protection.addFolders(*predProtectedFolder_);
    if (resultSource_ != ScanSource::thisComputer)
        return protection;
    return protection.resolvedOnDisk();
}

bool ResultsState::isFileProtected(const FileInfoNode& file) const
{
    const std::optional<ProtectedFolderMatcher> protection = protectionForPass();
    return protection && protection->matches(file.folderPath);
}

bool ResultsState::needsProtectedQuestion(const FileInfoNode& file) const
{
    return !file.isMarked() && !file.isLocked && isFileProtected(file);
}

void ResultsState::setFileMark(const FileInfoNodePtr& file, bool marked)
{
    if (!file)
        return;
    const bool was = file->isMarked();
    // Removal refuses a locked file, so no road marks one.
    if (marked && file->isLocked)
        return;
    file->state = marked;
    if (was == marked)
        return;
    file->isProtectedMarkConfirmed = false;
    if (marked) {
        ++countMarked_;
        sizeOfMarkedFiles_ += file->fileSize;
    } else {
        countMarked_ = std::max<qint64>(countMarked_ - 1, 0);
        sizeOfMarkedFiles_ -= std::min(sizeOfMarkedFiles_, file->fileSize);
    }
    if (observer_ && !bulkChange_)
        observer_->fileMarkChanged(file);
}

void ResultsState::groupMarkState(DuplicateGroup& group, bool allChildren)
{
    const auto& files = allChildren ? group.children : group.filterChildren;
    const auto n = static_cast<qsizetype>(files.size());
    qsizetype marked = 0;
    qsizetype kept = 0;
    for (const FileInfoNodePtr& file : files) {
        if (!isLiveFile(file))
            continue;
        if (file->isMarked())
            ++marked;
        else
            ++kept;
    }
    group.state = groupMarkStateOf(marked, kept, n);
}

std::int8_t ResultsState::groupMarkStateOf(qsizetype marked, qsizetype kept, qsizetype count)
{
    if (marked == count - 1 || marked == count)
        return 1;
    return kept == count ? 0 : -1;
}

GroupMarkOutcome ResultsState::markGroup(const DuplicateGroupPtr& group, bool mark)
{
    if (!group)
        return GroupMarkOutcome::done;
    if (!mark) {
        for (const FileInfoNodePtr& file : group->filterChildren)
            setFileMark(file, false);
        group->state = 0;
        return GroupMarkOutcome::done;
    }
    return markGroupWith(group, protectionForPass());
}

GroupMarkOutcome ResultsState::markGroupWith(
    const DuplicateGroupPtr& group, const std::optional<ProtectedFolderMatcher>& protection)
{
    // The state stored on the group may be stale, so the budget comes from
    // the marks themselves: at most all live shown files but one end marked.
    const auto isProtected
        = [&](const FileInfoNode& file) { return protection && protection->matches(file.folderPath); };
    qsizetype live = 0;
    qsizetype marked = 0;
    qsizetype protectedFiles = 0;
    for (const FileInfoNodePtr& file : group->filterChildren) {
        if (!isLiveFile(file))
            continue;
        ++live;
        if (file->isMarked())
            ++marked;
        if (isProtected(*file))
            ++protectedFiles;
    }
    if (live > 0 && protectedFiles == live)
        return GroupMarkOutcome::allProtected;

    qsizetype budget = live - 1 - marked;
    for (const FileInfoNodePtr& file : group->filterChildren) {
        if (budget <= 0)
            break;
        if (!isLiveFile(file) || file->isMarked() || file->isLocked || isProtected(*file))
            continue;
        setFileMark(file, true);
        --budget;
    }
    groupMarkState(*group);
    return GroupMarkOutcome::done;
}

GroupMarksOutcome ResultsState::setGroupMarks(const DuplicateGroupPtr& group, const GroupMarking& marking)
{
    if (!group)
        return GroupMarksOutcome::stale;
    std::vector<FileInfoNodePtr>& shown = group->filterChildren;
    const auto nulls = static_cast<std::size_t>(std::ranges::count(shown, nullptr));
    const std::size_t live = shown.size() - nulls;
    if (marking.flags.size() != live || (!marking.seen.empty() && marking.seen.size() != live))
        return GroupMarksOutcome::stale;
    if (!marking.seen.empty() && !showsTheSameFiles(shown, marking.seen))
        return GroupMarksOutcome::stale;
    if (!marking.order.empty() && (marking.seen.empty() || !isPermutation(marking.order, live)))
        return GroupMarksOutcome::stale;

    bool orderChanged = nulls > 0;
    if (nulls > 0)
        std::erase(shown, nullptr);
    for (std::size_t k = 0; k < marking.order.size(); ++k) {
        const FileInfoNodePtr& file = marking.seen[marking.order[k]];
        if (shown[k] != file) {
            shown[k] = file;
            orderChanged = true;
        }
    }

    bool marksChanged = false;
    bool lockedKept = false;
    bulkChange_ = true;
    for (std::size_t k = 0; k < live; ++k) {
        const FileInfoNodePtr& file = shown[k];
        const bool wanted = (marking.flags[k] & GroupMarking::mark) != 0;
        // A file the user locked is never marked by a computed marking.
        lockedKept = lockedKept || (wanted && file->isLocked);
        const bool mark = wanted && isLiveFile(file) && !file->isLocked;
        marksChanged = marksChanged || file->isMarked() != mark;
        setFileMark(file, mark);
        file->isProtected = (marking.flags[k] & GroupMarking::isProtected) != 0;
    }
    bulkChange_ = false;
    marksChanged = marksChanged || group->state != marking.state;
    group->state = marking.state;
    if (lockedKept)
        groupMarkState(*group);
    if (orderChanged)
        return GroupMarksOutcome::orderChanged;
    return marksChanged ? GroupMarksOutcome::marksChanged : GroupMarksOutcome::unchanged;
}

ToggleOutcome ResultsState::toggleFileMark(const FileInfoNodePtr& file)
{
    if (!file)
        return ToggleOutcome::refusedLastUnmarked;
    if (file->isMarked()) {
        setFileMark(file, false);
        return ToggleOutcome::unmarked;
    }
    if (file->isLocked)
        return ToggleOutcome::refusedLocked;
    if (const DuplicateGroupPtr group = file->parent.lock()) {
        for (const FileInfoNodePtr& other : group->filterChildren) {
            if (other != file && isLiveFile(other) && !other->isMarked()) {
                setFileMark(file, true);
                return ToggleOutcome::marked;
            }
        }
    }
    file->state = false;
    return ToggleOutcome::refusedLastUnmarked;
}

void ResultsState::recountMarkedFiles()
{
    setMarkedTotals(markedTotalsOf(arrGroups));
}

ResultsState::MarkedTotals ResultsState::markedTotalsOf(const std::vector<DuplicateGroupPtr>& groups)
{
    MarkedTotals totals;
    for (const DuplicateGroupPtr& group : groups) {
        for (const FileInfoNodePtr& file : group->filterChildren) {
            if (file && file->isMarked()) {
                ++totals.count;
                totals.bytes += file->fileSize;
            }
        }
    }
    return totals;
}

void ResultsState::setMarkedTotals(MarkedTotals totals)
{
    countMarked_ = totals.count;
    sizeOfMarkedFiles_ = totals.bytes;
    // Only a category hides files; the marked-groups filter hides groups
    // without marks.
    hiddenMarked_ = 0;
    if (selectedCategoryIndex != -1) {
        qint64 marked = 0;
        for (const DuplicateGroupPtr& group : arrMainGroup)
            marked += std::ranges::count_if(group->children, [](const FileInfoNodePtr& f) { return f && f->isMarked(); });
        hiddenMarked_ = std::max<qint64>(marked - countMarked_, 0);
    }
    updateMarkedCountLabel();
}

void ResultsState::unmarkAllShownFiles()
{
    startUnmarkingInParts();
    for (const DuplicateGroupPtr& group : arrGroups)
        clearGroupMarks(*group);
    endUnmarkingInParts();
}

void ResultsState::startUnmarkingInParts()
{
    finishBulkMarks();
    // Written without reading the marks first: the totals end at nothing.
    countMarked_ = 0;
    sizeOfMarkedFiles_ = 0;
}

void ResultsState::clearGroupMarks(DuplicateGroup& group)
{
    for (const FileInfoNodePtr& file : group.filterChildren) {
        if (file) {
            file->state = false;
            file->isProtectedMarkConfirmed = false;
        }
    }
    group.state = 0;
}

void ResultsState::endUnmarkingInParts()
{
    if (observer_)
        observer_->allMarksChanged();
    updateMarkedCountLabel();
}

void ResultsState::selectAllShownFiles(bool mark)
{
    if (!mark) {
        unmarkAllShownFiles();
        return;
    }
    finishBulkMarks();
    // One look at the disk for the whole pass, not one per group.
    const std::optional<ProtectedFolderMatcher> protection = protectionForPass();
    for (const DuplicateGroupPtr& group : arrGroups)
        selectAllInGroup(group, true, protection);
    if (observer_)
        observer_->allMarksChanged();
    updateMarkedCountLabel();
}

void ResultsState::selectAllShownFilesInSlices(bool mark)
{
    startBulkMarks(std::make_shared<SelectAllRun>(*this, mark));
}

void ResultsState::selectAllInGroup(
    const DuplicateGroupPtr& group, bool mark, const std::optional<ProtectedFolderMatcher>& protection)
{
    if (!group)
        return;
    const bool bulk = std::exchange(bulkChange_, true);
    if (mark) {
        markGroupWith(group, protection);
    } else {
        for (const FileInfoNodePtr& file : group->filterChildren) {
            if (file) {
                setFileMark(file, false);
                file->isProtectedMarkConfirmed = false;
            }
        }
        group->state = 0;
    }
    bulkChange_ = bulk;
}

int ResultsState::selectAllBoxState() const
{
    if (countMarked_ == 0)
        return 0;
    // A group of one shown file or none reads on whatever its state says.
    const bool allOn = std::ranges::all_of(arrGroups,
        [](const DuplicateGroupPtr& group) { return !group || group->state == 1 || group->filterChildren.size() < 2; });
    return allOn ? 1 : -1;
}

void ResultsState::startBulkMarks(std::shared_ptr<ShownGroupsRun> run)
{
    bulkMarks_.start([run = std::move(run)](SliceBudget& budget) { return run->step(budget); });
}

void ResultsState::refreshGroupRowMarkState(const DuplicateGroupPtr& group)
{
    if (!group)
        return;
    groupMarkState(*group);
    if (observer_)
        observer_->groupRowChanged(group);
}

void ResultsState::updateMarkedCountLabel()
{
    if (observer_)
        observer_->updateMarkedCountLabel();
}

MarkedCountLabel ResultsState::markedCountLabel() const
{
    MarkedCountLabel label;
    label.trashEnabled = countMarked_ > 0;
    // Only one file takes the singular text; none reads "0 files marked".
    const QString count = formatText(
        localizedText(countMarked_ == 1 ? "ID_ITEM_MARKED_COUNT" : "ID_ITEMS_MARKED_COUNT"), { countMarked_ });
    // What the category hides is told beside what it shows, with where it is.
    const QString hidden = hiddenMarked_ == 0
        ? QString()
        : QStringLiteral(" \u00b7 ") + formatText(localizedText("ID_MORE_MARKED_UNDER_ALL_FILES"), { hiddenMarked_ });
    if (countMarked_ == 0) {
        label.text = count + hidden;
        label.unhide = hiddenMarked_ > 0;
        return label;
    }
    label.unhide = true;
    label.text
        = formatText(QStringLiteral("%@ %@"), { count, getSizeInUnits(static_cast<double>(sizeOfMarkedFiles_)) })
        + hidden;
    return label;
}

GroupCountText ResultsState::groupCountText(const DuplicateGroup& group)
{
    const auto marked = std::ranges::count_if(
        group.filterChildren, [](const FileInfoNodePtr& file) { return file && file->isMarked(); });
    const QString markedText = QString::number(marked);
    return { markedText + QLatin1Char('/') + QString::number(group.filterChildren.size()),
        static_cast<int>(markedText.size()) };
}

void ResultsState::updateDuplicatesSummary(const std::vector<DuplicateGroupPtr>& groups)
{
    setDuplicatesSummary(summarizeDuplicates(groups, resultSource_));
}

void ResultsState::setDuplicatesSummary(DuplicatesSummary summary)
{
    duplicatesSummary_ = std::move(summary);
    if (observer_)
        observer_->duplicatesSummaryChanged();
}

void ResultsState::groupCheckBoxTapped(const DuplicateGroupPtr& group)
{
    finishBulkMarks();
    if (!group)
        return;
    groupMarkState(*group);
    if (group->state != 0)
        markGroup(group, false);
    else if (markGroup(group, true) == GroupMarkOutcome::allProtected)
        showAllItemsProtectedAlert();
    if (observer_)
        observer_->groupRowChanged(group);
    updateMarkedCountLabel();
}

void ResultsState::fileCheckBoxTapped(const FileInfoNodePtr& file)
{
    finishBulkMarks();
    if (!file)
        return;
    if (toggleAsCheckBox(file) == ToggleOutcome::refusedLastUnmarked)
        showCannotMarkAllInGroupAlert();
    refreshGroupRowMarkState(file->parent.lock());
    updateMarkedCountLabel();
}

void ResultsState::filesCheckBoxTapped(const std::vector<FileInfoNodePtr>& files)
{
    finishBulkMarks();
    if (files.size() == 1) {
        fileCheckBoxTapped(files.front());
        return;
    }
    bool refused = false;
    std::vector<DuplicateGroupPtr> groups;
    bulkChange_ = true;
    for (const FileInfoNodePtr& file : files) {
        if (!file)
            continue;
        refused = toggleAsCheckBox(file) == ToggleOutcome::refusedLastUnmarked || refused;
        if (DuplicateGroupPtr group = file->parent.lock(); group && std::ranges::find(groups, group) == groups.end())
            groups.push_back(std::move(group));
    }
    bulkChange_ = false;
    for (const DuplicateGroupPtr& group : groups)
        groupMarkState(*group);
    if (observer_)
        observer_->allMarksChanged();
    updateMarkedCountLabel();
    if (refused)
        showCannotMarkAllInGroupAlert();
}

ToggleOutcome ResultsState::toggleAsCheckBox(const FileInfoNodePtr& file)
{
    const bool asked = needsProtectedQuestion(*file);
    if (asked && !confirmMarkProtectedFile()) {
        // The view may have flipped its box already.
        if (observer_ && !bulkChange_)
            observer_->fileMarkChanged(file);
        return file->isMarked() ? ToggleOutcome::marked : ToggleOutcome::unmarked;
    }
    const ToggleOutcome outcome = toggleFileMark(file);
    if (outcome == ToggleOutcome::refusedLastUnmarked || outcome == ToggleOutcome::refusedLocked) {
        if (observer_ && !bulkChange_)
            observer_->fileMarkChanged(file);
    } else if (asked) {
        file->isProtectedMarkConfirmed = file->isMarked();
    }
    return outcome;
}

bool ResultsState::confirmMarkProtectedFile()
{
    // "ID_NO" first, the default: Return, Escape or a closed window keep the
    // file unmarked.
    const int answer = alertPresenter()->present({ localizedText("ID_THIS_FILE_BELONGS_TO_PROTECTED_FOLDER"),
        localizedText("ID_DO_YOU_WANT_MARK_FILE_FOR_DELETION"), { localizedText("ID_NO"), localizedText("ID_YES") } });
    return answer == 1;
}

void ResultsState::showCannotMarkAllInGroupAlert()
{
    showNotice("ID_YOU_CANNOT_MARKS_ALL_FILES_IN_SAME_GROUP");
}

void ResultsState::showAllItemsProtectedAlert()
{
    showNotice("ID_ALL_ITEMS_CANNOT_MARKED_THEY_ARE_PROTECTED");
}

void ResultsState::showNothingToMarkAlert()
{
    showNotice("ID_NOTHING_TO_MARK");
}

bool ResultsState::hasShownFiles() const
{
    return std::any_of(arrGroups.begin(), arrGroups.end(), [](const DuplicateGroupPtr& group) {
        return group && std::any_of(group->filterChildren.begin(), group->filterChildren.end(), isLiveFile);
    });
}
