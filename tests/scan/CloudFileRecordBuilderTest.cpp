#include "scan/CloudFileRecordBuilder.h"
#include "core/ExifInfo.h"

#include <gtest/gtest.h>

namespace {

using Category = GlobalObjects::FileCategory;

ScanSettingsSnapshot cloudSettings()
{
    ScanSettingsSnapshot s;
    s.scanCategoryFlags.fill(true);
    s.isAllFileTypesSelected = true;
    s.scanAnyFileSize = true;
    s.categoryTables.includePictureExtensions = { QStringLiteral("jpg") };
    s.categoryTables.includeCustomExtensions = { QStringLiteral("xyz") };
    s.categoryTables.excludeCustomExtensions = { QStringLiteral("jpg") };
    s.categoryTables.excludeDocumentExtensions = { QStringLiteral("tmp") };
    return s;
}

} // namespace

TEST(CloudRecordFilters, SizeThresholdDateAndTypeDecide)
{
    const QDateTime limit = QDateTime::fromString(QStringLiteral("2024-01-01T00:00:00Z"), Qt::ISODate);
    struct Case {
        const char* name;
        const char* path;
        quint64 size;
        std::pair<qint64, qint64> threshold;
        std::function<void(ScanSettingsSnapshot&)> adjust;
        bool taken;
        std::optional<Category> category;
    };
    const std::vector<Case> cases {
        { "picture", "Dropbox/a/p.JPG", 10, { 0, 1 }, {}, true, Category::Pic },
        { "size equal to the tiny threshold", "a/p.jpg", 1000, { 1000, 2 }, {}, false, std::nullopt },
        { "one byte above the threshold", "a/p.jpg", 1001, { 1000, 2 }, {}, true, Category::Pic },
        { "only in a Custom table is Others", "a/f.xyz", 5, { 0, 1 }, {}, true, Category::Others },
        { "Custom exclusion does not count", "a/p.jpg", 5, { 0, 1 }, {}, true, Category::Pic },
        { "excluded extension", "a/f.tmp", 5, { 0, 1 }, {}, false, std::nullopt },
        { "category switched off", "a/p.jpg", 5, { 0, 1 }, [](auto& s) { s.scanCategoryFlags[1] = false; }, false,
            Category::Pic },
        { "modified after the date limit", "a/p.jpg", 5, { 0, 1 },
            [limit](auto& s) {
                s.dateFilterOption = 3;
                s.modifiedDateFilter = limit.addDays(-1);
            },
            false, std::nullopt },
    };
    for (const Case& c : cases) {
        ScanSettingsSnapshot settings = cloudSettings();
        if (c.adjust)
            c.adjust(settings);
        FileInfoNode record;
        record.filePath = QString::fromUtf8(c.path);
        record.fileSize = c.size;
        record.modDate = limit;
        EXPECT_EQ(makeCloudFileInfoNode(record, settings, c.threshold), c.taken) << c.name;
        if (c.category || c.taken) {
            EXPECT_EQ(record.fileCategory, c.category) << c.name;
        }
    }
}

TEST(CloudRecordFilters, DriveItemsUseTheirOwnExtensionAndNeedASize)
{
    DriveFile item;
    item.name = QStringLiteral("photo.jpg");
    item.size = 2048;
    item.md5Checksum = QStringLiteral("abc");
    FileInfoNode withoutExtension;
    EXPECT_TRUE(makeGoogleDriveFileInfoNode(withoutExtension, item, cloudSettings()));
    EXPECT_EQ(withoutExtension.fileCategory, Category::Others);

    item.fileExtension = QStringLiteral("JPG");
    item.imageMediaMetadata = DriveImageMediaMetadata {};
    FileInfoNode picture;
    ASSERT_TRUE(makeGoogleDriveFileInfoNode(picture, item, cloudSettings()));
    EXPECT_EQ(picture.fileSize, 2048u);
    EXPECT_EQ(picture.md5, QStringLiteral("abc"));
    ASSERT_TRUE(picture.exifInfo());
    EXPECT_EQ(picture.exifInfo()->imageSize, QStringLiteral("0 x 0"));
    EXPECT_EQ(picture.exifInfo()->exposureBias, QStringLiteral("0"));
    EXPECT_FALSE(picture.filePath);

    item.size.reset();
    FileInfoNode document;
    EXPECT_FALSE(makeGoogleDriveFileInfoNode(document, item, cloudSettings()));
}
