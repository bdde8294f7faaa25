#include "platform/FileManager.h"

#include "base/Log.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

// "file://" and the path's own bytes, every one outside the unreserved
// characters and '/' percent-encoded: the one spelling every reader, however
// strict, takes back to the same bytes. The toolkit's readable form leaves
// blanks, controls and other scripts as they are, and a strict reader then
// names another file, or none.
QByteArray fileUriOf(const QString& path)
{
    const QString absolute = QDir::isAbsolutePath(path) ? path : QFileInfo(path).absoluteFilePath();
    return QByteArrayLiteral("file://") + QUrl::toPercentEncoding(QFile::encodeName(absolute), "/");
}

} // namespace

QUrl fileUrlOf(const QString& path)
{
    return QUrl::fromEncoded(fileUriOf(path), QUrl::StrictMode);
}

QDBusMessage showItemsCall(const QString& path)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("ShowItems"));
    call << QStringList { QString::fromLatin1(fileUriOf(path)) } << QString();
    return call;
}

bool revealInFileManager(const QString& path)
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(showItemsCall(path), QDBus::Block, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        Log::print("No file manager answered over D-Bus; opening the folder instead:", path);
        return QDesktopServices::openUrl(fileUrlOf(QFileInfo(path).absolutePath()));
    }
    return true;
}

bool openWithDefaultApplication(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QDesktopServices::openUrl(fileUrlOf(path));
}
