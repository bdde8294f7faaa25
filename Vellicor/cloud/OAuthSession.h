#pragma once

#include "cloud/CloudConfig.h"

#include <QDateTime>
#include <QMultiMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class QOAuth2AuthorizationCodeFlow;
class LoopbackReplyHandler;
class RestClient;
class ScanWrapper;
class SecretStore;

// One service's sign-in: the OAuth 2 authorization code flow in the user's
// browser with PKCE (S256), the redirect coming back to a loopback address
// ("http://127.0.0.1:PORT/") that the application's listener hands in, the
// tokens kept in the secret store under one item, and their refresh when they
// expire or a request answers 401. A sign-in the service no longer accepts (a
// request answered 401 whose refresh the service refused or whose fresh token
// it refused too, or a refresh refused as an invalid grant) ends the session: its tokens are forgotten, the
// kept item removed, and signInRefused tells whoever relies on it. A refresh
// that found no answer ends nothing.
//
// GUI thread. Tokens never reach the log or standard output.
class OAuthSession : public QObject {
    Q_OBJECT
public:
    OAuthSession(CloudServiceConfig config, SecretStore* store, QString secretItem, QObject* parent = nullptr);
    ~OAuthSession() override;

    // Where the browser comes back to, e.g. "http://127.0.0.1:PORT", when no
    // redirect listener is set; with one, its live address is used instead.
    void setRedirectBase(const QString& base);
    QString redirectUri() const;
    // Opens the sign-in page; the desktop's browser unless a test replaces it.
    void setBrowserOpener(std::function<void(const QUrl&)> opener) { openBrowser_ = std::move(opener); }
    // Further parameters of the authorization request (prompt, access type).
    void setExtraAuthorizeParameters(const QMultiMap<QString, QVariant>& parameters) { extra_ = parameters; }

    // The longest a token request (code exchange, refresh) may take.
    void setTokenDeadlineMs(int ms) { tokenDeadlineMs_ = ms; }

    const CloudServiceConfig& config() const { return config_; }
    bool isSignedIn() const { return !accessToken_.isEmpty(); }
    QString accessToken() const { return accessToken_; }

    // Starts a browser sign-in; signInFinished reports its outcome once. Says
    // so at once when the service has no configured credentials.
    void signIn();
    // A redirect from the loopback listener; true when it answered the
    // running sign-in (its state matched).
    bool handleRedirect(const QUrl& url);
    // Gives up a running sign-in (the wait sheet's Cancel).
    void cancelSignIn();
    // The last sign-in ended at the user's own Cancel: no failure to tell.
    bool wasCancelledByUser() const { return cancelledByUser_; }
    // True while some session's sign-in waits for its redirect: only then
    // has the application's loopback listener anything to take.
    static bool isAnySignInWaiting();

    // The application's loopback listener for browser redirects. open is
    // called as each browser sign-in starts, before its authorize address is
    // built, and answers the address it listens on now (empty when it cannot
    // listen); close is called once no sign-in waits any more. An empty
    // listener (the default) leaves each session at its own redirect base.
    struct RedirectListener {
        std::function<QString()> open;
        std::function<void()> close;
    };
    static void setRedirectListener(RedirectListener listener);

    // Whether sessions keep the tokens of a sign-in or a refresh in their
    // stores (they do unless told otherwise). Off once an uninstall has
    // removed every kept sign-in: a sign-in or refresh that ends afterwards
    // lasts for the run only.
    static void setKeepingTokens(bool keep);

    // Reads kept tokens; true when there were some.
    void restore(std::function<void(bool)> done);
    // A token that is still valid, refreshed first when it has expired.
    void freshToken(std::function<void(bool)> done);
    // Asks for a new access token with the refresh token.
    void refresh(std::function<void(bool)> done);
    // Forgets the tokens and removes the kept item.
    void signOut(std::function<void(bool)> done = {});
    // Lets a client send this session's token and refresh it on 401; a 401
    // that no refresh mends ends the session.
    void attach(RestClient& client);

signals:
    void signInFinished(bool signedIn, const QString& error);
    void accessTokenChanged();
    // The service no longer accepts the sign-in; the session has ended by
    // then. Once for each sign-in.
    void signInRefused();

private:
    void makeFlow();
    void adopt(const QVariantMap& tokens);
    void store();
    void finishSignIn(bool signedIn, const QString& error);
    void finishRefresh(bool refreshed);
    // Ends a session the service no longer accepts; nothing when none runs.
    void endRefusedSignIn(const QString& why);
    void setSigningIn(bool signingIn);
    static void stopWaiting(const OAuthSession* session);

    CloudServiceConfig config_;
    SecretStore* store_;
    QString secretItem_;
    QString redirectBase_;
    std::function<void(const QUrl&)> openBrowser_;
    QMultiMap<QString, QVariant> extra_;
    QOAuth2AuthorizationCodeFlow* flow_ = nullptr;
    LoopbackReplyHandler* handler_ = nullptr;
    QByteArray codeVerifier_;
    bool signingIn_ = false;
    bool cancelledByUser_ = false;
    std::vector<std::function<void(bool)>> refreshWaiters_;
    // The last refresh that failed was refused by the service (or had no
    // refresh token to ask with), not left unanswered.
    bool refreshRefused_ = false;
    QString accessToken_;
    QString refreshToken_;
    QDateTime expiresAt_;
    std::vector<QPointer<RestClient>> clients_;
    int tokenDeadlineMs_ = 60000;
};

// Tells the user that a service's sign-in failed ("Authorization failed."),
// with the service's reason; every service says it alike.
void tellSignInFailed(const QString& reason);

// The one way a source follows its session: once the service no longer accepts
// the sign-in, the source stands signed out (ScanWrapper::endRefusedSignIn), so
// that its next scan, folder list or removal asks for the sign-in again. A
// scan that is listing tells it at its end, with what it left out; at any
// other time the user is told now, once.
void endSourceSignInWhenRefused(OAuthSession& session, ScanWrapper& source);

// PKCE: a fresh random verifier and its S256 challenge (base64url, no padding).
QByteArray makeCodeVerifier();
QByteArray codeChallengeOf(const QByteArray& verifier);
