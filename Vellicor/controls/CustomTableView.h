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
    void scrollContentsBy(int dx, int dy) override;

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

// The focus ring of a list that has the focus, drawn over its viewport: round
// currentRow (viewport coordinates, the row's whole width), or round the whole
// list when there is no current row to stand on (currentRow invalid).
// Nothing while the list lacks the focus.
void drawListFocusRing(QAbstractItemView& view, const QRect& currentRow);
// To be called after the list's rows scrolled by dx: a ring round the whole
// list stays at its edge while the rows move, and so do the ends of a ring
// round the current row when the rows move sideways; the viewport is then
// drawn again whole, since shifted it would carry the ring's lines across the
// rows.
void keepListRingInPlace(QAbstractItemView& view, const QRect& currentRow, int dx);
// The current row of a table across its viewport's width (viewport
// coordinates); invalid when there is none or it is hidden.
QRect currentRowFrame(const QTableView& view);
