#pragma once

#include <QWidget>

// The half-transparent black veil laid over a window's content while a sheet
// or pop-up window stands above it. The sheet presenter creates it over the
// parent's whole content and removes it with the sheet.
class BlackView : public QWidget {
    Q_OBJECT

public:
    explicit BlackView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
