#include "preferences/ScanHistoryTable.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <utility>

PushButtonCell::PushButtonCell(QAbstractItemView* view)
    : QStyledItemDelegate(view)
    , view_(view)
{
    // The button under the pointer lights up as a button widget would.
    view->setMouseTracking(true);
    view->viewport()->setAttribute(Qt::WA_Hover);
}

QRect PushButtonCell::buttonRect(const QRect& cell)
{
    return cell.adjusted(2, 2, -2, -2);
}

void PushButtonCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionButton button;
    button.initFrom(view_);
    button.rect = buttonRect(option.rect);
    button.text = index.data(Qt::DisplayRole).toString();
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    if (option.state & QStyle::State_MouseOver)
        button.state |= QStyle::State_MouseOver;
    if (pressed_.isValid() && pressed_ == index) {
        button.state |= QStyle::State_Sunken;
        button.state &= ~QStyle::State_Raised;
    }
    QStyle* style = view_->style() ? view_->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, view_);
}

bool PushButtonCell::editorEvent(
    QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const bool onButton = buttonRect(option.rect).contains(mouse->position().toPoint());
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        if (!onButton)
            return false;
        pressed_ = index;
        view_->viewport()->update(option.rect);
        return true;
    }
    const QPersistentModelIndex pressed = std::exchange(pressed_, QPersistentModelIndex());
    view_->viewport()->update();
    if (!pressed.isValid() || pressed != index || !onButton)
        return pressed.isValid();
    emit clicked(index);
    return true;
}

ScanHistoryTable::ScanHistoryTable(QWidget* parent)
    : QTableView(parent)
    , buttons_(new PushButtonCell(this))
{
    connect(buttons_, &PushButtonCell::clicked, this, [this](const QModelIndex& index) {
        setCurrentIndex(index);
        emit deleteRequested(index.row());
    });
}

void ScanHistoryTable::setDeleteColumn(int column)
{
    setItemDelegateForColumn(column, buttons_);
}

void ScanHistoryTable::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            if (const QModelIndex current = currentIndex(); current.isValid()) {
                emit deleteRequested(current.row());
                event->accept();
                return;
            }
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}
