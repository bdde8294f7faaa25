#include "support/ChildProcess.h"
#include "support/MemoryBound.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

// A child that takes memory without end is ended at its bound, in the
// ordinary build and under the run-time checkers, never by the machine
// running out of memory.
TEST(BoundedChild, ARunAwayAllocationEndsAtTheBound)
{
    constexpr qint64 extra = 256ll << 20;
    constexpr qint64 block = 32ll << 20;
    const BoundedRun run = runBoundedChild(
        [] {
            std::vector<std::unique_ptr<char[]>> held;
            volatile char seen = 0;
            for (qint64 taken = 0; taken < 2 * scaledMemoryBound(extra); taken += block) {
                held.emplace_back(new char[block]);
                std::memset(held.back().get(), 1, block);
                seen = seen + held.back()[block - 1];
            }
            return seen == 0 ? 1 : 0;
        },
        60'000, extra);
    EXPECT_FALSE(run.pastDeadline);
    EXPECT_NE(run.exitCode, 0);
#if defined(VELLICOR_RUN_TIME_CHECKER)
    EXPECT_TRUE(run.pastMemoryBound);
#else
    // The allocation past the bound was refused.
    EXPECT_EQ(run.exitCode, 125);
    EXPECT_LT(run.peakGrowthBytes, extra);
#endif
}
