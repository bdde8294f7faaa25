// Gallery pages of the pie chart and the thumbnail grid.
#include "Gallery.h"

#include "controls/CyanideScroller.h"
#include "controls/HeaderView.h"
#include "controls/MMPieChartView.h"
#include "controls/MyCollectionView.h"

#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>

namespace {

// A pie of the given values; colours too when given.
void addPie(GallerySheet& sheet, const QString& caption, std::vector<double> values, std::vector<QColor> colours)
{
    MMPieChartView pie;
    pie.resize(180, 180);
    pie.radius = 80;
    MMPieChartViewDataSource source;
    source.numberOfPiecesForPieChartView = [n = qint64(values.size())](MMPieChartView&) { return n; };
    source.valueForValueAtIndex = [values](MMPieChartView&, qint64 i) { return values[i]; };
    if (!colours.empty())
        source.colorForValueAtIndex = [colours](MMPieChartView&, qint64 i) { return colours[i]; };
    pie.dataSource = source;
    pie.reloadData();
    sheet.addSample(caption, pie);
}

QImage pieChartPage()
{
    GallerySheet sheet(QStringLiteral("Pie chart view"));
    // The category colours of the results screen's chart.
    const std::vector<QColor> categories = { QColor(52, 152, 219), QColor(46, 204, 113), QColor(155, 89, 182),
        QColor(231, 76, 60), QColor(241, 196, 15), QColor(149, 165, 166) };
    sheet.newRow(QStringLiteral("Data source with colours"));
    addPie(sheet, QStringLiteral("six categories"), { 12, 30, 4, 9, 2, 5 }, categories);
    addPie(sheet, QStringLiteral("1, 1, 2"), { 1, 1, 2 }, categories);
    addPie(sheet, QStringLiteral("one value: a full disc"), { 7 }, categories);
    sheet.newRow(QStringLiteral("Incomplete data"));
    addPie(sheet, QStringLiteral("all values 0: nothing"), { 0, 0, 0 }, categories);
    addPie(sheet, QStringLiteral("no colours: random"), { 3, 2, 1 }, {});
    addPie(sheet, QStringLiteral("a value of 0 among others"), { 2, 0, 1 }, categories);
    {
        MMPieChartView pie;
        pie.resize(180, 180);
        pie.reloadData();
        sheet.addSample(QStringLiteral("no data source"), pie);
    }
    {
        MMPieChartView pie;
        pie.resize(180, 180);
        pie.radius = 80;
        MMPieChartViewDataSource source;
        source.numberOfPiecesForPieChartView = [](MMPieChartView&) { return qint64(2); };
        source.valueForValueAtIndex = [](MMPieChartView&, qint64) { return 1.0; };
        source.colorForValueAtIndex = [](MMPieChartView&, qint64 i) { return i ? QColor(20, 20, 20) : Qt::black; };
        pie.dataSource = source;
        pie.reloadData();
        sheet.addSample(QStringLiteral("near-black pieces: shades stop at black"), pie);
    }
    return sheet.image();
}

QImage thumbnail(int seed)
{
    QImage image(160, 120, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 120);
    sky.setColorAt(0, QColor::fromHsv((seed * 47) % 360, 120, 230));
    sky.setColorAt(1, QColor::fromHsv((seed * 47 + 40) % 360, 160, 120));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(255, 255, 255, 160));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(40 + seed * 13 % 80, 40), 18, 18);
    return image;
}

void fillGrid(QStandardItemModel& model)
{
    const struct {
        const char* name;
        int files;
        const char* line;
    } groups[] = {
        { "IMG_0412.jpg", 3, "3 files, 7.2 MB" },
        { "beach-sunset-panorama-final-edit.png", 2, "2 files, 18.4 MB" },
        { "DSC_1180.jpg", 5, "5 files, 21.0 MB" },
    };
    int seed = 0;
    for (const auto& group : groups) {
        auto* section = new QStandardItem(QString::fromUtf8(group.name));
        section->setData(QString::fromUtf8(group.line), MyCollectionView::sectionCountRole);
        for (int i = 0; i < group.files; ++i) {
            auto* item = new QStandardItem(
                i == 0 ? QString::fromUtf8(group.name) : QStringLiteral("copy %1 of %2").arg(i).arg(group.name));
            item->setData(thumbnail(seed++), Qt::DecorationRole);
            section->appendRow(item);
        }
        model.appendRow(section);
    }
}

QImage gridPage()
{
    GallerySheet sheet(QStringLiteral("Collection view and section headers"));
    QStandardItemModel model;
    fillGrid(model);
    MyCollectionView grid;
    QPalette palette = grid.palette();
    palette.setColor(QPalette::Base, QColor(29, 29, 29));
    palette.setColor(QPalette::Window, QColor(29, 29, 29));
    grid.setPalette(palette);
    grid.viewport()->setPalette(palette);
    grid.setFrameShape(QFrame::NoFrame);
    grid.setVerticalScrollBar(new CyanideScroller(Qt::Vertical));
    grid.resize(560, 470);
    grid.setModel(&model);
    sheet.newRow(QStringLiteral("MyCollectionView with HeaderView sections"));
    sheet.addSample(QStringLiteral("top, nothing selected"), grid);
    grid.selectItem({ 0, 1 }, QItemSelectionModel::ClearAndSelect);
    grid.selectItem({ 1, 0 });
    sheet.addSample(QStringLiteral("two items selected"), grid);
    grid.verticalScrollBar()->setValue(255);
    sheet.addSample(QStringLiteral("scrolled: its group's header pinned at the top"), grid);
    grid.verticalScrollBar()->setValue(grid.headerFrame(1).top() - 20);
    sheet.addSample(QStringLiteral("the next group's header pushing it up"), grid);
    sheet.newRow(QStringLiteral("HeaderView alone"));
    HeaderView header;
    header.resize(420, 40);
    header.setSectionTitle(QStringLiteral("IMG_0412.jpg"));
    header.setImageCount(QStringLiteral("3 files, 7.2 MB"));
    sheet.addSample(QStringLiteral("title and count line"), header);
    return sheet.image();
}

const GalleryRegistration pieChart("controls-pie-chart", pieChartPage);
const GalleryRegistration grid("controls-collection-view", gridPage);

} // namespace
