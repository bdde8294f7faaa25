#include "cloud/RestClient.h"

#include "base/Log.h"
#include "platform/BoundedNetworkAccess.h"

#include <QDeadlineTimer>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <chrono>
#include <condition_variable>
#include <mutex>

QByteArray RestReply::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QByteArray();
}

RestErrorKind restErrorKindForStatus(int status)
{
    if (status == 0)
        return RestErrorKind::network;
    if (status >= 200 && status < 300)
        return RestErrorKind::none;
    switch (status) {
    case 401:
        return RestErrorKind::unauthorized;
    case 403:
        return RestErrorKind::forbidden;
    case 404:
        return RestErrorKind::notFound;
    case 409:
        return RestErrorKind::conflict;
    case 429:
        return RestErrorKind::rateLimited;
    default:
        return status >= 500 ? RestErrorKind::server : RestErrorKind::client;
    }
}

std::optional<qint64> retryAfterMs(const QByteArray& value)
{
    const QByteArray seconds = value.trimmed();
    if (seconds.isEmpty() || !std::all_of(seconds.begin(), seconds.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    constexpr qint64 longest = std::numeric_limits<qint64>::max();
    bool fits = false;
    const qint64 count = seconds.toLongLong(&fits);
    if (!fits || count > longest / 1000)
        return longest;
    return count * 1000;
}

namespace {

// Also when encoded ("%2E%2E"), which a server may fold the same way.
bool hasDotSegment(const QUrl& url)
{
    const QStringList segments = url.path(QUrl::FullyDecoded).split(QLatin1Char('/'));
    return std::any_of(segments.begin(), segments.end(),
        [](const QString& segment) { return segment == QLatin1String(".") || segment == QLatin1String(".."); });
}

} // namespace

// One request on its way: what to send, how often it was tried, and where the
// answer goes.
struct RestClient::Call {
    RestRequest request;
    QUrl url;
    QPointer<QObject> context;
    bool hasContext = false;
    Done done;
    int attempts = 0;
    bool refreshed = false;
    bool answered = false;
    QDeadlineTimer deadline;
    // The sending on its way, and the end of the context: a request given up
    // lets go of its callback at once, also while it waits to be sent again.
    QPointer<QNetworkReply> reply;
    QMetaObject::Connection contextGone;
};

RestClient::RestClient(QObject* parent)
    : QObject(parent)
    , network_(new BoundedNetworkAccess(this))
{
}

RestClient::~RestClient() = default;

bool RestClient::isOnConfiguredHost(const QUrl& url) const
{
    return url.isValid() && url.scheme() == baseUrl_.scheme()
        && url.host().compare(baseUrl_.host(), Qt::CaseInsensitive) == 0 && url.port(-1) == baseUrl_.port(-1);
}

QUrl RestClient::resolve(const RestRequest& request) const
{
    QUrl url(request.path);
    if (url.isRelative()) {
        url = baseUrl_;
        QString path = baseUrl_.path();
        if (!path.endsWith(QLatin1Char('/')) && !request.path.startsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        else if (path.endsWith(QLatin1Char('/')) && request.path.startsWith(QLatin1Char('/')))
            path.chop(1);
        url.setPath(path + request.path);
    }
    if (!request.query.isEmpty()) {
        const QString added = request.query.query(QUrl::FullyEncoded);
        url.setQuery(
            url.hasQuery() ? url.query(QUrl::FullyEncoded) + QLatin1Char('&') + added : added, QUrl::StrictMode);
    }
    return url;
}

void RestClient::send(const RestRequest& request, QObject* context, Done done)
{
    auto call = std::make_shared<Call>();
    call->request = request;
    call->url = resolve(request);
    call->context = context;
    call->hasContext = context != nullptr;
    call->done = std::move(done);
    call->deadline = QDeadlineTimer(deadlineMs_);
    if (context)
        call->contextGone = connect(context, &QObject::destroyed, this, [weak = std::weak_ptr<Call>(call)] {
            if (const std::shared_ptr<Call> gone = weak.lock())
                abandon(*gone);
        });
    std::optional<QString> refusal;
    if (!isOnConfiguredHost(call->url)) {
        // A link handed over by a service leads only to that service.
        Log::print("A cloud request to another host was refused:", call->url.host());
        refusal = QStringLiteral("The address is not on the service's host.");
    } else if (hasDotSegment(call->url)) {
        // Would be folded into another address (".." of an item is its parent).
        Log::print("A cloud request with a \".\" or \"..\" in its path was refused:", request.path);
        refusal = QStringLiteral("The address holds a \".\" or \"..\" segment.");
    }
    if (refusal) {
        RestReply reply;
        reply.error = RestErrorKind::refused;
        reply.errorText = *refusal;
        QTimer::singleShot(0, this, [this, call, reply] { complete(call, reply); });
        return;
    }
    start(std::move(call));
}

void RestClient::complete(const std::shared_ptr<Call>& call, const RestReply& reply)
{
    // Once: an answer after the deadline was told finds the call answered.
    if (std::exchange(call->answered, true))
        return;
    disconnect(call->contextGone);
    // What the callback holds goes with the answer, not with the timers that
    // still hold the call; and it may end the context itself.
    const Done done = std::exchange(call->done, nullptr);
    if (!call->hasContext || call->context)
        done(reply);
}

void RestClient::failTimedOut(const std::shared_ptr<Call>& call)
{
    if (call->answered)
        return;
    Log::print("A cloud request ran past its deadline:", call->request.verb, call->url.host() + call->url.path());
    RestReply reply;
    reply.error = RestErrorKind::timeout;
    reply.errorText = QStringLiteral("The service did not answer in time.");
    complete(call, reply);
}

void RestClient::abandon(Call& call)
{
    // Nobody waits for the answer any more: nothing more is sent or told.
    call.answered = true;
    disconnect(call.contextGone);
    call.done = nullptr;
    if (QNetworkReply* reply = call.reply)
        reply->abort();
}

bool RestClient::isAbandoned(Call& call)
{
    if (call.hasContext && !call.context && !call.answered)
        abandon(call);
    return call.answered;
}

void RestClient::start(std::shared_ptr<Call> call)
{
    if (isAbandoned(*call))
        return;
    if (call->deadline.hasExpired()) {
        failTimedOut(call);
        return;
    }
    ++call->attempts;
    network_->setLimits(HttpLimits::within(
        maxAnswerBytes_, static_cast<int>(std::min<qint64>(timeoutMs_, call->deadline.remainingTime()))));
    QNetworkRequest request(call->url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!bearerToken_.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + bearerToken_.toUtf8());
    QByteArray body = call->request.rawBody;
    if (call->request.json) {
        body = call->request.json->toJson(QJsonDocument::Compact);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    } else if (!call->request.contentType.isEmpty()) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, call->request.contentType);
    }
    for (const auto& [name, value] : call->request.headers)
        request.setRawHeader(name, value);

    QNetworkReply* reply = network_->sendCustomRequest(request, call->request.verb, body);
    call->reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, call, reply] { finished(call, reply); });
}

void RestClient::finished(std::shared_ptr<Call> call, QNetworkReply* networkReply)
{
    networkReply->deleteLater();
    if (isAbandoned(*call))
        return;
    RestReply reply;
    reply.status = networkReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    for (const auto& pair : networkReply->rawHeaderPairs())
        reply.headers.append(pair);
    using Bound = BoundedNetworkAccess::Bound;
    const Bound bound = BoundedNetworkAccess::boundOf(networkReply);
    if (bound == Bound::answerTooLarge || bound == Bound::headersTooLarge) {
        Log::print("A cloud answer was given up:", call->request.verb, call->url.host() + call->url.path(),
            networkReply->errorString());
        reply.error = RestErrorKind::tooLarge;
        reply.errorText = networkReply->errorString();
        complete(call, reply);
        return;
    }
    reply.body = networkReply->readAll();
    const bool late = bound == Bound::headersTooLate || bound == Bound::deadline;
    reply.error = late ? RestErrorKind::timeout : restErrorKindForStatus(reply.status);
    if (reply.error == RestErrorKind::network || late)
        reply.errorText = networkReply->errorString();

    if ((reply.status == 429 || reply.status == 503) && call->attempts <= maxRetries_) {
        const qint64 delayMs = retryAfterMs(reply.header("Retry-After")).value_or(1000ll * call->attempts);
        if (delayMs <= maxRetryDelayMs_ && delayMs < call->deadline.remainingTime()) {
            retryLater(call, static_cast<int>(delayMs));
            return;
        }
        // A wait past the limit (or past what a timer can hold) is not
        // waited out: the request fails now.
        Log::print("A cloud service asked to wait", delayMs / 1000, "s, longer than allowed:", call->url.host());
    }
    if (reply.status == 401 && refresh_ && !call->refreshed) {
        call->refreshed = true;
        // The refresh is the sign-in's and may outlast this request: the
        // request waits for it only until its own deadline.
        QTimer::singleShot(
            static_cast<int>(call->deadline.remainingTime()), this, [this, call] { failTimedOut(call); });
        refresh_([this, call](bool refreshed) {
            if (refreshed) {
                start(call);
                return;
            }
            RestReply failed;
            failed.status = 401;
            failed.error = RestErrorKind::unauthorized;
            complete(call, failed);
        });
        return;
    }
    if (reply.status == 401 && refresh_ && call->refreshed && refusedAfterRefresh_)
        refusedAfterRefresh_();
    if (!reply.body.isEmpty()) {
        QJsonParseError parseError;
        reply.json = QJsonDocument::fromJson(reply.body, &parseError);
        const QByteArray type = networkReply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        if (reply.ok() && parseError.error != QJsonParseError::NoError && type.contains("json")) {
            reply.error = RestErrorKind::badJson;
            reply.errorText = parseError.errorString();
        }
    }
    if (!reply.ok())
        Log::print("A cloud request failed:", call->request.verb, call->url.host() + call->url.path(), reply.status);
    complete(call, reply);
}

void RestClient::retryLater(std::shared_ptr<Call> call, int delayMs)
{
    QTimer::singleShot(delayMs, this, [this, call] { start(call); });
}

RestReply RestClient::sendBlocking(const RestRequest& request, int timeoutMs)
{
    if (QThread::currentThread() == thread()) {
        Log::print("A blocking cloud request on the client's own thread was refused");
        RestReply refused;
        refused.error = RestErrorKind::refused;
        return refused;
    }
    struct Waiter {
        std::mutex mutex;
        std::condition_variable answered;
        std::optional<RestReply> reply;
    };
    auto waiter = std::make_shared<Waiter>();
    QMetaObject::invokeMethod(
        this,
        [this, request, waiter] {
            send(request, nullptr, [waiter](const RestReply& reply) {
                std::lock_guard lock(waiter->mutex);
                waiter->reply = reply;
                waiter->answered.notify_one();
            });
        },
        Qt::QueuedConnection);
    // The GUI thread may be the one waiting for this worker to end (a screen
    // going away at quit) and then never sends the request: a worker asked to
    // stop gives up at once instead of waiting out the timeout.
    QThread* const worker = QThread::currentThread();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(waiter->mutex);
    while (!waiter->reply) {
        if (worker->isInterruptionRequested()) {
            RestReply stopped;
            stopped.error = RestErrorKind::refused;
            stopped.errorText = QStringLiteral("stopped before the service answered");
            return stopped;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            RestReply timedOut;
            timedOut.error = RestErrorKind::timeout;
            return timedOut;
        }
        waiter->answered.wait_for(
            lock, std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(50)));
    }
    return *waiter->reply;
}
