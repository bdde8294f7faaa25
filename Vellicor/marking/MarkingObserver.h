#pragma once

#include "core/DuplicateGroup.h"

// What the results screen repaints when the results state changes marks. The
// screen's model implements it; every call comes on the GUI thread after the
// state has changed, so the model reads the new values. A mark repaints its
// own row and its group's row, never the whole view.
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
};
