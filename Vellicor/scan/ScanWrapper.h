#pragma once

#include "core/CloudScanFoldersList.h"
#include "core/FileInfoNode.h"

#include <QString>
#include <atomic>

#include <memory>
#include <optional>
#include <vector>

// Where a cloud source's listing delivers its records. The scan engine
// implements it; calls may come from the listing's own thread.
class CloudScanSink {
public:
    virtual ~CloudScanSink() = default;
    // One accepted file record of the listing.
    virtual void addCloudScanFile(const FileInfoNodePtr& record) = 0;
    // The listing has ended (completely, or cut short by Stop).
    virtual void OnScanCompletedProcess() = 0;
};

// A cloud source handler (Dropbox, OneDrive, Box, photo catalog). The real
// handlers live with the cloud sources; the engine only starts their listing.
class ScanWrapper {
public:
    virtual ~ScanWrapper() = default;

    // A clean-up removed files of this source since its folders were listed.
    bool isFileDeletedFromCloud = false;
    // The listing is made for a scan (not for the folder picker).
    bool isCompletListFetch = false;
    // Raised by a confirmed Stop; the listing ends at its next test of it.
    std::atomic<bool> isAbortScanning { false };
    int fileCount = 0;
    bool isAuthenticateForScan = false;

    virtual CloudScanFoldersListPtr makeRootFolderNode() = 0;

    // Lists the folders depth first, starting with the first (the list is
    // never empty), hands every file record to the sink and ends with
    // OnScanCompletedProcess. Runs on a background thread.
    virtual void startCloudScan(
        const std::vector<CloudScanFoldersListPtr>& folders, int pauseCounter, CloudScanSink& sink)
        = 0;
};

// One answer of a Google Drive files-list query: the page's file records (as
// the Drive record builder made them), the token of the next page, or the
// failure of the query.
struct DriveFilesPage {
    std::vector<FileInfoNodePtr> files;
    std::optional<QString> nextPageToken;
    bool failed = false;
};

// The Google Drive listing of a scan: one files-list query per folder and page.
// Every query is answered exactly once, on the GUI thread, through the
// engine's processAllFetchGoogleDriveFiles.
class DriveScanService {
public:
    virtual ~DriveScanService() = default;
    virtual void executeFilesListQuery(
        const QString& folderId, bool isIncludeSubFolders, const std::optional<QString>& pageToken)
        = 0;
};
