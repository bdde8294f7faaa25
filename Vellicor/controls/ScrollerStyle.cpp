#include "controls/ScrollerStyle.h"

#include <QApplication>
#include <QPointer>
#include <QStyleOptionSlider>

namespace {

constexpr int scrollerThickness = 15;
constexpr int smallestKnobLength = 20;

} // namespace

ScrollerStyle::ScrollerStyle() = default;

ScrollerStyle* ScrollerStyle::shared()
{
    static QPointer<ScrollerStyle> style;
    if (!style) {
        style = new ScrollerStyle();
        style->setParent(qApp);
    }
    return style;
}

QRect ScrollerStyle::subControlRect(
    ComplexControl control, const QStyleOptionComplex* option, SubControl part, const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar)
        return QProxyStyle::subControlRect(control, option, part, widget);

    const QRect frame = bar->rect;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = horizontal ? frame.width() : frame.height();
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    int knobLength = length;
    if (range > 0 && bar->pageStep > 0)
        knobLength = int(qint64(length) * bar->pageStep / (range + bar->pageStep));
    knobLength = qBound(qMin(smallestKnobLength, length), knobLength, length);
    const int knobStart = sliderPositionFromValue(
        bar->minimum, bar->maximum, bar->sliderPosition, length - knobLength, bar->upsideDown);

    const auto along = [&](int start, int extent) {
        return horizontal ? QRect(frame.x() + start, frame.y(), extent, frame.height())
                          : QRect(frame.x(), frame.y() + start, frame.width(), extent);
    };
    switch (part) {
    case SC_ScrollBarSlider:
        return along(knobStart, knobLength);
    case SC_ScrollBarSubPage:
        return along(0, knobStart);
    case SC_ScrollBarAddPage:
        return along(knobStart + knobLength, length - knobStart - knobLength);
    case SC_ScrollBarGroove:
        return frame;
    default:
        return QRect();
    }
}

int ScrollerStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent:
        return scrollerThickness;
    case PM_ScrollBarSliderMin:
        return smallestKnobLength;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}
