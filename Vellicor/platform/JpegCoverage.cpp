#include "platform/JpegCoverage.h"

#include "platform/JpegArithmeticBlocks.h"
#include "platform/JpegScanBits.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>

namespace {

using HuffmanTable = JpegCoverage::HuffmanTable;
using JpegCoding::ArithmeticBlocks;
using JpegCoding::ScanBits;

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
constexpr quint8 standardDcBrightness[]
    = { 0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 };
constexpr quint8 standardDcColours[]
    = { 0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 };
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

template <std::size_t size> QByteArray standardTable(const quint8 (&definition)[size])
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(definition), qsizetype(size));
}

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
        const auto* counts
            = reinterpret_cast<const quint8*>(definitions[slot]->bytes.constData() + definitions[slot]->at);
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

JpegCoverage::Units JpegCoverage::unitsOf(const Scan& scan) const
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
        const qint64 across = dividedUp(dividedUp(qint64(width_) * only.across, widest), 8);
        const qint64 down = dividedUp(dividedUp(qint64(height_) * only.down, tallest), 8);
        return { across * down, across, 8.0 * widest / only.across, 8.0 * tallest / only.down };
    }
    const qint64 across = dividedUp(width_, 8 * widest);
    return { across * dividedUp(height_, 8 * tallest), across, 8.0 * widest, 8.0 * tallest };
}

JpegCoverage::Decoded JpegCoverage::unitsDecoded(const Scan& scan, QIODevice& device, qint64 enough) const
{
    if (!device.seek(scan.dataStart))
        return {};
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
            return {};
        tables.emplace_back(&*dc[part.dc], scan.withAc ? &*ac[part.ac] : nullptr);
    }
    HuffmanBlocks blocks(device, std::move(tables));
    return unitsDecoded(scan, blocks, enough);
}

template <typename Blocks>
JpegCoverage::Decoded JpegCoverage::unitsDecoded(const Scan& scan, Blocks& blocks, qint64 enough) const
{
    const qint64 units = std::min(unitsOf(scan).count, enough);
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
    return { decoded, std::min(at, units) };
}

JpegCoverage::Reach JpegCoverage::reach(QIODevice& device, double enough) const
{
    if (width_ <= 0 || height_ <= 0)
        return { 0, {} };
    const bool whole = std::ranges::any_of(components_, &Component::whole);
    if (!open_ || !open_->firstValues || !(huffman_ || arithmetic_) || open_->components.empty())
        return { whole ? 1.0 : 0.0, {} };
    const Units units = unitsOf(*open_);
    if (units.count <= 0 || units.across <= 0)
        return { 0, {} };
    // Past the units reached, a decoder of Huffman codes leaves the scan's
    // colours at nothing, grey where no other colour is drawn whole.
    const bool otherDrawn = std::ranges::any_of(components_, [this](const Component& component) {
        return component.whole && std::ranges::none_of(open_->components, [&](const ScanComponent& part) {
            return &components_[part.component] == &component;
        });
    });
    const bool paint = arithmetic_ || otherDrawn;
    const qint64 counted = paint ? units.count : qint64(std::ceil(std::clamp(enough, 0.0, 1.0) * double(units.count)));
    const Decoded decoded = unitsDecoded(*open_, device, counted);
    Reach reach { double(decoded.whole) / double(units.count), {} };
    if (paint && decoded.reached < units.count) {
        const qint64 row = decoded.reached / units.across;
        const auto left = int(std::floor(double(decoded.reached % units.across) * units.width));
        const auto top = int(std::floor(double(row) * units.height));
        const int below = std::min(height_, int(std::ceil(double(row + 1) * units.height)));
        if (left < width_ && top < below)
            reach.notGrey.emplace_back(left, top, width_ - left, below - top);
        if (below < height_)
            reach.notGrey.emplace_back(0, below, width_, height_ - below);
    }
    return reach;
}
