#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QRectF>

#include <optional>

class QPainter;

// The look of a colour button: border, inner fill (with a faint gradient while
// pressed) and title colours for the enabled and disabled state. Colours not
// set yet fall back to the light defaults below.
class RAZButtonCell {
public:
    void setButtonInsideColor(const QColor& insideColor, const QColor& disableInsideColor,
        const QColor& enableTextColor, const QColor& disableTextColor, const QColor& borderEnColor,
        const QColor& borderDisColor, double roundedRadius, int fontSize, bool fontPropertyIsLight, bool isBold,
        double outerLineWidth);

    QColor getColorForButtonType(bool enabled) const;
    QColor getBorderColorEnable() const;
    QColor getBorderColorDisable() const;
    QColor getEnableButtonTextColor() const;
    QColor getDisableButtonTextColor() const;

    double roundedRadius() const { return roundedRadius_; }
    double outerWidth() const { return outerWidth_; }
    // Kept for the screens; the drawing uses the button's own font.
    int textFontSize() const { return textFontSize_; }
    bool isLightFont() const { return isLightFont_; }
    bool isBoldFont() const { return isBoldFont_; }

    void drawBezelWithFrame(QPainter& painter, const QRectF& frame, bool enabled, bool highlighted) const;
    void drawTitle(QPainter& painter, const QString& title, const QFont& font, const QRectF& frame, bool enabled) const;

private:
    std::optional<QColor> btnInsideColor_;
    std::optional<QColor> btnDisInsideColor_;
    double roundedRadius_ = 0;
    std::optional<QColor> btnBorderColorEnableState_;
    std::optional<QColor> btnBorderColorDisableState_;
    std::optional<QColor> textColorDisableState_;
    std::optional<QColor> textColorEnableState_;
    int textFontSize_ = 0;
    bool isLightFont_ = false;
    bool isBoldFont_ = false;
    double outerWidth_ = 0;
};

// The flat, rounded colour button of the screens. Clicks are Qt's usual ones;
// right clicks are swallowed (no context menu). Tab reaches it (a mouse click
// leaves the focus alone); focused, it shows a ring and Space or Enter press
// it. GUI thread only.
class RAZButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit RAZButton(QWidget* parent = nullptr);

    // Stores the eleven values in the cell; the caller asks for a redraw.
    void setButtonInsideColor(const QColor& insideColor, const QColor& disableInsideColor,
        const QColor& enableTextColor, const QColor& disableTextColor, const QColor& borderEnColor,
        const QColor& borderDisColor, double roundedRadius, int fontSize, bool fontPropertyIsLight, bool isBold,
        double outerLineWidth);

    RAZButtonCell& cell() { return cell_; }
    const RAZButtonCell& cell() const { return cell_; }

    // The cursor over the button; a pointing hand while none is set.
    std::optional<QCursor> buttonCursor() const { return cursor_; }
    void setButtonCursor(const std::optional<QCursor>& cursor);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The focus ring over what paintEvent drew; subclasses that paint
    // themselves end with it.
    void drawFocusRing(QPainter& painter) const;

private:
    RAZButtonCell cell_;
    std::optional<QCursor> cursor_;
};
