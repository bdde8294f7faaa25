#include "base/AppPaths.h"
#include "scan/EngineFixture.h"

#include <QFile>

using CachedScan = EngineFixture;

// The second scan takes digests from the cache database when path, whole
// second of modification and size are unchanged, and reads the file again
// otherwise.
TEST_F(CachedScan, UnchangedFilesAreNotReadAgainButChangedOnesAre)
{
    tree.file(QStringLiteral("a.bin"), "identical bytes");
    tree.file(QStringLiteral("b.bin"), "identical bytes");
    tree.setModificationTime(QStringLiteral("a.bin"), 1500000000);
    tree.setModificationTime(QStringLiteral("b.bin"), 1500000000);
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    ASSERT_EQ(groupsFound().size(), 1);
    ASSERT_TRUE(QFile::exists(AppPaths::cacheDatabaseFile()));

    // Same size and the same whole second: the stored digest still counts, so
    // a change of content goes unseen (this is what the cache promises).
    tree.file(QStringLiteral("b.bin"), "different bytes");
    tree.setModificationTime(QStringLiteral("b.bin"), 1500000000);
    ASSERT_TRUE(runScan());
    EXPECT_EQ(groupsFound().size(), 1);

    // A new modification time makes the scan read the file again.
    tree.setModificationTime(QStringLiteral("b.bin"), 1500000100);
    ASSERT_TRUE(runScan());
    EXPECT_TRUE(groupsFound().isEmpty());
}

TEST_F(CachedScan, ADamagedCacheDatabaseNeverFailsTheScan)
{
    tree.file(QStringLiteral("a.bin"), "twin");
    tree.file(QStringLiteral("b.bin"), "twin");
    addRow(tree.root());
    AppPaths::ensureFolder(AppPaths::cacheFolder());
    QFile damaged(AppPaths::cacheDatabaseFile());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(8192, '\x5a'));
    damaged.close();
    ASSERT_TRUE(runScan());
    EXPECT_EQ(groupsFound(), (QList<QStringList> { { QStringLiteral("a.bin"), QStringLiteral("b.bin") } }));
    ASSERT_TRUE(runScan()); // and the rebuilt database serves the next scan
    EXPECT_EQ(groupsFound().size(), 1);
}
