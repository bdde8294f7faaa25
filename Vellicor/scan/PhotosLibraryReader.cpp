#include "scan/PhotosLibraryReader.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "core/FileUtilities.h"
#include "core/PhotosNode.h"
#include "scan/LocalFileRecordBuilder.h"
#include "scan/PrivateDatabaseCopy.h"
#include "scan/UntrustedDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include <sqlite3.h>

namespace {

const QStringList companionSuffixes = { QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral(".lock") };

quint64 sizeColumn(const SqliteStatement& rows, int column)
{
    return static_cast<quint64>(std::max<qint64>(rows.integer(column).value_or(0), 0));
}

bool isRaised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

PhotosSchema schemaOf(const UntrustedDatabase& db)
{
    QSet<QString> tables;
    SqliteStatement names(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
    while (names.step())
        tables.insert(names.text(0).toUpper());
    if (tables.contains(QStringLiteral("ZADDITIONALASSETATTRIBUTES"))) {
        if (tables.contains(QStringLiteral("ZASSET")))
            return PhotosSchema::assets;
        if (tables.contains(QStringLiteral("ZGENERICASSET")))
            return PhotosSchema::genericAssets;
    }
    if (tables.contains(QStringLiteral("RKMASTER")) && tables.contains(QStringLiteral("RKVERSION")))
        return PhotosSchema::masters;
    return PhotosSchema::unknown;
}

bool equalIgnoringAsciiCase(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    const auto lower = [](QChar c) { return c.unicode() < 128 ? c.toLower() : c; };
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The key of the first album (not in the trash) whose title is albumName.
std::optional<qint64> albumKey(const UntrustedDatabase& db, PhotosSchema schema, const QString& albumName, bool english)
{
    const bool masters = schema == PhotosSchema::masters;
    SqliteStatement albums(db,
        masters ? QByteArray("SELECT modelId, name FROM RKALBUM WHERE isInTrash = 0")
                : QByteArray("SELECT Z_PK, ZTITLE FROM ZGENERICALBUM WHERE ZTRASHEDSTATE = 0"));
    while (albums.step()) {
        const auto key = albums.integer(0);
        if (!key || albums.isNull(1))
            continue;
        const QString title = albums.text(1);
        const bool same = !english ? QString::localeAwareCompare(title, albumName) == 0
            : masters              ? equalIgnoringAsciiCase(title, albumName)
                                   : title == albumName;
        if (same)
            return key;
    }
    return std::nullopt;
}

// The join table's name parts, from the entity numbers the database lists.
struct Entities {
    std::optional<qint64> album;
    std::optional<qint64> asset;
};

Entities entitiesOf(const UntrustedDatabase& db)
{
    Entities entities;
    SqliteStatement rows(db, "SELECT Z_ENT, Z_NAME FROM Z_PRIMARYKEY WHERE Z_NAME IN ('Album', 'GenericAsset')");
    while (rows.step()) {
        (rows.text(1) == QLatin1String("Album") ? entities.album : entities.asset) = rows.integer(0);
    }
    return entities;
}

// The statements that read a layout's assets: one walks the table that holds
// one row per asset, the other looks up, by key, the one row of the other
// table that completes it. No table is joined to another in the database, so
// however a crafted database repeats its keys, no row is met more than once.
struct AssetQueries {
    // Walk: new layouts: size, original name, asset key; older: version
    // key, version uuid, file name, master uuid.
    QByteArray walk;
    // Look-up by the walk's last column: new layouts: uuid, directory, file
    // name; older: size, master uuid, image path.
    QByteArray lookUp;
    int keyColumn = 0;
};

// The asset queries; absent (with the reason) when the album's members
// cannot be named.
std::optional<AssetQueries> assetQueries(
    const UntrustedDatabase& database, PhotosSchema schema, bool excludeAlbum, QString& refusal)
{
    if (schema == PhotosSchema::masters) {
        return AssetQueries { "SELECT rv.modelId, rv.uuid, rv.fileName, rv.masterUuid FROM RKVERSION rv"
                              " WHERE rv.isInTrash <> 1 AND rv.burstUuid IS NULL"
                              " AND NOT EXISTS (SELECT 1 FROM RKALBUMVERSION rav"
                              " WHERE rav.versionId = rv.modelId AND rav.albumId = ?1)",
            "SELECT fileSize, uuid, imagePath FROM RKMASTER WHERE uuid = ?1 AND isInTrash <> 1 LIMIT 1", 3 };
    }
    AssetQueries queries;
    queries.walk = "SELECT ZORIGINALFILESIZE, ZORIGINALFILENAME, ZASSET FROM ZADDITIONALASSETATTRIBUTES"
                   " WHERE ZALLOWEDFORANALYSIS = 1";
    queries.lookUp = QByteArray("SELECT ZUUID, ZDIRECTORY, ZFILENAME FROM ")
        + (schema == PhotosSchema::assets ? "ZASSET" : "ZGENERICASSET")
        + " WHERE Z_PK = ?1 AND ZTRASHEDSTATE = 0 LIMIT 1";
    queries.keyColumn = 2;
    if (!excludeAlbum)
        return queries;
    refusal = database.whyNotTables({ QStringLiteral("Z_PRIMARYKEY") });
    if (!refusal.isEmpty())
        return std::nullopt;
    // Table and column names cannot be bound; they are formed only from the
    // integers the database lists.
    const Entities entities = entitiesOf(database);
    const std::optional<qint64> asset = schema == PhotosSchema::assets ? std::optional<qint64>(3) : entities.asset;
    if (!entities.album || !asset) {
        refusal = QStringLiteral("it lists no album or asset entity");
        return std::nullopt;
    }
    const QByteArray album = QByteArray::number(*entities.album);
    refusal = database.whyNotTables({ QString::fromLatin1("Z_" + album + "ASSETS") });
    if (!refusal.isEmpty())
        return std::nullopt;
    queries.walk += " AND ZASSET NOT IN (SELECT Z_" + QByteArray::number(*asset) + "ASSETS FROM Z_" + album
        + "ASSETS WHERE Z_" + album + "ALBUMS = ?1)";
    return queries;
}

// path inside the library, or empty when the database points elsewhere.
QString pathInside(const QString& libraryPath, const QString& relative)
{
    const QString root = QDir::cleanPath(libraryPath);
    const QString path = QDir::cleanPath(root + QLatin1Char('/') + relative);
    return path.startsWith(root + QLatin1Char('/')) ? path : QString();
}

// The tables every read of a layout queries, besides the album table.
QStringList tablesRead(PhotosSchema schema)
{
    switch (schema) {
    case PhotosSchema::masters:
        return { QStringLiteral("RKMASTER"), QStringLiteral("RKVERSION"), QStringLiteral("RKALBUMVERSION") };
    case PhotosSchema::assets:
        return { QStringLiteral("ZASSET"), QStringLiteral("ZADDITIONALASSETATTRIBUTES") };
    case PhotosSchema::genericAssets:
        return { QStringLiteral("ZGENERICASSET"), QStringLiteral("ZADDITIONALASSETATTRIBUTES") };
    case PhotosSchema::unknown:
        break;
    }
    return {};
}

std::vector<PhotosAsset> readAssets(const QString& databaseCopy, const QString& libraryPath, const QString& albumName,
    bool english, const std::atomic<bool>* stop, const DatabaseBounds& bounds, QString& failure)
{
    const auto skip = [&](const QString& reason) {
        Log::print("Photo library skipped:", libraryPath, "-", reason);
        if (!isRaised(stop))
            failure = reason;
        return std::vector<PhotosAsset>();
    };
    const UntrustedDatabase database(databaseCopy, UntrustedDatabase::Access::readOnly, stop, bounds);
    if (!database.isOpen())
        return skip(QStringLiteral("its database cannot be opened: ") + database.openFailure());
    const PhotosSchema schema = schemaOf(database);
    if (database.interrupted())
        return skip(database.interruption());
    if (schema == PhotosSchema::unknown)
        return skip(QStringLiteral("its database is of an unknown layout"));
    if (const QString refusal = database.whyNotTables(tablesRead(schema)); !refusal.isEmpty())
        return skip(refusal);
    const QString albumTable
        = schema == PhotosSchema::masters ? QStringLiteral("RKALBUM") : QStringLiteral("ZGENERICALBUM");
    std::optional<qint64> key;
    switch (database.tableKind(albumTable)) {
    case UntrustedDatabase::TableKind::other:
    case UntrustedDatabase::TableKind::computed:
        return skip(database.whyNotTables({ albumTable }));
    case UntrustedDatabase::TableKind::table:
        key = albumKey(database, schema, albumName, english);
        break;
    case UntrustedDatabase::TableKind::missing:
        break;
    }
    QString refusal;
    const auto queries
        = database.interrupted() ? std::nullopt : assetQueries(database, schema, key.has_value(), refusal);
    if (!queries)
        return skip(database.interrupted() ? database.interruption() : refusal);
    SqliteStatement rows(database, queries->walk);
    SqliteStatement other(database, queries->lookUp);
    if (!rows.ok() || !other.ok())
        return skip(QStringLiteral("its database refused the query"));
    sqlite3_bind_int64(rows.get(), 1, key.value_or(-1));
    std::vector<PhotosAsset> assets;
    qint64 withoutPath = 0;
    while (!isRaised(stop) && rows.step()) {
        if (!other.lookUp(rows, queries->keyColumn))
            continue;
        PhotosAsset asset;
        if (schema == PhotosSchema::masters) {
            asset.modelId = rows.text(0);
            asset.uuidRKVersion = rows.text(1);
            asset.originalFileName = rows.text(2);
            asset.fileSize = sizeColumn(other, 0);
            asset.uuid = other.text(1);
            const QString imagePath = other.text(2);
            if (!imagePath.isEmpty())
                asset.imagePath = pathInside(libraryPath, QStringLiteral("Masters/") + imagePath);
        } else {
            asset.fileSize = sizeColumn(rows, 0);
            asset.originalFileName = rows.text(1);
            asset.uuid = other.text(0);
            asset.uuidRKVersion = asset.uuid;
            const QString directory = other.text(1);
            const QString name = other.text(2);
            if (!directory.isEmpty() && !name.isEmpty())
                asset.imagePath = pathInside(libraryPath, QStringLiteral("originals/%1/%2").arg(directory, name));
        }
        if (asset.imagePath.isEmpty()) {
            ++withoutPath;
            continue;
        }
        assets.push_back(std::move(asset));
    }
    if (isRaised(stop) || database.interrupted())
        return skip(isRaised(stop) ? QStringLiteral("stopped") : database.interruption());
    if (withoutPath > 0)
        Log::print("Photo library assets without a usable path skipped:", withoutPath, libraryPath);
    return assets;
}

} // namespace

PhotosLibraryReader::PhotosLibraryReader(
    QString cacheFolder, QString albumName, bool englishInterface, PhotosLibraryLimits limits)
    : cacheFolder_(std::move(cacheFolder))
    , albumName_(std::move(albumName))
    , englishInterface_(englishInterface)
    , limits_(limits)
{
}

QString PhotosLibraryReader::photosLibraryDatabasePath(const QString& libraryPath)
{
    const QDir library(libraryPath);
    for (const char* candidate : { "database/apdb/Library.apdb", "database/Library.apdb", "database/photos.sqlite",
             "database/apdb/photos.db" }) {
        const QString path = library.filePath(QString::fromLatin1(candidate));
        if (QFileInfo::exists(path))
            return path;
    }
    return library.filePath(QStringLiteral("database/photos.db"));
}

std::vector<PhotosAsset> PhotosLibraryReader::readPhotosLibraryAssets(
    const QString& libraryPath, const std::atomic<bool>* stop, QString* failure) const
{
    QString reason;
    std::vector<PhotosAsset> assets = readAssetsOrSayWhy(libraryPath, stop, reason);
    if (failure)
        *failure = reason;
    return assets;
}

std::vector<PhotosAsset> PhotosLibraryReader::readAssetsOrSayWhy(
    const QString& libraryPath, const std::atomic<bool>* stop, QString& failure) const
{
    const QString database = photosLibraryDatabasePath(libraryPath);
    if (!QFileInfo(database).isFile()) {
        Log::print("Photo library without a database:", libraryPath);
        failure = QStringLiteral("it has no database");
        return {};
    }
    // The library may come from anywhere (an unpacked archive, a stick): a
    // companion that is not a plain file, or a copy beyond the bound, skips
    // the whole library.
    const PrivateDatabaseCopy copy(database, companionSuffixes, cacheFolder_,
        { limits_.copyBytes, limits_.copyTime }, QStringLiteral("a photo library"), stop);
    if (copy.path().isEmpty()) {
        Log::print("Photo library skipped:", libraryPath, "- its database cannot be copied:", copy.failure());
        if (!isRaised(stop))
            failure = QStringLiteral("its database cannot be copied: ") + copy.failure();
        return {};
    }
    const DatabaseBounds bounds { limits_.queryTime, limits_.rows, limits_.bytes };
    return readAssets(copy.path(), libraryPath, albumName_, englishInterface_, stop, bounds, failure);
}

void scanPhotosLibrary(const QString& libraryPath, const ScanRequest& request, const std::atomic<bool>& abort,
    bool& isPhotosScanned, const PhotosLibrarySink& sink)
{
    if (isPhotosScanned || pathExtensionOf(libraryPath) != QLatin1String("photoslibrary"))
        return;
    if (!request.readPhotosLibraries) {
        Log::print("Photo library passed over: reading photo libraries is switched off:", libraryPath);
        return;
    }
    if (sink.reading)
        sink.reading();
    const PhotosLibraryReader reader(AppPaths::cacheFolder(), markedPhotosAlbumName(), isEnglishLanguage);
    QString failure;
    const std::vector<PhotosAsset> assets = reader.readPhotosLibraryAssets(libraryPath, &abort, &failure);
    if (!failure.isEmpty() && sink.leftOut)
        sink.leftOut(failure);
    // A library counts as read once it yields assets, even when the filters
    // then refuse them all.
    isPhotosScanned = !assets.empty();
    for (const PhotosAsset& asset : assets) {
        if (abort)
            break;
        auto record = std::make_shared<FileInfoNode>();
        if (!makeLocalFileInfoNode(*record, asset.imagePath, asset.originalFileName, request.filters))
            continue;
        record->isPhotosNode = true;
        record->setLibraryPath(libraryPath);
        record->setPhotosInfo(std::make_shared<PhotosNode>());
        record->photosInfo()->initWithPhotosOriginalPath(asset.imagePath, QString(), asset.originalFileName,
            asset.fileSize, asset.uuid, asset.modelId, asset.uuidRKVersion, libraryPath);
        if (sink.take)
            sink.take(std::move(record));
    }
}
