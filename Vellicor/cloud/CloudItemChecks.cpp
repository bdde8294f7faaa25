#include "cloud/CloudItemChecks.h"

#include "base/Log.h"

#include <QStringList>

#include <algorithm>

namespace {

// Longer than any id the services hand out; an address stays of sane length.
constexpr qsizetype longestId = 256;

bool isPlainIdCharacter(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('_') || c == QLatin1Char('-');
}

} // namespace

bool isPlainCloudId(const QString& id, QStringView alsoAllowed)
{
    // None of the allowed characters is a dot, so "." and ".." cannot pass;
    // the further characters of a service never include separators.
    return !id.isEmpty() && id.size() <= longestId && std::all_of(id.begin(), id.end(), [alsoAllowed](QChar c) {
        return isPlainIdCharacter(c)
            || (alsoAllowed.contains(c) && c != QLatin1Char('/') && c != QLatin1Char('\\') && c != QLatin1Char('.')
                && c != QLatin1Char('%') && c.unicode() > 0x20 && c.unicode() < 0x7f);
    });
}

std::optional<QString> cloudNameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("an empty name");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("the name \"%1\"").arg(name);
    if (name.contains(QLatin1Char('/')))
        return QStringLiteral("a \"/\" in the name");
    if (name.contains(QChar(0)))
        return QStringLiteral("a NUL character in the name");
    return std::nullopt;
}

std::optional<QString> cloudPathProblem(const QString& path, const QString& name, const QString& listedFolder)
{
    if (std::optional<QString> problem = cloudNameProblem(name))
        return problem;
    if (!path.startsWith(QLatin1Char('/')))
        return QStringLiteral("a path that does not start at the root");
    const QStringList segments = path.mid(1).split(QLatin1Char('/'));
    for (const QString& segment : segments) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
            return QStringLiteral("an empty, \".\" or \"..\" segment in its path");
    }
    if (segments.last().compare(name, Qt::CaseInsensitive) != 0)
        return QStringLiteral("a path that names another item");
    if (path.left(path.lastIndexOf(QLatin1Char('/'))).compare(listedFolder, Qt::CaseInsensitive) != 0)
        return QStringLiteral("a path outside the folder listed");
    return std::nullopt;
}

namespace {

void logSkipped(const QString& service, const QString& folderPath, const QString& problem, const QString& name)
{
    Log::print("A", service, "item was skipped in", folderPath, "for", problem + QLatin1Char(':'), name);
}

} // namespace

bool isUsableCloudPath(const QString& service, const QString& folderPath, const QString& path, const QString& name,
    const QString& listedFolder)
{
    const std::optional<QString> problem = cloudPathProblem(path, name, listedFolder);
    if (problem)
        logSkipped(service, folderPath, *problem, name);
    return !problem;
}

bool isUsableCloudItem(
    const QString& service, const QString& folderPath, const QString& id, const QString& name, QStringView idAlsoAllowed)
{
    std::optional<QString> problem = cloudNameProblem(name);
    if (!problem && !isPlainCloudId(id, idAlsoAllowed))
        problem = QStringLiteral("an id that cannot stand in a request address");
    if (!problem)
        return true;
    logSkipped(service, folderPath, *problem, name);
    return false;
}
