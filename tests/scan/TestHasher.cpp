#include "TestHasher.h"

#include "scan/PackageTypes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace {

std::optional<QString> digestOf(const QString& path, qint64 limit, const std::atomic<bool>& abort)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Md5);
    qint64 left = limit;
    while (left != 0) {
        if (abort)
            return std::nullopt;
        const QByteArray chunk = file.read(limit < 0 ? 4096 : std::min<qint64>(4096, left));
        if (chunk.isEmpty())
            break;
        hash.addData(chunk);
        if (limit >= 0)
            left -= chunk.size();
    }
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

QString md5Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

std::optional<QString> TestHasher::md5OfFile(const QString& path, const std::atomic<bool>& abort) const
{
    if (beforeFullRead)
        beforeFullRead(path);
    {
        std::lock_guard lock(mutex_);
        fullReads_.append(path);
    }
    return digestOf(path, -1, abort);
}

std::optional<QString> TestHasher::md5OfFirstBytes(
    const QString& path, qint64 byteCount, const std::atomic<bool>& abort) const
{
    {
        std::lock_guard lock(mutex_);
        headReads_.append(path);
    }
    return digestOf(path, byteCount, abort);
}

// The scan's own package digest, so that packages pair as in a scan.
std::optional<QString> TestHasher::md5OfPackageContents(const QString& path, const std::atomic<bool>& abort) const
{
    {
        std::lock_guard lock(mutex_);
        fullReads_.append(path);
    }
    return packageDigest(path, abort);
}

QStringList TestHasher::fullReads() const
{
    std::lock_guard lock(mutex_);
    return fullReads_;
}

QStringList TestHasher::headReads() const
{
    std::lock_guard lock(mutex_);
    return headReads_;
}
