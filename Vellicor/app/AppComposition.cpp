#include "app/AppComposition.h"

#include "app/AppDelegate.h"
#include "app/QuitSignals.h"
#include "app/SettingsNotices.h"
#include "app/WindowAlertPresenter.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "cleanup/CleanupController.h"
#include "cleanup/InterruptedRemovalAlert.h"
#include "cloud/CloudFolderPicker.h"
#include "cloud/CloudSourceController.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/HandlerCloudRemover.h"
#include "controls/ApplicationFont.h"
#include "controls/DialogLook.h"
#include "controls/WindowHelpers.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "emptyfolders/EmptyFolderHandler.h"
#include "home/LocationLists.h"
#include "home/MainViewController.h"
#include "platform/FileRemover.h"
#include "platform/LeftFilesSweep.h"
#include "preferences/PreferencesPanes.h"
#include "preferences/PreferencesWindowController.h"
#include "results/ResultViewController.h"
#include "results/ResultsHandOver.h"
#include "scan/PathExclusionPredicate.h"
#include "scan/ScanSources.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace {

// The delegate's cloud sessions: the Drive handler, once the source has been
// chosen, takes the Google redirects and forgets its sign-in at quit. The
// controller is a child of the home screen, which outlives the event loop.
class HandlerCloudSessions : public CloudSessions {
public:
    explicit HandlerCloudSessions(CloudSourceController* sources)
        : sources_(sources)
    {
    }
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
    PreferencesWindowAdapter(UserDefaults& defaults, ScanSources& sources)
        : controller_(makePreferencesWindowController(defaults, sources))
    {
    }
    void showPreferencesWindow(const std::optional<QString>& pane) override
    {
        controller_->showPreferencesWindow(pane);
    }

private:
    std::unique_ptr<PreferencesWindowController> controller_;
};

} // namespace

AppComposition::AppComposition(UserDefaults& defaults, CloudSourceController::HandlerFactory handlers)
    : defaults_(defaults)
    // First, so that a signal from here on waits in its pipe for the road out
    // wired below rather than ending the program half made.
    , quitSignals_(std::make_unique<QuitSignals>())
{
    installApplicationFont();
    installApplicationStyle();
    sources_ = std::make_unique<ScanSources>(defaults);
    ScanSources& sources = *sources_;
    home_ = new MainViewController(defaults, sources);
    sweepRelay_ = std::make_shared<WorkerRelay<QObject>>(home_);
    delegate_ = std::make_unique<AppDelegate>(defaults, makeHomeScreen(home_));
    AppDelegate& delegate = *delegate_;
    MainViewController* home = home_;
    delegate.setPreferencesWindowFactory(
        [&sources, &defaults] { return std::make_unique<PreferencesWindowAdapter>(defaults, sources); });
    // The results screen lies over the home screen while it shows a result set;
    // Back hides it again. The sources outlive both, so they are shared unowned.
    auto* results = new ResultViewController(defaults, std::shared_ptr<ScanSources>(&sources, [](ScanSources*) {}),
        std::make_shared<LocalFileRemover>(), home);
    results_ = results;
    results->hide();
    keepParentSize(results);
    results->setBackHandler([home, results] {
        results->hide();
        home->showHomeView();
    });
    home->setResultsReceiver(results);
    results->setPreferencesOpener([&delegate] { delegate.openPrefrencesTapped(); });
    // The cloud sources' handlers and lists; a child of the home screen.
    cloudSources_ = new CloudSourceController(*home, std::move(handlers));
    delegate.setCloudSessions(std::make_shared<HandlerCloudSessions>(cloudSources_));
    // Cloud files of a result go to, and come back through, the handler of
    // the result's own source.
    auto remover
        = std::make_shared<HandlerCloudRemover>([&sources](ScanSource source) { return sources.handler(source); });
    // Signed in from the results screen, the user stays there and removes
    // again; the sheet offers no switch of source.
    remover->setSignInAsker([cloud = cloudSources_](ScanSource) { cloud->showSignInSheet(true, [] { }); });
    cloudRemover_ = remover;
    results->cleanup().setCloudRemover(std::move(remover));
    // The cloud folder picker of the home screen's Add and the assistant's
    // Browse; a child of the home screen too.
    cloudPicker_ = new CloudFolderPicker(*home, *cloudSources_);
    results->selectionController().setCloudFolders(cloudPicker_);
    // The cleaner keeps out of what the scan keeps out of: this computer's
    // exclude list, as it stands at each choice and scan.
    home->setEmptyFolderCleanerOpener(emptyFolderCleanerOpener(delegate_.get(), [&sources] {
        return makeDirExclusionPredicate(sources.excludeList(ScanSource::thisComputer));
    }));
    home->setPreferencesOpener([&delegate](const std::optional<QString>& pane) {
        delegate.preferencesWindowController().showPreferencesWindow(pane);
    });
    // What the road out stops and waits for besides a scan.
    AppDelegate::WorkUnderWay work;
    work.stop = [results] {
        // A result set still being made ready is not wanted any more.
        results->handOver().drop();
        results->cleanup().stopForQuit();
        if (results->autoMarking().isRunning())
            results->autoMarking().cancelBtnTappedAutoMarking();
    };
    work.busy = [results] {
        return results->cleanup().isRemoving() || results->cleanup().isUndoing() || results->autoMarking().isRunning();
    };
    work.canQuit = [results] { return results->cleanup().canQuit(); };
    delegate.setWorkUnderWay(std::move(work));
    QObject::connect(&results->cleanup(), &CleanupController::quitRequested, &delegate, &AppDelegate::quitApplication);
    setAlertPresenter(std::make_shared<WindowAlertPresenter>(delegate.window()));
    settingsNotices_ = std::make_unique<SettingsNotices>(defaults);
    settingsNotices_->watchLists(sources);
    // A shutdown, a logout or a kill takes the same road out as Quit.
    QObject::connect(quitSignals_.get(), &QuitSignals::quitRequested, &delegate, &AppDelegate::quitOnSignal);
}

AppComposition::~AppComposition()
{
    // A sweep still held by a folder that does not answer tells nothing
    // any more; it is not waited for.
    sweepRelay_->cut();
    settingsNotices_.reset();
    setAlertPresenter(nullptr);
    // The clean-up's workers remove cloud files through the cloud sources'
    // handlers, which go with the home screen's children in the order the
    // screens were last raised: the workers end first.
    results_->cleanup().endWorkers();
    // A question a worker left waiting for the GUI thread finds no lists.
    cloudRemover_->cut();
    // The window, and with it both screens, goes before the lists they share.
    delegate_.reset();
    // Every change saved behind reaches the file before the program ends.
    defaults_.synchronize();
}

void AppComposition::launch()
{
    delegate_->awakeFromNib();
    // After the window has taken its size, so a small screen gets the
    // results screen's small layout.
    results_->viewDidLoad();
    delegate_->applicationDidFinishLaunching();
    delegate_->window()->show();
    // Once the window is up, so the notice has a window to sit on.
    QTimer::singleShot(0, settingsNotices_.get(), &SettingsNotices::tellReadProblemAtStart);
    // Files a run that was ended in the middle of a deletion left set aside
    // come back, and what an undo that was ended left of its copies goes,
    // on a thread of its own: a folder on a mount that does not answer holds
    // neither the window nor the quit. The alert comes once the sweep has
    // ended, over the window.
    sweepLeftFilesAside([relay = sweepRelay_](LeftFiles found) {
        relay->post([found = std::move(found)](QObject&) {
            if (const auto alert = interruptedRemovalAlert(found.setAside, found.copiesAway))
                alertPresenter()->presentThen(*alert, {});
        });
    });
}

namespace {

std::unique_ptr<QMessageBox> makeStartAlert(const QString& text, const QString& details, AlertStyle style)
{
    installApplicationFont();
    installApplicationStyle();
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("Vellicor"), text, QMessageBox::Ok);
    box->setInformativeText(details);
    box->setDefaultButton(QMessageBox::Ok);
    applyAlertLook(box.get(), style);
    return box;
}

} // namespace

std::unique_ptr<QMessageBox> makeAlreadyRunningAlert()
{
    return makeStartAlert(
        formatText(localizedText(QStringLiteral("ID_ALREADY_RUNNING")), { QStringLiteral("Vellicor") }), QString(),
        AlertStyle::informational);
}

std::unique_ptr<QMessageBox> makeStartRefusalAlert(const StartRefusal& refusal)
{
    return makeStartAlert(refusal.message, refusal.details, AlertStyle::critical);
}
