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
// by a CustomCell. The arrow keys move the selection up and down alike; Tab
// and Shift+Tab leave the table; the Menu key and Shift+F10 open the menu at
// the current row as a right click there would; Space is handed to the
// owner (checkKeyPressed). With the focus, the current row wears the focus
// ring. GUI thread only.
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
    // The menu from the keyboard: for the current row, else the first
    // selected one; nothing without either.
    void openMenuForCurrentRow();

signals:
    // Space: the owner toggles the check boxes of the selected rows.
    void checkKeyPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void paintRowViews(QPaintEvent* event);

    std::shared_ptr<const TableRowView> rowView_;
    SelectionHighlightStyle highlightStyle_ = SelectionHighlightStyle::regular;
    QPointer<QMenu> menu_;
};

// Shared by the table and the outline: the palette that lets the row view,
// not the style, show the selection.
void useRowViewSelection(QAbstractItemView& view);
// The row or item the keyboard's menu is for: the current one, else the
// first selected one; invalid without either.
QModelIndex currentOrFirstSelected(const QAbstractItemView& view);
// Where the keyboard's menu opens for an item drawn at rect (viewport
// coordinates): under its start, as a right click there would place it.
QPoint keyboardMenuPoint(const QWidget& viewport, const QRect& rect);
