#include "platform/HttpAnswerReader.h"

#include <algorithm>
#include <optional>

namespace {

// A chunk's size line: up to 15 hexadecimal digits and an extension.
constexpr qint64 longestChunkSizeLine = 1024;

bool isDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QList<QByteArray> listTokens(const QByteArray& value)
{
    QList<QByteArray> tokens;
    for (const QByteArray& part : value.split(','))
        if (const QByteArray token = part.trimmed().toLower(); !token.isEmpty())
            tokens.append(token);
    return tokens;
}

} // namespace

HttpAnswerReader::HttpAnswerReader(const HttpLimits& limits, bool bodiless)
    : limits_(limits)
    , bodiless_(bodiless)
{
}

bool HttpAnswerReader::fail(Failure failure)
{
    state_ = State::failed;
    failure_ = failure;
    line_.clear();
    return false;
}

QByteArray HttpAnswerReader::header(QByteArrayView name) const
{
    QByteArray joined;
    for (const auto& [key, value] : headers_) {
        if (key.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (!joined.isEmpty())
            joined += ", ";
        joined += value;
    }
    return joined;
}

bool HttpAnswerReader::mayKeepConnection() const
{
    return state_ == State::done && !closeAsked_ && !trailingBytes_;
}

bool HttpAnswerReader::takeLine(QByteArrayView& bytes, qint64 bound, bool countsAsHeader, QByteArray& line)
{
    const qsizetype newline = bytes.indexOf('\n');
    const qsizetype taken = newline < 0 ? bytes.size() : newline + 1;
    if (countsAsHeader) {
        headerBytes_ += taken;
        if (headerBytes_ > limits_.headerBytes)
            return fail(Failure::headersTooLarge);
    }
    if (line_.size() + taken > bound)
        return fail(countsAsHeader ? Failure::headersTooLarge : Failure::malformed);
    line_.append(bytes.first(taken));
    bytes = bytes.sliced(taken);
    if (newline < 0)
        return false;
    line = std::exchange(line_, QByteArray());
    line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

bool HttpAnswerReader::feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        QByteArray line;
        switch (state_) {
        case State::statusLine:
        case State::headerLines:
        case State::trailers:
            if (!takeLine(bytes, limits_.headerBytes, true, line)) {
                if (state_ == State::failed)
                    return false;
                break;
            }
            if (state_ == State::statusLine ? !readStatusLine(line) : !readHeaderLine(line))
                return false;
            break;
        case State::body:
        case State::chunkData: {
            const qint64 count = std::min<qint64>(remaining_, bytes.size());
            if (!takeBody(bytes, count))
                return false;
            remaining_ -= count;
            if (remaining_ == 0)
                state_ = state_ == State::body ? State::done : State::chunkEnd;
            break;
        }
        case State::untilClose:
            if (!takeBody(bytes, bytes.size()))
                return false;
            break;
        case State::chunkSize:
            if (takeLine(bytes, longestChunkSizeLine, false, line) && !readChunkSize(line))
                return false;
            if (state_ == State::failed)
                return false;
            break;
        case State::chunkEnd:
            if (takeLine(bytes, 2, false, line)) {
                if (!line.isEmpty())
                    return fail(Failure::malformed);
                state_ = State::chunkSize;
            }
            if (state_ == State::failed)
                return false;
            break;
        case State::done:
            trailingBytes_ = true;
            return true;
        case State::failed:
            return false;
        }
    }
    return state_ != State::failed;
}

bool HttpAnswerReader::readStatusLine(const QByteArray& line)
{
    // "HTTP/1.1 200 OK"; the reason may be empty or missing.
    if (line.size() < 12 || !line.startsWith("HTTP/1.") || !isDigits(line.mid(7, 1)) || line.at(8) != ' '
        || !isDigits(line.mid(9, 3)) || (line.size() > 12 && line.at(12) != ' '))
        return fail(Failure::malformed);
    minorVersion_ = line.at(7) - '0';
    status_ = line.mid(9, 3).toInt();
    if (status_ < 100)
        return fail(Failure::malformed);
    reason_ = line.mid(13);
    state_ = State::headerLines;
    return true;
}

bool HttpAnswerReader::readHeaderLine(const QByteArray& line)
{
    if (line.isEmpty())
        return state_ == State::trailers ? (state_ = State::done, true) : endOfHeaders();
    if (state_ == State::trailers)
        return true; // read and counted, not kept
    if (line.front() == ' ' || line.front() == '\t') {
        // A value folded onto the next line belongs to the header before it.
        if (headers_.isEmpty())
            return fail(Failure::malformed);
        headers_.back().second += ' ' + line.trimmed();
        return true;
    }
    const qsizetype colon = line.indexOf(':');
    const QByteArray name = line.left(colon);
    if (colon <= 0 || name.contains(' ') || name.contains('\t'))
        return fail(Failure::malformed);
    headers_.append({ name, line.mid(colon + 1).trimmed() });
    return true;
}

bool HttpAnswerReader::endOfHeaders()
{
    if (status_ < 200) {
        // An interim answer ("100 Continue"): the real one follows and shares
        // the header bound with it. Nothing here asks to switch protocols.
        if (status_ == 101)
            return fail(Failure::malformed);
        headers_.clear();
        reason_.clear();
        state_ = State::statusLine;
        return true;
    }
    headersComplete_ = true;
    closeAsked_ = minorVersion_ == 0 || listTokens(header("Connection")).contains("close");
    if (bodiless_ || status_ == 204 || status_ == 304) {
        state_ = State::done;
        return true;
    }
    if (const QByteArray coding = header("Transfer-Encoding"); !coding.isEmpty()) {
        // The request asked for no coding of the content: only chunks frame it.
        if (listTokens(coding) != QList<QByteArray> { "chunked" })
            return fail(Failure::malformed);
        state_ = State::chunkSize;
        return true;
    }
    std::optional<qint64> length;
    for (const auto& [key, value] : headers_) {
        if (key.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray& part : value.split(',')) {
            const QByteArray digits = part.trimmed();
            if (!isDigits(digits) || digits.size() > 18 || (length && *length != digits.toLongLong()))
                return fail(Failure::malformed);
            length = digits.toLongLong();
        }
    }
    if (!length) {
        closeAsked_ = true;
        state_ = State::untilClose;
        return true;
    }
    if (*length > limits_.answerBytes)
        return fail(Failure::answerTooLarge);
    remaining_ = *length;
    state_ = remaining_ == 0 ? State::done : State::body;
    return true;
}

bool HttpAnswerReader::readChunkSize(const QByteArray& line)
{
    const qsizetype extension = line.indexOf(';');
    const QByteArray digits = (extension < 0 ? line : line.left(extension)).trimmed();
    bool ok = false;
    const qint64 size = digits.size() <= 15 ? digits.toLongLong(&ok, 16) : -1;
    if (!ok || size < 0 || digits.startsWith('+') || digits.startsWith('-'))
        return fail(Failure::malformed);
    if (size > limits_.answerBytes - bodyBytes_)
        return fail(Failure::answerTooLarge);
    remaining_ = size;
    state_ = size == 0 ? State::trailers : State::chunkData;
    return true;
}

bool HttpAnswerReader::takeBody(QByteArrayView& bytes, qint64 count)
{
    bodyBytes_ += count;
    if (bodyBytes_ > limits_.answerBytes)
        return fail(Failure::answerTooLarge);
    body_.append(bytes.first(count));
    bytes = bytes.sliced(count);
    return true;
}

void HttpAnswerReader::connectionClosed()
{
    if (state_ == State::untilClose)
        state_ = State::done;
    else if (state_ != State::done && state_ != State::failed)
        fail(Failure::cutOff);
}
