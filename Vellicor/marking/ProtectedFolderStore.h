#pragma once

#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"

#include <optional>
#include <vector>

class UserDefaults;

// The protected-folder lists of every scan source, one object for the whole
// run, held by reference by the home screen, the results screen and the
// selection assistant, so that an edit made on one screen is the list the
// others see. GUI thread only; workers get a ProtectedFolderMatcher instead.
//
// Only this computer's list is kept in the settings ("protectedFolders");
// the cloud lists live for the run.
class ProtectedFolderStore {
public:
    // A store over the settings the lists are read from and written to; the
    // settings outlive the store.
    explicit ProtectedFolderStore(UserDefaults& defaults);

    std::vector<FilePathNodePtr> arrProtectedPathsFinder;
    std::vector<FilePathNodePtr> arrProtectedPathsGDrive;
    std::vector<FilePathNodePtr> arrProtectedPathsCloud;

    // The list of a scan source: this computer's, Google Drive's, or the one
    // every other cloud source shares.
    std::vector<FilePathNodePtr>& listForSource(ScanSource source);

    // Refills this computer's list from the settings with new rows. A record
    // that is not a list leaves the list as it is (false), so a damaged
    // setting never wipes the folders the user protected; an entry that is not
    // a folder record with a path is skipped and logged. A flag that cannot be
    // read as a truth value counts as "with sub-folders", which protects more.
    bool loadThisComputerList();
    // This computer's list as the settings hold it, without touching the
    // shared list; none when the setting is not a list.
    std::optional<std::vector<FilePathNodePtr>> storedThisComputerList() const;

    // Writes this computer's list to the settings in list order; rows without
    // a path are left out. False when the settings could not be saved.
    bool saveProtectedFolders() const;

private:
    UserDefaults& defaults_;
};
