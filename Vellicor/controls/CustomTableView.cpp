#include "controls/CustomTableView.h"

#include "controls/CustomCell.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>

void useRowViewSelection(QAbstractItemView& view)
{
    QPalette palette = view.palette();
    for (const auto group : { QPalette::Active, QPalette::Inactive }) {
        palette.setColor(group, QPalette::Highlight, Qt::transparent);
        palette.setColor(group, QPalette::HighlightedText, palette.color(group, QPalette::Text));
    }
    view.setPalette(palette);
}

CustomTableView::CustomTableView(QWidget* parent)
    : QTableView(parent)
    , rowView_(std::make_shared<CustomTablerowHome>())
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setShowGrid(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    useRowViewSelection(*this);
}

void CustomTableView::setRowView(std::shared_ptr<const TableRowView> rowView)
{
    if (rowView)
        rowView_ = std::move(rowView);
    viewport()->update();
}

void CustomTableView::setSelectionHighlightStyle(SelectionHighlightStyle style)
{
    highlightStyle_ = style;
    viewport()->update();
}

void CustomTableView::rightMouseDown(const QPoint& pos, const QPoint& globalPos)
{
    if (!model() || !selectionModel())
        return;
    const int row = rowAt(pos.y());
    if (row < 0)
        return;
    const QModelIndex first = model()->index(row, 0, rootIndex());
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selectionModel()->select(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (menu_ && qobject_cast<CustomCell*>(itemDelegateForIndex(first)))
        menu_->popup(globalPos);
}

void CustomTableView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        rightMouseDown(event->position().toPoint(), event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void CustomTableView::contextMenuEvent(QContextMenuEvent* event)
{
    // The right click has opened the menu already; nothing else opens one.
    event->accept();
}

void CustomTableView::paintEvent(QPaintEvent* event)
{
    if (model()) {
        QPainter painter(viewport());
        const QRect dirty = event->rect();
        const int first = rowAt(dirty.top());
        int last = rowAt(dirty.bottom());
        if (last < 0)
            last = model()->rowCount(rootIndex()) - 1;
        for (int row = qMax(first, 0); first >= 0 && row <= last; ++row) {
            if (isRowHidden(row))
                continue;
            const QRect bounds(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
            const QModelIndex index = model()->index(row, 0, rootIndex());
            const bool selected = selectionModel() && selectionModel()->isSelected(index);
            rowView_->drawRow(painter, bounds, index, selected, highlightStyle_);
        }
    }
    QTableView::paintEvent(event);
}
