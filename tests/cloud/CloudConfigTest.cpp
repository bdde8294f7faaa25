#include "cloud/CloudConfig.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/Watchdog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

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

// The configuration is read when a cloud source is chosen, on the GUI thread:
// a pipe in its place never holds it, and neither a pipe nor a file far too
// large is taken. The source then says why it is not set up.
TEST(CloudConfigFile, OnlyASmallRegularFileIsReadAndAnythingElseIsToldWithoutWaiting)
{
    TempHome home;
    const QString file = CloudConfig::configFile();
    const QByteArray dropbox = R"({"dropbox": {"clientId": "c", "authorizeUrl": "https://a.example/",
        "tokenUrl": "https://t.example/", "apiBaseUrl": "https://api.example/"}})";
    QDir().mkpath(QFileInfo(file).path());
    writeTestFile(file, dropbox);
    EXPECT_TRUE(CloudConfig::load(QStringLiteral("dropbox")).hasCredentials());

    QFile::remove(file);
    makeTestFifo(file);
    const auto fromPipe = runWithWatchdog([] { return CloudConfig::load(QStringLiteral("dropbox")); });
    ASSERT_TRUE(fromPipe);
    EXPECT_FALSE(fromPipe->hasCredentials());
    EXPECT_EQ(fromPipe->missingCredentialsText(QStringLiteral("Dropbox")),
        QStringLiteral("Dropbox is not set up: its configuration %1 was not read. It is not a regular file.")
            .arg(file));

    QFile::remove(file);
    writeTestFile(file, dropbox + QByteArray(CloudConfig::largestConfigFile, ' '));
    EXPECT_TRUE(CloudConfig::load(QStringLiteral("dropbox"))
                    .missingCredentialsText(QStringLiteral("Dropbox"))
                    .endsWith(QStringLiteral("It is larger than 1.00 MB, far more than a configuration needs.")));
}

// What a source says when its entry lacks something names what: the client
// id when there is none, each address missing or refused, and never the
// client id when it is there.
TEST(CloudConfigAddresses, TheTextOfASourceNotSetUpNamesEachEntryMissing)
{
    TempHome home;
    const auto said = [](const char* service, const QJsonObject& json) {
        const CloudServiceConfig config = CloudConfig::fromJson(QString::fromLatin1(service), json);
        return config.notSetUpText(QStringLiteral("Source"));
    };
    const QString signIn = QStringLiteral("https://sign.example/authorize");
    const QString token = QStringLiteral("https://sign.example/token");
    const QString api = QStringLiteral("https://api.example/");
    const QJsonObject whole { { "clientId", "c" }, { "authorizeUrl", signIn }, { "tokenUrl", token },
        { "apiBaseUrl", api } };
    const auto without = [&whole](const char* key) {
        QJsonObject json = whole;
        json.remove(QLatin1String(key));
        return json;
    };

    EXPECT_TRUE(said("dropbox", {}).contains("has no client id")) << said("dropbox", {}).toStdString();
    EXPECT_TRUE(said("box", without("clientId")).contains("has no client id"));
    EXPECT_EQ(said("dropbox", without("tokenUrl")),
        QStringLiteral("Source is not set up: its entry \"dropbox\" in %1 has no usable token address (\"tokenUrl\").")
            .arg(CloudConfig::configFile()));
    EXPECT_TRUE(said("onedrive", without("authorizeUrl")).contains("has no usable sign-in page (\"authorizeUrl\")."));
    QJsonObject addressesOnly { { "clientId", "c" } };
    EXPECT_TRUE(said("box", addressesOnly)
                    .contains("has no usable sign-in page (\"authorizeUrl\"), token address (\"tokenUrl\") and "
                              "address of the service (\"apiBaseUrl\")."))
        << said("box", addressesOnly).toStdString();
    // Google's sign-in addresses may come from its discovery document.
    const QJsonObject google { { "clientId", "c" }, { "discoveryUrl", "https://accounts.example/discovery" } };
    EXPECT_TRUE(said("google", google).endsWith("has no usable address of the service (\"apiBaseUrl\")."))
        << said("google", google).toStdString();
    // An address there but refused says what would be taken.
    QJsonObject plain = whole;
    plain["tokenUrl"] = "http://sign.example/token";
    EXPECT_TRUE(said("dropbox", plain).endsWith("(\"tokenUrl\"). An address must be https, or http on this computer."))
        << said("dropbox", plain).toStdString();
    for (const char* service : { "dropbox", "google" })
        EXPECT_FALSE(
            CloudConfig::fromJson(QString::fromLatin1(service), whole).notSetUpText("S").contains("client id"));
}

// An entry that lacks its client id and an address names both, not only the
// first; the client id alone is asked for as before.
TEST(CloudConfigAddresses, AnEntryWithoutItsClientIdAndAnAddressNamesEach)
{
    TempHome home;
    const QJsonObject box { { "authorizeUrl", "https://account.example/authorize" },
        { "apiBaseUrl", "https://api.example/2.0/" } };
    const CloudServiceConfig config = CloudConfig::fromJson(QStringLiteral("box"), box);
    EXPECT_EQ(config.notSetUpText(QStringLiteral("Box")),
        QStringLiteral("Box is not set up: its entry \"box\" in %1 has no client id (\"clientId\") and no usable "
                       "token address (\"tokenUrl\").")
            .arg(CloudConfig::configFile()));
    QJsonObject withToken = box;
    withToken.insert(QStringLiteral("tokenUrl"), QStringLiteral("https://account.example/token"));
    EXPECT_EQ(CloudConfig::fromJson(QStringLiteral("box"), withToken).notSetUpText(QStringLiteral("Box")),
        QStringLiteral("Box is not set up: this copy of Vellicor has no client id for it. Add one under \"box\" in %1.")
            .arg(CloudConfig::configFile()));
}
