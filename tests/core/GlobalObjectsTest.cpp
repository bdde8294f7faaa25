#include <QFile>
#include <QDir>
#include "support/TempHome.h"
#include "core/GlobalObjects.h"

#include <gtest/gtest.h>

using GO = GlobalObjects;

TEST(RawValues, ConvertInsideTheirRange)
{
    EXPECT_EQ(enumFromRaw<GO::KeepFile>(2), GO::KeepFile::keepNewestFile);
    EXPECT_EQ(enumFromRaw<GO::SortOrder>(1), GO::SortOrder::sortDescending);
    EXPECT_EQ(enumFromRaw<GO::SortType>(4), GO::SortType::sortBySelected);
    EXPECT_EQ(enumFromRaw<GO::ScanContent>(1), GO::ScanContent::sameContent);
    EXPECT_EQ(enumFromRaw<GO::ScanContent>(2), GO::ScanContent::ignoreContent);
    EXPECT_EQ(enumFromRaw<GO::FileCategory>(0), GO::FileCategory::Doc);
    EXPECT_EQ(enumFromRaw<GO::FileCategory>(5), GO::FileCategory::Others);
    EXPECT_EQ(rawValue(GO::FileCategory::Video), 3);
}

TEST(RawValues, OutOfRangeGivesNoCase)
{
    EXPECT_FALSE(enumFromRaw<GO::ScanContent>(0));
    EXPECT_FALSE(enumFromRaw<GO::ScanContent>(3));
    EXPECT_FALSE(enumFromRaw<GO::SortType>(5));
    EXPECT_FALSE(enumFromRaw<GO::FileCategory>(6));
    EXPECT_FALSE(enumFromRaw<GO::FileCategory>(-1));
    EXPECT_FALSE(enumFromRaw<GO::KeepFile>(3));
    EXPECT_FALSE(enumFromRaw<GO::SortOrder>(2));
    EXPECT_FALSE(scanSourceFromRaw(7));
    EXPECT_FALSE(scanSourceFromRaw(-1));
    EXPECT_EQ(scanSourceFromRaw(5), ScanSource::lightroomCatalog);
}

TEST(AppWideState, StartsWithItsInitialValues)
{
    EXPECT_EQ(selectedScanSource().load(), ScanSource::thisComputer);
    EXPECT_FALSE(isScanRunning.load());
    EXPECT_FALSE(isAbortScan.load());
    EXPECT_EQ(currentLanguageCode, QStringLiteral("en"));
    EXPECT_TRUE(isEnglishLanguage);
    EXPECT_EQ(markedPhotosAlbumName(), QStringLiteral("Duplicate Marked Photos"));
    EXPECT_EQ(dateFilterOption, 1);
    EXPECT_TRUE(lastScanResultGroups().empty());
    for (bool flag : scanCategoryFlags)
        EXPECT_FALSE(flag);
}

TEST(AppWideState, LazyValuesAreCreatedOnce)
{
    const QDateTime first = createdDateFilter();
    EXPECT_TRUE(first.isValid());
    EXPECT_EQ(&createdDateFilter(), &createdDateFilter());
    EXPECT_EQ(createdDateFilter(), first);
    folderPriorityList().append(QStringLiteral("/a"));
    EXPECT_EQ(folderPriorityList(), QStringList{QStringLiteral("/a")});
    folderPriorityList().clear();
}

TEST(OSVersionFlags, FixedProfileTurnsOnTheNewestFlagsAndLogsTheVersion)
{
    TempHome home;
    QDir().mkpath(home.stateHome() + QStringLiteral("/Vellicor"));
    setOSVersionFlags();
    EXPECT_TRUE(osIs11OrLater);
    EXPECT_TRUE(osIs12OrLater);
    EXPECT_TRUE(osIs13OrLater);
    EXPECT_FALSE(osIsBefore10_15);

    QFile log(home.stateHome() + QStringLiteral("/Vellicor/vellicor.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(),
              QByteArray("osVersion: OperatingSystemVersion(majorVersion: 13, minorVersion: 0, patchVersion: 0)\n"));
}
