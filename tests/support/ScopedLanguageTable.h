#pragma once

#include "core/Localization.h"

#include <QFile>
#include <QLocale>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// Loads a language table of the given texts in place of the compiled-in one for
// as long as it lives, and forgets it afterwards.
class ScopedLanguageTable {
public:
    ScopedLanguageTable(const QString& languageCode, const QMap<QString, QString>& texts)
    {
        QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)";
        for (auto it = texts.constBegin(); it != texts.constEnd(); ++it)
            xml += "<key>" + it.key().toHtmlEscaped().toUtf8() + "</key><string>" + it.value().toHtmlEscaped().toUtf8()
                + "</string>";
        xml += "</dict></plist>\n";
        QFile file(folder_.filePath(QStringLiteral("Vlx_") + languageCode + QStringLiteral(".plist")));
        if (file.open(QIODevice::WriteOnly))
            file.write(xml);
        file.close();
        LocalizationDetail::resetLocalizationTable();
        LocalizationDetail::loadLocalizationTableFrom({ languageCode }, folder_.path());
    }
    ~ScopedLanguageTable() { LocalizationDetail::resetLocalizationTable(); }
    ScopedLanguageTable(const ScopedLanguageTable&) = delete;
    ScopedLanguageTable& operator=(const ScopedLanguageTable&) = delete;

private:
    QTemporaryDir folder_;
};

// The user's system language and region as locale names them, with the
// program's own tables (English only), for as long as it lives.
class ScopedSystemLanguage {
public:
    explicit ScopedSystemLanguage(const QLocale& locale)
    {
        QLocale::setDefault(locale);
        LocalizationDetail::resetLocalizationTable();
        LocalizationDetail::loadLocalizationTableFrom(locale.uiLanguages(), LocalizationDetail::resourceFolder);
    }
    ~ScopedSystemLanguage()
    {
        QLocale::setDefault(saved_);
        LocalizationDetail::resetLocalizationTable();
    }
    ScopedSystemLanguage(const ScopedSystemLanguage&) = delete;
    ScopedSystemLanguage& operator=(const ScopedSystemLanguage&) = delete;

private:
    QLocale saved_;
};
