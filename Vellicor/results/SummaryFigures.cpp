#include "results/SummaryFigures.h"

#include "controls/ApplicationFont.h"
#include "controls/MMPieChartView.h"
#include "core/Localization.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/ResultsState.h"
#include "marking/ResultsSummary.h"
#include "results/ResultsWidgets.h"

#include <QLabel>
#include <QPainter>

#include <cmath>

using namespace ResultsLook;

namespace {

// The pie's middle: a disc of the pane's colour that turns the pie into a
// ring, with what the marks would free written in it.
class PieCentre : public QWidget {
public:
    explicit PieCentre(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Window));
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
};

} // namespace

SummaryFigures::SummaryFigures(ResultsState& state)
    : state_(state)
{
}

void SummaryFigures::buildHeaderFigures(QWidget* header)
{
    lblDuplicateFound_ = label("lblDuplicateFound", header, 14);
    lblDupsInGroups_ = label("lblDupsInGroups", header, 14);
    lblSpaceToBeSaved_ = label("lblSpaceToBeSaved", header, 14);
    lblSpaceToBeSaved_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* l : { lblDuplicateFound_, lblDupsInGroups_, lblSpaceToBeSaved_ })
        l->setTextFormat(Qt::RichText);
    box("verticalLine", header, separatorColor);
}

void SummaryFigures::buildPie(QWidget* place, int top)
{
    // A small screen's shorter pane takes a smaller pie, centred where the
    // large one stands, with the legend just under it.
    const int side = isSmallScreenLayout ? 150 : 220;
    pieChart_ = new MMPieChartView(place);
    pieChart_->setObjectName(QStringLiteral("pieChart"));
    pieChart_->setGeometry(20 + (220 - side) / 2, top, side, side);
    pieChart_->setDefaults();
    MMPieChartViewDataSource source;
    source.numberOfPiecesForPieChartView = [this](MMPieChartView&) { return qint64(pieStyled_ ? 6 : 0); };
    source.valueForValueAtIndex = [this](MMPieChartView&, qint64 index) { return valuePieArray_[size_t(index)]; };
    source.colorForValueAtIndex = [](MMPieChartView&, qint64 index) { return CategoryPie::colors()[size_t(index)]; };
    source.keyForValueAtIndex = [](MMPieChartView&, qint64) { return QString(); };
    pieChart_->dataSource = source;
    MMPieChartViewDelegate delegate;
    delegate.didClickAtPortionAtRow = [](MMPieChartView&, qint64) { return QString(); };
    pieChart_->delegate = delegate;

    static const char* const titles[CategoryPie::slotCount]
        = { "ID_DOCUMENTS", "ID_IMAGES", "ID_MUSIC", "ID_VIDEOS", "ID_ARCHIVES", "ID_OTHERS" };
    for (int i = 0; i < CategoryPie::slotCount; ++i) {
        // Two columns of three, so the legend fits beside short windows.
        const int x = 16 + (i / 3) * 118;
        const int y = top + side + 10 + (i % 3) * 22;
        lblPieCategory_[i] = new QLabel(localizedText(QString::fromLatin1(titles[i])), place);
        lblPieCategory_[i]->setGeometry(x, y, 66, 20);
        lblPiePercent_[i] = new QLabel(place);
        lblPiePercent_[i]->setGeometry(x + 64, y, 50, 20);
        lblPiePercent_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        for (QLabel* label : { lblPieCategory_[i], lblPiePercent_[i] })
            label->setFont(systemFontOfSize(11));
    }
}

void SummaryFigures::buildChartSummary()
{
    // The heading takes the graph's top row; the pie and its legend sit below
    // it.
    QWidget* place = pieChart_->parentWidget();
    constexpr int headingRow = 26;
    for (QWidget* part : place->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        part->move(part->x(), part->y() + headingRow);
    auto* heading = new QLabel(place);
    heading->setObjectName(QStringLiteral("lblChartSummary"));
    heading->setFont(systemFontOfSize(13, QFont::Bold));
    heading->setGeometry(16, 8, 228, 20);
    QPalette palette = heading->palette();
    palette.setColor(QPalette::WindowText, captionColor);
    heading->setPalette(palette);

    const QRect pie = pieChart_->geometry();
    const int side = int(pie.width() * 0.62);
    auto* centre = new PieCentre(place);
    centre->setGeometry(pie.center().x() - side / 2, pie.center().y() - side / 2, side, side);
    palette = centre->palette();
    palette.setColor(QPalette::Window, place->palette().color(QPalette::Window));
    centre->setPalette(palette);
    const bool large = pie.width() >= 200;
    lblSpaceSavedOnPie_ = new QLabel(centre);
    lblSpaceSavedOnPie_->setObjectName(QStringLiteral("lblSpaceSavedOnPie"));
    // Number and unit in one size, so the figure reads as one inside the ring.
    lblSpaceSavedOnPie_->setFont(systemFontOfSize(large ? 20 : 15, QFont::Bold));
    lblSpaceSavedOnPie_->setTextFormat(Qt::PlainText);
    lblSpaceSavedOnPie_->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    lblSpaceSavedOnPie_->setGeometry(0, 0, side, side / 2);
    lblSpaceSavedChart_ = new QLabel(centre);
    lblSpaceSavedChart_->setObjectName(QStringLiteral("lblSpaceSavedChart"));
    lblSpaceSavedChart_->setFont(systemFontOfSize(large ? 11 : 10));
    lblSpaceSavedChart_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblSpaceSavedChart_->setWordWrap(true);
    lblSpaceSavedChart_->setGeometry(side / 8, side / 2 + 2, side - side / 4, side / 2 - side / 8);
    for (QLabel* label : { lblSpaceSavedOnPie_, lblSpaceSavedChart_ }) {
        palette = label->palette();
        palette.setColor(QPalette::WindowText, label == lblSpaceSavedOnPie_ ? Qt::white : captionColor);
        label->setPalette(palette);
    }
}

void SummaryFigures::buildMarkedCount(QWidget* footer)
{
    lblNumMarkedFiles_ = label("lblNumMarkedFiles", footer, 14, true);
}

void SummaryFigures::updatePie(std::optional<CategoryPie::Percentages> shares)
{
    if (state_.arrMainGroup.empty())
        return;
    if (!pieStyled_) {
        pieStyled_ = true;
        pieChart_->lineColor = Qt::transparent;
        pieChart_->radius = pieChart_->width() / 2.0 - 10;
        pieChart_->showKeys = false;
    }
    valuePieArray_ = shares ? *shares : CategoryPie::percentages(state_.arrMainGroup);
    for (int i = 0; i < CategoryPie::slotCount; ++i) {
        QPalette palette = lblPieCategory_[i]->palette();
        palette.setColor(QPalette::WindowText, CategoryPie::colors()[size_t(i)]);
        lblPieCategory_[i]->setPalette(palette);
        lblPiePercent_[i]->setText(CategoryPie::percentText(valuePieArray_[size_t(i)]));
    }
    pieChart_->reloadData();
}

void SummaryFigures::showMarkedCount(const MarkedCountLabel& marked)
{
    lblNumMarkedFiles_->setText(marked.text);
    if (marked.unhide)
        lblNumMarkedFiles_->show();
}

std::optional<QFont> SummaryFigures::updateLabels(FrameTable& frames)
{
    const DuplicatesSummary& summary = state_.duplicatesSummary();
    lblDuplicateFound_->setText(summaryRichText(summary.lblDuplicateFound));
    lblDupsInGroups_->setText(summary.lblDupsInGroups);
    lblDupsInGroups_->setFont(systemFontOfSize(14)); // the size a fitting before may have lowered
    lblSpaceToBeSaved_->setText(summaryRichText(summary.lblSpaceToBeSaved));
    lblSpaceSavedOnPie_->setText(summary.lblSpaceSavedOnPie.text);
    lblSpaceSavedChart_->setText(summary.lblSpaceSavedChart);
    const std::optional<QFont> small = layoutFooterLabels(frames);
    fitGroupsLine(frames);
    return small;
}

void SummaryFigures::fitGroupsLine(FrameTable& frames)
{
    const LayoutFrame* found = frames.find(name("lblDuplicateFound"));
    const LayoutFrame* space = frames.find(name("lblSpaceToBeSaved"));
    if (!found || !space || !frames.contains(name("lblDupsInGroups")))
        return;
    LayoutFrame& groups = frames[name("lblDupsInGroups")];
    const auto textWidth = [](const QLabel* label, const QFont& font) {
        return QFontMetrics(font).horizontalAdvance(label->text()) + 2 * label->margin() + 2;
    };
    if (textWidth(lblDupsInGroups_, lblDupsInGroups_->font()) <= groups.width)
        return;
    // Large counts: the line takes the room between the found count's text
    // and the right-aligned space figure's, and a smaller size if it still
    // has too little; the figures themselves stay whole.
    constexpr int gap = 12;
    const double left = found->x + std::min<double>(found->width, lblDuplicateFound_->sizeHint().width()) + gap;
    const double right
        = space->x + space->width - std::min<double>(space->width, lblSpaceToBeSaved_->sizeHint().width()) - gap;
    const double width = std::max(right - left, groups.width);
    if (width > groups.width) {
        groups.x = left;
        groups.width = width;
    }
    QFont font = lblDupsInGroups_->font();
    while (textWidth(lblDupsInGroups_, font) > groups.width && font.pixelSize() > 10)
        font.setPixelSize(font.pixelSize() - 1);
    lblDupsInGroups_->setFont(font);
    lblDupsInGroups_->setGeometry(int(groups.x), lblDupsInGroups_->y(), int(groups.width), lblDupsInGroups_->height());
}

std::optional<QFont> SummaryFigures::layoutFooterLabels(FrameTable& frames)
{
    const QFont small = systemFontOfSize(12);
    const QFontMetricsF metrics(small);
    const std::optional<FooterLayout> layout
        = ::layoutFooterLabels(metrics.horizontalAdvance(lblDupsInGroups_->text()), lblNumMarkedFiles_->width());
    if (!layout)
        return std::nullopt;
    for (QLabel* label : { lblDupsInGroups_, lblNumMarkedFiles_ })
        label->setFont(small);
    // The groups line keeps its place among the header's figures and takes
    // the width its text needs; the marked count and the selected file's path
    // stand in rows of their own on this screen (the footer's start and the
    // preview pane), so only their font follows.
    const int width = static_cast<int>(std::ceil(layout->dupsInGroupsWidth));
    lblDupsInGroups_->resize(width, lblDupsInGroups_->height());
    if (frames.contains(name("lblDupsInGroups")))
        frames[name("lblDupsInGroups")].width = width;
    return small;
}
