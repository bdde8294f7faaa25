#pragma once

// What a service's listing page must give whatever the answer held: records
// and sub-folders the walk can take as they are.

#include "cloud/CloudConfig.h"
#include "cloud/CloudItemChecks.h"
#include "scan/ScanWrapper.h"

namespace Fuzz {

// One handler of the service for the whole run, reading as a scan's walk
// does (files wanted, not only folders). It is never signed in.
template <typename Handler> Handler& scanHandler()
{
    static Handler* const handler = [] {
        auto* made = new Handler(CloudServiceConfig {});
        made->isCompletListFetch = true;
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
