#include "core/Localization.h"
#include "core/GlobalObjects.h"
#include "core/PropertyList.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeTable(const QString& path, const QString& entries)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>)");
    file.write(entries.toUtf8());
    file.write("</dict></plist>\n");
}

struct LocalizationTest : ::testing::Test {
    QTemporaryDir tables;

    void SetUp() override
    {
        LocalizationDetail::resetLocalizationTable();
        writeTable(tables.filePath("Vlx_en.plist"),
            "<key>ID_OK</key><string>OK</string>"
            "<key>ID_FOUND</key><string>Found DONOT_TRANSLATE_INTEGER_VALUE files in "
            "DONOT_TRANSLATE_STRING_VALUE.</string>"
            "<key>ID_NUMBER</key><integer>3</integer>");
        writeTable(tables.filePath("Vlx_de.plist"), "<key>ID_OK</key><string>Gut</string>");
    }
    void TearDown() override { LocalizationDetail::resetLocalizationTable(); }

    void load(const QStringList& languages) { LocalizationDetail::loadLocalizationTableFrom(languages, tables.path()); }
};

} // namespace

TEST_F(LocalizationTest, PreferredLanguagePicksTheTableAndKeepsItsCode)
{
    EXPECT_EQ(currentLanguageCode, QStringLiteral("en"));
    const std::tuple<QStringList, const char*, bool, const char*> table[]
        = { { { "de-CH", "en-US" }, "de", false, "Gut" }, { { "en-GB" }, "en", true, "OK" },
              { { "ja-JP" }, "en", true, "OK" }, // no table: English texts, laid out as English
              { {}, "en", true, "OK" } };
    for (const auto& [languages, code, english, text] : table) {
        LocalizationDetail::resetLocalizationTable();
        load(languages);
        EXPECT_EQ(currentLanguageCode, QString::fromLatin1(code));
        EXPECT_EQ(isEnglishLanguage, english) << code;
        EXPECT_EQ(localizedText(QStringLiteral("ID_OK")), QString::fromLatin1(text)) << code;
    }
}

TEST_F(LocalizationTest, TokensBecomePlaceholdersAndMissingOrNonTextEntriesGiveEmptyText)
{
    load({ QStringLiteral("en") });
    EXPECT_EQ(localizedText(QStringLiteral("ID_FOUND")), QStringLiteral("Found %d files in %@."));
    testing::internal::CaptureStdout();
    EXPECT_EQ(localizedText(QStringLiteral("ID_NOT_THERE")), QString());
    EXPECT_EQ(localizedText(QStringLiteral("ID_NUMBER")), QString());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ID_NOT_THERE\nID_NUMBER\n");
}

TEST_F(LocalizationTest, UnreadableTableLoadsOnceAndStillAnswers)
{
    writeTable(tables.filePath("Vlx_fr.plist"), "<key>ID_OK</key><string>broken");
    load({ QStringLiteral("fr-FR") });
    testing::internal::CaptureStdout();
    EXPECT_EQ(localizedText(QStringLiteral("ID_OK")), QString());
    testing::internal::GetCapturedStdout();
    load({ QStringLiteral("de") });
    EXPECT_EQ(currentLanguageCode, QStringLiteral("fr"));
}

TEST(EnglishTable, IsCompiledInAndCoversEveryKeyTheCodeUses)
{
    const std::optional<QVariantMap> table = readPropertyListDictionary(QStringLiteral(":/resources/Vlx_en.plist"));
    ASSERT_TRUE(table.has_value());
    for (auto it = table->constBegin(); it != table->constEnd(); ++it) {
        const QString text = it.value().typeId() == QMetaType::QString ? it.value().toString() : QString();
        EXPECT_TRUE(!text.isEmpty() && !text.contains(QLatin1Char('%'))) << it.key().toStdString();
    }

    const QRegularExpression keyPattern(QStringLiteral("\"(ID_[A-Z0-9_]+)\""));
    QDirIterator files(QStringLiteral(VELLICOR_SOURCE_DIR "/Vellicor"),
        { QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui") }, QDir::Files,
        QDirIterator::Subdirectories);
    int keysSeen = 0;
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const auto& match : keyPattern.globalMatch(text)) {
            ++keysSeen;
            EXPECT_TRUE(table->contains(match.captured(1)))
                << match.captured(1).toStdString() << " used in " << file.fileName().toStdString();
        }
    }
    EXPECT_GT(keysSeen, 20);
}
