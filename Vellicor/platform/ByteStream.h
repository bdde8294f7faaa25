#pragma once

#include <QByteArray>
#include <QIODevice>

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
        if (at_ == buffer_.size()) {
            buffer_ = device_.read(64 * 1024);
            at_ = 0;
            if (buffer_.isEmpty())
                return -1;
        }
        ++taken_;
        return quint8(buffer_[at_++]);
    }

    // How many bytes next() gave.
    qint64 taken() const { return taken_; }

    // The next count bytes, fewer at the end; kept only when asked.
    QByteArray take(int count, bool keep)
    {
        QByteArray taken;
        for (int i = 0; i < count; ++i) {
            const int byte = next();
            if (byte < 0)
                break;
            if (keep)
                taken.append(char(byte));
        }
        return taken;
    }

private:
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
