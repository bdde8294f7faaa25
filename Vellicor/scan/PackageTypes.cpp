#include "scan/PackageTypes.h"

#include "core/MD5.h"

#include <QFile>
#include <QLatin1StringView>

#include <algorithm>
#include <array>
#include <dirent.h>
#include <sys/stat.h>

namespace {
constexpr std::array<QLatin1StringView, 8> packageExtensions{
    QLatin1StringView("app"),          QLatin1StringView("bundle"),       QLatin1StringView("framework"),
    QLatin1StringView("plugin"),       QLatin1StringView("photoslibrary"), QLatin1StringView("photolibrary"),
    QLatin1StringView("migratedphotolibrary"), QLatin1StringView("rtfd")};
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

QStringList folderEntryNames(const QString& path)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void md5OfPackageContents(const QString& path, FileInfoNode& record, const std::atomic<bool>& abort)
{
    for (const QString& name : folderEntryNames(path)) {
        if (name == QLatin1String(".DS_Store") || name == QLatin1String(".localized"))
            continue;
        if (abort)
            break;
        const QString member = path + QLatin1Char('/') + name;
        struct stat st {};
        if (::lstat(QFile::encodeName(member).constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            md5OfPackageContents(member, record, abort);
        } else if (S_ISREG(st.st_mode)) {
            // Links, FIFOs and devices inside a package are not its contents.
            const std::optional<QString> digest = md5OfFile(member, abort);
            if (!record.md5 || record.md5->isEmpty())
                record.md5 = digest.value_or(QString());
            else if (digest)
                record.md5 = *record.md5 + *digest;
        }
        if (abort)
            record.md5.reset();
    }
}
