#pragma once

#include "base/AlertPresenter.h"
#include "base/PrivateFiles.h"

#include <QString>

// What the user reads when a folder of the program's own is refused
// (PrivateFiles): why, in one sentence ("It belongs to another user."), and
// the alert that says what is lost.
QString folderFaultText(PrivateFiles::FolderFault fault);
AlertRequest folderRefusalAlert(const FolderRefusals::Refusal& refusal);
