#include "results/ResultsKeyboard.h"

#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/MyCollectionView.h"
#include "results/ResultViewController.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsModel.h"

#include <QApplication>
#include <QEvent>
#include <QItemSelectionModel>

#include <algorithm>
#include <vector>

ResultsKeyboard::ResultsKeyboard(ResultViewController& screen)
    : screen_(screen)
{
}

void ResultsKeyboard::screenShown()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() == screen_.window() && !screen_.isAncestorOf(focus))
        focusBefore_ = focus;
    if (!focus || (focus->window() == screen_.window() && !screen_.isAncestorOf(focus)))
        shownView()->setFocus(Qt::OtherFocusReason);
}

void ResultsKeyboard::screenHidden()
{
    // The window keeps its focus widget while it is not active; the keys
    // find it there when it is again.
    QWidget* window = screen_.window();
    QWidget* focus = window->focusWidget();
    if (focus && !screen_.isAncestorOf(focus) && focus->isVisible())
        return;
    const auto takesTab = [this, window](QWidget* w) {
        return (w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() && w->window() == window
            && !screen_.isAncestorOf(w) && !w->focusProxy();
    };
    QWidget* next = focusBefore_ && takesTab(focusBefore_) ? focusBefore_.data() : nullptr;
    for (QWidget* w = window->nextInFocusChain(); !next && w && w != window; w = w->nextInFocusChain()) {
        if (takesTab(w))
            next = w;
    }
    if (next)
        next->setFocus(Qt::OtherFocusReason);
    else if (focus)
        focus->clearFocus();
    focusBefore_.clear();
}

void ResultsKeyboard::watchWindow()
{
    screen_.window()->installEventFilter(this);
}

bool ResultsKeyboard::eventFilter(QObject* watched, QEvent* event)
{
    // Back in the window after a sheet or another window, the keys land on
    // this screen, never on the home screen's controls below it.
    if (watched == screen_.window() && event->type() == QEvent::WindowActivate && screen_.isVisible()) {
        QWidget* focus = screen_.window()->focusWidget();
        if (!focus || !screen_.isAncestorOf(focus) || !focus->isVisible())
            shownView()->setFocus(Qt::ActiveWindowFocusReason);
    }
    return QObject::eventFilter(watched, event);
}

QWidget* ResultsKeyboard::shownView() const
{
    switch (screen_.viewMode()) {
    case ResultViewController::ViewMode::group:
        return screen_.outlineDuplicates();
    case ResultViewController::ViewMode::grid:
        return screen_.collDuplicates();
    case ResultViewController::ViewMode::list:
        break;
    }
    return screen_.tblDuplicates();
}

bool ResultsKeyboard::moveFocus(bool next)
{
    // The screen lies over the home screen, whose controls stay shown below
    // it: Tab and Shift+Tab go round this screen's own controls only. The
    // window's focus widget, also while a sheet has the keys and a control
    // going away hands its focus on.
    QWidget* from = screen_.window()->focusWidget();
    if (!from || !screen_.isAncestorOf(from) || !screen_.isVisible())
        return false;
    // A control disabled or hidden under the focus (Delete Marked once
    // nothing is marked, the toolbar while a view is rebuilt) hands it to
    // the shown view, the screen's main place, not to whatever follows it.
    if (!from->isEnabled() || !from->isVisible()) {
        QWidget* view = shownView();
        if (view != from && view->isVisible() && view->isEnabled()) {
            view->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    for (QWidget* w = next ? from->nextInFocusChain() : from->previousInFocusChain(); w && w != from;
         w = next ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (screen_.isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()
            && w->window() == screen_.window() && !w->focusProxy()) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return true;
}

void ResultsKeyboard::checkKeyPressed()
{
    // The row the ring shows: the selection when it holds the current row,
    // else the current row alone.
    const auto chosen = [](const QAbstractItemView& view) {
        const QModelIndex current = view.currentIndex().siblingAtColumn(0);
        QModelIndexList rows = view.selectionModel()->selectedRows();
        if (current.isValid() && !rows.contains(current))
            rows = { current };
        std::ranges::sort(rows, [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
        return rows;
    };
    ResultsModel& model = screen_.model();
    std::vector<FileInfoNodePtr> files;
    switch (screen_.viewMode()) {
    case ResultViewController::ViewMode::list:
        for (const QModelIndex& row : chosen(*screen_.tblDuplicates()))
            files.push_back(model.fileOfListRow(row.row()));
        break;
    case ResultViewController::ViewMode::group: {
        const QModelIndexList rows = chosen(*screen_.outlineDuplicates());
        if (rows.size() == 1 && model.kindOf(rows.front()) == ResultsModel::RowKind::group) {
            screen_.groupCheckBoxTapped(model.groupOf(rows.front()));
            return;
        }
        for (const QModelIndex& row : rows) {
            if (model.kindOf(row) == ResultsModel::RowKind::file)
                files.push_back(model.fileOf(row));
        }
        break;
    }
    case ResultViewController::ViewMode::grid: {
        QList<QPersistentModelIndex> items = screen_.currentSelectedIndexs();
        QItemSelectionModel* selection = screen_.collDuplicates()->selectionModel();
        if (items.isEmpty() && selection->currentIndex().isValid())
            items.append(selection->currentIndex());
        for (const QPersistentModelIndex& item : items)
            files.push_back(screen_.gridModel().fileOf(item));
        break;
    }
    }
    std::erase(files, nullptr);
    if (!files.empty())
        screen_.state().filesCheckBoxTapped(files);
}
