#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

// What the program reads of one Google Drive item, parsed from the Drive
// files-list JSON. Plain data: records carry it without any network code.
struct DriveImageMediaMetadata {
    QString cameraMake;
    QString cameraModel;
    QString colorSpace;
    std::optional<double> exposureBias;
    std::optional<bool> flashUsed;
    std::optional<double> focalLength;
    std::optional<int> height;
    std::optional<int> width;
    std::optional<int> isoSpeed;
    QString lens;
    QString sensor;
    std::optional<double> exposureTime;
    QString exposureMode;
    QString meteringMode;

    static DriveImageMediaMetadata fromJson(const QJsonObject& json);
};

struct DriveFile {
    QString identifier;
    QString name;
    std::optional<quint64> size;
    QString md5Checksum;
    std::optional<QDateTime> createdTime;
    std::optional<QDateTime> modifiedTime;
    QString thumbnailLink;
    QString iconLink;
    QString fileExtension;
    QString mimeType;
    std::optional<DriveImageMediaMetadata> imageMediaMetadata;

    bool isFolder() const { return mimeType == QLatin1String("application/vnd.google-apps.folder"); }

    // None when the entry has no identifier; unknown or mistyped fields are
    // left empty rather than guessed.
    static std::optional<DriveFile> fromJson(const QJsonObject& json);
};
