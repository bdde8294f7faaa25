#include "core/CommonFuncs.h"

#include "base/UserDefaults.h"
#include "core/TextFormat.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QTimeZone>

#include <array>
#include <cmath>

bool isNumberValue(const QVariant& value)
{
    const int type = value.typeId();
    return type == QMetaType::Bool || type == QMetaType::Float || type == QMetaType::Double || isIntegerTypeId(type);
}

QString getSizeInUnits(double bytes)
{
    static const std::array<QString, 5> units = { QStringLiteral("bytes"), QStringLiteral("KB"), QStringLiteral("MB"),
        QStringLiteral("GB"), QStringLiteral("TB") };
    if (!std::isfinite(bytes))
        bytes = 0;
    std::size_t unit = 0;
    while (bytes >= 1000 && unit + 1 < units.size()) {
        bytes /= 1000;
        ++unit;
    }
    if (bytes == 0)
        return QStringLiteral("0 ") + units[unit];
    return formatFixed(bytes, unit == 0 ? 0 : 2) + QLatin1Char(' ') + units[unit];
}

QString getSizeInUnits(const QVariant& value)
{
    return getSizeInUnits(isNumberValue(value) ? value.toDouble() : 0.0);
}

QString qtDateFormat(const QString& unicodePattern)
{
    QString result;
    const qsizetype length = unicodePattern.size();
    qsizetype i = 0;
    while (i < length) {
        const QChar c = unicodePattern.at(i);
        if (c == QLatin1Char('\'')) {
            // Both notations quote literal text alike, and '' is a quote mark
            // inside quoted text and out.
            if (i + 1 < length && unicodePattern.at(i + 1) == QLatin1Char('\'')) {
                result += QStringLiteral("''");
                i += 2;
                continue;
            }
            qsizetype end = i + 1;
            while (end < length) {
                if (unicodePattern.at(end) != QLatin1Char('\'')) {
                    ++end;
                } else if (end + 1 < length && unicodePattern.at(end + 1) == QLatin1Char('\'')) {
                    end += 2;
                } else {
                    break;
                }
            }
            result += unicodePattern.mid(i, end - i) + QLatin1Char('\'');
            i = end + 1;
            continue;
        }
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')))) {
            result += c;
            ++i;
            continue;
        }

        qsizetype count = 1;
        while (i + count < length && unicodePattern.at(i + count) == c)
            ++count;
        i += count;
        const auto two
            = [count](const char* one, const char* both) { return QString::fromLatin1(count == 1 ? one : both); };
        switch (c.toLatin1()) {
        case 'y':
        case 'Y':
        case 'u':
            result += count == 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
            break;
        case 'M':
        case 'L':
            result += QString(count > 4 ? 3 : count, QLatin1Char('M'));
            break;
        case 'd':
            result += two("d", "dd");
            break;
        case 'E':
        case 'e':
        case 'c':
            result += count >= 4 ? QStringLiteral("dddd") : QStringLiteral("ddd");
            break;
        case 'H':
        case 'k':
            result += two("H", "HH");
            break;
        case 'h':
        case 'K':
            result += two("h", "hh");
            break;
        case 'm':
            result += two("m", "mm");
            break;
        case 's':
            result += two("s", "ss");
            break;
        case 'S':
            result += count >= 3 ? QStringLiteral("zzz") : QStringLiteral("z");
            break;
        case 'a':
            result += QStringLiteral("AP");
            break;
        case 'z':
        case 'Z':
        case 'X':
        case 'x':
        case 'O':
        case 'v':
        case 'V':
            result += QStringLiteral("t");
            break;
        default:
            // Eras, weeks, quarters and the like have no Qt field: left out.
            break;
        }
    }
    return result;
}

namespace {

std::optional<QDateTime> parseDate(
    const QString& text, const QString& pattern, const QLocale& locale, const std::optional<QTimeZone>& zone)
{
    QDateTime parsed = locale.toDateTime(text, qtDateFormat(pattern));
    if (!parsed.isValid())
        return std::nullopt;
    if (zone && parsed.timeSpec() == Qt::LocalTime)
        parsed = QDateTime(parsed.date(), parsed.time(), *zone);
    if (!parsed.isValid())
        return std::nullopt;
    return parsed.toUTC();
}

// Qt reads an abbreviation such as "PST" as a POSIX rule without an offset,
// that is as UTC, so the abbreviations services send are looked up here, each
// as the zone it names (with its summer time: "PST" in July is seven hours
// behind UTC).
QTimeZone timeZoneOfAbbreviation(const std::optional<QString>& abbreviation)
{
    static const QHash<QString, QByteArray> zones = {
        { QStringLiteral("UTC"), "UTC" },
        { QStringLiteral("GMT"), "UTC" },
        { QStringLiteral("Z"), "UTC" },
        { QStringLiteral("UT"), "UTC" },
        { QStringLiteral("PST"), "America/Los_Angeles" },
        { QStringLiteral("PDT"), "America/Los_Angeles" },
        { QStringLiteral("PT"), "America/Los_Angeles" },
        { QStringLiteral("MST"), "America/Denver" },
        { QStringLiteral("MDT"), "America/Denver" },
        { QStringLiteral("CST"), "America/Chicago" },
        { QStringLiteral("CDT"), "America/Chicago" },
        { QStringLiteral("EST"), "America/New_York" },
        { QStringLiteral("EDT"), "America/New_York" },
        { QStringLiteral("ET"), "America/New_York" },
        { QStringLiteral("AKST"), "America/Anchorage" },
        { QStringLiteral("AKDT"), "America/Anchorage" },
        { QStringLiteral("HST"), "Pacific/Honolulu" },
        { QStringLiteral("AST"), "America/Halifax" },
        { QStringLiteral("ADT"), "America/Halifax" },
        { QStringLiteral("NST"), "America/St_Johns" },
        { QStringLiteral("NDT"), "America/St_Johns" },
        { QStringLiteral("BRT"), "America/Sao_Paulo" },
        { QStringLiteral("ART"), "America/Argentina/Buenos_Aires" },
        { QStringLiteral("BST"), "Europe/London" },
        { QStringLiteral("WET"), "Europe/Lisbon" },
        { QStringLiteral("WEST"), "Europe/Lisbon" },
        { QStringLiteral("CET"), "Europe/Paris" },
        { QStringLiteral("CEST"), "Europe/Paris" },
        { QStringLiteral("EET"), "Europe/Athens" },
        { QStringLiteral("EEST"), "Europe/Athens" },
        { QStringLiteral("MSK"), "Europe/Moscow" },
        { QStringLiteral("TRT"), "Europe/Istanbul" },
        { QStringLiteral("GST"), "Asia/Dubai" },
        { QStringLiteral("PKT"), "Asia/Karachi" },
        { QStringLiteral("IST"), "Asia/Kolkata" },
        { QStringLiteral("ICT"), "Asia/Bangkok" },
        { QStringLiteral("WIB"), "Asia/Jakarta" },
        { QStringLiteral("SGT"), "Asia/Singapore" },
        { QStringLiteral("HKT"), "Asia/Hong_Kong" },
        { QStringLiteral("PHT"), "Asia/Manila" },
        { QStringLiteral("JST"), "Asia/Tokyo" },
        { QStringLiteral("KST"), "Asia/Seoul" },
        { QStringLiteral("AWST"), "Australia/Perth" },
        { QStringLiteral("ACST"), "Australia/Adelaide" },
        { QStringLiteral("ACDT"), "Australia/Adelaide" },
        { QStringLiteral("AEST"), "Australia/Sydney" },
        { QStringLiteral("AEDT"), "Australia/Sydney" },
        { QStringLiteral("NZST"), "Pacific/Auckland" },
        { QStringLiteral("NZDT"), "Pacific/Auckland" },
        { QStringLiteral("EAT"), "Africa/Nairobi" },
        { QStringLiteral("CAT"), "Africa/Maputo" },
        { QStringLiteral("WAT"), "Africa/Lagos" },
        { QStringLiteral("SAST"), "Africa/Johannesburg" },
    };
    if (!abbreviation)
        return QTimeZone::systemTimeZone();
    const auto found = zones.constFind(abbreviation->trimmed().toUpper());
    if (found == zones.constEnd())
        return QTimeZone::systemTimeZone();
    if (found.value() == "UTC")
        return QTimeZone::utc();
    const QTimeZone zone(found.value());
    return zone.isValid() ? zone : QTimeZone::systemTimeZone();
}

} // namespace

std::optional<QString> formattedDateText(const std::optional<QDateTime>& date, const QString& pattern)
{
    if (!date || !date->isValid())
        return std::nullopt;
    return QLocale().toString(date->toLocalTime(), qtDateFormat(pattern));
}

std::optional<QString> dateTimeText(const std::optional<QDateTime>& date)
{
    return formattedDateText(date, QString::fromLatin1(dateTimeTextPattern));
}

std::optional<QDateTime> dateFromExifText(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    return parseDate(
        *text, QString::fromLatin1(exifDatePattern), QLocale(QLocale::English, QLocale::UnitedStates), std::nullopt);
}

std::optional<QDateTime> parseDateInTimeZone(
    const std::optional<QString>& text, const QString& pattern, const std::optional<QString>& timeZoneAbbreviation)
{
    if (!text)
        return std::nullopt;
    return parseDate(
        *text, pattern, QLocale(QLocale::English, QLocale::UnitedStates), timeZoneOfAbbreviation(timeZoneAbbreviation));
}

QString escapeRegexCharacters(const QString& path)
{
    static const QString special = QStringLiteral("^|()[]{}$*?.\"/\\+");
    QString escaped;
    escaped.reserve(path.size() * 2);
    for (const QChar c : path) {
        if (special.contains(c))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return escaped;
}

bool isApplicationRunning(const QString& applicationIdentifier)
{
    const QString wanted = applicationIdentifier.trimmed();
    if (wanted.isEmpty())
        return false;
    // Processes come and go while the folder is read; one that has gone
    // simply gives no name.
    const auto readName = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
    };
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        const QString folder = processes.next();
        bool isProcess = false;
        processes.fileName().toUInt(&isProcess);
        if (!isProcess)
            continue;
        const QString command = QString::fromLocal8Bit(readName(folder + QStringLiteral("/comm"))).trimmed();
        const QByteArray arguments = readName(folder + QStringLiteral("/cmdline"));
        const QString program = QString::fromLocal8Bit(arguments.left(arguments.indexOf('\0')));
        const QString programName = program.mid(program.lastIndexOf(QLatin1Char('/')) + 1);
        if (command.compare(wanted, Qt::CaseInsensitive) == 0 || programName.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
