#include "app/SignInListener.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace {

// A request line and headers of a redirect fit easily; more is not one.
constexpr qsizetype maximumRequestSize = 16 * 1024;

void answer(QTcpSocket* socket, const QByteArray& status, const QByteArray& body)
{
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

QByteArray page(const char* text)
{
    return QByteArray("<!DOCTYPE html><html><body><p>") + text + "</p></body></html>";
}

void drop(QTcpSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

} // namespace

SignInListener::SignInListener(QObject* parent)
    : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, &SignInListener::acceptConnections);
}

bool SignInListener::open()
{
    if (server_.isListening())
        return true;
    if (!(lastPort_ != 0 && server_.listen(QHostAddress::LocalHost, lastPort_))
        && !server_.listen(QHostAddress::LocalHost, 0))
        return false;
    lastPort_ = server_.serverPort();
    return true;
}

QString SignInListener::redirectBase() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(port());
}

void SignInListener::acceptConnections()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (!isSignInWaiting()) {
            drop(socket);
            continue;
        }
        std::erase_if(connections_, [](const QPointer<QTcpSocket>& open) {
            return !open || open->state() == QAbstractSocket::UnconnectedState;
        });
        if (static_cast<int>(connections_.size()) >= maximumConnections) {
            const auto idle = std::find_if(connections_.begin(), connections_.end(),
                [](const QPointer<QTcpSocket>& open) { return !open->property("answered").toBool(); });
            if (idle == connections_.end()) {
                drop(socket);
                continue;
            }
            drop(*idle);
            connections_.erase(idle);
        }
        connections_.emplace_back(socket);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // Bounded from the connection's start, so a request sent a byte at a
        // time is dropped as well as a silent one.
        QTimer::singleShot(requestTimeLimitMs_, socket, [socket] { drop(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    }
}

void SignInListener::readRequest(QTcpSocket* socket)
{
    if (socket->property("answered").toBool())
        return;
    if (socket->bytesAvailable() > maximumRequestSize) {
        socket->setProperty("answered", true);
        answer(socket, "413 Content Too Large", QByteArray());
        return;
    }
    // Headers are not needed: the request line alone carries the redirect.
    if (!socket->canReadLine())
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> parts = socket->readLine(maximumRequestSize).trimmed().split(' ');
    if (parts.size() != 3 || parts[0] != "GET" || !parts[1].startsWith('/')) {
        answer(socket, "400 Bad Request", QByteArray());
        return;
    }
    // The sign-in may have ended while the request was on its way.
    if (!isSignInWaiting()) {
        drop(socket);
        return;
    }
    if (!taker_ || !taker_(redirectBase() + QString::fromUtf8(parts[1]))) {
        answer(socket, "400 Bad Request", page("Vellicor is not waiting for this sign-in."));
        return;
    }
    answer(socket, "200 OK", page("Vellicor has received the sign-in. You can close this page."));
}
