#include "scan/SqliteOperations.h"

#include "core/FileUtilities.h"
#include "base/Log.h"
#include "base/AppPaths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <functional>

namespace {

constexpr std::array<const char*, 5> digestTables
    = { "hashTable", "GoogleDrive_hashTable", "DropBox_hashTable", "OneDrive_hashTable", "BoxCloud_hashTable" };

// Table names go into statement texts, so only the fixed names are accepted.
bool isDigestTable(const QString& name)
{
    for (const char* table : digestTables) {
        if (name == QLatin1String(table))
            return true;
    }
    return false;
}

// SQLite's companion files of a database: a journal left behind by a crash is
// played back into whatever file carries the database's name next.
constexpr std::array<const char*, 3> companionSuffixes = { "-journal", "-wal", "-shm" };

bool isDamageCode(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

void setDamagedDatabaseAside(const QString& databasePath);

enum class OnDamage { setAside, ignore };

// One connection for the length of one operation. A damaged file is set aside
// only after the connection is closed.
class Connection {
public:
    explicit Connection(const QString& path, int flags = SQLITE_OPEN_READWRITE, OnDamage onDamage = OnDamage::setAside)
        : path_(path)
        , onDamage_(onDamage)
    {
        sqlite3_initialize();
        if (note(sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr)) != SQLITE_OK) {
            sqlite3_close(db_);
            db_ = nullptr;
            return;
        }
        // A second instance of the program may be writing the cache: wait for
        // it a little instead of losing this batch at once.
        sqlite3_busy_timeout(db_, 2000);
    }
    ~Connection()
    {
        if (db_)
            sqlite3_close(db_);
        if (damaged_ && onDamage_ == OnDamage::setAside)
            setDamagedDatabaseAside(path_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    explicit operator bool() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }
    bool damaged() const { return damaged_; }

    int note(int rc)
    {
        if (isDamageCode(rc))
            damaged_ = true;
        return rc;
    }
    int exec(const char* sql) { return note(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr)); }

private:
    QString path_;
    OnDamage onDamage_;
    sqlite3* db_ = nullptr;
    bool damaged_ = false;
};

// A prepared statement, finalized when it goes out of scope (before its
// connection, which is declared first).
class Statement {
public:
    Statement(Connection& db, const char* sql, const char** tail = nullptr)
        : db_(db)
    {
        rc_ = db.note(sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, tail));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return rc_ == SQLITE_OK; }
    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

    int step() { return db_.note(sqlite3_step(stmt_)); }
    void reset() { sqlite3_reset(stmt_); }

    void bindText(int index, const std::optional<QString>& text)
    {
        if (!text) {
            sqlite3_bind_null(stmt_, index);
            return;
        }
        const QByteArray utf8 = text->toUtf8();
        sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bindInt64(int index, qint64 value) { sqlite3_bind_int64(stmt_, index, value); }

    QString columnText(int index) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
        return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt_, index)) : QString();
    }
    double columnDouble(int index) const { return sqlite3_column_double(stmt_, index); }

private:
    Connection& db_;
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

// The template's statements, the digest-table one once per table name.
QByteArray readSchema(const QString& templatePath)
{
    QFile file(templatePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    const QByteArray placeholder = "$digestTable";
    const qsizetype at = text.indexOf(placeholder);
    if (at < 0)
        return text;
    const qsizetype begin = text.lastIndexOf(';', at) + 1;
    const qsizetype end = text.indexOf(';', at) < 0 ? text.size() : text.indexOf(';', at) + 1;
    QByteArray schema = text.left(begin);
    for (const char* table : digestTables)
        schema += QByteArray(text.mid(begin, end - begin)).replace(placeholder, table);
    return schema + text.mid(end);
}

// Runs every statement of a schema text in turn; false at the first failure.
bool runSchema(Connection& db, const QByteArray& schema)
{
    const char* next = schema.constData();
    while (next && *next) {
        const char* tail = nullptr;
        Statement statement(db, next, &tail);
        if (!statement.prepared())
            return false;
        if (statement && statement.step() != SQLITE_DONE)
            return false;
        next = tail;
    }
    return true;
}

QString databaseFileIn(const QString& folderPath)
{
    return folderPath + QStringLiteral("/Vellicor.db");
}

// Builds the database at databasePath from the schema, under a temporary name
// first; never replaces a file that exists.
bool createFromTemplate(const QString& databasePath, const QString& templatePath)
{
    const QByteArray schema = readSchema(templatePath);
    if (schema.trimmed().isEmpty())
        return false;
    if (!AppPaths::ensureFolder(QFileInfo(databasePath).absolutePath()))
        return false;

    const QString building
        = databasePath + QLatin1Char('.') + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".tmp");
    bool built = false;
    {
        Connection db(building, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, OnDamage::ignore);
        if (db && db.exec("BEGIN TRANSACTION") == SQLITE_OK) {
            built = runSchema(db, schema);
            built = db.exec(built ? "COMMIT TRANSACTION" : "ROLLBACK TRANSACTION") == SQLITE_OK && built;
        }
    }
    if (!built) {
        SqliteOperations::removeDatabase(building);
        return false;
    }
    // A journal without its database belongs to a file that is gone; left in
    // place it would be played back into the new one.
    if (!QFileInfo::exists(databasePath)) {
        for (const char* suffix : companionSuffixes)
            QFile::remove(databasePath + QLatin1String(suffix));
    }
    if (!QFile::rename(building, databasePath)) {
        SqliteOperations::removeDatabase(building);
        return QFileInfo::exists(databasePath);
    }
    return true;
}

QString asideName(const QString& databasePath)
{
    const QString base = databasePath + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

void setDamagedDatabaseAside(const QString& databasePath)
{
    const QString aside = asideName(databasePath);
    if (!QFile::rename(databasePath, aside)) {
        Log::print("The digest cache", databasePath, "is damaged and could not be moved aside; scanning without it");
        return;
    }
    for (const char* suffix : companionSuffixes) {
        if (QFileInfo::exists(databasePath + QLatin1String(suffix)))
            QFile::rename(databasePath + QLatin1String(suffix), aside + QLatin1String(suffix));
    }
    const bool rebuilt = createFromTemplate(databasePath, SqliteOperations::templatePath());
    Log::print("The digest cache", databasePath, "is damaged; kept it as", aside,
        rebuilt ? "and started a new one" : "and could not start a new one");
}

// One row per record in a single transaction: a commit per row would cost a
// disk sync each. bind answers false to pass a record over; refused is told
// of each row the database turns down. Stops before the next record once
// abort is set or the file turns out damaged; the rows written stay.
void insertRows(const QString& databasePath, const QByteArray& sql, const std::vector<FileInfoNodePtr>& records,
    const std::atomic<bool>& abort, const std::function<bool(Statement&, const FileInfoNode&)>& bind,
    const std::function<void(const QByteArray&)>& refused)
{
    Connection db(databasePath);
    if (!db)
        return;
    db.exec("BEGIN TRANSACTION");
    {
        Statement row(db, sql.constData());
        for (std::size_t i = 0; row && i < records.size() && !abort && !db.damaged(); ++i) {
            if (!bind(row, *records[i]))
                continue;
            if (row.step() != SQLITE_DONE)
                refused(sql);
            row.reset();
        }
    }
    if (db.exec("COMMIT TRANSACTION") != SQLITE_OK)
        Log::print("Cache database: could not commit to", printablePath(databasePath));
}

QDateTime dateFromSeconds(double seconds)
{
    if (seconds == 0)
        return QDateTime::currentDateTimeUtc();
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), Qt::UTC);
}

} // namespace

QString hashTableForSource(ScanSource source)
{
    const auto index = static_cast<std::size_t>(source);
    return QLatin1String(index < digestTables.size() ? digestTables[index] : digestTables[0]);
}

QString SqliteOperations::templatePath()
{
    return QStringLiteral(":/resources/VellicorCache.sql");
}

void SqliteOperations::createCacheTables(const QString& databasePath)
{
    Connection db(databasePath);
    if (!db)
        return;
    db.exec("BEGIN TRANSACTION");
    runSchema(db, readSchema(templatePath()));
    db.exec("COMMIT TRANSACTION");
}

void SqliteOperations::clearScanEntries(const QString& databasePath)
{
    Connection db(databasePath);
    if (!db)
        return;
    Statement clearing(db, "delete from tempTable");
    if (!clearing)
        return;
    while (clearing.step() == SQLITE_ROW) { }
}

void SqliteOperations::insertScanEntries(
    const QString& databasePath, const std::vector<FileInfoNodePtr>& records, const std::atomic<bool>& abort)
{
    // A refused row is passed over without a word.
    insertRows(
        databasePath, "INSERT INTO tempTable (filePath,fileModDate) VALUES (?1,?2)", records, abort,
        [](Statement& entry, const FileInfoNode& record) {
            entry.bindText(1, record.filePath);
            entry.bindInt64(2, secondsSince1970(record.modDate));
            return true;
        },
        [](const QByteArray&) {});
}

void SqliteOperations::loadCachedHashes(
    const QString& hashTable, const QString& databasePath, DigestCache& cache, const std::atomic<bool>& abort)
{
    if (!isDigestTable(hashTable))
        return;
    Connection db(databasePath);
    if (!db)
        return;
    // Positions in the joined row: 0 path, 1 modification second of the scan,
    // 3 digest, 4 creation second, 7 size.
    const QByteArray join = "select * from temptable t1, " + hashTable.toLatin1()
        + " t2 where t1.filePath = t2.filePath and t1.fileModDate = t2.fileModDate";
    Statement rows(db, join.constData());
    if (!rows)
        return;
    while (!abort && rows.step() == SQLITE_ROW) {
        const QString path = rows.columnText(0);
        const QString digest = rows.columnText(3);
        if (path.isEmpty() || digest.isEmpty())
            continue;
        cache.insert(path,
            QVariantMap {
                { QStringLiteral("modDate"), dateFromSeconds(rows.columnDouble(1)) },
                { QStringLiteral("creationDate"), dateFromSeconds(rows.columnDouble(4)) },
                { QStringLiteral("fileMD5"), digest },
                { QStringLiteral("fileSize"), rows.columnDouble(7) },
            });
    }
}

void SqliteOperations::insertFileHashes(const QString& hashTable, const QString& databasePath,
    const std::vector<FileInfoNodePtr>& records, const DigestCache* cache, const std::atomic<bool>& abort)
{
    if (!isDigestTable(hashTable))
        return;
    const QByteArray text = "INSERT INTO " + hashTable.toLatin1()
        + " (fileID,fileHash,fileCreationDate,fileModDate,filePath,fileSize) VALUES (?1, ?2,?3,?4,?5,?6)";
    insertRows(
        databasePath, text, records, abort,
        [cache](Statement& row, const FileInfoNode& record) {
            if (!record.filePath || !record.md5 || record.md5->isEmpty() || record.isDirectory)
                return false;
            if (cache && cachedDigest(*cache, record) == record.md5)
                return false;
            // ?1 stays unbound: the database assigns the key.
            row.bindText(2, record.md5);
            row.bindInt64(3, secondsSince1970(record.createDate));
            row.bindInt64(4, secondsSince1970(record.modDate));
            row.bindText(5, record.filePath);
            row.bindInt64(6, static_cast<qint64>(record.fileSize));
            return true;
        },
        [](const QByteArray& statement) { std::printf("Unable to insert data %s\n", statement.constData()); });
}

void SqliteOperations::removeDatabase(const QString& databasePath)
{
    QFile::remove(databasePath);
    for (const char* suffix : companionSuffixes)
        QFile::remove(databasePath + QLatin1String(suffix));
}

bool SqliteOperations::prepareCacheDatabase(const QString& folderPath, const QString& templatePath)
{
    const QString databasePath = databaseFileIn(folderPath);
    if (QFileInfo::exists(databasePath))
        return true;
    return createFromTemplate(databasePath, templatePath);
}
