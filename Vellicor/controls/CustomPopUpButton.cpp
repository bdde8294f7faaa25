#include "controls/CustomPopUpButton.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStylePainter>
#include <QToolButton>

CustomPopUpButton::CustomPopUpButton(QWidget* parent)
    : QComboBox(parent)
{
}

void CustomPopUpButton::setTextColor(const std::optional<QColor>& color)
{
    textColor_ = color;
    update();
}

void CustomPopUpButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (!textColor_) {
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        return;
    }
    // The style would pick its own text colour; the title is drawn here
    // where the style puts it, in ours.
    const QRect field = style()
                            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this)
                            .adjusted(1, 0, -1, 0);
    painter.setPen(*textColor_);
    painter.drawText(field, Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width()));
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
