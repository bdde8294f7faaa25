#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// What one connection to an untrusted database may take in all, whatever
// its file holds: past any bound its reading ends, and the caller leaves the
// database out with the reason.
struct DatabaseBounds {
    // The time its statements may run.
    std::chrono::milliseconds time { std::chrono::minutes(2) };
    // The rows its statements may yield.
    qint64 rows = 4'000'000;
    // The bytes of the texts and blobs taken from those rows.
    qint64 bytes = 256ll * 1024 * 1024;
};

// A connection to an SQLite database that came from outside the program (a
// photo library met in a scan, the photo application's catalog), opened so
// that the file can neither run code of ours, nor hang or swamp the caller:
// - the file and its companions (-wal, -shm, -journal) must be regular files,
//   reached without following a link, so that opening never blocks on a FIFO;
// - defensive mode, an untrusted schema (its views and triggers may call no
//   function with side effects), no extension loading, no views at all, no
//   memory mapping, temporary tables on disk;
// - no text or blob longer than valueBytes is read, none longer than a
//   schema's statements ever need is made;
// - the rows, the bytes and the time of all its statements are bounded
//   (DatabaseBounds), and every statement is interrupted once Stop is raised;
//   interrupted() then says so, and why.
// Callers check that the tables they read are tables (a view standing in for
// one could run any query, a computed column could make values of any size)
// before they query them, and join them only through lookups that meet one
// row at most (SqliteStatement::lookUp), so that no query yields more rows
// than the table it walks holds.
//
// Threads: one connection serves one thread at a time; stop may be raised
// from any thread.
class UntrustedDatabase {
public:
    enum class Access { readOnly, readWrite };
    // How a name stands in the database's schema.
    enum class TableKind { missing, table, computed, other };

    // The longest text or blob the program takes from such a database: no
    // name, path or key comes near it.
    static constexpr qint64 valueBytes = 64 * 1024;

    // stop: raised to end the work (none: never).
    UntrustedDatabase(const QString& path, Access access, const std::atomic<bool>* stop, DatabaseBounds bounds);
    ~UntrustedDatabase();
    UntrustedDatabase(const UntrustedDatabase&) = delete;
    UntrustedDatabase& operator=(const UntrustedDatabase&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    sqlite3* get() const { return db_; }
    // Why the database was not opened; empty when it is open.
    const QString& openFailure() const { return openFailure_; }

    // Whether reading was cut short, by Stop, by a bound or by an error of
    // the file, and why ("stopped", "took too long", "yields more than …
    // rows", …); empty when it was not. Once cut short, no statement of the
    // connection yields another row.
    bool interrupted() const { return !interruption().isEmpty(); }
    QString interruption() const;

    // How name (compared as SQLite compares names, ignoring ASCII case)
    // stands in the schema: an ordinary table, one with computed (generated)
    // columns, missing, or something else (a view, an index, a virtual table).
    TableKind tableKind(const QString& name) const;
    // Empty when every name is an ordinary table; otherwise a sentence
    // naming the first that is missing or is not a plain table.
    QString whyNotTables(const QStringList& names) const;
    // The names of the triggers that fire on changes of any of the tables.
    QStringList triggersOn(const QStringList& tables) const;

private:
    friend class SqliteStatement;
    enum Interruption { none, byStop, byTime, byRows, byBytes, byValue, byError };

    static int progress(void* self);
    // Counts one row, and the bytes of one value; false (and the reading
    // ends) past a bound.
    bool takeRow() const;
    bool takeValue(qint64 bytes) const;
    void interrupt(Interruption why, const QString& error = QString()) const;

    sqlite3* db_ = nullptr;
    QString openFailure_;
    const std::atomic<bool>* stop_;
    DatabaseBounds bounds_;
    std::chrono::steady_clock::time_point deadline_;
    mutable qint64 rows_ = 0;
    mutable qint64 bytes_ = 0;
    mutable std::atomic<int> interruption_ { none };
    mutable QString error_;
};

// A prepared statement of an untrusted database, finalized when it goes out
// of scope. Its rows and the values read from them count against the
// database's bounds. A statement the database refuses is logged and reads no
// row; an error while stepping ends the database's reading (interrupted()).
class SqliteStatement {
public:
    SqliteStatement(const UntrustedDatabase& database, const QByteArray& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    // The next row; false at the end, on an error and when interrupted.
    bool step();
    // Runs a statement that yields no rows; true when it ran to its end.
    bool run();
    // Runs the statement again with ?1 bound to column of from's current row
    // (as it is stored, of whatever type) and takes its first row: a join of
    // one row of the walked table with at most one row of another, whatever
    // the other holds. False when there is none.
    bool lookUp(const SqliteStatement& from, int column);
    sqlite3_stmt* get() const { return stmt_; }

    // Columns of the current row; NULL is an empty text, no number. A text
    // longer than valueBytes ends the reading and is empty.
    QString text(int column) const;
    std::optional<qint64> integer(int column) const;
    bool isNull(int column) const;

private:
    const UntrustedDatabase& database_;
    sqlite3_stmt* stmt_ = nullptr;
};
