#pragma once

#include "base/WorkerRelay.h"
#include "cloud/CloudSourceController.h"
#include "core/AppStartup.h"

#include <memory>

class AppDelegate;
class QuitSignals;
class CloudFolderPicker;
class HandlerCloudRemover;
class QMessageBox;
class MainViewController;
class ScanSources;
class ResultViewController;
class SettingsNotices;
class UserDefaults;

// The program as the executable runs it: the application's look, the home
// screen, the results screen over it, the preferences window, the cloud
// sources and their picker, the empty-folder cleaner, the delegate that owns
// the main window, and the window's alert presenter. main() and the
// end-to-end test build it the same way, so there is one wiring. Needs a
// QApplication; GUI thread only. Going, it puts the standard alert presenter
// back.
class AppComposition {
public:
    // handlers makes each cloud source's handler (the program's own by
    // default; the end-to-end tests give handlers of their fake services).
    explicit AppComposition(UserDefaults& defaults,
        CloudSourceController::HandlerFactory handlers = CloudSourceController::defaultHandlerFactory);
    ~AppComposition();
    AppComposition(const AppComposition&) = delete;
    AppComposition& operator=(const AppComposition&) = delete;

    // The start-up in the main window, then the window shown; a settings file
    // that could not be read is told right after.
    void launch();

    AppDelegate& delegate() { return *delegate_; }
    QuitSignals& quitSignals() { return *quitSignals_; }
    MainViewController& home() { return *home_; }
    ResultViewController& results() { return *results_; }
    CloudSourceController& cloudSources() { return *cloudSources_; }
    CloudFolderPicker& cloudPicker() { return *cloudPicker_; }

private:
    UserDefaults& defaults_;
    // Made last and gone last, so that its watchdog outlasts the rest of the
    // program's end once a signal asked for it.
    std::unique_ptr<QuitSignals> quitSignals_;
    // Every source's lists, for the whole run: the home and results screens,
    // the preferences, the assistant and the cloud picker show and edit them
    // through it. It outlives the delegate, which owns the screens.
    std::unique_ptr<ScanSources> sources_;
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<SettingsNotices> settingsNotices_;
    MainViewController* home_ = nullptr;
    ResultViewController* results_ = nullptr;
    CloudSourceController* cloudSources_ = nullptr;
    CloudFolderPicker* cloudPicker_ = nullptr;
    // The clean-up's way to the cloud sources' handlers, cut when they go.
    std::shared_ptr<HandlerCloudRemover> cloudRemover_;
    // The start's sweep of what ended runs left: its way back to the window's
    // thread, cut first when the program goes.
    std::shared_ptr<WorkerRelay<QObject>> sweepRelay_;
};

// The alert of a second start that could not reach the running copy. It
// comes before anything else of the program, so it sets up the program's
// font and style itself and stands in the alerts' look like every other.
std::unique_ptr<QMessageBox> makeAlreadyRunningAlert();
// The same for a start refused before anything else (homeFolderRefusal).
std::unique_ptr<QMessageBox> makeStartRefusalAlert(const StartRefusal& refusal);
