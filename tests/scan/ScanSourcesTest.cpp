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

// Two running copies over one settings file (one started by the desktop, one
// from a shell): neither copy's save drops what the other stored meanwhile,
// and each copy's list shows the other's change after its own save.
TEST_F(Sources, AListSaveKeepsWhatAnotherCopyStoredMeanwhile)
{
    UserDefaults otherDefaults { folder.path() };
    ScanSources first(defaults);
    ScanSources second(otherDefaults);
    const auto paths = [](const ScanSources& sources) {
        QStringList out;
        for (const FilePathNodePtr& row : sources.protectList(ScanSource::thisComputer))
            out.append(*row->filePath);
        return out;
    };
    // What the file holds now, read by a store of its own.
    const auto inFile = [this] { return storedPaths(UserDefaults(folder.path()), SettingsKey::protectedFolders); };
    const auto add = [](ScanSources& sources, const char* path) {
        return sources.edit(
            ScanSource::thisComputer, SourceList::protect, [path](auto& rows) { rows.push_back(pathRow(path)); });
    };

    ASSERT_TRUE(add(first, "/Photos"));
    ASSERT_TRUE(add(second, "/Taxes"));
    EXPECT_EQ(inFile(), (QStringList { "/Taxes", "/Photos" }));
    EXPECT_EQ(paths(second), (QStringList { "/Taxes", "/Photos" }));

    // The first copy never heard of /Taxes; its next save keeps it all the
    // same, and its list now shows it.
    ASSERT_TRUE(add(first, "/Work"));
    EXPECT_EQ(inFile(), (QStringList { "/Photos", "/Work", "/Taxes" }));
    EXPECT_EQ(paths(first), (QStringList { "/Photos", "/Work", "/Taxes" }));

    // A removal made in one copy stands against the other's older list; a
    // folder the other copy changed keeps that change.
    second.edit(ScanSource::thisComputer, SourceList::protect, [](auto& rows) {
        rows.erase(rows.begin() + 1);
        rows.front()->isIncludeSubFolders = false;
    });
    ASSERT_EQ(inFile(), (QStringList { "/Taxes", "/Work" }));
    ASSERT_TRUE(add(first, "/Music"));
    EXPECT_EQ(inFile(), (QStringList { "/Work", "/Taxes", "/Music" }));
    EXPECT_EQ(paths(first), (QStringList { "/Work", "/Taxes", "/Music" }));
    const auto entries = first.storedEntries(SourceList::protect);
    ASSERT_TRUE(entries && entries->size() == 3);
    EXPECT_FALSE(entries->at(1).includeSubFolders);
    EXPECT_FALSE(first.protectList(ScanSource::thisComputer)[1]->isIncludeSubFolders);
}

// A list never grows past its bound, whatever source and list; one an
// earlier version stored past it is read whole, and may shrink but not grow.
TEST_F(Sources, AListPastItsBoundIsRefusedButOneStoredPastItStillShrinks)
{
    const auto rows = [](int count, const QString& stem) {
        ScanSources::Rows made;
        for (int i = 0; i < count; ++i)
            made.push_back(pathRow(stem + QString::number(i)));
        return made;
    };
    QVariantList earlier;
    for (int i = 0; i < 10050; ++i)
        earlier.append(makeFolderEntry(QStringLiteral("/old/%1").arg(i)));
    defaults.setValue(QLatin1String(SettingsKey::protectedFolders), earlier);
    ScanSources sources(defaults);
    QSignalSpy tooLong(&sources, &ScanSources::listTooLong);
    QSignalSpy changed(&sources, &ScanSources::listChanged);

    EXPECT_TRUE(sources.replace(ScanSource::thisComputer, SourceList::scan, rows(10000, "/a/")));
    EXPECT_FALSE(sources.edit(
        ScanSource::thisComputer, SourceList::scan, [](auto& list) { list.push_back(pathRow("/one more")); }));
    EXPECT_FALSE(sources.replace(ScanSource::dropbox, SourceList::exclude, rows(10001, "/Cloud/")));
    ASSERT_EQ(tooLong.size(), 2);
    EXPECT_EQ(tooLong[0].at(1).value<SourceList>(), SourceList::scan);
    EXPECT_EQ(tooLong[0].at(2).toInt(), 10000);
    EXPECT_EQ(tooLong[1].at(0).value<ScanSource>(), ScanSource::dropbox);
    EXPECT_EQ(changed.size(), 1) << "a refused change tells no screen to redraw";
    EXPECT_EQ(sources.scanList(ScanSource::thisComputer).size(), 10000u);
    EXPECT_EQ(stored(SettingsKey::savedPaths).size(), 10000);
    EXPECT_TRUE(sources.excludeList(ScanSource::dropbox).empty());

    ASSERT_EQ(sources.protectList(ScanSource::thisComputer).size(), 10050u);
    EXPECT_TRUE(sources.edit(ScanSource::thisComputer, SourceList::protect, [](auto& list) { list.pop_back(); }));
    EXPECT_EQ(stored(SettingsKey::protectedFolders).size(), 10049);
    EXPECT_FALSE(sources.edit(ScanSource::thisComputer, SourceList::protect,
        [](auto& list) { list.push_back(pathRow("/new")), list.push_back(pathRow("/newer")); }));
    EXPECT_EQ(tooLong.size(), 3);
}
