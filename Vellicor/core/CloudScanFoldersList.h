#pragma once

#include "core/FileInfoNode.h"

#include <QString>

#include <memory>
#include <vector>

// One folder of a cloud folder tree, as listed for a scan or shown in a folder
// picker. Owns its sub-folders and file records; the parent link does not own.
class CloudScanFoldersList {
public:
    QString folderName;
    QString folderId;
    QString folderPath;
    bool isExpandable = true;
    std::vector<std::shared_ptr<CloudScanFoldersList>> children;
    std::vector<FileInfoNodePtr> arrCloudFolderFiles;
    bool isAllFilesFetched = false;
    int currentScanFolderIndex = 0;
    // The round of its source's listings in which its files and sub-folders
    // were listed: they serve again only while that round lasts (a clean-up
    // or an undo on the source begins a new one).
    quint64 listedInRound = 0;
    std::weak_ptr<CloudScanFoldersList> parentNodeDropBoxList;
    QString graphUrlStr;
    bool isIncludeSubFolders = true;
};

using CloudScanFoldersListPtr = std::shared_ptr<CloudScanFoldersList>;
