// The log, the settings and their folders are the user's alone, whatever
// mode an earlier run or a umask left them in.
#include "base/PrivateFiles.h"
#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/UserDefaults.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/Watchdog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
// their own in its place between a check and a use: such a place is refused,
// a sticky folder every user may write to (as /tmp) is not.
TEST(PrivateFiles, AFolderInAPlaceOthersCanChangeIsRefused)
{
    QTemporaryDir root;
    const QString shared = root.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    setMode(shared, 0777);
    const QString ours = shared + QStringLiteral("/Vellicor");
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(ours), PrivateFiles::FolderFault::openParent);
    setMode(shared, 01777);
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(ours), std::nullopt);
    EXPECT_EQ(modeOf(ours), mode_t(0700));

    // Not made when it may not be; a refusal is told once per folder.
    const QString absent = root.filePath(QStringLiteral("absent/Vellicor"));
    EXPECT_EQ(PrivateFiles::ensureOwnFolder(absent, PrivateFiles::Make::never), PrivateFiles::FolderFault::missing);
    EXPECT_FALSE(QFileInfo::exists(absent));
    setMode(shared, 0777);
    FolderRefusals::instance().takeUntold();
    for (int i = 0; i < 2; ++i)
        PrivateFiles::useOwnFolder(ours, PrivateFiles::FolderUse::cache);
    PrivateFiles::useOwnFolder(absent, PrivateFiles::FolderUse::cache, PrivateFiles::Make::never);
    const std::vector<FolderRefusals::Refusal> told = FolderRefusals::instance().takeUntold();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].path, ours);
    EXPECT_EQ(told[0].use, PrivateFiles::FolderUse::cache);
    EXPECT_EQ(told[0].fault, PrivateFiles::FolderFault::openParent);
}

// Settings and configuration are read whole: only a regular file within its
// bound, never through a link, and a pipe never holds the reader.
TEST(PrivateFiles, ASmallFileIsReadOnlyWhenItIsARegularFileWithinItsBound)
{
    using Outcome = PrivateFiles::SmallFile::Outcome;
    QTemporaryDir root;
    const QString plain = root.filePath(QStringLiteral("plain.json"));
    writeTestFile(plain, "{}");
    const PrivateFiles::SmallFile read = PrivateFiles::readSmallFile(plain, 2);
    EXPECT_EQ(read.outcome, Outcome::read);
    EXPECT_EQ(read.bytes, QByteArray("{}"));
    EXPECT_EQ(PrivateFiles::readSmallFile(plain, 1).outcome, Outcome::tooLarge);
    EXPECT_EQ(PrivateFiles::readSmallFile(root.filePath(QStringLiteral("none")), 10).outcome, Outcome::missing);

    const QString link = root.filePath(QStringLiteral("link.json"));
    ASSERT_TRUE(QFile::link(plain, link));
    EXPECT_EQ(PrivateFiles::readSmallFile(link, 10).outcome, Outcome::link);
    EXPECT_EQ(PrivateFiles::readSmallFile(root.path(), 10).outcome, Outcome::notAFile);

    const QString fifo = root.filePath(QStringLiteral("fifo.json"));
    makeTestFifo(fifo);
    const auto fromFifo = runWithWatchdog([fifo] { return PrivateFiles::readSmallFile(fifo, 10).outcome; });
    EXPECT_EQ(fromFifo, std::optional(Outcome::notAFile));
}

// A folder another user made first, open to all, with a link where the log
// goes to a file of the user's: nothing reaches that file.
TEST(PrivateFiles, AStateFolderAnotherUserMadeIsNeverWrittenIn)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a folder to another user here";
    TempHome home;
    const QString target = home.path() + QStringLiteral("/.bashrc");
    writeTestFile(target, "# the user's own\n");
    const QString theirs = AppPaths::stateFolder();
    ASSERT_TRUE(QDir().mkpath(theirs));
    setMode(theirs, 0777);
    ASSERT_TRUE(QFile::link(target, AppPaths::logFile()));
    ASSERT_EQ(::lchown(QFile::encodeName(AppPaths::logFile()).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
    FolderRefusals::instance().takeUntold();

    Log::print("scanned /home/someone/$(touch pwned).txt");
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("# the user's own\n"));
    EXPECT_EQ(modeOf(theirs), mode_t(0777));
    const std::vector<FolderRefusals::Refusal> told = FolderRefusals::instance().takeUntold();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].fault, PrivateFiles::FolderFault::otherOwner);
    EXPECT_EQ(told[0].use, PrivateFiles::FolderUse::state);
}
