#include "scan/ScanCounters.h"

#include <gtest/gtest.h>

TEST(ScanCounters, ResetZeroesEveryCounter)
{
    ScanCounters counters;
    counters.countScanned = 3;
    counters.sizeDup = 40;
    counters.totSizeScanned = 9;
    counters.reset();
    const auto s = counters.snapshot();
    EXPECT_EQ(s.countScanned, 0);
    EXPECT_EQ(s.sizeDup, 0u);
    EXPECT_EQ(s.totSizeScanned, 0u);
}
