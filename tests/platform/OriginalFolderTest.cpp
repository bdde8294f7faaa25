#include "platform/FileDataCopy.h"
#include "platform/OriginalFolder.h"
#include "support/AccessList.h"
#include "support/OtherUserAndVolume.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/UserNamespace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

bool linkOf(uid_t owner, const QString& target, const QString& link)
{
    const QByteArray at = QFile::encodeName(link);
    return ::symlink(QFile::encodeName(target).constData(), at.constData()) == 0
        && ::lchown(at.constData(), owner, owner) == 0;
}

struct stat statusOf(const QString& path)
{
    struct stat status { };
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

// The folder at path, made with mode as user's own, in a child with that
// user's rights alone.
bool folderOf(uid_t user, const QString& path, mode_t mode)
{
    return exitCodeOfChild([user, path = QFile::encodeName(path), mode] {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(user, user, user) != 0 || ::setresuid(user, user, user) != 0)
            return 2;
        return ::mkdir(path.constData(), mode) == 0 && ::chmod(path.constData(), mode) == 0 ? 0 : 1;
    }) == 0;
}

// The folder at path, held open while the removal records it, as a removal
// of a file from it does.
std::shared_ptr<const OriginalFolder> recorded(OriginalFolders& folders, const QString& path)
{
    const FileDescriptor held(::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY));
    return folders.record(path, held.get());
}

} // namespace

// Links on the way are followed where the user's own, relative ones too and
// through "..", never where another user's, however deep in a chain, and a
// loop of them ends; folders missing below are made with the modes the
// removal saw.
TEST(OriginalFolder, AWayIsFollowedOnlyThroughTheUsersLinksAndMadeAgainAsItWas)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "links of another user need root";
    TempHome home;
    const QString top = home.path() + QStringLiteral("/top");
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/real/a/b")));
    ASSERT_EQ(::chmod(QFile::encodeName(top + QStringLiteral("/real/a")).constData(), 0710), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(top + QStringLiteral("/real/a/b")).constData(), 0750), 0);
    // The folders as a removal from top/real/a/b recorded them.
    OriginalFolders folders;
    const QString original = top + QStringLiteral("/real/a/b");
    const FileDescriptor held(::open(QFile::encodeName(original).constData(), O_PATH | O_DIRECTORY));
    const auto recorded = folders.record(original, held.get());
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->modes.back(), 0750u);
    EXPECT_EQ(recorded->modes[recorded->modes.size() - 2], 0710u);

    // The user's relative link through "..": the very folder.
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/links")));
    ASSERT_TRUE(linkOf(::geteuid(), QStringLiteral("../real/a"), top + QStringLiteral("/links/mine")));
    EXPECT_TRUE(reachOriginalFolder(top + QStringLiteral("/links/mine/b"), recorded.get()).fd.isOpen());

    // The user's link to another user's link.
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/theirs")));
    ASSERT_EQ(::chown(QFile::encodeName(top + QStringLiteral("/theirs")).constData(), otherUser, otherUser), 0);
    ASSERT_TRUE(linkOf(otherUser, top + QStringLiteral("/theirs"), top + QStringLiteral("/links/planted")));
    ASSERT_TRUE(linkOf(::geteuid(), QStringLiteral("planted"), top + QStringLiteral("/links/chain")));
    const RestoreFolder throughTheirs = reachOriginalFolder(top + QStringLiteral("/links/chain"), recorded.get());
    EXPECT_FALSE(throughTheirs.fd.isOpen());
    EXPECT_EQ(throughTheirs.refusal,
        QStringLiteral("its folder %1/links/chain now belongs to another user").arg(top));
    // Their folder itself, reached by the user's own link.
    ASSERT_TRUE(linkOf(::geteuid(), top + QStringLiteral("/theirs"), top + QStringLiteral("/links/toTheirs")));
    EXPECT_EQ(reachOriginalFolder(top + QStringLiteral("/links/toTheirs"), recorded.get()).refusal,
        QStringLiteral("its folder %1/links/toTheirs now belongs to another user").arg(top));

    // A loop of the user's links ends.
    ASSERT_TRUE(linkOf(::geteuid(), QStringLiteral("loop2"), top + QStringLiteral("/links/loop1")));
    ASSERT_TRUE(linkOf(::geteuid(), QStringLiteral("loop1"), top + QStringLiteral("/links/loop2")));
    EXPECT_EQ(reachOriginalFolder(top + QStringLiteral("/links/loop1/b"), recorded.get()).refusal,
        QStringLiteral("its folder %1/links/loop1 cannot be reached: %2").arg(top, errnoText(ELOOP)));

    // Gone, with the folder above it: both made again as they were.
    ASSERT_TRUE(QDir(top + QStringLiteral("/real/a")).removeRecursively());
    const RestoreFolder made = reachOriginalFolder(original, recorded.get());
    ASSERT_TRUE(made.fd.isOpen()) << made.refusal.toStdString();
    EXPECT_EQ(statusOf(top + QStringLiteral("/real/a")).st_mode & 07777, 0710u);
    EXPECT_EQ(statusOf(original).st_mode & 07777, 0750u);
    EXPECT_EQ(statusOf(original).st_uid, ::geteuid());
}

// Only the data of a sparse file is copied: its holes stay holes, and a
// stop ends the copy between pieces.
TEST(FileDataCopy, ASparseFileKeepsItsHolesAndStopEndsTheCopyBetweenPieces)
{
    TempHome home;
    const QString source = home.path() + QStringLiteral("/sparse");
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.seek(40 << 20));
        ASSERT_EQ(file.write(QByteArray(3 << 20, 'x')), 3 << 20);
        ASSERT_TRUE(file.resize(100 << 20));
    }
    if (statusOf(source).st_blocks * 512 > (8 << 20))
        GTEST_SKIP() << "the temporary folder's file system keeps no holes";
    const FileDescriptor from(::open(QFile::encodeName(source).constData(), O_RDONLY));
    const QString target = home.path() + QStringLiteral("/copy");
    const auto copyTo = [&](const std::function<bool(qint64)>& keepGoing) {
        QFile::remove(target);
        const FileDescriptor to(::open(QFile::encodeName(target).constData(), O_RDWR | O_CREAT | O_EXCL, 0600));
        return copyFileData(from.get(), to.get(), 100 << 20, keepGoing);
    };
    std::vector<qint64> asked;
    const DataCopyEnd whole = copyTo([&](qint64 copied) { return asked.push_back(copied), true; });
    EXPECT_TRUE(whole.isWhole());
    EXPECT_EQ(whole.length, 100 << 20);
    EXPECT_EQ(statusOf(target).st_size, 100 << 20);
    EXPECT_LE(statusOf(target).st_blocks * 512, 8 << 20);
    // Asked before each mebibyte of data, never for the holes.
    EXPECT_EQ(asked, (std::vector<qint64> { 0, 1 << 20, 2 << 20 }));

    const DataCopyEnd stopped = copyTo([](qint64 copied) { return copied < (1 << 20); });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_LE(statusOf(target).st_size, 41 << 20);
}

// A folder the user's file needs made again is never made in a folder
// another user made on the way since, nor in one of theirs that a link of the
// superuser's leads to: there they could read it. In a colleague's folder
// that was there when the file went, it is made as before.
TEST(OriginalFolder, NothingIsMadeAgainInAFolderAnotherUserMadeOnTheWayOrThatALinkLeadsTo)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    TempHome home;
    const QString shared = home.path() + QStringLiteral("/shared");
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0755), 0);
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    // The user's own folder, closed to others, and a colleague's open one.
    const QString mine = shared + QStringLiteral("/mine");
    const QString holiday = mine + QStringLiteral("/holiday");
    ASSERT_TRUE(QDir().mkpath(holiday));
    ASSERT_EQ(::chmod(QFile::encodeName(mine).constData(), 0700), 0);
    const QString colleague = shared + QStringLiteral("/colleague");
    ASSERT_TRUE(folderOf(otherUser, colleague, 0777));
    const QString trip = colleague + QStringLiteral("/trip");
    ASSERT_TRUE(QDir().mkdir(trip));
    OriginalFolders folders;
    const auto holidayWas = recorded(folders, holiday);
    const auto tripWas = recorded(folders, trip);
    ASSERT_TRUE(holidayWas && tripWas);

    // The user's folder went with what it held; another user made one of
    // theirs that anyone may write in its place.
    ASSERT_TRUE(QDir(mine).removeRecursively());
    ASSERT_TRUE(folderOf(otherUser, mine, 0777));
    const RestoreFolder inTheirs = reachOriginalFolder(holiday, holidayWas.get());
    EXPECT_FALSE(inTheirs.fd.isOpen());
    EXPECT_EQ(inTheirs.refusal, QStringLiteral("its folder %1 now belongs to another user").arg(mine));
    EXPECT_EQ(QDir(mine).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList {});

    // A link of the superuser's in its place, to a folder of the other
    // user's that anyone may write.
    ASSERT_TRUE(QDir(mine).removeRecursively());
    const QString theirs = shared + QStringLiteral("/theirs");
    ASSERT_TRUE(folderOf(otherUser, theirs, 0777));
    ASSERT_TRUE(linkOf(0, theirs, mine));
    EXPECT_EQ(reachOriginalFolder(holiday, holidayWas.get()).refusal,
        QStringLiteral("its folder %1 now belongs to another user").arg(mine));
    EXPECT_EQ(QDir(theirs).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList {});

    // The colleague's folder is still the one it was: the user's folder in
    // it is made again.
    ASSERT_TRUE(QDir().rmdir(trip));
    const RestoreFolder inColleagues = reachOriginalFolder(trip, tripWas.get());
    EXPECT_TRUE(inColleagues.fd.isOpen()) << inColleagues.refusal.toStdString();
    EXPECT_EQ(statusOf(trip).st_uid, ::geteuid());
}

namespace {

// An ext2 file system, which keeps no birth times and gives a freed inode
// to the next file made near it, on a loop device mounted at folder in this
// thread's own mount namespace. Why not, or empty.
std::string mountWithoutBirthTimes(const QString& folder, const QString& image)
{
    if (!inOwnMountNamespace())
        return "this machine gives the test no mount of its own";
    if (const std::string failed = mountImageVolume(image, folder, { "mkfs.ext2", "-q", "-F", "-I", "128" });
        !failed.empty())
        return "this machine cannot mount an ext2 image: " + failed;
    return {};
}

} // namespace

// On a volume without birth times, a folder a third user makes where a
// colleague's was may get its freed inode: it is not the folder the file was
// removed from, and takes nothing.
TEST(OriginalFolder, AFolderAnotherUserMadeOnTheFreedInodeOfTheOriginalIsNotIt)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as other users needs root";
    TempHome home;
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0755), 0);
    const QString volume = home.path() + QStringLiteral("/volume");
    if (const std::string whyNot = mountWithoutBirthTimes(volume, home.path() + QStringLiteral("/volume.img"));
        !whyNot.empty())
        GTEST_SKIP() << whyNot;
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(volume).constData(), MNT_DETACH); });
    const QString shared = volume + QStringLiteral("/shared");
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString team = shared + QStringLiteral("/team");
    ASSERT_TRUE(folderOf(otherUser, team, 0777));
    OriginalFolders folders;
    const auto teamWas = recorded(folders, team);
    ASSERT_TRUE(teamWas);
    EXPECT_TRUE(reachOriginalFolder(team, teamWas.get()).fd.isOpen());

    ASSERT_TRUE(asOtherUser([&] { return ::rmdir(QFile::encodeName(team).constData()) == 0; }));
    constexpr uid_t thirdUser = 4321;
    ASSERT_TRUE(folderOf(thirdUser, team, 0777));
    if (statusOf(team).st_ino != teamWas->identity.inode)
        GTEST_SKIP() << "the volume gave the new folder another inode";
    const RestoreFolder reached = reachOriginalFolder(team, teamWas.get());
    EXPECT_FALSE(reached.fd.isOpen());
    EXPECT_EQ(reached.refusal, QStringLiteral("its folder %1 now belongs to another user").arg(team));
}

namespace {

QString notTheOneThatWasThere(const QString& folder)
{
    return QStringLiteral("its folder %1 is not the one that was there when it was removed, and another user could "
                          "have put it there")
        .arg(folder);
}

// As the other user: the folder at path moved aside and the one at instead
// put in its place, or (back) the other way round.
bool swapAsOtherUser(const QString& path, const QString& instead, bool back = false)
{
    return asOtherUser([path = QFile::encodeName(path), instead = QFile::encodeName(instead), back] {
        const QByteArray aside = path + ".aside";
        if (back)
            return ::rename(path.constData(), instead.constData()) == 0
                && ::rename(aside.constData(), path.constData()) == 0;
        return ::rename(path.constData(), aside.constData()) == 0
            && ::rename(instead.constData(), path.constData()) == 0;
    });
}

} // namespace

// A folder the other user may write through its group or an entry of its
// access list lies on the way: they put another folder of the user's own in
// the place of the file's folder. That folder, which they could not change,
// is not the file's and takes nothing, whether the path names it or a link
// of the user's leads there; the very folder still takes the file. Where the
// group is the user's alone, the folder found is the user's own doing and is
// taken.
TEST(OriginalFolder, AFolderAnotherUserCouldHavePutOnTheWayTakesNothingUnlessItIsTheVeryOne)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    TempHome home;
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0755), 0);
    const QString team = home.path() + QStringLiteral("/team");
    const QString docs = team + QStringLiteral("/docs");
    const QString spare = team + QStringLiteral("/spare");
    ASSERT_TRUE(QDir().mkpath(docs) && QDir().mkpath(spare));
    ASSERT_EQ(::chmod(QFile::encodeName(docs).constData(), 0700), 0);
    ASSERT_EQ(::chown(QFile::encodeName(team).constData(), ::geteuid(), otherUser), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(team).constData(), 02775), 0);
    const QString linked = home.path() + QStringLiteral("/linked");
    ASSERT_TRUE(linkOf(::geteuid(), docs, linked));
    OriginalFolders folders;
    const auto docsWas = recorded(folders, docs);
    const auto linkedWas = recorded(folders, linked);
    ASSERT_TRUE(docsWas && linkedWas);
    EXPECT_TRUE(reachOriginalFolder(docs, docsWas.get()).fd.isOpen());
    EXPECT_TRUE(reachOriginalFolder(linked, linkedWas.get()).fd.isOpen());

    // Through the group.
    ASSERT_TRUE(swapAsOtherUser(docs, spare));
    const RestoreFolder steered = reachOriginalFolder(docs, docsWas.get());
    EXPECT_FALSE(steered.fd.isOpen());
    EXPECT_EQ(steered.refusal, notTheOneThatWasThere(docs));
    EXPECT_EQ(reachOriginalFolder(linked, linkedWas.get()).refusal, notTheOneThatWasThere(linked));
    ASSERT_TRUE(swapAsOtherUser(docs, spare, true));

    // Through an access list's entry for them.
    ASSERT_EQ(::chown(QFile::encodeName(team).constData(), ::geteuid(), ::getegid()), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(team).constData(), 0755), 0);
    using Entry = AccessEntry;
    if (!setAccessList(team,
            { { Entry::userObj, 7 }, { Entry::user, 7, otherUser }, { Entry::groupObj, 5 }, { Entry::mask, 7 },
                { Entry::other, 5 } }))
        GTEST_SKIP() << "the temporary folder's file system keeps no access lists";
    ASSERT_TRUE(swapAsOtherUser(docs, spare));
    EXPECT_EQ(reachOriginalFolder(docs, docsWas.get()).refusal, notTheOneThatWasThere(docs));
    ASSERT_TRUE(swapAsOtherUser(docs, spare, true));
    // The very folder, whoever may change the one it lies in.
    EXPECT_TRUE(reachOriginalFolder(docs, docsWas.get()).fd.isOpen());
    EXPECT_TRUE(reachOriginalFolder(linked, linkedWas.get()).fd.isOpen());

    // Writable by the user's own group alone: the user put the folder there.
    ASSERT_EQ(::removexattr(QFile::encodeName(team).constData(), "system.posix_acl_access"), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(team).constData(), 02775), 0);
    ASSERT_TRUE(QDir().rename(docs, docs + QStringLiteral(".aside")) && QDir().rename(spare, docs));
    const RestoreFolder usersOwn = reachOriginalFolder(docs, docsWas.get());
    EXPECT_TRUE(usersOwn.fd.isOpen()) << usersOwn.refusal.toStdString();
}

namespace {

// Waits at most 30 s for the file at path to be there; whether it is.
bool stepReached(const QString& path)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!QFileInfo::exists(path) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return QFileInfo::exists(path);
}

bool markStep(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

} // namespace

// Inside a user namespace another user's folders and links show as the
// overflow id, as the system's do. The user's folder in another user's
// shared folder is replaced after a removal by a link of theirs into the
// user's home, or by a folder of theirs: the undo goes into neither, and
// makes nothing there. A link of theirs to the very folder that was there
// leads to it.
TEST(OriginalFolder, InsideAUserNamespaceAFolderOrLinkOfAnOwnerItCannotTellIsTakenOnlyAsTheRecordedOne)
{
    constexpr char baseVariable[] = "VELLICOR_TEST_SHARED_BASE";
    if (!isInsideUserNamespaceRun()) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "giving folders to other users needs root";
        QTemporaryDir base;
        const QString top = base.path();
        const uid_t user = namespaceUserOf();
        const auto make = [](const QString& path, uid_t owner, mode_t mode) {
            const QByteArray at = QFile::encodeName(path);
            return ::mkdir(at.constData(), mode) == 0 && ::chmod(at.constData(), mode) == 0
                && ::chown(at.constData(), owner, owner) == 0;
        };
        ASSERT_EQ(::chmod(QFile::encodeName(top).constData(), 0755), 0);
        ASSERT_TRUE(make(top + QStringLiteral("/steps"), user, 0777));
        ASSERT_TRUE(make(top + QStringLiteral("/home"), 0, 0755));
        ASSERT_TRUE(make(top + QStringLiteral("/home/ann"), user, 0755));
        ASSERT_TRUE(make(top + QStringLiteral("/shared"), otherUser, 0755));
        ASSERT_TRUE(make(top + QStringLiteral("/shared/ann"), user, 0755));
        ASSERT_TRUE(make(top + QStringLiteral("/shared/ann/photos"), user, 0755));
        const QString ann = top + QStringLiteral("/shared/ann");
        const QString steps = top + QStringLiteral("/steps/");
        // The other user, acting as the run inside reaches each step.
        bool acted = false;
        std::thread other([&] {
            acted = stepReached(steps + QStringLiteral("recorded"))
                && QFile::rename(ann, top + QStringLiteral("/shared/old"))
                && linkOf(otherUser, top + QStringLiteral("/home/ann"), ann)
                && markStep(steps + QStringLiteral("linked")) && stepReached(steps + QStringLiteral("checked"))
                && QFile::remove(ann) && make(ann, otherUser, 0755) && markStep(steps + QStringLiteral("replaced"))
                && stepReached(steps + QStringLiteral("checked again")) && QDir().rmdir(ann)
                && linkOf(otherUser, QStringLiteral("old"), ann) && markStep(steps + QStringLiteral("relinked"));
        });
        qputenv(baseVariable, QFile::encodeName(top));
        const UserNamespaceRun inside = runCurrentTestInUserNamespace();
        qunsetenv(baseVariable);
        // Whatever the run inside came to, the other user's steps end.
        markStep(steps + QStringLiteral("recorded"));
        markStep(steps + QStringLiteral("checked"));
        markStep(steps + QStringLiteral("checked again"));
        other.join();
        if (!inside.skipped.empty())
            GTEST_SKIP() << inside.skipped;
        EXPECT_EQ(inside.exitCode, 0) << "the run inside the user namespace failed (its output above)";
        EXPECT_TRUE(acted);
        return;
    }
    const QString top = qEnvironmentVariable(baseVariable);
    const QString steps = top + QStringLiteral("/steps/");
    struct stat shared { };
    ASSERT_EQ(::stat(QFile::encodeName(top + QStringLiteral("/shared")).constData(), &shared), 0);
    struct stat root { };
    ASSERT_EQ(::stat("/", &root), 0);
    ASSERT_EQ(shared.st_uid, root.st_uid) << "the other user's folder does not show as the system's here";
    const QString photos = top + QStringLiteral("/shared/ann/photos");
    OriginalFolders folders;
    const auto was = recorded(folders, photos);
    ASSERT_TRUE(was);
    // An undo now goes into the very folder.
    ASSERT_TRUE(reachOriginalFolder(photos, was.get()).fd.isOpen());
    ASSERT_TRUE(markStep(steps + QStringLiteral("recorded")));

    const QString notTheOne = QStringLiteral("its folder %1/shared/ann is not the one that was there when it was "
                                             "removed, and another user could have put it there")
                                  .arg(top);
    ASSERT_TRUE(stepReached(steps + QStringLiteral("linked")));
    const RestoreFolder throughTheirLink = reachOriginalFolder(photos, was.get());
    EXPECT_FALSE(throughTheirLink.fd.isOpen());
    EXPECT_EQ(throughTheirLink.refusal, notTheOne);
    EXPECT_FALSE(QFileInfo::exists(top + QStringLiteral("/home/ann/photos")));
    ASSERT_TRUE(markStep(steps + QStringLiteral("checked")));

    ASSERT_TRUE(stepReached(steps + QStringLiteral("replaced")));
    const RestoreFolder inTheirFolder = reachOriginalFolder(photos, was.get());
    EXPECT_FALSE(inTheirFolder.fd.isOpen());
    EXPECT_EQ(inTheirFolder.refusal, notTheOne);
    EXPECT_FALSE(QFileInfo::exists(photos));
    ASSERT_TRUE(markStep(steps + QStringLiteral("checked again")));

    ASSERT_TRUE(stepReached(steps + QStringLiteral("relinked")));
    const RestoreFolder throughToTheOne = reachOriginalFolder(photos, was.get());
    EXPECT_TRUE(throughToTheOne.fd.isOpen()) << throughToTheOne.refusal.toStdString();
}
