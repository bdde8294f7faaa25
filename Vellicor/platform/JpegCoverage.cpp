#include "platform/JpegCoverage.h"

#include "platform/ByteStream.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>

namespace {

using HuffmanTable = JpegCoverage::HuffmanTable;

// A table from a definition's counts of codes by length and its values;
// none when the counts do not make a code (its decoder refuses the picture
// then).
std::optional<HuffmanTable> huffmanTable(const quint8* counts, const quint8* values, int valueCount)
{
    HuffmanTable table;
    table.values.assign(values, values + valueCount);
    int code = 0;
    int next = 0;
    for (int length = 1; length <= 16; ++length) {
        table.valueOffset[size_t(length)] = next - code;
        for (int i = 0; i < counts[length - 1]; ++i, ++code, ++next) {
            if (code >= 1 << length)
                return std::nullopt;
            if (length <= 8) {
                const int first = code << (8 - length);
                for (int rest = 0; rest < 1 << (8 - length); ++rest) {
                    table.fastLength[size_t(first + rest)] = quint8(length);
                    table.fastValue[size_t(first + rest)] = values[next];
                }
            }
        }
        // No code is all ones.
        if (code >= 1 << length)
            return std::nullopt;
        table.maxCode[size_t(length)] = counts[length - 1] > 0 ? code - 1 : -1;
        code <<= 1;
    }
    return table;
}

// The tables a picture that defines none of its own is decoded with, as its
// decoder knows them: the standard ones, in slots 0 (brightness) and 1
// (colours). Counts of codes by length, then the values.
constexpr quint8 standardDcBrightness[] = { 0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8,
    9, 10, 11 };
constexpr quint8 standardDcColours[] = { 0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
    10, 11 };
constexpr quint8 standardAcBrightness[] = { 0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d, 0x01, 0x02, 0x03, 0x00,
    0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1,
    0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18,
    0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46,
    0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
    0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93,
    0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5,
    0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4,
    0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa };
constexpr quint8 standardAcColours[] = { 0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77, 0x00, 0x01, 0x02, 0x03,
    0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42,
    0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25,
    0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,
    0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a,
    0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2,
    0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4,
    0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa };

template <std::size_t size>
QByteArray standardTable(const quint8 (&definition)[size])
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(definition), qsizetype(size));
}

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

// One block's codes: its DC coefficient, and its AC ones when asked; false
// when the data ends or holds no such code first.
bool decodeBlock(ScanBits& bits, const HuffmanTable& dc, const HuffmanTable* ac)
{
    const int size = bits.decode(dc);
    if (size < 0 || size > 16 || (size > 0 && bits.get(size) < 0))
        return false;
    if (!ac)
        return true;
    for (int k = 1; k < 64; ++k) {
        const int runSize = bits.decode(*ac);
        if (runSize < 0)
            return false;
        const int run = runSize >> 4;
        const int bitCount = runSize & 0xf;
        if (bitCount == 0) {
            // The rest of the block is zero; or sixteen zeros.
            if (run != 15)
                break;
            k += 15;
            continue;
        }
        k += run;
        if (bits.get(bitCount) < 0)
            return false;
    }
    return true;
}

// The blocks of a scan of Huffman codes, with its tables.
class HuffmanBlocks {
public:
    HuffmanBlocks(QIODevice& device, std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>> tables)
        : bits_(device)
        , tables_(std::move(tables))
    {
    }

    // The next block of the scan's component at part; false when the data
    // ends or holds no such code first.
    bool block(std::size_t part) { return decodeBlock(bits_, *tables_[part].first, tables_[part].second); }
    bool ended() const { return bits_.ended(); }
    // Past the next restart marker; false when the data ends first.
    bool restart() { return bits_.restart(); }

private:
    ScanBits bits_;
    // Each component's tables, no AC table when the scan brings no AC
    // coefficients.
    std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>> tables_;
};

// The probability estimates of arithmetic decoding: the chance of the less
// likely decision, and the estimate that follows each decision (and whether
// the more likely decision swaps after a less likely one). The last is the
// fixed even chance a coefficient's sign is decoded with.
struct Estimate {
    quint16 chance;
    quint8 afterLess;
    quint8 afterMore;
    bool swap;
};
constexpr Estimate estimates[] = { { 0x5a1d, 1, 1, true }, { 0x2586, 14, 2, false }, { 0x1114, 16, 3, false },
    { 0x080b, 18, 4, false }, { 0x03d8, 20, 5, false }, { 0x01da, 23, 6, false }, { 0x00e5, 25, 7, false },
    { 0x006f, 28, 8, false }, { 0x0036, 30, 9, false }, { 0x001a, 33, 10, false }, { 0x000d, 35, 11, false },
    { 0x0006, 9, 12, false }, { 0x0003, 10, 13, false }, { 0x0001, 12, 13, false }, { 0x5a7f, 15, 15, true },
    { 0x3f25, 36, 16, false }, { 0x2cf2, 38, 17, false }, { 0x207c, 39, 18, false }, { 0x17b9, 40, 19, false },
    { 0x1182, 42, 20, false }, { 0x0cef, 43, 21, false }, { 0x09a1, 45, 22, false }, { 0x072f, 46, 23, false },
    { 0x055c, 48, 24, false }, { 0x0406, 49, 25, false }, { 0x0303, 51, 26, false }, { 0x0240, 52, 27, false },
    { 0x01b1, 54, 28, false }, { 0x0144, 56, 29, false }, { 0x00f5, 57, 30, false }, { 0x00b7, 59, 31, false },
    { 0x008a, 60, 32, false }, { 0x0068, 62, 33, false }, { 0x004e, 63, 34, false }, { 0x003b, 32, 35, false },
    { 0x002c, 33, 9, false }, { 0x5ae1, 37, 37, true }, { 0x484c, 64, 38, false }, { 0x3a0d, 65, 39, false },
    { 0x2ef1, 67, 40, false }, { 0x261f, 68, 41, false }, { 0x1f33, 69, 42, false }, { 0x19a8, 70, 43, false },
    { 0x1518, 72, 44, false }, { 0x1177, 73, 45, false }, { 0x0e74, 74, 46, false }, { 0x0bfb, 75, 47, false },
    { 0x09f8, 77, 48, false }, { 0x0861, 78, 49, false }, { 0x0706, 79, 50, false }, { 0x05cd, 48, 51, false },
    { 0x04de, 50, 52, false }, { 0x040f, 50, 53, false }, { 0x0363, 51, 54, false }, { 0x02d4, 52, 55, false },
    { 0x025c, 53, 56, false }, { 0x01f8, 54, 57, false }, { 0x01a4, 55, 58, false }, { 0x0160, 56, 59, false },
    { 0x0125, 57, 60, false }, { 0x00f6, 58, 61, false }, { 0x00cb, 59, 62, false }, { 0x00ab, 61, 63, false },
    { 0x008f, 61, 32, false }, { 0x5b12, 65, 65, true }, { 0x4d04, 80, 66, false }, { 0x412c, 81, 67, false },
    { 0x37d8, 82, 68, false }, { 0x2fe8, 83, 69, false }, { 0x293c, 84, 70, false }, { 0x2379, 86, 71, false },
    { 0x1edf, 87, 72, false }, { 0x1aa9, 87, 73, false }, { 0x174e, 72, 74, false }, { 0x1424, 72, 75, false },
    { 0x119c, 74, 76, false }, { 0x0f6b, 74, 77, false }, { 0x0d51, 75, 78, false }, { 0x0bb6, 77, 79, false },
    { 0x0a40, 77, 48, false }, { 0x5832, 80, 81, true }, { 0x4d1c, 88, 82, false }, { 0x438e, 89, 83, false },
    { 0x3bdd, 90, 84, false }, { 0x34ee, 91, 85, false }, { 0x2eae, 92, 86, false }, { 0x299a, 93, 87, false },
    { 0x2516, 86, 71, false }, { 0x5570, 88, 89, true }, { 0x4ca9, 95, 90, false }, { 0x44d9, 96, 91, false },
    { 0x3e22, 97, 92, false }, { 0x3824, 99, 93, false }, { 0x32b4, 99, 94, false }, { 0x2e17, 93, 86, false },
    { 0x56a8, 95, 96, true }, { 0x4f46, 101, 97, false }, { 0x47e5, 102, 98, false }, { 0x41cf, 103, 99, false },
    { 0x3c3d, 104, 100, false }, { 0x375e, 99, 93, false }, { 0x5231, 105, 102, false }, { 0x4c0f, 106, 103, false },
    { 0x4639, 107, 104, false }, { 0x415e, 103, 99, false }, { 0x5627, 105, 106, true }, { 0x50e7, 108, 107, false },
    { 0x4b85, 109, 103, false }, { 0x5597, 110, 109, false }, { 0x504f, 111, 107, false }, { 0x5a10, 110, 111, true },
    { 0x5522, 112, 109, false }, { 0x59eb, 112, 111, true }, { 0x5a1d, 113, 113, false } };
constexpr quint8 evenChance = 113;

// The blocks of a scan of arithmetic codes. Where its data meets a marker its
// decoder goes on with zeros, as an encoder may leave out the zeros an
// interval ends with: a restart marker so met ends nothing, but once the bytes
// have ended the decisions that take zeros for data draw no part of the
// picture.
class ArithmeticBlocks {
public:
    // Of each component of the scan: its DC and AC conditioning slots.
    struct Part {
        std::size_t dc = 0;
        std::size_t ac = 0;
    };
    ArithmeticBlocks(QIODevice& device, std::vector<Part> parts, bool withAc, const std::array<int, 4>& dcSmall,
        const std::array<int, 4>& dcLarge, const std::array<int, 4>& acSplit)
        : bits_(device)
        , parts_(std::move(parts))
        , withAc_(withAc)
        , dcSmall_(dcSmall)
        , dcLarge_(dcLarge)
        , acSplit_(acSplit)
    {
        start();
    }

    bool block(std::size_t part)
    {
        if (!dcDifference(part) || (withAc_ && !acCoefficients(parts_[part].ac)))
            return false;
        return !ended_;
    }
    bool ended() const { return ended_; }
    bool restart()
    {
        if (!bits_.restart())
            return false;
        start();
        return true;
    }

private:
    void start()
    {
        for (auto& each : dcStates_)
            each.fill(0);
        for (auto& each : acStates_)
            each.fill(0);
        contexts_.assign(parts_.size(), 0);
        code_ = 0;
        range_ = 0;
        shift_ = -16;
        ended_ = false;
    }

    // One decision with the estimate at state, which it moves on.
    int decide(quint8& state)
    {
        while (range_ < 0x8000) {
            if (--shift_ < 0) {
                int byte = ended_ ? -1 : bits_.get(8);
                if (byte < 0) {
                    ended_ = ended_ || bits_.ended();
                    byte = 0;
                }
                code_ = code_ << 8 | quint32(byte);
                shift_ += 8;
                // The first two bytes of an interval open its range.
                if (shift_ < 0 && ++shift_ == 0)
                    range_ = 0x8000;
            }
            range_ <<= 1;
        }
        const Estimate& estimate = estimates[state & 0x7f];
        const int likely = state >> 7;
        const auto less = [&] { return quint8((estimate.swap ? !likely : likely) << 7 | estimate.afterLess); };
        const auto more = [&] { return quint8(likely << 7 | estimate.afterMore); };
        range_ -= estimate.chance;
        const quint32 below = range_ << shift_;
        if (code_ >= below) {
            code_ -= below;
            // The less likely decision's part, unless it is the larger.
            const bool larger = range_ < estimate.chance;
            range_ = estimate.chance;
            state = larger ? more() : less();
            return larger ? likely : !likely;
        }
        if (range_ < 0x8000) {
            const bool smaller = range_ < estimate.chance;
            state = smaller ? less() : more();
            return smaller ? !likely : likely;
        }
        return likely;
    }

    // A size of at least size, doubled while the states from at on say so
    // (its decoder refuses one past 15 bits), then the value's bits below it,
    // in the states fourteen further on.
    template <std::size_t count>
    std::optional<int> largerSize(std::array<quint8, count>& states, std::size_t at, int size)
    {
        while (decide(states[at])) {
            if ((size <<= 1) == 0x8000)
                return std::nullopt;
            ++at;
        }
        for (int bit = size >> 1; bit > 0; bit >>= 1)
            decide(states[at + 14]);
        return size;
    }

    bool dcDifference(std::size_t part)
    {
        auto& states = dcStates_[parts_[part].dc];
        int& context = contexts_[part];
        if (!decide(states[size_t(context)])) {
            context = 0;
            return true;
        }
        const int negative = decide(states[size_t(context + 1)]);
        // Its size (the largest power of two in it less one): zero, or one
        // and more.
        int size = decide(states[size_t(context + 2 + negative)]);
        if (size != 0) {
            const std::optional<int> larger = largerSize(states, 20, 1);
            if (!larger)
                return false;
            size = *larger;
        }
        const std::size_t slot = parts_[part].dc;
        if (size < (1 << dcSmall_[slot]) >> 1)
            context = 0;
        else if (size > (1 << dcLarge_[slot]) >> 1)
            context = 12 + 4 * negative;
        else
            context = 4 + 4 * negative;
        return true;
    }

    bool acCoefficients(std::size_t slot)
    {
        auto& states = acStates_[slot];
        for (int k = 1; k < 64; ++k) {
            std::size_t at = size_t(3 * (k - 1));
            // The end of the block.
            if (decide(states[at]))
                return true;
            while (!decide(states[at + 1])) {
                at += 3;
                if (++k > 63)
                    return false;
            }
            quint8 sign = evenChance;
            decide(sign);
            // Its size: zero, one, or two and more, told in the states of
            // the lower or the higher coefficients.
            at += 2;
            if (!decide(states[at]) || !decide(states[at]))
                continue;
            if (!largerSize(states, k <= acSplit_[slot] ? 189 : 217, 2))
                return false;
        }
        return true;
    }

    ScanBits bits_;
    std::vector<Part> parts_;
    bool withAc_ = false;
    std::array<int, 4> dcSmall_;
    std::array<int, 4> dcLarge_;
    std::array<int, 4> acSplit_;
    std::array<std::array<quint8, 64>, 4> dcStates_ {};
    std::array<std::array<quint8, 256>, 4> acStates_ {};
    // Of each component: the state its next DC difference starts from, by the
    // last one's size.
    std::vector<int> contexts_;
    quint32 code_ = 0;
    quint32 range_ = 0;
    int shift_ = -16;
    bool ended_ = false;
};

qint64 dividedUp(qint64 value, qint64 by)
{
    return (value + by - 1) / by;
}

} // namespace

JpegCoverage::JpegCoverage()
    : dcTables_ { TableDefinition { standardTable(standardDcBrightness) },
        TableDefinition { standardTable(standardDcColours) }, std::nullopt, std::nullopt }
    , acTables_ { TableDefinition { standardTable(standardAcBrightness) },
        TableDefinition { standardTable(standardAcColours) }, std::nullopt, std::nullopt }
{
}

JpegCoverage::Tables JpegCoverage::made(const Definitions& definitions)
{
    Tables tables;
    for (std::size_t slot = 0; slot < tables.size(); ++slot) {
        if (!definitions[slot])
            continue;
        const auto* counts = reinterpret_cast<const quint8*>(definitions[slot]->bytes.constData() + definitions[slot]->at);
        int values = 0;
        for (int length = 0; length < 16; ++length)
            values += counts[length];
        tables[slot] = huffmanTable(counts, counts + 16, values);
    }
    return tables;
}

void JpegCoverage::frame(int marker, const QByteArray& payload)
{
    if (framed_ || payload.size() < 6)
        return;
    framed_ = true;
    // Huffman codes: the baseline, extended and progressive frames; and
    // arithmetic codes in the extended and progressive ones.
    huffman_ = marker == 0xc0 || marker == 0xc1 || marker == 0xc2;
    arithmetic_ = marker == 0xc9 || marker == 0xca;
    progressive_ = marker == 0xc2 || marker == 0xca;
    height_ = bigEndian16(payload, 1);
    width_ = bigEndian16(payload, 3);
    const int count = quint8(payload[5]);
    for (int c = 0; c < count && 6 + 3 * c + 2 < payload.size(); ++c) {
        const int factors = quint8(payload[6 + 3 * c + 1]);
        components_.push_back(
            { quint8(payload[6 + 3 * c]), std::clamp(factors >> 4, 1, 4), std::clamp(factors & 0xf, 1, 4), false });
    }
}

void JpegCoverage::huffmanTables(const QByteArray& payload)
{
    int at = 0;
    while (at + 17 <= payload.size()) {
        const int kind = quint8(payload[at]) >> 4;
        const int slot = quint8(payload[at]) & 0xf;
        const auto* counts = reinterpret_cast<const quint8*>(payload.constData() + at + 1);
        int values = 0;
        for (int i = 0; i < 16; ++i)
            values += counts[i];
        if (values > 256 || at + 17 + values > payload.size() || kind > 1 || slot > 3)
            return;
        auto& tables = kind == 0 ? dcTables_ : acTables_;
        tables[size_t(slot)] = TableDefinition { payload, at + 1 };
        at += 17 + values;
    }
}

void JpegCoverage::arithmeticConditioning(const QByteArray& payload)
{
    for (int at = 0; at + 2 <= payload.size(); at += 2) {
        const int kind = quint8(payload[at]) >> 4;
        const auto slot = size_t(quint8(payload[at]) & 3);
        const int value = quint8(payload[at + 1]);
        if (kind == 0) {
            conditioning_.dcSmall[slot] = value & 0xf;
            conditioning_.dcLarge[slot] = value >> 4;
        } else if (kind == 1) {
            conditioning_.acSplit[slot] = value;
        }
    }
}

void JpegCoverage::restartInterval(const QByteArray& payload)
{
    if (payload.size() >= 2)
        restartInterval_ = bigEndian16(payload, 0);
}

void JpegCoverage::scanStarts(const QByteArray& payload, qint64 dataStart)
{
    open_.reset();
    const int count = payload.isEmpty() ? 0 : quint8(payload[0]);
    if (payload.size() < 1 + 2 * count + 3)
        return;
    const int spectralStart = quint8(payload[1 + 2 * count]);
    const int approximationHigh = quint8(payload[1 + 2 * count + 2]) >> 4;
    Scan scan;
    scan.firstValues = !progressive_ || (spectralStart == 0 && approximationHigh == 0);
    scan.withAc = !progressive_;
    scan.dataStart = dataStart;
    scan.restartInterval = restartInterval_;
    scan.dcTables = dcTables_;
    scan.acTables = acTables_;
    scan.conditioning = conditioning_;
    for (int c = 0; c < count; ++c) {
        const int id = quint8(payload[1 + 2 * c]);
        const int tables = quint8(payload[2 + 2 * c]);
        const auto known = std::ranges::find_if(components_, [id](const Component& each) { return each.id == id; });
        if (known == components_.end())
            return;
        scan.components.push_back(
            { std::size_t(known - components_.begin()), std::size_t((tables >> 4) & 3), std::size_t(tables & 3) });
    }
    open_ = std::move(scan);
}

void JpegCoverage::scanEnded()
{
    if (open_ && open_->firstValues) {
        for (const ScanComponent& part : open_->components)
            components_[part.component].whole = true;
    }
    open_.reset();
}

qint64 JpegCoverage::unitsOf(const Scan& scan) const
{
    int widest = 1;
    int tallest = 1;
    for (const Component& component : components_) {
        widest = std::max(widest, component.across);
        tallest = std::max(tallest, component.down);
    }
    if (scan.components.size() == 1) {
        // A scan of one component goes through its blocks one by one.
        const Component& only = components_[scan.components.front().component];
        return dividedUp(dividedUp(qint64(width_) * only.across, widest), 8)
            * dividedUp(dividedUp(qint64(height_) * only.down, tallest), 8);
    }
    return dividedUp(width_, 8 * widest) * dividedUp(height_, 8 * tallest);
}

qint64 JpegCoverage::unitsDecoded(const Scan& scan, QIODevice& device, qint64 enough) const
{
    if (!device.seek(scan.dataStart))
        return 0;
    if (arithmetic_) {
        std::vector<ArithmeticBlocks::Part> parts;
        for (const ScanComponent& part : scan.components)
            parts.push_back({ part.dc, part.ac });
        ArithmeticBlocks blocks(device, std::move(parts), scan.withAc, scan.conditioning.dcSmall,
            scan.conditioning.dcLarge, scan.conditioning.acSplit);
        return unitsDecoded(scan, blocks, enough);
    }
    const Tables dc = made(scan.dcTables);
    const Tables ac = made(scan.acTables);
    std::vector<std::pair<const HuffmanTable*, const HuffmanTable*>> tables;
    for (const ScanComponent& part : scan.components) {
        if (!dc[part.dc] || (scan.withAc && !ac[part.ac]))
            return 0;
        tables.emplace_back(&*dc[part.dc], scan.withAc ? &*ac[part.ac] : nullptr);
    }
    HuffmanBlocks blocks(device, std::move(tables));
    return unitsDecoded(scan, blocks, enough);
}

template <typename Blocks> qint64 JpegCoverage::unitsDecoded(const Scan& scan, Blocks& blocks, qint64 enough) const
{
    const qint64 units = std::min(unitsOf(scan), enough);
    const bool interleaved = scan.components.size() > 1;
    const qint64 interval = scan.restartInterval;
    // The unit the data has come to, and those of them decoded whole.
    qint64 at = 0;
    qint64 decoded = 0;
    while (at < units) {
        bool whole = true;
        for (std::size_t part = 0; part < scan.components.size(); ++part) {
            const Component& component = components_[scan.components[part].component];
            const int count = interleaved ? component.across * component.down : 1;
            for (int block = 0; whole && block < count; ++block)
                whole = blocks.block(part);
        }
        if (whole) {
            ++at;
            ++decoded;
            if (interval == 0 || at % interval != 0 || at == units)
                continue;
        } else if (blocks.ended() || interval == 0) {
            break;
        } else {
            // Codes its decoder does not know, or the interval's data ends:
            // it goes on at the next restart, the rest of this interval left
            // as nothing.
            at = (at / interval + 1) * interval;
        }
        if (!blocks.restart())
            break;
    }
    return decoded;
}

double JpegCoverage::share(QIODevice& device, double enough) const
{
    if (width_ <= 0 || height_ <= 0)
        return 0;
    if (std::ranges::any_of(components_, &Component::whole))
        return 1;
    if (!open_ || !open_->firstValues || !(huffman_ || arithmetic_) || open_->components.empty())
        return 0;
    const qint64 units = unitsOf(*open_);
    if (units <= 0)
        return 0;
    const auto enoughUnits = qint64(std::ceil(std::clamp(enough, 0.0, 1.0) * double(units)));
    return double(unitsDecoded(*open_, device, enoughUnits)) / double(units);
}
