// What an undo that was ended (killed, a crash) left of a copy goes at the
// next sweep where it is provably the program's own, on the volume it was
// made on whatever device number that comes back under; a copy out of reach
// is told once and removed when its folder is back.
#include "platform/FileSystemInfo.h"
#include "platform/JournalRecords.h"
#include "platform/LeftFilesSweep.h"
#include "platform/RestoreCopies.h"
#include "support/EndedUndoCopy.h"
#include "support/OtherUserAndVolume.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList copiesIn(const QString& folder)
{
    return entriesOf(folder).filter(QStringLiteral(".vellicor-restore-"));
}

// The name of the copy an ended undo left in folder.
QString copyLeftByARunKilledAt(const QString& folder, EndedAt at)
{
    leaveCopyOfAnEndedUndo(folder, folder, at);
    const QStringList left = copiesIn(folder);
    EXPECT_EQ(left.size(), 1) << left.join(u' ').toStdString();
    return left.value(0);
}

struct LeftCopies : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(folder)); }

    TempHome home;
    QString folder = home.path() + QStringLiteral("/Restored");
};

} // namespace

// Killed after the copy was made and before its record named it: the empty
// copy goes all the same, and only where nothing else could stand in its
// place: a file written in since, one with a second name or another user's
// at that very name stays.
TEST_F(LeftCopies, ACopyMadeButNotYetRecordedWhenTheRunEndedGoesAndNothingElseAtItsName)
{
    const QString copy = copyLeftByARunKilledAt(folder, EndedAt::madeNotRecorded);
    ASSERT_TRUE(copy.startsWith(QStringLiteral(".vellicor-restore-")));
    EXPECT_EQ(QFileInfo(folder + QLatin1Char('/') + copy).size(), 0);
    EXPECT_EQ(removeLeftRestoreCopies().removed, 1);
    EXPECT_EQ(entriesOf(folder), QStringList {});
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});

    // Written to since: not a copy the program had begun.
    QString path = folder + QLatin1Char('/') + copyLeftByARunKilledAt(folder, EndedAt::madeNotRecorded);
    writeTestFile(path, "the user's own");
    EXPECT_EQ(removeLeftRestoreCopies().removed, 0);
    EXPECT_EQ(readTestFile(path), QByteArray("the user's own"));
    ASSERT_TRUE(QFile::remove(path));

    // A second name of a file kept elsewhere.
    path = folder + QLatin1Char('/') + copyLeftByARunKilledAt(folder, EndedAt::madeNotRecorded);
    const QString kept = home.path() + QStringLiteral("/kept");
    writeTestFile(kept, QByteArray());
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::link(QFile::encodeName(kept).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_EQ(removeLeftRestoreCopies().removed, 0);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(QFileInfo::exists(kept));
    ASSERT_TRUE(QFile::remove(path));

    // Another user's, empty, at that name.
    if (::geteuid() == 0) {
        path = folder + QLatin1Char('/') + copyLeftByARunKilledAt(folder, EndedAt::madeNotRecorded);
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), otherUser, otherUser), 0);
        EXPECT_EQ(removeLeftRestoreCopies().removed, 0);
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
}

// Records the program could not have written (a FIFO under a record's
// name, one too long to be a record, one whose tag or folder is not one it
// makes) are dropped and hold no sweep; a real one beside them is acted on.
TEST_F(LeftCopies, RecordsTheProgramCouldNotHaveWrittenAreDroppedWithoutHoldingTheSweep)
{
    const QString copy = copyLeftByARunKilledAt(folder, EndedAt::writing);
    ASSERT_FALSE(copy.isEmpty());
    const QString journal = RestoreCopies::folder();
    ASSERT_EQ(::mkfifo(QFile::encodeName(journal + QStringLiteral("/00000000000000aa.record")).constData(), 0600), 0);
    writeTestFile(journal + QStringLiteral("/00000000000000bb.record"),
        "folder=" + QFile::encodeName(folder) + "\n" + QByteArray(128 * 1024, 'x'));
    // A relative folder, and a folder's own record without the copy's inode
    // naming a file written to.
    const QString hostile = home.path() + QStringLiteral("/hostile");
    ASSERT_TRUE(QDir().mkpath(hostile));
    struct stat hostileFolder { };
    ASSERT_EQ(::stat(QFile::encodeName(hostile).constData(), &hostileFolder), 0);
    const QByteArray fields = "device=" + QByteArray::number(quint64(hostileFolder.st_dev)) + "\ninode="
        + QByteArray::number(quint64(hostileFolder.st_ino)) + "\n";
    for (const char* tag : { "00000000000000cc", "00000000000000dd" })
        writeTestFile(hostile + QStringLiteral("/.vellicor-restore-") + QLatin1String(tag), "the user's");
    writeTestFile(journal + QStringLiteral("/00000000000000cc.record"), "folder=hostile\n" + fields);
    writeTestFile(journal + QStringLiteral("/00000000000000dd.record"), "folder=" + QFile::encodeName(hostile) + "\n" + fields);

    QThreadPool::globalInstance()->waitForDone();
    const BoundedRun sweep = runBoundedChild([] { return removeLeftRestoreCopies().removed; }, 20000, qint64(1) << 30);
    EXPECT_FALSE(sweep.pastDeadline) << "the sweep waited on a FIFO in its journal";
    EXPECT_EQ(sweep.exitCode, 1);
    EXPECT_EQ(entriesOf(folder), QStringList {});
    EXPECT_EQ(entriesOf(journal), QStringList {});
    for (const char* tag : { "00000000000000cc", "00000000000000dd" })
        EXPECT_EQ(readTestFile(hostile + QStringLiteral("/.vellicor-restore-") + QLatin1String(tag)), QByteArray("the user's"));
}

// A left copy removed by someone else frees its inode, and a file made at
// its name next gets it again on many file systems: that file, another
// user's or one of the user's other programs, is never taken for the copy.
// Where the file system keeps no birth time, another user's is still told
// by its owner.
TEST_F(LeftCopies, AFileMadeAtTheCopysNameOnItsFreedInodeStays)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a loop volume and another user need root";
    for (const QStringList& mkfs :
        { QStringList { "mkfs.ext4", "-q", "-F" }, QStringList { "mkfs.ext4", "-q", "-F", "-I", "128" } }) {
        SCOPED_TRACE(mkfs.join(u' ').toStdString());
        const QString mounted = home.path() + QStringLiteral("/shared");
        LoopVolume volume(home.path() + QStringLiteral("/shared.img"), mounted, mkfs, 16);
        if (!volume.whyNot().empty())
            GTEST_SKIP() << volume.whyNot();
        const bool keepsBirthTimes = mkfs.size() == 3;
        // A folder the user shares with others, who may write in it.
        ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0711), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(mounted).constData(), 0755), 0);
        const QString restored = mounted + QStringLiteral("/Restored");
        ASSERT_TRUE(QDir().mkpath(restored));
        ASSERT_EQ(::chmod(QFile::encodeName(restored).constData(), 0777), 0);
        const auto inodeOf = [](const QString& path) {
            struct stat status { };
            return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : ino_t(0);
        };
        const auto madeAgainBy = [&](bool otherUser, const QByteArray& bytes) {
            const QString path = restored + QLatin1Char('/') + copyLeftByARunKilledAt(restored, EndedAt::writing);
            const ino_t copy = inodeOf(path);
            const auto makeAgain = [&] {
                if (!QFile::remove(path))
                    return false;
                writeTestFile(path, bytes);
                return inodeOf(path) == copy;
            };
            return std::pair(path, otherUser ? asOtherUser(makeAgain) : makeAgain());
        };

        const auto [theirs, theirsGotTheInode] = madeAgainBy(true, "another user's");
        if (!theirsGotTheInode)
            GTEST_SKIP() << "this file system did not give the freed inode again";
        EXPECT_EQ(removeLeftRestoreCopies().removed, 0);
        EXPECT_EQ(readTestFile(theirs), QByteArray("another user's"));
        ASSERT_TRUE(QFile::remove(theirs));

        if (keepsBirthTimes) {
            const auto [mine, mineGotTheInode] = madeAgainBy(false, "the user's other program's");
            ASSERT_TRUE(mineGotTheInode);
            EXPECT_EQ(removeLeftRestoreCopies().removed, 0);
            EXPECT_EQ(readTestFile(mine), QByteArray("the user's other program's"));
            ASSERT_TRUE(QFile::remove(mine));
        }
        EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});

        // The copy itself still goes.
        const QString copy = copyLeftByARunKilledAt(restored, EndedAt::writing);
        EXPECT_EQ(removeLeftRestoreCopies().removed, 1);
        EXPECT_FALSE(QFileInfo::exists(restored + QLatin1Char('/') + copy));
    }
}

// A disk the copy was made on comes back through another device (plugged
// into another port): its file system's own identity tells it, and the
// partial copy goes. While it is away the user hears once where the copy
// may be; its record waits for the volume.
TEST_F(LeftCopies, ACopyOnAVolumeBackUnderAnotherDeviceIsKnownByItsFileSystemAndGoes)
{
    const QString mounted = home.path() + QStringLiteral("/stick");
    LoopVolume stick(home.path() + QStringLiteral("/stick.img"), mounted, { "mkfs.ext4", "-q", "-F" }, 16);
    if (!stick.whyNot().empty())
        GTEST_SKIP() << stick.whyNot();
    const QString restored = mounted + QStringLiteral("/Restored");
    ASSERT_TRUE(QDir().mkpath(restored));
    const QString copy = copyLeftByARunKilledAt(restored, EndedAt::writing);
    ASSERT_FALSE(copy.isEmpty());
    const QString shown = restored + QLatin1Char('/') + copy;

    ASSERT_TRUE(stick.unmount());
    RestoreCopiesSweep sweep = removeLeftRestoreCopies(AwayCopies::toldOnce);
    EXPECT_EQ(sweep.removed, 0);
    ASSERT_EQ(sweep.away.size(), 1u);
    EXPECT_EQ(sweep.away[0].path, shown);
    EXPECT_TRUE(sweep.away[0].reason.startsWith(QStringLiteral("its folder cannot be reached now")))
        << sweep.away[0].reason.toStdString();
    EXPECT_TRUE(removeLeftRestoreCopies(AwayCopies::toldOnce).away.empty());
    EXPECT_EQ(entriesOf(RestoreCopies::folder()).size(), 1);

    const QString before = stick.device();
    ASSERT_TRUE(stick.mountThroughAnotherDevice());
    ASSERT_NE(stick.device(), before);
    EXPECT_EQ(copiesIn(restored), QStringList { copy });
    sweep = removeLeftRestoreCopies(AwayCopies::toldOnce);
    EXPECT_EQ(sweep.removed, 1);
    EXPECT_TRUE(sweep.away.empty());
    EXPECT_EQ(entriesOf(restored), QStringList {});
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
}

// Another volume at the recorded folder's path, its folder made alike, is
// not the recorded one: what stands there under the copy's name stays.
TEST_F(LeftCopies, AnotherVolumeAtTheRecordedPathIsNotTakenForTheRecordedOne)
{
    const QString mounted = home.path() + QStringLiteral("/stick");
    std::optional<LoopVolume> stick;
    stick.emplace(home.path() + QStringLiteral("/stick.img"), mounted, QStringList { "mkfs.ext4", "-q", "-F" }, 16);
    if (!stick->whyNot().empty())
        GTEST_SKIP() << stick->whyNot();
    const QString restored = mounted + QStringLiteral("/Restored");
    ASSERT_TRUE(QDir().mkpath(restored));
    const QString copy = copyLeftByARunKilledAt(restored, EndedAt::writing);
    stick.reset();
    const LoopVolume other(home.path() + QStringLiteral("/other.img"), mounted, { "mkfs.ext4", "-q", "-F" }, 16);
    ASSERT_EQ(other.whyNot(), std::string());
    ASSERT_TRUE(QDir().mkpath(restored));
    writeTestFile(restored + QLatin1Char('/') + copy, "another disk's file");

    const RestoreCopiesSweep sweep = removeLeftRestoreCopies(AwayCopies::toldOnce);
    EXPECT_EQ(sweep.removed, 0);
    ASSERT_EQ(sweep.away.size(), 1u);
    EXPECT_EQ(sweep.away[0].reason, QStringLiteral("another volume is at its folder's path now"));
    EXPECT_EQ(readTestFile(restored + QLatin1Char('/') + copy), QByteArray("another disk's file"));
    EXPECT_EQ(entriesOf(RestoreCopies::folder()).size(), 1);
}

// The user moves the folder a copy was left in away and makes another at
// its path: nothing in the new folder is taken for the copy (neither the
// user's file at its name nor the name's absence), the user hears once
// that the copy went with the folder, and the copy goes once its folder is
// back at its path.
TEST_F(LeftCopies, AFolderMovedAwayAndMadeAgainKeepsItsCopysRecordAndTheNewFolderIsLeftAlone)
{
    const QString mounted = home.path() + QStringLiteral("/disk");
    LoopVolume disk(home.path() + QStringLiteral("/disk.img"), mounted, { "mkfs.ext4", "-q", "-F" }, 16);
    if (!disk.whyNot().empty())
        GTEST_SKIP() << disk.whyNot();
    const QString pics = mounted + QStringLiteral("/pics");
    const QString moved = mounted + QStringLiteral("/pics-old");
    ASSERT_TRUE(QDir().mkpath(pics));
    const QString copy = copyLeftByARunKilledAt(pics, EndedAt::writing);
    ASSERT_FALSE(copy.isEmpty());
    ASSERT_TRUE(QDir().rename(pics, moved));
    ASSERT_TRUE(QDir().mkpath(pics));

    RestoreCopiesSweep sweep = removeLeftRestoreCopies(AwayCopies::toldOnce);
    EXPECT_EQ(sweep.removed, 0);
    ASSERT_EQ(sweep.away.size(), 1u);
    EXPECT_EQ(sweep.away[0].path, pics + QLatin1Char('/') + copy);
    EXPECT_TRUE(sweep.away[0].reason.contains(QStringLiteral("moved or replaced")))
        << sweep.away[0].reason.toStdString();
    EXPECT_EQ(entriesOf(RestoreCopies::folder()).size(), 1);

    // The user's own file of one name, empty or not, at the copy's name.
    for (const QByteArray& bytes : { QByteArray("the user's own"), QByteArray() }) {
        writeTestFile(pics + QLatin1Char('/') + copy, bytes);
        sweep = removeLeftRestoreCopies(AwayCopies::toldOnce);
        EXPECT_EQ(sweep.removed, 0);
        EXPECT_TRUE(sweep.away.empty());
        EXPECT_EQ(readTestFile(pics + QLatin1Char('/') + copy), bytes);
        EXPECT_EQ(entriesOf(RestoreCopies::folder()).size(), 1);
    }
    EXPECT_EQ(copiesIn(moved), QStringList { copy });

    ASSERT_TRUE(QDir(pics).removeRecursively());
    ASSERT_TRUE(QDir().rename(moved, pics));
    EXPECT_EQ(removeLeftRestoreCopies(AwayCopies::toldOnce).removed, 1);
    EXPECT_EQ(entriesOf(pics), QStringList {});
    EXPECT_EQ(entriesOf(RestoreCopies::folder()), QStringList {});
}

// A file system's identity is its own: the same through two devices,
// another for another file system made alike.
TEST(VolumeIdentity, IsTheFileSystemsOwnWhateverDeviceItIsMountedFrom)
{
    TempHome home;
    const QString mounted = home.path() + QStringLiteral("/disk");
    LoopVolume disk(home.path() + QStringLiteral("/disk.img"), mounted, { "mkfs.ext4", "-q", "-F" }, 16);
    if (!disk.whyNot().empty())
        GTEST_SKIP() << disk.whyNot();
    const auto identityAt = [](const QString& path) {
        const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        return volumeIdentity(fd.get());
    };
    const auto first = identityAt(mounted);
    ASSERT_TRUE(first);
    ASSERT_TRUE(disk.mountThroughAnotherDevice());
    EXPECT_EQ(identityAt(mounted), first);
    const QString elsewhere = home.path() + QStringLiteral("/other");
    const LoopVolume other(home.path() + QStringLiteral("/other.img"), elsewhere, { "mkfs.ext4", "-q", "-F" }, 16);
    ASSERT_EQ(other.whyNot(), std::string());
    EXPECT_NE(identityAt(elsewhere), first);

    // The device manager's names of the disks: a link per UUID to its node.
    const QString byUuid = home.path() + QStringLiteral("/by-uuid");
    ASSERT_TRUE(QDir().mkpath(byUuid));
    ASSERT_TRUE(QFile::link(disk.device(), byUuid + QStringLiteral("/1234-ABCD")));
    ASSERT_TRUE(QFile::link(other.device(), byUuid + QStringLiteral("/5678-EF01")));
    struct stat node { };
    ASSERT_EQ(::stat(QFile::encodeName(other.device()).constData(), &node), 0);
    EXPECT_EQ(FileSystemInfoDetail::blockDeviceUuid(node.st_rdev, byUuid), QByteArray("5678-EF01"));
    EXPECT_EQ(FileSystemInfoDetail::blockDeviceUuid(node.st_rdev + 1000, byUuid), std::nullopt);
}

// A sweep still under way when the program ends (its folders answer slowly)
// is ended with it: the program's end takes away nothing the sweep still
// uses, and ends as it should.
TEST_F(LeftCopies, TheProgramEndsWithoutAFaultWhileASweepIsUnderWay)
{
    // Records of folders on several volumes, each under a device number
    // it is not on, so that every one is looked at on its volume.
    ASSERT_EQ(JournalRecords::ensureFolder(RestoreCopies::folder(), PrivateFiles::Make::ifMissing), std::nullopt);
    const QStringList folders { folder, QStringLiteral("/dev/shm"), QStringLiteral("/proc"), QStringLiteral("/sys") };
    for (int i = 0; i < 3000; ++i) {
        const QByteArray tag = QByteArray::number(0x1000000 + i, 16);
        writeTestFile(RestoreCopies::folder() + QLatin1Char('/') + QLatin1String(tag) + QStringLiteral(".record"),
            "folder=" + QFile::encodeName(folders[i % folders.size()]) + "\ndevice=1\ninode=1\nnetwork=0\n");
    }
    QThreadPool::globalInstance()->waitForDone();
    int faults = 0;
    for (int run = 0; run < 20; ++run) {
        const int code = exitCodeOfChild([run]() -> int {
            sweepLeftRestoreCopiesAside();
            ::usleep(useconds_t(5000 + run * 1000));
            std::exit(leftFilesSweepsUnderWay() > 0 ? 0 : 2);
        });
        faults += code == -1 ? 1 : 0;
        EXPECT_NE(code, 2) << "the sweep had ended before the program did";
    }
    EXPECT_EQ(faults, 0) << "the program's end failed while a sweep was under way";
}
