#pragma once

#include "core/FileInfoNode.h"

#include <vector>

// Puts row's files in the order of shown by exchanging them, so that no
// record's count changes; false when they are not the same files (then row
// still holds its own, in some order) or too many to search in turn.
bool takeReorderedFiles(std::vector<FileInfoNodePtr>& row, const std::vector<FileInfoNodePtr>& shown);
