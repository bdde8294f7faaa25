#pragma once

#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "core/ScanSettingsSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// Writes bytes to dir/name and answers the path.
QString writeFile(const QString& dir, const QString& name, const QByteArray& bytes);

// A record of an existing file as the walk would build it: path, name, size,
// dates and identity from the file system.
FileInfoNodePtr recordOf(const QString& path);
std::vector<FileInfoNodePtr> recordsOf(const QStringList& paths);

// A record without a file behind it.
FileInfoNodePtr syntheticRecord(const QString& path, quint64 size);

// count records without files whose digests are final already; records 2k
// and 2k + 1 share their size and digest.
std::vector<FileInfoNodePtr> pairsWithDigests(int count);

// Each group as the file names of its members, in group order.
std::vector<QStringList> namesOf(const std::vector<DuplicateGroupPtr>& groups);
// The same, keeping only groups of two or more.
std::vector<QStringList> duplicateNamesOf(const std::vector<DuplicateGroupPtr>& groups);

// A scan that takes every category, every file type and every size; txt, jpg,
// cr2 (raw), mp4 and xyz have their categories.
ScanSettingsSnapshot openSettings();
