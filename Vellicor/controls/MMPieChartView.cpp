#include "controls/MMPieChartView.h"

#include "controls/HSVExtras.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

#include <cmath>
#include <numeric>

std::vector<double> pieFractions(const std::vector<double>& values)
{
    const double total = std::accumulate(values.begin(), values.end(), 0.0);
    std::vector<double> fractions;
    if (!(total > 0) || !std::isfinite(total))
        return fractions;
    fractions.reserve(values.size());
    for (const double value : values)
        fractions.push_back(value / total);
    return fractions;
}

std::vector<PieSlice> pieSlices(const std::vector<double>& fractions)
{
    std::vector<PieSlice> slices;
    slices.reserve(fractions.size());
    float angle = 90;
    for (const double fraction : fractions) {
        const float start = angle;
        const float end = start + float(fraction * -360);
        slices.push_back({ start, end });
        angle = end;
    }
    return slices;
}

QColor pieShade(const QColor& color, double brightnessOffset)
{
    const double brightness = std::clamp(HSVExtras::brightness(color) + brightnessOffset, 0.0, 1.0);
    return QColor::fromHsvF(float(std::clamp(HSVExtras::hue(color), 0.0, 1.0)),
        float(std::clamp(HSVExtras::saturation(color), 0.0, 1.0)), float(brightness), float(HSVExtras::alpha(color)));
}

MMPieChartView::MMPieChartView(QWidget* parent)
    : QWidget(parent)
{
    setDefaults();
}

void MMPieChartView::setDefaults()
{
    lineWidth = 0.5;
    lineColor = Qt::black;
    visualizationType = 0;
    showKeys = true;
    radius = 100;
    frameRect_ = rect();
    center_ = QPointF(width() * 0.5, height() * 0.5);
}

void MMPieChartView::reloadData()
{
    const MMPieChartViewDataSource* source = dataSource ? &*dataSource : nullptr;
    if (source && source->numberOfPiecesForPieChartView) {
        count_ = qMax<qint64>(0, source->numberOfPiecesForPieChartView(*this));
    } else {
        count_ = 0;
        qWarning(">> MMPieChartView. You have no implemented the numberOfPiecesForPieChartView: method.");
    }

    valuesArray_.clear();
    if (source && source->valueForValueAtIndex) {
        for (qint64 i = 0; i < count_; ++i)
            valuesArray_.push_back(source->valueForValueAtIndex(*this, i));
    } else {
        qWarning(">> MMPieChartView. You have no implemented the pieChartView:valueForValueAtIndex: method.");
    }

    keysArray_.clear();
    if (source && source->keyForValueAtIndex && *source->keyForValueAtIndex) {
        for (qint64 i = 0; i < count_; ++i)
            keysArray_.append((*source->keyForValueAtIndex)(*this, i));
    } else {
        qWarning(">> MMPieChartView. You have no implemented the pieChartView:keyForValueAtIndex: method.");
        showKeys = false;
    }

    colorsArray_.clear();
    if (source && source->colorForValueAtIndex && *source->colorForValueAtIndex) {
        for (qint64 i = 0; i < count_; ++i)
            colorsArray_.push_back((*source->colorForValueAtIndex)(*this, i));
    } else {
        qWarning(">> MMPieChartView. You have no implemented the pieChartView:colorForValueAtIndex: method. "
                 "Colors will be random");
        QRandomGenerator* random = QRandomGenerator::global();
        const auto component = [random] { return float(random->generate() / 4294967296.0); };
        for (qint64 i = 0; i < count_; ++i)
            colorsArray_.push_back(QColor::fromRgbF(component(), component(), component(), 1.0f));
    }
    updateData();
}

void MMPieChartView::updateData()
{
    frameRect_ = rect();
    center_ = QPointF(width() * 0.5, height() * 0.5);
    relativeValuesArray_ = pieFractions(valuesArray_);
    update();
}

void MMPieChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawChartPieces(painter);
}

void MMPieChartView::drawChartPieces(QPainter& painter) const
{
    // Only pieces with both a fraction and a colour are drawn, whatever count
    // the data source reported.
    const std::size_t pieces = std::min({ std::size_t(count_), relativeValuesArray_.size(), colorsArray_.size() });
    const std::vector<PieSlice> slices
        = pieSlices(std::vector<double>(relativeValuesArray_.begin(), relativeValuesArray_.begin() + pieces));
    const QRectF circle(center_ - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
    for (std::size_t i = 0; i < slices.size(); ++i) {
        const QColor& colour = colorsArray_[i];
        const double sweep = slices[i].endAngle - slices[i].startAngle;
        QPainterPath path;
        if (std::abs(sweep) >= 360.0 - 1e-9) {
            // One piece fills the disc: no radius to draw.
            path.addEllipse(circle);
        } else {
            path.moveTo(center_);
            path.arcTo(circle, slices[i].startAngle, sweep);
            path.lineTo(center_);
            path.closeSubpath();
        }

        // The piece's own colour at its top, darker towards its bottom.
        const QRectF bounds = path.boundingRect();
        QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
        gradient.setColorAt(0.06, colour);
        gradient.setColorAt(0.6, pieShade(colour, -0.2));
        gradient.setColorAt(1.0, pieShade(colour, -0.3));
        painter.fillPath(path, gradient);
        painter.strokePath(path, QPen(lineColor, lineWidth));
    }
}
