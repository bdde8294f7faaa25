#include "controls/LinkButton.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QtMath>

namespace {

const QColor paleLinkColor = QColor(198, 207, 229);
const QColor blueLinkColor = QColor(0, 0, 255);

} // namespace

LinkButton::LinkButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setTitle(text());
}

void LinkButton::setTitle(const QString& title)
{
    applyTitle(title, paleLinkColor);
}

void LinkButton::setTitle(const QString& title, Qt::Alignment alignment)
{
    alignment_ = alignment;
    applyTitle(title, blueLinkColor);
}

void LinkButton::setTitleWithAlignment(const QString& title)
{
    setTitle(title, Qt::AlignRight);
}

void LinkButton::setTitleWithAlignment(const QString& title, int fontSize, bool bold)
{
    setTitle(title, fontSize, bold, std::nullopt, Qt::AlignRight);
}

void LinkButton::setTitle(const QString& title, int fontSize, bool bold, const std::optional<QColor>& color)
{
    applyFont(fontSize, bold);
    applyTitle(title, color.value_or(blueLinkColor));
}

void LinkButton::setTitle(
    const QString& title, int fontSize, bool bold, const std::optional<QColor>& color, Qt::Alignment alignment)
{
    alignment_ = alignment;
    setTitle(title, fontSize, bold, color);
}

void LinkButton::setTitleColor(const QColor& color)
{
    titleColor_ = color;
    update();
}

QSize LinkButton::sizeHint() const
{
    const QSizeF text = QFontMetricsF(font()).size(0, QAbstractButton::text());
    return QSize(qCeil(text.width()) + 4, qCeil(text.height()) + 4);
}

void LinkButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QFont underlined = font();
    underlined.setUnderline(true);
    painter.setFont(underlined);
    // Pushed in while pressed: the link dims; a disabled link fades as the
    // buttons beside it do.
    QColor colour = isDown() ? titleColor_.darker(140) : titleColor_;
    if (!isEnabled())
        colour.setAlphaF(colour.alphaF() * 0.45);
    painter.setPen(colour);
    const Qt::Alignment horizontal = alignment_ & Qt::AlignHorizontal_Mask;
    painter.drawText(rect(), int(horizontal ? horizontal : Qt::AlignLeft) | Qt::AlignVCenter, text());
    drawFocusRingIfFocused(painter, this, 3);
}

void LinkButton::keyPressEvent(QKeyEvent* event)
{
    if (!clickOnEnter(this, event))
        QAbstractButton::keyPressEvent(event);
}

void LinkButton::applyTitle(const QString& title, const QColor& color)
{
    setText(title);
    titleColor_ = color;
    updateGeometry();
    update();
}

void LinkButton::applyFont(int fontSize, bool bold)
{
    setFont(systemFontOfSize(fontSize, bold ? QFont::Bold : QFont::Normal));
}
