#include "marking/CategoryShares.h"

#include "core/GlobalObjects.h"

namespace CategoryShares {

bool accumulateCategoryShares(const DuplicateGroup& group, Counts& counts, double& total)
{
    const qint64 shown = qint64(group.filterChildren.size());
    if (shown < 2)
        return false;
    constexpr int others = int(GlobalObjects::FileCategory::Others);
    int slot = others;
    for (const FileInfoNodePtr& file : group.filterChildren) {
        if (!file->fileCategory)
            break;
        const int category = int(*file->fileCategory);
        if (category != others && category >= 0 && category < slotCount) {
            slot = category;
            break;
        }
    }
    counts[size_t(slot)] += shown;
    total += double(shown);
    return true;
}

Percentages percentages(const std::vector<DuplicateGroupPtr>& groups)
{
    Counts counts {};
    double total = 0;
    for (const DuplicateGroupPtr& group : groups)
        accumulateCategoryShares(*group, counts, total);
    Percentages shares {};
    if (total > 0) {
        for (int i = 0; i < slotCount; ++i)
            shares[size_t(i)] = double(counts[size_t(i)] * 100) / total;
    }
    return shares;
}

} // namespace CategoryShares
