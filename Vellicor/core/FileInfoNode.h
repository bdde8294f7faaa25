#pragma once

#include "core/DriveFile.h"
#include "core/DropboxFileMetadata.h"
#include "core/GlobalObjects.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class DuplicateGroup;
class ExifInfo;
class PhotosNode;

// A time as a local file system keeps it, to the nanosecond where it keeps
// that much; all zero when unknown.
struct FileTimestamp {
    qint64 seconds = 0;
    quint32 nanoseconds = 0;
    bool operator==(const FileTimestamp&) const = default;
};

// One file found by a scan: a local file, a folder handled as one item, a
// photo-library item or a cloud file. Shared by reference between the scan
// engine, the results screen and the clean-up (hold it in a shared_ptr); the
// builders fill it, the comparison puts it into at most one group.
class FileInfoNode {
public:
    // Meant for the digests of a package's members; builders set it empty and
    // nothing adds to it (a package's digest lives in md5).
    std::optional<QStringList> arrForSubPathMd5;
    bool isDirectory = false;
    std::optional<GlobalObjects::FileCategory> fileCategory;
    bool isMoveToTrash = false;
    std::optional<QString> libraryPath;
    std::shared_ptr<PhotosNode> photosInfo;
    bool isPhotosNode = false;
    bool isiPhotoNode = false;
    // The group holding this record; the group owns its members, not the other
    // way round.
    std::weak_ptr<DuplicateGroup> parent;
    std::optional<QString> fileType;
    std::optional<QString> filePath;
    std::optional<QDateTime> modDate;
    std::optional<QDateTime> createDate;
    std::optional<QString> fileName;
    std::optional<QString> md5;
    quint64 fileSize = 0;
    bool isMd5Calucaluted = false;
    // The mark: true marked for removal, false (or absent) kept.
    std::optional<bool> state;
    std::optional<DriveFile> googleDriveFile;
    std::optional<QString> googleDriveThumbnailLink;
    QString fileExtension;
    std::shared_ptr<ExifInfo> exifInfo;
    QString folderPath;
    bool isLocked = false;
    bool isProtected = false;
    std::optional<QUrl> filePathUrl;
    bool isRawFormat = false;
    bool isNetworkDrive = false;
    std::optional<DropboxFileMetadata> dropBoxFile;
    QString fileId;
    QString folderIdForBoxCloud;

    // Identity of a local file, so that a scan records it once however many
    // paths lead to it (hard links, bind mounts, overlapping rows).
    quint64 deviceId = 0;
    quint64 inode = 0;
    // Exact modification and status-change times of a local file. A cached
    // digest is believed only while these and the inode are unchanged: the
    // change time moves on every write and no user tool can set it back.
    FileTimestamp modTime;
    FileTimestamp changeTime;

    bool isMarked() const { return state.value_or(false); }
};

using FileInfoNodePtr = std::shared_ptr<FileInfoNode>;
