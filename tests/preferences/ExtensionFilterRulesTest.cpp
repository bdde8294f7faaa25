#include "core/FileCategories.h"
#include "preferences/ExtensionFilterRules.h"

#include <gtest/gtest.h>

namespace {

// A filter row as the pane stores it.
QVariantMap filter(const char* key, const char* values, bool on)
{
    return { { QStringLiteral("keyStr"), QString::fromLatin1(key) },
        { QStringLiteral("values"), QString::fromLatin1(values) },
        { QStringLiteral("state"), QVariant::fromValue<qlonglong>(on ? 1 : 0) } };
}

} // namespace

TEST(ExtensionFilterRules, TypedPatternsBecomeBareLowerCasedExtensionsEachOnce)
{
    EXPECT_EQ(normalizedPatterns(QStringLiteral("*.ABC, xyz; .def\n(Abc)  *  ;;")),
        (QStringList { QStringLiteral("abc"), QStringLiteral("xyz"), QStringLiteral("def") }));
    EXPECT_TRUE(normalizedPatterns(QStringLiteral(" *, ; ")).isEmpty());
    EXPECT_EQ(extensionTypeForLabel(QStringLiteral("Pic")), 3);
    EXPECT_EQ(extensionTypeForLabel(QStringLiteral("video")), 6);
    EXPECT_EQ(extensionTypeForLabel(QStringLiteral("Custom")), 7);
}

TEST(ExtensionFilterRules, OnlyACheckedFilterCoveringAnExtensionInCommonClashes)
{
    const QVariantMap logs = filter(ExtensionFilterKey::custom, "Custom (*.log;)", true);
    // Another custom filter with nothing in common, or one that is not checked.
    EXPECT_FALSE(clashingFilter(logs, { filter(ExtensionFilterKey::custom, "Custom (*.jpg;)", true) }));
    EXPECT_FALSE(clashingFilter(logs, { filter(ExtensionFilterKey::custom, "Custom (*.log;*.txt;)", false) }));
    EXPECT_TRUE(clashingFilter(logs,
        { filter(ExtensionFilterKey::custom, "Custom (*.jpg;)", true),
            filter(ExtensionFilterKey::custom, "Custom (*.TXT;*.log;)", true) }));
    // A row that covers no extension of its own clashes only with its namesake.
    const QVariantMap all = filter(ExtensionFilterKey::all, "All", true);
    EXPECT_FALSE(clashingFilter(all, { logs }));
    EXPECT_FALSE(clashingFilter(logs, { all }));
    EXPECT_TRUE(clashingFilter(all, { filter(ExtensionFilterKey::all, "All", true) }));
}
