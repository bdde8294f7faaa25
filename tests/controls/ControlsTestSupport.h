#pragma once

#include "controls/ApplicationFont.h"

#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

// Widget tests measure and draw text in the application font.
class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { installApplicationFont(); }
};

// The widget drawn as on screen over a plain background, at one pixel per point.
inline QImage renderOn(QWidget& widget, const QColor& background)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

inline bool isNear(const QColor& actual, const QColor& expected, int tolerance = 3)
{
    return std::abs(actual.red() - expected.red()) <= tolerance
        && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// Matches a pixel within a few steps of the expected colour, printing both.
#define EXPECT_PIXEL(image, x, y, expected)                                                                            \
    EXPECT_PRED2(                                                                                                      \
        [](const QColor& a, const QColor& e) { return isNear(a, e); }, (image).pixelColor((x), (y)), (expected))
