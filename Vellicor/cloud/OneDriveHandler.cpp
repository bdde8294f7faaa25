#include "cloud/OneDriveHandler.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "cloud/CloudItemChecks.h"
#include "core/Localization.h"

#include <QJsonArray>

#include <cstdio>
#include <utility>

namespace {

const QString rootChildren = QStringLiteral("v1.0/me/drive/root/children");

// Personal drives' ids hold a "!" ("D4648F06C91D9D3D!54927").
constexpr QStringView idAlsoAllowed = u"!";

// The id goes into the path as it is: the client encodes the path once, and
// only a plain id may reach it.
QString itemAddress(const QString& id)
{
    return QStringLiteral("v1.0/me/drive/items/") + id;
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

} // namespace

// One folder's listing over its pages; answered once.
struct OneDriveHandler::Listing {
    CloudScanFoldersListPtr folder;
    std::function<void(FolderListing)> done;
    FolderPages pages;
    std::shared_ptr<ListingGuard> guard;
};

OneDriveHandler::OneDriveHandler(CloudServiceConfig config)
    : config_(std::move(config).withDefaultScope(QString::fromLatin1(scopes)))
    , session_(config_, nullptr, QString())
{
    client_.setBaseUrl(config_.apiBaseUrl);
    session_.attach(client_);
    endSourceSignInWhenRefused(session_, *this);
    QMultiMap<QString, QVariant> extra;
    extra.insert(QStringLiteral("prompt"), QStringLiteral("select_account"));
    session_.setExtraAuthorizeParameters(extra);
    QObject::connect(
        &session_, &OAuthSession::signInFinished, contextObject(), [this](bool signedIn, const QString& error) {
            if (!signedIn) {
                printToStandardOutput(QStringLiteral("Could not acquire token: ") + error);
                isAuthenticateForScan = false;
                if (delegate)
                    delegate->dismissAuthenticationWait();
                // Declined in the browser or failed there: told with the
                // service's reason once the wait sheet is gone, as every
                // service tells it; the user's own Cancel is not.
                if (!session_.wasCancelledByUser())
                    tellSignInFailed(error);
                return;
            }
            isAuthenticateForScan = true;
            if (delegate)
                delegate->onAccessPermissionStatus(true);
        });
}

OneDriveHandler::~OneDriveHandler() = default;

bool OneDriveHandler::authenticateCloud()
{
    if (!config_.hasCredentials() || !config_.apiBaseUrl.isValid()) {
        Log::print("The OneDrive sign-in cannot start: its client or its service address is not configured");
        if (delegate)
            delegate->dismissAuthenticationWait();
        AlertRequest request;
        request.messageText = config_.notSetUpText(localizedText(QStringLiteral("ID_ONEDRIVE")));
        request.buttons = { localizedText(QStringLiteral("ID_OK")) };
        alertPresenter()->presentThen(request, nullptr);
        return true;
    }
    // Every sign-in asks again: tokens of an earlier account are dropped first.
    session_.signOut();
    session_.signIn();
    return true;
}

void OneDriveHandler::signOut()
{
    session_.signOut([](bool) { Log::print("Sign out completed successfully"); });
    isAuthenticateForScan = false;
}

void OneDriveHandler::listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done)
{
    auto listing = std::make_shared<Listing>();
    listing->folder = folder;
    listing->done = std::move(done);
    listing->guard = listingGuard();
    listing->pages = folderPages();
    if (!folder->folderId.isEmpty() && !isPlainCloudId(folder->folderId, idAlsoAllowed)) {
        Log::print("A OneDrive folder with an unusable id was not listed:", folder->folderPath);
        listing->pages.finish(listing->done, false);
        return;
    }
    fetchPage(folder->folderId.isEmpty() ? rootChildren : itemAddress(folder->folderId) + QStringLiteral("/children"),
        listing);
}

void OneDriveHandler::fetchPage(const QString& address, std::shared_ptr<Listing> listing)
{
    client_.send(RestRequest::get(address), listing->guard->requestContext(), [this, listing](const RestReply& reply) {
        const QJsonObject page = reply.object();
        const QJsonValue items = page.value(QStringLiteral("value"));
        if (!reply.ok() || !items.isArray()) {
            // An error answer is a failed listing, never an empty folder.
            Log::print("A OneDrive folder could not be listed:", listing->folder->folderPath,
                reply.ok() ? QStringLiteral("unreadable page") : reply.errorText);
            listing->pages.finish(listing->done, false);
            return;
        }
        const CloudScanFoldersList& folder = *listing->folder;
        ListingGuard& guard = *listing->guard;
        const QJsonValue next = page.value(QStringLiteral("@odata.nextLink"));
        if (guard.isStopped() || !guard.admitEntries(folder.folderPath, items.toArray().size())) {
            listing->pages.finish(listing->done, false);
            return;
        }
        addOneDriveItems(items.toArray(), folder, listing->pages);
        if (!guard.admitTaken(folder.folderPath, listing->pages.tally, next.isString())) {
            listing->pages.finish(listing->done, false);
            return;
        }
        const bool stopped = isScanStopped();
        if (next.isString() && !stopped && guard.admitPage(folder.folderPath, next.toString())) {
            fetchPage(next.toString(), listing);
            return;
        }
        // Stopped between pages, or a next page the listing may not ask for:
        // what was read is delivered, but the folder is not taken as listed
        // completely.
        listing->pages.finish(listing->done, !next.isString());
    });
}

void OneDriveHandler::addOneDriveItems(const QJsonArray& items, const CloudScanFoldersList& folder, FolderPages& pages) const
{
    pages.tally.beginPage(items.size());
    for (const QJsonValue& value : items) {
        const QJsonObject item = value.toObject();
        const QString name = item.value(QStringLiteral("name")).toString();
        const QString id = item.value(QStringLiteral("id")).toString();
        if (!pages.tally.take(id)
            || !isUsableCloudItem(QStringLiteral("OneDrive"), folder.folderPath, id, name, idAlsoAllowed))
            continue;
        if (item.value(QStringLiteral("folder")).isObject()) {
            auto sub = std::make_shared<CloudScanFoldersList>();
            sub->folderName = name;
            sub->folderId = id;
            sub->folderPath = folder.folderPath + QLatin1Char('/') + name;
            pages.addSubFolder(std::move(sub));
        } else if (item.value(QStringLiteral("file")).isObject() && isCompletListFetch) {
            pages.addFile(makeOneDriveFileInfoNode(item, folder.folderPath));
        }
    }
}

FileInfoNodePtr OneDriveHandler::makeOneDriveFileInfoNode(const QJsonObject& item, const QString& folderPath)
{
    auto record = std::make_shared<FileInfoNode>();
    const QString name = item.value(QStringLiteral("name")).toString();
    record->fileName = name;
    record->fileSize = static_cast<quint64>(std::max<qint64>(0, item.value(QStringLiteral("size")).toInteger()));
    record->filePath = folderPath + QLatin1Char('/') + name;
    record->folderPath = parentOf(*record->filePath);
    const QJsonValue hash = item.value(QStringLiteral("file"))
                                .toObject()
                                .value(QStringLiteral("hashes"))
                                .toObject()
                                .value(QStringLiteral("sha256Hash"));
    // Without the service's hash the record has no checksum to be grouped by.
    if (hash.isString() && !hash.toString().isEmpty())
        record->md5 = hash.toString();
    record->createDate = parseGraphDate(item.value(QStringLiteral("createdDateTime")));
    record->modDate = parseGraphDate(item.value(QStringLiteral("lastModifiedDateTime")));
    record->cloudFields().fileId = item.value(QStringLiteral("id")).toString();
    record->isMd5Calucaluted = true;
    record->state = false;
    record->setArrForSubPathMd5(QStringList());
    return record;
}

std::optional<QDateTime> OneDriveHandler::parseGraphDate(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!date.isValid())
        return std::nullopt;
    return date.toUTC();
}

bool OneDriveHandler::deleteCloudFile(const FileInfoNodePtr& record)
{
    if (!record || !record->cloud || !isPlainCloudId(record->cloud->fileId, idAlsoAllowed)) {
        Log::print("A OneDrive file without a usable id was not removed:",
            record ? record->filePath.value_or(QString()) : QString());
        return false;
    }
    const RestReply reply
        = client_.sendBlocking(RestRequest::make("DELETE", itemAddress(record->cloud->fileId)), 60000);
    // The id reached the service unchanged, so "not found" means gone.
    if (reply.status == 204 || reply.status == 404)
        return true;
    Log::print("A OneDrive file could not be removed:", record->filePath.value_or(QString()), reply.errorText);
    return false;
}
