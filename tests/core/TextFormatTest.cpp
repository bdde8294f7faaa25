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

// An alert names what a file held as one line each, whatever the names hold:
// a line break, a bidirectional override or a control cannot make the alert
// taller than its few names nor turn the text around them; names past the
// few are counted.
TEST(TextFormat, NamedFewAndMoreNamesEachOnOneLineDrawnAsItIs)
{
    const QString breaks = QStringLiteral("a\nb\r\u2028\u2029\u0085\u000b\u000c");
    const QString turned = QStringLiteral("\u202eevil\u2066\u200b\u0000x");
    const QString tall(200000, QLatin1Char('\n'));
    const QString told = namedFewAndMore({ breaks, turned, tall, QStringLiteral("b\\c"), QStringLiteral("fifth") }, 6);
    for (const QChar c : told) {
        EXPECT_FALSE(c.category() == QChar::Other_Format || c.category() == QChar::Other_Control
            || c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            << "U+" << std::hex << int(c.unicode()) << " in " << told.toStdString();
    }
    EXPECT_TRUE(told.contains(QStringLiteral("a\\nb\\r\\u2028"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("\\u202eevil"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("b\\\\c"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("fifth"))) << told.toStdString();
    EXPECT_LT(told.size(), 400) << "a name longer than a line is shortened";
    EXPECT_TRUE(told.contains(QLatin1Char('1'))) << told.toStdString();

    // Five are named whole, a sixth only counted.
    const QStringList five { QStringLiteral("k1"), QStringLiteral("k2"), QStringLiteral("k3"), QStringLiteral("k4"),
        QStringLiteral("k5") };
    EXPECT_EQ(namedFewAndMore(five, 5), QStringLiteral("k1, k2, k3, k4, k5"));
    EXPECT_EQ(namedFewAndMore(five.first(1), 1), QStringLiteral("k1"));
    EXPECT_FALSE(namedFewAndMore(five + QStringList { QStringLiteral("k6") }, 6).contains(QStringLiteral("k6")));
}
