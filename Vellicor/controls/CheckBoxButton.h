#pragma once

#include <QAbstractButton>

// A check box in the application's own look (drawCheckBox) with three
// states: 1 on, 0 off, -1 mixed. A click turns an off box on and an on or
// mixed box off before clicked is emitted, so the receiver reads the state
// the user asked for. GUI thread only.
class CheckBoxButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CheckBoxButton(QWidget* parent = nullptr);

    int state() const { return state_; }
    void setState(int state);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void nextCheckState() override;

private:
    int state_ = 0;
};
