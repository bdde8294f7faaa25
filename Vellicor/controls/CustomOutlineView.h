#pragma once

#include "controls/CustomTablerow.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTreeView>

#include <memory>

#include <QMenu>

// The outline of the results screen: groups with their files below. Rows are
// drawn by a row view (CustomTablerow unless set) and the disclosure control
// by the application's own arrows ("arrow_close_d" closed, "arrow_open_d"
// open). A right click acts only on a file row whose column 0 is drawn by a
// CustomCell: it selects exactly that row and opens the menu; on group rows,
// title rows and empty space it does nothing. The Menu key and Shift+F10 do
// the same at the current row; Space is handed to the owner
// (checkKeyPressed); Tab leaves the outline. With the focus, the current row
// wears the focus ring. A row its model does not let be selected (a group's
// column titles) is never chosen nor made current: a click on it does nothing,
// the arrow keys and typed letters pass over it, and made current any other
// way it hands that on to the nearest row that can be. GUI thread only.
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
    // The menu from the keyboard, for the current row (else the first
    // selected one) when it is a file row.
    void openMenuForCurrentRow();

signals:
    // Space: the owner toggles the check boxes of the selected rows.
    void checkKeyPressed();

protected:
    // A change that names its roles, none of which can alter a row's height
    // (a mark, a count), only repaints: the tree would otherwise measure every
    // row of the range again and look up each row's place from the top, which
    // for a change of many marks takes seconds. Rows are never edited in place.
    void dataChanged(
        const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles = {}) override;
    // With a new model's rows: scrolls by rows when they are many (a hidden
    // outline changes its mode when shown).
    void reset() override;
    // The rows' layout put off while the outline is hidden, done when it is
    // shown.
    void updateGeometries() override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Typed letters make current the next row in sight, that can be chosen,
    // whose shown text starts with them.
    void keyboardSearch(const QString& search) override;
    void scrollContentsBy(int dx, int dy) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

private:
    // The current row across the viewport's width; invalid without one.
    QRect currentRowFrame() const;
    // The row that can be chosen nearest to index: among its siblings below,
    // then above, else the nearest such row it lies in; none without one.
    QModelIndex nearestChoosable(const QModelIndex& index) const;
    // Whether every row index lies in is open.
    bool isShown(const QModelIndex& index) const;
    // The row in sight below index, the first row after the last.
    QModelIndex rowShownAfter(const QModelIndex& index) const;

    std::shared_ptr<const TableRowView> rowView_;
    SelectionHighlightStyle highlightStyle_ = SelectionHighlightStyle::regular;
    QPointer<QMenu> menu_;
    void takeWantedScrollMode();

    QString typed_;
    QElapsedTimer typedAt_;
    bool geometriesPending_ = false;
    bool placingHeader_ = false;
    bool sizingPutOff_ = false;
    ScrollMode wantedScrollMode_ = QAbstractItemView::ScrollPerPixel;
};
