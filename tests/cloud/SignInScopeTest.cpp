// What each service's sign-in asks access to, as its provider reads the
// browser's authorize request: the configured "scope" where one is given,
// else the service's own; never an empty scope parameter.
#include "base/AppPaths.h"
#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/OAuthSession.h"
#include "cloud/OneDriveHandler.h"
#include "support/FakeHttpServer.h"

#include <QFile>
#include <QJsonArray>
#include <gtest/gtest.h>

#include <optional>

namespace {

// The configuration of the fake provider, with scope when one is given.
CloudServiceConfig configured(const FakeHttpServer& server, const std::optional<QJsonValue>& scope)
{
    QJsonObject entry { { QStringLiteral("clientId"), QStringLiteral("client") },
        { QStringLiteral("authorizeUrl"), server.url(QStringLiteral("/authorize")).toString() },
        { QStringLiteral("tokenUrl"), server.url(QStringLiteral("/token")).toString() },
        { QStringLiteral("apiBaseUrl"), server.url(QStringLiteral("/api/")).toString() } };
    if (scope)
        entry.insert(QStringLiteral("scope"), *scope);
    return CloudConfig::fromJson(QStringLiteral("service"), entry);
}

// Signs a handler in through the stand-in browser; its session's redirect
// goes back to it.
template <typename Handler> bool signIn(Handler& handler, FakeHttpServer& server)
{
    handler.session().setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
    handler.session().setBrowserOpener([&server, &handler](const QUrl& url) {
        server.browse(url, [&handler](const QUrl& redirect) { handler.session().handleRedirect(redirect); });
    });
    handler.authenticateCloud();
    return waitUntil([&handler] { return handler.isAuthenticateForScan.load(); });
}

struct Asked {
    // The authorize request's scope, none when it names none.
    std::optional<QString> scope;
    // Requests of the sign-in that carry an empty scope.
    int emptyScopes = 0;
};

Asked askedOf(const FakeHttpServer& server)
{
    Asked asked;
    for (const FakeHttpRequest& request : server.requestLog) {
        for (const QUrlQuery& values : { request.query, request.form() }) {
            if (values.hasQueryItem(QStringLiteral("scope"))
                && values.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded).isEmpty())
                ++asked.emptyScopes;
        }
        if (request.path == QLatin1String("/authorize") && request.query.hasQueryItem(QStringLiteral("scope")))
            asked.scope = request.query.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded);
    }
    return asked;
}

template <typename Handler> Asked signInAsked(const std::optional<QJsonValue>& scope)
{
    FakeHttpServer server;
    EXPECT_TRUE(server.listen());
    server.enableOAuth(QStringLiteral("client"));
    Handler handler(configured(server, scope));
    EXPECT_TRUE(signIn(handler, server));
    return askedOf(server);
}

QString logText()
{
    QFile log(AppPaths::logFile());
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

} // namespace

TEST(SignInScope, TheConfiguredScopeWinsElseTheServicesOwnAndNoneIsSentEmpty)
{
    const QString named = QStringLiteral("files.read custom.write");
    const struct {
        const char* service;
        std::function<Asked(const std::optional<QString>&)> signIn;
        std::optional<QString> own;
    } services[] = {
        { "Dropbox", signInAsked<DropBoxHandler>, QString::fromLatin1(DropBoxHandler::scopes) },
        { "OneDrive", signInAsked<OneDriveHandler>, QStringLiteral("user.read files.readWrite.all offline_access") },
        // Box's application is given its access where it is registered.
        { "Box", signInAsked<BoxCloudHandler>, std::nullopt },
    };
    for (const auto& service : services) {
        SCOPED_TRACE(service.service);
        const Asked own = service.signIn(std::nullopt);
        EXPECT_EQ(own.scope, service.own);
        EXPECT_EQ(own.emptyScopes, 0);
        const Asked configuredScope = service.signIn(named);
        EXPECT_EQ(configuredScope.scope, named);
        EXPECT_EQ(configuredScope.emptyScopes, 0);
    }
}

// A scope written loosely is asked for with its blanks tidied; an empty one,
// or one of blanks only, counts as none, as does one that is not text, which
// the log then tells as left out.
TEST(SignInScope, ALooseScopeIsTidiedAndAnEmptyOrMistypedOneCountsAsNoneAndAMistypedOneIsLogged)
{
    const std::optional<QString> dropboxOwn = QString::fromLatin1(DropBoxHandler::scopes);
    const QString tidied = QStringLiteral("files.read custom.write");
    const struct {
        const char* name;
        QJsonValue scope;
        std::optional<QString> dropbox;
        std::optional<QString> box;
        bool logged;
    } cases[] = {
        { "blanks around and between", QStringLiteral(" files.read \t  custom.write\n "), tidied, tidied, false },
        { "empty", QString(), dropboxOwn, std::nullopt, false },
        { "blanks only", QStringLiteral("  \t "), dropboxOwn, std::nullopt, false },
        { "null", QJsonValue::Null, dropboxOwn, std::nullopt, false },
        { "a number", 5, dropboxOwn, std::nullopt, true },
        { "a list", QJsonArray { QStringLiteral("files.read") }, dropboxOwn, std::nullopt, true },
    };
    ASSERT_TRUE(AppPaths::ensureFolder(AppPaths::stateFolder()));
    const QString leftOut = QStringLiteral("\"scope\" of service is not text");
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const qsizetype before = logText().count(leftOut);
        const Asked dropbox = signInAsked<DropBoxHandler>(row.scope);
        EXPECT_EQ(dropbox.scope, row.dropbox);
        EXPECT_EQ(dropbox.emptyScopes, 0);
        const Asked box = signInAsked<BoxCloudHandler>(row.scope);
        EXPECT_EQ(box.scope, row.box);
        EXPECT_EQ(box.emptyScopes, 0);
        EXPECT_EQ(logText().count(leftOut) > before, row.logged) << logText().toStdString();
    }
}
