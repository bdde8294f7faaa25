#include "core/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
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
    const QVariantMap expected { { "text", QStringLiteral("a & b") }, { "count", qlonglong(-42) }, { "ratio", 0.5 },
        { "yes", true }, { "no", false }, { "when", QDateTime(QDate(2024, 3, 1), QTime(10, 20, 30), Qt::UTC) },
        { "blob", QByteArray("\x00\x01\x02", 3) },
        { "list", QVariantList { QStringLiteral("x"), QVariantMap { { "inner", qlonglong(1) } } } },
        { "empty", QString() } };
    EXPECT_EQ(result.root->toMap(), expected);
    EXPECT_EQ(result.root->toMap().value("count").typeId(), QMetaType::LongLong);
}

TEST(PropertyList, MalformedInputGivesNoValueAndAReason)
{
    const char* const broken[] = { "", "not xml at all", "<plist><dict><key>a</key><string>unterminated</dict></plist>",
        "<plist><dict><string>no key</string></dict></plist>",
        "<plist><dict><key>n</key><integer>12x</integer></dict></plist>",
        "<plist><dict><key>a</key><banana/></dict></plist>", "<other><dict/></other>",
        "<plist><dict><key>a</key><string>x</string>" };
    for (const char* xml : broken) {
        const PropertyListResult result = readPropertyList(QByteArray(xml));
        EXPECT_FALSE(result.root.has_value()) << xml;
        EXPECT_FALSE(result.error.isEmpty()) << xml;
    }
    EXPECT_FALSE(readPropertyListDictionary(QStringLiteral("/nonexistent/table.plist")));
}

TEST(PropertyList, NestingBeyondItsBoundIsDamagedNotAStackOverflow)
{
    const auto nested = [](int levels) {
        return QByteArray("<plist><dict><key>deep</key>") + QByteArray("<array>").repeated(levels)
            + QByteArray("</array>").repeated(levels) + QByteArray("</dict></plist>");
    };
    const PropertyListResult fits = readPropertyList(nested(255));
    ASSERT_TRUE(fits.root.has_value()) << fits.error.toStdString();

    const PropertyListResult deep = readPropertyList(nested(30000));
    EXPECT_FALSE(deep.root.has_value());
    EXPECT_TRUE(deep.error.contains(QStringLiteral("nested deeper"))) << deep.error.toStdString();

    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("table.plist")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(nested(30000));
    file.close();
    EXPECT_FALSE(readPropertyListDictionary(file.fileName()));
}
