#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <utility>

// How much of a service's answer the program takes, and for how long it waits.
// A service may send anything: an answer whose headers or body never end is
// given up at these bounds, whatever arrived so far.
struct HttpLimits {
    // The body as read (after its chunked framing), the most one answer holds.
    qint64 answerBytes = 32ll * 1024 * 1024;
    // The status lines and header lines of one answer, its interim answers and
    // trailers included.
    qint64 headerBytes = 64 * 1024;
    // From the start of the exchange to the end of the answer's headers.
    int headersDeadlineMs = 15000;
    // The whole exchange, connection and body included.
    int deadlineMs = 60000;

    // Answers of at most answerBytes within deadlineMs, their headers within
    // the usual time when that is the shorter.
    static HttpLimits within(qint64 answerBytes, int deadlineMs)
    {
        HttpLimits limits;
        limits.answerBytes = answerBytes;
        limits.deadlineMs = deadlineMs;
        limits.headersDeadlineMs = deadlineMs < limits.headersDeadlineMs ? deadlineMs : limits.headersDeadlineMs;
        return limits;
    }
};

// Reads one HTTP/1.1 answer from the bytes of a connection as they arrive:
// status line, header lines, and a body framed by Content-Length, by chunks or
// by the end of the connection. Every byte is counted against the limits the
// moment it is fed, so memory never holds more than the bounds however the
// answer goes on.
//
// Plain data; one per exchange, any thread.
class HttpAnswerReader {
public:
    enum class Failure {
        none,
        headersTooLarge, // the headers went on past headerBytes
        answerTooLarge, // the body announced or reached more than answerBytes
        malformed, // not an HTTP/1.x answer, or framing that cannot be read
        cutOff, // the connection ended before the answer did
    };

    // bodiless: the answer to a HEAD request, which has headers only.
    explicit HttpAnswerReader(const HttpLimits& limits, bool bodiless = false);

    // Takes the next bytes of the connection; false once the answer cannot be
    // read further (failure() says why). Bytes after the end of the answer
    // are not taken: the connection is then not used again.
    bool feed(QByteArrayView bytes);
    // The connection has ended: an answer framed by its end is complete.
    void connectionClosed();

    bool headersComplete() const { return headersComplete_; }
    bool isDone() const { return state_ == State::done; }
    Failure failure() const { return failure_; }
    // The connection may carry a further exchange: the answer ended by its
    // own framing, nothing followed it, and neither side asked to close.
    bool mayKeepConnection() const;

    int status() const { return status_; }
    const QByteArray& reasonPhrase() const { return reason_; }
    const QList<std::pair<QByteArray, QByteArray>>& headers() const { return headers_; }
    QByteArray header(QByteArrayView name) const;
    // The body bytes read since the last call.
    QByteArray takeBody() { return std::exchange(body_, QByteArray()); }
    // Any byte of an answer arrived.
    bool anyAnswerByte() const { return headerBytes_ > 0; }

private:
    enum class State { statusLine, headerLines, body, untilClose, chunkSize, chunkData, chunkEnd, trailers, done, failed };

    bool fail(Failure failure);
    // Gathers one line of at most bound bytes; true when it is whole.
    bool takeLine(QByteArrayView& bytes, qint64 bound, bool countsAsHeader, QByteArray& line);
    bool readStatusLine(const QByteArray& line);
    bool readHeaderLine(const QByteArray& line);
    bool endOfHeaders();
    bool readChunkSize(const QByteArray& line);
    bool takeBody(QByteArrayView& bytes, qint64 count);

    const HttpLimits limits_;
    const bool bodiless_;
    State state_ = State::statusLine;
    Failure failure_ = Failure::none;
    bool headersComplete_ = false;
    bool closeAsked_ = false;
    bool trailingBytes_ = false;
    int status_ = 0;
    int minorVersion_ = 1;
    QByteArray reason_;
    QList<std::pair<QByteArray, QByteArray>> headers_;
    QByteArray line_;
    QByteArray body_;
    qint64 headerBytes_ = 0;
    qint64 bodyBytes_ = 0;
    qint64 remaining_ = 0;
};
