// A photo library whose database file holds any bytes: the reader copies
// and queries it, and gives assets or nothing.

#include "FuzzSupport.h"

#include "scan/PhotosLibraryReader.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString library = Fuzz::home() + QStringLiteral("/Pictures/Library.photoslibrary");
    Fuzz::writeFile(library + QStringLiteral("/database/photos.db"), Fuzz::bytes(data, size));
    // Short bounds: a hostile query plan or a flood of rows ends as a skipped
    // library, not a fuzzer timeout or memory blow-up.
    PhotosLibraryLimits limits;
    limits.copyBytes = 16 * 1024 * 1024;
    limits.queryTime = std::chrono::seconds(2);
    limits.rows = 200000;
    limits.bytes = 16 * 1024 * 1024;
    const PhotosLibraryReader reader(
        Fuzz::home() + QStringLiteral("/cache/photos"), QStringLiteral("Vellicor's Marked"), true, limits);
    for (const PhotosAsset& asset : reader.readPhotosLibraryAssets(library)) {
        if (asset.imagePath.isEmpty())
            __builtin_trap();
    }
    QDir(library).removeRecursively();
    return 0;
}
