#pragma once

#include "app/AppServices.h"
#include "app/SignInListener.h"
#include "app/SupportFiles.h"
#include "app/Updater.h"
#include "cloud/SecretStore.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QSize>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMainWindow;
class QMenu;
class UserDefaults;

// The address of an online support page, set when the program is built
// (VELLICOR_HELP_URL); empty, the help menu opens the page the program carries.
// Either way the help menu adds the language.
inline constexpr char supportPageAddress[] = VELLICOR_HELP_URL;

// The program's root object: it starts the program in the main window, serves
// the application and help menus, receives sign-in redirects, and owns the
// one road out (menu, shortcut, window close), which a running scan refuses.
// It owns the main window, the home screen, the updater, the sign-in listener
// and, once made, the preferences window. GUI thread only.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Without a home screen the delegate shows a blank stand-in.
    explicit AppDelegate(UserDefaults& defaults, std::unique_ptr<HomeScreen> home = {}, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The application-wide steps, replaceable for tests: ending the event
    // loop, opening an address in the browser, bringing the program to the
    // front.
    std::function<void()> terminate;
    std::function<bool(const QUrl&)> openUrl;
    std::function<void()> activateApplication;

    void setCloudSessions(std::shared_ptr<CloudSessions> sessions);
    // Where the cloud sign-ins keep their secrets, all of which an uninstall
    // removes: the desktop's keyring unless a test gives another. waitMs
    // bounds the wait for the store's answers.
    void setSecretStore(std::shared_ptr<SecretStore> store, int waitMs = longestKeyringWait);
    static constexpr int longestKeyringWait = 30000;
    void setPreferencesWindowFactory(std::function<std::unique_ptr<PreferencesWindow>()> factory);

    // ---- Start-up, in this order -------------------------------------------
    // The shared start-up, the launch state, the home view in the 1082 x 700
    // content, and the small-screen layout for the primary screen.
    void awakeFromNib();
    // The same, laid out for a screen of the given size.
    void awakeFromNib(const std::optional<QSize>& screenSize);
    void prepareLaunchState();
    // Shrinks the window to 960 x 600 and moves the home screen's controls
    // when the screen is narrower than 1000 or lower than 800; none does
    // nothing.
    void adaptLayoutToSmallScreen(const std::optional<QSize>& screenSize);
    // The updater, the sign-in listener, the extension lists, the menu
    // titles and the preferences window.
    void applicationDidFinishLaunching();

    // ---- The road out ------------------------------------------------------
    // Refused, with the scan engine's alert, while a scan runs; otherwise the
    // road out below.
    void quitApplication();
    // A signal (a shutdown, a logout, a kill) cannot be refused: a running
    // scan is stopped without a question, then the road out below. Asked
    // again while the program ends, it changes nothing.
    void quitOnSignal();
    // The road out: the work under way stops after its current file, and the
    // program waits for it, at most longestQuitWait, so that what it did is
    // kept (the scan's history, a removal's outcome); then the history of
    // every finished scan is written, the cloud sign-ins end and the program
    // terminates. With nothing under way, all of it happens before this
    // returns.
    void endProgram();
    static constexpr int longestQuitWait = 3000;

    // What else must stop before the program ends (a removal, an undo,
    // automatic marking): stop asks it to stop after its current file and
    // busy tells whether it is still under way. Set by the composition.
    struct WorkUnderWay {
        std::function<void()> stop;
        std::function<bool()> busy;
        // Whether quit may go on now; a refusal tells the user why.
        std::function<bool()> canQuit = nullptr;
    };
    void setWorkUnderWay(WorkUnderWay work) { work_ = std::move(work); }
    bool isTerminating() const { return terminating_; }
    void btnQuitTapped() { quitApplication(); }
    void mainWindowCloseAction() { quitApplication(); }

    // ---- Menu actions ------------------------------------------------------
    void openPrefrencesTapped();
    void btnCheckForUpdateTapped();
    void helpMenuTapped() { openHelpPage(); }
    void actUninstall() { uninstallApplication(); }
    void aboutTapped();
    void hideTapped();
    void showAllTapped();
    // F10: the first menu open, its first item chosen.
    void openFirstMenu();

    // ---- Sign-in redirects -------------------------------------------------
    // Offers a redirect address to the waiting sign-ins (a handler's, the
    // Dropbox one among them, takes its own), then routes it by the selected
    // scan source (Google, OneDrive). Only when a sign-in took it does the
    // program come to the front; true then.
    bool handleOAuthRedirect(const std::optional<QString>& url);

    // ---- Help, uninstall ---------------------------------------------------
    // The support page with "?langcode=" and the current language.
    QUrl helpPageUrl() const;
    void openHelpPage();
    // Asks first, saying what goes; on Yes ends the sign-ins of the run,
    // removes every cloud sign-in kept in the keyring (waiting for it at most
    // the keyring wait) and Vellicor's own files, says what was removed and
    // what was not, and terminates once that is read.
    void uninstallApplication();

    PreferencesWindow& preferencesWindowController();
    HomeScreen& mainVC() { return *mainVC_; }
    QMainWindow* window() const { return window_.get(); }
    // Null until launching has finished.
    Updater* updaterController() const { return updaterController_.get(); }
    SignInListener& signInListener() { return signInListener_; }

    // The menu items, titled when launching has finished.
    QMenu* menuApplication = nullptr;
    QAction* menuItemAbout = nullptr;
    QAction* menuPrefrencess = nullptr;
    QAction* menuCheckForUpdate = nullptr;
    QAction* menuUnInstall = nullptr;
    QAction* menuHide = nullptr;
    QAction* menuShowAll = nullptr;
    QAction* menuQuit = nullptr;
    QMenu* menuHelp = nullptr;
    QAction* menuHelpApp = nullptr;

private:
    void tellUninstallOutcome(
        const std::vector<SupportItemOutcome>& outcomes, const std::vector<SignInRemoval>& signIns);
    void buildMenus();
    void localizeMenuTitles();
    void setContentSize(QSize size);
    void setContentMinimumSize(QSize size);

    UserDefaults& defaults_;
    std::unique_ptr<HomeScreen> mainVC_;
    std::unique_ptr<QMainWindow> window_;
    std::shared_ptr<CloudSessions> cloudSessions_;
    std::shared_ptr<SecretStore> secrets_;
    int keyringWaitMs_ = longestKeyringWait;
    std::function<std::unique_ptr<PreferencesWindow>()> preferencesFactory_;
    std::unique_ptr<PreferencesWindow> preferencesWindowController_;
    std::unique_ptr<Updater> updaterController_;
    SignInListener signInListener_;
    // Ends the program once the work under way has stopped or the wait is
    // over; polled from the event loop meanwhile, so that the outcomes of
    // that work arrive.
    void finishWhenStopped();

    WorkUnderWay work_;
    QDeadlineTimer quitDeadline_;
    // Set once the program has decided to end.
    bool terminating_ = false;
    // Set once the user has said Yes to an uninstall.
    bool uninstalling_ = false;
};
