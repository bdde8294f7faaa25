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
    BoxFolderPages pages;
    const std::optional<qsizetype> fresh = handler.addBoxEntries(entries, *handler.makeRootFolderNode(), pages);
    // Read again as a later page, the same entries bring nothing new.
    if (!fresh || handler.addBoxEntries(entries, *handler.makeRootFolderNode(), pages) != 0)
        __builtin_trap();
    const qsizetype taken = qsizetype(pages.listing.files.size() + pages.listing.subFolders.size());
    if (*fresh > entries.size() || taken > *fresh || pages.seenEntries.size() != *fresh
        || (taken > 0 && pages.heldBytes <= 0))
        __builtin_trap();
    Fuzz::checkSubFolders(pages.listing.subFolders);
    Fuzz::filterRecords(handler, pages.listing.files);
    return 0;
}
