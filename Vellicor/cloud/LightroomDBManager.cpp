#include "cloud/LightroomDBManager.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "cloud/CloudConfig.h"
#include "cloud/CloudItemChecks.h"
#include "core/TextFormat.h"
#include "scan/PrivateDatabaseCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>

#include <sqlite3.h>

namespace {

using namespace std::chrono_literals;

// How long one removal may run the catalog's statements.
constexpr std::chrono::milliseconds removalTime = 30s;

// The catalog's tables the listing reads and the removal deletes from.
const QStringList listedTables
    = { QStringLiteral("AgLibraryFile"), QStringLiteral("AgLibraryFolder"), QStringLiteral("AgLibraryRootFolder") };
const QStringList removalTables = { QStringLiteral("Adobe_images"), QStringLiteral("AgLibraryFile") };

// Whether a path's components are all names: no empty one (a leading and a
// trailing slash aside), no "." or "..", no NUL.
bool hasOnlyNames(const QString& path)
{
    QStringList parts = path.split(QLatin1Char('/'));
    if (!parts.isEmpty() && parts.first().isEmpty())
        parts.removeFirst();
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return std::none_of(
        parts.cbegin(), parts.cend(), [](const QString& part) { return cloudNameProblem(part).has_value(); });
}

// The folder a catalog row names, ending in "/", or none when it would lie
// outside its root folder: the root must be absolute and the path below it
// relative, both of names only.
std::optional<QString> confinedFolder(QString root, const QString& below)
{
    if (!root.startsWith(QLatin1Char('/')) || !hasOnlyNames(root) || below.startsWith(QLatin1Char('/'))
        || !hasOnlyNames(below))
        return std::nullopt;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    QString folder = root + below;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// The listing walks the file entries and looks up each one's folder, then
// that folder's root, by key: one folder and one root at most per file,
// however a crafted catalog repeats its keys.
const char* const fileQuery = "SELECT id_local, originalFilename, folder FROM AgLibraryFile";
const char* const folderQuery = "SELECT rootFolder, pathFromRoot FROM AgLibraryFolder WHERE id_local = ?1 LIMIT 1";
const char* const rootQuery = "SELECT absolutePath FROM AgLibraryRootFolder WHERE id_local = ?1 LIMIT 1";

bool isRaised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

} // namespace

LightroomDBManager::LightroomDBManager(std::optional<QString> catalog, DatabaseBounds listingBounds)
    : catalog_(std::move(catalog))
    , listingBounds_(listingBounds)
{
}

QString LightroomDBManager::lightroomCatalogPath()
{
    const QString configured = CloudConfig::load(QStringLiteral("lightroom")).text(QStringLiteral("catalogPath"));
    if (!configured.isEmpty())
        return configured;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString folder = pictures + QStringLiteral("/Lightroom");
    if (QFileInfo(pictures).isDir() && !QFileInfo::exists(folder) && !QDir().mkdir(folder))
        Log::print("error in creating directory", folder);
    return folder + QStringLiteral("/Lightroom Catalog.lrcat");
}

QString LightroomDBManager::catalogPath() const
{
    return catalog_ ? *catalog_ : lightroomCatalogPath();
}

std::vector<LightroomCatalogRow> LightroomDBManager::fetchLightroomCatalogFiles(
    const std::atomic<bool>* stop, QString* failure) const
{
    const QString path = catalogPath();
    const auto fail = [&](const QString& reason) {
        // A read ended by Stop (its open, checks or queries interrupted) is
        // a stopped read, not a catalog that could not be read.
        if (isRaised(stop)) {
            Log::print("The photo catalog's reading was stopped:", path);
            return std::vector<LightroomCatalogRow>();
        }
        Log::print("The photo catalog could not be read:", path, "-", reason);
        if (failure)
            *failure = reason;
        return std::vector<LightroomCatalogRow>();
    };
    // The catalog is read from a copy of our own: opened in place, a catalog
    // kept with a write-ahead log would get its -wal and -shm files made
    // beside it, in the user's folder, by the mere reading. Its log comes
    // along, and so does a journal: one left by an interrupted change makes
    // the copy unreadable rather than read half changed.
    const PrivateDatabaseCopy copy(path, { QStringLiteral("-wal"), QStringLiteral("-journal") },
        AppPaths::cacheFolder(), {}, QStringLiteral("the photo catalog"), stop);
    if (copy.path().isEmpty())
        return fail(copy.failure());
    const UntrustedDatabase catalog(copy.path(), UntrustedDatabase::Access::readOnly, stop, listingBounds_);
    if (!catalog.isOpen())
        return fail(catalog.openFailure());
    if (const QString refusal = catalog.whyNotTables(listedTables); !refusal.isEmpty())
        return fail(refusal);
    SqliteStatement files(catalog, fileQuery);
    SqliteStatement folders(catalog, folderQuery);
    SqliteStatement roots(catalog, rootQuery);
    if (!files.ok() || !folders.ok() || !roots.ok())
        return fail(QString::fromUtf8(sqlite3_errmsg(catalog.get())));
    std::vector<LightroomCatalogRow> rows;
    qint64 outside = 0;
    while (!isRaised(stop) && files.step()) {
        if (files.isNull(1) || !folders.lookUp(files, 2) || !roots.lookUp(folders, 0) || roots.isNull(0))
            continue;
        LightroomCatalogRow row;
        row.fileId = files.integer(0).value_or(0);
        row.fileName = files.text(1);
        row.folderId = files.integer(2).value_or(0);
        const QString root = roots.text(0);
        const QString below = folders.text(1);
        const std::optional<QString> folder = confinedFolder(root, below);
        // A name must stay a name: one that reaches into another folder would
        // make the record name some other file.
        if (cloudNameProblem(row.fileName))
            continue;
        if (!folder) {
            if (outside++ == 0)
                Log::print("The photo catalog names a folder outside its root; skipped:", root, below);
            continue;
        }
        row.folderPath = *folder;
        rows.push_back(std::move(row));
    }
    if (isRaised(stop))
        return {};
    if (catalog.interrupted())
        return fail(catalog.interruption());
    if (outside > 0)
        Log::print("Photo catalog entries outside their root folder skipped:", outside);
    return rows;
}

bool LightroomDBManager::deleteLightroomCatalogFiles(const QStringList& fileIds, QString* refusal) const
{
    const QString path = catalogPath();
    const auto refuse = [&](const QString& reason) {
        Log::print("The photo catalog refused the removal:", path, "-", reason);
        if (refusal)
            *refusal = reason;
        return false;
    };
    // The photo application holds this file while it has the catalog open;
    // editing under it would race its own writes.
    if (QFileInfo::exists(path + QStringLiteral(".lock")))
        return refuse(QStringLiteral("the photo catalog is in use; nothing was removed from it"));
    std::vector<qint64> ids;
    for (const QString& text : fileIds) {
        bool ok = false;
        const qint64 id = text.toLongLong(&ok);
        if (!ok)
            return refuse(QStringLiteral("\"%1\" is not an entry of the photo catalog").arg(text));
        ids.push_back(id);
    }
    const UntrustedDatabase catalog(path, UntrustedDatabase::Access::readWrite, nullptr, { removalTime });
    if (!catalog.isOpen())
        return refuse(QStringLiteral("the photo catalog cannot be opened: ") + catalog.openFailure());
    sqlite3* db = catalog.get();
    sqlite3_busy_timeout(db, 2000);
    if (const QString why = catalog.whyNotTables(removalTables); !why.isEmpty())
        return refuse(QStringLiteral("nothing was removed from the photo catalog: ") + why);
    // A trigger would change whatever its author chose along with the entry.
    if (const QStringList triggers = catalog.triggersOn(removalTables); !triggers.isEmpty()) {
        return refuse(
            QStringLiteral("the photo catalog runs its own actions (%1) on removal; nothing was removed from it")
                .arg(namedFewAndMore(triggers, triggers.size())));
    }
    if (!SqliteStatement(catalog, "BEGIN IMMEDIATE").run())
        return refuse(QString::fromUtf8(sqlite3_errmsg(db)));
    bool ok = true;
    for (const char* sql :
        { "DELETE FROM Adobe_images WHERE rootFile = ?", "DELETE FROM AgLibraryFile WHERE id_local = ?" }) {
        SqliteStatement statement(catalog, sql);
        ok = statement.ok();
        for (auto id = ids.cbegin(); ok && id != ids.cend(); ++id) {
            sqlite3_reset(statement.get());
            sqlite3_bind_int64(statement.get(), 1, *id);
            ok = statement.run();
        }
        if (!ok)
            break;
    }
    if (!ok || !SqliteStatement(catalog, "COMMIT").run()) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        SqliteStatement(catalog, "ROLLBACK").run();
        return refuse(reason);
    }
    return true;
}
