#include "scan/PathExclusionPredicate.h"
#include "base/UserDefaults.h"
#include "support/PathRows.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

FilePathNodePtr row(const QString& path, int state = 1)
{
    return pathRow(path, state);
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

TEST(DirExclusion, AFolderExcludesItselfAndWhatLiesBelowItExactly)
{
    struct Case {
        QStringList folders;
        QString path;
        bool excluded;
    };
    const QString odd = QStringLiteral("/data/odd (1)|[x]+.*\\");
    const std::vector<Case> cases {
        { { "/a/b" }, "/a/b", true },
        { { "/a/b" }, "/a/b/c", true },
        { { "/a/b" }, "/a/b/line\nbreak", true },
        { { "/a/b" }, "/a/bc", false },
        { { "/a/b" }, "/a", false },
        { { "/a/b" }, "/x/a/b", false },
        // Letter case tells folders apart here, as it does for the walk.
        { { "/a/Backup" }, "/a/backup/f", false },
        { { "/a/Backup" }, "/a/Backup/f", true },
        { { odd }, odd + "/f", true },
        { { odd }, "/data/odd (1)|[x]+..", false },
        { { "/a/b/", "/q//r/./s" }, "/a/b", true },
        { { "/a/b/", "/q//r/./s" }, "/q/r/s/t", true },
        { { "/" }, "/home/user/file", true },
        // Mounted volumes' system folders mean nothing here.
        { { "/off" }, "/Volumes/X/Library/Caches", false },
    };
    for (const Case& c : cases) {
        std::vector<FilePathNodePtr> rows;
        for (const QString& folder : c.folders)
            rows.push_back(row(folder, 0)); // unchecked local rows exclude too
        const auto predicate = makeDirExclusionPredicate(rows);
        ASSERT_TRUE(predicate);
        EXPECT_EQ(predicate->evaluateWithObject(c.path), c.excluded) << c.path.toStdString();
    }
}

TEST(DirExclusion, AnEntryOfAnIncludedFolderIsExcludedOnlyByItsOwnPath)
{
    const auto predicate = makeDirExclusionPredicate({ row(QStringLiteral("/a/b/")), row(QStringLiteral("/a/c")) });
    ASSERT_TRUE(predicate);
    for (const char* path : { "/a/b", "/a/c" })
        EXPECT_TRUE(predicate->evaluateEntryOfIncludedFolder(QLatin1String(path))) << path;
    // Whatever lies below an excluded folder is never asked about: the walk
    // does not enter the folder.
    for (const char* path : { "/a/bc", "/a/c/d", "/a", "" })
        EXPECT_FALSE(predicate->evaluateEntryOfIncludedFolder(QLatin1String(path))) << path;
    const auto everything = makeDirExclusionPredicate({ row(QStringLiteral("/")) });
    ASSERT_TRUE(everything);
    EXPECT_TRUE(everything->evaluateEntryOfIncludedFolder(QStringLiteral("/home/f")));
}

TEST(DirExclusion, EveryFolderOfALongListHolds)
{
    std::vector<FilePathNodePtr> rows;
    for (int i = 0; i < 5000; ++i)
        rows.push_back(row(QStringLiteral("/home/someone/Projects/archive-%1/build output").arg(i)));
    for (const char* system : { "/proc", "/sys", "/dev" })
        rows.push_back(row(QString::fromLatin1(system)));
    const auto predicate = makeDirExclusionPredicate(rows);
    ASSERT_TRUE(predicate);
    for (const FilePathNodePtr& excluded : rows)
        ASSERT_TRUE(predicate->evaluateWithObject(*excluded->filePath + QStringLiteral("/x")))
            << excluded->filePath->toStdString();
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/proc/self/pagemap")));
    EXPECT_FALSE(predicate->evaluateWithObject(QStringLiteral("/home/someone/Projects/archive-5000/build output")));
}

TEST(DirExclusion, EmptyAndBlankEntriesExcludeNothing)
{
    EXPECT_FALSE(makeDirExclusionPredicate({}));
    EXPECT_FALSE(makeDirExclusionPredicate({ row(QString()), row(QStringLiteral(" \t")) }));
    const auto predicate
        = makeDirExclusionPredicate({ row(QString()), row(QStringLiteral("  ")), row(QStringLiteral("/a")) });
    ASSERT_TRUE(predicate);
    EXPECT_TRUE(predicate->evaluateWithObject(QStringLiteral("/a/x")));
    EXPECT_FALSE(predicate->evaluateWithObject(QStringLiteral("/home/x")));
    EXPECT_FALSE(predicate->evaluateWithObject(QString()));
}

TEST(CloudDirExclusion, OnlyCheckedRowsExcludeAndDriveRowsUseAbsolutePaths)
{
    EXPECT_FALSE(makeCloudDirExclusionPredicate(ScanSource::dropbox, {}));
    const auto none = makeCloudDirExclusionPredicate(ScanSource::dropbox, { row(QStringLiteral("/Photos"), 0) });
    ASSERT_TRUE(none); // a predicate that excludes nothing
    EXPECT_FALSE(none->evaluateWithObject(QStringLiteral("/Photos/a.jpg")));

    const auto cloud = makeCloudDirExclusionPredicate(
        ScanSource::box, { driveRow(QStringLiteral("/Drive")), row(QStringLiteral("/Work")) });
    ASSERT_TRUE(cloud); // these services ignore letter case
    EXPECT_TRUE(cloud->evaluateWithObject(QStringLiteral("/work/x")));
    EXPECT_FALSE(cloud->evaluateWithObject(QStringLiteral("/Drive/x")));

    const auto drive = makeCloudDirExclusionPredicate(
        ScanSource::googleDrive, { driveRow(QStringLiteral("/My Drive/Old")), row(QStringLiteral("/Work")) });
    ASSERT_TRUE(drive);
    EXPECT_TRUE(drive->evaluateWithObject(QStringLiteral("/My Drive/Old/a")));
    EXPECT_FALSE(drive->evaluateWithObject(QStringLiteral("/My Drive/old/a")));
    EXPECT_FALSE(drive->evaluateWithObject(QStringLiteral("/Work/a")));
}

TEST(SizeLimits, UnitsScaleAndOddValuesFallBackOrSaturate)
{
    struct Case {
        QVariantMap stored;
        bool any;
        quint64 minimum;
        quint64 maximum;
    };
    constexpr quint64 fiveGB = 5000000000ULL;
    const std::vector<Case> cases {
        { {}, true, 0, fiveGB },
        { { { "minimumFileSize", 2 }, { "fileSizeUnit", 2 } }, true, 2000000, fiveGB },
        { { { "minimumFileSize", 2 }, { "fileSizeUnit", 7 } }, true, 2, fiveGB }, // unknown unit: bytes
        { { { "minimumFileSize", 2 }, { "fileSizeUnit", "2" } }, true, 2000, fiveGB }, // mistyped: registered unit
        { { { "ScanFileOfAnyFileSize", "no" }, { "maximumFileSize", "lots" } }, true, 0, fiveGB },
        { { { "ScanFileOfAnyFileSize", false }, { "maximumFileSize", 20000000000LL } }, false, 0, ~0ULL },
        { { { "minimumFileSize", -4 } }, true, 0, fiveGB },
        { { { "minimumFileSize", 1.5 } }, true, 1000, fiveGB },
    };
    for (const Case& c : cases) {
        QTemporaryDir folder;
        UserDefaults defaults(folder.path());
        defaults.registerDefaults({ { "ScanFileOfAnyFileSize", true }, { "minimumFileSize", 0 }, { "fileSizeUnit", 1 },
            { "maximumFileSize", 5 }, { "fileSizeUnitForMax", 3 } });
        for (auto it = c.stored.constBegin(); it != c.stored.constEnd(); ++it)
            defaults.setValue(it.key(), it.value());
        const FileSizeLimits limits = readFileSizeLimits(defaults);
        const std::string label = QStringList(c.stored.keys()).join(' ').toStdString();
        EXPECT_EQ(limits.scanAnyFileSize, c.any) << label;
        EXPECT_EQ(limits.minimumFileSizeBytes, c.minimum) << label;
        EXPECT_EQ(limits.maximumFileSizeBytes, c.maximum) << label;
    }
}
