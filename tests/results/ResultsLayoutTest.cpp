#include "results/ResultsLayout.h"

#include "base/UserDefaults.h"
#include "cleanup/SheetParts.h"
#include "cleanup/TrashSheets.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "platform/FileRemover.h"
#include "results/ResultViewController.h"
#include "scan/ScanSources.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>

#include <gtest/gtest.h>

#include <map>

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

// Both window sizes, in English and in a language whose pass repacks the
// bars, and a window grown past its size: every button, label and separator
// of the header, toolbar, category row and footer lies inside its bar and
// over no other, and the bars span the window. A small-screen pass run
// twice, or after the language's, would push the summary past the window's
// edge.
TEST(ResultsScreenLayout, BarsFitBothWindowSizesAndALargerWindow)
{
    TempHome home;
    UserDefaults defaults(home.path() + QStringLiteral("/settings"));
    startApplicationCore(defaults);
    const QString language = currentLanguageCode;
    const auto checkBars = [](const QWidget& screen, const std::string& where) {
        for (const char* bar : { "boxHeader", "boxHeaderDetail", "boxCategories", "boxFooter" }) {
            const QWidget* box = screen.findChild<QWidget*>(QString::fromLatin1(bar));
            ASSERT_TRUE(box) << bar;
            EXPECT_EQ(box->width(), screen.width()) << where << " " << bar;
            std::vector<const QWidget*> controls;
            // Buttons, labels, separators and the boxes that hold buttons.
            for (const QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (!child->isHidden())
                    controls.push_back(child);
            }
            for (size_t i = 0; i < controls.size(); ++i) {
                const QString name = controls[i]->objectName();
                EXPECT_TRUE(box->rect().contains(controls[i]->geometry())) << where << " " << name.toStdString();
                for (size_t j = i + 1; j < controls.size(); ++j) {
                    EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                        << where << " " << name.toStdString() << " over " << controls[j]->objectName().toStdString();
                }
            }
        }
        EXPECT_EQ(screen.findChild<QWidget*>(QStringLiteral("boxHeader"))->y(), 0) << where;
        EXPECT_EQ(screen.findChild<QWidget*>(QStringLiteral("boxFooter"))->geometry().bottom(), screen.height() - 1)
            << where;
    };
    for (const bool small : { false, true }) {
        for (const char* code : { "en", "de" }) {
            isSmallScreenLayout = small;
            currentLanguageCode = QString::fromLatin1(code);
            ResultViewController screen(
                defaults, std::make_shared<ScanSources>(defaults), std::make_shared<FaultyFileRemover>());
            screen.setAttribute(Qt::WA_DontShowOnScreen);
            screen.viewDidLoad();
            screen.viewDidLoad();
            screen.show();
            const std::string where = std::string(code) + (small ? " small" : " large");
            EXPECT_EQ(screen.size(), small ? smallWindowContentSize : mainWindowContentSize) << where;
            const auto* sort = screen.findChild<QAbstractButton*>(QStringLiteral("btnSort"));
            EXPECT_EQ(sort->text().isEmpty(), small) << where;
            EXPECT_FALSE(sort->toolTip().isEmpty()) << where;
            checkBars(screen, where);
            if (QLatin1String(code) == QLatin1String("de")) {
                // The strip's chain reaches every control it names on the screen itself.
                const FrameTable& frames = screen.frames();
                const LayoutFrame assistant = at(frames, "btnSelectionAssitance");
                EXPECT_EQ(at(frames, "btnUnmarkAll").x, at(frames, "boxAutoMarkSeprator").x + 2) << where;
                EXPECT_EQ(at(frames, "btnOptions").x, assistant.x + assistant.width + 2) << where;
                EXPECT_EQ(at(frames, "btnGroupView").x, at(frames, "boxAssistanceSeprator").x + 10) << where;
                EXPECT_EQ(at(frames, "boxSettingsSeparator").x, 769) << where;
            }
            screen.resize(screen.size() + QSize(300, 200));
            checkBars(screen, where + " grown");
        }
    }
    isSmallScreenLayout = false;
    currentLanguageCode = language;
}

namespace {

// A results screen laid out in a language, the settings in a temporary home;
// the language and layout are put back at the end.
struct LanguageLayout : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.path() + QStringLiteral("/settings") };
    const QString language = currentLanguageCode;

    LanguageLayout() { startApplicationCore(defaults); }
    ~LanguageLayout() override
    {
        currentLanguageCode = language;
        isSmallScreenLayout = false;
    }
    std::unique_ptr<ResultViewController> screenIn(const char* code, int loads = 1)
    {
        currentLanguageCode = QString::fromLatin1(code);
        auto screen = std::make_unique<ResultViewController>(
            defaults, std::make_shared<ScanSources>(defaults), std::make_shared<FaultyFileRemover>());
        screen->setAttribute(Qt::WA_DontShowOnScreen);
        for (int load = 0; load < loads; ++load)
            screen->viewDidLoad();
        return screen;
    }
};

} // namespace

// The language's frames for the sheets are taken once however often the
// screen is laid out, and keep the undo sheet's two lines apart.
TEST_F(LanguageLayout, TheSheetsTakeTheLanguagesFramesOnce)
{
    const auto layOut = [this](const char* code, int loads) {
        const auto screen = screenIn(code, loads);
        std::map<std::string, QRect> frames;
        for (const char* control : resultsSheetControls) {
            const QWidget* widget = screen->findChild<QWidget*>(QString::fromLatin1(control));
            EXPECT_TRUE(widget) << code << " " << control;
            frames[control] = widget ? widget->geometry() : QRect();
        }
        return frames;
    };
    const auto english = layOut("en", 1);
    const auto german = layOut("de", 1);
    EXPECT_EQ(layOut("de", 2), german);

    for (const char* moved : { "btnReview", "btnContinueAutomark", "lblInCaseMistake", "btnDontShowThisAgain" })
        EXPECT_NE(german.at(moved), english.at(moved)) << moved;
    EXPECT_FALSE(german.at("lblActionToUndo").intersects(german.at("lblDoYouWantToProceed")));
    EXPECT_GE(german.at("lblActionToUndo").top(), sheetHeaderHeight);
}

TEST_F(LanguageLayout, ShowingASheetKeepsTheLanguagesFrames)
{
    const auto screen = screenIn("de");
    currentLanguageCode = language;
    TrashSheets& sheets = screen->trashSheets();
    const QRect laidOut = sheets.btnTrashOnReview->geometry();
    const QRect box = sheets.btnDontShowThisAgain->geometry();

    // Without the network note the controls below it rise by its room, and
    // come back with it; the language's widths and places stay.
    for (const bool note : { false, true, false, true }) {
        sheets.showTrashConfirmation(trashQuestion(ScanSource::thisComputer, 2, 0, note), {});
        EXPECT_EQ(sheets.btnTrashOnReview->geometry(), laidOut.translated(0, note ? 0 : -46)) << note;
        EXPECT_EQ(sheets.btnDontShowThisAgain->geometry(), box) << note; // inside its strip
        sheets.windowTrashConfirmation()->hide();
    }

    // A longer question (the photo catalog's, with marks the category hides)
    // shows whole, the controls below it moved down and its button wider; the
    // plain one finds the language's frames again.
    QLabel* info = sheets.lblAreYouSureToDeleteInfo;
    const QRect infoFrame = info->geometry();
    for (const bool note : { false, true }) {
        SCOPED_TRACE(note);
        sheets.showTrashConfirmation(trashQuestion(ScanSource::lightroomCatalog, 2, 3, note), {});
        EXPECT_GE(info->height(), info->heightForWidth(info->width()));
        EXPECT_GT(info->height(), infoFrame.height());
        QWidget* window = sheets.windowTrashConfirmation();
        for (QWidget* below : { static_cast<QWidget*>(sheets.btnDontShowThisAgain),
                 static_cast<QWidget*>(sheets.btnTrashOnReview), static_cast<QWidget*>(sheets.btnReview) }) {
            const QRect frame(below->mapTo(window, QPoint()), below->size());
            EXPECT_GE(frame.top(), info->geometry().bottom()) << below->objectName().toStdString();
            EXPECT_LE(frame.bottom(), window->height()) << below->objectName().toStdString();
        }
        if (note) {
            EXPECT_FALSE(sheets.lblNetworkDriveContent->geometry().intersects(info->geometry()));
        }
        EXPECT_GE(sheets.btnTrashOnReview->width(), sheets.btnTrashOnReview->sizeHint().width());
        EXPECT_EQ(sheets.btnTrashOnReview->geometry().right(), laidOut.right());
        EXPECT_FALSE(sheets.btnReview->geometry().intersects(sheets.btnTrashOnReview->geometry()));
        sheets.windowTrashConfirmation()->hide();
    }
    sheets.showTrashConfirmation(trashQuestion(ScanSource::thisComputer, 2, 0, true), {});
    EXPECT_EQ(info->geometry(), infoFrame);
    EXPECT_EQ(sheets.btnTrashOnReview->geometry(), laidOut);
    EXPECT_EQ(sheets.btnDontShowThisAgain->geometry(), box);
    sheets.windowTrashConfirmation()->hide();
}

// With four-digit counts the header's groups line shows whole on the small
// layout, beside the found count and the space figure, not over them.
TEST_F(LanguageLayout, TheGroupsLineFitsWithLargeCountsOnTheSmallLayout)
{
    std::vector<DuplicateGroupPtr> groups;
    for (int g = 0; g < 1200; ++g) {
        QStringList paths;
        for (int f = 0; f < 9; ++f)
            paths.append(QStringLiteral("/data/%1/f%2.jpg").arg(g).arg(f));
        groups.push_back(groupOfPaths(paths, quint64(5000 + g)));
    }
    isSmallScreenLayout = true;
    for (const char* code : { "en", "de" }) {
        const auto screen = screenIn(code);
        screen->show();
        screen->loadScanResults(groups, 9600, ScanSource::thisComputer);
        const auto* line = screen->findChild<QLabel*>(QStringLiteral("lblDupsInGroups"));
        const auto* found = screen->findChild<QLabel*>(QStringLiteral("lblDuplicateFound"));
        const auto* space = screen->findChild<QLabel*>(QStringLiteral("lblSpaceToBeSaved"));
        ASSERT_TRUE(line->text().contains(QStringLiteral("1200"))) << line->text().toStdString();
        EXPECT_GE(line->width(), line->fontMetrics().horizontalAdvance(line->text())) << code;
        const QRect foundText(found->pos(), QSize(found->sizeHint().width(), found->height()));
        const QRect spaceText(space->geometry().right() - space->sizeHint().width(), space->y(),
            space->sizeHint().width(), space->height());
        EXPECT_FALSE(line->geometry().intersects(foundText)) << code;
        EXPECT_FALSE(line->geometry().intersects(spaceText)) << code;
    }
}
