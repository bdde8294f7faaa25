#include "scan/ScanFileFacts.h"

#include <QAnyStringView>

namespace {

qint64 secondsSince1970(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid())
        return 0;
    return date->toMSecsSinceEpoch() / 1000;
}

} // namespace

bool recordPathEquals(const FileInfoNode& record, QUtf8StringView path)
{
    return record.filePath && QAnyStringView::compare(QAnyStringView(*record.filePath), QAnyStringView(path)) == 0;
}

// 0 without a date still matches the file's own earlier row.
FileTimestamp recordStoredModTime(const FileInfoNode& record)
{
    if (record.modTime != FileTimestamp {})
        return record.modTime;
    return { secondsSince1970(record.modDate), 0 };
}

qint64 recordCreatedSeconds(const FileInfoNode& record)
{
    return secondsSince1970(record.createDate);
}
