#include "platform/FileSystemInfo.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>

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

TEST(FileImmutability, SeenOnTheFileButNotThroughALinkNorOnSpecialItems)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked"));
    writeTestFile(path, "x");
    makeTestFifo(dir.filePath(QStringLiteral("pipe")));
    ASSERT_TRUE(QFile::link(path, dir.filePath(QStringLiteral("link"))));
    for (const QString& item : { path, dir.path(), dir.filePath(QStringLiteral("pipe")), QString() })
        EXPECT_FALSE(isFileImmutable(item)) << item.toStdString();
    if (!setTestFileImmutable(path, true))
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const bool seen = isFileImmutable(path);
    const bool seenThroughLink = isFileImmutable(dir.filePath(QStringLiteral("link")));
    const std::optional<bool> reported = immutableAttributeOf(statxOf(path));
    ASSERT_TRUE(setTestFileImmutable(path, false));
    EXPECT_TRUE(seen);
    EXPECT_FALSE(seenThroughLink);
    EXPECT_EQ(reported.value_or(true), true); // where statx reports it, it agrees
}

TEST(NetworkVolumes, MountsSharingADeviceNumberKeepTheirOwnAnswers)
{
    // An unmounted share's device number goes at once to the next mount.
    const QByteArray mountInfo = "40 27 0:45 / /mnt/share rw,relatime shared:5 - nfs4 server:/export rw\n"
                                 "41 27 0:45 / /mnt/scratch rw,nosuid - tmpfs tmpfs rw\n"
                                 "42 27 0:46 / /home/me/remote rw master:1 - fuse.sshfs me@host: rw\n";
    using FileSystemInfoDetail::fileSystemTypeOfMount;
    EXPECT_EQ(fileSystemTypeOfMount(mountInfo, 40), QStringLiteral("nfs4"));
    EXPECT_EQ(fileSystemTypeOfMount(mountInfo, 41), QStringLiteral("tmpfs"));
    EXPECT_EQ(fileSystemTypeOfMount(mountInfo, 42), QStringLiteral("fuse.sshfs"));
    EXPECT_EQ(fileSystemTypeOfMount(mountInfo, 27), std::nullopt);
    EXPECT_EQ(fileSystemTypeOfMount("garbage line\n\n", 0), std::nullopt);
    EXPECT_TRUE(FileSystemInfoDetail::isNetworkFileSystemType(QStringLiteral("FUSE.sshfs")));
    EXPECT_FALSE(FileSystemInfoDetail::isNetworkFileSystemType(QStringLiteral("fuseblk.ntfs-3g")));

    // A mount id too is reused once its mount is gone: a changed table
    // forgets every answer.
    FileSystemInfoDetail::MountAnswers answers;
    quint64 before = 0, after = 0;
    EXPECT_EQ(answers.find(40, false, before), std::nullopt);
    answers.remember(40, true, before);
    EXPECT_EQ(answers.find(40, false, before), true);
    EXPECT_EQ(answers.find(40, true, after), std::nullopt);
    // An answer examined before the change, handed in after it, is dropped.
    answers.remember(40, true, before);
    EXPECT_EQ(answers.find(40, false, after), std::nullopt);
}

TEST(NetworkVolumes, LocalAndMissingItemsAreNotOnTheNetwork)
{
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("local"));
    writeTestFile(local, "x");
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self"), link));
    struct statx status { };
    ASSERT_EQ(::statx(AT_FDCWD, QFile::encodeName(local).constData(), AT_SYMLINK_NOFOLLOW,
                  STATX_BASIC_STATS | STATX_MNT_ID, &status),
        0);
    EXPECT_FALSE(isNetworkVolume(local));
    EXPECT_FALSE(isNetworkVolume(local, status));
    EXPECT_FALSE(isNetworkVolume(link));
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

// Only a local file system that stamps the change time itself vouches for
// it; FAT, exFAT, FUSE, network file systems and anything unknown do not.
TEST(FileTimes, OnlyFileSystemsStampingTheirOwnChangeTimeVouchForIt)
{
    using FileSystemInfoDetail::keepsOwnChangeTime;
    EXPECT_TRUE(keepsOwnChangeTime(EXT4_SUPER_MAGIC) && keepsOwnChangeTime(BTRFS_SUPER_MAGIC));
    for (const unsigned long magic : std::initializer_list<unsigned long> { MSDOS_SUPER_MAGIC, EXFAT_SUPER_MAGIC,
             FUSE_SUPER_MAGIC, NFS_SUPER_MAGIC, CIFS_SUPER_MAGIC, PROC_SUPER_MAGIC })
        EXPECT_FALSE(keepsOwnChangeTime(magic)) << std::hex << magic;
    const FileTimeFacts& machine = systemFileTimeFacts();
    EXPECT_EQ(machine.keepsOwnChangeTime(QStringLiteral("/proc/self/status")), false);
    EXPECT_EQ(machine.keepsOwnChangeTime(QStringLiteral("/nonexistent/file")), std::nullopt);
}
