#pragma once

#include <QHashFunctions>
#include <QtGlobal>

#include <cstddef>
#include <optional>
#include <vector>

// A set of records known by their places in a list that its owner keeps,
// found by a key of each (a path, a checksum) without a copy of the key: a
// slot holds 32 bits of the key's hash and the place, and a key met again is
// told from another of the same hash by the owner, who reads the record at
// that place. Open addressing, the slots at most 70 % full, so that an entry
// takes 11 to 23 bytes (35 while the slots double).
class RecordIndexTable {
public:
    // What an entry takes at most, the slots' doubling included.
    static constexpr qint64 bytesPerEntryAtMost = 35;

    // The hash to find a key by: seeded anew for each run of the program, so
    // that keys chosen to share their slots (a folder of names or checksums
    // made to collide) cannot make every look-up walk all the others.
    template <typename Key> static std::size_t hashOf(const Key& key) { return qHash(key, QHashSeed::globalSeed()); }

    // The place of the entry whose key has hash and for which sameKey(place)
    // holds, when there is one; otherwise place is taken in and none is
    // answered. Places must stay below 2^32 - 1.
    template <typename SameKey>
    std::optional<quint32> findOrInsert(std::size_t hash, quint32 place, const SameKey& sameKey)
    {
        if ((count_ + 1) * 10 > slots_.size() * 7)
            grow();
        const auto fragment = static_cast<quint32>(hash ^ (quint64(hash) >> 32));
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = fragment & mask;; at = (at + 1) & mask) {
            const quint64 slot = slots_[at];
            if (slot == 0) {
                slots_[at] = (quint64(fragment) << 32) | (quint64(place) + 1);
                ++count_;
                return std::nullopt;
            }
            const auto other = static_cast<quint32>((slot & 0xffffffffu) - 1);
            if (quint32(slot >> 32) == fragment && sameKey(other))
                return other;
        }
    }

    std::size_t size() const { return count_; }

private:
    void grow()
    {
        std::vector<quint64> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 16 : old.size() * 2, 0);
        const std::size_t mask = slots_.size() - 1;
        for (const quint64 slot : old) {
            if (slot == 0)
                continue;
            std::size_t at = (slot >> 32) & mask;
            while (slots_[at] != 0)
                at = (at + 1) & mask;
            slots_[at] = slot;
        }
    }

    std::vector<quint64> slots_;
    std::size_t count_ = 0;
};
