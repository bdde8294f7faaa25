#pragma once

#include "core/DriveFile.h"
#include "core/DropboxFileMetadata.h"
#include "core/FileInfoNode.h"
#include "core/ScanSettingsSnapshot.h"

#include <QtGlobal>

#include <utility>

// Builders of cloud file records. They run on the thread of the listing that
// calls them, touch only the record they are given and read the scan's
// snapshot; a refused file is simply not taken, nothing is reported.

// Fills the record from a Drive item and filters it by size, date and type
// (the Drive's own extension field, not the name's). filePath stays unset; the
// listing adds it and applies the tiny-file threshold. An item without a size
// (a Google document) is refused: it has no bytes to compare.
bool makeGoogleDriveFileInfoNode(FileInfoNode& record, const DriveFile& item, const ScanSettingsSnapshot& settings);

// The record's image details from a Drive item's metadata; an item without
// any still gets a record of default details.
void setExifInfoFromDriveMetadata(FileInfoNode& record, const DriveFile& item);

// Fills the record from a Dropbox file entry; always true (the filters are
// makeCloudFileInfoNode's).
bool makeDropboxFileInfoNode(FileInfoNode& record, const DropboxFileMetadata& entry);

// The tiny-file threshold of readMinimumDuplicateSize's pair: false for a
// file of at most the threshold's bytes while the option is set. The Drive
// listing applies it alone after the Drive builder, whose type comes from the
// service and is not taken again from the name.
bool isAboveMinimumDuplicateSize(quint64 size, std::pair<qint64, qint64> minimumDuplicateSize);

// The cloud filters on a record whose size, dates and filePath are filled:
// size range, the tiny-file threshold (readMinimumDuplicateSize's pair), the
// date limit, and the type by the last path component's extension. Sets the
// extension, the category and the unmarked state on the way.
bool makeCloudFileInfoNode(
    FileInfoNode& record, const ScanSettingsSnapshot& settings, std::pair<qint64, qint64> minimumDuplicateSize);
