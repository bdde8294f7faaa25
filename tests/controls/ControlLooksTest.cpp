// Each control drawn offscreen in each state, checked at a few pixels.
#include "ControlsTestSupport.h"

#include "controls/BlackView.h"
#include "controls/ButtonStyles.h"
#include "controls/CustomScrollView.h"
#include "controls/CustomView.h"
#include "controls/CyanideScroller.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace {

const QColor backdrop(255, 0, 255);

// The state images differ by colour family, so the drawn family tells which
// image set the button chose.
enum class Family { blue, green, grey };

Family familyOf(const QColor& c)
{
    if (c.blue() > c.red() + 60)
        return Family::blue;
    if (c.green() > c.red() + 60)
        return Family::green;
    return Family::grey;
}

struct ImageCase {
    const char* name;
    int state;
    bool enabled;
    bool pressed;
    Family expected;
    friend void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }
};

class ImageButtonLook : public ControlsTest, public ::testing::WithParamInterface<ImageCase> { };

TEST_P(ImageButtonLook, DrawsTheImagesOfItsState)
{
    const ImageCase& c = GetParam();
    IMGButton button;
    const QString blue[] = { "blue_left_btn", "blue_mid_btn", "blue_right_btn" };
    const QString green[] = { "green_sel_btn_left", "green_sel_btn_mid", "green_sel_btn_right" };
    const QString grey[] = { "grey_left_btn", "grey_mid_btn", "grey_right_btn" };
    // On: normal blue, pressed green, disabled grey; off: normal grey, pressed blue, disabled green.
    button.setButtonImages(blue[0], blue[1], blue[2], green[0], green[1], green[2], grey[0], grey[1], grey[2], grey[0],
        grey[1], grey[2], blue[0], blue[1], blue[2], green[0], green[1], green[2]);
    button.resize(120, 40);
    button.setState(c.state);
    if (c.pressed) {
        QMouseEvent press(
            QEvent::MouseButtonPress, QPointF(60, 20), QPointF(60, 20), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&button, &press);
    }
    button.setEnabled(c.enabled);

    const QImage image = renderOn(button, backdrop);
    EXPECT_EQ(familyOf(image.pixelColor(60, 20)), c.expected);
    EXPECT_EQ(familyOf(image.pixelColor(3, 20)), c.expected);
    EXPECT_EQ(image.pixelColor(0, 0), backdrop) << "rounded corners show what lies below";
}

INSTANTIATE_TEST_SUITE_P(IMGButton, ImageButtonLook,
    ::testing::Values(ImageCase { "OnNormal", 1, true, false, Family::blue },
        ImageCase { "OnPressed", 1, true, true, Family::green },
        ImageCase { "OnDisabled", 1, false, false, Family::grey },
        ImageCase { "OnHeldDownIsDisabled", 1, false, true, Family::grey },
        ImageCase { "OffNormal", 0, true, false, Family::grey },
        ImageCase { "OffPressed", 0, true, true, Family::blue },
        ImageCase { "OffDisabled", 0, false, false, Family::green }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlsTest, GradientBoxDrawsOnlyWithAllThreeImagesPresent)
{
    GradientBox box;
    box.resize(200, 36);
    box.setBgImage(QStringLiteral("header_mid"));
    EXPECT_EQ(renderOn(box, backdrop).pixelColor(100, 18), backdrop) << "middle image only";

    box.setBackgroundImages(
        QStringLiteral("header_left"), QStringLiteral("no_such_image"), QStringLiteral("header_right"));
    const QImage missing = renderOn(box, backdrop);
    EXPECT_EQ(missing.pixelColor(2, 18), backdrop) << "a missing middle image";
    EXPECT_EQ(missing.pixelColor(100, 18), backdrop);

    box.setBackgroundImages(
        QStringLiteral("header_left"), QStringLiteral("header_mid"), QStringLiteral("header_right"));
    const QImage drawn = renderOn(box, backdrop);
    EXPECT_NE(drawn.pixelColor(100, 18), backdrop);
    EXPECT_NE(drawn.pixelColor(198, 18), backdrop) << "the end cap reaches the right edge";
}

TEST_F(ControlsTest, ColourButtonStylesDrawBorderFillAndPressedGradient)
{
    RAZButton button;
    button.resize(120, 40);
    applyHomeButtonStyle(&button);
    const QImage normal = renderOn(button, backdrop);
    EXPECT_PIXEL(normal, 0, 20, QColor(0, 0, 0));
    EXPECT_PIXEL(normal, 4, 20, QColor(9, 90, 222));

    button.setDown(true);
    const QImage pressed = renderOn(button, backdrop);
    EXPECT_LT(pressed.pixelColor(4, 2).blue(), pressed.pixelColor(4, 37).blue()) << "darker at the top";
    EXPECT_PIXEL(pressed, 4, 37, QColor(9, 90, 222));

    button.setDown(false);
    button.setEnabled(false);
    EXPECT_PIXEL(renderOn(button, backdrop), 4, 20, QColor(150, 150, 150));

    // Pressing a fill darker than the darkening clamps at black instead of failing.
    applyHomeSecondaryButtonStyle(&button);
    button.setEnabled(true);
    button.setDown(true);
    EXPECT_PIXEL(renderOn(button, backdrop), 4, 2, QColor(3, 3, 3));
}

TEST_F(ControlsTest, ScrollersDrawTrackAndKnobWhereTheValueIs)
{
    CyanideScroller dark;
    dark.setRange(0, 200);
    dark.setPageStep(100);
    dark.resize(15, 300);
    QImage image = renderOn(dark, backdrop);
    EXPECT_PIXEL(image, 7, 50, QColor(82, 82, 82)) << "knob at the top";
    EXPECT_PIXEL(image, 1, 50, QColor(52, 52, 52)) << "track beside the knob";
    EXPECT_PIXEL(image, 7, 250, QColor(52, 52, 52));

    dark.resize(300, 15);
    dark.setOrientation(Qt::Horizontal);
    dark.setValue(200);
    image = renderOn(dark, backdrop);
    EXPECT_TRUE(dark.isHorizontal());
    EXPECT_PIXEL(image, 250, 7, QColor(82, 82, 82)) << "knob at the end";
    EXPECT_PIXEL(image, 250, 1, QColor(52, 52, 52)) << "inset from top and bottom";

    CustomScrollView knobOnly;
    knobOnly.setRange(0, 200);
    knobOnly.setPageStep(100);
    knobOnly.setValue(200);
    knobOnly.resize(15, 300);
    image = renderOn(knobOnly, backdrop);
    EXPECT_PIXEL(image, 7, 250, QColor(71, 71, 71));
    EXPECT_EQ(image.pixelColor(7, 50), backdrop) << "no track";
}

} // namespace
