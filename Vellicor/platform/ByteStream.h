#pragma once

#include <QByteArray>
#include <QIODevice>

#include <algorithm>

// The bytes of a picture's segments as its readers walk them (PictureChecks,
// JpegCoverage). Pure; any thread.

// A device read a byte at a time through a buffer of its own.
class ByteStream {
public:
    explicit ByteStream(QIODevice& device)
        : device_(device)
    {
    }

    // The next byte, or -1 at the end.
    int next()
    {
        if (!atHand())
            return -1;
        ++taken_;
        return quint8(buffer_[at_++]);
    }

    // How many bytes it gave.
    qint64 taken() const { return taken_; }

    // The next count bytes, fewer at the end; kept only when asked.
    QByteArray take(int count, bool keep)
    {
        QByteArray taken;
        while (count > 0 && atHand()) {
            const qsizetype part = std::min<qsizetype>(count, buffer_.size() - at_);
            if (keep)
                taken.append(buffer_.constData() + at_, part);
            at_ += part;
            taken_ += part;
            count -= int(part);
        }
        return taken;
    }

private:
    // Whether a byte is at hand, the next part of device read when none is.
    bool atHand()
    {
        if (at_ == buffer_.size()) {
            buffer_ = device_.read(64 * 1024);
            at_ = 0;
        }
        return at_ < buffer_.size();
    }

    QIODevice& device_;
    QByteArray buffer_;
    qsizetype at_ = 0;
    qint64 taken_ = 0;
};

// The big-endian 16-bit number at at of bytes (which must hold it).
inline int bigEndian16(const QByteArray& bytes, int at)
{
    return quint8(bytes[at]) << 8 | quint8(bytes[at + 1]);
}
