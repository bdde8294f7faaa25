#include "home/MainViewController.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/ButtonStyles.h"
#include "controls/CircularProgressBarView.h"
#include "controls/CustomCell.h"
#include "controls/CustomPopUpButton.h"
#include "controls/CustomTableView.h"
#include "controls/DragDropBox.h"
#include "controls/FolderChooser.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/NamedImage.h"
#include "controls/RAZButton.h"
#include "controls/WindowHelpers.h"
#include "core/AppNotifier.h"
#include "core/CommonFuncs.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "home/HomeLayout.h"
#include "platform/FileManager.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QUrl>

namespace {

QString name(const char* objectName)
{
    return QString::fromLatin1(objectName);
}

const QColor screenColor(29, 29, 29);
const QColor panelColor(41, 43, 46);
const QColor captionColor(160, 163, 168);
const QColor tabTextOff(140, 140, 140);

// A picture drawn from one of our named images, scaled to the label.
class ImageLabel : public QLabel {
public:
    ImageLabel(const QString& image, QWidget* parent)
        : QLabel(parent)
        , image_(NamedImage::load(image))
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        image_.drawCentred(painter, rect());
    }

private:
    NamedImage image_;
};

// The source pop-up's open list: plain titles in rows of the list's height.
class SourceItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(0, 26));
    }
};

QImage sourceTitleMark()
{
    QImage mark(QSize(12, 12) * 2, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    NamedImage::load(QStringLiteral("check_mark")).draw(painter, QRectF(0, 0, 24, 24));
    painter.end();
    return osIsBefore10_15 ? verticallyFlippedImage(mark) : mark;
}

// The source pop-up's layout: this computer, the photo catalog and the
// empty-folder cleaner, then the cloud drives. The start-up hides indexes 3,
// 5 and 6 (and 4 on the oldest systems), so only separators stand there.
constexpr std::optional<ScanSource> sourceItemOrder[] = { ScanSource::thisComputer, ScanSource::lightroomCatalog,
    ScanSource::emptyFolderCleaner, std::nullopt, std::nullopt, std::nullopt, std::nullopt, ScanSource::googleDrive,
    ScanSource::dropbox, ScanSource::oneDrive, ScanSource::box };

// A box the user clicks as a whole (the Exclude and Protect shortcuts).
class ClickBox : public QFrame {
public:
    ClickBox(std::function<void()> action, QWidget* parent)
        : QFrame(parent)
        , action_(std::move(action))
    {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && action_)
            action_();
    }

private:
    std::function<void()> action_;
};

QFrame* box(const char* objectName, QWidget* parent, const QColor& fill, int radius = 6, const QColor& border = {})
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(name(objectName));
    QString sheet = QStringLiteral("QFrame#%1 { background: %2; border-radius: %3px; %4 }")
                        .arg(frame->objectName(), fill.name())
                        .arg(radius)
                        .arg(border.isValid() ? QStringLiteral("border: 1px solid %1;").arg(border.name()) : QString());
    frame->setStyleSheet(sheet);
    return frame;
}

QPushButton* switchButton(const char* objectName, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name(objectName));
    button->setCheckable(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(systemFontOfSize(13));
    button->setStyleSheet(
        QStringLiteral(
            "QPushButton { background: #2f3134; border: 1px solid #4a4d52; border-radius: 15px; padding: 0 8px; }"
            "QPushButton:checked { background: #1f6fe5; border-color: #2f7ff2; }"
            "QPushButton:hover { border-color: #7a7e86; }")
        + focusRingStyleSheet());
    return button;
}

} // namespace

// ---------------------------------------------------------------------------

DialogFolderChooser::DialogFolderChooser(QWidget* parent)
    : parent_(parent)
{
}

void DialogFolderChooser::chooseFolders(const Options& options, std::function<void(const QStringList&)> done)
{
    // Folders only: a photo library is a folder here too.
    openFolderChooser(parent_, { localizedText(options.promptKey), localizedText(options.titleKey), QString(), true },
        std::move(done));
}

// ---------------------------------------------------------------------------

MainViewController::MainViewController(UserDefaults& defaults, ScanSources& sources, QWidget* parent)
    : QWidget(parent)
    , defaults_(defaults)
    , engine_(std::make_unique<ScanEngine>(*this, defaults, sources))
    , lists_(std::make_unique<LocationLists>(sources))
    , adder_(*lists_)
    , chooser_(std::make_unique<DialogFolderChooser>(this))
{
    setObjectName(QStringLiteral("homeView"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, screenColor);
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    resize(mainWindowContentSize);
    model_ = new HomePathModel(*lists_, this);
    buildControls();
    buildFrames();
    connectActions();
    connect(&sources, &ScanSources::listChanged, this, &MainViewController::sourceListChanged);
}

void MainViewController::sourceListChanged(ScanSource source, SourceList which)
{
    // Whoever changed it: this screen, the preferences, the selection
    // assistant, the cloud picker or a reset.
    if (source != selectedScanSource().load())
        return;
    reloadTables();
    if (which == SourceList::scan && !isScanRunning)
        updateButtonFromFileState();
}

MainViewController::~MainViewController() = default;

void MainViewController::setFolderChooser(std::unique_ptr<FolderChooser> chooser)
{
    chooser_ = std::move(chooser);
}

void MainViewController::setEmptyFolderCleanerOpener(std::function<void(QWidget*)> opener)
{
    emptyFolderCleanerOpener_ = std::move(opener);
}

void MainViewController::setPreferencesOpener(std::function<void(const std::optional<QString>&)> opener)
{
    preferencesOpener_ = std::move(opener);
}

void MainViewController::setCloudFolderPicker(std::function<void(HomeTab)> picker)
{
    cloudPicker_ = std::move(picker);
}

QLabel* MainViewController::label(const char* objectName, QWidget* parent, int fontSize, bool bold)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name(objectName));
    l->setFont(systemFontOfSize(fontSize, bold ? QFont::Bold : QFont::Normal));
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    l->setPalette(palette);
    return l;
}

CustomTableView* MainViewController::makeTable(const char* objectName, QWidget* parent)
{
    auto* table = new CustomTableView(parent);
    table->setObjectName(name(objectName));
    table->setModel(model_);
    auto* checkCell = new CustomCell(table);
    checkCell->setSlot(CustomCell::Outlet::btnCheckBox, CustomCell::Slot(10, 18));
    auto* pathCell = new CustomCell(table);
    pathCell->setSlot(CustomCell::Outlet::imgView, CustomCell::Slot(4, 22));
    pathCell->setSlot(CustomCell::Outlet::lblFilePath, CustomCell::Slot(34, -6));
    auto* subFolderCell = new CustomCell(table);
    subFolderCell->setSlot(CustomCell::Outlet::btnCheckBox, CustomCell::Slot(56, 18));
    auto* removeCell = new CustomCell(table);
    removeCell->setSlot(CustomCell::Outlet::btnDelete, CustomCell::Slot(20, 20));
    table->setItemDelegateForColumn(HomePathModel::checkColumn, checkCell);
    table->setItemDelegateForColumn(HomePathModel::pathColumn, pathCell);
    table->setItemDelegateForColumn(HomePathModel::subFoldersColumn, subFolderCell);
    table->setItemDelegateForColumn(HomePathModel::removeColumn, removeCell);
    for (CustomCell* cell : { checkCell, pathCell, subFolderCell, removeCell }) {
        connect(cell, &CustomCell::buttonTapped, this,
            [this](const QModelIndex& index, CustomCell::Outlet outlet) { cellTapped(index, int(outlet)); });
    }
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(40);
    table->setShowGrid(false);
    table->setFrameShape(QFrame::NoFrame);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->horizontalHeader()->setSectionResizeMode(HomePathModel::pathColumn, QHeaderView::Stretch);
    table->setColumnWidth(HomePathModel::checkColumn, 36);
    table->setColumnWidth(HomePathModel::subFoldersColumn, 130);
    table->setColumnWidth(HomePathModel::removeColumn, 60);
    QPalette palette = table->palette();
    palette.setColor(QPalette::Base, panelColor);
    palette.setColor(QPalette::Text, QColor(220, 222, 226));
    palette.setColor(QPalette::HighlightedText, QColor(220, 222, 226));
    table->setPalette(palette);
    table->setMenu(menu_);
    // Space is the row's check box, as a click on it.
    connect(table, &CustomTableView::checkKeyPressed, this, [this, table] {
        const QModelIndex current = table->currentIndex();
        if (!current.isValid())
            return;
        const int row = current.row();
        const int column = current.column();
        cellTapped(current.siblingAtColumn(HomePathModel::checkColumn), int(CustomCell::Outlet::btnCheckBox));
        // The list is reloaded with the change; the keys stay on the row.
        if (row < model_->rowCount())
            table->setCurrentIndex(model_->index(row, column));
    });
    return table;
}

void MainViewController::buildControls()
{
    // Step header.
    boxHeader_ = box("boxHeader", this, QColor(36, 38, 41), 0);
    (new ImageLabel(QStringLiteral("imgOne"), boxHeader_))->setObjectName(name("imgOne"));
    label("lblSelectFolderFiles", boxHeader_, 16, true);
    (new ImageLabel(QStringLiteral("imgArrow"), boxHeader_))->setObjectName(name("imgArrow"));
    (new ImageLabel(QStringLiteral("imgTwo"), boxHeader_))->setObjectName(name("imgTwo"));
    label("lblCleanDuplicates", boxHeader_, 16, true);
    (new ImageLabel(QStringLiteral("imgThree"), boxHeader_))->setObjectName(name("imgThree"));

    // Scan source.
    auto* source = new QWidget(this);
    source->setObjectName(name("viewScanSource"));
    boxScanMode_ = new QFrame(source);
    boxScanMode_->setObjectName(name("boxScanMode"));
    label("lblScanMode", boxScanMode_, 14)->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    btnScanMode_ = new CustomPopUpButton(source);
    btnScanMode_->setObjectName(name("btnScanMode"));
    btnScanMode_->setTextColor(QColor(Qt::white));
    btnScanMode_->setFont(systemFontOfSize(13));
    btnScanMode_->setStyleSheet(QStringLiteral(
        "QComboBox { background: #2f3134; color: white; border: 1px solid #4a4d52; border-radius: 5px; "
        "padding: 0 10px; }"
        "QComboBox::drop-down { border: none; width: 22px; }"
        "QComboBox QAbstractItemView { background: #2f3134; color: white; selection-background-color: #1f6fe5; }"));

    auto* dropdown = new ImageLabel(QStringLiteral("arrow_open_d"), source);
    dropdown->setObjectName(name("imgDropdown"));
    dropdown->setAttribute(Qt::WA_TransparentForMouseEvents);

    // Tabs.
    const char* boxes[] = { "boxBottomFirstTab", "boxBottomSecondTab", "boxBottomThirdTab" };
    const char* texts[] = { "textFirstTab", "textSecondTab", "textThirdTab" };
    const char* buttons[] = { "btnInclue", "btnExclude", "btnProtected" };
    for (int i = 0; i < 3; ++i) {
        tabBoxes_[i] = new QFrame(this);
        tabBoxes_[i]->setObjectName(name(boxes[i]));
        tabTexts_[i] = label(texts[i], tabBoxes_[i], 14, true);
        tabTexts_[i]->setAlignment(Qt::AlignCenter);
        auto* button = new QPushButton(tabBoxes_[i]);
        button->setObjectName(name(buttons[i]));
        button->setCheckable(true);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(
            QStringLiteral("QPushButton { background: transparent; border: none; }") + focusRingStyleSheet());
        tabButtons_[i] = button;
    }
    btnSetting_ = new RAZButton(this);
    btnSetting_->setObjectName(name("btnSetting"));

    // Context menu of the tables.
    menu_ = new QMenu(this);
    menuRevelInFinder_ = menu_->addAction(QString());
    menuRevelInFinder_->setData(0);
    menu_->addSeparator();
    menuCheckAll_ = menu_->addAction(QString());
    menuCheckAll_->setData(1);
    menuUncheckAll_ = menu_->addAction(QString());
    menuUncheckAll_->setData(2);
    menu_->addSeparator();
    menuRemoveFromScanList_ = menu_->addAction(QString());
    menuRemoveFromScanList_->setData(3);
    menuRemoveAllFromScanList_ = menu_->addAction(QString());
    menuRemoveAllFromScanList_->setData(4);

    // Path tables.
    auto* container = box("containerView", this, panelColor, 6);
    const char* views[] = { "viewInclude", "viewExclude", "viewProtect" };
    const char* tables[] = { "tblInclude", "tblExcludes", "tblProtected" };
    for (int i = 0; i < 3; ++i) {
        tabViews_[i] = new QWidget(container);
        tabViews_[i]->setObjectName(name(views[i]));
        tables_[i] = makeTable(tables[i], tabViews_[i]);
    }
    for (const char* heading : { "lblFolderPathInclude", "lblIncludeSubFolderInclude", "lblActionInclude" })
        label(heading, tabViews_[0], 12, true)->setPalette(tabTexts_[0]->palette());
    label("lblHeaderExclude", tabViews_[1], 12, true);
    for (const char* heading : { "lblFolderPathProtect", "lblIncludeSubFolderProtect", "lblActionProtect" })
        label(heading, tabViews_[2], 12, true);
    for (QWidget* view : tabViews_) {
        for (QLabel* heading : view->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            QPalette palette = heading->palette();
            palette.setColor(QPalette::WindowText, captionColor);
            heading->setPalette(palette);
            heading->setAlignment(heading->objectName().contains(QLatin1String("FolderPath"))
                        || heading->objectName() == QLatin1String("lblHeaderExclude")
                    ? Qt::AlignLeft | Qt::AlignVCenter
                    : Qt::AlignCenter);
        }
    }

    // File-type switches.
    btnAllFilesSelected_ = switchButton("btnAllFilesSelected", this);
    btnCustomScanSelected_ = switchButton("btnCustomScanSelected", this);
    using C = GlobalObjects::FileCategory;
    const std::pair<C, const char*> categories[] = { { C::Doc, "btnDocumentsSelected" },
        { C::Pic, "btnPhotosSelected" }, { C::Music, "btnMusicSelected" }, { C::Video, "btnVideosSelected" },
        { C::Archive, "btnArchivesSelected" }, { C::Others, "btnOthersSelected" } };
    for (const auto& [category, objectName] : categories)
        categoryButtons_[int(category)] = switchButton(objectName, this);

    // Adding locations.
    auto* right = box("boxRightDragDrop", this, panelColor, 6);
    boxSelectFolder_ = new DragDropBox(right);
    boxSelectFolder_->setObjectName(name("boxSelectFolder"));
    (new ImageLabel(QStringLiteral("imgDragDrop"), boxSelectFolder_))->setObjectName(name("imgDragDrop"));
    label("lblDragDropHere", boxSelectFolder_, 17, true)->setAlignment(Qt::AlignCenter);
    QLabel* info = label("lblDragDropInfo", boxSelectFolder_, 12);
    info->setAlignment(Qt::AlignCenter);
    info->setWordWrap(true);
    info->setPalette([&] {
        QPalette p = info->palette();
        p.setColor(QPalette::WindowText, captionColor);
        return p;
    }());
    btnAddPath_ = new RAZButton(right);
    btnAddPath_->setObjectName(name("btnAddPath"));
    const std::pair<const char*, const char*> shortcuts[]
        = { { "boxRightExclude", "lblExcludeFolderBtn" }, { "boxRightProtected", "lblProtectFolderBtn" } };
    for (const auto& [boxName, labelName] : shortcuts) {
        const bool exclude = QLatin1String(boxName) == QLatin1String("boxRightExclude");
        auto* shortcut
            = new ClickBox([this, exclude] { exclude ? btnExcluderFolderTapped() : btnProtectFolderTapped(); }, this);
        shortcut->setObjectName(name(boxName));
        shortcut->setStyleSheet(
            QStringLiteral("QFrame#%1 { background: %2; border-radius: 6px; }").arg(name(boxName), panelColor.name()));
        (new ImageLabel(exclude ? QStringLiteral("exclude_icon") : QStringLiteral("protect_icon"), shortcut))
            ->setObjectName(name(exclude ? "imgExcludeFolderBtn" : "imgProtectFolderBtn"));
        label(labelName, shortcut, 14);
    }

    // Last-scan box.
    auto* last = box("boxLastScan", this, panelColor, 6);
    (new ImageLabel(QStringLiteral("imgLastScan"), last))->setObjectName(name("imgLastScan"));
    label("lblLastScanStatus", last, 17, true);
    lblLastScanTIme_ = label("lblLastScanTIme", last, 12);
    lblLastScanTIme_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    (new ImageLabel(QStringLiteral("imgDupCount"), last))->setObjectName(name("imgDupCount"));
    lblLastScanDupFileCount_ = label("lblLastScanDupFileCount", last, 15, true);
    lblLastScanDupFileCount_->setText(QStringLiteral("0"));
    label("lblDuplicateFilesFound", last, 11)->setWordWrap(true);
    (new ImageLabel(QStringLiteral("imgDupSpace"), last))->setObjectName(name("imgDupSpace"));
    lblLastScanDupFileSize_ = label("lblLastScanDupFileSize", last, 15, true);
    lblLastScanDupFileSize_->setText(getSizeInUnits(0.0));
    label("lblSpaceToBeSaved", last, 11)->setWordWrap(true);
    infoIcon_ = new ImageLabel(QStringLiteral("infoIcon"), last);
    infoIcon_->setObjectName(name("infoIcon"));
    lblAddFolderToFindDups_ = label("lblAddFolderToFindDups", last, 12);
    lblAddFolderToFindDups_->setWordWrap(true);
    btnLastScanResult_ = new LinkButton(last);
    btnLastScanResult_->setObjectName(name("btnLastScanResult"));
    for (const char* caption : { "lblLastScanTIme", "lblDuplicateFilesFound", "lblSpaceToBeSaved" }) {
        QLabel* l = last->findChild<QLabel*>(name(caption));
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, captionColor);
        l->setPalette(p);
    }

    // Footer and Scan Now.
    auto* footer = box("boxFooterFirst", this, QColor(36, 38, 41), 0);
    btnScanNow_ = new IMGButton(footer);
    btnScanNow_->setObjectName(name("btnScanNow"));

    // The scanning view, over everything between header and footer.
    boxScanDetail_ = box("boxScanDetail", this, screenColor, 0);
    auto* report = new QWidget(boxScanDetail_);
    report->setObjectName(name("viewDiskReport"));
    label("lblScanningInProgress", report, 22, true)->setAlignment(Qt::AlignCenter);
    imgViewProgress_ = new ImageLabel(QStringLiteral("imgViewProgress"), report);
    imgViewProgress_->setObjectName(name("imgViewProgress"));
    boxWindowScanning_ = box("boxWindowScanning", report, panelColor, 10);
    label("lblAddingPhotos", boxWindowScanning_, 15, true)->setAlignment(Qt::AlignCenter);
    progressCircular_ = new CircularProgressBarView(boxWindowScanning_);
    progressCircular_->setObjectName(name("progressCircular"));
    label("lblScanPer", boxWindowScanning_, 26, true)->setAlignment(Qt::AlignCenter);
    QLabel* patience = label("lblBePatient", boxWindowScanning_, 12);
    patience->setAlignment(Qt::AlignCenter);
    patience->setWordWrap(true);
    const char* captions[] = { "lblFilesScanned", "lblFileProcessedStr", "lblFileComparedStr" };
    const char* values[] = { "lblFileScanCount", "lblFileProcessed", "lblFileCompared" };
    for (int i = 0; i < 3; ++i) {
        QLabel* caption = label(captions[i], report, 13);
        caption->setAlignment(Qt::AlignCenter);
        QPalette p = caption->palette();
        p.setColor(QPalette::WindowText, captionColor);
        caption->setPalette(p);
        label(values[i], report, 20, true)->setAlignment(Qt::AlignCenter);
    }
    // The stage word, over the counters it speaks for, in a lighter blue than
    // the progress ring's, to read well on the dark view.
    QLabel* stage = label("lblAdd", report, 12, true);
    stage->setAlignment(Qt::AlignCenter);
    QPalette stagePalette = stage->palette();
    stagePalette.setColor(QPalette::WindowText, QColor(64, 156, 255));
    stage->setPalette(stagePalette);
    lblScannedFilePath_ = label("lblScannedFilePath", report, 12);
    lblScannedFilePath_->setAlignment(Qt::AlignCenter);
    lblScannedFilePath_->setPalette(report->findChild<QLabel*>(name("lblFilesScanned"))->palette());
    btnAbortScanning_ = new RAZButton(report);
    btnAbortScanning_->setObjectName(name("btnAbortScanning"));
    btnShowResultDetail_ = new RAZButton(report);
    btnShowResultDetail_->setObjectName(name("btnShowResultDetail"));
    btnBackToAddFolder_ = new RAZButton(report);
    btnBackToAddFolder_->setObjectName(name("btnBackToAddFolder"));
    boxScanDetail_->hide();
}

void MainViewController::buildFrames()
{
    frames_ = FrameTable {
        { name("boxHeader"), { 0, 630, 1082, 70 } },
        { name("imgOne"), { 30, 19, 32, 32 } },
        { name("lblSelectFolderFiles"), { 72, 20, 230, 30 } },
        { name("imgArrow"), { 306, 25, 64, 20 } },
        { name("imgTwo"), { 380, 19, 32, 32 } },
        { name("lblCleanDuplicates"), { 422, 20, 230, 30 } },
        { name("imgThree"), { 1020, 17, 36, 36 } },
        { name("viewScanSource"), { 20, 586, 420, 34 } },
        { name("boxScanMode"), { 0, 0, 95, 34 } },
        { name("lblScanMode"), { 0, 0, 90, 34 } },
        { name("btnScanMode"), { 95, 2, 230, 30 } },
        { name("imgDropdown"), { 303, 11, 12, 12 } },
        { name("boxBottomFirstTab"), { 20, 538, 172, 40 } },
        { name("boxBottomSecondTab"), { 196, 538, 172, 40 } },
        { name("boxBottomThirdTab"), { 372, 538, 172, 40 } },
        { name("textFirstTab"), { 0, 0, 172, 40 } },
        { name("textSecondTab"), { 0, 0, 172, 40 } },
        { name("textThirdTab"), { 0, 0, 172, 40 } },
        { name("btnInclue"), { 0, 0, 172, 40 } },
        { name("btnExclude"), { 0, 0, 172, 40 } },
        { name("btnProtected"), { 0, 0, 172, 40 } },
        { name("btnSetting"), { 590, 542, 130, 32 } },
        { name("containerView"), { 20, 140, 700, 394 } },
        { name("viewInclude"), { 0, 0, 700, 394 } },
        { name("viewExclude"), { 0, 0, 700, 394 } },
        { name("viewProtect"), { 0, 0, 700, 394 } },
        { name("tblInclude"), { 0, 4, 700, 356 } },
        { name("tblExcludes"), { 0, 4, 700, 356 } },
        { name("tblProtected"), { 0, 4, 700, 356 } },
        { name("lblFolderPathInclude"), { 70, 362, 300, 30 } },
        { name("lblIncludeSubFolderInclude"), { 510, 362, 130, 30 } },
        { name("lblActionInclude"), { 640, 362, 60, 30 } },
        { name("lblHeaderExclude"), { 16, 362, 600, 30 } },
        { name("lblFolderPathProtect"), { 70, 362, 300, 30 } },
        { name("lblIncludeSubFolderProtect"), { 510, 362, 130, 30 } },
        { name("lblActionProtect"), { 640, 362, 60, 30 } },
        { name("btnAllFilesSelected"), { 20, 92, 98, 32 } },
        { name("btnCustomScanSelected"), { 122, 92, 112, 32 } },
        { name("btnDocumentsSelected"), { 250, 92, 100, 32 } },
        { name("btnPhotosSelected"), { 354, 92, 74, 32 } },
        { name("btnMusicSelected"), { 432, 92, 70, 32 } },
        { name("btnVideosSelected"), { 506, 92, 72, 32 } },
        { name("btnArchivesSelected"), { 582, 92, 80, 32 } },
        { name("btnOthersSelected"), { 666, 92, 68, 32 } },
        { name("boxRightDragDrop"), { 746, 318, 316, 302 } },
        { name("boxSelectFolder"), { 10, 56, 296, 236 } },
        { name("imgDragDrop"), { 108, 130, 80, 70 } },
        { name("lblDragDropHere"), { 0, 92, 296, 30 } },
        { name("lblDragDropInfo"), { 20, 22, 256, 62 } },
        { name("btnAddPath"), { 98, 12, 120, 34 } },
        { name("boxRightExclude"), { 746, 264, 316, 46 } },
        { name("imgExcludeFolderBtn"), { 14, 11, 24, 24 } },
        { name("lblExcludeFolderBtn"), { 50, 11, 250, 24 } },
        { name("boxRightProtected"), { 746, 210, 316, 46 } },
        { name("imgProtectFolderBtn"), { 14, 11, 24, 24 } },
        { name("lblProtectFolderBtn"), { 50, 11, 250, 24 } },
        { name("boxLastScan"), { 746, 84, 316, 118 } },
        { name("imgLastScan"), { 14, 84, 22, 22 } },
        { name("lblLastScanStatus"), { 44, 82, 110, 26 } },
        { name("lblLastScanTIme"), { 110, 82, 194, 26 } },
        { name("imgDupCount"), { 14, 44, 26, 26 } },
        { name("lblLastScanDupFileCount"), { 48, 52, 100, 22 } },
        { name("lblDuplicateFilesFound"), { 48, 34, 110, 18 } },
        { name("imgDupSpace"), { 164, 44, 26, 26 } },
        { name("lblLastScanDupFileSize"), { 198, 52, 110, 22 } },
        { name("lblSpaceToBeSaved"), { 198, 34, 110, 18 } },
        { name("infoIcon"), { 14, 8, 18, 18 } },
        { name("lblAddFolderToFindDups"), { 38, 6, 266, 22 } },
        { name("btnLastScanResult"), { 38, 6, 120, 22 } },
        { name("boxFooterFirst"), { 0, 0, 1082, 76 } },
        { name("btnScanNow"), { 416, 14, 250, 48 } },
        { name("boxScanDetail"), { 0, 76, 1082, 554 } },
        { name("viewDiskReport"), { 40, 10, 1002, 534 } },
        { name("lblScanningInProgress"), { 0, 480, 1002, 40 } },
        { name("imgViewProgress"), { 336, 484, 32, 32 } },
        { name("boxWindowScanning"), { 351, 190, 300, 272 } },
        { name("lblAddingPhotos"), { 0, 234, 300, 26 } },
        { name("progressCircular"), { 70, 62, 160, 160 } },
        { name("lblScanPer"), { 70, 122, 160, 40 } },
        { name("lblBePatient"), { 10, 12, 280, 40 } },
        { name("lblAdd"), { 0, 160, 1002, 20 } },
        { name("lblFilesScanned"), { 111, 130, 260, 22 } },
        { name("lblFileScanCount"), { 111, 100, 260, 30 } },
        { name("lblFileProcessedStr"), { 371, 130, 260, 22 } },
        { name("lblFileProcessed"), { 371, 100, 260, 30 } },
        { name("lblFileComparedStr"), { 631, 130, 260, 22 } },
        { name("lblFileCompared"), { 631, 100, 260, 30 } },
        { name("lblScannedFilePath"), { 40, 64, 922, 24 } },
        { name("btnAbortScanning"), { 426, 14, 150, 36 } },
        { name("btnShowResultDetail"), { 341, 14, 150, 36 } },
        { name("btnBackToAddFolder"), { 511, 14, 150, 36 } },
    };
}

FrameTable MainViewController::framesForSize() const
{
    if (width() >= mainWindowContentSize.width() && height() >= mainWindowContentSize.height())
        return frames_;
    // The small screens' window (960 x 600): both columns narrower, the lists
    // and the scanning view shorter; the header and footer keep their height.
    FrameTable compact = frames_;
    const double w = width();
    const double h = height();
    const double top = h - 70;
    const std::pair<const char*, LayoutFrame> edits[] = {
        { "boxHeader", { 0, top, w, 70 } },
        { "imgThree", { w - 62, 17, 36, 36 } },
        { "viewScanSource", { 20, top - 44, 420, 34 } },
        { "boxBottomFirstTab", { 20, top - 92, 160, 40 } },
        { "boxBottomSecondTab", { 184, top - 92, 160, 40 } },
        { "boxBottomThirdTab", { 348, top - 92, 160, 40 } },
        { "textFirstTab", { 0, 0, 160, 40 } },
        { "textSecondTab", { 0, 0, 160, 40 } },
        { "textThirdTab", { 0, 0, 160, 40 } },
        { "btnInclue", { 0, 0, 160, 40 } },
        { "btnExclude", { 0, 0, 160, 40 } },
        { "btnProtected", { 0, 0, 160, 40 } },
        { "btnSetting", { 532, top - 88, 120, 32 } },
        { "containerView", { 20, 128, 632, top - 96 - 128 } },
        { "viewInclude", { 0, 0, 632, top - 224 } },
        { "viewExclude", { 0, 0, 632, top - 224 } },
        { "viewProtect", { 0, 0, 632, top - 224 } },
        { "tblInclude", { 0, 4, 632, top - 264 } },
        { "tblExcludes", { 0, 4, 632, top - 264 } },
        { "tblProtected", { 0, 4, 632, top - 264 } },
        { "lblFolderPathInclude", { 70, top - 258, 260, 30 } },
        { "lblIncludeSubFolderInclude", { 442, top - 258, 130, 30 } },
        { "lblActionInclude", { 572, top - 258, 60, 30 } },
        { "lblHeaderExclude", { 16, top - 258, 560, 30 } },
        { "lblFolderPathProtect", { 70, top - 258, 260, 30 } },
        { "lblIncludeSubFolderProtect", { 442, top - 258, 130, 30 } },
        { "lblActionProtect", { 572, top - 258, 60, 30 } },
        { "btnAllFilesSelected", { 20, 88, 82, 32 } },
        { "btnCustomScanSelected", { 106, 88, 104, 32 } },
        { "btnDocumentsSelected", { 220, 88, 92, 32 } },
        { "btnPhotosSelected", { 316, 88, 66, 32 } },
        { "btnMusicSelected", { 386, 88, 60, 32 } },
        { "btnVideosSelected", { 450, 88, 64, 32 } },
        { "btnArchivesSelected", { 518, 88, 72, 32 } },
        { "btnOthersSelected", { 594, 88, 62, 32 } },
        { "boxRightDragDrop", { w - 288, top - 234, 272, 224 } },
        { "boxSelectFolder", { 10, 52, 252, 166 } },
        { "imgDragDrop", { 96, 96, 60, 52 } },
        { "lblDragDropHere", { 0, 64, 252, 28 } },
        { "lblDragDropInfo", { 10, 6, 232, 56 } },
        { "btnAddPath", { 76, 10, 120, 34 } },
        { "boxRightExclude", { w - 288, top - 288, 272, 44 } },
        { "imgExcludeFolderBtn", { 14, 10, 24, 24 } },
        { "lblExcludeFolderBtn", { 50, 10, 210, 24 } },
        { "boxRightProtected", { w - 288, top - 338, 272, 44 } },
        { "imgProtectFolderBtn", { 14, 10, 24, 24 } },
        { "lblProtectFolderBtn", { 50, 10, 210, 24 } },
        { "boxLastScan", { w - 288, 84, 272, 100 } },
        { "imgLastScan", { 12, 70, 20, 20 } },
        { "lblLastScanStatus", { 38, 67, 110, 26 } },
        { "lblLastScanTIme", { 100, 67, 160, 26 } },
        { "imgDupCount", { 12, 34, 22, 22 } },
        { "lblLastScanDupFileCount", { 40, 42, 100, 22 } },
        { "lblDuplicateFilesFound", { 40, 24, 106, 18 } },
        { "imgDupSpace", { 150, 34, 22, 22 } },
        { "lblLastScanDupFileSize", { 176, 42, 92, 22 } },
        { "lblSpaceToBeSaved", { 176, 24, 92, 18 } },
        { "infoIcon", { 12, 5, 18, 18 } },
        { "lblAddFolderToFindDups", { 36, 2, 230, 22 } },
        { "btnLastScanResult", { 36, 2, 120, 22 } },
        { "boxFooterFirst", { 0, 0, w, 76 } },
        { "boxScanDetail", { 0, 76, w, top - 76 } },
        { "viewDiskReport", { 20, 4, w - 40, top - 84 } },
        { "lblScanningInProgress", { 0, top - 128, w - 40, 36 } },
        { "imgViewProgress", { (w - 40) / 2 - 165, top - 126, 32, 32 } },
        { "boxWindowScanning", { (w - 40) / 2 - 150, 150, 300, 236 } },
        { "lblAddingPhotos", { 0, 202, 300, 26 } },
        { "progressCircular", { 80, 54, 140, 140 } },
        { "lblScanPer", { 80, 104, 140, 40 } },
        { "lblBePatient", { 10, 8, 280, 40 } },
        { "lblAdd", { 0, 124, w - 40, 20 } },
        { "lblFilesScanned", { (w - 40) / 2 - 390, 96, 260, 22 } },
        { "lblFileScanCount", { (w - 40) / 2 - 390, 68, 260, 30 } },
        { "lblFileProcessedStr", { (w - 40) / 2 - 130, 96, 260, 22 } },
        { "lblFileProcessed", { (w - 40) / 2 - 130, 68, 260, 30 } },
        { "lblFileComparedStr", { (w - 40) / 2 + 130, 96, 260, 22 } },
        { "lblFileCompared", { (w - 40) / 2 + 130, 68, 260, 30 } },
        { "lblScannedFilePath", { 20, 46, w - 80, 22 } },
        { "btnAbortScanning", { (w - 40) / 2 - 75, 8, 150, 34 } },
        { "btnShowResultDetail", { (w - 40) / 2 - 160, 8, 150, 34 } },
        { "btnBackToAddFolder", { (w - 40) / 2 + 10, 8, 150, 34 } },
    };
    for (const auto& [controlName, frame] : edits)
        compact[name(controlName)] = frame;
    LayoutFrame& scanNow = compact[name("btnScanNow")];
    scanNow.x = w / 2 - scanNow.width / 2;
    return compact;
}

void MainViewController::keepLanguageFramesInside()
{
    // A language's taller Scan Now would reach below the footer: it stays
    // centred in it instead.
    LayoutFrame& scanNow = frames_[name("btnScanNow")];
    const LayoutFrame& footer = frames_[name("boxFooterFirst")];
    if (scanNow.y < 0 || scanNow.y + scanNow.height > footer.height)
        scanNow.y = std::round((footer.height - scanNow.height) / 2);
    // A long date's two lines would run over the counts below them: they
    // sit above the counts, under the status line.
    LayoutFrame& time = frames_[name("lblLastScanTIme")];
    const LayoutFrame& count = frames_[name("lblLastScanDupFileSize")];
    if (time.y < count.y + count.height)
        time.y = count.y + count.height;
}

void MainViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void MainViewController::placeControls()
{
    // The compact frames are made for the present size; the base frames for
    // the window's content size, and a larger window grows them from there.
    const bool compact = width() < mainWindowContentSize.width() || height() < mainWindowContentSize.height();
    framesForSize().apply(this, homeResizing(), QSizeF(compact ? size() : mainWindowContentSize));
}

// ---- Set-up ------------------------------------------------------------------

void MainViewController::styleControls()
{
    btnScanNow_->setMakeBoldFont(true);
    btnScanNow_->setFontSizeForButton(18);
    btnScanNow_->setButtonImages(QStringLiteral("blue_left_btn"), QStringLiteral("blue_mid_btn"),
        QStringLiteral("blue_right_btn"), QStringLiteral("blue_left_btn"), QStringLiteral("blue_mid_btn"),
        QStringLiteral("blue_right_btn"), QStringLiteral("blue_left_btn"), QStringLiteral("blue_mid_btn"),
        QStringLiteral("blue_right_btn"), QStringLiteral("grey_left_btn"), QStringLiteral("grey_mid_btn"),
        QStringLiteral("grey_right_btn"), QStringLiteral("grey_left_btn"), QStringLiteral("grey_mid_btn"),
        QStringLiteral("grey_right_btn"), QStringLiteral("grey_left_btn"), QStringLiteral("grey_mid_btn"),
        QStringLiteral("grey_right_btn"));
    btnScanNow_->setState(0);
    btnScanNow_->setColorOnState(Qt::white);
    const QColor dimmed = QColor::fromRgbF(0.8f, 0.8f, 0.8f, 1.0f);
    btnScanNow_->setColorOffStateDis(dimmed);
    btnScanNow_->setColorOnStateDis(dimmed);
    btnScanNow_->setColorOffState(dimmed);

    btnLastScanResult_->setTitle(localizedText("ID_VIEW_DETAILS"), 13, false, QColor(Qt::white));
    applyHomeButtonStyle(btnShowResultDetail_);
    applyHomeButtonStyle(btnBackToAddFolder_);
    applyHomeSecondaryButtonStyle(btnAbortScanning_);
    const auto rgb = [](int r, int g, int b) { return QColor(r, g, b); };
    btnSetting_->setButtonInsideColor(rgb(49, 49, 49), rgb(190, 190, 190), Qt::white, rgb(23, 234, 234),
        rgb(49, 49, 49), rgb(169, 169, 169), 0, 13, false, false, 0);
    btnAddPath_->setButtonInsideColor(rgb(47, 47, 47), rgb(190, 190, 190), rgb(255, 255, 255), rgb(23, 234, 234),
        rgb(23, 23, 23), rgb(169, 169, 169), 3, 13, false, false, 1);
    for (RAZButton* button : { btnSetting_, btnAddPath_, btnAbortScanning_, btnShowResultDetail_, btnBackToAddFolder_ })
        button->setFont(systemFontOfSize(13));
}

void MainViewController::localizeHomeScreen()
{
    const auto setLabel = [this](const char* objectName, const char* key) {
        if (auto* l = findChild<QLabel*>(name(objectName)))
            l->setText(localizedText(key));
    };
    const std::pair<const char*, const char*> labels[] = {
        { "lblAdd", "ID_ADDING" },
        { "lblBePatient", "ID_PLEASE_PATIENCE_SEARCHING_FILES" },
        { "lblLastScanStatus", "ID_LAST_SCAN_STATUS" },
        { "lblDuplicateFilesFound", "ID_DUPLICATE_FILES_FOUND" },
        { "lblAddFolderToFindDups", "ID_ADD_FOLDER_TO_FIND_DUPLICATES" },
        { "lblSpaceToBeSaved", "ID_SPACE_TO_BE_SAVED" },
        { "lblExcludeFolderBtn", "ID_EXCLUDE_FOLDER" },
        { "lblProtectFolderBtn", "ID_PROTECT_FOLDER" },
        { "textThirdTab", "ID_PROTECTED_FOLDERS" },
        { "textSecondTab", "ID_EXCLUDE_FILE_FOLDER" },
        { "textFirstTab", "ID_INCLUDE_FILE_FOLDER" },
        { "lblScanMode", "ID_SCAN_MODE" },
        { "lblDragDropInfo", "ID_DRAG_FOLDER_FROM_FINDER_TO_SCAN_FOR_DUPLICATES_FILES" },
        { "lblDragDropHere", "ID_DRAG_DROP_HERE" },
        { "lblLastScanTIme", "ID_NO_SCAN_PERFORMED_YET" },
        { "lblHeaderExclude", "ID_EXCLUDE_FOLLOWING_FILES_FROM_SCANNING" },
        { "lblActionInclude", "ID_ACTION" },
        { "lblActionProtect", "ID_ACTION" },
        { "lblFolderPathInclude", "ID_FOLDER_PATH" },
        { "lblFolderPathProtect", "ID_FOLDER_PATH" },
        { "lblIncludeSubFolderInclude", "ID_INCLUDE_SUB_FOLDER" },
        { "lblIncludeSubFolderProtect", "ID_INCLUDE_SUB_FOLDER" },
        { "lblFileProcessedStr", "ID_FILES_ADDED" },
        { "lblFileComparedStr", "ID_FILES_COMPARED" },
        { "lblSelectFolderFiles", "ID_SELECT_FOLDER_AND_FILES" },
        { "lblCleanDuplicates", "ID_CLEAN_DUPLICATES" },
        { "lblFilesScanned", "ID_FILES_SCANNED" },
        { "lblScanningInProgress", "ID_SCANNING_IN_PROGRESS" },
    };
    for (const auto& [objectName, key] : labels)
        setLabel(objectName, key);
    menuRevelInFinder_->setText(localizedText("ID_REVEAL_IN_FINDER"));
    menuCheckAll_->setText(localizedText("ID_CHECK_ALL"));
    menuUncheckAll_->setText(localizedText("ID_UNCHECK_ALL"));
    menuRemoveFromScanList_->setText(localizedText("ID_REMOVE_FROM_SCAN_LIST"));
    menuRemoveAllFromScanList_->setText(localizedText("ID_REMOVE_ALL_FROM_SCAN_LIST"));
    btnAbortScanning_->setText(localizedText("ID_STOP"));
    btnShowResultDetail_->setText(localizedText("ID_VIEW_DETAILS"));
    btnBackToAddFolder_->setText(localizedText("ID_BACK"));
    btnSetting_->setText(localizedText("ID_SETTINGS"));

    using C = GlobalObjects::FileCategory;
    const std::pair<QAbstractButton*, const char*> switches[]
        = { { btnAllFilesSelected_, "ID_ALL_FILES" }, { btnCustomScanSelected_, "ID_CUSTOM_SCAN" },
              { categoryButtons_[int(C::Doc)], "ID_DOCUMENTS" }, { categoryButtons_[int(C::Pic)], "ID_PHOTOS" },
              { categoryButtons_[int(C::Video)], "ID_VIDEOS" }, { categoryButtons_[int(C::Music)], "ID_MUSIC" },
              { categoryButtons_[int(C::Archive)], "ID_ARCHIVES" }, { categoryButtons_[int(C::Others)], "ID_OTHERS" } };
    for (const auto& [button, key] : switches) {
        button->setText(localizedText(key));
        setColoredTitle(button, localizedText(key), Qt::white);
    }

    // The source pop-up: each item's title follows its tag.
    btnScanMode_->clear();
    for (const std::optional<ScanSource> source : sourceItemOrder) {
        if (!source)
            btnScanMode_->insertSeparator(btnScanMode_->count());
        else
            btnScanMode_->addItem(localizedText(scanSourceTitleKey(*source)), scanSourceTag(*source));
    }
}

std::optional<ScanSource> scanSourceOfTag(qint64 tag)
{
    return scanSourceFromRaw(tag - scanSourceTag(ScanSource::thisComputer));
}

const char* scanSourceTitleKey(ScanSource source)
{
    switch (source) {
    case ScanSource::thisComputer:
        break;
    case ScanSource::googleDrive:
        return "ID_GOOGLE_DRIVE";
    case ScanSource::dropbox:
        return "ID_DROPBOX";
    case ScanSource::oneDrive:
        return "ID_ONEDRIVE";
    case ScanSource::box:
        return "ID_BOXCLOUD";
    case ScanSource::lightroomCatalog:
        return "ID_LIGHTROOM_CATALOG";
    case ScanSource::emptyFolderCleaner:
        return "ID_EMPTY_FOLDERS";
    }
    return "ID_FINDER";
}

void MainViewController::viewDidLoad()
{
    localizeHomeScreen();
    btnAddPath_->setToolTip(localizedText("ID_ADD_FOLDER_PHOTOS_LIBRARY"));
    btnAddPath_->setText(localizedText("ID_ADD_FOLDER"));
    btnScanNow_->setText(localizedText("ID_SCAN_FOR_DUPLICATES"));
    styleControls();

    for (int i = 0; i < 3; ++i)
        tabViews_[i]->setVisible(i == 0);
    showLastScanHint();
    lists_->loadSavedScanList();
    lists_->restoreExcludedFolders();
    lists_->restoreProtectedFolders();
    updateButtonFromFileState();
    engine_->refreshLastScanStatus();

    connect(&AppNotifier::instance(), &AppNotifier::FileDragDropNotification, this,
        &MainViewController::handleFileDragDropNotification);
    connect(
        &AppNotifier::instance(), &AppNotifier::UpdateLastScanStatus, this, &MainViewController::handelLastScanStatus);
    allFilesAndCustomScanOptsTapped(CategorySwitches::allFilesTag);

    btnScanMode_->setCurrentIndex(std::max(0, btnScanMode_->findData(scanSourceTag(selectedScanSource().load()))));
    for (int i = 0; i < 3; ++i)
        tabButtons_[i]->setToolTip(tabTexts_[i]->text());

    btnScanMode_->setItemHidden(3, true);
    btnScanMode_->setItemHidden(4, osIs10_11);
    btnScanMode_->setItemHidden(5, true);
    btnScanMode_->setItemHidden(6, true);
    // A turn of the wheel while passing over the button must not switch
    // sources and start a sign-in.
    btnScanMode_->setSwitchesOnWheel(false);
    // The closed button marks the chosen source; the open list is plain.
    btnScanMode_->setTitleMark(sourceTitleMark());
    btnScanMode_->view()->setItemDelegate(new SourceItemDelegate(btnScanMode_));
    btnScanMode_->view()->setFont(systemFontOfSize(13));
    tabChanged(1);
    layoutHomeScreen();
}

void MainViewController::showLastScanHint()
{
    const bool none = lastScanResultGroups().empty();
    infoIcon_->setVisible(none);
    lblAddFolderToFindDups_->setVisible(none);
    btnLastScanResult_->setVisible(!none);
}

void MainViewController::handelLastScanStatus()
{
    engine_->refreshLastScanStatus();
}

void MainViewController::layoutHomeScreen()
{
    const auto labelWidth
        = [this](const char* objectName) { return textWidthOfControl(findChild<QLabel*>(name(objectName))); };
    HomeTextWidths widths;
    widths.scanNowTitle = textWidthOfButtonTitle(btnScanNow_);
    widths.dragDropHere = labelWidth("lblDragDropHere");
    if (auto* status = findChild<QLabel*>(name("lblLastScanStatus"))) {
        status->setFont(systemFontOfSize(18, QFont::DemiBold));
        widths.lastScanStatusAt18 = textWidthOfControl(status);
        status->setFont(systemFontOfSize(17, QFont::Bold));
    }
    widths.spaceToBeSaved = labelWidth("lblSpaceToBeSaved");
    widths.allFilesTitle = textWidthOfButtonTitle(btnAllFilesSelected_);
    widths.duplicateFilesFound = labelWidth("lblDuplicateFilesFound");
    widths.addFolderHint = labelWidth("lblAddFolderToFindDups");
    widths.addPathTitle = textWidthOfButtonTitle(btnAddPath_);
    widths.scanModeLabel = labelWidth("lblScanMode");
    widths.protectFolderBtn = labelWidth("lblProtectFolderBtn");
    widths.excludeFolderBtn = labelWidth("lblExcludeFolderBtn");
    // The base frames are for the window's content size, whatever the present one.
    for (const FontEdit& edit :
        applyHomeLayoutRules(frames_, widths, currentLanguageCode, mainWindowContentSize.width())) {
        if (auto* widget = findChild<QWidget*>(edit.name))
            widget->setFont(edit.font);
    }
    keepLanguageFramesInside();
    placeControls();
    btnScanNow_->update();
}

// ---- Actions -----------------------------------------------------------------

void MainViewController::connectActions()
{
    for (int i = 0; i < 3; ++i)
        connect(tabButtons_[i], &QAbstractButton::clicked, this, [this, i] { tabChanged(i + 1); });
    connect(btnSetting_, &QAbstractButton::clicked, this, [this] { tabChanged(4); });
    connect(btnAddPath_, &QAbstractButton::clicked, this, &MainViewController::btnAddPathToScan);
    connect(btnScanNow_, &QAbstractButton::clicked, engine_.get(), &ScanEngine::btnStartScanTapped);
    connect(btnAbortScanning_, &QAbstractButton::clicked, engine_.get(), &ScanEngine::abortScanning);
    // Back while a finished scan waits for its hand-over keeps the user here.
    connect(btnBackToAddFolder_, &QAbstractButton::clicked, this, [this] {
        engine_->leaveFinishingScans();
        showHomeView();
    });
    connect(btnShowResultDetail_, &QAbstractButton::clicked, this, [this] {
        if (lastResult_)
            showResults(lastResult_);
    });
    connect(btnLastScanResult_, &QAbstractButton::clicked, engine_.get(), &ScanEngine::loadLastScanResult);
    connect(btnAllFilesSelected_, &QAbstractButton::clicked, this,
        [this] { allFilesAndCustomScanOptsTapped(CategorySwitches::allFilesTag); });
    connect(btnCustomScanSelected_, &QAbstractButton::clicked, this,
        [this] { allFilesAndCustomScanOptsTapped(CategorySwitches::customScanTag); });
    for (int i = 0; i < fileCategoryCount; ++i) {
        const int tag = CategorySwitches::tagOfCategory(GlobalObjects::FileCategory(i));
        connect(categoryButtons_[i], &QAbstractButton::clicked, this, [this, tag] { btnFileFormatsTapped(tag); });
    }
    connect(menuRevelInFinder_, &QAction::triggered, this, &MainViewController::revealInFinderTapped);
    connect(menuCheckAll_, &QAction::triggered, this, &MainViewController::checkAllTapped);
    connect(menuUncheckAll_, &QAction::triggered, this, &MainViewController::uncheckAllTapped);
    connect(menuRemoveFromScanList_, &QAction::triggered, this, &MainViewController::removeFromScanList);
    connect(menuRemoveAllFromScanList_, &QAction::triggered, this, &MainViewController::removeAllFromScanList);
    connect(menu_, &QMenu::aboutToShow, this, [this] {
        for (QAction* item : menu_->actions()) {
            if (!item->isSeparator())
                item->setEnabled(validateMenuItem(item));
        }
    });
    connect(btnScanMode_, qOverload<int>(&QComboBox::activated), this, &MainViewController::changeScanSource);
}

HomeTab MainViewController::activeTab() const
{
    if (tabButtons_[0]->isChecked())
        return HomeTab::include;
    if (tabButtons_[1]->isChecked())
        return HomeTab::exclude;
    if (tabButtons_[2]->isChecked())
        return HomeTab::protect;
    return HomeTab::none;
}

void MainViewController::setTabLook(int tag)
{
    for (int i = 0; i < 3; ++i) {
        const bool on = i + 1 == tag;
        tabButtons_[i]->setChecked(on);
        tabBoxes_[i]->setStyleSheet(
            QStringLiteral("QFrame#%1 { background: %2; border: %3; border-top-left-radius: 6px; "
                           "border-top-right-radius: 6px; }")
                .arg(tabBoxes_[i]->objectName(), on ? panelColor.name() : screenColor.name(),
                    on ? QStringLiteral("none") : QStringLiteral("1px solid #3a3c40")));
        QPalette palette = tabTexts_[i]->palette();
        palette.setColor(QPalette::WindowText, on ? QColor(Qt::white) : tabTextOff);
        tabTexts_[i]->setPalette(palette);
        tabViews_[i]->setVisible(on);
    }
}

void MainViewController::tabChanged(int tag)
{
    if (tag == 4) {
        if (preferencesOpener_)
            preferencesOpener_(std::nullopt);
        return;
    }
    if (tag < 1 || tag > 3)
        return;
    if (selectedScanSource().load() == ScanSource::thisComputer)
        btnAddPath_->setToolTip(localizedText("ID_ADD_FOLDER"));
    setTabLook(tag);
    model_->setTab(tag == 1 ? HomeTab::include : tag == 2 ? HomeTab::exclude : HomeTab::protect);
    if (tag == 1)
        btnAddPath_->setToolTip(localizedText("ID_ADD_FOLDER_PHOTOS_LIBRARY"));
}

void MainViewController::reloadTables()
{
    model_->reload();
}

void MainViewController::showAlerts(const std::vector<AlertKeys>& alerts)
{
    // One after the other: each alert opens when the one before is answered.
    if (alerts.empty())
        return;
    const AlertKeys first = alerts.front();
    std::vector<AlertKeys> rest(alerts.begin() + 1, alerts.end());
    alertPresenter()->presentThen(
        AlertRequest { localizedText(first.message),
            first.informative.isEmpty() ? QString()
                                        : formatText(localizedText(first.informative), { first.informativeValue }),
            { localizedText("ID_OK") } },
        [guard = QPointer<MainViewController>(this), rest = std::move(rest)](int) {
            if (guard)
                guard->showAlerts(rest);
        });
}

void MainViewController::applyOutcome(const AddOutcome& outcome)
{
    reloadTables();
    updateButtonFromFileState();
    showAlerts(outcome.alerts);
}

void MainViewController::changeScanSource(int index)
{
    const QVariant tag = btnScanMode_->itemData(index);
    const ScanSource previous = selectedScanSource().load();
    const ScanSource chosen = (tag.isValid() ? scanSourceOfTag(tag.toLongLong()) : std::nullopt).value_or(previous);
    if (chosen != previous) {
        selectedScanSource() = chosen;
        // Each source keeps its own lists in the owner; the tables now show
        // the chosen one's. This computer's scan list is read afresh.
        switch (chosen) {
        case ScanSource::thisComputer:
            btnAddPath_->setToolTip(
                localizedText(activeTab() == HomeTab::include ? "ID_ADD_FOLDER_PHOTOS_LIBRARY" : "ID_ADD_FOLDER"));
            lists_->loadSavedScanList();
            break;
        case ScanSource::googleDrive:
            btnAddPath_->setToolTip(localizedText("ID_ADD_GOOGLE_DRIVE_FOLDER"));
            break;
        case ScanSource::emptyFolderCleaner:
            if (emptyFolderCleanerOpener_)
                emptyFolderCleanerOpener_(window());
            break;
        default:
            break;
        }
        if (sourceSwitcher_)
            sourceSwitcher_->scanSourceChanged(previous, chosen);
        setScanNowButtonState(0, false);
        reloadTables();
    }
    updateButtonFromFileState();
}

void MainViewController::openScanListPanel()
{
    const ScanSource source = selectedScanSource().load();
    if (source == ScanSource::thisComputer || source == ScanSource::lightroomCatalog) {
        adder_.openPanel(
            HomeTab::include, *chooser_, [guard = QPointer<MainViewController>(this)](const AddOutcome& outcome) {
                if (guard)
                    guard->applyOutcome(outcome);
            });
        return;
    }
    if (cloudPicker_)
        cloudPicker_(HomeTab::include);
}

void MainViewController::btnAddPathToScan()
{
    const HomeTab tab = activeTab();
    if (tab == HomeTab::none)
        return;
    const ScanSource source = selectedScanSource().load();
    if (source == ScanSource::thisComputer || source == ScanSource::lightroomCatalog) {
        adder_.openPanel(tab, *chooser_, [guard = QPointer<MainViewController>(this)](const AddOutcome& outcome) {
            if (guard)
                guard->applyOutcome(outcome);
        });
        return;
    }
    if (cloudPicker_)
        cloudPicker_(tab);
}

void MainViewController::btnExcluderFolderTapped()
{
    tabChanged(2);
    btnAddPathToScan();
}

void MainViewController::btnProtectFolderTapped()
{
    tabChanged(3);
    btnAddPathToScan();
}

void MainViewController::handleFileDragDropNotification(const QStringList& paths)
{
    applyOutcome(adder_.handleFileDragDrop(paths, activeTab()));
}

void MainViewController::cellTapped(const QModelIndex& index, int outlet)
{
    const FilePathNodePtr node = model_->rowNode(index.row());
    if (!node)
        return;
    if (outlet == int(CustomCell::Outlet::btnDelete)) {
        deletePathFromTable(index.row());
    } else if (outlet == int(CustomCell::Outlet::btnCheckBox)) {
        if (index.column() == HomePathModel::checkColumn)
            selectDeselectPath(index.row(), node->state != 1);
        else
            includeSubFolders(index.row(), !node->isIncludeSubFolders);
    }
}

void MainViewController::deletePathFromTable(int row)
{
    bool removed = false;
    switch (activeTab()) {
    case HomeTab::include:
        removed = lists_->removeScanRow(row);
        if (removed && !lists_->hasScanRow())
            setScanNowButtonState(0, false);
        break;
    case HomeTab::exclude:
        removed = lists_->removeExcludeRow(row);
        break;
    case HomeTab::protect:
        removed = lists_->removeProtectRow(row);
        break;
    default:
        break;
    }
    if (removed)
        reloadTables();
}

void MainViewController::includeSubFolders(int row, bool on)
{
    const HomeTab tab = activeTab();
    if (tab != HomeTab::include && tab != HomeTab::protect)
        return;
    const FilePathNodePtr node = model_->rowNode(row);
    if (!node)
        return;
    node->isIncludeSubFolders = on;
    if (tab == HomeTab::include)
        lists_->savePathsBookmark();
    else
        lists_->saveProtectedFolders();
    reloadTables();
}

void MainViewController::selectDeselectPath(int row, bool on)
{
    const HomeTab tab = activeTab();
    if (tab != HomeTab::include && tab != HomeTab::exclude)
        return;
    const FilePathNodePtr node = model_->rowNode(row);
    if (!node)
        return;
    node->state = on ? 1 : 0;
    if (tab == HomeTab::include) {
        lists_->savePathsBookmark();
        updateButtonFromFileState();
    } else {
        lists_->saveExcludedFolders();
    }
    reloadTables();
}

void MainViewController::revealInFinderTapped()
{
    if (selectedScanSource().load() != ScanSource::thisComputer)
        return;
    const int tabIndex = int(activeTab()) - 1;
    if (tabIndex < 0)
        return;
    const QModelIndexList selected = tables_[tabIndex]->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const FilePathNodePtr node = model_->rowNode(selected.first().row());
    const QString path = node && node->filePath ? *node->filePath : QString();
    revealInFileManager(path);
}

void MainViewController::setAllRowStates(int state, bool enable)
{
    const HomeTab tab = activeTab();
    if (tab != HomeTab::include && tab != HomeTab::exclude)
        return;
    for (const FilePathNodePtr& row : *model_->shownList()) {
        if (row)
            row->state = state;
    }
    if (tab == HomeTab::include) {
        lists_->savePathsBookmark();
        setScanNowButtonState(state, enable);
    } else {
        lists_->saveExcludedFolders();
    }
    reloadTables();
}

void MainViewController::checkAllTapped()
{
    setAllRowStates(1, true);
}

void MainViewController::uncheckAllTapped()
{
    setAllRowStates(0, false);
}

void MainViewController::removeFromScanList()
{
    const int tabIndex = int(activeTab()) - 1;
    if (tabIndex < 0)
        return;
    const QModelIndexList selected = tables_[tabIndex]->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = selected.first().row();
    // The same removal as the row's own button: it follows the shown source,
    // so a cloud folder also leaves the list its handler scans.
    deletePathFromTable(row);
    if (activeTab() == HomeTab::include)
        updateButton();
}

void MainViewController::removeAllFromScanList()
{
    const ScanSource source = selectedScanSource().load();
    ScanSources& sources = lists_->sources;
    // Only the shown source's list: the other sources' lists (and this
    // computer's default exclusions, on the Include tab) stay.
    switch (activeTab()) {
    case HomeTab::include:
        sources.replace(source, SourceList::scan, {});
        setScanNowButtonState(0, false);
        break;
    case HomeTab::exclude:
        sources.replace(source, SourceList::exclude, {});
        break;
    case HomeTab::protect:
        sources.replace(source, SourceList::protect, {});
        break;
    default:
        return;
    }
    reloadTables();
}

bool MainViewController::validateMenuItem(QAction* item)
{
    const int tag = item->data().toInt();
    if (scanSourceOfTag(tag))
        return true;
    const ScanSource source = selectedScanSource().load();
    const bool remove = item == menuRemoveFromScanList_;
    const bool removeAll = item == menuRemoveAllFromScanList_;
    switch (activeTab()) {
    case HomeTab::include: {
        if (remove)
            item->setText(localizedText("ID_REMOVE_FROM_SCAN_LIST"));
        if (removeAll)
            item->setText(localizedText("ID_REMOVE_ALL_FROM_SCAN_LIST"));
        if (source != ScanSource::thisComputer)
            return tag != 0;
        return tables_[0]->selectionModel()->hasSelection() && lists_->hasScanRow();
    }
    case HomeTab::exclude:
        if (remove)
            item->setText(localizedText("ID_REMOVE_FROM_EXCLUDE_LIST"));
        if (removeAll)
            item->setText(localizedText("ID_REMOVE_ALL_FROM_EXCLUDE_LIST"));
        return tag != 0 || (source != ScanSource::googleDrive && source != ScanSource::dropbox);
    case HomeTab::protect:
        if (item == menuRevelInFinder_)
            return source == ScanSource::thisComputer;
        if (remove) {
            item->setText(localizedText("ID_REMOVE_FROM_PROTECTION_LIST"));
            return true;
        }
        if (removeAll) {
            item->setText(localizedText("ID_REMOVE_ALL_FROM_PROTECTION_LIST"));
            return true;
        }
        return false;
    default:
        return false;
    }
}

// ---- File types and Scan Now ---------------------------------------------------

void MainViewController::btnFileFormatsTapped(int tag)
{
    switches_.btnFileFormatsTapped(tag);
    allFilesAndCustomScanOptsTapped(0);
    btnAllFilesSelected_->setChecked(switches_.allFilesOn());
    btnCustomScanSelected_->setChecked(switches_.customScanOn());
}

void MainViewController::allFilesAndCustomScanOptsTapped(int tag)
{
    if (tag != 0)
        switches_.allFilesAndCustomScanOptsTapped(tag);
    btnAllFilesSelected_->setChecked(switches_.allFilesOn());
    btnCustomScanSelected_->setChecked(switches_.customScanOn());
    for (int i = 0; i < fileCategoryCount; ++i)
        categoryButtons_[i]->setChecked(switches_.categoryOn(GlobalObjects::FileCategory(i)));
}

void MainViewController::updateButtonFromFileState()
{
    const bool on = lists_->hasCheckedScanRow();
    setScanNowButtonState(on ? 1 : 0, on);
}

void MainViewController::updateButton()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            const bool on = lists_->hasScanRow();
            setScanNowButtonState(on ? 1 : 0, on);
            btnAddPath_->update();
        },
        Qt::QueuedConnection);
}

// ---- The scan's screen ----------------------------------------------------------

void MainViewController::showScanningLabels(const ScanningLabels& labels)
{
    const std::pair<const char*, const QString*> texts[]
        = { { "lblAddingPhotos", &labels.lblAddingPhotos }, { "lblAdd", &labels.lblAdd },
              { "lblFileScanCount", &labels.lblFileScanCount }, { "lblFileProcessedStr", &labels.lblFileProcessedStr },
              { "lblFileProcessed", &labels.lblFileProcessed }, { "lblFileComparedStr", &labels.lblFileComparedStr },
              { "lblFileCompared", &labels.lblFileCompared }, { "lblScanPer", &labels.lblScanPer } };
    for (const auto& [objectName, value] : texts) {
        if (auto* l = findChild<QLabel*>(name(objectName)); l && !value->isEmpty())
            l->setText(*value);
    }
    progressCircular_->progress = labels.progress;
    progressCircular_->update();
}

void MainViewController::showScannedPath(const QString& line, const QString& toolTip)
{
    lblScannedFilePath_->setText(
        lblScannedFilePath_->fontMetrics().elidedText(line, Qt::ElideMiddle, lblScannedFilePath_->width()));
    lblScannedFilePath_->setToolTip(toolTip);
}

void MainViewController::showScanningState(bool isScanning, bool hideResultViewButton)
{
    if (isScanning) {
        boxScanDetail_->show();
        boxScanDetail_->raise();
    }
    btnShowResultDetail_->setVisible(!hideResultViewButton);
    btnBackToAddFolder_->setVisible(!isScanning);
    btnAbortScanning_->setVisible(isScanning);
    imgViewProgress_->setVisible(hideResultViewButton);
    lblScannedFilePath_->setVisible(hideResultViewButton);
}

void MainViewController::setScanNowButtonState(int state, bool enabled)
{
    btnScanNow_->setEnabled(enabled);
    btnScanNow_->setState(state);
    btnScanNow_->update();
}

void MainViewController::setAbortButtonEnabled(bool enabled)
{
    btnAbortScanning_->setEnabled(enabled);
}

void MainViewController::setResultButtonEnabled(bool enabled)
{
    btnShowResultDetail_->setEnabled(enabled);
}

void MainViewController::showScanningSheet()
{
    boxWindowScanning_->show();
}

void MainViewController::hideScanningSheet()
{
    boxWindowScanning_->hide();
    setScanNowButtonState(1, true);
}

void MainViewController::showLastScanRecord(
    const QString& dupCount, const QString& dupSize, const std::optional<QString>& scanTime)
{
    lblLastScanDupFileCount_->setText(dupCount);
    lblLastScanDupFileSize_->setText(dupSize);
    if (scanTime)
        lblLastScanTIme_->setText(*scanTime);
}

void MainViewController::showPreferencesPane(const QString& paneIdentifier)
{
    if (preferencesOpener_)
        preferencesOpener_(paneIdentifier);
}

void MainViewController::showHomeView()
{
    if (resultsPage_)
        resultsPage_->hide();
    boxScanDetail_->hide();
    updateButtonFromFileState();
}

QWidget* MainViewController::resultsPlaceholder()
{
    if (!resultsPage_) {
        resultsPage_ = box("resultsPlaceholder", this, screenColor, 0);
        auto* heading = label("lblResultsPlaceholder", resultsPage_, 20, true);
        heading->setAlignment(Qt::AlignCenter);
        auto* back = new RAZButton(resultsPage_);
        back->setObjectName(name("btnResultsBack"));
        applyHomeButtonStyle(back);
        back->setFont(systemFontOfSize(13));
        back->setText(localizedText("ID_BACK"));
        connect(back, &QAbstractButton::clicked, this, &MainViewController::showHomeView);
        resultsPage_->setGeometry(rect());
        heading->setGeometry(0, height() / 2 - 40, width(), 40);
        back->setGeometry(width() / 2 - 75, height() / 2 + 20, 150, 36);
    }
    return resultsPage_;
}

void MainViewController::showResults(const ScanResultPtr& result)
{
    lastResult_ = result;
    if (resultsReceiver_) {
        resultsReceiver_->showResults(result);
        return;
    }
    QWidget* page = resultsPlaceholder();
    page->findChild<QLabel*>(name("lblResultsPlaceholder"))
        ->setText(QStringLiteral("%1: %2").arg(
            localizedText("ID_DUPLICATE_FILES_FOUND"), QString::number(result ? result->dupCount : 0)));
    page->show();
    page->raise();
}
