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
    FolderListing listing;
    handler.addDropboxEntries(page.value(QLatin1String("entries")).toArray(), handler.makeRootFolderNode(), listing);
    Fuzz::filterRecords(handler, listing.files);
    return 0;
}
