#include "core/PhotosNode.h"

void PhotosNode::initWithPhotosOriginalPath(const QString& originalPath, const QString& /*thumbPath*/,
                                            const QString& originalFileName, quint64 size,
                                            const QString& itemUuid, const QString& modelId,
                                            const QString& versionUuid, const QString& libPath)
{
    oPath = originalPath;
    tPath.reset();
    fileName = originalFileName;
    fileSize = size;
    uuid = itemUuid;
    modelID = modelId;
    uuIDRkVersion = versionUuid;
    librarypath = libPath;
    isMovedToTrashAlbum = false;
}
