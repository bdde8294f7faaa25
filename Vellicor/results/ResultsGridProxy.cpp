#include "results/ResultsGridProxy.h"

#include "controls/MyCollectionView.h"
#include "core/CommonFuncs.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "marking/ContextMenuActions.h"
#include "results/ResultsModel.h"

#include <algorithm>

// Item indexes carry their section plus one; sections carry zero.
ResultsGridProxy::ResultsGridProxy(ResultsModel& source, QObject* parent)
    : QAbstractProxyModel(parent)
    , model_(source)
{
    QAbstractProxyModel::setSourceModel(&source);
    // The grid lays itself out afresh for any change of shape, so every
    // structural change of the tree is passed on as a reset.
    const auto begin = [this] {
        if (!resetting_) {
            resetting_ = true;
            beginResetModel();
        }
    };
    const auto end = [this] {
        if (resetting_) {
            resetting_ = false;
            endResetModel();
        }
    };
    connect(&source, &QAbstractItemModel::modelAboutToBeReset, this, begin);
    connect(&source, &QAbstractItemModel::modelReset, this, end);
    connect(&source, &QAbstractItemModel::layoutAboutToBeChanged, this, begin);
    connect(&source, &QAbstractItemModel::layoutChanged, this, end);
    connect(&source, &QAbstractItemModel::rowsAboutToBeInserted, this, begin);
    connect(&source, &QAbstractItemModel::rowsInserted, this, end);
    connect(&source, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin);
    connect(&source, &QAbstractItemModel::rowsRemoved, this, end);
    connect(&source, &QAbstractItemModel::rowsAboutToBeMoved, this, begin);
    connect(&source, &QAbstractItemModel::rowsMoved, this, end);
    connect(&source, &QAbstractItemModel::dataChanged, this, &ResultsGridProxy::sourceDataChanged);
}

QString ResultsGridProxy::sectionTitle(int section)
{
    // One pass over the literal: a table text is never scanned for markers.
    return QStringLiteral("%1 %2").arg(
        localizedText(QStringLiteral("ID_DUPLICATE_GROUP")), QString::number(section + 1));
}

QString ResultsGridProxy::sectionCountLine(qsizetype shownFiles, quint64 groupSize)
{
    return QStringLiteral("%1 %2, %3")
        .arg(QString::number(shownFiles), localizedText(QStringLiteral("ID_ITEMS")), getSizeInUnits(double(groupSize)));
}

FileInfoNodePtr ResultsGridProxy::fileOf(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this && index.internalId() != 0 ? model_.fileOf(mapToSource(index))
                                                                               : nullptr;
}

DuplicateGroupPtr ResultsGridProxy::groupOf(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this ? model_.groupOf(mapToSource(index)) : nullptr;
}

QModelIndex ResultsGridProxy::indexOfItem(int section, int item) const
{
    return index(item, 0, index(section, 0));
}

QModelIndex ResultsGridProxy::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row() + 1) : quintptr(0));
}

QModelIndex ResultsGridProxy::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId() - 1), 0, quintptr(0));
}

int ResultsGridProxy::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return model_.groupCount();
    if (parent.internalId() != 0 || parent.column() != 0)
        return 0;
    // Under each group the tree has its column-title row first.
    return std::max(0, model_.rowCount(model_.index(parent.row(), 0)) - 1);
}

int ResultsGridProxy::columnCount(const QModelIndex&) const
{
    return 1;
}

bool ResultsGridProxy::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QModelIndex ResultsGridProxy::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid())
        return {};
    if (proxyIndex.internalId() == 0)
        return model_.index(proxyIndex.row(), 0);
    const QModelIndex group = model_.index(int(proxyIndex.internalId() - 1), 0);
    return model_.index(proxyIndex.row() + 1, 0, group);
}

QModelIndex ResultsGridProxy::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid())
        return {};
    const QModelIndex group = sourceIndex.parent();
    if (!group.isValid())
        return index(sourceIndex.row(), 0);
    if (sourceIndex.row() < 1)
        return {};
    return index(sourceIndex.row() - 1, 0, index(group.row(), 0));
}

QVariant ResultsGridProxy::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == 0) {
        const DuplicateGroupPtr group = groupOf(index);
        if (role == Qt::DisplayRole)
            return sectionTitle(index.row());
        if (role == MyCollectionView::sectionCountRole && group)
            return sectionCountLine(qsizetype(group->filterChildren.size()), group->groupSize);
        return {};
    }
    const FileInfoNodePtr file = fileOf(index);
    if (!file)
        return {};
    if (role == Qt::DisplayRole)
        return printablePath(file->fileName.value_or(QString()));
    // A locked file has no check box, as in the list, and tells why.
    if (role == Qt::CheckStateRole)
        return file->isLocked ? QVariant() : QVariant(file->state.value_or(false) ? Qt::Checked : Qt::Unchecked);
    if (role == Qt::ToolTipRole && file->isLocked)
        return lockedReason(*file);
    return {};
}

void ResultsGridProxy::sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (resetting_ || topLeft.column() > 0)
        return;
    // A range goes on as one range, so that the grid lays out its headers and
    // repaints once however long it is. The tree's column-title row has no
    // item here. A range of sections stands for their items as well, as the
    // tree's range of groups does after a change of many marks.
    const QModelIndex parent = topLeft.parent();
    const int first = parent.isValid() ? std::max(topLeft.row(), 1) : topLeft.row();
    if (first > bottomRight.row())
        return;
    const QModelIndex from = mapFromSource(model_.index(first, 0, parent));
    const QModelIndex to = mapFromSource(model_.index(bottomRight.row(), 0, parent));
    if (from.isValid() && to.isValid())
        emit dataChanged(from, to, { Qt::CheckStateRole });
}
