#include "controls/IMGButton.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/NamedImage.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QVariantAnimation>
#include <QtMath>

#include <algorithm>

namespace {

constexpr int smallestTitleSize = 5;
constexpr int largestTitleSize = 50;
// From this size on the fit is measured in the bold face, which is wider.
constexpr int firstBoldMeasureSize = 19;
constexpr qreal hoverOpacity = 0.8;
constexpr int fadeMilliseconds = 250;

// The colour of the face an image of a button's middle paints, as the focus
// ring needs it; none for an image that leaves its centre clear. Measured
// once per image.
std::optional<QColor> faceColourOf(const QString& middle)
{
    static QHash<QString, std::optional<QColor>> faces;
    if (const auto known = faces.constFind(middle); known != faces.constEnd())
        return *known;
    std::optional<QColor> face;
    if (const NamedImage image = NamedImage::load(middle); !image.isNull()) {
        QImage pixels(16, 16, QImage::Format_ARGB32_Premultiplied);
        pixels.fill(Qt::transparent);
        QPainter painter(&pixels);
        image.draw(painter, QRectF(pixels.rect()));
        painter.end();
        const QColor centre = pixels.pixelColor(8, 8);
        if (centre.alpha() >= 128)
            face = centre;
    }
    faces.insert(middle, face);
    return face;
}

// The title's parts at the separator; an empty separator never splits.
QStringList titleParts(const QString& title, const QString& separator)
{
    if (separator.isEmpty())
        return { title };
    return title.split(separator);
}

// The two-line form of a title: the first half of its parts on line one.
QString twoLineTitle(const QString& title, const QString& separator)
{
    const QStringList parts = titleParts(title, separator);
    if (parts.size() < 2)
        return title;
    const qsizetype half = parts.size() / 2;
    return parts.mid(0, half).join(separator) + QLatin1Char('\n') + parts.mid(half).join(separator);
}

QSizeF measuredSize(const QString& text, const QFont& font)
{
    return QFontMetricsF(font).size(0, text);
}

} // namespace

IMGButton::IMGButton(QWidget* parent)
    : QAbstractButton(parent)
{
    // Tab reaches it; a mouse click leaves the focus where it was. Keys run
    // the same click sequence as the mouse.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

IMGButton::~IMGButton() = default;

void IMGButton::setState(int state)
{
    state_ = state;
    update();
}

void IMGButton::setButtonImages(const QString& imgOnState_St, const QString& imgOnState_Md,
    const QString& imgOnState_En, const QString& imgOnStateDwn_St, const QString& imgOnStateDwn_Md,
    const QString& imgOnStateDwn_En, const QString& imgOnStateDis_St, const QString& imgOnStateDis_Md,
    const QString& imgOnStateDis_En, const QString& imgOffState_St, const QString& imgOffState_Md,
    const QString& imgOffState_En, const QString& imgOffStateDwn_St, const QString& imgOffStateDwn_Md,
    const QString& imgOffStateDwn_En, const QString& imgOffStateDis_St, const QString& imgOffStateDis_Md,
    const QString& imgOffStateDis_En)
{
    isMouseDown_ = false;
    const auto assign = [](QString(&slot)[3], const QString& start, const QString& middle, const QString& end) {
        slot[0] = start;
        slot[1] = middle;
        slot[2] = end;
    };
    assign(imgOnState_, imgOnState_St, imgOnState_Md, imgOnState_En);
    assign(imgOnStateDwn_, imgOnStateDwn_St, imgOnStateDwn_Md, imgOnStateDwn_En);
    assign(imgOnStateDis_, imgOnStateDis_St, imgOnStateDis_Md, imgOnStateDis_En);
    assign(imgOffState_, imgOffState_St, imgOffState_Md, imgOffState_En);
    assign(imgOffStateDwn_, imgOffStateDwn_St, imgOffStateDwn_Md, imgOffStateDwn_En);
    assign(imgOffStateDis_, imgOffStateDis_St, imgOffStateDis_Md, imgOffStateDis_En);
}

void IMGButton::setButtonsImages(const QString& imgState_St, const QString& imgState_Md, const QString& imgState_En,
    const QString& imgStateDwn_St, const QString& imgStateDwn_Md, const QString& imgStateDwn_En,
    const QString& imgStateDis_St, const QString& imgStateDis_Md, const QString& imgStateDis_En)
{
    setButtonImages(imgState_St, imgState_Md, imgState_En, imgStateDwn_St, imgStateDwn_Md, imgStateDwn_En,
        imgStateDis_St, imgStateDis_Md, imgStateDis_En, imgState_St, imgState_Md, imgState_En, imgStateDwn_St,
        imgStateDwn_Md, imgStateDwn_En, imgStateDis_St, imgStateDis_Md, imgStateDis_En);
}

void IMGButton::setColorOnState(const QColor& color)
{
    colorOnState_ = color;
    update();
}

void IMGButton::setColorOnStateDis(const QColor& color)
{
    colorOnStateDis_ = color;
    update();
}

void IMGButton::setColorOffState(const QColor& color)
{
    colorOffState_ = color;
    update();
}

void IMGButton::setColorOffStateDis(const QColor& color)
{
    colorOffStateDis_ = color;
    update();
}

void IMGButton::setMarginLeft(int margin)
{
    marginLeft_ = margin;
    update();
}

void IMGButton::setMarginRight(int margin)
{
    marginRight_ = margin;
    update();
}

void IMGButton::setMarginTop(int margin)
{
    marginTop_ = margin;
    update();
}

void IMGButton::setMarginBottom(int margin)
{
    marginBottom_ = margin;
    update();
}

void IMGButton::setMarginTopML(int margin)
{
    marginTopML_ = margin;
    update();
}

void IMGButton::setMarginBottomML(int margin)
{
    marginBottomML_ = margin;
    update();
}

void IMGButton::setMultiLineStr(const QString& separator)
{
    multiLineStr_ = separator;
    update();
}

void IMGButton::setMakeBoldFont(bool bold)
{
    makeBoldFont_ = bold;
    update();
}

void IMGButton::setFontSizeForButton(int size)
{
    fontSizeForButton_ = size;
    update();
}

void IMGButton::getAttributesForRect(const QRectF& rect, bool multi)
{
    const QString title = multi ? twoLineTitle(text(), multiLineStr_) : text();
    const int top = multi ? marginTopML_ : marginTop_;
    const int bottom = multi ? marginBottomML_ : marginBottom_;
    const QRectF inset(rect.x() + marginLeft_, rect.y() + top, rect.width() - marginLeft_ - marginRight_,
        rect.height() - top - bottom);

    int overflowSize = largestTitleSize + 1;
    for (int size = smallestTitleSize; size <= largestTitleSize; ++size) {
        const QFont font = systemFontOfSize(size, size >= firstBoldMeasureSize ? QFont::Bold : QFont::Normal);
        const QSizeF measured = measuredSize(title, font);
        if (measured.width() > inset.width() || measured.height() > inset.height()) {
            overflowSize = size;
            break;
        }
    }
    // A title that fits even at the largest size takes that size; a preferred
    // size only ever shrinks the title, and 0 means there is none.
    QFont font = systemFontOfSize(overflowSize - 1);
    if (fontSizeForButton_ > 0 && fontSizeForButton_ < overflowSize)
        font = systemFontOfSize(fontSizeForButton_, makeBoldFont_ ? QFont::DemiBold : QFont::Normal);

    TextLayout& layout = multi ? layoutM_ : layoutNoM_;
    layout.font = font;
    layout.size = measuredSize(title, font);
    layout.rect = inset.translated(0, (inset.height() - layout.size.height()) * 0.5);
    layout.valid = true;
}

void IMGButton::setImageName(const QString& name)
{
    if (imageName_ == name)
        return;
    imageName_ = name;
    update();
}

QSize IMGButton::sizeHint() const
{
    const QSizeF title = measuredSize(text(), systemFontOfSize(fontSizeForButton_ > 0 ? fontSizeForButton_ : 13));
    return QSize(qCeil(title.width()) + marginLeft_ + marginRight_ + 40,
        qMax(32, qCeil(title.height()) + marginTop_ + marginBottom_ + 12));
}

bool IMGButton::event(QEvent* event)
{
    // The button disables itself for the press, and Qt hands a disabled
    // widget no mouse events: the release that ends the press is taken here.
    if (isMouseDown_ && !isEnabled()) {
        if (event->type() == QEvent::MouseButtonRelease) {
            mouseReleaseEvent(static_cast<QMouseEvent*>(event));
            return true;
        }
    }
    // A mnemonic in the title would click past the sequence.
    if (event->type() == QEvent::Shortcut)
        return true;
    return QAbstractButton::event(event);
}

void IMGButton::paintEvent(QPaintEvent*)
{
    const QString oTitle = text();

    const QString* names = nullptr;
    if (state_ == 0 || state_ == 1) {
        const bool on = state_ == 1;
        if (!isEnabled()) {
            names = on ? imgOnStateDis_ : imgOffStateDis_;
            colorText_ = on ? colorOnStateDis_ : colorOffStateDis_;
        } else if (isMouseDown_) {
            names = on ? imgOnStateDwn_ : imgOffStateDwn_;
            colorText_ = on ? colorOnState_ : colorOffState_;
        } else {
            names = on ? imgOnState_ : imgOffState_;
            colorText_ = on ? colorOnState_ : colorOffState_;
        }
        pattern_ = { names[0], names[1], names[2] };
    }

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity_);
    drawThreePartImage(painter, rect(), NamedImage::load(pattern_.start), NamedImage::load(pattern_.middle),
        NamedImage::load(pattern_.end), false);

    QRectF titleRoom = rect();
    if (const NamedImage image = imageName_.isEmpty() ? NamedImage() : NamedImage::load(imageName_);
        !image.isNull()) {
        const qreal side = std::min<qreal>(image.naturalSize().height(), height() - marginTop_ - marginBottom_);
        const QRectF imageFrame(marginLeft_ + 6, (height() - side) / 2, side, side);
        image.drawCentred(painter, imageFrame);
        titleRoom.setLeft(imageFrame.right() + 2);
    }
    getAttributesForRect(titleRoom, false);
    const bool splits = titleParts(oTitle, multiLineStr_).size() > 1 || oTitle.contains(QLatin1Char('\n'));
    QRectF textRect = layoutNoM_.rect;
    if (splits && isMouseDown_)
        textRect.translate(1, 1);
    rectText_ = textRect;

    painter.setFont(layoutNoM_.font);
    painter.setPen(colorText_.isValid() ? colorText_ : QColor(Qt::white));
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, oTitle);
    drawFocusRingIfFocused(painter, this, std::min(8.0, height() / 2.0), faceColourOf(pattern_.middle));
}

void IMGButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    isMouseDown_ = true;
    setEnabled(false);
    update();
}

void IMGButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isMouseDown_ || event->button() != Qt::LeftButton)
        return;
    const QPointF point = event->position();
    finishClick(point.x() >= 0 && point.x() <= width() && point.y() >= 0 && point.y() <= height());
}

void IMGButton::activate()
{
    if (!isEnabled() || isMouseDown_)
        return;
    // Disabling the focused button hands the focus on; a key press brings it
    // back once the button is enabled again, so a second press acts too.
    const bool hadFocus = hasFocus();
    isMouseDown_ = true;
    setEnabled(false);
    const QPointer<IMGButton> alive(this);
    finishClick(true);
    if (alive && hadFocus && isEnabled() && isVisible())
        setFocus(Qt::OtherFocusReason);
}

void IMGButton::finishClick(bool inside)
{
    isMouseDown_ = false;
    update();
    if (!inside) {
        setEnabled(true);
        return;
    }
    // The action may close the screen that owns this button.
    const QPointer<IMGButton> alive(this);
    emit clicked(false);
    if (!alive)
        return;
    state_ = state_ != 0 ? 0 : 1;
    if (enableImmediately_)
        setEnabled(true);
    update();
}

void IMGButton::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void IMGButton::keyPressEvent(QKeyEvent* event)
{
    if (isEnterKey(event) || (event->key() == Qt::Key_Space && !event->isAutoRepeat())) {
        event->accept();
        activate();
        return;
    }
    QWidget::keyPressEvent(event);
}

void IMGButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || isEnterKey(event)) {
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void IMGButton::focusInEvent(QFocusEvent* event)
{
    QAbstractButton::focusInEvent(event);
    update();
}

void IMGButton::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    update();
}

void IMGButton::enterEvent(QEnterEvent*)
{
    if (isEnabled())
        fadeTo(hoverOpacity);
}

void IMGButton::leaveEvent(QEvent*)
{
    if (isEnabled())
        fadeTo(1.0);
}

void IMGButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QAbstractButton::changeEvent(event);
}

void IMGButton::fadeTo(qreal opacity)
{
    if (!fade_) {
        fade_ = new QVariantAnimation(this);
        fade_->setDuration(fadeMilliseconds);
        connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            opacity_ = value.toReal();
            update();
        });
    }
    fade_->stop();
    fade_->setStartValue(opacity_);
    fade_->setEndValue(opacity);
    fade_->start();
}
