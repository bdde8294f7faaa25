#pragma once

#include "controls/LayoutFrame.h"

class QWidget;

// Where every control of the home screen stands: the base frames, laid out
// for the window's content size, the compact set for a smaller window, the
// language rules that widen or refont what runs long, and the placing of the
// controls, found by their object names in the view, for its present size.
class HomeFrames {
public:
    HomeFrames();

    // The base frames; the language rules edit these.
    FrameTable& table() { return frames_; }

    // Measures the view's texts, applies the language rules to the base
    // frames and the fonts they ask for, then places the controls.
    void layOutForLanguage(QWidget* view);
    // Places every control for the view's present size.
    void place(QWidget* view) const;

private:
    // The frames for a size: the base frames, or a compact set for a window
    // smaller than 1082 x 700.
    FrameTable framesForSize(QSizeF size) const;
    // Moves back what a language's frame edits pushed outside its box or
    // over a neighbour.
    void keepLanguageFramesInside();

    FrameTable frames_;
};
