#include "base/AppPaths.h"
#include "scan/EngineFixture.h"
#include "support/OtherUserAndVolume.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

using CachedScan = EngineFixture;

// A file rewritten with other bytes of the same size, its modification time
// then set back exactly as it was, is read again: the walk's records carry the
// status-change time, which no user tool sets back.
TEST_F(CachedScan, AFileRewrittenAndDatedBackIsReadAgain)
{
    tree.file(QStringLiteral("a.bin"), "identical bytes");
    tree.file(QStringLiteral("b.bin"), "identical bytes");
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    ASSERT_EQ(groupsFound().size(), 1);
    ASSERT_TRUE(QFile::exists(AppPaths::cacheDatabaseFile()));

    const QByteArray b = QFile::encodeName(tree.path(QStringLiteral("b.bin")));
    struct stat before { };
    ASSERT_EQ(::stat(b.constData(), &before), 0);
    tree.file(QStringLiteral("b.bin"), "different bytes");
    const struct timespec times[2] = { before.st_atim, before.st_mtim };
    ASSERT_EQ(::utimensat(AT_FDCWD, b.constData(), times, 0), 0);
    ASSERT_TRUE(runScan());
    EXPECT_TRUE(groupsFound().isEmpty());
}

namespace {

// An ext4 file system with 128-byte inodes, which keep whole seconds, on a
// loop device mounted at folder/volume in this process's own mount namespace;
// only threads made after it share the namespace, so there must be none yet.
// Empty when the machine cannot.
QString mountWholeSecondFileSystem(const QString& folder)
{
    if (QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() != 1
        || ::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return {};
    const QString target = folder + QStringLiteral("/volume");
    if (!mountImageVolume(folder + QStringLiteral("/volume.img"), target, { "mkfs.ext4", "-q", "-F", "-I", "128" }).empty())
        return {};
    return target;
}

} // namespace

// On a file system keeping whole seconds, a file rewritten in place at the same
// size within the second of a scan keeps every time it had; the next scan
// reads it again and finds the two files apart.
TEST_F(CachedScan, OnARealWholeSecondFileSystemAFileRewrittenWithinTheSecondOfAScanIsReadAgain)
{
    const QString volume = mountWholeSecondFileSystem(tree.root());
    if (volume.isEmpty())
        GTEST_SKIP() << "this machine cannot mount an ext4 image here, or threads of earlier tests would not see it";
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(volume).constData(), MNT_DETACH); });
    // Each try begins at the start of a second, which the first write, the
    // scan and the rewrite then share.
    for (int attempt = 0; attempt < 5; ++attempt) {
        struct timespec now { };
        ::clock_gettime(CLOCK_REALTIME, &now);
        std::this_thread::sleep_for(std::chrono::nanoseconds(1020000000 - now.tv_nsec));
        const QString folder = QStringLiteral("volume/%1/").arg(attempt);
        const QByteArray b = QFile::encodeName(tree.file(folder + QStringLiteral("b"), "hello"));
        tree.file(folder + QStringLiteral("a"), "hello");
        struct stat before {
        }, after {};
        ASSERT_EQ(::stat(b.constData(), &before), 0);
        if (before.st_ctim.tv_nsec != 0)
            GTEST_SKIP() << "the file system keeps fractions of a second";
        sources->replace(
            ScanSource::thisComputer, SourceList::scan, { pathRow(tree.path(folder), 1) }, ScanSources::Store::no);
        ASSERT_TRUE(runScan());
        ASSERT_EQ(groupsFound().size(), 1);
        tree.file(folder + QStringLiteral("b"), "jelly");
        ASSERT_EQ(::stat(b.constData(), &after), 0);
        if (after.st_ctim.tv_sec != before.st_ctim.tv_sec)
            continue;
        ASSERT_EQ(after.st_ino, before.st_ino);
        ASSERT_TRUE(runScan());
        EXPECT_TRUE(groupsFound().isEmpty());
        return;
    }
    GTEST_SKIP() << "no try kept the rewrite within the second of its scan";
}
