#include "base/AppPaths.h"
#include "scan/EngineFixture.h"

#include <QFile>

#include <fcntl.h>
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
