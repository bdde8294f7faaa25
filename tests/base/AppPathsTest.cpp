#include "base/AppPaths.h"
#include "support/TempHome.h"

#include <QFile>
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

// Without XDG_RUNTIME_DIR the runtime folder stays below the user's own home,
// never in a folder every user may write to.
TEST(AppPaths, TheRuntimeFolderIsNeverASharedFolder)
{
    TempHome home;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path() + QStringLiteral("/run")));
    EXPECT_EQ(AppPaths::runtimeFolder(), home.path() + QStringLiteral("/run/Vellicor"));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(AppPaths::runtimeFolder().startsWith(home.path() + QLatin1Char('/')))
        << AppPaths::runtimeFolder().toStdString();
    qputenv("XDG_RUNTIME_DIR", "relative/run");
    EXPECT_TRUE(AppPaths::runtimeFolder().startsWith(home.path() + QLatin1Char('/')));
}
