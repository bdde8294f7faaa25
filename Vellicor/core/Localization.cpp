#include "core/Localization.h"

#include "core/GlobalObjects.h"
#include "core/PropertyList.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <cstdio>
#include <mutex>

namespace {

struct TableState {
    std::mutex mutex;
    bool loaded = false;
    QVariantMap table;
};

TableState& state()
{
    static TableState value;
    return value;
}

void loadLocked(TableState& s, const QStringList& preferredLanguages, const QString& folder)
{
    const QString code = LocalizationDetail::languageCodeOf(preferredLanguages);
    isEnglishLanguage = code == QLatin1String("en");
    currentLanguageCode = code;

    QString path = folder + QStringLiteral("/Vlx_") + code + QStringLiteral(".plist");
    if (!QFileInfo::exists(path)) {
        // English texts, laid out as English: a language's layout is made
        // for its own texts.
        isEnglishLanguage = true;
        currentLanguageCode = QStringLiteral("en");
        path = folder + QStringLiteral("/Vlx_en.plist");
    }
    // A table that cannot be read leaves an empty one: every lookup then
    // answers empty text instead of stopping the program.
    s.table = readPropertyListDictionary(path).value_or(QVariantMap{});
    s.loaded = true;
}

} // namespace

namespace LocalizationDetail {

QString languageCodeOf(const QStringList& preferredLanguages)
{
    if (preferredLanguages.isEmpty() || preferredLanguages.first().trimmed().isEmpty())
        return QStringLiteral("en");
    QString code = preferredLanguages.first().trimmed();
    // The C and POSIX locales name no language.
    if (code == QLatin1String("C") || code == QLatin1String("POSIX"))
        return QStringLiteral("en");
    const qsizetype cut = code.indexOf(QRegularExpression(QStringLiteral("[-_]")));
    if (cut >= 0)
        code.truncate(cut);
    code = code.toLower();
    return code.isEmpty() ? QStringLiteral("en") : code;
}

void loadLocalizationTableFrom(const QStringList& preferredLanguages, const QString& folder)
{
    TableState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.loaded)
        return;
    loadLocked(s, preferredLanguages, folder);
}

void resetLocalizationTable()
{
    TableState& s = state();
    std::lock_guard lock(s.mutex);
    s.loaded = false;
    s.table.clear();
    currentLanguageCode = QStringLiteral("en");
    isEnglishLanguage = true;
}

const QVariantMap& loadedTable()
{
    return state().table;
}

} // namespace LocalizationDetail

void loadLocalizationTable()
{
    TableState& s = state();
    {
        std::lock_guard lock(s.mutex);
        if (s.loaded)
            return;
    }
    LocalizationDetail::loadLocalizationTableFrom(QLocale::system().uiLanguages(),
                                                  QString::fromLatin1(LocalizationDetail::resourceFolder));
}

QString localizedText(const QString& key)
{
    loadLocalizationTable();
    const QVariantMap& table = state().table;
    const auto found = table.constFind(key);
    if (found == table.constEnd() || found->typeId() != QMetaType::QString) {
        std::fprintf(stdout, "%s\n", key.toUtf8().constData());
        std::fflush(stdout);
        return QString();
    }
    QString text = found->toString();
    text.replace(QLatin1String("DONOT_TRANSLATE_INTEGER_VALUE"), QLatin1String("%d"));
    text.replace(QLatin1String("DONOT_TRANSLATE_STRING_VALUE"), QLatin1String("%@"));
    return text;
}
