#include "cloud/OAuthSession.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "cloud/RestClient.h"
#include "cloud/SecretStore.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "platform/BoundedNetworkAccess.h"
#include "scan/ScanWrapper.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthOobReplyHandler>
#include <QRandomGenerator>
#include <QUrlQuery>

#include <algorithm>

namespace {

// What a service said of a sign-in it refused, as the user reads it: its
// description when it gives one, followed by its code; one paragraph of
// printable characters, cut at a few lines' length.
QString serviceErrorText(const QString& code, const QString& description)
{
    const auto shown = [](const QString& text) {
        QString kept;
        for (const QChar c : text.simplified())
            if (c.isPrint() || c.isSurrogate())
                kept += c;
        constexpr qsizetype longest = 300;
        if (kept.size() <= longest)
            return kept;
        kept.truncate(kept.at(longest - 2).isHighSurrogate() ? longest - 2 : longest - 1);
        return kept + QChar(0x2026);
    };
    const QString what = shown(description);
    const QString why = shown(code);
    if (what.isEmpty() || what == why)
        return why;
    return why.isEmpty() ? what : what + QStringLiteral(" (") + why + QLatin1Char(')');
}

} // namespace

// Hands the flow the loopback redirect address and the redirect's values,
// and reports a token request that the service refused (the stock handler
// only prints a warning, which would leave the sign-in waiting for ever).
class LoopbackReplyHandler : public QOAuthOobReplyHandler {
    Q_OBJECT
public:
    using QOAuthOobReplyHandler::QOAuthOobReplyHandler;

    QString callback() const override { return redirectUri; }

    void networkReplyFinished(QNetworkReply* reply) override
    {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status < 200 || status >= 300) {
            const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
            const QString error = serviceErrorText(answer.value(QStringLiteral("error")).toString(),
                answer.value(QStringLiteral("error_description")).toString());
            emit tokenRequestFailed(error.isEmpty() ? reply->errorString() : error);
            return;
        }
        QOAuthOobReplyHandler::networkReplyFinished(reply);
    }

    void receiveRedirect(const QVariantMap& values) { emit callbackReceived(values); }

    QString redirectUri;

signals:
    void tokenRequestFailed(const QString& error);
};

namespace {

// A token answer is a few hundred bytes; a larger one is not read.
constexpr qint64 largestTokenAnswer = 1024 * 1024;

// The sign-in's own requests (code exchange, refresh): each carries a secret,
// and none follows a redirect (the bounded access follows none); each answer is
// bounded, and each request ends by its deadline however slowly the answer
// trickles in.
BoundedNetworkAccess* makeTokenNetworkAccess(int deadlineMs, QObject* parent)
{
    return new BoundedNetworkAccess(HttpLimits::within(largestTokenAnswer, deadlineMs), parent);
}

// The sessions whose sign-in waits for its browser redirect; GUI thread.
std::vector<const OAuthSession*>& waitingSessions()
{
    static std::vector<const OAuthSession*> sessions;
    return sessions;
}

OAuthSession::RedirectListener& redirectListener()
{
    static OAuthSession::RedirectListener listener;
    return listener;
}

// Whether sessions keep their tokens in their stores; GUI thread.
bool& keepingTokens()
{
    static bool keeping = true;
    return keeping;
}

} // namespace

QByteArray makeCodeVerifier()
{
    // 32 random bytes give 43 characters, the shortest verifier allowed.
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray codeChallengeOf(const QByteArray& verifier)
{
    return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

OAuthSession::OAuthSession(CloudServiceConfig config, SecretStore* store, QString secretItem, QObject* parent)
    : QObject(parent)
    , config_(std::move(config))
    , store_(store)
    , secretItem_(std::move(secretItem))
    , openBrowser_([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
}

OAuthSession::~OAuthSession()
{
    stopWaiting(this);
}

bool OAuthSession::isAnySignInWaiting()
{
    return !waitingSessions().empty();
}

void OAuthSession::setRedirectListener(RedirectListener listener)
{
    redirectListener() = std::move(listener);
}

void OAuthSession::stopWaiting(const OAuthSession* session)
{
    // Nothing may listen for a redirect that no sign-in waits for.
    if (std::erase(waitingSessions(), session) && waitingSessions().empty() && redirectListener().close)
        redirectListener().close();
}

void OAuthSession::setSigningIn(bool signingIn)
{
    signingIn_ = signingIn;
    if (!signingIn)
        stopWaiting(this);
    else if (std::find(waitingSessions().begin(), waitingSessions().end(), this) == waitingSessions().end())
        waitingSessions().push_back(this);
}

void OAuthSession::setRedirectBase(const QString& base)
{
    redirectBase_ = base;
    if (handler_)
        handler_->redirectUri = redirectUri();
}

QString OAuthSession::redirectUri() const
{
    return redirectBase_.endsWith(QLatin1Char('/')) ? redirectBase_ : redirectBase_ + QLatin1Char('/');
}

void OAuthSession::makeFlow()
{
    delete flow_;
    flow_ = new QOAuth2AuthorizationCodeFlow(this);
    handler_ = new LoopbackReplyHandler(flow_);
    handler_->redirectUri = redirectUri();
    flow_->setReplyHandler(handler_);
    // The flow sends its code exchange through this: it must end even when
    // the service never answers, and read no more than a token's answer.
    flow_->setNetworkAccessManager(makeTokenNetworkAccess(tokenDeadlineMs_, flow_));
    flow_->setClientIdentifier(config_.clientId);
    if (!config_.clientSecret.isEmpty())
        flow_->setClientIdentifierSharedKey(config_.clientSecret);
    flow_->setAuthorizationUrl(config_.authorizeUrl);
    flow_->setAccessTokenUrl(config_.tokenUrl);
    flow_->setScope(config_.scope);
    codeVerifier_ = makeCodeVerifier();
    // Only unreserved characters, so the state returns unchanged through any
    // encoding of the redirect.
    flow_->setState(QString::fromLatin1(makeCodeVerifier().left(24)));
    // Qt adds no PKCE of its own here: the challenge goes with the browser
    // request and the verifier with the code exchange.
    flow_->setModifyParametersFunction([this](QAbstractOAuth::Stage stage, QMultiMap<QString, QVariant>* parameters) {
        if (stage == QAbstractOAuth::Stage::RequestingAuthorization) {
            // Without a scope the service grants what the application is
            // registered for; an empty one it may refuse.
            if (config_.scope.isEmpty())
                parameters->remove(QStringLiteral("scope"));
            parameters->insert(QStringLiteral("code_challenge"), QString::fromLatin1(codeChallengeOf(codeVerifier_)));
            parameters->insert(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
            for (auto it = extra_.cbegin(); it != extra_.cend(); ++it)
                parameters->insert(it.key(), it.value());
        } else if (stage == QAbstractOAuth::Stage::RequestingAccessToken) {
            parameters->insert(QStringLiteral("code_verifier"), QString::fromLatin1(codeVerifier_));
        }
    });
    connect(flow_, &QAbstractOAuth::authorizeWithBrowser, this, [this](const QUrl& url) { openBrowser_(url); });
    connect(flow_, &QAbstractOAuth::granted, this, [this] {
        QVariantMap tokens;
        tokens.insert(QStringLiteral("access_token"), flow_->token());
        tokens.insert(QStringLiteral("refresh_token"), flow_->refreshToken());
        if (flow_->expirationAt().isValid())
            tokens.insert(QStringLiteral("expires_at"), flow_->expirationAt().toUTC().toString(Qt::ISODate));
        adopt(tokens);
        store();
        finishSignIn(true, QString());
    });
    connect(
        flow_, &QAbstractOAuth2::error, this, [this](const QString& error, const QString& description, const QUrl&) {
            finishSignIn(false, serviceErrorText(error, description));
        });
    connect(handler_, &LoopbackReplyHandler::tokenRequestFailed, this,
        [this](const QString& error) { finishSignIn(false, error); });
}

void OAuthSession::signIn()
{
    cancelledByUser_ = false;
    setSigningIn(true);
    if (!config_.hasCredentials()) {
        finishSignIn(false, config_.missingCredentialsText(config_.service));
        return;
    }
    if (redirectListener().open) {
        // The authorize address must carry the port bound now: the listener
        // may have come back on another one since the last sign-in.
        const QString base = redirectListener().open();
        if (base.isEmpty()) {
            finishSignIn(
                false, QStringLiteral("Vellicor cannot wait for the browser's return: no port on 127.0.0.1 is free."));
            return;
        }
        setRedirectBase(base);
    }
    makeFlow();
    flow_->grant();
}

bool OAuthSession::handleRedirect(const QUrl& url)
{
    if (!signingIn_ || !handler_)
        return false;
    // The address handed out with this sign-in, whatever was set since.
    const QUrl expected(handler_->redirectUri);
    if (url.host() != expected.host() || url.port() != expected.port() || url.path() != expected.path())
        return false;
    const QUrlQuery query(url);
    // One value each: the state checked must be the state handed on.
    for (const QString& key : { QStringLiteral("state"), QStringLiteral("code") }) {
        if (query.allQueryItemValues(key).size() > 1) {
            Log::print("A sign-in redirect carrying", key, "twice was refused:", config_.service);
            return false;
        }
    }
    if (query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded) != flow_->state())
        return false;
    if (query.hasQueryItem(QStringLiteral("error"))) {
        // Declined or refused: the service's own words, which it writes as a
        // form's values (a "+" for a space).
        const auto value = [&query](const QString& key) {
            QString encoded = query.queryItemValue(key, QUrl::FullyEncoded);
            return QUrl::fromPercentEncoding(encoded.replace(QLatin1Char('+'), QLatin1Char(' ')).toUtf8());
        };
        const QString error
            = serviceErrorText(value(QStringLiteral("error")), value(QStringLiteral("error_description")));
        finishSignIn(false, error.isEmpty() ? QStringLiteral("the service refused the sign-in") : error);
        return true;
    }
    QVariantMap values;
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded))
        values.insert(key, value);
    handler_->receiveRedirect(values);
    return true;
}

void OAuthSession::cancelSignIn()
{
    cancelledByUser_ = signingIn_;
    finishSignIn(false, QStringLiteral("cancelled"));
}

void OAuthSession::finishSignIn(bool signedIn, const QString& error)
{
    // Reported once: a late answer of a flow that already ended says nothing.
    if (!signingIn_)
        return;
    setSigningIn(false);
    if (!signedIn)
        Log::print("A cloud sign-in failed:", config_.service, error);
    emit signInFinished(signedIn, error);
}

void OAuthSession::adopt(const QVariantMap& tokens)
{
    accessToken_ = tokens.value(QStringLiteral("access_token")).toString();
    const QString refreshToken = tokens.value(QStringLiteral("refresh_token")).toString();
    if (!refreshToken.isEmpty())
        refreshToken_ = refreshToken;
    expiresAt_ = QDateTime::fromString(tokens.value(QStringLiteral("expires_at")).toString(), Qt::ISODate);
    for (const QPointer<RestClient>& client : clients_)
        if (client)
            client->setBearerToken(accessToken_);
    emit accessTokenChanged();
}

void OAuthSession::setKeepingTokens(bool keep)
{
    keepingTokens() = keep;
}

void OAuthSession::store()
{
    if (!store_ || secretItem_.isEmpty() || !keepingTokens())
        return;
    QJsonObject kept;
    kept.insert(QStringLiteral("access_token"), accessToken_);
    kept.insert(QStringLiteral("refresh_token"), refreshToken_);
    if (expiresAt_.isValid())
        kept.insert(QStringLiteral("expires_at"), expiresAt_.toUTC().toString(Qt::ISODate));
    store_->writeSecret(
        secretItem_, QString::fromUtf8(QJsonDocument(kept).toJson(QJsonDocument::Compact)), [](bool) {});
}

void OAuthSession::restore(std::function<void(bool)> done)
{
    if (!store_ || secretItem_.isEmpty()) {
        done(false);
        return;
    }
    QPointer<OAuthSession> self(this);
    store_->readSecret(secretItem_, [self, done](std::optional<QString> secret) {
        if (!self || !secret) {
            done(false);
            return;
        }
        const QJsonObject kept = QJsonDocument::fromJson(secret->toUtf8()).object();
        if (kept.value(QStringLiteral("access_token")).toString().isEmpty()
            && kept.value(QStringLiteral("refresh_token")).toString().isEmpty()) {
            done(false);
            return;
        }
        self->adopt(kept.toVariantMap());
        done(true);
    });
}

void OAuthSession::freshToken(std::function<void(bool)> done)
{
    const bool expired = expiresAt_.isValid() && expiresAt_ <= QDateTime::currentDateTimeUtc().addSecs(30);
    if (!accessToken_.isEmpty() && !expired) {
        done(true);
        return;
    }
    refresh(std::move(done));
}

void OAuthSession::refresh(std::function<void(bool)> done)
{
    if (refreshToken_.isEmpty() || !config_.tokenUrl.isValid()) {
        refreshRefused_ = true;
        done(false);
        return;
    }
    refreshWaiters_.push_back(std::move(done));
    if (refreshWaiters_.size() > 1)
        return; // one refresh answers every request that asked meanwhile
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("grant_type"), QStringLiteral("refresh_token"));
    form.addQueryItem(QStringLiteral("refresh_token"), QString::fromLatin1(QUrl::toPercentEncoding(refreshToken_)));
    form.addQueryItem(QStringLiteral("client_id"), QString::fromLatin1(QUrl::toPercentEncoding(config_.clientId)));
    if (!config_.clientSecret.isEmpty())
        form.addQueryItem(
            QStringLiteral("client_secret"), QString::fromLatin1(QUrl::toPercentEncoding(config_.clientSecret)));
    BoundedNetworkAccess* network = makeTokenNetworkAccess(tokenDeadlineMs_, this);
    QNetworkRequest request(config_.tokenUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    QNetworkReply* reply = network->post(request, form.query(QUrl::FullyEncoded).toUtf8());
    connect(reply, &QNetworkReply::finished, this, [this, reply, network] {
        reply->deleteLater();
        network->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
        const QString token = answer.value(QStringLiteral("access_token")).toString();
        if (status < 200 || status >= 300 || token.isEmpty()) {
            Log::print("A cloud token could not be refreshed:", config_.service, status, reply->errorString());
            // Answered, and refused: unlike a refresh that found no answer
            // (the connection, the service's own trouble), a later one would
            // be refused too. A refresh token that is refused itself
            // (revoked, expired, the password changed) ends the sign-in
            // whoever asked for the refresh.
            refreshRefused_ = status >= 400 && status < 500;
            const QString error = answer.value(QStringLiteral("error")).toString();
            if (error == QLatin1String("invalid_grant"))
                endRefusedSignIn(serviceErrorText(error, answer.value(QStringLiteral("error_description")).toString()));
            finishRefresh(false);
            return;
        }
        QVariantMap tokens = answer.toVariantMap();
        const int lifetime = answer.value(QStringLiteral("expires_in")).toInt();
        if (lifetime > 0)
            tokens.insert(
                QStringLiteral("expires_at"), QDateTime::currentDateTimeUtc().addSecs(lifetime).toString(Qt::ISODate));
        refreshRefused_ = false;
        adopt(tokens);
        store();
        finishRefresh(true);
    });
}

void OAuthSession::finishRefresh(bool refreshed)
{
    std::vector<std::function<void(bool)>> waiters;
    waiters.swap(refreshWaiters_);
    for (const auto& waiter : waiters)
        waiter(refreshed);
}

void OAuthSession::endRefusedSignIn(const QString& why)
{
    if (accessToken_.isEmpty() && refreshToken_.isEmpty())
        return;
    Log::print("The service no longer accepts the sign-in; it has ended:", config_.service, why);
    signOut();
    emit signInRefused();
}

void OAuthSession::signOut(std::function<void(bool)> done)
{
    accessToken_.clear();
    refreshToken_.clear();
    expiresAt_ = QDateTime();
    for (const QPointer<RestClient>& client : clients_)
        if (client)
            client->setBearerToken(QString());
    emit accessTokenChanged();
    if (!store_ || secretItem_.isEmpty()) {
        if (done)
            done(true);
        return;
    }
    store_->removeSecret(secretItem_, [done](bool removed, const QString&) {
        if (done)
            done(removed);
    });
}

void OAuthSession::attach(RestClient& client)
{
    clients_.emplace_back(&client);
    client.setBearerToken(accessToken_);
    QPointer<OAuthSession> self(this);
    client.setRefresh([self](std::function<void(bool)> done) {
        if (!self) {
            done(false);
            return;
        }
        // Asked for after a 401: refused a new token too, the service no
        // longer accepts this sign-in, and the session ends before the
        // request is answered. A refresh that found no answer leaves it.
        self->refresh([self, done = std::move(done)](bool refreshed) {
            if (!refreshed && self && self->refreshRefused_)
                self->endRefusedSignIn(QStringLiteral("a request was answered 401 and the refresh was refused"));
            done(refreshed);
        });
    });
    client.setRefusedAfterRefresh([self] {
        if (self)
            self->endRefusedSignIn(QStringLiteral("a request was answered 401 with a token just refreshed"));
    });
}

void tellSignInFailed(const QString& reason)
{
    AlertRequest request;
    request.messageText = localizedText(QStringLiteral("ID_AUTHORIZATION_ERROR"));
    request.informativeText = reason;
    request.buttons = { localizedText(QStringLiteral("ID_OK")) };
    alertPresenter()->presentThen(request, nullptr);
}

void endSourceSignInWhenRefused(OAuthSession& session, ScanWrapper& source)
{
    QObject::connect(&session, &OAuthSession::signInRefused, &session, [&source] {
        source.endRefusedSignIn();
        if (!isScanRunning)
            tellSignInFailed(localizedText(QStringLiteral("ID_SIGN_IN_NO_LONGER_ACCEPTED")));
    });
}

#include "OAuthSession.moc"
