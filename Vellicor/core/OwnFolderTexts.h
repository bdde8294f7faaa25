#pragma once

#include "base/AlertPresenter.h"
#include "base/PrivateFiles.h"

#include <QString>

#include <vector>

// What the user reads when a folder of the program's own is refused
// (PrivateFiles): why, in one sentence ("It belongs to another user."), and
// the alert that says what is lost and what to mend.
QString folderFaultText(PrivateFiles::FolderFault fault);
AlertRequest folderRefusalAlert(const FolderRefusals::Refusal& refusal);
// The refusals met together told in one alert: each folder on a line of its
// own with why, what the program does without them, and what to mend (the
// folders another user can change above them, where that is why). One
// refusal alone is told as folderRefusalAlert tells it.
AlertRequest folderRefusalsAlert(const std::vector<FolderRefusals::Refusal>& refusals);
