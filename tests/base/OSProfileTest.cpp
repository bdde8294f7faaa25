#include "base/OSProfile.h"

#include <gtest/gtest.h>

namespace {
OSVersionFlags flagsOf(int major, int minor) { return osVersionFlagsFor({major, minor, 0}); }
} // namespace

TEST(OSVersionFlagTable, OlderReleasesSetOnlyTheirOwnFlags)
{
    OSVersionFlags elevenCompat;
    elevenCompat.osIs11OrLater = true;
    EXPECT_EQ(flagsOf(10, 16), elevenCompat);

    OSVersionFlags before;
    before.osIsBefore10_15 = true;
    EXPECT_EQ(flagsOf(10, 13), before);

    OSVersionFlags elCapitanLike;
    elCapitanLike.osIs10_11 = true;
    elCapitanLike.osIsBefore10_15 = true;
    EXPECT_EQ(flagsOf(10, 11), elCapitanLike);

    OSVersionFlags fifteen;
    fifteen.osIs10_15 = true;
    EXPECT_EQ(flagsOf(10, 15), fifteen);
}

TEST(OSVersionFlagTable, NewerReleasesAccumulate)
{
    EXPECT_TRUE(flagsOf(11, 7).osIs11OrLater);
    EXPECT_FALSE(flagsOf(11, 7).osIs12OrLater);
    EXPECT_TRUE(flagsOf(12, 0).osIs12OrLater);
    EXPECT_FALSE(flagsOf(12, 0).osIs13OrLater);
    const OSVersionFlags fourteen = flagsOf(14, 2);
    EXPECT_TRUE(fourteen.osIs11OrLater && fourteen.osIs12OrLater && fourteen.osIs13OrLater);
    EXPECT_FALSE(fourteen.osIsBefore10_15 || fourteen.osIs10_15 || fourteen.osIs10_11);
}
