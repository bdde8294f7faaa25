#include "core/DriveFile.h"
#include "core/DropboxFileMetadata.h"
#include "core/DuplicateGroup.h"
#include "core/FilePathNode.h"
#include "core/PhotosNode.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {
QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}
} // namespace

TEST(ScanRecords, FreshRecordsHoldTheDefaultsLaterStepsRelyOn)
{
    const FileInfoNode file;
    EXPECT_FALSE(file.fileCategory.has_value()); // absent, not Others
    EXPECT_TRUE(file.fileExtension.isEmpty());
    EXPECT_TRUE(file.folderPath.isEmpty());
    EXPECT_EQ(file.fileSize, 0u);
    EXPECT_FALSE(file.state.has_value());
    EXPECT_FALSE(file.isMd5Calucaluted);
    EXPECT_FALSE(file.md5.has_value());

    const FilePathNode row;
    EXPECT_EQ(row.state, -1);
    EXPECT_TRUE(row.isIncludeSubFolders);
    EXPECT_EQ(row.nodeType, GlobalObjects::NodeType::nodeTypefile);

    const DuplicateGroup group;
    EXPECT_EQ(group.state, 0);
    EXPECT_EQ(group.groupSize, 0u);
}

TEST(ScanRecords, PhotosItemFieldsDropTheThumbnailPath)
{
    PhotosNode node;
    node.initWithPhotosOriginalPath("/lib/originals/a.jpg", "/lib/thumbs/a.jpg", "a.jpg", 1234, "uuid", "model",
                                    "version", "/lib");
    EXPECT_FALSE(node.tPath.has_value());
    EXPECT_EQ(node.isMovedToTrashAlbum, false);
    EXPECT_FALSE(node.hasDescriptionForPhotosDup.has_value());
    EXPECT_EQ(node.fileSize, 1234u);
    EXPECT_EQ(node.uuIDRkVersion, QStringLiteral("version"));
}

TEST(ScanRecords, JoiningAGroupAddsSizeAndABackLinkThatDoesNotOwn)
{
    auto group = std::make_shared<DuplicateGroup>();
    auto a = std::make_shared<FileInfoNode>();
    a->fileSize = 10;
    auto b = std::make_shared<FileInfoNode>();
    b->fileSize = 32;
    addFileToGroup(group, a);
    addFileToGroup(group, b);
    EXPECT_EQ(group->groupSize, 42u);
    EXPECT_EQ(a->parent.lock(), group);

    std::weak_ptr<DuplicateGroup> watch = group;
    group.reset();
    EXPECT_TRUE(watch.expired()); // members do not keep their group alive
    EXPECT_EQ(a->parent.lock(), nullptr);
}

TEST(DriveFileJson, ReadsTheFieldsTheRecordsUse)
{
    const auto file = DriveFile::fromJson(json(R"({
        "id": "abc", "name": "IMG 1.JPG", "size": "6000000000", "md5Checksum": "0123abcd",
        "createdTime": "2023-01-02T03:04:05.678Z", "modifiedTime": "2023-02-03T04:05:06Z",
        "mimeType": "image/jpeg", "fileExtension": "JPG", "thumbnailLink": "https://t/1",
        "imageMediaMetadata": {"cameraMake": "Maker", "width": 4000, "height": 3000, "flashUsed": true,
                               "exposureTime": 0.008, "isoSpeed": 200}})"));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->identifier, QStringLiteral("abc"));
    EXPECT_EQ(file->size, 6000000000ull); // sizes arrive as text and exceed 32 bits
    EXPECT_EQ(file->createdTime->toMSecsSinceEpoch() % 1000, 678);
    EXPECT_EQ(file->modifiedTime->timeSpec(), Qt::UTC);
    ASSERT_TRUE(file->imageMediaMetadata.has_value());
    EXPECT_EQ(file->imageMediaMetadata->width, 4000);
    EXPECT_EQ(file->imageMediaMetadata->flashUsed, true);
    EXPECT_FALSE(file->imageMediaMetadata->exposureBias.has_value());
    EXPECT_FALSE(file->isFolder());
}

TEST(DriveFileJson, MistypedOrMissingFieldsStayAbsent)
{
    EXPECT_FALSE(DriveFile::fromJson(json(R"({"name": "no id"})")).has_value());
    const auto file = DriveFile::fromJson(json(R"({"id": "x", "size": "-5", "modifiedTime": "yesterday",
        "name": 7, "mimeType": "application/vnd.google-apps.folder", "imageMediaMetadata": "none"})"));
    ASSERT_TRUE(file.has_value());
    EXPECT_FALSE(file->size.has_value());
    EXPECT_FALSE(file->modifiedTime.has_value());
    EXPECT_TRUE(file->name.isEmpty());
    EXPECT_FALSE(file->imageMediaMetadata.has_value());
    EXPECT_TRUE(file->isFolder());
}

TEST(DropboxJson, OnlyFilesWithNameAndPathBecomeEntries)
{
    const auto entry = DropboxFileMetadata::fromJson(json(R"({".tag": "file", "name": "a.txt",
        "path_display": "/Docs/a.txt", "id": "id:1", "size": 12, "content_hash": "ff",
        "client_modified": "2020-05-06T07:08:09Z", "server_modified": "2020-05-06T07:08:10Z"})"));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->pathDisplay, QStringLiteral("/Docs/a.txt"));
    EXPECT_EQ(entry->size, 12u);
    EXPECT_EQ(entry->contentHash, QStringLiteral("ff"));
    EXPECT_EQ(entry->clientModified, QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9), Qt::UTC));

    EXPECT_FALSE(DropboxFileMetadata::fromJson(json(R"({".tag": "folder", "name": "d", "path_display": "/d"})")));
    EXPECT_FALSE(DropboxFileMetadata::fromJson(json(R"({".tag": "file", "name": "a"})")));
    const auto noHash = DropboxFileMetadata::fromJson(json(R"({".tag": "file", "name": "a", "path_display": "/a"})"));
    ASSERT_TRUE(noHash.has_value());
    EXPECT_FALSE(noHash->contentHash.has_value());
}
