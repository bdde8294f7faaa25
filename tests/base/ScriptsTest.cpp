#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The fields of a user's entry in the user database, as its file lists
// them: name, password, uid, gid, comment, home, shell.
std::optional<QStringList> passwdEntry(const char* name)
{
    const struct passwd* entry = ::getpwnam(name);
    if (!entry)
        return std::nullopt;
    return QStringList { QString::fromLocal8Bit(entry->pw_name), QString(), QString::number(entry->pw_uid),
        QString::number(entry->pw_gid), QString(), QString::fromLocal8Bit(entry->pw_dir),
        QString::fromLocal8Bit(entry->pw_shell) };
}

} // namespace

// The build and test scripts run on any machine: what they keep (builds,
// compiler caches, screenshots) lies in the checkout or in the user's own
// folders, never in a fixed folder another machine may not have.
TEST(Scripts, NameNoFolderOutsideTheCheckoutAndTheUsersFolders)
{
    const QDir scripts(QStringLiteral(VELLICOR_SOURCE_DIR "/scripts"));
    // An absolute path: one that does not follow a variable (quoted or not),
    // a name or another slash.
    const QRegularExpression absolute(QStringLiteral(R"((?<![\w.$}/])(?<![\w}]")/[A-Za-z][\w.-]*(?:/[\w.-]+)*)"));
    const QStringList system { QStringLiteral("/usr/bin/env"), QStringLiteral("/dev/null") };
    int read = 0;
    for (const QString& name : scripts.entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String(".md")) || name.endsWith(QLatin1String(".supp")))
            continue;
        QFile file(scripts.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        ++read;
        for (const auto& match : absolute.globalMatch(QString::fromUtf8(file.readAll())))
            EXPECT_TRUE(system.contains(match.captured()))
                << match.captured().toStdString() << " in " << name.toStdString();
    }
    EXPECT_GE(read, 5);
}

// Started with sudo, scripts/run builds and starts the program as the user
// who called sudo, with that user's home and this session's display, in a
// build folder of theirs (one an earlier run as root left is given back).
// Checked on a copy of the script, whose build tool and program stand in
// for the real ones and say who ran them.
TEST(Scripts, RunUnderSudoBuildsAndStartsTheProgramAsTheUserWhoCalledIt)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    const std::optional<QStringList> nobody = passwdEntry("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user nobody here";
    QTemporaryDir checkout;
    const QString root = checkout.path();
    ASSERT_EQ(::chmod(QFile::encodeName(root).constData(), 0755), 0);
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/scripts")));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/bin")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELLICOR_SOURCE_DIR "/scripts/run"), root + QStringLiteral("/scripts/run")));
    const auto script = [](const QString& path, const QByteArray& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("#!/usr/bin/env bash\n" + text) > 0
            && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                | QFileDevice::ReadOther | QFileDevice::ExeOther);
    };
    ASSERT_TRUE(script(root + QStringLiteral("/scripts/install-deps"), "exit 0\n"));
    // The build leaves a program that says who runs it, with what home,
    // name and display.
    ASSERT_TRUE(script(root + QStringLiteral("/bin/cmake"),
        "[ \"$1\" = --build ] || exit 0\n"
        "id -u > \"$2/built-by\"\n"
        "printf '#!/usr/bin/env bash\\necho \"$(id -u) $HOME $USER $DISPLAY\" > \"$(dirname \"$0\")/ran-as\"\\n' "
        "> \"$2/vellicor\"\n"
        "chmod +x \"$2/vellicor\"\n"));
    // A build folder an earlier run as root left.
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/build")));
    QFile left(root + QStringLiteral("/build/CMakeCache.txt"));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.close();

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        QStringLiteral("PATH"), root + QStringLiteral("/bin:") + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("SUDO_USER"), QStringLiteral("nobody"));
    environment.insert(QStringLiteral("SUDO_UID"), nobody->at(2));
    environment.insert(QStringLiteral("SUDO_GID"), nobody->at(3));
    environment.insert(QStringLiteral("HOME"), QDir::homePath());
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":42"));
    run.setProcessEnvironment(environment);
    run.start(QStringLiteral("bash"), { root + QStringLiteral("/scripts/run") });
    ASSERT_TRUE(run.waitForFinished(30000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();

    QFile ranAs(root + QStringLiteral("/build/ran-as"));
    ASSERT_TRUE(ranAs.open(QIODevice::ReadOnly)) << "the program did not run";
    EXPECT_EQ(ranAs.readAll().trimmed().toStdString(),
        QStringLiteral("%1 %2 nobody :42").arg(nobody->at(2), nobody->at(5)).toStdString());
    QFile builtBy(root + QStringLiteral("/build/built-by"));
    ASSERT_TRUE(builtBy.open(QIODevice::ReadOnly));
    EXPECT_EQ(builtBy.readAll().trimmed(), nobody->at(2).toUtf8());
    struct stat status { };
    ASSERT_EQ(::stat(QFile::encodeName(left.fileName()).constData(), &status), 0);
    EXPECT_EQ(status.st_uid, nobody->at(2).toUInt());
}
