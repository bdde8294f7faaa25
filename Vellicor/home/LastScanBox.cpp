#include "home/LastScanBox.h"

#include "controls/LinkButton.h"
#include "core/CommonFuncs.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "home/HomeLook.h"

#include <QFrame>

LastScanBox::LastScanBox(QWidget* view)
{
    QFrame* last = makeHomeBox("boxLastScan", view, HomeLook::panel, 6);
    box_ = last;
    ImageLabel::make("imgLastScan", last);
    makeHomeLabel("lblLastScanStatus", last, 17, true);
    lblLastScanTIme_ = makeHomeLabel("lblLastScanTIme", last, 12);
    lblLastScanTIme_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ImageLabel::make("imgDupCount", last);
    lblLastScanDupFileCount_ = makeHomeLabel("lblLastScanDupFileCount", last, 15, true);
    lblLastScanDupFileCount_->setText(QStringLiteral("0"));
    makeHomeLabel("lblDuplicateFilesFound", last, 11)->setWordWrap(true);
    ImageLabel::make("imgDupSpace", last);
    lblLastScanDupFileSize_ = makeHomeLabel("lblLastScanDupFileSize", last, 15, true);
    lblLastScanDupFileSize_->setText(getSizeInUnits(0.0));
    makeHomeLabel("lblSpaceToBeSaved", last, 11)->setWordWrap(true);
    infoIcon_ = ImageLabel::make("infoIcon", last);
    lblAddFolderToFindDups_ = makeHomeLabel("lblAddFolderToFindDups", last, 12);
    lblAddFolderToFindDups_->setWordWrap(true);
    btnLastScanResult_ = new LinkButton(last);
    btnLastScanResult_->setObjectName(homeName("btnLastScanResult"));
    for (const char* caption : { "lblLastScanTIme", "lblDuplicateFilesFound", "lblSpaceToBeSaved" })
        setLabelColor(last->findChild<QLabel*>(homeName(caption)), HomeLook::caption);

    connect(btnLastScanResult_, &QAbstractButton::clicked, this, &LastScanBox::viewDetailsTapped);
}

void LastScanBox::localize()
{
    setLocalizedTexts(box_,
        {
            { "lblLastScanStatus", "ID_LAST_SCAN_STATUS" },
            { "lblDuplicateFilesFound", "ID_DUPLICATE_FILES_FOUND" },
            { "lblAddFolderToFindDups", "ID_ADD_FOLDER_TO_FIND_DUPLICATES" },
            { "lblSpaceToBeSaved", "ID_SPACE_TO_BE_SAVED" },
            { "lblLastScanTIme", "ID_NO_SCAN_PERFORMED_YET" },
        });
}

void LastScanBox::finishSetUp()
{
    btnLastScanResult_->setTitle(localizedText("ID_VIEW_DETAILS"), 13, false, QColor(Qt::white));
}

void LastScanBox::showHint(bool scanListEmpty)
{
    scanListEmpty_ = scanListEmpty;
    const bool none = lastScanResultGroups().empty();
    const bool hint = none && scanListEmpty_ && !scanRecorded_;
    infoIcon_->setVisible(hint);
    lblAddFolderToFindDups_->setVisible(hint);
    btnLastScanResult_->setVisible(!none);
}

void LastScanBox::showRecord(const QString& dupCount, const QString& dupSize, const std::optional<QString>& scanTime)
{
    lblLastScanDupFileCount_->setText(dupCount);
    lblLastScanDupFileSize_->setText(dupSize);
    if (scanTime)
        lblLastScanTIme_->setText(*scanTime);
    scanRecorded_ = true;
    showHint(scanListEmpty_);
}
