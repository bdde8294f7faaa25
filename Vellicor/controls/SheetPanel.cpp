#include "controls/SheetPanel.h"

#include "controls/ApplicationFont.h"

#include <QLabel>
#include <QPainter>

void SheetPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QColor(78, 78, 80));
    painter.setBrush(QColor(40, 40, 42));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

QLabel* makeSheetLabel(QWidget* parent, const QString& objectName, const QString& text, int size, const QColor& colour,
    QFont::Weight weight)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setFont(systemFontOfSize(size, weight));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}
