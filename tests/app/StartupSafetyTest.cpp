#include "app/SettingsNotices.h"
#include "app/SingleInstance.h"
#include "base/AlertPresenter.h"
#include "base/AppPaths.h"
#include "base/PrivateFiles.h"
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "support/OtherUserAndVolume.h"
#include "support/RecordingAlerts.h"
#include "support/StartedProgram.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/UserNamespace.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Notices : ::testing::Test {
    void SetUp() override { setAlertPresenter(alerts); }
    void TearDown() override { setAlertPresenter(nullptr); }

    TempHome home;
    QString folder = home.configHome() + QStringLiteral("/Vellicor");
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
};

} // namespace

TEST_F(Notices, ADamagedSettingsFileIsNamedToTheUserWithWhereItWasKept)
{
    QDir().mkpath(folder);
    QFile damaged(folder + QStringLiteral("/settings.json"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(R"({"protectedFolders": {"arr)");
    damaged.close();

    UserDefaults defaults(folder);
    SettingsNotices notices(defaults);
    notices.tellReadProblemAtStart();
    notices.tellReadProblemAtStart();
    ASSERT_EQ(alerts->shown.size(), 1u);
    const QString text = alerts->shown[0].informativeText;
    EXPECT_EQ(alerts->shown[0].messageText, QStringLiteral("Your settings could not be read."));
    EXPECT_TRUE(text.contains(defaults.readProblemAtStart()->keptAt)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Protected folders, exclusions and lists were reset")));

    // A sound file says nothing.
    alerts->shown.clear();
    UserDefaults sound(folder);
    SettingsNotices quiet(sound);
    quiet.tellReadProblemAtStart();
    EXPECT_TRUE(alerts->shown.empty());
}

TEST_F(Notices, AFailedSaveIsToldOnceAndAgainOnlyAfterSavingWorked)
{
    const QString parent = home.configHome() + QStringLiteral("/profile");
    QFile blocker(parent);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    UserDefaults defaults(parent + QStringLiteral("/Vellicor"));
    SettingsNotices notices(defaults);
    defaults.setValue(QStringLiteral("protectedFolders"), QVariantList {});
    defaults.setValue(QStringLiteral("excludedFolders"), QVariantList {});
    EXPECT_FALSE(defaults.synchronize());
    QCoreApplication::processEvents();
    ASSERT_EQ(alerts->messages(), QStringList { QStringLiteral("Your settings could not be saved.") });
    EXPECT_TRUE(alerts->shown[0].informativeText.contains(parent)) << alerts->shown[0].informativeText.toStdString();

    ASSERT_TRUE(QFile::remove(parent));
    EXPECT_TRUE(defaults.synchronize());
    ASSERT_TRUE(QDir(parent).removeRecursively());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    defaults.setValue(QStringLiteral("protectedFolders"), QVariantList { 1 });
    EXPECT_FALSE(defaults.synchronize());
    QCoreApplication::processEvents();
    EXPECT_EQ(alerts->shown.size(), 2u);
}

// Settings that would pass what the next start reads are not written, and the
// user is told it is their size, not that the folder cannot be written (it
// can: the next change that fits is saved).
TEST_F(Notices, ASaveRefusedForItsSizeSaysSoAndNotThatTheFolderCannotBeWritten)
{
    UserDefaults defaults(folder);
    SettingsNotices notices(defaults);
    ASSERT_TRUE(defaults.setValue(
        QStringLiteral("protectedFolders"), QVariantList { QStringLiteral("/data") }, UserDefaults::Saving::now));
    EXPECT_FALSE(defaults.setValue(QStringLiteral("note"), QString(int(UserDefaults::largestFile), QLatin1Char('n')),
        UserDefaults::Saving::now));
    QCoreApplication::processEvents();
    ASSERT_EQ(alerts->messages(), QStringList { QStringLiteral("Your settings could not be saved.") });
    const QString text = alerts->shown[0].informativeText;
    EXPECT_TRUE(text.contains(QStringLiteral(" bytes, more than the %1 bytes that are read back at the next start, "
                                             "so nothing was written.")
                                  .arg(QLocale().toString(UserDefaults::largestFile))))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("can be written"))) << text.toStdString();
    EXPECT_EQ(UserDefaults(folder).arrayValue(QStringLiteral("protectedFolders")),
        QVariantList { QStringLiteral("/data") });

    ASSERT_TRUE(defaults.removeValue(QStringLiteral("note"), UserDefaults::Saving::now));
    EXPECT_EQ(UserDefaults(folder).arrayValue(QStringLiteral("protectedFolders")),
        QVariantList { QStringLiteral("/data") });
}

// A folder of the program's own that another user could shape is told once,
// with what the user loses: the settings folder's at start, the cache
// folder's when a scan first meets it.
TEST_F(Notices, AFolderOthersCouldShapeIsToldOnceWithWhatItMeans)
{
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/elsewhere")));
    ASSERT_TRUE(QFile::link(home.path() + QStringLiteral("/elsewhere"), folder));
    FolderRefusals::instance().takeUntold();
    UserDefaults defaults(folder);
    SettingsNotices notices(defaults);
    notices.tellReadProblemAtStart();
    // Its saves fail without a second notice.
    EXPECT_FALSE(defaults.setValue(QStringLiteral("protectedFolders"), QVariantList {}));
    QCoreApplication::processEvents();
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, QStringLiteral("Vellicor does not use the folder %1.").arg(folder));
    EXPECT_EQ(alerts->shown[0].informativeText,
        QStringLiteral("It is a link to another place, not a folder of its own. Your settings are neither read from "
                       "it nor saved in it: Vellicor runs on its default settings, and changes last only until it "
                       "quits. Remove %1, or make it a folder of yours that only you can open, and start Vellicor "
                       "again.")
            .arg(folder));

    const QString cache = home.path() + QStringLiteral("/shared/Vellicor");
    ASSERT_TRUE(QDir().mkpath(cache));
    ASSERT_EQ(::chmod(QFile::encodeName(QFileInfo(cache).path()).constData(), 0777), 0);
    for (int i = 0; i < 2; ++i)
        PrivateFiles::useOwnFolder(cache, PrivateFiles::FolderUse::cache);
    QCoreApplication::processEvents();
    ASSERT_EQ(alerts->shown.size(), 2u);
    EXPECT_TRUE(alerts->shown[1].informativeText.startsWith(
        QStringLiteral("It lies in a folder that another user can change. Scans run without the cache")));
    // What to mend is the folder others may write, not the program's own.
    EXPECT_TRUE(alerts->shown[1].informativeText.endsWith(
        QStringLiteral(" Another user can change the folder %1: make it writable by you alone, and start Vellicor "
                       "again.")
            .arg(QFileInfo(cache).path())))
        << alerts->shown[1].informativeText.toStdString();
}

// A home its group may write, where another user is in that group: the
// settings, cache and state folders in it are all refused at start, and told
// in one alert that names each, says what the program does without them, and
// names the home as the folder to mend. Removing the program's own folders
// would mend nothing.
TEST(FolderRefusalsAtStart, AHomeAnotherUserMayChangeIsToldOnceNamingItAsTheFolderToMend)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    TempHome home;
    const QStringList ours { AppPaths::settingsFolder(), AppPaths::cacheFolder(), AppPaths::stateFolder() };
    for (const QString& folder : ours) {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
    }
    // The other user's own group, so they are in it; they can indeed make
    // their own entries in the home.
    const QByteArray homePath = QFile::encodeName(home.path());
    ASSERT_EQ(::chown(homePath.constData(), ::geteuid(), otherUser), 0);
    ASSERT_EQ(::chmod(homePath.constData(), 0775), 0);
    ASSERT_TRUE(asOtherUser([&] { return ::mkdir((homePath + "/theirs").constData(), 0700) == 0; }));
    FolderRefusals::instance().takeUntold();
    // Started from a shell without the login's runtime folder: the program's
    // own lies in its cache folder, as the program starts it first.
    qunsetenv("XDG_RUNTIME_DIR");
    SingleInstance instance(AppPaths::runtimeFolder(), AppPaths::settingsFolder());
    ASSERT_EQ(instance.start(), SingleInstance::Start::first);

    const auto alerts = std::make_shared<RecordingAlerts>();
    {
        const StartedProgram program(AppPaths::settingsFolder(), alerts);
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(alerts->shown.size(), 1u) << alerts->messages().join(u'\n').toStdString();
    EXPECT_EQ(alerts->shown[0].messageText, QStringLiteral("Vellicor does not use 4 of its folders:"));
    EXPECT_EQ(alerts->shown[0].informativeText.toStdString(),
        QStringLiteral("%1 lies in a folder that another user can change.\n"
                       "%2 lies in a folder that another user can change.\n"
                       "%3 lies in a folder that another user can change.\n"
                       "%4 lies in a folder that another user can change.\n\n"
                       "Vellicor runs on its default settings, and changes last only until it quits. Scans run "
                       "without the cache of file digests, so every file is read in full again, and photo libraries "
                       "are not read. Vellicor keeps no log, and files it would delete outright are kept, since each "
                       "such deletion is first recorded in its state folder. Starting Vellicor again will not bring "
                       "its window to the front.\n\n"
                       "Another user can change the folder %5: make it writable by you alone. Then start Vellicor "
                       "again.")
            .arg(AppPaths::settingsFolder(), AppPaths::cacheFolder(), AppPaths::stateFolder(),
                AppPaths::runtimeFolder(), home.path())
            .toStdString());
}

// A settings folder the user may not open is told as that, never as "not a
// folder" nor as one another user can change, with what the user can do: open
// a folder of their own up themselves; for one of another user's, ask the
// administrator, or keep the program's folders elsewhere.
TEST(FolderRefusalsAtStart, AFolderTheUserMayNotOpenIsToldSoWithAdviceTheyCanFollow)
{
    constexpr char placeVariable[] = "VELLICOR_TEST_CLOSED_FOLDERS";
    const QStringList homes { QStringLiteral("unsearchable"), QStringLiteral("closed-config"),
        QStringLiteral("theirs") };
    if (!isInsideUserNamespaceRun()) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "a folder of another user's needs root to make";
        QTemporaryDir place;
        ASSERT_EQ(::chmod(QFile::encodeName(place.path()).constData(), 0755), 0);
        const auto make = [](const QString& path, uid_t owner, mode_t mode) {
            const QByteArray name = QFile::encodeName(path);
            return QDir().mkpath(path) && ::chown(name.constData(), owner, owner) == 0
                && ::chmod(name.constData(), mode) == 0;
        };
        for (const QString& home : homes)
            ASSERT_TRUE(make(place.filePath(home), namespaceUser, 0700));
        // The user's own settings folder, which they may read but not search.
        ASSERT_TRUE(make(place.filePath(QStringLiteral("unsearchable/.config")), namespaceUser, 0700));
        ASSERT_TRUE(make(place.filePath(QStringLiteral("unsearchable/.config/Vellicor")), namespaceUser, 0600));
        // Their own configuration folder, closed to them.
        ASSERT_TRUE(make(place.filePath(QStringLiteral("closed-config/.config")), namespaceUser, 0600));
        // A settings folder the superuser made, left from a run as root.
        ASSERT_TRUE(make(place.filePath(QStringLiteral("theirs/.config")), namespaceUser, 0700));
        ASSERT_TRUE(make(place.filePath(QStringLiteral("theirs/.config/Vellicor")), 0, 0700));
        qputenv(placeVariable, QFile::encodeName(place.path()));
        const UserNamespaceRun inside = runCurrentTestInUserNamespace(UserNamespaceMap::userAlone);
        qunsetenv(placeVariable);
        if (!inside.skipped.empty())
            GTEST_SKIP() << inside.skipped;
        EXPECT_EQ(inside.exitCode, 0) << "the run inside the user namespace failed (its output above)";
        return;
    }
    const QString place = qEnvironmentVariable(placeVariable);
    for (const char* variable : { "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR" })
        qunsetenv(variable);
    const QString loss = QStringLiteral(" Your settings are neither read from it nor saved in it: Vellicor runs on its "
                                        "default settings, and changes last only until it quits. ");
    const QString mayNotOpen = QStringLiteral("You may not open it, or a folder on its way.");
    const std::map<QString, QString> told {
        { homes[0],
            mayNotOpen + loss
                + QStringLiteral("Give yourself permission to read, write and open %1/unsearchable/.config/Vellicor "
                                 "(chmod u+rwx). Then start Vellicor again.")
                      .arg(place) },
        { homes[1],
            mayNotOpen + loss
                + QStringLiteral("Give yourself permission to read, write and open %1/closed-config/.config (chmod "
                                 "u+rwx). Then start Vellicor again.")
                      .arg(place) },
        { homes[2],
            QStringLiteral("It belongs to another user.") + loss
                + QStringLiteral("Ask your administrator to give %1/theirs/.config/Vellicor to you, or to remove it. "
                                 "Or start Vellicor with XDG_CONFIG_HOME set to a folder of yours in a place that no "
                                 "other user can change. Then start Vellicor again.")
                      .arg(place) },
    };
    for (const QString& home : homes) {
        SCOPED_TRACE(home.toStdString());
        qputenv("HOME", QFile::encodeName(place + QLatin1Char('/') + home));
        FolderRefusals::instance().takeUntold();
        const auto alerts = std::make_shared<RecordingAlerts>();
        setAlertPresenter(alerts);
        {
            UserDefaults defaults(AppPaths::settingsFolder());
            SettingsNotices notices(defaults);
            notices.tellReadProblemAtStart();
            QCoreApplication::processEvents();
        }
        setAlertPresenter(nullptr);
        ASSERT_EQ(alerts->shown.size(), 1u) << alerts->messages().join(u'\n').toStdString();
        EXPECT_EQ(alerts->shown[0].messageText,
            QStringLiteral("Vellicor does not use the folder %1.").arg(AppPaths::settingsFolder()));
        EXPECT_EQ(alerts->shown[0].informativeText.toStdString(), told.at(home).toStdString());
    }
}

// Without a home folder of the user's own there is nowhere to keep anything
// (an unset HOME once made /.config, /.cache and /.local/state): the program
// says why and does not start.
TEST(HomeFolder, WithoutAHomeOfTheUsersOwnTheProgramSaysWhy)
{
    TempHome home;
    EXPECT_EQ(homeFolderRefusal(), std::nullopt);
    const QString file = home.path() + QStringLiteral("/a-file");
    writeTestFile(file, {});
    const std::pair<QByteArray, QString> homes[] = {
        { QByteArray(), QStringLiteral("The HOME environment variable is not set.") },
        { "relative/home",
            QStringLiteral("The HOME environment variable holds “relative/home”, which is not a full path.") },
        { QFile::encodeName(file), QStringLiteral("Your home folder %1 does not exist or is not a folder.").arg(file) },
    };
    for (const auto& [value, reason] : homes) {
        qputenv("HOME", value);
        const std::optional<StartRefusal> refusal = homeFolderRefusal();
        ASSERT_TRUE(refusal) << value.constData();
        EXPECT_EQ(refusal->message, QStringLiteral("Vellicor cannot start without a home folder of your own."));
        EXPECT_TRUE(refusal->details.startsWith(reason + QLatin1Char(' '))) << refusal->details.toStdString();
    }
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a folder to another user here";
    ASSERT_EQ(::chown(QFile::encodeName(home.path()).constData(), 65534, 65534), 0);
    qputenv("HOME", QFile::encodeName(home.path()));
    ASSERT_TRUE(homeFolderRefusal());
    EXPECT_TRUE(homeFolderRefusal()->details.startsWith(
        QStringLiteral("Your home folder %1 belongs to another user.").arg(home.path())));
}

namespace {

struct Instances : ::testing::Test {
    Instances() { QDir().mkpath(settings); }
    QTemporaryDir runtime;
    QTemporaryDir profiles;
    const QString settings = profiles.filePath(QStringLiteral("someone/.config/Vellicor"));
};

} // namespace

TEST_F(Instances, ALaterStartRaisesTheFirstAndOtherSettingsRunApart)
{
    SingleInstance first(runtime.path(), settings);
    ASSERT_EQ(first.start(), SingleInstance::Start::first);
    QSignalSpy raised(&first, &SingleInstance::activationRequested);

    SingleInstance second(runtime.path(), settings);
    EXPECT_EQ(second.start(), SingleInstance::Start::handedOver);
    EXPECT_TRUE(waitUntil([&] { return raised.count() > 0; }));
    EXPECT_EQ(raised.count(), 1);

    SingleInstance elsewhere(runtime.path(), profiles.filePath(QStringLiteral("other-profile/Vellicor")));
    EXPECT_EQ(elsewhere.start(), SingleInstance::Start::first);
}

TEST_F(Instances, WhatACrashedRunLeftDoesNotBlockTheStart)
{
    SingleInstance probe(runtime.path(), settings);
    // A lock naming a process that is gone, and a socket nobody listens on.
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForFinished(5000));
    const qint64 deadPid = gone.processId() > 0 ? gone.processId() : 999999;
    {
        QFile lock(probe.lockPath());
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadPid) + "\nvellicor\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(probe.socketPath());
    ASSERT_LT(size_t(socketPath.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(probe.socketPath()));

    SingleInstance restarted(runtime.path(), settings);
    ASSERT_EQ(restarted.start(), SingleInstance::Start::first);
    QSignalSpy raised(&restarted, &SingleInstance::activationRequested);
    SingleInstance later(runtime.path(), settings);
    EXPECT_EQ(later.start(), SingleInstance::Start::handedOver);
    EXPECT_TRUE(waitUntil([&] { return raised.count() > 0; }));
}

// A desktop start and a shell without the desktop's runtime folder share one
// home: the second start finds the first through the settings folder and
// raises its window.
TEST_F(Instances, StartsWithOneSettingsFolderAndTwoRuntimeFoldersRunOnce)
{
    QTemporaryDir otherRuntime;
    SingleInstance first(runtime.path(), settings);
    ASSERT_EQ(first.start(), SingleInstance::Start::first);
    QSignalSpy raised(&first, &SingleInstance::activationRequested);

    SingleInstance second(otherRuntime.path(), settings);
    EXPECT_EQ(second.start(), SingleInstance::Start::handedOver);
    EXPECT_TRUE(waitUntil([&] { return raised.count() > 0; }));
    EXPECT_FALSE(QFileInfo::exists(second.socketPath()));
}

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info { };
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

QString listingOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).join(u' ');
}

} // namespace

// A runtime folder another user made first, open to all, with a lock naming a
// running process and a socket that answers: the program still starts, uses
// nothing in that folder, and says why a later start cannot raise it.
TEST_F(Instances, ARuntimeFolderAnotherUserMadeNeitherBlocksTheStartNorIsUsed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a folder to another user here";
    const QString theirs = runtime.filePath(QStringLiteral("Vellicor"));
    ASSERT_TRUE(QDir().mkdir(theirs));
    ASSERT_EQ(::chmod(QFile::encodeName(theirs).constData(), 0777), 0);
    SingleInstance probe(theirs, settings);
    {
        QFile lock(theirs + QStringLiteral("/") + QFileInfo(probe.socketPath()).completeBaseName() + ".lock");
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write("1\nvellicor\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }
    QLocalServer decoy;
    ASSERT_TRUE(decoy.listen(probe.socketPath()));
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
    const QString before = listingOf(theirs);

    SingleInstance program(theirs, settings);
    EXPECT_EQ(program.start(), SingleInstance::Start::first);
    EXPECT_EQ(program.runtimeFolderFault(), PrivateFiles::FolderFault::otherOwner);
    EXPECT_EQ(listingOf(theirs), before);
    QCoreApplication::processEvents();
    EXPECT_FALSE(decoy.hasPendingConnections());
    // The guard itself still holds: a second start is not a second copy.
    SingleInstance second(theirs, settings);
    EXPECT_NE(second.start(), SingleInstance::Start::first);
}

// A link in the runtime folder's place, to a folder of the user's own: that
// folder's mode stays and nothing is written into it.
TEST_F(Instances, ALinkInTheRuntimeFoldersPlaceIsNotFollowed)
{
    QTemporaryDir documents;
    ASSERT_EQ(::chmod(QFile::encodeName(documents.path()).constData(), 0755), 0);
    const QString link = runtime.filePath(QStringLiteral("Vellicor"));
    ASSERT_TRUE(QFile::link(documents.path(), link));

    SingleInstance program(link, settings);
    EXPECT_EQ(program.start(), SingleInstance::Start::first);
    EXPECT_EQ(program.runtimeFolderFault(), PrivateFiles::FolderFault::link);
    EXPECT_EQ(listingOf(documents.path()), QString());
    EXPECT_EQ(modeOf(documents.path()), mode_t(0755));

    const AlertRequest alert = SingleInstance::runtimeFolderAlert(link, *program.runtimeFolderFault());
    EXPECT_EQ(alert.messageText, QStringLiteral("Vellicor does not use the folder %1.").arg(link));
    EXPECT_TRUE(alert.informativeText.startsWith(QStringLiteral("It is a link to another place")))
        << alert.informativeText.toStdString();
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("starting Vellicor again will not bring this window")));
}

// The guard's own files are the user's alone.
TEST_F(Instances, TheLockAndTheRuntimeFolderAreTheUsersAlone)
{
    const QString folder = runtime.filePath(QStringLiteral("Vellicor"));
    SingleInstance program(folder, settings);
    ASSERT_EQ(program.start(), SingleInstance::Start::first);
    EXPECT_EQ(program.runtimeFolderFault(), std::nullopt);
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    EXPECT_EQ(modeOf(program.lockPath()), mode_t(0600));
    EXPECT_TRUE(QFileInfo(program.lockPath()).isFile());
}
