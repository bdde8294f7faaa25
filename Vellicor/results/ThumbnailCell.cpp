#include "results/ThumbnailCell.h"

#include "controls/ApplicationFont.h"
#include "controls/CustomCell.h"
#include "controls/MyCollectionView.h"
#include "controls/NamedImage.h"
#include "core/CommonFuncs.h"
#include "results/ResultsGridProxy.h"
#include "results/ThumbnailProvider.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleOptionButton>

namespace {

const QColor cellColor(45, 47, 50);
const QColor selectedFrameColor(150, 192, 229);
const QColor placeholderColor(62, 64, 68);
const QColor nameColor(230, 231, 233);
const QColor infoColor(160, 163, 168);

void paintPlaceholder(QPainter& painter, const QRect& area)
{
    painter.fillRect(area, placeholderColor);
    // A small landscape: a hill and a sun, as pictures are drawn everywhere.
    const QRectF mark = QRectF(0, 0, 44, 32).translated(QRectF(area).center() - QPointF(22, 16));
    painter.setPen(QPen(QColor(110, 113, 118), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(mark, 3, 3);
    QPainterPath hill;
    hill.moveTo(mark.left() + 4, mark.bottom() - 4);
    hill.lineTo(mark.left() + 17, mark.top() + 14);
    hill.lineTo(mark.right() - 4, mark.bottom() - 4);
    painter.drawPath(hill);
    painter.drawEllipse(QPointF(mark.right() - 10, mark.top() + 9), 3, 3);
}

} // namespace

ThumbnailCell::ThumbnailCell(ResultsGridProxy& model, ThumbnailProvider& pictures, QObject* parent)
    : QStyledItemDelegate(parent)
    , model_(model)
    , pictures_(pictures)
{
}

ThumbnailCell::Layout ThumbnailCell::layoutFor(const QRect& item)
{
    Layout layout;
    layout.frame = item;
    layout.strip = QRect(item.left(), item.bottom() - 5, item.width(), 6);
    layout.info = QRect(item.left() + 8, layout.strip.top() - 24, item.width() - 16, 18);
    layout.name = QRect(item.left() + 8, layout.info.top() - 22, item.width() - 16, 20);
    layout.picture = QRect(item.left() + 8, item.top() + 8, item.width() - 16, layout.name.top() - item.top() - 14);
    layout.checkBox = QRect(layout.picture.left() + 6, layout.picture.top() + 6, 20, 20);
    return layout;
}

QColor ThumbnailCell::stripColor(const FileInfoNode& file)
{
    if (file.isLocked)
        return QColor(120, 120, 120);
    return file.state.value_or(false) ? QColor(226, 62, 62) : QColor(58, 190, 104);
}

QString ThumbnailCell::infoText(const FileInfoNode& file)
{
    return formattedDateText(file.createDate, QStringLiteral("MMM dd yyyy")).value_or(QString()) + QLatin1Char(' ')
        + getSizeInUnits(double(file.fileSize));
}

QSize ThumbnailCell::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return grid_ ? grid_->itemSize() : QSize(210, 260);
}

void ThumbnailCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const Layout layout = layoutFor(option.rect);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillRect(layout.frame, cellColor);
    const FileInfoNodePtr file = model_.fileOf(index);
    const std::optional<QImage> picture = file ? pictures_.cached(*file) : std::nullopt;
    if (picture && !picture->isNull()) {
        const QSize fitted = picture->size().scaled(layout.picture.size(), Qt::KeepAspectRatio);
        const QSize shown = picture->width() <= layout.picture.width() && picture->height() <= layout.picture.height()
            ? picture->size()
            : fitted;
        painter->drawImage(
            QRect(layout.picture.center() - QPoint(shown.width() / 2, shown.height() / 2), shown), *picture);
    } else {
        paintPlaceholder(*painter, layout.picture);
    }
    if (file) {
        painter->setFont(systemFontOfSize(12));
        painter->setPen(nameColor);
        painter->drawText(layout.name, Qt::AlignCenter,
            painter->fontMetrics().elidedText(
                index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, layout.name.width()));
        painter->setFont(systemFontOfSize(11));
        painter->setPen(infoColor);
        painter->drawText(layout.info, Qt::AlignCenter, infoText(*file));
        painter->fillRect(layout.strip, stripColor(*file));

        // A locked file wears the lock where others have their box: nothing
        // marks it.
        if (file->isLocked)
            NamedImage::load(QStringLiteral("lock_icon")).drawCentred(*painter, layout.checkBox);
        else
            drawCheckBox(*painter, layout.checkBox, file->state.value_or(false) ? 1 : 0);
    }
    if (option.state & QStyle::State_Selected) {
        painter->setPen(QPen(selectedFrameColor, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(layout.frame).adjusted(1, 1, -1, -1));
    }
    painter->restore();
}

void ThumbnailCell::watch(MyCollectionView* grid)
{
    grid_ = grid;
    grid->viewport()->installEventFilter(this);
}

bool ThumbnailCell::eventFilter(QObject* watched, QEvent* event)
{
    // The type comes first: the viewport's last events arrive while the grid
    // around it is being destroyed, when the grid must not be asked anything.
    if (event->type() != QEvent::MouseButtonPress || !grid_ || watched != grid_->viewport())
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QPoint pos = mouse->position().toPoint();
    const std::optional<IndexPath> hit = grid_->indexPathForItemAtPoint(pos);
    if (!hit)
        return false;
    const int scrolled = grid_->verticalScrollBar()->value();
    const Layout layout = layoutFor(grid_->itemFrame(*hit).translated(0, -scrolled));
    if (!layout.checkBox.adjusted(-4, -4, 4, 4).contains(pos))
        return false;
    // The lock is no box: a click on it selects the item as anywhere else.
    const FileInfoNodePtr file = model_.fileOf(model_.indexOfItem(hit->section, hit->item));
    if (file && file->isLocked)
        return false;
    emit checkBoxClicked(*hit);
    return true;
}
