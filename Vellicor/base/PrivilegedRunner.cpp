#include "base/PrivilegedRunner.h"

#include "base/AppPaths.h"
#include "base/ServiceSlot.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

class PkexecRunner : public PrivilegedRunner {
public:
    int run(const QString& program, const QStringList& arguments) override
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral("pkexec"), QStringList { program } + arguments);
        // No time limit: the user may take as long as they like to answer.
        if (!process.waitForStarted(-1) || !process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
            return notRun;
        return process.exitCode();
    }
};

ServiceSlot<PrivilegedRunner>& runnerSlot()
{
    static ServiceSlot<PrivilegedRunner> slot(std::make_shared<PkexecRunner>());
    return slot;
}

// Top folders whose whole tree belongs to the system.
bool isSystemTree(const QString& top)
{
    static const QSet<QString> trees { QStringLiteral("bin"), QStringLiteral("boot"), QStringLiteral("dev"),
        QStringLiteral("etc"), QStringLiteral("proc"), QStringLiteral("sbin"), QStringLiteral("sys"),
        QStringLiteral("usr") };
    return trees.contains(top) || top.startsWith(QLatin1String("lib"));
}

// Top folders whose direct entries are the system's or the users' own.
bool holdsSystemFolders(const QString& top)
{
    return top == QLatin1String("home") || top == QLatin1String("run") || top == QLatin1String("var");
}

} // namespace

QString privilegedPathRefusal(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return QStringLiteral("the path is empty or holds a NUL character");
    if (!path.startsWith(QLatin1Char('/')))
        return QStringLiteral("the path is not absolute");
    if (path == QLatin1String("/"))
        return QStringLiteral("the root folder is the system's own");
    if (path.endsWith(QLatin1Char('/')))
        return QStringLiteral("the path ends with a slash");
    const QStringList parts = path.mid(1).split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return QStringLiteral("the path has an empty, \".\" or \"..\" component");
    }
    // Each component as the file system has it, without following links;
    // past the first missing one there is nothing to look at.
    QByteArray prefix;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        prefix += '/' + QFile::encodeName(parts[i]);
        struct stat status { };
        if (::lstat(prefix.constData(), &status) != 0) {
            if (errno == ENOENT)
                break;
            return QStringLiteral("\"%1\" cannot be examined: %2")
                .arg(QFile::decodeName(prefix), QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (S_ISLNK(status.st_mode))
            return QStringLiteral("\"%1\" is a symbolic link").arg(QFile::decodeName(prefix));
        if (i + 1 < parts.size() && !S_ISDIR(status.st_mode))
            return QStringLiteral("\"%1\" is not a folder").arg(QFile::decodeName(prefix));
    }
    // Without links the path is its own resolved form.
    if (parts.size() == 1 || isSystemTree(parts[0]) || (parts.size() == 2 && holdsSystemFolders(parts[0])))
        return QStringLiteral("it is one of the system's own folders");
    const QString home = AppPaths::homeFolder();
    if (path == home || path == QFileInfo(home).canonicalFilePath())
        return QStringLiteral("it is the user's home folder");
    return QString();
}

std::shared_ptr<PrivilegedRunner> privilegedRunner()
{
    return runnerSlot().get();
}

void setPrivilegedRunner(std::shared_ptr<PrivilegedRunner> runner)
{
    runnerSlot().set(std::move(runner));
}
