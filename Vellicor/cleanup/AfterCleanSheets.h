#pragma once

#include "cleanup/CleanupController.h"
#include "controls/CustomWindowNag.h"

#include <QPointer>

#include <functional>

class GradientBox;
class IMGButton;
class LinkButton;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QWidget;
class RAZButton;

// The after-clean window and the undo's confirmation and message sheets over
// the results window, window-modal and opened without a nested event loop.
// Made once with the results screen; GUI thread only.
class AfterCleanSheets : public AfterCleanScreen {
public:
    explicit AfterCleanSheets(QWidget* window);
    ~AfterCleanSheets() override;

    void showAfterCleanWindow(const AfterCleanFigures& figures, std::function<void(bool)> done) override;
    void showUndoConfirmation(const QString& countText, std::function<void(bool)> answer) override;
    void showActionCompleted(const QString& message, const QStringList& details) override;
    // Closes the undo's confirmation, when it is open, as its No button does.
    void closeUndoConfirmation();

    CustomWindowNag* windowAfterClean() const { return windowAfterClean_; }
    CustomWindowNag* windowUndoConfirmation() const { return windowUndoConfirmation_; }
    CustomWindowNag* windowActionCompleted() const { return windowActionCompleted_; }

    // Outlets of the after-clean window.
    QFrame* boxMainAfterClean = nullptr;
    QLabel* lblTotalDupsCleaned = nullptr;
    QLabel* lblFilesDeletedSubHeading = nullptr;
    QLabel* lblSelectedFileDeleted = nullptr;
    QLabel* lblSelectedFileDeletedInfo = nullptr;
    QLabel* lblDupCleaned = nullptr;
    QLabel* lblDuplicatesRemoved = nullptr;
    QLabel* lblDupSizeCleaned = nullptr;
    QLabel* lblSpaceRemoved = nullptr;
    QLabel* lblUniqueFilesRetain = nullptr;
    QLabel* lblUniqueFilesRetained = nullptr;
    QLabel* lblInCaseMistake = nullptr;
    QLabel* lblDupCleanedLibrary = nullptr;
    QFrame* boxMiddleAfterClean = nullptr;
    QLabel* lblTrashInfoAfterClean = nullptr;
    QLabel* lblNotRemoved = nullptr;
    QPlainTextEdit* txtNotRemoved = nullptr;
    LinkButton* btnBackToTrash = nullptr;
    IMGButton* btnOkTrash = nullptr;

    // Outlets of the undo sheets.
    QLabel* lblAboutToUndo = nullptr;
    QLabel* lblActionToUndo = nullptr;
    QLabel* lblDoYouWantToProceed = nullptr;
    RAZButton* btnNoForUndo = nullptr;
    IMGButton* btnYesForUndo = nullptr;
    QLabel* lblActionCompleted = nullptr;
    QPlainTextEdit* txtActionDetails = nullptr;
    IMGButton* btnOkActionCompleted = nullptr;

private:
    void buildAfterCleanWindow();
    void buildUndoConfirmation();
    void buildActionCompleted();
    // Lays the after-clean window out around the parts that show.
    void layoutAfterClean();
    void closeAfterClean(bool toHome);
    void answerUndo(bool yes);
    void open(CustomWindowNag* window);

    QPointer<QWidget> window_;
    QPointer<CustomWindowNag> windowAfterClean_;
    QPointer<CustomWindowNag> windowUndoConfirmation_;
    QPointer<CustomWindowNag> windowActionCompleted_;
    std::function<void(bool)> afterCleanDone_;
    std::function<void(bool)> undoAnswer_;
    // How far the retained-file line stands raised now.
    int selectedFileDeletedInfoRaise_ = 0;
};
