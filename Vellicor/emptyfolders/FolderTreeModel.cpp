#include "emptyfolders/FolderTreeModel.h"

#include "controls/CustomCell.h"
#include "core/FileUtilities.h"

#include <QColor>

namespace {

const QColor emptyFolderText { 255, 92, 92 };
const QColor emptyFolderRow { 200, 40, 40, 70 };

} // namespace

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

void FolderTreeModel::setTree(const Folder* root)
{
    beginResetModel();
    root_ = root;
    recorded_.clear();
    endResetModel();
}

void FolderTreeModel::setRecorded(const Folder* folder)
{
    recorded_.insert(folder);
    const QModelIndex at = indexOf(folder);
    if (at.isValid())
        emit dataChanged(at, at);
}

const Folder* FolderTreeModel::folderAt(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<const Folder*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::indexOf(const Folder* folder) const
{
    if (!folder || !root_)
        return {};
    return createIndex(folder->parent ? folder->row : 0, 0, const_cast<Folder*>(folder));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || !root_)
        return {};
    if (!parent.isValid())
        return row == 0 ? indexOf(root_) : QModelIndex();
    const Folder* folder = folderAt(parent);
    if (!folder || row >= int(folder->subfolders.size()))
        return {};
    return indexOf(folder->subfolders[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const
{
    const Folder* folder = folderAt(child);
    return folder ? indexOf(folder->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return root_ ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    const Folder* folder = folderAt(parent);
    return folder ? int(folder->subfolders.size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    const Folder* folder = folderAt(index);
    if (!folder)
        return {};
    const bool isRecorded = recorded_.contains(folder);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        // A tip is asked for one row at a time: its path is made then.
        return printablePath(role == Qt::DisplayRole ? folder->name : pathOf(*folder));
    case CustomCell::roleOf(CustomCell::Outlet::lbltextField):
        if (isRecorded)
            return QVariant::fromValue(CellText { TextRun { printablePath(folder->name), emptyFolderText } });
        return {};
    case CustomCell::roleOf(CustomCell::Outlet::imgView):
        return QStringLiteral("folder_small");
    case Qt::BackgroundRole:
        return isRecorded ? QVariant(emptyFolderRow) : QVariant();
    default:
        return {};
    }
}
