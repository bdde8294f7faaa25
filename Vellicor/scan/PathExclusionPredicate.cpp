#include "scan/PathExclusionPredicate.h"

#include "base/Log.h"
#include "base/UserDefaults.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

PathExclusionPredicate::PathExclusionPredicate(const QStringList& folders, LetterCase letterCase)
    : letterCase_(letterCase)
{
    int blank = 0;
    for (const QString& entry : folders) {
        const std::optional<QString> folder = normalizedExcludedFolder(entry);
        if (!folder) {
            ++blank;
            continue;
        }
        if (*folder == QLatin1String("/"))
            excludesEverything_ = true;
        folders_.insert(comparable(*folder));
        longestFolderBytes_ = std::max(longestFolderBytes_, folder->toUtf8().size());
    }
    if (blank > 0)
        Log::print("Passed over", blank, "empty excluded-folder entries: they name no folder.");
}

QString PathExclusionPredicate::comparable(const QString& path) const
{
    return letterCase_ == LetterCase::ignored ? path.toCaseFolded() : path;
}

bool PathExclusionPredicate::evaluateWithObject(const QString& path) const
{
    return excludingFolder(path).has_value();
}

std::optional<QString> PathExclusionPredicate::excludingFolder(const QString& path) const
{
    if (folders_.isEmpty() || path.isEmpty())
        return std::nullopt;
    if (excludesEverything_ && path.startsWith(QLatin1Char('/')))
        return QStringLiteral("/");
    const QString text = comparable(path);
    // Each proper prefix that ends just before a slash names a folder above
    // the path; the outermost one holds it.
    for (qsizetype slash = text.indexOf(QLatin1Char('/'), 1); slash > 0;
         slash = text.indexOf(QLatin1Char('/'), slash + 1)) {
        if (const auto folder = folders_.constFind(QStringView(text).left(slash).toString());
            folder != folders_.constEnd())
            return *folder;
    }
    if (folders_.contains(text))
        return text;
    return std::nullopt;
}

bool PathExclusionPredicate::evaluateEntryOfIncludedFolder(const QString& path) const
{
    if (folders_.isEmpty() || path.isEmpty())
        return false;
    if (excludesEverything_ && path.startsWith(QLatin1Char('/')))
        return true;
    return folders_.contains(comparable(path));
}

bool PathExclusionPredicate::mayHoldPathOfBytes(qsizetype bytes) const
{
    // Folding letter case may change a text's length in bytes.
    return excludesEverything_ || letterCase_ == LetterCase::ignored || bytes <= longestFolderBytes_;
}

std::optional<QString> normalizedExcludedFolder(const QString& entry)
{
    if (entry.trimmed().isEmpty())
        return std::nullopt;
    return QDir::cleanPath(entry);
}

std::optional<LocationExclusion> locationExclusion(const PathExclusionPredicate& excluded, const QString& path)
{
    LocationExclusion exclusion;
    if (std::optional<QString> folder = excluded.excludingFolder(path)) {
        exclusion.folder = std::move(*folder);
    } else {
        char* real = ::realpath(QFile::encodeName(path).constData(), nullptr);
        if (!real)
            return std::nullopt;
        exclusion.leadsTo = QFile::decodeName(real);
        std::free(real);
        std::optional<QString> target = excluded.excludingFolder(exclusion.leadsTo);
        if (!target)
            return std::nullopt;
        exclusion.folder = std::move(*target);
    }
    const QStringList defaults = defaultExcludedFolderPaths();
    exclusion.byDefault = std::ranges::any_of(
        defaults, [&](const QString& entry) { return normalizedExcludedFolder(entry) == exclusion.folder; });
    return exclusion;
}

QString locationExclusionText(const QString& path, const LocationExclusion& exclusion)
{
    const QString kind = exclusion.byDefault ? QStringLiteral("a folder excluded from scanning by default")
                                             : QStringLiteral("a folder excluded from scanning in the settings");
    if (exclusion.leadsTo.isEmpty())
        return QStringLiteral("%1 lies in %2, %3").arg(path, exclusion.folder, kind);
    return QStringLiteral("%1 leads to %2, in %3, %4").arg(path, exclusion.leadsTo, exclusion.folder, kind);
}

QString locationExclusionAlertText(const QString& path, const LocationExclusion& exclusion)
{
    if (exclusion.leadsTo.isEmpty())
        return formatText(
            localizedText(exclusion.byDefault ? "ID_LIES_IN_FOLDER_EXCLUDED_BY_DEFAULT" : "ID_LIES_IN_FOLDER_YOU_EXCLUDED"),
            { printablePath(path), printablePath(exclusion.folder) });
    return formatText(
        localizedText(exclusion.byDefault ? "ID_LEADS_INTO_FOLDER_EXCLUDED_BY_DEFAULT" : "ID_LEADS_INTO_FOLDER_YOU_EXCLUDED"),
        { printablePath(path), printablePath(exclusion.leadsTo), printablePath(exclusion.folder) });
}

QString passedOverDetails(const PassedOverLocations& passed)
{
    if (passed.paths.size() == 1 && passed.first)
        return locationExclusionAlertText(passed.paths.first(), *passed.first);
    // A list may hold any number of rows: the first few are named, the rest
    // counted; the log names each.
    constexpr qsizetype named = 3;
    return formatText(localizedText("ID_LOCATIONS_PASSED_OVER_DETAILS"),
        { namedFewAndMore(passed.paths, passed.paths.size(), named, 4096) });
}

namespace {

QStringList pathsOfRows(const std::vector<FilePathNodePtr>& rows, bool checkedOnly, bool driveFolders)
{
    QStringList paths;
    for (const FilePathNodePtr& row : rows) {
        if (!row || (checkedOnly && row->state == 0))
            continue;
        if (driveFolders) {
            if (row->gdFolder)
                paths.append(row->gdFolder->folderAbsPath);
        } else if (row->filePath) {
            paths.append(*row->filePath);
        }
    }
    return paths;
}

} // namespace

std::optional<PathExclusionPredicate> makeDirExclusionPredicate(const std::vector<FilePathNodePtr>& excludeRows)
{
    PathExclusionPredicate predicate(pathsOfRows(excludeRows, false, false));
    if (predicate.folders().isEmpty())
        return std::nullopt;
    return predicate;
}

std::optional<PathExclusionPredicate> makeCloudDirExclusionPredicate(
    ScanSource source, const std::vector<FilePathNodePtr>& excludeRows)
{
    if (excludeRows.empty())
        return std::nullopt;
    const bool drive = source == ScanSource::googleDrive;
    // Drive keeps two folders whose names differ only in case apart; the other
    // services do not.
    return PathExclusionPredicate(pathsOfRows(excludeRows, true, drive),
        drive ? PathExclusionPredicate::LetterCase::exact : PathExclusionPredicate::LetterCase::ignored);
}

quint64 sizeUnitFactor(const std::optional<qint64>& unitCode)
{
    if (!unitCode)
        return 1;
    switch (*unitCode) {
    case 1:
        return 1000ULL;
    case 2:
        return 1000ULL * 1000ULL;
    case 3:
        return 1000ULL * 1000ULL * 1000ULL;
    default:
        return 1;
    }
}

namespace {

// A stored size as an unsigned byte count: integers and reals alike, negative
// values as 0, fractions cut off, values beyond the range saturated.
quint64 storedSize(const UserDefaults& defaults, const char* key)
{
    const std::optional<double> value = defaults.realValue(QLatin1String(key));
    if (!value || std::isnan(*value) || *value <= 0)
        return 0;
    if (*value >= 18446744073709551615.0)
        return std::numeric_limits<quint64>::max();
    return static_cast<quint64>(std::trunc(*value));
}

quint64 saturatingProduct(quint64 value, quint64 factor)
{
    if (value != 0 && factor > std::numeric_limits<quint64>::max() / value)
        return std::numeric_limits<quint64>::max();
    return value * factor;
}

} // namespace

FileSizeLimits readFileSizeLimits(const UserDefaults& defaults)
{
    FileSizeLimits limits;
    limits.scanAnyFileSize = defaults.boolValue(QLatin1String(SettingsKey::scanFileOfAnyFileSize)).value_or(false);
    limits.minimumFileSizeBytes = saturatingProduct(storedSize(defaults, SettingsKey::minimumFileSize),
        sizeUnitFactor(defaults.integerValue(QLatin1String(SettingsKey::fileSizeUnit))));
    limits.maximumFileSizeBytes = saturatingProduct(storedSize(defaults, SettingsKey::maximumFileSize),
        sizeUnitFactor(defaults.integerValue(QLatin1String(SettingsKey::fileSizeUnitForMax))));
    return limits;
}
