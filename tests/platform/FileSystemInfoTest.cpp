#include "platform/FileSystemInfo.h"
#include "core/FileUtilities.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Sets or clears the immutable attribute; false when this system or user may
// not change it.
bool setImmutable(const QString& path, bool immutable)
{
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    int flags = 0;
    if (!fd.isOpen() || ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0)
        return false;
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    return ::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0;
}

} // namespace

TEST(FileImmutability, OrdinaryMissingAndSpecialItemsAreNotImmutable)
{
    QTemporaryDir dir;
    writeTestFile(dir.filePath(QStringLiteral("plain")), "x");
    makeTestFifo(dir.filePath(QStringLiteral("pipe")));
    EXPECT_FALSE(isFileImmutable(dir.filePath(QStringLiteral("plain"))));
    EXPECT_FALSE(isFileImmutable(dir.path()));
    EXPECT_FALSE(isFileImmutable(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(isFileImmutable(dir.filePath(QStringLiteral("pipe"))));
    EXPECT_FALSE(isFileImmutable(QString()));
}

TEST(FileImmutability, ImmutableAttributeIsSeenOnTheFileButNotThroughALink)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked"));
    writeTestFile(path, "x");
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(path, link));
    if (!setImmutable(path, true))
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const bool seen = isFileImmutable(path);
    const bool seenThroughLink = isFileImmutable(link);
    ASSERT_TRUE(setImmutable(path, false));
    EXPECT_TRUE(seen);
    EXPECT_FALSE(seenThroughLink);
    EXPECT_FALSE(isFileImmutable(path));
}

TEST(NetworkVolumes, FileSystemTypesThatReachOtherMachines)
{
    using FileSystemInfoDetail::isNetworkFileSystemType;
    for (const char* type : { "nfs", "nfs4", "cifs", "smb3", "9p", "ceph", "fuse.sshfs", "fuse.rclone", "fuse.s3fs",
             "fuse.gvfsd-fuse", "NFS4" })
        EXPECT_TRUE(isNetworkFileSystemType(QString::fromLatin1(type))) << type;
    for (const char* type : { "ext4", "btrfs", "xfs", "tmpfs", "vfat", "fuseblk", "fuseblk.ntfs-3g", "fuse.exfat",
             "fuse.portal", "overlay", "" })
        EXPECT_FALSE(isNetworkFileSystemType(QString::fromLatin1(type))) << type;
}

TEST(NetworkVolumes, MountTableGivesTheTypeOfADevice)
{
    const QByteArray mountInfo = "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
                                 "40 27 0:45 / /mnt/share rw,relatime shared:5 - nfs4 server:/export rw,vers=4.2\n"
                                 "41 27 0:46 / /home/me/remote rw,nosuid master:1 - fuse.sshfs me@host: rw\n"
                                 "29 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n";
    using FileSystemInfoDetail::fileSystemTypeOfDevice;
    EXPECT_EQ(fileSystemTypeOfDevice(mountInfo, 0, 45), QStringLiteral("nfs4"));
    EXPECT_EQ(fileSystemTypeOfDevice(mountInfo, 0, 46), QStringLiteral("fuse.sshfs"));
    EXPECT_EQ(fileSystemTypeOfDevice(mountInfo, 8, 1), QStringLiteral("ext4"));
    EXPECT_EQ(fileSystemTypeOfDevice(mountInfo, 8, 2), std::nullopt);
    EXPECT_EQ(fileSystemTypeOfDevice("garbage line\n\n", 0, 0), std::nullopt);
}

TEST(NetworkVolumes, LocalAndMissingItemsAreNotOnTheNetwork)
{
    QTemporaryDir dir;
    writeTestFile(dir.filePath(QStringLiteral("local")), "x");
    EXPECT_FALSE(isNetworkVolume(dir.filePath(QStringLiteral("local"))));
    EXPECT_FALSE(isNetworkVolume(dir.filePath(QStringLiteral("local")))); // the remembered answer
    EXPECT_FALSE(isNetworkVolume(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(isNetworkVolume(QString()));
}
