#pragma once

#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"

#include <QAbstractProxyModel>

class ResultsModel;

// The thumbnail grid's view of ResultsModel: one section per shown group
// (its header title and count line as MyCollectionView reads them) and under
// it one item per shown file, without the column-title row of the outline.
// Thin: it keeps no records of its own, so a mark made in any view repaints
// the same item here (a change of many marks as one change over the
// sections), and a new result set, filter or re-sort resets it.
// GUI thread.
class ResultsGridProxy : public QAbstractProxyModel {
    Q_OBJECT
public:
    explicit ResultsGridProxy(ResultsModel& source, QObject* parent = nullptr);

    // Null for sections and indexes outside the shown groups.
    FileInfoNodePtr fileOf(const QModelIndex& index) const;
    DuplicateGroupPtr groupOf(const QModelIndex& index) const;
    QModelIndex indexOfItem(int section, int item) const;

    // "Duplicate Group 3" and "3 items, 1.2 MB" for the group at section.
    static QString sectionTitle(int section);
    static QString sectionCountLine(qsizetype shownFiles, quint64 groupSize);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

private:
    void sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);

    ResultsModel& model_;
    bool resetting_ = false;
};
