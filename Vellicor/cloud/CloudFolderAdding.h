#pragma once

#include "core/CloudScanFoldersList.h"
#include "core/GDFoldersList.h"
#include "core/GlobalObjects.h"
#include "home/LocationAdder.h"

#include <QString>

#include <memory>

class LocationLists;

// The folder last picked in the cloud folder picker: a Drive folder or a
// folder of another cloud service; neither when nothing was picked.
struct PickedCloudFolder {
    std::shared_ptr<GDFoldersList> drive;
    CloudScanFoldersListPtr cloud;

    bool isEmpty() const { return !drive && !cloud; }
    // The path the lists know the folder by: the Drive display path, or the
    // service's folder path; empty when nothing was picked.
    QString path() const;
};

// The folder chosen in a source's folder tree, as every list takes it: a
// Drive folder with its id and its display path (the one the Drive's
// listing, exclusions and protection read), another service's folder as its
// tree node. Every way of adding a picked folder builds it here.
PickedCloudFolder pickedCloudFolder(ScanSource source, const CloudScanFoldersListPtr& node);

// True when `path` is `folder` or lies below it, letter case ignored and by
// whole path components ("/Trips" does not hold "/Trips2024").
bool isSameOrBelowCloudPath(const QString& folder, const QString& path);

// The rules of adding a picked cloud folder to the home screen's Include,
// Exclude or Protect list of the chosen cloud source: what is refused (and
// with which alert), and the row that is added. Display-free; the caller
// shows the alerts and reloads the tables. GUI thread only.
class CloudFolderAdder {
public:
    explicit CloudFolderAdder(LocationLists& lists);

    // The tab's list for the chosen source. This computer and the photo
    // catalog take no cloud folders; no tab adds nothing.
    AddOutcome addToTab(HomeTab tab, const PickedCloudFolder& folder);
    // The protect list of the chosen cloud source.
    AddOutcome addToProtectedList(const PickedCloudFolder& folder, bool includeSubFolders);

private:
    AddOutcome addToScanList(const PickedCloudFolder& folder);
    AddOutcome addToExcludeList(const PickedCloudFolder& folder);
    bool isInScanList(const QString& path) const;

    LocationLists& lists_;
};
