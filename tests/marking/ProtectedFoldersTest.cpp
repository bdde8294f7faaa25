#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "marking/ProtectedFolderMatcher.h"
#include "marking/ProtectedFolderStore.h"
#include "marking/ResultsState.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProtectedFolderMatcher, ComparesFoldersLiterallyIgnoringCase)
{
    ProtectedFolderMatcher matcher;
    matcher.addFolder(QStringLiteral("/Users/a/Music"), true);
    matcher.addFolder(QStringLiteral("/Users/a/Docs/"), false);
    matcher.addFolder(QStringLiteral("/x/Pics (1)+.v2"), true);
    matcher.addFolder(QString(), true); // protects nothing, not the empty folder
    const std::pair<const char*, bool> cases[] = {
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
    for (const auto& [folder, isProtected] : cases)
        EXPECT_EQ(matcher.matches(QString::fromUtf8(folder)), isProtected) << folder;
}

TEST(ProtectedFolderStore, ReadsTheRecordSkippingBadEntriesAndKeepsTheListWhenTheRecordIsDamaged)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path());
    ProtectedFolderStore store(defaults);
    const QString key = QString::fromLatin1(SettingsKey::protectedFolders);
    const QVariantMap flagAsBool { { QStringLiteral("path"), QStringLiteral("/b") }, { QStringLiteral("state"), 0 },
        { QStringLiteral("includeSubFolders"), false } };
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

TEST(ProtectedFolderStore, ALoadedResultSetReadsACopyAndNeverRefillsTheSharedList)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path());
    auto store = std::make_shared<ProtectedFolderStore>(defaults);
    auto shown = std::make_shared<FilePathNode>();
    shown->filePath = QStringLiteral("/shown");
    store->arrProtectedPathsFinder = { shown };
    defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
        QVariantList { makeFolderEntry(QStringLiteral("/kept"), 1, 1) });

    ResultsState state(store);
    state.loadResultSet({}, 0, ScanSource::thisComputer);
    ASSERT_EQ(store->arrProtectedPathsFinder.size(), 1u);
    EXPECT_EQ(store->arrProtectedPathsFinder[0], shown);
    FileInfoNode inKept;
    inKept.folderPath = QStringLiteral("/kept/photos");
    EXPECT_TRUE(state.isFileProtected(inKept));
}
