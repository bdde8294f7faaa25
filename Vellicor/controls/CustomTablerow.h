#pragma once

#include <QColor>
#include <QRect>

class QModelIndex;
class QPainter;

// Whether a table shows its selected rows at all.
enum class SelectionHighlightStyle { regular, none };

// How a row of the application's tables and outlines is drawn behind its
// cells: the row's own background, then the selection fill. The tables draw
// rows through one of these instead of a widget per row, so a list of a
// hundred thousand rows costs only its visible rows. Stateless; GUI thread.
class TableRowView {
public:
    virtual ~TableRowView() = default;

    // The fill of a selected row.
    virtual QColor selectionFill() const = 0;

    // Fills rowBounds with the selection fill and strokes its edge in black; nothing for the "none" highlight style.
    void drawSelectionInRect(QPainter& painter, const QRect& rowBounds, SelectionHighlightStyle style) const;

    // The whole row behind its cells: the background colour the model gives
    // column 0 of the row (Qt::BackgroundRole), then the selection.
    void drawRow(QPainter& painter, const QRect& rowBounds, const QModelIndex& firstColumn, bool selected,
        SelectionHighlightStyle style) const;
};

// Rows of the results outline: a faint light veil over the selected row.
class CustomTablerow : public TableRowView {
public:
    QColor selectionFill() const override;
};

// Rows of the home screen's lists, the results list and the selection
// assistant: a strong blue selected row.
class CustomTablerowHome : public TableRowView {
public:
    QColor selectionFill() const override;
};
