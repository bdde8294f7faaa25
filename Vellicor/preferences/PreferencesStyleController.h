#pragma once

#include "preferences/PreferencePane.h"

#include <QPointer>
#include <QStringList>

#include <vector>

class QAbstractButton;
class QActionGroup;
class QButtonGroup;
class QToolBar;
class QWidget;

// What the tab controller does when the user picks a pane.
class PreferencesStyleControllerDelegate {
public:
    virtual ~PreferencesStyleControllerDelegate() = default;
    virtual void selectPane(int index, bool animated) = 0;
};

class PaneBarKeys;

// One look of the window's toolbar: it fills the toolbar with the panes,
// reports the user's pick to its delegate and shows which pane is selected.
// Either look is one stop of Tab, its selected pane's button, where the arrow
// keys pick the pane before or after. Owned by the tab controller, which is
// also the delegate, so the delegate outlives it.
class PreferencesStyleController {
public:
    virtual ~PreferencesStyleController() = default;

    PreferencesStyleControllerDelegate* delegate = nullptr;

    // Whether a resize keeps the window's horizontal centre.
    virtual bool centersWindowOnResize() const = 0;
    // The identifiers of the toolbar's items, in order.
    virtual QStringList itemIdentifiers() const = 0;
    virtual void fillToolbar(QToolBar* toolbar) = 0;
    virtual void markSelectedPane(int index) = 0;

protected:
    // The bar's buttons, one per pane in order, take the keys.
    void takeKeys(const std::vector<QAbstractButton*>& buttons, QObject* owner);
    // The selected pane's button is the bar's stop of Tab.
    void markKeysSelected(int index);

private:
    QPointer<PaneBarKeys> keys_;
};

// One checkable toolbar item per pane, labelled with its title under its icon.
class ToolbarItemStyleViewController : public PreferencesStyleController {
public:
    ToolbarItemStyleViewController(std::vector<PreferencePane*> panes, bool centerToolbarItems);

    bool centersWindowOnResize() const override { return false; }
    QStringList itemIdentifiers() const override;
    void fillToolbar(QToolBar* toolbar) override;
    void markSelectedPane(int index) override;

private:
    void toolbarItemSelected(const QString& identifier);

    bool centerToolbarItems_;
    std::vector<PreferencePane*> panes_;
    QPointer<QActionGroup> items_;
};

// One segmented control centred in the toolbar, a segment per pane, all as
// wide as the widest title plus 36 points.
class SegmentedControlStyleViewController : public PreferencesStyleController {
public:
    explicit SegmentedControlStyleViewController(std::vector<PreferencePane*> panes);

    bool centersWindowOnResize() const override { return true; }
    QStringList itemIdentifiers() const override;
    void fillToolbar(QToolBar* toolbar) override;
    void markSelectedPane(int index) override;

    // The control; made by fillToolbar, owned by the toolbar.
    QWidget* view() const { return control_; }

private:
    std::vector<PreferencePane*> panes_;
    QPointer<QWidget> control_;
    QPointer<QButtonGroup> segments_;
};
