#include "preferences/ScanHistoryModel.h"

#include "base/SettingValue.h"
#include "core/Localization.h"
#include "core/TextFormat.h"

#include <QDateTime>

ScanHistoryModel::ScanHistoryModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void ScanHistoryModel::setRecords(const QVariantList& records)
{
    beginResetModel();
    records_ = records;
    endResetModel();
}

void ScanHistoryModel::removeRecord(int row)
{
    if (row < 0 || row >= records_.size())
        return;
    beginRemoveRows({}, row, row);
    records_.removeAt(row);
    endRemoveRows();
}

QString ScanHistoryModel::timeText(const QVariant& record)
{
    const std::optional<QVariantMap> fields = Setting::toDictionary(record);
    const std::optional<QDateTime> when
        = fields ? Setting::toDate(fields->value(QStringLiteral("scantime"))) : std::nullopt;
    if (!when)
        return {};
    return formatText(localizedText("ID_LAST_SCANNED_AT_TIME"),
        { when->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) });
}

int ScanHistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(records_.size());
}

int ScanHistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant ScanHistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= records_.size())
        return {};
    if (index.column() == timeColumn) {
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return timeText(records_.at(index.row()));
        return {};
    }
    if (index.column() == deleteColumn && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return localizedText("ID_DELETE");
    return {};
}

QVariant ScanHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    if (section == timeColumn)
        return localizedText("ID_LIST_OF_SCANNED_RESULT_PREVIOUSLY_PERFORMED");
    if (section == deleteColumn)
        return localizedText("ID_ACTION_REQUIRED");
    return {};
}

