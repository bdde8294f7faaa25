#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "marking/ProtectedFolderMatcher.h"
#include "marking/ProtectedFolderStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProtectedFolderMatcher, ComparesFoldersLiterallyIgnoringCase)
{
    ProtectedFolderMatcher matcher;
    matcher.addFolder(QStringLiteral("/Users/a/Music"), true);
    matcher.addFolder(QStringLiteral("/Users/a/Docs/"), false);
    matcher.addFolder(QStringLiteral("/x/Pics (1)+.v2"), true);
    matcher.addFolder(QString(), true); // protects nothing, not the empty folder
    const struct {
        const char* folder;
        bool isProtected;
    } cases[] = {
        { "/Users/a/Music", true },
        { "/users/A/music/2019/May", true },
        { "/Users/a/Music2", false },
        { "/Users/a", false },
        { "/USERS/A/DOCS", true },
        { "/Users/a/Docs/old", false },
        { "/x/pics (1)+.v2/sub", true },
        { "/x/Pics 1+.v2", false },
        { "/x/PicsX(1)+.v2", false },
        { "/Users/a/Music/one\ntwo", true },
        { "", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(matcher.matches(QString::fromUtf8(c.folder)), c.isProtected) << c.folder;
}

TEST(ProtectedFolderMatcher, DriveRowsUseTheDriveFolderAndUncheckedRowsProtect)
{
    auto row = std::make_shared<FilePathNode>();
    row->filePath = QStringLiteral("/local");
    row->state = 0;
    row->gdFolder = std::make_shared<GDFoldersList>();
    row->gdFolder->folderAbsPath = QStringLiteral("/My Drive/Keep");
    const auto drive = ProtectedFolderMatcher::fromList({ row }, ScanSource::googleDrive);
    EXPECT_TRUE(drive.matches(QStringLiteral("/My Drive/Keep/a")));
    EXPECT_FALSE(drive.matches(QStringLiteral("/local")));
    EXPECT_TRUE(ProtectedFolderMatcher::fromList({ row }, ScanSource::dropbox).matches(QStringLiteral("/local")));
}

TEST(ProtectedFolderStore, ReadsTheRecordSkippingBadEntriesAndKeepsTheListWhenTheRecordIsDamaged)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path());
    ProtectedFolderStore store(defaults);
    const QString key = QString::fromLatin1(SettingsKey::protectedFolders);
    QVariantMap flagAsBool = makeFolderEntry(QStringLiteral("/b"), 0);
    flagAsBool[QStringLiteral("includeSubFolders")] = false;
    defaults.setValue(key,
        QVariantList { makeFolderEntry(QStringLiteral("/a"), 1, 0), QStringLiteral("junk"),
            QVariantMap { { QStringLiteral("state"), 1 } }, flagAsBool });
    ASSERT_TRUE(store.loadThisComputerList());
    ASSERT_EQ(store.arrProtectedPathsFinder.size(), 2u);
    EXPECT_FALSE(store.arrProtectedPathsFinder[0]->isIncludeSubFolders);
    EXPECT_FALSE(store.arrProtectedPathsFinder[1]->isIncludeSubFolders);
    EXPECT_EQ(store.arrProtectedPathsFinder[1]->state, 0);

    ASSERT_TRUE(store.saveProtectedFolders());
    EXPECT_EQ(defaults.arrayValue(key)->size(), 2);

    defaults.setValue(key, QStringLiteral("not a list"));
    EXPECT_FALSE(store.loadThisComputerList());
    EXPECT_EQ(store.arrProtectedPathsFinder.size(), 2u);
}
