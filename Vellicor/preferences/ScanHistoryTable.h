#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QTableView>

// A push button drawn in a cell: the cell's display text as its title, in
// the style's look for a button (hovered, pressed), and clicked as a button
// is, a press and a release on it. No widget is made for it, so a column of
// tens of thousands of buttons costs what the rows shown draw. GUI thread.
class PushButtonCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit PushButtonCell(QAbstractItemView* view);

    // Where the button lies in a cell drawn at cell.
    static QRect buttonRect(const QRect& cell);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    void clicked(const QModelIndex& index);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

private:
    QAbstractItemView* view_;
    // The button a left press went down on, until its release.
    QPersistentModelIndex pressed_;
};

// The Scan History pane's table: a row per record, its delete button in the
// last column. The keys reach the button too: Delete, Backspace, Space and
// Return ask to delete the current row's record. GUI thread.
class ScanHistoryTable : public QTableView {
    Q_OBJECT
public:
    explicit ScanHistoryTable(QWidget* parent = nullptr);

    // Column deleteColumn's cells are buttons.
    void setDeleteColumn(int column);

signals:
    // The delete button of row was clicked, or its key pressed.
    void deleteRequested(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    PushButtonCell* buttons_;
};
