#include "core/ScanSettingsSnapshot.h"

ScanSettingsSnapshot makeScanSettingsSnapshot()
{
    ScanSettingsSnapshot snapshot;
    snapshot.scanCategoryFlags = scanCategoryFlags;
    snapshot.isAllFileTypesSelected = isAllFileTypesSelected;
    snapshot.categoryTables = fileCategoryTables();
    snapshot.rawExtensionSet = rawExtensionSet();
    return snapshot;
}
