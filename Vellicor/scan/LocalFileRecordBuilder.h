#pragma once

#include "core/FileInfoNode.h"
#include "core/ScanSettingsSnapshot.h"

#include <QDateTime>
#include <QString>

#include <vector>

struct statx;

// Turns one path met by the local walk into a filled record, or refuses it.
// The single place where a local file is measured, dated, classified and
// filtered. Runs on the scan's worker thread; reads only the scan's snapshot
// and writes only the record it is given. Reports nothing: a refused file is
// simply not taken.
//
// Only regular files, and folders the walk hands over as one item, become
// records. A symbolic link is never a record of its own: a link to a regular
// file counts as that file (its size, dates and identity) under the link's
// path; a link to anything else, or a dangling one, is refused. FIFOs, sockets
// and devices are refused, since reading one could block the scan.
bool makeLocalFileInfoNode(
    FileInfoNode& record, const QString& filePath, const QString& fileName, const ScanSettingsSnapshot& settings);

// The same for a walk that has read the item's own attributes already (its
// statx, not following a link) and knows its folder's path, which the records
// of one folder then share.
bool makeLocalFileInfoNode(FileInfoNode& record, const QString& filePath, const QString& fileName,
    const ScanSettingsSnapshot& settings, const struct statx& ownAttributes, const QString& folderPath);

// The extension of a path's last component, lower-cased and without the dot;
// empty for "name", "name." and ".hidden".
QString pathExtensionOf(const QString& path);

// One text per extension, shared by every record of the thread that has it.
QString sharedExtension(const QString& extension);

// A file time (seconds and nanoseconds since 1970) as a UTC date to the
// millisecond; times beyond the range of the date saturate.
QDateTime dateOfFileTime(qint64 seconds, qint64 nanoseconds);
