#pragma once

#include "controls/MyCollectionView.h"
#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "results/ResultsWidgets.h"

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>

#include <functional>
#include <memory>

class QLabel;
class ResultsGridProxy;
class ResultsModel;
class ResultsState;
class ThumbnailCell;
class ThumbnailProvider;

// The results screen's thumbnail grid: its view and proxy model, the
// pictures asked for the items in view once scrolling settles, and the grid's
// selection in the order it was made. Owned by the views; GUI thread only.
class ResultsGridView : public QObject {
public:
    struct Hooks {
        // The grid is the shown view.
        std::function<bool()> isShown;
        std::function<void(const FileInfoNodePtr&)> fileSelected;
        std::function<void()> selectionCleared;
        std::function<void(const FileInfoNodePtr&)> fileCheckBoxTapped;
        std::function<void()> checkKeyPressed;
    };

    ResultsGridView(ResultsState& state, ResultsModel& model, ResultsLater later, Hooks hooks, QWidget& screen);
    ~ResultsGridView() override;

    // The grid and its word for an empty result, in pane.
    void build(QWidget* pane);
    // The grid's container shown or hidden; the grid or the empty word in it.
    void setShown(bool shown, bool empty);
    void forgetPictures();

    MyCollectionView* collection() const { return collDuplicates_; }
    ResultsGridProxy& model() { return *gridModel_; }
    ThumbnailProvider& thumbnails() { return *thumbnails_; }
    const QList<QPersistentModelIndex>& selectedIndexes() const { return gridSelectedIndexs_; }
    // The file of the item last right-clicked, none when no item was.
    FileInfoNodePtr clickedFile() const;

    // A check box in the grid: the same marking as in the list, then the item
    // selected.
    void checkBoxTapped(const IndexPath& path);
    // Asks for the pictures of the items in view.
    void requestVisiblePictures();

private:
    void selectionChanged();
    void afterScrollSettles();

    ResultsState& state_;
    ResultsModel& model_;
    ResultsLater later_;
    Hooks hooks_;
    QWidget& screen_;
    QWidget* collResultListView_ = nullptr;
    MyCollectionView* collDuplicates_ = nullptr;
    QLabel* lblNoDuplicateFoundCollectionview_ = nullptr;
    ResultsGridProxy* gridModel_ = nullptr;
    std::unique_ptr<ThumbnailProvider> thumbnails_;
    ThumbnailCell* thumbnailCell_ = nullptr;
    quint64 scrollGeneration_ = 0;
    int numToLoadPhotosFirstTime_ = 0;
    QList<QPersistentModelIndex> gridSelectedIndexs_;
};
