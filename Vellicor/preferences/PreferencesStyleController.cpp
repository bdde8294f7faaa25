#include "preferences/PreferencesStyleController.h"

#include "controls/ApplicationFont.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

ToolbarItemStyleViewController::ToolbarItemStyleViewController(
    std::vector<PreferencePane*> panes, bool centerToolbarItems)
    : centerToolbarItems_(centerToolbarItems)
    , panes_(std::move(panes))
{
}

QStringList ToolbarItemStyleViewController::itemIdentifiers() const
{
    QStringList identifiers;
    for (const PreferencePane* pane : panes_)
        identifiers << pane->preferencePaneIdentifier().rawValue;
    return identifiers;
}

void ToolbarItemStyleViewController::fillToolbar(QToolBar* toolbar)
{
    items_ = new QActionGroup(toolbar);
    items_->setExclusive(true);
    auto addSpacer = [toolbar] {
        auto* spacer = new QWidget(toolbar);
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        toolbar->addWidget(spacer);
    };
    if (centerToolbarItems_)
        addSpacer();
    for (PreferencePane* pane : panes_) {
        QAction* item = toolbar->addAction(pane->toolbarItemIcon(), pane->preferencePaneTitle());
        const QString identifier = pane->preferencePaneIdentifier().rawValue;
        item->setObjectName(identifier);
        item->setCheckable(true);
        items_->addAction(item);
        QObject::connect(item, &QAction::triggered, toolbar, [this, identifier] { toolbarItemSelected(identifier); });
    }
    if (centerToolbarItems_)
        addSpacer();
}

void ToolbarItemStyleViewController::toolbarItemSelected(const QString& identifier)
{
    if (!delegate)
        return;
    int index = 0;
    for (int i = 0; i < int(panes_.size()); ++i) {
        if (panes_[i]->preferencePaneIdentifier().rawValue == identifier) {
            index = i;
            break;
        }
    }
    delegate->selectPane(index, true);
}

void ToolbarItemStyleViewController::markSelectedPane(int index)
{
    if (!items_ || index < 0 || index >= int(items_->actions().size()))
        return;
    items_->actions().at(index)->setChecked(true);
}

SegmentedControlStyleViewController::SegmentedControlStyleViewController(std::vector<PreferencePane*> panes)
    : panes_(std::move(panes))
{
}

QStringList SegmentedControlStyleViewController::itemIdentifiers() const
{
    return { QStringLiteral("NSToolbarFlexibleSpaceItem"), QStringLiteral("toolbarSegmentedControlItem"),
        QStringLiteral("NSToolbarFlexibleSpaceItem") };
}

void SegmentedControlStyleViewController::fillToolbar(QToolBar* toolbar)
{
    const QFontMetrics metrics(systemFontOfSize(13));
    int widest = 0;
    int tallest = 0;
    for (const PreferencePane* pane : panes_) {
        const QRect bounds = metrics.boundingRect(pane->preferencePaneTitle());
        widest = std::max(widest, bounds.width());
        tallest = std::max(tallest, bounds.height());
    }
    const int segmentWidth = widest + 36;
    const int segmentHeight = tallest + 12;
    const int count = int(panes_.size());

    auto* control = new QWidget(toolbar);
    control->setObjectName(QStringLiteral("toolbarSegmentedControl"));
    control->setFixedSize(segmentWidth * count + count + 1, segmentHeight);
    auto* row = new QHBoxLayout(control);
    row->setContentsMargins(1, 0, 1, 0);
    row->setSpacing(1);
    segments_ = new QButtonGroup(control);
    segments_->setExclusive(true);
    for (int i = 0; i < count; ++i) {
        auto* segment = new QToolButton(control);
        segment->setText(panes_[i]->preferencePaneTitle());
        segment->setCheckable(true);
        segment->setFixedSize(segmentWidth, segmentHeight);
        row->addWidget(segment);
        segments_->addButton(segment, i);
    }
    QObject::connect(segments_, &QButtonGroup::idClicked, control, [this](int index) {
        if (delegate)
            delegate->selectPane(index, true);
    });
    control_ = control;

    auto addSpacer = [toolbar] {
        auto* spacer = new QWidget(toolbar);
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        toolbar->addWidget(spacer);
    };
    addSpacer();
    toolbar->addWidget(control);
    addSpacer();
}

void SegmentedControlStyleViewController::markSelectedPane(int index)
{
    if (!segments_)
        return;
    if (QAbstractButton* segment = segments_->button(index))
        segment->setChecked(true);
}
