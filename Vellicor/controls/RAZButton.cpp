#include "controls/RAZButton.h"

#include "controls/ButtonKeys.h"
#include "controls/HSVExtras.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

const QColor defaultInsideColor = QColor(220, 255, 255);
const QColor defaultEnabledColor = QColor(69, 162, 255);
const QColor defaultDisabledColor = QColor(185, 185, 185);
constexpr float pressedDarkening = 0.1f;

QPainterPath roundedPath(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

} // namespace

void RAZButtonCell::setButtonInsideColor(const QColor& insideColor, const QColor& disableInsideColor,
    const QColor& enableTextColor, const QColor& disableTextColor, const QColor& borderEnColor,
    const QColor& borderDisColor, double roundedRadius, int fontSize, bool fontPropertyIsLight, bool isBold,
    double outerLineWidth)
{
    roundedRadius_ = roundedRadius;
    btnInsideColor_ = insideColor;
    btnDisInsideColor_ = disableInsideColor;
    textColorEnableState_ = enableTextColor;
    textColorDisableState_ = disableTextColor;
    btnBorderColorEnableState_ = borderEnColor;
    btnBorderColorDisableState_ = borderDisColor;
    textFontSize_ = fontSize;
    isBoldFont_ = isBold;
    isLightFont_ = fontPropertyIsLight;
    outerWidth_ = outerLineWidth;
}

QColor RAZButtonCell::getColorForButtonType(bool enabled) const
{
    return (enabled ? btnInsideColor_ : btnDisInsideColor_).value_or(defaultInsideColor);
}

QColor RAZButtonCell::getBorderColorEnable() const
{
    return btnBorderColorEnableState_.value_or(defaultEnabledColor);
}

QColor RAZButtonCell::getBorderColorDisable() const
{
    return btnBorderColorDisableState_.value_or(defaultDisabledColor);
}

QColor RAZButtonCell::getEnableButtonTextColor() const
{
    return textColorEnableState_.value_or(defaultEnabledColor);
}

QColor RAZButtonCell::getDisableButtonTextColor() const
{
    return textColorDisableState_.value_or(defaultDisabledColor);
}

void RAZButtonCell::drawBezelWithFrame(QPainter& painter, const QRectF& frame, bool enabled, bool highlighted) const
{
    const QColor fill = getColorForButtonType(enabled);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(roundedPath(frame, roundedRadius_), enabled ? getBorderColorEnable() : getBorderColorDisable());

    const QRectF inner = frame.adjusted(outerWidth_, outerWidth_, -outerWidth_, -outerWidth_);
    // Pressed: darker at the top, easing into the fill at the bottom.
    QLinearGradient gradient(inner.topLeft(), inner.bottomLeft());
    gradient.setColorAt(0.0, highlighted ? HSVExtras::darkenColorByValue(fill, pressedDarkening) : fill);
    gradient.setColorAt(1.0, fill);
    if (!inner.isEmpty())
        painter.fillPath(roundedPath(inner, roundedRadius_), gradient);
    painter.restore();
}

void RAZButtonCell::drawTitle(
    QPainter& painter, const QString& title, const QFont& font, const QRectF& frame, bool enabled) const
{
    painter.save();
    painter.setFont(font);
    painter.setPen(enabled ? getEnableButtonTextColor() : getDisableButtonTextColor());
    painter.drawText(frame, Qt::AlignCenter | Qt::TextDontClip, title);
    painter.restore();
}

RAZButton::RAZButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

void RAZButton::setButtonInsideColor(const QColor& insideColor, const QColor& disableInsideColor,
    const QColor& enableTextColor, const QColor& disableTextColor, const QColor& borderEnColor,
    const QColor& borderDisColor, double roundedRadius, int fontSize, bool fontPropertyIsLight, bool isBold,
    double outerLineWidth)
{
    cell_.setButtonInsideColor(insideColor, disableInsideColor, enableTextColor, disableTextColor, borderEnColor,
        borderDisColor, roundedRadius, fontSize, fontPropertyIsLight, isBold, outerLineWidth);
}

void RAZButton::setButtonCursor(const std::optional<QCursor>& cursor)
{
    cursor_ = cursor;
    setCursor(cursor_.value_or(QCursor(Qt::PointingHandCursor)));
}

QSize RAZButton::sizeHint() const
{
    const QSizeF text = QFontMetricsF(font()).size(0, QAbstractButton::text());
    return QSize(qCeil(text.width()) + 24, qMax(24, qCeil(text.height()) + 10));
}

void RAZButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF frame = rect();
    cell_.drawBezelWithFrame(painter, frame, isEnabled(), isDown());
    cell_.drawTitle(painter, text(), font(), frame, isEnabled());
    drawFocusRing(painter);
}

void RAZButton::drawFocusRing(QPainter& painter) const
{
    drawFocusRingIfFocused(
        painter, this, std::max(3.0, cell_.roundedRadius()), cell_.getColorForButtonType(isEnabled()));
}

void RAZButton::keyPressEvent(QKeyEvent* event)
{
    if (!clickOnEnter(this, event))
        QAbstractButton::keyPressEvent(event);
}

void RAZButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void RAZButton::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
