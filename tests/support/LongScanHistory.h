#pragma once

#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimeZone>
#include <QVariantList>

// A scan history of count records as the program writes them, oldest first,
// a minute apart and numbered 0 to count - 1 by their duplicate count: about
// 130 bytes each in the settings file, so that 70,000 of them, years of
// scans, would pass its bound.
inline QVariantList numberedScanHistory(int count)
{
    QVariantList history;
    history.reserve(count);
    const QDateTime start(QDate(2019, 1, 1), QTime(8, 0), QTimeZone::utc());
    for (int i = 0; i < count; ++i)
        history.append(makeScanHistoryRecord(i, 3000000000ULL + quint64(i) * 4096, start.addSecs(60LL * i)));
    return history;
}

// The duplicate count of a history record.
inline qint64 duplicatesOf(const QVariant& record)
{
    return record.toMap().value(QStringLiteral("dupCount")).toLongLong();
}

// The history the next start reads from the settings folder, and whether the
// file was read without a problem and within its bound.
struct HistoryAtNextStart {
    bool readWhole = false;
    qint64 fileSize = 0;
    QVariantList records;
};
inline HistoryAtNextStart historyAtNextStart(const QString& settingsFolder)
{
    const UserDefaults restarted(settingsFolder);
    HistoryAtNextStart next;
    next.fileSize = QFileInfo(restarted.filePath()).size();
    next.readWhole = !restarted.readProblemAtStart() && next.fileSize <= UserDefaults::largestFile;
    next.records = restarted.arrayValue(QLatin1String(SettingsKey::lastScanStatus)).value_or(QVariantList {});
    return next;
}
