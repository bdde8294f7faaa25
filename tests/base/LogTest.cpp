#include "base/Log.h"
#include "base/AppPaths.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

QByteArray readLog()
{
    QFile file(AppPaths::logFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct LogTest : ::testing::Test {
    TempHome home;
    void SetUp() override { ASSERT_TRUE(AppPaths::ensureFolder(AppPaths::stateFolder())); }
};

} // namespace

TEST_F(LogTest, FirstLineCreatesTheFileAndLinesKeepTheirOrder)
{
    ASSERT_FALSE(QFile::exists(AppPaths::logFile()));
    Log::print("Cannot open file:", QStringLiteral("/tmp/Größe €.jpg"));
    Log::print("second", 2, true);
    EXPECT_EQ(QString::fromUtf8(readLog()), QStringLiteral("Cannot open file: /tmp/Größe €.jpg\nsecond 2 true\n"));
}

TEST_F(LogTest, EveryNameStaysOnOneLineAndNamesLogApart)
{
    const QString names[] = { QStringLiteral("a\\nb"), QStringLiteral("a\nb"), QStringLiteral("a\u2028b"),
        QStringLiteral("a\u0085b"), QStringLiteral("a\u2029b"), QStringLiteral("a\x1b[2Jb") };
    for (const QString& name : names)
        Log::print("Cannot open file:", name);
    const QList<QByteArray> lines = readLog().split('\n');
    ASSERT_EQ(lines.size(), std::size(names) + 1);
    EXPECT_EQ(lines[0], "Cannot open file: a\\\\nb");
    EXPECT_EQ(lines[1], "Cannot open file: a\\nb");
    EXPECT_EQ(QSet<QByteArray>(lines.begin(), lines.end()).size(), lines.size());
    for (const QByteArray& line : lines)
        EXPECT_FALSE(QString::fromUtf8(line).contains(QChar(0x2028)) || line.contains('\x1b')) << line.constData();
}

TEST(LogWithoutFile, LinesAreDroppedUntilTheFileCanBeOpenedAndNoFolderIsMade)
{
    TempHome home;
    Log::print("lost");
    EXPECT_FALSE(QFile::exists(AppPaths::stateFolder()));
    // A folder where the file should be: nothing can be written there.
    ASSERT_TRUE(QDir().mkpath(AppPaths::logFile()));
    Log::print("lost too");
    ASSERT_TRUE(QDir(AppPaths::logFile()).removeRecursively());
    Log::print("kept");
    EXPECT_EQ(readLog(), QByteArray("kept\n"));
}

TEST_F(LogTest, LinesFromTwoThreadsNeverInterleave)
{
    std::vector<std::thread> threads;
    for (const char letter : { 'a', 'b' })
        threads.emplace_back([letter] {
            for (int i = 0; i < 400; ++i)
                Log::print(QString(300, QLatin1Char(letter)), i);
        });
    for (auto& t : threads)
        t.join();
    const QList<QByteArray> lines = readLog().split('\n');
    ASSERT_EQ(lines.size(), 801); // the last split is empty
    for (qsizetype i = 0; i < lines.size() - 1; ++i)
        ASSERT_TRUE(lines[i].startsWith(QByteArray(300, lines[i].at(0)) + ' ') && lines[i].size() <= 304)
            << lines[i].constData();
}
