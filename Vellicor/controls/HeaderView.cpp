#include "controls/HeaderView.h"

#include "controls/ApplicationFont.h"
#include "controls/NamedImage.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

constexpr int inset = 12;
constexpr int gap = 12;
const QColor titleColour(230, 231, 233);
const QColor countColour(160, 164, 170);

} // namespace

HeaderView::HeaderView(QWidget* parent)
    : QWidget(parent)
{
}

void HeaderView::setSectionTitle(const QString& title)
{
    sectionTitle_ = title;
    update();
}

void HeaderView::setImageCount(const QString& count)
{
    imageCount_ = count;
    update();
}

void HeaderView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), sectionTitle_, imageCount_);
}

void HeaderView::paint(QPainter& painter, const QRect& frame, const QString& title, const QString& count)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    drawThreePartImage(painter, frame, NamedImage::load(QStringLiteral("header_left")),
        NamedImage::load(QStringLiteral("header_mid")), NamedImage::load(QStringLiteral("header_right")), false);

    // The count line keeps its whole width; the title takes what is left.
    const QFont countFont = systemFontOfSize(12);
    const QFont titleFont = systemFontOfSize(14, QFont::DemiBold);
    // Measured in fractions and rounded up: elision works in fractions too, so
    // a width cut down to whole points would lose the count's last word.
    const int countWidth
        = qMin(int(std::ceil(QFontMetricsF(countFont).horizontalAdvance(count))) + 1, frame.width() / 2);
    const QRect countRect(frame.right() + 1 - inset - countWidth, frame.top(), countWidth, frame.height());
    const QRect titleRect(
        frame.left() + inset, frame.top(), qMax(0, countRect.left() - gap - frame.left() - inset), frame.height());
    painter.setFont(countFont);
    painter.setPen(countColour);
    painter.drawText(countRect, Qt::AlignRight | Qt::AlignVCenter,
        QFontMetricsF(countFont).elidedText(count, Qt::ElideRight, countRect.width()));
    painter.setFont(titleFont);
    painter.setPen(titleColour);
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(titleFont).elidedText(title, Qt::ElideMiddle, titleRect.width()));
    painter.restore();
}
