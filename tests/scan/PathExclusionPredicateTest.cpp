#include "scan/PathExclusionPredicate.h"
#include "base/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

namespace {

FilePathNodePtr row(const QString& path, int state = 1)
{
    auto node = std::make_shared<FilePathNode>();
    node->filePath = path;
    node->state = state;
    return node;
}

FilePathNodePtr driveRow(const QString& absolutePath, int state = 1)
{
    auto node = std::make_shared<FilePathNode>();
    node->state = state;
    node->gdFolder = std::make_shared<GDFoldersList>();
    node->gdFolder->folderAbsPath = absolutePath;
    return node;
}

} // namespace

TEST(DirExclusion, AFolderExcludesItselfAndWhatLiesBelowIt)
{
    const auto predicate = makeDirExclusionPredicate({ row(QStringLiteral("/a/b")) });
    ASSERT_TRUE(predicate);
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/a/b")));
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/a/b/c")));
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/A/B/C"))); // excluding more is the safe side
    EXPECT_FALSE(predicate->evaluateWithObject(QStringLiteral("/a/bc")));
    EXPECT_FALSE(predicate->evaluateWithObject(QStringLiteral("/a")));
    EXPECT_FALSE(predicate->evaluateWithObject(QStringLiteral("/x/a/b")));
    // A name below it may hold a line break.
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/a/b/line\nbreak")));
}

TEST(DirExclusion, NoRowsNoPredicateAndUncheckedLocalRowsStillExclude)
{
    EXPECT_FALSE(makeDirExclusionPredicate({}));
    const auto predicate = makeDirExclusionPredicate({ row(QStringLiteral("/off"), 0) });
    ASSERT_TRUE(predicate);
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/off/x")));
    // Mounted volumes' system folders mean nothing here.
    EXPECT_FALSE(predicate->evaluateWithObject(QStringLiteral("/Volumes/X/Library/Caches")));
}

TEST(DirExclusion, MetacharactersInNamesAreLiteral)
{
    const auto predicate
        = makeDirExclusionPredicate({ row(QStringLiteral("/data/odd (1)|[x]+.*")), row(QStringLiteral("/q")) });
    ASSERT_TRUE(predicate);
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/data/odd (1)|[x]+.*/f")));
    EXPECT_FALSE(predicate->evaluateWithObject(QStringLiteral("/data/odd 1")));
    EXPECT_FALSE(predicate->evaluateWithObject(QStringLiteral("/data/odd (1)|[x]+..")));
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/q/anything")));
}

TEST(DirExclusion, TrailingSlashesAndTheRootAreNormalised)
{
    const auto slash = makeDirExclusionPredicate({ row(QStringLiteral("/a/b/")) });
    ASSERT_TRUE(slash);
    EXPECT_TRUE(slash->evaluateWithObject(QStringLiteral("/a/b/c")));
    EXPECT_TRUE(slash->evaluateWithObject(QStringLiteral("/a/b")));
    const auto root = makeDirExclusionPredicate({ row(QStringLiteral("/")) });
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->evaluateWithObject(QStringLiteral("/")));
    EXPECT_TRUE(root->evaluateWithObject(QStringLiteral("/home/user/file")));
}

TEST(CloudDirExclusion, OnlyCheckedRowsExcludeAndDriveRowsUseAbsolutePaths)
{
    EXPECT_FALSE(makeCloudDirExclusionPredicate(ScanSource::dropbox, {}, {}));
    const auto none = makeCloudDirExclusionPredicate(ScanSource::dropbox, {}, { row(QStringLiteral("/Photos"), 0) });
    ASSERT_TRUE(none); // a predicate that excludes nothing
    EXPECT_FALSE(none->evaluateWithObject(QStringLiteral("/Photos/a.jpg")));

    const auto cloud = makeCloudDirExclusionPredicate(
        ScanSource::box, { driveRow(QStringLiteral("/Drive")) }, { row(QStringLiteral("/Work")) });
    ASSERT_TRUE(cloud);
    EXPECT_TRUE(cloud->evaluateWithObject(QStringLiteral("/work/x")));
    EXPECT_FALSE(cloud->evaluateWithObject(QStringLiteral("/Drive/x")));

    const auto drive = makeCloudDirExclusionPredicate(
        ScanSource::googleDrive, { driveRow(QStringLiteral("/My Drive/Old")) }, { row(QStringLiteral("/Work")) });
    ASSERT_TRUE(drive);
    EXPECT_TRUE(drive->evaluateWithObject(QStringLiteral("/My Drive/Old/a")));
    EXPECT_FALSE(drive->evaluateWithObject(QStringLiteral("/Work/a")));
}

class SizeLimits : public ::testing::Test {
protected:
    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };

    void SetUp() override
    {
        defaults.registerDefaults({ { QStringLiteral("ScanFileOfAnyFileSize"), true },
            { QStringLiteral("minimumFileSize"), 0 }, { QStringLiteral("fileSizeUnit"), 1 },
            { QStringLiteral("maximumFileSize"), 5 }, { QStringLiteral("fileSizeUnitForMax"), 3 } });
    }
};

TEST_F(SizeLimits, DefaultsGiveZeroToFiveGigabytes)
{
    const FileSizeLimits limits = readFileSizeLimits(defaults);
    EXPECT_TRUE(limits.scanAnyFileSize);
    EXPECT_EQ(limits.minimumFileSizeBytes, 0u);
    EXPECT_EQ(limits.maximumFileSizeBytes, 5000000000ULL);
}

TEST_F(SizeLimits, UnitCodesScaleAndUnknownCodesMeanBytes)
{
    defaults.setValue(QStringLiteral("minimumFileSize"), 2);
    defaults.setValue(QStringLiteral("fileSizeUnit"), 2);
    EXPECT_EQ(readFileSizeLimits(defaults).minimumFileSizeBytes, 2000000u);
    for (int code : { 0, 7 }) {
        defaults.setValue(QStringLiteral("fileSizeUnit"), code);
        EXPECT_EQ(readFileSizeLimits(defaults).minimumFileSizeBytes, 2u) << code;
    }
    defaults.setValue(QStringLiteral("fileSizeUnit"), QStringLiteral("2"));
    EXPECT_EQ(readFileSizeLimits(defaults).minimumFileSizeBytes, 2u);
}

TEST_F(SizeLimits, MissingOrMistypedValuesFallBack)
{
    defaults.registerDefaults({ { QStringLiteral("maximumFileSize"), QVariant() } });
    defaults.setValue(QStringLiteral("maximumFileSize"), QStringLiteral("lots"));
    defaults.setValue(QStringLiteral("ScanFileOfAnyFileSize"), QStringLiteral("yes"));
    const FileSizeLimits limits = readFileSizeLimits(defaults);
    EXPECT_FALSE(limits.scanAnyFileSize);
    EXPECT_EQ(limits.maximumFileSizeBytes, 0u);
}

TEST_F(SizeLimits, HugeValuesSaturateInsteadOfWrapping)
{
    defaults.setValue(QStringLiteral("maximumFileSize"), 20000000000LL);
    defaults.setValue(QStringLiteral("fileSizeUnitForMax"), 3);
    EXPECT_EQ(readFileSizeLimits(defaults).maximumFileSizeBytes, std::numeric_limits<quint64>::max());
    defaults.setValue(QStringLiteral("minimumFileSize"), -4);
    EXPECT_EQ(readFileSizeLimits(defaults).minimumFileSizeBytes, 0u);
    defaults.setValue(QStringLiteral("minimumFileSize"), 1.5);
    defaults.setValue(QStringLiteral("fileSizeUnit"), 1);
    EXPECT_EQ(readFileSizeLimits(defaults).minimumFileSizeBytes, 1000u);
}
