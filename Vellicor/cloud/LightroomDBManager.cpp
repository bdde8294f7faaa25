#include "cloud/LightroomDBManager.h"

#include "base/Log.h"
#include "cloud/CloudConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

namespace {

// Closes the connection (and finalizes a statement) on every way out.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }
};

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

QString columnText(sqlite3_stmt* stmt, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
}

QString joinedFolder(QString root, const QString& below)
{
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    QString folder = root + below;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

const char* const listingQuery = "SELECT f.id_local, f.originalFilename, f.folder, r.absolutePath, d.pathFromRoot "
                                 "FROM AgLibraryFile f "
                                 "JOIN AgLibraryFolder d ON d.id_local = f.folder "
                                 "JOIN AgLibraryRootFolder r ON r.id_local = d.rootFolder";

bool run(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

LightroomDBManager::LightroomDBManager(std::optional<QString> catalog)
    : catalog_(std::move(catalog))
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

std::vector<LightroomCatalogRow> LightroomDBManager::fetchLightroomCatalogFiles() const
{
    std::vector<LightroomCatalogRow> rows;
    Connection connection;
    if (sqlite3_open_v2(catalogPath().toUtf8().constData(), &connection.db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK) {
        Log::print("The photo catalog could not be opened:", catalogPath());
        return rows;
    }
    Statement query;
    if (sqlite3_prepare_v2(connection.db, listingQuery, -1, &query.stmt, nullptr) != SQLITE_OK) {
        Log::print("The photo catalog could not be read:", QString::fromUtf8(sqlite3_errmsg(connection.db)));
        return rows;
    }
    while (sqlite3_step(query.stmt) == SQLITE_ROW) {
        if (sqlite3_column_type(query.stmt, 1) == SQLITE_NULL || sqlite3_column_type(query.stmt, 3) == SQLITE_NULL)
            continue;
        LightroomCatalogRow row;
        row.fileId = sqlite3_column_int64(query.stmt, 0);
        row.fileName = columnText(query.stmt, 1);
        row.folderId = sqlite3_column_int64(query.stmt, 2);
        row.folderPath = joinedFolder(columnText(query.stmt, 3), columnText(query.stmt, 4));
        // A name must stay a name: one that reaches into another folder
        // would make the record name some other file.
        if (row.fileName.isEmpty() || row.fileName == QLatin1String(".") || row.fileName == QLatin1String("..")
            || row.fileName.contains(QLatin1Char('/')))
            continue;
        rows.push_back(std::move(row));
    }
    return rows;
}

bool LightroomDBManager::deleteLightroomCatalogFiles(const QStringList& fileIds) const
{
    const QString path = catalogPath();
    // The photo application holds this file while it has the catalog open;
    // editing under it would race its own writes.
    if (QFileInfo::exists(path + QStringLiteral(".lock"))) {
        Log::print("The photo catalog is in use; nothing was removed from it:", path);
        return false;
    }
    std::vector<qint64> ids;
    for (const QString& text : fileIds) {
        bool ok = false;
        const qint64 id = text.toLongLong(&ok);
        if (!ok)
            return false;
        ids.push_back(id);
    }
    Connection connection;
    if (sqlite3_open_v2(path.toUtf8().constData(), &connection.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(connection.db, 2000);
    if (!run(connection.db, "BEGIN IMMEDIATE"))
        return false;
    bool ok = true;
    for (const char* sql :
        { "DELETE FROM Adobe_images WHERE rootFile = ?", "DELETE FROM AgLibraryFile WHERE id_local = ?" }) {
        Statement statement;
        if (sqlite3_prepare_v2(connection.db, sql, -1, &statement.stmt, nullptr) != SQLITE_OK) {
            ok = false;
            break;
        }
        for (const qint64 id : ids) {
            sqlite3_reset(statement.stmt);
            sqlite3_bind_int64(statement.stmt, 1, id);
            if (sqlite3_step(statement.stmt) != SQLITE_DONE) {
                ok = false;
                break;
            }
        }
        if (!ok)
            break;
    }
    if (!ok || !run(connection.db, "COMMIT")) {
        Log::print("The photo catalog refused the removal:", QString::fromUtf8(sqlite3_errmsg(connection.db)));
        run(connection.db, "ROLLBACK");
        return false;
    }
    return true;
}
