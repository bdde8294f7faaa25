#pragma once

#include "core/CloudScanFoldersList.h"
#include "core/DropBoxFoldersList.h"
#include "core/GDFoldersList.h"
#include "core/GlobalObjects.h"

#include <QString>

#include <memory>
#include <optional>

// One row of a location list (scan, exclude or protect list).
class FilePathNode {
public:
    std::optional<QString> filePath;
    // Check state read as an integer; -1 until the row is put into a list.
    int state = -1;
    GlobalObjects::NodeType nodeType = GlobalObjects::NodeType::nodeTypefile;
    bool isIncludeSubFolders = true;
    std::shared_ptr<GDFoldersList> gdFolder;
    std::shared_ptr<DropBoxFoldersList> dropBoxFolder;
    std::shared_ptr<CloudScanFoldersList> cloudFolder;
};

using FilePathNodePtr = std::shared_ptr<FilePathNode>;
