#include "app/SettingsNotices.h"
#include "app/SingleInstance.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "support/RecordingAlerts.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

#include <sys/socket.h>
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
    QCoreApplication::processEvents();
    ASSERT_EQ(alerts->messages(), QStringList { QStringLiteral("Your settings could not be saved.") });
    EXPECT_TRUE(alerts->shown[0].informativeText.contains(parent)) << alerts->shown[0].informativeText.toStdString();

    ASSERT_TRUE(QFile::remove(parent));
    EXPECT_TRUE(defaults.synchronize());
    ASSERT_TRUE(QDir(parent).removeRecursively());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    defaults.setValue(QStringLiteral("protectedFolders"), QVariantList { 1 });
    QCoreApplication::processEvents();
    EXPECT_EQ(alerts->shown.size(), 2u);
}

namespace {

struct Instances : ::testing::Test {
    QTemporaryDir runtime;
    const QString settings = QStringLiteral("/home/someone/.config/Vellicor");
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

    SingleInstance elsewhere(runtime.path(), QStringLiteral("/tmp/other-profile/Vellicor"));
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
