#pragma once

#include "controls/LayoutFrame.h"

#include <QSize>

#include <optional>

class QWidget;

// The frames of the results screen's controls, by their object names: the
// base table for the window's content size, the small-screen pass, the
// language's pass (titles measured, fonts edited, the sheets' frames too),
// and the frames applied again whenever the screen is resized. Works on the
// screen's controls by name only. GUI thread only.
class ResultsScreenFrames {
public:
    // The base table for content, the passes over it, applied to screen.
    void layOut(QWidget& screen, QSize content);
    // The screen at another size moves and sizes the controls from the
    // size they were laid out for; nothing before layOut.
    void resized(QWidget& screen);
    bool isLaidOut() const { return laidOutSize_.isValid(); }

    FrameTable& table() { return frames_; }
    const FrameTable& table() const { return frames_; }

private:
    void useSmallScreenBaseFrames();
    void adaptToSmallScreen(QWidget& screen);
    void adjustForLanguage(QWidget& screen);
    void adjustSheetsForLanguage(QWidget& screen);

    FrameTable frames_;
    // The size frames_ is laid out for.
    QSize laidOutSize_;
    // The sheets' frames as built, before any language's edits.
    std::optional<FrameTable> sheetBaseFrames_;
};
