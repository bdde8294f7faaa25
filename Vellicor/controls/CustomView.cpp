#include "controls/CustomView.h"

#include <QPaintEvent>
#include <QPainter>

CustomView::CustomView(QWidget* parent)
    : QWidget(parent)
{
}

void CustomView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
}
