#include "cloud/RestClient.h"
#include "base/AppPaths.h"
#include "support/EndlessAnswers.h"
#include "support/FakeHttpServer.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

class Rest : public ::testing::Test {
protected:
    FakeHttpServer server;
    RestClient client;

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        client.setBaseUrl(server.url(QStringLiteral("/v1/")));
    }

    RestReply get(const QString& path)
    {
        std::optional<RestReply> reply;
        client.send(RestRequest::get(path), nullptr, [&](const RestReply& r) { reply = r; });
        EXPECT_TRUE(waitUntil([&] { return reply.has_value(); }));
        return reply.value_or(RestReply {});
    }
};

} // namespace

TEST_F(Rest, A429IsRetriedAfterItsRetryAfterAndTheRetriesAreBounded)
{
    int calls = 0;
    server.route("GET", QStringLiteral("/v1/busy"), [&](const FakeHttpRequest&) {
        ++calls;
        FakeHttpResponse busy = FakeHttpResponse::json(calls < 3 ? 429 : 200, {});
        busy.headers.append({ QByteArray("Retry-After"), QByteArray("0") });
        return busy;
    });
    EXPECT_TRUE(get(QStringLiteral("busy")).ok());
    EXPECT_EQ(calls, 3);

    client.setMaxRetries(1);
    calls = -100;
    EXPECT_EQ(get(QStringLiteral("busy")).error, RestErrorKind::rateLimited);
    EXPECT_EQ(calls, -98);
}

// A request whose context goes while it is on its way (a listing stopped)
// ends at once: its connection is closed, its answer never told, and one
// waiting to be tried again is not sent again.
TEST_F(Rest, ARequestWhoseContextGoesEndsAtOnceUnanswered)
{
    server.route("GET", QStringLiteral("/v1/slow"), [](const FakeHttpRequest&) {
        FakeHttpResponse slow = FakeHttpResponse::json(200, {});
        slow.held = true;
        return slow;
    });
    int busyCalls = 0;
    server.route("GET", QStringLiteral("/v1/busy"), [&](const FakeHttpRequest&) {
        ++busyCalls;
        FakeHttpResponse busy = FakeHttpResponse::json(429, {});
        busy.headers.append({ QByteArray("Retry-After"), QByteArray("1") });
        return busy;
    });
    int told = 0;
    auto context = std::make_unique<QObject>();
    client.send(RestRequest::get(QStringLiteral("slow")), context.get(), [&](const RestReply&) { ++told; });
    client.send(RestRequest::get(QStringLiteral("busy")), context.get(), [&](const RestReply&) { ++told; });
    ASSERT_TRUE(waitUntil([&] { return server.heldOpenCount() == 1 && busyCalls == 1; }));
    context.reset();
    EXPECT_TRUE(waitUntil([&] { return server.heldOpenCount() == 0; }));
    server.releaseHeld();
    waitUntil([] { return false; }, 1500);
    EXPECT_EQ(told, 0);
    EXPECT_EQ(busyCalls, 1);
}

// What a request's callback holds (a listing's pages) goes as soon as nobody
// waits for the answer: when its context goes while the request waits out a
// Retry-After or a refreshed token (nothing is sent again), and once it is
// answered after a refresh, not when its deadline passes minutes later.
TEST_F(Rest, ACallbackIsLetGoOfOnceItsAnswerIsToldOrNoLongerWanted)
{
    server.route("GET", QStringLiteral("/v1/busy"), [](const FakeHttpRequest&) {
        FakeHttpResponse busy = FakeHttpResponse::json(429, {});
        busy.headers.append({ QByteArray("Retry-After"), QByteArray("30") });
        return busy;
    });
    int privateCalls = 0;
    bool tokenStale = true;
    server.route("GET", QStringLiteral("/v1/private"), [&](const FakeHttpRequest&) {
        ++privateCalls;
        return FakeHttpResponse::json(tokenStale ? 401 : 200, {});
    });
    std::function<void(bool)> refreshed;
    client.setRefresh([&](std::function<void(bool)> done) { refreshed = std::move(done); });
    int told = 0;
    // A callback holding what a listing's would, and a way to see it go.
    const auto holding = [&told](std::weak_ptr<int>& watched) {
        auto pages = std::make_shared<int>(0);
        watched = pages;
        return [&told, pages](const RestReply&) { ++told; };
    };

    std::weak_ptr<int> waitingOut;
    auto context = std::make_unique<QObject>();
    client.send(RestRequest::get(QStringLiteral("busy")), context.get(), holding(waitingOut));
    ASSERT_TRUE(waitUntil([&] { return server.requestCount("GET", QStringLiteral("/v1/busy")) == 1; }));
    std::weak_ptr<int> waitingForToken;
    client.send(RestRequest::get(QStringLiteral("private")), context.get(), holding(waitingForToken));
    ASSERT_TRUE(waitUntil([&] { return bool(refreshed); }));
    context.reset();
    EXPECT_TRUE(waitingOut.expired());
    EXPECT_TRUE(waitingForToken.expired());
    tokenStale = false;
    std::exchange(refreshed, nullptr)(true);
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(privateCalls, 1);
    EXPECT_EQ(told, 0);

    tokenStale = true;
    std::weak_ptr<int> answered;
    client.send(RestRequest::get(QStringLiteral("private")), nullptr, holding(answered));
    ASSERT_TRUE(waitUntil([&] { return bool(refreshed); }));
    tokenStale = false;
    std::exchange(refreshed, nullptr)(true);
    ASSERT_TRUE(waitUntil([&] { return told == 1; }));
    EXPECT_TRUE(answered.expired());
}

TEST_F(Rest, ASilentServiceTimesOutAndTheBlockingFormWaitsOnlyOnAWorker)
{
    server.route("GET", QStringLiteral("/v1/hang"), [](const FakeHttpRequest&) {
        FakeHttpResponse silent;
        silent.neverAnswer = true;
        return silent;
    });
    server.route(
        "GET", QStringLiteral("/v1/ok"), [](const FakeHttpRequest&) { return FakeHttpResponse::json(200, {}); });
    client.setTimeoutMs(200);
    EXPECT_EQ(get(QStringLiteral("hang")).error, RestErrorKind::timeout);
    EXPECT_EQ(client.sendBlocking(RestRequest::get(QStringLiteral("ok")), 1000).error, RestErrorKind::refused);

    // The replies are read only after the worker says it is done: the GUI
    // thread polls the flag while it serves the worker's requests.
    std::optional<RestReply> answered;
    std::optional<RestReply> waitedOut;
    std::atomic<bool> workerDone = false;
    std::thread worker([&] {
        answered = client.sendBlocking(RestRequest::get(QStringLiteral("ok")), 5000);
        waitedOut = client.sendBlocking(RestRequest::get(QStringLiteral("hang")), 100);
        workerDone = true;
    });
    waitUntil([&] { return workerDone.load(); });
    worker.join();
    ASSERT_TRUE(answered && waitedOut);
    EXPECT_TRUE(answered->ok());
    EXPECT_EQ(waitedOut->error, RestErrorKind::timeout);

    // A worker told to stop gives up although the GUI thread never sends the
    // request (it is blocked waiting for that worker, as at quit).
    std::optional<RestReply> stopped;
    std::unique_ptr<QThread> removal(
        QThread::create([&] { stopped = client.sendBlocking(RestRequest::get(QStringLiteral("ok")), 600000); }));
    removal->start();
    removal->requestInterruption();
    ASSERT_TRUE(removal->wait());
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->error, RestErrorKind::refused);
}

TEST_F(Rest, NextPageLinksAreFollowedOnlyOnTheConfiguredHost)
{
    server.route(
        "GET", QStringLiteral("/v1/page2"), [](const FakeHttpRequest&) { return FakeHttpResponse::json(200, {}); });
    EXPECT_TRUE(get(server.url(QStringLiteral("/v1/page2")).toString()).ok());
    const QString foreign = QStringLiteral("http://localhost:%1/v1/page2").arg(server.baseUrl().port());
    EXPECT_EQ(get(foreign).error, RestErrorKind::refused);
    EXPECT_EQ(server.requestCount("GET", QStringLiteral("/v1/page2")), 1);
}

TEST_F(Rest, TheBearerTokenIsSentButNeverLogged)
{
    AppPaths::ensureFolder(AppPaths::stateFolder());
    const QString token = QStringLiteral("secret-token-7f3a");
    client.setBearerToken(token);
    server.route(
        "GET", QStringLiteral("/v1/denied"), [](const FakeHttpRequest&) { return FakeHttpResponse::json(403, {}); });
    EXPECT_EQ(get(QStringLiteral("denied")).error, RestErrorKind::forbidden);
    EXPECT_EQ(server.requestLog.back().header("Authorization"), "Bearer " + token.toUtf8());
    QFile log(AppPaths::logFile());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("/v1/denied"));
    EXPECT_FALSE(text.contains(token.toUtf8()));
}

TEST_F(Rest, ARetryAfterPastTheLimitFailsTheRequestAtOnceWhateverItsSize)
{
    client.setMaxRetryDelayMs(60000);
    // Past the limit; past what a millisecond timer holds; past 64 bits.
    for (const char* wait : { "61", "2147484", "99999999999999999999999999" }) {
        const QString path = QStringLiteral("wait") + QString::fromLatin1(wait).left(8);
        server.route("GET", QStringLiteral("/v1/") + path, [wait](const FakeHttpRequest&) {
            FakeHttpResponse busy = FakeHttpResponse::json(429, {});
            busy.headers.append({ QByteArray("Retry-After"), QByteArray(wait) });
            return busy;
        });
        EXPECT_EQ(get(path).error, RestErrorKind::rateLimited) << wait;
        EXPECT_EQ(server.requestCount("GET", QStringLiteral("/v1/") + path), 1) << wait;
    }
    EXPECT_EQ(retryAfterMs(" 7 "), 7000);
    EXPECT_FALSE(retryAfterMs("-5"));
    EXPECT_FALSE(retryAfterMs("soon"));
}

TEST_F(Rest, AnAnswerPastTheSizeLimitIsGivenUpAsItArrives)
{
    client.setMaxAnswerBytes(64 * 1024);
    const QByteArray filler(8 * 1024 * 1024, 'x');
    bool unannounced = false;
    server.route("GET", QStringLiteral("/v1/huge"), [&](const FakeHttpRequest&) {
        FakeHttpResponse huge;
        huge.unannouncedLength = unannounced;
        huge.body = "{\"items\":\"" + filler + "\"}";
        return huge;
    });
    server.route("GET", QStringLiteral("/v1/small"), [&](const FakeHttpRequest&) {
        FakeHttpResponse small;
        small.body = "{\"items\":\"" + filler.left(60 * 1024) + "\"}";
        return small;
    });
    // Announced or not, the answer goes.
    for (const bool announced : { true, false }) {
        unannounced = !announced;
        const RestReply huge = get(QStringLiteral("huge"));
        EXPECT_EQ(huge.error, RestErrorKind::tooLarge) << announced;
        EXPECT_TRUE(huge.body.isEmpty());
        EXPECT_TRUE(huge.object().isEmpty());
    }
    const RestReply small = get(QStringLiteral("small"));
    EXPECT_TRUE(small.ok());
    EXPECT_EQ(small.object().value(QStringLiteral("items")).toString().size(), 60 * 1024);
}

TEST_F(Rest, AnswersThatNeverEndFailAtOnceWithAClearError)
{
    for (const EndlessCase& endless : endlessCases) {
        server.route("GET", QStringLiteral("/v1/endless"),
            [&](const FakeHttpRequest&) { return FakeHttpResponse::never(endless.shape); });
        std::optional<RestReply> reply;
        expectEndlessAnswerEnds(
            endless,
            [&] { client.send(RestRequest::get(QStringLiteral("endless")), nullptr, [&](const RestReply& r) { reply = r; }); },
            [&] { return reply.has_value(); }, 96ll * 1024 * 1024);
        ASSERT_TRUE(reply) << endless.name;
        EXPECT_EQ(reply->error, RestErrorKind::tooLarge) << endless.name;
        EXPECT_TRUE(reply->errorText.contains(QStringLiteral("went on past"))) << reply->errorText.toStdString();
        EXPECT_TRUE(reply->body.isEmpty());
    }
}

TEST_F(Rest, PathsAreEncodedOnceAndDotSegmentsNeverLeave)
{
    server.route("GET", QStringLiteral("/v1/items/D4648F06C91D9D3D!54927"),
        [](const FakeHttpRequest&) { return FakeHttpResponse::json(200, {}); });
    EXPECT_TRUE(get(QStringLiteral("items/D4648F06C91D9D3D!54927")).ok());
    EXPECT_EQ(server.requestLog.back().target, "/v1/items/D4648F06C91D9D3D!54927");
    // A name with a '%' or a '?' stays one segment.
    get(QStringLiteral("items/50%?x"));
    EXPECT_EQ(server.requestLog.back().target, "/v1/items/50%25%3Fx");

    const size_t sent = server.requestLog.size();
    for (const QString& path : { QStringLiteral("items/.."), QStringLiteral("items/./x"),
             server.url(QStringLiteral("/v1/items/%2E%2E/x")).toString() })
        EXPECT_EQ(get(path).error, RestErrorKind::refused) << path.toStdString();
    EXPECT_EQ(server.requestLog.size(), sent);
}
