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
    const auto list = [](const char* words) { return QString::fromLatin1(words).split(QLatin1Char(',')); };
    for (int round = 0; round < 2; ++round) {
        fillBuiltInExtensionLists();
        EXPECT_EQ(audioExtensions(),
            list("mp3,wav,aiff,aifc,aac,au,audio cd,snd,m4a,m4b,m4p,caf,sd2,amr,audio.example.net,aif,wma,mpa,mid,"
                 "midi,mod,mp2,ra,adts,ogg,flac,wav,m4a"));
        EXPECT_EQ(imageExtensions(),
            list("icns,ICNS,eps,flc,fli,cel,fpx,gif,jp2,jpf,jpx,j2k,j2c,jpeg,jpg,pntg,mpo,exr,png,pict,pct,pic,qtif,"
                 "qti,hdr,sgi,tga,tif,tiff,bmp,ico,heic"));
        EXPECT_EQ(rawImageExtensions(),
            list("ai,dng,dae,fax,jpeg 2000,openexr,ps,psd,rad,raw,xbm,jpe,dib,pcx,wmf,emf,arw,braw,cr3,raf,r3d,tif,"
                 "eip,ari,rwl,rw2,crw,cr2,erf,3fr,mos,mef,mrw,nrw,nef,orf,pef,dng,srf,sr2,fff,dcr,iiq"));
        EXPECT_EQ(videoExtensions(),
            list("mpeg,mp4,divx,mov,avi,webm,dv,3gp,m4v,3gpp,3pp2,mpeg-2,mpeg-1,flv,wmx,hevc,wmv,vob,swf,mkv,nsv,"
                 "mpg,mpg-1,mpg-2,3gp2"));
        EXPECT_EQ(documentExtensions(),
            list("pdf,doc,docx,xls,ppt,odt,rtf,txt,pptx,htm,html,log,csv,dot,dotx,docm,dotm,xml,mht,dic,xlsx,msg,"
                 "mhtml,pps,xls,htm"));
        EXPECT_EQ(archiveExtensions(), list("zip,rar,7z,dmg,pkg,gz,cab,bz2,arc,tar,img,nrg,iso,adf"));
    }
    // "dng" stands twice in the raw list and once in the set.
    QStringList rawKeys(rawExtensionSet().begin(), rawExtensionSet().end());
    rawKeys.sort();
    QStringList expected = rawImageExtensions();
    expected.removeDuplicates();
    expected.sort();
    EXPECT_EQ(rawKeys, expected);
}

TEST_F(FileCategoriesTest, RowsBecomeLowerCaseTableKeysOfTheirCategory)
{
    FileCategoryTables tables;
    buildFileCategoryTables(filterRow("Document", "Document (*.pdf;*.DOCX;;*.audio cd;)", 1), true, tables);
    buildFileCategoryTables(filterRow("Custom", "Custom (*.xyz;)", 1), false, tables);
    // A label stored under another language still gives its first extension.
    buildFileCategoryTables(filterRow("Video", "Film (*.mov;*.mp4;)", 1), true, tables);
    EXPECT_EQ(tables.includeDocumentExtensions, (ExtensionTable { "pdf", "docx", "audio cd" }));
    EXPECT_EQ(tables.excludeCustomExtensions, ExtensionTable { "xyz" });
    EXPECT_EQ(tables.includeVideoExtensions, (ExtensionTable { "mov", "mp4" }));

    FileCategoryTables untouched;
    buildFileCategoryTables(allRow(1), true, untouched);
    buildFileCategoryTables(filterRow("Sound", "Sound (*.mp3;)", 1), true, untouched);
    buildFileCategoryTables(
        { { QStringLiteral("keyStr"), 5 }, { QStringLiteral("values"), "Music (*.mp3;)" } }, true, untouched);
    buildFileCategoryTables(
        { { QStringLiteral("keyStr"), "Music" }, { QStringLiteral("values"), QVariantList {} } }, true, untouched);
    EXPECT_EQ(untouched, FileCategoryTables {});
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
        filterRow("Music", "Music (*.mp3;)", 1), filterRow("Document", "Document (*.txt;)", "1") };
    FileCategoryTables expected;
    expected.includeMusicExtensions = { "mp3" };
    EXPECT_EQ(fileCategoryTablesFromLists(include, QVariant()), expected);
    EXPECT_EQ(fileCategoryTablesFromLists(QStringLiteral("Video (*.mov;)"), filterRow("Video", "Video (*.mov;)", 1)),
        FileCategoryTables {});
}

TEST_F(FileCategoriesTest, DefaultSettingsIncludeEverythingAndExcludeNothing)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path());
    fillBuiltInExtensionLists();
    registerDefaultSettings(defaults);
    const FileCategoryTables saved = fileCategoryTables();
    loadExtensionLists(defaults);
    const FileCategoryTables tables = fileCategoryTables();
    fileCategoryTables() = saved;

    QStringList documents = documentExtensions();
    documents.removeDuplicates();
    EXPECT_EQ(tables.includeDocumentExtensions, ExtensionTable(documents.begin(), documents.end()));
    EXPECT_TRUE(tables.includePictureExtensions.contains(QStringLiteral("arw")));
    EXPECT_TRUE(tables.includePictureExtensions.contains(QStringLiteral("icns")));
    EXPECT_TRUE(tables.includeMusicExtensions.contains(QStringLiteral("audio cd")));
    EXPECT_TRUE(tables.includeCustomExtensions.isEmpty());
    EXPECT_TRUE(tables.excludeDocumentExtensions.isEmpty() && tables.excludeVideoExtensions.isEmpty());
}

TEST(Categorizing, ExclusionFirstThenTheIncludeTablesInScanOrder)
{
    FileCategoryTables tables;
    tables.includeDocumentExtensions = { "a", "b", "c", "d", "e", "x" };
    tables.includeMusicExtensions = { "a", "b", "c", "d" };
    tables.includeArchiveExtensions = { "a", "b", "c" };
    tables.includePictureExtensions = { "a", "b" };
    tables.includeVideoExtensions = { "a" };
    tables.includeCustomExtensions = { "a", "b", "c", "d", "e", "f" };
    tables.excludeMusicExtensions = { "x" };
    const ScanSettingsSnapshot snapshot = snapshotWith(tables, true);

    const std::vector<std::pair<QString, std::optional<Category>>> expected { { "A", Category::Video },
        { "b", Category::Pic }, { "c", Category::Archive }, { "d", Category::Music }, { "e", Category::Doc },
        { "f", Category::Others }, { "unlisted", Category::Others }, { "x", std::nullopt } };
    for (const auto& [extension, category] : expected) {
        const ExtensionVerdict verdict = categorizeExtension(extension, snapshot);
        EXPECT_EQ(verdict.taken, category.has_value()) << extension.toStdString();
        EXPECT_EQ(verdict.category, category) << extension.toStdString();
    }
    const ExtensionVerdict withoutAll = categorizeExtension(QStringLiteral("unlisted"), snapshotWith(tables, false));
    EXPECT_FALSE(withoutAll.taken || withoutAll.category);
}

TEST(Categorizing, SwitchedOffCategoryRefusesButKeepsTheCategory)
{
    FileCategoryTables tables;
    tables.includePictureExtensions = { "png" };
    ScanSettingsSnapshot snapshot = snapshotWith(tables, true);
    snapshot.scanCategoryFlags[rawValue(Category::Pic)] = false;
    snapshot.scanCategoryFlags[rawValue(Category::Others)] = false;
    const ExtensionVerdict picture = categorizeExtension(QStringLiteral("png"), snapshot);
    EXPECT_FALSE(picture.taken);
    EXPECT_EQ(picture.category, Category::Pic);
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
    fillBuiltInExtensionLists();
    const ScanSettingsSnapshot snapshot = makeScanSettingsSnapshot();
    fileCategoryTables().includeVideoExtensions.clear();
    scanCategoryFlags[rawValue(Category::Video)] = false;

    EXPECT_TRUE(categorizeExtension(QStringLiteral("mov"), snapshot).taken);
    EXPECT_TRUE(snapshot.isAllFileTypesSelected);
    EXPECT_EQ(snapshot.dateFilterOption, 3);
    EXPECT_TRUE(snapshot.rawExtensionSet.contains(QStringLiteral("cr2")));

    fileCategoryTables() = savedTables;
    scanCategoryFlags = savedFlags;
    isAllFileTypesSelected = savedAll;
    dateFilterOption = savedOption;
}
