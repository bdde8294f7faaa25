#include "controls/SheetPanel.h"

#include <QPainter>

void SheetPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QColor(78, 78, 80));
    painter.setBrush(QColor(40, 40, 42));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
