// The main window grown and shrunk as a user drags its corner: the home and
// results screens follow it, every control stays inside the window and clear
// of its neighbours, the lists take the room, and every title fits its
// control, in the English and in the German layout.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "cleanup/AfterClean.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/IMGButton.h"
#include "core/CommonFuncs.h"
#include "controls/LayoutFrame.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "home/MainViewController.h"
#include "results/ResultViewController.h"
#include "results/ResultsModel.h"
#include "support/PathCells.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QTableView>
#include <QTextDocument>
#include <QToolTip>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

std::string nameOf(const QWidget* widget)
{
    return widget->objectName().toStdString();
}

// The width a one-line label's text takes, styled text included.
int textWidth(const QLabel* label)
{
    if (!Qt::mightBeRichText(label->text()))
        return label->fontMetrics().horizontalAdvance(label->text());
    QTextDocument document;
    document.setDefaultFont(label->font());
    document.setDocumentMargin(0);
    document.setHtml(label->text());
    return int(std::ceil(document.idealWidth()));
}

// What a control shows of itself in window coordinates: a label's text where
// its alignment puts it (a label's frame may run under a neighbour's where its
// text does not), any other control's whole frame.
QRect drawnRect(const QWidget* control, const QWidget* window)
{
    QRect rect = control->rect();
    if (const auto* label = qobject_cast<const QLabel*>(control);
        label && !label->wordWrap() && label->pixmap().isNull() && !label->text().isEmpty()) {
        const int width = std::min(label->contentsRect().width(), textWidth(label));
        const Qt::Alignment align = label->alignment();
        const int x = align & Qt::AlignRight ? rect.width() - width
            : align & Qt::AlignHCenter       ? (rect.width() - width) / 2
                                             : 0;
        rect = QRect(x, 0, width, rect.height());
    }
    return QRect(control->mapTo(window, rect.topLeft()), rect.size());
}

// The controls under root a user sees: named, shown, not the inner parts of a
// list or a split view, nor windows of their own (sheets) that it owns.
void collectControls(QWidget* root, std::vector<QWidget*>& siblings)
{
    for (QWidget* child : root->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isHidden() || child->isWindow() || child->objectName().isEmpty()
            || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        siblings.push_back(child);
    }
}

// Every shown control of screen lies inside the window and over no sibling;
// every single-line title fits its control.
void checkScreen(QWidget* screen, QMainWindow* window, const std::string& where)
{
    std::vector<QWidget*> siblings;
    collectControls(screen, siblings);
    const QRect inside = window->rect();
    for (size_t i = 0; i < siblings.size(); ++i) {
        QWidget* control = siblings[i];
        const QRect drawn = drawnRect(control, window);
        EXPECT_TRUE(inside.contains(drawn)) << where << ": " << nameOf(control) << " leaves the window";
        for (size_t j = i + 1; j < siblings.size(); ++j) {
            // A title or an arrow laid wholly over the control it belongs to
            // (a tab's caption on its button, a pop-up's arrow) is one piece.
            const QRect other = drawnRect(siblings[j], window);
            if (drawn.contains(other) || other.contains(drawn))
                continue;
            EXPECT_FALSE(drawn.intersects(other))
                << where << ": " << nameOf(control) << " over " << nameOf(siblings[j]);
        }
        if (const auto* label = qobject_cast<const QLabel*>(control); label && !label->wordWrap()) {
            EXPECT_LE(textWidth(label), label->contentsRect().width())
                << where << ": " << nameOf(label) << " cuts \"" << label->text().toStdString() << "\"";
        }
        if (const auto* button = qobject_cast<const QAbstractButton*>(control); button && !button->text().isEmpty()) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width())
                << where << ": " << nameOf(button) << " cuts \"" << button->text().toStdString() << "\"";
        }
        // The insides of lists, split views and other scrolled views are
        // theirs to lay out.
        if (!qobject_cast<QAbstractScrollArea*>(control) && !qobject_cast<QSplitter*>(control))
            checkScreen(control, window, where);
    }
}

std::vector<DuplicateGroupPtr> someGroups()
{
    std::vector<DuplicateGroupPtr> groups;
    for (int g = 0; g < 3; ++g) {
        const QString track = QStringLiteral("/Music/Albums/Live in Berlin/track %1.mp3").arg(g);
        groups.push_back(
            groupOfPaths({ QStringLiteral("/data") + track, QStringLiteral("/data/Backup") + track }, 4000000));
    }
    return groups;
}

QSize sizeOf(QWidget* screen, const char* name)
{
    auto* control = screen->findChild<QWidget*>(QString::fromLatin1(name));
    return control ? control->size() : QSize(-1, -1);
}

} // namespace

TEST(WindowSize, BothScreensFollowTheWindowGrownAndShrunkInEachLayout)
{
    for (const char* language : { "en", "de" }) {
        TempHome home;
        UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
        // The German layout's rules over the English texts: the widenings and
        // font changes meet the same titles.
        loadLocalizationTable();
        currentLanguageCode = QString::fromLatin1(language);
        AppComposition program(defaults);
        program.launch();
        QMainWindow* window = program.delegate().window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        MainViewController& homeScreen = program.home();
        ResultViewController& results = program.results();
        results.loadScanResults(someGroups(), 3, ScanSource::thisComputer);
        // The scan-complete sheet comes a moment after the results; it stays
        // open over the window through every change of size.
        auto* sheet = results.findChild<QWidget*>(QStringLiteral("windowScanComplete"));
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(waitUntil([&] { return sheet->isVisible(); })) << language;

        const QSize minimum = window->size();
        const auto check = [&](const std::string& where) {
            EXPECT_EQ(sheet->geometry(), window->geometry()) << where << ": the sheet covers the window";
            results.hide();
            QCoreApplication::processEvents();
            EXPECT_EQ(homeScreen.size(), window->centralWidget()->size()) << where;
            checkScreen(&homeScreen, window, where + " home");
            results.show();
            results.raise();
            QCoreApplication::processEvents();
            EXPECT_EQ(results.size(), homeScreen.size()) << where << ": the results cover the home screen";
            checkScreen(&results, window, where + " results");
        };
        const std::string layout = language;
        check(layout + " at first");
        const QSize list = sizeOf(&homeScreen, "tblInclude");
        const QSize resultsList = sizeOf(&results, "tblDuplicates");
        const int previewWidth = sizeOf(&results, "viewRight").width();

        // Grown while the results show, then back on the home screen.
        window->resize(1400, 870);
        QCoreApplication::processEvents();
        ASSERT_EQ(window->size(), QSize(1400, 870));
        const int grownBy = 1400 - minimum.width();
        check(layout + " grown");
        // The lists are 700 wide in the base layout's 1082: every point
        // past that goes to them.
        EXPECT_EQ(sizeOf(&homeScreen, "tblInclude").width(), 700 + homeScreen.width() - mainWindowContentSize.width())
            << layout;
        EXPECT_GT(sizeOf(&homeScreen, "tblInclude").height(), list.height()) << layout;
        EXPECT_EQ(sizeOf(&results, "tblDuplicates").width(), resultsList.width() + grownBy) << layout;
        EXPECT_GT(sizeOf(&results, "tblDuplicates").height(), resultsList.height()) << layout;
        EXPECT_EQ(sizeOf(&results, "viewRight").width(), previewWidth)
            << layout << ": the preview pane keeps its width";

        // Shrunk as far as the window goes.
        window->resize(200, 200);
        QCoreApplication::processEvents();
        EXPECT_EQ(window->size(), minimum) << layout;
        check(layout + " shrunk");
        EXPECT_EQ(sizeOf(&results, "tblDuplicates").width(), resultsList.width()) << layout;
        EXPECT_EQ(sizeOf(&homeScreen, "tblInclude").width(), list.width()) << layout;
        results.hide();
        LocalizationDetail::resetLocalizationTable();
    }
}

namespace {

// The program launched as main() does, its window shown.
class LaunchedWindow : public ::testing::Test {
protected:
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    AppComposition program { defaults };
    QMainWindow* window = nullptr;

    void SetUp() override
    {
        program.launch();
        window = program.delegate().window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
};

} // namespace

// The after-clean window's three figures, each the longest of its kind the
// program writes (a size that rounds up into "1000.00", the largest size a
// run can count, counts of many digits), stand whole on one line at the
// window's first size, grown and at its least.
TEST_F(LaunchedWindow, TheAfterCleanFiguresStandWholeOnOneLineAtEveryWindowSize)
{
    AfterCleanSheets& sheets = program.results().afterCleanSheets();

    const quint64 sizes[] = { 999'999'999ULL, 999'994'000'000ULL, 999'999'000'000'000ULL,
        std::numeric_limits<quint64>::max(), 348'700ULL };
    for (const QSize size : { window->size(), QSize(1400, 870), QSize(200, 200) }) {
        window->resize(size);
        QCoreApplication::processEvents();
        for (const quint64 bytes : sizes) {
            RemovalReport report;
            report.countTrashed = 123'456'789'012;
            report.sizeTrashed = bytes;
            report.uniquePhotosReatined = 9'876'543'210;
            sheets.showAfterCleanWindow(afterCleanFigures(report, ScanSource::thisComputer), {});
            ASSERT_TRUE(waitUntil([&] { return sheets.windowAfterClean()->isVisible(); }));
            for (QLabel* figure : { sheets.lblDupCleaned, sheets.lblDupSizeCleaned, sheets.lblUniqueFilesRetain }) {
                const std::string where = std::to_string(window->width()) + "x" + std::to_string(window->height())
                    + " \"" + figure->text().toStdString() + "\"";
                EXPECT_FALSE(figure->text().isEmpty()) << where;
                EXPECT_FALSE(figure->wordWrap()) << where << " may wrap";
                EXPECT_LE(figure->fontMetrics().horizontalAdvance(figure->text()), figure->contentsRect().width())
                    << where << " is cut";
                EXPECT_GE(figure->fontMetrics().height(), 16) << where << " is too small to read";
                EXPECT_TRUE(sheets.windowAfterClean()->rect().contains(
                    QRect(figure->mapTo(sheets.windowAfterClean(), QPoint()), figure->size())))
                    << where;
            }
            EXPECT_EQ(sheets.lblDupSizeCleaned->text(), getSizeInUnits(double(bytes)));
            sheets.btnOkTrash->click();
        }
    }
    EXPECT_EQ(getSizeInUnits(999'999'999.0), QStringLiteral("1000.00 MB"));
}

// At the window's size on a laptop's 1366 by 768 screen (also its least) and
// grown, each copy's path in the group view and its folder in the list keep
// what tells them apart from the other copies of their group (long names
// among them) and as much of the name as fits, beside whole figures; the tip
// is the whole path or folder.
TEST_F(LaunchedWindow, AtEveryWindowSizeEachCopysPathKeepsWhatTellsItApart)
{
    ASSERT_TRUE(isSmallScreenLayout);
    ASSERT_EQ(window->size(), QSize(960, 620));
    ResultViewController& results = program.results();
    results.loadScanResults(copiesInTwoPlaces(), copiesInTwoPlacesFiles / 2, ScanSource::thisComputer);
    results.show();
    results.raise();
    auto* sheet = results.findChild<QWidget*>(QStringLiteral("windowScanComplete"));
    ASSERT_TRUE(sheet && waitUntil([&] { return sheet->isVisible(); }));
    auto* manually = sheet->findChild<QAbstractButton*>(QStringLiteral("btnSelectManually"));
    QTest::mouseClick(manually, Qt::LeftButton, {}, manually->rect().center());
    ASSERT_TRUE(waitUntil([&] { return results.isResultToolbarEnabled(); }));
    // A view chosen from the view pop-up of the small window's toolbar.
    const auto choose = [&](const char* title) {
        auto* button = results.findChild<QAbstractButton*>(QStringLiteral("btnGroupView"));
        ASSERT_TRUE(button && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        QMenu* menu = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); }));
        QAction* wanted = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text().remove(QLatin1Char('&')) == localizedText(title))
                wanted = action;
        }
        ASSERT_TRUE(wanted) << title;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(wanted).center());
        ASSERT_TRUE(waitUntil([] { return !QApplication::activePopupWidget(); }));
        QCoreApplication::processEvents();
    };
    for (const QSize size : { QSize(960, 620), QSize(1400, 870) }) {
        window->resize(size);
        QCoreApplication::processEvents();
        SCOPED_TRACE(std::to_string(window->width()) + "x" + std::to_string(window->height()));
        choose("ID_GROUP_VIEW");
        CustomOutlineView* outline = results.outlineDuplicates();
        ASSERT_TRUE(outline->isVisible());
        EXPECT_EQ(expectOutlinePathsToldApart(*outline), copiesInTwoPlacesFiles);
        EXPECT_EQ(outline->horizontalScrollBar()->maximum(), 0) << "the rows are wider than the view";

        choose("ID_LIST_VIEW");
        QTableView* list = results.tblDuplicates();
        ASSERT_TRUE(list->isVisible());
        EXPECT_EQ(expectListFoldersToldApart(*list, ResultsModel::folderColumn), copiesInTwoPlacesFiles);
    }
}
