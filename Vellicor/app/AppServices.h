#pragma once

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class MainViewController;
class QWidget;
class ScanEngine;

// What the application delegate needs of the screens and services that come
// later than it: the home screen, the preferences window and the cloud
// sign-ins. Each has a stand-in here until its own work replaces it. All
// calls come on the GUI thread.

// The main window's start screen.
class HomeScreen {
public:
    virtual ~HomeScreen() = default;
    // The root view the delegate puts into the main window; the window owns it
    // from then on.
    virtual QWidget* view() = 0;
    // The scan engine behind the screen; null while there is none. Quit asks
    // it first and its end joins the scan's worker.
    virtual ScanEngine* scanEngine() = 0;
};

// The preferences window, made once and kept for the run.
class PreferencesWindow {
public:
    virtual ~PreferencesWindow() = default;
    // Shows the window at the pane named ("general", "advancescansetting",
    // "searchoptions", "scanhistory"); without a name, at the pane that was
    // active, the first one the first time.
    virtual void showPreferencesWindow(const std::optional<QString>& pane) = 0;
};

// The cloud sign-ins the delegate routes redirects to and ends at quit.
class CloudSessions {
public:
    virtual ~CloudSessions() = default;
    // A redirect for the Google sign-in waiting for one; false when none waits.
    virtual bool resumeGoogleSignIn(const QUrl& url) = 0;
    // A redirect for the OneDrive sign-in; false when none waits.
    virtual bool handleOneDriveRedirect(const QUrl&) { return false; }
    // At quit: the Google authorisation is forgotten and its stored copy
    // removed; the OneDrive account is signed out.
    virtual void signOutAtQuit() = 0;
};

// The home screen behind the delegate's interface. The controller is the
// view; the main window owns it once placed, until then the returned object
// does. Its set-up runs when the delegate first asks for the view, after the
// shared start-up.
std::unique_ptr<HomeScreen> makeHomeScreen(MainViewController* controller);

// Stand-ins until the screens exist: a blank home view with no scan engine,
// an empty preferences window, cloud sessions that do nothing.
std::unique_ptr<HomeScreen> makePlaceholderHomeScreen();
std::unique_ptr<PreferencesWindow> makePlaceholderPreferencesWindow();
std::shared_ptr<CloudSessions> makeIdleCloudSessions();
