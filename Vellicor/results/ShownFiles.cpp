#include "results/ShownFiles.h"

#include <algorithm>

bool takeReorderedFiles(std::vector<FileInfoNodePtr>& row, const std::vector<FileInfoNodePtr>& shown)
{
    constexpr std::size_t searchedInTurn = 32;
    if (row.size() > searchedInTurn)
        return false;
    std::size_t i = 0;
    for (const FileInfoNodePtr& file : shown) {
        if (!file)
            continue;
        const auto found = std::find_if(row.begin() + std::ptrdiff_t(std::min(i, row.size())), row.end(),
            [&file](const FileInfoNodePtr& held) { return held.get() == file.get(); });
        if (found == row.end())
            return false;
        std::iter_swap(row.begin() + std::ptrdiff_t(i), found);
        ++i;
    }
    return i == row.size();
}
