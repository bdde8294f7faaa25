#include "controls/ButtonKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr char defaultButtonProperty[] = "vellicorDefaultButton";
// Below this a ring does not stand out on what it is drawn over.
constexpr double readableContrast = 3.0;

double relativeLuminance(const QColor& colour)
{
    const auto channel
        = [](double value) { return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

} // namespace

QColor focusRingColour()
{
    return { 94, 170, 255 };
}

QString focusRingStyleSheet(const QString& blueState)
{
    QString rules = QStringLiteral("QPushButton:focus { border: 2px solid %1; }").arg(focusRingColour().name());
    if (!blueState.isEmpty())
        rules += QStringLiteral("QPushButton%1:focus { border: 2px solid white; }").arg(blueState);
    return rules;
}

void drawFocusRingIfFocused(QPainter& painter, const QWidget* widget, qreal radius, const std::optional<QColor>& face)
{
    if (!widget || !widget->hasFocus())
        return;
    const QRectF frame(widget->rect());
    drawFocusRing(painter, frame, radius);
    if (!face || contrastRatio(*face, focusRingColour()) >= readableContrast)
        return;
    // White as long as it reads: it is the screens' own colour of a title on
    // a coloured face.
    const QColor inner = contrastRatio(*face, Qt::white) >= readableContrast ? QColor(Qt::white) : QColor(Qt::black);
    painter.save();
    painter.setOpacity(1.0);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(inner, 2));
    const qreal inset = 4;
    painter.drawRoundedRect(frame.adjusted(inset, inset, -inset, -inset), std::max<qreal>(1, radius - inset + 1),
        std::max<qreal>(1, radius - inset + 1));
    painter.restore();
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

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

namespace {

// Sorted by key of each control's place in its window, then chained.
template<typename Key>
void chainSorted(std::vector<QWidget*> controls, Key key)
{
    std::erase(controls, nullptr);
    if (controls.size() < 2)
        return;
    QWidget* window = controls.front()->window();
    std::ranges::stable_sort(controls, {}, [window, &key](const QWidget* w) { return key(w->mapTo(window, QPoint())); });
    for (std::size_t i = 0; i + 1 < controls.size(); ++i)
        QWidget::setTabOrder(controls[i], controls[i + 1]);
}

} // namespace

void chainLeftToRight(std::vector<QWidget*> controls)
{
    chainSorted(std::move(controls), [](const QPoint& at) { return at.x(); });
}

void chainAsDrawn(std::vector<QWidget*> controls)
{
    chainSorted(std::move(controls), [](const QPoint& at) { return std::pair { at.y(), at.x() }; });
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
