#include "core/FileCategories.h"
#include "base/UserDefaults.h"
#include "core/ScanSettingsSnapshot.h"
#include "core/SettingsSchema.h"

#include "EnglishTexts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using Category = GlobalObjects::FileCategory;

namespace {

QVariantMap filterRow(const QString& keyStr, const QString& values, const QVariant& state, int extensionType = 2)
{
    return { { QStringLiteral("keyStr"), keyStr }, { QStringLiteral("values"), values },
        { QStringLiteral("state"), state }, { QStringLiteral("extensionType"), extensionType } };
}

QVariantMap allRow(const QVariant& state)
{
    return filterRow(QStringLiteral("All"), QStringLiteral("All File Types(*.*)"), state, 1);
}

using FileCategoriesTest = EnglishTexts;

// A snapshot with every category switch on, so only the tables decide.
ScanSettingsSnapshot snapshotWith(const FileCategoryTables& tables, bool all)
{
    ScanSettingsSnapshot snapshot;
    snapshot.categoryTables = tables;
    snapshot.isAllFileTypesSelected = all;
    snapshot.scanCategoryFlags.fill(true);
    return snapshot;
}

} // namespace

TEST_F(FileCategoriesTest, RowsBecomeLowerCaseTableKeysOfTheirCategory)
{
    FileCategoryTables tables;
    buildFileCategoryTables(filterRow("Document", "Document (*.pdf;*.DOCX;;*.audio cd;)", 1), true, tables);
    buildFileCategoryTables(filterRow("Custom", "Custom (*.xyz;)", 1), false, tables);
    // A label stored under another language still gives its first extension.
    buildFileCategoryTables(filterRow("Video", "Film (*.mov;*.mp4;)", 1), true, tables);
    // Rows without a category or a label add nothing.
    buildFileCategoryTables(allRow(1), true, tables);
    buildFileCategoryTables(filterRow("Sound", "Sound (*.mp3;)", 1), true, tables);
    buildFileCategoryTables(
        { { QStringLiteral("keyStr"), 5 }, { QStringLiteral("values"), "Music (*.mp3;)" } }, true, tables);
    buildFileCategoryTables({ { QStringLiteral("keyStr"), "Music" } }, true, tables);
    FileCategoryTables expected;
    expected.includeDocumentExtensions = { "pdf", "docx", "audio cd" };
    expected.excludeCustomExtensions = { "xyz" };
    expected.includeVideoExtensions = { "mov", "mp4" };
    EXPECT_EQ(tables, expected);
}

TEST_F(FileCategoriesTest, CheckedAllRowMakesUncheckedIncludeRowsCountButNeverExcludeRows)
{
    QVariantMap allWithoutType = allRow(true);
    allWithoutType.remove(QStringLiteral("extensionType"));
    const QVariantList rows { filterRow("Video", "Video (*.mov;)", 0), filterRow("Music", "Music (*.mp3;)", 1),
        filterRow("Document", "Document (*.txt;)", "1"), QStringLiteral("not a row") };
    const QVariantList exclude { filterRow("Picture", "Picture (*.gif;)", 0),
        filterRow("Archive", "Archive (*.iso;)", 1) };

    FileCategoryTables withAll;
    withAll.includeVideoExtensions = { "mov" };
    withAll.includeMusicExtensions = { "mp3" };
    withAll.includeDocumentExtensions = { "txt" };
    withAll.excludeArchiveExtensions = { "iso" };
    EXPECT_EQ(fileCategoryTablesFromLists(QVariantList { allRow(true) } + rows, exclude), withAll);

    FileCategoryTables withoutAll;
    withoutAll.includeMusicExtensions = { "mp3" };
    EXPECT_EQ(fileCategoryTablesFromLists(QVariantList { allRow(0), allWithoutType } + rows, QVariant()), withoutAll);
    EXPECT_EQ(fileCategoryTablesFromLists(QStringLiteral("Video (*.mov;)"), filterRow("Video", "Video (*.mov;)", 1)),
        FileCategoryTables {});
}

TEST_F(FileCategoriesTest, DefaultSettingsIncludeEverythingAndExcludeNothing)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path());
    fillBuiltInExtensionLists();
    registerDefaultSettings(defaults);
    // A list stored as another type reads as the default list.
    defaults.setValue(QLatin1String(SettingsKey::includeExtensionList), QStringLiteral("damaged"));

    const FileCategoryTables saved = fileCategoryTables();
    loadExtensionLists(defaults);
    const FileCategoryTables tables = fileCategoryTables();
    fileCategoryTables() = saved;

    EXPECT_EQ(tables.includeDocumentExtensions.size(), 24);
    EXPECT_TRUE(tables.includePictureExtensions.contains(QStringLiteral("arw")));
    EXPECT_TRUE(tables.includePictureExtensions.contains(QStringLiteral("icns")));
    EXPECT_TRUE(tables.includeMusicExtensions.contains(QStringLiteral("audio cd")));
    EXPECT_TRUE(tables.includeCustomExtensions.isEmpty());
    EXPECT_TRUE(tables.excludeDocumentExtensions.isEmpty());
    EXPECT_TRUE(tables.excludeVideoExtensions.isEmpty());
}

TEST(Categorizing, ExclusionFirstThenTheIncludeTablesInScanOrder)
{
    FileCategoryTables tables;
    tables.includeDocumentExtensions = { "a", "b", "c", "d", "e", "x", "pdf" };
    tables.includeMusicExtensions = { "a", "b", "c", "d" };
    tables.includeArchiveExtensions = { "a", "b", "c" };
    tables.includePictureExtensions = { "a", "b" };
    tables.includeVideoExtensions = { "a" };
    tables.includeCustomExtensions = { "a", "b", "c", "d", "e", "f" };
    tables.excludeMusicExtensions = { "x" };
    tables.excludeCustomExtensions = { "pdf" };
    const ScanSettingsSnapshot snapshot = snapshotWith(tables, true);
    const auto ignored = CustomTables::ignored;

    const std::tuple<const char*, CustomTables, std::optional<Category>> table[] = {
        { "A", {}, Category::Video }, { "b", {}, Category::Pic }, { "c", {}, Category::Archive },
        { "d", {}, Category::Music }, { "e", {}, Category::Doc }, { "f", {}, Category::Others },
        { "unlisted", {}, Category::Others }, { "x", {}, std::nullopt }, { "pdf", {}, std::nullopt },
        { "pdf", ignored, Category::Doc } // cloud files ignore the custom tables
    };
    for (const auto& [extension, custom, category] : table) {
        const ExtensionVerdict verdict = categorizeExtension(QString::fromLatin1(extension), snapshot, custom);
        EXPECT_EQ(verdict.taken, category.has_value()) << extension;
        EXPECT_EQ(verdict.category, category) << extension;
    }
    const ScanSettingsSnapshot withoutAll = snapshotWith(tables, false);
    EXPECT_FALSE(categorizeExtension(QStringLiteral("unlisted"), withoutAll).taken);
    EXPECT_TRUE(categorizeExtension(QStringLiteral("f"), withoutAll).taken);
    EXPECT_FALSE(categorizeExtension(QStringLiteral("f"), withoutAll, ignored).taken);

    // A switched-off category refuses the file but still names its category.
    ScanSettingsSnapshot picturesOff = snapshot;
    picturesOff.scanCategoryFlags[rawValue(Category::Pic)] = false;
    EXPECT_FALSE(categorizeExtension(QStringLiteral("b"), picturesOff).taken);
    EXPECT_EQ(categorizeExtension(QStringLiteral("b"), picturesOff).category, Category::Pic);
}
