#pragma once

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

#include <array>
#include <optional>

class QFontMetrics;
class QHelpEvent;
class QPainter;

// One run of a text drawn in its own colour ("3 / 5" with the marked number
// in blue). A text outlet takes a QString or a CellText.
struct TextRun {
    QString text;
    QColor color;
};
using CellText = QList<TextRun>;
Q_DECLARE_METATYPE(CellText)

// The check box in the application's own look, readable on the dark and the
// light lists alike: a grey frame when off (state 0), blue with a tick when on
// (1) and with a bar when mixed (-1). The lists and the thumbnail grid draw it.
void drawCheckBox(QPainter& painter, const QRect& rect, int state);

// The one cell of the application's tables and outlines, as an item delegate:
// the views paint every visible cell through it, so no widget is made per
// row. What the cell shows comes from the model under one role per outlet;
// an outlet whose role gives nothing is not drawn. Its buttons are hit areas
// that report clicks through buttonTapped. The cell draws neither background
// nor selection: the row does (TableRowView). GUI thread only.
class CustomCell : public QStyledItemDelegate {
    Q_OBJECT

public:
    enum class Outlet {
        lblFilePath,
        imgView,
        btnDelete,
        btnCheckBox,
        lblDescription,
        lblCount,
        btnShowInFinder,
        lbltextField,
        lblSize,
        lblCretedDate,
        lblModifiedDate,
        lblExt,
        btnLinkButton,
    };
    static constexpr int outletCount = 13;

    // Contents by outlet: text outlets a QString or CellText; imgView an image
    // name (QString) or a QImage; btnCheckBox the state 1 on, 0 off, -1 mixed;
    // btnDelete and btnShowInFinder true to show the button; btnLinkButton the
    // link's title. lbltextField falls back to Qt::DisplayRole, imgView to
    // Qt::DecorationRole (a QImage) and btnCheckBox to Qt::CheckStateRole.
    static constexpr int firstOutletRole = Qt::UserRole + 100;
    static constexpr int roleOf(Outlet outlet) { return firstOutletRole + int(outlet); }
    // True when the row shows a group (a parent) rather than a file.
    static constexpr int isParentNodeRole = firstOutletRole + outletCount;
    // True when the row stands for one file record; the outline opens its
    // context menu only on those rows.
    static constexpr int isFileRecordRole = isParentNodeRole + 1;
    // For a slot that keeps a path apart (keepsPathEnd): what the path shares
    // with the other copies of its group (SharedParts). Without it nothing
    // of the path is known to tell it apart.
    static constexpr int sharedPartsRole = isFileRecordRole + 1;

    // Where an outlet lies across the cell, in points from the cell's left
    // edge; a width of 0 or less reaches that far short of the right edge.
    // A text outlet is drawn in the slot's font and colour (the view's text
    // colour when none is given).
    struct Slot {
        Slot(int x, int width, Qt::Alignment alignment = Qt::AlignLeft, int fontSize = 13, bool bold = false,
            std::optional<QColor> color = std::nullopt)
            : x(x)
            , width(width)
            , alignment(alignment)
            , fontSize(fontSize)
            , bold(bold)
            , color(color)
        {
        }
        int x = 0;
        int width = 0;
        Qt::Alignment alignment = Qt::AlignLeft;
        int fontSize = 13;
        bool bold = false;
        std::optional<QColor> color;
        // Where a text too long for the slot loses characters.
        Qt::TextElideMode elide = Qt::ElideRight;
        // The text is a path (or a folder's path) of a copy: what repeats in
        // the other copies of its group gives way, never what tells it apart
        // from them, and as much of its name as fits stays
        // (elidedPathApart, with sharedPartsRole).
        bool keepsPathEnd = false;
        // The width in a parent row (isParentNodeRole), when it differs.
        int parentRowWidth = 0;
        // In a parent row the texts of such slots run one after the other
        // (each at its own x or past the end of the text before it), and the
        // first takes all the room the others and a right-aligned text leave
        // it, never less than its slot: a group's name is cut only when the
        // row is full.
        bool flowsInParentRow = false;
    };

    explicit CustomCell(QObject* parent = nullptr);

    // Without any slot the cell lays out a check box, an image and the text
    // from the left and a count, a link and the buttons from the right. Once a
    // slot is set, only the outlets with slots are drawn.
    void setSlot(Outlet outlet, const Slot& slot);
    void clearSlots();

    // The rectangles the outlets of index take in a cell drawn at cellRect;
    // empty for outlets not shown.
    std::array<QRect, outletCount> outletRects(const QRect& cellRect, const QModelIndex& index) const;
    // The text outlet's text as the cell draws it at cellRect: shortened to
    // its room as its slot says; empty when the outlet is not shown.
    QString shownText(const QRect& cellRect, const QModelIndex& index, Outlet outlet) const;
    // The font a text outlet is drawn in.
    QFont drawnFont(Outlet outlet) const;
    // The button outlet at pos in the cell, if any.
    std::optional<Outlet> buttonAt(const QRect& cellRect, const QModelIndex& index, const QPoint& pos) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Over a text outlet of a laid-out cell, the tip is that outlet's own
    // text, whole; elsewhere the model's.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
    // The model's Qt::SizeHintRole when it gives one.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    // A left click pressed and released on the same button of one cell. The
    // row's selection is not changed by it.
    void buttonTapped(const QModelIndex& index, CustomCell::Outlet button);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

private:
    // The flowing texts of a parent row placed along it (flowsInParentRow).
    void flowParentRowTexts(std::array<QRect, outletCount>& rects, const QRect& cell, const QModelIndex& index) const;
    QString fitted(
        const QFontMetrics& metrics, const QString& text, Outlet outlet, int width, const QModelIndex& index) const;
    QVariant content(const QModelIndex& index, Outlet outlet) const;
    void drawText(QPainter& painter, const QRect& rect, const QVariant& text, Outlet outlet,
        const QStyleOptionViewItem& option, const QModelIndex& index) const;

    std::array<std::optional<Slot>, outletCount> slots_;
    bool hasSlots_ = false;
    // The button a left press went down on, until its release.
    QPersistentModelIndex pressedIndex_;
    std::optional<Outlet> pressedButton_;
};
