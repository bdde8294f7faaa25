#include "controls/LayoutFrame.h"

#include "base/Log.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

QRect qtGeometry(const LayoutFrame& frame, int parentHeight)
{
    const int left = static_cast<int>(std::lround(frame.x));
    const int width = static_cast<int>(std::lround(frame.width));
    const int height = static_cast<int>(std::lround(frame.height));
    const int bottom = static_cast<int>(std::lround(frame.y));
    return QRect(left, parentHeight - bottom - height, width, height);
}

void placeWidget(QWidget* widget, const LayoutFrame& frame)
{
    if (!widget)
        return;
    const QWidget* parent = widget->parentWidget();
    const QRect geometry = qtGeometry(frame, parent ? parent->height() : 0);
    // A window is placed by the window system and its own centring helpers.
    if (widget->isWindow())
        widget->resize(geometry.size());
    else
        widget->setGeometry(geometry);
}

FrameTable::FrameTable(std::initializer_list<std::pair<QString, LayoutFrame>> frames)
    : frames_(frames)
{
}

bool FrameTable::contains(const QString& name) const
{
    return find(name) != nullptr;
}

LayoutFrame& FrameTable::operator[](const QString& name)
{
    for (auto& [key, frame] : frames_) {
        if (key == name)
            return frame;
    }
    frames_.emplace_back(name, LayoutFrame {});
    return frames_.back().second;
}

const LayoutFrame* FrameTable::find(const QString& name) const
{
    for (const auto& [key, frame] : frames_) {
        if (key == name)
            return &frame;
    }
    return nullptr;
}

void FrameTable::apply(QWidget* root) const
{
    apply(root, {}, {});
}

void FrameTable::apply(QWidget* root, const ResizingTable& resizing, QSizeF rootBase) const
{
    if (!root)
        return;
    for (const auto& [name, frame] : frames_) {
        QWidget* widget = root->objectName() == name ? root : root->findChild<QWidget*>(name);
        if (!widget) {
            Log::print("No control named", name, "to place");
            continue;
        }
        QWidget* parent = widget->parentWidget();
        if (!parent || widget == root || rootBase.isEmpty()) {
            placeWidget(widget, frame);
            continue;
        }
        // The parent's base size: its own frame here, the given one for the
        // root; a parent the table does not place keeps its size.
        const LayoutFrame* parentFrame = parent == root ? nullptr : find(parent->objectName());
        const QSizeF parentNow = parent->size();
        const QSizeF parentBase = parent == root ? rootBase
            : parentFrame ? QSizeF(std::lround(parentFrame->width), std::lround(parentFrame->height))
                          : parentNow;
        placeWidget(widget, resizedFrame(frame, resizing(name), parentBase, parentNow));
    }
}

namespace {

// Shares change among the flexible parts of one direction; with none, the
// far margin takes it, so the frame keeps its place and size.
void resizeExtent(
    double& origin, double& length, double change, bool nearFlexible, bool lengthFlexible, bool farFlexible)
{
    const int shares = int(nearFlexible) + int(lengthFlexible) + int(farFlexible);
    if (shares == 0)
        return;
    const double share = change / shares;
    if (nearFlexible)
        origin += share;
    if (lengthFlexible)
        length = std::max(0.0, length + share);
}

} // namespace

LayoutFrame resizedFrame(const LayoutFrame& frame, Resizing resizing, QSizeF parentBase, QSizeF parentNow)
{
    LayoutFrame result = frame;
    const unsigned parts = resizing.parts;
    resizeExtent(result.x, result.width, parentNow.width() - parentBase.width(), parts & Resizing::flexibleLeft,
        parts & Resizing::flexibleWidth, parts & Resizing::flexibleRight);
    // The frame's origin is at the parent's lower left, so the bottom margin
    // is the near one.
    resizeExtent(result.y, result.height, parentNow.height() - parentBase.height(), parts & Resizing::flexibleBottom,
        parts & Resizing::flexibleHeight, parts & Resizing::flexibleTop);
    return result;
}

ResizingTable::ResizingTable(std::initializer_list<std::pair<QString, Resizing>> entries)
    : entries_(entries)
{
}

Resizing ResizingTable::operator()(const QString& name) const
{
    for (const auto& [key, resizing] : entries_) {
        if (key == name)
            return resizing;
    }
    return Follow::topLeft;
}

void ResizingTable::set(const QString& name, Resizing resizing)
{
    for (auto& [key, value] : entries_) {
        if (key == name) {
            value = resizing;
            return;
        }
    }
    entries_.emplace_back(name, resizing);
}

void ResizingTable::set(std::initializer_list<const char*> names, Resizing resizing)
{
    for (const char* name : names)
        set(QString::fromLatin1(name), resizing);
}
