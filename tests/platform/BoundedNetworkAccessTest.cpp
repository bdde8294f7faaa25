#include "platform/BoundedNetworkAccess.h"
#include "support/EndlessAnswers.h"
#include "support/WaitUntil.h"

#include <QNetworkReply>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Endless = FakeHttpResponse::Endless;
using Bound = BoundedNetworkAccess::Bound;
using Failure = HttpAnswerReader::Failure;

struct Fetched {
    bool ended = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    Bound bound = Bound::none;
    int status = 0;
    QByteArray body;
    QString errorText;
};

// One request, waited for at most limitMs (far past any bound of the access).
Fetched fetch(BoundedNetworkAccess& network, const QUrl& url, const QNetworkRequest& base = QNetworkRequest(),
    int limitMs = 40000)
{
    QNetworkRequest request(base);
    request.setUrl(url);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    Fetched fetched;
    QObject::connect(reply.get(), &QNetworkReply::finished, [&] { fetched.ended = true; });
    waitUntil([&] { return fetched.ended; }, limitMs);
    fetched.error = reply->error();
    fetched.bound = BoundedNetworkAccess::boundOf(reply.get());
    fetched.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    fetched.body = reply->readAll();
    fetched.errorText = reply->errorString();
    return fetched;
}

// Reads an answer fed in pieces of the given size, as far as it goes.
HttpAnswerReader readAnswer(const QByteArray& answer, qsizetype piece, HttpLimits limits = {}, bool head = false)
{
    HttpAnswerReader reader(limits, head);
    for (qsizetype at = 0; at < answer.size(); at += piece)
        if (!reader.feed(QByteArrayView(answer).sliced(at, std::min(piece, answer.size() - at))))
            break;
    return reader;
}

QByteArray bodyOf(const QByteArray& answer, qsizetype piece, bool closeAtEnd = false)
{
    HttpAnswerReader reader({}, false);
    QByteArray body;
    for (qsizetype at = 0; at < answer.size(); at += piece) {
        if (!reader.feed(QByteArrayView(answer).sliced(at, std::min(piece, answer.size() - at))))
            return "failed";
        body += reader.takeBody();
    }
    if (closeAtEnd)
        reader.connectionClosed();
    return reader.isDone() ? body + reader.takeBody() : "unfinished";
}

} // namespace

TEST(HttpAnswers, EveryFramingIsReadWholeInPiecesOfAnySize)
{
    for (const qsizetype piece : { 1, 3, 64 * 1024 }) {
        EXPECT_EQ(bodyOf("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", piece), "hello");
        EXPECT_EQ(bodyOf("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                         "3;name=value\r\nhel\r\n2\r\nlo\r\n0\r\nX-Trailer: t\r\n\r\n",
                      piece),
            "hello");
        EXPECT_EQ(bodyOf("HTTP/1.1 200 OK\r\n\r\nhello", piece, true), "hello");
        EXPECT_EQ(bodyOf("HTTP/1.1 200 OK\r\n\r\nhello", piece), "unfinished");
        // Bare line feeds, an interim answer first, and a folded header.
        EXPECT_EQ(bodyOf("HTTP/1.1 100 Continue\n\nHTTP/1.0 200\nX-A: a\n b\nContent-Length: 2\n\nok", piece), "ok");
    }
    const HttpAnswerReader folded = readAnswer("HTTP/1.1 201 Created\r\nX-A: a\r\n b\r\nContent-Length: 0\r\n\r\n", 7);
    EXPECT_TRUE(folded.isDone());
    EXPECT_EQ(folded.status(), 201);
    EXPECT_EQ(folded.reasonPhrase(), "Created");
    EXPECT_EQ(folded.header("x-a"), "a b");
    EXPECT_TRUE(folded.mayKeepConnection());
    // A HEAD answer announces a body it does not carry.
    EXPECT_TRUE(readAnswer("HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\n", 5, {}, true).isDone());
    // Only a connection whose answer ended by its own framing, with nothing
    // after it and no close asked for, serves again.
    EXPECT_FALSE(readAnswer("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n", 9).mayKeepConnection());
    EXPECT_FALSE(readAnswer("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nab", 9).mayKeepConnection());
    EXPECT_FALSE(readAnswer("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", 9).mayKeepConnection());
}

TEST(HttpAnswers, BadAnswersAndAnswersPastTheirBoundsFailAsTheyArrive)
{
    HttpLimits small;
    small.headerBytes = 100;
    small.answerBytes = 10;
    const auto failure = [&](const QByteArray& answer) { return readAnswer(answer, 4, small).failure(); };
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\n" + QByteArray(100, 'a')), Failure::headersTooLarge);
    EXPECT_EQ(failure("HTTP/1.1 200 " + QByteArray(100, 'a')), Failure::headersTooLarge);
    EXPECT_EQ(failure("HTTP/1.1 100 Continue\r\n\r\n" + QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(4)),
        Failure::headersTooLarge);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n"), Failure::answerTooLarge);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nb\r\n"), Failure::answerTooLarge);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8\r\n12345678\r\n8\r\n"),
        Failure::answerTooLarge);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\n\r\n" + QByteArray(11, 'a')), Failure::answerTooLarge);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" + QByteArray(2000, 'x')),
        Failure::malformed);
    EXPECT_EQ(failure("ICY 200 OK\r\n\r\n"), Failure::malformed);
    EXPECT_EQ(failure("HTTP/1.1 2000 OK\r\n\r\n"), Failure::malformed);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n"), Failure::malformed);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n"), Failure::malformed);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n"), Failure::malformed);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n"), Failure::malformed);
    EXPECT_EQ(failure("HTTP/1.1 101 Switching\r\n\r\n"), Failure::malformed);
    EXPECT_EQ(failure("HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n"), Failure::malformed);

    HttpAnswerReader cut(small);
    cut.feed("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nab");
    cut.connectionClosed();
    EXPECT_EQ(cut.failure(), Failure::cutOff);
}

TEST(BoundedAccess, AnswersThatNeverEndAreGivenUpAtTheirBoundAtOnce)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    BoundedNetworkAccess network;
    HttpLimits limits;
    limits.answerBytes = 4 * 1024 * 1024;
    network.setLimits(limits);
    for (const EndlessCase& endless : endlessCases) {
        server.route("GET", "/endless", [&](const FakeHttpRequest&) { return FakeHttpResponse::never(endless.shape); });
        Fetched fetched;
        expectEndlessAnswerEnds(
            endless, [&] { fetched = fetch(network, server.url("/endless")); }, [&] { return fetched.ended; },
            48ll * 1024 * 1024);
        EXPECT_EQ(fetched.bound, endless.shape == Endless::chunkedBody ? Bound::answerTooLarge : Bound::headersTooLarge)
            << endless.name;
        EXPECT_EQ(fetched.error, QNetworkReply::ProtocolFailure);
        EXPECT_TRUE(fetched.errorText.contains(QStringLiteral("went on past"))) << fetched.errorText.toStdString();
        EXPECT_TRUE(fetched.body.isEmpty());
    }
}

TEST(BoundedAccess, HeadersThatDripAndBodiesThatTrickleEndAtTheirDeadlines)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    server.route("GET", "/drip", [](const FakeHttpRequest&) { return FakeHttpResponse::never(Endless::dripHeaders); });
    server.route("GET", "/trickle", [](const FakeHttpRequest&) {
        FakeHttpResponse trickle;
        trickle.trickleMs = 20;
        return trickle;
    });
    BoundedNetworkAccess network;
    HttpLimits limits;
    limits.headersDeadlineMs = 400;
    limits.deadlineMs = 800;
    network.setLimits(limits);

    const Fetched dripped = fetch(network, server.url("/drip"));
    ASSERT_TRUE(dripped.ended);
    EXPECT_EQ(dripped.bound, Bound::headersTooLate);
    EXPECT_EQ(dripped.error, QNetworkReply::TimeoutError);
    EXPECT_TRUE(dripped.errorText.contains(QStringLiteral("no complete headers")));

    const Fetched trickled = fetch(network, server.url("/trickle"));
    ASSERT_TRUE(trickled.ended);
    EXPECT_EQ(trickled.bound, Bound::deadline);
    EXPECT_EQ(trickled.error, QNetworkReply::TimeoutError);
}

TEST(BoundedAccess, ConnectionsServeTheNextRequestAndAreRenewedWhenTheServiceClosedThem)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    int served = 0;
    server.route("GET", "/kept", [&](const FakeHttpRequest&) {
        FakeHttpResponse response;
        response.keepAlive = true;
        response.body = QByteArray::number(++served);
        return response;
    });
    server.route("GET", "/missing", [&](const FakeHttpRequest&) {
        FakeHttpResponse response = FakeHttpResponse::json(404, {});
        response.keepAlive = true;
        return response;
    });
    BoundedNetworkAccess network;
    EXPECT_EQ(fetch(network, server.url("/kept")).body, "1");
    const Fetched missing = fetch(network, server.url("/missing"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.error, QNetworkReply::ContentNotFoundError);
    EXPECT_EQ(fetch(network, server.url("/kept")).body, "2");
    EXPECT_EQ(server.connectionCount, 1);

    // Closed by the service before the client heard of it: the request goes
    // again on a new connection.
    server.closeConnections();
    EXPECT_EQ(fetch(network, server.url("/kept")).body, "3");
    EXPECT_EQ(server.connectionCount, 2);

    // Other schemes are not fetched.
    const Fetched file = fetch(network, QUrl(QStringLiteral("file:///etc/hostname")));
    EXPECT_TRUE(file.ended);
    EXPECT_NE(file.error, QNetworkReply::NoError);
    EXPECT_TRUE(file.body.isEmpty());
}

TEST(BoundedAccess, TlsAnswersComeOnlyFromAServiceWhoseCertificateIsVerified)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        GTEST_SKIP() << "no openssl command to make a test certificate";
    QTemporaryDir dir;
    QProcess make;
    make.setWorkingDirectory(dir.path());
    make.start(openssl,
        { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem", "-out", "cert.pem", "-days", "2",
            "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1" });
    ASSERT_TRUE(make.waitForFinished(60000));
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(dir.filePath("cert.pem"));
    QFile keyFile(dir.filePath("key.pem"));
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly));
    const QSslKey key(&keyFile, QSsl::Rsa);
    ASSERT_EQ(certificates.size(), 1);

    QSslServer server;
    QSslConfiguration serving = QSslConfiguration::defaultConfiguration();
    serving.setLocalCertificate(certificates.front());
    serving.setPrivateKey(key);
    serving.setPeerVerifyMode(QSslSocket::VerifyNone);
    server.setSslConfiguration(serving);
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                if (socket->readAll().contains("\r\n\r\n"))
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecret");
            });
        }
    });
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const QUrl url(QStringLiteral("https://127.0.0.1:%1/").arg(server.serverPort()));

    BoundedNetworkAccess network;
    const Fetched unverified = fetch(network, url);
    EXPECT_EQ(unverified.error, QNetworkReply::SslHandshakeFailedError) << unverified.errorText.toStdString();
    EXPECT_TRUE(unverified.body.isEmpty());

    QNetworkRequest trusting;
    QSslConfiguration trust = QSslConfiguration::defaultConfiguration();
    trust.setCaCertificates(certificates);
    trusting.setSslConfiguration(trust);
    const Fetched verified = fetch(network, url, trusting);
    EXPECT_EQ(verified.error, QNetworkReply::NoError) << verified.errorText.toStdString();
    EXPECT_EQ(verified.body, "secret");
}
