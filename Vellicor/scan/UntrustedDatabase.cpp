#include "scan/UntrustedDatabase.h"

#include "base/Log.h"
#include "core/FileUtilities.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

#include <sqlite3.h>

namespace {

// Texts and blobs beyond this are refused: no column the program reads comes
// near it, and a crafted one could otherwise take memory by the gigabyte.
constexpr int lengthLimit = 64 * 1024 * 1024;
// Virtual machine steps between two looks at Stop and the clock.
constexpr int progressSteps = 1000;

enum Interruption { none = 0, byStop = 1, byTime = 2 };

// Why the database or one of its companions may not be opened; empty when
// they may. Companions that do not exist are fine.
QString unsafeFiles(const QString& path)
{
    const OpenedFile file = openRegularFile(path, LinkFollowing::refuse);
    if (!file.isOpen())
        return file.errorText;
    for (const char* suffix : { "-wal", "-shm", "-journal" }) {
        const QByteArray companion = QFile::encodeName(path) + suffix;
        struct stat status { };
        if (::lstat(companion.constData(), &status) != 0) {
            if (errno == ENOENT)
                continue;
            return QLatin1Char('"') + QFile::decodeName(companion) + QStringLiteral("\": ") + errnoText(errno);
        }
        if (!S_ISREG(status.st_mode))
            return QLatin1Char('"') + QFile::decodeName(companion) + QStringLiteral("\": not a regular file");
    }
    return QString();
}

} // namespace

UntrustedDatabase::UntrustedDatabase(
    const QString& path, Access access, const std::atomic<bool>* stop, std::chrono::milliseconds timeLimit)
    : stop_(stop)
    , deadline_(std::chrono::steady_clock::now() + timeLimit)
{
    openFailure_ = unsafeFiles(path);
    if (!openFailure_.isEmpty())
        return;
    const int flags
        = (access == Access::readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr) != SQLITE_OK) {
        openFailure_ = QString::fromUtf8(db_ ? sqlite3_errmsg(db_) : "out of memory");
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, lengthLimit);
    sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_progress_handler(db_, progressSteps, &UntrustedDatabase::progress, this);
    // Pages are read through the file, never mapped, and each page's cells
    // are checked against its bounds before use.
    sqlite3_exec(db_, "PRAGMA mmap_size = 0; PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);
}

UntrustedDatabase::~UntrustedDatabase()
{
    // SQLite itself is never shut down: other connections (the digest cache)
    // may be open.
    sqlite3_close(db_);
}

int UntrustedDatabase::progress(void* self)
{
    auto* database = static_cast<UntrustedDatabase*>(self);
    if (database->stop_ && database->stop_->load(std::memory_order_relaxed))
        database->interruption_ = byStop;
    else if (std::chrono::steady_clock::now() > database->deadline_)
        database->interruption_ = byTime;
    return database->interruption_ != none ? 1 : 0;
}

QString UntrustedDatabase::interruption() const
{
    switch (interruption_.load()) {
    case byStop:
        return QStringLiteral("stopped");
    case byTime:
        return QStringLiteral("took too long");
    default:
        return QString();
    }
}

UntrustedDatabase::TableKind UntrustedDatabase::tableKind(const QString& name) const
{
    SqliteStatement kinds(db_, "SELECT type, sql FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
    if (!kinds.ok())
        return TableKind::other;
    sqlite3_bind_text(kinds.get(), 1, name.toUtf8().constData(), -1, SQLITE_TRANSIENT);
    TableKind kind = TableKind::missing;
    while (kinds.step()) {
        // A virtual table runs a module's code for every read.
        const bool plain = kinds.text(0) == QLatin1String("table")
            && !kinds.text(1).trimmed().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
        kind = plain && kind == TableKind::missing ? TableKind::table : TableKind::other;
    }
    return interrupted() ? TableKind::other : kind;
}

QString UntrustedDatabase::whyNotTables(const QStringList& names) const
{
    for (const QString& name : names) {
        switch (tableKind(name)) {
        case TableKind::table:
            break;
        case TableKind::missing:
            return QStringLiteral("it has no table %1").arg(name);
        case TableKind::other:
            return QStringLiteral("%1 is not a plain table").arg(name);
        }
    }
    return QString();
}

QStringList UntrustedDatabase::triggersOn(const QStringList& tables) const
{
    QStringList triggers;
    SqliteStatement names(
        db_, "SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE");
    for (const QString& table : tables) {
        sqlite3_reset(names.get());
        sqlite3_bind_text(names.get(), 1, table.toUtf8().constData(), -1, SQLITE_TRANSIENT);
        while (names.step())
            triggers.append(names.text(0));
    }
    return triggers;
}

SqliteStatement::SqliteStatement(sqlite3* db, const QByteArray& sql)
{
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt_, nullptr) != SQLITE_OK) {
        Log::print("Database query refused:", QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(stmt_);
}

bool SqliteStatement::step()
{
    return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW;
}

bool SqliteStatement::run()
{
    return stmt_ && sqlite3_step(stmt_) == SQLITE_DONE;
}

QString SqliteStatement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(stmt_, column)) : QString();
}

std::optional<qint64> SqliteStatement::integer(int column) const
{
    if (sqlite3_column_type(stmt_, column) != SQLITE_INTEGER)
        return std::nullopt;
    return sqlite3_column_int64(stmt_, column);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}
