#pragma once

#include <QString>

#include <optional>

// The photo-library details of one library item.
class PhotosNode {
public:
    std::optional<bool> isMovedToTrashAlbum;
    std::optional<bool> hasDescriptionForPhotosDup;
    std::optional<QString> librarypath;
    std::optional<QString> uuIDRkVersion;
    std::optional<QString> oPath;
    std::optional<QString> tPath;
    std::optional<QString> fileName;
    std::optional<quint64> fileSize;
    std::optional<QString> uuid;
    std::optional<QString> modelID;
    std::optional<QString> photoNodeDesc;

    // Fills the fields of an item read from the library database. The thumbnail
    // path is not kept.
    void initWithPhotosOriginalPath(const QString& originalPath, const QString& thumbPath,
                                    const QString& originalFileName, quint64 size, const QString& itemUuid,
                                    const QString& modelId, const QString& versionUuid, const QString& libPath);
};
