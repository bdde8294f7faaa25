#include "core/PathSet.h"

#include <gtest/gtest.h>

// A folder holds a path by whole components, however the two are spelled
// (trailing or doubled slashes, "."), and the whole file system holds every
// path; exact repeats are told apart by letter case unless asked not to.
TEST(PathSet, AFolderHoldsItsPathsByWholeComponents)
{
    PathSet paths;
    for (const char* path : { "/data/Scanned/s00001", "/data/Scanned/s00002/", "/srv//photos/./2024", "relative/x" })
        paths.insert(QString::fromLatin1(path));
    paths.insert(QString());
    const std::pair<const char*, bool> folders[] = {
        { "/data/Scanned/s00001", true },
        { "/data/Scanned/s00001/", true },
        { "/data/Scanned", true },
        { "/data", true },
        { "/", true },
        { "/data/Scanned/s0000", false },
        { "/data/Scanned/s00001/deeper", false },
        { "/data/Scanned/s00002", true },
        { "/srv/photos/2024", true },
        { "/srv/photos", true },
        { "/srv/photo", false },
        { "/DATA", false },
        { "relative", true },
        { "", false },
    };
    for (const auto& [folder, held] : folders)
        EXPECT_EQ(paths.holdsSameOrBelow(QString::fromLatin1(folder)), held) << folder;
    EXPECT_TRUE(paths.contains(QStringLiteral("/data/Scanned/s00002/")));
    EXPECT_FALSE(paths.contains(QStringLiteral("/data/Scanned/s00002")));
    EXPECT_FALSE(paths.contains(QStringLiteral("/Data/Scanned/s00001")));
    EXPECT_FALSE(paths.contains(QString()));

    // Added after a question, a path is found by the next one.
    paths.insert(QStringLiteral("/later/one"));
    EXPECT_TRUE(paths.holdsSameOrBelow(QStringLiteral("/later")));

    PathSet anyCase(PathSet::LetterCase::ignored);
    anyCase.insert(QStringLiteral("/A/BC"));
    EXPECT_TRUE(anyCase.holdsSameOrBelow(QStringLiteral("/a")));
    EXPECT_TRUE(anyCase.contains(QStringLiteral("/a/bc")));
    EXPECT_FALSE(anyCase.holdsSameOrBelow(QStringLiteral("/a/b")));

    EXPECT_FALSE(PathSet().holdsSameOrBelow(QStringLiteral("/")));
}
