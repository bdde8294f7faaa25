#pragma once

#include <QString>
#include <QStringList>

#include <concepts>
#include <initializer_list>
#include <type_traits>
#include <variant>

// Fills a text from the language tables with values. Table texts are data, so
// they are never handed to a printf-style function: "%d" takes the next
// integer, "%@" the next text, "%%" is a percent sign, and "%1$d" / "%2$@" name
// an argument by position. A placeholder without a matching argument becomes
// empty; an unknown "%" sequence stays as it is.
class FormatArg {
public:
    template <typename T>
        requires(std::is_integral_v<T> && !std::same_as<T, bool>)
    FormatArg(T value) // NOLINT(google-explicit-constructor)
    {
        if constexpr (std::is_signed_v<T>)
            value_ = static_cast<qlonglong>(value);
        else
            value_ = static_cast<qulonglong>(value);
    }
    FormatArg(const QString& value) : value_(value) {} // NOLINT(google-explicit-constructor)
    FormatArg(const char* value) : value_(QString::fromUtf8(value)) {} // NOLINT(google-explicit-constructor)

    // The value as it appears in the text: integers in decimal digits.
    QString text() const;

private:
    std::variant<qlonglong, qulonglong, QString> value_;
};

QString formatText(const QString& format, std::initializer_list<FormatArg> args);

// A number as printf's "%<width>.<precision>f" writes it in the C locale:
// rounded from the exact binary value (so 1.125 gives "1.12"), the sign of a
// negative zero kept, padded with blanks on the left to width. Sizes and
// picture values are shown this way on every locale.
QString formatFixed(double value, int precision, int width = 0);

// What an alert tells of items it cannot all name: the first few of names
// (at most named of them), each longer than longest characters shortened in
// its middle and written on one line as the log writes it (line breaks,
// controls and invisible characters as escapes), joined with commas, then
// "and N more" for the rest of total (the items names stands for: it may
// hold only the first few of them).
QString namedFewAndMore(const QStringList& names, qsizetype total, qsizetype named = 5, qsizetype longest = 80);
