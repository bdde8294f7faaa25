#include "base/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// An XDG variable counts only when it holds an absolute path; otherwise the
// freedesktop default below the home folder applies.
QString xdgBase(const char* variable, const char* defaultBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(AppPaths::homeFolder() + QLatin1Char('/') + QLatin1String(defaultBelowHome));
}

QString inApplicationFolder(const QString& base)
{
    return base + QLatin1Char('/') + QLatin1String(AppPaths::applicationFolderName);
}

} // namespace

namespace AppPaths {

QString homeFolder()
{
    const QString home = qEnvironmentVariable("HOME");
    return home.isEmpty() ? QDir::homePath() : QDir::cleanPath(home);
}

std::optional<HomeFault> homeFolderFault()
{
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        return HomeFault::unset;
    if (!QDir::isAbsolutePath(home))
        return HomeFault::relative;
    // Followed when it is a link: many homes are.
    struct stat info { };
    if (::stat(QFile::encodeName(home).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return HomeFault::notAFolder;
    if (info.st_uid != ::geteuid())
        return HomeFault::otherOwner;
    return std::nullopt;
}

QString configHome() { return xdgBase("XDG_CONFIG_HOME", ".config"); }
QString settingsFolder() { return inApplicationFolder(configHome()); }
QString cacheFolder() { return inApplicationFolder(xdgBase("XDG_CACHE_HOME", ".cache")); }
QString stateFolder() { return inApplicationFolder(xdgBase("XDG_STATE_HOME", ".local/state")); }
QString dataHome() { return xdgBase("XDG_DATA_HOME", ".local/share"); }
QString dataFolder() { return inApplicationFolder(dataHome()); }

QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
        return inApplicationFolder(QDir::cleanPath(runtime));
    return cacheFolder() + QStringLiteral("/runtime");
}

QString cacheDatabaseFile() { return cacheFolder() + QStringLiteral("/Vellicor.db"); }
QString logFile() { return stateFolder() + QStringLiteral("/vellicor.log"); }

bool ensureFolder(const QString& path)
{
    if (QFileInfo(path).isDir())
        return true;
    return QDir().mkpath(path);
}

} // namespace AppPaths
