#include "scan/PackageTypes.h"

#include "core/FileUtilities.h"
#include "base/Log.h"
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

QStringList folderEntryNames(const QString& path, int* unusableNames)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir)
        return names;
    int unusable = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        const QString decoded = QFile::decodeName(name);
        if (QFile::encodeName(decoded) != QByteArray(name)) {
            ++unusable;
            continue;
        }
        names.append(decoded);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    if (unusableNames)
        *unusableNames = unusable;
    return names;
}

namespace {

// Feeds the members below folder into hash; false when one cannot be read.
bool hashPackageMembers(const QString& folder, const QString& relative, QCryptographicHash& hash, bool& anyFile,
    const std::atomic<bool>& abort)
{
    int unusable = 0;
    const QStringList names = folderEntryNames(folder, &unusable);
    if (unusable > 0) {
        Log::print("Cannot read package member names in:", printablePath(folder));
        return false;
    }
    if (names.isEmpty() && ::access(QFile::encodeName(folder).constData(), R_OK | X_OK) != 0)
        return false;
    for (const QString& name : names) {
        if (name == QLatin1String(".DS_Store") || name == QLatin1String(".localized"))
            continue;
        if (abort)
            return false;
        const QString member = folder + QLatin1Char('/') + name;
        const QByteArray memberPath = QFile::encodeName(member);
        const QByteArray relativeName = QFile::encodeName(relative + name);
        struct stat st { };
        if (::lstat(memberPath.constData(), &st) != 0)
            return false;
        if (S_ISDIR(st.st_mode)) {
            hash.addData(QByteArrayView("D\0", 2));
            hash.addData(relativeName);
            hash.addData(QByteArrayView("\0", 1));
            if (!hashPackageMembers(member, relative + name + QLatin1Char('/'), hash, anyFile, abort))
                return false;
        } else if (S_ISREG(st.st_mode)) {
            const std::optional<QString> digest = md5OfFile(member, abort);
            if (!digest)
                return false;
            anyFile = true;
            hash.addData(QByteArrayView("F\0", 2));
            hash.addData(relativeName);
            hash.addData(QByteArrayView("\0", 1));
            hash.addData(digest->toLatin1());
        } else if (S_ISLNK(st.st_mode)) {
            QByteArray target(static_cast<qsizetype>(st.st_size) + 1, Qt::Uninitialized);
            const ssize_t length
                = ::readlink(memberPath.constData(), target.data(), static_cast<size_t>(target.size()));
            if (length < 0 || length >= target.size())
                return false;
            target.truncate(length);
            hash.addData(QByteArrayView("L\0", 2));
            hash.addData(relativeName);
            hash.addData(QByteArrayView("\0", 1));
            hash.addData(target);
        } else {
            // A FIFO, socket or device inside a package: its contents are unknowable.
            return false;
        }
        hash.addData(QByteArrayView("\n", 1));
    }
    return true;
}

} // namespace

std::optional<QString> packageDigest(const QString& path, const std::atomic<bool>& abort)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    bool anyFile = false;
    if (!hashPackageMembers(path, QString(), hash, anyFile, abort) || !anyFile || abort)
        return std::nullopt;
    return QString::fromLatin1(hash.result().toHex());
}
