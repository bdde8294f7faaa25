#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariantList>

// The scan history as the Scan History pane shows it: one row per record of
// "lastScanStatus", oldest first, with its scan time (column 0) and a delete
// button (column 1). It holds the records as the store gave them, sharing
// their data with the store's list, and makes a row's text only when a view
// asks for a row it shows: a history of tens of thousands of records costs
// its list and nothing per row. Display-free; GUI thread.
class ScanHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { timeColumn, deleteColumn, columnCount_ };

    explicit ScanHistoryModel(QObject* parent = nullptr);

    // A new list of records, as one reset.
    void setRecords(const QVariantList& records);
    const QVariantList& records() const { return records_; }
    // Takes the record of row out of the rows (one row removed).
    void removeRecord(int row);

    // The text of a record's row: its scan time in the pane's words; empty
    // for a record that is no dictionary or holds no time.
    static QString timeText(const QVariant& record);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariantList records_;
};
