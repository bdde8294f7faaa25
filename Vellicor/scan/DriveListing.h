#pragma once

#include "scan/ScanWrapper.h"

#include <QString>

#include <optional>

class ScanJob;
class ScanSources;

// The Google Drive listing of a scan: one files-list query per chosen folder
// that is not excluded, then one per further page and per sub-folder the
// answers name, until every query sent has been answered. The answers' files
// go to the scan's job, which compares them once the last answer is in.
//
// Lives on the GUI thread, where the service's answers arrive; the service is
// the sources' (not owned) and is asked again at each dispatch.
class DriveListing {
public:
    // A new scan starts: the service lets go of what its last listing kept.
    static void releaseLast(ScanSources& sources);
    // Starts the listing of job's chosen Drive folders.
    void dispatch(ScanJob& job, ScanSources& sources);
    // One answer of the service, for the running scan's job.
    void takePage(ScanJob& job, const QString& folderId, bool isIncludeSubFolders, const DriveFilesPage& page);
    // Stop of the scan (GUI thread): the listing ends now, without waiting
    // for the queries on their way, whose answers never come; the job ends
    // as a stopped scan. Nothing while no query is out.
    void stop(ScanJob& job);
    // Queries sent and not yet answered.
    int pendingQueries() const { return recusiveCount_; }
    // A new scan starts with no query outstanding.
    void forgetQueries() { recusiveCount_ = 0; }

private:
    void sendDriveQuery(const QString& folderId, bool isIncludeSubFolders, const std::optional<QString>& pageToken);

    DriveScanService* driveScanService_ = nullptr;
    int recusiveCount_ = 0;
};
