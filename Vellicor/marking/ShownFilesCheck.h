#pragma once

#include "core/FileInfoNode.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Checks of a group's shown files (which may hold nulls, left out here)
// against a list of its files taken earlier. Read only; any thread that owns
// the lists.

// shown holds exactly files, in their order.
bool showsInOrder(const std::vector<FileInfoNodePtr>& shown, std::span<const FileInfoNodePtr> files);

// shown holds exactly files, each once, in any order: nearly always in the
// same order, which is a walk along both; otherwise compared as sorted copies.
bool showsTheSameFiles(const std::vector<FileInfoNodePtr>& shown, std::span<const FileInfoNodePtr> files);

// Each index below count, none twice; no allocation for the groups of up to
// 64 files that nearly every result holds.
bool isPermutation(std::span<const std::uint32_t> order, std::size_t count);
