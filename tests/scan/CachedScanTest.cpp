#include "base/AppPaths.h"
#include "scan/EngineFixture.h"
#include "scan/ScanFixtures.h"

#include <QFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

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

// On a file system keeping whole seconds, a file rewritten in place at the same
// size within the second of a scan keeps every time it had; the next scan
// reads it again and finds the two files apart.
TEST_F(CachedScan, OnARealWholeSecondFileSystemAFileRewrittenWithinTheSecondOfAScanIsReadAgain)
{
    const QString volume = mountWholeSecondFileSystem(tree.root());
    if (volume.isEmpty())
        GTEST_SKIP() << "this machine cannot mount an ext4 image here, or threads of earlier tests would not see it";
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(volume).constData(), MNT_DETACH); });
    const RewriteWithinASecond outcome = rewriteWithinTheSecondOfAScan(volume, [this](const QString& folder) {
        sources->replace(ScanSource::thisComputer, SourceList::scan, { pathRow(folder, 1) }, ScanSources::Store::no);
        std::vector<QStringList> names;
        if (!runScan())
            return names;
        for (const QStringList& group : groupsFound()) {
            QStringList members;
            for (const QString& path : group)
                members.append(path.section(QLatin1Char('/'), -1));
            names.push_back(members);
        }
        return names;
    });
    if (!outcome.done)
        GTEST_SKIP() << outcome.why.toStdString();
    EXPECT_EQ(outcome.before, (std::vector<QStringList> { { "a", "b" } }));
    EXPECT_EQ(outcome.after, std::vector<QStringList> {});
}
