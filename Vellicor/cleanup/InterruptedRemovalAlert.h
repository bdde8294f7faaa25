#pragma once

#include "base/AlertPresenter.h"
#include "platform/RestoreCopies.h"

#include <optional>
#include <vector>

struct SetAsideRecovery;

// The one alert that tells what a start put back of a removal an earlier
// run left unfinished ("ID_REMOVAL_INTERRUPTED", a line per file), and
// where partial copies of an ended undo may be left that it could not reach
// ("ID_UNDO_INTERRUPTED" when there is nothing else to tell); none when
// nothing was found.
std::optional<AlertRequest> interruptedRemovalAlert(
    const SetAsideRecovery& recovery, const std::vector<LeftRestoreCopy>& copiesAway = {});
