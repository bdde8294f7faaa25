#include "results/ResultViewController.h"

#include "base/Log.h"
#include "base/UserDefaults.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "cleanup/ResultAreaViews.h"
#include "cleanup/TrashSheets.h"
#include "controls/ApplicationFont.h"
#include "controls/ButtonStyles.h"
#include "controls/CheckBoxButton.h"
#include "controls/ColumnFitter.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/CyanideScroller.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/MyCollectionView.h"
#include "controls/MyHeaderCell.h"
#include "controls/NamedImage.h"
#include "controls/OptionPopover.h"
#include "controls/RAZButton.h"
#include "controls/WindowHelpers.h"
#include "core/Localization.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/ResultsSummary.h"
#include "marking/SelectAssistanceController.h"
#include "marking/SortRunner.h"
#include "platform/FileRemover.h"
#include "results/PreviewPane.h"
#include "results/PreviewWindow.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsHandOver.h"
#include "results/ResultsKeyboard.h"
#include "results/ResultsLayout.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "results/ThumbnailProvider.h"
#include "scan/ScanCache.h"
#include "scan/ScanSources.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QSplitter>

#include <cmath>

namespace {

using Category = GlobalObjects::FileCategory;

const QColor screenColor(29, 29, 29);
const QColor panelColor(41, 43, 46);
const QColor barColor(36, 38, 41);
const QColor captionColor(160, 163, 168);
const QColor textColor(220, 222, 226);
const QColor separatorColor(74, 77, 82);

QString name(const char* objectName)
{
    return QString::fromLatin1(objectName);
}

// A colour button that also draws one of our images: centred when it has no
// title, before the title otherwise.
class IconButton : public RAZButton {
public:
    using RAZButton::RAZButton;
    void setImageName(const QString& image)
    {
        image_ = NamedImage::load(image);
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const QSizeF natural = image_.naturalSize();
        if (natural.isEmpty()) {
            RAZButton::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QSizeF size = natural.scaled(QSizeF(18, 18), Qt::KeepAspectRatio);
        const bool titled = !text().isEmpty();
        const QRectF frame = rect();
        cell().drawBezelWithFrame(painter, frame, isEnabled(), isDown());
        // A title is centred in the room right of the image, so a narrow
        // button never draws one over the other.
        cell().drawTitle(
            painter, text(), font(), titled ? frame.adjusted(14 + size.width(), 0, 0, 0) : frame, isEnabled());
        painter.setOpacity(isEnabled() ? 1.0 : 0.45);
        const double x = titled ? 10 : (width() - size.width()) / 2;
        image_.draw(painter, QRectF(QPointF(x, (height() - size.height()) / 2), size));
        painter.setOpacity(1.0);
        drawFocusRing(painter);
    }

private:
    NamedImage image_;
};

// One of our images scaled into the widget.
class ImageView : public QWidget {
public:
    ImageView(const QString& image, QWidget* parent)
        : QWidget(parent)
        , image_(NamedImage::load(image))
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
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

QWidget* box(const char* objectName, QWidget* parent, const QColor& color)
{
    auto* widget = new QWidget(parent);
    widget->setObjectName(name(objectName));
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    return widget;
}

QLabel* label(const char* objectName, QWidget* parent, int fontSize, bool bold = false, const QColor& color = textColor)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name(objectName));
    l->setFont(systemFontOfSize(fontSize, bold ? QFont::Bold : QFont::Normal));
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    return l;
}

void styleModeButton(RAZButton* button, bool selected)
{
    const auto rgb = [](int r, int g, int b) { return QColor(r, g, b); };
    button->setButtonInsideColor(selected ? rgb(29, 29, 29) : rgb(40, 40, 40), rgb(29, 29, 29), Qt::white,
        rgb(164, 164, 164), rgb(30, 40, 50), rgb(194, 194, 194), 0, 24, true, false, 0);
    button->update();
}

void styleCategoryButton(RAZButton* button, bool selected)
{
    const auto rgb = [](int r, int g, int b) { return QColor(r, g, b); };
    button->setButtonInsideColor(selected ? rgb(60, 60, 60) : rgb(40, 40, 40), rgb(40, 40, 40), Qt::white,
        rgb(164, 164, 164), selected ? rgb(55, 66, 78) : rgb(30, 40, 50), rgb(194, 194, 194), 0, 24, true, false, 0);
    button->update();
}

void styleBlueButton(IMGButton* button)
{
    const QString l = QStringLiteral("blue_btn_sm_left"), m = QStringLiteral("blue_btn_sm_mid"),
                  r = QStringLiteral("blue_btn_sm_right");
    const QString gl = QStringLiteral("back_btn_left"), gm = QStringLiteral("back_btn_mid"),
                  gr = QStringLiteral("back_btn_right");
    button->setButtonImages(l, m, r, l, m, r, gl, gm, gr, l, m, r, l, m, r, gl, gm, gr);
}

void styleDarkButton(IMGButton* button)
{
    const QString l = QStringLiteral("back_btn_left"), m = QStringLiteral("back_btn_mid"),
                  r = QStringLiteral("back_btn_right");
    button->setButtonsImages(l, m, r, l, m, r, l, m, r);
}

// Name, size, the two dates, type and folder of the outline's rows: x and
// width of each; a small screen's narrower pane packs them closer and keeps
// dates whole.
constexpr int outlineColumns[2][5][2] = { { { 52, 172 }, { 230, 70 }, { 304, 140 }, { 448, 140 }, { 592, 58 } },
    { { 52, 120 }, { 176, 62 }, { 240, 136 }, { 378, 136 }, { 516, 58 } } };
// The folder's least width in an outline row.
constexpr int outlineLeastFolderWidth[2] = { 100, 60 };

int outlineLeastRowWidth()
{
    const int layout = isSmallScreenLayout ? 1 : 0;
    const auto& type = outlineColumns[layout][4];
    return type[0] + type[1] + 4 + outlineLeastFolderWidth[layout] + 8;
}

// The outlets of the outline's rows with extra points beyond the least row
// width: half of them widen the name (moving what follows it), the rest the
// folder.
void layOutOutlineCell(CustomCell& cell, int extra)
{
    using Outlet = CustomCell::Outlet;
    using Slot = CustomCell::Slot;
    const auto& column = outlineColumns[isSmallScreenLayout ? 1 : 0];
    const int name = std::max(0, extra) / 2;
    cell.setSlot(Outlet::btnCheckBox, Slot(6, 18));
    cell.setSlot(Outlet::imgView, Slot(30, 18));
    cell.setSlot(Outlet::lbltextField, Slot(column[0][0], column[0][1] + name));
    cell.setSlot(Outlet::lblDescription, Slot(column[1][0] + name, 240, Qt::AlignLeft, 12, false, captionColor));
    cell.setSlot(Outlet::lblCount, Slot(0, 0 - 12, Qt::AlignRight, 13, true));
    cell.setSlot(Outlet::lblSize, Slot(column[1][0] + name, column[1][1], Qt::AlignLeft, 12));
    cell.setSlot(Outlet::lblCretedDate, Slot(column[2][0] + name, column[2][1], Qt::AlignLeft, 12));
    cell.setSlot(Outlet::lblModifiedDate, Slot(column[3][0] + name, column[3][1], Qt::AlignLeft, 12));
    cell.setSlot(Outlet::lblExt, Slot(column[4][0] + name, column[4][1], Qt::AlignLeft, 12));
    Slot pathSlot(column[4][0] + column[4][1] + 4 + name, -8, Qt::AlignLeft, 12);
    pathSlot.elide = Qt::ElideMiddle;
    cell.setSlot(Outlet::lblFilePath, pathSlot);
}

// Runs its work whenever the watched widget is resized.
class ResizeHook : public QObject {
public:
    ResizeHook(std::function<void()> work, QObject* parent)
        : QObject(parent)
        , work_(std::move(work))
    {
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            work_();
        return false;
    }

private:
    std::function<void()> work_;
};

// The category buttons in bar order, with their titles and categories (-1:
// all files).
struct CategoryButton {
    const char* objectName;
    const char* arrowName;
    const char* titleKey;
    int category;
};
const CategoryButton categoryButtonTable[7] = {
    { "btnAllItems", "arrowAllFiles", "ID_ALL_FILES", -1 },
    { "btnImagesItems", "arrowImages", "ID_IMAGES", int(Category::Pic) },
    { "btnVideoItems", "arrowVideo", "ID_VIDEOS", int(Category::Video) },
    { "btnArchiveItems", "arrowArchive", "ID_ARCHIVES", int(Category::Archive) },
    { "btnMusicItems", "arrowMusic", "ID_MUSIC", int(Category::Music) },
    { "btnOtherItems", "arrowOther", "ID_OTHERS", int(Category::Others) },
    { "btnDocumentItems", "arrowDocument", "ID_DOCUMENTS", int(Category::Doc) },
};

// The list's sort keys by column.
const char* const sortKeys[ResultsModel::columnCountValue]
    = { "", "fileName", "fileSize", "createDate", "modDate", "fileType", "filePath" };

} // namespace

ResultViewController::ResultViewController(UserDefaults& defaults, std::shared_ptr<ScanSources> protectedFolders,
    std::shared_ptr<FileRemover> files, QWidget* parent)
    : QWidget(parent)
    , defaults_(defaults)
    , state_(std::make_unique<ResultsState>(protectedFolders))
    , delayedCalls_(timerDelayedCalls())
{
    setObjectName(name("ResultViewController"));
    model_ = new ResultsModel(*state_, this);
    listModel_ = new ResultsListProxy(*model_, this);
    state_->setObserver(model_);
    autoMarkSheets_ = std::make_unique<AutoMarkSheetWindows>(this);
    autoMarking_ = std::make_unique<AutoMarking>(*state_, defaults_, *autoMarkSheets_);
    autoMarkSheets_->connectTo(*autoMarking_);
    sortRunner_ = std::make_unique<SortRunner>(*state_);
    handOver_ = std::make_unique<ResultsHandOver>();
    cleanup_ = std::make_unique<CleanupController>(*state_, defaults_, std::move(files), nullptr);
    trashSheets_ = std::make_unique<TrashSheets>(this, *cleanup_);
    cleanup_->setScreen(trashSheets_.get());
    afterCleanSheets_ = std::make_unique<AfterCleanSheets>(this);
    cleanup_->setAfterCleanScreen(afterCleanSheets_.get());
    // The assistant shares the protected folders with the home screen.
    selectAssistance_
        = std::make_unique<SelectAssistanceController>(*state_, *protectedFolders, defaults_, *autoMarking_, this);
    keyboard_ = std::make_unique<ResultsKeyboard>(*this);
}

ResultViewController::~ResultViewController()
{
    state_->setObserver(nullptr);
}

void ResultViewController::setDelayedCalls(std::shared_ptr<DelayedCalls> calls)
{
    delayedCalls_ = std::move(calls);
    autoMarking_->setDelayedCalls(delayedCalls_);
}

void ResultViewController::after(int milliseconds, std::function<void()> work)
{
    delayedCalls_->after(std::chrono::milliseconds(milliseconds), this, std::move(work));
}

// ---- set-up -----------------------------------------------------------------

void ResultViewController::viewDidLoad()
{
    if (loaded_)
        return;
    loaded_ = true;
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, screenColor);
    setPalette(palette);
    // The window's content size: the screen is laid out for it once.
    const QSize content = isSmallScreenLayout ? smallWindowContentSize : mainWindowContentSize;
    laidOutSize_ = content;
    resize(content);
    buildControls();
    buildMarkAndContextMenus();
    setLocalizedTexts();
    styleResultViewControls();
    connectModel();

    const double w = content.width();
    const double h = content.height();
    frames_ = FrameTable {
        { name("viewListing"), { 0, 0, w, h } },
        { name("viewNoDuplicateFound"), { 0, 0, w, h } },
        { name("viewSucccess"), { 0, 0, w, h } },
        { name("boxHeader"), { 0, h - 64, w, 64 } },
        { name("btnBack"), { 20, 16, 90, 32 } },
        { name("lblDuplicateFound"), { 130, 20, 300, 24 } },
        { name("lblDupsInGroups"), { 430, 20, 210, 24 } },
        { name("lblSpaceToBeSaved"), { 640, 20, 290, 24 } },
        { name("verticalLine"), { 940, 20, 1, 24 } },
        { name("btnDeleteLink"), { 950, 18, 112, 28 } },
        { name("boxHeaderDetail"), { 0, h - 112, w, 48 } },
        { name("btnListView"), { 16, 8, 40, 32 } },
        { name("btnHierarcheryView"), { 58, 8, 40, 32 } },
        { name("btnThumbnailView"), { 100, 8, 40, 32 } },
        // Marking, the assistant and its options, the view-mode pop-up and
        // the settings, each group after a separator; then Undo.
        { name("btnAutoMark"), { 150, 8, 92, 32 } },
        { name("boxAutoMarkSeprator"), { 247, 12, 1, 24 } },
        { name("btnUnmarkAll"), { 253, 8, 92, 32 } },
        { name("boxUnmarkSeprator"), { 350, 12, 1, 24 } },
        { name("btnSelectionAssitance"), { 356, 8, 134, 32 } },
        { name("btnOptions"), { 494, 8, 34, 32 } },
        { name("boxAssistanceSeprator"), { 533, 12, 1, 24 } },
        { name("btnGroupView"), { 539, 8, 140, 32 } },
        { name("boxGroupViewSeparator"), { 684, 12, 1, 24 } },
        { name("btnSettingsInResultView"), { 690, 8, 74, 32 } },
        { name("boxSettingsSeparator"), { 769, 12, 1, 24 } },
        { name("boxUndo"), { 775, 8, 80, 32 } },
        { name("btnUndo"), { 0, 0, 80, 32 } },
        { name("boxUndoSeparator"), { 860, 12, 1, 24 } },
        { name("hudAfterYesUndoPressed"), { 868, 20, 60, 8 } },
        { name("btnFullScreen"), { w - 56, 8, 40, 32 } },
        { name("boxCategories"), { 0, h - 160, w, 48 } },
        { name("viewSplit"), { 0, 64, w, h - 224 } },
        { name("boxFooter"), { 0, 0, w, 64 } },
        { name("lblNumMarkedFiles"), { 20, 20, 560, 24 } },
        { name("btnBackToFooter"), { w - 330, 14, 130, 36 } },
        { name("btnTrash"), { w - 190, 14, 170, 36 } },
    };
    for (int i = 0; i < 7; ++i)
        frames_[name(resultsCategoryRowOrder[i])] = { 3 + i * 128.0, 8, 120, 34 };
    frames_[name("btnSort")] = { w - 176, 8, 160, 32 };
    if (isSmallScreenLayout)
        useSmallScreenBaseFrames();
    adaptResultViewToSmallScreen();
    adjustLayoutForLanguage();
    frames_.apply(this);
    viewSplit_->setSizes({ int(w) - 260, 260 });
    btnChangeResultView(ViewMode::list);
    setResultToolbarEnabled(true);
    highlightCategoryButton(-1);
    updateMarkedCountLabel();
    updateSortButton();
}

void ResultViewController::adjustLayoutForLanguage()
{
    ResultsTitleWidths widths;
    for (const char* control : resultsCategoryRowOrder)
        widths.insert(name(control), textWidthOfButtonTitle(findChild<QAbstractButton*>(name(control))));
    for (const char* control : resultsMeasuredToolbar) {
        if (auto* button = findChild<QAbstractButton*>(name(control))) {
            // Measured in the strip's smaller font, the one the titles end up with.
            const QFont font = button->font();
            button->setFont(systemFontOfSize(11));
            widths.insert(name(control), textWidthOfButtonTitle(button));
            button->setFont(font);
        }
    }
    if (currentLanguageCode == QLatin1String("nl"))
        btnSort_->setText(QString());
    for (const FontEdit& edit : applyResultsLayoutRules(frames_, widths, currentLanguageCode)) {
        if (auto* widget = findChild<QWidget*>(edit.name))
            widget->setFont(edit.font);
    }
    // The arrow under each category button follows it.
    for (const CategoryButton& button : categoryButtonTable) {
        const LayoutFrame& frame = frames_[name(button.objectName)];
        frames_[name(button.arrowName)] = { std::round(frame.x + frame.width / 2 - 8), 0, 16, 8 };
    }
    adjustSheetsForLanguage();
}

void ResultViewController::adjustSheetsForLanguage()
{
    // The sheets' frames as built are their English layout; the language's
    // edits give the frames they start from each time they are shown. The
    // pass's font edits for them were applied with the screen's.
    if (!sheetBaseFrames_) {
        sheetBaseFrames_.emplace();
        for (const char* control : resultsSheetControls) {
            QWidget* widget = findChild<QWidget*>(name(control));
            if (!widget || !widget->parentWidget())
                continue;
            const QRect r = widget->geometry();
            (*sheetBaseFrames_)[name(control)] = { double(r.x()),
                double(widget->parentWidget()->height() - r.y() - r.height()), double(r.width()), double(r.height()) };
        }
    }
    FrameTable sheetFrames = *sheetBaseFrames_;
    applyResultsLayoutRules(sheetFrames, {}, currentLanguageCode);
    sheetFrames.apply(this);
    for (const ImageButtonEdit& edit : resultsImageButtonEdits(currentLanguageCode)) {
        if (auto* button = findChild<IMGButton*>(edit.name)) {
            button->setMarginTop(edit.marginTop);
            button->setMarginBottom(edit.marginBottom);
            button->setFontSizeForButton(edit.fontSize);
        }
    }
}

void ResultViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!loaded_)
        return;
    // The frames are for the window's content size, the one the screen was
    // laid out in; every other size moves and sizes the controls from there.
    frames_.apply(this, resultsResizing(), QSizeF(laidOutSize_));
    placeNoDuplicatesView();
    fitCategoryRow();
}

void ResultViewController::fitCategoryRow()
{
    // The row stands over the list: where the list is narrower than the row
    // as laid out, its buttons narrow alike and keep their gaps.
    const int edge = boxCategories_->mapFrom(this, viewLeft_->mapTo(this, QPoint(viewLeft_->width(), 0))).x() - 3;
    struct Placed {
        QWidget* button;
        QWidget* arrow;
        QRect natural;
    };
    std::vector<Placed> row;
    for (const char* control : resultsCategoryRowOrder) {
        const LayoutFrame* frame = frames_.find(name(control));
        if (!frame)
            return; // not laid out yet
        for (int i = 0; i < 7; ++i) {
            if (QLatin1String(categoryButtonTable[i].objectName) == QLatin1String(control))
                row.push_back(
                    { categoryButtons_[i], categoryArrows_[i], qtGeometry(*frame, boxCategories_->height()) });
        }
    }
    if (row.empty())
        return;
    int widths = 0;
    for (const Placed& placed : row)
        widths += placed.natural.width();
    const int gaps = row.back().natural.right() - row.front().natural.left() + 1 - widths;
    const double scale = row.back().natural.right() <= edge
        ? 1.0
        : std::max(0.0, double(edge - row.front().natural.left() + 1 - gaps) / widths);
    double x = row.front().natural.left();
    for (std::size_t i = 0; i < row.size(); ++i) {
        const QRect natural = row[i].natural;
        const double width = natural.width() * scale;
        row[i].button->setGeometry(int(std::round(x)), natural.y(), int(std::floor(width)), natural.height());
        const QRect placed = row[i].button->geometry();
        row[i].arrow->move(placed.center().x() - row[i].arrow->width() / 2 + 1, row[i].arrow->y());
        if (i + 1 < row.size())
            x += width + (row[i + 1].natural.left() - natural.right() - 1);
    }
}

void ResultViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    keyboard_->watchWindow();
}

bool ResultViewController::focusNextPrevChild(bool next)
{
    return keyboard_->moveFocus(next) || QWidget::focusNextPrevChild(next);
}

void ResultViewController::placeNoDuplicatesView()
{
    // Below the header and the toolbar, so that Back and the options (Undo)
    // stay within reach when nothing is left to show.
    const int top = boxHeaderDetail_->geometry().bottom() + 1;
    for (QWidget* view : { static_cast<QWidget*>(viewNoDuplicateFound_), static_cast<QWidget*>(viewSucccess_) }) {
        view->setGeometry(0, top, width(), std::max(0, height() - top));
        view->raise();
    }
}

void ResultViewController::buildControls()
{
    viewListing_ = new QWidget(this);
    viewListing_->setObjectName(name("viewListing"));
    // What stands in for the list when no group is left: nothing found, or
    // everything removed by a clean-up.
    viewNoDuplicateFound_ = new NoDuplicatesView(this);
    viewSucccess_ = new SuccessView(this);
    for (QWidget* view : { static_cast<QWidget*>(viewNoDuplicateFound_), static_cast<QWidget*>(viewSucccess_) }) {
        view->setAutoFillBackground(true);
        QPalette palette = view->palette();
        palette.setColor(QPalette::Window, screenColor);
        view->setPalette(palette);
        view->hide();
    }
    viewNoDuplicateFound_->setObjectName(name("viewNoDuplicateFound"));
    viewSucccess_->setObjectName(name("viewSucccess"));

    boxHeader_ = box("boxHeader", viewListing_, barColor);
    btnBack_ = new IMGButton(boxHeader_);
    btnBack_->setObjectName(name("btnBack"));
    styleDarkButton(btnBack_);
    lblDuplicateFound_ = label("lblDuplicateFound", boxHeader_, 14);
    lblDupsInGroups_ = label("lblDupsInGroups", boxHeader_, 14);
    lblSpaceToBeSaved_ = label("lblSpaceToBeSaved", boxHeader_, 14);
    lblSpaceToBeSaved_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* l : { lblDuplicateFound_, lblDupsInGroups_, lblSpaceToBeSaved_ })
        l->setTextFormat(Qt::RichText);
    box("verticalLine", boxHeader_, separatorColor);
    // The header's own way to remove the marked files, beside what they free.
    btnDeleteLink_ = new LinkButton(boxHeader_);
    btnDeleteLink_->setObjectName(name("btnDeleteLink"));

    buildToolbar();
    buildCategoryBar();
    buildViews();
    buildGrid();
    // The grid's word for an empty result, in the grid's place.
    lblNoDuplicateFoundCollectionview_
        = label("lblNoDuplicateFoundCollectionview", collResultListView_, 16, false, captionColor);
    lblNoDuplicateFoundCollectionview_->setAlignment(Qt::AlignCenter);
    collResultListView_->layout()->addWidget(lblNoDuplicateFoundCollectionview_);
    buildChartSummary();
    buildFooter();
}

void ResultViewController::buildToolbar()
{
    boxHeaderDetail_ = box("boxHeaderDetail", viewListing_, screenColor);
    const auto iconButton = [this](const char* objectName, const char* image) {
        auto* button = new IconButton(boxHeaderDetail_);
        button->setObjectName(name(objectName));
        button->setImageName(name(image));
        return button;
    };
    btnListView_ = iconButton("btnListView", "list_icon");
    btnHierarcheryView_ = iconButton("btnHierarcheryView", "tree_view_icon");
    btnThumbnailView_ = iconButton("btnThumbnailView", "grid_icon");
    btnGroupView_ = iconButton("btnGroupView", "list_icon");
    btnOptions_ = iconButton("btnOptions", "options_icon");
    btnSort_ = iconButton("btnSort", "down_arrow");
    btnFullScreen_ = iconButton("btnFullScreen", "preview_icon");
    btnFullScreen_->setCheckable(true);
    btnAutoMark_ = new RAZButton(boxHeaderDetail_);
    btnAutoMark_->setObjectName(name("btnAutoMark"));
    btnUnmarkAll_ = new RAZButton(boxHeaderDetail_);
    btnUnmarkAll_->setObjectName(name("btnUnmarkAll"));
    btnSelectionAssitance_ = new RAZButton(boxHeaderDetail_);
    btnSelectionAssitance_->setObjectName(name("btnSelectionAssitance"));
    btnSettingsInResultView_ = new RAZButton(boxHeaderDetail_);
    btnSettingsInResultView_->setObjectName(name("btnSettingsInResultView"));
    QWidget* boxUndo = box("boxUndo", boxHeaderDetail_, screenColor);
    btnUndo_ = new RAZButton(boxUndo);
    btnUndo_->setObjectName(name("btnUndo"));
    for (const char* separator : { "boxAutoMarkSeprator", "boxUnmarkSeprator", "boxAssistanceSeprator",
             "boxGroupViewSeparator", "boxSettingsSeparator", "boxUndoSeparator" })
        box(separator, boxHeaderDetail_, separatorColor);
    // Runs without a count while an undo puts files back; nothing else tells
    // that the files are on their way.
    hudAfterYesUndoPressed_ = new QProgressBar(boxHeaderDetail_);
    hudAfterYesUndoPressed_->setObjectName(name("hudAfterYesUndoPressed"));
    hudAfterYesUndoPressed_->setRange(0, 0);
    hudAfterYesUndoPressed_->setTextVisible(false);
    hudAfterYesUndoPressed_->hide();
    for (RAZButton* button : { btnGroupView_, btnAutoMark_, btnUnmarkAll_, btnSelectionAssitance_, btnOptions_,
             btnSort_, btnSettingsInResultView_, btnUndo_ }) {
        applyResultButtonStyle(button);
        button->setFont(systemFontOfSize(13));
    }

    menuViewMode_ = new QMenu(this);
    menuViewMode_->addAction(localizedText("ID_LIST_VIEW"), this, [this] { menuItemSelected(0); });
    menuViewMode_->addAction(localizedText("ID_GROUP_VIEW"), this, [this] { menuItemSelected(1); });
    menuViewMode_->addAction(localizedText("ID_THUMBNAIL_VIEW"), this, [this] { menuItemSelected(2); });
    menuOptions_ = new QMenu(this);
    menuOptions_->addAction(localizedText("ID_UNMARK_ALL"), this, [this] { state_->unmarkAllShownFiles(); });
    menuOptions_->addAction(
        localizedText("ID_SELECTION_ASSISTANT"), this, [this] { autoMarking_->btnSelectAssistanceTapped(); });
    menuUndo_ = menuOptions_->addAction(localizedText("ID_UNDO"), this, [this] { cleanup_->btnUndoTapped(); });
    // The toolbar's own buttons for the assistant and Undo act as their menu items do.
    connect(
        btnSelectionAssitance_, &QAbstractButton::clicked, this, [this] { autoMarking_->btnSelectAssistanceTapped(); });
    connect(btnUndo_, &QAbstractButton::clicked, menuUndo_, &QAction::trigger);
    connect(menuUndo_, &QAction::enabledChanged, btnUndo_, &QWidget::setEnabled);

    connect(btnListView_, &QAbstractButton::clicked, this, [this] { btnChangeResultView(ViewMode::list); });
    connect(btnHierarcheryView_, &QAbstractButton::clicked, this, [this] { btnChangeResultView(ViewMode::group); });
    connect(btnThumbnailView_, &QAbstractButton::clicked, this, [this] { btnChangeResultView(ViewMode::grid); });
    connect(btnGroupView_, &QAbstractButton::clicked, this,
        [this] { menuViewMode_->popup(btnGroupView_->mapToGlobal(QPoint(0, btnGroupView_->height()))); });
    connect(btnOptions_, &QAbstractButton::clicked, this,
        [this] { menuOptions_->popup(btnOptions_->mapToGlobal(QPoint(0, btnOptions_->height()))); });
    connect(btnSort_, &QAbstractButton::clicked, this, [this] { sortRunner_->sortButton(); });
    connect(btnSettingsInResultView_, &QAbstractButton::clicked, this,
        &ResultViewController::btnSettingsInResultViewTapped);
    connect(btnFullScreen_, &QAbstractButton::clicked, this, &ResultViewController::btnFullScreenTapped);
    connect(btnAutoMark_, &QAbstractButton::clicked, this, [this] { autoMarking_->btnAutoMarkTapped(); });
    connect(btnUnmarkAll_, &QAbstractButton::clicked, this, [this] { state_->selectAllShownFilesInSlices(false); });
}

void ResultViewController::buildCategoryBar()
{
    boxCategories_ = box("boxCategories", viewListing_, screenColor);
    for (int i = 0; i < 7; ++i) {
        auto* button = new RAZButton(boxCategories_);
        button->setObjectName(name(categoryButtonTable[i].objectName));
        button->setFont(systemFontOfSize(13));
        categoryButtons_[i] = button;

        categoryArrows_[i] = new ImageView(QStringLiteral("category_arrow"), boxCategories_);
        categoryArrows_[i]->setObjectName(name(categoryButtonTable[i].arrowName));
        connect(button, &QAbstractButton::clicked, this, [this, i] { categoryTapped(i); });
    }
    // The sort button sits at the row's right end, widened leftwards for long titles.
    btnSort_->setParent(boxCategories_);
    btnSort_->show();
}

void ResultViewController::buildViews()
{
    viewSplit_ = new QSplitter(Qt::Horizontal, viewListing_);
    viewSplit_->setObjectName(name("viewSplit"));
    viewSplit_->setChildrenCollapsible(false);
    viewSplit_->setHandleWidth(1);
    viewSplit_->setStyleSheet(QStringLiteral("QSplitter::handle { background: #3a3c40; }"));
    viewLeft_ = box("viewLeft", viewSplit_, panelColor);
    viewRight_ = box("viewRight", viewSplit_, barColor);
    viewSplit_->addWidget(viewLeft_);
    viewSplit_->addWidget(viewRight_);
    viewSplit_->setStretchFactor(0, 1);

    const auto container = [this](const char* objectName, QWidget* view, QLabel* empty) {
        auto* widget = new QWidget(viewLeft_);
        widget->setObjectName(name(objectName));
        view->setParent(widget);
        empty->setParent(widget);
        empty->setAlignment(Qt::AlignCenter);
        return widget;
    };
    const auto styleView = [](QAbstractItemView* view) {
        QPalette palette = view->palette();
        palette.setColor(QPalette::Base, panelColor);
        palette.setColor(QPalette::Text, textColor);
        palette.setColor(QPalette::HighlightedText, textColor);
        view->setPalette(palette);
        view->setFrameShape(QFrame::NoFrame);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    };

    // The list: a check box column, then name, size, dates, type and folder.
    tblDuplicates_ = new CustomTableView;
    tblDuplicates_->setObjectName(name("tblDuplicates"));
    tblDuplicates_->setRowView(std::make_shared<CustomTablerowHome>());
    tblDuplicates_->setModel(listModel_);
    styleView(tblDuplicates_);
    tblDuplicates_->setShowGrid(false);
    tblDuplicates_->setWordWrap(false);
    tblDuplicates_->verticalHeader()->hide();
    tblDuplicates_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblDuplicates_->verticalHeader()->setDefaultSectionSize(35);
    // Near-black column headers with white titles on the left; the check
    // column's header holds the select-all box.
    auto* header = new MyHeaderCell(Qt::Horizontal, tblDuplicates_);
    tblDuplicates_->setHorizontalHeader(header);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setFixedHeight(28);
    btnSelectAllTblCheckBox_ = new CheckBoxButton;
    btnSelectAllTblCheckBox_->setObjectName(name("btnSelectAllTblCheckBox"));
    header->setSectionWidget(ResultsModel::checkColumn, btnSelectAllTblCheckBox_);
    connect(btnSelectAllTblCheckBox_, &QAbstractButton::clicked, this,
        [this] { btnSelectAllTblTapped(*btnSelectAllTblCheckBox_); });
    // The least widths: a small screen's narrower list keeps the dates whole.
    // The name and folder columns share whatever room the list has beyond.
    const int widths[2][ResultsModel::columnCountValue]
        = { { 36, 162, 76, 156, 156, 64, 150 }, { 32, 140, 68, 144, 144, 62, 90 } };
    const auto& least = widths[isSmallScreenLayout ? 1 : 0];
    new ColumnFitter(*tblDuplicates_, *header, std::vector<int>(std::begin(least), std::end(least)),
        { ResultsModel::nameColumn, ResultsModel::folderColumn });
    auto* checkCell = new CustomCell(tblDuplicates_);
    checkCell->setSlot(CustomCell::Outlet::btnCheckBox, CustomCell::Slot(10, 18));
    auto* nameCell = new CustomCell(tblDuplicates_);
    nameCell->setSlot(CustomCell::Outlet::imgView, CustomCell::Slot(4, 20));
    nameCell->setSlot(CustomCell::Outlet::lbltextField, CustomCell::Slot(30, -4));
    auto* textCell = new CustomCell(tblDuplicates_);
    textCell->setSlot(CustomCell::Outlet::lbltextField, CustomCell::Slot(6, -4, Qt::AlignLeft, 12));
    tblDuplicates_->setItemDelegate(textCell);
    tblDuplicates_->setItemDelegateForColumn(ResultsModel::checkColumn, checkCell);
    tblDuplicates_->setItemDelegateForColumn(ResultsModel::nameColumn, nameCell);
    auto* folderCell = new CustomCell(tblDuplicates_);
    CustomCell::Slot folderSlot(6, -4, Qt::AlignLeft, 12);
    folderSlot.elide = Qt::ElideMiddle;
    folderCell->setSlot(CustomCell::Outlet::lbltextField, folderSlot);
    tblDuplicates_->setItemDelegateForColumn(ResultsModel::folderColumn, folderCell);
    connect(checkCell, &CustomCell::buttonTapped, this, [this](const QModelIndex& index, CustomCell::Outlet) {
        fileCheckBoxTapped(model_->fileOfListRow(index.row()));
    });
    connect(header, &QHeaderView::sectionClicked, this, &ResultViewController::listHeaderClicked);
    connect(tblDuplicates_, &CustomTableView::checkKeyPressed, this, &ResultViewController::checkKeyPressed);
    connect(tblDuplicates_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) {
            if (FileInfoNodePtr file = model_->fileOfListRow(current.row()))
                updateOnDuplicateRowSelection(file);
            else
                updateOnDuplicateRowUnSelection();
        });
    lblNoDuplicateFoundListView_ = label("lblNoDuplicateFoundListView", nullptr, 16, false, captionColor);
    tblResultListView_ = container("tblResultListView", tblDuplicates_, lblNoDuplicateFoundListView_);

    // The outline: one column; group rows span the view and the cell lays out
    // each row kind's outlets across it.
    outlineDuplicates_ = new CustomOutlineView;
    outlineDuplicates_->setObjectName(name("outlineDuplicates"));
    outlineDuplicates_->setModel(model_);
    styleView(outlineDuplicates_);
    outlineDuplicates_->setHeaderHidden(true);
    outlineDuplicates_->setUniformRowHeights(false);
    outlineDuplicates_->setIndentation(16);
    outlineDuplicates_->setRootIsDecorated(true);
    auto* outlineCell = new CustomCell(outlineDuplicates_);
    outlineDuplicates_->setItemDelegate(outlineCell);
    // The outline's one column is as wide as the view, never narrower than
    // its least row: beyond that the name and the folder share the room, and
    // a narrower view scrolls to the rest.
    outlineDuplicates_->header()->setStretchLastSection(false);
    const auto fitOutlineRow = [this, outlineCell] {
        // A new result set shows every column again.
        for (int column = 1; column < ResultsModel::columnCountValue; ++column)
            outlineDuplicates_->setColumnHidden(column, true);
        const int least = outlineLeastRowWidth() + 2 * outlineDuplicates_->indentation();
        const int width = std::max(outlineDuplicates_->viewport()->width(), least);
        layOutOutlineCell(*outlineCell, width - least);
        outlineDuplicates_->header()->resizeSection(0, width);
        outlineDuplicates_->viewport()->update();
    };
    fitOutlineRow();
    outlineDuplicates_->viewport()->installEventFilter(new ResizeHook(fitOutlineRow, outlineDuplicates_));
    connect(model_, &QAbstractItemModel::modelReset, outlineDuplicates_, fitOutlineRow);
    for (QAbstractScrollArea* area :
        { static_cast<QAbstractScrollArea*>(tblDuplicates_), static_cast<QAbstractScrollArea*>(outlineDuplicates_) }) {
        area->setVerticalScrollBar(new CyanideScroller(Qt::Vertical));
        area->setHorizontalScrollBar(new CyanideScroller(Qt::Horizontal));
    }
    connect(outlineDuplicates_, &CustomOutlineView::checkKeyPressed, this, &ResultViewController::checkKeyPressed);
    connect(outlineCell, &CustomCell::buttonTapped, this, [this](const QModelIndex& index, CustomCell::Outlet) {
        if (model_->kindOf(index) == ResultsModel::RowKind::group)
            groupCheckBoxTapped(model_->groupOf(index));
        else if (FileInfoNodePtr file = model_->fileOf(index))
            fileCheckBoxTapped(file);
    });
    connect(outlineDuplicates_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) {
            Log::print(QStringLiteral("outlineViewSelectionDidChange"));
            switch (model_->kindOf(current)) {
            case ResultsModel::RowKind::group: {
                const DuplicateGroupPtr group = model_->groupOf(current);
                if (!group->filterChildren.empty())
                    updateOnDuplicateRowSelection(group->filterChildren.front());
                break;
            }
            case ResultsModel::RowKind::file:
                updateOnDuplicateRowSelection(model_->fileOf(current));
                break;
            case ResultsModel::RowKind::columnTitles:
                break;
            case ResultsModel::RowKind::none:
                updateOnDuplicateRowUnSelection();
                break;
            }
        });
    lblNoDuplicateFoundOutlineview_ = label("lblNoDuplicateFoundOutlineview", nullptr, 16, false, captionColor);
    outlineResultListView_ = container("outlineResultListView", outlineDuplicates_, lblNoDuplicateFoundOutlineview_);

    // The containers fill the left pane whatever its width.
    class FillFilter : public QObject {
    public:
        using QObject::QObject;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Resize) {
                auto* pane = static_cast<QWidget*>(watched);
                for (QObject* child : pane->children()) {
                    if (auto* widget = qobject_cast<QWidget*>(child))
                        widget->setGeometry(pane->rect());
                }
            }
            return false;
        }
    };
    auto* filter = new FillFilter(viewLeft_);
    viewLeft_->installEventFilter(filter);
    // The list's width changes with the window, the splitter and the right
    // pane shown or hidden; the category buttons stay over it.
    viewLeft_->installEventFilter(new ResizeHook([this] { fitCategoryRow(); }, viewLeft_));
    tblResultListView_->installEventFilter(filter);
    outlineResultListView_->installEventFilter(filter);

    lblSelectedFileHeading_ = label("lblSelectedFileHeading", viewRight_, 13, true, captionColor);
    lblSelectedFileHeading_->setGeometry(16, 16, 228, 20);
    lblSelectedFilePath_ = label("lblSelectedFilePath", viewRight_, 13);
    lblSelectedFilePath_->setWordWrap(true);
    lblSelectedFilePath_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSelectedFilePath_->setGeometry(38, 42, 206, 48);
    imgFolderPath_ = new ImageView(QStringLiteral("folder_small"), viewRight_);
    imgFolderPath_->setObjectName(name("imgFolderPath"));
    imgFolderPath_->setGeometry(16, 42, 16, 16);
    imgFolderPath_->hide();
    previewPane_ = new PreviewPane(viewRight_);
    previewPane_->setGeometry(0, 100, viewRight_->width(), std::max(0, viewRight_->height() - 100));
    buildPie();
}

void ResultViewController::buildFooter()
{
    boxFooter_ = box("boxFooter", viewListing_, barColor);
    lblNumMarkedFiles_ = label("lblNumMarkedFiles", boxFooter_, 14, true);
    btnBackToFooter_ = new IMGButton(boxFooter_);
    btnBackToFooter_->setObjectName(name("btnBackToFooter"));
    styleDarkButton(btnBackToFooter_);
    btnTrash_ = new IMGButton(boxFooter_);
    btnTrash_->setObjectName(name("btnTrash"));
    styleBlueButton(btnTrash_);
    for (IMGButton* button : { btnBack_, btnBackToFooter_, btnTrash_ }) {
        button->setFontSizeForButton(button == btnTrash_ ? 14 : 13);
        button->setMakeBoldFont(button == btnTrash_);
        button->setColorOnState(Qt::white);
        button->setColorOffState(Qt::white);
    }
    const auto back = [this] {
        // The footer's Back stays on while a result set is made ready: the
        // user leaves it, and its outcome never opens this screen's sheets.
        handOver_->drop();
        if (backHandler_)
            backHandler_();
    };
    connect(btnBack_, &QAbstractButton::clicked, this, back);
    connect(btnBackToFooter_, &QAbstractButton::clicked, this, back);
    connect(btnTrash_, &QAbstractButton::clicked, this, [this] { removeMarkedFiles(); });
    connect(btnDeleteLink_, &QAbstractButton::clicked, this, [this] { removeMarkedFiles(); });
    connect(cleanup_.get(), &CleanupController::trashButtonStateChanged, this,
        [this](int state) { btnTrash_->setState(state); });
    connect(cleanup_.get(), &CleanupController::removalFinished, this, &ResultViewController::removalFinished);
    connect(cleanup_.get(), &CleanupController::resultAreaChanged, this, &ResultViewController::showResultArea);
    connect(cleanup_.get(), &CleanupController::backToHomeRequested, this, back);
    connect(cleanup_.get(), &CleanupController::undoRunningChanged, this, [this](bool running) {
        // Nothing is removed or undone while an undo puts files back.
        undoRunning_ = running;
        updateTrashButton();
        menuUndo_->setEnabled(!running);
        hudAfterYesUndoPressed_->setVisible(running);
    });
    // The scan-complete sheet's close also closes the clean-up's questions,
    // each answered as its cancel button would.
    connect(autoMarking_.get(), &AutoMarking::closeOtherSheets, this, [this] {
        trashSheets_->closeTrashConfirmation();
        afterCleanSheets_->closeUndoConfirmation();
    });
}

void ResultViewController::connectModel()
{
    ResultsModel::ScreenHooks hooks;
    hooks.shownGroupsChanged = [this] { showShownGroups(); };
    hooks.updateMarkedCountLabel = [this] { updateMarkedCountLabel(); };
    hooks.categoryChanged = [this] { highlightCategoryButton(state_->selectedCategoryIndex); };
    hooks.showNoDuplicatesPopover
        = [this](Category category, const QString& heading) { showNoDuplicatesPopover(category, heading); };
    hooks.disableResultToolbar = [this] { disableResultToolbar(); };
    hooks.sortOrderChanged = [this] { updateSortButton(); };
    hooks.duplicatesSummaryChanged = [this] { updateSummaryLabels(); };
    model_->setScreenHooks(std::move(hooks));
}

// ---- a result set -------------------------------------------------------------

void ResultViewController::showResults(const ScanResultPtr& result)
{
    if (!loaded_)
        viewDidLoad();
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    raise();
    keyboard_->screenShown();
    loadScanResults(result ? result->groups : std::vector<DuplicateGroupPtr> {}, result ? result->dupCount : 0,
        selectedScanSource().load(), result ? std::optional(result->priorityLists) : std::nullopt);
}

void ResultViewController::loadScanResults(
    std::vector<DuplicateGroupPtr> groups, qint64 dupCount, ScanSource source, std::optional<PriorityLists> priorities)
{
    if (!loaded_)
        viewDidLoad();
    // The rows, the totals, the summary and the pie's shares read every file
    // of the result; a large one is read on the hand-over's workers, and
    // until it is in the screen holds no result and its toolbar waits, so
    // that nothing changes a record meanwhile. A result set shown again
    // keeps the marks on its records; the totals and the Remove button
    // follow them rather than starting at nothing.
    handOver_->start(std::move(groups), std::move(priorities),
        [this, dupCount, source](HandOverOutcome& outcome) { showHandedOver(outcome, dupCount, source); });
    if (!handOver_->isRunning())
        return;
    disableResultToolbar();
    sortRunner_->dropPending();
    state_->loadPreparedResultSet(ResultsState::PreparedResultSet {}, 0, source);
    thumbnails_->clear();
    model_->resultSetLoaded(ResultsModel::PreparedRows {});
    clearSelections();
    updateMarkedCountLabel();
}

bool ResultViewController::isHandingOver() const
{
    return handOver_->isRunning();
}

void ResultViewController::showHandedOver(HandOverOutcome& outcome, qint64 dupCount, ScanSource source)
{
    menuClearCache_->setVisible(source == ScanSource::dropbox);
    sortRunner_->dropPending();
    state_->loadPreparedResultSet(std::move(outcome.state), dupCount, source);
    previewPane_->setScanSource(source);
    categoryEmptiedByCleanup_ = false;
    btnAutoMark_->setEnabled(true);
    viewListing_->show();
    viewNoDuplicateFound_->hide();
    viewSucccess_->hide();
    listSortColumn_.reset();
    listSortAsked_.reset();
    showListSortIndicator();
    thumbnails_->clear();
    // A result set opens in the list: the outline is hidden before the rows
    // come, so that it does not lay them out.
    outlineResultListView_->hide();
    model_->resultSetLoaded(std::move(outcome.rows));
    state_->setMarkedTotals(outcome.marked);
    clearSelections();
    updatePieChart(outcome.shares);
    state_->setDuplicatesSummary(std::move(outcome.summary));
    updateSummaryLabels();
    highlightCategoryButton(-1);
    btnChangeResultView(ViewMode::list);
    updateMarkedCountLabel();
    updateSortButton();
    after(200, [this] { autoMarking_->showScanCompleteSheet(); });
}

void ResultViewController::showShownGroups()
{
    // Any other change of the shown groups drops a sort still running.
    sortRunner_->dropPending();
    // A rebuild of the shown files from the groups' scan order (a category,
    // All, a clean-up) ends the column sort; the indicator goes with it. The
    // state says when the files were just sorted, kept or put back; only a
    // change from elsewhere has them checked.
    if (const std::optional<ResultsState::FilesOrder>& justSorted = state_->filesJustSorted()) {
        listSortColumn_.reset();
        for (int column = ResultsModel::checkColumn + 1; column < ResultsModel::columnCountValue; ++column) {
            if (sortColumnForKey(QString::fromLatin1(sortKeys[column])) == justSorted->column)
                listSortColumn_ = column;
        }
        listSortAscending_ = justSorted->ascending;
    } else if (state_->filesJustChanged() == ResultsState::FilesChange::scanOrder) {
        listSortColumn_.reset();
    } else if (const std::optional<SortColumn> sorted = listSortKey();
               sorted && state_->filesJustChanged() == ResultsState::FilesChange::unknown
               && !std::ranges::all_of(state_->arrGroups, [&](const DuplicateGroupPtr& group) {
                      return filesSortedByColumn(group->filterChildren, *sorted, listSortAscending_);
                  })) {
        listSortColumn_.reset();
    }
    if (!sortRunner_->isSorting()) {
        listSortAsked_ = listSortColumn_;
        listSortAskedAscending_ = listSortAscending_;
    }
    showListSortIndicator();
    clearSelections();
    reapplyResultViewMode();
}

void ResultViewController::clearSelections()
{
    tblDuplicates_->selectionModel()->clearSelection();
    tblDuplicates_->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    outlineDuplicates_->selectionModel()->clearSelection();
    outlineDuplicates_->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    collDuplicates_->deselectAll();
    currentSelectedIndexs_.clear();
    updateOnDuplicateRowUnSelection();
}

void ResultViewController::updateOnDuplicateRowSelection(const FileInfoNodePtr& file)
{
    Log::print(QStringLiteral("updateOnDuplicateRowSelection"));
    imgFolderPath_->show();
    const QString path = file ? file->filePath.value_or(QString()) : QString();
    lblSelectedFilePath_->setText(path);
    lblSelectedFilePath_->setToolTip(path);
    previewPane_->fillMetaInfoTable(file);
    rememberSelection(file);
    // The preview follows on a later turn, after the table has been drawn.
    const quint64 generation = ++previewGeneration_;
    std::weak_ptr<FileInfoNode> shown = file;
    QMetaObject::invokeMethod(
        this,
        [this, generation, shown] {
            if (generation == previewGeneration_)
                previewPane_->updatePreview(shown.lock());
        },
        Qt::QueuedConnection);
}

void ResultViewController::updateOnDuplicateRowUnSelection()
{
    Log::print(QStringLiteral("updateOnDuplicateRowUnSelection"));
    ++previewGeneration_;
    lblSelectedFilePath_->clear();
    lblSelectedFilePath_->setToolTip(QString());
    imgFolderPath_->hide();
    previewPane_->showGraphView();
    currentSelectedIndexs_.clear();
}

void ResultViewController::rememberSelection(const FileInfoNodePtr& file)
{
    if (!file)
        return;
    const DuplicateGroupPtr group = file->parent.lock();
    const auto& groups = state_->arrGroups;
    const auto section = std::find(groups.begin(), groups.end(), group);
    if (!group || section == groups.end())
        return;
    const auto& shown = group->filterChildren;
    const auto item = std::find(shown.begin(), shown.end(), file);
    if (item == shown.end())
        return;
    std::erase_if(currentSelectedIndexs_, [&file](const SelectedIndex& index) { return index.file.lock() == file; });
    currentSelectedIndexs_.push_back({ int(section - groups.begin()), int(item - shown.begin()), file });
}

FileInfoNodePtr ResultViewController::lastSelectedFileNode() const
{
    if (currentSelectedIndexs_.empty())
        return nullptr;
    const SelectedIndex& last = currentSelectedIndexs_.back();
    const auto& groups = state_->arrGroups;
    if (last.section < 0 || last.section >= int(groups.size()))
        return nullptr;
    const auto& shown = groups[size_t(last.section)]->filterChildren;
    if (last.item < 0 || last.item >= int(shown.size()))
        return nullptr;
    // After the shown groups were rebuilt the same place may hold another
    // file; acting on that one would act on a file the user never chose.
    const FileInfoNodePtr file = shown[size_t(last.item)];
    return file == last.file.lock() ? file : nullptr;
}

void ResultViewController::showPreviewPanelForNode(const FileInfoNodePtr& file)
{
    if (!previewWindow_)
        previewWindow_ = new PreviewWindow(this);
    previewWindow_->showPreviewForNode(file, state_->resultSource());
}

PreviewWindow* ResultViewController::previewWindow() const
{
    return previewWindow_.data();
}

void ResultViewController::clearScanCache()
{
    if (!ScanCache::clearScanCache())
        Log::print(QStringLiteral("clearScanCache: refused while a scan runs"));
}

void ResultViewController::removalFinished(bool rowsTaken)
{
    // The clean-up has dropped the groups left with one file and recounted
    // the marks. Where it took the shown groups again, showResultArea has
    // brought the views and the summary along; otherwise they follow here.
    if (rowsTaken)
        return;
    state_->isCollectionViewRefreshRequired = true;
    model_->shownGroupsChanged();
    state_->updateDuplicatesSummary(state_->arrMainGroup);
    updatePieChart();
}

void ResultViewController::showResultArea(ResultArea area)
{
    // The clean-up has rebuilt the shown groups, and the model with them.
    updatePieChart();
    viewNoDuplicateFound_->hide();
    viewListing_->show();
    if (area == ResultArea::allRemoved) {
        placeNoDuplicatesView();
        viewSucccess_->show();
        return;
    }
    viewSucccess_->hide();
    categoryEmptiedByCleanup_ = area == ResultArea::emptyCategory;
    btnAutoMark_->setEnabled(area == ResultArea::listing);
}

// ---- view modes and toolbar ----------------------------------------------------

void ResultViewController::btnChangeResultView(ViewMode mode)
{
    Log::print(QStringLiteral("btnChangeResultView"));
    // The change is made at once, so the toolbar stays usable: a click on a
    // view mode or a category right after another one acts too.
    mode_ = mode;
    const bool empty = state_->arrGroups.empty();
    const bool list = mode == ViewMode::list;
    tblResultListView_->setVisible(list);
    outlineResultListView_->setVisible(mode == ViewMode::group);
    collResultListView_->setVisible(mode == ViewMode::grid);
    tblDuplicates_->setVisible(!empty);
    outlineDuplicates_->setVisible(!empty);
    lblNoDuplicateFoundListView_->setVisible(empty);
    lblNoDuplicateFoundOutlineview_->setVisible(empty);
    collDuplicates_->setVisible(!empty);
    lblNoDuplicateFoundCollectionview_->setVisible(empty);
    btnGroupView_->setText(localizedText(list ? "ID_LIST_VIEW"
            : mode == ViewMode::group         ? "ID_GROUP_VIEW"
                                              : "ID_THUMBNAIL_VIEW"));
    static_cast<IconButton*>(btnGroupView_)
        ->setImageName(name(list          ? "list_icon"
                : mode == ViewMode::group ? "tree_view_icon"
                                          : "grid_icon"));
    clearSelections();
    (list ? static_cast<QAbstractItemView*>(tblDuplicates_) : outlineDuplicates_)->viewport()->update();
    if (mode == ViewMode::grid)
        after(50, [this] { changeCellViewControllerInCollectionView(); });
    static_cast<IconButton*>(btnListView_)->setImageName(name(list ? "list_sel_icon" : "list_icon"));
    static_cast<IconButton*>(btnHierarcheryView_)
        ->setImageName(name(mode == ViewMode::group ? "tree_view_sel_icon" : "tree_view_icon"));
    static_cast<IconButton*>(btnThumbnailView_)
        ->setImageName(name(mode == ViewMode::grid ? "grid_sel_icon" : "grid_icon"));
    highlightViewModeButton();
    // Ends a re-sort's pause; a toolbar that is enabled stays so.
    enableResultToolbarLater();
}

void ResultViewController::menuItemSelected(int tag)
{
    btnChangeResultView(tag == 0 ? ViewMode::list : tag == 1 ? ViewMode::group : ViewMode::grid);
}

void ResultViewController::reapplyResultViewMode()
{
    btnChangeResultView(mode_);
}

void ResultViewController::reloadShownResultView()
{
    after(50, [this] {
        collDuplicates_->viewport()->update();
        (mode_ == ViewMode::list ? static_cast<QAbstractItemView*>(tblDuplicates_) : outlineDuplicates_)
            ->viewport()
            ->update();
    });
}

void ResultViewController::reloadResultViewAfterFilter()
{
    reloadShownResultView();
    enableResultToolbarLater();
}

static QList<QAbstractButton*> toolbarButtons(QAbstractButton* const* fixed, int count, RAZButton* const* categories)
{
    QList<QAbstractButton*> buttons(fixed, fixed + count);
    for (int i = 0; i < 7; ++i)
        buttons.append(categories[i]);
    return buttons;
}

void ResultViewController::disableResultToolbar()
{
    ++toolbarGeneration_;
    setResultToolbarEnabled(false);
}

void ResultViewController::enableResultToolbarLater()
{
    const quint64 generation = toolbarGeneration_;
    after(1000, [this, generation] {
        if (generation == toolbarGeneration_)
            setResultToolbarEnabled(true);
    });
}

void ResultViewController::setResultToolbarEnabled(bool enable)
{
    QAbstractButton* const fixed[] = { btnHierarcheryView_, btnListView_, btnThumbnailView_, btnGroupView_, btnSort_,
        btnFullScreen_, btnAutoMark_, btnUnmarkAll_, btnSelectionAssitance_, btnOptions_ };
    for (QAbstractButton* button : toolbarButtons(fixed, int(std::size(fixed)), categoryButtons_))
        button->setEnabled(enable);
    toolbarEnabled_ = enable;
    updateTrashButton();
    // A category the clean-up emptied has nothing to mark until other groups
    // are shown.
    if (categoryEmptiedByCleanup_ && state_->arrGroups.empty())
        btnAutoMark_->setEnabled(false);
    btnBack_->setEnabled(enable);
    btnDeleteLink_->setEnabled(enable);
}

bool ResultViewController::isResultToolbarEnabled() const
{
    return toolbarEnabled_ && btnListView_->isEnabled() && categoryButtons_[0]->isEnabled();
}

void ResultViewController::updateTrashButton()
{
    // Remove waits for the toolbar, for a running undo and for a mark.
    btnTrash_->setEnabled(toolbarEnabled_ && !undoRunning_ && state_->countMarked() > 0);
}

void ResultViewController::highlightViewModeButton()
{
    styleModeButton(btnListView_, mode_ == ViewMode::list);
    styleModeButton(btnHierarcheryView_, mode_ == ViewMode::group);
    styleModeButton(btnThumbnailView_, mode_ == ViewMode::grid);
    styleModeButton(btnFullScreen_, btnFullScreen_->isChecked());
}

void ResultViewController::highlightCategoryButton(int category)
{
    highlightedCategory_ = category;
    for (int i = 0; i < 7; ++i) {
        const bool selected = categoryButtonTable[i].category == category;
        categoryArrows_[i]->setVisible(selected);
        styleCategoryButton(categoryButtons_[i], selected);
    }
}

void ResultViewController::categoryTapped(int index)
{
    const int category = categoryButtonTable[index].category;
    if (category < 0)
        state_->btnShowAllItems();
    else
        state_->selectCategory(Category(category));
}

void ResultViewController::showNoDuplicatesPopover(Category category, const QString& heading)
{
    int index = 0;
    while (index < 6 && categoryButtonTable[index].category != int(category))
        ++index;
    if (!popover_)
        popover_ = std::make_unique<OptionPopover>();
    popover_->view();
    popover_->txtHeading()->setText(heading);
    popover_->showPopover(categoryButtons_[index]);
}

void ResultViewController::btnSettingsInResultViewTapped()
{
    // The opener makes the window on first use and shows that same one after.
    if (preferencesOpener_)
        preferencesOpener_();
}

void ResultViewController::btnFullScreenTapped()
{
    viewRight_->setVisible(!btnFullScreen_->isChecked());
    highlightViewModeButton();
}

void ResultViewController::updateSortButton()
{
    const bool ascending = state_->sortOrder == GlobalObjects::SortOrder::sortAsecending;
    static_cast<IconButton*>(btnSort_)->setImageName(name(ascending ? "up_arrow" : "down_arrow"));
}

void ResultViewController::updateMarkedCountLabel()
{
    const MarkedCountLabel marked = state_->markedCountLabel();
    lblNumMarkedFiles_->setText(marked.text);
    if (marked.unhide)
        lblNumMarkedFiles_->show();
    btnTrash_->setState(marked.trashEnabled ? 1 : 0);
    updateTrashButton();
    btnSelectAllTblCheckBox_->setState(state_->selectAllBoxState());
}

void ResultViewController::updateSummaryLabels()
{
    const DuplicatesSummary& summary = state_->duplicatesSummary();
    lblDuplicateFound_->setText(summaryRichText(summary.lblDuplicateFound));
    lblDupsInGroups_->setText(summary.lblDupsInGroups);
    lblDupsInGroups_->setFont(systemFontOfSize(14)); // the size a fitting before may have lowered
    lblSpaceToBeSaved_->setText(summaryRichText(summary.lblSpaceToBeSaved));
    lblSpaceSavedOnPie_->setText(summary.lblSpaceSavedOnPie.text);
    layoutFooterLabels();
    fitGroupsLine();
}

void ResultViewController::fitGroupsLine()
{
    const LayoutFrame* found = frames_.find(name("lblDuplicateFound"));
    const LayoutFrame* space = frames_.find(name("lblSpaceToBeSaved"));
    if (!found || !space || !frames_.contains(name("lblDupsInGroups")))
        return;
    LayoutFrame& groups = frames_[name("lblDupsInGroups")];
    const auto textWidth = [](const QLabel* label, const QFont& font) {
        return QFontMetrics(font).horizontalAdvance(label->text()) + 2 * label->margin() + 2;
    };
    if (textWidth(lblDupsInGroups_, lblDupsInGroups_->font()) <= groups.width)
        return;
    // Large counts: the line takes the room between the found count's text
    // and the right-aligned space figure's, and a smaller size if it still
    // has too little; the figures themselves stay whole.
    constexpr int gap = 12;
    const double left = found->x + std::min<double>(found->width, lblDuplicateFound_->sizeHint().width()) + gap;
    const double right
        = space->x + space->width - std::min<double>(space->width, lblSpaceToBeSaved_->sizeHint().width()) - gap;
    const double width = std::max(right - left, groups.width);
    if (width > groups.width) {
        groups.x = left;
        groups.width = width;
    }
    QFont font = lblDupsInGroups_->font();
    while (textWidth(lblDupsInGroups_, font) > groups.width && font.pixelSize() > 10)
        font.setPixelSize(font.pixelSize() - 1);
    lblDupsInGroups_->setFont(font);
    lblDupsInGroups_->setGeometry(int(groups.x), lblDupsInGroups_->y(), int(groups.width), lblDupsInGroups_->height());
}

void ResultViewController::layoutFooterLabels()
{
    const QFont small = systemFontOfSize(12);
    const QFontMetricsF metrics(small);
    const std::optional<FooterLayout> layout
        = ::layoutFooterLabels(metrics.horizontalAdvance(lblDupsInGroups_->text()), lblNumMarkedFiles_->width());
    if (!layout)
        return;
    for (QLabel* label : { lblDupsInGroups_, lblNumMarkedFiles_, lblSelectedFilePath_ })
        label->setFont(small);
    // The groups line keeps its place among the header's figures and takes
    // the width its text needs; the marked count and the selected file's path
    // stand in rows of their own on this screen (the footer's start and the
    // preview pane), so only their font follows.
    const int width = static_cast<int>(std::ceil(layout->dupsInGroupsWidth));
    lblDupsInGroups_->resize(width, lblDupsInGroups_->height());
    if (frames_.contains(name("lblDupsInGroups")))
        frames_[name("lblDupsInGroups")].width = width;
}

void ResultViewController::listHeaderClicked(int column)
{
    if (column > ResultsModel::checkColumn && column < ResultsModel::columnCountValue) {
        // A first click sets the ascending flag, a second one on the same
        // column clears it: the same column as the last click, also while
        // that sort still runs.
        listSortAskedAscending_ = listSortAsked_ == column ? !listSortAskedAscending_ : true;
        listSortAsked_ = column;
        sortRunner_->sortColumn(SortDescriptor { QString::fromLatin1(sortKeys[column]), listSortAskedAscending_ });
    }
    // The header moves its indicator on every click, the check column's
    // too; it shows the order the rows have.
    showListSortIndicator();
}

std::optional<SortColumn> ResultViewController::listSortKey() const
{
    return listSortColumn_ ? sortColumnForKey(QString::fromLatin1(sortKeys[*listSortColumn_])) : std::nullopt;
}

void ResultViewController::showListSortIndicator()
{
    QHeaderView* header = tblDuplicates_->horizontalHeader();
    const std::optional<SortColumn> sorted = listSortKey();
    header->setSortIndicatorShown(sorted.has_value());
    if (sorted) {
        header->setSortIndicator(*listSortColumn_,
            filesRiseByColumn(*sorted, listSortAscending_) ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

void ResultViewController::btnSelectAllTblTapped(const CheckBoxButton& sender)
{
    Log::print(QStringLiteral("btnSelectAllTblTapped"));
    // The box has taken its new state: on marks every shown group but for
    // one file each, protected files left alone; off unmarks every shown file.
    state_->selectAllShownFilesInSlices(sender.state() == 1);
    reloadShownResultView();
}

void ResultViewController::fileCheckBoxTapped(const FileInfoNodePtr& file)
{
    if (file)
        state_->fileCheckBoxTapped(file);
}

void ResultViewController::groupCheckBoxTapped(const DuplicateGroupPtr& group)
{
    if (group)
        state_->groupCheckBoxTapped(group);
}

void ResultViewController::checkKeyPressed()
{
    keyboard_->checkKeyPressed();
}
