#include "controls/CheckBoxButton.h"

#include "controls/ButtonKeys.h"
#include "controls/CustomCell.h"

#include <QKeyEvent>
#include <QPainter>

namespace {

constexpr int side = 16;

} // namespace

CheckBoxButton::CheckBoxButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    resize(side, side);
}

void CheckBoxButton::setState(int state)
{
    state = state > 0 ? 1 : state < 0 ? -1 : 0;
    if (state == state_)
        return;
    state_ = state;
    setChecked(state_ == 1);
    update();
}

QSize CheckBoxButton::sizeHint() const
{
    return { side, side };
}

void CheckBoxButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.45);
    const int length = qMin(width(), height());
    drawCheckBox(painter, QRect((width() - length) / 2, (height() - length) / 2, length, length), state_);
    drawFocusRingIfFocused(painter, this, 3);
}

void CheckBoxButton::keyPressEvent(QKeyEvent* event)
{
    if (!clickOnEnter(this, event))
        QAbstractButton::keyPressEvent(event);
}

void CheckBoxButton::nextCheckState()
{
    setState(state_ == 0 ? 1 : 0);
}
