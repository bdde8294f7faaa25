#include "scan/DriveListing.h"

#include "base/Log.h"
#include "core/GlobalObjects.h"
#include "scan/ScanJob.h"
#include "scan/ScanSources.h"

#include <algorithm>

void DriveListing::releaseLast(ScanSources& sources)
{
    if (auto* service = dynamic_cast<DriveScanService*>(sources.handler(ScanSource::googleDrive)))
        service->releaseListing();
}

void DriveListing::dispatch(ScanJob& job, ScanSources& sources)
{
    driveScanService_ = dynamic_cast<DriveScanService*>(sources.handler(ScanSource::googleDrive));
    if (driveScanService_)
        driveScanService_->beginListing(job.request);
    const std::vector<FilePathNodePtr>& excludeRows = job.request.excludeRows;
    for (const FilePathNode& row : job.request.rows) {
        if (row.state == 0 || !row.gdFolder)
            continue;
        printToStandardOutput(row.gdFolder->folderName);
        if (isAbortScan)
            continue;
        const QString folderId = row.gdFolder->folderId;
        const bool excluded = std::any_of(excludeRows.begin(), excludeRows.end(),
            [&](const FilePathNodePtr& ex) { return ex && ex->gdFolder && ex->gdFolder->folderId == folderId; });
        if (excluded || !driveScanService_)
            continue;
        sendDriveQuery(folderId, row.isIncludeSubFolders, std::nullopt);
    }
}

void DriveListing::sendDriveQuery(
    const QString& folderId, bool isIncludeSubFolders, const std::optional<QString>& pageToken)
{
    ++recusiveCount_;
    driveScanService_->executeFilesListQuery(folderId, isIncludeSubFolders, pageToken);
}

void DriveListing::takePage(ScanJob& job, const QString& folderId, bool isIncludeSubFolders, const DriveFilesPage& page)
{
    // Every answer counts its query down, a failed one too: otherwise one
    // failed query would keep the scan waiting for ever.
    recusiveCount_ = std::max(0, recusiveCount_ - 1);
    if (page.bound) {
        job.noteListingBound(*page.bound);
    } else if ((page.failed || page.cutShort) && isAbortScan) {
        // The user stopped the listing: what it left out is no failure.
        Log::print("A Google Drive listing query answered after Stop was left as it was, for folder", folderId);
    } else if (page.failed || page.cutShort) {
        Log::print("A Google Drive listing query failed or was cut short for folder", folderId);
        job.markListingIncomplete();
    }
    if (!page.failed) {
        job.addDriveFiles(page.files);
        if (page.nextPageToken && !isAbortScan && driveScanService_)
            sendDriveQuery(folderId, isIncludeSubFolders, page.nextPageToken);
        const std::vector<FilePathNode>& rows = job.request.rows;
        for (const std::pair<QString, QString>& sub : page.subFolders) {
            // References, not a structured binding: the lambdas below
            // capture them, which clang 14 refuses for a binding.
            const QString& subId = sub.first;
            const QString& subPath = sub.second;
            if (isAbortScan || !driveScanService_)
                break;
            // A sub-folder that is a checked row of its own, with its
            // sub-folders, is listed by that row's query alone. A row without
            // them lists only its own files: the walk from its parent still
            // goes below it, and the job takes each path once.
            const bool ownRow = std::any_of(rows.begin(), rows.end(), [&](const FilePathNode& row) {
                return row.state != 0 && row.isIncludeSubFolders && row.gdFolder && row.gdFolder->folderId == subId;
            });
            if (ownRow)
                continue;
            const std::vector<FilePathNodePtr>& excludeRows = job.request.excludeRows;
            const bool excluded = std::any_of(excludeRows.begin(), excludeRows.end(), [&](const FilePathNodePtr& ex) {
                return ex && ex->gdFolder
                    && (ex->gdFolder->folderId == subId || ex->gdFolder->folderAbsPath == subPath);
            });
            const std::optional<PathExclusionPredicate>& exclusion = job.request.cloudExclusion;
            if (!excluded && !(exclusion && exclusion->evaluateWithObject(subPath)))
                sendDriveQuery(subId, true, std::nullopt);
        }
    }
    if (recusiveCount_ == 0)
        job.findDuplicatesInCloudDrives();
}

void DriveListing::stop(ScanJob& job)
{
    if (recusiveCount_ == 0)
        return;
    Log::print("A Google Drive listing was stopped with", recusiveCount_, "queries on their way");
    if (driveScanService_)
        driveScanService_->stopListing();
    recusiveCount_ = 0;
    job.findDuplicatesInCloudDrives();
}
