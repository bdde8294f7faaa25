#pragma once

#include "base/AlertPresenter.h"

#include <optional>

struct SetAsideRecovery;

// The one alert that tells what a start put back of a removal an earlier
// run left unfinished ("ID_REMOVAL_INTERRUPTED", a line per file); none when
// nothing was found.
std::optional<AlertRequest> interruptedRemovalAlert(const SetAsideRecovery& recovery);
