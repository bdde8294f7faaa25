// What each service's sign-in asks access to, as its provider reads the
// browser's authorize request: the configured "scope" where one is given,
// else the service's own; never an empty scope parameter.
#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/OAuthSession.h"
#include "cloud/OneDriveHandler.h"
#include "support/FakeHttpServer.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// The configuration of the fake provider, with scope when one is given.
CloudServiceConfig configured(const FakeHttpServer& server, const std::optional<QString>& scope)
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

template <typename Handler> Asked signInAsked(const std::optional<QString>& scope)
{
    FakeHttpServer server;
    EXPECT_TRUE(server.listen());
    server.enableOAuth(QStringLiteral("client"));
    Handler handler(configured(server, scope));
    EXPECT_TRUE(signIn(handler, server));
    return askedOf(server);
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
