#include "core/FileOperations.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"
#include "base/PrivilegedRunner.h"
#include "core/FileUtilities.h"
#include "core/TextFormat.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QSaveFile>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Paths a removal may be handed: never empty, never the root folder however
// spelt, never relative (the privileged program's working folder is not ours).
bool isRemovablePath(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0)) || !QDir::isAbsolutePath(path))
        return false;
    return QDir::cleanPath(path) != QLatin1String("/");
}

std::optional<struct statx> statxOf(const QString& path, unsigned int mask)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct statx status { };
    if (encoded.isEmpty() || encoded.contains('\0')
        || ::statx(AT_FDCWD, encoded.constData(), AT_SYMLINK_NOFOLLOW, mask, &status) != 0)
        return std::nullopt;
    return status;
}

QDateTime dateOf(const struct statx_timestamp& time)
{
    return QDateTime::fromMSecsSinceEpoch(time.tv_sec * 1000 + time.tv_nsec / 1000000, Qt::UTC);
}

// Walks the tree below folder without following links. visit is called for
// every entry and answers whether a folder is to be entered.
template <typename Visit> void walk(const QString& folder, Visit visit)
{
    std::set<std::pair<dev_t, ino_t>> seen;
    QStringList pending { folder };
    while (!pending.isEmpty()) {
        const QString current = pending.takeLast();
        struct stat status { };
        if (::stat(QFile::encodeName(current).constData(), &status) != 0
            || !seen.insert({ status.st_dev, status.st_ino }).second)
            continue;
        const QFileInfoList entries = QDir(current).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& entry : entries) {
            if (visit(entry) && entry.isDir() && !entry.isSymLink())
                pending.append(entry.filePath());
        }
    }
}

bool isRegularFile(const QFileInfo& entry)
{
    return entry.isFile() && !entry.isSymLink();
}

// Desktop entry texts: strings escape backslashes and line breaks; inside the
// Exec value an argument is quoted, and "%" starts a field code.
QString execValueFor(const QString& program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted.replace(QLatin1Char('%'), QStringLiteral("%%")) + QLatin1Char('"');
    return quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

QString unescapedString(const QString& value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) != QLatin1Char('\\') || i + 1 == value.size()) {
            text += value.at(i);
            continue;
        }
        const QChar next = value.at(++i);
        text += next == QLatin1Char('s') ? QChar(u' ')
            : next == QLatin1Char('n')   ? QChar(u'\n')
            : next == QLatin1Char('t')   ? QChar(u'\t')
            : next == QLatin1Char('r')   ? QChar(u'\r')
                                         : next;
    }
    return text;
}

// The program an Exec value starts: its first argument.
QString programOfExec(const QString& value)
{
    const QString exec = unescapedString(value).trimmed();
    QString program;
    if (exec.startsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i < exec.size() && exec.at(i) != QLatin1Char('"'); ++i) {
            if (exec.at(i) == QLatin1Char('\\') && i + 1 < exec.size())
                ++i;
            program += exec.at(i);
        }
    } else {
        program = exec.section(QLatin1Char(' '), 0, 0);
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

struct LoginEntry {
    QString file;
    QString program;
    bool hidden = false;
};

QString autostartFolder()
{
    return AppPaths::configHome() + QStringLiteral("/autostart");
}

QList<LoginEntry> loginEntries()
{
    QList<LoginEntry> entries;
    const QFileInfoList files = QDir(autostartFolder()).entryInfoList({ QStringLiteral("*.desktop") }, QDir::Files);
    for (const QFileInfo& info : files) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        LoginEntry entry { info.filePath(), {}, false };
        bool inMainGroup = false;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(QLatin1Char('[')))
                inMainGroup = line == QLatin1String("[Desktop Entry]");
            else if (inMainGroup && line.startsWith(QLatin1String("Exec=")))
                entry.program = programOfExec(line.mid(5));
            else if (inMainGroup && line.startsWith(QLatin1String("Hidden=")))
                entry.hidden = line.mid(7).trimmed() == QLatin1String("true");
        }
        if (!entry.program.isEmpty())
            entries.append(entry);
    }
    return entries;
}

// Paths compare as the file system resolves them, or as written when they no
// longer exist.
QString resolved(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

int runRemoval(const QString& path)
{
    return privilegedRunner()->run(QStringLiteral("/bin/rm"), { QStringLiteral("-rf"), QStringLiteral("--"), path });
}

} // namespace

QString FileOperations::convertBytesToApplicableUnit(const QVariantMap& units, const QVariant& sizeInBytes)
{
    static const std::array<QString, 5> keys = { QStringLiteral("bytes"), QStringLiteral("KB"), QStringLiteral("MB"),
        QStringLiteral("GB"), QStringLiteral("TB") };
    double value = sizeInBytes.toDouble();
    std::size_t unit = 0;
    while (value > 1024 && unit + 1 < keys.size()) {
        value /= 1024;
        ++unit;
    }
    return formatFixed(value, unit == 0 ? 0 : 1) + QLatin1Char(' ') + units.value(keys[unit]).toString();
}

QString FileOperations::getFileSize(const QString& path)
{
    const std::optional<struct statx> status = statxOf(path, STATX_SIZE);
    return QString::number(status ? status->stx_size : 0);
}

std::optional<QString> FileOperations::getFileLastModifiedDateTime(const QString& path)
{
    const std::optional<struct statx> status = statxOf(path, STATX_MTIME);
    if (!status)
        return std::nullopt;
    return QLocale().toString(dateOf(status->stx_mtime).toLocalTime(), QLocale::ShortFormat);
}

QVariantMap FileOperations::getItemAMCDates(const QString& path)
{
    const std::optional<struct statx> status = statxOf(path, STATX_ATIME | STATX_BTIME | STATX_MTIME);
    if (!status)
        return {};
    QVariantMap dates;
    dates.insert(QStringLiteral("aDate"), static_cast<qint64>(status->stx_atime.tv_sec));
    if (status->stx_mask & STATX_BTIME)
        dates.insert(QStringLiteral("cDate"), dateOf(status->stx_btime));
    dates.insert(QStringLiteral("mDate"), dateOf(status->stx_mtime));
    return dates;
}

bool FileOperations::deleteFile(const QString& path, QString* error)
{
    if (!isRemovablePath(path)) {
        if (error)
            *error = QStringLiteral("Refused to remove \"%1\"").arg(path);
        return false;
    }
    if (::remove(QFile::encodeName(path).constData()) == 0)
        return true;
    if (error)
        *error = QLatin1Char('"') + path + QStringLiteral("\": ") + errnoText(errno);
    return false;
}

QStringList FileOperations::getFilesListInDirectory(const QString& folder, const QString& extension)
{
    QStringList found;
    walk(folder, [&](const QFileInfo& entry) {
        if (!entry.isDir() || entry.isSymLink())
            return false;
        if (entry.suffix().compare(extension, Qt::CaseInsensitive) != 0)
            return true;
        found.append(entry.filePath());
        return false;
    });
    return found;
}

QStringList FileOperations::getFilesListInDirectory(const QString& folder)
{
    QStringList found;
    walk(folder, [&](const QFileInfo& entry) {
        if (isRegularFile(entry))
            found.append(entry.filePath());
        return true;
    });
    return found;
}

bool FileOperations::deleteDirectoryContents(const QString& folder, QString* error)
{
    if (!isRemovablePath(folder)) {
        if (error)
            *error = QStringLiteral("Refused to remove the contents of \"%1\"").arg(folder);
        return false;
    }
    for (const QString& file : getFilesListInDirectory(folder)) {
        if (!deleteFile(file, error) && error)
            return false;
    }
    return true;
}

QString FileOperations::getDirectorySize(const QString& folder)
{
    double sum = 0;
    for (const QString& file : getFilesListInDirectory(folder))
        sum += getFileSize(file).toDouble();
    return formatFixed(sum, 6);
}

QStringList FileOperations::getFilesFoldersListInDirectory(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString FileOperations::fastFolderSize(const QString& folder)
{
    return QString::number(folderSizeOfPath(QFile::encodeName(folder).constData()));
}

QString FileOperations::folderSizeUnix(const QString& folder)
{
    return fastFolderSize(folder);
}

QString FileOperations::getSizeOfFileOrFolder(const QString& path)
{
    const std::optional<struct statx> status = statxOf(path, STATX_TYPE);
    return status && S_ISDIR(status->stx_mode) ? folderSizeUnix(path) : getFileSize(path);
}

bool FileOperations::addApplicationAsLoginItem(const QString& path)
{
    if (path.isEmpty() || path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))
        || path.contains(QChar(0)))
        return false;
    const QString program = resolved(path);
    for (const LoginEntry& entry : loginEntries()) {
        if (!entry.hidden && resolved(entry.program) == program)
            return true;
    }
    if (!AppPaths::ensureFolder(autostartFolder()))
        return false;

    QString name = QFileInfo(path).completeBaseName();
    for (QChar& c : name) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('.')))
            c = QLatin1Char('_');
    }
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("application"));
    QString file = autostartFolder() + QLatin1Char('/') + name + QStringLiteral(".desktop");
    // A link counts as taken even when it leads nowhere: the entry is never
    // written through one.
    for (int suffix = 2; QFileInfo::exists(file) || QFileInfo(file).isSymLink(); ++suffix)
        file = autostartFolder() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(suffix)
            + QStringLiteral(".desktop");

    QSaveFile entry(file);
    if (!entry.open(QIODevice::WriteOnly))
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=") + QFileInfo(path).fileName()
        + QStringLiteral("\nExec=") + execValueFor(path) + QLatin1Char('\n');
    entry.write(text.toUtf8());
    return entry.commit();
}

bool FileOperations::deleteApplicationFromLoginItem(const QString& path)
{
    const QString program = resolved(path);
    bool removedAll = true;
    for (const LoginEntry& entry : loginEntries()) {
        if (resolved(entry.program) == program && !QFile::remove(entry.file))
            removedAll = false;
    }
    return removedAll;
}

QStringList FileOperations::getApplicationsListFromLoginItem()
{
    QStringList programs;
    for (const LoginEntry& entry : loginEntries()) {
        if (!entry.hidden)
            programs.append(resolved(entry.program));
    }
    return programs;
}

bool FileOperations::removeFileWithElevatedPrivilegesFromLocation(const QString& path)
{
    if (const QString refusal = privilegedPathRefusal(path); !refusal.isEmpty()) {
        Log::print("Refused to remove with administrator rights:", path, "-", refusal);
        return false;
    }
    const int status = runRemoval(path);
    if (status != 0)
        Log::print(QStringLiteral("Error: %1").arg(status));
    return status == 0;
}

bool FileOperations::removeFilesWithElevatedPrivilegesFromLocations(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (const QString refusal = privilegedPathRefusal(path); !refusal.isEmpty()) {
            Log::print("Refused to remove with administrator rights:", path, "-", refusal);
            return false;
        }
    }
    for (const QString& path : paths) {
        const int status = runRemoval(path);
        if (status != 0) {
            Log::print(QStringLiteral("Error: %1 (File:%2)").arg(status).arg(path));
            return false;
        }
    }
    return true;
}

bool FileOperations::deleteItemFromTerminalCommand(const QString& path)
{
    // A recursive removal with the user's own rights can still empty a
    // linked folder's target; it takes the same paths as a privileged one.
    if (const QString refusal = privilegedPathRefusal(path); !refusal.isEmpty()) {
        Log::print("Refused to remove:", path, "-", refusal);
        return false;
    }
    QProcess process;
    process.start(QStringLiteral("/bin/rm"), { QStringLiteral("-rf"), QStringLiteral("--"), path });
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

std::optional<QString> FileOperations::findOrCreateDirectory(
    const QString& location, const std::optional<QString>& component, QString* error)
{
    if (location.isEmpty()) {
        if (error)
            *error = QStringLiteral("No such folder location");
        return std::nullopt;
    }
    const QString folder = component ? location + QLatin1Char('/') + *component : location;
    if (AppPaths::ensureFolder(folder))
        return folder;
    if (error)
        *error = QStringLiteral("Cannot create \"%1\"").arg(folder);
    return std::nullopt;
}

std::optional<QString> FileOperations::applicationSupportDirectory()
{
    const QString folder = AppPaths::dataFolder();
    if (PrivateFiles::ensureOwnFolder(folder)) {
        Log::print("Unable to find or create application support directory:\n"
            + QStringLiteral("\"%1\" is not a folder of the user's alone").arg(folder));
        return std::nullopt;
    }
    return folder;
}
