#include "cloud/DropBoxHandler.h"

#include "base/Log.h"
#include "cloud/CloudItemChecks.h"
#include "cloud/OAuthSession.h"
#include "cloud/RestClient.h"
#include "core/DuplicateGroup.h"
#include "scan/CloudFileRecordBuilder.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

RestRequest post(const QString& path, const QJsonObject& body)
{
    RestRequest request = RestRequest::make("POST", path);
    request.json = QJsonDocument(body);
    return request;
}

// A 409 whose error names nothing at the path: the file is gone already.
bool isNothingAtPath(const RestReply& reply)
{
    if (reply.status != 409)
        return false;
    const QJsonObject body = QJsonDocument::fromJson(reply.body).object();
    const QJsonObject error = body.value(QLatin1String("error")).toObject();
    const QJsonObject lookup = error.value(QLatin1String("path_lookup")).toObject();
    if (error.value(QLatin1String(".tag")).toString() == QLatin1String("path_lookup")
        && lookup.value(QLatin1String(".tag")).toString() == QLatin1String("not_found"))
        return true;
    return body.value(QLatin1String("error_summary")).toString().startsWith(QLatin1String("path_lookup/not_found"));
}

} // namespace

DropBoxHandler::DropBoxHandler(CloudServiceConfig config, std::unique_ptr<SecretStore> store)
    : OAuthCloudHandler(std::move(config).withDefaultScope(QString::fromLatin1(scopes)), std::move(store),
        QString::fromLatin1(SecretItem::dropbox))
{
}

QString DropBoxHandler::dropboxApiPath(const QString& displayPath)
{
    QString path = displayPath;
    const qsizetype at = path.indexOf(QLatin1String("Dropbox"));
    if (at >= 0)
        return path.remove(at, 7);
    return path.remove(QLatin1String("Dropbox"), Qt::CaseInsensitive);
}

bool DropBoxHandler::authenticateCloud()
{
    if (!setUpThisRun_) {
        // A sign-in kept from an earlier run is never reused.
        setUpThisRun_ = true;
        session().signOut();
    }
    if (hasClient())
        return true;
    session().signIn();
    return true;
}

void DropBoxHandler::listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done)
{
    if (!hasClient()) {
        Log::print("Dropbox is not signed in; a folder was not listed:", folder->folderPath);
        done(FolderListing { {}, {}, true });
        return;
    }
    const QJsonObject body { { QStringLiteral("path"), dropboxApiPath(folder->folderPath) },
        { QStringLiteral("recursive"), false }, { QStringLiteral("limit"), 1000 } };
    requestPage(folder, post(QStringLiteral("2/files/list_folder"), body), std::make_shared<FolderPages>(folderPages()),
        listingGuard(), std::move(done));
}

void DropBoxHandler::requestPage(const CloudScanFoldersListPtr& folder, const RestRequest& request,
    std::shared_ptr<FolderPages> pages, std::shared_ptr<ListingGuard> guard, std::function<void(FolderListing)> done)
{
    client().send(request, guard->requestContext(), [this, folder, pages, guard, done](const RestReply& reply) {
        if (!reply.ok()) {
            printToStandardOutput(QStringLiteral("err ") + reply.errorText);
            pages->finish(done, false);
            return;
        }
        const QJsonObject page = reply.object();
        const QJsonArray entries = page.value(QLatin1String("entries")).toArray();
        const bool more = page.value(QLatin1String("has_more")).toBool();
        if (guard->isStopped() || !guard->admitEntries(folder->folderPath, entries.size())
            || !addDropboxEntries(entries, folder, *pages) || !guard->admitTaken(folder->folderPath, pages->tally, more)) {
            pages->finish(done, false);
            return;
        }
        if (!more) {
            pages->finish(done, true);
            return;
        }
        // More pages: a stop, a page without a cursor or one the listing may
        // not ask for leaves the folder incomplete, to be listed again next
        // time.
        const QString cursor = page.value(QLatin1String("cursor")).toString();
        if (isScanStopped() || cursor.isEmpty() || !guard->admitPage(folder->folderPath, cursor)) {
            pages->finish(done, false);
            return;
        }
        requestPage(folder,
            post(QStringLiteral("2/files/list_folder/continue"), { { QStringLiteral("cursor"), cursor } }), pages,
            guard, done);
    });
}

bool DropBoxHandler::addDropboxEntries(
    const QJsonArray& entries, const CloudScanFoldersListPtr& folder, FolderPages& pages)
{
    pages.tally.beginPage(entries.size());
    const QString listedFolder = dropboxApiPath(folder->folderPath);
    for (const QJsonValue& value : entries) {
        if (isScanStopped())
            return false;
        const QJsonObject entry = value.toObject();
        const QString tag = entry.value(QLatin1String(".tag")).toString();
        const QString displayPath = entry.value(QLatin1String("path_display")).toString();
        const QString name = entry.value(QLatin1String("name")).toString();
        // Known by its id; one without (a deleted entry) by its path, whose
        // letter case the service ignores.
        const QString id = entry.value(QLatin1String("id")).toString();
        if (!pages.tally.take(tag + QLatin1Char(':') + (id.isEmpty() ? displayPath.toLower() : id)))
            continue;
        const bool listable = tag == QLatin1String("file") || tag == QLatin1String("folder");
        // Shown under its name, removed by its path: the two must agree.
        if (listable
            && !isUsableCloudPath(QStringLiteral("Dropbox"), folder->folderPath, displayPath, name, listedFolder))
            continue;
        if (tag == QLatin1String("file")) {
            // The picker shows folders only.
            if (!isCompletListFetch)
                continue;
            const std::optional<DropboxFileMetadata> metadata = DropboxFileMetadata::fromJson(entry);
            if (!metadata) {
                Log::print("A Dropbox file without a name or path was skipped in", folder->folderPath);
                continue;
            }
            auto record = std::make_shared<FileInfoNode>();
            makeDropboxFileInfoNode(*record, *metadata);
            pages.addFile(std::move(record));
        } else if (tag == QLatin1String("folder")) {
            auto sub = std::make_shared<CloudScanFoldersList>();
            sub->folderName = name;
            sub->folderPath = QStringLiteral("Dropbox") + displayPath;
            pages.addSubFolder(std::move(sub));
        } else if (tag == QLatin1String("deleted")) {
            Log::print("A deleted Dropbox entry was passed over:", displayPath);
        } else {
            std::puts("different entry");
        }
    }
    return true;
}

bool DropBoxHandler::deleteCloudFile(const FileInfoNodePtr& record)
{
    if (!record || !record->filePath || record->filePath->isEmpty())
        return false;
    if (!hasClient()) {
        Log::print("Dropbox is not signed in; a file was not removed:", *record->filePath);
        return false;
    }
    // Only the revision that was scanned may go; a newer file at the path
    // stays. Without one the removal would take whatever stands there by
    // now, a folder with all it holds included.
    const QString rev = record->cloud && record->cloud->dropBoxFile ? record->cloud->dropBoxFile->rev : QString();
    if (rev.isEmpty()) {
        Log::print("A Dropbox file without the revision it was listed at was not removed:", *record->filePath);
        return false;
    }
    const QJsonObject body { { QStringLiteral("path"), dropboxApiPath(*record->filePath) },
        { QStringLiteral("parent_rev"), rev } };
    const RestReply reply = client().sendBlocking(post(QStringLiteral("2/files/delete_v2"), body), blockingLimitMs);
    if (reply.ok())
        return true;
    if (isNothingAtPath(reply)) {
        std::puts("There is nothing at the given path.");
        return true;
    }
    Log::print("A Dropbox file could not be removed:", *record->filePath);
    return false;
}

void DropBoxHandler::restoreCloudFile(const FileInfoNodePtr& record, std::function<void(bool)> completion)
{
    const FileInfoNodePtr kept = record ? keptCopyOf(*record) : nullptr;
    if (!record || !record->filePath || !kept || !kept->filePath || !hasClient()) {
        Log::print("A Dropbox file cannot be put back without a kept copy and a sign-in");
        completion(false);
        return;
    }
    const QString from = dropboxApiPath(*kept->filePath);
    onGuiThread([this, from, record, completion = std::move(completion)] { copyKeptFile(from, record, completion); });
}

void DropBoxHandler::copyKeptFile(
    const QString& from, const FileInfoNodePtr& record, std::function<void(bool)> completion)
{
    const QString to = dropboxApiPath(*record->filePath);
    const QJsonObject body { { QStringLiteral("from_path"), from }, { QStringLiteral("to_path"), to },
        { QStringLiteral("allow_shared_folder"), false }, { QStringLiteral("autorename"), false } };
    client().send(post(QStringLiteral("2/files/copy_v2"), body), contextObject(),
        [record, to, completion](const RestReply& reply) {
            if (!reply.ok()) {
                completion(false);
                return;
            }
            const QJsonObject answer = reply.object().value(QLatin1String("metadata")).toObject();
            printToStandardOutput(
                QStringLiteral("Dropbox File copied successfully: ") + answer.value(QLatin1String("name")).toString());
            // The copy is a new file of its own revision: a later removal
            // names that one. An answer for another path (the service
            // ignores letter case) or without a revision leaves the record as
            // it was, and a removal at the old revision is refused rather
            // than misdirected or unguarded.
            const std::optional<DropboxFileMetadata> copy = DropboxFileMetadata::fromJson(answer);
            if (copy && !copy->rev.isEmpty() && copy->pathDisplay.compare(to, Qt::CaseInsensitive) == 0)
                record->cloudFields().dropBoxFile = *copy;
            else {
                Log::print("Dropbox did not say which file it put back at", to);
                record->cloudFields().putBackAsAnother = true;
            }
            completion(true);
        });
}
