#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <QUrlQuery>

#include "support/WaitUntil.h"

#include <functional>
#include <map>
#include <utility>
#include <vector>

class QTcpSocket;

// One request as the fake server read it.
struct FakeHttpRequest {
    QByteArray method;
    // The request target as sent, still encoded.
    QByteArray target;
    QString path;
    QUrlQuery query;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const QByteArray& name) const;
    QUrlQuery form() const { return QUrlQuery(QString::fromUtf8(body)); }
    QJsonObject json() const;
};

struct FakeHttpResponse {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Keeps the connection open without an answer (a service that hangs).
    bool neverAnswer = false;
    // Keeps the answer until releaseHeld() (a slow answer, deterministically).
    bool held = false;
    // Sends no Content-Length: the body ends when the connection closes.
    bool unannouncedLength = false;
    // Announces a long body and sends it one byte every trickleMs, never
    // ending (a server that keeps a connection alive without answering).
    int trickleMs = 0;
    // Keeps the connection open after the answer for a further request.
    bool keepAlive = false;
    // An answer that never ends, sent as fast as the client reads it (the
    // drip: one header line every 100 ms). The server stops by itself after
    // endlessLimitBytes or when the client goes.
    enum class Endless { no, headerLines, statusLine, headerLine, chunkedBody, dripHeaders };
    Endless endless = Endless::no;
    static constexpr qint64 endlessLimitBytes = 8ll * 1024 * 1024 * 1024;

    static FakeHttpResponse never(Endless shape)
    {
        FakeHttpResponse response;
        response.endless = shape;
        return response;
    }

    static FakeHttpResponse json(int status, const QJsonObject& object);
};

// A small HTTP/1.1 server for the cloud tests, on 127.0.0.1 at a free port
// only: a route table by method and path, a log of every request, and an
// OAuth 2 provider (authorize and token endpoints, PKCE S256 checked) with a
// stand-in browser that follows the authorize page's redirect. A route set
// for the provider's paths answers in its place. GUI thread.
class FakeHttpServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<FakeHttpResponse(const FakeHttpRequest&)>;

    explicit FakeHttpServer(QObject* parent = nullptr);
    ~FakeHttpServer() override;

    bool listen();
    // "http://127.0.0.1:PORT".
    QUrl baseUrl() const;
    QUrl url(const QString& path) const;

    void route(const QByteArray& method, const QString& path, Handler handler);
    // The handler set for a route (none: an empty one), to wrap it.
    Handler routed(const QByteArray& method, const QString& path) const;
    std::vector<FakeHttpRequest> requestLog;
    // Sends the answers kept back so far, in the order they were kept.
    void releaseHeld();
    int heldCount() const { return static_cast<int>(held_.size()); }
    // The answers kept back whose client still waits on its connection: a
    // client that gave a request up has closed it.
    int heldOpenCount() const;
    int requestCount(const QByteArray& method, const QString& path) const;
    // Connections accepted so far.
    int connectionCount = 0;
    // Closes every open connection, as a service ends connections it kept.
    void closeConnections();
    // Bytes of endless answers sent so far.
    qint64 endlessBytesSent = 0;

    // ---- OAuth 2 provider: GET /authorize, POST /token ---------------------
    void enableOAuth(const QString& clientId);
    // The next authorize request is declined by the user.
    bool declineNextSignIn = false;
    // What the decline says beside its code ("error_description"), written
    // as a form's value (a space as "+"); nothing when empty.
    QString declineDescription;
    // The access token the API routes accept; expireAccessToken() makes the
    // one handed out stale, so requests get 401 until a refresh.
    QString currentAccessToken;
    void expireAccessToken() { currentAccessToken = QStringLiteral("expired"); }
    bool isAuthorized(const FakeHttpRequest& request) const;
    int refreshCount = 0;
    // Code exchanges whose verifier did not match the challenge.
    int verifierMismatches = 0;

    // The stand-in browser: opens the address and hands the redirect target
    // it was sent to (its Location) to the callback.
    void browse(const QUrl& address, std::function<void(const QUrl&)> redirected);

private:
    void readFrom(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const FakeHttpRequest& request);
    FakeHttpResponse authorize(const FakeHttpRequest& request);
    FakeHttpResponse token(const FakeHttpRequest& request);

    QTcpServer server_;
    std::map<std::pair<QByteArray, QString>, Handler> routes_;
    void send(QTcpSocket* socket, const FakeHttpResponse& response);
    void sendEndless(QTcpSocket* socket, FakeHttpResponse::Endless shape);

    QHash<QTcpSocket*, QByteArray> buffers_;
    std::vector<std::pair<QPointer<QTcpSocket>, FakeHttpResponse>> held_;
    QString clientId_;
    struct Grant {
        QString challenge;
        QString redirectUri;
    };
    QHash<QString, Grant> codes_;
    QString refreshToken_;
    int issued_ = 0;
};
