#pragma once

#include "core/Localization.h"

#include <QFile>
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

// The English display names of the filter categories and the rule texts.
inline QMap<QString, QString> englishCategoryTexts()
{
    return { { QStringLiteral("ID_DOCUMENT"), QStringLiteral("Document") },
        { QStringLiteral("ID_PICTURE"), QStringLiteral("Picture") },
        { QStringLiteral("ID_MUSIC"), QStringLiteral("Music") },
        { QStringLiteral("ID_VIDEO"), QStringLiteral("Video") },
        { QStringLiteral("ID_ARCHIVE"), QStringLiteral("Archive") },
        { QStringLiteral("ID_CUSTOM"), QStringLiteral("Custom") },
        { QStringLiteral("ID_ALL_FILE_TYPES"), QStringLiteral("All File Types") },
        { QStringLiteral("ID_DATE_MODIFIED"), QStringLiteral("Date modified") },
        { QStringLiteral("ID_FILE_CREATED"), QStringLiteral("File created") },
        { QStringLiteral("ID_FOLDER"), QStringLiteral("Folder") },
        { QStringLiteral("ID_SIZE_HIGHER_FILE_SIZE_IS_PROTECTED"), QStringLiteral("Higher file size is protected") },
        { QStringLiteral("ID_FILE_TYPE_FORMAT"), QStringLiteral("File type") } };
}
