#include "scan/PhotosLibraryReader.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"
#include "core/FileUtilities.h"
#include "core/PhotosNode.h"
#include "scan/LocalFileRecordBuilder.h"
#include "scan/UntrustedDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr std::array<const char*, 3> companionSuffixes = { "-wal", "-shm", ".lock" };

// Bytes of a file's data copied per step; Stop and the copy's time bound are
// looked at between steps.
constexpr qint64 copyBlock = 1024 * 1024;
// Room the cache's disk keeps after a copy.
constexpr quint64 spareRoom = 256ull * 1024 * 1024;

quint64 sizeColumn(const SqliteStatement& rows, int column)
{
    return static_cast<quint64>(std::max<qint64>(rows.integer(column).value_or(0), 0));
}

bool isRaised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

bool isAllZero(const char* bytes, qint64 count)
{
    return std::all_of(bytes, bytes + count, [](char byte) { return byte == 0; });
}

// Why the call on path just failed, from errno.
QString failureAt(const QString& path)
{
    return QLatin1Char('"') + path + QStringLiteral("\": ") + errnoText(errno);
}

// What one library's copy may still take: bytes left and the moment it must
// be over, shared by the database and its companions.
struct CopyAllowance {
    quint64 bytes = 0;
    std::chrono::steady_clock::time_point deadline;
    std::chrono::milliseconds time { 0 };
    const std::atomic<bool>* stop = nullptr;
};

// The next run of data in fd at or after offset, as [first, second) within
// size; none when only a hole is left. A file system that cannot tell its
// holes shows the whole rest as data.
std::optional<std::pair<qint64, qint64>> nextDataRun(int fd, qint64 offset, qint64 size)
{
    if (offset >= size)
        return std::nullopt;
    const off_t start = ::lseek(fd, offset, SEEK_DATA);
    if (start < 0)
        return errno == ENXIO ? std::nullopt : std::optional(std::pair<qint64, qint64>(offset, size));
    if (start >= size)
        return std::nullopt;
    const off_t end = ::lseek(fd, start, SEEK_HOLE);
    return std::pair<qint64, qint64>(start, end < 0 || end > size ? size : qint64(end));
}

// Copies a file of a library into target (made new, readable only by the
// user) when it is a regular file reached without following a link: a FIFO
// or a device never blocks or feeds the copy. Only the file's data is read:
// its holes, and runs of zeros in its data, stay holes, so a sparse file
// takes no more room or time than its data does. The allowance bounds the
// bytes (the file's length, holes included) and the time a library's copy may
// take. Empty when copied; otherwise the reason (a partial copy is removed).
QString copyLibraryFile(const QString& source, const QString& target, CopyAllowance& allowance)
{
    const OpenedFile in = openRegularFile(source, LinkFollowing::refuse);
    if (!in.isOpen())
        return in.errorText;
    if (in.size > allowance.bytes)
        return QStringLiteral("\"%1\" is larger than the %2 bytes a photo library may copy")
            .arg(source)
            .arg(allowance.bytes);
    struct stat status { };
    struct statvfs room { };
    const QByteArray folder = QFile::encodeName(QFileInfo(target).path());
    if (::fstat(in.fd.get(), &status) == 0 && ::statvfs(folder.constData(), &room) == 0) {
        const quint64 needed = std::min<quint64>(in.size, quint64(status.st_blocks) * 512) + spareRoom;
        if (quint64(room.f_bavail) * room.f_frsize < needed)
            return QStringLiteral("no room for a copy of \"%1\" in the cache").arg(source);
    }
    allowance.bytes -= in.size;
    const QByteArray targetName = QFile::encodeName(target);
    const FileDescriptor out(
        ::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.isOpen())
        return failureAt(target);
    const auto fail = [&](const QString& reason) {
        ::unlink(targetName.constData());
        return reason;
    };
    QByteArray block(copyBlock, Qt::Uninitialized);
    // The size read at the start bounds the copy, however the file grows; a
    // file that shrinks meanwhile ends where its data ended.
    qint64 length = qint64(in.size);
    for (auto run = nextDataRun(in.fd.get(), 0, length); run; run = nextDataRun(in.fd.get(), run->second, length)) {
        for (qint64 at = run->first; at < run->second;) {
            if (isRaised(allowance.stop))
                return fail(QStringLiteral("stopped"));
            if (std::chrono::steady_clock::now() >= allowance.deadline)
                return fail(QStringLiteral("copying \"%1\" took longer than the %2 seconds a photo library may take")
                                .arg(source)
                                .arg(allowance.time.count() / 1000.0));
            const qint64 got = ::pread(in.fd.get(), block.data(), std::min<qint64>(copyBlock, run->second - at), at);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return fail(failureAt(source));
            if (got == 0) {
                length = at;
                run->second = at;
                break;
            }
            if (!isAllZero(block.constData(), got)) {
                for (qint64 written = 0; written < got;) {
                    const ssize_t now
                        = ::pwrite(out.get(), block.constData() + written, size_t(got - written), at + written);
                    if (now < 0 && errno == EINTR)
                        continue;
                    if (now <= 0)
                        return fail(failureAt(target));
                    written += now;
                }
            }
            at += got;
        }
    }
    // Holes and zeros were skipped, not written: the copy gets its length.
    if (::ftruncate(out.get(), length) != 0)
        return fail(failureAt(target));
    return QString();
}

PhotosSchema schemaOf(sqlite3* db)
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
std::optional<qint64> albumKey(sqlite3* db, PhotosSchema schema, const QString& albumName, bool english)
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

Entities entitiesOf(sqlite3* db)
{
    Entities entities;
    SqliteStatement rows(db, "SELECT Z_ENT, Z_NAME FROM Z_PRIMARYKEY WHERE Z_NAME IN ('Album', 'GenericAsset')");
    while (rows.step()) {
        (rows.text(1) == QLatin1String("Album") ? entities.album : entities.asset) = rows.integer(0);
    }
    return entities;
}

// The asset query; absent (with the reason) when the album's members cannot
// be named.
std::optional<QByteArray> assetQuery(
    const UntrustedDatabase& database, PhotosSchema schema, bool excludeAlbum, QString& refusal)
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
    refusal = database.whyNotTables({ QStringLiteral("Z_PRIMARYKEY") });
    if (!refusal.isEmpty())
        return std::nullopt;
    // Table and column names cannot be bound; they are formed only from the
    // integers the database lists.
    const Entities entities = entitiesOf(database.get());
    const std::optional<qint64> asset = schema == PhotosSchema::assets ? std::optional<qint64>(3) : entities.asset;
    if (!entities.album || !asset) {
        refusal = QStringLiteral("it lists no album or asset entity");
        return std::nullopt;
    }
    const QByteArray album = QByteArray::number(*entities.album);
    refusal = database.whyNotTables({ QString::fromLatin1("Z_" + album + "ASSETS") });
    if (!refusal.isEmpty())
        return std::nullopt;
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
    bool english, const std::atomic<bool>* stop, std::chrono::milliseconds timeLimit)
{
    const auto skip = [&libraryPath](const QString& reason) {
        Log::print("Photo library skipped:", libraryPath, "-", reason);
        return std::vector<PhotosAsset>();
    };
    const UntrustedDatabase database(databaseCopy, UntrustedDatabase::Access::readOnly, stop, timeLimit);
    if (!database.isOpen())
        return skip(QStringLiteral("its database cannot be opened: ") + database.openFailure());
    sqlite3* db = database.get();
    const PhotosSchema schema = schemaOf(db);
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
        return skip(albumTable + QStringLiteral(" is not a plain table"));
    case UntrustedDatabase::TableKind::table:
        key = albumKey(db, schema, albumName, english);
        break;
    case UntrustedDatabase::TableKind::missing:
        break;
    }
    QString refusal;
    const auto sql = database.interrupted() ? std::nullopt : assetQuery(database, schema, key.has_value(), refusal);
    if (!sql)
        return skip(database.interrupted() ? database.interruption() : refusal);
    SqliteStatement rows(db, *sql);
    if (!rows.ok())
        return skip(QStringLiteral("its database refused the query"));
    sqlite3_bind_int64(rows.get(), 1, key.value_or(-1));
    std::vector<PhotosAsset> assets;
    qint64 withoutPath = 0;
    while (!isRaised(stop) && rows.step()) {
        PhotosAsset asset;
        asset.fileSize = sizeColumn(rows, 0);
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
    const QString& libraryPath, const std::atomic<bool>* stop) const
{
    const QString database = photosLibraryDatabasePath(libraryPath);
    if (!QFileInfo(database).isFile()) {
        Log::print("Photo library without a database:", libraryPath);
        return {};
    }
    // A folder of our own, readable only by the user and removed with
    // everything in it when the read is over, in a cache folder no other
    // user can shape.
    if (PrivateFiles::useOwnFolder(cacheFolder_, PrivateFiles::FolderUse::cache)) {
        Log::print("Photo library skipped:", libraryPath, "- the cache folder", cacheFolder_, "is not the user's own");
        return {};
    }
    QTemporaryDir folder(cacheFolder_ + QStringLiteral("/photos-library-XXXXXX"));
    if (!folder.isValid()) {
        Log::print("Photo library database cannot be copied: no folder under", cacheFolder_);
        return {};
    }
    // The library may come from anywhere (an unpacked archive, a stick): a
    // companion that is not a plain file, or a copy beyond the bound, skips
    // the whole library.
    const QString copy = folder.filePath(QFileInfo(database).fileName());
    CopyAllowance allowance;
    allowance.bytes = limits_.copyBytes;
    allowance.time = limits_.copyTime;
    allowance.deadline = std::chrono::steady_clock::now() + limits_.copyTime;
    allowance.stop = stop;
    QString failure = copyLibraryFile(database, copy, allowance);
    for (const char* suffix : companionSuffixes) {
        const QString source = database + QLatin1String(suffix);
        struct stat status { };
        if (failure.isEmpty() && ::lstat(QFile::encodeName(source).constData(), &status) == 0)
            failure = copyLibraryFile(source, copy + QLatin1String(suffix), allowance);
    }
    if (!failure.isEmpty()) {
        Log::print("Photo library skipped:", libraryPath, "- its database cannot be copied:", failure);
        return {};
    }
    return readAssets(copy, libraryPath, albumName_, englishInterface_, stop, limits_.queryTime);
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
    const std::vector<PhotosAsset> assets = reader.readPhotosLibraryAssets(libraryPath, &abort);
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
