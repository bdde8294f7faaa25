#include "results/ResultViewTexts.h"

#include "core/Localization.h"

#include <QAbstractButton>
#include <QLabel>

namespace {

const ControlText texts[] = {
    { "btnListView", "ID_VIEW_AS_TABLE", TextSlot::toolTip },
    { "btnHierarcheryView", "ID_VIEW_AS_GROUP", TextSlot::toolTip },
    { "btnThumbnailView", "ID_VIEW_AS_THUMBNAIL", TextSlot::toolTip },
    { "btnFullScreen", "ID_TURN_PREVIEW_ON_OFF", TextSlot::toolTip },
    { "btnAutoMark", "ID_AUTOMARK", TextSlot::toolTip },
    { "btnUnmarkAll", "ID_UNMARK_ALL", TextSlot::toolTip },
    { "btnOptions", "ID_OPTIONS", TextSlot::toolTip },
    { "btnSelectionAssitance", "ID_SELECTION_ASSISTANT", TextSlot::toolTip },
    { "btnGroupView", "ID_GROUP_VIEW" },
    { "btnSettingsInResultView", "ID_SETTINGS" },
    { "btnUndo", "ID_UNDO" },
    { "btnBack", "ID_BACK" },
    { "btnBackToFooter", "ID_BACK" },
    { "lblNoDupsFound", "ID_NO_DUPLICATES_FOUND" },
    { "lblNoDuplicateFoundListView", "ID_NO_DUPLICATES_FOUND" },
    { "lblNoDuplicateFoundOutlineview", "ID_NO_DUPLICATES_FOUND" },
    { "lblNoDuplicateFoundCollectionview", "ID_NO_DUPLICATES_FOUND" },
    { "lblNoDupsFoundHint", "ID_HINT_TRY_SCANNING_ANOTHER_PATH" },
    { "lblCongratulations", "ID_CONGRATULATIONS" },
    { "lblAllDupsDeleted", "ID_ALL_DUPLICATES_DELETED" },
    { "lblAllDupsDeletedHint", "ID_HINT_TRY_SCANNING_ANOTHER_PATH" },
    { "lblSelectedFileHeading", "ID_FOLDERPATH" },
    { "lblChartSummary", "ID_SUMMARY" },
    { "lblMetaSummary", "ID_SUMMARY" },
    { "lblSpaceSavedChart", "ID_SPACE_TO_BE_SAVED" },
    { "btnTrash", "ID_DELETE_MARKED" },
    { "btnAutoMark", "ID_AUTO_MARK_WITH_DASHED" },
    { "btnUnmarkAll", "ID_UNMARK_ALL_WITH_DASHED" },
    { "btnSelectionAssitance", "ID_SELECTION_ASSISTANT" },
    { "btnSort", "ID_SORT_BY_SIZE" },
    { "btnAllItems", "ID_ALL_FILES" },
    { "btnImagesItems", "ID_IMAGES" },
    { "btnVideoItems", "ID_VIDEOS" },
    { "btnArchiveItems", "ID_ARCHIVES" },
    { "btnDocumentItems", "ID_DOCUMENTS" },
    { "btnMusicItems", "ID_MUSIC" },
    { "btnOtherItems", "ID_OTHERS" },
};

} // namespace

std::span<const ControlText> resultViewTexts()
{
    return texts;
}

void applyControlTexts(QWidget& root, std::span<const ControlText> rows)
{
    for (const ControlText& row : rows) {
        QWidget* control = root.findChild<QWidget*>(QString::fromLatin1(row.control));
        if (!control)
            continue;
        const QString text = localizedText(row.key);
        if (row.slot == TextSlot::toolTip)
            control->setToolTip(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setText(text);
        else if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(text);
    }
}
