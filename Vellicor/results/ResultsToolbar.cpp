#include "results/ResultsToolbar.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonStyles.h"
#include "controls/NamedImage.h"
#include "core/Localization.h"

#include <QMenu>
#include <QProgressBar>

#include <tuple>

using namespace ResultsLook;

namespace {

void styleModeButton(RAZButton* button, bool selected)
{
    const auto rgb = [](int r, int g, int b) { return QColor(r, g, b); };
    button->setButtonInsideColor(selected ? rgb(29, 29, 29) : rgb(40, 40, 40), rgb(29, 29, 29), Qt::white,
        rgb(164, 164, 164), rgb(30, 40, 50), rgb(194, 194, 194), 0, 24, true, false, 0);
    button->update();
}

} // namespace

ResultsToolbar::ResultsToolbar(Actions actions, ResultsLater later, QWidget& screen)
    : actions_(std::move(actions))
    , later_(std::move(later))
    , screen_(screen)
{
}

void ResultsToolbar::build(QWidget* parent)
{
    boxHeaderDetail_ = box("boxHeaderDetail", parent, screenColor);
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
    const std::initializer_list<RAZButton*> styled = { btnGroupView_, btnAutoMark_, btnUnmarkAll_,
        btnSelectionAssitance_, btnOptions_, btnSort_, btnSettingsInResultView_, btnUndo_ };
    for (RAZButton* button : styled) {
        applyResultButtonStyle(button);
        button->setFont(systemFontOfSize(13));
    }

    // Each mode's item wears the drawing of its mode button.
    menuViewMode_ = new QMenu(&screen_);
    menuViewMode_->setObjectName(name("menuViewMode"));
    const std::tuple<const char*, const char*, ResultViewMode> modes[] = {
        { "ID_LIST_VIEW", "list_icon_d", ResultViewMode::list },
        { "ID_GROUP_VIEW", "group_icon_d", ResultViewMode::group },
        { "ID_THUMBNAIL_VIEW", "thumb_view_icon_d", ResultViewMode::grid },
    };
    for (const auto& [title, image, mode] : modes) {
        const ResultViewMode chosen = mode;
        menuViewMode_->addAction(
            namedIcon(name(image)), localizedText(title), this, [this, chosen] { actions_.changeView(chosen); });
    }
    menuOptions_ = new QMenu(&screen_);
    menuOptions_->addAction(localizedText("ID_UNMARK_ALL"), this, [this] { actions_.unmarkAllAtOnce(); });
    menuOptions_->addAction(localizedText("ID_SELECTION_ASSISTANT"), this, [this] { actions_.selectionAssistant(); });
    menuUndo_ = menuOptions_->addAction(localizedText("ID_UNDO"), this, [this] { actions_.undo(); });
    // The toolbar's own buttons for the assistant and Undo act as their menu items do.
    connect(btnSelectionAssitance_, &QAbstractButton::clicked, this, [this] { actions_.selectionAssistant(); });
    connect(btnUndo_, &QAbstractButton::clicked, menuUndo_, &QAction::trigger);
    connect(menuUndo_, &QAction::enabledChanged, btnUndo_, &QWidget::setEnabled);

    connect(btnListView_, &QAbstractButton::clicked, this, [this] { actions_.changeView(ResultViewMode::list); });
    connect(
        btnHierarcheryView_, &QAbstractButton::clicked, this, [this] { actions_.changeView(ResultViewMode::group); });
    connect(btnThumbnailView_, &QAbstractButton::clicked, this, [this] { actions_.changeView(ResultViewMode::grid); });
    connect(btnGroupView_, &QAbstractButton::clicked, this,
        [this] { menuViewMode_->popup(btnGroupView_->mapToGlobal(QPoint(0, btnGroupView_->height()))); });
    connect(btnOptions_, &QAbstractButton::clicked, this,
        [this] { menuOptions_->popup(btnOptions_->mapToGlobal(QPoint(0, btnOptions_->height()))); });
    connect(btnSort_, &QAbstractButton::clicked, this, [this] { actions_.sort(); });
    connect(btnSettingsInResultView_, &QAbstractButton::clicked, this, [this] { actions_.settings(); });
    connect(btnFullScreen_, &QAbstractButton::clicked, this, [this] { actions_.fullScreen(); });
    connect(btnAutoMark_, &QAbstractButton::clicked, this, [this] { actions_.autoMark(); });
    connect(btnUnmarkAll_, &QAbstractButton::clicked, this, [this] { actions_.unmarkAll(); });
}

void ResultsToolbar::placeSortButton(QWidget* row)
{
    btnSort_->setParent(row);
    btnSort_->show();
}

void ResultsToolbar::addMarkMenus(QMenu* autoMarkMenu, QMenu* markMenu)
{
    QAction* first = menuOptions_->actions().value(0);
    menuOptions_->insertMenu(first, autoMarkMenu);
    menuOptions_->insertMenu(first, markMenu);
    menuOptions_->insertSeparator(first);
}

void ResultsToolbar::style()
{
    // Looked up by name: the toolbar holds only some of these buttons in
    // some builds of the screen, and a missing one is simply not styled.
    for (const char* control : { "btnAutoMark", "btnUnmarkAll", "btnSelectionAssitance", "btnUndo", "btnOptions",
             "btnGroupView", "btnSettingsInResultView" }) {
        if (auto* button = screen_.findChild<RAZButton*>(name(control))) {
            applyResultToolbarButtonStyle(button);
            button->update();
        }
    }
}

void ResultsToolbar::takeSortToolTip()
{
    // The sort button's tool tip is its title as the button holds it.
    btnSort_->setToolTip(btnSort_->text());
}

void ResultsToolbar::showViewMode(ResultViewMode mode)
{
    const bool list = mode == ResultViewMode::list;
    btnGroupView_->setText(localizedText(list ? "ID_LIST_VIEW"
            : mode == ResultViewMode::group   ? "ID_GROUP_VIEW"
                                              : "ID_THUMBNAIL_VIEW"));
    btnGroupView_->setImageName(name(list   ? "list_icon"
            : mode == ResultViewMode::group ? "tree_view_icon"
                                            : "grid_icon"));
    btnListView_->setImageName(name(list ? "list_sel_icon" : "list_icon"));
    btnHierarcheryView_->setImageName(name(mode == ResultViewMode::group ? "tree_view_sel_icon" : "tree_view_icon"));
    btnThumbnailView_->setImageName(name(mode == ResultViewMode::grid ? "grid_sel_icon" : "grid_icon"));
    highlightViewModeButtons(mode);
}

void ResultsToolbar::highlightViewModeButtons(ResultViewMode mode)
{
    styleModeButton(btnListView_, mode == ResultViewMode::list);
    styleModeButton(btnHierarcheryView_, mode == ResultViewMode::group);
    styleModeButton(btnThumbnailView_, mode == ResultViewMode::grid);
    styleModeButton(btnFullScreen_, btnFullScreen_->isChecked());
}

bool ResultsToolbar::isPreviewHidden() const
{
    return btnFullScreen_->isChecked();
}

void ResultsToolbar::showSortOrder(bool ascending)
{
    btnSort_->setImageName(name(ascending ? "up_arrow" : "down_arrow"));
}

void ResultsToolbar::showUndoRunning(bool running)
{
    undoRunning_ = running;
    hudAfterYesUndoPressed_->setVisible(running);
    offerUndo(undoOffered_);
}

void ResultsToolbar::offerUndo(bool offered)
{
    undoOffered_ = offered;
    menuUndo_->setEnabled(undoOffered_ && !undoRunning_);
}

void ResultsToolbar::setAutoMarkEnabled(bool enable)
{
    btnAutoMark_->setEnabled(enable);
}

void ResultsToolbar::setEnabled(bool enable)
{
    const std::initializer_list<QAbstractButton*> buttons = { btnHierarcheryView_, btnListView_, btnThumbnailView_,
        btnGroupView_, btnSort_, btnFullScreen_, btnAutoMark_, btnUnmarkAll_, btnSelectionAssitance_, btnOptions_ };
    for (QAbstractButton* button : buttons)
        button->setEnabled(enable);
    enabled_ = enable;
}

bool ResultsToolbar::isEnabled() const
{
    return enabled_;
}

bool ResultsToolbar::areViewButtonsEnabled() const
{
    return btnListView_->isEnabled();
}

void ResultsToolbar::holdDisabled()
{
    ++generation_;
}

void ResultsToolbar::enableLater(std::function<void()> enable)
{
    const quint64 generation = generation_;
    later_(1000, [this, generation, enable = std::move(enable)] {
        if (generation == generation_)
            enable();
    });
}

int ResultsToolbar::bottom() const
{
    return boxHeaderDetail_->geometry().bottom();
}
