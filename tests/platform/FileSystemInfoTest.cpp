#include "platform/FileSystemInfo.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>

namespace {

// The item's own attributes.
struct statx statxOf(const QString& path)
{
    struct statx status { };
    EXPECT_EQ(
        ::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &status), 0);
    return status;
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
    if (!setTestFileImmutable(path, true))
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const bool seen = isFileImmutable(path);
    const bool seenThroughLink = isFileImmutable(link);
    const std::optional<bool> reported = immutableAttributeOf(statxOf(path));
    ASSERT_TRUE(setTestFileImmutable(path, false));
    EXPECT_TRUE(seen);
    EXPECT_FALSE(seenThroughLink);
    EXPECT_FALSE(isFileImmutable(path));
    // Where statx reports the attribute, it agrees.
    EXPECT_EQ(reported.value_or(true), true);
    EXPECT_EQ(immutableAttributeOf(statxOf(path)).value_or(false), false);
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

TEST(DiskFacts, AFileJustWrittenIsCachedAndWhatCannotBeOpenedIsNot)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("fresh")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(64 * 1024, 'c'));
    file.close();
    EXPECT_TRUE(isInPageCache(file.fileName(), 64 * 1024));
    EXPECT_FALSE(isInPageCache(file.fileName(), 64 * 1024 + 1)); // beyond its end
    EXPECT_FALSE(isInPageCache(dir.filePath(QStringLiteral("missing")), 1));
    EXPECT_FALSE(isInPageCache(dir.path(), 1)); // a folder is no file
    EXPECT_FALSE(isRotationalDevice(0, 1)); // no block device behind it
}
