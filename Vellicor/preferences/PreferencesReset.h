#pragma once

#include <QStringList>
#include <QVariantList>

class UserDefaults;

// The excluded-folder records after a reset: one checked record with
// sub-folders for each default path, in order, then the user's other records
// (those whose path is not a default one) in their earlier order. Entries that
// are not records are dropped.
QVariantList mergeExcludedFoldersWithDefaults(const QVariantList& stored, const QStringList& defaultPaths);

// Writes the default value of every scan, marking and clean-up setting, merges
// the default folders into the excluded folders, rebuilds the extension tables
// and emits AppNotifier's PreferencesResetToDefaults, on which the panes and
// the home screen reload. The scan history, the protected folders and the scan
// lists stay as they are. GUI thread.
void resetPreferencesToDefaults(UserDefaults& defaults);
