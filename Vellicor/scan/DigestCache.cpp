#include "scan/DigestCache.h"

std::optional<QString> cachedDigest(const DigestCache& cache, const FileInfoNode& record)
{
    if (record.isDirectory || !record.filePath)
        return std::nullopt;
    const auto entry = cache.constFind(*record.filePath);
    if (entry == cache.constEnd())
        return std::nullopt;
    const QVariant digest = entry->value(QStringLiteral("fileMD5"));
    const QVariant size = entry->value(QStringLiteral("fileSize"));
    if (digest.typeId() != QMetaType::QString || digest.toString().isEmpty())
        return std::nullopt;
    // The database hands sizes back as doubles; the record's size goes through
    // the same conversion so that equal sizes compare equal.
    bool isNumber = false;
    const double cachedSize = size.toDouble(&isNumber);
    if (!isNumber || cachedSize != static_cast<double>(record.fileSize))
        return std::nullopt;
    return digest.toString();
}

qint64 secondsSince1970(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid())
        return 0;
    // Integer division truncates toward zero, as the stored rows expect.
    return date->toMSecsSinceEpoch() / 1000;
}
