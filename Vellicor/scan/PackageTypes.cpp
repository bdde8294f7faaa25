#include "scan/PackageTypes.h"

#include "base/Log.h"
#include "core/DirectoryWalker.h"
#include "core/FileUtilities.h"
#include "core/MD5.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLatin1StringView>

#include <algorithm>
#include <array>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::array<QLatin1StringView, 8> packageExtensions { QLatin1StringView("app"), QLatin1StringView("bundle"),
    QLatin1StringView("framework"), QLatin1StringView("plugin"), QLatin1StringView("photoslibrary"),
    QLatin1StringView("photolibrary"), QLatin1StringView("migratedphotolibrary"), QLatin1StringView("rtfd") };
} // namespace

bool isPackageExtension(const QString& lowerCaseExtension)
{
    for (QLatin1StringView extension : packageExtensions) {
        if (lowerCaseExtension == extension)
            return true;
    }
    return false;
}

bool isPhotoLibraryExtension(const QString& lowerCaseExtension)
{
    return lowerCaseExtension == QLatin1StringView("photoslibrary")
        || lowerCaseExtension == QLatin1StringView("photolibrary")
        || lowerCaseExtension == QLatin1StringView("migratedphotolibrary");
}

std::optional<QString> packageDigest(const QString& path, const std::atomic<bool>& abort)
{
    // Every member's relative path goes into the digest with its kind and
    // contents, so two packages agree only when they hold the same tree.
    QCryptographicHash hash(QCryptographicHash::Md5);
    bool anyFile = false;
    bool unreadable = false;
    const QByteArray root = QFile::encodeName(path);
    DirectoryWalker walker(&abort, [&unreadable](const QByteArray&, int, const QString&) { unreadable = true; });
    const bool walked = walker.walk(root, [&](const WalkEntry& entry) {
        if (entry.name == ".DS_Store" || entry.name == ".localized")
            return WalkAction::next;
        const QByteArray relative = entry.path.mid(root.size() + (root.endsWith('/') ? 0 : 1));
        const auto add = [&](const char* kind, const QByteArray& contents) {
            hash.addData(QByteArrayView(kind, 2));
            hash.addData(relative);
            hash.addData(QByteArrayView("\0", 1));
            hash.addData(contents);
            hash.addData(QByteArrayView("\n", 1));
        };
        const mode_t mode = entry.status.st_mode;
        if (S_ISDIR(mode)) {
            add("D\0", QByteArray());
            return WalkAction::descend;
        }
        if (S_ISREG(mode)) {
            const QString member = QFile::decodeName(entry.path);
            if (QFile::encodeName(member) != entry.path) {
                Log::print("Cannot read package member names in:", path);
                return WalkAction::stop;
            }
            const std::optional<QString> digest = md5OfFile(member, abort);
            if (!digest)
                return WalkAction::stop;
            anyFile = true;
            add("F\0", digest->toLatin1());
            return WalkAction::next;
        }
        if (S_ISLNK(mode)) {
            QByteArray target(static_cast<qsizetype>(entry.status.st_size) + 1, Qt::Uninitialized);
            const ssize_t length
                = ::readlink(entry.path.constData(), target.data(), static_cast<size_t>(target.size()));
            if (length < 0 || length >= target.size())
                return WalkAction::stop;
            target.truncate(length);
            add("L\0", target);
            return WalkAction::next;
        }
        // A FIFO, socket or device inside a package: its contents are unknowable.
        return WalkAction::stop;
    });
    if (!walked || unreadable || !anyFile || abort)
        return std::nullopt;
    return QString::fromLatin1(hash.result().toHex());
}
