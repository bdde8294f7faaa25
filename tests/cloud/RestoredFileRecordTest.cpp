// A file put back by an undo is recorded as its service answered for it, and
// only when the answer is for that file: an answer naming another file (one
// of its own group, another name, another folder, another path), a folder,
// an id no address can hold, or a file without the revision a removal is
// held to, leaves the record naming what it named before. A later removal
// may then fail, but it never takes another file, and never goes unguarded.
#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/OAuthSession.h"
#include "core/DuplicateGroup.h"
#include "support/SignedInHandler.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

#include <future>

namespace {

// One answer of the service to the copy, and what the record then names.
struct Case {
    const char* name;
    QByteArray body;
    QString recorded;
};

QByteArray jsonOf(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Puts removed back through handler, with the other files of its group; the
// service has been told how to answer.
void putBack(ScanWrapper& handler, const FileInfoNodePtr& removed, const std::vector<FileInfoNodePtr>& group)
{
    auto shared = std::make_shared<DuplicateGroup>();
    shared->children = group;
    shared->filterChildren = group;
    removed->parent = shared;
    for (const FileInfoNodePtr& file : group)
        file->parent = shared;
    std::vector<bool> answers;
    handler.restoreCloudFile(removed, [&answers](bool ok) { answers.push_back(ok); });
    EXPECT_TRUE(waitUntil([&answers] { return !answers.empty(); }));
    // The file is back at the service whatever the answer tells of it.
    EXPECT_EQ(answers, std::vector<bool>({ true }));
}

} // namespace

TEST(RestoredFileRecord, ABoxCopyIsTakenOnlyAsTheFileOfItsNameInItsFolderThatNoOtherFileOfTheGroupIs)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    server.enableOAuth(QStringLiteral("client"));
    std::unique_ptr<BoxCloudHandler> handler = signedInAtFakeServer<BoxCloudHandler>(server);
    const auto file = [](const QJsonValue& id, const QJsonValue& name, const QJsonValue& parent,
                          const QString& type = QStringLiteral("file")) {
        QJsonObject item { { QStringLiteral("type"), type }, { QStringLiteral("id"), id },
            { QStringLiteral("name"), name } };
        if (!parent.isUndefined())
            item.insert(QStringLiteral("parent"), parent);
        return jsonOf(item);
    };
    const QJsonObject inSub { { QStringLiteral("type"), QStringLiteral("folder") }, { QStringLiteral("id"), "7" } };
    const QJsonObject inOther { { QStringLiteral("type"), QStringLiteral("folder") }, { QStringLiteral("id"), "8" } };
    const Case cases[] = {
        { "the copy", file("31", "a.txt", inSub), QStringLiteral("31") },
        { "no id", jsonOf({}), QStringLiteral("11") },
        { "the kept file's id", file("12", "a.txt", inSub), QStringLiteral("11") },
        { "the id of another file of the group", file("13", "a.txt", inSub), QStringLiteral("11") },
        { "a folder", file("32", "a.txt", inSub, QStringLiteral("folder")), QStringLiteral("11") },
        { "no type", jsonOf({ { "id", "33" }, { "name", "a.txt" }, { "parent", inSub } }), QStringLiteral("11") },
        { "another name", file("34", "b.txt", inSub), QStringLiteral("11") },
        { "another folder", file("35", "a.txt", inOther), QStringLiteral("11") },
        { "no folder", file("36", "a.txt", QJsonValue::Undefined), QStringLiteral("11") },
        { "a folder of the wrong type", file("37", "a.txt", "7"), QStringLiteral("11") },
        { "a name of the wrong type", file("38", 38, inSub), QStringLiteral("11") },
        { "an id of the wrong type", file(39, "a.txt", inSub), QStringLiteral("11") },
        { "an id with a separator", file("40/41", "a.txt", inSub), QStringLiteral("11") },
        { "an id going up", file("..", "a.txt", inSub), QStringLiteral("11") },
        { "an id with a NUL", file(QStringLiteral("4%1").arg(QChar(0)), "a.txt", inSub), QStringLiteral("11") },
        { "an enormous id", file(QString(100000, QLatin1Char('4')), "a.txt", inSub), QStringLiteral("11") },
        { "an array", "[]", QStringLiteral("11") },
    };
    for (const Case& answer : cases) {
        SCOPED_TRACE(answer.name);
        auto removed = std::make_shared<FileInfoNode>();
        removed->fileName = QStringLiteral("a.txt");
        removed->filePath = QStringLiteral("Box/Sub/a.txt");
        removed->cloudFields().fileId = QStringLiteral("11");
        removed->cloudFields().folderIdForBoxCloud = QStringLiteral("7");
        auto kept = std::make_shared<FileInfoNode>();
        kept->filePath = QStringLiteral("Box/Other/a.txt");
        kept->cloudFields().fileId = QStringLiteral("12");
        auto other = std::make_shared<FileInfoNode>();
        other->filePath = QStringLiteral("Box/Third/a.txt");
        other->cloudFields().fileId = QStringLiteral("13");
        server.route("POST", QStringLiteral("/api/files/12/copy"), [&answer](const FakeHttpRequest&) {
            return FakeHttpResponse { 201, answer.body, "application/json", {}, false };
        });
        putBack(*handler, removed, { kept, other });
        EXPECT_EQ(removed->cloud->fileId, answer.recorded);
        // What the record names is not the file put back: it says so.
        EXPECT_EQ(removed->cloud->putBackAsAnother, answer.recorded == QStringLiteral("11"));
    }
}

TEST(RestoredFileRecord, ADropboxCopyIsTakenOnlyAsTheFileAtThePathPutBackWithARevisionOfItsOwn)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    server.enableOAuth(QStringLiteral("client"));
    std::unique_ptr<DropBoxHandler> handler = signedInAtFakeServer<DropBoxHandler>(server);
    const auto metadata = [](const QJsonObject& entry) { return jsonOf({ { QStringLiteral("metadata"), entry } }); };
    const auto file = [](const QString& path, const QJsonValue& rev, const QString& tag = QStringLiteral("file")) {
        QJsonObject entry { { QStringLiteral(".tag"), tag }, { QStringLiteral("id"), QStringLiteral("id:9") },
            { QStringLiteral("name"), path.section(QLatin1Char('/'), -1) },
            { QStringLiteral("path_display"), path }, { QStringLiteral("size"), 10 } };
        if (!rev.isUndefined())
            entry.insert(QStringLiteral("rev"), rev);
        return entry;
    };
    const Case cases[] = {
        { "the copy", metadata(file("/x/a.txt", "r9")), QStringLiteral("r9") },
        { "the copy in the service's letter case", metadata(file("/X/A.txt", "r9")), QStringLiteral("r9") },
        { "no revision", metadata(file("/x/a.txt", QJsonValue::Undefined)), QStringLiteral("r1") },
        { "an empty revision", metadata(file("/x/a.txt", "")), QStringLiteral("r1") },
        { "a revision of the wrong type", metadata(file("/x/a.txt", 9)), QStringLiteral("r1") },
        { "another path", metadata(file("/x/b.txt", "r9")), QStringLiteral("r1") },
        { "the kept file's path", metadata(file("/y/a.txt", "r9")), QStringLiteral("r1") },
        { "a path going round", metadata(file("/y/../x/a.txt", "r9")), QStringLiteral("r1") },
        { "a folder", metadata(file("/x/a.txt", "r9", QStringLiteral("folder"))), QStringLiteral("r1") },
        { "no metadata", jsonOf({}), QStringLiteral("r1") },
        { "metadata of the wrong type", jsonOf({ { QStringLiteral("metadata"), QJsonArray {} } }),
            QStringLiteral("r1") },
    };
    for (const Case& answer : cases) {
        SCOPED_TRACE(answer.name);
        auto removed = std::make_shared<FileInfoNode>();
        removed->filePath = QStringLiteral("Dropbox/x/a.txt");
        removed->cloudFields().dropBoxFile = DropboxFileMetadata::fromJson(QJsonDocument::fromJson(
            jsonOf(file("/x/a.txt", "r1"))).object());
        auto kept = std::make_shared<FileInfoNode>();
        kept->filePath = QStringLiteral("Dropbox/y/a.txt");
        server.route("POST", QStringLiteral("/api/2/files/copy_v2"), [&answer](const FakeHttpRequest&) {
            return FakeHttpResponse { 200, answer.body, "application/json", {}, false };
        });
        putBack(*handler, removed, { kept });
        ASSERT_TRUE(removed->cloud->dropBoxFile);
        EXPECT_EQ(removed->cloud->dropBoxFile->rev, answer.recorded);
        EXPECT_EQ(removed->cloud->putBackAsAnother, answer.recorded == QStringLiteral("r1"));
        // The file keeps its path: a removal names that place alone.
        EXPECT_EQ(*removed->filePath, QStringLiteral("Dropbox/x/a.txt"));
    }
}

// A Dropbox file is removed only at the revision its record names: one
// without (an entry the service gave without it) is not removed at all,
// since whatever stands at its path by then, a newer file or a folder with
// everything in it, would go.
TEST(RestoredFileRecord, ADropboxFileWhoseRecordNamesNoRevisionIsNotRemoved)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    server.enableOAuth(QStringLiteral("client"));
    std::unique_ptr<DropBoxHandler> handler = signedInAtFakeServer<DropBoxHandler>(server);
    server.route("POST", QStringLiteral("/api/2/files/delete_v2"),
        [](const FakeHttpRequest&) { return FakeHttpResponse::json(200, {}); });
    const QString path = QStringLiteral("/x/a.txt");
    const QJsonObject withoutRevision { { QStringLiteral(".tag"), QStringLiteral("file") },
        { QStringLiteral("name"), QStringLiteral("a.txt") }, { QStringLiteral("path_display"), path } };
    for (const bool metadata : { false, true }) {
        SCOPED_TRACE(metadata ? "listed without a revision" : "no listing of its own");
        auto record = std::make_shared<FileInfoNode>();
        record->filePath = QStringLiteral("Dropbox") + path;
        if (metadata)
            record->cloudFields().dropBoxFile = DropboxFileMetadata::fromJson(withoutRevision);
        auto removal = std::async(std::launch::async, [&] { return handler->deleteCloudFile(record); });
        ASSERT_TRUE(waitUntil([&] { return removal.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
        EXPECT_FALSE(removal.get());
    }
    EXPECT_EQ(server.requestCount("POST", QStringLiteral("/api/2/files/delete_v2")), 0);
}
