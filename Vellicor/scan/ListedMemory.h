#pragma once

#include "core/CloudScanFoldersList.h"
#include "core/FileInfoNode.h"
#include "scan/ComparisonCriteria.h"

#include <QString>

// The memory a cloud listing takes, as its bounds count it. Any thread.

// What a listed record, sub-folder or text holds in memory: the object with
// its place in the listing, the blocks it leads to and its texts, each block
// counted once however many of its fields share it, as the allocator takes
// them. A record's texts shared with its folder's other records (sharedText)
// are counted with the folder. A listing's bounds on memory count with these.
qint64 heldBytesOf(const FileInfoNode& record, const QString& sharedText = QString());
qint64 heldBytesOf(const CloudScanFoldersList& folder);
qint64 heldBytesOf(const QString& text);
// What a file that a scan's listing takes holds in memory through the scan:
// its record (as above) and what the scan and the comparison of its settings
// (by default the checksums') hold for it.
qint64 heldBytesOfListedFile(const FileInfoNode& record, const QString& sharedText = QString(),
    const ComparisonSettings& comparison = ComparisonSettings());
// What the text of a folder whose files a scan's listing takes holds through
// the scan: the text, shared by the folder's records, and the result's share
// of the folder.
qint64 heldBytesOfListedFolder(const QString& folder);
