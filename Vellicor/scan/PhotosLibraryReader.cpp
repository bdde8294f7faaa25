#include "scan/PhotosLibraryReader.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "core/PhotosNode.h"
#include "scan/LocalFileRecordBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <array>
#include <optional>

#include <sqlite3.h>

namespace {

constexpr std::array<const char*, 3> companionSuffixes = { "-wal", "-shm", ".lock" };

class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql)
        : ok_(sqlite3_prepare_v2(db, sql.constData(), -1, &stmt_, nullptr) == SQLITE_OK)
    {
        if (!ok_)
            Log::print("Photo library query refused:", QString::fromUtf8(sqlite3_errmsg(db)));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return ok_ && stmt_; }
    bool step() { return ok() && sqlite3_step(stmt_) == SQLITE_ROW; }
    sqlite3_stmt* get() const { return stmt_; }

    QString text(int column) const
    {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(stmt_, column)) : QString();
    }
    std::optional<qint64> integer(int column) const
    {
        if (sqlite3_column_type(stmt_, column) != SQLITE_INTEGER)
            return std::nullopt;
        return sqlite3_column_int64(stmt_, column);
    }
    quint64 size(int column) const { return static_cast<quint64>(std::max<qint64>(integer(column).value_or(0), 0)); }

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_;
};

// A connection to the copy, closed when it goes out of scope. SQLite itself
// is never shut down: other connections (the digest cache) may be open.
class Connection {
public:
    explicit Connection(const QString& path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            Log::print("Photo library database cannot be opened:", path, "-",
                QString::fromUtf8(db_ ? sqlite3_errmsg(db_) : "out of memory"));
            sqlite3_close(db_);
            db_ = nullptr;
            return;
        }
        // The file comes from outside the program: its schema may run no
        // function of ours.
        sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

PhotosSchema schemaOf(sqlite3* db)
{
    QSet<QString> tables;
    Statement names(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
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
std::optional<qint64> albumKey(sqlite3* db, PhotosSchema schema, const QString& albumName, bool english)
{
    const bool masters = schema == PhotosSchema::masters;
    Statement albums(db,
        masters ? QByteArray("SELECT modelId, name FROM RKALBUM WHERE isInTrash = 0")
                : QByteArray("SELECT Z_PK, ZTITLE FROM ZGENERICALBUM WHERE ZTRASHEDSTATE = 0"));
    while (albums.step()) {
        const auto key = albums.integer(0);
        if (!key || sqlite3_column_type(albums.get(), 1) == SQLITE_NULL)
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

Entities entitiesOf(sqlite3* db)
{
    Entities entities;
    Statement rows(db, "SELECT Z_ENT, Z_NAME FROM Z_PRIMARYKEY WHERE Z_NAME IN ('Album', 'GenericAsset')");
    while (rows.step()) {
        (rows.text(1) == QLatin1String("Album") ? entities.album : entities.asset) = rows.integer(0);
    }
    return entities;
}

// The asset query; absent when the album's members cannot be named.
std::optional<QByteArray> assetQuery(sqlite3* db, PhotosSchema schema, bool excludeAlbum)
{
    if (schema == PhotosSchema::masters) {
        return QByteArray("SELECT rk.fileSize, rv.modelId, rk.uuid, rv.uuid, rv.fileName, rk.imagePath"
                          " FROM RKMASTER rk JOIN RKVERSION rv ON rk.uuid = rv.masterUuid"
                          " WHERE rk.isInTrash <> 1 AND rv.isInTrash <> 1 AND rv.burstUuid IS NULL"
                          " AND NOT EXISTS (SELECT 1 FROM RKALBUMVERSION rav"
                          " WHERE rav.versionId = rv.modelId AND rav.albumId = ?1)");
    }
    QByteArray sql = "SELECT zb.ZORIGINALFILESIZE, za.ZUUID, zb.ZORIGINALFILENAME, za.ZDIRECTORY, za.ZFILENAME FROM ";
    sql += schema == PhotosSchema::assets ? "ZASSET" : "ZGENERICASSET";
    sql += " za INNER JOIN ZADDITIONALASSETATTRIBUTES zb ON za.Z_PK = zb.ZASSET"
           " WHERE za.ZTRASHEDSTATE = 0 AND zb.ZALLOWEDFORANALYSIS = 1";
    if (!excludeAlbum)
        return sql;
    // Table and column names cannot be bound; they are formed only from the
    // integers the database lists.
    const Entities entities = entitiesOf(db);
    const std::optional<qint64> asset = schema == PhotosSchema::assets ? std::optional<qint64>(3) : entities.asset;
    if (!entities.album || !asset) {
        Log::print("Photo library lists no album or asset entity; nothing is read");
        return std::nullopt;
    }
    const QByteArray album = QByteArray::number(*entities.album);
    sql += " AND zb.ZASSET NOT IN (SELECT Z_" + QByteArray::number(*asset) + "ASSETS FROM Z_" + album
        + "ASSETS WHERE Z_" + album + "ALBUMS = ?1)";
    return sql;
}

// path inside the library, or empty when the database points elsewhere.
QString pathInside(const QString& libraryPath, const QString& relative)
{
    const QString root = QDir::cleanPath(libraryPath);
    const QString path = QDir::cleanPath(root + QLatin1Char('/') + relative);
    return path.startsWith(root + QLatin1Char('/')) ? path : QString();
}

std::vector<PhotosAsset> readAssets(
    const QString& databaseCopy, const QString& libraryPath, const QString& albumName, bool english)
{
    std::vector<PhotosAsset> assets;
    Connection connection(databaseCopy);
    sqlite3* db = connection.get();
    if (!db)
        return assets;
    const PhotosSchema schema = schemaOf(db);
    if (schema == PhotosSchema::unknown) {
        Log::print("Photo library database of an unknown layout:", libraryPath);
        return assets;
    }
    const std::optional<qint64> key = albumKey(db, schema, albumName, english);
    const auto sql = assetQuery(db, schema, key.has_value());
    if (!sql)
        return assets;
    Statement rows(db, *sql);
    if (!rows.ok())
        return assets;
    sqlite3_bind_int64(rows.get(), 1, key.value_or(-1));
    qint64 withoutPath = 0;
    while (rows.step()) {
        PhotosAsset asset;
        asset.fileSize = rows.size(0);
        if (schema == PhotosSchema::masters) {
            asset.modelId = rows.text(1);
            asset.uuid = rows.text(2);
            asset.uuidRKVersion = rows.text(3);
            asset.originalFileName = rows.text(4);
            const QString imagePath = rows.text(5);
            if (!imagePath.isEmpty())
                asset.imagePath = pathInside(libraryPath, QStringLiteral("Masters/") + imagePath);
        } else {
            asset.uuid = rows.text(1);
            asset.uuidRKVersion = asset.uuid;
            asset.originalFileName = rows.text(2);
            const QString directory = rows.text(3);
            const QString name = rows.text(4);
            if (!directory.isEmpty() && !name.isEmpty())
                asset.imagePath = pathInside(libraryPath, QStringLiteral("originals/%1/%2").arg(directory, name));
        }
        if (asset.imagePath.isEmpty()) {
            ++withoutPath;
            continue;
        }
        assets.push_back(std::move(asset));
    }
    if (withoutPath > 0)
        Log::print("Photo library assets without a usable path skipped:", withoutPath, libraryPath);
    return assets;
}

} // namespace

PhotosLibraryReader::PhotosLibraryReader(QString cacheFolder, QString albumName, bool englishInterface)
    : cacheFolder_(std::move(cacheFolder))
    , albumName_(std::move(albumName))
    , englishInterface_(englishInterface)
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

std::vector<PhotosAsset> PhotosLibraryReader::readPhotosLibraryAssets(const QString& libraryPath) const
{
    const QString database = photosLibraryDatabasePath(libraryPath);
    if (!QFileInfo(database).isFile()) {
        Log::print("Photo library without a database:", libraryPath);
        return {};
    }
    // A folder of our own, readable only by the user and removed with
    // everything in it when the read is over.
    AppPaths::ensureFolder(cacheFolder_);
    QTemporaryDir folder(cacheFolder_ + QStringLiteral("/photos-library-XXXXXX"));
    if (!folder.isValid()) {
        Log::print("Photo library database cannot be copied: no folder under", cacheFolder_);
        return {};
    }
    const QString copy = folder.filePath(QFileInfo(database).fileName());
    if (!QFile::copy(database, copy)) {
        Log::print("Photo library database cannot be copied:", database);
        return {};
    }
    for (const char* suffix : companionSuffixes) {
        const QString source = database + QLatin1String(suffix);
        if (QFileInfo::exists(source) && !QFile::copy(source, copy + QLatin1String(suffix)))
            Log::print("Photo library database companion cannot be copied:", source);
    }
    return readAssets(copy, libraryPath, albumName_, englishInterface_);
}

void scanPhotosLibrary(const QString& libraryPath, const ScanRequest& request, ScanCounters& counters,
    const std::atomic<bool>& abort, std::vector<FileInfoNodePtr>& records, bool& isPhotosScanned)
{
    if (isPhotosScanned || pathExtensionOf(libraryPath) != QLatin1String("photoslibrary"))
        return;
    const PhotosLibraryReader reader(AppPaths::cacheFolder(), markedPhotosAlbumName(), isEnglishLanguage);
    const std::vector<PhotosAsset> assets = reader.readPhotosLibraryAssets(libraryPath);
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
        counters.countScanned += 1;
        counters.totSizeScanned += record->fileSize;
        records.push_back(std::move(record));
    }
}
