#include "preferences/PreferencesStyleController.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

namespace {

// The focus ring over a button of the bar, whose own look shows only which
// pane is selected.
class FocusRingOver : public QWidget {
public:
    explicit FocusRingOver(QWidget* button)
        : QWidget(button)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        drawFocusRing(painter, QRectF(rect()), 5);
    }
};

} // namespace

// The keys of the pane bar: its selected button alone is a stop of Tab, and
// there Left or Up picks the pane before, Right or Down the pane after, the
// focus going along, ringed. Lives as long as the toolbar it is made for.
class PaneBarKeys : public QObject {
public:
    PaneBarKeys(std::vector<QAbstractButton*> buttons, PreferencesStyleController& style, QObject* owner)
        : QObject(owner)
        , style_(style)
    {
        for (QAbstractButton* button : buttons) {
            buttons_.emplace_back(button);
            button->setFocusPolicy(Qt::NoFocus);
            button->installEventFilter(this);
        }
    }

    void markSelected(int index)
    {
        QAbstractButton* selected = at(index);
        if (!selected)
            return;
        bool barHadFocus = false;
        for (const QPointer<QAbstractButton>& button : buttons_)
            barHadFocus = barHadFocus || (button && button->hasFocus());
        selected->setFocusPolicy(Qt::TabFocus);
        if (barHadFocus)
            selected->setFocus(Qt::TabFocusReason);
        for (const QPointer<QAbstractButton>& button : buttons_) {
            if (button && button != selected)
                button->setFocusPolicy(Qt::NoFocus);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button)
            return false;
        switch (event->type()) {
        case QEvent::FocusIn:
            ringOn(button);
            return false;
        case QEvent::FocusOut:
            if (ring_ && ring_->parentWidget() == button)
                ring_->hide();
            return false;
        case QEvent::Resize:
            if (ring_ && ring_->parentWidget() == button)
                ring_->setGeometry(button->rect());
            return false;
        case QEvent::KeyPress:
            break;
        default:
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        int step = 0;
        if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Up)
            step = -1;
        else if (key->key() == Qt::Key_Right || key->key() == Qt::Key_Down)
            step = 1;
        if (step == 0)
            return false;
        const auto from = std::ranges::find(buttons_, watched);
        if (from == buttons_.end())
            return false;
        const int index = int(from - buttons_.begin()) + step;
        if (index >= 0 && index < int(buttons_.size()) && style_.delegate)
            style_.delegate->selectPane(index, true);
        return true;
    }

private:
    void ringOn(QAbstractButton* button)
    {
        if (!ring_)
            ring_ = new FocusRingOver(button);
        else if (ring_->parentWidget() != button)
            ring_->setParent(button);
        ring_->setGeometry(button->rect());
        ring_->raise();
        ring_->show();
    }

    QAbstractButton* at(int index) const
    {
        return index >= 0 && index < int(buttons_.size()) ? buttons_[std::size_t(index)].data() : nullptr;
    }

    PreferencesStyleController& style_;
    std::vector<QPointer<QAbstractButton>> buttons_;
    QPointer<QWidget> ring_;
};

void PreferencesStyleController::takeKeys(const std::vector<QAbstractButton*>& buttons, QObject* owner)
{
    keys_ = new PaneBarKeys(buttons, *this, owner);
}

void PreferencesStyleController::markKeysSelected(int index)
{
    if (keys_)
        keys_->markSelected(index);
}

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
    std::vector<QAbstractButton*> buttons;
    for (PreferencePane* pane : panes_) {
        QAction* item = toolbar->addAction(pane->toolbarItemIcon(), pane->preferencePaneTitle());
        const QString identifier = pane->preferencePaneIdentifier().rawValue;
        item->setObjectName(identifier);
        item->setCheckable(true);
        items_->addAction(item);
        QObject::connect(item, &QAction::triggered, toolbar, [this, identifier] { toolbarItemSelected(identifier); });
        if (auto* button = qobject_cast<QAbstractButton*>(toolbar->widgetForAction(item)))
            buttons.push_back(button);
    }
    if (buttons.size() == panes_.size())
        takeKeys(buttons, toolbar);
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
    markKeysSelected(index);
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
    std::vector<QAbstractButton*> buttons;
    for (int i = 0; i < count; ++i) {
        auto* segment = new QToolButton(control);
        segment->setText(panes_[i]->preferencePaneTitle());
        segment->setCheckable(true);
        segment->setFixedSize(segmentWidth, segmentHeight);
        row->addWidget(segment);
        segments_->addButton(segment, i);
        buttons.push_back(segment);
    }
    takeKeys(buttons, control);
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
    markKeysSelected(index);
}
