#include "controls/ButtonKeys.h"
#include "controls/ButtonStyles.h"
#include "controls/CheckBoxButton.h"
#include "controls/CustomWindowNag.h"
#include "controls/DialogLook.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/RAZButton.h"
#include "controls/SheetPanel.h"

#include "ControlsTestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// The ring is drawn over the button's own face along its top edge.
bool showsFocusRing(QWidget& button)
{
    const QImage image = renderOn(button, Qt::black);
    return isNear(image.pixelColor(image.width() / 2, 1), focusRingColour(), 24);
}

TEST_F(ControlsTest, EveryButtonKindIsReachedByTabAndPressedBySpaceAndEnter)
{
    QWidget window;
    window.resize(400, 300);
    auto* field = new QLineEdit(&window);
    field->setGeometry(10, 10, 100, 24);
    auto* image = new IMGButton(&window);
    image->setButtonsImages(QStringLiteral("blue_btn_sm_left"), QStringLiteral("blue_btn_sm_mid"),
        QStringLiteral("blue_btn_sm_right"), QStringLiteral("blue_btn_sm_left"), QStringLiteral("blue_btn_sm_mid"),
        QStringLiteral("blue_btn_sm_right"), QStringLiteral("blue_btn_sm_left"), QStringLiteral("blue_btn_sm_mid"),
        QStringLiteral("blue_btn_sm_right"));
    image->setText(QStringLiteral("Scan"));
    image->setGeometry(10, 50, 160, 40);
    auto* colour = new RAZButton(&window);
    colour->setText(QStringLiteral("Stop"));
    colour->setGeometry(10, 100, 100, 30);
    auto* link = new LinkButton(&window);
    link->setTitle(QStringLiteral("Last scan"));
    link->setGeometry(10, 140, 100, 20);
    auto* check = new CheckBoxButton(&window);
    check->setGeometry(10, 170, 20, 20);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();

    for (QAbstractButton* button : std::initializer_list<QAbstractButton*> { image, colour, link, check }) {
        const QString name = QString::fromLatin1(button->metaObject()->className());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), button) << name.toStdString();
        EXPECT_TRUE(showsFocusRing(*button)) << name.toStdString();
        int clicks = 0;
        const auto connection = QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_EQ(clicks, 1) << name.toStdString();
        // The press keeps the focus, so the next key presses it again.
        ASSERT_EQ(QApplication::focusWidget(), button) << name.toStdString();
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(clicks, 3) << name.toStdString();
        QObject::disconnect(connection);
    }
    // The image button ran its own sequence: three flips end on.
    EXPECT_EQ(image->state(), 1);
    EXPECT_TRUE(image->isEnabled());

    // Without the focus no ring is drawn, and a mouse click leaves the focus
    // where it was.
    field->setFocus();
    EXPECT_FALSE(showsFocusRing(*colour));
    QTest::mouseClick(colour, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), field);
}

TEST_F(ControlsTest, EnterInASheetPressesItsDefaultButtonUnlessAnotherButtonHasTheFocus)
{
    QWidget owner;
    owner.resize(500, 400);
    owner.show();
    CustomWindowNag* sheet = makeSheetWindow(&owner, QStringLiteral("sheet"));
    sheet->resize(300, 200);
    auto* field = new QLineEdit(sheet);
    field->setGeometry(10, 10, 200, 24);
    IMGButton* proceed = makeSheetDefaultButton(sheet, QStringLiteral("btnProceed"));
    proceed->setText(QStringLiteral("Continue"));
    proceed->setGeometry(150, 150, 120, 36);
    auto* cancel = new RAZButton(sheet);
    cancel->setText(QStringLiteral("Cancel"));
    cancel->setGeometry(20, 150, 100, 30);
    int proceeded = 0, cancelled = 0;
    QObject::connect(proceed, &QAbstractButton::clicked, [&proceeded] { ++proceeded; });
    QObject::connect(cancel, &QAbstractButton::clicked, [&cancelled] { ++cancelled; });
    sheet->show();
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));

    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(proceeded, 1);
    EXPECT_EQ(proceed->state(), 1);

    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Return);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(proceeded, 1);

    // A disabled default is not pressed.
    proceed->setEnabled(false);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(proceeded, 1);
    delete sheet;
}

// The blue and green buttons wear a ring that reads against their own face:
// the ring's pixels, seen beside the same pixels of the unfocused button,
// stand out by at least the contrast the accessibility guidelines ask of a
// focus indicator.
TEST_F(ControlsTest, TheFocusRingReadsOnTheBlueAndGreenButtons)
{
    QWidget window;
    window.resize(600, 420);
    auto* field = new QLineEdit(&window);
    field->setGeometry(300, 380, 100, 24);
    std::vector<QAbstractButton*> buttons;
    const auto image = [&](const QString& prefix, const char* left, const char* middle, const char* right) {
        auto* button = new IMGButton(&window);
        const QString s = prefix + QLatin1String(left), m = prefix + QLatin1String(middle),
                      e = prefix + QLatin1String(right);
        button->setButtonsImages(s, m, e, s, m, e, s, m, e);
        button->setText(QStringLiteral("Go"));
        buttons.push_back(button);
    };
    image(QStringLiteral("blue_btn_sm_"), "left", "mid", "right");
    image(QStringLiteral("blue_"), "left_btn", "mid_btn", "right_btn");
    image(QStringLiteral("blue_sel_btn_"), "left", "mid", "right");
    image(QStringLiteral("green_sel_btn_"), "left", "mid", "right");
    for (const auto style : { &applyResultToolbarButtonStyle, &applyHomeButtonStyle }) {
        auto* colour = new RAZButton(&window);
        style(colour);
        colour->setText(QStringLiteral("Go"));
        buttons.push_back(colour);
    }
    // Push buttons a style sheet paints blue: a dialog's default button, and
    // a switch that is on.
    auto* dialog = new QWidget(&window);
    dialog->setGeometry(300, 0, 300, 400);
    applyDarkDialogLook(dialog);
    auto* byDefault = new QPushButton(QStringLiteral("Go"), dialog);
    byDefault->setDefault(true);
    buttons.push_back(byDefault);
    auto* on = new QPushButton(QStringLiteral("Go"), &window);
    on->setCheckable(true);
    on->setChecked(true);
    on->setStyleSheet(QStringLiteral("QPushButton { background: #2f3134; border: 1px solid #4a4d52; }"
                                     "QPushButton:checked { background: #1f6fe5; border-color: #2f7ff2; }")
        + focusRingStyleSheet(QStringLiteral(":checked")));
    buttons.push_back(on);
    for (std::size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->setGeometry(10, buttons[i]->parentWidget() == dialog ? 10 : 10 + int(i) * 48, 220, 44);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    for (QAbstractButton* button : buttons) {
        const std::string name = button->metaObject()->className() + std::to_string(button->y());
        button->ensurePolished();
        field->setFocus();
        const QImage plain = renderOn(*button, Qt::black);
        button->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(button->hasFocus()) << name;
        const QImage ringed = renderOn(*button, Qt::black);
        // Down from the top edge, clear of the title: the pixels the ring
        // changed, against the face as the button shows it without focus.
        const int x = plain.width() / 4;
        const QColor face = plain.pixelColor(x, plain.height() / 2);
        double best = 1;
        for (int y = 0; y < 9; ++y) {
            const QColor ring = ringed.pixelColor(x, y);
            if (ring != plain.pixelColor(x, y))
                best = std::max(best, contrastRatio(ring, face));
        }
        EXPECT_GE(best, 3.0) << name;
    }
}

} // namespace
