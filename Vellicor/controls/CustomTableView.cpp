#include "controls/CustomTableView.h"

#include "controls/ButtonKeys.h"
#include "controls/CustomCell.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
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
    // Tab leaves the table instead of walking its cells.
    setTabKeyNavigation(false);
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

QModelIndex currentOrFirstSelected(const QAbstractItemView& view)
{
    if (view.currentIndex().isValid())
        return view.currentIndex();
    const QModelIndexList selected = view.selectionModel() ? view.selectionModel()->selectedIndexes() : QModelIndexList();
    return selected.isEmpty() ? QModelIndex() : selected.front();
}

QPoint keyboardMenuPoint(const QWidget& viewport, const QRect& rect)
{
    const QRect shown = rect.intersected(viewport.rect());
    return viewport.mapToGlobal(QPoint(shown.left() + 24, shown.bottom()));
}

void CustomTableView::openMenuForCurrentRow()
{
    const QModelIndex current = currentOrFirstSelected(*this);
    if (!current.isValid())
        return;
    scrollTo(current);
    const QRect row(0, rowViewportPosition(current.row()), viewport()->width(), rowHeight(current.row()));
    rightMouseDown(row.center(), keyboardMenuPoint(*viewport(), row));
}

void CustomTableView::keyPressEvent(QKeyEvent* event)
{
    if (!takeListKey(event, [this] { openMenuForCurrentRow(); }, [this] { emit checkKeyPressed(); }))
        QTableView::keyPressEvent(event);
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
    // The right click has opened the menu already; the keyboard's request
    // opens it at the current row.
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard)
        openMenuForCurrentRow();
}

QRect currentRowFrame(const QTableView& view)
{
    const QModelIndex current = view.currentIndex();
    if (!current.isValid() || view.isRowHidden(current.row()))
        return {};
    return { 0, view.rowViewportPosition(current.row()), view.viewport()->width(), view.rowHeight(current.row()) };
}

void drawListFocusRing(QAbstractItemView& view, const QRect& currentRow)
{
    if (!view.hasFocus())
        return;
    QPainter painter(view.viewport());
    drawFocusRing(painter, QRectF(currentRow.isValid() ? currentRow : view.viewport()->rect()), 3);
}

void keepListRingInPlace(QAbstractItemView& view, const QRect& currentRow, int dx)
{
    if (view.hasFocus() && (!currentRow.isValid() || dx != 0))
        view.viewport()->update();
}

void CustomTableView::paintEvent(QPaintEvent* event)
{
    paintRowViews(event);
    QTableView::paintEvent(event);
    drawListFocusRing(*this, currentRowFrame(*this));
}

void CustomTableView::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    keepListRingInPlace(*this, currentRowFrame(*this), dx);
}

void CustomTableView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    // The ring spans the row, more than the cells the base repaints.
    viewport()->update();
}

void CustomTableView::paintRowViews(QPaintEvent* event)
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
}
