#include "scan/UntrustedDatabase.h"

#include "base/Log.h"
#include "core/FileUtilities.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

#include <sqlite3.h>

namespace {

// Texts and blobs beyond this are neither read nor made: every statement of a
// real schema stays far below it, and a crafted value could otherwise take
// memory by the gigabyte.
constexpr int lengthLimit = 1024 * 1024;
// Virtual machine steps between two looks at Stop and the clock.
constexpr int progressSteps = 1000;

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
    const QString& path, Access access, const std::atomic<bool>* stop, DatabaseBounds bounds)
    : stop_(stop)
    , bounds_(bounds)
    , deadline_(std::chrono::steady_clock::now() + bounds.time)
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
    // are checked against its bounds before use; what a query sorts or
    // gathers goes to a temporary file, never to memory without bound.
    sqlite3_exec(db_, "PRAGMA mmap_size = 0; PRAGMA cell_size_check = ON; PRAGMA temp_store = FILE", nullptr,
        nullptr, nullptr);
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
    if (database->interruption_ == none) {
        if (database->stop_ && database->stop_->load(std::memory_order_relaxed))
            database->interruption_ = byStop;
        else if (std::chrono::steady_clock::now() > database->deadline_)
            database->interruption_ = byTime;
    }
    return database->interruption_ != none ? 1 : 0;
}

void UntrustedDatabase::interrupt(Interruption why, const QString& error) const
{
    if (interruption_ != none)
        return;
    error_ = error;
    interruption_ = why;
}

bool UntrustedDatabase::takeRow() const
{
    if (++rows_ > bounds_.rows)
        interrupt(byRows);
    return interruption_ == none;
}

bool UntrustedDatabase::takeValue(qint64 bytes) const
{
    if (bytes > valueBytes)
        interrupt(byValue);
    else if ((bytes_ += bytes) > bounds_.bytes)
        interrupt(byBytes);
    return interruption_ == none;
}

QString UntrustedDatabase::interruption() const
{
    switch (interruption_.load()) {
    case byStop:
        return QStringLiteral("stopped");
    case byTime:
        return QStringLiteral("took too long");
    case byRows:
        return QStringLiteral("it yields more than %1 rows").arg(bounds_.rows);
    case byBytes:
        return QStringLiteral("it yields more than %1 bytes of text").arg(bounds_.bytes);
    case byValue:
        return QStringLiteral("it holds a value of more than %1 bytes").arg(valueBytes);
    case byError:
        return QStringLiteral("it cannot be read: ") + error_;
    default:
        return QString();
    }
}

UntrustedDatabase::TableKind UntrustedDatabase::tableKind(const QString& name) const
{
    SqliteStatement kinds(*this, "SELECT type, sql FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
    if (!kinds.ok())
        return TableKind::other;
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(kinds.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    TableKind kind = TableKind::missing;
    while (kinds.step()) {
        // A virtual table runs a module's code for every read.
        const bool plain = kinds.text(0) == QLatin1String("table")
            && !kinds.text(1).trimmed().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
        kind = plain && kind == TableKind::missing ? TableKind::table : TableKind::other;
    }
    if (kind == TableKind::table) {
        // A generated column computes its value as it is read: any size, for
        // every row. Hidden 2 and 3 mark the virtual and the stored kind.
        SqliteStatement computed(*this, "SELECT 1 FROM pragma_table_xinfo(?1) WHERE hidden IN (2, 3)");
        sqlite3_bind_text(computed.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        if (!computed.ok() || computed.step())
            kind = TableKind::computed;
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
        case TableKind::computed:
            return QStringLiteral("%1 has computed columns").arg(name);
        case TableKind::other:
            return interrupted() ? interruption() : QStringLiteral("%1 is not a plain table").arg(name);
        }
    }
    return QString();
}

QStringList UntrustedDatabase::triggersOn(const QStringList& tables) const
{
    QStringList triggers;
    SqliteStatement names(
        *this, "SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE");
    for (const QString& table : tables) {
        sqlite3_reset(names.get());
        sqlite3_bind_text(names.get(), 1, table.toUtf8().constData(), -1, SQLITE_TRANSIENT);
        while (names.step())
            triggers.append(names.text(0));
    }
    return triggers;
}

SqliteStatement::SqliteStatement(const UntrustedDatabase& database, const QByteArray& sql)
    : database_(database)
{
    if (sqlite3_prepare_v2(database.get(), sql.constData(), -1, &stmt_, nullptr) != SQLITE_OK) {
        Log::print("Database query refused:", QString::fromUtf8(sqlite3_errmsg(database.get())));
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
    if (!stmt_ || database_.interrupted())
        return false;
    switch (sqlite3_step(stmt_)) {
    case SQLITE_ROW:
        return database_.takeRow();
    case SQLITE_DONE:
        return false;
    default:
        // An interruption by Stop or time shows as an error too; it keeps
        // its own reason.
        database_.interrupt(UntrustedDatabase::byError, QString::fromUtf8(sqlite3_errmsg(database_.get())));
        return false;
    }
}

bool SqliteStatement::run()
{
    if (!stmt_ || database_.interrupted())
        return false;
    return sqlite3_step(stmt_) == SQLITE_DONE;
}

bool SqliteStatement::lookUp(const SqliteStatement& from, int column)
{
    if (!stmt_ || !from.stmt_)
        return false;
    sqlite3_reset(stmt_);
    sqlite3_bind_value(stmt_, 1, sqlite3_column_value(from.stmt_, column));
    return step();
}

QString SqliteStatement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!bytes)
        return QString();
    const int length = sqlite3_column_bytes(stmt_, column);
    if (!database_.takeValue(length))
        return QString();
    return QString::fromUtf8(bytes, length);
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
