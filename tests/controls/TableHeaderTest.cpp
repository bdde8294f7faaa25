// The header classes and the keyless table, driven with synthetic events
// offscreen.
#include "ControlsTestSupport.h"

#include "controls/CustomTable.h"
#include "controls/MyHeaderCell.h"

#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

namespace {

QStandardItemModel* modelWithTitles(const QStringList& titles, QObject* parent)
{
    auto* model = new QStandardItemModel(3, int(titles.size()), parent);
    model->setHorizontalHeaderLabels(titles);
    return model;
}

// The sorted section carries a triangle at its right end, pointing the way
// the rows run; an empty title leaves only the fill.
TEST_F(ControlsTest, MyHeaderCellFillsItsSectionsAndPointsTheSortedOneTheRowsWay)
{
    QTableView table;
    table.setModel(modelWithTitles({ QStringLiteral("Name"), QString() }, &table));
    auto* header = new MyHeaderCell(Qt::Horizontal, &table);
    table.setHorizontalHeader(header);
    header->resizeSection(0, 120);
    header->resizeSection(1, 120);
    table.resize(300, 200);
    table.setAttribute(Qt::WA_DontShowOnScreen);
    table.show();
    const QColor fill = QColor::fromHsvF(33 / 255.f, 33 / 255.f, 33 / 255.f);

    QImage image = renderOn(*header, Qt::magenta);
    for (int x = 121; x < 238; x += 7) {
        for (int y = 1; y < header->height() - 1; y += 3)
            EXPECT_PIXEL(image, x, y, fill) << x << "," << y;
    }
    bool white = false;
    for (int x = 3; x < 40 && !white; ++x) {
        for (int y = 5; y < 19 && !white; ++y)
            white = isNear(image.pixelColor(x, y), Qt::white, 40);
    }
    EXPECT_TRUE(white) << "the title starts at the left";

    // The triangle: 8 wide and 5 high, its right end 4 points inside the
    // section, centred on the title's line (rows 9 to 14).
    const int right = 119 - 4;
    header->setSortIndicatorShown(true);
    header->setSortIndicator(0, Qt::AscendingOrder);
    image = renderOn(*header, Qt::magenta);
    EXPECT_PIXEL(image, right - 6, 13, Qt::white) << "wide at the bottom: pointing up";
    EXPECT_PIXEL(image, right - 6, 9, fill);
    header->setSortIndicator(0, Qt::DescendingOrder);
    image = renderOn(*header, Qt::magenta);
    EXPECT_PIXEL(image, right - 6, 9, Qt::white) << "wide at the top: pointing down";
    EXPECT_PIXEL(image, right - 6, 13, fill);
}

TEST_F(ControlsTest, TableHeaderCellTakesTheEditedTitle)
{
    QTableView table;
    auto* model = modelWithTitles({ QStringLiteral("Old"), QStringLiteral("Other") }, &table);
    table.setModel(model);
    auto* header = new TableHeaderCell(Qt::Horizontal, &table);
    table.setHorizontalHeader(header);
    table.resize(300, 200);
    table.setAttribute(Qt::WA_DontShowOnScreen);
    table.show();

    const QPoint first(header->sectionViewportPosition(0) + 10, header->height() / 2);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, first);
    QLineEdit* editor = header->fieldEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Old");
    QTest::keyClicks(editor, QStringLiteral("Renamed"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Renamed");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Other");
    EXPECT_EQ(header->fieldEditor(), nullptr);

    // Anything but the field editor ends nothing.
    header->editSection(1);
    QLineEdit stranger;
    stranger.setText(QStringLiteral("x"));
    header->textDidEndEditing(&stranger);
    EXPECT_NE(header->fieldEditor(), nullptr);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Other");
}

TEST_F(ControlsTest, CustomTableSwallowsEveryKey)
{
    CustomTable table;
    table.setModel(modelWithTitles({ QStringLiteral("A") }, &table));
    table.selectRow(1);
    for (Qt::Key key : { Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_A })
        QTest::keyClick(&table, key);
    EXPECT_EQ(table.selectionModel()->selectedRows().value(0).row(), 1);
    EXPECT_EQ(table.currentIndex().row(), 1);
    EXPECT_EQ(table.focusPolicy(), Qt::StrongFocus);
}

} // namespace
