#pragma once

#include "core/CloudScanFoldersList.h"

// A folder of the Dropbox picker is a cloud folder node like any other, so
// the picker's outline and the scan list treat both alike.
using DropBoxFoldersList = CloudScanFoldersList;
