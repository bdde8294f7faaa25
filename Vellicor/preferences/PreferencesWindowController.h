#pragma once

#include "preferences/PreferencePane.h"

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>
#include <vector>

class PreferencesTabViewController;
class QToolBar;
class UserDefaults;

// The preferences window. While user interaction is off, presses, keys,
// drags and the like aimed at it or its controls are dropped; hovering and
// everything else still arrive. It offers no menu to hide its toolbar.
class UserInteractionPausableWindow : public QMainWindow {
public:
    explicit UserInteractionPausableWindow(QWidget* parent = nullptr);
    ~UserInteractionPausableWindow() override;

    bool isUserInteractionEnabled() const { return isUserInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled);

    QMenu* createPopupMenu() override { return nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isUserInteractionEnabled_ = true;
};

// Owns the preferences window, its toolbar and the tab controller showing one
// pane at a time. Made once per run; closing the window keeps the panes and
// the active pane. The window's position is kept in the settings from its
// first show on. GUI thread only.
class PreferencesWindowController : public QObject {
public:
    // Takes the panes (at least one). The window is built, nothing selected
    // and nothing shown yet.
    PreferencesWindowController(std::vector<PreferencePane*> preferences, Style style, bool animated,
        bool hidesToolbarForSingleItem, UserDefaults& defaults);
    ~PreferencesWindowController() override;

    // The settings key the window's position is kept under: the top left of
    // its contents, which its frame does not move.
    static constexpr char frameAutosaveKey[] = "PreferencesWindowFrame";

    // Selects the pane whose identifier is exactly pane (the first pane when
    // none is), or without one the active pane (the first the first time);
    // then shows, places and raises the window.
    void showPreferencesWindow(const std::optional<QString>& pane);
    // Centres the window on its screen, then moves it where it was last left.
    void restoreWindowPosition();
    void updateToolbarVisibility();

    bool hidesToolbarForSingleItem() const { return hidesToolbarForSingleItem_; }
    void setHidesToolbarForSingleItem(bool hides);
    bool isAnimated() const;
    void setAnimated(bool animated);
    // False with the segmented look and more than one pane: the segments
    // name the panes, so the window's title stays empty.
    bool isTitleVisible() const { return titleVisible_; }

    UserInteractionPausableWindow* window() const { return window_; }
    PreferencesTabViewController* tabViewController() const { return tabViewController_; }
    QToolBar* toolbar() const { return toolbar_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void saveFrame();

    UserDefaults& defaults_;
    QPointer<UserInteractionPausableWindow> window_;
    PreferencesTabViewController* tabViewController_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    bool hidesToolbarForSingleItem_ = false;
    bool titleVisible_ = true;
    bool autosaving_ = false;
    QTimer saveTimer_;
};
