#include "controls/MyCollectionView.h"

#include "base/Log.h"
#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/HeaderView.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemModel>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QToolTip>

#include <algorithm>

MyCollectionView::MyCollectionView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(20);
    viewport()->setAutoFillBackground(true);
}

MyCollectionView::~MyCollectionView() = default;

void MyCollectionView::setModel(QAbstractItemModel* model)
{
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    delete selection_;
    selection_ = nullptr;
    model_ = model;
    if (model_) {
        selection_ = new QItemSelectionModel(model_, this);
        connect(selection_, &QItemSelectionModel::selectionChanged, viewport(), qOverload<>(&QWidget::update));
        connect(selection_, &QItemSelectionModel::currentChanged, viewport(), qOverload<>(&QWidget::update));
        connect(selection_, &QItemSelectionModel::currentChanged, this, &MyCollectionView::keepCurrentInView);
        connect(model_, &QAbstractItemModel::modelReset, this, &MyCollectionView::reloadSections);
        connect(model_, &QAbstractItemModel::layoutChanged, this, &MyCollectionView::reloadSections);
        connect(model_, &QAbstractItemModel::rowsInserted, this, &MyCollectionView::reloadSections);
        connect(model_, &QAbstractItemModel::rowsRemoved, this, &MyCollectionView::reloadSections);
        connect(model_, &QAbstractItemModel::rowsMoved, this, &MyCollectionView::reloadSections);
        connect(model_, &QAbstractItemModel::dataChanged, viewport(), qOverload<>(&QWidget::update));
    }
    reloadSections();
}

void MyCollectionView::setItemDelegate(QAbstractItemDelegate* delegate)
{
    delegate_ = delegate;
    viewport()->update();
}

void MyCollectionView::setItemSize(QSize size)
{
    itemSize_ = size.expandedTo(QSize(1, 1));
    relayout();
}

void MyCollectionView::setHeaderHeight(int height)
{
    headerHeight_ = qMax(0, height);
    relayout();
}

void MyCollectionView::setSpacing(int spacing)
{
    spacing_ = qMax(0, spacing);
    relayout();
}

int MyCollectionView::numberOfItemsInSection(int section) const
{
    return section >= 0 && section < numberOfSections() ? sections_[section].itemCount : 0;
}

QModelIndex MyCollectionView::modelIndex(const IndexPath& path) const
{
    if (!model_ || path.item < 0 || path.item >= numberOfItemsInSection(path.section))
        return {};
    return model_->index(path.item, 0, model_->index(path.section, 0));
}

std::optional<IndexPath> MyCollectionView::indexPath(const QModelIndex& index) const
{
    if (!index.isValid() || !index.parent().isValid() || index.parent().parent().isValid())
        return std::nullopt;
    return IndexPath { index.parent().row(), index.row() };
}

int MyCollectionView::sectionHeight(const Section& section) const
{
    const int itemsHeight = section.rows * itemSize_.height() + qMax(0, section.rows - 1) * spacing_;
    return headerHeight_ + 2 * margin_ + itemsHeight;
}

void MyCollectionView::reloadSections()
{
    std::vector<qint64>& lengths = loader_.sectionLengthArray;
    lengths.clear();
    qint64 files = 0;
    if (model_) {
        const int count = model_->rowCount();
        lengths.reserve(count);
        for (int s = 0; s < count; ++s) {
            lengths.push_back(model_->rowCount(model_->index(s, 0)));
            files += lengths.back();
        }
    }
    loader_.singleSectionMode = false;
    // A file's name is read from its item only when its record is asked for.
    loader_.loadImageFiles(files, [this](qint64 file) {
        const std::vector<ImageDirectoryLoader::SectionAttributes>& sections = loader_.sectionsAttributesArray;
        const auto after = std::upper_bound(sections.begin(), sections.end(), file,
            [](qint64 f, const ImageDirectoryLoader::SectionAttributes& s) { return f < s.sectionOffset; });
        if (after == sections.begin())
            return QString();
        const int section = int(after - sections.begin()) - 1;
        return modelIndex({ section, int(file - (after - 1)->sectionOffset) }).data(Qt::DisplayRole).toString();
    });
    relayout();
}

void MyCollectionView::relayout()
{
    const int usable = viewport()->width() - 2 * margin_ + spacing_;
    columns_ = qMax(1, usable / (itemSize_.width() + spacing_));
    sections_.clear();
    // Fed no section at all, the loader still answers one empty section; the
    // grid then shows none, as there is no group to head.
    if (!loader_.sectionLengthArray.empty()) {
        const std::vector<ImageDirectoryLoader::SectionAttributes>& built = loader_.sectionsAttributesArray;
        sections_.reserve(built.size());
        int top = 0;
        for (const ImageDirectoryLoader::SectionAttributes& attributes : built) {
            Section section;
            section.top = top;
            section.itemCount = int(attributes.sectionLength);
            section.rows = (section.itemCount + columns_ - 1) / columns_;
            top += sectionHeight(section);
            sections_.push_back(section);
        }
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, qMax(0, contentHeight() - viewport()->height()));
    keepCurrentInView();
    viewport()->update();
    emit visibleItemsChanged();
}

void MyCollectionView::keepCurrentInView()
{
    // Only the keyboard's item: a grid the mouse scrolled stays where it is.
    if (!hasFocus() || !selection_)
        return;
    if (const std::optional<IndexPath> current = indexPath(selection_->currentIndex()))
        scrollToItem(*current);
}

int MyCollectionView::contentHeight() const
{
    return sections_.empty() ? 0 : sections_.back().top + sectionHeight(sections_.back());
}

int MyCollectionView::sectionAtY(int y) const
{
    if (sections_.empty() || y < 0 || y >= contentHeight())
        return -1;
    const auto after
        = std::upper_bound(sections_.begin(), sections_.end(), y, [](int v, const Section& s) { return v < s.top; });
    return int(after - sections_.begin()) - 1;
}

QRect MyCollectionView::itemFrame(const IndexPath& path) const
{
    if (path.item < 0 || path.item >= numberOfItemsInSection(path.section))
        return {};
    const int row = path.item / columns_;
    const int column = path.item % columns_;
    const int top = sections_[path.section].top + headerHeight_ + margin_;
    return QRect(margin_ + column * (itemSize_.width() + spacing_), top + row * (itemSize_.height() + spacing_),
        itemSize_.width(), itemSize_.height());
}

QRect MyCollectionView::headerFrame(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return {};
    return QRect(0, sections_[section].top, viewport()->width(), headerHeight_);
}

int MyCollectionView::pinnedSection() const
{
    return headerHeight_ > 0 ? sectionAtY(verticalScrollBar()->value()) : -1;
}

QRect MyCollectionView::pinnedHeaderFrame() const
{
    const int section = pinnedSection();
    if (section < 0)
        return {};
    // The next section's header starts where this section ends.
    const int next = sections_[section].top + sectionHeight(sections_[section]);
    return QRect(0, std::min(verticalScrollBar()->value(), next - headerHeight_), viewport()->width(), headerHeight_);
}

std::optional<IndexPath> MyCollectionView::indexPathForItemAtPoint(const QPoint& pos) const
{
    const int y = pos.y() + verticalScrollBar()->value();
    if (pinnedHeaderFrame().contains(pos.x(), y))
        return std::nullopt;
    const int section = sectionAtY(y);
    if (section < 0)
        return std::nullopt;
    const int strideY = itemSize_.height() + spacing_;
    const int strideX = itemSize_.width() + spacing_;
    const int localY = y - sections_[section].top - headerHeight_ - margin_;
    const int localX = pos.x() - margin_;
    if (localY < 0 || localX < 0 || localY % strideY >= itemSize_.height() || localX % strideX >= itemSize_.width())
        return std::nullopt;
    const int column = localX / strideX;
    const int item = localY / strideY * columns_ + column;
    if (column >= columns_ || item >= sections_[section].itemCount)
        return std::nullopt;
    return IndexPath { section, item };
}

QRect MyCollectionView::visibleContentRect() const
{
    return QRect(0, verticalScrollBar()->value(), viewport()->width(), viewport()->height());
}

std::vector<int> MyCollectionView::visibleSections() const
{
    std::vector<int> shown;
    const QRect visible = visibleContentRect();
    int first = sectionAtY(visible.top());
    if (first < 0)
        return shown;
    for (int s = first; s < numberOfSections() && sections_[s].top <= visible.bottom(); ++s)
        shown.push_back(s);
    return shown;
}

std::vector<IndexPath> MyCollectionView::indexPathsForVisibleItems() const
{
    std::vector<IndexPath> paths;
    const QRect visible = visibleContentRect();
    const int strideY = itemSize_.height() + spacing_;
    for (const int s : visibleSections()) {
        const Section& section = sections_[s];
        if (section.rows == 0)
            continue;
        const int itemsTop = section.top + headerHeight_ + margin_;
        const int firstRow = std::clamp((visible.top() - itemsTop) / strideY, 0, section.rows - 1);
        const int lastRow = std::clamp((visible.bottom() - itemsTop) / strideY, 0, section.rows - 1);
        for (int row = firstRow; row <= lastRow; ++row) {
            for (int column = 0; column < columns_; ++column) {
                const IndexPath path { s, row * columns_ + column };
                if (path.item < section.itemCount && itemFrame(path).intersects(visible))
                    paths.push_back(path);
            }
        }
    }
    return paths;
}

void MyCollectionView::paintItem(QPainter& painter, const QRect& frame, const QModelIndex& index, bool selected) const
{
    if (delegate_) {
        QStyleOptionViewItem option;
        option.initFrom(this);
        option.rect = frame;
        option.state = QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
        option.widget = this;
        delegate_->paint(&painter, option, index);
        return;
    }
    // A plain tile until the screen gives its own item painting.
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = QRectF(frame).adjusted(1, 1, -1, -1);
    painter.setPen(selected ? QPen(QColor(20, 118, 235), 2) : QPen(QColor(70, 73, 78), 1));
    painter.setBrush(QColor(45, 47, 50));
    painter.drawRoundedRect(tile, 6, 6);
    const QRect picture = frame.adjusted(10, 10, -10, -34);
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.userType() == QMetaType::QImage) {
        const QImage image = decoration.value<QImage>();
        const QSize fitted = image.size().scaled(picture.size(), Qt::KeepAspectRatio);
        painter.drawImage(QRect(picture.center() - QPoint(fitted.width() / 2, fitted.height() / 2), fitted), image);
    } else {
        painter.fillRect(picture, QColor(58, 60, 64));
    }
    painter.setPen(QColor(220, 222, 226));
    painter.setFont(systemFontOfSize(12));
    const QRect name(frame.left() + 8, frame.bottom() - 30, frame.width() - 16, 24);
    painter.drawText(name, Qt::AlignCenter,
        painter.fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, name.width()));
}

void MyCollectionView::paintEvent(QPaintEvent*)
{
    if (!model_)
        return;
    QPainter painter(viewport());
    const int scrolled = verticalScrollBar()->value();
    for (const IndexPath& path : indexPathsForVisibleItems()) {
        const QModelIndex index = modelIndex(path);
        painter.save();
        paintItem(painter, itemFrame(path).translated(0, -scrolled), index, selection_->isSelected(index));
        painter.restore();
    }
    const std::optional<IndexPath> current = hasFocus() ? indexPath(selection_->currentIndex()) : std::nullopt;
    if (current)
        drawFocusRing(painter, QRectF(itemFrame(*current).translated(0, -scrolled)).adjusted(-4, -4, 4, 4), 8);
    // The headers in the same pass as the items, over them, so that no item
    // in view is ever shown without its group's header: the header of the
    // section at the top stands pinned there, over the items scrolling
    // under it.
    if (headerHeight_ > 0) {
        const int pinned = pinnedSection();
        for (const int section : visibleSections()) {
            QRect frame = headerFrame(section);
            if (section == pinned) {
                frame = pinnedHeaderFrame();
                painter.fillRect(
                    frame.translated(0, -scrolled), viewport()->palette().brush(viewport()->backgroundRole()));
            }
            const QModelIndex index = model_->index(section, 0);
            HeaderView::paint(painter, frame.translated(0, -scrolled), index.data(Qt::DisplayRole).toString(),
                index.data(sectionCountRole).toString());
        }
    }
    if (hasFocus() && !current)
        drawFocusRing(painter, QRectF(viewport()->rect()), 3);
}

void MyCollectionView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void MyCollectionView::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    emit visibleItemsChanged();
}

bool MyCollectionView::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip || !model_)
        return QAbstractScrollArea::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<IndexPath> hit = indexPathForItemAtPoint(help->pos());
    const QString tip = hit ? modelIndex(*hit).data(Qt::ToolTipRole).toString() : QString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(
            help->globalPos(), tip, viewport(), itemFrame(*hit).translated(0, -verticalScrollBar()->value()));
    }
    return true;
}

void MyCollectionView::scrollContentsBy(int, int)
{
    viewport()->update();
    emit visibleItemsChanged();
}

QModelIndexList MyCollectionView::selectionIndexPaths() const
{
    return selection_ ? selection_->selectedIndexes() : QModelIndexList();
}

void MyCollectionView::deselectAll()
{
    if (selection_)
        selection_->clearSelection();
}

void MyCollectionView::selectItem(const IndexPath& path, QItemSelectionModel::SelectionFlags flags)
{
    const QModelIndex index = modelIndex(path);
    if (!index.isValid() || !selection_)
        return;
    selection_->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    selection_->select(index, flags);
    scrollToItem(path);
}

void MyCollectionView::scrollToItem(const IndexPath& path)
{
    const QRect frame = itemFrame(path);
    if (frame.isNull())
        return;
    QScrollBar* bar = verticalScrollBar();
    const QRect visible = visibleContentRect();
    // An item of a group's first row comes into view with its group's
    // header; another one below the header pinned over the rows.
    const int top = path.item < columns_ ? sections_[path.section].top : frame.top() - margin_ - headerHeight_;
    if (top < visible.top())
        bar->setValue(top);
    else if (frame.bottom() > visible.bottom())
        bar->setValue(frame.bottom() + margin_ - visible.height() + 1);
}

void MyCollectionView::rightMouseDown(const QPoint& pos, const QPoint& globalPos)
{
    Log::print("collection right mouse down");
    const std::optional<IndexPath> hit = indexPathForItemAtPoint(pos);
    clicked_ = hit;
    if (!hit)
        return;
    Log::print(QStringLiteral("%1 clickedIndex = %2").arg(hit->section).arg(hit->item));
    emit AppNotifier::instance().cellselection(*hit);
    deselectAll();
    selectItem(*hit, QItemSelectionModel::ClearAndSelect);
    if (QMenu* shown = menuForEvent(pos))
        shown->popup(globalPos);
}

QMenu* MyCollectionView::menuForEvent(const QPoint& pos) const
{
    const std::optional<IndexPath> hit = indexPathForItemAtPoint(pos);
    if (!hit)
        return nullptr;
    Log::print(QStringLiteral("%1 clickedIndex = %2").arg(hit->section).arg(hit->item));
    return menu_;
}

void MyCollectionView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        rightMouseDown(pos, event->globalPosition().toPoint());
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton || !selection_)
        return;
    const std::optional<IndexPath> hit = indexPathForItemAtPoint(pos);
    const bool toggle = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    if (!hit) {
        if (!toggle && !extend)
            deselectAll();
        return;
    }
    selectItem(*hit,
        toggle       ? QItemSelectionModel::Toggle
            : extend ? QItemSelectionModel::Select
                     : QItemSelectionModel::ClearAndSelect);
}

int MyCollectionView::firstNonEmptySection(int from, int step) const
{
    for (int s = from; s >= 0 && s < numberOfSections(); s += step) {
        if (sections_[s].itemCount > 0)
            return s;
    }
    return -1;
}

std::optional<IndexPath> MyCollectionView::neighbour(const IndexPath& at, int key) const
{
    const int column = at.item % columns_;
    switch (key) {
    case Qt::Key_Left:
        if (at.item > 0)
            return IndexPath { at.section, at.item - 1 };
        if (const int s = firstNonEmptySection(at.section - 1, -1); s >= 0)
            return IndexPath { s, sections_[s].itemCount - 1 };
        break;
    case Qt::Key_Right:
        if (at.item + 1 < sections_[at.section].itemCount)
            return IndexPath { at.section, at.item + 1 };
        if (const int s = firstNonEmptySection(at.section + 1, 1); s >= 0)
            return IndexPath { s, 0 };
        break;
    case Qt::Key_Up:
        if (at.item >= columns_)
            return IndexPath { at.section, at.item - columns_ };
        if (const int s = firstNonEmptySection(at.section - 1, -1); s >= 0) {
            const int lastRowStart = (sections_[s].rows - 1) * columns_;
            return IndexPath { s, qMin(lastRowStart + column, sections_[s].itemCount - 1) };
        }
        break;
    case Qt::Key_Down:
        if (at.item + columns_ < sections_[at.section].itemCount)
            return IndexPath { at.section, at.item + columns_ };
        if (at.item / columns_ < sections_[at.section].rows - 1)
            return IndexPath { at.section, sections_[at.section].itemCount - 1 };
        if (const int s = firstNonEmptySection(at.section + 1, 1); s >= 0)
            return IndexPath { s, qMin(column, sections_[s].itemCount - 1) };
        break;
    default:
        break;
    }
    return std::nullopt;
}

void MyCollectionView::moveSelection(int key)
{
    const std::optional<IndexPath> current = selection_ ? indexPath(selection_->currentIndex()) : std::nullopt;
    std::optional<IndexPath> next;
    if (key == Qt::Key_Home || (!current && key != Qt::Key_End)) {
        if (const int s = firstNonEmptySection(0, 1); s >= 0)
            next = IndexPath { s, 0 };
    } else if (key == Qt::Key_End) {
        if (const int s = firstNonEmptySection(numberOfSections() - 1, -1); s >= 0)
            next = IndexPath { s, sections_[s].itemCount - 1 };
    } else if (key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
        // A page's height of rows up or down, as far as the items go; a row
        // at a time, so sections and their short rows are taken as the
        // arrows take them.
        const bool down = key == Qt::Key_PageDown;
        const int start = itemFrame(*current).top();
        const int page = std::max(1, viewport()->height() - itemSize_.height());
        IndexPath at = *current;
        while (const std::optional<IndexPath> step = neighbour(at, down ? Qt::Key_Down : Qt::Key_Up)) {
            at = *step;
            if (std::abs(itemFrame(at).top() - start) >= page)
                break;
        }
        next = at;
    } else {
        next = neighbour(*current, key);
    }
    if (next)
        selectItem(*next, QItemSelectionModel::ClearAndSelect);
}

void MyCollectionView::openMenuForCurrentItem()
{
    std::optional<IndexPath> current = selection_ ? indexPath(selection_->currentIndex()) : std::nullopt;
    if (!current && selection_ && !selection_->selectedIndexes().isEmpty())
        current = indexPath(selection_->selectedIndexes().front());
    if (!current)
        return;
    scrollToItem(*current);
    const QRect frame = itemFrame(*current).translated(0, -verticalScrollBar()->value());
    rightMouseDown(frame.center(), viewport()->mapToGlobal(frame.center()));
}

void MyCollectionView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    // Reached by the keyboard: the item most in view is where it starts
    // (the first of all in a grid scrolled to its top, as in the lists);
    // nothing is selected by that alone.
    if (selection_ && !selection_->currentIndex().isValid() && event->reason() != Qt::MouseFocusReason) {
        const QRect visible = visibleContentRect();
        std::optional<IndexPath> start;
        int shown = 0;
        for (const IndexPath& path : indexPathsForVisibleItems()) {
            const QRect part = itemFrame(path).intersected(visible);
            if (part.width() * part.height() > shown) {
                shown = part.width() * part.height();
                start = path;
            }
        }
        if (!start) {
            if (const int s = firstNonEmptySection(0, 1); s >= 0)
                start = IndexPath { s, 0 };
        }
        if (start)
            selection_->setCurrentIndex(modelIndex(*start), QItemSelectionModel::NoUpdate);
    }
    keepCurrentInView();
    viewport()->update();
}

void MyCollectionView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void MyCollectionView::keyPressEvent(QKeyEvent* event)
{
    if (takeListKey(
            event, [this] { openMenuForCurrentItem(); }, [this] { emit checkKeyPressed(); }))
        return;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        moveSelection(event->key());
        event->accept();
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void MyCollectionView::contextMenuEvent(QContextMenuEvent* event)
{
    // The right click has opened the menu already; the keyboard's request
    // opens it at the current item.
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard)
        openMenuForCurrentItem();
}
