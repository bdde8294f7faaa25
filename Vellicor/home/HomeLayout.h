#pragma once

#include "controls/LayoutFrame.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <vector>

// The home screen's layout pass over its base frames: Scan Now sized to its
// title, and the fixed per-language widenings and font changes for texts that
// run long in some languages. Works on the frame table and the measured text
// widths only, so it is tested without a display.

// The measured widths (text width plus 10, at least 25) the rules read.
struct HomeTextWidths {
    double scanNowTitle = 0;
    double dragDropHere = 0;
    double lastScanStatusAt18 = 0;
    double spaceToBeSaved = 0;
    double allFilesTitle = 0;
    double duplicateFilesFound = 0;
    double addFolderHint = 0;
    double addPathTitle = 0;
    double scanModeLabel = 0;
    double protectFolderBtn = 0;
    double excludeFolderBtn = 0;
};

// A font to give a named control.
struct FontEdit {
    QString name;
    QFont font;
};

// Applies the pass to frames for the language and returns the font edits, in
// order. viewWidth is the width of the home view.
std::vector<FontEdit> applyHomeLayoutRules(
    FrameTable& frames, const HomeTextWidths& widths, const QString& languageCode, double viewWidth);

// How the home screen's controls follow the window from the size their base
// frames were laid out for: the header and footer keep to the top and bottom,
// the lists take the room, the right-hand column keeps its width at the
// right edge, and the scanning view stays centred.
const ResizingTable& homeResizing();

// The same kind of pass for the cloud sign-in sheet, run whenever the sheet
// takes its texts: a wider Allow Permission button (frame
// "btnAllowPermission") for a long title, and the fonts some languages need.
std::vector<FontEdit> applySignInSheetLayoutRules(
    FrameTable& frames, double allowPermissionTitle, const QString& languageCode);

class QImage;
// The image upside down, at the same size: the pop-up's check mark on the
// older systems whose menus draw their images flipped.
QImage verticallyFlippedImage(const QImage& image);
