#include "ListsFixture.h"
#include "base/AppPaths.h"
#include "home/CategorySwitches.h"
#include "home/LocationAdder.h"
#include "support/TreeBuilder.h"

#include <QDir>
#include <gtest/gtest.h>

#include <unistd.h>

TEST_F(ListsFixture, RestoresWhatStillExistsAndResavesWithoutTheRest)
{
    TreeBuilder tree;
    const QString kept = tree.folder(QStringLiteral("Kept"));
    const QString unticked = tree.folder(QStringLiteral("Unticked"));
    const QString library = tree.folder(QStringLiteral("Pics.photoslibrary"));
    const QString app = tree.folder(QStringLiteral("Tool.app"));
    const QString trashed = tree.folder(QStringLiteral("vol/.Trash-%1/files/x").arg(::getuid()));
    QDir().mkpath(AppPaths::dataHome() + QStringLiteral("/Trash/files/y"));
    defaults.setValue(QString::fromLatin1(SettingsKey::savedPaths),
        QVariantList { makeFolderEntry(kept), makeFolderEntry(unticked, 0, 0),
            makeFolderEntry(tree.path(QStringLiteral("Gone"))), makeFolderEntry(library), makeFolderEntry(app),
            makeFolderEntry(trashed), makeFolderEntry(AppPaths::dataHome() + QStringLiteral("/Trash/files/y")),
            makeFolderEntry(kept), QStringLiteral("junk") });

    lists.loadSavedScanList();
    ASSERT_EQ(scan().size(), 4u);
    EXPECT_EQ(*scan()[0]->filePath, kept);
    EXPECT_EQ(scan()[1]->state, 0);
    EXPECT_FALSE(scan()[1]->isIncludeSubFolders);
    EXPECT_EQ(*scan()[3]->filePath, app);
    EXPECT_TRUE(lists.isPhotosLibraryPathAdded());
    EXPECT_TRUE(lists.hasCheckedScanRow());
    EXPECT_EQ(saved(SettingsKey::savedPaths), (QStringList { kept, unticked, library, app }));
}

// A folder whose name ends like a package's is a folder the user chose:
// chosen in the panel or dropped, it is still listed at the next start.
TEST_F(ListsFixture, FoldersNamedLikePackagesComeBackAtTheNextStart)
{
    TreeBuilder tree;
    QStringList folders;
    for (const char* name : { "Work.app", "Kit.bundle", "Qt.framework", "Fx.plugin", "Notes.rtfd", "Trip.photolibrary",
             "Old.migratedphotolibrary" })
        folders << tree.folder(QString::fromLatin1(name));
    LocationAdder adder { lists };
    EXPECT_EQ(adder.addPanelPathsToScanList(folders.mid(0, 4)).added, 4);
    EXPECT_EQ(adder.handleFileDragDrop(folders.mid(4), HomeTab::include).added, 3);
    ASSERT_EQ(saved(SettingsKey::savedPaths), folders);

    // The next start: a new owner of the lists over the same settings.
    ScanSources next { defaults };
    LocationLists restored { next };
    restored.loadSavedScanList();
    QStringList listed;
    for (const FilePathNodePtr& row : next.scanList(ScanSource::thisComputer))
        listed << row->filePath.value_or(QString());
    EXPECT_EQ(listed, folders);
    EXPECT_EQ(saved(SettingsKey::savedPaths), folders);
}

TEST_F(ListsFixture, ScanListCoversEntriesAndTheirAncestorsByWholeComponents)
{
    lists.addPathToScanList(QStringLiteral("/home/a/Pictures"));
    const std::pair<const char*, bool> cases[] = {
        { "/home/a/Pictures", true },
        { "/home/a", true },
        { "/home/a/", true },
        { "/", true },
        { "/home/a/Pictures/x", false },
        { "/home/a/Pic", false },
        { "/home/a/pictures", false },
        { "/home/ab", false },
    };
    for (const auto& [path, covered] : cases)
        EXPECT_EQ(lists.isPathInScanList(QString::fromUtf8(path)), covered) << path;
}

TEST(TrashTest, KnowsEveryTrashFolderByWholeComponents)
{
    const QString uid = QString::number(::getuid());
    const QString data = AppPaths::dataHome();
    const std::pair<QString, bool> cases[] = {
        { data + QStringLiteral("/Trash/files/a"), true },
        { data + QStringLiteral("/Trash"), true },
        { data + QStringLiteral("/Trashy/files"), false },
        { QStringLiteral("/media/usb/.Trash/") + uid + QStringLiteral("/files/a"), true },
        { QStringLiteral("/media/usb/.Trash/") + uid + QStringLiteral("0/files"), false },
        { QStringLiteral("/media/usb/.Trash-") + uid + QStringLiteral("/files/a"), true },
        { QStringLiteral("/media/usb/.Trash-") + uid + QStringLiteral("x"), false },
        { QStringLiteral("/home/a/Trash/files"), false },
    };
    for (const auto& [path, inTrash] : cases)
        EXPECT_EQ(isInTrash(path), inTrash) << path.toStdString();
}

TEST_F(ListsFixture, TheDriveSourceLeavesTheSavedScanListAlone)
{
    lists.addPathToScanList(QStringLiteral("/a"));
    lists.savePathsBookmark();
    selectedScanSource() = ScanSource::googleDrive;
    lists.addPathToScanList(QStringLiteral("/b"));
    lists.savePathsBookmark();
    EXPECT_EQ(saved(SettingsKey::savedPaths), QStringList { QStringLiteral("/a") });
    EXPECT_EQ(sources.scanList(ScanSource::googleDrive).size(), 1u);
}

TEST_F(ListsFixture, RemovingScanRows)
{
    lists.addPathToScanList(QStringLiteral("/x/Lib.photoslibrary"));
    lists.addPathToScanList(QStringLiteral("/x/Docs"));

    EXPECT_FALSE(lists.removeScanRow(2));
    EXPECT_FALSE(lists.removeScanRow(-1));
    ASSERT_TRUE(lists.removeScanRow(0));
    EXPECT_FALSE(lists.isPhotosLibraryPathAdded());
    EXPECT_FALSE(lists.isInScanListExactly(QStringLiteral("/x/Lib.photoslibrary")));
    EXPECT_EQ(saved(SettingsKey::savedPaths), QStringList { QStringLiteral("/x/Docs") });

    ASSERT_TRUE(lists.removeScanRow(0));
    EXPECT_FALSE(lists.hasScanRow());
    EXPECT_FALSE(lists.removeScanRow(0)); // a second quick click
    EXPECT_TRUE(saved(SettingsKey::savedPaths).isEmpty());
}

TEST_F(ListsFixture, RemovingExcludeAndProtectRowsSavesOnlyThisComputersLists)
{
    append(ScanSource::thisComputer, SourceList::exclude, QStringLiteral("/e1"));
    append(ScanSource::thisComputer, SourceList::exclude, QStringLiteral("/e2"));
    append(ScanSource::thisComputer, SourceList::protect, QStringLiteral("/p1"));
    ASSERT_TRUE(lists.removeExcludeRow(0));
    ASSERT_TRUE(lists.removeProtectRow(0));
    const auto stored = [&](const char* key) { return defaults.object(QString::fromLatin1(key)).toList().size(); };
    EXPECT_EQ(stored(SettingsKey::excludedFolders), 1);
    EXPECT_EQ(stored(SettingsKey::protectedFolders), 0);

    selectedScanSource() = ScanSource::googleDrive;
    append(ScanSource::googleDrive, SourceList::exclude, QStringLiteral("/d"));
    EXPECT_FALSE(lists.removeExcludeRow(1));
    ASSERT_TRUE(lists.removeExcludeRow(0));
    EXPECT_TRUE(sources.excludeList(ScanSource::googleDrive).empty());
    EXPECT_EQ(excludeFinder().size(), 1u);
    EXPECT_EQ(stored(SettingsKey::excludedFolders), 1);
}

TEST(CategorySwitchesTest, AllFilesCustomScanAndTheSixSwitches)
{
    using C = GlobalObjects::FileCategory;
    CategorySwitches switches;
    const C order[] = { C::Doc, C::Pic, C::Music, C::Video, C::Archive, C::Others };

    switches.allFilesAndCustomScanOptsTapped(CategorySwitches::customScanTag);
    EXPECT_TRUE(switches.customScanOn());
    for (C category : order) {
        EXPECT_FALSE(switches.allFilesOn());
        switches.btnFileFormatsTapped(CategorySwitches::tagOfCategory(category));
        EXPECT_TRUE(switches.categoryOn(category));
    }
    EXPECT_TRUE(switches.allFilesOn());
    EXPECT_FALSE(switches.customScanOn());

    switches.btnFileFormatsTapped(CategorySwitches::tagOfCategory(C::Music));
    EXPECT_FALSE(switches.allFilesOn());
    EXPECT_TRUE(switches.customScanOn());
    for (C category : order)
        EXPECT_EQ(switches.categoryOn(category), category != C::Music);

    switches.allFilesAndCustomScanOptsTapped(CategorySwitches::allFilesTag);
    EXPECT_TRUE(switches.categoryOn(C::Music));
}

TEST_F(ListsFixture, ScanNowFollowsTickedRowsOrAnyRow)
{
    lists.addPathToScanList(QStringLiteral("/a"))->state = 0;
    EXPECT_FALSE(lists.hasCheckedScanRow());
    EXPECT_TRUE(lists.hasScanRow());
}
