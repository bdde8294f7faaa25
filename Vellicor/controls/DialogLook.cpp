#include "controls/DialogLook.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/NamedImage.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFontMetrics>
#include <QIconEngine>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <functional>

namespace {

const QColor panelColour(40, 40, 42);
const QColor fieldColour(29, 29, 29);
const QColor textColour(208, 210, 214);
const QColor dimTextColour(124, 127, 133);
const QColor buttonColour(58, 60, 64);
const QColor blue(55, 151, 250);
constexpr int alertIconSide = 48;
// The size of the screens' own texts, which every dialog shares.
constexpr int dialogFontSize = 13;
// Room the window manager's title bar takes beside a centred title: the
// window buttons on one side, mirrored on the other, and the margins.
constexpr int titleBarAllowance = 160;

QPalette darkPalette(QPalette palette)
{
    for (const QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        const bool disabled = group == QPalette::Disabled;
        palette.setColor(group, QPalette::Window, panelColour);
        palette.setColor(group, QPalette::WindowText, disabled ? dimTextColour : textColour);
        palette.setColor(group, QPalette::Base, fieldColour);
        palette.setColor(group, QPalette::AlternateBase, panelColour);
        palette.setColor(group, QPalette::Text, disabled ? dimTextColour : textColour);
        palette.setColor(group, QPalette::PlaceholderText, dimTextColour);
        palette.setColor(group, QPalette::Button, buttonColour);
        palette.setColor(group, QPalette::ButtonText, disabled ? dimTextColour : textColour);
        palette.setColor(group, QPalette::Highlight, blue);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::ToolTipBase, panelColour);
        palette.setColor(group, QPalette::ToolTipText, textColour);
        palette.setColor(group, QPalette::Link, blue);
    }
    return palette;
}

constexpr int buttonSidePadding = 16;
constexpr int buttonBorder = 1;
constexpr int minimumButtonTitleWidth = 64;

QString buttonStyleSheet()
{
    return QStringLiteral("QPushButton { background: %1; color: %2; border: %6px solid #55575b; border-radius: 5px;"
                          " padding: 4px %5px; min-width: %7px; min-height: 20px; }"
                          "QPushButton:default { background: %3; border-color: %3; color: white; font-weight: 600; }"
                          "QPushButton:pressed { background: #2a2b2e; }"
                          "QPushButton:default:pressed { background: #2a78c8; }"
                          "QPushButton:disabled { color: %4; }")
               .arg(buttonColour.name(), textColour.name(), blue.name(), dimTextColour.name())
               .arg(buttonSidePadding)
               .arg(buttonBorder)
               .arg(minimumButtonTitleWidth)
        + focusRingStyleSheet(QStringLiteral(":default"));
}

// Text fields sunk into the panel, framed like the buttons; the focused one
// framed in blue.
QString fieldStyleSheet()
{
    return QStringLiteral("QLineEdit, QPlainTextEdit, QTextEdit { background: %1; color: %2;"
                          " border: 1px solid #55575b; border-radius: 4px; padding: 2px;"
                          " selection-background-color: %3; selection-color: white; }"
                          "QLineEdit:focus, QPlainTextEdit:focus, QTextEdit:focus { border-color: %3; }"
                          "QLineEdit:disabled, QPlainTextEdit:disabled, QTextEdit:disabled { color: %4; }")
        .arg(fieldColour.name(), textColour.name(), blue.name(), dimTextColour.name());
}

void drawAlertIcon(QPainter& painter, AlertStyle style, const QRectF& frame)
{
    const char* name = "alert_warning";
    switch (style) {
    case AlertStyle::informational:
        name = "alert_info";
        break;
    case AlertStyle::critical:
        name = "alert_critical";
        break;
    case AlertStyle::warning:
        break;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    NamedImage::load(QString::fromLatin1(name)).drawCentred(painter, frame);
}

// Our alert icon drawn afresh at whatever size and scale is asked, so it
// stays sharp.
class AlertIconEngine : public QIconEngine {
public:
    explicit AlertIconEngine(AlertStyle style)
        : style_(style)
    {
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        drawAlertIcon(*painter, style_, rect);
    }
    // size counts device pixels; the icon sets the pixmap's scale.
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return alertIcon(style_, qMin(size.width(), size.height()), 1.0);
    }
    QIconEngine* clone() const override { return new AlertIconEngine(style_); }

private:
    AlertStyle style_;
};

// Qt sizes a push button for its title in the button's own font, while the
// look draws the default button's title bold; and any button of a dialog may
// become the default once it has the focus. So every button gets room for its
// title bold, measured when the dialog shows, after its buttons are added. A
// style sheet sets the buttons' least size on every polish, so the room is a
// rule of the button's own.
void makeRoomForBoldTitles(QWidget* dialog)
{
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        QFont bold = button->font();
        bold.setWeight(QFont::DemiBold);
        // The focus ring's border is wider than the plain one by a pixel
        // on either side.
        const int room = QFontMetrics(bold).horizontalAdvance(button->text()) + 2;
        const QString rule = QStringLiteral("QPushButton { min-width: %1px; }").arg(room);
        if (room > minimumButtonTitleWidth && button->styleSheet() != rule)
            button->setStyleSheet(rule);
    }
}

class BoldTitleRoom : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            makeRoomForBoldTitles(static_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

void applyDarkDialogLook(QWidget* dialog)
{
    if (!dialog)
        return;
    dialog->setPalette(darkPalette(dialog->palette()));
    dialog->setAutoFillBackground(true);
    dialog->setFont(systemFontOfSize(dialogFontSize));
    dialog->setStyleSheet(dialog->styleSheet() + buttonStyleSheet() + fieldStyleSheet());
    const QString roomName = QStringLiteral("boldTitleRoom");
    if (!dialog->findChild<QObject*>(roomName, Qt::FindDirectChildrenOnly)) {
        auto* room = new BoldTitleRoom(dialog);
        room->setObjectName(roomName);
        dialog->installEventFilter(room);
    }
}

QPixmap alertIcon(AlertStyle style, int side, qreal devicePixelRatio)
{
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawAlertIcon(painter, style, QRectF(0, 0, side, side));
    return pixmap;
}

namespace {

// Keeps an alert within the free area of its screen, its buttons with it:
// the box sizes itself from its texts whenever it is shown or they change,
// and a text taller than the area loses its last lines (the informative
// text's first, then the message's) to a line "…" until the box fits; the
// box is then moved into the area. The texts that go are the ones told last.
class AlertOnScreen : public QObject {
public:
    static constexpr const char* name = "alertOnScreen";

    explicit AlertOnScreen(QMessageBox* box)
        : QObject(box)
        , box_(box)
    {
        setObjectName(QString::fromLatin1(name));
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == box_ && !fitting_ && box_->isVisible()
            && (event->type() == QEvent::Show || event->type() == QEvent::Resize))
            fit();
        return false;
    }

private:
    // The height the box takes: once shown, its size is fixed to what its
    // texts need.
    int needed() const
    {
        return box_->minimumHeight() == box_->maximumHeight() ? box_->minimumHeight() : box_->sizeHint().height();
    }

    void fit()
    {
        const QScreen* screen = box_->screen();
        if (!screen)
            return;
        fitting_ = true;
        const QRect area = screen->availableGeometry();
        const int frame = std::max(0, box_->frameGeometry().height() - box_->height());
        const int room = area.height() - frame;
        const auto shorten = [&](const QString& text, const std::function<void(const QString&)>& set) {
            if (needed() <= room)
                return;
            const QStringList lines = text.split(QLatin1Char('\n'));
            const QString more = QString(QChar(0x2026));
            const auto keep = [&](qsizetype count) {
                set((lines.first(count) + QStringList { more }).join(QLatin1Char('\n')));
                return needed() <= room;
            };
            // The most lines that fit, found by halving: each try lays the
            // box out again.
            if (lines.size() > 1) {
                qsizetype fits = 1;
                qsizetype tooMany = lines.size();
                while (tooMany - fits > 1) {
                    const qsizetype middle = fits + (tooMany - fits) / 2;
                    (keep(middle) ? fits : tooMany) = middle;
                }
                if (keep(fits))
                    return;
                set(lines.constFirst());
            }
            // One line too long for the screen is cut at its end.
            QString line = lines.constFirst();
            while (needed() > room && line.size() > 40) {
                line.truncate(line.size() / 2);
                set(line + more);
            }
        };
        shorten(box_->informativeText(), [this](const QString& text) { box_->setInformativeText(text); });
        shorten(box_->text(), [this](const QString& text) { box_->setText(text); });
        // Placed over its window before it knew its height: moved into the
        // area where it reaches past it.
        const QRect placed = box_->frameGeometry();
        const int top = std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() + 1 - placed.height()));
        if (top != placed.top())
            box_->move(box_->x(), box_->y() + top - placed.top());
        fitting_ = false;
    }

    QMessageBox* box_;
    bool fitting_ = false;
};

} // namespace

QIcon alertStandardIcon(AlertStyle style)
{
    return QIcon(new AlertIconEngine(style));
}

void applyAlertLook(QMessageBox* box, AlertStyle style)
{
    if (!box)
        return;
    applyDarkDialogLook(box);
    const qreal ratio = box->parentWidget() ? box->parentWidget()->devicePixelRatioF() : qApp->devicePixelRatio();
    box->setIconPixmap(alertIcon(style, alertIconSide, ratio));
    // The box sizes itself from its texts, so a short text (a name and a
    // version) would leave it narrower than its own title. The button row
    // carries the width: a width on the texts would keep long ones from
    // wrapping.
    if (auto* buttons = box->findChild<QDialogButtonBox*>())
        buttons->setMinimumWidth(alertWidthForTitle(box->windowTitle(), box->font()));
    if (!box->findChild<QObject*>(QString::fromLatin1(AlertOnScreen::name), Qt::FindDirectChildrenOnly))
        new AlertOnScreen(box);
}

int alertWidthForTitle(const QString& title, QFont font)
{
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + titleBarAllowance;
}
