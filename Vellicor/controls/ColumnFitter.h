#pragma once

#include <QObject>

#include <vector>

class QAbstractItemView;
class QHeaderView;

// Keeps a table's columns as wide as its view: room the view gains goes to
// the growing columns in equal shares, room it loses comes from them until
// each is back at its least width; past that the columns keep their widths
// and the view's horizontal scroll bar reaches the rest. A column the user
// drags keeps the width given; the other growing columns take up the
// difference the same way. Owned by the view; GUI thread only.
class ColumnFitter : public QObject {
    Q_OBJECT

public:
    // leastWidths: one per column, the widths the columns start with and
    // below which the fitting never takes a growing column.
    ColumnFitter(QAbstractItemView& view, QHeaderView& header, std::vector<int> leastWidths,
        std::vector<int> growingColumns);

    // Fits the columns to the view's width now.
    void fit() { fitExcept(-1); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitExcept(int keptColumn);
    void sectionResized(int logicalIndex);

    QAbstractItemView& view_;
    QHeaderView& header_;
    std::vector<int> leastWidths_;
    std::vector<int> growingColumns_;
    bool fitting_ = false;
};
