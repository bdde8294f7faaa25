#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// A stable merge sort whose result is defined for every comparison, also for
// those that are no strict weak order, such as an order of dates in which a
// file without a date ties with every file. The standard sorts must not be
// given such a comparison; this one only ever asks less(later, earlier) and
// moves the later element in front when it answers true, so equal or
// incomparable elements keep their order and the outcome is the same on every
// run. O(n log n) comparisons; less must not change the elements.
template <typename T, typename Less> void stableMergeSort(std::vector<T>& items, Less less)
{
    const std::size_t count = items.size();
    if (count < 2)
        return;
    std::vector<T> buffer(count);
    std::vector<T>* from = &items;
    std::vector<T>* to = &buffer;
    for (std::size_t width = 1; width < count; width *= 2) {
        for (std::size_t low = 0; low < count; low += 2 * width) {
            const std::size_t middle = std::min(low + width, count);
            const std::size_t high = std::min(low + 2 * width, count);
            std::size_t left = low;
            std::size_t right = middle;
            std::size_t out = low;
            while (left < middle && right < high) {
                if (less((*from)[right], (*from)[left]))
                    (*to)[out++] = std::move((*from)[right++]);
                else
                    (*to)[out++] = std::move((*from)[left++]);
            }
            while (left < middle)
                (*to)[out++] = std::move((*from)[left++]);
            while (right < high)
                (*to)[out++] = std::move((*from)[right++]);
        }
        std::swap(from, to);
    }
    if (from != &items)
        items = std::move(*from);
}
