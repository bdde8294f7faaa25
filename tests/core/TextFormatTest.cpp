#include "core/TextFormat.h"

#include <gtest/gtest.h>

TEST(TextFormat, FillsPlaceholdersInOrder)
{
    EXPECT_EQ(formatText(QStringLiteral("%d files in %@"), {12, QStringLiteral("Photos")}),
              QStringLiteral("12 files in Photos"));
    EXPECT_EQ(formatText(QStringLiteral("%ld of %lld"), {quint64(1), qint64(-2)}), QStringLiteral("1 of -2"));
}

TEST(TextFormat, PositionalPlaceholdersPickTheirArgument)
{
    EXPECT_EQ(formatText(QStringLiteral("%2$@ has %1$d"), {3, QStringLiteral("Box")}), QStringLiteral("Box has 3"));
}

TEST(TextFormat, ArgumentTextIsNeverReadAsAFormat)
{
    EXPECT_EQ(formatText(QStringLiteral("%@ and %@"), {QStringLiteral("%d%@%n"), QStringLiteral("%s")}),
              QStringLiteral("%d%@%n and %s"));
}

TEST(TextFormat, PercentSignsAndUnknownSequences)
{
    EXPECT_EQ(formatText(QStringLiteral("100%% done"), {}), QStringLiteral("100% done"));
    EXPECT_EQ(formatText(QStringLiteral("%s %x %"), {1}), QStringLiteral("%s %x %"));
}

TEST(TextFormat, MissingArgumentsBecomeEmptyAndExtraOnesAreIgnored)
{
    EXPECT_EQ(formatText(QStringLiteral("[%d][%@]"), {7}), QStringLiteral("[7][]"));
    EXPECT_EQ(formatText(QStringLiteral("[%5$@][%0$d]"), {7}), QStringLiteral("[][]"));
    EXPECT_EQ(formatText(QStringLiteral("only"), {1, 2}), QStringLiteral("only"));
}
