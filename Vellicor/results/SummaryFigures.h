#pragma once

#include "controls/LayoutFrame.h"
#include "results/CategoryPie.h"

#include <QFont>
#include <QObject>

#include <optional>

class MMPieChartView;
class QLabel;
class QWidget;
class ResultsState;
struct MarkedCountLabel;

// The results screen's figures: the header's found, groups and space lines,
// the pie of the categories' shares with its legend and the space the marks
// would free in its middle, and the footer's count of marked files. It reads
// the figures from the results state and owns the pie's shares. GUI thread
// only.
class SummaryFigures : public QObject {
public:
    explicit SummaryFigures(ResultsState& state);

    // The header's three lines and the separator after them.
    void buildHeaderFigures(QWidget* header);
    // The width the pie and its legend take, with their margins: the least
    // their place is given.
    static constexpr int pieWidth = 260;
    // The pie and its legend in place, below top.
    void buildPie(QWidget* place, int top);
    // The heading over the pie and the ring's middle; after the pie.
    void buildChartSummary();
    void buildMarkedCount(QWidget* footer);

    // The shares of the pie, counted here unless given.
    void updatePie(std::optional<CategoryPie::Percentages> shares = std::nullopt);
    void showMarkedCount(const MarkedCountLabel& marked);
    // The summary's lines from the state, fitted into frames. Outside English
    // the footer's labels take a smaller font, which is returned for the
    // other labels of the footer's rows.
    std::optional<QFont> updateLabels(FrameTable& frames);

    MMPieChartView* pieChart() const { return pieChart_; }
    QLabel* piePercentLabel(int slot) const { return lblPiePercent_[slot]; }
    QLabel* lblNumMarkedFiles() const { return lblNumMarkedFiles_; }

private:
    std::optional<QFont> layoutFooterLabels(FrameTable& frames);
    // Gives the header's groups line the room its text needs when large
    // counts make it longer than its frame.
    void fitGroupsLine(FrameTable& frames);

    ResultsState& state_;
    QLabel* lblDuplicateFound_ = nullptr;
    QLabel* lblDupsInGroups_ = nullptr;
    QLabel* lblSpaceToBeSaved_ = nullptr;
    QLabel* lblSpaceSavedOnPie_ = nullptr;
    QLabel* lblSpaceSavedChart_ = nullptr;
    QLabel* lblNumMarkedFiles_ = nullptr;
    MMPieChartView* pieChart_ = nullptr;
    QLabel* lblPieCategory_[CategoryPie::slotCount] = {};
    QLabel* lblPiePercent_[CategoryPie::slotCount] = {};
    CategoryPie::Percentages valuePieArray_ {};
    bool pieStyled_ = false;
};
