#include "scan/ScanSources.h"
#include "base/UserDefaults.h"
#include "core/AppNotifier.h"
#include "core/SettingsSchema.h"
#include "scan/ScanWrapper.h"
#include "support/PathRows.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Sources : ::testing::Test {
    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };

    QStringList stored(const char* key) const { return storedPaths(defaults, key); }
};

} // namespace

TEST_F(Sources, StoredListsSkipBadEntriesAndADamagedRecordKeepsTheList)
{
    const QString key = QString::fromLatin1(SettingsKey::protectedFolders);
    const QVariantMap flagAsBool { { QStringLiteral("path"), QStringLiteral("/b") }, { QStringLiteral("state"), 0 },
        { QStringLiteral("includeSubFolders"), false } };
    defaults.setValue(key,
        QVariantList { makeFolderEntry(QStringLiteral("/a"), 1, 0), QStringLiteral("junk"),
            QVariantMap { { QStringLiteral("state"), 1 } }, flagAsBool });
    ScanSources sources(defaults);
    const ScanSources::Rows& list = sources.protectList(ScanSource::thisComputer);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_FALSE(list[0]->isIncludeSubFolders);
    EXPECT_FALSE(list[1]->isIncludeSubFolders);
    EXPECT_EQ(list[1]->state, 0);

    defaults.setValue(key, QStringLiteral("not a list"));
    EXPECT_FALSE(sources.reloadStored(SourceList::protect));
    EXPECT_EQ(sources.protectList(ScanSource::thisComputer).size(), 2u);
}

TEST_F(Sources, EveryEditIsToldOnceAndOnlyThisComputersListsAreStored)
{
    ScanSources sources(defaults);
    QSignalSpy told(&sources, &ScanSources::listChanged);
    sources.edit(ScanSource::thisComputer, SourceList::exclude, [](auto& rows) { rows.push_back(pathRow("/skip")); });
    sources.edit(ScanSource::dropbox, SourceList::exclude, [](auto& rows) { rows.push_back(pathRow("/Cloud")); });
    sources.replace(ScanSource::thisComputer, SourceList::scan, { pathRow("/scan") });
    ASSERT_EQ(told.size(), 3);
    EXPECT_EQ(told[1].at(0).value<ScanSource>(), ScanSource::dropbox);
    EXPECT_EQ(stored(SettingsKey::excludedFolders), QStringList { "/skip" });
    EXPECT_EQ(stored(SettingsKey::savedPaths), QStringList { "/scan" });
    EXPECT_EQ(sources.excludeList(ScanSource::oneDrive).size(), 0u);

    // A row edited in place is stored by an empty edit.
    sources.scanList(ScanSource::thisComputer)[0]->state = 0;
    sources.edit(ScanSource::thisComputer, SourceList::scan, nullptr);
    EXPECT_EQ(defaults.object(QLatin1String(SettingsKey::savedPaths)).toList()[0].toMap().value("state").toInt(), 0);

    // A reset of the preferences: the stored exclusions are the list again.
    defaults.setValue(QLatin1String(SettingsKey::excludedFolders), QVariantList { makeFolderEntry("/reset") });
    emit AppNotifier::instance().PreferencesResetToDefaults();
    ASSERT_EQ(sources.excludeList(ScanSource::thisComputer).size(), 1u);
    EXPECT_EQ(sources.excludeList(ScanSource::thisComputer)[0]->filePath, QStringLiteral("/reset"));
}

TEST_F(Sources, TheRequestCopiesTheSourcesListsAndPicksTheCloudFolders)
{
    ScanSources sources(defaults);
    const auto cloudRow = [](const QString& path, int state) {
        FilePathNodePtr node = pathRow(path, state);
        node->cloudFolder = std::make_shared<CloudScanFoldersList>();
        node->cloudFolder->folderPath = path;
        node->isIncludeSubFolders = false;
        return node;
    };
    sources.replace(ScanSource::dropbox, SourceList::scan,
        { cloudRow("/Photos", 1), cloudRow("/Off", 0), cloudRow("/old/trip", 1), pathRow("/no folder") });
    sources.replace(ScanSource::dropbox, SourceList::exclude, { pathRow("/Old") });
    const ScanRequest request = sources.makeScanRequest(ScanSource::dropbox);

    EXPECT_EQ(request.rows.size(), 4u);
    ASSERT_EQ(request.cloudFolders.size(), 1u);
    EXPECT_EQ(request.cloudFolders[0]->folderPath, QStringLiteral("/Photos"));
    EXPECT_FALSE(request.cloudFolders[0]->isIncludeSubFolders);
    ASSERT_TRUE(request.cloudExclusion.has_value());
    EXPECT_TRUE(request.cloudExclusion->evaluateWithObject(QStringLiteral("/old/trip/x")));
    // Edits after Scan Now never reach the scan's copies.
    sources.replace(ScanSource::dropbox, SourceList::scan, {});
    EXPECT_EQ(request.rows.size(), 4u);
}

TEST_F(Sources, AStoredDateOptionOutOfRangeIsNoDateFilter)
{
    ScanSources sources(defaults);
    const QString key = QString::fromLatin1(SettingsKey::scanFilesDate);
    // 2^32 + 2 would narrow to option 2, the created-date filter.
    for (const qlonglong stored : { 4294967298ll, -1ll, 0ll, 4ll }) {
        defaults.setValue(key, QVariant::fromValue(stored));
        EXPECT_EQ(sources.makeScanRequest(ScanSource::thisComputer).filters.dateFilterOption, 1) << stored;
    }
    defaults.setValue(key, QVariant::fromValue(3ll));
    EXPECT_EQ(sources.makeScanRequest(ScanSource::thisComputer).filters.dateFilterOption, 3);
}
