#include "controls/MyHeaderCell.h"

#include "controls/ApplicationFont.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int titleTop = 5;
constexpr int titleHeight = 14;
constexpr int titleInset = 3;
constexpr int titleFontSize = 11;

} // namespace

HeaderCell::HeaderCell(const QColor& fill, Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent)
    , fill_(fill)
{
    setFont(systemFontOfSize(titleFontSize));
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void HeaderCell::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    painter->fillRect(rect, fill_);
    const QString title
        = model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString() : QString();
    if (!title.isEmpty()) {
        const QRect text(rect.x() + titleInset, rect.y() + titleTop, rect.width() - 2 * titleInset, titleHeight);
        painter->setFont(font());
        painter->setPen(Qt::white);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(font()).elidedText(title, Qt::ElideRight, text.width()));
    }
    painter->restore();
}

QSize HeaderCell::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    size.setHeight(qMax(size.height(), titleTop + titleHeight + 4));
    return size;
}

MyHeaderCell::MyHeaderCell(Qt::Orientation orientation, QWidget* parent)
    : HeaderCell(QColor::fromHsvF(33 / 255.f, 33 / 255.f, 33 / 255.f), orientation, parent)
{
}

HeaderCellGray::HeaderCellGray(Qt::Orientation orientation, QWidget* parent)
    : HeaderCell(QColor::fromRgbF(1 / 3.f, 1 / 3.f, 1 / 3.f), orientation, parent)
{
}
