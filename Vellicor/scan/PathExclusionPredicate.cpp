#include "scan/PathExclusionPredicate.h"

#include "core/CommonFuncs.h"
#include "base/UserDefaults.h"

#include <cmath>
#include <limits>

PathExclusionPredicate::PathExclusionPredicate(const QString& expressionText)
    : expressionText_(expressionText)
    // A name may hold a line break, so "." must match every character.
    , expression_(QRegularExpression::anchoredPattern(expressionText),
          QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption)
{
}

bool PathExclusionPredicate::evaluateWithObject(const QString& path) const
{
    return expression_.isValid() && expression_.match(path).hasMatch();
}

QString exclusionAlternative(const QString& folderPath)
{
    QString path = folderPath;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QString escaped = escapeRegexCharacters(path);
    // Below "/" is everything that starts with a slash.
    const QString below
        = path == QLatin1String("/") ? escaped + QStringLiteral("(.*)") : escaped + QStringLiteral("\\/(.*)");
    return QStringLiteral("(%1|(%2))").arg(escaped, below);
}

std::optional<PathExclusionPredicate> makeDirExclusionPredicate(const std::vector<FilePathNodePtr>& excludeRows)
{
    if (excludeRows.empty())
        return std::nullopt;
    QStringList alternatives;
    for (const FilePathNodePtr& row : excludeRows) {
        if (row && row->filePath)
            alternatives.append(exclusionAlternative(*row->filePath));
    }
    return PathExclusionPredicate(QLatin1Char('(') + alternatives.join(QLatin1Char('|')) + QLatin1Char(')'));
}

std::optional<PathExclusionPredicate> makeCloudDirExclusionPredicate(
    ScanSource source, const std::vector<FilePathNodePtr>& driveRows, const std::vector<FilePathNodePtr>& cloudRows)
{
    const bool drive = source == ScanSource::googleDrive;
    const std::vector<FilePathNodePtr>& rows = drive ? driveRows : cloudRows;
    if (rows.empty())
        return std::nullopt;
    QStringList alternatives;
    for (const FilePathNodePtr& row : rows) {
        if (!row || row->state == 0)
            continue;
        if (drive) {
            if (row->gdFolder)
                alternatives.append(exclusionAlternative(row->gdFolder->folderAbsPath));
        } else if (row->filePath) {
            alternatives.append(exclusionAlternative(*row->filePath));
        }
    }
    // With no checked row this is "()", which matches only an empty path.
    return PathExclusionPredicate(QLatin1Char('(') + alternatives.join(QLatin1Char('|')) + QLatin1Char(')'));
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
    const std::optional<double> value = defaults.realValue(QString::fromLatin1(key));
    if (!value || std::isnan(*value) || *value <= 0)
        return 0;
    if (*value >= 18446744073709551615.0)
        return std::numeric_limits<quint64>::max();
    if (const std::optional<qint64> exact = defaults.integerValue(QString::fromLatin1(key)); exact && *exact >= 0)
        return static_cast<quint64>(*exact);
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
    limits.scanAnyFileSize = defaults.boolValue(QStringLiteral("ScanFileOfAnyFileSize")).value_or(false);
    limits.minimumFileSizeBytes = saturatingProduct(
        storedSize(defaults, "minimumFileSize"), sizeUnitFactor(defaults.integerValue(QStringLiteral("fileSizeUnit"))));
    limits.maximumFileSizeBytes = saturatingProduct(storedSize(defaults, "maximumFileSize"),
        sizeUnitFactor(defaults.integerValue(QStringLiteral("fileSizeUnitForMax"))));
    return limits;
}
