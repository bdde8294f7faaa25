#include "ControlsTestSupport.h"

#include "controls/CustomWindowNag.h"
#include "controls/HSVExtras.h"
#include "controls/LayoutFrame.h"
#include "controls/SheetPanel.h"
#include "controls/WindowHelpers.h"
#include "core/GlobalObjects.h"
#include "support/ScopedLanguageTable.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

namespace {

struct HsvCase {
    QColor color;
    int h, s, v;
};

TEST(HSVExtras, ConvertsToWholeDegreesAndPercent)
{
    const HsvCase cases[] = {
        { QColor(255, 0, 0), 0, 100, 100 },
        { QColor(0, 255, 0), 120, 100, 100 },
        { QColor(0, 0, 255), 240, 100, 100 },
        { QColor(255, 0, 128), 330, 100, 100 }, // a negative hue wraps round
        { QColor(9, 90, 222), 217, 96, 87 },
        { QColor(69, 162, 255), 210, 73, 100 },
        { QColor(128, 128, 128), 0, 0, 50 },
        { QColor(0, 0, 0), 0, 0, 0 },
    };
    for (const HsvCase& c : cases) {
        const HSVExtras::HSVColor hsv = HSVExtras::hsvColorFromColor(c.color);
        EXPECT_EQ(hsv.h, c.h) << c.color.name().toStdString();
        EXPECT_EQ(hsv.s, c.s) << c.color.name().toStdString();
        EXPECT_EQ(hsv.v, c.v) << c.color.name().toStdString();
        EXPECT_FLOAT_EQ(hsv.hue, c.h / 360.0f);
        EXPECT_FLOAT_EQ(hsv.saturation, c.s / 100.0f);
    }
}

TEST(HSVExtras, DarkeningStopsAtZeroAndIsOpaque)
{
    const QColor darker = HSVExtras::darkenColorByValue(QColor::fromRgbF(0.05f, 0.5f, 1.0f, 0.3f), 0.1f);
    EXPECT_FLOAT_EQ(darker.redF(), 0.0f);
    EXPECT_NEAR(darker.greenF(), 0.4, 1e-4);
    EXPECT_NEAR(darker.blueF(), 0.9, 1e-4);
    EXPECT_FLOAT_EQ(darker.alphaF(), 1.0f);
}

TEST(LayoutFrame, EditsApplyInTheLayoutsCoordinatesAndConvertOnce)
{
    EXPECT_EQ(qtGeometry({ 10, 20, 100, 30 }, 700), QRect(10, 650, 100, 30));
    EXPECT_EQ(qtGeometry({ 0, 0, 1082, 700 }, 700), QRect(0, 0, 1082, 700));

    QWidget screen;
    screen.resize(400, 300);
    auto* box = new QWidget(&screen);
    box->setObjectName(QStringLiteral("boxFooter"));
    auto* button = new QWidget(box);
    button->setObjectName(QStringLiteral("btnScanNow"));
    FrameTable frames {
        { QStringLiteral("boxFooter"), { 0, 0, 400, 100 } },
        { QStringLiteral("btnScanNow"), { 10, 20, 100, 30 } },
    };
    frames[QStringLiteral("btnScanNow")].y -= 16;
    frames[QStringLiteral("btnScanNow")].height += 16;
    frames.apply(&screen);

    EXPECT_EQ(box->geometry(), QRect(0, 200, 400, 100));
    EXPECT_EQ(button->geometry(), QRect(10, 50, 100, 46)) << "placed in the box's final height";
}

// Springs and struts: a grown screen moves and sizes each control from its
// base frame, nested ones in their parent's new size, and shrinking back
// gives the base frames exactly (no drift from one resize to the next).
TEST(LayoutFrame, ResizingGrowsAndMovesFromTheBaseFramesAndReturnsToThem)
{
    QWidget screen;
    screen.resize(400, 300);
    const auto child = [](QWidget* parent, const char* name) {
        auto* widget = new QWidget(parent);
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    QWidget* header = child(&screen, "boxHeader");
    QWidget* close = child(header, "btnClose");
    QWidget* list = child(&screen, "tblList");
    QWidget* footer = child(&screen, "boxFooter");
    QWidget* go = child(footer, "btnGo");
    QWidget* badge = child(&screen, "imgBadge");
    const FrameTable frames {
        { QStringLiteral("boxHeader"), { 0, 260, 400, 40 } },
        { QStringLiteral("btnClose"), { 360, 5, 30, 30 } },
        { QStringLiteral("tblList"), { 10, 50, 380, 200 } },
        { QStringLiteral("boxFooter"), { 0, 0, 400, 40 } },
        { QStringLiteral("btnGo"), { 150, 5, 100, 30 } },
        { QStringLiteral("imgBadge"), { 10, 260, 20, 20 } },
    };
    const ResizingTable resizing {
        { QStringLiteral("boxHeader"), Follow::topBar },
        { QStringLiteral("btnClose"), Follow::topRight },
        { QStringLiteral("tblList"), Follow::fill },
        { QStringLiteral("boxFooter"), Follow::bottomBar },
        { QStringLiteral("btnGo"), Follow::bottomCentre },
    };
    const auto layOut = [&](QSize size) {
        screen.resize(size);
        frames.apply(&screen, resizing, QSizeF(400, 300));
    };
    layOut({ 600, 500 });
    EXPECT_EQ(header->geometry(), QRect(0, 0, 600, 40));
    EXPECT_EQ(close->geometry(), QRect(560, 5, 30, 30)) << "keeps its distance to the header's right end";
    EXPECT_EQ(list->geometry(), QRect(10, 50, 580, 400));
    EXPECT_EQ(footer->geometry(), QRect(0, 460, 600, 40));
    EXPECT_EQ(go->geometry(), QRect(250, 5, 100, 30)) << "stays centred in the footer";
    EXPECT_EQ(badge->geometry(), QRect(10, 20, 20, 20)) << "a control the table lacks keeps to the top left";

    layOut({ 400, 300 });
    EXPECT_EQ(header->geometry(), QRect(0, 0, 400, 40));
    EXPECT_EQ(close->geometry(), QRect(360, 5, 30, 30));
    EXPECT_EQ(list->geometry(), QRect(10, 50, 380, 200));
    EXPECT_EQ(go->geometry(), QRect(150, 5, 100, 30));

    // A frame never gets a negative size, whatever the parent shrinks to.
    EXPECT_EQ(resizedFrame({ 10, 10, 50, 50 }, Follow::fill, { 400, 300 }, { 300, 200 }).width, 0);
}

TEST(WindowHelpers, AlertsStandSixtyPointsBelowTheCentreOnNewerSystems)
{
    const bool saved = osIs11OrLater;
    QWidget main;
    main.setGeometry(100, 100, 800, 600);
    for (const bool newer : { false, true }) {
        osIs11OrLater = newer;
        QWidget alert;
        alert.resize(200, 100);
        centerWindowOnWindow(&alert, &main);
        EXPECT_EQ(alert.frameGeometry().topLeft(), QPoint(400, newer ? 410 : 350));
        EXPECT_TRUE(alert.isVisible());
    }
    osIs11OrLater = saved;
    centerWindowOnWindow(nullptr, &main);
}

TEST(WindowHelpers, AFrameComesBackOnTheScreenAndALargerOneKeepsItsTitleBarOnIt)
{
    const QRect available(0, 32, 1366, 688);
    const struct {
        QRect frame;
        QPoint expected;
    } cases[] = {
        { { 200, 300, 640, 500 }, { 200, 220 } }, // bottom under the panel
        { { 900, 0, 640, 500 }, { 726, 32 } }, // off the right and over the top bar
        { { 300, 300, 640, 900 }, { 300, 32 } }, // taller than the screen
        { { 1000, 40, 1500, 400 }, { 0, 40 } }, // wider than the screen
    };
    for (const auto& c : cases) {
        const QRect kept = frameKeptWithin(c.frame, available);
        EXPECT_EQ(kept.topLeft(), c.expected) << c.frame.x() << "," << c.frame.y();
        EXPECT_EQ(kept.size(), c.frame.size());
    }
}

TEST(WindowHelpers, ColumnHeadersTakeTitleTooltipAndTheLanguagesWidth)
{
    const ScopedLanguageTable italian(
        QStringLiteral("it"), { { QStringLiteral("ID_SIZE"), QStringLiteral("Dimensione") } });
    QStandardItemModel model(0, 3);
    QTableView table;
    table.setModel(&model);
    table.horizontalHeader()->resizeSection(1, 50);

    localizeTableColumnHeaders(QStringLiteral("Dimensione"), 1, &table);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Dimensione"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString(), QStringLiteral("Dimensione"));
    EXPECT_EQ(table.horizontalHeader()->sectionSize(1), 80);

    localizeTableColumnHeaders(QStringLiteral("Other"), 3, &table);
    EXPECT_EQ(model.columnCount(), 3);
}

} // namespace

TEST(CustomWindowNag, ShowsTheWindowItCoversBehindItsTranslucentParts)
{
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(200, 40, 40));
    window.setPalette(palette);
    window.setGeometry(100, 100, 300, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    CustomWindowNag sheet(&window);
    sheet.setGeometry(window.geometry().adjusted(50, 50, -50, -50));
    sheet.show();
    const QImage shown = sheet.grab().toImage();
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(200, 40, 40));
}

TEST(SheetPanel, ASheetWindowStaysOverItsWindowAsItChangesAndWhenShownAgain)
{
    QWidget window;
    window.setGeometry(100, 100, 600, 400);
    auto* screen = new QWidget(&window);
    screen->setGeometry(window.rect());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    CustomWindowNag* sheet = makeSheetWindow(screen, QStringLiteral("sheet"));
    auto* panel = new SheetPanel(sheet);
    panel->resize(300, 200);
    layOutSheetOver(sheet, panel, window.geometry());
    sheet->show();
    const auto expectOver = [&](const char* where) {
        EXPECT_EQ(sheet->geometry(), window.geometry()) << where;
        EXPECT_EQ(panel->geometry().center(), sheet->rect().center()) << where;
    };
    expectOver("opened");

    window.setGeometry(140, 120, 900, 700);
    QCoreApplication::processEvents();
    expectOver("grown and moved");

    // Closed, the window shrunk meanwhile, then shown again without a new
    // layout: it takes the window's place as it is now.
    sheet->hide();
    window.setGeometry(100, 100, 500, 300);
    QCoreApplication::processEvents();
    sheet->show();
    expectOver("shown after a shrink");
    sheet->hide();
}

TEST(SheetPanel, ASheetWindowGivenAnotherParentFollowsTheNewOne)
{
    QWidget first;
    first.setGeometry(100, 100, 600, 400);
    QWidget second;
    second.setGeometry(300, 200, 500, 350);
    first.show();
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    CustomWindowNag* sheet = makeSheetWindow(&first, QStringLiteral("sheet"));
    auto* panel = new SheetPanel(sheet);
    panel->resize(300, 200);
    layOutSheetOver(sheet, panel, first.geometry());
    sheet->show();
    sheet->hide();

    // Shown over another window, as a sheet over whichever window is modal.
    sheet->setParent(&second, sheet->windowFlags());
    layOutSheetOver(sheet, panel, second.geometry());
    sheet->show();
    second.setGeometry(340, 220, 700, 450);
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet->geometry(), second.geometry());
    first.setGeometry(120, 110, 640, 420);
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet->geometry(), second.geometry()) << "the former parent no longer moves the sheet";
    sheet->hide();
}
