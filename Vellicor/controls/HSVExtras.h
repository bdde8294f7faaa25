#pragma once

#include <QColor>

// Conversions between a colour's red, green and blue and its hue, saturation
// and value, and the darkening of a colour, as the colour buttons and the pie
// chart use them. Pure; any thread.
namespace HSVExtras {

// Components as whole numbers over 255 (truncated) and as fractions 0 … 1.
struct RGBColor {
    int r = 0;
    int g = 0;
    int b = 0;
    double red = 0;
    double green = 0;
    double blue = 0;
};

// Hue in whole degrees 0 … 359, saturation and value in whole percent, and
// the same as fractions 0 … 1.
struct HSVColor {
    int h = 0;
    int s = 0;
    int v = 0;
    double hue = 0;
    double saturation = 0;
    double value = 0;
};

// Colours of any model are read through their RGB form.
RGBColor rgbColorFromColor(const QColor& color);
HSVColor hsvColorFromRgbColor(const RGBColor& rgb);
HSVColor hsvColorFromColor(const QColor& color);

double hue(const QColor& color);
double saturation(const QColor& color);
double brightness(const QColor& color);
double alpha(const QColor& color);

// The colour with d taken off red, green and blue, fully opaque. Components
// stop at 0 (and 1): a colour cannot have a negative component.
QColor darkenColorByValue(const QColor& color, float d);

} // namespace HSVExtras
