// The results screen's thumbnail grid and category pie.

#include "base/Log.h"
#include "controls/ApplicationFont.h"
#include "controls/MMPieChartView.h"
#include "controls/MyCollectionView.h"
#include "core/AppNotifier.h"
#include "core/Localization.h"
#include "results/ResultViewController.h"

#include "results/PreviewPane.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsModel.h"
#include "results/ThumbnailCell.h"
#include "results/ThumbnailProvider.h"

#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// Items started at once after a reload; the rest wait until scrolling settles.
constexpr int firstPictures = 4;
constexpr int scrollSettleMs = 300;
const QColor gridColor(52, 52, 52);

QSize gridItemSize()
{
    return isSmallScreenLayout ? QSize(180, 240) : QSize(210, 260);
}

} // namespace

void ResultViewController::buildGrid()
{
    gridModel_ = new ResultsGridProxy(*model_, this);
    const QSize item = gridItemSize();
    // Pictures are made at the size the cell draws them.
    thumbnails_ = std::make_unique<ThumbnailProvider>(QSize(item.width() - 16, item.height() - 80));
    collResultListView_ = new QWidget(viewLeft_);
    collResultListView_->setObjectName(QStringLiteral("collResultListView"));
    auto* layout = new QVBoxLayout(collResultListView_);
    layout->setContentsMargins(0, 0, 0, 0);
    collDuplicates_ = new MyCollectionView;
    collDuplicates_->setObjectName(QStringLiteral("collDuplicates"));
    collDuplicates_->setItemSize(item);
    collDuplicates_->setHeaderHeight(30);
    collDuplicates_->setSpacing(20);
    QPalette palette = collDuplicates_->viewport()->palette();
    palette.setColor(QPalette::Window, gridColor);
    palette.setColor(QPalette::Base, gridColor);
    collDuplicates_->viewport()->setPalette(palette);
    collDuplicates_->viewport()->setAutoFillBackground(true);
    collDuplicates_->setModel(gridModel_);
    thumbnailCell_ = new ThumbnailCell(*gridModel_, *thumbnails_, collDuplicates_);
    thumbnailCell_->watch(collDuplicates_);
    collDuplicates_->setItemDelegate(thumbnailCell_);
    layout->addWidget(collDuplicates_);
    collResultListView_->setPalette(palette);
    collResultListView_->setAutoFillBackground(true);
    collResultListView_->hide();

    connect(thumbnails_.get(), &ThumbnailProvider::thumbnailReady, collDuplicates_->viewport(),
        qOverload<>(&QWidget::update));
    connect(thumbnailCell_, &ThumbnailCell::checkBoxClicked, this, &ResultViewController::gridCheckBoxTapped);
    connect(collDuplicates_, &MyCollectionView::checkKeyPressed, this, &ResultViewController::checkKeyPressed);
    // Clicks and right clicks alike change the grid's selection; the pane and
    // the list of selected items follow that.
    connect(collDuplicates_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &ResultViewController::gridSelectionChanged);
    connect(collDuplicates_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        const quint64 generation = ++scrollGeneration_;
        after(scrollSettleMs, [this, generation] {
            if (generation == scrollGeneration_)
                changeCellViewControllerInCollectionView();
        });
    });
    // A new set of sections: the first few pictures at once, the rest once
    // the grid has settled.
    connect(gridModel_, &QAbstractItemModel::modelReset, this, [this] {
        gridSelectedIndexs_.clear();
        numToLoadPhotosFirstTime_ = 0;
        if (mode_ != ViewMode::grid)
            return;
        for (const IndexPath& path : collDuplicates_->indexPathsForVisibleItems()) {
            if (numToLoadPhotosFirstTime_ >= firstPictures)
                break;
            if (FileInfoNodePtr file = gridModel_->fileOf(gridModel_->indexOfItem(path.section, path.item))) {
                ++numToLoadPhotosFirstTime_;
                thumbnails_->request(*file, state_->resultSource());
            }
        }
        const quint64 generation = ++scrollGeneration_;
        after(scrollSettleMs, [this, generation] {
            if (generation == scrollGeneration_)
                changeCellViewControllerInCollectionView();
        });
    });
}

void ResultViewController::changeCellViewControllerInCollectionView()
{
    if (mode_ != ViewMode::grid || !collDuplicates_->isVisible())
        return;
    Log::print(QStringLiteral("changeCellViewControllerInCollectionView"));
    for (const IndexPath& path : collDuplicates_->indexPathsForVisibleItems()) {
        if (FileInfoNodePtr file = gridModel_->fileOf(gridModel_->indexOfItem(path.section, path.item)))
            thumbnails_->request(*file, state_->resultSource());
    }
}

void ResultViewController::gridSelectionChanged()
{
    // Items that left the selection leave the list; new ones join it in the
    // order the user picked them.
    const QModelIndexList selected = collDuplicates_->selectionIndexPaths();
    gridSelectedIndexs_.removeIf([&](const QPersistentModelIndex& index) { return !selected.contains(index); });
    for (const QModelIndex& index : selected) {
        if (!gridSelectedIndexs_.contains(index))
            gridSelectedIndexs_.append(index);
    }
    if (gridSelectedIndexs_.isEmpty()) {
        updateOnDuplicateRowUnSelection();
        return;
    }
    if (FileInfoNodePtr file = gridModel_->fileOf(gridSelectedIndexs_.back()))
        updateOnDuplicateRowSelection(file);
}

void ResultViewController::selectGridItem(const IndexPath& path)
{
    collDuplicates_->selectItem(path, QItemSelectionModel::Select);
}

void ResultViewController::gridCheckBoxTapped(const IndexPath& path)
{
    Log::print(QStringLiteral("selectImageAndReloadCollectionView_Main"));
    const FileInfoNodePtr file = gridModel_->fileOf(gridModel_->indexOfItem(path.section, path.item));
    if (!file)
        return;
    // The same road as a check box of the list: the protected-folder
    // question and the refusal to mark a group's last unmarked file are the
    // state's; the model then repaints this item in every view.
    fileCheckBoxTapped(file);
    selectGridItem(path);
}

void ResultViewController::buildPie()
{
    // The pie is the preview pane's face while no file is selected.
    QWidget* place = previewPane_ ? previewPane_->graphView() : viewRight_;
    const int top = previewPane_ ? 8 : 100;
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

void ResultViewController::updatePieChart(std::optional<CategoryPie::Percentages> shares)
{
    if (state_->arrMainGroup.empty())
        return;
    if (!pieStyled_) {
        pieStyled_ = true;
        pieChart_->lineColor = Qt::transparent;
        pieChart_->radius = pieChart_->width() / 2.0 - 10;
        pieChart_->showKeys = false;
    }
    valuePieArray_ = shares ? *shares : CategoryPie::percentages(state_->arrMainGroup);
    for (int i = 0; i < CategoryPie::slotCount; ++i) {
        QPalette palette = lblPieCategory_[i]->palette();
        palette.setColor(QPalette::WindowText, CategoryPie::colors()[size_t(i)]);
        lblPieCategory_[i]->setPalette(palette);
        lblPiePercent_[i]->setText(CategoryPie::percentText(valuePieArray_[size_t(i)]));
    }
    pieChart_->reloadData();
}

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

void ResultViewController::buildChartSummary()
{
    // The heading takes the graph's top row; the pie and its legend sit below
    // it.
    QWidget* place = pieChart_->parentWidget();
    constexpr int headingRow = 26;
    for (QWidget* part : place->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        part->move(part->x(), part->y() + headingRow);
    const QColor caption(160, 163, 168);
    auto* heading = new QLabel(place);
    heading->setObjectName(QStringLiteral("lblChartSummary"));
    heading->setFont(systemFontOfSize(13, QFont::Bold));
    heading->setGeometry(16, 8, 228, 20);
    QPalette palette = heading->palette();
    palette.setColor(QPalette::WindowText, caption);
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
    auto* spaceCaption = new QLabel(centre);
    spaceCaption->setObjectName(QStringLiteral("lblSpaceSavedChart"));
    spaceCaption->setFont(systemFontOfSize(large ? 11 : 10));
    spaceCaption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    spaceCaption->setWordWrap(true);
    spaceCaption->setGeometry(side / 8, side / 2 + 2, side - side / 4, side / 2 - side / 8);
    for (QLabel* label : { lblSpaceSavedOnPie_, spaceCaption }) {
        palette = label->palette();
        palette.setColor(QPalette::WindowText, label == lblSpaceSavedOnPie_ ? Qt::white : caption);
        label->setPalette(palette);
    }
}
