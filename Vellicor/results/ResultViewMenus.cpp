// The results screen's mark menu and the context menu of its views.

#include "cleanup/CleanupController.h"
#include "cleanup/ResultAreaViews.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/MyCollectionView.h"
#include "core/Localization.h"
#include "results/MarkMenu.h"
#include "results/ResultContextMenu.h"
#include "results/ResultViewController.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsModel.h"

#include <QLabel>
#include <QMenu>

void ResultViewController::buildMarkAndContextMenus()
{
    MarkMenu::Handlers handlers;
    handlers.markBy = [this](MarkByCommand command, std::optional<int> tag) { markByCommand(command, tag); };
    handlers.autoMark = [this] { autoMarking_->btnMarkMenuItemTapped(); };
    handlers.autoMarkOptions = [this] { autoMarking_->btnSelectAssistanceTapped(); };
    handlers.deleteMarked = [this] { removeMarkedFiles(); };
    handlers.clearCache = [this] { clearScanCache(); };
    handlers.filterMarkedGroups = [this] { state_->btnFilterGroupWithMarkedFileMenuItemTapped(); };
    handlers.isFilteringMarkedGroups = [this] { return state_->isMarkedGroupsFilterOn; };
    markMenu_ = new MarkMenu(std::move(handlers), this);
    menuClearCache_ = markMenu_->menuClearCache();
    // The options button's pop-up: the two marking menus first.
    QAction* first = menuOptions_->actions().value(0);
    menuOptions_->insertMenu(first, markMenu_->autoMarkMenu());
    menuOptions_->insertMenu(first, markMenu_->markMenu());
    menuOptions_->insertSeparator(first);

    contextMenu_ = new ResultContextMenu(*state_, this);
    tblDuplicates_->setMenu(contextMenu_->menu());
    outlineDuplicates_->setMenu(contextMenu_->menu());
    collDuplicates_->setMenu(contextMenu_->menu());
    // Only the view of the shown mode can have been clicked; a right click
    // makes the clicked row the list's or the outline's current one.
    contextMenu_->setClickedFileSource([this]() -> FileInfoNodePtr {
        switch (mode_) {
        case ViewMode::list:
            return model_->fileOfListRow(tblDuplicates_->currentIndex().row());
        case ViewMode::group:
            return model_->fileOf(outlineDuplicates_->currentIndex());
        case ViewMode::grid:
            if (const std::optional<IndexPath> clicked = collDuplicates_->clickedIndexPath())
                return gridModel_->fileOf(gridModel_->indexOfItem(clicked->section, clicked->item));
            return nullptr;
        }
        return nullptr;
    });
    contextMenu_->setRemovedFromListHandler([this](bool nothingLeft) { removedFromList(nothingLeft); });
    contextMenu_->setPreviewHandler([this](const FileInfoNodePtr& file) { showPreviewPanelForNode(file); });
}

void ResultViewController::markByCommand(MarkByCommand command, std::optional<int> tag)
{
    // A command given while an earlier one is still going follows its end.
    state_->startBulkMarks(std::make_shared<MarkByRun>(*state_, command, tag));
}

void ResultViewController::removeMarkedFiles()
{
    // The removal takes the marks of a command still going as it ends.
    state_->finishBulkMarks();
    cleanup_->removeSelectedItems();
}

void ResultViewController::setPreviewHandler(std::function<void(const FileInfoNodePtr&)> preview)
{
    contextMenu_->setPreviewHandler(std::move(preview));
}

void ResultViewController::removedFromList(bool nothingLeft)
{
    if (!nothingLeft)
        return;
    // The last group went: the nothing-found view, as after a scan without
    // duplicates.
    viewSucccess_->hide();
    placeNoDuplicatesView();
    viewNoDuplicateFound_->show();
    viewNoDuplicateFound_->raise();
}
