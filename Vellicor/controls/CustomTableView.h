#pragma once

#include "controls/CustomTablerow.h"

#include <QPointer>
#include <QTableView>

#include <memory>

#include <QMenu>

// The table of the home screen's scan lists and of the results list. Rows are
// drawn by a row view (CustomTablerowHome unless set), cells by their
// delegates. A right click moves the selection to exactly the row under the
// pointer and opens the table's menu only when column 0 of that row is drawn
// by a CustomCell. The arrow keys move the selection up and down alike.
// GUI thread only.
class CustomTableView : public QTableView {
    Q_OBJECT

public:
    explicit CustomTableView(QWidget* parent = nullptr);

    void setRowView(std::shared_ptr<const TableRowView> rowView);
    const TableRowView& rowView() const { return *rowView_; }
    SelectionHighlightStyle selectionHighlightStyle() const { return highlightStyle_; }
    void setSelectionHighlightStyle(SelectionHighlightStyle style);

    // The context menu; not owned, none by default.
    QMenu* menu() const { return menu_; }
    void setMenu(QMenu* menu) { menu_ = menu; }

    // The right click at pos (viewport coordinates); globalPos places the menu.
    void rightMouseDown(const QPoint& pos, const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<const TableRowView> rowView_;
    SelectionHighlightStyle highlightStyle_ = SelectionHighlightStyle::regular;
    QPointer<QMenu> menu_;
};

// Shared by the table and the outline: the palette that lets the row view,
// not the style, show the selection.
void useRowViewSelection(QAbstractItemView& view);
