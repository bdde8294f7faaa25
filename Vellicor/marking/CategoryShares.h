#pragma once

#include "core/DuplicateGroup.h"

#include <array>
#include <vector>

// How the shown duplicates of a result set divide among the six file
// categories, for the results screen's pie and its legend. Pure; any thread
// that may read the records.
namespace CategoryShares {

inline constexpr int slotCount = 6;
using Counts = std::array<qint64, slotCount>;
using Percentages = std::array<double, slotCount>;

// Counts a group of two or more shown files, all of them in one slot: that of
// its first shown file of a category other than Others; a file without any
// category, or a group of Others only, counts under Others.
bool accumulateCategoryShares(const DuplicateGroup& group, Counts& counts, double& total);

// The six shares in percent; all zero when no group counts, so the pie then
// has no slices rather than six divisions by zero.
Percentages percentages(const std::vector<DuplicateGroupPtr>& groups);

} // namespace CategoryShares
