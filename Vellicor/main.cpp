// Composition root: builds the platform services and the application
// delegate, nothing else.
#include "app/AppDelegate.h"
#include "app/WindowAlertPresenter.h"
#include "base/UserDefaults.h"
#include "cleanup/CleanupController.h"
#include "cloud/CloudFolderPicker.h"
#include "cloud/CloudSourceController.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/HandlerCloudRemover.h"
#include "controls/ApplicationFont.h"
#include "emptyfolders/EmptyFolderHandler.h"
#include "home/LocationLists.h"
#include "home/MainViewController.h"
#include "marking/ProtectedFolderStore.h"
#include "platform/FileRemover.h"
#include "preferences/PreferencesPanes.h"
#include "preferences/PreferencesWindowController.h"
#include "results/ResultViewController.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The delegate's cloud sessions: the Drive handler, once the source has been
// chosen, takes the Google redirects and forgets its sign-in at quit.
class HandlerCloudSessions : public CloudSessions {
public:
    explicit HandlerCloudSessions(CloudSourceController* sources)
        : sources_(sources)
    {
    }
    void handleDropboxRedirect(const QUrl&) override { }
    bool resumeGoogleSignIn(const QUrl& url) override
    {
        GoogleDriveHandler* drive = driveHandler();
        return drive && drive->resumeSignIn(url);
    }
    bool handleOneDriveRedirect(const QUrl& url) override { return sources_ && sources_->handleOneDriveRedirect(url); }
    void signOutAtQuit() override
    {
        if (GoogleDriveHandler* drive = driveHandler())
            drive->signOutAtQuit();
        if (sources_)
            sources_->signOutAtQuit();
    }

private:
    GoogleDriveHandler* driveHandler() const
    {
        return sources_ ? dynamic_cast<GoogleDriveHandler*>(sources_->handlerFor(ScanSource::googleDrive)) : nullptr;
    }
    QPointer<CloudSourceController> sources_;
};

// The delegate's view of the preferences window.
class PreferencesWindowAdapter : public PreferencesWindow {
public:
    PreferencesWindowAdapter(UserDefaults& defaults, std::function<QStringList()> scanListPaths)
        : controller_(makePreferencesWindowController(defaults, std::move(scanListPaths)))
    {
    }
    void showPreferencesWindow(const std::optional<QString>& pane) override
    {
        controller_->showPreferencesWindow(pane);
    }

private:
    std::unique_ptr<PreferencesWindowController> controller_;
};

// The sign-ins the delegate routes redirects to: those of the handlers the
// cloud source controller keeps. Lives as long as the delegate holds it; the
// controller is a child of the home screen, which outlives the event loop.

} // namespace

int main(int argc, char* argv[])
{
    if (!hasDisplay()) {
        std::fprintf(stderr, "vellicor: no display found; to run it without one, use: xvfb-run -a %s\n", argv[0]);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellicor"));
    QApplication::setOrganizationName(QStringLiteral("Vellicor"));
    QApplication::setApplicationVersion(QStringLiteral(VELLICOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vellicor"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/resources/images/vellicor.svg")));
    // Only the delegate's quit road ends the program; closing the preferences
    // window never does.
    QApplication::setQuitOnLastWindowClosed(false);

    installApplicationFont();
    installApplicationStyle();
    // The protected folders are one list for the whole run, shared by the
    // home screen and the results screen.
    ProtectedFolderStore protectedFolders(UserDefaults::standard());
    auto* home = new MainViewController(UserDefaults::standard(), protectedFolders);
    AppDelegate delegate(UserDefaults::standard(), makeHomeScreen(home));
    delegate.setPreferencesWindowFactory([home] {
        return std::make_unique<PreferencesWindowAdapter>(UserDefaults::standard(), [home] {
            // The excluded-folders pane checks new exclusions against the scan list.
            QStringList paths;
            for (const FilePathNodePtr& row : home->lists().arrPathNodesFinder) {
                if (row && row->filePath)
                    paths.append(*row->filePath);
            }
            return paths;
        });
    });
    // The results screen lies over the home screen while it shows a result set;
    // Back hides it again. The store outlives both, so it is shared unowned.
    auto* results = new ResultViewController(UserDefaults::standard(),
        std::shared_ptr<ProtectedFolderStore>(&protectedFolders, [](ProtectedFolderStore*) {}),
        std::make_shared<LocalFileRemover>(), home);
    results->hide();
    results->setBackHandler([home, results] {
        results->hide();
        home->showHomeView();
    });
    home->setResultsReceiver(results);
    results->setPreferencesOpener([&delegate] { delegate.openPrefrencesTapped(); });
    // The cloud sources' handlers and lists; a child of the home screen.
    auto* cloudSources = new CloudSourceController(*home, [&delegate](ScanSource source) {
        std::unique_ptr<ScanWrapper> handler = CloudSourceController::defaultHandlerFactory(source);
        if (auto* drive = dynamic_cast<GoogleDriveHandler*>(handler.get()))
            drive->setRedirectBase(delegate.signInListener().redirectBase());
        return handler;
    });
    delegate.setCloudSessions(std::make_shared<HandlerCloudSessions>(cloudSources));
    // Cloud files of a result go to the handler of the chosen source.
    results->cleanup().setCloudRemover(std::make_shared<HandlerCloudRemover>(
        [cloudSources] { return cloudSources->handlerFor(selectedScanSource().load()); }));
    // The cloud folder picker of the home screen's Add and the assistant's
    // Browse; a child of the home screen too.
    auto* cloudPicker = new CloudFolderPicker(*home, *cloudSources);
    results->selectionController().setCloudFolders(cloudPicker);
    home->setEmptyFolderCleanerOpener(emptyFolderCleanerOpener(&app));
    home->setPreferencesOpener([&delegate](const std::optional<QString>& pane) {
        delegate.preferencesWindowController().showPreferencesWindow(pane);
    });
    setAlertPresenter(std::make_shared<WindowAlertPresenter>(delegate.window()));
    delegate.awakeFromNib();
    // After the window has taken its size, so a small screen gets the
    // results screen's small layout.
    results->viewDidLoad();
    delegate.applicationDidFinishLaunching();
    cloudSources->setSignInRedirectBase(delegate.signInListener().redirectBase());
    delegate.window()->show();
    const int status = app.exec();
    std::printf("applicationWillTerminate\n");
    setAlertPresenter(nullptr);
    return status;
}
