// Gallery pages of the custom controls, each in every state it can show.
#include "Gallery.h"

#include "controls/BlackView.h"
#include "controls/ButtonStyles.h"
#include "controls/CustomScrollView.h"
#include "controls/CustomView.h"
#include "controls/CustomWindowNag.h"
#include "controls/CyanideScroller.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/RAZButton.h"
#include "home/HomeBars.h"

#include "controls/ApplicationFont.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

void pressWithMouse(QWidget& widget)
{
    const QPointF centre = QRectF(widget.rect()).center();
    QMouseEvent press(
        QEvent::MouseButtonPress, centre, widget.mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
}

// One image button caught in each look: normal, pressed, held down (the
// button disables itself for the press) and disabled.
void addImageButtonStates(GallerySheet& sheet, const std::function<void(IMGButton&)>& setUp, int state, QSize size)
{
    const auto make = [&](IMGButton& button) {
        setUp(button);
        button.setState(state);
        button.resize(size);
    };
    {
        IMGButton button;
        make(button);
        sheet.addSample(QStringLiteral("normal"), button);
    }
    {
        IMGButton button;
        make(button);
        pressWithMouse(button);
        sheet.addSample(QStringLiteral("held down"), button);
        button.setEnabled(true);
        sheet.addSample(QStringLiteral("pressed, re-enabled"), button);
    }
    {
        IMGButton button;
        make(button);
        button.setEnabled(false);
        sheet.addSample(QStringLiteral("disabled"), button);
    }
}

void scanNowLook(IMGButton& button)
{
    button.setText(QStringLiteral("Scan for Duplicates"));
    HomeBars::giveScanNowItsLook(button);
}

std::function<void(IMGButton&)> threePartLook(const QString& prefix, const QString& start, const QString& middle,
    const QString& end, const QString& title, std::function<void(IMGButton&)> extra = {})
{
    return [=](IMGButton& button) {
        const QString s = prefix + start, m = prefix + middle, e = prefix + end;
        button.setButtonsImages(s, m, e, s, m, e, s, m, e);
        button.setText(title);
        if (extra)
            extra(button);
    };
}

QImage imageButtonPage()
{
    GallerySheet sheet(QStringLiteral("Image button"));
    sheet.newRow(QStringLiteral("Scan Now look, on state"));
    addImageButtonStates(sheet, scanNowLook, 1, QSize(300, 56));
    sheet.newRow(QStringLiteral("Scan Now look, off state"));
    addImageButtonStates(sheet, scanNowLook, 0, QSize(300, 56));

    const QSize small(150, 32);
    sheet.newRow(QStringLiteral("Small blue (trash on review, undo yes/no, OK)"));
    addImageButtonStates(sheet,
        threePartLook(QStringLiteral("blue_btn_sm_"), QStringLiteral("left"), QStringLiteral("mid"),
            QStringLiteral("right"), QStringLiteral("Move to Trash")),
        0, small);
    sheet.newRow(QStringLiteral("Selection choices"));
    addImageButtonStates(sheet,
        threePartLook(QStringLiteral("blue_sel_btn_"), QStringLiteral("left"), QStringLiteral("mid"),
            QStringLiteral("right"), QStringLiteral("Select Manually"),
            [](IMGButton& b) {
                b.setMakeBoldFont(true);
                b.setFontSizeForButton(18);
            }),
        0, QSize(240, 48));
    addImageButtonStates(sheet,
        threePartLook(QStringLiteral("green_sel_btn_"), QStringLiteral("left"), QStringLiteral("mid"),
            QStringLiteral("right"), QStringLiteral("Auto Mark"),
            [](IMGButton& b) {
                b.setMakeBoldFont(true);
                b.setFontSizeForButton(18);
            }),
        0, QSize(200, 48));
    sheet.newRow(QStringLiteral("Back buttons"));
    addImageButtonStates(sheet,
        threePartLook(QStringLiteral("back_btn_"), QStringLiteral("left"), QStringLiteral("mid"),
            QStringLiteral("right"), QStringLiteral("Back"),
            [](IMGButton& b) {
                b.setMarginLeft(10);
                b.setMarginTop(8);
                b.setMarginBottom(8);
            }),
        0, QSize(110, 32));
    addImageButtonStates(sheet,
        threePartLook(QStringLiteral("back_button_"), QStringLiteral("left"), QStringLiteral("center"),
            QStringLiteral("right"), QStringLiteral("Back"),
            [](IMGButton& b) {
                b.setColorOnState(Qt::black);
                b.setColorOffState(Qt::black);
                b.setColorOnStateDis(Qt::black);
                b.setColorOffStateDis(Qt::black);
                b.setMarginLeft(13);
            }),
        0, QSize(90, 28));
    sheet.newRow(QStringLiteral("Title fitting"));
    {
        IMGButton button;
        threePartLook(QStringLiteral("blue_btn_sm_"), QStringLiteral("left"), QStringLiteral("mid"),
            QStringLiteral("right"), QStringLiteral("A title far too long for this small button"))(button);
        button.resize(150, 32);
        sheet.addSample(QStringLiteral("long title, shrunk"), button);
        button.setText(QStringLiteral("Two\nlines"));
        button.resize(150, 48);
        sheet.addSample(QStringLiteral("title with a line feed"), button);
        button.setText(QStringLiteral("OK"));
        button.resize(90, 40);
        sheet.addSample(QStringLiteral("short title, largest fit"), button);
    }
    return sheet.image();
}

RAZButton* colourButton(const QString& title, const std::function<void(RAZButton*)>& style, QSize size)
{
    auto* button = new RAZButton;
    button->setText(title);
    if (style)
        style(button);
    button->resize(size);
    return button;
}

void addColourButtonStates(GallerySheet& sheet, RAZButton* button)
{
    std::unique_ptr<RAZButton> owner(button);
    sheet.addSample(QStringLiteral("enabled"), *button);
    button->setDown(true);
    sheet.addSample(QStringLiteral("pressed"), *button);
    button->setDown(false);
    button->setEnabled(false);
    sheet.addSample(QStringLiteral("disabled"), *button);
}

QImage colourButtonPage()
{
    GallerySheet sheet(QStringLiteral("Colour button"));
    sheet.newRow(QStringLiteral("Never styled"));
    addColourButtonStates(sheet, colourButton(QStringLiteral("Options"), {}, QSize(110, 28)));
    sheet.newRow(QStringLiteral("Home: show results (font 26)"));
    addColourButtonStates(sheet,
        colourButton(
            QStringLiteral("View Results"),
            [](RAZButton* b) {
                applyHomeButtonStyle(b);
                b->setFont(systemFontOfSize(b->cell().textFontSize()));
            },
            QSize(240, 50)));
    sheet.newRow(QStringLiteral("Home: Stop"));
    addColourButtonStates(sheet,
        colourButton(
            QStringLiteral("Stop"),
            [](RAZButton* b) {
                applyHomeSecondaryButtonStyle(b);
                b->setFont(systemFontOfSize(b->cell().textFontSize()));
            },
            QSize(100, 28)));
    sheet.newRow(QStringLiteral("Results and selection assistant"));
    addColourButtonStates(sheet,
        colourButton(
            QStringLiteral("Undo"),
            [](RAZButton* b) {
                applyResultButtonStyle(b);
                b->setFont(systemFontOfSize(b->cell().textFontSize()));
            },
            QSize(100, 26)));
    sheet.newRow(QStringLiteral("Home: add folder"));
    addColourButtonStates(sheet,
        colourButton(
            QStringLiteral("+ Add Folder"),
            [](RAZButton* b) {
                b->setButtonInsideColor(QColor(47, 47, 47), QColor(190, 190, 190), Qt::white, QColor(23, 234, 234),
                    QColor(23, 23, 23), QColor(169, 169, 169), 3, 13, false, false, 1);
            },
            QSize(120, 30)));
    return sheet.image();
}

QImage linkButtonPage()
{
    GallerySheet sheet(QStringLiteral("Hyperlink button"));
    sheet.newRow(QStringLiteral("Link styles"));
    LinkButton pale;
    pale.setTitle(QStringLiteral("View Details"));
    pale.resize(pale.sizeHint());
    sheet.addSample(QStringLiteral("setTitle"), pale);
    pale.setDown(true);
    sheet.addSample(QStringLiteral("pressed"), pale);

    LinkButton white;
    white.setTitle(QStringLiteral("View Details"), 13, false, QColor(Qt::white));
    white.resize(white.sizeHint());
    sheet.addSample(QStringLiteral("size 13, white"), white);

    LinkButton bold;
    bold.setTitleWithAlignment(QStringLiteral("Learn more"), 14, true);
    bold.resize(160, bold.sizeHint().height());
    sheet.addSample(QStringLiteral("blue, bold, right-aligned"), bold);

    CustomView light;
    light.resize(200, 40);
    auto* onLight = new LinkButton(&light);
    onLight->setTitle(QStringLiteral("Open the folder"), 13, false);
    onLight->setGeometry(QRect(QPoint(10, 10), onLight->sizeHint()));
    sheet.addSample(QStringLiteral("blue on a light panel"), light);
    return sheet.image();
}

QLabel* headerLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(systemFontOfSize(14, QFont::DemiBold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(230, 231, 233));
    label->setPalette(palette);
    return label;
}

QImage boxesPage()
{
    GallerySheet sheet(QStringLiteral("Boxes, veil and plain views"));
    sheet.newRow(QStringLiteral("Header box"));
    GradientBox header;
    header.resize(420, 36);
    header.setBackgroundImages(
        QStringLiteral("header_left"), QStringLiteral("header_mid"), QStringLiteral("header_right"));
    headerLabel(QStringLiteral("Selection Assistant"), &header)->setGeometry(14, 0, 300, 36);
    sheet.addSample(QStringLiteral("header_left / mid / right"), header);

    GradientBox unset;
    unset.resize(200, 36);
    unset.setBgImage(QStringLiteral("header_mid"));
    sheet.addSample(QStringLiteral("middle image only: draws nothing"), unset);

    GradientBox missing;
    missing.resize(200, 36);
    missing.setBackgroundImage(QStringLiteral("no_such_image"));
    sheet.addSample(QStringLiteral("missing image: draws nothing"), missing);

    sheet.newRow(QStringLiteral("Veil over a screen, pop-up window above it"));
    QWidget screen;
    screen.resize(420, 220);
    screen.setAutoFillBackground(true);
    QPalette palette = screen.palette();
    palette.setColor(QPalette::Window, darkScreenColor);
    screen.setPalette(palette);
    auto* screenHeader = new GradientBox(&screen);
    screenHeader->setGeometry(0, 0, 420, 36);
    screenHeader->setBackgroundImages(
        QStringLiteral("header_left"), QStringLiteral("header_mid"), QStringLiteral("header_right"));
    headerLabel(QStringLiteral("Duplicates"), screenHeader)->setGeometry(14, 0, 200, 36);
    auto* action = new IMGButton(&screen);
    scanNowLook(*action);
    action->setState(1);
    action->setGeometry(90, 120, 240, 48);
    auto* veil = new BlackView(&screen);
    veil->setGeometry(screen.rect());
    sheet.addSample(QStringLiteral("BlackView"), screen);

    CustomWindowNag popup;
    popup.resize(260, 120);
    auto* panel = new CustomView(&popup);
    panel->setGeometry(popup.rect());
    auto* popupHeader = new GradientBox(panel);
    popupHeader->setGeometry(0, 0, 260, 32);
    popupHeader->setBackgroundImages(
        QStringLiteral("header_left"), QStringLiteral("header_mid"), QStringLiteral("header_right"));
    headerLabel(QStringLiteral("Scan Complete"), popupHeader)->setGeometry(12, 0, 200, 32);
    auto* ok = new IMGButton(panel);
    threePartLook(QStringLiteral("blue_btn_sm_"), QStringLiteral("left"), QStringLiteral("mid"),
        QStringLiteral("right"), QStringLiteral("OK"))(*ok);
    ok->setGeometry(90, 70, 80, 32);
    sheet.addSample(QStringLiteral("CustomWindowNag with a CustomView"), popup);
    return sheet.image();
}

// A scroller showing a knob a third of its length at the given fraction.
template <typename Scroller>
void addScroller(GallerySheet& sheet, const QString& caption, Qt::Orientation orientation, double position, QSize size)
{
    Scroller scroller(orientation);
    scroller.setRange(0, 200);
    scroller.setPageStep(100);
    scroller.setValue(int(200 * position));
    scroller.resize(size);
    sheet.addSample(caption, scroller);
}

QImage scrollersPage()
{
    GallerySheet sheet(QStringLiteral("Scrollers"));
    sheet.newRow(QStringLiteral("Dark track (results tables)"));
    addScroller<CyanideScroller>(sheet, QStringLiteral("top"), Qt::Vertical, 0, QSize(15, 180));
    addScroller<CyanideScroller>(sheet, QStringLiteral("middle"), Qt::Vertical, 0.5, QSize(15, 180));
    addScroller<CyanideScroller>(sheet, QStringLiteral("end"), Qt::Vertical, 1, QSize(15, 180));
    addScroller<CyanideScroller>(sheet, QStringLiteral("horizontal"), Qt::Horizontal, 0.3, QSize(240, 15));
    sheet.newRow(QStringLiteral("Knob only (home lists)"));
    addScroller<CustomScrollView>(sheet, QStringLiteral("dark knob"), Qt::Vertical, 0.2, QSize(15, 180));
    addScroller<CustomScrollViewDefault>(sheet, QStringLiteral("light knob"), Qt::Vertical, 0.7, QSize(15, 180));
    CustomView white;
    white.resize(60, 180);
    auto* onWhite = new CustomScrollViewDefault(&white);
    onWhite->setRange(0, 200);
    onWhite->setPageStep(100);
    onWhite->setValue(100);
    onWhite->setGeometry(45, 0, 15, 180);
    sheet.addSample(QStringLiteral("light knob on a white list"), white);
    return sheet.image();
}

// Every kind of button as Tab leaves it: focused, with the ring drawn over
// its own face.
QImage focusedButtonsPage()
{
    GallerySheet sheet(QStringLiteral("Buttons reached by Tab"));
    // The ring shows on the focus of the active window: the host is shown (on
    // the offscreen display) and made active.
    QWidget host;
    host.resize(800, 400);
    auto* scan = new IMGButton(&host);
    scanNowLook(*scan);
    scan->setState(1);
    scan->setGeometry(10, 10, 300, 56);
    auto* small = new IMGButton(&host);
    threePartLook(QStringLiteral("blue_btn_sm_"), QStringLiteral("left"), QStringLiteral("mid"),
        QStringLiteral("right"), QStringLiteral("Move to Trash"))(*small);
    small->setGeometry(10, 80, 150, 32);
    auto* show = new RAZButton(&host);
    applyHomeButtonStyle(show);
    show->setText(QStringLiteral("Show Results"));
    show->setGeometry(10, 130, 160, 34);
    auto* stop = new RAZButton(&host);
    applyStopButtonStyle(stop);
    stop->setText(QStringLiteral("Stop"));
    stop->setGeometry(10, 180, 100, 30);
    auto* link = new LinkButton(&host);
    link->setTitle(QStringLiteral("Last scan results"));
    link->setGeometry(10, 220, 160, 22);
    host.show();
    host.activateWindow();
    for (int turn = 0; turn < 20 && !host.isActiveWindow(); ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const std::pair<const char*, QWidget*> buttons[] = { { "Scan Now", scan }, { "sheet default", small },
        { "colour button", show }, { "Stop", stop }, { "link", link } };
    for (const auto& [caption, button] : buttons) {
        button->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        sheet.addSample(QString::fromLatin1(caption), *button);
    }
    return sheet.image();
}

const GalleryRegistration imageButtons("controls-image-button", imageButtonPage);
const GalleryRegistration colourButtons("controls-colour-button", colourButtonPage);
const GalleryRegistration linkButtons("controls-link-button", linkButtonPage);
const GalleryRegistration boxes("controls-boxes-and-views", boxesPage);
const GalleryRegistration scrollers("controls-scrollers", scrollersPage);
const GalleryRegistration focusedButtons("controls-focused-buttons", focusedButtonsPage);

} // namespace
