#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <memory>

// A copy of a database that came from outside the program (a photo library,
// the photo catalog), made so that reading it never writes beside the user's
// file: the database and those of its companion files that exist (a
// write-ahead log, for one) are copied into a new folder of our own under the
// cache folder, readable only by the user, and read there. The folder and
// everything SQLite makes in it go with the copy.
//
// The source is untrusted: only regular files reached without following a
// link are copied, so a FIFO or a device never blocks or feeds the copy; a
// sparse file is copied by its data alone; the bytes and the time of the
// whole copy are bounded. Runs on the reader's thread.
class PrivateDatabaseCopy {
public:
    struct Limits {
        // Bytes the database and its companions may hold in all, holes
        // included.
        quint64 bytes = 4ull * 1024 * 1024 * 1024;
        std::chrono::milliseconds time { std::chrono::minutes(2) };
    };

    // Room the cache's disk keeps after a copy: a library is skipped rather
    // than fill the disk the user's system writes on.
    static constexpr quint64 spareRoom = 256ull * 1024 * 1024;

    // what: the database as the log names it ("a photo library").
    // companions: the suffixes of the companion files to bring along.
    PrivateDatabaseCopy(const QString& database, const QStringList& companions, const QString& cacheFolder,
        Limits limits, const QString& what, const std::atomic<bool>* stop);

    // The copy of the database; empty when it could not be made.
    const QString& path() const { return path_; }
    // Why there is no copy; empty when there is one.
    const QString& failure() const { return failure_; }

private:
    std::unique_ptr<QTemporaryDir> folder_;
    QString path_;
    QString failure_;
};
