#include "home/HomeLayout.h"

#include "controls/ApplicationFont.h"

#include <QImage>

#include <algorithm>
#include <cmath>

std::vector<FontEdit> applySignInSheetLayoutRules(
    FrameTable& frames, double allowPermissionTitle, const QString& language)
{
    std::vector<FontEdit> edits;
    if (language != QLatin1String("en") && allowPermissionTitle > 107) {
        LayoutFrame& allow = frames[QStringLiteral("btnAllowPermission")];
        allow.width += 20;
        allow.x -= 20;
    }
    const auto add = [&](const char* name, int size, QFont::Weight weight = QFont::Normal) {
        edits.push_back({ QString::fromLatin1(name), systemFontOfSize(size, weight) });
    };
    if (language == QLatin1String("ru")) {
        add("lblGoogleDiveInstructionSubHeading", 10, QFont::DemiBold);
        add("lblGDriveInfo1", 12);
        add("btnAllowPermission", 11);
        add("btnScanComputer", 11);
    } else if (language == QLatin1String("nl")) {
        add("lblGoogleDiveInstructionSubHeading", 10, QFont::DemiBold);
    } else if (language == QLatin1String("de")) {
        add("lblGoogleDiveInstructionSubHeading", 11, QFont::DemiBold);
        add("btnAllowPermission", 11);
    } else if (language == QLatin1String("sv")) {
        add("lblGoogleDiveInstructionSubHeading", 11, QFont::DemiBold);
    } else if (language == QLatin1String("pt")) {
        add("btnAllowPermission", 11);
    }
    return edits;
}

std::vector<FontEdit> applyHomeLayoutRules(
    FrameTable& frames, const HomeTextWidths& widths, const QString& language, double viewWidth)
{
    std::vector<FontEdit> edits;
    const auto font = [&](const char* name, int size, QFont::Weight weight = QFont::Normal) {
        edits.push_back({ QString::fromLatin1(name), systemFontOfSize(size, weight) });
    };
    const auto frame = [&](const char* name) -> LayoutFrame& { return frames[QString::fromLatin1(name)]; };

    LayoutFrame& scanNow = frame("btnScanNow");
    double w = widths.scanNowTitle;
    if (w <= 250) {
        w += 150;
        scanNow.x = viewWidth / 2 - w / 2;
    }
    scanNow.width = std::trunc(w);

    if (widths.dragDropHere > 280)
        font("lblDragDropHere", 15);

    if (language != QLatin1String("en")) {
        frame("lblLastScanStatus").width = (widths.lastScanStatusAt18 + 100) * 0.5;
        font("lblLastScanStatus", 17, QFont::DemiBold);

        LayoutFrame& space = frame("lblSpaceToBeSaved");
        space.width = std::min(widths.spaceToBeSaved, 180.0);
        if (widths.spaceToBeSaved > 180) {
            space.y -= 20;
            space.height += 20;
        }
        if (widths.allFilesTitle > 98) {
            frame("btnCustomScanSelected").x += 50;
            frame("btnAllFilesSelected").width = 153;
        }
        LayoutFrame& found = frame("lblDuplicateFilesFound");
        found.width = std::min(widths.duplicateFilesFound, 170.0);
        if (widths.duplicateFilesFound > 170) {
            found.y -= 20;
            found.height += 20;
        }
        LayoutFrame& hint = frame("lblAddFolderToFindDups");
        hint.width = std::min(widths.addFolderHint, 100.0);
        if (widths.addFolderHint > 100) {
            hint.y -= 40;
            hint.height += 40;
        }
        scanNow.y -= 16;
        scanNow.height += 16;
        if (widths.addPathTitle > 80) {
            const double d = widths.addPathTitle - 80 + 30;
            LayoutFrame& add = frame("btnAddPath");
            add.x -= d / 2;
            add.width += d;
        }
        double mode = widths.scanModeLabel;
        if (mode > 80) {
            LayoutFrame& label = frame("lblScanMode");
            if (mode > 130) {
                label.height += 15;
                font("lblScanMode", 11);
                mode = 110;
                label.y = 2;
            }
            label.width = mode;
            frame("boxScanMode").width = mode + 5;
            frame("btnScanMode").x = mode + 5;
        }
        if (widths.protectFolderBtn > 130)
            font("lblProtectFolderBtn", 12);
        if (widths.excludeFolderBtn > 130) {
            font("lblExcludeFolderBtn", 11);
            font("lblProtectFolderBtn", 12);
        }
    }

    static const QStringList longDates { QStringLiteral("pt"), QStringLiteral("fr"), QStringLiteral("de"),
        QStringLiteral("it"), QStringLiteral("ru") };
    if (longDates.contains(language)) {
        LayoutFrame& time = frame("lblLastScanTIme");
        time.y = 57;
        time.width = 215;
        time.height = 36;
    }
    return edits;
}

const ResizingTable& homeResizing()
{
    static const ResizingTable table = [] {
        ResizingTable t;
        t.set({ "boxHeader" }, Follow::topBar);
        t.set({ "imgThree" }, Follow::topRight);
        // The lists between the tabs above and the category switches below.
        t.set({ "containerView", "viewInclude", "viewExclude", "viewProtect", "tblInclude", "tblExcludes",
                  "tblProtected" },
            Follow::fill);
        t.set({ "lblFolderPathInclude", "lblFolderPathProtect", "lblHeaderExclude" },
            { Resizing::flexibleWidth | Resizing::flexibleBottom });
        t.set({ "lblIncludeSubFolderInclude", "lblActionInclude", "lblIncludeSubFolderProtect", "lblActionProtect",
                  "btnSetting" },
            Follow::topRight);
        t.set({ "btnAllFilesSelected", "btnCustomScanSelected", "btnDocumentsSelected", "btnPhotosSelected",
                  "btnMusicSelected", "btnVideosSelected", "btnArchivesSelected", "btnOthersSelected" },
            Follow::bottomLeft);
        t.set({ "boxRightDragDrop", "boxRightExclude", "boxRightProtected", "boxLastScan" }, Follow::topRight);
        t.set({ "boxFooterFirst" }, Follow::bottomBar);
        t.set({ "btnScanNow" }, Follow::bottomCentre);
        // The scanning view: its parts move together, in the middle.
        t.set({ "boxScanDetail", "viewDiskReport" }, Follow::fill);
        t.set({ "lblScanningInProgress", "lblAdd", "lblScannedFilePath" },
            { Resizing::flexibleWidth | Resizing::flexibleBottom | Resizing::flexibleTop });
        t.set({ "imgViewProgress", "boxWindowScanning", "lblFilesScanned", "lblFileScanCount", "lblFileProcessedStr",
                  "lblFileProcessed", "lblFileComparedStr", "lblFileCompared", "btnAbortScanning",
                  "btnShowResultDetail", "btnBackToAddFolder" },
            Follow::centre);
        return t;
    }();
    return table;
}

QImage verticallyFlippedImage(const QImage& image)
{
    return image.mirrored(false, true);
}
