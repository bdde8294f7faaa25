#include "base/OSProfile.h"

#include <gtest/gtest.h>

TEST(OSVersionFlagTable, EachReleaseSetsItsOwnFlagsAndNewerOnesAccumulate)
{
    // The flags in declaration order: 10.11, before 10.15, 10.15, 11+, 12+, 13+.
    const std::pair<OperatingSystemVersion, OSVersionFlags> table[]
        = { { { 10, 11, 0 }, { true, true, false, false, false, false } },
              { { 10, 13, 0 }, { false, true, false, false, false, false } },
              { { 10, 15, 0 }, { false, false, true, false, false, false } },
              { { 10, 16, 0 }, { false, false, false, true, false, false } },
              { { 11, 7, 0 }, { false, false, false, true, false, false } },
              { { 12, 0, 0 }, { false, false, false, true, true, false } },
              { { 14, 2, 0 }, { false, false, false, true, true, true } } };
    for (const auto& [version, flags] : table)
        EXPECT_EQ(osVersionFlagsFor(version), flags) << version.majorVersion << "." << version.minorVersion;
}
