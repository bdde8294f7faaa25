#pragma once

#include <QWidget>

// The dark panel a sheet's controls stand on: one fill with a faint edge,
// square as the newer systems draw their sheets. Every sheet and sheet-like
// window of the program uses it, so they look alike.
class SheetPanel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};
