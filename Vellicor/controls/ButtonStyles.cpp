#include "controls/ButtonStyles.h"

#include "controls/RAZButton.h"

void applyHomeButtonStyle(RAZButton* button)
{
    if (!button)
        return;
    button->setButtonInsideColor(QColor(9, 90, 222), QColor(150, 150, 150), QColor(255, 255, 255),
        QColor::fromRgbF(0, 0, 0, 0.5), QColor(0, 0, 0), QColor::fromRgbF(0, 0, 0, 0.2), 3, 26, false, false, 1);
}

void applyHomeSecondaryButtonStyle(RAZButton* button)
{
    if (!button)
        return;
    const QColor light(208, 210, 214);
    const auto withAlpha = [](QColor color, qreal alpha) {
        color.setAlphaF(alpha);
        return color;
    };
    button->setButtonInsideColor(QColor(29, 29, 29), QColor(29, 29, 29), light, withAlpha(light, 0.5),
        withAlpha(light, 0.7), withAlpha(light, 0.3), 3, 13, false, false, 1);
}

void applyResultButtonStyle(RAZButton* button)
{
    if (!button)
        return;
    button->setButtonInsideColor(QColor(29, 29, 29), QColor(29, 29, 29), QColor(208, 210, 213), QColor(94, 94, 94),
        QColor::fromRgbF(150 / 255.0, 150 / 255.0, 150 / 255.0, 0.7), QColor(94, 94, 94), 2, 14, false, false, 0.5);
}

void applyResultToolbarButtonStyle(RAZButton* button)
{
    if (!button)
        return;
    const QColor blue(55, 151, 250);
    button->setButtonInsideColor(blue, QColor(148, 148, 148), QColor(255, 255, 255), QColor(234, 234, 234), blue,
        QColor(194, 194, 194), 5, 26, true, false, 1);
}

void applyStopButtonStyle(RAZButton* button)
{
    if (!button)
        return;
    const QColor charcoal(47, 50, 56);
    const QColor grey(141, 153, 154);
    const auto withAlpha = [](QColor color, qreal alpha) {
        color.setAlphaF(alpha);
        return color;
    };
    button->setButtonInsideColor(charcoal, withAlpha(charcoal, 0.3), grey, withAlpha(grey, 0.6), charcoal, charcoal,
        button->height() / 2.0, 15, true, false, 1);
}
