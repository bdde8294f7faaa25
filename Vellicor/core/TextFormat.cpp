#include "core/TextFormat.h"

#include "core/FileUtilities.h"
#include "core/Localization.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <vector>

QString FormatArg::text() const
{
    if (const auto* value = std::get_if<qlonglong>(&value_))
        return QString::number(*value);
    if (const auto* value = std::get_if<qulonglong>(&value_))
        return QString::number(*value);
    return std::get<QString>(value_);
}

namespace {

bool isIntegerConversion(QChar c)
{
    return c == QLatin1Char('d') || c == QLatin1Char('i') || c == QLatin1Char('u');
}

} // namespace

QString formatText(const QString& format, std::initializer_list<FormatArg> args)
{
    const std::vector<FormatArg> values(args);
    QString out;
    out.reserve(format.size() + 16);
    size_t next = 0;
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = format.at(i);
        if (c != QLatin1Char('%') || i + 1 >= n) {
            out.append(c);
            continue;
        }
        qsizetype j = i + 1;
        if (format.at(j) == QLatin1Char('%')) {
            out.append(QLatin1Char('%'));
            i = j;
            continue;
        }
        // Optional position: digits followed by '$'.
        std::optional<size_t> position;
        qsizetype k = j;
        while (k < n && format.at(k).isDigit())
            ++k;
        if (k > j && k < n && format.at(k) == QLatin1Char('$')) {
            position = static_cast<size_t>(format.mid(j, k - j).toULongLong());
            j = k + 1;
        }
        // Length modifiers that integer placeholders may carry ("%ld", "%lld").
        while (j < n && (format.at(j) == QLatin1Char('l') || format.at(j) == QLatin1Char('q')))
            ++j;
        if (j >= n) {
            out.append(format.mid(i));
            break;
        }
        const QChar conversion = format.at(j);
        const bool integer = isIntegerConversion(conversion);
        if (!integer && conversion != QLatin1Char('@')) {
            out.append(c);
            continue;
        }
        size_t index = 0;
        if (position) {
            index = *position == 0 ? values.size() : *position - 1;
        } else {
            index = next++;
        }
        if (index < values.size())
            out.append(values[index].text());
        i = j;
    }
    return out;
}

QString formatFixed(double value, int precision, int width)
{
    // to_chars rounds as printf does but ignores the process locale, which
    // would otherwise turn the point into a comma.
    std::array<char, 400> buffer;
    const auto [end, error] = std::to_chars(
        buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, std::clamp(precision, 0, 40));
    QString text = error == std::errc() ? QString::fromLatin1(buffer.data(), end - buffer.data()) : QString();
    if (text.size() < width)
        text.prepend(QString(width - text.size(), QLatin1Char(' ')));
    return text;
}

QString namedFewAndMore(const QStringList& names, qsizetype total, qsizetype named, qsizetype longest)
{
    // A name too long keeps its start and its end; each is then shown as the
    // log writes it, so that a line break, a bidirectional override or a
    // control a hostile file put in a name neither makes the alert taller than
    // its few names nor turns the words around it.
    QStringList shown;
    for (qsizetype i = 0; i < std::min(named, names.size()); ++i)
        shown.append(printablePath(names.at(i), longest));
    const QString listed = shown.join(QStringLiteral(", "));
    const qsizetype more = total - shown.size();
    if (more <= 0)
        return listed;
    return formatText(localizedText("ID_NAMES_AND_MORE"), { listed, QLocale().toString(more) });
}
