#include "scan/CloudFileRecordBuilder.h"

#include "core/ExifInfo.h"
#include "core/FileCategories.h"
#include "scan/LocalFileRecordBuilder.h"

#include <QUrl>

namespace {

bool isInSizeRange(quint64 size, const ScanSettingsSnapshot& settings)
{
    return settings.scanAnyFileSize || (size >= settings.minimumFileSizeBytes && size <= settings.maximumFileSizeBytes);
}

bool passesDateFilter(const FileInfoNode& record, const ScanSettingsSnapshot& settings)
{
    if (settings.dateFilterOption == 3)
        return !(
            record.modDate && settings.modifiedDateFilter.isValid() && *record.modDate > settings.modifiedDateFilter);
    if (settings.dateFilterOption == 2)
        return !(record.createDate && settings.createdDateFilter.isValid()
            && *record.createDate < settings.createdDateFilter);
    return true;
}

bool classify(FileInfoNode& record, const ScanSettingsSnapshot& settings)
{
    const ExtensionVerdict verdict = categorizeExtension(record.fileExtension, settings, CustomTables::ignored);
    record.fileCategory = verdict.category;
    return verdict.taken;
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

} // namespace

bool makeGoogleDriveFileInfoNode(FileInfoNode& record, const DriveFile& item, const ScanSettingsSnapshot& settings)
{
    if (!item.size)
        return false;
    record.fileSize = *item.size;
    if (!isInSizeRange(record.fileSize, settings))
        return false;
    record.fileName = item.name;
    record.md5 = item.md5Checksum;
    record.createDate = item.createdTime;
    FileInfoNode::CloudFields& cloud = record.cloudFields();
    cloud.googleDriveFile = item;
    record.isMd5Calucaluted = true;
    cloud.googleDriveThumbnailLink = !item.thumbnailLink.isEmpty() ? item.thumbnailLink : item.iconLink;
    if (cloud.googleDriveThumbnailLink->isEmpty())
        cloud.googleDriveThumbnailLink.reset();
    record.modDate = item.modifiedTime;
    record.state = false;
    record.setArrForSubPathMd5(QStringList());
    if (!passesDateFilter(record, settings))
        return false;
    record.fileExtension = item.fileExtension.toLower();
    if (!classify(record, settings))
        return false;
    if (record.fileCategory == GlobalObjects::FileCategory::Pic)
        setExifInfoFromDriveMetadata(record, item);
    return true;
}

void setExifInfoFromDriveMetadata(FileInfoNode& record, const DriveFile& item)
{
    auto exif = std::make_shared<ExifInfo>();
    // A picture without image metadata keeps every default; one with it shows
    // an exposure bias of 0 when the service gave none.
    if (const std::optional<DriveImageMediaMetadata>& meta = item.imageMediaMetadata) {
        exif->exposureBias = QStringLiteral("0");
        if (!meta->cameraMake.isEmpty())
            exif->cameraMaker = meta->cameraMake;
        if (!meta->cameraModel.isEmpty())
            exif->cameraModel = meta->cameraModel;
        if (!meta->colorSpace.isEmpty())
            exif->colorSpace = meta->colorSpace;
        if (meta->exposureBias)
            exif->exposureBias = QString::number(static_cast<int>(*meta->exposureBias));
        if (meta->flashUsed)
            exif->flashFired = *meta->flashUsed;
        if (meta->focalLength)
            exif->folcalLength = QString::number(static_cast<int>(*meta->focalLength));
        if (meta->height) {
            exif->dpiHeight = *meta->height;
            exif->pixelHeight = *meta->height;
        }
        if (meta->width) {
            exif->dpiWidth = *meta->width;
            exif->pixelWidth = *meta->width;
        }
        exif->imageSize = QStringLiteral("%1 x %2").arg(exif->pixelWidth).arg(exif->pixelHeight);
        if (meta->isoSpeed)
            exif->isoSpeedRating = QString::number(*meta->isoSpeed);
        if (!meta->lens.isEmpty())
            exif->cameraLensModel = meta->lens;
        if (!meta->sensor.isEmpty())
            exif->sensingMethod = meta->sensor;
        if (meta->exposureTime)
            exif->exposure = QString::number(*meta->exposureTime, 'f', 2);
        if (!meta->exposureMode.isEmpty())
            exif->exposureMode = meta->exposureMode;
        if (!meta->meteringMode.isEmpty())
            exif->meteringMode = meta->meteringMode;
    }
    record.setExifInfo(std::move(exif));
}

bool makeDropboxFileInfoNode(FileInfoNode& record, const DropboxFileMetadata& entry)
{
    record.cloudFields().dropBoxFile = entry;
    record.fileSize = entry.size;
    record.fileName = entry.name;
    record.md5 = entry.contentHash;
    record.filePath = QStringLiteral("Dropbox") + entry.pathDisplay;
    record.folderPath = folderOf(*record.filePath);
    record.createDate = entry.clientModified;
    record.modDate = entry.serverModified;
    record.isMd5Calucaluted = true;
    record.state = false;
    record.setArrForSubPathMd5(QStringList());
    return true;
}

bool isAboveMinimumDuplicateSize(quint64 size, std::pair<qint64, qint64> minimumDuplicateSize)
{
    const auto [threshold, option] = minimumDuplicateSize;
    return option < 0 || threshold < 0 || size > static_cast<quint64>(threshold);
}

bool makeCloudFileInfoNode(
    FileInfoNode& record, const ScanSettingsSnapshot& settings, std::pair<qint64, qint64> minimumDuplicateSize)
{
    if (!isInSizeRange(record.fileSize, settings))
        return false;
    if (!isAboveMinimumDuplicateSize(record.fileSize, minimumDuplicateSize))
        return false;
    if (!passesDateFilter(record, settings))
        return false;
    record.state = false;
    record.fileExtension = pathExtensionOf(record.filePath.value_or(QString()));
    return classify(record, settings);
}
