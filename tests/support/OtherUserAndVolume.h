#pragma once

// A second user and a second volume for the tests that need them real: the
// user the program runs as against another one, and a file system of the
// test's own.
#include "support/ChildProcess.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <grp.h>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>
#include <vector>

// Whether the calling thread has a mount namespace of its own (made at its
// first call), in which the threads and programs it starts mount what no
// other process sees.
inline bool inOwnMountNamespace()
{
    static thread_local const bool own
        = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return own;
}

// A volume of its own (tmpfs; or ramfs, which keeps no extended attribute)
// mounted on folder in a mount namespace of this thread's own, which the
// threads it starts share and no other process sees; unmounted when it goes.
class PrivateVolume {
public:
    PrivateVolume(const QString& folder, const char* type, const char* options)
        : folder_(QFile::encodeName(folder))
    {
        if (::geteuid() != 0) {
            whyNot_ = "mounting a volume needs root";
            return;
        }
        if (!inOwnMountNamespace() || !QDir().mkpath(folder)
            || ::mount(type, folder_.constData(), type, 0, options) != 0) {
            whyNot_ = std::string("this machine cannot mount a ") + type + " of the test's own";
            return;
        }
        mounted_ = true;
    }
    ~PrivateVolume()
    {
        if (mounted_)
            ::umount2(folder_.constData(), MNT_DETACH);
    }
    PrivateVolume(const PrivateVolume&) = delete;
    PrivateVolume& operator=(const PrivateVolume&) = delete;

    bool isMounted() const { return mounted_; }
    const std::string& whyNot() const { return whyNot_; }

private:
    QByteArray folder_;
    bool mounted_ = false;
    std::string whyNot_;
};

// Runs a command to its end, at most 30 s; its standard output, or none when
// it failed.
inline std::optional<QByteArray> runCommand(const QStringList& command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// A new image file of sizeMiB with a file system made by mkfs (its command
// and options, the image added). Empty, or the step that failed.
inline std::string makeImage(const QString& image, const QStringList& mkfs, int sizeMiB)
{
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(sizeMiB) << 20))
        return "no image at " + image.toStdString();
    file.close();
    return runCommand(mkfs + QStringList { image }) ? std::string() : mkfs.first().toStdString() + " failed";
}

// A file system of 16 MiB made by mkfs (its command and options, the image
// added) in a new image file, mounted at folder through a loop device in the
// mount namespace of the calling thread. Empty, or the step that failed.
inline std::string mountImageVolume(const QString& image, const QString& folder, const QStringList& mkfs)
{
    if (std::string failed = makeImage(image, mkfs, 16); !failed.empty())
        return failed;
    if (!QDir().mkpath(folder) || !runCommand({ "mount", "-o", "loop", image, folder }))
        return "mount failed";
    return {};
}

// A file system made by mkfs in an image of the test's own, attached to a
// loop device and mounted at folder in the calling thread's own mount
// namespace. It can go away, come back through another loop device (a disk
// plugged into another port), and have the writes to its device slowed to a
// pace (the block-I/O controller's limit on the device). All undone when it
// goes. Root only.
class LoopVolume {
public:
    LoopVolume(const QString& image, const QString& folder, const QStringList& mkfs, int sizeMiB)
        : image_(image)
        , folder_(folder)
    {
        if (::geteuid() != 0) {
            whyNot_ = "a loop device needs root";
            return;
        }
        if (!inOwnMountNamespace()) {
            whyNot_ = "this machine gives the test no mount of its own";
            return;
        }
        if (std::string failed = makeImage(image, mkfs, sizeMiB); !failed.empty()) {
            whyNot_ = failed;
            return;
        }
        if (!QDir().mkpath(folder) || !mountThroughAnotherDevice())
            whyNot_ = "this machine cannot mount an image through a loop device";
    }
    ~LoopVolume()
    {
        throttleWrites(0);
        unmount();
        for (const QString& device : attached_)
            runCommand({ "losetup", "-d", device });
    }
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    // Empty when the volume was made and mounted; else why not.
    const std::string& whyNot() const { return whyNot_; }
    // The loop device it is mounted from, or was last.
    const QString& device() const { return device_; }

    bool unmount()
    {
        if (!mounted_)
            return true;
        mounted_ = ::umount2(QFile::encodeName(folder_).constData(), 0) != 0;
        return !mounted_;
    }
    // Mounted (again) through a loop device it was not on: the one it was on
    // is let go of only after, so that the next is another.
    bool mountThroughAnotherDevice()
    {
        if (!unmount())
            return false;
        const auto found = runCommand({ "losetup", "--find", "--show", image_ });
        if (!found)
            return false;
        const QString device = QString::fromLocal8Bit(*found).trimmed();
        attached_.append(device);
        for (const QString& earlier : std::exchange(attached_, { device })) {
            if (earlier != device)
                runCommand({ "losetup", "-d", earlier });
        }
        device_ = device;
        mounted_ = bool(runCommand({ "mount", device, folder_ }));
        return mounted_;
    }

    // Writes to its device limited to bytesPerSecond (0: no limit). Empty,
    // or why the machine cannot.
    std::string throttleWrites(qint64 bytesPerSecond)
    {
        const QString limits = QStringLiteral("/sys/fs/cgroup/blkio/blkio.throttle.write_bps_device");
        struct stat node { };
        if (device_.isEmpty() || ::stat(QFile::encodeName(device_).constData(), &node) != 0)
            return "no device";
        QFile file(limits);
        if (!file.open(QIODevice::WriteOnly))
            return "no block-I/O controller of cgroup v1 with write limits here (" + limits.toStdString() + ")";
        const QByteArray line = QByteArray::number(major(node.st_rdev)) + ':' + QByteArray::number(minor(node.st_rdev))
            + ' ' + QByteArray::number(bytesPerSecond) + '\n';
        if (file.write(line) != line.size() || !file.flush())
            return "the block-I/O controller refused a write limit";
        return {};
    }

    // Bytes written to its device so far, as the device counts them.
    qint64 bytesWritten() const
    {
        QFile stat(QStringLiteral("/sys/block/%1/stat").arg(device_.section(QLatin1Char('/'), -1)));
        if (!stat.open(QIODevice::ReadOnly))
            return -1;
        const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
        // Reads (four fields), then writes: their count, merges, sectors.
        return fields.size() > 6 ? fields.at(6).toLongLong() * 512 : -1;
    }

private:
    QString image_;
    QString folder_;
    QString device_;
    QStringList attached_;
    bool mounted_ = false;
    std::string whyNot_;
};

// The user that acts against the user running the program.
inline constexpr uid_t otherUser = 65534;

// In a child: it takes otherUser's rights alone, with groups as its only
// other groups. Whether it did.
inline bool becomeOtherUser(const std::vector<gid_t>& groups = {})
{
    return ::setgroups(groups.size(), groups.data()) == 0 && ::setresgid(otherUser, otherUser, otherUser) == 0
        && ::setresuid(otherUser, otherUser, otherUser) == 0;
}

// Runs body as otherUser, in a child that has only that user's rights.
inline bool asOtherUser(const std::function<bool()>& body)
{
    return exitCodeOfChild([&body] {
        if (!becomeOtherUser())
            return 2;
        return body() ? 0 : 1;
    }) == 0;
}
