#pragma once

#include "core/FileInfoNode.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariantMap>

#include <optional>

// The digests loaded from the cache database for the files of the current
// scan: file path to {"modDate", "creationDate", "fileMD5", "fileSize"}. The
// engine passes the app-wide hashCacheDictionary(); it is filled and read on the
// scan's thread only.
using DigestCache = QHash<QString, QVariantMap>;

// The cached digest of a file when the cache still describes it: an entry for
// its path (the loader already matched the whole-second modification date)
// whose size equals the file's size. A package never has one: its date stays
// put when a member changes, so its digest is always taken afresh.
std::optional<QString> cachedDigest(const DigestCache& cache, const FileInfoNode& record);

// Whole seconds since 1970, truncated toward zero; 0 for a record without the
// date, which then still matches its own earlier row.
qint64 secondsSince1970(const std::optional<QDateTime>& date);
