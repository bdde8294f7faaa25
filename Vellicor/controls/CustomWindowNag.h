#pragma once

#include <QDialog>
#include <QPixmap>

// The borderless, shadowless window of the pop-up windows (scan complete,
// trash confirmation, after clean, …). Whatever decorations a caller asks for,
// it comes out without frame or shadow, paints only what its content paints,
// follows the mouse and still takes the keys (though it is no stop of Tab:
// only its controls show the focus). Under its content it
// paints the part of its parent's window it covers, as that looked when it
// opened: a display without a compositor shows a translucent window's empty
// parts black, which would hide the whole window behind a veil. It opens with
// the focus on its default button (setDefaultButton); Enter presses that
// button unless another focused button takes it; Escape rejects it.
class CustomWindowNag : public QDialog {
    Q_OBJECT

public:
    explicit CustomWindowNag(QWidget* parent = nullptr, Qt::WindowFlags requested = {});

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap backdrop_;
};
