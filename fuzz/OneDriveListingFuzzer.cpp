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
    FolderListing listing;
    handler.addOneDriveItems(page.value(QLatin1String("value")).toArray(), *handler.makeRootFolderNode(), listing);
    Fuzz::checkSubFolders(listing.subFolders);
    Fuzz::filterRecords(handler, listing.files);
    return 0;
}
