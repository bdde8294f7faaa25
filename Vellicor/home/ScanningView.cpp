#include "home/ScanningView.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonStyles.h"
#include "controls/CircularProgressBarView.h"
#include "controls/RAZButton.h"
#include "core/Localization.h"
#include "home/HomeLook.h"
#include "scan/ScanScreen.h"

#include <QApplication>
#include <QFrame>

ScanningView::ScanningView(QWidget* view)
{
    boxScanDetail_ = makeHomeBox("boxScanDetail", view, HomeLook::screen, 0);
    auto* report = new QWidget(boxScanDetail_);
    report->setObjectName(homeName("viewDiskReport"));
    report_ = report;
    makeHomeLabel("lblScanningInProgress", report, 22, true)->setAlignment(Qt::AlignCenter);
    imgViewProgress_ = ImageLabel::make("imgViewProgress", report);
    boxWindowScanning_ = makeHomeBox("boxWindowScanning", report, HomeLook::panel, 10);
    makeHomeLabel("lblAddingPhotos", boxWindowScanning_, 15, true)->setAlignment(Qt::AlignCenter);
    progressCircular_ = new CircularProgressBarView(boxWindowScanning_);
    progressCircular_->setObjectName(homeName("progressCircular"));
    makeHomeLabel("lblScanPer", boxWindowScanning_, 26, true)->setAlignment(Qt::AlignCenter);
    QLabel* patience = makeHomeLabel("lblBePatient", boxWindowScanning_, 12);
    patience->setAlignment(Qt::AlignCenter);
    patience->setWordWrap(true);
    const char* captions[] = { "lblFilesScanned", "lblFileProcessedStr", "lblFileComparedStr" };
    const char* values[] = { "lblFileScanCount", "lblFileProcessed", "lblFileCompared" };
    for (int i = 0; i < 3; ++i) {
        QLabel* caption = makeHomeLabel(captions[i], report, 13);
        caption->setAlignment(Qt::AlignCenter);
        setLabelColor(caption, HomeLook::caption);
        makeHomeLabel(values[i], report, 20, true)->setAlignment(Qt::AlignCenter);
    }
    // The stage word, over the counters it speaks for, in a lighter blue than
    // the progress ring's, to read well on the dark view.
    QLabel* stage = makeHomeLabel("lblAdd", report, 12, true);
    stage->setAlignment(Qt::AlignCenter);
    setLabelColor(stage, QColor(64, 156, 255));
    lblScannedFilePath_ = makeHomeLabel("lblScannedFilePath", report, 12);
    lblScannedFilePath_->setAlignment(Qt::AlignCenter);
    lblScannedFilePath_->setPalette(report->findChild<QLabel*>(homeName("lblFilesScanned"))->palette());
    btnAbortScanning_ = new RAZButton(report);
    btnAbortScanning_->setObjectName(homeName("btnAbortScanning"));
    btnShowResultDetail_ = new RAZButton(report);
    btnShowResultDetail_->setObjectName(homeName("btnShowResultDetail"));
    btnBackToAddFolder_ = new RAZButton(report);
    btnBackToAddFolder_->setObjectName(homeName("btnBackToAddFolder"));
    boxScanDetail_->hide();

    connect(btnAbortScanning_, &QAbstractButton::clicked, this, &ScanningView::abortTapped);
    connect(btnShowResultDetail_, &QAbstractButton::clicked, this, &ScanningView::viewDetailsTapped);
    connect(btnBackToAddFolder_, &QAbstractButton::clicked, this, &ScanningView::backTapped);
}

void ScanningView::localize()
{
    setLocalizedTexts(boxScanDetail_,
        {
            { "lblAdd", "ID_ADDING" },
            { "lblBePatient", "ID_PLEASE_PATIENCE_SEARCHING_FILES" },
            { "lblFileProcessedStr", "ID_FILES_ADDED" },
            { "lblFileComparedStr", "ID_FILES_COMPARED" },
            { "lblFilesScanned", "ID_FILES_SCANNED" },
            { "lblScanningInProgress", "ID_SCANNING_IN_PROGRESS" },
        });
    btnAbortScanning_->setText(localizedText("ID_STOP"));
    btnShowResultDetail_->setText(localizedText("ID_VIEW_DETAILS"));
    btnBackToAddFolder_->setText(localizedText("ID_BACK"));
}

void ScanningView::finishSetUp()
{
    applyHomeButtonStyle(btnShowResultDetail_);
    applyHomeButtonStyle(btnBackToAddFolder_);
    applyHomeSecondaryButtonStyle(btnAbortScanning_);
    for (RAZButton* button : { btnAbortScanning_, btnShowResultDetail_, btnBackToAddFolder_ })
        button->setFont(systemFontOfSize(13));
}

void ScanningView::showLabels(const ScanningLabels& labels)
{
    const std::pair<const char*, const QString*> texts[]
        = { { "lblAddingPhotos", &labels.lblAddingPhotos }, { "lblAdd", &labels.lblAdd },
              { "lblFileScanCount", &labels.lblFileScanCount }, { "lblFileProcessedStr", &labels.lblFileProcessedStr },
              { "lblFileProcessed", &labels.lblFileProcessed }, { "lblFileComparedStr", &labels.lblFileComparedStr },
              { "lblFileCompared", &labels.lblFileCompared }, { "lblScanPer", &labels.lblScanPer } };
    for (const auto& [objectName, value] : texts) {
        if (auto* l = boxScanDetail_->findChild<QLabel*>(homeName(objectName)); l && !value->isEmpty())
            l->setText(*value);
    }
    progressCircular_->progress = labels.progress;
    progressCircular_->update();
}

void ScanningView::showScannedPath(const QString& line, const QString& toolTip)
{
    lblScannedFilePath_->setText(
        lblScannedFilePath_->fontMetrics().elidedText(line, Qt::ElideMiddle, lblScannedFilePath_->width()));
    lblScannedFilePath_->setToolTip(toolTip);
}

void ScanningView::showState(bool isScanning, bool hideResultViewButton)
{
    QWidget* const home = boxScanDetail_->parentWidget();
    QWidget* const focus = QApplication::focusWidget();
    const bool keysBelow = focus && home->isAncestorOf(focus) && !boxScanDetail_->isAncestorOf(focus);
    const bool keysOnStop = btnAbortScanning_->hasFocus();
    if (isScanning) {
        boxScanDetail_->show();
        boxScanDetail_->raise();
    }
    btnShowResultDetail_->setVisible(!hideResultViewButton);
    btnBackToAddFolder_->setVisible(!isScanning);
    btnAbortScanning_->setVisible(isScanning);
    imgViewProgress_->setVisible(hideResultViewButton);
    lblScannedFilePath_->setVisible(hideResultViewButton);
    // The controls below the view (Scan Now's neighbours, the lists) take no
    // key while it covers them; until the results are handed over, a key
    // pressed twice finds nothing to start.
    if (isScanning && keysBelow)
        btnAbortScanning_->setFocus(Qt::OtherFocusReason);
    else if (!isScanning && (keysBelow || keysOnStop))
        report_->setFocus(Qt::OtherFocusReason);
}

void ScanningView::setAbortEnabled(bool enabled)
{
    btnAbortScanning_->setEnabled(enabled);
}

void ScanningView::setResultEnabled(bool enabled)
{
    btnShowResultDetail_->setEnabled(enabled);
}

void ScanningView::showSheet()
{
    boxWindowScanning_->show();
}

void ScanningView::hideSheet()
{
    boxWindowScanning_->hide();
}

void ScanningView::hide()
{
    boxScanDetail_->hide();
}
