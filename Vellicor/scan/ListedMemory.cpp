#include "scan/ListedMemory.h"

#include "core/ExifInfo.h"
#include "scan/ListingGuard.h"
#include "scan/ScanJob.h"

#include <QVarLengthArray>

#include <algorithm>
#include <initializer_list>
#include <optional>

qint64 heldBytesOf(const QString& text)
{
    return qint64(sizeof(QString)) + heldBytesOfText(text);
}

namespace {

// The blocks one record leads to, each counted once: texts shared by several
// of its fields (a name and its path's last part, a checksum and the
// service's copy of it) take their room once.
class RecordBlocks {
public:
    // shared: a text counted elsewhere (the folder's, shared by its records).
    explicit RecordBlocks(const QString& shared)
    {
        if (const QArrayData* block = blockOf(shared))
            counted_.push_back(block);
    }

    void add(const QString& text)
    {
        const QArrayData* block = blockOf(text);
        if (!block || std::find(counted_.begin(), counted_.end(), block) != counted_.end())
            return;
        counted_.push_back(block);
        bytes_ += heldBytesOfText(text);
    }
    void add(std::initializer_list<const QString*> texts)
    {
        for (const QString* text : texts)
            add(*text);
    }
    void add(const std::optional<QString>& text)
    {
        if (text)
            add(*text);
    }
    // A date keeps its time inline unless it carries an offset or a zone.
    void add(const std::optional<QDateTime>& date)
    {
        if (date && (date->timeSpec() == Qt::OffsetFromUTC || date->timeSpec() == Qt::TimeZone))
            bytes_ += heapBlockBytes(48);
    }
    void addBlock(qint64 bytes) { bytes_ += heapBlockBytes(bytes); }
    qint64 bytes() const { return bytes_; }

private:
    static const QArrayData* blockOf(const QString& text)
    {
        return const_cast<QString&>(text).data_ptr().d_ptr();
    }

    QVarLengthArray<const QArrayData*, 32> counted_;
    qint64 bytes_ = 0;
};

// The service's item a record carries: every text of it is the service's to
// make as long as an answer allows.
void addHeld(RecordBlocks& blocks, const DriveFile& item)
{
    blocks.addBlock(sizeof(DriveFile));
    blocks.add({ &item.identifier, &item.name, &item.md5Checksum, &item.thumbnailLink, &item.iconLink,
        &item.fileExtension, &item.mimeType });
    blocks.add(item.createdTime);
    blocks.add(item.modifiedTime);
    if (const std::optional<DriveImageMediaMetadata>& media = item.imageMediaMetadata)
        blocks.add({ &media->cameraMake, &media->cameraModel, &media->colorSpace, &media->lens, &media->sensor,
            &media->exposureMode, &media->meteringMode });
}

void addHeld(RecordBlocks& blocks, const DropboxFileMetadata& item)
{
    blocks.addBlock(sizeof(DropboxFileMetadata));
    blocks.add({ &item.identifier, &item.name, &item.pathDisplay, &item.rev });
    blocks.add(item.contentHash);
    blocks.add(item.clientModified);
    blocks.add(item.serverModified);
}

// The picture details a Drive listing makes: the texts it sets.
void addHeld(RecordBlocks& blocks, const ExifInfo& exif)
{
    // With the shared pointer's count.
    blocks.addBlock(sizeof(ExifInfo) + 16);
    blocks.add({ &exif.cameraMaker, &exif.cameraModel, &exif.colorSpace, &exif.exposureBias, &exif.folcalLength,
        &exif.imageSize, &exif.isoSpeedRating, &exif.cameraLensModel, &exif.sensingMethod, &exif.exposure,
        &exif.exposureMode, &exif.meteringMode });
}

} // namespace

qint64 heldBytesOf(const FileInfoNode& record, const QString& sharedText)
{
    RecordBlocks blocks(sharedText);
    // The record with the shared pointer's count, and its place in the listing.
    blocks.addBlock(sizeof(FileInfoNode) + 16);
    qint64 bytes = sizeof(FileInfoNodePtr);
    blocks.add({ &*record.fileName, &record.filePath.folderComponent(), &record.filePath.lastComponent(),
        &record.folderPath, &record.fileExtension });
    if (const QString* digest = record.md5.text()) {
        blocks.addBlock(16 + sizeof(QString));
        blocks.add(*digest);
    }
    blocks.add(record.modDate);
    blocks.add(record.createDate);
    if (record.hasFieldBoxes())
        blocks.addBlock(FileInfoNode::fieldBoxesBytes);
    if (record.cloud) {
        const FileInfoNode::CloudFields& cloud = *record.cloud;
        blocks.addBlock(sizeof(FileInfoNode::CloudFields));
        blocks.add({ &cloud.fileId, &cloud.folderIdForBoxCloud });
        blocks.add(cloud.googleDriveThumbnailLink);
        if (cloud.googleDriveFile)
            addHeld(blocks, *cloud.googleDriveFile);
        if (cloud.dropBoxFile)
            addHeld(blocks, *cloud.dropBoxFile);
    }
    if (record.hasRareFields()) {
        blocks.addBlock(sizeof(FileInfoNode::RareFields));
        if (const std::shared_ptr<ExifInfo>& exif = record.exifInfo())
            addHeld(blocks, *exif);
    }
    return bytes + blocks.bytes();
}

qint64 heldBytesOfListedFile(const FileInfoNode& record, const QString& sharedText, const ComparisonSettings& comparison)
{
    return heldBytesOf(record, sharedText) + ScanJob::heldBytesPerCloudFile(comparison, record);
}

qint64 heldBytesOfListedFolder(const QString& folder)
{
    return heldBytesOf(folder) + ScanJob::heldBytesPerResultFolder(folder);
}

qint64 heldBytesOf(const CloudScanFoldersList& folder)
{
    RecordBlocks blocks { QString() };
    // The node with the shared pointer's count, and its places in the
    // listing and under its parent.
    blocks.addBlock(sizeof(CloudScanFoldersList) + 16);
    blocks.add({ &folder.folderName, &folder.folderId, &folder.folderPath, &folder.graphUrlStr });
    return 2 * qint64(sizeof(CloudScanFoldersListPtr)) + blocks.bytes();
}
