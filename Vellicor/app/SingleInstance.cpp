#include "app/SingleInstance.h"

#include "base/AppPaths.h"
#include "base/Log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTimer>

namespace {

constexpr QByteArrayView activateRequest = "activate\n";
// How long a later start waits for the first copy, in all.
constexpr int connectTimeoutMs = 1000;
constexpr int writeTimeoutMs = 1000;
// Times a later start tries to reach a first copy that may still be starting.
constexpr int connectAttempts = 3;
// A connection that says nothing in this time is dropped.
constexpr int requestTimeoutMs = 2000;

} // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& key, QObject* parent)
    : QObject(parent)
    , folder_(QDir::cleanPath(folder))
    , name_(QStringLiteral("instance-")
          + QString::fromLatin1(
              QCryptographicHash::hash(QDir::cleanPath(key).toUtf8(), QCryptographicHash::Sha1).toHex().left(16)))
{
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

QString SingleInstance::lockPath() const
{
    return folder_ + QLatin1Char('/') + name_ + QStringLiteral(".lock");
}

QString SingleInstance::socketPath() const
{
    return folder_ + QLatin1Char('/') + name_ + QStringLiteral(".socket");
}

SingleInstance::Start SingleInstance::start()
{
    if (AppPaths::ensureFolder(folder_))
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    else
        Log::print("Cannot make the runtime folder", folder_, "; a second start cannot be noticed.");
    lock_ = std::make_unique<QLockFile>(lockPath());
    // The lock is held for the whole run, so it never goes stale by age; it
    // goes stale only when the process named in it is gone.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) {
            lock_.reset();
            return askFirstToActivate() ? Start::handedOver : Start::otherNotReached;
        }
        // A folder that cannot hold the lock must not keep the program from
        // starting.
        Log::print("Cannot take the instance lock", lockPath(), "(error", int(lock_->error()), ")");
        lock_.reset();
    }
    // Whatever socket is there was left by a copy that no longer runs.
    QLocalServer::removeServer(socketPath());
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath()))
        Log::print("Cannot listen at", socketPath(), ":", server_.errorString());
    return Start::first;
}

bool SingleInstance::askFirstToActivate()
{
    for (int attempt = 0; attempt < connectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (!socket.waitForConnected(connectTimeoutMs / connectAttempts))
            continue;
        socket.write(activateRequest.data(), activateRequest.size());
        const bool sent = socket.waitForBytesWritten(writeTimeoutMs) || socket.bytesToWrite() == 0;
        socket.disconnectFromServer();
        if (socket.state() != QLocalSocket::UnconnectedState)
            socket.waitForDisconnected(writeTimeoutMs);
        if (sent)
            return true;
    }
    Log::print("Another copy holds", lockPath(), "but does not answer at", socketPath());
    return false;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        // Each connection lives until it has closed or kept silent too long;
        // only whole lines of the request count.
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, &QLocalSocket::abort);
        timer->start(requestTimeoutMs);
        const auto readRequest = [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine(64) == QByteArray(activateRequest.data(), activateRequest.size()))
                    emit activationRequested();
            }
            if (socket->bytesAvailable() > 64)
                socket->abort();
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequest);
        connect(socket, &QLocalSocket::disconnected, this, [socket, readRequest] {
            readRequest();
            socket->deleteLater();
        });
        // The line may have come with the connection.
        if (socket->bytesAvailable() > 0)
            readRequest();
    }
}
