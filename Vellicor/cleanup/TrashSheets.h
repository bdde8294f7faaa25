#pragma once

#include "cleanup/CleanupController.h"
#include "controls/CustomWindowNag.h"

#include <QPointer>

#include <functional>
#include <memory>

class GradientBox;
class IMGButton;
class QCheckBox;
class QFrame;
class QLabel;
class QProgressBar;
class QWidget;
class RAZButton;

// The removal's confirmation and progress sheets over the results window,
// both window-modal and opened without a nested event loop. Made once with
// the results screen; GUI thread only.
class TrashSheets : public RemovalScreen {
public:
    // window: the results window the sheets stand over; Stop goes to
    // controller.
    TrashSheets(QWidget* window, CleanupController& controller);
    ~TrashSheets() override;

    void showTrashConfirmation(const TrashQuestion& question, std::function<void(bool, bool)> answer) override;
    void showTrashProgress(int maximum) override;
    void updateTrashProgress(const TrashProgressFigures& figures) override;
    void closeTrashProgress() override;
    void showQuitRefused() override;
    // Closes the confirmation sheet, when it is open, as its Review button
    // does: nothing is removed.
    void closeTrashConfirmation();

    // The sheets' windows, laid out and filled; shown only by the calls above.
    CustomWindowNag* windowTrashConfirmation() const { return windowTrashConfirmation_; }
    CustomWindowNag* windowTrash() const { return windowTrash_; }

    // Outlets of the confirmation sheet.
    QFrame* boxTrashConfirmation = nullptr;
    GradientBox* boxDeleteHeader = nullptr;
    QLabel* lblAreYouSureToDeleteHeading = nullptr;
    QLabel* lblAreYouSureToDeleteInfo = nullptr;
    QLabel* lblNetworkDriveContent = nullptr;
    IMGButton* btnTrashOnReview = nullptr;
    RAZButton* btnReview = nullptr;
    QCheckBox* btnDontShowThisAgain = nullptr;

    // Outlets of the progress sheet.
    QFrame* boxTrash = nullptr;
    GradientBox* boxTrashHeader = nullptr;
    QLabel* lblRemovingDuplicateFiles = nullptr;
    QLabel* lblDeletingDuplicatesInProcess = nullptr;
    QLabel* lblThisMayTakeTime = nullptr;
    QProgressBar* progressTrashFiles = nullptr;
    QLabel* lblFileCountTrash = nullptr;
    // The bytes checked of the run's files on this computer; empty when it
    // has none.
    QLabel* lblBytesCheckedTrash = nullptr;
    QLabel* lblFilePathTrash = nullptr;
    RAZButton* btnStopTrashing = nullptr;

private:
    void buildConfirmationSheet();
    void buildProgressSheet();
    // Closes the confirmation sheet and hands the choice on, once.
    void answerConfirmation(bool proceed);

    QPointer<QWidget> window_;
    CleanupController& controller_;
    QPointer<CustomWindowNag> windowTrashConfirmation_;
    QPointer<CustomWindowNag> windowTrash_;
    std::function<void(bool, bool)> confirmationAnswer_;
    // Shared with the alert, which may outlive the sheets.
    std::shared_ptr<bool> quitAlertOpen_ = std::make_shared<bool>(false);
    QWidget* boxDontShowThisAgain_ = nullptr;
    // How far the controls below the network note stand raised now.
    int confirmationShift_ = 0;
    // How much taller the line below the heading stands now than its
    // language's frame, and how much wider the button that goes on.
    int infoGrowth_ = 0;
    int proceedWidening_ = 0;
    // The bar's steps for each file, so that it moves within a file's
    // comparison.
    int barStepsPerFile_ = 1;
};
