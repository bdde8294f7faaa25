#pragma once

#include "emptyfolders/Folder.h"

#include <QAbstractItemModel>
#include <QSet>

// The cleaner's outline over one folder tree: a single top row for the chosen
// folder, its sub-folders below. Rows of recorded empty folders are painted
// red. The model only reads the tree and never touches the disk; it must be
// given a new tree (or none) before the old one goes. GUI thread only.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit FolderTreeModel(QObject* parent = nullptr);

    void setTree(const Folder* root);
    // Repaints folder's row as recorded.
    void setRecorded(const Folder* folder);

    const Folder* folderAt(const QModelIndex& index) const;
    QModelIndex indexOf(const Folder* folder) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const Folder* root_ = nullptr;
    QSet<const Folder*> recorded_;
};
