// Drive's answers of any content: the picker's folders-only query and a
// scan's files query, read as the handler reads them.

#include "FuzzSupport.h"
#include "ListingChecks.h"

#include "cloud/GoogleDriveHandler.h"

#include <QJsonArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QJsonObject answer = Fuzz::answerObject(Fuzz::bytes(data, size));
    const qsizetype entries = answer.value(QLatin1String("files")).toArray().size();
    // A handler per input: it records the paths of the folders it meets.
    GoogleDriveHandler handler(CloudServiceConfig {}, nullptr);
    const CloudScanFoldersListPtr root = handler.makeRootFolderNode();

    FolderPages pages;
    handler.addListedFolders(answer, *root, pages);
    Fuzz::checkTally(pages.tally, entries, qsizetype(pages.listing.subFolders.size()),
        [&] { handler.addListedFolders(answer, *root, pages); });
    Fuzz::checkSubFolders(pages.listing.subFolders);

    handler.beginListing(Fuzz::everyFileRequest());
    DriveFilesPage page;
    ListingTally tally;
    handler.acceptFilesPage(GoogleDriveHandler::rootId(), true, answer, page, tally);
    for (const FileInfoNodePtr& record : page.files) {
        if (!record || !record->filePath)
            __builtin_trap();
    }
    Fuzz::checkTally(tally, entries, qsizetype(page.files.size() + page.subFolders.size()), [&] {
        DriveFilesPage again;
        handler.acceptFilesPage(GoogleDriveHandler::rootId(), true, answer, again, tally);
    });
    return 0;
}
