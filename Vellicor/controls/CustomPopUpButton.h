#pragma once

#include <QColor>
#include <QComboBox>
#include <QImage>

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

    // A hidden item is neither shown in the open list nor chosen by keys,
    // typing or the wheel.
    void setItemHidden(int index, bool hidden);
    bool isItemHidden(int index) const;

    // Whether the wheel over the closed button steps through the items.
    void setSwitchesOnWheel(bool switches) { switchesOnWheel_ = switches; }

    // The image the closed button draws two spaces after the chosen item's
    // title; the open list shows plain titles. A null image draws none.
    void setTitleMark(const QImage& mark);
    // The title the closed button shows, the two spaces included when a
    // mark follows.
    QString closedTitle() const;
    bool showsTitleMark() const { return !titleMark_.isNull() && currentIndex() >= 0; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    std::optional<QColor> textColor_ = QColor(Qt::white);
    bool switchesOnWheel_ = true;
    QImage titleMark_;
};

// Sets a standard button's title (push, tool, check and radio buttons) in the
// given colour, keeping its font and alignment. Buttons that draw their own
// titles (the image and colour buttons, links) are left unchanged.
void setColoredTitle(QAbstractButton* button, const QString& title, const QColor& color);
