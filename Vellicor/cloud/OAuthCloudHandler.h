#pragma once

#include "cloud/CloudConfig.h"
#include "cloud/SecretStore.h"
#include "scan/ScanWrapper.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>

class OAuthSession;
class RestClient;

// A cloud handler that reaches its service through a browser sign-in and a
// REST client: the session and the client with their wiring, the sign-in's
// outcome in isAuthenticateForScan and at the delegate, and the redirects of
// the application's loopback listener.
//
// GUI thread, except hasClient(), which the removal worker reads too.
class OAuthCloudHandler : public ScanWrapper {
public:
    OAuthCloudHandler(CloudServiceConfig config, std::unique_ptr<SecretStore> store, const QString& secretItem);
    ~OAuthCloudHandler() override;

    OAuthSession& session() { return *session_; }
    void cancelAuthentication() override;
    RestClient& client() { return *client_; }

    // Where every handler's sign-in comes back to: the application's loopback
    // listener ("http://127.0.0.1:PORT").
    static void setRedirectBase(const QString& base);
    // Offers a redirect to the sign-ins that are running; true when one took it.
    static bool offerRedirect(const QUrl& url);

protected:
    // Signed in: requests can be made.
    bool hasClient() const { return hasClient_; }
    // The first shown file of record's group that stayed, at another path:
    // the copy a removed file is put back from. Null for none.
    static FileInfoNodePtr keptCopyOf(const FileInfoNode& record);
    // Runs on the GUI thread: now when called there, else queued.
    void onGuiThread(std::function<void()> work);
    // How long the removal worker waits for one answer, retries included.
    static constexpr int blockingLimitMs = 5 * 60 * 1000;

private:
    std::unique_ptr<SecretStore> store_;
    std::unique_ptr<RestClient> client_;
    std::unique_ptr<OAuthSession> session_;
    std::atomic<bool> hasClient_ { false };
};
