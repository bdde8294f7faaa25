#pragma once

#include "core/FileInfoNode.h"

#include <vector>

// A group row's list of files against its group's shown files (which may
// hold nulls, left out of the row).

// Whether row holds the shown files, in their order.
bool sameFiles(const std::vector<FileInfoNodePtr>& row, const std::vector<FileInfoNodePtr>& shown);

// Puts row's files in the order of shown by exchanging them, so that no
// record's count changes; false when they are not the same files (then row
// still holds its own, in some order) or too many to search in turn.
bool takeReorderedFiles(std::vector<FileInfoNodePtr>& row, const std::vector<FileInfoNodePtr>& shown);
