#include "core/DriveFile.h"
#include "core/DropboxFileMetadata.h"
#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {
QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}
} // namespace

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
    group.reset();
    EXPECT_EQ(a->parent.lock(), nullptr); // members do not keep their group alive
}

TEST(ScanRecords, ASmallGroupsListsHoldNoSparePlaces)
{
    auto group = std::make_shared<DuplicateGroup>();
    std::vector<FileInfoNodePtr> files;
    for (std::size_t count = 1; count <= 20; ++count) {
        files.push_back(std::make_shared<FileInfoNode>());
        addFileToGroup(group, files.back());
        if (count <= 8) {
            EXPECT_EQ(group->children.capacity(), count);
            EXPECT_EQ(group->filterChildren.capacity(), count);
        }
    }
    EXPECT_EQ(group->children, files);
    EXPECT_EQ(group->filterChildren, files);
}

TEST(ScanRecords, PriorityListsHoldEachFolderWithoutCaseAndEachFormatOnceInResultOrder)
{
    const auto file = [](std::optional<QString> path, const QString& extension) {
        auto record = std::make_shared<FileInfoNode>();
        if (path)
            record->filePath = *path;
        record->fileExtension = extension;
        return record;
    };
    auto first = std::make_shared<DuplicateGroup>();
    addFileToGroup(first, file(QStringLiteral("/Pics/B/x.JPG"), QStringLiteral("JPG")));
    addFileToGroup(first, file(QStringLiteral("/pics/b/x.jpg"), QStringLiteral("jpg")));
    addFileToGroup(first, file(QStringLiteral("/root.txt"), QStringLiteral("txt")));
    auto second = std::make_shared<DuplicateGroup>();
    addFileToGroup(second, file(QStringLiteral("bare.txt"), QStringLiteral("txt")));
    addFileToGroup(second, file(std::nullopt, QString()));
    addFileToGroup(second, file(QStringLiteral("/a/z"), QString()));
    addFileToGroup(second, file(QStringLiteral("/Pics/B/y.png"), QStringLiteral("png")));
    const PriorityLists lists = priorityListsOf({ first, nullptr, second });
    EXPECT_EQ(lists.folders, QStringList({ "/pics/b", "/", "/a" }));
    EXPECT_EQ(lists.formats, QStringList({ "JPG", "jpg", "txt", "png" }));
}

TEST(ScanRecords, CloudAndRareFieldsShareOnePointerYetReadAndCopyApart)
{
    FileInfoNode record;
    EXPECT_FALSE(record.cloud);
    EXPECT_EQ(record.cloud.operator->(), nullptr);
    // Rare fields alone make no cloud fields.
    record.setLibraryPath(QStringLiteral("/lib"));
    record.setArrForSubPathMd5(QStringList { QStringLiteral("a") });
    EXPECT_FALSE(record.cloud);
    EXPECT_EQ(record.cloud.operator->(), nullptr);
    // Cloud fields made later leave the rare ones as they were, and the other
    // way round.
    record.cloudFields().fileId = QStringLiteral("id");
    ASSERT_TRUE(record.cloud);
    EXPECT_EQ(record.cloud->fileId, QStringLiteral("id"));
    EXPECT_EQ(record.libraryPath(), QStringLiteral("/lib"));
    record.setFileType(QStringLiteral("jpg"));
    EXPECT_EQ(record.cloud->fileId, QStringLiteral("id"));
    // A copy has its own of both.
    FileInfoNode copy = record;
    copy.cloudFields().fileId = QStringLiteral("other");
    copy.setLibraryPath(QStringLiteral("/elsewhere"));
    EXPECT_EQ(record.cloud->fileId, QStringLiteral("id"));
    EXPECT_EQ(record.libraryPath(), QStringLiteral("/lib"));
    EXPECT_EQ(record.arrForSubPathMd5(), QStringList { QStringLiteral("a") });
    EXPECT_EQ(copy.cloud->fileId, QStringLiteral("other"));
    EXPECT_EQ(copy.fileType(), QStringLiteral("jpg"));
    // A cloud record without rare fields reads none.
    FileInfoNode cloudOnly;
    cloudOnly.cloud.make().fileId = QStringLiteral("x");
    EXPECT_FALSE(cloudOnly.libraryPath());
    EXPECT_FALSE(cloudOnly.photosInfo());
}

TEST(DriveFileJson, ReadsTheFieldsTheRecordsUseAndLeavesMistypedOnesAbsent)
{
    const auto file = DriveFile::fromJson(json(R"({
        "id": "abc", "name": "IMG 1.JPG", "size": "6000000000", "createdTime": "2023-01-02T03:04:05.678Z",
        "modifiedTime": "2023-02-03T04:05:06Z", "mimeType": "image/jpeg",
        "imageMediaMetadata": {"width": 4000, "flashUsed": true, "isoSpeed": 200}})"));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->size, 6000000000ull); // sizes arrive as text and exceed 32 bits
    EXPECT_EQ(file->createdTime->toMSecsSinceEpoch() % 1000, 678);
    EXPECT_EQ(file->modifiedTime->timeSpec(), Qt::UTC);
    EXPECT_EQ(file->imageMediaMetadata->width, 4000);
    EXPECT_FALSE(file->imageMediaMetadata->exposureBias.has_value());
    EXPECT_FALSE(file->isFolder());

    EXPECT_FALSE(DriveFile::fromJson(json(R"({"name": "no id"})")).has_value());
    const auto odd = DriveFile::fromJson(json(R"({"id": "x", "size": "-5", "modifiedTime": "yesterday",
        "name": 7, "mimeType": "application/vnd.google-apps.folder", "imageMediaMetadata": "none"})"));
    ASSERT_TRUE(odd.has_value());
    EXPECT_FALSE(odd->size || odd->modifiedTime || odd->imageMediaMetadata);
    EXPECT_TRUE(odd->name.isEmpty());
    EXPECT_TRUE(odd->isFolder());
}

TEST(DriveFileJson, PictureNumbersOutOfRangeAreAbsent)
{
    const auto file = DriveFile::fromJson(json(R"({"id": "p", "imageMediaMetadata": {
        "exposureBias": 3.7e51, "focalLength": -1e300}})"));
    ASSERT_TRUE(file && file->imageMediaMetadata);
    EXPECT_FALSE(file->imageMediaMetadata->exposureBias.has_value());
    EXPECT_FALSE(file->imageMediaMetadata->focalLength.has_value());

    const auto usual = DriveFile::fromJson(json(R"({"id": "p", "imageMediaMetadata": {
        "exposureBias": -0.7, "focalLength": 4.25}})"));
    ASSERT_TRUE(usual && usual->imageMediaMetadata);
    EXPECT_EQ(usual->imageMediaMetadata->exposureBias, -0.7);
    EXPECT_EQ(usual->imageMediaMetadata->focalLength, 4.25);
}

TEST(DropboxJson, OnlyFilesWithNameAndPathBecomeEntries)
{
    const auto entry = DropboxFileMetadata::fromJson(json(R"({".tag": "file", "name": "a.txt",
        "path_display": "/Docs/a.txt", "id": "id:1", "size": 12, "content_hash": "ff",
        "client_modified": "2020-05-06T07:08:09Z"})"));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->pathDisplay, QStringLiteral("/Docs/a.txt"));
    EXPECT_EQ(entry->size, 12u);
    EXPECT_EQ(entry->clientModified, QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9), Qt::UTC));
    EXPECT_FALSE(DropboxFileMetadata::fromJson(json(R"({".tag": "folder", "name": "d", "path_display": "/d"})")));
    EXPECT_FALSE(DropboxFileMetadata::fromJson(json(R"({".tag": "file", "name": "a"})")));
    const auto noHash = DropboxFileMetadata::fromJson(json(R"({".tag": "file", "name": "a", "path_display": "/a"})"));
    ASSERT_TRUE(noHash.has_value());
    EXPECT_FALSE(noHash->contentHash.has_value());
}

TEST(RecordTexts, PathsReadBackExactlyHoweverTheyWereGiven)
{
    FileInfoNode record;
    for (const char* path : { "/a/b/name.txt", "/name", "/", "name", "", "a//b", "a/", "/x/y/" }) {
        record.filePath = QString::fromUtf8(path);
        EXPECT_EQ(*record.filePath, QString::fromUtf8(path)) << path;
        EXPECT_TRUE(record.filePath == QString::fromUtf8(path)) << path;
        EXPECT_FALSE(record.filePath == QString::fromUtf8(path) + QLatin1Char('x')) << path;
    }
    // Folder and name given apart: kept shared when they make the path, else
    // the path itself wins.
    const std::tuple<const char*, const char*, const char*> parts[]
        = { { "/d/f", "/d", "f" }, { "/f", "/", "f" }, { "f", "", "f" }, { "/d/f", "/e", "f" }, { "/d/f", "/d", "g" } };
    for (const auto& [path, folder, name] : parts) {
        record.filePath.assign(QString::fromUtf8(path), QString::fromUtf8(folder), QString::fromUtf8(name));
        EXPECT_EQ(record.filePath.value(), QString::fromUtf8(path)) << path << " " << folder;
    }
    // Parts alone make the path a record's folder and name spell.
    for (const auto& [folder, name, path] : { std::tuple { "/d", "f", "/d/f" }, { "/", "f", "/f" }, { "", "f", "f" },
             { "/d/", "f", "/d/f" }, { "/d", "e/f", "/d/e/f" } }) {
        FileInfoNode parted;
        parted.filePath.assignParts(QString::fromUtf8(folder), QString::fromUtf8(name));
        record.filePath = QString::fromUtf8(path);
        EXPECT_EQ(parted.filePath.value(), QString::fromUtf8(path)) << folder << " " << name;
        EXPECT_TRUE(parted.filePath == record.filePath) << folder << " " << name;
        EXPECT_EQ(parted.filePath.lastComponent(), QString::fromUtf8(name)) << folder << " " << name;
    }
    // The same path split two ways is one path.
    FileInfoNode other;
    other.filePath = QStringLiteral("/f");
    record.filePath.assign(QStringLiteral("/f"), QStringLiteral("/"), QStringLiteral("f"));
    EXPECT_TRUE(record.filePath == other.filePath);
    other.filePath = QStringLiteral("/g");
    EXPECT_FALSE(record.filePath == other.filePath);
    record.filePath = std::nullopt;
    EXPECT_FALSE(record.filePath);
    EXPECT_EQ(record.filePath.value_or(QStringLiteral("none")), QStringLiteral("none"));
    record.filePath = QString(); // present, though empty
    EXPECT_TRUE(record.filePath.has_value());
    record.fileName = QString(); // so is a name
    EXPECT_TRUE(record.fileName.has_value() && record.fileName->isEmpty());
    record.fileName = std::optional<QString>();
    EXPECT_FALSE(record.fileName);
}

TEST(RecordTexts, APathHoldsOnlyItsTwoTextsAndStillTellsEveryFormApart)
{
    static_assert(sizeof(PathText) == 2 * sizeof(QString));
    // Doubled slashes, a folder ending with a slash and the root, given
    // whole and in parts, read back and compare as the paths they spell.
    const char* paths[] = { "//b", "a//", "//", "/d//f", "a///b", "/", "", "b", "/b", "d/" };
    for (const char* path : paths) {
        PathText whole(QString::fromUtf8(path));
        EXPECT_TRUE(whole.has_value()) << path;
        EXPECT_EQ(whole.value(), QString::fromUtf8(path)) << path;
        for (const char* otherPath : paths) {
            EXPECT_EQ(whole == PathText(QString::fromUtf8(otherPath)), std::string_view(path) == otherPath)
                << path << " " << otherPath;
        }
    }
    const std::tuple<const char*, const char*, const char*> parts[] = { { "/d/", "f", "/d/f" },
        { "/d/", "/f", "/d//f" }, { "a/", "/b", "a//b" }, { "/", "b", "/b" }, { "", "b", "b" }, { "d", "", "d/" } };
    for (const auto& [folder, name, path] : parts) {
        PathText parted;
        parted.assignParts(QString::fromUtf8(folder), QString::fromUtf8(name));
        EXPECT_EQ(parted.value(), QString::fromUtf8(path)) << folder << " " << name;
        EXPECT_TRUE(parted == PathText(QString::fromUtf8(path))) << folder << " " << name;
        EXPECT_FALSE(parted == PathText(QString::fromUtf8(path) + QLatin1Char('x'))) << folder << " " << name;
    }
    // A folder without a name is present, its name absent as given; nothing
    // at all is present and empty; reset is absent.
    PathText folderOnly;
    folderOnly.assignParts(QStringLiteral("/d"), QString());
    EXPECT_TRUE(folderOnly.has_value());
    EXPECT_EQ(folderOnly.value(), QStringLiteral("/d/"));
    EXPECT_TRUE(folderOnly.lastComponent().isNull());
    PathText nothing;
    nothing.assignParts(QString(), QString());
    EXPECT_TRUE(nothing.has_value());
    EXPECT_TRUE(nothing.value().isEmpty());
    EXPECT_FALSE(nothing == std::nullopt);
    nothing.reset();
    EXPECT_FALSE(nothing.has_value());
    EXPECT_TRUE(nothing == std::nullopt);
    EXPECT_FALSE(nothing == PathText(QString()));
}

TEST(RecordTexts, TheFolderOfAPathIsWhatStandsBeforeItsLastSlashHoweverItWasGiven)
{
    const auto folderOf = [](const QString& path) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
    };
    FileInfoNode record;
    for (const char* path : { "/a/b/name.txt", "/name", "/", "name", "", "a//b", "a/", "/x/y/" }) {
        record.filePath = QString::fromUtf8(path);
        EXPECT_EQ(record.filePath.folderOfPath(), folderOf(QString::fromUtf8(path))) << path;
    }
    const std::tuple<const char*, const char*, const char*> parts[] = { { "/d/f", "/d", "f" }, { "/f", "/", "f" },
        { "f", "", "f" }, { "/d/e/f", "/d", "e/f" }, { "/d//f", "/d/", "/f" }, { "/d/f", "/e", "f" } };
    for (const auto& [path, folder, name] : parts) {
        record.filePath.assign(QString::fromUtf8(path), QString::fromUtf8(folder), QString::fromUtf8(name));
        EXPECT_EQ(record.filePath.folderOfPath(), folderOf(QString::fromUtf8(path))) << path << " " << folder;
    }
}

TEST(RecordTexts, DigestsKeepPlainMd5AsBytesAndEveryOtherChecksumAsGiven)
{
    const QString md5 = QStringLiteral("0123456789abcdef0fedcba987654321");
    FileInfoNode record;
    record.md5 = md5;
    ASSERT_NE(record.md5.bytes(), nullptr);
    EXPECT_EQ(*record.md5, md5);
    EXPECT_TRUE(record.md5 == md5);
    EXPECT_FALSE(record.md5 == md5.toUpper());
    // Service checksums, capitals and a package's joined digests stay text.
    for (const QString& text : { md5.toUpper(), md5 + md5, QStringLiteral("s-11"), md5.left(31) + QLatin1Char('g') }) {
        record.md5 = text;
        EXPECT_EQ(record.md5.bytes(), nullptr) << qPrintable(text);
        EXPECT_EQ(*record.md5, text);
    }
    record.md5 = QString();
    EXPECT_TRUE(record.md5.has_value() && record.md5.isEmpty());
    record.md5.reset();
    EXPECT_FALSE(record.md5);
    EXPECT_EQ(qHash(DigestText(md5)), qHash(DigestText(QString(md5))));
}
