#include "controls/CustomTablerow.h"

#include <QBrush>
#include <QModelIndex>
#include <QPainter>
#include <QVariant>

void TableRowView::drawSelectionInRect(QPainter& painter, const QRect& rowBounds, SelectionHighlightStyle style) const
{
    if (style == SelectionHighlightStyle::none)
        return;
    painter.save();
    // The edge is stroked in black, the stroke colour of a fresh drawing, on
    // the row's outermost pixels so that neighbouring rows keep their own.
    const QRectF edge = QRectF(rowBounds).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(selectionFill());
    painter.drawRect(edge);
    painter.restore();
}

void TableRowView::drawRow(QPainter& painter, const QRect& rowBounds, const QModelIndex& firstColumn, bool selected,
    SelectionHighlightStyle style) const
{
    const QVariant background = firstColumn.data(Qt::BackgroundRole);
    if (background.userType() == QMetaType::QColor)
        painter.fillRect(rowBounds, background.value<QColor>());
    else if (background.userType() == QMetaType::QBrush)
        painter.fillRect(rowBounds, background.value<QBrush>());
    if (selected)
        drawSelectionInRect(painter, rowBounds, style);
}

QColor CustomTablerow::selectionFill() const
{
    return QColor::fromRgbF(250 / 255.f, 250 / 255.f, 250 / 255.f, 0.05f);
}

QColor CustomTablerowHome::selectionFill() const
{
    return QColor::fromRgbF(10 / 255.f, 73 / 255.f, 217 / 255.f, 0.9f);
}
