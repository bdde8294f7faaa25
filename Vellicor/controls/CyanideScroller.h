#pragma once

#include <QColor>
#include <QScrollBar>

// The dark scroller of the results tables: a dark track and a lighter rounded
// knob, no arrows and no slot. Its direction follows its shape.
class CyanideScroller : public QScrollBar {
    Q_OBJECT

public:
    explicit CyanideScroller(QWidget* parent = nullptr);
    CyanideScroller(Qt::Orientation orientation, QWidget* parent = nullptr);

    bool isHorizontal() const { return isHorizontal_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QColor bkgrColour_ { 52, 52, 52 };
    QColor knobColour_ { 82, 82, 82 };
    bool isHorizontal_ = false;
};
