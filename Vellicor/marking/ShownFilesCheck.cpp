#include "marking/ShownFilesCheck.h"

#include <algorithm>

bool showsInOrder(const std::vector<FileInfoNodePtr>& shown, std::span<const FileInfoNodePtr> files)
{
    auto next = files.begin();
    for (const FileInfoNodePtr& file : shown) {
        if (!file)
            continue;
        if (next == files.end() || file != *next)
            return false;
        ++next;
    }
    return next == files.end();
}

bool showsTheSameFiles(const std::vector<FileInfoNodePtr>& shown, std::span<const FileInfoNodePtr> files)
{
    if (showsInOrder(shown, files))
        return true;
    std::vector<FileInfoNodePtr> now = shown;
    std::erase(now, nullptr);
    std::vector<FileInfoNodePtr> given(files.begin(), files.end());
    std::ranges::sort(now);
    std::ranges::sort(given);
    return now == given && std::ranges::adjacent_find(given) == given.end();
}

bool isPermutation(std::span<const std::uint32_t> order, std::size_t count)
{
    if (order.size() != count)
        return false;
    if (count <= 64) {
        std::uint64_t taken = 0;
        for (const std::uint32_t index : order) {
            const std::uint64_t bit = std::uint64_t(1) << (index & 63);
            if (index >= count || (taken & bit) != 0)
                return false;
            taken |= bit;
        }
        return true;
    }
    std::vector<bool> taken(count);
    for (const std::uint32_t index : order) {
        if (index >= count || taken[index])
            return false;
        taken[index] = true;
    }
    return true;
}
