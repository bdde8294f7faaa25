#pragma once

#include "preferences/PreferencePane.h"
#include "preferences/PreferencesStyleController.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QMainWindow;
class QToolBar;
class QVariantAnimation;
class QVBoxLayout;

// The content of the preferences window: holds the panes, shows one at a time
// filling it, switches with a short cross-fade while the window grows or
// shrinks to the new pane keeping its top edge, and keeps the window title in
// step. GUI thread only.
class PreferencesTabViewController : public QWidget, public PreferencesStyleControllerDelegate {
public:
    explicit PreferencesTabViewController(QWidget* parent = nullptr);
    ~PreferencesTabViewController() override;

    // Once, after this became the window's central widget: takes the panes
    // as children, fills the toolbar by the style.
    void setPreferencePanes(std::vector<PreferencePane*> panes, Style style, QToolBar* toolbar);

    void selectPane(int index, bool animated) override;
    // The pane step places after the active one (before it when negative),
    // round the ends: Ctrl+Tab and its kin.
    void selectNeighbourPane(int step);

    std::optional<int> activeTab() const { return activeTab_; }
    const std::vector<PreferencePane*>& preferencePanes() const { return preferencePanes_; }
    PreferencesStyleController* styleController() const { return preferencesStyleController_.get(); }

    bool isAnimated = true;
    // Off: the window's title stays empty (the segmented look names the panes
    // itself).
    bool showsTitle = true;

    // The title of the window showing the pane at index: with one pane the
    // application's name and the word for "Preferences", else the pane's.
    QString windowTitleForPane(int index) const;

private:
    void showInitialPane(int index);
    void transitionToPane(int index, bool animated);
    void resizeWindowToPane(PreferencePane* pane, bool animated);
    QMainWindow* preferencesWindow() const;

    std::optional<int> activeTab_;
    std::vector<PreferencePane*> preferencePanes_;
    std::unique_ptr<PreferencesStyleController> preferencesStyleController_;
    QVBoxLayout* layout_ = nullptr;
    QPointer<QVariantAnimation> resizing_;
};
