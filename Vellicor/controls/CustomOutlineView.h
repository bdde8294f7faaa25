#pragma once

#include "controls/CustomTablerow.h"

#include <QPointer>
#include <QTreeView>

#include <memory>

#include <QMenu>

// The outline of the results screen: groups with their files below. Rows are
// drawn by a row view (CustomTablerow unless set) and the disclosure control
// by the application's own arrows ("arrow_close_d" closed, "arrow_open_d"
// open). A right click acts only on a file row whose column 0 is drawn by a
// CustomCell: it selects exactly that row and opens the menu; on group rows,
// title rows and empty space it does nothing. GUI thread only.
class CustomOutlineView : public QTreeView {
    Q_OBJECT

public:
    explicit CustomOutlineView(QWidget* parent = nullptr);

    void setRowView(std::shared_ptr<const TableRowView> rowView);
    const TableRowView& rowView() const { return *rowView_; }
    SelectionHighlightStyle selectionHighlightStyle() const { return highlightStyle_; }
    void setSelectionHighlightStyle(SelectionHighlightStyle style);

    QMenu* menu() const { return menu_; }
    void setMenu(QMenu* menu) { menu_ = menu; }

    void rightMouseDown(const QPoint& pos, const QPoint& globalPos);

protected:
    // A change that names its roles, none of which can alter a row's height
    // (a mark, a count), only repaints: the tree would otherwise measure every
    // row of the range again and look up each row's place from the top, which
    // for a change of many marks takes seconds. Rows are never edited in place.
    void dataChanged(
        const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles = {}) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

private:
    std::shared_ptr<const TableRowView> rowView_;
    SelectionHighlightStyle highlightStyle_ = SelectionHighlightStyle::regular;
    QPointer<QMenu> menu_;
};
