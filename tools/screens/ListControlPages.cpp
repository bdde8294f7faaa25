// Gallery pages of the list controls: tables, outline, headers and cells; the
// drop box and the progress ring; the popover and the pop-up button.
#include "Gallery.h"

#include "controls/ApplicationFont.h"
#include "controls/CircularProgressBarView.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomPopUpButton.h"
#include "controls/CustomTableView.h"
#include "controls/DragDropBox.h"
#include "controls/MyHeaderCell.h"
#include "controls/OptionPopover.h"
#include "core/GlobalObjects.h"

#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace {

using Outlet = CustomCell::Outlet;

QStandardItem* cell(const QString& text)
{
    auto* item = new QStandardItem(text);
    item->setToolTip(text);
    return item;
}

void setOutlet(QStandardItem* item, Outlet outlet, const QVariant& value)
{
    item->setData(value, CustomCell::roleOf(outlet));
}

void darkPalette(QWidget& widget, const QColor& base)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Window, base);
    palette.setColor(QPalette::Text, QColor(230, 231, 233));
    palette.setColor(QPalette::HighlightedText, QColor(230, 231, 233));
    widget.setPalette(palette);
}

// The results list: rows shaded by group, check boxes, a near-black header.
void resultsList(CustomTableView& table, QStandardItemModel& model)
{
    struct Row {
        int group;
        bool marked;
        const char* name;
        const char* size;
        const char* folder;
    };
    const Row rows[] = {
        { 1, false, "IMG_0412.jpg", "2.4 MB", "/home/ana/Pictures/2023" },
        { 1, true, "IMG_0412 (copy).jpg", "2.4 MB", "/home/ana/Downloads" },
        { 2, false, "report-final.pdf", "812 KB", "/home/ana/Documents" },
        { 2, true, "report-final.pdf", "812 KB", "/home/ana/Desktop/old" },
        { 2, true, "report-final(1).pdf", "812 KB", "/media/backup/Documents" },
        { 3, false, "holiday.mp4", "1.2 GB", "/home/ana/Videos" },
        { 3, false, "holiday.mp4", "1.2 GB", "/media/backup/Videos" },
    };
    model.setHorizontalHeaderLabels(
        { QString(), QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Folder") });
    for (const Row& r : rows) {
        const QColor shade = (r.group % 2 == 0) ? QColor(30, 30, 30) : QColor(50, 50, 50);
        auto* check = new QStandardItem;
        setOutlet(check, Outlet::btnCheckBox, r.marked ? 1 : 0);
        check->setData(shade, Qt::BackgroundRole);
        model.appendRow({ check, cell(QString::fromUtf8(r.name)), cell(QString::fromUtf8(r.size)),
            cell(QString::fromUtf8(r.folder)) });
    }
    table.setModel(&model);
    table.setHorizontalHeader(new MyHeaderCell(Qt::Horizontal, &table));
    table.setItemDelegate(new CustomCell(&table));
    darkPalette(table, QColor(29, 29, 29));
    table.verticalHeader()->setDefaultSectionSize(35);
    table.setColumnWidth(0, 36);
    table.setColumnWidth(1, 170);
    table.setColumnWidth(2, 80);
    table.horizontalHeader()->setStretchLastSection(true);
    table.resize(560, 35 * 7 + 26);
}

// A scan list of the home screen: check box, path, link and delete button.
void scanList(CustomTableView& table, QStandardItemModel& model)
{
    const char* paths[] = { "/home/ana/Pictures", "/home/ana/Documents", "/media/backup" };
    for (const char* path : paths) {
        auto* item = new QStandardItem;
        setOutlet(item, Outlet::btnCheckBox, path[7] == 'b' ? 0 : 1);
        setOutlet(item, Outlet::lbltextField, QString::fromUtf8(path));
        setOutlet(item, Outlet::btnLinkButton, QStringLiteral("Sub-folders"));
        setOutlet(item, Outlet::btnDelete, true);
        model.appendRow(item);
    }
    table.setModel(&model);
    table.setItemDelegate(new CustomCell(&table));
    table.horizontalHeader()->hide();
    table.horizontalHeader()->setStretchLastSection(true);
    table.verticalHeader()->setDefaultSectionSize(30);
    QPalette palette = table.palette();
    palette.setColor(QPalette::Base, QColor(41, 43, 46));
    palette.setColor(QPalette::Text, QColor(220, 222, 226));
    palette.setColor(QPalette::HighlightedText, QColor(220, 222, 226));
    table.setPalette(palette);
    table.setFrameShape(QFrame::NoFrame);
    table.resize(420, 90);
}

QImage tablesPage()
{
    GallerySheet sheet(QStringLiteral("Tables, rows, headers and cells"));
    sheet.newRow(QStringLiteral("Results list: CustomTableView, MyHeaderCell, CustomTablerowHome"));
    {
        CustomTableView table;
        QStandardItemModel model;
        resultsList(table, model);
        sheet.addSample(QStringLiteral("no selection"), table);
        table.selectRow(3);
        sheet.addSample(QStringLiteral("row 4 selected"), table);
    }
    sheet.newRow(QStringLiteral("Home scan list (check box, link, delete button)"));
    {
        CustomTableView table;
        QStandardItemModel model;
        scanList(table, model);
        sheet.addSample(QStringLiteral("no selection"), table);
        table.selectRow(1);
        sheet.addSample(QStringLiteral("second row selected"), table);
        table.setSelectionHighlightStyle(SelectionHighlightStyle::none);
        sheet.addSample(QStringLiteral("selected, highlight style none"), table);
    }
    sheet.newRow(QStringLiteral("Headers"));
    for (int gray = 0; gray < 2; ++gray) {
        CustomTableView table;
        QStandardItemModel model(0, 3);
        model.setHorizontalHeaderLabels({ QStringLiteral("File Name"), QString(), QStringLiteral("Modified") });
        table.setModel(&model);
        if (gray)
            table.setHorizontalHeader(new HeaderCellGray(Qt::Horizontal, &table));
        else
            table.setHorizontalHeader(new MyHeaderCell(Qt::Horizontal, &table));
        table.horizontalHeader()->setStretchLastSection(true);
        darkPalette(table, QColor(29, 29, 29));
        table.resize(360, 26);
        sheet.addSample(gray ? QStringLiteral("HeaderCellGray (empty middle title)")
                             : QStringLiteral("MyHeaderCell (empty middle title)"),
            table);
    }
    return sheet.image();
}

QList<QStandardItem*> fileRow(const QString& name, const QString& size, const QString& folder, bool marked)
{
    auto* first = new QStandardItem;
    setOutlet(first, Outlet::btnCheckBox, marked ? 1 : 0);
    setOutlet(first, Outlet::lbltextField, name);
    setOutlet(first, Outlet::lblSize, size);
    setOutlet(first, Outlet::lblFilePath, folder);
    first->setData(false, CustomCell::isParentNodeRole);
    first->setData(true, CustomCell::isFileRecordRole);
    first->setSizeHint(QSize(0, 30));
    return { first };
}

QStandardItem* groupRow(const QString& name, const QString& description, int marked, int total)
{
    auto* group = new QStandardItem;
    setOutlet(group, Outlet::btnCheckBox, marked == 0 ? 0 : marked == total - 1 ? 1 : -1);
    setOutlet(group, Outlet::lbltextField, name);
    setOutlet(group, Outlet::lblDescription, description);
    setOutlet(group, Outlet::lblCount,
        QVariant::fromValue(CellText { { QString::number(marked), QColor(0, 152, 255) },
            { QStringLiteral(" / %1").arg(total), QColor(191, 191, 191) } }));
    group->setData(true, CustomCell::isParentNodeRole);
    group->setData(QColor(40, 40, 40), Qt::BackgroundRole);
    group->setSizeHint(QSize(0, 40));
    return group;
}

QStandardItem* titleRow()
{
    auto* titles = new QStandardItem;
    setOutlet(titles, Outlet::lbltextField, QStringLiteral("File Name"));
    setOutlet(titles, Outlet::lblSize, QStringLiteral("Size"));
    setOutlet(titles, Outlet::lblFilePath, QStringLiteral("Folder Path"));
    titles->setData(QColor(60, 60, 60), Qt::BackgroundRole);
    titles->setSizeHint(QSize(0, 30));
    return titles;
}

QImage outlinePage()
{
    GallerySheet sheet(QStringLiteral("Outline: CustomOutlineView, CustomTablerow"));
    QStandardItemModel model;
    QStandardItem* photos = groupRow(QStringLiteral("IMG_0412.jpg"), QStringLiteral("4.8 MB (2 Files)"), 1, 2);
    photos->appendRow(titleRow());
    photos->appendRow(fileRow(
        QStringLiteral("IMG_0412.jpg"), QStringLiteral("2.4 MB"), QStringLiteral("/home/ana/Pictures/2023"), false));
    photos->appendRow(fileRow(
        QStringLiteral("IMG_0412 (copy).jpg"), QStringLiteral("2.4 MB"), QStringLiteral("/home/ana/Downloads"), true));
    QStandardItem* report = groupRow(QStringLiteral("report-final.pdf"), QStringLiteral("2.4 MB (3 Files)"), 1, 3);
    report->appendRow(titleRow());
    report->appendRow(fileRow(
        QStringLiteral("report-final.pdf"), QStringLiteral("812 KB"), QStringLiteral("/home/ana/Documents"), false));
    QStandardItem* video = groupRow(QStringLiteral("holiday.mp4"), QStringLiteral("2.4 GB (2 Files)"), 0, 2);
    video->appendRow(titleRow());
    model.appendRow(photos);
    model.appendRow(report);
    model.appendRow(video);

    CustomOutlineView outline;
    outline.setModel(&model);
    outline.header()->hide();
    outline.setIndentation(20);
    outline.setUniformRowHeights(false);
    darkPalette(outline, QColor(29, 29, 29));
    auto* delegate = new CustomCell(&outline);
    delegate->setSlot(Outlet::btnCheckBox, { 6, 18 });
    delegate->setSlot(Outlet::lbltextField, { 32, 190 });
    delegate->setSlot(Outlet::lblDescription, { 230, 140, Qt::AlignLeft, 12, false, QColor(160, 164, 170) });
    delegate->setSlot(Outlet::lblCount, { 380, 70, Qt::AlignRight, 13, true });
    delegate->setSlot(Outlet::lblSize, { 230, 70 });
    delegate->setSlot(Outlet::lblFilePath, { 310, -8 });
    outline.setItemDelegate(delegate);
    outline.resize(500, 330);
    outline.expand(model.index(0, 0));
    outline.expand(model.index(1, 0));
    sheet.addSample(QStringLiteral("two groups open, one closed"), outline);
    outline.selectionModel()->select(
        model.index(2, 0, model.index(0, 0)), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    sheet.addSample(QStringLiteral("a file selected (faint veil)"), outline);
    return sheet.image();
}

QWidget* lightPanel(QSize size)
{
    auto* panel = new QWidget;
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, QColor(236, 238, 241));
    panel->setPalette(palette);
    panel->resize(size);
    return panel;
}

QImage dropAndProgressPage()
{
    GallerySheet sheet(QStringLiteral("Drop box and circular progress view"));
    sheet.newRow(QStringLiteral("DragDropBox (its frame and title come from the layout)"));
    {
        std::unique_ptr<QWidget> panel(lightPanel(QSize(320, 140)));
        auto* box = new DragDropBox(panel.get());
        box->setFrameStyle(QFrame::Box | QFrame::Plain);
        box->setGeometry(10, 10, 300, 120);
        auto* label = new QLabel(QStringLiteral("Drag and drop folders here"), box);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(systemFontOfSize(15));
        label->setGeometry(box->rect());
        sheet.addSample(QStringLiteral("drop box"), *panel);
    }
    sheet.newRow(QStringLiteral("CircularProgressBarView at progress"));
    for (const double progress : { -1.0, 0.0, 0.02, 0.25, 0.6, 0.99, 1.0, 1.25, 100.0 }) {
        std::unique_ptr<QWidget> panel(lightPanel(QSize(120, 120)));
        auto* ring = new CircularProgressBarView(panel.get());
        ring->setGeometry(panel->rect());
        ring->progress = progress;
        sheet.addSample(QString::number(progress), *panel);
    }
    {
        std::unique_ptr<QWidget> panel(lightPanel(QSize(80, 140)));
        auto* ring = new CircularProgressBarView(panel.get());
        ring->setGeometry(panel->rect());
        ring->progress = 0.4;
        sheet.addSample(QStringLiteral("0.4, taller than wide"), *panel);
    }
    return sheet.image();
}

QImage popoverPage()
{
    GallerySheet sheet(QStringLiteral("Option popover, pop-up button, coloured titles"));
    sheet.newRow(QStringLiteral("OptionPopover"));
    const QString saved = currentLanguageCode;
    for (const char* language : { "en", "es" }) {
        currentLanguageCode = QString::fromLatin1(language);
        OptionPopover popover;
        popover.view();
        popover.txtHeading()->setText(QStringLiteral("Oops! No duplicates found in Music."));
        std::unique_ptr<QWidget> screen(lightPanel(QSize(320, 150)));
        darkPalette(*screen, darkScreenColor);
        auto* anchor = new QPushButton(QStringLiteral("Music"), screen.get());
        anchor->setGeometry(110, 110, 100, 28);
        popover.showPopover(anchor);
        QWidget* bubble = popover.popover();
        const QPoint at = screen->mapFromGlobal(bubble->pos());
        bubble->setParent(screen.get());
        bubble->setWindowFlags(Qt::Widget);
        bubble->move(at);
        bubble->show();
        sheet.addSample(
            language[1] == 'n' ? QStringLiteral("English: layout font") : QStringLiteral("Spanish: bold 11"), *screen);
    }
    currentLanguageCode = saved;

    sheet.newRow(QStringLiteral("CustomPopUpButton"));
    for (int white = 1; white >= 0; --white) {
        CustomPopUpButton popUp;
        popUp.addItems({ QStringLiteral("Select by Date"), QStringLiteral("Select by Size") });
        QPalette palette = popUp.palette();
        palette.setColor(QPalette::Button, QColor(59, 61, 65));
        palette.setColor(QPalette::Window, QColor(59, 61, 65));
        popUp.setPalette(palette);
        if (!white)
            popUp.setTextColor(std::nullopt);
        popUp.resize(180, 28);
        sheet.addSample(
            white ? QStringLiteral("white title (default)") : QStringLiteral("no colour: the style's"), popUp);
    }
    sheet.newRow(QStringLiteral("setColoredTitle"));
    {
        QPushButton button;
        setColoredTitle(&button, QStringLiteral("Add Folder"), QColor(23, 234, 234));
        button.resize(140, 30);
        sheet.addSample(QStringLiteral("push button, cyan title"), button);
    }
    return sheet.image();
}

const GalleryRegistration tables("controls-tables", tablesPage);
const GalleryRegistration outline("controls-outline", outlinePage);
const GalleryRegistration dropAndProgress("controls-drop-and-progress", dropAndProgressPage);
const GalleryRegistration popover("controls-popover", popoverPage);

} // namespace
