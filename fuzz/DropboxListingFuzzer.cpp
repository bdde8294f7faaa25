// Dropbox's folder-listing answers of any content, read as the handler reads
// one page.

#include "FuzzSupport.h"
#include "ListingChecks.h"

#include "cloud/DropBoxHandler.h"

#include <QJsonArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DropBoxHandler& handler = Fuzz::scanHandler<DropBoxHandler>();
    const QJsonObject page = Fuzz::answerObject(Fuzz::bytes(data, size));
    const QJsonArray entries = page.value(QLatin1String("entries")).toArray();
    const CloudScanFoldersListPtr root = handler.makeRootFolderNode();
    FolderPages pages;
    if (!handler.addDropboxEntries(entries, root, pages))
        __builtin_trap();
    const FolderListing& listing = pages.listing;
    Fuzz::checkTally(pages.tally, entries.size(), qsizetype(listing.files.size() + listing.subFolders.size()),
        [&] { handler.addDropboxEntries(entries, root, pages); });
    Fuzz::filterRecords(handler, listing.files);
    return 0;
}
