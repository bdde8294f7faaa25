#include "core/FileCategories.h"
#include "core/ScanSettingsSnapshot.h"
#include "core/SettingsSchema.h"
#include "base/UserDefaults.h"

#include "ScopedLanguageTable.h"

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

struct FileCategoriesTest : ::testing::Test {
    ScopedLanguageTable language { QStringLiteral("en"), englishCategoryTexts() };
};

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

TEST(BuiltInExtensionLists, HoldTheirEntriesInOrderWithRepeats)
{
    fillBuiltInExtensionLists();
    EXPECT_EQ(audioExtensions().size(), 28);
    EXPECT_EQ(imageExtensions().size(), 32);
    EXPECT_EQ(rawImageExtensions().size(), 43);
    EXPECT_EQ(videoExtensions().size(), 25);
    EXPECT_EQ(documentExtensions().size(), 26);
    EXPECT_EQ(archiveExtensions().size(), 14);

    EXPECT_EQ(audioExtensions().mid(0, 3), (QStringList { "mp3", "wav", "aiff" }));
    EXPECT_EQ(audioExtensions().count(QStringLiteral("wav")), 2);
    EXPECT_EQ(audioExtensions().last(), QStringLiteral("m4a"));
    EXPECT_TRUE(audioExtensions().at(14).contains(QLatin1Char('.')));
    EXPECT_EQ(imageExtensions().mid(0, 2), (QStringList { "icns", "ICNS" }));
    EXPECT_EQ(imageExtensions().last(), QStringLiteral("heic"));
    EXPECT_EQ(rawImageExtensions().at(4), QStringLiteral("jpeg 2000"));
    EXPECT_EQ(rawImageExtensions().last(), QStringLiteral("iiq"));
    EXPECT_EQ(videoExtensions().last(), QStringLiteral("3gp2"));
    EXPECT_EQ(documentExtensions().count(QStringLiteral("htm")), 2);
    EXPECT_EQ(archiveExtensions().last(), QStringLiteral("adf"));

    // "dng" stands twice in the raw list and once in the set.
    EXPECT_EQ(rawExtensionSet().size(), 42);
    EXPECT_TRUE(rawExtensionSet().contains(QStringLiteral("dng")));
    EXPECT_TRUE(rawExtensionSet().contains(QStringLiteral("jpeg 2000")));

    fillBuiltInExtensionLists();
    EXPECT_EQ(audioExtensions().size(), 28);
}

TEST_F(FileCategoriesTest, LabelPatternsBecomeLowerCaseTableKeys)
{
    FileCategoryTables tables;
    buildFileCategoryTables(filterRow("Document", "Document (*.pdf;*.DOCX;;*.audio cd;)", 1), true, tables);
    EXPECT_EQ(tables.includeDocumentExtensions, (ExtensionTable { "pdf", "docx", "audio cd" }));

    buildFileCategoryTables(filterRow("Custom", "Custom (*.xyz;)", 1), false, tables);
    EXPECT_EQ(tables.excludeCustomExtensions, ExtensionTable { "xyz" });
    EXPECT_TRUE(tables.includeCustomExtensions.isEmpty());
}

TEST_F(FileCategoriesTest, RowsWithoutACategoryOrLabelAddNothing)
{
    FileCategoryTables tables;
    buildFileCategoryTables(allRow(1), true, tables);
    buildFileCategoryTables(filterRow("Sound", "Sound (*.mp3;)", 1), true, tables);
    buildFileCategoryTables(
        { { QStringLiteral("keyStr"), 5 }, { QStringLiteral("values"), "Music (*.mp3;)" } }, true, tables);
    buildFileCategoryTables(
        { { QStringLiteral("keyStr"), "Music" }, { QStringLiteral("values"), QVariantList {} } }, true, tables);
    EXPECT_EQ(tables, FileCategoryTables {});
}

TEST_F(FileCategoriesTest, LabelStoredUnderAnotherLanguageKeepsItsFirstExtension)
{
    FileCategoryTables tables;
    buildFileCategoryTables(filterRow("Document", "Dokumente (*.pdf;*.odt;)", 1), true, tables);
    EXPECT_EQ(tables.includeDocumentExtensions, (ExtensionTable { "pdf", "odt" }));
}

TEST_F(FileCategoriesTest, CheckedAllRowMakesUncheckedIncludeRowsCount)
{
    const QVariantList include { allRow(true), filterRow("Video", "Video (*.mov;)", 0),
        filterRow("Music", "Music (*.mp3;)", false), QStringLiteral("not a row") };
    const QVariantList exclude { filterRow("Picture", "Picture (*.gif;)", 0),
        filterRow("Archive", "Archive (*.iso;)", 1) };

    const FileCategoryTables tables = fileCategoryTablesFromLists(include, exclude);
    EXPECT_EQ(tables.includeVideoExtensions, ExtensionTable { "mov" });
    EXPECT_EQ(tables.includeMusicExtensions, ExtensionTable { "mp3" });
    EXPECT_TRUE(tables.excludePictureExtensions.isEmpty());
    EXPECT_EQ(tables.excludeArchiveExtensions, ExtensionTable { "iso" });
}

TEST_F(FileCategoriesTest, WithoutACheckedAllRowOnlyCheckedRowsCount)
{
    QVariantMap allWithoutType = allRow(true);
    allWithoutType.remove(QStringLiteral("extensionType"));
    const QVariantList include { allRow(0), allWithoutType, filterRow("Video", "Video (*.mov;)", 0),
        filterRow("Music", "Music (*.mp3;)", 1), filterRow("Document", "Document (*.txt;)", "1"),
        filterRow("Archive", "Archive (*.zip;)", 2) };

    const FileCategoryTables tables = fileCategoryTablesFromLists(include, QVariant());
    EXPECT_TRUE(tables.includeVideoExtensions.isEmpty());
    EXPECT_EQ(tables.includeMusicExtensions, ExtensionTable { "mp3" });
    EXPECT_TRUE(tables.includeDocumentExtensions.isEmpty());
    EXPECT_TRUE(tables.includeArchiveExtensions.isEmpty());
}

TEST_F(FileCategoriesTest, MissingOrWronglyTypedListsLeaveTheTablesEmpty)
{
    EXPECT_EQ(fileCategoryTablesFromLists(QVariant(), QVariant()), FileCategoryTables {});
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

TEST(Categorizing, ExclusionWinsOverInclusion)
{
    FileCategoryTables tables;
    tables.includePictureExtensions = { "jpg" };
    tables.excludeMusicExtensions = { "jpg" };
    const ExtensionVerdict verdict = categorizeExtension(QStringLiteral("JPG"), snapshotWith(tables, true));
    EXPECT_FALSE(verdict.taken);
    EXPECT_FALSE(verdict.category);
}

TEST(Categorizing, FirstIncludeTableInScanOrderGivesTheCategory)
{
    FileCategoryTables tables;
    tables.includeDocumentExtensions = { "a", "b", "c", "d", "e" };
    tables.includeMusicExtensions = { "a", "b", "c", "d" };
    tables.includeArchiveExtensions = { "a", "b", "c" };
    tables.includePictureExtensions = { "a", "b" };
    tables.includeVideoExtensions = { "a" };
    tables.includeCustomExtensions = { "a", "b", "c", "d", "e", "f" };
    const ScanSettingsSnapshot snapshot = snapshotWith(tables, false);

    const std::vector<std::pair<QString, Category>> expected { { "a", Category::Video }, { "b", Category::Pic },
        { "c", Category::Archive }, { "d", Category::Music }, { "e", Category::Doc }, { "f", Category::Others } };
    for (const auto& [extension, category] : expected) {
        const ExtensionVerdict verdict = categorizeExtension(extension, snapshot);
        EXPECT_TRUE(verdict.taken) << extension.toStdString();
        EXPECT_EQ(verdict.category, category) << extension.toStdString();
    }
}

TEST(Categorizing, UnlistedExtensionIsOthersOnlyWhileAllIsChosen)
{
    const FileCategoryTables tables;
    EXPECT_EQ(categorizeExtension(QStringLiteral("xyz"), snapshotWith(tables, true)).category, Category::Others);
    EXPECT_TRUE(categorizeExtension(QStringLiteral(""), snapshotWith(tables, true)).taken);
    const ExtensionVerdict without = categorizeExtension(QStringLiteral("xyz"), snapshotWith(tables, false));
    EXPECT_FALSE(without.taken);
    EXPECT_FALSE(without.category);
}

TEST(Categorizing, SwitchedOffCategoryRefusesButKeepsTheCategory)
{
    FileCategoryTables tables;
    tables.includePictureExtensions = { "png" };
    ScanSettingsSnapshot snapshot = snapshotWith(tables, true);
    snapshot.scanCategoryFlags[rawValue(Category::Pic)] = false;

    const ExtensionVerdict picture = categorizeExtension(QStringLiteral("png"), snapshot);
    EXPECT_FALSE(picture.taken);
    EXPECT_EQ(picture.category, Category::Pic);

    snapshot.scanCategoryFlags[rawValue(Category::Others)] = false;
    EXPECT_FALSE(categorizeExtension(QStringLiteral("xyz"), snapshot).taken);
}

TEST(Categorizing, CloudFilesIgnoreTheCustomTables)
{
    FileCategoryTables tables;
    tables.includeCustomExtensions = { "abc" };
    tables.excludeCustomExtensions = { "pdf" };
    tables.includeDocumentExtensions = { "pdf" };
    const ScanSettingsSnapshot withAll = snapshotWith(tables, true);
    const ScanSettingsSnapshot withoutAll = snapshotWith(tables, false);

    EXPECT_FALSE(categorizeExtension(QStringLiteral("pdf"), withAll).taken);
    EXPECT_EQ(categorizeExtension(QStringLiteral("pdf"), withAll, CustomTables::ignored).category, Category::Doc);

    EXPECT_TRUE(categorizeExtension(QStringLiteral("abc"), withoutAll).taken);
    EXPECT_FALSE(categorizeExtension(QStringLiteral("abc"), withoutAll, CustomTables::ignored).taken);
    EXPECT_EQ(categorizeExtension(QStringLiteral("abc"), withAll, CustomTables::ignored).category, Category::Others);
}

TEST(ScanSettingsSnapshotTest, CopiesTheCurrentStateAndIgnoresLaterChanges)
{
    const FileCategoryTables savedTables = fileCategoryTables();
    const auto savedFlags = scanCategoryFlags;
    const bool savedAll = isAllFileTypesSelected;
    const int savedOption = dateFilterOption;

    fileCategoryTables().includeVideoExtensions = { "mov" };
    scanCategoryFlags.fill(false);
    scanCategoryFlags[rawValue(Category::Video)] = true;
    isAllFileTypesSelected = true;
    dateFilterOption = 3;
    modifiedDateFilter() = QDateTime::fromSecsSinceEpoch(1000, Qt::UTC);
    fillBuiltInExtensionLists();

    const ScanSettingsSnapshot snapshot = makeScanSettingsSnapshot();
    fileCategoryTables().includeVideoExtensions.clear();
    scanCategoryFlags[rawValue(Category::Video)] = false;

    EXPECT_TRUE(categorizeExtension(QStringLiteral("mov"), snapshot).taken);
    EXPECT_TRUE(snapshot.isAllFileTypesSelected);
    EXPECT_EQ(snapshot.dateFilterOption, 3);
    EXPECT_EQ(snapshot.modifiedDateFilter, QDateTime::fromSecsSinceEpoch(1000, Qt::UTC));
    EXPECT_TRUE(snapshot.rawExtensionSet.contains(QStringLiteral("cr2")));

    fileCategoryTables() = savedTables;
    scanCategoryFlags = savedFlags;
    isAllFileTypesSelected = savedAll;
    dateFilterOption = savedOption;
}
