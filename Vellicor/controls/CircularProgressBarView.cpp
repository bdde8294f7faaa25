#include "controls/CircularProgressBarView.h"

#include <QPainter>

#include <cmath>

QColor colorFromHex(const QString& hex)
{
    qsizetype begin = 0;
    qsizetype end = hex.size();
    while (begin < end && !hex.at(begin).isLetterOrNumber())
        ++begin;
    while (end > begin && !hex.at(end - 1).isLetterOrNumber())
        --end;
    QStringView digits = QStringView(hex).mid(begin, end - begin);
    if (digits.size() > 2 && digits.at(0) == u'0' && (digits.at(1) == u'x' || digits.at(1) == u'X'))
        digits = digits.mid(2);
    // Too many digits read as the largest 32-bit value, as an overflowing
    // scan does, rather than wrapping round to some other colour.
    quint64 value = 0;
    for (const QChar c : digits) {
        const int digit = c.isDigit() && c.unicode() < 128 ? c.unicode() - '0'
            : (c >= u'a' && c <= u'f')                     ? c.unicode() - 'a' + 10
            : (c >= u'A' && c <= u'F')                     ? c.unicode() - 'A' + 10
                                                           : -1;
        if (digit < 0)
            break;
        value = qMin<quint64>(value * 16 + quint64(digit), 0xFFFFFFFFull);
    }
    return QColor::fromRgbF(((value >> 16) & 0xFF) / 255.f, ((value >> 8) & 0xFF) / 255.f, (value & 0xFF) / 255.f, 1);
}

CircularProgressBarView::CircularProgressBarView(QWidget* parent)
    : QWidget(parent)
{
}

void CircularProgressBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    const QPointF centre = bounds.center();
    const qreal r = std::min(bounds.width(), bounds.height()) / 3;
    const auto ring
        = [&](qreal radius) { return QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)); };

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colorFromHex(QStringLiteral("000000")), 5));
    painter.drawEllipse(ring(r + 15));
    painter.drawEllipse(ring(r - 5));

    // The screens write 100 at the end of the work: a whole ring, as for 1.
    if (!(progress > 0))
        return;
    painter.setPen(QPen(colorFromHex(QStringLiteral("0c7eeb")), 10, Qt::SolidLine, Qt::FlatCap));
    if (progress >= 1)
        painter.drawEllipse(ring(r + 5));
    else
        painter.drawArc(ring(r + 5), 0, -int(std::lround(progress * 360 * 16)));
}
