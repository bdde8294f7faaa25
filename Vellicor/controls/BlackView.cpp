#include "controls/BlackView.h"

#include <QPainter>

BlackView::BlackView(QWidget* parent)
    : QWidget(parent)
{
}

void BlackView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 128));
}
