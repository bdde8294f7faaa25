#pragma once

#include <QString>
#include <QStringList>

#include <concepts>
#include <type_traits>

// The diagnostic log: "vellicor.log" in the state folder. No level, no time
// stamp, no rotation. Safe from any thread: each printed line is appended
// whole, in one write under one lock, so lines from two threads never
// interleave. The file stays open between lines.

// Appends the UTF-8 bytes of text to the log file. Never creates a folder and
// never reports a failure: a missing folder or a full disk only loses the text.
// Only a plain file of the user's own in a folder of the user's alone is
// written (PrivateFiles::useOwnFolder); a refused folder is told as every
// refused folder is, and its lines are lost.
void writeLogText(const QString& text);

// Writes text, escaped as one item of the log, and a line feed to standard
// output, not to the log: the program's console diagnostics. A name or a
// service's text in it can neither break the line nor reach the terminal as
// a control sequence.
void printToStandardOutput(const QString& text);

namespace LogDetail {

// An item as it appears inside one line: backslashes doubled, line breaks
// (U+0085, U+2028 and U+2029 among them), other control characters, lone
// surrogates and the characters that draw nothing themselves (bidirectional
// overrides and isolates, zero-width and other format characters, fillers)
// written as escapes (\\n, \\x1b, \\u202e, \\U000e0001), so a hostile file name
// can neither forge a line nor pass for another name.
QString escaped(const QString& text);

inline QString toLogText(const QString& value) { return value; }
inline QString toLogText(QStringView value) { return value.toString(); }
inline QString toLogText(const char* value) { return QString::fromUtf8(value); }
inline QString toLogText(const QByteArray& value) { return QString::fromUtf8(value); }
inline QString toLogText(const QStringList& value)
{
    return QLatin1Char('[') + value.join(QStringLiteral(", ")) + QLatin1Char(']');
}
inline QString toLogText(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
template <typename T>
    requires(std::is_arithmetic_v<T> && !std::same_as<T, bool>)
QString toLogText(T value)
{
    return QString::number(value);
}

} // namespace LogDetail

struct Log {
    // Prints the items joined by one blank and ended by a line feed, as one
    // line of the log.
    template <typename... Items>
    static void print(const Items&... items)
    {
        QStringList parts;
        parts.reserve(sizeof...(items));
        (parts.append(LogDetail::escaped(LogDetail::toLogText(items))), ...);
        writeLogText(parts.join(QLatin1Char(' ')) + QLatin1Char('\n'));
    }
};
