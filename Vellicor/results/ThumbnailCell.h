#pragma once

#include "core/AppNotifier.h"
#include "core/FileInfoNode.h"

#include <QColor>
#include <QRect>
#include <QStyledItemDelegate>

class MyCollectionView;
class ResultsGridProxy;
class ThumbnailProvider;

// One item of the thumbnail grid, painted, never a widget: the selection
// frame, the picture (or the placeholder until it arrives), the name, the
// date and size line, the mark check box (a lock in its place for a locked
// file) and the bottom strip (red marked, green unmarked, grey for a locked
// file). Pictures come only
// from the provider's cache, so painting reads no file and an item always
// shows the picture of its own file. GUI thread.
class ThumbnailCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    struct Layout {
        QRect frame, picture, checkBox, name, info, strip;
    };
    static Layout layoutFor(const QRect& item);
    static QColor stripColor(const FileInfoNode& file);
    static QString infoText(const FileInfoNode& file);

    ThumbnailCell(ResultsGridProxy& model, ThumbnailProvider& pictures, QObject* parent = nullptr);

    // Check-box clicks in grid come out as checkBoxClicked.
    void watch(MyCollectionView* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    void checkBoxClicked(const IndexPath& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ResultsGridProxy& model_;
    ThumbnailProvider& pictures_;
    MyCollectionView* grid_ = nullptr;
};
