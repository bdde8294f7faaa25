#include "preferences/PreferencesTabViewController.h"

#include "controls/WindowHelpers.h"
#include "preferences/PreferencesKit.h"

#include <QGraphicsOpacityEffect>
#include <QMainWindow>
#include <QPropertyAnimation>
#include <QToolBar>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

constexpr int transitionMs = 250;

} // namespace

PreferencesTabViewController::PreferencesTabViewController(QWidget* parent)
    : QWidget(parent)
    , layout_(new QVBoxLayout(this))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
}

PreferencesTabViewController::~PreferencesTabViewController() = default;

void PreferencesTabViewController::setPreferencePanes(
    std::vector<PreferencePane*> panes, Style style, QToolBar* toolbar)
{
    preferencePanes_ = std::move(panes);
    for (PreferencePane* pane : preferencePanes_) {
        pane->setParent(this);
        pane->hide();
    }
    if (style == Style::toolbarItems)
        preferencesStyleController_ = std::make_unique<ToolbarItemStyleViewController>(preferencePanes_, false);
    else
        preferencesStyleController_ = std::make_unique<SegmentedControlStyleViewController>(preferencePanes_);
    preferencesStyleController_->delegate = this;
    preferencesStyleController_->fillToolbar(toolbar);
}

void PreferencesTabViewController::selectPane(int index, bool animated)
{
    if (index < 0 || index >= int(preferencePanes_.size()))
        return;
    if (!activeTab_)
        showInitialPane(index);
    else if (index != *activeTab_)
        transitionToPane(index, animated);
    activeTab_ = index;
    if (preferencesStyleController_)
        preferencesStyleController_->markSelectedPane(index);
    if (QMainWindow* window = preferencesWindow())
        window->setWindowTitle(showsTitle ? windowTitleForPane(index) : QString());
}

void PreferencesTabViewController::selectNeighbourPane(int step)
{
    const int count = int(preferencePanes_.size());
    if (count == 0)
        return;
    const int from = activeTab_.value_or(0);
    selectPane(((from + step) % count + count) % count, true);
}

QString PreferencesTabViewController::windowTitleForPane(int index) const
{
    if (preferencePanes_.size() > 1)
        return preferencePanes_.at(index)->preferencePaneTitle();
    return applicationNameForTitle() + QLatin1Char(' ') + localizedPreferencesWord(LocalizationIdentifier::preferences);
}

void PreferencesTabViewController::showInitialPane(int index)
{
    PreferencePane* pane = preferencePanes_.at(index);
    layout_->addWidget(pane);
    pane->show();
    resizeWindowToPane(pane, false);
}

void PreferencesTabViewController::transitionToPane(int index, bool animated)
{
    if (!activeTab_) {
        showInitialPane(index);
        return;
    }
    PreferencePane* from = preferencePanes_.at(*activeTab_);
    PreferencePane* to = preferencePanes_.at(index);
    // A focus in the pane going away goes on to the first control of the
    // pane coming, as a tab's page hands it on.
    QWidget* focus = window()->focusWidget();
    const bool focusInPane = focus && from->isAncestorOf(focus);
    layout_->removeWidget(from);
    from->hide();
    layout_->addWidget(to);
    to->show();
    if (focusInPane) {
        for (QWidget* w = to->nextInFocusChain(); w && w != to && to->isAncestorOf(w); w = w->nextInFocusChain()) {
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(to) && w->isEnabled()) {
                w->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    if (!(animated && isAnimated)) {
        to->setGraphicsEffect(nullptr);
        resizeWindowToPane(to, false);
        return;
    }
    auto* fade = new QGraphicsOpacityEffect(to);
    to->setGraphicsEffect(fade);
    auto* fadeIn = new QPropertyAnimation(fade, "opacity", to);
    fadeIn->setDuration(transitionMs);
    fadeIn->setStartValue(0.0);
    fadeIn->setEndValue(1.0);
    fadeIn->setEasingCurve(QEasingCurve::InOutQuad);
    // The effect goes once the pane is opaque again: it costs a repaint per
    // frame for the rest of the run otherwise.
    connect(fadeIn, &QPropertyAnimation::finished, to, [to, fade] {
        if (to->graphicsEffect() == fade)
            to->setGraphicsEffect(nullptr);
    });
    fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
    resizeWindowToPane(to, true);
}

void PreferencesTabViewController::resizeWindowToPane(PreferencePane* pane, bool animated)
{
    QMainWindow* window = preferencesWindow();
    if (!window)
        return;
    QSize content = pane->sizeHint().expandedTo(pane->minimumSizeHint());
    int chrome = 0;
    for (QToolBar* toolbar : window->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
        if (toolbar->isVisibleTo(window))
            chrome += toolbar->sizeHint().height();
    }
    const QSize newSize(content.width(), content.height() + chrome);
    // The frame's position and the content's size, as move() and
    // setFixedSize() take them; y grows downwards, so keeping it keeps the
    // top edge.
    const QRect old(window->pos(), window->size());
    int x = old.x();
    if (preferencesStyleController_ && preferencesStyleController_->centersWindowOnResize())
        x = old.x() + (old.width() - newSize.width()) / 2;
    // A taller pane grows the window downwards; on a small screen it moves up
    // as far as needed to stay clear of the screen's bottom and its panels.
    const QRect target = keptOnScreen(window, QRect(QPoint(x, old.y()), newSize));

    if (resizing_)
        resizing_->stop();
    if (!animated || !window->isVisible()) {
        window->setFixedSize(newSize);
        window->move(target.topLeft());
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setDuration(transitionMs);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(old);
    animation->setEndValue(target);
    connect(animation, &QVariantAnimation::valueChanged, window, [window](const QVariant& value) {
        const QRect frame = value.toRect();
        window->setFixedSize(frame.size());
        window->move(frame.topLeft());
    });
    resizing_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QMainWindow* PreferencesTabViewController::preferencesWindow() const
{
    return qobject_cast<QMainWindow*>(window());
}
