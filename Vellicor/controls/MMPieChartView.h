#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class MMPieChartView;

// Where a pie chart gets its numbers, in the manner of a table's data source.
// The count and the values are what every source gives; keys and colours are
// optional. A member left empty counts as not given (and is logged).
struct MMPieChartViewDataSource {
    std::function<qint64(MMPieChartView&)> numberOfPiecesForPieChartView;
    std::function<double(MMPieChartView&, qint64 index)> valueForValueAtIndex;
    std::optional<std::function<QColor(MMPieChartView&, qint64 index)>> colorForValueAtIndex;
    std::optional<std::function<QString(MMPieChartView&, qint64 index)>> keyForValueAtIndex;
};

// Receiver of chart events; the chart sends none today.
struct MMPieChartViewDelegate {
    std::optional<std::function<QString(MMPieChartView&, qint64 row)>> didClickAtPortionAtRow;
};

// One piece of the pie: from startAngle to endAngle in degrees, counted
// counter-clockwise from three o'clock with y up; pieces run clockwise, so
// endAngle is the smaller.
struct PieSlice {
    double startAngle = 0;
    double endAngle = 0;
};

// Each value's share of their sum; empty when the sum is not a positive
// number, as nothing can then be drawn. Pure.
std::vector<double> pieFractions(const std::vector<double>& values);
// The pieces for the fractions, one after another clockwise from twelve
// o'clock; a fraction of 1 is a full turn. The running angle is kept in
// single precision, as the chart has always drawn it. Pure.
std::vector<PieSlice> pieSlices(const std::vector<double>& fractions);
// The colour at the given brightness offset (-0.2 and -0.3 for the piece's
// two darker shades), the brightness kept within 0 … 1. Pure.
QColor pieShade(const QColor& color, double brightnessOffset);

// A filled pie chart of the numbers a data source gives, without legend,
// labels or mouse handling: the results screen's chart of duplicates by
// category. The owner sets dataSource, then calls reloadData whenever its
// numbers change; the view never reloads by itself, and the setters do not
// redraw. GUI thread only.
class MMPieChartView : public QWidget {
    Q_OBJECT

public:
    explicit MMPieChartView(QWidget* parent = nullptr);

    // lineWidth 0.5, lineColor black, visualizationType 0, showKeys true,
    // radius 100, and the centre in the middle of the view.
    void setDefaults();
    // Asks the data source for the count, values, keys and colours, then
    // updateData.
    void reloadData();
    // Takes the centre and the fractions anew and asks for a redraw.
    void updateData();

    bool showKeys = true;
    qint32 visualizationType = 0;
    std::optional<MMPieChartViewDelegate> delegate;
    std::optional<MMPieChartViewDataSource> dataSource;
    double radius = 100;
    double lineWidth = 0.5;
    QColor lineColor = Qt::black;

    const QStringList& keysArray() const { return keysArray_; }
    const std::vector<double>& valuesArray() const { return valuesArray_; }
    const std::vector<double>& relativeValuesArray() const { return relativeValuesArray_; }
    const std::vector<QColor>& colorsArray() const { return colorsArray_; }
    qint64 count() const { return count_; }
    QPointF center() const { return center_; }
    QRectF frameRect() const { return frameRect_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawChartPieces(QPainter& painter) const;

    QStringList keysArray_;
    std::vector<double> valuesArray_;
    std::vector<double> relativeValuesArray_;
    std::vector<QColor> colorsArray_;
    qint64 count_ = 0;
    QPointF center_;
    QRectF frameRect_;
};
