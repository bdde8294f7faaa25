#include "ControlsTestSupport.h"

#include "controls/IMGButton.h"

#include <QTest>

namespace {

struct FitCase {
    const char* name;
    QString title;
    QSize size;
    int preferred;
    bool bold;
    int expectedSize; // 0: below the preferred size, whatever fits
    QFont::Weight expectedWeight;
    friend void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }
};

class TitleFitting : public ControlsTest, public ::testing::WithParamInterface<FitCase> { };

TEST_P(TitleFitting, TakesTheLargestFittingSizeOrTheSmallerPreferredOne)
{
    const FitCase& c = GetParam();
    IMGButton button;
    button.setText(c.title);
    button.setFontSizeForButton(c.preferred);
    button.setMakeBoldFont(c.bold);
    button.resize(c.size);
    button.getAttributesForRect(button.rect(), false);

    const QFont font = button.oneLineLayout().font;
    if (c.expectedSize > 0)
        EXPECT_EQ(font.pixelSize(), c.expectedSize);
    else
        EXPECT_LT(font.pixelSize(), c.preferred);
    EXPECT_EQ(font.weight(), c.expectedWeight);
}

INSTANTIATE_TEST_SUITE_P(IMGButton, TitleFitting,
    ::testing::Values(FitCase { "OverflowingAtFiveDrawsAtFour", QStringLiteral("Scan for duplicates in every folder"),
                          { 40, 20 }, 0, false, 4, QFont::Normal },
        FitCase { "FittingAtFiftyUsesFifty", QStringLiteral("OK"), { 400, 200 }, 0, false, 50, QFont::Normal },
        FitCase { "PreferredSmallerThanTheFitIsUsed", QStringLiteral("OK"), { 300, 60 }, 15, false, 15, QFont::Normal },
        FitCase { "BoldPreferredSizeIsSemibold", QStringLiteral("OK"), { 300, 60 }, 15, true, 15, QFont::DemiBold },
        FitCase { "PreferredLargerThanTheFitIsIgnoredAndRegular", QStringLiteral("Scan for Duplicates"), { 120, 30 },
            40, true, 0, QFont::Normal },
        FitCase {
            "BoldWithoutPreferredSizeKeepsTheFit", QStringLiteral("OK"), { 400, 200 }, 0, true, 50, QFont::Normal }),
    [](const auto& info) { return std::string(info.param.name); });

struct ClickCase {
    const char* name;
    bool releaseInside;
    bool enableImmediately;
    int expectedActions;
    int expectedState;
    bool expectedEnabled;
    friend void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }
};

class ClickSequence : public ControlsTest, public ::testing::WithParamInterface<ClickCase> { };

TEST_P(ClickSequence, PressDisablesAndReleaseDecides)
{
    const ClickCase& c = GetParam();
    QWidget window;
    window.resize(300, 100);
    auto* button = new IMGButton(&window);
    button->setGeometry(10, 10, 200, 40);
    button->setEnableImmediately(c.enableImmediately);
    window.show();

    int actions = 0;
    int stateSeenByAction = -1;
    bool enabledDuringAction = true;
    QObject::connect(button, &IMGButton::clicked, [&] {
        ++actions;
        stateSeenByAction = button->state();
        enabledDuringAction = button->isEnabled();
    });

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(100, 20));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(button->isMouseDown());
    QTest::mouseRelease(button, Qt::LeftButton, {}, c.releaseInside ? QPoint(200, 40) : QPoint(250, 20));

    EXPECT_EQ(actions, c.expectedActions);
    EXPECT_EQ(button->state(), c.expectedState);
    EXPECT_EQ(button->isEnabled(), c.expectedEnabled);
    EXPECT_FALSE(button->isMouseDown());
    if (actions > 0) {
        // The action runs before the flip, on a button that is still disabled.
        EXPECT_EQ(stateSeenByAction, 0);
        EXPECT_FALSE(enabledDuringAction);
    }
}

INSTANTIATE_TEST_SUITE_P(IMGButton, ClickSequence,
    ::testing::Values(ClickCase { "InsideOnTheEdgeSendsThenFlips", true, true, 1, 1, true },
        ClickCase { "InsideWithoutImmediateEnableStaysDisabled", true, false, 1, 1, false },
        ClickCase { "OutsideOnlyReEnables", false, false, 0, 0, true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlsTest, ImageButtonReleasedTwiceFlipsBackToOff)
{
    QWidget window;
    auto* button = new IMGButton(&window);
    button->resize(100, 30);
    window.show();
    for (int click = 0; click < 2; ++click) {
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(50, 15));
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(50, 15));
    }
    EXPECT_EQ(button->state(), 0);
}

} // namespace
