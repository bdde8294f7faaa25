// The results screen's looks, given once while its view loads, and its
// small-screen pass over the base frames.

#include "controls/ButtonStyles.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/RAZButton.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "results/ResultViewController.h"
#include "results/ResultsLayout.h"

namespace {

// Six states from one image family: on, on-pressed, on-disabled from the first
// set, off, off-pressed, off-disabled from the second.
void setImageFamilies(IMGButton* button, const char* on, const char* off)
{
    const auto part
        = [](const char* family, const char* piece) { return QString::fromLatin1(family).arg(QLatin1String(piece)); };
    const QString onStart = part(on, "left"), onMiddle = part(on, "mid"), onEnd = part(on, "right");
    const QString offStart = part(off, "left"), offMiddle = part(off, "mid"), offEnd = part(off, "right");
    button->setButtonImages(onStart, onMiddle, onEnd, onStart, onMiddle, onEnd, onStart, onMiddle, onEnd, offStart,
        offMiddle, offEnd, offStart, offMiddle, offEnd, offStart, offMiddle, offEnd);
}

void setImageSet(IMGButton* button, const QString& start, const QString& middle, const QString& end)
{
    button->setButtonsImages(start, middle, end, start, middle, end, start, middle, end);
}

} // namespace

void ResultViewController::styleResultViewControls()
{
    // Looked up by name: the toolbar holds only some of these buttons in
    // some builds of the screen, and a missing one is simply not styled.
    for (const char* name : { "btnAutoMark", "btnUnmarkAll", "btnSelectionAssitance", "btnUndo", "btnOptions",
             "btnGroupView", "btnSettingsInResultView" }) {
        if (auto* button = findChild<RAZButton*>(QString::fromLatin1(name))) {
            applyResultToolbarButtonStyle(button);
            button->update();
        }
    }

    // Remove shows blue while files are marked and grey otherwise.
    setImageFamilies(btnTrash_, "blue_%1_btn", "grey_%1_btn");
    btnTrash_->setColorOnState(Qt::white);
    const QColor dimmed(204, 204, 204);
    btnTrash_->setColorOffStateDis(dimmed);
    btnTrash_->setColorOnStateDis(dimmed);
    btnTrash_->setMakeBoldFont(true);
    btnTrash_->setFontSizeForButton(18);
    btnTrash_->setMarginBottom(7);

    setImageSet(btnBackToFooter_, QStringLiteral("back_btn_left"), QStringLiteral("back_btn_mid"),
        QStringLiteral("back_btn_right"));
    btnBackToFooter_->setMarginLeft(10);
    btnBackToFooter_->setMarginTop(8);
    btnBackToFooter_->setMarginBottom(8);

    // The header's Back points left; its title clears the point.
    setImageSet(btnBack_, QStringLiteral("back_button_left"), QStringLiteral("back_button_center"),
        QStringLiteral("back_button_right"));
    for (const auto setColor : { &IMGButton::setColorOnState, &IMGButton::setColorOffState,
             &IMGButton::setColorOnStateDis, &IMGButton::setColorOffStateDis })
        (btnBack_->*setColor)(Qt::black);
    btnBack_->setMarginLeft(13);

    btnDeleteLink_->setTitle(localizedText("ID_DELETE_MARKED"), 14, true, QColor(23, 75, 238));
}

void ResultViewController::useSmallScreenBaseFrames()
{
    const double w = frames_[QStringLiteral("viewListing")].width;
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
    for (const auto& [name, frame] : frames)
        frames_[QString::fromLatin1(name)] = frame;
    for (int i = 0; i < 7; ++i)
        frames_[QString::fromLatin1(resultsCategoryRowOrder[i])] = { 3 + i * 108.0, 8, 100, 34 };
}

void ResultViewController::adaptResultViewToSmallScreen()
{
    if (!isSmallScreenLayout)
        return;
    // The sort button keeps its arrow and its tool tip.
    btnSort_->setText(QString());
    applyResultsSmallScreenRules(frames_);
}
