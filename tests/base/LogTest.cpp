#include "base/Log.h"
#include "base/AppPaths.h"
#include "support/TempHome.h"

#include <QFile>
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
    Log::print("Cannot open file:", QStringLiteral("/tmp/a b"));
    EXPECT_EQ(readLog(), QByteArray("Cannot open file: /tmp/a b\n"));
    Log::print("second", 2, true);
    EXPECT_EQ(readLog(), QByteArray("Cannot open file: /tmp/a b\nsecond 2 true\n"));
}

TEST_F(LogTest, KeepsUtf8NamesIntact)
{
    Log::print(QStringLiteral("Fotos/Größe €.jpg"));
    EXPECT_EQ(QString::fromUtf8(readLog()), QStringLiteral("Fotos/Größe €.jpg\n"));
}

TEST(LogWithoutFolder, MissingFolderIsNotCreatedAndNothingIsRaised)
{
    TempHome home;
    Log::print("lost");
    EXPECT_FALSE(QFile::exists(AppPaths::stateFolder()));
}

TEST_F(LogTest, LinesFromTwoThreadsNeverInterleave)
{
    constexpr int linesPerThread = 400;
    const QString a(300, QLatin1Char('a'));
    const QString b(300, QLatin1Char('b'));
    std::vector<std::thread> threads;
    for (const QString* text : {&a, &b})
        threads.emplace_back([text] {
            for (int i = 0; i < linesPerThread; ++i)
                Log::print(*text, i);
        });
    for (auto& t : threads)
        t.join();

    const QList<QByteArray> lines = readLog().split('\n');
    ASSERT_EQ(lines.size(), 2 * linesPerThread + 1); // the last split is empty
    for (qsizetype i = 0; i < lines.size() - 1; ++i) {
        const QByteArray& line = lines[i];
        const char first = line.at(0);
        const QByteArray prefix(300, first);
        ASSERT_TRUE(line.startsWith(prefix + ' ')) << line.constData();
        bool ok = false;
        line.mid(301).toInt(&ok);
        ASSERT_TRUE(ok) << line.constData();
    }
}
