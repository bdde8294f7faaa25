#include "results/GroupPositions.h"

#include <QtGlobal>

void GroupPositions::reset(std::size_t count)
{
    // At most half full, so that a probe ends soon.
    std::size_t size = 16;
    while (size < 2 * count)
        size *= 2;
    slots_.assign(size, { nullptr, -1 });
}

void GroupPositions::insert(const DuplicateGroup* group, int position)
{
    std::size_t slot = slotOf(group);
    while (slots_[slot].first && slots_[slot].first != group)
        slot = (slot + 1) & (slots_.size() - 1);
    slots_[slot] = { group, position };
}

void GroupPositions::mirror(int count)
{
    for (auto& [group, position] : slots_) {
        if (group)
            position = count - 1 - position;
    }
}

int GroupPositions::find(const DuplicateGroup* group) const
{
    if (slots_.empty() || !group)
        return -1;
    for (std::size_t slot = slotOf(group); slots_[slot].first; slot = (slot + 1) & (slots_.size() - 1)) {
        if (slots_[slot].first == group)
            return slots_[slot].second;
    }
    return -1;
}

std::size_t GroupPositions::slotOf(const DuplicateGroup* group) const
{
    const auto bits = quint64(reinterpret_cast<quintptr>(group));
    return std::size_t((bits >> 4) * 0x9E3779B97F4A7C15ull >> 20) & (slots_.size() - 1);
}
