#include "home/HomeBars.h"

#include "controls/IMGButton.h"
#include "core/Localization.h"
#include "home/HomeLook.h"

#include <QFrame>

HomeBars::HomeBars(QWidget* view)
{
    // The step header.
    QFrame* header = makeHomeBox("boxHeader", view, QColor(36, 38, 41), 0);
    ImageLabel::make("imgOne", header);
    lblSelectFolderFiles_ = makeHomeLabel("lblSelectFolderFiles", header, 16, true);
    ImageLabel::make("imgArrow", header);
    ImageLabel::make("imgTwo", header);
    lblCleanDuplicates_ = makeHomeLabel("lblCleanDuplicates", header, 16, true);
    ImageLabel::make("imgThree", header);

    // The footer and Scan Now.
    QFrame* footer = makeHomeBox("boxFooterFirst", view, QColor(36, 38, 41), 0);
    btnScanNow_ = new IMGButton(footer);
    btnScanNow_->setObjectName(homeName("btnScanNow"));
}

void HomeBars::localize()
{
    lblSelectFolderFiles_->setText(localizedText("ID_SELECT_FOLDER_AND_FILES"));
    lblCleanDuplicates_->setText(localizedText("ID_CLEAN_DUPLICATES"));
}

void HomeBars::finishSetUp()
{
    btnScanNow_->setText(localizedText("ID_SCAN_FOR_DUPLICATES"));
    giveScanNowItsLook(*btnScanNow_);
}

void HomeBars::giveScanNowItsLook(IMGButton& button)
{
    button.setMakeBoldFont(true);
    button.setFontSizeForButton(18);
    button.setButtonImages(QStringLiteral("blue_left_btn"), QStringLiteral("blue_mid_btn"),
        QStringLiteral("blue_right_btn"), QStringLiteral("blue_left_btn"), QStringLiteral("blue_mid_btn"),
        QStringLiteral("blue_right_btn"), QStringLiteral("blue_left_btn"), QStringLiteral("blue_mid_btn"),
        QStringLiteral("blue_right_btn"), QStringLiteral("grey_left_btn"), QStringLiteral("grey_mid_btn"),
        QStringLiteral("grey_right_btn"), QStringLiteral("grey_left_btn"), QStringLiteral("grey_mid_btn"),
        QStringLiteral("grey_right_btn"), QStringLiteral("grey_left_btn"), QStringLiteral("grey_mid_btn"),
        QStringLiteral("grey_right_btn"));
    button.setState(0);
    // A scan that starts keeps it off until its results are handed over; a
    // refusal turns it on again itself.
    button.setEnableImmediately(false);
    button.setColorOnState(Qt::white);
    const QColor dimmed = QColor::fromRgbF(0.8f, 0.8f, 0.8f, 1.0f);
    button.setColorOffStateDis(dimmed);
    button.setColorOnStateDis(dimmed);
    button.setColorOffState(dimmed);
}

void HomeBars::setScanNowState(int state, bool enabled)
{
    btnScanNow_->setEnabled(enabled);
    btnScanNow_->setState(state);
    btnScanNow_->update();
}
