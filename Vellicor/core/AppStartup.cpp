#include "core/AppStartup.h"

#include "base/AppPaths.h"
#include "base/PrivateFiles.h"
#include "base/UserDefaults.h"
#include "core/FileCategories.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"

#include <QFileInfo>

void startApplicationCore(UserDefaults& defaults)
{
    // The log never creates its folder; start-up makes it once. The log, the
    // settings and the cache are the user's alone.
    PrivateFiles::ensureFolder(AppPaths::stateFolder());
    for (const QString& folder : { AppPaths::settingsFolder(), AppPaths::cacheFolder() }) {
        if (QFileInfo(folder).isDir())
            PrivateFiles::ensureFolder(folder);
    }
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
