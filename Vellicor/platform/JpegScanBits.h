#pragma once

// The entropy-coded data of a JPEG scan read bit by bit, for the count of
// what of a picture cut short its decoder draws.
#include "platform/ByteStream.h"
#include "platform/JpegCoverage.h"

#include <QIODevice>

namespace JpegCoding {

using HuffmanTable = JpegCoverage::HuffmanTable;

// The entropy-coded bytes of a scan as bits, a stuffed zero taken out; they
// end at the end of the bytes and at a marker, a restart marker among them,
// which restart() passes.
class ScanBits {
public:
    explicit ScanBits(QIODevice& device)
        : bytes_(device)
    {
    }

    // The next count bits (at most 16), or -1 when the data ends first.
    int get(int count)
    {
        if (!ensure(count))
            return -1;
        held_ -= count;
        return int((bits_ >> held_) & ((1u << count) - 1));
    }

    // The next code of table's, or -1 when the data ends first or holds no
    // code of the table.
    int decode(const HuffmanTable& table)
    {
        if (ensure(8)) {
            const auto next = size_t((bits_ >> (held_ - 8)) & 0xff);
            if (const int length = table.fastLength[next]; length > 0) {
                held_ -= length;
                return table.fastValue[next];
            }
        }
        int code = 0;
        for (int length = 1; length <= 16; ++length) {
            const int bit = get(1);
            if (bit < 0)
                return -1;
            code = code << 1 | bit;
            if (code <= table.maxCode[size_t(length)]) {
                const int at = code + table.valueOffset[size_t(length)];
                return at >= 0 && at < int(table.values.size()) ? table.values[size_t(at)] : -1;
            }
        }
        return -1;
    }

    // Past the bits left before the next restart marker, and past it; false
    // when the data ends first or at another marker.
    bool restart()
    {
        held_ = 0;
        bits_ = 0;
        while (!atRestart_) {
            if (ended_)
                return false;
            fill(true);
        }
        atRestart_ = false;
        return true;
    }

    bool ended() const { return ended_; }

private:
    bool ensure(int count)
    {
        while (held_ < count && !ended_ && !atRestart_)
            fill(false);
        return held_ >= count;
    }

    // Takes bytes until 56 bits are held or a marker or the end is met;
    // skipping, until a marker or the end.
    void fill(bool skipping)
    {
        while (skipping || held_ <= 56) {
            int byte = bytes_.next();
            if (byte < 0) {
                ended_ = true;
                return;
            }
            if (byte == 0xff) {
                int marker = bytes_.next();
                while (marker == 0xff)
                    marker = bytes_.next();
                if (marker < 0) {
                    ended_ = true;
                    return;
                }
                if (marker != 0x00) {
                    if (marker >= 0xd0 && marker <= 0xd7)
                        atRestart_ = true;
                    else
                        ended_ = true;
                    return;
                }
            }
            if (!skipping) {
                bits_ = bits_ << 8 | quint64(byte);
                held_ += 8;
            }
        }
    }

    ByteStream bytes_;
    quint64 bits_ = 0;
    int held_ = 0;
    bool atRestart_ = false;
    bool ended_ = false;
};

} // namespace JpegCoding
