// The log, the settings and their folders are the user's alone, whatever
// mode an earlier run or a umask left them in.
#include "base/PrivateFiles.h"
#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/OtherUsers.h"
#include "base/UserDefaults.h"
#include "support/AccessList.h"
#include "support/OtherUserAndVolume.h"
#include "support/TempHome.h"
#include "support/UserNamespace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info { };
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
}

void setMode(const QString& path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

// A umask that would leave new files readable by everyone, for as long as it
// lives.
struct OpenUmask {
    OpenUmask() { previous = ::umask(022); }
    ~OpenUmask() { ::umask(previous); }
    mode_t previous = 0;
};

} // namespace

TEST(PrivateFiles, TheLogIsMadeForTheUserAloneAndAnOpenOneIsNarrowed)
{
    OpenUmask umask;
    TempHome home;
    ASSERT_TRUE(AppPaths::ensureFolder(AppPaths::stateFolder()));
    Log::print("first line names /home/someone/secret.pdf");
    ASSERT_TRUE(QFile::exists(AppPaths::logFile()));
    EXPECT_EQ(modeOf(AppPaths::logFile()), mode_t(0600));

    // A log an earlier run made readable by others.
    TempHome later;
    ASSERT_TRUE(AppPaths::ensureFolder(AppPaths::stateFolder()));
    QFile old(AppPaths::logFile());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier\n");
    old.close();
    setMode(AppPaths::logFile(), 0644);
    Log::print("next line");
    EXPECT_EQ(modeOf(AppPaths::logFile()), mode_t(0600));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("earlier\nnext line\n"));
}

TEST(PrivateFiles, SettingsAndTheirFolderAreTheUsersAloneAfterASave)
{
    OpenUmask umask;
    TempHome home;
    const QString folder = home.configHome() + QStringLiteral("/Vellicor");
    {
        UserDefaults defaults(folder);
        ASSERT_TRUE(defaults.setValue(QStringLiteral("protectedFolders"), QVariantList { QStringLiteral("/a") }));
        ASSERT_TRUE(defaults.synchronize());
        EXPECT_EQ(modeOf(folder), mode_t(0700));
        EXPECT_EQ(modeOf(defaults.filePath()), mode_t(0600));
    }
    // Left open by hand or by an earlier run: the next save narrows both and
    // keeps what was stored.
    setMode(folder, 0755);
    setMode(folder + QStringLiteral("/settings.json"), 0644);
    UserDefaults defaults(folder);
    ASSERT_TRUE(defaults.setValue(QStringLiteral("excludedFolders"), QVariantList {}));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    EXPECT_EQ(modeOf(defaults.filePath()), mode_t(0600));
    EXPECT_EQ(UserDefaults(folder).object(QStringLiteral("protectedFolders")),
        QVariant(QVariantList { QStringLiteral("/a") }));
}

TEST(PrivateFiles, AFolderForWhatOthersMustNotReplaceIsCheckedWithoutFollowingLinks)
{
    QTemporaryDir root;
    const QString fresh = root.filePath(QStringLiteral("made/here"));
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(fresh), std::nullopt);
    EXPECT_EQ(modeOf(fresh), mode_t(0700));

    const QString open = root.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(open));
    setMode(open, 0777);
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(open), std::nullopt);
    EXPECT_EQ(modeOf(open), mode_t(0700));

    // A link to a folder of the user's own is refused, and that folder's
    // mode stays as it was.
    const QString target = root.filePath(QStringLiteral("documents"));
    ASSERT_TRUE(QDir().mkdir(target));
    setMode(target, 0755);
    const QString link = root.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(link), PrivateFiles::FolderFault::link);
    EXPECT_EQ(modeOf(target), mode_t(0755));
    EXPECT_FALSE(QFile::exists(target + QStringLiteral("/x")));

    const QString file = root.filePath(QStringLiteral("file"));
    QFile plain(file);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(file), PrivateFiles::FolderFault::notAFolder);
}

TEST(PrivateFiles, AFolderAnotherUserMadeIsRefusedAndLeftAsItIs)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a folder to another user here";
    QTemporaryDir root;
    const QString theirs = root.filePath(QStringLiteral("theirs"));
    ASSERT_TRUE(QDir().mkdir(theirs));
    setMode(theirs, 0777);
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(theirs), PrivateFiles::FolderFault::otherOwner);
    EXPECT_EQ(modeOf(theirs), mode_t(0777));
}

// Inside a user namespace that maps the superuser, the system's folders show
// as the superuser's, and an owner the namespace leaves out, shown as the
// overflow id, is another user: a folder of theirs is no place for ours.
TEST(PrivateFiles, AnOwnerANamespaceThatMapsTheSuperuserLeavesOutIsAnotherUser)
{
    constexpr char systemFolderVariable[] = "VELLICOR_TEST_SYSTEM_FOLDER";
    if (!isInsideUserNamespaceRun()) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "only the superuser can give a folder to another user here";
        QTemporaryDir system;
        setMode(system.path(), 0755);
        const QString theirs = system.filePath(QStringLiteral("theirs"));
        ASSERT_TRUE(QDir().mkdir(theirs));
        setMode(theirs, 0755);
        ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 5000, 5000), 0);
        qputenv(systemFolderVariable, QFile::encodeName(system.path()));
        const UserNamespaceRun inside = runCurrentTestInUserNamespace(UserNamespaceMap::superuserAndUser);
        qunsetenv(systemFolderVariable);
        if (!inside.skipped.empty())
            GTEST_SKIP() << inside.skipped;
        EXPECT_EQ(inside.exitCode, 0) << "the run inside the user namespace failed (its output above)";
        return;
    }
    const QString theirs = qEnvironmentVariable(systemFolderVariable) + QStringLiteral("/theirs");
    struct stat root { };
    struct stat status { };
    ASSERT_EQ(::stat("/", &root), 0);
    ASSERT_EQ(root.st_uid, uid_t(0)) << "the root does not show as the superuser's";
    ASSERT_EQ(::stat(QFile::encodeName(theirs).constData(), &status), 0);
    ASSERT_NE(status.st_uid, uid_t(5000)) << "the namespace maps the other user";
    EXPECT_EQ(
        OtherUsers::foldersAnotherUserMayChangeAbove(theirs + QStringLiteral("/Vellicor")).join(u'\n').toStdString(),
        theirs.toStdString());
}

// Whoever may rename entries in the folder that holds one of ours may put
// their own in its place between a check and a use: such a place is refused
// (and told once), a sticky folder every user may write to (as /tmp) is not.
TEST(PrivateFiles, AFolderInAPlaceOthersCanChangeIsRefused)
{
    QTemporaryDir root;
    const QString shared = root.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    setMode(shared, 01777);
    const QString ours = shared + QStringLiteral("/Vellicor");
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(ours), std::nullopt);
    setMode(shared, 0777);
    FolderRefusals::instance().takeUntold();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(
            PrivateFiles::useOwnFolder(ours, PrivateFiles::FolderUse::cache), PrivateFiles::FolderFault::openParent);
    const std::vector<FolderRefusals::Refusal> told = FolderRefusals::instance().takeUntold();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].path, ours);
}

// The place is judged before anything is made in it: a folder of ours
// missing with its parents, in a folder every user may change, is refused and
// leaves nothing behind there.
TEST(PrivateFiles, NothingIsMadeInAPlaceOthersCanChange)
{
    QTemporaryDir root;
    const QString shared = root.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    setMode(shared, 0777);
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(shared + QStringLiteral("/config/deeper/Vellicor")),
        PrivateFiles::FolderFault::openParent);
    EXPECT_EQ(QDir(shared).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

namespace {

void giveTo(const QString& path, uid_t user, gid_t group, mode_t mode)
{
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), user, group), 0) << path.toStdString();
    setMode(path, mode);
}

} // namespace

// The folders above one of ours may let another user rename what they hold
// by more than the mode's other bits: through a group they belong to, or an
// entry of an access list. Such a folder, the one ours lies in or one further
// up, is refused as every user's; a group of the user's alone, as each
// user's own group is by default, and an access list whose mask holds its
// entries back, keep an ordinary home working.
TEST(PrivateFiles, AFolderBelowOneAnotherUserMayWriteThroughItsGroupOrAccessListIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    constexpr gid_t othersGroup = otherUser; // the other user's own group, so they are in it
    QTemporaryDir root;
    const QString home = root.filePath(QStringLiteral("home"));
    const QString config = home + QStringLiteral("/.config");
    const QString ours = config + QStringLiteral("/Vellicor");
    ASSERT_TRUE(QDir().mkpath(ours));
    setMode(root.path(), 0755);
    setMode(home, 0755);
    const auto refusal = [&] { return PrivateFiles::ensureOwnFolder(ours, PrivateFiles::Make::never); };
    ASSERT_EQ(refusal(), std::nullopt);

    // Group-writable for a group the other user is in, kept for new entries
    // (2775): they may put a folder of theirs in the place of ours.
    giveTo(config, ::geteuid(), othersGroup, 02775);
    EXPECT_EQ(refusal(), PrivateFiles::FolderFault::openParent);
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(config + QStringLiteral("/Another")), PrivateFiles::FolderFault::openParent);
    EXPECT_FALSE(QFileInfo::exists(config + QStringLiteral("/Another")));
    EXPECT_TRUE(asOtherUser([&] {
        const QByteArray place = QFile::encodeName(ours);
        return ::rename(place.constData(), (place + ".old").constData()) == 0
            && ::rename((place + ".old").constData(), place.constData()) == 0;
    }));
    // With the sticky bit they may rename only their own entries.
    giveTo(config, ::geteuid(), othersGroup, 03775);
    EXPECT_EQ(refusal(), std::nullopt);
    // The user's own group, with no one else in it.
    giveTo(config, ::geteuid(), ::getegid(), 02775);
    EXPECT_EQ(refusal(), std::nullopt);

    // Further up: the home folder group-writable for the other user's group.
    giveTo(home, ::geteuid(), othersGroup, 0775);
    EXPECT_EQ(refusal(), PrivateFiles::FolderFault::openParent);
    giveTo(home, ::geteuid(), ::getegid(), 0755);

    // An entry of the access list that lets the other user write, as
    // setfacl -m u:nobody:rwx gives: the mode's group bits are then the mask.
    using Entry = AccessEntry;
    giveTo(config, ::geteuid(), ::getegid(), 0755);
    if (!setAccessList(config,
            { { Entry::userObj, 7 }, { Entry::user, 7, otherUser }, { Entry::groupObj, 5 }, { Entry::mask, 7 },
                { Entry::other, 5 } }))
        GTEST_SKIP() << "the temporary folder's file system keeps no access lists";
    EXPECT_EQ(modeOf(config), mode_t(0775));
    EXPECT_EQ(refusal(), PrivateFiles::FolderFault::openParent);
    // The same by a named group the other user is in.
    ASSERT_TRUE(setAccessList(config,
        { { Entry::userObj, 7 }, { Entry::groupObj, 5 }, { Entry::group, 7, othersGroup }, { Entry::mask, 7 },
            { Entry::other, 5 } }));
    EXPECT_EQ(refusal(), PrivateFiles::FolderFault::openParent);
    // Beside a named reader, the owning group's own entry lets the group
    // write, the other user's group.
    giveTo(config, ::geteuid(), othersGroup, 0755);
    ASSERT_TRUE(setAccessList(config,
        { { Entry::userObj, 7 }, { Entry::user, 5, otherUser }, { Entry::groupObj, 7 }, { Entry::mask, 7 },
            { Entry::other, 5 } }));
    EXPECT_EQ(refusal(), PrivateFiles::FolderFault::openParent);
    giveTo(config, ::geteuid(), ::getegid(), 0755);
    // A mask without writing holds the entry back.
    ASSERT_TRUE(setAccessList(config,
        { { Entry::userObj, 7 }, { Entry::user, 7, otherUser }, { Entry::groupObj, 5 }, { Entry::mask, 5 },
            { Entry::other, 5 } }));
    EXPECT_EQ(modeOf(config), mode_t(0755));
    EXPECT_EQ(refusal(), std::nullopt);
    EXPECT_FALSE(asOtherUser([&] { return ::mkdir(QFile::encodeName(config + "/theirs").constData(), 0700) == 0; }));
}

// A link of the user's on the way to one of ours is followed by every later
// open: where its target passes through a folder another user may change,
// they may put a link or a folder of theirs in that place at any time, and
// the path then leads into a folder of theirs, whatever the folder it leads
// to now and the folders above that are. So may they where a link on the way
// is theirs. Such a way is refused; a link whose way no other user can
// change keeps working.
TEST(PrivateFiles, AFolderReachedThroughALinkWhoseWayAnotherUserMayChangeIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    QTemporaryDir root;
    setMode(root.path(), 0755);
    const QString home = root.filePath(QStringLiteral("home"));
    const QString real = home + QStringLiteral("/real");
    const QString team = root.filePath(QStringLiteral("team"));
    const QString config = home + QStringLiteral("/.config");
    const QString ours = config + QStringLiteral("/Vellicor");
    ASSERT_TRUE(QDir().mkpath(real + QStringLiteral("/Vellicor")) && QDir().mkpath(team + QStringLiteral("/x")));
    setMode(home, 0755);
    giveTo(team, ::geteuid(), otherUser, 02775);
    const auto refusalThrough = [&](const QString& target) {
        QFile::remove(config);
        EXPECT_TRUE(QFile::link(target, config));
        return PrivateFiles::ensureOwnFolder(ours, PrivateFiles::Make::never);
    };
    EXPECT_EQ(refusalThrough(real), std::nullopt);
    EXPECT_EQ(refusalThrough(QStringLiteral("real")), std::nullopt);

    // A link of the user's in the shared folder leads home.
    const QString current = team + QStringLiteral("/current");
    ASSERT_TRUE(QFile::link(real, current));
    EXPECT_EQ(refusalThrough(current), PrivateFiles::FolderFault::openParent);
    EXPECT_EQ(refusalThrough(QStringLiteral("../team/current")), PrivateFiles::FolderFault::openParent);
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(config + QStringLiteral("/Another")), PrivateFiles::FolderFault::openParent);
    EXPECT_FALSE(QFileInfo::exists(real + QStringLiteral("/Another")));
    // Up and out of a folder the other user may put in the place of x.
    EXPECT_EQ(refusalThrough(team + QStringLiteral("/x/../../home/real")), PrivateFiles::FolderFault::openParent);
    EXPECT_TRUE(asOtherUser([&] {
        const QByteArray place = QFile::encodeName(current);
        return ::rename(place.constData(), (place + ".old").constData()) == 0
            && ::symlink("/", place.constData()) == 0;
    }));

    // A link of the other user's, which they may take away and make again
    // where a sticky bit leaves it to them.
    const QString sticky = root.filePath(QStringLiteral("sticky"));
    ASSERT_TRUE(QDir().mkdir(sticky));
    giveTo(sticky, 0, 0, 01777);
    const QString theirLink = sticky + QStringLiteral("/home");
    ASSERT_TRUE(QFile::link(real, theirLink));
    ASSERT_EQ(::lchown(QFile::encodeName(theirLink).constData(), otherUser, otherUser), 0);
    EXPECT_EQ(refusalThrough(theirLink), PrivateFiles::FolderFault::openParent);
    ASSERT_EQ(::lchown(QFile::encodeName(theirLink).constData(), ::geteuid(), ::getegid()), 0);
    EXPECT_EQ(refusalThrough(theirLink), std::nullopt);
}
