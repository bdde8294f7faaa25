#include "core/StreamReader.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(StreamReader, SplitsAtTheDelimiterAcrossChunksAndDigestsEveryByte)
{
    QTemporaryDir dir;
    const QByteArray bytes = "first\r\nsécond\r\n\r\nlast";
    writeTestFile(dir.filePath(QStringLiteral("text")), bytes);
    for (const std::size_t chunk : { std::size_t(1), std::size_t(3), std::size_t(4096) }) {
        StreamReader reader(dir.filePath(QStringLiteral("text")), "\r\n", chunk);
        QStringList lines;
        for (const QString& line : reader)
            lines.append(line);
        EXPECT_EQ(lines, (QStringList { "first", "sécond", "", "last" })) << chunk;
        EXPECT_EQ(reader.nextLine(), std::nullopt);
        EXPECT_EQ(reader.md5(), QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    }
    writeTestFile(dir.filePath(QStringLiteral("empty")), QByteArray());
    makeTestFifo(dir.filePath(QStringLiteral("pipe")));
    for (const char* name : { "empty", "pipe", "missing" }) {
        StreamReader reader(dir.filePath(QString::fromLatin1(name)));
        EXPECT_EQ(reader.nextLine(), std::nullopt) << name;
        EXPECT_EQ(reader.md5(), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e")) << name;
    }
}
