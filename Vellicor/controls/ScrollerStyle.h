#pragma once

#include <QProxyStyle>

// The geometry of the application's scrollers: no arrow buttons, the knob
// runs along the whole length, proportional to the visible part. Drawing is
// left to the scroller classes; hit testing and dragging follow this geometry
// so the knob a user grabs is the knob that is drawn. One shared instance,
// owned by the application; GUI thread only.
class ScrollerStyle : public QProxyStyle {
    Q_OBJECT

public:
    static ScrollerStyle* shared();

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
        const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;

private:
    ScrollerStyle();
};
