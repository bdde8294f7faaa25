#include "marking/AssistantRowTable.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/CustomTableView.h"

#include <QAbstractButton>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

namespace {

const QString rowType = QStringLiteral("private.table-row");

constexpr int headerBarHeight = 20;

} // namespace

AssistantRowTable::AssistantRowTable(int columns, QWidget* parent, DropHandler dropped)
    : QTableWidget(0, columns, parent)
    , dropped_(std::move(dropped))
{
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    // Tab leaves the list instead of walking its cells.
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(28);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
    if (dropped_) {
        setDragEnabled(true);
        setAcceptDrops(true);
        setDropIndicatorShown(true);
        setDragDropOverwriteMode(false);
        setDragDropMode(DragDrop);
    }
    setStyleSheet(
        QStringLiteral("QTableWidget { background: #232325; alternate-background-color: #29292b; color: #e6e7e9;"
                       " border: 1px solid #4e4e50; selection-background-color: #0c5fb8; selection-color: white; }"
                       "QTableWidget::item { padding-left: 8px; border: none; }"
                       "QHeaderView { background: #555555; border: none; }"
                       "QHeaderView::section { background: #555555; color: white; border: none;"
                       " padding-left: 10px; }"));
    // The header bar: the system's dark grey, small white titles over the
    // rows' text.
    horizontalHeader()->setFont(systemFontOfSize(11));
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setFixedHeight(headerBarHeight);
    setAlternatingRowColors(true);
}

void AssistantRowTable::keyPressEvent(QKeyEvent* event)
{
    if (isCheckKey(event)) {
        event->accept();
        // A key held down switches the rule once, as a held check box does.
        if (event->isAutoRepeat())
            return;
        if (auto* check = qobject_cast<QAbstractButton*>(cellWidget(currentRow(), 0)))
            check->click();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void AssistantRowTable::paintEvent(QPaintEvent* event)
{
    QTableWidget::paintEvent(event);
    drawListFocusRing(*this, currentRowFrame(*this));
}

void AssistantRowTable::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableWidget::currentChanged(current, previous);
    // The ring spans the row, more than the cells the base repaints.
    viewport()->update();
}

void AssistantRowTable::scrollContentsBy(int dx, int dy)
{
    QTableWidget::scrollContentsBy(dx, dy);
    keepListRingInPlace(*this, currentRowFrame(*this), dx);
}

QStringList AssistantRowTable::mimeTypes() const
{
    return { rowType };
}

Qt::DropActions AssistantRowTable::supportedDropActions() const
{
    return Qt::MoveAction;
}

void AssistantRowTable::startDrag(Qt::DropActions)
{
    const int row = currentRow();
    if (row < 0)
        return;
    auto* mime = new QMimeData;
    mime->setData(rowType, QByteArray::number(row));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction);
}

void AssistantRowTable::dragMoveEvent(QDragMoveEvent* event)
{
    QTableWidget::dragMoveEvent(event);
    if (!event->mimeData()->hasFormat(rowType) || dropIndicatorPosition() == OnItem)
        event->ignore();
}

void AssistantRowTable::dropEvent(QDropEvent* event)
{
    // Leave the dragging state the enter put the view in, as the
    // view's own drop would, so the drop indicator goes away.
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    const int at = indexAt(event->position().toPoint()).row();
    int row = -1;
    switch (dropIndicatorPosition()) {
    case AboveItem:
        row = at;
        break;
    case BelowItem:
        row = at + 1;
        break;
    case OnViewport:
        row = rowCount();
        break;
    case OnItem:
        break;
    }
    if (row < 0 || !event->mimeData()->hasFormat(rowType)) {
        event->ignore();
        return;
    }
    dropped_({ QString::fromLatin1(event->mimeData()->data(rowType)) }, row);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}
