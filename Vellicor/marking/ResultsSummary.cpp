#include "marking/ResultsSummary.h"

#include "core/CommonFuncs.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/TextFormat.h"

#include <algorithm>
#include <initializer_list>
#include <limits>

namespace {

bool languageIsOneOf(std::initializer_list<const char*> codes)
{
    return std::ranges::any_of(codes, [](const char* code) { return currentLanguageCode == QLatin1String(code); });
}

StyledText styleValueAfterColon(const QString& value, Qt::Alignment alignment, unsigned rgb, SummaryFont font)
{
    StyledText styled { value, std::nullopt, {} };
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return styled;
    const int start = static_cast<int>(colon);
    const int length = static_cast<int>(value.size());
    styled.alignment = alignment;
    styled.runs.push_back({ start + 1, length - start - 1, rgb, std::nullopt });
    styled.runs.push_back({ start, length - start, std::nullopt, font });
    return styled;
}

quint64 saturatingAdd(quint64 a, quint64 b)
{
    return b > std::numeric_limits<quint64>::max() - a ? std::numeric_limits<quint64>::max() : a + b;
}

// Only a count of one takes the singular: none reads "0 duplicates in 0 groups".
const char* groupsLineKey(qint64 duplicates, qint64 groups)
{
    if (duplicates == 1)
        return groups == 1 ? "ID_DUPLICATE_IN_GROUP" : "ID_DUPLICATE_IN_GROUPS";
    return groups == 1 ? "ID_DUPLICATES_IN_GROUP" : "ID_DUPLICATES_IN_GROUPS";
}

} // namespace

StyledText makeHeaderCountText(const QString& text, Qt::Alignment alignment)
{
    const SummaryFont font = currentLanguageCode == QLatin1String("ru")
        ? SummaryFont { 12, SummaryFont::Weight::medium }
        : SummaryFont { 14, SummaryFont::Weight::bold };
    return styleValueAfterColon(text, alignment, headerValueRgb, font);
}

StyledText makePhotosFoundText(const QString& text, Qt::Alignment alignment)
{
    const bool longerTexts = languageIsOneOf({ "es", "nl", "pt", "sv", "ja", "fi", "ru" });
    return styleValueAfterColon(
        text, alignment, photosFoundValueRgb, SummaryFont { longerTexts ? 15 : 24, SummaryFont::Weight::bold });
}

DuplicatesSummary summarizeDuplicates(const std::vector<DuplicateGroupPtr>& groups, ScanSource source)
{
    DuplicatesSummary summary;
    for (const DuplicateGroupPtr& group : groups) {
        if (!group)
            continue;
        ++summary.groups;
        const auto files = static_cast<qint64>(group->children.size());
        summary.duplicates += std::max<qint64>(files - 1, 0);
        for (std::size_t i = 1; i < group->children.size(); ++i) {
            if (const FileInfoNodePtr& file = group->children[i])
                summary.spaceToBeSaved = saturatingAdd(summary.spaceToBeSaved, file->fileSize);
        }
    }

    const QString sizeText = getSizeInUnits(static_cast<double>(summary.spaceToBeSaved));
    summary.lblDupsInGroups = formatText(
        localizedText(groupsLineKey(summary.duplicates, summary.groups)), { summary.duplicates, summary.groups });
    const QString foundText = formatText(localizedText("ID_DUPLICATE_FILES_FOUND_COUNT"), { summary.duplicates });
    summary.lblDuplicateFound = makeHeaderCountText(foundText, Qt::AlignLeft);
    const bool staysOnDisk = removalKeepsFiles(source);
    summary.lblSpaceToBeSaved = makeHeaderCountText(
        formatText(
            localizedText(staysOnDisk ? "ID_SPACE_STAYS_ON_DISK_COUNT" : "ID_SPACE_TO_BE_SAVED_COUNT"), { sizeText }),
        Qt::AlignLeft);
    summary.lblSpaceSavedChart = localizedText(staysOnDisk ? "ID_SPACE_STAYS_ON_DISK" : "ID_SPACE_TO_BE_SAVED");

    summary.lblSpaceSavedOnPie.text = sizeText;
    if (const qsizetype space = sizeText.indexOf(QLatin1Char(' ')); space >= 0) {
        summary.lblSpaceSavedOnPie.alignment = Qt::AlignHCenter;
        summary.lblSpaceSavedOnPie.runs.push_back({ static_cast<int>(space), static_cast<int>(sizeText.size() - space),
            std::nullopt, SummaryFont { 14, SummaryFont::Weight::bold } });
    }

    summary.lblDuplicatePhotosFound = makePhotosFoundText(foundText, Qt::AlignLeft);
    summary.lblAutoMarkInstructionDesc
        = formatText(localizedText(summary.duplicates == 1 ? "ID_FOUND_DUPLICATE_OCCUPING_SPACE"
                                                           : "ID_FOUND_DUPLICATES_OCCUPING_SPACE")
                + localizedText("ID_RECOMMENDED_TO_DELETE_UNWANTED_PHOTOS_IMMEDIATELY"),
            { summary.duplicates, sizeText });
    return summary;
}

std::optional<FooterLayout> layoutFooterLabels(qreal dupsInGroupsFittingWidth, qreal numMarkedFilesWidth)
{
    if (currentLanguageCode == QLatin1String("en"))
        return std::nullopt;
    FooterLayout layout;
    layout.dupsInGroupsWidth = dupsInGroupsFittingWidth + 8;
    layout.sepBtm1X = layout.dupsInGroupsWidth + 6;
    layout.numMarkedFilesX = layout.dupsInGroupsWidth + 16;
    layout.sepBtm2X = layout.numMarkedFilesX + numMarkedFilesWidth + 6;
    layout.imgFolderPathX = layout.sepBtm2X + 16;
    layout.selectedFilePathX = layout.imgFolderPathX + 30;
    // A long groups line must not give the path label a negative width.
    layout.selectedFilePathWidth = std::max<qreal>(1082 - layout.selectedFilePathX - 20, 0);
    return layout;
}
