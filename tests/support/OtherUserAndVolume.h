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
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

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
        static thread_local const bool ownNamespace = ::unshare(CLONE_NEWNS) == 0
            && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        if (!ownNamespace || !QDir().mkpath(folder)
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

// A file system of 16 MiB made by mkfs (its command and options, the image
// added) in a new image file, mounted at folder through a loop device in the
// mount namespace of the calling thread. Empty, or the step that failed.
inline std::string mountImageVolume(const QString& image, const QString& folder, const QStringList& mkfs)
{
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(16 << 20) || !QDir().mkpath(folder))
        return "no image at " + image.toStdString();
    file.close();
    for (const QStringList& command :
        { mkfs + QStringList { image }, QStringList { "mount", "-o", "loop", image, folder } }) {
        QProcess process;
        process.start(command.first(), command.mid(1));
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return command.first().toStdString() + " failed";
    }
    return {};
}

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
