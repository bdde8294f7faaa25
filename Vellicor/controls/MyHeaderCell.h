#pragma once

#include <QColor>
#include <QHeaderView>

// Column headers of the dark tables: every section filled with one colour and
// its title in white, left-aligned, 14 points high from 5 points below the
// top. Titles come from the model's header data (Qt::DisplayRole).
class HeaderCell : public QHeaderView {
    Q_OBJECT

public:
    HeaderCell(const QColor& fill, Qt::Orientation orientation, QWidget* parent);

    QColor fill() const { return fill_; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    QColor fill_;
};

// The results screen's header: near black.
class MyHeaderCell : public HeaderCell {
    Q_OBJECT

public:
    explicit MyHeaderCell(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);
};

// The standard dark grey header.
class HeaderCellGray : public HeaderCell {
    Q_OBJECT

public:
    explicit HeaderCellGray(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);
};
