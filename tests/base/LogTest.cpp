#include "base/Log.h"
#include "base/AppPaths.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <unistd.h>
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

namespace {

// What printToStandardOutput writes, caught on a file put in place of
// standard output for the call.
QByteArray standardOutputOf(const QString& text)
{
    QTemporaryFile caught;
    if (!caught.open())
        return {};
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(caught.handle(), STDOUT_FILENO);
    printToStandardOutput(text);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    caught.seek(0);
    return caught.readAll();
}

} // namespace

TEST_F(LogTest, NamesThatWouldDrawAsOtherNamesAreEscapedInTheLogAndOnStandardOutput)
{
    // Each name with what it must become: bidirectional overrides, embeddings
    // and isolates, zero-width and other format characters, a C1 control
    // that starts a terminal sequence, a tag character beyond the first
    // plane, a lone surrogate.
    const std::pair<QString, QByteArray> names[] = {
        { QStringLiteral("invoice\u202efdp.exe"), "invoice\\u202efdp.exe" },
        { QStringLiteral("\u2067a\u2069\u202ab\u202c"), "\\u2067a\\u2069\\u202ab\\u202c" },
        { QStringLiteral("pay\u200bpal\u200d\u200e\u200f"), "pay\\u200bpal\\u200d\\u200e\\u200f" },
        { QStringLiteral("\ufeffa\u2060b\u2064\u061c\u00ad"), "\\ufeffa\\u2060b\\u2064\\u061c\\u00ad" },
        { QStringLiteral("a\u009b2Jb"), "a\\u009b2Jb" },
        { QString::fromUcs4(U"x\U000e0041y"), "x\\U000e0041y" },
        { QStringLiteral("a") + QChar(0xd800) + QStringLiteral("b"), "a\\ud800b" },
        // Letters of other scripts and pairs beyond the first plane stay.
        { QString::fromUcs4(U"Größe \u05d0 \U0001f600"), QString::fromUcs4(U"Größe \u05d0 \U0001f600").toUtf8() },
    };
    for (const auto& [name, expected] : names)
        Log::print("Cannot open file:", name);
    const QList<QByteArray> lines = readLog().split('\n');
    ASSERT_EQ(lines.size(), std::size(names) + 1);
    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(lines[qsizetype(i)], "Cannot open file: " + names[i].second);
        EXPECT_EQ(standardOutputOf(names[i].first), names[i].second + '\n');
    }
}

// A link in the log's place, to a file of the user's such as a shell's
// start-up file: no line reaches it, and none of its bytes change.
TEST_F(LogTest, ALinkInTheLogsPlaceIsNeverFollowed)
{
    const QString target = home.path() + QStringLiteral("/.bashrc");
    QFile start(target);
    ASSERT_TRUE(start.open(QIODevice::WriteOnly));
    start.write("alias ls='ls --color'\n");
    start.close();
    ASSERT_TRUE(QFile::link(target, AppPaths::logFile()));
    Log::print("scanned", QStringLiteral("/home/someone/$(touch pwned).txt"));
    ASSERT_TRUE(start.open(QIODevice::ReadOnly));
    EXPECT_EQ(start.readAll(), QByteArray("alias ls='ls --color'\n"));
}
