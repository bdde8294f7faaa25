#include "base/AppPaths.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

TEST(AppPaths, FollowTheXdgVariablesOrFallBackBelowHome)
{
    TempHome home;
    EXPECT_EQ(AppPaths::settingsFolder(), home.configHome() + QStringLiteral("/Vellicor"));
    EXPECT_EQ(AppPaths::cacheDatabaseFile(), home.cacheHome() + QStringLiteral("/Vellicor/Vellicor.db"));
    EXPECT_EQ(AppPaths::logFile(), home.stateHome() + QStringLiteral("/Vellicor/vellicor.log"));
    EXPECT_EQ(AppPaths::dataFolder(), home.dataHome() + QStringLiteral("/Vellicor"));

    // Below HOME when a variable is unset or relative.
    qunsetenv("XDG_CACHE_HOME");
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(AppPaths::cacheFolder(), home.path() + QStringLiteral("/.cache/Vellicor"));
    EXPECT_EQ(AppPaths::stateFolder(), home.path() + QStringLiteral("/.local/state/Vellicor"));
}
