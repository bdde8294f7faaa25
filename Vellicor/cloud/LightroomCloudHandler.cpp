#include "cloud/LightroomCloudHandler.h"

#include "base/Log.h"
#include "core/SettingsSchema.h"

#include <QFileInfo>

LightroomCloudHandler::LightroomCloudHandler(std::optional<QString> catalog)
    : lightroomDBManagerObj(std::move(catalog))
{
    // The catalog needs no sign-in.
    isAuthenticateForScan = true;
}

void LightroomCloudHandler::startCloudScan(
    const std::vector<CloudScanFoldersListPtr>&, const ScanRequest& request, CloudScanSink& sink)
{
    isCompletListFetch = true;
    takeSettings(request);
    scanLightroomCatalog(sink);
}

void LightroomCloudHandler::scanLightroomCatalog(CloudScanSink& sink)
{
    QString failure;
    const std::vector<LightroomCatalogRow> rows
        = lightroomDBManagerObj.fetchLightroomCatalogFiles(&isAbortScanning, &failure);
    // A catalog that is there but could not be read leaves the scan
    // incomplete, which the user is told; a missing one just has no files.
    lastWalkIncomplete = !failure.isEmpty() && QFileInfo::exists(lightroomDBManagerObj.catalogPath());
    for (const LightroomCatalogRow& row : rows) {
        if (isAbortScanning)
            break;
        auto record = std::make_shared<FileInfoNode>();
        fillLightroomFileInfoNode(row, *record);
        if (isCompletListFetch && acceptRecord(*record)) {
            ++fileCount;
            sink.addCloudScanFile(record);
        }
    }
    sink.OnScanCompletedProcess();
}

void LightroomCloudHandler::fillLightroomFileInfoNode(const LightroomCatalogRow& row, FileInfoNode& record)
{
    record.cloudFields().fileId = QString::number(row.fileId);
    record.fileName = row.fileName;
    record.folderPath = row.folderPath;
    const QString path = row.folderPath + row.fileName;
    record.filePath = path;
    const QFileInfo info(path);
    if (info.exists()) {
        record.fileSize = static_cast<quint64>(std::max<qint64>(info.size(), 0));
        if (const QDateTime modified = info.lastModified(); modified.isValid())
            record.modDate = modified;
        if (const QDateTime born = info.birthTime(); born.isValid())
            record.createDate = born;
    }
    record.state = false;
    record.setArrForSubPathMd5(QStringList());
}

bool LightroomCloudHandler::authenticateCloud()
{
    isAuthenticateForScan = true;
    return true;
}

bool LightroomCloudHandler::deleteCloudFile(const FileInfoNodePtr& record)
{
    if (!record || !record->cloud || record->cloud->fileId.isEmpty())
        return false;
    Log::print("Removing from the photo catalog: file", record->cloud->fileId);
    QString refusal;
    const bool removed = lightroomDBManagerObj.deleteLightroomCatalogFiles({ record->cloud->fileId }, &refusal);
    const std::lock_guard lock(removalFailureLock_);
    removalFailure_ = refusal;
    return removed;
}

QString LightroomCloudHandler::lastRemovalFailure() const
{
    const std::lock_guard lock(removalFailureLock_);
    return removalFailure_;
}
