#include "cloud/CloudConfig.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/Watchdog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(CloudConfigAddresses, TokenAndApiAddressesOverPlainHttpAreRefusedOffThisMachine)
{
    const auto load = [](const char* address) {
        return CloudConfig::fromJson(QStringLiteral("x"),
            { { QStringLiteral("clientId"), QStringLiteral("c") },
                { QStringLiteral("authorizeUrl"), QStringLiteral("https://sign.example/authorize") },
                { QStringLiteral("tokenUrl"), QString::fromLatin1(address) },
                { QStringLiteral("apiBaseUrl"), QString::fromLatin1(address) },
                { QStringLiteral("discoveryUrl"), QString::fromLatin1(address) } });
    };
    for (const char* kept : { "https://api.example/v1/", "http://127.0.0.1:8080/", "http://127.4.5.6/",
             "http://[::1]:9000/", "http://LocalHost/" }) {
        const CloudServiceConfig config = load(kept);
        EXPECT_TRUE(config.hasCredentials()) << kept;
        EXPECT_EQ(config.apiBaseUrl, QUrl(QString::fromLatin1(kept))) << kept;
        EXPECT_TRUE(config.url(QStringLiteral("discoveryUrl"))) << kept;
    }
    for (const char* refused : { "http://api.example/v1/", "http://localhost.example/", "http://128.0.0.1/",
             "http://[::2]/", "ftp://127.0.0.1/" }) {
        const CloudServiceConfig config = load(refused);
        EXPECT_FALSE(config.hasCredentials()) << refused;
        EXPECT_TRUE(config.apiBaseUrl.isEmpty()) << refused;
        EXPECT_FALSE(config.url(QStringLiteral("discoveryUrl"))) << refused;
    }
}

TEST(CloudConfigAddresses, TheSignInPageOverPlainHttpIsRefusedOffThisMachine)
{
    const auto load = [](const char* address) {
        return CloudConfig::fromJson(QStringLiteral("x"),
            { { QStringLiteral("clientId"), QStringLiteral("c") },
                { QStringLiteral("authorizeUrl"), QString::fromLatin1(address) },
                { QStringLiteral("tokenUrl"), QStringLiteral("https://sign.example/token") } });
    };
    for (const char* kept : { "https://sign.example/authorize", "http://127.0.0.1:8080/authorize" })
        EXPECT_TRUE(load(kept).hasCredentials()) << kept;
    for (const char* refused : { "http://sign.example/authorize", "http://192.168.1.9/authorize" }) {
        EXPECT_FALSE(load(refused).hasCredentials()) << refused;
        EXPECT_TRUE(load(refused).authorizeUrl.isEmpty()) << refused;
    }
}

namespace {

void writeConfig(const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(CloudConfig::configFile()).path());
    writeTestFile(CloudConfig::configFile(), bytes);
}

const QByteArray dropbox = R"({"dropbox": {"clientId": "c", "authorizeUrl": "https://a.example/",
    "tokenUrl": "https://t.example/", "apiBaseUrl": "https://api.example/"}})";

} // namespace

// The configuration is read when a cloud source is chosen, on the GUI thread:
// a pipe in its place never holds it, and neither a pipe, a link, a device
// nor a file far too large is taken. The source then says why it is not set
// up.
TEST(CloudConfigFile, OnlyASmallRegularFileIsReadAndAnythingElseIsToldWithoutWaiting)
{
    TempHome home;
    writeConfig(dropbox);
    EXPECT_TRUE(CloudConfig::load(QStringLiteral("dropbox")).hasCredentials());

    const QString file = CloudConfig::configFile();
    QFile::remove(file);
    makeTestFifo(file);
    const auto fromPipe = runWithWatchdog([] { return CloudConfig::load(QStringLiteral("dropbox")); });
    // Whatever still waits on the pipe is let go.
    const int writer = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        ::close(writer);
    ASSERT_TRUE(fromPipe);
    EXPECT_FALSE(fromPipe->hasCredentials());
    const QString told = fromPipe->missingCredentialsText(QStringLiteral("Dropbox"));
    EXPECT_EQ(told,
        QStringLiteral("Dropbox is not set up: its configuration %1 was not read. It is not a regular file.").arg(file))
        << told.toStdString();

    QFile::remove(file);
    QTemporaryDir elsewhere;
    writeTestFile(elsewhere.filePath(QStringLiteral("cloud.json")), dropbox);
    ASSERT_TRUE(QFile::link(elsewhere.filePath(QStringLiteral("cloud.json")), file));
    EXPECT_TRUE(CloudConfig::load(QStringLiteral("dropbox"))
                    .missingCredentialsText(QStringLiteral("Dropbox"))
                    .endsWith(QStringLiteral("It is a link to another place, not a file of its own.")));

    QFile::remove(file);
    writeConfig(dropbox + QByteArray(CloudConfig::largestConfigFile, ' '));
    EXPECT_TRUE(CloudConfig::load(QStringLiteral("dropbox"))
                    .missingCredentialsText(QStringLiteral("Dropbox"))
                    .endsWith(QStringLiteral("It is larger than 1.00 MB, far more than a configuration needs.")));

    // Nothing there at all is no problem to tell: the source is not set up.
    QFile::remove(file);
    EXPECT_TRUE(CloudConfig::load(QStringLiteral("dropbox")).readProblem.isEmpty());
}

// A settings folder every user may change could hand the user's sign-in to
// another: its configuration is not taken.
TEST(CloudConfigFile, AConfigurationInAFolderOthersCanChangeIsNotTaken)
{
    TempHome home;
    const QString shared = home.path() + QStringLiteral("/shared");
    makeFolderOthersCanChange(shared);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(shared));
    writeConfig(dropbox);
    const CloudServiceConfig config = CloudConfig::load(QStringLiteral("dropbox"));
    EXPECT_FALSE(config.hasCredentials());
    EXPECT_TRUE(config.missingCredentialsText(QStringLiteral("Dropbox"))
                    .endsWith(QStringLiteral("The folder that holds it is not used. It lies in a folder that another "
                                             "user can change.")))
        << config.missingCredentialsText(QStringLiteral("Dropbox")).toStdString();
}
