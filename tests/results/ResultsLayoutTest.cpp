#include "results/ResultsLayout.h"

#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "core/Localization.h"
#include "marking/ProtectedFolderStore.h"
#include "platform/FileRemover.h"
#include "results/ResultViewController.h"
#include "support/TempHome.h"

#include <QAbstractButton>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

const char* const controls[] = { "btnAutoMark", "boxAutoMarkSeprator", "btnUnmarkAll", "boxUnmarkSeprator",
    "btnSelectionAssitance", "btnOptions", "boxAssistanceSeprator", "btnGroupView", "boxGroupViewSeparator",
    "btnSettingsInResultView", "boxSettingsSeparator", "btnSort", "btnReview", "lblInCaseMistake", "btnTrash",
    "btnDeleteLink", "btnOpenPhotosLibInstruction", "lblSelectedFileDeleted", "btnDontShowThisAgain", "lblActionToUndo",
    "btnTrashOnReview", "btnOkAuth", "btnBackToTrash", "lblMetaSummary", "lblChartSummary", "lblInstructionThird",
    "lblInstructionFourth", "lblCountForInstructionFourth" };

FrameTable baseFrames()
{
    FrameTable frames;
    for (const char* name : controls)
        frames[QString::fromLatin1(name)] = { 100, 100, 100, 20 };
    for (const char* name : resultsCategoryRowOrder)
        frames[QString::fromLatin1(name)] = { 100, 100, 100, 20 };
    return frames;
}

ResultsTitleWidths titleWidths()
{
    ResultsTitleWidths widths { { "btnAutoMark", 80 }, { "btnUnmarkAll", 70 }, { "btnSelectionAssitance", 90 } };
    for (const char* name : resultsCategoryRowOrder)
        widths.insert(QString::fromLatin1(name), 50);
    return widths;
}

LayoutFrame at(const FrameTable& frames, const char* name)
{
    return *frames.find(QString::fromLatin1(name));
}

QStringList fontNames(const std::vector<FontEdit>& edits)
{
    QStringList names;
    for (const FontEdit& edit : edits)
        names << edit.name;
    return names;
}

} // namespace

TEST(ResultsLayoutRules, EnglishKeepsTheLayoutButOldSystemsMoveTheBackLink)
{
    FrameTable frames = baseFrames();
    EXPECT_TRUE(applyResultsLayoutRules(frames, titleWidths(), QStringLiteral("en")).empty());
    for (const char* name : controls)
        EXPECT_EQ(at(frames, name), (LayoutFrame { 100, 100, 100, 20 })) << name;

    applyResultsLayoutRules(frames, titleWidths(), QStringLiteral("en"), { true, false });
    EXPECT_EQ(at(frames, "btnBackToTrash"), (LayoutFrame { 370, 100, 100, 20 }));
    EXPECT_EQ(at(frames, "btnSort"), (LayoutFrame { 100, 100, 100, 20 }));
}

TEST(ResultsLayoutRules, UnnamedLanguageGetsOnlyTheGeneralSteps)
{
    FrameTable frames = baseFrames();
    FrameTable missing; // a rule for a control the screen lacks is skipped, not added
    EXPECT_TRUE(applyResultsLayoutRules(frames, titleWidths(), QStringLiteral("xx")).empty());
    applyResultsLayoutRules(missing, {}, QStringLiteral("de"));
    EXPECT_FALSE(missing.contains(QStringLiteral("btnSort")));

    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(at(frames, resultsCategoryRowOrder[i]), (LayoutFrame { 3.0 + i * 50, 100, 50, 20 }));
    EXPECT_EQ(at(frames, "lblMetaSummary").width, 180);
    EXPECT_EQ(at(frames, "lblInstructionFourth").y, 72);
    EXPECT_EQ(at(frames, "lblCountForInstructionFourth").y, 95);
    for (const char* name : { "btnAutoMark", "btnSort", "btnGroupView", "btnDeleteLink", "btnReview" })
        EXPECT_EQ(at(frames, name), (LayoutFrame { 100, 100, 100, 20 })) << name;
}

TEST(ResultsLayoutRules, GermanToolbarCategoryRowAndFonts)
{
    FrameTable frames = baseFrames();
    const auto fonts = applyResultsLayoutRules(frames, titleWidths(), QStringLiteral("de"));
    const std::pair<const char*, LayoutFrame> expected[] = {
        { "btnAutoMark", { 100, 100, 80, 20 } },
        { "boxAutoMarkSeprator", { 182, 100, 100, 20 } },
        { "btnUnmarkAll", { 184, 100, 70, 20 } },
        { "btnSelectionAssitance", { 358, 100, 102, 20 } },
        { "boxAssistanceSeprator", { 564, 100, 100, 20 } },
        { "btnGroupView", { 574, 100, 110, 20 } },
        { "boxGroupViewSeparator", { 689, 100, 100, 20 } },
        { "btnSettingsInResultView", { 794, 100, 100, 20 } },
        { "boxSettingsSeparator", { 769, 100, 100, 20 } },
        { "btnSort", { 50, 100, 150, 20 } },
        { "btnDontShowThisAgain", { 3, 100, 243, 20 } },
        { "lblActionToUndo", { 100, 110, 100, 35 } },
        { "btnOkAuth", { 268, 100, 100, 20 } },
        { "btnOtherItems", { 333, 100, 50, 20 } },
    };
    for (const auto& [name, frame] : expected)
        EXPECT_EQ(at(frames, name), frame) << name;
    EXPECT_EQ(fontNames(fonts),
        QStringList({ "btnAutoMark", "btnUnmarkAll", "btnSelectionAssitance", "btnSettingsInResultView", "btnGroupView",
            "btnDeleteLink", "lblDuplicatePhotosFound", "lblDupCleanedLibrary" }));
    EXPECT_EQ(fonts[6].font, systemFontOfSize(20, QFont::Bold));
    EXPECT_TRUE(fonts[6].font.bold());
}

// One telling frame per language: each language's rows apply, once, and no other language's.
TEST(ResultsLayoutRules, EachLanguageAppliesItsRowsOnce)
{
    const struct {
        const char* language;
        const char* control;
        LayoutFrame frame;
    } cases[] = {
        { "da", "btnReview", { 95, 100, 110, 20 } },
        { "fr", "btnDeleteLink", { -10, 100, 230, 20 } },
        { "it", "btnSort", { 45, 100, 155, 20 } },
        { "sv", "lblInCaseMistake", { 100, 105, 100, 32 } },
        { "ru", "btnDontShowThisAgain", { 70, 54, 243, 20 } },
        { "es", "btnDeleteLink", { 55, 100, 150, 20 } },
        { "nb", "btnUnmarkAll", { 100, 100, 145, 20 } },
        { "ja", "btnUnmarkAll", { 120, 100, 130, 20 } },
        { "fi", "lblSelectedFileDeleted", { 100, 85, 100, 42 } },
        { "nl", "btnReview", { 80, 100, 120, 20 } },
        { "nl", "btnSort", { 100, 100, 100, 20 } },
        { "pt", "btnDeleteLink", { 80, 100, 140, 20 } },
        { "de", "btnTrashOnReview", { 100, 100, 109, 20 } },
    };
    for (const auto& c : cases) {
        FrameTable frames = baseFrames();
        applyResultsLayoutRules(frames, titleWidths(), QString::fromLatin1(c.language));
        EXPECT_EQ(at(frames, c.control), c.frame) << c.language << " " << c.control;
    }
}

TEST(ResultsTexts, EmptyLanguageTableLeavesEveryTextEmpty)
{
    TempHome home;
    LocalizationDetail::resetLocalizationTable();
    LocalizationDetail::loadLocalizationTableFrom({ QStringLiteral("xx") }, home.path());
    {
        UserDefaults defaults(home.path() + QStringLiteral("/settings"));
        ResultViewController screen(
            defaults, std::make_shared<ProtectedFolderStore>(defaults), std::make_shared<FaultyFileRemover>());
        screen.setAttribute(Qt::WA_DontShowOnScreen);
        screen.viewDidLoad();
        screen.show();
        // The screen's own controls; the sheets and the assistant are windows of their own.
        for (const QAbstractButton* button : screen.findChildren<QAbstractButton*>()) {
            if (button->window() != &screen)
                continue;
            EXPECT_TRUE(button->text().isEmpty()) << button->objectName().toStdString();
            EXPECT_TRUE(button->toolTip().isEmpty()) << button->objectName().toStdString();
        }
        for (const QLabel* label : screen.findChildren<QLabel*>())
            EXPECT_TRUE(label->window() != &screen || label->text().isEmpty()) << label->objectName().toStdString();
    }
    LocalizationDetail::resetLocalizationTable();
}

TEST(ResultsFit, EveryControlStaysInAWindowOfAnySizeAndTheFooterAtItsBottom)
{
    TempHome home;
    UserDefaults defaults(home.path() + QStringLiteral("/settings"));
    ResultViewController screen(
        defaults, std::make_shared<ProtectedFolderStore>(defaults), std::make_shared<FaultyFileRemover>());
    screen.setAttribute(Qt::WA_DontShowOnScreen);
    screen.viewDidLoad();
    screen.show();
    for (const QSize size : { QSize(960, 600), mainWindowContentSize, QSize(1600, 1000) }) {
        screen.resize(size);
        const auto inside = [&](const char* name) {
            const auto* widget = screen.findChild<QWidget*>(QString::fromLatin1(name));
            return widget && screen.rect().contains(QRect(widget->mapTo(&screen, QPoint()), widget->size()));
        };
        for (const char* name : { "btnBack", "lblSpaceToBeSaved", "btnSettingsInResultView", "btnFullScreen", "btnSort",
                 "btnOtherItems", "btnBackToFooter", "btnTrash" })
            EXPECT_TRUE(inside(name)) << name << " at " << size.width() << " x " << size.height();
        const auto* trash = screen.findChild<QWidget*>(QStringLiteral("btnTrash"));
        EXPECT_GE(trash->mapTo(&screen, QPoint(0, trash->height())).y(), size.height() - 30) << size.width();
        EXPECT_GE(trash->mapTo(&screen, QPoint(trash->width(), 0)).x(), size.width() - 40) << size.width();
    }
}
