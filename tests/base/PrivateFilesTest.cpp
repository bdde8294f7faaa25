// The log, the settings and their folders are the user's alone, whatever
// mode an earlier run or a umask left them in.
#include "base/PrivateFiles.h"
#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/UserDefaults.h"
#include "support/TempHome.h"

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
        EXPECT_EQ(modeOf(folder), mode_t(0700));
        EXPECT_EQ(modeOf(defaults.filePath()), mode_t(0600));
    }
    // Left open by hand or by an earlier run: the next save narrows both and
    // keeps what was stored.
    setMode(folder, 0755);
    setMode(folder + QStringLiteral("/settings.json"), 0644);
    UserDefaults defaults(folder);
    ASSERT_TRUE(defaults.setValue(QStringLiteral("excludedFolders"), QVariantList {}));
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
