#pragma once

#include "controls/LayoutFrame.h"
#include "home/HomeLayout.h"

#include <QHash>
#include <QString>

#include <vector>

// The results screen's pass over its base frames for the interface language
// and the system profile: fixed moves, widenings and font changes for texts
// that run long in some languages, and the category row packed to its titles.
// Works on the frame table and measured title widths only, so it is tested
// without a display. A rule for a control the table lacks is skipped.

// The system the layout is for; a build runs on one fixed profile.
struct ResultsSystemProfile {
    bool before10_15 = false;
    bool is12OrLater = true;
};

// Title widths (text width plus 10, at least 25) by control name, measured
// with the font each control has when the pass starts.
using ResultsTitleWidths = QHash<QString, double>;

std::vector<FontEdit> applyResultsLayoutRules(FrameTable& frames, const ResultsTitleWidths& titleWidths,
    const QString& languageCode, const ResultsSystemProfile& system = {});

// The small-screen pass over the same base frames: the summary labels widened
// and moved, the sort button (whose title the screen drops) moved right. Runs
// once, before the language's pass; a control the table lacks is skipped.
void applyResultsSmallScreenRules(FrameTable& frames);

// How the results screen's controls follow the window from the size their
// frames were laid out for.
const ResizingTable& resultsResizing();

// The controls of the results screen's sheets (trash, after-clean, undo,
// automatic marking) whose frames the language's pass edits. The sheets lay
// themselves out in their own windows, so their frames make a table of their
// own, read from the built sheets, edited by the same pass and placed once.
inline constexpr const char* resultsSheetControls[]
    = { "btnReview", "btnTrashOnReview", "btnDontShowThisAgain", "lblAreYouSureToDeleteInfo", "lblNetworkDriveContent",
          "lblInCaseMistake", "lblSelectedFileDeleted", "lblSelectedFileDeletedInfo", "lblActionToUndo",
          "lblDoYouWantToProceed", "btnContinueAutomark", "btnCancelAutomark" };

// The margins and the title size of an image button of a sheet for a language.
struct ImageButtonEdit {
    QString name;
    int marginTop = 0;
    int marginBottom = 0;
    int fontSize = 0;

    friend bool operator==(const ImageButtonEdit&, const ImageButtonEdit&) = default;
};
// The scan-complete sheet's two choices, for the languages whose titles run long.
std::vector<ImageButtonEdit> resultsImageButtonEdits(const QString& languageCode);

// The category buttons in the row order the layout packs them.
inline constexpr const char* resultsCategoryRowOrder[7] = { "btnAllItems", "btnImagesItems", "btnDocumentItems",
    "btnMusicItems", "btnVideoItems", "btnArchiveItems", "btnOtherItems" };
// The toolbar buttons whose titles the layout measures.
inline constexpr const char* resultsMeasuredToolbar[3] = { "btnAutoMark", "btnUnmarkAll", "btnSelectionAssitance" };
