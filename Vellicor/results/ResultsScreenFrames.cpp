#include "results/ResultsScreenFrames.h"

#include "controls/ApplicationFont.h"
#include "controls/IMGButton.h"
#include "controls/WindowHelpers.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "results/CategoryBar.h"
#include "results/ResultsLayout.h"

#include <QAbstractButton>

namespace {

QString name(const char* objectName)
{
    return QString::fromLatin1(objectName);
}

} // namespace

void ResultsScreenFrames::layOut(QWidget& screen, QSize content)
{
    laidOutSize_ = content;
    const double w = content.width();
    const double h = content.height();
    frames_ = FrameTable {
        { name("viewListing"), { 0, 0, w, h } },
        { name("viewNoDuplicateFound"), { 0, 0, w, h } },
        { name("viewSucccess"), { 0, 0, w, h } },
        { name("boxHeader"), { 0, h - 64, w, 64 } },
        { name("btnBack"), { 20, 16, 90, 32 } },
        { name("lblDuplicateFound"), { 130, 20, 300, 24 } },
        { name("lblDupsInGroups"), { 430, 20, 210, 24 } },
        { name("lblSpaceToBeSaved"), { 640, 20, 290, 24 } },
        { name("verticalLine"), { 940, 20, 1, 24 } },
        { name("btnDeleteLink"), { 950, 18, 112, 28 } },
        { name("boxHeaderDetail"), { 0, h - 112, w, 48 } },
        { name("btnListView"), { 16, 8, 40, 32 } },
        { name("btnHierarcheryView"), { 58, 8, 40, 32 } },
        { name("btnThumbnailView"), { 100, 8, 40, 32 } },
        // Marking, the assistant and its options, the view-mode pop-up and
        // the settings, each group after a separator; then Undo.
        { name("btnAutoMark"), { 150, 8, 92, 32 } },
        { name("boxAutoMarkSeprator"), { 247, 12, 1, 24 } },
        { name("btnUnmarkAll"), { 253, 8, 92, 32 } },
        { name("boxUnmarkSeprator"), { 350, 12, 1, 24 } },
        { name("btnSelectionAssitance"), { 356, 8, 134, 32 } },
        { name("btnOptions"), { 494, 8, 34, 32 } },
        { name("boxAssistanceSeprator"), { 533, 12, 1, 24 } },
        { name("btnGroupView"), { 539, 8, 140, 32 } },
        { name("boxGroupViewSeparator"), { 684, 12, 1, 24 } },
        { name("btnSettingsInResultView"), { 690, 8, 74, 32 } },
        { name("boxSettingsSeparator"), { 769, 12, 1, 24 } },
        { name("boxUndo"), { 775, 8, 80, 32 } },
        { name("btnUndo"), { 0, 0, 80, 32 } },
        { name("boxUndoSeparator"), { 860, 12, 1, 24 } },
        { name("hudAfterYesUndoPressed"), { 868, 20, 60, 8 } },
        { name("btnFullScreen"), { w - 56, 8, 40, 32 } },
        { name("boxCategories"), { 0, h - 160, w, 48 } },
        { name("viewSplit"), { 0, 64, w, h - 224 } },
        { name("boxFooter"), { 0, 0, w, 64 } },
        { name("lblNumMarkedFiles"), { 20, 20, 560, 24 } },
        { name("btnBackToFooter"), { w - 330, 14, 130, 36 } },
        { name("btnTrash"), { w - 190, 14, 170, 36 } },
    };
    for (int i = 0; i < 7; ++i)
        frames_[name(resultsCategoryRowOrder[i])] = { 3 + i * 128.0, 8, 120, 34 };
    frames_[name("btnSort")] = { w - 176, 8, 160, 32 };
    if (isSmallScreenLayout)
        useSmallScreenBaseFrames();
    adaptToSmallScreen(screen);
    adjustForLanguage(screen);
    frames_.apply(&screen);
}

void ResultsScreenFrames::resized(QWidget& screen)
{
    // The frames are for the window's content size, the one the screen was
    // laid out in; every other size moves and sizes the controls from there.
    frames_.apply(&screen, resultsResizing(), QSizeF(laidOutSize_));
}

void ResultsScreenFrames::useSmallScreenBaseFrames()
{
    const double w = frames_[name("viewListing")].width;
    // The toolbar keeps its frames. Narrower category buttons, a narrower sort
    // button, and the summary labels as the small-screen rules expect them
    // before they widen and move them; the delete link keeps to the right end.
    const struct {
        const char* name;
        LayoutFrame frame;
    } frames[] = {
        { "lblDuplicateFound", { 130, 20, 180, 24 } },
        { "lblDupsInGroups", { 410, 20, 110, 24 } },
        { "lblSpaceToBeSaved", { w - 410, 20, 170, 24 } },
        { "verticalLine", { w - 130, 20, 1, 24 } },
        { "btnDeleteLink", { w - 120, 18, 110, 28 } },
        { "lblNumMarkedFiles", { 20, 20, 430, 24 } },
        { "btnSort", { w - 70, 8, 40, 32 } },
    };
    for (const auto& [control, frame] : frames)
        frames_[name(control)] = frame;
    for (int i = 0; i < 7; ++i)
        frames_[name(resultsCategoryRowOrder[i])] = { 3 + i * 108.0, 8, 100, 34 };
}

void ResultsScreenFrames::adaptToSmallScreen(QWidget& screen)
{
    if (!isSmallScreenLayout)
        return;
    // The sort button keeps its arrow and its tool tip.
    if (auto* sort = screen.findChild<QAbstractButton*>(name("btnSort")))
        sort->setText(QString());
    applyResultsSmallScreenRules(frames_);
}

void ResultsScreenFrames::adjustForLanguage(QWidget& screen)
{
    ResultsTitleWidths widths;
    for (const char* control : resultsCategoryRowOrder)
        widths.insert(name(control), textWidthOfButtonTitle(screen.findChild<QAbstractButton*>(name(control))));
    for (const char* control : resultsMeasuredToolbar) {
        if (auto* button = screen.findChild<QAbstractButton*>(name(control))) {
            // Measured in the strip's smaller font, the one the titles end up with.
            const QFont font = button->font();
            button->setFont(systemFontOfSize(11));
            widths.insert(name(control), textWidthOfButtonTitle(button));
            button->setFont(font);
        }
    }
    if (currentLanguageCode == QLatin1String("nl")) {
        if (auto* sort = screen.findChild<QAbstractButton*>(name("btnSort")))
            sort->setText(QString());
    }
    for (const FontEdit& edit : applyResultsLayoutRules(frames_, widths, currentLanguageCode)) {
        if (auto* widget = screen.findChild<QWidget*>(edit.name))
            widget->setFont(edit.font);
    }
    CategoryBar::placeArrows(frames_);
    adjustSheetsForLanguage(screen);
}

void ResultsScreenFrames::adjustSheetsForLanguage(QWidget& screen)
{
    // The sheets' frames as built are their English layout; the language's
    // edits give the frames they start from each time they are shown. The
    // pass's font edits for them were applied with the screen's.
    if (!sheetBaseFrames_) {
        sheetBaseFrames_.emplace();
        for (const char* control : resultsSheetControls) {
            QWidget* widget = screen.findChild<QWidget*>(name(control));
            if (!widget || !widget->parentWidget())
                continue;
            const QRect r = widget->geometry();
            (*sheetBaseFrames_)[name(control)] = { double(r.x()),
                double(widget->parentWidget()->height() - r.y() - r.height()), double(r.width()), double(r.height()) };
        }
    }
    FrameTable sheetFrames = *sheetBaseFrames_;
    applyResultsLayoutRules(sheetFrames, {}, currentLanguageCode);
    sheetFrames.apply(&screen);
    for (const ImageButtonEdit& edit : resultsImageButtonEdits(currentLanguageCode)) {
        if (auto* button = screen.findChild<IMGButton*>(edit.name)) {
            button->setMarginTop(edit.marginTop);
            button->setMarginBottom(edit.marginBottom);
            button->setFontSizeForButton(edit.fontSize);
        }
    }
}
