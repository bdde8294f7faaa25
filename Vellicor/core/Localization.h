#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// The language tables: one flat key-to-text dictionary per language, compiled
// in as "Vlx_<code>.plist". The table of the user's first preferred language is
// loaded once, by the first lookup; a language without a table reads English
// texts and takes the English layout with them: the layout follows the
// language of the texts shown. Dates and numbers keep the user's region.

// Fills the table, currentLanguageCode and isEnglishLanguage; does nothing once
// it has run, even when the table turned out empty or unreadable.
void loadLocalizationTable();

// The text of key with "DONOT_TRANSLATE_INTEGER_VALUE" turned into "%d" and
// "DONOT_TRANSLATE_STRING_VALUE" into "%@"; empty text (and the key printed on
// standard output) when the key is missing. Never formats: pass the result to
// formatText() with the values.
QString localizedText(const QString& key);
// The same for a key written in the code ("ID_OK").
inline QString localizedText(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}

namespace LocalizationDetail {

inline constexpr char resourceFolder[] = ":/resources";

// The language code of a preferred-language entry: the part before the first
// "-" (or "_"), lower-cased; "en" when there is none.
QString languageCodeOf(const QStringList& preferredLanguages);

// The loading step itself, with the preferred languages and the folder of the
// tables given; loadLocalizationTable() calls it with the user's settings.
void loadLocalizationTableFrom(const QStringList& preferredLanguages, const QString& folder);

// Forgets the loaded table so that a test can load another language.
void resetLocalizationTable();

const QVariantMap& loadedTable();

} // namespace LocalizationDetail
