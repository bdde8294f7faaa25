// Box's folder-items answers of any content, read as the handler reads one
// page of a scan's walk.

#include "FuzzSupport.h"
#include "ListingChecks.h"

#include "cloud/BoxCloudHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BoxCloudHandler& handler = Fuzz::scanHandler<BoxCloudHandler>();
    const QJsonObject page = Fuzz::answerObject(Fuzz::bytes(data, size));
    const QJsonArray entries = page.value(QLatin1String("entries")).toArray();
    const CloudScanFoldersListPtr root = handler.makeRootFolderNode();
    FolderPages pages;
    const std::optional<qsizetype> fresh = handler.addBoxEntries(entries, *root, pages);
    if (fresh != pages.tally.freshOnPage())
        __builtin_trap();
    const FolderListing& listing = pages.listing;
    Fuzz::checkTally(pages.tally, entries.size(), qsizetype(listing.files.size() + listing.subFolders.size()),
        [&] { handler.addBoxEntries(entries, *root, pages); });
    Fuzz::checkSubFolders(listing.subFolders);
    Fuzz::filterRecords(handler, listing.files);
    return 0;
}
