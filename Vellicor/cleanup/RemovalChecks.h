#pragma once

#include "cleanup/RemovalPlan.h"

#include <QString>

#include <optional>

// Why a planned local file must not be removed now, or none when it may.
// Run on the worker right before the file is acted on: the file is still the
// regular file the scan found (size, modification and change time, device
// and inode), it is not locked, and at least one kept member of its group is
// on disk as a different file with its scanned size and time.
std::optional<QString> checkBeforeRemoval(const PlannedRemoval& item);
