#include "controls/CustomCell.h"

#include "controls/ApplicationFont.h"
#include "controls/NamedImage.h"
#include "controls/PathShortening.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int padding = 4;
// Between two texts of a parent row that run one after the other.
constexpr int flowGap = 14;
constexpr int buttonSide = 16;
const QColor linkColor(198, 207, 229);

bool isButton(CustomCell::Outlet outlet)
{
    using O = CustomCell::Outlet;
    return outlet == O::btnCheckBox || outlet == O::btnDelete || outlet == O::btnShowInFinder
        || outlet == O::btnLinkButton;
}

bool isText(CustomCell::Outlet outlet)
{
    return outlet != CustomCell::Outlet::imgView && !isButton(outlet);
}

QString plainText(const QVariant& text)
{
    if (text.userType() != qMetaTypeId<CellText>())
        return text.toString();
    QString joined;
    for (const TextRun& run : text.value<CellText>())
        joined += run.text;
    return joined;
}

QRect square(int x, const QRect& cell, int side)
{
    return QRect(x, cell.top() + (cell.height() - side) / 2, side, side);
}

QFont fontOf(const std::optional<CustomCell::Slot>& slot)
{
    return slot ? systemFontOfSize(slot->fontSize, slot->bold ? QFont::Bold : QFont::Normal) : systemFontOfSize(13);
}

// A round button with a cross: the delete button; with a magnifier circle,
// the show-in-folder button.
void drawRoundButton(QPainter& painter, const QRect& rect, bool cross)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 124, 132));
    painter.drawEllipse(r);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = r.center();
    const qreal d = r.width() * 0.2;
    if (cross) {
        painter.drawLine(c + QPointF(-d, -d), c + QPointF(d, d));
        painter.drawLine(c + QPointF(-d, d), c + QPointF(d, -d));
    } else {
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(c + QPointF(-d * 0.4, -d * 0.4), d, d);
        painter.drawLine(c + QPointF(d * 0.35, d * 0.35), c + QPointF(d * 1.4, d * 1.4));
    }
    painter.restore();
}

} // namespace

void drawCheckBox(QPainter& painter, const QRect& rect, int state)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5);
    if (state == 0) {
        painter.setPen(QPen(QColor(150, 154, 162), 1));
        painter.setBrush(QColor(58, 60, 64));
    } else {
        painter.setPen(QPen(QColor(8, 84, 196), 1));
        painter.setBrush(QColor(20, 118, 235));
    }
    painter.drawRoundedRect(box, 2.5, 2.5);
    painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal w = box.width();
    const QPointF o = box.topLeft();
    if (state == 1) {
        const QPointF tick[]
            = { o + QPointF(w * 0.22, w * 0.52), o + QPointF(w * 0.42, w * 0.72), o + QPointF(w * 0.78, w * 0.3) };
        painter.drawPolyline(tick, 3);
    } else if (state != 0) {
        painter.drawLine(o + QPointF(w * 0.25, w * 0.5), o + QPointF(w * 0.75, w * 0.5));
    }
    painter.restore();
}

CustomCell::CustomCell(QObject* parent)
    : QStyledItemDelegate(parent)
{
    qRegisterMetaType<CellText>();
}

void CustomCell::setSlot(Outlet outlet, const Slot& slot)
{
    slots_[int(outlet)] = slot;
    hasSlots_ = true;
}

void CustomCell::clearSlots()
{
    slots_.fill(std::nullopt);
    hasSlots_ = false;
}

QVariant CustomCell::content(const QModelIndex& index, Outlet outlet) const
{
    const QVariant own = index.data(roleOf(outlet));
    if (own.isValid())
        return own;
    switch (outlet) {
    case Outlet::lbltextField:
        return index.data(Qt::DisplayRole);
    case Outlet::imgView:
        return index.data(Qt::DecorationRole);
    case Outlet::btnCheckBox: {
        const QVariant check = index.data(Qt::CheckStateRole);
        if (!check.isValid())
            return check;
        const auto state = Qt::CheckState(check.toInt());
        return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? -1 : 0;
    }
    default:
        return {};
    }
}

std::array<QRect, CustomCell::outletCount> CustomCell::outletRects(const QRect& cell, const QModelIndex& index) const
{
    std::array<QRect, outletCount> rects {};
    const auto shown = [&](Outlet outlet) {
        const QVariant value = content(index, outlet);
        if (outlet == Outlet::btnDelete || outlet == Outlet::btnShowInFinder)
            return value.toBool();
        return value.isValid() && !(isText(outlet) && plainText(value).isEmpty());
    };

    if (hasSlots_) {
        const bool parentRow = index.data(isParentNodeRole).toBool();
        for (int i = 0; i < outletCount; ++i) {
            const auto& slot = slots_[i];
            if (!slot || !shown(Outlet(i)))
                continue;
            const int given = parentRow && slot->parentRowWidth > 0 ? slot->parentRowWidth : slot->width;
            const int width = given > 0 ? given : cell.width() - slot->x + given;
            QRect area(cell.left() + slot->x, cell.top(), qMax(0, width), cell.height());
            if (!isText(Outlet(i)) && Outlet(i) != Outlet::btnLinkButton) {
                // Buttons and images keep their side, placed by the slot's alignment.
                const int side = Outlet(i) == Outlet::imgView ? qMin(cell.height() - 6, 20) : buttonSide;
                const int x = (slot->alignment & Qt::AlignRight) ? area.right() - side + 1
                    : (slot->alignment & Qt::AlignHCenter)       ? area.left() + (area.width() - side) / 2
                                                                 : area.left();
                area = square(x, cell, side);
            }
            rects[i] = area;
        }
        if (parentRow)
            flowParentRowTexts(rects, cell, index);
        return rects;
    }

    int left = cell.left() + padding;
    int right = cell.right() + 1 - padding;
    if (shown(Outlet::btnCheckBox)) {
        rects[int(Outlet::btnCheckBox)] = square(left, cell, buttonSide);
        left += buttonSide + 6;
    }
    if (shown(Outlet::imgView)) {
        const int side = qMax(0, qMin(cell.height() - 6, 20));
        rects[int(Outlet::imgView)] = square(left, cell, side);
        left += side + 6;
    }
    for (Outlet button : { Outlet::btnDelete, Outlet::btnShowInFinder }) {
        if (!shown(button))
            continue;
        rects[int(button)] = square(right - buttonSide, cell, buttonSide);
        right -= buttonSide + 6;
    }
    const QFontMetrics metrics(fontOf(std::nullopt));
    for (Outlet text : { Outlet::btnLinkButton, Outlet::lblCount }) {
        if (!shown(text))
            continue;
        const int width = qMin(metrics.horizontalAdvance(plainText(content(index, text))) + 2, qMax(0, right - left));
        rects[int(text)] = QRect(right - width, cell.top(), width, cell.height());
        right -= width + 8;
    }
    if (shown(Outlet::lbltextField))
        rects[int(Outlet::lbltextField)] = QRect(left, cell.top(), qMax(0, right - left), cell.height());
    return rects;
}

void CustomCell::flowParentRowTexts(
    std::array<QRect, outletCount>& rects, const QRect& cell, const QModelIndex& index) const
{
    const auto textWidth = [&](int i) {
        return int(std::ceil(QFontMetricsF(drawnFont(Outlet(i))).horizontalAdvance(plainText(content(index, Outlet(i))))));
    };
    std::vector<int> flowing;
    int end = cell.right() + 1;
    for (int i = 0; i < outletCount; ++i) {
        const auto& slot = slots_[i];
        if (!slot || rects[i].isEmpty() || !isText(Outlet(i)))
            continue;
        if (slot->flowsInParentRow)
            flowing.push_back(i);
        else if (slot->alignment & Qt::AlignRight)
            end = std::min(end, rects[i].right() + 1 - textWidth(i) - flowGap);
    }
    if (flowing.empty())
        return;
    std::ranges::sort(flowing, [&rects](int a, int b) { return rects[a].left() < rects[b].left(); });
    std::vector<int> wanted;
    int others = 0;
    for (const int i : flowing) {
        wanted.push_back(textWidth(i));
        if (i != flowing.front())
            others += flowGap + wanted.back();
    }
    QRect& first = rects[flowing.front()];
    first.setWidth(std::max(first.width(), std::min(wanted.front(), end - others - first.left())));
    int drawnEnd = first.left() + std::min(wanted.front(), first.width());
    for (std::size_t k = 1; k < flowing.size(); ++k) {
        QRect& rect = rects[flowing[k]];
        const int left = std::max(rect.left(), drawnEnd + flowGap);
        const int width = std::max(0, std::min(std::max(wanted[k], rect.width()), end - left));
        rect = QRect(left, rect.top(), width, rect.height());
        drawnEnd = left + std::min(wanted[k], width);
    }
}

std::optional<CustomCell::Outlet> CustomCell::buttonAt(
    const QRect& cellRect, const QModelIndex& index, const QPoint& pos) const
{
    const auto rects = outletRects(cellRect, index);
    for (int i = 0; i < outletCount; ++i) {
        if (isButton(Outlet(i)) && rects[i].contains(pos))
            return Outlet(i);
    }
    return std::nullopt;
}

QFont CustomCell::drawnFont(Outlet outlet) const
{
    QFont font = fontOf(hasSlots_ ? slots_[int(outlet)] : std::nullopt);
    font.setUnderline(outlet == Outlet::btnLinkButton);
    return font;
}

QString CustomCell::fitted(
    const QFontMetrics& metrics, const QString& text, Outlet outlet, int width, const QModelIndex& index) const
{
    const auto& slot = slots_[int(outlet)];
    if (slot && slot->keepsPathEnd) {
        const QVariant shared = index.data(sharedPartsRole);
        return elidedPathApart(metrics, text,
            shared.canConvert<SharedParts>() ? shared.value<SharedParts>()
                                             : SharedParts { std::numeric_limits<std::int16_t>::max(), 0 },
            width);
    }
    return metrics.elidedText(text, slot ? slot->elide : Qt::ElideRight, width);
}

QString CustomCell::shownText(const QRect& cellRect, const QModelIndex& index, Outlet outlet) const
{
    const QRect rect = outletRects(cellRect, index)[int(outlet)];
    const QVariant text = content(index, outlet);
    if (rect.isEmpty() || !isText(outlet))
        return {};
    if (text.userType() == qMetaTypeId<CellText>())
        return plainText(text);
    return fitted(QFontMetrics(drawnFont(outlet)), text.toString(), outlet, rect.width(), index);
}

void CustomCell::drawText(QPainter& painter, const QRect& rect, const QVariant& text, Outlet outlet,
    const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto& slot = slots_[int(outlet)];
    const QColor base = outlet == Outlet::btnLinkButton ? linkColor
        : slot && slot->color                           ? *slot->color
                                                        : option.palette.color(QPalette::Text);
    Qt::Alignment alignment = slot ? slot->alignment : Qt::AlignLeft;
    if (!hasSlots_ && (outlet == Outlet::lblCount || outlet == Outlet::btnLinkButton))
        alignment = Qt::AlignRight;
    alignment = (alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;

    const QFont drawn = drawnFont(outlet);
    painter.setFont(drawn);
    const QFontMetrics metrics(drawn);
    if (text.userType() != qMetaTypeId<CellText>()) {
        painter.setPen(base);
        painter.drawText(rect, int(alignment), fitted(metrics, text.toString(), outlet, rect.width(), index));
        return;
    }
    // Runs are laid one after another from where the whole text would start.
    const CellText runs = text.value<CellText>();
    const int total = metrics.horizontalAdvance(plainText(text));
    int x = rect.left();
    if (alignment & Qt::AlignRight)
        x = rect.right() + 1 - total;
    else if (alignment & Qt::AlignHCenter)
        x = rect.left() + (rect.width() - total) / 2;
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    for (const TextRun& run : runs) {
        painter.setPen(run.color.isValid() ? run.color : base);
        const int width = metrics.horizontalAdvance(run.text);
        painter.drawText(QRect(x, rect.top(), width + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter, run.text);
        x += width;
    }
    painter.restore();
}

void CustomCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto rects = outletRects(option.rect, index);
    painter->save();
    for (int i = 0; i < outletCount; ++i) {
        const QRect& rect = rects[i];
        if (rect.isEmpty())
            continue;
        const Outlet outlet = Outlet(i);
        const QVariant value = content(index, outlet);
        switch (outlet) {
        case Outlet::imgView:
            if (value.userType() == QMetaType::QImage) {
                painter->setRenderHint(QPainter::SmoothPixmapTransform);
                painter->drawImage(rect, value.value<QImage>());
            } else {
                painter->setRenderHint(QPainter::Antialiasing);
                NamedImage::load(value.toString()).draw(*painter, rect);
            }
            break;
        case Outlet::btnCheckBox:
            drawCheckBox(*painter, rect, value.toInt());
            break;
        case Outlet::btnDelete:
        case Outlet::btnShowInFinder:
            drawRoundButton(*painter, rect, outlet == Outlet::btnDelete);
            break;
        default:
            drawText(*painter, rect, value, outlet, option, index);
        }
    }
    painter->restore();
}

bool CustomCell::helpEvent(
    QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && view && event->type() == QEvent::ToolTip && hasSlots_ && index.isValid()) {
        const auto rects = outletRects(option.rect, index);
        for (int i = 0; i < outletCount; ++i) {
            if (!isText(Outlet(i)) || !rects[i].contains(event->pos()))
                continue;
            const QString text = plainText(content(index, Outlet(i)));
            if (text.isEmpty())
                break;
            QToolTip::showText(event->globalPos(), text, view->viewport(), rects[i]);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

QSize CustomCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Rows of differing heights (the outline's groups, titles and files) say
    // so through the model.
    const QVariant given = index.data(Qt::SizeHintRole);
    if (given.userType() == QMetaType::QSize)
        return given.toSize();
    const QFontMetrics metrics(systemFontOfSize(13));
    return QSize(metrics.horizontalAdvance(plainText(content(index, Outlet::lbltextField))) + 2 * padding,
        qMax(option.rect.height(), metrics.height() + 2 * padding));
}

bool CustomCell::editorEvent(
    QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const std::optional<Outlet> button = buttonAt(option.rect, index, mouse->position().toPoint());
    // The second press of a double click counts as a press of its own.
    if (type != QEvent::MouseButtonRelease) {
        pressedIndex_ = index;
        pressedButton_ = button;
        return button.has_value();
    }
    const bool tapped = button && pressedButton_ == button && pressedIndex_ == index;
    const bool wasOnButton = pressedButton_.has_value();
    pressedIndex_ = QPersistentModelIndex();
    pressedButton_.reset();
    if (tapped)
        emit buttonTapped(index, *button);
    return tapped || wasOnButton;
}
