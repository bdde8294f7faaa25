#pragma once

#include "core/FileInfoNode.h"

#include <QString>

#include <memory>
#include <vector>

// One node of the Dropbox folder picker.
class DropBoxFoldersList {
public:
    QString folderName;
    QString folderId;
    QString folderPath;
    bool isExpandable = false;
    std::vector<std::shared_ptr<DropBoxFoldersList>> children;
    std::vector<FileInfoNodePtr> arrDropBoxFiles;
    bool isAllFilesFetched = false;
    int currentScanFolderIndex = 0;
    std::weak_ptr<DropBoxFoldersList> parentNodeDropBoxList;
};
