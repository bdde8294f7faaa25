// OneDrive's children answers of any content, read as the handler reads one
// page of a scan's walk.

#include "FuzzSupport.h"
#include "ListingChecks.h"

#include "cloud/OneDriveHandler.h"

#include <QJsonArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OneDriveHandler& handler = Fuzz::scanHandler<OneDriveHandler>();
    const QJsonObject page = Fuzz::answerObject(Fuzz::bytes(data, size));
    const QJsonArray items = page.value(QLatin1String("value")).toArray();
    const CloudScanFoldersListPtr root = handler.makeRootFolderNode();
    FolderPages pages;
    handler.addOneDriveItems(items, *root, pages);
    const FolderListing& listing = pages.listing;
    Fuzz::checkTally(pages.tally, items.size(), qsizetype(listing.files.size() + listing.subFolders.size()),
        [&] { handler.addOneDriveItems(items, *root, pages); });
    Fuzz::checkSubFolders(listing.subFolders);
    Fuzz::filterRecords(handler, listing.files);
    return 0;
}
