#pragma once

#include "cloud/LightroomDBManager.h"
#include "scan/ScanWrapper.h"

#include <mutex>

// The local photo catalog as a scan source. A scan reads every file entry of
// the catalog (the chosen folders play no part), makes one record per entry
// with the size and dates of the file on disk, and hands them to the sink,
// which compares them like this computer's files. Removing a copy removes its
// catalog entries only: the image file stays on disk, and nothing can be put
// back.
//
// Threads: startCloudScan runs the whole scan on its calling thread (the
// engine's worker); deleteCloudFile runs on the removal worker.
class LightroomCloudHandler : public ScanWrapper {
public:
    // catalog: the catalog file; none: where the photo application keeps it.
    explicit LightroomCloudHandler(std::optional<QString> catalog = std::nullopt);

    void startCloudScan(
        const std::vector<CloudScanFoldersListPtr>& folders, const ScanRequest& request, CloudScanSink& sink) override;
    bool authenticateCloud() override;
    bool deleteCloudFile(const FileInfoNodePtr& record) override;
    void fetchChildFolders(const CloudScanFoldersListPtr&) override { }
    QString lastRemovalFailure() const override;
    std::optional<QString> sourceFile() const override { return lightroomDBManagerObj.catalogPath(); }

    // Fills a record from one catalog entry and the file's attributes on disk
    // (size and dates stay unset when the file cannot be read).
    static void fillLightroomFileInfoNode(const LightroomCatalogRow& row, FileInfoNode& record);

    const LightroomDBManager& catalog() const { return lightroomDBManagerObj; }

protected:
    QString rootFolderName() const override { return QStringLiteral("Lightroom"); }

private:
    void scanLightroomCatalog(CloudScanSink& sink);

    LightroomDBManager lightroomDBManagerObj;
    mutable std::mutex removalFailureLock_;
    QString removalFailure_;
};
