#include "controls/Mnemonics.h"

#include <QSet>

namespace {

// Where the mark goes in text (no '&' in it): a word's first letter not in
// taken, else any letter not in taken; -1 when every letter is taken.
qsizetype markPosition(const QString& text, const QSet<QChar>& taken)
{
    qsizetype anyFree = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!c.isLetterOrNumber() || taken.contains(c.toCaseFolded()))
            continue;
        if (i == 0 || !text.at(i - 1).isLetterOrNumber())
            return i;
        if (anyFree < 0)
            anyFree = i;
    }
    return anyFree;
}

} // namespace

QStringList withMnemonics(const QStringList& titles)
{
    QSet<QChar> taken;
    QStringList marked;
    marked.reserve(titles.size());
    for (const QString& title : titles) {
        const qsizetype at = markPosition(title, taken);
        QString escaped = title;
        escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
        if (at < 0) {
            marked << escaped;
            continue;
        }
        taken.insert(title.at(at).toCaseFolded());
        // Each '&' before the mark became two.
        const qsizetype shift = title.left(at).count(QLatin1Char('&'));
        escaped.insert(at + shift, QLatin1Char('&'));
        marked << escaped;
    }
    return marked;
}

QString withoutMnemonic(const QString& title)
{
    QString plain;
    plain.reserve(title.size());
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title.at(i) == QLatin1Char('&')) {
            if (i + 1 < title.size() && title.at(i + 1) == QLatin1Char('&'))
                ++i;
            else
                continue;
        }
        plain += title.at(i);
    }
    return plain;
}
