#pragma once

#include "core/DriveFile.h"
#include "core/DropboxFileMetadata.h"
#include "core/GlobalObjects.h"
#include "core/RecordText.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstddef>
#include <memory>
#include <optional>

class DuplicateGroup;
class ExifInfo;
class PhotosNode;

// A time as a local file system keeps it, to the nanosecond where it keeps
// that much; all zero when unknown. Twelve bytes without padding, as every
// record keeps two.
struct __attribute__((packed, aligned(4))) FileTimestamp {
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
    // The small fields first, so that the record has no holes.
    bool isDirectory = false;
    bool isMoveToTrash = false;
    bool isPhotosNode = false;
    bool isiPhotoNode = false;
    bool isMd5Calucaluted = false;
    bool isLocked = false;
    bool isProtected = false;
    bool isRawFormat = false;
    bool isNetworkDrive = false;
    // The user answered Yes to marking this very file although it lies in a
    // protected folder. Cleared whenever the mark changes; a file of a
    // protected folder is removed only with it.
    bool isProtectedMarkConfirmed = false;
    // The lock is the file's own immutable attribute as the scan found it,
    // not the user's Lock of the results' menu: what a locked file tells the
    // user of its missing check box. Cleared when the user locks or unlocks.
    bool isLockedOnDisk = false;
    // The mark: true marked for removal, false (or absent) kept.
    std::optional<bool> state;

private:
    // arrForSubPathMd5 is an empty list.
    bool emptySubPathList_ = false;

public:
    std::optional<GlobalObjects::FileCategory> fileCategory;
    // The group holding this record; the group owns its members, not the other
    // way round.
    std::weak_ptr<DuplicateGroup> parent;
    PathText filePath;
    std::optional<QDateTime> modDate;
    std::optional<QDateTime> createDate;
    NameText fileName;
    DigestText md5;
    quint64 fileSize = 0;
    // Fields most records lack, behind one pointer made on first write and
    // copied with the record, so that a copy never shares them. Reads like an
    // optional: present once made or assigned.
    template <class Fields> class Box {
    public:
        Box() = default;
        Box(const Box& other)
            : fields_(other.fields_ ? std::make_unique<Fields>(*other.fields_) : nullptr)
        {
        }
        Box(Box&&) noexcept = default;
        Box& operator=(const Box& other)
        {
            if (this != &other)
                fields_ = other.fields_ ? std::make_unique<Fields>(*other.fields_) : nullptr;
            return *this;
        }
        Box& operator=(Box&&) noexcept = default;
        Box& operator=(const Fields& fields)
        {
            fields_ = std::make_unique<Fields>(fields);
            return *this;
        }
        Box& operator=(const std::optional<Fields>& fields)
        {
            fields_ = fields ? std::make_unique<Fields>(*fields) : nullptr;
            return *this;
        }

        explicit operator bool() const { return fields_ != nullptr; }
        Fields* operator->() const { return fields_.get(); }
        Fields& operator*() const { return *fields_; }
        Fields& make()
        {
            if (!fields_)
                fields_ = std::make_unique<Fields>();
            return *fields_;
        }

    private:
        std::unique_ptr<Fields> fields_;
    };

    // What only a cloud file has, absent on every local one. A service's own
    // item is kept apart, so that a record of one service holds no room for
    // another's.
    struct CloudFields {
        Box<DriveFile> googleDriveFile;
        std::optional<QString> googleDriveThumbnailLink;
        Box<DropboxFileMetadata> dropBoxFile;
        QString fileId;
        QString folderIdForBoxCloud;
        // Put back by an undo whose answer named another file: fileId or
        // dropBoxFile's revision is no longer this file's.
        bool putBackAsAnother = false;
    };

    // What only a photo-library item, a package or a typed record has.
    struct RareFields {
        // Meant for the digests of a package's members; builders set it
        // empty and nothing adds to it (a package's digest lives in md5).
        std::optional<QStringList> arrForSubPathMd5;
        std::optional<QString> libraryPath;
        std::shared_ptr<PhotosNode> photosInfo;
        std::optional<QString> fileType;
        // A local picture's, read the first time something shows it.
        std::shared_ptr<ExifInfo> exifInfo;
    };
    // The cloud fields read like a box of their own (present once made), but
    // share the one pointer with the rare fields, so that a record lacking
    // both costs a single pointer; a record having one of them holds no room
    // for the other.
    class CloudFieldsBox {
    public:
        explicit operator bool() const { return extra_ && extra_->cloud; }
        CloudFields* operator->() const { return extra_ ? extra_->cloud.operator->() : nullptr; }
        CloudFields& operator*() const { return *extra_->cloud; }
        CloudFields& make() { return extra_.make().cloud.make(); }

    private:
        friend class FileInfoNode;
        struct Extra {
            Box<CloudFields> cloud;
            Box<RareFields> rare;
        };
        Box<Extra> extra_;
    };
    CloudFieldsBox cloud;
    // The room the pointer of the cloud and rare fields leads to, once either
    // is made (for estimates of what a record holds).
    static constexpr std::size_t fieldBoxesBytes = sizeof(CloudFieldsBox::Extra);
    bool hasFieldBoxes() const { return bool(cloud.extra_); }
    bool hasRareFields() const { return rare() != nullptr; }

    const std::optional<QStringList>& arrForSubPathMd5() const;
    // An empty list costs no fields.
    void setArrForSubPathMd5(const std::optional<QStringList>& list);
    const std::optional<QString>& libraryPath() const { return rare() ? rare()->libraryPath : noText(); }
    void setLibraryPath(const std::optional<QString>& path) { makeRare().libraryPath = path; }
    const std::shared_ptr<PhotosNode>& photosInfo() const;
    void setPhotosInfo(std::shared_ptr<PhotosNode> info) { makeRare().photosInfo = std::move(info); }
    const std::optional<QString>& fileType() const { return rare() ? rare()->fileType : noText(); }
    void setFileType(const std::optional<QString>& type) { makeRare().fileType = type; }
    const std::shared_ptr<ExifInfo>& exifInfo() const;
    void setExifInfo(std::shared_ptr<ExifInfo> exif) { makeRare().exifInfo = std::move(exif); }
    QString fileExtension;
    QString folderPath;
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
    // The cloud fields, made on first use.
    CloudFields& cloudFields() { return cloud.make(); }
    // The file's URL, made when asked for rather than kept for every record.
    QUrl filePathUrl() const { return filePath ? QUrl::fromLocalFile(*filePath) : QUrl(); }

private:
    static const std::optional<QString>& noText();
    const RareFields* rare() const { return cloud.extra_ ? cloud.extra_->rare.operator->() : nullptr; }
    RareFields& makeRare() { return cloud.extra_.make().rare.make(); }
};

using FileInfoNodePtr = std::shared_ptr<FileInfoNode>;
