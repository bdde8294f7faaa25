#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class BoundedNetworkAccess;
class QNetworkReply;

// How a request ended, as the services' callers need to tell it apart.
enum class RestErrorKind {
    none,
    network, // no answer: refused, reset, name not found
    timeout,
    unauthorized, // 401 after a refresh was tried
    forbidden,
    notFound,
    conflict, // 409
    rateLimited, // 429 after the retries
    server, // 5xx
    client, // any other 4xx
    badJson, // a 2xx answer whose body should have been JSON and was not
    refused, // not sent: an address off the configured host or with a "." or ".." segment, or a call that
             // would block the GUI thread
    tooLarge, // the answer (headers or body) grew past its bound and was given up while it arrived
};

struct RestReply {
    int status = 0;
    QByteArray body;
    QJsonDocument json;
    QList<std::pair<QByteArray, QByteArray>> headers;
    RestErrorKind error = RestErrorKind::network;
    QString errorText;

    bool ok() const { return error == RestErrorKind::none; }
    QJsonObject object() const { return json.object(); }
    QByteArray header(const QByteArray& name) const;
};

struct RestRequest {
    QByteArray verb = "GET";
    // Relative to the client's base address and not yet encoded (the client
    // encodes it once: an id goes in as the service gave it), or absolute and
    // encoded (a next-page link, sent as the service wrote it).
    QString path;
    QUrlQuery query;
    std::optional<QJsonDocument> json;
    // Sent as is when there is no JSON body (form posts, uploads).
    QByteArray rawBody;
    QByteArray contentType;
    QList<std::pair<QByteArray, QByteArray>> headers;

    static RestRequest make(const QByteArray& verb, const QString& path)
    {
        RestRequest request;
        request.verb = verb;
        request.path = path;
        return request;
    }
    static RestRequest get(const QString& path) { return make("GET", path); }
};

// One service's REST client: a base address from the configuration, the
// bearer token of its sign-in, JSON in and out, error classes, a bounded retry
// of 429 and 503 that honours Retry-After, and a timeout for every sending
// within a deadline for the whole request. Answers are read by
// BoundedNetworkAccess: their headers within 15 s and a bound of bytes.
//
// Threads: lives on the GUI thread, where every request is sent and answered.
// Only sendBlocking may be called elsewhere (the removal worker); it is
// refused on the client's own thread, which it would stall.
class RestClient : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const RestReply&)>;
    // Asks the sign-in for a fresh token after a 401; answers true when one
    // was obtained (the request is then sent once more).
    using Refresh = std::function<void(std::function<void(bool)>)>;

    explicit RestClient(QObject* parent = nullptr);
    ~RestClient() override;

    void setBaseUrl(const QUrl& base) { baseUrl_ = base; }
    QUrl baseUrl() const { return baseUrl_; }
    // Never printed or logged.
    void setBearerToken(const QString& token) { bearerToken_ = token; }
    void setRefresh(Refresh refresh) { refresh_ = std::move(refresh); }
    // Told when a request is answered 401 again with the token a refresh
    // just gave: the service refuses the sign-in itself.
    void setRefusedAfterRefresh(std::function<void()> refused) { refusedAfterRefresh_ = std::move(refused); }
    // The longest one sending may take.
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    // The longest a request may take in all, its retries and a wait for a
    // refreshed token included; a request past it fails (timeout).
    void setDeadlineMs(int ms) { deadlineMs_ = ms; }
    void setMaxRetries(int retries) { maxRetries_ = retries; }
    // The longest wait a Retry-After may ask for; a longer one fails the
    // request at once.
    void setMaxRetryDelayMs(int ms) { maxRetryDelayMs_ = ms; }
    // The largest answer body read; a larger one is given up as it arrives
    // (tooLarge), so a hostile service cannot fill the memory. Headers have
    // a bound of their own.
    void setMaxAnswerBytes(qint64 bytes) { maxAnswerBytes_ = bytes; }
    static constexpr qint64 defaultMaxAnswerBytes = 32ll * 1024 * 1024;

    // Answers done exactly once on the GUI thread, unless context is gone by
    // then: a request whose context goes while it is on its way ends at once,
    // unanswered, its connection closed (a stopped listing waits for no
    // service), and done is let go of then, as it is once it has answered.
    // An absolute address off the base address's host is refused.
    void send(const RestRequest& request, QObject* context, Done done);
    // The same from another thread, waiting at most timeoutMs for the answer,
    // and no longer once the calling QThread is asked to stop (refused).
    RestReply sendBlocking(const RestRequest& request, int timeoutMs);

    // True when an address lies on the configured host (scheme, host, port).
    bool isOnConfiguredHost(const QUrl& url) const;
    QUrl resolve(const RestRequest& request) const;

private:
    struct Call;
    void start(std::shared_ptr<Call> call);
    void finished(std::shared_ptr<Call> call, QNetworkReply* reply);
    void retryLater(std::shared_ptr<Call> call, int delayMs);
    void complete(const std::shared_ptr<Call>& call, const RestReply& reply);
    void failTimedOut(const std::shared_ptr<Call>& call);
    static void abandon(Call& call);
    static bool isAbandoned(Call& call);

    BoundedNetworkAccess* network_;
    QUrl baseUrl_;
    QString bearerToken_;
    Refresh refresh_;
    std::function<void()> refusedAfterRefresh_;
    int timeoutMs_ = 60000;
    int deadlineMs_ = 5 * 60000;
    int maxRetries_ = 3;
    int maxRetryDelayMs_ = 60000;
    qint64 maxAnswerBytes_ = defaultMaxAnswerBytes;
};

// The reply's error class for an HTTP status (0: no answer).
RestErrorKind restErrorKindForStatus(int status);

// The wait a Retry-After value asks for, in milliseconds: whole seconds of any
// size (a value past what 64 bits hold saturates); none when the value is
// missing or not a count of seconds.
std::optional<qint64> retryAfterMs(const QByteArray& value);
