#include "core/PropertyList.h"

#include <QDateTime>
#include <gtest/gtest.h>

TEST(PropertyList, ReadsEveryValueKind)
{
    const PropertyListResult result = readPropertyList(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
  <key>text</key><string>a &amp; b</string>
  <key>count</key><integer>-42</integer>
  <key>ratio</key><real>0.5</real>
  <key>yes</key><true/>
  <key>no</key><false/>
  <key>when</key><date>2024-03-01T10:20:30Z</date>
  <key>blob</key><data>AAEC</data>
  <key>list</key><array><string>x</string><dict><key>inner</key><integer>1</integer></dict></array>
  <key>empty</key><string></string>
</dict>
</plist>)");
    ASSERT_TRUE(result.root.has_value()) << result.error.toStdString();
    const QVariantMap map = result.root->toMap();
    EXPECT_EQ(map.value("text").toString(), QStringLiteral("a & b"));
    EXPECT_EQ(map.value("count").typeId(), QMetaType::LongLong);
    EXPECT_EQ(map.value("count").toLongLong(), -42);
    EXPECT_DOUBLE_EQ(map.value("ratio").toDouble(), 0.5);
    EXPECT_EQ(map.value("yes").typeId(), QMetaType::Bool);
    EXPECT_TRUE(map.value("yes").toBool());
    EXPECT_FALSE(map.value("no").toBool());
    EXPECT_EQ(map.value("when").toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(10, 20, 30), Qt::UTC));
    EXPECT_EQ(map.value("blob").toByteArray(), QByteArray("\x00\x01\x02", 3));
    const QVariantList list = map.value("list").toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].toMap().value("inner").toLongLong(), 1);
    EXPECT_EQ(map.value("empty").toString(), QString());
}

TEST(PropertyList, MalformedInputGivesNoValueAndAReason)
{
    const char* const broken[] = {
        "",
        "not xml at all",
        "<plist><dict><key>a</key><string>unterminated</dict></plist>",
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><string>no key</string></dict></plist>",
        "<plist><dict><key>n</key><integer>12x</integer></dict></plist>",
        "<plist><dict><key>a</key><banana/></dict></plist>",
        "<plist><string>a</string><string>b</string></plist>",
        "<other><dict/></other>",
        "<plist><dict><key>a</key><string>x</string>",
    };
    for (const char* xml : broken) {
        const PropertyListResult result = readPropertyList(QByteArray(xml));
        EXPECT_FALSE(result.root.has_value()) << xml;
        EXPECT_FALSE(result.error.isEmpty()) << xml;
    }
}

TEST(PropertyList, DictionaryReaderRejectsMissingFilesAndOtherRoots)
{
    EXPECT_FALSE(readPropertyListDictionary(QStringLiteral("/nonexistent/table.plist")));
}
