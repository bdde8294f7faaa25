// Drive's answers of any content: the picker's folders-only query and a
// scan's files query, read as the handler reads them.

#include "FuzzSupport.h"
#include "ListingChecks.h"

#include "cloud/GoogleDriveHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonObject answer = Fuzz::answerObject(Fuzz::bytes(data, size));
    // A handler per input: it records the paths of the folders it meets.
    GoogleDriveHandler handler(CloudServiceConfig {}, nullptr);
    const CloudScanFoldersListPtr root = handler.makeRootFolderNode();

    FolderListing listing;
    handler.addListedFolders(answer, *root, listing);
    Fuzz::checkSubFolders(listing.subFolders);

    handler.beginListing(Fuzz::everyFileRequest());
    DriveFilesPage page;
    handler.acceptFilesPage(GoogleDriveHandler::rootId(), true, answer, page);
    for (const FileInfoNodePtr& record : page.files) {
        if (!record || !record->filePath)
            __builtin_trap();
    }
    return 0;
}
