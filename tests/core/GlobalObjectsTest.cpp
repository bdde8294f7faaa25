#include "core/GlobalObjects.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <barrier>
#include <thread>

TEST(AppWideState, LazyValuesAreCreatedOnceWhenTwoThreadsArriveTogether)
{
    std::barrier start(2);
    QDateTime* seen[2] = {};
    QDateTime values[2];
    const auto ask = [&](int i) {
        start.arrive_and_wait();
        seen[i] = &createdDateFilter();
        values[i] = *seen[i];
    };
    std::thread first(ask, 0);
    std::thread second(ask, 1);
    first.join();
    second.join();
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(values[0], values[1]);
    EXPECT_TRUE(values[0].isValid());
}

TEST(OSVersionFlags, FixedProfileTurnsOnTheNewestFlagsAndLogsTheVersion)
{
    TempHome home;
    QDir().mkpath(home.stateHome() + QStringLiteral("/Vellicor"));
    setOSVersionFlags();
    EXPECT_TRUE(osIs11OrLater && osIs12OrLater && osIs13OrLater);
    EXPECT_FALSE(osIsBefore10_15);
    QFile log(home.stateHome() + QStringLiteral("/Vellicor/vellicor.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(),
        QByteArray("osVersion: OperatingSystemVersion(majorVersion: 13, minorVersion: 0, patchVersion: 0)\n"));
}
