#pragma once

#include <QColor>
#include <QScrollBar>

// The scrollers of the home screen's lists: no track, no arrows, only a
// rounded knob. CustomScrollView's knob is dark grey for the dark lists,
// CustomScrollViewDefault's the light grey of the light ones.
class CustomScrollView : public QScrollBar {
    Q_OBJECT

public:
    explicit CustomScrollView(QWidget* parent = nullptr);
    CustomScrollView(Qt::Orientation orientation, QWidget* parent = nullptr);

    // The pointer is over the scroller.
    bool isHighlight() const { return isHighlight_; }

protected:
    CustomScrollView(Qt::Orientation orientation, const QColor& knobColour, QWidget* parent);

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QColor knobColour_;
    bool isHighlight_ = false;
};

class CustomScrollViewDefault : public CustomScrollView {
    Q_OBJECT

public:
    explicit CustomScrollViewDefault(QWidget* parent = nullptr);
    CustomScrollViewDefault(Qt::Orientation orientation, QWidget* parent = nullptr);
};
