#pragma once

#include "results/ResultsModel.h"

#include <QAbstractProxyModel>
#include <QColor>
#include <QList>
#include <QPersistentModelIndex>

// The flat list over ResultsModel: one row per shown file, in group order,
// rows of neighbouring groups shaded apart. Thin: every row maps to a file row
// of the tree; marks, resets and layout changes pass through.
class ResultsListProxy : public QAbstractProxyModel {
    Q_OBJECT
public:
    explicit ResultsListProxy(ResultsModel& source, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

    // The row's background by its group number: odd 50/255 grey, even 30.
    static QColor shadingOfGroupNumber(int groupNumber);

private:
    void sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles);
    void sourceLayoutAboutToBeChanged();
    void sourceLayoutChanged();

    ResultsModel& model_;
    QList<QPersistentModelIndex> layoutSource_;
    QModelIndexList layoutProxy_;
};
