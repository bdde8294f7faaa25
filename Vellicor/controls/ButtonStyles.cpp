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
