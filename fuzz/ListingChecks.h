#pragma once

// What a service's listing page must give whatever the answer held: records
// and sub-folders the walk can take as they are.

#include "FuzzSupport.h"

#include "base/UserDefaults.h"
#include "cloud/CloudConfig.h"
#include "cloud/CloudItemChecks.h"
#include "core/AppStartup.h"
#include "core/ScanSettingsSnapshot.h"
#include "scan/ScanRequest.h"
#include "scan/ScanWrapper.h"

#include <QFile>

#include <limits>

namespace Fuzz {

// A scan's request whose filters take every file: all types, any size, any
// date, so that every record reaches the builders' later steps (a picture's
// metadata among them). The program's start-up runs first for the built-in
// type tables.
inline const ScanRequest& everyFileRequest()
{
    static const ScanRequest request = [] {
        static UserDefaults defaults(home() + QStringLiteral("/settings-of-the-run"));
        startApplicationCore(defaults);
        // Start-up made the log's folder; the log goes nowhere again.
        qputenv("XDG_STATE_HOME", QFile::encodeName(home() + QStringLiteral("/no-log")));
        ScanRequest made;
        made.filters = makeScanSettingsSnapshot();
        made.filters.scanCategoryFlags.fill(true);
        made.filters.isAllFileTypesSelected = true;
        made.filters.scanAnyFileSize = true;
        made.filters.maximumFileSizeBytes = std::numeric_limits<quint64>::max();
        made.filters.dateFilterOption = 1;
        return made;
    }();
    return request;
}

// A handler that can be given a scan's settings without a walk.
template <typename Handler> struct ScanningHandler : Handler {
    using Handler::Handler;
    using ScanWrapper::takeSettings;
};

// One handler of the service for the whole run, reading as a scan's walk
// does (files wanted, every file taken). It is never signed in.
template <typename Handler> Handler& scanHandler()
{
    static Handler* const handler = [] {
        auto* made = new ScanningHandler<Handler>(CloudServiceConfig {});
        made->isCompletListFetch = true;
        made->takeSettings(everyFileRequest());
        return made;
    }();
    return *handler;
}

// Every file record goes through the walk's filters, as a scan's would.
inline void filterRecords(const ScanWrapper& handler, const std::vector<FileInfoNodePtr>& files)
{
    for (const FileInfoNodePtr& record : files) {
        if (!record)
            __builtin_trap();
        handler.acceptRecord(*record);
    }
}

// A page read into a listing's tally took no more entries than it held and
// made no more records and sub-folders than it took, counting what it made
// as held; readAgain reads the same page once more, as a later page of the
// listing would bring it, and that brings nothing new.
template <typename ReadAgain> void checkTally(const ListingTally& tally, qsizetype entries, qsizetype made, ReadAgain readAgain)
{
    const qsizetype fresh = tally.freshOnPage();
    if (fresh > entries || tally.entriesTaken() != fresh || made > fresh || (made > 0 && tally.heldBytes() <= 0))
        __builtin_trap();
    readAgain();
    if (tally.freshOnPage() != 0 || tally.entriesTaken() != fresh)
        __builtin_trap();
}

// A sub-folder's name is one usable path component and its path ends in it.
inline void checkSubFolders(const std::vector<CloudScanFoldersListPtr>& subFolders)
{
    for (const CloudScanFoldersListPtr& folder : subFolders) {
        if (!folder || cloudNameProblem(folder->folderName)
            || !folder->folderPath.endsWith(QLatin1Char('/') + folder->folderName))
            __builtin_trap();
    }
}

} // namespace Fuzz
