#pragma once

#include "core/DuplicateGroup.h"
#include "core/GlobalObjects.h"

#include <functional>

class ResultsState;

// What the results' context menu shows for the clicked file, and which way its
// Mark and Lock items act. Display-free; the screen copies it onto its menu
// each time the menu opens.
struct ContextMenuValidation {
    bool markEnabled = false;
    // "ID_MARK" or "ID_UNMARK"; empty leaves the title as it is.
    const char* markTitleKey = "ID_MARK";
    // True: the Mark item marks the file; false: it unmarks it.
    bool flagMarkUnMark = true;
    bool lockEnabled = false;
    const char* lockTitleKey = "ID_LOCK";
    // True: the Lock item locks the file; false: it unlocks it.
    bool flagToLockUnLock = true;
    // Open, show in the file manager and preview: files of this computer only.
    bool localItemsEnabled = false;
    bool removeEnabled = true;
};

// file: the clicked file, none for a click beside the rows or on a group row.
// isImmutable asks the file system whether the file is locked on disk.
ContextMenuValidation validateContextMenu(
    const FileInfoNode* file, ScanSource source, const std::function<bool(const QString&)>& isImmutable);

enum class ContextMarkOutcome {
    changed,
    unchanged,
    // It was the last unmarked shown file of its group; the user was told.
    refusedLastUnmarked,
};

// The Mark/Unmark item. A mark never takes a group's last unmarked shown
// file and never a locked one; a file of a protected folder is marked only
// when the user confirms it. The group's check state is refreshed in every
// view and the totals follow.
ContextMarkOutcome markUnmarkImage(ResultsState& state, const FileInfoNodePtr& file, bool mark);

// The Lock/Unlock item: the record's lock only, nothing on disk. Either way a
// marked file is unmarked.
void lockUnLock(ResultsState& state, const FileInfoNodePtr& file, bool lock);

// Why file has no check box, in the user's words: locked on disk or by the
// Lock item. Empty for a file that can be marked.
QString lockedReason(const FileInfoNode& file);

// Takes file off the result list (it stays on disk): out of its group, the
// group out of the results when one file is left. The totals are recounted,
// a group keeps an unmarked shown file, the views and the summary follow.
// True when no group is left at all.
bool removeNodeFromResults(ResultsState& state, const FileInfoNodePtr& file);
