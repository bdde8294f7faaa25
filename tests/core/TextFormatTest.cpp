#include "core/TextFormat.h"

#include <gtest/gtest.h>

TEST(TextFormat, FillsPlaceholdersAndNeverReadsAnArgumentAsAFormat)
{
    const std::pair<QString, const char*> table[]
        = { { formatText(QStringLiteral("%d files in %@"), { 12, QStringLiteral("Photos") }), "12 files in Photos" },
              { formatText(QStringLiteral("%ld of %lld"), { quint64(1), qint64(-2) }), "1 of -2" },
              { formatText(QStringLiteral("%2$@ has %1$d"), { 3, QStringLiteral("Box") }), "Box has 3" },
              { formatText(QStringLiteral("%@ and %@"), { QStringLiteral("%d%@%n"), QStringLiteral("%s") }),
                  "%d%@%n and %s" },
              { formatText(QStringLiteral("100%% done %s %x %"), { 1 }), "100% done %s %x %" },
              { formatText(QStringLiteral("[%d][%@][%5$@][%0$d]"), { 7 }), "[7][][][]" },
              { formatText(QStringLiteral("only"), { 1, 2 }), "only" } };
    for (const auto& [actual, expected] : table)
        EXPECT_EQ(actual, QString::fromLatin1(expected));
}
