#pragma once

// A folder shown a second time through a FUSE mount of it (bindfs), its
// entries and attributes cached for cacheSeconds as a network mount's may be
// (none: every look at it asks its program). Its program can be stopped, as a
// mount that no longer answers: whatever looks at the mount then waits until
// it goes on, which it does when asked, at a bound, or when the mirror goes.
// Mounted in the mount namespace of the calling thread, unmounted when it
// goes.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class FuseMirror {
public:
    // Why a test that needs a mount skips where none can be made.
    static constexpr const char* unavailable = "no FUSE mount can be made here (bindfs and /dev/fuse are needed)";

    // A folder "away" made in parent and mirrored at parent/mirror without a
    // cache: a mount a test stops so that it no longer answers.
    struct AwayIn {
        QString parent;
    };

    explicit FuseMirror(const AwayIn& at)
        : FuseMirror(madeFolder(at.parent + QStringLiteral("/away")), at.parent + QStringLiteral("/mirror"), 0)
    {
    }

    // subtype, when given, is the program the mount names as its type
    // ("fuse.<subtype>"), as a mount of another machine's files names sshfs.
    FuseMirror(const QString& folder, const QString& mirror, int cacheSeconds = 60, const QString& subtype = {})
        : folder_(folder)
        , mirror_(mirror)
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("bindfs"));
        if (program.isEmpty() || ::access("/dev/fuse", R_OK | W_OK) != 0 || !QDir().mkpath(mirror))
            return;
        const QString cache = QString::number(cacheSeconds);
        QString options = QStringLiteral("entry_timeout=%1,attr_timeout=%1").arg(cache);
        if (!subtype.isEmpty())
            options += QStringLiteral(",subtype=") + subtype;
        bindfs_.start(program, { QStringLiteral("-f"), QStringLiteral("-o"), options, folder, mirror });
        if (!bindfs_.waitForStarted(10000))
            return;
        const auto deviceOf = [](const QString& path) {
            struct stat status { };
            return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_dev : dev_t(0);
        };
        const dev_t folderDevice = deviceOf(folder);
        QElapsedTimer clock;
        clock.start();
        while (bindfs_.state() == QProcess::Running && clock.elapsed() < 10000) {
            const dev_t mirrorDevice = deviceOf(mirror);
            if (folderDevice != 0 && mirrorDevice != 0 && mirrorDevice != folderDevice) {
                mounted_ = true;
                return;
            }
            QThread::msleep(20);
        }
    }
    ~FuseMirror()
    {
        // Answering again, then gone: whatever waited on it ends.
        resume();
        if (mounted_ && ::umount2(QFile::encodeName(mirror_).constData(), MNT_DETACH) != 0)
            QProcess::execute(QStringLiteral("fusermount"), { QStringLiteral("-u"), QStringLiteral("-z"), mirror_ });
        if (bindfs_.state() != QProcess::NotRunning) {
            bindfs_.terminate();
            if (!bindfs_.waitForFinished(5000)) {
                bindfs_.kill();
                bindfs_.waitForFinished(5000);
            }
        }
    }
    FuseMirror(const FuseMirror&) = delete;
    FuseMirror& operator=(const FuseMirror&) = delete;

    bool isMounted() const { return mounted_; }
    const QString& folder() const { return folder_; }
    const QString& mirror() const { return mirror_; }

    // The mount stops answering, until resume() or until latestMs have
    // passed.
    bool stop(int latestMs)
    {
        if (!mounted_ || ::kill(pid_t(bindfs_.processId()), SIGSTOP) != 0)
            return false;
        stopped_ = true;
        watchdog_ = std::thread([this, latestMs] {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(latestMs), [this] { return !stopped_; });
            stopped_ = false;
            ::kill(pid_t(bindfs_.processId()), SIGCONT);
        });
        return true;
    }
    void resume()
    {
        {
            const std::lock_guard lock(mutex_);
            stopped_ = false;
        }
        wake_.notify_all();
        if (watchdog_.joinable())
            watchdog_.join();
    }
    // Still stopped: neither resumed nor past its bound.
    bool isStopped() const
    {
        const std::lock_guard lock(mutex_);
        return stopped_;
    }

private:
    static QString madeFolder(const QString& path)
    {
        QDir().mkpath(path);
        return path;
    }

    QString folder_;
    QString mirror_;
    QProcess bindfs_;
    bool mounted_ = false;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread watchdog_;
};
