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

bool RecordFileFacts::pathEquals(std::size_t item, QUtf8StringView path) const
{
    const PathText& own = record(item).filePath;
    return own && QAnyStringView::compare(QAnyStringView(*own), QAnyStringView(path)) == 0;
}

// 0 without a date still matches the file's own earlier row.
FileTimestamp RecordFileFacts::storedModTime(std::size_t item) const
{
    const FileInfoNode& file = record(item);
    if (file.modTime != FileTimestamp {})
        return file.modTime;
    return { secondsSince1970(file.modDate), 0 };
}

qint64 RecordFileFacts::createdSeconds(std::size_t item) const
{
    return secondsSince1970(record(item).createDate);
}
