#include "controls/ButtonKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

namespace {

constexpr char defaultButtonProperty[] = "vellicorDefaultButton";

} // namespace

QColor focusRingColour()
{
    return { 94, 170, 255 };
}

QString focusRingStyleSheet()
{
    return QStringLiteral("QPushButton:focus { border: 2px solid %1; }").arg(focusRingColour().name());
}

void drawFocusRingIfFocused(QPainter& painter, const QWidget* widget, qreal radius)
{
    if (widget && widget->hasFocus())
        drawFocusRing(painter, QRectF(widget->rect()), radius);
}

void drawFocusRing(QPainter& painter, const QRectF& frame, qreal radius)
{
    painter.save();
    painter.setOpacity(1.0);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(focusRingColour(), 2));
    painter.drawRoundedRect(frame.adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

bool isContextMenuKey(const QKeyEvent* event)
{
    if (!event)
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier)
        || (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

bool isCheckKey(const QKeyEvent* event)
{
    return event && event->key() == Qt::Key_Space && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool takeListKey(QKeyEvent* event, const std::function<void()>& openMenu, const std::function<void()>& check)
{
    const bool menu = isContextMenuKey(event);
    if (!menu && !isCheckKey(event))
        return false;
    event->accept();
    (menu ? openMenu : check)();
    return true;
}

bool isEnterKey(const QKeyEvent* event)
{
    return event && !event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter);
}

bool clickOnEnter(QAbstractButton* button, QKeyEvent* event)
{
    if (!isEnterKey(event) || !button->isEnabled())
        return false;
    event->accept();
    button->click();
    return true;
}

void setDefaultButton(QAbstractButton* button)
{
    if (button)
        button->setProperty(defaultButtonProperty, true);
}

bool isDefaultButton(const QWidget* widget)
{
    return widget && widget->property(defaultButtonProperty).toBool();
}

QAbstractButton* defaultButtonIn(QWidget* window)
{
    if (!window)
        return nullptr;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (isDefaultButton(button) && button->isVisibleTo(window) && button->isEnabled() && button->window() == window)
            return button;
    }
    return nullptr;
}
