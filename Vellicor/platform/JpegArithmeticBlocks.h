#pragma once

// The blocks of a JPEG scan of arithmetic codes, decoded decision by decision
// as its decoder decodes them, so that what of a picture cut short it draws
// can be counted.
#include "platform/JpegScanBits.h"

#include <QIODevice>

#include <array>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace JpegCoding {

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
inline constexpr Estimate estimates[] = { { 0x5a1d, 1, 1, true }, { 0x2586, 14, 2, false }, { 0x1114, 16, 3, false },
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
inline constexpr quint8 evenChance = 113;

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

} // namespace JpegCoding
