#pragma once

#include <QColor>
#include <QComboBox>

#include <optional>

class QAbstractButton;

// The dark pop-up menus' button: its title drawn in its own colour (white
// unless set; no colour draws the style's). GUI thread only.
class CustomPopUpButton : public QComboBox {
    Q_OBJECT

public:
    explicit CustomPopUpButton(QWidget* parent = nullptr);

    std::optional<QColor> textColor() const { return textColor_; }
    void setTextColor(const std::optional<QColor>& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QColor> textColor_ = QColor(Qt::white);
};

// Sets a standard button's title (push, tool, check and radio buttons) in the
// given colour, keeping its font and alignment. Buttons that draw their own
// titles (the image and colour buttons, links) are left unchanged.
void setColoredTitle(QAbstractButton* button, const QString& title, const QColor& color);
