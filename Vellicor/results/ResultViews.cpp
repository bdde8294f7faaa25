#include "results/ResultViews.h"

#include "base/Log.h"
#include "controls/ApplicationFont.h"
#include "controls/ColumnFitter.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/CyanideScroller.h"
#include "controls/MyCollectionView.h"
#include "controls/MyHeaderCell.h"
#include "core/GlobalObjects.h"
#include "marking/ResultsState.h"
#include "results/ResultContextMenu.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsGridView.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>

#include <algorithm>
#include <array>

using namespace ResultsLook;

namespace {

// Name, size, the two dates and type of the outline's rows: x and width of
// each; the path follows them and has the most room the row leaves beside
// figures and dates kept whole: it holds the name too, and in a group the
// copies differ by their folders. A small screen's narrower pane draws the
// rows a point smaller and packs them closer.
constexpr int outlineColumns[2][5][2] = { { { 52, 130 }, { 186, 66 }, { 256, 134 }, { 394, 134 }, { 532, 52 } },
    { { 52, 86 }, { 142, 60 }, { 206, 122 }, { 332, 122 }, { 458, 48 } } };
// The path's least width in an outline row: room for the last folder and the
// name of an ordinary path, with the row still inside the view beside its
// scroller at the window's least size.
constexpr int outlineLeastFolderWidth[2] = { 170, 132 };
// The rows' text sizes: name, then the rest.
constexpr int outlineTextSizes[2][2] = { { 13, 12 }, { 12, 11 } };
// What a group row's name has beyond the name column: its row has room to
// spare, and a group is known by its name.
constexpr int outlineGroupNameExtra[2] = { 42, 74 };

// The selected row the pane shows: the current one when it is selected, else
// the first selected; none without a selection.
QModelIndex chosenRow(const QAbstractItemView& view)
{
    const QItemSelectionModel* selection = view.selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), current.parent()))
        return current.siblingAtColumn(0);
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.front();
}

// The width a date of the rows takes in the font of a text of size, in the
// region's format: a date in Spanish or Japanese is longer than in English.
int dateWidth(int size)
{
    return ResultsModel::widestDateWidth(QFontMetrics(systemFontOfSize(size)));
}

using OutlineColumns = std::array<std::array<int, 2>, 5>;

// The outline's columns of this layout, the two dates widened to the region's
// date and what follows them moved along.
OutlineColumns outlineColumnsNow()
{
    const int layout = isSmallScreenLayout ? 1 : 0;
    OutlineColumns columns;
    for (std::size_t i = 0; i < columns.size(); ++i)
        columns[i] = { outlineColumns[layout][i][0], outlineColumns[layout][i][1] };
    const int wider = std::max(0, dateWidth(outlineTextSizes[layout][1]) + 2 - columns[2][1]);
    columns[2][1] += wider;
    columns[3] = { columns[3][0] + wider, columns[3][1] + wider };
    columns[4][0] += 2 * wider;
    return columns;
}

int outlineLeastRowWidth()
{
    const int layout = isSmallScreenLayout ? 1 : 0;
    const auto type = outlineColumnsNow()[4];
    return type[0] + type[1] + 4 + outlineLeastFolderWidth[layout] + 8;
}

int listTextSize()
{
    return isSmallScreenLayout ? 11 : 12;
}

// The least widths of the list's columns; a date column holds the region's
// date beside the cell's margins.
std::vector<int> listLeastWidths()
{
    const int widths[2][ResultsModel::columnCountValue]
        = { { 36, 162, 76, 156, 156, 64, 150 }, { 32, 140, 68, 134, 134, 62, 110 } };
    const auto& base = widths[isSmallScreenLayout ? 1 : 0];
    std::vector<int> least(std::begin(base), std::end(base));
    for (const int column : { ResultsModel::createdColumn, ResultsModel::modifiedColumn })
        least[std::size_t(column)] = std::max(least[std::size_t(column)], dateWidth(listTextSize()) + 6 + 4 + 2);
    return least;
}

// The outlets of the outline's rows with extra points beyond the least row
// width: half of them widen the name (moving what follows it), the rest the
// folder.
void layOutOutlineCell(CustomCell& cell, int extra)
{
    using Outlet = CustomCell::Outlet;
    using Slot = CustomCell::Slot;
    const int layout = isSmallScreenLayout ? 1 : 0;
    const OutlineColumns column = outlineColumnsNow();
    const int nameSize = outlineTextSizes[layout][0];
    const int textSize = outlineTextSizes[layout][1];
    const int name = std::max(0, extra) / 2;
    cell.setSlot(Outlet::btnCheckBox, Slot(6, 18));
    cell.setSlot(Outlet::imgView, Slot(30, 18));
    Slot nameSlot(column[0][0], column[0][1] + name, Qt::AlignLeft, nameSize);
    nameSlot.parentRowWidth = nameSlot.width + outlineGroupNameExtra[layout];
    nameSlot.flowsInParentRow = true;
    cell.setSlot(Outlet::lbltextField, nameSlot);
    Slot descriptionSlot(
        column[1][0] + name + outlineGroupNameExtra[layout], 240, Qt::AlignLeft, textSize, false, captionColor);
    descriptionSlot.flowsInParentRow = true;
    cell.setSlot(Outlet::lblDescription, descriptionSlot);
    cell.setSlot(Outlet::lblCount, Slot(0, 0 - 12, Qt::AlignRight, 13, true));
    cell.setSlot(Outlet::lblSize, Slot(column[1][0] + name, column[1][1], Qt::AlignLeft, textSize));
    cell.setSlot(Outlet::lblCretedDate, Slot(column[2][0] + name, column[2][1], Qt::AlignLeft, textSize));
    cell.setSlot(Outlet::lblModifiedDate, Slot(column[3][0] + name, column[3][1], Qt::AlignLeft, textSize));
    cell.setSlot(Outlet::lblExt, Slot(column[4][0] + name, column[4][1], Qt::AlignLeft, textSize));
    Slot pathSlot(column[4][0] + column[4][1] + 4 + name, -8, Qt::AlignLeft, textSize);
    pathSlot.keepsPathEnd = true;
    cell.setSlot(Outlet::lblFilePath, pathSlot);
}

// The containers fill the left pane whatever its width.
class FillFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize) {
            auto* pane = static_cast<QWidget*>(watched);
            for (QObject* child : pane->children()) {
                if (auto* widget = qobject_cast<QWidget*>(child))
                    widget->setGeometry(pane->rect());
            }
        }
        return false;
    }
};

} // namespace

ResultViews::ResultViews(ResultsState& state, ResultsModel& model, ResultsListProxy& listModel, ResultsLater later,
    Hooks hooks, QWidget& screen)
    : state_(state)
    , model_(model)
    , listModel_(listModel)
    , later_(std::move(later))
    , hooks_(std::move(hooks))
    , screen_(screen)
{
    ResultsGridView::Hooks gridHooks;
    gridHooks.isShown = [this] { return mode_ == ResultViewMode::grid; };
    gridHooks.fileSelected = [this](const FileInfoNodePtr& file) { hooks_.fileSelected(file); };
    gridHooks.selectionCleared = [this] { hooks_.selectionCleared(); };
    gridHooks.fileCheckBoxTapped = [this](const FileInfoNodePtr& file) { hooks_.fileCheckBoxTapped(file); };
    gridHooks.checkKeyPressed = [this] { hooks_.checkKeyPressed(); };
    grid_ = std::make_unique<ResultsGridView>(state_, model_, later_, std::move(gridHooks), screen_);
}

ResultViews::~ResultViews() = default;

int ResultViews::leastUsefulWidth() const
{
    const std::vector<int> list = listLeastWidths();
    const int listed
        = list[ResultsModel::checkColumn] + list[ResultsModel::nameColumn] + list[ResultsModel::sizeColumn];
    const auto size = outlineColumnsNow()[1];
    const int outlined = outlineDuplicates_->indentation() + size[0] + size[1];
    return std::max(listed, outlined) + tblDuplicates_->verticalScrollBar()->sizeHint().width();
}

void ResultViews::buildListAndOutline(QWidget* pane, QWidget* selectAllBox)
{
    const auto container = [pane](const char* objectName, QWidget* view, QLabel* empty) {
        auto* widget = new QWidget(pane);
        widget->setObjectName(name(objectName));
        view->setParent(widget);
        empty->setParent(widget);
        empty->setAlignment(Qt::AlignCenter);
        return widget;
    };
    const auto styleView = [](QAbstractItemView* view) {
        QPalette palette = view->palette();
        palette.setColor(QPalette::Base, panelColor);
        palette.setColor(QPalette::Text, textColor);
        palette.setColor(QPalette::HighlightedText, textColor);
        view->setPalette(palette);
        view->setFrameShape(QFrame::NoFrame);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    };

    // The list: a check box column, then name, size, dates, type and folder.
    tblDuplicates_ = new CustomTableView;
    tblDuplicates_->setObjectName(name("tblDuplicates"));
    tblDuplicates_->setRowView(std::make_shared<CustomTablerowHome>());
    tblDuplicates_->setModel(&listModel_);
    styleView(tblDuplicates_);
    tblDuplicates_->setShowGrid(false);
    tblDuplicates_->setWordWrap(false);
    tblDuplicates_->verticalHeader()->hide();
    tblDuplicates_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblDuplicates_->verticalHeader()->setDefaultSectionSize(35);
    // Near-black column headers with white titles on the left; the check
    // column's header holds the select-all box.
    auto* header = new MyHeaderCell(Qt::Horizontal, tblDuplicates_);
    tblDuplicates_->setHorizontalHeader(header);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setFixedHeight(28);
    header->setSectionWidget(ResultsModel::checkColumn, selectAllBox);
    // The least widths: a small screen's narrower list keeps the dates whole
    // and draws its texts a point smaller, as the outline does, so that the
    // folder has room to tell copies apart. The name and folder columns share
    // whatever room the list has beyond.
    const int textSize = listTextSize();
    new ColumnFitter(
        *tblDuplicates_, *header, listLeastWidths(), { ResultsModel::nameColumn, ResultsModel::folderColumn });
    auto* checkCell = new CustomCell(tblDuplicates_);
    checkCell->setSlot(CustomCell::Outlet::btnCheckBox, CustomCell::Slot(10, 18));
    auto* nameCell = new CustomCell(tblDuplicates_);
    nameCell->setSlot(CustomCell::Outlet::imgView, CustomCell::Slot(4, 20));
    nameCell->setSlot(CustomCell::Outlet::lbltextField, CustomCell::Slot(30, -4));
    auto* textCell = new CustomCell(tblDuplicates_);
    textCell->setSlot(CustomCell::Outlet::lbltextField, CustomCell::Slot(6, -4, Qt::AlignLeft, textSize));
    tblDuplicates_->setItemDelegate(textCell);
    tblDuplicates_->setItemDelegateForColumn(ResultsModel::checkColumn, checkCell);
    tblDuplicates_->setItemDelegateForColumn(ResultsModel::nameColumn, nameCell);
    auto* folderCell = new CustomCell(tblDuplicates_);
    CustomCell::Slot folderSlot(6, -4, Qt::AlignLeft, textSize);
    // As the outline's path: what the folders of the group's copies repeat
    // gives way, never what tells this copy's folder apart. The tip is the
    // whole folder.
    folderSlot.keepsPathEnd = true;
    folderCell->setSlot(CustomCell::Outlet::lbltextField, folderSlot);
    tblDuplicates_->setItemDelegateForColumn(ResultsModel::folderColumn, folderCell);
    connect(checkCell, &CustomCell::buttonTapped, this, [this](const QModelIndex& index, CustomCell::Outlet) {
        hooks_.fileCheckBoxTapped(model_.fileOfListRow(index.row()));
    });
    connect(tblDuplicates_, &CustomTableView::checkKeyPressed, this, [this] { hooks_.checkKeyPressed(); });
    // The pane follows the selection, never the current row alone: the
    // focus coming in, a sheet closing, Ctrl with an arrow or a click, a
    // reset move the current row without choosing it.
    connect(tblDuplicates_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (mode_ != ResultViewMode::list)
            return;
        if (FileInfoNodePtr file = model_.fileOfListRow(chosenRow(*tblDuplicates_).row()))
            hooks_.fileSelected(file);
        else
            hooks_.selectionCleared();
    });
    lblNoDuplicateFoundListView_ = label("lblNoDuplicateFoundListView", nullptr, 16, false, captionColor);
    tblResultListView_ = container("tblResultListView", tblDuplicates_, lblNoDuplicateFoundListView_);

    // The outline: one column; group rows span the view and the cell lays out
    // each row kind's outlets across it.
    outlineDuplicates_ = new CustomOutlineView;
    outlineDuplicates_->setObjectName(name("outlineDuplicates"));
    outlineDuplicates_->setModel(&model_);
    styleView(outlineDuplicates_);
    outlineDuplicates_->setHeaderHidden(true);
    outlineDuplicates_->setUniformRowHeights(false);
    outlineDuplicates_->setIndentation(16);
    outlineDuplicates_->setRootIsDecorated(true);
    auto* outlineCell = new CustomCell(outlineDuplicates_);
    outlineDuplicates_->setItemDelegate(outlineCell);
    // The outline's one column is as wide as the view, never narrower than
    // its least row: beyond that the name and the folder share the room, and
    // a narrower view scrolls to the rest.
    outlineDuplicates_->header()->setStretchLastSection(false);
    const auto fitOutlineRow = [this, outlineCell] {
        // A new result set shows every column again.
        for (int column = 1; column < ResultsModel::columnCountValue; ++column)
            outlineDuplicates_->setColumnHidden(column, true);
        const int least = outlineLeastRowWidth() + 2 * outlineDuplicates_->indentation();
        const int width = std::max(outlineDuplicates_->viewport()->width(), least);
        layOutOutlineCell(*outlineCell, width - least);
        outlineDuplicates_->header()->resizeSection(0, width);
        outlineDuplicates_->viewport()->update();
    };
    fitOutlineRow();
    outlineDuplicates_->viewport()->installEventFilter(new ResizeHook(fitOutlineRow, outlineDuplicates_));
    connect(&model_, &QAbstractItemModel::modelReset, outlineDuplicates_, fitOutlineRow);
    for (QAbstractScrollArea* area :
        { static_cast<QAbstractScrollArea*>(tblDuplicates_), static_cast<QAbstractScrollArea*>(outlineDuplicates_) }) {
        area->setVerticalScrollBar(new CyanideScroller(Qt::Vertical));
        area->setHorizontalScrollBar(new CyanideScroller(Qt::Horizontal));
    }
    connect(outlineDuplicates_, &CustomOutlineView::checkKeyPressed, this, [this] { hooks_.checkKeyPressed(); });
    connect(outlineCell, &CustomCell::buttonTapped, this, [this](const QModelIndex& index, CustomCell::Outlet) {
        if (model_.kindOf(index) == ResultsModel::RowKind::group)
            hooks_.groupCheckBoxTapped(model_.groupOf(index));
        else if (FileInfoNodePtr file = model_.fileOf(index))
            hooks_.fileCheckBoxTapped(file);
    });
    connect(outlineDuplicates_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (mode_ != ResultViewMode::group)
            return;
        Log::print(QStringLiteral("outlineViewSelectionDidChange"));
        const QModelIndex chosen = chosenRow(*outlineDuplicates_);
        switch (model_.kindOf(chosen)) {
        case ResultsModel::RowKind::group: {
            const DuplicateGroupPtr group = model_.groupOf(chosen);
            if (!group->filterChildren.empty())
                hooks_.fileSelected(group->filterChildren.front());
            break;
        }
        case ResultsModel::RowKind::file:
            hooks_.fileSelected(model_.fileOf(chosen));
            break;
        case ResultsModel::RowKind::columnTitles:
            break;
        case ResultsModel::RowKind::none:
            hooks_.selectionCleared();
            break;
        }
    });
    // A group closed over its chosen file takes the choice itself, as Left
    // from the file does: the pane, Space and the menu key then act on a row
    // in sight, never on one hidden inside. A choice elsewhere stays; a
    // current row hidden without a choice gives way to the group's.
    connect(outlineDuplicates_, &QTreeView::collapsed, this, [this](const QModelIndex& group) {
        QItemSelectionModel* selection = outlineDuplicates_->selectionModel();
        const QModelIndexList rows = selection->selectedRows();
        const bool choiceInside
            = std::ranges::any_of(rows, [&group](const QModelIndex& row) { return row.parent() == group; });
        if (choiceInside)
            selection->setCurrentIndex(group, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        else if (selection->currentIndex().parent() == group)
            selection->setCurrentIndex(group, QItemSelectionModel::NoUpdate);
    });
    lblNoDuplicateFoundOutlineview_ = label("lblNoDuplicateFoundOutlineview", nullptr, 16, false, captionColor);
    outlineResultListView_ = container("outlineResultListView", outlineDuplicates_, lblNoDuplicateFoundOutlineview_);

    auto* filter = new FillFilter(pane);
    pane->installEventFilter(filter);
    tblResultListView_->installEventFilter(filter);
    outlineResultListView_->installEventFilter(filter);
}

void ResultViews::buildGrid(QWidget* pane)
{
    grid_->build(pane);
}

void ResultViews::buildContextMenu(
    std::function<void(bool nothingLeft)> removedFromList, std::function<void(const FileInfoNodePtr&)> preview)
{
    contextMenu_ = new ResultContextMenu(state_, &screen_);
    tblDuplicates_->setMenu(contextMenu_->menu());
    outlineDuplicates_->setMenu(contextMenu_->menu());
    grid_->collection()->setMenu(contextMenu_->menu());
    // Only the view of the shown mode can have been clicked; a right click
    // makes the clicked row the list's or the outline's current one.
    contextMenu_->setClickedFileSource([this]() -> FileInfoNodePtr {
        switch (mode_) {
        case ResultViewMode::list:
            return model_.fileOfListRow(tblDuplicates_->currentIndex().row());
        case ResultViewMode::group:
            return model_.fileOf(outlineDuplicates_->currentIndex());
        case ResultViewMode::grid:
            return grid_->clickedFile();
        }
        return nullptr;
    });
    contextMenu_->setRemovedFromListHandler(std::move(removedFromList));
    contextMenu_->setPreviewHandler(std::move(preview));
}

void ResultViews::show(ResultViewMode mode)
{
    // The change is made at once, so the toolbar stays usable: a click on a
    // view mode or a category right after another one acts too.
    mode_ = mode;
    const bool empty = state_.arrGroups.empty();
    const bool list = mode == ResultViewMode::list;
    tblResultListView_->setVisible(list);
    outlineResultListView_->setVisible(mode == ResultViewMode::group);
    tblDuplicates_->setVisible(!empty);
    outlineDuplicates_->setVisible(!empty);
    lblNoDuplicateFoundListView_->setVisible(empty);
    lblNoDuplicateFoundOutlineview_->setVisible(empty);
    grid_->setShown(mode == ResultViewMode::grid, empty);
    clearSelections();
    (list ? static_cast<QAbstractItemView*>(tblDuplicates_) : outlineDuplicates_)->viewport()->update();
    if (mode == ResultViewMode::grid)
        later_(50, [this] { grid_->requestVisiblePictures(); });
}

void ResultViews::reloadShown()
{
    later_(50, [this] {
        grid_->collection()->viewport()->update();
        (mode_ == ResultViewMode::list ? static_cast<QAbstractItemView*>(tblDuplicates_) : outlineDuplicates_)
            ->viewport()
            ->update();
    });
}

void ResultViews::clearSelections()
{
    tblDuplicates_->selectionModel()->clearSelection();
    tblDuplicates_->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    outlineDuplicates_->selectionModel()->clearSelection();
    outlineDuplicates_->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    grid_->collection()->deselectAll();
    hooks_.selectionCleared();
}

void ResultViews::resultSetLoading()
{
    grid_->forgetPictures();
    outlineResultListView_->hide();
    // A new result set shows from its first row, as the grid does.
    for (QAbstractItemView* view : { static_cast<QAbstractItemView*>(tblDuplicates_),
             static_cast<QAbstractItemView*>(outlineDuplicates_) }) {
        view->verticalScrollBar()->setValue(0);
        view->horizontalScrollBar()->setValue(0);
    }
}
