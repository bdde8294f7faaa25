#pragma once

#include <QColor>
#include <QHeaderView>
#include <QPointer>

#include <vector>

// Column headers of the dark tables: every section filled with one colour and
// its title in white, left-aligned, 14 points high from 5 points below the
// top. Titles come from the model's header data (Qt::DisplayRole). The
// sorted section, while the sort indicator is shown, carries a white
// triangle at its right end: up for Qt::AscendingOrder (the rows rise),
// down for Qt::DescendingOrder.
class HeaderCell : public QHeaderView {
    Q_OBJECT

public:
    HeaderCell(const QColor& fill, Qt::Orientation orientation, QWidget* parent);

    QColor fill() const { return fill_; }

    // Shows widget over the section, centred in it, wherever the section
    // goes; the header takes the widget as its child.
    void setSectionWidget(int logicalIndex, QWidget* widget);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    struct SectionWidget {
        int logicalIndex;
        QPointer<QWidget> widget;
    };
    void placeSectionWidgets();

    QColor fill_;
    std::vector<SectionWidget> sectionWidgets_;
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
