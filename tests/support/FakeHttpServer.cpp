#include "support/FakeHttpServer.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

QByteArray FakeHttpRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QByteArray();
}

QJsonObject FakeHttpRequest::json() const
{
    return QJsonDocument::fromJson(body).object();
}

FakeHttpResponse FakeHttpResponse::json(int status, const QJsonObject& object)
{
    FakeHttpResponse response;
    response.status = status;
    response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return response;
}

FakeHttpServer::FakeHttpServer(QObject* parent)
    : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            ++connectionCount;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                buffers_.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

FakeHttpServer::~FakeHttpServer()
{
    // Open connections go before the tables their signals would touch.
    for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) {
        disconnect(socket, nullptr, this, nullptr);
        delete socket;
    }
}

void FakeHttpServer::closeConnections()
{
    for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>())
        socket->disconnectFromHost();
}

bool FakeHttpServer::listen()
{
    return server_.listen(QHostAddress::LocalHost, 0);
}

QUrl FakeHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()));
}

QUrl FakeHttpServer::url(const QString& path) const
{
    return QUrl(baseUrl().toString() + path);
}

void FakeHttpServer::route(const QByteArray& method, const QString& path, Handler handler)
{
    routes_[{ method, path }] = std::move(handler);
}

FakeHttpServer::Handler FakeHttpServer::routed(const QByteArray& method, const QString& path) const
{
    const auto it = routes_.find({ method, path });
    return it == routes_.end() ? Handler() : it->second;
}

int FakeHttpServer::requestCount(const QByteArray& method, const QString& path) const
{
    int count = 0;
    for (const FakeHttpRequest& request : requestLog)
        count += request.method == method && request.path == path;
    return count;
}

void FakeHttpServer::readFrom(QTcpSocket* socket)
{
    QByteArray& buffer = buffers_[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    FakeHttpRequest request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    const QUrl target(QString::fromUtf8(request.target));
    request.path = target.path();
    request.query = QUrlQuery(target);
    qsizetype length = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        request.headers.append({ name, value });
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            length = value.toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + length)
        return;
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.remove(0, headerEnd + 4 + length);
    answer(socket, request);
}

void FakeHttpServer::answer(QTcpSocket* socket, const FakeHttpRequest& request)
{
    requestLog.push_back(request);
    FakeHttpResponse response;
    if (auto found = routes_.find({ request.method, request.path }); found != routes_.end()) {
        response = found->second(request);
    } else if (!clientId_.isEmpty() && request.method == "GET" && request.path == QLatin1String("/authorize")) {
        response = authorize(request);
    } else if (!clientId_.isEmpty() && request.method == "POST" && request.path == QLatin1String("/token")) {
        response = token(request);
    } else {
        response = FakeHttpResponse::json(404, { { QStringLiteral("error"), QStringLiteral("not_found") } });
    }
    if (response.neverAnswer)
        return;
    if (response.held) {
        held_.emplace_back(socket, response);
        return;
    }
    send(socket, response);
}

int FakeHttpServer::heldOpenCount() const
{
    return static_cast<int>(std::count_if(held_.begin(), held_.end(), [](const auto& held) {
        return held.first && held.first->state() == QAbstractSocket::ConnectedState;
    }));
}

void FakeHttpServer::releaseHeld()
{
    for (const auto& [socket, response] : std::exchange(held_, {})) {
        if (socket)
            send(socket, response);
    }
}

void FakeHttpServer::send(QTcpSocket* socket, const FakeHttpResponse& response)
{
    if (response.endless != FakeHttpResponse::Endless::no) {
        sendEndless(socket, response.endless);
        return;
    }
    QByteArray text = "HTTP/1.1 " + QByteArray::number(response.status) + " Fake\r\n";
    text += "Content-Type: " + response.contentType + "\r\n";
    if (response.trickleMs > 0) {
        socket->write(text + "Content-Length: 100000\r\n\r\n");
        auto* trickle = new QTimer(socket);
        connect(trickle, &QTimer::timeout, socket, [socket] { socket->write(" "); });
        trickle->start(response.trickleMs);
        return;
    }
    if (!response.unannouncedLength)
        text += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers)
        text += name + ": " + value + "\r\n";
    if (response.keepAlive) {
        socket->write(text + "\r\n" + response.body);
        return;
    }
    text += "Connection: close\r\n\r\n" + response.body;
    socket->write(text);
    socket->disconnectFromHost();
}

void FakeHttpServer::sendEndless(QTcpSocket* socket, FakeHttpResponse::Endless shape)
{
    using Endless = FakeHttpResponse::Endless;
    QByteArray start = "HTTP/1.1 200 OK\r\n";
    QByteArray piece;
    switch (shape) {
    case Endless::headerLines:
    case Endless::dripHeaders:
        piece = "X-Filler: " + QByteArray(52, 'a') + "\r\n";
        if (shape == Endless::headerLines)
            piece = piece.repeated(1024);
        break;
    case Endless::statusLine:
        start = "HTTP/1.1 200 ";
        piece = QByteArray(64 * 1024, 'a');
        break;
    case Endless::headerLine:
        start += "X-Filler: ";
        piece = QByteArray(64 * 1024, 'a');
        break;
    case Endless::chunkedBody:
        start += "Content-Type: image/png\r\nTransfer-Encoding: chunked\r\n\r\n";
        piece = "10000\r\n" + QByteArray(0x10000, 'a') + "\r\n";
        break;
    case Endless::no:
        return;
    }
    socket->write(start);
    // Topped up as the client reads, so the server itself holds little.
    const auto topUp = [this, socket, piece] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 256 * 1024
            && endlessBytesSent < FakeHttpResponse::endlessLimitBytes) {
            socket->write(piece);
            endlessBytesSent += piece.size();
        }
    };
    if (shape == Endless::dripHeaders) {
        auto* drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [this, socket, piece] {
            socket->write(piece);
            endlessBytesSent += piece.size();
        });
        drip->start(100);
        return;
    }
    connect(socket, &QTcpSocket::bytesWritten, socket, topUp);
    topUp();
}

void FakeHttpServer::enableOAuth(const QString& clientId)
{
    clientId_ = clientId;
}

bool FakeHttpServer::isAuthorized(const FakeHttpRequest& request) const
{
    return !currentAccessToken.isEmpty() && request.header("Authorization") == "Bearer " + currentAccessToken.toUtf8();
}

FakeHttpResponse FakeHttpServer::authorize(const FakeHttpRequest& request)
{
    const QUrlQuery& query = request.query;
    const QString redirectUri = query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded);
    const QString state = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    if (query.queryItemValue(QStringLiteral("client_id")) != clientId_
        || query.queryItemValue(QStringLiteral("code_challenge_method")) != QLatin1String("S256")
        || query.queryItemValue(QStringLiteral("code_challenge")).isEmpty() || redirectUri.isEmpty())
        return FakeHttpResponse::json(400, { { QStringLiteral("error"), QStringLiteral("invalid_request") } });
    QUrl target(redirectUri);
    QUrlQuery back;
    if (declineNextSignIn) {
        declineNextSignIn = false;
        back.addQueryItem(QStringLiteral("error"), QStringLiteral("access_denied"));
    } else {
        const QString code = QStringLiteral("code%1").arg(++issued_);
        codes_.insert(code, { query.queryItemValue(QStringLiteral("code_challenge")), redirectUri });
        back.addQueryItem(QStringLiteral("code"), code);
    }
    back.addQueryItem(QStringLiteral("state"), state);
    QString sent = back.query(QUrl::FullyEncoded);
    if (!back.hasQueryItem(QStringLiteral("code")) && !declineDescription.isEmpty())
        sent += QStringLiteral("&error_description=")
            + QString::fromLatin1(QUrl::toPercentEncoding(declineDescription, " ").replace(' ', '+'));
    target.setQuery(sent, QUrl::StrictMode);
    FakeHttpResponse response;
    response.status = 302;
    response.contentType = "text/plain";
    response.headers.append({ "Location", target.toEncoded() });
    return response;
}

FakeHttpResponse FakeHttpServer::token(const FakeHttpRequest& request)
{
    const QUrlQuery form = request.form();
    const QString grant = form.queryItemValue(QStringLiteral("grant_type"));
    const auto refused = FakeHttpResponse::json(400, { { QStringLiteral("error"), QStringLiteral("invalid_grant") } });
    if (form.queryItemValue(QStringLiteral("client_id"), QUrl::FullyDecoded) != clientId_)
        return refused;
    if (grant == QLatin1String("authorization_code")) {
        const QString code = form.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
        const QString verifier = form.queryItemValue(QStringLiteral("code_verifier"), QUrl::FullyDecoded);
        if (!codes_.contains(code))
            return refused;
        const Grant granted = codes_.take(code);
        const QString challenge
            = QString::fromLatin1(QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256)
                                      .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
        if (verifier.isEmpty() || challenge != granted.challenge) {
            ++verifierMismatches;
            return refused;
        }
        refreshToken_ = QStringLiteral("refresh%1").arg(issued_);
    } else if (grant == QLatin1String("refresh_token")) {
        if (refreshToken_.isEmpty()
            || form.queryItemValue(QStringLiteral("refresh_token"), QUrl::FullyDecoded) != refreshToken_)
            return refused;
        ++refreshCount;
    } else {
        return refused;
    }
    currentAccessToken = QStringLiteral("access%1").arg(++issued_);
    return FakeHttpResponse::json(200,
        { { QStringLiteral("access_token"), currentAccessToken }, { QStringLiteral("refresh_token"), refreshToken_ },
            { QStringLiteral("token_type"), QStringLiteral("Bearer") }, { QStringLiteral("expires_in"), 3600 } });
}

void FakeHttpServer::browse(const QUrl& address, std::function<void(const QUrl&)> redirected)
{
    auto* network = new QNetworkAccessManager(this);
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = network->get(request);
    connect(reply, &QNetworkReply::finished, this, [reply, network, redirected] {
        const QUrl target = QUrl::fromEncoded(reply->rawHeader("Location"));
        reply->deleteLater();
        network->deleteLater();
        if (target.isValid())
            redirected(target);
    });
}
