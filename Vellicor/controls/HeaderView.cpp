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
    painter.setRenderHint(QPainter::Antialiasing);
    drawThreePartImage(painter, rect(), NamedImage::load(QStringLiteral("header_left")),
        NamedImage::load(QStringLiteral("header_mid")), NamedImage::load(QStringLiteral("header_right")), false);

    // The count line keeps its whole width; the title takes what is left.
    const QFont countFont = systemFontOfSize(12);
    const QFont titleFont = systemFontOfSize(14, QFont::DemiBold);
    // Measured in fractions and rounded up: elision works in fractions too, so
    // a width cut down to whole points would lose the count's last word.
    const int countWidth
        = qMin(int(std::ceil(QFontMetricsF(countFont).horizontalAdvance(imageCount_))) + 1, width() / 2);
    const QRect count(width() - inset - countWidth, 0, countWidth, height());
    const QRect title(inset, 0, qMax(0, count.left() - gap - inset), height());
    painter.setFont(countFont);
    painter.setPen(countColour);
    painter.drawText(count, Qt::AlignRight | Qt::AlignVCenter,
        QFontMetricsF(countFont).elidedText(imageCount_, Qt::ElideRight, count.width()));
    painter.setFont(titleFont);
    painter.setPen(titleColour);
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(titleFont).elidedText(sectionTitle_, Qt::ElideMiddle, title.width()));
}
