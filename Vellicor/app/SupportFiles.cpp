#include "app/SupportFiles.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "core/FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A path inside one of the program's own folders: absolute, at least two
// levels below the root, its last component the application's folder.
bool isOwnFolder(const QString& path)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path) || path.contains(QChar(0)))
        return false;
    const QString clean = QDir::cleanPath(path);
    const QFileInfo info(clean);
    if (info.fileName() != QLatin1String(AppPaths::applicationFolderName))
        return false;
    // "/.config/Vellicor" is what an empty home gives: not a folder of ours.
    return info.path().split(QLatin1Char('/'), Qt::SkipEmptyParts).size() >= 2;
}

QString resolved(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

// Removes path and, when it is a real folder, everything below it; links are
// removed as links and never followed. false with reason on the first failure.
bool removeTree(const QByteArray& path, QString& reason)
{
    struct stat status { };
    if (::lstat(path.constData(), &status) != 0) {
        if (errno == ENOENT)
            return true;
        reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        const QStringList entries
            = QDir(QFile::decodeName(path))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& entry : entries) {
            if (!removeTree(path + '/' + QFile::encodeName(entry), reason))
                return false;
        }
        if (::rmdir(path.constData()) != 0) {
            reason = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        return true;
    }
    if (::unlink(path.constData()) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

const char* resultText(SupportItemOutcome::Result result)
{
    switch (result) {
    case SupportItemOutcome::Result::removed:
        return "removed";
    case SupportItemOutcome::Result::absent:
        return "not present";
    case SupportItemOutcome::Result::failed:
        return "could not be removed";
    case SupportItemOutcome::Result::refused:
        return "refused, not one of Vellicor's own folders";
    }
    return "";
}

} // namespace

std::vector<QString> supportFolders()
{
    return { AppPaths::settingsFolder(), AppPaths::cacheFolder(), AppPaths::stateFolder(), AppPaths::dataFolder() };
}

std::vector<SupportItemOutcome> removeSupportFiles(const QString& program)
{
    std::vector<SupportItemOutcome> outcomes;
    for (const QString& folder : supportFolders()) {
        SupportItemOutcome outcome;
        outcome.path = folder;
        struct stat status { };
        if (!isOwnFolder(folder))
            outcome.result = SupportItemOutcome::Result::refused;
        else if (::lstat(QFile::encodeName(folder).constData(), &status) != 0)
            outcome.result = SupportItemOutcome::Result::absent;
        else
            outcome.result = removeTree(QFile::encodeName(QDir::cleanPath(folder)), outcome.reason)
                ? SupportItemOutcome::Result::removed
                : SupportItemOutcome::Result::failed;
        outcomes.push_back(outcome);
    }

    const QString autostart = AppPaths::configHome() + QStringLiteral("/autostart");
    SupportItemOutcome entry;
    entry.path = autostart + QStringLiteral(" (") + program + QLatin1Char(')');
    if (!FileOperations::getApplicationsListFromLoginItem().contains(resolved(program)))
        entry.result = SupportItemOutcome::Result::absent;
    else
        entry.result = FileOperations::deleteApplicationFromLoginItem(program) ? SupportItemOutcome::Result::removed
                                                                               : SupportItemOutcome::Result::failed;
    outcomes.push_back(entry);

    for (const SupportItemOutcome& outcome : outcomes) {
        QString line = outcome.path + QStringLiteral(": ") + QLatin1String(resultText(outcome.result));
        if (!outcome.reason.isEmpty())
            line += QStringLiteral(" (") + outcome.reason + QLatin1Char(')');
        printToStandardOutput(line);
        if (outcome.result == SupportItemOutcome::Result::failed)
            Log::print(line);
    }
    return outcomes;
}
