// Box's folder-items answers of any content, read as the handler reads one
// page of a scan's walk.

#include "FuzzSupport.h"
#include "ListingChecks.h"

#include "cloud/BoxCloudHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BoxCloudHandler& handler = Fuzz::scanHandler<BoxCloudHandler>();
    const QJsonObject page = Fuzz::answerObject(Fuzz::bytes(data, size));
    FolderListing listing;
    if (!handler.addBoxEntries(page.value(QLatin1String("entries")).toArray(), *handler.makeRootFolderNode(), listing))
        __builtin_trap();
    Fuzz::checkSubFolders(listing.subFolders);
    Fuzz::filterRecords(handler, listing.files);
    return 0;
}
