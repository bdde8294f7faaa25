#include "cloud/BoxCloudHandler.h"

#include "base/Log.h"
#include "cloud/CloudItemChecks.h"
#include "cloud/OAuthSession.h"
#include "cloud/RestClient.h"
#include "core/DuplicateGroup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include <cstdio>

namespace {

constexpr int pageLimit = 1000;
// Past what a double holds exactly: no real count.
constexpr qint64 maximumTotalCount = qint64(1) << 53;

QString boxFolderId(const CloudScanFoldersList& folder)
{
    return folder.folderId.isEmpty() ? QStringLiteral("0") : folder.folderId;
}

std::optional<QDateTime> boxDate(const QJsonObject& item, const char* key, const char* fallback)
{
    QString text = item.value(QLatin1String(key)).toString();
    if (text.isEmpty())
        text = item.value(QLatin1String(fallback)).toString();
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    // The same moment in UTC, which a record keeps without a block of its own.
    return date.toUTC();
}

// The id of the copy an answer describes, when it is the file asked for
// (asked: the copy's request): a file of the name asked for in the folder
// asked for, whose id no other file of record's group holds, since a later
// removal by that id would take that file. None otherwise.
std::optional<QString> copiedFileId(const QJsonObject& answer, const QJsonObject& asked, const FileInfoNode& record)
{
    const QString id = answer.value(QLatin1String("id")).toString();
    const QJsonValue parent = answer.value(QLatin1String("parent"));
    const QJsonValue askedParent = asked.value(QLatin1String("parent")).toObject().value(QLatin1String("id"));
    if (answer.value(QLatin1String("type")).toString() != QLatin1String("file") || !isPlainCloudId(id)
        || answer.value(QLatin1String("name")) != asked.value(QLatin1String("name")) || !parent.isObject()
        || parent.toObject().value(QLatin1String("id")) != askedParent)
        return std::nullopt;
    if (const std::shared_ptr<DuplicateGroup> group = record.parent.lock()) {
        for (const std::vector<FileInfoNodePtr>* members : { &group->children, &group->filterChildren }) {
            for (const FileInfoNodePtr& file : *members)
                if (file && file->cloud && file->cloud->fileId == id)
                    return std::nullopt;
        }
    }
    return id;
}

} // namespace

BoxCloudHandler::BoxCloudHandler(CloudServiceConfig config, std::unique_ptr<SecretStore> store)
    : OAuthCloudHandler(std::move(config), std::move(store), QString::fromLatin1(SecretItem::box))
{
}

bool BoxCloudHandler::authenticateCloud()
{
    if (hasClient())
        return true;
    QPointer<OAuthSession> session(&this->session());
    session->restore([this, session](bool restored) {
        if (!session)
            return;
        if (!restored) {
            session->signIn();
            return;
        }
        isAuthenticateForScan = true;
        if (delegate)
            delegate->onAccessPermissionStatus(true);
    });
    return true;
}

bool BoxCloudHandler::fillBoxFileInfoNode(
    FileInfoNode& record, const QJsonObject& item, const CloudScanFoldersList& folder)
{
    const QString id = item.value(QLatin1String("id")).toString();
    const QString name = item.value(QLatin1String("name")).toString();
    if (!isPlainCloudId(id) || cloudNameProblem(name))
        return false;
    record.fileName = name;
    record.folderPath = folder.folderPath;
    record.filePath = folder.folderPath + QLatin1Char('/') + name;
    record.fileSize = static_cast<quint64>(std::max<qint64>(0, item.value(QLatin1String("size")).toInteger()));
    const QString sha1 = item.value(QLatin1String("sha1")).toString();
    if (!sha1.isEmpty())
        record.md5 = sha1;
    record.isMd5Calucaluted = true;
    record.createDate = boxDate(item, "content_created_at", "created_at");
    record.modDate = boxDate(item, "content_modified_at", "modified_at");
    record.state = false;
    FileInfoNode::CloudFields& cloud = record.cloudFields();
    cloud.fileId = id;
    cloud.folderIdForBoxCloud = boxFolderId(folder);
    return true;
}

std::optional<qsizetype> BoxCloudHandler::addBoxEntries(
    const QJsonArray& entries, const CloudScanFoldersList& folder, FolderPages& pages) const
{
    pages.tally.beginPage(entries.size());
    for (const QJsonValue& value : entries) {
        if (isScanStopped())
            return std::nullopt;
        const QJsonObject item = value.toObject();
        const QString type = item.value(QLatin1String("type")).toString();
        if (type != QLatin1String("file") && type != QLatin1String("folder"))
            continue;
        const QString id = item.value(QLatin1String("id")).toString();
        if (id.isEmpty() || !pages.tally.take(type + QLatin1Char(':') + id))
            continue;
        const QString name = item.value(QLatin1String("name")).toString();
        if (!isUsableCloudItem(QStringLiteral("Box"), folder.folderPath, id, name))
            continue;
        if (type == QLatin1String("file")) {
            // The picker shows folders only.
            if (!isCompletListFetch)
                continue;
            auto record = std::make_shared<FileInfoNode>();
            if (fillBoxFileInfoNode(*record, item, folder))
                pages.addFile(std::move(record));
        } else {
            auto sub = std::make_shared<CloudScanFoldersList>();
            sub->folderId = id;
            sub->folderName = name;
            sub->folderPath = folder.folderPath + QLatin1Char('/') + name;
            pages.addSubFolder(std::move(sub));
        }
    }
    return pages.tally.freshOnPage();
}

void BoxCloudHandler::listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done)
{
    const QString folderId = boxFolderId(*folder);
    if (!hasClient() || !isPlainCloudId(folderId)) {
        Log::print("A Box folder was not listed (not signed in, or an unusable id):", folder->folderPath);
        done(FolderListing { {}, {}, true });
        return;
    }
    folder->graphUrlStr
        = client().resolve(RestRequest::get(QStringLiteral("folders/%1/items").arg(folderId))).toString();
    requestPage(folder, folderId, 0, std::make_shared<FolderPages>(folderPages()), listingGuard(), std::move(done));
}

void BoxCloudHandler::requestPage(const CloudScanFoldersListPtr& folder, const QString& folderId, qint64 offset,
    std::shared_ptr<FolderPages> pages, std::shared_ptr<ListingGuard> guard,
    std::function<void(FolderListing)> done)
{
    RestRequest request = RestRequest::get(QStringLiteral("folders/%1/items").arg(folderId));
    request.query.addQueryItem(QStringLiteral("fields"),
        QStringLiteral("id,type,name,size,sha1,created_at,modified_at,content_created_at,content_modified_at"));
    request.query.addQueryItem(QStringLiteral("limit"), QString::number(pageLimit));
    request.query.addQueryItem(QStringLiteral("offset"), QString::number(offset));
    client().send(request, guard->requestContext(), [this, folder, offset, pages, guard, done](const RestReply& reply) {
        if (!reply.ok()) {
            Log::print("A Box folder could not be listed:", folder->folderPath);
            pages->finish(done, false);
            return;
        }
        const QJsonObject page = reply.object();
        const QJsonArray entries = page.value(QLatin1String("entries")).toArray();
        std::optional<qsizetype> fresh;
        if (!guard->isStopped() && guard->admitEntries(folder->folderPath, entries.size()))
            fresh = addBoxEntries(entries, *folder, *pages);
        // A count no folder can hold is no count: the listing ends with this
        // page. A large one still ends at the listing's bounds.
        const qint64 total = page.value(QLatin1String("total_count")).toInteger(-1);
        const qint64 next = offset + entries.size();
        const bool more = !entries.isEmpty() && total >= 0 && total <= maximumTotalCount && next < total;
        if (!fresh || !guard->admitTaken(folder->folderPath, pages->tally, more)) {
            pages->finish(done, false);
            return;
        }
        if (!more) {
            pages->finish(done, true);
            return;
        }
        if (isScanStopped() || !guard->admitPage(folder->folderPath, QString::number(next))) {
            pages->finish(done, false);
            return;
        }
        requestPage(folder, boxFolderId(*folder), next, pages, guard, done);
    });
}

bool BoxCloudHandler::deleteCloudFile(const FileInfoNodePtr& record)
{
    const QString id = record && record->cloud ? record->cloud->fileId : QString();
    if (!isPlainCloudId(id) || !hasClient()) {
        Log::print("A Box file was not removed (not signed in, or no usable id)");
        return false;
    }
    const RestReply reply
        = client().sendBlocking(RestRequest::make("DELETE", QStringLiteral("files/") + id), blockingLimitMs);
    if (reply.status == 0) {
        printToStandardOutput(QStringLiteral("error in deleting file reques: ") + reply.errorText);
        return false;
    }
    std::printf("%d\n", reply.status);
    if (reply.status == 204) {
        std::puts("file successfully Deleted!");
        return true;
    }
    // Also when the file may still be there but out of this account's reach.
    if (reply.status == 404)
        std::puts("File not found or already deleted");
    else
        std::puts("Unknnown error occured!");
    return false;
}

void BoxCloudHandler::restoreCloudFile(const FileInfoNodePtr& record, std::function<void(bool)> completion)
{
    const FileInfoNodePtr kept = record ? keptCopyOf(*record) : nullptr;
    const QString keptId = kept && kept->cloud ? kept->cloud->fileId : QString();
    const QString folderId = record && record->cloud ? record->cloud->folderIdForBoxCloud : QString();
    const QString name = record ? record->fileName.value_or(QString()) : QString();
    if (!isPlainCloudId(keptId) || !isPlainCloudId(folderId) || name.isEmpty() || !hasClient()) {
        Log::print("A Box file cannot be put back without a kept copy, its folder and a sign-in");
        completion(false);
        return;
    }
    const QJsonObject body { { QStringLiteral("parent"), QJsonObject { { QStringLiteral("id"), folderId } } },
        { QStringLiteral("name"), name }, { QStringLiteral("source_id"), keptId } };
    onGuiThread([this, keptId, body, record, completion = std::move(completion)] {
        copyKeptFile(keptId, body, record, completion);
    });
}

void BoxCloudHandler::copyKeptFile(
    const QString& keptId, const QJsonObject& body, const FileInfoNodePtr& record, std::function<void(bool)> completion)
{
    RestRequest request = RestRequest::make("POST", QStringLiteral("files/%1/copy").arg(keptId));
    request.json = QJsonDocument(body);
    client().send(request, contextObject(), [record, body, completion](const RestReply& reply) {
        const QString name = record->fileName.value_or(QString());
        if (reply.status == 0) {
            printToStandardOutput(QStringLiteral("Error: ") + reply.errorText);
            completion(false);
        } else if (reply.status == 201) {
            printToStandardOutput(QStringLiteral("Box File copied successfully -> ") + name);
            // The copy is a new file with an id of its own, by which a later
            // removal names it. Without the copy's in the answer the record
            // keeps the removed file's id, and that removal fails and says
            // so rather than take another file.
            if (const std::optional<QString> id = copiedFileId(reply.object(), body, *record))
                record->cloudFields().fileId = *id;
            else {
                Log::print("Box did not say which file it put back:", name);
                record->cloudFields().putBackAsAnother = true;
            }
            completion(true);
        } else {
            std::printf("Error copying file. Status code: %d\n", reply.status);
            completion(false);
        }
    });
}
