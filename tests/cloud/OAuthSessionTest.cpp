#include "cloud/OAuthSession.h"
#include "cloud/RestClient.h"
#include "cloud/SecretStore.h"
#include "support/EndlessAnswers.h"
#include "support/FakeHttpServer.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

class SignIn : public ::testing::Test {
protected:
    FakeHttpServer server;
    MemorySecretStore secrets;
    std::unique_ptr<OAuthSession> session;
    std::optional<std::pair<bool, QString>> outcome;

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        server.enableOAuth(QStringLiteral("test-client"));
        CloudServiceConfig config = CloudConfig::fromJson(QStringLiteral("fake"),
            { { QStringLiteral("clientId"), QStringLiteral("test-client") },
                { QStringLiteral("authorizeUrl"), server.url(QStringLiteral("/authorize")).toString() },
                { QStringLiteral("tokenUrl"), server.url(QStringLiteral("/token")).toString() },
                { QStringLiteral("apiBaseUrl"), server.url(QStringLiteral("/api")).toString() },
                { QStringLiteral("scope"), QStringLiteral("files.read") } });
        session = std::make_unique<OAuthSession>(config, &secrets, QStringLiteral("Authorization1"));
        // The application's loopback listener would receive the redirect; the
        // test's browser hands it over directly.
        session->setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
        session->setBrowserOpener([this](const QUrl& url) {
            server.browse(url, [this](const QUrl& redirect) { session->handleRedirect(redirect); });
        });
        QObject::connect(session.get(), &OAuthSession::signInFinished, [this](bool signedIn, const QString& error) {
            outcome = { signedIn, error };
        });
    }

    void TearDown() override { OAuthSession::setKeepingTokens(true); }

    // Signs in; the client sends the session's token, which the API no
    // longer takes, so its next request needs a refresh.
    void signInWithStaleToken(RestClient& client)
    {
        server.route("GET", QStringLiteral("/api/items"), [this](const FakeHttpRequest& request) {
            if (!server.isAuthorized(request))
                return FakeHttpResponse::json(401, {});
            return FakeHttpResponse::json(200, { { QStringLiteral("items"), 3 } });
        });
        session->signIn();
        ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
        ASSERT_TRUE(outcome->first);
        client.setBaseUrl(session->config().apiBaseUrl);
        session->attach(client);
        server.expireAccessToken();
    }
    // The API's items, asked with that stale token; none when no answer came.
    std::optional<RestReply> askForItems(RestClient& client)
    {
        std::optional<RestReply> reply;
        client.send(RestRequest::get(QStringLiteral("items")), nullptr, [&](const RestReply& r) { reply = r; });
        waitUntil([&] { return reply.has_value(); });
        return reply;
    }
};

} // namespace

TEST_F(SignIn, CodeFlowWithPkceSignsInAndKeepsTheTokens)
{
    session->signIn();
    ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
    EXPECT_TRUE(outcome->first) << outcome->second.toStdString();
    EXPECT_EQ(server.verifierMismatches, 0);
    EXPECT_EQ(session->accessToken(), server.currentAccessToken);
    EXPECT_TRUE(secrets.items.contains(QStringLiteral("Authorization1")));

    bool removed = false;
    session->signOut([&](bool done) { removed = done; });
    EXPECT_TRUE(removed);
    EXPECT_FALSE(session->isSignedIn());
    EXPECT_TRUE(secrets.items.isEmpty());
}

// Once an uninstall has removed the kept sign-ins, a sign-in or refresh that
// ends later keeps nothing again: it lasts for the run.
TEST_F(SignIn, NoTokensAreKeptOnceKeepingIsOff)
{
    OAuthSession::setKeepingTokens(false);
    RestClient client;
    signInWithStaleToken(client);
    const std::optional<RestReply> reply = askForItems(client);
    ASSERT_TRUE(reply.has_value());
    EXPECT_TRUE(reply->ok());
    EXPECT_EQ(server.refreshCount, 1);
    EXPECT_TRUE(session->isSignedIn());
    EXPECT_TRUE(secrets.items.isEmpty());
}

TEST_F(SignIn, ADeclineEndsTheSignInWithAnError)
{
    server.declineNextSignIn = true;
    session->signIn();
    ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->first);
    EXPECT_EQ(outcome->second, QStringLiteral("access_denied"));
    EXPECT_FALSE(session->isSignedIn());
    EXPECT_TRUE(secrets.items.isEmpty());
}

// A service that refuses the sign-in, at the consent page or at the code
// exchange, is told in its own words when it gives them, with its code; a
// description the user could not read whole (control characters, pages of
// text) is shown as one paragraph of a few lines.
TEST_F(SignIn, ARefusalIsToldWithTheServicesDescriptionOfIt)
{
    server.declineNextSignIn = true;
    server.declineDescription = QStringLiteral("The user did not allow access to 100% of the files.");
    session->signIn();
    ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->first);
    EXPECT_EQ(outcome->second, QStringLiteral("The user did not allow access to 100% of the files. (access_denied)"));

    QString description = QStringLiteral("Code already used.\a\u202e\nSee ");
    description += QString(2000, QLatin1Char('x'));
    server.route("POST", QStringLiteral("/token"), [&description](const FakeHttpRequest&) {
        return FakeHttpResponse::json(400,
            { { QStringLiteral("error"), QStringLiteral("invalid_grant") },
                { QStringLiteral("error_description"), description } });
    });
    outcome.reset();
    session->signIn();
    ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->first);
    EXPECT_TRUE(outcome->second.startsWith(QStringLiteral("Code already used. See xxx"))) << outcome->second.toStdString();
    EXPECT_TRUE(outcome->second.endsWith(QStringLiteral("xxx\u2026 (invalid_grant)"))) << outcome->second.toStdString();
    EXPECT_LE(outcome->second.size(), 320);
}

TEST_F(SignIn, ARedirectWithAnotherStateIsNotTaken)
{
    session->setBrowserOpener([](const QUrl&) {});
    session->signIn();
    EXPECT_FALSE(session->handleRedirect(QUrl(QStringLiteral("http://127.0.0.1:4711/?code=stolen&state=forged"))));
    session->cancelSignIn();
    EXPECT_TRUE(outcome && !outcome->first);
}

TEST_F(SignIn, ARequestAnswered401IsSentAgainAfterARefresh)
{
    RestClient client;
    signInWithStaleToken(client);

    const std::optional<RestReply> reply = askForItems(client);
    ASSERT_TRUE(reply.has_value());
    EXPECT_TRUE(reply->ok());
    EXPECT_EQ(reply->object().value(QStringLiteral("items")).toInt(), 3);
    EXPECT_EQ(server.refreshCount, 1);
    EXPECT_EQ(server.requestCount("GET", QStringLiteral("/api/items")), 2);
}

TEST_F(SignIn, ARedirectCarryingStateOrCodeTwiceIsRefused)
{
    QUrl authorize;
    session->setBrowserOpener([&](const QUrl& url) { authorize = url; });
    session->signIn();
    ASSERT_TRUE(authorize.isValid());
    const QString state = QUrlQuery(authorize).queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    const QString back = QStringLiteral("http://127.0.0.1:4711/?");
    EXPECT_FALSE(session->handleRedirect(QUrl(back + "code=c&state=" + state + "&state=other")));
    EXPECT_FALSE(session->handleRedirect(QUrl(back + "state=other&code=c&state=" + state)));
    EXPECT_FALSE(session->handleRedirect(QUrl(back + "code=c&code=d&state=" + state)));
    EXPECT_FALSE(outcome.has_value());
    // The browser's own redirect still gets through.
    server.browse(authorize, [this](const QUrl& redirect) { EXPECT_TRUE(session->handleRedirect(redirect)); });
    ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
    EXPECT_TRUE(outcome->first);
}

TEST_F(SignIn, ATokenRequestFollowsNoRedirect)
{
    session->signIn();
    ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->first);
    server.route("POST", QStringLiteral("/token"), [this](const FakeHttpRequest&) {
        FakeHttpResponse moved;
        moved.status = 307;
        moved.headers.append({ "Location", server.url(QStringLiteral("/elsewhere")).toEncoded() });
        return moved;
    });
    std::optional<bool> refreshed;
    session->refresh([&](bool done) { refreshed = done; });
    ASSERT_TRUE(waitUntil([&] { return refreshed.has_value(); }));
    EXPECT_FALSE(*refreshed);
    EXPECT_EQ(server.requestCount("POST", QStringLiteral("/elsewhere")), 0);
}

TEST_F(SignIn, ATricklingTokenServerKeepsNeitherTheRefreshNorTheCallsWaitingForIt)
{
    RestClient client;
    signInWithStaleToken(client);
    server.route("POST", QStringLiteral("/token"), [](const FakeHttpRequest&) {
        FakeHttpResponse trickle;
        trickle.trickleMs = 20;
        return trickle;
    });
    // The call's deadline comes before the refresh's.
    session->setTokenDeadlineMs(1500);
    client.setDeadlineMs(300);
    std::optional<RestReply> reply;
    client.send(RestRequest::get(QStringLiteral("items")), nullptr, [&](const RestReply& r) { reply = r; });
    std::optional<bool> refreshed;
    ASSERT_TRUE(waitUntil([&] { return reply.has_value(); }));
    EXPECT_EQ(reply->error, RestErrorKind::timeout);
    session->refresh([&](bool done) { refreshed = done; });
    ASSERT_TRUE(waitUntil([&] { return refreshed.has_value(); }));
    EXPECT_FALSE(*refreshed);
    EXPECT_EQ(server.requestCount("POST", QStringLiteral("/token")), 2);
}

TEST_F(SignIn, ACodeExchangeWhoseAnswerNeverEndsFailsAtOnce)
{
    for (const EndlessCase& endless : endlessCases) {
        server.route("POST", QStringLiteral("/token"),
            [&](const FakeHttpRequest&) { return FakeHttpResponse::never(endless.shape); });
        outcome.reset();
        expectEndlessAnswerEnds(
            endless, [&] { session->signIn(); }, [&] { return outcome.has_value(); }, 48ll * 1024 * 1024);
        ASSERT_TRUE(outcome) << endless.name;
        EXPECT_FALSE(outcome->first);
        EXPECT_TRUE(outcome->second.contains(QStringLiteral("went on past"))) << outcome->second.toStdString();
        EXPECT_FALSE(session->isSignedIn());
    }
}

TEST_F(SignIn, ATokenRefreshWhoseAnswerNeverEndsFailsAtOnce)
{
    session->signIn();
    ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->first);
    for (const EndlessCase& endless : endlessCases) {
        server.route("POST", QStringLiteral("/token"),
            [&](const FakeHttpRequest&) { return FakeHttpResponse::never(endless.shape); });
        std::optional<bool> refreshed;
        expectEndlessAnswerEnds(
            endless, [&] { session->refresh([&](bool done) { refreshed = done; }); },
            [&] { return refreshed.has_value(); }, 48ll * 1024 * 1024);
        ASSERT_TRUE(refreshed) << endless.name;
        EXPECT_FALSE(*refreshed);
    }
}

TEST(CloudConfiguration, ASourceWithoutCredentialsSaysSoAndSendsNothing)
{
    const CloudServiceConfig config = CloudConfig::load(QStringLiteral("dropbox"));
    EXPECT_FALSE(config.hasCredentials());
    OAuthSession session(config, nullptr, QString());
    std::optional<QString> error;
    QObject::connect(&session, &OAuthSession::signInFinished, [&](bool, const QString& text) { error = text; });
    session.setBrowserOpener([](const QUrl&) { ADD_FAILURE() << "no browser without credentials"; });
    session.signIn();
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains(QStringLiteral("not set up")));
}

// A 401 whose refresh the service refuses ends the sign-in once: the tokens
// go from memory and from the store, and later 401s say nothing more. A
// refresh that found no answer (the service in trouble, the connection gone)
// leaves the sign-in as it was; a refresh refused as an invalid grant ends it
// whoever asked for it.
TEST_F(SignIn, ARefusedRefreshEndsTheSessionOnceAndOneLeftUnansweredKeepsIt)
{
    RestClient client;
    signInWithStaleToken(client);
    int refusals = 0;
    QObject::connect(session.get(), &OAuthSession::signInRefused, [&] { ++refusals; });
    // The token route's answer: a refusal or a trouble, else a grant.
    std::optional<std::pair<int, QString>> tokenAnswer;
    server.route("POST", QStringLiteral("/token"), [&](const FakeHttpRequest&) {
        if (tokenAnswer)
            return FakeHttpResponse::json(tokenAnswer->first, { { QStringLiteral("error"), tokenAnswer->second } });
        server.currentAccessToken = QStringLiteral("again");
        return FakeHttpResponse::json(200,
            { { QStringLiteral("access_token"), server.currentAccessToken },
                { QStringLiteral("refresh_token"), QStringLiteral("again-refresh") },
                { QStringLiteral("expires_in"), 3600 } });
    });
    const auto answerRefreshWith
        = [&](int status, const char* error) { tokenAnswer = std::make_pair(status, QString::fromLatin1(error)); };

    answerRefreshWith(503, "temporarily_unavailable");
    std::optional<RestReply> reply = askForItems(client);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->error, RestErrorKind::unauthorized);
    EXPECT_TRUE(session->isSignedIn());
    EXPECT_TRUE(secrets.items.contains(QStringLiteral("Authorization1")));
    EXPECT_EQ(refusals, 0);

    answerRefreshWith(400, "invalid_grant");
    for (int asked = 0; asked < 2; ++asked) {
        reply = askForItems(client);
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->error, RestErrorKind::unauthorized);
    }
    EXPECT_FALSE(session->isSignedIn());
    EXPECT_TRUE(session->accessToken().isEmpty());
    EXPECT_TRUE(secrets.items.isEmpty());
    EXPECT_EQ(refusals, 1);

    // Signed in again, a refresh of its own (an expired token) refused as an
    // invalid grant ends it too.
    tokenAnswer.reset();
    outcome.reset();
    session->signIn();
    ASSERT_TRUE(waitUntil([this] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->first);
    answerRefreshWith(400, "invalid_grant");
    std::optional<bool> refreshed;
    session->refresh([&](bool done) { refreshed = done; });
    ASSERT_TRUE(waitUntil([&] { return refreshed.has_value(); }));
    EXPECT_FALSE(*refreshed);
    EXPECT_FALSE(session->isSignedIn());
    EXPECT_TRUE(secrets.items.isEmpty());
    EXPECT_EQ(refusals, 2);
}
