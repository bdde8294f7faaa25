#include "controls/HSVExtras.h"

#include <algorithm>
#include <cmath>

namespace HSVExtras {

RGBColor rgbColorFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    RGBColor result;
    result.red = rgb.redF();
    result.green = rgb.greenF();
    result.blue = rgb.blueF();
    result.r = static_cast<int>(result.red * 255);
    result.g = static_cast<int>(result.green * 255);
    result.b = static_cast<int>(result.blue * 255);
    return result;
}

HSVColor hsvColorFromRgbColor(const RGBColor& rgb)
{
    const float r = static_cast<float>(rgb.red);
    const float g = static_cast<float>(rgb.green);
    const float b = static_cast<float>(rgb.blue);
    const float max = std::max({ r, g, b });
    const float min = std::min({ r, g, b });

    HSVColor result;
    if (max != min) {
        const float delta = max - min;
        if (max == r) {
            result.h = static_cast<int>(std::round((g - b) * 60.0f / delta));
            if (result.h < 0)
                result.h += 360;
        } else if (max == g) {
            result.h = static_cast<int>(std::round((b - r) * 60.0f / delta + 120.0f));
        } else {
            result.h = static_cast<int>(std::round((r - g) * 60.0f / delta + 240.0f));
        }
    }
    result.s = max != 0 ? static_cast<int>(std::round((1.0f - min / max) * 100.0f)) : 0;
    result.v = static_cast<int>(std::round(max * 100.0f));
    result.hue = static_cast<float>(result.h) / 360.0f;
    result.saturation = static_cast<float>(result.s) / 100.0f;
    result.value = static_cast<float>(result.v) / 100.0f;
    return result;
}

HSVColor hsvColorFromColor(const QColor& color)
{
    return hsvColorFromRgbColor(rgbColorFromColor(color));
}

double hue(const QColor& color)
{
    return hsvColorFromColor(color).hue;
}

double saturation(const QColor& color)
{
    return hsvColorFromColor(color).saturation;
}

double brightness(const QColor& color)
{
    return hsvColorFromColor(color).value;
}

double alpha(const QColor& color)
{
    return color.alphaF();
}

QColor darkenColorByValue(const QColor& color, float d)
{
    const QColor rgb = color.toRgb();
    const auto darker = [d](float component) { return std::clamp(component - d, 0.0f, 1.0f); };
    return QColor::fromRgbF(darker(rgb.redF()), darker(rgb.greenF()), darker(rgb.blueF()), 1.0f);
}

} // namespace HSVExtras
