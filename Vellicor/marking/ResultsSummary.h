#pragma once

#include "core/DuplicateGroup.h"
#include "core/GlobalObjects.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

// The results summary as texts with styled runs, so that the screen only
// turns them into its labels' rich text. Display-free; read on the GUI thread.

// The system font at a size; weight as the labels draw it.
struct SummaryFont {
    enum class Weight { regular, medium, bold };
    int pointSize = 13;
    Weight weight = Weight::regular;
    bool operator==(const SummaryFont&) const = default;
};

// Characters [start, start + length) drawn in a colour (0xRRGGBB) and/or a
// font; a run without either leaves the label's own.
struct StyledRun {
    int start = 0;
    int length = 0;
    std::optional<unsigned> rgb;
    std::optional<SummaryFont> font;
    bool operator==(const StyledRun&) const = default;
};

struct StyledText {
    QString text;
    // None leaves the label's alignment as laid out.
    std::optional<Qt::Alignment> alignment;
    std::vector<StyledRun> runs;
};

inline constexpr unsigned headerValueRgb = 0x174bee;
inline constexpr unsigned photosFoundValueRgb = 0x04d735;

// "label: value" for the header: the value in blue, the colon and value in
// the bold 14-point font (12-point medium in Russian). A text without a colon
// stays as it is, alignment included.
StyledText makeHeaderCountText(const QString& text, Qt::Alignment alignment);
// The same for lblDuplicatePhotosFound: green, bold 24 points (15 in the
// languages whose text is longer).
StyledText makePhotosFoundText(const QString& text, Qt::Alignment alignment);

// What updateDuplicatesSummary shows, from the whole result set: the
// category filter, the sort and the marks never change it.
struct DuplicatesSummary {
    // Every file but one per group.
    qint64 duplicates = 0;
    qint64 groups = 0;
    // Bytes of every file but the first of each group, saturating.
    quint64 spaceToBeSaved = 0;

    QString lblDupsInGroups;
    StyledText lblDuplicateFound;
    // The space the duplicates would free, or for a source whose removal
    // keeps the files (removalKeepsFiles), the space they keep taking.
    StyledText lblSpaceToBeSaved;
    // Centred, its unit in bold; and what it is, under it.
    StyledText lblSpaceSavedOnPie;
    QString lblSpaceSavedChart;
    StyledText lblDuplicatePhotosFound;
    QString lblAutoMarkInstructionDesc;
};

// Of a result set from source.
DuplicatesSummary summarizeDuplicates(
    const std::vector<DuplicateGroupPtr>& groups, ScanSource source = ScanSource::thisComputer);

// The footer row's geometry outside English (x positions and widths; y and
// heights stay as laid out), from the fitting width of lblDupsInGroups and
// the width of lblNumMarkedFiles, both measured in the 12-point system font
// that the three labels take. None in English: the window's layout stays.
struct FooterLayout {
    int fontPointSize = 12;
    qreal dupsInGroupsWidth = 0;
    qreal sepBtm1X = 0;
    qreal numMarkedFilesX = 0;
    qreal sepBtm2X = 0;
    qreal imgFolderPathX = 0;
    qreal selectedFilePathX = 0;
    qreal selectedFilePathWidth = 0;
};
std::optional<FooterLayout> layoutFooterLabels(qreal dupsInGroupsFittingWidth, qreal numMarkedFilesWidth);
