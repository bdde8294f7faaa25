#pragma once

#include "home/MainViewController.h"
#include "scan/ScanWrapper.h"

#include <QObject>

#include <array>
#include <functional>
#include <memory>

class CloudSignInSheet;

// The home screen's cloud side: one handler per cloud source, made the first
// time the source is chosen and kept for the rest of the run with its folder
// tree, and handed to ScanSources, which keeps every source's lists; the
// sign-in or open panel a source needs; and the handler's reports of picker
// listings and sign-ins. Scan listings report to the scan engine, not here.
//
// Made by the composition root as a child of the home screen and never
// deleted before it: the home screen keeps a plain pointer to it, and the
// handlers must outlive the engine that borrows them; going, it takes them
// back from ScanSources. GUI thread only.
class CloudSourceController : public QObject, public ScanWrapperDelegate, public ScanSourceSwitcher {
    Q_OBJECT
public:
    // Makes the handler of a source; none: the source has no handler here.
    using HandlerFactory = std::function<std::unique_ptr<ScanWrapper>(ScanSource)>;

    explicit CloudSourceController(MainViewController& home, HandlerFactory factory = defaultHandlerFactory);
    ~CloudSourceController() override;

    // The photo catalog's handler; the services' handlers come from their
    // own factories once they are configured.
    static std::unique_ptr<ScanWrapper> defaultHandlerFactory(ScanSource source);

    // The handler kept for a source, if it has been made.
    ScanWrapper* handlerFor(ScanSource source) const;

    // A redirect for the OneDrive sign-in; false when none was waiting.
    bool handleOneDriveRedirect(const QUrl& url);
    // At quit: the OneDrive tokens are forgotten.
    void signOutAtQuit();

    // The instruction sheet of the chosen source's sign-in (the Add button
    // while signed out); Allow Permission on it starts the sign-in under the
    // wait sheet. afterSignIn runs once that sign-in succeeds (the picker
    // asked for, for whoever asked); none: the Include tab's Add.
    void showSignInSheet(bool hideScanComputer = false, std::function<void()> afterSignIn = nullptr);
    CloudSignInSheet& signInSheet();

    // Refreshes the folder picker after a picker listing; none: nothing.
    void setPickerReload(std::function<void()> reload) { pickerReload_ = std::move(reload); }

    // ScanSourceSwitcher
    void scanSourceChanged(ScanSource previous, ScanSource chosen) override;

    // ScanWrapperDelegate: a picker listing ended (a scan's end goes to the
    // engine); a sign-in has an outcome; the sign-in wait may end.
    void OnScanCompletedProcess() override;
    void onAccessPermissionStatus(bool signedIn) override;
    void dismissAuthenticationWait() override;

    // Tells the user that source has no handler here, because its client is
    // not set up: at its choice and at every later try to use it.
    void sayNotSetUp(ScanSource source);

private:
    void enterHandler(ScanSource chosen);
    ScanWrapper* chosenHandler() const;
    // Signs the chosen source in under the wait sheet; Google's sign-in asks
    // for the internet first.
    void startSignIn(bool checkInternet);
    void cancelWaitingSignIn();
    void scanComputerInstead();

    MainViewController& home_;
    // Outlives the home screen and so this controller.
    ScanSources& sources_;
    HandlerFactory factory_;
    std::array<std::unique_ptr<ScanWrapper>, 8> handlers_;
    std::function<void()> pickerReload_;
    CloudSignInSheet* signInSheet_ = nullptr;
    bool hideScanComputer_ = false;
    // What a successful sign-in leads to, when the sign-in was asked for by
    // a picker's caller; dropped when the sign-in fails or is given up.
    std::function<void()> afterSignIn_;
    // Set while the wait sheet's Cancel gives a sign-in up: the failure that
    // reports leaves the sheet to the Cancel.
    bool cancellingSignIn_ = false;
};
