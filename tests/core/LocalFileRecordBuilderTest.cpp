#include "core/LocalFileRecordBuilder.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Takes every file of any size and type.
ScanSettingsSnapshot takeEverything()
{
    ScanSettingsSnapshot settings;
    settings.scanCategoryFlags.fill(true);
    settings.isAllFileTypesSelected = true;
    settings.scanAnyFileSize = true;
    return settings;
}

std::optional<FileInfoNode> recordOf(const QString& path)
{
    FileInfoNode record;
    if (!makeLocalFileInfoNode(record, path, QString(), takeEverything()))
        return std::nullopt;
    return record;
}

} // namespace

TEST(LocalFileRecords, ALockedFileIsLockedButALinkToItIsNot)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("locked.txt"));
    const QString plain = dir.filePath(QStringLiteral("plain.txt"));
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    writeTestFile(locked, "locked");
    writeTestFile(plain, "plain");
    ASSERT_TRUE(QFile::link(locked, link));
    if (!setTestFileImmutable(locked, true))
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const std::optional<FileInfoNode> lockedRecord = recordOf(locked);
    const std::optional<FileInfoNode> linkRecord = recordOf(link);
    const std::optional<FileInfoNode> plainRecord = recordOf(plain);
    ASSERT_TRUE(setTestFileImmutable(locked, false));

    ASSERT_TRUE(lockedRecord && linkRecord && plainRecord);
    EXPECT_TRUE(lockedRecord->isLocked);
    EXPECT_FALSE(linkRecord->isLocked);
    EXPECT_FALSE(plainRecord->isLocked);
    // The link counts as its target, on a local disk.
    EXPECT_EQ(linkRecord->inode, lockedRecord->inode);
    EXPECT_FALSE(lockedRecord->isNetworkDrive);
    EXPECT_FALSE(linkRecord->isNetworkDrive);
}
