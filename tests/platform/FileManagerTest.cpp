// The file manager is asked for exactly the file shown, whatever its name
// holds, by a reader that takes a file URI to the letter.
#include "platform/FileManager.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

namespace {

// A strict reader of a file URI: "file://", then only unreserved characters,
// '/' and well-formed %HH escapes; the path's bytes, or none.
std::optional<QByteArray> strictlyDecoded(const QString& uri)
{
    const QByteArray text = uri.toUtf8();
    const QByteArray scheme = "file://";
    if (!text.startsWith(scheme))
        return std::nullopt;
    const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); };
    QByteArray path;
    for (qsizetype i = scheme.size(); i < text.size(); ++i) {
        const char c = text[i];
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_' || c == '~' || c == '/';
        if (unreserved) {
            path += c;
        } else if (c == '%' && i + 2 < text.size() && hex(text[i + 1]) && hex(text[i + 2])) {
            path += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return path;
}

} // namespace

// A path whose bytes are not UTF-8 cannot reach here: a QString holds no such
// bytes, so every name below is one a scan can show.
TEST(FileManager, EachHostileNameIsHandedOverAsAFullyEncodedUriOfItsOwnBytes)
{
    const QStringList names = {
        QStringLiteral("two words.txt"),
        QStringLiteral("100% sure.txt"),
        QStringLiteral("#hash"),
        QStringLiteral("what?.txt"),
        QStringLiteral("line\nbreak.txt"),
        QStringLiteral("tab\there.txt"),
        QStringLiteral("gpj.\u202Eexe"),
        QStringLiteral("Ünïcödé.txt"),
        QStringLiteral("日本語 😀.jpg"),
        QStringLiteral("-leading-dash"),
        QStringLiteral("semi;colon&amp=1+2,3"),
        QStringLiteral("quote\"'`back\\slash"),
        QStringLiteral("%41%2F not an escape"),
        QStringLiteral("trailing dot."),
        QStringLiteral("\u00a0nbsp\u200bzero width"),
    };
    for (const QString& name : names) {
        const QString path = QStringLiteral("/home/someone/a folder/") + name;
        const QDBusMessage call = showItemsCall(path);
        ASSERT_EQ(call.member(), QStringLiteral("ShowItems"));
        const QStringList uris = call.arguments().value(0).toStringList();
        ASSERT_EQ(uris.size(), 1) << name.toStdString();
        const std::optional<QByteArray> decoded = strictlyDecoded(uris.front());
        EXPECT_EQ(decoded, std::optional(QFile::encodeName(path))) << uris.front().toStdString();
        // What Open and the folder fallback hand over names the same file.
        const QUrl opened = fileUrlOf(path);
        EXPECT_EQ(opened.toLocalFile(), path);
        EXPECT_EQ(strictlyDecoded(QString::fromLatin1(opened.toEncoded())), std::optional(QFile::encodeName(path)));
    }
}
