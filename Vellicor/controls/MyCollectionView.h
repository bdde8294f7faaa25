#pragma once

#include "controls/ImageDirectoryLoader.h"
#include "core/AppNotifier.h"

#include <QAbstractScrollArea>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPointer>

#include <optional>
#include <vector>

class QAbstractItemDelegate;
class QAbstractItemModel;

// The thumbnail grid: sections of fixed-size items, each section under its
// header. It shows a two-level model: every top-level row is a section (its
// Qt::DisplayRole the header's title, sectionCountRole its count line), and
// the rows below it are the section's items. Only visible items are painted
// and hit tests are arithmetic, so a grid of a hundred thousand items costs
// what its visible part costs. Items are painted by the item delegate (the
// thumbnail screens set it), or as plain named tiles without one. The
// sections are those of the grid's one section loader, fed at every change of
// the model's shape with one length per section and one file per item, and
// its counts are the loader's; a model without rows shows no section. The
// header of the section at the top of the view stands pinned there while its
// items are in view, pushed up by the next section's header as that one comes
// up; a click on it is a click on the header, never on the items it covers.
//
// A right click on an item logs, emits AppNotifier's cellselection with the
// item's place, selects only that item and opens the grid's menu; a right
// click beside the items does nothing. The Menu key and Shift+F10 do the
// same at the current item. The arrow keys, Page Up and Down, Home and End
// move the selection, Space is handed to the owner (checkKeyPressed) and Tab
// leaves the grid; with the focus, the current item wears the focus ring and
// stays in view, whatever moved it or laid the grid out anew. GUI thread
// only.
class MyCollectionView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int sectionCountRole = Qt::UserRole + 200;

    explicit MyCollectionView(QWidget* parent = nullptr);
    ~MyCollectionView() override;

    // Not owned; the grid makes its own selection model for it.
    void setModel(QAbstractItemModel* model);
    QAbstractItemModel* model() const { return model_; }
    QItemSelectionModel* selectionModel() const { return selection_; }
    // Not owned.
    void setItemDelegate(QAbstractItemDelegate* delegate);

    QSize itemSize() const { return itemSize_; }
    void setItemSize(QSize size);
    int headerHeight() const { return headerHeight_; }
    void setHeaderHeight(int height);
    int spacing() const { return spacing_; }
    void setSpacing(int spacing);

    // The context menu; not owned, none by default.
    QMenu* menu() const { return menu_; }
    void setMenu(QMenu* menu) { menu_ = menu; }

    // The loader the sections come from.
    const ImageDirectoryLoader& sectionLoader() const { return loader_; }
    int numberOfSections() const { return int(sections_.size()); }
    int numberOfItemsInSection(int section) const;
    QModelIndex modelIndex(const IndexPath& path) const;
    std::optional<IndexPath> indexPath(const QModelIndex& index) const;

    // Geometry in content coordinates (the whole grid, from its top).
    int columnCount() const { return columns_; }
    QRect itemFrame(const IndexPath& path) const;
    QRect headerFrame(int section) const;
    // The section whose header stands pinned at the top of the view (the
    // section at the view's top), and where that header stands: at the
    // view's top, or higher where the next section's header pushes it up.
    // -1 and a null frame when no header stands there.
    int pinnedSection() const;
    QRect pinnedHeaderFrame() const;
    int contentHeight() const;
    // The item under pos, in viewport coordinates; none between items, on
    // headers (the pinned one among them) and below the last item.
    std::optional<IndexPath> indexPathForItemAtPoint(const QPoint& pos) const;
    std::vector<IndexPath> indexPathsForVisibleItems() const;
    std::vector<int> visibleSections() const;

    QModelIndexList selectionIndexPaths() const;
    void deselectAll();
    // Adds the item to the selection and scrolls it into view.
    void selectItem(const IndexPath& path, QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::Select);
    void scrollToItem(const IndexPath& path);

    // The right click at pos (viewport coordinates); globalPos places the menu.
    void rightMouseDown(const QPoint& pos, const QPoint& globalPos);
    // The menu for a click at pos: the grid's menu over an item, else none.
    QMenu* menuForEvent(const QPoint& pos) const;
    // The item the latest right click hit; none when it hit no item. The
    // menu's owner asks this for the item the menu is about.
    std::optional<IndexPath> clickedIndexPath() const { return clicked_; }
    // The menu from the keyboard, for the current item (else the first
    // selected one).
    void openMenuForCurrentItem();

signals:
    // Space: the owner toggles the check boxes of the selected items.
    void checkKeyPressed();
    // Other items may be in view: the grid scrolled, was laid out anew (a
    // new size of the window, the split or the pane beside it, other
    // sections) or was shown.
    void visibleItemsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Over an item, its Qt::ToolTipRole, when it has one.
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Section {
        int top = 0; // of its header, in content coordinates
        int itemCount = 0;
        int rows = 0;
    };

    // Feeds the loader from the model, then lays the grid out.
    void reloadSections();
    // The sections' places from the loader's sections.
    void relayout();
    int sectionAtY(int y) const;
    int sectionHeight(const Section& section) const;
    QRect visibleContentRect() const;
    void paintItem(QPainter& painter, const QRect& frame, const QModelIndex& index, bool selected) const;
    int firstNonEmptySection(int from, int step) const;
    // The item an arrow key moves to from at; none at the grid's end.
    std::optional<IndexPath> neighbour(const IndexPath& at, int key) const;
    // An arrow, Page Up or Down, Home or End: the current item moves and the
    // selection with it.
    void moveSelection(int key);
    // With the focus, the current item is scrolled into view.
    void keepCurrentInView();

    QPointer<QAbstractItemModel> model_;
    QItemSelectionModel* selection_ = nullptr;
    QPointer<QAbstractItemDelegate> delegate_;
    QPointer<QMenu> menu_;
    QSize itemSize_ { 160, 180 };
    int headerHeight_ = 40;
    int spacing_ = 10;
    int margin_ = 10;
    int columns_ = 1;
    ImageDirectoryLoader loader_;
    std::vector<Section> sections_;
    std::optional<IndexPath> clicked_;
};
