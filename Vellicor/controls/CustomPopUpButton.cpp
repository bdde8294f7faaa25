#include "controls/CustomPopUpButton.h"

#include "controls/ButtonKeys.h"

#include <QCheckBox>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStylePainter>
#include <QToolButton>
#include <QWheelEvent>

CustomPopUpButton::CustomPopUpButton(QWidget* parent)
    : QComboBox(parent)
{
}

void CustomPopUpButton::setTextColor(const std::optional<QColor>& color)
{
    textColor_ = color;
    update();
}

void CustomPopUpButton::setItemHidden(int index, bool hidden)
{
    if (auto* list = qobject_cast<QListView*>(view()))
        list->setRowHidden(index, hidden);
    // The closed button's keys, typing and wheel skip disabled items only.
    if (auto* items = qobject_cast<QStandardItemModel*>(model())) {
        if (QStandardItem* item = items->item(index)) {
            const Qt::ItemFlags choosable = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            // A separator stays unchoosable when shown.
            const bool separator
                = item->data(Qt::AccessibleDescriptionRole).toString() == QLatin1String("separator");
            item->setFlags(hidden || separator ? item->flags() & ~choosable : item->flags() | choosable);
        }
    }
}

bool CustomPopUpButton::isItemHidden(int index) const
{
    auto* list = qobject_cast<QListView*>(view());
    return list && list->isRowHidden(index);
}

void CustomPopUpButton::setTitleMark(const QImage& mark)
{
    titleMark_ = mark;
    update();
}

QString CustomPopUpButton::closedTitle() const
{
    return showsTitleMark() ? currentText() + QStringLiteral("  ") : currentText();
}

void CustomPopUpButton::wheelEvent(QWheelEvent* event)
{
    if (switchesOnWheel_) {
        QComboBox::wheelEvent(event);
        return;
    }
    event->ignore();
}

void CustomPopUpButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (!textColor_ && !showsTitleMark()) {
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        drawFocusRingIfFocused(painter, this, 5);
        return;
    }
    // The style would pick its own text colour; the title is drawn here
    // where the style puts it, in ours, with the mark after it.
    const QRect field = style()
                            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this)
                            .adjusted(1, 0, -1, 0);
    const int markSide = showsTitleMark() ? std::min(12, field.height()) : 0;
    const QString title
        = fontMetrics().elidedText(closedTitle(), Qt::ElideRight, std::max(0, field.width() - markSide));
    painter.setPen(textColor_.value_or(palette().color(QPalette::ButtonText)));
    painter.drawText(field, Qt::AlignLeft | Qt::AlignVCenter, title);
    if (markSide > 0) {
        const int x = field.left() + fontMetrics().horizontalAdvance(title);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(x, field.center().y() - markSide / 2, markSide, markSide), titleMark_);
    }
    drawFocusRingIfFocused(painter, this, 5);
}

void setColoredTitle(QAbstractButton* button, const QString& title, const QColor& color)
{
    if (!qobject_cast<QPushButton*>(button) && !qobject_cast<QToolButton*>(button) && !qobject_cast<QCheckBox*>(button)
        && !qobject_cast<QRadioButton*>(button))
        return;
    QPalette palette = button->palette();
    for (const auto group : { QPalette::Active, QPalette::Inactive }) {
        palette.setColor(group, QPalette::ButtonText, color);
        palette.setColor(group, QPalette::WindowText, color);
    }
    button->setPalette(palette);
    button->setText(title);
}
