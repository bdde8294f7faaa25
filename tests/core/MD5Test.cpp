#include "core/MD5.h"
#include "base/AppPaths.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <future>

namespace {

QByteArray patternBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
    return bytes;
}

QString referenceMd5(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

struct MD5Test : ::testing::Test {
    TempHome home;
    QTemporaryDir dir;
    std::atomic<bool> noStop { false };

    void SetUp() override { ASSERT_TRUE(AppPaths::ensureFolder(AppPaths::stateFolder())); }
    QString file(const QString& name, const QByteArray& bytes)
    {
        writeTestFile(dir.filePath(name), bytes);
        return dir.filePath(name);
    }
    static QByteArray log()
    {
        QFile file(AppPaths::logFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(MD5Test, MatchesTheRfc1321TestSuiteInLowerCase)
{
    const std::pair<QByteArray, const char*> suite[] = { { "", "d41d8cd98f00b204e9800998ecf8427e" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72" }, { "message digest", "f96b697d7cb7938d525a2f31aaf161d0" },
        { "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            "57edf4a22be3c955ac49da2e2107b67a" } };
    for (const auto& [input, digest] : suite)
        EXPECT_EQ(md5OfFile(file(QStringLiteral("vector"), input), noStop), QString::fromLatin1(digest));
    EXPECT_TRUE(log().isEmpty());
    EXPECT_TRUE(md5Usable());
}

TEST_F(MD5Test, FilesAroundTheChunkSizeGiveTheDigestOfAllTheirBytes)
{
    const qsizetype chunk = static_cast<qsizetype>(md5ReadChunkSize);
    for (const qsizetype size : { qsizetype(4096), chunk - 1, chunk, chunk + 1, 3 * chunk + 17 }) {
        const QByteArray bytes = patternBytes(size);
        EXPECT_EQ(md5OfFile(file(QStringLiteral("sized"), bytes), noStop), referenceMd5(bytes)) << size;
    }
    const QByteArray bytes = patternBytes(3 * chunk + 5);
    const QString path = file(QStringLiteral("head"), bytes);
    for (const quint64 count : { quint64(0), quint64(4096), quint64(md5ReadChunkSize + 3), quint64(1) << 30 }) {
        const QString expected = referenceMd5(bytes.left(static_cast<qsizetype>(count)));
        EXPECT_EQ(md5OfFileHead(path, count, noStop), expected);
        // Just written, the file is in the page cache.
        bool cached = false;
        EXPECT_EQ(md5OfCachedBytes(path, count, noStop, cached), expected);
        EXPECT_TRUE(cached);
    }
}

TEST_F(MD5Test, MissingFileIsAbsentWithOneLogLineEvenForAHostileName)
{
    EXPECT_EQ(md5OfFile(dir.filePath(QStringLiteral("not there\nCannot open file: forged")), noStop), std::nullopt);
    const QList<QByteArray> lines = log().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Cannot open file: ")) << lines[0].constData();
    EXPECT_TRUE(lines[0].contains("not there\\nCannot")) << lines[0].constData();
}

TEST_F(MD5Test, FifoFolderAndDeviceAreAbsentAtOnce)
{
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    makeTestFifo(fifo);
    // Nobody writes to the FIFO: a blocking open or read would hang here.
    EXPECT_EQ(md5OfFile(fifo, noStop), std::nullopt);
    EXPECT_EQ(md5OfFileHead(fifo, 10, noStop), std::nullopt);
    EXPECT_EQ(md5OfFile(dir.path(), noStop), std::nullopt);
    EXPECT_EQ(md5OfFile(QStringLiteral("/dev/zero"), noStop), std::nullopt);
    EXPECT_EQ(log().count("Cannot open file: "), 4);
}

TEST_F(MD5Test, StopBeforeTheCallReadsNothingAndStopDuringItCutsAHugeFileShort)
{
    const std::atomic<bool> stopped { true };
    EXPECT_EQ(md5OfFile(file(QStringLiteral("readable"), "abc"), stopped), std::nullopt);
    EXPECT_EQ(md5OfFile(dir.filePath(QStringLiteral("missing")), stopped), std::nullopt);

    // 64 GiB of holes: reading it all would take minutes, so a result can
    // only come back quickly if Stop ends the loop.
    const QString path = dir.filePath(QStringLiteral("huge.sparse"));
    QFile huge(path);
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(64) << 30));
    huge.close();
    std::atomic<bool> stop { false };
    auto result = std::async(std::launch::async, [&] { return md5OfFile(path, stop); });
    // Wait until the file is open, which proves the hashing has begun.
    const QString target = QFileInfo(path).canonicalFilePath();
    bool opened = false;
    while (!opened && result.wait_for(std::chrono::milliseconds(1)) == std::future_status::timeout) {
        for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System))
            opened = opened || fd.symLinkTarget() == target;
    }
    stop = true;
    EXPECT_TRUE(opened);
    EXPECT_EQ(result.get(), std::nullopt);
    EXPECT_TRUE(log().isEmpty());
}
