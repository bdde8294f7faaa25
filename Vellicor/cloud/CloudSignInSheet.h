#pragma once

#include "controls/LayoutFrame.h"
#include "core/GlobalObjects.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CustomWindowNag;
class IMGButton;
class QLabel;
class QProgressBar;
class QWidget;
class RAZButton;

// The sign-in sheets of the services reached through the browser (Google
// Drive, Dropbox, OneDrive, Box), one panel over the main window in two
// states: the instruction sheet, which names the service and offers Allow
// Permission, Scan Computer and Cancel; and the wait sheet, shown while the
// browser sign-in runs, whose Cancel gives that sign-in up. The sheet only
// shows and reports; the cloud source controller decides. GUI thread only.
class CloudSignInSheet : public QObject {
    Q_OBJECT
public:
    // The sheet covers the window that holds view when it is shown; view
    // outlives the sheet.
    explicit CloudSignInSheet(QWidget* view, QObject* parent = nullptr);
    ~CloudSignInSheet() override;

    // The instruction sheet for a source, Allow Permission enabled; without
    // the Scan Computer button when asked from a screen that is not the home
    // screen.
    void showInstructions(ScanSource source, bool hideScanComputer = false);
    // The wait sheet for a source's running sign-in.
    void showWaiting(ScanSource source);
    void close();
    bool isShown() const;
    bool isWaiting() const { return waiting_; }

    // The buttons' reports.
    std::function<void()> onAllowPermission;
    std::function<void()> onScanComputer;
    std::function<void()> onCancelWaiting;
    // The instructions' Cancel: no sign-in now.
    std::function<void()> onCancelInstructions;

    // The service's name as the sheet shows it.
    static QString sourceName(ScanSource source);
    // A text of the sheet with the Google name replaced by the source's, in
    // any letter case.
    static QString namedText(const char* key, ScanSource source);
    // The service's own mark on Allow Permission; empty for other sources.
    static QString signInImageName(ScanSource source);

    CustomWindowNag* windowGoogleDriveInstruction = nullptr;
    QWidget* boxGoogleDriveInstruction = nullptr;
    QLabel* lblGoogleDriveInstructionHeading = nullptr;
    QLabel* lblGoogleDiveInstructionSubHeading = nullptr;
    QLabel* lblGDriveInfo[3] = {};
    QLabel* lblGDriveSubInfo[3] = {};
    IMGButton* btnAllowPermission = nullptr;
    RAZButton* btnScanComputer = nullptr;
    RAZButton* btnCancelInstruction = nullptr;
    QLabel* lblWaitForAuthenticate = nullptr;
    QProgressBar* hudWaitForAuthenticate = nullptr;
    RAZButton* btnCancelWaiting = nullptr;

private:
    void buildSheet();
    void localizeInstructionSheet(ScanSource source);
    // The current language's fonts and Allow Permission frame.
    void layoutForLanguage();
    void showPage(bool waiting);
    void present();

    QWidget* view_;
    // The sheet's window belongs to the covered window, which may go first.
    QPointer<QWidget> window_;
    QWidget* instructionPage_ = nullptr;
    QWidget* waitPage_ = nullptr;
    bool waiting_ = false;
    LayoutFrame allowBase_;
};
