#include "controls/CustomOutlineView.h"

#include "controls/ButtonKeys.h"
#include "controls/CustomCell.h"
#include "controls/CustomTableView.h"
#include "controls/NamedImage.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include <algorithm>

CustomOutlineView::CustomOutlineView(QWidget* parent)
    : QTreeView(parent)
    , rowView_(std::make_shared<CustomTablerow>())
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    useRowViewSelection(*this);
}

void CustomOutlineView::setRowView(std::shared_ptr<const TableRowView> rowView)
{
    if (rowView)
        rowView_ = std::move(rowView);
    viewport()->update();
}

void CustomOutlineView::setSelectionHighlightStyle(SelectionHighlightStyle style)
{
    highlightStyle_ = style;
    viewport()->update();
}

void CustomOutlineView::rightMouseDown(const QPoint& pos, const QPoint& globalPos)
{
    if (!model() || !selectionModel())
        return;
    const QModelIndex first = indexAt(pos).siblingAtColumn(0);
    if (!first.isValid() || !qobject_cast<CustomCell*>(itemDelegateForIndex(first))
        || !first.data(CustomCell::isFileRecordRole).toBool())
        return;
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selectionModel()->select(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (menu_)
        menu_->popup(globalPos);
}

void CustomOutlineView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    static constexpr int sizingRoles[]
        = { Qt::DisplayRole, Qt::DecorationRole, Qt::SizeHintRole, Qt::FontRole, Qt::EditRole };
    const bool sizing
        = roles.isEmpty() || std::ranges::any_of(sizingRoles, [&roles](int role) { return roles.contains(role); });
    if (sizing)
        QTreeView::dataChanged(topLeft, bottomRight, roles);
    else if (topLeft == bottomRight)
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    else
        viewport()->update(); // the base would find every row's place, each from the top
}

void CustomOutlineView::reset()
{
    QTreeView::reset();
    // Rows may differ in height (a group's row is taller than its files'),
    // so a scroll by pixels makes the tree add up every shown row's height on
    // each open, close and layout. Beyond a few thousand rows the outline
    // scrolls by rows, which measures only those that fill the view.
    constexpr int scrolledByRowsFrom = 2000;
    const bool many = model() && model()->rowCount(rootIndex()) >= scrolledByRowsFrom;
    wantedScrollMode_ = many ? QAbstractItemView::ScrollPerItem : QAbstractItemView::ScrollPerPixel;
    if (isVisible())
        takeWantedScrollMode();
}

void CustomOutlineView::takeWantedScrollMode()
{
    if (wantedScrollMode_ == verticalScrollMode())
        return;
    // The change lays the rows out; the scroll bars are sized once, by the
    // new mode, rather than by the old one first.
    sizingPutOff_ = true;
    setVerticalScrollMode(wantedScrollMode_);
    sizingPutOff_ = false;
    updateGeometries();
}

bool CustomOutlineView::event(QEvent* event)
{
    if (event->type() == QEvent::Show)
        takeWantedScrollMode();
    return QTreeView::event(event);
}

void CustomOutlineView::updateGeometries()
{
    // The tree lays its rows out to size its scroll bars; a hidden outline
    // (another view mode shown, or a window grabbed for a sheet's backdrop)
    // does that when it is shown. Its header still takes its place, so that
    // the outline drawn while hidden has its columns.
    if (isVisible() && !sizingPutOff_) {
        geometriesPending_ = false;
        QTreeView::updateGeometries();
        return;
    }
    geometriesPending_ = true;
    if (placingHeader_ || sizingPutOff_)
        return;
    placingHeader_ = true;
    QHeaderView* top = header();
    const int height
        = top->isHidden() ? 0 : std::min(std::max(top->minimumHeight(), top->sizeHint().height()), top->maximumHeight());
    setViewportMargins(0, height, 0, 0);
    const QRect area = viewport()->geometry();
    top->setGeometry(area.left(), area.top() - height, area.width(), height);
    QMetaObject::invokeMethod(top, "updateGeometries");
    placingHeader_ = false;
    QAbstractItemView::updateGeometries();
}

void CustomOutlineView::showEvent(QShowEvent* event)
{
    QTreeView::showEvent(event);
    if (geometriesPending_)
        updateGeometries();
}

void CustomOutlineView::openMenuForCurrentRow()
{
    const QModelIndex current = currentOrFirstSelected(*this).siblingAtColumn(0);
    if (!current.isValid())
        return;
    scrollTo(current);
    const QRect row = visualRect(current);
    rightMouseDown(row.center(), keyboardMenuPoint(*viewport(), row));
}

void CustomOutlineView::keyPressEvent(QKeyEvent* event)
{
    if (!takeListKey(event, [this] { openMenuForCurrentRow(); }, [this] { emit checkKeyPressed(); }))
        QTreeView::keyPressEvent(event);
}

namespace {

bool isChoosable(const QModelIndex& index)
{
    return index.flags().testFlag(Qt::ItemIsSelectable);
}

} // namespace

void CustomOutlineView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        rightMouseDown(event->position().toPoint(), event->globalPosition().toPoint());
        event->accept();
        return;
    }
    // The choice, the current row and what the pane shows stay as they are.
    if (const QModelIndex pressed = indexAt(event->position().toPoint()); pressed.isValid() && !isChoosable(pressed)) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

QModelIndex CustomOutlineView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    QModelIndex next = QTreeView::moveCursor(cursorAction, modifiers);
    const bool upwards = cursorAction == MoveUp || cursorAction == MovePageUp || cursorAction == MoveHome
        || cursorAction == MovePrevious || cursorAction == MoveLeft;
    while (next.isValid() && !isChoosable(next))
        next = upwards ? indexAbove(next) : indexBelow(next);
    return next.isValid() ? next : currentIndex();
}

QItemSelectionModel::SelectionFlags CustomOutlineView::selectionCommand(
    const QModelIndex& index, const QEvent* event) const
{
    // A drag over such a row leaves the choice where it was.
    if (index.isValid() && !isChoosable(index))
        return QItemSelectionModel::NoUpdate;
    return QTreeView::selectionCommand(index, event);
}

void CustomOutlineView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard)
        openMenuForCurrentRow();
}

void CustomOutlineView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    drawListFocusRing(*this, currentRowFrame());
}

QRect CustomOutlineView::currentRowFrame() const
{
    const QRect row = visualRect(currentIndex().siblingAtColumn(0));
    return row.isValid() ? QRect(0, row.top(), viewport()->width(), row.height()) : QRect();
}

void CustomOutlineView::scrollContentsBy(int dx, int dy)
{
    QTreeView::scrollContentsBy(dx, dy);
    keepListRingInPlace(*this, currentRowFrame(), dx);
}

void CustomOutlineView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    viewport()->update();
    // Whatever made such a row current (code, a removal of the row beside
    // it), the nearest row that can be chosen takes its place, chosen when
    // the row before it was.
    if (!current.isValid() || isChoosable(current) || !selectionModel())
        return;
    const bool wasChosen = previous.isValid() && selectionModel()->isRowSelected(previous.row(), previous.parent());
    const QModelIndex instead = nearestChoosable(current);
    if (!instead.isValid())
        return selectionModel()->clearCurrentIndex();
    selectionModel()->setCurrentIndex(instead,
        wasChosen ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate);
}

QModelIndex CustomOutlineView::nearestChoosable(const QModelIndex& index) const
{
    const QModelIndex row = index.siblingAtColumn(0);
    const int rows = model()->rowCount(row.parent());
    for (int at = row.row() + 1; at < rows; ++at) {
        if (const QModelIndex below = row.siblingAtRow(at); isChoosable(below))
            return below;
    }
    for (int at = row.row() - 1; at >= 0; --at) {
        if (const QModelIndex above = row.siblingAtRow(at); isChoosable(above))
            return above;
    }
    for (QModelIndex up = row.parent(); up.isValid() && up != rootIndex(); up = up.parent()) {
        if (isChoosable(up))
            return up;
    }
    return {};
}

bool CustomOutlineView::isShown(const QModelIndex& index) const
{
    for (QModelIndex up = index.parent(); up.isValid() && up != rootIndex(); up = up.parent()) {
        if (!isExpanded(up))
            return false;
    }
    return index.isValid();
}

QModelIndex CustomOutlineView::rowShownAfter(const QModelIndex& index) const
{
    if (isExpanded(index) && model()->rowCount(index) > 0)
        return model()->index(0, 0, index);
    for (QModelIndex at = index; at.isValid() && at != rootIndex(); at = at.parent()) {
        if (const QModelIndex next = at.siblingAtRow(at.row() + 1); next.isValid())
            return next;
    }
    return model()->index(0, 0, rootIndex());
}

void CustomOutlineView::keyboardSearch(const QString& search)
{
    if (!model() || model()->rowCount(rootIndex()) == 0)
        return;
    // Letters typed in quick succession add up; the same letter again goes
    // on to the next row that starts with it.
    const bool goesOn
        = !search.isEmpty() && typedAt_.isValid() && typedAt_.elapsed() <= QApplication::keyboardInputInterval();
    typedAt_.start();
    typed_ = goesOn ? typed_ + search : search;
    if (typed_.isEmpty())
        return;
    const bool sameLetter = typed_.size() > 1 && typed_.count(typed_.front()) == typed_.size();
    const QString wanted = sameLetter ? typed_.left(1) : typed_;
    const QModelIndex current = currentIndex().siblingAtColumn(0);
    const bool fromCurrent = isShown(current);
    const QModelIndex from = !fromCurrent ? model()->index(0, 0, rootIndex())
        : (!goesOn || sameLetter)         ? rowShownAfter(current)
                                          : current;
    // Every row in sight once, from there round to it again; a row that
    // cannot be chosen (a group's column titles) is never found.
    QModelIndex row = from;
    do {
        if (isChoosable(row) && row.data(Qt::DisplayRole).toString().startsWith(wanted, Qt::CaseInsensitive)) {
            setCurrentIndex(row);
            return;
        }
        row = rowShownAfter(row);
    } while (row.isValid() && row != from);
}

void CustomOutlineView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect bounds(0, option.rect.top(), viewport()->width(), option.rect.height());
    const QModelIndex first = index.siblingAtColumn(0);
    const bool selected = selectionModel() && selectionModel()->isSelected(first);
    rowView_->drawRow(*painter, bounds, first, selected, highlightStyle_);
    QTreeView::drawRow(painter, option, index);
}

void CustomOutlineView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const
{
    if (!model() || !model()->hasChildren(index))
        return;
    // The arrow sits in the indentation column just left of the row's cell.
    const int side = 12;
    const int x = rect.right() + 1 - indentation() + (indentation() - side) / 2;
    const QRect arrow(x, rect.top() + (rect.height() - side) / 2, side, side);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    NamedImage::load(isExpanded(index) ? QStringLiteral("arrow_open_d") : QStringLiteral("arrow_close_d"))
        .draw(*painter, arrow);
    painter->restore();
}
