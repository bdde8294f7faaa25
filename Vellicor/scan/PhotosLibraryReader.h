#pragma once

#include "core/FileInfoNode.h"
#include "scan/PrivateDatabaseCopy.h"
#include "scan/ScanRequest.h"
#include "scan/UntrustedDatabase.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

// One asset of a photo library as its database describes it. Texts the
// database leaves empty (NULL) are empty here.
struct PhotosAsset {
    QString modelId;
    QString uuid;
    QString imagePath;
    quint64 fileSize = 0;
    QString originalFileName;
    QString uuidRKVersion;
};

// The layouts a library database comes in, known by the tables it holds.
enum class PhotosSchema {
    unknown,
    // Assets in ZASSET, album membership in Z_<album entity>ASSETS.
    assets,
    // Assets in ZGENERICASSET, the membership column named by the asset entity.
    genericAssets,
    // Masters and versions (RKMASTER, RKVERSION), albums in RKALBUM.
    masters,
};

// Bounds of one library's read: the bytes its database and companions may
// copy in all, the time its queries may take in all, the time its copy may
// take in all, and the rows and bytes of text its queries may yield in all.
struct PhotosLibraryLimits {
    quint64 copyBytes = PrivateDatabaseCopy::Limits {}.bytes;
    std::chrono::milliseconds queryTime = DatabaseBounds {}.time;
    std::chrono::milliseconds copyTime = PrivateDatabaseCopy::Limits {}.time;
    qint64 rows = DatabaseBounds {}.rows;
    qint64 bytes = DatabaseBounds {}.bytes;
};

// Reads the assets of a photo library package. The library itself is never
// opened: its database and companion files are copied into a private folder
// under cacheFolder (a PrivateDatabaseCopy), read there read-only and removed
// afterwards. Assets in the trash, assets not allowed for analysis, burst
// members (older libraries) and the members of the album named albumName
// (where earlier clean-ups put marked items) are left out. Each entry of the
// table that lists one row per asset is completed by the first row of the
// other table that has its key, so no asset is read twice however the keys
// repeat. The library is untrusted: only regular files
// are copied, within the limits, and the copy is read as an UntrustedDatabase
// within its rows, bytes and time; a library that breaks a rule or passes a
// bound is skipped with its reason in the log. Runs on the scan's worker
// thread; keeps no state between reads.
class PhotosLibraryReader {
public:
    // englishInterface: the album's title is matched exactly (older
    // libraries: ignoring ASCII letter case); otherwise by the locale's
    // comparison.
    PhotosLibraryReader(QString cacheFolder, QString albumName, bool englishInterface, PhotosLibraryLimits limits = {});

    // The library's database file: an ".apdb" one when present, else the
    // newer "photos.sqlite", else the older "photos.db".
    static QString photosLibraryDatabasePath(const QString& libraryPath);

    // The library's assets in the database's order; empty when nothing could
    // be read (each reason is logged, and given in failure) and when stop was
    // raised (the copy and the queries end at their next step; failure stays
    // empty).
    std::vector<PhotosAsset> readPhotosLibraryAssets(
        const QString& libraryPath, const std::atomic<bool>* stop = nullptr, QString* failure = nullptr) const;

private:
    std::vector<PhotosAsset> readAssetsOrSayWhy(
        const QString& libraryPath, const std::atomic<bool>* stop, QString& failure) const;

    QString cacheFolder_;
    QString albumName_;
    bool englishInterface_;
    PhotosLibraryLimits limits_;
};

// What the walk does with a library it reads, on the walk's thread.
struct PhotosLibrarySink {
    // The library is about to be read (its database copied and queried).
    std::function<void()> reading;
    // One accepted item, as a photo-library record; the walk decides whether
    // it keeps and counts it.
    std::function<void(FileInfoNodePtr record)> take;
    // The library could not be read and is left out, for the reason given.
    std::function<void(const QString& reason)> leftOut;
};

// The walk's step for a library package: a "photoslibrary" package is read
// when the request reads photo libraries and no library has yielded assets in
// this walk yet (isPhotosScanned); its accepted items go to sink.take in
// the database's order. Other library kinds are passed over.
void scanPhotosLibrary(const QString& libraryPath, const ScanRequest& request, const std::atomic<bool>& abort,
    bool& isPhotosScanned, const PhotosLibrarySink& sink);
