#include "base/AppPaths.h"
#include "core/DirectoryWalker.h"
#include "scan/EngineFixture.h"
#include "support/MemoryGrowth.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

// The walk alone, on this thread, over the rows of the engine's list.
class Walk : public EngineFixture {
protected:
    qint64 skipped = 0;
    ScanCounters counters;
    // The records' paths in the walk's order.
    QStringList found;
    std::optional<int> readingThreads;

    QStringList walk(LocalWalk::Progress progress = {})
    {
        engine->isAnyFileTypeSelected(); // as Scan Now's checks leave it
        const ScanRequest request = sources->makeScanRequest(ScanSource::thisComputer);
        LocalWalk walk(request, counters, isAbortScan, std::move(progress));
        if (readingThreads)
            walk.setReadingThreads(*readingThreads);
        walk.parseAllPath();
        skipped = walk.skippedCount();
        found.clear();
        for (const FileInfoNodePtr& record : walk.records())
            found.append(relative(record));
        QStringList paths = found;
        paths.sort();
        return paths;
    }

    // Walks the rows alone, without and with reading threads: the paths
    // recorded, and as many files counted.
    void expectWalkOf(const QStringList& rows, const QStringList& expected)
    {
        sources->edit(ScanSource::thisComputer, SourceList::scan, [](auto& list) { list.clear(); });
        for (const QString& path : rows)
            addRow(path);
        for (const int threads : { 0, 4 }) {
            readingThreads = threads;
            counters.countScanned = 0;
            EXPECT_EQ(walk(), expected) << rows.join(',').toStdString() << ' ' << threads;
            EXPECT_EQ(counters.countScanned.load(), expected.size()) << rows.join(',').toStdString() << ' ' << threads;
        }
    }

    QString log() const
    {
        QFile file(AppPaths::stateFolder() + QStringLiteral("/vellicor.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

TEST_F(Walk, OverlappingRowsRecordEveryFileOnceAndCaseMatters)
{
    tree.file(QStringLiteral("a/one.txt"), "one");
    tree.file(QStringLiteral("a/ONE.txt"), "uno");
    tree.file(QStringLiteral("a/b/two.txt"), "two");
    addRow(tree.path(QStringLiteral("a")));
    addRow(tree.path(QStringLiteral("a/b")));
    addRow(tree.path(QStringLiteral("a/b/two.txt")));
    EXPECT_EQ(walk(), (QStringList { "a/ONE.txt", "a/b/two.txt", "a/one.txt" }));
    EXPECT_EQ(counters.countScanned.load(), 3);
    EXPECT_EQ(counters.totSizeScanned.load(), 9u);
}

TEST_F(Walk, RowStatesAndSubFolderChoices)
{
    tree.file(QStringLiteral("single.txt"), "s");
    tree.file(QStringLiteral("mixed/m.txt"), "m");
    tree.file(QStringLiteral("off/o.txt"), "o");
    tree.file(QStringLiteral("flat/top.txt"), "t");
    tree.file(QStringLiteral("flat/sub/deep.txt"), "d");
    tree.file(QStringLiteral("flat/Tool.app/Contents/exe"), "e");
    addRow(tree.path(QStringLiteral("single.txt")));
    addRow(tree.path(QStringLiteral("mixed")), -1);
    addRow(tree.path(QStringLiteral("off")), 0);
    addRow(tree.path(QStringLiteral("flat")), 1, false);
    EXPECT_EQ(walk(), (QStringList { "flat/top.txt", "mixed/m.txt", "single.txt" }));
}

TEST_F(Walk, AShallowRowDoesNotHideTheSubFoldersADeepRowAsksFor)
{
    tree.file(QStringLiteral("a/b/top.txt"), "t");
    tree.file(QStringLiteral("a/b/c/deep.txt"), "d");
    addRow(tree.path(QStringLiteral("a/b")), 1, false);
    addRow(tree.path(QStringLiteral("a")));
    EXPECT_EQ(walk(), (QStringList { "a/b/c/deep.txt", "a/b/top.txt" }));
}

TEST_F(Walk, HiddenNamesAndExcludedFoldersArePassedOver)
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
    EXPECT_EQ(walk(), (QStringList { "keep.txt", "skipper/y.txt" }));
}

// A row whose own path is not excluded but that leads into an excluded folder,
// through a link at its end or higher up, through a link to a link, is kept
// out as the folder is, and the log says which folder keeps it out.
TEST_F(Walk, ARowThatLeadsIntoAnExcludedFolderIsPassedOverAndTheLogSaysWhy)
{
    tree.file(QStringLiteral("kept/inner/x.txt"), "x");
    tree.file(QStringLiteral("open/y.txt"), "y");
    // As the links lead: the real path, whatever the temporary folder's.
    const QString kept = QFileInfo(tree.path(QStringLiteral("kept"))).canonicalFilePath();
    tree.symlink(QStringLiteral("to-kept"), kept);
    tree.symlink(QStringLiteral("chain"), tree.path(QStringLiteral("to-kept")));
    excludeFolder(kept);
    addRow(tree.path(QStringLiteral("chain/inner")));
    addRow(tree.path(QStringLiteral("to-kept")));
    addRow(tree.path(QStringLiteral("open")));
    EXPECT_EQ(walk(), QStringList { "open/y.txt" });
    const QString told = log();
    EXPECT_TRUE(
        told.contains(QStringLiteral("Passed over %1 leads to %2, in %3, a folder excluded from scanning in the "
                                     "settings")
                          .arg(tree.path(QStringLiteral("chain/inner")), kept + QStringLiteral("/inner"), kept)))
        << told.toStdString();
    EXPECT_TRUE(told.contains(
        QStringLiteral("Passed over %1 leads to %2, in %2").arg(tree.path(QStringLiteral("to-kept")), kept)));
}

TEST_F(Walk, PackagesAreOneItemPhotoLibrariesAreLeftAloneAndMembersAreDropped)
{
    tree.file(QStringLiteral("Tool.app/Contents/a"), "aaaa");
    tree.file(QStringLiteral("Tool.app/Contents/b"), "bb");
    tree.file(QStringLiteral("Old.photolibrary/db"), "p");
    tree.file(QStringLiteral("New.photoslibrary/database/x"), "q");
    addRow(tree.root());
    // A second row reaching inside the package: removing the package would
    // remove that member too, so it never counts on its own.
    addRow(tree.path(QStringLiteral("Tool.app/Contents/a")));
    EXPECT_EQ(walk(), QStringList { "Tool.app" });
    EXPECT_EQ(counters.countScanned.load(), 1);
    EXPECT_EQ(counters.totSizeScanned.load(), 6u);
}

TEST_F(Walk, LinksHardLinksAndLoopsNeverAddASecondRecord)
{
    const QString original = tree.file(QStringLiteral("data/original.bin"), "content");
    tree.hardLink(QStringLiteral("data/hard.bin"), original);
    tree.symlink(QStringLiteral("data/soft.bin"), original);
    tree.symlink(QStringLiteral("data/dangling.bin"), tree.path(QStringLiteral("nowhere")));
    tree.symlink(QStringLiteral("data/loop"), tree.root());
    tree.file(QStringLiteral("real/r.txt"), "r");
    tree.symlink(QStringLiteral("shortcut"), tree.path(QStringLiteral("real")));
    addRow(tree.path(QStringLiteral("data")));
    // A row chosen through a link to a folder is that folder.
    addRow(tree.path(QStringLiteral("shortcut")));
    const QStringList paths = walk();
    ASSERT_EQ(paths.size(), 2);
    EXPECT_TRUE(paths[0].startsWith(QStringLiteral("data/")));
    EXPECT_EQ(paths[1], QStringLiteral("real/r.txt"));
}

TEST_F(Walk, AFileOfOneNameMetAgainThroughALinkOrARowIsRecordedOnce)
{
    // Each file has a single name. The links meet theirs before and after the
    // walk does; the second row names a file its first row walked already.
    tree.file(QStringLiteral("a/early.txt"), "1");
    tree.symlink(QStringLiteral("a/to-late.txt"), tree.file(QStringLiteral("b/late.txt"), "2"));
    tree.symlink(QStringLiteral("b/to-early.txt"), tree.path(QStringLiteral("a/early.txt")));
    tree.file(QStringLiteral("c/named.txt"), "3");
    const QString a = tree.path(QStringLiteral("a"));
    const QString b = tree.path(QStringLiteral("b"));
    const QStringList rows[]
        = { { a, b }, { b, a }, { tree.path(QStringLiteral("c")), tree.path(QStringLiteral("c/named.txt")) } };
    const QStringList expected[]
        = { { "a/early.txt", "b/late.txt" }, { "a/early.txt", "b/late.txt" }, { "c/named.txt" } };
    for (int i = 0; i < 3; ++i)
        expectWalkOf(rows[i], expected[i]);
}

// A file reached by its own path and through a link is recorded under its
// own path, whatever the walk meets first: the link or the file in one
// folder, one row or the other, a row through a linked folder or the folder.
TEST_F(Walk, AFileMetThroughALinkIsRecordedUnderItsOwnPathWhateverTheOrder)
{
    const QString photo = tree.file(QStringLiteral("Pictures/Camera/IMG_0002.JPG"), "photo");
    tree.file(QStringLiteral("Pictures/Backup 2021/IMG_0002.JPG"), "photo"); // a copy, a file of its own
    tree.symlink(QStringLiteral("Desktop/link to photo.jpg"), photo);
    tree.symlink(QStringLiteral("Desktop/Shortcut"), tree.path(QStringLiteral("Pictures")));
    // The links of one folder, before and after the files they lead to.
    tree.symlink(QStringLiteral("notes/a link.txt"), tree.file(QStringLiteral("notes/b.txt"), "bee"));
    tree.symlink(QStringLiteral("notes/d link.txt"), tree.file(QStringLiteral("notes/c.txt"), "sea"));
    const QString desktop = tree.path(QStringLiteral("Desktop"));
    const QString pictures = tree.path(QStringLiteral("Pictures"));
    const QString notes = tree.path(QStringLiteral("notes"));
    const QString throughShortcut = tree.path(QStringLiteral("Desktop/Shortcut/Camera"));
    const QString link = tree.path(QStringLiteral("Desktop/link to photo.jpg"));
    const QStringList own { "Pictures/Backup 2021/IMG_0002.JPG", "Pictures/Camera/IMG_0002.JPG" };
    const struct {
        QStringList rows;
        QStringList expected;
    } cases[] = {
        { { desktop, pictures }, own },
        { { pictures, desktop }, own },
        { { notes }, { "notes/b.txt", "notes/c.txt" } },
        { { link, pictures }, own },
        { { throughShortcut, pictures }, own },
        { { pictures, throughShortcut }, own },
        // Met only through links, a file is recorded under its entry beyond
        // the linked folder rather than the link to it, whatever the order.
        { { desktop, throughShortcut }, { "Desktop/Shortcut/Camera/IMG_0002.JPG" } },
        { { throughShortcut, desktop }, { "Desktop/Shortcut/Camera/IMG_0002.JPG" } },
        // Met through links to it alone, the first link met.
        { { desktop }, { "Desktop/link to photo.jpg" } },
    };
    for (const auto& each : cases)
        expectWalkOf(each.rows, each.expected);
    // The record that gave way is counted no more.
    expectWalkOf({ desktop, pictures }, own);
    counters.totSizeScanned = 0;
    walk();
    EXPECT_EQ(counters.totSizeScanned.load(), 10u);
}

// The rows may all lie beyond a linked folder (a home reached through a link,
// a pictures folder kept on another disk): a link to a file still gives way
// to the file's own entry, met through the same linked folder or another.
TEST_F(Walk, ALinkToAFileGivesWayToTheFilesEntryBeyondALinkedFolder)
{
    tree.file(QStringLiteral("real/Pictures/Camera/IMG_0002.JPG"), "photo");
    tree.file(QStringLiteral("real/Pictures/Backup/IMG_0002.JPG"), "photo");
    tree.symlink(QStringLiteral("home"), tree.path(QStringLiteral("real")));
    tree.symlink(QStringLiteral("real/Desktop/link to photo.jpg"),
        tree.path(QStringLiteral("home/Pictures/Camera/IMG_0002.JPG")));
    // A pictures folder of its own on another disk, a home reached plainly.
    tree.file(QStringLiteral("disk/Pictures/Camera/IMG_0003.JPG"), "other");
    tree.symlink(QStringLiteral("user/Pictures"), tree.path(QStringLiteral("disk/Pictures")));
    tree.symlink(QStringLiteral("user/Desktop/link to photo.jpg"),
        tree.path(QStringLiteral("user/Pictures/Camera/IMG_0003.JPG")));
    const QString link = tree.path(QStringLiteral("home/Desktop/link to photo.jpg"));
    const QStringList own { "home/Pictures/Backup/IMG_0002.JPG", "home/Pictures/Camera/IMG_0002.JPG" };
    const struct {
        QStringList rows;
        QStringList expected;
    } cases[] = {
        { { tree.path(QStringLiteral("home/Desktop")), tree.path(QStringLiteral("home/Pictures")) }, own },
        { { link, tree.path(QStringLiteral("home/Pictures")) }, own },
        { { tree.path(QStringLiteral("user/Desktop")), tree.path(QStringLiteral("user/Pictures/Camera")) },
            { "user/Pictures/Camera/IMG_0003.JPG" } },
    };
    for (const auto& each : cases)
        expectWalkOf(each.rows, each.expected);
}

// The reading threads are made once for the walk, not once for each row: a
// list of many folders costs their entries.
TEST_F(Walk, EveryRowIsReadAheadByTheSameThreads)
{
    for (int i = 0; i < 40; ++i) {
        tree.file(QStringLiteral("r%1/sub/f.txt").arg(i), QByteArray::number(i));
        addRow(tree.path(QStringLiteral("r%1").arg(i)));
    }
    readingThreads = 3;
    const quint64 before = DirectoryWalker::readingThreadsStarted();
    EXPECT_EQ(walk().size(), 40);
    EXPECT_EQ(DirectoryWalker::readingThreadsStarted() - before, 3u);
}

TEST_F(Walk, FilesSeenAgainThroughRealBindMountsAreRecordedOnce)
{
    // Each file has one name; a bind mount shows one of them a second time,
    // another a whole folder of them.
    tree.file(QStringLiteral("data/f.txt"), "f");
    tree.file(QStringLiteral("data/sub/g.txt"), "g");
    tree.file(QStringLiteral("other/f.txt"), "");
    tree.folder(QStringLiteral("other/sub"));
    // Mounts of this test's own, never seen by the rest of the machine.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "this machine cannot make a mount namespace";
    QByteArrayList mounted;
    const auto unmount = qScopeGuard([&] {
        for (const QByteArray& target : mounted)
            ::umount2(target.constData(), MNT_DETACH);
    });
    for (const char* name : { "f.txt", "sub" }) {
        const QByteArray source = QFile::encodeName(tree.path(QStringLiteral("data/") + QLatin1String(name)));
        const QByteArray target = QFile::encodeName(tree.path(QStringLiteral("other/") + QLatin1String(name)));
        if (::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0)
            GTEST_SKIP() << "this machine cannot bind-mount";
        mounted.append(target);
    }
    const QString data = tree.path(QStringLiteral("data"));
    const QString other = tree.path(QStringLiteral("other"));
    const QStringList rows[] = { { data, other }, { other, data } };
    const QStringList expected[] = { { "data/f.txt", "data/sub/g.txt" }, { "other/f.txt", "other/sub/g.txt" } };
    for (int i = 0; i < 2; ++i)
        expectWalkOf(rows[i], expected[i]);
}

TEST_F(Walk, SpecialFilesUnreadableFoldersAndBadNamesAreSkippedAndLogged)
{
    tree.file(QStringLiteral("a.txt"), "a");
    tree.fifo(QStringLiteral("pipe"));
    tree.symlink(QStringLiteral("dangling"), tree.path(QStringLiteral("nowhere")));
    const QByteArray root = QFile::encodeName(tree.root());
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/socket", root.constData());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // Device nodes need a privilege a container may lack; count what was made.
    int expected = 3 + 2; // FIFO, dangling link, socket; the folder and the name below
    expected += ::mknod(root + "/chardev", S_IFCHR | 0600, makedev(1, 3)) == 0 ? 1 : 0;
    expected += ::mknod(root + "/blockdev", S_IFBLK | 0600, makedev(7, 0)) == 0 ? 1 : 0;
    tree.file(QStringLiteral("closed/secret.txt"), "s");
    QFile::setPermissions(tree.path(QStringLiteral("closed")), QFileDevice::Permissions());
    FILE* raw = std::fopen(root + "/bad\xff.txt", "w"); // Qt cannot spell the name
    ASSERT_NE(raw, nullptr);
    std::fclose(raw);
    addRow(tree.root());
    QStringList paths;
    {
        ScopedNoReadOverride asAnOrdinaryUser;
        paths = walk();
    }
    ::close(sock);
    QFile::setPermissions(
        tree.path(QStringLiteral("closed")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(paths, QStringList { "a.txt" });
    EXPECT_EQ(skipped, expected);
    const QString written = log();
    for (const char* reason : { "closed: cannot read folder", "not valid UTF-8", "pipe: a FIFO", "socket: a socket",
             "dangling: a link whose target cannot be reached" })
        EXPECT_TRUE(written.contains(QLatin1String(reason))) << reason;
}

TEST_F(Walk, AFileBeyondTheSystemsPathLengthIsSkippedAndLogged)
{
    tree.file(QStringLiteral("short.txt"), "s");
    // Folders of long names, made relative to each other: the last path is
    // longer than any path the system can open.
    int fd = ::open(QFile::encodeName(tree.root()).constData(), O_RDONLY | O_DIRECTORY);
    const std::string name(200, 'n');
    for (int level = 0; level < 24 && fd >= 0; ++level) {
        ::mkdirat(fd, name.c_str(), 0700);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    ::close(::openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0600));
    ::close(fd);
    addRow(tree.root());
    EXPECT_EQ(walk(), QStringList { "short.txt" });
    EXPECT_EQ(skipped, 1);
    EXPECT_TRUE(log().contains(QStringLiteral("deep.txt: the path is longer than the system allows")));
    // The temporary folder cannot remove what it cannot name.
    QProcess::execute(QStringLiteral("rm"),
        { QStringLiteral("-rf"), QStringLiteral("--"), tree.root() + QLatin1Char('/') + QString::fromStdString(name) });
}

TEST_F(Walk, FilesAtEveryLevelPastThePathLimitCostTheLogInProportionToTheirNumber)
{
    // A file at every level of a deep tree: each is told, and a line that
    // named the whole path would make the log grow with the square of the
    // depth (here about 60 MB instead of about 1 MB).
    constexpr int depth = 4000;
    TreeBuilder deep(TreeBuilder::Place::memory);
    deep.chain(QString(), depth, "folder", [](int folder, int) {
        ::close(::openat(folder, "level.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    });
    addRow(deep.root());
    const qsizetype recorded = walk().size();
    const QString told = log();
    const qsizetype tooLong = told.count(QStringLiteral("level.txt: the path is longer than the system allows"));
    EXPECT_EQ(recorded + tooLong, depth);
    EXPECT_EQ(skipped, tooLong);
    EXPECT_GT(tooLong, depth / 2);
    EXPECT_LT(told.size(), qsizetype(depth) * 600);
    // What is told of a cut path still ends with its last folders.
    EXPECT_TRUE(told.contains(QRegularExpression(QStringLiteral("Skipped …/(folder/)+level\\.txt: the path is longer"))));
}

TEST_F(Walk, TwentyThousandNestedFoldersAreWalkedInProportionToTheirNumber)
{
    // Past the path limit each level was opened again from the root and kept
    // its whole path: minutes and gigabytes at this depth. The pair at the
    // bottom lies past the limit and is told, not recorded.
    constexpr int depth = 20000;
    TreeBuilder deep(TreeBuilder::Place::memory);
    deep.chain(QString(), depth, "d", [](int folder, int level) {
        if (level > 3 && level != depth)
            return;
        for (const char* name : { "a.txt", "b.txt" }) {
            const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            ASSERT_EQ(::write(fd, "same", 4), 4);
            ::close(fd);
        }
    });
    addRow(deep.root());
    const MemoryGrowth memory;
    // A walk still going after a generous bound is stopped, as a user would,
    // and then misses the pair at the bottom.
    std::promise<void> ended;
    std::thread watchdog([finished = ended.get_future()] {
        if (finished.wait_for(std::chrono::seconds(120)) != std::future_status::ready)
            isAbortScan = true;
    });
    const qsizetype recorded = walk().size();
    ended.set_value();
    watchdog.join();
    EXPECT_FALSE(isAbortScan.load()) << "the walk did not end by itself";
    EXPECT_EQ(recorded, 6);
    EXPECT_EQ(skipped, 2);
    EXPECT_EQ(log().count(QStringLiteral("the path is longer than the system allows")), 2);
    EXPECT_LT(memory.peakBytes(), scaledMemoryBound(qint64(64) << 20));
}

TEST_F(Walk, PseudoFileSystemsAreNeverRecorded)
{
    // With the default exclusions gone, a row on /proc must still end and
    // record nothing: its files never end when read.
    sources->replace(ScanSource::thisComputer, SourceList::exclude, {});
    addRow(QStringLiteral("/proc/self"));
    addRow(QStringLiteral("/proc/self/status"));
    EXPECT_TRUE(walk().isEmpty());
    EXPECT_EQ(skipped, 2);
}

// Hard links make the order matter: a file is recorded under the first path
// the walk meets.
TEST_F(Walk, ReadingAheadOnOtherThreadsGivesTheRecordsInTheOrderOfOneThread)
{
    QStringList files;
    for (int i = 0; i < 72; ++i) {
        const QString name = QStringLiteral("f%1/%2/s%3/x.txt").arg(i / 6).arg(i % 2 ? "b" : "a").arg(5 - i % 6);
        files.append(tree.file(name, QByteArray::number(i)));
    }
    for (int i = 0; i < 12; ++i) {
        tree.file(QStringLiteral("f%1/.hidden/h.txt").arg(i), "h");
        tree.file(QStringLiteral("f%1/P.app/m").arg(i), "m");
        tree.hardLink(QStringLiteral("f%1/link.txt").arg(i), files[(i * 37 + 20) % 72]); // met before or after
    }
    tree.file(QStringLiteral("f7/skip/y.txt"), "y");
    excludeFolder(tree.path(QStringLiteral("f7/skip")));
    addRow(tree.root());
    readingThreads = 0;
    ASSERT_EQ(walk().size(), 72 + 12); // the files once each, and the packages
    const QStringList alone = found;
    for (const int threads : { 1, 3, 8, 8 }) {
        readingThreads = threads;
        walk();
        EXPECT_EQ(found, alone) << threads;
    }
}

TEST_F(Walk, NamesBeyondAsciiAreRecordedAndExcludedPathsPassedOverOnEveryThread)
{
    for (const char* name : { "café.txt", "naïve/résumé.txt", "naïve/日本/x.txt", "naïve/skip/y.txt",
             "naïve/deep/er/z.txt", "naïve/deep/gone.txt" })
        tree.file(QString::fromUtf8(name), name);
    const QByteArray root = QFile::encodeName(tree.root());
    for (const char* bad : { "/bad\xff.txt", "/na\xc3\xafve/bad\xc3.txt" }) {
        FILE* raw = std::fopen(root + bad, "w");
        ASSERT_NE(raw, nullptr);
        std::fclose(raw);
    }
    excludeFolder(tree.path(QStringLiteral("naïve/skip")));
    // An entry naming a file excludes that file.
    excludeFolder(tree.path(QStringLiteral("naïve/deep/gone.txt")));
    addRow(tree.root());
    const QStringList expected { "café.txt", "naïve/deep/er/z.txt", "naïve/résumé.txt", "naïve/日本/x.txt" };
    for (const int threads : { 0, 4 }) {
        readingThreads = threads;
        EXPECT_EQ(walk(), expected) << threads;
        EXPECT_EQ(skipped, 2) << threads;
    }
}

TEST_F(Walk, ProgressHearsOfEveryFileAndShowsOnlyPathsOfFilesMet)
{
    QStringList files;
    for (int i = 0; i < 300; ++i)
        files.append(tree.file(QStringLiteral("d%1/f%2.txt").arg(i % 3).arg(i), QByteArray::number(i)));
    addRow(tree.root());
    for (const int threads : { 0, 4 }) {
        readingThreads = threads;
        int heard = 0;
        QStringList shown;
        LocalWalk::Progress progress;
        progress.recorded = [&](const QString& path) {
            ++heard;
            if (!path.isEmpty())
                shown.append(path);
        };
        EXPECT_EQ(walk(progress).size(), 300) << threads;
        EXPECT_EQ(heard, 300) << threads;
        EXPECT_FALSE(shown.isEmpty()) << threads;
        for (const QString& path : shown)
            EXPECT_TRUE(files.contains(path)) << path.toStdString();
    }
}

TEST_F(Walk, StopFromAnotherThreadEndsTheWalk)
{
    for (int i = 0; i < 2000; ++i)
        tree.file(QStringLiteral("many/f%1.txt").arg(i, 5, 10, QLatin1Char('0')), QByteArray::number(i));
    addRow(tree.path(QStringLiteral("many")));
    std::thread stopper([this] {
        while (counters.countScanned.load() < 100)
            std::this_thread::yield();
        isAbortScan = true;
    });
    // The walk waits at its hundredth file until the other thread has pressed
    // Stop, however fast it is.
    LocalWalk::Progress progress;
    progress.recorded = [this](const QString&) {
        while (counters.countScanned.load() == 100 && !isAbortScan)
            std::this_thread::yield();
    };
    const qsizetype found = walk(progress).size();
    stopper.join();
    EXPECT_GE(found, 100);
    EXPECT_LT(found, 2000);
}
