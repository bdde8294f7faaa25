#include "results/ResultsGridView.h"

#include "base/Log.h"
#include "core/GlobalObjects.h"
#include "marking/ResultsState.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsModel.h"
#include "results/ThumbnailCell.h"
#include "results/ThumbnailProvider.h"

#include <QLabel>
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

ResultsGridView::ResultsGridView(
    ResultsState& state, ResultsModel& model, ResultsLater later, Hooks hooks, QWidget& screen)
    : state_(state)
    , model_(model)
    , later_(std::move(later))
    , hooks_(std::move(hooks))
    , screen_(screen)
{
}

ResultsGridView::~ResultsGridView() = default;

void ResultsGridView::build(QWidget* pane)
{
    gridModel_ = new ResultsGridProxy(model_, &screen_);
    const QSize item = gridItemSize();
    // Pictures are made at the size the cell draws them.
    thumbnails_ = std::make_unique<ThumbnailProvider>(QSize(item.width() - 16, item.height() - 80));
    collResultListView_ = new QWidget(pane);
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
    connect(thumbnailCell_, &ThumbnailCell::checkBoxClicked, this, &ResultsGridView::checkBoxTapped);
    connect(collDuplicates_, &MyCollectionView::checkKeyPressed, this, [this] { hooks_.checkKeyPressed(); });
    // Clicks and right clicks alike change the grid's selection; the pane and
    // the list of selected items follow that.
    connect(collDuplicates_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &ResultsGridView::selectionChanged);
    // Whatever brings other items into view (a scroll, a larger window, the
    // pane hidden) asks for their pictures once the grid has settled; those
    // already asked for are not asked again.
    connect(collDuplicates_, &MyCollectionView::visibleItemsChanged, this, [this] { afterScrollSettles(); });
    // A new set of sections: the first few pictures at once, the rest once
    // the grid has settled.
    connect(gridModel_, &QAbstractItemModel::modelReset, this, [this] {
        // Shown groups that changed (a new result set, a category, a sort, a
        // clean-up) show from their start; files that only moved within
        // their groups keep the place.
        if (state_.isCollectionViewRefreshRequired) {
            state_.isCollectionViewRefreshRequired = false;
            collDuplicates_->verticalScrollBar()->setValue(0);
        }
        gridSelectedIndexs_.clear();
        numToLoadPhotosFirstTime_ = 0;
        if (!hooks_.isShown())
            return;
        for (const IndexPath& path : collDuplicates_->indexPathsForVisibleItems()) {
            if (numToLoadPhotosFirstTime_ >= firstPictures)
                break;
            if (FileInfoNodePtr file = gridModel_->fileOf(gridModel_->indexOfItem(path.section, path.item))) {
                ++numToLoadPhotosFirstTime_;
                thumbnails_->request(*file, state_.resultSource());
            }
        }
        afterScrollSettles();
    });

    // The grid's word for an empty result, in the grid's place.
    lblNoDuplicateFoundCollectionview_ = ResultsLook::label(
        "lblNoDuplicateFoundCollectionview", collResultListView_, 16, false, ResultsLook::captionColor);
    lblNoDuplicateFoundCollectionview_->setAlignment(Qt::AlignCenter);
    layout->addWidget(lblNoDuplicateFoundCollectionview_);
}

void ResultsGridView::afterScrollSettles()
{
    const quint64 generation = ++scrollGeneration_;
    later_(scrollSettleMs, [this, generation] {
        if (generation == scrollGeneration_)
            requestVisiblePictures();
    });
}

void ResultsGridView::setShown(bool shown, bool empty)
{
    collResultListView_->setVisible(shown);
    collDuplicates_->setVisible(!empty);
    lblNoDuplicateFoundCollectionview_->setVisible(empty);
}

void ResultsGridView::forgetPictures()
{
    thumbnails_->clear();
}

void ResultsGridView::requestVisiblePictures()
{
    if (!hooks_.isShown() || !collDuplicates_->isVisible())
        return;
    Log::print(QStringLiteral("changeCellViewControllerInCollectionView"));
    for (const IndexPath& path : collDuplicates_->indexPathsForVisibleItems()) {
        if (FileInfoNodePtr file = gridModel_->fileOf(gridModel_->indexOfItem(path.section, path.item)))
            thumbnails_->request(*file, state_.resultSource());
    }
}

FileInfoNodePtr ResultsGridView::clickedFile() const
{
    if (const std::optional<IndexPath> clicked = collDuplicates_->clickedIndexPath())
        return gridModel_->fileOf(gridModel_->indexOfItem(clicked->section, clicked->item));
    return nullptr;
}

void ResultsGridView::selectionChanged()
{
    // Items that left the selection leave the list; new ones join it in the
    // order the user picked them.
    const QModelIndexList selected = collDuplicates_->selectionIndexPaths();
    gridSelectedIndexs_.removeIf([&](const QPersistentModelIndex& index) { return !selected.contains(index); });
    for (const QModelIndex& index : selected) {
        if (!gridSelectedIndexs_.contains(index))
            gridSelectedIndexs_.append(index);
    }
    // The pane follows the shown view's selection only.
    if (!hooks_.isShown())
        return;
    if (gridSelectedIndexs_.isEmpty()) {
        hooks_.selectionCleared();
        return;
    }
    if (FileInfoNodePtr file = gridModel_->fileOf(gridSelectedIndexs_.back()))
        hooks_.fileSelected(file);
}

void ResultsGridView::checkBoxTapped(const IndexPath& path)
{
    Log::print(QStringLiteral("selectImageAndReloadCollectionView_Main"));
    const FileInfoNodePtr file = gridModel_->fileOf(gridModel_->indexOfItem(path.section, path.item));
    if (!file)
        return;
    // The same road as a check box of the list: the protected-folder
    // question and the refusal to mark a group's last unmarked file are the
    // state's; the model then repaints this item in every view.
    hooks_.fileCheckBoxTapped(file);
    collDuplicates_->selectItem(path, QItemSelectionModel::Select);
}
