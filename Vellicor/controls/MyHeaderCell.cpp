#include "controls/MyHeaderCell.h"

#include "controls/ApplicationFont.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int titleTop = 5;
constexpr int titleHeight = 14;
constexpr int titleInset = 3;
constexpr int titleFontSize = 11;
constexpr int indicatorWidth = 8;
constexpr int indicatorHeight = 5;

} // namespace

HeaderCell::HeaderCell(const QColor& fill, Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent)
    , fill_(fill)
{
    setFont(systemFontOfSize(titleFontSize));
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (auto moved : { &QHeaderView::sectionResized, &QHeaderView::sectionMoved })
        connect(this, moved, this, &HeaderCell::placeSectionWidgets);
    connect(this, &QHeaderView::sectionCountChanged, this, &HeaderCell::placeSectionWidgets);
    connect(this, &QHeaderView::geometriesChanged, this, &HeaderCell::placeSectionWidgets);
}

void HeaderCell::setSectionWidget(int logicalIndex, QWidget* widget)
{
    if (!widget)
        return;
    // A child of the viewport scrolls with the sections.
    widget->setParent(viewport());
    sectionWidgets_.push_back({ logicalIndex, widget });
    placeSectionWidgets();
    widget->show();
}

void HeaderCell::placeSectionWidgets()
{
    for (const SectionWidget& placed : sectionWidgets_) {
        if (!placed.widget)
            continue;
        const QSize size = placed.widget->sizeHint();
        const bool shown = placed.logicalIndex < count() && !isSectionHidden(placed.logicalIndex);
        placed.widget->setVisible(shown);
        if (!shown)
            continue;
        const int position = sectionViewportPosition(placed.logicalIndex);
        const int length = sectionSize(placed.logicalIndex);
        placed.widget->setGeometry(orientation() == Qt::Horizontal
                ? QRect(position + (length - size.width()) / 2, (viewport()->height() - size.height()) / 2,
                    size.width(), size.height())
                : QRect((viewport()->width() - size.width()) / 2, position + (length - size.height()) / 2, size.width(),
                    size.height()));
    }
}

void HeaderCell::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    painter->fillRect(rect, fill_);
    QRect text(rect.x() + titleInset, rect.y() + titleTop, rect.width() - 2 * titleInset, titleHeight);
    if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex) {
        // Pointing up while the rows rise (A to Z, smallest, oldest first),
        // down while they fall.
        const bool rising = sortIndicatorOrder() == Qt::AscendingOrder;
        const double right = rect.right() - titleInset - 1;
        const double top = text.center().y() - indicatorHeight / 2.0 + 0.5;
        const double tip = rising ? top : top + indicatorHeight;
        const double base = rising ? top + indicatorHeight : top;
        const QPointF triangle[]
            = { { right - indicatorWidth, base }, { right, base }, { right - indicatorWidth / 2.0, tip } };
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(Qt::white);
        painter->drawPolygon(triangle, 3);
        text.setRight(text.right() - indicatorWidth - titleInset);
    }
    const QString title
        = model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString() : QString();
    if (!title.isEmpty()) {
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
