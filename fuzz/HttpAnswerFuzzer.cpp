// A service's answer of any bytes, as the network access reads it from a
// connection: fed in pieces whose size the first byte chooses, within small
// bounds, so that every way past them is met.

#include "FuzzSupport.h"

#include "platform/HttpAnswerReader.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = 1 + (data[0] & 0x3f);
    const bool head = (data[0] & 0x40) != 0;
    const QByteArray answer = Fuzz::bytes(data + 1, size - 1);
    HttpLimits limits;
    limits.headerBytes = 1024;
    limits.answerBytes = 4096;
    HttpAnswerReader reader(limits, head);
    qint64 body = 0;
    bool failed = false;
    for (qsizetype at = 0; at < answer.size() && !failed; at += piece) {
        failed = !reader.feed(QByteArrayView(answer).sliced(at, std::min(piece, answer.size() - at)));
        body += reader.takeBody().size();
        // A failed answer says why and stays failed.
        if (failed != (reader.failure() != HttpAnswerReader::Failure::none) || (failed && reader.feed("x")))
            __builtin_trap();
    }
    if (!failed)
        reader.connectionClosed();
    body += reader.takeBody().size();
    // Never more body than the bound, an end either way, and a whole answer
    // only with its headers and status.
    if (body > limits.answerBytes || reader.isDone() == (reader.failure() != HttpAnswerReader::Failure::none)
        || (reader.isDone() && (!reader.headersComplete() || reader.status() < 200 || reader.status() > 999))
        || (head && body > 0))
        __builtin_trap();
    return 0;
}
