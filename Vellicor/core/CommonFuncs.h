#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

// Small stateless helpers shared by the scan and the screens: size texts,
// date texts and parsing, and escaping for regular expressions. Safe on any
// thread.

// True when value holds a number of any width (a Boolean counts, as a stored
// flag does); texts that merely look like numbers do not.
bool isNumberValue(const QVariant& value);

// A byte count as text in steps of 1000: "512 bytes", "1.50 KB", "2.00 GB".
// Values of 10^15 bytes and more stay in TB. Anything that is not a finite
// number gives "0 bytes".
QString getSizeInUnits(double bytes);
QString getSizeInUnits(const QVariant& value);

// Date patterns are written as the Unicode date patterns that the settings,
// the screens and the cloud services use ("MMM dd, yyyy hh:mm:ss a");
// qtDateFormat() turns one into Qt's notation. Supported fields: era-less
// years, months, days, weekday names, both hour clocks, minutes, seconds,
// fractions of a second, AM/PM and time zones; quoted text is literal.
QString qtDateFormat(const QString& unicodePattern);

inline constexpr char dateTimeTextPattern[] = "MMM dd, yyyy hh:mm:ss a";
inline constexpr char exifDatePattern[] = "yyyy:MM:dd HH:mm:ss";

// The date in the user's locale and time zone with dateTimeTextPattern; none
// for no date.
std::optional<QString> dateTimeText(const std::optional<QDateTime>& date);

// The same with the caller's pattern.
std::optional<QString> formattedDateText(const std::optional<QDateTime>& date, const QString& pattern);

// An EXIF date ("2021:06:30 14:05:09", local time of the camera taken as the
// current time zone) as a UTC date; none when absent or unparsable.
std::optional<QDateTime> dateFromExifText(const std::optional<QString>& text);

// A service's date text read with pattern. A zone named in the text wins;
// otherwise the text is read in the zone an abbreviation names ("UTC", "PST",
// "CEST", …, each as its region with its summer time), or in the system's
// zone when none is given or the name is unknown. Digits and month names are
// read as in English, whatever the user's locale. Returns UTC; none when the
// text does not match.
std::optional<QDateTime> parseDateInTimeZone(
    const std::optional<QString>& text, const QString& pattern, const std::optional<QString>& timeZoneAbbreviation);

// A path made literal for a regular expression: each of ^ | ( ) [ ] { } $ * ?
// . " / \ + gets a backslash in front; every other character stays.
QString escapeRegexCharacters(const QString& path);

// Whether a running program is named applicationIdentifier, ignoring case:
// its kernel name or the last component of the path it was started as.
// Any thread.
bool isApplicationRunning(const QString& applicationIdentifier);
