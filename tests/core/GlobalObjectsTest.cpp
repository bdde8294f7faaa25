#include "core/GlobalObjects.h"

#include <gtest/gtest.h>

#include <barrier>
#include <thread>

TEST(AppWideState, LazyValuesAreCreatedOnceWhenTwoThreadsArriveTogether)
{
    std::barrier start(2);
    QString* seen[2] = {};
    QString values[2];
    const auto ask = [&](int i) {
        start.arrive_and_wait();
        seen[i] = &markedPhotosAlbumName();
        values[i] = *seen[i];
    };
    std::thread first(ask, 0);
    std::thread second(ask, 1);
    first.join();
    second.join();
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(values[0], values[1]);
    EXPECT_FALSE(values[0].isEmpty());
}
