#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// A connection to an SQLite database that came from outside the program (a
// photo library met in a scan, the photo application's catalog), opened so
// that the file can neither run code of ours, nor hang or swamp the caller:
// - the file and its companions (-wal, -shm, -journal) must be regular files,
//   reached without following a link, so that opening never blocks on a FIFO;
// - defensive mode, an untrusted schema (its views and triggers may call no
//   function with side effects), no extension loading, no views at all, no
//   memory mapping, bounded texts and blobs;
// - every statement is interrupted once Stop is raised or the time allowed
//   for the whole connection has passed (interrupted() then says so).
// Callers check that the tables they read are tables (a view standing in for
// one could run any query) before they query them.
//
// Threads: one connection serves one thread at a time; stop may be raised
// from any thread.
class UntrustedDatabase {
public:
    enum class Access { readOnly, readWrite };
    // How a name stands in the database's schema.
    enum class TableKind { missing, table, other };

    // stop: raised to end the work (none: never); timeLimit: how long the
    // connection may run statements in all.
    UntrustedDatabase(
        const QString& path, Access access, const std::atomic<bool>* stop, std::chrono::milliseconds timeLimit);
    ~UntrustedDatabase();
    UntrustedDatabase(const UntrustedDatabase&) = delete;
    UntrustedDatabase& operator=(const UntrustedDatabase&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    sqlite3* get() const { return db_; }
    // Why the database was not opened; empty when it is open.
    const QString& openFailure() const { return openFailure_; }

    // Whether a statement was cut short by Stop or by the time limit, and
    // which of the two ("stopped", "took too long"); empty when none was.
    bool interrupted() const { return !interruption().isEmpty(); }
    QString interruption() const;

    // How name (compared as SQLite compares names, ignoring ASCII case)
    // stands in the schema: an ordinary table, missing, or something else
    // (a view, an index).
    TableKind tableKind(const QString& name) const;
    // Empty when every name is an ordinary table; otherwise a sentence
    // naming the first that is missing or is not a table.
    QString whyNotTables(const QStringList& names) const;
    // The names of the triggers that fire on changes of any of the tables.
    QStringList triggersOn(const QStringList& tables) const;

private:
    static int progress(void* self);

    sqlite3* db_ = nullptr;
    QString openFailure_;
    const std::atomic<bool>* stop_;
    std::chrono::steady_clock::time_point deadline_;
    std::atomic<int> interruption_ { 0 };
};

// A prepared statement, finalized when it goes out of scope. A statement the
// database refuses is logged and reads no row.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const QByteArray& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    // The next row; false at the end, on an error and when interrupted.
    bool step();
    // Runs a statement that yields no rows; true when it ran to its end.
    bool run();
    sqlite3_stmt* get() const { return stmt_; }

    // Columns of the current row; NULL is an empty text, no number.
    QString text(int column) const;
    std::optional<qint64> integer(int column) const;
    bool isNull(int column) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
};
