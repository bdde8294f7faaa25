// The file manager is asked for exactly the file shown, whatever its name
// holds, by a reader that takes a file URI to the letter.
#include "platform/FileManager.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

// A strict reader of a file URI: "file://", then only unreserved characters,
// '/' and %HH escapes. A QString holds no bytes that are not UTF-8, so every
// name below is one a scan can show.
TEST(FileManager, EachHostileNameIsHandedOverAsAFullyEncodedUriOfItsOwnBytes)
{
    static const QRegularExpression strict(QStringLiteral("^file://([A-Za-z0-9._~/-]|%[0-9A-Fa-f]{2})*$"));
    const auto decoded = [](const QString& uri) {
        return strict.match(uri).hasMatch() ? QByteArray::fromPercentEncoding(uri.mid(7).toLatin1()) : "not strict";
    };
    for (const char* name : { "two words.txt", "100% sure", "#hash", "what?", "line\nbreak", "tab\there",
             "gpj.\u202Eexe", "Ünïcödé", "日本語 😀.jpg", "-leading-dash", "semi;colon&amp=1+2,3",
             "quote\"'`back\\slash", "%41%2F not an escape", "\u00a0nbsp\u200bzero width" }) {
        const QString path = QStringLiteral("/home/someone/a folder/") + QString::fromUtf8(name);
        const QStringList uris = showItemsCall(path).arguments().value(0).toStringList();
        ASSERT_EQ(uris.size(), 1) << name;
        EXPECT_EQ(decoded(uris.front()), QFile::encodeName(path)) << uris.front().toStdString();
        // What Open and the folder fallback hand over names the same file.
        EXPECT_EQ(fileUrlOf(path).toLocalFile(), path);
        EXPECT_EQ(decoded(QString::fromLatin1(fileUrlOf(path).toEncoded())), QFile::encodeName(path));
    }
}
