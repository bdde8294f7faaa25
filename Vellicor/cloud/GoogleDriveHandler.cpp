#include "cloud/GoogleDriveHandler.h"

#include "base/Log.h"
#include "base/ReleaseElsewhere.h"
#include "cloud/CloudItemChecks.h"
#include "cloud/OAuthSession.h"
#include "cloud/RestClient.h"
#include "cloud/SecretStore.h"
#include "core/SettingsSchema.h"
#include "scan/CloudFileRecordBuilder.h"
#include "scan/ScanRequest.h"

#include <QJsonArray>
#include <QPointer>
#include <QTimer>

#include <utility>

namespace {

const QString folderMime = QStringLiteral("application/vnd.google-apps.folder");
const QString secretItem = QString::fromLatin1(SecretItem::googleDrive);
// The key in cloud.json's "google" entry listing where thumbnails may come from.
const QString thumbnailHosts = QStringLiteral("thumbnailHosts");
const QString fileFields = QStringLiteral("nextPageToken,files(id,name,mimeType,size,md5Checksum,createdTime,"
                                          "modifiedTime,fileExtension,thumbnailLink,iconLink,imageMediaMetadata)");

// The query string built by hand: every value fully percent-encoded, so a
// '+' or '&' in a folder name cannot change the query.
QUrlQuery filesQuery(const QString& q, const QString& fields, const std::optional<QString>& pageToken)
{
    QString text = QStringLiteral("q=") + QString::fromLatin1(QUrl::toPercentEncoding(q)) + QStringLiteral("&fields=")
        + QString::fromLatin1(QUrl::toPercentEncoding(fields)) + QStringLiteral("&pageSize=1000");
    if (pageToken)
        text += QStringLiteral("&pageToken=") + QString::fromLatin1(QUrl::toPercentEncoding(*pageToken));
    QUrlQuery query;
    query.setQuery(text);
    return query;
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
}

// A folder's path kept by its id, its texts shared with the folder's node.
constexpr qint64 keptPathBytes = 64;

std::optional<QString> nextPage(const QJsonObject& answer)
{
    const QString token = answer.value(QStringLiteral("nextPageToken")).toString();
    if (token.isEmpty())
        return std::nullopt;
    return token;
}

} // namespace

QString driveQueryLiteral(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

GoogleDriveHandler::GoogleDriveHandler(CloudServiceConfig config, SecretStore* store, QObject* parent)
    : QObject(parent)
    , config_(std::move(config).withDefaultScope(QString::fromLatin1(scope)))
    , store_(store)
    , client_(new RestClient(this))
{
    client_->setBaseUrl(config_.apiBaseUrl);
    folderPaths_.insert(rootId(), rootFolderName());
}

GoogleDriveHandler::~GoogleDriveHandler() = default;

void GoogleDriveHandler::setRedirectBase(const QString& base)
{
    redirectBase_ = base;
    if (session_)
        session_->setRedirectBase(base);
}

void GoogleDriveHandler::setBrowserOpener(std::function<void(const QUrl&)> opener)
{
    openBrowser_ = std::move(opener);
    if (session_ && openBrowser_)
        session_->setBrowserOpener(openBrowser_);
}

CloudScanFoldersListPtr GoogleDriveHandler::makeRootFolderNode()
{
    CloudScanFoldersListPtr root = ScanWrapper::makeRootFolderNode();
    root->folderId = rootId();
    return root;
}

// ---------------------------------------------------------------------------
// Sign-in
// ---------------------------------------------------------------------------

bool GoogleDriveHandler::authenticateCloud()
{
    if (signingIn_)
        return false;
    if (config_.clientId.isEmpty()) {
        signInFailed(QStringLiteral("no client id configured"));
        return false;
    }
    signingIn_ = true;
    const quint64 attempt = ++signInAttempt_;
    const std::optional<QUrl> discovery = config_.url(QStringLiteral("discoveryUrl"));
    if (session_ || !discovery) {
        startFlow(config_);
        return true;
    }
    // The provider's addresses come from its discovery document.
    auto* reader = new RestClient(this);
    reader->setBaseUrl(*discovery);
    reader->setMaxRetries(1);
    reader->send(RestRequest::get(discovery->toString()), this, [this, reader, attempt](const RestReply& reply) {
        reader->deleteLater();
        // A sign-in given up while its discovery was under way opens no
        // browser.
        if (!signingIn_ || attempt != signInAttempt_)
            return;
        CloudServiceConfig config = config_;
        const QUrl authorize(reply.object().value(QStringLiteral("authorization_endpoint")).toString());
        const QUrl token(reply.object().value(QStringLiteral("token_endpoint")).toString());
        // The sign-in page and the token address: never over plain http off
        // this machine.
        const auto usable = [](const QUrl& url) { return url.isValid() && isSecureOrLoopback(url); };
        if (!reply.ok() || !usable(authorize) || !usable(token)) {
            signInFailed(QStringLiteral("the discovery document could not be read"));
            return;
        }
        config.authorizeUrl = authorize;
        config.tokenUrl = token;
        startFlow(config);
    });
    return true;
}

void GoogleDriveHandler::startFlow(CloudServiceConfig config)
{
    if (!session_) {
        session_ = new OAuthSession(std::move(config), store_, secretItem, this);
        if (!redirectBase_.isEmpty())
            session_->setRedirectBase(redirectBase_);
        if (openBrowser_)
            session_->setBrowserOpener(openBrowser_);
        endSourceSignInWhenRefused(*session_, *this);
        session_->setExtraAuthorizeParameters({ { QStringLiteral("access_type"), QStringLiteral("offline") },
            { QStringLiteral("prompt"), QStringLiteral("consent") } });
        connect(session_, &OAuthSession::signInFinished, this, [this](bool signedIn, const QString& error) {
            if (!signingIn_)
                return;
            if (!signedIn) {
                signInFailed(error);
                return;
            }
            signingIn_ = false;
            session_->attach(*client_);
            isAuthenticateForScan = true;
            // The delegate ends the wait sheet itself and goes on where the
            // sign-in was asked for.
            if (delegate)
                delegate->onAccessPermissionStatus(true);
            emit signInEnded(true);
        });
    }
    session_->signIn();
}

void GoogleDriveHandler::signInFailed(const QString& why)
{
    signingIn_ = false;
    isAuthenticateForScan = false;
    Log::print("Google sign-in failed:", why);
    if (delegate) {
        delegate->dismissAuthenticationWait();
        delegate->onAccessPermissionStatus(false);
    }
    tellSignInFailed(why);
    emit signInEnded(false);
}

bool GoogleDriveHandler::resumeSignIn(const QUrl& url)
{
    return signingIn_ && session_ && session_->handleRedirect(url);
}

void GoogleDriveHandler::cancelSignIn()
{
    if (!signingIn_)
        return;
    signingIn_ = false;
    if (session_)
        session_->cancelSignIn();
    if (delegate) {
        delegate->dismissAuthenticationWait();
        delegate->onAccessPermissionStatus(false);
    }
    emit signInEnded(false);
}

void GoogleDriveHandler::signOutAtQuit()
{
    isAuthenticateForScan = false;
    if (session_)
        session_->signOut();
    else if (store_)
        store_->removeSecret(secretItem, [](bool, const QString&) {});
}

// ---------------------------------------------------------------------------
// Folder tree
// ---------------------------------------------------------------------------

void GoogleDriveHandler::listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done)
{
    if (!folder || folder->folderId.isEmpty()) {
        done(FolderListing { {}, {}, true });
        return;
    }
    listFolderPage(folder, std::nullopt, std::make_shared<FolderPages>(), listingGuard(), std::move(done));
}

void GoogleDriveHandler::listFolderPage(const CloudScanFoldersListPtr& folder, const std::optional<QString>& pageToken,
    std::shared_ptr<FolderPages> pages, std::shared_ptr<ListingGuard> guard, std::function<void(FolderListing)> done)
{
    const QString q = driveQueryLiteral(folder->folderId) + QStringLiteral(" in parents and mimeType = ")
        + driveQueryLiteral(folderMime) + QStringLiteral(" and trashed = false");
    RestRequest request = RestRequest::get(QStringLiteral("files"));
    request.query = filesQuery(q, QStringLiteral("nextPageToken,files(id,name,mimeType)"), pageToken);
    client_->send(request, guard->requestContext(), [this, folder, pages, guard, done](const RestReply& reply) {
        const QJsonObject answer = reply.object();
        const QJsonArray files = answer.value(QStringLiteral("files")).toArray();
        if (!reply.ok() || guard->isStopped() || !guard->admitEntries(folder->folderPath, files.size())) {
            Log::print("A Drive folder could not be listed:", folder->folderPath);
            pages->finish(done, false);
            return;
        }
        addListedFolders(answer, *folder, *pages);
        const std::optional<QString> next = nextPage(answer);
        if (!guard->admitTaken(folder->folderPath, pages->tally, next.has_value())
            || (next && !guard->admitPage(folder->folderPath, *next))) {
            pages->finish(done, false);
            return;
        }
        if (next) {
            listFolderPage(folder, next, pages, guard, done);
            return;
        }
        pages->finish(done, true);
    });
}

void GoogleDriveHandler::addListedFolders(const QJsonObject& answer, const CloudScanFoldersList& folder, FolderPages& pages)
{
    const QJsonArray files = answer.value(QStringLiteral("files")).toArray();
    pages.tally.beginPage(files.size());
    for (const QJsonValue& value : files) {
        const std::optional<DriveFile> item = DriveFile::fromJson(value.toObject());
        if (!item || !pages.tally.take(item->identifier) || !item->isFolder()
            || !isUsableCloudItem(QStringLiteral("Drive"), folder.folderPath, item->identifier, item->name))
            continue;
        auto node = std::make_shared<CloudScanFoldersList>();
        node->folderId = item->identifier;
        node->folderName = item->name;
        node->folderPath = joinPath(folder.folderPath, item->name);
        pages.addSubFolder(std::move(node));
    }
}

QString GoogleDriveHandler::folderPath(const QString& folderId) const
{
    return folderPaths_.value(folderId);
}

// ---------------------------------------------------------------------------
// Scan listing
// ---------------------------------------------------------------------------

void GoogleDriveHandler::beginListing(const ScanRequest& request)
{
    // Answers of an earlier scan's queries find another generation.
    ++listingGeneration_;
    fileCount = 0;
    isAbortScanning = false;
    lastWalkIncomplete = false;
    // The paths of the last listing go; the chosen folders' come from their
    // rows.
    if (folderPaths_.size() > 1)
        releaseElsewhere(std::exchange(folderPaths_, {}));
    folderPaths_.insert(rootId(), rootFolderName());
    for (const FilePathNode& row : request.rows)
        if (row.gdFolder && !row.gdFolder->folderId.isEmpty() && !row.gdFolder->folderAbsPath.isEmpty())
            folderPaths_.insert(row.gdFolder->folderId, row.gdFolder->folderAbsPath);
    scanGuard_ = std::make_shared<ListingGuard>(QStringLiteral("Drive"), listingLimitsNow(), &isAbortScanning);
    scanTallies_.clear();
    takeSettings(request);
}

void GoogleDriveHandler::releaseListing()
{
    if (folderPaths_.size() > 1)
        releaseElsewhereGivingBack(std::exchange(folderPaths_, { { rootId(), rootFolderName() } }));
}

void GoogleDriveHandler::executeFilesListQuery(
    const QString& folderId, bool isIncludeSubFolders, const std::optional<QString>& pageToken)
{
    const QString q = driveQueryLiteral(folderId) + QStringLiteral(" in parents and trashed = false");
    RestRequest request = RestRequest::get(QStringLiteral("files"));
    request.query = filesQuery(q, fileFields, pageToken);
    const quint64 generation = listingGeneration_;
    if (!scanGuard_)
        scanGuard_ = std::make_shared<ListingGuard>(QStringLiteral("Drive"), listingLimitsNow(), &isAbortScanning);
    // A chosen folder without its sub-folders may be walked again from its
    // parent: two queries of one folder, each a listing of its own.
    const QString query = isIncludeSubFolders ? folderId + QLatin1Char('+') : folderId;
    const QString shown = folderPath(folderId).isEmpty() ? folderId : folderPath(folderId);
    if (!pageToken)
        scanTallies_.remove(query);
    if (!scanGuard_->admitPage(shown, pageToken.value_or(QString()), query)) {
        scanTallies_.remove(query);
        // Answered as a failed query, after this call, as every query is; a
        // bound met is told as such.
        std::optional<ListingBound> bound;
        if (scanGuard_->isWholeListingBound())
            bound = scanGuard_->boundReached();
        QTimer::singleShot(0, contextObject(), [this, folderId, isIncludeSubFolders, generation, bound] {
            DriveFilesPage page;
            page.failed = true;
            page.bound = bound;
            lastWalkIncomplete = true;
            if (generation == listingGeneration_ && pageSink_)
                pageSink_(folderId, isIncludeSubFolders, page);
        });
        return;
    }
    const std::shared_ptr<ListingGuard> guard = scanGuard_;
    client_->send(request, guard->requestContext(),
        [this, folderId, isIncludeSubFolders, generation, guard, query, shown](const RestReply& reply) {
            if (generation != listingGeneration_)
                return;
            DriveFilesPage page;
            const qsizetype entries = reply.object().value(QStringLiteral("files")).toArray().size();
            if (!reply.ok()) {
                page.failed = true;
                lastWalkIncomplete = true;
            } else if (!guard->admitEntries(shown, entries)) {
                page.failed = true;
                page.bound = guard->boundReached();
                lastWalkIncomplete = true;
            } else {
                ListingTally& tally = scanTallies_[query];
                acceptFilesPage(folderId, isIncludeSubFolders, reply.object(), page, tally);
                // The page's records count; the folder's listing ends here.
                if (!guard->admitTaken(shown, tally, page.nextPageToken.has_value())) {
                    page.nextPageToken.reset();
                    page.cutShort = true;
                    lastWalkIncomplete = true;
                    if (tally.endedAtBound())
                        page.bound = guard->boundReached();
                }
            }
            if (page.failed || !page.nextPageToken)
                scanTallies_.remove(query);
            if (pageSink_)
                pageSink_(folderId, isIncludeSubFolders, page);
        });
}

void GoogleDriveHandler::stopListing()
{
    // What is still on its way finds another generation.
    ++listingGeneration_;
    if (scanGuard_)
        scanGuard_->stop();
    scanTallies_.clear();
}

void GoogleDriveHandler::acceptFilesPage(const QString& folderId, bool includeSubFolders, const QJsonObject& answer,
    DriveFilesPage& page, ListingTally& tally)
{
    // The queried folder is every item's parent; one never recorded (a row
    // from an earlier run) stands under "My Drive".
    QString parentPath = folderPaths_.value(folderId);
    if (parentPath.isEmpty())
        parentPath = rootFolderName();
    // One text of the folder for all the page's records.
    const QString recordFolder = parentPath + QLatin1Char('/');
    tally.hold(heldBytesOfListedFolder(recordFolder));
    const QJsonArray files = answer.value(QStringLiteral("files")).toArray();
    tally.beginPage(files.size());
    for (const QJsonValue& value : files) {
        const std::optional<DriveFile> item = DriveFile::fromJson(value.toObject());
        if (!item || !tally.take(item->identifier)
            || !isUsableCloudItem(QStringLiteral("Drive"), parentPath, item->identifier, item->name))
            continue;
        const QString path = joinPath(parentPath, item->name);
        if (item->isFolder()) {
            // A folder listed as its own descendant would be walked for ever.
            if (includeSubFolders && scanGuard_ && !scanGuard_->admitFolder(item->identifier, path))
                continue;
            folderPaths_.insert(item->identifier, path);
            // The path kept by id, and the sub-folder's query to come.
            tally.hold(keptPathBytes + heldBytesOf(item->identifier) + heldBytesOf(path));
            if (includeSubFolders)
                page.subFolders.emplace_back(item->identifier, path);
            continue;
        }
        // Documents have no checksum and empty files nothing to compare.
        if (item->md5Checksum.isEmpty() || !item->size || *item->size == 0)
            continue;
        auto record = std::make_shared<FileInfoNode>();
        if (!makeGoogleDriveFileInfoNode(*record, *item, scanSettings))
            continue;
        record->filePath.assign(path, parentPath, item->name);
        record->folderPath = recordFolder;
        FileInfoNode::CloudFields& cloud = record->cloudFields();
        cloud.fileId = item->identifier;
        // A picture's thumbnail is fetched without a sign-in: only from the
        // service's own hosts, over https.
        if (cloud.googleDriveThumbnailLink
            && !config_.isOnListedHttpsHost(QUrl(*cloud.googleDriveThumbnailLink, QUrl::StrictMode), thumbnailHosts)) {
            Log::print("A Drive thumbnail link off the service's hosts was dropped:",
                QUrl(*cloud.googleDriveThumbnailLink).host());
            cloud.googleDriveThumbnailLink.reset();
            if (cloud.googleDriveFile)
                cloud.googleDriveFile->thumbnailLink.clear();
        }
        if (!isAboveMinimumDuplicateSize(record->fileSize, minimumDuplicateSize))
            continue;
        ++fileCount;
        tally.holdFile(heldBytesOfListedFile(*record, recordFolder, scanComparison));
        page.files.push_back(std::move(record));
    }
    page.nextPageToken = nextPage(answer);
}

// ---------------------------------------------------------------------------
// Removal
// ---------------------------------------------------------------------------

bool GoogleDriveHandler::deleteCloudFile(const FileInfoNodePtr& record)
{
    if (!record || !record->cloud || record->cloud->fileId.isEmpty())
        return false;
    return setTrashed(record->cloud->fileId, true, nullptr);
}

void GoogleDriveHandler::restoreCloudFile(const FileInfoNodePtr& record, std::function<void(bool)> completion)
{
    if (!record || !record->cloud || record->cloud->fileId.isEmpty()) {
        completion(false);
        return;
    }
    setTrashed(record->cloud->fileId, false, std::move(completion));
}

// Without a completion the request blocks the calling (worker) thread.
bool GoogleDriveHandler::setTrashed(const QString& fileId, bool trashed, std::function<void(bool)> completion)
{
    if (!isPlainCloudId(fileId)) {
        Log::print("A Drive file with an unusable id was left alone:", fileId);
        if (completion)
            completion(false);
        return false;
    }
    // The id goes into the path as it is; the client encodes the path once.
    RestRequest request = RestRequest::make("PATCH", QStringLiteral("files/") + fileId);
    request.json = QJsonDocument(QJsonObject { { QStringLiteral("trashed"), trashed } });
    if (!completion) {
        const RestReply reply = client_->sendBlocking(request, 60000);
        if (!reply.ok())
            Log::print("A Drive file could not be moved to the trash:", fileId);
        else
            markListingsStale();
        return reply.ok();
    }
    client_->send(request, contextObject(), [completion](const RestReply& reply) { completion(reply.ok()); });
    return true;
}
