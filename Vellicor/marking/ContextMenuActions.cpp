#include "marking/ContextMenuActions.h"

#include "core/Localization.h"
#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"

#include <algorithm>

ContextMenuValidation validateContextMenu(
    const FileInfoNode* file, ScanSource source, const std::function<bool(const QString&)>& isImmutable)
{
    ContextMenuValidation menu;
    const bool local = source == ScanSource::thisComputer;
    menu.localItemsEnabled = local;
    const bool immutable = file && local && file->filePath && isImmutable && isImmutable(*file->filePath);

    if (file) {
        if (immutable) {
            menu.markTitleKey = "ID_UNMARK";
        } else {
            menu.markEnabled = true;
            if (file->isLocked || file->isMarked()) {
                menu.flagMarkUnMark = false;
                menu.markTitleKey = "ID_UNMARK";
            }
        }
    }

    if (local) {
        if (immutable) {
            menu.lockTitleKey = "ID_UNLOCK";
        } else {
            menu.lockEnabled = true;
            if (file && file->isLocked) {
                menu.flagToLockUnLock = false;
                menu.lockTitleKey = "ID_UNLOCK";
            }
        }
    }
    return menu;
}

ContextMarkOutcome markUnmarkImage(ResultsState& state, const FileInfoNodePtr& file, bool mark)
{
    state.finishBulkMarks();
    if (!file)
        return ContextMarkOutcome::unchanged;
    ContextMarkOutcome outcome = ContextMarkOutcome::unchanged;
    if (!mark) {
        if (file->isMarked())
            outcome = ContextMarkOutcome::changed;
        state.setFileMark(file, false);
    } else if (!file->isMarked() && !file->isLocked) {
        // A file of a protected folder goes only when the user said so for
        // this very file.
        const bool asked = state.needsProtectedQuestion(*file);
        if (asked && !ResultsState::confirmMarkProtectedFile()) {
            outcome = ContextMarkOutcome::unchanged;
        } else if (state.toggleFileMark(file) == ToggleOutcome::marked) {
            file->isProtectedMarkConfirmed = asked;
            outcome = ContextMarkOutcome::changed;
        } else {
            outcome = ContextMarkOutcome::refusedLastUnmarked;
            ResultsState::showCannotMarkAllInGroupAlert();
        }
    }
    // Every view redraws the group's check box from the new state, so a later
    // click on it acts on what the marks are now.
    state.refreshGroupRowMarkState(file->parent.lock());
    state.updateMarkedCountLabel();
    return outcome;
}

void lockUnLock(ResultsState& state, const FileInfoNodePtr& file, bool lock)
{
    state.finishBulkMarks();
    if (!file)
        return;
    file->isLocked = lock;
    // Only a file unlocked on disk reaches here: the lock is now the user's.
    file->isLockedOnDisk = false;
    state.setFileMark(file, false);
    // The check box shows or hides with the lock.
    if (MarkingObserver* observer = state.observer())
        observer->fileMarkChanged(file);
    state.refreshGroupRowMarkState(file->parent.lock());
    state.updateMarkedCountLabel();
}

QString lockedReason(const FileInfoNode& file)
{
    if (!file.isLocked)
        return {};
    return localizedText(file.isLockedOnDisk ? "ID_LOCKED_ON_DISK_CANNOT_MARK" : "ID_LOCKED_CANNOT_MARK");
}

bool removeNodeFromResults(ResultsState& state, const FileInfoNodePtr& file)
{
    state.finishBulkMarks();
    const auto holds = [&file](const DuplicateGroupPtr& group) {
        return group && std::ranges::find(group->children, file) != group->children.end();
    };
    const auto found = file ? std::ranges::find_if(state.arrGroups, holds) : state.arrGroups.end();
    if (found != state.arrGroups.end()) {
        const DuplicateGroupPtr group = *found;
        auto& shown = group->filterChildren;
        if (std::ranges::find(shown, file) != shown.end()) {
            std::erase(shown, file);
            std::erase(group->children, file);
            state.dupCount = std::max<qint64>(state.dupCount - 1, 0);
            if (group->children.size() == 1) {
                std::erase(state.arrGroups, group);
                std::erase(state.arrMainGroup, group);
            } else if (!shown.empty()
                && std::ranges::none_of(shown, [](const FileInfoNodePtr& f) { return f && !f->isMarked(); })) {
                shown.front()->state = false;
                shown.front()->isProtectedMarkConfirmed = false;
            }
            ResultsState::groupMarkState(*group);
        }
    }
    state.isCollectionViewRefreshRequired = true;
    // The marks of the shown files as they are now; a file left alone in a
    // group that went is no longer shown and no longer counted.
    state.recountMarkedFiles();
    if (MarkingObserver* observer = state.observer())
        observer->shownGroupsChanged();
    state.updateDuplicatesSummary(state.arrMainGroup);
    return state.arrMainGroup.empty();
}
