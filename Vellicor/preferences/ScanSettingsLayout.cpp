#include "preferences/ScanSettingsLayout.h"

#include <QStringList>

namespace ScanSettingsLayout {

namespace {

// A frame given from the top of a parent height points high.
LayoutFrame fromTop(double height, double x, double top, double width, double h)
{
    return { x, height - top - h, width, h };
}

} // namespace

FrameTable baseFrames()
{
    const double h = paneSize.height();
    return {
        { QStringLiteral("lblSearchFilter"), fromTop(h, 20, 12, 300, 18) },
        { QStringLiteral("lblFileFilter"), fromTop(h, 20, 36, 200, 16) },
        { QStringLiteral("segmentControlView"), fromTop(h, 20, 58, 180, 24) },
        // The list's commands stand on the segments' row, against the list's
        // right edge, with room between them for longer titles.
        { QStringLiteral("btnAddExt"), fromTop(h, 324, 56, 80, 28) },
        { QStringLiteral("btnEditExt"), fromTop(h, 422, 56, 80, 28) },
        { QStringLiteral("btnDeleteExt"), fromTop(h, 520, 56, 80, 28) },
        { QStringLiteral("tblFormatsList"), fromTop(h, 20, 90, 580, 150) },
        { QStringLiteral("lblMoreSearchOptions"), fromTop(h, 20, 254, 300, 18) },
        { QStringLiteral("lblFIleSize"), fromTop(h, 20, 278, 200, 16) },
        { QStringLiteral("btnAnySize"), fromTop(h, 40, 298, 200, 20) },
        { QStringLiteral("lblMinimumFileSize"), fromTop(h, 40, 322, 140, 24) },
        { QStringLiteral("txtMinFileSize"), fromTop(h, 185, 322, 80, 24) },
        { QStringLiteral("popupMinfileSize"), fromTop(h, 272, 322, 80, 24) },
        { QStringLiteral("lblMaximumFileSize"), fromTop(h, 40, 350, 140, 24) },
        { QStringLiteral("txtMaxFileSize"), fromTop(h, 185, 350, 80, 24) },
        { QStringLiteral("popupMaxfileSzie"), fromTop(h, 272, 350, 80, 24) },
        { QStringLiteral("btnExcludeZeroSize"), fromTop(h, 40, 380, 560, 20) },
        { QStringLiteral("btnExclude1KBSzie"), fromTop(h, 40, 402, 560, 20) },
        { QStringLiteral("btnExclude10KBSzie"), fromTop(h, 40, 424, 560, 20) },
        { QStringLiteral("btnScanHiddenFolders"), fromTop(h, 40, 446, 560, 20) },
        { QStringLiteral("lblFilesDates"), fromTop(h, 20, 476, 200, 16) },
        { QStringLiteral("btnAnyDate"), fromTop(h, 40, 496, 110, 22) },
        { QStringLiteral("btnCreatedfrom"), fromTop(h, 40, 522, 140, 22) },
        { QStringLiteral("datePickerCreated"), fromTop(h, 185, 521, 120, 24) },
        { QStringLiteral("btnModifiedDate"), fromTop(h, 320, 522, 140, 22) },
        { QStringLiteral("datePickerModified"), fromTop(h, 465, 521, 120, 24) },
    };
}

FrameTable editorBaseFrames()
{
    const double h = editorSize.height();
    return {
        { QStringLiteral("lblFileType"), fromTop(h, 20, 20, 60, 20) },
        { QStringLiteral("lblFileTypeVal"), fromTop(h, 90, 20, 300, 20) },
        { QStringLiteral("lblEnterFileOneOrMoreTerminal"), fromTop(h, 20, 48, 420, 34) },
        { QStringLiteral("txtViewExtensions"), fromTop(h, 20, 88, 420, 100) },
        { QStringLiteral("btnCancelExtList"), fromTop(h, 250, 204, 90, 30) },
        { QStringLiteral("btnUpdateExtList"), fromTop(h, 350, 204, 90, 30) },
    };
}

void adaptLayoutToLanguage(
    const QString& languageCode, FrameTable& pane, FrameTable& editor, QHash<QString, int>* fonts)
{
    struct Edit {
        const char* languages;
        bool inEditor;
        const char* control;
        double dx, dy, dw, dh;
        int font;
    };
    // Each step as the languages it applies to; steps run in this order, each
    // on the frame as the earlier ones left it.
    static const Edit edits[] = {
        { "da fr", false, "lblMaximumFileSize", 0, -3, 42, 0, 0 },
        { "da fr", false, "lblMinimumFileSize", 0, -2, 42, 0, 0 },
        { "da fr", false, "txtMaxFileSize", 42, 0, 0, 0, 0 },
        { "da fr", false, "txtMinFileSize", 42, 0, 0, 0, 0 },
        { "da fr", false, "popupMaxfileSzie", 42, 0, 0, 0, 0 },
        { "da fr", false, "popupMinfileSize", 42, 0, 0, 0, 0 },
        { "fr", false, "btnAnyDate", -24, 0, 0, 0, 11 },
        { "fr", false, "lblFilesDates", -25, 0, 0, 0, 0 },
        { "fr", false, "btnCreatedfrom", -24, 0, 60, 0, 11 },
        { "fr", false, "btnModifiedDate", -24, 0, 75, 0, 11 },
        { "fr", false, "datePickerCreated", 40, 0, 0, 0, 0 },
        { "fr", false, "datePickerModified", 45, 0, 0, 0, 0 },
        { "fr", false, "lblMinimumFileSize", 0, 0, 0, 0, 11 },
        { "fr", false, "lblMaximumFileSize", 0, 0, 0, 0, 11 },
        { "fr", false, "btnAnySize", 0, 0, 0, 0, 11 },
        { "it", true, "lblFileType", 0, 0, 15, 0, 0 },
        { "it", true, "lblFileTypeVal", 15, 0, 0, 0, 0 },
        { "ru de", true, "lblFileType", 0, 0, 25, 0, 0 },
        { "de", true, "lblFileTypeVal", 5, 0, 0, 0, 0 },
        { "ru", true, "lblFileTypeVal", 25, 0, 0, 0, 0 },
        { "ru de", true, "btnUpdateExtList", -15, 0, 15, 0, 0 },
        { "es nl fi pt de it ru", false, "lblMinimumFileSize", 0, 0, 60, 0, 12 },
        { "es nl fi pt de it ru", false, "lblMaximumFileSize", 0, 0, 60, 0, 12 },
        { "es nl fi pt de it ru", false, "txtMinFileSize", 50, 0, 0, 0, 0 },
        { "es nl fi pt de it ru", false, "popupMinfileSize", 40, 0, 0, 0, 0 },
        { "es nl fi pt de it ru", false, "txtMaxFileSize", 50, 0, 0, 0, 0 },
        { "es nl fi pt de it ru", false, "popupMaxfileSzie", 40, 0, 0, 0, 0 },
        { "es nl fi pt de it ru", false, "btnAnyDate", 0, 0, 80, 0, 0 },
        { "es nl fi pt de it ru", false, "btnCreatedfrom", 0, 0, 25, 0, 0 },
        { "es nl fi pt de it ru", false, "btnModifiedDate", 0, 0, 35, 0, 0 },
        { "es nl fi pt de it ru", false, "datePickerCreated", 25, 0, 0, 0, 0 },
        { "es nl fi pt de it ru", false, "datePickerModified", 25, 0, 0, 0, 0 },
        { "es nl fi pt fr", true, "lblFileType", 0, 0, 55, 0, 0 },
        { "nl", true, "lblFileTypeVal", 40, 0, 0, 0, 0 },
        { "es fi pt fr", true, "lblFileTypeVal", 50, 0, 0, 0, 0 },
        { "nb sv", false, "btnCreatedfrom", 0, 0, 10, 0, 0 },
        { "nb sv", false, "lblMaximumFileSize", 0, 0, 10, 0, 0 },
        { "nl de ru", false, "btnAddExt", 0, 0, 15, 0, 0 },
        { "nl de ru", false, "btnEditExt", 0, 0, 15, 0, 0 },
        { "nl de ru", false, "btnDeleteExt", 0, 0, 15, 0, 0 },
        { "pt de es nl fi ru fr", true, "lblEnterFileOneOrMoreTerminal", 0, -5, 0, 17, 0 },
        { "ja sv", true, "lblFileTypeVal", -15, 0, 0, 0, 0 },
        { "da nb ru", true, "lblFileTypeVal", -10, 0, 0, 0, 0 },
    };
    if (languageCode == QLatin1String("en"))
        editor[QStringLiteral("lblFileTypeVal")].x = 82;
    for (const Edit& edit : edits) {
        if (!QString::fromLatin1(edit.languages).split(QLatin1Char(' ')).contains(languageCode))
            continue;
        const QString name = QString::fromLatin1(edit.control);
        LayoutFrame& frame = (edit.inEditor ? editor : pane)[name];
        frame.x += edit.dx;
        frame.y += edit.dy;
        frame.width += edit.dw;
        frame.height += edit.dh;
        if (edit.font && fonts)
            fonts->insert(name, edit.font);
    }
}

} // namespace ScanSettingsLayout
