#include "controls/CustomScrollView.h"

#include "controls/ScrollerStyle.h"

#include <QPainter>
#include <QStyleOptionSlider>

namespace {

const QColor darkKnobColour(71, 71, 71);
const QColor lightKnobColour(170, 170, 170);

} // namespace

CustomScrollView::CustomScrollView(QWidget* parent)
    : CustomScrollView(Qt::Vertical, parent)
{
}

CustomScrollView::CustomScrollView(Qt::Orientation orientation, QWidget* parent)
    : CustomScrollView(orientation, darkKnobColour, parent)
{
}

CustomScrollView::CustomScrollView(Qt::Orientation orientation, const QColor& knobColour, QWidget* parent)
    : QScrollBar(orientation, parent)
    , knobColour_(knobColour)
{
    setStyle(ScrollerStyle::shared());
}

void CustomScrollView::paintEvent(QPaintEvent*)
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRectF knob = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(knobColour_);
    painter.drawRoundedRect(QRectF(knob.x() + 2, knob.y(), knob.width() - 5, knob.height()), 5, 5);
}

void CustomScrollView::enterEvent(QEnterEvent* event)
{
    isHighlight_ = true;
    update();
    QScrollBar::enterEvent(event);
}

void CustomScrollView::leaveEvent(QEvent* event)
{
    isHighlight_ = false;
    update();
    QScrollBar::leaveEvent(event);
}

CustomScrollViewDefault::CustomScrollViewDefault(QWidget* parent)
    : CustomScrollViewDefault(Qt::Vertical, parent)
{
}

CustomScrollViewDefault::CustomScrollViewDefault(Qt::Orientation orientation, QWidget* parent)
    : CustomScrollView(orientation, lightKnobColour, parent)
{
}
