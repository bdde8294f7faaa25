#pragma once

#include "results/ResultViewMode.h"
#include "results/ResultsWidgets.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QProgressBar;
class RAZButton;

// The results screen's toolbar: the view-mode buttons and pop-up, marking,
// unmark all, the assistant and its options menu, settings, Undo with its
// running bar, the preview switch and the sort button (which stands at the
// category row's end). It owns whether the toolbar is enabled and which
// re-enable may still run; what a button does goes to its action. GUI thread
// only.
class ResultsToolbar : public QObject {
public:
    struct Actions {
        std::function<void(ResultViewMode)> changeView;
        // The button unmarks in slices, the options menu's item at once.
        std::function<void()> unmarkAll;
        std::function<void()> unmarkAllAtOnce;
        std::function<void()> selectionAssistant;
        std::function<void()> undo;
        std::function<void()> sort;
        std::function<void()> settings;
        std::function<void()> fullScreen;
        std::function<void()> autoMark;
    };

    ResultsToolbar(Actions actions, ResultsLater later, QWidget& screen);

    void build(QWidget* parent);
    // The strip the toolbar's buttons stand in (the sort button apart).
    QWidget* row() const { return boxHeaderDetail_; }
    // The sort button moves to the row it stands in.
    void placeSortButton(QWidget* row);
    // The options pop-up starts with the two marking menus.
    void addMarkMenus(QMenu* autoMarkMenu, QMenu* markMenu);
    // The toolbar buttons' looks, and the sort button's tool tip from its
    // title once the texts are in.
    void style();
    void takeSortToolTip();

    // The view-mode buttons and the pop-up's title for mode.
    void showViewMode(ResultViewMode mode);
    // The mode buttons' looks, the preview switch's with them.
    void highlightViewModeButtons(ResultViewMode mode);
    bool isPreviewHidden() const;
    void showSortOrder(bool ascending);
    // Nothing is undone again while an undo puts files back; the bar runs.
    void showUndoRunning(bool running);
    // Undo and its menu item are enabled only while offered, and no undo
    // runs.
    void offerUndo(bool offered);
    void setAutoMarkEnabled(bool enable);

    void setEnabled(bool enable);
    // As last set; the view buttons may have been disabled apart.
    bool isEnabled() const;
    bool areViewButtonsEnabled() const;
    // A disable that only a later re-enable may end: an older re-enable
    // still pending never enables the toolbar.
    void holdDisabled();
    // 1 s later, enable runs unless another disable came meanwhile.
    void enableLater(std::function<void()> enable);

    // The toolbar's lowest row in the listing.
    int bottom() const;

private:
    Actions actions_;
    ResultsLater later_;
    QWidget& screen_;
    quint64 generation_ = 0;
    bool enabled_ = false;

    QWidget* boxHeaderDetail_ = nullptr;
    IconButton* btnListView_ = nullptr;
    IconButton* btnHierarcheryView_ = nullptr;
    IconButton* btnGroupView_ = nullptr;
    IconButton* btnThumbnailView_ = nullptr;
    IconButton* btnSort_ = nullptr;
    IconButton* btnFullScreen_ = nullptr;
    IconButton* btnOptions_ = nullptr;
    RAZButton* btnAutoMark_ = nullptr;
    RAZButton* btnUnmarkAll_ = nullptr;
    RAZButton* btnSelectionAssitance_ = nullptr;
    RAZButton* btnUndo_ = nullptr;
    RAZButton* btnSettingsInResultView_ = nullptr;
    QProgressBar* hudAfterYesUndoPressed_ = nullptr;
    QMenu* menuOptions_ = nullptr;
    QMenu* menuViewMode_ = nullptr;
    QAction* menuUndo_ = nullptr;
    bool undoOffered_ = true;
    bool undoRunning_ = false;
};
