#include "cloud/OAuthCloudHandler.h"

#include "cloud/OAuthSession.h"
#include "cloud/RestClient.h"
#include "cloud/SecretStore.h"
#include "core/DuplicateGroup.h"

#include <QThread>

#include <utility>
#include <vector>

namespace {

// The live handlers and the listener's address; GUI thread only.
std::vector<OAuthCloudHandler*>& liveHandlers()
{
    static std::vector<OAuthCloudHandler*> handlers;
    return handlers;
}

QString& redirectBaseSetting()
{
    static QString base;
    return base;
}

} // namespace

OAuthCloudHandler::OAuthCloudHandler(
    CloudServiceConfig config, std::unique_ptr<SecretStore> store, const QString& secretItem)
    : store_(store ? std::move(store) : std::make_unique<MemorySecretStore>())
    , client_(std::make_unique<RestClient>())
{
    client_->setBaseUrl(config.apiBaseUrl);
    session_ = std::make_unique<OAuthSession>(std::move(config), store_.get(), secretItem);
    session_->attach(*client_);
    endSourceSignInWhenRefused(*session_, *this);
    if (!redirectBaseSetting().isEmpty())
        session_->setRedirectBase(redirectBaseSetting());
    QObject::connect(session_.get(), &OAuthSession::accessTokenChanged, contextObject(),
        [this] { hasClient_ = session_->isSignedIn(); });
    QObject::connect(session_.get(), &OAuthSession::signInFinished, contextObject(),
        [this](bool signedIn, const QString& error) {
            hasClient_ = session_->isSignedIn();
            isAuthenticateForScan = signedIn && hasClient_;
            if (delegate && !isAuthenticateForScan)
                delegate->dismissAuthenticationWait();
            // A failure the user did not ask for is told, with the service's
            // reason; the wait sheet is gone by then.
            if (!isAuthenticateForScan && !session_->wasCancelledByUser())
                tellSignInFailed(error);
            if (delegate)
                delegate->onAccessPermissionStatus(isAuthenticateForScan);
        });
    liveHandlers().push_back(this);
}

OAuthCloudHandler::~OAuthCloudHandler()
{
    std::erase(liveHandlers(), this);
}

void OAuthCloudHandler::cancelAuthentication()
{
    session_->cancelSignIn();
}

FileInfoNodePtr OAuthCloudHandler::keptCopyOf(const FileInfoNode& record)
{
    const std::shared_ptr<DuplicateGroup> group = record.parent.lock();
    if (!group)
        return nullptr;
    for (const FileInfoNodePtr& file : group->filterChildren) {
        const bool samePath = file && file->filePath && record.filePath && *file->filePath == *record.filePath;
        if (file && file.get() != &record && !file->isMoveToTrash && !samePath)
            return file;
    }
    return nullptr;
}

void OAuthCloudHandler::setRedirectBase(const QString& base)
{
    redirectBaseSetting() = base;
    for (OAuthCloudHandler* handler : liveHandlers())
        handler->session_->setRedirectBase(base);
}

bool OAuthCloudHandler::offerRedirect(const QUrl& url)
{
    for (OAuthCloudHandler* handler : liveHandlers()) {
        if (handler->session_->handleRedirect(url))
            return true;
    }
    return false;
}

void OAuthCloudHandler::onGuiThread(std::function<void()> work)
{
    if (QThread::currentThread() == contextObject()->thread())
        work();
    else
        QMetaObject::invokeMethod(contextObject(), std::move(work), Qt::QueuedConnection);
}
