#pragma once

#include "core/DriveFile.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// One node of the Google Drive folder picker.
class GDFoldersList {
public:
    QString folderName;
    QString folderId;
    // The folder's absolute path within the Drive.
    QString folderAbsPath;
    std::optional<DriveFile> driveFile;
    std::vector<std::shared_ptr<GDFoldersList>> children;
    bool isExpandable = false;
};
