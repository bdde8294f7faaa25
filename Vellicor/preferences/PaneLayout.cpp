#include "preferences/PaneLayout.h"

#include "controls/ApplicationFont.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

PreferencesContainer::PreferencesContainer(int contentWidth, QWidget* parent)
    : QWidget(parent)
    , grid_(new QGridLayout(this))
{
    grid_->setContentsMargins(30, 20, 30, 20);
    grid_->setHorizontalSpacing(8);
    grid_->setVerticalSpacing(8);
    grid_->setColumnStretch(1, 1);
    setFixedWidth(contentWidth + 60);
}

void PreferencesContainer::addSection(QWidget* label, std::initializer_list<QWidget*> content, bool bottomDivider)
{
    if (dividerPending_) {
        auto* divider = new QFrame(this);
        divider->setFrameShape(QFrame::HLine);
        divider->setFrameShadow(QFrame::Sunken);
        divider->setFixedHeight(20);
        grid_->addWidget(divider, rows_++, 0, 1, 2);
    }
    dividerPending_ = bottomDivider;
    if (label)
        grid_->addWidget(label, rows_, 0, Qt::AlignRight | Qt::AlignTop);
    auto* column = new QWidget(this);
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    for (QWidget* widget : content)
        stack->addWidget(widget, 0, Qt::AlignLeft);
    grid_->addWidget(column, rows_++, 1, Qt::AlignTop);
}

QLabel* PreferencesContainer::addSection(
    const QString& title, std::initializer_list<QWidget*> content, bool bottomDivider)
{
    auto* label = new QLabel(title, this);
    label->setFont(systemFontOfSize(13));
    addSection(label, content, bottomDivider);
    return label;
}

void applyPreferenceDescriptionStyle(QLabel* label)
{
    label->setFont(systemFontOfSize(11));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    QColor secondary = palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.55);
    palette.setColor(QPalette::WindowText, secondary);
    label->setPalette(palette);
}

QWidget* preferencesLine(std::initializer_list<QWidget*> controls)
{
    auto* line = new QWidget;
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    for (QWidget* control : controls)
        row->addWidget(control);
    row->addStretch(1);
    return line;
}
