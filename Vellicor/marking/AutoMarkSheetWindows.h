#pragma once

#include "marking/AutoMarking.h"

#include <QObject>

class AutoMarking;
class CircularProgressBarView;
class CustomWindowNag;
class GradientBox;
class IMGButton;
class QCheckBox;
class QLabel;
class QProgressBar;
class RAZButton;

// The automatic-marking sheets over the results window: the confirmation
// (windowAutoMark), the progress sheet (windowAutomarking) and the sheet that
// greets a finished scan (windowScanComplete). Each is a borderless window the
// size of the results window, its content veiled, its box centred, opened
// window-modal without a nested event loop. Made once by the results screen,
// GUI thread only.
class AutoMarkSheetWindows : public QObject, public AutoMarkSheets {
    Q_OBJECT
public:
    explicit AutoMarkSheetWindows(QWidget* resultsWindow);
    ~AutoMarkSheetWindows() override;

    // Sends the sheets' buttons to marking.
    void connectTo(AutoMarking& marking);

    void showConfirmation() override;
    void closeConfirmation() override;
    void showProgress(qint64 maximum) override;
    void setProgress(const QString& label, qint64 value) override;
    void closeProgress() override;
    void showScanComplete(const DuplicatesSummary& summary) override;
    void closeScanComplete() override;
    // The scan-complete sheet's ring full and its two texts from summary.
    void setScanSummary(const DuplicatesSummary& summary);

    // Sizes window to the results window, lays the veil over it and centres
    // box, without opening it.
    void layOutSheet(CustomWindowNag* window, QWidget* box);

    // The windows and their controls.
    CustomWindowNag* windowAutoMark = nullptr;
    QWidget* boxAutoMark = nullptr;
    GradientBox* boxAutoMarkHeader = nullptr;
    QLabel* lblAreYouSureWantAutoMArk = nullptr;
    IMGButton* btnContinueAutomark = nullptr;
    RAZButton* btnCancelAutomark = nullptr;
    QCheckBox* btnDontShowAutoMark = nullptr;

    CustomWindowNag* windowAutomarking = nullptr;
    QWidget* boxAutoMarking = nullptr;
    GradientBox* boxTopAutomarking = nullptr;
    QLabel* lbAutoMarkInProgress = nullptr;
    QLabel* lblPleaseWaitAutoMarking = nullptr;
    QLabel* lblNumberPhotosMarking = nullptr;
    QProgressBar* progressBarAutoMarking = nullptr;
    RAZButton* btnCancelAutoMarking = nullptr;

    CustomWindowNag* windowScanComplete = nullptr;
    QWidget* boxWindowScanComplete = nullptr;
    GradientBox* boxAfterScanHeader = nullptr;
    CircularProgressBarView* progressCircular = nullptr;
    QLabel* lblScanned = nullptr;
    QLabel* lblDuplicatePhotosFound = nullptr;
    QLabel* lblAutoMarkInstructionDesc = nullptr;
    IMGButton* btnSelectManually = nullptr;
    IMGButton* btnAutoMarkPhotos = nullptr;

private:
    void buildConfirmation();
    void buildProgress();
    void buildScanComplete();
    // layOutSheet, then opens it window-modal.
    void presentSheetWithOverlay(CustomWindowNag* window, QWidget* box);

    QWidget* resultsWindow_;
};

// The summary's styled runs as rich text for a label. Runs may overlap (a
// colour inside a font run); each character takes the colour and the font of
// the runs that cover it.
QString summaryRichText(const StyledText& styled);
