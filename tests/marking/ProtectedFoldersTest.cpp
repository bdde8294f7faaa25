#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "marking/ProtectedFolderMatcher.h"
#include "marking/ResultsState.h"
#include "scan/ScanSources.h"

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

TEST(ProtectedFolders, ALoadedResultSetReadsACopyAndNeverRefillsTheSharedList)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path());
    auto store = std::make_shared<ScanSources>(defaults);
    auto shown = std::make_shared<FilePathNode>();
    shown->filePath = QStringLiteral("/shown");
    store->replace(ScanSource::thisComputer, SourceList::protect, { shown }, ScanSources::Store::no);
    defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
        QVariantList { makeFolderEntry(QStringLiteral("/kept"), 1, 1) });

    ResultsState state(store);
    state.loadResultSet({}, 0, ScanSource::thisComputer);
    ASSERT_EQ(store->protectList(ScanSource::thisComputer).size(), 1u);
    EXPECT_EQ(store->protectList(ScanSource::thisComputer)[0], shown);
    FileInfoNode inKept;
    inKept.folderPath = QStringLiteral("/kept/photos");
    EXPECT_TRUE(state.isFileProtected(inKept));
}
