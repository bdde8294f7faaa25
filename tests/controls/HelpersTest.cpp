#include "ControlsTestSupport.h"

#include "controls/CustomWindowNag.h"
#include "controls/HSVExtras.h"
#include "controls/LayoutFrame.h"
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
