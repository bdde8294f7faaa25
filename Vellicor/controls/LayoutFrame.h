#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <initializer_list>
#include <utility>
#include <vector>

class QWidget;

// The main window's content size; its controls take absolute frames.
inline constexpr QSize mainWindowContentSize { 1082, 700 };
// The content size on a screen too small for it (narrower than 1000 or lower
// than 800 points); the screens then use their small-screen layout.
inline constexpr QSize smallWindowContentSize { 960, 600 };

// A control's frame as the layouts give it: in its parent's coordinates, with
// the origin at the parent's lower left and y growing upwards, in points.
// Layout passes edit these values literally ("y - 20, height + 20") and
// convert once, when the frame is applied.
struct LayoutFrame {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const LayoutFrame&, const LayoutFrame&) = default;
};

// The Qt geometry (origin at the upper left, y down) of frame inside a parent
// parentHeight points high. Fractions are rounded to whole points.
QRect qtGeometry(const LayoutFrame& frame, int parentHeight);

// Gives widget the geometry of frame inside its parent widget; a window only
// takes the frame's size.
void placeWidget(QWidget* widget, const LayoutFrame& frame);

// The base frames of one screen, by control name (the widget's object name),
// in the order they are applied: a container comes before the controls inside
// it, so each control is placed in its parent's final size. A language's or
// a system's layout edits the frames here, then apply() places every control.
class FrameTable {
public:
    FrameTable() = default;
    FrameTable(std::initializer_list<std::pair<QString, LayoutFrame>> frames);

    bool contains(const QString& name) const;
    // The frame of name; an unknown name is added at the end with an empty
    // frame, so an edit never goes missing silently.
    LayoutFrame& operator[](const QString& name);
    const LayoutFrame* find(const QString& name) const;

    // Places each named descendant of root that the table has a frame for;
    // names without a widget are skipped (and logged).
    void apply(QWidget* root) const;

private:
    std::vector<std::pair<QString, LayoutFrame>> frames_;
};
