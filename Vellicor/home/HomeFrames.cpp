#include "home/HomeFrames.h"

#include "controls/ApplicationFont.h"
#include "controls/WindowHelpers.h"
#include "core/GlobalObjects.h"
#include "home/HomeLayout.h"
#include "home/HomeLook.h"

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

#include <cmath>

namespace {

QString name(const char* objectName)
{
    return homeName(objectName);
}

} // namespace

HomeFrames::HomeFrames()
{
    frames_ = FrameTable {
        { name("boxHeader"), { 0, 630, 1082, 70 } },
        { name("imgOne"), { 30, 19, 32, 32 } },
        { name("lblSelectFolderFiles"), { 72, 20, 230, 30 } },
        { name("imgArrow"), { 306, 25, 64, 20 } },
        { name("imgTwo"), { 380, 19, 32, 32 } },
        { name("lblCleanDuplicates"), { 422, 20, 230, 30 } },
        { name("imgThree"), { 1020, 17, 36, 36 } },
        { name("viewScanSource"), { 20, 586, 420, 34 } },
        { name("boxScanMode"), { 0, 0, 95, 34 } },
        { name("lblScanMode"), { 0, 0, 90, 34 } },
        { name("btnScanMode"), { 95, 2, 230, 30 } },
        { name("imgDropdown"), { 303, 11, 12, 12 } },
        { name("boxBottomFirstTab"), { 20, 538, 172, 40 } },
        { name("boxBottomSecondTab"), { 196, 538, 172, 40 } },
        { name("boxBottomThirdTab"), { 372, 538, 172, 40 } },
        { name("textFirstTab"), { 0, 0, 172, 40 } },
        { name("textSecondTab"), { 0, 0, 172, 40 } },
        { name("textThirdTab"), { 0, 0, 172, 40 } },
        { name("btnInclue"), { 0, 0, 172, 40 } },
        { name("btnExclude"), { 0, 0, 172, 40 } },
        { name("btnProtected"), { 0, 0, 172, 40 } },
        { name("btnSetting"), { 590, 542, 130, 32 } },
        { name("containerView"), { 20, 140, 700, 394 } },
        { name("viewInclude"), { 0, 0, 700, 394 } },
        { name("viewExclude"), { 0, 0, 700, 394 } },
        { name("viewProtect"), { 0, 0, 700, 394 } },
        { name("tblInclude"), { 0, 4, 700, 356 } },
        { name("tblExcludes"), { 0, 4, 700, 356 } },
        { name("tblProtected"), { 0, 4, 700, 356 } },
        { name("lblFolderPathInclude"), { 70, 362, 300, 30 } },
        { name("lblIncludeSubFolderInclude"), { 510, 362, 130, 30 } },
        { name("lblActionInclude"), { 640, 362, 60, 30 } },
        { name("lblHeaderExclude"), { 16, 362, 600, 30 } },
        { name("lblFolderPathProtect"), { 70, 362, 300, 30 } },
        { name("lblIncludeSubFolderProtect"), { 510, 362, 130, 30 } },
        { name("lblActionProtect"), { 640, 362, 60, 30 } },
        // The file-type switches span the list above them, edge to edge.
        { name("btnAllFilesSelected"), { 20, 92, 98, 32 } },
        { name("btnCustomScanSelected"), { 122, 92, 108, 32 } },
        { name("btnDocumentsSelected"), { 240, 92, 96, 32 } },
        { name("btnPhotosSelected"), { 340, 92, 74, 32 } },
        { name("btnMusicSelected"), { 418, 92, 70, 32 } },
        { name("btnVideosSelected"), { 492, 92, 72, 32 } },
        { name("btnArchivesSelected"), { 568, 92, 80, 32 } },
        { name("btnOthersSelected"), { 652, 92, 68, 32 } },
        { name("boxRightDragDrop"), { 746, 318, 316, 302 } },
        { name("boxSelectFolder"), { 10, 56, 296, 236 } },
        { name("imgDragDrop"), { 108, 130, 80, 70 } },
        { name("lblDragDropHere"), { 0, 92, 296, 30 } },
        { name("lblDragDropInfo"), { 20, 22, 256, 62 } },
        { name("btnAddPath"), { 98, 12, 120, 34 } },
        { name("boxRightExclude"), { 746, 264, 316, 46 } },
        { name("imgExcludeFolderBtn"), { 14, 11, 24, 24 } },
        { name("lblExcludeFolderBtn"), { 50, 11, 250, 24 } },
        { name("boxRightProtected"), { 746, 210, 316, 46 } },
        { name("imgProtectFolderBtn"), { 14, 11, 24, 24 } },
        { name("lblProtectFolderBtn"), { 50, 11, 250, 24 } },
        { name("boxLastScan"), { 746, 84, 316, 118 } },
        { name("imgLastScan"), { 14, 84, 22, 22 } },
        { name("lblLastScanStatus"), { 44, 82, 110, 26 } },
        { name("lblLastScanTIme"), { 110, 82, 194, 26 } },
        { name("imgDupCount"), { 14, 44, 26, 26 } },
        { name("lblLastScanDupFileCount"), { 48, 52, 100, 22 } },
        { name("lblDuplicateFilesFound"), { 48, 34, 110, 18 } },
        { name("imgDupSpace"), { 164, 44, 26, 26 } },
        { name("lblLastScanDupFileSize"), { 198, 52, 110, 22 } },
        { name("lblSpaceToBeSaved"), { 198, 34, 110, 18 } },
        { name("infoIcon"), { 14, 8, 18, 18 } },
        { name("lblAddFolderToFindDups"), { 38, 6, 266, 22 } },
        { name("btnLastScanResult"), { 38, 6, 120, 22 } },
        { name("boxFooterFirst"), { 0, 0, 1082, 76 } },
        { name("btnScanNow"), { 416, 14, 250, 48 } },
        { name("boxScanDetail"), { 0, 76, 1082, 554 } },
        { name("viewDiskReport"), { 40, 10, 1002, 534 } },
        { name("lblScanningInProgress"), { 0, 480, 1002, 40 } },
        { name("imgViewProgress"), { 336, 484, 32, 32 } },
        { name("boxWindowScanning"), { 351, 190, 300, 272 } },
        { name("lblAddingPhotos"), { 0, 234, 300, 26 } },
        { name("progressCircular"), { 70, 62, 160, 160 } },
        { name("lblScanPer"), { 70, 122, 160, 40 } },
        { name("lblBePatient"), { 10, 12, 280, 40 } },
        { name("lblAdd"), { 0, 160, 1002, 20 } },
        { name("lblFilesScanned"), { 111, 130, 260, 22 } },
        { name("lblFileScanCount"), { 111, 100, 260, 30 } },
        { name("lblFileProcessedStr"), { 371, 130, 260, 22 } },
        { name("lblFileProcessed"), { 371, 100, 260, 30 } },
        { name("lblFileComparedStr"), { 631, 130, 260, 22 } },
        { name("lblFileCompared"), { 631, 100, 260, 30 } },
        { name("lblScannedFilePath"), { 40, 64, 922, 24 } },
        { name("btnAbortScanning"), { 426, 14, 150, 36 } },
        { name("btnShowResultDetail"), { 341, 14, 150, 36 } },
        { name("btnBackToAddFolder"), { 511, 14, 150, 36 } },
    };
}

FrameTable HomeFrames::framesForSize(QSizeF size) const
{
    if (size.width() >= mainWindowContentSize.width() && size.height() >= mainWindowContentSize.height())
        return frames_;
    // The small screens' window (960 x 600): both columns narrower, the lists
    // and the scanning view shorter; the header and footer keep their height.
    FrameTable compact = frames_;
    const double w = size.width();
    const double h = size.height();
    const double top = h - 70;
    const std::pair<const char*, LayoutFrame> edits[] = {
        { "boxHeader", { 0, top, w, 70 } },
        { "imgThree", { w - 62, 17, 36, 36 } },
        { "viewScanSource", { 20, top - 44, 420, 34 } },
        { "boxBottomFirstTab", { 20, top - 92, 160, 40 } },
        { "boxBottomSecondTab", { 184, top - 92, 160, 40 } },
        { "boxBottomThirdTab", { 348, top - 92, 160, 40 } },
        { "textFirstTab", { 0, 0, 160, 40 } },
        { "textSecondTab", { 0, 0, 160, 40 } },
        { "textThirdTab", { 0, 0, 160, 40 } },
        { "btnInclue", { 0, 0, 160, 40 } },
        { "btnExclude", { 0, 0, 160, 40 } },
        { "btnProtected", { 0, 0, 160, 40 } },
        { "btnSetting", { 532, top - 88, 120, 32 } },
        { "containerView", { 20, 128, 632, top - 96 - 128 } },
        { "viewInclude", { 0, 0, 632, top - 224 } },
        { "viewExclude", { 0, 0, 632, top - 224 } },
        { "viewProtect", { 0, 0, 632, top - 224 } },
        { "tblInclude", { 0, 4, 632, top - 264 } },
        { "tblExcludes", { 0, 4, 632, top - 264 } },
        { "tblProtected", { 0, 4, 632, top - 264 } },
        { "lblFolderPathInclude", { 70, top - 258, 260, 30 } },
        { "lblIncludeSubFolderInclude", { 442, top - 258, 130, 30 } },
        { "lblActionInclude", { 572, top - 258, 60, 30 } },
        { "lblHeaderExclude", { 16, top - 258, 560, 30 } },
        { "lblFolderPathProtect", { 70, top - 258, 260, 30 } },
        { "lblIncludeSubFolderProtect", { 442, top - 258, 130, 30 } },
        { "lblActionProtect", { 572, top - 258, 60, 30 } },
        { "btnAllFilesSelected", { 20, 88, 82, 32 } },
        { "btnCustomScanSelected", { 106, 88, 100, 32 } },
        { "btnDocumentsSelected", { 216, 88, 92, 32 } },
        { "btnPhotosSelected", { 312, 88, 66, 32 } },
        { "btnMusicSelected", { 382, 88, 60, 32 } },
        { "btnVideosSelected", { 446, 88, 64, 32 } },
        { "btnArchivesSelected", { 514, 88, 72, 32 } },
        { "btnOthersSelected", { 590, 88, 62, 32 } },
        { "boxRightDragDrop", { w - 288, top - 234, 272, 224 } },
        { "boxSelectFolder", { 10, 52, 252, 166 } },
        { "imgDragDrop", { 96, 96, 60, 52 } },
        { "lblDragDropHere", { 0, 64, 252, 28 } },
        { "lblDragDropInfo", { 10, 6, 232, 56 } },
        { "btnAddPath", { 76, 10, 120, 34 } },
        { "boxRightExclude", { w - 288, top - 288, 272, 44 } },
        { "imgExcludeFolderBtn", { 14, 10, 24, 24 } },
        { "lblExcludeFolderBtn", { 50, 10, 210, 24 } },
        { "boxRightProtected", { w - 288, top - 338, 272, 44 } },
        { "imgProtectFolderBtn", { 14, 10, 24, 24 } },
        { "lblProtectFolderBtn", { 50, 10, 210, 24 } },
        { "boxLastScan", { w - 288, 84, 272, 100 } },
        { "imgLastScan", { 12, 70, 20, 20 } },
        { "lblLastScanStatus", { 38, 67, 110, 26 } },
        { "lblLastScanTIme", { 100, 67, 160, 26 } },
        { "imgDupCount", { 12, 34, 22, 22 } },
        { "lblLastScanDupFileCount", { 40, 42, 100, 22 } },
        { "lblDuplicateFilesFound", { 40, 24, 106, 18 } },
        { "imgDupSpace", { 150, 34, 22, 22 } },
        { "lblLastScanDupFileSize", { 176, 42, 92, 22 } },
        { "lblSpaceToBeSaved", { 176, 24, 92, 18 } },
        { "infoIcon", { 12, 5, 18, 18 } },
        { "lblAddFolderToFindDups", { 36, 2, 230, 22 } },
        { "btnLastScanResult", { 36, 2, 120, 22 } },
        { "boxFooterFirst", { 0, 0, w, 76 } },
        { "boxScanDetail", { 0, 76, w, top - 76 } },
        { "viewDiskReport", { 20, 4, w - 40, top - 84 } },
        { "lblScanningInProgress", { 0, top - 128, w - 40, 36 } },
        { "imgViewProgress", { (w - 40) / 2 - 165, top - 126, 32, 32 } },
        { "boxWindowScanning", { (w - 40) / 2 - 150, 150, 300, 236 } },
        { "lblAddingPhotos", { 0, 202, 300, 26 } },
        { "progressCircular", { 80, 54, 140, 140 } },
        { "lblScanPer", { 80, 104, 140, 40 } },
        { "lblBePatient", { 10, 8, 280, 40 } },
        { "lblAdd", { 0, 124, w - 40, 20 } },
        { "lblFilesScanned", { (w - 40) / 2 - 390, 96, 260, 22 } },
        { "lblFileScanCount", { (w - 40) / 2 - 390, 68, 260, 30 } },
        { "lblFileProcessedStr", { (w - 40) / 2 - 130, 96, 260, 22 } },
        { "lblFileProcessed", { (w - 40) / 2 - 130, 68, 260, 30 } },
        { "lblFileComparedStr", { (w - 40) / 2 + 130, 96, 260, 22 } },
        { "lblFileCompared", { (w - 40) / 2 + 130, 68, 260, 30 } },
        { "lblScannedFilePath", { 20, 46, w - 80, 22 } },
        { "btnAbortScanning", { (w - 40) / 2 - 75, 8, 150, 34 } },
        { "btnShowResultDetail", { (w - 40) / 2 - 160, 8, 150, 34 } },
        { "btnBackToAddFolder", { (w - 40) / 2 + 10, 8, 150, 34 } },
    };
    for (const auto& [controlName, frame] : edits)
        compact[name(controlName)] = frame;
    LayoutFrame& scanNow = compact[name("btnScanNow")];
    scanNow.x = w / 2 - scanNow.width / 2;
    return compact;
}

void HomeFrames::keepLanguageFramesInside()
{
    // A language's taller Scan Now would reach below the footer: it stays
    // centred in it instead.
    LayoutFrame& scanNow = frames_[name("btnScanNow")];
    const LayoutFrame& footer = frames_[name("boxFooterFirst")];
    if (scanNow.y < 0 || scanNow.y + scanNow.height > footer.height)
        scanNow.y = std::round((footer.height - scanNow.height) / 2);
    // A long date's two lines would run over the counts below them: they
    // sit above the counts, under the status line.
    LayoutFrame& time = frames_[name("lblLastScanTIme")];
    const LayoutFrame& count = frames_[name("lblLastScanDupFileSize")];
    if (time.y < count.y + count.height)
        time.y = count.y + count.height;
}

void HomeFrames::place(QWidget* view) const
{
    // The compact frames are made for the present size; the base frames for
    // the window's content size, and a larger window grows them from there.
    const QSize size = view->size();
    const bool compact = size.width() < mainWindowContentSize.width() || size.height() < mainWindowContentSize.height();
    framesForSize(size).apply(view, homeResizing(), QSizeF(compact ? size : mainWindowContentSize));
}

void HomeFrames::layOutForLanguage(QWidget* view)
{
    const auto labelWidth
        = [view](const char* objectName) { return textWidthOfControl(view->findChild<QLabel*>(name(objectName))); };
    const auto buttonWidth = [view](const char* objectName) {
        return textWidthOfButtonTitle(view->findChild<QAbstractButton*>(name(objectName)));
    };
    HomeTextWidths widths;
    widths.scanNowTitle = buttonWidth("btnScanNow");
    widths.dragDropHere = labelWidth("lblDragDropHere");
    if (auto* status = view->findChild<QLabel*>(name("lblLastScanStatus"))) {
        status->setFont(systemFontOfSize(18, QFont::DemiBold));
        widths.lastScanStatusAt18 = textWidthOfControl(status);
        status->setFont(systemFontOfSize(17, QFont::Bold));
    }
    widths.spaceToBeSaved = labelWidth("lblSpaceToBeSaved");
    widths.allFilesTitle = buttonWidth("btnAllFilesSelected");
    widths.duplicateFilesFound = labelWidth("lblDuplicateFilesFound");
    widths.addFolderHint = labelWidth("lblAddFolderToFindDups");
    widths.addPathTitle = buttonWidth("btnAddPath");
    widths.scanModeLabel = labelWidth("lblScanMode");
    widths.protectFolderBtn = labelWidth("lblProtectFolderBtn");
    widths.excludeFolderBtn = labelWidth("lblExcludeFolderBtn");
    // The base frames are for the window's content size, whatever the present one.
    for (const FontEdit& edit :
        applyHomeLayoutRules(frames_, widths, currentLanguageCode, mainWindowContentSize.width())) {
        if (auto* widget = view->findChild<QWidget*>(edit.name))
            widget->setFont(edit.font);
    }
    keepLanguageFramesInside();
    place(view);
}
