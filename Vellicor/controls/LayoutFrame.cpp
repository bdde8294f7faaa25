#include "controls/LayoutFrame.h"

#include "base/Log.h"

#include <QWidget>

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
    if (!root)
        return;
    for (const auto& [name, frame] : frames_) {
        QWidget* widget = root->objectName() == name ? root : root->findChild<QWidget*>(name);
        if (!widget) {
            Log::print("No control named", name, "to place");
            continue;
        }
        placeWidget(widget, frame);
    }
}
