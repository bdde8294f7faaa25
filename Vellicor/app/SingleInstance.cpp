#include "app/SingleInstance.h"

#include "base/Log.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/OwnFolderTexts.h"
#include "core/TextFormat.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

SingleInstance::SingleInstance(const QString& runtimeFolder, const QString& settingsFolder, QObject* parent)
    : QObject(parent)
    , runtimeFolder_(QDir::cleanPath(runtimeFolder))
    , settingsFolder_(QDir::cleanPath(settingsFolder))
    , name_(QStringLiteral("instance-")
          + QString::fromLatin1(
              QCryptographicHash::hash(settingsFolder_.toUtf8(), QCryptographicHash::Sha1).toHex().left(16)))
{
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

SingleInstance::~SingleInstance()
{
    server_.close();
}

QString SingleInstance::lockPath() const
{
    return settingsFolder_ + QStringLiteral("/instance.lock");
}

QString SingleInstance::socketPath() const
{
    return runtimeFolder_ + QLatin1Char('/') + name_ + QStringLiteral(".socket");
}

FileDescriptor SingleInstance::openLockFile() const
{
    if (PrivateFiles::useOwnFolder(settingsFolder_, PrivateFiles::FolderUse::settings)) {
        Log::print("No settings folder of the user's own at", settingsFolder_, "; a second start cannot be noticed.");
        return {};
    }
    FileDescriptor fd(
        ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.isOpen()) {
        Log::print("Cannot open the instance lock", lockPath(), ":", QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    struct stat info { };
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        Log::print(
            "The instance lock", lockPath(), "is not a file of the user's own; a second start cannot be noticed.");
        return {};
    }
    PrivateFiles::narrowOpenFile(fd.get());
    return fd;
}

SingleInstance::Start SingleInstance::start()
{
    lock_ = openLockFile();
    if (lock_.isOpen() && ::flock(lock_.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            // The running copy wrote where it listens; a lock file without a
            // path names the socket this start would use.
            QFile lock;
            QString socket;
            if (lock.open(lock_.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
                const QList<QByteArray> lines = lock.read(4096).split('\n');
                socket = lines.size() > 1 ? QFile::decodeName(lines[1]) : QString();
            }
            lock_.reset();
            if (socket.isEmpty() || !QDir::isAbsolutePath(socket))
                socket = socketPath();
            return askFirstToActivate(socket) ? Start::handedOver : Start::otherNotReached;
        }
        // A file system that cannot lock must not keep the program from
        // starting.
        Log::print("Cannot take the instance lock", lockPath(), ":", QString::fromLocal8Bit(std::strerror(error)));
        lock_.reset();
    }
    listen();
    if (lock_.isOpen()) {
        const QByteArray content = QByteArray::number(::getpid()) + '\n'
            + (server_.isListening() ? QFile::encodeName(socketPath()) : QByteArray()) + '\n';
        if (::ftruncate(lock_.get(), 0) != 0
            || ::pwrite(lock_.get(), content.constData(), size_t(content.size()), 0) < 0)
            Log::print("Cannot write where this copy listens into", lockPath());
    }
    return Start::first;
}

void SingleInstance::listen()
{
    runtimeFault_ = PrivateFiles::ensureOwnFolder(runtimeFolder_);
    if (runtimeFault_) {
        Log::print("The runtime folder", runtimeFolder_, "is not used; a second start cannot raise this window.");
        return;
    }
    // Whatever socket is there was left by a copy that no longer runs: this
    // copy holds the lock.
    QLocalServer::removeServer(socketPath());
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath()))
        Log::print("Cannot listen at", socketPath(), ":", server_.errorString());
}

AlertRequest SingleInstance::runtimeFolderAlert(const QString& folder, PrivateFiles::FolderFault fault)
{
    const QString shown = printablePath(folder, shownPathLength);
    return AlertRequest { formatText(localizedText("ID_RUNTIME_FOLDER_UNSAFE"), { shown }),
        formatText(localizedText("ID_RUNTIME_FOLDER_UNSAFE_DETAILS"), { folderFaultText(fault), shown }),
        { localizedText("ID_OK") }, AlertStyle::warning };
}

bool SingleInstance::askFirstToActivate(const QString& path)
{
    for (int attempt = 0; attempt < connectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(path);
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
    Log::print("Another copy holds", lockPath(), "but does not answer at", path);
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
