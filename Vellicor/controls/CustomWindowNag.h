#pragma once

#include <QDialog>

// The borderless, shadowless window of the pop-up windows (scan complete,
// trash confirmation, after clean, …). Whatever decorations a caller asks for,
// it comes out without frame or shadow, paints only what its content paints,
// follows the mouse and still takes keyboard focus.
class CustomWindowNag : public QDialog {
    Q_OBJECT

public:
    explicit CustomWindowNag(QWidget* parent = nullptr, Qt::WindowFlags requested = {});
};
