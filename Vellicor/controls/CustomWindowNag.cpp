#include "controls/CustomWindowNag.h"

#include "controls/ButtonKeys.h"
#include "controls/IMGButton.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>

CustomWindowNag::CustomWindowNag(QWidget* parent, Qt::WindowFlags)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    // The window takes the keys when given them (showEvent) but is no stop of
    // Tab, nor taken by a click between its controls: it draws no focus.
    setFocusPolicy(Qt::NoFocus);
}

void CustomWindowNag::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The sheet opens on its default button, ringed, so the user sees what
    // Enter presses; a sheet without one takes the keys itself (Esc closes
    // it). A field to type in that the sheet focused, shown and enabled,
    // keeps its focus; whatever else kept it when the sheet last closed (a
    // read-only list a mouse press handed it to, a control hidden since)
    // does not.
    QWidget* focused = focusWidget();
    const bool typing = focused && focused != this && focused->isVisibleTo(this) && focused->isEnabled()
        && focused->testAttribute(Qt::WA_InputMethodEnabled);
    if (!typing) {
        if (QAbstractButton* button = defaultButtonIn(this))
            button->setFocus(Qt::OtherFocusReason);
        else
            setFocus(Qt::OtherFocusReason);
    }
    backdrop_ = QPixmap();
    QWidget* under = parentWidget() ? parentWidget()->window() : nullptr;
    if (!under || !under->isVisible())
        return;
    const QRect covered(under->mapFromGlobal(geometry().topLeft()), size());
    if (covered.intersects(under->rect()))
        backdrop_ = under->grab(covered);
}

void CustomWindowNag::paintEvent(QPaintEvent* event)
{
    if (!backdrop_.isNull()) {
        QPainter painter(this);
        painter.drawPixmap(0, 0, backdrop_);
    }
    QDialog::paintEvent(event);
}

void CustomWindowNag::keyPressEvent(QKeyEvent* event)
{
    if (isEnterKey(event)) {
        if (QAbstractButton* button = defaultButtonIn(this)) {
            event->accept();
            // The image button runs its own click sequence.
            if (auto* image = qobject_cast<IMGButton*>(button))
                image->activate();
            else
                button->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}
