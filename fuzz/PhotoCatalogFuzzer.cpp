// A photo catalog of any bytes: its listing gives rows inside their root
// folders or nothing, and a removal of entries changes it or refuses.

#include "FuzzSupport.h"

#include "cloud/LightroomDBManager.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = Fuzz::home() + QStringLiteral("/catalog");
    const QString catalog = folder + QStringLiteral("/Catalog.lrcat");
    Fuzz::writeFile(catalog, Fuzz::bytes(data, size));
    // Short bounds, as for a photo library.
    const LightroomDBManager manager(catalog, { std::chrono::seconds(2), 200000, 16 * 1024 * 1024 });
    QStringList ids;
    for (const LightroomCatalogRow& row : manager.fetchLightroomCatalogFiles()) {
        if (row.fileName.isEmpty() || !QDir::isAbsolutePath(row.folderPath))
            __builtin_trap();
        ids.append(QString::number(row.fileId));
    }
    ids.append(QStringLiteral("1"));
    manager.deleteLightroomCatalogFiles(ids);
    QDir(folder).removeRecursively();
    return 0;
}
