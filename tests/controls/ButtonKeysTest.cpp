#include "controls/ButtonKeys.h"
#include "controls/CheckBoxButton.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/RAZButton.h"
#include "controls/SheetPanel.h"

#include "ControlsTestSupport.h"

#include <QApplication>
#include <QLineEdit>
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

} // namespace
