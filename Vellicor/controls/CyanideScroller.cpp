#include "controls/CyanideScroller.h"

#include "controls/ScrollerStyle.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionSlider>

CyanideScroller::CyanideScroller(QWidget* parent)
    : CyanideScroller(Qt::Vertical, parent)
{
}

CyanideScroller::CyanideScroller(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
    setStyle(ScrollerStyle::shared());
}

void CyanideScroller::resizeEvent(QResizeEvent* event)
{
    QScrollBar::resizeEvent(event);
    isHorizontal_ = height() < width();
}

void CyanideScroller::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), bkgrColour_);

    QStyleOptionSlider option;
    initStyleOption(&option);
    QRectF knob = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    knob = isHorizontal_ ? knob.adjusted(0, 3, 0, -3) : knob.adjusted(3, 0, -3, 0);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(knobColour_);
    painter.drawRoundedRect(knob, 3, 3);
}
