#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QVariantAnimation;

// The big action button, drawn from three-part images chosen by enabled
// state, on/off state and press, with a title fitted to the button.
//
// It runs its own click sequence instead of Qt's: a press disables it; a
// release inside emits clicked() while the button is still disabled and in its
// old state, then flips the state and re-enables it only when
// enableImmediately is set; a release outside only re-enables it. Screens rely
// on that order (an action that refuses sets the state it wants the flip to
// undo, and a long action keeps the button disabled). Tab reaches the button,
// which then shows a focus ring; Space and Enter run the same sequence.
// GUI thread only.
class IMGButton : public QAbstractButton {
    Q_OBJECT

public:
    // One computed text layout: the font and colour to draw with, the measured
    // text and the inset rectangle it is centred in.
    struct TextLayout {
        QFont font;
        QSizeF size;
        QRectF rect;
        bool valid = false;
    };

    explicit IMGButton(QWidget* parent = nullptr);
    ~IMGButton() override;

    // 0 off, 1 on; any other value keeps the look of the last draw.
    int state() const { return state_; }
    void setState(int state);

    void setButtonImages(const QString& imgOnState_St, const QString& imgOnState_Md, const QString& imgOnState_En,
        const QString& imgOnStateDwn_St, const QString& imgOnStateDwn_Md, const QString& imgOnStateDwn_En,
        const QString& imgOnStateDis_St, const QString& imgOnStateDis_Md, const QString& imgOnStateDis_En,
        const QString& imgOffState_St, const QString& imgOffState_Md, const QString& imgOffState_En,
        const QString& imgOffStateDwn_St, const QString& imgOffStateDwn_Md, const QString& imgOffStateDwn_En,
        const QString& imgOffStateDis_St, const QString& imgOffStateDis_Md, const QString& imgOffStateDis_En);
    // The same nine names (normal, pressed, disabled) for both states.
    void setButtonsImages(const QString& imgState_St, const QString& imgState_Md, const QString& imgState_En,
        const QString& imgStateDwn_St, const QString& imgStateDwn_Md, const QString& imgStateDwn_En,
        const QString& imgStateDis_St, const QString& imgStateDis_Md, const QString& imgStateDis_En);

    QColor colorOnState() const { return colorOnState_; }
    void setColorOnState(const QColor& color);
    QColor colorOnStateDis() const { return colorOnStateDis_; }
    void setColorOnStateDis(const QColor& color);
    QColor colorOffState() const { return colorOffState_; }
    void setColorOffState(const QColor& color);
    QColor colorOffStateDis() const { return colorOffStateDis_; }
    void setColorOffStateDis(const QColor& color);

    int marginLeft() const { return marginLeft_; }
    void setMarginLeft(int margin);
    int marginRight() const { return marginRight_; }
    void setMarginRight(int margin);
    int marginTop() const { return marginTop_; }
    void setMarginTop(int margin);
    int marginBottom() const { return marginBottom_; }
    void setMarginBottom(int margin);
    int marginTopML() const { return marginTopML_; }
    void setMarginTopML(int margin);
    int marginBottomML() const { return marginBottomML_; }
    void setMarginBottomML(int margin);
    QString multiLineStr() const { return multiLineStr_; }
    void setMultiLineStr(const QString& separator);

    bool enableImmediately() const { return enableImmediately_; }
    void setEnableImmediately(bool enable) { enableImmediately_ = enable; }
    bool makeBoldFont() const { return makeBoldFont_; }
    void setMakeBoldFont(bool bold);
    // Preferred title size in points; 0 for none. Never grows the title past
    // what fits.
    int fontSizeForButton() const { return fontSizeForButton_; }
    void setFontSizeForButton(int size);

    // A small named image before the title (a sign-in service's mark); empty
    // for none. The title is fitted to the room beside it.
    QString imageName() const { return imageName_; }
    void setImageName(const QString& name);

    bool isMouseDown() const { return isMouseDown_; }
    // One whole click as from the keyboard: press, then release inside.
    // Nothing while disabled or while a press is under way.
    void activate();

    // Computes the one-line (multi false) or two-line layout of the current
    // title in rect and keeps it as the layout of its kind. The title takes the
    // largest size up to 50 at which it fits the rect less the margins, or
    // the preferred size when that is smaller.
    void getAttributesForRect(const QRectF& rect, bool multi);
    const TextLayout& oneLineLayout() const { return layoutNoM_; }
    const TextLayout& twoLineLayout() const { return layoutM_; }
    // The rectangle the title was last drawn in.
    QRectF rectText() const { return rectText_; }

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct ImageNames {
        QString start, middle, end;
    };
    void fadeTo(qreal opacity);
    void finishClick(bool inside);

    QString imgOnState_[3], imgOnStateDwn_[3], imgOnStateDis_[3];
    QString imgOffState_[3], imgOffStateDwn_[3], imgOffStateDis_[3];
    ImageNames pattern_;
    QColor colorOnState_ { Qt::white };
    QColor colorOnStateDis_ { 200, 200, 200 };
    QColor colorOffState_ { Qt::white };
    QColor colorOffStateDis_ { 200, 200, 200 };
    QColor colorText_;
    int state_ = 0;
    bool isMouseDown_ = false;
    int marginLeft_ = 5, marginRight_ = 5, marginTop_ = 5, marginBottom_ = 5;
    int marginTopML_ = 2, marginBottomML_ = 2;
    QString multiLineStr_ = QStringLiteral(" ");
    QString imageName_;
    TextLayout layoutM_, layoutNoM_;
    QRectF rectText_;
    bool enableImmediately_ = true;
    bool makeBoldFont_ = false;
    int fontSizeForButton_ = 0;
    qreal opacity_ = 1.0;
    QVariantAnimation* fade_ = nullptr;
};
