#include "platform/BoundedNetworkAccess.h"

#include <QNetworkReply>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

constexpr auto boundAttribute = QNetworkRequest::Attribute(QNetworkRequest::User + 1);
// What one read takes from a connection, and the most the socket itself
// buffers before the answer's reader has counted it.
constexpr qint64 readStep = 64 * 1024;
constexpr qsizetype idleConnectionsPerHost = 4;

// Printable ASCII and bytes past it; blanks (space, tab) only where allowed,
// as in a header's value.
bool isVisibleText(QByteArrayView text, bool blanksAllowed)
{
    return std::all_of(text.begin(), text.end(), [blanksAllowed](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte > 0x20 && byte != 0x7f) || (blanksAllowed && (byte == ' ' || byte == '\t'));
    });
}

QByteArray verbOf(QNetworkAccessManager::Operation operation, const QNetworkRequest& request)
{
    switch (operation) {
    case QNetworkAccessManager::HeadOperation:
        return "HEAD";
    case QNetworkAccessManager::GetOperation:
        return "GET";
    case QNetworkAccessManager::PutOperation:
        return "PUT";
    case QNetworkAccessManager::PostOperation:
        return "POST";
    case QNetworkAccessManager::DeleteOperation:
        return "DELETE";
    case QNetworkAccessManager::CustomOperation:
        return request.attribute(QNetworkRequest::CustomVerbAttribute).toByteArray();
    default:
        return QByteArray();
    }
}

QNetworkReply::NetworkError errorOfStatus(int status)
{
    switch (status) {
    case 400:
        return QNetworkReply::ProtocolInvalidOperationError;
    case 401:
        return QNetworkReply::AuthenticationRequiredError;
    case 403:
        return QNetworkReply::ContentAccessDenied;
    case 404:
        return QNetworkReply::ContentNotFoundError;
    case 405:
        return QNetworkReply::ContentOperationNotPermittedError;
    case 409:
        return QNetworkReply::ContentConflictError;
    case 410:
        return QNetworkReply::ContentGoneError;
    case 500:
        return QNetworkReply::InternalServerError;
    case 501:
        return QNetworkReply::OperationNotImplementedError;
    case 503:
        return QNetworkReply::ServiceUnavailableError;
    default:
        return status >= 500 ? QNetworkReply::UnknownServerError : QNetworkReply::UnknownContentError;
    }
}

QNetworkReply::NetworkError errorOfSocket(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QNetworkReply::ConnectionRefusedError;
    case QAbstractSocket::RemoteHostClosedError:
        return QNetworkReply::RemoteHostClosedError;
    case QAbstractSocket::HostNotFoundError:
        return QNetworkReply::HostNotFoundError;
    case QAbstractSocket::SocketTimeoutError:
        return QNetworkReply::TimeoutError;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return QNetworkReply::SslHandshakeFailedError;
    case QAbstractSocket::ProxyConnectionRefusedError:
        return QNetworkReply::ProxyConnectionRefusedError;
    case QAbstractSocket::ProxyNotFoundError:
        return QNetworkReply::ProxyNotFoundError;
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return QNetworkReply::ProxyTimeoutError;
    default:
        return QNetworkReply::UnknownNetworkError;
    }
}

} // namespace

// One request and its answer, read by an HttpAnswerReader from a connection of
// its own or one its manager kept. Lives on its manager's thread.
class BoundedNetworkReply final : public QNetworkReply {
public:
    BoundedNetworkReply(BoundedNetworkAccess* manager, QNetworkAccessManager::Operation operation,
        const QNetworkRequest& request, QIODevice* data);
    ~BoundedNetworkReply() override;

    void abort() override { giveUp(OperationCanceledError, QStringLiteral("Operation canceled")); }
    qint64 bytesAvailable() const override { return received_.size() + QNetworkReply::bytesAvailable(); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    using Bound = BoundedNetworkAccess::Bound;

    // The request's bytes, or the reason it cannot be sent.
    std::optional<QString> compose(const QNetworkRequest& request, QByteArray verb, const QByteArray& body);
    void connectTo(QAbstractSocket* socket, bool reused);
    void readAnswer();
    void connectionEnded();
    void showHeaders();
    void giveUp(NetworkError error, const QString& text, Bound bound = Bound::none);
    void finish();
    void releaseConnection(bool keep);

    QPointer<BoundedNetworkAccess> manager_;
    const HttpLimits limits_;
    QString key_;
    bool encrypted_ = false;
    QString host_;
    quint16 port_ = 0;
    QSslConfiguration tls_;
    bool idempotent_ = false;
    QByteArray message_;
    QAbstractSocket* socket_ = nullptr;
    bool reused_ = false;
    std::optional<HttpAnswerReader> reader_;
    QByteArray received_;
    qint64 bodyTotal_ = -1;
    qint64 bodyRead_ = 0;
    QTimer headersTimer_;
    QTimer deadlineTimer_;
    bool ended_ = false;
};

BoundedNetworkReply::BoundedNetworkReply(BoundedNetworkAccess* manager, QNetworkAccessManager::Operation operation,
    const QNetworkRequest& request, QIODevice* data)
    : QNetworkReply(manager)
    , manager_(manager)
    , limits_(manager->limits())
{
    setRequest(request);
    setUrl(request.url());
    setOperation(operation);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const QByteArray verb = verbOf(operation, request);
    reader_.emplace(limits_, verb == "HEAD");
    const std::optional<QString> refusal = compose(request, verb, data ? data->readAll() : QByteArray());
    if (refusal) {
        // Told from the event loop, as every answer is: the caller connects
        // to the reply after it is made.
        QMetaObject::invokeMethod(
            this, [this, refusal] { giveUp(ProtocolInvalidOperationError, *refusal); }, Qt::QueuedConnection);
        return;
    }
    headersTimer_.setSingleShot(true);
    connect(&headersTimer_, &QTimer::timeout, this, [this] {
        giveUp(TimeoutError,
            QStringLiteral("The service sent no complete headers within %1 s.").arg(limits_.headersDeadlineMs / 1000),
            Bound::headersTooLate);
    });
    headersTimer_.start(limits_.headersDeadlineMs);
    deadlineTimer_.setSingleShot(true);
    connect(&deadlineTimer_, &QTimer::timeout, this, [this] {
        giveUp(TimeoutError, QStringLiteral("The service did not answer within %1 s.").arg(limits_.deadlineMs / 1000),
            Bound::deadline);
    });
    deadlineTimer_.start(limits_.deadlineMs);
    // From the event loop too: a connection that fails at once must not end
    // the reply before its caller listens.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (ended_)
                return;
            QAbstractSocket* kept = idempotent_ && manager_ ? manager_->takeIdleConnection(key_) : nullptr;
            connectTo(kept, kept != nullptr);
        },
        Qt::QueuedConnection);
}

BoundedNetworkReply::~BoundedNetworkReply()
{
    releaseConnection(false);
}

std::optional<QString> BoundedNetworkReply::compose(
    const QNetworkRequest& request, QByteArray verb, const QByteArray& body)
{
    const QUrl url = request.url();
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QStringLiteral("Only web addresses are fetched.");
    encrypted_ = scheme == QLatin1String("https");
    host_ = url.host(QUrl::FullyEncoded);
    port_ = static_cast<quint16>(url.port(encrypted_ ? 443 : 80));
    tls_ = request.sslConfiguration();
    key_ = scheme + QLatin1String("://") + host_ + QLatin1Char(':') + QString::number(port_);
    idempotent_ = verb == "GET" || verb == "HEAD" || verb == "PUT" || verb == "DELETE";

    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty() || target.startsWith('?'))
        target.prepend('/');
    QByteArray host = host_.toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port(-1) != -1)
        host += ':' + QByteArray::number(port_);
    if (host_.isEmpty() || !isVisibleText(verb, false) || !isVisibleText(target, false) || !isVisibleText(host, false))
        return QStringLiteral("The request's address or method cannot be sent.");

    message_ = verb + ' ' + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    bool agent = false;
    bool coding = false;
    for (const QByteArray& name : request.rawHeaderList()) {
        const QByteArray value = request.rawHeader(name);
        if (!isVisibleText(name, false) || !isVisibleText(value, true))
            return QStringLiteral("A header of the request cannot be sent.");
        const QByteArray lower = name.toLower();
        // The exchange frames the message itself.
        if (lower == "host" || lower == "content-length" || lower == "transfer-encoding" || lower == "connection")
            continue;
        agent = agent || lower == "user-agent";
        coding = coding || lower == "accept-encoding";
        message_ += name + ": " + value + "\r\n";
    }
    if (!agent)
        message_ += "User-Agent: Vellicor\r\n";
    if (!coding)
        message_ += "Accept-Encoding: identity\r\n";
    if (!body.isEmpty() || verb == "POST" || verb == "PUT" || verb == "PATCH")
        message_ += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    message_ += "\r\n" + body;
    return std::nullopt;
}

void BoundedNetworkReply::connectTo(QAbstractSocket* socket, bool reused)
{
    reused_ = reused;
    if (!socket) {
        if (encrypted_) {
            auto* tls = new QSslSocket(this);
            QSslConfiguration configuration = tls_;
            configuration.setAllowedNextProtocols({ QByteArrayLiteral("http/1.1") });
            tls->setSslConfiguration(configuration);
            socket = tls;
        } else {
            socket = new QTcpSocket(this);
        }
    }
    socket->setParent(this);
    socket->setReadBufferSize(readStep);
    socket_ = socket;
    connect(socket, &QAbstractSocket::readyRead, this, &BoundedNetworkReply::readAnswer);
    connect(socket, &QAbstractSocket::disconnected, this, &BoundedNetworkReply::connectionEnded);
    connect(socket, &QAbstractSocket::errorOccurred, this, &BoundedNetworkReply::connectionEnded);
    const auto send = [this] {
        if (socket_)
            socket_->write(message_);
    };
    if (reused) {
        send();
    } else if (auto* tls = qobject_cast<QSslSocket*>(socket)) {
        // Verified against the host's name; a certificate error ends the
        // handshake (nothing is ignored).
        connect(tls, &QSslSocket::encrypted, this, send);
        tls->connectToHostEncrypted(host_, port_);
    } else {
        connect(socket, &QAbstractSocket::connected, this, send);
        socket->connectToHost(host_, port_);
    }
}

void BoundedNetworkReply::readAnswer()
{
    const QPointer<BoundedNetworkReply> self(this);
    while (!ended_ && socket_ && socket_->bytesAvailable() > 0) {
        const QByteArray bytes = socket_->read(readStep);
        const bool hadHeaders = reader_->headersComplete();
        if (!reader_->feed(bytes)) {
            switch (reader_->failure()) {
            case HttpAnswerReader::Failure::headersTooLarge:
                giveUp(ProtocolFailure,
                    QStringLiteral("The service's headers went on past %1 bytes.").arg(limits_.headerBytes),
                    Bound::headersTooLarge);
                break;
            case HttpAnswerReader::Failure::answerTooLarge:
                giveUp(ProtocolFailure,
                    QStringLiteral("The service's answer went on past %1 bytes.").arg(limits_.answerBytes),
                    Bound::answerTooLarge);
                break;
            default:
                giveUp(ProtocolFailure, QStringLiteral("The service's answer could not be read."));
            }
            return;
        }
        if (!hadHeaders && reader_->headersComplete()) {
            showHeaders();
            emit metaDataChanged();
            if (!self || ended_)
                return;
        }
        if (QByteArray body = reader_->takeBody(); !body.isEmpty()) {
            bodyRead_ += body.size();
            received_ += body;
            emit readyRead();
            if (!self || ended_)
                return;
            emit downloadProgress(bodyRead_, bodyTotal_);
            if (!self || ended_)
                return;
        }
        if (reader_->isDone()) {
            releaseConnection(reader_->mayKeepConnection() && socket_->bytesAvailable() == 0);
            finish();
            return;
        }
    }
}

void BoundedNetworkReply::connectionEnded()
{
    if (ended_ || !socket_)
        return;
    if (reused_ && !reader_->anyAnswerByte()) {
        // The kept connection had been closed by the service meanwhile: the
        // request goes once more on a new one.
        releaseConnection(false);
        connectTo(nullptr, false);
        return;
    }
    // What arrived before the end still counts.
    const QPointer<BoundedNetworkReply> self(this);
    readAnswer();
    if (!self || ended_ || !socket_)
        return;
    reader_->connectionClosed();
    if (reader_->isDone()) {
        releaseConnection(false);
        finish();
    } else if (!reader_->anyAnswerByte() && socket_->error() != QAbstractSocket::RemoteHostClosedError) {
        giveUp(errorOfSocket(socket_->error()), socket_->errorString());
    } else {
        giveUp(RemoteHostClosedError, QStringLiteral("The service closed the connection before its answer ended."));
    }
}

void BoundedNetworkReply::showHeaders()
{
    headersTimer_.stop();
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, reader_->status());
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, reader_->reasonPhrase());
    setAttribute(QNetworkRequest::ConnectionEncryptedAttribute, encrypted_);
    QList<QByteArray> names;
    for (const auto& header : reader_->headers())
        if (std::none_of(names.begin(), names.end(),
                [&](const QByteArray& name) { return name.compare(header.first, Qt::CaseInsensitive) == 0; }))
            names.append(header.first);
    for (const QByteArray& name : names)
        setRawHeader(name, reader_->header(name));
    bool known = false;
    const qint64 length = reader_->header("Content-Length").toLongLong(&known);
    bodyTotal_ = known ? length : -1;
}

void BoundedNetworkReply::finish()
{
    if (std::exchange(ended_, true))
        return;
    headersTimer_.stop();
    deadlineTimer_.stop();
    const QPointer<BoundedNetworkReply> self(this);
    if (const int status = reader_->status(); status >= 400) {
        setError(errorOfStatus(status), QString::fromLatin1(reader_->reasonPhrase()));
        emit errorOccurred(error());
        if (!self)
            return;
    }
    setFinished(true);
    emit finished();
}

void BoundedNetworkReply::giveUp(NetworkError error, const QString& text, Bound bound)
{
    if (std::exchange(ended_, true))
        return;
    headersTimer_.stop();
    deadlineTimer_.stop();
    releaseConnection(false);
    received_.clear();
    setAttribute(boundAttribute, static_cast<int>(bound));
    setError(error, text);
    const QPointer<BoundedNetworkReply> self(this);
    emit errorOccurred(error);
    if (!self)
        return;
    setFinished(true);
    emit finished();
}

void BoundedNetworkReply::releaseConnection(bool keep)
{
    QAbstractSocket* socket = std::exchange(socket_, nullptr);
    if (!socket)
        return;
    disconnect(socket, nullptr, this, nullptr);
    if (keep && manager_ && socket->state() == QAbstractSocket::ConnectedState) {
        manager_->keepIdleConnection(key_, socket);
        return;
    }
    socket->abort();
    socket->deleteLater();
}

qint64 BoundedNetworkReply::readData(char* data, qint64 maxSize)
{
    const qint64 count = std::min<qint64>(maxSize, received_.size());
    if (count == 0)
        return ended_ ? -1 : 0;
    std::copy_n(received_.constData(), count, data);
    received_.remove(0, count);
    return count;
}

BoundedNetworkAccess::BoundedNetworkAccess(QObject* parent)
    : QNetworkAccessManager(parent)
{
}

BoundedNetworkAccess::BoundedNetworkAccess(const HttpLimits& limits, QObject* parent)
    : QNetworkAccessManager(parent)
    , limits_(limits)
{
}

BoundedNetworkAccess::~BoundedNetworkAccess()
{
    // A kept connection closing as it goes must not reach the table going with it.
    for (const Idle& idle : std::exchange(idle_, {})) {
        if (!idle.socket)
            continue;
        disconnect(idle.socket, nullptr, this, nullptr);
        delete idle.socket;
    }
}

BoundedNetworkAccess::Bound BoundedNetworkAccess::boundOf(const QNetworkReply* reply)
{
    return reply ? static_cast<Bound>(reply->attribute(boundAttribute).toInt()) : Bound::none;
}

QNetworkReply* BoundedNetworkAccess::createRequest(Operation operation, const QNetworkRequest& request, QIODevice* data)
{
    return new BoundedNetworkReply(this, operation, request, data);
}

QAbstractSocket* BoundedNetworkAccess::takeIdleConnection(const QString& key)
{
    std::erase_if(idle_, [](const Idle& idle) { return !idle.socket; });
    const auto found = std::find_if(idle_.begin(), idle_.end(), [&](const Idle& idle) {
        return idle.key == key && idle.socket->state() == QAbstractSocket::ConnectedState;
    });
    if (found == idle_.end())
        return nullptr;
    QAbstractSocket* socket = found->socket;
    idle_.erase(found);
    disconnect(socket, nullptr, this, nullptr);
    return socket;
}

void BoundedNetworkAccess::keepIdleConnection(const QString& key, QAbstractSocket* socket)
{
    socket->setParent(this);
    std::erase_if(idle_, [](const Idle& idle) { return !idle.socket; });
    // A kept connection that hears from its service, or ends, is done with.
    connect(socket, &QAbstractSocket::readyRead, this, [this, socket] { dropIdleConnection(socket); });
    connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { dropIdleConnection(socket); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket] { dropIdleConnection(socket); });
    QTimer::singleShot(idleConnectionMs, socket, [this, socket] { dropIdleConnection(socket); });
    if (std::count_if(idle_.begin(), idle_.end(), [&](const Idle& idle) { return idle.key == key; })
        >= idleConnectionsPerHost) {
        const auto oldest
            = std::find_if(idle_.begin(), idle_.end(), [&](const Idle& idle) { return idle.key == key; });
        dropIdleConnection(oldest->socket);
    }
    idle_.push_back({ key, socket });
}

void BoundedNetworkAccess::dropIdleConnection(QAbstractSocket* socket)
{
    // Only while kept: a connection in use belongs to its reply.
    const auto found = std::find_if(idle_.begin(), idle_.end(), [&](const Idle& idle) { return idle.socket == socket; });
    if (found == idle_.end())
        return;
    idle_.erase(found);
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}
