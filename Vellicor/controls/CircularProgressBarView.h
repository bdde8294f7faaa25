#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// A colour from six hexadecimal digits ("0c7eeb"); characters other than
// letters and digits around them are ignored ("#0c7eeb"), and text that does
// not start with hexadecimal digits gives black. Opaque. Pure.
QColor colorFromHex(const QString& hex);

// The ring that shows the progress of a scan, a removal or a load: a blue arc
// clockwise from three o'clock between two black rings. The screens write
// progress (a fraction 0 … 1 while work runs; 100 when it has finished) and
// then ask for a redraw; the view does not redraw by itself. Any value of 1
// or more draws the whole ring, and a value below 0 (or not a number) no arc.
// GUI thread only.
class CircularProgressBarView : public QWidget {
    Q_OBJECT

public:
    explicit CircularProgressBarView(QWidget* parent = nullptr);

    double progress = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
};
