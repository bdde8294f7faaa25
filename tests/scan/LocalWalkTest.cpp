#include "scan/EngineFixture.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using LocalWalk = EngineFixture;

TEST_F(LocalWalk, OverlappingRowsRecordEveryFileOnce)
{
    tree.file(QStringLiteral("a/one.txt"), "one");
    tree.file(QStringLiteral("a/b/two.txt"), "two");
    addRow(tree.path(QStringLiteral("a")));
    addRow(tree.path(QStringLiteral("a/b")));
    addRow(tree.path(QStringLiteral("a/b/two.txt")));
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths(), (QStringList { QStringLiteral("a/b/two.txt"), QStringLiteral("a/one.txt") }));
    EXPECT_EQ(engine->counters.countScanned.load(), 2);
    EXPECT_EQ(engine->counters.totSizeScanned.load(), 6u);
}

TEST_F(LocalWalk, PathsDifferingOnlyInCaseAreDifferentFiles)
{
    tree.file(QStringLiteral("Report.txt"), "x");
    tree.file(QStringLiteral("report.txt"), "y");
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths(), (QStringList { QStringLiteral("Report.txt"), QStringLiteral("report.txt") }));
}

TEST_F(LocalWalk, AFileRowAndAMixedRowAreWalkedAnUncheckedRowIsNot)
{
    tree.file(QStringLiteral("single.txt"), "s");
    tree.file(QStringLiteral("mixed/m.txt"), "m");
    tree.file(QStringLiteral("off/o.txt"), "o");
    addRow(tree.folder(QStringLiteral("empty")));
    addRow(tree.path(QStringLiteral("single.txt")));
    addRow(tree.path(QStringLiteral("mixed")), -1);
    addRow(tree.path(QStringLiteral("off")), 0);
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths(), (QStringList { QStringLiteral("mixed/m.txt"), QStringLiteral("single.txt") }));
}

TEST_F(LocalWalk, WithoutSubFoldersOnlyTheFolderItselfCounts)
{
    tree.file(QStringLiteral("top.txt"), "t");
    tree.file(QStringLiteral("sub/deep.txt"), "d");
    tree.file(QStringLiteral("Tool.app/Contents/exe"), "e");
    addRow(tree.root(), 1, false);
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths(), QStringList { QStringLiteral("top.txt") });
}

TEST_F(LocalWalk, HiddenNamesAndExcludedFoldersArePassedOver)
{
    tree.file(QStringLiteral("keep.txt"), "k");
    tree.file(QStringLiteral(".hidden.txt"), "h");
    tree.file(QStringLiteral(".config/inside.txt"), "i");
    tree.file(QStringLiteral("visible/.DS_Store"), "d");
    tree.file(QStringLiteral("skip/inner/x.txt"), "x");
    tree.file(QStringLiteral("skipper/y.txt"), "y");
    tree.file(QStringLiteral("odd (1)|[x]/z.txt"), "z");
    addRow(tree.root());
    excludeFolder(tree.path(QStringLiteral("skip/")), 0); // unchecked local rows still exclude
    excludeFolder(tree.path(QStringLiteral("odd (1)|[x]")));
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths(), (QStringList { QStringLiteral("keep.txt"), QStringLiteral("skipper/y.txt") }));
}

TEST_F(LocalWalk, PackagesAreOneItemAndPhotoLibrariesAreLeftAlone)
{
    tree.file(QStringLiteral("Tool.app/Contents/a"), "aaaa");
    tree.file(QStringLiteral("Tool.app/Contents/b"), "bb");
    tree.file(QStringLiteral("Old.photolibrary/db"), "p");
    tree.file(QStringLiteral("New.photoslibrary/database/x"), "q");
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    ASSERT_EQ(recordedPaths(), QStringList { QStringLiteral("Tool.app") });
    EXPECT_TRUE(engine->arrFileNodes.front()->isDirectory);
    EXPECT_EQ(engine->arrFileNodes.front()->fileSize, 6u);
}

TEST_F(LocalWalk, LinksAndHardLinksNeverAddASecondRecord)
{
    const QString original = tree.file(QStringLiteral("data/original.bin"), "content");
    tree.hardLink(QStringLiteral("data/hard.bin"), original);
    tree.symlink(QStringLiteral("data/soft.bin"), original);
    tree.symlink(QStringLiteral("data/dangling.bin"), tree.path(QStringLiteral("nowhere")));
    // A link back to an ancestor is not walked, so the walk cannot loop.
    tree.symlink(QStringLiteral("data/loop"), tree.root());
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths().size(), 1);
    EXPECT_TRUE(recordedPaths().first().startsWith(QStringLiteral("data/")));
    EXPECT_TRUE(groupsFound().isEmpty()); // a file never pairs with itself
}

TEST_F(LocalWalk, AFifoIsRefusedWithoutBlocking)
{
    tree.fifo(QStringLiteral("pipe"));
    tree.file(QStringLiteral("a.txt"), "same");
    tree.file(QStringLiteral("b.txt"), "same");
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths(), (QStringList { QStringLiteral("a.txt"), QStringLiteral("b.txt") }));
    EXPECT_EQ(groupsFound(), (QList<QStringList> { { QStringLiteral("a.txt"), QStringLiteral("b.txt") } }));
}

TEST_F(LocalWalk, AnUnreadableFolderIsSkippedAndTheWalkGoesOn)
{
    tree.file(QStringLiteral("closed/secret.txt"), "s");
    tree.file(QStringLiteral("open/visible.txt"), "v");
    QFile::setPermissions(tree.path(QStringLiteral("closed")), QFileDevice::Permissions());
    addRow(tree.root());
    {
        ScopedNoReadOverride asAnOrdinaryUser;
        ASSERT_TRUE(runScan());
    }
    QFile::setPermissions(
        tree.path(QStringLiteral("closed")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(recordedPaths(), QStringList { QStringLiteral("open/visible.txt") });
}

TEST_F(LocalWalk, StopFromAnotherThreadEndsTheWalkAndKeepsWhatWasFound)
{
    constexpr int fileCount = 3000;
    for (int i = 0; i < fileCount; ++i)
        tree.file(QStringLiteral("many/f%1.txt").arg(i, 5, 10, QLatin1Char('0')), QByteArray::number(i % 7));
    addRow(tree.path(QStringLiteral("many")));

    ASSERT_TRUE(runScanStoppedWhen([this] { return engine->counters.countScanned.load() >= 100; }));
    const qsizetype found = recordedPaths().size();
    EXPECT_GE(found, 100);
    EXPECT_LT(found, fileCount);
    EXPECT_EQ(screen.scanningStates.back(), std::make_pair(false, false));
}

TEST_F(LocalWalk, AMemberOfARecordedPackageIsNeverItsDuplicate)
{
    // Rows that overlap a package: the package is one item; the member a
    // second row reaches inside it is dropped, since removing the package
    // would remove that member too.
    tree.file(QStringLiteral("x/P.app/inner.txt"), "only copy");
    addRow(tree.path(QStringLiteral("x")));
    addRow(tree.path(QStringLiteral("x/P.app/inner.txt")));
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths(), QStringList { QStringLiteral("x/P.app") });
    EXPECT_EQ(engine->counters.countScanned.load(), 1);
    EXPECT_TRUE(groupsFound().isEmpty());
}

TEST_F(LocalWalk, PackagesPairOnlyWhenNamesAndContentsAgree)
{
    tree.file(QStringLiteral("Same1.app/Contents/a"), "A");
    tree.file(QStringLiteral("Same1.app/Contents/b"), "BB");
    tree.file(QStringLiteral("Same2.app/Contents/a"), "A");
    tree.file(QStringLiteral("Same2.app/Contents/b"), "BB");
    // Same bytes in the same order, other names or places.
    tree.file(QStringLiteral("Moved.app/a"), "A");
    tree.file(QStringLiteral("Moved.app/b"), "BB");
    tree.file(QStringLiteral("Renamed.app/Contents/a"), "A");
    tree.file(QStringLiteral("Renamed.app/Contents/c"), "BB");
    // A plain file holding what one member holds.
    tree.file(QStringLiteral("Lone.app/only"), "Z");
    tree.file(QStringLiteral("z.txt"), "Z");
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_EQ(groupsFound(), (QList<QStringList> { { QStringLiteral("Same1.app"), QStringLiteral("Same2.app") } }));
}

TEST_F(LocalWalk, APackageWithAnUnreadableMemberIsNeverADuplicate)
{
    tree.file(QStringLiteral("C.app/a"), "Q");
    tree.file(QStringLiteral("C.app/b"), "R");
    tree.file(QStringLiteral("D.app/a"), "Q");
    tree.file(QStringLiteral("D.app/b"), "R");
    tree.fifo(QStringLiteral("D.app/c")); // same size as C.app, contents unknowable
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_TRUE(groupsFound().isEmpty());
}

TEST_F(LocalWalk, NamesThatAreNotUtf8AreSkippedAndTheWalkGoesOn)
{
    tree.file(QStringLiteral("good.txt"), "twin");
    tree.file(QStringLiteral("other.txt"), "twin");
    const QByteArray badName = QFile::encodeName(tree.root()) + "/bad\xff.txt";
    // Write through the raw name: Qt cannot spell it.
    FILE* raw = std::fopen(badName.constData(), "w");
    ASSERT_NE(raw, nullptr);
    std::fputs("twin", raw);
    std::fclose(raw);
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_EQ(groupsFound(), (QList<QStringList> { { QStringLiteral("good.txt"), QStringLiteral("other.txt") } }));
}

TEST_F(LocalWalk, ARowThatIsALinkToAFolderWalksTheFolder)
{
    tree.file(QStringLiteral("real/a.txt"), "pair");
    tree.file(QStringLiteral("real/b.txt"), "pair");
    tree.symlink(QStringLiteral("shortcut"), tree.path(QStringLiteral("real")));
    addRow(tree.path(QStringLiteral("shortcut")));
    ASSERT_TRUE(runScan());
    EXPECT_EQ(groupsFound(), (QList<QStringList> { { QStringLiteral("real/a.txt"), QStringLiteral("real/b.txt") } }));
}

TEST_F(LocalWalk, AShallowRowDoesNotHideTheSubFoldersADeepRowAsksFor)
{
    tree.file(QStringLiteral("a/b/top.txt"), "t");
    tree.file(QStringLiteral("a/b/c/deep.txt"), "d");
    addRow(tree.path(QStringLiteral("a/b")), 1, false);
    addRow(tree.path(QStringLiteral("a")));
    ASSERT_TRUE(runScan());
    EXPECT_EQ(recordedPaths(), (QStringList { QStringLiteral("a/b/c/deep.txt"), QStringLiteral("a/b/top.txt") }));
}
