#include "results/ResultsListProxy.h"

#include "controls/CustomCell.h"

#include <QSize>

ResultsListProxy::ResultsListProxy(ResultsModel& source, QObject* parent)
    : QAbstractProxyModel(parent)
    , model_(source)
{
    QAbstractProxyModel::setSourceModel(&source);
    connect(&source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&source, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
    connect(&source, &QAbstractItemModel::dataChanged, this, &ResultsListProxy::sourceDataChanged);
    connect(
        &source, &QAbstractItemModel::layoutAboutToBeChanged, this, &ResultsListProxy::sourceLayoutAboutToBeChanged);
    connect(&source, &QAbstractItemModel::layoutChanged, this, &ResultsListProxy::sourceLayoutChanged);
}

QModelIndex ResultsListProxy::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= ResultsModel::columnCountValue)
        return {};
    return createIndex(row, column);
}

QModelIndex ResultsListProxy::parent(const QModelIndex&) const
{
    return {};
}

int ResultsListProxy::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(model_.arrAllDupFiles().size());
}

int ResultsListProxy::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ResultsModel::columnCountValue;
}

bool ResultsListProxy::hasChildren(const QModelIndex& parent) const
{
    return !parent.isValid() && rowCount() > 0;
}

QModelIndex ResultsListProxy::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.row() >= rowCount())
        return {};
    const ListRow& row = model_.arrAllDupFiles()[size_t(proxyIndex.row())];
    const QModelIndex group = model_.index(row.groupNumber - 1, 0);
    return model_.index(row.child + 1, proxyIndex.column(), group);
}

QModelIndex ResultsListProxy::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (model_.kindOf(sourceIndex) != ResultsModel::RowKind::file)
        return {};
    const int first = model_.firstListRowOfGroup(sourceIndex.parent().row());
    return first < 0 ? QModelIndex() : index(first + sourceIndex.row() - 1, sourceIndex.column());
}

QColor ResultsListProxy::shadingOfGroupNumber(int groupNumber)
{
    return groupNumber % 2 == 0 ? QColor(30, 30, 30) : QColor(50, 50, 50);
}

QVariant ResultsListProxy::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::BackgroundRole)
        return shadingOfGroupNumber(model_.arrAllDupFiles()[size_t(index.row())].groupNumber);
    if (role == Qt::SizeHintRole)
        return QSize(0, 35);
    return QAbstractProxyModel::data(index, role);
}

QVariant ResultsListProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return {};
    return model_.headerData(section, orientation, role);
}

void ResultsListProxy::sourceDataChanged(
    const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    if (roles.contains(ResultsModel::filesOfGroupsRole) && model_.kindOf(topLeft) == ResultsModel::RowKind::group) {
        const auto [first, last] = model_.listRowsOfGroups(topLeft.row(), bottomRight.row());
        if (first <= last) {
            emit dataChanged(index(first, ResultsModel::checkColumn), index(last, ResultsModel::checkColumn),
                { CustomCell::roleOf(CustomCell::Outlet::btnCheckBox) });
        }
        return;
    }
    if (model_.kindOf(topLeft) != ResultsModel::RowKind::file && topLeft.row() == 0 && topLeft.parent().isValid()) {
        // A range that starts at the column-title row: its files begin one row on.
        const QModelIndex first = model_.index(1, topLeft.column(), topLeft.parent());
        if (first.isValid() && first.row() <= bottomRight.row())
            sourceDataChanged(first, bottomRight, roles);
        return;
    }
    const QModelIndex from = mapFromSource(topLeft);
    const QModelIndex to = mapFromSource(bottomRight);
    if (from.isValid() && to.isValid())
        emit dataChanged(from, to, roles);
}

void ResultsListProxy::sourceLayoutAboutToBeChanged()
{
    emit layoutAboutToBeChanged();
    layoutProxy_ = persistentIndexList();
    layoutSource_.clear();
    for (const QModelIndex& index : layoutProxy_)
        layoutSource_.append(QPersistentModelIndex(mapToSource(index)));
}

void ResultsListProxy::sourceLayoutChanged()
{
    QModelIndexList after;
    for (const QPersistentModelIndex& source : layoutSource_)
        after.append(mapFromSource(source));
    changePersistentIndexList(layoutProxy_, after);
    layoutProxy_.clear();
    layoutSource_.clear();
    emit layoutChanged();
}
