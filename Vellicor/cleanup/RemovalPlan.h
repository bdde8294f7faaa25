#pragma once

#include "core/DuplicateGroup.h"
#include "core/GlobalObjects.h"
#include "marking/ProtectedFolderMatcher.h"

#include <QString>

#include <memory>
#include <vector>

class ResultsState;

// How one planned file is removed.
enum class RemovalRoute {
    // A file of this computer, into the trash.
    trash,
    // A file on a network volume, deleted for good (the settings ask for it).
    deleteOutright,
    // A file of a cloud source, through its source.
    cloud,
    // A photo-library item, collected for the photo-library step; never
    // removed here.
    photoLibrary,
};

// A local file as the scan found it: what the checks compare the disk with.
struct ScannedFile {
    QString path;
    quint64 deviceId = 0;
    quint64 inode = 0;
    quint64 fileSize = 0;
    FileTimestamp modTime;
    FileTimestamp changeTime;
    // Whole seconds since 1970 of the record's modification date, for a
    // record without the exact time; 0 when neither is known.
    qint64 modSeconds = 0;
};

ScannedFile scannedFileOf(const FileInfoNode& file);

// How a marked file of a result set from source is to be removed, as the
// scan found it (no disk is asked). deleteNetworkOutright is the setting
// "doNotShowConfirmationDialogOnTrashForNetworkDrive".
RemovalRoute plannedRoute(const FileInfoNode& file, ScanSource source, bool deleteNetworkOutright);

// One file of the plan, with copies of everything the worker reads, so the
// worker never reads a record the GUI thread may change.
struct PlannedRemoval {
    FileInfoNodePtr file;
    DuplicateGroupPtr group;
    RemovalRoute route = RemovalRoute::trash;
    ScannedFile scanned;
    bool isLocked = false;
    // Its digest where the scan compared its group by content; empty
    // otherwise, and then its removal takes the digest of its bytes as they
    // are compared with a kept copy.
    QString md5;
    // The group's members that stay: one of them must still be on disk, as
    // another file, before this one goes. One list serves every planned file
    // of the group.
    std::shared_ptr<const std::vector<ScannedFile>> keptCopies;
};

// A marked file the plan leaves out, and why.
struct RefusedRemoval {
    FileInfoNodePtr file;
    DuplicateGroupPtr group;
    QString reason;
};

// The clean-up of the marked shown files, made on the GUI thread from the
// results state before the worker starts.
struct RemovalPlan {
    std::vector<PlannedRemoval> items;
    std::vector<RefusedRemoval> refused;
    ScanSource source = ScanSource::thisComputer;
    quint64 resultSetId = 0;
    // A planned file is a photo-library item.
    bool isPhotosLibInTrashList = false;
    // Files of the shown groups when the run starts.
    qint64 uniquePhotosReatined = 0;
};

// The marked files among the filterChildren of arrGroups, in shown order.
// Files hidden by the category filter and files already removed are never
// planned. A group keeps at least one member out of the plan: when all its
// members are marked, its last marked file is refused. A file of a protected
// folder (asked again now, on disk) is refused unless the user confirmed
// that very file when marking it. deleteNetworkOutright
// is the setting "doNotShowConfirmationDialogOnTrashForNetworkDrive".
RemovalPlan makeRemovalPlan(const ResultsState& state, bool deleteNetworkOutright);

// What a plan is made from, taken on the GUI thread (the protection resolved
// there), so that the plan itself may be made on a worker while nothing
// changes the records.
struct RemovalPlanInput {
    std::vector<DuplicateGroupPtr> groups;
    ProtectedFolderMatcher protection;
    ScanSource source = ScanSource::thisComputer;
    quint64 resultSetId = 0;
    bool deleteNetworkOutright = false;
};
RemovalPlanInput removalPlanInput(const ResultsState& state, bool deleteNetworkOutright);
RemovalPlan makeRemovalPlan(const RemovalPlanInput& input);
