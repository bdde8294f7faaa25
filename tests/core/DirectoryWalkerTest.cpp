#include "core/DirectoryWalker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QTemporaryDir& dir)
{
    return QFile::encodeName(dir.path());
}

} // namespace

TEST(DirectoryWalker, VisitsInNameOrderDepthFirstAndStopsWhenAsked)
{
    QTemporaryDir dir;
    for (const char* path : { "b", "a", "a/z", "a/y", "c" })
        ASSERT_EQ(::mkdir((encoded(dir) + '/' + path).constData(), 0700), 0);
    QByteArrayList seen;
    const auto record = [&](const WalkEntry& entry) {
        seen.append(entry.path.mid(encoded(dir).size() + 1) + ':' + QByteArray::number(entry.depth));
        return entry.name == "b" ? WalkAction::stop : WalkAction::descend;
    };
    EXPECT_FALSE(DirectoryWalker().walk(encoded(dir), record));
    EXPECT_EQ(seen, (QByteArrayList { "a:1", "a/y:2", "a/z:2", "b:1" }));
}

TEST(DirectoryWalker, PathsKeptByTheVisitorStayTheirOwn)
{
    // Every entry's path is handed over in the same buffer: a copy the
    // visitor keeps must not change when the next entry's path is made.
    QTemporaryDir dir;
    for (const char* path : { "a", "a/long-name-inside", "b", "c" })
        ASSERT_EQ(::mkdir((encoded(dir) + '/' + path).constData(), 0700), 0);
    for (const int threads : { 0, 2 }) {
        QByteArrayList kept;
        DirectoryWalker walker;
        if (threads > 0) {
            DirectoryWalker::ReadAhead ahead;
            ahead.threads = threads;
            ahead.wanted = [](const WalkEntry&) { return true; };
            ahead.prepare = [](const WalkEntry& entry) { return std::make_shared<QByteArray>(entry.path); };
            walker.setReadAhead(std::move(ahead));
        }
        // What a reading thread kept, where one read the entry's folder.
        QByteArrayList prepared;
        EXPECT_TRUE(walker.walk(encoded(dir), [&](const WalkEntry& entry) {
            kept.append(entry.path);
            prepared.append(entry.prepared ? *static_cast<const QByteArray*>(entry.prepared.get()) : entry.path);
            return WalkAction::descend;
        }));
        QByteArrayList expected;
        for (const char* path : { "a", "a/long-name-inside", "b", "c" })
            expected.append(encoded(dir) + '/' + path);
        EXPECT_EQ(kept, expected) << threads;
        EXPECT_EQ(prepared, expected) << threads;
    }
}

// A scan walks each of its rows with one walker: the reading threads are
// made once and serve every walk, a walk stopped early or refused included,
// each of which leaves nothing behind for the next.
TEST(DirectoryWalker, OneWalkersReadingThreadsServeEveryWalkAndEachWalkFindsItsOwnFolders)
{
    QTemporaryDir dir;
    for (const char* root : { "first", "second", "third" }) {
        for (int i = 0; i < 12; ++i)
            ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("%1/d%2/e").arg(QLatin1String(root)).arg(i))));
    }
    const auto walkOf = [&](DirectoryWalker& walker, const char* root, int stopAfter) {
        QByteArrayList seen;
        walker.walk(encoded(dir) + '/' + root, [&](const WalkEntry& entry) {
            seen.append(entry.path.mid(encoded(dir).size() + 1)
                + (entry.prepared ? *static_cast<const QByteArray*>(entry.prepared.get()) : QByteArray("!")));
            return seen.size() == stopAfter ? WalkAction::stop : WalkAction::descend;
        });
        return seen;
    };
    DirectoryWalker alone;
    const QByteArrayList second = walkOf(alone, "second", -1);
    const QByteArrayList third = walkOf(alone, "third", -1);
    ASSERT_EQ(second.size(), 24);

    const quint64 before = DirectoryWalker::readingThreadsStarted();
    DirectoryWalker walker;
    DirectoryWalker::ReadAhead ahead;
    ahead.threads = 3;
    ahead.wanted = [](const WalkEntry&) { return true; };
    // What a reading thread made of an entry reads as the visitor's own view
    // of it: the same either way.
    ahead.prepare = [](const WalkEntry&) { return std::make_shared<QByteArray>("!"); };
    walker.setReadAhead(std::move(ahead));
    EXPECT_EQ(walkOf(walker, "first", 3).size(), 3); // stopped with folders still being read
    EXPECT_TRUE(walkOf(walker, "missing", -1).isEmpty());
    EXPECT_EQ(walkOf(walker, "second", -1), second);
    EXPECT_EQ(walkOf(walker, "third", -1), third);
    EXPECT_EQ(DirectoryWalker::readingThreadsStarted() - before, 3u);
}

TEST(DirectoryWalker, NestingDeeperThanTheOpenFileLimitIsWalked)
{
    // Each level is held only as a path, never as an open folder, so neither
    // the descriptor limit nor the stack bounds the depth.
    QTemporaryDir dir;
    rlimit limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const int depth = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1500)) + 100;
    int fd = ::open(encoded(dir).constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        ::mkdirat(fd, "d", 0700);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, "12345", 5), 5);
    ::close(file);
    ::close(fd);

    int deepest = 0;
    qint64 bytes = 0;
    QStringList problems;
    DirectoryWalker walker(nullptr, [&](const QByteArray&, int, const QString& why) { problems.append(why); });
    EXPECT_TRUE(walker.walk(encoded(dir), [&](const WalkEntry& entry) {
        deepest = std::max(deepest, entry.depth);
        bytes += S_ISREG(entry.status.st_mode) ? entry.status.st_size : 0;
        return WalkAction::descend;
    }));
    EXPECT_EQ(deepest, depth + 1);
    EXPECT_EQ(bytes, 5);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

TEST(DirectoryWalker, AnUnreadableRootIsReportedWithItsReason)
{
    QByteArray where;
    int error = 0;
    DirectoryWalker walker(nullptr, [&](const QByteArray& path, int code, const QString&) {
        where = path;
        error = code;
    });
    EXPECT_FALSE(walker.walk("/nonexistent/folder", [](const WalkEntry&) { return WalkAction::next; }));
    EXPECT_EQ(where, QByteArray("/nonexistent/folder"));
    EXPECT_EQ(error, ENOENT);
}
