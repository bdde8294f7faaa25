#include "core/AppStartup.h"

#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "core/FileCategories.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"

void startApplicationCore(UserDefaults& defaults)
{
    // The log never creates its folder; start-up makes it once.
    AppPaths::ensureFolder(AppPaths::stateFolder());
    setOSVersionFlags();
    loadLocalizationTable();
    // The default settings are made from the built-in lists, so these come first.
    fillBuiltInExtensionLists();
    markedPhotosAlbumName() = localizedText(QStringLiteral("ID_DUPLICATE_MARKED_PHOTOS"));
    registerDefaultSettings(defaults);
    reloadExtensionTables(defaults);
    selectedScanSource() = ScanSource::thisComputer;
    isAbortScan = false;
}

void reloadExtensionTables(const UserDefaults& defaults)
{
    loadExtensionLists(defaults);
}
