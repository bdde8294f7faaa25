#include "preferences/ExtensionFilterRules.h"

#include "base/UserDefaults.h"
#include "core/FileCategories.h"
#include "core/Localization.h"

#include <QRegularExpression>

#include <algorithm>

std::optional<QString> clashingFilter(const QVariantMap& record, const QVariantList& other)
{
    // Filters clash by what they cover: every added filter is "Custom", so
    // the key alone would set any two of them against each other. A row that
    // names no extension of its own (All) clashes only with its namesake.
    const QString keyStr = Setting::toText(record.value(QStringLiteral("keyStr"))).value_or(QString());
    const QStringList covered = extensionsOfFilter(record);
    for (const QVariant& entry : other) {
        const QVariantMap otherRecord = entry.toMap();
        if (!Setting::toBool(otherRecord.value(QStringLiteral("state"))).value_or(false))
            continue;
        const QString otherKey = Setting::toText(otherRecord.value(QStringLiteral("keyStr"))).value_or(QString());
        const QStringList otherCovered = extensionsOfFilter(otherRecord);
        const bool clashes = covered.isEmpty() || otherCovered.isEmpty()
            ? covered.isEmpty() && otherCovered.isEmpty() && otherKey == keyStr
            : std::any_of(covered.begin(), covered.end(),
                  [&otherCovered](const QString& extension) { return otherCovered.contains(extension); });
        if (clashes)
            return localizedText(categoryDisplayNameKey(otherKey).value_or(otherKey));
    }
    return std::nullopt;
}

int extensionTypeForLabel(const QString& label)
{
    static const QStringList labels { QStringLiteral("all"), QStringLiteral("doc"), QStringLiteral("pic"),
        QStringLiteral("archive"), QStringLiteral("music"), QStringLiteral("video") };
    const qsizetype index = labels.indexOf(label.toLower());
    return index < 0 ? 7 : int(index) + 1;
}

QStringList normalizedPatterns(const QString& typed)
{
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    QStringList extensions;
    for (QString piece : typed.split(separators, Qt::SkipEmptyParts)) {
        if (piece.startsWith(QLatin1String("*.")))
            piece.remove(0, 2);
        else if (piece.startsWith(QLatin1Char('.')))
            piece.remove(0, 1);
        piece.remove(QLatin1Char(')'));
        piece.remove(QLatin1Char('('));
        piece = piece.toLower();
        if (!piece.isEmpty() && piece != QLatin1String("*") && !extensions.contains(piece))
            extensions.append(piece);
    }
    return extensions;
}
