#pragma once

#include <QRect>
#include <QSize>
#include <QSizeF>
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

// How a control follows a change of its parent's size (springs and struts):
// the parts of its horizontal extent (left margin, width, right margin) and of
// its vertical extent (bottom margin, height, top margin) that are flexible.
// Flexible parts share a change equally; fixed parts keep their length. With
// no part flexible in a direction the frame keeps its values, that is its
// distance to the parent's left (bottom) edge.
struct Resizing {
    enum Part : unsigned {
        flexibleLeft = 1,
        flexibleWidth = 2,
        flexibleRight = 4,
        flexibleBottom = 8,
        flexibleHeight = 16,
        flexibleTop = 32,
    };
    unsigned parts = flexibleRight | flexibleBottom;

    friend bool operator==(const Resizing&, const Resizing&) = default;
};

// Common combinations, named as a layout reads them.
namespace Follow {
// Keeps to the top left: the default.
inline constexpr Resizing topLeft { Resizing::flexibleRight | Resizing::flexibleBottom };
inline constexpr Resizing topRight { Resizing::flexibleLeft | Resizing::flexibleBottom };
inline constexpr Resizing bottomLeft { Resizing::flexibleRight | Resizing::flexibleTop };
inline constexpr Resizing bottomRight { Resizing::flexibleLeft | Resizing::flexibleTop };
// Takes all the room, both ways.
inline constexpr Resizing fill { Resizing::flexibleWidth | Resizing::flexibleHeight };
// A bar along the top or bottom edge, or a column down the left or right one.
inline constexpr Resizing topBar { Resizing::flexibleWidth | Resizing::flexibleBottom };
inline constexpr Resizing bottomBar { Resizing::flexibleWidth | Resizing::flexibleTop };
inline constexpr Resizing rightColumn { Resizing::flexibleLeft | Resizing::flexibleHeight };
// Stays in the middle, both ways; or in the middle across, at the top or bottom.
inline constexpr Resizing centre { Resizing::flexibleLeft | Resizing::flexibleRight | Resizing::flexibleBottom
    | Resizing::flexibleTop };
inline constexpr Resizing topCentre { Resizing::flexibleLeft | Resizing::flexibleRight | Resizing::flexibleBottom };
inline constexpr Resizing bottomCentre { Resizing::flexibleLeft | Resizing::flexibleRight | Resizing::flexibleTop };
} // namespace Follow

// frame (laid out in a parent of size parentBase) moved and sized for the
// parent's size parentNow.
LayoutFrame resizedFrame(const LayoutFrame& frame, Resizing resizing, QSizeF parentBase, QSizeF parentNow);

// The resizing of each control by name; a control it lacks keeps to its
// parent's top left.
class ResizingTable {
public:
    ResizingTable() = default;
    ResizingTable(std::initializer_list<std::pair<QString, Resizing>> entries);

    Resizing operator()(const QString& name) const;
    void set(const QString& name, Resizing resizing);
    // The same resizing for each of names, as the layouts list them.
    void set(std::initializer_list<const char*> names, Resizing resizing);

private:
    std::vector<std::pair<QString, Resizing>> entries_;
};

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
    // The same for root grown or shrunk from rootBase, the size the frames
    // were laid out for: each control keeps its base frame's relation to its
    // parent's edges as resizing gives it, so repeated resizes never drift.
    void apply(QWidget* root, const ResizingTable& resizing, QSizeF rootBase) const;

private:
    std::vector<std::pair<QString, LayoutFrame>> frames_;
};
